// A second start while the first is still starting, and a start without a
// screen: the program itself in real processes, a real lock and socket in a
// private runtime folder.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <filesystem>

#include "base/cp1251.h"
#include "gui/qtext.h"
#include "gui/singleinstance.h"
#include "gui/startup.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::TempDir;

namespace {

const QString kProgram = QStringLiteral(ORBISK_BINARY_DIR "/tests/orbisk_autoclose");
const QString kCli = QStringLiteral(ORBISK_BINARY_DIR "/orbisk-cli");
// "Первый канал", a channel of the demo listing, in Windows-1251.
const std::string kChannel = "Первый канал"_cp1251;

// Headless, the runtime folder under `dir`, the given settings file; the
// start-up boxes stay up for `boxMs`.
void prepare(QProcess& p, const TempDir& dir, const std::string& ini, int boxMs = 0) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.str()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QLatin1String(kIniEnvironment), QString::fromStdString(ini));
    env.insert(QStringLiteral("ORBISK_AUTOCLOSE_AFTER_MS"), QString::number(boxMs));
    p.setProcessEnvironment(env);
    p.setProgram(kProgram);
}

bool finished(QProcess& p, int ms = 30000) {
    return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
}

void stop(QProcess& p) {
    p.terminate();
    if (!p.waitForFinished(10000)) p.kill();
    p.waitForFinished(5000);
}

class StartupHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kProgram) || !QFile::exists(kCli)) GTEST_SKIP() << "orbisk or orbisk-cli not built";
        QProcess cli;
        cli.start(kCli, {QStringLiteral("demo"), QStringLiteral("--out"), QString::fromStdString(dir / "demo"),
                         QStringLiteral("--format"), QStringLiteral("msg")});
        ASSERT_TRUE(cli.waitForFinished(30000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    }
    bool listening() const { return std::filesystem::exists(folder + "/" + kReminderSocketName); }

    TempDir dir;
    const std::string folder = dir / "orbisk";
    const std::string demoIni = dir / "demo/Orbisk.ini";
    const QStringList reminder = {QStringLiteral("Pora!"), QStringLiteral("21.30"), toQString(kChannel)};
};

// The first instance sits in its own reminder box: the window does not exist
// yet. A second start then waits, and its channel is shown once the window
// is there, in the order the starts came.
TEST_F(StartupHandOver, SecondStartWhileTheFirstIsInItsBoxIsShownOnceTheWindowIsThere) {
    // Long enough that a loaded machine (the test command runs tests side by
    // side) still has the first in its box when the second has started.
    constexpr int kBoxMs = 8000;
    QProcess first;
    prepare(first, dir, demoIni, kBoxMs);
    first.setArguments(reminder);
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    first.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listening(); }, 20000)) << "listens before its box is closed";
    ASSERT_LT(sinceFirst.elapsed(), kBoxMs) << "the machine is too slow for this test";

    QProcess second;
    prepare(second, dir, demoIni);
    second.setArguments(reminder);
    second.start();
    QTest::qWait(500);
    ASSERT_LT(sinceFirst.elapsed(), kBoxMs) << "the machine is too slow for this test";
    EXPECT_EQ(second.state(), QProcess::Running) << "waits for the first window instead of ending";

    // This process plays a third start: its answer is the window's.
    EXPECT_EQ(handOverReminder(folder, ReminderRecord::fromArguments("21.30", kChannel), 30000), 1);
    EXPECT_GE(sinceFirst.elapsed(), kBoxMs) << "answered only after the box";
    EXPECT_EQ(handOverReminder(folder, ReminderRecord::fromArguments("21.30", "No such channel"), 30000), 0);
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    stop(first);
}

// The first start ends before it has a window (its settings file is
// missing): a start waiting on it goes on as the first instance.
TEST_F(StartupHandOver, SecondStartOutlivesAFirstThatEndsWhileStarting) {
    QProcess first;
    prepare(first, dir, dir / "none.ini", 2000);
    first.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listening(); }, 20000));

    QProcess second;
    prepare(second, dir, demoIni);
    second.setArguments(reminder);
    second.start();
    ASSERT_TRUE(finished(first));
    EXPECT_EQ(first.exitCode(), 0);

    // The second now holds the lock and answers for its own window.
    ASSERT_TRUE(QTest::qWaitFor([&] { return InstanceLock(folder).heldElsewhere() && listening(); }, 20000));
    EXPECT_EQ(second.state(), QProcess::Running);
    EXPECT_EQ(handOverReminder(folder, ReminderRecord::fromArguments("21.30", kChannel), 30000), 1);
    stop(second);
}

// No screen at all, or one that does not answer: one plain line, exit 1,
// no abort.
TEST(NoScreenTest, StartWithoutAScreenSaysSoAndFails) {
    if (!QFile::exists(kProgram)) GTEST_SKIP() << "orbisk not built";
    TempDir dir;
    for (const char* display : {"", ":987"}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        if (*display) env.insert(QStringLiteral("DISPLAY"), QLatin1String(display));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.str()));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(kProgram, {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << display;
        EXPECT_EQ(p.exitCode(), 1) << display;
        const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        EXPECT_FALSE(err.contains(QLatin1Char('\n'))) << err.toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("Орбиск: нет"))) << err.toStdString();
        if (*display) {
            EXPECT_TRUE(err.contains(QLatin1String(display))) << err.toStdString();
        }
    }
}

}  // namespace
