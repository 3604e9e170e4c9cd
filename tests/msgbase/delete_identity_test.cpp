// Deleting through deleteIfUnchanged in every kind: only the message that
// was read, only under the lock, and every failure told.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/datetime.h"
#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"
#include "support/readonly.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string slurp(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file of the folder, name -> bytes.
std::vector<std::pair<std::string, std::string>> snapshot(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files.emplace_back(e.path().string(), slurp(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
}

void makeBase(const std::string& identifier, const std::vector<std::string>& subjects) {
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(createAreaForIdentifier(a, identifier));
    ASSERT_EQ(a->createArea(), 0) << identifier;
    ASSERT_EQ(a->openArea(), 0) << identifier;
    for (const std::string& subject : subjects) {
        a->startNewMessage();
        a->setFromName("Reader");
        a->setToName("All");
        a->setSubject(subject);
        a->setDateTime(encodeDate(2026, 12, 1) + encodeTime(10, 0));
        a->setMailKind(1);
        a->writeTextLine("text");
        ASSERT_EQ(a->saveMessage(), 0) << identifier;
    }
    ASSERT_TRUE(closeAreaAndFree(a));
}

std::vector<MessageIdentity> readAll(MessageArea& a) {
    std::vector<MessageIdentity> all;
    for (a.locateFrom(1); a.isLocated(); a.locateNext()) {
        a.loadHeader();
        if (a.isHeaderLoaded()) all.push_back(identityOfLoaded(a));
    }
    return all;
}

struct Kind {
    const char* name;
    // identifier for a base at `where` (a folder or a base path)
    std::string (*identifier)(const std::string& where);
    bool hasLock;
};

const Kind kKinds[] = {
    {"Fido", [](const std::string& w) { return "F" + w + "/"; }, false},
    {"Squish", [](const std::string& w) { return "S" + w; }, true},
    {"Jam", [](const std::string& w) { return "J" + w; }, true},
    {"Hudson", [](const std::string& w) { return "H001" + w + "/"; }, true},
};

class EachKind : public ::testing::TestWithParam<Kind> {};

TEST_P(EachKind, DeletesOnlyTheMessageReadAndSkipsOneThatChanged) {
    TempDir dir;
    const std::string id = GetParam().identifier(dir / "base");
    makeBase(id, {"one", "two", "three"});
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, id));
    const auto seen = readAll(*a);
    ASSERT_EQ(seen.size(), 3u);

    MessageIdentity changed = seen[0];
    changed.subject = "other";
    MessageIdentity moved = seen[2];
    moved.key += 1;
    MessageIdentity gone = seen[2];
    gone.number += 100;
    const auto before = snapshot(dir.str());
    for (const MessageIdentity& stale : {changed, moved, gone})
        EXPECT_EQ(deleteIfUnchanged(*a, stale).outcome, DeleteOutcome::skipped) << stale.number;
    EXPECT_EQ(snapshot(dir.str()), before);

    const DeleteAnswer done = deleteIfUnchanged(*a, seen[1]);
    EXPECT_EQ(done.outcome, DeleteOutcome::deleted) << done.code;
    const auto left = readAll(*a);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0], seen[0]);
    EXPECT_EQ(left[1].subject, "three");
    EXPECT_TRUE(closeAreaAndFree(a));
}

// The path is longer than any a kind ever kept, and the base whose name is
// its old cut prefix lies beside it.
TEST_P(EachKind, ALongPathOpensItsOwnBaseNotTheSiblingAtItsPrefix) {
    TempDir dir;
    const std::string folder = dir / std::string(150, 'd');
    fs::create_directories(folder);
    const std::string sibling = folder + "/RU.TV";
    const std::string mine = folder + "/RU.TV.LISTINGS";
    makeBase(GetParam().identifier(sibling), {"sibling"});
    makeBase(GetParam().identifier(mine), {"mine", "mine too"});
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, GetParam().identifier(mine)));
    const auto seen = readAll(*a);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].subject, "mine");
    EXPECT_EQ(deleteIfUnchanged(*a, seen[0]).outcome, DeleteOutcome::deleted);
    EXPECT_TRUE(closeAreaAndFree(a));
    ASSERT_TRUE(openAreaByIdentifier(a, GetParam().identifier(sibling)));
    const auto other = readAll(*a);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].subject, "sibling");
    EXPECT_TRUE(closeAreaAndFree(a));
}

TEST_P(EachKind, ALockHeldForAMomentIsWaitedForAndOneHeldLongIsAFailure) {
    if (!GetParam().hasLock) GTEST_SKIP() << "a *.MSG area has no area lock";
    TempDir dir;
    const std::string id = GetParam().identifier(dir / "base");
    makeBase(id, {"one", "two"});
    std::unique_ptr<MessageArea> a, tosser;
    ASSERT_TRUE(openAreaByIdentifier(a, id));
    ASSERT_TRUE(openAreaByIdentifier(tosser, id));
    const auto seen = readAll(*a);
    ASSERT_EQ(seen.size(), 2u);

    const auto savedLimit = lockWaitLimit;
    lockWaitLimit = std::chrono::milliseconds(300);
    ASSERT_TRUE(tosser->lockArea());
    const auto before = snapshot(dir.str());
    const auto start = std::chrono::steady_clock::now();
    const DeleteAnswer refused = deleteIfUnchanged(*a, seen[0]);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(refused.outcome, DeleteOutcome::failed);
    EXPECT_EQ(refused.code, kIoAccessDenied);
    EXPECT_GE(waited, std::chrono::milliseconds(150));  // it paused, not spun
    EXPECT_EQ(snapshot(dir.str()), before);

    // Released 100 ms into the wait: the deletion goes through.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        tosser->unlockArea();
    });
    const DeleteAnswer done = deleteIfUnchanged(*a, seen[0]);
    release.join();
    lockWaitLimit = savedLimit;
    EXPECT_EQ(done.outcome, DeleteOutcome::deleted) << done.code;
    EXPECT_EQ(readAll(*a).size(), 1u);
    closeAreaAndFree(tosser);
    EXPECT_TRUE(closeAreaAndFree(a));
}

// A base the user may only read loads whole; deleting from it fails with
// a reason and changes nothing.
TEST_P(EachKind, AReadOnlyBaseLoadsAndItsDeletionFailsVisibly) {
    TempDir dir;
    const std::string folder = dir / "ro";
    fs::create_directories(folder);
    const std::string id = GetParam().identifier(folder + "/base");
    makeBase(id, {"one", "two"});
    const test::ReadOnlyFolder readOnly(folder);
    if (!readOnly.ok()) GTEST_SKIP() << readOnly.why();
    const auto before = snapshot(folder);
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, id));
    const auto seen = readAll(*a);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].subject, "two");
    for (const DeleteAnswer& answer : deleteEachIfUnchanged(*a, seen)) {
        EXPECT_EQ(answer.outcome, DeleteOutcome::failed);
        EXPECT_NE(answer.code, 0);
    }
    closeAreaAndFree(a);
    EXPECT_EQ(snapshot(folder), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachKind, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JamIndex, AZeroRecordIsNoMessageAndTheBaseHeaderIsNeverWritten) {
    TempDir dir;
    const std::string base = dir / "tv";
    makeBase("J" + base, {"one", "two"});
    // A torn index: the first record zero-filled.
    {
        std::fstream idx(base + ".jdx", std::ios::in | std::ios::out | std::ios::binary);
        const char zeros[8] = {};
        idx.write(zeros, 8);
    }
    const std::string header = slurp(base + ".jhr").substr(0, 1024);
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, "J" + base));
    const auto seen = readAll(*a);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].subject, "two");
    a->locateFrom(1);
    a->loadHeader();
    EXPECT_EQ(a->getMessageNumber(), 2);
    // Message 1 as a load of the zero record would have seen it.
    EXPECT_EQ(deleteIfUnchanged(*a, {1, "", 0, 0}).outcome, DeleteOutcome::skipped);
    EXPECT_TRUE(closeAreaAndFree(a));
    EXPECT_EQ(slurp(base + ".jhr").substr(0, 1024), header);
}

}  // namespace
}  // namespace orbisk
