#pragma once
// The reminder hand-over record: what a reminder start passes to the running
// instance (the time text and the channel's display name). Its 267-byte
// layout is fixed because it crosses process boundaries:
//   0      length of the time text, 0..10
//   1..10  the time text (Windows-1251)
//   11     length of the channel text, 0..255
//   12..266 the channel text (Windows-1251)
// Bytes after each text, up to its capacity, carry no meaning.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbisk {

class ReminderRecord {
public:
    static constexpr std::size_t kSize = 267;
    static constexpr std::size_t kTimeCapacity = 10;
    static constexpr std::size_t kChannelCapacity = 255;
    using Bytes = std::array<std::uint8_t, kSize>;

    // All zero: no reminder (a start without the three arguments).
    ReminderRecord() = default;

    // From the second and third command-line arguments, already in
    // Windows-1251: the time cut to its first 10 characters, the channel to
    // its first 255.
    static ReminderRecord fromArguments(std::string_view timeAnsi, std::string_view channelAnsi);

    // A record received from another process. Nullopt when it is not exactly
    // kSize bytes or a length byte exceeds its field's capacity; nothing past
    // the given bytes is read.
    static std::optional<ReminderRecord> parse(const void* data, std::size_t size);

    // The 267 bytes as they travel, byte for byte what Parse accepted or
    // fromArguments built (zero-padded).
    const Bytes& serialise() const { return bytes_; }

    std::string reminderTime() const;
    std::string reminderChannel() const;

    friend bool operator==(const ReminderRecord&, const ReminderRecord&) = default;

private:
    Bytes bytes_{};
};

}  // namespace orbisk
