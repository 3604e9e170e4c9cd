#include "gui/dialogs/downloadprogressdialog.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace orbisk {

namespace {

class SharedProgress : public DownloadProgress {
public:
    bool onProgress(std::int64_t got, std::int64_t size) override {
        received = got;
        total = size;
        return !cancel;
    }
    std::atomic<std::int64_t> received{0};
    std::atomic<std::int64_t> total{-1};
    std::atomic<bool> cancel{false};
};

}  // namespace

DownloadResult WindowDownloader::run(const DownloadRequest& request) {
    SharedProgress progress;
    std::atomic<bool> done{false};
    DownloadResult result;
    std::thread worker([&] {
        result = download(request, &progress);
        done = true;
    });

    // First the window takes no input, so that nothing starts a second
    // refresh meanwhile; a download still running then gets the dialog,
    // which keeps the window blocked but lets "Отмена" through.
    QEventLoop quiet;
    QTimer::singleShot(showAfterMs, &quiet, &QEventLoop::quit);
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &quiet, [&] {
        if (done) quiet.quit();
    });
    poll.start();
    quiet.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();

    if (!done) {
        QProgressDialog dialog(QStringLiteral("Загрузка программы XMLTV…"), QStringLiteral("Отмена"), 0, 0, parent_);
        dialog.setObjectName(QStringLiteral("downloadProgressDialog"));
        dialog.setWindowTitle(QStringLiteral("Орбиск"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.setMinimumDuration(0);
        QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { progress.cancel = true; });

        QEventLoop loop;
        QTimer tick;
        tick.setInterval(50);
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (done) {
                loop.quit();
                return;
            }
            const std::int64_t total = progress.total, received = progress.received;
            const auto kb = [](std::int64_t bytes) {
                return static_cast<int>(std::min<std::int64_t>(bytes / 1024, INT32_MAX));
            };
            dialog.setMaximum(total > 0 ? kb(total) : 0);
            dialog.setValue(total > 0 ? std::min(kb(received), kb(total)) : 0);
            dialog.setLabelText(total > 0 ? QStringLiteral("Загрузка программы XMLTV: %1 из %2 КБ")
                                                .arg(kb(received))
                                                .arg(kb(total))
                                          : QStringLiteral("Загрузка программы XMLTV: %1 КБ").arg(kb(received)));
        });
        dialog.show();
        tick.start();
        loop.exec();
    }
    worker.join();
    return result;
}

}  // namespace orbisk
