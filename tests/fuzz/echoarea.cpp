// A whole echo area through the loader: any subjects and bodies, as anyone
// can post them. The base itself never fails here, so the load must never
// end with an error, and every message is either filed under a week (a
// listing with a date), left out (a listing without one) or among the other
// messages.
//
// Input: messages separated by NUL bytes; in each, the first line is the
// subject and the rest the body (lines split at CR).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/loaders.h"
#include "msgbase/messagearea.h"

namespace {

using namespace orbisk;

struct Message {
    std::string subject;
    std::vector<std::string> lines;
};
std::vector<Message> gMessages;

// The messages of the current input, from memory.
class MemoryArea : public MessageArea {
public:
    void setAreaPath(const std::string&) override {}
    ResultCode openArea() override { return 0; }
    ResultCode closeArea() override { return 0; }
    void locateFrom(MsgNumber) override { at_ = 0; }
    void locateNext() override { ++at_; }
    bool isLocated() override { return at_ < gMessages.size(); }
    void loadHeader() override {}
    MsgNumber getMessageNumber() override { return static_cast<MsgNumber>(at_ + 1); }
    std::string getSubject() override { return gMessages[at_].subject; }
    void startText() override { line_ = 0; }
    std::string readTextLineNoKludge(std::uint16_t maxLen) override {
        const auto& lines = gMessages[at_].lines;
        return line_ < lines.size() ? lines[line_++].substr(0, maxLen) : "";
    }
    bool atTextEnd() override { return line_ >= gMessages[at_].lines.size(); }

private:
    std::size_t at_ = 0, line_ = 0;
};

class QuietNotifier : public Notifier {
public:
    void show(const std::string&, const std::string&, MsgIcon) override {}
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = registerAreaKind('Q', &makeArea<MemoryArea>);
    (void)registered;
    gMessages.clear();
    std::string_view in(reinterpret_cast<const char*>(data), size);
    while (!in.empty() && gMessages.size() < 200) {
        const std::size_t end = std::min(in.find('\0'), in.size());
        std::string_view text = in.substr(0, end);
        in.remove_prefix(std::min(end + 1, in.size()));
        Message m;
        const std::size_t firstLine = std::min(text.find('\r'), text.size());
        m.subject = std::string(text.substr(0, firstLine));
        text.remove_prefix(std::min(firstLine + 1, text.size()));
        while (!text.empty()) {
            const std::size_t cr = std::min(text.find('\r'), text.size());
            m.lines.emplace_back(text.substr(0, cr));
            text.remove_prefix(std::min(cr + 1, text.size()));
        }
        gMessages.push_back(std::move(m));
    }

    QuietNotifier notifier;
    const FixedClock clock(encodeDate(2025, 3, 1) + 0.5);  // a year without 29 February
    bool shown = false;
    StructureWarning warning(notifier, true, shown);
    LoadEnv env(notifier, clock);
    env.warning = &warning;
    env.kludges = {"SEEN-BY", "PATH:"};
    env.layout.days[2] = "Понедельник"_cp1251;
    env.layout.days[3] = "Вторник"_cp1251;
    WeekIndex weeks;
    OtherMessages other;
    try {
        loadFromArea("Qecho", weeks, other, env);
    } catch (...) {
        std::abort();  // message text ended the load
    }
    std::size_t filed = 0;
    for (const auto& week : weeks.items) filed += week->messages.size();
    if (filed + other.size() > gMessages.size()) std::abort();
    return 0;
}
