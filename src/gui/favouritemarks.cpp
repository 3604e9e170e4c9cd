#include "gui/favouritemarks.h"

#include <QTableWidget>
#include <QTextCursor>
#include <QTextDocument>

namespace orbisk {

QColor favouriteColour(bool darkPage, bool onYellow) {
    return darkPage && !onYellow ? QColor(255, 150, 170) : QColor(160, 0, 40);
}

void markFavouriteLines(QTextDocument* doc, const DayText& text, const std::vector<bool>& marks,
                        std::size_t timeLength, int runningLine, bool darkPage) {
    for (int i = 0; i < text.lineCount() && i < static_cast<int>(marks.size()); ++i) {
        if (!marks[static_cast<std::size_t>(i)]) continue;
        const TextRange line = text.line(i);
        const TextRange time = text.prefix(i, timeLength);
        QTextCharFormat format;
        format.setForeground(favouriteColour(darkPage, i == runningLine));
        format.setFontItalic(true);
        QTextCursor cursor(doc);
        cursor.setPosition(line.start + time.length);
        cursor.setPosition(line.start + line.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

void markFavouriteRow(QTableWidget* grid, int row, bool favourite) {
    const bool darkPage = grid->palette().color(QPalette::Base).lightness() < 128;
    for (int column : {0, 1}) {
        QTableWidgetItem* item = grid->item(row, column);
        if (!item) continue;
        QFont font = grid->font();
        font.setItalic(favourite);
        item->setData(Qt::FontRole, favourite ? QVariant(font) : QVariant());
        item->setData(Qt::ForegroundRole, favourite ? QVariant(favouriteColour(darkPage)) : QVariant());
    }
}

}  // namespace orbisk
