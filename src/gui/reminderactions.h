#pragma once
// The reminder actions of the main window: "Добавить в расписание" (F4 and
// a double click in the day view) and "Настройка расписания" (F3). The
// rules live in ReminderScheduler; this object owns the two dialogs (made on
// first use) and the back-ends, and is a child of the window.
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "schedule/scheduler.h"

namespace orbisk {

class MainWindow;
class ReminderLeadDialog;
class ScheduleSettingsDialog;

class ReminderActions : public QObject, public ScheduleDialogs {
    Q_OBJECT
public:
    // Connects the window's reminderAction and reminderSettingsAction.
    explicit ReminderActions(MainWindow& window);
    ~ReminderActions() override;

    bool askLeadTime(const std::string& prompt, int& minutes) override;
    bool editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) override;

    // The handlers; errors that stop them go to the general error box.
    void onReminder();
    void onReminderSettings();
    // Reminders for the coming favourite showings of the week shown.
    void onFavouriteReminders();

    ReminderLeadDialog& leadDialog();
    ScheduleSettingsDialog& scheduleSettings();

    // Other back-ends (tests); null keeps the current one. Not owned.
    void setBackends(TaskLibrary* library, NetScheduler* net);
    // The program the jobs start (Windows-1251); by default this program.
    void setProgramPath(const std::string& path) { programPath_ = path; }

private:
    ReminderScheduler scheduler();

    MainWindow& window_;
    std::unique_ptr<TaskLibrary> ownLibrary_;
    std::unique_ptr<NetScheduler> ownNet_;
    TaskLibrary* library_;
    NetScheduler* net_;
    std::string programPath_;
    QPointer<ReminderLeadDialog> leadDialog_;
    QPointer<ScheduleSettingsDialog> settingsDialog_;
};

}  // namespace orbisk
