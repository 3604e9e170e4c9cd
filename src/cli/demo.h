#pragma once
// A realistic listing for trying the program out: ten channels, a full week
// from morning to past midnight, either as the seven internet text files or
// as a seven-part mailing in a Fido *.MSG echo area among a few ordinary
// messages, with an Orbisk.ini that points at it. The same date always gives
// the same listing.
#include <string>

#include "base/datetime.h"

namespace orbisk::cli {

enum class DemoFormat { Text, Msg };

// Writes <dir>/Orbisk.ini and the listing of the week (Monday to Sunday)
// that holds `date`: <dir>/tv/1.txt ... 7.txt (fidoPath "I<dir>/tv") or the
// area <dir>/echo (fidoPath "F<dir>/echo", whose earlier *.msg files are
// replaced). The dates in the listing carry no year: a load judges it from
// its own clock, so the week must lie within a month or two of the day it is
// read. Returns the path of the INI file. Throws Error when a file cannot be
// written.
std::string writeDemo(const std::string& dir, DateTime date, DemoFormat format);

}  // namespace orbisk::cli
