#include "listing/xmltvreader.h"

#include <expat.h>
#include <lzma.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "base/datetime.h"
#include "base/error.h"

namespace orbisk {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
// A title or a name longer than this is cut: nothing a listing line can show.
constexpr std::size_t kMaxText = 1024;
// Well-formed guides start an element every few hundred bytes; this much
// input without one is a token expat would buffer whole.
constexpr std::int64_t kMaxBytesWithoutElement = 16 << 20;
constexpr std::int64_t kUnixEpochDays = 25569;  // 1970-01-01 counted from 1899-12-30

[[noreturn]] void fail(const char* text, const std::string& name, const std::string& detail = {}) {
    std::string message = std::string(text) + ": " + name;
    if (!detail.empty()) message += " (" + detail + ")";
    throw Error(message);
}

// Decompressed bytes of the document, whatever wraps it.
class Decoder {
public:
    Decoder(const ByteReader& read, const std::string& name) : read_(read), name_(name), in_(kChunk) {}
    ~Decoder() {
        if (kind_ == Kind::Gzip) inflateEnd(&zs_);
        if (kind_ == Kind::Xz) lzma_end(&xs_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // 0 only at the end of the document.
    std::size_t read(char* out, std::size_t size) {
        if (kind_ == Kind::Unknown) start();
        switch (kind_) {
            case Kind::Plain:
                return readPlain(out, size);
            case Kind::Gzip:
                return readGzip(out, size);
            case Kind::Xz:
                return readXz(out, size);
            case Kind::Unknown:
                break;
        }
        return 0;
    }

private:
    enum class Kind { Unknown, Plain, Gzip, Xz };

    bool fill() {
        if (eof_) return false;
        inPos_ = 0;
        inLen_ = read_(in_.data(), in_.size());
        if (inLen_ == 0) eof_ = true;
        return inLen_ > 0;
    }

    void start() {
        // Enough bytes to tell the wrapping, even from a reader that gives few at a time.
        while (inLen_ < 6 && !eof_) {
            const std::size_t got = read_(in_.data() + inLen_, in_.size() - inLen_);
            if (got == 0) eof_ = true;
            inLen_ += got;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(in_.data());
        if (inLen_ >= 2 && b[0] == 0x1F && b[1] == 0x8B) {
            kind_ = Kind::Gzip;
            std::memset(&zs_, 0, sizeof zs_);
            if (inflateInit2(&zs_, 15 + 16) != Z_OK) fail(kGuideTruncatedText, name_, "zlib");
        } else if (inLen_ >= 6 && std::memcmp(b, "\xFD" "7zXZ\0", 6) == 0) {
            kind_ = Kind::Xz;
            xs_ = LZMA_STREAM_INIT;
            if (lzma_stream_decoder(&xs_, 256u << 20, LZMA_CONCATENATED) != LZMA_OK)
                fail(kGuideTruncatedText, name_, "xz");
        } else {
            kind_ = Kind::Plain;
        }
    }

    std::size_t readPlain(char* out, std::size_t size) {
        if (inPos_ == inLen_ && !fill()) return 0;
        const std::size_t n = std::min(size, inLen_ - inPos_);
        std::memcpy(out, in_.data() + inPos_, n);
        inPos_ += n;
        return n;
    }

    std::size_t readGzip(char* out, std::size_t size) {
        zs_.next_out = reinterpret_cast<Bytef*>(out);
        zs_.avail_out = static_cast<uInt>(size);
        while (zs_.avail_out == size) {
            if (inPos_ == inLen_ && !fill()) {
                // The stream has to end where the file does.
                if (!streamEnded_) fail(kGuideTruncatedText, name_, "gzip");
                return 0;
            }
            if (streamEnded_) {
                // Another gzip member follows (concatenated files are one document).
                if (inflateReset(&zs_) != Z_OK) fail(kGuideTruncatedText, name_, "gzip");
                streamEnded_ = false;
            }
            zs_.next_in = reinterpret_cast<Bytef*>(in_.data() + inPos_);
            zs_.avail_in = static_cast<uInt>(inLen_ - inPos_);
            const int rc = inflate(&zs_, Z_NO_FLUSH);
            inPos_ = inLen_ - zs_.avail_in;
            if (rc == Z_STREAM_END)
                streamEnded_ = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                fail(kGuideTruncatedText, name_, zs_.msg ? zs_.msg : "gzip");
            else if (rc == Z_BUF_ERROR && zs_.avail_in > 0)
                fail(kGuideTruncatedText, name_, "gzip");
        }
        return size - zs_.avail_out;
    }

    std::size_t readXz(char* out, std::size_t size) {
        xs_.next_out = reinterpret_cast<std::uint8_t*>(out);
        xs_.avail_out = size;
        while (xs_.avail_out == size) {
            lzma_action action = LZMA_RUN;
            if (inPos_ == inLen_ && !fill()) action = LZMA_FINISH;
            xs_.next_in = reinterpret_cast<const std::uint8_t*>(in_.data() + inPos_);
            xs_.avail_in = inLen_ - inPos_;
            const lzma_ret rc = lzma_code(&xs_, action);
            inPos_ = inLen_ - xs_.avail_in;
            if (rc == LZMA_STREAM_END) return size - xs_.avail_out;
            if (rc != LZMA_OK) fail(kGuideTruncatedText, name_, "xz");
            // The decoder wants more input than there is.
            if (action == LZMA_FINISH && xs_.avail_out == size) fail(kGuideTruncatedText, name_, "xz");
        }
        return size - xs_.avail_out;
    }

    const ByteReader& read_;
    const std::string& name_;
    std::vector<char> in_;
    std::size_t inPos_ = 0, inLen_ = 0;
    bool eof_ = false;
    bool streamEnded_ = false;
    Kind kind_ = Kind::Unknown;
    z_stream zs_{};
    lzma_stream xs_ = LZMA_STREAM_INIT;
};

const char* attribute(const XML_Char** atts, const char* key) {
    for (; atts && *atts; atts += 2)
        if (std::strcmp(atts[0], key) == 0) return atts[1];
    return nullptr;
}

bool isRussian(const char* lang) {
    return lang && std::strncmp(lang, "ru", 2) == 0 && (lang[2] == 0 || lang[2] == '-' || lang[2] == '_');
}

// One text among its translations: lang="ru" wins, else the first.
struct Choice {
    std::string text;
    bool fromRussian = false;
    bool set = false;

    // Whether the text about to come should replace the one kept.
    bool takes(const char* lang) const { return !set || (isRussian(lang) && !fromRussian); }
    void clear() { *this = Choice{}; }
};

class Parser {
public:
    Parser(const std::string& name, GuideHandler& handler) : name_(name), handler_(handler) {
        parser_ = XML_ParserCreate("UTF-8");
        if (!parser_) throw std::bad_alloc();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &Parser::onStart, &Parser::onEnd);
        XML_SetCharacterDataHandler(parser_, &Parser::onText);
        XML_SetEntityDeclHandler(parser_, &Parser::onEntityDecl);
    }
    ~Parser() { XML_ParserFree(parser_); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    void feed(const char* data, std::size_t size, bool last) {
        fed_ += static_cast<std::int64_t>(size);
        if (XML_Parse(parser_, data, static_cast<int>(size), last) != XML_STATUS_OK) {
            if (entityDeclared_) fail(kGuideMalformedText, name_, "<!ENTITY>");
            fail(kGuideMalformedText, name_,
                 "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                     XML_ErrorString(XML_GetErrorCode(parser_)));
        }
        if (fed_ - lastElementAt_ > kMaxBytesWithoutElement)
            fail(kGuideMalformedText, name_,
                 "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": token too long");
    }

private:
    enum class Capture { None, DisplayName, Title, SubTitle };

    static void onStart(void* self, const XML_Char* name, const XML_Char** atts) {
        static_cast<Parser*>(self)->start(name, atts);
    }
    static void onEnd(void* self, const XML_Char* name) { static_cast<Parser*>(self)->end(name); }
    static void onText(void* self, const XML_Char* text, int length) {
        auto* p = static_cast<Parser*>(self);
        if (p->capture_ != Capture::None && p->captured_.size() < kMaxText)
            p->captured_.append(text, std::min<std::size_t>(static_cast<std::size_t>(length), kMaxText - p->captured_.size()));
    }
    static void onEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                             const XML_Char*, const XML_Char*, const XML_Char*) {
        // Entities are how a small document grows into a huge one; no guide needs them.
        auto* p = static_cast<Parser*>(self);
        p->entityDeclared_ = true;
        XML_StopParser(p->parser_, XML_FALSE);
    }

    void start(const char* name, const XML_Char** atts) {
        ++depth_;
        lastElementAt_ = XML_GetCurrentByteIndex(parser_);
        if (skipDepth_) return;
        if (depth_ == 2 && std::strcmp(name, "channel") == 0) {
            const char* id = attribute(atts, "id");
            channelId_ = id ? id : "";
            names_.clear();
            inChannel_ = true;
        } else if (depth_ == 2 && std::strcmp(name, "programme") == 0) {
            const char* channel = attribute(atts, "channel");
            const char* start = attribute(atts, "start");
            if (!channel || !start || !handler_.wantsChannel(channel)) {
                skipDepth_ = depth_;
                return;
            }
            programmeChannel_ = channel;
            programmeStart_ = start;
            titles_.clear();
            subTitles_.clear();
            inProgramme_ = true;
        } else if (depth_ == 3 && inChannel_ && std::strcmp(name, "display-name") == 0) {
            beginCapture(Capture::DisplayName, names_, atts);
        } else if (depth_ == 3 && inProgramme_ && std::strcmp(name, "title") == 0) {
            beginCapture(Capture::Title, titles_, atts);
        } else if (depth_ == 3 && inProgramme_ && std::strcmp(name, "sub-title") == 0) {
            beginCapture(Capture::SubTitle, subTitles_, atts);
        }
    }

    void beginCapture(Capture what, const Choice& choice, const XML_Char** atts) {
        const char* lang = attribute(atts, "lang");
        captureTakes_ = choice.takes(lang);
        captureRussian_ = isRussian(lang);
        capture_ = what;
        captured_.clear();
    }

    void endCapture(Choice& choice) {
        if (captureTakes_) {
            choice.text = captured_;
            choice.fromRussian = captureRussian_;
            choice.set = true;
        }
        capture_ = Capture::None;
    }

    void end(const char*) {
        if (skipDepth_) {
            if (depth_ == skipDepth_) skipDepth_ = 0;
            --depth_;
            return;
        }
        if (depth_ == 3) {
            switch (capture_) {
                case Capture::DisplayName:
                    endCapture(names_);
                    break;
                case Capture::Title:
                    endCapture(titles_);
                    break;
                case Capture::SubTitle:
                    endCapture(subTitles_);
                    break;
                case Capture::None:
                    break;
            }
        } else if (depth_ == 2 && inChannel_) {
            inChannel_ = false;
            handler_.channel(channelId_, names_.text);
        } else if (depth_ == 2 && inProgramme_) {
            inProgramme_ = false;
            handler_.programme({programmeChannel_, programmeStart_, titles_.text, subTitles_.text});
        }
        --depth_;
    }

    const std::string& name_;
    GuideHandler& handler_;
    XML_Parser parser_ = nullptr;
    int depth_ = 0;
    int skipDepth_ = 0;
    std::int64_t fed_ = 0;
    std::int64_t lastElementAt_ = 0;
    bool entityDeclared_ = false;
    bool inChannel_ = false;
    bool inProgramme_ = false;
    std::string channelId_;
    std::string programmeChannel_;
    std::string programmeStart_;
    Choice names_, titles_, subTitles_;
    Capture capture_ = Capture::None;
    bool captureTakes_ = false;
    bool captureRussian_ = false;
    std::string captured_;
};

bool digits(std::string_view s, std::size_t from, std::size_t count, int& value) {
    if (from + count > s.size()) return false;
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

void readGuide(const ByteReader& read, const std::string& name, GuideHandler& handler, const GuideLimits& limits) {
    Decoder decoder(read, name);
    Parser parser(name, handler);
    std::vector<char> buffer(kChunk);
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = decoder.read(buffer.data(), buffer.size());
        total += n;
        if (total > limits.maxDocumentBytes) fail(kGuideTooLargeText, name);
        parser.feed(buffer.data(), n, n == 0);
        if (n == 0) break;
    }
}

void readGuideBytes(std::string_view bytes, const std::string& name, GuideHandler& handler,
                    const GuideLimits& limits) {
    std::size_t pos = 0;
    readGuide(
        [&](char* out, std::size_t size) {
            const std::size_t n = std::min(size, bytes.size() - pos);
            std::memcpy(out, bytes.data() + pos, n);
            pos += n;
            return n;
        },
        name, handler, limits);
}

bool parseGuideTime(std::string_view text, std::int64_t& utcSeconds) {
    int y, mo, d, h, mi, s = 0;
    if (!digits(text, 0, 4, y) || !digits(text, 4, 2, mo) || !digits(text, 6, 2, d) || !digits(text, 8, 2, h) ||
        !digits(text, 10, 2, mi))
        return false;
    std::size_t pos = 12;
    if (digits(text, 12, 2, s)) pos = 14;
    if (mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 60) return false;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    std::string_view zone = text.substr(pos);
    while (!zone.empty() && zone.back() == ' ') zone.remove_suffix(1);
    int offsetMinutes = 0;
    if (zone.size() == 5 && (zone[0] == '+' || zone[0] == '-')) {
        int zh, zm;
        if (!digits(zone, 1, 2, zh) || !digits(zone, 3, 2, zm) || zh > 14 || zm > 59) return false;
        offsetMinutes = (zone[0] == '-' ? -1 : 1) * (zh * 60 + zm);
    } else if (!zone.empty()) {
        static constexpr std::array<std::pair<std::string_view, int>, 10> kZones{{{"UTC", 0},
                                                                                  {"GMT", 0},
                                                                                  {"Z", 0},
                                                                                  {"BST", 60},
                                                                                  {"CET", 60},
                                                                                  {"CEST", 120},
                                                                                  {"EET", 120},
                                                                                  {"EEST", 180},
                                                                                  {"MSK", 180},
                                                                                  {"MSD", 240}}};
        bool known = false;
        for (const auto& [abbreviation, minutes] : kZones)
            if (zone == abbreviation) {
                offsetMinutes = minutes;
                known = true;
            }
        if (!known) return false;
    }
    utcSeconds = (daysFromCivil(y, mo, d) - kUnixEpochDays) * 86400 + h * 3600 + mi * 60 + s - offsetMinutes * 60;
    return true;
}

}  // namespace orbisk
