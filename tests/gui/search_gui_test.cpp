// The search dialog jumps to a showing as a reminder hand-over does and hands
// it to the reminder flow; favourites are marked in the day view and grid.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "gui/dialogs/reminderleaddialog.h"
#include "gui/dialogs/searchdialog.h"
#include "gui/favouritemarks.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "gui/reminderactions.h"
#include "gui/searchactions.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;

struct SilentNotifier : Notifier {
    std::vector<std::string> shown;
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Cancel; }
};

struct RecordingLibrary : TaskLibrary {
    RecordingLibrary() : TaskLibrary("/nowhere") {}
    Status load() override { return Status::Loaded; }
    std::int32_t addTask(const std::string&, const std::string& command, int y, int mo, int d, int h,
                         int mi) override {
        char when[32];
        std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d", y, mo, d, h, mi);
        calls.push_back(command + "|" + when);
        return 1;
    }
    std::vector<std::string> calls;
};

struct NoNet : NetScheduler {
    std::uint32_t jobAdd(const AtInfo&, std::uint32_t&, std::string&) override { return kNerrServiceNotInstalled; }
};

std::string dayFile(int dayName, int day, const std::vector<std::vector<std::string>>& channels) {
    std::string text = "[tv.all]\r\n";
    for (const auto& block : channels) {
        text += "======\r\n" + std::string(test::kDayNames[dayName]) + ". " + std::to_string(day) + " " +
                test::kMonthNames[12] + ". " + block[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < block.size(); ++i) text += block[i] + "\r\n";
    }
    return ansiToKoi8(text);
}

bool italicAt(QTextEdit* view, int block, int column) {
    QTextCursor c(view->document()->findBlockByNumber(block));
    c.setPosition(c.position() + column + 1);
    return c.charFormat().fontItalic();
}

TEST(SearchWindow, ResultShowsItsDayAndChannelAndTakesAReminder) {
    TempDir dir;
    writeFile(dir / "3.txt", dayFile(4, 9, {{"One", "06.00 Morning", "21.00 News", "00.10 Night"}}));
    writeFile(dir / "4.txt", dayFile(5, 10, {{"One", "06.00 Morning"}, {"Two", "07.00 Cartoons", "00.40 Night film"}}));
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                          "[MAIN]\r\nEnableWarning=0\r\n[Favourites]\r\n1=news\r\n");
    SilentNotifier notifier;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(21, 10));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &notifier;
    o.time = &clock;
    o.quit = [] {};
    MainWindow w(o);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    RecordingLibrary library;
    NoNet net;
    w.findChild<ReminderActions*>()->setBackends(&library, &net);
    auto* search = w.findChild<SearchActions*>();
    ASSERT_NE(search, nullptr);

    // The favourite is marked on Wednesday, the running line (yellow) included.
    EXPECT_TRUE(italicAt(w.dayView, 1, 7));
    EXPECT_FALSE(italicAt(w.dayView, 2, 7));
    EXPECT_EQ(w.dayView->document()->findBlockByNumber(1).blockFormat().background().color(), QColor(Qt::yellow));

    // Typing finds; Enter shows Thursday's Two with the film picked.
    search->searchAction->trigger();
    SearchDialog& dialog = search->searchDialog();
    ASSERT_TRUE(dialog.isVisible());
    QTest::keyClicks(dialog.queryEdit, QStringLiteral("night"));
    ASSERT_EQ(dialog.resultTable->rowCount(), 2);
    EXPECT_EQ(dialog.resultTable->item(1, 2)->text(), QStringLiteral("Two"));
    dialog.resultTable->setFocus();
    dialog.resultTable->selectRow(1);
    QTest::keyClick(dialog.resultTable, Qt::Key_Return);
    EXPECT_EQ(w.state().shownDate(), encodeDate(2026, 12, 10));
    ASSERT_NE(w.state().channels().current(), nullptr);
    EXPECT_EQ(w.state().channels().current()->name, "Two");
    EXPECT_EQ(w.state().showTimeEntry(), 1);
    EXPECT_EQ(fromQString(w.dayView->document()->findBlockByNumber(1).text()), "00.40 Night film");
    EXPECT_FALSE(italicAt(w.dayView, 1, 7));

    // F4 on a result: the lead asked as for any reminder, the job for that showing.
    bool asked = false;
    QTimer::singleShot(50, [&] {
        auto* lead = qobject_cast<ReminderLeadDialog*>(QApplication::activeModalWidget());
        if (!lead) return;
        asked = true;
        lead->accept();
    });
    dialog.resultTable->selectRow(0);
    QTest::keyClick(dialog.resultTable, Qt::Key_F4);
    EXPECT_TRUE(asked);
    ASSERT_EQ(library.calls.size(), 1u);
    EXPECT_NE(library.calls[0].find("'00.10' 'One'|2026-12-09 23:55"), std::string::npos) << library.calls[0];
    EXPECT_EQ(w.state().shownDate(), encodeDate(2026, 12, 9));
    dialog.close();
}

}  // namespace
}  // namespace orbisk
