// The window's printing (to a PDF file, read back with pdftotext), saving,
// JTV export and deletion of old messages, driven through their actions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>

#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "gui/weektabbar.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "config/identifier.h"
#include "gui/dialogs/messagebasedialog.h"
#include "gui/dialogs/jtvfolderdialog.h"
#include "export/printtext.h"
#include "support/crashmail.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// "Первый канал", "Культура"
const std::string kFirst = "Первый канал"_cp1251;
const std::string kCulture = "Культура"_cp1251;
const DateTime kMonday = encodeDate(2026, 12, 7);

// Questions answered from a script; everything asked and shown is kept.
struct ScriptedNotifier : Notifier {
    std::deque<Answer> answers;
    std::vector<std::string> seen;
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        seen.push_back(caption + ": " + text);
    }
    Answer ask(const std::string& text, const std::string& caption, MsgIcon, Buttons) override {
        seen.push_back(caption + ": " + text);
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
};

// Runs `drive` on the first modal widget that appears; fails the test if
// none shows within five seconds.
void whenModal(std::function<void(QWidget*)> drive) {
    auto* timer = new QTimer;
    auto* waited = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, drive] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            drive(w);
        } else if (++*waited > 250) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            ADD_FAILURE() << "no modal dialog appeared";
        }
    });
    timer->start(20);
}

std::string dayFile(DateTime date, const std::vector<std::vector<std::string>>& blocks) {
    int y, m, d;
    decodeDate(date, y, m, d);
    std::string text = "[tv.all]\r\n";
    for (const auto& b : blocks) {
        text += "======\r\n" + std::string(test::kDayNames[dayOfWeek(date)]) + ". " + std::to_string(d) + " " +
                test::kMonthNames[m] + ". " + b[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < b.size(); ++i) text += b[i] + "\r\n";
    }
    return ansiToKoi8(text);
}

class ExportWindow : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "1.txt", dayFile(kMonday, {{kFirst, "06.00 Monday " + kCulture}, {"Two", "07.00 Mon two"}}));
        writeFile(dir / "3.txt",
                  dayFile(kMonday + 2, {{kFirst, "06.00 " + kCulture + " " + std::string(70, 'w') + " tail end",
                                         "21.30 Evening"},
                                        {"Hidden", "06.00 Not shown"},
                                        {"Two", "07.00 Wed two"}}));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Channels]\r\n1=Hidden\r\n[Channel1]\r\nHide=1\r\n");
        open();
    }
    void open() {
        MainWindowOptions o;
        o.iniPath = dir / "Orbisk.ini";
        o.messages = &notifier;
        o.time = &clock;
        o.quit = [] {};
        w = std::make_unique<MainWindow>(o);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        ASSERT_EQ(w->state().shownDate(), kMonday + 2);
    }

    TempDir dir;
    ScriptedNotifier notifier;
    FixedClock clock{kMonday + 2 + encodeTime(21, 40)};
    std::unique_ptr<MainWindow> w;
};

std::string replaceCrLf(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

// The non-empty lines of a text, without blanks at either end.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        const auto first = line.find_first_not_of(" \r\f\t");
        if (first != std::string::npos) out.push_back(line.substr(first, line.find_last_not_of(" \r\f\t") - first + 1));
        pos = end + 1;
    }
    return out;
}

TEST_F(ExportWindow, PrintsTheSameLinesAsTheSavedTextAndRestoresTheDay) {
    if (!fs::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    // Channel "Two" current, the week's Monday not shown.
    w->state().channels().select(2);
    w->showChannelDay();
    const QString viewBefore = w->dayView->toPlainText();
    const std::string expected = buildPrintText(w->state());

    const std::string pdf = dir / "out.pdf";
    w->printerSetup = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        return true;
    };
    notifier.answers = {Answer::Yes};
    w->printAction->trigger();
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_FALSE(w->printing());
    EXPECT_EQ(w->state().channels().current(), &w->state().channels().items(2));
    EXPECT_EQ(w->dayView->toPlainText(), viewBefore);

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                     QString::fromStdString(pdf), QStringLiteral("-")});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const std::string printed = pdftotext.readAllStandardOutput().toStdString();
    // Wednesday to Sunday with text only on Wednesday: its header, the
    // broken line in two pieces, the Cyrillic intact.
    const std::vector<std::string> want = lines(ansiToUtf8(oemToAnsi(replaceCrLf(expected))));
    ASSERT_GE(want.size(), 6u);
    EXPECT_EQ(lines(printed), want);
    EXPECT_NE(printed.find(ansiToUtf8(kCulture)), std::string::npos);
    EXPECT_NE(printed.find(ansiToUtf8(kFirst)), std::string::npos);
    EXPECT_EQ(printed.find("Not shown"), std::string::npos);
    EXPECT_EQ(printed.find("Monday"), std::string::npos);
}

TEST_F(ExportWindow, CancelledPrinterOrSaveDialogWritesNothing) {
    bool asked = false;
    w->printerSetup = [&](QPrinter&) {
        asked = true;
        EXPECT_TRUE(w->printing());
        return false;
    };
    notifier.answers = {Answer::Yes};
    const std::size_t boxes = notifier.seen.size();
    w->printAction->trigger();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(w->printing());

    // Cancel in the question: no dialog at all.
    notifier.answers = {Answer::Cancel};
    w->printAction->trigger();
    EXPECT_EQ(notifier.seen.size(), boxes + 2);

    notifier.answers = {Answer::No};
    whenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    w->printAction->trigger();
    EXPECT_FALSE(w->printing());
    EXPECT_FALSE(fs::exists(dir / "Orbisk.txt"));
}

TEST_F(ExportWindow, SavesTheCodePage866Text) {
    const std::string expected = buildPrintText(w->state());
    const std::string path = dir / "saved.txt";
    QString title, filter;
    notifier.answers = {Answer::No};
    whenModal([&](QWidget* dialog) {
        auto* save = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(save, nullptr);
        title = save->windowTitle();
        filter = save->selectedNameFilter();
        EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(save->defaultSuffix(), QStringLiteral("txt"));
        // selectFile leaves the name field alone while it has the focus.
        save->selectFile(QString::fromStdString(path));
        auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(path));
        static_cast<QDialog*>(save)->accept();
    });
    w->printAction->trigger();
    EXPECT_EQ(title, QStringLiteral("Сохранение телепрограммы"));
    EXPECT_TRUE(filter.endsWith(QStringLiteral("(*.txt)")));
    EXPECT_EQ(readFile(path), expected);
    EXPECT_NE(expected.find(ansiToOem(kCulture)), std::string::npos);
}

TEST_F(ExportWindow, JtvExportAsksForTheFolderAndKeepsIt) {
    const std::string out = dir / "tvgude";
    fs::create_directory(out);
    whenModal([&](QWidget* dialog) {
        auto* query = qobject_cast<JtvFolderDialog*>(dialog);
        ASSERT_NE(query, nullptr);
        EXPECT_EQ(query->folderEdit()->text(), QString());
        query->folderEdit()->setText(QString::fromStdString(out));
        QTest::mouseClick(query->okButton(), Qt::LeftButton);
    });
    w->saveJtvAction->trigger();
    EXPECT_EQ(w->state().settings().jtvGuidePath(), out);
    EXPECT_NE(readFile(dir / "Orbisk.ini").find("JTVGuidePath=" + out), std::string::npos);
    // Monday and Wednesday of the first channel; the day shown is back.
    const std::string ndx = readFile(out + "/" + ansiToUtf8(kFirst) + ".ndx");
    ASSERT_GE(ndx.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(ndx[0]), 3u);
    EXPECT_FALSE(fs::exists(out + "/Hidden.ndx"));
    EXPECT_EQ(w->state().shownDate(), kMonday + 2);
    EXPECT_EQ(w->weekTabs->currentIndex(), 2);

    // Cancel leaves everything as it is.
    fs::remove_all(out);
    whenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    w->saveJtvAction->trigger();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(w->state().settings().jtvGuidePath(), out);

    // A channel whose files cannot be made is named to the user.
    fs::create_directories(out + "/" + ansiToUtf8(kFirst) + ".ndx");
    const std::size_t boxes = notifier.seen.size();
    whenModal([](QWidget* dialog) { QTest::mouseClick(static_cast<JtvFolderDialog*>(dialog)->okButton(), Qt::LeftButton); });
    w->saveJtvAction->trigger();
    ASSERT_EQ(notifier.seen.size(), boxes + 1);
    EXPECT_NE(notifier.seen.back().find(kFirst), std::string::npos) << notifier.seen.back();
}

// The JTV folder crosses to the settings' 1251 as the message base does: a
// Cyrillic folder is stored and written into, one that 1251 cannot name is
// refused in the dialog, never stored mangled nor reported missing.
TEST_F(ExportWindow, JtvFolderNamedInAnyCharacters) {
    const std::string accented = dir / "josé";
    const std::string cyrillic = dir / "Телегид";
    fs::create_directory(accented);
    fs::create_directory(cyrillic);
    const std::size_t boxes = notifier.seen.size();
    bool stayedOpen = false;
    whenModal([&](QWidget* dialog) {
        auto* query = qobject_cast<JtvFolderDialog*>(dialog);
        ASSERT_NE(query, nullptr);
        query->folderEdit()->setText(QString::fromStdString(accented));
        QTest::mouseClick(query->okButton(), Qt::LeftButton);
        stayedOpen = query->isVisible();
        EXPECT_EQ(QApplication::focusWidget(), query->folderEdit()->edit());
        query->folderEdit()->setText(QString::fromStdString(cyrillic));
        QTest::mouseClick(query->okButton(), Qt::LeftButton);
    });
    w->saveJtvAction->trigger();
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(notifier.seen.size(), boxes + 1) << "one warning, no missing-folder error";
    EXPECT_EQ(notifier.seen[boxes], std::string("Установки: "_cp1251) + kPathNotInCodePageText + " " + dir.str() + "/jos?");
    EXPECT_EQ(w->state().settings().jtvGuidePath(), fileNameToAnsi(cyrillic));
    EXPECT_NE(readFile(dir / "Orbisk.ini").find("JTVGuidePath=" + dir.str() + "/Телегид"_cp1251), std::string::npos);
    EXPECT_TRUE(fs::exists(cyrillic + "/" + ansiToUtf8(kFirst) + ".pdt"));
    EXPECT_TRUE(fs::is_empty(accented));
}

TEST(ExportWindowMsg, DeletesOldMessagesAfterYesAndReloads) {
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    test::FidoTestMessage chat{"Reader", "All", "Hello", "Hi all\r"};
    test::FidoTestMessage listing{"TV", "All", "TV 07.12-13.12 [1/1]",
                                  "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= 07.12.2026\r\r======\rOne\r-----\r"};
    const std::string area = test::tossMessages(dir.str(), test::AreaFormat::Msg, {chat, listing, chat});
    test::writeListingIni(dir / "Orbisk.ini", "F" + area);
    ScriptedNotifier notifier;
    FixedClock clock(kMonday + 2 + encodeTime(12, 0));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &notifier;
    o.time = &clock;
    o.quit = [] {};
    MainWindow w(o);
    ASSERT_TRUE(w.deleteOldAction->isEnabled());
    ASSERT_EQ(w.state().otherMsgs().size(), 2u);

    notifier.answers = {Answer::No};
    w.deleteOldAction->trigger();
    EXPECT_EQ(std::distance(fs::directory_iterator(area), fs::directory_iterator()), 3);
    ASSERT_FALSE(notifier.seen.empty());
    EXPECT_EQ(notifier.seen.back(), "Удаление сообщений: Удалить все сообщения до 07 декабря, Понедельник"_cp1251);

    notifier.answers = {Answer::Yes};
    w.deleteOldAction->trigger();
    EXPECT_FALSE(fs::exists(area + "/2.msg"));
    EXPECT_TRUE(fs::exists(area + "/3.msg"));
    EXPECT_FALSE(fs::exists(area + "/4.msg"));
    EXPECT_TRUE(w.state().otherMsgs().empty());
    EXPECT_EQ(w.state().weeks().items.size(), 1u);
}

TEST(ExportWindowMsg, APackBeforeCtrlDelDeletesNoListingOfThisWeek) {
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    test::FidoTestMessage chat{"Reader", "All", "Hello", "Hi all\r"};
    test::FidoTestMessage listing{"TV", "All", "TV 07.12-13.12 [1/1]",
                                  "Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= 07.12.2026\r\r======\rOne\r-----\r"};
    // 2, 3, 4: chat; 5: this week's listing (the tosser starts at 2).
    const std::string area = test::tossMessages(dir.str(), test::AreaFormat::Msg, {chat, chat, chat, listing});
    test::writeListingIni(dir / "Orbisk.ini", "F" + area);
    ScriptedNotifier notifier;
    FixedClock clock(kMonday + 2 + encodeTime(12, 0));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &notifier;
    o.time = &clock;
    o.quit = [] {};
    MainWindow w(o);
    ASSERT_EQ(w.state().otherMsgs().size(), 3u);
    const std::string listingBytes = test::readFile(area + "/5.msg");

    // Another reader deletes 3 and 4 and a pack renumbers: the listing is 3,
    // a number the window still holds as chat.
    fs::remove(area + "/3.msg");
    fs::remove(area + "/4.msg");
    fs::rename(area + "/5.msg", area + "/3.msg");
    notifier.answers = {Answer::Yes};
    w.deleteOldAction->trigger();
    EXPECT_FALSE(fs::exists(area + "/2.msg"));
    ASSERT_TRUE(fs::exists(area + "/3.msg"));
    EXPECT_EQ(test::readFile(area + "/3.msg"), listingBytes);
    EXPECT_EQ(w.state().weeks().items.size(), 1u);

}

}  // namespace
}  // namespace orbisk
