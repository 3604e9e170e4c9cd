#include "base/strings.h"

#include "base/error.h"

namespace orbisk {

bool tryStrToInt(std::string_view s, std::int32_t& out) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                          : -1;
        if (digit < 0) return false;
        value = value * base + static_cast<std::uint64_t>(digit);
        // Hexadecimal may spell the full 32-bit pattern ($FFFFFFFF = -1).
        if (value > (base == 16 ? 0xFFFFFFFFull : 0x80000000ull)) return false;
    }
    if (base == 10 && !negative && value > 0x7FFFFFFFull) return false;
    auto v = static_cast<std::int64_t>(base == 16 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(value))
                                                  : static_cast<std::int64_t>(value));
    out = static_cast<std::int32_t>(negative ? -v : v);
    return true;
}

std::int32_t strToInt(std::string_view s) {
    std::int32_t v;
    if (!tryStrToInt(s, v)) throw Error("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

std::int32_t strToIntDef(std::string_view s, std::int32_t def) {
    std::int32_t v;
    return tryStrToInt(s, v) ? v : def;
}

bool tryDecimalToInt(std::string_view s, std::int32_t& out) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size()) return false;
    for (std::size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    return tryStrToInt(s, out);
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        auto hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace orbisk
