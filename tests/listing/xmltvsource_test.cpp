#include "listing/xmltvsource.h"

#include <lzma.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/inifile.h"
#include "base/ui.h"
#include "listing/channellist.h"
#include "listing/xmltvreader.h"
#include "support/tempdir.h"
#include "support/zoneguard.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;
using test::ZoneGuard;

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

std::string guide(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv>\n" + body + "</tv>\n";
}

std::string channel(const std::string& id, const std::string& names) {
    return "<channel id=\"" + id + "\">" + names + "</channel>\n";
}

std::string programme(const std::string& id, const std::string& start, const std::string& inner) {
    return "<programme start=\"" + start + "\" channel=\"" + id + "\">" + inner + "</programme>\n";
}

std::string gzipped(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size())) + 64;
    std::string out(size, '\0');
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = static_cast<uInt>(bytes.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string xzipped(const std::string& bytes) {
    std::string out(lzma_stream_buffer_bound(bytes.size()), '\0');
    std::size_t pos = 0;
    lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            bytes.size(), reinterpret_cast<std::uint8_t*>(out.data()), &pos, out.size());
    out.resize(pos);
    return out;
}

class GuideSource : public ::testing::Test {
protected:
    void SetUp() override {
        env.layout.days[1] = "Воскресенье"_cp1251;
        env.layout.days[2] = "Понедельник"_cp1251;
        env.layout.days[3] = "Вторник"_cp1251;
        env.months[3] = "марта"_cp1251;
        env.months[12] = "декабря"_cp1251;
    }

    // "channel: line | line" for every channel block of the day, as the
    // window parses it.
    std::vector<std::string> shown(DateTime date) const {
        std::vector<std::string> out;
        const DayLines* day = weeks.getDay(date);
        if (!day) return out;
        ChannelList channels(nullptr, "HH.MM", '.');
        parseDayText(channels, *day, false, env.layout.firstCaptionRow);
        for (int i = 0; i < channels.count(); ++i) {
            std::string text = ansiToUtf8(channels.items(i).name) + ":";
            for (const auto& line : channels.items(i).lines) text += " " + ansiToUtf8(line) + " |";
            out.push_back(text);
        }
        return out;
    }

    void load(const std::string& bytes, const std::string& name = "guide.xml") {
        writeFile(dir / name, bytes);
        loadFromGuide(dir / name, weeks, other, env);
    }

    TempDir dir;
    FixedClock clock{encodeDate(2026, 12, 8)};
    RecordingNotifier notifier;
    LoadEnv env{notifier, clock};
    WeekIndex weeks;
    OtherMessages other;
};

TEST(GuideTime, OffsetsZonesAndMalformedTimes) {
    const std::int64_t noonUtc = 1796731200;  // 2026-12-08 12:00:00 UTC
    const struct {
        const char* text;
        bool ok;
        std::int64_t seconds;
    } cases[] = {
        {"20261208120000 +0000", true, noonUtc},
        {"20261208150000 +0300", true, noonUtc},
        {"20261208070000 -0500", true, noonUtc},
        {"202612081200", true, noonUtc},  // no seconds, no zone: UTC
        {"20261208120000", true, noonUtc},
        {"20261208120000 UTC", true, noonUtc},
        {"20261208130000 BST", true, noonUtc},
        {"20261208150000 MSK", true, noonUtc},
        {"20261208120030 +0000", true, noonUtc + 30},
        {"2026120812", false, 0},
        {"20261308120000 +0000", false, 0},
        {"20260230120000 +0000", false, 0},
        {"20261208250000 +0000", false, 0},
        {"20261208120000 +03", false, 0},
        {"20261208120000 XYZ", false, 0},
        {"2026-12-08T12:00", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        std::int64_t seconds = 0;
        EXPECT_EQ(parseGuideTime(c.text, seconds), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(seconds, c.seconds) << c.text;
        }
    }
}

TEST_F(GuideSource, ProgrammesBecomeListingDaysOfTheKeptChannels) {
    ZoneGuard zone("MSK-3");
    env.guide.keptChannels = {"Первый канал"_cp1251, "Россия 1"_cp1251, "Нет в программе"_cp1251};
    load(guide(channel("one", "<display-name lang=\"en\">Channel One</display-name>"
                              "<display-name lang=\"ru\">Первый канал</display-name>") +
               channel("two", "<display-name>Россия 1</display-name>") +
               channel("skip", "<display-name>Не нужен</display-name>") +
               // Out of order, overlapping, a duplicate start, titles in two
               // languages, a sub-title, letters 1251 lacks, a whole-day film.
               programme("one", "20261208060000 +0300", "<title lang=\"en\">News</title><title lang=\"ru\">Новости</title>") +
               programme("one", "20261208230000 +0000", "<title>Ночной эфир</title>") +
               programme("one", "20261208090000 +0300",
                         "<title>Сериал</title><sub-title lang=\"ru\">Café  «Ёлки» — 2</sub-title>") +
               programme("one", "20261208070000 +0300", "<title>Утро?</title><sub-title>Выпуск 3</sub-title>") +
               programme("one", "20261208060000 +0300", "<title>Дубль</title>") +
               programme("two", "20261208050000 +0300", "<title>Весь день</title>") +
               programme("two", "20261208043000 +0300", "<title>Первая в сутках</title>") +
               programme("two", "20261208042900 +0300", "<title>Ночь перед ней</title>") +
               programme("two", "20261208100000 +0300", "<title></title>") +
               programme("skip", "20261208100000 +0300", "<title>Лишнее</title>")));

    // 04:29 local on the 8th belongs to the listing day of the 7th, 02:00 on
    // the 9th to the 8th.
    EXPECT_EQ(shown(encodeDate(2026, 12, 7)),
              (std::vector<std::string>{"Россия 1: 04.29 Ночь перед ней |"}));
    EXPECT_EQ(shown(encodeDate(2026, 12, 8)),
              (std::vector<std::string>{
                  "Первый канал: 06.00 Новости | 07.00 Утро? Выпуск 3 | 09.00 Сериал. Cafe «Ёлки» — 2 | 02.00 Ночной эфир |",
                  "Россия 1: 04.30 Первая в сутках | 05.00 Весь день |"}));
    // The caption line names the day and date as the listings do.
    const StringList day = weeks.getDay(encodeDate(2026, 12, 8))->toList();
    EXPECT_EQ(day[1], "Вторник. 8 декабря. Первый канал"_cp1251);
    ASSERT_EQ(weeks.items.size(), 1u);
    EXPECT_EQ(weeks.items[0]->startDate, encodeDate(2026, 12, 7));
}

TEST_F(GuideSource, LocalTimesAcrossTheSummerTimeChange) {
    ZoneGuard zone(test::kCet);
    env.guide.keepEveryChannel = true;
    // Clocks go from 02:00 to 03:00 on 29 March 2026; the guide writes UTC
    // and, for one programme, the summer offset.
    load(guide(channel("c", "<display-name>C</display-name>") +
               programme("c", "20260328230000 +0000", "<title>A</title>") +  // 00:00 CET
               programme("c", "20260329005900 +0000", "<title>B</title>") +  // 01:59 CET
               programme("c", "20260329010000 +0000", "<title>C</title>") +  // 03:00 CEST
               programme("c", "20260329063000 +0200", "<title>D</title>") +
               programme("c", "20260329050000", "<title>E</title>")));  // no zone: UTC, 07:00 CEST
    EXPECT_EQ(shown(encodeDate(2026, 3, 28)), (std::vector<std::string>{"C: 00.00 A | 01.59 B | 03.00 C |"}));
    EXPECT_EQ(shown(encodeDate(2026, 3, 29)), (std::vector<std::string>{"C: 06.30 D | 07.00 E |"}));
}

TEST_F(GuideSource, GzipAndXzReadAsThePlainDocument) {
    ZoneGuard zone("MSK-3");
    env.guide.keepEveryChannel = true;
    std::string body = channel("c", "<display-name>C</display-name>");
    for (int h = 5; h < 24; ++h)
        body += programme("c", "20261208" + std::string(h < 10 ? "0" : "") + std::to_string(h) + "0000 +0300",
                          "<title>Programme " + std::to_string(h) + "</title>");
    const std::string doc = guide(body);
    load(doc);
    const auto plain = shown(encodeDate(2026, 12, 8));
    ASSERT_EQ(plain.size(), 1u);
    for (const auto& [name, bytes] : {std::pair{"g.xml.gz", gzipped(doc)}, std::pair{"g.xml.xz", xzipped(doc)},
                                      std::pair{"twice.gz", gzipped(doc.substr(0, 300)) + gzipped(doc.substr(300))}}) {
        weeks.clear();
        load(bytes, name);
        EXPECT_EQ(shown(encodeDate(2026, 12, 8)), plain) << name;
    }
}

TEST_F(GuideSource, BrokenGuidesAreReportedAndThePreviousDaysKept) {
    ZoneGuard zone("MSK-3");
    env.guide.keepEveryChannel = true;
    const std::string good = guide(channel("c", "<display-name>C</display-name>") +
                                   programme("c", "20261208100000 +0300", "<title>Kept</title>"));
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"malformed.xml", good.substr(0, good.size() - 12) + "</tx>", kGuideMalformedText},
        {"cut.xml", good.substr(0, good.size() / 2), kGuideMalformedText},
        {"cut.xml.gz", gzipped(good).substr(0, 40), kGuideTruncatedText},
        {"cut.xml.xz", xzipped(good).substr(0, 60), kGuideTruncatedText},
        {"entities.xml", "<!DOCTYPE tv [<!ENTITY a \"aaaa\">]><tv>&a;</tv>", kGuideMalformedText},
        {"empty.xml", "", kGuideMalformedText},
        {"giant-token.xml", "<tv><channel id=\"" + std::string(17 << 20, 'a'), kGuideMalformedText},
    };
    load(good);
    const auto before = shown(encodeDate(2026, 12, 8));
    ASSERT_EQ(before.size(), 1u);
    for (const auto& c : cases) {
        writeFile(dir / c.name, c.bytes);
        try {
            loadFromGuide(dir / c.name, weeks, other, env);
            ADD_FAILURE() << c.name << " loaded";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.name << ": " << ansiToUtf8(e.what());
            EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << c.name;
        }
        EXPECT_EQ(shown(encodeDate(2026, 12, 8)), before) << c.name;
    }
    EXPECT_THROW(loadFromGuide(dir / "missing.xml", weeks, other, env), Error);
    // A 2 GB file (sparse: no disk is used) is refused before it is read.
    {
        std::FILE* f = std::fopen((dir / "huge.xml").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("<tv>", f);
        ASSERT_EQ(ftruncate(fileno(f), off_t{2} << 30), 0);
        std::fclose(f);
        try {
            loadFromGuide(dir / "huge.xml", weeks, other, env);
            ADD_FAILURE() << "2 GB loaded";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(kGuideTooLargeText, 0), 0u);
        }
        EXPECT_EQ(shown(encodeDate(2026, 12, 8)), before);
    }

    // A document above the limit is refused, however it is packed.
    struct Ignore : GuideHandler {
        void channel(const std::string&, const std::string&) override {}
        bool wantsChannel(std::string_view) override { return false; }
        void programme(const GuideProgramme&) override {}
    } ignore;
    GuideLimits small;
    small.maxDocumentBytes = 100;
    for (const std::string& bytes : {good, gzipped(good)}) {
        try {
            readGuideBytes(bytes, "big", ignore, small);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(kGuideTooLargeText, 0), 0u);
        }
    }
}

TEST_F(GuideSource, ChannelNamesAndTheKeptListKeepTheirOptions) {
    const std::string doc = guide(channel("a", "<display-name>Альфа</display-name>") +
                                  channel("b", "<display-name lang=\"de\">Beta</display-name>"
                                               "<display-name lang=\"ru\">Бета</display-name>") +
                                  channel("a2", "<display-name>Альфа</display-name>") + channel("empty", "") +
                                  programme("a", "20261208100000 +0300", "<title>x</title>") +
                                  "<programme broken");
    writeFile(dir / "g.xml", doc);
    // The names come before the first programme; what follows is not read.
    EXPECT_EQ(guideChannelNames(dir / "g.xml"),
              (std::vector<std::string>{"Альфа"_cp1251, "Бета"_cp1251, "empty"}));

    writeFile(dir / "o.ini",
              std::string("[Channels]\r\n1=One\r\n2=Two\r\n3=Three\r\n[Channel1]\r\nDesc=First\r\n"
                                "[Channel2]\r\nHide=1\r\n[Channel3]\r\nDesc=Third\r\n"));
    IniFile ini(dir / "o.ini");
    setKeptChannels(ini, {"Two", "New", "One"});
    EXPECT_EQ(keptChannelNames(ini), (std::vector<std::string>{"Two", "New", "One"}));
    EXPECT_TRUE(ini.readBool("Channel1", "Hide", false));
    EXPECT_FALSE(ini.valueExists("Channel1", "Desc"));
    EXPECT_FALSE(ini.sectionExists("Channel2"));
    EXPECT_EQ(ini.readString("Channel3", "Desc", ""), "First");
    EXPECT_FALSE(ini.readBool("Channel3", "Hide", false));
}

TEST(GuideChannels, PickedNamesKeepTheirPlaceAndNewOnesFollow) {
    const std::vector<std::string> kept = {"B", "A", "C"};
    EXPECT_EQ(pickedChannels(kept, {"A", "D", "B", "E"}), (std::vector<std::string>{"B", "A", "D", "E"}));
    EXPECT_EQ(pickedChannels(kept, {}), std::vector<std::string>{});
    EXPECT_EQ(pickedChannels({}, {"X", "Y", "X"}), (std::vector<std::string>{"X", "Y"}));
}

TEST(CodePage, LookalikesForWhatWindows1251Lacks) {
    EXPECT_EQ(utf8ToAnsiLookalike("Café Ærø Łódź ŠKODA"), "Cafe Aro Lodz SKODA");
    EXPECT_EQ(utf8ToAnsiLookalike("a‐b′c″d\u2009e×f"), "a-b'c\"d ex" "f");
    // What 1251 has stays itself; what has no look-alike is "?".
    EXPECT_EQ(utf8ToAnsiLookalike("Ёлки «№1» — ї"), "Ёлки «№1» — ї"_cp1251);
    EXPECT_EQ(utf8ToAnsiLookalike("日本 ☺"), "?? ?");
}

}  // namespace
}  // namespace orbisk
