#include "viewer/reminderrecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp1251.h"

using orbisk::ReminderRecord;
using orbisk::operator""_cp1251;

namespace {

// A display name with Windows-1251 letters.
const std::string kChannel = "Первый канал"_cp1251;
const char kLetterA = "А"_cp1251[0];

TEST(ReminderRecordTest, LayoutFromArguments) {
    const ReminderRecord r = ReminderRecord::fromArguments("21.30", kChannel);
    const auto& b = r.serialise();
    ASSERT_EQ(b.size(), 267u);
    EXPECT_EQ(b[0], 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1]), 5), "21.30");
    for (int i = 6; i <= 10; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[11], kChannel.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[12]), kChannel.size()), kChannel);
    for (std::size_t i = 12 + kChannel.size(); i < 267; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(r.reminderTime(), "21.30");
    EXPECT_EQ(r.reminderChannel(), kChannel);

    // No arguments: all zero, empty texts.
    const ReminderRecord none;
    for (auto byte : none.serialise()) EXPECT_EQ(byte, 0);
    EXPECT_EQ(none.reminderTime(), "");
    EXPECT_EQ(none.reminderChannel(), "");
}

TEST(ReminderRecordTest, ArgumentsAreCutToTheirFields) {
    const std::string longChannel(300, kLetterA);
    const ReminderRecord r = ReminderRecord::fromArguments("12.34567890123", longChannel + "tail");
    EXPECT_EQ(r.reminderTime(), "12.3456789");
    EXPECT_EQ(r.serialise()[0], 10);
    EXPECT_EQ(r.reminderChannel(), std::string(255, kLetterA));
    EXPECT_EQ(r.serialise()[11], 255);
    // Exactly at capacity: nothing cut.
    EXPECT_EQ(ReminderRecord::fromArguments("0123456789", "x").reminderTime(), "0123456789");
}

TEST(ReminderRecordTest, ParseKeepsEveryByte) {
    const ReminderRecord r = ReminderRecord::fromArguments("07.05", kChannel);
    auto bytes = r.serialise();
    auto parsed = ReminderRecord::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, r);

    // Bytes past a text carry no meaning but travel unchanged.
    bytes[9] = 'z';
    bytes[266] = 0xFF;
    parsed = ReminderRecord::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->serialise(), bytes);
    EXPECT_EQ(parsed->reminderTime(), "07.05");
    EXPECT_EQ(parsed->reminderChannel(), kChannel);

    // Full channel field of 255 bytes is valid and ends exactly at byte 266.
    std::vector<std::uint8_t> full(267, 'q');
    full[0] = 10;
    full[11] = 255;
    parsed = ReminderRecord::parse(full.data(), full.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->reminderTime(), std::string(10, 'q'));
    EXPECT_EQ(parsed->reminderChannel(), std::string(255, 'q'));
}

TEST(ReminderRecordTest, MalformedRecordsAreRejected) {
    const auto good = ReminderRecord::fromArguments("10.00", "A").serialise();
    std::vector<std::uint8_t> buf(good.begin(), good.end());
    buf.push_back(0);
    EXPECT_FALSE(ReminderRecord::parse(buf.data(), 268));  // one byte too many
    EXPECT_FALSE(ReminderRecord::parse(buf.data(), 266));  // one byte short
    EXPECT_FALSE(ReminderRecord::parse(buf.data(), 0));
    EXPECT_FALSE(ReminderRecord::parse(nullptr, 267));

    // A time length beyond its 10-byte field would read into the channel.
    for (int len : {11, 12, 200, 255}) {
        auto bad = good;
        bad[0] = static_cast<std::uint8_t>(len);
        EXPECT_FALSE(ReminderRecord::parse(bad.data(), bad.size())) << len;
    }
    // Parse reads no further than the size it is given: an exact heap block.
    auto* exact = new std::uint8_t[267];
    std::copy(good.begin(), good.end(), exact);
    EXPECT_TRUE(ReminderRecord::parse(exact, 267));
    delete[] exact;
}

}  // namespace
