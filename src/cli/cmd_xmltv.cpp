#include "cli/cmd_xmltv.h"

#include <iostream>

#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/error.h"
#include "base/ui.h"
#include "cli/common.h"
#include "export/xmltv.h"

namespace orbisk::cli {

int XmltvCommand(const std::string& ini, const std::vector<std::string>& args) {
    const std::string* out = nullptr;
    const std::string* dateText = nullptr;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size() && !out)
            out = &args[++i];
        else if (!dateText && args[i].compare(0, 2, "--") != 0)
            dateText = &args[i];
        else
            BadArgument(kBadArgumentText, args[i]);
    }
    if (!dateText) BadArgument(kBadDateText, "");
    const TDateTime date = ParseDate(*dateText);

    StderrNotifier notifier;
    SystemClock clock;
    FailingPrompts prompts;
    Viewer viewer(ini, notifier, clock);
    if (!viewer.Settings().FileExists()) throw Error(kConfigMissingText);
    viewer.RefreshListings(prompts, true);
    viewer.ShowDay(date);

    const XmltvResult result = ExportXmltv(viewer);
    if (!out) {
        std::cout.write(result.Document.data(), static_cast<std::streamsize>(result.Document.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    SaveXmltv(result.Document, *out);
    Print({{"file", *out},
           {"week_found", result.WeekFound},
           {"channels", result.Channels},
           {"programmes", result.Programmes}});
    return 0;
}

}  // namespace orbisk::cli
