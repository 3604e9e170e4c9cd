#pragma once
// One echo area of a FidoNet message base, whatever its storage format.
// The program builds an area identifier, opens the area with
// openAreaByIdentifier, walks it through the virtual operations below and
// releases it with closeAreaAndFree, all within one operation.
//
// Area identifier: character 1 is the format letter, compared without
// regard to case (F Fido *.MSG, H Hudson, J JAM, S Squish); characters
// 2.. are the area path handed unchanged to setAreaPath. No kind shortens
// it: a cut path would open a sibling base whose name is the prefix.
//
// Failures are result codes (0 = success) and booleans, never exceptions.
// Non-zero codes are file-layer codes (fileio.h: 2, 3, 5, ...) or the
// kinds' own (Fido 500/200/1000/1001/1002, Squish 100/1001/999/300, JAM 500,
// Hudson 5000/1000/1111/2222).
//
// Text: the bases store the OEM code page (866). Every string a kind returns
// (names, subject, text lines) is converted with oemToAnsi, every string it
// stores with ansiToOem / ansiToOemChar (base/codepage.h). Fields and lines
// are bounded (names 35, subject 71, lines 255).
//
// Writing a storage kind:
//   * derive from MessageArea and override the operations it supports;
//   * destroy() must be safe to call twice; the destructor releases whatever
//     is still held as well;
//   * for text reading implement startText, readChar, atTextEnd,
//     getTextPosition and setTextPosition; the shared readTextLine (override
//     it only to clamp maxLen and call MessageArea::readTextLine) and
//     readTextLineNoKludge then give the line rules to every kind;
//   * a kind that holds the whole text in one buffer may also return it
//     from textSpan, so that the shared reader scans it directly (same
//     rules, no call per character);
//   * getSubject returns cleanSubject(<stored OEM subject>);
//   * register the kind: define `void RegisterXxxArea()` that calls
//     registerAreaKind('X', &makeArea<XxxArea>), and add the one line
//     ORBISK_AREA_KIND(registerXxxArea) to msgbase/areakinds.inc.
//
// Operations a kind leaves out: the base implementation does nothing
// harmful and answers neutrally (result code kNotImplemented, false, 0, "" -
// but atTextEnd answers true so that no reading loop can spin), and records
// the operation's name in lastUnimplementedCall(). It throws nothing, as msgbase
// reports every failure by result code: a neutral answer makes the callers'
// loops end and their checks fail, which is what they already handle for
// damaged bases.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "msgbase/address.h"

namespace orbisk {

using MsgNumber = std::int32_t;    // 0 = no message
using ResultCode = std::uint16_t;  // 0 = success

// Answer of an operation that the kind does not implement: a code that
// neither the file layer nor any kind gives, so that it is never taken for
// a failure of the base's files.
constexpr ResultCode kNotImplemented = 210;

class MessageArea {
public:
    MessageArea() = default;
    virtual ~MessageArea() = default;
    MessageArea(const MessageArea&) = delete;
    MessageArea& operator=(const MessageArea&) = delete;

    // (*) marks what the program calls.
    virtual void destroy();                                      // (*) no-op in the base
    virtual void setAreaPath(const std::string& path);           // (*)
    virtual ResultCode openArea();                               // (*)
    virtual ResultCode closeArea();                              // (*)
    virtual ResultCode createArea();
    virtual bool areaExists();
    virtual bool lockArea();
    virtual bool unlockArea();
    virtual void setDestAddress(const FidoAddress& a);
    virtual void setOrigAddress(const FidoAddress& a);
    virtual void setFromName(const std::string& name);
    virtual void setToName(const std::string& name);
    virtual void setSubject(const std::string& subject);
    virtual void setCost(std::uint16_t cost);
    virtual void setReplyTo(MsgNumber n);
    virtual void setReplyFirst(MsgNumber n);
    virtual void setDateTime(DateTime t);
    virtual void setLocalFlag(bool on);
    virtual void setReceivedFlag(bool on);
    virtual void setPrivateFlag(bool on);
    virtual void setCrashFlag(bool on);
    virtual void setKillSentFlag(bool on);
    virtual void setSentFlag(bool on);
    virtual void setFileAttachFlag(bool on);
    virtual void setReceiptRequestFlag(bool on);
    virtual void setAuditRequestFlag(bool on);
    virtual void setIsReceiptFlag(bool on);
    virtual void setFileRequestFlag(bool on);
    // Kind-specific mark: Fido the times-read count, Squish and JAM the read
    // bit (non-zero sets it).
    virtual void setFormatMark(std::int32_t value);
    virtual void writeText(const std::string& text);             // each char through writeChar
    virtual void writeChar(char c);                              // ANSI in, stored as OEM
    virtual void writeTextLine(const std::string& text);
    virtual void writeKludgeLine(const std::string& text);       // base: writeTextLine
    virtual ResultCode saveMessage();
    // Next raw (OEM) text byte, advancing. At the end of the text, and at a
    // NUL byte wherever it stands, it returns 0 without advancing and
    // atTextEnd() is true from then until the next startText.
    virtual char readChar();
    virtual bool atTextEnd();                                    // (*)
    // Next text line, converted to ANSI (rules in messagearea.cpp). maxLen
    // 0 counts as 1. Byte 0x8D stays (the 866 letter EN); NUL ends the text.
    virtual std::string readTextLine(std::uint16_t maxLen);      // shared
    // Next line that is not a control line (^A); see messagearea.cpp.
    virtual std::string readTextLineNoKludge(std::uint16_t maxLen);  // (*) shared
    // readTextLineNoKludge into `line`, whose capacity is kept from call to
    // call: a load reads every listing line through here. The base assigns
    // readTextLineNoKludge; a kind overrides it to read without a new string.
    virtual void readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen);  // (*)
    virtual bool getLastLineWrapped();                           // shared
    virtual std::string getFromName();
    virtual std::string getToName();
    virtual std::string getSubject();                            // (*) cleaned
    virtual std::uint16_t getCost();
    virtual DateTime getDateTime();
    virtual MsgNumber getReplyTo();
    virtual MsgNumber getReplyFirst();
    virtual MsgNumber getNextReplyLink();                        // base: 0
    virtual void setNextReplyLink(MsgNumber n);
    virtual MsgNumber getMessageNumber();                        // (*)
    virtual FidoAddress getOrigAddress();
    virtual FidoAddress getDestAddress();
    virtual bool isLocal();
    virtual bool isCrash();
    virtual bool isKillSent();
    virtual bool isSent();
    virtual bool isFileAttach();
    virtual bool isReceiptRequest();
    virtual bool isAuditRequest();
    virtual bool isReceipt();
    virtual bool isFileRequest();
    virtual bool isReceived();
    virtual bool isPrivate();
    virtual bool isDeleted();
    virtual bool isEcho();
    virtual bool isRead();
    virtual std::int32_t getPosition();                          // opaque
    virtual void setPosition(std::int32_t position);
    virtual void loadHeader();                                   // (*)
    virtual void startText();                                    // (*)
    virtual void startNewMessage();
    virtual void locateFrom(MsgNumber n);                        // (*)
    virtual void locateNext();                                   // (*)
    virtual void locatePrior();
    virtual bool isLocated();                                    // (*)
    virtual void findAddressedFirst(const std::string& name, const std::string& alias);
    virtual void findAddressedNext();
    virtual bool foundAddressed();
    virtual MsgNumber getHighNumber();
    virtual void setMailKind(std::uint8_t kind);
    virtual std::uint16_t getSubArea();
    virtual void rewriteHeader();
    // 0 when the message is gone; else why it is not (a file-layer or the
    // kind's code; 2 when nothing is located).
    virtual ResultCode deleteCurrent();                          // (*)
    // True after loadHeader read the message's header; false when it could
    // not be read (such a message is neither listing nor deletable).
    virtual bool isHeaderLoaded();                               // (*)
    // What the kind itself tells this message by besides its number, so
    // that another message that takes the number later differs: Squish the
    // UMSGID, JAM the header offset, Hudson board and record; Fido 0 (the
    // file is the message). -1 when nothing is loaded.
    virtual std::int64_t getIdentityKey();                       // (*)
    virtual void setFormatOption(bool on);
    virtual std::int32_t countMessages();
    virtual MsgNumber getLastRead(std::int32_t user);
    virtual void setLastRead(std::int32_t user, MsgNumber n);
    virtual MsgNumber getDisplayNumber();                        // base: getMessageNumber
    // Opaque text cursor: setTextPosition(getTextPosition()) must restore
    // the cursor exactly (the shared line reader steps back with it).
    virtual std::int64_t getTextPosition();
    virtual void setTextPosition(std::int64_t position);
    virtual MsgNumber getHighestExisting();                      // shared

    // The last operation called that this kind does not implement, or
    // nullptr. For diagnostics and tests.
    const char* lastUnimplementedCall() const { return lastUnimplementedCall_; }

protected:
    // The whole text of the loaded message as one block, valid until the
    // next startText or loadHeader, with getTextPosition counting bytes from
    // its start; readChar and atTextEnd must agree with it (readChar gives
    // the byte at the position, or 0 at its end or at a NUL and then
    // atTextEnd is true). A view with a null data() (the default) means
    // the kind has no such block and is read through readChar.
    virtual std::string_view textSpan();
    // The shared rules of readTextLine, the line written into `line`.
    void readSharedLine(std::string& line, std::uint16_t maxLen);
    // The control-line rule of readTextLineNoKludge over a kind's own line
    // reader, readLine(line), that follows the readTextLine rules.
    template <class ReadLine>
    void skipControlLines(std::string& line, ReadLine readLine) {
        readLine(line);
        bool control = !line.empty() && line[0] == '\x01';
        while (control && !atTextEnd()) {
            const bool wrapped = getLastLineWrapped();
            readLine(line);
            control = wrapped || (!line.empty() && line[0] == '\x01');
        }
    }
    // Notes a call of an operation the kind leaves out.
    void noteUnimplemented(const char* operation) { lastUnimplementedCall_ = operation; }
    // Stored OEM subject -> ANSI without leading "RE:" prefixes.
    static std::string cleanSubject(std::string_view oemSubject);

    // True after a line was cut because it did not fit, false after a line
    // that ended with CR. Kinds reset it in loadHeader and startText.
    bool lastLineWrapped_ = false;

private:
    const char* lastUnimplementedCall_ = nullptr;
};

// Who a message is: what a deletion decided on, checked again just before
// the message is deleted.
struct MessageIdentity {
    MsgNumber number = 0;
    std::string subject;
    DateTime written = 0;
    std::int64_t key = -1;
    bool operator==(const MessageIdentity&) const = default;
};

// The identity of the header just loaded.
MessageIdentity identityOfLoaded(MessageArea& area);

enum class DeleteOutcome { deleted, skipped, failed };
struct DeleteAnswer {
    DeleteOutcome outcome = DeleteOutcome::failed;
    ResultCode code = 0;  // why, when failed
};

// Under the area's lock: locates `expected.number` again, loads its header
// and deletes it only when it still is `expected`; a message that is gone,
// unreadable or another one now is left alone (skipped). A lock that
// cannot be had, or a delete or unlock that fails, is failed with its code.
DeleteAnswer deleteIfUnchanged(MessageArea& area, const MessageIdentity& expected);
// The same for a whole run under one lock: one wait for another writer's
// lock, and what a kind writes back on unlock (Squish its index) written
// once. answers[i] is the answer for expected[i].
std::vector<DeleteAnswer> deleteEachIfUnchanged(MessageArea& area, const std::vector<MessageIdentity>& expected);

// Makes an area object of one kind; may throw std::bad_alloc (caught by
// createAreaForIdentifier).
using AreaFactory = std::unique_ptr<MessageArea> (*)();

template <class Kind>
std::unique_ptr<MessageArea> makeArea() {
    return std::make_unique<Kind>();
}

// Binds a format letter (either case) to a kind; a null factory removes the
// binding. False for anything but A..Z / a..z. The built-in kinds listed in
// areakinds.inc register themselves before the first area is created.
bool registerAreaKind(char letter, AreaFactory factory);

// Sets area to null, then creates the kind of the identifier's letter and
// hands it characters 2 onwards. False, with nothing allocated, for an empty
// identifier, a letter without a kind, or when memory runs out.
bool createAreaForIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// Runs destroy() and frees the object; area becomes null. Null is fine.
void destroyArea(std::unique_ptr<MessageArea>& area);
// createAreaForIdentifier, then openArea. True only when openArea gave 0;
// otherwise the area is destroyed and left null.
bool openAreaByIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// False for a null area. Else closeArea, then destroyArea in any case;
// true when closeArea gave 0.
bool closeAreaAndFree(std::unique_ptr<MessageArea>& area);

}  // namespace orbisk
