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
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "msgbase/msgstr.h"

namespace orbisk {

std::uint16_t SharingRetryCount = 150;
std::uint16_t LastIoError = 0;

std::uint16_t IoResultFromErrno(int err) {
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
// attempts are used up; the final code goes to LastIoError.
template <class Op>
bool Retrying(Op op) {
    const int attempts = std::max<int>(1, SharingRetryCount);
    std::uint16_t rc = 0;
    for (int i = 0; i < attempts; ++i) {
        rc = op();
        if (rc != kIoAccessDenied) break;
    }
    LastIoError = rc;
    return rc == 0;
}

bool Done(std::uint16_t rc) {
    LastIoError = rc;
    return rc == 0;
}

int AccessFlags(int mode) {
    switch (mode & 3) {
        case 0: return O_RDONLY;
        case 1: return O_WRONLY;
        default: return O_RDWR;
    }
}

std::uint16_t OpenOnce(FileHandle& f, const std::string& name, int flags) {
    int fd;
    do fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // As DOS tells them apart: the file, or already its directory, is missing.
        if (errno == ENOENT) {
            const auto slash = name.rfind('/');
            if (slash != std::string::npos && slash > 0 && !DirectoryExists(name.substr(0, slash)))
                return kIoPathNotFound;
        }
        return IoResultFromErrno(errno);
    }
    FileHandle h(fd);
    struct stat st {};
    if (fstat(fd, &st) != 0) return IoResultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return kIoAccessDenied;
    f = std::move(h);
    return 0;
}

bool OpenWith(FileHandle& f, const std::string& name, int flags) {
    f.Close();
    if (name.empty()) return Done(kIoFileNotFound);
    return Retrying([&] { return OpenOnce(f, name, flags); });
}

bool Writable(int fd) {
    int fl = fcntl(fd, F_GETFL);
    return fl >= 0 && (fl & O_ACCMODE) != O_RDONLY;
}

// One fcntl lock request; F_UNLCK releases.
std::uint16_t LockOnce(int fd, short type, std::int64_t offset, std::int64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
#ifdef F_OFD_SETLK
    fl.l_pid = 0;
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno != EINVAL) return IoResultFromErrno(errno);
    // Kernel or file system without descriptor locks: process locks.
#endif
    if (fcntl(fd, F_SETLK, &fl) == 0) return 0;
    return IoResultFromErrno(errno);
}

bool StatPath(const std::string& name, struct stat& st) {
    return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

}  // namespace

// --- FileHandle ---

FileHandle::~FileHandle() { Close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

std::uint16_t FileHandle::Close() {
    if (fd_ < 0) return 0;
    int rc = ::close(fd_);
    fd_ = -1;
    // After EINTR the descriptor is gone on Linux; nothing to retry.
    return rc == 0 || errno == EINTR ? 0 : IoResultFromErrno(errno);
}

int FileHandle::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

// --- Retrying primitives ---

bool OpenExisting(FileHandle& f, const std::string& name, int mode) {
    return OpenWith(f, name, AccessFlags(mode));
}

bool OpenOrCreate(FileHandle& f, const std::string& name, int mode) {
    return OpenWith(f, name, AccessFlags(mode) | O_CREAT);
}

bool CreateTruncate(FileHandle& f, const std::string& name, int mode) {
    int flags = AccessFlags(mode);
    if (flags == O_RDONLY) flags = O_RDWR;  // truncation needs write access
    return OpenWith(f, name, flags | O_CREAT | O_TRUNC);
}

bool ReadBlock(FileHandle& f, void* buffer, std::size_t count, std::size_t& got) {
    got = 0;
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    auto* p = static_cast<char*>(buffer);
    return Retrying([&]() -> std::uint16_t {
        while (got < count) {
            ssize_t n = ::read(f.Fd(), p + got, count - got);
            if (n < 0) {
                if (errno == EINTR) continue;
                return IoResultFromErrno(errno);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return 0;
    });
}

bool WriteBlock(FileHandle& f, const void* buffer, std::size_t count) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    return Retrying([&]() -> std::uint16_t {
        while (done < count) {
            ssize_t n = ::write(f.Fd(), p + done, count - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return IoResultFromErrno(errno);
            }
            if (n == 0) return kIoDiskWrite;
            done += static_cast<std::size_t>(n);
        }
        return 0;
    });
}

bool SeekFile(FileHandle& f, std::int64_t offset) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    if (offset < 0) return Done(kIoInvalidParameter);
    return Done(::lseek(f.Fd(), static_cast<off_t>(offset), SEEK_SET) < 0 ? IoResultFromErrno(errno) : 0);
}

bool LockRange(FileHandle& f, std::int64_t offset, std::int64_t length) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    if (offset < 0 || length <= 0) return Done(kIoInvalidParameter);
    const short type = Writable(f.Fd()) ? F_WRLCK : F_RDLCK;
    return Retrying([&] { return LockOnce(f.Fd(), type, offset, length); });
}

bool UnlockRange(FileHandle& f, std::int64_t offset, std::int64_t length) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    if (offset < 0 || length <= 0) return Done(kIoInvalidParameter);
    return Done(LockOnce(f.Fd(), F_UNLCK, offset, length));
}

bool FlushFile(FileHandle& f) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    return Done(::fsync(f.Fd()) == 0 ? 0 : IoResultFromErrno(errno));
}

std::int64_t FileSizeOf(FileHandle& f) {
    struct stat st {};
    if (!f.IsOpen() || fstat(f.Fd(), &st) != 0) return -1;
    return st.st_size;
}

bool TruncateFile(FileHandle& f, std::int64_t length) {
    if (!f.IsOpen()) return Done(kIoInvalidHandle);
    if (length < 0) return Done(kIoInvalidParameter);
    return Done(::ftruncate(f.Fd(), static_cast<off_t>(length)) == 0 ? 0 : IoResultFromErrno(errno));
}

// --- Whole-file routines ---

bool FileExistsPlain(const std::string& name) {
    struct stat st {};
    return StatPath(name, st) && S_ISREG(st.st_mode);
}

std::int64_t FileSizeByName(const std::string& name) {
    struct stat st {};
    if (!StatPath(name, st)) return -1;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

std::uint16_t ReadAt(const std::string& name, void* buffer, std::size_t count, std::int64_t offset) {
    if (!FileExistsPlain(name)) return kReadAtMissing;
    FileHandle f;
    if (!OpenExisting(f, name, kModeReadOnly)) return LastIoError;
    if (!SeekFile(f, offset)) return LastIoError;
    std::size_t got = 0;
    if (!ReadBlock(f, buffer, count, got)) return LastIoError;
    if (got < count) return kIoShortRead;
    return f.Close();
}

std::uint16_t WriteAt(const std::string& name, const void* buffer, std::size_t count, std::int64_t offset) {
    FileHandle f;
    if (!OpenOrCreate(f, name, kModeReadWrite)) return LastIoError;
    if (!SeekFile(f, offset)) return LastIoError;
    if (count > 0 && !WriteBlock(f, buffer, count)) return LastIoError;
    return f.Close();
}

std::uint16_t ExtendFile(const std::string& name, std::int64_t length) {
    constexpr std::size_t kChunk = 8000;
    std::unique_ptr<char[]> zeros(new (std::nothrow) char[kChunk]());
    if (!zeros) return 10;
    FileHandle f;
    if (!OpenOrCreate(f, name, kModeReadWrite)) return LastIoError;
    std::int64_t size = FileSizeOf(f);
    if (size < 0) return IoResultFromErrno(errno);
    if (size < length && !SeekFile(f, size)) return LastIoError;
    while (size < length) {
        auto n = static_cast<std::size_t>(std::min<std::int64_t>(kChunk, length - size));
        if (!WriteBlock(f, zeros.get(), n)) return LastIoError;
        size += static_cast<std::int64_t>(n);
    }
    return f.Close();
}

std::uint16_t EraseFile(const std::string& name) {
    return ::unlink(name.c_str()) == 0 ? 0 : IoResultFromErrno(errno);
}

std::uint16_t RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : IoResultFromErrno(errno);
}

std::string MakeTempName(const std::string& directory) {
    std::string pattern = AddBackslash(directory.empty() ? std::string(".") : directory) + "GXXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EnsureDirectory(const std::string& path) {
    const std::string p = AddBackslash(path);
    if (DirectoryExists(p)) return true;
    // Each "/" ends a level; the root's own "/" is no level of its own.
    for (std::size_t i = 1; i < p.size(); ++i)
        if (p[i] == '/' && p[i - 1] != '/') ::mkdir(p.substr(0, i).c_str(), 0777);
    return DirectoryExists(p);
}

std::string ExpandPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return abs.lexically_normal().string();
}

std::string ResolveNameNoCase(const std::string& path) {
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
            same = LowerAscii(n[i]) == LowerAscii(base[i]);
        if (same && (best.empty() || std::strcmp(n, best.c_str()) < 0)) best = n;
    }
    ::closedir(d);
    return best.empty() ? path : dir + best;
}

}  // namespace orbisk
