// The hand-over record arrives from another process: any bytes at all must
// be either rejected or read within the record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/viewer/reminderrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto r = orbisk::ReminderRecord::Parse(data, size);
    if (!r) return 0;
    if (size != orbisk::ReminderRecord::kSize) std::abort();
    if (std::memcmp(r->Serialise().data(), data, size) != 0) std::abort();
    if (r->ReminderTime().size() > 10 || r->ReminderTime().size() != data[0]) std::abort();
    if (r->ReminderChannel().size() != data[11]) std::abort();
    if (std::memcmp(r->ReminderChannel().data(), data + 12, data[11]) != 0) std::abort();
    return 0;
}
