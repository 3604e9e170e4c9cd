#include "export/deleteold.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "export_fixture.h"
#include "support/crashmail.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

// ---- An area kind that records what is done to it ---------------------------

struct FakeBase {
    std::map<MsgNumber, std::string> messages;  // number -> subject
    std::vector<std::string> log;
    bool closeFails = false;
    bool lockFails = false;
    ResultCode deleteFails = 0;
};
FakeBase* g_fake = nullptr;

class FakeArea : public MessageArea {
public:
    ResultCode openArea() override {
        g_fake->log.push_back("open");
        return 0;
    }
    ResultCode closeArea() override {
        g_fake->log.push_back("close");
        return g_fake->closeFails ? 5 : 0;
    }
    bool lockArea() override { return !g_fake->lockFails; }
    bool unlockArea() override { return true; }
    void locateFrom(MsgNumber n) override {
        const auto it = g_fake->messages.lower_bound(n);
        located_ = it == g_fake->messages.end() ? 0 : it->first;
    }
    bool isLocated() override { return located_ != 0; }
    void loadHeader() override { header_ = located_; }
    bool isHeaderLoaded() override { return header_ != 0; }
    MsgNumber getMessageNumber() override { return header_; }
    std::string getSubject() override { return g_fake->messages.at(header_); }
    DateTime getDateTime() override { return 0; }
    std::int64_t getIdentityKey() override { return 0; }
    ResultCode deleteCurrent() override {
        if (g_fake->deleteFails) return g_fake->deleteFails;
        g_fake->log.push_back("delete " + std::to_string(header_));
        g_fake->messages.erase(header_);
        return 0;
    }

private:
    MsgNumber located_ = 0, header_ = 0;
};

class FakeAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &base;
        registerAreaKind('X', &makeArea<FakeArea>);
    }
    void TearDown() override {
        registerAreaKind('X', nullptr);
        g_fake = nullptr;
    }
    // The messages as a load saw them: number and subject.
    static OtherMessages list(std::initializer_list<std::pair<MsgNumber, std::string>> seen) {
        OtherMessages list;
        for (const auto& [n, subject] : seen) {
            ListingMessage d;
            d.msgNum = n;
            d.identity = {n, subject, 0, 0};
            list.push_back({std::to_string(n), d});
        }
        return list;
    }
    FakeBase base;
};

TEST_F(FakeAreaTest, DeletesOnlyMessagesThatAreStillTheOnesSeen) {
    base.messages = {{2, "a"}, {3, "b"}, {5, "c"}, {7, "d"}};
    // 3 now holds another message (a pack moved it there), 4 is gone.
    const DeletionResult done = deleteListedMessages("Xarea", list({{7, "d"}, {3, "x"}, {4, "e"}, {2, "a"}}));
    EXPECT_EQ(done.deleted, (std::vector<MsgNumber>{7, 2}));
    EXPECT_EQ(done.skipped, (std::vector<MsgNumber>{3, 4}));
    EXPECT_TRUE(done.failed.empty());
    EXPECT_EQ(base.log, (std::vector<std::string>{"open", "delete 7", "delete 2", "close"}));
    EXPECT_EQ(base.messages, (std::map<MsgNumber, std::string>{{3, "b"}, {5, "c"}}));
    EXPECT_EQ(deletionProblemsText(done),
              "Удалено сообщений: 2.\nПропущено (изменились после чтения базы): 2"_cp1251);
}

TEST_F(FakeAreaTest, EveryFailureIsCountedWithItsReasonAndNothingIsDeleted) {
    struct Case {
        bool lockFails;
        ResultCode deleteFails;
        ResultCode code;
    };
    for (const Case c : {Case{true, 0, 5}, Case{false, 19, 19}, Case{false, 101, 101}}) {
        base.messages = {{2, "a"}, {5, "c"}};
        base.lockFails = c.lockFails;
        base.deleteFails = c.deleteFails;
        const DeletionResult done = deleteListedMessages("Xarea", list({{2, "a"}, {5, "c"}}));
        EXPECT_TRUE(done.deleted.empty());
        ASSERT_EQ(done.failed.size(), 2u);
        EXPECT_EQ(done.failed[1].number, 5);
        EXPECT_EQ(done.failed[1].code, c.code);
        EXPECT_EQ(base.messages.size(), 2u);
        const std::string text = deletionProblemsText(done);
        EXPECT_NE(text.find("Не удалось удалить: 2"_cp1251), std::string::npos) << text;
        EXPECT_NE(text.find("№5: "_cp1251 + deletionFailureReason(c.code)), std::string::npos) << text;
    }
    EXPECT_TRUE(deletionProblemsText(DeletionResult{{1, 2}, {}, {}, {}}).empty());
}

TEST_F(FakeAreaTest, AnAreaThatDoesNotOpenOrCloseIsAnError) {
    base.messages = {{5, "c"}};
    base.closeFails = true;
    try {
        deleteListedMessages("Xarea", list({{5, "c"}}));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotCloseBaseText);
    }
    try {
        deleteListedMessages("Qnowhere", list({{5, "c"}}));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotOpenBaseText);
    }
}

TEST_F(FakeAreaTest, MessageOneOfAMsgAreaIsNeverDeleted) {
    EXPECT_TRUE(isProtectedMessage("F/var/spool/fido/tv", 1));
    EXPECT_TRUE(isProtectedMessage("f/var/spool/fido/tv", 1));
    EXPECT_FALSE(isProtectedMessage("F/var/spool/fido/tv", 2));
    EXPECT_FALSE(isProtectedMessage("J/var/spool/fido/tv", 1));
    // Other kinds number their first real message 1.
    base.messages = {{1, "a"}, {2, "b"}};
    EXPECT_EQ(deleteListedMessages("Xarea", list({{1, "a"}, {2, "b"}})).deleted, (std::vector<MsgNumber>{1, 2}));
}

TEST(DeletionCutoff, IsTheMondayOfTheWeekShown) {
    // 13 December 2026 is a Sunday, the 14th a Monday.
    EXPECT_EQ(deletionCutoff(encodeDate(2026, 12, 13)), encodeDate(2026, 12, 7));
    EXPECT_EQ(deletionCutoff(encodeDate(2026, 12, 14)), encodeDate(2026, 12, 14));
    EXPECT_EQ(deletionCutoff(encodeDate(2026, 12, 10) + 0.9), encodeDate(2026, 12, 7));
    FormatSettings format;
    for (int i = 1; i <= 7; ++i) format.longDayNames[i] = test::kDayNames[i];
    for (int i = 1; i <= 12; ++i) format.longMonthNames[i] = test::kMonthNames[i];
    EXPECT_EQ(deletionQuestion(encodeDate(2026, 12, 7), format),
              "Удалить все сообщения до 07 декабря, Понедельник"_cp1251);
}

// ---- A *.MSG area tossed by crashmail ----------------------------------------

// A listing part dated `day`.`month`.2026 (subject and dating line as the
// mailing writes them), OEM body.
test::FidoTestMessage listing(int day, int month, int part) {
    char dating[96];
    std::snprintf(dating, sizeof dating, "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= %02d.%02d.2026", day, month);
    test::FidoTestMessage m;
    m.from = "TV List";
    m.to = "All";
    m.subject = "TV " + std::to_string(day) + "." + std::to_string(month) + " [" + std::to_string(part) + "/1]";
    m.body = std::string("From: tv@tvlist.example\r") + dating + "\r\r======\rOne\r-----\r06.00 News\r";
    return m;
}

test::FidoTestMessage chat(const std::string& subject) {
    return {"Reader", "All", subject, ansiToOem("HelloН there\rабв line two\r"_cp1251)};
}

std::map<std::string, std::string> msgFiles(const std::string& area) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(area)) files[e.path().filename().string()] = readFile(e.path().string());
    return files;
}

TEST(DeleteOldMessages, CrashmailAreaKeepsEverythingElseByteForByte) {
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    test::writeCrashmailConfig(dir.str(), /*msgHighwater=*/true);
    // 2: chat, 3: old week (30 Nov), 4: chat, 5: current week (7 Dec),
    // 6: old week (1 Dec), 7: next week (14 Dec).
    const std::string area = test::tossMessages(
        dir.str(), test::AreaFormat::Msg,
        {chat("Hello"), listing(30, 11, 1), chat("Re: question"), listing(7, 12, 1), listing(1, 12, 1),
         listing(14, 12, 1)});
    const test::ToolRun scan = test::scanCrashmailAreas(dir.str());
    ASSERT_TRUE(fs::exists(area + "/1.msg")) << scan.output << test::crashmailLog(dir.str());
    const auto before = msgFiles(area);
    ASSERT_EQ(before.size(), 7u);

    test::writeListingIni(dir / "Orbisk.ini", "F" + area);
    test::RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(21, 10));
    test::NoPrompts prompts;
    Viewer viewer(dir / "Orbisk.ini", notifier, clock);
    ASSERT_TRUE(viewer.refreshListings(prompts, true));
    ASSERT_EQ(viewer.weeks().items.size(), 3u);
    // Sunday of the current week: the cut-off is Monday 7 December.
    viewer.showDay(encodeDate(2026, 12, 13));

    int refreshes = 0;
    const DeletionResult done = deleteOldMessages(viewer, [&] {
        ++refreshes;
        viewer.refreshListings(prompts, true);
    });
    EXPECT_EQ(refreshes, 1);
    // The high-water mark 1.msg is listed among the other messages but kept.
    EXPECT_EQ(done.kept, std::vector<MsgNumber>{1});
    EXPECT_EQ(done.deleted, (std::vector<MsgNumber>{2, 4, 3, 6}));

    const auto after = msgFiles(area);
    EXPECT_EQ(after.size(), 3u);
    for (const char* kept : {"1.msg", "5.msg", "7.msg"}) {
        ASSERT_TRUE(after.count(kept)) << kept;
        EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
    }
    // The reload sees the two remaining weeks and nothing else.
    EXPECT_EQ(viewer.weeks().items.size(), 2u);
    ASSERT_EQ(viewer.otherMsgs().size(), 1u);
    EXPECT_EQ(viewer.otherMsgs()[0].desc.msgNum, 1);

    // The tosser keeps working on the area: a new message lands after the
    // last one, the high-water mark stays, and its maintenance is content.
    test::tossMessages(dir.str(), test::AreaFormat::Msg, {chat("After")});
    EXPECT_TRUE(fs::exists(area + "/8.msg"));
    const test::ToolRun pack = test::runCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST"});
    EXPECT_TRUE(test::crashmaintSucceeded(pack)) << pack.output;
    const auto packed = msgFiles(area);
    EXPECT_TRUE(packed.count("1.msg"));
    EXPECT_EQ(packed.size(), 4u);
    // Renumbered 2, 3, 4 in the same order, contents unchanged.
    EXPECT_EQ(packed.at("2.msg"), before.at("5.msg"));
    EXPECT_EQ(packed.at("3.msg"), before.at("7.msg"));
}

TEST(DeleteOldMessages, APackAfterTheLoadDeletesNoListingOfThisWeek) {
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    test::writeCrashmailConfig(dir.str(), /*msgHighwater=*/true);
    // 2, 3: chat, 4: this week's listing, 5: chat.
    const std::string area = test::tossMessages(dir.str(), test::AreaFormat::Msg,
                                                {chat("One"), chat("Two"), listing(7, 12, 1), chat("Three")});
    test::scanCrashmailAreas(dir.str());
    ASSERT_TRUE(fs::exists(area + "/1.msg")) << test::crashmailLog(dir.str());
    test::writeListingIni(dir / "Orbisk.ini", "F" + area);
    test::RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(12, 0));
    test::NoPrompts prompts;
    Viewer viewer(dir / "Orbisk.ini", notifier, clock);
    ASSERT_TRUE(viewer.refreshListings(prompts, true));
    ASSERT_EQ(viewer.otherMsgs().size(), 4u);  // 1 (kept) and the chat
    const std::string listingBytes = readFile(area + "/4.msg");

    // Another reader removes the chat and the tosser packs: the listing
    // becomes 2, the last chat 3 - numbers the window still holds.
    fs::remove(area + "/2.msg");
    fs::remove(area + "/3.msg");
    const test::ToolRun pack = test::runCrashmaint(dir.str(), {"PACK", "PATTERN", "TVLIST"});
    ASSERT_TRUE(test::crashmaintSucceeded(pack)) << pack.output;
    ASSERT_EQ(readFile(area + "/2.msg"), listingBytes);

    const DeletionResult done = deleteOldMessages(viewer, [&] { viewer.refreshListings(prompts, true); });
    EXPECT_EQ(done.deleted, std::vector<MsgNumber>{3});
    EXPECT_TRUE(done.skipped.empty());
    EXPECT_TRUE(done.failed.empty());
    ASSERT_TRUE(fs::exists(area + "/2.msg"));
    EXPECT_EQ(readFile(area + "/2.msg"), listingBytes);
    EXPECT_EQ(viewer.weeks().items.size(), 1u);
}

TEST(DeleteOldMessages, AFailedRefreshLeavesNothingToDelete) {
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const std::string area = test::tossMessages(dir.str(), test::AreaFormat::Msg, {chat("One"), chat("Two")});
    test::writeListingIni(dir / "Orbisk.ini", "F" + area);
    test::RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(12, 0));
    test::NoPrompts prompts;
    Viewer viewer(dir / "Orbisk.ini", notifier, clock);
    ASSERT_TRUE(viewer.refreshListings(prompts, true));
    ASSERT_FALSE(viewer.otherMsgs().empty());
    // The base is changed to one that does not open.
    viewer.settings().setFidoPath("F" + dir.str() + "/missing/");
    EXPECT_THROW(viewer.refreshListings(prompts, true), Error);
    EXPECT_TRUE(viewer.otherMsgs().empty());
    EXPECT_FALSE(viewer.listingsLoaded());
    // Back to the first base without a reload: still nothing to decide on.
    viewer.settings().setFidoPath("F" + area);
    try {
        deleteOldMessages(viewer, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kListingsNotLoadedText);
    }
    EXPECT_EQ(test::crashmail_detail::countMessages(area, test::AreaFormat::Msg), 2);
}

}  // namespace
}  // namespace orbisk
