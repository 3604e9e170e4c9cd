// The shared message text reader and the control-line helpers on arbitrary
// bytes: every call ends, lines respect maxLen and never carry CR, LF or NUL,
// and the reader stops at the first NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "msgbase/address.h"
#include "msgbase/messagearea.h"
#include "msgbase/msgstr.h"

namespace {

class BytesArea : public orbisk::MessageArea {
public:
    explicit BytesArea(std::string t) : text_(std::move(t)) {}
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
    std::size_t pos() const { return pos_; }

private:
    std::string text_;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::uint16_t maxLen = data[0];
    const bool noKludge = data[1] & 1;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t nul = text.find('\0');
    const std::size_t limit = nul == std::string::npos ? text.size() : nul;

    BytesArea area(text);
    area.startText();
    std::size_t lines = 0;
    while (!area.atTextEnd()) {
        const std::string line = noKludge ? area.readTextLineNoKludge(maxLen) : area.readTextLine(maxLen);
        if (line.size() > std::max<std::size_t>(maxLen, 1)) std::abort();
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
        if (area.pos() > limit) std::abort();  // nothing after the first NUL
        if (++lines > text.size() + 2) std::abort();  // every call makes progress
    }

    orbisk::FidoAddress a;
    orbisk::parseAddress(text, {2, 5020, 0, 0}, a);
    orbisk::extractWord(text, maxLen % 8);
    const std::string s = orbisk::stripReplyPrefixes(text);
    if (s.size() >= 3 && orbisk::upperStr(s.substr(0, 3)) == "RE:") std::abort();
    return 0;
}
