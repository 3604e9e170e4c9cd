// Listing bytes as a title and as a channel name: the XML text must be
// well-formed UTF-8 without markup characters or characters XML 1.0 (and
// tv_validate_file) refuses, and the id must be a valid XMLTV id.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "export/xmltv.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool idChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string text = orbisk::xmlText(bytes);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        check(c >= 0x20 && c != 0x7F && c != '<' && c != '>' && c != '"' && c != '\'');
        if (c == '&') {
            const std::string_view rest = std::string_view(text).substr(i);
            check(rest.rfind("&amp;", 0) == 0 || rest.rfind("&lt;", 0) == 0 || rest.rfind("&gt;", 0) == 0 ||
                  rest.rfind("&quot;", 0) == 0 || rest.rfind("&apos;", 0) == 0);
        }
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
        check(n != 0 && i + n <= text.size());
        std::uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : c & 0x0F;
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            check((t & 0xC0) == 0x80);
            cp = cp << 6 | (t & 0x3F);
        }
        check(!(cp >= 0x80 && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF);
        i += n;
    }

    // [-a-z0-9]+ ( "." [-a-z0-9]+ )+
    const std::string id = orbisk::xmltvChannelId(bytes);
    std::size_t parts = 0, length = 0;
    for (char c : id) {
        if (c == '.') {
            check(length > 0);
            ++parts;
            length = 0;
        } else {
            check(idChar(c));
            ++length;
        }
    }
    check(length > 0 && parts >= 1);
    check(id == orbisk::xmltvChannelId(bytes));
    return 0;
}
