#include "listing/loaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/codepage.h"
#include "base/error.h"
#include "base/ui.h"
#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::WriteFile;

// ---- A message base kind for the tests: letter "Q", path = data set name --

struct FakeMessage {
    MsgNumber number;
    std::string subject;
    StringList lines;
};
struct FakeBase {
    std::vector<FakeMessage> messages;
    bool failClose = false;
    int opened = 0, closed = 0, destroyed = 0;
};
std::map<std::string, FakeBase>& Bases() {
    static std::map<std::string, FakeBase> bases;
    return bases;
}

class FakeKindArea : public MessageArea {
public:
    ~FakeKindArea() override {
        if (base_) ++base_->destroyed;
    }
    void SetAreaPath(const std::string& path) override { path_ = path; }
    ResultCode OpenArea() override {
        auto it = Bases().find(path_);
        if (it == Bases().end()) return 3;
        base_ = &it->second;
        ++base_->opened;
        return 0;
    }
    ResultCode CloseArea() override {
        ++base_->closed;
        return base_->failClose ? 5 : 0;
    }
    void LocateFrom(MsgNumber n) override {
        for (at_ = 0; at_ < base_->messages.size() && base_->messages[at_].number < n;) ++at_;
    }
    void LocateNext() override { ++at_; }
    bool IsLocated() override { return at_ < base_->messages.size(); }
    void LoadHeader() override {}
    MsgNumber GetMessageNumber() override { return base_->messages[at_].number; }
    std::string GetSubject() override { return base_->messages[at_].subject; }
    void StartText() override { line_ = 0; }
    std::string ReadTextLineNoKludge(std::uint16_t maxLen) override {
        const auto& lines = base_->messages[at_].lines;
        return line_ < lines.size() ? lines[line_++].substr(0, maxLen) : "";
    }
    bool AtTextEnd() override { return line_ >= base_->messages[at_].lines.size(); }

private:
    std::string path_;
    FakeBase* base_ = nullptr;
    std::size_t at_ = 0, line_ = 0;
};

class RecordingNotifier : public Notifier {
public:
    void Show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer Ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

const TDateTime kMonday = EncodeDate(2026, 12, 7);

class Loaders : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterAreaKind('Q', &MakeArea<FakeKindArea>);
        Bases().clear();
        env.Layout.Days[2] = "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA";  // Понедельник
        env.Layout.Days[4] = "\xD1\xF0\xE5\xE4\xE0";                          // Среда
        env.Months[12] = "\xE4\xE5\xEA\xE0\xE1\xF0\xFF";                       // декабря
        env.Warning = &warning;
    }
    void TearDown() override { RegisterAreaKind('Q', nullptr); }

    // A listing part: header, dating line, five lines dropped from every
    // part after the first, one day of one channel, tearline and origin.
    static FakeMessage Part(MsgNumber number, int part, const std::string& day) {
        StringList body = {"From: list", "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= " + day + ".12.2026",
                           "drop 1", "drop 2", "drop 3", "drop 4", "drop 5",
                           "======", "Day. " + day + " December. One", "-----",
                           "06.00 News " + day, "--- tearline", " * Origin: test"};
        return {number, "TV [" + std::to_string(part) + "/7]", body};
    }

    FixedClock clock{EncodeDate(2026, 12, 9)};
    RecordingNotifier notifier;
    bool warningShown = false;
    StructureWarning warning{notifier, true, warningShown};
    LoadEnv env{notifier, clock};
    TWeeks weeks;
    TOtherMsgs other;
};

TEST_F(Loaders, AreaMessagesAreFiledAndTheAreaClosed) {
    FakeBase& base = Bases()["tv"];
    base.messages = {Part(2, 1, "07"), {3, "Hello all", {"text"}}, Part(5, 2, "08"),
                     {6, "TV [3/7]", {"no dating line here"}}, {7, "Re: lunch", {}}};
    other.push_back({"99", TMSGDesc::CreateForFile(1)});
    LoadListings("Qtv", weeks, other, env);

    EXPECT_EQ(base.opened, 1);
    EXPECT_EQ(base.closed, 1);
    EXPECT_EQ(base.destroyed, 1);
    ASSERT_EQ(other.size(), 2u);  // the previous entries are gone
    EXPECT_EQ(other[0].Number, "3");
    EXPECT_EQ(other[1].Number, "7");
    EXPECT_FALSE(other[1].Desc.IsListing);

    ASSERT_EQ(weeks.Items.size(), 1u);
    const TWeek& week = *weeks.Items[0];
    EXPECT_EQ(week.StartDate, kMonday);
    EXPECT_FALSE(week.FromFiles);
    ASSERT_EQ(week.Messages.size(), 2u);  // the undated listing is nowhere
    EXPECT_EQ(week.Messages[1].MsgNum, 5);
    EXPECT_FALSE(week.Messages[1].Lines.has_value());
    ASSERT_EQ(week.Days.size(), 7u);
    EXPECT_EQ(week.Days[0], (StringList{"======", "Day. 07 December. One", "-----", "06.00 News 07"}));
    EXPECT_EQ(week.Days[1], (StringList{"======", "Day. 08 December. One", "-----", "06.00 News 08"}));
    EXPECT_TRUE(week.Days[2].empty());
    EXPECT_TRUE(notifier.shown.empty());  // parts 1 and 2 are in sequence
}

TEST_F(Loaders, ErrorInTheMiddleClosesTheAreaAndLeavesNoHalfBuiltWeeks) {
    FakeBase& bad = Bases()["baddate"];
    bad.messages = {Part(1, 1, "07"), Part(2, 2, "xx")};
    try {
        LoadFromArea("Qbaddate", weeks, other, env);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'xx' is not a valid integer value");
    }
    EXPECT_EQ(bad.closed, 1);
    EXPECT_EQ(bad.destroyed, 1);
    EXPECT_TRUE(weeks.Items.empty());

    FakeBase& badPart = Bases()["badpart"];
    badPart.messages = {Part(1, 1, "07"), {2, "TV [two/7]", {}}};
    EXPECT_THROW(LoadFromArea("Qbadpart", weeks, other, env), Error);
    EXPECT_EQ(badPart.destroyed, 1);
    EXPECT_TRUE(weeks.Items.empty());

    FakeBase& noClose = Bases()["noclose"];
    noClose.messages = {Part(1, 1, "07")};
    noClose.failClose = true;
    try {
        LoadFromArea("Qnoclose", weeks, other, env);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotCloseBaseText);
    }
    EXPECT_EQ(noClose.closed, 1);  // not tried a second time
    EXPECT_EQ(noClose.destroyed, 1);
    EXPECT_TRUE(weeks.Items.empty());
}

TEST_F(Loaders, AreaThatDoesNotOpenLeavesEverythingAsItWas) {
    Bases()["tv"].messages = {Part(1, 1, "07")};
    LoadFromArea("Qtv", weeks, other, env);
    other.push_back({"12", TMSGDesc::Create(12, "hello")});
    for (const char* identifier : {"Qnothere", "", "Zsomewhere", "itv"}) {
        try {
            LoadListings(identifier, weeks, other, env);
            ADD_FAILURE() << identifier;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), kCannotOpenBaseText) << identifier;
        }
    }
    EXPECT_EQ(weeks.Items.size(), 1u);
    EXPECT_EQ(other.size(), 1u);
}

TEST_F(Loaders, TextFiles) {
    TempDir dir;
    const std::string monday = "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA";  // Понедельник
    const std::string wednesday = "\xD1\xF0\xE5\xE4\xE0";                      // Среда
    const std::string december = "\xE4\xE5\xEA\xE0\xE1\xF0\xFF";               // декабря
    const std::string ntv = "\xCD\xD2\xC2";                                    // НТВ
    auto koi = [](const std::string& ansi) { return AnsiToKoi8(ansi); };
    // Monday, with blank lines inside and at the end; LF line ends.
    WriteFile(dir / "1.txt", "[tv.all]\n======\n" + koi(monday + ". 7 " + december + ". " + ntv) +
                                 "\n---\n06.00 A\n\n07.00 B\n\n  \n\t\n");
    WriteFile(dir / "2.txt", "[tv.all]\r\n");                      // only the header
    WriteFile(dir / "3.TXT", "[tv.all]\r\n======\r\n" + koi(wednesday + ". 9 " + december + ". One") +
                                 "\r\n---\r\n9.30News\r\n");       // another case of ".txt"
    WriteFile(dir / "4.txt", "[TV.ALL]\r\n======\r\n" + koi(monday + ". 7 " + december + ". X") + "\r\n");
    // Written in Windows-1251 instead of KOI8-R: the month is not found.
    WriteFile(dir / "5.txt", "[tv.all]\r\n======\r\n" + monday + ". 11 " + december + ". Two\r\n---\r\n");
    std::filesystem::create_directory(dir / "7.txt");
    other.push_back({"1", TMSGDesc::Create(1, "x")});

    LoadListings("I" + dir.str(), weeks, other, env);

    EXPECT_TRUE(other.empty());
    ASSERT_EQ(weeks.Items.size(), 2u);
    const TWeek& week = *weeks.Items[0];
    EXPECT_EQ(week.StartDate, kMonday);
    EXPECT_TRUE(week.FromFiles);
    ASSERT_EQ(week.Messages.size(), 2u);
    EXPECT_EQ(week.Messages[0].PartNo, 1);
    EXPECT_EQ(week.Messages[1].PartNo, 3);
    // Capital EN becomes a Latin H; inner blank lines stay, the last go.
    EXPECT_EQ(week.Days[0],
              (StringList{"======", monday + ". 7 " + december + ". H\xD2\xC2", "---", "06.00 A", "", "07.00 B"}));
    // File 3 does not follow file 1: its day comes from its caption.
    ASSERT_EQ(week.Days[2].size(), 4u);
    EXPECT_EQ(week.Days[2][3], "9.30News");
    EXPECT_TRUE(week.Days[1].empty());
    EXPECT_TRUE(warningShown);

    const TWeek& zero = *weeks.Items[1];  // the wrong code page's file
    EXPECT_TRUE(zero.Contains(0));
    ASSERT_EQ(zero.Messages.size(), 1u);
    EXPECT_EQ(zero.Messages[0].PartNo, 5);
    ASSERT_EQ(notifier.shown.size(), 2u);  // the month message, then the warning
    EXPECT_EQ(notifier.shown[0].rfind("\xCD\xE5\xEE\xEF\xEE\xE7\xED\xE0\xED\xED\xFB\xE9", 0), 0u);  // Неопознанный

    // An empty folder and a folder that does not exist load nothing.
    TempDir empty;
    LoadFromFiles(empty.str(), weeks, other, env);
    EXPECT_TRUE(weeks.Items.empty());
    LoadFromFiles(empty / "none", weeks, other, env);
    EXPECT_TRUE(weeks.Items.empty());
}

}  // namespace
}  // namespace orbisk
