// The main window while it reloads the largest areas a user keeps (65,535
// messages in Squish and JAM, 32,000 in Hudson; echoarea.h), on the offscreen
// platform. The refresh is started as the user starts it ("Обновить"), over
// the index of the load at start, and while it runs a 5 ms timer on the
// window's thread records each turn of the event loop and repaints a small
// widget, whose paints are recorded too.
//
// Columns: "refresh ms" from the start to the first paint of the new day,
// "action ms" until the action returned; "frozen ms", the longest gap
// between turns of the event loop in that time, "busy ms" the CPU time the
// window's thread had in it, and "while" what ran then: "begin" (the refresh
// up to the load's start on its thread), "load" (while the load runs),
// "finish" (the load's end, the week taken back and the day drawn), "paint"
// (the first paint of the day); "paint gap", the longest between paints;
// "idle gap", the longest gap of the same timer with the window idle as long
// (what the machine itself holds the thread back: a gap with little busy
// time is the thread waiting for a core; a virtual machine that does not
// report stolen time counts it as busy); "progress at", when the progress
// box showed ("sometimes": not in every repetition). Then, as the window
// does them and to the end of their repaint: "day ms", a switch to the next
// day of the week, "grid ms", a rebuild of the grid of running programmes
// for the next minute. Medians of the repetitions; the gaps are the longest
// of all.
//
// --each also prints every refresh on stderr: its times, the longest gaps
// with the CPU time of the window's thread and of the whole process in them.
//
// Usage: bench_window_load [--reps N] [--kinds squish,jam,hudson] [--each]
#include <time.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/ui.h"
#include "echoarea.h"
#include "gui/mainwindow.h"

namespace {

using orbisk::Answer;
using orbisk::Buttons;
using orbisk::MsgIcon;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "window_load: %s\n", what);
    std::exit(1);
}

// Boxes a load raises (the mailing-structure warning) would wait for a
// click: they are counted instead.
struct CountingNotifier : orbisk::Notifier {
    int shown = 0;
    void show(const std::string&, const std::string&, MsgIcon) override { ++shown; }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override {
        ++shown;
        return Answer::No;
    }
};

// Milliseconds since the process's clock started.
QElapsedTimer gClock;
double nowMs() { return static_cast<double>(gClock.nsecsElapsed()) / 1e6; }

// A moment on the window's thread: the wall clock and the CPU time this
// thread had used. A gap with little CPU is the thread kept waiting (for a
// core, a lock), one with much is work done on it.
struct Stamp {
    double wall = 0, cpu = 0, processCpu = 0;
};
double cpuMs(clockid_t which) {
    timespec ts{};
    clock_gettime(which, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}
Stamp stamp() { return {nowMs(), cpuMs(CLOCK_THREAD_CPUTIME_ID), cpuMs(CLOCK_PROCESS_CPUTIME_ID)}; }

// The times at which a watched widget was painted.
class PaintLog : public QObject {
public:
    std::vector<Stamp> times;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) times.push_back(stamp());
        return QObject::eventFilter(watched, event);
    }
    std::size_t count() const { return times.size(); }
};

// A speck in the window's corner that is repainted on every turn of the
// event loop the 5 ms timer gets.
class Ticker : public QWidget {
public:
    explicit Ticker(QWidget* parent) : QWidget(parent) {
        // Opaque: its paint leaves the menu bar under it alone.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(0, 0, 4, 4);
        raise();
        timer_.setInterval(5);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            turns.push_back(stamp());
            if (onTurn) onTurn();
            update();
        });
    }
    void start() {
        turns.clear();
        paints.clear();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    std::vector<Stamp> turns, paints;
    std::function<void()> onTurn;

protected:
    void paintEvent(QPaintEvent*) override {
        paints.push_back(stamp());
        QPainter(this).fillRect(rect(), paints.size() % 2 ? Qt::black : Qt::white);
    }

private:
    QTimer timer_;
};

// Waits until `log` has more than `before` paints (at most a second); the
// time of that paint, or of giving up.
Stamp waitForPaint(const PaintLog& log, std::size_t before) {
    QElapsedTimer limit;
    limit.start();
    while (log.count() <= before && limit.elapsed() < 1000) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return log.count() > before ? log.times[before] : stamp();
}

struct Gap {
    double ms = 0, cpu = 0, processCpu = 0, from = 0;
    const char* during = "";
};

// Marks of one refresh: started, the first turn inside the load's loop,
// the action returned, the new day painted.
struct Marks {
    Stamp start, dayPainted;
    double loopTurn = -1, returned = 0;
};

// What ran in a gap, told by where it began.
const char* phaseOf(double from, double to, const Marks& m) {
    if (m.loopTurn < 0 || from < m.loopTurn) return "begin";
    if (from >= m.returned) return "paint";
    return to >= m.returned ? "finish" : "load";
}

// The longest gap between the events of `times` within [m.start, m.dayPainted],
// both ends counted as events.
Gap longestGap(const std::vector<Stamp>& times, const Marks& m) {
    std::vector<Stamp> t{m.start};
    for (const Stamp& x : times)
        if (x.wall > m.start.wall && x.wall < m.dayPainted.wall) t.push_back(x);
    t.push_back(m.dayPainted);
    Gap g;
    for (std::size_t i = 1; i < t.size(); ++i)
        if (t[i].wall - t[i - 1].wall > g.ms)
            g = {t[i].wall - t[i - 1].wall, t[i].cpu - t[i - 1].cpu, t[i].processCpu - t[i - 1].processCpu,
                 t[i - 1].wall - m.start.wall, phaseOf(t[i - 1].wall, t[i].wall, m)};
    return g;
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Row {
    double refresh = 0, returned = 0;
    Gap turn, paint;
    double idleGap = 0;
    double progressAt = -1;  // -1: never shown
    double daySwitch = 0, grid = 0;
    int channels = 0, boxes = 0;
};

Row measure(const std::string& iniPath, int reps, bool each) {
    CountingNotifier notifier;
    // The evening of 9 December 2026, when a programme runs on every channel.
    orbisk::FixedClock clock(orbisk::encodeDate(2026, 12, 9) + orbisk::encodeTime(21, 10));
    orbisk::MainWindowOptions o;
    o.iniPath = iniPath;
    o.messages = &notifier;
    o.time = &clock;
    o.quit = [] { fail("the window ended the program (settings missing?)"); };
    orbisk::MainWindow w(o);  // the load at start
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) fail("the window was not exposed");
    QApplication::processEvents();
    if (w.dayView->toPlainText().isEmpty()) fail("the day view is empty after the load at start");

    PaintLog dayPaints, gridPaints;
    w.dayView->viewport()->installEventFilter(&dayPaints);
    w.filmGrid->viewport()->installEventFilter(&gridPaints);
    Ticker ticker(&w);
    ticker.show();

    Row row;
    std::vector<double> refresh, returned, progress;
    for (int r = 0; r < reps; ++r) {
        Marks m;
        double boxAt = -1;
        ticker.onTurn = [&] {
            if (m.loopTurn < 0) m.loopTurn = nowMs();
            if (boxAt < 0)
                if (auto* box = w.findChild<QProgressDialog*>(); box && box->isVisible()) boxAt = nowMs();
        };
        ticker.start();
        m.start = stamp();
        w.refreshAction->trigger();
        m.returned = nowMs();
        // Paints during the load (under the progress box) drew the emptied day.
        m.dayPainted = waitForPaint(dayPaints, dayPaints.count());
        ticker.stop();
        if (w.dayView->toPlainText().isEmpty()) fail("the day view is empty after the refresh");
        refresh.push_back(m.dayPainted.wall - m.start.wall);
        returned.push_back(m.returned - m.start.wall);
        if (boxAt >= 0) progress.push_back(boxAt - m.start.wall);
        const Gap turn = longestGap(ticker.turns, m), paint = longestGap(ticker.paints, m);
        if (turn.ms > row.turn.ms) row.turn = turn;
        if (paint.ms > row.paint.ms) row.paint = paint;
        if (each)
            std::fprintf(stderr,
                         "refresh %.1f returned %.1f loop %.1f box %.1f turn %.1f (cpu %.1f, process %.1f) @%.1f %s paint %.1f "
                         "(cpu %.1f) @%.1f %s\n",
                         m.dayPainted.wall - m.start.wall, m.returned - m.start.wall, m.loopTurn - m.start.wall,
                         boxAt < 0 ? -1 : boxAt - m.start.wall, turn.ms, turn.cpu, turn.processCpu, turn.from, turn.during, paint.ms,
                         paint.cpu, paint.from, paint.during);
        QTest::qWait(100);  // what a refresh left queued
    }
    // The same ticks with the window idle for as long as the refreshes took:
    // what the machine itself holds the window's thread back (other work on
    // its two cores).
    {
        double total = 0;
        for (double r : refresh) total += r;
        ticker.start();
        QTest::qWait(static_cast<int>(total));
        ticker.stop();
        for (std::size_t i = 1; i < ticker.turns.size(); ++i)
            row.idleGap = std::max(row.idleGap, ticker.turns[i].wall - ticker.turns[i - 1].wall);
    }
    row.refresh = median(refresh);
    row.returned = median(returned);
    row.progressAt = progress.size() == refresh.size() ? median(progress) : progress.empty() ? -1 : -2;

    QAction* const dayActions[] = {w.mondayAction,   w.tuesdayAction, w.wednesdayAction, w.thursdayAction,
                                   w.fridayAction,   w.saturdayAction, w.sundayAction};
    std::vector<double> day;
    for (int r = 0; r < reps * 7; ++r) {
        const int next = (w.state().shownDayIndex() + 1) % 7;
        const std::size_t before = dayPaints.count();
        const double t = nowMs();
        dayActions[next]->trigger();
        day.push_back(waitForPaint(dayPaints, before).wall - t);
        if (w.state().shownDayIndex() != next) fail("the next day was not shown");
    }
    row.daySwitch = median(day);

    w.showFilmsPage();
    QTest::qWait(50);
    std::vector<double> grid;
    for (int r = 0; r < reps * 7; ++r) {
        clock.set(clock.now() + orbisk::encodeTime(0, 1));
        const std::size_t before = gridPaints.count();
        const double t = nowMs();
        w.onFilmTimer();
        grid.push_back(waitForPaint(gridPaints, before).wall - t);
    }
    row.grid = median(grid);
    row.channels = w.filmGrid->rowCount();
    row.boxes = notifier.shown;
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = 5;
    bool each = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--kinds") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--each") == 0)
            each = true;
        else {
            std::fprintf(stderr, "usage: bench_window_load [--reps N] [--kinds squish,jam,hudson] [--each]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    gClock.start();
    QTemporaryDir root;
    if (!root.isValid()) fail("no temporary folder");

    std::printf("%-7s %8s %10s %9s %9s %8s %-7s %9s %8s %11s %7s %7s\n", "kind", "messages", "refresh ms",
                "action ms", "frozen ms", "busy ms", "while", "paint gap", "idle gap", "progress at", "day ms",
                "grid ms");
    for (const bench::Kind& kind : bench::kKinds) {
        if (kind.letter == 'F' || (!only.empty() && only.find(kind.name) == std::string::npos)) continue;
        const auto [count, sizes] = bench::areaSize(kind, true);
        const std::string dir = (root.path() + QLatin1Char('/') + QLatin1String(kind.name)).toStdString();
        std::filesystem::create_directories(dir);
        bench::writeArea(kind, dir, count, sizes);
        const std::string id = bench::identifier(kind, dir);
        const Row row = measure(bench::writeSettings(id, dir), reps, each);
        char progress[32];
        if (row.progressAt >= 0)
            std::snprintf(progress, sizeof progress, "%.0f ms", row.progressAt);
        else
            std::snprintf(progress, sizeof progress, "%s", row.progressAt == -1 ? "never" : "sometimes");
        std::printf("%-7s %8d %10.1f %9.1f %9.1f %8.1f %-7s %9.1f %8.1f %11s %7.2f %7.2f\n", kind.name, count,
                    row.refresh, row.returned, row.turn.ms, row.turn.cpu, row.turn.during, row.paint.ms, row.idleGap,
                    progress, row.daySwitch, row.grid);
        std::printf("        longest gap began %.1f ms after the start; longest between paints %.1f ms (%s); grid of "
                    "%d channels; %d boxes counted\n",
                    row.turn.from, row.paint.ms, row.paint.during, row.channels, row.boxes);
        std::fflush(stdout);
        std::filesystem::remove_all(dir);
    }
    return 0;
}
