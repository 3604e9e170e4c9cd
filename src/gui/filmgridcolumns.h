#pragma once
// The current-programmes grid's column widths before the user has any: the
// channel column as wide as the widest channel name, the time column as a
// start and end time, the bar column its heading, and the titles the rest of
// the grid's width. The fit follows the grid's size and font until the
// user drags a column; widths stored in the settings replace it.
#include <QObject>
#include <QStringList>
#include <array>

class QTableWidget;

namespace orbisk {

class FilmGridColumns : public QObject {
    Q_OBJECT
public:
    explicit FilmGridColumns(QTableWidget* grid);

    // The stored widths; nothing is fitted any more.
    void setStored(const std::array<int, 4>& widths);
    // Fits the columns to these channel names and a time cell like
    // `timeSample` ("00.00-00.00"), now and whenever the grid changes size or
    // font, unless the user has set a width.
    void fitTo(const QStringList& channelNames, const QString& timeSample);
    bool fitting() const { return fitting_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QTableWidget* grid_;
    QStringList names_;
    QString timeSample_;
    bool fitting_ = false;
    bool userSet_ = false;
    bool setting_ = false;
};

}  // namespace orbisk
