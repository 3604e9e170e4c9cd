#include "msgbase/hudsonarea.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/codepage.h"
#include "base/ui.h"
#include "msgbase/fidodate.h"
#include "msgbase/msgstr.h"

namespace orbisk {

namespace {

// Header record offsets.
constexpr std::size_t kHNumber = 0;
constexpr std::size_t kHPrevReply = 2;
constexpr std::size_t kHNextReply = 4;
constexpr std::size_t kHTimesRead = 6;
constexpr std::size_t kHStartBlock = 8;
constexpr std::size_t kHNumBlocks = 10;
constexpr std::size_t kHDestNet = 12;
constexpr std::size_t kHDestNode = 14;
constexpr std::size_t kHOrigNet = 16;
constexpr std::size_t kHOrigNode = 18;
constexpr std::size_t kHDestZone = 20;
constexpr std::size_t kHOrigZone = 21;
constexpr std::size_t kHCost = 22;
constexpr std::size_t kHMsgAttr = 24;
constexpr std::size_t kHNetAttr = 25;
constexpr std::size_t kHBoard = 26;
constexpr std::size_t kHPostTime = 27;  // length byte + 5 characters
constexpr std::size_t kHPostDate = 33;  // length byte + 8 characters
constexpr std::size_t kHWhoTo = 42;     // length byte + 35 characters
constexpr std::size_t kHWhoFrom = 78;   // length byte + 35 characters
constexpr std::size_t kHSubject = 114;  // length byte + 72 characters
constexpr std::size_t kNameLen = 35;
constexpr std::size_t kSubjectLen = 72;

// Message attributes.
constexpr std::uint8_t kMaDeleted = 0x01;
constexpr std::uint8_t kMaOutNet = 0x02;  // net mail not yet exported
constexpr std::uint8_t kMaNetMail = 0x04;
constexpr std::uint8_t kMaPrivate = 0x08;
constexpr std::uint8_t kMaReceived = 0x10;
constexpr std::uint8_t kMaOutEcho = 0x20;  // echo mail not yet exported
constexpr std::uint8_t kMaLocal = 0x40;
// Net attributes.
constexpr std::uint8_t kNaKillSent = 0x01;
constexpr std::uint8_t kNaSent = 0x02;
constexpr std::uint8_t kNaFileAttach = 0x04;
constexpr std::uint8_t kNaCrash = 0x08;
constexpr std::uint8_t kNaReceiptReq = 0x10;
constexpr std::uint8_t kNaAuditReq = 0x20;
constexpr std::uint8_t kNaIsReceipt = 0x40;
constexpr std::uint8_t kNaFileReq = 0x80;

// Information record: lowest, highest, total active, per board from 6.
constexpr std::size_t kILow = 0;
constexpr std::size_t kIHigh = 2;
constexpr std::size_t kITotal = 4;
constexpr std::size_t infoBoardOffset(int board) { return 6 + 2 * static_cast<std::size_t>(board - 1); }

constexpr std::size_t kLastReadRecord = 2 * HudsonArea::kMaxBoard;  // per user
constexpr std::size_t kTextChunkBlocks = 64;  // blocks per read
constexpr std::size_t kTextWindow = 256 * 256;   // bytes: 256 blocks

const char* const kFileNames[] = {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"};

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// A decimal field of a stored date or time: blanks around it allowed,
// at most four digits.
bool parseField(std::string_view s, int& value, std::size_t& digits) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty() || s.size() > 4) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    digits = s.size();
    return true;
}

// Splits on sep into at most three fields.
int splitFields(std::string_view s, char sep, std::string_view out[3]) {
    int n = 0;
    while (true) {
        const auto p = s.find(sep);
        if (n == 3) return 4;  // too many
        out[n++] = s.substr(0, p);
        if (p == std::string_view::npos) return n;
        s.remove_prefix(p + 1);
    }
}


}  // namespace

HudsonArea::HudsonArea() = default;

HudsonArea::~HudsonArea() { destroy(); }

void HudsonArea::destroy() {
    closeArea();
    std::string().swap(text_);
    std::vector<char>().swap(blockBuf_);
    std::vector<char>().swap(textWindow_);
    std::vector<std::uint8_t>().swap(hdrWindow_);
    std::string().swap(newText_);
    composing_ = false;
    finding_ = false;
    located_ = false;
}

void HudsonArea::setAreaPath(const std::string& path) {
    std::string number;
    for (char c : std::string_view(path).substr(0, 3))
        if (c != ' ') number += c;
    board_ = strToLongDef0(number);
    // The whole rest is kept: a cut path would name another directory, and
    // openArea creates a base where it finds none.
    dir_ = addBackslash(path.size() > 3 ? std::string_view(path).substr(3) : std::string_view());
}

std::string HudsonArea::fileName(FileId id) const { return resolveNameNoCase(dir_ + kFileNames[id]); }

// 0: a complete base; 1: none of its files; 2: some, or ones that do not fit.
int HudsonArea::checkBase() const {
    int present = 0;
    std::int64_t size[kFileCount];
    for (int i = 0; i < kFileCount; ++i) {
        const std::string name = fileName(static_cast<FileId>(i));
        size[i] = fileExistsPlain(name) ? fileSizeByName(name) : -1;
        if (size[i] >= 0) ++present;
    }
    if (present == 0) return 1;
    if (present < kFileCount) return 2;
    if (size[kInfo] != static_cast<std::int64_t>(kInfoSize)) return 2;
    const std::int64_t records = size[kHdr] / static_cast<std::int64_t>(kHdrSize);
    if (size[kIdx] / static_cast<std::int64_t>(kIdxSize) != records ||
        size[kToIdx] / static_cast<std::int64_t>(kToIdxSize) != records)
        return 2;
    return 0;
}

ResultCode HudsonArea::openArea() {
    if (open_) return 0;
    status_ = 0;
    const int state = checkBase();
    if (state == 2) return kHudsonInconsistent;
    // Reading never makes a base: a missing one is an error to show.
    if (state == 1) return kIoFileNotFound;
    const auto openAll = [&](int mode) -> ResultCode {
        for (int i = 0; i < kFileCount; ++i) {
            if (!openExisting(files_[i], fileName(static_cast<FileId>(i)), mode)) {
                const ResultCode rc = lastIoError ? lastIoError : kIoGeneralFailure;
                closeFiles();
                return rc;
            }
        }
        return 0;
    };
    ResultCode rc = openAll(kModeReadWrite);
    // A base we may not write can still be read; a deletion there fails.
    if (rc == kIoAccessDenied || rc == kIoWriteProtected) rc = openAll(kModeReadOnly);
    if (rc != 0) return rc;
    if (!readInfo()) {
        closeFiles();
        return kHudsonInfoRead;
    }
    open_ = true;
    locked_ = false;
    located_ = false;
    walkedOffEnd_ = false;
    record_ = -1;
    current_ = 0;
    winValid_ = false;
    dropTextWindow();
    header_.fill(0);
    return 0;
}

void HudsonArea::closeFiles() {
    for (auto& f : files_) f.close();
}

ResultCode HudsonArea::closeArea() {
    if (!open_) return 0;
    if (locked_) unlockArea();
    ResultCode rc = 0;
    for (auto& f : files_) {
        const ResultCode c = f.close();
        if (rc == 0) rc = c;
    }
    open_ = false;
    located_ = false;
    winValid_ = false;
    hdrValid_ = false;
    dropTextWindow();
    return rc;
}

ResultCode HudsonArea::createArea() {
    if (open_) return kIoAccessDenied;  // would cut the files under our own handles
    if (!ensureDirectory(dir_)) return kIoPathNotFound;
    if (checkBase() == 0) return 0;  // a base is there: its files are never cut
    for (int i = 0; i < kFileCount; ++i) {
        FileHandle f;
        if (!openOrCreate(f, fileName(static_cast<FileId>(i)), kModeReadWrite)) return lastIoError;
    }
    if (fileSizeByName(fileName(kInfo)) != 0) return 0;
    std::array<std::uint8_t, kInfoSize> info{};
    put16(&info[kILow], 1);
    return writeAt(fileName(kInfo), info.data(), info.size(), 0);
}

bool HudsonArea::areaExists() { return fileExistsPlain(fileName(kInfo)); }

bool HudsonArea::readInfo() {
    std::size_t got = 0;
    return seekFile(files_[kInfo], 0) && readBlock(files_[kInfo], info_.data(), info_.size(), got) &&
           got == info_.size();
}

bool HudsonArea::writeInfo() {
    return seekFile(files_[kInfo], 0) && writeBlock(files_[kInfo], info_.data(), info_.size());
}

// Another writer holding the byte keeps us out: changing the counters
// beside it would lose one of the two updates. A file system without
// byte-range locks (any other refusal) is worked on unlocked, as the DOS
// programs that share these bases do.
bool HudsonArea::lockArea() {
    if (!open_) return false;
    if (locked_) return true;
    if (!lockRange(files_[kInfo], kInfoSize, 1) && lastIoError == kIoAccessDenied) return false;
    if (!readInfo()) {
        unlockRange(files_[kInfo], kInfoSize, 1);
        return false;
    }
    locked_ = true;
    dropTextWindow();  // another writer may have been at the texts
    return true;
}

bool HudsonArea::unlockArea() {
    if (!locked_) return false;
    const bool ok = writeInfo();
    unlockRange(files_[kInfo], kInfoSize, 1);
    locked_ = false;
    return ok;
}

// A change that failed half-way: the counters are left as they are on
// disk, and other writers are let in again.
void HudsonArea::releaseLock() {
    unlockRange(files_[kInfo], kInfoSize, 1);
    locked_ = false;
    readInfo();
}

std::uint16_t HudsonArea::infoWord(std::size_t offset) const { return get16(&info_[offset]); }
void HudsonArea::setInfoWord(std::size_t offset, std::uint16_t value) { put16(&info_[offset], value); }

// --- Records ---

bool HudsonArea::readRecord(FileId id, std::int64_t record, std::size_t size, void* buffer) {
    std::size_t got = 0;
    if (!readBlockAt(files_[id], record * static_cast<std::int64_t>(size), buffer, size, got)) {
        status_ = lastIoError ? lastIoError : kIoGeneralFailure;
        return false;
    }
    if (got < size) {
        std::memset(static_cast<char*>(buffer) + got, 0, size - got);
        status_ = kIoShortRead;
        return false;
    }
    return true;
}

bool HudsonArea::writeRecord(FileId id, std::int64_t record, std::size_t size, const void* buffer) {
    hdrValid_ = false;
    dropTextWindow();
    if (!seekFile(files_[id], record * static_cast<std::int64_t>(size)) || !writeBlock(files_[id], buffer, size)) {
        status_ = lastIoError ? lastIoError : kIoGeneralFailure;
        return false;
    }
    return true;
}

// The addressee and index records that belong to a header.
bool HudsonArea::writeIndexRecords(std::int64_t record, const std::uint8_t* header) {
    std::array<std::uint8_t, kToIdxSize> to{};
    const char* mark = (header[kHMsgAttr] & kMaDeleted)    ? "* Deleted *"
                       : (header[kHMsgAttr] & kMaReceived) ? "* Received *"
                                                           : nullptr;
    if (mark) {
        to[0] = static_cast<std::uint8_t>(std::strlen(mark));
        std::memcpy(&to[1], mark, to[0]);
    } else {
        const std::size_t len = std::min<std::size_t>(header[kHWhoTo], kNameLen);
        to[0] = static_cast<std::uint8_t>(len);
        std::memcpy(&to[1], &header[kHWhoTo + 1], len);
    }
    std::uint8_t idx[kIdxSize];
    put16(idx, (header[kHMsgAttr] & kMaDeleted) ? kDeletedNumber : get16(&header[kHNumber]));
    idx[2] = header[kHBoard];
    winValid_ = false;
    return writeRecord(kToIdx, record, kToIdxSize, to.data()) && writeRecord(kIdx, record, kIdxSize, idx);
}

// --- Locating ---

bool HudsonArea::readWindow(std::int64_t start) {
    winStart_ = start;
    winCount_ = 0;
    winValid_ = true;
    std::size_t got = 0;
    if (!readBlockAt(files_[kIdx], start * static_cast<std::int64_t>(kIdxSize), window_.data(), window_.size(), got)) {
        status_ = kHudsonIndexRead;
        return false;
    }
    winCount_ = got / kIdxSize;
    return true;
}

bool HudsonArea::indexAt(std::int64_t record, bool forward, std::uint16_t& number, std::uint8_t& board) {
    if (record < 0 || !open_) return false;
    const auto inWindow = [&] {
        return winValid_ && record >= winStart_ && record < winStart_ + static_cast<std::int64_t>(winCount_);
    };
    if (!inWindow()) {
        const std::int64_t back = static_cast<std::int64_t>(kWindowRecords) - 1;
        if (!readWindow(forward ? record : std::max<std::int64_t>(0, record - back)) || !inWindow()) return false;
    }
    const std::size_t off = static_cast<std::size_t>(record - winStart_) * kIdxSize;
    number = get16(&window_[off]);
    board = window_[off + 2];
    return true;
}

// Walks the index from the current record, forward for a number above
// bound, backward for one below it, in this board.
void HudsonArea::walk(bool forward, std::int64_t bound) {
    located_ = false;
    std::int64_t r = record_;
    if (open_ && boardValid()) {
        if (!forward) {
            const std::int64_t records = std::max<std::int64_t>(0, fileSizeOf(files_[kIdx])) / kIdxSize;
            r = std::min(r, records);
        }
        for (;;) {
            r += forward ? 1 : -1;
            std::uint16_t number = 0;
            std::uint8_t board = 0;
            if (!indexAt(r, forward, number, board)) break;
            if (number == kDeletedNumber || board != board_) continue;
            if (forward ? number > bound : number < bound) {
                record_ = r;
                current_ = number;
                located_ = true;
                walkedOffEnd_ = false;
                return;
            }
        }
    }
    record_ = forward ? std::max<std::int64_t>(r, 0) : -1;
    current_ = bound;
    walkedOffEnd_ = forward;
}

void HudsonArea::locateFrom(MsgNumber n) {
    finding_ = false;
    record_ = -1;
    winValid_ = false;  // see what other writers did since
    hdrValid_ = false;
    dropTextWindow();
    walk(true, static_cast<std::int64_t>(n) - 1);
}

void HudsonArea::locateNext() { walk(true, current_); }

void HudsonArea::locatePrior() {
    // After a forward walk found nothing above n - 1, n - 1 itself may be
    // the one wanted.
    walk(false, (!located_ && walkedOffEnd_) ? current_ + 1 : current_);
}

bool HudsonArea::isLocated() { return located_; }

std::int32_t HudsonArea::getPosition() { return static_cast<std::int32_t>(record_); }

void HudsonArea::setPosition(std::int32_t position) {
    located_ = false;
    hdrValid_ = false;
    dropTextWindow();
    record_ = position < 0 ? -1 : position;
    std::uint16_t number = 0;
    std::uint8_t board = 0;
    if (position >= 0 && boardValid() && indexAt(position, true, number, board) && number != kDeletedNumber &&
        board == board_) {
        current_ = number;
        located_ = true;
        walkedOffEnd_ = false;
    }
}

void HudsonArea::findAddressed(std::int64_t fromRecord) {
    located_ = false;
    if (!open_ || !boardValid()) return;
    std::array<std::uint8_t, kToIdxSize> to{};
    std::array<std::uint8_t, kHdrSize> hdr{};
    for (std::int64_t r = fromRecord + 1;; ++r) {
        std::uint16_t number = 0;
        std::uint8_t board = 0;
        if (!indexAt(r, true, number, board)) {
            record_ = r;
            walkedOffEnd_ = true;
            return;
        }
        if (number == kDeletedNumber || board != board_) continue;
        if (!readRecord(kToIdx, r, kToIdxSize, to.data())) continue;
        const std::string name = oemToAnsi(std::string_view(reinterpret_cast<const char*>(&to[1]),
                                                            std::min<std::size_t>(to[0], kNameLen)));
        if (!ansiSameText(name, findName_) && (findAlias_.empty() || !ansiSameText(name, findAlias_))) continue;
        if (!readRecord(kHdr, r, kHdrSize, hdr.data()) || (hdr[kHMsgAttr] & kMaReceived)) continue;
        record_ = r;
        current_ = number;
        located_ = true;
        walkedOffEnd_ = false;
        return;
    }
}

void HudsonArea::findAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = name;
    findAlias_ = alias;
    finding_ = true;
    winValid_ = false;
    hdrValid_ = false;
    dropTextWindow();
    findAddressed(-1);
}

void HudsonArea::findAddressedNext() {
    if (finding_) findAddressed(record_);
    else located_ = false;
}

bool HudsonArea::foundAddressed() { return located_; }

MsgNumber HudsonArea::getHighNumber() { return open_ ? infoWord(kIHigh) : 0; }

std::uint16_t HudsonArea::getSubArea() { return static_cast<std::uint16_t>(std::clamp(board_, 0, 0xFFFF)); }

std::int32_t HudsonArea::countMessages() {
    if (!boardValid()) return 0;
    std::array<std::uint8_t, kInfoSize> info{};
    if (readAt(fileName(kInfo), info.data(), info.size(), 0) != 0) return 0;
    return get16(&info[infoBoardOffset(board_)]);
}

// --- Header ---

// The number the index gives: the one locateFrom finds it by again.
MsgNumber HudsonArea::getMessageNumber() { return located_ ? static_cast<MsgNumber>(current_) : 0; }

// A walk loads header after header: they come from a window of
// kHeaderWindowRecords records, one read for a run of them.
void HudsonArea::loadHeader() {
    header_.fill(0);
    headerRecord_ = -1;
    composing_ = false;
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = false;
    if (!open_ || !located_) return;
    status_ = 0;
    if (!hdrValid_ || record_ < hdrStart_ || record_ >= hdrStart_ + static_cast<std::int64_t>(hdrCount_)) {
        hdrWindow_.resize(kHeaderWindowRecords * kHdrSize);
        hdrValid_ = false;
        std::size_t got = 0;
        if (!readBlockAt(files_[kHdr], record_ * static_cast<std::int64_t>(kHdrSize), hdrWindow_.data(),
                         hdrWindow_.size(), got)) {
            status_ = lastIoError ? lastIoError : kIoGeneralFailure;
            return;
        }
        hdrStart_ = record_;
        hdrCount_ = got / kHdrSize;
        hdrValid_ = true;
        if (hdrCount_ == 0) {  // a cut last record: what there is of it
            std::memcpy(header_.data(), hdrWindow_.data(), got);
            status_ = kIoShortRead;
            return;
        }
    }
    std::memcpy(header_.data(), &hdrWindow_[static_cast<std::size_t>(record_ - hdrStart_) * kHdrSize], kHdrSize);
    headerRecord_ = record_;
}

std::uint16_t HudsonArea::headerWord(std::size_t offset) const { return get16(&header_[offset]); }
void HudsonArea::setHeaderWord(std::size_t offset, std::uint16_t value) { put16(&header_[offset], value); }

std::string_view HudsonArea::headerString(std::size_t offset, std::size_t maxLen) const {
    const std::size_t len = std::min<std::size_t>(header_[offset], maxLen);
    return std::string_view(reinterpret_cast<const char*>(&header_[offset + 1]), len);
}

void HudsonArea::setHeaderString(std::size_t offset, std::size_t maxLen, const std::string& ansi) {
    const std::string oem = ansiToOem(std::string_view(ansi).substr(0, maxLen));
    std::memset(&header_[offset], 0, maxLen + 1);
    header_[offset] = static_cast<std::uint8_t>(oem.size());
    std::memcpy(&header_[offset + 1], oem.data(), oem.size());
}

bool HudsonArea::msgAttr(std::uint8_t bit) const { return (header_[kHMsgAttr] & bit) != 0; }
bool HudsonArea::netAttr(std::uint8_t bit) const { return (header_[kHNetAttr] & bit) != 0; }

void HudsonArea::setAttr(std::size_t offset, std::uint8_t bit, bool on) {
    if (on) header_[offset] |= bit;
    else header_[offset] &= static_cast<std::uint8_t>(~bit);
}

std::string HudsonArea::getFromName() { return oemToAnsi(headerString(kHWhoFrom, kNameLen)); }
std::string HudsonArea::getToName() { return oemToAnsi(headerString(kHWhoTo, kNameLen)); }
std::string HudsonArea::getSubject() { return cleanSubject(headerString(kHSubject, kSubjectLen)); }
std::uint16_t HudsonArea::getCost() { return headerWord(kHCost); }
MsgNumber HudsonArea::getReplyTo() { return headerWord(kHPrevReply); }
MsgNumber HudsonArea::getReplyFirst() { return headerWord(kHNextReply); }
void HudsonArea::setNextReplyLink(MsgNumber) {}
void HudsonArea::setFormatOption(bool) {}

FidoAddress HudsonArea::getOrigAddress() {
    return {header_[kHOrigZone], headerWord(kHOrigNet), headerWord(kHOrigNode), 0};
}
FidoAddress HudsonArea::getDestAddress() {
    return {header_[kHDestZone], headerWord(kHDestNet), headerWord(kHDestNode), 0};
}

bool HudsonArea::isLocal() { return msgAttr(kMaLocal); }
bool HudsonArea::isCrash() { return netAttr(kNaCrash); }
bool HudsonArea::isKillSent() { return netAttr(kNaKillSent); }
bool HudsonArea::isSent() { return netAttr(kNaSent); }
bool HudsonArea::isFileAttach() { return netAttr(kNaFileAttach); }
bool HudsonArea::isReceiptRequest() { return netAttr(kNaReceiptReq); }
bool HudsonArea::isAuditRequest() { return netAttr(kNaAuditReq); }
bool HudsonArea::isReceipt() { return netAttr(kNaIsReceipt); }
bool HudsonArea::isFileRequest() { return netAttr(kNaFileReq); }
bool HudsonArea::isReceived() { return msgAttr(kMaReceived); }
bool HudsonArea::isPrivate() { return msgAttr(kMaPrivate); }
bool HudsonArea::isDeleted() { return !located_ || msgAttr(kMaDeleted); }
bool HudsonArea::isEcho() { return !msgAttr(kMaNetMail); }
bool HudsonArea::isRead() { return headerWord(kHTimesRead) != 0; }

// "MM-DD-YY" and "HH:NN"; 0 when the date is no date, the date alone when
// only the time is bad.
DateTime HudsonArea::getDateTime() {
    const std::string_view date = headerString(kHPostDate, 8);
    const std::string_view time = headerString(kHPostTime, 5);
    std::string_view f[3];
    int month = 0, day = 0, year = 0;
    std::size_t digits = 0, yearDigits = 0;
    if (splitFields(date, '-', f) != 3 || !parseField(f[0], month, digits) || !parseField(f[1], day, digits) ||
        !parseField(f[2], year, yearDigits))
        return 0;
    if (yearDigits <= 2) year = expandTwoDigitYear(year);
    DateTime d = 0;
    if (!tryEncodeDate(year, month, day, d)) return 0;
    const int n = splitFields(time, ':', f);
    int h = 0, m = 0, s = 0;
    DateTime t = 0;
    if ((n == 2 || n == 3) && parseField(f[0], h, digits) && parseField(f[1], m, digits) &&
        (n == 2 || parseField(f[2], s, digits)) && tryEncodeTime(h, m, s, 0, t))
        return d + t;
    return d;
}

// --- Text ---

void HudsonArea::startText() {
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = false;
    if (!open_ || !located_) return;
    status_ = 0;
    std::size_t remaining = headerWord(kHNumBlocks);
    if (remaining == 0) return;
    if (!files_[kTxt].isOpen()) {
        status_ = kHudsonTextSeek;
        return;
    }
    std::int64_t offset = static_cast<std::int64_t>(headerWord(kHStartBlock)) * kBlockSize;
    // Each block: a length byte, then that many characters; the text ends
    // at its first NUL. A cut last block gives what it has. True at the NUL.
    const auto appendBlocks = [this](const char* blocks, std::size_t got) {
        for (std::size_t at = 0; at < got; at += kBlockSize) {
            const std::size_t avail = std::min(got - at, kBlockSize) - 1;
            const std::size_t len = std::min<std::size_t>(static_cast<unsigned char>(blocks[at]), avail);
            const char* p = blocks + at + 1;
            if (const void* nul = std::memchr(p, '\0', len)) {
                text_.append(p, static_cast<const char*>(nul));
                return true;
            }
            text_.append(p, len);
        }
        return false;
    };
    // A listing lies a few blocks of chat after the one before: one read of
    // the window serves the texts of several.
    const std::size_t bytes = remaining * kBlockSize;
    if (bytes <= kTextWindow) {
        const auto inWindow = [&] {
            return textWindowValid_ && offset >= textWindowStart_ &&
                   offset + static_cast<std::int64_t>(bytes) <= textWindowStart_ + static_cast<std::int64_t>(textWindowLength_);
        };
        if (!inWindow()) {
            dropTextWindow();
            textWindow_.resize(kTextWindow);
            std::size_t got = 0;
            if (!readBlockAt(files_[kTxt], offset, textWindow_.data(), textWindow_.size(), got)) {
                status_ = lastIoError ? lastIoError : kIoGeneralFailure;
                return;
            }
            textWindowStart_ = offset;
            textWindowLength_ = got;
            textWindowValid_ = true;
        }
        const auto from = static_cast<std::size_t>(offset - textWindowStart_);
        const std::size_t got = std::min(bytes, textWindowLength_ - from);
        if (!appendBlocks(textWindow_.data() + from, got) && got < bytes) status_ = kHudsonTextShort;
        return;
    }
    blockBuf_.resize(kTextChunkBlocks * kBlockSize);
    while (remaining > 0) {
        const std::size_t want = std::min(remaining, kTextChunkBlocks);
        std::size_t got = 0;
        if (!readBlockAt(files_[kTxt], offset, blockBuf_.data(), want * kBlockSize, got)) {
            status_ = lastIoError ? lastIoError : kIoGeneralFailure;
            return;
        }
        if (appendBlocks(blockBuf_.data(), got)) return;
        if (got < want * kBlockSize) {
            status_ = kHudsonTextShort;
            return;
        }
        remaining -= want;
        offset += static_cast<std::int64_t>(got);
    }
}

void HudsonArea::dropTextWindow() {
    textWindowValid_ = false;
    textWindowLength_ = 0;
}

char HudsonArea::readChar() {
    if (textPos_ >= text_.size()) {
        textEnded_ = true;
        return '\0';
    }
    return text_[textPos_++];
}

bool HudsonArea::atTextEnd() { return textEnded_ || textPos_ >= text_.size(); }

std::int64_t HudsonArea::getTextPosition() { return static_cast<std::int64_t>(textPos_); }

void HudsonArea::setTextPosition(std::int64_t position) {
    textPos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(text_.size())));
    if (textPos_ < text_.size()) textEnded_ = false;
}

// The rules of MessageArea::readTextLine, step for step, over text_ (which
// holds no NUL, so the end of the text is its end).
void HudsonArea::readLineInto(std::string& out, std::uint16_t maxLen) {
    const std::size_t cap = std::clamp<std::size_t>(maxLen, 1, 255);
    bool skipSpace = lastLineWrapped_;
    lastLineWrapped_ = true;
    char line[256];
    std::size_t len = 0;
    std::size_t cutLen = 0;
    std::size_t cutPos = 0;
    bool haveCut = false;
    const char* const text = text_.data();
    const std::size_t size = text_.size();
    std::size_t pos = textPos_;
    // The common line: a CR within maxLen + 1 characters, no LF before it
    // and no space to drop at its start. It is taken whole.
    if (!textEnded_ && pos < size && !(skipSpace && text[pos] == ' ')) {
        const std::size_t reach = std::min(size - pos, cap + 1);
        const std::size_t k = findLineEnd(text + pos, reach);
        if (k < reach && text[pos + k] == '\r') {
            out.resize(k);
            oemToAnsiBytes(out.data(), text + pos, k);
            textPos_ = pos + k + 1;
            lastLineWrapped_ = false;
            return;
        }
    }
    if (!textEnded_) {
        while (pos < size) {
            const char c = text[pos];
            if (len >= cap) {
                if (c == '\r') {
                    ++pos;
                    lastLineWrapped_ = false;
                } else if (haveCut && cutLen < len) {
                    len = cutLen;
                    pos = cutPos;
                }
                break;
            }
            ++pos;
            if (c == '\n') continue;
            if (c == '\r') {
                lastLineWrapped_ = false;
                break;
            }
            if (c == ' ') {
                if (skipSpace) {
                    skipSpace = false;
                    continue;
                }
                line[len++] = c;
                cutLen = len;
                cutPos = pos;
                haveCut = true;
                continue;
            }
            skipSpace = false;
            line[len++] = c;
        }
    }
    textPos_ = pos;
    oemToAnsiBytes(line, line, len);
    out.assign(line, len);
}

std::string HudsonArea::readTextLine(std::uint16_t maxLen) {
    std::string line;
    readLineInto(line, maxLen);
    return line;
}

void HudsonArea::readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) {
    skipControlLines(line, [&](std::string& l) { readLineInto(l, maxLen); });
}

// --- Writing ---

void HudsonArea::startNewMessage() {
    header_.fill(0);
    headerRecord_ = -1;
    newText_.clear();
    composing_ = true;
    header_[kHBoard] = static_cast<std::uint8_t>(boardValid() ? board_ : 0);
    setDateTime(SystemClock().now());
}

void HudsonArea::setDestAddress(const FidoAddress& a) {
    header_[kHDestZone] = static_cast<std::uint8_t>(a.zone);
    setHeaderWord(kHDestNet, a.net);
    setHeaderWord(kHDestNode, a.node);
}
void HudsonArea::setOrigAddress(const FidoAddress& a) {
    header_[kHOrigZone] = static_cast<std::uint8_t>(a.zone);
    setHeaderWord(kHOrigNet, a.net);
    setHeaderWord(kHOrigNode, a.node);
}
void HudsonArea::setFromName(const std::string& name) { setHeaderString(kHWhoFrom, kNameLen, name); }
void HudsonArea::setToName(const std::string& name) { setHeaderString(kHWhoTo, kNameLen, name); }
void HudsonArea::setSubject(const std::string& subject) { setHeaderString(kHSubject, kSubjectLen, subject); }
void HudsonArea::setCost(std::uint16_t cost) { setHeaderWord(kHCost, cost); }
void HudsonArea::setReplyTo(MsgNumber n) { setHeaderWord(kHPrevReply, static_cast<std::uint16_t>(n)); }
void HudsonArea::setReplyFirst(MsgNumber n) { setHeaderWord(kHNextReply, static_cast<std::uint16_t>(n)); }
void HudsonArea::setFormatMark(std::int32_t value) {
    setHeaderWord(kHTimesRead, static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)));
}

void HudsonArea::setDateTime(DateTime t) {
    std::memset(&header_[kHPostTime], 0, kHWhoTo - kHPostTime);
    if (!std::isfinite(t) || t < 1 || t >= 2958466) return;  // 0001-01-01 .. 9999-12-31
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    decodeDate(t, y, mo, d);
    decodeTime(t, h, mi, s, ms);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", h, mi);
    setHeaderString(kHPostTime, 5, buf);
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", mo, d, y % 100);
    setHeaderString(kHPostDate, 8, buf);
}

void HudsonArea::setLocalFlag(bool on) { setAttr(kHMsgAttr, kMaLocal, on); }
void HudsonArea::setReceivedFlag(bool on) { setAttr(kHMsgAttr, kMaReceived, on); }
void HudsonArea::setPrivateFlag(bool on) { setAttr(kHMsgAttr, kMaPrivate, on); }
void HudsonArea::setCrashFlag(bool on) { setAttr(kHNetAttr, kNaCrash, on); }
void HudsonArea::setKillSentFlag(bool on) { setAttr(kHNetAttr, kNaKillSent, on); }
void HudsonArea::setSentFlag(bool on) { setAttr(kHNetAttr, kNaSent, on); }
void HudsonArea::setFileAttachFlag(bool on) { setAttr(kHNetAttr, kNaFileAttach, on); }
void HudsonArea::setReceiptRequestFlag(bool on) { setAttr(kHNetAttr, kNaReceiptReq, on); }
void HudsonArea::setAuditRequestFlag(bool on) { setAttr(kHNetAttr, kNaAuditReq, on); }
void HudsonArea::setIsReceiptFlag(bool on) { setAttr(kHNetAttr, kNaIsReceipt, on); }
void HudsonArea::setFileRequestFlag(bool on) { setAttr(kHNetAttr, kNaFileReq, on); }
void HudsonArea::setMailKind(std::uint8_t kind) { mailKind_ = kind; }

void HudsonArea::writeText(const std::string& text) {
    for (char c : text) writeChar(c);
}
void HudsonArea::writeChar(char c) { newText_ += ansiToOemChar(c); }
void HudsonArea::writeTextLine(const std::string& text) {
    writeText(text);
    writeChar('\r');
}

ResultCode HudsonArea::saveMessage() {
    if (!open_) return kIoInvalidHandle;
    if (!composing_ || !boardValid()) return kIoInvalidParameter;
    const bool hadLock = locked_;
    if (!hadLock && !lockArea()) return lastIoError ? lastIoError : kIoAccessDenied;
    const auto fail = [&](ResultCode rc) {
        if (!hadLock) releaseLock();
        return rc;
    };

    const std::uint32_t number = infoWord(kIHigh) + 1u;
    const std::int64_t txtSize = fileSizeOf(files_[kTxt]);
    const std::int64_t hdrSize = fileSizeOf(files_[kHdr]);
    if (txtSize < 0 || hdrSize < 0) return fail(kIoGeneralFailure);
    // A partial block at the end is left alone rather than overwritten.
    const std::int64_t startBlock = (txtSize + kBlockSize - 1) / static_cast<std::int64_t>(kBlockSize);
    const std::size_t blocks = (newText_.size() + kBlockSize - 2) / (kBlockSize - 1);
    if (number >= kDeletedNumber || startBlock > 0xFFFF || blocks > 0xFFFF) return fail(kHudsonBaseFull);

    std::vector<char> data(blocks * kBlockSize, '\0');
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t from = b * (kBlockSize - 1);
        const std::size_t len = std::min(kBlockSize - 1, newText_.size() - from);
        data[b * kBlockSize] = static_cast<char>(len);
        std::memcpy(&data[b * kBlockSize + 1], newText_.data() + from, len);
    }
    dropTextWindow();
    if (blocks > 0 && (!seekFile(files_[kTxt], startBlock * static_cast<std::int64_t>(kBlockSize)) ||
                       !writeBlock(files_[kTxt], data.data(), data.size())))
        return fail(lastIoError ? lastIoError : kIoDiskWrite);

    setHeaderWord(kHNumber, static_cast<std::uint16_t>(number));
    setHeaderWord(kHStartBlock, static_cast<std::uint16_t>(startBlock));
    setHeaderWord(kHNumBlocks, static_cast<std::uint16_t>(blocks));
    header_[kHBoard] = static_cast<std::uint8_t>(board_);
    if (mailKind_ == 1) header_[kHMsgAttr] |= kMaOutEcho;
    if (mailKind_ == 2) header_[kHMsgAttr] |= kMaOutNet | kMaNetMail;
    header_[kHMsgAttr] &= static_cast<std::uint8_t>(~kMaDeleted);

    const std::int64_t record = hdrSize / static_cast<std::int64_t>(kHdrSize);
    if (!writeRecord(kHdr, record, kHdrSize, header_.data()) || !writeIndexRecords(record, header_.data()))
        return fail(status_);

    const std::uint16_t low = infoWord(kILow);
    if (low == 0 || low > number) setInfoWord(kILow, static_cast<std::uint16_t>(number));
    setInfoWord(kIHigh, static_cast<std::uint16_t>(number));
    const auto bump = [&](std::size_t off) {
        if (infoWord(off) < 0xFFFF) setInfoWord(off, static_cast<std::uint16_t>(infoWord(off) + 1));
    };
    bump(kITotal);
    bump(infoBoardOffset(board_));
    if (!hadLock && !unlockArea()) return lastIoError ? lastIoError : kIoDiskWrite;

    // Scanners export only the boards listed in these logs.
    if (mailKind_ == 1 || mailKind_ == 2) {
        const std::string log = resolveNameNoCase(dir_ + (mailKind_ == 1 ? "echomail.bbs" : "netmail.bbs"));
        std::uint8_t w[2];
        put16(w, static_cast<std::uint16_t>(board_));
        writeAt(log, w, 2, std::max<std::int64_t>(0, fileSizeByName(log)));
    }
    composing_ = false;
    record_ = record;
    current_ = number;
    located_ = true;
    walkedOffEnd_ = false;
    return 0;
}

void HudsonArea::rewriteHeader() {
    if (!open_ || !located_) return;
    if (writeRecord(kHdr, record_, kHdrSize, header_.data())) writeIndexRecords(record_, header_.data());
}

// Marks the message deleted in its header, addressee and index records and
// takes it off the active counts (once: a message already marked stays
// counted as it is). The text blocks stay until the base is packed.
bool HudsonArea::isHeaderLoaded() { return open_ && located_ && status_ == 0 && headerRecord_ == record_; }

std::int64_t HudsonArea::getIdentityKey() {
    return isHeaderLoaded() && headerRecord_ == record_ ? (static_cast<std::int64_t>(header_[kHBoard]) << 32 | record_)
                                                         : -1;
}

ResultCode HudsonArea::deleteCurrent() {
    if (!open_ || !located_) return kIoFileNotFound;
    const bool hadLock = locked_;
    if (!hadLock && !lockArea()) return lastIoError ? lastIoError : kIoAccessDenied;
    std::array<std::uint8_t, kHdrSize> hdr{};
    // Under the lock the record must still hold the message we loaded:
    // another writer may have packed the base since.
    if (!readRecord(kHdr, record_, kHdrSize, hdr.data())) {
        const ResultCode rc = lastIoError ? lastIoError : kIoShortRead;
        if (!hadLock) releaseLock();
        return rc;
    }
    if (headerRecord_ == record_ && hdr != header_) {
        if (!hadLock) unlockArea();
        return kHudsonChanged;
    }
    const bool wasActive = (hdr[kHMsgAttr] & kMaDeleted) == 0;
    hdr[kHMsgAttr] |= kMaDeleted;
    std::array<std::uint8_t, kToIdxSize> to{};
    static constexpr char kMark[] = "* Deleted *";
    to[0] = sizeof kMark - 1;
    std::memcpy(&to[1], kMark, sizeof kMark - 1);
    std::uint8_t number[2];
    put16(number, kDeletedNumber);  // the board byte after it stays
    winValid_ = false;
    if (!writeRecord(kHdr, record_, kHdrSize, hdr.data()) || !writeRecord(kToIdx, record_, kToIdxSize, to.data()) ||
        !seekFile(files_[kIdx], record_ * static_cast<std::int64_t>(kIdxSize)) ||
        !writeBlock(files_[kIdx], number, 2)) {
        const ResultCode rc = lastIoError ? lastIoError : kIoDiskWrite;
        if (!hadLock) releaseLock();
        return rc;
    }
    header_ = hdr;
    if (wasActive) {
        const auto drop = [&](std::size_t off) {
            if (infoWord(off) > 0) setInfoWord(off, static_cast<std::uint16_t>(infoWord(off) - 1));
        };
        drop(kITotal);
        const int hb = hdr[kHBoard];
        drop(infoBoardOffset(hb >= 1 && hb <= kMaxBoard ? hb : board_));
    }
    if (!hadLock && !unlockArea()) return lastIoError ? lastIoError : kIoDiskWrite;
    return 0;
}

// --- Last-read pointers: per user one word for each of the 200 boards ---

// User indexes stop at 65535, so that a wild one cannot grow the file
// without end (25 MB at most).
constexpr std::int32_t kMaxLastReadUser = 0xFFFF;

MsgNumber HudsonArea::getLastRead(std::int32_t user) {
    if (user < 0 || user > kMaxLastReadUser || !boardValid()) return 0;
    const std::string name = resolveNameNoCase(dir_ + "lastread.bbs");
    const std::int64_t offset = static_cast<std::int64_t>(user) * kLastReadRecord + infoBoardOffset(board_) - 6;
    if (fileSizeByName(name) < offset + 2) return 0;
    std::uint8_t w[2] = {0, 0};
    if (readAt(name, w, 2, offset) != 0) return 0;
    return get16(w);
}

void HudsonArea::setLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || user > kMaxLastReadUser || !boardValid()) return;
    const std::string name = resolveNameNoCase(dir_ + "lastread.bbs");
    const std::int64_t offset = static_cast<std::int64_t>(user) * kLastReadRecord + infoBoardOffset(board_) - 6;
    if (extendFile(name, (static_cast<std::int64_t>(user) + 1) * kLastReadRecord) != 0) return;
    std::uint8_t w[2];
    put16(w, static_cast<std::uint16_t>(std::clamp(n, 0, 0xFFFF)));
    writeAt(name, w, 2, offset);
}

void registerHudsonArea() { registerAreaKind('H', &makeArea<HudsonArea>); }

}  // namespace orbisk
