#include "msgbase/fidomsgarea.h"

#include <dirent.h>
#include <fcntl.h>
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

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Two digits of a fixed-width date text; -1 when they are not digits.
int twoDigits(const std::string& s, std::size_t at) {
    if (!isDigit(s[at]) || !isDigit(s[at + 1])) return -1;
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// "MON" -> "01".."12"; "00" for an unknown name (which then fails as a date).
std::string monthDigits(std::string_view name) {
    const std::string up = upperStr(name);
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
// blanks in them count as "0". Two-digit years as expandTwoDigitYear. 0 when the
// text is none of these or names no valid date and time.
DateTime parseMsgDate(std::string f) {
    f.resize(kDateFieldSize, ' ');
    std::string date, time;
    auto mdy = [](std::string_view month, std::string_view day, std::string_view year) {
        return std::string(month) + "-" + std::string(day) + "-" + std::string(year);
    };
    const std::string_view v(f);
    if (f[2] == ' ' && f[10] == ' ') {
        date = mdy(monthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
        time = f.substr(11, 5);
    } else if (f[2] == ' ') {
        date = mdy(monthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
        time = f.substr(10, 5);
    } else if (f[3] == ' ') {
        date = mdy(monthDigits(v.substr(7, 3)), v.substr(4, 2), v.substr(11, 2));
        time = f.substr(14, 5);
    } else if (f[2] == '-') {
        if (isDigit(f[3])) {
            date = f.substr(0, 8);
            time = f.substr(9, 5);
        } else {
            date = mdy(monthDigits(v.substr(3, 3)), v.substr(0, 2), v.substr(7, 2));
            time = f.substr(10, 5);
        }
    } else {
        return 0;
    }
    std::replace(date.begin(), date.end(), ' ', '0');
    std::replace(time.begin(), time.end(), ' ', '0');
    if (date[2] != '-' || date[5] != '-' || time[2] != ':') return 0;
    const int month = twoDigits(date, 0), day = twoDigits(date, 3), year = twoDigits(date, 6);
    const int hour = twoDigits(time, 0), minute = twoDigits(time, 3);
    if (month < 0 || day < 0 || year < 0 || hour < 0 || minute < 0) return 0;
    DateTime d = 0, t = 0;
    if (!tryEncodeDate(expandTwoDigitYear(year), month, day, d)) return 0;
    if (!tryEncodeTime(hour, minute, 0, 0, t)) return 0;
    return d + t;
}

// "DD Mon YY  HH:MM:SS", month names in English whatever the locale.
std::string formatMsgDate(DateTime t) {
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0, ms = 0;
    decodeDate(t, y, m, d);
    decodeTime(t, hh, mm, ss, ms);
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
MsgNumber numberOfName(const char* name, std::size_t len) {
    if (len < 5 || len > 14) return 0;  // at most 10 digits
    const char* ext = name + len - 4;
    if (ext[0] != '.' || lowerAscii(ext[1]) != 'm' || lowerAscii(ext[2]) != 's' || lowerAscii(ext[3]) != 'g')
        return 0;
    std::uint64_t v = 0;
    for (const char* p = name; p < ext; ++p) {
        if (!isDigit(*p)) return 0;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (v > 0x7FFFFFFFu) return 0;  // not a 32-bit number
    return static_cast<MsgNumber>(v % 65536);
}

// The number is written plainly (no leading zeros, not wrapped round).
bool plainName(std::string_view name, MsgNumber n) {
    const std::string digits = std::to_string(n);
    return name.size() == digits.size() + 4 && name.substr(0, digits.size()) == digits;
}

}  // namespace

FidoMsgArea::FidoMsgArea() : nameKind_(kMaxNumber + 1, kNoName), window_(kWindowSize) {}

FidoMsgArea::~FidoMsgArea() { FidoMsgArea::destroy(); }

void FidoMsgArea::destroy() {
    closeMessageFile();
    dropTempFile();
}

// The path is kept whole: cutting it to a shorter prefix would name another
// directory, and deletions would then hit the wrong area.
void FidoMsgArea::setAreaPath(const std::string& path) { path_ = addBackslash(path); }

ResultCode FidoMsgArea::openArea() {
    rebuildBitmap();
    current_ = 0;
    return directoryExists(path_) ? 0 : kNoDirectory;
}

ResultCode FidoMsgArea::closeArea() {
    closeMessageFile();
    return 0;
}

ResultCode FidoMsgArea::createArea() { return ensureDirectory(path_) ? 0 : 1; }

bool FidoMsgArea::areaExists() { return directoryExists(path_); }

// --- Numbers and names ---

bool FidoMsgArea::testBit(MsgNumber n) const {
    if (n < 1 || n > kMaxNumber) return false;
    return (bitmap_[static_cast<std::size_t>(n) / 8] >> (n % 8)) & 1;
}

void FidoMsgArea::setBit(MsgNumber n, bool on) {
    if (n < 1 || n > kMaxNumber) return;
    auto& byte = bitmap_[static_cast<std::size_t>(n) / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (n % 8));
    byte = static_cast<std::uint8_t>(on ? byte | mask : byte & ~mask);
    if (!on) {
        nameKind_[static_cast<std::size_t>(n)] = kNoName;
        otherNames_.erase(n);
    }
}

std::string FidoMsgArea::messageFileName(MsgNumber n) const {
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

void FidoMsgArea::noteName(MsgNumber n, const std::string& name, bool plain) {
    if (testBit(n)) {
        // Two names for one number: the plainly written one, then the one
        // first in byte order, whatever order the directory lists them in.
        const std::string held = messageFileName(n).substr(path_.size());
        const bool heldPlain = plainName(held, n);
        if (heldPlain != plain ? heldPlain : held <= name) return;
    }
    setBit(n, true);
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
void FidoMsgArea::rebuildBitmap() {
    bitmap_.fill(0);
    std::fill(nameKind_.begin(), nameKind_.end(), kNoName);
    otherNames_.clear();
    DIR* d = ::opendir(path_.empty() ? "." : path_.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        const std::size_t len = std::strlen(e->d_name);
        const MsgNumber n = numberOfName(e->d_name, len);
        if (n < 1 || n > kMaxNumber) continue;
        if (e->d_type != DT_REG) {
            if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
            struct stat st {};
            if (::stat((path_ + e->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        }
        const std::string name(e->d_name, len);
        noteName(n, name, plainName(name, n));
    }
    ::closedir(d);
}

// --- Locating ---

void FidoMsgArea::locateFrom(MsgNumber n) {
    current_ = std::clamp<MsgNumber>(n, 1, kMaxNumber + 1) - 1;
    locateNext();
}

void FidoMsgArea::locateNext() {
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

void FidoMsgArea::locatePrior() {
    MsgNumber n = std::min<MsgNumber>(current_, kMaxNumber + 1);
    if (n <= 0) {
        current_ = 0;
        return;
    }
    do --n;
    while (n > 0 && !testBit(n));
    current_ = n;
}

bool FidoMsgArea::isLocated() { return current_ != 0; }

MsgNumber FidoMsgArea::getMessageNumber() { return current_; }
std::int32_t FidoMsgArea::getPosition() { return current_; }
void FidoMsgArea::setPosition(std::int32_t position) { current_ = position; }

MsgNumber FidoMsgArea::getHighNumber() {
    for (MsgNumber n = kMaxNumber; n >= 1; --n)
        if (testBit(n)) return n;
    return 0;
}

std::int32_t FidoMsgArea::countMessages() {
    std::int32_t count = 0;
    for (MsgNumber n = 1; n <= kMaxNumber; ++n) count += testBit(n) ? 1 : 0;
    return count;
}

// --- The message file ---

void FidoMsgArea::closeMessageFile() {
    file_.close();
    windowStart_ = windowLength_ = 0;
}

void FidoMsgArea::dropTempFile() {
    if (!tempName_.empty()) eraseFile(tempName_);
    tempName_.clear();
    newText_.clear();
    composing_ = false;
}

// Brings the bytes at pos into the window; false at the end of the file or
// when it cannot be read.
bool FidoMsgArea::ensureWindow(std::int64_t pos) {
    if (pos >= windowStart_ && pos < windowStart_ + windowLength_) return true;
    windowStart_ = pos;
    windowLength_ = 0;
    if (!file_.isOpen() || pos < 0 || pos >= fileLength_) return false;
    if (!seekFile(file_, pos)) return false;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(fileLength_ - pos, kWindowSize));
    std::size_t got = 0;
    if (!readBlock(file_, window_.data(), want, got)) return false;
    windowLength_ = static_cast<std::int64_t>(got);
    return got > 0;
}

// The start of a freshly opened file: one read() gives the whole of an
// ordinary message, and its length with it; only a file that fills the
// window is asked for its size.
bool FidoMsgArea::firstWindow() {
    windowStart_ = windowLength_ = fileLength_ = 0;
    std::size_t got = 0;
    if (!readBlock(file_, window_.data(), window_.size(), got)) return false;
    windowLength_ = static_cast<std::int64_t>(got);
    fileLength_ = windowLength_;
    if (got == window_.size()) fileLength_ = std::max(fileSizeOf(file_), windowLength_);
    return true;
}

void FidoMsgArea::loadHeader() {
    closeMessageFile();
    dropTempFile();
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
        fileName_ = testBit(current_) ? messageFileName(current_)
                                      : resolveNameNoCase(path_ + std::to_string(current_) + ".msg");
        // Read-only: reading needs no more, and read-only message files
        // (a tosser's, another user's) must still read.
        if (!openExisting(file_, fileName_, kModeReadOnly)) {
            status_ = lastIoError == kIoFileNotFound || lastIoError == kIoPathNotFound ? kFileNotFound : kCannotOpen;
        } else if (!firstWindow()) {
            status_ = kCannotOpen;
            closeMessageFile();
        } else {
            std::memcpy(header_.data(), window_.data(),
                        static_cast<std::size_t>(std::min<std::int64_t>(windowLength_, kHeaderSize)));
        }
    }

    dest_ = {defaultZone_, headerWord(kDestNetOffset), headerWord(kDestNodeOffset), 0};
    orig_ = {defaultZone_, headerWord(kOrigNetOffset), headerWord(kOrigNodeOffset), 0};
    if (status_ != 0) return;  // reads as an empty message

    dateTime_ = parseMsgDate(headerString(kDateOffset, kDateFieldSize));
    scanText();
    textPos_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
}

// Finds the end of the text (its first NUL, else the end of the file) and
// gives every line that may be an address control line to
// parseControlLine. Other lines are skipped with memchr: this runs over
// every byte of every message of the area.
void FidoMsgArea::scanText() {
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
        if (!ensureWindow(pos)) {
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
                parseControlLine(piece);
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
                const std::string key = upperStr(std::string_view(piece).substr(mark));
                if (key != "INTL" && key != "TOPT" && key != "FMPT") collecting = false;
            } else if (piece.size() >= kControlPiece) {
                parseControlLine(piece);
                collecting = false;
            }
        }
        pos += static_cast<std::int64_t>(avail);
        if (nulFound) {
            end = pos;
            break;
        }
    }
    if (collecting && !piece.empty()) parseControlLine(piece);
    textEnd_ = end;
}

// ^AINTL <dest> <orig> gives the zones, ^ATOPT <point> and ^AFMPT <point>
// the points. The ^A may be missing, as old software wrote them.
void FidoMsgArea::parseControlLine(std::string line) {
    if (!line.empty() && line[0] == '\n') line.erase(0, 1);
    if (!line.empty() && line[0] == '\x01') line.erase(0, 1);
    if (line.size() < 4) return;
    const std::string key = upperStr(line.substr(0, 4));
    auto zoneOf = [](const std::string& word, std::uint16_t& zone) {
        const auto colon = word.find(':');
        std::int32_t z = 0;
        if (colon != std::string::npos && tryStrToLong(word.substr(0, colon), z) && z >= 0 && z <= 0xFFFF)
            zone = static_cast<std::uint16_t>(z);
    };
    auto pointOf = [&](std::uint16_t& point) {
        std::int32_t p = 0;
        if (tryStrToLong(extractWord(line, 2), p) && p >= 0 && p <= 0xFFFF) point = static_cast<std::uint16_t>(p);
    };
    if (key == "INTL") {
        zoneOf(extractWord(line, 2), dest_.zone);
        zoneOf(extractWord(line, 3), orig_.zone);
    } else if (key == "TOPT") {
        pointOf(dest_.point);
    } else if (key == "FMPT") {
        pointOf(orig_.point);
    }
}

// --- Text ---

void FidoMsgArea::startText() {
    textPos_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
}

char FidoMsgArea::readChar() {
    if (textEnded_ || textPos_ >= textEnd_ || textPos_ < kHeaderSize || !ensureWindow(textPos_)) {
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
bool FidoMsgArea::atTextEnd() { return textEnded_ || textPos_ >= textEnd_; }

// The shared line rules (MessageArea::readTextLine), run straight over the
// window instead of through readChar byte by byte: the text of every
// listing message passes through here. The tests and the fuzz target hold
// it to the shared reader line for line.
void FidoMsgArea::readLineInto(std::string& line, std::uint16_t maxLen) {
    const std::size_t cap = std::clamp<std::size_t>(maxLen, 1, kReadLineCap);
    bool skipSpace = lastLineWrapped_;  // this call continues a wrapped line
    lastLineWrapped_ = true;
    line.clear();
    std::size_t cutLen = 0;    // length up to and including the last space
    std::int64_t cutPos = -1;  // cursor after that space
    while (!atTextEnd()) {
        if (textPos_ < kHeaderSize || !ensureWindow(textPos_)) {
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
                    line.assign(w, len);
                    oemToAnsiInPlace(line);
                    return;
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
    oemToAnsiInPlace(line);
}

std::string FidoMsgArea::readTextLine(std::uint16_t maxLen) {
    std::string line;
    readLineInto(line, maxLen);
    return line;
}

void FidoMsgArea::readTextLineNoKludgeInto(std::string& line, std::uint16_t maxLen) {
    skipControlLines(line, [&](std::string& l) { readLineInto(l, maxLen); });
}

std::int64_t FidoMsgArea::getTextPosition() { return textPos_; }

void FidoMsgArea::setTextPosition(std::int64_t position) { textPos_ = std::max(position, kHeaderSize); }

// --- Header fields ---

std::string FidoMsgArea::headerString(std::size_t offset, std::size_t limit) const {
    const char* p = reinterpret_cast<const char*>(header_.data()) + offset;
    std::size_t n = 0;
    while (n < limit && p[n] != '\0') ++n;
    return std::string(p, n);
}

void FidoMsgArea::putHeaderString(std::size_t offset, std::size_t fieldSize, const std::string& ansi) {
    std::string oem = ansiToOem(ansi);
    oem = oem.substr(0, std::min(oem.find('\0'), fieldSize - 1));
    std::fill_n(header_.begin() + static_cast<std::ptrdiff_t>(offset), fieldSize, 0);
    std::memcpy(header_.data() + offset, oem.data(), oem.size());
}

std::uint16_t FidoMsgArea::headerWord(std::size_t offset) const {
    return static_cast<std::uint16_t>(header_[offset] | header_[offset + 1] << 8);
}

void FidoMsgArea::putHeaderWord(std::size_t offset, std::uint16_t value) {
    header_[offset] = static_cast<std::uint8_t>(value & 0xFF);
    header_[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::string FidoMsgArea::getFromName() { return oemToAnsi(headerString(kFromOffset, kNameLimit)); }
std::string FidoMsgArea::getToName() { return oemToAnsi(headerString(kToOffset, kNameLimit)); }
std::string FidoMsgArea::getSubject() { return cleanSubject(headerString(kSubjectOffset, kSubjectLimit)); }
std::uint16_t FidoMsgArea::getCost() { return headerWord(kCostOffset); }
DateTime FidoMsgArea::getDateTime() { return dateTime_; }
MsgNumber FidoMsgArea::getReplyTo() { return headerWord(kReplyToOffset); }
MsgNumber FidoMsgArea::getReplyFirst() { return headerWord(kReplyFirstOffset); }
FidoAddress FidoMsgArea::getOrigAddress() { return orig_; }
FidoAddress FidoMsgArea::getDestAddress() { return dest_; }

bool FidoMsgArea::attribute(int bit) const { return (headerWord(kAttributeOffset) >> bit) & 1; }

void FidoMsgArea::setAttribute(int bit, bool on) {
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    const std::uint16_t attr = headerWord(kAttributeOffset);
    putHeaderWord(kAttributeOffset, static_cast<std::uint16_t>(on ? attr | mask : attr & ~mask));
}

bool FidoMsgArea::isLocal() { return attribute(kAttrLocal); }
bool FidoMsgArea::isCrash() { return attribute(kAttrCrash); }
bool FidoMsgArea::isKillSent() { return attribute(kAttrKillSent); }
bool FidoMsgArea::isSent() { return attribute(kAttrSent); }
bool FidoMsgArea::isFileAttach() { return attribute(kAttrFileAttach); }
bool FidoMsgArea::isReceiptRequest() { return attribute(kAttrReceiptRequest); }
bool FidoMsgArea::isAuditRequest() { return attribute(kAttrAuditRequest); }
bool FidoMsgArea::isReceipt() { return attribute(kAttrIsReceipt); }
bool FidoMsgArea::isFileRequest() { return attribute(kAttrFileRequest); }
bool FidoMsgArea::isReceived() { return attribute(kAttrReceived); }
bool FidoMsgArea::isPrivate() { return attribute(kAttrPrivate); }
bool FidoMsgArea::isDeleted() { return !testBit(current_) || !fileExistsPlain(messageFileName(current_)); }
bool FidoMsgArea::isEcho() { return true; }
bool FidoMsgArea::isRead() { return header_[kTimesReadOffset] != 0; }
std::uint16_t FidoMsgArea::getSubArea() { return 0; }

void FidoMsgArea::setLocalFlag(bool on) { setAttribute(kAttrLocal, on); }
void FidoMsgArea::setReceivedFlag(bool on) { setAttribute(kAttrReceived, on); }
void FidoMsgArea::setPrivateFlag(bool on) { setAttribute(kAttrPrivate, on); }
void FidoMsgArea::setCrashFlag(bool on) { setAttribute(kAttrCrash, on); }
void FidoMsgArea::setKillSentFlag(bool on) { setAttribute(kAttrKillSent, on); }
void FidoMsgArea::setSentFlag(bool on) { setAttribute(kAttrSent, on); }
void FidoMsgArea::setFileAttachFlag(bool on) { setAttribute(kAttrFileAttach, on); }
void FidoMsgArea::setReceiptRequestFlag(bool on) { setAttribute(kAttrReceiptRequest, on); }
void FidoMsgArea::setAuditRequestFlag(bool on) { setAttribute(kAttrAuditRequest, on); }
void FidoMsgArea::setIsReceiptFlag(bool on) { setAttribute(kAttrIsReceipt, on); }
void FidoMsgArea::setFileRequestFlag(bool on) { setAttribute(kAttrFileRequest, on); }

void FidoMsgArea::setFormatMark(std::int32_t value) {
    putHeaderWord(kTimesReadOffset, static_cast<std::uint16_t>(value));
}

void FidoMsgArea::setFromName(const std::string& name) { putHeaderString(kFromOffset, kNameLimit + 1, name); }
void FidoMsgArea::setToName(const std::string& name) { putHeaderString(kToOffset, kNameLimit + 1, name); }
void FidoMsgArea::setSubject(const std::string& subject) {
    putHeaderString(kSubjectOffset, kSubjectLimit + 1, subject);
}
void FidoMsgArea::setCost(std::uint16_t cost) { putHeaderWord(kCostOffset, cost); }
void FidoMsgArea::setReplyTo(MsgNumber n) { putHeaderWord(kReplyToOffset, static_cast<std::uint16_t>(n)); }
void FidoMsgArea::setReplyFirst(MsgNumber n) { putHeaderWord(kReplyFirstOffset, static_cast<std::uint16_t>(n)); }

void FidoMsgArea::setDateTime(DateTime t) {
    dateTime_ = t;
    std::fill_n(header_.begin() + kDateOffset, kDateFieldSize, 0);
    const std::string text = formatMsgDate(t);
    std::memcpy(header_.data() + kDateOffset, text.data(), std::min(text.size(), kDateFieldSize - 1));
}

// Address control lines go into the text only for netmail (mail kind 2).
void FidoMsgArea::setDestAddress(const FidoAddress& a) {
    dest_ = a;
    putHeaderWord(kDestNetOffset, a.net);
    putHeaderWord(kDestNodeOffset, a.node);
    if (!composing_ || mailKind_ != 2) return;
    if (a.point != 0) writeTextLine("\x01TOPT " + std::to_string(a.point));
    if (orig_.zone != 0) writeTextLine("\x01INTL " + addressToStr3D(dest_) + " " + addressToStr3D(orig_));
}

void FidoMsgArea::setOrigAddress(const FidoAddress& a) {
    orig_ = a;
    putHeaderWord(kOrigNetOffset, a.net);
    putHeaderWord(kOrigNodeOffset, a.node);
    if (!composing_ || mailKind_ != 2) return;
    if (a.point != 0) writeTextLine("\x01" "FMPT " + std::to_string(a.point));
    if (dest_.zone != 0) writeTextLine("\x01INTL " + addressToStr3D(dest_) + " " + addressToStr3D(orig_));
}

void FidoMsgArea::setMailKind(std::uint8_t kind) { mailKind_ = kind; }

// --- Writing ---

void FidoMsgArea::startNewMessage() {
    dropTempFile();
    closeMessageFile();
    header_.fill(0);
    dest_ = orig_ = {};
    dateTime_ = 0;
    textPos_ = textEnd_ = kHeaderSize;
    textEnded_ = false;
    lastLineWrapped_ = false;
    composing_ = true;
    tempName_ = makeTempName(path_);
    status_ = tempName_.empty() ? kNoTempName : 0;
}

void FidoMsgArea::writeText(const std::string& text) {
    for (char c : text) writeChar(c);
}

void FidoMsgArea::writeChar(char c) {
    if (composing_) newText_ += ansiToOemChar(c);
}

void FidoMsgArea::writeTextLine(const std::string& text) {
    writeText(text);
    writeChar('\r');
}

namespace {

// Creates `name` only when nothing is there yet and writes `bytes` into it;
// 80 (file exists) when another program made it first. A file we created
// but could not fill is removed again.
ResultCode writeNewFile(const std::string& name, const std::string& bytes) {
    int fd;
    do fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return ioResultFromErrno(errno);
    FileHandle f(fd);
    ResultCode rc = writeBlock(f, bytes.data(), bytes.size()) ? 0 : lastIoError;
    if (const ResultCode closed = f.close(); rc == 0) rc = closed;
    if (rc != 0) ::unlink(name.c_str());
    return rc;
}

}  // namespace

// The composed message goes to its temporary file, which is then linked in
// under the next free number: link() never replaces a file that another
// program created meanwhile (rename would), so no message is overwritten.
// Where the file system has no hard links, the message file is created
// exclusively instead, with the same guarantee.
ResultCode FidoMsgArea::saveMessage() {
    if (!composing_) return kIoInvalidHandle;
    if (status_ != 0) return status_;
    const std::uint32_t written = dateTimeToDosDate(dateTime_), arrived = nowDosDate();
    for (int i = 0; i < 4; ++i) {
        header_[kDateWrittenOffset + i] = static_cast<std::uint8_t>(written >> (8 * i));
        header_[kDateArrivedOffset + i] = static_cast<std::uint8_t>(arrived >> (8 * i));
    }
    std::string bytes(reinterpret_cast<const char*>(header_.data()), header_.size());
    bytes += newText_;
    bytes += '\0';
    {
        FileHandle f;
        if (!createTruncate(f, tempName_, kModeReadWrite)) {
            dropTempFile();
            return status_ = kCannotCreateTemp;
        }
        if (!writeBlock(f, bytes.data(), bytes.size())) {
            const ResultCode rc = lastIoError;
            f.close();
            dropTempFile();
            return rc;
        }
        if (const ResultCode rc = f.close(); rc != 0) {
            dropTempFile();
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
    MsgNumber n = getHighNumber() + 1;
    bool hardLinks = true;
    for (int attempt = 0; attempt < 64 && n <= kMaxNumber; ++attempt) {
        if (taken(n)) {  // another program wrote messages since the area was opened
            rebuildBitmap();
            n = std::max(n + 1, getHighNumber() + 1);
            continue;
        }
        const std::string target = path_ + std::to_string(n) + ".msg";
        if (hardLinks) {
            if (::link(tempName_.c_str(), target.c_str()) == 0) {
                rc = 0;
                break;
            }
            if (errno == EEXIST) continue;  // taken() sees it next round
            if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK) {
                rc = ioResultFromErrno(errno);
                break;
            }
            hardLinks = false;
        }
        rc = writeNewFile(target, bytes);
        if (rc != kIoFileExists) break;
    }
    if (rc == 0) {
        noteName(n, std::to_string(n) + ".msg", true);
        current_ = n;
    }
    dropTempFile();
    return rc;
}

void FidoMsgArea::rewriteHeader() {
    if (composing_ || status_ != 0 || !testBit(current_)) return;
    FileHandle f;
    if (openExisting(f, fileName_, kModeReadWrite)) writeBlock(f, header_.data(), header_.size());
    if (windowStart_ == 0 && windowLength_ > 0)
        std::memcpy(window_.data(), header_.data(),
                    static_cast<std::size_t>(std::min<std::int64_t>(windowLength_, kHeaderSize)));
}

ResultCode FidoMsgArea::deleteCurrent() {
    closeMessageFile();
    textEnd_ = kHeaderSize;
    if (current_ < 1 || current_ > kMaxNumber) return kIoFileNotFound;
    const std::string name = testBit(current_) ? messageFileName(current_)
                                               : resolveNameNoCase(path_ + std::to_string(current_) + ".msg");
    const ResultCode rc = eraseFile(name);
    // A file that stays is not seen again until the next open.
    setBit(current_, false);
    return rc;
}

bool FidoMsgArea::isHeaderLoaded() { return status_ == 0 && current_ >= 1; }

std::int64_t FidoMsgArea::getIdentityKey() { return isHeaderLoaded() ? 0 : -1; }

// --- Search by addressee ---

void FidoMsgArea::findAddressedFirst(const std::string& name, const std::string& alias) {
    findName_ = ansiUpper(name.substr(0, kNameLimit));
    findAlias_ = ansiUpper(alias.substr(0, kNameLimit));
    current_ = 0;
    findAddressedNext();
}

void FidoMsgArea::findAddressedNext() {
    for (locateNext(); isLocated(); locateNext()) {
        loadHeader();
        const std::string to = ansiUpper(getToName());
        if ((to == findName_ || to == findAlias_) && !isReceived()) return;
    }
}

bool FidoMsgArea::foundAddressed() { return isLocated(); }

// --- Last-read pointers ---

std::string FidoMsgArea::lastReadFileName() const { return resolveNameNoCase(path_ + "lastread"); }

MsgNumber FidoMsgArea::getLastRead(std::int32_t user) {
    if (user < 0) return 0;
    const std::string name = lastReadFileName();
    const std::int64_t offset = 2 * static_cast<std::int64_t>(user);
    if (fileSizeByName(name) < offset + 2) return 0;
    std::uint8_t b[2] = {0, 0};
    if (readAt(name, b, 2, offset) != 0) return 0;
    return b[0] | b[1] << 8;
}

// The file grows to the user's slot; user numbers are 16-bit, so it stays
// within 128 KB whatever the caller passes.
void FidoMsgArea::setLastRead(std::int32_t user, MsgNumber n) {
    if (user < 0 || user > 0xFFFF) return;
    const std::string name = lastReadFileName();
    const std::int64_t offset = 2 * static_cast<std::int64_t>(user);
    if (extendFile(name, offset + 2) != 0) return;
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>((n >> 8) & 0xFF)};
    writeAt(name, b, 2, offset);
}

void registerFidoMsgArea() { registerAreaKind('F', &makeArea<FidoMsgArea>); }

}  // namespace orbisk
