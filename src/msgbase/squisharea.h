#pragma once
// Squish message base: "<base>.sqd" holds a base header and a doubly linked
// chain of frames (frame header, 238-byte message header, control
// information, text), "<base>.sqi" lists the live messages in order as
// 12-byte records (frame offset, unique id, addressee hash), "<base>.sql"
// holds one 32-bit last-read value per user. The number of a message is its
// unique id. Opened through OpenAreaByIdentifier with the letter "S".
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
std::uint32_t NameHash(std::string_view oemName);
}  // namespace squish

class SquishArea : public MessageArea {
public:
    SquishArea();
    ~SquishArea() override;

    void Destroy() override;
    void SetAreaPath(const std::string& path) override;
    ResultCode OpenArea() override;
    ResultCode CloseArea() override;
    ResultCode CreateArea() override;
    bool AreaExists() override;
    bool LockArea() override;
    bool UnlockArea() override;

    void SetDestAddress(const FidoAddress& a) override;
    void SetOrigAddress(const FidoAddress& a) override;
    void SetFromName(const std::string& name) override;
    void SetToName(const std::string& name) override;
    void SetSubject(const std::string& subject) override;
    void SetCost(std::uint16_t cost) override;  // no such field: ignored
    void SetReplyTo(MsgNumber n) override;
    void SetReplyFirst(MsgNumber n) override;
    void SetDateTime(TDateTime t) override;
    void SetLocalFlag(bool on) override;
    void SetReceivedFlag(bool on) override;
    void SetPrivateFlag(bool on) override;
    void SetCrashFlag(bool on) override;
    void SetKillSentFlag(bool on) override;
    void SetSentFlag(bool on) override;
    void SetFileAttachFlag(bool on) override;
    void SetReceiptRequestFlag(bool on) override;
    void SetAuditRequestFlag(bool on) override;
    void SetIsReceiptFlag(bool on) override;
    void SetFileRequestFlag(bool on) override;
    void SetFormatMark(std::int32_t value) override;  // non-zero: read bit
    void WriteText(const std::string& text) override;
    void WriteChar(char c) override;
    void WriteTextLine(const std::string& text) override;
    ResultCode SaveMessage() override;

    char ReadChar() override;
    bool AtTextEnd() override;
    std::string GetFromName() override;
    std::string GetToName() override;
    std::string GetSubject() override;
    std::uint16_t GetCost() override;  // always 0
    TDateTime GetDateTime() override;
    MsgNumber GetReplyTo() override;
    MsgNumber GetReplyFirst() override;
    MsgNumber GetMessageNumber() override;  // -1 when nothing is located
    FidoAddress GetOrigAddress() override;
    FidoAddress GetDestAddress() override;
    bool IsLocal() override;
    bool IsCrash() override;
    bool IsKillSent() override;
    bool IsSent() override;
    bool IsFileAttach() override;
    bool IsReceiptRequest() override;
    bool IsAuditRequest() override;
    bool IsReceipt() override;
    bool IsFileRequest() override;
    bool IsReceived() override;
    bool IsPrivate() override;
    bool IsDeleted() override;  // always false: deleted messages leave the index
    bool IsEcho() override;
    bool IsRead() override;
    std::int32_t GetPosition() override;  // 1-based index position
    void SetPosition(std::int32_t position) override;
    void LoadHeader() override;
    void StartText() override;
    void StartNewMessage() override;
    void LocateFrom(MsgNumber n) override;
    void LocateNext() override;
    void LocatePrior() override;
    bool IsLocated() override;
    void FindAddressedFirst(const std::string& name, const std::string& alias) override;
    void FindAddressedNext() override;
    bool FoundAddressed() override;
    MsgNumber GetHighNumber() override;  // next unique id - 1
    void SetMailKind(std::uint8_t kind) override;
    std::uint16_t GetSubArea() override;  // 0
    void RewriteHeader() override;
    // Takes the lock unless held (and then gives it back, writing the base
    // header and index); under a lock the caller took, they are written by
    // UnlockArea. Afterwards LocateNext gives the message that followed.
    void DeleteCurrent() override;
    void SetFormatOption(bool on) override;  // false: not echo mail
    std::int32_t CountMessages() override;   // from the base header
    MsgNumber GetLastRead(std::int32_t user) override;
    void SetLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t GetTextPosition() override;
    void SetTextPosition(std::int64_t position) override;

    // Result of the latest open, index load or write (0 = success).
    ResultCode LastResult() const { return lastResult_; }
    const std::string& BasePath() const { return base_; }

protected:
    std::string_view TextSpan() override;

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

    std::string DataName() const;
    std::string IndexName() const;
    std::string LastReadName() const;
    void CloseFiles();
    ResultCode ReadBaseHeader();
    ResultCode LoadIndex();
    ResultCode Reload();  // base header and index, as another writer may have changed them
    bool WriteBaseAndIndex();
    std::int32_t Located() const;  // records that count as messages
    void RefreshFileSize();

    // Reads through a window, so that a walk in file order costs about one
    // read per window; `got` < n only at the end of the file.
    bool ReadData(std::int64_t offset, void* dst, std::size_t n, std::size_t& got);
    bool WriteData(std::int64_t offset, const void* src, std::size_t n);
    void DropWindow() { winLength_ = 0; }
    bool IsFrameOffset(std::uint32_t offset) const;
    bool ReadFrameHeader(std::uint32_t offset, FrameHeader& h);
    bool WriteFrameHeader(std::uint32_t offset, const FrameHeader& h);
    // Takes the frame at `offset` (header `h`) out of its chain: the
    // neighbours that point back at it are linked to each other. Returns its
    // usable prev and next links (0 for none).
    std::pair<std::uint32_t, std::uint32_t> UnlinkFrame(std::uint32_t offset, const FrameHeader& h);
    // Takes a cached free frame of at least `need` bytes out of the free
    // chain; 0 when there is none.
    std::uint32_t TakeFreeFrame(std::uint32_t need, std::uint32_t& length);

    std::uint32_t Bh32(std::size_t off) const;
    void SetBh32(std::size_t off, std::uint32_t v);
    std::uint32_t Mh32(std::size_t off) const;
    std::uint16_t Mh16(std::size_t off) const;
    void SetMh32(std::size_t off, std::uint32_t v);
    void SetMh16(std::size_t off, std::uint16_t v);
    std::string MhString(std::size_t off, std::size_t maxLen) const;
    void SetMhString(std::size_t off, std::size_t fieldSize, const std::string& ansi);
    void SetAttr(std::uint32_t bit, bool on);
    bool Attr(std::uint32_t bit) const { return (Mh32(squish::kMhAttr) & bit) != 0; }
    FidoAddress MhAddress(std::size_t off) const;
    void SetMhAddress(std::size_t off, const FidoAddress& a);

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

void RegisterSquishArea();

}  // namespace orbisk
