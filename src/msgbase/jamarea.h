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
// marking the header only leave the index record live). getMessageNumber
// gives the number of that index record, so that locateFrom with it finds
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
    void setIsReceiptFlag(bool on) override;  // JAM has no such bit
    void setFileRequestFlag(bool on) override;
    void setFormatMark(std::int32_t value) override;  // the read bit
    void writeText(const std::string& text) override;
    void writeChar(char c) override;
    void writeTextLine(const std::string& text) override;
    // Control line (with or without its ^A) -> header subfield.
    void writeKludgeLine(const std::string& text) override;
    ResultCode saveMessage() override;
    char readChar() override;
    bool atTextEnd() override;
    // The shared line rules, with a shortcut for the common line: one that
    // lies whole in the text window and ends in CR, NUL or the text end
    // within maxLen. Any other line goes to MessageArea::readTextLine.
    std::string readTextLine(std::uint16_t maxLen) override;
    void readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) override;
    std::string getFromName() override;
    std::string getToName() override;
    std::string getSubject() override;
    std::uint16_t getCost() override;
    DateTime getDateTime() override;
    MsgNumber getReplyTo() override;
    MsgNumber getReplyFirst() override;
    MsgNumber getNextReplyLink() override;
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
    bool isReceipt() override;  // always false
    bool isFileRequest() override;
    bool isReceived() override;
    bool isPrivate() override;
    bool isDeleted() override;
    bool isEcho() override;  // always true
    bool isRead() override;
    std::int32_t getPosition() override;
    void setPosition(std::int32_t position) override;
    void loadHeader() override;
    void startText() override;
    void startNewMessage() override;
    void locateFrom(MsgNumber n) override;
    void locateNext() override;
    void locatePrior() override;
    bool isLocated() override;
    // Unreceived messages whose addressee is either name (compared without
    // regard to case). The index checksums are not trusted: some tossers
    // store garbage there.
    void findAddressedFirst(const std::string& name, const std::string& alias) override;
    void findAddressedNext() override;
    bool foundAddressed() override;
    MsgNumber getHighNumber() override;
    void setMailKind(std::uint8_t kind) override;  // 0 local, 1 echo, 2 net
    std::uint16_t getSubArea() override;
    void rewriteHeader() override;
    ResultCode deleteCurrent() override;
    bool isHeaderLoaded() override;
    std::int64_t getIdentityKey() override;
    std::int32_t countMessages() override;
    // Last-read records are matched by user id (the user index); a new
    // record gets the checksum of the index's decimal text as its user CRC.
    MsgNumber getLastRead(std::int32_t user) override;
    void setLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t getTextPosition() override;
    void setTextPosition(std::int64_t position) override;

    // Result of the latest file operation inside the kind; 0 = success.
    ResultCode lastIoResult() const { return lastIo_; }

private:
    // readTextLine into `line`, whose capacity is kept.
    void readLineInto(std::string& line, std::uint16_t maxLen);
    std::string fileName(const char* ext) const;
    std::int64_t baseNumber() const;
    std::int64_t highNumber() const;
    bool readBaseHeader();
    void refreshIndexSize();
    void dropCaches();
    // Index record of number n through the index window; false when there
    // is none.
    bool indexRecord(std::int64_t n, std::uint32_t& crc, std::int32_t& offset);
    // Bytes of the header file through the header cache; the count read.
    std::size_t readHeaderBytes(std::int64_t offset, std::size_t count, std::uint8_t* out);
    bool readFixedHeader(std::int64_t offset, std::uint8_t* out);
    bool exists(std::int64_t n);
    void fillTextWindow();
    void parseAddresses();
    void addKludge(const char* prefix, const std::uint8_t* data, std::size_t len);
    std::uint32_t attr() const;
    void setAttr(std::uint32_t bit, bool on);
    bool writeIndexRecord(std::int64_t n, std::uint32_t crc, std::uint32_t offset);
    bool findLastRead(std::int32_t user, std::int64_t& at, std::array<std::uint8_t, kLastReadRecordSize>& rec,
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
    std::vector<char> txtAnsi_;         // the same bytes converted to ANSI
    std::int64_t txtStart_ = 0;
    std::size_t txtValid_ = 0;
    std::int64_t txtSize_ = 0;  // text file size, as last asked

    std::string kludges_;  // OEM ^A lines, each ending in CR
    std::string from_, to_, subject_;  // OEM
    FidoAddress orig_, dest_;
    std::string origText_, destText_;  // as stored, until parsed
    bool addressesParsed_ = true;
    DateTime date_ = 0;
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

void registerJamArea();

}  // namespace orbisk
