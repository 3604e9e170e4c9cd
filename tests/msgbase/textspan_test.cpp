// The shared line reader scans a kind's text buffer directly when the kind
// offers one (textSpan); it must give exactly what the character-by-
// character road gives: same lines, wrap flags, cursor and end.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "msgbase/messagearea.h"

namespace orbisk {
namespace {

class TextArea : public MessageArea {
public:
    TextArea(std::string text, bool span) : text_(std::move(text)), span_(span) {}
    void startText() override {
        pos_ = 0;
        ended_ = false;
        lastLineWrapped_ = false;
    }
    char readChar() override {
        if (ended_ || pos_ >= text_.size() || text_[pos_] == '\0') {
            ended_ = true;
            return '\0';
        }
        return text_[pos_++];
    }
    bool atTextEnd() override { return ended_ || pos_ >= text_.size(); }
    std::int64_t getTextPosition() override { return static_cast<std::int64_t>(pos_); }
    void setTextPosition(std::int64_t p) override { pos_ = static_cast<std::size_t>(p); }

protected:
    std::string_view textSpan() override { return span_ ? std::string_view(text_.data(), text_.size()) : std::string_view(); }

private:
    std::string text_;
    bool span_;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

TEST(TextSpan, BlockScanGivesTheSameLinesAsCharacterReads) {
    std::mt19937 rng(7);
    // Characters that steer the rules, and plain ones, including 0x8D.
    const std::string alphabet = std::string("\r\n\0 \x01", 5) + "ab\x8D\xE0";  // 866 "Н", "р"
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 400, 'x');
        const int bias = static_cast<int>(rng() % 4);  // 0: few specials
        for (char& c : text)
            c = rng() % (bias == 0 ? 40u : 4u) == 0 ? alphabet[rng() % alphabet.size()] : static_cast<char>('a' + rng() % 3);
        const std::uint16_t maxLen = static_cast<std::uint16_t>(rng() % 3 == 0 ? rng() % 6 : rng() % 300);
        const bool noKludge = rng() % 2;
        TextArea slow(text, false), fast(text, true);
        slow.startText();
        fast.startText();
        for (int n = 0; n < 1000 && !(slow.atTextEnd() && fast.atTextEnd()); ++n) {
            const std::string a = noKludge ? slow.readTextLineNoKludge(maxLen) : slow.readTextLine(maxLen);
            const std::string b = noKludge ? fast.readTextLineNoKludge(maxLen) : fast.readTextLine(maxLen);
            ASSERT_EQ(a, b) << "round " << round << " line " << n;
            ASSERT_EQ(slow.getLastLineWrapped(), fast.getLastLineWrapped()) << round;
            ASSERT_EQ(slow.getTextPosition(), fast.getTextPosition()) << round;
            ASSERT_EQ(slow.atTextEnd(), fast.atTextEnd()) << round;
        }
        EXPECT_TRUE(fast.atTextEnd());
    }
    // Reading on after the end gives empty lines on both roads.
    TextArea done(std::string("a b\0tail", 8), true);
    done.startText();
    EXPECT_EQ(done.readTextLine(255), "a b");
    EXPECT_TRUE(done.atTextEnd());
    EXPECT_EQ(done.readTextLine(255), "");
    EXPECT_EQ(done.getTextPosition(), 3);
}

}  // namespace
}  // namespace orbisk
