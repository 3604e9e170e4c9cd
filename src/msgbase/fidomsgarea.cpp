#include "msgbase/fidomsgarea.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/codepage.h"
#include "msgbase/fidodate.h"
#include "msgbase/msgstr.h"

namespace orbisk {

namespace {

// Header offsets (FTS-0001).
constexpr std::size_t kFromOffset = 0;
constexpr std::size_t kToOffset = 36;
constexpr std::size_t kSubjectOffset = 72;
constexpr std::size_t kDateOffset = 144;
constexpr std::size_t kTimesReadOffset = 164;
constexpr std::size_t kDestNodeOffset = 166;
constexpr std::size_t kOrigNodeOffset = 168;
constexpr std::size_t kCostOffset = 170;
constexpr std::size_t kOrigNetOffset = 172;
constexpr std::size_t kDestNetOffset = 174;
constexpr std::size_t kDateWrittenOffset = 176;
constexpr std::size_t kDateArrivedOffset = 180;
constexpr std::size_t kReplyToOffset = 184;
constexpr std::size_t kAttributeOffset = 186;
constexpr std::size_t kReplyFirstOffset = 188;

constexpr std::size_t kNameLimit = 35;
constexpr std::size_t kSubjectLimit = 71;
constexpr std::size_t kDateFieldSize = 20;
// Control lines are examined in pieces of this many characters.
constexpr std::size_t kControlPiece = 128;
constexpr std::uint16_t kReadLineCap = 254;

constexpr int kAttrPrivate = 0, kAttrCrash = 1, kAttrReceived = 2, kAttrSent = 3, kAttrFileAttach = 4,
              kAttrKillSent = 7, kAttrLocal = 8, kAttrFileRequest = 11, kAttrReceiptRequest = 12,
              kAttrIsReceipt = 13, kAttrAuditRequest = 14;

const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two digits of a fixed-width date text; -1 when they are not digits.
int TwoDigits(const std::string& s, std::size_t at) {
    if (!IsDigit(s[at]) || !IsDigit(s[at + 1])) return -1;
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// "MON" -> "01".."12"; "00" for an unknown name (which then fails as a date).
std::string MonthDigits(std::string_view name) {
    const std::string up = UpperStr(name);
    for (int i = 0; i < 12; ++i)
        if (up == kMonths[i]) return {static_cast<char>('0' + (i + 1) / 10), static_cast<char>('0' + (i + 1) % 10)};
    return "00";
}

// The date text of the header in one of its four layouts, told apart by
// the characters at (1-based) positions 3, 11 and 4:
//   "DD Mon YY  HH:MM:SS"  blank at 3 and 11 (FTS-0001)
//   "DD Mon YY HH:MM:SS"   blank at 3 only
//   "Www DD Mon YY HH:MM"  blank at 4
//   "MM-DD-YY HH:MM"       "-" at 3 (also "DD-Mon-YY HH:MM")
// Each becomes the date "MM-DD-YY" and the time "HH:MM" (seconds dropped);
// blanks in them count as "0". Two-digit years below 80 are 20YY. 0 when the
// text is none of these or names no valid date and time.
TDateTime ParseMsgDate(std::string f) {
    f.resize(kDateFieldSize, ' ');
    std::string date, time;
    auto mdy = [](std::string_view month, std::string_view day, std::string_view year) {
        return std::string(month) + "-" + std::string(day) + "-" + std::string(year);
    };
    const std::string_view v(f);
    if (f[2] == ' ' && f[10] == ' ') {
        date = mdy(MonthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
        time = f.substr(11, 5);
    } else if (f[2] == ' ') {
        date = mdy(MonthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
        time = f.substr(10, 5);
    } else if (f[3] == ' ') {
        date = mdy(MonthDigits(v.substr(7, 3)), v.substr(4, 2), v.substr(11, 2));
        time = f.substr(14, 5);
    } else if (f[2] == '-') {
        if (IsDigit(f[3])) {
            date = f.substr(0, 8);
            time = f.substr(9, 5);
        } else {
            date = mdy(MonthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
            time = f.substr(10, 5);
        }
    } else {
        return 0;
    }
    std::replace(date.begin(), date.end(), ' ', '0');
    std::replace(time.begin(), time.end(), ' ', '0');
    if (date[2] != '-' || date[5] != '-' || time[2] != ':') return 0;
    const int month = TwoDigits(date, 0), day = TwoDigits(date, 3), year = TwoDigits(date, 6);
    const int hour = TwoDigits(time, 0), minute = TwoDigits(time, 3);
    if (month < 0 || day < 0 || year < 0 || hour < 0 || minute < 0) return 0;
    TDateTime d = 0, t = 0;
    if (!TryEncodeDate(year < 80 ? 2000 + year : 1900 + year, month, day, d)) return 0;
    if (!TryEncodeTime(hour, minute, 0, 0, t)) return 0;
    return d + t;
}

// "DD Mon YY  HH:MM:SS", month names in English whatever the locale.
std::string FormatMsgDate(TDateTime t) {
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0, ms = 0;
    DecodeDate(t, y, m, d);
    DecodeTime(t, hh, mm, ss, ms);
    if (m < 1 || m > 12) return {};
    auto two = [](int v) {
        v = ((v % 100) + 100) % 100;
        return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    };
    return two(d) + " " + kMonthNames[m - 1] + " " + two(y) + "  " + two(hh) + ":" + two(mm) + ":" + two(ss);
}

// A file name <digits>.msg (extension in any case); the number it gives,
// or 0 when it is none. Numbers are kept modulo 65536 like the 16-bit
// numbers of the format, so 65537.msg is message 1.
MsgNumber NumberOfName(const char* name, std::size_t len) {
    if (len < 5 || len > 14) return 0;  // at most 10 digits
    const char* ext = name + len - 4;
    if (ext[0] != '.' || LowerAscii(ext[1]) != 'm' || LowerAscii(ext[2]) != 's' || LowerAscii(ext[3]) != 'g')
        return 0;
    std::uint64_t v = 0;
    for (const char* p = name; p < ext; ++p) {
        if (!IsDigit(*p)) return 0;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (v > 0x7FFFFFFFu) return 0;  // not a 32-bit number
    return static_cast<MsgNumber>(v % 65536);
}

// The number is written plainly (no leading zeros, not wrapped round).
bool PlainName(std::string_view name, MsgNumber n) {
    const std::string digits = std::to_string(n);
    return name.size() == digits.size() + 4 && name.substr(0, digits.size()) == digits;
}

}  // namespace

FidoMsgArea::FidoMsgArea() : nameKind_(kMaxNumber + 1, kNoName), window_(kWindowSize) {}

FidoMsgArea::~FidoMsgArea() { FidoMsgArea::Destroy(); }

void FidoMsgArea::Destroy() {
    CloseMessageFile();
    DropTempFile();
}

// The path is kept whole: cutting it to a shorter prefix would name another
// directory, and deletions would then hit the wrong area.
void FidoMsgArea::SetAreaPath(const std::string& path) { path_ = AddBackslash(path); }

ResultCode FidoMsgArea::OpenArea() {
    RebuildBitmap();
    current_ = 0;
    return DirectoryExists(path_) ? 0 : kNoDirectory;
}

ResultCode FidoMsgArea::CloseArea() {
    CloseMessageFile();
    return 0;
}

ResultCode FidoMsgArea::CreateArea() { return EnsureDirectory(path_) ? 0 : 1; }

bool FidoMsgArea::AreaExists() { return DirectoryExists(path_); }

// --- Numbers and names ---

bool FidoMsgArea::TestBit(MsgNumber n) const {
    if (n < 1 || n > kMaxNumber) return false;
    return (bitmap_[static_cast<std::size_t>(n) / 8] >> (n % 8)) & 1;
}

void FidoMsgArea::SetBit(MsgNumber n, bool on) {
    if (n < 1 || n > kMaxNumber) return;
    auto& byte = bitmap_[static_cast<std::size_t>(n) / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (n % 8));
    byte = static_cast<std::uint8_t>(on ? byte | mask : byte & ~mask);
    if (!on) {
        nameKind_[static_cast<std::size_t>(n)] = kNoName;
        otherNames_.erase(n);
    }
}

std::string FidoMsgArea::MessageFileName(MsgNumber n) const {
    const std::string digits = std::to_string(n);
    if (n >= 1 && n <= kMaxNumber) {
        switch (nameKind_[static_cast<std::size_t>(n)]) {
            case kUpperName: return path_ + digits + ".MSG";
            case kOtherName: {
                auto it = otherNames_.find(n);
                if (it != otherNames_.end()) return path_ + it->second;
                break;
            }
            default: break;
        }
    }
    return path_ + digits + ".msg";
}

void FidoMsgArea::NoteName(MsgNumber n, const std::string& name, bool plain) {
    if (TestBit(n)) {
        // Two names for one number: the plainly written one, then the one
        // first in byte order, whatever order the directory lists them in.
        const std::string held = MessageFileName(n).substr(path_.size());
        const bool heldPlain = PlainName(held, n);
        if (heldPlain != plain ? heldPlain : held <= name) return;
    }
    SetBit(n, true);
    const std::string digits = std::to_string(n);
    std::uint8_t kind = kOtherName;
    if (name == digits + ".msg")
        kind = kLowerName;
    else if (name == digits + ".MSG")
        kind = kUpperName;
    nameKind_[static_cast<std::size_t>(n)] = kind;
    if (kind == kOtherName)
        otherNames_[n] = name;
    else
        otherNames_.erase(n);
}

// Every regular file (or link to one) named <digits>.msg is a message;
// directories and other special files of that name are not.
void FidoMsgArea::RebuildBitmap() {
    bitmap_.fill(0);
    std::fill(nameKind_.begin(), nameKind_.end(), kNoName);
    otherNames_.clear();
    DIR* d = ::opendir(path_.empty() ? "." : path_.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        const std::size_t len = std::strlen(e->d_name);
        const MsgNumber n = NumberOfName(e->d_name, len);
        if (n < 1 || n > kMaxNumber) continue;
        if (e->d_type != DT_REG) {
            if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
            struct stat st {};
            if (::stat((path_ + e->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        }
        const std::string name(e->d_name, len);
        NoteName(n, name, PlainName(name, n));
    }
    ::closedir(d);
}

// --- Locating ---

void FidoMsgArea::LocateFrom(MsgNumber n) {
    current_ = std::clamp<MsgNumber>(n, 1, kMaxNumber + 1) - 1;
    LocateNext();
}

void FidoMsgArea::LocateNext() {
    MsgNumber n = std::clamp<MsgNumber>(current_, 0, kMaxNumber) + 1;
    while (n <= kMaxNumber) {
        const auto byte = bitmap_[static_cast<std::size_t>(n) / 8];
        if (byte == 0 && n % 8 == 0) {  // a whole byte without messages
            n += 8;
            continue;
        }
        if ((byte >> (n % 8)) & 1) break;
        ++n;
    }
    current_ = n <= kMaxNumber ? n : 0;
}

void FidoMsgArea::LocatePrior() {
    MsgNumber n = std::min<MsgNumber>(current_, kMaxNumber + 1);
    if (n <= 0) {
        current_ = 0;
        return;
    }
    do --n;
    while (n > 0 && !TestBit(n));
    current_ = n;
}

bool FidoMsgArea::IsLocated() { return current_ != 0; }

MsgNumber FidoMsgArea::GetMessageNumber() { return current_; }
std::int32_t FidoMsgArea::GetPosition() { return current_; }
void FidoMsgArea::SetPosition(std::int32_t position) { current_ = position; }

MsgNumber FidoMsgArea::GetHighNumber() {
    for (MsgNumber n = kMaxNumber; n >= 1; --n)
        if (TestBit(n)) return n;
    return 0;
}

std::int32_t FidoMsgArea::CountMessages() {
    std::int32_t count = 0;
    for (MsgNumber n = 1; n <= kMaxNumber; ++n) count += TestBit(n) ? 1 : 0;
    return count;
}

// --- The message file ---

void FidoMsgArea::CloseMessageFile() {
    file_.Close();
    windowStart_ = windowLength_ = 0;
}

void FidoMsgArea::DropTempFile() {
    if (!tempName_.empty()) EraseFile(tempName_);
    tempName_.clear();
    newText_.clear();
    composing_ = false;
}

// Brings the bytes at pos into the window; false at the end of the file or
// when it cannot be read.
bool FidoMsgArea::EnsureWindow(std::int64_t pos) {
    if (pos >= windowStart_ && pos < windowStart_ + windowLength_) return true;
    windowStart_ = pos;
    windowLength_ = 0;
    if (!file_.IsOpen() || pos < 0 || pos >= fileLength_) return false;
    if (!SeekFile(file_, pos)) return false;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(fileLength_ - pos, kWindowSize));
    std::size_t got = 0;
    if (!ReadBlock(file_, window_.data(), want, got)) return false;
    windowLength_ = static_cast<std::int64_t>(got);
    return got > 0;
}

// The start of a freshly opened file: one read() gives the whole of an
// ordinary message, and its length with it; only a file that fills the
// window is asked for its size.
bool FidoMsgArea::FirstWindow() {
    windowStart_ = windowLength_ = fileLength_ = 0;
    std::size_t got = 0;
    if (!ReadBlock(file_, window_.data(), window_.size(), got)) return false;
    windowLength_ = static_cast<std::int64_t>(got);
    fileLength_ = windowLength_;
    if (got == window_.size()) fileLength_ = std::max(FileSizeOf(file_), windowLength_);
    return true;
}

void FidoMsgArea::LoadHeader() {
    CloseMessageFile();
    DropTempFile();
    lastLineWrapped_ = false;
    header_.fill(0);
    fileLength_ = 0;
    dateTime_ = 0;
    textPos_ = textEnd_ = kHeaderSize;
    textEnded_ = false;
    status_ = 0;

    if (current_ < 1 || current_ > kMaxNumber) {
        status_ = kFileNotFound;
    } else {
        fileName_ = TestBit(current_) ? MessageFileName(current_)
                                      : ResolveNameNoCase(path_ + std::to_string(current_) + ".msg");
        // Read-only: reading needs no more, and read-only message files
        // (a tosser's, another user's) must still read.
        if (!OpenExisting(file_, fileName_, kModeReadOnly)) {
            status_ = LastIoError == kIoFileNotFound || LastIoError == kIoPathNotFound ? kFileNotFound : kCannotOpen;
        } else if (!FirstWindow()) {
            status_ = kCannotOpen;
            CloseMessageFile();
        } else {
            std::memcpy(header_.data(), window_.data(),
                        static_cast<std::size_t>(std::min<std::int64_t>(windowLength_, kHeaderSize)));
        }
    }

    dest_ = {defaultZone_, HeaderWord(kDestNetOffset), HeaderWord(kDestNodeOffset), 0};
    orig_ = {defaultZone_, HeaderWord(kOrigNetOffset), HeaderWord(kOrigNodeOffset), 0};
    if (status_ != 0) return;  // reads as an empty message

    dateTime_ = ParseMsgDate(HeaderString(kDateOffset, kDateFieldSize));
    ScanText();
    textPos_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
}

// Finds the end of the text (its first NUL, else the end of the file) and
// gives every line that may be an address control line to
// ParseControlLine. Other lines are skipped with memchr: this runs over
// every byte of every message of the area.
void FidoMsgArea::ScanText() {
    std::int64_t end = fileLength_;
    std::int64_t pos = kHeaderSize;
    std::string piece;      // the line so far, LF left out as the line reader does
    bool collecting = true; // at a line that may still be a control line
    auto candidate = [](char c) {
        const char u = static_cast<char>(c & ~0x20);
        return u == 'I' || u == 'T' || u == 'F';
    };
    piece.reserve(kControlPiece);
    while (pos < end) {
        if (!EnsureWindow(pos)) {
            end = pos;
            break;
        }
        const char* w = window_.data() + (pos - windowStart_);
        auto avail = static_cast<std::size_t>(std::min(windowStart_ + windowLength_, end) - pos);
        bool nulFound = false;
        if (const void* nul = std::memchr(w, 0, avail)) {
            avail = static_cast<std::size_t>(static_cast<const char*>(nul) - w);
            nulFound = true;
        }
        std::size_t i = 0;
        while (i < avail) {
            if (!collecting) {
                const void* cr = std::memchr(w + i, '\r', avail - i);
                if (!cr) {
                    i = avail;
                    break;
                }
                i = static_cast<std::size_t>(static_cast<const char*>(cr) - w) + 1;
                collecting = true;
                piece.clear();
                continue;
            }
            const char c = w[i++];
            if (c == '\r') {
                ParseControlLine(piece);
                piece.clear();
                continue;
            }
            if (c == '\n') continue;
            piece += c;
            // Decided after the first four letters (behind one ^A): most
            // lines are passed over here.
            const std::size_t mark = piece[0] == '\x01' ? 1 : 0;
            if (piece.size() == mark + 1 && !candidate(c)) {
                collecting = false;
            } else if (piece.size() == mark + 4) {
                const std::string key = UpperStr(std::string_view(piece).substr(mark));
                if (key != "INTL" && key != "TOPT" && key != "FMPT") collecting = false;
            } else if (piece.size() >= kControlPiece) {
                ParseControlLine(piece);
                collecting = false;
            }
        }
        pos += static_cast<std::int64_t>(avail);
        if (nulFound) {
            end = pos;
            break;
        }
    }
    if (collecting && !piece.empty()) ParseControlLine(piece);
    textEnd_ = end;
}

// ^AINTL <dest> <orig> gives the zones, ^ATOPT <point> and ^AFMPT <point>
// the points. The ^A may be missing, as old software wrote them.
void FidoMsgArea::ParseControlLine(std::string line) {
    if (!line.empty() && line[0] == '\n') line.erase(0, 1);
    if (!line.empty() && line[0] == '\x01') line.erase(0, 1);
    if (line.size() < 4) return;
    const std::string key = UpperStr(line.substr(0, 4));
    auto zoneOf = [](const std::string& word, std::uint16_t& zone) {
        const auto colon = word.find(':');
        std::int32_t z = 0;
        if (colon != std::string::npos && TryStrToLong(word.substr(0, colon), z) && z >= 0 && z <= 0xFFFF)
            zone = static_cast<std::uint16_t>(z);
    };
    auto pointOf = [&](std::uint16_t& point) {
        std::int32_t p = 0;
        if (TryStrToLong(ExtractWord(line, 2), p) && p >= 0 && p <= 0xFFFF) point = static_cast<std::uint16_t>(p);
    };
    if (key == "INTL") {
        zoneOf(ExtractWord(line, 2), dest_.zone);
        zoneOf(ExtractWord(line, 3), orig_.zone);
    } else if (key == "TOPT") {
        pointOf(dest_.point);
    } else if (key == "FMPT") {
        pointOf(orig_.point);
    }
}

// --- Text ---

void FidoMsgArea::StartText() {
    textPos_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
}

char FidoMsgArea::ReadChar() {
    if (textEnded_ || textPos_ >= textEnd_ || textPos_ < kHeaderSize || !EnsureWindow(textPos_)) {
        textEnded_ = true;
        return '\0';
    }
    const char c = window_[static_cast<std::size_t>(textPos_ - windowStart_)];
    if (c == '\0') {  // the file changed under us: the text ends here all the same
        textEnded_ = true;
        return '\0';
    }
    ++textPos_;
    return c;
}

// True as soon as the cursor stands at the end, so that a reading loop gets
// exactly the stored lines and no empty one after them.
bool FidoMsgArea::AtTextEnd() { return textEnded_ || textPos_ >= textEnd_; }

// The shared line rules (MessageArea::ReadTextLine), run straight over the
// window instead of through ReadChar byte by byte: the text of every
// listing message passes through here. The tests and the fuzz target hold
// it to the shared reader line for line.
std::string FidoMsgArea::ReadTextLine(std::uint16_t maxLen) {
    const std::size_t cap = std::clamp<std::size_t>(maxLen, 1, kReadLineCap);
    bool skipSpace = lastLineWrapped_;  // this call continues a wrapped line
    lastLineWrapped_ = true;
    std::string& line = lineBuffer_;
    line.clear();
    std::size_t cutLen = 0;    // length up to and including the last space
    std::int64_t cutPos = -1;  // cursor after that space
    while (!AtTextEnd()) {
        if (textPos_ < kHeaderSize || !EnsureWindow(textPos_)) {
            textEnded_ = true;
            break;
        }
        const std::int64_t stop = std::min(windowStart_ + windowLength_, textEnd_);
        const char* w = window_.data() + (textPos_ - windowStart_);
        if (line.empty() && cutPos < 0) {
            // The common line: at most cap bytes up to a CR, nothing to skip.
            const auto look = static_cast<std::size_t>(std::min<std::int64_t>(stop - textPos_, cap + 1));
            if (const void* cr = std::memchr(w, '\r', look)) {
                const auto len = static_cast<std::size_t>(static_cast<const char*>(cr) - w);
                if (len <= cap && !(skipSpace && len > 0 && w[0] == ' ') && !std::memchr(w, '\n', len) &&
                    !std::memchr(w, '\0', len)) {
                    textPos_ += static_cast<std::int64_t>(len) + 1;
                    lastLineWrapped_ = false;
                    return OemToAnsi(std::string_view(w, len));
                }
            }
        }
        std::int64_t p = textPos_;
        bool done = false;
        while (p < stop) {
            const char c = *w;
            if (line.size() >= cap) {
                if (c == '\r') {
                    ++p;
                    lastLineWrapped_ = false;
                } else if (c == '\0') {
                    textEnded_ = true;
                } else if (cutPos >= 0 && cutLen < line.size()) {
                    line.resize(cutLen);
                    p = cutPos;
                }
                done = true;
                break;
            }
            if (c == '\0') {
                textEnded_ = true;
                done = true;
                break;
            }
            ++p;
            ++w;
            if (c == '\n') continue;
            if (c == '\r') {
                lastLineWrapped_ = false;
                done = true;
                break;
            }
            if (c == ' ') {
                if (skipSpace) {
                    skipSpace = false;
                    continue;
                }
                line += c;
                cutLen = line.size();
                cutPos = p;
                continue;
            }
            skipSpace = false;
            line += c;
        }
        textPos_ = p;
        if (done) break;
    }
    return OemToAnsi(line);
}

std::int64_t FidoMsgArea::GetTextPosition() { return textPos_; }

void FidoMsgArea::SetTextPosition(std::int64_t position) { textPos_ = std::max(position, kHeaderSize); }

// --- Header fields ---

std::string FidoMsgArea::HeaderString(std::size_t offset, std::size_t limit) const {
    const char* p = reinterpret_cast<const char*>(header_.data()) + offset;
    std::size_t n = 0;
    while (n < limit && p[n] != '\0') ++n;
    return std::string(p, n);
}

void FidoMsgArea::PutHeaderString(std::size_t offset, std::size_t fieldSize, const std::string& ansi) {
    std::string oem = AnsiToOem(ansi);
    oem = oem.substr(0, std::min(oem.find('\0'), fieldSize - 1));
    std::fill_n(header_.begin() + static_cast<std::ptrdiff_t>(offset), fieldSize, 0);
    std::memcpy(header_.data() + offset, oem.data(), oem.size());
}

std::uint16_t FidoMsgArea::HeaderWord(std::size_t offset) const {
    return static_cast<std::uint16_t>(header_[offset] | header_[offset + 1] << 8);
}

void FidoMsgArea::PutHeaderWord(std::size_t offset, std::uint16_t value) {
    header_[offset] = static_cast<std::uint8_t>(value & 0xFF);
    header_[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::string FidoMsgArea::GetFromName() { return OemToAnsi(HeaderString(kFromOffset, kNameLimit)); }
std::string FidoMsgArea::GetToName() { return OemToAnsi(HeaderString(kToOffset, kNameLimit)); }
std::string FidoMsgArea::GetSubject() { return CleanSubject(HeaderString(kSubjectOffset, kSubjectLimit)); }
std::uint16_t FidoMsgArea::GetCost() { return HeaderWord(kCostOffset); }
TDateTime FidoMsgArea::GetDateTime() { return dateTime_; }
MsgNumber FidoMsgArea::GetReplyTo() { return HeaderWord(kReplyToOffset); }
MsgNumber FidoMsgArea::GetReplyFirst() { return HeaderWord(kReplyFirstOffset); }
FidoAddress FidoMsgArea::GetOrigAddress() { return orig_; }
FidoAddress FidoMsgArea::GetDestAddress() { return dest_; }

bool FidoMsgArea::Attribute(int bit) const { return (HeaderWord(kAttributeOffset) >> bit) & 1; }

void FidoMsgArea::SetAttribute(int bit, bool on) {
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    const std::uint16_t attr = HeaderWord(kAttributeOffset);
    PutHeaderWord(kAttributeOffset, static_cast<std::uint16_t>(on ? attr | mask : attr & ~mask));
}

bool FidoMsgArea::IsLocal() { return Attribute(kAttrLocal); }
bool FidoMsgArea::IsCrash() { return Attribute(kAttrCrash); }
bool FidoMsgArea::IsKillSent() { return Attribute(kAttrKillSent); }
bool FidoMsgArea::IsSent() { return Attribute(kAttrSent); }
bool FidoMsgArea::IsFileAttach() { return Attribute(kAttrFileAttach); }
bool FidoMsgArea::IsReceiptRequest() { return Attribute(kAttrReceiptRequest); }
bool FidoMsgArea::IsAuditRequest() { return Attribute(kAttrAuditRequest); }
bool FidoMsgArea::IsReceipt() { return Attribute(kAttrIsReceipt); }
bool FidoMsgArea::IsFileRequest() { return Attribute(kAttrFileRequest); }
bool FidoMsgArea::IsReceived() { return Attribute(kAttrReceived); }
bool FidoMsgArea::IsPrivate() { return Attribute(kAttrPrivate); }
bool FidoMsgArea::IsDeleted() { return !TestBit(current_) || !FileExistsPlain(MessageFileName(current_)); }
bool FidoMsgArea::IsEcho() { return true; }
bool FidoMsgArea::IsRead() { return header_[kTimesReadOffset] != 0; }
std::uint16_t FidoMsgArea::GetSubArea() { return 0; }

void FidoMsgArea::SetLocalFlag(bool on) { SetAttribute(kAttrLocal, on); }
void FidoMsgArea::SetReceivedFlag(bool on) { SetAttribute(kAttrReceived, on); }
void FidoMsgArea::SetPrivateFlag(bool on) { SetAttribute(kAttrPrivate, on); }
void FidoMsgArea::SetCrashFlag(bool on) { SetAttribute(kAttrCrash, on); }
void FidoMsgArea::SetKillSentFlag(bool on) { SetAttribute(kAttrKillSent, on); }
void FidoMsgArea::SetSentFlag(bool on) { SetAttribute(kAttrSent, on); }
void FidoMsgArea::SetFileAttachFlag(bool on) { SetAttribute(kAttrFileAttach, on); }
void FidoMsgArea::SetReceiptRequestFlag(bool on) { SetAttribute(kAttrReceiptRequest, on); }
void FidoMsgArea::SetAuditRequestFlag(bool on) { SetAttribute(kAttrAuditRequest, on); }
void FidoMsgArea::SetIsReceiptFlag(bool on) { SetAttribute(kAttrIsReceipt, on); }
void FidoMsgArea::SetFileRequestFlag(bool on) { SetAttribute(kAttrFileRequest, on); }

void FidoMsgArea::SetFormatMark(std::int32_t value) {
    PutHeaderWord(kTimesReadOffset, static_cast<std::uint16_t>(value));
}

void FidoMsgArea::SetFromName(const std::string& name) { PutHeaderString(kFromOffset, kNameLimit + 1, name); }
void FidoMsgArea::SetToName(const std::string& name) { PutHeaderString(kToOffset, kNameLimit + 1, name); }
void FidoMsgArea::SetSubject(const std::string& subject) {
    PutHeaderString(kSubjectOffset, kSubjectLimit + 1, subject);
}
void FidoMsgArea::SetCost(std::uint16_t cost) { PutHeaderWord(kCostOffset, cost); }
void FidoMsgArea::SetReplyTo(MsgNumber n) { PutHeaderWord(kReplyToOffset, static_cast<std::uint16_t>(n)); }
void FidoMsgArea::SetReplyFirst(MsgNumber n) { PutHeaderWord(kReplyFirstOffset, static_cast<std::uint16_t>(n)); }

void FidoMsgArea::SetDateTime(TDateTime t) {
    dateTime_ = t;
    std::fill_n(header_.begin() + kDateOffset, kDateFieldSize, 0);
    const std::string text = FormatMsgDate(t);
    std::memcpy(header_.data() + kDateOffset, text.data(), std::min(text.size(), kDateFieldSize - 1));
}

// Address control lines go into the text only for netmail (mail kind 2).
void FidoMsgArea::SetDestAddress(const FidoAddress& a) {
    dest_ = a;
    PutHeaderWord(kDestNetOffset, a.net);
    PutHeaderWord(kDestNodeOffset, a.node);
    if (!composing_ || mailKind_ != 2) return;
    if (a.point != 0) WriteTextLine("\x01TOPT " + std::to_string(a.point));
    if (orig_.zone != 0) WriteTextLine("\x01INTL " + AddressToStr3D(dest_) + " " + AddressToStr3D(orig_));
}

void FidoMsgArea::SetOrigAddress(const FidoAddress& a) {
    orig_ = a;
    PutHeaderWord(kOrigNetOffset, a.net);
    PutHeaderWord(kOrigNodeOffset, a.node);
    if (!composing_ || mailKind_ != 2) return;
    if (a.point != 0) WriteTextLine("\x01" "FMPT " + std::to_string(a.point));
    if (dest_.zone != 0) WriteTextLine("\x01INTL " + AddressToStr3D(dest_) + " " + AddressToStr3D(orig_));
}

void FidoMsgArea::SetMailKind(std::uint8_t kind) { mailKind_ = kind; }

// --- Writing ---

void FidoMsgArea::StartNewMessage() {
    DropTempFile();
    CloseMessageFile();
    header_.fill(0);
    dest_ = orig_ = {};
    dateTime_ = 0;
    textPos_ = textEnd_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
    composing_ = true;
    tempName_ = MakeTempName(path_);
    status_ = tempName_.empty() ? kNoTempName : 0;
}

void FidoMsgArea::WriteText(const std::string& text) {
    for (char c : text) WriteChar(c);
}

void FidoMsgArea::WriteChar(char c) {
    if (composing_) newText_ += AnsiToOemChar(c);
}

void FidoMsgArea::WriteTextLine(const std::string& text) {
    WriteText(text);
    WriteChar('\r');
}

// The composed message goes to its temporary file, which is then linked in
// under the next free number: link() never replaces a file that another
// program created meanwhile (rename would), so no message is overwritten.
ResultCode FidoMsgArea::SaveMessage() {
    if (!composing_) return kIoInvalidHandle;
    if (status_ != 0) return status_;
    const std::uint32_t written = DateTimeToDosDate(dateTime_), arrived = NowDosDate();
    for (int i = 0; i < 4; ++i) {
        header_[kDateWrittenOffset + i] = static_cast<std::uint8_t>(written >> (8 * i));
        header_[kDateArrivedOffset + i] = static_cast<std::uint8_t>(arrived >> (8 * i));
    }
    std::string bytes(reinterpret_cast<const char*>(header_.data()), header_.size());
    bytes += newText_;
    bytes += '\0';
    {
        FileHandle f;
        if (!CreateTruncate(f, tempName_, kModeReadWrite)) {
            DropTempFile();
            return status_ = kCannotCreateTemp;
        }
        if (!WriteBlock(f, bytes.data(), bytes.size())) {
            const ResultCode rc = LastIoError;
            f.Close();
            DropTempFile();
            return rc;
        }
        if (const ResultCode rc = f.Close(); rc != 0) {
            DropTempFile();
            return rc;
        }
    }
    auto taken = [&](MsgNumber n) {
        struct stat st {};
        const std::string base = path_ + std::to_string(n);
        for (const char* ext : {".msg", ".MSG", ".Msg"})
            if (::lstat((base + ext).c_str(), &st) == 0) return true;
        return false;
    };
    ResultCode rc = kAreaFull;
    MsgNumber n = GetHighNumber() + 1;
    for (int attempt = 0; attempt < 64 && n <= kMaxNumber; ++attempt) {
        if (taken(n)) {  // another program wrote messages since the area was opened
            RebuildBitmap();
            n = std::max(n + 1, GetHighNumber() + 1);
            continue;
        }
        const std::string target = path_ + std::to_string(n) + ".msg";
        if (::link(tempName_.c_str(), target.c_str()) == 0) {
            rc = 0;
            break;
        }
        if (errno == EEXIST) continue;  // taken() sees it next round
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
            rc = RenameFile(tempName_, target);  // no hard links here
            if (rc == 0) tempName_.clear();
        } else {
            rc = IoResultFromErrno(errno);
        }
        break;
    }
    if (rc == 0) {
        NoteName(n, std::to_string(n) + ".msg", true);
        current_ = n;
    }
    DropTempFile();
    return rc;
}

void FidoMsgArea::RewriteHeader() {
    if (composing_ || status_ != 0 || !TestBit(current_)) return;
    FileHandle f;
    if (OpenExisting(f, fileName_, kModeReadWrite)) WriteBlock(f, header_.data(), header_.size());
    if (windowStart_ == 0 && windowLength_ > 0)
        std::memcpy(window_.data(), header_.data(),
                    static_cast<std::size_t>(std::min<std::int64_t>(windowLength_, kHeaderSize)));
}

void FidoMsgArea::DeleteCurrent() {
    CloseMessageFile();
    textEnd_ = kHeaderSize;
    if (current_ < 1 || current_ > kMaxNumber) return;
    const std::string name = TestBit(current_) ? MessageFileName(current_)
                                               : ResolveNameNoCase(path_ + std::to_string(current_) + ".msg");
    if (FileExistsPlain(name)) EraseFile(name);  // a file that stays is not seen again until the next open
    SetBit(current_, false);
}

// --- Search by addressee ---

void FidoMsgArea::FindAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = AnsiUpper(name.substr(0, kNameLimit));
    findAlias_ = AnsiUpper(alias.substr(0, kNameLimit));
    current_ = 0;
    FindAddressedNext();
}

void FidoMsgArea::FindAddressedNext() {
    for (LocateNext(); IsLocated(); LocateNext()) {
        LoadHeader();
        const std::string to = AnsiUpper(GetToName());
        if ((to == findName_ || to == findAlias_) && !IsReceived()) return;
    }
}

bool FidoMsgArea::FoundAddressed() { return IsLocated(); }

// --- Last-read pointers ---

std::string FidoMsgArea::LastReadFileName() const { return ResolveNameNoCase(path_ + "lastread"); }

MsgNumber FidoMsgArea::GetLastRead(std::int32_t user) {
    if (user < 0) return 0;
    const std::string name = LastReadFileName();
    const std::int64_t offset = 2 * static_cast<std::int64_t>(user);
    if (FileSizeByName(name) < offset + 2) return 0;
    std::uint8_t b[2] = {0, 0};
    if (ReadAt(name, b, 2, offset) != 0) return 0;
    return b[0] | b[1] << 8;
}

// The file grows to the user's slot; user numbers are 16-bit, so it stays
// within 128 KB whatever the caller passes.
void FidoMsgArea::SetLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || user > 0xFFFF) return;
    const std::string name = LastReadFileName();
    const std::int64_t offset = 2 * static_cast<std::int64_t>(user);
    if (ExtendFile(name, offset + 2) != 0) return;
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>((n >> 8) & 0xFF)};
    WriteAt(name, b, 2, offset);
}

void RegisterFidoMsgArea() { RegisterAreaKind('F', &MakeArea<FidoMsgArea>); }

}  // namespace orbisk
