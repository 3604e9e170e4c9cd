// The crashmail fixture makes real areas: checked here byte by byte, without
// any reader of ours.
#include "support/crashmail.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "base/codepage.h"
#include "base/cp1251.h"

namespace orbisk::test {
namespace {

// "Программа НТВ" in CP866; 0x8D is the byte some readers mistake for a
// soft line break.
const std::string kCyrSubject = ansiToOem("Программа НТВ"_cp1251);

std::vector<FidoTestMessage> threeMessages() {
    return {
        {"Ivan Petrov", "All", "First", "Line one\rLine two\r"},
        {"Ivan Petrov", "All", kCyrSubject, ansiToOem("НТВ 07.00 Новости\rSecond line"_cp1251)},
        {"Sysop", "Ivan Petrov", "Third", "unix\nline ends\r\nmixed\n"},
    };
}

// Each body as it must appear in the stored text: CR-terminated lines.
const std::string kStoredBodies[] = {
    "Line one\rLine two\r",
    ansiToOem("НТВ 07.00 Новости\rSecond line\r"_cp1251),
    "unix\rline ends\rmixed\r",
};

std::string cString(const std::string& bytes, size_t offset, size_t size) {
    std::string field = bytes.substr(offset, size);
    return field.substr(0, field.find('\0'));
}

uint32_t U32(const std::string& b, size_t off) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[off])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[off + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[off + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[off + 3])) << 24;
}

TEST(CrashmailFixture, MsgAreaKeepsOrderBytesAndPacks) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const auto msgs = threeMessages();
    const std::string area = tossMessages(dir.str(), AreaFormat::Msg, msgs);
    ASSERT_EQ(area, crashmailAreaPath(dir.str(), AreaFormat::Msg));

    for (size_t i = 0; i < msgs.size(); ++i) {
        // An empty directory is numbered from 2.
        const std::string file = area + "/" + std::to_string(i + 2) + ".msg";
        SCOPED_TRACE(file);
        ASSERT_TRUE(std::filesystem::exists(file));
        const std::string bytes = readFile(file);
        ASSERT_GT(bytes.size(), 190u);
        EXPECT_EQ(cString(bytes, 0, 36), msgs[i].from);
        EXPECT_EQ(cString(bytes, 36, 36), msgs[i].to);
        EXPECT_EQ(cString(bytes, 72, 72), msgs[i].subject);
        const std::string text = bytes.substr(190);
        EXPECT_EQ(text.rfind("\x01MSGID: 2:5020/1.0 ", 0), 0u);
        EXPECT_NE(text.find(kStoredBodies[i]), std::string::npos);
        EXPECT_NE(text.find("\r * Origin: Orbisk test (2:5020/1.0)\rSEEN-BY: 5020/1 9999\r\x01PATH: 5020/9999\r"),
                  std::string::npos);
        EXPECT_EQ(text.find("AREA:"), std::string::npos);
        EXPECT_EQ(text.find('\0'), text.size() - 1);
    }

    // Our program deletes a message file; crashmaint closes the gap.
    std::filesystem::remove(area + "/3.msg");
    const ToolRun pack = runCrashmaint(dir.str(), {"PACK", "VERBOSE", "PATTERN", "TVLIST"});
    EXPECT_TRUE(crashmaintSucceeded(pack)) << pack.output;
    EXPECT_NE(pack.output.find("Renaming message 4 to 3"), std::string::npos) << pack.output;
    EXPECT_EQ(cString(readFile(area + "/2.msg"), 72, 72), "First");
    EXPECT_EQ(cString(readFile(area + "/3.msg"), 72, 72), "Third");
    EXPECT_FALSE(std::filesystem::exists(area + "/4.msg"));
}

TEST(CrashmailFixture, JamAreaKeepsOrderBytesAndAppends) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    auto msgs = threeMessages();
    const std::string base = tossMessages(dir.str(), AreaFormat::Jam, msgs);
    ASSERT_EQ(base, crashmailAreaPath(dir.str(), AreaFormat::Jam));
    // A second call appends after what is there.
    msgs.push_back({"Late", "All", "Fourth", "appended"});
    tossMessages(dir.str(), AreaFormat::Jam, {msgs.back()});

    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"}) EXPECT_TRUE(std::filesystem::exists(base + ext)) << ext;
    const std::string jhr = readFile(base + ".jhr"), jdt = readFile(base + ".jdt"), jdx = readFile(base + ".jdx");
    ASSERT_EQ(jdx.size(), 8 * msgs.size());
    ASSERT_GE(jhr.size(), 1024u);
    EXPECT_EQ(jhr.substr(0, 4), std::string("JAM\0", 4));
    EXPECT_EQ(U32(jhr, 12), msgs.size());  // active messages
    EXPECT_EQ(U32(jhr, 20), 1u);           // base message number

    for (size_t i = 0; i < msgs.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const uint32_t hdr = U32(jdx, 8 * i + 4);
        ASSERT_LE(hdr + 76, jhr.size());
        EXPECT_EQ(jhr.substr(hdr, 4), std::string("JAM\0", 4));
        EXPECT_EQ(U32(jhr, hdr + 48), i + 1);  // message number
        EXPECT_EQ(U32(jhr, hdr + 52) & 0x80000000u, 0u);
        // Subfields: kind (16), reserved (16), length (32), data.
        std::string subject, from;
        const uint32_t end = hdr + 76 + U32(jhr, hdr + 8);
        ASSERT_LE(end, jhr.size());
        for (uint32_t p = hdr + 76; p + 8 <= end;) {
            const unsigned kind = static_cast<unsigned char>(jhr[p]) | static_cast<unsigned char>(jhr[p + 1]) << 8;
            const uint32_t len = U32(jhr, p + 4);
            if (kind == 6) subject = jhr.substr(p + 8, len);
            if (kind == 2) from = jhr.substr(p + 8, len);
            p += 8 + len;
        }
        EXPECT_EQ(subject, msgs[i].subject);
        EXPECT_EQ(from, msgs[i].from);
        const uint32_t off = U32(jhr, hdr + 60), len = U32(jhr, hdr + 64);
        ASSERT_LE(off + len, jdt.size());
        const std::string text = jdt.substr(off, len);
        const std::string stored = i < 3 ? kStoredBodies[i] : "appended\r";
        EXPECT_EQ(text.rfind(stored, 0), 0u) << "kludges or AREA line before the body";
        EXPECT_EQ(text.substr(text.size() - 13), "(2:5020/1.0)\r");
        EXPECT_EQ(text.find('\0'), std::string::npos);
    }

    // This crashmaint reads a JAM base through (no deletions configured),
    // but cannot pack one with several messages although it exits with 0.
    const ToolRun maint = runCrashmaint(dir.str(), {"MAINT", "PATTERN", "TVLIST_JAM"});
    EXPECT_TRUE(crashmaintSucceeded(maint)) << maint.output;
    const ToolRun pack = runCrashmaint(dir.str(), {"PACK", "PATTERN", "TVLIST_JAM"});
    EXPECT_EQ(pack.status, 0);
    EXPECT_FALSE(crashmaintSucceeded(pack))
        << "crashmaint packs JAM bases now; update the notes in support/crashmail.h:\n" << pack.output;
}

TEST(CrashmailFixture, TossFailureIsLoud) {
    if (!crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    writeCrashmailConfig(dir.str());
    // A plain file where the area directory belongs: nothing can be stored.
    writeFile(crashmailAreaPath(dir.str(), AreaFormat::Msg), "not a directory");
    try {
        tossMessages(dir.str(), AreaFormat::Msg, {{"A", "B", "Lost", "text"}});
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("did not import message 1"), std::string::npos) << what;
        EXPECT_NE(what.find("--- log:"), std::string::npos) << what;
    }
    EXPECT_THROW(tossMessages(dir.str(), AreaFormat::Jam, {{std::string(36, 'x'), "B", "S", "t"}}), std::runtime_error);
}

}  // namespace
}  // namespace orbisk::test
