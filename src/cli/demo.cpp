#include "cli/demo.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
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
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

template <std::size_t N>
constexpr int Count(const char* const (&)[N]) {
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
    {'N', kNewsTitles, Count(kNewsTitles), 15, 30},        {'M', kMorningTitles, Count(kMorningTitles), 60, 120},
    {'S', kSeriesTitles, Count(kSeriesTitles), 40, 60},    {'F', kFilmTitles, Count(kFilmTitles), 90, 150},
    {'C', kCartoonTitles, Count(kCartoonTitles), 10, 30},  {'H', kShowTitles, Count(kShowTitles), 45, 90},
    {'D', kDocTitles, Count(kDocTitles), 30, 60},          {'P', kSportTitles, Count(kSportTitles), 60, 120},
    {'U', kMusicTitles, Count(kMusicTitles), 30, 90},
};

const Kind& KindOf(char letter) {
    for (const auto& k : kKinds)
        if (k.letter == letter) return k;
    return kKinds[0];
}

int Band(int minutes) { return minutes < 9 * 60 ? 0 : minutes < 18 * 60 ? 1 : minutes < 23 * 60 ? 2 : 3; }

std::vector<Entry> ChannelDay(int channel, TDateTime date) {
    const DemoChannel& c = kDemoChannels[channel];
    Random random(static_cast<std::uint64_t>(static_cast<std::int64_t>(date)) * 131u + static_cast<unsigned>(channel));
    std::vector<Entry> day;
    int t = c.first;
    while (t < c.last) {
        const std::string kinds = c.bands[Band(t)];
        const Kind& kind = KindOf(kinds[static_cast<std::size_t>(random.Below(static_cast<int>(kinds.size())))]);
        int pick = random.Below(kind.count);
        if (!day.empty() && day.back().title == kind.titles[pick]) pick = (pick + 1) % kind.count;
        Entry e{t, kind.titles[pick], kind.letter == 'F' ? kFilmNotes[pick] : ""};
        day.push_back(std::move(e));
        t += kind.shortest + 5 * random.Below((kind.longest - kind.shortest) / 5 + 1);
    }
    // Every channel signs off after midnight, by 03:00 at the latest, well
    // inside the listing day.
    day.push_back({std::min(t, kLatestClosing), kClosingTitle, ""});
    return day;
}

std::string TimeText(int minutes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d", (minutes / 60) % 24, minutes % 60);
    return buf;
}

std::string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

// "<day name>. <day> <month>. <channel>"
std::string CaptionLine(TDateTime date, int channel) {
    int y, m, d;
    DecodeDate(date, y, m, d);
    return std::string(kDemoDays[DayOfWeek(date)]) + ". " + std::to_string(d) + " " + kDemoMonths[m] + ". " +
           kDemoChannels[channel].name;
}

// One day's caption blocks. In a message the note of a film stands on its own
// line, which the parser joins to the title; a text file has it on the line.
std::vector<std::string> DayBlocks(TDateTime date, bool notesOnOwnLine) {
    std::vector<std::string> lines;
    for (int ch = 0; ch < static_cast<int>(std::size(kDemoChannels)); ++ch) {
        lines.push_back(kFirstCaptionRow);
        lines.push_back(CaptionLine(date, ch));
        lines.push_back(kLastCaptionRow);
        for (const Entry& e : ChannelDay(ch, date)) {
            std::string line = TimeText(e.minutes) + " " + e.title;
            if (!e.note.empty() && !notesOnOwnLine) line += " " + e.note;
            lines.push_back(line);
            if (!e.note.empty() && notesOnOwnLine) lines.push_back(e.note);
        }
    }
    return lines;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) throw Error("Unable to write to " + path.string());
}

std::string DottedDate(TDateTime date) {
    int y, m, d;
    DecodeDate(date, y, m, d);
    return TwoDigits(d) + "." + TwoDigits(m);
}

void WriteTextFiles(const std::filesystem::path& folder, TDateTime monday) {
    for (int i = 0; i < 7; ++i) {
        std::string text = "[tv.all]";
        text += kCrLf;
        for (const auto& line : DayBlocks(monday + i, false)) text += line + kCrLf;
        text += kCrLf;  // the files end with a blank line, which the loader drops
        WriteBytes(folder / (std::to_string(i + 1) + ".txt"), AnsiToKoi8(text));
    }
}

class DemoArea {
public:
    explicit DemoArea(const std::string& folder) {
        if (!CreateAreaForIdentifier(area_, "F" + folder) || area_->CreateArea() != 0 || area_->OpenArea() != 0) {
            DestroyArea(area_);
            throw Error("Unable to write to " + folder);
        }
    }
    ~DemoArea() { CloseAreaAndFree(area_); }
    DemoArea(const DemoArea&) = delete;
    DemoArea& operator=(const DemoArea&) = delete;

    void Post(const std::string& from, const std::string& subject, TDateTime when,
              const std::vector<std::string>& body) {
        MessageArea& a = *area_;
        a.StartNewMessage();
        a.SetFromName(from);
        a.SetToName(kToAll);
        a.SetSubject(subject);
        a.SetDateTime(when);
        a.SetOrigAddress({2, 5020, 9999, 0});
        a.SetDestAddress({2, 5020, 0, 0});
        a.SetLocalFlag(true);
        char msgid[64];
        std::snprintf(msgid, sizeof msgid, "\x01MSGID: 2:5020/9999 %08x", static_cast<unsigned>(++serial_ * 7919u));
        a.WriteTextLine(msgid);
        for (const auto& line : body) a.WriteTextLine(line);
        a.WriteTextLine("--- Orbisk demo");
        a.WriteTextLine(kOrigin);
        a.WriteTextLine("SEEN-BY: 463/68 5000/111 5020/1 52 194 378 545 715 758 830 1042 1057");
        a.WriteTextLine("SEEN-BY: 5020/9999");
        a.WriteTextLine("\x01PATH: 5020/9999");
        if (a.SaveMessage() != 0) throw Error("Unable to write to " + subject);
    }

private:
    std::unique_ptr<MessageArea> area_;
    unsigned serial_ = 0;
};

template <std::size_t N>
std::vector<std::string> Lines(const char* const (&text)[N]) {
    return std::vector<std::string>(text, text + N);
}

void WriteMailing(const std::filesystem::path& folder, TDateTime monday) {
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
    const TDateTime posted = monday - 1 + 0.75;  // Sunday evening before the week
    area.Post(kModerator, kRulesSubject, posted - 6, Lines(kRulesText));
    const std::string range = DottedDate(monday) + "-" + DottedDate(monday + 6);
    char week[160], part[64];
    std::snprintf(week, sizeof week, kWeekLine, DottedDate(monday).c_str(), DottedDate(monday + 6).c_str());
    for (int n = 1; n <= 7; ++n) {
        const TDateTime day = monday + n - 1;
        int y, m, d;
        DecodeDate(day, y, m, d);
        std::snprintf(part, sizeof part, kPartLine, n);
        // Header lines of the mail, the dating line, then five lines that
        // MSG/DelFromBegin removes from every part after the first (the first
        // is cut to its first caption row), the day, and after it the
        // trailer lines that MSG/DelFromEnd removes.
        std::vector<std::string> body = {"From: tv@tvlist.example",
                                         std::string("Subject: ") + kEncodedSubject + " " + TwoDigits(d) + "." +
                                             TwoDigits(m) + "." + std::to_string(y),
                                         "Content-Type: text/plain; charset=koi8-r",
                                         "",
                                         week,
                                         part,
                                         ""};
        for (auto& line : DayBlocks(day, true)) body.push_back(std::move(line));
        area.Post(kListFrom, std::string(kMailingSubject) + range + " [" + std::to_string(n) + "/7]",
                  posted + n / 1440.0, body);
    }
    area.Post(kReader, kThanksSubject, posted + 0.1, Lines(kThanksText));
    area.Post(kReader, kQuestionSubject, posted + 0.2, Lines(kQuestionText));
}

std::string IniText(const std::string& fidoPath) {
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

std::string WriteDemo(const std::string& dir, TDateTime date, DemoFormat format) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root = fs::absolute(dir, ec);
    const TDateTime monday = DateOf(date) - (DayOfWeek(date) + 5) % 7;
    const fs::path data = root / (format == DemoFormat::Text ? "tv" : "echo");
    fs::create_directories(data, ec);
    if (!fs::is_directory(data)) throw Error("Unable to write to " + data.string());
    if (format == DemoFormat::Text)
        WriteTextFiles(data, monday);
    else
        WriteMailing(data, monday);
    const fs::path ini = root / "Orbisk.ini";
    WriteBytes(ini, IniText((format == DemoFormat::Text ? "I" : "F") + data.string()));
    return ini.string();
}

}  // namespace orbisk::cli
