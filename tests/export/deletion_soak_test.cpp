// Randomized rounds against a base that another program keeps changing:
// it adds listings and chat, and packs (renumbering or moving messages),
// before Orbisk decides and again between the decision and the deletion.
// For *.MSG and JAM the other program is the crashmail tosser itself
// (crashmaint packs *.MSG; it cannot pack a JAM base of two or more
// messages, so JAM sees tosses only); for Squish and Hudson it is written
// here from the published layouts, never through Orbisk's write side.
//
// The oracle reads the files byte by byte and knows every message by the
// "ORBISK-ID" line of its text. After every round: the messages that were
// old or non-listing when Orbisk decided, and that nobody moved since, are
// gone; every other message is byte for byte what it was; the base passes
// the kind's consistency check.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/datetime.h"
#include "export/deleteold.h"
#include "export_fixture.h"
#include "msgbase/hudson_fixture.h"
#include "support/crashmail.h"
#include "support/squish_layout.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::sqPut16;
using test::sqPut32;
using test::sqU16;
using test::sqU32;
using test::writeFile;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRounds = 60;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kRounds = 60;
#else
constexpr int kRounds = 200;
#endif
#else
constexpr int kRounds = 200;
#endif

enum class Sort { chat, oldListing, currentListing };

const DateTime kCutoff = encodeDate(2026, 12, 7);

struct Post {
    int id;
    Sort sort;
    std::string subject() const {
        if (sort == Sort::chat) return "Hello " + std::to_string(id);
        return std::string(sort == Sort::oldListing ? "TV 30.11" : "TV 07.12") + " n" + std::to_string(id) + " [1/1]";
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> l = {"ORBISK-ID " + std::to_string(id)};
        if (sort == Sort::chat) {
            l.push_back("Hello there");
            return l;
        }
        const char* date = sort == Sort::oldListing ? "30.11.2026" : "07.12.2026";
        l.push_back(std::string("Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= ") + date);
        for (const char* s : {"", "======", "One", "-----", "06.00 News"}) l.push_back(s);
        return l;
    }
    std::string text() const {
        std::string t;
        for (const std::string& l : lines()) t += l + "\r";
        return t;
    }
};

int idIn(const std::string& bytes) {
    const auto at = bytes.find("ORBISK-ID ");
    return at == std::string::npos ? -1 : std::atoi(bytes.c_str() + at + 10);
}

// A message as the files hold it: its number, where it sits in the terms
// of its kind's identity, and its bytes.
struct Seen {
    MsgNumber number = 0;
    std::string where;
    std::string bytes;
};
using Scan = std::map<int, Seen>;

class OtherProgram {
public:
    virtual ~OtherProgram() = default;
    virtual std::string identifier() const = 0;
    virtual void add(const std::vector<Post>& posts) = 0;
    // A reader deletes one message at random, then the base is packed.
    virtual void pack(std::mt19937& rng) = 0;
    virtual Scan scan() const = 0;
    virtual testing::AssertionResult sound() = 0;
};

// --- *.MSG, by crashmail ---

class CrashmailMsg : public OtherProgram {
public:
    explicit CrashmailMsg(std::string dir) : dir_(std::move(dir)) {
        test::writeCrashmailConfig(dir_);
        area_ = test::crashmailAreaPath(dir_, test::AreaFormat::Msg);
        fs::create_directories(area_);
    }
    std::string identifier() const override { return "F" + area_ + "/"; }
    void add(const std::vector<Post>& posts) override {
        std::vector<test::FidoTestMessage> msgs;
        for (const Post& p : posts) msgs.push_back({"TV List", "All", p.subject(), p.text()});
        if (!msgs.empty()) test::tossMessages(dir_, test::AreaFormat::Msg, msgs);
    }
    void pack(std::mt19937& rng) override {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(area_)) files.push_back(e.path());
        if (!files.empty()) fs::remove(files[rng() % files.size()]);
        packed_ = test::runCrashmaint(dir_, {"PACK", "VERBOSE", "PATTERN", "TVLIST"});
    }
    Scan scan() const override {
        Scan s;
        for (const auto& e : fs::directory_iterator(area_)) {
            const std::string bytes = readFile(e.path().string());
            const MsgNumber n = std::atoi(e.path().stem().c_str());
            s[idIn(bytes)] = {n, std::to_string(n), bytes};
        }
        return s;
    }
    testing::AssertionResult sound() override {
        if (packed_.status >= 0 && !test::crashmaintSucceeded(packed_))
            return testing::AssertionFailure() << "crashmaint PACK: " << packed_.output;
        for (const auto& e : fs::directory_iterator(area_)) {
            const std::string name = e.path().filename().string();
            if (fs::file_size(e.path()) < 190 || std::atoi(name.c_str()) < 1 || e.path().extension() != ".msg")
                return testing::AssertionFailure() << "not a message: " << name;
        }
        return testing::AssertionSuccess();
    }

private:
    std::string dir_, area_;
    test::ToolRun packed_;
};

// --- JAM, by crashmail ---

class CrashmailJam : public OtherProgram {
public:
    explicit CrashmailJam(std::string dir) : dir_(std::move(dir)) {
        test::writeCrashmailConfig(dir_);
        base_ = test::crashmailAreaPath(dir_, test::AreaFormat::Jam);
    }
    std::string identifier() const override { return "J" + base_; }
    void add(const std::vector<Post>& posts) override {
        std::vector<test::FidoTestMessage> msgs;
        for (const Post& p : posts) msgs.push_back({"TV List", "All", p.subject(), p.text()});
        if (!msgs.empty()) test::tossMessages(dir_, test::AreaFormat::Jam, msgs);
    }
    // crashmaint fails to pack a JAM base of two or more messages and its
    // MAINT damages headers: crashmail only tosses into it.
    void pack(std::mt19937&) override {}
    Scan scan() const override {
        Scan s;
        const std::string jhr = readFile(base_ + ".jhr"), jdt = readFile(base_ + ".jdt"), jdx = readFile(base_ + ".jdx");
        if (jhr.size() < 1024) return s;
        for (std::size_t i = 0; i + 8 <= jdx.size(); i += 8) {
            const std::uint32_t at = sqU32(jdx, i + 4);
            if (at == 0xFFFFFFFF || at + 76ull > jhr.size()) continue;
            const std::uint32_t subLen = sqU32(jhr, at + 8), txt = sqU32(jhr, at + 60), txtLen = sqU32(jhr, at + 64);
            const std::string text = jdt.substr(std::min<std::size_t>(txt, jdt.size()), txtLen);
            const MsgNumber n = static_cast<MsgNumber>(sqU32(jhr, 20) + i / 8);
            s[idIn(text)] = {n, std::to_string(n) + "@" + std::to_string(at), jhr.substr(at, 76 + subLen) + text};
        }
        return s;
    }
    // Every live index record leads to a live header of its number whose
    // text is inside the text file; the active count matches.
    testing::AssertionResult sound() override {
        const std::string jhr = readFile(base_ + ".jhr"), jdt = readFile(base_ + ".jdt"), jdx = readFile(base_ + ".jdx");
        if (jhr.compare(0, 4, std::string("JAM\0", 4)) != 0) return testing::AssertionFailure() << "base header";
        std::uint32_t live = 0;
        for (std::size_t i = 0; i + 8 <= jdx.size(); i += 8) {
            const std::uint32_t at = sqU32(jdx, i + 4);
            if (at == 0xFFFFFFFF) continue;
            if (at < 1024 || at + 76ull > jhr.size() || jhr.compare(at, 4, std::string("JAM\0", 4)) != 0)
                return testing::AssertionFailure() << "index record " << i / 8 << " -> " << at;
            if (sqU32(jhr, at + 48) != sqU32(jhr, 20) + i / 8) return testing::AssertionFailure() << "number at " << at;
            if (sqU32(jhr, at + 52) & 0x80000000u) return testing::AssertionFailure() << "deleted header indexed";
            if (sqU32(jhr, at + 60) + static_cast<std::uint64_t>(sqU32(jhr, at + 64)) > jdt.size())
                return testing::AssertionFailure() << "text of " << at;
            ++live;
        }
        if (sqU32(jhr, 12) != live) return testing::AssertionFailure() << "active " << sqU32(jhr, 12) << " != " << live;
        return testing::AssertionSuccess();
    }

private:
    std::string dir_, base_;
};

// --- Squish, from the layout ---

class SquishWriter : public OtherProgram {
public:
    explicit SquishWriter(const std::string& dir) : base_(dir + "/tv") { writeBase({}, 1); }
    std::string identifier() const override { return "S" + base_; }

    void add(const std::vector<Post>& posts) override {
        std::string sqd = readFile(base_ + ".sqd"), sqi = readFile(base_ + ".sqi");
        for (const Post& p : posts) {
            const auto at = static_cast<std::uint32_t>(sqd.size());
            const std::string body = messageBody(p);
            std::string frame(28, '\0');
            sqPut32(frame, 0, test::kSquishFrameSignature);
            sqPut32(frame, 8, sqU32(sqd, 108));
            sqPut32(frame, 12, static_cast<std::uint32_t>(body.size()));
            sqPut32(frame, 16, static_cast<std::uint32_t>(body.size()));
            sqPut32(frame, 20, static_cast<std::uint32_t>(kCtrl.size()));
            if (sqU32(sqd, 108) != 0) sqPut32(sqd, sqU32(sqd, 108) + 4, at);
            if (sqU32(sqd, 104) == 0) sqPut32(sqd, 104, at);
            sqPut32(sqd, 108, at);
            sqd += frame + body;
            std::string rec(12, '\0');
            sqPut32(rec, 0, at);
            sqPut32(rec, 4, sqU32(sqd, 20));
            sqi += rec;
            sqPut32(sqd, 4, sqU32(sqd, 4) + 1);
            sqPut32(sqd, 8, sqU32(sqd, 8) + 1);
            sqPut32(sqd, 20, sqU32(sqd, 20) + 1);
            sqPut32(sqd, 120, static_cast<std::uint32_t>(sqd.size()));
        }
        writeFile(base_ + ".sqd", sqd);
        writeFile(base_ + ".sqi", sqi);
    }

    // Frames rewritten one after the other without the free ones; unique
    // ids stay, frame offsets move.
    void pack(std::mt19937& rng) override {
        const std::string sqd = readFile(base_ + ".sqd"), sqi = readFile(base_ + ".sqi");
        std::vector<std::pair<std::uint32_t, std::string>> live;
        for (std::size_t i = 0; i + 12 <= sqi.size(); i += 12) {
            const std::uint32_t at = sqU32(sqi, i);
            live.emplace_back(sqU32(sqi, i + 4), sqd.substr(at + 28, sqU32(sqd, at + 16)));
        }
        if (!live.empty()) live.erase(live.begin() + static_cast<std::ptrdiff_t>(rng() % live.size()));
        writeBase(live, sqU32(sqd, 20));
    }

    Scan scan() const override {
        Scan s;
        const std::string sqd = readFile(base_ + ".sqd"), sqi = readFile(base_ + ".sqi");
        for (std::size_t i = 0; i + 12 <= sqi.size() && i / 12 < sqU32(sqd, 4); i += 12) {
            const std::uint32_t at = sqU32(sqi, i), uid = sqU32(sqi, i + 4);
            const std::string body = sqd.substr(std::min<std::size_t>(at + 28, sqd.size()), sqU32(sqd, at + 16));
            s[idIn(body)] = {static_cast<MsgNumber>(uid), std::to_string(uid), body};
        }
        return s;
    }
    testing::AssertionResult sound() override {
        return test::squishChainsSound(readFile(base_ + ".sqd"), readFile(base_ + ".sqi"));
    }

private:
    inline static const std::string kCtrl = std::string("\x01MSGID: 2:5020/1 1\x01PID: Writer", 31) + '\0';

    static std::string messageBody(const Post& p) {
        std::string h(238, '\0');
        auto put = [&](std::size_t at, const std::string& v) { h.replace(at, v.size(), v); };
        put(4, "TV List");
        put(40, "All");
        put(76, p.subject());
        sqPut16(h, 164, static_cast<std::uint16_t>(1 | 12 << 5 | (2026 - 1980) << 9));
        sqPut16(h, 166, static_cast<std::uint16_t>((p.id % 30) | (p.id / 30 % 60) << 5 | 10 << 11));
        return h + kCtrl + p.text() + '\0';
    }

    void writeBase(const std::vector<std::pair<std::uint32_t, std::string>>& live, std::uint32_t nextUid) {
        std::string sqd(256, '\0'), sqi;
        sqPut16(sqd, 0, 256);
        sqPut16(sqd, 130, 28);
        std::uint32_t prev = 0;
        for (const auto& [uid, body] : live) {
            const auto at = static_cast<std::uint32_t>(sqd.size());
            std::string frame(28, '\0');
            sqPut32(frame, 0, test::kSquishFrameSignature);
            sqPut32(frame, 8, prev);
            sqPut32(frame, 12, static_cast<std::uint32_t>(body.size()));
            sqPut32(frame, 16, static_cast<std::uint32_t>(body.size()));
            sqPut32(frame, 20, static_cast<std::uint32_t>(kCtrl.size()));
            if (prev) sqPut32(sqd, prev + 4, at);
            if (!prev) sqPut32(sqd, 104, at);
            prev = at;
            sqd += frame + body;
            std::string rec(12, '\0');
            sqPut32(rec, 0, at);
            sqPut32(rec, 4, uid);
            sqi += rec;
        }
        sqPut32(sqd, 4, static_cast<std::uint32_t>(live.size()));
        sqPut32(sqd, 8, static_cast<std::uint32_t>(live.size()));
        sqPut32(sqd, 20, nextUid);
        sqPut32(sqd, 108, prev);
        sqPut32(sqd, 120, static_cast<std::uint32_t>(sqd.size()));
        writeFile(base_ + ".sqd", sqd);
        writeFile(base_ + ".sqi", sqi);
    }

    std::string base_;
};

// --- Hudson, from the layout ---

class HudsonWriter : public OtherProgram {
public:
    explicit HudsonWriter(const std::string& dir) : dir_(dir) { writeAll(test::buildHudson({})); }
    std::string identifier() const override { return "H001" + dir_ + "/"; }

    void add(const std::vector<Post>& posts) override {
        test::HudsonFiles f = readAll();
        for (const Post& p : posts) {
            test::HudsonMsg m = message(p);
            m.number = static_cast<std::uint16_t>(test::get16(f.info, 2) + 1);
            m.startBlockOverride = static_cast<int>(f.txt.size() / 256);
            const test::HudsonFiles one = test::buildHudson({m});
            f.hdr += one.hdr, f.idx += one.idx, f.toidx += one.toidx, f.txt += one.txt;
            if (test::get16(f.info, 2) == 0) test::put16(f.info, 0, m.number);
            test::put16(f.info, 2, m.number);
            test::put16(f.info, 4, static_cast<std::uint16_t>(test::get16(f.info, 4) + 1));
            test::put16(f.info, 6, static_cast<std::uint16_t>(test::get16(f.info, 6) + 1));
        }
        writeAll(f);
    }

    // Deleted records dropped, the rest renumbered from 1 and their text
    // blocks laid out anew.
    void pack(std::mt19937& rng) override {
        const test::HudsonFiles f = readAll();
        std::vector<test::HudsonMsg> live;
        for (std::size_t r = 0; r * 187 < f.hdr.size(); ++r) {
            const std::string h = f.hdr.substr(r * 187, 187);
            if (test::get16(f.idx, r * 3) == 0xFFFF || (h[24] & 1)) continue;
            test::HudsonMsg m;
            m.board = static_cast<std::uint8_t>(h[26]);
            m.time = pascal(h, 27);
            m.date = pascal(h, 33);
            m.to = pascal(h, 42);
            m.from = pascal(h, 78);
            m.subject = pascal(h, 114);
            m.msgAttr = static_cast<std::uint8_t>(h[24]);
            m.text = textOf(f, h);
            live.push_back(m);
        }
        if (!live.empty()) live.erase(live.begin() + static_cast<std::ptrdiff_t>(rng() % live.size()));
        for (std::size_t i = 0; i < live.size(); ++i) live[i].number = static_cast<std::uint16_t>(i + 1);
        writeAll(test::buildHudson(live));
    }

    Scan scan() const override {
        Scan s;
        const test::HudsonFiles f = readAll();
        for (std::size_t r = 0; (r + 1) * 187 <= f.hdr.size() && (r + 1) * 3 <= f.idx.size(); ++r) {
            const std::string h = f.hdr.substr(r * 187, 187);
            const std::uint16_t n = test::get16(f.idx, r * 3);
            if (n == 0xFFFF || (h[24] & 1)) continue;
            const std::string text = textOf(f, h);
            s[idIn(text)] = {n, std::to_string(n) + "@" + std::to_string(r), h + text};
        }
        return s;
    }

    // Record counts agree, every indexed record is its header's number and
    // board, deleted records are marked in all three files, the counters
    // match the live records.
    testing::AssertionResult sound() override {
        const test::HudsonFiles f = readAll();
        const std::size_t records = f.hdr.size() / 187;
        if (f.info.size() != 406 || f.hdr.size() % 187 || f.idx.size() != records * 3 || f.toidx.size() != records * 36)
            return testing::AssertionFailure() << "file sizes";
        std::uint16_t live = 0, high = 0;
        for (std::size_t r = 0; r < records; ++r) {
            const std::string h = f.hdr.substr(r * 187, 187);
            const std::uint16_t n = test::get16(f.idx, r * 3);
            const bool deleted = h[24] & 1;
            if (deleted != (n == 0xFFFF)) return testing::AssertionFailure() << "record " << r << " half deleted";
            if (deleted && pascal(f.toidx, r * 36) != "* Deleted *") return testing::AssertionFailure() << "addressee " << r;
            if (!deleted && (n != test::get16(h, 0) || f.idx[r * 3 + 2] != h[26]))
                return testing::AssertionFailure() << "index record " << r;
            if ((test::get16(h, 8) + test::get16(h, 10)) * 256u > f.txt.size()) return testing::AssertionFailure() << "text " << r;
            live += !deleted;
            high = std::max(high, test::get16(h, 0));
        }
        if (test::get16(f.info, 4) != live || test::get16(f.info, 6) != live)
            return testing::AssertionFailure() << "active " << test::get16(f.info, 4) << " != " << live;
        if (test::get16(f.info, 2) < high) return testing::AssertionFailure() << "highest number";
        return testing::AssertionSuccess();
    }

private:
    static std::string pascal(const std::string& s, std::size_t at) {
        return s.substr(at + 1, static_cast<unsigned char>(s[at]));
    }
    static std::string textOf(const test::HudsonFiles& f, const std::string& h) {
        std::string text;
        for (std::size_t b = test::get16(h, 8), end = b + test::get16(h, 10); b < end && (b + 1) * 256 <= f.txt.size(); ++b)
            text += pascal(f.txt, b * 256);
        return text;
    }
    static test::HudsonMsg message(const Post& p) {
        test::HudsonMsg m;
        m.from = "TV List";
        m.subject = p.subject();
        m.date = "12-01-26";
        m.time = "10:" + std::to_string(10 + p.id % 50);
        m.text = p.text();
        m.msgAttr = 0;
        return m;
    }
    test::HudsonFiles readAll() const {
        return {readFile(dir_ + "/MSGINFO.BBS"), readFile(dir_ + "/MSGIDX.BBS"), readFile(dir_ + "/MSGTOIDX.BBS"),
                readFile(dir_ + "/MSGHDR.BBS"), readFile(dir_ + "/MSGTXT.BBS")};
    }
    void writeAll(const test::HudsonFiles& f) {
        writeFile(dir_ + "/MSGINFO.BBS", f.info);
        writeFile(dir_ + "/MSGIDX.BBS", f.idx);
        writeFile(dir_ + "/MSGTOIDX.BBS", f.toidx);
        writeFile(dir_ + "/MSGHDR.BBS", f.hdr);
        writeFile(dir_ + "/MSGTXT.BBS", f.txt);
    }

    std::string dir_;
};

// --- The rounds ---

struct SoakKind {
    const char* name;
    bool crashmail;
    std::unique_ptr<OtherProgram> (*make)(const std::string& dir);
};

class DeletionSoak : public ::testing::TestWithParam<SoakKind> {};

TEST_P(DeletionSoak, EveryRoundDeletesExactlyTheOldAndNonListingMessagesAndNothingElse) {
    if (GetParam().crashmail && !test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    test::TempDir dir;
    const std::unique_ptr<OtherProgram> other = GetParam().make(dir.str());
    const std::string identifier = other->identifier();
    test::RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9));
    const LoadEnv env(notifier, clock);
    std::mt19937 rng(1213);
    std::map<int, Sort> sorts;
    int nextId = 1, added = 0, deleted = 0, skipped = 0, lost = 0, wronglyKept = 0, rounds = 0;
    auto post = [&](int count) {
        std::vector<Post> posts;
        for (int k = 0; k < count; ++k, ++added) {
            posts.push_back({nextId, Sort(rng() % 3)});
            sorts[nextId++] = posts.back().sort;
        }
        other->add(posts);
    };

    post(3);
    for (; rounds < kRounds; ++rounds) {
        post(static_cast<int>(rng() % 4));
        if (rng() % 4 == 0) other->pack(rng);
        const Scan atDecision = other->scan();
        const OtherMessages decided = decideDeletions(identifier, kCutoff, env);
        std::set<MsgNumber> decidedNumbers;
        for (const OtherMessage& m : decided) decidedNumbers.insert(m.desc.msgNum);
        std::set<int> decidedIds, oldOrChat;
        for (const auto& [id, seen] : atDecision) {
            if (decidedNumbers.count(seen.number)) decidedIds.insert(id);
            if (sorts.at(id) != Sort::currentListing) oldOrChat.insert(id);
        }
        ASSERT_EQ(decidedIds, oldOrChat) << "round " << rounds;
        ASSERT_EQ(decidedIds.size(), decided.size()) << "round " << rounds;

        // Between the decision and the deletion the other program works.
        switch (rng() % 4) {
            case 0: post(1 + static_cast<int>(rng() % 2)); break;
            case 1: other->pack(rng); break;
            default: break;
        }
        const Scan atDeletion = other->scan();
        const DeletionResult done = deleteListedMessages(identifier, decided);
        const Scan after = other->scan();
        ASSERT_TRUE(done.failed.empty()) << "round " << rounds << ": " << done.failed.front().code;

        int gone = 0;
        for (const auto& [id, seen] : atDeletion) {
            const bool unmoved = decidedIds.count(id) && atDecision.at(id).where == seen.where;
            const auto now = after.find(id);
            if (unmoved) {
                gone += now == after.end();
                wronglyKept += now != after.end();
            } else if (now == after.end() || now->second.bytes != seen.bytes) {
                ++lost;
            }
        }
        for (const auto& entry : after) EXPECT_TRUE(atDeletion.count(entry.first)) << "message " << entry.first << " appeared";
        EXPECT_EQ(static_cast<int>(done.deleted.size()), gone) << "round " << rounds;
        deleted += static_cast<int>(done.deleted.size());
        skipped += static_cast<int>(done.skipped.size());
        ASSERT_EQ(lost, 0) << "round " << rounds;
        ASSERT_EQ(wronglyKept, 0) << "round " << rounds;
        ASSERT_TRUE(other->sound()) << "round " << rounds;
    }
    // The other program goes on working with the base Orbisk left.
    post(2);
    EXPECT_TRUE(other->sound());
    std::printf("[ soak %s ] rounds %d, messages %d, deleted %d, skipped %d, lost %d\n", GetParam().name, rounds, added,
                deleted, skipped, lost);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DeletionSoak,
    ::testing::Values(
        SoakKind{"Fido", true, [](const std::string& d) -> std::unique_ptr<OtherProgram> { return std::make_unique<CrashmailMsg>(d); }},
        SoakKind{"Jam", true, [](const std::string& d) -> std::unique_ptr<OtherProgram> { return std::make_unique<CrashmailJam>(d); }},
        SoakKind{"Squish", false, [](const std::string& d) -> std::unique_ptr<OtherProgram> { return std::make_unique<SquishWriter>(d); }},
        SoakKind{"Hudson", false, [](const std::string& d) -> std::unique_ptr<OtherProgram> { return std::make_unique<HudsonWriter>(d); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbisk
