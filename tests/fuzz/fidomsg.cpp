// One Fido *.MSG file of arbitrary bytes through the whole read road:
// locate, loadHeader, every getter, the date, the text by lines (held to
// the shared line reader), by readChar and without kludges. Every loop must
// end, no line may exceed its maxLen or carry CR, LF or NUL, and nothing
// may be read past the first NUL of the text.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzzfiles.h"
#include "msgbase/fidomsgarea.h"
#include "msgbase/messagearea.h"

namespace {

const std::string& workDir() { return orbisk::fuzz::workFolder("fidomsg"); }

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::uint16_t maxLen = static_cast<std::uint16_t>(data[0] == 0xFF ? 65535 : data[0]);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string file = workDir() + "/1.msg";
    orbisk::fuzz::putFile(file, bytes);
    const std::size_t textLen = bytes.size() > 190 ? bytes.size() - 190 : 0;
    const std::size_t nul = bytes.size() > 190 ? bytes.find('\0', 190) : std::string::npos;
    const std::int64_t textEnd = nul == std::string::npos ? static_cast<std::int64_t>(std::max<std::size_t>(bytes.size(), 190))
                                                          : static_cast<std::int64_t>(nul);

    std::unique_ptr<orbisk::MessageArea> area, shared;
    check(orbisk::openAreaByIdentifier(area, "F" + workDir()));
    check(orbisk::openAreaByIdentifier(shared, "F" + workDir()));
    area->locateFrom(1);
    check(area->isLocated() && area->getMessageNumber() == 1);
    shared->locateFrom(1);
    area->loadHeader();
    shared->loadHeader();

    check(area->getFromName().size() <= 35);
    check(area->getToName().size() <= 35);
    check(area->getSubject().size() <= 71);
    area->getCost();
    area->getReplyTo();
    area->getReplyFirst();
    area->getOrigAddress();
    area->getDestAddress();
    const double when = area->getDateTime();
    check(when == 0 || (when > 0 && when < 80000));
    area->isLocal();
    area->isPrivate();
    area->isReceived();
    area->isRead();
    area->isDeleted();

    const std::uint16_t cap = std::min<std::uint16_t>(std::max<std::uint16_t>(maxLen, 1), 254);
    area->startText();
    shared->startText();
    std::size_t lines = 0;
    while (!area->atTextEnd()) {
        const std::string line = area->readTextLine(maxLen);
        check(line == shared->orbisk::MessageArea::readTextLine(std::min<std::uint16_t>(maxLen, 254)));
        check(area->getLastLineWrapped() == shared->getLastLineWrapped());
        check(area->getTextPosition() == shared->getTextPosition());
        check(area->atTextEnd() == shared->atTextEnd());
        check(line.size() <= cap);
        check(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        check(area->getTextPosition() <= textEnd);
        check(++lines <= textLen + 2);
    }
    check(area->readTextLine(maxLen).empty());

    area->startText();
    std::size_t chars = 0;
    while (!area->atTextEnd()) {
        check(area->readChar() != '\0' || area->atTextEnd());
        check(++chars <= textLen + 1);
    }
    check(area->getTextPosition() <= textEnd);

    area->startText();
    lines = 0;
    std::vector<std::string> read;
    while (!area->atTextEnd()) {
        read.push_back(area->readTextLineNoKludge(maxLen));
        check(++lines <= textLen + 2);
    }
    // The load's road, into one reused buffer, gives the same lines.
    area->startText();
    std::string buffer;
    for (const auto& line : read) {
        area->readTextLineNoKludgeInto(buffer, maxLen);
        check(buffer == line);
    }
    check(area->atTextEnd());
    area->locateNext();
    check(!area->isLocated());
    orbisk::closeAreaAndFree(shared);
    check(orbisk::closeAreaAndFree(area));
    return 0;
}
