#pragma once
// XMLTV guides as a listing source: the identifier "X" followed by a file
// (.xml, .xml.gz, .xml.xz) or an http/https address. The kept channels'
// programmes become listing days ("HH.MM Title" under a caption block per
// channel), filed by the listing day of their local start time.
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"
#include "listing/loaders.h"

namespace orbisk {

class IniFile;

inline constexpr char kGuideLetter = 'X';

// Reads the guide (an address, isAddress, through the cache: refreshCachedCopy),
// keeps the channels env.guide names (all with keepEveryChannel) and files
// their programmes in `weeks`, which is replaced only when the whole guide
// was read; otherMsgs is emptied. A notice (copy not fresh) goes to
// env.messages. Throws Error when the guide cannot be read.
void loadFromGuide(const std::string& location, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env);

// The same for a whole document in memory, named `name` in messages.
void loadGuideBytes(std::string_view bytes, const std::string& name, WeekIndex& weeks, const LoadEnv& env);

// The display names (1251) of the guide's channels in document order, each
// once; an address is read from its cached copy (none: empty list). Reads
// only up to the first programme.
std::vector<std::string> guideChannelNames(const std::string& location, const std::string& cacheFolder = {});

// The kept list after the picking list: the kept names still ticked, in
// their order (the tabs stay where the user knows them), then the newly
// ticked ones in the order given.
std::vector<std::string> pickedChannels(const std::vector<std::string>& kept, const std::vector<std::string>& ticked);

// The names of the settings' [Channels] list, in its order.
std::vector<std::string> keptChannelNames(const IniFile& ini);
// Makes `names` the [Channels] list; a name that stays keeps its
// Channel<N> options (display name, hidden) under its new number.
void setKeptChannels(IniFile& ini, const std::vector<std::string>& names);

}  // namespace orbisk
