#pragma once
// One board of a Hudson message base: five fixed-record files in one
// directory, shared by up to 200 boards.
//
//   msginfo.bbs   406 bytes: lowest, highest, total active, active per board
//   msgidx.bbs    3-byte records: number (0xFFFF = deleted), board
//   msgtoidx.bbs  36-byte records: addressee (length-prefixed)
//   msghdr.bbs    187-byte headers
//   msgtxt.bbs    256-byte text blocks: length byte, up to 255 characters
//   lastread.bbs  per user 200 16-bit words, one per board
//
// Record k of the index, addressee and header files is the same message.
// Writers hold an fcntl lock on byte 406 of msginfo.bbs (one past the
// record) while they change the base.
//
// Identifier path: three characters of board number, then the directory.
// A board outside 1..200 opens but holds no messages and takes none.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"

namespace orbisk {

// Result codes of this kind (openArea, saveMessage; status()).
constexpr ResultCode kHudsonInconsistent = 5000;  // open: the five files do not fit together
constexpr ResultCode kHudsonIndexRead = 1000;     // an index window could not be read
constexpr ResultCode kHudsonTextShort = 1111;     // fewer text blocks than the header says
constexpr ResultCode kHudsonTextSeek = 2222;      // the text file could not be positioned
constexpr ResultCode kHudsonInfoRead = 1;         // open: the information record is unreadable
constexpr ResultCode kHudsonChanged = 3333;       // delete: the record holds another message now
constexpr ResultCode kHudsonBaseFull = 4000;      // save: no message number or text block left

class HudsonArea : public MessageArea {
public:
    static constexpr std::size_t kInfoSize = 406;
    static constexpr std::size_t kIdxSize = 3;
    static constexpr std::size_t kToIdxSize = 36;
    static constexpr std::size_t kHdrSize = 187;
    static constexpr std::size_t kBlockSize = 256;
    static constexpr int kMaxBoard = 200;
    static constexpr std::size_t kWindowRecords = 250;
    static constexpr std::size_t kHeaderWindowRecords = 250;
    static constexpr std::uint16_t kDeletedNumber = 0xFFFF;

    HudsonArea();
    ~HudsonArea() override;

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
    void setCost(std::uint16_t cost) override;
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
    // The times-read count.
    void setFormatMark(std::int32_t value) override;
    void writeText(const std::string& text) override;
    void writeChar(char c) override;
    void writeTextLine(const std::string& text) override;
    ResultCode saveMessage() override;

    char readChar() override;
    bool atTextEnd() override;
    // The shared line rules (maxLen at most 255), run straight over the
    // loaded text rather than character by character through the table.
    std::string readTextLine(std::uint16_t maxLen) override;
    void readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) override;

    std::string getFromName() override;
    std::string getToName() override;
    std::string getSubject() override;
    std::uint16_t getCost() override;
    DateTime getDateTime() override;
    MsgNumber getReplyTo() override;     // previous reply
    MsgNumber getReplyFirst() override;  // next reply
    // Hudson keeps no separate chain link; accepted and ignored.
    void setNextReplyLink(MsgNumber n) override;
    MsgNumber getMessageNumber() override;
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
    bool isDeleted() override;
    bool isEcho() override;  // not net mail
    bool isRead() override;  // times read above 0
    std::int32_t getPosition() override;  // record number
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
    MsgNumber getHighNumber() override;
    // 0 local, 1 echo mail, 2 net mail (attribute bits and the scan log).
    void setMailKind(std::uint8_t kind) override;
    std::uint16_t getSubArea() override;
    void rewriteHeader() override;
    ResultCode deleteCurrent() override;
    bool isHeaderLoaded() override;
    std::int64_t getIdentityKey() override;
    // Hudson has no such switch; accepted and ignored.
    void setFormatOption(bool on) override;
    std::int32_t countMessages() override;
    MsgNumber getLastRead(std::int32_t user) override;
    void setLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t getTextPosition() override;
    void setTextPosition(std::int64_t position) override;

    // Result of the latest index, header or text operation (1000, 1111,
    // 2222 or a file-layer code; 0 = fine).
    ResultCode status() const { return status_; }
    int board() const { return board_; }
    const std::string& directory() const { return dir_; }
    bool isOpen() const { return open_; }

private:
    // readTextLine into `line`, whose capacity is kept.
    void readLineInto(std::string& line, std::uint16_t maxLen);
    enum FileId { kInfo, kIdx, kToIdx, kHdr, kTxt, kFileCount };

    bool boardValid() const { return board_ >= 1 && board_ <= kMaxBoard; }
    std::string fileName(FileId id) const;
    int checkBase() const;
    void closeFiles();
    bool readInfo();
    bool writeInfo();
    void releaseLock();
    bool readWindow(std::int64_t start);
    bool indexAt(std::int64_t record, bool forward, std::uint16_t& number, std::uint8_t& board);
    void walk(bool forward, std::int64_t bound);
    bool readRecord(FileId id, std::int64_t record, std::size_t size, void* buffer);
    bool writeRecord(FileId id, std::int64_t record, std::size_t size, const void* buffer);
    bool writeIndexRecords(std::int64_t record, const std::uint8_t* header);
    void setAttr(std::size_t offset, std::uint8_t bit, bool on);
    bool msgAttr(std::uint8_t bit) const;
    bool netAttr(std::uint8_t bit) const;
    std::uint16_t headerWord(std::size_t offset) const;
    void setHeaderWord(std::size_t offset, std::uint16_t value);
    std::string_view headerString(std::size_t offset, std::size_t maxLen) const;
    void setHeaderString(std::size_t offset, std::size_t maxLen, const std::string& ansi);
    std::uint16_t infoWord(std::size_t offset) const;
    void setInfoWord(std::size_t offset, std::uint16_t value);
    void findAddressed(std::int64_t fromRecord);

    std::string dir_;
    int board_ = 0;
    std::array<FileHandle, kFileCount> files_;
    bool open_ = false;
    bool locked_ = false;
    std::array<std::uint8_t, kInfoSize> info_{};
    std::array<std::uint8_t, kHdrSize> header_{};

    // Index window: records [winStart_, winStart_ + winCount_).
    std::array<std::uint8_t, kWindowRecords * kIdxSize> window_{};
    std::int64_t winStart_ = 0;
    std::size_t winCount_ = 0;
    bool winValid_ = false;

    // Header window: the headers of records [hdrStart_, hdrStart_ +
    // hdrCount_), read with the index as a walk goes; dropped whenever
    // the walk restarts or the base is written.
    std::vector<std::uint8_t> hdrWindow_;
    std::int64_t hdrStart_ = 0;
    std::size_t hdrCount_ = 0;
    bool hdrValid_ = false;

    std::int64_t record_ = -1;      // record of the current message
    std::int64_t headerRecord_ = -1;  // record whose header header_ holds
    std::int64_t current_ = 0;      // its number (or the walk's bound)
    bool located_ = false;
    bool walkedOffEnd_ = false;     // the last forward walk found nothing
    ResultCode status_ = 0;

    // Text of the loaded message: the blocks' characters up to the first
    // NUL, in the OEM code page.
    std::string text_;
    std::vector<char> blockBuf_;
    // MSGTXT.BBS from textWindowStart_, read ahead for the next texts;
    // dropped whenever the base may have changed under it.
    std::vector<char> textWindow_;
    std::int64_t textWindowStart_ = 0;
    std::size_t textWindowLength_ = 0;
    bool textWindowValid_ = false;
    void dropTextWindow();
    std::size_t textPos_ = 0;
    bool textEnded_ = false;

    // Composing a new message.
    bool composing_ = false;
    std::string newText_;
    std::uint8_t mailKind_ = 0;

    // Addressed search.
    std::string findName_, findAlias_;
    bool finding_ = false;
};

void registerHudsonArea();

}  // namespace orbisk
