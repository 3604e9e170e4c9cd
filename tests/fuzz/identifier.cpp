// Area identifiers as the message-base dialog reads and writes them: reading
// any text either fails with Error or gives a setting that composes into an
// identifier of the same grammar, and reads back to the same setting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/identifier.h"
#include "base/error.h"

using namespace orbisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string id(reinterpret_cast<const char*>(data), size);
    AreaSetting s;
    try {
        s = loadIdentifier(id);
    } catch (const Error&) {
        return 0;
    }
    if (s.hudsonBoard < kMinHudsonBoard || s.hudsonBoard > kMaxHudsonBoard) std::abort();
    const std::string composed = composeIdentifier(s);
    if (composed.empty() || composed[0] != areaLetter(s.kind)) std::abort();
    AreaSetting back = loadIdentifier(composed);  // never throws on our own output
    if (back.kind != s.kind) std::abort();
    if (s.kind == AreaKind::Hudson && back.hudsonBoard != s.hudsonBoard) std::abort();
    // A guide's name keeps its extension: ".xml.gz" says how to read it.
    const bool keepsName = areaUsesFolder(s.kind) || s.kind == AreaKind::Guide;
    if (keepsName && back.path != s.path) std::abort();
    if (!keepsName && back.path != stripBaseExtension(s.path)) std::abort();
    return 0;
}
