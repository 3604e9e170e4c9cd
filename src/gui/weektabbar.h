#pragma once
// The week list of the main window: a column of seven flat tabs, Monday to
// Sunday, each drawn by hand (fill, picture, caption that may wrap) and
// hot-tracked under the mouse.
#include <QIcon>
#include <QStringList>
#include <QWidget>

namespace orbisk {

class WeekTabBar : public QWidget {
    Q_OBJECT
public:
    explicit WeekTabBar(QWidget* parent = nullptr);

    int count() const { return 7; }
    QString tabText(int index) const;
    void setTabText(int index, const QString& text);
    int currentIndex() const { return current_; }
    // Changes the selection without emitting tabClicked.
    void setCurrentIndex(int index);
    QRect tabRect(int index) const;
    // Pictures for the selected and the other tabs.
    void setIcons(const QIcon& selected, const QIcon& normal);
    // Every caption the tabs may show: the bar is as wide as the widest of
    // them needs in two lines, in the bold font of the selected tab.
    void setWidthSamples(const QStringList& captions);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user clicked tab `index` (the selection changes only when the
    // owner shows that day).
    void tabClicked(int index);

protected:
    void changeEvent(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    int tabAt(const QPoint& p) const;
    int tabHeight() const;
    int neededWidth() const;

    QStringList texts_;
    QStringList samples_;
    int current_ = -1;
    int hot_ = -1;
    QIcon selectedIcon_;
    QIcon normalIcon_;
};

}  // namespace orbisk
