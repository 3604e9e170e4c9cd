// The program itself as the second (or first) instance: real processes,
// a real lock and a real socket in a private runtime folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/cp1251.h"
#include "gui/qtext.h"
#include "gui/singleinstance.h"
#include "gui/startup.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::TempDir;

namespace {

// The program with a unit that closes its start-up boxes (tests/gui/program).
const QString kProgram = QStringLiteral(ORBISK_BINARY_DIR "/tests/orbisk_autoclose");
const QString kCli = QStringLiteral(ORBISK_BINARY_DIR "/orbisk-cli");
// "Первый канал", a channel of the demo listing, in Windows-1251.
const std::string kChannel = "Первый канал"_cp1251;

// The program with its runtime folder under `dir` (XDG_RUNTIME_DIR/orbisk),
// headless, its start-up boxes closing themselves.
void prepare(QProcess& p, const TempDir& dir, const QString& ini = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.str()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!ini.isEmpty()) env.insert(QLatin1String(kIniEnvironment), ini);
    else env.insert(QLatin1String(kIniEnvironment), QString::fromStdString(dir / "none.ini"));
    p.setProcessEnvironment(env);
    p.setProgram(kProgram);
}

// Waits for the process while this event loop serves.
bool finished(QProcess& p, int ms = 20000) {
    return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
}

char procState(qint64 pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(f, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

TEST(HandOverProcessTest, SecondInstanceHandsItsRecordOverAndWaits) {
    if (!QFile::exists(kProgram)) GTEST_SKIP() << "orbisk not built";
    TempDir dir;
    const std::string folder = dir / "orbisk";
    ASSERT_EQ(std::filesystem::create_directory(folder), true);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    InstanceLock running(folder);  // this test is the running instance
    ASSERT_TRUE(running.owned());
    ReminderServer server(folder);

    struct Got {
        ReminderRecord record;
        qint64 pid = 0;
        char stateWhileHandling = '?';
    };
    std::vector<Got> got;
    server.setHandler([&](const ReminderRecord& r) {
        got.push_back({r, 0, '?'});
        // The sender must still be alive (not a zombie) when the handler
        // ends: it waits for the answer.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return r.reminderChannel() == kChannel ? 1 : 0;
    });
    QObject::connect(&server, &ReminderServer::recordHandled, &server,
                     [&](const ReminderRecord&, qint64 pid, int) {
                         got.back().pid = pid;
                         got.back().stateWhileHandling = procState(pid);
                     });
    ASSERT_TRUE(server.listen());

    // UTF-8 on the command line, Windows-1251 in the record, cut to the fields.
    const QString channel = toQString(kChannel);
    const QString longChannel = QString(300, QChar(0x0416));  // "Ж" x 300
    struct Case {
        QStringList args;
        ReminderRecord expected;
    } cases[] = {
        {{QStringLiteral("Pora!"), QStringLiteral("21.30"), channel},
         ReminderRecord::fromArguments("21.30", kChannel)},
        {{QStringLiteral("x"), QStringLiteral("12.34567890123"), longChannel},
         ReminderRecord::fromArguments("12.3456789", std::string(255, "Ж"_cp1251[0]))},
        // Not three arguments: no reminder, the window only comes to the front.
        {{QStringLiteral("21.30"), channel}, ReminderRecord()},
        {{}, ReminderRecord()},
    };
    for (const Case& c : cases) {
        got.clear();
        QProcess second;
        prepare(second, dir);
        second.setArguments(c.args);
        second.start();
        ASSERT_TRUE(second.waitForStarted());
        const qint64 pid = second.processId();
        ASSERT_TRUE(finished(second)) << c.args.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        ASSERT_EQ(got.size(), 1u) << c.args.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(got[0].record.serialise(), c.expected.serialise());
        EXPECT_EQ(got[0].pid, pid);
        EXPECT_NE(got[0].stateWhileHandling, 'Z');
        EXPECT_NE(got[0].stateWhileHandling, '?');
    }
}

// The lock is held but nobody ever answers: the start says so and fails
// instead of ending as if its reminder had been shown.
TEST(HandOverProcessTest, SecondInstanceWithoutAnAnsweringInstanceSaysSo) {
    if (!QFile::exists(kProgram)) GTEST_SKIP() << "orbisk not built";
    TempDir dir;
    const std::string folder = dir / "orbisk";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    InstanceLock running(folder);  // an instance that never listens
    ASSERT_TRUE(running.owned());
    QProcess second;
    prepare(second, dir);
    second.setArguments({QStringLiteral("Pora!"), QStringLiteral("21.30"), toQString(kChannel)});
    second.start();
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_TRUE(err.contains(noAnswerText())) << err.toStdString();
}

TEST(HandOverProcessTest, MissingConfigurationEndsTheFirstInstance) {
    if (!QFile::exists(kProgram)) GTEST_SKIP() << "orbisk not built";
    TempDir dir;
    QProcess first;
    prepare(first, dir);  // ORBISK_INI names a file that isn't there
    first.start();
    ASSERT_TRUE(finished(first));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    // It was the first instance: the lock is free again, no server stayed.
    EXPECT_TRUE(InstanceLock(dir / "orbisk").owned());
}

TEST(HandOverProcessTest, RunningProgramShowsTheHandedChannel) {
    if (!QFile::exists(kProgram)) GTEST_SKIP() << "orbisk not built";
    if (!QFile::exists(kCli)) GTEST_SKIP() << "orbisk-cli not built (it writes the demo listing)";
    TempDir dir;
    QProcess cli;
    cli.start(kCli, {QStringLiteral("demo"), QStringLiteral("--out"), QString::fromStdString(dir / "demo"),
                     QStringLiteral("--format"), QStringLiteral("msg")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

    QProcess first;
    prepare(first, dir, QString::fromStdString(dir / "demo/Orbisk.ini"));
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    const std::string folder = dir / "orbisk";
    // Listening once its window exists.
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(folder + "/" + kReminderSocketName); }, 20000))
        << first.readAllStandardError().toStdString();
    EXPECT_TRUE(InstanceLock(folder).heldElsewhere());

    // This process plays the second instance; the answer is the window's.
    EXPECT_EQ(handOverReminder(folder, ReminderRecord::fromArguments("21.30", kChannel), 20000), 1);
    EXPECT_EQ(handOverReminder(folder, ReminderRecord::fromArguments("21.30", "No such channel"), 20000), 0);
    EXPECT_EQ(handOverReminder(folder, ReminderRecord(), 20000), 0);

    // And the program as the second instance ends at once with 0, leaving
    // the first one running.
    QProcess second;
    prepare(second, dir, QString::fromStdString(dir / "demo/Orbisk.ini"));
    second.setArguments({QStringLiteral("Pora!"), QStringLiteral("21.30"), toQString(kChannel)});
    second.start();
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) first.kill();
    first.waitForFinished(5000);
    EXPECT_TRUE(InstanceLock(folder).owned()) << "the lock goes with its holder";
}

}  // namespace
