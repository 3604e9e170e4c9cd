#include "gui/dialogs/channeloptionsdialog.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/qtext.h"
#include "listing/channellist.h"

namespace orbisk {

ChannelOptionsDialog::ChannelOptionsDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("channelOptionsDialog"));
    setWindowTitle(QStringLiteral("Настройка каналов"));
    optionsGroup()->hide();
    // Enter belongs to the list here: it confirms only while no name is edited.
    okButton()->setDefault(false);

    channelList = new ChannelListView(0, 2, this);
    channelList->setObjectName(QStringLiteral("channelList"));
    channelList->setHorizontalHeaderLabels(
        {QStringLiteral("Отображаемое название"), QStringLiteral("Наименование канала")});
    channelList->verticalHeader()->hide();
    channelList->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + px(6));
    channelList->setShowGrid(true);
    channelList->setSelectionBehavior(QAbstractItemView::SelectRows);
    channelList->setSelectionMode(QAbstractItemView::SingleSelection);
    channelList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    channelList->setWordWrap(false);
    channelList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    channelList->horizontalHeader()->setStretchLastSection(true);
    connect(channelList, &QTableWidget::cellDoubleClicked, this, [this] { onChannelListDoubleClicked(); });
    body()->addWidget(channelList, 1);

    setResizable(true);
    resize(px(423), px(343));
}

void ChannelOptionsDialog::fill(const ChannelList& channels) {
    const std::vector<ChannelRow> rows = channelRowsOf(channels);
    channelList->clearSelection();
    channelList->setRowCount(0);
    channelList->setRowCount(static_cast<int>(rows.size()));
    int r = 0;
    for (const ChannelRow& row : rows) {
        auto* desc = new QTableWidgetItem(toQString(row.desc));
        desc->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
        desc->setCheckState(row.shown ? Qt::Checked : Qt::Unchecked);
        auto* name = new QTableWidgetItem(toQString(row.name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        channelList->setItem(r, 0, desc);
        channelList->setItem(r, 1, name);
        ++r;
    }
    channelList->resizeColumnsToContents();
}

std::vector<ChannelRow> ChannelOptionsDialog::rows() const {
    std::vector<ChannelRow> rows;
    for (int r = 0; r < channelList->rowCount(); ++r) {
        const QTableWidgetItem* desc = channelList->item(r, 0);
        const QTableWidgetItem* name = channelList->item(r, 1);
        rows.push_back({desc ? fromQString(desc->text()) : std::string(), desc && desc->checkState() == Qt::Checked,
                        name ? fromQString(name->text()) : std::string()});
    }
    return rows;
}

void ChannelOptionsDialog::onChannelListDoubleClicked() {
    const QList<QTableWidgetItem*> selected = channelList->selectedItems();
    if (selected.isEmpty()) return;
    if (QTableWidgetItem* desc = channelList->item(selected.first()->row(), 0)) channelList->editItem(desc);
}

void ChannelOptionsDialog::keyPressEvent(QKeyEvent* event) {
    // Reaches the dialog from the list (a focused button takes Enter itself;
    // the name editor takes it to end the edit).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!channelList->isEditing()) accept();
        return;
    }
    OptionsDialog::keyPressEvent(event);
}

}  // namespace orbisk
