#include "msgbase/messagearea.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"

namespace orbisk {
namespace {

// A kind over an in-memory OEM text, with the end test by position as the
// JAM kind makes it and NUL reported by readChar.
struct FakeConfig {
    ResultCode openResult = 0;
    ResultCode closeResult = 0;
    int created = 0;
    int destroyed = 0;  // Destroy calls
    int freed = 0;      // destructor runs
};
FakeConfig g_fake;

class FakeArea : public MessageArea {
public:
    FakeArea() { ++g_fake.created; }
    ~FakeArea() override { ++g_fake.freed; }

    void destroy() override { ++g_fake.destroyed; }
    void setAreaPath(const std::string& p) override { path = p; }
    ResultCode openArea() override { return g_fake.openResult; }
    ResultCode closeArea() override { return g_fake.closeResult; }

    void setText(std::string t) {
        text = std::move(t);
        startText();
    }
    void startText() override {
        pos = 0;
        ended = false;
        lastLineWrapped_ = false;
    }
    char readChar() override {
        if (ended || pos >= static_cast<std::int64_t>(text.size()) || text[static_cast<std::size_t>(pos)] == '\0') {
            ended = true;
            return '\0';
        }
        return text[static_cast<std::size_t>(pos++)];
    }
    bool atTextEnd() override { return ended || pos >= static_cast<std::int64_t>(text.size()); }
    std::int64_t getTextPosition() override { return pos; }
    void setTextPosition(std::int64_t p) override { pos = p; }

    std::string getSubject() override { return cleanSubject(subject); }
    void writeTextLine(const std::string& t) override { written.push_back(t); }

    // Numbers 1..highNumber with gaps.
    void locateFrom(MsgNumber n) override {
        current = n - 1;
        locateNext();
    }
    void locateNext() override {
        do ++current;
        while (current <= highNumber && !numbers.count(current));
        if (current > highNumber) current = 0;
    }
    void locatePrior() override {
        if (current == 0) current = highNumber + 1;
        do --current;
        while (current > 0 && !numbers.count(current));
    }
    bool isLocated() override { return current != 0; }
    MsgNumber getMessageNumber() override { return current; }
    MsgNumber getHighNumber() override { return highNumber; }

    std::string path, text, subject;
    std::vector<std::string> written;
    std::int64_t pos = 0;
    bool ended = false;
    std::set<MsgNumber> numbers;
    MsgNumber highNumber = 0, current = 0;
};

std::vector<std::string> lines(FakeArea& a, std::uint16_t maxLen, std::vector<bool>* wrapped = nullptr, bool noKludge = false) {
    std::vector<std::string> out;
    for (int guard = 0; !a.atTextEnd() && guard < 1000; ++guard) {
        out.push_back(noKludge ? a.readTextLineNoKludge(maxLen) : a.readTextLine(maxLen));
        if (wrapped) wrapped->push_back(a.getLastLineWrapped());
    }
    return out;
}

using V = std::vector<std::string>;
using B = std::vector<bool>;

TEST(SharedLineReader, WrapsAtTheLastSpace) {
    FakeArea a;
    a.setText("Hello world");
    B w;
    EXPECT_EQ(lines(a, 8, &w), (V{"Hello ", "world"}));
    EXPECT_EQ(w, (B{true, true}));  // the last line has no CR
    EXPECT_EQ(a.readTextLine(8), "");  // past the end: empty lines, no failure
    EXPECT_TRUE(a.atTextEnd());

    const std::string longLine(300, 'a');
    a.setText(longLine + "\rnext\r");
    w.clear();
    EXPECT_EQ(lines(a, 255, &w), (V{longLine.substr(0, 255), longLine.substr(255), "next"}));
    EXPECT_EQ(w, (B{true, false, false}));

    // A CR right after a full line ends that line instead of an empty one.
    a.setText("abcd\refgh ij\r");
    w.clear();
    EXPECT_EQ(lines(a, 4, &w), (V{"abcd", "efgh", "ij"}));
    EXPECT_EQ(w, (B{false, true, false}));

    a.setText("ab");
    EXPECT_EQ(lines(a, 0), (V{"a", "b"}));  // maxLen 0 reads as 1 rather than never advancing
}

TEST(SharedLineReader, SkipsOneSpaceAfterAWrap) {
    FakeArea a;
    a.setText("abcdefgh ijk\r");
    EXPECT_EQ(lines(a, 8), (V{"abcdefgh", "ijk"}));
    a.setText("abcdefgh  ijk\r");
    EXPECT_EQ(lines(a, 8), (V{"abcdefgh", " ijk"}));
    a.setText(" lead\r");  // no wrap before: the space is text
    EXPECT_EQ(lines(a, 8), (V{" lead"}));
    a.setText("one two three four\r");
    EXPECT_EQ(lines(a, 9), (V{"one two ", "three ", "four"}));
}

TEST(SharedLineReader, ControlCharactersAndCodePage) {
    FakeArea a;
    a.setText("a\r\nb\n c\r");
    EXPECT_EQ(lines(a, 80), (V{"a", "b c"}));
    // 866 "НТВ" (0x8D first) arrives whole as 1251.
    a.setText(ansiToOem("НТВ новости\r"_cp1251));
    EXPECT_EQ(lines(a, 80), (V{"НТВ новости"_cp1251}));
    // The text ends at its first NUL, also in the middle of a line.
    a.setText(std::string("one\rtw\0o\rthree\r", 15));
    EXPECT_EQ(lines(a, 80), (V{"one", "tw"}));
    EXPECT_TRUE(a.atTextEnd());
    EXPECT_EQ(a.readTextLine(80), "");
    a.setText(std::string("abcd\0efgh", 9));
    EXPECT_EQ(lines(a, 4), (V{"abcd"}));
}

TEST(SharedLineReader, KludgeLinesAreSkipped) {
    FakeArea a;
    a.setText("\x01PID: x\r\x01MSGID: 2:5020/1 1\rtext\r\x01Via y\rmore\r");
    EXPECT_EQ(lines(a, 255, nullptr, true), (V{"text", "more"}));
    a.setText("\x01PID: x\r\x01MSGID: y");
    EXPECT_EQ(lines(a, 255, nullptr, true), (V{"\x01MSGID: y"}));  // the last one comes back
    // A control line longer than maxLen does not leak its tail into the text.
    a.setText("\x01" + std::string(300, 'k') + "\rtext\r");
    EXPECT_EQ(lines(a, 255, nullptr, true), (V{"text"}));
    const std::string seenBy = "\x01" "SEEN-BY: 5020/1 " + std::string(20, 'x') + "\r";
    a.setText(seenBy);
    EXPECT_EQ(lines(a, 10), (V{"\x01SEEN-BY: ", "5020/1 ", std::string(10, 'x'), std::string(10, 'x')}));
    a.setText(seenBy + "text\r");
    EXPECT_EQ(lines(a, 10, nullptr, true), (V{"text"}));
}

TEST(MessageArea, SharedOperationsAndSubjects) {
    FakeArea a;
    a.subject = "Re: RE:  News";
    EXPECT_EQ(a.getSubject(), "News");
    a.subject = "RE:RE:";
    EXPECT_EQ(a.getSubject(), "");
    a.subject = "Reply";
    EXPECT_EQ(a.getSubject(), "Reply");
    a.subject = ansiToOem("Re: ТВ на неделю"_cp1251);
    EXPECT_EQ(a.getSubject(), "ТВ на неделю"_cp1251);

    a.numbers = {3, 7};
    a.highNumber = 9;  // reserved beyond the highest message
    EXPECT_EQ(a.getHighestExisting(), 7);
    EXPECT_EQ(a.getMessageNumber(), 7);
    EXPECT_EQ(a.getDisplayNumber(), 7);
    a.numbers.clear();
    EXPECT_EQ(a.getHighestExisting(), 0);
    EXPECT_EQ(a.getNextReplyLink(), 0);

    a.writeKludgeLine("\x01PID: Orbisk");
    EXPECT_EQ(a.written, (V{"\x01PID: Orbisk"}));
}

TEST(MessageArea, LeftOutOperationsAnswerNeutrally) {
    FakeArea a;
    EXPECT_EQ(a.lastUnimplementedCall(), nullptr);
    EXPECT_FALSE(a.lockArea());
    EXPECT_STREQ(a.lastUnimplementedCall(), "LockArea");
    EXPECT_EQ(a.saveMessage(), kNotImplemented);
    EXPECT_STREQ(a.lastUnimplementedCall(), "SaveMessage");
    a.setFormatOption(true);
    EXPECT_STREQ(a.lastUnimplementedCall(), "SetFormatOption");

    MessageArea bare;  // a kind that implements nothing cannot trap a reader
    EXPECT_TRUE(bare.atTextEnd());
    EXPECT_EQ(bare.readTextLineNoKludge(255), "");
    bare.locateFrom(1);
    EXPECT_FALSE(bare.isLocated());
    EXPECT_EQ(bare.openArea(), kNotImplemented);
}

class AreaFactoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = {};
        ASSERT_TRUE(registerAreaKind('q', &makeArea<FakeArea>));
    }
    void TearDown() override { registerAreaKind('Q', nullptr); }
};

TEST_F(AreaFactoryTest, IdentifierGrammar) {
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(createAreaForIdentifier(area, "Q/fido/tvlist/"));
    EXPECT_EQ(static_cast<FakeArea&>(*area).path, "/fido/tvlist/");
    ASSERT_TRUE(createAreaForIdentifier(area, "q/fido/tvlist/"));  // letter in either case
    EXPECT_EQ(static_cast<FakeArea&>(*area).path, "/fido/tvlist/");
    EXPECT_EQ(g_fake.freed, 1);  // the earlier object went away

    // The settings file holds values of up to 2,047 characters.
    const std::string longPath(2046, 'p');
    ASSERT_TRUE(createAreaForIdentifier(area, "Q" + longPath));
    EXPECT_EQ(static_cast<FakeArea&>(*area).path, longPath);
    ASSERT_TRUE(createAreaForIdentifier(area, "Q"));
    EXPECT_EQ(static_cast<FakeArea&>(*area).path, "");

    const int created = g_fake.created;
    for (const char* bad : {"", "X/fido", "I/inet", "1/fido", "Ф/fido"_cp1251}) {
        EXPECT_FALSE(createAreaForIdentifier(area, bad)) << bad;
        EXPECT_EQ(area, nullptr);
        EXPECT_FALSE(openAreaByIdentifier(area, bad)) << bad;
        EXPECT_EQ(area, nullptr);
    }
    EXPECT_EQ(g_fake.created, created);
    EXPECT_FALSE(registerAreaKind('1', &makeArea<FakeArea>));
}

TEST_F(AreaFactoryTest, OpenAndClose) {
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(openAreaByIdentifier(area, "q/x"));
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(closeAreaAndFree(area));
    EXPECT_EQ(area, nullptr);
    EXPECT_EQ(g_fake.destroyed, 1);
    EXPECT_EQ(g_fake.freed, 1);

    g_fake.openResult = 500;
    EXPECT_FALSE(openAreaByIdentifier(area, "q/x"));
    EXPECT_EQ(area, nullptr);
    EXPECT_EQ(g_fake.destroyed, 2);
    EXPECT_EQ(g_fake.freed, 2);

    g_fake.openResult = 0;
    g_fake.closeResult = 5;
    ASSERT_TRUE(openAreaByIdentifier(area, "q/x"));
    EXPECT_FALSE(closeAreaAndFree(area));  // still freed
    EXPECT_EQ(area, nullptr);
    EXPECT_EQ(g_fake.freed, 3);
    EXPECT_FALSE(closeAreaAndFree(area));  // nothing there
    EXPECT_EQ(g_fake.destroyed, 3);

    destroyArea(area);  // null is fine
    registerAreaKind('q', nullptr);
    EXPECT_FALSE(openAreaByIdentifier(area, "q/x"));
}

}  // namespace
}  // namespace orbisk
