#include "gui/dialogfocus.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace orbisk {

namespace {

class DialogFocus : public QObject {
public:
    DialogFocus(QWidget* window, std::function<void()> focusView)
        : QObject(window), window_(window), focusView_(std::move(focusView)) {
        qApp->installEventFilter(this);
    }
    ~DialogFocus() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Hide || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        // A box over a dialog belongs to that dialog: the focus stays there.
        if (!w->isWindow() || !w->isModal() || !w->parentWidget() || w->parentWidget()->window() != window_)
            return false;
        // Once the hide is done; a dialog that opens the next one at once
        // (first-run prompts) keeps the keyboard for it.
        QTimer::singleShot(0, this, [this] {
            if (!window_ || QApplication::activeModalWidget() || !window_->isVisible()) return;
            window_->activateWindow();
            focusView_();
        });
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void()> focusView_;
};

}  // namespace

void returnFocusAfterDialogs(QWidget* window, std::function<void()> focusView) {
    new DialogFocus(window, std::move(focusView));
}

}  // namespace orbisk
