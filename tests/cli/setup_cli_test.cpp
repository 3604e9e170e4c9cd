// orbisk-cli as an installed program on a machine without a display: the
// settings are looked for where the desktop program looks, made from the
// installed template, filled in by "init", and read even when they cannot
// be written. The program runs from a copy laid out as an install is
// (bin/orbisk-cli beside share/orbisk/Orbisk.ini) with a home of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "support/clirun.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::CliResult;
using test::isoDate;
using test::readFile;
using test::TempDir;

// An installed copy of orbisk-cli under `root`, run with HOME=root/home and
// nothing else pointing at a settings file; as root the command may run as
// "nobody", to whom file permissions apply.
class Installed {
public:
    explicit Installed(const TempDir& dir) : dir_(dir), root_(dir.path()) {
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "share/orbisk");
        fs::create_directories(root_ / "home");
        fs::copy_file(test::kCliProgram, root_ / "bin/orbisk-cli");
        fs::copy_file(ORBISK_BINARY_DIR "/share/orbisk/Orbisk.ini", root_ / "share/orbisk/Orbisk.ini");
    }
    std::string home() const { return (root_ / "home").string(); }
    std::string userIni() const { return home() + "/.config/orbisk/Orbisk.ini"; }

    CliResult run(const std::vector<std::string>& args, bool asNobody = false) const {
        const std::string out = dir_ / "out", err = dir_ / "err";
        const std::string program = (root_ / "bin/orbisk-cli").string();
        const std::string homeVar = "HOME=" + home();
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp{const_cast<char*>(homeVar.c_str()), const_cast<char*>("LANG=C.UTF-8"), nullptr};
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            ::dup2(in, 0);
            ::dup2(o, 1);
            ::dup2(e, 2);
            if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        CliResult r;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid) r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(out);
        r.err = readFile(err);
        return r;
    }
    json runJson(const std::vector<std::string>& args, bool asNobody = false) const {
        const CliResult r = run(args, asNobody);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.status == 0 ? json::parse(r.out) : json();
    }

private:
    const TempDir& dir_;
    fs::path root_;
};

const DateTime kToday = listingDate(SystemClock().now());
const DateTime kMonday = kToday - (dayOfWeek(kToday) + 5) % 7;

TEST(CliSetup, FirstRunWithoutADisplayInACyrillicFolder) {
    TempDir dir;
    const Installed cli(dir);

    // Nothing yet: the error names every place looked at and the way out.
    const CliResult none = cli.run({"weeks"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find(dir / "bin/Orbisk.ini"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find(cli.userIni()), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("orbisk-cli init"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(cli.userIni())) << "a command that reads makes no file";

    // Listings in a folder named in Cyrillic, and the same in a plain one.
    const std::string fido = cli.home() + "/Фидо";
    ASSERT_EQ(cli.run({"demo", "--out", fido, "--format", "text", "--date", isoDate(kToday)}).status, 0);
    fs::rename(fido + "/tv", fido + "/эхо");
    ASSERT_EQ(cli.run({"demo", "--out", dir / "plain", "--format", "text", "--date", isoDate(kToday)}).status, 0);

    const json made = cli.runJson({"init", "--base", "I" + fido + "/эхо"});
    EXPECT_EQ(made["ini"], cli.userIni());
    EXPECT_EQ(made["created"], true);
    EXPECT_EQ(made["base"], "I" + fido + "/эхо");
    // Stored in the settings' own code page, so a copy read on Windows agrees.
    EXPECT_NE(readFile(cli.userIni()).find("FIDOPath=I"_cp1251 + (cli.home() + "/Фидо/эхо"_cp1251)), std::string::npos);
    struct ::stat st {};
    ASSERT_EQ(::stat(cli.userIni().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(cli.runJson({"init"})["created"], false);

    // The reference: the same listings through a file named with --ini.
    const std::string plainIni = dir / "plain.ini";
    EXPECT_EQ(cli.runJson({"--ini", plainIni, "init", "--base", "I" + dir / "plain/tv"})["created"], true);
    int daysWithText = 0;
    for (int d = 0; d < 7; ++d) {
        const json cyrillic = cli.runJson({"day", isoDate(kMonday + d)});
        EXPECT_EQ(cyrillic, cli.runJson({"--ini", plainIni, "day", isoDate(kMonday + d)})) << d;
        daysWithText += cyrillic.value("has_text", false) ? 1 : 0;
    }
    EXPECT_EQ(daysWithText, 7);

    // A base the settings' code page cannot name is refused, nothing stored.
    fs::create_directories(cli.home() + "/josé");
    const CliResult refused = cli.run({"init", "--base", "I" + cli.home() + "/josé"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Windows-1251"), std::string::npos) << refused.err;
    const CliResult missing = cli.run({"init", "--base", "I" + cli.home() + "/нет"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/нет не существует"), std::string::npos) << missing.err;
    EXPECT_EQ(cli.runJson({"weeks"})["weeks"].size(), 1u) << "the stored base is unchanged";
}

// Reading commands need nothing written: a settings file and folder the
// user may not write still serve them.
TEST(CliSetup, ReadOnlySettingsServeReadingCommands) {
    TempDir dir;
    const Installed cli(dir);
    ASSERT_EQ(cli.run({"demo", "--out", dir / "plain", "--format", "text", "--date", isoDate(kToday)}).status, 0);
    ASSERT_EQ(cli.run({"init", "--base", "I" + dir / "plain/tv"}).status, 0);
    const std::string before = readFile(cli.userIni());
    const fs::path folder = fs::path(cli.userIni()).parent_path();
    // "nobody" must reach the files, but may write none of them.
    for (const fs::path& p :
         {dir.path(), dir.path() / "bin", dir.path() / "share", dir.path() / "share/orbisk", dir.path() / "home",
          dir.path() / "home/.config", dir.path() / "plain", dir.path() / "plain/tv"})
        fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    for (const auto& e : fs::directory_iterator(dir.path() / "plain/tv")) fs::permissions(e.path(), fs::perms(0444));
    fs::permissions(cli.userIni(), fs::perms(0444));
    fs::permissions(folder, fs::perms(0555));

    const json weeks = cli.runJson({"weeks"}, true);
    EXPECT_EQ(weeks["weeks"].size(), 1u);
    EXPECT_EQ(cli.runJson({"day", isoDate(kToday)}, true)["has_text"], true);
    EXPECT_EQ(readFile(cli.userIni()), before);
    fs::permissions(folder, fs::perms(0755));
}

}  // namespace
}  // namespace orbisk
