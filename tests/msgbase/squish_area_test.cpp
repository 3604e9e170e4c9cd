// Squish bases built byte by byte from the published layout (not with the
// kind's writer), so that a misreading of the layout in the kind cannot be
// mirrored by the fixture; then round trips through the kind's own writer.
#include "msgbase/squisharea.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "base/datetime.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr std::uint32_t kSig = 0xAFAE4453;

std::uint32_t U32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return 0xDEADBEEF;
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8 |
           static_cast<unsigned char>(s[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}
std::uint16_t U16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void PutStr(std::string& s, std::size_t at, const std::string& v) { s.replace(at, v.size(), v); }

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
Base Build(const std::vector<Msg>& msgs, std::uint32_t nextUid, std::uint16_t headerLength = 256) {
    Base b;
    b.sqd.assign(headerLength, '\0');
    for (const Msg& m : msgs) {
        const auto at = static_cast<std::uint32_t>(b.sqd.size());
        b.frames.push_back(at);
        std::string f(28 + 238, '\0');
        const std::size_t body = 238 + m.ctrl.size() + m.text.size();
        Put32(f, 0, kSig);
        Put32(f, 12, static_cast<std::uint32_t>(m.frameLength >= 0 ? m.frameLength : static_cast<std::int64_t>(body + m.slack.size())));
        Put32(f, 16, static_cast<std::uint32_t>(m.msgLength >= 0 ? m.msgLength : static_cast<std::int64_t>(body)));
        Put32(f, 20, static_cast<std::uint32_t>(m.ctrlLength >= 0 ? m.ctrlLength : static_cast<std::int64_t>(m.ctrl.size())));
        Put32(f, 28 + 0, m.attr);
        PutStr(f, 28 + 4, m.from);
        PutStr(f, 28 + 40, m.to);
        PutStr(f, 28 + 76, m.subject);
        for (int i = 0; i < 4; ++i) {
            Put16(f, 28 + 148 + 2 * i, m.orig[i]);
            Put16(f, 28 + 156 + 2 * i, m.dest[i]);
        }
        Put16(f, 28 + 164, m.dosDate);
        Put16(f, 28 + 166, m.dosTime);
        Put32(f, 28 + 174, m.replyTo);
        Put32(f, 28 + 178, m.replyFirst);
        b.sqd += f + m.ctrl + m.text + m.slack;
    }
    for (std::size_t i = 0; i < b.frames.size(); ++i) {
        Put32(b.sqd, b.frames[i] + 4, i + 1 < b.frames.size() ? b.frames[i + 1] : 0);
        Put32(b.sqd, b.frames[i] + 8, i > 0 ? b.frames[i - 1] : 0);
        std::string rec(12, '\0');
        Put32(rec, 0, b.frames[i]);
        Put32(rec, 4, msgs[i].uid);
        b.sqi += rec;
    }
    Put16(b.sqd, 0, headerLength);
    Put32(b.sqd, 4, static_cast<std::uint32_t>(msgs.size()));
    Put32(b.sqd, 8, static_cast<std::uint32_t>(msgs.size()));
    Put32(b.sqd, 20, nextUid);
    Put32(b.sqd, 104, b.frames.empty() ? 0 : b.frames.front());
    Put32(b.sqd, 108, b.frames.empty() ? 0 : b.frames.back());
    Put32(b.sqd, 120, static_cast<std::uint32_t>(b.sqd.size()));
    Put16(b.sqd, 130, 28);
    return b;
}

// Both chains and the index agree with each other and with the counters.
testing::AssertionResult ChainsSound(const std::string& sqd, const std::string& sqi) {
    const std::uint32_t numMsg = U32(sqd, 4);
    if (sqi.size() != numMsg * 12u) return testing::AssertionFailure() << "index size " << sqi.size() << " for " << numMsg;
    if (U32(sqd, 8) != numMsg) return testing::AssertionFailure() << "high message " << U32(sqd, 8);
    std::vector<std::uint32_t> chain;
    std::uint32_t prev = 0;
    for (std::uint32_t f = U32(sqd, 104); f != 0; f = U32(sqd, f + 4)) {
        if (chain.size() > numMsg) return testing::AssertionFailure() << "message chain too long or looping";
        if (U32(sqd, f) != kSig || U16(sqd, f + 24) != 0) return testing::AssertionFailure() << "bad frame at " << f;
        if (U32(sqd, f + 8) != prev) return testing::AssertionFailure() << "prev link of " << f;
        chain.push_back(f);
        prev = f;
    }
    if (U32(sqd, 108) != prev) return testing::AssertionFailure() << "last frame " << U32(sqd, 108) << " != " << prev;
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (U32(sqi, 12 * i) != chain[i]) return testing::AssertionFailure() << "index record " << i;
    if (chain.size() != numMsg) return testing::AssertionFailure() << "chain holds " << chain.size();
    std::set<std::uint32_t> seen(chain.begin(), chain.end());
    prev = 0;
    std::size_t n = 0;
    for (std::uint32_t f = U32(sqd, 112); f != 0; f = U32(sqd, f + 4)) {
        if (++n > 1000) return testing::AssertionFailure() << "free chain loops";
        if (U32(sqd, f) != kSig || U16(sqd, f + 24) != 1) return testing::AssertionFailure() << "free frame " << f;
        if (U32(sqd, f + 8) != prev) return testing::AssertionFailure() << "free prev link of " << f;
        if (!seen.insert(f).second) return testing::AssertionFailure() << "frame " << f << " in both chains";
        prev = f;
    }
    if (U32(sqd, 116) != prev) return testing::AssertionFailure() << "last free frame";
    return testing::AssertionSuccess();
}

struct Read {
    MsgNumber number;
    std::string subject;
    std::vector<std::string> lines;
};

std::vector<Read> ReadAll(MessageArea& a, bool noKludge = true) {
    std::vector<Read> out;
    a.LocateFrom(1);
    while (a.IsLocated() && out.size() < 100000) {
        a.LoadHeader();
        Read r{a.GetMessageNumber(), a.GetSubject(), {}};
        a.StartText();
        while (!a.AtTextEnd()) r.lines.push_back(noKludge ? a.ReadTextLineNoKludge(255) : a.ReadTextLine(255));
        out.push_back(std::move(r));
        a.LocateNext();
    }
    return out;
}

struct RetryCount {
    explicit RetryCount(std::uint16_t n) : saved(SharingRetryCount) { SharingRetryCount = n; }
    ~RetryCount() { SharingRetryCount = saved; }
    std::uint16_t saved;
};

// Three messages: the first has control information, the letter EN (0x8D)
// and a frame that ends exactly where the next one begins.
std::vector<Msg> ThreeMessages() {
    Msg a;
    a.uid = 3;
    a.from = "\x88\xA2\xA0\xAD";  // Иван
    a.to = "All";
    a.subject = "Re: RE:  TV \x8D\x92\x82";  // НТВ
    a.attr = 0x1 | 0x100 | 0x80000000u;
    a.dosDate = static_cast<std::uint16_t>(11 | 3 << 5 | (2024 - 1980) << 9);
    a.dosTime = static_cast<std::uint16_t>(20 / 2 | 30 << 5 | 14 << 11);
    a.orig[0] = 2, a.orig[1] = 5020, a.orig[2] = 1, a.orig[3] = 7;
    a.dest[0] = 2, a.dest[1] = 5020, a.dest[2] = 0;
    a.replyTo = 2, a.replyFirst = 8;
    a.ctrl = std::string("\x01MSGID: 2:5020/1 12345678\x01PID: X", 33) + '\0';
    a.text = "Line one\r\x8D\x92\x82 12.00\r\x01SEEN-BY: kludge in text\rlast";  // no NUL, no CR at the end
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
    const Base b = Build(ThreeMessages(), 20);
    WriteFile(dir / "TVLIST.SQD", b.sqd);  // upper case, as DOS tools made it
    WriteFile(dir / "TVLIST.SQI", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "s" + (dir / "tvlist")));
    EXPECT_EQ(area->CountMessages(), 3);
    EXPECT_EQ(area->GetHighNumber(), 19);  // next id - 1, not the highest existing
    EXPECT_EQ(area->GetSubArea(), 0);

    area->LocateFrom(1);
    ASSERT_TRUE(area->IsLocated());
    area->LoadHeader();
    EXPECT_EQ(area->GetMessageNumber(), 3);
    EXPECT_EQ(area->GetFromName(), "\xC8\xE2\xE0\xED");     // Иван
    EXPECT_EQ(area->GetSubject(), "TV \xCD\xD2\xC2");       // НТВ, replies stripped
    EXPECT_EQ(area->GetToName(), "All");
    EXPECT_DOUBLE_EQ(area->GetDateTime(), EncodeDate(2024, 3, 11) + EncodeTime(14, 30, 20));
    EXPECT_EQ(area->GetOrigAddress(), (FidoAddress{2, 5020, 1, 7}));
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{2, 5020, 0, 0}));
    EXPECT_EQ(area->GetReplyTo(), 2);
    EXPECT_EQ(area->GetReplyFirst(), 8);
    EXPECT_TRUE(area->IsPrivate());
    EXPECT_TRUE(area->IsLocal());
    EXPECT_TRUE(area->IsRead());
    EXPECT_TRUE(area->IsEcho());
    EXPECT_FALSE(area->IsCrash() || area->IsReceived() || area->IsSent() || area->IsKillSent() || area->IsDeleted());
    area->StartText();
    std::vector<std::string> lines;
    while (!area->AtTextEnd()) lines.push_back(area->ReadTextLine(255));
    // Control information never shows; the text stops at the frame's end,
    // not 238 bytes later inside the next frame.
    EXPECT_EQ(lines, (std::vector<std::string>{"Line one", "\xCD\xD2\xC2 12.00", "\x01SEEN-BY: kludge in text", "last"}));

    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetMessageNumber(), 7);
    EXPECT_FALSE(area->IsEcho());
    EXPECT_FALSE(area->IsRead());
    area->StartText();
    lines.clear();
    while (!area->AtTextEnd()) lines.push_back(area->ReadTextLine(255));
    EXPECT_EQ(lines, (std::vector<std::string>{"before nul", "after"}));  // ends at the NUL

    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetMessageNumber(), 9);
    area->StartText();
    EXPECT_EQ(area->ReadTextLine(255), "only line");
    EXPECT_TRUE(area->AtTextEnd());
    EXPECT_EQ(area->ReadTextLine(255), "");  // slack after the message is no text
    area->LocatePrior();
    EXPECT_EQ(area->GetMessageNumber(), 7);
    area->LocateNext();
    area->LocateNext();
    EXPECT_FALSE(area->IsLocated());
    EXPECT_EQ(area->GetMessageNumber(), -1);
    area->LoadHeader();
    EXPECT_EQ(area->GetSubject(), "");
    area->StartText();
    EXPECT_TRUE(area->AtTextEnd());

    area->LocateFrom(8);
    EXPECT_EQ(area->GetMessageNumber(), 9);
    area->LocateFrom(7);
    EXPECT_EQ(area->GetMessageNumber(), 7);
    area->LocateFrom(10);
    EXPECT_FALSE(area->IsLocated());
    EXPECT_EQ(area->GetHighestExisting(), 9);

    const auto all = ReadAll(*area);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].lines.size(), 3u);  // the ^A line is filtered
    EXPECT_TRUE(CloseAreaAndFree(area));
}

TEST(SquishArea, IndexIsReadWholeAndEmptyIndexOpens) {
    TempDir dir;
    std::vector<Msg> msgs(6000);
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        msgs[i].uid = static_cast<std::uint32_t>(i + 1);
        msgs[i].subject = "n" + std::to_string(i + 1);
        msgs[i].text = "t\r";
    }
    Base b = Build(msgs, 6001);
    WriteFile(dir / "big.sqd", b.sqd);
    WriteFile(dir / "big.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "big")));
    const auto all = ReadAll(*area);
    ASSERT_EQ(all.size(), 6000u);  // the newest ones sit at the end of the index
    EXPECT_EQ(all.back().number, 6000);
    EXPECT_EQ(all.back().subject, "n6000");
    area->LocateFrom(5999);
    EXPECT_EQ(area->GetMessageNumber(), 5999);
    CloseAreaAndFree(area);

    b = Build({}, 1);
    WriteFile(dir / "empty.sqd", b.sqd);
    WriteFile(dir / "empty.sqi", "");
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "empty")));
    area->LocateFrom(1);
    EXPECT_FALSE(area->IsLocated());
    EXPECT_EQ(area->GetHighestExisting(), 0);
    EXPECT_EQ(area->CountMessages(), 0);
    CloseAreaAndFree(area);
}

TEST(SquishArea, OpenRefusesMissingFilesAndBadBaseHeaders) {
    TempDir dir;
    SquishArea a;
    a.SetAreaPath(dir / "none");
    EXPECT_EQ(a.OpenArea(), 100);  // no index
    WriteFile(dir / "none.sqi", "");
    EXPECT_EQ(a.OpenArea(), 2);  // no data file

    std::vector<Msg> one(1);
    one[0].uid = 1;
    one[0].subject = "wide header";
    one[0].text = "body\r";
    for (std::uint16_t len : {356, 357, 100}) {
        Base b = Build(one, 2, len);
        const std::string name = dir / ("h" + std::to_string(len));
        WriteFile(name + ".sqd", b.sqd);
        WriteFile(name + ".sqi", b.sqi);
        SquishArea s;
        s.SetAreaPath(name);
        const ResultCode rc = s.OpenArea();
        if (len == 356) {
            ASSERT_EQ(rc, 0);
            auto all = ReadAll(s);
            ASSERT_EQ(all.size(), 1u);
            EXPECT_EQ(all[0].subject, "wide header");
            EXPECT_EQ(all[0].lines, std::vector<std::string>{"body"});
        } else {
            EXPECT_EQ(rc, 1001) << len;
        }
    }
    // Stored length 0 means 256.
    Base b = Build(one, 2);
    Put16(b.sqd, 0, 0);
    WriteFile(dir / "zero.sqd", b.sqd);
    WriteFile(dir / "zero.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "zero")));
    EXPECT_EQ(ReadAll(*area).size(), 1u);
    CloseAreaAndFree(area);
    WriteFile(dir / "short.sqd", "\x00");
    WriteFile(dir / "short.sqi", "");
    EXPECT_FALSE(OpenAreaByIdentifier(area, "S" + (dir / "short")));
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
    Base b = Build(msgs, 7);
    Put32(b.sqi, 4 * 12, 0x7FFFFF00);  // record 5 points past the end of the file
    WriteFile(dir / "bad.sqd", b.sqd);
    WriteFile(dir / "bad.sqi", b.sqi + "\x01\x02");  // a torn last record is ignored
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "bad")));
    const auto all = ReadAll(*area, false);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].lines, std::vector<std::string>{"0123456789"});
    EXPECT_TRUE(all[1].lines.empty());
    EXPECT_TRUE(all[2].lines.empty());
    EXPECT_EQ(all[3].subject, "huge");
    ASSERT_FALSE(all[3].lines.empty());  // bounded by the file: runs into the next frames, never past the end
    EXPECT_EQ(all[4].subject, "");  // no frame there
    EXPECT_TRUE(all[4].lines.empty());
    EXPECT_EQ(all[5].lines, std::vector<std::string>{"to the end of the file"});
    CloseAreaAndFree(area);

    // An index record inside the base header reads empty, too.
    Base c = Build(msgs, 7);
    Put32(c.sqi, 0, 10);
    WriteFile(dir / "hdr.sqd", c.sqd);
    WriteFile(dir / "hdr.sqi", c.sqi);
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "hdr")));
    area->LocateFrom(1);
    area->LoadHeader();
    area->StartText();
    EXPECT_TRUE(area->AtTextEnd());
    CloseAreaAndFree(area);
}

TEST(SquishArea, DeletingWithLoopingOrOutsideLinksEndsAndStaysReadable) {
    TempDir dir;
    std::vector<Msg> msgs(3);
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        msgs[i].uid = static_cast<std::uint32_t>(i + 1);
        msgs[i].text = "text " + std::to_string(i + 1) + "\r";
    }
    Base b = Build(msgs, 4);
    Put32(b.sqd, b.frames[1] + 4, b.frames[1]);  // next: itself
    Put32(b.sqd, b.frames[1] + 8, b.frames[1]);  // prev: itself
    Put32(b.sqd, b.frames[0] + 4, 0x7FFFFFF0);   // next: past the end
    Put32(b.sqd, 112, b.frames[2]);              // free chain: a live frame
    Put32(b.sqd, 116, b.frames[2]);
    WriteFile(dir / "loop.sqd", b.sqd);
    WriteFile(dir / "loop.sqi", b.sqi);
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "loop")));
    for (MsgNumber n : {2, 1}) {
        area->LocateFrom(n);
        ASSERT_TRUE(area->IsLocated());
        area->LoadHeader();
        area->DeleteCurrent();
    }
    const auto left = ReadAll(*area);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].lines, std::vector<std::string>{"text 3"});
    CloseAreaAndFree(area);
    const std::string sqd = ReadFile(dir / "loop.sqd");
    EXPECT_EQ(sqd.size(), b.sqd.size());  // nothing written past the end
    EXPECT_EQ(U32(sqd, 4), 1u);
    EXPECT_EQ(U32(sqd, b.frames[2] + 4), 0u);  // the live frame was not made a free frame's neighbour
    EXPECT_EQ(U16(sqd, b.frames[2] + 24), 0);
    EXPECT_EQ(ReadFile(dir / "loop.sqi").size(), 12u);
}

TEST(SquishArea, DeleteRelinksFramesFreeChainCountersAndIndex) {
    TempDir dir;
    const Base b = Build(ThreeMessages(), 20);
    const std::string sqd = dir / "tv.sqd", sqi = dir / "tv.sqi";
    WriteFile(sqd, b.sqd);
    WriteFile(sqi, b.sqi);
    const auto f = b.frames;
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "tv")));
    const auto before = ReadAll(*area);

    area->LocateFrom(7);
    area->LoadHeader();
    area->DeleteCurrent();
    area->LocateNext();
    EXPECT_EQ(area->GetMessageNumber(), 9);  // goes on after the deleted one
    std::string d = ReadFile(sqd), x = ReadFile(sqi);
    EXPECT_TRUE(ChainsSound(d, x));
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
    auto after = ReadAll(*area);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].lines, before[0].lines);
    EXPECT_EQ(after[1].lines, before[2].lines);

    area->LocateFrom(3);
    area->LoadHeader();
    area->DeleteCurrent();
    d = ReadFile(sqd), x = ReadFile(sqi);
    EXPECT_TRUE(ChainsSound(d, x));
    EXPECT_EQ(U32(d, 104), f[2]);
    EXPECT_EQ(U32(d, f[2] + 8), 0u);
    EXPECT_EQ(U32(d, 112), f[1]);  // free chain f1 -> f0
    EXPECT_EQ(U32(d, 116), f[0]);
    EXPECT_EQ(U32(d, f[1] + 4), f[0]);
    EXPECT_EQ(U32(d, f[0] + 8), f[1]);

    area->LocateFrom(9);
    area->LoadHeader();
    area->DeleteCurrent();
    area->DeleteCurrent();  // nothing current any more: no change
    d = ReadFile(sqd), x = ReadFile(sqi);
    EXPECT_TRUE(ChainsSound(d, x));
    EXPECT_EQ(U32(d, 104), 0u);
    EXPECT_EQ(U32(d, 108), 0u);
    EXPECT_EQ(U32(d, 4), 0u);
    EXPECT_TRUE(x.empty());
    area->LocateFrom(1);
    EXPECT_FALSE(area->IsLocated());
    CloseAreaAndFree(area);

    // The only message of a base: both message offsets 0, both free offsets at it.
    std::vector<Msg> one(1);
    one[0].uid = 5;
    const Base o = Build(one, 6);
    WriteFile(dir / "one.sqd", o.sqd);
    WriteFile(dir / "one.sqi", o.sqi);
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "one")));
    area->LocateFrom(5);
    area->LoadHeader();
    area->DeleteCurrent();
    CloseAreaAndFree(area);
    d = ReadFile(dir / "one.sqd");
    EXPECT_EQ(U32(d, 104), 0u);
    EXPECT_EQ(U32(d, 108), 0u);
    EXPECT_EQ(U32(d, 112), o.frames[0]);
    EXPECT_EQ(U32(d, 116), o.frames[0]);
    EXPECT_TRUE(ChainsSound(d, ReadFile(dir / "one.sqi")));
}

TEST(SquishArea, DeleteWaitsForTheLockOfAnotherWriter) {
    TempDir dir;
    const Base b = Build(ThreeMessages(), 20);
    WriteFile(dir / "tv.sqd", b.sqd);
    WriteFile(dir / "tv.sqi", b.sqi);
    RetryCount retries(3);
    SquishArea other;
    other.SetAreaPath(dir / "tv");
    ASSERT_EQ(other.OpenArea(), 0);
    ASSERT_TRUE(other.LockArea());
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "tv")));
    EXPECT_FALSE(area->LockArea());
    area->LocateFrom(7);
    area->LoadHeader();
    area->DeleteCurrent();
    EXPECT_EQ(ReadFile(dir / "tv.sqd"), b.sqd);
    EXPECT_EQ(ReadFile(dir / "tv.sqi"), b.sqi);
    EXPECT_TRUE(other.UnlockArea());
    area->LocateFrom(7);
    area->LoadHeader();
    area->DeleteCurrent();
    EXPECT_EQ(ReadAll(*area).size(), 2u);
    CloseAreaAndFree(area);
}

void Compose(MessageArea& a, const std::string& subject, const std::vector<std::string>& lines) {
    a.StartNewMessage();
    a.SetFromName("\xCF\xE5\xF2\xF0");  // Петр
    a.SetToName("All");
    a.SetSubject(subject);
    a.SetOrigAddress({2, 5020, 1, 0});
    a.SetDestAddress({2, 5020, 0, 3});
    a.SetDateTime(EncodeDate(2025, 1, 6) + EncodeTime(4, 29, 58));
    for (const auto& l : lines) a.WriteTextLine(l);
}

TEST(SquishArea, WriterRoundTripReusesFreedFrames) {
    TempDir dir;
    SquishArea a;
    a.SetAreaPath(dir / "new");
    EXPECT_FALSE(a.AreaExists());
    ASSERT_EQ(a.CreateArea(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "new.sqd"));  // new bases in lower case
    EXPECT_TRUE(std::filesystem::exists(dir / "new.sqi"));
    ASSERT_EQ(a.OpenArea(), 0);
    const std::string big(3000, 'x');
    Compose(a, "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 1", {"\x01MSGID: 1", "\xCD\xD2\xC2 line", big});  // Программа, НТВ
    a.SetPrivateFlag(true);
    a.SetFormatOption(false);
    a.SetFormatMark(1);
    a.SetReplyTo(11);
    ASSERT_EQ(a.SaveMessage(), 0);
    EXPECT_EQ(a.GetMessageNumber(), 1);
    Compose(a, "two", {"second"});
    ASSERT_EQ(a.SaveMessage(), 0);
    Compose(a, "three", {"third"});
    ASSERT_EQ(a.SaveMessage(), 0);
    EXPECT_EQ(a.GetMessageNumber(), 3);
    EXPECT_EQ(a.CloseArea(), 0);
    EXPECT_TRUE(ChainsSound(ReadFile(dir / "new.sqd"), ReadFile(dir / "new.sqi")));

    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(OpenAreaByIdentifier(area, "S" + (dir / "new")));
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetFromName(), "\xCF\xE5\xF2\xF0");
    EXPECT_EQ(area->GetSubject(), "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 1");
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{2, 5020, 0, 3}));
    EXPECT_DOUBLE_EQ(area->GetDateTime(), EncodeDate(2025, 1, 6) + EncodeTime(4, 29, 58));
    EXPECT_TRUE(area->IsPrivate());
    EXPECT_FALSE(area->IsEcho());
    EXPECT_TRUE(area->IsRead());
    EXPECT_EQ(area->GetReplyTo(), 11);
    auto all = ReadAll(*area);
    ASSERT_EQ(all.size(), 3u);
    std::string joined;
    for (std::size_t i = 1; i < all[0].lines.size(); ++i) joined += all[0].lines[i];
    EXPECT_EQ(all[0].lines[0], "\xCD\xD2\xC2 line");
    EXPECT_EQ(joined, big);

    const std::string sqiBefore = ReadFile(dir / "new.sqi");
    const std::uint32_t freed = U32(sqiBefore, 0);
    area->LocateFrom(1);
    area->LoadHeader();
    area->DeleteCurrent();
    // A small message goes into the freed frame, a big one to the end.
    Compose(*area, "four", {"small"});
    ASSERT_EQ(area->SaveMessage(), 0);
    EXPECT_EQ(area->GetMessageNumber(), 4);
    std::string sqd = ReadFile(dir / "new.sqd"), sqi = ReadFile(dir / "new.sqi");
    EXPECT_EQ(U32(sqi, 2 * 12), freed);
    EXPECT_EQ(U32(sqd, 112), 0u);  // free chain empty again
    EXPECT_TRUE(ChainsSound(sqd, sqi));
    const std::size_t size = sqd.size();
    Compose(*area, "five", {std::string(5000, 'y')});
    ASSERT_EQ(area->SaveMessage(), 0);
    sqd = ReadFile(dir / "new.sqd"), sqi = ReadFile(dir / "new.sqi");
    EXPECT_EQ(U32(sqi, 3 * 12), size);
    EXPECT_TRUE(ChainsSound(sqd, sqi));
    all = ReadAll(*area);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].subject, "two");
    EXPECT_EQ(all[1].lines, std::vector<std::string>{"third"});
    EXPECT_EQ(all[2].subject, "four");
    EXPECT_EQ(all[2].lines, std::vector<std::string>{"small"});
    EXPECT_EQ(all[3].number, 5);
    CloseAreaAndFree(area);
}

TEST(SquishArea, LocateFromSeesMessagesAnotherWriterAdded) {
    TempDir dir;
    SquishArea writer, reader;
    writer.SetAreaPath(dir / "shared");
    reader.SetAreaPath(dir / "shared");
    ASSERT_EQ(writer.CreateArea(), 0);
    ASSERT_EQ(writer.OpenArea(), 0);
    ASSERT_EQ(reader.OpenArea(), 0);
    Compose(writer, "one", {"1"});
    ASSERT_EQ(writer.SaveMessage(), 0);
    EXPECT_EQ(ReadAll(reader).size(), 1u);
    Compose(writer, "two", {"2"});
    ASSERT_EQ(writer.SaveMessage(), 0);
    const auto all = ReadAll(reader);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].lines, std::vector<std::string>{"2"});
}

TEST(SquishArea, LastReadFileAndPathExpansion) {
    TempDir dir;
    SquishArea a;
    a.SetAreaPath(dir / "tv");
    EXPECT_EQ(a.GetLastRead(0), 0);
    a.SetLastRead(3, 77);
    EXPECT_EQ(ReadFile(dir / "tv.sql").size(), 16u);
    EXPECT_EQ(a.GetLastRead(3), 77);
    EXPECT_EQ(a.GetLastRead(2), 0);
    EXPECT_EQ(a.GetLastRead(4), 0);
    std::filesystem::remove(dir / "tv.sql");
    WriteFile(dir / "TV.SQL", std::string("\x2A\x00\x00\x00", 4));  // made by a DOS tool
    EXPECT_EQ(a.GetLastRead(0), 42);

    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(CreateAreaForIdentifier(area, "Ssub/../base"));
    auto* sq = dynamic_cast<SquishArea*>(area.get());
    ASSERT_NE(sq, nullptr);
    EXPECT_EQ(sq->BasePath(), (std::filesystem::current_path() / "base").string());
    std::filesystem::current_path(saved);
    DestroyArea(area);
    EXPECT_FALSE(OpenAreaByIdentifier(area, "S" + (dir / "missing")));
}

}  // namespace
}  // namespace orbisk
