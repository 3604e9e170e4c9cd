#include "gui/singleinstance.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/cp1251.h"
#include "gui/qtext.h"
#include "gui/startup.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::TempDir;

namespace {

// "Первый канал"
const std::string kChannel = "Первый канал"_cp1251;

constexpr int kNoAnswer = -1;
constexpr int kNoConnection = -2;

// A client made of plain system calls only, so it can run in a forked child
// of this (threaded) test process. Returns the answer byte, kNoAnswer when
// the server closed without one, kNoConnection when it could not connect.
int rawRequest(const char* socketPath, const char* data, size_t size, bool thenHangUp = false) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kNoConnection;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    strncpy(addr.sun_path, socketPath, sizeof addr.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return kNoConnection;
    }
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (thenHangUp) shutdown(fd, SHUT_WR);
    unsigned char answer = 0;
    const ssize_t n = read(fd, &answer, 1);
    close(fd);
    return n == 1 ? answer : kNoAnswer;
}

// Runs `client` on a thread while this thread's event loop serves; returns
// its result.
int serveWhile(const std::function<int()>& client) {
    std::atomic<bool> finished{false};
    int result = 0;
    std::thread t([&] {
        result = client();
        finished = true;
    });
    const bool inTime = QTest::qWaitFor([&] { return finished.load(); }, 15000);
    t.join();
    EXPECT_TRUE(inTime) << "client did not finish";
    return result;
}

// Runs `child` in a forked process while this process's event loop serves;
// returns the child's exit code (or -1 when it did not end normally).
int serveWhileChild(const std::function<int()>& child) {
    const pid_t pid = fork();
    if (pid == 0) _exit(child());
    int status = 0;
    const bool ended = QTest::qWaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 15000);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "child did not end";
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Served {
    std::vector<ReminderRecord> records;
    std::vector<qint64> pids;
    int rejected = 0;
};

void observe(ReminderServer& server, Served& served) {
    QObject::connect(&server, &ReminderServer::recordHandled, &server,
                     [&served](const ReminderRecord& r, qint64 pid, int) {
                         served.records.push_back(r);
                         served.pids.push_back(pid);
                     });
    QObject::connect(&server, &ReminderServer::requestRejected, &server, [&served] { ++served.rejected; });
}

// The handler of the main window in miniature: 1 when the record names the
// one channel it knows.
int knowsOneChannel(const ReminderRecord& r) { return r.reminderChannel() == kChannel ? 1 : 0; }

TEST(SingleInstanceTest, RuntimeFolderIsPrivate) {
    TempDir dir;
    const QByteArray oldXdg = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.str()));
    const std::string folder = runtimeFolder();
    EXPECT_EQ(folder, dir / "orbisk");
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Left open to others (by hand, by an old umask): closed again.
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(runtimeFolder(), folder);
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A symlink in its place is never followed.
    std::filesystem::remove(folder);
    std::filesystem::create_directory(dir / "elsewhere");
    std::filesystem::create_directory_symlink(dir / "elsewhere", folder);
    EXPECT_NE(runtimeFolder(), folder);

    if (oldXdg.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", oldXdg);
}

// Without XDG_RUNTIME_DIR, a /tmp name that another user took first (or a
// symlink there) sends us to a folder of our own in the home folder.
TEST(SingleInstanceTest, TakenTmpFolderFallsBackToTheHomeFolder) {
    TempDir tmp, home;
    const std::string uid = std::to_string(geteuid());
    EXPECT_EQ(runtimeFolderIn(nullptr, tmp.str(), home.str().c_str()), tmp / ("orbisk-" + uid));

    TempDir tmp2;
    const std::string taken = tmp2 / ("orbisk-" + uid);
    std::filesystem::create_directory(tmp2 / "theirs");
    std::filesystem::create_directory_symlink(tmp2 / "theirs", taken);
    const std::string expected = home / (".cache/orbisk-" + uid);
    EXPECT_EQ(runtimeFolderIn(nullptr, tmp2.str(), home.str().c_str()), expected);
    struct stat st {};
    ASSERT_EQ(stat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Without a home folder either: no folder, rather than one not ours.
    EXPECT_EQ(runtimeFolderIn("relative", tmp2.str(), nullptr), "");
}

TEST(SingleInstanceTest, LockIsHeldUntilItsHolderEndsHoweverItEnds) {
    TempDir dir;
    {
        InstanceLock first(dir.str());
        EXPECT_TRUE(first.owned());
        EXPECT_FALSE(first.heldElsewhere());
        InstanceLock second(dir.str());
        EXPECT_FALSE(second.owned());
        EXPECT_TRUE(second.heldElsewhere());
    }
    EXPECT_TRUE(InstanceLock(dir.str()).owned()) << "released with its holder";

    // A holder killed outright leaves the lock file behind, but not the lock.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        InstanceLock held(dir.str());
        const char c = held.owned() ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_TRUE(InstanceLock(dir.str()).heldElsewhere());
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(std::filesystem::exists(dir / kMutexName));
    InstanceLock after(dir.str());
    EXPECT_TRUE(after.owned());
    EXPECT_FALSE(after.heldElsewhere());

    // No folder at all: counted as the first instance, without a lock.
    InstanceLock none("");
    EXPECT_FALSE(none.heldElsewhere());
    EXPECT_FALSE(none.owned());
}

TEST(SingleInstanceTest, RecordCrossesToAnotherProcessAndTheAnswerComesBack) {
    TempDir dir;
    ReminderServer server(dir.str());
    Served served;
    observe(server, served);
    server.setHandler(knowsOneChannel);
    // A socket file left by a crashed instance doesn't stop the next one.
    test::writeFile(server.socketPath().toStdString(), "stale");
    ASSERT_TRUE(server.listen());

    const std::string path = server.socketPath().toStdString();
    for (const auto& [channel, expected] : {std::pair{kChannel, 1}, std::pair{std::string("Nope"), 0}}) {
        const ReminderRecord sent = ReminderRecord::fromArguments("21.30", channel);
        const QByteArray request = handOverRequest(0, sent);
        served = {};
        pid_t childPid = 0;
        const int answer = serveWhileChild([&] {
            QByteArray mine = request;  // the pid is the child's own
            const auto p = static_cast<quint32>(getpid());
            for (int i = 0; i < 4; ++i) mine[i] = static_cast<char>((p >> (8 * i)) & 0xFF);
            return rawRequest(path.c_str(), mine.constData(), static_cast<size_t>(mine.size())) + 10;
        });
        EXPECT_EQ(answer, expected + 10) << channel;
        ASSERT_EQ(served.records.size(), 1u);
        EXPECT_EQ(served.records[0].serialise(), sent.serialise()) << "byte for byte";
        EXPECT_GT(served.pids[0], 0);
        EXPECT_NE(served.pids[0], QCoreApplication::applicationPid());
        (void)childPid;
    }

    // The program's own client, on a thread of this process.
    const ReminderRecord sent = ReminderRecord::fromArguments("07.05", kChannel);
    const int viaClient = serveWhile([&] { return handOverReminder(dir.str(), sent, 10000).value_or(-1); });
    EXPECT_EQ(viaClient, 1);
    EXPECT_EQ(served.records.back(), sent);
    EXPECT_EQ(served.pids.back(), QCoreApplication::applicationPid());
    EXPECT_EQ(served.rejected, 0);
}

TEST(SingleInstanceTest, NobodyListening) {
    TempDir dir;
    EXPECT_FALSE(handOverReminder(dir.str(), ReminderRecord(), 2000).has_value());
    EXPECT_FALSE(handOverReminder("", ReminderRecord(), 2000).has_value());
}

TEST(SingleInstanceTest, MalformedRequestsNeverReachTheHandler) {
    TempDir dir;
    ReminderServer server(dir.str());
    Served served;
    observe(server, served);
    int calls = 0;
    server.setHandler([&](const ReminderRecord&) { return ++calls, 1; });
    ASSERT_TRUE(server.listen());
    const std::string path = server.socketPath().toStdString();
    const QByteArray good = handOverRequest(getpid(), ReminderRecord::fromArguments("10.00", kChannel));
    auto send = [&](QByteArray bytes, bool thenHangUp = false) {
        return serveWhile([&] {
            return rawRequest(path.c_str(), bytes.constData(), static_cast<size_t>(bytes.size()), thenHangUp);
        });
    };

    QByteArray badLength = good;
    badLength[4] = 11;  // a time text longer than its field
    EXPECT_EQ(send(badLength), 0);
    QByteArray otherPid = handOverRequest(getpid() + 1, ReminderRecord::fromArguments("10.00", kChannel));
    EXPECT_EQ(send(otherPid), 0);  // names a process that isn't the sender
    EXPECT_EQ(send(handOverRequest(0, ReminderRecord())), 0);
    EXPECT_EQ(send(good + QByteArray(1, 'x')), kNoAnswer);  // longer than a request
    EXPECT_EQ(send(good.left(100), true), kNoAnswer);       // gives up half-way
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(served.records.empty());
    EXPECT_GE(served.rejected, 4);

    EXPECT_EQ(send(good), 1);  // and the server still serves
    EXPECT_EQ(calls, 1);
}

TEST(SingleInstanceTest, PeerOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run a client under another uid";
    TempDir dir;
    ReminderServer server(dir.str());
    Served served;
    observe(server, served);
    int calls = 0;
    server.setHandler([&](const ReminderRecord&) { return ++calls, 1; });
    ASSERT_TRUE(server.listen());
    // Open the way to the socket, so that only the credential check stands.
    chmod(dir.str().c_str(), 0711);
    const std::string path = server.socketPath().toStdString();
    chmod(path.c_str(), 0777);

    const QByteArray request = handOverRequest(0, ReminderRecord::fromArguments("10.00", kChannel));
    const int code = serveWhileChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 99;
        QByteArray mine = request;
        const auto p = static_cast<quint32>(getpid());
        for (int i = 0; i < 4; ++i) mine[i] = static_cast<char>((p >> (8 * i)) & 0xFF);
        return rawRequest(path.c_str(), mine.constData(), static_cast<size_t>(mine.size())) + 10;
    });
    EXPECT_EQ(code, kNoAnswer + 10) << "connected, and cut off without an answer";
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(served.rejected, 1);
}

TEST(SingleInstanceTest, OwnRecordWaitsForTheEventLoopAndWindowComesToTheFront) {
    TempDir dir;
    ReminderServer server(dir.str());
    std::vector<ReminderRecord> handled;
    server.setHandler([&](const ReminderRecord& r) { return handled.push_back(r), 1; });
    const ReminderRecord own = ReminderRecord::fromArguments("19.00", kChannel);
    server.postOwnRecord(own);
    EXPECT_TRUE(handled.empty()) << "posted, not sent";
    QCoreApplication::processEvents();
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0], own);

    QWidget window;
    window.setWindowState(Qt::WindowMaximized);
    window.show();
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    server.setWindow(&window);
    ASSERT_TRUE(server.listen());
    EXPECT_EQ(serveWhile([&] { return handOverReminder(dir.str(), ReminderRecord(), 10000).value_or(-1); }), 1);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized()) << "brought back as it was before";
    EXPECT_TRUE(window.isVisible());
}

// Before the window exists there is no handler: requests wait, their
// senders with them, and are handled in the order they came (this
// instance's own record first) once the handler is set.
TEST(SingleInstanceTest, RequestsBeforeTheWindowWaitAndKeepTheirOrder) {
    TempDir dir;
    ReminderServer server(dir.str());
    ASSERT_TRUE(server.listen());
    const ReminderRecord own = ReminderRecord::fromArguments("08.00", "Own");
    server.postOwnRecord(own);
    const ReminderRecord sent[] = {ReminderRecord::fromArguments("09.00", kChannel),
                                   ReminderRecord::fromArguments("10.00", "Other")};
    std::atomic<int> answers[2] = {-9, -9};
    std::vector<std::thread> senders;
    for (int i = 0; i < 2; ++i) {
        senders.emplace_back([&, i] { answers[i] = handOverReminder(dir.str(), sent[i], 15000).value_or(-1); });
        // One after the other, so that the order they came in is known.
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.heldCount() == i + 2; }, 10000));
    }
    QTest::qWait(200);
    EXPECT_EQ(answers[0], -9) << "the sender waits";
    EXPECT_EQ(answers[1], -9);

    std::vector<ReminderRecord> handled;
    server.setHandler([&](const ReminderRecord& r) { return handled.push_back(r), r.reminderChannel() == kChannel; });
    EXPECT_TRUE(handled.empty()) << "handled from the event loop, not inside setHandler";
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers[0] != -9 && answers[1] != -9; }, 10000));
    for (auto& t : senders) t.join();
    EXPECT_EQ(answers[0], 1);
    EXPECT_EQ(answers[1], 0);
    ASSERT_EQ(handled.size(), 3u);
    EXPECT_EQ(handled[0], own);
    EXPECT_EQ(handled[1], sent[0]);
    EXPECT_EQ(handled[2], sent[1]);
    EXPECT_EQ(server.heldCount(), 0);
}

// A start that finds the lock held: it waits out a running instance that is
// not listening yet, and takes over from one that ends.
TEST(SingleInstanceTest, SecondStartWaitsForTheListenerOrTakesOver) {
    TempDir dir;
    const ReminderRecord record = ReminderRecord::fromArguments("21.30", kChannel);
    auto running = std::make_unique<InstanceLock>(dir.str());
    ASSERT_TRUE(running->owned());
    auto server = std::make_unique<ReminderServer>(dir.str());
    server->setHandler(knowsOneChannel);

    // Listening a moment after the start found the lock held.
    QTimer::singleShot(300, [&] { server->listen(); });
    std::optional<InstanceLock> lock(std::in_place, dir.str());
    ASSERT_TRUE(lock->heldElsewhere());
    std::atomic<int> outcome{-1};
    std::thread start([&] { outcome = static_cast<int>(handOverOrTakeOver(lock, dir.str(), record, 5000)); });
    const bool done = QTest::qWaitFor([&] { return outcome != -1; }, 15000);
    start.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(outcome, static_cast<int>(SecondStart::handedOver));

    // Nobody ever listens: it gives up after its patience.
    server.reset();
    QElapsedTimer waited;
    waited.start();
    lock.emplace(dir.str());
    EXPECT_EQ(handOverOrTakeOver(lock, dir.str(), record, 400), SecondStart::noAnswer);
    EXPECT_GE(waited.elapsed(), 400);

    // The running one ends: the lock is this start's.
    QTimer::singleShot(300, [&] { running.reset(); });
    outcome = -1;
    std::thread again([&] { outcome = static_cast<int>(handOverOrTakeOver(lock, dir.str(), record, 5000)); });
    const bool ended = QTest::qWaitFor([&] { return outcome != -1; }, 15000);
    again.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(outcome, static_cast<int>(SecondStart::nowFirst));
    EXPECT_TRUE(lock->owned());
}

TEST(StartupTest, ReminderBoxAndConfigPath) {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    bool owned = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modality = box->windowModality();
        owned = box->parentWidget() != nullptr;
        box->button(QMessageBox::Ok)->click();
    });
    showReminderBox(toQString(kChannel));
    EXPECT_EQ(caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(text, toQString(kChannel));
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_FALSE(owned);

    // The look-up order itself is the core's (tests/config); the program
    // sees the file the environment names, present or not.
    const QByteArray oldIni = qgetenv(kIniEnvironment);
    qputenv(kIniEnvironment, "/some/where/test.ini");
    EXPECT_EQ(configFilePath(), "/some/where/test.ini");
    if (oldIni.isNull()) qunsetenv(kIniEnvironment);
    else qputenv(kIniEnvironment, oldIni);

    EXPECT_FALSE(appIcon().isNull());
    EXPECT_FALSE(appIcon().pixmap(32, 32).isNull());
}

TEST(StartupTest, StandardButtonsReadRussian) {
    const std::unique_ptr<QTranslator> russian(installQtTranslations());
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n";
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Нет"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Отмена"));
}

}  // namespace
