#include "cli/cmd_xmltv.h"

#include <iostream>

#include "base/error.h"
#include "base/ui.h"
#include "cli/common.h"
#include "config/config.h"
#include "export/xmltv.h"
#include "viewer/viewer.h"

namespace orbisk::cli {

int xmltvCommand(const std::string& ini, const std::vector<std::string>& args) {
    const std::string* out = nullptr;
    const std::string* dateText = nullptr;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size() && !out)
            out = &args[++i];
        else if (!dateText && args[i].compare(0, 2, "--") != 0)
            dateText = &args[i];
        else
            badArgument(kBadArgumentText, args[i]);
    }
    if (!dateText) badArgument(kBadDateText, "");
    const DateTime date = parseDate(*dateText);

    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    viewer.showDay(date);

    const XmltvResult result = exportXmltv(viewer);
    if (!out) {
        std::cout.write(result.document.data(), static_cast<std::streamsize>(result.document.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    saveXmltv(result.document, *out);
    print({{"file", *out},
           {"week_found", result.weekFound},
           {"channels", result.channels},
           {"programmes", result.programmes}});
    return 0;
}

}  // namespace orbisk::cli
