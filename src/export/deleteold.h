#pragma once
// Deleting old messages from the echo area: every message that is no
// listing, then the listing messages of the weeks that end before the
// Monday of the week shown.
#include <functional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/names.h"
#include "listing/loaders.h"
#include "msgbase/messagearea.h"

namespace orbisk {

class Viewer;

// "Удаление сообщений"
extern const char* const kDeleteMsgsCaption;
// The last refresh did not load the area: there is nothing to decide on.
extern const char* const kListingsNotLoadedText;

// The Monday of the week that holds `shown`.
DateTime deletionCutoff(DateTime shown);
// "Удалить все сообщения до <cut-off in the short date format>"
std::string deletionQuestion(DateTime cutoff, const FormatSettings& format);

// Appends to `list`, week by week in index order, the listing messages of
// every week whose endDate is before `cutoff`.
void appendOldListings(const WeekIndex& weeks, DateTime cutoff, OtherMessages& list);

// Message 1 of a *.MSG area is the tosser's high-water mark when the tosser
// keeps one; deleting it would make the tosser scan the area again, so it
// is never deleted.
bool isProtectedMessage(const std::string& identifier, MsgNumber n);

struct DeletionFailure {
    MsgNumber number = 0;
    ResultCode code = 0;
};

struct DeletionResult {
    std::vector<MsgNumber> deleted;  // in the order deleted
    std::vector<MsgNumber> kept;     // protected numbers left in place
    // Gone, unreadable or another message by the time it was to be deleted:
    // left alone.
    std::vector<MsgNumber> skipped;
    std::vector<DeletionFailure> failed;  // still there, and why
};

// Why a message could not be deleted, for the user.
std::string deletionFailureReason(ResultCode code);
// One text on what went wrong in a run (counts, and each failure with its
// number and reason); empty when nothing was skipped or failed.
std::string deletionProblemsText(const DeletionResult& result);

// Opens the area and deletes each listed message that, under the area's
// lock, is still the message its identity names; every message gets its
// own result. Throws Error(kCannotOpenBaseText) with nothing deleted and
// Error(kCannotCloseBaseText) when the area does not close; `progress`,
// when given, then holds what was done.
DeletionResult deleteListedMessages(const std::string& identifier, const OtherMessages& list,
                                    DeletionResult* progress = nullptr);

// What a run deletes, decided from the area as it is now: it is loaded
// anew with `env` (the refresh's rules), and the list holds every message
// that is no listing, in area order, then the listings of the weeks that
// end before `cutoff`. Throws the load's errors.
OtherMessages decideDeletions(const std::string& identifier, DateTime cutoff, const LoadEnv& env);

// The command after the user said Yes: decides from a fresh load of the
// viewer's area, deletes, then `refresh` (the reload) runs - also after a
// message failed, but not when the area did not open or did not close.
// Nothing is deleted unless the viewer's last refresh loaded successfully.
// The first error goes on to the caller; `progress`, when given, then holds
// what was done.
DeletionResult deleteOldMessages(Viewer& viewer, const std::function<void()>& refresh,
                                 DeletionResult* progress = nullptr);

}  // namespace orbisk
