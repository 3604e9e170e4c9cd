#include "gui/guideactions.h"

#include <QAction>
#include <QMenu>
#include <unordered_set>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/inifile.h"
#include "base/ui.h"
#include "gui/dialogs/channelpickerdialog.h"
#include "gui/guiutil.h"
#include "gui/mainwindow.h"
#include "listing/xmltvsource.h"
#include "viewer/viewer.h"

namespace orbisk {

namespace {
constexpr const char* kNoGuideChannelsText = "В программе XMLTV не найдено ни одного канала"_cp1251;
constexpr const char* kSettingsCaption = "Установки"_cp1251;
}  // namespace

GuideActions::GuideActions(MainWindow& window) : QObject(&window), window_(window), downloader_(&window) {
    setObjectName(QStringLiteral("guideActions"));
    window.state().guideOptions().downloader = &downloader_;
    pickAction = new QAction(QStringLiteral("Каналы программы &XMLTV…"), &window);
    pickAction->setObjectName(QStringLiteral("guideChannelsAction"));
    pickAction->setStatusTip(QStringLiteral("Выбрать каналы программы XMLTV, которые нужно показывать"));
    pickAction->setEnabled(false);
    window.addAction(pickAction);
    for (QObject* o : window.channelsAction->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(o);
        if (!menu) continue;
        const auto actions = menu->actions();
        const auto at = actions.indexOf(window.channelsAction);
        menu->insertAction(at + 1 < actions.size() ? actions[at + 1] : nullptr, pickAction);
    }
    connect(pickAction, &QAction::triggered, this, [this] { runGuarded(&window_, [this] { pickChannels(); }); });
    // Runs after the window's own handler, which saved the day's channels.
    connect(window.channelsAction, &QAction::triggered, this,
            [this] { runGuarded(&window_, [this] { keepChannelsOfOtherDays(); }); });
}

void GuideActions::keepChannelsOfOtherDays() {
    if (!guideSource()) return;
    IniFile& ini = window_.state().settings().ini();
    std::vector<std::string> kept = keptChannelNames(ini);
    const std::unordered_set<std::string> now(kept.begin(), kept.end());
    bool dropped = false;
    for (const auto& name : keptAtRefresh_)
        if (!now.count(name)) {
            kept.push_back(name);
            dropped = true;
        }
    if (dropped) setKeptChannels(ini, kept);
    keptAtRefresh_ = kept;
}

// The window's viewer, which holds a pointer to downloader_, goes before the
// window's children do.
GuideActions::~GuideActions() = default;

bool GuideActions::guideSource() const {
    const std::string& id = window_.state().settings().fidoPath();
    return !id.empty() && id[0] == kGuideLetter;
}

void GuideActions::afterRefresh() {
    pickAction->setEnabled(guideSource());
    keptAtRefresh_ = keptChannelNames(window_.state().settings().ini());
    if (!guideSource() || asked_) return;
    if (!keptChannelNames(window_.state().settings().ini()).empty()) return;
    asked_ = true;
    pickChannels();
}

ChannelPickerDialog& GuideActions::picker() {
    if (!picker_) picker_ = new ChannelPickerDialog(&window_);
    return *picker_;
}

bool GuideActions::pickChannels() {
    if (!guideSource()) return false;
    Config& config = window_.state().settings();
    const std::vector<std::string> names = guideChannelNames(ansiToFileName(config.fidoPath().substr(1)));
    if (names.empty()) {
        window_.messages().show(kNoGuideChannelsText, kSettingsCaption, MsgIcon::Warning);
        return false;
    }
    const std::vector<std::string> kept = keptChannelNames(config.ini());
    ChannelPickerDialog& dialog = picker();
    dialog.setChannels(names, kept);
    if (dialog.exec() != QDialog::Accepted) return false;
    const std::vector<std::string> picked = pickedChannels(kept, dialog.tickedNames());
    if (picked == kept) return false;
    setKeptChannels(config.ini(), picked);
    window_.refreshListings();
    return true;
}

}  // namespace orbisk
