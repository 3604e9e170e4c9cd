#pragma once
// A live TV echo area, as people really fill it, for tests that load one:
// several weeks of mailings (parts missing, parts resent, whole mailings
// posted twice by two gateways, a part that carries two days split by the
// LastDayRow marker) among chat with brackets and slashes in its subjects,
// replies that quote listing and dating lines, empty and kludge-only
// messages and text in other code pages. The generator keeps what it wrote:
// which days have a listing and with which channels, and what becomes of
// every message. writeEcho puts the messages into an area of any kind
// through that kind's own write side.
//
// Layout of a listing part (what the default MSG settings cut it by, with
// DelFromEnd 3 and "SEEN-BY" as kludge):
//   ^AMSGID, "From: …", the dating line "Subject: =?koi8-r?B?…?= DD.MM.YYYY",
//   five header lines (DelFromBegin), the caption blocks of its day(s),
//   tearline, origin, SEEN-BY, ^APATH.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "msgbase/messagearea.h"
#include "support/listing_names.h"

namespace orbisk::test {

// What a load must make of a message.
enum class EchoFate {
    listing,  // filed under the week its dating line names
    undated,  // a listing subject without a valid dating line: left out
    other,    // no listing subject: among the other messages
};

struct EchoMessage {
    std::string from;
    std::string subject;  // Windows-1251, at most 71 bytes
    DateTime written = 0;
    std::vector<std::string> lines;  // Windows-1251; "\x01…" lines are kludges
    EchoFate fate = EchoFate::other;
};

struct GeneratedEcho {
    std::vector<EchoMessage> messages;  // in posting order
    // Every day that has its listing in some posted part: its channels.
    std::map<int, std::set<std::string>> days;  // key: the date as a day number
    DateTime firstMonday = 0;
    int weeks = 0;

    int count(EchoFate fate) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [fate](const EchoMessage& m) { return m.fate == fate; }));
    }
};

// The MSG settings the listing parts are laid out for.
inline constexpr int kEchoDelFromBegin = 5;
inline constexpr int kEchoDelFromEnd = 3;

namespace echo_detail {

// splitmix64: the same area on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

inline const char* const kChannels[] = {
    "Первый канал"_cp1251, "Россия"_cp1251, "НТВ"_cp1251,      "СТС"_cp1251,
    "ТНТ"_cp1251,          "Культура"_cp1251, "Рен ТВ"_cp1251, "Пятый канал"_cp1251,
};
inline const char* const kTitles[] = {
    "Новости"_cp1251,  "Время"_cp1251,        "Т/с \"След\""_cp1251, "Х/ф \"Гараж\""_cp1251,
    "Погода"_cp1251,   "М/ф \"Ну, погоди!\""_cp1251, "Футбол. Обзор [повтор]"_cp1251, "Ток-шоу 1/2"_cp1251,
};
// "Телепрограмма" in KOI8-R, base64: the subject of the mail the mailing was made from.
inline constexpr char kEncodedSubject[] = "=?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?=";

inline std::string twoDigits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n % 100);
    return buf;
}

inline std::string dotted(DateTime date) {
    int y, m, d;
    decodeDate(date, y, m, d);
    return twoDigits(d) + "." + twoDigits(m);
}

inline std::string datingLine(DateTime date) {
    int y, m, d;
    decodeDate(date, y, m, d);
    return std::string("Subject: ") + kEncodedSubject + " " + dotted(date) + "." + std::to_string(y);
}

// One day's caption blocks; `channels` gets the names used.
inline std::vector<std::string> dayBlocks(DateTime date, Random& random, std::set<std::string>& channels) {
    int y, m, d;
    decodeDate(date, y, m, d);
    std::vector<std::string> lines;
    const int first = random.below(8);
    const int count = 3 + random.below(4);
    for (int c = 0; c < count; ++c) {
        const std::string name = kChannels[(first + c) % 8];
        channels.insert(name);
        lines.push_back("======");
        lines.push_back(std::string(kDayNames[dayOfWeek(date)]) + ". " + std::to_string(d) + " " + kMonthNames[m] +
                        ". " + name);
        lines.push_back("-----------------");
        int minutes = 6 * 60 + 5 * random.below(12);
        for (int p = 0, programmes = 4 + random.below(8); p < programmes; ++p) {
            lines.push_back(twoDigits(minutes / 60 % 24) + "." + twoDigits(minutes % 60) + " " + kTitles[random.below(8)]);
            if (random.chance(15)) lines.push_back("(продолжение)"_cp1251);
            minutes += 30 + 5 * random.below(24);
        }
    }
    return lines;
}

inline std::vector<std::string> trailer(const std::string& origin) {
    return {"--- GoldED+/LNX 1.1.5", " * Origin: " + origin + " (2:5020/1)", "SEEN-BY: 5020/1 9999",
            "\x01PATH: 5020/1"};
}

}  // namespace echo_detail

// `weeks` weeks from the Monday `firstMonday`; the same seed gives the same
// area. Each week's mailing takes one of five shapes in turn (whole; a part
// missing and another resent; posted by two gateways; first part missing and
// the last part carrying Saturday and Sunday; only its first three parts).
inline GeneratedEcho generateEcho(std::uint64_t seed, DateTime firstMonday, int weeks) {
    using namespace echo_detail;
    Random random(seed);
    GeneratedEcho echo;
    echo.firstMonday = firstMonday;
    echo.weeks = weeks;
    std::uint32_t serial = static_cast<std::uint32_t>(seed * 7919u);
    auto post = [&](const std::string& from, const std::string& subject, DateTime when,
                    std::vector<std::string> body, EchoFate fate) {
        char msgid[48];
        std::snprintf(msgid, sizeof msgid, "\x01MSGID: 2:5020/1 %08x", ++serial);
        if (!body.empty()) body.insert(body.begin(), msgid);
        echo.messages.push_back({from, subject, when, std::move(body), fate});
    };
    const std::string tvList = "TV List", gateway = "TV Gate";

    for (int w = 0; w < weeks; ++w) {
        const DateTime monday = firstMonday + 7 * w;
        const DateTime posted = monday - 1 + 0.75;  // Sunday evening before
        const int shape = static_cast<int>((seed + static_cast<std::uint64_t>(w)) % 5);
        const std::string range = dotted(monday) + "-" + dotted(monday + 6);
        // Parts: the days each carries (the last may carry two).
        std::vector<std::vector<int>> parts;
        for (int d = 0; d < 7; ++d) parts.push_back({d});
        if (shape == 3) {
            parts.pop_back();
            parts.back().push_back(6);
        }
        const int total = static_cast<int>(parts.size());
        std::vector<std::vector<std::string>> bodies;
        for (int n = 1; n <= total; ++n) {
            const std::vector<int>& days = parts[static_cast<std::size_t>(n - 1)];
            std::vector<std::string> body = {"From: tv@tvlist.example", datingLine(monday + days[0]),
                                             "Content-Type: text/plain; charset=koi8-r", "",
                                             "Программа на неделю "_cp1251 + range,
                                             "Часть "_cp1251 + std::to_string(n) + " из "_cp1251 + std::to_string(total),
                                             ""};
            for (std::size_t k = 0; k < days.size(); ++k) {
                if (k > 0) {
                    body.push_back("--=tobra-attach");
                    body.push_back("Content-Disposition: inline");
                }
                for (auto& l : dayBlocks(monday + days[k], random, echo.days[static_cast<int>(monday) + days[k]]))
                    body.push_back(std::move(l));
            }
            for (auto& l : trailer("TV list gateway")) body.push_back(std::move(l));
            bodies.push_back(std::move(body));
        }
        std::set<int> missing;
        if (shape == 1) missing.insert(2 + random.below(5));
        if (shape == 3) missing.insert(1);
        if (shape == 4)
            for (int n = 4; n <= total; ++n) missing.insert(n);
        for (int n : missing)
            for (int d : parts[static_cast<std::size_t>(n - 1)]) echo.days.erase(static_cast<int>(monday) + d);

        auto subject = [&](int n) { return "Телепрограмма "_cp1251 + range + " [" + std::to_string(n) + "/" + std::to_string(total) + "]"; };
        for (int n = 1; n <= total; ++n) {
            if (missing.count(n)) continue;
            const std::vector<std::string>& body = bodies[static_cast<std::size_t>(n - 1)];
            post(tvList, subject(n), posted + n / 1440.0, body, EchoFate::listing);
            if (shape == 2) post(gateway, subject(n), posted + 0.3 - n / 1440.0, body, EchoFate::listing);
        }
        if (shape == 1) {
            int again = 1 + random.below(total);
            while (missing.count(again)) again = again % total + 1;
            post(tvList, subject(again) + " повтор"_cp1251, monday + 2.4, bodies[static_cast<std::size_t>(again - 1)],
                 EchoFate::listing);
        }

        // A reply to a part: quotes its dating line and some listing lines.
        int replied = 1 + random.below(total);
        while (missing.count(replied)) replied = replied % total + 1;
        const std::vector<std::string>& quoted = bodies[static_cast<std::size_t>(replied - 1)];
        std::vector<std::string> reply = {"Hello TV!", "", " TL> " + quoted[1]};
        for (std::size_t i = 7; i < std::min<std::size_t>(quoted.size(), 13); ++i) reply.push_back(" TL> " + quoted[i]);
        reply.insert(reply.end(), {"", "А почему футбол в записи?"_cp1251, ""});
        for (auto& l : trailer("Point of view")) reply.push_back(std::move(l));
        post("Vasya Pupkin", "Re: "_cp1251 + subject(replied), monday + 0.5 + random.below(4), reply,
             EchoFate::listing);

        // A reply whose quoted dating line names a day that does not exist.
        post("Petya", "Re: Телепрограмма [2/7]"_cp1251, monday + 1.6,
             {"Это что за дата?"_cp1251, " P> Subject: " + std::string(kEncodedSubject) + " 29.02.2027", "",
              "--- ", " * Origin: ? (2:5020/2)"},
             EchoFate::undated);

        // Chat that brackets and slashes make look like a listing.
        const struct {
            const char* subject;
            EchoFate fate;
        } chat[] = {
            {"[OT] СТС/ТНТ"_cp1251, EchoFate::other},
            {"Re: НТВ/ОРТ [фото]"_cp1251, EchoFate::other},
            {"Re[2]: Фильмы/сериалы"_cp1251, EchoFate::other},
            {"1/2 часа [шутка]"_cp1251, EchoFate::other},
            {"ТВ. Программа [1/7]"_cp1251, EchoFate::other},
            {"TV [$1/7]", EchoFate::other},
            {"TV [0x1/7]", EchoFate::other},
            {"[1/2] обсуждение"_cp1251, EchoFate::undated},
        };
        for (int c = 0, n = 2 + random.below(3); c < n; ++c) {
            const auto& pick = chat[random.below(8)];
            std::vector<std::string> body = {"Привет всем!"_cp1251, "Кто смотрел вчера 1/2 финала [ТНТ]?"_cp1251,
                                             " AB> 19.30 Х/ф \"Гараж\""_cp1251, ""};
            for (auto& l : trailer("Chat station")) body.push_back(std::move(l));
            post("Ivan Ivanov", pick.subject, monday + 1 + 0.1 * c + random.below(5), body, pick.fate);
        }
        // Empty, kludge-only and other code pages.
        post("Nobody", "", monday + 3.1, {}, EchoFate::other);
        post("Robot", "Телепрограмма [1/1]"_cp1251, monday + 3.2,
             {"\x01PID: robot 1.0", "\x01REPLY: 2:5020/1 12345678", "SEEN-BY: 5020/1"}, EchoFate::undated);
        post("Robot", "ping", monday + 3.3, {"\x01PID: robot 1.0", "SEEN-BY: 5020/1"}, EchoFate::other);
        post("Koi User", ansiToKoi8("[OT] Кино/музыка"_cp1251), monday + 4.2,
             {ansiToKoi8("Текст в KOI8-R: 20.00 Новости"_cp1251), "", "--- ", " * Origin: koi (2:5020/3)"},
             EchoFate::other);
        post("Utf User", "Re: utf-8", monday + 4.3,
             {ansiToUtf8("Текст в UTF-8 [1/2]"_cp1251), ansiToUtf8(datingLine(monday).substr(9)), std::string(400, 'x')},
             EchoFate::other);
    }
    std::stable_sort(echo.messages.begin(), echo.messages.end(),
                     [](const EchoMessage& a, const EchoMessage& b) { return a.written < b.written; });
    return echo;
}

// A new area (identifier as MAIN/FIDOPath holds it) with the messages, in
// order, through the kind's own write side. Throws std::runtime_error when
// the kind refuses.
inline void writeEcho(const std::string& identifier, const std::vector<EchoMessage>& messages) {
    std::unique_ptr<MessageArea> area;
    if (!createAreaForIdentifier(area, identifier) || area->createArea() != 0 || area->openArea() != 0 ||
        !area->lockArea())
        throw std::runtime_error("cannot create " + identifier);
    for (const EchoMessage& m : messages) {
        area->startNewMessage();
        area->setFromName(m.from);
        area->setToName("All");
        area->setSubject(m.subject);
        area->setDateTime(m.written);
        area->setOrigAddress({2, 5020, 1, 0});
        area->setDestAddress({2, 5020, 0, 0});
        area->setMailKind(1);
        for (const std::string& line : m.lines) {
            if (!line.empty() && line[0] == '\x01')
                area->writeKludgeLine(line);
            else
                area->writeTextLine(line);
        }
        if (area->saveMessage() != 0) throw std::runtime_error("cannot save \"" + m.subject + "\" in " + identifier);
    }
    if (!area->unlockArea() || !closeAreaAndFree(area)) throw std::runtime_error("cannot close " + identifier);
}

}  // namespace orbisk::test
