#pragma once
// One load of the listing source, apart from the viewer: it fills a week
// index and a message list of its own, so it may run on another thread
// while the window keeps painting. The viewer makes it (beginRefresh) and
// takes its result on its own thread (finishRefresh), so the viewer stays
// the one owner of what the window shows.
#include <exception>
#include <string>
#include <vector>

#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/loaders.h"
#include "listing/weekindex.h"
#include "viewer/programmesearch.h"

namespace orbisk {

class Config;

class ListingLoad {
public:
    // What `config` says to load, read now; `warningShown` is the viewer's
    // flag of the mailing-structure warning.
    ListingLoad(const Config& config, const Clock& clock, bool warningShown, const GuideOptions& guide);
    ListingLoad(const ListingLoad&) = delete;
    ListingLoad& operator=(const ListingLoad&) = delete;

    // The load itself, on any thread, once; it first frees what the viewer
    // showed before. Throws nothing: an error is kept for finishRefresh.
    void run();
    // How far run() got, readable from any thread while it runs.
    const LoadProgress& progress() const { return progress_; }
    // An XMLTV guide: its download shows its own progress on the window's
    // thread, so the window runs this load there.
    bool readsGuide() const;

private:
    friend class Viewer;

    // Boxes a load raises (the structure warning, caption-date messages),
    // kept to be shown on the viewer's thread.
    class HeldNotices : public Notifier {
    public:
        struct Notice {
            std::string text, caption;
            MsgIcon icon;
        };
        void show(const std::string& text, const std::string& caption, MsgIcon icon) override {
            notices.push_back({text, caption, icon});
        }
        // A load asks nothing; a question would have no one to answer it here.
        Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Cancel; }
        std::vector<Notice> notices;
    };

    // What the viewer showed before this load, freed when it runs.
    struct Retired {
        WeekIndex weeks;
        OtherMessages otherMsgs;
        ProgrammeIndex programmes;
    };

    std::string identifier_;
    Retired retired_;
    HeldNotices held_;
    bool warningShown_;
    StructureWarning warning_;
    LoadProgress progress_;
    LoadEnv env_;
    WeekIndex weeks_;
    OtherMessages otherMsgs_;
    std::exception_ptr error_;
};

}  // namespace orbisk
