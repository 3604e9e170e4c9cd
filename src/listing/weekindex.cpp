#include "listing/weekindex.h"

#include <cmath>

#include "listing/subject.h"

namespace orbisk {

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

const StringList* Week::getDay(DateTime aDate) const {
    if (!contains(aDate)) return nullptr;
    const auto slot = static_cast<std::size_t>(std::trunc(aDate - startDate));
    return slot < days.size() ? &days[slot] : nullptr;
}

bool Week::dayHasText(DateTime aDate) const {
    const StringList* day = getDay(aDate);
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

const StringList* WeekIndex::getDay(DateTime aDate) const {
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
