// Deleting from, and writing to, a Hudson base; checked by reading back
// and by the bytes of the five files.
#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "msgbase/fileio.h"
#include "msgbase/hudson_fixture.h"
#include "msgbase/hudsonarea.h"

namespace orbisk {
namespace {

using test::buildHudson;
using test::get16;
using test::HudsonMsg;
using test::readFile;
using test::TempDir;

HudsonMsg message(std::uint16_t number, std::uint8_t board) {
    HudsonMsg m;
    m.number = number;
    m.board = board;
    m.to = "To " + std::to_string(number);
    m.text = "Text " + std::to_string(number) + "\r";
    return m;
}

std::unique_ptr<HudsonArea> openBoard(const std::string& dir, int board) {
    auto a = std::make_unique<HudsonArea>();
    char b[8];
    std::snprintf(b, sizeof b, "%03d", board);
    a->setAreaPath(b + dir);
    EXPECT_EQ(a->openArea(), 0);
    return a;
}

std::uint16_t boardCount(const std::string& info, int board) { return get16(info, 6 + 2 * (board - 1)); }

struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(sharingRetryCount) { sharingRetryCount = n; }
    ~RetryCount() { sharingRetryCount = saved; }
    std::uint16_t saved;
};

TEST(HudsonDelete, MarksHeaderAddresseeAndIndexAndTakesItOffTheCountsOnce) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {message(5, 1), message(6, 2), message(7, 1), message(8, 1)};
    msgs[3].msgAttr = 0x01;  // header already deleted, index still live
    test::writeHudson(dir, buildHudson(msgs));
    const std::string idx0 = readFile(dir / "MSGIDX.BBS");
    const std::string hdr0 = readFile(dir / "MSGHDR.BBS");
    const std::string txt0 = readFile(dir / "MSGTXT.BBS");
    const std::string info0 = readFile(dir / "MSGINFO.BBS");
    ASSERT_EQ(get16(info0, 4), 3);
    ASSERT_EQ(boardCount(info0, 1), 2);

    auto a = openBoard(dir.str(), 1);
    a->locateFrom(5);
    ASSERT_TRUE(a->isLocated());
    a->loadHeader();
    a->deleteCurrent();
    EXPECT_TRUE(a->isDeleted());

    const std::string idx = readFile(dir / "MSGIDX.BBS");
    EXPECT_EQ(idx.substr(0, 3), std::string("\xFF\xFF\x01", 3));  // number gone, board kept
    EXPECT_EQ(idx.substr(3), idx0.substr(3));
    const std::string to = readFile(dir / "MSGTOIDX.BBS");
    EXPECT_EQ(to.substr(0, 12), "\x0B* Deleted *");
    EXPECT_EQ(to.substr(36, 5), "\x04To 6");
    const std::string hdr = readFile(dir / "MSGHDR.BBS");
    EXPECT_EQ(hdr[24], '\x01');
    EXPECT_EQ(hdr.substr(0, 24), hdr0.substr(0, 24));
    EXPECT_EQ(hdr.substr(25), hdr0.substr(25));
    EXPECT_EQ(readFile(dir / "MSGTXT.BBS"), txt0);  // blocks stay until packing
    std::string info = readFile(dir / "MSGINFO.BBS");
    ASSERT_EQ(info.size(), 406u);
    EXPECT_EQ(get16(info, 4), 2);
    EXPECT_EQ(boardCount(info, 1), 1);
    EXPECT_EQ(boardCount(info, 2), 1);
    EXPECT_EQ(get16(info, 0), 5);  // lowest and highest stay
    EXPECT_EQ(get16(info, 2), 8);
    EXPECT_EQ(a->countMessages(), 1);

    a->locateFrom(1);
    EXPECT_EQ(a->getMessageNumber(), 7);

    // Message 8 was already marked in its header: the index entry goes,
    // the counts stay.
    a->locateFrom(8);
    ASSERT_TRUE(a->isLocated());
    a->loadHeader();
    a->deleteCurrent();
    EXPECT_EQ(get16(readFile(dir / "MSGIDX.BBS"), 9), 0xFFFF);
    info = readFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(get16(info, 4), 2);
    EXPECT_EQ(boardCount(info, 1), 1);
    EXPECT_EQ(a->closeArea(), 0);

    // Another program reads the base: board 1 holds 7 alone, board 2 is intact.
    auto b = openBoard(dir.str(), 1);
    b->locateFrom(1);
    EXPECT_EQ(b->getMessageNumber(), 7);
    b->locateNext();
    EXPECT_FALSE(b->isLocated());
    auto c = openBoard(dir.str(), 2);
    c->locateFrom(1);
    EXPECT_EQ(c->getMessageNumber(), 6);
}

TEST(HudsonDelete, CountersNeverWrapBelowZero) {
    TempDir dir;
    auto f = buildHudson({message(1, 3)});
    f.info.assign(406, '\0');  // counters already 0 (a damaged record)
    test::writeHudson(dir, f);
    auto a = openBoard(dir.str(), 3);
    a->locateFrom(1);
    a->loadHeader();
    a->deleteCurrent();
    const std::string info = readFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(get16(info, 4), 0);
    EXPECT_EQ(boardCount(info, 3), 0);
    EXPECT_EQ(get16(readFile(dir / "MSGIDX.BBS"), 0), 0xFFFF);
}

TEST(HudsonDelete, LockHeldByAnotherWriterLeavesTheBaseUntouched) {
    TempDir dir;
    test::writeHudson(dir, buildHudson({message(1, 1), message(2, 1)}));
    const std::string before = readFile(dir / "MSGIDX.BBS") + readFile(dir / "MSGHDR.BBS") +
                               readFile(dir / "MSGTOIDX.BBS") + readFile(dir / "MSGINFO.BBS");
    RetryCount retries(3);
    FileHandle other;
    ASSERT_TRUE(openExisting(other, dir / "MSGINFO.BBS", kModeReadWrite));
    ASSERT_TRUE(lockRange(other, 406, 1));

    auto a = openBoard(dir.str(), 1);
    EXPECT_FALSE(a->lockArea());
    a->locateFrom(1);
    a->loadHeader();
    a->deleteCurrent();
    a->startNewMessage();
    a->writeTextLine("new");
    EXPECT_EQ(a->saveMessage(), kIoAccessDenied);
    const std::string after = readFile(dir / "MSGIDX.BBS") + readFile(dir / "MSGHDR.BBS") +
                              readFile(dir / "MSGTOIDX.BBS") + readFile(dir / "MSGINFO.BBS");
    EXPECT_EQ(after, before);
    EXPECT_EQ(readFile(dir / "MSGTXT.BBS").size(), 2u * 256);

    // Once the other writer lets go the delete goes through, and our own
    // lock is gone again afterwards.
    ASSERT_TRUE(unlockRange(other, 406, 1));
    a->deleteCurrent();
    EXPECT_EQ(get16(readFile(dir / "MSGIDX.BBS"), 0), 0xFFFF);
    EXPECT_TRUE(lockRange(other, 406, 1));
}

TEST(HudsonWrite, SavedMessagesReadBackWithTheirFieldsAndCounts) {
    TempDir dir;
    const std::string base = dir / "hudson";
    {
        HudsonArea maker;
        maker.setAreaPath("001" + base);
        ASSERT_EQ(maker.createArea(), 0);  // opening never creates it
    }
    auto a1 = openBoard(base, 1);
    auto a3 = openBoard(base, 3);
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "Первый канал "_cp1251 + std::to_string(i);

    struct Sent {
        HudsonArea* area;
        std::string subject;
        std::string text;
    };
    const std::vector<Sent> sent = {{a1.get(), "First", "One\rTwo\r"},
                                    {a3.get(), "Новости"_cp1251, longText + "\r"},
                                    {a1.get(), "Third", ""}};
    for (const Sent& s : sent) {
        s.area->startNewMessage();
        s.area->setFromName("Иван Петров"_cp1251);
        s.area->setToName("All");
        s.area->setSubject(s.subject);
        s.area->setDateTime(encodeDate(2024, 3, 15) + encodeTime(7, 5));
        s.area->setOrigAddress({2, 5020, 1042, 0});
        s.area->setDestAddress({2, 5020, 0, 0});
        s.area->setPrivateFlag(true);
        s.area->setCost(9);
        s.area->setMailKind(1);
        s.area->writeText(s.text);
        ASSERT_EQ(s.area->saveMessage(), 0);
    }
    EXPECT_EQ(a1->getMessageNumber(), 3);  // numbers run across the base
    a1.reset();
    a3.reset();

    const std::string info = readFile(base + "/msginfo.bbs");
    EXPECT_EQ(get16(info, 0), 1);
    EXPECT_EQ(get16(info, 2), 3);
    EXPECT_EQ(get16(info, 4), 3);
    EXPECT_EQ(boardCount(info, 1), 2);
    EXPECT_EQ(boardCount(info, 3), 1);
    EXPECT_EQ(readFile(base + "/msgidx.bbs"), std::string("\x01\x00\x01\x02\x00\x03\x03\x00\x01", 9));
    // Echo mail is logged for the scanner, board by board.
    EXPECT_EQ(readFile(base + "/echomail.bbs"), std::string("\x01\x00\x03\x00\x01\x00", 6));
    const std::string hdr = readFile(base + "/msghdr.bbs");
    ASSERT_EQ(hdr.size(), 3u * 187);
    EXPECT_EQ(hdr.substr(187 + 27, 15), std::string("\x05" "07:05" "\x08" "03-15-24", 15));
    EXPECT_EQ(get16(hdr, 187 + 8), 1);   // first block: after message 1's one block
    EXPECT_EQ(get16(hdr, 187 + 10), (longText.size() + 1 + 254) / 255);
    EXPECT_EQ(get16(hdr, 2 * 187 + 10), 0);  // an empty text takes no block

    std::unique_ptr<MessageArea> r;
    ASSERT_TRUE(openAreaByIdentifier(r, "H003" + base));
    r->locateFrom(1);
    ASSERT_TRUE(r->isLocated());
    r->loadHeader();
    EXPECT_EQ(r->getMessageNumber(), 2);
    EXPECT_EQ(r->getSubject(), "Новости"_cp1251);
    EXPECT_EQ(r->getFromName(), "Иван Петров"_cp1251);
    EXPECT_EQ(r->getToName(), "All");
    EXPECT_EQ(r->getDateTime(), encodeDate(2024, 3, 15) + encodeTime(7, 5));
    EXPECT_EQ(r->getOrigAddress(), (FidoAddress{2, 5020, 1042, 0}));
    EXPECT_EQ(r->getCost(), 9);
    EXPECT_TRUE(r->isPrivate());
    EXPECT_TRUE(r->isEcho());
    r->startText();
    std::string back;
    while (!r->atTextEnd()) {
        back += r->readTextLine(255);
        if (!r->getLastLineWrapped()) back += "\r";
    }
    EXPECT_EQ(back, longText + "\r");
    EXPECT_TRUE(closeAreaAndFree(r));
}

TEST(HudsonWrite, RewriteHeaderLastReadAndAddressedSearch) {
    TempDir dir;
    std::vector<HudsonMsg> msgs = {message(1, 4), message(2, 5), message(3, 4), message(4, 4)};
    msgs[0].to = "Sysop";
    msgs[2].to = "SYSOP";
    msgs[3].to = "Alias";
    test::writeHudson(dir, buildHudson(msgs));
    auto a = openBoard(dir.str(), 4);

    a->findAddressedFirst("sysop", "alias");
    std::vector<MsgNumber> found;
    for (; a->foundAddressed() && found.size() < 10; a->findAddressedNext()) found.push_back(a->getMessageNumber());
    EXPECT_EQ(found, (std::vector<MsgNumber>{1, 3, 4}));

    // Marked received: the addressee record says so and the search skips it.
    a->locateFrom(3);
    a->loadHeader();
    a->setReceivedFlag(true);
    a->setFormatMark(2);
    a->rewriteHeader();
    EXPECT_EQ(readFile(dir / "MSGTOIDX.BBS").substr(2 * 36, 13), "\x0C* Received *");
    a->locateFrom(3);
    a->loadHeader();
    EXPECT_TRUE(a->isReceived());
    EXPECT_TRUE(a->isRead());
    EXPECT_EQ(a->getToName(), "SYSOP");
    a->findAddressedFirst("Sysop", "");
    EXPECT_EQ(a->getMessageNumber(), 1);
    a->findAddressedNext();
    EXPECT_FALSE(a->foundAddressed());

    // Last-read words: user u, board b at 400 u + 2 (b - 1).
    EXPECT_EQ(a->getLastRead(1), 0);
    a->setLastRead(1, 3);
    auto other = openBoard(dir.str(), 5);
    other->setLastRead(0, 2);
    const std::string lr = readFile(dir / "lastread.bbs");
    ASSERT_EQ(lr.size(), 800u);
    EXPECT_EQ(get16(lr, 400 + 6), 3);
    EXPECT_EQ(get16(lr, 8), 2);
    EXPECT_EQ(a->getLastRead(1), 3);
    EXPECT_EQ(a->getLastRead(0), 0);
    EXPECT_EQ(other->getLastRead(0), 2);
    a->setLastRead(-1, 5);
    a->setLastRead(1 << 30, 5);  // a wild index does not grow the file
    EXPECT_EQ(readFile(dir / "lastread.bbs").size(), 800u);
}

}  // namespace
}  // namespace orbisk
