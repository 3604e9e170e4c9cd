#pragma once
// Downloads over http and https (libcurl): one address into one file, asked
// conditionally (If-None-Match / If-Modified-Since) so that an unchanged
// document is not sent again, with progress, cancel and timeouts; and the
// per-user cache that keeps the last copy of each address.
#include <cstdint>
#include <string>

#include "base/cp1251.h"

namespace orbisk {

// Told of the bytes received; false cancels the download. Called from the
// thread that runs the download.
class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;
    // `total` is -1 while the server has not said.
    virtual bool onProgress(std::int64_t received, std::int64_t total) = 0;
};

struct DownloadRequest {
    std::string url;
    std::string file;  // the body goes here, only when the document changed
    // The validators of the copy at hand; empty: fetch unconditionally.
    std::string etag;
    std::string lastModified;
    long connectSeconds = 20;
    // No byte for this long ends the download (a server that never answers).
    long stallSeconds = 60;
    std::uint64_t maxBytes = std::uint64_t{1} << 30;
};

enum class DownloadOutcome { Changed, Unchanged, Failed, Cancelled };

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    std::string etag;          // of a changed document
    std::string lastModified;  // of a changed document
    std::string error;         // UTF-8, for Failed
};

// Runs in the calling thread. On anything but Changed `file` is left as it was.
DownloadResult download(const DownloadRequest& request, DownloadProgress* progress);

// How a load downloads: in its own thread by default; the window moves it
// to a worker thread and shows progress with a cancel button.
class Downloader {
public:
    virtual ~Downloader() = default;
    virtual DownloadResult run(const DownloadRequest& request) { return download(request, nullptr); }
};

// $XDG_CACHE_HOME/orbisk, else ~/.cache/orbisk (file-system names).
std::string userCacheFolder();

struct CachedCopy {
    std::string file;  // the copy to read; empty when there is none
    // 1251 text for the user when the copy is not fresh from the server.
    std::string notice;
    bool cancelled = false;
};

inline constexpr const char* kOfflineNoticeText =
    "Не удалось получить программу с сервера, показана сохранённая копия"_cp1251;
inline constexpr const char* kNoCopyText = "Не удалось получить программу с сервера, сохранённой копии нет"_cp1251;
inline constexpr const char* kDownloadCancelledText = "Загрузка программы отменена"_cp1251;

// Brings the cached copy of `url` up to date in `cacheFolder` (made when
// missing) and returns it. The copy is replaced only by a complete new
// document. Throws Error(kNoCopyText + reason) when the server cannot be
// reached and there is no copy, Error(kDownloadCancelledText) when the
// user cancelled and there is no copy.
CachedCopy refreshCachedCopy(const std::string& url, const std::string& cacheFolder, Downloader& downloader);

// The cached copy's file for `url` (it may not exist).
std::string cachedCopyFile(const std::string& url, const std::string& cacheFolder);

}  // namespace orbisk
