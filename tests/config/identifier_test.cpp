#include "config/identifier.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/cp1251.h"
#include "base/error.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::TempDir;
using orbisk::test::writeFile;

namespace {

AreaSetting setting(AreaKind kind, int board, std::string path) {
    return AreaSetting{kind, board, std::move(path)};
}

}  // namespace

TEST(Identifier, LoadReadsEachKindAndFallsBackToFido) {
    AreaSetting s = loadIdentifier("H007C:\\FIDO\\HUDSON");
    EXPECT_EQ(s.kind, AreaKind::Hudson);
    EXPECT_EQ(s.hudsonBoard, 7);
    EXPECT_EQ(s.path, "C:\\FIDO\\HUDSON");

    s = loadIdentifier("J/fido/jam/TVLIST");
    EXPECT_EQ(s.kind, AreaKind::Jam);
    EXPECT_EQ(s.path, "/fido/jam/TVLIST");
    EXPECT_EQ(loadIdentifier("S/sq/tv").kind, AreaKind::Squish);
    EXPECT_EQ(loadIdentifier("I/net").kind, AreaKind::Internet);
    EXPECT_EQ(loadIdentifier("Xhttps://epg/tv.xml.gz").kind, AreaKind::Guide);
    // A guide keeps its extension: it tells how the document is packed.
    EXPECT_EQ(composeIdentifier({AreaKind::Guide, 1, "/tv/guide.xml.gz"}), "X/tv/guide.xml.gz");
    EXPECT_EQ(loadIdentifier("F/msg/").path, "/msg/");
    EXPECT_EQ(loadIdentifier("F").path, "");

    // Letters are taken exactly as written: lower case and unknown letters,
    // like an empty identifier, give Fido with empty fields and board 1.
    for (const char* id : {"", "j/fido/jam/TVLIST", "h007/x", "x/path", "Q/path"}) {
        s = loadIdentifier(id);
        EXPECT_EQ(s.kind, AreaKind::Fido) << id;
        EXPECT_EQ(s.path, "") << id;
        EXPECT_EQ(s.hudsonBoard, 1) << id;
    }
}

TEST(Identifier, LoadHudsonBoardEdges) {
    // A short identifier: the board is what there is, the path empty.
    AreaSetting s = loadIdentifier("H12");
    EXPECT_EQ(s.hudsonBoard, 12);
    EXPECT_EQ(s.path, "");
    // The spinner holds 1..999.
    EXPECT_EQ(loadIdentifier("H000/x").hudsonBoard, 1);
    EXPECT_EQ(loadIdentifier("H-05/x").hudsonBoard, 1);
    // Blanks before the digits are allowed by the integer reading.
    EXPECT_EQ(loadIdentifier("H 42/h").hudsonBoard, 42);

    try {
        loadIdentifier("H0A7/h");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'0A7' is not a valid integer value");
    }
    EXPECT_THROW(loadIdentifier("H"), Error);
}

TEST(Identifier, ComposeBuildsLetterBoardAndLocation) {
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Hudson, 7, "C:\\FIDO\\HUDSON")), "H007C:\\FIDO\\HUDSON");
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Hudson, 999, "/h")), "H999/h");
    // Out-of-range boards never break the three-digit field.
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Hudson, 1000, "/h")), "H999/h");
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Hudson, 0, "/h")), "H001/h");

    EXPECT_EQ(composeIdentifier(setting(AreaKind::Jam, 1, "C:\\FIDO\\TVLIST.JDT")), "JC:\\FIDO\\TVLIST");
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Squish, 1, "/sq/tv.sqd")), "S/sq/tv");
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Squish, 1, "/sq/tvlist")), "S/sq/tvlist");
    // Folders keep a dot-three ending: only file names lose an extension.
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Internet, 5, "/net/tv.old")), "I/net/tv.old");
    EXPECT_EQ(composeIdentifier(setting(AreaKind::Fido, 5, "/msg/")), "F/msg/");

    // Round trip of every kind.
    for (const char* id : {"H012/hudson/", "J/jam/TVLIST", "S/sq/TV", "I/net", "F/msg/"})
        EXPECT_EQ(composeIdentifier(loadIdentifier(id)), id);
}

TEST(Identifier, StripBaseExtensionOnlyAtFourthFromEnd) {
    EXPECT_EQ(stripBaseExtension("TVLIST.JDT"), "TVLIST");
    EXPECT_EQ(stripBaseExtension("a.b.jdt"), "a.b");
    EXPECT_EQ(stripBaseExtension("TVLIST.JD"), "TVLIST.JD");
    EXPECT_EQ(stripBaseExtension("TVLIST.JDTX"), "TVLIST.JDTX");
    EXPECT_EQ(stripBaseExtension(".jdt"), "");
    // Shorter than four characters: nothing to look at, taken whole.
    EXPECT_EQ(stripBaseExtension("a.j"), "a.j");
    EXPECT_EQ(stripBaseExtension(""), "");
}

TEST(Identifier, DataFileForStoredBase) {
    TempDir dir;
    const std::string jam = dir / "TVLIST";
    // Nothing there yet: the lower-case data file name.
    EXPECT_EQ(dataFileForBase(AreaKind::Jam, jam), jam + ".jdt");
    writeFile(jam + ".JDT", "");
    EXPECT_EQ(dataFileForBase(AreaKind::Jam, jam), jam + ".JDT");
    writeFile(jam + ".jdt", "");
    EXPECT_EQ(dataFileForBase(AreaKind::Jam, jam), jam + ".jdt");

    const std::string sq = dir / "sq";
    writeFile(sq + ".sqd", "");
    EXPECT_EQ(dataFileForBase(AreaKind::Squish, sq), sq + ".sqd");
    // A base that was chosen as a file without extension is shown as it is.
    const std::string whole = dir / "plain";
    writeFile(whole, "");
    EXPECT_EQ(dataFileForBase(AreaKind::Squish, whole), whole);

    // Whatever is shown composes back to the stored identifier.
    for (const std::string& base : {jam, sq, whole, dir / "missing"})
        EXPECT_EQ(composeIdentifier(setting(AreaKind::Jam, 1, dataFileForBase(AreaKind::Jam, base))), "J" + base);

    EXPECT_EQ(dataFileForBase(AreaKind::Jam, ""), "");
    EXPECT_EQ(dataFileForBase(AreaKind::Hudson, "/h/"), "/h/");
}

TEST(Identifier, CheckAreaPathMessages) {
    TempDir dir;
    const std::string file = dir / "tv.jdt";
    writeFile(file, "");

    EXPECT_EQ(checkAreaPath(AreaKind::Hudson, dir.str()), "");
    EXPECT_EQ(checkAreaPath(AreaKind::Internet, dir.str()), "");
    EXPECT_EQ(checkAreaPath(AreaKind::Jam, file), "");
    EXPECT_EQ(checkAreaPath(AreaKind::Squish, file), "");

    const std::string missing = dir / "nope";
    EXPECT_EQ(checkAreaPath(AreaKind::Fido, missing), "Путь "_cp1251 + missing + " не существует"_cp1251);
    EXPECT_EQ(checkAreaPath(AreaKind::Jam, missing), "Файл "_cp1251 + missing + " не существует"_cp1251);
    // A file is no folder and a folder no file; empty text is neither.
    EXPECT_NE(checkAreaPath(AreaKind::Hudson, file), "");
    EXPECT_NE(checkAreaPath(AreaKind::Squish, dir.str()), "");
    EXPECT_EQ(checkAreaPath(AreaKind::Internet, ""), "Путь  не существует"_cp1251);

    EXPECT_EQ(areaFileFilter(AreaKind::Jam), "База JAM (*.jdt)|*.jdt|Все файлы (*.*)|*.*"_cp1251);
    EXPECT_EQ(areaFileFilter(AreaKind::Hudson), "");
}
