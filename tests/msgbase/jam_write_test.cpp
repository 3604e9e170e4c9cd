// JAM deletion, locking and the write side: what changes on disk, and what
// must not.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/crc32.h"
#include "msgbase/fileio.h"
#include "msgbase/jamarea.h"
#include "msgbase/jam_image.h"
#include "support/tempdir.h"

namespace orbisk::test {
namespace {

std::vector<std::string> subjects(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    std::vector<std::string> out;
    if (!openAreaByIdentifier(a, "J" + base)) return {"<no open>"};
    for (a->locateFrom(1); a->isLocated(); a->locateNext()) {
        a->loadHeader();
        out.push_back(std::to_string(a->getMessageNumber()) + ":" + a->getSubject());
    }
    closeAreaAndFree(a);
    return out;
}

bool deleteMessage(const std::string& base, MsgNumber n) {
    std::unique_ptr<MessageArea> a;
    if (!openAreaByIdentifier(a, "J" + base)) return false;
    a->locateFrom(n);
    const bool found = a->isLocated();
    if (found) {
        a->loadHeader();
        a->deleteCurrent();
    }
    return closeAreaAndFree(a) && found;
}

TEST(JamDelete, MarksHeaderKillsIndexRecordAndCountsOnce) {
    TempDir dir;
    const std::string base = dir / "area";
    writeJam(base, buildJam({{{{6, "a"}}, "A\r"}, {{{6, "b"}}, "B\r"}, {{{6, "c"}}, "C\r"}}));
    const std::string jdtBefore = readFile(base + ".jdt");

    ASSERT_TRUE(deleteMessage(base, 2));
    std::string jhr = readFile(base + ".jhr"), jdx = readFile(base + ".jdx");
    EXPECT_EQ(getLe32(jhr, 12), 2u);  // active messages
    EXPECT_EQ(getLe32(jhr, 8), 1u);   // modification counter
    EXPECT_EQ(getLe32(jdx, 8), 0xFFFFFFFFu);
    EXPECT_EQ(getLe32(jdx, 12), 0xFFFFFFFFu);
    const std::uint32_t h1 = getLe32(jdx, 4), h3 = getLe32(jdx, 20);
    EXPECT_EQ(getLe32(jhr, h1 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(getLe32(jhr, h3 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(readFile(base + ".jdt"), jdtBefore);
    EXPECT_EQ(subjects(base), (std::vector<std::string>{"1:a", "3:c"}));
    EXPECT_EQ(getLe32(readFile(base + ".jhr"), 16), 0xFFFFFFFFu);  // password checksum untouched

    // The same message once more, in the same session: nothing changes.
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    a->locateFrom(3);
    a->loadHeader();
    a->deleteCurrent();
    EXPECT_TRUE(a->isDeleted());
    const std::string after = readFile(base + ".jhr");
    a->deleteCurrent();
    closeAreaAndFree(a);
    EXPECT_EQ(readFile(base + ".jhr"), after);
    EXPECT_EQ(getLe32(after, 12), 1u);
    EXPECT_EQ(getLe32(after, 8), 2u);
    EXPECT_NE(getLe32(after, h3 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(subjects(base), (std::vector<std::string>{"1:a"}));

    // A message another tool marked deleted in its header only is not found
    // again, so it cannot be deleted twice either.
    EXPECT_FALSE(deleteMessage(base, 3));
}

TEST(JamDelete, LockHeldElsewhereChangesNothing) {
    TempDir dir;
    const std::string base = dir / "area";
    writeJam(base, buildJam({{{{6, "a"}}, "A\r"}, {{{6, "b"}}, "B\r"}}));
    const std::string jhr = readFile(base + ".jhr"), jdx = readFile(base + ".jdx");
    FileHandle other;
    ASSERT_TRUE(openExisting(other, base + ".jhr", kModeReadWrite));
    ASSERT_TRUE(lockRange(other, 0, 1));
    const auto savedRetries = sharingRetryCount;
    sharingRetryCount = 3;
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    EXPECT_FALSE(a->lockArea());
    a->locateFrom(1);
    a->loadHeader();
    a->deleteCurrent();
    a->startNewMessage();
    a->setSubject("new");
    EXPECT_EQ(a->saveMessage(), kIoAccessDenied);
    EXPECT_EQ(readFile(base + ".jhr"), jhr);
    EXPECT_EQ(readFile(base + ".jdx"), jdx);

    unlockRange(other, 0, 1);
    sharingRetryCount = savedRetries;
    EXPECT_TRUE(a->lockArea());
    EXPECT_TRUE(a->lockArea());  // nests
    EXPECT_TRUE(a->unlockArea());
    EXPECT_FALSE(lockRange(other, 0, 1));  // still held by the outer level
    EXPECT_TRUE(a->unlockArea());
    EXPECT_FALSE(a->unlockArea());
    EXPECT_TRUE(lockRange(other, 0, 1));
    unlockRange(other, 0, 1);
    a->locateFrom(1);
    a->loadHeader();
    a->deleteCurrent();
    closeAreaAndFree(a);
    EXPECT_EQ(subjects(base), (std::vector<std::string>{"2:b"}));
}

TEST(JamWrite, CreatedAreaTakesMessagesThatReadBackWhole) {
    TempDir dir;
    const std::string base = dir / "sub/dir/tvlist";
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(createAreaForIdentifier(a, "J" + base));
    EXPECT_FALSE(a->areaExists());
    ASSERT_EQ(a->createArea(), 0);
    EXPECT_TRUE(a->areaExists());
    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"}) EXPECT_TRUE(std::filesystem::exists(base + ext)) << ext;
    const std::string head = readFile(base + ".jhr");
    ASSERT_EQ(head.size(), 1024u);
    EXPECT_EQ(head.substr(0, 4), std::string("JAM\0", 4));
    EXPECT_EQ(getLe32(head, 16), 0xFFFFFFFFu);
    EXPECT_EQ(getLe32(head, 20), 1u);
    ASSERT_EQ(a->openArea(), 0);

    const DateTime when = encodeDate(2024, 3, 1) + encodeTime(10, 20, 30);
    for (int i = 1; i <= 2; ++i) {
        a->startNewMessage();
        a->setFromName("Иван"_cp1251);
        a->setToName(i == 1 ? "All" : "Sysop");
        a->setSubject("TV " + std::to_string(i));
        a->setOrigAddress({2, 5020, 9999, 0});
        a->setDateTime(when);
        a->setPrivateFlag(i == 2);
        a->setMailKind(1);
        a->writeKludgeLine("\x01MSGID: 2:5020/9999 0000000" + std::to_string(i));
        a->writeKludgeLine("\x01PID: Orbisk");
        a->writeKludgeLine("\x01INTL 2:5020/1 2:5020/9999");  // dropped
        a->writeKludgeLine("\x01TZUTC: 0300");
        a->writeTextLine("НТВ 07.00"_cp1251);
        a->writeText("last");
        ASSERT_EQ(a->saveMessage(), 0);
    }
    EXPECT_EQ(a->getHighNumber(), 2);
    EXPECT_TRUE(closeAreaAndFree(a));

    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->countMessages(), 2);
    a->locateFrom(1);
    for (int i = 1; i <= 2; ++i, a->locateNext()) {
        ASSERT_TRUE(a->isLocated());
        a->loadHeader();
        EXPECT_EQ(a->getMessageNumber(), i);
        EXPECT_EQ(a->getFromName(), "Иван"_cp1251);
        EXPECT_EQ(a->getToName(), i == 1 ? "All" : "Sysop");
        EXPECT_EQ(a->getSubject(), "TV " + std::to_string(i));
        EXPECT_EQ(a->getOrigAddress(), (FidoAddress{2, 5020, 9999, 0}));
        EXPECT_DOUBLE_EQ(a->getDateTime(), when);
        EXPECT_EQ(a->isPrivate(), i == 2);
        a->startText();
        std::vector<std::string> lines;
        while (!a->atTextEnd() && lines.size() < 20) lines.push_back(a->readTextLine(255));
        EXPECT_EQ(lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 0000000" + std::to_string(i),
                                                   "\x01PID: Orbisk", "\x01TZUTC: 0300", "НТВ 07.00"_cp1251, "last"}));
    }
    a->findAddressedFirst("sysop", "");
    ASSERT_TRUE(a->foundAddressed());
    EXPECT_EQ(a->getMessageNumber(), 2);
    // A header change written back stays; received messages are not found.
    a->setReceivedFlag(true);
    a->setFormatMark(1);
    a->rewriteHeader();
    a->findAddressedFirst("sysop", "");
    EXPECT_FALSE(a->foundAddressed());
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_FALSE(a->isReceived() || a->isRead());
    a->locateNext();
    a->loadHeader();
    EXPECT_TRUE(a->isReceived() && a->isRead());
    EXPECT_TRUE(closeAreaAndFree(a));
    const std::string jdx = readFile(base + ".jdx"), jhr = readFile(base + ".jhr");
    EXPECT_EQ(getLe32(jdx, 8), crc32LowerName("Sysop"));
    EXPECT_EQ(getLe32(jhr, getLe32(jdx, 4) + 16), crc32LowerName("2:5020/9999 00000001"));
    EXPECT_EQ(getLe32(jhr, getLe32(jdx, 4) + 52) & 0x01000000u, 0x01000000u);  // echo mail

    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    a->findAddressedFirst("Nobody", "all");
    EXPECT_TRUE(a->foundAddressed());
    a->findAddressedNext();
    EXPECT_FALSE(a->foundAddressed());
    // Last-read records: matched by user, updated in place.
    EXPECT_EQ(a->getLastRead(0), 0);
    a->setLastRead(0, 5);
    a->setLastRead(3, 7);
    a->setLastRead(0, 6);
    EXPECT_EQ(a->getLastRead(0), 6);
    EXPECT_EQ(a->getLastRead(3), 7);
    EXPECT_EQ(a->getLastRead(9), 0);
    EXPECT_EQ(readFile(base + ".jlr").size(), 32u);
    closeAreaAndFree(a);
}

}  // namespace
}  // namespace orbisk::test
