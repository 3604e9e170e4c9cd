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

// Result codes of this kind (OpenArea, SaveMessage; Status()).
constexpr ResultCode kHudsonInconsistent = 5000;  // open: the five files do not fit together
constexpr ResultCode kHudsonIndexRead = 1000;     // an index window could not be read
constexpr ResultCode kHudsonTextShort = 1111;     // fewer text blocks than the header says
constexpr ResultCode kHudsonTextSeek = 2222;      // the text file could not be positioned
constexpr ResultCode kHudsonInfoRead = 1;         // open: the information record is unreadable
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
    void SetCost(std::uint16_t cost) override;
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
    // The times-read count.
    void SetFormatMark(std::int32_t value) override;
    void WriteText(const std::string& text) override;
    void WriteChar(char c) override;
    void WriteTextLine(const std::string& text) override;
    ResultCode SaveMessage() override;

    char ReadChar() override;
    bool AtTextEnd() override;
    // The shared line rules (maxLen at most 255), run straight over the
    // loaded text rather than character by character through the table.
    std::string ReadTextLine(std::uint16_t maxLen) override;

    std::string GetFromName() override;
    std::string GetToName() override;
    std::string GetSubject() override;
    std::uint16_t GetCost() override;
    TDateTime GetDateTime() override;
    MsgNumber GetReplyTo() override;     // previous reply
    MsgNumber GetReplyFirst() override;  // next reply
    // Hudson keeps no separate chain link; accepted and ignored.
    void SetNextReplyLink(MsgNumber n) override;
    MsgNumber GetMessageNumber() override;
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
    bool IsDeleted() override;
    bool IsEcho() override;  // not net mail
    bool IsRead() override;  // times read above 0
    std::int32_t GetPosition() override;  // record number
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
    MsgNumber GetHighNumber() override;
    // 0 local, 1 echo mail, 2 net mail (attribute bits and the scan log).
    void SetMailKind(std::uint8_t kind) override;
    std::uint16_t GetSubArea() override;
    void RewriteHeader() override;
    void DeleteCurrent() override;
    // Hudson has no such switch; accepted and ignored.
    void SetFormatOption(bool on) override;
    std::int32_t CountMessages() override;
    MsgNumber GetLastRead(std::int32_t user) override;
    void SetLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t GetTextPosition() override;
    void SetTextPosition(std::int64_t position) override;

    // Result of the latest index, header or text operation (1000, 1111,
    // 2222 or a file-layer code; 0 = fine).
    ResultCode Status() const { return status_; }
    int Board() const { return board_; }
    const std::string& Directory() const { return dir_; }
    bool IsOpen() const { return open_; }

private:
    enum FileId { kInfo, kIdx, kToIdx, kHdr, kTxt, kFileCount };

    bool BoardValid() const { return board_ >= 1 && board_ <= kMaxBoard; }
    std::string FileName(FileId id) const;
    int CheckBase() const;
    void CloseFiles();
    bool ReadInfo();
    bool WriteInfo();
    void ReleaseLock();
    bool ReadWindow(std::int64_t start);
    bool IndexAt(std::int64_t record, bool forward, std::uint16_t& number, std::uint8_t& board);
    void Walk(bool forward, std::int64_t bound);
    bool ReadRecord(FileId id, std::int64_t record, std::size_t size, void* buffer);
    bool WriteRecord(FileId id, std::int64_t record, std::size_t size, const void* buffer);
    bool WriteIndexRecords(std::int64_t record, const std::uint8_t* header);
    void SetAttr(std::size_t offset, std::uint8_t bit, bool on);
    bool MsgAttr(std::uint8_t bit) const;
    bool NetAttr(std::uint8_t bit) const;
    std::uint16_t HeaderWord(std::size_t offset) const;
    void SetHeaderWord(std::size_t offset, std::uint16_t value);
    std::string HeaderString(std::size_t offset, std::size_t maxLen) const;
    void SetHeaderString(std::size_t offset, std::size_t maxLen, const std::string& ansi);
    std::uint16_t InfoWord(std::size_t offset) const;
    void SetInfoWord(std::size_t offset, std::uint16_t value);
    void FindAddressed(std::int64_t fromRecord);

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
    std::int64_t current_ = 0;      // its number (or the walk's bound)
    bool located_ = false;
    bool walkedOffEnd_ = false;     // the last forward walk found nothing
    ResultCode status_ = 0;

    // Text of the loaded message: the blocks' characters up to the first
    // NUL, in the OEM code page.
    std::string text_;
    std::vector<char> blockBuf_;
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

void RegisterHudsonArea();

}  // namespace orbisk
