// Guides from an address: python3's http.server on 127.0.0.1 serves a
// folder (it answers If-Modified-Since with 304), a socket that never
// answers stands for a dead server.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/xmltvsource.h"
#include "net/download.h"
#include "support/tempdir.h"
#include "support/zoneguard.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class HttpServer {
public:
    explicit HttpServer(const std::string& folder) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            freopen("/dev/null", "w", stderr);
            execlp("python3", "python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory",
                   folder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // "Serving HTTP on 127.0.0.1 port 43210 (http://127.0.0.1:43210/) ..."
        std::string banner;
        char c;
        while (banner.find('\n') == std::string::npos && read(fds[0], &c, 1) == 1) banner += c;
        close(fds[0]);
        const auto at = banner.find("port ");
        if (at == std::string::npos) throw std::runtime_error("http.server did not start: " + banner);
        port_ = std::stoi(banner.substr(at + 5));
    }
    ~HttpServer() { stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + name; }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// Records what each download came to; cancels when told to.
class RecordingDownloader : public Downloader, DownloadProgress {
public:
    DownloadResult run(const DownloadRequest& request) override {
        DownloadRequest r = request;
        r.connectSeconds = 2;
        r.stallSeconds = 1;
        const DownloadResult result = download(r, this);
        outcomes.push_back(result.outcome);
        return result;
    }
    bool onProgress(std::int64_t, std::int64_t) override { return !cancel; }

    std::vector<DownloadOutcome> outcomes;
    bool cancel = false;
};

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

std::string guideWith(const std::string& title) {
    return "<tv><channel id=\"c\"><display-name>C</display-name></channel>"
           "<programme start=\"20261208100000 +0300\" channel=\"c\"><title>" +
           title + "</title></programme></tv>";
}

void setModified(const std::string& file, std::time_t when) {
    utimbuf times{when, when};
    utime(file.c_str(), &times);
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

TEST(GuideDownload, ChangedUnchangedAndUnreachable) {
    TempDir served, cache;
    const std::string file = served / "g.xml";
    writeFile(file, guideWith("one"));
    setModified(file, std::time(nullptr) - 100);
    HttpServer server(served.str());
    RecordingDownloader downloader;

    CachedCopy copy = refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    EXPECT_EQ(readFile(copy.file), guideWith("one"));
    EXPECT_TRUE(copy.notice.empty());

    copy = refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    EXPECT_EQ(readFile(copy.file), guideWith("one"));

    writeFile(file, guideWith("two"));
    setModified(file, std::time(nullptr) - 50);
    copy = refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    EXPECT_EQ(readFile(copy.file), guideWith("two"));

    // A missing document on a live server keeps the copy too.
    EXPECT_THROW(refreshCachedCopy(server.url("none.xml"), cache.str(), downloader), Error);

    server.stop();
    copy = refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    EXPECT_EQ(readFile(copy.file), guideWith("two"));
    EXPECT_TRUE(startsWith(copy.notice, kOfflineNoticeText)) << ansiToUtf8(copy.notice);
    try {
        refreshCachedCopy(server.url("other.xml"), cache.str(), downloader);
        ADD_FAILURE() << "no copy, no server, no error";
    } catch (const Error& e) {
        EXPECT_TRUE(startsWith(e.what(), kNoCopyText)) << ansiToUtf8(e.what());
    }
    EXPECT_EQ(downloader.outcomes,
              (std::vector<DownloadOutcome>{DownloadOutcome::Changed, DownloadOutcome::Unchanged,
                                            DownloadOutcome::Changed, DownloadOutcome::Failed,
                                            DownloadOutcome::Failed, DownloadOutcome::Failed}));
}

TEST(GuideDownload, ASilentServerTimesOutAndACancelKeepsTheCopy) {
    // Connections are accepted by the kernel, but nobody ever answers.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    socklen_t length = sizeof address;
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/g.xml";

    TempDir cache;
    RecordingDownloader downloader;
    EXPECT_THROW(refreshCachedCopy(url, cache.str(), downloader), Error);
    EXPECT_EQ(downloader.outcomes, std::vector<DownloadOutcome>{DownloadOutcome::Failed});
    close(silent);

    TempDir served;
    writeFile(served / "g.xml", guideWith("one"));
    HttpServer server(served.str());
    downloader.cancel = true;
    try {
        refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
        ADD_FAILURE() << "cancelled without a copy";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), kDownloadCancelledText);
    }
    downloader.cancel = false;
    refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    downloader.cancel = true;
    writeFile(served / "g.xml", guideWith("two"));
    setModified(served / "g.xml", std::time(nullptr) + 100);
    const CachedCopy copy = refreshCachedCopy(server.url("g.xml"), cache.str(), downloader);
    EXPECT_TRUE(copy.cancelled);
    EXPECT_EQ(readFile(copy.file), guideWith("one"));
}

TEST(GuideDownload, AnAddressLoadsAndOfflineShowsTheCopyWithANotice) {
    test::ZoneGuard zone("MSK-3");
    TempDir served, cache;
    writeFile(served / "g.xml", guideWith("Новости"));
    auto server = std::make_unique<HttpServer>(served.str());
    const std::string url = server->url("g.xml");
    RecordingNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 8));
    LoadEnv env(notifier, clock);
    env.guide.keepEveryChannel = true;
    env.guide.cacheFolder = cache.str();
    WeekIndex weeks;
    OtherMessages other;

    loadFromGuide(url, weeks, other, env);
    const StringList online = weeks.getDay(encodeDate(2026, 12, 8))->toList();
    EXPECT_EQ(online.back(), "10.00 Новости"_cp1251);
    EXPECT_EQ(guideChannelNames(url, cache.str()), std::vector<std::string>{"C"});
    EXPECT_TRUE(notifier.shown.empty());

    server.reset();
    weeks.clear();
    loadFromGuide(url, weeks, other, env);
    EXPECT_EQ(*weeks.getDay(encodeDate(2026, 12, 8)), online);
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_TRUE(startsWith(notifier.shown[0], kOfflineNoticeText));
}

}  // namespace
}  // namespace orbisk
