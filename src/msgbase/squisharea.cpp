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
constexpr std::size_t kIndexChunkRecords = 4096;

std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void put32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

}  // namespace

std::uint32_t squish::nameHash(std::string_view oemName) {
    std::uint32_t hash = 0;
    for (char c : oemName) {
        if (c == '\0') break;
        hash = (hash << 4) + static_cast<unsigned char>(lowerAscii(c));
        const std::uint32_t g = hash & 0xF0000000u;
        if (g != 0) {
            hash |= g >> 24;
            hash |= g;
        }
    }
    return hash & 0x7FFFFFFFu;
}

SquishArea::SquishArea() : window_(kWindow) { freeCache_.reserve(kFreeCache); }

SquishArea::~SquishArea() { destroy(); }

void SquishArea::destroy() {
    if (locked_) unlockArea();
    closeFiles();
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

void SquishArea::setAreaPath(const std::string& path) {
    base_ = expandPath(path);
}

std::string SquishArea::dataName() const { return resolveNameNoCase(base_ + ".sqd"); }
std::string SquishArea::indexName() const { return resolveNameNoCase(base_ + ".sqi"); }
std::string SquishArea::lastReadName() const { return resolveNameNoCase(base_ + ".sql"); }

void SquishArea::closeFiles() {
    data_.close();
    index_.close();
    locked_ = false;
    dropWindow();
}

// --- Files ---

ResultCode SquishArea::openArea() {
    if (locked_) unlockArea();
    closeFiles();
    index_records_.clear();
    freeCache_.clear();
    position_ = 0;
    frameOffset_ = -1;
    headerLoaded_ = false;
    readOnly_ = false;
    if (base_.empty()) return lastResult_ = kNoIndex;

    // A base we may not write (permissions, read-only medium) can still be read.
    int mode = kModeReadWrite;
    if (!openExisting(index_, indexName(), mode)) {
        if (lastIoError != kIoAccessDenied && lastIoError != kIoWriteProtected) return lastResult_ = kNoIndex;
        mode = kModeReadOnly;
        readOnly_ = true;
        if (!openExisting(index_, indexName(), mode)) return lastResult_ = kNoIndex;
    }
    if (!openExisting(data_, dataName(), mode)) {
        lastResult_ = lastIoError ? lastIoError : kIoGeneralFailure;
        closeFiles();
        return lastResult_;
    }
    refreshFileSize();
    ResultCode rc = readBaseHeader();
    if (rc == 0) rc = loadIndex();
    if (rc != 0) closeFiles();
    return lastResult_ = rc;
}

ResultCode SquishArea::closeArea() {
    ResultCode rc = 0;
    if (locked_ && !unlockArea()) rc = lastResult_ ? lastResult_ : kIoGeneralFailure;
    closeFiles();
    return rc;
}

ResultCode SquishArea::createArea() {
    if (base_.empty()) return lastResult_ = kIoPathNotFound;
    const std::string dataFile = dataName();
    if (!fileExistsPlain(dataFile)) {
        std::array<unsigned char, kBaseHeaderDefault> h{};
        put16(&h[kBhLength], kBaseHeaderDefault);
        put32(&h[kBhUid], 1);
        const std::size_t slash = base_.rfind('/');
        const std::string name = ansiToOem(slash == std::string::npos ? base_ : base_.substr(slash + 1));
        std::memcpy(&h[kBhName], name.data(), std::min<std::size_t>(name.size(), 79));
        put32(&h[kBhEndFrame], kBaseHeaderDefault);
        put16(&h[kBhFrameHeaderLength], kFrameHeaderDefault);
        if (ResultCode rc = writeAt(dataFile, h.data(), h.size(), 0)) return lastResult_ = rc;
    }
    const std::string indexFile = indexName();
    if (!fileExistsPlain(indexFile))
        if (ResultCode rc = writeAt(indexFile, nullptr, 0, 0)) return lastResult_ = rc;
    return lastResult_ = 0;
}

bool SquishArea::areaExists() { return fileExistsPlain(dataName()) && fileExistsPlain(indexName()); }

void SquishArea::refreshFileSize() {
    const std::int64_t size = fileSizeOf(data_);
    dataSize_ = size < 0 ? 0 : size;
}

ResultCode SquishArea::readBaseHeader() {
    dropWindow();
    unsigned char len[2];
    std::size_t got = 0;
    if (!seekFile(data_, 0) || !readBlock(data_, len, 2, got)) return lastIoError;
    if (got < 2) return kIoShortRead;
    std::size_t length = get16(len);
    if (length == 0) length = kBaseHeaderDefault;
    // Shorter than the fields we use, and 357 or more, cannot be a base header.
    if (length > kBaseHeaderMax || length < kBaseHeaderMin) return kBadBaseHeader;
    baseHeader_.fill(0);
    if (!seekFile(data_, 0) || !readBlock(data_, baseHeader_.data(), length, got)) return lastIoError;
    if (got < length) return kIoShortRead;
    baseHeaderLength_ = length;
    const std::size_t frameHeader = get16(&baseHeader_[kBhFrameHeaderLength]);
    frameHeaderLength_ = frameHeader == 0 ? kFrameHeaderDefault : std::max(frameHeader, kFrameHeaderDefault);
    return 0;
}

// The whole index, bounded by the size of its file: a tosser appends the
// newest messages at its end, so a cut would lose this week's listings.
ResultCode SquishArea::loadIndex() {
    index_records_.clear();
    const std::int64_t size = fileSizeOf(index_);
    if (size < 0) return kIndexSeek;
    // Records beyond the base header's count are not messages: a stale or
    // damaged tail is neither read nor kept in memory.
    const auto records = std::min<std::uint64_t>(static_cast<std::uint64_t>(size) / kIndexRecord, bh32(kBhNumMsg));
    std::vector<unsigned char> chunk;
    try {
        index_records_.reserve(static_cast<std::size_t>(records));
        chunk.resize(kIndexChunkRecords * kIndexRecord);
    } catch (const std::bad_alloc&) {
        return kIndexNoMemory;
    } catch (const std::length_error&) {
        return kIndexNoMemory;
    }
    if (!seekFile(index_, 0)) return kIndexSeek;
    std::uint64_t left = records;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kIndexChunkRecords));
        std::size_t got = 0;
        if (!readBlock(index_, chunk.data(), want * kIndexRecord, got)) return lastIoError;
        const std::size_t n = got / kIndexRecord;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char* p = &chunk[i * kIndexRecord];
            index_records_.push_back({get32(p), get32(p + 4), get32(p + 8)});
        }
        if (n < want) break;  // the file shrank meanwhile
        left -= n;
    }
    return 0;
}

ResultCode SquishArea::reload() {
    refreshFileSize();
    ResultCode rc = readBaseHeader();
    if (rc == 0) rc = loadIndex();
    if (rc != 0) index_records_.clear();
    lastResult_ = rc;
    return rc;
}

// Writes only what changed under the lock: the base header, and the index
// from its first changed record on, so that a run of deletions under one
// lock rewrites the index once, and only from the earliest deleted record.
bool SquishArea::writeBaseAndIndex() {
    if (baseDirty_ && !writeData(0, baseHeader_.data(), baseHeaderLength_)) return false;
    baseDirty_ = false;
    if (indexDirtyFrom_ == kIndexClean) return true;
    const std::size_t from = std::min(indexDirtyFrom_, index_records_.size());
    std::vector<unsigned char> raw((index_records_.size() - from) * kIndexRecord);
    for (std::size_t i = from; i < index_records_.size(); ++i) {
        unsigned char* p = &raw[(i - from) * kIndexRecord];
        put32(p, index_records_[i].frame);
        put32(p + 4, index_records_[i].uid);
        put32(p + 8, index_records_[i].hash);
    }
    // Written before truncating, so that a failure never leaves it short.
    if (!seekFile(index_, static_cast<std::int64_t>(from * kIndexRecord)) ||
        (!raw.empty() && !writeBlock(index_, raw.data(), raw.size())) ||
        !truncateFile(index_, static_cast<std::int64_t>(index_records_.size() * kIndexRecord))) {
        lastResult_ = lastIoError;
        return false;
    }
    indexDirtyFrom_ = kIndexClean;
    return true;
}

void SquishArea::markIndexChanged(std::size_t from) { indexDirtyFrom_ = std::min(indexDirtyFrom_, from); }

bool SquishArea::readData(std::int64_t offset, void* dst, std::size_t n, std::size_t& got) {
    got = 0;
    if (!data_.isOpen() || offset < 0) return false;
    if (n == 0) return true;
    if (offset >= winStart_ && offset + static_cast<std::int64_t>(n) <= winStart_ + static_cast<std::int64_t>(winLength_)) {
        std::memcpy(dst, window_.data() + (offset - winStart_), n);
        got = n;
        return true;
    }
    if (n >= kWindow / 2) return readBlockAt(data_, offset, dst, n, got);
    dropWindow();
    std::size_t filled = 0;
    if (!readBlockAt(data_, offset, window_.data(), kWindow, filled)) return false;
    winStart_ = offset;
    winLength_ = filled;
    got = std::min(n, filled);
    std::memcpy(dst, window_.data(), got);
    return true;
}

bool SquishArea::writeData(std::int64_t offset, const void* src, std::size_t n) {
    dropWindow();
    if (!seekFile(data_, offset) || !writeBlock(data_, src, n)) {
        lastResult_ = lastIoError;
        return false;
    }
    dataSize_ = std::max(dataSize_, offset + static_cast<std::int64_t>(n));
    return true;
}

bool SquishArea::isFrameOffset(std::uint32_t offset) const {
    return offset >= baseHeaderLength_ &&
           static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(frameHeaderLength_) <= dataSize_;
}

bool SquishArea::readFrameHeader(std::uint32_t offset, FrameHeader& h) {
    unsigned char b[kFrameHeaderDefault];
    std::size_t got = 0;
    h = {};
    if (!readData(offset, b, sizeof b, got) || got < sizeof b) return false;
    h.signature = get32(b);
    h.next = get32(b + 4);
    h.prev = get32(b + 8);
    h.frameLength = get32(b + 12);
    h.msgLength = get32(b + 16);
    h.ctrlLength = get32(b + 20);
    h.type = get16(b + 24);
    h.reserved = get16(b + 26);
    return true;
}

bool SquishArea::writeFrameHeader(std::uint32_t offset, const FrameHeader& h) {
    unsigned char b[kFrameHeaderDefault];
    put32(b, h.signature);
    put32(b + 4, h.next);
    put32(b + 8, h.prev);
    put32(b + 12, h.frameLength);
    put32(b + 16, h.msgLength);
    put32(b + 20, h.ctrlLength);
    put16(b + 24, h.type);
    put16(b + 26, h.reserved);
    return writeData(offset, b, sizeof b);
}

std::pair<std::uint32_t, std::uint32_t> SquishArea::unlinkFrame(std::uint32_t ofs, const FrameHeader& h) {
    auto link = [&](std::uint32_t x) { return x != ofs && isFrameOffset(x) ? x : 0u; };
    const std::uint32_t prev = link(h.prev), next = link(h.next);
    FrameHeader n;
    if (prev && readFrameHeader(prev, n) && n.signature == kFrameSignature && n.next == ofs) {
        n.next = next;
        writeFrameHeader(prev, n);
    }
    if (next && readFrameHeader(next, n) && n.signature == kFrameSignature && n.prev == ofs) {
        n.prev = prev;
        writeFrameHeader(next, n);
    }
    return {prev, next};
}

// --- Locking ---

bool SquishArea::lockArea() {
    if (locked_) return true;
    if (!data_.isOpen()) return false;
    if (!lockRange(data_, 0, 1)) {
        lastResult_ = lastIoError;
        return false;
    }
    locked_ = true;
    baseDirty_ = false;
    indexDirtyFrom_ = kIndexClean;
    // Another writer may have changed the base since we read it.
    if (reload() != 0) {
        unlockRange(data_, 0, 1);
        locked_ = false;
        return false;
    }
    return true;
}

bool SquishArea::unlockArea() {
    if (!locked_) return false;
    bool ok = writeBaseAndIndex();
    if (!unlockRange(data_, 0, 1)) ok = false;
    locked_ = false;
    return ok;
}

// --- Header fields ---

std::uint32_t SquishArea::bh32(std::size_t off) const { return get32(&baseHeader_[off]); }
void SquishArea::setBh32(std::size_t off, std::uint32_t v) {
    put32(&baseHeader_[off], v);
    baseDirty_ = true;
}
std::uint32_t SquishArea::mh32(std::size_t off) const { return get32(&msgHeader_[off]); }
std::uint16_t SquishArea::mh16(std::size_t off) const { return get16(&msgHeader_[off]); }
void SquishArea::setMh32(std::size_t off, std::uint32_t v) { put32(&msgHeader_[off], v); }
void SquishArea::setMh16(std::size_t off, std::uint16_t v) { put16(&msgHeader_[off], v); }

std::string_view SquishArea::mhString(std::size_t off, std::size_t maxLen) const {
    const char* p = reinterpret_cast<const char*>(&msgHeader_[off]);
    std::size_t n = 0;
    while (n < maxLen && p[n] != '\0') ++n;
    return std::string_view(p, n);
}

void SquishArea::setMhString(std::size_t off, std::size_t fieldSize, const std::string& ansi) {
    const std::string oem = ansiToOem(ansi.substr(0, fieldSize - 1));
    std::memset(&msgHeader_[off], 0, fieldSize);
    std::memcpy(&msgHeader_[off], oem.data(), std::min(oem.size(), fieldSize - 1));
}

void SquishArea::setAttr(std::uint32_t bit, bool on) {
    const std::uint32_t a = mh32(kMhAttr);
    setMh32(kMhAttr, on ? a | bit : a & ~bit);
}

FidoAddress SquishArea::mhAddress(std::size_t off) const {
    return {mh16(off), mh16(off + 2), mh16(off + 4), mh16(off + 6)};
}

void SquishArea::setMhAddress(std::size_t off, const FidoAddress& a) {
    setMh16(off, a.zone);
    setMh16(off + 2, a.net);
    setMh16(off + 4, a.node);
    setMh16(off + 6, a.point);
}

void SquishArea::setDestAddress(const FidoAddress& a) { setMhAddress(kMhDest, a); }
void SquishArea::setOrigAddress(const FidoAddress& a) { setMhAddress(kMhOrig, a); }
void SquishArea::setFromName(const std::string& name) { setMhString(kMhFrom, 36, name); }
void SquishArea::setToName(const std::string& name) { setMhString(kMhTo, 36, name); }
void SquishArea::setSubject(const std::string& subject) { setMhString(kMhSubject, 72, subject); }
void SquishArea::setCost(std::uint16_t) {}
void SquishArea::setReplyTo(MsgNumber n) { setMh32(kMhReplyTo, static_cast<std::uint32_t>(n)); }
void SquishArea::setReplyFirst(MsgNumber n) { setMh32(kMhReplies, static_cast<std::uint32_t>(n)); }

// Stored as a DOS date word followed by a DOS time word.
void SquishArea::setDateTime(DateTime t) {
    const std::uint32_t dos = dateTimeToDosDate(t);
    setMh16(kMhDateWritten, static_cast<std::uint16_t>(dos >> 16));
    setMh16(kMhDateWritten + 2, static_cast<std::uint16_t>(dos));
}

void SquishArea::setLocalFlag(bool on) { setAttr(kAttrLocal, on); }
void SquishArea::setReceivedFlag(bool on) { setAttr(kAttrReceived, on); }
void SquishArea::setPrivateFlag(bool on) { setAttr(kAttrPrivate, on); }
void SquishArea::setCrashFlag(bool on) { setAttr(kAttrCrash, on); }
void SquishArea::setKillSentFlag(bool on) { setAttr(kAttrKillSent, on); }
void SquishArea::setSentFlag(bool on) { setAttr(kAttrSent, on); }
void SquishArea::setFileAttachFlag(bool on) { setAttr(kAttrFileAttach, on); }
void SquishArea::setReceiptRequestFlag(bool on) { setAttr(kAttrReceiptRequest, on); }
void SquishArea::setAuditRequestFlag(bool on) { setAttr(kAttrAuditRequest, on); }
void SquishArea::setIsReceiptFlag(bool on) { setAttr(kAttrIsReceipt, on); }
void SquishArea::setFileRequestFlag(bool on) { setAttr(kAttrFileRequest, on); }
void SquishArea::setFormatMark(std::int32_t value) { setAttr(kAttrRead, value != 0); }
void SquishArea::setFormatOption(bool on) { setAttr(kAttrNotEcho, !on); }
void SquishArea::setMailKind(std::uint8_t kind) { mailKind_ = kind; }

std::string SquishArea::getFromName() { return oemToAnsi(mhString(kMhFrom, 35)); }
std::string SquishArea::getToName() { return oemToAnsi(mhString(kMhTo, 35)); }
std::string SquishArea::getSubject() { return cleanSubject(mhString(kMhSubject, 71)); }
std::uint16_t SquishArea::getCost() { return 0; }

DateTime SquishArea::getDateTime() {
    const std::uint32_t dos = static_cast<std::uint32_t>(mh16(kMhDateWritten)) << 16 | mh16(kMhDateWritten + 2);
    return dosDateToDateTime(dos);
}

MsgNumber SquishArea::getReplyTo() { return static_cast<MsgNumber>(mh32(kMhReplyTo)); }
MsgNumber SquishArea::getReplyFirst() { return static_cast<MsgNumber>(mh32(kMhReplies)); }
FidoAddress SquishArea::getOrigAddress() { return mhAddress(kMhOrig); }
FidoAddress SquishArea::getDestAddress() { return mhAddress(kMhDest); }
bool SquishArea::isLocal() { return attr(kAttrLocal); }
bool SquishArea::isCrash() { return attr(kAttrCrash); }
bool SquishArea::isKillSent() { return attr(kAttrKillSent); }
bool SquishArea::isSent() { return attr(kAttrSent); }
bool SquishArea::isFileAttach() { return attr(kAttrFileAttach); }
bool SquishArea::isReceiptRequest() { return attr(kAttrReceiptRequest); }
bool SquishArea::isAuditRequest() { return attr(kAttrAuditRequest); }
bool SquishArea::isReceipt() { return attr(kAttrIsReceipt); }
bool SquishArea::isFileRequest() { return attr(kAttrFileRequest); }
bool SquishArea::isReceived() { return attr(kAttrReceived); }
bool SquishArea::isPrivate() { return attr(kAttrPrivate); }
bool SquishArea::isDeleted() { return false; }
bool SquishArea::isEcho() { return !attr(kAttrNotEcho); }
bool SquishArea::isRead() { return attr(kAttrRead); }
std::uint16_t SquishArea::getSubArea() { return 0; }

// --- Locating ---

std::int32_t SquishArea::located() const {
    return static_cast<std::int32_t>(std::min<std::size_t>(index_records_.size(), std::numeric_limits<std::int32_t>::max() - 1));
}

MsgNumber SquishArea::getMessageNumber() {
    if (position_ < 1 || position_ > located()) return -1;
    return static_cast<MsgNumber>(index_records_[static_cast<std::size_t>(position_ - 1)].uid);
}

bool SquishArea::isLocated() { return getMessageNumber() >= 0; }
std::int32_t SquishArea::getPosition() { return position_; }
void SquishArea::setPosition(std::int32_t position) { position_ = std::clamp(position, 0, located() + 1); }

void SquishArea::locateFrom(MsgNumber n) {
    position_ = 1;
    // Under our own lock the table in memory is the newest state.
    if (!locked_ && data_.isOpen()) reload();
    const std::int32_t count = located();
    while (position_ <= count && static_cast<std::int64_t>(index_records_[static_cast<std::size_t>(position_ - 1)].uid) < n)
        ++position_;
}

void SquishArea::locateNext() { position_ = std::min(position_, located()) + 1; }

void SquishArea::locatePrior() {
    const std::int32_t p = std::min(position_, located() + 1);
    position_ = p < 2 ? 0 : p - 1;
}

std::int32_t SquishArea::countMessages() { return static_cast<std::int32_t>(bh32(kBhNumMsg)); }
MsgNumber SquishArea::getHighNumber() { return static_cast<MsgNumber>(bh32(kBhUid) - 1); }

void SquishArea::findAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = ansiUpper(name.substr(0, 35));
    findAlias_ = ansiUpper(alias.substr(0, 35));
    position_ = 0;
    findAddressedNext();
}

void SquishArea::findAddressedNext() {
    const std::int32_t count = located();
    for (++position_; position_ <= count; ++position_) {
        loadHeader();
        const std::string to = ansiUpper(getToName());
        if ((to == findName_ || to == findAlias_) && !isReceived()) return;
    }
    position_ = count + 1;
}

bool SquishArea::foundAddressed() { return isLocated(); }

// --- Reading a message ---

void SquishArea::loadHeader() {
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = true;
    headerLoaded_ = false;
    composing_ = false;
    frame_ = {};
    msgHeader_.fill(0);
    if (!isLocated()) {
        frameOffset_ = -1;
        uid_ = 0;
        return;
    }
    const IndexRecord& rec = index_records_[static_cast<std::size_t>(position_ - 1)];
    frameOffset_ = rec.frame;
    uid_ = rec.uid;
    if (!isFrameOffset(rec.frame)) refreshFileSize();  // a tosser may have appended it
    if (!isFrameOffset(rec.frame)) return;
    // A record that points at no frame stands for a message that reads empty.
    FrameHeader h;
    if (!readFrameHeader(rec.frame, h) || h.signature != kFrameSignature) return;
    std::size_t got = 0;
    if (!readData(static_cast<std::int64_t>(rec.frame) + static_cast<std::int64_t>(frameHeaderLength_), msgHeader_.data(),
                  kMessageHeader, got))
        got = 0;
    std::fill(msgHeader_.begin() + static_cast<std::ptrdiff_t>(got), msgHeader_.end(), 0);
    frame_ = h;
    headerLoaded_ = true;
}

// The message length counts the message header, control information and
// text; the frame length bounds it. So the text is what follows the control
// information up to the smaller of the two, and up to the end of the file.
void SquishArea::startText() {
    text_.clear();
    textPos_ = 0;
    textEnded_ = false;
    lastLineWrapped_ = false;
    if (!headerLoaded_) return;
    const std::int64_t body = frameOffset_ + static_cast<std::int64_t>(frameHeaderLength_);
    const std::int64_t start = body + static_cast<std::int64_t>(kMessageHeader) + frame_.ctrlLength;
    std::int64_t end = body + std::min(frame_.msgLength, frame_.frameLength);
    if (end > dataSize_) refreshFileSize();
    end = std::min(end, dataSize_);
    if (start >= end) return;
    try {
        text_.resize(static_cast<std::size_t>(end - start));
    } catch (const std::bad_alloc&) {
        text_.clear();
        return;
    }
    std::size_t got = 0;
    if (!readData(start, text_.data(), text_.size(), got)) got = 0;
    // The text ends at its first NUL.
    const void* nul = std::memchr(text_.data(), 0, got);
    text_.resize(nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text_.data()) : got);
}

char SquishArea::readChar() {
    if (textPos_ < text_.size()) return text_[textPos_++];
    textEnded_ = true;
    return '\0';
}

std::string_view SquishArea::textSpan() {
    static const char kEmpty = '\0';
    return text_.empty() ? std::string_view(&kEmpty, 0) : std::string_view(text_.data(), text_.size());
}

void SquishArea::readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) {
    skipControlLines(line, [&](std::string& l) { readSharedLine(l, maxLen); });
}

bool SquishArea::atTextEnd() { return textEnded_ || textPos_ >= text_.size(); }
std::int64_t SquishArea::getTextPosition() { return static_cast<std::int64_t>(textPos_); }

void SquishArea::setTextPosition(std::int64_t position) {
    textPos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(text_.size())));
}

// --- Deleting ---

bool SquishArea::isHeaderLoaded() { return headerLoaded_; }

std::int64_t SquishArea::getIdentityKey() { return headerLoaded_ ? static_cast<std::int64_t>(uid_) : -1; }

ResultCode SquishArea::deleteCurrent() {
    if (frameOffset_ < 0 || !data_.isOpen()) return kIoFileNotFound;
    if (readOnly_) return kIoAccessDenied;
    const bool tookLock = !locked_;
    if (tookLock && !lockArea()) return lastResult_ ? lastResult_ : kIoAccessDenied;
    ResultCode rc = kIoFileNotFound;

    const auto rec = std::find_if(index_records_.begin(), index_records_.end(),
                                  [&](const IndexRecord& r) { return r.uid == uid_; });
    if (rec != index_records_.end()) {
        const std::uint32_t ofs = rec->frame;
        FrameHeader h;
        // Links are followed only to frames that exist; a neighbour is
        // rewritten only when it points back at us, so damaged chains are
        // never made worse and never walked.
        if (isFrameOffset(ofs) && readFrameHeader(ofs, h) && h.signature == kFrameSignature && h.type != kFrameFree) {
            auto link = [&](std::uint32_t x) { return x != ofs && isFrameOffset(x) ? x : 0u; };
            const auto [prev, next] = unlinkFrame(ofs, h);
            FrameHeader n;
            if (bh32(kBhBeginFrame) == ofs) setBh32(kBhBeginFrame, next);
            if (bh32(kBhLastFrame) == ofs) setBh32(kBhLastFrame, prev);

            h.type = kFrameFree;
            const std::uint32_t lastFree = link(bh32(kBhLastFreeFrame));
            if (bh32(kBhFreeFrame) != 0 && lastFree && readFrameHeader(lastFree, n) && n.signature == kFrameSignature &&
                n.type == kFrameFree) {
                h.next = 0;
                h.prev = lastFree;
                n.next = ofs;
                writeFrameHeader(lastFree, n);
                setBh32(kBhLastFreeFrame, ofs);
            } else {
                h.next = h.prev = 0;
                setBh32(kBhFreeFrame, ofs);
                setBh32(kBhLastFreeFrame, ofs);
            }
            writeFrameHeader(ofs, h);
            if (freeCache_.size() < kFreeCache) freeCache_.push_back({ofs, h.frameLength});
        }
        if (bh32(kBhNumMsg) > 0) setBh32(kBhNumMsg, bh32(kBhNumMsg) - 1);
        if (bh32(kBhHighMsg) > 0) setBh32(kBhHighMsg, bh32(kBhHighMsg) - 1);
        // locateNext goes on with the message that followed the deleted one.
        position_ = static_cast<std::int32_t>(rec - index_records_.begin());
        markIndexChanged(static_cast<std::size_t>(position_));
        index_records_.erase(rec);
        frameOffset_ = -1;
        headerLoaded_ = false;
        text_.clear();
        msgHeader_.fill(0);
        rc = 0;
    }
    if (tookLock && !unlockArea() && rc == 0) rc = lastResult_ ? lastResult_ : kIoDiskWrite;
    return rc;
}

// --- Writing ---

void SquishArea::startNewMessage() {
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

void SquishArea::writeChar(char c) {
    if (composing_) newText_ += ansiToOemChar(c);
}

void SquishArea::writeText(const std::string& text) {
    for (char c : text) writeChar(c);
}

void SquishArea::writeTextLine(const std::string& text) {
    writeText(text);
    writeChar('\r');
}

std::uint32_t SquishArea::takeFreeFrame(std::uint32_t need, std::uint32_t& length) {
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
        if (!isFrameOffset(ofs) || !readFrameHeader(ofs, h) || h.signature != kFrameSignature || h.type != kFrameFree ||
            h.frameLength != cachedLength)
            continue;
        const auto [prev, next] = unlinkFrame(ofs, h);
        if (bh32(kBhFreeFrame) == ofs) setBh32(kBhFreeFrame, next);
        if (bh32(kBhLastFreeFrame) == ofs) setBh32(kBhLastFreeFrame, prev);
        length = h.frameLength;
        return ofs;
    }
    return 0;
}

ResultCode SquishArea::saveMessage() {
    if (!composing_ || !data_.isOpen()) return lastResult_ = kIoInvalidHandle;
    if (readOnly_) return lastResult_ = kIoAccessDenied;
    const bool tookLock = !locked_;
    if (tookLock && !lockArea()) return lastResult_ ? lastResult_ : kIoAccessDenied;
    lastResult_ = 0;

    std::uint32_t uid = bh32(kBhUid);
    if (uid == 0) uid = 1;
    // Tossers store texts NUL-terminated.
    const std::string text = newText_ + '\0';
    const auto need = static_cast<std::uint32_t>(kMessageHeader + text.size());

    const std::uint32_t arrived = nowDosDate();
    setMh16(kMhDateArrived, static_cast<std::uint16_t>(arrived >> 16));
    setMh16(kMhDateArrived + 2, static_cast<std::uint16_t>(arrived));
    {
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const DateTime written = getDateTime();
        char ftsc[21] = {};
        if (written != 0) {
            int y, m, d, h, mi, s, ms;
            decodeDate(written, y, m, d);
            decodeTime(written, h, mi, s, ms);
            std::snprintf(ftsc, sizeof ftsc, "%02d %s %02d  %02d:%02d:%02d", d, kMonths[(m - 1) % 12], y % 100, h, mi, s);
        }
        std::memcpy(&msgHeader_[kMhFtscDate], ftsc, 20);
    }

    std::uint32_t frameLength = 0;
    std::uint32_t ofs = takeFreeFrame(need, frameLength);
    if (ofs == 0) {
        // The stored end of data can be behind the file (a writer that died
        // before updating it, a damaged header): frames may live past it.
        // The file's own end is the one place that holds nothing.
        refreshFileSize();
        const std::int64_t end = std::max<std::int64_t>(dataSize_, static_cast<std::int64_t>(baseHeaderLength_));
        if (end + static_cast<std::int64_t>(frameHeaderLength_ + need) > std::numeric_limits<std::uint32_t>::max()) {
            if (tookLock) unlockArea();
            return lastResult_ = kIoDiskWrite;
        }
        ofs = static_cast<std::uint32_t>(end);
        frameLength = need;
        setBh32(kBhEndFrame, static_cast<std::uint32_t>(end + static_cast<std::int64_t>(frameHeaderLength_ + need)));
    }

    FrameHeader h;
    h.signature = kFrameSignature;
    h.frameLength = frameLength;
    h.msgLength = need;
    h.type = kFrameNormal;
    const std::uint32_t last = bh32(kBhLastFrame);
    FrameHeader lh;
    if (last != 0 && last != ofs && isFrameOffset(last) && readFrameHeader(last, lh) && lh.signature == kFrameSignature &&
        lh.type != kFrameFree) {
        h.prev = last;
        lh.next = ofs;
        writeFrameHeader(last, lh);
    } else {
        setBh32(kBhBeginFrame, ofs);
    }
    setBh32(kBhLastFrame, ofs);

    std::vector<unsigned char> frame(frameHeaderLength_ + kMessageHeader + text.size(), 0);
    put32(&frame[0], h.signature);
    put32(&frame[4], h.next);
    put32(&frame[8], h.prev);
    put32(&frame[12], h.frameLength);
    put32(&frame[16], h.msgLength);
    put32(&frame[20], h.ctrlLength);
    put16(&frame[24], h.type);
    std::memcpy(&frame[frameHeaderLength_], msgHeader_.data(), kMessageHeader);
    std::memcpy(&frame[frameHeaderLength_ + kMessageHeader], text.data(), text.size());
    const bool written = writeData(ofs, frame.data(), frame.size());

    markIndexChanged(index_records_.size());
    index_records_.push_back({ofs, uid, nameHash(mhString(kMhTo, 35))});
    setBh32(kBhNumMsg, bh32(kBhNumMsg) + 1);
    setBh32(kBhHighMsg, bh32(kBhHighMsg) + 1);
    setBh32(kBhUid, uid + 1);
    position_ = located();
    composing_ = false;
    newText_.clear();
    frame_ = h;
    frameOffset_ = ofs;
    uid_ = uid;
    headerLoaded_ = true;

    bool ok = written;
    if (tookLock && !unlockArea()) ok = false;
    if (!ok && lastResult_ == 0) lastResult_ = kIoDiskWrite;
    return ok ? 0 : lastResult_;
}

void SquishArea::rewriteHeader() {
    if (!headerLoaded_ || frameOffset_ < 0 || readOnly_ || !data_.isOpen()) return;
    const bool tookLock = !locked_;
    if (tookLock && !lockArea()) return;
    // After the lock the message must still be where we read it.
    for (IndexRecord& r : index_records_) {
        if (r.uid != uid_) continue;
        if (r.frame == frameOffset_) {
            writeData(frameOffset_ + static_cast<std::int64_t>(frameHeaderLength_), msgHeader_.data(), kMessageHeader);
            r.hash = nameHash(mhString(kMhTo, 35));
            markIndexChanged(static_cast<std::size_t>(&r - index_records_.data()));
        }
        break;
    }
    if (tookLock) unlockArea();
}

// --- Last-read pointers ---

// User numbers are 16-bit, as in the other kinds, so the file grows to at
// most 256 KB whatever the caller passes.
constexpr std::int32_t kMaxLastReadUser = 0xFFFF;

MsgNumber SquishArea::getLastRead(std::int32_t user) {
    if (user < 0 || user > kMaxLastReadUser || base_.empty()) return 0;
    const std::string name = lastReadName();
    const std::int64_t at = 4 * static_cast<std::int64_t>(user);
    if (fileSizeByName(name) < at + 4) return 0;
    unsigned char b[4];
    if (readAt(name, b, 4, at) != 0) return 0;
    return static_cast<MsgNumber>(get32(b));
}

void SquishArea::setLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || user > kMaxLastReadUser || base_.empty()) return;
    const std::string name = lastReadName();
    const std::int64_t at = 4 * static_cast<std::int64_t>(user);
    if (extendFile(name, at + 4) != 0) return;
    unsigned char b[4];
    put32(b, static_cast<std::uint32_t>(n));
    writeAt(name, b, 4, at);
}

void registerSquishArea() { registerAreaKind('S', &makeArea<SquishArea>); }

}  // namespace orbisk
