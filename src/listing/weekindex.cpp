#include "listing/weekindex.h"

#include <algorithm>
#include <cmath>

#include "listing/subject.h"

namespace orbisk {

// ---- Body lines --------------------------------------------------------------

BodyLines::BodyLines(const StringList& lines) {
    std::size_t total = 0;
    for (const auto& line : lines) total += line.size() + 2;
    text_.reserve(total);
    ends_.reserve(lines.size());
    for (const auto& line : lines) push_back(line);
}

void BodyLines::push_back(std::string_view line) {
    if (shared_) {
        text_ = *shared_;
        shared_.reset();
    }
    text_.append(line);
    text_.append("\r\n", 2);
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
}

void BodyLines::clear() {
    text_.clear();
    ends_.clear();
    shared_.reset();
}

std::shared_ptr<const std::string> BodyLines::share() {
    if (!shared_) {
        shared_ = std::make_shared<const std::string>(std::move(text_));
        text_.clear();
    }
    return shared_;
}

std::string_view BodyLines::operator[](std::size_t i) const {
    const std::size_t from = start(i);
    return text().substr(from, ends_[i] - 2 - from);
}

std::string_view BodyLines::joined(std::size_t from, std::size_t to) const {
    if (from >= to) return {};
    return text().substr(start(from), ends_[to - 1] - start(from));
}

StringList BodyLines::toList() const {
    StringList list;
    list.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) list.emplace_back((*this)[i]);
    return list;
}

bool operator==(const BodyLines& a, const StringList& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < b.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// ---- Day texts -----------------------------------------------------------

DayLines::DayLines(const StringList& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    append(std::move(text));
}

void DayLines::append(SharedText owner, std::string_view piece) {
    if (!piece.empty()) pieces_.push_back({std::move(owner), piece});
}

void DayLines::append(std::string text) {
    auto owner = std::make_shared<const std::string>(std::move(text));
    const std::string_view piece(*owner);
    append(std::move(owner), piece);
}

std::size_t DayLines::size() const {
    std::size_t n = 0;
    for (const Piece& piece : pieces_) forEachLine(piece.text, [&](std::string_view) { ++n; });
    return n;
}

std::vector<std::string_view> DayLines::lines() const {
    std::vector<std::string_view> out;
    for (const Piece& piece : pieces_) forEachLine(piece.text, [&](std::string_view line) { out.push_back(line); });
    return out;
}

StringList DayLines::toList() const {
    StringList out;
    for (const Piece& piece : pieces_) forEachLine(piece.text, [&](std::string_view line) { out.emplace_back(line); });
    return out;
}

bool operator==(const DayLines& a, const StringList& b) {
    const std::vector<std::string_view> lines = a.lines();
    return std::equal(lines.begin(), lines.end(), b.begin(), b.end());
}

// ---- Descriptors ---------------------------------------------------------

ListingMessage ListingMessage::create(std::int32_t msgNum, std::string_view subject) {
    ListingMessage d;
    std::int32_t n = 0, m = 0;
    d.isListing = isListingSubject(subject, n, m);
    if (d.isListing) {
        d.partNo = n;
        d.partCount = m;
    }
    d.msgNum = msgNum;
    return d;
}

ListingMessage ListingMessage::createForFile(std::int32_t dayNo) {
    ListingMessage d;
    d.isListing = true;
    d.partNo = dayNo;
    d.partCount = 7;
    d.msgNum = dayNo;
    return d;
}

// ---- One week --------------------------------------------------------------

Week::Week(DateTime aDate) {
    const DateTime date = std::trunc(aDate);
    const int dow = dayOfWeek(date);  // 1 = Sunday
    startDate = dow == 1 ? date - 6 : date - (dow - 2);
    endDate = startDate + 6;
}

bool Week::contains(DateTime aDate) const { return startDate <= aDate && aDate <= endDate; }

const DayLines* Week::getDay(DateTime aDate) const {
    if (!contains(aDate)) return nullptr;
    const auto slot = static_cast<std::size_t>(std::trunc(aDate - startDate));
    return slot < days.size() ? &days[slot] : nullptr;
}

bool Week::dayHasText(DateTime aDate) const {
    const DayLines* day = getDay(aDate);
    return day && !day->empty();
}

void Week::addFileDay(std::int32_t dayNo, const StringList& fileLines) {
    fromFiles = true;
    ListingMessage d = ListingMessage::createForFile(dayNo);
    d.lines = fileLines;
    messages.push_back(std::move(d));
}

// ---- The index -----------------------------------------------------------------

Week* WeekIndex::findWeek(DateTime aDate) const {
    for (const auto& week : items)
        if (week->contains(aDate)) return week.get();
    return nullptr;
}

const DayLines* WeekIndex::getDay(DateTime aDate) const {
    const Week* week = findWeek(aDate);
    return week ? week->getDay(aDate) : nullptr;
}

bool WeekIndex::dayHasText(DateTime aDate) const {
    const Week* week = findWeek(aDate);
    return week && week->dayHasText(aDate);
}

Week& WeekIndex::weekFor(DateTime aDate) {
    if (Week* week = findWeek(aDate)) return *week;
    items.push_back(std::make_unique<Week>(aDate));
    return *items.back();
}

void WeekIndex::addFileDay(std::int32_t dayNo, const StringList& fileLines, const MonthNames& months, Notifier& notifier,
                        const Clock& clock) {
    const std::string_view caption = fileLines.size() > 1 ? std::string_view(fileLines[1]) : std::string_view{};
    const DateTime date = parseCaptionDate(caption, months, clock, notifier);
    weekFor(date).addFileDay(dayNo, fileLines);
}

void WeekIndex::buildAll(const DayLayout& layout, StructureWarning* warning) {
    for (const auto& week : items) week->buildDays(layout, warning);
}

}  // namespace orbisk
