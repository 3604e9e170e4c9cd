// A Squish area made of the fuzzer's bytes. Input: one flag byte, two bytes
// giving the length of the index file, the index file, then the data file.
// Every message goes through the whole read path; with flag bit 0 the first
// message is deleted and the area walked again. Nothing may crash, hang,
// read outside a buffer or take memory beyond the size of the files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzzfiles.h"
#include "msgbase/messagearea.h"

namespace {

void walk(orbisk::MessageArea& a) {
    int messages = 0;
    a.locateFrom(1);
    while (a.isLocated() && ++messages <= 64) {
        a.loadHeader();
        (void)a.getMessageNumber();
        (void)a.getSubject();
        (void)a.getFromName();
        (void)a.getToName();
        (void)a.getDateTime();
        (void)a.getOrigAddress();
        (void)a.getDestAddress();
        (void)a.isEcho();
        a.startText();
        std::vector<std::string> read;
        for (int lines = 0; !a.atTextEnd(); ++lines) {
            const std::string line = a.readTextLineNoKludge(static_cast<std::uint16_t>(1 + lines % 255));
            if (line.size() > 255 || lines > (1 << 20)) std::abort();
            read.push_back(line);
        }
        // The load's road, into one reused buffer, gives the same lines.
        a.startText();
        std::string buffer;
        for (std::size_t n = 0; n < read.size(); ++n) {
            a.readTextLineNoKludgeInto(buffer, static_cast<std::uint16_t>(1 + n % 255));
            if (buffer != read[n]) std::abort();
        }
        if (!a.atTextEnd()) std::abort();
        a.locateNext();
    }
    (void)a.getHighestExisting();
    (void)a.countMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t flags = data[0];
    size_t indexLength = static_cast<size_t>(data[1] | data[2] << 8);
    data += 3;
    size -= 3;
    if (indexLength > size) indexLength = size;
    const std::string base = orbisk::fuzz::workFolder("squish") + "/area";
    orbisk::fuzz::putFile(base + ".sqi", data, indexLength);
    orbisk::fuzz::putFile(base + ".sqd", data + indexLength, size - indexLength);

    std::unique_ptr<orbisk::MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, "S" + base)) return 0;
    walk(*area);
    if (flags & 1) {
        area->locateFrom(static_cast<orbisk::MsgNumber>(flags >> 1));
        area->loadHeader();
        area->deleteCurrent();
        walk(*area);
    }
    orbisk::closeAreaAndFree(area);
    return 0;
}
