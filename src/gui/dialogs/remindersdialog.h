#pragma once
// "Напоминания": the reminders Orbisk has put in the system's queue, read
// back from the queue, with the showing each is for and when it fires; the
// selected one can be cancelled.
#include <QDialog>

#include "schedule/queuedreminders.h"

class QPushButton;
class QTableWidget;

namespace orbisk {

class Notifier;
class Viewer;

class RemindersDialog : public QDialog {
    Q_OBJECT
public:
    RemindersDialog(Viewer& viewer, Notifier& notifier, QWidget* parent = nullptr);

    // Reads the queue anew; a queue that cannot be read is said in a box.
    void reload();
    // Cancels the selected reminder (the queue is read again after).
    void cancelSelected();
    const std::vector<QueuedReminder>& reminders() const { return reminders_; }
    void setTools(const AtTools& tools) { tools_ = tools; }

    QTableWidget* reminderTable;
    QPushButton* cancelButton;
    QPushButton* refreshButton;

private:
    Viewer& viewer_;
    Notifier& notifier_;
    AtTools tools_;
    std::vector<QueuedReminder> reminders_;
};

}  // namespace orbisk
