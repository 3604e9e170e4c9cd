#include "net/download.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "base/codepage.h"
#include "base/error.h"

namespace orbisk {

namespace {

struct Transfer {
    std::FILE* out = nullptr;
    std::uint64_t written = 0;
    std::uint64_t maxBytes = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    DownloadProgress* progress = nullptr;
    std::string etag, lastModified;
};

std::size_t onBody(char* data, std::size_t, std::size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (t->written + size > t->maxBytes) {
        t->tooLarge = true;
        return 0;
    }
    if (std::fwrite(data, 1, size, t->out) != size) {
        t->writeFailed = true;
        return 0;
    }
    t->written += size;
    return size;
}

std::string headerValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return {};
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return {};
    std::string_view v = line.substr(name.size() + 1);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == '\r' || v.back() == '\n' || v.back() == ' ')) v.remove_suffix(1);
    return std::string(v);
}

std::size_t onHeader(char* data, std::size_t, std::size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::string_view line(data, size);
    // A redirect's headers come first; only the last response's count.
    if (line.substr(0, 5) == "HTTP/") t->etag.clear(), t->lastModified.clear();
    if (auto v = headerValue(line, "etag"); !v.empty()) t->etag = v;
    if (auto v = headerValue(line, "last-modified"); !v.empty()) t->lastModified = v;
    return size;
}

int onProgress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->progress) return 0;
    return t->progress->onProgress(received, total > 0 ? total : -1) ? 0 : 1;
}

std::uint64_t hashOf(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

struct Validators {
    std::string etag, lastModified;
};

Validators readValidators(const std::string& metaFile, const std::string& url) {
    std::ifstream in(metaFile);
    std::string storedUrl;
    Validators v;
    if (!std::getline(in, storedUrl) || storedUrl != url) return {};
    std::getline(in, v.etag);
    std::getline(in, v.lastModified);
    return v;
}

bool writeValidators(const std::string& metaFile, const std::string& url, const DownloadResult& r) {
    const std::string tmp = metaFile + ".part";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << url << '\n' << r.etag << '\n' << r.lastModified << '\n';
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), metaFile.c_str()) == 0;
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

DownloadResult download(const DownloadRequest& request, DownloadProgress* progress) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    DownloadResult result;
    const std::string part = request.file + ".part";
    Transfer t;
    t.maxBytes = request.maxBytes;
    t.progress = progress;
    t.out = std::fopen(part.c_str(), "wb");
    if (!t.out) {
        result.error = "cannot write " + part;
        return result;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        std::fclose(t.out);
        std::remove(part.c_str());
        result.error = "libcurl";
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = "";
    curl_slist* headers = nullptr;
    if (!request.etag.empty()) headers = curl_slist_append(headers, ("If-None-Match: " + request.etag).c_str());
    if (!request.lastModified.empty())
        headers = curl_slist_append(headers, ("If-Modified-Since: " + request.lastModified).c_str());
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Orbisk");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, request.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, request.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    const bool closed = std::fclose(t.out) == 0;

    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        result.outcome = DownloadOutcome::Cancelled;
    } else if (t.tooLarge) {
        result.error = "larger than " + std::to_string(request.maxBytes >> 20) + " MB";
    } else if (rc != CURLE_OK || t.writeFailed || !closed) {
        result.error = t.writeFailed || !closed ? "cannot write " + part : *errorText ? errorText : curl_easy_strerror(rc);
    } else if (status == 304) {
        result.outcome = DownloadOutcome::Unchanged;
    } else if (status != 200) {
        result.error = "HTTP " + std::to_string(status);
    } else if (std::rename(part.c_str(), request.file.c_str()) != 0) {
        result.error = "cannot write " + request.file;
    } else {
        result.outcome = DownloadOutcome::Changed;
        result.etag = t.etag;
        result.lastModified = t.lastModified;
        return result;
    }
    std::remove(part.c_str());
    return result;
}

std::string userCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/orbisk";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.cache/orbisk";
}

std::string cachedCopyFile(const std::string& url, const std::string& cacheFolder) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.guide", static_cast<unsigned long long>(hashOf(url)));
    return cacheFolder + "/" + name;
}

CachedCopy refreshCachedCopy(const std::string& url, const std::string& cacheFolder, Downloader& downloader) {
    // The parent first: $XDG_CACHE_HOME or ~/.cache may not exist yet.
    const auto slash = cacheFolder.rfind('/');
    if (slash != std::string::npos && slash > 0) ::mkdir(cacheFolder.substr(0, slash).c_str(), 0700);
    ::mkdir(cacheFolder.c_str(), 0700);

    CachedCopy copy;
    const std::string file = cachedCopyFile(url, cacheFolder);
    const std::string meta = file + ".meta";
    const bool haveCopy = isFile(file);
    DownloadRequest request;
    request.url = url;
    request.file = file;
    if (haveCopy) {
        const Validators v = readValidators(meta, url);
        request.etag = v.etag;
        request.lastModified = v.lastModified;
    }
    const DownloadResult r = downloader.run(request);
    switch (r.outcome) {
        case DownloadOutcome::Changed:
            writeValidators(meta, url, r);
            copy.file = file;
            return copy;
        case DownloadOutcome::Unchanged:
            if (haveCopy) {
                copy.file = file;
                return copy;
            }
            break;
        case DownloadOutcome::Cancelled:
            if (!haveCopy) throw Error(kDownloadCancelledText);
            copy.file = file;
            copy.cancelled = true;
            return copy;
        case DownloadOutcome::Failed:
            if (haveCopy) {
                copy.file = file;
                copy.notice = std::string(kOfflineNoticeText) + " (" + utf8ToAnsi(r.error) + ")";
                return copy;
            }
            break;
    }
    // 304 for a copy we do not have, or no copy to fall back on.
    throw Error(std::string(kNoCopyText) + " (" + utf8ToAnsi(r.error.empty() ? "HTTP 304" : r.error) + ")");
}

}  // namespace orbisk
