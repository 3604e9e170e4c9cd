// A JAM base made from arbitrary bytes, walked through the whole read path:
// nothing may crash, hang or read outside a buffer, and the kind's line
// shortcut must agree with the shared line reader.
//
// Input: flags (1 byte), header part length (2 bytes LE), index part length
// (2 bytes LE), then the .jhr part, the .jdx part and the rest as .jdt.
// Unless flag bit 0 is set, the .jhr part follows a sound 1024-byte base
// header (base number 1), so that the fuzzer reaches the message headers.
// Flag bit 1: delete the first message found, then walk again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzzfiles.h"
#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"

namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void readText(orbisk::MessageArea& a, std::uint16_t maxLen) {
    std::string fast, shared;
    a.startText();
    for (int i = 0; i < 3000 && !a.atTextEnd(); ++i) {
        const std::string line = a.readTextLine(maxLen);
        if (line.size() > maxLen + 0u && maxLen > 0) abort();
        fast += line + (a.getLastLineWrapped() ? "\x01w\n" : "\n");
    }
    a.startText();
    for (int i = 0; i < 3000 && !a.atTextEnd(); ++i)
        shared += a.MessageArea::readTextLine(maxLen) + (a.getLastLineWrapped() ? "\x01w\n" : "\n");
    if (fast != shared) abort();
    a.startText();
    std::vector<std::string> read;
    for (int i = 0; i < 3000 && !a.atTextEnd(); ++i) read.push_back(a.readTextLineNoKludge(maxLen));
    // The load's road, into one reused buffer, gives the same lines.
    a.startText();
    std::string buffer;
    for (const auto& line : read) {
        a.readTextLineNoKludgeInto(buffer, maxLen);
        if (buffer != line) abort();
    }
}

void walk(orbisk::MessageArea& a, bool deleteFirst) {
    int n = 0;
    for (a.locateFrom(1); a.isLocated() && n < 200; a.locateNext(), ++n) {
        a.loadHeader();
        a.getMessageNumber();
        a.getSubject();
        a.getFromName();
        a.getToName();
        a.getDateTime();
        a.getOrigAddress();
        a.getDestAddress();
        a.getCost();
        a.getReplyTo();
        a.getNextReplyLink();
        a.isDeleted();
        a.isPrivate();
        readText(a, n % 2 ? 255 : static_cast<std::uint16_t>(1 + n % 17));
        if (deleteFirst && n == 0) a.deleteCurrent();
    }
    a.getHighestExisting();
    a.locatePrior();
    a.countMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    orbisk::sharingRetryCount = 1;
    const std::uint8_t flags = data[0];
    std::size_t hlen = le16(data + 1), xlen = le16(data + 3);
    data += 5;
    size -= 5;
    hlen = std::min(hlen, size);
    xlen = std::min(xlen, size - hlen);

    std::string jhr;
    if (!(flags & 1)) {
        jhr.assign(1024, '\0');
        std::memcpy(jhr.data(), "JAM", 4);
        jhr[16] = jhr[17] = jhr[18] = jhr[19] = '\xFF';
        jhr[20] = 1;
    }
    jhr.append(reinterpret_cast<const char*>(data), hlen);
    const std::string base = orbisk::fuzz::workFolder("jam") + "/area";
    orbisk::fuzz::putFile(base + ".jhr", jhr);
    orbisk::fuzz::putFile(base + ".jdx", data + hlen, xlen);
    orbisk::fuzz::putFile(base + ".jdt", data + hlen + xlen, size - hlen - xlen);

    std::unique_ptr<orbisk::MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, "J" + base)) return 0;
    walk(*area, flags & 2);
    if (flags & 2) walk(*area, false);
    orbisk::closeAreaAndFree(area);
    return 0;
}
