#include "viewer/dayview.h"

#include <algorithm>

#include "base/timetext.h"

namespace orbisk {
namespace {

bool isQuote(char c) { return c == '"' || c == '\''; }

}  // namespace

TextRange DayText::line(int index) const {
    if (index < 0 || index >= lineCount()) return {};
    return {lineStarts[static_cast<std::size_t>(index)], lineLengths[static_cast<std::size_t>(index)]};
}

TextRange DayText::prefix(int index, std::size_t length) const {
    TextRange r = line(index);
    r.length = std::min(r.length, static_cast<int>(length));
    return r;
}

int DayText::lineAt(int offset) const {
    if (lineStarts.empty()) return -1;
    auto it = std::upper_bound(lineStarts.begin(), lineStarts.end(), offset);
    if (it == lineStarts.begin()) return 0;
    return static_cast<int>(it - lineStarts.begin()) - 1;
}

std::vector<TextRange> quotedRanges(std::string_view line) {
    std::vector<TextRange> out;
    int open = -1;
    for (int i = 0; i < static_cast<int>(line.size()); ++i) {
        if (!isQuote(line[static_cast<std::size_t>(i)])) continue;
        if (open < 0) {
            open = i + 1;
        } else {
            if (i > open) out.push_back({open, i - open});
            open = -1;
        }
    }
    return out;
}

DayText buildDayText(const std::vector<std::string>& lines, std::size_t timeLength) {
    DayText d;
    std::size_t total = 0;
    for (const auto& l : lines) total += l.size() + 1;
    d.text.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int start = static_cast<int>(d.text.size());
        if (i > 0) {
            d.text.push_back('\n');
            d.lineStarts.push_back(start + 1);
        } else {
            d.lineStarts.push_back(start);
        }
        const int lineStart = d.lineStarts.back();
        d.text += line;
        d.lineLengths.push_back(static_cast<int>(line.size()));
        const int prefix = std::min(static_cast<int>(line.size()), static_cast<int>(timeLength));
        if (prefix > 0) d.bold.push_back({lineStart, prefix});
        for (const TextRange& q : quotedRanges(line)) d.navy.push_back({lineStart + q.start, q.length});
    }
    return d;
}

std::optional<DateTime> timeAtLine(const std::vector<std::string>& lines, int line, std::size_t timeLength,
                                    char separator) {
    if (lines.empty()) return std::nullopt;
    for (int i = std::min(line, static_cast<int>(lines.size()) - 1); i >= 0; --i) {
        const std::string& text = lines[static_cast<std::size_t>(i)];
        DateTime t = 0;
        if (tryStrToTime(std::string_view(text).substr(0, timeLength), separator, t)) return t;
    }
    return std::nullopt;
}

}  // namespace orbisk
