#include "gui/reminderactions.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include "base/codepage.h"
#include "gui/dialogs/reminderleaddialog.h"
#include "gui/dialogs/schedulesettingsdialog.h"
#include "gui/guiutil.h"
#include "gui/mainwindow.h"
#include "schedule/favouritereminders.h"

namespace orbisk {

ReminderActions::ReminderActions(MainWindow& window)
    : QObject(&window),
      window_(window),
      ownLibrary_(
          std::make_unique<TaskLibrary>(QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                                          QLatin1String(kTaskLibraryFileName))
                                            .toStdString())),
      ownNet_(std::make_unique<AtNetScheduler>(window.time())),
      library_(ownLibrary_.get()),
      net_(ownNet_.get()),
      programPath_(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()) {
    setObjectName(QStringLiteral("reminderActions"));
    connect(window.reminderAction, &QAction::triggered, this, [this] { onReminder(); });
    connect(window.reminderSettingsAction, &QAction::triggered, this, [this] { onReminderSettings(); });
}

ReminderActions::~ReminderActions() = default;

void ReminderActions::setBackends(TaskLibrary* library, NetScheduler* net) {
    if (library) library_ = library;
    if (net) net_ = net;
}

ReminderScheduler ReminderActions::scheduler() {
    return ReminderScheduler(window_.state(), window_.messages(), *this, *library_, *net_, programPath_);
}

void ReminderActions::onReminder() {
    runGuarded(&window_, [this] { scheduler().onReminder(); });
}

void ReminderActions::onReminderSettings() {
    runGuarded(&window_, [this] { scheduler().onReminderSettings(); });
}

void ReminderActions::onFavouriteReminders() {
    runGuarded(&window_, [this] {
        ReminderScheduler s = scheduler();
        orbisk::onFavouriteReminders(s, window_.state(), *this, window_.messages());
    });
}

ReminderLeadDialog& ReminderActions::leadDialog() {
    if (!leadDialog_) leadDialog_ = new ReminderLeadDialog(&window_);
    return *leadDialog_;
}

ScheduleSettingsDialog& ReminderActions::scheduleSettings() {
    if (!settingsDialog_) settingsDialog_ = new ScheduleSettingsDialog(&window_);
    return *settingsDialog_;
}

bool ReminderActions::askLeadTime(const std::string& prompt, int& minutes) {
    return leadDialog().askLeadTime(prompt, minutes);
}

bool ReminderActions::editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) {
    return scheduleSettings().editScheduleSettings(leadMinutes, message, runMe, runLine);
}

}  // namespace orbisk
