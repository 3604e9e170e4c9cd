#pragma once
// What a load of an XMLTV guide needs besides the listing settings.
#include <string>
#include <vector>

namespace orbisk {

class Downloader;

struct GuideOptions {
    // Display names (1251) of the guide channels to keep: the settings'
    // [Channels] list.
    std::vector<std::string> keptChannels;
    // orbisk-cli shows every channel of the guide.
    bool keepEveryChannel = false;
    char timeSeparator = '.';
    // Null: downloads run in the loading thread.
    Downloader* downloader = nullptr;
    // Empty: userCacheFolder().
    std::string cacheFolder;
};

}  // namespace orbisk
