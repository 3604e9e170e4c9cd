#pragma once
// One running instance per user, and the reminder hand-over to it.
//
// "OrbiskMutex" is a lock file held with flock(): the kernel drops the lock
// when its holder ends, however it ends, so a crashed instance never blocks
// the next start. The running instance's main window is reached through a
// local socket "TfmOrbisk" beside the lock, in a per-user folder of mode
// 0700; the server also checks that every peer runs under its own uid.
//
// On the socket a second instance sends its process id (4 bytes, little
// endian) and its 267-byte hand-over record, then waits for one byte: the
// handler's result, 0 or 1. A malformed request gets 0 without reaching the
// handler; a peer of another user is cut off without an answer.
//
// The first instance listens as soon as it holds the lock, long before its
// window exists (its own reminder box, first-run dialogs and the first load
// come in between): requests that arrive before there is a handler wait in
// a queue, their senders waiting with them, and are handled in the order
// they came once the window is there.
#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "viewer/reminderrecord.h"

class QLocalSocket;

namespace orbisk {

inline constexpr char kMutexName[] = "OrbiskMutex";
inline constexpr char kReminderSocketName[] = "TfmOrbisk";

// $XDG_RUNTIME_DIR/orbisk, or /tmp/orbisk-<uid> without it, or, when that
// one is not ours (another user made it first), $HOME/.cache/orbisk-<uid>;
// created with mode 0700. Empty when no folder owned by this user and closed
// to others can be had: then there is no lock and no hand-over.
std::string runtimeFolder();
// The same with the environment and the shared temporary folder given.
std::string runtimeFolderIn(const char* xdgRuntimeDir, const std::string& tmp, const char* home);

// The single-instance mutex. Construction tries to take the lock without
// waiting; the first instance keeps it until destruction.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& folder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True only when another process holds the lock. Every failure (no
    // folder, no file, any other error) counts as the first instance.
    bool heldElsewhere() const { return heldElsewhere_; }
    bool owned() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

// The main window's side of the hand-over (`showReminder`): shows the
// record's channel at its time; returns 1 when a visible channel of that
// display name was found and shown, else 0.
using ReminderHandler = std::function<int(const ReminderRecord&)>;

// The running instance's end of the hand-over.
class ReminderServer : public QObject {
    Q_OBJECT
public:
    explicit ReminderServer(const std::string& folder, QObject* parent = nullptr);
    ~ReminderServer() override;

    // Requests held so far are handled once the event loop runs, before
    // any that come later.
    void setHandler(ReminderHandler handler);
    // The window brought to the front when another instance hands over.
    void setWindow(QWidget* window) { window_ = window; }

    // Starts listening; a socket left by a crashed instance is removed first,
    // so call it only while holding the InstanceLock.
    bool listen();
    QString socketPath() const;

    // This instance's own record (a reminder start): handled like a handed
    // over one, once the event loop runs and the window exists.
    void postOwnRecord(const ReminderRecord& record);
    // Records waiting for the handler.
    int heldCount() const { return static_cast<int>(held_.size()); }

signals:
    // After each request from another instance: the record handled and the
    // result sent back (for observers and tests).
    void recordHandled(const orbisk::ReminderRecord& record, qint64 senderPid, int result);
    // A request that never reached the handler: another user's peer, or a
    // malformed or unfinished request.
    void requestRejected();

private:
    // A record waiting for the handler; no socket for the own record.
    struct Held {
        ReminderRecord record;
        QPointer<QLocalSocket> socket;
        qint64 pid = 0;
        bool own = false;
    };

    void accept();
    void read(QLocalSocket* socket);
    void reject(QLocalSocket* socket);
    void handle(Held held);
    void handleHeld();
    void scheduleHeld();
    void bringWindowToFront();

    std::string folder_;
    QLocalServer server_;
    ReminderHandler handler_;
    QPointer<QWidget> window_;
    std::deque<Held> held_;
    bool scheduled_ = false;
};

// The second instance's end: hands `record` to the instance running under
// `folder` and waits until its handler is done (no limit when timeoutMs < 0).
// The handler's result, or nullopt when no instance of this user answered.
std::optional<int> handOverReminder(const std::string& folder, const ReminderRecord& record, int timeoutMs = -1);

enum class SecondStart {
    handedOver,  // the running instance took the record and answered
    nowFirst,    // it ended first: `lock` is now this start's, go on as the first instance
    noAnswer,    // it holds the lock but never listened within the patience
};

// What a start that found the lock held does. It hands `record` over and
// waits for the answer however long the running instance takes to start up.
// When there is nobody to talk to (the running instance is between taking
// the lock and listening, or is ending) it tries the lock and the socket
// again, for up to `patienceMs` in all.
SecondStart handOverOrTakeOver(std::optional<InstanceLock>& lock, const std::string& folder,
                               const ReminderRecord& record, int patienceMs = 3000);

// The request as it travels: process id, then the record.
QByteArray handOverRequest(qint64 pid, const ReminderRecord& record);
inline constexpr int kHandOverRequestSize = 4 + static_cast<int>(ReminderRecord::kSize);

}  // namespace orbisk
