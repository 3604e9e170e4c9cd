#include "gui/mainwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "gui/qtext.h"
#include "viewer/reminderrecord.h"
#include "gui/weektabbar.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/timetext.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::kDayNames;
using test::kMonthNames;
using test::TempDir;
using test::readFile;
using test::writeFile;

const std::string kFirst = "Первый канал"_cp1251;
const std::string kRossia = "Россия"_cp1251;
const std::string kHidden = "Hidden TV";
const std::string kNoProgramme = "Нет программы"_cp1251;
const std::string kNews = "Время"_cp1251;

// The week of Monday 3 June 2024; the clock stands at 00:20 on Wednesday,
// so the listing day is Tuesday.
const DateTime kMonday = encodeDate(2024, 6, 3);
const DateTime kTuesday = kMonday + 1;
const DateTime kAt0020 = kMonday + 2 + encodeTime(0, 20);

struct Block {
    std::string channel;
    std::vector<std::string> lines;
};

// "Вторник. 4 июня Первый канал" between the caption rows.
std::vector<std::string> dayLines(DateTime date, const std::vector<Block>& blocks) {
    int y = 0, m = 0, d = 0;
    decodeDate(date, y, m, d);
    std::vector<std::string> out;
    for (const Block& b : blocks) {
        out.push_back("======");
        out.push_back(std::string(kDayNames[dayOfWeek(date)]) + ". " + std::to_string(d) + " " + kMonthNames[m] + " " +
                      b.channel);
        out.push_back("-----------------");
        out.insert(out.end(), b.lines.begin(), b.lines.end());
    }
    return out;
}

std::vector<Block> tuesdayBlocks() {
    return {{kHidden, {"06.00 Hidden morning", "23.00 Hidden night"}},
            {kFirst,
             {"06.00 Morning show", "09.00 \"" + kNews + "\" of the day", "19.30 Quiz 'x' and \"y", "21.00 Film",
              "23.30 Late film with a long title that wraps in the grid column", "01.00 Night news"}},
            {kRossia, {"06.00 Morning", "12.00 Midday", "22.00 Evening film"}}};
}

// An internet-text listing: Orbisk.ini and the files tv/<n>.txt.
class Listing {
public:
    explicit Listing(bool enableWarning = true) {
        std::filesystem::create_directories(dir_.path() / "tv");
        ini_ = "[MAIN]\r\nFIDOPath=I" + dir_.str() + "/tv\r\nEnableWarning=" + (enableWarning ? "1" : "0") +
               "\r\n[DAYS]\r\n";
        for (int i = 1; i <= 7; ++i) ini_ += std::to_string(i) + "=" + kDayNames[i] + "\r\n";
        ini_ += "[MONTHS]\r\n";
        for (int i = 1; i <= 12; ++i) ini_ += std::to_string(i) + "=" + kMonthNames[i] + "\r\n";
        ini_ += "[Channels]\r\n1=" + kHidden + "\r\n[Channel1]\r\nHide=1\r\n";
        writeFile(iniPath(), ini_);
    }
    void day(int n, DateTime date, const std::vector<Block>& blocks) {
        std::string text = "[tv.all]\r\n";
        for (const auto& l : dayLines(date, blocks)) text += l + "\r\n";
        writeFile(dir_ / ("tv/" + std::to_string(n) + ".txt"), ansiToKoi8(text));
    }
    std::string iniPath() const { return dir_ / "Orbisk.ini"; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::string ini_;
};

// Message boxes the window would show, recorded instead.
struct RecordingNotifier : Notifier {
    std::vector<std::string> shown;
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string& text, const std::string&, MsgIcon, Buttons) override {
        shown.push_back(text);
        return Answer::Cancel;
    }
};

// A box that a test did not expect (the general error box) is closed and
// noted instead of blocking the test.
class ModalWatchdog {
public:
    ModalWatchdog() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                closed_.push_back(box ? box->text().toStdString() : "?");
                w->close();
            }
        });
        timer_.start(50);
    }
    const std::vector<std::string>& closed() const { return closed_; }

private:
    QTimer timer_;
    std::vector<std::string> closed_;
};

struct Window {
    Window(const std::string& iniPath, DateTime now, bool show = true) : clock(now) {
        MainWindowOptions o;
        o.iniPath = iniPath;
        o.messages = &notifier;
        o.time = &clock;
        o.quit = [this] { ++quits; };
        w = std::make_unique<MainWindow>(o);
        if (show) {
            w->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        }
    }
    MainWindow* operator->() { return w.get(); }

    FixedClock clock;
    RecordingNotifier notifier;
    int quits = 0;
    std::unique_ptr<MainWindow> w;
};

std::unique_ptr<Listing> standardListing() {
    auto l = std::make_unique<Listing>();
    l->day(1, kMonday, {{kFirst, {"06.00 Monday morning", "20.00 Monday film"}}});
    l->day(2, kTuesday, tuesdayBlocks());
    l->day(3, kMonday + 2, {{kFirst, {"06.00 Wednesday morning"}}, {kRossia, {"07.00 Wednesday news"}}});
    return l;
}

QTextCharFormat formatAt(QTextEdit* e, int position) {
    QTextCursor c(e->document());
    c.setPosition(position + 1);  // the format of the character before
    return c.charFormat();
}

int blockStart(QTextEdit* e, int block) { return e->document()->findBlockByNumber(block).position(); }

bool lineUnderlined(QTextEdit* e, int block) {
    const QTextBlock b = e->document()->findBlockByNumber(block);
    for (int i = 0; i < b.length() - 1; ++i)
        if (!formatAt(e, b.position() + i).fontUnderline()) return false;
    return b.length() > 1;
}

std::string tabTexts(QTabBar* bar) {
    std::string s;
    for (int i = 0; i < bar->count(); ++i) s += (i ? "|" : "") + fromQString(bar->tabText(i));
    return s;
}

TEST(MainWindow, WeekNavigationAndDaysWithoutProgramme) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    ASSERT_TRUE(w->usable());
    EXPECT_EQ(w.quits, 0);
    EXPECT_TRUE(w.notifier.shown.empty()) << w.notifier.shown.front();
    // Before 04:30 the listing day is the day before.
    EXPECT_EQ(w->state().shownDate(), kTuesday);
    EXPECT_EQ(w->weekTabs->currentIndex(), 1);
    EXPECT_EQ(fromQString(w->weekTabs->tabText(0)), "03 " + std::string(kMonthNames[6]) + ", " + kDayNames[2]);
    EXPECT_EQ(fromQString(w->weekTabs->tabText(2)), "05 " + std::string(kMonthNames[6]) + ", " + kDayNames[4]);
    for (int i = 3; i < 7; ++i) EXPECT_EQ(fromQString(w->weekTabs->tabText(i)), kNoProgramme) << i;
    EXPECT_FALSE(w->prevWeekAction->isEnabled());
    EXPECT_FALSE(w->nextWeekAction->isEnabled());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Орбиск"));
    // The hidden first channel has no tab; the first shown one is current.
    EXPECT_EQ(tabTexts(w->channelTabs), kFirst + "|" + kRossia);
    EXPECT_EQ(w->state().channels().current()->name, kFirst);
    EXPECT_TRUE(w->clockTimer->isActive());
    EXPECT_EQ(fromQString(w->clockLabel->text()), "05 " + std::string(kMonthNames[6]) + ", " + kDayNames[4] + " 00.20");

    // A day without text empties the view and leaves the channel tabs.
    w->thursdayAction->trigger();
    EXPECT_EQ(w->state().shownDate(), kMonday + 3);
    EXPECT_EQ(w->weekTabs->currentIndex(), 3);
    EXPECT_TRUE(w->dayView->toPlainText().isEmpty());
    EXPECT_EQ(tabTexts(w->channelTabs), kFirst + "|" + kRossia);
    // The timer leaves a day without text alone.
    w->onClockTimer();
    EXPECT_TRUE(w->dayView->toPlainText().isEmpty());

    w->mondayAction->trigger();
    EXPECT_EQ(w->state().shownDate(), kMonday);
    EXPECT_EQ(fromQString(w->dayView->toPlainText()), "06.00 Monday morning\n20.00 Monday film");
    EXPECT_EQ(tabTexts(w->channelTabs), kFirst);
    // The day shown again: nothing is parsed or drawn.
    w->dayView->setPlainText(QStringLiteral("marker"));
    w->mondayAction->trigger();
    EXPECT_EQ(w->dayView->toPlainText(), QStringLiteral("marker"));

    // A click on a week tab shows its day.
    QTest::mouseClick(w->weekTabs, Qt::LeftButton, {}, w->weekTabs->tabRect(2).center());
    EXPECT_EQ(w->state().shownDate(), kMonday + 2);
    EXPECT_EQ(w->weekTabs->currentIndex(), 2);
    EXPECT_EQ(tabTexts(w->channelTabs), kFirst + "|" + kRossia);

    // "Сегодня" takes the calendar date, without the 04:30 rule.
    w->tuesdayAction->trigger();
    w->todayAction->trigger();
    EXPECT_EQ(w->state().shownDate(), kMonday + 2);
    // Ctrl+1 through the window's shortcut, with the focus in the text view.
    w->dayView->setFocus();
    QTest::keyClick(w->dayView, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(w->state().shownDate(), kMonday);
}

TEST(MainWindow, WeekButtonsFollowTheLoadedWeeks) {
    auto listing = standardListing();
    // File 7 holds a day of the next week.
    listing->day(7, kMonday + 7, {{kFirst, {"06.00 Next week"}}});
    Window w(listing->iniPath(), kAt0020);
    EXPECT_FALSE(w->prevWeekAction->isEnabled());
    EXPECT_TRUE(w->nextWeekAction->isEnabled());
    w->nextWeekAction->trigger();
    EXPECT_EQ(w->state().shownDate(), kTuesday + 7);
    EXPECT_TRUE(w->prevWeekAction->isEnabled());
    EXPECT_FALSE(w->nextWeekAction->isEnabled());
    EXPECT_EQ(fromQString(w->weekTabs->tabText(1)), kNoProgramme);
    EXPECT_NE(fromQString(w->weekTabs->tabText(0)), kNoProgramme);
    w->mondayAction->trigger();
    EXPECT_EQ(fromQString(w->dayView->toPlainText()), "06.00 Next week");
    w->prevWeekAction->trigger();
    EXPECT_EQ(w->state().shownDate(), kMonday);
}

TEST(MainWindow, DayViewFormatsAndPickedProgramme) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    QTextEdit* re = w->dayView;
    ASSERT_EQ(re->document()->blockCount(), 6);
    // The running programme (23.30) has the yellow background.
    for (int b = 0; b < 6; ++b) {
        const QTextBlockFormat f = re->document()->findBlockByNumber(b).blockFormat();
        EXPECT_EQ(f.background().color() == QColor(Qt::yellow) && f.background().style() != Qt::NoBrush, b == 4) << b;
    }
    EXPECT_EQ(w->state().currentIndex(), 4);
    // Started without arguments: the picked time is the running programme's start.
    EXPECT_EQ(w->state().showTime(), encodeTime(23, 30));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(lineUnderlined(re, b), b == 4) << b;
    // Bold time prefixes, plain titles.
    for (int b = 0; b < 6; ++b) {
        const int start = blockStart(re, b);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(formatAt(re, start + i).fontWeight(), QFont::Bold) << b << ":" << i;
        EXPECT_NE(formatAt(re, start + 6).fontWeight(), QFont::Bold) << b;
    }
    // Navy between quotes, quotes excluded; a lone quote colours nothing.
    const QColor navy(0, 0, 128);
    const int news = blockStart(re, 1) + 7;  // after `09.00 "`
    EXPECT_EQ(fromQString(re->toPlainText().mid(news, 5)), kNews);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(formatAt(re, news + i).foreground().color(), navy) << i;
    EXPECT_NE(formatAt(re, news - 1).foreground().color(), navy);
    EXPECT_NE(formatAt(re, news + 5).foreground().color(), navy);
    const int quiz = blockStart(re, 2);  // 19.30 Quiz 'x' and "y
    EXPECT_EQ(formatAt(re, quiz + 12).foreground().color(), navy);   // x
    EXPECT_NE(formatAt(re, quiz + 20).foreground().color(), navy);  // y: no closing quote
    // The caret stands at the start of the running programme.
    EXPECT_EQ(re->textCursor().position(), blockStart(re, 4));
    // The running line's text is dark on its yellow whatever the palette;
    // on a dark page the quoted titles turn light.
    EXPECT_EQ(formatAt(re, blockStart(re, 4) + 6).foreground().color(), QColor(Qt::black));
    QPalette darkPalette = re->palette();
    darkPalette.setColor(QPalette::Base, QColor(30, 30, 30));
    darkPalette.setColor(QPalette::Text, QColor(230, 230, 230));
    re->setPalette(darkPalette);
    w->refreshAction->trigger();
    EXPECT_EQ(formatAt(re, blockStart(re, 4) + 6).foreground().color(), QColor(Qt::black));
    EXPECT_GT(formatAt(re, news).foreground().color().lightness(), 160);
    re->setPalette(QPalette());
    w->refreshAction->trigger();
    EXPECT_FALSE(re->textCursor().hasSelection());

    // A click on a line picks its programme: the underline moves there, the
    // old line keeps its bold time and its background.
    QTextCursor c(re->document());
    c.setPosition(blockStart(re, 1) + 9);
    const QPoint at = re->cursorRect(c).center();
    QTest::mouseClick(re->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(w->state().showTime(), encodeTime(9, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(lineUnderlined(re, b), b == 1) << b;
    EXPECT_EQ(formatAt(re, blockStart(re, 4)).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(re, blockStart(re, 4) + 6).fontWeight(), QFont::Bold);
    EXPECT_EQ(re->document()->findBlockByNumber(4).blockFormat().background().color(), QColor(Qt::yellow));
    EXPECT_EQ(formatAt(re, news).foreground().color(), navy);

    // Up: the caret moves to the line above and its programme is picked.
    re->setFocus();
    QTest::keyClick(re, Qt::Key_Up);
    EXPECT_EQ(re->textCursor().blockNumber(), 0);
    EXPECT_EQ(w->state().showTime(), encodeTime(6, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(lineUnderlined(re, b), b == 0) << b;
    EXPECT_EQ(w->timeAtCaret(), encodeTime(6, 0));
    // Down moves it on; another key picks nothing.
    QTest::keyClick(re, Qt::Key_Down);
    EXPECT_EQ(w->state().showTime(), encodeTime(9, 0));
    QTest::keyClick(re, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w->state().showTime(), encodeTime(9, 0));

    // The picked time survives a day change and is underlined there.
    w->wednesdayAction->trigger();
    w->tuesdayAction->trigger();
    EXPECT_EQ(w->state().showTime(), encodeTime(9, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(lineUnderlined(w->dayView, b), b == 1) << b;
}

TEST(MainWindow, ProgressStripChannelsAndTimer) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    // 00:20 between 23.30 and 01.00.
    EXPECT_EQ(fromQString(w->startTimeLabel->text()), "23.30");
    EXPECT_EQ(fromQString(w->stopTimeLabel->text()), "01.00");
    EXPECT_EQ(w->progressBar->minimum(), 1410);
    EXPECT_EQ(w->progressBar->maximum(), 1500);
    EXPECT_EQ(w->progressBar->value(), 1460);

    // One tick a minute later moves only the bar.
    w.clock.set(kAt0020 + encodeTime(0, 1));
    w->onClockTimer();
    EXPECT_EQ(w->progressBar->value(), 1461);
    EXPECT_EQ(w->state().currentIndex(), 4);

    // Channel tabs wrap both ways; the picked time moves to the running programme.
    ASSERT_EQ(w->channelTabs->count(), 2);
    EXPECT_EQ(w->channelTabs->currentIndex(), 0);
    w->nextChannelAction->trigger();
    EXPECT_EQ(w->channelTabs->currentIndex(), 1);
    EXPECT_EQ(w->state().channels().current()->name, kRossia);
    EXPECT_EQ(w->state().showTime(), encodeTime(22, 0));
    // The day's last programme: "???", maximum 1800, the bar at its start.
    EXPECT_EQ(fromQString(w->startTimeLabel->text()), "22.00");
    EXPECT_EQ(fromQString(w->stopTimeLabel->text()), "???");
    EXPECT_EQ(w->progressBar->minimum(), 1320);
    EXPECT_EQ(w->progressBar->maximum(), 1800);
    EXPECT_EQ(w->progressBar->value(), w->progressBar->minimum());
    EXPECT_EQ(w->state().progress()->position, 0);
    EXPECT_EQ(fromQString(w->dayView->toPlainText()), "06.00 Morning\n12.00 Midday\n22.00 Evening film");
    w->nextChannelAction->trigger();
    EXPECT_EQ(w->channelTabs->currentIndex(), 0);
    EXPECT_EQ(w->state().channels().current()->name, kFirst);
    w->prevChannelAction->trigger();
    EXPECT_EQ(w->channelTabs->currentIndex(), 1);
    // Ctrl+Left from inside the text view reaches the window.
    w->dayView->setFocus();
    QTest::keyClick(w->dayView, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w->channelTabs->currentIndex(), 0);
    // A click on a tab.
    QTest::mouseClick(w->channelTabs, Qt::LeftButton, {}, w->channelTabs->tabRect(1).center());
    EXPECT_EQ(w->state().channels().current()->name, kRossia);
    QTest::mouseClick(w->channelTabs, Qt::LeftButton, {}, w->channelTabs->tabRect(0).center());

    // At 01:05 the running programme changes: the highlight and strip follow.
    w.clock.set(kAt0020 + encodeTime(0, 45));
    w->onClockTimer();
    EXPECT_EQ(w->state().currentIndex(), 5);
    EXPECT_EQ(w->dayView->document()->findBlockByNumber(5).blockFormat().background().color(), QColor(Qt::yellow));
    EXPECT_EQ(w->dayView->document()->findBlockByNumber(4).blockFormat().background().style(), Qt::NoBrush);
    EXPECT_EQ(fromQString(w->startTimeLabel->text()), "01.00");
    EXPECT_EQ(fromQString(w->stopTimeLabel->text()), "???");
    EXPECT_EQ(fromQString(w->clockLabel->text()), "05 " + std::string(kMonthNames[6]) + ", " + kDayNames[4] + " 01.05");

    // A refresh stops the timer and starts it again at its end.
    w->refreshAction->trigger();
    EXPECT_TRUE(w->clockTimer->isActive());
    EXPECT_EQ(w->state().shownDate(), kTuesday);
}

// Pixels of the highlight colour on the middle line of a cell.
int barPixels(QTableWidget* grid, int row) {
    const QImage image = grid->viewport()->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(row, 3));
    const QColor highlight = grid->palette().color(QPalette::Highlight);
    const int y = cell.center().y() * image.height() / grid->viewport()->height();
    const double scale = static_cast<double>(image.width()) / grid->viewport()->width();
    int n = 0;
    for (int x = cell.left(); x <= cell.right(); ++x)
        if (image.pixelColor(static_cast<int>(x * scale), y) == highlight) ++n;
    return n;
}

TEST(MainWindow, CurrentProgrammesGrid) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    QTableWidget* grid = w->filmGrid;
    w->resize(1000, 500);  // all four columns in sight
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Фильм"));
    EXPECT_TRUE(w->reminderAction->isEnabled());
    w->filmsPageAction->trigger();
    EXPECT_EQ(w->pages->currentWidget(), w->filmsPage);
    EXPECT_TRUE(w->filmTimer->isActive());
    EXPECT_FALSE(w->reminderAction->isEnabled());
    QApplication::processEvents();

    // One row per shown channel.
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(fromQString(grid->item(0, 0)->text()), kFirst);
    EXPECT_EQ(fromQString(grid->item(0, 1)->text()), "Late film with a long title that wraps in the grid column");
    EXPECT_EQ(fromQString(grid->item(0, 2)->text()), "23.30-01.00");
    EXPECT_EQ(fromQString(grid->item(1, 0)->text()), kRossia);
    EXPECT_EQ(fromQString(grid->item(1, 2)->text()), "22.00-???");
    EXPECT_EQ(w->showTimeEdit->time(), QTime(0, 20));
    EXPECT_TRUE(w->currentFilmsCheck->isChecked());

    // The bar: (1460 - 1410) / (1500 - 1410) = 5/9 of the shrunk cell.
    const QRect cell = grid->visualRect(grid->model()->index(0, 3));
    const int expected = static_cast<int>(std::lround(5.0 / 9.0 * (cell.width() - 6)));
    EXPECT_NEAR(barPixels(grid, 0), expected, 1);
    EXPECT_EQ(barPixels(grid, 1), 0);  // "-???" draws no bar
    // The long title wraps: its row is taller than the other.
    grid->setColumnWidth(1, 120);
    EXPECT_GT(grid->rowHeight(0), grid->rowHeight(1));

    // A picked time untucks the box and is shown on the next build.
    w->showTimeEdit->setTime(QTime(21, 0));
    EXPECT_FALSE(w->currentFilmsCheck->isChecked());
    w->onFilmTimer();
    EXPECT_EQ(fromQString(grid->item(0, 2)->text()), "21.00-23.30");
    EXPECT_EQ(fromQString(grid->item(1, 2)->text()), "12.00-22.00");
    EXPECT_EQ(fromQString(grid->item(0, 1)->text()), "Film");
    // A channel with nothing running at 05:00 shows only its name.
    w->showTimeEdit->setTime(QTime(5, 0));
    w->onFilmTimer();
    EXPECT_EQ(fromQString(grid->item(0, 0)->text()), kFirst);
    EXPECT_TRUE(grid->item(0, 2)->text().isEmpty());
    // Ticking the box again returns to the current time.
    w->currentFilmsCheck->setChecked(true);
    w->onFilmTimer();
    EXPECT_EQ(fromQString(grid->item(0, 2)->text()), "23.30-01.00");

    // A double click opens the channel at the grid time.
    w->showTimeEdit->setTime(QTime(12, 30));
    w->onFilmTimer();
    const QRect row1 = grid->visualRect(grid->model()->index(1, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row1.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(w->pages->currentWidget(), w->channelsPage);
    EXPECT_FALSE(w->filmTimer->isActive());
    EXPECT_TRUE(w->reminderAction->isEnabled());
    EXPECT_EQ(w->channelTabs->currentIndex(), 1);
    EXPECT_EQ(w->state().channels().current()->name, kRossia);
    EXPECT_EQ(w->state().showTime(), encodeTime(12, 30));
    for (int b = 0; b < 3; ++b) EXPECT_EQ(lineUnderlined(w->dayView, b), b == 1) << b;

    // Enter on a row does what the double click does.
    w->filmsPageAction->trigger();
    w->onFilmTimer();
    grid->setFocus();
    grid->setCurrentCell(0, 0);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(w->pages->currentWidget(), w->channelsPage);
    EXPECT_EQ(w->channelTabs->currentIndex(), 0);
    EXPECT_EQ(w->state().channels().current()->name, kFirst);
}

TEST(MainWindow, PlacementAndColumnWidthsSurviveARestart) {
    auto listing = standardListing();
    int channelColumn = 0;
    {
        Window w(listing->iniPath(), kAt0020);
        // Nothing stored yet: most of the screen, all of it on the screen.
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_GE(w->width(), free.width() * 85 / 100) << free.width();
        EXPECT_GE(w->height(), free.height() * 85 / 100) << free.height();
        EXPECT_TRUE(free.contains(w->geometry())) << "first start off the screen";
        w->setGeometry(140, 90, 720, 480);
        w->filmGrid->setColumnWidth(1, 333);
        w->filmGrid->setColumnWidth(3, 77);
        channelColumn = w->filmGrid->columnWidth(0);  // fitted to the names
        w->close();
    }
    const std::string ini = readFile(listing->iniPath());
    EXPECT_NE(ini.find("NormPos=140,90,860,570"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ShowCmd=1"), std::string::npos);
    EXPECT_NE(ini.find("Column1=333"), std::string::npos);
    // The other sections are untouched.
    EXPECT_NE(ini.find("[Channel1]\r\nHide=1"), std::string::npos);

    Window again(listing->iniPath(), kAt0020, false);
    EXPECT_EQ(again->geometry(), QRect(140, 90, 720, 480));
    EXPECT_EQ(again->filmGrid->columnWidth(0), channelColumn);
    EXPECT_EQ(again->filmGrid->columnWidth(1), 333);
    EXPECT_EQ(again->filmGrid->columnWidth(3), 77);

    // A place on no screen keeps the centred window, with the saved size.
    std::string moved = ini;
    moved.replace(moved.find("NormPos=140,90,860,570"), 22, "NormPos=-9000,-9000,-8400,-8600");
    writeFile(listing->iniPath(), moved);
    Window off(listing->iniPath(), kAt0020, false);
    EXPECT_EQ(off->size(), QSize(600, 400));
    EXPECT_GT(off->x(), -9000);
    EXPECT_FALSE(off->windowState() & Qt::WindowMaximized);

    // Closed maximised: opens maximised, over the stored normal place.
    std::string maximised = ini;
    maximised.replace(maximised.find("ShowCmd=1"), 9, "ShowCmd=3");
    writeFile(listing->iniPath(), maximised);
    Window big(listing->iniPath(), kAt0020, false);
    EXPECT_TRUE(big->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(big->normalGeometry().size(), QSize(720, 480));
}

TEST(MainWindow, WarningSwitchSuppressesTheStructureWarning) {
    // Files 1 and 3 only: a gap in the mailing.
    Listing listing(false);
    listing.day(1, kMonday, {{kFirst, {"06.00 A"}}});
    listing.day(3, kMonday + 2, {{kFirst, {"06.00 C"}}});
    Window w(listing.iniPath(), kAt0020);
    EXPECT_TRUE(w->warningAction->isChecked());
    EXPECT_TRUE(w.notifier.shown.empty());
    // Unticked: the warning is reported on the next refresh, once.
    w->warningAction->trigger();
    EXPECT_FALSE(w->warningAction->isChecked());
    EXPECT_TRUE(w->state().settings().enableWarning());
    EXPECT_NE(readFile(listing.iniPath()).find("EnableWarning=1"), std::string::npos);
    w->refreshAction->trigger();
    EXPECT_EQ(w.notifier.shown.size(), 1u);
    w->refreshAction->trigger();
    EXPECT_EQ(w.notifier.shown.size(), 1u);
    // Ticked again: written as 0 and read so by the next load.
    w->warningAction->trigger();
    EXPECT_TRUE(w->warningAction->isChecked());
    EXPECT_NE(readFile(listing.iniPath()).find("EnableWarning=0"), std::string::npos);
    Window fresh(listing.iniPath(), kAt0020, false);
    EXPECT_TRUE(fresh->warningAction->isChecked());
    EXPECT_TRUE(fresh.notifier.shown.empty());
}

TEST(MainWindow, ReminderHandOverShowsTheChannel) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    w->filmsPageAction->trigger();
    EXPECT_EQ(w->showReminder("19.30", kRossia), 1);
    EXPECT_EQ(w->state().channels().current()->name, kRossia);
    EXPECT_EQ(w->channelTabs->currentIndex(), 1);
    EXPECT_EQ(w->state().showTime(), encodeTime(19, 30));
    EXPECT_EQ(w->pages->currentWidget(), w->channelsPage);
    EXPECT_EQ(fromQString(w->dayView->toPlainText()), "06.00 Morning\n12.00 Midday\n22.00 Evening film");
    for (int b = 0; b < 3; ++b) EXPECT_EQ(lineUnderlined(w->dayView, b), b == 1) << b;
    // Through the hand-over record; an unreadable time keeps the picked one.
    EXPECT_EQ(w->showReminder(ReminderRecord::fromArguments("xx", kFirst)), 1);
    EXPECT_EQ(w->state().channels().current()->name, kFirst);
    EXPECT_EQ(w->channelTabs->currentIndex(), 0);
    EXPECT_EQ(w->state().showTime(), encodeTime(19, 30));
    // A hidden channel, a name in other capitals and an empty record find nothing.
    EXPECT_EQ(w->showReminder("06.00", kHidden), 0);
    EXPECT_EQ(w->showReminder("06.00", "россия"_cp1251), 0);
    EXPECT_EQ(w->showReminder(ReminderRecord()), 0);
    EXPECT_EQ(w->state().channels().current()->name, kFirst);
    EXPECT_EQ(w->state().showTime(), encodeTime(19, 30));
}

// The settings actions open their dialogs; Cancel changes nothing.
TEST(MainWindow, SettingsActionsOpenTheirDialogs) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    const std::string before = readFile(listing->iniPath());
    // Text files have no message parameters and no messages to delete.
    EXPECT_FALSE(w->messageSettingsAction->isEnabled());
    EXPECT_FALSE(w->deleteOldAction->isEnabled());
    for (QAction* action : {w->channelsAction, w->baseSettingsAction}) {
        QString opened;
        QTimer::singleShot(100, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            }
        });
        QTimer guard;  // a dialog that ignored reject() must not hang the test
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget* m = QApplication::activeModalWidget()) m->close();
        });
        guard.start(2000);
        action->trigger();
        EXPECT_FALSE(opened.isEmpty()) << action->objectName().toStdString();
    }
    EXPECT_EQ(readFile(listing->iniPath()), before);
    EXPECT_EQ(tabTexts(w->channelTabs), kFirst + "|" + kRossia);
    EXPECT_TRUE(w.notifier.shown.empty());
}

TEST(MainWindow, MissingConfigurationEndsTheProgram) {
    TempDir dir;
    Window w(dir / "Orbisk.ini", kAt0020, false);
    EXPECT_EQ(w.quits, 1);
    ASSERT_EQ(w.notifier.shown.size(), 1u);
    EXPECT_EQ(w.notifier.shown[0], kConfigMissingText);
    EXPECT_FALSE(w->usable());
    EXPECT_EQ(w->showReminder("06.00", kFirst), 0);
    w->close();
    EXPECT_FALSE(std::filesystem::exists(dir / "Orbisk.ini"));
}

// The message-parameters dialog cancelled: the program ends, nothing loads.
TEST(MainWindow, CancelledMessageParametersEndTheProgram) {
    auto listing = standardListing();
    std::string ini = readFile(listing->iniPath());
    ini += "[MSG]\r\nTimeFormat=\r\n";
    writeFile(listing->iniPath(), ini);
    struct CountingPrompts : ConfigPrompts {
        int params = 0;
        bool cursorWaiting = true;
        bool editMessageBase(Config&) override { return false; }
        bool editMessageParams(Config&) override {
            ++params;
            // The dialog is not shown under the load's wait cursor.
            cursorWaiting = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            return false;
        }
    } prompts;
    FixedClock clock(kAt0020);
    RecordingNotifier notifier;
    int quits = 0;
    MainWindowOptions o;
    o.iniPath = listing->iniPath();
    o.messages = &notifier;
    o.time = &clock;
    o.prompts = &prompts;
    o.quit = [&] { ++quits; };
    MainWindow w(o);
    EXPECT_EQ(prompts.params, 1);
    EXPECT_FALSE(prompts.cursorWaiting);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(w.clockTimer->isActive());
    EXPECT_TRUE(w.state().weeks().items.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(MainWindow, UnreadableAreaIsReportedAndLeavesTheTimerStopped) {
    Listing listing;
    std::string ini = readFile(listing.iniPath());
    ini.replace(ini.find("FIDOPath=I"), 10, "FIDOPath=i");  // no such format letter
    writeFile(listing.iniPath(), ini);
    ModalWatchdog watchdog;
    Window w(listing.iniPath(), kAt0020, false);
    ASSERT_EQ(watchdog.closed().size(), 1u);
    EXPECT_EQ(watchdog.closed()[0], "Не могу открыть базу сообщений.");
    EXPECT_FALSE(w->clockTimer->isActive());
    EXPECT_EQ(w->channelTabs->count(), 0);
    // messageSettingsAction and deleteOldAction follow the identifier's letter.
    EXPECT_TRUE(w->messageSettingsAction->isEnabled());
}

// Pixels of an image that differ from its background colour.
int inkPixels(const QImage& image, const QColor& background) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != background) ++n;
    return n;
}

// Pixels of a colour on the line of an image at the widget's y.
int pixelsOnLine(const QImage& image, const QWidget* widget, int y, const QColor& colour) {
    const int line = y * image.height() / widget->height();
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, line) == colour) ++n;
    return n;
}

// What the two pages put on the screen: the day's text from its first line,
// the running programme on a yellow line, and a films page that looks
// different, with a row per channel and the running film's bar drawn.
TEST(MainWindow, PagesPaintWhatTheyShow) {
    auto listing = standardListing();
    Window w(listing->iniPath(), kAt0020);
    w->resize(w->width() * 3 / 2, w->height() * 3 / 2);
    QApplication::processEvents();

    QTextEdit* view = w->dayView;
    QWidget* viewport = view->viewport();
    EXPECT_EQ(view->cursorForPosition(QPoint(1, 1)).block().text(), QStringLiteral("06.00 Morning show"));
    const QImage day = viewport->grab().toImage();
    const QColor paper = view->palette().color(QPalette::Base);
    EXPECT_GT(inkPixels(day, paper), 1000) << "the day's text is not painted";
    const QColor yellow(Qt::yellow);
    const QTextCursor first(view->document()->findBlockByNumber(0));
    const QTextCursor running(view->document()->findBlockByNumber(4));
    EXPECT_EQ(pixelsOnLine(day, viewport, view->cursorRect(first).center().y(), yellow), 0);
    EXPECT_GT(pixelsOnLine(day, viewport, view->cursorRect(running).center().y(), yellow), day.width() / 3);
    const QImage channels = w->grab().toImage();

    w->filmsPageAction->trigger();
    QApplication::processEvents();
    const QImage films = w->grab().toImage();
    EXPECT_EQ(films.size(), channels.size());
    EXPECT_NE(films, channels);
    QTableWidget* grid = w->filmGrid;
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(fromQString(grid->item(0, 0)->text()), kFirst);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("Late film with a long title that wraps in the grid column"));
    EXPECT_EQ(fromQString(grid->item(1, 0)->text()), kRossia);
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("Evening film"));
    EXPECT_GT(inkPixels(grid->viewport()->grab().toImage(), grid->palette().color(QPalette::Base)), 1000)
        << "the rows are not painted";
    EXPECT_GT(barPixels(grid, 0), 0);
}

}  // namespace
}  // namespace orbisk
