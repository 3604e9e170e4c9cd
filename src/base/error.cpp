#include "base/error.h"

namespace orbisk {

std::string format(const std::string& pattern, const std::string& arg) {
    auto p = pattern.find('%');
    if (p == std::string::npos || p + 1 >= pattern.size()) return pattern;
    return pattern.substr(0, p) + arg + pattern.substr(p + 2);
}

std::string withFullStop(std::string text) {
    if (text.empty() || text.back() != '.') text.push_back('.');
    return text;
}

}  // namespace orbisk
