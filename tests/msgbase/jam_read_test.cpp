// The JAM reader on bases built byte by byte: locating, headers, kludge
// lines, text ends, and damaged files that must neither crash nor hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/jamarea.h"
#include "msgbase/jam_image.h"
#include "support/tempdir.h"

namespace orbisk::test {
namespace {

std::vector<std::string> textLines(MessageArea& a, bool noKludge, std::uint16_t maxLen = 255) {
    std::vector<std::string> lines;
    a.startText();
    for (int guard = 0; !a.atTextEnd() && guard < 100000; ++guard)
        lines.push_back(noKludge ? a.readTextLineNoKludge(maxLen) : a.readTextLine(maxLen));
    return lines;
}

std::vector<MsgNumber> walk(MessageArea& a) {
    std::vector<MsgNumber> numbers;
    for (a.locateFrom(1); a.isLocated() && numbers.size() < 100000; a.locateNext()) {
        a.loadHeader();
        numbers.push_back(a.getMessageNumber());
    }
    return numbers;
}

std::unique_ptr<MessageArea> open(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    EXPECT_TRUE(openAreaByIdentifier(a, "J" + base)) << base;
    return a;
}

TEST(JamRead, LocatesLiveMessagesFromTheBaseNumberAndSkipsDeadOnes) {
    TempDir dir;
    JamMessageImage live{{{6, "one"}}, "1\r"};
    JamMessageImage dead = live, crcDead = live, marked = live;
    dead.deadIndex = true;
    crcDead.indexCrc = 0xFFFFFFFF;          // the checksum alone kills the record
    marked.attr |= JamArea::kAttrDeleted;  // deleted in the header only, as maintenance tools do
    JamMessageImage last{{{6, "last"}}, "5\r"};
    // Upper-case extensions: the names are found whatever their case.
    writeJam(dir / "Area", buildJam({live, dead, crcDead, marked, last}, 100), true);

    auto a = open(dir / "Area");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->getHighNumber(), 104);
    EXPECT_EQ(walk(*a), (std::vector<MsgNumber>{100, 104}));
    a->locateFrom(101);
    EXPECT_TRUE(a->isLocated());
    a->loadHeader();
    EXPECT_EQ(a->getMessageNumber(), 104);
    EXPECT_EQ(a->getSubject(), "last");
    a->locateFrom(105);
    EXPECT_FALSE(a->isLocated());
    a->locatePrior();
    a->loadHeader();
    EXPECT_EQ(a->getMessageNumber(), 104);
    a->locatePrior();
    a->loadHeader();
    EXPECT_EQ(a->getMessageNumber(), 100);
    a->locatePrior();
    EXPECT_FALSE(a->isLocated());
    EXPECT_EQ(a->getHighestExisting(), 104);
    EXPECT_EQ(a->countMessages(), 2);
    EXPECT_TRUE(closeAreaAndFree(a));
}

TEST(JamRead, HeaderFieldsKludgeLinesAndTextEnds) {
    TempDir dir;
    JamMessageImage m;
    // The subject in CP866, with the letter EN 0x8D.
    m.subfields = {{2, "Ivan Petrov"},   {3, "All"},           {6, ansiToOem("Re: RE:  Программа НТВ"_cp1251)},
                   {0, "2:5020/1.3"},   {1, "2:5030/7"},      {4, "2:5020/1 12ab34cd"},
                   {7, "Tosser 1.0"},   {2000, "TZUTC: 0300"}, {2001, "5020/1 9999"},
                   {2002, "5020/9999"}, {9, "file.zip"},      {77, "unknown kind"}};
    m.text = ansiToOem("НТВ 07.00 News\rAB"_cp1251);  // last line without CR
    m.dateWritten = 1700000000;                       // 2023-11-14 22:13:20
    m.attr = JamArea::kAttrPrivate | JamArea::kAttrCrash | JamArea::kAttrRead;
    JamMessageImage empty{{{6, "empty"}}, ""};
    JamMessageImage nul{{{6, "nul"}}, std::string("abc\0def\rghi\r", 12)};
    writeJam(dir / "a", buildJam({m, empty, nul}));

    auto a = open(dir / "a");
    ASSERT_TRUE(a);
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_EQ(a->getFromName(), "Ivan Petrov");
    EXPECT_EQ(a->getToName(), "All");
    EXPECT_EQ(a->getSubject(), "Программа НТВ"_cp1251);
    EXPECT_EQ(a->getOrigAddress(), (FidoAddress{2, 5020, 1, 3}));
    EXPECT_EQ(a->getDestAddress(), (FidoAddress{2, 5030, 7, 0}));
    EXPECT_DOUBLE_EQ(a->getDateTime(), encodeDate(2023, 11, 14) + encodeTime(22, 13, 20));
    EXPECT_TRUE(a->isPrivate() && a->isCrash() && a->isRead() && a->isEcho());
    EXPECT_FALSE(a->isLocal() || a->isSent() || a->isDeleted() || a->isFileAttach() || a->isReceipt());
    const std::vector<std::string> all = {"\x01MSGID: 2:5020/1 12ab34cd", "\x01PID: Tosser 1.0", "\x01TZUTC: 0300",
                                          "\x01SEEN-BY: 5020/1 9999",     "\x01PATH: 5020/9999",
                                          "НТВ 07.00 News"_cp1251,        "AB"};
    EXPECT_EQ(textLines(*a, false), all);
    EXPECT_EQ(textLines(*a, true), (std::vector<std::string>{"НТВ 07.00 News"_cp1251, "AB"}));
    // A line that exactly fills maxLen at the last kludge: the text follows whole.
    const auto narrow = textLines(*a, false, 16);
    ASSERT_GE(narrow.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(narrow.end() - 3, narrow.end()),
              (std::vector<std::string>{"\x01PATH: 5020/9999", "НТВ 07.00 News"_cp1251, "AB"}));

    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(a->getSubject(), "empty");
    a->startText();
    EXPECT_TRUE(a->atTextEnd());
    EXPECT_EQ(a->readTextLine(255), "");

    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(textLines(*a, false), (std::vector<std::string>{"abc"}));  // the text ends at its NUL
}

TEST(JamRead, DamagedFilesNeitherCrashNorHang) {
    TempDir dir;
    JamMessageImage good{{{6, "good"}}, "Good\r"};
    JamMessageImage hugeSub{{{2000, ""}, {6, "abc"}, {2, "never reached"}}, "t\r"};
    JamMessageImage wrapSub = hugeSub, areaLen = good, pastEnd = good, negative = good, textPast = good,
                    textHuge = good, textLenPast = good;
    wrapSub.subfieldLen = 0xFFFFFFFF;  // area length far past the file
    areaLen.subfieldLen = 0x7FFFFFFF;
    pastEnd.headerOffset = 0x7FFFFFF0;
    negative.headerOffset = 0x80000000;
    textPast.textOffset = 0xFFFFFF00;
    textHuge.textLen = 0xFFFFFFFF;
    textLenPast.textLen = 1000;
    auto built = buildJam({good, hugeSub, wrapSub, areaLen, pastEnd, negative, textPast, textHuge, textLenPast});
    // Message 2's first subfield (kind 2000) gets length 0xFFFFFFF8: 8 + len wraps to 0 in 32 bits.
    const std::uint32_t h2 = getLe32(built.jdx, 8 + 4);
    putLe(built.jhr, h2 + 76 + 4, 0xFFFFFFF8, 4);
    writeJam(dir / "d", built);

    auto a = open(dir / "d");
    ASSERT_TRUE(a);
    // Headers past the end or at a negative offset are no messages.
    EXPECT_EQ(walk(*a), (std::vector<MsgNumber>{1, 2, 3, 4, 7, 8, 9}));
    for (MsgNumber n : {2, 3, 4}) {
        a->locateFrom(n);
        a->loadHeader();
        EXPECT_LE(a->getSubject().size(), 255u);
        EXPECT_LE(textLines(*a, false).size(), 10u);
    }
    a->locateFrom(7);
    a->loadHeader();
    EXPECT_EQ(textLines(*a, false), std::vector<std::string>{});  // text beyond the file
    a->locateFrom(8);
    a->loadHeader();
    const auto huge = textLines(*a, false);  // runs to the end of the text file, no further
    ASSERT_FALSE(huge.empty());
    EXPECT_EQ(huge.front(), "Good");
    EXPECT_LE(huge.size(), 9u);
    a->locateFrom(9);
    a->loadHeader();
    EXPECT_EQ(textLines(*a, false).front(), "Good");

    // Positions far outside the base end at once.
    a->setPosition(INT32_MIN);
    a->locateNext();
    EXPECT_TRUE(a->isLocated());
    a->setPosition(INT32_MAX);
    a->locatePrior();
    a->loadHeader();
    EXPECT_EQ(a->getMessageNumber(), 9);
    closeAreaAndFree(a);

    // An index of nothing but dead records; a base number near the top.
    JamMessageImage deadRec = good;
    deadRec.deadIndex = true;
    writeJam(dir / "dead", buildJam(std::vector<JamMessageImage>(5000, deadRec)));
    a = open(dir / "dead");
    ASSERT_TRUE(a);
    EXPECT_TRUE(walk(*a).empty());
    EXPECT_EQ(a->getHighestExisting(), 0);
    closeAreaAndFree(a);
    writeJam(dir / "top", buildJam({good, good}, 0xFFFFFFF0));
    a = open(dir / "top");
    ASSERT_TRUE(a);
    EXPECT_TRUE(walk(*a).empty());
    EXPECT_GE(a->getHighNumber(), 0);
    closeAreaAndFree(a);

    // A base header cut short, a missing index: the area does not open.
    auto shortHead = buildJam({good});
    shortHead.jhr.resize(500);
    writeJam(dir / "short", shortHead);
    EXPECT_FALSE(openAreaByIdentifier(a, "J" + (dir / "short")));
    EXPECT_FALSE(a);
    writeJam(dir / "noidx", buildJam({good}));
    std::filesystem::remove(dir / "noidx.jdx");
    std::unique_ptr<MessageArea> b;
    ASSERT_TRUE(createAreaForIdentifier(b, "J" + (dir / "noidx")));
    EXPECT_EQ(b->openArea(), 2);
}


// The kind's line shortcut must give exactly what the shared reader gives:
// lines, the wrapped flag and the end, on texts full of the awkward bytes,
// across window refills (texts longer than the text window) and kludges.
TEST(JamRead, LineShortcutMatchesTheSharedReader) {
    TempDir dir;
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    const char alphabet[] = {'a', 'b', ' ', ' ', '\r', '\n', '\0', '\x8D', '\xE0', 'x', '7', '\t'};  // 866 "Н", "р"
    std::vector<JamMessageImage> msgs;
    for (int m = 0; m < 60; ++m) {
        JamMessageImage img({{6, "m"}});
        if (m % 3 == 0) img.subfields.push_back({4, "2:5020/1 " + std::to_string(m)});
        if (m % 5 == 0) img.subfields.push_back({2000, std::string(300, 'K')});
        const std::size_t len = m == 7 ? 150000 : next() % 2000;
        for (std::size_t i = 0; i < len; ++i) {
            const unsigned r = next();
            // Mostly words and CR, now and then a rarer byte or a long run.
            if (r % 50 == 0)
                img.text += std::string(300 + r % 200, 'w');
            else
                img.text += alphabet[r % 100 < 80 ? r % 5 : r % sizeof alphabet];
        }
        if (m % 4 == 0) img.text.erase(std::remove(img.text.begin(), img.text.end(), '\0'), img.text.end());
        msgs.push_back(img);
    }
    writeJam(dir / "eq", buildJam(msgs));
    auto a = open(dir / "eq");
    ASSERT_TRUE(a);
    int n = 0;
    for (a->locateFrom(1); a->isLocated(); a->locateNext(), ++n) {
        a->loadHeader();
        for (std::uint16_t maxLen : {1, 2, 5, 8, 40, 255}) {
            SCOPED_TRACE("message " + std::to_string(a->getMessageNumber()) + ", maxLen " + std::to_string(maxLen));
            std::vector<std::string> fast, shared;
            a->startText();
            for (int guard = 0; !a->atTextEnd() && guard < 400000; ++guard)
                fast.push_back(a->readTextLine(maxLen) + (a->getLastLineWrapped() ? "|w" : "|"));
            a->startText();
            for (int guard = 0; !a->atTextEnd() && guard < 400000; ++guard)
                shared.push_back(a->MessageArea::readTextLine(maxLen) + (a->getLastLineWrapped() ? "|w" : "|"));
            ASSERT_EQ(fast, shared);
        }
    }
    EXPECT_EQ(n, 60);
}

}  // namespace
}  // namespace orbisk::test
