#pragma once
// JAM message base: four files sharing one base path, <base>.jhr (1024-byte
// base header, then the message headers with their subfields), .jdt (the
// texts), .jdx (one 8-byte index record per message number) and .jlr (16-byte
// last-read records). Names are found whatever their case; new files are
// created lower case, as Linux tossers make them.
//
// Numbers: message n has index record n - base number. A message exists when
// its index record is live, its header reads whole with the JAM signature and
// the header does not carry the deleted attribute (tools that delete by
// marking the header only leave the index record live). GetMessageNumber
// gives the number of that index record, so that LocateFrom with it finds
// the same message again even when a damaged header stores another number.
//
// Text: the kludge subfields come first as ^A lines ("\x01MSGID: ...",
// "\x01SEEN-BY: ...", ...), each ending in CR, then the stored text. The
// stored text ends at its end offset, the end of the text file or its first
// NUL, whichever comes first.
//
// Writers serialise on an fcntl lock of byte 0 of the header file; reading
// takes no lock.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"

namespace orbisk {

class JamArea : public MessageArea {
public:
    // Sizes of the stored structures.
    static constexpr std::size_t kBaseHeaderSize = 1024;
    static constexpr std::size_t kFixedHeaderSize = 76;
    static constexpr std::size_t kSubfieldBytes = 4000;  // subfield bytes read per header
    static constexpr std::size_t kIndexRecordSize = 8;
    static constexpr std::size_t kLastReadRecordSize = 16;
    // Attribute bits of the message header.
    static constexpr std::uint32_t kAttrLocal = 0x1;
    static constexpr std::uint32_t kAttrPrivate = 0x4;
    static constexpr std::uint32_t kAttrReceived = 0x8;
    static constexpr std::uint32_t kAttrSent = 0x10;
    static constexpr std::uint32_t kAttrKillSent = 0x20;
    static constexpr std::uint32_t kAttrCrash = 0x100;
    static constexpr std::uint32_t kAttrFileRequest = 0x1000;
    static constexpr std::uint32_t kAttrFileAttach = 0x2000;
    static constexpr std::uint32_t kAttrReceiptRequest = 0x10000;
    static constexpr std::uint32_t kAttrAuditRequest = 0x20000;
    static constexpr std::uint32_t kAttrTypeLocal = 0x800000;
    static constexpr std::uint32_t kAttrTypeEcho = 0x1000000;
    static constexpr std::uint32_t kAttrTypeNet = 0x2000000;
    static constexpr std::uint32_t kAttrRead = 0x10000000;
    static constexpr std::uint32_t kAttrDeleted = 0x80000000;

    JamArea();
    ~JamArea() override;

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
    void SetIsReceiptFlag(bool on) override;  // JAM has no such bit
    void SetFileRequestFlag(bool on) override;
    void SetFormatMark(std::int32_t value) override;  // the read bit
    void WriteText(const std::string& text) override;
    void WriteChar(char c) override;
    void WriteTextLine(const std::string& text) override;
    // Control line (with or without its ^A) -> header subfield.
    void WriteKludgeLine(const std::string& text) override;
    ResultCode SaveMessage() override;
    char ReadChar() override;
    bool AtTextEnd() override;
    // The shared line rules, with a shortcut for the common line: one that
    // lies whole in the text window and ends in CR, NUL or the text end
    // within maxLen. Any other line goes to MessageArea::ReadTextLine.
    std::string ReadTextLine(std::uint16_t maxLen) override;
    std::string GetFromName() override;
    std::string GetToName() override;
    std::string GetSubject() override;
    std::uint16_t GetCost() override;
    TDateTime GetDateTime() override;
    MsgNumber GetReplyTo() override;
    MsgNumber GetReplyFirst() override;
    MsgNumber GetNextReplyLink() override;
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
    bool IsReceipt() override;  // always false
    bool IsFileRequest() override;
    bool IsReceived() override;
    bool IsPrivate() override;
    bool IsDeleted() override;
    bool IsEcho() override;  // always true
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
    // Unreceived messages whose addressee is either name (compared without
    // regard to case). The index checksums are not trusted: some tossers
    // store garbage there.
    void FindAddressedFirst(const std::string& name, const std::string& alias) override;
    void FindAddressedNext() override;
    bool FoundAddressed() override;
    MsgNumber GetHighNumber() override;
    void SetMailKind(std::uint8_t kind) override;  // 0 local, 1 echo, 2 net
    std::uint16_t GetSubArea() override;
    void RewriteHeader() override;
    void DeleteCurrent() override;
    std::int32_t CountMessages() override;
    // Last-read records are matched by user id (the user index); a new
    // record gets the checksum of the index's decimal text as its user CRC.
    MsgNumber GetLastRead(std::int32_t user) override;
    void SetLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t GetTextPosition() override;
    void SetTextPosition(std::int64_t position) override;

    // Result of the latest file operation inside the kind; 0 = success.
    ResultCode LastIoResult() const { return lastIo_; }

private:
    std::string FileName(const char* ext) const;
    std::int64_t BaseNumber() const;
    std::int64_t HighNumber() const;
    bool ReadBaseHeader();
    void RefreshIndexSize();
    void DropCaches();
    // Index record of number n through the index window; false when there
    // is none.
    bool IndexRecord(std::int64_t n, std::uint32_t& crc, std::int32_t& offset);
    // Bytes of the header file through the header cache; the count read.
    std::size_t ReadHeaderBytes(std::int64_t offset, std::size_t count, std::uint8_t* out);
    bool ReadFixedHeader(std::int64_t offset, std::uint8_t* out);
    bool Exists(std::int64_t n);
    void FillTextWindow();
    void ParseAddresses();
    void AddKludge(const char* prefix, const std::uint8_t* data, std::size_t len);
    std::uint32_t Attr() const;
    void SetAttr(std::uint32_t bit, bool on);
    bool WriteIndexRecord(std::int64_t n, std::uint32_t crc, std::uint32_t offset);
    bool FindLastRead(std::int32_t user, std::int64_t& at, std::array<std::uint8_t, kLastReadRecordSize>& rec,
                      std::string& name, bool create);

    std::string path_;
    FileHandle hdr_, txt_, idx_;
    bool open_ = false;
    std::array<std::uint8_t, kBaseHeaderSize> base_{};
    std::int64_t idxRecords_ = 0;  // index file size in records

    std::vector<std::uint8_t> idxWin_;  // index window
    std::int64_t idxStart_ = 0;         // first record in it
    std::int64_t idxCount_ = 0;         // records in it

    std::vector<std::uint8_t> hdrCache_;  // window over the header file
    std::int64_t hdrCacheStart_ = 0;
    std::size_t hdrCacheValid_ = 0;

    // Header of the loaded (or new) message: fixed part, then subfields.
    std::array<std::uint8_t, kFixedHeaderSize + kSubfieldBytes> hbuf_{};
    bool headerLoaded_ = false;  // hbuf_ holds the header of loadedNumber_
    std::int64_t loadedNumber_ = 0;
    std::int64_t loadedOffset_ = -1;

    std::vector<std::uint8_t> txtWin_;  // text window
    std::string txtAnsi_;               // the same bytes converted to ANSI
    std::int64_t txtStart_ = 0;
    std::size_t txtValid_ = 0;
    std::int64_t txtSize_ = 0;  // text file size, as last asked

    std::string kludges_;  // OEM ^A lines, each ending in CR
    std::string from_, to_, subject_;  // OEM
    FidoAddress orig_, dest_;
    std::string origText_, destText_;  // as stored, until parsed
    bool addressesParsed_ = true;
    TDateTime date_ = 0;
    std::int64_t current_ = 0;
    std::int64_t pos_ = 0;  // negative: inside the kludge lines
    std::int64_t textOffset_ = 0;
    std::int64_t textLast_ = -1;
    bool ended_ = false;
    int lockDepth_ = 0;
    ResultCode lastIo_ = 0;
    std::string findName_, findAlias_;
    std::uint8_t mailKind_ = 0;
    std::string newText_;  // OEM text of the message being composed
    std::vector<std::pair<std::uint16_t, std::string>> newKludges_;
};

void RegisterJamArea();

}  // namespace orbisk
