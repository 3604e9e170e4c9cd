#pragma once
#include <stdexcept>
#include <string>

namespace orbisk {

// An operation that cannot go on. The text is Windows-1251 and is what the
// user sees in the general error box (or after "Орбиск: " in orbisk-cli).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& ansiText) : std::runtime_error(ansiText) {}
};

// Text with a %s (or %d) replaced, as the error texts are written.
std::string format(const std::string& pattern, const std::string& arg);

// The text as the general error box shows it: a full stop appended when it
// does not already end with one.
std::string withFullStop(std::string text);

}  // namespace orbisk
