// The keyboard after dialogs: each dialog opens on its first field, and
// when one closes the arrow keys work in the day's list at once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "gui/dialogs/channeloptionsdialog.h"
#include "gui/dialogs/jtvfolderdialog.h"
#include "gui/dialogs/messagebasedialog.h"
#include "gui/dialogs/messageoptionsdialog.h"
#include "gui/dialogs/reminderleaddialog.h"
#include "gui/dialogs/schedulesettingsdialog.h"
#include "gui/mainwindow.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;

bool focusIn(const QWidget* field) {
    const QWidget* f = QApplication::focusWidget();
    return f && (f == field || field->isAncestorOf(f));
}

std::string focusName() {
    const QWidget* f = QApplication::focusWidget();
    if (!f) return "nothing";
    while (f && f->objectName().isEmpty()) f = f->parentWidget();
    return f ? f->objectName().toStdString() : "?";
}

// Runs `step` on the next modal window; hides a window still open after ten
// seconds (ending its exec) so that a test fails instead of hanging.
void onNextModal(std::function<void(QWidget*)> step) {
    auto* poll = new QTimer;
    auto* tries = new int(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, step] {
        QWidget* w = QApplication::activeModalWidget();
        if (w || ++*tries > 1000) {
            poll->stop();
            poll->deleteLater();
            delete tries;
            if (!w) {
                ADD_FAILURE() << "no modal window opened";
                return;
            }
            step(w);
            QTimer::singleShot(10000, w, [w] {
                if (w->isVisible()) {
                    ADD_FAILURE() << "still open";
                    w->hide();
                }
            });
        }
    });
    poll->start(10);
}

TEST(Keyboard, DialogsOpenOnTheirFirstField) {
    struct Case {
        const char* name;
        std::function<QDialog*()> make;
        std::function<QWidget*(QDialog*)> first;
    };
    const Case cases[] = {
        {"message base, folder kind", [] { return new MessageBaseDialog; },
         [](QDialog* d) { return static_cast<MessageBaseDialog*>(d)->folderEdit->edit(); }},
        {"message base, file kind",
         [] {
             auto* d = new MessageBaseDialog;
             d->chooseKind(AreaKind::Jam);
             return d;
         },
         [](QDialog* d) { return static_cast<MessageBaseDialog*>(d)->fileEdit->edit(); }},
        {"message parameters", [] { return new MessageOptionsDialog; },
         [](QDialog* d) { return static_cast<MessageOptionsDialog*>(d)->delFromBeginSpin; }},
        {"channels", [] { return new ChannelOptionsDialog; },
         [](QDialog* d) { return static_cast<ChannelOptionsDialog*>(d)->channelList; }},
        {"schedule settings", [] { return new ScheduleSettingsDialog; },
         [](QDialog* d) { return static_cast<ScheduleSettingsDialog*>(d)->timeShiftSpin; }},
        {"reminder lead", [] { return new ReminderLeadDialog; },
         [](QDialog* d) { return static_cast<ReminderLeadDialog*>(d)->leadSpin; }},
        {"JTV folder", [] { return new JtvFolderDialog; },
         [](QDialog* d) { return static_cast<JtvFolderDialog*>(d)->folderEdit()->edit(); }},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QDialog> dialog(c.make());
        auto* options = static_cast<OptionsDialog*>(dialog.get());
        // Twice: a dialog kept for the next use opens on its field again,
        // not on the OK button that closed it.
        for (int round = 0; round < 2; ++round) {
            bool onField = false;
            std::string seen;
            onNextModal([&](QWidget*) {
                onField = focusIn(c.first(dialog.get()));
                seen = focusName();
                options->okButton()->setFocus();
                options->cancelButton()->click();
            });
            dialog->exec();
            EXPECT_TRUE(onField) << c.name << " round " << round << ": focus on " << seen;
        }
    }
}

// The lead is typed and confirmed from the keyboard alone.
TEST(Keyboard, ReminderLeadTypedAndConfirmedWithEnter) {
    ReminderLeadDialog dialog;
    int minutes = 15;
    onNextModal([](QWidget* w) {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (w->isVisible()) w->hide();
    });
    EXPECT_TRUE(dialog.askLeadTime("?", minutes));
    EXPECT_EQ(minutes, 7);
}

// A listing of one day with one channel; the window's own boxes and dialogs.
class KeyboardWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const DateTime monday = encodeDate(2026, 12, 7);
        std::string text = "[tv.all]\r\n======\r\n" + std::string(test::kDayNames[2]) + ". 7 " +
                           test::kMonthNames[12] + ". One\r\n-----------------\r\n";
        for (int h = 6; h < 24; ++h) text += std::to_string(h) + ".00 Programme " + std::to_string(h) + "\r\n";
        writeFile(dir / "1.txt", ansiToKoi8(text));
        // No mailing warning for the lone day: the window's boxes are real.
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str() + "\r\nEnableWarning=0");
        MainWindowOptions o;
        o.iniPath = dir / "Orbisk.ini";
        o.time = &clock;
        o.quit = [] {};
        clock.set(monday + encodeTime(12, 30));
        w = std::make_unique<MainWindow>(o);
        w->show();
        QApplication::setActiveWindow(w.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }

    TempDir dir;
    FixedClock clock{0};
    std::unique_ptr<MainWindow> w;
};

// Whatever had the focus before a dialog (here the week buttons, as a mouse
// user leaves it), the day's list has it afterwards: Down moves the caret.
TEST_F(KeyboardWindow, FocusReturnsToTheDayAfterADialog) {
    ASSERT_TRUE(focusIn(w->dayView)) << focusName();
    struct Case {
        const char* name;
        QAction* action;
    };
    const Case cases[] = {
        {"message base", w->baseSettingsAction}, {"channels", w->channelsAction},
        {"JTV folder", w->saveJtvAction},        {"reminder settings", w->reminderSettingsAction},
        {"about box", w->aboutAction},
    };
    for (const Case& c : cases) {
        w->todayButton->setFocus();
        onNextModal([](QWidget* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                box->accept();
            else
                static_cast<QDialog*>(dialog)->reject();
        });
        c.action->trigger();
        QTest::qWait(20);
        EXPECT_TRUE(focusIn(w->dayView)) << c.name << ": focus on " << focusName();
        const int line = w->dayView->textCursor().blockNumber();
        if (QWidget* f = QApplication::focusWidget()) QTest::keyClick(f, Qt::Key_Down);
        EXPECT_EQ(w->dayView->textCursor().blockNumber(), line + 1) << c.name;
    }
}

}  // namespace
}  // namespace orbisk
