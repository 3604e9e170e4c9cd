// XMLTV guides from memory (plain, gzip or xz, told by the first bytes)
// through the guide source: every day it files is parsed into channels and
// their running programmes found. A guide may be refused with an Error,
// never crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/datetime.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/channellist.h"
#include "listing/xmltvsource.h"

namespace {

class Silent : public orbisk::Notifier {
public:
    void show(const std::string&, const std::string&, orbisk::MsgIcon) override {}
    orbisk::Answer ask(const std::string&, const std::string&, orbisk::MsgIcon, orbisk::Buttons) override {
        return orbisk::Answer::No;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orbisk;
    static Silent silent;
    static FixedClock clock(encodeDate(2026, 12, 8));
    LoadEnv env(silent, clock);
    // Every other run keeps only one name, so both the kept and the skipped
    // programmes' paths are taken.
    env.guide.keepEveryChannel = size % 2 == 0;
    env.guide.keptChannels = {"C"};
    WeekIndex weeks;
    try {
        loadGuideBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", weeks, env);
    } catch (const Error&) {
        return 0;
    }
    for (const auto& week : weeks.items) {
        for (const auto& day : week->days) {
            ChannelList channels(nullptr, "HH.MM", '.');
            parseDayText(channels, day, false, env.layout.firstCaptionRow);
            for (int i = 0; i < channels.count(); ++i) {
                try {
                    (void)channels.items(i).findCurrent(encodeTime(3, 0));
                    (void)channels.items(i).findCurrent(encodeTime(20, 0));
                } catch (const Error&) {
                }
            }
        }
    }
    return 0;
}
