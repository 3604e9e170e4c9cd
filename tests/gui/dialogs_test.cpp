// The settings dialogs driven through their widgets against a real
// Orbisk.ini: what lands in the file, what the identifier is, the warnings
// and the first-run flows of loadConfig.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <functional>

#include "config/config.h"
#include "config/identifier.h"
#include "gui/qtext.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/inifile.h"
#include "gui/dialogs/messagebasedialog.h"
#include "gui/dialogs/channeloptionsdialog.h"
#include "gui/dialogs/messageoptionsdialog.h"
#include "gui/dialogs/settingsdialogs.h"
#include "listing/channellist.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::readFile;
using orbisk::test::TempDir;
using orbisk::test::writeFile;

namespace {

const std::string kCaption = "Установки"_cp1251;
const std::string kNotExists = " не существует"_cp1251;
const std::string kPathWord = "Путь "_cp1251;
const std::string kFileWord = "Файл "_cp1251;

// Runs one script per modal window, in order, on each modal window that
// opens (a dialog shown again counts again). A window still open when the
// time runs out is hidden — which ends its exec() — and the test fails, so
// nothing can hang.
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps, int timeoutMs = 15000) : steps_(std::move(steps)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { tick(); });
        poll_.start();
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            timedOut_ = true;
            ADD_FAILURE() << "a modal window was still open at the time limit";
            while (QWidget* w = QApplication::activeModalWidget()) w->hide();
        });
        watchdog_.start(timeoutMs);
    }
    ~ModalScript() {
        poll_.stop();
        watchdog_.stop();
    }
    int ran() const { return ran_; }
    bool allRan() const { return steps_.empty(); }

private:
    void tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == handled_ || steps_.empty() || timedOut_) return;
        handled_ = w;
        if (auto* d = qobject_cast<QDialog*>(w))
            QObject::connect(d, &QDialog::finished, d, [this] { handled_ = nullptr; }, Qt::SingleShotConnection);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        ++ran_;
        // From a timer of its own, so that a window the step opens in turn
        // (a message box, a file dialog) is polled again.
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, [step, target] {
            if (target) step(target);
        });
    }

    std::deque<Step> steps_;
    QTimer poll_;
    QTimer watchdog_;
    QPointer<QWidget> handled_;
    int ran_ = 0;
    bool timedOut_ = false;
};

struct Shown {
    std::string text, caption;
    MsgIcon icon;
};

class RecordingNotifier : public Notifier {
public:
    std::vector<Shown> shown;
    void show(const std::string& text, const std::string& caption, MsgIcon icon) override {
        shown.push_back({text, caption, icon});
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
};

struct NoPrompts : ConfigPrompts {
    bool editMessageBase(Config&) override {
        ADD_FAILURE() << "unexpected message-base prompt";
        return false;
    }
    bool editMessageParams(Config&) override {
        ADD_FAILURE() << "unexpected message-parameters prompt";
        return false;
    }
};


// A radio button reacts to clicks on its indicator and caption only.
void clickRadio(QRadioButton* rb) { QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(8, rb->height() / 2)); }

// Key presses carrying the characters (keyClicks knows only ASCII keys).
void typeText(QWidget* w, const std::string& ansi) {
    for (QChar c : toQString(ansi)) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void typeInto(QLineEdit* e, const std::string& ansi) {
    e->clear();
    typeText(e, ansi);
}

void typeInto(QSpinBox* se, const char* digits) {
    se->selectAll();
    QTest::keyClicks(se, QLatin1String(digits));
}

std::string names(const char* section, int count, int skip = 0) {
    std::string s = std::string("[") + section + "]\r\n";
    for (int i = 1; i <= count; ++i)
        if (i != skip) s += std::to_string(i) + "=Name" + std::to_string(i) + "\r\n";
    return s;
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { ini_ = dir_ / "Orbisk.ini"; }

    // A complete settings file with the given identifier, read in.
    void makeConfig(const std::string& fidoPath, const std::string& extra = "") {
        writeFile(ini_, "[MAIN]\r\nFIDOPath=" + fidoPath + "\r\n" + names("DAYS", 7) + names("MONTHS", 12) +
                            "[MSG]\r\nDelFromBegin=5\r\nDelFromEnd=2\r\nFirstCaptionRow======\r\n"
                            "LastCaptionRow=-----\r\nLastDayRow=--=end\r\nTimeFormat=HH.MM\r\n" +
                            extra);
        config_ = std::make_unique<Config>(ini_);
        NoPrompts none;
        ASSERT_TRUE(config_->loadConfig(none));
    }
    std::string stored(const char* section, const char* key) { return IniFile(ini_).readString(section, key, "?"); }

    TempDir dir_;
    std::string ini_;
    std::unique_ptr<Config> config_;
    SettingsDialogs dialogs_;
    RecordingNotifier notes_;
};

MessageBaseDialog* asBase(QWidget* w) {
    auto* d = qobject_cast<MessageBaseDialog*>(w);
    EXPECT_NE(d, nullptr) << "not the message-base dialog";
    return d;
}

TEST_F(DialogsTest, HudsonBoardAndFolderComposeTheIdentifier) {
    makeConfig("I" + dir_.str());
    const std::string hudson = dir_ / "HUDSON";
    QDir().mkpath(QString::fromStdString(hudson));

    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_EQ(d->windowTitle(), QStringLiteral("База сообщений"));
        EXPECT_TRUE(d->internetRadio->isChecked());
        EXPECT_EQ(fromQString(d->folderEdit->text()), dir_.str());
        EXPECT_FALSE(d->hudsonPanel->isVisible());

        clickRadio(d->hudsonRadio);
        EXPECT_TRUE(d->hudsonRadio->isChecked());
        EXPECT_TRUE(d->folderEdit->isVisible());
        EXPECT_FALSE(d->fileEdit->isVisible());
        EXPECT_TRUE(d->hudsonPanel->isVisible());
        EXPECT_EQ(d->pathLabel->buddy(), d->folderEdit->edit());
        typeInto(d->hudsonBoardSpin, "7");
        typeInto(d->folderEdit->edit(), hudson);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(script.ran(), 1);
    EXPECT_EQ(config_->fidoPath(), "H007" + hudson);
    EXPECT_EQ(stored("MAIN", "FIDOPath"), "H007" + hudson);

    // Shown again: the same dialog, filled from the new identifier.
    MessageBaseDialog* first = &dialogs_.baseOptions();
    ModalScript again({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_EQ(d, first);
        EXPECT_TRUE(d->hudsonRadio->isChecked());
        EXPECT_EQ(d->hudsonBoardSpin->value(), 7);
        EXPECT_EQ(fromQString(d->folderEdit->text()), hudson);
        QTest::keyClick(d->folderEdit->edit(), Qt::Key_Escape);
    }});
    EXPECT_FALSE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(again.ran(), 1);
}

TEST_F(DialogsTest, JamFileLosesItsExtensionAndOpensAgainOnTheDataFile) {
    makeConfig("I" + dir_.str());
    const std::string jdt = dir_ / "TVLIST.JDT";
    writeFile(jdt, "");
    const std::string before = readFile(ini_);

    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        clickRadio(d->jamRadio);
        EXPECT_TRUE(d->fileEdit->isVisible());
        EXPECT_FALSE(d->folderEdit->isVisible());
        EXPECT_FALSE(d->hudsonPanel->isVisible());
        EXPECT_EQ(d->pathLabel->buddy(), d->fileEdit->edit());
        EXPECT_EQ(d->fileEdit->nameFilters(),
                  QStringList({QStringLiteral("База JAM (*.jdt)"), QStringLiteral("Все файлы (*.*)")}));
        typeInto(d->fileEdit->edit(), jdt);
        QTest::keyClick(d->fileEdit->edit(), Qt::Key_Return);  // the default button
    }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(stored("MAIN", "FIDOPath"), "J" + (dir_ / "TVLIST"));

    // Reopened on the stored base: the file field names the existing data
    // file, so OK passes and the identifier stays.
    ModalScript again({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_TRUE(d->jamRadio->isChecked());
        EXPECT_EQ(fromQString(d->fileEdit->text()), jdt);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(config_->fidoPath(), "J" + (dir_ / "TVLIST"));

    // Squish switches the filter; a name without extension is taken whole.
    const std::string plain = dir_ / "sqbase";
    writeFile(plain, "");
    ModalScript squish({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        clickRadio(d->squishRadio);
        EXPECT_EQ(d->fileEdit->nameFilters().value(0), QStringLiteral("База SQISH (*.sqd)"));
        typeInto(d->fileEdit->edit(), plain);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(stored("MAIN", "FIDOPath"), "S" + plain);
    // Three saves changed the identifier's line and nothing else in the file.
    std::string expected = before;
    const std::string first = "FIDOPath=I" + dir_.str();
    expected.replace(expected.find(first), first.size(), "FIDOPath=S" + plain);
    EXPECT_EQ(readFile(ini_), expected);
}

TEST_F(DialogsTest, FilePickerOffersTheFiltersAndFillsTheField) {
    makeConfig("I" + dir_.str());
    const std::string jdt = dir_ / "tv.jdt";
    writeFile(jdt, "");

    ModalScript script({[&](QWidget* w) {
                            MessageBaseDialog* d = asBase(w);
                            if (!d) return;
                            clickRadio(d->jamRadio);
                            QTest::mouseClick(d->fileEdit->browseButton(), Qt::LeftButton);
                            // Back from the picker: the field holds its choice.
                            EXPECT_EQ(fromQString(d->fileEdit->text()), jdt);
                            QTest::mouseClick(d->okButton(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* fd = qobject_cast<QFileDialog*>(w);
                            ASSERT_NE(fd, nullptr);
                            EXPECT_EQ(fd->windowTitle(), QStringLiteral("Путь к эхообласти"));
                            EXPECT_EQ(fd->fileMode(), QFileDialog::ExistingFile);
                            EXPECT_EQ(fd->nameFilters().size(), 2);
                            EXPECT_EQ(fd->nameFilters().value(0), QStringLiteral("База JAM (*.jdt)"));
                            fd->setDirectory(QString::fromStdString(dir_.str()));
                            auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                            ASSERT_NE(name, nullptr);
                            name->setText(QStringLiteral("tv.jdt"));
                            static_cast<QDialog*>(fd)->accept();
                        }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(script.ran(), 2);
    EXPECT_EQ(config_->fidoPath(), "J" + (dir_ / "tv"));
}

TEST_F(DialogsTest, MissingPathsWarnAndKeepTheDialogOpen) {
    makeConfig("I" + dir_.str());
    dialogs_.setNotifier(&notes_);
    const std::string before = readFile(ini_);
    const std::string noFolder = dir_ / "no-such-folder";
    const std::string noFile = dir_ / "no-such.sqd";

    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        typeInto(d->folderEdit->edit(), noFolder);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        ASSERT_EQ(notes_.shown.size(), 1u);
        EXPECT_EQ(notes_.shown[0].text, kPathWord + noFolder + kNotExists);
        EXPECT_EQ(notes_.shown[0].caption, kCaption);
        EXPECT_EQ(notes_.shown[0].icon, MsgIcon::Warning);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->folderEdit->edit());

        clickRadio(d->squishRadio);
        typeInto(d->fileEdit->edit(), noFile);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        ASSERT_EQ(notes_.shown.size(), 2u);
        EXPECT_EQ(notes_.shown[1].text, kFileWord + noFile + kNotExists);
        EXPECT_EQ(notes_.shown[1].caption, kCaption);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->fileEdit->edit());

        // Cancel is not validated and keeps everything.
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(script.ran(), 1);
    EXPECT_EQ(notes_.shown.size(), 2u);
    EXPECT_EQ(readFile(ini_), before);
    EXPECT_EQ(config_->fidoPath(), "I" + dir_.str());
}

// Folders are shown and taken by their real names: a Cyrillic one is stored
// in the settings' 1251, one that 1251 cannot name is refused, not mangled.
TEST_F(DialogsTest, FolderNamesCrossToTheSettingsCodePage) {
    makeConfig("I" + dir_.str());
    dialogs_.setNotifier(&notes_);
    const QString cyrillic = QString::fromStdString(dir_ / "Фидо/эхо");
    const QString accented = QString::fromStdString(dir_ / "josé");
    QDir().mkpath(cyrillic);
    QDir().mkpath(accented);

    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        clickRadio(d->fidoRadio);
        d->folderEdit->setText(accented);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        ASSERT_EQ(notes_.shown.size(), 1u);
        EXPECT_EQ(notes_.shown[0].text, std::string(kPathNotInCodePageText) + " " + dir_.str() + "/jos?");
        EXPECT_TRUE(d->isVisible());
        d->folderEdit->setText(cyrillic);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(notes_.shown.size(), 1u) << "the existing Cyrillic folder is found";
    EXPECT_EQ(stored("MAIN", "FIDOPath"), "F" + dir_.str() + "/Фидо/эхо"_cp1251);

    ModalScript again({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_EQ(d->folderEdit->text(), cyrillic);
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(again.ran(), 1);
}

TEST_F(DialogsTest, WarningIsARealMessageBoxOwnedByTheDialog) {
    makeConfig("I" + dir_.str());
    const std::string noFolder = dir_ / "gone";
    ModalScript script({[&](QWidget* w) {
                            MessageBaseDialog* d = asBase(w);
                            if (!d) return;
                            typeInto(d->folderEdit->edit(), noFolder);
                            QTest::mouseClick(d->okButton(), Qt::LeftButton);  // the box runs inside
                            EXPECT_TRUE(d->isVisible());
                            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            ASSERT_NE(box, nullptr);
                            EXPECT_EQ(fromQString(box->windowTitle()), kCaption);
                            EXPECT_EQ(fromQString(box->text()), kPathWord + noFolder + kNotExists);
                            EXPECT_EQ(box->icon(), QMessageBox::Warning);
                            EXPECT_EQ(box->parentWidget(), &dialogs_.baseOptions());
                            box->accept();
                        }});
    EXPECT_FALSE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(script.ran(), 2);
}

TEST_F(DialogsTest, UnknownLettersShowFidoAndBadBoardsDoNotOpen) {
    makeConfig("j" + dir_.str());
    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_TRUE(d->fidoRadio->isChecked());
        EXPECT_EQ(d->folderEdit->text(), QString());
        EXPECT_EQ(d->hudsonBoardSpin->value(), 1);
        // *.MSG can be picked back after another kind, its folder field shown.
        clickRadio(d->hudsonRadio);
        EXPECT_TRUE(d->hudsonPanel->isVisibleTo(d));
        clickRadio(d->fidoRadio);
        EXPECT_TRUE(d->fidoRadio->isChecked());
        EXPECT_FALSE(d->hudsonPanel->isVisibleTo(d));
        EXPECT_TRUE(d->folderEdit->isVisibleTo(d));
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.editMessageBase(*config_));
    EXPECT_EQ(stored("MAIN", "FIDOPath"), "j" + dir_.str());

    // Board characters that are no number: an error, and no dialog.
    config_->setFidoPath("H0A7" + dir_.str());
    ModalScript none({[](QWidget* w) { w->hide(); }}, 2000);
    try {
        dialogs_.editMessageBase(*config_);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'0A7' is not a valid integer value");
    }
    QTest::qWait(50);
    EXPECT_EQ(none.ran(), 0);
}

TEST_F(DialogsTest, MessageParametersAreStoredByTheSetters) {
    makeConfig("I" + dir_.str());
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<MessageOptionsDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Параметры сообщения"));
        EXPECT_EQ(d->delFromBeginSpin->value(), 5);
        EXPECT_EQ(d->delFromEndSpin->value(), 2);
        EXPECT_EQ(fromQString(d->firstCaptionRowEdit->text()), "=====");
        EXPECT_EQ(fromQString(d->lastLineEdit->text()), "--=end");
        EXPECT_EQ(fromQString(d->timeFormatEdit->text()), "HH.MM");
        typeInto(d->delFromBeginSpin, "12");
        typeInto(d->delFromEndSpin, "0");
        typeInto(d->firstCaptionRowEdit, "УУУ"_cp1251);    // Cyrillic survives as Windows-1251
        typeInto(d->lastCaptionRowEdit, "");               // empty texts are accepted
        typeInto(d->lastLineEdit, "--- end");
        typeInto(d->timeFormatEdit, "hh:mm");
        QTest::keyClick(d->timeFormatEdit, Qt::Key_Return);
    }});
    ASSERT_TRUE(dialogs_.editMessageParams(*config_));
    EXPECT_EQ(stored("MSG", "DelFromBegin"), "12");
    EXPECT_EQ(stored("MSG", "DelFromEnd"), "0");
    EXPECT_EQ(stored("MSG", "FirstCaptionRow"), "УУУ"_cp1251);
    EXPECT_EQ(stored("MSG", "LastCaptionRow"), "");
    EXPECT_EQ(stored("MSG", "LastDayRow"), "--- end");
    // Upper case in the file, as typed in memory.
    EXPECT_EQ(stored("MSG", "TimeFormat"), "HH:MM");
    EXPECT_EQ(config_->timeFormat(), "hh:mm");
    EXPECT_EQ(config_->delFromBegin(), 12);

    // Cancel writes nothing; the dialog is refilled from the current values.
    const std::string before = readFile(ini_);
    ModalScript cancel({[&](QWidget* w) {
        auto* d = qobject_cast<MessageOptionsDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(fromQString(d->timeFormatEdit->text()), "hh:mm");
        EXPECT_EQ(d->delFromBeginSpin->value(), 12);
        typeInto(d->timeFormatEdit, "HH-MM");
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.editMessageParams(*config_));
    EXPECT_EQ(readFile(ini_), before);
    EXPECT_EQ(config_->timeFormat(), "hh:mm");
}

class ChannelDialogTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        makeConfig("I" + dir_.str(), "[Channels]\r\n1=ORT\r\n2=NTV\r\n3=STS\r\n[Channel2]\r\nHide=1\r\n");
        channels_ = std::make_unique<ChannelList>(*config_);
        for (const char* name : {"ORT", "NTV", "STS"}) channels_->addChannel(name);
    }
    std::unique_ptr<ChannelList> channels_;
};

QPoint checkIndicatorCentre(ChannelListView* lv, int row) {
    QStyleOptionViewItem opt;
    opt.initFrom(lv->viewport());
    opt.rect = lv->visualItemRect(lv->item(row, 0));
    opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.text = lv->item(row, 0)->text();
    return lv->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, lv).center();
}

TEST_F(ChannelDialogTest, UncheckRenameAndConfirmWithEnter) {
    int saved = 0;
    channels_->onSaved = [&] { ++saved; };
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<ChannelOptionsDialog*>(w);
        ASSERT_NE(d, nullptr);
        ChannelListView* lv = d->channelList;
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Настройка каналов"));
        EXPECT_FALSE(d->optionsGroup()->isVisible());
        ASSERT_EQ(lv->rowCount(), 3);
        EXPECT_EQ(lv->item(1, 0)->checkState(), Qt::Unchecked);  // NTV is hidden
        EXPECT_EQ(lv->item(0, 0)->checkState(), Qt::Checked);
        EXPECT_EQ(fromQString(lv->item(2, 1)->text()), "STS");

        // Unchecking ORT with the mouse.
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, checkIndicatorCentre(lv, 0));
        EXPECT_EQ(lv->item(0, 0)->checkState(), Qt::Unchecked);

        // Double click on the listing name edits the display name of that row.
        const QPoint stsName = lv->visualItemRect(lv->item(2, 1)).center();
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, stsName);
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {}, stsName);
        ASSERT_TRUE(lv->isEditing());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor) editor = lv->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        // While a name is edited the dialog will not close.
        d->accept();
        EXPECT_TRUE(d->isVisible());
        d->reject();
        EXPECT_TRUE(d->isVisible());
        editor->selectAll();
        typeText(editor, "СТС Love"_cp1251);
        QTest::keyClick(editor, Qt::Key_Return);  // ends the edit, not the dialog
        QCoreApplication::processEvents();        // the edit is committed queued
        EXPECT_FALSE(lv->isEditing());
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(lv->item(2, 0)->text(), QStringLiteral("СТС Love"));
        QTest::keyClick(lv, Qt::Key_Return);  // now it is OK
    }});
    ASSERT_TRUE(dialogs_.editChannels(*channels_));
    EXPECT_FALSE(dialogs_.channelOptions().isVisible());
    EXPECT_TRUE(channels_->items(0).hide);
    EXPECT_TRUE(channels_->items(1).hide);
    EXPECT_EQ(channels_->items(2).desc, "СТС Love"_cp1251);
    EXPECT_EQ(saved, 0);  // saving is the caller's step

    channels_->save();
    EXPECT_EQ(saved, 1);
    IniFile ini(ini_);
    EXPECT_EQ(ini.readString("Channel1", "Hide", ""), "1");
    EXPECT_EQ(ini.readString("Channel2", "Hide", ""), "1");
    EXPECT_EQ(ini.readString("Channel3", "Desc", ""), "СТС Love"_cp1251);
    EXPECT_FALSE(ini.valueExists("Channel3", "Hide"));
}

TEST_F(ChannelDialogTest, OkWithoutChangesAndCancelChangeNothing) {
    const std::string before = readFile(ini_);
    ModalScript unchanged({[&](QWidget* w) {
        auto* d = qobject_cast<ChannelOptionsDialog*>(w);
        ASSERT_NE(d, nullptr);
        // With no row selected a double click starts no edit.
        d->channelList->clearSelection();
        d->onChannelListDoubleClicked();
        EXPECT_FALSE(d->channelList->isEditing());
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.editChannels(*channels_));

    ModalScript cancelled({[&](QWidget* w) {
        auto* d = qobject_cast<ChannelOptionsDialog*>(w);
        ASSERT_NE(d, nullptr);
        // Space toggles the current row's check box; Esc cancels.
        d->channelList->setCurrentCell(1, 0);
        QTest::keyClick(d->channelList, Qt::Key_Space);
        EXPECT_EQ(d->channelList->item(1, 0)->checkState(), Qt::Checked);
        QTest::keyClick(d->channelList, Qt::Key_Escape);
    }});
    EXPECT_FALSE(dialogs_.editChannels(*channels_));
    EXPECT_TRUE(channels_->items(1).hide);
    EXPECT_EQ(unchanged.ran() + cancelled.ran(), 2);
    EXPECT_EQ(readFile(ini_), before);
}

// ---- First run: loadConfig asking through the GUI ------------------------

TEST_F(DialogsTest, FirstRunAsksForTheBaseAndWritesTheNames) {
    // No identifier and day 3 missing.
    writeFile(ini_, "[MAIN]\r\n" + names("DAYS", 7, 3) + names("MONTHS", 12));
    Config config(ini_);
    GuiConfigPrompts prompts(dialogs_);
    ModalScript script({[&](QWidget* w) {
        MessageBaseDialog* d = asBase(w);
        if (!d) return;
        EXPECT_TRUE(d->fidoRadio->isChecked());
        EXPECT_EQ(d->folderEdit->text(), QString());
        clickRadio(d->internetRadio);
        typeInto(d->folderEdit->edit(), dir_.str());
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    }});
    EXPECT_TRUE(config.loadConfig(prompts));
    EXPECT_EQ(script.ran(), 1);
    EXPECT_EQ(config.fidoPath(), "I" + dir_.str());
    IniFile ini(ini_);
    EXPECT_EQ(ini.readString("MAIN", "FIDOPath", ""), "I" + dir_.str());
    EXPECT_EQ(ini.readSection("DAYS").size(), 7u);
    EXPECT_TRUE(ini.valueExists("DAYS", "3"));
    EXPECT_EQ(ini.readString("DAYS", "2", ""), "Name2");
    EXPECT_EQ(ini.readSection("MONTHS").size(), 12u);
    EXPECT_FALSE(config.messageActionsEnabled());
}

TEST_F(DialogsTest, FirstRunCancelledLeavesTheFileAndAsksForMissingParameters) {
    // Identifier missing and the caption line too.
    writeFile(ini_, "[MAIN]\r\n" + names("DAYS", 7) + names("MONTHS", 12) + "[MSG]\r\nFirstCaptionRow=\r\n");
    Config config(ini_);
    GuiConfigPrompts prompts(dialogs_);
    ModalScript script({[&](QWidget* w) {
                            MessageBaseDialog* d = asBase(w);
                            if (d) QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* d = qobject_cast<MessageOptionsDialog*>(w);
                            ASSERT_NE(d, nullptr);
                            EXPECT_EQ(d->firstCaptionRowEdit->text(), QString());
                            typeInto(d->firstCaptionRowEdit, "=====");
                            QTest::mouseClick(d->okButton(), Qt::LeftButton);
                        }});
    EXPECT_TRUE(config.loadConfig(prompts));
    EXPECT_EQ(script.ran(), 2);
    IniFile ini(ini_);
    EXPECT_FALSE(ini.valueExists("MAIN", "FIDOPath"));
    EXPECT_EQ(ini.readString("MSG", "FirstCaptionRow", ""), "=====");
    EXPECT_EQ(ini.readString("MSG", "TimeFormat", ""), "HH.MM");
}

TEST_F(DialogsTest, CancelledParametersEndTheProcessWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    makeConfig("I" + dir_.str());
    IniFile(ini_).writeString("MSG", "TimeFormat", "");
    EXPECT_EXIT(
        {
            Config config(ini_);
            SettingsDialogs dialogs;
            GuiConfigPrompts prompts(dialogs);
            ModalScript script({[](QWidget* w) {
                if (auto* d = qobject_cast<MessageOptionsDialog*>(w)) QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
            }});
            if (!config.loadConfig(prompts)) endProcessNow(0);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
