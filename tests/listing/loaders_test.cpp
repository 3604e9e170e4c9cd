#include "listing/loaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"
#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;

// ---- A message base kind for the tests: letter "Q", path = data set name --

struct FakeMessage {
    MsgNumber number;
    std::string subject;
    StringList lines;
    bool unreadable = false;  // its header does not read
};
struct FakeBase {
    std::vector<FakeMessage> messages;
    bool failClose = false;
    int opened = 0, closed = 0, destroyed = 0;
};
std::map<std::string, FakeBase>& bases() {
    static std::map<std::string, FakeBase> bases;
    return bases;
}

class FakeKindArea : public MessageArea {
public:
    ~FakeKindArea() override {
        if (base_) ++base_->destroyed;
    }
    void setAreaPath(const std::string& path) override { path_ = path; }
    ResultCode openArea() override {
        auto it = bases().find(path_);
        if (it == bases().end()) return 3;
        base_ = &it->second;
        ++base_->opened;
        return 0;
    }
    ResultCode closeArea() override {
        ++base_->closed;
        return base_->failClose ? 5 : 0;
    }
    void locateFrom(MsgNumber n) override {
        for (at_ = 0; at_ < base_->messages.size() && base_->messages[at_].number < n;) ++at_;
    }
    void locateNext() override { ++at_; }
    bool isLocated() override { return at_ < base_->messages.size(); }
    void loadHeader() override {}
    bool isHeaderLoaded() override { return !base_->messages[at_].unreadable; }
    MsgNumber getMessageNumber() override { return base_->messages[at_].number; }
    std::string getSubject() override { return base_->messages[at_].subject; }
    void startText() override { line_ = 0; }
    std::string readTextLineNoKludge(std::uint16_t maxLen) override {
        const auto& lines = base_->messages[at_].lines;
        return line_ < lines.size() ? lines[line_++].substr(0, maxLen) : "";
    }
    bool atTextEnd() override { return line_ >= base_->messages[at_].lines.size(); }

private:
    std::string path_;
    FakeBase* base_ = nullptr;
    std::size_t at_ = 0, line_ = 0;
};

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

const DateTime kMonday = encodeDate(2026, 12, 7);

class Loaders : public ::testing::Test {
protected:
    void SetUp() override {
        registerAreaKind('Q', &makeArea<FakeKindArea>);
        bases().clear();
        env.layout.days[2] = "Понедельник"_cp1251;
        env.layout.days[4] = "Среда"_cp1251;
        env.months[12] = "декабря"_cp1251;
        env.warning = &warning;
    }
    void TearDown() override { registerAreaKind('Q', nullptr); }

    // A listing part: header, dating line, five lines dropped from every
    // part after the first, one day of one channel, tearline and origin.
    static FakeMessage part(MsgNumber number, int part, const std::string& day) {
        StringList body = {"From: list", "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= " + day + ".12.2026",
                           "drop 1", "drop 2", "drop 3", "drop 4", "drop 5",
                           "======", "Day. " + day + " December. One", "-----",
                           "06.00 News " + day, "--- tearline", " * Origin: test"};
        return {number, "TV [" + std::to_string(part) + "/7]", body};
    }

    FixedClock clock{encodeDate(2026, 12, 9)};
    RecordingNotifier notifier;
    bool warningShown = false;
    StructureWarning warning{notifier, true, warningShown};
    LoadEnv env{notifier, clock};
    WeekIndex weeks;
    OtherMessages other;
};

TEST_F(Loaders, AreaMessagesAreFiledAndTheAreaClosed) {
    FakeBase& base = bases()["tv"];
    base.messages = {part(2, 1, "07"), {3, "Hello all", {"text"}}, part(5, 2, "08"),
                     {6, "TV [3/7]", {"no dating line here"}}, {7, "Re: lunch", {}}};
    other.push_back({"99", ListingMessage::createForFile(1)});
    loadListings("Qtv", weeks, other, env);

    EXPECT_EQ(base.opened, 1);
    EXPECT_EQ(base.closed, 1);
    EXPECT_EQ(base.destroyed, 1);
    ASSERT_EQ(other.size(), 2u);  // the previous entries are gone
    EXPECT_EQ(other[0].number, "3");
    EXPECT_EQ(other[1].number, "7");
    EXPECT_FALSE(other[1].desc.isListing);

    ASSERT_EQ(weeks.items.size(), 1u);
    const Week& week = *weeks.items[0];
    EXPECT_EQ(week.startDate, kMonday);
    EXPECT_FALSE(week.fromFiles);
    ASSERT_EQ(week.messages.size(), 2u);  // the undated listing is nowhere
    EXPECT_EQ(week.messages[1].msgNum, 5);
    EXPECT_FALSE(week.messages[1].lines.has_value());
    ASSERT_EQ(week.days.size(), 7u);
    EXPECT_EQ(week.days[0], (StringList{"======", "Day. 07 December. One", "-----", "06.00 News 07"}));
    EXPECT_EQ(week.days[1], (StringList{"======", "Day. 08 December. One", "-----", "06.00 News 08"}));
    EXPECT_TRUE(week.days[2].empty());
    EXPECT_TRUE(notifier.shown.empty());  // parts 1 and 2 are in sequence
}

TEST_F(Loaders, AMessageWhoseHeaderDoesNotReadIsNeitherListingNorOther) {
    FakeBase& base = bases()["torn"];
    FakeMessage torn = part(3, 2, "08");
    torn.unreadable = true;
    FakeMessage tornChat{4, "Hello", {"text"}, true};
    base.messages = {part(2, 1, "07"), torn, tornChat, {5, "Re: lunch", {}}};
    loadFromArea("Qtorn", weeks, other, env);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].desc.msgNum, 5);
    EXPECT_EQ(other[0].desc.identity.number, 5);
    EXPECT_EQ(other[0].desc.identity.subject, "Re: lunch");
    ASSERT_EQ(weeks.items.size(), 1u);
    ASSERT_EQ(weeks.items[0]->messages.size(), 1u);
    EXPECT_EQ(weeks.items[0]->messages[0].identity.number, 2);
}

// Anyone can post to the echo: chat with brackets and slashes, part texts
// that are no numbers, dating lines with no such day. None of it ends the
// load; chat goes to the other messages (so it can be deleted), undatable
// listings are left out, and the good parts are shown.
TEST_F(Loaders, WhatTheEchoHoldsNeverEndsTheLoad) {
    FakeBase& echo = bases()["echo"];
    echo.messages = {part(1, 1, "07"),
                     {2, "[OT] СТС/ТНТ"_cp1251, {"chat"}},
                     {3, "Re: НТВ/ОРТ [фото]"_cp1251, {"> =?koi8-r? 07.12"}},
                     {4, "TV [two/7]", {}},
                     {5, "TV [$2/7]", {}},
                     part(6, 2, "xx"),
                     part(7, 2, "29.02"),  // 2026 has no 29 February
                     part(8, 2, "08")};
    echo.messages[6].lines[1] = "=?koi8-r? 29.02";
    ASSERT_NO_THROW(loadFromArea("Qecho", weeks, other, env));
    EXPECT_EQ(echo.closed, 1);
    ASSERT_EQ(other.size(), 4u);
    EXPECT_EQ(other[0].number, "2");
    EXPECT_EQ(other[3].number, "5");
    ASSERT_EQ(weeks.items.size(), 1u);
    const Week& week = *weeks.items[0];
    ASSERT_EQ(week.messages.size(), 2u);  // 6 and 7 are nowhere: not shown, not deleted
    EXPECT_EQ(week.days[0], (StringList{"======", "Day. 07 December. One", "-----", "06.00 News 07"}));
    EXPECT_EQ(week.days[1], (StringList{"======", "Day. 08 December. One", "-----", "06.00 News 08"}));
}

// Only the base itself ends a load; it is closed and no half-built week stays.
TEST_F(Loaders, FailureOfTheBaseLeavesNoHalfBuiltWeeks) {
    FakeBase& noClose = bases()["noclose"];
    noClose.messages = {part(1, 1, "07")};
    noClose.failClose = true;
    try {
        loadFromArea("Qnoclose", weeks, other, env);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotCloseBaseText);
    }
    EXPECT_EQ(noClose.closed, 1);  // not tried a second time
    EXPECT_EQ(noClose.destroyed, 1);
    EXPECT_TRUE(weeks.items.empty());
}

TEST_F(Loaders, AreaThatDoesNotOpenLeavesEverythingAsItWas) {
    bases()["tv"].messages = {part(1, 1, "07")};
    loadFromArea("Qtv", weeks, other, env);
    other.push_back({"12", ListingMessage::create(12, "hello")});
    for (const char* identifier : {"Qnothere", "", "Zsomewhere", "itv"}) {
        try {
            loadListings(identifier, weeks, other, env);
            ADD_FAILURE() << identifier;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), kCannotOpenBaseText) << identifier;
        }
    }
    EXPECT_EQ(weeks.items.size(), 1u);
    EXPECT_EQ(other.size(), 1u);
}

TEST_F(Loaders, TextFiles) {
    TempDir dir;
    const std::string monday = "Понедельник"_cp1251;
    const std::string wednesday = "Среда"_cp1251;
    const std::string december = "декабря"_cp1251;
    const std::string ntv = "НТВ"_cp1251;
    auto koi = [](const std::string& ansi) { return ansiToKoi8(ansi); };
    // Monday, with blank lines inside and at the end; LF line ends.
    writeFile(dir / "1.txt", "[tv.all]\n======\n" + koi(monday + ". 7 " + december + ". " + ntv) +
                                 "\n---\n06.00 A\n\n07.00 B\n\n  \n\t\n");
    writeFile(dir / "2.txt", "[tv.all]\r\n");                      // only the header
    writeFile(dir / "3.TXT", "[tv.all]\r\n======\r\n" + koi(wednesday + ". 9 " + december + ". One") +
                                 "\r\n---\r\n9.30News\r\n");       // another case of ".txt"
    writeFile(dir / "4.txt", "[TV.ALL]\r\n======\r\n" + koi(monday + ". 7 " + december + ". X") + "\r\n");
    // Written in Windows-1251 instead of KOI8-R: the month is not found.
    writeFile(dir / "5.txt", "[tv.all]\r\n======\r\n" + monday + ". 11 " + december + ". Two\r\n---\r\n");
    std::filesystem::create_directory(dir / "7.txt");
    other.push_back({"1", ListingMessage::create(1, "x")});

    loadListings("I" + dir.str(), weeks, other, env);

    EXPECT_TRUE(other.empty());
    ASSERT_EQ(weeks.items.size(), 2u);
    const Week& week = *weeks.items[0];
    EXPECT_EQ(week.startDate, kMonday);
    EXPECT_TRUE(week.fromFiles);
    ASSERT_EQ(week.messages.size(), 2u);
    EXPECT_EQ(week.messages[0].partNo, 1);
    EXPECT_EQ(week.messages[1].partNo, 3);
    // The channel keeps its Cyrillic EN; inner blank lines stay, the last go.
    EXPECT_EQ(week.days[0], (StringList{"======", monday + ". 7 " + december + ". " + ntv, "---", "06.00 A",
                                        "", "07.00 B"}));
    // File 3 does not follow file 1: its day comes from its caption.
    ASSERT_EQ(week.days[2].size(), 4u);
    EXPECT_EQ(week.days[2].lines()[3], "9.30News");
    EXPECT_TRUE(week.days[1].empty());
    EXPECT_TRUE(warningShown);

    const Week& zero = *weeks.items[1];  // the wrong code page's file
    EXPECT_TRUE(zero.contains(0));
    ASSERT_EQ(zero.messages.size(), 1u);
    EXPECT_EQ(zero.messages[0].partNo, 5);
    ASSERT_EQ(notifier.shown.size(), 2u);  // the month message, then the warning
    EXPECT_EQ(notifier.shown[0].rfind("Неопознанный"_cp1251, 0), 0u);

    // An empty folder and a folder that does not exist load nothing.
    TempDir empty;
    loadFromFiles(empty.str(), weeks, other, env);
    EXPECT_TRUE(weeks.items.empty());
    loadFromFiles(empty / "none", weeks, other, env);
    EXPECT_TRUE(weeks.items.empty());
}

}  // namespace
}  // namespace orbisk
