#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "config/favourites.h"
#include "support/listing_names.h"
#include "support/tempdir.h"
#include "viewer/listingload.h"
#include "viewer/programmesearch.h"
#include "viewer/viewer.h"

namespace orbisk {
namespace {

using test::kDayNames;
using test::kMonthNames;
using test::TempDir;
using test::writeFile;

TEST(SearchMatching, CaseYoQuotesPunctuationAndEveryWord) {
    struct Case {
        const char* title;
        const char* query;
        bool found;
    };
    const Case cases[] = {
        {"ЁЛКИ-ПАЛКИ", "елки палки", true},
        {"Ёлки", "ЁЛ", true},
        {"\"Что? Где? Когда?\"", "что где когда", true},
        {"\"Что? Где? Когда?\"", "«когда» что!", true},
        {"Х/ф \"Место встречи изменить нельзя\"", "нельзя место", true},
        {"Х/ф \"Место встречи изменить нельзя\"", "место свидания", false},
        {"Новости", "НОВОСТ", true},
        {"Спорт", "", false},
        {"Spider-Man 2", "spider man 2", true},
        {"Spider-Man 2", "spiderman", false},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> words = searchWords(utf8ToAnsi(c.query));
        const bool found = !words.empty() && holdsAllWords(foldForSearch(utf8ToAnsi(c.title)), words);
        EXPECT_EQ(found, c.found) << c.title << " / " << c.query;
    }
}

TEST(SearchMatching, FavouritesMarkWholeWordsOnly) {
    const FavouriteMatcher matcher({"вести"_cp1251, "  ", "\"Что? Где?\""_cp1251});
    EXPECT_TRUE(matcher.matchesLine("20.00 Вести недели"_cp1251, 5));
    EXPECT_TRUE(matcher.matchesLine("20.00 ВЕСТИ"_cp1251, 5));
    EXPECT_FALSE(matcher.matchesLine("20.00 Вестник"_cp1251, 5));
    EXPECT_TRUE(matcher.matchesLine("22.00 Что? Где? Когда?"_cp1251, 5));
    EXPECT_FALSE(matcher.matchesLine("22.00 Где? Что?"_cp1251, 5));
    // The time text is no part of the title.
    EXPECT_FALSE(FavouriteMatcher({"20"}).matchesLine("20.00 Вести"_cp1251, 5));
    EXPECT_TRUE(FavouriteMatcher().empty());
}

// The lines are UTF-8 here, for reading.
std::string dayFile(int dayName, int day, const std::vector<std::vector<std::string>>& channels) {
    std::string text = "[tv.all]\r\n";
    for (const auto& block : channels) {
        text += "======\r\n" + std::string(kDayNames[dayName]) + ". " + std::to_string(day) + " " + kMonthNames[12] +
                ". " + block[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < block.size(); ++i) text += utf8ToAnsi(block[i]) + "\r\n";
    }
    return ansiToKoi8(text);
}

DateTime at(int y, int mo, int d, int h, int mi) {
    return encodeDate(y, mo, d) + encodeTime(h, mi);
}

class SilentNotifier : public Notifier {
public:
    void show(const std::string&, const std::string&, MsgIcon) override {}
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

// Monday 7 and Wednesday 9 December 2026. Channel "Hid" is hidden, "Zed" is
// shown as "Альфа", so that display names order otherwise than listing names.
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "1.txt", dayFile(2, 7, {{"Bee", "06.00 Ёлки-палки", "00.30 Ночные новости"}}));
        writeFile(dir / "3.txt",
                  dayFile(4, 9,
                          {{"Bee", "06.00 Утро", "21.00 Новости", "23.30 \"Ёлки\" (х/ф)", "00.15 Ночные НОВОСТИ"},
                           {"Zed", "21.00 Новости дня", "22.00 Вести недели"},
                           {"Hid", "21.00 Новости"}}));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Channels]\r\n1=Hid\r\n2=Zed\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=" +
                                  std::string("Альфа"_cp1251) + "\r\n[Favourites]\r\n1=" + "вести"_cp1251 +
                                  "\r\n2=" + "ночные новости"_cp1251 + "\r\n");
        ASSERT_TRUE(viewer.refreshListings(prompts, false));
    }

    static std::vector<std::string> rows(const std::vector<Showing>& showings) {
        std::vector<std::string> out;
        for (const Showing& s : showings) {
            int y, m, d;
            decodeDate(s.date, y, m, d);
            out.push_back(std::to_string(d) + " " + s.time + " " + s.channel + " " + s.line);
        }
        return out;
    }

    TempDir dir;
    SilentNotifier notifier;
    // Thursday 02:00: the listing day is still Wednesday 9.
    FixedClock clock{at(2026, 12, 10, 2, 0)};
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
};

TEST_F(SearchTest, FindsFromTodaysListingDayInTimeThenNameOrder) {
    const DateTime today = viewer.listingToday();
    EXPECT_EQ(rows(viewer.search("новости"_cp1251, today, 0, "")),
              (std::vector<std::string>{
                  "9 21.00 Bee 21.00 Новости"_cp1251,
                  "9 21.00 Альфа 21.00 Новости дня"_cp1251,
                  // After midnight, still the listing day of the 9th, and last.
                  "9 00.15 Bee 00.15 Ночные НОВОСТИ"_cp1251,
              }));
    // Every loaded day on request; the 00.30 of Monday's listing stays on the 7th.
    EXPECT_EQ(rows(viewer.search("ЕЛКИ"_cp1251, 0, 0, "")),
              (std::vector<std::string>{"7 06.00 Bee 06.00 Ёлки-палки"_cp1251,
                                        "9 23.30 Bee 23.30 \"Ёлки\" (х/ф)"_cp1251}));
    EXPECT_EQ(rows(viewer.search("ночные новости"_cp1251, 0, encodeDate(2026, 12, 8), "")),
              (std::vector<std::string>{"7 00.30 Bee 00.30 Ночные новости"_cp1251}));
    // One channel, by its display name in any case; the hidden one never.
    EXPECT_EQ(rows(viewer.search("новости"_cp1251, today, 0, "альфа"_cp1251)),
              (std::vector<std::string>{"9 21.00 Альфа 21.00 Новости дня"_cp1251}));
    EXPECT_TRUE(viewer.search("новости"_cp1251, today, 0, "Hid").empty());
    EXPECT_TRUE(viewer.search("\"  ?!"_cp1251, 0, 0, "").empty());
}

TEST_F(SearchTest, SettingsChangedAfterTheLoadAreHonoured) {
    viewer.settings().ini().writeString("Channel1", "Hide", "0");
    viewer.settings().ini().writeString("Channel1", "Desc", "Скрытый"_cp1251);
    const auto found = viewer.search("новости"_cp1251, viewer.listingToday(), encodeDate(2026, 12, 9), "");
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[2].channel, "Скрытый"_cp1251);
}

TEST_F(SearchTest, OpeningAShowingPicksItsDayChannelAndProgramme) {
    const auto found = viewer.search("ночные"_cp1251, 0, 0, "");
    ASSERT_EQ(found.size(), 2u);
    ASSERT_TRUE(viewer.openShowing(found[0]));
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 7));
    EXPECT_EQ(viewer.channels().current()->name, "Bee");
    EXPECT_EQ(viewer.showTimeEntry(), 1);
    EXPECT_EQ(Viewer::showingStart(found[0]), at(2026, 12, 8, 0, 30));
}

// The window's refresh hands the load to a thread of its own, and the load
// takes away what was searched before.
TEST_F(SearchTest, ARefreshOnAnotherThreadSearchesTheNewLoad) {
    ASSERT_EQ(viewer.search("утро"_cp1251, 0, 0, "").size(), 1u);
    writeFile(dir / "3.txt", dayFile(4, 9, {{"Bee", "06.00 Зарядка", "21.00 Новости"}}));
    const std::unique_ptr<ListingLoad> load = viewer.beginRefresh(prompts);
    ASSERT_TRUE(load);
    EXPECT_TRUE(viewer.search("новости"_cp1251, 0, 0, "").empty());
    std::thread([&] { load->run(); }).join();
    viewer.finishRefresh(*load, false);
    EXPECT_TRUE(viewer.search("утро"_cp1251, 0, 0, "").empty());
    EXPECT_EQ(rows(viewer.search("зарядка"_cp1251, 0, 0, "")),
              (std::vector<std::string>{"9 06.00 Bee 06.00 Зарядка"_cp1251}));
}

TEST_F(SearchTest, FavouritesMarkTheDayTheGridAndTheWeek) {
    // The day shown is Wednesday, channel Bee.
    EXPECT_EQ(viewer.favouriteEntries(), (std::vector<bool>{false, false, false, true}));
    bool marked = false;
    for (const FilmRow& row : viewer.filmRows(encodeTime(22, 10)))
        if (row.desc == "Альфа"_cp1251) marked = row.favourite;
    EXPECT_TRUE(marked);
    EXPECT_EQ(rows(viewer.favouriteShowings(encodeDate(2026, 12, 10))),
              (std::vector<std::string>{"7 00.30 Bee 00.30 Ночные новости"_cp1251,
                                        "9 22.00 Альфа 22.00 Вести недели"_cp1251,
                                        "9 00.15 Bee 00.15 Ночные НОВОСТИ"_cp1251}));

    // Kept in their own section; nothing else in the file changes.
    IniFile& ini = viewer.settings().ini();
    EXPECT_FALSE(addFavourite(ini, "  ВЕСТИ "_cp1251));
    EXPECT_TRUE(addFavourite(ini, "Утро"_cp1251));
    EXPECT_TRUE(removeFavourite(ini, "ВЕСТИ"_cp1251));
    EXPECT_FALSE(removeFavourite(ini, "вести"_cp1251));
    EXPECT_EQ(readFavourites(ini), (std::vector<std::string>{"ночные новости"_cp1251, "Утро"_cp1251}));
    EXPECT_EQ(ini.readString("Channel2", "Desc", ""), "Альфа"_cp1251);
    viewer.reloadFavourites();
    EXPECT_EQ(viewer.favouriteEntries(), (std::vector<bool>{true, false, false, true}));
}

}  // namespace
}  // namespace orbisk
