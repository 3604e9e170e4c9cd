// The window's XMLTV export, driven through its menu item and save dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "base/codepage.h"
#include "export/xmltv.h"
#include "support/listing_names.h"
#include "support/tempdir.h"
#include "support/whenmodal.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::whenModal;
using test::writeFile;

const DateTime kMonday = encodeDate(2026, 12, 7);

struct QuietNotifier : Notifier {
    std::vector<std::string> seen;
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        seen.push_back(caption + ": " + text);
    }
    Answer ask(const std::string& text, const std::string& caption, MsgIcon, Buttons) override {
        seen.push_back(caption + ": " + text);
        return Answer::Cancel;
    }
};

// The name typed into the dialog's name field (selectFile leaves that
// field alone while it has the focus).
void typeFileName(QFileDialog* dialog, const std::string& path) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(path));
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

class XmltvWindow : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "1.txt", dayFile(kMonday, {{"One", "06.00 Monday & <one>", "23.50 Late"}, {"Two", "07.00 M2"}}));
        writeFile(dir / "3.txt", dayFile(kMonday + 2, {{"One", "06.00 Wednesday", "21.30 Evening"},
                                                        {"Hidden", "06.00 Not shown"},
                                                        {"Two", "07.00 W2"}}));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[Channels]\r\n1=Hidden\r\n[Channel1]\r\nHide=1\r\n");
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
    QuietNotifier notifier;
    FixedClock clock{kMonday + 2 + encodeTime(21, 40)};
    std::unique_ptr<MainWindow> w;
};

TEST_F(XmltvWindow, MenuItemFollowsTheJtvItem) {
    QMenu* file = nullptr;
    for (QAction* a : w->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("&Файл")) file = a->menu();
    ASSERT_NE(file, nullptr);
    const QList<QAction*> items = file->actions();
    const auto jtv = items.indexOf(w->saveJtvAction);
    ASSERT_GE(jtv, 0);
    ASSERT_LT(jtv + 1, items.size());
    EXPECT_EQ(items[jtv + 1], w->saveXmltvAction);
    // "Сохранить в формат XMLTV"
    EXPECT_EQ(w->saveXmltvAction->text(), QStringLiteral("Сохранить в формат XMLTV"));
    EXPECT_FALSE(w->saveXmltvAction->statusTip().isEmpty());
    EXPECT_TRUE(w->saveXmltvAction->isEnabled());
}

TEST_F(XmltvWindow, SavesTheWeekAndRestoresTheDayShown) {
    const QString viewBefore = w->dayView->toPlainText();
    const std::size_t boxes = notifier.seen.size();
    ASSERT_TRUE(viewBefore.contains(QStringLiteral("Evening")));
    const std::string target = dir / "week";  // the dialog adds ".xml"
    QStringList filters;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        typeFileName(d, target);
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, with its checks
    });
    w->saveXmltvAction->trigger();
    EXPECT_EQ(filters, QStringList{QStringLiteral("XMLTV (*.xml)")});
    ASSERT_TRUE(fs::exists(target + ".xml"));
    const std::string doc = readFile(target + ".xml");

    EXPECT_NE(doc.find("<title lang=\"ru\">Monday &amp; &lt;one&gt;</title>"), std::string::npos);
    EXPECT_NE(doc.find("<title lang=\"ru\">Evening</title>"), std::string::npos);
    EXPECT_EQ(doc.find("Not shown"), std::string::npos);
    // Monday's last programme has no stop: Tuesday has no text.
    const auto late = doc.find("<programme start=\"20261207235000 ");
    ASSERT_NE(late, std::string::npos);
    EXPECT_EQ(doc.substr(late, doc.find('>', late) - late).find("stop="), std::string::npos);

    // Wednesday is shown again, in the state and in the view.
    EXPECT_EQ(w->state().shownDate(), kMonday + 2);
    EXPECT_EQ(w->dayView->toPlainText(), viewBefore);
    EXPECT_EQ(notifier.seen.size(), boxes);

    // The document is the core's for the same week.
    EXPECT_EQ(doc, exportXmltv(w->state()).document);

    if (fs::exists("/usr/bin/tv_validate_file")) {
        QProcess validate;
        validate.start(QStringLiteral("/usr/bin/tv_validate_file"),
                       {QStringLiteral("--dtd-file"), QStringLiteral("/usr/share/xmltv/xmltv.dtd"),
                        QString::fromStdString(target + ".xml")});
        ASSERT_TRUE(validate.waitForFinished(60000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }
}

TEST_F(XmltvWindow, CancelWritesNothingAndAFailedWriteShowsTheErrorBox) {
    whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    w->saveXmltvAction->trigger();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);  // 1.txt 3.txt ini

    QString boxText;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        // The dialog refuses a missing folder itself; a file it accepts can
        // still fail to be written, so the name is forced past it.
        typeFileName(d, dir / "tv.xml");
        fs::create_directories(dir / "tv.xml.part");  // the write aside cannot be made
        whenModal<QMessageBox>([&](QMessageBox* box) {
            boxText = box->text();
            box->accept();
        });
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, with its checks
    });
    w->saveXmltvAction->trigger();
    EXPECT_EQ(boxText,
              QStringLiteral("Не могу записать файл ") + QString::fromStdString(dir / "tv.xml") + QStringLiteral("."));
    EXPECT_FALSE(fs::exists(dir / "tv.xml"));
    EXPECT_EQ(w->state().shownDate(), kMonday + 2);
}

}  // namespace
}  // namespace orbisk
