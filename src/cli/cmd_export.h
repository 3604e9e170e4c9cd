#pragma once
// orbisk-cli commands over src/export: print, jtv and delete-old. Each takes
// the configuration path and the words after the command name.
#include <string>
#include <vector>

namespace orbisk::cli {

// print DATE [--out FILE]: the bytes the desktop program prints or saves
// (code page 866, CR LF) from listing day DATE to the end of its week.
int printCommand(const std::string& ini, const std::vector<std::string>& args);
// jtv DATE [--out DIR]: the JTV export of the week of DATE, DATE shown;
// DIR defaults to MAIN/jtvGuidePath and is not stored.
int jtvCommand(const std::string& ini, const std::vector<std::string>& args);
// delete-old DATE [--yes]: the messages that would be deleted with DATE
// shown; with --yes they are deleted.
int deleteOldCommand(const std::string& ini, const std::vector<std::string>& args);

}  // namespace orbisk::cli
