#include "gui/dialogs/remindersdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/cp1251.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "gui/guiutil.h"
#include "gui/qtext.h"
#include "schedule/scheduler.h"
#include "viewer/viewer.h"

namespace orbisk {

using namespace Qt::StringLiterals;

RemindersDialog::RemindersDialog(Viewer& viewer, Notifier& notifier, QWidget* parent)
    : QDialog(parent), viewer_(viewer), notifier_(notifier) {
    setObjectName(u"remindersDialog"_s);
    setWindowTitle(u"Напоминания"_s);
    auto* layout = new QVBoxLayout(this);
    reminderTable = new QTableWidget(0, 5, this);
    reminderTable->setHorizontalHeaderLabels(
        {u"Дата"_s, u"Время"_s, u"Канал"_s, u"Передача"_s, u"Сработает"_s});
    reminderTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    reminderTable->setSelectionMode(QAbstractItemView::SingleSelection);
    reminderTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reminderTable->verticalHeader()->hide();
    reminderTable->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(reminderTable, 1);
    auto* bottom = new QHBoxLayout;
    cancelButton = new QPushButton(u"&Отменить напоминание"_s, this);
    refreshButton = new QPushButton(u"&Обновить"_s, this);
    bottom->addWidget(cancelButton);
    bottom->addWidget(refreshButton);
    bottom->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(820, 360);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(refreshButton, &QPushButton::clicked, this, [this] { reload(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelSelected(); });
}

void RemindersDialog::reload() {
    WaitCursor wait;
    QueueReading reading = readQueuedReminders(tools_);
    reminders_ = std::move(reading.reminders);
    const FormatSettings& format = viewer_.settings().format();
    reminderTable->setRowCount(static_cast<int>(reminders_.size()));
    for (int r = 0; r < reminderTable->rowCount(); ++r) {
        const ReminderTag& tag = reminders_[static_cast<std::size_t>(r)].tag;
        const std::string cells[5] = {formatDateTime("dd.mm.yyyy, dddd", tag.day, format), tag.time, tag.channel,
                                      tag.title,
                                      formatDateTime("dd.mm.yyyy", tag.runs, format) + " " + formatTime(tag.runs, format)};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(toQString(cells[c]));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            reminderTable->setItem(r, c, item);
        }
    }
    reminderTable->resizeColumnsToContents();
    if (!reminders_.empty()) reminderTable->selectRow(0);
    cancelButton->setEnabled(!reminders_.empty());
    if (!reading.ok) notifier_.show(reading.error, kErrorCaption, MsgIcon::Error);
}

void RemindersDialog::cancelSelected() {
    const int row = reminderTable->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= reminders_.size()) return;
    std::string error;
    if (!cancelQueuedReminder(reminders_[static_cast<std::size_t>(row)].id, error, tools_))
        notifier_.show(error, kScheduleCaption, MsgIcon::Error);
    reload();
}

}  // namespace orbisk
