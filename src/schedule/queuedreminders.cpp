#include "schedule/queuedreminders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "base/codepage.h"
#include "base/cp1251.h"

namespace orbisk {

namespace {

constexpr const char* kQueueUnreadableText = "Не удалось прочитать очередь заданий"_cp1251;
constexpr const char* kNoSuchReminderText = "В расписании нет напоминания с номером "_cp1251;
constexpr const char* kNotRemovedText = "Не удалось удалить напоминание "_cp1251;

std::string oneLine(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

std::string isoMoment(DateTime moment) {
    int h, mi, s, ms;
    decodeTime(moment + 0.5 / 86400.0, h, mi, s, ms);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", h, mi);
    return isoDate(dateOf(moment + 0.5 / 86400.0)) + ' ' + text;
}

// No job of `at` runs before 1970; earlier years would also be dates before
// the zero of DateTime, whose fractions do not read as times of day.
constexpr int kFirstYear = 1970;

bool readDate(std::string_view text, DateTime& date) {
    int y, m, d;
    char tail;
    const std::string s(text);
    return std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 && y >= kFirstYear &&
           tryEncodeDate(y, m, d, date);
}

bool readMoment(std::string_view text, DateTime& moment) {
    int y, m, d, h, mi;
    char tail;
    const std::string s(text);
    DateTime date, time;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &m, &d, &h, &mi, &tail) != 5 || y < kFirstYear)
        return false;
    if (!tryEncodeDate(y, m, d, date) || !tryEncodeTime(h, mi, 0, 0, time)) return false;
    moment = date + time;
    return true;
}

// The job numbers of `at -l` ("12<TAB>Wed Dec  9 21:15:00 2026 a user"),
// those of running jobs (queue "=") left out.
std::vector<int> waitingJobs(const std::string& list) {
    std::vector<int> ids;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        char* end = nullptr;
        const long id = std::strtol(line.c_str(), &end, 10);
        if (end == line.c_str() || id <= 0 || *end != '\t') continue;
        std::istringstream words(line.substr(static_cast<std::size_t>(end - line.c_str())));
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.size() >= 2 && w[w.size() - 2] == "=") continue;
        ids.push_back(static_cast<int>(id));
    }
    return ids;
}

}  // namespace

bool ReminderTag::sameShowing(const ReminderTag& other) const {
    return day == other.day && time == other.time && channel == other.channel && title == other.title;
}

std::string reminderTagValue(const ReminderTag& tag) {
    return isoDate(tag.day) + '\t' + ansiToUtf8(oneLine(tag.time)) + '\t' + ansiToUtf8(oneLine(tag.channel)) + '\t' +
           ansiToUtf8(oneLine(tag.title)) + '\t' + isoMoment(tag.runs);
}

std::optional<ReminderTag> parseReminderTag(std::string_view value) {
    std::vector<std::string_view> fields;
    for (std::size_t pos = 0;;) {
        const std::size_t tab = value.find('\t', pos);
        fields.push_back(value.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) break;
        pos = tab + 1;
    }
    ReminderTag tag;
    if (fields.size() != 5 || !readDate(fields[0], tag.day) || !readMoment(fields[4], tag.runs)) return std::nullopt;
    tag.time = utf8ToAnsi(fields[1]);
    tag.channel = utf8ToAnsi(fields[2]);
    tag.title = utf8ToAnsi(fields[3]);
    return tag;
}

std::optional<ReminderTag> tagOfJobText(std::string_view jobText) {
    const std::string prefix = std::string("#") + kReminderTagVariable + "=";
    for (std::size_t pos = 0; pos < jobText.size();) {
        std::size_t end = jobText.find('\n', pos);
        if (end == std::string_view::npos) end = jobText.size();
        const std::string_view line = jobText.substr(pos, end - pos);
        if (line.substr(0, prefix.size()) == prefix) return parseReminderTag(line.substr(prefix.size()));
        pos = end + 1;
    }
    return std::nullopt;
}

ReminderTagScope::ReminderTagScope(const ReminderTag& tag) {
    ::setenv(kReminderTagVariable, reminderTagValue(tag).c_str(), 1);
}

ReminderTagScope::~ReminderTagScope() {
    ::unsetenv(kReminderTagVariable);
}

QueueReading readQueuedReminders(const AtTools& tools) {
    QueueReading reading;
    std::string list;
    // The C locale keeps the list in the form read above whatever the user's.
    if (runProgram("env", {"LC_ALL=C", tools.at, "-l"}, "", list) != 0) {
        reading.error = std::string(kQueueUnreadableText) + ": " + utf8ToAnsi(oneLine(list));
        return reading;
    }
    for (const int id : waitingJobs(list)) {
        std::string job;
        // A job that ran or was removed since the list was read is simply gone.
        if (runProgram(tools.at, {"-c", std::to_string(id)}, "", job) != 0) continue;
        if (auto tag = tagOfJobText(job)) reading.reminders.push_back({id, std::move(*tag)});
    }
    std::stable_sort(reading.reminders.begin(), reading.reminders.end(),
                     [](const QueuedReminder& a, const QueuedReminder& b) { return a.tag.runs < b.tag.runs; });
    reading.ok = true;
    return reading;
}

bool cancelQueuedReminder(int id, std::string& error, const AtTools& tools) {
    const QueueReading reading = readQueuedReminders(tools);
    if (!reading.ok) {
        error = reading.error;
        return false;
    }
    const bool ours = std::any_of(reading.reminders.begin(), reading.reminders.end(),
                                  [id](const QueuedReminder& r) { return r.id == id; });
    if (!ours) {
        error = kNoSuchReminderText + std::to_string(id);
        return false;
    }
    std::string output;
    if (runProgram(tools.atrm, {std::to_string(id)}, "", output) != 0) {
        error = kNotRemovedText + std::to_string(id) + ": " + utf8ToAnsi(oneLine(output));
        return false;
    }
    return true;
}

}  // namespace orbisk
