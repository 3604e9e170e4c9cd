// A Squish area made of the fuzzer's bytes. Input: one flag byte, two bytes
// giving the length of the index file, the index file, then the data file.
// Every message goes through the whole read path; with flag bit 0 the first
// message is deleted and the area walked again. Nothing may crash, hang,
// read outside a buffer or take memory beyond the size of the files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "msgbase/messagearea.h"

namespace {

const std::string& Dir() {
    static const std::string dir = [] {
        std::string p = (std::filesystem::temp_directory_path() / "orbisk-fuzz-squish-XXXXXX").string();
        if (!::mkdtemp(p.data())) std::abort();
        return p;
    }();
    return dir;
}

void Put(const std::string& name, const uint8_t* data, size_t size) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Walk(orbisk::MessageArea& a) {
    int messages = 0;
    a.LocateFrom(1);
    while (a.IsLocated() && ++messages <= 64) {
        a.LoadHeader();
        (void)a.GetMessageNumber();
        (void)a.GetSubject();
        (void)a.GetFromName();
        (void)a.GetToName();
        (void)a.GetDateTime();
        (void)a.GetOrigAddress();
        (void)a.GetDestAddress();
        (void)a.IsEcho();
        a.StartText();
        for (int lines = 0; !a.AtTextEnd(); ++lines) {
            const std::string line = a.ReadTextLineNoKludge(static_cast<std::uint16_t>(1 + lines % 255));
            if (line.size() > 255 || lines > (1 << 20)) std::abort();
        }
        a.LocateNext();
    }
    (void)a.GetHighestExisting();
    (void)a.CountMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t flags = data[0];
    size_t indexLength = static_cast<size_t>(data[1] | data[2] << 8);
    data += 3;
    size -= 3;
    if (indexLength > size) indexLength = size;
    const std::string base = Dir() + "/area";
    Put(base + ".sqi", data, indexLength);
    Put(base + ".sqd", data + indexLength, size - indexLength);

    std::unique_ptr<orbisk::MessageArea> area;
    if (!orbisk::OpenAreaByIdentifier(area, "S" + base)) return 0;
    Walk(*area);
    if (flags & 1) {
        area->LocateFrom(static_cast<orbisk::MsgNumber>(flags >> 1));
        area->LoadHeader();
        area->DeleteCurrent();
        Walk(*area);
    }
    orbisk::CloseAreaAndFree(area);
    return 0;
}
