#pragma once
// The streaming reader of XMLTV guides: plain, gzip or xz bytes in, the
// guide's channels and programmes out, one at a time, so that a guide of any
// size is read in bounded memory. Texts stay UTF-8 as the document has them;
// turning them into listing lines is the guide source's work.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/cp1251.h"

namespace orbisk {

struct GuideProgramme {
    std::string_view channel;   // the channel attribute (an id)
    std::string_view start;     // "YYYYMMDDhhmmss +hhmm" as written
    std::string_view title;     // lang="ru" when there is one, else the first
    std::string_view subTitle;  // chosen the same way; empty when none
};

class GuideHandler {
public:
    virtual ~GuideHandler() = default;
    // A <channel>: its id and display name (lang="ru" first, else the first).
    virtual void channel(const std::string& id, const std::string& displayName) = 0;
    // Asked once per <programme>: false skips it without collecting its texts.
    virtual bool wantsChannel(std::string_view id) = 0;
    virtual void programme(const GuideProgramme& programme) = 0;
};

// Reads at most `size` bytes into `buffer`; 0 at the end. Throws Error on a
// read failure.
using ByteReader = std::function<std::size_t(char* buffer, std::size_t size)>;

struct GuideLimits {
    // Decompressed bytes of one document; a larger guide is refused rather
    // than read for minutes.
    std::uint64_t maxDocumentBytes = std::uint64_t{1} << 30;
};

// The messages of a guide that cannot be read; the document's name follows.
inline constexpr const char* kGuideMalformedText = "Ошибка в программе XMLTV"_cp1251;
inline constexpr const char* kGuideTruncatedText = "Программа XMLTV оборвана или испорчена"_cp1251;
inline constexpr const char* kGuideTooLargeText = "Программа XMLTV больше 1 ГБ, такую Orbisk не читает"_cp1251;

// Reads the whole document, calling the handler as it goes; gzip and xz are
// told by their first bytes. Throws Error (1251 text naming `name`, and for
// malformed XML the line and expat's reason) on malformed or truncated
// input, a declaration of entities, and a document above the limit.
void readGuide(const ByteReader& read, const std::string& name, GuideHandler& handler, const GuideLimits& limits = {});
void readGuideBytes(std::string_view bytes, const std::string& name, GuideHandler& handler,
                    const GuideLimits& limits = {});

// Seconds since 1970 UTC of an XMLTV time: at least "YYYYMMDDhhmm", seconds
// optional, then an optional zone ("+0300", "-0500", "UTC", "GMT", "Z" and a
// few common abbreviations). Without a zone the time is UTC, as xmltv.dtd
// says. False when the text is no such time.
bool parseGuideTime(std::string_view text, std::int64_t& utcSeconds);

}  // namespace orbisk
