#include "cli/cmd_search.h"

#include <cstdio>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/ui.h"
#include "cli/common.h"
#include "config/favourites.h"
#include "schedule/queuedreminders.h"
#include "viewer/viewer.h"

namespace orbisk::cli {
namespace {

constexpr const char* kNoWordsText = "Не указано, что искать"_cp1251;
constexpr const char* kNotFavouriteText = "Этого нет в избранном"_cp1251;
constexpr const char* kEmptyFavouriteText = "Пустая строка не может быть в избранном"_cp1251;

json showingsJson(const std::vector<Showing>& showings) {
    json out = json::array();
    for (const Showing& s : showings)
        out.push_back({{"date", isoDate(s.date)},
                       {"time", toUtf8(s.time)},
                       {"channel", toUtf8(s.channel)},
                       {"line", toUtf8(s.line)}});
    return out;
}

json favouritesJson(const std::vector<std::string>& phrases) {
    json out = json::array();
    for (const auto& p : phrases) out.push_back(toUtf8(p));
    return out;
}

// "--name value" options once each, or bare words; anything else is refused.
struct Args {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> named;
    const std::string* find(const char* name) const {
        for (const auto& [n, v] : named)
            if (n == name) return &v;
        return nullptr;
    }
};

Args readArgs(const std::vector<std::string>& args, std::initializer_list<const char*> allowed, bool wordsAllowed) {
    Args out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const char* name : allowed) known = known || a == name;
            if (!known || out.find(a.c_str()) || i + 1 >= args.size()) badArgument(kBadArgumentText, a);
            out.named.emplace_back(a, args[++i]);
        } else if (wordsAllowed) {
            out.words.push_back(a);
        } else {
            badArgument(kBadArgumentText, a);
        }
    }
    return out;
}

}  // namespace

int searchCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = readArgs(args, {"--from", "--to", "--channel"}, true);
    std::string words;
    for (const auto& w : a.words) words += utf8ToAnsi(w) + ' ';
    if (searchWords(words).empty()) throw Error(kNoWordsText);
    const std::string* from = a.find("--from");
    const std::string* to = a.find("--to");
    const std::string* channel = a.find("--channel");
    const DateTime toDate = to ? parseDate(*to) : 0;
    const DateTime fromDate = from ? parseDate(*from) : 0;

    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    const DateTime first = from ? fromDate : viewer.listingToday();
    const auto found = viewer.search(words, first, toDate, channel ? utf8ToAnsi(*channel) : std::string());
    json out = {{"from", isoDate(first)}, {"to", to ? json(isoDate(toDate)) : json(nullptr)}};
    if (channel) out["channel"] = *channel;
    out["results"] = showingsJson(found);
    print(out);
    return 0;
}

int favouritesCommand(const std::string& ini, const std::vector<std::string>& args) {
    const Args a = readArgs(args, {"--week", "--add", "--remove"}, false);
    const std::string* week = a.find("--week");
    const std::string* add = a.find("--add");
    const std::string* remove = a.find("--remove");
    if ((add || remove) && (week || a.named.size() > 1)) badArgument(kBadArgumentText, a.named.back().first);
    const DateTime weekDate = week ? parseDate(*week) : 0;

    if (add || remove) {
        Config config(ini);
        if (!config.fileExists()) throw Error(kConfigMissingText);
        json out;
        if (add) {
            const std::string phrase = utf8ToAnsi(*add);
            if (phrase.find_first_not_of(" \t") == std::string::npos) throw Error(kEmptyFavouriteText);
            out["added"] = addFavourite(config.ini(), phrase);
        } else {
            if (!removeFavourite(config.ini(), utf8ToAnsi(*remove)))
                throw Error(std::string(kNotFavouriteText) + " \"" + utf8ToAnsi(*remove) + "\"");
            out["removed"] = true;
        }
        out["favourites"] = favouritesJson(readFavourites(config.ini()));
        print(out);
        return 0;
    }

    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    const DateTime date = week ? weekDate : viewer.listingToday();
    const DateTime monday = date - (dayOfWeek(date) + 5) % 7;
    print({{"favourites", favouritesJson(readFavourites(viewer.settings().ini()))},
           {"week", {{"start", isoDate(monday)}, {"end", isoDate(monday + 6)}}},
           {"showings", showingsJson(viewer.favouriteShowings(date))}});
    return 0;
}

int remindersCommand(const std::vector<std::string>& args) {
    const Args a = readArgs(args, {"--cancel"}, false);
    if (const std::string* cancel = a.find("--cancel")) {
        int id = 0;
        if (!tryDecimalToInt(*cancel, id) || id <= 0) badArgument(kBadArgumentText, *cancel);
        std::string error;
        if (!cancelQueuedReminder(id, error)) throw Error(error);
        print({{"cancelled", id}});
        return 0;
    }
    const QueueReading reading = readQueuedReminders();
    if (!reading.ok) throw Error(reading.error);
    json out = json::array();
    for (const QueuedReminder& r : reading.reminders) {
        int h, m, s, ms;
        decodeTime(r.tag.runs, h, m, s, ms);
        char time[8];
        std::snprintf(time, sizeof time, "%02d:%02d", h, m);
        out.push_back({{"id", r.id},
                       {"date", isoDate(r.tag.day)},
                       {"time", toUtf8(r.tag.time)},
                       {"channel", toUtf8(r.tag.channel)},
                       {"title", toUtf8(r.tag.title)},
                       {"runs", isoDate(dateOf(r.tag.runs)) + " " + time}});
    }
    print({{"reminders", out}});
    return 0;
}

}  // namespace orbisk::cli
