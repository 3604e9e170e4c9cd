#include "msgbase/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "msgbase/msgstr.h"

namespace orbisk {

std::uint16_t sharingRetryCount = 150;
std::chrono::milliseconds lockWaitLimit{2000};
std::uint16_t lastIoError = 0;

std::uint16_t ioResultFromErrno(int err) {
    switch (err) {
        case 0: return 0;
        case ENOENT: return kIoFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return kIoPathNotFound;
        case EMFILE:
        case ENFILE: return kIoTooManyOpen;
        case EACCES:
        case EPERM:
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EBUSY:
        case ETXTBSY:
        case EISDIR: return kIoAccessDenied;
        case EBADF: return kIoInvalidHandle;
        case ENOMEM: return kIoNoMemory;
        case EROFS: return kIoWriteProtected;
        case EEXIST: return kIoFileExists;
        case EINVAL:
        case ESPIPE:
        case EOVERFLOW: return kIoInvalidParameter;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return kIoDiskWrite;
        default: return kIoGeneralFailure;
    }
}

namespace {

// Runs op until it succeeds, fails with something other than 5, or the
// attempts are used up; the final code goes to lastIoError.
template <class Op>
bool retrying(Op op) {
    const int attempts = std::max<int>(1, sharingRetryCount);
    std::uint16_t rc = 0;
    for (int i = 0; i < attempts; ++i) {
        rc = op();
        if (rc != kIoAccessDenied) break;
    }
    lastIoError = rc;
    return rc == 0;
}

bool done(std::uint16_t rc) {
    lastIoError = rc;
    return rc == 0;
}

int accessFlags(int mode) {
    switch (mode & 3) {
        case 0: return O_RDONLY;
        case 1: return O_WRONLY;
        default: return O_RDWR;
    }
}

std::uint16_t openOnce(FileHandle& f, const std::string& name, int flags) {
    int fd;
    do fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // As DOS tells them apart: the file, or already its directory, is missing.
        if (errno == ENOENT) {
            const auto slash = name.rfind('/');
            if (slash != std::string::npos && slash > 0 && !directoryExists(name.substr(0, slash)))
                return kIoPathNotFound;
        }
        return ioResultFromErrno(errno);
    }
    FileHandle h(fd);
    struct stat st {};
    if (fstat(fd, &st) != 0) return ioResultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return kIoAccessDenied;
    f = std::move(h);
    return 0;
}

bool openWith(FileHandle& f, const std::string& name, int flags) {
    f.close();
    if (name.empty()) return done(kIoFileNotFound);
    return retrying([&] { return openOnce(f, name, flags); });
}

bool writable(int fd) {
    int fl = fcntl(fd, F_GETFL);
    return fl >= 0 && (fl & O_ACCMODE) != O_RDONLY;
}

// One fcntl lock request; F_UNLCK releases.
std::uint16_t lockOnce(int fd, short type, std::int64_t offset, std::int64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
#ifdef F_OFD_SETLK
    fl.l_pid = 0;
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno != EINVAL) return ioResultFromErrno(errno);
    // Kernel or file system without descriptor locks: process locks.
#endif
    if (fcntl(fd, F_SETLK, &fl) == 0) return 0;
    return ioResultFromErrno(errno);
}

bool statPath(const std::string& name, struct stat& st) {
    return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

}  // namespace

// --- FileHandle ---

FileHandle::~FileHandle() { close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

std::uint16_t FileHandle::close() {
    if (fd_ < 0) return 0;
    int rc = ::close(fd_);
    fd_ = -1;
    // After EINTR the descriptor is gone on Linux; nothing to retry.
    return rc == 0 || errno == EINTR ? 0 : ioResultFromErrno(errno);
}

int FileHandle::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

// --- Retrying primitives ---

bool openExisting(FileHandle& f, const std::string& name, int mode) {
    return openWith(f, name, accessFlags(mode));
}

bool openOrCreate(FileHandle& f, const std::string& name, int mode) {
    return openWith(f, name, accessFlags(mode) | O_CREAT);
}

bool createTruncate(FileHandle& f, const std::string& name, int mode) {
    int flags = accessFlags(mode);
    if (flags == O_RDONLY) flags = O_RDWR;  // truncation needs write access
    return openWith(f, name, flags | O_CREAT | O_TRUNC);
}

namespace {

// Reads until `count` bytes or the end of the file, through
// readSome(destination, length, bytes so far): read or pread.
template <class ReadSome>
bool readFully(FileHandle& f, void* buffer, std::size_t count, std::size_t& got, ReadSome readSome) {
    got = 0;
    if (!f.isOpen()) return done(kIoInvalidHandle);
    auto* p = static_cast<char*>(buffer);
    return retrying([&]() -> std::uint16_t {
        while (got < count) {
            const ssize_t n = readSome(p + got, count - got, got);
            if (n < 0) {
                if (errno == EINTR) continue;
                return ioResultFromErrno(errno);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return 0;
    });
}

}  // namespace

bool readBlock(FileHandle& f, void* buffer, std::size_t count, std::size_t& got) {
    return readFully(f, buffer, count, got,
                     [&](char* p, std::size_t n, std::size_t) { return ::read(f.fd(), p, n); });
}

bool readBlockAt(FileHandle& f, std::int64_t offset, void* buffer, std::size_t count, std::size_t& got) {
    if (f.isOpen() && offset < 0) {
        got = 0;
        return done(kIoInvalidParameter);
    }
    return readFully(f, buffer, count, got, [&](char* p, std::size_t n, std::size_t before) {
        return ::pread(f.fd(), p, n, static_cast<off_t>(offset) + static_cast<off_t>(before));
    });
}

bool writeBlock(FileHandle& f, const void* buffer, std::size_t count) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    return retrying([&]() -> std::uint16_t {
        while (done < count) {
            ssize_t n = ::write(f.fd(), p + done, count - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return ioResultFromErrno(errno);
            }
            if (n == 0) return kIoDiskWrite;
            done += static_cast<std::size_t>(n);
        }
        return 0;
    });
}

bool seekFile(FileHandle& f, std::int64_t offset) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    if (offset < 0) return done(kIoInvalidParameter);
    return done(::lseek(f.fd(), static_cast<off_t>(offset), SEEK_SET) < 0 ? ioResultFromErrno(errno) : 0);
}

bool lockRange(FileHandle& f, std::int64_t offset, std::int64_t length) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    if (offset < 0 || length <= 0) return done(kIoInvalidParameter);
    const short type = writable(f.fd()) ? F_WRLCK : F_RDLCK;
    // A tosser holds its lock for a moment: waiting between tries turns that
    // into a short delay instead of a failed run, and the limit keeps a lock
    // that is never released from hanging us.
    const auto deadline = std::chrono::steady_clock::now() + lockWaitLimit;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const std::uint16_t rc = lockOnce(f.fd(), type, offset, length);
        if (rc != kIoAccessDenied || std::chrono::steady_clock::now() + pause > deadline) return done(rc);
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
}

bool unlockRange(FileHandle& f, std::int64_t offset, std::int64_t length) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    if (offset < 0 || length <= 0) return done(kIoInvalidParameter);
    return done(lockOnce(f.fd(), F_UNLCK, offset, length));
}

bool flushFile(FileHandle& f) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    return done(::fsync(f.fd()) == 0 ? 0 : ioResultFromErrno(errno));
}

std::int64_t fileSizeOf(FileHandle& f) {
    struct stat st {};
    if (!f.isOpen() || fstat(f.fd(), &st) != 0) return -1;
    return st.st_size;
}

bool truncateFile(FileHandle& f, std::int64_t length) {
    if (!f.isOpen()) return done(kIoInvalidHandle);
    if (length < 0) return done(kIoInvalidParameter);
    return done(::ftruncate(f.fd(), static_cast<off_t>(length)) == 0 ? 0 : ioResultFromErrno(errno));
}

// --- Whole-file routines ---

bool fileExistsPlain(const std::string& name) {
    struct stat st {};
    return statPath(name, st) && S_ISREG(st.st_mode);
}

std::int64_t fileSizeByName(const std::string& name) {
    struct stat st {};
    if (!statPath(name, st)) return -1;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

std::uint16_t readAt(const std::string& name, void* buffer, std::size_t count, std::int64_t offset) {
    if (!fileExistsPlain(name)) return kReadAtMissing;
    FileHandle f;
    if (!openExisting(f, name, kModeReadOnly)) return lastIoError;
    if (!seekFile(f, offset)) return lastIoError;
    std::size_t got = 0;
    if (!readBlock(f, buffer, count, got)) return lastIoError;
    if (got < count) return kIoShortRead;
    return f.close();
}

std::uint16_t writeAt(const std::string& name, const void* buffer, std::size_t count, std::int64_t offset) {
    FileHandle f;
    if (!openOrCreate(f, name, kModeReadWrite)) return lastIoError;
    if (!seekFile(f, offset)) return lastIoError;
    if (count > 0 && !writeBlock(f, buffer, count)) return lastIoError;
    return f.close();
}

std::uint16_t extendFile(const std::string& name, std::int64_t length) {
    constexpr std::size_t kChunk = 8000;
    std::unique_ptr<char[]> zeros(new (std::nothrow) char[kChunk]());
    if (!zeros) return 10;
    FileHandle f;
    if (!openOrCreate(f, name, kModeReadWrite)) return lastIoError;
    std::int64_t size = fileSizeOf(f);
    if (size < 0) return ioResultFromErrno(errno);
    if (size < length && !seekFile(f, size)) return lastIoError;
    while (size < length) {
        auto n = static_cast<std::size_t>(std::min<std::int64_t>(kChunk, length - size));
        if (!writeBlock(f, zeros.get(), n)) return lastIoError;
        size += static_cast<std::int64_t>(n);
    }
    return f.close();
}

std::uint16_t eraseFile(const std::string& name) {
    return ::unlink(name.c_str()) == 0 ? 0 : ioResultFromErrno(errno);
}

std::uint16_t renameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : ioResultFromErrno(errno);
}

std::string makeTempName(const std::string& directory) {
    std::string pattern = addBackslash(directory.empty() ? std::string(".") : directory) + "GXXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ensureDirectory(const std::string& path) {
    const std::string p = addBackslash(path);
    if (directoryExists(p)) return true;
    // Each "/" ends a level; the root's own "/" is no level of its own.
    for (std::size_t i = 1; i < p.size(); ++i)
        if (p[i] == '/' && p[i - 1] != '/') ::mkdir(p.substr(0, i).c_str(), 0777);
    return directoryExists(p);
}

std::string expandPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return abs.lexically_normal().string();
}

std::string resolveNameNoCase(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) == 0) return path;
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return path;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return path;
    std::string best;
    while (dirent* e = ::readdir(d)) {
        const char* n = e->d_name;
        if (std::strlen(n) != base.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < base.size() && same; ++i)
            same = lowerAscii(n[i]) == lowerAscii(base[i]);
        if (same && (best.empty() || std::strcmp(n, best.c_str()) < 0)) best = n;
    }
    ::closedir(d);
    return best.empty() ? path : dir + best;
}

}  // namespace orbisk
