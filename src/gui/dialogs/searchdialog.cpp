#include "gui/dialogs/searchdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/dialogs/showingtable.h"
#include "gui/guiutil.h"
#include "gui/qtext.h"
#include "viewer/viewer.h"

namespace orbisk {

using namespace Qt::StringLiterals;

SearchDialog::SearchDialog(Viewer& viewer, QWidget* parent) : QDialog(parent), viewer_(viewer) {
    setObjectName(u"searchDialog"_s);
    setWindowTitle(u"Поиск передачи"_s);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(u"&Найти:"_s, this);
    queryEdit = new QLineEdit(this);
    queryEdit->setPlaceholderText(u"Слова из названия передачи"_s);
    queryEdit->setClearButtonEnabled(true);
    label->setBuddy(queryEdit);
    row->addWidget(label);
    row->addWidget(queryEdit, 1);
    layout->addLayout(row);

    auto* filters = new QHBoxLayout;
    auto* channelLabel = new QLabel(u"&Канал:"_s, this);
    channelCombo = new QComboBox(this);
    channelLabel->setBuddy(channelCombo);
    allDaysCheck = new QCheckBox(u"&Все загруженные дни"_s, this);
    allDaysCheck->setToolTip(u"Искать и в прошедших днях, а не только с сегодняшнего"_s);
    filters->addWidget(channelLabel);
    filters->addWidget(channelCombo, 1);
    filters->addWidget(allDaysCheck);
    layout->addLayout(filters);

    resultTable = makeShowingTable(this);
    resultTable->installEventFilter(this);
    queryEdit->installEventFilter(this);
    layout->addWidget(resultTable, 1);
    countLabel = new QLabel(this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(countLabel, 1);
    auto* hint = new QLabel(u"Enter — показать, F4 — добавить в расписание"_s, this);
    hint->setEnabled(false);
    bottom->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(760, 480);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(queryEdit, &QLineEdit::textChanged, this, [this] { runGuarded(this, [this] { runSearch(); }); });
    connect(allDaysCheck, &QCheckBox::toggled, this, [this] { runGuarded(this, [this] { runSearch(); }); });
    connect(channelCombo, &QComboBox::currentIndexChanged, this,
            [this] { runGuarded(this, [this] { runSearch(); }); });
    connect(resultTable, &QTableWidget::cellDoubleClicked, this, [this](int r) { emit openRequested(r); });
}

void SearchDialog::reload() {
    WaitCursor wait;
    const QString chosen = channelCombo->currentIndex() > 0 ? channelCombo->currentText() : QString();
    std::vector<std::string> names;
    const ProgrammeIndex& index = viewer_.programmes();
    for (const ChannelSetting& c : index.channelSettings(viewer_.settings()))
        if (!c.hide) names.push_back(c.desc);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return ansiCompareText(a, b) < 0; });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    {
        const QSignalBlocker block(channelCombo);
        channelCombo->clear();
        channelCombo->addItem(u"Все каналы"_s);
        for (const auto& name : names) channelCombo->addItem(toQString(name));
        const int keep = chosen.isEmpty() ? 0 : channelCombo->findText(chosen);
        channelCombo->setCurrentIndex(std::max(keep, 0));
    }
    runSearch();
}

void SearchDialog::runSearch() {
    const std::string channel = channelCombo->currentIndex() > 0 ? fromQString(channelCombo->currentText()) : "";
    const DateTime from = allDaysCheck->isChecked() ? 0 : viewer_.listingToday();
    results_ = viewer_.search(fromQString(queryEdit->text()), from, 0, channel);
    fillShowingTable(resultTable, results_, viewer_, kMaxRows);
    if (queryEdit->text().trimmed().isEmpty())
        countLabel->clear();
    else if (results_.size() > kMaxRows)
        countLabel->setText(u"Найдено: %1, показаны первые %2"_s.arg(results_.size()).arg(kMaxRows));
    else
        countLabel->setText(u"Найдено: %1"_s.arg(results_.size()));
}

const Showing* SearchDialog::selectedShowing() const {
    const int row = resultTable->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= results_.size() || !resultTable->item(row, 0) ||
        !resultTable->item(row, 0)->isSelected())
        return nullptr;
    return &results_[static_cast<std::size_t>(row)];
}

bool SearchDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int row = resultTable->currentRow();
    if (watched == queryEdit && (key == Qt::Key_Down || key == Qt::Key_PageDown) && resultTable->rowCount() > 0) {
        // From the field straight into the results.
        resultTable->setFocus();
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && row >= 0) {
        emit openRequested(row);
        return true;
    }
    if (key == Qt::Key_F4 && row >= 0) {
        emit reminderRequested(row);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orbisk
