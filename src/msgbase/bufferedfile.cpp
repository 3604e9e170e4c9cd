#include "msgbase/bufferedfile.h"

#include <algorithm>
#include <cstring>

namespace orbisk {

BufferedFile::BufferedFile(std::size_t bufferSize) : buf_(std::max<std::size_t>(bufferSize, 1)) {}

BufferedFile::~BufferedFile() { Close(); }

bool BufferedFile::Open(const std::string& name, int mode) {
    if (open_) Close();
    if (!FileExistsPlain(name)) WriteAt(name, nullptr, 0, 0);  // OpenExisting reports a failure
    if (!OpenExisting(file_, name, mode)) return false;
    pos_ = winStart_ = 0;
    valid_ = 0;
    dirty_ = flushFailed_ = false;
    fileSize_ = std::max<std::int64_t>(FileSizeOf(file_), 0);
    open_ = true;
    return true;
}

bool BufferedFile::Close() {
    if (!open_) return true;
    bool ok = !flushFailed_;
    if (dirty_ && !FlushWindow()) ok = false;
    if (auto rc = file_.Close(); rc != 0) {
        LastIoError = rc;
        ok = false;
    }
    open_ = dirty_ = flushFailed_ = false;
    valid_ = 0;
    pos_ = winStart_ = fileSize_ = 0;
    return ok;
}

void BufferedFile::RestartWindow(std::int64_t at) {
    if (dirty_ && !FlushWindow()) flushFailed_ = true;
    winStart_ = at;
    valid_ = 0;
}

void BufferedFile::Seek(std::int64_t p) {
    p = std::max<std::int64_t>(p, 0);
    const auto room = winStart_ + static_cast<std::int64_t>(buf_.size());
    const bool inValid = p >= winStart_ && p < WindowEnd();
    // Right after the valid bytes (a sequential write goes on in the same
    // window), or past the end of the file while the window holds the end:
    // the bytes up to p are written into the window by the next Write.
    const bool extends = p >= WindowEnd() && p < room && (p == WindowEnd() || (p >= fileSize_ && WindowEnd() >= fileSize_));
    if (!inValid && !extends) RestartWindow(p);
    pos_ = p;
}

bool BufferedFile::FlushWindow() {
    if (!open_) return false;
    if (valid_ > 0 && !(SeekFile(file_, winStart_) && WriteBlock(file_, buf_.data(), valid_))) return false;
    dirty_ = false;
    return true;
}

bool BufferedFile::FillWindow() {
    if (!open_) return false;
    if (dirty_ && !FlushWindow()) return false;
    valid_ = 0;
    if (winStart_ >= fileSize_) return true;
    if (!SeekFile(file_, winStart_)) return false;
    std::size_t got = 0;
    if (!ReadBlock(file_, buf_.data(), buf_.size(), got)) return false;
    valid_ = got;
    return true;
}

bool BufferedFile::Read(void* buffer, std::size_t count, std::size_t& got) {
    got = 0;
    if (!open_) return false;
    Seek(pos_);
    auto* out = static_cast<char*>(buffer);
    while (got < count && pos_ < fileSize_) {
        if (pos_ < winStart_ || pos_ >= WindowEnd()) RestartWindow(pos_);
        if (flushFailed_) break;
        if (valid_ == 0) {
            if (!FillWindow()) return false;
            if (valid_ == 0) break;  // the file is shorter than it was
        }
        const auto off = static_cast<std::size_t>(pos_ - winStart_);
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>({static_cast<std::int64_t>(count - got), static_cast<std::int64_t>(valid_ - off),
                                    fileSize_ - pos_}));
        std::memcpy(out + got, buf_.data() + off, n);
        got += n;
        pos_ += static_cast<std::int64_t>(n);
    }
    if (flushFailed_) {
        flushFailed_ = false;
        return false;
    }
    return true;
}

bool BufferedFile::Write(const void* buffer, std::size_t count) {
    if (!open_) return false;
    Seek(pos_);
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0 && !flushFailed_) {
        auto off = static_cast<std::size_t>(pos_ - winStart_);
        if (off >= buf_.size()) {
            RestartWindow(pos_);
            off = 0;
            if (flushFailed_) break;
        }
        if (off > valid_) {  // past the end of the file: the gap reads as zeros
            std::fill(buf_.begin() + static_cast<std::ptrdiff_t>(valid_), buf_.begin() + static_cast<std::ptrdiff_t>(off), 0);
            valid_ = off;
        }
        const std::size_t n = std::min(count, buf_.size() - off);
        std::memcpy(buf_.data() + off, in, n);
        dirty_ = true;
        valid_ = std::max(valid_, off + n);
        pos_ += static_cast<std::int64_t>(n);
        in += n;
        count -= n;
        fileSize_ = std::max(fileSize_, WindowEnd());
    }
    if (flushFailed_) {
        flushFailed_ = false;
        return false;
    }
    return true;
}

}  // namespace orbisk
