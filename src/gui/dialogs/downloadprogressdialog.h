#pragma once
// Downloads for the window: the transfer runs on a worker thread while a
// progress dialog with "Отмена" keeps the window alive; the dialog appears
// only when the download takes a moment (a 304 answer never shows it).
#include "net/download.h"

class QWidget;

namespace orbisk {

class WindowDownloader : public Downloader {
public:
    explicit WindowDownloader(QWidget* parent) : parent_(parent) {}
    DownloadResult run(const DownloadRequest& request) override;

    // How long a download runs before the dialog shows.
    int showAfterMs = 400;

private:
    QWidget* parent_;
};

}  // namespace orbisk
