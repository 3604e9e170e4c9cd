#include "gui/dialogs/showingtable.h"

#include <QHeaderView>
#include <algorithm>

#include "base/timetext.h"
#include "gui/qtext.h"
#include "viewer/viewer.h"

namespace orbisk {

using namespace Qt::StringLiterals;

QTableWidget* makeShowingTable(QWidget* parent) {
    auto* table = new QTableWidget(0, 4, parent);
    table->setHorizontalHeaderLabels({u"Дата"_s, u"Время"_s, u"Канал"_s, u"Передача"_s});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setTabKeyNavigation(false);
    return table;
}

void fillShowingTable(QTableWidget* table, const std::vector<Showing>& showings, const Viewer& viewer,
                      std::size_t maxRows) {
    const FormatSettings& format = viewer.settings().format();
    const std::size_t timeLength = viewer.settings().timeFormat().size();
    const int rows = static_cast<int>(std::min(showings.size(), maxRows));
    table->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const Showing& s = showings[static_cast<std::size_t>(r)];
        const std::string title = s.line.substr(std::min(s.line.size(), timeLength + 1));
        const std::string cells[4] = {formatDateTime("dd.mm.yyyy, dddd", s.date, format), s.time, s.channel, title};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(toQString(cells[c]));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    if (rows > 0) table->selectRow(0);
}

}  // namespace orbisk
