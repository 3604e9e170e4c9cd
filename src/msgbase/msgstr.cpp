#include "msgbase/msgstr.h"

#include <charconv>

namespace orbisk {

std::string addBackslash(std::string_view s) {
    std::string r(s);
    if (!r.empty() && r.back() != '/') r += '/';
    return r;
}

bool tryStrToLong(std::string_view s, std::int32_t& out) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') return false;
    }
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    out = v;
    return true;
}

std::int32_t strToLongDef0(std::string_view s) {
    std::int32_t v = 0;
    return tryStrToLong(s, v) ? v : 0;
}

std::string longToStr(std::int64_t n) { return std::to_string(n); }

std::string upperStr(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string stripLeading(std::string_view s, char c) {
    while (!s.empty() && s.front() == c) s.remove_prefix(1);
    return std::string(s);
}

std::string stripTrailing(std::string_view s, char c) {
    while (!s.empty() && s.back() == c) s.remove_suffix(1);
    return std::string(s);
}

std::string stripBoth(std::string_view s, char c) { return stripTrailing(stripLeading(s, c), c); }

std::string padRight(std::string_view s, std::size_t width) {
    std::string r(s.substr(0, width));
    r.resize(width, ' ');
    return r;
}

std::size_t lastPosOf(char c, std::string_view s) {
    auto p = s.rfind(c);
    return p == std::string_view::npos ? 0 : p + 1;
}

std::string extractWord(std::string_view s, int n) {
    auto sep = [](char c) { return c == ' ' || c == '\t' || c == ';'; };
    std::size_t i = 0;
    for (int k = 1; i < s.size(); ++k) {
        while (i < s.size() && sep(s[i])) ++i;
        if (i >= s.size()) break;
        std::size_t start = i;
        while (i < s.size() && !sep(s[i])) ++i;
        if (k == n) {
            std::string w(s.substr(start, i - start));
            return start > 0 && s[start - 1] == ';' ? ";" + w : w;
        }
    }
    return {};
}

std::string_view withoutReplyPrefixes(std::string_view s) {
    while (s.size() >= 3 && lowerAscii(s[0]) == 'r' && lowerAscii(s[1]) == 'e' && s[2] == ':') {
        s.remove_prefix(3);
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    }
    return s;
}

std::string stripReplyPrefixes(std::string_view s) { return std::string(withoutReplyPrefixes(s)); }

}  // namespace orbisk
