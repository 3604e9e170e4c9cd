// Reading one board of a Hudson base built byte by byte (hudson_fixture.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "msgbase/fileio.h"
#include "msgbase/hudson_fixture.h"
#include "msgbase/hudsonarea.h"

namespace orbisk {
namespace {

using test::BuildHudson;
using test::HudsonId;
using test::HudsonMsg;
using test::TempDir;

HudsonMsg Msg(std::uint16_t number, std::uint8_t board, std::string text = "Line\r") {
    HudsonMsg m;
    m.number = number;
    m.board = board;
    m.text = std::move(text);
    return m;
}

std::unique_ptr<HudsonArea> OpenBoard(const TempDir& dir, int board, ResultCode expect = 0) {
    auto a = std::make_unique<HudsonArea>();
    char b[8];
    std::snprintf(b, sizeof b, "%03d", board);
    a->SetAreaPath(b + dir.str());
    EXPECT_EQ(a->OpenArea(), expect);
    return a;
}

std::vector<MsgNumber> WalkForward(MessageArea& a, MsgNumber from = 1) {
    std::vector<MsgNumber> out;
    for (a.LocateFrom(from); a.IsLocated() && out.size() < 100000; a.LocateNext()) {
        a.LoadHeader();
        out.push_back(a.GetMessageNumber());
    }
    return out;
}

// All lines of the loaded message, as the listing loader reads them.
std::vector<std::string> Lines(MessageArea& a, std::uint16_t maxLen = 255) {
    std::vector<std::string> out;
    a.StartText();
    while (!a.AtTextEnd() && out.size() < 100000) out.push_back(a.ReadTextLine(maxLen));
    return out;
}

TEST(HudsonRead, BoardsInterleavedInOneBaseLocateOnlyTheirOwnMessages) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {Msg(5, 1), Msg(6, 2), Msg(7, 1), Msg(8, 3), Msg(9, 1), Msg(10, 2)};
    msgs[3].msgAttr = 1;          // 8: header deleted, index live
    msgs[4].indexDeleted = true;  // 9: index 0xFFFF
    test::WriteHudson(dir, BuildHudson(msgs));

    auto b1 = OpenBoard(dir, 1);
    EXPECT_EQ(WalkForward(*b1), (std::vector<MsgNumber>{5, 7}));
    b1->LocateFrom(6);
    ASSERT_TRUE(b1->IsLocated());
    EXPECT_EQ(b1->GetMessageNumber(), 7);
    EXPECT_EQ(b1->GetPosition(), 2);  // record number
    b1->LocateFrom(5);
    EXPECT_EQ(b1->GetMessageNumber(), 5);
    b1->LocateFrom(8);  // 9 is deleted in the index
    EXPECT_FALSE(b1->IsLocated());
    EXPECT_EQ(b1->GetHighestExisting(), 7);
    b1->LocatePrior();
    EXPECT_EQ(b1->GetMessageNumber(), 5);
    b1->LocatePrior();
    EXPECT_FALSE(b1->IsLocated());
    EXPECT_EQ(b1->CountMessages(), 2);
    EXPECT_EQ(b1->GetHighNumber(), 10);
    EXPECT_EQ(b1->GetSubArea(), 1);
    b1->SetPosition(2);
    EXPECT_TRUE(b1->IsLocated());
    EXPECT_EQ(b1->GetMessageNumber(), 7);
    b1->SetPosition(1);  // a record of board 2
    EXPECT_FALSE(b1->IsLocated());

    auto b2 = OpenBoard(dir, 2);
    EXPECT_EQ(WalkForward(*b2), (std::vector<MsgNumber>{6, 10}));
    EXPECT_EQ(b2->CountMessages(), 2);
    // The header's deleted bit does not hide a live index entry from the
    // walk, but the message reports itself deleted.
    auto b3 = OpenBoard(dir, 3);
    EXPECT_EQ(WalkForward(*b3), (std::vector<MsgNumber>{8}));
    EXPECT_TRUE(b3->IsDeleted());
    EXPECT_EQ(b3->CountMessages(), 0);

    // A forward walk that found nothing above n - 1 steps back to n - 1.
    b2->LocateFrom(10);
    b2->LocateNext();
    EXPECT_FALSE(b2->IsLocated());
    b2->LocatePrior();
    EXPECT_EQ(b2->GetMessageNumber(), 10);
}

TEST(HudsonRead, HeaderFieldsComeFromTheirOffsets) {
    TempDir dir;
    HudsonMsg m = Msg(42, 7);
    m.from = "\x88\xa2\xa0\xad";         // OEM "Иван"
    m.to = "Somebody Else";
    m.subject = "Re: RE:  \x8f\xe0\xae\xa3\xe0\xa0\xac\xac\xa0";  // OEM "Программа"
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
    HudsonMsg echo = Msg(43, 7);
    echo.msgAttr = 0x04;  // net mail
    echo.date = "02-30-24";  // no such day
    echo.time = "25:00";
    HudsonMsg badTime = Msg(44, 7);
    badTime.date = "3-5-2024";
    badTime.time = "9:7x";
    test::WriteHudson(dir, BuildHudson({m, echo, badTime}));

    auto a = OpenBoard(dir, 7);
    a->LocateFrom(1);
    a->LoadHeader();
    EXPECT_EQ(a->Status(), 0);
    EXPECT_EQ(a->GetMessageNumber(), 42);
    EXPECT_EQ(a->GetFromName(), "\xC8\xE2\xE0\xED");  // Иван
    EXPECT_EQ(a->GetToName(), "Somebody Else");
    EXPECT_EQ(a->GetSubject(), "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0");  // Программа
    EXPECT_EQ(a->GetDateTime(), EncodeDate(1999, 12, 31) + EncodeTime(23, 59));
    EXPECT_TRUE(a->IsPrivate());
    EXPECT_TRUE(a->IsReceived());
    EXPECT_TRUE(a->IsLocal());
    EXPECT_FALSE(a->IsDeleted());
    EXPECT_TRUE(a->IsEcho());
    EXPECT_TRUE(a->IsKillSent() && a->IsSent() && a->IsFileAttach() && a->IsCrash() && a->IsReceiptRequest() &&
                a->IsAuditRequest() && a->IsReceipt() && a->IsFileRequest());
    EXPECT_TRUE(a->IsRead());
    EXPECT_EQ(a->GetReplyTo(), 40);
    EXPECT_EQ(a->GetReplyFirst(), 44);
    EXPECT_EQ(a->GetCost(), 12);
    EXPECT_EQ(a->GetDestAddress(), (FidoAddress{3, 633, 260, 0}));
    EXPECT_EQ(a->GetOrigAddress(), (FidoAddress{2, 5020, 1042, 0}));

    a->LocateNext();
    a->LoadHeader();
    EXPECT_FALSE(a->IsEcho());
    EXPECT_FALSE(a->IsPrivate() || a->IsRead() || a->IsCrash() || a->IsFileRequest());
    EXPECT_EQ(a->GetDateTime(), 0);  // 30 February
    a->LocateNext();
    a->LoadHeader();
    EXPECT_EQ(a->GetDateTime(), EncodeDate(2024, 3, 5));  // date kept, time dropped
}

TEST(HudsonRead, TextFollowsLengthBytesAcrossBlocksAndEndsAtNul) {
    TempDir dir;
    // 100 characters per block: lines cross block boundaries, and each
    // block's unused 155 bytes are '#'.
    std::string text;
    for (int i = 0; i < 12; ++i) text += "Line " + std::to_string(i) + " " + std::string(20, 'a' + i) + "\r\n";
    const std::string nText = "\x8d\x92\x82 channel\r";  // OEM "НТВ": 0x8D is the letter EN
    HudsonMsg withNul = Msg(2, 1, std::string("before\rafter") + '\0' + "hidden\rmore\r");
    HudsonMsg noCr = Msg(3, 1, "no final CR");
    HudsonMsg empty = Msg(4, 1, "");
    test::WriteHudson(dir, BuildHudson({Msg(1, 1, text + nText), withNul, noCr, empty}, 100));

    auto a = OpenBoard(dir, 1);
    a->LocateFrom(1);
    a->LoadHeader();
    std::vector<std::string> expect;
    for (int i = 0; i < 12; ++i) expect.push_back("Line " + std::to_string(i) + " " + std::string(20, 'a' + i));
    expect.push_back("\xCD\xD2\xC2 channel");
    EXPECT_EQ(Lines(*a), expect);
    EXPECT_EQ(a->Status(), 0);

    a->LocateNext();
    a->LoadHeader();
    EXPECT_EQ(Lines(*a), (std::vector<std::string>{"before", "after"}));
    a->LocateNext();
    a->LoadHeader();
    EXPECT_EQ(Lines(*a), (std::vector<std::string>{"no final CR"}));
    a->LocateNext();
    a->LoadHeader();
    a->StartText();
    EXPECT_TRUE(a->AtTextEnd());
    EXPECT_EQ(a->ReadTextLine(255), "");
    EXPECT_EQ(a->ReadChar(), '\0');
}

TEST(HudsonRead, LongTextsAreReadWholeAndShortTextFilesEndTheText) {
    TempDir dir;
    std::string big;  // 70 full blocks: past the 64 blocks of the old buffer
    for (int i = 0; big.size() < 70 * 255; ++i) big += "Entry " + std::to_string(i) + " \r";
    big.resize(70 * 255 - 1);
    big += '\r';
    HudsonMsg past = Msg(3, 1, std::string(300, 'x'));
    past.numBlocksOverride = 500;  // the file has 2 of them at the end
    HudsonMsg far = Msg(2, 1, "x");
    far.startBlockOverride = 0xFFFF;
    far.numBlocksOverride = 0xFFFF;
    HudsonMsg before = Msg(1, 1, big);
    // Message 2's blocks are the last in the file.
    test::WriteHudson(dir, BuildHudson({before, far, past}));

    auto a = OpenBoard(dir, 1);
    a->LocateFrom(1);
    a->LoadHeader();
    const auto lines = Lines(*a);
    ASSERT_FALSE(lines.empty());
    std::string joined;
    for (const auto& l : lines) joined += l + "\r";
    EXPECT_EQ(joined, big);
    EXPECT_EQ(a->Status(), 0);

    a->LocateFrom(3);  // its text runs past the end of the file
    a->LoadHeader();
    EXPECT_EQ(Lines(*a), (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x')}));
    EXPECT_EQ(a->Status(), kHudsonTextShort);

    a->LocateFrom(2);  // its text starts past the end of the file
    a->LoadHeader();
    EXPECT_TRUE(Lines(*a).empty());
    EXPECT_EQ(a->Status(), kHudsonTextShort);
}

// The kind runs the shared line rules over its buffer; they must give what
// the shared reader gives character by character, lines, wrap flags and
// end alike.
class SharedReaderProbe : public HudsonArea {
public:
    // Clamped as the kind clamps: Hudson lines hold at most 255 characters.
    std::string SharedLine(std::uint16_t maxLen) {
        return MessageArea::ReadTextLine(std::min<std::uint16_t>(maxLen, 255));
    }
};

TEST(HudsonRead, BufferedLineReaderGivesWhatTheSharedReaderGives) {
    TempDir dir;
    std::mt19937 rng(20240315);
    const char alphabet[] = {'a', 'b', ' ', ' ', '\r', '\n', '\x8d', '\xe0', 'Z', ' ', '\r', 'q'};
    std::vector<HudsonMsg> msgs;
    for (int i = 0; i < 300; ++i) {
        std::string t;
        const int len = static_cast<int>(rng() % 700);
        const bool longWords = i % 3 == 0;
        for (int k = 0; k < len; ++k)
            t += longWords && rng() % 40 ? 'w' : alphabet[rng() % sizeof alphabet];
        msgs.push_back(Msg(static_cast<std::uint16_t>(i + 1), 1, t));
    }
    test::WriteHudson(dir, BuildHudson(msgs, 1 + (rng() % 255)));

    SharedReaderProbe fast, shared;
    fast.SetAreaPath("001" + dir.str());
    shared.SetAreaPath("001" + dir.str());
    ASSERT_EQ(fast.OpenArea(), 0);
    ASSERT_EQ(shared.OpenArea(), 0);
    int compared = 0;
    for (MsgNumber n = 1; n <= 300; ++n) {
        fast.LocateFrom(n);
        shared.LocateFrom(n);
        fast.LoadHeader();
        shared.LoadHeader();
        fast.StartText();
        shared.StartText();
        for (int step = 0; step < 2000 && !(fast.AtTextEnd() && shared.AtTextEnd()); ++step) {
            const std::uint16_t maxLen = static_cast<std::uint16_t>(n % 7 == 0 ? 300 : rng() % 12);
            const std::string a = fast.ReadTextLine(maxLen);
            const std::string b = shared.SharedLine(maxLen);
            ASSERT_EQ(a, b) << "message " << n << " step " << step << " maxLen " << maxLen;
            ASSERT_EQ(fast.GetLastLineWrapped(), shared.GetLastLineWrapped()) << "message " << n;
            ASSERT_EQ(fast.AtTextEnd(), shared.AtTextEnd()) << "message " << n;
            ASSERT_EQ(fast.GetTextPosition(), shared.GetTextPosition()) << "message " << n;
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
        msgs.push_back(Msg(static_cast<std::uint16_t>(i), i % 3 == 0 ? 2 : 1, ""));
        if (i % 3 != 0) board1.push_back(i);
    }
    test::WriteHudson(dir, BuildHudson(msgs));
    auto a = OpenBoard(dir, 1);
    EXPECT_EQ(WalkForward(*a), board1);
    EXPECT_EQ(a->GetHighestExisting(), 599);
    std::vector<MsgNumber> back;
    while (a->IsLocated() && back.size() < 1000) {
        back.push_back(a->GetMessageNumber());
        a->LocatePrior();
    }
    EXPECT_EQ(back, std::vector<MsgNumber>(board1.rbegin(), board1.rend()));
    a->LocateFrom(252);  // board 2's, in the second window
    EXPECT_EQ(a->GetMessageNumber(), 253);
    EXPECT_EQ(a->GetPosition(), 252);
}

TEST(HudsonOpen, IdentifierGivesBoardAndDirectoryWhateverTheFileNameCase) {
    TempDir dir;
    test::WriteHudson(dir, BuildHudson({Msg(1, 5), Msg(2, 12), Msg(3, 0)}));
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(OpenAreaByIdentifier(a, HudsonId(5, dir)));
    EXPECT_EQ(a->GetSubArea(), 5);
    EXPECT_EQ(WalkForward(*a), std::vector<MsgNumber>{1});
    EXPECT_TRUE(CloseAreaAndFree(a));
    ASSERT_TRUE(OpenAreaByIdentifier(a, "h 12" + dir.str()));  // blanks removed, letter in any case
    EXPECT_EQ(WalkForward(*a), std::vector<MsgNumber>{2});
    EXPECT_TRUE(CloseAreaAndFree(a));

    // A board that does not parse is board 0, and boards outside 1..200
    // hold nothing, even where a damaged index names them.
    for (const std::string b : {"abc", "000", "201", "-01"}) {
        ASSERT_TRUE(OpenAreaByIdentifier(a, "H" + b + dir.str())) << b;
        EXPECT_TRUE(WalkForward(*a).empty()) << b;
        EXPECT_EQ(a->CountMessages(), 0);
        a->StartNewMessage();
        EXPECT_NE(a->SaveMessage(), 0) << b;
        EXPECT_EQ(a->GetLastRead(0), 0);
        EXPECT_TRUE(CloseAreaAndFree(a));
    }
    EXPECT_EQ(test::ReadFile(dir / "MSGHDR.BBS").size(), 3u * 187);
}

TEST(HudsonOpen, FilesThatDoNotFitTogetherGiveInconsistentBase) {
    const auto files = BuildHudson({Msg(1, 1), Msg(2, 1)});
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
        test::WriteHudson(dir, f);
        if (c.removeTxt) std::remove((dir / "MSGTXT.BBS").c_str());
        OpenBoard(dir, 1, kHudsonInconsistent);
        std::unique_ptr<MessageArea> a;
        EXPECT_FALSE(OpenAreaByIdentifier(a, HudsonId(1, dir))) << c.what;
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(test::ReadFile(dir / "MSGINFO.BBS"), f.info) << c.what;  // nothing rewritten
    }
    // A partial trailing record in each file is no disagreement.
    TempDir dir;
    auto f = files;
    f.hdr += "xx";
    f.idx += "x";
    test::WriteHudson(dir, f);
    auto a = OpenBoard(dir, 1);
    EXPECT_EQ(WalkForward(*a), (std::vector<MsgNumber>{1, 2}));
}

TEST(HudsonOpen, MissingBaseIsCreatedEmptyWithLowerCaseNames) {
    TempDir dir;
    const std::string sub = dir / "new/base";
    auto a = std::make_unique<HudsonArea>();
    a->SetAreaPath("003" + sub);
    EXPECT_FALSE(a->AreaExists());
    ASSERT_EQ(a->OpenArea(), 0);
    EXPECT_TRUE(a->AreaExists());
    for (const char* n : {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
        EXPECT_TRUE(FileExistsPlain(sub + "/" + n)) << n;
    const std::string info = test::ReadFile(sub + "/msginfo.bbs");
    ASSERT_EQ(info.size(), 406u);
    EXPECT_EQ(test::Get16(info, 0), 1);
    EXPECT_EQ(info.substr(2), std::string(404, '\0'));
    a->LocateFrom(1);
    EXPECT_FALSE(a->IsLocated());
    EXPECT_EQ(a->GetHighNumber(), 0);
    EXPECT_EQ(a->CloseArea(), 0);
}

TEST(HudsonRead, HostileHeadersStayInsideTheirFields) {
    TempDir dir;
    auto f = BuildHudson({Msg(1, 1, "text\r")});
    // Length bytes of 255 in every string field: each is read to its size.
    for (std::size_t at : {27u, 33u, 42u, 78u, 114u}) f.hdr[at] = '\xFF';
    test::WriteHudson(dir, f);
    auto a = OpenBoard(dir, 1);
    a->LocateFrom(1);
    a->LoadHeader();
    EXPECT_EQ(a->GetToName().size(), 35u);
    EXPECT_EQ(a->GetFromName().size(), 35u);
    EXPECT_LE(a->GetSubject().size(), 72u);
    EXPECT_EQ(a->GetDateTime(), EncodeDate(2024, 3, 15) + EncodeTime(21, 30));
    EXPECT_EQ(Lines(*a), std::vector<std::string>{"text"});

    // The header file cut by another program after the open, inside the
    // block fields: no text.
    TempDir cut;
    test::WriteHudson(cut, BuildHudson({Msg(1, 1), Msg(2, 1)}));
    auto b = OpenBoard(cut, 1);
    std::filesystem::resize_file(cut / "MSGHDR.BBS", 187 + 9);
    b->LocateFrom(2);
    ASSERT_TRUE(b->IsLocated());
    b->LoadHeader();
    EXPECT_EQ(b->Status(), kIoShortRead);
    EXPECT_TRUE(Lines(*b).empty());
}

}  // namespace
}  // namespace orbisk
