#pragma once
// orbisk-cli xmltv: the XMLTV export of a week.
#include <string>
#include <vector>

namespace orbisk::cli {

// xmltv DATE [--out FILE]: the XMLTV document of the week of DATE, DATE
// shown, on stdout or into FILE (then a JSON summary on stdout).
int xmltvCommand(const std::string& ini, const std::vector<std::string>& args);

}  // namespace orbisk::cli
