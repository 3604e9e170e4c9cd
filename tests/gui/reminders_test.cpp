// The reminder dialogs and actions, driven through their widgets.
#include "gui/reminderactions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <functional>

#include "gui/guiutil.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/inifile.h"
#include "gui/dialogs/reminderleaddialog.h"
#include "gui/dialogs/schedulesettingsdialog.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::writeFile;

// Runs `step` on the next modal dialog that opens; a dialog still open
// after the timeout is rejected, so a test fails instead of hanging.
class OnModal {
public:
    explicit OnModal(std::function<void(QDialog*)> step, int timeoutMs = 5000) : step_(std::move(step)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || done_) return;
            done_ = true;
            QTimer::singleShot(0, d, [this, d] { step_(d); });
        });
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            timedOut_ = true;
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        poll_.start(20);
        watchdog_.setSingleShot(true);
        watchdog_.start(timeoutMs);
    }
    bool ran() const { return done_ && !timedOut_; }

private:
    std::function<void(QDialog*)> step_;
    QTimer poll_, watchdog_;
    bool done_ = false;
    bool timedOut_ = false;
};

void setSpin(QSpinBox* spin, int value) {
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, QString::number(value));
}

// Boxes quote listing titles, which anyone can write: a tag in one is
// shown as the letters it is, never rendered.
TEST(MessageBoxes, ShowTitlesAsPlainText) {
    const std::string title = "Врубай! <b>Фильм</b> <img src=x> &amp;"_cp1251;
    const std::vector<std::function<void()>> shows = {
        [&] { QtNotifier().show(title, "Расписание"_cp1251, MsgIcon::Information); },
        [&] { QtNotifier().ask(title, "Расписание"_cp1251, MsgIcon::Question, Buttons::OkCancel); },
        [&] { showErrorBox(nullptr, title); },
    };
    for (const auto& show : shows) {
        QString seen;
        Qt::TextFormat format = Qt::AutoText;
        OnModal script([&](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            ASSERT_NE(box, nullptr);
            seen = box->text();
            format = box->textFormat();
            box->accept();
        });
        show();
        EXPECT_TRUE(script.ran());
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_TRUE(seen.startsWith(toQString(title))) << seen.toStdString();
    }
}

TEST(ReminderLeadDialog, AsksAndWrapsThePrompt) {
    ReminderLeadDialog dlg;
    const std::string shortPrompt = "Short?";
    int minutes = 15;
    {
        OnModal script([](QDialog* d) {
            auto* self = static_cast<ReminderLeadDialog*>(d);
            EXPECT_TRUE(self->leadSpin->isAncestorOf(QApplication::focusWidget())) << "the lead has the focus";
            EXPECT_EQ(self->leadSpin->value(), 15);
            setSpin(self->leadSpin, 7);
            QTest::mouseClick(self->okButton(), Qt::LeftButton);
        });
        EXPECT_TRUE(dlg.askLeadTime(shortPrompt, minutes));
        EXPECT_TRUE(script.ran());
    }
    EXPECT_EQ(minutes, 7);
    EXPECT_EQ(dlg.promptLines(), 1);
    EXPECT_EQ(fromQString(dlg.promptLabel->text()), shortPrompt);
    const int half = dlg.screen()->availableGeometry().width() / 2;
    EXPECT_NEAR(dlg.width(), std::max(half, 221 * dlg.logicalDpiX() / 96), half / 5);

    // Cancel leaves the minutes; no bounds on the spinner (the run time
    // refuses a bad lead itself).
    {
        OnModal script([](QDialog* d) {
            auto* self = static_cast<ReminderLeadDialog*>(d);
            setSpin(self->leadSpin, 120);
            EXPECT_EQ(self->leadSpin->value(), 120);
            QTest::mouseClick(self->cancelButton(), Qt::LeftButton);
        });
        EXPECT_FALSE(dlg.askLeadTime(shortPrompt, minutes));
        EXPECT_TRUE(script.ran());
    }
    EXPECT_EQ(minutes, 7);

    // A long prompt gets every line it wraps into, none cut off.
    std::string longPrompt;
    for (int i = 0; i < 60; ++i) longPrompt += "программа "_cp1251;
    dlg.fill(longPrompt, 3);
    dlg.show();
    QApplication::processEvents();
    EXPECT_GT(dlg.promptLines(), 2);
    const QRect need = QFontMetrics(dlg.promptLabel->font())
                           .boundingRect(QRect(0, 0, dlg.promptLabel->width(), 1 << 20),
                                         Qt::TextWordWrap | Qt::AlignHCenter, dlg.promptLabel->text());
    EXPECT_GE(dlg.promptLabel->height(), need.height());
    EXPECT_GT(dlg.leadPanel->geometry().top(), dlg.promptLabel->geometry().bottom()) << "the minutes sit below";
    dlg.hide();
}

TEST(ScheduleSettingsDialog, FieldsRunLineAndCancel) {
    ScheduleSettingsDialog dlg;
    int lead = 15;
    std::string message = "*NAME";
    bool runMe = true;
    std::string line = "*MESSAGE *TIME *CHANEL";
    {
        OnModal script([](QDialog* d) {
            auto* self = static_cast<ScheduleSettingsDialog*>(d);
            EXPECT_EQ(self->timeShiftSpin->value(), 15);
            EXPECT_EQ(self->messageEdit->text(), QStringLiteral("*NAME"));
            EXPECT_TRUE(self->runCurrentProgrammeCheck->isChecked());
            // The built-in line is shown, not edited; unticking opens it.
            EXPECT_FALSE(self->runLineEdit->isEnabled());
            QTest::mouseClick(self->runCurrentProgrammeCheck, Qt::LeftButton, {}, QPoint(4, self->runCurrentProgrammeCheck->height() / 2));
            EXPECT_TRUE(self->runLineEdit->isEnabled());
            self->runLineEdit->selectAll();
            QTest::keyClicks(self->runLineEdit, QStringLiteral("notify-send *MESSAGE"));
            setSpin(self->timeShiftSpin, 25);
            self->messageEdit->selectAll();
            self->messageEdit->insert(QStringLiteral("В *TIME"));  // keyClicks types ASCII only
            QTest::mouseClick(self->okButton(), Qt::LeftButton);
        });
        EXPECT_TRUE(dlg.editScheduleSettings(lead, message, runMe, line));
        EXPECT_TRUE(script.ran());
    }
    EXPECT_EQ(lead, 25);
    EXPECT_EQ(message, "В *TIME"_cp1251);
    EXPECT_FALSE(runMe);
    EXPECT_EQ(line, "notify-send *MESSAGE");
    EXPECT_EQ(dlg.messageEdit->maxLength(), 255);
    EXPECT_EQ(dlg.runLineEdit->maxLength(), 255);
    EXPECT_TRUE(dlg.helpLabel->font().bold());
    EXPECT_TRUE(dlg.helpLabel->text().contains(QStringLiteral("  *MESSAGE - сообщение")));

    {
        OnModal script([](QDialog* d) {
            auto* self = static_cast<ScheduleSettingsDialog*>(d);
            EXPECT_TRUE(self->runLineEdit->isEnabled()) << "RunMe off: the user's line is editable";
            QTest::mouseClick(self->runCurrentProgrammeCheck, Qt::LeftButton, {}, QPoint(4, self->runCurrentProgrammeCheck->height() / 2));
            EXPECT_FALSE(self->runLineEdit->isEnabled());
            self->messageEdit->clear();
            QTest::mouseClick(self->cancelButton(), Qt::LeftButton);
        });
        EXPECT_FALSE(dlg.editScheduleSettings(lead, message, runMe, line));
        EXPECT_TRUE(script.ran());
    }
    EXPECT_EQ(lead, 25);
    EXPECT_EQ(message, "В *TIME"_cp1251);
    EXPECT_FALSE(runMe);
}

struct RecordingNotifier : Notifier {
    std::vector<std::string> shown;
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        shown.push_back(caption + ": " + text);
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Cancel; }
};

struct FakeLibrary : TaskLibrary {
    FakeLibrary() : TaskLibrary("/nowhere") {}
    Status load() override { return Status::Loaded; }
    std::int32_t addTask(const std::string& program, const std::string& command, int y, int mo, int d, int h,
                         int mi) override {
        calls.push_back(program + "|" + command + "|" + std::to_string(y) + "-" + std::to_string(mo) + "-" +
                        std::to_string(d) + " " + std::to_string(h) + ":" + std::to_string(mi));
        return 1;
    }
    std::vector<std::string> calls;
};

struct NoNet : NetScheduler {
    std::uint32_t jobAdd(const AtInfo&, std::uint32_t&, std::string&) override { return kNerrServiceNotInstalled; }
};

TEST(ScheduleActions, MainWindowAddsAndEdits) {
    TempDir dir;
    std::string text = "[tv.all]\r\n======\r\n" + std::string(test::kDayNames[4]) + ". 9 " + test::kMonthNames[12] +
                       ". One\r\n-----------------\r\n06.00 Morning\r\n21.00 News\r\n00.10 Night\r\n";
    writeFile(dir / "3.txt", ansiToKoi8(text));
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[MAIN]\r\nEnableWarning=0\r\n");
    RecordingNotifier notifier;
    // 20:40, the news picked: its reminders are still to come.
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(20, 40));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &notifier;
    o.time = &clock;
    o.quit = [] {};
    MainWindow w(o);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* actions = w.findChild<ReminderActions*>();
    ASSERT_NE(actions, nullptr);
    FakeLibrary library;
    NoNet net;
    actions->setBackends(&library, &net);
    actions->setProgramPath("/opt/orbisk");
    w.markShowTime(encodeTime(21, 10));
    notifier.shown.clear();

    // F4 on the picked programme: the prompt names it, OK submits.
    {
        OnModal script([](QDialog* d) {
            auto* dlg = qobject_cast<ReminderLeadDialog*>(d);
            ASSERT_NE(dlg, nullptr);
            EXPECT_NE(fromQString(dlg->promptLabel->text()).find("<News>, "), std::string::npos);
            setSpin(dlg->leadSpin, 10);
            QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        });
        w.reminderAction->trigger();
        EXPECT_TRUE(script.ran());
    }
    ASSERT_EQ(library.calls.size(), 1u);
    EXPECT_NE(library.calls[0].find("/opt/orbisk|'"), std::string::npos);
    EXPECT_NE(library.calls[0].find("' '21.00' 'One'|2026-12-9 20:50"), std::string::npos) << library.calls[0];
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0], "Расписание: Добавлена новая задача. Напоминание сработает 09.12.2026 в 20.50"_cp1251);

    // A double click in the day view asks as well; Cancel submits nothing.
    {
        OnModal script([](QDialog* d) { QTest::mouseClick(static_cast<ReminderLeadDialog*>(d)->cancelButton(), Qt::LeftButton); });
        QTest::mouseDClick(w.dayView->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        for (int i = 0; i < 100 && !script.ran(); ++i) QTest::qWait(20);
        EXPECT_TRUE(script.ran());
    }
    EXPECT_EQ(library.calls.size(), 1u);

    // F3: the settings go to Orbisk.ini in order; the user's line is kept.
    {
        OnModal script([](QDialog* d) {
            auto* dlg = qobject_cast<ScheduleSettingsDialog*>(d);
            ASSERT_NE(dlg, nullptr);
            setSpin(dlg->timeShiftSpin, 5);
            QTest::mouseClick(dlg->runCurrentProgrammeCheck, Qt::LeftButton, {}, QPoint(4, dlg->runCurrentProgrammeCheck->height() / 2));
            dlg->runLineEdit->selectAll();
            QTest::keyClicks(dlg->runLineEdit, QStringLiteral("logger *NAME"));
            QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        });
        w.reminderSettingsAction->trigger();
        EXPECT_TRUE(script.ran());
    }
    IniFile ini(dir / "Orbisk.ini");
    EXPECT_EQ(ini.readString("Schedule", "TimeShift", ""), "5");
    EXPECT_EQ(ini.readString("Schedule", "RunMe", ""), "0");
    EXPECT_EQ(ini.readString("Schedule", "ExternalCommandLine", ""), "logger *NAME");

    // The next reminder follows at once: the user's line, no program.
    {
        OnModal script([](QDialog* d) {
            auto* dlg = static_cast<ReminderLeadDialog*>(d);
            EXPECT_EQ(dlg->leadSpin->value(), 5);
            QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        });
        w.reminderAction->trigger();
        EXPECT_TRUE(script.ran());
    }
    ASSERT_EQ(library.calls.size(), 2u);
    EXPECT_EQ(library.calls[1], "|logger 'News'|2026-12-9 20:55");

    // A lead of 60 stops in the general error box, nothing submitted.
    int boxes = 0;
    {
        OnModal lead([](QDialog* d) {
            auto* dlg = static_cast<ReminderLeadDialog*>(d);
            setSpin(dlg->leadSpin, 60);
            QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        });
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* m = QApplication::activeModalWidget();
            if (m && !qobject_cast<ReminderLeadDialog*>(m)) {
                if (auto* box = qobject_cast<QDialog*>(m)) {
                    ++boxes;
                    box->accept();
                }
            }
        });
        closer.start(30);
        w.reminderAction->trigger();
        EXPECT_TRUE(lead.ran());
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(library.calls.size(), 2u);
}

}  // namespace
}  // namespace orbisk
