#include "msgbase/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// Restores the retry count a test lowered.
struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(sharingRetryCount) { sharingRetryCount = n; }
    ~RetryCount() { sharingRetryCount = saved; }
    std::uint16_t saved;
};

TEST(FileIo, OpenErrorsBecomeDosCodes) {
    TempDir dir;
    FileHandle f;
    EXPECT_FALSE(openExisting(f, dir / "none.msg", kModeReadOnly));
    EXPECT_EQ(lastIoError, kIoFileNotFound);
    EXPECT_FALSE(openExisting(f, dir / "nodir/1.msg", kModeReadOnly));
    EXPECT_EQ(lastIoError, kIoPathNotFound);
    EXPECT_FALSE(openExisting(f, dir.str(), kModeReadOnly));  // a directory is no file
    EXPECT_EQ(lastIoError, kIoAccessDenied);
    EXPECT_FALSE(f.isOpen());

    writeFile(dir / "a", "hello");
    ASSERT_TRUE(openExisting(f, dir / "a", kModeReadOnly));
    EXPECT_EQ(lastIoError, 0);
    EXPECT_FALSE(writeBlock(f, "x", 1));  // read-only handle
    EXPECT_NE(lastIoError, 0);
    char buf[10];
    std::size_t got = 0;
    EXPECT_TRUE(readBlock(f, buf, sizeof buf, got));  // end of file is no error
    EXPECT_EQ(std::string(buf, got), "hello");
    EXPECT_EQ(fileSizeOf(f), 5);

    EXPECT_EQ(ioResultFromErrno(EROFS), kIoWriteProtected);
    EXPECT_EQ(ioResultFromErrno(ENOSPC), kIoDiskWrite);
    EXPECT_EQ(ioResultFromErrno(EIO), kIoGeneralFailure);
}

TEST(FileIo, UnreadableFileIsAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads mode-000 files";
    TempDir dir;
    writeFile(dir / "locked", "x");
    chmod((dir / "locked").c_str(), 0);
    RetryCount few(3);
    FileHandle f;
    EXPECT_FALSE(openExisting(f, dir / "locked", kModeReadOnly));
    EXPECT_EQ(lastIoError, kIoAccessDenied);
    char c;
    EXPECT_EQ(readAt(dir / "locked", &c, 1, 0), kIoAccessDenied);
}

TEST(FileIo, LockHeldByAnotherProcess) {
    TempDir dir;
    const std::string name = dir / "MSGINFO.BBS";
    writeFile(name, std::string(512, '\0'));
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Classic process lock, as other FidoNet programs take it.
        int fd = open(name.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 406;
        fl.l_len = 1;
        char ok = fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0 ? 'L' : 'E';
        (void)!write(toParent[1], &ok, 1);
        char c;
        (void)!read(toChild[0], &c, 1);  // hold until told
        _exit(0);
    }
    char state = 0;
    ASSERT_EQ(read(toParent[0], &state, 1), 1);
    ASSERT_EQ(state, 'L');

    FileHandle f;
    ASSERT_TRUE(openExisting(f, name, kModeReadWrite));
    {
        RetryCount few(5);
        EXPECT_FALSE(lockRange(f, 406, 1));
        EXPECT_EQ(lastIoError, kIoAccessDenied);
        EXPECT_TRUE(lockRange(f, 0, 406));  // the bytes before are free
        EXPECT_TRUE(unlockRange(f, 0, 406));
    }
    (void)!write(toChild[1], "x", 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(lockRange(f, 406, 1));
    EXPECT_EQ(lastIoError, 0);
    EXPECT_TRUE(unlockRange(f, 406, 1));
    EXPECT_FALSE(lockRange(f, 0, 0));
    EXPECT_EQ(lastIoError, kIoInvalidParameter);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

#ifdef F_OFD_SETLK
TEST(FileIo, LocksBelongToTheHandle) {
    TempDir dir;
    writeFile(dir / "x.sqd", "0123456789");
    FileHandle a, b, c;
    ASSERT_TRUE(openExisting(a, dir / "x.sqd", kModeReadWrite));
    ASSERT_TRUE(openExisting(b, dir / "x.sqd", kModeReadWrite));
    ASSERT_TRUE(openExisting(c, dir / "x.sqd", kModeReadOnly));
    RetryCount few(2);
    ASSERT_TRUE(lockRange(a, 0, 1));
    EXPECT_FALSE(lockRange(b, 0, 1));
    c.close();  // closing another descriptor keeps a's lock
    EXPECT_FALSE(lockRange(b, 0, 1));
    EXPECT_TRUE(unlockRange(a, 0, 1));
    EXPECT_TRUE(lockRange(b, 0, 1));
    EXPECT_TRUE(flushFile(b));
}
#endif

TEST(FileIo, WholeFileRoutines) {
    TempDir dir;
    const std::string name = dir / "LastRead";
    char buf[8] = {};
    EXPECT_EQ(readAt(name, buf, 2, 0), kReadAtMissing);
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(fileSizeByName(name), -1);

    EXPECT_EQ(writeAt(name, nullptr, 0, 0), 0);  // creates it empty
    EXPECT_TRUE(fileExistsPlain(name));
    EXPECT_EQ(fileSizeByName(name), 0);
    EXPECT_EQ(writeAt(name, "ab", 2, 4), 0);  // the gap reads as zeros
    EXPECT_EQ(readFile(name), std::string("\0\0\0\0ab", 6));
    EXPECT_EQ(writeAt(name, nullptr, 0, 0), 0);  // leaves an existing file alone
    EXPECT_EQ(fileSizeByName(name), 6);
    EXPECT_EQ(readAt(name, buf, 2, 4), 0);
    EXPECT_EQ(std::string(buf, 2), "ab");
    EXPECT_EQ(readAt(name, buf, 4, 4), kIoShortRead);

    EXPECT_EQ(extendFile(name, 20001), 0);
    EXPECT_EQ(fileSizeByName(name), 20001);  // exactly, not a whole chunk more
    const std::string grown = readFile(name);
    EXPECT_EQ(grown.substr(0, 6), std::string("\0\0\0\0ab", 6));
    EXPECT_EQ(grown.find_first_not_of('\0', 6), std::string::npos);
    EXPECT_EQ(extendFile(name, 10), 0);  // never shrinks
    EXPECT_EQ(fileSizeByName(name), 20001);
    EXPECT_EQ(extendFile(dir / "new", 3), 0);
    EXPECT_EQ(readFile(dir / "new"), std::string(3, '\0'));

    EXPECT_FALSE(fileExistsPlain(dir.str()));
    EXPECT_EQ(fileSizeByName(dir.str()), 0);
    EXPECT_EQ(eraseFile(dir / "new"), 0);
    EXPECT_EQ(eraseFile(dir / "new"), kIoFileNotFound);
    EXPECT_EQ(renameFile(name, dir / "1.Msg"), 0);
    EXPECT_TRUE(fileExistsPlain(dir / "1.Msg"));
}

TEST(FileIo, TempNamesAndDirectories) {
    TempDir dir;
    const std::string t1 = makeTempName(dir.str()), t2 = makeTempName(dir.str() + "/");
    ASSERT_FALSE(t1.empty());
    EXPECT_NE(t1, t2);
    EXPECT_EQ(std::filesystem::path(t1).parent_path(), dir.path());
    EXPECT_EQ(std::filesystem::path(t1).filename().string()[0], 'G');
    EXPECT_TRUE(fileExistsPlain(t1));
    EXPECT_EQ(makeTempName(dir / "missing"), "");

    EXPECT_TRUE(ensureDirectory(dir / "fido/echo/tvlist"));
    EXPECT_TRUE(directoryExists(dir / "fido/echo/tvlist/"));
    EXPECT_TRUE(ensureDirectory(dir / "fido/echo/tvlist/"));
    writeFile(dir / "plain", "x");
    EXPECT_FALSE(ensureDirectory(dir / "plain/sub"));
    EXPECT_FALSE(directoryExists(dir / "plain"));

    EXPECT_EQ(expandPath(""), "");
    EXPECT_EQ(expandPath("/a/./b/../c"), "/a/c");
    const std::string rel = expandPath("squish/TVLIST");
    EXPECT_EQ(rel, (std::filesystem::current_path() / "squish/TVLIST").string());
}

TEST(FileIo, NamesResolveWithoutRegardToCase) {
    TempDir dir;
    writeFile(dir / "MSGINFO.BBS", "");
    writeFile(dir / "x.sqd", "");
    writeFile(dir / "X.SQD", "");
    EXPECT_EQ(resolveNameNoCase(dir / "msginfo.bbs"), dir / "MSGINFO.BBS");
    EXPECT_EQ(resolveNameNoCase(dir / "MsgInfo.Bbs"), dir / "MSGINFO.BBS");
    EXPECT_EQ(resolveNameNoCase(dir / "X.SQD"), dir / "X.SQD");  // exact match wins
    EXPECT_EQ(resolveNameNoCase(dir / "x.sqd"), dir / "x.sqd");
    EXPECT_EQ(resolveNameNoCase(dir / "X.sqd"), dir / "X.SQD");  // first in name order
    EXPECT_EQ(resolveNameNoCase(dir / "msgtxt.bbs"), dir / "msgtxt.bbs");
    EXPECT_EQ(resolveNameNoCase(dir / "NODIR/msginfo.bbs"), dir / "NODIR/msginfo.bbs");
}

}  // namespace
}  // namespace orbisk
