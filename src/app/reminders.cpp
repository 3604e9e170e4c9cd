#include "app/reminders.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include "app/guiutil.h"
#include "app/mainwindow.h"
#include "base/codepage.h"
#include "dialogs/delaydlg.h"
#include "dialogs/shedulparms.h"

namespace orbisk {

namespace {
std::string LocalToAnsi(const QString& s) { return Utf8ToAnsi(QFile::encodeName(s).toStdString()); }
}  // namespace

TScheduleActions::TScheduleActions(TfmOrbisk& window)
    : QObject(&window),
      window_(window),
      ownLibrary_(std::make_unique<TaskLibrary>(
          QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                            QLatin1String(kTaskLibraryFileName))
              .toStdString())),
      ownNet_(std::make_unique<AtNetScheduler>(window.Time())),
      library_(ownLibrary_.get()),
      net_(ownNet_.get()),
      programPath_(LocalToAnsi(QCoreApplication::applicationFilePath())) {
    setObjectName(QStringLiteral("ScheduleActions"));
    connect(window.aSchedul, &QAction::triggered, this, [this] { aSchedulExecute(); });
    connect(window.aSchedulProperty, &QAction::triggered, this, [this] { aSchedulPropertyExecute(); });
}

TScheduleActions::~TScheduleActions() = default;

void TScheduleActions::SetBackends(TaskLibrary* library, NetScheduler* net) {
    if (library) library_ = library;
    if (net) net_ = net;
}

ReminderScheduler TScheduleActions::Scheduler() {
    return ReminderScheduler(window_.State(), window_.Messages(), *this, *library_, *net_, programPath_);
}

void TScheduleActions::aSchedulExecute() {
    RunGuarded(&window_, [this] { Scheduler().aSchedulExecute(); });
}

void TScheduleActions::aSchedulPropertyExecute() {
    RunGuarded(&window_, [this] { Scheduler().aSchedulPropertyExecute(); });
}

TfmDelayDlg& TScheduleActions::DelayDlg() {
    if (!delay_) delay_ = new TfmDelayDlg(&window_);
    return *delay_;
}

TfmSchedulParms& TScheduleActions::SchedulParms() {
    if (!parms_) parms_ = new TfmSchedulParms(&window_);
    return *parms_;
}

bool TScheduleActions::AskLeadTime(const std::string& prompt, int& minutes) {
    return DelayDlg().AskLeadTime(prompt, minutes);
}

bool TScheduleActions::EditScheduleSettings(int& leadMinutes, std::string& message, bool& runMe,
                                            std::string& runLine) {
    return SchedulParms().EditScheduleSettings(leadMinutes, message, runMe, runLine);
}

}  // namespace orbisk
