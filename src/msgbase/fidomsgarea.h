#pragma once
// The Fido *.MSG directory kind (letter "F"): one file per message, named by
// its decimal number, in the FTS-0001 layout (190-byte header, then the text).
//
// Names: a message is a regular file (or a link to one) named
// <decimal digits>.msg with the extension in any case; the number is taken
// modulo 65536 and only 1..31999 count. When several names give the same
// number (5.MSG and 5.msg, 05.msg, 65541.msg) the plainly written number wins,
// then the name that sorts first byte-wise; the others are not seen. New
// messages are written as "<n>.msg".
//
// Reading keeps the current message file open from LoadHeader to the next
// LoadHeader, DeleteCurrent, StartNewMessage, CloseArea or Destroy, read
// through one window of kWindowSize bytes, so that an ordinary message is one
// read() and a huge one costs only its window.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"

namespace orbisk {

class FidoMsgArea : public MessageArea {
public:
    static constexpr MsgNumber kMaxNumber = 31999;
    static constexpr std::int64_t kHeaderSize = 190;
    static constexpr std::size_t kWindowSize = 64 * 1024;

    // Own result codes (message status and SaveMessage).
    static constexpr ResultCode kNoDirectory = 500;
    static constexpr ResultCode kFileNotFound = 200;
    static constexpr ResultCode kCannotOpen = 1000;
    static constexpr ResultCode kNoTempName = 1001;
    static constexpr ResultCode kCannotCreateTemp = 1002;
    // SaveMessage when no number up to 31999 is free above the highest.
    static constexpr ResultCode kAreaFull = 80;

    FidoMsgArea();
    ~FidoMsgArea() override;

    void Destroy() override;
    void SetAreaPath(const std::string& path) override;
    ResultCode OpenArea() override;
    ResultCode CloseArea() override;
    ResultCode CreateArea() override;
    bool AreaExists() override;

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
    void SetFormatMark(std::int32_t value) override;  // times read
    void WriteText(const std::string& text) override;
    void WriteChar(char c) override;
    void WriteTextLine(const std::string& text) override;
    ResultCode SaveMessage() override;

    char ReadChar() override;
    bool AtTextEnd() override;
    // maxLen above 254 counts as 254.
    std::string ReadTextLine(std::uint16_t maxLen) override;
    std::string GetFromName() override;
    std::string GetToName() override;
    std::string GetSubject() override;
    std::uint16_t GetCost() override;
    TDateTime GetDateTime() override;
    MsgNumber GetReplyTo() override;
    MsgNumber GetReplyFirst() override;
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
    bool IsEcho() override;
    bool IsRead() override;
    std::int32_t GetPosition() override;
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
    void SetMailKind(std::uint8_t kind) override;
    std::uint16_t GetSubArea() override;
    void RewriteHeader() override;
    void DeleteCurrent() override;
    std::int32_t CountMessages() override;
    MsgNumber GetLastRead(std::int32_t user) override;
    void SetLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t GetTextPosition() override;
    void SetTextPosition(std::int64_t position) override;

    // Kind-specific.
    // Zone of the addresses of messages without an INTL control line.
    void SetDefaultZone(std::uint16_t zone) { defaultZone_ = zone; }
    // 0, kFileNotFound, kCannotOpen (after LoadHeader) or kNoTempName /
    // kCannotCreateTemp (after StartNewMessage).
    ResultCode MessageStatus() const { return status_; }
    // The area directory as kept, ending in "/".
    const std::string& AreaPath() const { return path_; }
    // Full name of the file of message n as found when the area was listed
    // (or "<n>.msg" when there is none).
    std::string MessageFileName(MsgNumber n) const;

private:
    enum : std::uint8_t { kNoName = 0, kLowerName = 1, kUpperName = 2, kOtherName = 3 };

    bool TestBit(MsgNumber n) const;
    void SetBit(MsgNumber n, bool on);
    void RebuildBitmap();
    void NoteName(MsgNumber n, const std::string& name, bool plain);
    void CloseMessageFile();
    void DropTempFile();
    bool FirstWindow();
    bool EnsureWindow(std::int64_t pos);
    void ScanText();
    void ParseControlLine(std::string line);
    std::string HeaderString(std::size_t offset, std::size_t limit) const;
    void PutHeaderString(std::size_t offset, std::size_t fieldSize, const std::string& ansi);
    std::uint16_t HeaderWord(std::size_t offset) const;
    void PutHeaderWord(std::size_t offset, std::uint16_t value);
    bool Attribute(int bit) const;
    void SetAttribute(int bit, bool on);
    std::string LastReadFileName() const;

    std::string path_;
    std::array<std::uint8_t, 4001> bitmap_{};
    // Per number how its file is named; kOtherName names are in otherNames_.
    std::vector<std::uint8_t> nameKind_;
    std::map<MsgNumber, std::string> otherNames_;
    MsgNumber current_ = 0;

    FileHandle file_;
    std::string fileName_;
    std::int64_t fileLength_ = 0;
    std::vector<char> window_;
    std::int64_t windowStart_ = 0;
    std::int64_t windowLength_ = 0;
    ResultCode status_ = 0;

    std::array<std::uint8_t, kHeaderSize> header_{};
    std::int64_t textPos_ = kHeaderSize;
    std::int64_t textEnd_ = 0;
    bool textEnded_ = false;
    std::string lineBuffer_;

    FidoAddress dest_, orig_;
    std::uint16_t defaultZone_ = 1;
    TDateTime dateTime_ = 0;
    std::uint8_t mailKind_ = 0;

    bool composing_ = false;
    std::string tempName_;
    std::string newText_;  // OEM text of the message being composed

    std::string findName_, findAlias_;
};

void RegisterFidoMsgArea();

}  // namespace orbisk
