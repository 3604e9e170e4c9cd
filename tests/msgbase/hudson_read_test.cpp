// Reading one board of a Hudson base built byte by byte (hudson_fixture.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include <unistd.h>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "msgbase/fileio.h"
#include "msgbase/hudson_fixture.h"
#include "msgbase/hudsonarea.h"
#include "support/readonly.h"

namespace orbisk {
namespace {

using test::buildHudson;
using test::hudsonId;
using test::HudsonMsg;
using test::TempDir;

HudsonMsg message(std::uint16_t number, std::uint8_t board, std::string text = "Line\r") {
    HudsonMsg m;
    m.number = number;
    m.board = board;
    m.text = std::move(text);
    return m;
}

std::unique_ptr<HudsonArea> openBoard(const TempDir& dir, int board, ResultCode expect = 0) {
    auto a = std::make_unique<HudsonArea>();
    char b[8];
    std::snprintf(b, sizeof b, "%03d", board);
    a->setAreaPath(b + dir.str());
    EXPECT_EQ(a->openArea(), expect);
    return a;
}

std::vector<MsgNumber> walkForward(MessageArea& a, MsgNumber from = 1) {
    std::vector<MsgNumber> out;
    for (a.locateFrom(from); a.isLocated() && out.size() < 100000; a.locateNext()) {
        a.loadHeader();
        out.push_back(a.getMessageNumber());
    }
    return out;
}

// All lines of the loaded message, as the listing loader reads them.
std::vector<std::string> readLines(MessageArea& a, std::uint16_t maxLen = 255) {
    std::vector<std::string> out;
    a.startText();
    while (!a.atTextEnd() && out.size() < 100000) out.push_back(a.readTextLine(maxLen));
    return out;
}

TEST(HudsonRead, BoardsInterleavedInOneBaseLocateOnlyTheirOwnMessages) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {message(5, 1), message(6, 2), message(7, 1), message(8, 3), message(9, 1), message(10, 2)};
    msgs[3].msgAttr = 1;          // 8: header deleted, index live
    msgs[4].indexDeleted = true;  // 9: index 0xFFFF
    test::writeHudson(dir, buildHudson(msgs));

    auto b1 = openBoard(dir, 1);
    EXPECT_EQ(walkForward(*b1), (std::vector<MsgNumber>{5, 7}));
    b1->locateFrom(6);
    ASSERT_TRUE(b1->isLocated());
    EXPECT_EQ(b1->getMessageNumber(), 7);
    EXPECT_EQ(b1->getPosition(), 2);  // record number
    b1->locateFrom(5);
    EXPECT_EQ(b1->getMessageNumber(), 5);
    b1->locateFrom(8);  // 9 is deleted in the index
    EXPECT_FALSE(b1->isLocated());
    EXPECT_EQ(b1->getHighestExisting(), 7);
    b1->locatePrior();
    EXPECT_EQ(b1->getMessageNumber(), 5);
    b1->locatePrior();
    EXPECT_FALSE(b1->isLocated());
    EXPECT_EQ(b1->countMessages(), 2);
    EXPECT_EQ(b1->getHighNumber(), 10);
    EXPECT_EQ(b1->getSubArea(), 1);
    b1->setPosition(2);
    EXPECT_TRUE(b1->isLocated());
    EXPECT_EQ(b1->getMessageNumber(), 7);
    b1->setPosition(1);  // a record of board 2
    EXPECT_FALSE(b1->isLocated());

    auto b2 = openBoard(dir, 2);
    EXPECT_EQ(walkForward(*b2), (std::vector<MsgNumber>{6, 10}));
    EXPECT_EQ(b2->countMessages(), 2);
    // The header's deleted bit does not hide a live index entry from the
    // walk, but the message reports itself deleted.
    auto b3 = openBoard(dir, 3);
    EXPECT_EQ(walkForward(*b3), (std::vector<MsgNumber>{8}));
    EXPECT_TRUE(b3->isDeleted());
    EXPECT_EQ(b3->countMessages(), 0);

    // A forward walk that found nothing above n - 1 steps back to n - 1.
    b2->locateFrom(10);
    b2->locateNext();
    EXPECT_FALSE(b2->isLocated());
    b2->locatePrior();
    EXPECT_EQ(b2->getMessageNumber(), 10);
}

TEST(HudsonRead, HeaderFieldsComeFromTheirOffsets) {
    TempDir dir;
    HudsonMsg m = message(42, 7);
    m.from = ansiToOem("Иван"_cp1251);
    m.to = "Somebody Else";
    m.subject = ansiToOem("Re: RE:  Программа"_cp1251);
    m.date = "12-31-99";
    m.time = "23:59";
    m.msgAttr = 0x08 | 0x10 | 0x40;  // private, received, local
    m.netAttr = 0xFF;
    m.timesRead = 3;
    m.prevReply = 40;
    m.nextReply = 44;
    m.cost = 12;
    m.destZone = 3;
    m.destNet = 633;
    m.destNode = 260;
    m.origZone = 2;
    m.origNet = 5020;
    m.origNode = 1042;
    HudsonMsg echo = message(43, 7);
    echo.msgAttr = 0x04;  // net mail
    echo.date = "02-30-24";  // no such day
    echo.time = "25:00";
    HudsonMsg badTime = message(44, 7);
    badTime.date = "3-5-2024";
    badTime.time = "9:7x";
    test::writeHudson(dir, buildHudson({m, echo, badTime}));

    auto a = openBoard(dir, 7);
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_EQ(a->status(), 0);
    EXPECT_EQ(a->getMessageNumber(), 42);
    EXPECT_EQ(a->getFromName(), "Иван"_cp1251);
    EXPECT_EQ(a->getToName(), "Somebody Else");
    EXPECT_EQ(a->getSubject(), "Программа"_cp1251);
    EXPECT_EQ(a->getDateTime(), encodeDate(1999, 12, 31) + encodeTime(23, 59));
    EXPECT_TRUE(a->isPrivate());
    EXPECT_TRUE(a->isReceived());
    EXPECT_TRUE(a->isLocal());
    EXPECT_FALSE(a->isDeleted());
    EXPECT_TRUE(a->isEcho());
    EXPECT_TRUE(a->isKillSent() && a->isSent() && a->isFileAttach() && a->isCrash() && a->isReceiptRequest() &&
                a->isAuditRequest() && a->isReceipt() && a->isFileRequest());
    EXPECT_TRUE(a->isRead());
    EXPECT_EQ(a->getReplyTo(), 40);
    EXPECT_EQ(a->getReplyFirst(), 44);
    EXPECT_EQ(a->getCost(), 12);
    EXPECT_EQ(a->getDestAddress(), (FidoAddress{3, 633, 260, 0}));
    EXPECT_EQ(a->getOrigAddress(), (FidoAddress{2, 5020, 1042, 0}));

    a->locateNext();
    a->loadHeader();
    EXPECT_FALSE(a->isEcho());
    EXPECT_FALSE(a->isPrivate() || a->isRead() || a->isCrash() || a->isFileRequest());
    EXPECT_EQ(a->getDateTime(), 0);  // 30 February
    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(a->getDateTime(), encodeDate(2024, 3, 5));  // date kept, time dropped
}

TEST(HudsonRead, TextFollowsLengthBytesAcrossBlocksAndEndsAtNul) {
    TempDir dir;
    // 100 characters per block: lines cross block boundaries, and each
    // block's unused 155 bytes are '#'.
    std::string text;
    for (int i = 0; i < 12; ++i) text += "Line " + std::to_string(i) + " " + std::string(20, 'a' + i) + "\r\n";
    const std::string nText = ansiToOem("НТВ channel\r"_cp1251);  // 0x8D is the letter EN
    HudsonMsg withNul = message(2, 1, std::string("before\rafter") + '\0' + "hidden\rmore\r");
    HudsonMsg noCr = message(3, 1, "no final CR");
    HudsonMsg empty = message(4, 1, "");
    test::writeHudson(dir, buildHudson({message(1, 1, text + nText), withNul, noCr, empty}, 100));

    auto a = openBoard(dir, 1);
    a->locateFrom(1);
    a->loadHeader();
    std::vector<std::string> expect;
    for (int i = 0; i < 12; ++i) expect.push_back("Line " + std::to_string(i) + " " + std::string(20, 'a' + i));
    expect.push_back("НТВ channel"_cp1251);
    EXPECT_EQ(readLines(*a), expect);
    EXPECT_EQ(a->status(), 0);

    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"before", "after"}));
    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"no final CR"}));
    a->locateNext();
    a->loadHeader();
    a->startText();
    EXPECT_TRUE(a->atTextEnd());
    EXPECT_EQ(a->readTextLine(255), "");
    EXPECT_EQ(a->readChar(), '\0');
}

TEST(HudsonRead, LongTextsAreReadWholeAndShortTextFilesEndTheText) {
    TempDir dir;
    std::string big;  // 70 full blocks: past the 64 blocks of the old buffer
    for (int i = 0; big.size() < 70 * 255; ++i) big += "Entry " + std::to_string(i) + " \r";
    big.resize(70 * 255 - 1);
    big += '\r';
    HudsonMsg past = message(3, 1, std::string(300, 'x'));
    past.numBlocksOverride = 500;  // the file has 2 of them at the end
    HudsonMsg far = message(2, 1, "x");
    far.startBlockOverride = 0xFFFF;
    far.numBlocksOverride = 0xFFFF;
    HudsonMsg before = message(1, 1, big);
    // Message 2's blocks are the last in the file.
    test::writeHudson(dir, buildHudson({before, far, past}));

    auto a = openBoard(dir, 1);
    a->locateFrom(1);
    a->loadHeader();
    const auto lines = readLines(*a);
    ASSERT_FALSE(lines.empty());
    std::string joined;
    for (const auto& l : lines) joined += l + "\r";
    EXPECT_EQ(joined, big);
    EXPECT_EQ(a->status(), 0);

    a->locateFrom(3);  // its text runs past the end of the file
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x')}));
    EXPECT_EQ(a->status(), kHudsonTextShort);

    a->locateFrom(2);  // its text starts past the end of the file
    a->loadHeader();
    EXPECT_TRUE(readLines(*a).empty());
    EXPECT_EQ(a->status(), kHudsonTextShort);
}

// Texts are read ahead through a window: one that another writer changed
// since is read again once the walk starts afresh or the base is locked.
TEST(HudsonRead, TextsChangedByAnotherWriterAreReadAgain) {
    TempDir dir;
    const auto base = [](const std::string& second) {
        return buildHudson({message(1, 1, "first\r"), message(2, 1, second)});
    };
    test::writeHudson(dir, base("old text\r"));
    auto a = openBoard(dir, 1);
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"first"}));
    a->locateNext();
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"old text"}));

    test::writeFile(dir / "MSGTXT.BBS", base("new text\r").txt);  // the same blocks rewritten
    a->locateFrom(2);
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"new text"}));

    test::writeFile(dir / "MSGTXT.BBS", base("one more\r").txt);
    ASSERT_TRUE(a->lockArea());
    a->loadHeader();
    EXPECT_EQ(readLines(*a), (std::vector<std::string>{"one more"}));
    a->unlockArea();
}

// The kind runs the shared line rules over its buffer; they must give what
// the shared reader gives character by character, lines, wrap flags and
// end alike.
class SharedReaderProbe : public HudsonArea {
public:
    // Clamped as the kind clamps: Hudson lines hold at most 255 characters.
    std::string sharedLine(std::uint16_t maxLen) {
        return MessageArea::readTextLine(std::min<std::uint16_t>(maxLen, 255));
    }
};

TEST(HudsonRead, BufferedLineReaderGivesWhatTheSharedReaderGives) {
    TempDir dir;
    std::mt19937 rng(20240315);
    const char alphabet[] = {'a', 'b', ' ', ' ', '\r', '\n', '\x8d', '\xe0', 'Z', ' ', '\r', 'q'};  // 866 "Н", "р"
    std::vector<HudsonMsg> msgs;
    for (int i = 0; i < 300; ++i) {
        std::string t;
        const int len = static_cast<int>(rng() % 700);
        const bool longWords = i % 3 == 0;
        for (int k = 0; k < len; ++k)
            t += longWords && rng() % 40 ? 'w' : alphabet[rng() % sizeof alphabet];
        msgs.push_back(message(static_cast<std::uint16_t>(i + 1), 1, t));
    }
    test::writeHudson(dir, buildHudson(msgs, 1 + (rng() % 255)));

    SharedReaderProbe fast, shared;
    fast.setAreaPath("001" + dir.str());
    shared.setAreaPath("001" + dir.str());
    ASSERT_EQ(fast.openArea(), 0);
    ASSERT_EQ(shared.openArea(), 0);
    int compared = 0;
    for (MsgNumber n = 1; n <= 300; ++n) {
        fast.locateFrom(n);
        shared.locateFrom(n);
        fast.loadHeader();
        shared.loadHeader();
        fast.startText();
        shared.startText();
        for (int step = 0; step < 2000 && !(fast.atTextEnd() && shared.atTextEnd()); ++step) {
            const std::uint16_t maxLen = static_cast<std::uint16_t>(n % 7 == 0 ? 300 : rng() % 12);
            const std::string a = fast.readTextLine(maxLen);
            const std::string b = shared.sharedLine(maxLen);
            ASSERT_EQ(a, b) << "message " << n << " step " << step << " maxLen " << maxLen;
            ASSERT_EQ(fast.getLastLineWrapped(), shared.getLastLineWrapped()) << "message " << n;
            ASSERT_EQ(fast.atTextEnd(), shared.atTextEnd()) << "message " << n;
            ASSERT_EQ(fast.getTextPosition(), shared.getTextPosition()) << "message " << n;
            ++compared;
        }
    }
    EXPECT_GT(compared, 3000);
}

TEST(HudsonRead, WalkCrossesIndexWindowsBothWays) {
    TempDir dir;
    std::vector<HudsonMsg> msgs;
    std::vector<MsgNumber> board1;
    for (int i = 1; i <= 600; ++i) {
        msgs.push_back(message(static_cast<std::uint16_t>(i), i % 3 == 0 ? 2 : 1, ""));
        if (i % 3 != 0) board1.push_back(i);
    }
    test::writeHudson(dir, buildHudson(msgs));
    auto a = openBoard(dir, 1);
    EXPECT_EQ(walkForward(*a), board1);
    EXPECT_EQ(a->getHighestExisting(), 599);
    std::vector<MsgNumber> back;
    while (a->isLocated() && back.size() < 1000) {
        back.push_back(a->getMessageNumber());
        a->locatePrior();
    }
    EXPECT_EQ(back, std::vector<MsgNumber>(board1.rbegin(), board1.rend()));
    a->locateFrom(252);  // board 2's, in the second window
    EXPECT_EQ(a->getMessageNumber(), 253);
    EXPECT_EQ(a->getPosition(), 252);
}

TEST(HudsonOpen, IdentifierGivesBoardAndDirectoryWhateverTheFileNameCase) {
    TempDir dir;
    test::writeHudson(dir, buildHudson({message(1, 5), message(2, 12), message(3, 0)}));
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, hudsonId(5, dir)));
    EXPECT_EQ(a->getSubArea(), 5);
    EXPECT_EQ(walkForward(*a), std::vector<MsgNumber>{1});
    EXPECT_TRUE(closeAreaAndFree(a));
    ASSERT_TRUE(openAreaByIdentifier(a, "h 12" + dir.str()));  // blanks removed, letter in any case
    EXPECT_EQ(walkForward(*a), std::vector<MsgNumber>{2});
    EXPECT_TRUE(closeAreaAndFree(a));

    // A board that does not parse is board 0, and boards outside 1..200
    // hold nothing, even where a damaged index names them.
    for (const std::string b : {"abc", "000", "201", "-01"}) {
        ASSERT_TRUE(openAreaByIdentifier(a, "H" + b + dir.str())) << b;
        EXPECT_TRUE(walkForward(*a).empty()) << b;
        EXPECT_EQ(a->countMessages(), 0);
        a->startNewMessage();
        EXPECT_NE(a->saveMessage(), 0) << b;
        EXPECT_EQ(a->getLastRead(0), 0);
        EXPECT_TRUE(closeAreaAndFree(a));
    }
    EXPECT_EQ(test::readFile(dir / "MSGHDR.BBS").size(), 3u * 187);
}

TEST(HudsonOpen, FilesThatDoNotFitTogetherGiveInconsistentBase) {
    const auto files = buildHudson({message(1, 1), message(2, 1)});
    struct Case {
        const char* what;
        std::function<void(test::HudsonFiles&)> damage;
        bool removeTxt = false;
    };
    const std::vector<Case> cases = {
        {"info record shorter than 406", [](test::HudsonFiles& f) { f.info.resize(405); }},
        {"info record longer than 406", [](test::HudsonFiles& f) { f.info += '\0'; }},
        {"header file one record more", [](test::HudsonFiles& f) { f.hdr += std::string(187, '\0'); }},
        {"index one record less", [](test::HudsonFiles& f) { f.idx.resize(3); }},
        {"addressee index one record more", [](test::HudsonFiles& f) { f.toidx += std::string(36, 'x'); }},
        {"text file missing", [](test::HudsonFiles&) {}, true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto f = files;
        c.damage(f);
        test::writeHudson(dir, f);
        if (c.removeTxt) std::remove((dir / "MSGTXT.BBS").c_str());
        openBoard(dir, 1, kHudsonInconsistent);
        std::unique_ptr<MessageArea> a;
        EXPECT_FALSE(openAreaByIdentifier(a, hudsonId(1, dir))) << c.what;
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(test::readFile(dir / "MSGINFO.BBS"), f.info) << c.what;  // nothing rewritten
    }
    // A partial trailing record in each file is no disagreement.
    TempDir dir;
    auto f = files;
    f.hdr += "xx";
    f.idx += "x";
    test::writeHudson(dir, f);
    auto a = openBoard(dir, 1);
    EXPECT_EQ(walkForward(*a), (std::vector<MsgNumber>{1, 2}));
}

TEST(HudsonOpen, MissingBaseIsAnErrorAndCreateAreaMakesItEmptyWithLowerCaseNames) {
    TempDir dir;
    const std::string sub = dir / "new/base";
    auto a = std::make_unique<HudsonArea>();
    a->setAreaPath("003" + sub);
    EXPECT_FALSE(a->areaExists());
    // Reading never makes a base.
    EXPECT_NE(a->openArea(), 0);
    EXPECT_FALSE(std::filesystem::exists(sub));
    ASSERT_EQ(a->createArea(), 0);
    ASSERT_EQ(a->openArea(), 0);
    EXPECT_TRUE(a->areaExists());
    for (const char* n : {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
        EXPECT_TRUE(fileExistsPlain(sub + "/" + n)) << n;
    const std::string info = test::readFile(sub + "/msginfo.bbs");
    ASSERT_EQ(info.size(), 406u);
    EXPECT_EQ(test::get16(info, 0), 1);
    EXPECT_EQ(info.substr(2), std::string(404, '\0'));
    a->locateFrom(1);
    EXPECT_FALSE(a->isLocated());
    EXPECT_EQ(a->getHighNumber(), 0);
    EXPECT_EQ(a->closeArea(), 0);
}

TEST(HudsonOpen, CreateAreaLeavesABaseThatExistsAndAReadOnlyBaseLoads) {
    TempDir dir;
    test::writeHudson(dir, buildHudson({message(1, 1, "text\r"), message(2, 1, "more\r")}));
    const std::string before = test::readFile(dir / "msghdr.bbs") + test::readFile(dir / "msginfo.bbs");
    HudsonArea maker;
    maker.setAreaPath("001" + dir.str());
    EXPECT_EQ(maker.createArea(), 0);
    EXPECT_EQ(test::readFile(dir / "msghdr.bbs") + test::readFile(dir / "msginfo.bbs"), before);

    const test::ReadOnlyFolder readOnly(dir.str());
    if (!readOnly.ok()) GTEST_SKIP() << readOnly.why();
    const std::string unchanged = test::readFile(dir / "msghdr.bbs") + test::readFile(dir / "msginfo.bbs");
    auto a = openBoard(dir, 1);
    EXPECT_EQ(walkForward(*a), (std::vector<MsgNumber>{1, 2}));
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_NE(a->deleteCurrent(), 0);
    a.reset();
    EXPECT_EQ(test::readFile(dir / "msghdr.bbs") + test::readFile(dir / "msginfo.bbs"), unchanged);
}

TEST(HudsonRead, HostileHeadersStayInsideTheirFields) {
    TempDir dir;
    auto f = buildHudson({message(1, 1, "text\r")});
    // Length bytes of 255 in every string field: each is read to its size.
    for (std::size_t at : {27u, 33u, 42u, 78u, 114u}) f.hdr[at] = '\xFF';
    test::writeHudson(dir, f);
    auto a = openBoard(dir, 1);
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_EQ(a->getToName().size(), 35u);
    EXPECT_EQ(a->getFromName().size(), 35u);
    EXPECT_LE(a->getSubject().size(), 72u);
    EXPECT_EQ(a->getDateTime(), encodeDate(2024, 3, 15) + encodeTime(21, 30));
    EXPECT_EQ(readLines(*a), std::vector<std::string>{"text"});

    // The header file cut by another program after the open, inside the
    // block fields: no text.
    TempDir cut;
    test::writeHudson(cut, buildHudson({message(1, 1), message(2, 1)}));
    auto b = openBoard(cut, 1);
    std::filesystem::resize_file(cut / "MSGHDR.BBS", 187 + 9);
    b->locateFrom(2);
    ASSERT_TRUE(b->isLocated());
    b->loadHeader();
    EXPECT_EQ(b->status(), kIoShortRead);
    EXPECT_TRUE(readLines(*b).empty());
}

}  // namespace
}  // namespace orbisk

namespace orbisk {
namespace {

// A two-digit year reads as in a *.MSG header (FidoMsgArea's date table),
// whatever today is: 80..99 last century, 00..79 this one.
TEST(HudsonRead, TwoDigitYearsFollowTheFidoMsgRule) {
    const struct {
        const char* hudson;
        int year;
    } cases[] = {{"01-01-80", 1980}, {"12-31-99", 1999}, {"01-01-00", 2000}, {"12-31-79", 2079}};
    TempDir dir;
    std::vector<HudsonMsg> msgs;
    std::uint16_t n = 0;
    for (const auto& c : cases) {
        msgs.push_back(message(++n, 1));
        msgs.back().date = c.hudson;
        msgs.back().time = "00:00";
    }
    test::writeHudson(dir, buildHudson(msgs));
    auto a = openBoard(dir, 1);
    a->locateFrom(1);
    for (const auto& c : cases) {
        ASSERT_TRUE(a->isLocated());
        a->loadHeader();
        EXPECT_EQ(a->getDateTime(), encodeDate(c.year, c.hudson[0] == '0' ? 1 : 12, c.hudson[0] == '0' ? 1 : 31))
            << c.hudson;
        a->locateNext();
    }
}

}  // namespace
}  // namespace orbisk
