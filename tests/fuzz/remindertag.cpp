// Arbitrary `at -c` job texts through the reading of Orbisk's reminder line.
// A crash or undefined behaviour is a finding; so is a tag read back that
// does not survive being written and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "schedule/queuedreminders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view job(reinterpret_cast<const char*>(data), size);
    const auto tag = orbisk::tagOfJobText(job);
    if (!tag) return 0;
    const auto again = orbisk::parseReminderTag(orbisk::reminderTagValue(*tag));
    if (!again || again->day != tag->day || again->runs != tag->runs) std::abort();
    return 0;
}
