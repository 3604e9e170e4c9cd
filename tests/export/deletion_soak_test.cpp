// Randomized rounds against a base that another program keeps changing
// between Orbisk's decision and its deletion: adding listings and chat,
// deleting messages (which renumbers a Squish area) and packing a *.MSG
// area. No round may delete a listing of the current week.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/datetime.h"
#include "export/deleteold.h"
#include "export_fixture.h"
#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;

enum class Sort { chat, oldListing, currentListing };

const DateTime kCutoff = encodeDate(2026, 12, 7);

// The oracle's name for a message: the "id N" line of its body.
int messageId(MessageArea& a) {
    a.startText();
    while (!a.atTextEnd()) {
        const std::string line = a.readTextLine(255);
        int id = 0;
        if (std::sscanf(line.c_str(), "id %d", &id) == 1) return id;
    }
    return -1;
}

std::set<int> idsInBase(const std::string& identifier) {
    std::unique_ptr<MessageArea> a;
    std::set<int> ids;
    if (!openAreaByIdentifier(a, identifier)) return ids;
    for (a->locateFrom(1); a->isLocated(); a->locateNext()) {
        a->loadHeader();
        ids.insert(messageId(*a));
    }
    closeAreaAndFree(a);
    return ids;
}

class Other {
public:
    Other(std::string identifier, std::uint32_t seed) : identifier_(std::move(identifier)), rng_(seed) {}

    void add(int id, Sort sort) {
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(openAreaByIdentifier(a, identifier_));
        const int day = sort == Sort::oldListing ? 30 : 7;
        const int month = sort == Sort::oldListing ? 11 : 12;
        char dating[96];
        std::snprintf(dating, sizeof dating, "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= %02d.%02d.2026", day, month);
        a->startNewMessage();
        a->setFromName("TV List");
        a->setToName("All");
        a->setSubject(sort == Sort::chat ? "Hello " + std::to_string(id)
                                         : "TV " + std::to_string(day) + "." + std::to_string(month) + " [1/1]");
        a->setDateTime(encodeDate(2026, 12, 1) + id / 86400.0);
        a->setMailKind(1);
        a->writeTextLine("id " + std::to_string(id));
        if (sort != Sort::chat) {
            a->writeTextLine(dating);
            a->writeTextLine("");
            a->writeTextLine("======");
        }
        ASSERT_EQ(a->saveMessage(), 0);
        closeAreaAndFree(a);
        sorts_[id] = sort;
    }

    // Deletes one message at random; returns its id.
    int removeOne() {
        std::unique_ptr<MessageArea> a;
        if (!openAreaByIdentifier(a, identifier_)) return -1;
        std::vector<MsgNumber> numbers;
        for (a->locateFrom(1); a->isLocated(); a->locateNext()) numbers.push_back(a->getMessageNumber());
        int id = -1;
        if (!numbers.empty()) {
            a->locateFrom(numbers[rng_() % numbers.size()]);
            a->loadHeader();
            id = messageId(*a);
            if (a->deleteCurrent() != 0) id = -1;
        }
        closeAreaAndFree(a);
        return id;
    }

    // A *.MSG pack: the files renumbered 1, 2, 3 ... in their order.
    static void packMsg(const std::string& folder) {
        std::vector<int> numbers;
        for (const auto& e : fs::directory_iterator(folder)) numbers.push_back(std::stoi(e.path().stem().string()));
        std::sort(numbers.begin(), numbers.end());
        int next = 1;
        for (int n : numbers) {
            if (n != next) fs::rename(folder + "/" + std::to_string(n) + ".msg", folder + "/" + std::to_string(next) + ".msg");
            ++next;
        }
    }

    Sort sortOf(int id) const { return sorts_.at(id); }
    std::mt19937& rng() { return rng_; }

private:
    std::string identifier_;
    std::mt19937 rng_;
    std::map<int, Sort> sorts_;
};

struct SoakKind {
    const char* name;
    char letter;
};

class DeletionSoak : public ::testing::TestWithParam<SoakKind> {};

TEST_P(DeletionSoak, NoRoundDeletesAListingOfTheCurrentWeek) {
    test::TempDir dir;
    const bool msg = GetParam().letter == 'F';
    const std::string where = dir / "area";
    const char letter = GetParam().letter;
    const std::string identifier =
        letter == 'F' ? "F" + where + "/" : letter == 'H' ? "H001" + where + "/" : std::string(1, letter) + where;
    {
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(createAreaForIdentifier(a, identifier));
        ASSERT_EQ(a->createArea(), 0);
    }
    test::RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9));
    const LoadEnv env(notifier, clock);
    Other other(identifier, 1213);
    int nextId = 1, rounds = 0, added = 0, deleted = 0, skipped = 0, lost = 0;
    std::set<int> removedByOther;
    for (; rounds < 200; ++rounds) {
        for (int k = other.rng()() % 4; k > 0; --k, ++added) other.add(nextId++, Sort(other.rng()() % 3));
        const OtherMessages decided = decideDeletions(identifier, kCutoff, env);
        // Between the decision and the deletion the other program works.
        if (other.rng()() % 2) removedByOther.insert(other.removeOne());
        if (msg && other.rng()() % 2) Other::packMsg(where);
        if (other.rng()() % 3 == 0) other.add(nextId++, Sort::currentListing), ++added;
        const DeletionResult done = deleteListedMessages(identifier, decided);
        ASSERT_TRUE(done.failed.empty()) << "round " << rounds;
        ASSERT_EQ(done.deleted.size() + done.skipped.size() + done.kept.size(), decided.size());
        deleted += static_cast<int>(done.deleted.size());
        skipped += static_cast<int>(done.skipped.size());

        // Every current listing the other program left is still there.
        const std::set<int> present = idsInBase(identifier);
        for (int id = 1; id < nextId; ++id)
            if (other.sortOf(id) == Sort::currentListing && !removedByOther.count(id) && !present.count(id)) ++lost;
        ASSERT_EQ(lost, 0) << "round " << rounds;
    }
    // Undisturbed, a last run leaves exactly the current listings (and the
    // protected first message of a *.MSG area).
    deleteListedMessages(identifier, decideDeletions(identifier, kCutoff, env));
    int others = 0;
    for (int id : idsInBase(identifier)) others += other.sortOf(id) != Sort::currentListing;
    EXPECT_EQ(others, msg ? std::min(others, 1) : 0);
    std::printf("[ soak %s ] rounds %d, messages %d, deleted %d, skipped %d, lost %d\n", GetParam().name, rounds, added,
                deleted, skipped, lost);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeletionSoak,
                         ::testing::Values(SoakKind{"Fido", 'F'}, SoakKind{"Squish", 'S'}, SoakKind{"Jam", 'J'},
                                           SoakKind{"Hudson", 'H'}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbisk
