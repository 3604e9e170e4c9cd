// orbisk-cli print, jtv and delete-old on the demo mailing, checked against
// the core run in this process on the same files.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "viewer/viewer.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "export/printtext.h"
#include "support/clirun.h"
#include "support/tempdir.h"


namespace orbisk {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::CliResult;
using test::isoDate;
using test::TempDir;

class Silent : public Notifier {
public:
    void show(const std::string&, const std::string&, MsgIcon) override {}
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

// The demo mailing of this week in a *.MSG area; the shown day is Thursday.
class ExportCli : public ::testing::Test {
protected:
    void SetUp() override {
        const DateTime today = listingDate(SystemClock().now());
        monday = today - (dayOfWeek(today) + 5) % 7;
        ASSERT_EQ(test::runCli(dir, {"demo", "--out", dir.str(), "--format", "msg", "--date", isoDate(today)}).status, 0);
        ini = dir / "Orbisk.ini";
    }
    TempDir dir;
    DateTime monday = 0;
    std::string ini;
};

TEST_F(ExportCli, PrintWritesTheBytesOfTheCore) {
    const std::string thursday = isoDate(monday + 3);
    const CliResult toFile = test::runCli(dir, {"--ini", ini, "print", thursday, "--out", dir / "week.txt"});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    const CliResult toStdout = test::runCli(dir, {"--ini", ini, "print", thursday});
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;

    Silent silent;
    SystemClock clock;
    NoPrompts prompts;
    Viewer viewer(ini, silent, clock);
    ASSERT_TRUE(viewer.refreshListings(prompts, true));
    viewer.showDay(monday + 3);
    const std::string expected = buildPrintText(viewer);
    ASSERT_GT(expected.size(), 1000u);
    EXPECT_EQ(test::readFile(dir / "week.txt"), expected);
    EXPECT_EQ(toStdout.out, expected);
    // Thursday to Sunday: four hyphen lines.
    std::size_t days = 0;
    for (std::size_t p = expected.find(std::string(80, '-')); p != std::string::npos;
         p = expected.find(std::string(80, '-'), p + 1))
        ++days;
    EXPECT_EQ(days, 4u);

    EXPECT_EQ(test::runCli(dir, {"--ini", ini, "print", "2026-02-30"}).status, 1);
    EXPECT_EQ(test::runCli(dir, {"--ini", ini, "print", thursday, "--out"}).status, 1);
}

// A run that wrote nothing fails and says why.
TEST_F(ExportCli, JtvIntoAMissingFolderFails) {
    const CliResult run = test::runCli(dir, {"--ini", ini, "jtv", isoDate(monday + 3), "--out", dir / "none/dir"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("none/dir"), std::string::npos) << run.err;
}

TEST_F(ExportCli, JtvExportsTheWeekWithoutStoringTheFolder) {
    const std::string out = dir / "jtv";
    fs::create_directory(out);
    const std::string iniBefore = test::readFile(ini);
    const CliResult run = test::runCli(dir, {"--ini", ini, "jtv", isoDate(monday + 3), "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    const json j = json::parse(run.out);
    EXPECT_TRUE(j["week_found"].get<bool>());
    EXPECT_EQ(j["files"].size(), 20u);  // ten channels
    int records = 0;
    for (const auto& f : j["files"]) {
        const std::string path = f.get<std::string>();
        ASSERT_TRUE(fs::exists(path)) << path;
        if (path.ends_with(".ndx")) {
            const std::string ndx = test::readFile(path);
            const int count = static_cast<unsigned char>(ndx[0]) | static_cast<unsigned char>(ndx[1]) << 8;
            EXPECT_EQ(ndx.size(), 2u + 12u * static_cast<unsigned>(count)) << path;
            records += count;
        }
    }
    EXPECT_EQ(records, j["records"].get<int>());
    EXPECT_GT(records, 7 * 10 * 5);
    EXPECT_EQ(test::readFile(ini), iniBefore);
}

TEST_F(ExportCli, DeleteOldListsThenDeletes) {
    // Shown a week later, the whole demo week is old.
    const std::string later = isoDate(monday + 7);
    const CliResult list = test::runCli(dir, {"--ini", ini, "delete-old", later});
    ASSERT_EQ(list.status, 0) << list.err;
    const json planned = json::parse(list.out);
    EXPECT_EQ(planned["cutoff"], isoDate(monday + 7));
    // The demo area: 1 rules, 2..8 the mailing, 9 and 10 replies. Message 1
    // of a *.MSG area is never deleted.
    EXPECT_EQ(planned["delete"], json::parse("[9,10,2,3,4,5,6,7,8]"));
    EXPECT_EQ(planned["keep"], json::parse("[1]"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "echo"), fs::directory_iterator()), 10);

    const CliResult done = test::runCli(dir, {"--ini", ini, "delete-old", later, "--yes"});
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(json::parse(done.out)["deleted"], planned["delete"]);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "echo"), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(dir / "echo/1.msg"));
    EXPECT_EQ(json::parse(test::runCli(dir, {"--ini", ini, "delete-old", later}).out)["delete"], json::array());
}

}  // namespace
}  // namespace orbisk
