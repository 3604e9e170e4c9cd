#include "gui/filmgridcolumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>

#include "gui/filmgriddelegate.h"

namespace orbisk {

namespace {
constexpr int kChannelColumn = 0;
}  // namespace

FilmGridColumns::FilmGridColumns(QTableWidget* grid) : QObject(grid), grid_(grid) {
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (setting_) return;
        userSet_ = true;
        fitting_ = false;
    });
}

void FilmGridColumns::setStored(const std::array<int, 4>& widths) {
    fitting_ = false;
    setting_ = true;
    for (int c = 0; c < 4; ++c) grid_->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    setting_ = false;
}

void FilmGridColumns::fitTo(const QStringList& channelNames, const QString& timeSample) {
    if (userSet_) return;
    names_ = channelNames;
    timeSample_ = timeSample;
    fitting_ = true;
    fit();
}

bool FilmGridColumns::eventFilter(QObject* watched, QEvent* event) {
    if (fitting_ && ((watched == grid_->viewport() && event->type() == QEvent::Resize) ||
                     (watched == grid_ && event->type() == QEvent::FontChange)))
        fit();
    return QObject::eventFilter(watched, event);
}

void FilmGridColumns::fit() {
    const QFontMetrics fm(grid_->font());
    // What the view's own cells add around their text: the focus frame's
    // margin on each side and the grid line.
    const int pad = 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 1 +
                    (grid_->showGrid() ? 1 : 0);
    const QHeaderView* header = grid_->horizontalHeader();
    auto textWidth = [&](const QString& text) { return fm.horizontalAdvance(text) + pad; };

    int channel = header->sectionSizeHint(kChannelColumn);
    for (const QString& name : names_) channel = std::max(channel, textWidth(name));
    const int time = std::max(header->sectionSizeHint(FilmGridDelegate::kTimeColumn), textWidth(timeSample_));
    const int bar = std::max(header->sectionSizeHint(FilmGridDelegate::kBarColumn), textWidth(timeSample_));
    // The titles take what is left, never less than twice their heading.
    const int title = std::max(2 * header->sectionSizeHint(FilmGridDelegate::kTitleColumn),
                               grid_->viewport()->width() - channel - time - bar);

    setting_ = true;
    grid_->setColumnWidth(kChannelColumn, channel);
    grid_->setColumnWidth(FilmGridDelegate::kTitleColumn, title);
    grid_->setColumnWidth(FilmGridDelegate::kTimeColumn, time);
    grid_->setColumnWidth(FilmGridDelegate::kBarColumn, bar);
    setting_ = false;
}

}  // namespace orbisk
