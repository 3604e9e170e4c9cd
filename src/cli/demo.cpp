#include "cli/demo.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "msgbase/messagearea.h"

namespace orbisk::cli {

namespace {

#include "cli/demo_data.inc"

constexpr char kFirstCaptionRow[] = "======";
constexpr char kLastCaptionRow[] = "-----------------";
constexpr char kLastDayRow[] = "--=tobra-attach";
constexpr char kCrLf[] = "\r\n";
constexpr int kLatestClosing = 1440 + 3 * 60;
// "Телепрограмма" in KOI8-R, base64: the encoded subject of the mail that the
// mailing was made from.
constexpr char kEncodedSubject[] = "=?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?=";

// splitmix64: the same sequence on every platform and library.
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

private:
    std::uint64_t state_;
};

template <std::size_t N>
constexpr int count(const char* const (&)[N]) {
    return static_cast<int>(N);
}

struct Entry {
    int minutes;  // listing minutes: past 1440 after midnight
    std::string title;
    std::string note;  // a continuation line, or empty
};

struct Kind {
    char letter;
    const char* const* titles;
    int count;
    int shortest, longest;  // minutes
};

const Kind kKinds[] = {
    {'N', kNewsTitles, count(kNewsTitles), 15, 30},       {'M', kMorningTitles, count(kMorningTitles), 60, 120},
    {'S', kSeriesTitles, count(kSeriesTitles), 40, 60},   {'F', kFilmTitles, count(kFilmTitles), 90, 150},
    {'C', kCartoonTitles, count(kCartoonTitles), 10, 30}, {'H', kShowTitles, count(kShowTitles), 45, 90},
    {'D', kDocTitles, count(kDocTitles), 30, 60},         {'P', kSportTitles, count(kSportTitles), 60, 120},
    {'U', kMusicTitles, count(kMusicTitles), 30, 90},
};

const Kind& kindOf(char letter) {
    for (const auto& k : kKinds)
        if (k.letter == letter) return k;
    return kKinds[0];
}

int band(int minutes) {
    return minutes < 9 * 60 ? 0 : minutes < 18 * 60 ? 1 : minutes < 23 * 60 ? 2 : 3;
}

std::vector<Entry> channelDay(int channel, DateTime date) {
    const DemoChannel& c = kDemoChannels[channel];
    Random random(static_cast<std::uint64_t>(static_cast<std::int64_t>(date)) * 131u + static_cast<unsigned>(channel));
    std::vector<Entry> day;
    int t = c.first;
    while (t < c.last) {
        const std::string kinds = c.bands[band(t)];
        const Kind& kind = kindOf(kinds[static_cast<std::size_t>(random.below(static_cast<int>(kinds.size())))]);
        int pick = random.below(kind.count);
        if (!day.empty() && day.back().title == kind.titles[pick]) pick = (pick + 1) % kind.count;
        Entry e{t, kind.titles[pick], kind.letter == 'F' ? kFilmNotes[pick] : ""};
        day.push_back(std::move(e));
        t += kind.shortest + 5 * random.below((kind.longest - kind.shortest) / 5 + 1);
    }
    // Every channel signs off after midnight, by 03:00 at the latest, well
    // inside the listing day.
    day.push_back({std::min(t, kLatestClosing), kClosingTitle, ""});
    return day;
}

std::string timeText(int minutes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d", (minutes / 60) % 24, minutes % 60);
    return buf;
}

std::string twoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

// "<day name>. <day> <month>. <channel>"
std::string captionLine(DateTime date, int channel) {
    int y, m, d;
    decodeDate(date, y, m, d);
    return std::string(kDemoDays[dayOfWeek(date)]) + ". " + std::to_string(d) + " " + kDemoMonths[m] + ". " +
           kDemoChannels[channel].name;
}

// One day's caption blocks. In a message the note of a film stands on its own
// line, which the parser joins to the title; a text file has it on the line.
std::vector<std::string> dayBlocks(DateTime date, bool notesOnOwnLine) {
    std::vector<std::string> lines;
    for (int ch = 0; ch < static_cast<int>(std::size(kDemoChannels)); ++ch) {
        lines.push_back(kFirstCaptionRow);
        lines.push_back(captionLine(date, ch));
        lines.push_back(kLastCaptionRow);
        for (const Entry& e : channelDay(ch, date)) {
            std::string line = timeText(e.minutes) + " " + e.title;
            if (!e.note.empty() && !notesOnOwnLine) line += " " + e.note;
            lines.push_back(line);
            if (!e.note.empty() && notesOnOwnLine) lines.push_back(e.note);
        }
    }
    return lines;
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) throw Error("Unable to write to " + path.string());
}

std::string dottedDate(DateTime date) {
    int y, m, d;
    decodeDate(date, y, m, d);
    return twoDigits(d) + "." + twoDigits(m);
}

void writeTextFiles(const std::filesystem::path& folder, DateTime monday) {
    for (int i = 0; i < 7; ++i) {
        std::string text = "[tv.all]";
        text += kCrLf;
        for (const auto& line : dayBlocks(monday + i, false)) text += line + kCrLf;
        text += kCrLf;  // the files end with a blank line, which the loader drops
        writeBytes(folder / (std::to_string(i + 1) + ".txt"), ansiToKoi8(text));
    }
}

class DemoArea {
public:
    explicit DemoArea(const std::string& folder) {
        if (!createAreaForIdentifier(area_, "F" + folder) || area_->createArea() != 0 || area_->openArea() != 0) {
            destroyArea(area_);
            throw Error("Unable to write to " + folder);
        }
    }
    ~DemoArea() { closeAreaAndFree(area_); }
    DemoArea(const DemoArea&) = delete;
    DemoArea& operator=(const DemoArea&) = delete;

    void post(const std::string& from, const std::string& subject, DateTime when,
              const std::vector<std::string>& body) {
        MessageArea& a = *area_;
        a.startNewMessage();
        a.setFromName(from);
        a.setToName(kToAll);
        a.setSubject(subject);
        a.setDateTime(when);
        a.setOrigAddress({2, 5020, 9999, 0});
        a.setDestAddress({2, 5020, 0, 0});
        a.setLocalFlag(true);
        char msgid[64];
        std::snprintf(msgid, sizeof msgid, "\x01MSGID: 2:5020/9999 %08x", static_cast<unsigned>(++serial_ * 7919u));
        a.writeTextLine(msgid);
        for (const auto& line : body) a.writeTextLine(line);
        a.writeTextLine("--- Orbisk demo");
        a.writeTextLine(kOrigin);
        a.writeTextLine("SEEN-BY: 463/68 5000/111 5020/1 52 194 378 545 715 758 830 1042 1057");
        a.writeTextLine("SEEN-BY: 5020/9999");
        a.writeTextLine("\x01PATH: 5020/9999");
        if (a.saveMessage() != 0) throw Error("Unable to write to " + subject);
    }

private:
    std::unique_ptr<MessageArea> area_;
    unsigned serial_ = 0;
};

template <std::size_t N>
std::vector<std::string> lines(const char* const (&text)[N]) {
    return std::vector<std::string>(text, text + N);
}

void writeMailing(const std::filesystem::path& folder, DateTime monday) {
    // Earlier demo messages would mix with this week's: the demo owns the area.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto dot = name.find('.');
        if (dot == 0 || dot == std::string::npos || name.find_first_not_of("0123456789") != dot) continue;
        std::string ext = name.substr(dot);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".msg") std::filesystem::remove(it->path(), ec);
    }

    DemoArea area(folder.string());
    const DateTime posted = monday - 1 + 0.75;  // Sunday evening before the week
    area.post(kModerator, kRulesSubject, posted - 6, lines(kRulesText));
    const std::string range = dottedDate(monday) + "-" + dottedDate(monday + 6);
    char week[160], part[64];
    std::snprintf(week, sizeof week, kWeekLine, dottedDate(monday).c_str(), dottedDate(monday + 6).c_str());
    for (int n = 1; n <= 7; ++n) {
        const DateTime day = monday + n - 1;
        int y, m, d;
        decodeDate(day, y, m, d);
        std::snprintf(part, sizeof part, kPartLine, n);
        // Header lines of the mail, the dating line, then five lines that
        // MSG/delFromBegin removes from every part after the first (the first
        // is cut to its first caption row), the day, and after it the
        // trailer lines that MSG/delFromEnd removes.
        std::vector<std::string> body = {"From: tv@tvlist.example",
                                         std::string("Subject: ") + kEncodedSubject + " " + twoDigits(d) + "." +
                                             twoDigits(m) + "." + std::to_string(y),
                                         "Content-Type: text/plain; charset=koi8-r",
                                         "",
                                         week,
                                         part,
                                         ""};
        for (auto& line : dayBlocks(day, true)) body.push_back(std::move(line));
        area.post(kListFrom, std::string(kMailingSubject) + range + " [" + std::to_string(n) + "/7]",
                  posted + n / 1440.0, body);
    }
    area.post(kReader, kThanksSubject, posted + 0.1, lines(kThanksText));
    area.post(kReader, kQuestionSubject, posted + 0.2, lines(kQuestionText));
}

std::string iniText(const std::string& fidoPath) {
    std::string ini;
    auto line = [&](const std::string& s) { ini += s + kCrLf; };
    line("[MAIN]");
    line("FIDOPath=" + fidoPath);
    line("EnableWarning=1");
    line("[DAYS]");
    for (int i = 1; i <= 7; ++i) line(std::to_string(i) + "=" + kDemoDays[i]);
    line("[MONTHS]");
    for (int i = 1; i <= 12; ++i) line(std::to_string(i) + "=" + kDemoMonths[i]);
    line("[MSG]");
    line("DelFromBegin=5");
    // The SEEN-BY lines are skipped as kludges, but the last one reads the
    // ^APATH line that ends the text: it goes with the origin and tearline.
    line("DelFromEnd=3");
    line(std::string("FirstCaptionRow=") + kFirstCaptionRow);
    line(std::string("LastCaptionRow=") + kLastCaptionRow);
    line(std::string("LastDayRow=") + kLastDayRow);
    line("TimeFormat=HH.MM");
    line("[Kludges]");
    line("Count=1");
    line("1=SEEN-BY");
    return ini;
}

}  // namespace

std::string writeDemo(const std::string& dir, DateTime date, DemoFormat format) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root = fs::absolute(dir, ec);
    const DateTime monday = dateOf(date) - (dayOfWeek(date) + 5) % 7;
    const fs::path data = root / (format == DemoFormat::Text ? "tv" : "echo");
    fs::create_directories(data, ec);
    if (!fs::is_directory(data)) throw Error("Unable to write to " + data.string());
    if (format == DemoFormat::Text)
        writeTextFiles(data, monday);
    else
        writeMailing(data, monday);
    const fs::path ini = root / "Orbisk.ini";
    writeBytes(ini, iniText((format == DemoFormat::Text ? "I" : "F") + data.string()));
    return ini.string();
}

}  // namespace orbisk::cli
