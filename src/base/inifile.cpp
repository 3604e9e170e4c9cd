#include "base/inifile.h"

#include <atomic>
#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/codepage.h"
#include "base/error.h"
#include "base/strings.h"

namespace orbisk {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr auto npos = std::string::npos;

std::string_view trim(std::string_view s) {
    auto b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

// A CR or LF inside a written name or value would start a new line.
std::string oneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

IniFile::IniFile(const std::string& path) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    path_ = ec ? path : abs.lexically_normal().string();
}

bool IniFile::exists() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

IniFile::Line IniFile::parseLine(std::string text, std::string eol) {
    Line l;
    l.text = std::move(text);
    l.eol = std::move(eol);
    std::string_view t = trim(l.text);
    if (t.empty() || t[0] == ';') return l;
    if (t[0] == '[') {
        auto close = t.find(']');
        if (close != std::string_view::npos) {
            l.kind = Kind::Section;
            l.name = trim(t.substr(1, close - 1));
        }
        return l;
    }
    auto eq = t.find('=');
    if (eq == std::string_view::npos) return l;
    auto key = trim(t.substr(0, eq));
    if (key.empty()) return l;
    l.kind = Kind::Key;
    l.name = key;
    auto v = trim(t.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    l.value = v.substr(0, kMaxValueLength);
    return l;
}

IniFile::Stamp IniFile::stampOf(const struct ::stat& st) {
    Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    s.ctimeSec = st.st_ctim.tv_sec;
    s.ctimeNsec = st.st_ctim.tv_nsec;
    return s;
}

void IniFile::refresh() const {
    auto forget = [this](bool unreadable) {
        lines_.clear();
        stamp_ = {};
        unreadable_ = unreadable;
        utf8_ = false;
        loaded_ = true;
    };
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) {
        forget(errno != ENOENT && errno != ENOTDIR);
        return;
    }
    if (loaded_ && !unreadable_ && stampOf(st) == stamp_) return;

    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        forget(errno != ENOENT && errno != ENOTDIR);
        return;
    }
    std::string data;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            data.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!ok) {
        forget(true);
        return;
    }

    // A file saved by a Windows editor as UTF-8 starts with a byte-order
    // mark: its text is UTF-8, and it is written back the same way.
    utf8_ = data.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0;
    std::vector<Line> lines;
    auto add = [&](std::string text, const char* eol) {
        if (!utf8_) {
            lines.push_back(parseLine(std::move(text), eol));
            return;
        }
        // Kept as it was on disk, so that a write re-encodes only its own line.
        lines.push_back(parseLine(utf8ToAnsi(text), eol));
        lines.back().disk = std::move(text);
    };
    std::size_t pos = utf8_ ? kUtf8Bom.size() : 0;
    while (pos < data.size()) {
        // CR LF, LF and a lone CR (old Mac files) each end a line.
        auto end = data.find_first_of("\r\n", pos);
        if (end == npos) {
            add(data.substr(pos), "");
            break;
        }
        const char* eol = data[end] == '\n' ? "\n" : end + 1 < data.size() && data[end + 1] == '\n' ? "\r\n" : "\r";
        add(data.substr(pos, end - pos), eol);
        pos = end + std::char_traits<char>::length(eol);
    }
    lines_ = std::move(lines);
    stamp_ = stampOf(st);
    unreadable_ = false;
    loaded_ = true;
}

std::size_t IniFile::findSection(std::string_view section) const {
    section = trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && ansiSameText(lines_[i].name, section)) return i;
    return npos;
}

std::size_t IniFile::findKey(std::size_t header, std::string_view key) const {
    key = trim(key);
    for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i)
        if (lines_[i].kind == Kind::Key && ansiSameText(lines_[i].name, key)) return i;
    return npos;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const {
    refresh();
    auto h = findSection(section);
    auto k = h == npos ? npos : findKey(h, key);
    return k == npos ? std::string(def) : lines_[k].value;
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    refresh();
    auto h = findSection(section);
    auto k = h == npos ? npos : findKey(h, key);
    if (k == npos) return def;
    return strToIntDef(lines_[k].value, def);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(std::string_view section) const {
    refresh();
    return findSection(section) != npos;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    refresh();
    auto h = findSection(section);
    return h != npos && findKey(h, key) != npos;
}

std::vector<std::string> IniFile::readSections() const {
    refresh();
    std::vector<std::string> names;
    for (const auto& l : lines_) {
        if (l.kind != Kind::Section) continue;
        bool seen = false;
        for (const auto& n : names)
            if (ansiSameText(n, l.name)) seen = true;
        if (!seen) names.push_back(l.name);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> IniFile::readSectionValues(std::string_view section) const {
    refresh();
    std::vector<std::pair<std::string, std::string>> pairs;
    auto h = findSection(section);
    if (h == npos) return pairs;
    for (std::size_t i = h + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
        if (lines_[i].kind != Kind::Key) continue;
        bool seen = false;
        for (const auto& p : pairs)
            if (ansiSameText(p.first, lines_[i].name)) seen = true;
        if (!seen) pairs.emplace_back(lines_[i].name, lines_[i].value);
    }
    return pairs;
}

std::vector<std::string> IniFile::readSection(std::string_view section) const {
    std::vector<std::string> keys;
    for (auto& p : readSectionValues(section)) keys.push_back(std::move(p.first));
    return keys;
}

std::string IniFile::newLineEnd() const {
    // Follow the file's own habit; a new file gets CRLF, as an Orbisk.ini
    // written on Windows has.
    for (const auto& l : lines_)
        if (!l.eol.empty()) return l.eol;
    return "\r\n";
}

// Another program (the window, orbisk-cli, a second window) may save the same
// file: each write locks the file's folder (the file itself is replaced on
// every write, so its own lock would not hold), reads the file afresh under
// the lock and changes only its own key, so no writer's key is lost.
class IniFile::WriteLock {
public:
    explicit WriteLock(const IniFile& file) {
        std::string dir = std::filesystem::path(file.path_).parent_path().string();
        fd_ = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        file.loaded_ = false;
        file.refresh();
    }
    ~WriteLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int fd_ = -1;
};

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    WriteLock lock(*this);
    if (unreadable_) writeFailed();
    std::string s(trim(oneLine(section))), k(trim(oneLine(key))), v = oneLine(value);
    std::string nl = newLineEnd();
    std::vector<Line> lines = lines_;
    auto h = findSection(s);
    if (h == npos) {
        if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = nl;
        lines.push_back(parseLine("[" + s + "]", nl));
        lines.push_back(parseLine(k + "=" + v, nl));
    } else if (auto i = findKey(h, k); i != npos) {
        // Keep the key as the file spells it.
        lines[i] = parseLine(lines[i].name + "=" + v, lines[i].eol);
    } else {
        // After the section's last non-blank line, so that a blank line
        // separating it from the next section stays where it is.
        std::size_t last = h;
        for (std::size_t j = h + 1; j < lines.size() && lines[j].kind != Kind::Section; ++j)
            if (!trim(lines[j].text).empty()) last = j;
        if (lines[last].eol.empty()) lines[last].eol = nl;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, parseLine(k + "=" + v, nl));
    }
    commit(std::move(lines));
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::eraseSection(std::string_view section) {
    WriteLock lock(*this);
    if (unreadable_) writeFailed();
    std::vector<Line> lines;
    lines.reserve(lines_.size());
    bool inErased = false;
    for (const auto& l : lines_) {
        if (l.kind == Kind::Section) inErased = ansiSameText(l.name, trim(section));
        if (!inErased) lines.push_back(l);
    }
    commit(std::move(lines));
}

void IniFile::commit(std::vector<Line> lines) {
    auto bytesOf = [this](const std::vector<Line>& ls) {
        std::string out = utf8_ ? std::string(kUtf8Bom) : std::string();
        for (const auto& l : ls) {
            if (!utf8_)
                out.append(l.text);
            else if (l.disk)
                out.append(*l.disk);
            else
                out.append(ansiToUtf8(l.text));
            out.append(l.eol);
        }
        return out;
    };
    const std::string content = bytesOf(lines), old = bytesOf(lines_);
    if (content == old) {
        // Nothing changes, but a write to a file that cannot be written still
        // fails, as a Windows profile write does: the caller learns that its
        // setting could not be saved.
        if (stamp_.exists && ::access(path_.c_str(), W_OK) != 0) writeFailed();
        return;
    }
    replaceFile(content);
    lines_ = std::move(lines);
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0) {
        stamp_ = stampOf(st);
    } else {
        loaded_ = false;
    }
}

void IniFile::replaceFile(const std::string& content) const {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> counter{0};

    // Through a symbolic link: replace the file it points at, not the link.
    std::string target = path_;
    std::error_code ec;
    if (fs::is_symlink(path_, ec)) {
        auto real = fs::canonical(path_, ec);
        if (!ec) target = real.string();
    }
    struct stat st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    // rename() would ignore the file's own permission bits.
    if (exists && ::access(target.c_str(), W_OK) != 0) writeFailed();

    fs::path tp(target);
    std::string dir = tp.parent_path().string();
    if (dir.empty()) dir = ".";
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = dir + "/." + tp.filename().string() + "." + std::to_string(::getpid()) + "." +
              std::to_string(counter++) + ".tmp";
        // Created with the file's own mode: a private file is never readable
        // by others, not even for a moment.
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? st.st_mode & 0777 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) writeFailed();

    bool ok = writeAll(fd, content);
    if (ok && exists) {
        // Best effort: keep the permission bits and the owner.
        [[maybe_unused]] int r = ::fchmod(fd, st.st_mode & 07777);
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) r = ::fchown(fd, st.st_uid, st.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        writeFailed();
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void IniFile::writeFailed() const {
    throw Error(format("Unable to write to %s", utf8ToAnsi(path_)));
}

}  // namespace orbisk
