#include "export/jtv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/ui.h"
#include "export/weekwalk.h"

namespace orbisk {

const char* const kJtvCutCaption = "Внимание!"_cp1251;

namespace {

constexpr std::size_t kTitleStart = 6;  // the seventh character
constexpr std::int64_t kDaysFrom1601 = 109205;  // 1601-01-01 to 1899-12-30
constexpr std::uint64_t kTicksPerSecond = 10'000'000;

// A file descriptor closed on every way out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    bool ok() const { return fd_ >= 0; }
    int get() const { return fd_; }

private:
    int fd_;
};

int openFile(const std::string& path, int flags) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

[[noreturn]] void writeFailed(const std::string& path) {
    throw Error(format("Unable to write to %s", utf8ToAnsi(path)));
}

void writeAt(int fd, const std::string& bytes, off_t offset, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) writeFailed(path);
        done += static_cast<std::size_t>(n);
    }
}

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Appends one channel's entries of one day to its files.
class ChannelDayWriter {
public:
    ChannelDayWriter(int index, int data, const std::string& ndxPath, const std::string& pdtPath)
        : index_(index), data_(data), ndxPath_(ndxPath), pdtPath_(pdtPath) {}

    // Reads where the files end and the count so far.
    void begin() {
        unsigned char raw[2] = {0, 0};
        ssize_t n;
        do n = ::pread(index_, raw, 2, 0);
        while (n < 0 && errno == EINTR);
        count_ = n == 2 ? static_cast<std::uint32_t>(raw[0] | raw[1] << 8) : 0;
        indexEnd_ = std::max<off_t>(::lseek(index_, 0, SEEK_END), 2);
        dataStart_ = ::lseek(data_, 0, SEEK_END);
        if (indexEnd_ < 0 || dataStart_ < 0) writeFailed(dataStart_ < 0 ? pdtPath_ : ndxPath_);
        position_ = static_cast<std::uint64_t>(dataStart_);
    }

    // False when the record does not fit: its title would end past the last
    // byte a 16-bit offset can reach, or the count would overflow.
    bool add(std::uint64_t fileTime, const std::string& title) {
        if (position_ + 2 + title.size() > kJtvMaxDataSize || count_ + added_ >= 0xFFFF) return false;
        indexBytes_ += '\0';
        indexBytes_ += '\0';
        put64(indexBytes_, fileTime);
        put16(indexBytes_, static_cast<std::uint32_t>(position_));
        put16(dataBytes_, static_cast<std::uint32_t>(title.size()));
        dataBytes_ += title;
        position_ += 2 + title.size();
        ++added_;
        return true;
    }

    // Writes the records gathered and the count that includes them.
    int finish() {
        writeAt(data_, dataBytes_, dataStart_, pdtPath_);
        writeAt(index_, indexBytes_, indexEnd_, ndxPath_);
        std::string count;
        put16(count, count_ + added_);
        writeAt(index_, count, 0, ndxPath_);
        return added_;
    }

private:
    int index_, data_;
    const std::string& ndxPath_;
    const std::string& pdtPath_;
    std::uint32_t count_ = 0;
    std::uint32_t added_ = 0;
    off_t indexEnd_ = 2;
    off_t dataStart_ = 0;
    std::uint64_t position_ = 0;
    std::string indexBytes_, dataBytes_;
};

}  // namespace

std::uint64_t jtvFileTime(DateTime date, int hour, int minute) {
    encodeTime(hour, minute);  // the range check and its error
    const auto days = static_cast<std::uint64_t>(static_cast<std::int64_t>(dateOf(date)) + kDaysFrom1601);
    const auto seconds = days * 86400 + static_cast<std::uint64_t>(hour * 3600 + minute * 60);
    return seconds * kTicksPerSecond;
}

bool jtvFilePaths(const std::string& folder, const std::string& desc, std::string& ndx, std::string& pdt) {
    // The name comes from the listing: on this system "/" would reach into
    // other folders and "." or ".." name folders, not files.
    if (desc.empty() || desc == "." || desc == ".." || desc.find('/') != std::string::npos ||
        desc.find('\0') != std::string::npos)
        return false;
    const std::string base = ansiToFileName(folder) + "/" + ansiToFileName(desc);
    ndx = base + ".ndx";
    pdt = base + ".pdt";
    return true;
}

std::string jtvCutText(const std::vector<std::string>& channels) {
    std::string text =
        "Файл данных JTV не может быть больше 65535 байт; не все передачи "
        "записаны для каналов: "_cp1251;
    for (std::size_t i = 0; i < channels.size(); ++i) text += (i ? ", " : "") + channels[i];
    return text;
}

std::string jtvSkippedText(const std::vector<std::string>& channels) {
    std::string text = "Не удалось создать файлы JTV для каналов: "_cp1251;
    for (std::size_t i = 0; i < channels.size(); ++i) text += (i ? ", " : "") + channels[i];
    return text;
}

JtvResult exportJtv(Viewer& viewer, const std::string& folder, Notifier* notifier,
                    const std::function<void(DateTime)>& showDay) {
    JtvResult result;
    // An empty folder would put the files under "/" and a missing one would
    // skip every channel: neither is an export.
    struct stat st {};
    if (folder.empty() || ::stat(ansiToUtf8(folder).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error("Папка для файлов JTV не найдена: \""_cp1251 + folder + "\"");

    // First pass: fresh files for the channels of the day shown, so that a
    // second run from the same day writes the same files.
    {
        const ChannelList& channels = viewer.channels();
        for (int c = 0; c < channels.count(); ++c) {
            const Channel& channel = channels.items(c);
            if (channel.hide) continue;
            std::string ndx, pdt;
            if (!jtvFilePaths(folder, channel.desc, ndx, pdt)) {
                result.skipped.push_back(channel.desc);
                continue;
            }
            Fd index(openFile(ndx, O_WRONLY | O_CREAT | O_TRUNC));
            if (!index.ok()) {
                result.skipped.push_back(channel.desc);
                continue;
            }
            Fd data(openFile(pdt, O_WRONLY | O_CREAT | O_TRUNC));
            if (!data.ok()) {
                result.skipped.push_back(channel.desc);
                continue;
            }
            writeAt(index.get(), std::string(2, '\0'), 0, ndx);
            writeAt(data.get(), std::string(kJtvDataHeader, kJtvDataHeaderSize), 0, pdt);
            result.created.push_back(ndx);
            result.created.push_back(pdt);
        }
    }

    std::set<std::string> cutFiles;
    result.weekFound = walkShownWeek(viewer, showDay, [&](DateTime) {
        const ChannelList& channels = viewer.channels();
        for (int c = 0; c < channels.count(); ++c) {
            const Channel& channel = channels.items(c);
            if (channel.hide) continue;
            std::string ndx, pdt;
            if (!jtvFilePaths(folder, channel.desc, ndx, pdt) || cutFiles.count(ndx)) continue;
            Fd index(openFile(ndx, O_RDWR));
            if (!index.ok()) continue;
            Fd data(openFile(pdt, O_WRONLY));
            if (!data.ok()) continue;

            EntryStarts starts(channel, viewer.shownDate());
            ChannelDayWriter writer(index.get(), data.get(), ndx, pdt);
            writer.begin();
            try {
                for (std::size_t i = 0; i < channel.times.size(); ++i) {
                    const std::string& line = channel.lines[i];
                    const std::string title =
                        line.size() > kTitleStart ? line.substr(kTitleStart, kJtvMaxTitle) : std::string{};
                    const EntryStart start = starts.next(i);
                    if (!writer.add(jtvFileTime(start.date, start.hour, start.minute), title)) {
                        cutFiles.insert(ndx);
                        result.cut.push_back(channel.desc);
                        break;
                    }
                }
            } catch (...) {
                // What was gathered goes out with a count that matches it.
                writer.finish();
                throw;
            }
            result.records += writer.finish();
        }
    });
    if (!result.skipped.empty() && notifier)
        notifier->show(jtvSkippedText(result.skipped), kJtvCutCaption, MsgIcon::Error);
    if (!result.cut.empty() && notifier) notifier->show(jtvCutText(result.cut), kJtvCutCaption, MsgIcon::Warning);
    return result;
}

}  // namespace orbisk
