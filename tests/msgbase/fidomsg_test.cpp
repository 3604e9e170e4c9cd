// The Fido *.MSG kind on hand-made files: names and numbering, the header
// fields, the end of the text, the line reader, bad files, the write side.
#include "msgbase/fidomsgarea.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

struct MsgFields {
    std::string from = "Ivan Petrov", to = "All", subject = "Subject", date = "07 Dec 26  21:52:23";
    std::uint16_t attr = 0x0008;
    std::uint16_t origNet = 5020, origNode = 1, destNet = 5020, destNode = 9999;
};

void PutField(std::string& h, std::size_t off, std::size_t size, const std::string& s) {
    h.replace(off, std::min(size, s.size()), s.substr(0, size));
}

void PutWord(std::string& h, std::size_t off, std::uint16_t v) {
    h[off] = static_cast<char>(v & 0xFF);
    h[off + 1] = static_cast<char>(v >> 8);
}

std::string Header(const MsgFields& f) {
    std::string h(190, '\0');
    PutField(h, 0, 36, f.from);
    PutField(h, 36, 36, f.to);
    PutField(h, 72, 72, f.subject);
    PutField(h, 144, 20, f.date);
    PutWord(h, 166, f.destNode);
    PutWord(h, 168, f.origNode);
    PutWord(h, 172, f.origNet);
    PutWord(h, 174, f.destNet);
    PutWord(h, 186, f.attr);
    return h;
}

std::string Msg(const std::string& text, const MsgFields& f = {}) { return Header(f) + text; }

std::unique_ptr<MessageArea> Open(const std::string& dir) {
    std::unique_ptr<MessageArea> area;
    EXPECT_TRUE(OpenAreaByIdentifier(area, "F" + dir));
    return area;
}

FidoMsgArea& Fido(std::unique_ptr<MessageArea>& a) { return dynamic_cast<FidoMsgArea&>(*a); }

std::vector<MsgNumber> Walk(MessageArea& a) {
    std::vector<MsgNumber> out;
    for (a.LocateFrom(1); a.IsLocated(); a.LocateNext()) out.push_back(a.GetMessageNumber());
    return out;
}

std::vector<std::string> Lines(MessageArea& a, std::uint16_t maxLen = 255) {
    std::vector<std::string> out;
    a.StartText();
    for (int guard = 0; !a.AtTextEnd() && guard < 1000000; ++guard) out.push_back(a.ReadTextLine(maxLen));
    return out;
}

using V = std::vector<std::string>;
using N = std::vector<MsgNumber>;

TEST(FidoMsgArea, NumbersFromNamesIgnoringCaseNonMessagesAndWrapAround) {
    TempDir dir;
    for (const char* name : {"1.MSG", "5.msg", "31999.Msg", "0.MSG", "32000.MSG", "ABC.MSG", "7.TXT", "65537.MSG",
                             "12.msg.bak", "-3.msg", "+4.msg", "99999999999.msg", " 6.msg"})
        WriteFile(dir / name, Msg("x\r"));
    fs::create_directory(dir / "7.MSG");                   // a directory is no message
    fs::create_directory_symlink(dir / "7.MSG", dir / "8.msg");  // nor a link to one
    fs::create_symlink(dir / "5.msg", dir / "9.MSG");      // a link to a file is
    auto area = Open(dir.str());
    ASSERT_TRUE(area);
    EXPECT_EQ(Walk(*area), (N{1, 5, 9, 31999}));
    EXPECT_EQ(area->GetHighNumber(), 31999);
    EXPECT_EQ(area->CountMessages(), 4);
    EXPECT_EQ(area->GetHighestExisting(), 31999);

    area->LocateFrom(3);
    EXPECT_EQ(area->GetMessageNumber(), 5);
    area->LocateFrom(32000);
    EXPECT_FALSE(area->IsLocated());
    area->LocateFrom(-2147483647 - 1);
    EXPECT_EQ(area->GetMessageNumber(), 1);
    area->SetPosition(2147483647);
    area->LocateNext();
    EXPECT_FALSE(area->IsLocated());
    area->SetPosition(40000);
    area->LocatePrior();
    EXPECT_EQ(area->GetMessageNumber(), 31999);
    area->LocatePrior();
    EXPECT_EQ(area->GetMessageNumber(), 9);

    // Deleting 5: its file goes, the walk goes on after it.
    area->LocateFrom(5);
    area->LoadHeader();
    area->DeleteCurrent();
    EXPECT_FALSE(fs::exists(dir / "5.msg"));
    EXPECT_TRUE(area->IsDeleted());
    area->LocateNext();
    EXPECT_EQ(area->GetMessageNumber(), 9);
    area->LocateFrom(5);
    EXPECT_EQ(area->GetMessageNumber(), 9);
    EXPECT_EQ(area->CountMessages(), 3);
    // A message in upper or mixed case is found and deleted under its own name.
    area->LocateFrom(31999);
    area->LoadHeader();
    EXPECT_EQ(area->GetSubject(), "Subject");
    area->DeleteCurrent();
    EXPECT_FALSE(fs::exists(dir / "31999.Msg"));
    EXPECT_TRUE(CloseAreaAndFree(area));
}

TEST(FidoMsgArea, TwoNamesForOneNumberPickTheSameFileWhateverTheListingOrder) {
    for (int order = 0; order < 2; ++order) {
        TempDir dir;
        MsgFields a, b, c;
        a.subject = "lower";
        b.subject = "upper";
        c.subject = "padded";
        // Created in both orders, so that the directory lists them both ways.
        if (order == 0) {
            WriteFile(dir / "5.msg", Msg("", a));
            WriteFile(dir / "5.MSG", Msg("", b));
            WriteFile(dir / "005.msg", Msg("", c));
        } else {
            WriteFile(dir / "005.msg", Msg("", c));
            WriteFile(dir / "5.MSG", Msg("", b));
            WriteFile(dir / "5.msg", Msg("", a));
        }
        WriteFile(dir / "0006.MSG", Msg("", c));
        auto area = Open(dir.str());
        EXPECT_EQ(Walk(*area), (N{5, 6}));
        area->LocateFrom(5);
        area->LoadHeader();
        EXPECT_EQ(area->GetSubject(), "upper");  // plainly numbered, first in byte order
        area->LocateFrom(6);
        area->LoadHeader();
        EXPECT_EQ(area->GetSubject(), "padded");
    }
}

TEST(FidoMsgArea, MissingDirectoryFailsToOpenAndCreateAreaMakesIt) {
    TempDir dir;
    std::unique_ptr<MessageArea> area;
    EXPECT_FALSE(OpenAreaByIdentifier(area, "F" + (dir / "none")));
    EXPECT_FALSE(area);
    ASSERT_TRUE(CreateAreaForIdentifier(area, "f" + (dir / "a/b") + "/"));
    EXPECT_EQ(area->OpenArea(), FidoMsgArea::kNoDirectory);
    EXPECT_FALSE(area->AreaExists());
    EXPECT_EQ(area->CreateArea(), 0);
    EXPECT_TRUE(area->AreaExists());
    EXPECT_EQ(area->OpenArea(), 0);
    EXPECT_EQ(Fido(area).AreaPath(), dir / "a/b" + "/");
    EXPECT_FALSE((area->LocateFrom(1), area->IsLocated()));
    EXPECT_EQ(area->GetHighestExisting(), 0);
}

TEST(FidoMsgArea, HeaderFieldsStopAtNulAndAtTheirLimits) {
    TempDir dir;
    std::string h = Header({});
    PutField(h, 0, 36, std::string("Sysop\0GARBAGE", 13));
    PutField(h, 36, 36, std::string(36, 'T'));                 // no NUL at all
    PutField(h, 72, 72, "Re: RE:  " + std::string(63, 'S'));  // no NUL, 72 bytes
    PutWord(h, 170, 77);
    PutWord(h, 184, 3);
    PutWord(h, 188, 65535);
    h[164] = 1;
    WriteFile(dir / "2.msg", h + "Body\r");
    auto area = Open(dir.str());
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetFromName(), "Sysop");
    EXPECT_EQ(area->GetToName(), std::string(35, 'T'));
    EXPECT_EQ(area->GetSubject(), std::string(62, 'S'));  // 71 characters, prefixes removed
    EXPECT_EQ(area->GetCost(), 77);
    EXPECT_EQ(area->GetReplyTo(), 3);
    EXPECT_EQ(area->GetReplyFirst(), 65535);
    EXPECT_TRUE(area->IsRead());
    EXPECT_TRUE(area->IsEcho());
    EXPECT_EQ(area->GetSubArea(), 0);
    EXPECT_EQ(Lines(*area), (V{"Body"}));
}

TEST(FidoMsgArea, CyrillicIsConvertedAnd0x8DStays) {
    TempDir dir;
    MsgFields f;
    f.from = "\x88\xA2\xA0\xAD";                   // "Иван" in 866
    f.subject = "\x8F\xE0\xAE\xA3\xE0\xA0\xAC\xAC\xA0 \x8D\x92\x82";  // "Программа НТВ"
    WriteFile(dir / "3.msg", Msg("\x8D\x92\x82 07.00 \x8D\xAE\xA2\xAE\xE1\xE2\xA8\r\x8D\x8D\x8D\r", f));
    auto area = Open(dir.str());
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetFromName(), "\xC8\xE2\xE0\xED");
    EXPECT_EQ(area->GetSubject(), "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xCD\xD2\xC2");
    EXPECT_EQ(Lines(*area), (V{"\xCD\xD2\xC2 07.00 \xCD\xEE\xE2\xEE\xF1\xF2\xE8", "\xCD\xCD\xCD"}));
}

TEST(FidoMsgArea, DateTextInItsFourLayouts) {
    struct Case {
        const char* text;
        int y, mo, d, h, mi;
    };
    const Case cases[] = {
        {"07 Dec 26  21:52:23", 2026, 12, 7, 21, 52},  // FTS-0001
        {" 7 dec 99  01:02:03", 1999, 12, 7, 1, 2},    // blank becomes 0, month any case
        {"07 Jan 86 02:34:56", 1986, 1, 7, 2, 34},     // one blank
        {"Mon  1 Jan 86 02:34", 1986, 1, 1, 2, 34},    // SEAdog
        {"12-25-03 23:59", 2003, 12, 25, 23, 59},      // numeric
        {"25-Dec-03 23:59", 2003, 12, 25, 23, 59},
    };
    const char* bad[] = {"", "07 Foo 26  21:52:23", "31 Feb 26  10:00:00", "07 Dec 26  25:00:00",
                         "xxxxxxxxxxxxxxxxxxx", "07 Dec 2x  21:52:23", "07Dec26"};
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        MsgFields f;
        f.date = c.text;
        WriteFile(dir / (std::to_string(++n) + ".msg"), Msg("", f));
    }
    for (const char* b : bad) {
        MsgFields f;
        f.date = b;
        WriteFile(dir / (std::to_string(++n) + ".msg"), Msg("", f));
    }
    auto area = Open(dir.str());
    area->LocateFrom(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        area->LoadHeader();
        EXPECT_DOUBLE_EQ(area->GetDateTime(), EncodeDate(c.y, c.mo, c.d) + EncodeTime(c.h, c.mi));
        area->LocateNext();
    }
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        area->LoadHeader();
        EXPECT_EQ(area->GetDateTime(), 0);
        area->LocateNext();
    }
}

TEST(FidoMsgArea, AttributeBitsEachOnItsOwn) {
    using Is = bool (MessageArea::*)();
    const std::pair<int, Is> bits[] = {
        {0, &MessageArea::IsPrivate},       {1, &MessageArea::IsCrash},          {2, &MessageArea::IsReceived},
        {3, &MessageArea::IsSent},          {4, &MessageArea::IsFileAttach},     {7, &MessageArea::IsKillSent},
        {8, &MessageArea::IsLocal},         {11, &MessageArea::IsFileRequest},   {12, &MessageArea::IsReceiptRequest},
        {13, &MessageArea::IsReceipt},      {14, &MessageArea::IsAuditRequest},
    };
    TempDir dir;
    for (const auto& [bit, is] : bits) {
        MsgFields f;
        f.attr = static_cast<std::uint16_t>(1u << bit);
        WriteFile(dir / (std::to_string(bit + 1) + ".msg"), Msg("", f));
    }
    auto area = Open(dir.str());
    for (const auto& [bit, is] : bits) {
        area->LocateFrom(bit + 1);
        area->LoadHeader();
        for (const auto& [other, test] : bits) EXPECT_EQ((*area.*test)(), other == bit) << bit << " " << other;
    }
}

TEST(FidoMsgArea, AddressesFromHeaderAndControlLines) {
    TempDir dir;
    WriteFile(dir / "1.msg", Msg("\x01INTL 2:5020/9999 3:5020/1\r\x01TOPT 7\r\x01" "FMPT 12\rtext\r"));
    WriteFile(dir / "2.msg", Msg("text\r"));
    // Control lines after the first NUL are not part of the message.
    WriteFile(dir / "3.msg", Msg("\x01INTL 4:1/1 4:1/2\r" + std::string(1, '\0') + "\x01TOPT 9\r"));
    // Bad numbers change nothing; a line without ^A counts, as old software wrote them.
    WriteFile(dir / "4.msg", Msg("\x01INTL x:1/1 99999:1/1\r\x01TOPT abc\rFMPT 5\r\x01topt 65536\r"));
    auto area = Open(dir.str());
    Fido(area).SetDefaultZone(2);
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{2, 5020, 9999, 7}));
    EXPECT_EQ(area->GetOrigAddress(), (FidoAddress{3, 5020, 1, 12}));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{2, 5020, 9999, 0}));
    EXPECT_EQ(area->GetOrigAddress(), (FidoAddress{2, 5020, 1, 0}));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{4, 5020, 9999, 0}));
    EXPECT_EQ(Lines(*area), (V{"\x01INTL 4:1/1 4:1/2"}));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{2, 5020, 9999, 0}));
    EXPECT_EQ(area->GetOrigAddress(), (FidoAddress{2, 5020, 1, 5}));
}

TEST(FidoMsgArea, TextEndsAtFirstNulAndReadsExactlyTheStoredLines) {
    TempDir dir;
    WriteFile(dir / "1.msg", Msg(std::string("one\rtwo\r\0garbage\rmore\r", 23)));
    WriteFile(dir / "2.msg", Msg(std::string("before\0after\r", 13)));  // NUL before the first CR
    WriteFile(dir / "3.msg", Msg("no final CR"));
    WriteFile(dir / "4.msg", Msg(""));  // exactly 190 bytes
    WriteFile(dir / "5.msg", Msg("a\n\rb\r\n\r"));
    auto area = Open(dir.str());
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"one", "two"}));
    // ReadChar stops at the same place.
    area->StartText();
    std::string chars;
    while (!area->AtTextEnd()) chars += area->ReadChar();
    EXPECT_EQ(chars, "one\rtwo\r");
    EXPECT_EQ(area->ReadChar(), '\0');
    EXPECT_EQ(area->ReadTextLine(255), "");
    EXPECT_TRUE(area->AtTextEnd());
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"before"}));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"no final CR"}));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_TRUE(area->AtTextEnd());
    EXPECT_EQ(area->ReadTextLine(255), "");
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"a", "b", ""}));
    // StartText goes back to the beginning after a full read.
    EXPECT_EQ(Lines(*area), (V{"a", "b", ""}));
}

TEST(FidoMsgArea, LinesAreCappedAt254AndWrapAtSpaces) {
    TempDir dir;
    const std::string longWord(300, 'x');
    const std::string words = std::string(250, 'a') + " bbbbbbbbbb cc\r";
    WriteFile(dir / "1.msg", Msg(longWord + "\r" + words + "\x01PID: x\rbody\r"));
    auto area = Open(dir.str());
    area->LocateFrom(1);
    area->LoadHeader();
    area->StartText();
    EXPECT_EQ(area->ReadTextLine(65535), std::string(254, 'x'));
    EXPECT_TRUE(area->GetLastLineWrapped());
    EXPECT_EQ(area->ReadTextLine(65535), std::string(46, 'x'));
    EXPECT_FALSE(area->GetLastLineWrapped());
    EXPECT_EQ(area->ReadTextLine(255), std::string(250, 'a') + " ");
    EXPECT_EQ(area->ReadTextLine(255), "bbbbbbbbbb cc");
    EXPECT_EQ(area->ReadTextLineNoKludge(255), "body");
    EXPECT_TRUE(area->AtTextEnd());
    // GetTextPosition / SetTextPosition restore the cursor.
    area->StartText();
    area->ReadTextLine(10);
    const auto pos = area->GetTextPosition();
    const std::string next = area->ReadTextLine(10);
    area->SetTextPosition(pos);
    EXPECT_EQ(area->ReadTextLine(10), next);
}

// The kind reads lines straight from its window; the shared reader, run on
// the same message through ReadChar, must give the same lines, flags and
// cursor positions.
TEST(FidoMsgArea, LineReaderAgreesWithTheSharedReader) {
    TempDir dir;
    const std::string texts[] = {
        "Hello world\r",
        "a b c d e f g h i j k l m n o p\r  two leading blanks\r\n\r",
        std::string(300, 'x') + "\r" + std::string(253, 'y') + " z\r" + std::string(254, 'w') + "\r",
        "trailing space at the cut      " + std::string(240, 'v') + " \rend",
        std::string("\x8D\n\n\x01PID: 1\r") + std::string(70000, '\n') + "across windows  " +
            std::string(70000, 'q') + "\r",
        "word " + std::string(1000, ' ') + "x\r",
        std::string("nul \0 after"),
    };
    int n = 0;
    for (const auto& t : texts) WriteFile(dir / (std::to_string(++n) + ".msg"), Msg(t));
    auto fast = Open(dir.str());
    auto shared = Open(dir.str());
    for (const std::uint16_t maxLen : {1, 2, 5, 8, 17, 80, 254, 255, 65535}) {
        fast->LocateFrom(1);
        shared->LocateFrom(1);
        for (int i = 0; i < n; ++i, fast->LocateNext(), shared->LocateNext()) {
            SCOPED_TRACE(std::to_string(i + 1) + ".msg, maxLen " + std::to_string(maxLen));
            fast->LoadHeader();
            shared->LoadHeader();
            fast->StartText();
            shared->StartText();
            for (int guard = 0; guard < 200000; ++guard) {
                ASSERT_EQ(fast->AtTextEnd(), shared->AtTextEnd());
                ASSERT_EQ(fast->GetTextPosition(), shared->GetTextPosition());
                if (fast->AtTextEnd()) break;
                ASSERT_EQ(fast->ReadTextLine(maxLen), shared->MessageArea::ReadTextLine(std::min<std::uint16_t>(maxLen, 254)));
                ASSERT_EQ(fast->GetLastLineWrapped(), shared->GetLastLineWrapped());
            }
        }
    }
    // The Hello world case of the line rules.
    fast->LocateFrom(1);
    fast->LoadHeader();
    EXPECT_EQ(Lines(*fast, 8), (V{"Hello ", "world"}));
}

TEST(FidoMsgArea, DamagedFilesReadAsEmptyOrBoundedNeverBeyondTheFile) {
    TempDir dir;
    WriteFile(dir / "1.msg", std::string(100, 'A'));                 // shorter than a header
    WriteFile(dir / "2.msg", std::string(190, '\xFF'));              // header of 0xFF
    WriteFile(dir / "3.msg", std::string(190, '\xFF') + std::string(5000, '\0'));
    WriteFile(dir / "4.msg", Msg(std::string(5000, '\r')));
    WriteFile(dir / "5.msg", Msg(std::string(5000, '\x8D')));
    WriteFile(dir / "6.msg", "");
    WriteFile(dir / "7.msg", Msg(std::string(200000, '\n') + "z\r"));  // LFs across windows
    auto area = Open(dir.str());
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetFromName(), std::string(35, 'A'));
    EXPECT_EQ(area->GetToName(), std::string(35, 'A'));
    EXPECT_EQ(area->GetSubject(), std::string(28, 'A'));  // the 28 bytes there are, then zeros
    EXPECT_EQ(area->GetDateTime(), 0);
    EXPECT_EQ(Lines(*area), V{});
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(area->GetSubject().size(), 71u);
    EXPECT_EQ(area->GetFromName().size(), 35u);
    EXPECT_EQ(area->GetDateTime(), 0);
    EXPECT_EQ(area->GetReplyTo(), 65535);
    EXPECT_EQ(Lines(*area), V{});
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), V{});
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), V(5000, ""));
    area->LocateNext();
    area->LoadHeader();
    const auto en = Lines(*area);
    ASSERT_EQ(en.size(), 20u);  // 5000 letters in pieces of 254, hard cut
    EXPECT_EQ(en[0], std::string(254, '\xCD'));
    EXPECT_EQ(en[19], std::string(5000 - 19 * 254, '\xCD'));
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Fido(area).MessageStatus(), 0);
    EXPECT_EQ(area->GetSubject(), "");
    EXPECT_EQ(Lines(*area), V{});
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"z"}));
}

TEST(FidoMsgArea, VanishedAndUnreadableFilesReadAsEmpty) {
    TempDir dir;
    WriteFile(dir / "1.msg", Msg("one\r"));
    WriteFile(dir / "2.msg", Msg("two\r"));
    WriteFile(dir / "3.msg", Msg("three\r"));
    chmod((dir / "2.msg").c_str(), 0);
    auto area = Open(dir.str());
    fs::remove(dir / "1.msg");
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(Fido(area).MessageStatus(), FidoMsgArea::kFileNotFound);
    EXPECT_EQ(area->GetSubject(), "");
    EXPECT_TRUE(area->AtTextEnd());
    EXPECT_EQ(Lines(*area), V{});
    EXPECT_TRUE(area->IsDeleted());
    area->LocateNext();
    area->LoadHeader();
    if (geteuid() != 0) {
        EXPECT_EQ(Fido(area).MessageStatus(), FidoMsgArea::kCannotOpen);
        EXPECT_EQ(area->GetSubject(), "");
        EXPECT_EQ(Lines(*area), V{});
    }
    area->LocateNext();
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"three"}));
    // A read-only message still reads.
    chmod((dir / "3.msg").c_str(), 0444);
    area->LoadHeader();
    EXPECT_EQ(Lines(*area), (V{"three"}));
}

TEST(FidoMsgArea, TenMegabyteMessageReadsThroughTheWindow) {
    TempDir dir;
    std::string text;
    text.reserve(10u << 20);
    std::size_t lines = 0;
    while (text.size() < (10u << 20)) {
        text += "line " + std::to_string(lines++) + " \x8D\x92\x82 " + std::string(60, 'x') + "\r";
    }
    text += "\x01TOPT 42\r";  // a control line at the very end is still seen
    WriteFile(dir / "1.msg", Msg(text));
    auto area = Open(dir.str());
    area->LocateFrom(1);
    const auto t0 = std::chrono::steady_clock::now();
    area->LoadHeader();
    EXPECT_EQ(area->GetDestAddress().point, 42);
    const auto got = Lines(*area);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(got.size(), lines + 1);
    EXPECT_EQ(got[0], "line 0 \xCD\xD2\xC2 " + std::string(60, 'x'));
    EXPECT_EQ(got[lines - 1], "line " + std::to_string(lines - 1) + " \xCD\xD2\xC2 " + std::string(60, 'x'));
    EXPECT_LT(secs, 30.0);  // generous for sanitizer builds; a quadratic reader takes hours
}

TEST(FidoMsgArea, ThirtyTwoThousandFiles) {
    TempDir dir;
    // Empty files (header and text missing), all links to one inode: making
    // 32,000 inodes would cost the file system far more than reading them.
    const std::string empty = dir / "empty";
    WriteFile(empty, "");
    for (int n = 0; n <= 32000; ++n) ASSERT_EQ(::link(empty.c_str(), (dir / (std::to_string(n) + ".MSG")).c_str()), 0);
    for (const char* name : {"65537.MSG", "ABC.MSG", "7.TXT"}) WriteFile(dir / name, "");
    auto area = Open(dir.str());
    ASSERT_TRUE(area);
    EXPECT_EQ(area->CountMessages(), 31999);
    EXPECT_EQ(area->GetHighNumber(), 31999);
    int count = 0;
    for (area->LocateFrom(1); area->IsLocated(); area->LocateNext()) {
        area->LoadHeader();
        area->StartText();
        while (!area->AtTextEnd()) area->ReadTextLineNoKludge(255);
        ++count;
    }
    EXPECT_EQ(count, 31999);
}

TEST(FidoMsgArea, WrittenMessageReadsBackWhole) {
    TempDir dir;
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(CreateAreaForIdentifier(area, "F" + (dir / "area")));
    ASSERT_EQ(area->CreateArea(), 0);
    ASSERT_EQ(area->OpenArea(), 0);
    const TDateTime when = EncodeDate(2026, 3, 9) + EncodeTime(18, 5, 7);
    for (int i = 0; i < 3; ++i) {
        area->StartNewMessage();
        area->SetFromName("\xC8\xE2\xE0\xED Petrov");  // "Иван Petrov"
        area->SetToName(std::string(50, 'T'));
        area->SetSubject("\xCD\xD2\xC2 " + std::to_string(i));  // "НТВ i"
        area->SetDateTime(when);
        area->SetOrigAddress({2, 5020, 1, 0});
        area->SetDestAddress({2, 5020, 9999, 0});
        area->SetCost(12);
        area->SetReplyTo(i);
        area->SetLocalFlag(true);
        area->SetPrivateFlag(true);
        area->SetPrivateFlag(false);
        area->SetFormatMark(1);
        area->WriteKludgeLine("\x01MSGID: 2:5020/1 0000000" + std::to_string(i));
        area->WriteTextLine("\xCD\xD2\xC2 07.00");
        area->WriteText("last line without CR");
        ASSERT_EQ(area->SaveMessage(), 0);
        EXPECT_EQ(area->GetMessageNumber(), i + 1);
    }
    EXPECT_TRUE(fs::exists(dir / "area/1.msg"));
    EXPECT_TRUE(fs::exists(dir / "area/3.msg"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "area"), fs::directory_iterator()), 3);  // no temp files
    const std::string raw = ReadFile(dir / "area/1.msg");
    EXPECT_EQ(raw.substr(144, 20), std::string("09 Mar 26  18:05:07\0", 20));
    EXPECT_EQ(raw.back(), '\0');
    EXPECT_EQ(raw.substr(190, 9), "\x01MSGID: 2");
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x88);  // stored in 866

    auto again = Open(dir / "area");
    EXPECT_EQ(Walk(*again), (N{1, 2, 3}));
    again->LocateFrom(2);
    again->LoadHeader();
    EXPECT_EQ(again->GetFromName(), "\xC8\xE2\xE0\xED Petrov");
    EXPECT_EQ(again->GetToName(), std::string(35, 'T'));
    EXPECT_EQ(again->GetSubject(), "\xCD\xD2\xC2 1");
    EXPECT_DOUBLE_EQ(again->GetDateTime(), EncodeDate(2026, 3, 9) + EncodeTime(18, 5));
    EXPECT_EQ(again->GetOrigAddress(), (FidoAddress{1, 5020, 1, 0}));  // echomail: no INTL, default zone
    EXPECT_EQ(again->GetDestAddress(), (FidoAddress{1, 5020, 9999, 0}));
    EXPECT_EQ(again->GetCost(), 12);
    EXPECT_EQ(again->GetReplyTo(), 1);
    EXPECT_TRUE(again->IsLocal());
    EXPECT_FALSE(again->IsPrivate());
    EXPECT_TRUE(again->IsRead());
    EXPECT_EQ(Lines(*again), (V{"\x01MSGID: 2:5020/1 00000001", "\xCD\xD2\xC2 07.00", "last line without CR"}));
}

TEST(FidoMsgArea, NetmailAddressLinesRoundTrip) {
    TempDir dir;
    auto area = Open(dir.str());
    area->SetMailKind(2);
    area->StartNewMessage();
    area->SetOrigAddress({2, 5020, 1, 3});
    area->SetDestAddress({3, 100, 200, 4});
    area->WriteTextLine("hi");
    ASSERT_EQ(area->SaveMessage(), 0);
    area->LocateFrom(1);
    area->LoadHeader();
    EXPECT_EQ(area->GetOrigAddress(), (FidoAddress{2, 5020, 1, 3}));
    EXPECT_EQ(area->GetDestAddress(), (FidoAddress{3, 100, 200, 4}));
    EXPECT_EQ(Lines(*area), (V{"\x01" "FMPT 3", "\x01TOPT 4", "\x01INTL 3:100/200 2:5020/1", "hi"}));
}

TEST(FidoMsgArea, SaveNeverOverwritesAMessageWrittenByOthersMeanwhile) {
    TempDir dir;
    WriteFile(dir / "1.msg", Msg("mine\r"));
    auto area = Open(dir.str());
    // Another program adds 2 and 3 after we listed the directory.
    WriteFile(dir / "2.MSG", Msg("theirs 2\r"));
    WriteFile(dir / "3.msg", Msg("theirs 3\r"));
    area->StartNewMessage();
    area->SetSubject("ours");
    ASSERT_EQ(area->SaveMessage(), 0);
    EXPECT_EQ(area->GetMessageNumber(), 4);
    EXPECT_EQ(ReadFile(dir / "2.MSG"), Msg("theirs 2\r"));
    EXPECT_EQ(ReadFile(dir / "3.msg"), Msg("theirs 3\r"));
    EXPECT_EQ(Walk(*area), (N{1, 2, 3, 4}));
    // Nothing composed: nothing saved.
    EXPECT_NE(area->SaveMessage(), 0);
    // A full area: no number left above the highest.
    WriteFile(dir / "31999.msg", Msg(""));
    auto full = Open(dir.str());
    full->StartNewMessage();
    EXPECT_EQ(full->SaveMessage(), FidoMsgArea::kAreaFull);
    EXPECT_FALSE(fs::exists(dir / "32000.msg"));
    // Abandoned composition leaves no temporary file behind.
    full->StartNewMessage();
    full->WriteText("x");
    DestroyArea(full);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 5u);
}

TEST(FidoMsgArea, LastReadPointers) {
    TempDir dir;
    auto area = Open(dir.str());
    EXPECT_EQ(area->GetLastRead(0), 0);
    area->SetLastRead(3, 31999);
    EXPECT_EQ(fs::file_size(dir / "lastread"), 8u);
    EXPECT_EQ(area->GetLastRead(3), 31999);
    EXPECT_EQ(area->GetLastRead(0), 0);
    EXPECT_EQ(area->GetLastRead(4), 0);
    EXPECT_EQ(area->GetLastRead(-1), 0);
    area->SetLastRead(0, 7);
    EXPECT_EQ(area->GetLastRead(0), 7);
    EXPECT_EQ(area->GetLastRead(3), 31999);
    area->SetLastRead(2147483647, 1);  // no 4 GB file
    EXPECT_EQ(fs::file_size(dir / "lastread"), 8u);
    // Another program's "LASTREAD" is used, not a second file.
    fs::rename(dir / "lastread", dir / "LASTREAD");
    EXPECT_EQ(area->GetLastRead(3), 31999);
    area->SetLastRead(1, 5);
    EXPECT_FALSE(fs::exists(dir / "lastread"));
    EXPECT_EQ(area->GetLastRead(1), 5);
}

TEST(FidoMsgArea, FindAddressedSkipsReceived) {
    TempDir dir;
    MsgFields a, b, c;
    a.to = "sysop";
    b.to = "Sysop";
    b.attr = 4;  // received
    c.to = "Alias";
    WriteFile(dir / "1.msg", Msg("", b));
    WriteFile(dir / "2.msg", Msg("", a));
    WriteFile(dir / "3.msg", Msg(""));
    WriteFile(dir / "4.msg", Msg("", c));
    auto area = Open(dir.str());
    area->FindAddressedFirst("SYSOP", "alias");
    EXPECT_TRUE(area->FoundAddressed());
    EXPECT_EQ(area->GetMessageNumber(), 2);
    area->FindAddressedNext();
    EXPECT_EQ(area->GetMessageNumber(), 4);
    area->FindAddressedNext();
    EXPECT_FALSE(area->FoundAddressed());
}

}  // namespace
}  // namespace orbisk
