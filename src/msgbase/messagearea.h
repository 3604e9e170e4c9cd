#pragma once
// One echo area of a FidoNet message base, whatever its storage format.
// The program builds an area identifier, opens the area with
// openAreaByIdentifier, walks it through the virtual operations below and
// releases it with closeAreaAndFree, all within one operation.
//
// Area identifier: character 1 is the format letter, compared without
// regard to case (F Fido *.MSG, H Hudson, J JAM, S Squish); characters
// 2..129 are the area path handed unchanged to setAreaPath (anything after
// character 129 is ignored). Each kind keeps a bounded prefix of it.
//
// Failures are result codes (0 = success) and booleans, never exceptions.
// Non-zero codes are file-layer codes (fileio.h: 2, 3, 5, ...) or the
// kinds' own (Fido 500/200/1000/1001/1002, Squish 100/1001/999/300, JAM 500,
// Hudson 5000/1000/1111/2222).
//
// Text: the bases store the OEM code page (866). Every string a kind returns
// (names, subject, text lines) is converted with oemToAnsi, every string it
// stores with ansiToOem / ansiToOemChar (base/codepage.h). Fields and lines
// are bounded (names 35, subject 71, lines 255), so the historical limit of
// 255 characters per conversion never cuts anything.
//
// Writing a storage kind:
//   * derive from MessageArea, override the operations it supports (the
//     table order below is the contract's order, not a layout requirement);
//   * Destroy must be safe to call twice; the destructor releases whatever
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
//     ORBISK_AREA_KIND(RegisterXxxArea) to msgbase/areakinds.inc.
//
// Operations a kind leaves out: the base implementation does nothing
// harmful and answers neutrally (result code kAbstractCall, false, 0, "" -
// but atTextEnd answers true so that no reading loop can spin), and records
// the operation's name in lastAbstractCall(). The platform this comes from
// stopped with an "abstract error"; msgbase never throws, and a neutral
// answer makes the callers' loops end and their checks fail, which is what
// they already handle for damaged bases.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "msgbase/address.h"

namespace orbisk {

using MsgNumber = std::int32_t;    // 0 = no message
using ResultCode = std::uint16_t;  // 0 = success

// Answer of an operation that the kind does not implement (the old
// runtime's number for an abstract call).
constexpr ResultCode kAbstractCall = 210;

class MessageArea {
public:
    MessageArea() = default;
    virtual ~MessageArea() = default;
    MessageArea(const MessageArea&) = delete;
    MessageArea& operator=(const MessageArea&) = delete;

    // Slot order of the operation table; (*) marks what the program calls.
    virtual void destroy();                                      // 0 (*) no-op in the base
    virtual void setAreaPath(const std::string& path);           // 1 (*)
    virtual ResultCode openArea();                               // 2 (*)
    virtual ResultCode closeArea();                              // 3 (*)
    virtual ResultCode createArea();                             // 4
    virtual bool areaExists();                                   // 5
    virtual bool lockArea();                                     // 6
    virtual bool unlockArea();                                   // 7
    virtual void setDestAddress(const FidoAddress& a);           // 8
    virtual void setOrigAddress(const FidoAddress& a);           // 9
    virtual void setFromName(const std::string& name);           // 10
    virtual void setToName(const std::string& name);             // 11
    virtual void setSubject(const std::string& subject);         // 12
    virtual void setCost(std::uint16_t cost);                    // 13
    virtual void setReplyTo(MsgNumber n);                        // 14
    virtual void setReplyFirst(MsgNumber n);                     // 15
    virtual void setDateTime(DateTime t);                       // 16
    virtual void setLocalFlag(bool on);                          // 17
    virtual void setReceivedFlag(bool on);                       // 18
    virtual void setPrivateFlag(bool on);                        // 19
    virtual void setCrashFlag(bool on);                          // 20
    virtual void setKillSentFlag(bool on);                       // 21
    virtual void setSentFlag(bool on);                           // 22
    virtual void setFileAttachFlag(bool on);                     // 23
    virtual void setReceiptRequestFlag(bool on);                 // 24
    virtual void setAuditRequestFlag(bool on);                   // 25
    virtual void setIsReceiptFlag(bool on);                      // 26
    virtual void setFileRequestFlag(bool on);                    // 27
    // Kind-specific mark: Fido the times-read count, Squish and JAM the read
    // bit (non-zero sets it).
    virtual void setFormatMark(std::int32_t value);              // 28
    virtual void writeText(const std::string& text);             // 29 each char through writeChar
    virtual void writeChar(char c);                              // 30 ANSI in, stored as OEM
    virtual void writeTextLine(const std::string& text);         // 31
    virtual void writeKludgeLine(const std::string& text);       // 32 base: writeTextLine
    virtual ResultCode saveMessage();                            // 33
    // Next raw (OEM) text byte, advancing. At the end of the text, and at a
    // NUL byte wherever it stands, it returns 0 without advancing and
    // atTextEnd() is true from then until the next startText.
    virtual char readChar();                                     // 34
    virtual bool atTextEnd();                                    // 35 (*)
    // Next text line, converted to ANSI (rules in messagearea.cpp). maxLen
    // 0 counts as 1. Byte 0x8D stays (the 866 letter EN); NUL ends the text.
    virtual std::string readTextLine(std::uint16_t maxLen);      // 36 shared
    // Next line that is not a control line (^A); see messagearea.cpp.
    virtual std::string readTextLineNoKludge(std::uint16_t maxLen);  // 37 (*) shared
    virtual bool getLastLineWrapped();                           // 38 shared
    virtual std::string getFromName();                           // 39
    virtual std::string getToName();                             // 40
    virtual std::string getSubject();                            // 41 (*) cleaned
    virtual std::uint16_t getCost();                             // 42
    virtual DateTime getDateTime();                             // 43
    virtual MsgNumber getReplyTo();                              // 44
    virtual MsgNumber getReplyFirst();                           // 45
    virtual MsgNumber getNextReplyLink();                        // 46 base: 0
    virtual void setNextReplyLink(MsgNumber n);                  // 47
    virtual MsgNumber getMessageNumber();                        // 48 (*)
    virtual FidoAddress getOrigAddress();                        // 49
    virtual FidoAddress getDestAddress();                        // 50
    virtual bool isLocal();                                      // 51
    virtual bool isCrash();                                      // 52
    virtual bool isKillSent();                                   // 53
    virtual bool isSent();                                       // 54
    virtual bool isFileAttach();                                 // 55
    virtual bool isReceiptRequest();                             // 56
    virtual bool isAuditRequest();                               // 57
    virtual bool isReceipt();                                    // 58
    virtual bool isFileRequest();                                // 59
    virtual bool isReceived();                                   // 60
    virtual bool isPrivate();                                    // 61
    virtual bool isDeleted();                                    // 62
    virtual bool isEcho();                                       // 63
    virtual bool isRead();                                       // 64
    virtual std::int32_t getPosition();                          // 65 opaque
    virtual void setPosition(std::int32_t position);             // 66
    virtual void loadHeader();                                   // 67 (*)
    virtual void startText();                                    // 68 (*)
    virtual void startNewMessage();                              // 69
    virtual void locateFrom(MsgNumber n);                        // 70 (*)
    virtual void locateNext();                                   // 71 (*)
    virtual void locatePrior();                                  // 72
    virtual bool isLocated();                                    // 73 (*)
    virtual void findAddressedFirst(const std::string& name, const std::string& alias);  // 74
    virtual void findAddressedNext();                            // 75
    virtual bool foundAddressed();                               // 76
    virtual MsgNumber getHighNumber();                           // 77
    virtual void setMailKind(std::uint8_t kind);                 // 78
    virtual std::uint16_t getSubArea();                          // 79
    virtual void rewriteHeader();                                // 80
    virtual void deleteCurrent();                                // 81 (*)
    virtual void setFormatOption(bool on);                       // 82
    virtual std::int32_t countMessages();                        // 83
    virtual MsgNumber getLastRead(std::int32_t user);            // 84
    virtual void setLastRead(std::int32_t user, MsgNumber n);    // 85
    virtual MsgNumber getDisplayNumber();                        // 86 base: getMessageNumber
    // Opaque text cursor: setTextPosition(getTextPosition()) must restore
    // the cursor exactly (the shared line reader steps back with it).
    virtual std::int64_t getTextPosition();                      // 87
    virtual void setTextPosition(std::int64_t position);         // 88
    virtual MsgNumber getHighestExisting();                      // 89 shared

    // The last operation called that this kind does not implement, or
    // nullptr. For diagnostics and tests.
    const char* lastAbstractCall() const { return lastAbstractCall_; }

protected:
    // The whole text of the loaded message as one block, valid until the
    // next startText or loadHeader, with getTextPosition counting bytes from
    // its start; readChar and atTextEnd must agree with it (readChar gives
    // the byte at the position, or 0 at its end or at a NUL and then
    // atTextEnd is true). A view with a null data() (the default) means
    // the kind has no such block and is read through readChar.
    virtual std::string_view textSpan();
    // Notes a call of an operation the kind leaves out.
    void abstractCall(const char* operation) { lastAbstractCall_ = operation; }
    // Stored OEM subject -> ANSI without leading "RE:" prefixes.
    static std::string cleanSubject(std::string_view oemSubject);

    // True after a line was cut because it did not fit, false after a line
    // that ended with CR. Kinds reset it in loadHeader and startText.
    bool lastLineWrapped_ = false;

private:
    const char* lastAbstractCall_ = nullptr;
};

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
// hands it characters 2..129. False, with nothing allocated, for an empty
// identifier, a letter without a kind, or when memory runs out.
bool createAreaForIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// Runs Destroy and frees the object; area becomes null. Null is fine.
void destroyArea(std::unique_ptr<MessageArea>& area);
// createAreaForIdentifier, then openArea. True only when openArea gave 0;
// otherwise the area is destroyed and left null.
bool openAreaByIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// False for a null area. Else closeArea, then destroyArea in any case;
// true when closeArea gave 0.
bool closeAreaAndFree(std::unique_ptr<MessageArea>& area);

}  // namespace orbisk
