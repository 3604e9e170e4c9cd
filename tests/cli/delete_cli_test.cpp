// orbisk-cli delete-old --yes against a base whose lock another program
// holds: held for long, the run fails, says what failed and changes
// nothing; held for a moment, the run waits and deletes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/messagearea.h"
#include "support/clirun.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::TempDir;

void makeChatBase(const std::string& identifier, int messages) {
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(createAreaForIdentifier(a, identifier));
    ASSERT_EQ(a->createArea(), 0);
    ASSERT_EQ(a->openArea(), 0);
    for (int i = 1; i <= messages; ++i) {
        a->startNewMessage();
        a->setFromName("Reader");
        a->setToName("All");
        a->setSubject("Hello " + std::to_string(i));
        a->setDateTime(encodeDate(2026, 12, 1) + encodeTime(10, i));
        a->setMailKind(1);
        a->writeTextLine("chat");
        ASSERT_EQ(a->saveMessage(), 0);
    }
    ASSERT_TRUE(closeAreaAndFree(a));
}

std::string baseBytes(const std::string& base) {
    return test::readFile(base + ".sqd") + test::readFile(base + ".sqi");
}

TEST(DeleteOldCli, ALockHeldLongFailsAndSaysWhyAndOneHeldForAMomentIsWaitedFor) {
    TempDir dir;
    const std::string base = dir / "tv";
    const std::string identifier = "S" + base;
    makeChatBase(identifier, 3);
    const std::string ini = dir / "Orbisk.ini";
    test::writeListingIni(ini, identifier);
    const std::vector<std::string> run = {"--ini", ini, "delete-old", "2026-12-09", "--yes"};

    std::unique_ptr<MessageArea> tosser;
    ASSERT_TRUE(openAreaByIdentifier(tosser, identifier));
    ASSERT_TRUE(tosser->lockArea());
    const std::string before = baseBytes(base);
    const test::CliResult held = test::runCli(dir, run);
    EXPECT_EQ(held.status, 1) << held.err;
    EXPECT_NE(held.err.find("Не удалось удалить: 3"), std::string::npos) << held.err;
    EXPECT_NE(held.err.find("№2: база занята другой программой"), std::string::npos) << held.err;
    const json report = json::parse(held.out);
    EXPECT_EQ(report["deleted"], json::array());
    ASSERT_EQ(report["failed"].size(), 3u);
    EXPECT_EQ(report["failed"][0]["code"], 5);
    EXPECT_EQ(baseBytes(base), before);

    // Released while the run waits for it.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        tosser->unlockArea();
    });
    const test::CliResult waited = test::runCli(dir, run);
    release.join();
    EXPECT_EQ(waited.status, 0) << waited.err;
    EXPECT_EQ(json::parse(waited.out)["deleted"], json::parse("[1,2,3]"));
    EXPECT_TRUE(waited.err.empty()) << waited.err;
    closeAreaAndFree(tosser);
}

// The settings hold the folder in 1251; the preview must open the same
// file-system folder the run opens, or it lists another base's messages.
TEST(DeleteOldCli, PreviewAndRunOpenTheSameBaseInACyrillicFolder) {
    TempDir dir;
    fs::create_directories(dir / "Фидо");
    makeChatBase("S" + (dir / "Фидо/tv"), 2);
    const std::string ini = dir / "Orbisk.ini";
    test::writeListingIni(ini, "S" + dir.str() + "/Фидо/tv"_cp1251);

    const test::CliResult preview = test::runCli(dir, {"--ini", ini, "delete-old", "2026-12-09"});
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(json::parse(preview.out)["delete"], json::parse("[1,2]"));
    const test::CliResult run = test::runCli(dir, {"--ini", ini, "delete-old", "2026-12-09", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json::parse(run.out)["deleted"], json::parse("[1,2]"));
}

}  // namespace
}  // namespace orbisk
