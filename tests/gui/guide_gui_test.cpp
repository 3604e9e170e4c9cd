// XMLTV guides in the window: the picking list on the first refresh, the
// download dialog's cancel, the message-base dialog's guide choice.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <functional>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/inifile.h"
#include "gui/dialogs/channeloptionsdialog.h"
#include "gui/dialogs/channelpickerdialog.h"
#include "gui/dialogs/downloadprogressdialog.h"
#include "gui/dialogs/messagebasedialog.h"
#include "gui/guideactions.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "listing/xmltvsource.h"
#include "support/listing_names.h"
#include "support/tempdir.h"
#include "support/whenmodal.h"
#include "support/zoneguard.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::whenModal;
using test::writeFile;

struct Boxes : Notifier {
    std::vector<std::string> seen;
    void show(const std::string& text, const std::string&, MsgIcon) override { seen.push_back(ansiToUtf8(text)); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Cancel; }
};

std::vector<std::string> itemTexts(QListWidget* list, bool visibleOnly) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        if (!visibleOnly || !list->item(i)->isHidden()) out.push_back(list->item(i)->text().toStdString());
    return out;
}

TEST(GuideWindow, FirstRefreshOpensThePickingListAndShowsThePickedChannels) {
    test::ZoneGuard zone("MSK-3");
    TempDir dir;
    std::string doc = "<tv>";
    for (const char* name : {"Первый канал", "Россия 1", "НТВ", "Первый HD"})
        doc += std::string("<channel id=\"") + name + "\"><display-name>" + name + "</display-name></channel>";
    doc += "<programme start=\"20261208060000 +0300\" channel=\"НТВ\"><title>Утро НТВ</title></programme>"
           "<programme start=\"20261208200000 +0300\" channel=\"НТВ\"><title>Сегодня</title></programme>"
           "<programme start=\"20261208060000 +0300\" channel=\"Россия 1\"><title>Утро России</title></programme>"
           "<programme start=\"20261208060000 +0300\" channel=\"Первый канал\"><title>Доброе утро</title></programme>"
           "<programme start=\"20261209060000 +0300\" channel=\"НТВ\"><title>Среда НТВ</title></programme>"
           "</tv>";
    writeFile(dir / "g.xml", doc);
    test::writeListingIni(dir / "Orbisk.ini", "X" + (dir / "g.xml"));

    std::vector<std::string> offered, found;
    whenModal<ChannelPickerDialog>([&](ChannelPickerDialog* picker) {
        offered = itemTexts(picker->channelList, false);
        picker->searchEdit->setText(QStringLiteral("первый"));
        found = itemTexts(picker->channelList, true);
        picker->searchEdit->setText(QStringLiteral("нтв"));
        for (int i = 0; i < picker->channelList->count(); ++i)
            if (!picker->channelList->item(i)->isHidden()) picker->channelList->item(i)->setCheckState(Qt::Checked);
        picker->channelList->item(1)->setCheckState(Qt::Checked);  // hidden by the search, ticked all the same
        EXPECT_EQ(picker->countLabel->text().toStdString(), "Отмечено: 2 из 4");
        picker->accept();
    });
    Boxes boxes;
    FixedClock clock(encodeDate(2026, 12, 8) + encodeTime(21, 0));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &boxes;
    o.time = &clock;
    MainWindow window(o);

    EXPECT_EQ(offered, (std::vector<std::string>{"Первый канал", "Россия 1", "НТВ", "Первый HD"}));
    EXPECT_EQ(found, (std::vector<std::string>{"Первый канал", "Первый HD"}));
    IniFile ini(dir / "Orbisk.ini");
    EXPECT_EQ(keptChannelNames(ini), (std::vector<std::string>{"Россия 1"_cp1251, "НТВ"_cp1251}));
    // The guide's order; the running programme is today's 20.00.
    ASSERT_EQ(window.channelTabs->count(), 2);
    EXPECT_EQ(window.channelTabs->tabText(0).toStdString(), "Россия 1");
    window.channelTabs->setCurrentIndex(1);
    EXPECT_NE(window.dayView->toPlainText().toStdString().find("20.00 Сегодня"), std::string::npos);
    EXPECT_EQ(window.state().currentIndex(), 1);
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("guideChannelsAction"))->isEnabled());
    EXPECT_FALSE(window.deleteOldAction->isEnabled());
    EXPECT_FALSE(window.messageSettingsAction->isEnabled());
    EXPECT_TRUE(boxes.seen.empty());

    // The channel settings of a day without "Россия 1" keep it in the list.
    window.showDay(encodeDate(2026, 12, 9));
    ASSERT_EQ(window.channelTabs->count(), 1);
    whenModal<ChannelOptionsDialog>([](ChannelOptionsDialog* dialog) {
        dialog->channelList->item(0, 0)->setText(QStringLiteral("НТВ (мой)"));
        dialog->accept();
    });
    window.channelsAction->trigger();
    const IniFile after(dir / "Orbisk.ini");
    EXPECT_EQ(keptChannelNames(after), (std::vector<std::string>{"НТВ"_cp1251, "Россия 1"_cp1251}));
    EXPECT_EQ(after.readString("Channel1", "Desc", ""), "НТВ (мой)"_cp1251);
}

TEST(GuideWindow, TheDownloadDialogCancelsASilentServer) {
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    socklen_t length = sizeof address;
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);

    TempDir dir;
    QWidget parent;
    WindowDownloader downloader(&parent);
    downloader.showAfterMs = 50;
    DownloadRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/g.xml";
    request.file = dir / "g.xml";
    bool shown = false;
    whenModal<QProgressDialog>([&](QProgressDialog* dialog) {
        shown = dialog->isVisible();
        dialog->findChild<QPushButton*>()->click();
    });
    const DownloadResult result = downloader.run(request);
    EXPECT_TRUE(shown);
    EXPECT_EQ(result.outcome, DownloadOutcome::Cancelled);
    close(silent);
}

TEST(GuideWindow, MessageBaseDialogStoresAGuideAddress) {
    MessageBaseDialog dialog;
    dialog.loadIdentifier("Xhttps://epg.example/guide.xml.gz");
    EXPECT_TRUE(dialog.guideRadio->isChecked());
    EXPECT_TRUE(dialog.fileEdit->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.fileEdit->text().toStdString(), "https://epg.example/guide.xml.gz");
    dialog.fileEdit->setText(QStringLiteral("http://127.0.0.1:1/tv.xml"));
    EXPECT_EQ(dialog.composeIdentifier(), "Xhttp://127.0.0.1:1/tv.xml");
    EXPECT_TRUE(checkAreaPath(AreaKind::Guide, "http://127.0.0.1:1/tv.xml").empty());
    EXPECT_FALSE(checkAreaPath(AreaKind::Guide, "/no/such/guide.xml").empty());
}

}  // namespace
}  // namespace orbisk
