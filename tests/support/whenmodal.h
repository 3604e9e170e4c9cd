#pragma once
// Window tests drive a modal dialog from a timer, because the call that
// opens it only returns once the dialog has closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace orbisk::test {

// Runs `drive` on the next modal widget of type T; fails the test when none
// shows within ten seconds.
template <typename T>
void whenModal(std::function<void(T*)> drive) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, drive] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            drive(w);
        } else if (++*waited > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " appeared";
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
        }
    });
    timer->start(20);
}

}  // namespace orbisk::test
