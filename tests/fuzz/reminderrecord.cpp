// The hand-over record arrives from another process: any bytes at all must
// be either rejected or read within the record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "viewer/reminderrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto r = orbisk::ReminderRecord::parse(data, size);
    if (!r) return 0;
    if (size != orbisk::ReminderRecord::kSize) std::abort();
    if (std::memcmp(r->serialise().data(), data, size) != 0) std::abort();
    if (r->reminderTime().size() > 10 || r->reminderTime().size() != data[0]) std::abort();
    if (r->reminderChannel().size() != data[11]) std::abort();
    if (std::memcmp(r->reminderChannel().data(), data + 12, data[11]) != 0) std::abort();
    return 0;
}
