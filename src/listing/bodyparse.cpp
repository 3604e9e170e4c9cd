#include "listing/bodyparse.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "config/config.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/strings.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "listing/channellist.h"
#include "listing/subject.h"

namespace orbisk {

const char* const kStructureWarningCaption = "Ошибка рассылки"_cp1251;
// The misspelling "рассырки" is part of the text as users know it; it stays.
const char* const kStructureWarningText =
    "Нарушение в структуре рассырки. Некоторых заявленных сообщений не хватает. "
    "Часть информации не будет отображена"_cp1251;

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// text.find(needle) through memmem: a mark that opens with CR LF would have
// find compare at every line of a listing.
std::size_t findMark(std::string_view text, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > text.size()) return std::string_view::npos;  // and an empty text's data may be null
    const void* at = ::memmem(text.data(), text.size(), needle.data(), needle.size());
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text.data()) : std::string_view::npos;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlankOrControl(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlankOrControl(s.back())) s.remove_suffix(1);
    return s;
}

std::size_t clampedCount(int count, std::size_t size) {
    return std::min<std::size_t>(size, static_cast<std::size_t>(std::max(count, 0)));
}

}  // namespace

void StructureWarning::raise() {
    ++raised_;
    if (shown_ || !enabled_) return;
    notifier_.show(kStructureWarningText, kStructureWarningCaption, MsgIcon::Warning);
    shown_ = true;
}

StringList splitLines(std::string_view text) {
    StringList lines;
    forEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// ---- Building a week's days ------------------------------------------------

void Week::buildDays(const DayLayout& layout, StructureWarning* warning) {
    while (days.size() < 7) days.emplace_back();
    // Only descriptors that still hold their lines take part, so a second
    // call neither repeats text nor raises the warning again.
    if (std::none_of(messages.begin(), messages.end(), [](const ListingMessage& m) { return m.lines.has_value(); })) return;
    std::stable_sort(messages.begin(), messages.end(),
                     [](const ListingMessage& a, const ListingMessage& b) { return a.partNo < b.partNo; });

    int day = 0;
    std::int64_t prev = messages.front().partNo;
    const BodyLines none;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        ListingMessage& msg = messages[k];
        const BodyLines& lines = msg.lines ? *msg.lines : none;
        // The days keep pieces of this text, not copies of its lines.
        const DayLines::SharedText text = msg.lines ? msg.lines->share() : nullptr;
        // The lines that take part, [from, to), cut from the message's text
        // without copying it.
        std::size_t from = 0, to = lines.size();
        bool inSequence;
        if (k == 0) {
            while (from < to && !startsWith(lines[from], layout.firstCaptionRow)) ++from;
            if (!fromFiles) to -= clampedCount(layout.delFromEnd, to - from);
            inSequence = msg.partNo == 1;
        } else {
            inSequence = static_cast<std::int64_t>(msg.partNo) == prev + 1;
            if (!fromFiles) {
                if (inSequence) from = clampedCount(layout.delFromBegin, to);
                to -= clampedCount(layout.delFromEnd, to - from);
            }
        }
        const bool goOn = distributeText(text, lines.joined(from, to), inSequence, day, layout, warning);
        msg.lines.reset();
        if (k > 0 && !goOn) break;
        prev = msg.partNo;
    }
    // Messages after a stop are not distributed; their text goes as well.
    for (auto& msg : messages) msg.lines.reset();
}

bool Week::distributeText(const DayLines::SharedText& owner, std::string_view text, bool inSequence, int& day,
                          const DayLayout& layout, StructureWarning* warning) {
    while (days.size() < 7) days.emplace_back();
    const std::string captionMark = std::string(kCrLf) + layout.firstCaptionRow;

    if (!inSequence) {
        if (warning) warning->raise();
        // Text before the first caption row is lost; a text that begins with
        // one (the first message, cut to it, and every text file) keeps its
        // first block rather than losing it to the search for a line break.
        if (!startsWith(text, layout.firstCaptionRow)) {
            const auto caption = findMark(text, captionMark);
            if (caption == std::string::npos) return true;
            text.remove_prefix(caption + kCrLf.size());
        }
        // The caption line names the day: "<day name>. <day> <month> ..."
        const auto lineBreak = text.find(kCrLf);
        if (lineBreak != std::string::npos) {
            const auto from = lineBreak + kCrLf.size();
            const auto dot = text.find('.', from);
            const std::string_view dayName =
                dot == std::string::npos ? std::string_view{} : trim(text.substr(from, dot - from));
            for (int i = 1; i <= 7 && !dayName.empty(); ++i) {
                if (ansiSameText(dayName, layout.days[i])) {
                    day = i == 1 ? 6 : i - 2;
                    break;
                }
            }
        }
    }

    if (day < 0 || day >= 7) return false;
    const auto marker = findMark(text, std::string(kCrLf) + layout.lastDayRow);
    if (marker == std::string::npos) {
        days[static_cast<std::size_t>(day)].append(owner, text);
    } else {
        days[static_cast<std::size_t>(day)].append(owner, text.substr(0, marker));
        if (day == 6) return false;
        const std::string_view rest = text.substr(marker);
        const auto caption = findMark(rest, captionMark);
        ++day;
        // Without a caption row after the marker the next day starts with an
        // empty line and the marker line itself.
        DayLines& next = days[static_cast<std::size_t>(day)];
        next = DayLines();
        next.append(owner, caption == std::string_view::npos ? rest.substr(1) : rest.substr(caption + kCrLf.size()));
    }
    ++day;
    return true;
}

DayLayout layoutFromConfig(const Config& config) {
    DayLayout layout;
    layout.firstCaptionRow = config.firstCaptionRow();
    layout.lastDayRow = config.lastDayRow();
    layout.delFromBegin = config.delFromBegin();
    layout.delFromEnd = config.delFromEnd();
    layout.days = config.days();
    return layout;
}

// ---- Parsing a day -----------------------------------------------------------

void parseDay(std::unique_ptr<ChannelList>& channels, const WeekIndex& weeks, DateTime date, Config& config) {
    channels.reset();
    channels = std::make_unique<ChannelList>(config);
    const Week* week = weeks.findWeek(date);
    const DayLines* day = week ? week->getDay(date) : nullptr;
    parseDayText(*channels, day ? *day : DayLines{}, week && week->fromFiles, config.firstCaptionRow());
}

void parseDayText(ChannelList& channels, const StringList& day, bool fromFiles, std::string_view firstCaptionRow) {
    parseDayLines(channels, std::vector<std::string_view>(day.begin(), day.end()), fromFiles, firstCaptionRow);
}

void parseDayText(ChannelList& channels, const DayLines& day, bool fromFiles, std::string_view firstCaptionRow) {
    parseDayLines(channels, day.lines(), fromFiles, firstCaptionRow);
}

void parseDayLines(ChannelList& channels, const std::vector<std::string_view>& day, bool fromFiles,
                   std::string_view firstCaptionRow) {
    try {
        const std::size_t n = day.size();
        std::size_t i = 0;
        while (i < n) {
            if (startsWith(day[i], firstCaptionRow)) {
                // The caption row, the caption line and the closing row; a
                // block that ends the text gives no channel.
                if (n <= i + 2) break;
                channels.addChannel(captionTail(day[i + 1]));
                i += 3;
                if (i >= n) break;
            }
            if (channels.current()) channels.addLine(day[i]);
            ++i;
        }
    } catch (...) {
        channels.normalize(fromFiles);
        throw;
    }
    channels.normalize(fromFiles);
}

// ---- Normalising entries -------------------------------------------------------

std::string normalizeTime(std::string_view prefix) {
    std::string p;
    for (char c : prefix)
        if (c != ' ') p += c;
    if (p.find('.') == std::string::npos && p.size() >= 2 && p.size() <= 4) p.insert(2, ".");
    // No point to pad against (a lone letter, five or more digits): nothing
    // here is a time to repair, so the blank-free prefix comes back as it
    // is and normalize leaves such a line alone.
    if (p.find('.') == std::string::npos) return p;
    while (p.find('.') < 2) p.insert(0, "0");
    p = replaceAll(p, "..", ".");
    while (p.size() < 5) p += '0';
    return p;
}

void ChannelList::normalize(bool fromFiles) {
    for (auto& channel : list_) {
        if (fromFiles)
            normalizeFileChannel(*channel);
        else
            normalizeMessageChannel(*channel);
    }
}

void ChannelList::normalizeMessageChannel(Channel& channel) {
    // A line without a start time continues the title before it.
    int i = 0;
    while (i < channel.entryCount()) {
        if (isProgrammeLine(channel.lines[static_cast<std::size_t>(i)]))
            ++i;
        else
            channel.joinWithPrevious(i);
    }
}

void ChannelList::normalizeFileChannel(Channel& channel) {
    constexpr std::size_t kTimeLength = 5;  // "HH.MM", as the files write it
    int i = 0;
    while (i < channel.entryCount()) {
        const auto index = static_cast<std::size_t>(i);
        std::string s(trim(channel.lines[index]));
        DateTime t;
        const std::string_view head = std::string_view(s).substr(0, kTimeLength);
        if (s.size() < kTimeLength) {
            // A bare time such as "\t7.15": the untrimmed text is no time.
            channel.times[index] = s;
        } else if (head.find(' ') == std::string_view::npos &&
            (s.size() == kTimeLength || s[kTimeLength] == ' ') && tryStrToTime(head, separator_, t)) {
            channel.times[index] = std::string(head);
        } else {
            // The time runs over digits, blanks and points up to the title.
            std::size_t k = 1;
            while (k < s.size() && ((s[k] >= '0' && s[k] <= '9') || s[k] == ' ' || s[k] == '.')) ++k;
            if (k < s.size()) {
                const std::string prefix = s.substr(0, k);
                if (!(prefix.size() == kTimeLength && tryStrToTime(prefix, separator_, t))) {
                    const std::string repaired = normalizeTime(prefix);
                    if (repaired.find('.') != std::string::npos) {
                        s = repaired + " " + s.substr(k);
                        channel.times[index] = repaired;
                    }
                }
            }
        }
        if (s.empty()) {
            channel.deleteEntry(i);
        } else {
            channel.lines[index] = std::move(s);
            ++i;
        }
    }
}

}  // namespace orbisk
