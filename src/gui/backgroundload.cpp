#include "gui/backgroundload.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "viewer/listingload.h"

using namespace Qt::StringLiterals;

namespace orbisk {

namespace {

constexpr int kProgressAfterMs = 500;
constexpr int kPollMs = 40;

}  // namespace

void runLoadInBackground(QWidget* parent, ListingLoad& load) {
    std::atomic<bool> finished{false};
    QEventLoop loop;
    std::unique_ptr<QProgressDialog> box;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished.load()) {
            loop.quit();
            return;
        }
        if (!box && clock.elapsed() >= kProgressAfterMs) {
            box = std::make_unique<QProgressDialog>(u"Чтение сообщений…"_s, QString(), 0, 0, parent);
            box->setWindowTitle(u"Орбиск"_s);
            box->setWindowModality(Qt::WindowModal);
            box->setMinimumDuration(0);
            box->setAutoClose(false);
            box->setAutoReset(false);
            box->show();
        }
        if (box) {
            const int total = load.progress().total.load(std::memory_order_relaxed);
            box->setMaximum(total);  // 0: a busy bar until the count is known
            if (total > 0) box->setValue(std::min(load.progress().done.load(std::memory_order_relaxed), total));
        }
    });
    poll.start();
    std::thread worker([&] {
        load.run();
        finished.store(true);
        // Dropped unread when the loop is gone first (the poll saw the end).
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    poll.stop();
}

}  // namespace orbisk
