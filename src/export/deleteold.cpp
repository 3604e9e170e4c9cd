#include "export/deleteold.h"

#include <exception>
#include <memory>

#include "viewer/viewer.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/timetext.h"

namespace orbisk {

const char* const kDeleteMsgsCaption = "Удаление сообщений"_cp1251;
const char* const kCannotFindMessageText = "Не могу найти сообщение №"_cp1251;

DateTime deletionCutoff(DateTime shown) {
    const DateTime date = dateOf(shown);
    return date - (dayOfWeek(date) + 5) % 7;
}

std::string deletionQuestion(DateTime cutoff, const FormatSettings& format) {
    return "Удалить все сообщения до "_cp1251 + formatShortDate(cutoff, format);
}

void appendOldListings(const WeekIndex& weeks, DateTime cutoff, OtherMessages& list) {
    for (const auto& week : weeks.items) {
        if (!(week->endDate < cutoff)) continue;
        for (const ListingMessage& m : week->messages) list.push_back({std::to_string(m.msgNum), m});
    }
}

bool isProtectedMessage(const std::string& identifier, MsgNumber n) {
    return n == 1 && !identifier.empty() && (identifier[0] == 'F' || identifier[0] == 'f');
}

namespace {

void deleteFrom(MessageArea& area, const std::string& identifier, const OtherMessages& list, DeletionResult& done) {
    for (const OtherMessage& entry : list) {
        const MsgNumber n = entry.desc.msgNum;
        if (isProtectedMessage(identifier, n)) {
            done.kept.push_back(n);
            continue;
        }
        area.locateFrom(n);
        if (!area.isLocated()) throw Error(kCannotFindMessageText + std::to_string(n));
        area.loadHeader();
        // The area stands on a later message when n is gone.
        if (area.getMessageNumber() != n) throw Error(kCannotFindMessageText + std::to_string(n));
        area.deleteCurrent();
        done.deleted.push_back(n);
    }
}

}  // namespace

DeletionResult deleteListedMessages(const std::string& identifier, const OtherMessages& list, DeletionResult* progress) {
    DeletionResult local;
    DeletionResult& done = progress ? *progress : local;
    std::unique_ptr<MessageArea> area;
    if (!openAreaByIdentifier(area, identifier)) throw Error(kCannotOpenBaseText);
    try {
        deleteFrom(*area, identifier, list, done);
    } catch (...) {
        closeAreaAndFree(area);
        throw;
    }
    if (!closeAreaAndFree(area)) throw Error(kCannotCloseBaseText);
    return done;
}

DeletionResult deleteOldMessages(Viewer& viewer, const std::function<void()>& refresh, DeletionResult* progress) {
    const DateTime cutoff = deletionCutoff(viewer.shownDate());
    const std::string identifier = viewer.settings().fidoPath();
    std::unique_ptr<MessageArea> area;
    if (!openAreaByIdentifier(area, identifier)) throw Error(kCannotOpenBaseText);
    DeletionResult local;
    DeletionResult& result = progress ? *progress : local;
    std::exception_ptr failure;
    try {
        appendOldListings(viewer.weeks(), cutoff, viewer.otherMsgs());
        deleteFrom(*area, identifier, viewer.otherMsgs(), result);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!closeAreaAndFree(area)) throw Error(kCannotCloseBaseText);
    // The reload shows what is left, also after a run that stopped early;
    // the error of the run itself is what the user is told.
    try {
        if (refresh) refresh();
    } catch (...) {
        if (!failure) throw;
    }
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace orbisk
