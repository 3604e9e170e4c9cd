#include "msgbase/messagearea.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/codepage.h"
#include "msgbase/fileio.h"
#include "msgbase/msgstr.h"

namespace orbisk {

// --- Operations a kind may leave out: neutral answers (see the header). ---

#define ORBISK_UNIMPLEMENTED_VOID(sig, name) \
    void MessageArea::sig { noteUnimplemented(name); }
#define ORBISK_UNIMPLEMENTED(type, sig, name, answer) \
    type MessageArea::sig {                           \
        noteUnimplemented(name);                      \
        return answer;                                \
    }

void MessageArea::destroy() {}
ORBISK_UNIMPLEMENTED_VOID(setAreaPath(const std::string&), "SetAreaPath")
ORBISK_UNIMPLEMENTED(ResultCode, openArea(), "OpenArea", kNotImplemented)
ORBISK_UNIMPLEMENTED(ResultCode, closeArea(), "CloseArea", kNotImplemented)
ORBISK_UNIMPLEMENTED(ResultCode, createArea(), "CreateArea", kNotImplemented)
ORBISK_UNIMPLEMENTED(bool, areaExists(), "AreaExists", false)
ORBISK_UNIMPLEMENTED(bool, lockArea(), "LockArea", false)
ORBISK_UNIMPLEMENTED(bool, unlockArea(), "UnlockArea", false)
ORBISK_UNIMPLEMENTED_VOID(setDestAddress(const FidoAddress&), "SetDestAddress")
ORBISK_UNIMPLEMENTED_VOID(setOrigAddress(const FidoAddress&), "SetOrigAddress")
ORBISK_UNIMPLEMENTED_VOID(setFromName(const std::string&), "SetFromName")
ORBISK_UNIMPLEMENTED_VOID(setToName(const std::string&), "SetToName")
ORBISK_UNIMPLEMENTED_VOID(setSubject(const std::string&), "SetSubject")
ORBISK_UNIMPLEMENTED_VOID(setCost(std::uint16_t), "SetCost")
ORBISK_UNIMPLEMENTED_VOID(setReplyTo(MsgNumber), "SetReplyTo")
ORBISK_UNIMPLEMENTED_VOID(setReplyFirst(MsgNumber), "SetReplyFirst")
ORBISK_UNIMPLEMENTED_VOID(setDateTime(DateTime), "SetDateTime")
ORBISK_UNIMPLEMENTED_VOID(setLocalFlag(bool), "SetLocalFlag")
ORBISK_UNIMPLEMENTED_VOID(setReceivedFlag(bool), "SetReceivedFlag")
ORBISK_UNIMPLEMENTED_VOID(setPrivateFlag(bool), "SetPrivateFlag")
ORBISK_UNIMPLEMENTED_VOID(setCrashFlag(bool), "SetCrashFlag")
ORBISK_UNIMPLEMENTED_VOID(setKillSentFlag(bool), "SetKillSentFlag")
ORBISK_UNIMPLEMENTED_VOID(setSentFlag(bool), "SetSentFlag")
ORBISK_UNIMPLEMENTED_VOID(setFileAttachFlag(bool), "SetFileAttachFlag")
ORBISK_UNIMPLEMENTED_VOID(setReceiptRequestFlag(bool), "SetReceiptRequestFlag")
ORBISK_UNIMPLEMENTED_VOID(setAuditRequestFlag(bool), "SetAuditRequestFlag")
ORBISK_UNIMPLEMENTED_VOID(setIsReceiptFlag(bool), "SetIsReceiptFlag")
ORBISK_UNIMPLEMENTED_VOID(setFileRequestFlag(bool), "SetFileRequestFlag")
ORBISK_UNIMPLEMENTED_VOID(setFormatMark(std::int32_t), "SetFormatMark")
ORBISK_UNIMPLEMENTED_VOID(writeText(const std::string&), "WriteText")
ORBISK_UNIMPLEMENTED_VOID(writeChar(char), "WriteChar")
ORBISK_UNIMPLEMENTED_VOID(writeTextLine(const std::string&), "WriteTextLine")
ORBISK_UNIMPLEMENTED(ResultCode, saveMessage(), "SaveMessage", kNotImplemented)
ORBISK_UNIMPLEMENTED(char, readChar(), "ReadChar", '\0')
ORBISK_UNIMPLEMENTED(bool, atTextEnd(), "AtTextEnd", true)
ORBISK_UNIMPLEMENTED(std::string, getFromName(), "GetFromName", {})
ORBISK_UNIMPLEMENTED(std::string, getToName(), "GetToName", {})
ORBISK_UNIMPLEMENTED(std::string, getSubject(), "GetSubject", {})
ORBISK_UNIMPLEMENTED(std::uint16_t, getCost(), "GetCost", 0)
ORBISK_UNIMPLEMENTED(DateTime, getDateTime(), "GetDateTime", 0)
ORBISK_UNIMPLEMENTED(MsgNumber, getReplyTo(), "GetReplyTo", 0)
ORBISK_UNIMPLEMENTED(MsgNumber, getReplyFirst(), "GetReplyFirst", 0)
ORBISK_UNIMPLEMENTED_VOID(setNextReplyLink(MsgNumber), "SetNextReplyLink")
ORBISK_UNIMPLEMENTED(MsgNumber, getMessageNumber(), "GetMessageNumber", 0)
ORBISK_UNIMPLEMENTED(FidoAddress, getOrigAddress(), "GetOrigAddress", {})
ORBISK_UNIMPLEMENTED(FidoAddress, getDestAddress(), "GetDestAddress", {})
ORBISK_UNIMPLEMENTED(bool, isLocal(), "IsLocal", false)
ORBISK_UNIMPLEMENTED(bool, isCrash(), "IsCrash", false)
ORBISK_UNIMPLEMENTED(bool, isKillSent(), "IsKillSent", false)
ORBISK_UNIMPLEMENTED(bool, isSent(), "IsSent", false)
ORBISK_UNIMPLEMENTED(bool, isFileAttach(), "IsFileAttach", false)
ORBISK_UNIMPLEMENTED(bool, isReceiptRequest(), "IsReceiptRequest", false)
ORBISK_UNIMPLEMENTED(bool, isAuditRequest(), "IsAuditRequest", false)
ORBISK_UNIMPLEMENTED(bool, isReceipt(), "IsReceipt", false)
ORBISK_UNIMPLEMENTED(bool, isFileRequest(), "IsFileRequest", false)
ORBISK_UNIMPLEMENTED(bool, isReceived(), "IsReceived", false)
ORBISK_UNIMPLEMENTED(bool, isPrivate(), "IsPrivate", false)
ORBISK_UNIMPLEMENTED(bool, isDeleted(), "IsDeleted", false)
ORBISK_UNIMPLEMENTED(bool, isEcho(), "IsEcho", false)
ORBISK_UNIMPLEMENTED(bool, isRead(), "IsRead", false)
ORBISK_UNIMPLEMENTED(std::int32_t, getPosition(), "GetPosition", 0)
ORBISK_UNIMPLEMENTED_VOID(setPosition(std::int32_t), "SetPosition")
ORBISK_UNIMPLEMENTED_VOID(loadHeader(), "LoadHeader")
ORBISK_UNIMPLEMENTED_VOID(startText(), "StartText")
ORBISK_UNIMPLEMENTED_VOID(startNewMessage(), "StartNewMessage")
ORBISK_UNIMPLEMENTED_VOID(locateFrom(MsgNumber), "LocateFrom")
ORBISK_UNIMPLEMENTED_VOID(locateNext(), "LocateNext")
ORBISK_UNIMPLEMENTED_VOID(locatePrior(), "LocatePrior")
ORBISK_UNIMPLEMENTED(bool, isLocated(), "IsLocated", false)
ORBISK_UNIMPLEMENTED_VOID(findAddressedFirst(const std::string&, const std::string&), "FindAddressedFirst")
ORBISK_UNIMPLEMENTED_VOID(findAddressedNext(), "FindAddressedNext")
ORBISK_UNIMPLEMENTED(bool, foundAddressed(), "FoundAddressed", false)
ORBISK_UNIMPLEMENTED(MsgNumber, getHighNumber(), "GetHighNumber", 0)
ORBISK_UNIMPLEMENTED_VOID(setMailKind(std::uint8_t), "SetMailKind")
ORBISK_UNIMPLEMENTED(std::uint16_t, getSubArea(), "GetSubArea", 0)
ORBISK_UNIMPLEMENTED_VOID(rewriteHeader(), "RewriteHeader")
ORBISK_UNIMPLEMENTED(ResultCode, deleteCurrent(), "DeleteCurrent", kNotImplemented)
ORBISK_UNIMPLEMENTED(bool, isHeaderLoaded(), "IsHeaderLoaded", false)
ORBISK_UNIMPLEMENTED(std::int64_t, getIdentityKey(), "GetIdentityKey", -1)
ORBISK_UNIMPLEMENTED_VOID(setFormatOption(bool), "SetFormatOption")
ORBISK_UNIMPLEMENTED(std::int32_t, countMessages(), "CountMessages", 0)
ORBISK_UNIMPLEMENTED(MsgNumber, getLastRead(std::int32_t), "GetLastRead", 0)
ORBISK_UNIMPLEMENTED_VOID(setLastRead(std::int32_t, MsgNumber), "SetLastRead")
ORBISK_UNIMPLEMENTED(std::int64_t, getTextPosition(), "GetTextPosition", 0)
ORBISK_UNIMPLEMENTED_VOID(setTextPosition(std::int64_t), "SetTextPosition")

#undef ORBISK_UNIMPLEMENTED
#undef ORBISK_UNIMPLEMENTED_VOID

// --- Shared operations ---

void MessageArea::writeKludgeLine(const std::string& text) { writeTextLine(text); }

bool MessageArea::getLastLineWrapped() { return lastLineWrapped_; }

MsgNumber MessageArea::getNextReplyLink() { return 0; }

MsgNumber MessageArea::getDisplayNumber() { return getMessageNumber(); }

MsgNumber MessageArea::getHighestExisting() {
    locateFrom(getHighNumber());
    if (!isLocated()) locatePrior();
    return isLocated() ? getMessageNumber() : 0;
}

MessageIdentity identityOfLoaded(MessageArea& area) {
    return {area.getMessageNumber(), area.getSubject(), area.getDateTime(), area.getIdentityKey()};
}

namespace {

// The caller holds the lock, which made the kind read the base afresh: what
// stands at the number now is what would be deleted.
DeleteAnswer deleteLockedIfUnchanged(MessageArea& area, const MessageIdentity& expected) {
    area.locateFrom(expected.number);
    if (!area.isLocated()) return {DeleteOutcome::skipped, 0};
    area.loadHeader();
    // A later number stands here when the one expected is gone.
    if (!area.isHeaderLoaded() || identityOfLoaded(area) != expected) return {DeleteOutcome::skipped, 0};
    const ResultCode rc = area.deleteCurrent();
    return rc == 0 ? DeleteAnswer{DeleteOutcome::deleted, 0} : DeleteAnswer{DeleteOutcome::failed, rc};
}

}  // namespace

DeleteAnswer deleteIfUnchanged(MessageArea& area, const MessageIdentity& expected) {
    return deleteEachIfUnchanged(area, {expected}).front();
}

std::vector<DeleteAnswer> deleteEachIfUnchanged(MessageArea& area, const std::vector<MessageIdentity>& expected) {
    if (!area.lockArea()) return std::vector<DeleteAnswer>(expected.size(), {DeleteOutcome::failed, kIoAccessDenied});
    std::vector<DeleteAnswer> answers;
    answers.reserve(expected.size());
    for (const MessageIdentity& identity : expected) answers.push_back(deleteLockedIfUnchanged(area, identity));
    // Squish and JAM write their base header (Squish also its index) on
    // unlock: deletions whose counters were not written are not done.
    if (!area.unlockArea())
        for (DeleteAnswer& answer : answers)
            if (answer.outcome == DeleteOutcome::deleted) answer = {DeleteOutcome::failed, kIoDiskWrite};
    return answers;
}

// "RE:" and blanks are the same bytes in 866 and 1251, and no other 866 byte
// becomes one of them: the prefixes go before the one conversion.
std::string MessageArea::cleanSubject(std::string_view oemSubject) {
    return oemToAnsi(withoutReplyPrefixes(oemSubject));
}

namespace {

// The text as the kind's virtual operations give it.
struct VirtualText {
    MessageArea& a;
    bool atEnd() { return a.atTextEnd(); }
    char read() { return a.readChar(); }
    std::int64_t pos() { return a.getTextPosition(); }
    void setPos(std::int64_t p) { a.setTextPosition(p); }
    static constexpr bool kContiguous = false;
    std::size_t run(std::size_t) { return 0; }
    const char* here() { return nullptr; }
};

// The same text seen directly in the kind's buffer (see textSpan).
struct SpanText {
    std::string_view text;
    std::size_t at;
    bool ended;
    bool atEnd() const { return ended || at >= text.size(); }
    char read() {
        if (ended || at >= text.size() || text[at] == '\0') {
            ended = true;
            return '\0';
        }
        return text[at++];
    }
    std::int64_t pos() const { return static_cast<std::int64_t>(at); }
    void setPos(std::int64_t p) { at = static_cast<std::size_t>(p); }
    static constexpr bool kContiguous = true;
    // Length of the run of plain characters (no CR, LF or NUL) ahead, at most max.
    std::size_t run(std::size_t max) const {
        const std::size_t n = std::min(max, text.size() - at);
        std::size_t k = 0;
        while (k < n) {
            const char c = text[at + k];
            if (c == '\r' || c == '\n' || c == '\0') break;
            ++k;
        }
        return k;
    }
    const char* here() const { return text.data() + at; }
};

// One text line. CR ends a line and is dropped; LF is skipped. A line that
// reaches maxLen without CR is cut after its last space (the space stays,
// the cursor goes back to the character after it) or, without a space, hard
// at maxLen; the line is then "wrapped", and the one space that may open its
// continuation is skipped. A CR right after a full line still belongs to it.
//
// Two more rules hold for every kind alike:
//  - Byte 0x8D is kept. FidoNet software commonly drops it as a "soft CR",
//    but in code page 866 it is the capital letter EN, and dropping it
//    damages Russian text (a channel name "НТВ" losing its first letter).
//  - The text ends at its first NUL wherever it stands. Tossers store texts
//    NUL-terminated and what follows is not text; readChar reports a NUL as
//    the end, so no kind lets bytes after it through (the Hudson kind too,
//    whose length-counted blocks could otherwise pass a NUL on as an
//    ordinary character).
template <class Text>
void readLine(Text& t, std::size_t cap, bool& wrapped, std::string& line) {
    bool skipSpace = wrapped;  // this call continues a wrapped line
    wrapped = true;
    // The OEM line is gathered in the caller's buffer and converted there.
    line.clear();
    std::size_t cutLen = 0;    // length up to and including the last space
    std::int64_t cutPos = -1;  // cursor after that space
    while (!t.atEnd()) {
        if constexpr (Text::kContiguous) {
            // Plain characters only append, and a space marks the cut: take
            // them as one block.
            if (!skipSpace && line.size() < cap) {
                const std::size_t k = t.run(cap - line.size());
                if (k > 0) {
                    const char* p = t.here();
                    line.append(p, k);
                    for (std::size_t i = k; i-- > 0;)
                        if (p[i] == ' ') {
                            cutLen = line.size() - (k - i - 1);
                            cutPos = t.pos() + static_cast<std::int64_t>(i + 1);
                            break;
                        }
                    t.setPos(t.pos() + static_cast<std::int64_t>(k));
                    if (t.atEnd()) break;
                }
            }
        }
        if (line.size() >= cap) {
            const std::int64_t next = t.pos();
            const char c = t.read();
            if (c == '\r') {
                wrapped = false;
            } else if (c != '\0') {
                t.setPos(next);
                if (cutPos >= 0 && cutLen < line.size()) {
                    line.resize(cutLen);
                    t.setPos(cutPos);
                }
            }
            break;
        }
        const char c = t.read();
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
            cutPos = t.pos();
        }
    }
    oemToAnsiInPlace(line);
}

}  // namespace

std::string_view MessageArea::textSpan() { return {}; }

std::string MessageArea::readTextLine(std::uint16_t maxLen) {
    std::string line;
    readSharedLine(line, maxLen);
    return line;
}

void MessageArea::readSharedLine(std::string& line, std::uint16_t maxLen) {
    const std::size_t cap = std::max<std::size_t>(maxLen, 1);
    const std::string_view span = textSpan();
    if (span.data() == nullptr) {
        VirtualText t{*this};
        readLine(t, cap, lastLineWrapped_, line);
        return;
    }
    SpanText t{span, static_cast<std::size_t>(std::clamp<std::int64_t>(getTextPosition(), 0, static_cast<std::int64_t>(span.size()))),
               atTextEnd()};
    // The common line, a CR within maxLen + 1 bytes and no LF or NUL before
    // it, is taken whole; a continuation that opens with the space to skip
    // is not.
    if (!t.ended && t.at < span.size() && !(lastLineWrapped_ && span[t.at] == ' ')) {
        const char* p = span.data() + t.at;
        const std::size_t reach = std::min(span.size() - t.at, cap + 1);
        const std::size_t k = findLineEnd(p, reach);
        if (k < reach && p[k] == '\r') {
            line.resize(k);
            oemToAnsiBytes(line.data(), p, k);
            lastLineWrapped_ = false;
            setTextPosition(t.pos() + static_cast<std::int64_t>(k + 1));
            return;
        }
    }
    readLine(t, cap, lastLineWrapped_, line);
    setTextPosition(t.pos());
    if (t.ended && !atTextEnd()) readChar();  // the kind notes the NUL that ended it
}

void MessageArea::readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) {
    line = readTextLineNoKludge(maxLen);
}

namespace {
bool isControlLine(const std::string& line) { return !line.empty() && line[0] == '\x01'; }
}  // namespace

// Control lines (starting with ^A) are passed over, and so are the further
// pieces of a control line longer than maxLen. A control line that ends the
// text is returned, so that the caller's loop sees atTextEnd.
std::string MessageArea::readTextLineNoKludge(std::uint16_t maxLen) {
    std::string line = readTextLine(maxLen);
    bool control = isControlLine(line);
    while (control && !atTextEnd()) {
        const bool wrapped = getLastLineWrapped();
        line = readTextLine(maxLen);
        control = wrapped || isControlLine(line);
    }
    return line;
}

// --- Kinds and identifiers ---

void registerBuiltInAreaKinds();  // areakinds.cpp

namespace {

std::array<AreaFactory, 26> g_kinds{};
bool g_builtInsDone = false;

void ensureBuiltIns() {
    if (g_builtInsDone) return;
    g_builtInsDone = true;  // before the calls: they come back through registerAreaKind
    registerBuiltInAreaKinds();
}

int letterIndex(char letter) {
    const char up = upperStr(std::string(1, letter))[0];
    return up >= 'A' && up <= 'Z' ? up - 'A' : -1;
}

}  // namespace

bool registerAreaKind(char letter, AreaFactory factory) {
    ensureBuiltIns();
    const int i = letterIndex(letter);
    if (i < 0) return false;
    g_kinds[static_cast<std::size_t>(i)] = factory;
    return true;
}

bool createAreaForIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier) {
    area.reset();
    ensureBuiltIns();
    if (identifier.empty()) return false;
    const int i = letterIndex(identifier[0]);
    if (i < 0 || !g_kinds[static_cast<std::size_t>(i)]) return false;
    try {
        area = g_kinds[static_cast<std::size_t>(i)]();
        if (!area) return false;
        area->setAreaPath(std::string(identifier.substr(1)));
    } catch (const std::bad_alloc&) {
        area.reset();
        return false;
    }
    return true;
}

void destroyArea(std::unique_ptr<MessageArea>& area) {
    if (!area) return;
    area->destroy();
    area.reset();
}

bool openAreaByIdentifier(std::unique_ptr<MessageArea>& area, std::string_view identifier) {
    if (!createAreaForIdentifier(area, identifier)) return false;
    if (area->openArea() == 0) return true;
    destroyArea(area);
    return false;
}

bool closeAreaAndFree(std::unique_ptr<MessageArea>& area) {
    if (!area) return false;
    const ResultCode rc = area->closeArea();
    destroyArea(area);
    return rc == 0;
}

}  // namespace orbisk
