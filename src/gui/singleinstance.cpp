#include "gui/singleinstance.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbisk {
namespace {

// A request that has not arrived whole by then is dropped, so a stuck peer
// can't keep a connection open for ever.
constexpr int kRequestTimeoutMs = 10000;
constexpr int kConnectTimeoutMs = 10000;

// A folder that is a real directory (no symlink), owned by this user and
// closed to everybody else; a folder of ours left with wider rights is
// closed again.
bool secureFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
    if (ok && (st.st_mode & 077) != 0) ok = fchmod(fd, 0700) == 0;
    close(fd);
    return ok;
}

// The uid (and pid) at the other end of a connected local socket.
bool peerCredentials(qintptr descriptor, ucred& cred) {
    socklen_t len = sizeof cred;
    return descriptor >= 0 &&
           getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 &&
           len == sizeof cred;
}

QString socketPathIn(const std::string& folder) {
    return QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(kReminderSocketName);
}

}  // namespace

std::string runtimeFolderIn(const char* xdgRuntimeDir, const std::string& tmp, const char* home) {
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/') {
        const std::string folder = std::string(xdgRuntimeDir) + "/orbisk";
        if (secureFolder(folder)) return folder;
    }
    const std::string uid = std::to_string(geteuid());
    if (const std::string folder = tmp + "/orbisk-" + uid; secureFolder(folder)) return folder;
    // Anyone can take a name in /tmp first; nobody else can in the home
    // folder, and the name must stay the same for every start of this user.
    if (home != nullptr && home[0] == '/') {
        const std::string cache = std::string(home) + "/.cache";
        if (mkdir(cache.c_str(), 0700) == 0 || errno == EEXIST) {
            if (const std::string folder = cache + "/orbisk-" + uid; secureFolder(folder)) return folder;
        }
    }
    return {};
}

std::string runtimeFolder() { return runtimeFolderIn(getenv("XDG_RUNTIME_DIR"), "/tmp", getenv("HOME")); }

InstanceLock::InstanceLock(const std::string& folder) {
    if (folder.empty()) return;
    // Close-on-exec: a flock stays held as long as any copy of the descriptor
    // lives, so a child process (the task scheduler's client) must not get one.
    const int fd = open((folder + "/" + kMutexName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    int r;
    do r = flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r == 0) {
        fd_ = fd;
        return;
    }
    heldElsewhere_ = errno == EWOULDBLOCK;
    close(fd);
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

QByteArray handOverRequest(qint64 pid, const ReminderRecord& record) {
    QByteArray request(kHandOverRequestSize, '\0');
    const auto p = static_cast<quint32>(pid);
    for (int i = 0; i < 4; ++i) request[i] = static_cast<char>((p >> (8 * i)) & 0xFF);
    const auto& bytes = record.serialise();
    std::copy(bytes.begin(), bytes.end(), request.begin() + 4);
    return request;
}

ReminderServer::ReminderServer(const std::string& folder, QObject* parent) : QObject(parent), folder_(folder) {
    connect(&server_, &QLocalServer::newConnection, this, &ReminderServer::accept);
}

ReminderServer::~ReminderServer() { server_.close(); }

QString ReminderServer::socketPath() const { return socketPathIn(folder_); }

bool ReminderServer::listen() {
    if (folder_.empty()) return false;
    QLocalServer::removeServer(socketPath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(socketPath());
}

void ReminderServer::setHandler(ReminderHandler handler) {
    handler_ = std::move(handler);
    scheduleHeld();
}

void ReminderServer::postOwnRecord(const ReminderRecord& record) {
    held_.push_back({record, nullptr, 0, true});
    scheduleHeld();
}

void ReminderServer::scheduleHeld() {
    if (scheduled_ || !handler_ || held_.empty()) return;
    scheduled_ = true;
    QMetaObject::invokeMethod(this, [this] { handleHeld(); }, Qt::QueuedConnection);
}

void ReminderServer::handleHeld() {
    scheduled_ = false;
    // Popped before it is handled: a handler that runs a nested event loop
    // may come back here for the rest.
    while (handler_ && !held_.empty()) {
        Held next = held_.front();
        held_.pop_front();
        handle(std::move(next));
    }
}

void ReminderServer::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        ucred cred{};
        if (!peerCredentials(socket->socketDescriptor(), cred) || cred.uid != geteuid()) {
            reject(socket);
            continue;
        }
        socket->setProperty("peerPid", static_cast<qint64>(cred.pid));
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [this, socket] {
            if (!socket->property("answered").toBool()) reject(socket);
        });
        read(socket);
    }
}

void ReminderServer::read(QLocalSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    if (request.size() > kHandOverRequestSize) {
        reject(socket);
        return;
    }
    socket->setProperty("request", request);
    if (request.size() < kHandOverRequestSize) return;
    socket->setProperty("answered", true);

    quint32 pid = 0;
    for (int i = 0; i < 4; ++i) pid |= static_cast<quint32>(static_cast<quint8>(request[i])) << (8 * i);
    const auto record = ReminderRecord::parse(request.constData() + 4, ReminderRecord::kSize);
    // The pid must be the sender's own, as the kernel reports it: a request
    // naming another process (or 0, which stands for one's own record) is
    // as good as a process that can't be opened.
    const bool valid = record && pid != 0 && pid == socket->property("peerPid").toLongLong();

    if (!valid) {
        emit requestRejected();
        const char answer = 0;
        socket->write(&answer, 1);
        socket->flush();
        socket->disconnectFromServer();
        return;
    }
    Held handedOver{*record, socket, static_cast<qint64>(pid), false};
    if (handler_ && held_.empty()) {
        handle(std::move(handedOver));
        return;
    }
    // Still starting up: the sender waits in the queue, and the user sees
    // whatever this instance shows meanwhile (its reminder box, a dialog).
    held_.push_back(std::move(handedOver));
    if (QWidget* shown = QApplication::activeModalWidget()) {
        shown->raise();
        shown->activateWindow();
    }
    scheduleHeld();
}

void ReminderServer::handle(Held held) {
    if (!held.own) bringWindowToFront();
    const int result = handler_ && handler_(held.record) != 0 ? 1 : 0;
    if (held.own) return;
    emit recordHandled(held.record, held.pid, result);
    // The handler may have run a nested event loop in which the peer left.
    if (!held.socket) return;
    const char answer = static_cast<char>(result);
    held.socket->write(&answer, 1);
    held.socket->flush();
    held.socket->disconnectFromServer();
}

void ReminderServer::reject(QLocalSocket* socket) {
    socket->setProperty("answered", true);
    emit requestRejected();
    socket->abort();
    socket->deleteLater();
}

void ReminderServer::bringWindowToFront() {
    if (!window_) return;
    if (window_->isMinimized()) window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

namespace {

// `connected` tells a running instance that went away before answering from
// one that was never there.
std::optional<int> exchange(const std::string& folder, const ReminderRecord& record, int timeoutMs, bool& connected) {
    connected = false;
    if (folder.empty()) return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(socketPathIn(folder));
    if (!socket.waitForConnected(timeoutMs < 0 ? kConnectTimeoutMs : timeoutMs)) return std::nullopt;
    // Only an instance of this same user gets the record.
    ucred cred{};
    if (!peerCredentials(socket.socketDescriptor(), cred) || cred.uid != geteuid()) return std::nullopt;
    connected = true;

    QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs));
    socket.write(handOverRequest(QCoreApplication::applicationPid(), record));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return std::nullopt;
    }
    // The record must stay ours until the running instance has handled it:
    // wait for its answer (or for it to go away).
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return std::nullopt;
    }
    char answer = 0;
    socket.read(&answer, 1);
    return answer != 0 ? 1 : 0;
}

}  // namespace

std::optional<int> handOverReminder(const std::string& folder, const ReminderRecord& record, int timeoutMs) {
    bool connected = false;
    return exchange(folder, record, timeoutMs, connected);
}

SecondStart handOverOrTakeOver(std::optional<InstanceLock>& lock, const std::string& folder,
                               const ReminderRecord& record, int patienceMs) {
    QDeadlineTimer patience(patienceMs);
    for (;;) {
        bool connected = false;
        if (exchange(folder, record, -1, connected)) return SecondStart::handedOver;
        // It went away without an answer, however long it had the record:
        // give it the same patience to be gone.
        if (connected) patience.setRemainingTime(patienceMs);
        lock.emplace(folder);
        if (!lock->heldElsewhere()) return SecondStart::nowFirst;
        if (patience.hasExpired()) return SecondStart::noAnswer;
        QThread::msleep(50);
    }
}

}  // namespace orbisk
