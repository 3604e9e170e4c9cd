#include "app/viewer/dayview.h"

#include <algorithm>

#include "base/timetext.h"

namespace orbisk {
namespace {

bool IsQuote(char c) { return c == '"' || c == '\''; }

}  // namespace

TextRange DayText::Line(int index) const {
    if (index < 0 || index >= LineCount()) return {};
    return {LineStarts[static_cast<std::size_t>(index)], LineLengths[static_cast<std::size_t>(index)]};
}

TextRange DayText::Prefix(int index, std::size_t length) const {
    TextRange r = Line(index);
    r.Length = std::min(r.Length, static_cast<int>(length));
    return r;
}

int DayText::LineAt(int offset) const {
    if (LineStarts.empty()) return -1;
    auto it = std::upper_bound(LineStarts.begin(), LineStarts.end(), offset);
    if (it == LineStarts.begin()) return 0;
    return static_cast<int>(it - LineStarts.begin()) - 1;
}

std::vector<TextRange> QuotedRanges(std::string_view line) {
    std::vector<TextRange> out;
    int open = -1;
    for (int i = 0; i < static_cast<int>(line.size()); ++i) {
        if (!IsQuote(line[static_cast<std::size_t>(i)])) continue;
        if (open < 0) {
            open = i + 1;
        } else {
            if (i > open) out.push_back({open, i - open});
            open = -1;
        }
    }
    return out;
}

DayText BuildDayText(const std::vector<std::string>& lines, std::size_t timeLength) {
    DayText d;
    std::size_t total = 0;
    for (const auto& l : lines) total += l.size() + 1;
    d.Text.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int start = static_cast<int>(d.Text.size());
        if (i > 0) {
            d.Text.push_back('\n');
            d.LineStarts.push_back(start + 1);
        } else {
            d.LineStarts.push_back(start);
        }
        const int lineStart = d.LineStarts.back();
        d.Text += line;
        d.LineLengths.push_back(static_cast<int>(line.size()));
        const int prefix = std::min(static_cast<int>(line.size()), static_cast<int>(timeLength));
        if (prefix > 0) d.Bold.push_back({lineStart, prefix});
        for (const TextRange& q : QuotedRanges(line)) d.Navy.push_back({lineStart + q.Start, q.Length});
    }
    return d;
}

std::optional<TDateTime> TimeAtLine(const std::vector<std::string>& lines, int line, std::size_t timeLength,
                                    char separator) {
    if (lines.empty()) return std::nullopt;
    for (int i = std::min(line, static_cast<int>(lines.size()) - 1); i >= 0; --i) {
        const std::string& text = lines[static_cast<std::size_t>(i)];
        TDateTime t = 0;
        if (TryStrToTime(std::string_view(text).substr(0, timeLength), separator, t)) return t;
    }
    return std::nullopt;
}

}  // namespace orbisk
