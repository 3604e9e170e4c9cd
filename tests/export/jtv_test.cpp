#include "export/jtv.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/error.h"
#include "export_fixture.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::WeekFixture;

std::string bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

unsigned U16(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

std::uint64_t U64(const std::string& s, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

// The records of an index file as (FILETIME, offset), checked against its count.
std::vector<std::pair<std::uint64_t, unsigned>> ndxRecords(const std::string& ndx) {
    std::vector<std::pair<std::uint64_t, unsigned>> out;
    EXPECT_GE(ndx.size(), 2u);
    if (ndx.size() < 2) return out;
    EXPECT_EQ((ndx.size() - 2) % 12, 0u);
    EXPECT_EQ(U16(ndx, 0), (ndx.size() - 2) / 12);
    for (std::size_t at = 2; at + 12 <= ndx.size(); at += 12) {
        EXPECT_EQ(U16(ndx, at), 0u);
        out.emplace_back(U64(ndx, at + 2), U16(ndx, at + 10));
    }
    return out;
}

TEST(JtvFileTime, CountsHundredNanosecondsSince1601) {
    EXPECT_EQ(jtvFileTime(encodeDate(2004, 9, 20), 21, 30), 127'401'894'000'000'000ull);
    EXPECT_EQ(jtvFileTime(encodeDate(1601, 1, 1), 0, 0), 0ull);
    EXPECT_EQ(jtvFileTime(encodeDate(2004, 9, 21), 0, 0) - jtvFileTime(encodeDate(2004, 9, 20), 0, 0),
              864'000'000'000ull);
    EXPECT_THROW(jtvFileTime(encodeDate(2004, 9, 20), 24, 0), Error);
    EXPECT_THROW(jtvFileTime(encodeDate(2004, 9, 20), 10, 60), Error);
}

TEST(JtvExport, FilesByteForByte) {
    WeekFixture week({{0, {{"One", "06.00 Morning", "21.30 Film", "00.15 Night"}}}}, "", encodeDate(2004, 9, 20));
    week.viewer.showDay(week.day(0));
    TempDir out;
    const JtvResult result = exportJtv(week.viewer, out.str(), &week.notifier);
    EXPECT_TRUE(result.weekFound);
    EXPECT_EQ(result.records, 3);

    const std::string ndx = bytes({0x03, 0x00,
                                   // 06:00 on 20 September 2004, title at 26
                                   0x00, 0x00, 0x00, 0xB0, 0x30, 0x10, 0xD7, 0x9E, 0xC4, 0x01, 0x1A, 0x00,
                                   // 21:30 on 20 September 2004, title at 35
                                   0x00, 0x00, 0x00, 0xFC, 0x94, 0xFB, 0x58, 0x9F, 0xC4, 0x01, 0x23, 0x00,
                                   // 00:15 on 21 September 2004, title at 41
                                   0x00, 0x00, 0x00, 0x1A, 0x71, 0x08, 0x70, 0x9F, 0xC4, 0x01, 0x29, 0x00});
    EXPECT_EQ(readFile(out / "One.ndx"), ndx);
    const std::string pdt = std::string("JTV 3.x TV Program Data\n\n\n") + bytes({7, 0}) + "Morning" + bytes({4, 0}) +
                            "Film" + bytes({5, 0}) + "Night";
    EXPECT_EQ(readFile(out / "One.pdt"), pdt);
    EXPECT_TRUE(week.notifier.shown.empty());
}

TEST(JtvExport, DateMovesOnOnceAtTheFirstEarlierEntry) {
    WeekFixture week({{0,
                       {{"Late", "06.00 A", "23.30 B", "00.15 C", "01.40 D"},
                        {"Night", "00.30 E", "06.00 F", "00.10 G", "03.00 H"}}}});
    week.viewer.showDay(week.day(0));
    TempDir out;
    exportJtv(week.viewer, out.str(), nullptr);
    const DateTime mon = week.day(0), tue = week.day(1);

    const auto late = ndxRecords(readFile(out / "Late.ndx"));
    ASSERT_EQ(late.size(), 4u);
    EXPECT_EQ(late[0].first, jtvFileTime(mon, 6, 0));
    EXPECT_EQ(late[1].first, jtvFileTime(mon, 23, 30));
    EXPECT_EQ(late[2].first, jtvFileTime(tue, 0, 15));
    EXPECT_EQ(late[3].first, jtvFileTime(tue, 1, 40));

    // The day begins after midnight: 06:00 is later than 00:30, 00:10 is not.
    const auto night = ndxRecords(readFile(out / "Night.ndx"));
    ASSERT_EQ(night.size(), 4u);
    EXPECT_EQ(night[0].first, jtvFileTime(mon, 0, 30));
    EXPECT_EQ(night[1].first, jtvFileTime(mon, 6, 0));
    EXPECT_EQ(night[2].first, jtvFileTime(tue, 0, 10));
    EXPECT_EQ(night[3].first, jtvFileTime(tue, 3, 0));
}

TEST(JtvExport, TitlesAreCutAt500Bytes) {
    WeekFixture week({{0, {{"One", "06.00 " + std::string(600, 'T'), "07.00 X", "08.00 "}}}});
    week.viewer.showDay(week.day(0));
    const Channel& one = week.viewer.channels().items(0);
    ASSERT_EQ(one.lines.size(), 3u);
    TempDir out;
    exportJtv(week.viewer, out.str(), nullptr);
    const std::string pdt = readFile(out / "One.pdt");
    const auto records = ndxRecords(readFile(out / "One.ndx"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].second, 26u);
    EXPECT_EQ(U16(pdt, 26), 500u);
    EXPECT_EQ(pdt.substr(28, 500), std::string(500, 'T'));
    EXPECT_EQ(records[1].second, 528u);
    EXPECT_EQ(records[2].second, 528u + 3u);
    // Whatever the third line kept after the time, it is at most its tail.
    const std::string& third = one.lines[2];
    EXPECT_EQ(U16(pdt, 531), third.size() > 6 ? third.size() - 6 : 0u);
    EXPECT_EQ(pdt.size(), 533u + U16(pdt, 531));
}

// "Культура" (Windows-1251) and in UTF-8.
constexpr const char* kCulture = "Культура"_cp1251;
constexpr char kCultureUtf8[] = "Культура";

class JtvWeek : public ::testing::Test {
protected:
    // Monday, Wednesday and Friday; "Hid" hidden, "Slash" and "Dots" named
    // so that their files would leave the folder, "Cyr" named in Cyrillic.
    WeekFixture week{{{0, {{"One", "06.00 Mon1", "07.00 Mon2"}, {"Hid", "06.00 H"}, {"Cyr", "06.00 C1"}}},
                      {2,
                       {{"One", "06.00 Wed1", "07.00 Wed2", "08.00 Wed3"},
                        {"Hid", "06.00 H"},
                        {"Slash", "06.00 S"},
                        {"Dots", "06.00 D"},
                        {"Cyr", "06.00 C3"}}},
                      {4, {{"One", "06.00 Fri1"}, {"Cyr", "06.00 C5", "09.00 C5b"}}}},
                     std::string("[Channels]\r\n1=Hid\r\n2=Slash\r\n3=Dots\r\n4=Cyr\r\n") +
                         "[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=../escaped\r\n[Channel3]\r\nDesc=..\r\n"
                         "[Channel4]\r\nDesc=" + kCulture + "\r\n"};
    TempDir root;
    std::string out = root / "tvguide";

    void SetUp() override {
        fs::create_directory(out);
        week.viewer.showDay(week.day(2));
    }
};

TEST_F(JtvWeek, ThreeDaysHiddenAndUnsafeNamesTwoRunsAlike) {
    const JtvResult result = exportJtv(week.viewer, out, &week.notifier);
    EXPECT_EQ(result.records, 2 + 3 + 1 + 1 + 1 + 2);
    const auto one = ndxRecords(readFile(out + "/One.ndx"));
    ASSERT_EQ(one.size(), 6u);
    EXPECT_EQ(one[0].first, jtvFileTime(week.day(0), 6, 0));
    EXPECT_EQ(one[5].first, jtvFileTime(week.day(4), 6, 0));
    EXPECT_EQ(ndxRecords(readFile(out + "/" + kCultureUtf8 + ".ndx")).size(), 4u);

    // Hidden: no files. "../escaped" and "..": nothing written outside.
    EXPECT_FALSE(fs::exists(out + "/Hid.ndx"));
    EXPECT_FALSE(fs::exists(root / "escaped.ndx"));
    EXPECT_FALSE(fs::exists(root / "tvguide..ndx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(result.skipped, (std::vector<std::string>{"../escaped", ".."}));
    EXPECT_EQ(week.viewer.shownDate(), week.day(2));
    // The user is told which channels have no files.
    ASSERT_FALSE(week.notifier.shown.empty());
    EXPECT_NE(week.notifier.shown.back().find("../escaped, .."), std::string::npos) << week.notifier.shown.back();

    // A folder that is empty or does not exist is no export: nothing under "/".
    for (const std::string& folder : {std::string(), out + "/none"}) {
        EXPECT_THROW(exportJtv(week.viewer, folder, &week.notifier), Error) << folder;
        EXPECT_EQ(week.viewer.shownDate(), week.day(2));
    }

    // A second run from the same day starts the files afresh.
    const std::string ndx = readFile(out + "/One.ndx"), pdt = readFile(out + "/One.pdt");
    exportJtv(week.viewer, out, &week.notifier);
    EXPECT_EQ(readFile(out + "/One.ndx"), ndx);
    EXPECT_EQ(readFile(out + "/One.pdt"), pdt);
}

TEST_F(JtvWeek, WithoutAWeekOnlyTheFirstPassRuns) {
    week.viewer.showDay(week.day(14));
    const JtvResult result = exportJtv(week.viewer, out, nullptr);
    EXPECT_FALSE(result.weekFound);
    EXPECT_EQ(readFile(out + "/One.ndx"), std::string(2, '\0'));
    EXPECT_EQ(readFile(out + "/One.pdt"), "JTV 3.x TV Program Data\n\n\n");
    EXPECT_EQ(week.viewer.shownDate(), week.day(14));
}

TEST_F(JtvWeek, AnUnreadableTimeStopsWithCountsMatchingTheRecords) {
    // Monday shown (its list is the one the walk starts with), its second
    // entry spoilt.
    week.viewer.showDay(week.day(0));
    Channel& one = week.viewer.channels().items(0);
    one.times[1] = "x7.00";
    try {
        exportJtv(week.viewer, out, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(ndxRecords(readFile(out + "/One.ndx")).size(), 1u);
    EXPECT_EQ(readFile(out + "/One.pdt").size(), 26u + 6);
    EXPECT_EQ(week.viewer.shownDate(), week.day(0));

    // A shown channel without entries: "One" goes out whole first.
    one.times[1] = "07.00";
    Channel& cyr = week.viewer.channels().items(2);
    cyr.lines.clear();
    cyr.times.clear();
    try {
        exportJtv(week.viewer, out, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (0)");
    }
    EXPECT_EQ(ndxRecords(readFile(out + "/One.ndx")).size(), 2u);
    EXPECT_EQ(readFile(out + "/" + kCultureUtf8 + ".ndx"), std::string(2, '\0'));
}

TEST(JtvExport, DataFilesStopBeforeTheOffsetsOverflow) {
    test::DayBlocks monday = {{"Big"}, {"Small", "06.00 S"}};
    for (int i = 0; i < 140; ++i) {
        char time[8];
        std::snprintf(time, sizeof time, "%02d.%02d", 6 + i / 12, i % 12 * 5);
        monday[0].push_back(std::string(time) + " " + std::string(500, static_cast<char>('a' + i % 26)));
    }
    WeekFixture week({{0, monday}, {1, {{"Big", "06.00 Tuesday"}, {"Small", "06.00 S2"}}}});
    week.viewer.showDay(week.day(0));
    ASSERT_EQ(week.viewer.channels().items(0).entryCount(), 140);
    TempDir out;
    const JtvResult result = exportJtv(week.viewer, out.str(), &week.notifier);

    // (65535 - 26) / 502 records of 500-byte titles fit.
    const std::string pdt = readFile(out / "Big.pdt");
    const auto big = ndxRecords(readFile(out / "Big.ndx"));
    EXPECT_EQ(big.size(), 130u);
    EXPECT_EQ(pdt.size(), 26u + 130 * 502);
    EXPECT_LE(pdt.size(), 65535u);
    for (std::size_t k = 0; k < big.size(); ++k) ASSERT_EQ(big[k].second, 26 + 502 * k);
    EXPECT_EQ(ndxRecords(readFile(out / "Small.ndx")).size(), 2u);
    EXPECT_EQ(result.cut, std::vector<std::string>{"Big"});
    ASSERT_EQ(week.notifier.shown.size(), 1u);
    EXPECT_EQ(week.notifier.shown[0], std::string(kJtvCutCaption) + ": " + jtvCutText({"Big"}));
}

}  // namespace
}  // namespace orbisk
