#include "msgbase/jamarea.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/codepage.h"
#include "base/ui.h"
#include "msgbase/crc32.h"
#include "msgbase/fidodate.h"
#include "msgbase/msgstr.h"

namespace orbisk {

namespace {

constexpr std::size_t kIndexWindowRecords = 500;
// A refill reads from a little before the cursor to the end of the text,
// at most this much: one read takes in a whole listing part.
constexpr std::size_t kTextWindow = 65536;
constexpr std::size_t kTextBackStep = 80;
// Headers lie one after the other: one read serves a run of them.
constexpr std::size_t kHeaderCache = 32768;
constexpr std::size_t kKludgeLimit = 2000;
constexpr std::size_t kMaxField = 255;  // names and subject
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Fixed header fields.
constexpr std::size_t kHdrRevision = 4;
constexpr std::size_t kHdrSubfieldLen = 8;
constexpr std::size_t kHdrMsgIdCrc = 16;
constexpr std::size_t kHdrReplyCrc = 20;
constexpr std::size_t kHdrReplyTo = 24;
constexpr std::size_t kHdrReplyFirst = 28;
constexpr std::size_t kHdrReplyNext = 32;
constexpr std::size_t kHdrDateWritten = 36;
constexpr std::size_t kHdrMsgNum = 48;
constexpr std::size_t kHdrAttr = 52;
constexpr std::size_t kHdrTextOffset = 60;
constexpr std::size_t kHdrTextLen = 64;
constexpr std::size_t kHdrPasswordCrc = 68;
constexpr std::size_t kHdrCost = 72;
// Base header fields.
constexpr std::size_t kBaseCreated = 4;
constexpr std::size_t kBaseModCounter = 8;
constexpr std::size_t kBaseActive = 12;
constexpr std::size_t kBasePasswordCrc = 16;
constexpr std::size_t kBaseNumber = 20;

constexpr char kSignature[4] = {'J', 'A', 'M', '\0'};

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Subfield data as text: up to its first NUL, at most cap bytes.
std::string fieldText(const std::uint8_t* p, std::size_t len, std::size_t cap) {
    len = std::min(len, cap);
    const void* nul = std::memchr(p, 0, len);
    if (nul) len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p);
    return std::string(reinterpret_cast<const char*>(p), len);
}


bool readWhole(FileHandle& f, std::int64_t offset, void* out, std::size_t count) {
    std::size_t got = 0;
    if (!readBlockAt(f, offset, out, count, got)) return false;
    if (got < count) {
        lastIoError = kIoShortRead;
        return false;
    }
    return true;
}

bool writeAtHandle(FileHandle& f, std::int64_t offset, const void* data, std::size_t count) {
    return seekFile(f, offset) && writeBlock(f, data, count);
}

// An index record pointing into the base header (a zero-filled or torn
// record) leads to no message: the header's signature would pass as one,
// and deleting it would write over the base header.
bool isHeaderOffset(std::int64_t offset) { return offset >= static_cast<std::int64_t>(JamArea::kBaseHeaderSize); }

}  // namespace

JamArea::JamArea()
    : idxWin_(kIndexWindowRecords * kIndexRecordSize),
      hdrCache_(kHeaderCache),
      txtWin_(kTextWindow),
      txtAnsi_(kTextWindow) {}

JamArea::~JamArea() { destroy(); }

void JamArea::destroy() {
    closeArea();
    kludges_.clear();
    newText_.clear();
    newKludges_.clear();
}

void JamArea::setAreaPath(const std::string& path) { path_ = path; }

std::string JamArea::fileName(const char* ext) const { return resolveNameNoCase(path_ + ext); }

// A stored base number 0 would make record 0 the "no message" number.
std::int64_t JamArea::baseNumber() const {
    const std::uint32_t b = get32(base_.data() + kBaseNumber);
    return b == 0 ? 1 : static_cast<std::int64_t>(b);
}

std::int64_t JamArea::highNumber() const {
    return std::min<std::int64_t>(idxRecords_ + baseNumber() - 1, INT32_MAX);
}

bool JamArea::readBaseHeader() {
    const bool ok = readWhole(hdr_, 0, base_.data(), base_.size());
    lastIo_ = lastIoError;
    return ok;
}

void JamArea::refreshIndexSize() {
    const std::int64_t size = fileSizeOf(idx_);
    idxRecords_ = size > 0 ? size / static_cast<std::int64_t>(kIndexRecordSize) : 0;
}

void JamArea::dropCaches() {
    txtSize_ = 0;  // asked again when a text reaches past it
    idxCount_ = 0;
    hdrCacheValid_ = 0;
    txtValid_ = 0;
}

// --- Opening and closing ---

ResultCode JamArea::openArea() {
    closeArea();
    lastIo_ = 0;
    ResultCode rc = 0;
    const auto openAll = [&](int mode) {
        return openExisting(hdr_, fileName(".jhr"), mode) && openExisting(txt_, fileName(".jdt"), mode) &&
               openExisting(idx_, fileName(".jdx"), mode);
    };
    if (!openAll(kModeReadWrite)) {
        rc = lastIoError;
        // A base we may not write (permissions, read-only medium) can still
        // be read; a deletion there then fails at its first write.
        if (rc == kIoAccessDenied || rc == kIoWriteProtected) rc = openAll(kModeReadOnly) ? 0 : lastIoError;
    }
    if (rc == 0 && !readBaseHeader())
        rc = lastIo_;
    if (rc != 0) {
        hdr_.close();
        txt_.close();
        idx_.close();
        lastIo_ = rc;
        return rc;
    }
    open_ = true;
    lockDepth_ = 0;
    refreshIndexSize();
    dropCaches();
    current_ = baseNumber() - 1;
    headerLoaded_ = false;
    loadedNumber_ = 0;
    return 0;
}

ResultCode JamArea::closeArea() {
    ResultCode rc = 0;
    for (FileHandle* f : {&hdr_, &txt_, &idx_})
        if (const auto r = f->close(); r != 0 && rc == 0) rc = r;
    open_ = false;
    lockDepth_ = 0;  // closing the header file dropped the lock
    dropCaches();
    return rc;
}

ResultCode JamArea::createArea() {
    const auto slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0 && !ensureDirectory(path_.substr(0, slash))) return kIoPathNotFound;
    std::array<std::uint8_t, kBaseHeaderSize> head{};
    std::memcpy(head.data(), kSignature, 4);
    put32(head.data() + kBaseCreated, dateTimeToUnix(SystemClock().now()));
    put32(head.data() + kBasePasswordCrc, kNone);
    put32(head.data() + kBaseNumber, 1);
    ResultCode rc = 0;
    FileHandle f;
    // Files that exist hold someone's mail: they are never cut, and an
    // existing header is left as it is.
    if (!fileExistsPlain(fileName(".jhr"))) {
        if (!openOrCreate(f, fileName(".jhr"), kModeReadWrite) || !writeBlock(f, head.data(), head.size()))
            rc = lastIoError;
        if (const auto r = f.close(); r != 0 && rc == 0) rc = r;
    }
    for (const char* ext : {".jdt", ".jdx", ".jlr"}) {
        if (!openOrCreate(f, fileName(ext), kModeReadWrite) && rc == 0) rc = lastIoError;
        if (const auto r = f.close(); r != 0 && rc == 0) rc = r;
    }
    return rc;
}

bool JamArea::areaExists() { return fileExistsPlain(fileName(".jhr")); }

// --- Index and header access ---

bool JamArea::indexRecord(std::int64_t n, std::uint32_t& crc, std::int32_t& offset) {
    if (!open_) return false;
    const std::int64_t k = n - baseNumber();
    if (k < 0) return false;
    if (k < idxStart_ || k >= idxStart_ + idxCount_) {
        idxStart_ = std::max<std::int64_t>(k - 30, 0);
        idxCount_ = 0;
        std::size_t got = 0;
        if (readBlockAt(idx_, idxStart_ * static_cast<std::int64_t>(kIndexRecordSize), idxWin_.data(), idxWin_.size(),
                        got))
            idxCount_ = static_cast<std::int64_t>(got / kIndexRecordSize);
        lastIo_ = lastIoError;
        refreshIndexSize();
        if (k >= idxStart_ + idxCount_) return false;
    }
    const std::uint8_t* r = idxWin_.data() + (k - idxStart_) * static_cast<std::int64_t>(kIndexRecordSize);
    crc = get32(r);
    offset = static_cast<std::int32_t>(get32(r + 4));
    return true;
}

std::size_t JamArea::readHeaderBytes(std::int64_t offset, std::size_t count, std::uint8_t* out) {
    if (!open_ || offset < 0 || count == 0) return 0;
    const std::int64_t end = offset + static_cast<std::int64_t>(count);
    if (offset < hdrCacheStart_ || end > hdrCacheStart_ + static_cast<std::int64_t>(hdrCacheValid_)) {
        hdrCacheStart_ = offset;
        hdrCacheValid_ = 0;
        std::size_t got = 0;
        if (readBlockAt(hdr_, offset, hdrCache_.data(), hdrCache_.size(), got)) hdrCacheValid_ = got;
        lastIo_ = lastIoError;
    }
    const auto from = static_cast<std::size_t>(offset - hdrCacheStart_);
    const std::size_t n = std::min(count, hdrCacheValid_ - std::min(from, hdrCacheValid_));
    if (n > 0) std::memcpy(out, hdrCache_.data() + from, n);
    return n;
}

bool JamArea::readFixedHeader(std::int64_t offset, std::uint8_t* out) {
    return readHeaderBytes(offset, kFixedHeaderSize, out) == kFixedHeaderSize &&
           std::memcmp(out, kSignature, 4) == 0;
}

// Live index record, a header that reads whole, and no deleted mark in it.
bool JamArea::exists(std::int64_t n) {
    std::uint32_t crc = 0;
    std::int32_t offset = 0;
    if (!indexRecord(n, crc, offset) || !isHeaderOffset(offset) || crc == kNone) return false;
    std::uint8_t fixed[kFixedHeaderSize];
    return readFixedHeader(offset, fixed) && !(get32(fixed + kHdrAttr) & kAttrDeleted);
}

bool JamArea::writeIndexRecord(std::int64_t n, std::uint32_t crc, std::uint32_t offset) {
    std::uint8_t rec[kIndexRecordSize];
    put32(rec, crc);
    put32(rec + 4, offset);
    const std::int64_t k = n - baseNumber();
    const bool ok = k >= 0 && writeAtHandle(idx_, k * static_cast<std::int64_t>(kIndexRecordSize), rec, sizeof rec);
    lastIo_ = k >= 0 ? lastIoError : kIoInvalidParameter;
    if (k >= idxStart_ && k < idxStart_ + idxCount_)
        std::memcpy(idxWin_.data() + (k - idxStart_) * static_cast<std::int64_t>(kIndexRecordSize), rec, sizeof rec);
    return ok;
}

// --- Locating ---

void JamArea::locateFrom(MsgNumber n) {
    current_ = std::max<std::int64_t>(static_cast<std::int64_t>(n) - 1, baseNumber() - 1);
    locateNext();
}

void JamArea::locateNext() {
    current_ = std::max(current_, baseNumber() - 1);
    if (current_ <= highNumber()) ++current_;
    while (current_ <= highNumber() && !exists(current_)) ++current_;
}

void JamArea::locatePrior() {
    current_ = std::min(current_, highNumber() + 1);
    const std::int64_t base = baseNumber();
    if (current_ >= base) --current_;
    while (current_ >= base && !exists(current_)) --current_;
}

bool JamArea::isLocated() { return open_ && current_ >= baseNumber() && current_ <= highNumber(); }

MsgNumber JamArea::getHighNumber() {
    if (open_) refreshIndexSize();
    return static_cast<MsgNumber>(std::max<std::int64_t>(highNumber(), 0));
}

std::int32_t JamArea::getPosition() { return static_cast<std::int32_t>(current_); }

void JamArea::setPosition(std::int32_t position) { current_ = position; }

void JamArea::findAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = name;
    findAlias_ = alias;
    current_ = baseNumber() - 1;
    findAddressedNext();
}

void JamArea::findAddressedNext() {
    for (locateNext(); isLocated(); locateNext()) {
        loadHeader();
        if (isReceived()) continue;
        const std::string to = getToName();
        if ((!findName_.empty() && ansiSameText(to, findName_)) || (!findAlias_.empty() && ansiSameText(to, findAlias_)))
            return;
    }
}

bool JamArea::foundAddressed() { return isLocated(); }

// --- Header ---

void JamArea::loadHeader() {
    lastIo_ = 0;
    lastLineWrapped_ = false;
    from_.clear();
    to_.clear();
    subject_.clear();
    kludges_.clear();
    orig_ = dest_ = FidoAddress{};
    origText_.clear();
    destText_.clear();
    addressesParsed_ = false;
    date_ = 0;
    headerLoaded_ = false;
    loadedOffset_ = -1;
    std::fill_n(hbuf_.begin(), kFixedHeaderSize, 0);  // the subfield bytes count only as far as read
    loadedNumber_ = isLocated() ? current_ : 0;
    if (loadedNumber_ == 0) return;
    std::uint32_t crc = 0;
    std::int32_t offset = 0;
    if (!indexRecord(current_, crc, offset) || !isHeaderOffset(offset) || !readFixedHeader(offset, hbuf_.data())) return;
    const std::size_t want = std::min<std::size_t>(get32(hbuf_.data() + kHdrSubfieldLen), kSubfieldBytes);
    const std::size_t got = readHeaderBytes(offset + static_cast<std::int64_t>(kFixedHeaderSize), want,
                                            hbuf_.data() + kFixedHeaderSize);
    headerLoaded_ = true;
    loadedOffset_ = offset;
    date_ = unixToDateTime(get32(hbuf_.data() + kHdrDateWritten));
    const std::size_t keep = got;
    const std::uint32_t subLen = get32(hbuf_.data() + kHdrSubfieldLen);
    std::size_t p = 0;
    const std::uint8_t* sf = hbuf_.data() + kFixedHeaderSize;
    // Offsets 1..3999 (1-based) of the subfield area, within its length.
    while (p < subLen && p <= 3998 && p + 8 <= keep) {
        const std::uint16_t kind = get16(sf + p);
        const std::uint32_t len = get32(sf + p + 4);
        const std::uint8_t* data = sf + p + 8;
        const std::size_t avail = std::min<std::size_t>(len, keep - (p + 8));
        switch (kind) {
            case 0: origText_ = fieldText(data, avail, kMaxField); break;
            case 1: destText_ = fieldText(data, avail, kMaxField); break;
            case 2: from_ = fieldText(data, avail, kMaxField); break;
            case 3: to_ = fieldText(data, avail, kMaxField); break;
            case 4: addKludge("MSGID: ", data, avail); break;
            case 5: addKludge("REPLY: ", data, avail); break;
            case 6: subject_ = fieldText(data, avail, kMaxField); break;
            case 7: addKludge("PID: ", data, avail); break;
            case 8: addKludge("Via ", data, avail); break;
            case 9:
                if (attr() & kAttrFileAttach) subject_ = fieldText(data, avail, kMaxField);
                break;
            case 11:
                if (attr() & kAttrFileRequest) subject_ = fieldText(data, avail, kMaxField);
                break;
            case 2000: addKludge("", data, avail); break;
            case 2001: addKludge("SEEN-BY: ", data, avail); break;
            case 2002: addKludge("PATH: ", data, avail); break;
            case 2003: addKludge("FLAGS: ", data, avail); break;
            default: break;
        }
        p += 8 + static_cast<std::size_t>(std::min<std::uint32_t>(len, 1u << 20));
    }
}

// One ^A line. The buffer stops taking characters past 2000; a line that
// starts beyond that is left out whole. Data ends at a NUL or CR: anything
// after it would come out as a line of ordinary text.
void JamArea::addKludge(const char* prefix, const std::uint8_t* data, std::size_t len) {
    if (kludges_.size() > kKludgeLimit) return;
    std::size_t n = 0;
    while (n < len && data[n] != 0 && data[n] != '\r') ++n;
    kludges_ += '\x01';
    const std::string_view pre(prefix);
    const auto room = [&] { return kKludgeLimit + 1 - std::min(kludges_.size(), kKludgeLimit + 1); };
    kludges_.append(pre.substr(0, room()));
    kludges_.append(reinterpret_cast<const char*>(data), std::min(n, room()));
    kludges_ += '\r';
}

std::uint32_t JamArea::attr() const { return get32(hbuf_.data() + kHdrAttr); }

void JamArea::setAttr(std::uint32_t bit, bool on) {
    const std::uint32_t a = attr();
    put32(hbuf_.data() + kHdrAttr, on ? a | bit : a & ~bit);
}

// The located number: right before loadHeader too (getHighestExisting asks
// without loading), and equal to the loaded message's after it.
MsgNumber JamArea::getMessageNumber() { return isLocated() ? static_cast<MsgNumber>(current_) : 0; }
std::string JamArea::getFromName() { return oemToAnsi(from_); }
std::string JamArea::getToName() { return oemToAnsi(to_); }
std::string JamArea::getSubject() { return cleanSubject(subject_); }
std::uint16_t JamArea::getCost() { return static_cast<std::uint16_t>(get32(hbuf_.data() + kHdrCost)); }
DateTime JamArea::getDateTime() { return date_; }
MsgNumber JamArea::getReplyTo() { return static_cast<MsgNumber>(get32(hbuf_.data() + kHdrReplyTo)); }
MsgNumber JamArea::getReplyFirst() { return static_cast<MsgNumber>(get32(hbuf_.data() + kHdrReplyFirst)); }
MsgNumber JamArea::getNextReplyLink() { return static_cast<MsgNumber>(get32(hbuf_.data() + kHdrReplyNext)); }
// Parsed on first use: the program never asks, a full read loads every header.
void JamArea::parseAddresses() {
    if (addressesParsed_) return;
    addressesParsed_ = true;
    if (!origText_.empty()) parseAddress(origText_, FidoAddress{}, orig_);
    if (!destText_.empty()) parseAddress(destText_, FidoAddress{}, dest_);
}

FidoAddress JamArea::getOrigAddress() {
    parseAddresses();
    return orig_;
}

FidoAddress JamArea::getDestAddress() {
    parseAddresses();
    return dest_;
}
bool JamArea::isLocal() { return attr() & kAttrLocal; }
bool JamArea::isCrash() { return attr() & kAttrCrash; }
bool JamArea::isKillSent() { return attr() & kAttrKillSent; }
bool JamArea::isSent() { return attr() & kAttrSent; }
bool JamArea::isFileAttach() { return attr() & kAttrFileAttach; }
bool JamArea::isReceiptRequest() { return attr() & kAttrReceiptRequest; }
bool JamArea::isAuditRequest() { return attr() & kAttrAuditRequest; }
bool JamArea::isReceipt() { return false; }
bool JamArea::isFileRequest() { return attr() & kAttrFileRequest; }
bool JamArea::isReceived() { return attr() & kAttrReceived; }
bool JamArea::isPrivate() { return attr() & kAttrPrivate; }
bool JamArea::isEcho() { return true; }
bool JamArea::isRead() { return attr() & kAttrRead; }

bool JamArea::isDeleted() {
    if (!isLocated()) return true;
    if (headerLoaded_ && loadedNumber_ == current_) return attr() & kAttrDeleted;
    return !exists(current_);
}

std::uint16_t JamArea::getSubArea() { return 0; }

std::int32_t JamArea::countMessages() {
    return static_cast<std::int32_t>(std::min<std::uint32_t>(get32(base_.data() + kBaseActive), INT32_MAX));
}

// --- Text ---

void JamArea::startText() {
    lastLineWrapped_ = false;
    ended_ = false;
    textOffset_ = 0;
    textLast_ = -1;
    if (headerLoaded_) {
        textOffset_ = get32(hbuf_.data() + kHdrTextOffset);
        const std::int64_t end = textOffset_ + get32(hbuf_.data() + kHdrTextLen);
        if (end > txtSize_) txtSize_ = std::max<std::int64_t>(fileSizeOf(txt_), 0);
        textLast_ = std::min(end, txtSize_) - 1;
    }
    pos_ = kludges_.empty() ? textOffset_ : -static_cast<std::int64_t>(kludges_.size());
}

// Called with textOffset_ <= pos_ <= textLast_.
void JamArea::fillTextWindow() {
    txtStart_ = std::max<std::int64_t>(pos_ - static_cast<std::int64_t>(kTextBackStep), 0);
    txtValid_ = 0;
    const auto want = static_cast<std::size_t>(
        std::clamp<std::int64_t>(textLast_ + 1 - txtStart_, 1, static_cast<std::int64_t>(txtWin_.size())));
    std::size_t got = 0;
    if (readBlockAt(txt_, txtStart_, txtWin_.data(), want, got)) txtValid_ = got;
    lastIo_ = lastIoError;
    // The conversion keeps every byte in place, so lines can be cut from the
    // converted window; one call per window instead of one per line.
    oemToAnsiBytes(txtAnsi_.data(), reinterpret_cast<const char*>(txtWin_.data()), txtValid_);
}

char JamArea::readChar() {
    if (ended_) return '\0';
    if (pos_ < 0) {
        const std::int64_t i = pos_ + static_cast<std::int64_t>(kludges_.size());
        if (i < 0) {
            ended_ = true;
            return '\0';
        }
        const char c = kludges_[static_cast<std::size_t>(i)];
        if (++pos_ == 0) pos_ = textOffset_;
        return c;
    }
    if (pos_ < textOffset_ || pos_ > textLast_) {
        ended_ = true;
        return '\0';
    }
    if (pos_ < txtStart_ || pos_ >= txtStart_ + static_cast<std::int64_t>(txtValid_)) {
        fillTextWindow();
        if (pos_ >= txtStart_ + static_cast<std::int64_t>(txtValid_)) {
            ended_ = true;
            return '\0';
        }
    }
    const char c = static_cast<char>(txtWin_[static_cast<std::size_t>(pos_ - txtStart_)]);
    if (c == '\0') {
        ended_ = true;
        return '\0';
    }
    ++pos_;
    return c;
}

// Same result as the shared reader (the tests compare the two), without a
// virtual call per character: a listing text is read in a few microseconds.
void JamArea::readLineInto(std::string& line, std::uint16_t maxLen) {
    const auto cap = static_cast<std::int64_t>(std::max<std::uint16_t>(maxLen, 1));
    if (ended_ || lastLineWrapped_ || pos_ < textOffset_ || pos_ > textLast_) return readSharedLine(line, maxLen);
    // The line's characters and the one after them.
    const std::int64_t need = std::min(pos_ + cap, textLast_);
    if (pos_ < txtStart_ || need >= txtStart_ + static_cast<std::int64_t>(txtValid_)) {
        fillTextWindow();
        if (pos_ < txtStart_ || need >= txtStart_ + static_cast<std::int64_t>(txtValid_))
            return readSharedLine(line, maxLen);
    }
    const char* p = reinterpret_cast<const char*>(txtWin_.data()) + (pos_ - txtStart_);
    const char* ansi = txtAnsi_.data() + (pos_ - txtStart_);
    const std::int64_t avail = need - pos_ + 1;
    const auto i = static_cast<std::int64_t>(findLineEnd(p, static_cast<std::size_t>(avail)));
    if (i < avail) {
        if (p[i] == '\n') return readSharedLine(line, maxLen);
        line.assign(ansi, static_cast<std::size_t>(i));
        if (p[i] == '\r') {
            pos_ += i + 1;
            lastLineWrapped_ = false;
        } else {
            pos_ += i;  // the NUL ends the text
            ended_ = true;
            lastLineWrapped_ = true;
        }
        return;
    }
    if (need == textLast_ && avail <= cap) {  // the rest of the text, without CR
        pos_ += avail;
        lastLineWrapped_ = true;
        line.assign(ansi, static_cast<std::size_t>(avail));
        return;
    }
    readSharedLine(line, maxLen);
}

std::string JamArea::readTextLine(std::uint16_t maxLen) {
    std::string line;
    readLineInto(line, maxLen);
    return line;
}

void JamArea::readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) {
    skipControlLines(line, [&](std::string& l) { readLineInto(l, maxLen); });
}

bool JamArea::atTextEnd() { return ended_ || (pos_ >= 0 && (pos_ < textOffset_ || pos_ > textLast_)); }

std::int64_t JamArea::getTextPosition() { return pos_; }

void JamArea::setTextPosition(std::int64_t position) { pos_ = position; }

// --- Locks and deletion ---

bool JamArea::lockArea() {
    if (!open_) return false;
    if (lockDepth_ == 0) {
        if (!lockRange(hdr_, 0, 1)) {
            lastIo_ = lastIoError;
            return false;
        }
        // Another writer may have changed anything while we were not holding it.
        dropCaches();
        if (!readBaseHeader()) {
            unlockRange(hdr_, 0, 1);
            return false;
        }
        refreshIndexSize();
    }
    ++lockDepth_;
    return true;
}

bool JamArea::unlockArea() {
    if (lockDepth_ == 0) return false;
    if (--lockDepth_ > 0) return true;
    const bool ok = writeAtHandle(hdr_, 0, base_.data(), base_.size());
    lastIo_ = lastIoError;
    hdrCacheValid_ = 0;
    unlockRange(hdr_, 0, 1);
    return ok;
}

void JamArea::rewriteHeader() {
    if (!lockArea()) {
        lastIo_ = kIoAccessDenied;
        return;
    }
    std::uint32_t crc = 0;
    std::int32_t offset = 0;
    // Only over a header that was read from where the index still points:
    // anything else would write 76 bytes into some other message.
    if (headerLoaded_ && loadedNumber_ == current_ && indexRecord(current_, crc, offset) && offset == loadedOffset_) {
        writeAtHandle(hdr_, offset, hbuf_.data(), kFixedHeaderSize);
        lastIo_ = lastIoError;
        hdrCacheValid_ = 0;
    }
    unlockArea();
}

// The header gets the deleted mark and the index record is killed. Under the
// lock the header and the index record are read afresh and only they are
// written: the copies we hold may predate another writer's changes.
bool JamArea::isHeaderLoaded() { return headerLoaded_; }

std::int64_t JamArea::getIdentityKey() { return headerLoaded_ ? loadedOffset_ : -1; }

ResultCode JamArea::deleteCurrent() {
    if (!isLocated()) return kIoFileNotFound;
    if (!(headerLoaded_ && loadedNumber_ == current_)) loadHeader();
    if (headerLoaded_ && (attr() & kAttrDeleted)) return 0;
    if (!lockArea()) return lastIo_ ? lastIo_ : kIoAccessDenied;
    std::uint32_t crc = 0;
    std::int32_t offset = 0;
    ResultCode rc = kIoFileNotFound;
    // Under the lock the record must still lead to the header we loaded.
    if (indexRecord(current_, crc, offset) && isHeaderOffset(offset) && crc != kNone &&
        (!headerLoaded_ || loadedNumber_ != current_ || offset == loadedOffset_)) {
        std::uint8_t fixed[kFixedHeaderSize];
        const bool header = readFixedHeader(offset, fixed);
        const bool markedBefore = header && (get32(fixed + kHdrAttr) & kAttrDeleted);
        rc = header ? 0 : (lastIo_ ? lastIo_ : kIoShortRead);
        if (header && !markedBefore) {
            put32(fixed + kHdrAttr, get32(fixed + kHdrAttr) | kAttrDeleted);
            if (!writeAtHandle(hdr_, offset, fixed, kFixedHeaderSize)) rc = lastIoError ? lastIoError : kIoDiskWrite;
            hdrCacheValid_ = 0;
        }
        if (rc == 0) {
            if (!markedBefore) {
                const std::uint32_t active = get32(base_.data() + kBaseActive);
                if (active > 0) put32(base_.data() + kBaseActive, active - 1);
            }
            put32(base_.data() + kBaseModCounter, get32(base_.data() + kBaseModCounter) + 1);
            if (!writeIndexRecord(current_, kNone, kNone)) rc = lastIoError ? lastIoError : kIoDiskWrite;
        }
    }
    if (rc == 0 && headerLoaded_ && loadedNumber_ == current_) setAttr(kAttrDeleted, true);
    if (!unlockArea() && rc == 0) rc = lastIo_ ? lastIo_ : kIoDiskWrite;
    return rc;
}

// --- Writing ---

void JamArea::startNewMessage() {
    std::fill_n(hbuf_.begin(), kFixedHeaderSize, 0);
    put32(hbuf_.data() + kHdrMsgIdCrc, kNone);
    put32(hbuf_.data() + kHdrReplyCrc, kNone);
    put32(hbuf_.data() + kHdrPasswordCrc, kNone);
    headerLoaded_ = false;
    loadedNumber_ = 0;
    from_.clear();
    to_.clear();
    subject_.clear();
    kludges_.clear();
    orig_ = dest_ = FidoAddress{};
    addressesParsed_ = true;
    date_ = SystemClock().now();
    newText_.clear();
    newKludges_.clear();
}

void JamArea::setDestAddress(const FidoAddress& a) {
    parseAddresses();
    dest_ = a;
}

void JamArea::setOrigAddress(const FidoAddress& a) {
    parseAddresses();
    orig_ = a;
}
void JamArea::setFromName(const std::string& name) { from_ = ansiToOem(name.substr(0, kMaxField)); }
void JamArea::setToName(const std::string& name) { to_ = ansiToOem(name.substr(0, kMaxField)); }
void JamArea::setSubject(const std::string& subject) { subject_ = ansiToOem(subject.substr(0, kMaxField)); }
void JamArea::setCost(std::uint16_t cost) { put32(hbuf_.data() + kHdrCost, cost); }
void JamArea::setReplyTo(MsgNumber n) { put32(hbuf_.data() + kHdrReplyTo, static_cast<std::uint32_t>(n)); }
void JamArea::setReplyFirst(MsgNumber n) { put32(hbuf_.data() + kHdrReplyFirst, static_cast<std::uint32_t>(n)); }
void JamArea::setNextReplyLink(MsgNumber n) { put32(hbuf_.data() + kHdrReplyNext, static_cast<std::uint32_t>(n)); }
void JamArea::setDateTime(DateTime t) { date_ = t; }
void JamArea::setLocalFlag(bool on) { setAttr(kAttrLocal, on); }
void JamArea::setReceivedFlag(bool on) { setAttr(kAttrReceived, on); }
void JamArea::setPrivateFlag(bool on) { setAttr(kAttrPrivate, on); }
void JamArea::setCrashFlag(bool on) { setAttr(kAttrCrash, on); }
void JamArea::setKillSentFlag(bool on) { setAttr(kAttrKillSent, on); }
void JamArea::setSentFlag(bool on) { setAttr(kAttrSent, on); }
void JamArea::setFileAttachFlag(bool on) { setAttr(kAttrFileAttach, on); }
void JamArea::setReceiptRequestFlag(bool on) { setAttr(kAttrReceiptRequest, on); }
void JamArea::setAuditRequestFlag(bool on) { setAttr(kAttrAuditRequest, on); }
void JamArea::setIsReceiptFlag(bool) {}
void JamArea::setFileRequestFlag(bool on) { setAttr(kAttrFileRequest, on); }
void JamArea::setFormatMark(std::int32_t value) { setAttr(kAttrRead, value != 0); }
void JamArea::setMailKind(std::uint8_t kind) { mailKind_ = kind; }

void JamArea::writeChar(char c) { newText_ += ansiToOemChar(c); }

void JamArea::writeText(const std::string& text) {
    for (char c : text) writeChar(c);
}

void JamArea::writeTextLine(const std::string& text) {
    writeText(text);
    writeChar('\r');
}

void JamArea::writeKludgeLine(const std::string& text) {
    std::string line = ansiToOem(text);
    if (!line.empty() && line[0] == '\x01') line.erase(0, 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    for (const char* dropped : {"INTL", "TOPT", "FMPT"})
        if (line.rfind(dropped, 0) == 0) return;
    const std::size_t kwEnd = line.find_first_of(": ");
    const std::string keyword = line.substr(0, kwEnd);
    std::string rest = kwEnd == std::string::npos ? std::string() : line.substr(kwEnd);
    rest.erase(0, rest.find_first_not_of(": "));
    if (rest.find_first_not_of(": ") == std::string::npos) rest.clear();
    if (keyword == "PID") {
        newKludges_.emplace_back(7, rest.substr(0, 40));
    } else if (keyword == "MSGID") {
        rest.resize(std::min<std::size_t>(rest.size(), 100));
        put32(hbuf_.data() + kHdrMsgIdCrc, crc32LowerName(rest));
        newKludges_.emplace_back(4, rest);
    } else if (keyword == "REPLY") {
        rest.resize(std::min<std::size_t>(rest.size(), 100));
        put32(hbuf_.data() + kHdrReplyCrc, crc32LowerName(rest));
        newKludges_.emplace_back(5, rest);
    } else if (keyword == "PATH") {
        newKludges_.emplace_back(2002, rest);
    } else {
        newKludges_.emplace_back(2000, line);
    }
}

ResultCode JamArea::saveMessage() {
    if (!open_) return kIoInvalidHandle;
    if (!lockArea()) return lastIo_ != 0 ? lastIo_ : kIoAccessDenied;
    ResultCode rc = 0;
    auto fail = [&](ResultCode r) {
        if (rc == 0) rc = r != 0 ? r : kIoGeneralFailure;
    };
    const std::int64_t number = idxRecords_ + baseNumber();
    const std::int64_t textOffset = fileSizeOf(txt_);
    const std::int64_t headerOffset = fileSizeOf(hdr_);
    if (number > INT32_MAX || textOffset < 0 || headerOffset < static_cast<std::int64_t>(kBaseHeaderSize) ||
        textOffset + static_cast<std::int64_t>(newText_.size()) > UINT32_MAX || headerOffset > INT32_MAX)
        fail(kIoInvalidParameter);

    // Subfields; one that would not fit in what a reader takes is left out.
    std::vector<std::uint8_t> subs;
    auto add = [&](std::uint16_t kind, const std::string& data) {
        if (subs.size() + 8 + data.size() > kSubfieldBytes) return;
        std::uint8_t head[8] = {};
        put16(head, kind);
        put32(head + 4, static_cast<std::uint32_t>(data.size()));
        subs.insert(subs.end(), head, head + 8);
        subs.insert(subs.end(), data.begin(), data.end());
    };
    add(3, to_);
    add(2, from_);
    add(attr() & kAttrFileRequest ? 11 : 6, subject_);
    parseAddresses();
    if (dest_ != FidoAddress{}) add(1, addressToStr(dest_));
    if (orig_ != FidoAddress{}) add(0, addressToStr(orig_));
    for (const auto& [kind, data] : newKludges_) add(kind, data);

    std::vector<std::uint8_t> header(hbuf_.begin(), hbuf_.begin() + kFixedHeaderSize);
    std::memcpy(header.data(), kSignature, 4);
    put16(header.data() + kHdrRevision, 1);
    put32(header.data() + kHdrSubfieldLen, static_cast<std::uint32_t>(subs.size()));
    put32(header.data() + kHdrDateWritten, dateTimeToUnix(date_));
    put32(header.data() + kHdrMsgNum, static_cast<std::uint32_t>(number));
    std::uint32_t attr = get32(header.data() + kHdrAttr) & ~(kAttrTypeLocal | kAttrTypeEcho | kAttrTypeNet);
    if (mailKind_ == 0) attr |= kAttrTypeLocal;
    if (mailKind_ == 1) attr |= kAttrTypeEcho;
    if (mailKind_ == 2) attr |= kAttrTypeNet;
    put32(header.data() + kHdrAttr, attr);
    put32(header.data() + kHdrTextOffset, static_cast<std::uint32_t>(textOffset));
    put32(header.data() + kHdrTextLen, static_cast<std::uint32_t>(newText_.size()));
    header.insert(header.end(), subs.begin(), subs.end());

    // Text, then header, then the index record that makes them a message.
    if (rc == 0 && !newText_.empty() && !writeAtHandle(txt_, textOffset, newText_.data(), newText_.size()))
        fail(lastIoError);
    if (rc == 0 && !writeAtHandle(hdr_, headerOffset, header.data(), header.size())) fail(lastIoError);
    if (rc == 0 && !writeIndexRecord(number, crc32LowerName(to_), static_cast<std::uint32_t>(headerOffset)))
        fail(lastIo_);
    if (rc == 0) {
        put32(base_.data() + kBaseActive, get32(base_.data() + kBaseActive) + 1);
        put32(base_.data() + kBaseModCounter, get32(base_.data() + kBaseModCounter) + 1);
    }
    dropCaches();
    if (!unlockArea()) fail(lastIo_);
    refreshIndexSize();
    lastIo_ = rc;
    return rc;
}

// --- Last-read records: UserCRC, UserID, LastReadMsg, HighReadMsg ---

bool JamArea::findLastRead(std::int32_t user, std::int64_t& at, std::array<std::uint8_t, kLastReadRecordSize>& rec,
                           std::string& name, bool create) {
    name = fileName(".jlr");
    FileHandle f;
    if (!(create ? openOrCreate(f, name, kModeReadWrite) : openExisting(f, name, kModeReadOnly))) return false;
    std::vector<std::uint8_t> chunk(250 * kLastReadRecordSize);
    std::int64_t offset = 0;
    for (;;) {
        std::size_t got = 0;
        if (!seekFile(f, offset) || !readBlock(f, chunk.data(), chunk.size(), got)) return false;
        for (std::size_t i = 0; i + kLastReadRecordSize <= got; i += kLastReadRecordSize) {
            const std::uint8_t* r = chunk.data() + i;
            const bool unused = get32(r) == kNone && get32(r + 4) == kNone;
            if (!unused && get32(r + 4) == static_cast<std::uint32_t>(user)) {
                std::memcpy(rec.data(), r, rec.size());
                at = offset + static_cast<std::int64_t>(i);
                return true;
            }
        }
        offset += static_cast<std::int64_t>(got / kLastReadRecordSize * kLastReadRecordSize);
        if (got < chunk.size()) break;
    }
    at = -1 - offset;  // where a new record goes, encoded below zero
    return true;
}

MsgNumber JamArea::getLastRead(std::int32_t user) {
    std::int64_t at = 0;
    std::array<std::uint8_t, kLastReadRecordSize> rec{};
    std::string name;
    if (!findLastRead(user, at, rec, name, false) || at < 0) return 0;
    return static_cast<MsgNumber>(get32(rec.data() + 8));
}

void JamArea::setLastRead(std::int32_t user, MsgNumber n) {
    std::int64_t at = 0;
    std::array<std::uint8_t, kLastReadRecordSize> rec{};
    std::string name;
    if (!findLastRead(user, at, rec, name, true)) {
        lastIo_ = lastIoError;
        return;
    }
    if (at < 0) {
        at = -1 - at;
        put32(rec.data(), crc32LowerName(longToStr(user)));
        put32(rec.data() + 4, static_cast<std::uint32_t>(user));
        put32(rec.data() + 12, 0);
    }
    put32(rec.data() + 8, static_cast<std::uint32_t>(n));
    const auto high = static_cast<MsgNumber>(get32(rec.data() + 12));
    put32(rec.data() + 12, static_cast<std::uint32_t>(std::max(high, n)));
    lastIo_ = writeAt(name, rec.data(), rec.size(), at);
}

void registerJamArea() { registerAreaKind('J', &makeArea<JamArea>); }

}  // namespace orbisk
