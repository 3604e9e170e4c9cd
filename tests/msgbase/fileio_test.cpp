#include "msgbase/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "msgbase/bufferedfile.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Pattern(std::size_t n, unsigned seed = 1) {
    std::string s(n, '\0');
    std::mt19937 rng(seed);
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// Restores the retry count a test lowered.
struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(SharingRetryCount) { SharingRetryCount = n; }
    ~RetryCount() { SharingRetryCount = saved; }
    std::uint16_t saved;
};

TEST(FileIo, OpenErrorsBecomeDosCodes) {
    TempDir dir;
    FileHandle f;
    EXPECT_FALSE(OpenExisting(f, dir / "none.msg", kModeReadOnly));
    EXPECT_EQ(LastIoError, kIoFileNotFound);
    EXPECT_FALSE(OpenExisting(f, dir / "nodir/1.msg", kModeReadOnly));
    EXPECT_EQ(LastIoError, kIoPathNotFound);
    EXPECT_FALSE(OpenExisting(f, dir.str(), kModeReadOnly));  // a directory is no file
    EXPECT_EQ(LastIoError, kIoAccessDenied);
    EXPECT_FALSE(f.IsOpen());

    WriteFile(dir / "a", "hello");
    ASSERT_TRUE(OpenExisting(f, dir / "a", kModeReadOnly));
    EXPECT_EQ(LastIoError, 0);
    EXPECT_FALSE(WriteBlock(f, "x", 1));  // read-only handle
    EXPECT_NE(LastIoError, 0);
    char buf[10];
    std::size_t got = 0;
    EXPECT_TRUE(ReadBlock(f, buf, sizeof buf, got));  // end of file is no error
    EXPECT_EQ(std::string(buf, got), "hello");
    EXPECT_EQ(FileSizeOf(f), 5);

    EXPECT_EQ(IoResultFromErrno(EROFS), kIoWriteProtected);
    EXPECT_EQ(IoResultFromErrno(ENOSPC), kIoDiskWrite);
    EXPECT_EQ(IoResultFromErrno(EIO), kIoGeneralFailure);
}

TEST(FileIo, UnreadableFileIsAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads mode-000 files";
    TempDir dir;
    WriteFile(dir / "locked", "x");
    chmod((dir / "locked").c_str(), 0);
    RetryCount few(3);
    FileHandle f;
    EXPECT_FALSE(OpenExisting(f, dir / "locked", kModeReadOnly));
    EXPECT_EQ(LastIoError, kIoAccessDenied);
    char c;
    EXPECT_EQ(ReadAt(dir / "locked", &c, 1, 0), kIoAccessDenied);
}

TEST(FileIo, LockHeldByAnotherProcess) {
    TempDir dir;
    const std::string name = dir / "MSGINFO.BBS";
    WriteFile(name, std::string(512, '\0'));
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
    ASSERT_TRUE(OpenExisting(f, name, kModeReadWrite));
    {
        RetryCount few(5);
        EXPECT_FALSE(LockRange(f, 406, 1));
        EXPECT_EQ(LastIoError, kIoAccessDenied);
        EXPECT_TRUE(LockRange(f, 0, 406));  // the bytes before are free
        EXPECT_TRUE(UnlockRange(f, 0, 406));
    }
    (void)!write(toChild[1], "x", 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(LockRange(f, 406, 1));
    EXPECT_EQ(LastIoError, 0);
    EXPECT_TRUE(UnlockRange(f, 406, 1));
    EXPECT_FALSE(LockRange(f, 0, 0));
    EXPECT_EQ(LastIoError, kIoInvalidParameter);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

#ifdef F_OFD_SETLK
TEST(FileIo, LocksBelongToTheHandle) {
    TempDir dir;
    WriteFile(dir / "x.sqd", "0123456789");
    FileHandle a, b, c;
    ASSERT_TRUE(OpenExisting(a, dir / "x.sqd", kModeReadWrite));
    ASSERT_TRUE(OpenExisting(b, dir / "x.sqd", kModeReadWrite));
    ASSERT_TRUE(OpenExisting(c, dir / "x.sqd", kModeReadOnly));
    RetryCount few(2);
    ASSERT_TRUE(LockRange(a, 0, 1));
    EXPECT_FALSE(LockRange(b, 0, 1));
    c.Close();  // closing another descriptor keeps a's lock
    EXPECT_FALSE(LockRange(b, 0, 1));
    EXPECT_TRUE(UnlockRange(a, 0, 1));
    EXPECT_TRUE(LockRange(b, 0, 1));
    EXPECT_TRUE(FlushFile(b));
}
#endif

TEST(FileIo, WholeFileRoutines) {
    TempDir dir;
    const std::string name = dir / "LastRead";
    char buf[8] = {};
    EXPECT_EQ(ReadAt(name, buf, 2, 0), kReadAtMissing);
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(FileSizeByName(name), -1);

    EXPECT_EQ(WriteAt(name, nullptr, 0, 0), 0);  // creates it empty
    EXPECT_TRUE(FileExistsPlain(name));
    EXPECT_EQ(FileSizeByName(name), 0);
    EXPECT_EQ(WriteAt(name, "ab", 2, 4), 0);  // the gap reads as zeros
    EXPECT_EQ(ReadFile(name), std::string("\0\0\0\0ab", 6));
    EXPECT_EQ(WriteAt(name, nullptr, 0, 0), 0);  // leaves an existing file alone
    EXPECT_EQ(FileSizeByName(name), 6);
    EXPECT_EQ(ReadAt(name, buf, 2, 4), 0);
    EXPECT_EQ(std::string(buf, 2), "ab");
    EXPECT_EQ(ReadAt(name, buf, 4, 4), kIoShortRead);

    EXPECT_EQ(ExtendFile(name, 20001), 0);
    EXPECT_EQ(FileSizeByName(name), 20001);  // exactly, not a whole chunk more
    const std::string grown = ReadFile(name);
    EXPECT_EQ(grown.substr(0, 6), std::string("\0\0\0\0ab", 6));
    EXPECT_EQ(grown.find_first_not_of('\0', 6), std::string::npos);
    EXPECT_EQ(ExtendFile(name, 10), 0);  // never shrinks
    EXPECT_EQ(FileSizeByName(name), 20001);
    EXPECT_EQ(ExtendFile(dir / "new", 3), 0);
    EXPECT_EQ(ReadFile(dir / "new"), std::string(3, '\0'));

    EXPECT_FALSE(FileExistsPlain(dir.str()));
    EXPECT_EQ(FileSizeByName(dir.str()), 0);
    EXPECT_EQ(EraseFile(dir / "new"), 0);
    EXPECT_EQ(EraseFile(dir / "new"), kIoFileNotFound);
    EXPECT_EQ(RenameFile(name, dir / "1.Msg"), 0);
    EXPECT_TRUE(FileExistsPlain(dir / "1.Msg"));
}

TEST(FileIo, TempNamesAndDirectories) {
    TempDir dir;
    const std::string t1 = MakeTempName(dir.str()), t2 = MakeTempName(dir.str() + "/");
    ASSERT_FALSE(t1.empty());
    EXPECT_NE(t1, t2);
    EXPECT_EQ(std::filesystem::path(t1).parent_path(), dir.path());
    EXPECT_EQ(std::filesystem::path(t1).filename().string()[0], 'G');
    EXPECT_TRUE(FileExistsPlain(t1));
    EXPECT_EQ(MakeTempName(dir / "missing"), "");

    EXPECT_TRUE(EnsureDirectory(dir / "fido/echo/tvlist"));
    EXPECT_TRUE(DirectoryExists(dir / "fido/echo/tvlist/"));
    EXPECT_TRUE(EnsureDirectory(dir / "fido/echo/tvlist/"));
    WriteFile(dir / "plain", "x");
    EXPECT_FALSE(EnsureDirectory(dir / "plain/sub"));
    EXPECT_FALSE(DirectoryExists(dir / "plain"));

    EXPECT_EQ(ExpandPath(""), "");
    EXPECT_EQ(ExpandPath("/a/./b/../c"), "/a/c");
    const std::string rel = ExpandPath("squish/TVLIST");
    EXPECT_EQ(rel, (std::filesystem::current_path() / "squish/TVLIST").string());
}

TEST(FileIo, NamesResolveWithoutRegardToCase) {
    TempDir dir;
    WriteFile(dir / "MSGINFO.BBS", "");
    WriteFile(dir / "x.sqd", "");
    WriteFile(dir / "X.SQD", "");
    EXPECT_EQ(ResolveNameNoCase(dir / "msginfo.bbs"), dir / "MSGINFO.BBS");
    EXPECT_EQ(ResolveNameNoCase(dir / "MsgInfo.Bbs"), dir / "MSGINFO.BBS");
    EXPECT_EQ(ResolveNameNoCase(dir / "X.SQD"), dir / "X.SQD");  // exact match wins
    EXPECT_EQ(ResolveNameNoCase(dir / "x.sqd"), dir / "x.sqd");
    EXPECT_EQ(ResolveNameNoCase(dir / "X.sqd"), dir / "X.SQD");  // first in name order
    EXPECT_EQ(ResolveNameNoCase(dir / "msgtxt.bbs"), dir / "msgtxt.bbs");
    EXPECT_EQ(ResolveNameNoCase(dir / "NODIR/msginfo.bbs"), dir / "NODIR/msginfo.bbs");
}

// --- BufferedFile ---

TEST(BufferedFile, ReadsAndWritesAcrossWindows) {
    TempDir dir;
    const std::string name = dir / "1.MSG";
    std::string model = Pattern(10000);
    WriteFile(name, model);

    BufferedFile bf;
    ASSERT_TRUE(bf.Open(name, kModeReadWrite));
    EXPECT_EQ(bf.FileLength(), 10000);
    std::string got(10000, '\0');
    std::size_t n = 0;
    ASSERT_TRUE(bf.Read(got.data(), 3000, n));
    ASSERT_TRUE(bf.Read(got.data() + 3000, 7000, n));
    EXPECT_EQ(n, 7000u);
    EXPECT_EQ(got, model);
    EXPECT_EQ(bf.Position(), 10000);
    ASSERT_TRUE(bf.Read(got.data(), 10, n));
    EXPECT_EQ(n, 0u);

    bf.Seek(3995);  // a write that straddles the first window's end
    ASSERT_TRUE(bf.Write("ABCDEFGHIJ", 10));
    model.replace(3995, 10, "ABCDEFGHIJ");
    bf.Seek(3990);
    got.assign(20, '\0');
    ASSERT_TRUE(bf.Read(got.data(), 20, n));
    EXPECT_EQ(got, model.substr(3990, 20));

    bf.Seek(9995);  // grows the file
    const std::string tail = Pattern(5000, 2);
    ASSERT_TRUE(bf.Write(tail.data(), tail.size()));
    model.replace(9995, std::string::npos, tail);
    EXPECT_EQ(bf.FileLength(), 14995);
    bf.Seek(0);
    got.assign(model.size() + 5, '\0');
    ASSERT_TRUE(bf.Read(got.data(), got.size(), n));
    EXPECT_EQ(n, model.size());
    got.resize(n);
    EXPECT_EQ(got, model);
    ASSERT_TRUE(bf.Close());
    EXPECT_FALSE(bf.IsOpen());
    EXPECT_EQ(ReadFile(name), model);
}

TEST(BufferedFile, WriteInsideTheFileKeepsTheBytesAround) {
    TempDir dir;
    const std::string name = dir / "2.MSG";
    std::string model = Pattern(10000, 3);
    WriteFile(name, model);
    BufferedFile bf;
    ASSERT_TRUE(bf.Open(name, kModeReadWrite));
    bf.Seek(9000);  // empty window started mid-file by a write
    ASSERT_TRUE(bf.Write("ab", 2));
    bf.Seek(10500);  // past the end, inside the window's room
    ASSERT_TRUE(bf.Write("c", 1));
    model.replace(9000, 2, "ab");
    model.resize(10500, '\0');
    model += 'c';
    bf.Seek(9001);
    std::string got(20, '\0');
    std::size_t n = 0;
    ASSERT_TRUE(bf.Read(got.data(), 20, n));
    EXPECT_EQ(got.substr(0, n), model.substr(9001, 20));
    ASSERT_TRUE(bf.Close());
    EXPECT_EQ(ReadFile(name), model);
}

TEST(BufferedFile, MatchesAModelUnderRandomUse) {
    TempDir dir;
    const std::string name = dir / "3.MSG";
    std::mt19937 rng(7);
    for (std::size_t bufSize : {std::size_t{4000}, std::size_t{7}, std::size_t{64}}) {
        std::string model = Pattern(rng() % 3000, static_cast<unsigned>(bufSize));
        WriteFile(name, model);
        BufferedFile bf(bufSize);
        ASSERT_TRUE(bf.Open(name, kModeReadWrite));
        std::int64_t pos = 0;
        for (int step = 0; step < 400; ++step) {
            const auto p = static_cast<std::int64_t>(rng() % (model.size() + 200));
            const std::size_t len = rng() % 300;
            bf.Seek(p);
            pos = p;
            if (rng() % 2) {
                const std::string data = Pattern(len, static_cast<unsigned>(step));
                ASSERT_TRUE(bf.Write(data.data(), len));
                if (len > 0 && static_cast<std::size_t>(pos) > model.size()) model.resize(static_cast<std::size_t>(pos), '\0');
                if (len > 0)
                    model.replace(static_cast<std::size_t>(pos), std::min(len, model.size() - static_cast<std::size_t>(pos)), data);
            } else {
                std::string got(len, '\0');
                std::size_t n = 0;
                ASSERT_TRUE(bf.Read(got.data(), len, n));
                const std::string want =
                    static_cast<std::size_t>(pos) < model.size() ? model.substr(static_cast<std::size_t>(pos), len) : "";
                ASSERT_EQ(got.substr(0, n), want) << "buffer " << bufSize << " step " << step;
            }
            ASSERT_EQ(bf.FileLength(), static_cast<std::int64_t>(model.size()));
        }
        ASSERT_TRUE(bf.Close());
        EXPECT_EQ(ReadFile(name), model) << "buffer " << bufSize;
    }
}

TEST(BufferedFile, OpenCreatesAMissingFile) {
    TempDir dir;
    BufferedFile bf;
    ASSERT_TRUE(bf.Open(dir / "new.Msg", kModeReadWrite));
    EXPECT_EQ(bf.FileLength(), 0);
    bf.Seek(3);
    ASSERT_TRUE(bf.Write("x", 1));
    ASSERT_TRUE(bf.Open(dir / "other.Msg", kModeReadWrite));  // closes (and flushes) the first
    EXPECT_EQ(ReadFile(dir / "new.Msg"), std::string("\0\0\0x", 4));
    EXPECT_FALSE(bf.Open(dir / "nodir/x.Msg", kModeReadWrite));
    EXPECT_EQ(LastIoError, kIoPathNotFound);
    EXPECT_FALSE(bf.IsOpen());
    std::size_t n = 1;
    char c;
    EXPECT_FALSE(bf.Read(&c, 1, n));
    EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace orbisk
