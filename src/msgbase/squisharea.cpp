#include "msgbase/squisharea.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "base/codepage.h"
#include "msgbase/fidodate.h"
#include "msgbase/msgstr.h"

namespace orbisk {

using namespace squish;

namespace {

constexpr std::size_t kWindow = 64 * 1024;
constexpr std::size_t kBasePathMax = 80;
constexpr std::size_t kIndexChunkRecords = 4096;

std::uint32_t Get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
void Put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

}  // namespace

std::uint32_t squish::NameHash(std::string_view oemName) {
    std::uint32_t hash = 0;
    for (char c : oemName) {
        if (c == '\0') break;
        hash = (hash << 4) + static_cast<unsigned char>(LowerAscii(c));
        const std::uint32_t g = hash & 0xF0000000u;
        if (g != 0) {
            hash |= g >> 24;
            hash |= g;
        }
    }
    return hash & 0x7FFFFFFFu;
}

SquishArea::SquishArea() : window_(kWindow) { freeCache_.reserve(kFreeCache); }

SquishArea::~SquishArea() { Destroy(); }

void SquishArea::Destroy() {
    if (locked_) UnlockArea();
    CloseFiles();
    index_records_.clear();
    index_records_.shrink_to_fit();
    freeCache_.clear();
    text_.clear();
    text_.shrink_to_fit();
    newText_.clear();
    composing_ = false;
    position_ = 0;
    frameOffset_ = -1;
    headerLoaded_ = false;
}

void SquishArea::SetAreaPath(const std::string& path) {
    base_ = ExpandPath(path);
    if (base_.size() > kBasePathMax) base_.resize(kBasePathMax);
}

std::string SquishArea::DataName() const { return ResolveNameNoCase(base_ + ".sqd"); }
std::string SquishArea::IndexName() const { return ResolveNameNoCase(base_ + ".sqi"); }
std::string SquishArea::LastReadName() const { return ResolveNameNoCase(base_ + ".sql"); }

void SquishArea::CloseFiles() {
    data_.Close();
    index_.Close();
    locked_ = false;
    DropWindow();
}

// --- Files ---

ResultCode SquishArea::OpenArea() {
    if (locked_) UnlockArea();
    CloseFiles();
    index_records_.clear();
    freeCache_.clear();
    position_ = 0;
    frameOffset_ = -1;
    headerLoaded_ = false;
    readOnly_ = false;
    if (base_.empty()) return lastResult_ = kNoIndex;

    // A base we may not write (permissions, read-only medium) can still be read.
    int mode = kModeReadWrite;
    if (!OpenExisting(index_, IndexName(), mode)) {
        if (LastIoError != kIoAccessDenied && LastIoError != kIoWriteProtected) return lastResult_ = kNoIndex;
        mode = kModeReadOnly;
        readOnly_ = true;
        if (!OpenExisting(index_, IndexName(), mode)) return lastResult_ = kNoIndex;
    }
    if (!OpenExisting(data_, DataName(), mode)) {
        lastResult_ = LastIoError ? LastIoError : kIoGeneralFailure;
        CloseFiles();
        return lastResult_;
    }
    RefreshFileSize();
    ResultCode rc = ReadBaseHeader();
    if (rc == 0) rc = LoadIndex();
    if (rc != 0) CloseFiles();
    return lastResult_ = rc;
}

ResultCode SquishArea::CloseArea() {
    ResultCode rc = 0;
    if (locked_ && !UnlockArea()) rc = lastResult_ ? lastResult_ : kIoGeneralFailure;
    CloseFiles();
    return rc;
}

ResultCode SquishArea::CreateArea() {
    if (base_.empty()) return lastResult_ = kIoPathNotFound;
    const std::string dataName = DataName();
    if (!FileExistsPlain(dataName)) {
        std::array<unsigned char, kBaseHeaderDefault> h{};
        Put16(&h[kBhLength], kBaseHeaderDefault);
        Put32(&h[kBhUid], 1);
        const std::size_t slash = base_.rfind('/');
        const std::string name = AnsiToOem(slash == std::string::npos ? base_ : base_.substr(slash + 1));
        std::memcpy(&h[kBhName], name.data(), std::min<std::size_t>(name.size(), 79));
        Put32(&h[kBhEndFrame], kBaseHeaderDefault);
        Put16(&h[kBhFrameHeaderLength], kFrameHeaderDefault);
        if (ResultCode rc = WriteAt(dataName, h.data(), h.size(), 0)) return lastResult_ = rc;
    }
    const std::string indexName = IndexName();
    if (!FileExistsPlain(indexName))
        if (ResultCode rc = WriteAt(indexName, nullptr, 0, 0)) return lastResult_ = rc;
    return lastResult_ = 0;
}

bool SquishArea::AreaExists() { return FileExistsPlain(DataName()) && FileExistsPlain(IndexName()); }

void SquishArea::RefreshFileSize() {
    const std::int64_t size = FileSizeOf(data_);
    dataSize_ = size < 0 ? 0 : size;
}

ResultCode SquishArea::ReadBaseHeader() {
    DropWindow();
    unsigned char len[2];
    std::size_t got = 0;
    if (!SeekFile(data_, 0) || !ReadBlock(data_, len, 2, got)) return LastIoError;
    if (got < 2) return kIoShortRead;
    std::size_t length = Get16(len);
    if (length == 0) length = kBaseHeaderDefault;
    // Shorter than the fields we use, and 357 or more, cannot be a base header.
    if (length > kBaseHeaderMax || length < kBaseHeaderMin) return kBadBaseHeader;
    baseHeader_.fill(0);
    if (!SeekFile(data_, 0) || !ReadBlock(data_, baseHeader_.data(), length, got)) return LastIoError;
    if (got < length) return kIoShortRead;
    baseHeaderLength_ = length;
    const std::size_t frameHeader = Get16(&baseHeader_[kBhFrameHeaderLength]);
    frameHeaderLength_ = frameHeader == 0 ? kFrameHeaderDefault : std::max(frameHeader, kFrameHeaderDefault);
    return 0;
}

// The whole index, bounded by the size of its file: a tosser appends the
// newest messages at its end, so a cut would lose this week's listings.
ResultCode SquishArea::LoadIndex() {
    index_records_.clear();
    const std::int64_t size = FileSizeOf(index_);
    if (size < 0) return kIndexSeek;
    const auto records = static_cast<std::uint64_t>(size) / kIndexRecord;
    std::vector<unsigned char> chunk;
    try {
        index_records_.reserve(static_cast<std::size_t>(records));
        chunk.resize(kIndexChunkRecords * kIndexRecord);
    } catch (const std::bad_alloc&) {
        return kIndexNoMemory;
    } catch (const std::length_error&) {
        return kIndexNoMemory;
    }
    if (!SeekFile(index_, 0)) return kIndexSeek;
    std::uint64_t left = records;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kIndexChunkRecords));
        std::size_t got = 0;
        if (!ReadBlock(index_, chunk.data(), want * kIndexRecord, got)) return LastIoError;
        const std::size_t n = got / kIndexRecord;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char* p = &chunk[i * kIndexRecord];
            index_records_.push_back({Get32(p), Get32(p + 4), Get32(p + 8)});
        }
        if (n < want) break;  // the file shrank meanwhile
        left -= n;
    }
    // Records beyond the base header's count are not messages.
    const std::uint32_t numMsg = Bh32(kBhNumMsg);
    if (index_records_.size() > numMsg) index_records_.resize(numMsg);
    return 0;
}

ResultCode SquishArea::Reload() {
    RefreshFileSize();
    ResultCode rc = ReadBaseHeader();
    if (rc == 0) rc = LoadIndex();
    if (rc != 0) index_records_.clear();
    lastResult_ = rc;
    return rc;
}

bool SquishArea::WriteBaseAndIndex() {
    if (!WriteData(0, baseHeader_.data(), baseHeaderLength_)) return false;
    std::vector<unsigned char> raw(index_records_.size() * kIndexRecord);
    for (std::size_t i = 0; i < index_records_.size(); ++i) {
        unsigned char* p = &raw[i * kIndexRecord];
        Put32(p, index_records_[i].frame);
        Put32(p + 4, index_records_[i].uid);
        Put32(p + 8, index_records_[i].hash);
    }
    // Written before truncating, so that a failure never leaves it empty.
    if (!SeekFile(index_, 0) || (!raw.empty() && !WriteBlock(index_, raw.data(), raw.size())) ||
        !TruncateFile(index_, static_cast<std::int64_t>(raw.size()))) {
        lastResult_ = LastIoError;
        return false;
    }
    return true;
}

bool SquishArea::ReadData(std::int64_t offset, void* dst, std::size_t n, std::size_t& got) {
    got = 0;
    if (!data_.IsOpen() || offset < 0) return false;
    if (n == 0) return true;
    if (offset >= winStart_ && offset + static_cast<std::int64_t>(n) <= winStart_ + static_cast<std::int64_t>(winLength_)) {
        std::memcpy(dst, window_.data() + (offset - winStart_), n);
        got = n;
        return true;
    }
    if (n >= kWindow / 2) {
        if (!SeekFile(data_, offset)) return false;
        return ReadBlock(data_, dst, n, got);
    }
    DropWindow();
    std::size_t filled = 0;
    if (!SeekFile(data_, offset) || !ReadBlock(data_, window_.data(), kWindow, filled)) return false;
    winStart_ = offset;
    winLength_ = filled;
    got = std::min(n, filled);
    std::memcpy(dst, window_.data(), got);
    return true;
}

bool SquishArea::WriteData(std::int64_t offset, const void* src, std::size_t n) {
    DropWindow();
    if (!SeekFile(data_, offset) || !WriteBlock(data_, src, n)) {
        lastResult_ = LastIoError;
        return false;
    }
    dataSize_ = std::max(dataSize_, offset + static_cast<std::int64_t>(n));
    return true;
}

bool SquishArea::IsFrameOffset(std::uint32_t offset) const {
    return offset >= baseHeaderLength_ &&
           static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(frameHeaderLength_) <= dataSize_;
}

bool SquishArea::ReadFrameHeader(std::uint32_t offset, FrameHeader& h) {
    unsigned char b[kFrameHeaderDefault];
    std::size_t got = 0;
    h = {};
    if (!ReadData(offset, b, sizeof b, got) || got < sizeof b) return false;
    h.signature = Get32(b);
    h.next = Get32(b + 4);
    h.prev = Get32(b + 8);
    h.frameLength = Get32(b + 12);
    h.msgLength = Get32(b + 16);
    h.ctrlLength = Get32(b + 20);
    h.type = Get16(b + 24);
    h.reserved = Get16(b + 26);
    return true;
}

bool SquishArea::WriteFrameHeader(std::uint32_t offset, const FrameHeader& h) {
    unsigned char b[kFrameHeaderDefault];
    Put32(b, h.signature);
    Put32(b + 4, h.next);
    Put32(b + 8, h.prev);
    Put32(b + 12, h.frameLength);
    Put32(b + 16, h.msgLength);
    Put32(b + 20, h.ctrlLength);
    Put16(b + 24, h.type);
    Put16(b + 26, h.reserved);
    return WriteData(offset, b, sizeof b);
}

std::pair<std::uint32_t, std::uint32_t> SquishArea::UnlinkFrame(std::uint32_t ofs, const FrameHeader& h) {
    auto link = [&](std::uint32_t x) { return x != ofs && IsFrameOffset(x) ? x : 0u; };
    const std::uint32_t prev = link(h.prev), next = link(h.next);
    FrameHeader n;
    if (prev && ReadFrameHeader(prev, n) && n.signature == kFrameSignature && n.next == ofs) {
        n.next = next;
        WriteFrameHeader(prev, n);
    }
    if (next && ReadFrameHeader(next, n) && n.signature == kFrameSignature && n.prev == ofs) {
        n.prev = prev;
        WriteFrameHeader(next, n);
    }
    return {prev, next};
}

// --- Locking ---

bool SquishArea::LockArea() {
    if (locked_) return true;
    if (!data_.IsOpen()) return false;
    if (!LockRange(data_, 0, 1)) {
        lastResult_ = LastIoError;
        return false;
    }
    locked_ = true;
    // Another writer may have changed the base since we read it.
    if (Reload() != 0) {
        UnlockRange(data_, 0, 1);
        locked_ = false;
        return false;
    }
    return true;
}

bool SquishArea::UnlockArea() {
    if (!locked_) return false;
    bool ok = WriteBaseAndIndex();
    if (!UnlockRange(data_, 0, 1)) ok = false;
    locked_ = false;
    return ok;
}

// --- Header fields ---

std::uint32_t SquishArea::Bh32(std::size_t off) const { return Get32(&baseHeader_[off]); }
void SquishArea::SetBh32(std::size_t off, std::uint32_t v) { Put32(&baseHeader_[off], v); }
std::uint32_t SquishArea::Mh32(std::size_t off) const { return Get32(&msgHeader_[off]); }
std::uint16_t SquishArea::Mh16(std::size_t off) const { return Get16(&msgHeader_[off]); }
void SquishArea::SetMh32(std::size_t off, std::uint32_t v) { Put32(&msgHeader_[off], v); }
void SquishArea::SetMh16(std::size_t off, std::uint16_t v) { Put16(&msgHeader_[off], v); }

std::string SquishArea::MhString(std::size_t off, std::size_t maxLen) const {
    const char* p = reinterpret_cast<const char*>(&msgHeader_[off]);
    std::size_t n = 0;
    while (n < maxLen && p[n] != '\0') ++n;
    return std::string(p, n);
}

void SquishArea::SetMhString(std::size_t off, std::size_t fieldSize, const std::string& ansi) {
    const std::string oem = AnsiToOem(ansi.substr(0, fieldSize - 1));
    std::memset(&msgHeader_[off], 0, fieldSize);
    std::memcpy(&msgHeader_[off], oem.data(), std::min(oem.size(), fieldSize - 1));
}

void SquishArea::SetAttr(std::uint32_t bit, bool on) {
    const std::uint32_t a = Mh32(kMhAttr);
    SetMh32(kMhAttr, on ? a | bit : a & ~bit);
}

FidoAddress SquishArea::MhAddress(std::size_t off) const {
    return {Mh16(off), Mh16(off + 2), Mh16(off + 4), Mh16(off + 6)};
}

void SquishArea::SetMhAddress(std::size_t off, const FidoAddress& a) {
    SetMh16(off, a.zone);
    SetMh16(off + 2, a.net);
    SetMh16(off + 4, a.node);
    SetMh16(off + 6, a.point);
}

void SquishArea::SetDestAddress(const FidoAddress& a) { SetMhAddress(kMhDest, a); }
void SquishArea::SetOrigAddress(const FidoAddress& a) { SetMhAddress(kMhOrig, a); }
void SquishArea::SetFromName(const std::string& name) { SetMhString(kMhFrom, 36, name); }
void SquishArea::SetToName(const std::string& name) { SetMhString(kMhTo, 36, name); }
void SquishArea::SetSubject(const std::string& subject) { SetMhString(kMhSubject, 72, subject); }
void SquishArea::SetCost(std::uint16_t) {}
void SquishArea::SetReplyTo(MsgNumber n) { SetMh32(kMhReplyTo, static_cast<std::uint32_t>(n)); }
void SquishArea::SetReplyFirst(MsgNumber n) { SetMh32(kMhReplies, static_cast<std::uint32_t>(n)); }

// Stored as a DOS date word followed by a DOS time word.
void SquishArea::SetDateTime(TDateTime t) {
    const std::uint32_t dos = DateTimeToDosDate(t);
    SetMh16(kMhDateWritten, static_cast<std::uint16_t>(dos >> 16));
    SetMh16(kMhDateWritten + 2, static_cast<std::uint16_t>(dos));
}

void SquishArea::SetLocalFlag(bool on) { SetAttr(kAttrLocal, on); }
void SquishArea::SetReceivedFlag(bool on) { SetAttr(kAttrReceived, on); }
void SquishArea::SetPrivateFlag(bool on) { SetAttr(kAttrPrivate, on); }
void SquishArea::SetCrashFlag(bool on) { SetAttr(kAttrCrash, on); }
void SquishArea::SetKillSentFlag(bool on) { SetAttr(kAttrKillSent, on); }
void SquishArea::SetSentFlag(bool on) { SetAttr(kAttrSent, on); }
void SquishArea::SetFileAttachFlag(bool on) { SetAttr(kAttrFileAttach, on); }
void SquishArea::SetReceiptRequestFlag(bool on) { SetAttr(kAttrReceiptRequest, on); }
void SquishArea::SetAuditRequestFlag(bool on) { SetAttr(kAttrAuditRequest, on); }
void SquishArea::SetIsReceiptFlag(bool on) { SetAttr(kAttrIsReceipt, on); }
void SquishArea::SetFileRequestFlag(bool on) { SetAttr(kAttrFileRequest, on); }
void SquishArea::SetFormatMark(std::int32_t value) { SetAttr(kAttrRead, value != 0); }
void SquishArea::SetFormatOption(bool on) { SetAttr(kAttrNotEcho, !on); }
void SquishArea::SetMailKind(std::uint8_t kind) { mailKind_ = kind; }

std::string SquishArea::GetFromName() { return OemToAnsi(MhString(kMhFrom, 35)); }
std::string SquishArea::GetToName() { return OemToAnsi(MhString(kMhTo, 35)); }
std::string SquishArea::GetSubject() { return CleanSubject(MhString(kMhSubject, 71)); }
std::uint16_t SquishArea::GetCost() { return 0; }

TDateTime SquishArea::GetDateTime() {
    const std::uint32_t dos = static_cast<std::uint32_t>(Mh16(kMhDateWritten)) << 16 | Mh16(kMhDateWritten + 2);
    return DosDateToDateTime(dos);
}

MsgNumber SquishArea::GetReplyTo() { return static_cast<MsgNumber>(Mh32(kMhReplyTo)); }
MsgNumber SquishArea::GetReplyFirst() { return static_cast<MsgNumber>(Mh32(kMhReplies)); }
FidoAddress SquishArea::GetOrigAddress() { return MhAddress(kMhOrig); }
FidoAddress SquishArea::GetDestAddress() { return MhAddress(kMhDest); }
bool SquishArea::IsLocal() { return Attr(kAttrLocal); }
bool SquishArea::IsCrash() { return Attr(kAttrCrash); }
bool SquishArea::IsKillSent() { return Attr(kAttrKillSent); }
bool SquishArea::IsSent() { return Attr(kAttrSent); }
bool SquishArea::IsFileAttach() { return Attr(kAttrFileAttach); }
bool SquishArea::IsReceiptRequest() { return Attr(kAttrReceiptRequest); }
bool SquishArea::IsAuditRequest() { return Attr(kAttrAuditRequest); }
bool SquishArea::IsReceipt() { return Attr(kAttrIsReceipt); }
bool SquishArea::IsFileRequest() { return Attr(kAttrFileRequest); }
bool SquishArea::IsReceived() { return Attr(kAttrReceived); }
bool SquishArea::IsPrivate() { return Attr(kAttrPrivate); }
bool SquishArea::IsDeleted() { return false; }
bool SquishArea::IsEcho() { return !Attr(kAttrNotEcho); }
bool SquishArea::IsRead() { return Attr(kAttrRead); }
std::uint16_t SquishArea::GetSubArea() { return 0; }

// --- Locating ---

std::int32_t SquishArea::Located() const {
    return static_cast<std::int32_t>(std::min<std::size_t>(index_records_.size(), std::numeric_limits<std::int32_t>::max() - 1));
}

MsgNumber SquishArea::GetMessageNumber() {
    if (position_ < 1 || position_ > Located()) return -1;
    return static_cast<MsgNumber>(index_records_[static_cast<std::size_t>(position_ - 1)].uid);
}

bool SquishArea::IsLocated() { return GetMessageNumber() >= 0; }
std::int32_t SquishArea::GetPosition() { return position_; }
void SquishArea::SetPosition(std::int32_t position) { position_ = std::clamp(position, 0, Located() + 1); }

void SquishArea::LocateFrom(MsgNumber n) {
    position_ = 1;
    // Under our own lock the table in memory is the newest state.
    if (!locked_ && data_.IsOpen()) Reload();
    const std::int32_t count = Located();
    while (position_ <= count && static_cast<std::int64_t>(index_records_[static_cast<std::size_t>(position_ - 1)].uid) < n)
        ++position_;
}

void SquishArea::LocateNext() { position_ = std::min(position_, Located()) + 1; }

void SquishArea::LocatePrior() {
    const std::int32_t p = std::min(position_, Located() + 1);
    position_ = p < 2 ? 0 : p - 1;
}

std::int32_t SquishArea::CountMessages() { return static_cast<std::int32_t>(Bh32(kBhNumMsg)); }
MsgNumber SquishArea::GetHighNumber() { return static_cast<MsgNumber>(Bh32(kBhUid) - 1); }

void SquishArea::FindAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = AnsiUpper(name.substr(0, 35));
    findAlias_ = AnsiUpper(alias.substr(0, 35));
    position_ = 0;
    FindAddressedNext();
}

void SquishArea::FindAddressedNext() {
    const std::int32_t count = Located();
    for (++position_; position_ <= count; ++position_) {
        LoadHeader();
        const std::string to = AnsiUpper(GetToName());
        if ((to == findName_ || to == findAlias_) && !IsReceived()) return;
    }
    position_ = count + 1;
}

bool SquishArea::FoundAddressed() { return IsLocated(); }

// --- Reading a message ---

void SquishArea::LoadHeader() {
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = true;
    headerLoaded_ = false;
    composing_ = false;
    frame_ = {};
    msgHeader_.fill(0);
    if (!IsLocated()) {
        frameOffset_ = -1;
        uid_ = 0;
        return;
    }
    const IndexRecord& rec = index_records_[static_cast<std::size_t>(position_ - 1)];
    frameOffset_ = rec.frame;
    uid_ = rec.uid;
    if (!IsFrameOffset(rec.frame)) RefreshFileSize();  // a tosser may have appended it
    if (!IsFrameOffset(rec.frame)) return;
    // A record that points at no frame stands for a message that reads empty.
    FrameHeader h;
    if (!ReadFrameHeader(rec.frame, h) || h.signature != kFrameSignature) return;
    std::size_t got = 0;
    if (!ReadData(static_cast<std::int64_t>(rec.frame) + static_cast<std::int64_t>(frameHeaderLength_), msgHeader_.data(),
                  kMessageHeader, got))
        got = 0;
    std::fill(msgHeader_.begin() + static_cast<std::ptrdiff_t>(got), msgHeader_.end(), 0);
    frame_ = h;
    headerLoaded_ = true;
}

// The message length counts the message header, control information and
// text; the frame length bounds it. So the text is what follows the control
// information up to the smaller of the two, and up to the end of the file.
void SquishArea::StartText() {
    text_.clear();
    textPos_ = 0;
    textEnded_ = false;
    lastLineWrapped_ = false;
    if (!headerLoaded_) return;
    const std::int64_t body = frameOffset_ + static_cast<std::int64_t>(frameHeaderLength_);
    const std::int64_t start = body + static_cast<std::int64_t>(kMessageHeader) + frame_.ctrlLength;
    std::int64_t end = body + std::min(frame_.msgLength, frame_.frameLength);
    if (end > dataSize_) RefreshFileSize();
    end = std::min(end, dataSize_);
    if (start >= end) return;
    try {
        text_.resize(static_cast<std::size_t>(end - start));
    } catch (const std::bad_alloc&) {
        text_.clear();
        return;
    }
    std::size_t got = 0;
    if (!ReadData(start, text_.data(), text_.size(), got)) got = 0;
    // The text ends at its first NUL.
    const void* nul = std::memchr(text_.data(), 0, got);
    text_.resize(nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text_.data()) : got);
}

char SquishArea::ReadChar() {
    if (textPos_ < text_.size()) return text_[textPos_++];
    textEnded_ = true;
    return '\0';
}

std::string_view SquishArea::TextSpan() {
    static const char kEmpty = '\0';
    return text_.empty() ? std::string_view(&kEmpty, 0) : std::string_view(text_.data(), text_.size());
}

bool SquishArea::AtTextEnd() { return textEnded_ || textPos_ >= text_.size(); }
std::int64_t SquishArea::GetTextPosition() { return static_cast<std::int64_t>(textPos_); }

void SquishArea::SetTextPosition(std::int64_t position) {
    textPos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(text_.size())));
}

// --- Deleting ---

void SquishArea::DeleteCurrent() {
    if (frameOffset_ < 0 || readOnly_ || !data_.IsOpen()) return;
    const bool tookLock = !locked_;
    if (tookLock && !LockArea()) return;

    const auto rec = std::find_if(index_records_.begin(), index_records_.end(),
                                  [&](const IndexRecord& r) { return r.uid == uid_; });
    if (rec != index_records_.end()) {
        const std::uint32_t ofs = rec->frame;
        FrameHeader h;
        // Links are followed only to frames that exist; a neighbour is
        // rewritten only when it points back at us, so damaged chains are
        // never made worse and never walked.
        if (IsFrameOffset(ofs) && ReadFrameHeader(ofs, h) && h.signature == kFrameSignature && h.type != kFrameFree) {
            auto link = [&](std::uint32_t x) { return x != ofs && IsFrameOffset(x) ? x : 0u; };
            const auto [prev, next] = UnlinkFrame(ofs, h);
            FrameHeader n;
            if (Bh32(kBhBeginFrame) == ofs) SetBh32(kBhBeginFrame, next);
            if (Bh32(kBhLastFrame) == ofs) SetBh32(kBhLastFrame, prev);

            h.type = kFrameFree;
            const std::uint32_t lastFree = link(Bh32(kBhLastFreeFrame));
            if (Bh32(kBhFreeFrame) != 0 && lastFree && ReadFrameHeader(lastFree, n) && n.signature == kFrameSignature &&
                n.type == kFrameFree) {
                h.next = 0;
                h.prev = lastFree;
                n.next = ofs;
                WriteFrameHeader(lastFree, n);
                SetBh32(kBhLastFreeFrame, ofs);
            } else {
                h.next = h.prev = 0;
                SetBh32(kBhFreeFrame, ofs);
                SetBh32(kBhLastFreeFrame, ofs);
            }
            WriteFrameHeader(ofs, h);
            if (freeCache_.size() < kFreeCache) freeCache_.push_back({ofs, h.frameLength});
        }
        if (Bh32(kBhNumMsg) > 0) SetBh32(kBhNumMsg, Bh32(kBhNumMsg) - 1);
        if (Bh32(kBhHighMsg) > 0) SetBh32(kBhHighMsg, Bh32(kBhHighMsg) - 1);
        // LocateNext goes on with the message that followed the deleted one.
        position_ = static_cast<std::int32_t>(rec - index_records_.begin());
        index_records_.erase(rec);
        frameOffset_ = -1;
        headerLoaded_ = false;
        text_.clear();
        msgHeader_.fill(0);
    }
    if (tookLock) UnlockArea();
}

// --- Writing ---

void SquishArea::StartNewMessage() {
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = true;
    headerLoaded_ = false;
    frame_ = {};
    frameOffset_ = -1;
    uid_ = 0;
    msgHeader_.fill(0);
    newText_.clear();
    composing_ = true;
}

void SquishArea::WriteChar(char c) {
    if (composing_) newText_ += AnsiToOemChar(c);
}

void SquishArea::WriteText(const std::string& text) {
    for (char c : text) WriteChar(c);
}

void SquishArea::WriteTextLine(const std::string& text) {
    WriteText(text);
    WriteChar('\r');
}

std::uint32_t SquishArea::TakeFreeFrame(std::uint32_t need, std::uint32_t& length) {
    while (!freeCache_.empty()) {
        auto best = freeCache_.end();
        for (auto it = freeCache_.begin(); it != freeCache_.end(); ++it)
            if (it->length >= need && (best == freeCache_.end() || it->length < best->length)) best = it;
        if (best == freeCache_.end()) return 0;
        const std::uint32_t ofs = best->offset;
        const std::uint32_t cachedLength = best->length;
        freeCache_.erase(best);
        FrameHeader h;
        // Another writer may have reused it since.
        if (!IsFrameOffset(ofs) || !ReadFrameHeader(ofs, h) || h.signature != kFrameSignature || h.type != kFrameFree ||
            h.frameLength != cachedLength)
            continue;
        const auto [prev, next] = UnlinkFrame(ofs, h);
        if (Bh32(kBhFreeFrame) == ofs) SetBh32(kBhFreeFrame, next);
        if (Bh32(kBhLastFreeFrame) == ofs) SetBh32(kBhLastFreeFrame, prev);
        length = h.frameLength;
        return ofs;
    }
    return 0;
}

ResultCode SquishArea::SaveMessage() {
    if (!composing_ || !data_.IsOpen()) return lastResult_ = kIoInvalidHandle;
    if (readOnly_) return lastResult_ = kIoAccessDenied;
    const bool tookLock = !locked_;
    if (tookLock && !LockArea()) return lastResult_ ? lastResult_ : kIoAccessDenied;
    lastResult_ = 0;

    std::uint32_t uid = Bh32(kBhUid);
    if (uid == 0) uid = 1;
    // Tossers store texts NUL-terminated.
    const std::string text = newText_ + '\0';
    const auto need = static_cast<std::uint32_t>(kMessageHeader + text.size());

    const std::uint32_t arrived = NowDosDate();
    SetMh16(kMhDateArrived, static_cast<std::uint16_t>(arrived >> 16));
    SetMh16(kMhDateArrived + 2, static_cast<std::uint16_t>(arrived));
    {
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const TDateTime written = GetDateTime();
        char ftsc[21] = {};
        if (written != 0) {
            int y, m, d, h, mi, s, ms;
            DecodeDate(written, y, m, d);
            DecodeTime(written, h, mi, s, ms);
            std::snprintf(ftsc, sizeof ftsc, "%02d %s %02d  %02d:%02d:%02d", d, kMonths[(m - 1) % 12], y % 100, h, mi, s);
        }
        std::memcpy(&msgHeader_[kMhFtscDate], ftsc, 20);
    }

    std::uint32_t frameLength = 0;
    std::uint32_t ofs = TakeFreeFrame(need, frameLength);
    if (ofs == 0) {
        std::int64_t end = Bh32(kBhEndFrame);
        if (end < static_cast<std::int64_t>(baseHeaderLength_) || end > dataSize_)
            end = std::max<std::int64_t>(dataSize_, static_cast<std::int64_t>(baseHeaderLength_));
        if (end + static_cast<std::int64_t>(frameHeaderLength_ + need) > std::numeric_limits<std::uint32_t>::max()) {
            if (tookLock) UnlockArea();
            return lastResult_ = kIoDiskWrite;
        }
        ofs = static_cast<std::uint32_t>(end);
        frameLength = need;
        SetBh32(kBhEndFrame, static_cast<std::uint32_t>(end + static_cast<std::int64_t>(frameHeaderLength_ + need)));
    }

    FrameHeader h;
    h.signature = kFrameSignature;
    h.frameLength = frameLength;
    h.msgLength = need;
    h.type = kFrameNormal;
    const std::uint32_t last = Bh32(kBhLastFrame);
    FrameHeader lh;
    if (last != 0 && last != ofs && IsFrameOffset(last) && ReadFrameHeader(last, lh) && lh.signature == kFrameSignature &&
        lh.type != kFrameFree) {
        h.prev = last;
        lh.next = ofs;
        WriteFrameHeader(last, lh);
    } else {
        SetBh32(kBhBeginFrame, ofs);
    }
    SetBh32(kBhLastFrame, ofs);

    std::vector<unsigned char> frame(frameHeaderLength_ + kMessageHeader + text.size(), 0);
    Put32(&frame[0], h.signature);
    Put32(&frame[4], h.next);
    Put32(&frame[8], h.prev);
    Put32(&frame[12], h.frameLength);
    Put32(&frame[16], h.msgLength);
    Put32(&frame[20], h.ctrlLength);
    Put16(&frame[24], h.type);
    std::memcpy(&frame[frameHeaderLength_], msgHeader_.data(), kMessageHeader);
    std::memcpy(&frame[frameHeaderLength_ + kMessageHeader], text.data(), text.size());
    const bool written = WriteData(ofs, frame.data(), frame.size());

    index_records_.push_back({ofs, uid, NameHash(MhString(kMhTo, 35))});
    SetBh32(kBhNumMsg, Bh32(kBhNumMsg) + 1);
    SetBh32(kBhHighMsg, Bh32(kBhHighMsg) + 1);
    SetBh32(kBhUid, uid + 1);
    position_ = Located();
    composing_ = false;
    newText_.clear();
    frame_ = h;
    frameOffset_ = ofs;
    uid_ = uid;
    headerLoaded_ = true;

    bool ok = written;
    if (tookLock && !UnlockArea()) ok = false;
    if (!ok && lastResult_ == 0) lastResult_ = kIoDiskWrite;
    return ok ? 0 : lastResult_;
}

void SquishArea::RewriteHeader() {
    if (!headerLoaded_ || frameOffset_ < 0 || readOnly_ || !data_.IsOpen()) return;
    const bool tookLock = !locked_;
    if (tookLock && !LockArea()) return;
    // After the lock the message must still be where we read it.
    for (IndexRecord& r : index_records_) {
        if (r.uid != uid_) continue;
        if (r.frame == frameOffset_) {
            WriteData(frameOffset_ + static_cast<std::int64_t>(frameHeaderLength_), msgHeader_.data(), kMessageHeader);
            r.hash = NameHash(MhString(kMhTo, 35));
        }
        break;
    }
    if (tookLock) UnlockArea();
}

// --- Last-read pointers ---

MsgNumber SquishArea::GetLastRead(std::int32_t user) {
    if (user < 0 || base_.empty()) return 0;
    const std::string name = LastReadName();
    const std::int64_t at = 4 * static_cast<std::int64_t>(user);
    if (FileSizeByName(name) < at + 4) return 0;
    unsigned char b[4];
    if (ReadAt(name, b, 4, at) != 0) return 0;
    return static_cast<MsgNumber>(Get32(b));
}

void SquishArea::SetLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || base_.empty()) return;
    const std::string name = LastReadName();
    const std::int64_t at = 4 * static_cast<std::int64_t>(user);
    if (ExtendFile(name, at + 4) != 0) return;
    unsigned char b[4];
    Put32(b, static_cast<std::uint32_t>(n));
    WriteAt(name, b, 4, at);
}

void RegisterSquishArea() { RegisterAreaKind('S', &MakeArea<SquishArea>); }

}  // namespace orbisk
