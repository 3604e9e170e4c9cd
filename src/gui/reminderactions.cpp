#include "gui/reminderactions.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include "gui/guiutil.h"
#include "gui/mainwindow.h"
#include "base/codepage.h"
#include "gui/dialogs/reminderleaddialog.h"
#include "gui/dialogs/schedulesettingsdialog.h"

namespace orbisk {

namespace {
std::string localToAnsi(const QString& s) { return utf8ToAnsi(QFile::encodeName(s).toStdString()); }
}  // namespace

ReminderActions::ReminderActions(MainWindow& window)
    : QObject(&window),
      window_(window),
      ownLibrary_(std::make_unique<TaskLibrary>(
          QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                            QLatin1String(kTaskLibraryFileName))
              .toStdString())),
      ownNet_(std::make_unique<AtNetScheduler>(window.time())),
      library_(ownLibrary_.get()),
      net_(ownNet_.get()),
      programPath_(localToAnsi(QCoreApplication::applicationFilePath())) {
    setObjectName(QStringLiteral("ScheduleActions"));
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

ReminderLeadDialog& ReminderActions::delayDlg() {
    if (!delay_) delay_ = new ReminderLeadDialog(&window_);
    return *delay_;
}

ScheduleSettingsDialog& ReminderActions::scheduleSettings() {
    if (!parms_) parms_ = new ScheduleSettingsDialog(&window_);
    return *parms_;
}

bool ReminderActions::askLeadTime(const std::string& prompt, int& minutes) {
    return delayDlg().askLeadTime(prompt, minutes);
}

bool ReminderActions::editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe,
                                            std::string& runLine) {
    return scheduleSettings().editScheduleSettings(leadMinutes, message, runMe, runLine);
}

}  // namespace orbisk
