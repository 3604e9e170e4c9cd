#include "listing/weeks.h"

#include <cmath>

#include "listing/subject.h"

namespace orbisk {

// ---- Descriptors ---------------------------------------------------------

TMSGDesc TMSGDesc::Create(std::int32_t msgNum, std::string_view subject) {
    TMSGDesc d;
    std::int32_t n = 0, m = 0;
    d.IsListing = IsListingSubject(subject, n, m);
    if (d.IsListing) {
        d.PartNo = n;
        d.PartCount = m;
    }
    d.MsgNum = msgNum;
    return d;
}

TMSGDesc TMSGDesc::CreateForFile(std::int32_t dayNo) {
    TMSGDesc d;
    d.IsListing = true;
    d.PartNo = dayNo;
    d.PartCount = 7;
    d.MsgNum = dayNo;
    return d;
}

// ---- One week --------------------------------------------------------------

TWeek::TWeek(TDateTime aDate) {
    const TDateTime date = std::trunc(aDate);
    const int dow = DayOfWeek(date);  // 1 = Sunday
    StartDate = dow == 1 ? date - 6 : date - (dow - 2);
    EndDate = StartDate + 6;
}

bool TWeek::Contains(TDateTime aDate) const { return StartDate <= aDate && aDate <= EndDate; }

const StringList* TWeek::GetDay(TDateTime aDate) const {
    if (!Contains(aDate)) return nullptr;
    const auto slot = static_cast<std::size_t>(std::trunc(aDate - StartDate));
    return slot < Days.size() ? &Days[slot] : nullptr;
}

bool TWeek::DayHasText(TDateTime aDate) const {
    const StringList* day = GetDay(aDate);
    return day && !day->empty();
}

void TWeek::AddFileDay(std::int32_t dayNo, const StringList& fileLines) {
    FromFiles = true;
    TMSGDesc d = TMSGDesc::CreateForFile(dayNo);
    d.Lines = fileLines;
    Messages.push_back(std::move(d));
}

// ---- The index -----------------------------------------------------------------

TWeek* TWeeks::FindWeek(TDateTime aDate) const {
    for (const auto& week : Items)
        if (week->Contains(aDate)) return week.get();
    return nullptr;
}

const StringList* TWeeks::GetDay(TDateTime aDate) const {
    const TWeek* week = FindWeek(aDate);
    return week ? week->GetDay(aDate) : nullptr;
}

bool TWeeks::DayHasText(TDateTime aDate) const {
    const TWeek* week = FindWeek(aDate);
    return week && week->DayHasText(aDate);
}

TWeek& TWeeks::WeekFor(TDateTime aDate) {
    if (TWeek* week = FindWeek(aDate)) return *week;
    Items.push_back(std::make_unique<TWeek>(aDate));
    return *Items.back();
}

void TWeeks::AddFileDay(std::int32_t dayNo, const StringList& fileLines, const TMonths& months, Notifier& notifier,
                        const Clock& clock) {
    const std::string_view caption = fileLines.size() > 1 ? std::string_view(fileLines[1]) : std::string_view{};
    const TDateTime date = ParseCaptionDate(caption, months, clock, notifier);
    WeekFor(date).AddFileDay(dayNo, fileLines);
}

void TWeeks::BuildAll(const DayLayout& layout, StructureWarning* warning) {
    for (const auto& week : Items) week->BuildDays(layout, warning);
}

}  // namespace orbisk
