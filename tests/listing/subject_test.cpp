#include "listing/subject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"

namespace orbisk {
namespace {

// Month names as the captions write them.
const std::string kDecember = "декабря"_cp1251;
const std::string kNovember = "ноября"_cp1251;
const std::string kApril = "апреля"_cp1251;

struct Box {
    std::string text, caption;
    MsgIcon icon;
};

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon icon) override {
        shown.push_back({text, caption, icon});
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    std::vector<Box> shown;
};

MonthNames monthNames() {
    MonthNames m;
    for (int i = 1; i <= 12; ++i) m[i] = "m" + std::to_string(i);
    m[4] = kApril;
    m[11] = kNovember;
    m[12] = kDecember;
    return m;
}

FixedClock at(int y, int m, int d) { return FixedClock(encodeDate(y, m, d) + 0.5); }

TEST(Subject, Words) {
    EXPECT_EQ(nthWord("  a  bb c", 2, " "), "bb");
    EXPECT_EQ(nthWord("a.b c", 2, " ."), "b");
    EXPECT_EQ(nthWord("a b", 3, " "), "");
    EXPECT_EQ(nthWord("", 1, " "), "");
    EXPECT_EQ(nthWord("abc", 0, " "), "");
    EXPECT_EQ(nthWordPosition(" a b  c", 3, " "), 6u);
    EXPECT_EQ(nthWordPosition("a b ", 3, " "), std::string_view::npos);
}

TEST(Subject, ListingSubjects) {
    std::int32_t n = -1, m = -1;
    EXPECT_TRUE(isListingSubject("TV listing [2/7] week 52", n, m));
    EXPECT_EQ(n, 2);
    EXPECT_EQ(m, 7);
    EXPECT_TRUE(isListingSubject("[ -3/ +10]", n, m));
    EXPECT_EQ(n, -3);
    EXPECT_EQ(m, 10);

    n = m = 99;
    // "ТВ. " anywhere, "/" first, no "]", no "/": no listing, nothing thrown.
    EXPECT_FALSE(isListingSubject("ТВ. TV listing [2/7]"_cp1251, n, m));
    EXPECT_FALSE(isListingSubject("/2] x", n, m));
    EXPECT_FALSE(isListingSubject("TV listing [2/7", n, m));
    EXPECT_FALSE(isListingSubject("TV listing [2] ", n, m));
    EXPECT_FALSE(isListingSubject("", n, m));
    EXPECT_EQ(n, 99);
    EXPECT_EQ(m, 99);
    // Without the blank it is not the marker.
    EXPECT_TRUE(isListingSubject("ТВ.[1/2]"_cp1251, n, m));

    // Chat subjects and part texts that are no decimal number: an ordinary
    // message, never an error that would end the load.
    const std::vector<std::string> chat = {"[OT] СТС/ТНТ"_cp1251, "Re: НТВ/ОРТ [фото]"_cp1251, "TV 2/7]", "[1/x]",
                                           "x]/2", "1/[2]", "a/b] [1/2]", "]x[1/2", "[1]/2", "[2 /7]", "[$1/7]",
                                           "[x1/7]", "[0x1/7]", "[1/$7]", "[1/0x7]", "[+/7]", "[99999999999/7]"};
    for (const auto& subject : chat) {
        SCOPED_TRACE(subject);
        n = m = 99;
        EXPECT_NO_THROW(EXPECT_FALSE(isListingSubject(subject, n, m)));
        EXPECT_EQ(n, 99);
        EXPECT_EQ(m, 99);
    }
    EXPECT_TRUE(isListingSubject("[07/07]", n, m));
    EXPECT_EQ(n, 7);
}

TEST(Subject, YearForMonth) {
    EXPECT_EQ(yearForMonth(1, at(2023, 12, 31)), 2024);
    EXPECT_EQ(yearForMonth(3, at(2023, 12, 31)), 2023);
    EXPECT_EQ(yearForMonth(12, at(2024, 3, 1)), 2024);
    EXPECT_EQ(yearForMonth(12, at(2024, 1, 1)), 2023);
    EXPECT_EQ(yearForMonth(11, at(2024, 2, 29)), 2023);
    EXPECT_EQ(yearForMonth(10, at(2024, 2, 29)), 2024);
    EXPECT_EQ(yearForMonth(1, at(2024, 11, 30)), 2024);
}

TEST(Subject, DatingLine) {
    const auto jan = at(2024, 1, 10);
    EXPECT_EQ(datingLineDate("=?koi8-r?B?x?= 25.12.2023", jan), encodeDate(2023, 12, 25));
    EXPECT_EQ(datingLineDate("=?koi8-r? 25.12", at(2024, 12, 1)), encodeDate(2024, 12, 25));
    EXPECT_EQ(datingLineDate("x 5.01", at(2023, 12, 1)), encodeDate(2024, 1, 5));

    // Read in March 2024, 29.02 is of a leap year; read in March 2025 it is
    // not, and the listing goes undated instead of ending the load.
    EXPECT_EQ(datingLineDate("=?koi8-r? 29.02", at(2024, 3, 1)), encodeDate(2024, 2, 29));
    for (const char* line : {"29.02", "31.04", "01.13", "00.12", "ab.12", "25.1x", "$1.12", "x1.12", "25.$C", "5.12",
                             ".12", "25.1", "25.", "=?koi8-r?", ""}) {
        SCOPED_TRACE(line);
        EXPECT_NO_THROW(EXPECT_EQ(datingLineDate(line, at(2025, 3, 1)), std::nullopt));
    }
}

TEST(Subject, CaptionDate) {
    const MonthNames months = monthNames();
    const auto march = at(2024, 3, 10);
    RecordingNotifier box;
    // Read in January: last year's December.
    EXPECT_EQ(parseCaptionDate("Пн. 25 "_cp1251 + kDecember + ". ОРТ"_cp1251, months, at(2024, 1, 8), box),
              encodeDate(2023, 12, 25));
    EXPECT_EQ(parseCaptionDate("x  3 " + kApril, months, march, box), encodeDate(2024, 4, 3));
    EXPECT_TRUE(box.shown.empty());

    // Month in other capitals.
    EXPECT_EQ(parseCaptionDate("x 25 Декабря."_cp1251, months, march, box), 0);
    // Day 31 of April, and a day that is no integer.
    EXPECT_EQ(parseCaptionDate("x 31 " + kApril + ".", months, march, box), 0);
    EXPECT_EQ(parseCaptionDate("x 3a " + kApril, months, march, box), 0);
    // Too few words: the month word is empty.
    EXPECT_EQ(parseCaptionDate("x 3", months, march, box), 0);
    ASSERT_EQ(box.shown.size(), 4u);
    const std::string error = "Ошибка"_cp1251;
    for (const auto& b : box.shown) {
        EXPECT_EQ(b.caption, error);
        EXPECT_EQ(b.icon, MsgIcon::Error);
    }
    const std::string unknown = "Неопознанный месяц \""_cp1251;
    const std::string bad = "Не распознаваемая дата: \""_cp1251;
    EXPECT_EQ(box.shown[0].text, unknown + "Декабря\""_cp1251);
    EXPECT_EQ(box.shown[1].text, bad + "31 " + kApril + "\"");
    EXPECT_EQ(box.shown[2].text, bad + "3a " + kApril + "\"");
    EXPECT_EQ(box.shown[3].text, unknown + "\"");

    // A month name left empty in the configuration matches no empty word.
    MonthNames gaps = months;
    gaps[5] = "";
    box.shown.clear();
    EXPECT_EQ(parseCaptionDate("x 3", gaps, march, box), 0);
    EXPECT_EQ(box.shown.size(), 1u);
}

TEST(Subject, CaptionTailAndKoi8) {
    EXPECT_EQ(captionTail("Пн. 25 "_cp1251 + kDecember + ". First Channel  "), "First Channel  ");
    EXPECT_EQ(captionTail("  a  b   c    d e"), "d e");
    EXPECT_EQ(captionTail("a. 25 " + kDecember + "."), "a. 25 " + kDecember + ".");
    EXPECT_EQ(captionTail("a b c "), "a b c ");

    // Cyrillic letters of both cases come back as they were written.
    EXPECT_EQ(koi8ToAnsi(ansiToKoi8("НТВ нтв ТНТ Новости\r\n"_cp1251)), "НТВ нтв ТНТ Новости\r\n"_cp1251);
    // Box drawing has no place in 1251; the length stays.
    EXPECT_EQ(koi8ToAnsi("\x80\x95").size(), 2u);
    EXPECT_EQ(koi8ToAnsi("plain ASCII"), "plain ASCII");
}

}  // namespace
}  // namespace orbisk
