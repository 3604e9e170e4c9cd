#include "cli/cmd_export.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"
#include "cli/common.h"
#include "config/config.h"
#include "export/deleteold.h"
#include "export/jtv.h"
#include "export/printtext.h"
#include "viewer/viewer.h"

namespace orbisk::cli {
namespace {

constexpr const char* kNotAMessageBaseText = "Удалять сообщения можно только из базы сообщений"_cp1251;
constexpr const char* kCannotWriteText = "Не могу записать файл "_cp1251;

// The words of a command: one DATE, then "--out VALUE" or the flags given.
struct Args {
    DateTime date = 0;
    const std::string* out = nullptr;
    bool yes = false;
};

Args parseArgs(const std::vector<std::string>& args, bool takesOut, bool takesYes) {
    Args a;
    bool haveDate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (takesOut && args[i] == "--out" && i + 1 < args.size() && !a.out) {
            a.out = &args[++i];
        } else if (takesYes && args[i] == "--yes" && !a.yes) {
            a.yes = true;
        } else if (!haveDate && args[i].compare(0, 2, "--") != 0) {
            a.date = parseDate(args[i]);
            haveDate = true;
        } else {
            badArgument(kBadArgumentText, args[i]);
        }
    }
    if (!haveDate) badArgument(kBadDateText, "");
    return a;
}

// A loaded viewer with `date` as the day shown.
class Session {
public:
    Session(const std::string& ini, DateTime date) : viewer(ini, notifier, clock) {
        refresh(viewer);
        viewer.showDay(date);
    }
    void reload() { viewer.refreshListings(prompts, true); }

    StderrNotifier notifier;
    SystemClock clock;
    FailingPrompts prompts;
    Viewer viewer;
};

json numbers(const std::vector<MsgNumber>& numbers) {
    json list = json::array();
    for (MsgNumber n : numbers) list.push_back(n);
    return list;
}

json texts(const std::vector<std::string>& ansi) {
    json list = json::array();
    for (const auto& s : ansi) list.push_back(toUtf8(s));
    return list;
}

}  // namespace

int printCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = parseArgs(args, true, false);
    Session session(ini, a.date);
    const std::string text = buildPrintText(session.viewer);
    if (!a.out) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    std::ofstream file(*a.out, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) throw Error(kCannotWriteText + utf8ToAnsi(*a.out));
    return 0;
}

int jtvCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = parseArgs(args, true, false);
    Session session(ini, a.date);
    const std::string folder = a.out ? utf8ToAnsi(*a.out) : session.viewer.settings().jtvGuidePath();
    const JtvResult result = exportJtv(session.viewer, folder, &session.notifier);
    json files = json::array();
    for (const auto& f : result.created) files.push_back(f);
    print({{"folder", toUtf8(folder)},
           {"week_found", result.weekFound},
           {"records", result.records},
           {"files", files},
           {"skipped", texts(result.skipped)},
           {"cut", texts(result.cut)}});
    // The skipped channels were named on stderr already.
    return result.created.empty() || !result.skipped.empty() ? 1 : 0;
}

int deleteOldCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = parseArgs(args, false, true);
    Session session(ini, a.date);
    Viewer& viewer = session.viewer;
    if (!viewer.settings().messageActionsEnabled()) throw Error(kNotAMessageBaseText);
    const DateTime cutoff = deletionCutoff(viewer.shownDate());
    const std::string& identifier = viewer.settings().fidoPath();

    if (!a.yes) {
        // What a run would delete now, from the area as it is: the same
        // file-system path the run itself opens.
        const OtherMessages list = decideDeletions(ansiToFileName(identifier), cutoff, viewer.loadEnv());
        std::vector<MsgNumber> remove, keep;
        for (const auto& m : list)
            (isProtectedMessage(identifier, m.desc.msgNum) ? keep : remove).push_back(m.desc.msgNum);
        print({{"cutoff", isoDate(cutoff)}, {"delete", numbers(remove)}, {"keep", numbers(keep)}});
        return 0;
    }
    DeletionResult done;
    const auto report = [&] {
        json failed = json::array();
        for (const DeletionFailure& f : done.failed)
            failed.push_back({{"number", f.number}, {"code", f.code}, {"reason", toUtf8(deletionFailureReason(f.code))}});
        print({{"cutoff", isoDate(cutoff)},
               {"deleted", numbers(done.deleted)},
               {"kept", numbers(done.kept)},
               {"skipped", numbers(done.skipped)},
               {"failed", failed}});
    };
    try {
        deleteOldMessages(
            viewer, [&] { session.reload(); }, &done);
    } catch (...) {
        report();
        throw;
    }
    report();
    if (done.failed.empty()) return 0;
    errLine(deletionProblemsText(done));
    return 1;
}

}  // namespace orbisk::cli
