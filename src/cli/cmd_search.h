#pragma once
// orbisk-cli search, favourites and reminders: finding showings across the
// loaded weeks, the favourites list and its week, and Orbisk's queued
// reminders.
#include <string>
#include <vector>

namespace orbisk::cli {

// search WORDS… [--from DATE] [--to DATE] [--channel NAME]: the showings
// whose titles hold every word, from today's listing day (or --from) to the
// last loaded day (or --to), on every shown channel (or the one named).
int searchCommand(const std::string& ini, const std::vector<std::string>& args);

// favourites [--week DATE]: the list and the showings it marks in the week
// holding DATE (default: today's listing day); --add TEXT / --remove TEXT
// change the list and print it.
int favouritesCommand(const std::string& ini, const std::vector<std::string>& args);

// reminders: Orbisk's reminders waiting in the queue; --cancel ID removes one.
int remindersCommand(const std::vector<std::string>& args);

}  // namespace orbisk::cli
