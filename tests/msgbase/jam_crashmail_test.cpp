// The JAM kind against bases that crashmail made and keeps using: tossed
// listings read back exactly, our deletions leave a base crashmail goes on
// tossing into, and crashmail's tools accept messages we saved.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "msgbase/jamarea.h"
#include "msgbase/jam_image.h"
#include "support/crashmail.h"

namespace orbisk::test {
namespace {

// A listing part: subject and body as the mailing writes them, in CP866.
FidoTestMessage listing(int part) {
    // A channel "НТВ" (0x8D leads it) and programme lines.
    std::string body = "ТВ-программа "_cp1251 + std::to_string(part) + "/5\r\r";
    body += "НТВ\r"_cp1251;
    for (int h = 6; h < 24; ++h)
        body += (h < 10 ? "0" : "") + std::to_string(h) + ".00 Новости "_cp1251 + std::to_string(part) + "\r";
    const std::string subject = "TV " + std::to_string(part) + "/5 НТВ"_cp1251;
    return {"TV Robot", "All", ansiToOem(subject), ansiToOem(body), "Orbisk test"};
}

struct ReadMessage {
    MsgNumber number = 0;
    std::string subject, from;
    std::vector<std::string> lines;     // readTextLine
    std::vector<std::string> noKludge;  // readTextLineNoKludge
};

std::vector<ReadMessage> readAll(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    std::vector<ReadMessage> out;
    if (!openAreaByIdentifier(a, "J" + base)) {
        ADD_FAILURE() << "cannot open " << base;
        return out;
    }
    for (a->locateFrom(1); a->isLocated(); a->locateNext()) {
        a->loadHeader();
        ReadMessage m{a->getMessageNumber(), a->getSubject(), a->getFromName(), {}, {}};
        a->startText();
        while (!a->atTextEnd() && m.lines.size() < 1000) m.lines.push_back(a->readTextLine(255));
        a->startText();
        while (!a->atTextEnd() && m.noKludge.size() < 1000) m.noKludge.push_back(a->readTextLineNoKludge(255));
        out.push_back(std::move(m));
    }
    EXPECT_TRUE(closeAreaAndFree(a));
    return out;
}

// What our reader must give for a tossed message, after its kludge lines.
std::vector<std::string> expectedText(const FidoTestMessage& m) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : m.body) {
        if (c == '\r') {
            lines.push_back(oemToAnsi(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(oemToAnsi(cur));
    lines.push_back("--- CrashWrite II/Linux 1.7");
    lines.push_back(" * Origin: " + m.origin + " (2:5020/1.0)");
    return lines;
}

void expectTossed(const ReadMessage& got, MsgNumber number, const FidoTestMessage& sent) {
    SCOPED_TRACE("message " + std::to_string(number));
    EXPECT_EQ(got.number, number);
    EXPECT_EQ(got.subject, oemToAnsi(sent.subject));
    EXPECT_EQ(got.from, sent.from);
    ASSERT_GE(got.lines.size(), 3u);
    EXPECT_EQ(got.lines[0].rfind("\x01MSGID: 2:5020/1.0 ", 0), 0u) << got.lines[0];
    EXPECT_EQ(got.lines[1], "\x01SEEN-BY: 5020/1 9999");
    EXPECT_EQ(got.lines[2], "\x01PATH: 5020/9999");
    EXPECT_EQ(std::vector<std::string>(got.lines.begin() + 3, got.lines.end()), expectedText(sent));
    EXPECT_EQ(got.noKludge, expectedText(sent));
}

TEST(JamCrashmail, TossedListingsReadBackExactly) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    std::vector<FidoTestMessage> msgs;
    for (int i = 1; i <= 4; ++i) msgs.push_back(listing(i));
    msgs[3].subject = "Re: Re: other talk";
    const std::string base = tossMessages(dir.str(), AreaFormat::Jam, msgs);
    // crashmail mangles the "no password" checksum on every toss run; the
    // base opens all the same.
    EXPECT_NE(getLe32(readFile(base + ".jhr"), 16), 0xFFFFFFFFu);

    const auto got = readAll(base);
    ASSERT_EQ(got.size(), 4u);
    for (int i = 0; i < 3; ++i) expectTossed(got[i], i + 1, msgs[i]);
    EXPECT_EQ(got[3].subject, "other talk");

    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->countMessages(), 4);
    a->locateFrom(2);
    a->loadHeader();
    EXPECT_EQ(a->getOrigAddress(), (FidoAddress{2, 5020, 1, 0}));
    EXPECT_EQ(a->getToName(), "All");
    EXPECT_GT(a->getDateTime(), 40000.0);
    closeAreaAndFree(a);
}

TEST(JamCrashmail, AfterOurDeletionsCrashmailTossesOnAndAllReadsBack) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    std::vector<FidoTestMessage> msgs;
    for (int i = 1; i <= 5; ++i) msgs.push_back(listing(i));
    const std::string base = tossMessages(dir.str(), AreaFormat::Jam, msgs);

    // The program's deletion run: locate by number, load, delete.
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    for (MsgNumber n : {2, 4}) {
        a->locateFrom(n);
        ASSERT_TRUE(a->isLocated());
        a->loadHeader();
        ASSERT_EQ(a->getMessageNumber(), n);
        a->deleteCurrent();
    }
    EXPECT_TRUE(closeAreaAndFree(a));
    auto got = readAll(base);
    ASSERT_EQ(got.size(), 3u);
    expectTossed(got[0], 1, msgs[0]);
    expectTossed(got[1], 3, msgs[2]);
    expectTossed(got[2], 5, msgs[4]);

    // crashmail appends to the base as we left it (tossMessages checks it grew).
    const std::vector<FidoTestMessage> more = {listing(6), listing(7)};
    tossMessages(dir.str(), AreaFormat::Jam, more);
    got = readAll(base);
    ASSERT_EQ(got.size(), 5u);
    expectTossed(got[0], 1, msgs[0]);
    expectTossed(got[1], 3, msgs[2]);
    expectTossed(got[2], 5, msgs[4]);
    expectTossed(got[3], 6, more[0]);
    expectTossed(got[4], 7, more[1]);
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->countMessages(), 5);
    EXPECT_EQ(a->getHighNumber(), 7);
    closeAreaAndFree(a);
}

void saveOne(MessageArea& a, const std::string& subject, const std::vector<std::string>& body) {
    a.startNewMessage();
    a.setFromName("Orbisk");
    a.setToName("All");
    a.setSubject(subject);
    a.setOrigAddress({2, 5020, 9999, 0});
    a.setMailKind(1);
    a.writeKludgeLine("\x01MSGID: 2:5020/9999 1234abcd");
    for (const auto& l : body) a.writeTextLine(l);
    ASSERT_EQ(a.saveMessage(), 0);
}

TEST(JamCrashmail, CrashmailTakesBasesWithOurMessages) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    const std::vector<std::string> ourBody = {"НТВ"_cp1251, "07.00 Новости"_cp1251};
    {
        // crashmail's message, ours, then crashmail's again.
        TempDir dir;
        const std::string base = tossMessages(dir.str(), AreaFormat::Jam, {listing(1)});
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
        saveOne(*a, "Ours", ourBody);
        EXPECT_TRUE(closeAreaAndFree(a));
        tossMessages(dir.str(), AreaFormat::Jam, {listing(3)});
        const auto got = readAll(base);
        ASSERT_EQ(got.size(), 3u);
        expectTossed(got[0], 1, listing(1));
        EXPECT_EQ(got[1].subject, "Ours");
        EXPECT_EQ(got[1].lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 1234abcd", ourBody[0], ourBody[1]}));
        expectTossed(got[2], 3, listing(3));
    }
    {
        // A base we created, holding one message of ours: crashmaint packs
        // it (its pack reads every message and fails on two or more, or on a
        // dead index record), then crashmail tosses into it.
        TempDir dir;
        writeCrashmailConfig(dir.str());
        const std::string base = crashmailAreaPath(dir.str(), AreaFormat::Jam);
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(createAreaForIdentifier(a, "J" + base));
        ASSERT_EQ(a->createArea(), 0);
        ASSERT_EQ(a->openArea(), 0);
        saveOne(*a, "Packed", ourBody);
        EXPECT_TRUE(closeAreaAndFree(a));
        const std::string before = readFile(base + ".jhr");
        const ToolRun pack = runCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST_JAM"});
        EXPECT_TRUE(crashmaintSucceeded(pack)) << pack.output;
        EXPECT_NE(readFile(base + ".jhr"), before);  // the pack copied our message into a new base
        tossMessages(dir.str(), AreaFormat::Jam, {listing(2)});
        const auto got = readAll(base);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].subject, "Packed");
        EXPECT_EQ(got[0].lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 1234abcd", ourBody[0], ourBody[1]}));
        expectTossed(got[1], 2, listing(2));
    }
}

}  // namespace
}  // namespace orbisk::test
