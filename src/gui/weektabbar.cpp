#include "gui/weektabbar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace orbisk {
namespace {

// The caption starts 25 pixels (at 96 dpi) in, after the 16-pixel picture.
constexpr int kTextIndent = 25;
constexpr int kMargin = 2;

int scaled(const QWidget* w, int px) { return px * w->logicalDpiX() / 96; }

}  // namespace

WeekTabBar::WeekTabBar(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < 7; ++i) texts_ << QString();
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString WeekTabBar::tabText(int index) const { return index >= 0 && index < 7 ? texts_[index] : QString(); }

void WeekTabBar::setTabText(int index, const QString& text) {
    if (index < 0 || index >= 7 || texts_[index] == text) return;
    texts_[index] = text;
    if (samples_.isEmpty()) updateGeometry();
    update();
}

void WeekTabBar::setCurrentIndex(int index) {
    if (index < -1 || index >= 7 || index == current_) return;
    current_ = index;
    update();
}

void WeekTabBar::setIcons(const QIcon& selected, const QIcon& normal) {
    selectedIcon_ = selected;
    normalIcon_ = normal;
    update();
}

int WeekTabBar::tabHeight() const {
    // Room for two caption lines ("dd MMMM," and the day name when they wrap).
    return std::max(scaled(this, 20), 2 * fontMetrics().lineSpacing() + scaled(this, 2 * kMargin + 2));
}

void WeekTabBar::setWidthSamples(const QStringList& captions) {
    samples_ = captions;
    updateGeometry();
}

void WeekTabBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) updateGeometry();
    QWidget::changeEvent(event);
}

int WeekTabBar::neededWidth() const {
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    // The narrowest width at which a caption wraps into at most two lines:
    // the better of its breaks at a blank, or the whole on one line.
    auto twoLines = [&fm](const QString& text) {
        int best = fm.horizontalAdvance(text);
        for (qsizetype i = text.indexOf(QLatin1Char(' ')); i >= 0; i = text.indexOf(QLatin1Char(' '), i + 1))
            best = std::min(best, std::max(fm.horizontalAdvance(text.left(i)), fm.horizontalAdvance(text.mid(i + 1))));
        return best;
    };
    int text = 0;
    for (const QStringList* list : {&samples_, &texts_})
        for (const QString& caption : *list) text = std::max(text, twoLines(caption));
    // Text layout measures in fractions of a pixel: one more keeps a line whole.
    return scaled(this, kTextIndent + kMargin) + text + 1;
}

QSize WeekTabBar::sizeHint() const { return {std::max(scaled(this, 183), neededWidth()), 7 * tabHeight()}; }
QSize WeekTabBar::minimumSizeHint() const { return {neededWidth(), 7 * tabHeight()}; }

QRect WeekTabBar::tabRect(int index) const {
    if (index < 0 || index >= 7) return {};
    const int h = std::max(tabHeight(), height() / 7);
    return {0, index * h, width(), h};
}

int WeekTabBar::tabAt(const QPoint& p) const {
    for (int i = 0; i < 7; ++i)
        if (tabRect(i).contains(p)) return i;
    return -1;
}

void WeekTabBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const int iconSize = scaled(this, 16);
    for (int i = 0; i < 7; ++i) {
        const QRect r = tabRect(i);
        const bool selected = i == current_;
        QColor fill = selected ? pal.color(QPalette::Light) : pal.color(QPalette::Button);
        if (!selected && i == hot_) fill = pal.color(QPalette::Midlight);
        painter.fillRect(r, fill);
        painter.setPen(pal.color(QPalette::Mid));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        const QIcon& icon = selected ? selectedIcon_ : normalIcon_;
        const int m = scaled(this, kMargin);
        if (!icon.isNull()) icon.paint(&painter, QRect(r.left() + m, r.top() + m, iconSize, iconSize));
        const QRect textRect = r.adjusted(scaled(this, kTextIndent), m, -m, -m);
        QFont f = font();
        f.setBold(selected);
        painter.setFont(f);
        painter.setPen(pal.color(QPalette::ButtonText));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, texts_[i]);
    }
}

void WeekTabBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int i = tabAt(e->position().toPoint());
    if (i >= 0) emit tabClicked(i);
}

void WeekTabBar::mouseMoveEvent(QMouseEvent* e) {
    const int i = tabAt(e->position().toPoint());
    if (i != hot_) {
        hot_ = i;
        update();
    }
}

void WeekTabBar::leaveEvent(QEvent*) {
    hot_ = -1;
    update();
}

}  // namespace orbisk
