#include "msgbase/messagearea.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/codepage.h"
#include "msgbase/msgstr.h"

namespace orbisk {

// --- Operations a kind may leave out: neutral answers (see the header). ---

#define ORBISK_ABSTRACT_VOID(sig, name) \
    void MessageArea::sig { AbstractCall(name); }
#define ORBISK_ABSTRACT(type, sig, name, answer) \
    type MessageArea::sig {                      \
        AbstractCall(name);                      \
        return answer;                           \
    }

void MessageArea::Destroy() {}
ORBISK_ABSTRACT_VOID(SetAreaPath(const std::string&), "SetAreaPath")
ORBISK_ABSTRACT(ResultCode, OpenArea(), "OpenArea", kAbstractCall)
ORBISK_ABSTRACT(ResultCode, CloseArea(), "CloseArea", kAbstractCall)
ORBISK_ABSTRACT(ResultCode, CreateArea(), "CreateArea", kAbstractCall)
ORBISK_ABSTRACT(bool, AreaExists(), "AreaExists", false)
ORBISK_ABSTRACT(bool, LockArea(), "LockArea", false)
ORBISK_ABSTRACT(bool, UnlockArea(), "UnlockArea", false)
ORBISK_ABSTRACT_VOID(SetDestAddress(const FidoAddress&), "SetDestAddress")
ORBISK_ABSTRACT_VOID(SetOrigAddress(const FidoAddress&), "SetOrigAddress")
ORBISK_ABSTRACT_VOID(SetFromName(const std::string&), "SetFromName")
ORBISK_ABSTRACT_VOID(SetToName(const std::string&), "SetToName")
ORBISK_ABSTRACT_VOID(SetSubject(const std::string&), "SetSubject")
ORBISK_ABSTRACT_VOID(SetCost(std::uint16_t), "SetCost")
ORBISK_ABSTRACT_VOID(SetReplyTo(MsgNumber), "SetReplyTo")
ORBISK_ABSTRACT_VOID(SetReplyFirst(MsgNumber), "SetReplyFirst")
ORBISK_ABSTRACT_VOID(SetDateTime(TDateTime), "SetDateTime")
ORBISK_ABSTRACT_VOID(SetLocalFlag(bool), "SetLocalFlag")
ORBISK_ABSTRACT_VOID(SetReceivedFlag(bool), "SetReceivedFlag")
ORBISK_ABSTRACT_VOID(SetPrivateFlag(bool), "SetPrivateFlag")
ORBISK_ABSTRACT_VOID(SetCrashFlag(bool), "SetCrashFlag")
ORBISK_ABSTRACT_VOID(SetKillSentFlag(bool), "SetKillSentFlag")
ORBISK_ABSTRACT_VOID(SetSentFlag(bool), "SetSentFlag")
ORBISK_ABSTRACT_VOID(SetFileAttachFlag(bool), "SetFileAttachFlag")
ORBISK_ABSTRACT_VOID(SetReceiptRequestFlag(bool), "SetReceiptRequestFlag")
ORBISK_ABSTRACT_VOID(SetAuditRequestFlag(bool), "SetAuditRequestFlag")
ORBISK_ABSTRACT_VOID(SetIsReceiptFlag(bool), "SetIsReceiptFlag")
ORBISK_ABSTRACT_VOID(SetFileRequestFlag(bool), "SetFileRequestFlag")
ORBISK_ABSTRACT_VOID(SetFormatMark(std::int32_t), "SetFormatMark")
ORBISK_ABSTRACT_VOID(WriteText(const std::string&), "WriteText")
ORBISK_ABSTRACT_VOID(WriteChar(char), "WriteChar")
ORBISK_ABSTRACT_VOID(WriteTextLine(const std::string&), "WriteTextLine")
ORBISK_ABSTRACT(ResultCode, SaveMessage(), "SaveMessage", kAbstractCall)
ORBISK_ABSTRACT(char, ReadChar(), "ReadChar", '\0')
ORBISK_ABSTRACT(bool, AtTextEnd(), "AtTextEnd", true)
ORBISK_ABSTRACT(std::string, GetFromName(), "GetFromName", {})
ORBISK_ABSTRACT(std::string, GetToName(), "GetToName", {})
ORBISK_ABSTRACT(std::string, GetSubject(), "GetSubject", {})
ORBISK_ABSTRACT(std::uint16_t, GetCost(), "GetCost", 0)
ORBISK_ABSTRACT(TDateTime, GetDateTime(), "GetDateTime", 0)
ORBISK_ABSTRACT(MsgNumber, GetReplyTo(), "GetReplyTo", 0)
ORBISK_ABSTRACT(MsgNumber, GetReplyFirst(), "GetReplyFirst", 0)
ORBISK_ABSTRACT_VOID(SetNextReplyLink(MsgNumber), "SetNextReplyLink")
ORBISK_ABSTRACT(MsgNumber, GetMessageNumber(), "GetMessageNumber", 0)
ORBISK_ABSTRACT(FidoAddress, GetOrigAddress(), "GetOrigAddress", {})
ORBISK_ABSTRACT(FidoAddress, GetDestAddress(), "GetDestAddress", {})
ORBISK_ABSTRACT(bool, IsLocal(), "IsLocal", false)
ORBISK_ABSTRACT(bool, IsCrash(), "IsCrash", false)
ORBISK_ABSTRACT(bool, IsKillSent(), "IsKillSent", false)
ORBISK_ABSTRACT(bool, IsSent(), "IsSent", false)
ORBISK_ABSTRACT(bool, IsFileAttach(), "IsFileAttach", false)
ORBISK_ABSTRACT(bool, IsReceiptRequest(), "IsReceiptRequest", false)
ORBISK_ABSTRACT(bool, IsAuditRequest(), "IsAuditRequest", false)
ORBISK_ABSTRACT(bool, IsReceipt(), "IsReceipt", false)
ORBISK_ABSTRACT(bool, IsFileRequest(), "IsFileRequest", false)
ORBISK_ABSTRACT(bool, IsReceived(), "IsReceived", false)
ORBISK_ABSTRACT(bool, IsPrivate(), "IsPrivate", false)
ORBISK_ABSTRACT(bool, IsDeleted(), "IsDeleted", false)
ORBISK_ABSTRACT(bool, IsEcho(), "IsEcho", false)
ORBISK_ABSTRACT(bool, IsRead(), "IsRead", false)
ORBISK_ABSTRACT(std::int32_t, GetPosition(), "GetPosition", 0)
ORBISK_ABSTRACT_VOID(SetPosition(std::int32_t), "SetPosition")
ORBISK_ABSTRACT_VOID(LoadHeader(), "LoadHeader")
ORBISK_ABSTRACT_VOID(StartText(), "StartText")
ORBISK_ABSTRACT_VOID(StartNewMessage(), "StartNewMessage")
ORBISK_ABSTRACT_VOID(LocateFrom(MsgNumber), "LocateFrom")
ORBISK_ABSTRACT_VOID(LocateNext(), "LocateNext")
ORBISK_ABSTRACT_VOID(LocatePrior(), "LocatePrior")
ORBISK_ABSTRACT(bool, IsLocated(), "IsLocated", false)
ORBISK_ABSTRACT_VOID(FindAddressedFirst(const std::string&, const std::string&), "FindAddressedFirst")
ORBISK_ABSTRACT_VOID(FindAddressedNext(), "FindAddressedNext")
ORBISK_ABSTRACT(bool, FoundAddressed(), "FoundAddressed", false)
ORBISK_ABSTRACT(MsgNumber, GetHighNumber(), "GetHighNumber", 0)
ORBISK_ABSTRACT_VOID(SetMailKind(std::uint8_t), "SetMailKind")
ORBISK_ABSTRACT(std::uint16_t, GetSubArea(), "GetSubArea", 0)
ORBISK_ABSTRACT_VOID(RewriteHeader(), "RewriteHeader")
ORBISK_ABSTRACT_VOID(DeleteCurrent(), "DeleteCurrent")
ORBISK_ABSTRACT_VOID(SetFormatOption(bool), "SetFormatOption")
ORBISK_ABSTRACT(std::int32_t, CountMessages(), "CountMessages", 0)
ORBISK_ABSTRACT(MsgNumber, GetLastRead(std::int32_t), "GetLastRead", 0)
ORBISK_ABSTRACT_VOID(SetLastRead(std::int32_t, MsgNumber), "SetLastRead")
ORBISK_ABSTRACT(std::int64_t, GetTextPosition(), "GetTextPosition", 0)
ORBISK_ABSTRACT_VOID(SetTextPosition(std::int64_t), "SetTextPosition")

#undef ORBISK_ABSTRACT
#undef ORBISK_ABSTRACT_VOID

// --- Shared operations ---

void MessageArea::WriteKludgeLine(const std::string& text) { WriteTextLine(text); }

bool MessageArea::GetLastLineWrapped() { return lastLineWrapped_; }

MsgNumber MessageArea::GetNextReplyLink() { return 0; }

MsgNumber MessageArea::GetDisplayNumber() { return GetMessageNumber(); }

MsgNumber MessageArea::GetHighestExisting() {
    LocateFrom(GetHighNumber());
    if (!IsLocated()) LocatePrior();
    return IsLocated() ? GetMessageNumber() : 0;
}

std::string MessageArea::CleanSubject(std::string_view oemSubject) {
    return StripReplyPrefixes(OemToAnsi(oemSubject));
}

// One text line. CR ends a line and is dropped; LF is skipped. A line that
// reaches maxLen without CR is cut after its last space (the space stays,
// the cursor goes back to the character after it) or, without a space, hard
// at maxLen; the line is then "wrapped", and the one space that may open its
// continuation is skipped. A CR right after a full line still belongs to it.
//
// Two rules differ from the historical readers, for every kind alike:
//  - Byte 0x8D is kept. Old readers dropped it as a "soft CR", but in code
//    page 866 it is the capital letter EN, and dropping it damages Russian
//    text (a channel name "NTV" losing its first letter).
//  - The text ends at its first NUL wherever it stands. Tossers store texts
//    NUL-terminated and what follows is not text; ReadChar reports a NUL as
//    the end, so no kind lets bytes after it through (the Hudson kind too,
//    which once took NUL for an ordinary character).
std::string MessageArea::ReadTextLine(std::uint16_t maxLen) {
    const std::size_t cap = std::max<std::size_t>(maxLen, 1);
    bool skipSpace = lastLineWrapped_;  // this call continues a wrapped line
    lastLineWrapped_ = true;
    std::string line;
    std::size_t cutLen = 0;    // length up to and including the last space
    std::int64_t cutPos = -1;  // cursor after that space
    while (!AtTextEnd()) {
        if (line.size() >= cap) {
            const std::int64_t next = GetTextPosition();
            const char c = ReadChar();
            if (c == '\r') {
                lastLineWrapped_ = false;
            } else if (c != '\0') {
                SetTextPosition(next);
                if (cutPos >= 0 && cutLen < line.size()) {
                    line.resize(cutLen);
                    SetTextPosition(cutPos);
                }
            }
            break;
        }
        const char c = ReadChar();
        if (c == '\0') break;  // end of the text
        if (c == '\n') continue;
        if (c == '\r') {
            lastLineWrapped_ = false;
            break;
        }
        if (c == ' ' && skipSpace) {
            skipSpace = false;
            continue;
        }
        skipSpace = false;
        line += c;
        if (c == ' ') {
            cutLen = line.size();
            cutPos = GetTextPosition();
        }
    }
    return OemToAnsi(line);
}

namespace {
bool IsControlLine(const std::string& line) { return !line.empty() && line[0] == '\x01'; }
}  // namespace

// Control lines (starting with ^A) are passed over, and so are the further
// pieces of a control line longer than maxLen. A control line that ends the
// text is returned, so that the caller's loop sees AtTextEnd.
std::string MessageArea::ReadTextLineNoKludge(std::uint16_t maxLen) {
    std::string line = ReadTextLine(maxLen);
    bool control = IsControlLine(line);
    while (control && !AtTextEnd()) {
        const bool wrapped = GetLastLineWrapped();
        line = ReadTextLine(maxLen);
        control = wrapped || IsControlLine(line);
    }
    return line;
}

// --- Kinds and identifiers ---

void RegisterBuiltInAreaKinds();  // areakinds.cpp

namespace {

std::array<AreaFactory, 26> g_kinds{};
bool g_builtInsDone = false;

void EnsureBuiltIns() {
    if (g_builtInsDone) return;
    g_builtInsDone = true;  // before the calls: they come back through RegisterAreaKind
    RegisterBuiltInAreaKinds();
}

int LetterIndex(char letter) {
    const char up = UpperStr(std::string(1, letter))[0];
    return up >= 'A' && up <= 'Z' ? up - 'A' : -1;
}

}  // namespace

bool RegisterAreaKind(char letter, AreaFactory factory) {
    EnsureBuiltIns();
    const int i = LetterIndex(letter);
    if (i < 0) return false;
    g_kinds[static_cast<std::size_t>(i)] = factory;
    return true;
}

bool CreateAreaForIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier) {
    area.reset();
    EnsureBuiltIns();
    if (identifier.empty()) return false;
    const int i = LetterIndex(identifier[0]);
    if (i < 0 || !g_kinds[static_cast<std::size_t>(i)]) return false;
    try {
        area = g_kinds[static_cast<std::size_t>(i)]();
        if (!area) return false;
        area->SetAreaPath(std::string(identifier.substr(1, 128)));
    } catch (const std::bad_alloc&) {
        area.reset();
        return false;
    }
    return true;
}

void DestroyArea(std::unique_ptr<MessageArea>& area) {
    if (!area) return;
    area->Destroy();
    area.reset();
}

bool OpenAreaByIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier) {
    if (!CreateAreaForIdentifier(area, identifier)) return false;
    if (area->OpenArea() == 0) return true;
    DestroyArea(area);
    return false;
}

bool CloseAreaAndFree(std::unique_ptr<MessageArea>& area) {
    if (!area) return false;
    const ResultCode rc = area->CloseArea();
    DestroyArea(area);
    return rc == 0;
}

}  // namespace orbisk
