#pragma once
// Squish message base: "<base>.sqd" holds a base header and a doubly linked
// chain of frames (frame header, 238-byte message header, control
// information, text), "<base>.sqi" lists the live messages in order as
// 12-byte records (frame offset, unique id, addressee hash), "<base>.sql"
// holds one 32-bit last-read value per user. The number of a message is its
// unique id. Opened through openAreaByIdentifier with the letter "S".
//
// Reading never trusts the files: a text is bounded by its frame and by the
// end of the data file, frame offsets outside the file read as an empty
// message, and the chains are never walked, so looping links cannot hang.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"

namespace orbisk {

namespace squish {
constexpr std::uint32_t kFrameSignature = 0xAFAE4453;
constexpr std::uint16_t kFrameNormal = 0;
constexpr std::uint16_t kFrameFree = 1;
constexpr std::size_t kBaseHeaderDefault = 256;
constexpr std::size_t kBaseHeaderMax = 356;  // 357 and more is refused
constexpr std::size_t kBaseHeaderMin = 134;  // must hold every field we use
constexpr std::size_t kFrameHeaderDefault = 28;
constexpr std::size_t kMessageHeader = 238;
constexpr std::size_t kIndexRecord = 12;
constexpr std::size_t kFreeCache = 500;

// Base header offsets.
constexpr std::size_t kBhLength = 0, kBhNumMsg = 4, kBhHighMsg = 8, kBhUid = 20, kBhName = 24,
                      kBhBeginFrame = 104, kBhLastFrame = 108, kBhFreeFrame = 112,
                      kBhLastFreeFrame = 116, kBhEndFrame = 120, kBhFrameHeaderLength = 130;
// Message header offsets.
constexpr std::size_t kMhAttr = 0, kMhFrom = 4, kMhTo = 40, kMhSubject = 76, kMhOrig = 148,
                      kMhDest = 156, kMhDateWritten = 164, kMhDateArrived = 168, kMhReplyTo = 174,
                      kMhReplies = 178, kMhFtscDate = 218;

// Attribute bits.
constexpr std::uint32_t kAttrPrivate = 0x1, kAttrCrash = 0x2, kAttrReceived = 0x4, kAttrSent = 0x8,
                        kAttrFileAttach = 0x10, kAttrKillSent = 0x80, kAttrLocal = 0x100,
                        kAttrFileRequest = 0x800, kAttrReceiptRequest = 0x1000, kAttrIsReceipt = 0x2000,
                        kAttrAuditRequest = 0x4000, kAttrNotEcho = 0x10000, kAttrRead = 0x80000000u;

// Result codes of this kind.
constexpr ResultCode kNoIndex = 100, kBadBaseHeader = 1001, kIndexNoMemory = 999, kIndexSeek = 300;

// Addressee hash kept in the index (name lower-cased, ASCII only).
std::uint32_t nameHash(std::string_view oemName);
}  // namespace squish

class SquishArea : public MessageArea {
public:
    SquishArea();
    ~SquishArea() override;

    void destroy() override;
    void setAreaPath(const std::string& path) override;
    ResultCode openArea() override;
    ResultCode closeArea() override;
    ResultCode createArea() override;
    bool areaExists() override;
    bool lockArea() override;
    bool unlockArea() override;

    void setDestAddress(const FidoAddress& a) override;
    void setOrigAddress(const FidoAddress& a) override;
    void setFromName(const std::string& name) override;
    void setToName(const std::string& name) override;
    void setSubject(const std::string& subject) override;
    void setCost(std::uint16_t cost) override;  // no such field: ignored
    void setReplyTo(MsgNumber n) override;
    void setReplyFirst(MsgNumber n) override;
    void setDateTime(DateTime t) override;
    void setLocalFlag(bool on) override;
    void setReceivedFlag(bool on) override;
    void setPrivateFlag(bool on) override;
    void setCrashFlag(bool on) override;
    void setKillSentFlag(bool on) override;
    void setSentFlag(bool on) override;
    void setFileAttachFlag(bool on) override;
    void setReceiptRequestFlag(bool on) override;
    void setAuditRequestFlag(bool on) override;
    void setIsReceiptFlag(bool on) override;
    void setFileRequestFlag(bool on) override;
    void setFormatMark(std::int32_t value) override;  // non-zero: read bit
    void writeText(const std::string& text) override;
    void writeChar(char c) override;
    void writeTextLine(const std::string& text) override;
    ResultCode saveMessage() override;

    char readChar() override;
    bool atTextEnd() override;
    void readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) override;
    std::string getFromName() override;
    std::string getToName() override;
    std::string getSubject() override;
    std::uint16_t getCost() override;  // always 0
    DateTime getDateTime() override;
    MsgNumber getReplyTo() override;
    MsgNumber getReplyFirst() override;
    MsgNumber getMessageNumber() override;  // -1 when nothing is located
    FidoAddress getOrigAddress() override;
    FidoAddress getDestAddress() override;
    bool isLocal() override;
    bool isCrash() override;
    bool isKillSent() override;
    bool isSent() override;
    bool isFileAttach() override;
    bool isReceiptRequest() override;
    bool isAuditRequest() override;
    bool isReceipt() override;
    bool isFileRequest() override;
    bool isReceived() override;
    bool isPrivate() override;
    bool isDeleted() override;  // always false: deleted messages leave the index
    bool isEcho() override;
    bool isRead() override;
    std::int32_t getPosition() override;  // 1-based index position
    void setPosition(std::int32_t position) override;
    void loadHeader() override;
    void startText() override;
    void startNewMessage() override;
    void locateFrom(MsgNumber n) override;
    void locateNext() override;
    void locatePrior() override;
    bool isLocated() override;
    void findAddressedFirst(const std::string& name, const std::string& alias) override;
    void findAddressedNext() override;
    bool foundAddressed() override;
    MsgNumber getHighNumber() override;  // next unique id - 1
    void setMailKind(std::uint8_t kind) override;
    std::uint16_t getSubArea() override;  // 0
    void rewriteHeader() override;
    // Takes the lock unless held (and then gives it back, writing the base
    // header and index); under a lock the caller took, they are written by
    // unlockArea. Afterwards locateNext gives the message that followed.
    ResultCode deleteCurrent() override;
    bool isHeaderLoaded() override;
    std::int64_t getIdentityKey() override;
    void setFormatOption(bool on) override;  // false: not echo mail
    std::int32_t countMessages() override;   // from the base header
    MsgNumber getLastRead(std::int32_t user) override;
    void setLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t getTextPosition() override;
    void setTextPosition(std::int64_t position) override;

    // Result of the latest open, index load or write (0 = success).
    ResultCode lastResult() const { return lastResult_; }
    const std::string& basePath() const { return base_; }

protected:
    std::string_view textSpan() override;

private:
    struct IndexRecord {
        std::uint32_t frame;
        std::uint32_t uid;
        std::uint32_t hash;
    };
    struct FrameHeader {
        std::uint32_t signature = 0, next = 0, prev = 0, frameLength = 0, msgLength = 0, ctrlLength = 0;
        std::uint16_t type = 0, reserved = 0;
    };
    struct FreeFrame {
        std::uint32_t offset;
        std::uint32_t length;
    };

    std::string dataName() const;
    std::string indexName() const;
    std::string lastReadName() const;
    void closeFiles();
    ResultCode readBaseHeader();
    ResultCode loadIndex();
    ResultCode reload();  // base header and index, as another writer may have changed them
    bool writeBaseAndIndex();
    void markIndexChanged(std::size_t from);
    std::int32_t located() const;  // records that count as messages
    void refreshFileSize();

    // Reads through a window, so that a walk in file order costs about one
    // read per window; `got` < n only at the end of the file.
    bool readData(std::int64_t offset, void* dst, std::size_t n, std::size_t& got);
    bool writeData(std::int64_t offset, const void* src, std::size_t n);
    void dropWindow() { winLength_ = 0; }
    bool isFrameOffset(std::uint32_t offset) const;
    bool readFrameHeader(std::uint32_t offset, FrameHeader& h);
    bool writeFrameHeader(std::uint32_t offset, const FrameHeader& h);
    // Takes the frame at `offset` (header `h`) out of its chain: the
    // neighbours that point back at it are linked to each other. Returns its
    // usable prev and next links (0 for none).
    std::pair<std::uint32_t, std::uint32_t> unlinkFrame(std::uint32_t offset, const FrameHeader& h);
    // Takes a cached free frame of at least `need` bytes out of the free
    // chain; 0 when there is none.
    std::uint32_t takeFreeFrame(std::uint32_t need, std::uint32_t& length);

    std::uint32_t bh32(std::size_t off) const;
    void setBh32(std::size_t off, std::uint32_t v);
    std::uint32_t mh32(std::size_t off) const;
    std::uint16_t mh16(std::size_t off) const;
    void setMh32(std::size_t off, std::uint32_t v);
    void setMh16(std::size_t off, std::uint16_t v);
    std::string_view mhString(std::size_t off, std::size_t maxLen) const;
    void setMhString(std::size_t off, std::size_t fieldSize, const std::string& ansi);
    void setAttr(std::uint32_t bit, bool on);
    bool attr(std::uint32_t bit) const { return (mh32(squish::kMhAttr) & bit) != 0; }
    FidoAddress mhAddress(std::size_t off) const;
    void setMhAddress(std::size_t off, const FidoAddress& a);

    std::string base_;
    FileHandle data_, index_;
    bool readOnly_ = false;
    std::int64_t dataSize_ = 0;

    std::array<unsigned char, squish::kBaseHeaderMax> baseHeader_{};
    std::size_t baseHeaderLength_ = squish::kBaseHeaderDefault;
    std::size_t frameHeaderLength_ = squish::kFrameHeaderDefault;

    std::vector<IndexRecord> index_records_;
    std::int32_t position_ = 0;  // 1-based, 0 = none

    FrameHeader frame_;
    std::array<unsigned char, squish::kMessageHeader> msgHeader_{};
    std::int64_t frameOffset_ = -1;
    std::uint32_t uid_ = 0;
    bool headerLoaded_ = false;

    std::vector<char> text_;
    std::size_t textPos_ = 0;
    bool textEnded_ = true;

    bool locked_ = false;
    // What changed under the lock, written back by unlockArea.
    static constexpr std::size_t kIndexClean = static_cast<std::size_t>(-1);
    bool baseDirty_ = false;
    std::size_t indexDirtyFrom_ = kIndexClean;
    std::vector<FreeFrame> freeCache_;
    ResultCode lastResult_ = 0;

    bool composing_ = false;
    std::string newText_;  // OEM
    std::uint8_t mailKind_ = 0;
    std::string findName_, findAlias_;

    std::vector<char> window_;
    std::int64_t winStart_ = 0;
    std::size_t winLength_ = 0;
};

void registerSquishArea();

}  // namespace orbisk
