#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/cp1251.h"

namespace orbisk {
namespace {

TEST(AnsiToKoi8, LettersRoundTripAndTheRestBecomesQuestionMarks) {
    std::string letters = "Plain ASCII 0123 \r\n";
    for (int c = 0xC0; c <= 0xFF; ++c) letters.push_back(static_cast<char>(c));
    letters += "Ёё"_cp1251;
    const std::string koi = ansiToKoi8(letters);
    ASSERT_EQ(koi.size(), letters.size());
    EXPECT_EQ(koi8BytesToAnsi(koi), letters);
    // "Пн" in KOI8-R: П = 0xF0, н = 0xCE
    EXPECT_EQ(ansiToKoi8("Пн"_cp1251), "\xF0\xCE");
    // The euro sign and the numero sign have no KOI8-R code.
    EXPECT_EQ(ansiToKoi8("€№"_cp1251), "??");
}

}  // namespace
}  // namespace orbisk
