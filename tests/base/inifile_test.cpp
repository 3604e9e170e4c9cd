#include "base/inifile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/cp1251.h"
#include "base/error.h"
#include "support/tempdir.h"

using orbisk::Error;
using orbisk::IniFile;
using orbisk::operator""_cp1251;
using orbisk::test::readFile;
using orbisk::test::TempDir;
using orbisk::test::writeFile;

namespace {

std::string writeError(const IniFile& ini) { return "Unable to write to " + ini.fileName(); }

std::size_t filesIn(const TempDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
    return n;
}

}  // namespace

TEST(IniFile, ReadsLikeTheWindowsProfileFunctions) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    writeFile(path,
              "orphan=before any section\r\n"
              "[Main]\r\n"
              "  FIDOPath  =  Sc:\\fido\\tv  \r\n"
              "; FIDOPath=commented out\r\n"
              "fidopath=second occurrence\r\n"
              "this line means nothing\r\n"
              "[bad section\r\n"
              "Quoted=\"  kept blanks  \"\r\n"
              "Single='x'\r\n"
              "Mismatched=\"x'\r\n"
              "Lone=\"\r\n"
              "Empty=\r\n"
              "[ Дни ]\r\n"_cp1251
              "Пн=Понедельник\r\n"_cp1251
              "[MAIN]\r\n"
              "JTVGuidePath=from the duplicate section\r\n"
              "[Numbers]\r\n"
              "dec= -12\r\n"
              "plus=+7\r\n"
              "dollar=$1F\r\n"
              "ox=0x1f\r\n"
              "x=X10\r\n"
              "allones=$FFFFFFFF\r\n"
              "trail=12a\r\n"
              "big=2147483648\r\n"
              "blank=\r\n"
              "quoted='5'\r\n"
              "true=2\r\n"
              "false=0\r\n"
              "notbool=yes\r\n"
              "[Last]\r\n"
              "nonewline=end");
    IniFile ini(path);
    EXPECT_TRUE(ini.exists());
    EXPECT_EQ(ini.readString("MAIN", "FIDOPath", "-"), "Sc:\\fido\\tv");
    EXPECT_EQ(ini.readString("main", "FIDOPATH", "-"), "Sc:\\fido\\tv");
    // The key sits in the second [MAIN]: only the first occurrence is read.
    EXPECT_EQ(ini.readString("MAIN", "JTVGuidePath", "-"), "-");
    EXPECT_EQ(ini.readString("MAIN", "orphan", "-"), "-");
    EXPECT_EQ(ini.readString("MAIN", "; FIDOPath", "-"), "-");
    EXPECT_EQ(ini.readString("MAIN", "this line means nothing", "-"), "-");
    EXPECT_EQ(ini.readString("MAIN", "Quoted", "-"), "  kept blanks  ");
    EXPECT_EQ(ini.readString("MAIN", "Single", "-"), "x");
    EXPECT_EQ(ini.readString("MAIN", "Mismatched", "-"), "\"x'");
    EXPECT_EQ(ini.readString("MAIN", "Lone", "-"), "\"");
    EXPECT_EQ(ini.readString("MAIN", "Empty", "-"), "");  // present: no default
    EXPECT_FALSE(ini.sectionExists("bad section"));
    // Cyrillic names compare without regard to case: "дни" / "пн".
    EXPECT_EQ(ini.readString("дни"_cp1251, "пн"_cp1251, "-"), "Понедельник"_cp1251);

    EXPECT_EQ(ini.readInteger("Numbers", "dec", 0), -12);
    EXPECT_EQ(ini.readInteger("Numbers", "plus", 0), 7);
    EXPECT_EQ(ini.readInteger("Numbers", "dollar", 0), 31);
    EXPECT_EQ(ini.readInteger("Numbers", "ox", 0), 31);
    EXPECT_EQ(ini.readInteger("Numbers", "x", 0), 16);
    EXPECT_EQ(ini.readInteger("Numbers", "allones", 0), -1);
    EXPECT_EQ(ini.readInteger("Numbers", "trail", 99), 99);
    EXPECT_EQ(ini.readInteger("Numbers", "big", 99), 99);
    EXPECT_EQ(ini.readInteger("Numbers", "blank", 99), 99);
    EXPECT_EQ(ini.readInteger("Numbers", "quoted", 99), 5);
    EXPECT_EQ(ini.readInteger("Numbers", "missing", 99), 99);
    EXPECT_TRUE(ini.readBool("Numbers", "true", false));
    EXPECT_FALSE(ini.readBool("Numbers", "false", true));
    EXPECT_TRUE(ini.readBool("Numbers", "notbool", true));
    EXPECT_FALSE(ini.readBool("Numbers", "notbool", false));
    EXPECT_EQ(ini.readString("Last", "nonewline", "-"), "end");

    EXPECT_EQ(ini.readSections(), (std::vector<std::string>{"Main", "Дни"_cp1251, "Numbers", "Last"}));
    EXPECT_EQ(ini.readSection("main"),
              (std::vector<std::string>{"FIDOPath", "Quoted", "Single", "Mismatched", "Lone", "Empty"}));
}

TEST(IniFile, MissingFileAndHugeValues) {
    TempDir dir;
    IniFile missing(dir / "none.ini");
    EXPECT_FALSE(missing.exists());
    EXPECT_EQ(missing.readString("MAIN", "FIDOPath", "def"), "def");
    EXPECT_EQ(missing.readInteger("MSG", "DelFromBegin", 5), 5);
    EXPECT_TRUE(missing.readSection("Channels").empty());
    // Erasing from a file that is not there creates nothing.
    missing.eraseSection("Channels");
    EXPECT_FALSE(missing.exists());

    auto path = dir / "big.ini";
    std::string huge(10000, 'v');
    writeFile(path, "[A]\nk=" + huge + "\nnext=1\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("A", "k", ""), std::string(IniFile::kMaxValueLength, 'v'));
    EXPECT_EQ(ini.readInteger("A", "next", 0), 1);
    // Cut after the quotes are gone.
    writeFile(path, "[A]\nk=\"" + huge + "\"\n");
    EXPECT_EQ(IniFile(path).readString("A", "k", ""), std::string(IniFile::kMaxValueLength, 'v'));

    writeFile(path, std::string("\0\0[A]\0\n=\n[\n]\n\xFF\xFE=\x01", 17));
    IniFile garbage(path);
    EXPECT_EQ(garbage.readString("A", "k", "d"), "d");
    EXPECT_EQ(garbage.readString("", "\xFF\xFE", "d"), "d");  // before any section
    EXPECT_TRUE(garbage.readSections().empty());
}

TEST(IniFile, WritesChangeOnlyTheirLine) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    const std::string head = std::string("; Настройки\r\n"_cp1251) +
                             "[MAIN]\r\n"
                             "FidoPath = Sold\r\n"
                             "Unknown=kept\r\n"
                             "garbage line \xFF\r\n"
                             "\r\n"
                             "[MSG]\r\n"
                             "DelFromBegin=5\r\n"
                             "[main]\r\n"
                             "FIDOPath=shadowed\r\n";
    writeFile(path, head);
    IniFile ini(path);
    ini.writeString("main", "FIDOPATH", "Jc:\\fido\\tv");
    std::string expected = std::string("; Настройки\r\n"_cp1251) +
                           "[MAIN]\r\n"
                           "FidoPath=Jc:\\fido\\tv\r\n"
                           "Unknown=kept\r\n"
                           "garbage line \xFF\r\n"
                           "\r\n"
                           "[MSG]\r\n"
                           "DelFromBegin=5\r\n"
                           "[main]\r\n"
                           "FIDOPath=shadowed\r\n";
    EXPECT_EQ(readFile(path), expected);

    // A new key goes after the section's last non-blank line.
    ini.writeInteger("MAIN", "EnableWarning", 0);
    expected.insert(expected.find("\r\n\r\n[MSG]") + 2, "EnableWarning=0\r\n");
    EXPECT_EQ(readFile(path), expected);
    // A new section goes to the end; CR/LF in a value cannot split the line.
    ini.writeString("Schedule", "Message", "a\r\nb");
    expected += "[Schedule]\r\nMessage=a  b\r\n";
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(IniFile(path).readString("Schedule", "Message", ""), "a  b");
    EXPECT_EQ(ini.readString("MAIN", "FIDOPath", ""), "Jc:\\fido\\tv");

    // LF-only lines stay LF; a missing final line end is added before appending.
    auto lf = dir / "lf.ini";
    writeFile(lf, "[A]\nk=1\n\n[B]\nx=1");
    IniFile lfIni(lf);
    lfIni.writeBool("B", "y", true);
    lfIni.writeString("A", "k2", "2");
    lfIni.writeString("C", "z", "3");
    EXPECT_EQ(readFile(lf), "[A]\nk=1\nk2=2\n\n[B]\nx=1\ny=1\n[C]\nz=3\n");

    // A file made new uses CRLF.
    auto fresh = dir / "new.ini";
    IniFile freshIni(fresh);
    freshIni.writeString("DAYS", "1", "Вс"_cp1251);
    EXPECT_EQ(readFile(fresh), "[DAYS]\r\n1=Вс\r\n"_cp1251);
}

TEST(IniFile, EraseSectionRemovesEveryOccurrence) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    writeFile(path,
              "[Channels]\r\n1=ORT\r\n2=NTV\r\n1=dup\r\n; note\r\n"
              "[Channel1]\r\nDesc=First\r\n"
              "[channels]\r\n3=old\r\n"
              "[Keep]\r\nk=v\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readSectionValues("CHANNELS"),
              (std::vector<std::pair<std::string, std::string>>{{"1", "ORT"}, {"2", "NTV"}}));
    ini.eraseSection("Channels");
    EXPECT_EQ(readFile(path), "[Channel1]\r\nDesc=First\r\n[Keep]\r\nk=v\r\n");
    EXPECT_FALSE(ini.sectionExists("Channels"));
    ini.writeString("Channels", "1", "TNT");
    EXPECT_EQ(ini.readSectionValues("Channels"),
              (std::vector<std::pair<std::string, std::string>>{{"1", "TNT"}}));
    EXPECT_EQ(readFile(path), "[Channel1]\r\nDesc=First\r\n[Keep]\r\nk=v\r\n[Channels]\r\n1=TNT\r\n");
}

TEST(IniFile, SeesChangesMadeOnDisk) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    writeFile(path, "[A]\nk=1\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("A", "k", 0), 1);
    // Same size, same inode: the modification time tells.
    writeFile(path, "[A]\nk=2\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(ini.readInteger("A", "k", 0), 2);
    // A write merges into what is on disk now, not into the cached lines.
    writeFile(path, "[A]\nk=3\nother=x\n");
    ini.writeString("A", "new", "y");
    EXPECT_EQ(readFile(path), "[A]\nk=3\nother=x\nnew=y\n");
    std::filesystem::remove(path);
    EXPECT_EQ(ini.readInteger("A", "k", 7), 7);
}

TEST(IniFile, FailedWritesLeaveTheFileIntact) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    const std::string original = "[MSG]\r\nDelFromBegin=5\r\nDelFromEnd=2\r\n";
    writeFile(path, original);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    IniFile ini(path);
    ini.writeInteger("MSG", "DelFromBegin", 6);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "permission bits are kept";
    writeFile(path, original);

    // Disk full while the new file is written: the limit makes write() fail
    // with EFBIG, which root cannot ignore either.
    {
        struct sigaction ignore {}, old {};
        ignore.sa_handler = SIG_IGN;
        ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
        struct rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit small = saved;
        small.rlim_cur = 10;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        std::string what;
        try {
            ini.writeString("MSG", "FirstCaptionRow", "======");
        } catch (const Error& e) {
            what = e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::sigaction(SIGXFSZ, &old, nullptr);
        EXPECT_EQ(what, writeError(ini));
        EXPECT_EQ(readFile(path), original);
        EXPECT_EQ(filesIn(dir), 1u) << "no temporary file is left behind";
        EXPECT_EQ(ini.readString("MSG", "FirstCaptionRow", "none"), "none");
    }

    // The folder vanished.
    {
        TempDir other;
        auto gone = other / "sub";
        std::filesystem::create_directory(gone);
        IniFile lost(gone + "/Orbisk.ini");
        writeFile(lost.fileName(), original);
        EXPECT_EQ(lost.readInteger("MSG", "DelFromEnd", 0), 2);
        std::filesystem::remove_all(gone);
        try {
            lost.writeInteger("MSG", "DelFromEnd", 2);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), writeError(lost));
        }
    }

}

TEST(IniFile, RespectsFilePermissions) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    const std::string original = "[MSG]\r\nDelFromBegin=5\r\nDelFromEnd=2\r\n";
    writeFile(path, original);
    IniFile ini(path);

    // A read-only file: even writing the value it already holds fails.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(ini.writeInteger("MSG", "DelFromBegin", 5), Error);
    EXPECT_THROW(ini.writeInteger("MSG", "DelFromBegin", 9), Error);
    EXPECT_THROW(ini.eraseSection("MSG"), Error);
    EXPECT_EQ(readFile(path), original);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

    // A writable file in a read-only folder: no temporary file can be made.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_THROW(ini.writeInteger("MSG", "DelFromBegin", 9), Error);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(readFile(path), original);

    // A file that cannot be read is never overwritten with what little we know.
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    IniFile blind(path);
    EXPECT_EQ(blind.readInteger("MSG", "DelFromBegin", 42), 42);
    EXPECT_THROW(blind.writeInteger("MSG", "DelFromBegin", 1), Error);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(readFile(path), original);
}

TEST(IniFile, WritesThroughSymbolicLink) {
    TempDir dir;
    auto real = dir / "real.ini";
    auto link = dir / "Orbisk.ini";
    writeFile(real, "[A]\r\nk=1\r\n");
    std::filesystem::create_symlink(real, link);
    IniFile ini(link);
    ini.writeInteger("A", "k", 2);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real), "[A]\r\nk=2\r\n");
}

// A file saved by a Windows editor: UTF-8 with a byte-order mark, or old Mac
// line ends. Both read as the editor shows them and are written back in
// their own form.
TEST(IniFile, ReadsByteOrderMarkAndLoneCarriageReturns) {
    TempDir dir;
    struct Case {
        const char* label;
        std::string bytes;
        std::string afterWrite;  // after writeString("MAIN", "New", "1")
    };
    const Case cases[] = {
        // A byte that is no UTF-8 reads as "?" and stays on disk as it was.
        {"UTF-8 with a mark", "\xEF\xBB\xBF[DAYS]\r\n1=Воскресенье\r\nbad=\xFF\r\n[MAIN]\r\nKey=v\r\n",
         "\xEF\xBB\xBF[DAYS]\r\n1=Воскресенье\r\nbad=\xFF\r\n[MAIN]\r\nKey=v\r\nNew=1\r\n"},
        {"CR only", "[DAYS]\r1=Воскресенье"_cp1251 + std::string("\r[MAIN]\rKey=v\r"),
         "[DAYS]\r1=Воскресенье"_cp1251 + std::string("\r[MAIN]\rKey=v\rNew=1\r")},
        {"mixed ends", "[DAYS]\n1=Воскресенье"_cp1251 + std::string("\r\n[MAIN]\rKey=v"),
         "[DAYS]\n1=Воскресенье"_cp1251 + std::string("\r\n[MAIN]\rKey=v\nNew=1\n")},
    };
    for (const Case& c : cases) {
        const std::string path = dir / "Orbisk.ini";
        writeFile(path, c.bytes);
        IniFile ini(path);
        EXPECT_EQ(ini.readString("DAYS", "1", ""), "Воскресенье"_cp1251) << c.label;
        EXPECT_EQ(ini.readString("MAIN", "Key", ""), "v") << c.label;
        EXPECT_EQ(ini.readSections(), (std::vector<std::string>{"DAYS", "MAIN"})) << c.label;
        ini.writeString("MAIN", "New", "1");
        EXPECT_EQ(readFile(path), c.afterWrite) << c.label;
    }
}

// Two programs saving their own keys of one file at the same time: every
// save of both survives.
TEST(IniFile, ConcurrentWritersLoseNoKey) {
    TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    writeFile(path, "[MAIN]\r\nFIDOPath=F/fido\r\n");
    constexpr int kSaves = 100;
    std::vector<pid_t> children;
    for (const char* section : {"Window", "Cli"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            IniFile ini(path);
            int failed = 0;
            for (int i = 0; i < kSaves; ++i) {
                try {
                    ini.writeInteger(section, "K" + std::to_string(i), i);
                } catch (...) {
                    ++failed;
                }
            }
            ::_exit(failed == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    IniFile ini(path);
    EXPECT_EQ(ini.readString("MAIN", "FIDOPath", ""), "F/fido");
    for (const char* section : {"Window", "Cli"}) {
        EXPECT_EQ(ini.readSection(section).size(), static_cast<std::size_t>(kSaves)) << section;
        EXPECT_EQ(ini.readInteger(section, "K" + std::to_string(kSaves - 1), -1), kSaves - 1) << section;
    }
}
