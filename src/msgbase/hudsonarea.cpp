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
constexpr std::size_t kHPostTime = 27;  // String[5]
constexpr std::size_t kHPostDate = 33;  // String[8]
constexpr std::size_t kHWhoTo = 42;     // String[35]
constexpr std::size_t kHWhoFrom = 78;   // String[35]
constexpr std::size_t kHSubject = 114;  // String[72]
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
constexpr std::size_t InfoBoardOffset(int board) { return 6 + 2 * static_cast<std::size_t>(board - 1); }

constexpr std::size_t kLastReadRecord = 2 * HudsonArea::kMaxBoard;  // per user
constexpr std::size_t kTextChunkBlocks = 64;  // blocks per read

const char* const kFileNames[] = {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"};

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// OEM -> ANSI, one byte at a time, for the line reader's inner loop.
const std::array<char, 256>& OemToAnsiTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = OemToAnsiChar(static_cast<char>(i));
        return t;
    }();
    return table;
}

// dst[i] = table[src[i]]; restrict keeps the table base in a register
// (a char store may otherwise alias it).
void MapBytes(char* __restrict dst, const char* __restrict src, std::size_t n, const char* __restrict table) {
    for (std::size_t i = 0; i < n; ++i) dst[i] = table[static_cast<unsigned char>(src[i])];
}

// A decimal field of a stored date or time: blanks around it allowed,
// at most four digits.
bool ParseField(std::string_view s, int& value, std::size_t& digits) {
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
int SplitFields(std::string_view s, char sep, std::string_view out[3]) {
    int n = 0;
    while (true) {
        const auto p = s.find(sep);
        if (n == 3) return 4;  // too many
        out[n++] = s.substr(0, p);
        if (p == std::string_view::npos) return n;
        s.remove_prefix(p + 1);
    }
}

// Two-digit years fall in the hundred years that end 49 years after the
// current one (the platform's sliding century window).
int ExpandYear(int yy) {
    const std::uint32_t now = NowDosDate();
    const int current = now ? static_cast<int>(now >> 25) + 1980 : 2000;
    const int pivot = current - 50;
    int y = yy + pivot / 100 * 100;
    if (y < pivot) y += 100;
    return y;
}

}  // namespace

HudsonArea::HudsonArea() = default;

HudsonArea::~HudsonArea() { Destroy(); }

void HudsonArea::Destroy() {
    CloseArea();
    std::string().swap(text_);
    std::vector<char>().swap(blockBuf_);
    std::vector<std::uint8_t>().swap(hdrWindow_);
    std::string().swap(newText_);
    composing_ = false;
    finding_ = false;
    located_ = false;
}

void HudsonArea::SetAreaPath(const std::string& path) {
    std::string number;
    for (char c : std::string_view(path).substr(0, 3))
        if (c != ' ') number += c;
    board_ = StrToLongDef0(number);
    // The whole rest is kept: a cut path would name another directory, and
    // OpenArea creates a base where it finds none.
    dir_ = AddBackslash(path.size() > 3 ? std::string_view(path).substr(3) : std::string_view());
}

std::string HudsonArea::FileName(FileId id) const { return ResolveNameNoCase(dir_ + kFileNames[id]); }

// 0: a complete base; 1: none of its files; 2: some, or ones that do not fit.
int HudsonArea::CheckBase() const {
    int present = 0;
    std::int64_t size[kFileCount];
    for (int i = 0; i < kFileCount; ++i) {
        const std::string name = FileName(static_cast<FileId>(i));
        size[i] = FileExistsPlain(name) ? FileSizeByName(name) : -1;
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

ResultCode HudsonArea::OpenArea() {
    if (open_) return 0;
    status_ = 0;
    const int state = CheckBase();
    if (state == 2) return kHudsonInconsistent;
    if (state == 1) {
        const ResultCode rc = CreateArea();
        if (rc != 0) return rc;
    }
    for (int i = 0; i < kFileCount; ++i) {
        if (!OpenExisting(files_[i], FileName(static_cast<FileId>(i)), kModeReadWrite)) {
            const ResultCode rc = LastIoError ? LastIoError : kIoGeneralFailure;
            CloseFiles();
            return rc;
        }
    }
    if (!ReadInfo()) {
        CloseFiles();
        return kHudsonInfoRead;
    }
    open_ = true;
    locked_ = false;
    located_ = false;
    walkedOffEnd_ = false;
    record_ = -1;
    current_ = 0;
    winValid_ = false;
    header_.fill(0);
    return 0;
}

void HudsonArea::CloseFiles() {
    for (auto& f : files_) f.Close();
}

ResultCode HudsonArea::CloseArea() {
    if (!open_) return 0;
    if (locked_) UnlockArea();
    ResultCode rc = 0;
    for (auto& f : files_) {
        const ResultCode c = f.Close();
        if (rc == 0) rc = c;
    }
    open_ = false;
    located_ = false;
    winValid_ = false;
    hdrValid_ = false;
    return rc;
}

ResultCode HudsonArea::CreateArea() {
    if (open_) return kIoAccessDenied;  // would cut the files under our own handles
    if (!EnsureDirectory(dir_)) return kIoPathNotFound;
    for (int i = 0; i < kFileCount; ++i) {
        FileHandle f;
        if (!CreateTruncate(f, FileName(static_cast<FileId>(i)), kModeReadWrite)) return LastIoError;
    }
    std::array<std::uint8_t, kInfoSize> info{};
    Put16(&info[kILow], 1);
    return WriteAt(FileName(kInfo), info.data(), info.size(), 0);
}

bool HudsonArea::AreaExists() { return FileExistsPlain(FileName(kInfo)); }

bool HudsonArea::ReadInfo() {
    std::size_t got = 0;
    return SeekFile(files_[kInfo], 0) && ReadBlock(files_[kInfo], info_.data(), info_.size(), got) &&
           got == info_.size();
}

bool HudsonArea::WriteInfo() {
    return SeekFile(files_[kInfo], 0) && WriteBlock(files_[kInfo], info_.data(), info_.size());
}

// Another writer holding the byte keeps us out: changing the counters
// beside it would lose one of the two updates. A file system without
// byte-range locks (any other refusal) is worked on unlocked, as the DOS
// programs that share these bases do.
bool HudsonArea::LockArea() {
    if (!open_) return false;
    if (locked_) return true;
    if (!LockRange(files_[kInfo], kInfoSize, 1) && LastIoError == kIoAccessDenied) return false;
    if (!ReadInfo()) {
        UnlockRange(files_[kInfo], kInfoSize, 1);
        return false;
    }
    locked_ = true;
    return true;
}

bool HudsonArea::UnlockArea() {
    if (!locked_) return false;
    const bool ok = WriteInfo();
    UnlockRange(files_[kInfo], kInfoSize, 1);
    locked_ = false;
    return ok;
}

// A change that failed half-way: the counters are left as they are on
// disk, and other writers are let in again.
void HudsonArea::ReleaseLock() {
    UnlockRange(files_[kInfo], kInfoSize, 1);
    locked_ = false;
    ReadInfo();
}

std::uint16_t HudsonArea::InfoWord(std::size_t offset) const { return Get16(&info_[offset]); }
void HudsonArea::SetInfoWord(std::size_t offset, std::uint16_t value) { Put16(&info_[offset], value); }

// --- Records ---

bool HudsonArea::ReadRecord(FileId id, std::int64_t record, std::size_t size, void* buffer) {
    std::size_t got = 0;
    if (!SeekFile(files_[id], record * static_cast<std::int64_t>(size)) ||
        !ReadBlock(files_[id], buffer, size, got)) {
        status_ = LastIoError ? LastIoError : kIoGeneralFailure;
        return false;
    }
    if (got < size) {
        std::memset(static_cast<char*>(buffer) + got, 0, size - got);
        status_ = kIoShortRead;
        return false;
    }
    return true;
}

bool HudsonArea::WriteRecord(FileId id, std::int64_t record, std::size_t size, const void* buffer) {
    hdrValid_ = false;
    if (!SeekFile(files_[id], record * static_cast<std::int64_t>(size)) || !WriteBlock(files_[id], buffer, size)) {
        status_ = LastIoError ? LastIoError : kIoGeneralFailure;
        return false;
    }
    return true;
}

// The addressee and index records that belong to a header.
bool HudsonArea::WriteIndexRecords(std::int64_t record, const std::uint8_t* header) {
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
    Put16(idx, (header[kHMsgAttr] & kMaDeleted) ? kDeletedNumber : Get16(&header[kHNumber]));
    idx[2] = header[kHBoard];
    winValid_ = false;
    return WriteRecord(kToIdx, record, kToIdxSize, to.data()) && WriteRecord(kIdx, record, kIdxSize, idx);
}

// --- Locating ---

bool HudsonArea::ReadWindow(std::int64_t start) {
    winStart_ = start;
    winCount_ = 0;
    winValid_ = true;
    std::size_t got = 0;
    if (!SeekFile(files_[kIdx], start * static_cast<std::int64_t>(kIdxSize)) ||
        !ReadBlock(files_[kIdx], window_.data(), window_.size(), got)) {
        status_ = kHudsonIndexRead;
        return false;
    }
    winCount_ = got / kIdxSize;
    return true;
}

bool HudsonArea::IndexAt(std::int64_t record, bool forward, std::uint16_t& number, std::uint8_t& board) {
    if (record < 0 || !open_) return false;
    const auto inWindow = [&] {
        return winValid_ && record >= winStart_ && record < winStart_ + static_cast<std::int64_t>(winCount_);
    };
    if (!inWindow()) {
        const std::int64_t back = static_cast<std::int64_t>(kWindowRecords) - 1;
        if (!ReadWindow(forward ? record : std::max<std::int64_t>(0, record - back)) || !inWindow()) return false;
    }
    const std::size_t off = static_cast<std::size_t>(record - winStart_) * kIdxSize;
    number = Get16(&window_[off]);
    board = window_[off + 2];
    return true;
}

// Walks the index from the current record, forward for a number above
// bound, backward for one below it, in this board.
void HudsonArea::Walk(bool forward, std::int64_t bound) {
    located_ = false;
    std::int64_t r = record_;
    if (open_ && BoardValid()) {
        if (!forward) {
            const std::int64_t records = std::max<std::int64_t>(0, FileSizeOf(files_[kIdx])) / kIdxSize;
            r = std::min(r, records);
        }
        for (;;) {
            r += forward ? 1 : -1;
            std::uint16_t number = 0;
            std::uint8_t board = 0;
            if (!IndexAt(r, forward, number, board)) break;
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

void HudsonArea::LocateFrom(MsgNumber n) {
    finding_ = false;
    record_ = -1;
    winValid_ = false;  // see what other writers did since
    hdrValid_ = false;
    Walk(true, static_cast<std::int64_t>(n) - 1);
}

void HudsonArea::LocateNext() { Walk(true, current_); }

void HudsonArea::LocatePrior() {
    // After a forward walk found nothing above n - 1, n - 1 itself may be
    // the one wanted.
    Walk(false, (!located_ && walkedOffEnd_) ? current_ + 1 : current_);
}

bool HudsonArea::IsLocated() { return located_; }

std::int32_t HudsonArea::GetPosition() { return static_cast<std::int32_t>(record_); }

void HudsonArea::SetPosition(std::int32_t position) {
    located_ = false;
    hdrValid_ = false;
    record_ = position < 0 ? -1 : position;
    std::uint16_t number = 0;
    std::uint8_t board = 0;
    if (position >= 0 && BoardValid() && IndexAt(position, true, number, board) && number != kDeletedNumber &&
        board == board_) {
        current_ = number;
        located_ = true;
        walkedOffEnd_ = false;
    }
}

void HudsonArea::FindAddressed(std::int64_t fromRecord) {
    located_ = false;
    if (!open_ || !BoardValid()) return;
    std::array<std::uint8_t, kToIdxSize> to{};
    std::array<std::uint8_t, kHdrSize> hdr{};
    for (std::int64_t r = fromRecord + 1;; ++r) {
        std::uint16_t number = 0;
        std::uint8_t board = 0;
        if (!IndexAt(r, true, number, board)) {
            record_ = r;
            walkedOffEnd_ = true;
            return;
        }
        if (number == kDeletedNumber || board != board_) continue;
        if (!ReadRecord(kToIdx, r, kToIdxSize, to.data())) continue;
        const std::string name = OemToAnsi(std::string_view(reinterpret_cast<const char*>(&to[1]),
                                                            std::min<std::size_t>(to[0], kNameLen)));
        if (!AnsiSameText(name, findName_) && (findAlias_.empty() || !AnsiSameText(name, findAlias_))) continue;
        if (!ReadRecord(kHdr, r, kHdrSize, hdr.data()) || (hdr[kHMsgAttr] & kMaReceived)) continue;
        record_ = r;
        current_ = number;
        located_ = true;
        walkedOffEnd_ = false;
        return;
    }
}

void HudsonArea::FindAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = name;
    findAlias_ = alias;
    finding_ = true;
    winValid_ = false;
    hdrValid_ = false;
    FindAddressed(-1);
}

void HudsonArea::FindAddressedNext() {
    if (finding_) FindAddressed(record_);
    else located_ = false;
}

bool HudsonArea::FoundAddressed() { return located_; }

MsgNumber HudsonArea::GetHighNumber() { return open_ ? InfoWord(kIHigh) : 0; }

std::uint16_t HudsonArea::GetSubArea() { return static_cast<std::uint16_t>(std::clamp(board_, 0, 0xFFFF)); }

std::int32_t HudsonArea::CountMessages() {
    if (!BoardValid()) return 0;
    std::array<std::uint8_t, kInfoSize> info{};
    if (ReadAt(FileName(kInfo), info.data(), info.size(), 0) != 0) return 0;
    return Get16(&info[InfoBoardOffset(board_)]);
}

// --- Header ---

// The number the index gives: the one LocateFrom finds it by again.
MsgNumber HudsonArea::GetMessageNumber() { return located_ ? static_cast<MsgNumber>(current_) : 0; }

// A walk loads header after header: they come from a window of
// kHeaderWindowRecords records, one read for a run of them.
void HudsonArea::LoadHeader() {
    header_.fill(0);
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
        if (!SeekFile(files_[kHdr], record_ * static_cast<std::int64_t>(kHdrSize)) ||
            !ReadBlock(files_[kHdr], hdrWindow_.data(), hdrWindow_.size(), got)) {
            status_ = LastIoError ? LastIoError : kIoGeneralFailure;
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
}

std::uint16_t HudsonArea::HeaderWord(std::size_t offset) const { return Get16(&header_[offset]); }
void HudsonArea::SetHeaderWord(std::size_t offset, std::uint16_t value) { Put16(&header_[offset], value); }

std::string HudsonArea::HeaderString(std::size_t offset, std::size_t maxLen) const {
    const std::size_t len = std::min<std::size_t>(header_[offset], maxLen);
    return std::string(reinterpret_cast<const char*>(&header_[offset + 1]), len);
}

void HudsonArea::SetHeaderString(std::size_t offset, std::size_t maxLen, const std::string& ansi) {
    const std::string oem = AnsiToOem(std::string_view(ansi).substr(0, maxLen));
    std::memset(&header_[offset], 0, maxLen + 1);
    header_[offset] = static_cast<std::uint8_t>(oem.size());
    std::memcpy(&header_[offset + 1], oem.data(), oem.size());
}

bool HudsonArea::MsgAttr(std::uint8_t bit) const { return (header_[kHMsgAttr] & bit) != 0; }
bool HudsonArea::NetAttr(std::uint8_t bit) const { return (header_[kHNetAttr] & bit) != 0; }

void HudsonArea::SetAttr(std::size_t offset, std::uint8_t bit, bool on) {
    if (on) header_[offset] |= bit;
    else header_[offset] &= static_cast<std::uint8_t>(~bit);
}

std::string HudsonArea::GetFromName() { return OemToAnsi(HeaderString(kHWhoFrom, kNameLen)); }
std::string HudsonArea::GetToName() { return OemToAnsi(HeaderString(kHWhoTo, kNameLen)); }
std::string HudsonArea::GetSubject() { return CleanSubject(HeaderString(kHSubject, kSubjectLen)); }
std::uint16_t HudsonArea::GetCost() { return HeaderWord(kHCost); }
MsgNumber HudsonArea::GetReplyTo() { return HeaderWord(kHPrevReply); }
MsgNumber HudsonArea::GetReplyFirst() { return HeaderWord(kHNextReply); }
void HudsonArea::SetNextReplyLink(MsgNumber) {}
void HudsonArea::SetFormatOption(bool) {}

FidoAddress HudsonArea::GetOrigAddress() {
    return {header_[kHOrigZone], HeaderWord(kHOrigNet), HeaderWord(kHOrigNode), 0};
}
FidoAddress HudsonArea::GetDestAddress() {
    return {header_[kHDestZone], HeaderWord(kHDestNet), HeaderWord(kHDestNode), 0};
}

bool HudsonArea::IsLocal() { return MsgAttr(kMaLocal); }
bool HudsonArea::IsCrash() { return NetAttr(kNaCrash); }
bool HudsonArea::IsKillSent() { return NetAttr(kNaKillSent); }
bool HudsonArea::IsSent() { return NetAttr(kNaSent); }
bool HudsonArea::IsFileAttach() { return NetAttr(kNaFileAttach); }
bool HudsonArea::IsReceiptRequest() { return NetAttr(kNaReceiptReq); }
bool HudsonArea::IsAuditRequest() { return NetAttr(kNaAuditReq); }
bool HudsonArea::IsReceipt() { return NetAttr(kNaIsReceipt); }
bool HudsonArea::IsFileRequest() { return NetAttr(kNaFileReq); }
bool HudsonArea::IsReceived() { return MsgAttr(kMaReceived); }
bool HudsonArea::IsPrivate() { return MsgAttr(kMaPrivate); }
bool HudsonArea::IsDeleted() { return !located_ || MsgAttr(kMaDeleted); }
bool HudsonArea::IsEcho() { return !MsgAttr(kMaNetMail); }
bool HudsonArea::IsRead() { return HeaderWord(kHTimesRead) != 0; }

// "MM-DD-YY" and "HH:NN"; 0 when the date is no date, the date alone when
// only the time is bad.
TDateTime HudsonArea::GetDateTime() {
    const std::string date = HeaderString(kHPostDate, 8);
    const std::string time = HeaderString(kHPostTime, 5);
    std::string_view f[3];
    int month = 0, day = 0, year = 0;
    std::size_t digits = 0, yearDigits = 0;
    if (SplitFields(date, '-', f) != 3 || !ParseField(f[0], month, digits) || !ParseField(f[1], day, digits) ||
        !ParseField(f[2], year, yearDigits))
        return 0;
    if (yearDigits <= 2) year = ExpandYear(year);
    TDateTime d = 0;
    if (!TryEncodeDate(year, month, day, d)) return 0;
    const int n = SplitFields(time, ':', f);
    int h = 0, m = 0, s = 0;
    TDateTime t = 0;
    if ((n == 2 || n == 3) && ParseField(f[0], h, digits) && ParseField(f[1], m, digits) &&
        (n == 2 || ParseField(f[2], s, digits)) && TryEncodeTime(h, m, s, 0, t))
        return d + t;
    return d;
}

// --- Text ---

void HudsonArea::StartText() {
    lastLineWrapped_ = false;
    text_.clear();
    textPos_ = 0;
    textEnded_ = false;
    if (!open_ || !located_) return;
    status_ = 0;
    std::size_t remaining = HeaderWord(kHNumBlocks);
    if (remaining == 0) return;
    if (!SeekFile(files_[kTxt], static_cast<std::int64_t>(HeaderWord(kHStartBlock)) * kBlockSize)) {
        status_ = kHudsonTextSeek;
        return;
    }
    blockBuf_.resize(kTextChunkBlocks * kBlockSize);
    while (remaining > 0) {
        const std::size_t want = std::min(remaining, kTextChunkBlocks);
        std::size_t got = 0;
        if (!ReadBlock(files_[kTxt], blockBuf_.data(), want * kBlockSize, got)) {
            status_ = LastIoError ? LastIoError : kIoGeneralFailure;
            return;
        }
        // Each block: a length byte, then that many characters; the
        // text ends at its first NUL. A cut last block gives what it has.
        for (std::size_t at = 0; at < got; at += kBlockSize) {
            const std::size_t avail = std::min(got - at, kBlockSize) - 1;
            const std::size_t len = std::min<std::size_t>(static_cast<unsigned char>(blockBuf_[at]), avail);
            const char* p = &blockBuf_[at + 1];
            if (const void* nul = std::memchr(p, '\0', len)) {
                text_.append(p, static_cast<const char*>(nul));
                return;
            }
            text_.append(p, len);
        }
        if (got < want * kBlockSize) {
            status_ = kHudsonTextShort;
            return;
        }
        remaining -= want;
    }
}

char HudsonArea::ReadChar() {
    if (textPos_ >= text_.size()) {
        textEnded_ = true;
        return '\0';
    }
    return text_[textPos_++];
}

bool HudsonArea::AtTextEnd() { return textEnded_ || textPos_ >= text_.size(); }

std::int64_t HudsonArea::GetTextPosition() { return static_cast<std::int64_t>(textPos_); }

void HudsonArea::SetTextPosition(std::int64_t position) {
    textPos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(text_.size())));
    if (textPos_ < text_.size()) textEnded_ = false;
}

// The rules of MessageArea::ReadTextLine, step for step, over text_ (which
// holds no NUL, so the end of the text is its end).
std::string HudsonArea::ReadTextLine(std::uint16_t maxLen) {
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
    const auto& table = OemToAnsiTable();
    std::size_t pos = textPos_;
    // The common line: a CR within maxLen + 1 characters, no LF before it
    // and no space to drop at its start. It is taken whole.
    if (!textEnded_ && pos < size && !(skipSpace && text[pos] == ' ')) {
        const std::size_t reach = std::min(size - pos, cap + 1);
        if (const void* cr = std::memchr(text + pos, '\r', reach)) {
            const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(cr) - (text + pos));
            if (!std::memchr(text + pos, '\n', k)) {
                MapBytes(line, text + pos, k, table.data());
                textPos_ = pos + k + 1;
                lastLineWrapped_ = false;
                return std::string(line, k);
            }
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
                line[len++] = table[static_cast<unsigned char>(c)];
                cutLen = len;
                cutPos = pos;
                haveCut = true;
                continue;
            }
            skipSpace = false;
            line[len++] = table[static_cast<unsigned char>(c)];
        }
    }
    textPos_ = pos;
    return std::string(line, len);
}

// --- Writing ---

void HudsonArea::StartNewMessage() {
    header_.fill(0);
    newText_.clear();
    composing_ = true;
    header_[kHBoard] = static_cast<std::uint8_t>(BoardValid() ? board_ : 0);
    SetDateTime(SystemClock().Now());
}

void HudsonArea::SetDestAddress(const FidoAddress& a) {
    header_[kHDestZone] = static_cast<std::uint8_t>(a.zone);
    SetHeaderWord(kHDestNet, a.net);
    SetHeaderWord(kHDestNode, a.node);
}
void HudsonArea::SetOrigAddress(const FidoAddress& a) {
    header_[kHOrigZone] = static_cast<std::uint8_t>(a.zone);
    SetHeaderWord(kHOrigNet, a.net);
    SetHeaderWord(kHOrigNode, a.node);
}
void HudsonArea::SetFromName(const std::string& name) { SetHeaderString(kHWhoFrom, kNameLen, name); }
void HudsonArea::SetToName(const std::string& name) { SetHeaderString(kHWhoTo, kNameLen, name); }
void HudsonArea::SetSubject(const std::string& subject) { SetHeaderString(kHSubject, kSubjectLen, subject); }
void HudsonArea::SetCost(std::uint16_t cost) { SetHeaderWord(kHCost, cost); }
void HudsonArea::SetReplyTo(MsgNumber n) { SetHeaderWord(kHPrevReply, static_cast<std::uint16_t>(n)); }
void HudsonArea::SetReplyFirst(MsgNumber n) { SetHeaderWord(kHNextReply, static_cast<std::uint16_t>(n)); }
void HudsonArea::SetFormatMark(std::int32_t value) {
    SetHeaderWord(kHTimesRead, static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)));
}

void HudsonArea::SetDateTime(TDateTime t) {
    std::memset(&header_[kHPostTime], 0, kHWhoTo - kHPostTime);
    if (!std::isfinite(t) || t < 1 || t >= 2958466) return;  // 0001-01-01 .. 9999-12-31
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDate(t, y, mo, d);
    DecodeTime(t, h, mi, s, ms);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", h, mi);
    SetHeaderString(kHPostTime, 5, buf);
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", mo, d, y % 100);
    SetHeaderString(kHPostDate, 8, buf);
}

void HudsonArea::SetLocalFlag(bool on) { SetAttr(kHMsgAttr, kMaLocal, on); }
void HudsonArea::SetReceivedFlag(bool on) { SetAttr(kHMsgAttr, kMaReceived, on); }
void HudsonArea::SetPrivateFlag(bool on) { SetAttr(kHMsgAttr, kMaPrivate, on); }
void HudsonArea::SetCrashFlag(bool on) { SetAttr(kHNetAttr, kNaCrash, on); }
void HudsonArea::SetKillSentFlag(bool on) { SetAttr(kHNetAttr, kNaKillSent, on); }
void HudsonArea::SetSentFlag(bool on) { SetAttr(kHNetAttr, kNaSent, on); }
void HudsonArea::SetFileAttachFlag(bool on) { SetAttr(kHNetAttr, kNaFileAttach, on); }
void HudsonArea::SetReceiptRequestFlag(bool on) { SetAttr(kHNetAttr, kNaReceiptReq, on); }
void HudsonArea::SetAuditRequestFlag(bool on) { SetAttr(kHNetAttr, kNaAuditReq, on); }
void HudsonArea::SetIsReceiptFlag(bool on) { SetAttr(kHNetAttr, kNaIsReceipt, on); }
void HudsonArea::SetFileRequestFlag(bool on) { SetAttr(kHNetAttr, kNaFileReq, on); }
void HudsonArea::SetMailKind(std::uint8_t kind) { mailKind_ = kind; }

void HudsonArea::WriteText(const std::string& text) {
    for (char c : text) WriteChar(c);
}
void HudsonArea::WriteChar(char c) { newText_ += AnsiToOemChar(c); }
void HudsonArea::WriteTextLine(const std::string& text) {
    WriteText(text);
    WriteChar('\r');
}

ResultCode HudsonArea::SaveMessage() {
    if (!open_) return kIoInvalidHandle;
    if (!composing_ || !BoardValid()) return kIoInvalidParameter;
    const bool hadLock = locked_;
    if (!hadLock && !LockArea()) return LastIoError ? LastIoError : kIoAccessDenied;
    const auto fail = [&](ResultCode rc) {
        if (!hadLock) ReleaseLock();
        return rc;
    };

    const std::uint32_t number = InfoWord(kIHigh) + 1u;
    const std::int64_t txtSize = FileSizeOf(files_[kTxt]);
    const std::int64_t hdrSize = FileSizeOf(files_[kHdr]);
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
    if (blocks > 0 && (!SeekFile(files_[kTxt], startBlock * static_cast<std::int64_t>(kBlockSize)) ||
                       !WriteBlock(files_[kTxt], data.data(), data.size())))
        return fail(LastIoError ? LastIoError : kIoDiskWrite);

    SetHeaderWord(kHNumber, static_cast<std::uint16_t>(number));
    SetHeaderWord(kHStartBlock, static_cast<std::uint16_t>(startBlock));
    SetHeaderWord(kHNumBlocks, static_cast<std::uint16_t>(blocks));
    header_[kHBoard] = static_cast<std::uint8_t>(board_);
    if (mailKind_ == 1) header_[kHMsgAttr] |= kMaOutEcho;
    if (mailKind_ == 2) header_[kHMsgAttr] |= kMaOutNet | kMaNetMail;
    header_[kHMsgAttr] &= static_cast<std::uint8_t>(~kMaDeleted);

    const std::int64_t record = hdrSize / static_cast<std::int64_t>(kHdrSize);
    if (!WriteRecord(kHdr, record, kHdrSize, header_.data()) || !WriteIndexRecords(record, header_.data()))
        return fail(status_);

    const std::uint16_t low = InfoWord(kILow);
    if (low == 0 || low > number) SetInfoWord(kILow, static_cast<std::uint16_t>(number));
    SetInfoWord(kIHigh, static_cast<std::uint16_t>(number));
    const auto bump = [&](std::size_t off) {
        if (InfoWord(off) < 0xFFFF) SetInfoWord(off, static_cast<std::uint16_t>(InfoWord(off) + 1));
    };
    bump(kITotal);
    bump(InfoBoardOffset(board_));
    if (!hadLock && !UnlockArea()) return LastIoError ? LastIoError : kIoDiskWrite;

    // Scanners export only the boards listed in these logs.
    if (mailKind_ == 1 || mailKind_ == 2) {
        const std::string log = ResolveNameNoCase(dir_ + (mailKind_ == 1 ? "echomail.bbs" : "netmail.bbs"));
        std::uint8_t w[2];
        Put16(w, static_cast<std::uint16_t>(board_));
        WriteAt(log, w, 2, std::max<std::int64_t>(0, FileSizeByName(log)));
    }
    composing_ = false;
    record_ = record;
    current_ = number;
    located_ = true;
    walkedOffEnd_ = false;
    return 0;
}

void HudsonArea::RewriteHeader() {
    if (!open_ || !located_) return;
    if (WriteRecord(kHdr, record_, kHdrSize, header_.data())) WriteIndexRecords(record_, header_.data());
}

// Marks the message deleted in its header, addressee and index records and
// takes it off the active counts (once: a message already marked stays
// counted as it is). The text blocks stay until the base is packed.
void HudsonArea::DeleteCurrent() {
    if (!open_ || !located_) return;
    const bool hadLock = locked_;
    if (!hadLock && !LockArea()) return;
    std::array<std::uint8_t, kHdrSize> hdr{};
    if (!ReadRecord(kHdr, record_, kHdrSize, hdr.data())) {
        if (!hadLock) ReleaseLock();
        return;
    }
    const bool wasActive = (hdr[kHMsgAttr] & kMaDeleted) == 0;
    hdr[kHMsgAttr] |= kMaDeleted;
    std::array<std::uint8_t, kToIdxSize> to{};
    static constexpr char kMark[] = "* Deleted *";
    to[0] = sizeof kMark - 1;
    std::memcpy(&to[1], kMark, sizeof kMark - 1);
    std::uint8_t number[2];
    Put16(number, kDeletedNumber);  // the board byte after it stays
    winValid_ = false;
    if (!WriteRecord(kHdr, record_, kHdrSize, hdr.data()) || !WriteRecord(kToIdx, record_, kToIdxSize, to.data()) ||
        !SeekFile(files_[kIdx], record_ * static_cast<std::int64_t>(kIdxSize)) ||
        !WriteBlock(files_[kIdx], number, 2)) {
        if (!hadLock) ReleaseLock();
        return;
    }
    header_ = hdr;
    if (wasActive) {
        const auto drop = [&](std::size_t off) {
            if (InfoWord(off) > 0) SetInfoWord(off, static_cast<std::uint16_t>(InfoWord(off) - 1));
        };
        drop(kITotal);
        const int hb = hdr[kHBoard];
        drop(InfoBoardOffset(hb >= 1 && hb <= kMaxBoard ? hb : board_));
    }
    if (!hadLock) UnlockArea();
}

// --- Last-read pointers: per user one word for each of the 200 boards ---

// User indexes stop at 65535, so that a wild one cannot grow the file
// without end (25 MB at most).
constexpr std::int32_t kMaxLastReadUser = 0xFFFF;

MsgNumber HudsonArea::GetLastRead(std::int32_t user) {
    if (user < 0 || user > kMaxLastReadUser || !BoardValid()) return 0;
    const std::string name = ResolveNameNoCase(dir_ + "lastread.bbs");
    const std::int64_t offset = static_cast<std::int64_t>(user) * kLastReadRecord + InfoBoardOffset(board_) - 6;
    if (FileSizeByName(name) < offset + 2) return 0;
    std::uint8_t w[2] = {0, 0};
    if (ReadAt(name, w, 2, offset) != 0) return 0;
    return Get16(w);
}

void HudsonArea::SetLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || user > kMaxLastReadUser || !BoardValid()) return;
    const std::string name = ResolveNameNoCase(dir_ + "lastread.bbs");
    const std::int64_t offset = static_cast<std::int64_t>(user) * kLastReadRecord + InfoBoardOffset(board_) - 6;
    if (ExtendFile(name, (static_cast<std::int64_t>(user) + 1) * kLastReadRecord) != 0) return;
    std::uint8_t w[2];
    Put16(w, static_cast<std::uint16_t>(std::clamp(n, 0, 0xFFFF)));
    WriteAt(name, w, 2, offset);
}

void RegisterHudsonArea() { RegisterAreaKind('H', &MakeArea<HudsonArea>); }

}  // namespace orbisk
