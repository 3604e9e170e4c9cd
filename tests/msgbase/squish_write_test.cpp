// The Squish write side against what another writer may leave behind: a
// stale end of data, an index longer than the message count, and runs of
// deletions that must not rewrite the whole index per message.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "msgbase/messagearea.h"
#include "msgbase/squisharea.h"
#include "support/squish_layout.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::sqPut32;
using test::sqU32;
using test::TempDir;
using test::writeFile;

void save(MessageArea& a, const std::string& subject, const std::string& body) {
    a.startNewMessage();
    a.setFromName("Writer");
    a.setToName("All");
    a.setSubject(subject);
    a.setDateTime(encodeDate(2026, 12, 1) + encodeTime(10, 0));
    a.writeTextLine(body);
    ASSERT_EQ(a.saveMessage(), 0);
}

std::vector<std::string> subjects(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    std::vector<std::string> out;
    if (!openAreaByIdentifier(a, "S" + base)) return out;
    for (a->locateFrom(1); a->isLocated(); a->locateNext()) {
        a->loadHeader();
        out.push_back(a->getSubject());
    }
    closeAreaAndFree(a);
    return out;
}

// Bytes this process handed to write() so far (Linux I/O accounting).
long long bytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return -1;
}

TEST(SquishWrite, ASaveAfterAStaleEndOfDataOverwritesNoFrame) {
    TempDir dir;
    const std::string base = dir / "tv";
    {
        SquishArea a;
        a.setAreaPath(base);
        ASSERT_EQ(a.createArea(), 0);
        ASSERT_EQ(a.openArea(), 0);
        save(a, "first", std::string(400, 'a'));
        save(a, "second", std::string(400, 'b'));
        ASSERT_EQ(a.closeArea(), 0);
    }
    // A writer died before updating the end of data: it still points at the
    // first frame (or inside it, or at the header's end).
    for (const std::uint32_t stale : {256u, 300u, 256u + 28u + 238u + 401u}) {
        std::string sqd = readFile(base + ".sqd");
        sqPut32(sqd, 120, stale);
        writeFile(base + ".sqd", sqd);
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(openAreaByIdentifier(a, "S" + base));
        save(*a, "third", "c");
        closeAreaAndFree(a);
        const std::vector<std::string> got = subjects(base);
        ASSERT_GE(got.size(), 3u) << stale;
        EXPECT_EQ(got[0], "first") << stale;
        EXPECT_EQ(got[1], "second") << stale;
        EXPECT_TRUE(test::squishChainsSound(readFile(base + ".sqd"), readFile(base + ".sqi"))) << stale;
        // The end of data follows the new frame.
        EXPECT_EQ(sqU32(readFile(base + ".sqd"), 120), readFile(base + ".sqd").size()) << stale;
    }
}

TEST(SquishWrite, ARunOfDeletionsWritesTheIndexOnceFromTheFirstDeletedRecord) {
    if (bytesWritten() < 0) GTEST_SKIP() << "no /proc/self/io on this system";
    constexpr int kMessages = 300;
    struct Case {
        const char* name;
        std::vector<int> doomed;  // 0-based positions
    };
    std::vector<int> every7th, lastTen, firstTen;
    for (int i = 0; i < kMessages; i += 7) every7th.push_back(i);
    for (int i = 0; i < 10; ++i) lastTen.push_back(kMessages - 10 + i), firstTen.push_back(i);
    for (const Case& c : {Case{"last ten", lastTen}, Case{"first ten", firstTen}, Case{"every 7th", every7th}}) {
        TempDir dir;
        const std::string base = dir / "tv";
        {
            SquishArea a;
            a.setAreaPath(base);
            ASSERT_EQ(a.createArea(), 0);
            ASSERT_EQ(a.openArea(), 0);
            for (int i = 0; i < kMessages; ++i) save(a, "m" + std::to_string(i), "text");
            ASSERT_EQ(a.closeArea(), 0);
        }
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(openAreaByIdentifier(a, "S" + base));
        std::vector<MessageIdentity> ids;
        for (int i : c.doomed) {
            a->locateFrom(i + 1);
            a->loadHeader();
            ids.push_back(identityOfLoaded(*a));
        }
        const long long before = bytesWritten();
        const std::vector<DeleteAnswer> answers = deleteEachIfUnchanged(*a, ids);
        const long long written = bytesWritten() - before;
        closeAreaAndFree(a);
        for (const DeleteAnswer& answer : answers) EXPECT_EQ(answer.outcome, DeleteOutcome::deleted) << c.name;

        // Per deletion at most four frame headers (the two neighbours, the
        // last free frame, the frame itself); the index once, from the first
        // deleted record on; the base header once.
        const long long tail = 12LL * (kMessages - static_cast<long long>(c.doomed.size()) - c.doomed.front());
        EXPECT_LE(written, tail + 4 * 28LL * static_cast<long long>(c.doomed.size()) + 256) << c.name;

        std::vector<std::string> expected;
        for (int i = 0, k = 0; i < kMessages; ++i) {
            if (k < static_cast<int>(c.doomed.size()) && c.doomed[static_cast<std::size_t>(k)] == i)
                ++k;
            else
                expected.push_back("m" + std::to_string(i));
        }
        EXPECT_EQ(subjects(base), expected) << c.name;
        EXPECT_TRUE(test::squishChainsSound(readFile(base + ".sqd"), readFile(base + ".sqi"))) << c.name;
    }
}

TEST(SquishWrite, IndexRecordsBeyondTheMessageCountAreNeitherReadNorKept) {
    TempDir dir;
    const std::string base = dir / "tv";
    {
        SquishArea a;
        a.setAreaPath(base);
        ASSERT_EQ(a.createArea(), 0);
        ASSERT_EQ(a.openArea(), 0);
        save(a, "only", "text");
        save(a, "gone", "text");
        ASSERT_EQ(a.closeArea(), 0);
    }
    // A damaged index: a huge, mostly empty tail after the two records,
    // while the base header counts one message.
    std::string sqd = readFile(base + ".sqd");
    sqPut32(sqd, 4, 1);
    sqPut32(sqd, 8, 1);
    writeFile(base + ".sqd", sqd);
    ASSERT_EQ(::truncate((base + ".sqi").c_str(), 64LL << 30), 0);

    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "S" + base));
    a->locateFrom(1);
    ASSERT_TRUE(a->isLocated());
    a->loadHeader();
    EXPECT_EQ(a->getSubject(), "only");
    a->locateNext();
    EXPECT_FALSE(a->isLocated());
    save(*a, "new", "text");
    closeAreaAndFree(a);
    // Written back as the two messages the base now counts.
    EXPECT_EQ(std::filesystem::file_size(base + ".sqi"), 24u);
    EXPECT_EQ(subjects(base), (std::vector<std::string>{"only", "new"}));
}

TEST(SquishWrite, LastReadUsersStayWithinSixteenBits) {
    TempDir dir;
    SquishArea a;
    a.setAreaPath(dir / "tv");
    for (const std::int32_t user : {0x10000, 0x7FFFFFFF}) {
        a.setLastRead(user, 5);
        EXPECT_FALSE(std::filesystem::exists(dir / "tv.sql")) << user;
        EXPECT_EQ(a.getLastRead(user), 0) << user;
    }
    a.setLastRead(0xFFFF, 9);
    EXPECT_EQ(std::filesystem::file_size(dir / "tv.sql"), 4u * 0x10000);
    EXPECT_EQ(a.getLastRead(0xFFFF), 9);
}

}  // namespace
}  // namespace orbisk
