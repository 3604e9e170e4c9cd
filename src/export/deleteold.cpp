#include "export/deleteold.h"

#include <memory>

#include "base/codepage.h"
#include "viewer/viewer.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/timetext.h"
#include "msgbase/fileio.h"

namespace orbisk {

const char* const kDeleteMsgsCaption = "Удаление сообщений"_cp1251;
const char* const kListingsNotLoadedText = "Список сообщений не загружен: сначала обновите его"_cp1251;

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

std::string deletionFailureReason(ResultCode code) {
    switch (code) {
        case kIoAccessDenied: return "база занята другой программой или закрыта для записи"_cp1251;
        case kIoWriteProtected: return "диск защищён от записи"_cp1251;
        case kIoDiskWrite: return "ошибка записи"_cp1251;
        case kIoShortRead: return "ошибка чтения"_cp1251;
        case kNotImplemented: return "этот вид базы не умеет удалять"_cp1251;
        default: return "ошибка "_cp1251 + std::to_string(code);
    }
}

std::string deletionProblemsText(const DeletionResult& result) {
    if (result.skipped.empty() && result.failed.empty()) return {};
    std::string text = "Удалено сообщений: "_cp1251 + std::to_string(result.deleted.size());
    if (!result.skipped.empty())
        text += ".\nПропущено (изменились после чтения базы): "_cp1251 + std::to_string(result.skipped.size());
    if (!result.failed.empty()) {
        text += ".\nНе удалось удалить: "_cp1251 + std::to_string(result.failed.size());
        for (const DeletionFailure& f : result.failed)
            text += "\n№"_cp1251 + std::to_string(f.number) + ": " + deletionFailureReason(f.code);
    }
    return text;
}

namespace {

// One lock for the whole run: a tosser holding it costs one bounded wait,
// not one per message.
void deleteFrom(MessageArea& area, const std::string& identifier, const OtherMessages& list, DeletionResult& done) {
    std::vector<MessageIdentity> identities;
    std::vector<MsgNumber> numbers;
    for (const OtherMessage& entry : list) {
        if (isProtectedMessage(identifier, entry.desc.msgNum)) {
            done.kept.push_back(entry.desc.msgNum);
            continue;
        }
        identities.push_back(entry.desc.identity);
        numbers.push_back(entry.desc.msgNum);
    }
    if (identities.empty()) return;
    const std::vector<DeleteAnswer> answers = deleteEachIfUnchanged(area, identities);
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const MsgNumber n = numbers[i];
        switch (answers[i].outcome) {
            case DeleteOutcome::deleted: done.deleted.push_back(n); break;
            case DeleteOutcome::skipped: done.skipped.push_back(n); break;
            case DeleteOutcome::failed: done.failed.push_back({n, answers[i].code}); break;
        }
    }
}

}  // namespace

DeletionResult deleteListedMessages(const std::string& identifier, const OtherMessages& list, DeletionResult* progress) {
    DeletionResult local;
    DeletionResult& done = progress ? *progress : local;
    std::unique_ptr<MessageArea> area;
    if (!openAreaByIdentifier(area, identifier)) throw Error(kCannotOpenBaseText);
    deleteFrom(*area, identifier, list, done);
    if (!closeAreaAndFree(area)) throw Error(kCannotCloseBaseText);
    return done;
}

OtherMessages decideDeletions(const std::string& identifier, DateTime cutoff, const LoadEnv& env) {
    WeekIndex weeks;
    OtherMessages list;
    loadFromArea(identifier, weeks, list, env);
    appendOldListings(weeks, cutoff, list);
    return list;
}

DeletionResult deleteOldMessages(Viewer& viewer, const std::function<void()>& refresh, DeletionResult* progress) {
    if (!viewer.listingsLoaded()) throw Error(kListingsNotLoadedText);
    const DateTime cutoff = deletionCutoff(viewer.shownDate());
    const std::string identifier = ansiToFileName(viewer.settings().fidoPath());
    // The window's numbers may be days old; a tosser's pack renumbers the
    // area meanwhile. Only what the area holds now decides.
    const OtherMessages list = decideDeletions(identifier, cutoff, viewer.loadEnv());
    DeletionResult local;
    DeletionResult& result = progress ? *progress : local;
    deleteListedMessages(identifier, list, &result);
    if (refresh) refresh();
    return result;
}

}  // namespace orbisk
