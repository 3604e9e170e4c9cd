#include "export/deleteold.h"

#include <exception>
#include <memory>

#include "app/viewer/viewer.h"
#include "base/error.h"
#include "base/timetext.h"

namespace orbisk {

const char* const kDeleteMsgsCaption =
    "\xD3\xE4\xE0\xEB\xE5\xED\xE8\xE5 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9";  // "Удаление сообщений"
const char* const kCannotFindMessageText =
    "\xCD\xE5 \xEC\xEE\xE3\xF3 \xED\xE0\xE9\xF2\xE8 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xB9";  // "Не могу найти сообщение №"

TDateTime DeletionCutoff(TDateTime shown) {
    const TDateTime date = DateOf(shown);
    return date - (DayOfWeek(date) + 5) % 7;
}

std::string DeletionQuestion(TDateTime cutoff, const FormatSettings& format) {
    // "Удалить все сообщения до "
    return std::string("\xD3\xE4\xE0\xEB\xE8\xF2\xFC \xE2\xF1\xE5 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF \xE4\xEE ") +
           FormatShortDate(cutoff, format);
}

void AppendOldListings(const TWeeks& weeks, TDateTime cutoff, TOtherMsgs& list) {
    for (const auto& week : weeks.Items) {
        if (!(week->EndDate < cutoff)) continue;
        for (const TMSGDesc& m : week->Messages) list.push_back({std::to_string(m.MsgNum), m});
    }
}

bool IsProtectedMessage(const std::string& identifier, MsgNumber n) {
    return n == 1 && !identifier.empty() && (identifier[0] == 'F' || identifier[0] == 'f');
}

namespace {

void DeleteFrom(MessageArea& area, const std::string& identifier, const TOtherMsgs& list, DeletionResult& done) {
    for (const OtherMsg& entry : list) {
        const MsgNumber n = entry.Desc.MsgNum;
        if (IsProtectedMessage(identifier, n)) {
            done.Kept.push_back(n);
            continue;
        }
        area.LocateFrom(n);
        if (!area.IsLocated()) throw Error(kCannotFindMessageText + std::to_string(n));
        area.LoadHeader();
        // The area stands on a later message when n is gone.
        if (area.GetMessageNumber() != n) throw Error(kCannotFindMessageText + std::to_string(n));
        area.DeleteCurrent();
        done.Deleted.push_back(n);
    }
}

}  // namespace

DeletionResult DeleteListedMessages(const std::string& identifier, const TOtherMsgs& list, DeletionResult* progress) {
    DeletionResult local;
    DeletionResult& done = progress ? *progress : local;
    std::unique_ptr<MessageArea> area;
    if (!OpenAreaByIdentifier(area, identifier)) throw Error(kCannotOpenBaseText);
    try {
        DeleteFrom(*area, identifier, list, done);
    } catch (...) {
        CloseAreaAndFree(area);
        throw;
    }
    if (!CloseAreaAndFree(area)) throw Error(kCannotCloseBaseText);
    return done;
}

DeletionResult DeleteOldMessages(Viewer& viewer, const std::function<void()>& refresh, DeletionResult* progress) {
    const TDateTime cutoff = DeletionCutoff(viewer.ShownDate());
    const std::string identifier = viewer.Settings().FIDOPath();
    std::unique_ptr<MessageArea> area;
    if (!OpenAreaByIdentifier(area, identifier)) throw Error(kCannotOpenBaseText);
    DeletionResult local;
    DeletionResult& result = progress ? *progress : local;
    std::exception_ptr failure;
    try {
        AppendOldListings(viewer.Weeks(), cutoff, viewer.OtherMsgs());
        DeleteFrom(*area, identifier, viewer.OtherMsgs(), result);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!CloseAreaAndFree(area)) throw Error(kCannotCloseBaseText);
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
