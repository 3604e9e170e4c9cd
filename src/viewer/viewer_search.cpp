// The viewer's search and favourites: the index of the load, built on first
// use, and the jump to a showing.
#include "base/timetext.h"
#include "config/favourites.h"
#include "viewer/viewer.h"

namespace orbisk {

const ProgrammeIndex& Viewer::programmes() {
    if (!programmes_.built()) programmes_.build(weeks_, config_);
    return programmes_;
}

std::vector<Showing> Viewer::search(std::string_view words, DateTime from, DateTime to, std::string_view channel) {
    const ProgrammeIndex& index = programmes();
    SearchQuery query;
    query.words = searchWords(words);
    query.from = from;
    query.to = to;
    query.channel = channel;
    return index.search(query, index.channelSettings(config_));
}

void Viewer::reloadFavourites() {
    favourites_ = FavouriteMatcher(readFavourites(config_.ini()));
}

std::vector<bool> Viewer::favouriteEntries() const {
    const Channel* channel = channels_->current();
    if (!channel) return {};
    return favourites_.markEntries(*channel, channels_->timeLength());
}

std::vector<Showing> Viewer::favouriteShowings(DateTime date) {
    const DateTime monday = dateOf(date) - (dayOfWeek(date) + 5) % 7;
    const ProgrammeIndex& index = programmes();
    return index.favourites(favourites_, monday, monday + 6, index.channelSettings(config_));
}

DateTime Viewer::showingStart(const Showing& showing) {
    return showing.date + (showing.minutes >= kMinutesPerDay ? 1 : 0) +
           static_cast<double>(showing.minutes % kMinutesPerDay) / kMinutesPerDay;
}

bool Viewer::openShowing(const Showing& showing) {
    showDay(showing.date);
    return openChannel(showing.channel, std::string_view(showing.time));
}

}  // namespace orbisk
