#include "viewer/listingload.h"

#include "base/codepage.h"
#include "config/config.h"
#include "listing/xmltvsource.h"

namespace orbisk {

ListingLoad::ListingLoad(const Config& config, const Clock& clock, bool warningShown, const GuideOptions& guide)
    // The identifier is kept in 1251, as the settings file holds it; the
    // loaders open file-system names.
    : identifier_(ansiToFileName(config.fidoPath())),
      warningShown_(warningShown),
      warning_(held_, config.enableWarning(), warningShown_),
      env_(config, held_, clock, &warning_) {
    env_.progress = &progress_;
    env_.guide.keepEveryChannel = guide.keepEveryChannel;
    env_.guide.downloader = guide.downloader;
    env_.guide.cacheFolder = guide.cacheFolder;
}

bool ListingLoad::readsGuide() const {
    return !identifier_.empty() && identifier_[0] == kGuideLetter;
}

void ListingLoad::run() {
    // Before the load, so that it reuses the memory.
    retired_ = {};
    try {
        loadListings(identifier_, weeks_, otherMsgs_, env_);
    } catch (...) {
        error_ = std::current_exception();
    }
}

}  // namespace orbisk
