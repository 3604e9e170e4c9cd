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

namespace {

// The text as the kind's virtual operations give it.
struct VirtualText {
    MessageArea& a;
    bool AtEnd() { return a.AtTextEnd(); }
    char Read() { return a.ReadChar(); }
    std::int64_t Pos() { return a.GetTextPosition(); }
    void SetPos(std::int64_t p) { a.SetTextPosition(p); }
    static constexpr bool kContiguous = false;
    std::size_t Run(std::size_t) { return 0; }
    const char* Here() { return nullptr; }
};

// The same text seen directly in the kind's buffer (see TextSpan).
struct SpanText {
    std::string_view text;
    std::size_t pos;
    bool ended;
    bool AtEnd() const { return ended || pos >= text.size(); }
    char Read() {
        if (ended || pos >= text.size() || text[pos] == '\0') {
            ended = true;
            return '\0';
        }
        return text[pos++];
    }
    std::int64_t Pos() const { return static_cast<std::int64_t>(pos); }
    void SetPos(std::int64_t p) { pos = static_cast<std::size_t>(p); }
    static constexpr bool kContiguous = true;
    // Length of the run of plain characters (no CR, LF or NUL) ahead, at most max.
    std::size_t Run(std::size_t max) const {
        const std::size_t n = std::min(max, text.size() - pos);
        std::size_t k = 0;
        while (k < n) {
            const char c = text[pos + k];
            if (c == '\r' || c == '\n' || c == '\0') break;
            ++k;
        }
        return k;
    }
    const char* Here() const { return text.data() + pos; }
};

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
template <class Text>
std::string ReadLine(Text& t, std::size_t cap, bool& wrapped) {
    bool skipSpace = wrapped;  // this call continues a wrapped line
    wrapped = true;
    // The OEM line is gathered in a buffer that keeps its capacity, so a
    // line costs one allocation (the converted copy) rather than two.
    thread_local std::string line;
    line.clear();
    std::size_t cutLen = 0;    // length up to and including the last space
    std::int64_t cutPos = -1;  // cursor after that space
    while (!t.AtEnd()) {
        if constexpr (Text::kContiguous) {
            // Plain characters only append, and a space marks the cut: take
            // them as one block.
            if (!skipSpace && line.size() < cap) {
                const std::size_t k = t.Run(cap - line.size());
                if (k > 0) {
                    const char* p = t.Here();
                    line.append(p, k);
                    for (std::size_t i = k; i-- > 0;)
                        if (p[i] == ' ') {
                            cutLen = line.size() - (k - i - 1);
                            cutPos = t.Pos() + static_cast<std::int64_t>(i + 1);
                            break;
                        }
                    t.SetPos(t.Pos() + static_cast<std::int64_t>(k));
                    if (t.AtEnd()) break;
                }
            }
        }
        if (line.size() >= cap) {
            const std::int64_t next = t.Pos();
            const char c = t.Read();
            if (c == '\r') {
                wrapped = false;
            } else if (c != '\0') {
                t.SetPos(next);
                if (cutPos >= 0 && cutLen < line.size()) {
                    line.resize(cutLen);
                    t.SetPos(cutPos);
                }
            }
            break;
        }
        const char c = t.Read();
        if (c == '\0') break;  // end of the text
        if (c == '\n') continue;
        if (c == '\r') {
            wrapped = false;
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
            cutPos = t.Pos();
        }
    }
    return OemToAnsi(line);
}

}  // namespace

std::string_view MessageArea::TextSpan() { return {}; }

std::string MessageArea::ReadTextLine(std::uint16_t maxLen) {
    const std::size_t cap = std::max<std::size_t>(maxLen, 1);
    const std::string_view span = TextSpan();
    if (span.data() == nullptr) {
        VirtualText t{*this};
        return ReadLine(t, cap, lastLineWrapped_);
    }
    SpanText t{span, static_cast<std::size_t>(std::clamp<std::int64_t>(GetTextPosition(), 0, static_cast<std::int64_t>(span.size()))),
               AtTextEnd()};
    std::string line = ReadLine(t, cap, lastLineWrapped_);
    SetTextPosition(t.Pos());
    if (t.ended && !AtTextEnd()) ReadChar();  // the kind notes the NUL that ended it
    return line;
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
