#pragma once
// Drawing of the current-programmes grid's own cells: the title wrapped at
// word boundaries (column 1) and the bar of the elapsed part (column 3).
// The other columns and the header are drawn by the view.
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

namespace orbisk {

class FilmGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kTitleColumn = 1;
    static constexpr int kTimeColumn = 2;
    static constexpr int kBarColumn = 3;

    // `fraction` gives the elapsed part for a row's time cell (none: no bar).
    using Fraction = std::function<std::optional<double>(const QString& timeCell)>;
    FilmGridDelegate(Fraction fraction, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The height a row needs for its title wrapped to `width` pixels: the
    // measured text height (13 when nothing measures) plus 3.
    static int titleRowHeight(const QFontMetrics& fm, const QString& title, int width);
    // The bar inside a cell: 3 pixels off left and right, (height / 2) - 5
    // off top and bottom, filled from the left to the fraction's width.
    static QRect barRect(const QRect& cell, double fraction);

private:
    Fraction fraction_;
};

}  // namespace orbisk
