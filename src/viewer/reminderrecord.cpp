#include "viewer/reminderrecord.h"

#include <algorithm>
#include <cstring>

namespace orbisk {
namespace {

constexpr std::size_t kTimeLength = 0;
constexpr std::size_t kTimeText = 1;
constexpr std::size_t kChannelLength = kTimeText + ReminderRecord::kTimeCapacity;  // 11
constexpr std::size_t kChannelText = kChannelLength + 1;                            // 12
static_assert(kChannelText + ReminderRecord::kChannelCapacity == ReminderRecord::kSize);

void put(ReminderRecord::Bytes& bytes, std::size_t lengthAt, std::size_t capacity, std::string_view text) {
    const std::size_t n = std::min(text.size(), capacity);
    bytes[lengthAt] = static_cast<std::uint8_t>(n);
    std::memcpy(bytes.data() + lengthAt + 1, text.data(), n);
}

std::string get(const ReminderRecord::Bytes& bytes, std::size_t lengthAt) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + lengthAt + 1), bytes[lengthAt]);
}

}  // namespace

ReminderRecord ReminderRecord::fromArguments(std::string_view timeAnsi, std::string_view channelAnsi) {
    ReminderRecord r;
    put(r.bytes_, kTimeLength, kTimeCapacity, timeAnsi);
    put(r.bytes_, kChannelLength, kChannelCapacity, channelAnsi);
    return r;
}

std::optional<ReminderRecord> ReminderRecord::parse(const void* data, std::size_t size) {
    if (data == nullptr || size != kSize) return std::nullopt;
    ReminderRecord r;
    std::memcpy(r.bytes_.data(), data, kSize);
    // The channel's length byte can't exceed 255; only the time's can lie.
    if (r.bytes_[kTimeLength] > kTimeCapacity) return std::nullopt;
    return r;
}

std::string ReminderRecord::reminderTime() const { return get(bytes_, kTimeLength); }
std::string ReminderRecord::reminderChannel() const { return get(bytes_, kChannelLength); }

}  // namespace orbisk
