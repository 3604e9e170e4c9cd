#include <gtest/gtest.h>

#include "base/codepage.h"

namespace orbisk {
namespace {

TEST(AnsiToKoi8, LettersRoundTripAndTheRestBecomesQuestionMarks) {
    std::string letters = "Plain ASCII 0123 \r\n";
    for (int c = 0xC0; c <= 0xFF; ++c) letters.push_back(static_cast<char>(c));
    letters += "\xA8\xB8";  // Ё ё
    const std::string koi = ansiToKoi8(letters);
    ASSERT_EQ(koi.size(), letters.size());
    EXPECT_EQ(koi8BytesToAnsi(koi), letters);
    // "Пн" in KOI8-R: П = 0xF0, н = 0xCE
    EXPECT_EQ(ansiToKoi8("\xCF\xED"), "\xF0\xCE");
    // The euro sign and the numero sign have no KOI8-R code.
    EXPECT_EQ(ansiToKoi8("\x88\xB9"), "??");
}

}  // namespace
}  // namespace orbisk
