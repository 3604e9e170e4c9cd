// The Fido *.MSG kind against a real tosser: crashmail writes the areas we
// read and delete from, crashmaint checks what we leave behind and what we
// write.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/fidomsgarea.h"
#include "msgbase/messagearea.h"
#include "support/crashmail.h"

namespace orbisk::test {
namespace {

namespace fs = std::filesystem;

const char* const kTearline = "--- CrashWrite II/Linux 1.7";

// Every line of the current message, control lines included.
std::vector<std::string> allLines(MessageArea& a) {
    std::vector<std::string> out;
    a.startText();
    for (int guard = 0; !a.atTextEnd() && guard < 10000; ++guard) out.push_back(a.readTextLine(255));
    return out;
}

// What crashmail stores for a body, as our reader must give it back (ANSI).
std::vector<std::string> expected(const std::vector<std::string>& oemBody, const std::string& origin) {
    std::vector<std::string> out;
    for (const auto& l : oemBody) out.push_back(oemToAnsi(l));
    out.push_back(kTearline);
    out.push_back(" * Origin: " + origin + " (2:5020/1.0)");
    out.push_back("SEEN-BY: 5020/1 9999");
    out.push_back("\x01PATH: 5020/9999");
    return out;
}

std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r";
    return s;
}

struct Tossed {
    std::string subject;
    std::vector<std::string> body;  // OEM
};

std::vector<Tossed> sample() {
    return {
        {"TV listing 1/3", {"MONDAY 09.03", "", "NTV", "07.00 News", "07.30 Weather and more news than fits"}},
        // "Программа НТВ" / "НТВ 07.00 Новости": 0x8D is the first letter of НТВ
        {ansiToOem("Программа НТВ"_cp1251),
         {ansiToOem("НТВ 07.00 Новости"_cp1251), ansiToOem("ННН"_cp1251), ansiToOem("рст при"_cp1251)}},
        {"Third", {"just one line"}},
        {"Fourth", {"four", "lines", "of", "text"}},
    };
}

std::string toss(const TempDir& dir, const std::vector<Tossed>& msgs) {
    std::vector<FidoTestMessage> in;
    for (const auto& m : msgs) in.push_back({"Ivan Petrov", "All", m.subject, join(m.body)});
    return tossMessages(dir.str(), AreaFormat::Msg, in);
}

TEST(FidoMsgCrashmail, TossedMessagesReadBackLineForLine) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const auto msgs = sample();
    const std::string path = toss(dir, msgs);

    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    EXPECT_EQ(area->countMessages(), 4);
    std::size_t i = 0;
    for (area->locateFrom(1); area->isLocated(); area->locateNext(), ++i) {
        ASSERT_LT(i, msgs.size());
        SCOPED_TRACE(msgs[i].subject);
        area->loadHeader();
        EXPECT_EQ(area->getMessageNumber(), static_cast<MsgNumber>(i + 2));  // crashmail starts at 2
        EXPECT_EQ(area->getSubject(), oemToAnsi(msgs[i].subject));
        EXPECT_EQ(area->getFromName(), "Ivan Petrov");  // garbage after the NUL is not read
        EXPECT_EQ(area->getToName(), "All");
        EXPECT_TRUE(area->isSent());
        EXPECT_GT(area->getDateTime(), encodeDate(2020, 1, 1));
        auto lines = allLines(*area);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind("\x01MSGID: 2:5020/1.0 ", 0), 0u) << lines[0];
        lines.erase(lines.begin());
        EXPECT_EQ(lines, expected(msgs[i].body, "Orbisk test"));
        // The program's road: kludges left out, the rest the same.
        area->startText();
        std::vector<std::string> plain;
        while (!area->atTextEnd()) plain.push_back(area->readTextLineNoKludge(255));
        // ^APATH ends the text, so it comes back as the last line.
        EXPECT_EQ(plain, expected(msgs[i].body, "Orbisk test"));
    }
    EXPECT_EQ(i, msgs.size());
    EXPECT_TRUE(closeAreaAndFree(area));
}

TEST(FidoMsgCrashmail, AfterDeletionTheRestReadsWholeAndCrashmaintPacks) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const auto msgs = sample();
    const std::string path = toss(dir, msgs);

    // The program's deletion road: locate, load, delete, for 3 and 4.
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    for (MsgNumber n : {3, 4}) {
        area->locateFrom(n);
        ASSERT_TRUE(area->isLocated());
        ASSERT_EQ(area->getMessageNumber(), n);
        area->loadHeader();
        area->deleteCurrent();
    }
    EXPECT_TRUE(closeAreaAndFree(area));
    EXPECT_FALSE(fs::exists(path + "/3.msg"));
    EXPECT_FALSE(fs::exists(path + "/4.msg"));

    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    std::vector<MsgNumber> seen;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        seen.push_back(area->getMessageNumber());
        const auto& m = msgs[area->getMessageNumber() == 2 ? 0 : 3];
        EXPECT_EQ(area->getSubject(), m.subject);
        auto lines = allLines(*area);
        lines.erase(lines.begin());
        EXPECT_EQ(lines, expected(m.body, "Orbisk test"));
    }
    EXPECT_EQ(seen, (std::vector<MsgNumber>{2, 5}));
    EXPECT_TRUE(closeAreaAndFree(area));

    const ToolRun pack = runCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST"});
    EXPECT_TRUE(crashmaintSucceeded(pack)) << pack.output;
    EXPECT_NE(pack.output.find("Renaming message 5 to 3"), std::string::npos) << pack.output;

    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    area->locateFrom(3);
    ASSERT_EQ(area->getMessageNumber(), 3);
    area->loadHeader();
    EXPECT_EQ(area->getSubject(), "Fourth");
    area->locateNext();
    EXPECT_FALSE(area->isLocated());
}

// Our write side makes messages that crashmaint handles like its own and
// that crashmail tosses after: it packs and renumbers them, and the reader
// gets back what was written.
TEST(FidoMsgCrashmail, OurMessagesArePackedAndTossedAfter) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const std::string path = toss(dir, {sample()[2]});  // crashmail makes the directory and 2.msg

    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    const DateTime when = encodeDate(2026, 3, 9) + encodeTime(18, 5);
    for (int i = 0; i < 3; ++i) {
        area->startNewMessage();
        area->setFromName("Orbisk");
        area->setToName("All");
        area->setSubject("НТВ "_cp1251 + std::to_string(i));
        area->setDateTime(when);
        area->setOrigAddress({2, 5020, 9999, 0});
        area->setDestAddress({2, 5020, 1, 0});
        area->setLocalFlag(true);
        area->writeKludgeLine("\x01MSGID: 2:5020/9999 " + std::to_string(1000 + i));
        area->writeTextLine("НТВ 07.00 Новости"_cp1251);
        area->writeTextLine("line " + std::to_string(i));
        ASSERT_EQ(area->saveMessage(), 0);
        EXPECT_EQ(area->getMessageNumber(), 3 + i);
    }
    // A gap for PACK to close: 4 goes.
    area->locateFrom(4);
    area->loadHeader();
    area->deleteCurrent();
    EXPECT_TRUE(closeAreaAndFree(area));

    const ToolRun pack = runCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST"});
    EXPECT_TRUE(crashmaintSucceeded(pack)) << pack.output;
    EXPECT_NE(pack.output.find("Renaming message 5 to 4"), std::string::npos) << pack.output;

    // crashmail tosses after our messages: the next number follows them.
    toss(dir, {sample()[3]});

    ASSERT_TRUE(openAreaByIdentifier(area, "F" + path));
    std::vector<std::string> subjects;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        subjects.push_back(area->getSubject());
        if (area->getMessageNumber() == 4) {
            EXPECT_EQ(area->getFromName(), "Orbisk");
            EXPECT_TRUE(area->isLocal());
            EXPECT_DOUBLE_EQ(area->getDateTime(), when);
            EXPECT_EQ(allLines(*area),
                      (std::vector<std::string>{"\x01MSGID: 2:5020/9999 1002", "НТВ 07.00 Новости"_cp1251, "line 2"}));
        }
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"Third", "НТВ 0"_cp1251, "НТВ 2"_cp1251, "Fourth"}));
}

}  // namespace
}  // namespace orbisk::test
