#include "base/strings.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace orbisk {
namespace {

TEST(Strings, IntegerTexts) {
    std::int32_t v = 0;
    EXPECT_TRUE(tryStrToInt("  -12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(tryStrToInt("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(tryStrToInt("$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(tryStrToInt("0x10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(tryStrToInt("X10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(tryStrToInt("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(tryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    for (const char* bad : {"", " ", "12 ", "1x", "2147483648", "$", "0x", "--1", "$100000000", "1 2", "\t1"})
        EXPECT_FALSE(tryStrToInt(bad, v)) << bad;
    EXPECT_EQ(strToIntDef("abc", 5), 5);
    try {
        strToInt(" 1a");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "' 1a' is not a valid integer value");
    }
}

TEST(Strings, ReplaceAllDoesNotRescan) {
    EXPECT_EQ(replaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(replaceAll("HH.MM", "H", ""), ".MM");
    EXPECT_EQ(replaceAll("*TIME *TIME", "*TIME", "*NAME"), "*NAME *NAME");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(replaceAll("Abc", "a", "x"), "Abc");
}

}  // namespace
}  // namespace orbisk
