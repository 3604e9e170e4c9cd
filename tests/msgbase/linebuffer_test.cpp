// A load reads listing lines into one reused buffer
// (readTextLineNoKludgeInto); every kind must give there exactly what
// readTextLineNoKludge gives: same lines, wrap flags and end, whatever the
// buffer held before.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "msgbase/messagearea.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

struct Kind {
    const char* name;
    std::string (*identifier)(const test::TempDir& dir);
};

const Kind kKinds[] = {
    {"Fido", [](const test::TempDir& d) { return "F" + d.str(); }},
    {"Squish", [](const test::TempDir& d) { return "S" + (d / "echo"); }},
    {"Jam", [](const test::TempDir& d) { return "J" + (d / "echo"); }},
    {"Hudson", [](const test::TempDir& d) { return "H001" + d.str() + "/"; }},
};

class LineBuffer : public ::testing::TestWithParam<Kind> {};

TEST_P(LineBuffer, ReusedBufferGivesTheLinesOfTheStringRoad) {
    test::TempDir dir;
    const std::string id = GetParam().identifier(dir);
    std::mt19937 rng(11);
    // Line ends, control lines, spaces that steer the cut, Cyrillic (1251).
    const std::string alphabet = "\r\r\n\x01    ab\xcd\xf0";
    {
        std::unique_ptr<MessageArea> area;
        ASSERT_TRUE(createAreaForIdentifier(area, id));
        ASSERT_EQ(area->createArea(), 0);
        ASSERT_EQ(area->openArea(), 0);
        const bool locked = area->lockArea();  // JAM writes its counters on unlock
        for (int m = 0; m < 60; ++m) {
            std::string text(rng() % 900, 'x');
            for (char& c : text) c = rng() % 5 == 0 ? alphabet[rng() % alphabet.size()] : static_cast<char>('a' + rng() % 3);
            if (m % 4 == 0) text += std::string(300, 'w');  // a line longer than any maxLen below
            area->startNewMessage();
            area->setToName("All");
            area->setSubject("s" + std::to_string(m));
            area->writeText(text);
            ASSERT_EQ(area->saveMessage(), 0) << m;
        }
        if (locked) {
            ASSERT_TRUE(area->unlockArea());
        }
        ASSERT_TRUE(closeAreaAndFree(area));
    }
    std::unique_ptr<MessageArea> byString, byBuffer;
    ASSERT_TRUE(openAreaByIdentifier(byString, id));
    ASSERT_TRUE(openAreaByIdentifier(byBuffer, id));
    byString->locateFrom(1);
    byBuffer->locateFrom(1);
    std::string buffer = "left over from an earlier line";
    int messages = 0;
    std::size_t lines = 0;
    for (; byString->isLocated(); byString->locateNext(), byBuffer->locateNext(), ++messages) {
        ASSERT_TRUE(byBuffer->isLocated());
        byString->loadHeader();
        byBuffer->loadHeader();
        byString->startText();
        byBuffer->startText();
        const auto maxLen = static_cast<std::uint16_t>(messages % 3 == 0 ? 40 : 255);
        for (int n = 0; n < 2000 && !byString->atTextEnd(); ++n, ++lines) {
            const std::string expected = byString->readTextLineNoKludge(maxLen);
            byBuffer->readTextLineNoKludgeInto(buffer, maxLen);
            ASSERT_EQ(buffer, expected) << "message " << messages << " line " << n;
            ASSERT_EQ(byBuffer->getLastLineWrapped(), byString->getLastLineWrapped()) << messages << " " << n;
            ASSERT_EQ(byBuffer->atTextEnd(), byString->atTextEnd()) << messages << " " << n;
        }
        EXPECT_TRUE(byBuffer->atTextEnd());
    }
    EXPECT_EQ(messages, 60);
    EXPECT_GT(lines, 1000u);
    closeAreaAndFree(byString);
    closeAreaAndFree(byBuffer);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LineBuffer, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbisk
