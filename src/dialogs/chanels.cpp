#include "dialogs/chanels.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qtext.h"
#include "listing/channels.h"

namespace orbisk {

TfmChanelOptions::TfmChanelOptions(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("fmChanelOptions"));
    setWindowTitle(Q("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2"));  // Настройка каналов
    gbOptions()->hide();
    // Enter belongs to the list here: it confirms only while no name is edited.
    btOk()->setDefault(false);

    lvChanel = new TChannelListView(0, 2, this);
    lvChanel->setObjectName(QStringLiteral("lvChanel"));
    lvChanel->setHorizontalHeaderLabels(
        {Q("\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xEC\xEE\xE5 \xED\xE0\xE7\xE2\xE0\xED\xE8\xE5"),  // Отображаемое название
         Q("\xCD\xE0\xE8\xEC\xE5\xED\xEE\xE2\xE0\xED\xE8\xE5 \xEA\xE0\xED\xE0\xEB\xE0")});         // Наименование канала
    lvChanel->verticalHeader()->hide();
    lvChanel->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + Px(6));
    lvChanel->setShowGrid(true);
    lvChanel->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvChanel->setSelectionMode(QAbstractItemView::SingleSelection);
    lvChanel->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvChanel->setWordWrap(false);
    lvChanel->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lvChanel->horizontalHeader()->setStretchLastSection(true);
    connect(lvChanel, &QTableWidget::cellDoubleClicked, this, [this] { lvChanelDblClick(); });
    Body()->addWidget(lvChanel, 1);

    SetResizable(true);
    resize(Px(423), Px(343));
}

void TfmChanelOptions::Fill(const TChannels& channels) {
    const std::vector<ChannelRow> rows = ChannelRowsOf(channels);
    lvChanel->clearSelection();
    lvChanel->setRowCount(0);
    lvChanel->setRowCount(static_cast<int>(rows.size()));
    int r = 0;
    for (const ChannelRow& row : rows) {
        auto* desc = new QTableWidgetItem(Q(row.desc));
        desc->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
        desc->setCheckState(row.shown ? Qt::Checked : Qt::Unchecked);
        auto* name = new QTableWidgetItem(Q(row.name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        lvChanel->setItem(r, 0, desc);
        lvChanel->setItem(r, 1, name);
        ++r;
    }
    lvChanel->resizeColumnsToContents();
}

std::vector<ChannelRow> TfmChanelOptions::Rows() const {
    std::vector<ChannelRow> rows;
    for (int r = 0; r < lvChanel->rowCount(); ++r) {
        const QTableWidgetItem* desc = lvChanel->item(r, 0);
        const QTableWidgetItem* name = lvChanel->item(r, 1);
        rows.push_back({desc ? A(desc->text()) : std::string(), desc && desc->checkState() == Qt::Checked,
                        name ? A(name->text()) : std::string()});
    }
    return rows;
}

void TfmChanelOptions::lvChanelDblClick() {
    const QList<QTableWidgetItem*> selected = lvChanel->selectedItems();
    if (selected.isEmpty()) return;
    if (QTableWidgetItem* desc = lvChanel->item(selected.first()->row(), 0)) lvChanel->editItem(desc);
}

void TfmChanelOptions::keyPressEvent(QKeyEvent* event) {
    // Reaches the dialog from the list (a focused button takes Enter itself;
    // the name editor takes it to end the edit).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!lvChanel->IsEditing()) accept();
        return;
    }
    TfmAbstOptionsDlg::keyPressEvent(event);
}

}  // namespace orbisk
