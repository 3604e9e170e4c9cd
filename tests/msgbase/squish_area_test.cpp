// Squish bases built byte by byte from the published layout (not with the
// kind's writer), so that a misreading of the layout in the kind cannot be
// mirrored by the fixture; then round trips through the kind's own writer.
#include "msgbase/squisharea.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "support/squish_layout.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr std::uint32_t kSig = 0xAFAE4453;

std::uint32_t U32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return 0xDEADBEEF;
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8 |
           static_cast<unsigned char>(s[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}
std::uint16_t U16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void putStr(std::string& s, std::size_t at, const std::string& v) { s.replace(at, v.size(), v); }

struct Msg {
    std::uint32_t uid = 0;
    std::string from, to, subject;  // OEM
    std::uint32_t attr = 0;
    std::uint16_t dosDate = 0, dosTime = 0;
    std::uint16_t orig[4] = {0, 0, 0, 0}, dest[4] = {0, 0, 0, 0};
    std::uint32_t replyTo = 0, replyFirst = 0;
    std::string ctrl, text;
    std::string slack;              // frame bytes after the message
    std::int64_t msgLength = -1;    // overrides 238 + ctrl + text
    std::int64_t frameLength = -1;  // overrides 238 + ctrl + text + slack
    std::int64_t ctrlLength = -1;
};

struct Base {
    std::string sqd, sqi;
    std::vector<std::uint32_t> frames;
};

// Header of `headerLength` bytes, then the frames one after the other,
// linked in order; the index lists them in order.
Base build(const std::vector<Msg>& msgs, std::uint32_t nextUid, std::uint16_t headerLength = 256) {
    Base b;
    b.sqd.assign(headerLength, '\0');
    for (const Msg& m : msgs) {
        const auto at = static_cast<std::uint32_t>(b.sqd.size());
        b.frames.push_back(at);
        std::string f(28 + 238, '\0');
        const std::size_t body = 238 + m.ctrl.size() + m.text.size();
        put32(f, 0, kSig);
        put32(f, 12, static_cast<std::uint32_t>(m.frameLength >= 0 ? m.frameLength : static_cast<std::int64_t>(body + m.slack.size())));
        put32(f, 16, static_cast<std::uint32_t>(m.msgLength >= 0 ? m.msgLength : static_cast<std::int64_t>(body)));
        put32(f, 20, static_cast<std::uint32_t>(m.ctrlLength >= 0 ? m.ctrlLength : static_cast<std::int64_t>(m.ctrl.size())));
        put32(f, 28 + 0, m.attr);
        putStr(f, 28 + 4, m.from);
        putStr(f, 28 + 40, m.to);
        putStr(f, 28 + 76, m.subject);
        for (int i = 0; i < 4; ++i) {
            put16(f, 28 + 148 + 2 * i, m.orig[i]);
            put16(f, 28 + 156 + 2 * i, m.dest[i]);
        }
        put16(f, 28 + 164, m.dosDate);
        put16(f, 28 + 166, m.dosTime);
        put32(f, 28 + 174, m.replyTo);
        put32(f, 28 + 178, m.replyFirst);
        b.sqd += f + m.ctrl + m.text + m.slack;
    }
    for (std::size_t i = 0; i < b.frames.size(); ++i) {
        put32(b.sqd, b.frames[i] + 4, i + 1 < b.frames.size() ? b.frames[i + 1] : 0);
        put32(b.sqd, b.frames[i] + 8, i > 0 ? b.frames[i - 1] : 0);
        std::string rec(12, '\0');
        put32(rec, 0, b.frames[i]);
        put32(rec, 4, msgs[i].uid);
        b.sqi += rec;
    }
    put16(b.sqd, 0, headerLength);
    put32(b.sqd, 4, static_cast<std::uint32_t>(msgs.size()));
    put32(b.sqd, 8, static_cast<std::uint32_t>(msgs.size()));
    put32(b.sqd, 20, nextUid);
    put32(b.sqd, 104, b.frames.empty() ? 0 : b.frames.front());
    put32(b.sqd, 108, b.frames.empty() ? 0 : b.frames.back());
    put32(b.sqd, 120, static_cast<std::uint32_t>(b.sqd.size()));
    put16(b.sqd, 130, 28);
    return b;
}

testing::AssertionResult chainsSound(const std::string& sqd, const std::string& sqi) {
    return test::squishChainsSound(sqd, sqi);
}

struct Read {
    MsgNumber number;
    std::string subject;
    std::vector<std::string> lines;
};

std::vector<Read> readAll(MessageArea& a, bool noKludge = true) {
    std::vector<Read> out;
    a.locateFrom(1);
    while (a.isLocated() && out.size() < 100000) {
        a.loadHeader();
        Read r{a.getMessageNumber(), a.getSubject(), {}};
        a.startText();
        while (!a.atTextEnd()) r.lines.push_back(noKludge ? a.readTextLineNoKludge(255) : a.readTextLine(255));
        out.push_back(std::move(r));
        a.locateNext();
    }
    return out;
}

struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(sharingRetryCount) { sharingRetryCount = n; }
    ~RetryCount() { sharingRetryCount = saved; }
    std::uint16_t saved;
};

// Three messages: the first has control information, the letter EN (0x8D)
// and a frame that ends exactly where the next one begins.
std::vector<Msg> threeMessages() {
    Msg a;
    a.uid = 3;
    a.from = ansiToOem("Иван"_cp1251);
    a.to = "All";
    a.subject = ansiToOem("Re: RE:  TV НТВ"_cp1251);
    a.attr = 0x1 | 0x100 | 0x80000000u;
    a.dosDate = static_cast<std::uint16_t>(11 | 3 << 5 | (2024 - 1980) << 9);
    a.dosTime = static_cast<std::uint16_t>(20 / 2 | 30 << 5 | 14 << 11);
    a.orig[0] = 2, a.orig[1] = 5020, a.orig[2] = 1, a.orig[3] = 7;
    a.dest[0] = 2, a.dest[1] = 5020, a.dest[2] = 0;
    a.replyTo = 2, a.replyFirst = 8;
    a.ctrl = std::string("\x01MSGID: 2:5020/1 12345678\x01PID: X", 33) + '\0';
    a.text = ansiToOem("Line one\rНТВ 12.00\r\x01SEEN-BY: kludge in text\rlast"_cp1251);  // no NUL, no CR at the end
    Msg b;
    b.uid = 7;
    b.from = "Petr";
    b.subject = "second";
    b.attr = 0x10000;
    b.text = std::string("before nul\rafter", 16) + '\0' + "GARBAGE\r";
    Msg c;
    c.uid = 9;
    c.subject = "third";
    c.text = "only line\r";
    c.slack = "SLACK SLACK";
    return {a, b, c};
}

TEST(SquishArea, ByteBuiltBaseReadsWholeReadPath) {
    TempDir dir;
    const Base b = build(threeMessages(), 20);
    writeFile(dir / "TVLIST.SQD", b.sqd);  // upper case, as DOS tools made it
    writeFile(dir / "TVLIST.SQI", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "s" + (dir / "tvlist")));
    EXPECT_EQ(area->countMessages(), 3);
    EXPECT_EQ(area->getHighNumber(), 19);  // next id - 1, not the highest existing
    EXPECT_EQ(area->getSubArea(), 0);

    area->locateFrom(1);
    ASSERT_TRUE(area->isLocated());
    area->loadHeader();
    EXPECT_EQ(area->getMessageNumber(), 3);
    EXPECT_EQ(area->getFromName(), "Иван"_cp1251);
    EXPECT_EQ(area->getSubject(), "TV НТВ"_cp1251);  // replies stripped
    EXPECT_EQ(area->getToName(), "All");
    EXPECT_DOUBLE_EQ(area->getDateTime(), encodeDate(2024, 3, 11) + encodeTime(14, 30, 20));
    EXPECT_EQ(area->getOrigAddress(), (FidoAddress{2, 5020, 1, 7}));
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{2, 5020, 0, 0}));
    EXPECT_EQ(area->getReplyTo(), 2);
    EXPECT_EQ(area->getReplyFirst(), 8);
    EXPECT_TRUE(area->isPrivate());
    EXPECT_TRUE(area->isLocal());
    EXPECT_TRUE(area->isRead());
    EXPECT_TRUE(area->isEcho());
    EXPECT_FALSE(area->isCrash() || area->isReceived() || area->isSent() || area->isKillSent() || area->isDeleted());
    area->startText();
    std::vector<std::string> lines;
    while (!area->atTextEnd()) lines.push_back(area->readTextLine(255));
    // Control information never shows; the text stops at the frame's end,
    // not 238 bytes later inside the next frame.
    EXPECT_EQ(lines, (std::vector<std::string>{"Line one", "НТВ 12.00"_cp1251, "\x01SEEN-BY: kludge in text", "last"}));

    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getMessageNumber(), 7);
    EXPECT_FALSE(area->isEcho());
    EXPECT_FALSE(area->isRead());
    area->startText();
    lines.clear();
    while (!area->atTextEnd()) lines.push_back(area->readTextLine(255));
    EXPECT_EQ(lines, (std::vector<std::string>{"before nul", "after"}));  // ends at the NUL

    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getMessageNumber(), 9);
    area->startText();
    EXPECT_EQ(area->readTextLine(255), "only line");
    EXPECT_TRUE(area->atTextEnd());
    EXPECT_EQ(area->readTextLine(255), "");  // slack after the message is no text
    area->locatePrior();
    EXPECT_EQ(area->getMessageNumber(), 7);
    area->locateNext();
    area->locateNext();
    EXPECT_FALSE(area->isLocated());
    EXPECT_EQ(area->getMessageNumber(), -1);
    area->loadHeader();
    EXPECT_EQ(area->getSubject(), "");
    area->startText();
    EXPECT_TRUE(area->atTextEnd());

    area->locateFrom(8);
    EXPECT_EQ(area->getMessageNumber(), 9);
    area->locateFrom(7);
    EXPECT_EQ(area->getMessageNumber(), 7);
    area->locateFrom(10);
    EXPECT_FALSE(area->isLocated());
    EXPECT_EQ(area->getHighestExisting(), 9);

    const auto all = readAll(*area);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].lines.size(), 3u);  // the ^A line is filtered
    EXPECT_TRUE(closeAreaAndFree(area));
}

TEST(SquishArea, IndexIsReadWholeAndEmptyIndexOpens) {
    TempDir dir;
    std::vector<Msg> msgs(6000);
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        msgs[i].uid = static_cast<std::uint32_t>(i + 1);
        msgs[i].subject = "n" + std::to_string(i + 1);
        msgs[i].text = "t\r";
    }
    Base b = build(msgs, 6001);
    writeFile(dir / "big.sqd", b.sqd);
    writeFile(dir / "big.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "big")));
    const auto all = readAll(*area);
    ASSERT_EQ(all.size(), 6000u);  // the newest ones sit at the end of the index
    EXPECT_EQ(all.back().number, 6000);
    EXPECT_EQ(all.back().subject, "n6000");
    area->locateFrom(5999);
    EXPECT_EQ(area->getMessageNumber(), 5999);
    closeAreaAndFree(area);

    b = build({}, 1);
    writeFile(dir / "empty.sqd", b.sqd);
    writeFile(dir / "empty.sqi", "");
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "empty")));
    area->locateFrom(1);
    EXPECT_FALSE(area->isLocated());
    EXPECT_EQ(area->getHighestExisting(), 0);
    EXPECT_EQ(area->countMessages(), 0);
    closeAreaAndFree(area);
}

TEST(SquishArea, OpenRefusesMissingFilesAndBadBaseHeaders) {
    TempDir dir;
    SquishArea a;
    a.setAreaPath(dir / "none");
    EXPECT_EQ(a.openArea(), 100);  // no index
    writeFile(dir / "none.sqi", "");
    EXPECT_EQ(a.openArea(), 2);  // no data file

    std::vector<Msg> one(1);
    one[0].uid = 1;
    one[0].subject = "wide header";
    one[0].text = "body\r";
    for (std::uint16_t len : {356, 357, 100}) {
        Base b = build(one, 2, len);
        const std::string name = dir / ("h" + std::to_string(len));
        writeFile(name + ".sqd", b.sqd);
        writeFile(name + ".sqi", b.sqi);
        SquishArea s;
        s.setAreaPath(name);
        const ResultCode rc = s.openArea();
        if (len == 356) {
            ASSERT_EQ(rc, 0);
            auto all = readAll(s);
            ASSERT_EQ(all.size(), 1u);
            EXPECT_EQ(all[0].subject, "wide header");
            EXPECT_EQ(all[0].lines, std::vector<std::string>{"body"});
        } else {
            EXPECT_EQ(rc, 1001) << len;
        }
    }
    // Stored length 0 means 256.
    Base b = build(one, 2);
    put16(b.sqd, 0, 0);
    writeFile(dir / "zero.sqd", b.sqd);
    writeFile(dir / "zero.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "zero")));
    EXPECT_EQ(readAll(*area).size(), 1u);
    closeAreaAndFree(area);
    writeFile(dir / "short.sqd", "\x00");
    writeFile(dir / "short.sqi", "");
    EXPECT_FALSE(openAreaByIdentifier(area, "S" + (dir / "short")));
    EXPECT_EQ(area, nullptr);
}

TEST(SquishArea, HostileLengthsAndOffsetsStayInsideFrameAndFile) {
    TempDir dir;
    std::vector<Msg> msgs(6);
    for (std::size_t i = 0; i < msgs.size(); ++i) msgs[i].uid = static_cast<std::uint32_t>(i + 1);
    msgs[0].text = "0123456789";
    msgs[0].msgLength = 238 + 500;  // longer than its frame
    msgs[1].text = "control too long\r";
    msgs[1].ctrlLength = 100000;
    msgs[2].text = "ok\r";
    msgs[2].msgLength = 0;  // shorter than the header: no text
    msgs[3].subject = "huge";
    msgs[3].text = "frame";
    msgs[3].frameLength = 0xFFFFFFF0u;
    msgs[3].msgLength = 0xFFFFFFF0u;
    msgs[4].subject = "gone";
    msgs[5].subject = "tail";
    msgs[5].text = "to the end of the file";
    msgs[5].msgLength = 0x7FFFFFFF;
    msgs[5].frameLength = 0x7FFFFFFF;
    Base b = build(msgs, 7);
    put32(b.sqi, 4 * 12, 0x7FFFFF00);  // record 5 points past the end of the file
    writeFile(dir / "bad.sqd", b.sqd);
    writeFile(dir / "bad.sqi", b.sqi + "\x01\x02");  // a torn last record is ignored
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "bad")));
    const auto all = readAll(*area, false);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].lines, std::vector<std::string>{"0123456789"});
    EXPECT_TRUE(all[1].lines.empty());
    EXPECT_TRUE(all[2].lines.empty());
    EXPECT_EQ(all[3].subject, "huge");
    ASSERT_FALSE(all[3].lines.empty());  // bounded by the file: runs into the next frames, never past the end
    EXPECT_EQ(all[4].subject, "");  // no frame there
    EXPECT_TRUE(all[4].lines.empty());
    EXPECT_EQ(all[5].lines, std::vector<std::string>{"to the end of the file"});
    closeAreaAndFree(area);

    // An index record inside the base header reads empty, too.
    Base c = build(msgs, 7);
    put32(c.sqi, 0, 10);
    writeFile(dir / "hdr.sqd", c.sqd);
    writeFile(dir / "hdr.sqi", c.sqi);
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "hdr")));
    area->locateFrom(1);
    area->loadHeader();
    area->startText();
    EXPECT_TRUE(area->atTextEnd());
    closeAreaAndFree(area);
}

TEST(SquishArea, DeletingWithLoopingOrOutsideLinksEndsAndStaysReadable) {
    TempDir dir;
    std::vector<Msg> msgs(3);
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        msgs[i].uid = static_cast<std::uint32_t>(i + 1);
        msgs[i].text = "text " + std::to_string(i + 1) + "\r";
    }
    Base b = build(msgs, 4);
    put32(b.sqd, b.frames[1] + 4, b.frames[1]);  // next: itself
    put32(b.sqd, b.frames[1] + 8, b.frames[1]);  // prev: itself
    put32(b.sqd, b.frames[0] + 4, 0x7FFFFFF0);   // next: past the end
    put32(b.sqd, 112, b.frames[2]);              // free chain: a live frame
    put32(b.sqd, 116, b.frames[2]);
    writeFile(dir / "loop.sqd", b.sqd);
    writeFile(dir / "loop.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "loop")));
    for (MsgNumber n : {2, 1}) {
        area->locateFrom(n);
        ASSERT_TRUE(area->isLocated());
        area->loadHeader();
        area->deleteCurrent();
    }
    const auto left = readAll(*area);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].lines, std::vector<std::string>{"text 3"});
    closeAreaAndFree(area);
    const std::string sqd = readFile(dir / "loop.sqd");
    EXPECT_EQ(sqd.size(), b.sqd.size());  // nothing written past the end
    EXPECT_EQ(U32(sqd, 4), 1u);
    EXPECT_EQ(U32(sqd, b.frames[2] + 4), 0u);  // the live frame was not made a free frame's neighbour
    EXPECT_EQ(U16(sqd, b.frames[2] + 24), 0);
    EXPECT_EQ(readFile(dir / "loop.sqi").size(), 12u);
}

TEST(SquishArea, DeleteRelinksFramesFreeChainCountersAndIndex) {
    TempDir dir;
    const Base b = build(threeMessages(), 20);
    const std::string sqd = dir / "tv.sqd", sqi = dir / "tv.sqi";
    writeFile(sqd, b.sqd);
    writeFile(sqi, b.sqi);
    const auto f = b.frames;
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "tv")));
    const auto before = readAll(*area);

    area->locateFrom(7);
    area->loadHeader();
    area->deleteCurrent();
    area->locateNext();
    EXPECT_EQ(area->getMessageNumber(), 9);  // goes on after the deleted one
    std::string d = readFile(sqd), x = readFile(sqi);
    EXPECT_TRUE(chainsSound(d, x));
    EXPECT_EQ(U32(d, 4), 2u);
    EXPECT_EQ(U32(d, 20), 20u);  // ids are never reused
    EXPECT_EQ(U32(d, 104), f[0]);
    EXPECT_EQ(U32(d, 108), f[2]);
    EXPECT_EQ(U32(d, f[0] + 4), f[2]);
    EXPECT_EQ(U32(d, f[2] + 8), f[0]);
    EXPECT_EQ(U32(d, 112), f[1]);
    EXPECT_EQ(U32(d, 116), f[1]);
    EXPECT_EQ(U16(d, f[1] + 24), 1);
    EXPECT_EQ(U32(x, 4), 3u);
    EXPECT_EQ(U32(x, 16), 9u);
    auto after = readAll(*area);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].lines, before[0].lines);
    EXPECT_EQ(after[1].lines, before[2].lines);

    area->locateFrom(3);
    area->loadHeader();
    area->deleteCurrent();
    d = readFile(sqd), x = readFile(sqi);
    EXPECT_TRUE(chainsSound(d, x));
    EXPECT_EQ(U32(d, 104), f[2]);
    EXPECT_EQ(U32(d, f[2] + 8), 0u);
    EXPECT_EQ(U32(d, 112), f[1]);  // free chain f1 -> f0
    EXPECT_EQ(U32(d, 116), f[0]);
    EXPECT_EQ(U32(d, f[1] + 4), f[0]);
    EXPECT_EQ(U32(d, f[0] + 8), f[1]);

    area->locateFrom(9);
    area->loadHeader();
    area->deleteCurrent();
    area->deleteCurrent();  // nothing current any more: no change
    d = readFile(sqd), x = readFile(sqi);
    EXPECT_TRUE(chainsSound(d, x));
    EXPECT_EQ(U32(d, 104), 0u);
    EXPECT_EQ(U32(d, 108), 0u);
    EXPECT_EQ(U32(d, 4), 0u);
    EXPECT_TRUE(x.empty());
    area->locateFrom(1);
    EXPECT_FALSE(area->isLocated());
    closeAreaAndFree(area);

    // The only message of a base: both message offsets 0, both free offsets at it.
    std::vector<Msg> one(1);
    one[0].uid = 5;
    const Base o = build(one, 6);
    writeFile(dir / "one.sqd", o.sqd);
    writeFile(dir / "one.sqi", o.sqi);
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "one")));
    area->locateFrom(5);
    area->loadHeader();
    area->deleteCurrent();
    closeAreaAndFree(area);
    d = readFile(dir / "one.sqd");
    EXPECT_EQ(U32(d, 104), 0u);
    EXPECT_EQ(U32(d, 108), 0u);
    EXPECT_EQ(U32(d, 112), o.frames[0]);
    EXPECT_EQ(U32(d, 116), o.frames[0]);
    EXPECT_TRUE(chainsSound(d, readFile(dir / "one.sqi")));
}

TEST(SquishArea, DeleteWaitsForTheLockOfAnotherWriter) {
    TempDir dir;
    const Base b = build(threeMessages(), 20);
    writeFile(dir / "tv.sqd", b.sqd);
    writeFile(dir / "tv.sqi", b.sqi);
    RetryCount retries(3);
    SquishArea other;
    other.setAreaPath(dir / "tv");
    ASSERT_EQ(other.openArea(), 0);
    ASSERT_TRUE(other.lockArea());
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "tv")));
    EXPECT_FALSE(area->lockArea());
    area->locateFrom(7);
    area->loadHeader();
    area->deleteCurrent();
    EXPECT_EQ(readFile(dir / "tv.sqd"), b.sqd);
    EXPECT_EQ(readFile(dir / "tv.sqi"), b.sqi);
    EXPECT_TRUE(other.unlockArea());
    area->locateFrom(7);
    area->loadHeader();
    area->deleteCurrent();
    EXPECT_EQ(readAll(*area).size(), 2u);
    closeAreaAndFree(area);
}

void compose(MessageArea& a, const std::string& subject, const std::vector<std::string>& lines) {
    a.startNewMessage();
    a.setFromName("Петр"_cp1251);
    a.setToName("All");
    a.setSubject(subject);
    a.setOrigAddress({2, 5020, 1, 0});
    a.setDestAddress({2, 5020, 0, 3});
    a.setDateTime(encodeDate(2025, 1, 6) + encodeTime(4, 29, 58));
    for (const auto& l : lines) a.writeTextLine(l);
}

TEST(SquishArea, WriterRoundTripReusesFreedFrames) {
    TempDir dir;
    SquishArea a;
    a.setAreaPath(dir / "new");
    EXPECT_FALSE(a.areaExists());
    ASSERT_EQ(a.createArea(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "new.sqd"));  // new bases in lower case
    EXPECT_TRUE(std::filesystem::exists(dir / "new.sqi"));
    ASSERT_EQ(a.openArea(), 0);
    const std::string big(3000, 'x');
    compose(a, "Программа 1"_cp1251, {"\x01MSGID: 1", "НТВ line"_cp1251, big});
    a.setPrivateFlag(true);
    a.setFormatOption(false);
    a.setFormatMark(1);
    a.setReplyTo(11);
    ASSERT_EQ(a.saveMessage(), 0);
    EXPECT_EQ(a.getMessageNumber(), 1);
    compose(a, "two", {"second"});
    ASSERT_EQ(a.saveMessage(), 0);
    compose(a, "three", {"third"});
    ASSERT_EQ(a.saveMessage(), 0);
    EXPECT_EQ(a.getMessageNumber(), 3);
    EXPECT_EQ(a.closeArea(), 0);
    EXPECT_TRUE(chainsSound(readFile(dir / "new.sqd"), readFile(dir / "new.sqi")));

    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "S" + (dir / "new")));
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getFromName(), "Петр"_cp1251);
    EXPECT_EQ(area->getSubject(), "Программа 1"_cp1251);
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{2, 5020, 0, 3}));
    EXPECT_DOUBLE_EQ(area->getDateTime(), encodeDate(2025, 1, 6) + encodeTime(4, 29, 58));
    EXPECT_TRUE(area->isPrivate());
    EXPECT_FALSE(area->isEcho());
    EXPECT_TRUE(area->isRead());
    EXPECT_EQ(area->getReplyTo(), 11);
    auto all = readAll(*area);
    ASSERT_EQ(all.size(), 3u);
    std::string joined;
    for (std::size_t i = 1; i < all[0].lines.size(); ++i) joined += all[0].lines[i];
    EXPECT_EQ(all[0].lines[0], "НТВ line"_cp1251);
    EXPECT_EQ(joined, big);

    const std::string sqiBefore = readFile(dir / "new.sqi");
    const std::uint32_t freed = U32(sqiBefore, 0);
    area->locateFrom(1);
    area->loadHeader();
    area->deleteCurrent();
    // A small message goes into the freed frame, a big one to the end.
    compose(*area, "four", {"small"});
    ASSERT_EQ(area->saveMessage(), 0);
    EXPECT_EQ(area->getMessageNumber(), 4);
    std::string sqd = readFile(dir / "new.sqd"), sqi = readFile(dir / "new.sqi");
    EXPECT_EQ(U32(sqi, 2 * 12), freed);
    EXPECT_EQ(U32(sqd, 112), 0u);  // free chain empty again
    EXPECT_TRUE(chainsSound(sqd, sqi));
    const std::size_t size = sqd.size();
    compose(*area, "five", {std::string(5000, 'y')});
    ASSERT_EQ(area->saveMessage(), 0);
    sqd = readFile(dir / "new.sqd"), sqi = readFile(dir / "new.sqi");
    EXPECT_EQ(U32(sqi, 3 * 12), size);
    EXPECT_TRUE(chainsSound(sqd, sqi));
    all = readAll(*area);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].subject, "two");
    EXPECT_EQ(all[1].lines, std::vector<std::string>{"third"});
    EXPECT_EQ(all[2].subject, "four");
    EXPECT_EQ(all[2].lines, std::vector<std::string>{"small"});
    EXPECT_EQ(all[3].number, 5);
    closeAreaAndFree(area);
}

TEST(SquishArea, LocateFromSeesMessagesAnotherWriterAdded) {
    TempDir dir;
    SquishArea writer, reader;
    writer.setAreaPath(dir / "shared");
    reader.setAreaPath(dir / "shared");
    ASSERT_EQ(writer.createArea(), 0);
    ASSERT_EQ(writer.openArea(), 0);
    ASSERT_EQ(reader.openArea(), 0);
    compose(writer, "one", {"1"});
    ASSERT_EQ(writer.saveMessage(), 0);
    EXPECT_EQ(readAll(reader).size(), 1u);
    compose(writer, "two", {"2"});
    ASSERT_EQ(writer.saveMessage(), 0);
    const auto all = readAll(reader);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].lines, std::vector<std::string>{"2"});
}

TEST(SquishArea, LastReadFileAndPathExpansion) {
    TempDir dir;
    SquishArea a;
    a.setAreaPath(dir / "tv");
    EXPECT_EQ(a.getLastRead(0), 0);
    a.setLastRead(3, 77);
    EXPECT_EQ(readFile(dir / "tv.sql").size(), 16u);
    EXPECT_EQ(a.getLastRead(3), 77);
    EXPECT_EQ(a.getLastRead(2), 0);
    EXPECT_EQ(a.getLastRead(4), 0);
    std::filesystem::remove(dir / "tv.sql");
    writeFile(dir / "TV.SQL", std::string("\x2A\x00\x00\x00", 4));  // made by a DOS tool
    EXPECT_EQ(a.getLastRead(0), 42);

    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(createAreaForIdentifier(area, "Ssub/../base"));
    auto* sq = dynamic_cast<SquishArea*>(area.get());
    ASSERT_NE(sq, nullptr);
    EXPECT_EQ(sq->basePath(), (std::filesystem::current_path() / "base").string());
    std::filesystem::current_path(saved);
    destroyArea(area);
    EXPECT_FALSE(openAreaByIdentifier(area, "S" + (dir / "missing")));
}

}  // namespace
}  // namespace orbisk
