// The JAM kind against bases that crashmail made and keeps using: tossed
// listings read back exactly, our deletions leave a base crashmail goes on
// tossing into, and crashmail's tools accept messages we saved.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "msgbase/jamarea.h"
#include "msgbase/jam_image.h"
#include "support/crashmail.h"

namespace orbisk::test {
namespace {

// A listing part: subject and body as the mailing writes them, in CP866.
FidoTestMessage Listing(int part) {
    // "ТВ-программа", a channel "НТВ" (0x8D leads it) and programme lines.
    std::string body = "\x92\x82-\xAF\xE0\xAE\xA3\xE0\xA0\xAC\xAC\xA0 " + std::to_string(part) + "/5\r\r";
    body += "\x8D\x92\x82\r";
    for (int h = 6; h < 24; ++h)
        body += (h < 10 ? "0" : "") + std::to_string(h) + ".00 \x8D\xAE\xA2\xAE\xE1\xE2\xA8 " + std::to_string(part) + "\r";
    return {"TV Robot", "All", "TV " + std::to_string(part) + "/5 \x8D\x92\x82", body, "Orbisk test"};
}

struct ReadMessage {
    MsgNumber number = 0;
    std::string subject, from;
    std::vector<std::string> lines;     // ReadTextLine
    std::vector<std::string> noKludge;  // ReadTextLineNoKludge
};

std::vector<ReadMessage> ReadAll(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    std::vector<ReadMessage> out;
    if (!OpenAreaByIdentifier(a, "J" + base)) {
        ADD_FAILURE() << "cannot open " << base;
        return out;
    }
    for (a->LocateFrom(1); a->IsLocated(); a->LocateNext()) {
        a->LoadHeader();
        ReadMessage m{a->GetMessageNumber(), a->GetSubject(), a->GetFromName(), {}, {}};
        a->StartText();
        while (!a->AtTextEnd() && m.lines.size() < 1000) m.lines.push_back(a->ReadTextLine(255));
        a->StartText();
        while (!a->AtTextEnd() && m.noKludge.size() < 1000) m.noKludge.push_back(a->ReadTextLineNoKludge(255));
        out.push_back(std::move(m));
    }
    EXPECT_TRUE(CloseAreaAndFree(a));
    return out;
}

// What our reader must give for a tossed message, after its kludge lines.
std::vector<std::string> ExpectedText(const FidoTestMessage& m) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : m.body) {
        if (c == '\r') {
            lines.push_back(OemToAnsi(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(OemToAnsi(cur));
    lines.push_back("--- CrashWrite II/Linux 1.7");
    lines.push_back(" * Origin: " + m.origin + " (2:5020/1.0)");
    return lines;
}

void ExpectTossed(const ReadMessage& got, MsgNumber number, const FidoTestMessage& sent) {
    SCOPED_TRACE("message " + std::to_string(number));
    EXPECT_EQ(got.number, number);
    EXPECT_EQ(got.subject, OemToAnsi(sent.subject));
    EXPECT_EQ(got.from, sent.from);
    ASSERT_GE(got.lines.size(), 3u);
    EXPECT_EQ(got.lines[0].rfind("\x01MSGID: 2:5020/1.0 ", 0), 0u) << got.lines[0];
    EXPECT_EQ(got.lines[1], "\x01SEEN-BY: 5020/1 9999");
    EXPECT_EQ(got.lines[2], "\x01PATH: 5020/9999");
    EXPECT_EQ(std::vector<std::string>(got.lines.begin() + 3, got.lines.end()), ExpectedText(sent));
    EXPECT_EQ(got.noKludge, ExpectedText(sent));
}

TEST(JamCrashmail, TossedListingsReadBackExactly) {
    if (!CrashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    std::vector<FidoTestMessage> msgs;
    for (int i = 1; i <= 4; ++i) msgs.push_back(Listing(i));
    msgs[3].subject = "Re: Re: other talk";
    const std::string base = TossMessages(dir.str(), AreaFormat::Jam, msgs);
    // crashmail mangles the "no password" checksum on every toss run; the
    // base opens all the same.
    EXPECT_NE(GetLe32(ReadFile(base + ".jhr"), 16), 0xFFFFFFFFu);

    const auto got = ReadAll(base);
    ASSERT_EQ(got.size(), 4u);
    for (int i = 0; i < 3; ++i) ExpectTossed(got[i], i + 1, msgs[i]);
    EXPECT_EQ(got[3].subject, "other talk");

    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->CountMessages(), 4);
    a->LocateFrom(2);
    a->LoadHeader();
    EXPECT_EQ(a->GetOrigAddress(), (FidoAddress{2, 5020, 1, 0}));
    EXPECT_EQ(a->GetToName(), "All");
    EXPECT_GT(a->GetDateTime(), 40000.0);
    CloseAreaAndFree(a);
}

TEST(JamCrashmail, AfterOurDeletionsCrashmailTossesOnAndAllReadsBack) {
    if (!CrashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    std::vector<FidoTestMessage> msgs;
    for (int i = 1; i <= 5; ++i) msgs.push_back(Listing(i));
    const std::string base = TossMessages(dir.str(), AreaFormat::Jam, msgs);

    // The program's deletion run: locate by number, load, delete.
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    for (MsgNumber n : {2, 4}) {
        a->LocateFrom(n);
        ASSERT_TRUE(a->IsLocated());
        a->LoadHeader();
        ASSERT_EQ(a->GetMessageNumber(), n);
        a->DeleteCurrent();
    }
    EXPECT_TRUE(CloseAreaAndFree(a));
    auto got = ReadAll(base);
    ASSERT_EQ(got.size(), 3u);
    ExpectTossed(got[0], 1, msgs[0]);
    ExpectTossed(got[1], 3, msgs[2]);
    ExpectTossed(got[2], 5, msgs[4]);

    // crashmail appends to the base as we left it (TossMessages checks it grew).
    const std::vector<FidoTestMessage> more = {Listing(6), Listing(7)};
    TossMessages(dir.str(), AreaFormat::Jam, more);
    got = ReadAll(base);
    ASSERT_EQ(got.size(), 5u);
    ExpectTossed(got[0], 1, msgs[0]);
    ExpectTossed(got[1], 3, msgs[2]);
    ExpectTossed(got[2], 5, msgs[4]);
    ExpectTossed(got[3], 6, more[0]);
    ExpectTossed(got[4], 7, more[1]);
    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->CountMessages(), 5);
    EXPECT_EQ(a->GetHighNumber(), 7);
    CloseAreaAndFree(a);
}

void SaveOne(MessageArea& a, const std::string& subject, const std::vector<std::string>& body) {
    a.StartNewMessage();
    a.SetFromName("Orbisk");
    a.SetToName("All");
    a.SetSubject(subject);
    a.SetOrigAddress({2, 5020, 9999, 0});
    a.SetMailKind(1);
    a.WriteKludgeLine("\x01MSGID: 2:5020/9999 1234abcd");
    for (const auto& l : body) a.WriteTextLine(l);
    ASSERT_EQ(a.SaveMessage(), 0);
}

TEST(JamCrashmail, CrashmailTakesBasesWithOurMessages) {
    if (!CrashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    const std::vector<std::string> ourBody = {"\xCD\xD2\xC2", "07.00 \xCD\xEE\xE2\xEE\xF1\xF2\xE8"};  // "НТВ", "07.00 Новости"
    {
        // crashmail's message, ours, then crashmail's again.
        TempDir dir;
        const std::string base = TossMessages(dir.str(), AreaFormat::Jam, {Listing(1)});
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
        SaveOne(*a, "Ours", ourBody);
        EXPECT_TRUE(CloseAreaAndFree(a));
        TossMessages(dir.str(), AreaFormat::Jam, {Listing(3)});
        const auto got = ReadAll(base);
        ASSERT_EQ(got.size(), 3u);
        ExpectTossed(got[0], 1, Listing(1));
        EXPECT_EQ(got[1].subject, "Ours");
        EXPECT_EQ(got[1].lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 1234abcd", ourBody[0], ourBody[1]}));
        ExpectTossed(got[2], 3, Listing(3));
    }
    {
        // A base we created, holding one message of ours: crashmaint packs
        // it (its pack reads every message and fails on two or more, or on a
        // dead index record), then crashmail tosses into it.
        TempDir dir;
        WriteCrashmailConfig(dir.str());
        const std::string base = CrashmailAreaPath(dir.str(), AreaFormat::Jam);
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(CreateAreaForIdentifier(a, "J" + base));
        ASSERT_EQ(a->CreateArea(), 0);
        ASSERT_EQ(a->OpenArea(), 0);
        SaveOne(*a, "Packed", ourBody);
        EXPECT_TRUE(CloseAreaAndFree(a));
        const std::string before = ReadFile(base + ".jhr");
        const ToolRun pack = RunCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST_JAM"});
        EXPECT_TRUE(CrashmaintSucceeded(pack)) << pack.output;
        EXPECT_NE(ReadFile(base + ".jhr"), before);  // the pack copied our message into a new base
        TossMessages(dir.str(), AreaFormat::Jam, {Listing(2)});
        const auto got = ReadAll(base);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].subject, "Packed");
        EXPECT_EQ(got[0].lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 1234abcd", ourBody[0], ourBody[1]}));
        ExpectTossed(got[1], 2, Listing(2));
    }
}

}  // namespace
}  // namespace orbisk::test
