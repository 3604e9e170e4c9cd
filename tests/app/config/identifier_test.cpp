#include "app/config/identifier.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

namespace {

AreaSetting Setting(AreaKind kind, int board, std::string path) { return AreaSetting{kind, board, std::move(path)}; }

}  // namespace

TEST(Identifier, LoadReadsEachKindAndFallsBackToFido) {
    AreaSetting s = LoadIdentifier("H007C:\\FIDO\\HUDSON");
    EXPECT_EQ(s.kind, AreaKind::Hudson);
    EXPECT_EQ(s.hudsonBoard, 7);
    EXPECT_EQ(s.path, "C:\\FIDO\\HUDSON");

    s = LoadIdentifier("J/fido/jam/TVLIST");
    EXPECT_EQ(s.kind, AreaKind::Jam);
    EXPECT_EQ(s.path, "/fido/jam/TVLIST");
    EXPECT_EQ(LoadIdentifier("S/sq/tv").kind, AreaKind::Squish);
    EXPECT_EQ(LoadIdentifier("I/net").kind, AreaKind::Internet);
    EXPECT_EQ(LoadIdentifier("F/msg/").path, "/msg/");
    EXPECT_EQ(LoadIdentifier("F").path, "");

    // Letters are taken exactly as written: lower case and unknown letters,
    // like an empty identifier, give Fido with empty fields and board 1.
    for (const char* id : {"", "j/fido/jam/TVLIST", "h007/x", "X/path"}) {
        s = LoadIdentifier(id);
        EXPECT_EQ(s.kind, AreaKind::Fido) << id;
        EXPECT_EQ(s.path, "") << id;
        EXPECT_EQ(s.hudsonBoard, 1) << id;
    }
}

TEST(Identifier, LoadHudsonBoardEdges) {
    // A short identifier: the board is what there is, the path empty.
    AreaSetting s = LoadIdentifier("H12");
    EXPECT_EQ(s.hudsonBoard, 12);
    EXPECT_EQ(s.path, "");
    // The spinner holds 1..999.
    EXPECT_EQ(LoadIdentifier("H000/x").hudsonBoard, 1);
    EXPECT_EQ(LoadIdentifier("H-05/x").hudsonBoard, 1);
    // Blanks before the digits are allowed by the integer reading.
    EXPECT_EQ(LoadIdentifier("H 42/h").hudsonBoard, 42);

    try {
        LoadIdentifier("H0A7/h");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'0A7' is not a valid integer value");
    }
    EXPECT_THROW(LoadIdentifier("H"), Error);
}

TEST(Identifier, ComposeBuildsLetterBoardAndLocation) {
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Hudson, 7, "C:\\FIDO\\HUDSON")), "H007C:\\FIDO\\HUDSON");
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Hudson, 999, "/h")), "H999/h");
    // Out-of-range boards never break the three-digit field.
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Hudson, 1000, "/h")), "H999/h");
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Hudson, 0, "/h")), "H001/h");

    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Jam, 1, "C:\\FIDO\\TVLIST.JDT")), "JC:\\FIDO\\TVLIST");
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Squish, 1, "/sq/tv.sqd")), "S/sq/tv");
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Squish, 1, "/sq/tvlist")), "S/sq/tvlist");
    // Folders keep a dot-three ending: only file names lose an extension.
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Internet, 5, "/net/tv.old")), "I/net/tv.old");
    EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Fido, 5, "/msg/")), "F/msg/");

    // Round trip of every kind.
    for (const char* id : {"H012/hudson/", "J/jam/TVLIST", "S/sq/TV", "I/net", "F/msg/"})
        EXPECT_EQ(ComposeIdentifier(LoadIdentifier(id)), id);
}

TEST(Identifier, StripBaseExtensionOnlyAtFourthFromEnd) {
    EXPECT_EQ(StripBaseExtension("TVLIST.JDT"), "TVLIST");
    EXPECT_EQ(StripBaseExtension("a.b.jdt"), "a.b");
    EXPECT_EQ(StripBaseExtension("TVLIST.JD"), "TVLIST.JD");
    EXPECT_EQ(StripBaseExtension("TVLIST.JDTX"), "TVLIST.JDTX");
    EXPECT_EQ(StripBaseExtension(".jdt"), "");
    // Shorter than four characters: nothing to look at, taken whole.
    EXPECT_EQ(StripBaseExtension("a.j"), "a.j");
    EXPECT_EQ(StripBaseExtension(""), "");
}

TEST(Identifier, DataFileForStoredBase) {
    TempDir dir;
    const std::string jam = dir / "TVLIST";
    // Nothing there yet: the lower-case data file name.
    EXPECT_EQ(DataFileForBase(AreaKind::Jam, jam), jam + ".jdt");
    WriteFile(jam + ".JDT", "");
    EXPECT_EQ(DataFileForBase(AreaKind::Jam, jam), jam + ".JDT");
    WriteFile(jam + ".jdt", "");
    EXPECT_EQ(DataFileForBase(AreaKind::Jam, jam), jam + ".jdt");

    const std::string sq = dir / "sq";
    WriteFile(sq + ".sqd", "");
    EXPECT_EQ(DataFileForBase(AreaKind::Squish, sq), sq + ".sqd");
    // A base that was chosen as a file without extension is shown as it is.
    const std::string whole = dir / "plain";
    WriteFile(whole, "");
    EXPECT_EQ(DataFileForBase(AreaKind::Squish, whole), whole);

    // Whatever is shown composes back to the stored identifier.
    for (const std::string& base : {jam, sq, whole, dir / "missing"})
        EXPECT_EQ(ComposeIdentifier(Setting(AreaKind::Jam, 1, DataFileForBase(AreaKind::Jam, base))), "J" + base);

    EXPECT_EQ(DataFileForBase(AreaKind::Jam, ""), "");
    EXPECT_EQ(DataFileForBase(AreaKind::Hudson, "/h/"), "/h/");
}

TEST(Identifier, CheckAreaPathMessages) {
    TempDir dir;
    const std::string file = dir / "tv.jdt";
    WriteFile(file, "");

    EXPECT_EQ(CheckAreaPath(AreaKind::Hudson, dir.str()), "");
    EXPECT_EQ(CheckAreaPath(AreaKind::Internet, dir.str()), "");
    EXPECT_EQ(CheckAreaPath(AreaKind::Jam, file), "");
    EXPECT_EQ(CheckAreaPath(AreaKind::Squish, file), "");

    // "Путь <x> не существует" / "Файл <x> не существует"
    const std::string missing = dir / "nope";
    EXPECT_EQ(CheckAreaPath(AreaKind::Fido, missing),
              "\xCF\xF3\xF2\xFC " + missing + " \xED\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2");
    EXPECT_EQ(CheckAreaPath(AreaKind::Jam, missing),
              "\xD4\xE0\xE9\xEB " + missing + " \xED\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2");
    // A file is no folder and a folder no file; empty text is neither.
    EXPECT_NE(CheckAreaPath(AreaKind::Hudson, file), "");
    EXPECT_NE(CheckAreaPath(AreaKind::Squish, dir.str()), "");
    EXPECT_EQ(CheckAreaPath(AreaKind::Internet, ""),
              "\xCF\xF3\xF2\xFC  \xED\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2");

    EXPECT_EQ(AreaFileFilter(AreaKind::Jam),
              "\xC1\xE0\xE7\xE0 JAM (*.jdt)|*.jdt|\xC2\xF1\xE5 \xF4\xE0\xE9\xEB\xFB (*.*)|*.*");
    EXPECT_EQ(AreaFileFilter(AreaKind::Hudson), "");
}
