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

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

struct MsgFields {
    std::string from = "Ivan Petrov", to = "All", subject = "Subject", date = "07 Dec 26  21:52:23";
    std::uint16_t attr = 0x0008;
    std::uint16_t origNet = 5020, origNode = 1, destNet = 5020, destNode = 9999;
};

void putField(std::string& h, std::size_t off, std::size_t size, const std::string& s) {
    h.replace(off, std::min(size, s.size()), s.substr(0, size));
}

void putWord(std::string& h, std::size_t off, std::uint16_t v) {
    h[off] = static_cast<char>(v & 0xFF);
    h[off + 1] = static_cast<char>(v >> 8);
}

std::string header(const MsgFields& f) {
    std::string h(190, '\0');
    putField(h, 0, 36, f.from);
    putField(h, 36, 36, f.to);
    putField(h, 72, 72, f.subject);
    putField(h, 144, 20, f.date);
    putWord(h, 166, f.destNode);
    putWord(h, 168, f.origNode);
    putWord(h, 172, f.origNet);
    putWord(h, 174, f.destNet);
    putWord(h, 186, f.attr);
    return h;
}

std::string messageBytes(const std::string& text, const MsgFields& f = {}) { return header(f) + text; }

std::unique_ptr<MessageArea> open(const std::string& dir) {
    std::unique_ptr<MessageArea> area;
    EXPECT_TRUE(openAreaByIdentifier(area, "F" + dir));
    return area;
}

FidoMsgArea& fidoArea(std::unique_ptr<MessageArea>& a) { return dynamic_cast<FidoMsgArea&>(*a); }

std::vector<MsgNumber> walk(MessageArea& a) {
    std::vector<MsgNumber> out;
    for (a.locateFrom(1); a.isLocated(); a.locateNext()) out.push_back(a.getMessageNumber());
    return out;
}

std::vector<std::string> readLines(MessageArea& a, std::uint16_t maxLen = 255) {
    std::vector<std::string> out;
    a.startText();
    for (int guard = 0; !a.atTextEnd() && guard < 1000000; ++guard) out.push_back(a.readTextLine(maxLen));
    return out;
}

using V = std::vector<std::string>;
using N = std::vector<MsgNumber>;

TEST(FidoMsgArea, NumbersFromNamesIgnoringCaseNonMessagesAndWrapAround) {
    TempDir dir;
    for (const char* name : {"1.MSG", "5.msg", "31999.Msg", "0.MSG", "32000.MSG", "ABC.MSG", "7.TXT", "65537.MSG",
                             "12.msg.bak", "-3.msg", "+4.msg", "99999999999.msg", " 6.msg"})
        writeFile(dir / name, messageBytes("x\r"));
    fs::create_directory(dir / "7.MSG");                   // a directory is no message
    fs::create_directory_symlink(dir / "7.MSG", dir / "8.msg");  // nor a link to one
    fs::create_symlink(dir / "5.msg", dir / "9.MSG");      // a link to a file is
    auto area = open(dir.str());
    ASSERT_TRUE(area);
    EXPECT_EQ(walk(*area), (N{1, 5, 9, 31999}));
    EXPECT_EQ(area->getHighNumber(), 31999);
    EXPECT_EQ(area->countMessages(), 4);
    EXPECT_EQ(area->getHighestExisting(), 31999);

    area->locateFrom(3);
    EXPECT_EQ(area->getMessageNumber(), 5);
    area->locateFrom(32000);
    EXPECT_FALSE(area->isLocated());
    area->locateFrom(-2147483647 - 1);
    EXPECT_EQ(area->getMessageNumber(), 1);
    area->setPosition(2147483647);
    area->locateNext();
    EXPECT_FALSE(area->isLocated());
    area->setPosition(40000);
    area->locatePrior();
    EXPECT_EQ(area->getMessageNumber(), 31999);
    area->locatePrior();
    EXPECT_EQ(area->getMessageNumber(), 9);

    // Deleting 5: its file goes, the walk goes on after it.
    area->locateFrom(5);
    area->loadHeader();
    area->deleteCurrent();
    EXPECT_FALSE(fs::exists(dir / "5.msg"));
    EXPECT_TRUE(area->isDeleted());
    area->locateNext();
    EXPECT_EQ(area->getMessageNumber(), 9);
    area->locateFrom(5);
    EXPECT_EQ(area->getMessageNumber(), 9);
    EXPECT_EQ(area->countMessages(), 3);
    // A message in upper or mixed case is found and deleted under its own name.
    area->locateFrom(31999);
    area->loadHeader();
    EXPECT_EQ(area->getSubject(), "Subject");
    area->deleteCurrent();
    EXPECT_FALSE(fs::exists(dir / "31999.Msg"));
    EXPECT_TRUE(closeAreaAndFree(area));
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
            writeFile(dir / "5.msg", messageBytes("", a));
            writeFile(dir / "5.MSG", messageBytes("", b));
            writeFile(dir / "005.msg", messageBytes("", c));
        } else {
            writeFile(dir / "005.msg", messageBytes("", c));
            writeFile(dir / "5.MSG", messageBytes("", b));
            writeFile(dir / "5.msg", messageBytes("", a));
        }
        writeFile(dir / "0006.MSG", messageBytes("", c));
        auto area = open(dir.str());
        EXPECT_EQ(walk(*area), (N{5, 6}));
        area->locateFrom(5);
        area->loadHeader();
        EXPECT_EQ(area->getSubject(), "upper");  // plainly numbered, first in byte order
        area->locateFrom(6);
        area->loadHeader();
        EXPECT_EQ(area->getSubject(), "padded");
    }
}

TEST(FidoMsgArea, MissingDirectoryFailsToOpenAndCreateAreaMakesIt) {
    TempDir dir;
    std::unique_ptr<MessageArea> area;
    EXPECT_FALSE(openAreaByIdentifier(area, "F" + (dir / "none")));
    EXPECT_FALSE(area);
    ASSERT_TRUE(createAreaForIdentifier(area, "f" + (dir / "a/b") + "/"));
    EXPECT_EQ(area->openArea(), FidoMsgArea::kNoDirectory);
    EXPECT_FALSE(area->areaExists());
    EXPECT_EQ(area->createArea(), 0);
    EXPECT_TRUE(area->areaExists());
    EXPECT_EQ(area->openArea(), 0);
    EXPECT_EQ(fidoArea(area).areaPath(), dir / "a/b" + "/");
    EXPECT_FALSE((area->locateFrom(1), area->isLocated()));
    EXPECT_EQ(area->getHighestExisting(), 0);
}

TEST(FidoMsgArea, HeaderFieldsStopAtNulAndAtTheirLimits) {
    TempDir dir;
    std::string h = header({});
    putField(h, 0, 36, std::string("Sysop\0GARBAGE", 13));
    putField(h, 36, 36, std::string(36, 'T'));                 // no NUL at all
    putField(h, 72, 72, "Re: RE:  " + std::string(63, 'S'));  // no NUL, 72 bytes
    putWord(h, 170, 77);
    putWord(h, 184, 3);
    putWord(h, 188, 65535);
    h[164] = 1;
    writeFile(dir / "2.msg", h + "Body\r");
    auto area = open(dir.str());
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getFromName(), "Sysop");
    EXPECT_EQ(area->getToName(), std::string(35, 'T'));
    EXPECT_EQ(area->getSubject(), std::string(62, 'S'));  // 71 characters, prefixes removed
    EXPECT_EQ(area->getCost(), 77);
    EXPECT_EQ(area->getReplyTo(), 3);
    EXPECT_EQ(area->getReplyFirst(), 65535);
    EXPECT_TRUE(area->isRead());
    EXPECT_TRUE(area->isEcho());
    EXPECT_EQ(area->getSubArea(), 0);
    EXPECT_EQ(readLines(*area), (V{"Body"}));
}

TEST(FidoMsgArea, CyrillicIsConvertedAnd0x8DStays) {
    TempDir dir;
    MsgFields f;
    f.from = ansiToOem("Иван"_cp1251);
    f.subject = ansiToOem("Программа НТВ"_cp1251);
    writeFile(dir / "3.msg", messageBytes(ansiToOem("НТВ 07.00 Новости\rННН\r"_cp1251), f));
    auto area = open(dir.str());
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getFromName(), "Иван"_cp1251);
    EXPECT_EQ(area->getSubject(), "Программа НТВ"_cp1251);
    EXPECT_EQ(readLines(*area), (V{"НТВ 07.00 Новости"_cp1251, "ННН"_cp1251}));
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
        {"31 Dec 79  00:00:00", 2079, 12, 31, 0, 0},   // two-digit years: as Hudson's
        {"01 Jan 80  00:00:00", 1980, 1, 1, 0, 0},
    };
    const char* bad[] = {"", "07 Foo 26  21:52:23", "31 Feb 26  10:00:00", "07 Dec 26  25:00:00",
                         "xxxxxxxxxxxxxxxxxxx", "07 Dec 2x  21:52:23", "07Dec26"};
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        MsgFields f;
        f.date = c.text;
        writeFile(dir / (std::to_string(++n) + ".msg"), messageBytes("", f));
    }
    for (const char* b : bad) {
        MsgFields f;
        f.date = b;
        writeFile(dir / (std::to_string(++n) + ".msg"), messageBytes("", f));
    }
    auto area = open(dir.str());
    area->locateFrom(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        area->loadHeader();
        EXPECT_DOUBLE_EQ(area->getDateTime(), encodeDate(c.y, c.mo, c.d) + encodeTime(c.h, c.mi));
        area->locateNext();
    }
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        area->loadHeader();
        EXPECT_EQ(area->getDateTime(), 0);
        area->locateNext();
    }
}

TEST(FidoMsgArea, AttributeBitsEachOnItsOwn) {
    using Is = bool (MessageArea::*)();
    const std::pair<int, Is> bits[] = {
        {0, &MessageArea::isPrivate},       {1, &MessageArea::isCrash},          {2, &MessageArea::isReceived},
        {3, &MessageArea::isSent},          {4, &MessageArea::isFileAttach},     {7, &MessageArea::isKillSent},
        {8, &MessageArea::isLocal},         {11, &MessageArea::isFileRequest},   {12, &MessageArea::isReceiptRequest},
        {13, &MessageArea::isReceipt},      {14, &MessageArea::isAuditRequest},
    };
    TempDir dir;
    for (const auto& [bit, is] : bits) {
        MsgFields f;
        f.attr = static_cast<std::uint16_t>(1u << bit);
        writeFile(dir / (std::to_string(bit + 1) + ".msg"), messageBytes("", f));
    }
    auto area = open(dir.str());
    for (const auto& [bit, is] : bits) {
        area->locateFrom(bit + 1);
        area->loadHeader();
        for (const auto& [other, test] : bits) EXPECT_EQ((*area.*test)(), other == bit) << bit << " " << other;
    }
}

TEST(FidoMsgArea, AddressesFromHeaderAndControlLines) {
    TempDir dir;
    writeFile(dir / "1.msg", messageBytes("\x01INTL 2:5020/9999 3:5020/1\r\x01TOPT 7\r\x01" "FMPT 12\rtext\r"));
    writeFile(dir / "2.msg", messageBytes("text\r"));
    // Control lines after the first NUL are not part of the message.
    writeFile(dir / "3.msg", messageBytes("\x01INTL 4:1/1 4:1/2\r" + std::string(1, '\0') + "\x01TOPT 9\r"));
    // Bad numbers change nothing; a line without ^A counts, as old software wrote them.
    writeFile(dir / "4.msg", messageBytes("\x01INTL x:1/1 99999:1/1\r\x01TOPT abc\rFMPT 5\r\x01topt 65536\r"));
    auto area = open(dir.str());
    fidoArea(area).setDefaultZone(2);
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{2, 5020, 9999, 7}));
    EXPECT_EQ(area->getOrigAddress(), (FidoAddress{3, 5020, 1, 12}));
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{2, 5020, 9999, 0}));
    EXPECT_EQ(area->getOrigAddress(), (FidoAddress{2, 5020, 1, 0}));
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{4, 5020, 9999, 0}));
    EXPECT_EQ(readLines(*area), (V{"\x01INTL 4:1/1 4:1/2"}));
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{2, 5020, 9999, 0}));
    EXPECT_EQ(area->getOrigAddress(), (FidoAddress{2, 5020, 1, 5}));
}

TEST(FidoMsgArea, TextEndsAtFirstNulAndReadsExactlyTheStoredLines) {
    TempDir dir;
    writeFile(dir / "1.msg", messageBytes(std::string("one\rtwo\r\0garbage\rmore\r", 23)));
    writeFile(dir / "2.msg", messageBytes(std::string("before\0after\r", 13)));  // NUL before the first CR
    writeFile(dir / "3.msg", messageBytes("no final CR"));
    writeFile(dir / "4.msg", messageBytes(""));  // exactly 190 bytes
    writeFile(dir / "5.msg", messageBytes("a\n\rb\r\n\r"));
    auto area = open(dir.str());
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"one", "two"}));
    // readChar stops at the same place.
    area->startText();
    std::string chars;
    while (!area->atTextEnd()) chars += area->readChar();
    EXPECT_EQ(chars, "one\rtwo\r");
    EXPECT_EQ(area->readChar(), '\0');
    EXPECT_EQ(area->readTextLine(255), "");
    EXPECT_TRUE(area->atTextEnd());
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"before"}));
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"no final CR"}));
    area->locateNext();
    area->loadHeader();
    EXPECT_TRUE(area->atTextEnd());
    EXPECT_EQ(area->readTextLine(255), "");
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"a", "b", ""}));
    // startText goes back to the beginning after a full read.
    EXPECT_EQ(readLines(*area), (V{"a", "b", ""}));
}

TEST(FidoMsgArea, LinesAreCappedAt254AndWrapAtSpaces) {
    TempDir dir;
    const std::string longWord(300, 'x');
    const std::string words = std::string(250, 'a') + " bbbbbbbbbb cc\r";
    writeFile(dir / "1.msg", messageBytes(longWord + "\r" + words + "\x01PID: x\rbody\r"));
    auto area = open(dir.str());
    area->locateFrom(1);
    area->loadHeader();
    area->startText();
    EXPECT_EQ(area->readTextLine(65535), std::string(254, 'x'));
    EXPECT_TRUE(area->getLastLineWrapped());
    EXPECT_EQ(area->readTextLine(65535), std::string(46, 'x'));
    EXPECT_FALSE(area->getLastLineWrapped());
    EXPECT_EQ(area->readTextLine(255), std::string(250, 'a') + " ");
    EXPECT_EQ(area->readTextLine(255), "bbbbbbbbbb cc");
    EXPECT_EQ(area->readTextLineNoKludge(255), "body");
    EXPECT_TRUE(area->atTextEnd());
    // getTextPosition / setTextPosition restore the cursor.
    area->startText();
    area->readTextLine(10);
    const auto pos = area->getTextPosition();
    const std::string next = area->readTextLine(10);
    area->setTextPosition(pos);
    EXPECT_EQ(area->readTextLine(10), next);
}

// The kind reads lines straight from its window; the shared reader, run on
// the same message through readChar, must give the same lines, flags and
// cursor positions.
TEST(FidoMsgArea, LineReaderAgreesWithTheSharedReader) {
    TempDir dir;
    const std::string texts[] = {
        "Hello world\r",
        "a b c d e f g h i j k l m n o p\r  two leading blanks\r\n\r",
        std::string(300, 'x') + "\r" + std::string(253, 'y') + " z\r" + std::string(254, 'w') + "\r",
        "trailing space at the cut      " + std::string(240, 'v') + " \rend",
        ansiToOem("Н\n\n\x01PID: 1\r"_cp1251) + std::string(70000, '\n') + "across windows  " +
            std::string(70000, 'q') + "\r",
        "word " + std::string(1000, ' ') + "x\r",
        std::string("nul \0 after"),
    };
    int n = 0;
    for (const auto& t : texts) writeFile(dir / (std::to_string(++n) + ".msg"), messageBytes(t));
    auto fast = open(dir.str());
    auto shared = open(dir.str());
    for (const std::uint16_t maxLen : {1, 2, 5, 8, 17, 80, 254, 255, 65535}) {
        fast->locateFrom(1);
        shared->locateFrom(1);
        for (int i = 0; i < n; ++i, fast->locateNext(), shared->locateNext()) {
            SCOPED_TRACE(std::to_string(i + 1) + ".msg, maxLen " + std::to_string(maxLen));
            fast->loadHeader();
            shared->loadHeader();
            fast->startText();
            shared->startText();
            for (int guard = 0; guard < 200000; ++guard) {
                ASSERT_EQ(fast->atTextEnd(), shared->atTextEnd());
                ASSERT_EQ(fast->getTextPosition(), shared->getTextPosition());
                if (fast->atTextEnd()) break;
                ASSERT_EQ(fast->readTextLine(maxLen), shared->MessageArea::readTextLine(std::min<std::uint16_t>(maxLen, 254)));
                ASSERT_EQ(fast->getLastLineWrapped(), shared->getLastLineWrapped());
            }
        }
    }
    // The Hello world case of the line rules.
    fast->locateFrom(1);
    fast->loadHeader();
    EXPECT_EQ(readLines(*fast, 8), (V{"Hello ", "world"}));
}

TEST(FidoMsgArea, DamagedFilesReadAsEmptyOrBoundedNeverBeyondTheFile) {
    TempDir dir;
    const char letterEn = "Н"_cp1251[0];                             // 0x8D in 866
    writeFile(dir / "1.msg", std::string(100, 'A'));                 // shorter than a header
    writeFile(dir / "2.msg", std::string(190, '\xFF'));              // header of 0xFF
    writeFile(dir / "3.msg", std::string(190, '\xFF') + std::string(5000, '\0'));
    writeFile(dir / "4.msg", messageBytes(std::string(5000, '\r')));
    writeFile(dir / "5.msg", messageBytes(ansiToOem(std::string(5000, letterEn))));
    writeFile(dir / "6.msg", "");
    writeFile(dir / "7.msg", messageBytes(std::string(200000, '\n') + "z\r"));  // LFs across windows
    auto area = open(dir.str());
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getFromName(), std::string(35, 'A'));
    EXPECT_EQ(area->getToName(), std::string(35, 'A'));
    EXPECT_EQ(area->getSubject(), std::string(28, 'A'));  // the 28 bytes there are, then zeros
    EXPECT_EQ(area->getDateTime(), 0);
    EXPECT_EQ(readLines(*area), V{});
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(area->getSubject().size(), 71u);
    EXPECT_EQ(area->getFromName().size(), 35u);
    EXPECT_EQ(area->getDateTime(), 0);
    EXPECT_EQ(area->getReplyTo(), 65535);
    EXPECT_EQ(readLines(*area), V{});
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), V{});
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), V(5000, ""));
    area->locateNext();
    area->loadHeader();
    const auto en = readLines(*area);
    ASSERT_EQ(en.size(), 20u);  // 5000 letters in pieces of 254, hard cut
    EXPECT_EQ(en[0], std::string(254, letterEn));
    EXPECT_EQ(en[19], std::string(5000 - 19 * 254, letterEn));
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(fidoArea(area).messageStatus(), 0);
    EXPECT_EQ(area->getSubject(), "");
    EXPECT_EQ(readLines(*area), V{});
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"z"}));
}

TEST(FidoMsgArea, VanishedAndUnreadableFilesReadAsEmpty) {
    TempDir dir;
    writeFile(dir / "1.msg", messageBytes("one\r"));
    writeFile(dir / "2.msg", messageBytes("two\r"));
    writeFile(dir / "3.msg", messageBytes("three\r"));
    chmod((dir / "2.msg").c_str(), 0);
    auto area = open(dir.str());
    fs::remove(dir / "1.msg");
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(fidoArea(area).messageStatus(), FidoMsgArea::kFileNotFound);
    EXPECT_EQ(area->getSubject(), "");
    EXPECT_TRUE(area->atTextEnd());
    EXPECT_EQ(readLines(*area), V{});
    EXPECT_TRUE(area->isDeleted());
    area->locateNext();
    area->loadHeader();
    if (geteuid() != 0) {
        EXPECT_EQ(fidoArea(area).messageStatus(), FidoMsgArea::kCannotOpen);
        EXPECT_EQ(area->getSubject(), "");
        EXPECT_EQ(readLines(*area), V{});
    }
    area->locateNext();
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"three"}));
    // A read-only message still reads.
    chmod((dir / "3.msg").c_str(), 0444);
    area->loadHeader();
    EXPECT_EQ(readLines(*area), (V{"three"}));
}

TEST(FidoMsgArea, TenMegabyteMessageReadsThroughTheWindow) {
    TempDir dir;
    std::string text;
    text.reserve(10u << 20);
    std::size_t lines = 0;
    const std::string ntv = ansiToOem(" НТВ "_cp1251);
    while (text.size() < (10u << 20)) {
        text += "line " + std::to_string(lines++) + ntv + std::string(60, 'x') + "\r";
    }
    text += "\x01TOPT 42\r";  // a control line at the very end is still seen
    writeFile(dir / "1.msg", messageBytes(text));
    auto area = open(dir.str());
    area->locateFrom(1);
    const auto t0 = std::chrono::steady_clock::now();
    area->loadHeader();
    EXPECT_EQ(area->getDestAddress().point, 42);
    const auto got = readLines(*area);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(got.size(), lines + 1);
    EXPECT_EQ(got[0], "line 0 НТВ "_cp1251 + std::string(60, 'x'));
    EXPECT_EQ(got[lines - 1], "line " + std::to_string(lines - 1) + " НТВ "_cp1251 + std::string(60, 'x'));
    EXPECT_LT(secs, 30.0);  // generous for sanitizer builds; a quadratic reader takes hours
}

TEST(FidoMsgArea, ThirtyTwoThousandFiles) {
    TempDir dir;
    // Empty files (header and text missing), all links to one inode: making
    // 32,000 inodes would cost the file system far more than reading them.
    const std::string empty = dir / "empty";
    writeFile(empty, "");
    for (int n = 0; n <= 32000; ++n) ASSERT_EQ(::link(empty.c_str(), (dir / (std::to_string(n) + ".MSG")).c_str()), 0);
    for (const char* name : {"65537.MSG", "ABC.MSG", "7.TXT"}) writeFile(dir / name, "");
    auto area = open(dir.str());
    ASSERT_TRUE(area);
    EXPECT_EQ(area->countMessages(), 31999);
    EXPECT_EQ(area->getHighNumber(), 31999);
    int count = 0;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        area->startText();
        while (!area->atTextEnd()) area->readTextLineNoKludge(255);
        ++count;
    }
    EXPECT_EQ(count, 31999);
}

TEST(FidoMsgArea, WrittenMessageReadsBackWhole) {
    TempDir dir;
    std::unique_ptr<MessageArea> area;
    ASSERT_TRUE(createAreaForIdentifier(area, "F" + (dir / "area")));
    ASSERT_EQ(area->createArea(), 0);
    ASSERT_EQ(area->openArea(), 0);
    const DateTime when = encodeDate(2026, 3, 9) + encodeTime(18, 5, 7);
    for (int i = 0; i < 3; ++i) {
        area->startNewMessage();
        area->setFromName("Иван Petrov"_cp1251);
        area->setToName(std::string(50, 'T'));
        area->setSubject("НТВ "_cp1251 + std::to_string(i));
        area->setDateTime(when);
        area->setOrigAddress({2, 5020, 1, 0});
        area->setDestAddress({2, 5020, 9999, 0});
        area->setCost(12);
        area->setReplyTo(i);
        area->setLocalFlag(true);
        area->setPrivateFlag(true);
        area->setPrivateFlag(false);
        area->setFormatMark(1);
        area->writeKludgeLine("\x01MSGID: 2:5020/1 0000000" + std::to_string(i));
        area->writeTextLine("НТВ 07.00"_cp1251);
        area->writeText("last line without CR");
        ASSERT_EQ(area->saveMessage(), 0);
        EXPECT_EQ(area->getMessageNumber(), i + 1);
    }
    EXPECT_TRUE(fs::exists(dir / "area/1.msg"));
    EXPECT_TRUE(fs::exists(dir / "area/3.msg"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "area"), fs::directory_iterator()), 3);  // no temp files
    const std::string raw = readFile(dir / "area/1.msg");
    EXPECT_EQ(raw.substr(144, 20), std::string("09 Mar 26  18:05:07\0", 20));
    EXPECT_EQ(raw.back(), '\0');
    EXPECT_EQ(raw.substr(190, 9), "\x01MSGID: 2");
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x88);  // stored in 866

    auto again = open(dir / "area");
    EXPECT_EQ(walk(*again), (N{1, 2, 3}));
    again->locateFrom(2);
    again->loadHeader();
    EXPECT_EQ(again->getFromName(), "Иван Petrov"_cp1251);
    EXPECT_EQ(again->getToName(), std::string(35, 'T'));
    EXPECT_EQ(again->getSubject(), "НТВ 1"_cp1251);
    EXPECT_DOUBLE_EQ(again->getDateTime(), encodeDate(2026, 3, 9) + encodeTime(18, 5));
    EXPECT_EQ(again->getOrigAddress(), (FidoAddress{1, 5020, 1, 0}));  // echomail: no INTL, default zone
    EXPECT_EQ(again->getDestAddress(), (FidoAddress{1, 5020, 9999, 0}));
    EXPECT_EQ(again->getCost(), 12);
    EXPECT_EQ(again->getReplyTo(), 1);
    EXPECT_TRUE(again->isLocal());
    EXPECT_FALSE(again->isPrivate());
    EXPECT_TRUE(again->isRead());
    EXPECT_EQ(readLines(*again), (V{"\x01MSGID: 2:5020/1 00000001", "НТВ 07.00"_cp1251, "last line without CR"}));
}

TEST(FidoMsgArea, NetmailAddressLinesRoundTrip) {
    TempDir dir;
    auto area = open(dir.str());
    area->setMailKind(2);
    area->startNewMessage();
    area->setOrigAddress({2, 5020, 1, 3});
    area->setDestAddress({3, 100, 200, 4});
    area->writeTextLine("hi");
    ASSERT_EQ(area->saveMessage(), 0);
    area->locateFrom(1);
    area->loadHeader();
    EXPECT_EQ(area->getOrigAddress(), (FidoAddress{2, 5020, 1, 3}));
    EXPECT_EQ(area->getDestAddress(), (FidoAddress{3, 100, 200, 4}));
    EXPECT_EQ(readLines(*area), (V{"\x01" "FMPT 3", "\x01TOPT 4", "\x01INTL 3:100/200 2:5020/1", "hi"}));
}

TEST(FidoMsgArea, SaveNeverOverwritesAMessageWrittenByOthersMeanwhile) {
    TempDir dir;
    writeFile(dir / "1.msg", messageBytes("mine\r"));
    auto area = open(dir.str());
    // Another program adds 2 and 3 after we listed the directory.
    writeFile(dir / "2.MSG", messageBytes("theirs 2\r"));
    writeFile(dir / "3.msg", messageBytes("theirs 3\r"));
    area->startNewMessage();
    area->setSubject("ours");
    ASSERT_EQ(area->saveMessage(), 0);
    EXPECT_EQ(area->getMessageNumber(), 4);
    EXPECT_EQ(readFile(dir / "2.MSG"), messageBytes("theirs 2\r"));
    EXPECT_EQ(readFile(dir / "3.msg"), messageBytes("theirs 3\r"));
    EXPECT_EQ(walk(*area), (N{1, 2, 3, 4}));
    // Nothing composed: nothing saved.
    EXPECT_NE(area->saveMessage(), 0);
    // A full area: no number left above the highest.
    writeFile(dir / "31999.msg", messageBytes(""));
    auto full = open(dir.str());
    full->startNewMessage();
    EXPECT_EQ(full->saveMessage(), FidoMsgArea::kAreaFull);
    EXPECT_FALSE(fs::exists(dir / "32000.msg"));
    // Abandoned composition leaves no temporary file behind.
    full->startNewMessage();
    full->writeText("x");
    destroyArea(full);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 5u);
}

TEST(FidoMsgArea, LastReadPointers) {
    TempDir dir;
    auto area = open(dir.str());
    EXPECT_EQ(area->getLastRead(0), 0);
    area->setLastRead(3, 31999);
    EXPECT_EQ(fs::file_size(dir / "lastread"), 8u);
    EXPECT_EQ(area->getLastRead(3), 31999);
    EXPECT_EQ(area->getLastRead(0), 0);
    EXPECT_EQ(area->getLastRead(4), 0);
    EXPECT_EQ(area->getLastRead(-1), 0);
    area->setLastRead(0, 7);
    EXPECT_EQ(area->getLastRead(0), 7);
    EXPECT_EQ(area->getLastRead(3), 31999);
    area->setLastRead(2147483647, 1);  // no 4 GB file
    EXPECT_EQ(fs::file_size(dir / "lastread"), 8u);
    // Another program's "LASTREAD" is used, not a second file.
    fs::rename(dir / "lastread", dir / "LASTREAD");
    EXPECT_EQ(area->getLastRead(3), 31999);
    area->setLastRead(1, 5);
    EXPECT_FALSE(fs::exists(dir / "lastread"));
    EXPECT_EQ(area->getLastRead(1), 5);
}

TEST(FidoMsgArea, FindAddressedSkipsReceived) {
    TempDir dir;
    MsgFields a, b, c;
    a.to = "sysop";
    b.to = "Sysop";
    b.attr = 4;  // received
    c.to = "Alias";
    writeFile(dir / "1.msg", messageBytes("", b));
    writeFile(dir / "2.msg", messageBytes("", a));
    writeFile(dir / "3.msg", messageBytes(""));
    writeFile(dir / "4.msg", messageBytes("", c));
    auto area = open(dir.str());
    area->findAddressedFirst("SYSOP", "alias");
    EXPECT_TRUE(area->foundAddressed());
    EXPECT_EQ(area->getMessageNumber(), 2);
    area->findAddressedNext();
    EXPECT_EQ(area->getMessageNumber(), 4);
    area->findAddressedNext();
    EXPECT_FALSE(area->foundAddressed());
}

}  // namespace
}  // namespace orbisk
