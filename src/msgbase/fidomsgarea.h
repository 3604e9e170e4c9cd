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
// Reading keeps the current message file open from loadHeader to the next
// loadHeader, deleteCurrent, startNewMessage, closeArea or Destroy, read
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

    // Own result codes (message status and saveMessage).
    static constexpr ResultCode kNoDirectory = 500;
    static constexpr ResultCode kFileNotFound = 200;
    static constexpr ResultCode kCannotOpen = 1000;
    static constexpr ResultCode kNoTempName = 1001;
    static constexpr ResultCode kCannotCreateTemp = 1002;
    // saveMessage when no number up to 31999 is free above the highest.
    static constexpr ResultCode kAreaFull = 80;

    FidoMsgArea();
    ~FidoMsgArea() override;

    void destroy() override;
    void setAreaPath(const std::string& path) override;
    ResultCode openArea() override;
    ResultCode closeArea() override;
    ResultCode createArea() override;
    bool areaExists() override;

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
    void setFormatMark(std::int32_t value) override;  // times read
    void writeText(const std::string& text) override;
    void writeChar(char c) override;
    void writeTextLine(const std::string& text) override;
    ResultCode saveMessage() override;

    char readChar() override;
    bool atTextEnd() override;
    // maxLen above 254 counts as 254.
    std::string readTextLine(std::uint16_t maxLen) override;
    void readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) override;
    std::string getFromName() override;
    std::string getToName() override;
    std::string getSubject() override;
    std::uint16_t getCost() override;
    DateTime getDateTime() override;
    MsgNumber getReplyTo() override;
    MsgNumber getReplyFirst() override;
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
    bool isEcho() override;
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
    void findAddressedFirst(const std::string& name, const std::string& alias) override;
    void findAddressedNext() override;
    bool foundAddressed() override;
    MsgNumber getHighNumber() override;
    void setMailKind(std::uint8_t kind) override;
    std::uint16_t getSubArea() override;
    void rewriteHeader() override;
    ResultCode deleteCurrent() override;
    // Each message is its own file: there is no area lock to take.
    bool lockArea() override { return true; }
    bool unlockArea() override { return true; }
    bool isHeaderLoaded() override;
    std::int64_t getIdentityKey() override;
    std::int32_t countMessages() override;
    MsgNumber getLastRead(std::int32_t user) override;
    void setLastRead(std::int32_t user, MsgNumber n) override;
    std::int64_t getTextPosition() override;
    void setTextPosition(std::int64_t position) override;

    // Kind-specific.
    // Zone of the addresses of messages without an INTL control line.
    void setDefaultZone(std::uint16_t zone) { defaultZone_ = zone; }
    // 0, kFileNotFound, kCannotOpen (after loadHeader) or kNoTempName /
    // kCannotCreateTemp (after startNewMessage).
    ResultCode messageStatus() const { return status_; }
    // The area directory as kept, ending in "/".
    const std::string& areaPath() const { return path_; }
    // Full name of the file of message n as found when the area was listed
    // (or "<n>.msg" when there is none).
    std::string messageFileName(MsgNumber n) const;

private:
    // readTextLine into `line`, whose capacity is kept.
    void readLineInto(std::string& line, std::uint16_t maxLen);
    enum : std::uint8_t { kNoName = 0, kLowerName = 1, kUpperName = 2, kOtherName = 3 };

    bool testBit(MsgNumber n) const;
    void setBit(MsgNumber n, bool on);
    void rebuildBitmap();
    void noteName(MsgNumber n, const std::string& name, bool plain);
    void closeMessageFile();
    void dropTempFile();
    bool firstWindow();
    bool ensureWindow(std::int64_t pos);
    void scanText();
    void parseControlLine(std::string line);
    std::string headerString(std::size_t offset, std::size_t limit) const;
    void putHeaderString(std::size_t offset, std::size_t fieldSize, const std::string& ansi);
    std::uint16_t headerWord(std::size_t offset) const;
    void putHeaderWord(std::size_t offset, std::uint16_t value);
    bool attribute(int bit) const;
    void setAttribute(int bit, bool on);
    std::string lastReadFileName() const;

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

    FidoAddress dest_, orig_;
    std::uint16_t defaultZone_ = 1;
    DateTime dateTime_ = 0;
    std::uint8_t mailKind_ = 0;

    bool composing_ = false;
    std::string tempName_;
    std::string newText_;  // OEM text of the message being composed

    std::string findName_, findAlias_;
};

void registerFidoMsgArea();

}  // namespace orbisk
