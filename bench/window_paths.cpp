// The main window's common paths on the offscreen platform: made and shown
// up to its first painted day, another day shown, the channel changed, and
// the idle one-second tick. The week is orbisk-cli's demo week (the program
// is built beside this one); medians in microseconds.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/ui.h"
#include "gui/mainwindow.h"

namespace {

using orbisk::Answer;
using orbisk::Buttons;
using orbisk::DateTime;
using orbisk::MsgIcon;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "window_paths: %s\n", what);
    std::exit(1);
}

void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

// A refresh of the demo week shows no box; one that would is counted, not
// shown (it would wait for a click).
struct CountingNotifier : orbisk::Notifier {
    int shown = 0;
    void show(const std::string&, const std::string&, MsgIcon) override { ++shown; }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override {
        ++shown;
        return Answer::Cancel;
    }
};

struct Window {
    Window(const std::string& iniPath, const orbisk::Clock& clock) {
        orbisk::MainWindowOptions o;
        o.iniPath = iniPath;
        o.messages = &notifier;
        o.time = &clock;
        o.quit = [] { fail("the window ended the program (settings missing?)"); };
        w = std::make_unique<orbisk::MainWindow>(o);
        w->show();
        check(QTest::qWaitForWindowExposed(w.get()), "the window was not exposed");
        QApplication::processEvents();
        check(notifier.shown == 0, "the window showed a message box");
        check(!w->dayView->toPlainText().isEmpty(), "the day view is empty");
    }
    orbisk::MainWindow* operator->() { return w.get(); }

    CountingNotifier notifier;
    std::unique_ptr<orbisk::MainWindow> w;
};

template <typename F>
double medianMicros(int runs, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f(i);
        t.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// orbisk-cli's demo week of Tuesday 4 June 2024 as text files in `dir`.
void makeDemoWeek(const QString& dir) {
    QProcess p;
    p.start(QStringLiteral(ORBISK_BINARY_DIR "/orbisk-cli"),
            {QStringLiteral("demo"), QStringLiteral("--out"), dir, QStringLiteral("--date"),
             QStringLiteral("2024-06-04"), QStringLiteral("--format"), QStringLiteral("text")});
    check(p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
          "orbisk-cli demo failed (build the orbisk-cli target)");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    check(dir.isValid(), "no temporary folder");
    makeDemoWeek(dir.path());
    const std::string iniPath = (dir.path() + QStringLiteral("/Orbisk.ini")).toStdString();
    // Tuesday evening: a programme is running on every channel.
    const orbisk::FixedClock clock(orbisk::encodeDate(2024, 6, 4) + orbisk::encodeTime(20, 40));

    const double create = medianMicros(5, [&](int) { Window w(iniPath, clock); });
    Window w(iniPath, clock);
    const DateTime shown = w->state().shownDate();
    const DateTime monday = shown - (orbisk::dayOfWeek(shown) + 5) % 7;
    const double day = medianMicros(21, [&](int i) {
        w->showDay(monday + i % 2);
        QApplication::processEvents();
        check(w->state().shownDate() == monday + i % 2, "the day was not shown");
    });
    const double channel = medianMicros(21, [&](int) {
        const int before = w->channelTabs->currentIndex();
        w->nextChannelAction->trigger();
        QApplication::processEvents();
        check(w->channelTabs->currentIndex() != before, "the channel did not change");
    });
    const int current = w->state().currentIndex();
    const double tick = medianMicros(201, [&](int) { w->onClockTimer(); });
    check(w->state().currentIndex() == current, "an idle tick changed the running programme");
    std::printf(
        "Main window, offscreen, demo week (%d channels): create to first painted day %.0f us, "
        "new day %.0f us, channel change %.0f us, idle timer tick %.1f us (medians)\n",
        w->state().channels().count(), create, day, channel, tick);
    return 0;
}
