// File names into the UTF-16 of a reminder job's record and back: any bytes
// decode without a fault, and a name comes back byte for byte unless it was
// no UTF-8, which the record then shows as U+FFFD; UTF-16 never breaks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/codepage.h"

using namespace orbisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::u16string utf16 = fileNameToUtf16(name);
    if (utf16ToFileName(utf16) != name && utf16.find(u'\uFFFD') == std::u16string::npos) std::abort();
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t c = utf16[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (low) std::abort();  // only ever after a high one, skipped below
        if (high && (i + 1 >= utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF)) std::abort();
        if (high) ++i;
    }
    return 0;
}
