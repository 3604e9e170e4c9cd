#include "cli/cmd_export.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/ui.h"
#include "cli/common.h"
#include "export/deleteold.h"
#include "export/jtv.h"
#include "export/printtext.h"

namespace orbisk::cli {
namespace {

// "Удалять сообщения можно только из базы сообщений"
constexpr char kNotAMessageBaseText[] =
    "\xD3\xE4\xE0\xEB\xFF\xF2\xFC \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF \xEC\xEE\xE6\xED\xEE \xF2\xEE\xEB\xFC\xEA\xEE "
    "\xE8\xE7 \xE1\xE0\xE7\xFB \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9";
// "Не могу записать файл "
constexpr char kCannotWriteText[] =
    "\xCD\xE5 \xEC\xEE\xE3\xF3 \xE7\xE0\xEF\xE8\xF1\xE0\xF2\xFC \xF4\xE0\xE9\xEB ";

// The words of a command: one DATE, then "--out VALUE" or the flags given.
struct Args {
    TDateTime date = 0;
    const std::string* out = nullptr;
    bool yes = false;
};

Args ParseArgs(const std::vector<std::string>& args, bool takesOut, bool takesYes) {
    Args a;
    bool haveDate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (takesOut && args[i] == "--out" && i + 1 < args.size() && !a.out) {
            a.out = &args[++i];
        } else if (takesYes && args[i] == "--yes" && !a.yes) {
            a.yes = true;
        } else if (!haveDate && args[i].compare(0, 2, "--") != 0) {
            a.date = ParseDate(args[i]);
            haveDate = true;
        } else {
            BadArgument(kBadArgumentText, args[i]);
        }
    }
    if (!haveDate) BadArgument(kBadDateText, "");
    return a;
}

// A loaded viewer with `date` as the day shown.
class Session {
public:
    Session(const std::string& ini, TDateTime date) : viewer(ini, notifier, clock) {
        if (!viewer.Settings().FileExists()) throw Error(kConfigMissingText);
        Reload();
        viewer.ShowDay(date);
    }
    void Reload() { viewer.RefreshListings(prompts, true); }

    StderrNotifier notifier;
    SystemClock clock;
    FailingPrompts prompts;
    Viewer viewer;
};

json Numbers(const std::vector<MsgNumber>& numbers) {
    json list = json::array();
    for (MsgNumber n : numbers) list.push_back(n);
    return list;
}

json Texts(const std::vector<std::string>& ansi) {
    json list = json::array();
    for (const auto& s : ansi) list.push_back(U(s));
    return list;
}

}  // namespace

int PrintCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = ParseArgs(args, true, false);
    Session session(ini, a.date);
    const std::string text = BuildPrintText(session.viewer);
    if (!a.out) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    std::ofstream file(*a.out, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) throw Error(kCannotWriteText + Utf8ToAnsi(*a.out));
    return 0;
}

int JtvCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = ParseArgs(args, true, false);
    Session session(ini, a.date);
    const std::string folder = a.out ? Utf8ToAnsi(*a.out) : session.viewer.Settings().JTVGuidePath();
    const JtvResult result = ExportJtv(session.viewer, folder, &session.notifier);
    json files = json::array();
    for (const auto& f : result.Created) files.push_back(f);
    Print({{"folder", U(folder)},
           {"week_found", result.WeekFound},
           {"records", result.Records},
           {"files", files},
           {"skipped", Texts(result.Skipped)},
           {"cut", Texts(result.Cut)}});
    return 0;
}

int DeleteOldCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = ParseArgs(args, false, true);
    Session session(ini, a.date);
    Viewer& viewer = session.viewer;
    if (!viewer.Settings().MessageActionsEnabled()) throw Error(kNotAMessageBaseText);
    const TDateTime cutoff = DeletionCutoff(viewer.ShownDate());
    const std::string& identifier = viewer.Settings().FIDOPath();

    if (!a.yes) {
        TOtherMsgs list = viewer.OtherMsgs();
        AppendOldListings(viewer.Weeks(), cutoff, list);
        std::vector<MsgNumber> remove, keep;
        for (const auto& m : list) (IsProtectedMessage(identifier, m.Desc.MsgNum) ? keep : remove).push_back(m.Desc.MsgNum);
        Print({{"cutoff", IsoDate(cutoff)}, {"delete", Numbers(remove)}, {"keep", Numbers(keep)}});
        return 0;
    }
    DeletionResult done;
    const auto report = [&] {
        Print({{"cutoff", IsoDate(cutoff)}, {"deleted", Numbers(done.Deleted)}, {"kept", Numbers(done.Kept)}});
    };
    try {
        DeleteOldMessages(viewer, [&] { session.Reload(); }, &done);
    } catch (...) {
        report();
        throw;
    }
    report();
    return 0;
}

}  // namespace orbisk::cli
