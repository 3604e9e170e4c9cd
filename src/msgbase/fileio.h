#pragma once
// File access for the message bases. Tossers, editors and other readers keep
// the same base files open while we work, so every open, read, write and
// lock that meets a sharing or lock conflict (result 5) is tried again: an
// open, read or write up to sharingRetryCount attempts in all, a lock with
// growing pauses for up to lockWaitLimit. Any other error ends the attempt
// at once.
//
// Every failure is a DOS-style result code (0 = success), never an
// exception; the retrying primitives also leave their final code in
// lastIoError, which the storage kinds turn into their own result codes.
//
// errno -> result code:
//   ENOENT                                   2   file not found (3 when an
//                                                open finds the directory missing)
//   ENOTDIR, ENAMETOOLONG, ELOOP             3   path not found
//   EMFILE, ENFILE                           4   too many open files
//   EACCES, EPERM, EAGAIN/EWOULDBLOCK,
//   EBUSY, ETXTBSY, EISDIR, lock conflict    5   access denied (retried)
//   EBADF                                    6   invalid handle
//   ENOMEM                                   8   not enough memory
//   EROFS                                   19   write protected
//   EEXIST                                  80   file exists
//   EINVAL, ESPIPE, EOVERFLOW               87   invalid parameter
//   ENOSPC, EDQUOT, EFBIG, short write     101   disk write error
//   EIO and anything else                   31   general failure
//
// Paths use "/" as separator. Names on Linux compare by case, while FidoNet
// programs create files in either case: open fixed base file names through
// resolveNameNoCase.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orbisk {

// Attempts for an operation that meets a sharing or lock conflict.
extern std::uint16_t sharingRetryCount;  // initially 150
// How long lockRange waits, with pauses, for another program's lock.
extern std::chrono::milliseconds lockWaitLimit;  // initially 2 s
// Result of the latest open, read, write, seek or lock done by the
// primitives below; 0 = success.
extern std::uint16_t lastIoError;

// Access modes the kinds use: the low two bits are the access (0 read,
// 1 write, 2 read/write); the deny-none sharing bit 64 is what every POSIX
// open gives anyway. Files are byte-addressed (record size 1).
constexpr int kModeReadOnly = 64;
constexpr int kModeReadWrite = 66;

constexpr std::uint16_t kIoFileNotFound = 2;
constexpr std::uint16_t kIoPathNotFound = 3;
constexpr std::uint16_t kIoTooManyOpen = 4;
constexpr std::uint16_t kIoAccessDenied = 5;
constexpr std::uint16_t kIoInvalidHandle = 6;
constexpr std::uint16_t kIoNoMemory = 8;
constexpr std::uint16_t kIoWriteProtected = 19;
constexpr std::uint16_t kIoGeneralFailure = 31;
constexpr std::uint16_t kIoFileExists = 80;
constexpr std::uint16_t kIoInvalidParameter = 87;
constexpr std::uint16_t kIoDiskWrite = 101;
constexpr std::uint16_t kIoShortRead = 100;  // readAt: fewer bytes than asked
constexpr std::uint16_t kReadAtMissing = 8888;

std::uint16_t ioResultFromErrno(int err);

// An open file descriptor, closed by the destructor. Move-only.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Result code of close(); 0 when nothing was open.
    std::uint16_t close();
    int release();

private:
    int fd_ = -1;
};

// --- Retrying primitives: true on success, final code in lastIoError. ---

// Opens an existing file. Closes `f` first. A directory is refused with 5.
bool openExisting(FileHandle& f, const std::string& name, int mode);
// Opens the file, creating it empty when missing (never truncates).
bool openOrCreate(FileHandle& f, const std::string& name, int mode);
// Creates the file or truncates an existing one to 0 bytes.
bool createTruncate(FileHandle& f, const std::string& name, int mode);
// Reads up to count bytes; `got` < count only at the end of the file, which
// is not an error.
bool readBlock(FileHandle& f, void* buffer, std::size_t count, std::size_t& got);
// readBlock at `offset` without moving the file position (pread): one
// system call where a seek and a read took two.
bool readBlockAt(FileHandle& f, std::int64_t offset, void* buffer, std::size_t count, std::size_t& got);
// Writes all count bytes; a write that cannot go on gives 101.
bool writeBlock(FileHandle& f, const void* buffer, std::size_t count);
bool seekFile(FileHandle& f, std::int64_t offset);
// Exclusive lock on [offset, offset + length), length > 0 (0 gives 87).
// Advisory fcntl locks: other processes' fcntl locks conflict with it as
// Windows byte-range locks do. Open-file-description locks are used where
// the system has them, so that, as with Windows handle locks, two handles
// of this process conflict too and closing another descriptor of the same
// file does not drop the lock. A read-only handle takes a read lock (POSIX
// grants write locks only on writable descriptors); that still keeps
// writers' locks out.
bool lockRange(FileHandle& f, std::int64_t offset, std::int64_t length);
// One attempt.
bool unlockRange(FileHandle& f, std::int64_t offset, std::int64_t length);
bool flushFile(FileHandle& f);  // fsync
// Current size, -1 on failure.
std::int64_t fileSizeOf(FileHandle& f);
bool truncateFile(FileHandle& f, std::int64_t length);

// --- Whole-file routines ---

// A regular file (directories do not count; links are followed).
bool fileExistsPlain(const std::string& name);
// Size of the file, 0 for a directory, -1 when nothing is there.
std::int64_t fileSizeByName(const std::string& name);
// Reads count bytes at offset (mode 64). 8888 when the file does not exist;
// else the first non-zero result, 100 when the file holds fewer bytes (what
// was there is in the buffer), 0 on success.
std::uint16_t readAt(const std::string& name, void* buffer, std::size_t count, std::int64_t offset);
// Writes count bytes at offset (mode 66), creating the file when missing.
// Count 0 at offset 0 creates an empty file or leaves an existing one alone.
std::uint16_t writeAt(const std::string& name, const void* buffer, std::size_t count, std::int64_t offset);
// Appends zero bytes, in chunks of at most 8000, until the file is length
// bytes long (never longer); creates it when missing. 10 when the chunk
// cannot be allocated.
std::uint16_t extendFile(const std::string& name, std::int64_t length);
std::uint16_t eraseFile(const std::string& name);
std::uint16_t renameFile(const std::string& from, const std::string& to);
// A new unique empty file "G??????" in the directory; its full name, or ""
// when none could be created.
std::string makeTempName(const std::string& directory);
// Creates the directory and its missing parents (errors ignored), then
// reports whether it is a directory. "" stands for the current directory.
bool ensureDirectory(const std::string& path);
// True when path names a directory (the kinds' "area exists" test).
bool directoryExists(const std::string& path);
// Absolute, lexically normalised form of a relative path; "" stays "".
std::string expandPath(const std::string& path);
// The existing directory entry whose last path component equals the one
// given, ignoring ASCII case (an exact match wins, else the first match in
// name order); the path unchanged when there is none.
std::string resolveNameNoCase(const std::string& path);

}  // namespace orbisk
