#pragma once
// orbisk-cli remind: the reminder the desktop program would add.
#include <string>
#include <vector>

namespace orbisk::cli {

// remind DATE CHANNEL TIME [--lead MINUTES] [--dry-run]: the programme
// running at TIME (HH:MM) on the shown channel whose display name is
// CHANNEL, on listing day DATE; the lead defaults to Schedule/timeShift.
// Prints the reminder as JSON and, without --dry-run, submits it through
// the configured back-end (the outcome on stderr; status 1 when refused).
int remindCommand(const std::string& ini, const std::vector<std::string>& args);

}  // namespace orbisk::cli
