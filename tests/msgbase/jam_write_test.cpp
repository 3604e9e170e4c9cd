// JAM deletion, locking and the write side: what changes on disk, and what
// must not.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "msgbase/crc32.h"
#include "msgbase/fileio.h"
#include "msgbase/jamarea.h"
#include "msgbase/jam_image.h"
#include "support/tempdir.h"

namespace orbisk::test {
namespace {

std::vector<std::string> Subjects(const std::string& base) {
    std::unique_ptr<MessageArea> a;
    std::vector<std::string> out;
    if (!OpenAreaByIdentifier(a, "J" + base)) return {"<no open>"};
    for (a->LocateFrom(1); a->IsLocated(); a->LocateNext()) {
        a->LoadHeader();
        out.push_back(std::to_string(a->GetMessageNumber()) + ":" + a->GetSubject());
    }
    CloseAreaAndFree(a);
    return out;
}

bool Delete(const std::string& base, MsgNumber n) {
    std::unique_ptr<MessageArea> a;
    if (!OpenAreaByIdentifier(a, "J" + base)) return false;
    a->LocateFrom(n);
    const bool found = a->IsLocated();
    if (found) {
        a->LoadHeader();
        a->DeleteCurrent();
    }
    return CloseAreaAndFree(a) && found;
}

TEST(JamDelete, MarksHeaderKillsIndexRecordAndCountsOnce) {
    TempDir dir;
    const std::string base = dir / "area";
    WriteJam(base, BuildJam({{{{6, "a"}}, "A\r"}, {{{6, "b"}}, "B\r"}, {{{6, "c"}}, "C\r"}}));
    const std::string jdtBefore = ReadFile(base + ".jdt");

    ASSERT_TRUE(Delete(base, 2));
    std::string jhr = ReadFile(base + ".jhr"), jdx = ReadFile(base + ".jdx");
    EXPECT_EQ(GetLe32(jhr, 12), 2u);  // active messages
    EXPECT_EQ(GetLe32(jhr, 8), 1u);   // modification counter
    EXPECT_EQ(GetLe32(jdx, 8), 0xFFFFFFFFu);
    EXPECT_EQ(GetLe32(jdx, 12), 0xFFFFFFFFu);
    const std::uint32_t h1 = GetLe32(jdx, 4), h3 = GetLe32(jdx, 20);
    EXPECT_EQ(GetLe32(jhr, h1 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(GetLe32(jhr, h3 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(ReadFile(base + ".jdt"), jdtBefore);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"1:a", "3:c"}));
    EXPECT_EQ(GetLe32(ReadFile(base + ".jhr"), 16), 0xFFFFFFFFu);  // password checksum untouched

    // The same message once more, in the same session: nothing changes.
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    a->LocateFrom(3);
    a->LoadHeader();
    a->DeleteCurrent();
    EXPECT_TRUE(a->IsDeleted());
    const std::string after = ReadFile(base + ".jhr");
    a->DeleteCurrent();
    CloseAreaAndFree(a);
    EXPECT_EQ(ReadFile(base + ".jhr"), after);
    EXPECT_EQ(GetLe32(after, 12), 1u);
    EXPECT_EQ(GetLe32(after, 8), 2u);
    EXPECT_NE(GetLe32(after, h3 + 52) & 0x80000000u, 0u);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"1:a"}));

    // A message another tool marked deleted in its header only is not found
    // again, so it cannot be deleted twice either.
    EXPECT_FALSE(Delete(base, 3));
}

TEST(JamDelete, LockHeldElsewhereChangesNothing) {
    TempDir dir;
    const std::string base = dir / "area";
    WriteJam(base, BuildJam({{{{6, "a"}}, "A\r"}, {{{6, "b"}}, "B\r"}}));
    const std::string jhr = ReadFile(base + ".jhr"), jdx = ReadFile(base + ".jdx");
    FileHandle other;
    ASSERT_TRUE(OpenExisting(other, base + ".jhr", kModeReadWrite));
    ASSERT_TRUE(LockRange(other, 0, 1));
    const auto savedRetries = SharingRetryCount;
    SharingRetryCount = 3;
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    EXPECT_FALSE(a->LockArea());
    a->LocateFrom(1);
    a->LoadHeader();
    a->DeleteCurrent();
    a->StartNewMessage();
    a->SetSubject("new");
    EXPECT_EQ(a->SaveMessage(), kIoAccessDenied);
    EXPECT_EQ(ReadFile(base + ".jhr"), jhr);
    EXPECT_EQ(ReadFile(base + ".jdx"), jdx);

    UnlockRange(other, 0, 1);
    SharingRetryCount = savedRetries;
    EXPECT_TRUE(a->LockArea());
    EXPECT_TRUE(a->LockArea());  // nests
    EXPECT_TRUE(a->UnlockArea());
    EXPECT_FALSE(LockRange(other, 0, 1));  // still held by the outer level
    EXPECT_TRUE(a->UnlockArea());
    EXPECT_FALSE(a->UnlockArea());
    EXPECT_TRUE(LockRange(other, 0, 1));
    UnlockRange(other, 0, 1);
    a->LocateFrom(1);
    a->LoadHeader();
    a->DeleteCurrent();
    CloseAreaAndFree(a);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"2:b"}));
}

TEST(JamWrite, CreatedAreaTakesMessagesThatReadBackWhole) {
    TempDir dir;
    const std::string base = dir / "sub/dir/tvlist";
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(CreateAreaForIdentifier(a, "J" + base));
    EXPECT_FALSE(a->AreaExists());
    ASSERT_EQ(a->CreateArea(), 0);
    EXPECT_TRUE(a->AreaExists());
    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"}) EXPECT_TRUE(std::filesystem::exists(base + ext)) << ext;
    const std::string head = ReadFile(base + ".jhr");
    ASSERT_EQ(head.size(), 1024u);
    EXPECT_EQ(head.substr(0, 4), std::string("JAM\0", 4));
    EXPECT_EQ(GetLe32(head, 16), 0xFFFFFFFFu);
    EXPECT_EQ(GetLe32(head, 20), 1u);
    ASSERT_EQ(a->OpenArea(), 0);

    const TDateTime when = EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30);
    for (int i = 1; i <= 2; ++i) {
        a->StartNewMessage();
        a->SetFromName("\xC8\xE2\xE0\xED");  // "Иван"
        a->SetToName(i == 1 ? "All" : "Sysop");
        a->SetSubject("TV " + std::to_string(i));
        a->SetOrigAddress({2, 5020, 9999, 0});
        a->SetDateTime(when);
        a->SetPrivateFlag(i == 2);
        a->SetMailKind(1);
        a->WriteKludgeLine("\x01MSGID: 2:5020/9999 0000000" + std::to_string(i));
        a->WriteKludgeLine("\x01PID: Orbisk");
        a->WriteKludgeLine("\x01INTL 2:5020/1 2:5020/9999");  // dropped
        a->WriteKludgeLine("\x01TZUTC: 0300");
        a->WriteTextLine("\xCD\xD2\xC2 07.00");  // "НТВ 07.00"
        a->WriteText("last");
        ASSERT_EQ(a->SaveMessage(), 0);
    }
    EXPECT_EQ(a->GetHighNumber(), 2);
    EXPECT_TRUE(CloseAreaAndFree(a));

    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    EXPECT_EQ(a->CountMessages(), 2);
    a->LocateFrom(1);
    for (int i = 1; i <= 2; ++i, a->LocateNext()) {
        ASSERT_TRUE(a->IsLocated());
        a->LoadHeader();
        EXPECT_EQ(a->GetMessageNumber(), i);
        EXPECT_EQ(a->GetFromName(), "\xC8\xE2\xE0\xED");
        EXPECT_EQ(a->GetToName(), i == 1 ? "All" : "Sysop");
        EXPECT_EQ(a->GetSubject(), "TV " + std::to_string(i));
        EXPECT_EQ(a->GetOrigAddress(), (FidoAddress{2, 5020, 9999, 0}));
        EXPECT_DOUBLE_EQ(a->GetDateTime(), when);
        EXPECT_EQ(a->IsPrivate(), i == 2);
        a->StartText();
        std::vector<std::string> lines;
        while (!a->AtTextEnd() && lines.size() < 20) lines.push_back(a->ReadTextLine(255));
        EXPECT_EQ(lines, (std::vector<std::string>{"\x01MSGID: 2:5020/9999 0000000" + std::to_string(i),
                                                   "\x01PID: Orbisk", "\x01TZUTC: 0300", "\xCD\xD2\xC2 07.00", "last"}));
    }
    a->FindAddressedFirst("sysop", "");
    ASSERT_TRUE(a->FoundAddressed());
    EXPECT_EQ(a->GetMessageNumber(), 2);
    // A header change written back stays; received messages are not found.
    a->SetReceivedFlag(true);
    a->SetFormatMark(1);
    a->RewriteHeader();
    a->FindAddressedFirst("sysop", "");
    EXPECT_FALSE(a->FoundAddressed());
    a->LocateFrom(1);
    a->LoadHeader();
    EXPECT_FALSE(a->IsReceived() || a->IsRead());
    a->LocateNext();
    a->LoadHeader();
    EXPECT_TRUE(a->IsReceived() && a->IsRead());
    EXPECT_TRUE(CloseAreaAndFree(a));
    const std::string jdx = ReadFile(base + ".jdx"), jhr = ReadFile(base + ".jhr");
    EXPECT_EQ(GetLe32(jdx, 8), Crc32LowerName("Sysop"));
    EXPECT_EQ(GetLe32(jhr, GetLe32(jdx, 4) + 16), Crc32LowerName("2:5020/9999 00000001"));
    EXPECT_EQ(GetLe32(jhr, GetLe32(jdx, 4) + 52) & 0x01000000u, 0x01000000u);  // echo mail

    ASSERT_TRUE(OpenAreaByIdentifier(a, "J" + base));
    a->FindAddressedFirst("Nobody", "all");
    EXPECT_TRUE(a->FoundAddressed());
    a->FindAddressedNext();
    EXPECT_FALSE(a->FoundAddressed());
    // Last-read records: matched by user, updated in place.
    EXPECT_EQ(a->GetLastRead(0), 0);
    a->SetLastRead(0, 5);
    a->SetLastRead(3, 7);
    a->SetLastRead(0, 6);
    EXPECT_EQ(a->GetLastRead(0), 6);
    EXPECT_EQ(a->GetLastRead(3), 7);
    EXPECT_EQ(a->GetLastRead(9), 0);
    EXPECT_EQ(ReadFile(base + ".jlr").size(), 32u);
    CloseAreaAndFree(a);
}

}  // namespace
}  // namespace orbisk::test
