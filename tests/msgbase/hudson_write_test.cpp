// Deleting from, and writing to, a Hudson base; checked by reading back
// and by the bytes of the five files.
#include <gtest/gtest.h>

#include "msgbase/fileio.h"
#include "msgbase/hudson_fixture.h"
#include "msgbase/hudsonarea.h"

namespace orbisk {
namespace {

using test::BuildHudson;
using test::Get16;
using test::HudsonMsg;
using test::ReadFile;
using test::TempDir;

HudsonMsg Msg(std::uint16_t number, std::uint8_t board) {
    HudsonMsg m;
    m.number = number;
    m.board = board;
    m.to = "To " + std::to_string(number);
    m.text = "Text " + std::to_string(number) + "\r";
    return m;
}

std::unique_ptr<HudsonArea> OpenBoard(const std::string& dir, int board) {
    auto a = std::make_unique<HudsonArea>();
    char b[8];
    std::snprintf(b, sizeof b, "%03d", board);
    a->SetAreaPath(b + dir);
    EXPECT_EQ(a->OpenArea(), 0);
    return a;
}

std::uint16_t BoardCount(const std::string& info, int board) { return Get16(info, 6 + 2 * (board - 1)); }

struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(SharingRetryCount) { SharingRetryCount = n; }
    ~RetryCount() { SharingRetryCount = saved; }
    std::uint16_t saved;
};

TEST(HudsonDelete, MarksHeaderAddresseeAndIndexAndTakesItOffTheCountsOnce) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {Msg(5, 1), Msg(6, 2), Msg(7, 1), Msg(8, 1)};
    msgs[3].msgAttr = 0x01;  // header already deleted, index still live
    test::WriteHudson(dir, BuildHudson(msgs));
    const std::string idx0 = ReadFile(dir / "MSGIDX.BBS");
    const std::string hdr0 = ReadFile(dir / "MSGHDR.BBS");
    const std::string txt0 = ReadFile(dir / "MSGTXT.BBS");
    const std::string info0 = ReadFile(dir / "MSGINFO.BBS");
    ASSERT_EQ(Get16(info0, 4), 3);
    ASSERT_EQ(BoardCount(info0, 1), 2);

    auto a = OpenBoard(dir.str(), 1);
    a->LocateFrom(5);
    ASSERT_TRUE(a->IsLocated());
    a->LoadHeader();
    a->DeleteCurrent();
    EXPECT_TRUE(a->IsDeleted());

    const std::string idx = ReadFile(dir / "MSGIDX.BBS");
    EXPECT_EQ(idx.substr(0, 3), std::string("\xFF\xFF\x01", 3));  // number gone, board kept
    EXPECT_EQ(idx.substr(3), idx0.substr(3));
    const std::string to = ReadFile(dir / "MSGTOIDX.BBS");
    EXPECT_EQ(to.substr(0, 12), "\x0B* Deleted *");
    EXPECT_EQ(to.substr(36, 5), "\x04To 6");
    const std::string hdr = ReadFile(dir / "MSGHDR.BBS");
    EXPECT_EQ(hdr[24], '\x01');
    EXPECT_EQ(hdr.substr(0, 24), hdr0.substr(0, 24));
    EXPECT_EQ(hdr.substr(25), hdr0.substr(25));
    EXPECT_EQ(ReadFile(dir / "MSGTXT.BBS"), txt0);  // blocks stay until packing
    std::string info = ReadFile(dir / "MSGINFO.BBS");
    ASSERT_EQ(info.size(), 406u);
    EXPECT_EQ(Get16(info, 4), 2);
    EXPECT_EQ(BoardCount(info, 1), 1);
    EXPECT_EQ(BoardCount(info, 2), 1);
    EXPECT_EQ(Get16(info, 0), 5);  // lowest and highest stay
    EXPECT_EQ(Get16(info, 2), 8);
    EXPECT_EQ(a->CountMessages(), 1);

    a->LocateFrom(1);
    EXPECT_EQ(a->GetMessageNumber(), 7);

    // Message 8 was already marked in its header: the index entry goes,
    // the counts stay.
    a->LocateFrom(8);
    ASSERT_TRUE(a->IsLocated());
    a->LoadHeader();
    a->DeleteCurrent();
    EXPECT_EQ(Get16(ReadFile(dir / "MSGIDX.BBS"), 9), 0xFFFF);
    info = ReadFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(Get16(info, 4), 2);
    EXPECT_EQ(BoardCount(info, 1), 1);
    EXPECT_EQ(a->CloseArea(), 0);

    // Another program reads the base: board 1 holds 7 alone, board 2 is intact.
    auto b = OpenBoard(dir.str(), 1);
    b->LocateFrom(1);
    EXPECT_EQ(b->GetMessageNumber(), 7);
    b->LocateNext();
    EXPECT_FALSE(b->IsLocated());
    auto c = OpenBoard(dir.str(), 2);
    c->LocateFrom(1);
    EXPECT_EQ(c->GetMessageNumber(), 6);
}

TEST(HudsonDelete, CountersNeverWrapBelowZero) {
    TempDir dir;
    auto f = BuildHudson({Msg(1, 3)});
    f.info.assign(406, '\0');  // counters already 0 (a damaged record)
    test::WriteHudson(dir, f);
    auto a = OpenBoard(dir.str(), 3);
    a->LocateFrom(1);
    a->LoadHeader();
    a->DeleteCurrent();
    const std::string info = ReadFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(Get16(info, 4), 0);
    EXPECT_EQ(BoardCount(info, 3), 0);
    EXPECT_EQ(Get16(ReadFile(dir / "MSGIDX.BBS"), 0), 0xFFFF);
}

TEST(HudsonDelete, LockHeldByAnotherWriterLeavesTheBaseUntouched) {
    TempDir dir;
    test::WriteHudson(dir, BuildHudson({Msg(1, 1), Msg(2, 1)}));
    const std::string before = ReadFile(dir / "MSGIDX.BBS") + ReadFile(dir / "MSGHDR.BBS") +
                               ReadFile(dir / "MSGTOIDX.BBS") + ReadFile(dir / "MSGINFO.BBS");
    RetryCount retries(3);
    FileHandle other;
    ASSERT_TRUE(OpenExisting(other, dir / "MSGINFO.BBS", kModeReadWrite));
    ASSERT_TRUE(LockRange(other, 406, 1));

    auto a = OpenBoard(dir.str(), 1);
    EXPECT_FALSE(a->LockArea());
    a->LocateFrom(1);
    a->LoadHeader();
    a->DeleteCurrent();
    a->StartNewMessage();
    a->WriteTextLine("new");
    EXPECT_EQ(a->SaveMessage(), kIoAccessDenied);
    const std::string after = ReadFile(dir / "MSGIDX.BBS") + ReadFile(dir / "MSGHDR.BBS") +
                              ReadFile(dir / "MSGTOIDX.BBS") + ReadFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(after, before);
    EXPECT_EQ(ReadFile(dir / "MSGTXT.BBS").size(), 2u * 256);

    // Once the other writer lets go the delete goes through, and our own
    // lock is gone again afterwards.
    ASSERT_TRUE(UnlockRange(other, 406, 1));
    a->DeleteCurrent();
    EXPECT_EQ(Get16(ReadFile(dir / "MSGIDX.BBS"), 0), 0xFFFF);
    EXPECT_TRUE(LockRange(other, 406, 1));
}

TEST(HudsonWrite, SavedMessagesReadBackWithTheirFieldsAndCounts) {
    TempDir dir;
    const std::string base = dir / "hudson";
    auto a1 = OpenBoard(base, 1);  // creates the base
    auto a3 = OpenBoard(base, 3);
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "\xCF\xE5\xF0\xE2\xFB\xE9 \xEA\xE0\xED\xE0\xEB " + std::to_string(i);  // Первый канал

    struct Sent {
        HudsonArea* area;
        std::string subject;
        std::string text;
    };
    const std::vector<Sent> sent = {{a1.get(), "First", "One\rTwo\r"},
                                    {a3.get(), "\xCD\xEE\xE2\xEE\xF1\xF2\xE8", longText + "\r"},  // Новости
                                    {a1.get(), "Third", ""}};
    for (const Sent& s : sent) {
        s.area->StartNewMessage();
        s.area->SetFromName("\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2");  // Иван Петров
        s.area->SetToName("All");
        s.area->SetSubject(s.subject);
        s.area->SetDateTime(EncodeDate(2024, 3, 15) + EncodeTime(7, 5));
        s.area->SetOrigAddress({2, 5020, 1042, 0});
        s.area->SetDestAddress({2, 5020, 0, 0});
        s.area->SetPrivateFlag(true);
        s.area->SetCost(9);
        s.area->SetMailKind(1);
        s.area->WriteText(s.text);
        ASSERT_EQ(s.area->SaveMessage(), 0);
    }
    EXPECT_EQ(a1->GetMessageNumber(), 3);  // numbers run across the base
    a1.reset();
    a3.reset();

    const std::string info = ReadFile(base + "/msginfo.bbs");
    EXPECT_EQ(Get16(info, 0), 1);
    EXPECT_EQ(Get16(info, 2), 3);
    EXPECT_EQ(Get16(info, 4), 3);
    EXPECT_EQ(BoardCount(info, 1), 2);
    EXPECT_EQ(BoardCount(info, 3), 1);
    EXPECT_EQ(ReadFile(base + "/msgidx.bbs"), std::string("\x01\x00\x01\x02\x00\x03\x03\x00\x01", 9));
    // Echo mail is logged for the scanner, board by board.
    EXPECT_EQ(ReadFile(base + "/echomail.bbs"), std::string("\x01\x00\x03\x00\x01\x00", 6));
    const std::string hdr = ReadFile(base + "/msghdr.bbs");
    ASSERT_EQ(hdr.size(), 3u * 187);
    EXPECT_EQ(hdr.substr(187 + 27, 15), std::string("\x05" "07:05" "\x08" "03-15-24", 15));
    EXPECT_EQ(Get16(hdr, 187 + 8), 1);   // first block: after message 1's one block
    EXPECT_EQ(Get16(hdr, 187 + 10), (longText.size() + 1 + 254) / 255);
    EXPECT_EQ(Get16(hdr, 2 * 187 + 10), 0);  // an empty text takes no block

    std::unique_ptr<MessageArea> r;
    ASSERT_TRUE(OpenAreaByIdentifier(r, "H003" + base));
    r->LocateFrom(1);
    ASSERT_TRUE(r->IsLocated());
    r->LoadHeader();
    EXPECT_EQ(r->GetMessageNumber(), 2);
    EXPECT_EQ(r->GetSubject(), "\xCD\xEE\xE2\xEE\xF1\xF2\xE8");
    EXPECT_EQ(r->GetFromName(), "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2");
    EXPECT_EQ(r->GetToName(), "All");
    EXPECT_EQ(r->GetDateTime(), EncodeDate(2024, 3, 15) + EncodeTime(7, 5));
    EXPECT_EQ(r->GetOrigAddress(), (FidoAddress{2, 5020, 1042, 0}));
    EXPECT_EQ(r->GetCost(), 9);
    EXPECT_TRUE(r->IsPrivate());
    EXPECT_TRUE(r->IsEcho());
    r->StartText();
    std::string back;
    while (!r->AtTextEnd()) {
        back += r->ReadTextLine(255);
        if (!r->GetLastLineWrapped()) back += "\r";
    }
    EXPECT_EQ(back, longText + "\r");
    EXPECT_TRUE(CloseAreaAndFree(r));
}

TEST(HudsonWrite, RewriteHeaderLastReadAndAddressedSearch) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {Msg(1, 4), Msg(2, 5), Msg(3, 4), Msg(4, 4)};
    msgs[0].to = "Sysop";
    msgs[2].to = "SYSOP";
    msgs[3].to = "Alias";
    test::WriteHudson(dir, BuildHudson(msgs));
    auto a = OpenBoard(dir.str(), 4);

    a->FindAddressedFirst("sysop", "alias");
    std::vector<MsgNumber> found;
    for (; a->FoundAddressed() && found.size() < 10; a->FindAddressedNext()) found.push_back(a->GetMessageNumber());
    EXPECT_EQ(found, (std::vector<MsgNumber>{1, 3, 4}));

    // Marked received: the addressee record says so and the search skips it.
    a->LocateFrom(3);
    a->LoadHeader();
    a->SetReceivedFlag(true);
    a->SetFormatMark(2);
    a->RewriteHeader();
    EXPECT_EQ(ReadFile(dir / "MSGTOIDX.BBS").substr(2 * 36, 13), "\x0C* Received *");
    a->LocateFrom(3);
    a->LoadHeader();
    EXPECT_TRUE(a->IsReceived());
    EXPECT_TRUE(a->IsRead());
    EXPECT_EQ(a->GetToName(), "SYSOP");
    a->FindAddressedFirst("Sysop", "");
    EXPECT_EQ(a->GetMessageNumber(), 1);
    a->FindAddressedNext();
    EXPECT_FALSE(a->FoundAddressed());

    // Last-read words: user u, board b at 400 u + 2 (b - 1).
    EXPECT_EQ(a->GetLastRead(1), 0);
    a->SetLastRead(1, 3);
    auto other = OpenBoard(dir.str(), 5);
    other->SetLastRead(0, 2);
    const std::string lr = ReadFile(dir / "lastread.bbs");
    ASSERT_EQ(lr.size(), 800u);
    EXPECT_EQ(Get16(lr, 400 + 6), 3);
    EXPECT_EQ(Get16(lr, 8), 2);
    EXPECT_EQ(a->GetLastRead(1), 3);
    EXPECT_EQ(a->GetLastRead(0), 0);
    EXPECT_EQ(other->GetLastRead(0), 2);
    a->SetLastRead(-1, 5);
    a->SetLastRead(1 << 30, 5);  // a wild index does not grow the file
    EXPECT_EQ(ReadFile(dir / "lastread.bbs").size(), 800u);
}

}  // namespace
}  // namespace orbisk
