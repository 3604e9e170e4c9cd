// One Fido *.MSG file of arbitrary bytes through the whole read road:
// locate, LoadHeader, every getter, the date, the text by lines (held to
// the shared line reader), by ReadChar and without kludges. Every loop must
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

#include "msgbase/fidomsgarea.h"
#include "msgbase/messagearea.h"

namespace {

// Made once, removed at exit; kept on the heap so that it outlives the
// exit handler that removes it.
const std::string& Dir() {
    static const std::string* dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbisk-fuzz-fidomsg-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        auto* kept = new std::string(pattern);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Dir(), ec);
        });
        return kept;
    }();
    return *dir;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::uint16_t maxLen = static_cast<std::uint16_t>(data[0] == 0xFF ? 65535 : data[0]);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string file = Dir() + "/1.msg";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    const std::size_t textLen = bytes.size() > 190 ? bytes.size() - 190 : 0;
    const std::size_t nul = bytes.size() > 190 ? bytes.find('\0', 190) : std::string::npos;
    const std::int64_t textEnd = nul == std::string::npos ? static_cast<std::int64_t>(std::max<std::size_t>(bytes.size(), 190))
                                                          : static_cast<std::int64_t>(nul);

    std::unique_ptr<orbisk::MessageArea> area, shared;
    Check(orbisk::OpenAreaByIdentifier(area, "F" + Dir()));
    Check(orbisk::OpenAreaByIdentifier(shared, "F" + Dir()));
    area->LocateFrom(1);
    Check(area->IsLocated() && area->GetMessageNumber() == 1);
    shared->LocateFrom(1);
    area->LoadHeader();
    shared->LoadHeader();

    Check(area->GetFromName().size() <= 35);
    Check(area->GetToName().size() <= 35);
    Check(area->GetSubject().size() <= 71);
    area->GetCost();
    area->GetReplyTo();
    area->GetReplyFirst();
    area->GetOrigAddress();
    area->GetDestAddress();
    const double when = area->GetDateTime();
    Check(when == 0 || (when > 0 && when < 80000));
    area->IsLocal();
    area->IsPrivate();
    area->IsReceived();
    area->IsRead();
    area->IsDeleted();

    const std::uint16_t cap = std::min<std::uint16_t>(std::max<std::uint16_t>(maxLen, 1), 254);
    area->StartText();
    shared->StartText();
    std::size_t lines = 0;
    while (!area->AtTextEnd()) {
        const std::string line = area->ReadTextLine(maxLen);
        Check(line == shared->orbisk::MessageArea::ReadTextLine(std::min<std::uint16_t>(maxLen, 254)));
        Check(area->GetLastLineWrapped() == shared->GetLastLineWrapped());
        Check(area->GetTextPosition() == shared->GetTextPosition());
        Check(area->AtTextEnd() == shared->AtTextEnd());
        Check(line.size() <= cap);
        Check(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        Check(area->GetTextPosition() <= textEnd);
        Check(++lines <= textLen + 2);
    }
    Check(area->ReadTextLine(maxLen).empty());

    area->StartText();
    std::size_t chars = 0;
    while (!area->AtTextEnd()) {
        Check(area->ReadChar() != '\0' || area->AtTextEnd());
        Check(++chars <= textLen + 1);
    }
    Check(area->GetTextPosition() <= textEnd);

    area->StartText();
    lines = 0;
    while (!area->AtTextEnd()) {
        area->ReadTextLineNoKludge(maxLen);
        Check(++lines <= textLen + 2);
    }
    area->LocateNext();
    Check(!area->IsLocated());
    orbisk::CloseAreaAndFree(shared);
    Check(orbisk::CloseAreaAndFree(area));
    return 0;
}
