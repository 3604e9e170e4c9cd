#include "app/mainwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/config/config.h"
#include "app/qtext.h"
#include "app/viewer/reminderrecord.h"
#include "app/weektabs.h"
#include "base/codepage.h"
#include "base/datetime.h"
#include "base/timetext.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::ReadFile;
using test::WriteFile;

// 1 = Sunday ... 7 = Saturday
const char* const kDays[8] = {"",
                              "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5",  // Воскресенье
                              "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA",  // Понедельник
                              "\xC2\xF2\xEE\xF0\xED\xE8\xEA",                  // Вторник
                              "\xD1\xF0\xE5\xE4\xE0",                          // Среда
                              "\xD7\xE5\xF2\xE2\xE5\xF0\xE3",                  // Четверг
                              "\xCF\xFF\xF2\xED\xE8\xF6\xE0",                  // Пятница
                              "\xD1\xF3\xE1\xE1\xEE\xF2\xE0"};                 // Суббота
const char* const kMonths[13] = {"",
                                 "\xFF\xED\xE2\xE0\xF0\xFF",          // января
                                 "\xF4\xE5\xE2\xF0\xE0\xEB\xFF",      // февраля
                                 "\xEC\xE0\xF0\xF2\xE0",              // марта
                                 "\xE0\xEF\xF0\xE5\xEB\xFF",          // апреля
                                 "\xEC\xE0\xFF",                      // мая
                                 "\xE8\xFE\xED\xFF",                  // июня
                                 "\xE8\xFE\xEB\xFF",                  // июля
                                 "\xE0\xE2\xE3\xF3\xF1\xF2\xE0",      // августа
                                 "\xF1\xE5\xED\xF2\xFF\xE1\xF0\xFF",  // сентября
                                 "\xEE\xEA\xF2\xFF\xE1\xF0\xFF",      // октября
                                 "\xED\xEE\xFF\xE1\xF0\xFF",          // ноября
                                 "\xE4\xE5\xEA\xE0\xE1\xF0\xFF"};     // декабря
const std::string kFirst = "\xCF\xE5\xF0\xE2\xFB\xE9 \xEA\xE0\xED\xE0\xEB";  // Первый канал
const std::string kRossia = "\xD0\xEE\xF1\xF1\xE8\xFF";                      // Россия
const std::string kHidden = "Hidden TV";
const std::string kNoProgramme = "\xCD\xE5\xF2 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";  // Нет программы
const std::string kNews = "\xC2\xF0\xE5\xEC\xFF";  // Время

// The week of Monday 3 June 2024; the clock stands at 00:20 on Wednesday,
// so the listing day is Tuesday.
const TDateTime kMonday = EncodeDate(2024, 6, 3);
const TDateTime kTuesday = kMonday + 1;
const TDateTime kAt0020 = kMonday + 2 + EncodeTime(0, 20);

struct Block {
    std::string channel;
    std::vector<std::string> lines;
};

// "Вторник. 4 июня Первый канал" between the caption rows.
std::vector<std::string> DayText(TDateTime date, const std::vector<Block>& blocks) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    std::vector<std::string> out;
    for (const Block& b : blocks) {
        out.push_back("======");
        out.push_back(std::string(kDays[DayOfWeek(date)]) + ". " + std::to_string(d) + " " + kMonths[m] + " " +
                      b.channel);
        out.push_back("-----------------");
        out.insert(out.end(), b.lines.begin(), b.lines.end());
    }
    return out;
}

std::vector<Block> TuesdayBlocks() {
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
        for (int i = 1; i <= 7; ++i) ini_ += std::to_string(i) + "=" + kDays[i] + "\r\n";
        ini_ += "[MONTHS]\r\n";
        for (int i = 1; i <= 12; ++i) ini_ += std::to_string(i) + "=" + kMonths[i] + "\r\n";
        ini_ += "[Channels]\r\n1=" + kHidden + "\r\n[Channel1]\r\nHide=1\r\n";
        WriteFile(IniPath(), ini_);
    }
    void Day(int n, TDateTime date, const std::vector<Block>& blocks) {
        std::string text = "[tv.all]\r\n";
        for (const auto& l : DayText(date, blocks)) text += l + "\r\n";
        WriteFile(dir_ / ("tv/" + std::to_string(n) + ".txt"), AnsiToKoi8(text));
    }
    std::string IniPath() const { return dir_ / "Orbisk.ini"; }
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
    std::string ini_;
};

// Message boxes the window would show, recorded instead.
struct RecordingNotifier : Notifier {
    std::vector<std::string> shown;
    void Show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer Ask(const std::string& text, const std::string&, MsgIcon, Buttons) override {
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
    const std::vector<std::string>& Closed() const { return closed_; }

private:
    QTimer timer_;
    std::vector<std::string> closed_;
};

struct Window {
    Window(const std::string& iniPath, TDateTime now, bool show = true) : clock(now) {
        TfmOrbiskOptions o;
        o.IniPath = iniPath;
        o.Messages = &notifier;
        o.Time = &clock;
        o.Quit = [this] { ++quits; };
        w = std::make_unique<TfmOrbisk>(o);
        if (show) {
            w->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        }
    }
    TfmOrbisk* operator->() { return w.get(); }

    FixedClock clock;
    RecordingNotifier notifier;
    int quits = 0;
    std::unique_ptr<TfmOrbisk> w;
};

std::unique_ptr<Listing> StandardListing() {
    auto l = std::make_unique<Listing>();
    l->Day(1, kMonday, {{kFirst, {"06.00 Monday morning", "20.00 Monday film"}}});
    l->Day(2, kTuesday, TuesdayBlocks());
    l->Day(3, kMonday + 2, {{kFirst, {"06.00 Wednesday morning"}}, {kRossia, {"07.00 Wednesday news"}}});
    return l;
}

QTextCharFormat FormatAt(QTextEdit* e, int position) {
    QTextCursor c(e->document());
    c.setPosition(position + 1);  // the format of the character before
    return c.charFormat();
}

int BlockStart(QTextEdit* e, int block) { return e->document()->findBlockByNumber(block).position(); }

bool LineUnderlined(QTextEdit* e, int block) {
    const QTextBlock b = e->document()->findBlockByNumber(block);
    for (int i = 0; i < b.length() - 1; ++i)
        if (!FormatAt(e, b.position() + i).fontUnderline()) return false;
    return b.length() > 1;
}

std::string TabTexts(QTabBar* bar) {
    std::string s;
    for (int i = 0; i < bar->count(); ++i) s += (i ? "|" : "") + A(bar->tabText(i));
    return s;
}

TEST(MainWindow, WeekNavigationAndDaysWithoutProgramme) {
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    ASSERT_TRUE(w->Usable());
    EXPECT_EQ(w.quits, 0);
    EXPECT_TRUE(w.notifier.shown.empty()) << w.notifier.shown.front();
    // Before 04:30 the listing day is the day before.
    EXPECT_EQ(w->State().ShownDate(), kTuesday);
    EXPECT_EQ(w->tcWeek->currentIndex(), 1);
    EXPECT_EQ(A(w->tcWeek->tabText(0)), "03 " + std::string(kMonths[6]) + ", " + kDays[2]);
    EXPECT_EQ(A(w->tcWeek->tabText(2)), "05 " + std::string(kMonths[6]) + ", " + kDays[4]);
    for (int i = 3; i < 7; ++i) EXPECT_EQ(A(w->tcWeek->tabText(i)), kNoProgramme) << i;
    EXPECT_FALSE(w->aPrevWeek->isEnabled());
    EXPECT_FALSE(w->aNextWeek->isEnabled());
    EXPECT_EQ(A(w->windowTitle()), "\xCE\xF0\xE1\xE8\xF1\xEA");  // Орбиск
    // The hidden first channel has no tab; the first shown one is current.
    EXPECT_EQ(TabTexts(w->tcPrg), kFirst + "|" + kRossia);
    EXPECT_EQ(w->State().Channels().Current()->Name, kFirst);
    EXPECT_TRUE(w->Timer->isActive());
    EXPECT_EQ(A(w->lCurrentTime->text()), "05 " + std::string(kMonths[6]) + ", " + kDays[4] + " 00.20");

    // A day without text empties the view and leaves the channel tabs.
    w->aTh->trigger();
    EXPECT_EQ(w->State().ShownDate(), kMonday + 3);
    EXPECT_EQ(w->tcWeek->currentIndex(), 3);
    EXPECT_TRUE(w->rePrg->toPlainText().isEmpty());
    EXPECT_EQ(TabTexts(w->tcPrg), kFirst + "|" + kRossia);
    // The timer leaves a day without text alone.
    w->TimerTimer();
    EXPECT_TRUE(w->rePrg->toPlainText().isEmpty());

    w->aMon->trigger();
    EXPECT_EQ(w->State().ShownDate(), kMonday);
    EXPECT_EQ(A(w->rePrg->toPlainText()), "06.00 Monday morning\n20.00 Monday film");
    EXPECT_EQ(TabTexts(w->tcPrg), kFirst);
    // The day shown again: nothing is parsed or drawn.
    w->rePrg->setPlainText(QStringLiteral("marker"));
    w->aMon->trigger();
    EXPECT_EQ(w->rePrg->toPlainText(), QStringLiteral("marker"));

    // A click on a week tab shows its day.
    QTest::mouseClick(w->tcWeek, Qt::LeftButton, {}, w->tcWeek->tabRect(2).center());
    EXPECT_EQ(w->State().ShownDate(), kMonday + 2);
    EXPECT_EQ(w->tcWeek->currentIndex(), 2);
    EXPECT_EQ(TabTexts(w->tcPrg), kFirst + "|" + kRossia);

    // "Сегодня" takes the calendar date, without the 04:30 rule.
    w->aTu->trigger();
    w->aNow->trigger();
    EXPECT_EQ(w->State().ShownDate(), kMonday + 2);
    // Ctrl+1 through the window's shortcut, with the focus in the text view.
    w->rePrg->setFocus();
    QTest::keyClick(w->rePrg, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(w->State().ShownDate(), kMonday);
}

TEST(MainWindow, WeekButtonsFollowTheLoadedWeeks) {
    auto listing = StandardListing();
    // File 7 holds a day of the next week.
    listing->Day(7, kMonday + 7, {{kFirst, {"06.00 Next week"}}});
    Window w(listing->IniPath(), kAt0020);
    EXPECT_FALSE(w->aPrevWeek->isEnabled());
    EXPECT_TRUE(w->aNextWeek->isEnabled());
    w->aNextWeek->trigger();
    EXPECT_EQ(w->State().ShownDate(), kTuesday + 7);
    EXPECT_TRUE(w->aPrevWeek->isEnabled());
    EXPECT_FALSE(w->aNextWeek->isEnabled());
    EXPECT_EQ(A(w->tcWeek->tabText(1)), kNoProgramme);
    EXPECT_NE(A(w->tcWeek->tabText(0)), kNoProgramme);
    w->aMon->trigger();
    EXPECT_EQ(A(w->rePrg->toPlainText()), "06.00 Next week");
    w->aPrevWeek->trigger();
    EXPECT_EQ(w->State().ShownDate(), kMonday);
}

TEST(MainWindow, DayViewFormatsAndPickedProgramme) {
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    QTextEdit* re = w->rePrg;
    ASSERT_EQ(re->document()->blockCount(), 6);
    // The running programme (23.30) has the yellow background.
    for (int b = 0; b < 6; ++b) {
        const QTextBlockFormat f = re->document()->findBlockByNumber(b).blockFormat();
        EXPECT_EQ(f.background().color() == QColor(Qt::yellow) && f.background().style() != Qt::NoBrush, b == 4) << b;
    }
    EXPECT_EQ(w->State().CurrentIndex(), 4);
    // Started without arguments: the picked time is the running programme's start.
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(23, 30));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(LineUnderlined(re, b), b == 4) << b;
    // Bold time prefixes, plain titles.
    for (int b = 0; b < 6; ++b) {
        const int start = BlockStart(re, b);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(FormatAt(re, start + i).fontWeight(), QFont::Bold) << b << ":" << i;
        EXPECT_NE(FormatAt(re, start + 6).fontWeight(), QFont::Bold) << b;
    }
    // Navy between quotes, quotes excluded; a lone quote colours nothing.
    const QColor navy(0, 0, 128);
    const int news = BlockStart(re, 1) + 7;  // after `09.00 "`
    EXPECT_EQ(A(re->toPlainText().mid(news, 5)), kNews);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(FormatAt(re, news + i).foreground().color(), navy) << i;
    EXPECT_NE(FormatAt(re, news - 1).foreground().color(), navy);
    EXPECT_NE(FormatAt(re, news + 5).foreground().color(), navy);
    const int quiz = BlockStart(re, 2);  // 19.30 Quiz 'x' and "y
    EXPECT_EQ(FormatAt(re, quiz + 12).foreground().color(), navy);   // x
    EXPECT_NE(FormatAt(re, quiz + 20).foreground().color(), navy);  // y: no closing quote
    // The caret stands at the start of the running programme.
    EXPECT_EQ(re->textCursor().position(), BlockStart(re, 4));
    EXPECT_FALSE(re->textCursor().hasSelection());

    // A click on a line picks its programme: the underline moves there, the
    // old line keeps its bold time and its background.
    QTextCursor c(re->document());
    c.setPosition(BlockStart(re, 1) + 9);
    const QPoint at = re->cursorRect(c).center();
    QTest::mouseClick(re->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(9, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(LineUnderlined(re, b), b == 1) << b;
    EXPECT_EQ(FormatAt(re, BlockStart(re, 4)).fontWeight(), QFont::Bold);
    EXPECT_NE(FormatAt(re, BlockStart(re, 4) + 6).fontWeight(), QFont::Bold);
    EXPECT_EQ(re->document()->findBlockByNumber(4).blockFormat().background().color(), QColor(Qt::yellow));
    EXPECT_EQ(FormatAt(re, news).foreground().color(), navy);

    // Up: the caret moves to the line above and its programme is picked.
    re->setFocus();
    QTest::keyClick(re, Qt::Key_Up);
    EXPECT_EQ(re->textCursor().blockNumber(), 0);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(6, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(LineUnderlined(re, b), b == 0) << b;
    EXPECT_EQ(w->TimeAtCaret(), EncodeTime(6, 0));
    // Down moves it on; another key picks nothing.
    QTest::keyClick(re, Qt::Key_Down);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(9, 0));
    QTest::keyClick(re, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(9, 0));

    // The picked time survives a day change and is underlined there.
    w->aWe->trigger();
    w->aTu->trigger();
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(9, 0));
    for (int b = 0; b < 6; ++b) EXPECT_EQ(LineUnderlined(w->rePrg, b), b == 1) << b;
}

TEST(MainWindow, ProgressStripChannelsAndTimer) {
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    // 00:20 between 23.30 and 01.00.
    EXPECT_EQ(A(w->pStartTime->text()), "23.30");
    EXPECT_EQ(A(w->pStopTime->text()), "01.00");
    EXPECT_EQ(w->pbProgress->minimum(), 1410);
    EXPECT_EQ(w->pbProgress->maximum(), 1500);
    EXPECT_EQ(w->pbProgress->value(), 1460);

    // One tick a minute later moves only the bar.
    w.clock.Set(kAt0020 + EncodeTime(0, 1));
    w->TimerTimer();
    EXPECT_EQ(w->pbProgress->value(), 1461);
    EXPECT_EQ(w->State().CurrentIndex(), 4);

    // Channel tabs wrap both ways; the picked time moves to the running programme.
    ASSERT_EQ(w->tcPrg->count(), 2);
    EXPECT_EQ(w->tcPrg->currentIndex(), 0);
    w->aNextChanel->trigger();
    EXPECT_EQ(w->tcPrg->currentIndex(), 1);
    EXPECT_EQ(w->State().Channels().Current()->Name, kRossia);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(22, 0));
    // The day's last programme: "???", maximum 1800, the bar at its start.
    EXPECT_EQ(A(w->pStartTime->text()), "22.00");
    EXPECT_EQ(A(w->pStopTime->text()), "???");
    EXPECT_EQ(w->pbProgress->minimum(), 1320);
    EXPECT_EQ(w->pbProgress->maximum(), 1800);
    EXPECT_EQ(w->pbProgress->value(), w->pbProgress->minimum());
    EXPECT_EQ(w->State().Progress()->Position, 0);
    EXPECT_EQ(A(w->rePrg->toPlainText()), "06.00 Morning\n12.00 Midday\n22.00 Evening film");
    w->aNextChanel->trigger();
    EXPECT_EQ(w->tcPrg->currentIndex(), 0);
    EXPECT_EQ(w->State().Channels().Current()->Name, kFirst);
    w->aPrevChanel->trigger();
    EXPECT_EQ(w->tcPrg->currentIndex(), 1);
    // Ctrl+Left from inside the text view reaches the window.
    w->rePrg->setFocus();
    QTest::keyClick(w->rePrg, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w->tcPrg->currentIndex(), 0);
    // A click on a tab.
    QTest::mouseClick(w->tcPrg, Qt::LeftButton, {}, w->tcPrg->tabRect(1).center());
    EXPECT_EQ(w->State().Channels().Current()->Name, kRossia);
    QTest::mouseClick(w->tcPrg, Qt::LeftButton, {}, w->tcPrg->tabRect(0).center());

    // At 01:05 the running programme changes: the highlight and strip follow.
    w.clock.Set(kAt0020 + EncodeTime(0, 45));
    w->TimerTimer();
    EXPECT_EQ(w->State().CurrentIndex(), 5);
    EXPECT_EQ(w->rePrg->document()->findBlockByNumber(5).blockFormat().background().color(), QColor(Qt::yellow));
    EXPECT_EQ(w->rePrg->document()->findBlockByNumber(4).blockFormat().background().style(), Qt::NoBrush);
    EXPECT_EQ(A(w->pStartTime->text()), "01.00");
    EXPECT_EQ(A(w->pStopTime->text()), "???");
    EXPECT_EQ(A(w->lCurrentTime->text()), "05 " + std::string(kMonths[6]) + ", " + kDays[4] + " 01.05");

    // A refresh stops the timer and starts it again at its end.
    w->aRefresh->trigger();
    EXPECT_TRUE(w->Timer->isActive());
    EXPECT_EQ(w->State().ShownDate(), kTuesday);
}

// Pixels of the highlight colour on the middle line of a cell.
int BarPixels(QTableWidget* grid, int row) {
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
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    QTableWidget* grid = w->sgFilms;
    w->resize(1000, 500);  // all four columns in sight
    EXPECT_EQ(A(grid->horizontalHeaderItem(1)->text()), "\xD4\xE8\xEB\xFC\xEC");  // Фильм
    EXPECT_TRUE(w->aSchedul->isEnabled());
    w->aCurrentFilms->trigger();
    EXPECT_EQ(w->pcMainSwitch->currentWidget(), w->tsFilms);
    EXPECT_TRUE(w->Timer4Films->isActive());
    EXPECT_FALSE(w->aSchedul->isEnabled());
    QApplication::processEvents();

    // One row per shown channel.
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(A(grid->item(0, 0)->text()), kFirst);
    EXPECT_EQ(A(grid->item(0, 1)->text()), "Late film with a long title that wraps in the grid column");
    EXPECT_EQ(A(grid->item(0, 2)->text()), "23.30-01.00");
    EXPECT_EQ(A(grid->item(1, 0)->text()), kRossia);
    EXPECT_EQ(A(grid->item(1, 2)->text()), "22.00-???");
    EXPECT_EQ(w->dtpShowTime->time(), QTime(0, 20));
    EXPECT_TRUE(w->cbCurrentFilms->isChecked());

    // The bar: (1460 - 1410) / (1500 - 1410) = 5/9 of the shrunk cell.
    const QRect cell = grid->visualRect(grid->model()->index(0, 3));
    const int expected = static_cast<int>(std::lround(5.0 / 9.0 * (cell.width() - 6)));
    EXPECT_NEAR(BarPixels(grid, 0), expected, 1);
    EXPECT_EQ(BarPixels(grid, 1), 0);  // "-???" draws no bar
    // The long title wraps: its row is taller than the other.
    grid->setColumnWidth(1, 120);
    EXPECT_GT(grid->rowHeight(0), grid->rowHeight(1));

    // A picked time untucks the box and is shown on the next build.
    w->dtpShowTime->setTime(QTime(21, 0));
    EXPECT_FALSE(w->cbCurrentFilms->isChecked());
    w->Timer4FilmsTimer();
    EXPECT_EQ(A(grid->item(0, 2)->text()), "21.00-23.30");
    EXPECT_EQ(A(grid->item(1, 2)->text()), "12.00-22.00");
    EXPECT_EQ(A(grid->item(0, 1)->text()), "Film");
    // A channel with nothing running at 05:00 shows only its name.
    w->dtpShowTime->setTime(QTime(5, 0));
    w->Timer4FilmsTimer();
    EXPECT_EQ(A(grid->item(0, 0)->text()), kFirst);
    EXPECT_TRUE(grid->item(0, 2)->text().isEmpty());
    // Ticking the box again returns to the current time.
    w->cbCurrentFilms->setChecked(true);
    w->Timer4FilmsTimer();
    EXPECT_EQ(A(grid->item(0, 2)->text()), "23.30-01.00");

    // A double click opens the channel at the grid time.
    w->dtpShowTime->setTime(QTime(12, 30));
    w->Timer4FilmsTimer();
    const QRect row1 = grid->visualRect(grid->model()->index(1, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row1.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(w->pcMainSwitch->currentWidget(), w->tsChannels);
    EXPECT_FALSE(w->Timer4Films->isActive());
    EXPECT_TRUE(w->aSchedul->isEnabled());
    EXPECT_EQ(w->tcPrg->currentIndex(), 1);
    EXPECT_EQ(w->State().Channels().Current()->Name, kRossia);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(12, 30));
    for (int b = 0; b < 3; ++b) EXPECT_EQ(LineUnderlined(w->rePrg, b), b == 1) << b;
}

TEST(MainWindow, PlacementAndColumnWidthsSurviveARestart) {
    auto listing = StandardListing();
    {
        Window w(listing->IniPath(), kAt0020);
        w->setGeometry(140, 90, 720, 480);
        w->sgFilms->setColumnWidth(1, 333);
        w->sgFilms->setColumnWidth(3, 77);
        w->close();
    }
    const std::string ini = ReadFile(listing->IniPath());
    EXPECT_NE(ini.find("NormPos=140,90,860,570"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ShowCmd=1"), std::string::npos);
    EXPECT_NE(ini.find("Column1=333"), std::string::npos);
    // The other sections are untouched.
    EXPECT_NE(ini.find("[Channel1]\r\nHide=1"), std::string::npos);

    Window again(listing->IniPath(), kAt0020, false);
    EXPECT_EQ(again->geometry(), QRect(140, 90, 720, 480));
    EXPECT_EQ(again->sgFilms->columnWidth(0), 50);
    EXPECT_EQ(again->sgFilms->columnWidth(1), 333);
    EXPECT_EQ(again->sgFilms->columnWidth(3), 77);

    // A place on no screen keeps the centred window, with the saved size.
    std::string moved = ini;
    moved.replace(moved.find("NormPos=140,90,860,570"), 22, "NormPos=-9000,-9000,-8400,-8600");
    WriteFile(listing->IniPath(), moved);
    Window off(listing->IniPath(), kAt0020, false);
    EXPECT_EQ(off->size(), QSize(600, 400));
    EXPECT_GT(off->x(), -9000);
}

TEST(MainWindow, WarningSwitchSuppressesTheStructureWarning) {
    // Files 1 and 3 only: a gap in the mailing.
    Listing listing(false);
    listing.Day(1, kMonday, {{kFirst, {"06.00 A"}}});
    listing.Day(3, kMonday + 2, {{kFirst, {"06.00 C"}}});
    Window w(listing.IniPath(), kAt0020);
    EXPECT_TRUE(w->aWarning->isChecked());
    EXPECT_TRUE(w.notifier.shown.empty());
    // Unticked: the warning is reported on the next refresh, once.
    w->aWarning->trigger();
    EXPECT_FALSE(w->aWarning->isChecked());
    EXPECT_TRUE(w->State().Settings().EnableWarning());
    EXPECT_NE(ReadFile(listing.IniPath()).find("EnableWarning=1"), std::string::npos);
    w->aRefresh->trigger();
    EXPECT_EQ(w.notifier.shown.size(), 1u);
    w->aRefresh->trigger();
    EXPECT_EQ(w.notifier.shown.size(), 1u);
    // Ticked again: written as 0 and read so by the next load.
    w->aWarning->trigger();
    EXPECT_TRUE(w->aWarning->isChecked());
    EXPECT_NE(ReadFile(listing.IniPath()).find("EnableWarning=0"), std::string::npos);
    Window fresh(listing.IniPath(), kAt0020, false);
    EXPECT_TRUE(fresh->aWarning->isChecked());
    EXPECT_TRUE(fresh.notifier.shown.empty());
}

TEST(MainWindow, ReminderHandOverShowsTheChannel) {
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    w->aCurrentFilms->trigger();
    EXPECT_EQ(w->WMShowReminder("19.30", kRossia), 1);
    EXPECT_EQ(w->State().Channels().Current()->Name, kRossia);
    EXPECT_EQ(w->tcPrg->currentIndex(), 1);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(19, 30));
    EXPECT_EQ(w->pcMainSwitch->currentWidget(), w->tsChannels);
    EXPECT_EQ(A(w->rePrg->toPlainText()), "06.00 Morning\n12.00 Midday\n22.00 Evening film");
    for (int b = 0; b < 3; ++b) EXPECT_EQ(LineUnderlined(w->rePrg, b), b == 1) << b;
    // Through the hand-over record; an unreadable time keeps the picked one.
    EXPECT_EQ(w->WMShowReminder(ReminderRecord::FromArguments("xx", kFirst)), 1);
    EXPECT_EQ(w->State().Channels().Current()->Name, kFirst);
    EXPECT_EQ(w->tcPrg->currentIndex(), 0);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(19, 30));
    // A hidden channel, a name in other capitals and an empty record find nothing.
    EXPECT_EQ(w->WMShowReminder("06.00", kHidden), 0);
    EXPECT_EQ(w->WMShowReminder("06.00", "\xF0\xEE\xF1\xF1\xE8\xFF"), 0);  // россия
    EXPECT_EQ(w->WMShowReminder(ReminderRecord()), 0);
    EXPECT_EQ(w->State().Channels().Current()->Name, kFirst);
    EXPECT_EQ(w->State().ShowTime(), EncodeTime(19, 30));
}

// The settings actions open their dialogs; Cancel changes nothing.
TEST(MainWindow, SettingsActionsOpenTheirDialogs) {
    auto listing = StandardListing();
    Window w(listing->IniPath(), kAt0020);
    const std::string before = ReadFile(listing->IniPath());
    // Text files have no message parameters and no messages to delete.
    EXPECT_FALSE(w->aMessage->isEnabled());
    EXPECT_FALSE(w->aDeleteMsgs->isEnabled());
    for (QAction* action : {w->aChannels, w->aOptions}) {
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
    EXPECT_EQ(ReadFile(listing->IniPath()), before);
    EXPECT_EQ(TabTexts(w->tcPrg), kFirst + "|" + kRossia);
    EXPECT_TRUE(w.notifier.shown.empty());
}

TEST(MainWindow, MissingConfigurationEndsTheProgram) {
    TempDir dir;
    Window w(dir / "Orbisk.ini", kAt0020, false);
    EXPECT_EQ(w.quits, 1);
    ASSERT_EQ(w.notifier.shown.size(), 1u);
    EXPECT_EQ(w.notifier.shown[0], kConfigMissingText);
    EXPECT_FALSE(w->Usable());
    EXPECT_EQ(w->WMShowReminder("06.00", kFirst), 0);
    w->close();
    EXPECT_FALSE(std::filesystem::exists(dir / "Orbisk.ini"));
}

// The message-parameters dialog cancelled: the program ends, nothing loads.
TEST(MainWindow, CancelledMessageParametersEndTheProgram) {
    auto listing = StandardListing();
    std::string ini = ReadFile(listing->IniPath());
    ini += "[MSG]\r\nTimeFormat=\r\n";
    WriteFile(listing->IniPath(), ini);
    struct CountingPrompts : ConfigPrompts {
        int params = 0;
        bool cursorWaiting = true;
        bool EditMessageBase(Config&) override { return false; }
        bool EditMessageParams(Config&) override {
            ++params;
            // The dialog is not shown under the load's wait cursor.
            cursorWaiting = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            return false;
        }
    } prompts;
    FixedClock clock(kAt0020);
    RecordingNotifier notifier;
    int quits = 0;
    TfmOrbiskOptions o;
    o.IniPath = listing->IniPath();
    o.Messages = &notifier;
    o.Time = &clock;
    o.Prompts = &prompts;
    o.Quit = [&] { ++quits; };
    TfmOrbisk w(o);
    EXPECT_EQ(prompts.params, 1);
    EXPECT_FALSE(prompts.cursorWaiting);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(w.Timer->isActive());
    EXPECT_TRUE(w.State().Weeks().Items.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(MainWindow, UnreadableAreaIsReportedAndLeavesTheTimerStopped) {
    Listing listing;
    std::string ini = ReadFile(listing.IniPath());
    ini.replace(ini.find("FIDOPath=I"), 10, "FIDOPath=i");  // no such format letter
    WriteFile(listing.IniPath(), ini);
    ModalWatchdog watchdog;
    Window w(listing.IniPath(), kAt0020, false);
    ASSERT_EQ(watchdog.Closed().size(), 1u);
    // "Не могу открыть базу сообщений."
    EXPECT_EQ(watchdog.Closed()[0],
              Q("\xCD\xE5 \xEC\xEE\xE3\xF3 \xEE\xF2\xEA\xF0\xFB\xF2\xFC \xE1\xE0\xE7\xF3 "
                "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9.")
                  .toStdString());
    EXPECT_FALSE(w->Timer->isActive());
    EXPECT_EQ(w->tcPrg->count(), 0);
    // aMessage and aDeleteMsgs follow the identifier's letter.
    EXPECT_TRUE(w->aMessage->isEnabled());
}

// A realistic week (orbisk-cli demo when it is built, else the test week):
// the INI path and a moment inside it.
struct DemoWeek {
    TempDir dir;
    std::unique_ptr<Listing> own;
    std::string iniPath;
    TDateTime now = kMonday + 1 + EncodeTime(20, 40);
    DemoWeek() {
        const QString cli = QStringLiteral(ORBISK_BINARY_DIR "/orbisk-cli");
        if (QFileInfo(cli).isExecutable()) {
            QProcess p;
            p.start(cli, {QStringLiteral("demo"), QStringLiteral("--out"), QString::fromStdString(dir.str()),
                          QStringLiteral("--date"), QStringLiteral("2024-06-04"), QStringLiteral("--format"),
                          QStringLiteral("text")});
            if (p.waitForFinished(30000) && p.exitCode() == 0) iniPath = dir / "Orbisk.ini";
        }
        if (iniPath.empty()) {
            own = StandardListing();
            iniPath = own->IniPath();
            now = kAt0020;
        }
    }
};

// Both pages, saved for a look.
TEST(MainWindow, Screenshots) {
    DemoWeek week;
    Window w(week.iniPath, week.now);
    w->resize(w->width() * 3 / 2, w->height() * 3 / 2);
    QApplication::processEvents();
    EXPECT_GT(w->tcPrg->count(), 0);
    EXPECT_FALSE(w->rePrg->toPlainText().isEmpty());
    QDir().mkpath(QStringLiteral(ORBISK_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(w->grab().save(QStringLiteral(ORBISK_BINARY_DIR "/screenshots/mainwindow-channels.png")));
    w->aCurrentFilms->trigger();
    QApplication::processEvents();
    EXPECT_GT(w->sgFilms->rowCount(), 0);
    EXPECT_TRUE(w->grab().save(QStringLiteral(ORBISK_BINARY_DIR "/screenshots/mainwindow-films.png")));
}

// Timings of the window's common paths on the offscreen platform, printed
// as medians (microseconds).
template <typename F>
double MedianMicros(int runs, F&& f) {
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

TEST(MainWindow, Timings) {
    DemoWeek week;
    const double create = MedianMicros(5, [&](int) {
        Window w(week.iniPath, week.now);
        QApplication::processEvents();
        ASSERT_FALSE(w->rePrg->toPlainText().isEmpty());
    });
    Window w(week.iniPath, week.now);
    const TDateTime monday = w->State().ShownDate() - (DayOfWeek(w->State().ShownDate()) + 5) % 7;
    const double day = MedianMicros(21, [&](int i) {
        w->ShowDay(monday + i % 2);
        QApplication::processEvents();
        ASSERT_EQ(w->State().ShownDate(), monday + i % 2);
    });
    const double channel = MedianMicros(21, [&](int) {
        const int before = w->tcPrg->currentIndex();
        w->aNextChanel->trigger();
        QApplication::processEvents();
        ASSERT_NE(w->tcPrg->currentIndex(), before);
    });
    const int current = w->State().CurrentIndex();
    const double tick = MedianMicros(201, [&](int) { w->TimerTimer(); });
    EXPECT_EQ(w->State().CurrentIndex(), current);
    std::printf("[ timing ] create to first painted day %.0f us, new day %.0f us, channel change %.0f us, "
                "idle timer tick %.1f us (%d channels)\n",
                create, day, channel, tick, w->State().Channels().Count());
}

}  // namespace
}  // namespace orbisk
