#include "gui/filmgriddelegate.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace orbisk {

FilmGridDelegate::FilmGridDelegate(Fraction fraction, QObject* parent)
    : QStyledItemDelegate(parent), fraction_(std::move(fraction)) {}

int FilmGridDelegate::titleRowHeight(const QFontMetrics& fm, const QString& title, int width) {
    const QRect r = fm.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20), Qt::TextWordWrap, title);
    const int h = title.isEmpty() ? 0 : r.height();
    return (h == 0 ? 13 : h) + 3;
}

QRect FilmGridDelegate::barRect(const QRect& cell, double fraction) {
    const int dy = cell.height() / 2 - 5;
    const QRect inner = cell.adjusted(3, dy, -3, -dy);
    const double f = std::clamp(fraction, 0.0, 1.0);
    return {inner.left(), inner.top(), static_cast<int>(std::lround(f * inner.width())), inner.height()};
}

void FilmGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int column = index.column();
    if (column != kTitleColumn && column != kBarColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    painter->fillRect(option.rect, option.palette.color(QPalette::Base));
    if (column == kTitleColumn) {
        // A favourite's title keeps the colour and font its item was given.
        const QVariant colour = index.data(Qt::ForegroundRole);
        const QVariant font = index.data(Qt::FontRole);
        painter->setPen(colour.isValid() ? colour.value<QColor>() : option.palette.color(QPalette::Text));
        painter->setFont(font.isValid() ? font.value<QFont>() : option.font);
        painter->drawText(option.rect.adjusted(2, 1, -2, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          index.data(Qt::DisplayRole).toString());
    } else if (fraction_) {
        const QString timeCell = index.siblingAtColumn(kTimeColumn).data(Qt::DisplayRole).toString();
        if (const auto f = fraction_(timeCell)) {
            const QRect bar = barRect(option.rect, *f);
            if (bar.width() > 0 && bar.height() > 0)
                painter->fillRect(bar, option.palette.color(QPalette::Highlight));
        }
    }
    painter->restore();
}

}  // namespace orbisk
