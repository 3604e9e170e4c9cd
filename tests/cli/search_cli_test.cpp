// orbisk-cli search, favourites and reminders: the JSON contract on a
// text-file listing of yesterday, today and tomorrow.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "schedule/atjob.h"
#include "support/clirun.h"
#include "support/listing_names.h"

namespace orbisk {
namespace {

using json = nlohmann::ordered_json;
using test::isoDate;
using test::TempDir;
using test::writeFile;

class SearchCli : public ::testing::Test {
protected:
    void SetUp() override {
        today = listingDate(SystemClock().now());
        writeDay(today - 1, {{"One", "21.00 Новости"}});
        writeDay(today, {{"One", "06.00 Утро", "23.30 \"Ёлки\"", "00.15 Ночные НОВОСТИ"}, {"Two", "21.00 Новости"}});
        writeDay(today + 1, {{"Three", "20.00 Новости дня"}});
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Channels]\r\n1=Two\r\n2=Three\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=" +
                                  std::string("Второй"_cp1251) + "\r\n");
    }
    void writeDay(DateTime date, const std::vector<std::vector<std::string>>& channels) {
        int y, m, d;
        decodeDate(date, y, m, d);
        std::string text = "[tv.all]\r\n";
        for (const auto& block : channels) {
            text += "======\r\n" + std::string(test::kDayNames[dayOfWeek(date)]) + ". " + std::to_string(d) + " " +
                    test::kMonthNames[m] + ". " + block[0] + "\r\n-----------------\r\n";
            for (std::size_t i = 1; i < block.size(); ++i) text += utf8ToAnsi(block[i]) + "\r\n";
        }
        writeFile(dir / (std::to_string((dayOfWeek(date) + 5) % 7 + 1) + ".txt"), ansiToKoi8(text));
    }
    test::CliResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--ini", dir / "Orbisk.ini"});
        return test::runCli(dir, args);
    }
    // "date time channel line" of each result.
    static std::vector<std::string> rows(const json& results) {
        std::vector<std::string> out;
        for (const auto& r : results) {
            EXPECT_EQ(r.size(), 4u);
            out.push_back(r.at("date").get<std::string>() + " " + r.at("time").get<std::string>() + " " +
                          r.at("channel").get<std::string>() + " " + r.at("line").get<std::string>());
        }
        return out;
    }

    TempDir dir;
    DateTime today = 0;
};

TEST_F(SearchCli, ShowingsFromTodayInTimeOrderWithTheirListingDay) {
    const std::string y = isoDate(today - 1), t = isoDate(today), n = isoDate(today + 1);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        // The hidden channel "Two" is never searched; 00.15 stays on its listing day.
        {{"search", "новости"}, {t + " 00.15 One 00.15 Ночные НОВОСТИ", n + " 20.00 Второй 20.00 Новости дня"}},
        {{"search", "Новости", "--from", y, "--to", t}, {y + " 21.00 One 21.00 Новости", t + " 00.15 One 00.15 Ночные НОВОСТИ"}},
        {{"search", "новости", "--channel", "ВТОРОЙ"}, {n + " 20.00 Второй 20.00 Новости дня"}},
        {{"search", "елки", "ночные"}, {}},
        {{"search", "\"ёлки\""}, {t + " 23.30 One 23.30 \"Ёлки\""}},
    };
    for (const Case& c : cases) {
        const auto r = run(c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        const json j = json::parse(r.out);
        EXPECT_EQ(rows(j.at("results")), c.rows) << c.args[1];
    }
    // Nothing to look for, an unknown option: an error, nothing on stdout.
    for (const auto& args : {std::vector<std::string>{"search", "\"?!"}, {"search", "x", "--week", t}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(r.err.rfind("Орбиск: ", 0), 0u) << r.err;
    }
}

TEST_F(SearchCli, FavouritesAreKeptAndTheirWeekShown) {
    auto r = run({"favourites", "--add", "ночные новости"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"({"added":true,"favourites":["ночные новости"]})"));
    r = run({"favourites", "--add", "НОЧНЫЕ НОВОСТИ"});
    EXPECT_EQ(json::parse(r.out).at("added"), false);

    r = run({"favourites", "--week", isoDate(today)});
    ASSERT_EQ(r.status, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j.at("favourites"), json::parse(R"(["ночные новости"])"));
    EXPECT_EQ(rows(j.at("showings")), std::vector<std::string>{isoDate(today) + " 00.15 One 00.15 Ночные НОВОСТИ"});

    r = run({"favourites", "--remove", "вести"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Орбиск: Этого нет в избранном \"вести\".\n");
    r = run({"favourites", "--remove", "Ночные Новости"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"({"removed":true,"favourites":[]})"));
}

TEST_F(SearchCli, RemindersListAndRefuseToCancelAJobNotTheirs) {
    if (!programAvailable("at")) GTEST_SKIP() << "the at package is not installed";
    auto r = run({"reminders"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(json::parse(r.out).at("reminders").is_array());
    r = run({"reminders", "--cancel", "999999"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Орбиск: В расписании нет напоминания с номером 999999.\n");
}

}  // namespace
}  // namespace orbisk
