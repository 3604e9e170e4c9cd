#include "export/xmltv.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "export/weekwalk.h"
#include "listing/bodyparse.h"
#include "msgbase/crc32.h"

namespace orbisk {

namespace {

constexpr std::size_t kTitleStart = 6;  // the seventh character
constexpr std::size_t kMaxSlug = 40;

constexpr const char* kCannotWriteText = "Не могу записать файл "_cp1251;

// Latin spelling of the Windows-1251 lower-case letters E0..FF (а..я).
constexpr const char* kTranslit[32] = {"a", "b", "v",  "g",  "d",  "e",    "zh", "z", "i", "y", "k",
                                       "l", "m", "n",  "o",  "p",  "r",    "s",  "t", "u", "f", "kh",
                                       "ts", "ch", "sh", "shch", "", "y", "", "e", "yu", "ya"};

const char* transliterate(unsigned char c) {
    if (c >= 0xC0) return kTranslit[(c & 0xDF) - 0xC0];
    switch (c) {
        case 0xA8: case 0xB8: return "e";   // Ё ё
        case 0xAA: case 0xBA: return "ye";  // Є є
        case 0xAF: case 0xBF: return "yi";  // Ї ї
        case 0xB2: case 0xB3: return "i";   // І і
        case 0xA5: case 0xB4: return "g";   // Ґ ґ
        default: return nullptr;
    }
}

bool isBlank(char c) { return c == ' '; }

std::string trimmed(std::string s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Control characters as blanks, still Windows-1251.
std::string withoutControls(std::string_view ansi) {
    std::string s(ansi);
    for (char& ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == 0x98) ch = ' ';
    }
    return s;
}

std::string escaped(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (char c : utf8) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

long offsetAt(std::time_t t) {
    std::tm local{};
    if (!localtime_r(&t, &local)) return 0;
    return local.tm_gmtoff;
}

bool before(const EntryStart& a, const EntryStart& b) {
    if (a.date != b.date) return a.date < b.date;
    return a.hour * 60 + a.minute < b.hour * 60 + b.minute;
}

struct Entry {
    EntryStart start;
    std::string title;  // controls as blanks, no blanks at the ends; empty: left out
};

// One channel's entries of one day.
struct ChannelDay {
    std::size_t channel;  // in the channel table
    std::vector<Entry> entries;
};

struct Day {
    DateTime date;
    std::vector<ChannelDay> channels;
};

struct XmltvChannel {
    std::string name;
    std::string id;
    std::string desc;
    int programmes = 0;
};

// The first start of each channel (by listing name) of a day's list.
std::map<std::string, EntryStart> firstStarts(const ChannelList& channels, DateTime date) {
    std::map<std::string, EntryStart> first;
    for (int c = 0; c < channels.count(); ++c) {
        const Channel& channel = channels.items(c);
        if (channel.hide || channel.times.empty() || first.count(channel.name)) continue;
        first.emplace(channel.name, EntryStarts(channel, date).next(0));
    }
    return first;
}

}  // namespace

std::string xmlText(std::string_view ansi) { return escaped(ansiToUtf8(withoutControls(ansi))); }

std::string xmltvChannelId(std::string_view name) {
    std::string slug;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            slug += ch;
        else if (c >= 'A' && c <= 'Z')
            slug += static_cast<char>(c - 'A' + 'a');
        else if (const char* latin = transliterate(c))
            slug += latin;
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    if (slug.size() > kMaxSlug) slug.resize(kMaxSlug);
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    if (slug.empty()) slug = "channel";

    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : name) crc = crc32Step(static_cast<std::uint8_t>(c), crc);
    char hash[16];
    std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(crc ^ 0xFFFFFFFFu));
    return slug + "." + hash + ".orbisk";
}

int localUtcOffsetMinutes(DateTime date, int hour, int minute) {
    int y, m, d;
    decodeDate(date, y, m, d);
    std::tm wall{};
    wall.tm_year = y - 1900;
    wall.tm_mon = m - 1;
    wall.tm_mday = d;
    wall.tm_hour = hour;
    wall.tm_min = minute;
    // The wall-clock reading as if it were UTC; the moment it names is that
    // minus the offset in force at the moment itself.
    const std::time_t w = timegm(&wall);
    const long candidates[3] = {offsetAt(w - 86400), offsetAt(w), offsetAt(w + 86400)};
    std::optional<long> best;
    long smallest = candidates[0];
    for (long o : candidates) {
        smallest = std::min(smallest, o);
        // Of two readings, the larger offset is the earlier moment.
        if (offsetAt(w - o) == o && (!best || o > *best)) best = o;
    }
    const long seconds = best ? *best : smallest;
    return static_cast<int>(seconds / 60);
}

std::string xmltvTime(DateTime date, int hour, int minute) {
    int y, m, d;
    decodeDate(date, y, m, d);
    const int offset = localUtcOffsetMinutes(date, hour, minute);
    const int a = offset < 0 ? -offset : offset;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d00 %c%02d%02d", y, m, d, hour, minute, offset < 0 ? '-' : '+',
                  a / 60, a % 60);
    return buf;
}

XmltvResult exportXmltv(Viewer& viewer, const std::function<void(DateTime)>& showDay) {
    tzset();  // the zone in force now, should TZ have changed since the last look
    XmltvResult result;
    std::vector<XmltvChannel> channels;
    std::map<std::string, std::size_t> byName;  // listing name -> index in channels
    std::vector<Day> days;

    const Week* week = viewer.weeks().findWeek(viewer.shownDate());
    const DateTime nextMonday = week ? week->startDate + 7 : 0;

    result.weekFound = walkShownWeek(viewer, showDay, [&](DateTime date) {
        Day day{date, {}};
        const ChannelList& list = viewer.channels();
        for (int c = 0; c < list.count(); ++c) {
            const Channel& channel = list.items(c);
            if (channel.hide || channel.times.empty()) continue;
            const auto [it, added] = byName.emplace(channel.name, channels.size());
            if (added) {
                const bool noDesc = trimmed(withoutControls(channel.desc)).empty();
                channels.push_back({channel.name, xmltvChannelId(channel.name), noDesc ? channel.name : channel.desc, 0});
            }
            ChannelDay cd{it->second, {}};
            EntryStarts starts(channel, date);
            for (std::size_t i = 0; i < channel.times.size(); ++i) {
                const std::string& line = channel.lines[i];
                Entry e{starts.next(i), line.size() > kTitleStart ? trimmed(withoutControls(line.substr(kTitleStart)))
                                                                  : std::string{}};
                if (!e.title.empty()) ++channels[cd.channel].programmes;
                cd.entries.push_back(std::move(e));
            }
            day.channels.push_back(std::move(cd));
        }
        days.push_back(std::move(day));
    });

    // Sunday's last programmes end where the next week's Monday begins; that
    // day is read aside, without showing it.
    std::map<std::string, EntryStart> afterWeek;
    if (week && viewer.weeks().dayHasText(nextMonday)) {
        try {
            std::unique_ptr<ChannelList> next;
            parseDay(next, viewer.weeks(), nextMonday, viewer.settings());
            afterWeek = firstStarts(*next, nextMonday);
        } catch (const Error&) {
            afterWeek.clear();  // a spoilt day of another week costs stops, not the export
        }
    }

    // The first start of a channel on the day after days[d], if that day has text.
    const auto nextDayStart = [&](std::size_t d, const ChannelDay& cd) -> std::optional<EntryStart> {
        const DateTime tomorrow = days[d].date + 1;
        if (d + 1 < days.size() && days[d + 1].date == tomorrow) {
            for (const ChannelDay& other : days[d + 1].channels)
                if (other.channel == cd.channel) return other.entries.front().start;
            return std::nullopt;
        }
        if (tomorrow == nextMonday) {
            const auto found = afterWeek.find(channels[cd.channel].name);
            if (found != afterWeek.end()) return found->second;
        }
        return std::nullopt;
    };

    std::string& out = result.document;
    out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
          "<tv generator-info-name=\"Orbisk\">\n";
    for (const XmltvChannel& channel : channels) {
        if (channel.programmes == 0) continue;
        out += "  <channel id=\"" + channel.id + "\">\n    <display-name lang=\"ru\">" + xmlText(channel.desc) +
               "</display-name>\n  </channel>\n";
        ++result.channels;
    }
    for (std::size_t d = 0; d < days.size(); ++d) {
        for (const ChannelDay& cd : days[d].channels) {
            for (std::size_t i = 0; i < cd.entries.size(); ++i) {
                const Entry& e = cd.entries[i];
                if (e.title.empty()) continue;
                const std::optional<EntryStart> stop =
                    i + 1 < cd.entries.size() ? cd.entries[i + 1].start : nextDayStart(d, cd);
                out += "  <programme start=\"" + xmltvTime(e.start.date, e.start.hour, e.start.minute) + "\"";
                // A listing out of order gives no stop rather than one before the start.
                if (stop && before(e.start, *stop))
                    out += " stop=\"" + xmltvTime(stop->date, stop->hour, stop->minute) + "\"";
                out += " channel=\"" + channels[cd.channel].id + "\">\n    <title lang=\"ru\">" + xmlText(e.title) +
                       "</title>\n  </programme>\n";
                ++result.programmes;
            }
        }
    }
    out += "</tv>\n";
    return result;
}

void saveXmltv(const std::string& document, const std::string& path) {
    // Written aside and renamed over the target, so that a failed write
    // leaves an earlier export whole.
    const std::string part = path + ".part";
    int fd;
    do fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    bool ok = fd >= 0;
    std::size_t done = 0;
    while (ok && done < document.size()) {
        const ssize_t n = ::write(fd, document.data() + done, document.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (ok && ::rename(part.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        if (fd >= 0) ::unlink(part.c_str());
        throw Error(kCannotWriteText + utf8ToAnsi(path));
    }
}

}  // namespace orbisk
