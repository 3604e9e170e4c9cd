#pragma once
// One echo area of a FidoNet message base, whatever its storage format.
// The program builds an area identifier, opens the area with
// OpenAreaByIdentifier, walks it through the virtual operations below and
// releases it with CloseAreaAndFree, all within one operation.
//
// Area identifier: character 1 is the format letter, compared without
// regard to case (F Fido *.MSG, H Hudson, J JAM, S Squish); characters
// 2..129 are the area path handed unchanged to SetAreaPath (anything after
// character 129 is ignored). Each kind keeps a bounded prefix of it.
//
// Failures are result codes (0 = success) and booleans, never exceptions.
// Non-zero codes are file-layer codes (fileio.h: 2, 3, 5, ...) or the
// kinds' own (Fido 500/200/1000/1001/1002, Squish 100/1001/999/300, JAM 500,
// Hudson 5000/1000/1111/2222).
//
// Text: the bases store the OEM code page (866). Every string a kind returns
// (names, subject, text lines) is converted with OemToAnsi, every string it
// stores with AnsiToOem / AnsiToOemChar (base/codepage.h). Fields and lines
// are bounded (names 35, subject 71, lines 255), so the historical limit of
// 255 characters per conversion never cuts anything.
//
// Writing a storage kind:
//   * derive from MessageArea, override the operations it supports (the
//     table order below is the contract's order, not a layout requirement);
//   * Destroy must be safe to call twice; the destructor releases whatever
//     is still held as well;
//   * for text reading implement StartText, ReadChar, AtTextEnd,
//     GetTextPosition and SetTextPosition; the shared ReadTextLine (override
//     it only to clamp maxLen and call MessageArea::ReadTextLine) and
//     ReadTextLineNoKludge then give the line rules to every kind;
//   * a kind that holds the whole text in one buffer may also return it
//     from TextSpan, so that the shared reader scans it directly (same
//     rules, no call per character);
//   * GetSubject returns CleanSubject(<stored OEM subject>);
//   * register the kind: define `void RegisterXxxArea()` that calls
//     RegisterAreaKind('X', &MakeArea<XxxArea>), and add the one line
//     ORBISK_AREA_KIND(RegisterXxxArea) to msgbase/areakinds.inc.
//
// Operations a kind leaves out: the base implementation does nothing
// harmful and answers neutrally (result code kAbstractCall, false, 0, "" -
// but AtTextEnd answers true so that no reading loop can spin), and records
// the operation's name in LastAbstractCall(). The platform this comes from
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
    virtual void Destroy();                                      // 0 (*) no-op in the base
    virtual void SetAreaPath(const std::string& path);           // 1 (*)
    virtual ResultCode OpenArea();                               // 2 (*)
    virtual ResultCode CloseArea();                              // 3 (*)
    virtual ResultCode CreateArea();                             // 4
    virtual bool AreaExists();                                   // 5
    virtual bool LockArea();                                     // 6
    virtual bool UnlockArea();                                   // 7
    virtual void SetDestAddress(const FidoAddress& a);           // 8
    virtual void SetOrigAddress(const FidoAddress& a);           // 9
    virtual void SetFromName(const std::string& name);           // 10
    virtual void SetToName(const std::string& name);             // 11
    virtual void SetSubject(const std::string& subject);         // 12
    virtual void SetCost(std::uint16_t cost);                    // 13
    virtual void SetReplyTo(MsgNumber n);                        // 14
    virtual void SetReplyFirst(MsgNumber n);                     // 15
    virtual void SetDateTime(TDateTime t);                       // 16
    virtual void SetLocalFlag(bool on);                          // 17
    virtual void SetReceivedFlag(bool on);                       // 18
    virtual void SetPrivateFlag(bool on);                        // 19
    virtual void SetCrashFlag(bool on);                          // 20
    virtual void SetKillSentFlag(bool on);                       // 21
    virtual void SetSentFlag(bool on);                           // 22
    virtual void SetFileAttachFlag(bool on);                     // 23
    virtual void SetReceiptRequestFlag(bool on);                 // 24
    virtual void SetAuditRequestFlag(bool on);                   // 25
    virtual void SetIsReceiptFlag(bool on);                      // 26
    virtual void SetFileRequestFlag(bool on);                    // 27
    // Kind-specific mark: Fido the times-read count, Squish and JAM the read
    // bit (non-zero sets it).
    virtual void SetFormatMark(std::int32_t value);              // 28
    virtual void WriteText(const std::string& text);             // 29 each char through WriteChar
    virtual void WriteChar(char c);                              // 30 ANSI in, stored as OEM
    virtual void WriteTextLine(const std::string& text);         // 31
    virtual void WriteKludgeLine(const std::string& text);       // 32 base: WriteTextLine
    virtual ResultCode SaveMessage();                            // 33
    // Next raw (OEM) text byte, advancing. At the end of the text, and at a
    // NUL byte wherever it stands, it returns 0 without advancing and
    // AtTextEnd() is true from then until the next StartText.
    virtual char ReadChar();                                     // 34
    virtual bool AtTextEnd();                                    // 35 (*)
    // Next text line, converted to ANSI (rules in messagearea.cpp). maxLen
    // 0 counts as 1. Byte 0x8D stays (the 866 letter EN); NUL ends the text.
    virtual std::string ReadTextLine(std::uint16_t maxLen);      // 36 shared
    // Next line that is not a control line (^A); see messagearea.cpp.
    virtual std::string ReadTextLineNoKludge(std::uint16_t maxLen);  // 37 (*) shared
    virtual bool GetLastLineWrapped();                           // 38 shared
    virtual std::string GetFromName();                           // 39
    virtual std::string GetToName();                             // 40
    virtual std::string GetSubject();                            // 41 (*) cleaned
    virtual std::uint16_t GetCost();                             // 42
    virtual TDateTime GetDateTime();                             // 43
    virtual MsgNumber GetReplyTo();                              // 44
    virtual MsgNumber GetReplyFirst();                           // 45
    virtual MsgNumber GetNextReplyLink();                        // 46 base: 0
    virtual void SetNextReplyLink(MsgNumber n);                  // 47
    virtual MsgNumber GetMessageNumber();                        // 48 (*)
    virtual FidoAddress GetOrigAddress();                        // 49
    virtual FidoAddress GetDestAddress();                        // 50
    virtual bool IsLocal();                                      // 51
    virtual bool IsCrash();                                      // 52
    virtual bool IsKillSent();                                   // 53
    virtual bool IsSent();                                       // 54
    virtual bool IsFileAttach();                                 // 55
    virtual bool IsReceiptRequest();                             // 56
    virtual bool IsAuditRequest();                               // 57
    virtual bool IsReceipt();                                    // 58
    virtual bool IsFileRequest();                                // 59
    virtual bool IsReceived();                                   // 60
    virtual bool IsPrivate();                                    // 61
    virtual bool IsDeleted();                                    // 62
    virtual bool IsEcho();                                       // 63
    virtual bool IsRead();                                       // 64
    virtual std::int32_t GetPosition();                          // 65 opaque
    virtual void SetPosition(std::int32_t position);             // 66
    virtual void LoadHeader();                                   // 67 (*)
    virtual void StartText();                                    // 68 (*)
    virtual void StartNewMessage();                              // 69
    virtual void LocateFrom(MsgNumber n);                        // 70 (*)
    virtual void LocateNext();                                   // 71 (*)
    virtual void LocatePrior();                                  // 72
    virtual bool IsLocated();                                    // 73 (*)
    virtual void FindAddressedFirst(const std::string& name, const std::string& alias);  // 74
    virtual void FindAddressedNext();                            // 75
    virtual bool FoundAddressed();                               // 76
    virtual MsgNumber GetHighNumber();                           // 77
    virtual void SetMailKind(std::uint8_t kind);                 // 78
    virtual std::uint16_t GetSubArea();                          // 79
    virtual void RewriteHeader();                                // 80
    virtual void DeleteCurrent();                                // 81 (*)
    virtual void SetFormatOption(bool on);                       // 82
    virtual std::int32_t CountMessages();                        // 83
    virtual MsgNumber GetLastRead(std::int32_t user);            // 84
    virtual void SetLastRead(std::int32_t user, MsgNumber n);    // 85
    virtual MsgNumber GetDisplayNumber();                        // 86 base: GetMessageNumber
    // Opaque text cursor: SetTextPosition(GetTextPosition()) must restore
    // the cursor exactly (the shared line reader steps back with it).
    virtual std::int64_t GetTextPosition();                      // 87
    virtual void SetTextPosition(std::int64_t position);         // 88
    virtual MsgNumber GetHighestExisting();                      // 89 shared

    // The last operation called that this kind does not implement, or
    // nullptr. For diagnostics and tests.
    const char* LastAbstractCall() const { return lastAbstractCall_; }

protected:
    // The whole text of the loaded message as one block, valid until the
    // next StartText or LoadHeader, with GetTextPosition counting bytes from
    // its start; ReadChar and AtTextEnd must agree with it (ReadChar gives
    // the byte at the position, or 0 at its end or at a NUL and then
    // AtTextEnd is true). A view with a null data() (the default) means
    // the kind has no such block and is read through ReadChar.
    virtual std::string_view TextSpan();
    // Notes a call of an operation the kind leaves out.
    void AbstractCall(const char* operation) { lastAbstractCall_ = operation; }
    // Stored OEM subject -> ANSI without leading "RE:" prefixes.
    static std::string CleanSubject(std::string_view oemSubject);

    // True after a line was cut because it did not fit, false after a line
    // that ended with CR. Kinds reset it in LoadHeader and StartText.
    bool lastLineWrapped_ = false;

private:
    const char* lastAbstractCall_ = nullptr;
};

// Makes an area object of one kind; may throw std::bad_alloc (caught by
// CreateAreaForIdentifier).
using AreaFactory = std::unique_ptr<MessageArea> (*)();

template <class Kind>
std::unique_ptr<MessageArea> MakeArea() {
    return std::make_unique<Kind>();
}

// Binds a format letter (either case) to a kind; a null factory removes the
// binding. False for anything but A..Z / a..z. The built-in kinds listed in
// areakinds.inc register themselves before the first area is created.
bool RegisterAreaKind(char letter, AreaFactory factory);

// Sets area to null, then creates the kind of the identifier's letter and
// hands it characters 2..129. False, with nothing allocated, for an empty
// identifier, a letter without a kind, or when memory runs out.
bool CreateAreaForIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// Runs Destroy and frees the object; area becomes null. Null is fine.
void DestroyArea(std::unique_ptr<MessageArea>& area);
// CreateAreaForIdentifier, then OpenArea. True only when OpenArea gave 0;
// otherwise the area is destroyed and left null.
bool OpenAreaByIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier);
// False for a null area. Else CloseArea, then DestroyArea in any case;
// true when CloseArea gave 0.
bool CloseAreaAndFree(std::unique_ptr<MessageArea>& area);

}  // namespace orbisk
