// Fuzz target: the 80-column line breaking and centring of the printed
// programme. Every written line fits 80 columns, and the pieces without
// their indents give back the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "export/printtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos) return 0;
    std::string out;
    orbisk::appendProgrammeLine(out, line);
    std::string joined;
    std::size_t pos = 0, count = 0;
    while (pos < out.size()) {
        const std::size_t end = out.find("\r\n", pos);
        if (end == std::string::npos) std::abort();
        std::string piece = out.substr(pos, end - pos);
        if (piece.size() > 80) std::abort();
        if (count++ > 0) {
            if (piece.compare(0, 8, "        ") != 0) std::abort();
            piece.erase(0, 8);
        }
        joined += piece;
        pos = end + 2;
    }
    if (joined != line) std::abort();
    const std::string centred = orbisk::centerLine(line);
    if (line.size() < 80 && (centred.size() != 80 || centred.compare(40 - line.size() / 2, line.size(), line) != 0)) std::abort();
    if (line.size() >= 80 && centred != line) std::abort();
    return 0;
}
