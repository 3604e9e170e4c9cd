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
// "Не могу найти сообщение №"
extern const char* const kCannotFindMessageText;

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

struct DeletionResult {
    std::vector<MsgNumber> deleted;  // in the order deleted
    std::vector<MsgNumber> kept;     // protected numbers left in place
};

// Opens the area, deletes the listed messages in order and closes it.
// Throws Error(kCannotOpenBaseText) with nothing deleted; a number that is
// gone stops the run with Error("Не могу найти сообщение №<n>") (the
// messages before it stay deleted, the area is closed); a failed close
// throws Error(kCannotCloseBaseText). `progress`, when given, holds what was
// done also when an error ends the run.
DeletionResult deleteListedMessages(const std::string& identifier, const OtherMessages& list,
                                    DeletionResult* progress = nullptr);

// The command after the user said Yes: the old listings of the viewer's week
// index appended to its otherMsgs, all of them deleted, then `refresh` (the
// reload) runs - also after a message was not found, but not when the area
// did not open or did not close. The first error goes on to the caller;
// `progress`, when given, then holds what was done.
DeletionResult deleteOldMessages(Viewer& viewer, const std::function<void()>& refresh,
                                 DeletionResult* progress = nullptr);

}  // namespace orbisk
