// The first impression: the window's first size shows a whole day, the
// channel tabs and the grid's channel names; the week list grows with the
// font. Every size here comes from the fonts and the widgets, not pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/inifile.h"
#include "base/ui.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "gui/weektabbar.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;

const DateTime kSunday = encodeDate(2026, 9, 27);  // the widest month and day names

// Ten channels of a real mailing, 36 programmes each, on one Sunday.
const char* const kChannels[] = {"Первый канал", "Россия 1", "НТВ",         "Культура", "СТС",
                                 "ТНТ",          "РЕН ТВ",   "Пятый канал", "Звезда",   "Матч ТВ"};

class FirstStart : public ::testing::Test {
protected:
    void SetUp() override {
        std::string text = "[tv.all]\r\n";
        for (const char* channel : kChannels) {
            text += "======\r\n" + std::string(test::kDayNames[1]) + ". 27 " + test::kMonthNames[9] + ". " +
                    utf8ToAnsi(channel) + "\r\n-----------------\r\n";
            for (int i = 0; i < 36; ++i) {
                const int minutes = 6 * 60 + i * 30;
                char time[8];
                std::snprintf(time, sizeof time, "%02d.%02d", minutes / 60 % 24, minutes % 60);
                text += std::string(time) + " Т/с \"Улицы разбитых фонарей\""_cp1251 + "\r\n";
            }
        }
        writeFile(dir / "7.txt", ansiToKoi8(text));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str() + "\r\nEnableWarning=0");
    }
    std::unique_ptr<MainWindow> open() {
        MainWindowOptions o;
        o.iniPath = dir / "Orbisk.ini";
        o.time = &clock;
        o.quit = [] {};
        return std::make_unique<MainWindow>(o);
    }

    TempDir dir;
    FixedClock clock{kSunday + encodeTime(12, 0)};
};

TEST_F(FirstStart, ADayTheChannelTabsAndTheirNamesShowOn1280x800) {
    auto w = open();
    // A 1280x800 screen less a panel of two lines.
    const QRect screen(0, 0, 1280, 800 - 2 * w->fontMetrics().height());
    w->resize(w->firstStartSize(screen));
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTest::qWait(50);
    // Room for a title bar of two lines above it.
    EXPECT_LE(w->height() + 2 * w->fontMetrics().height(), screen.height());
    EXPECT_LE(w->width(), screen.width());

    ASSERT_EQ(w->channelTabs->count(), 10);
    for (int tab = 0; tab < w->channelTabs->count(); ++tab) {
        w->channelTabs->setCurrentIndex(tab);
        QTest::qWait(1);
        EXPECT_EQ(w->dayView->verticalScrollBar()->maximum(), 0) << "tab " << tab << " scrolls";
    }
    EXPECT_LE(w->channelTabs->tabRect(w->channelTabs->count() - 1).right(), w->channelTabs->width())
        << "the last channel tab is hidden";

    // The grid: every name whole, the columns as wide as the grid.
    w->showFilmsPage();
    QTest::qWait(50);
    QTableWidget* grid = w->filmGrid;
    ASSERT_EQ(grid->rowCount(), 10);
    const QAbstractItemView* view = grid;
    EXPECT_GE(grid->columnWidth(0), view->sizeHintForColumn(0));
    EXPECT_GE(grid->columnWidth(2), view->sizeHintForColumn(2));
    int total = 0;
    for (int c = 0; c < 4; ++c) total += grid->columnWidth(c);
    EXPECT_NEAR(total, grid->viewport()->width(), 1);
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());

    // Fitted widths nobody chose are not stored; a width the user set is.
    w->close();
    EXPECT_FALSE(IniFile(dir / "Orbisk.ini").sectionExists("FilmGrid"));
    auto again = open();
    again->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
    again->showFilmsPage();
    QTest::qWait(50);
    const int fitted = again->filmGrid->columnWidth(0);
    again->filmGrid->horizontalHeader()->resizeSection(1, 150);
    again->resize(again->width() + 100, again->height());
    QTest::qWait(50);
    EXPECT_EQ(again->filmGrid->columnWidth(1), 150) << "a width the user set is kept";
    again->close();
    IniFile ini(dir / "Orbisk.ini");
    EXPECT_EQ(ini.readInteger("FilmGrid", "Column0", 0), fitted);
    EXPECT_EQ(ini.readInteger("FilmGrid", "Column1", 0), 150);
}

// A larger font: the week list widens so that each caption's lines, in the
// selected tab's bold, fit beside its picture.
TEST_F(FirstStart, WeekListFollowsTheFont) {
    const QFont normal = QApplication::font();
    int widths[2] = {0, 0};
    for (int big = 0; big < 2; ++big) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * (big ? 1.8 : 1.0));
        QApplication::setFont(font);
        auto w = open();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        QTest::qWait(20);
        QFont bold = w->weekTabs->font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        const int picture = fm.height();
        for (int d = 1; d <= 7; ++d)
            EXPECT_GE(w->weekTabs->width(), fm.horizontalAdvance(toQString(test::kDayNames[d])) + picture) << d;
        for (int m = 1; m <= 12; ++m)
            EXPECT_GE(w->weekTabs->width(),
                      fm.horizontalAdvance(QStringLiteral("28 ") + toQString(test::kMonthNames[m]) + QStringLiteral(",")) + picture)
                << m;
        widths[big] = w->weekTabs->width();
    }
    QApplication::setFont(normal);
    EXPECT_GT(widths[1], widths[0]);
}

}  // namespace
}  // namespace orbisk
