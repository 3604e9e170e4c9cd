// The settings dialogs driven through their widgets against a real
// Orbisk.ini: what lands in the file, what the identifier is, the warnings
// and the first-run flows of LoadConfig.
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

#include "app/config/config.h"
#include "app/config/identifier.h"
#include "app/qtext.h"
#include "base/error.h"
#include "base/inifile.h"
#include "dialogs/baseoptions.h"
#include "dialogs/chanels.h"
#include "dialogs/msgoptions.h"
#include "dialogs/settingsdialogs.h"
#include "listing/channels.h"
#include "support/tempdir.h"

using namespace orbisk;
using orbisk::test::ReadFile;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

namespace {

// "Установки"
const std::string kCaption = "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE8";
// " не существует"
const std::string kNotExists = " \xED\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2";
const std::string kPathWord = "\xCF\xF3\xF2\xFC ";  // "Путь "
const std::string kFileWord = "\xD4\xE0\xE9\xEB ";  // "Файл "

// Runs one script per modal window, in order, on each modal window that
// opens (a dialog shown again counts again). A window still open when the
// time runs out is hidden — which ends its exec() — and the test fails, so
// nothing can hang.
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps, int timeoutMs = 15000) : steps_(std::move(steps)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { Tick(); });
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
    int Ran() const { return ran_; }
    bool AllRan() const { return steps_.empty(); }

private:
    void Tick() {
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
    void Show(const std::string& text, const std::string& caption, MsgIcon icon) override {
        shown.push_back({text, caption, icon});
    }
    Answer Ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
};

struct NoPrompts : ConfigPrompts {
    bool EditMessageBase(Config&) override {
        ADD_FAILURE() << "unexpected message-base prompt";
        return false;
    }
    bool EditMessageParams(Config&) override {
        ADD_FAILURE() << "unexpected message-parameters prompt";
        return false;
    }
};

void Screenshot(QWidget* w, const char* name) {
    QDir().mkpath(QStringLiteral(ORBISK_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(w->grab().save(QStringLiteral(ORBISK_BINARY_DIR "/screenshots/") + QLatin1String(name) +
                               QStringLiteral(".png")));
}

// A radio button reacts to clicks on its indicator and caption only.
void ClickRadio(QRadioButton* rb) { QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(8, rb->height() / 2)); }

// Key presses carrying the characters (keyClicks knows only ASCII keys).
void TypeText(QWidget* w, const std::string& ansi) {
    for (QChar c : Q(ansi)) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void TypeInto(QLineEdit* e, const std::string& ansi) {
    e->clear();
    TypeText(e, ansi);
}

void TypeInto(QSpinBox* se, const char* digits) {
    se->selectAll();
    QTest::keyClicks(se, QLatin1String(digits));
}

std::string Names(const char* section, int count, int skip = 0) {
    std::string s = std::string("[") + section + "]\r\n";
    for (int i = 1; i <= count; ++i)
        if (i != skip) s += std::to_string(i) + "=Name" + std::to_string(i) + "\r\n";
    return s;
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { ini_ = dir_ / "Orbisk.ini"; }

    // A complete settings file with the given identifier, read in.
    void MakeConfig(const std::string& fidoPath, const std::string& extra = "") {
        WriteFile(ini_, "[MAIN]\r\nFIDOPath=" + fidoPath + "\r\n" + Names("DAYS", 7) + Names("MONTHS", 12) +
                            "[MSG]\r\nDelFromBegin=5\r\nDelFromEnd=2\r\nFirstCaptionRow======\r\n"
                            "LastCaptionRow=-----\r\nLastDayRow=--=end\r\nTimeFormat=HH.MM\r\n" +
                            extra);
        config_ = std::make_unique<Config>(ini_);
        NoPrompts none;
        ASSERT_TRUE(config_->LoadConfig(none));
    }
    std::string Stored(const char* section, const char* key) { return IniFile(ini_).ReadString(section, key, "?"); }

    TempDir dir_;
    std::string ini_;
    std::unique_ptr<Config> config_;
    SettingsDialogs dialogs_;
    RecordingNotifier notes_;
};

TfmBaseOptions* AsBase(QWidget* w) {
    auto* d = qobject_cast<TfmBaseOptions*>(w);
    EXPECT_NE(d, nullptr) << "not the message-base dialog";
    return d;
}

TEST_F(DialogsTest, HudsonBoardAndFolderComposeTheIdentifier) {
    MakeConfig("I" + dir_.str());
    const std::string hudson = dir_ / "HUDSON";
    QDir().mkpath(QString::fromStdString(hudson));

    ModalScript script({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        EXPECT_EQ(A(d->windowTitle()), "\xC1\xE0\xE7\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9");  // База сообщений
        EXPECT_TRUE(d->rbInternet->isChecked());
        EXPECT_EQ(A(d->deFidoPath->text()), dir_.str());
        EXPECT_FALSE(d->pHudsonParams->isVisible());

        ClickRadio(d->rbHudson);
        EXPECT_TRUE(d->rbHudson->isChecked());
        EXPECT_TRUE(d->deFidoPath->isVisible());
        EXPECT_FALSE(d->feFidoPath->isVisible());
        EXPECT_TRUE(d->pHudsonParams->isVisible());
        EXPECT_EQ(d->lblPath->buddy(), d->deFidoPath->Edit());
        TypeInto(d->seHudsonNumber, "7");
        TypeInto(d->deFidoPath->Edit(), hudson);
        Screenshot(d, "base_options_hudson");
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(script.Ran(), 1);
    EXPECT_EQ(config_->FIDOPath(), "H007" + hudson);
    EXPECT_EQ(Stored("MAIN", "FIDOPath"), "H007" + hudson);

    // Shown again: the same dialog, filled from the new identifier.
    TfmBaseOptions* first = &dialogs_.BaseOptions();
    ModalScript again({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        EXPECT_EQ(d, first);
        EXPECT_TRUE(d->rbHudson->isChecked());
        EXPECT_EQ(d->seHudsonNumber->value(), 7);
        EXPECT_EQ(A(d->deFidoPath->text()), hudson);
        QTest::keyClick(d->deFidoPath->Edit(), Qt::Key_Escape);
    }});
    EXPECT_FALSE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(again.Ran(), 1);
}

TEST_F(DialogsTest, JamFileLosesItsExtensionAndOpensAgainOnTheDataFile) {
    MakeConfig("I" + dir_.str());
    const std::string jdt = dir_ / "TVLIST.JDT";
    WriteFile(jdt, "");
    const std::string before = ReadFile(ini_);

    ModalScript script({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        ClickRadio(d->rbJam);
        EXPECT_TRUE(d->feFidoPath->isVisible());
        EXPECT_FALSE(d->deFidoPath->isVisible());
        EXPECT_FALSE(d->pHudsonParams->isVisible());
        EXPECT_EQ(d->lblPath->buddy(), d->feFidoPath->Edit());
        // "База JAM (*.jdt)", "Все файлы (*.*)"
        EXPECT_EQ(d->feFidoPath->NameFilters(),
                  QStringList({Q("\xC1\xE0\xE7\xE0 JAM (*.jdt)"), Q("\xC2\xF1\xE5 \xF4\xE0\xE9\xEB\xFB (*.*)")}));
        TypeInto(d->feFidoPath->Edit(), jdt);
        Screenshot(d, "base_options_jam");
        QTest::keyClick(d->feFidoPath->Edit(), Qt::Key_Return);  // the default button
    }});
    ASSERT_TRUE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(Stored("MAIN", "FIDOPath"), "J" + (dir_ / "TVLIST"));

    // Reopened on the stored base: the file field names the existing data
    // file, so OK passes and the identifier stays.
    ModalScript again({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        EXPECT_TRUE(d->rbJam->isChecked());
        EXPECT_EQ(A(d->feFidoPath->text()), jdt);
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(config_->FIDOPath(), "J" + (dir_ / "TVLIST"));

    // Squish switches the filter; a name without extension is taken whole.
    const std::string plain = dir_ / "sqbase";
    WriteFile(plain, "");
    ModalScript squish({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        ClickRadio(d->rbSquish);
        EXPECT_EQ(d->feFidoPath->NameFilters().value(0), Q("\xC1\xE0\xE7\xE0 SQISH (*.sqd)"));
        TypeInto(d->feFidoPath->Edit(), plain);
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
    }});
    ASSERT_TRUE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(Stored("MAIN", "FIDOPath"), "S" + plain);
    (void)before;
}

TEST_F(DialogsTest, FilePickerOffersTheFiltersAndFillsTheField) {
    MakeConfig("I" + dir_.str());
    const std::string jdt = dir_ / "tv.jdt";
    WriteFile(jdt, "");

    ModalScript script({[&](QWidget* w) {
                            TfmBaseOptions* d = AsBase(w);
                            if (!d) return;
                            ClickRadio(d->rbJam);
                            QTest::mouseClick(d->feFidoPath->BrowseButton(), Qt::LeftButton);
                            // Back from the picker: the field holds its choice.
                            EXPECT_EQ(A(d->feFidoPath->text()), jdt);
                            QTest::mouseClick(d->btOk(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* fd = qobject_cast<QFileDialog*>(w);
                            ASSERT_NE(fd, nullptr);
                            EXPECT_EQ(A(fd->windowTitle()), "\xCF\xF3\xF2\xFC \xEA \xFD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xE8");
                            EXPECT_EQ(fd->fileMode(), QFileDialog::ExistingFile);
                            EXPECT_EQ(fd->nameFilters().size(), 2);
                            EXPECT_EQ(fd->nameFilters().value(0), Q("\xC1\xE0\xE7\xE0 JAM (*.jdt)"));
                            fd->setDirectory(QString::fromStdString(dir_.str()));
                            auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                            ASSERT_NE(name, nullptr);
                            name->setText(QStringLiteral("tv.jdt"));
                            static_cast<QDialog*>(fd)->accept();
                        }});
    ASSERT_TRUE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(script.Ran(), 2);
    EXPECT_EQ(config_->FIDOPath(), "J" + (dir_ / "tv"));
}

TEST_F(DialogsTest, MissingPathsWarnAndKeepTheDialogOpen) {
    MakeConfig("I" + dir_.str());
    dialogs_.SetNotifier(&notes_);
    const std::string before = ReadFile(ini_);
    const std::string noFolder = dir_ / "no-such-folder";
    const std::string noFile = dir_ / "no-such.sqd";

    ModalScript script({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        TypeInto(d->deFidoPath->Edit(), noFolder);
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
        ASSERT_EQ(notes_.shown.size(), 1u);
        EXPECT_EQ(notes_.shown[0].text, kPathWord + noFolder + kNotExists);
        EXPECT_EQ(notes_.shown[0].caption, kCaption);
        EXPECT_EQ(notes_.shown[0].icon, MsgIcon::Warning);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->deFidoPath->Edit());

        ClickRadio(d->rbSquish);
        TypeInto(d->feFidoPath->Edit(), noFile);
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
        ASSERT_EQ(notes_.shown.size(), 2u);
        EXPECT_EQ(notes_.shown[1].text, kFileWord + noFile + kNotExists);
        EXPECT_EQ(notes_.shown[1].caption, kCaption);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->feFidoPath->Edit());

        // Cancel is not validated and keeps everything.
        QTest::mouseClick(d->btCancel(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(script.Ran(), 1);
    EXPECT_EQ(notes_.shown.size(), 2u);
    EXPECT_EQ(ReadFile(ini_), before);
    EXPECT_EQ(config_->FIDOPath(), "I" + dir_.str());
}

TEST_F(DialogsTest, WarningIsARealMessageBoxOwnedByTheDialog) {
    MakeConfig("I" + dir_.str());
    const std::string noFolder = dir_ / "gone";
    ModalScript script({[&](QWidget* w) {
                            TfmBaseOptions* d = AsBase(w);
                            if (!d) return;
                            TypeInto(d->deFidoPath->Edit(), noFolder);
                            QTest::mouseClick(d->btOk(), Qt::LeftButton);  // the box runs inside
                            EXPECT_TRUE(d->isVisible());
                            QTest::mouseClick(d->btCancel(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            ASSERT_NE(box, nullptr);
                            EXPECT_EQ(A(box->windowTitle()), kCaption);
                            EXPECT_EQ(A(box->text()), kPathWord + noFolder + kNotExists);
                            EXPECT_EQ(box->icon(), QMessageBox::Warning);
                            EXPECT_EQ(box->parentWidget(), &dialogs_.BaseOptions());
                            Screenshot(box, "base_options_warning");
                            box->accept();
                        }});
    EXPECT_FALSE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(script.Ran(), 2);
}

TEST_F(DialogsTest, UnknownLettersShowFidoAndBadBoardsDoNotOpen) {
    MakeConfig("j" + dir_.str());
    ModalScript script({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        EXPECT_TRUE(d->rbFidoStyle->isChecked());
        EXPECT_FALSE(d->rbFidoStyle->isEnabled());
        EXPECT_EQ(d->deFidoPath->text(), QString());
        EXPECT_EQ(d->seHudsonNumber->value(), 1);
        // A disabled button ignores the click; Hudson then Cancel.
        ClickRadio(d->rbHudson);
        ClickRadio(d->rbFidoStyle);
        EXPECT_TRUE(d->rbHudson->isChecked());
        Screenshot(d, "base_options_fido");
        QTest::mouseClick(d->btCancel(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.EditMessageBase(*config_));
    EXPECT_EQ(Stored("MAIN", "FIDOPath"), "j" + dir_.str());

    // Board characters that are no number: an error, and no dialog.
    config_->SetFIDOPath("H0A7" + dir_.str());
    ModalScript none({[](QWidget* w) { w->hide(); }}, 2000);
    try {
        dialogs_.EditMessageBase(*config_);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'0A7' is not a valid integer value");
    }
    QTest::qWait(50);
    EXPECT_EQ(none.Ran(), 0);
}

TEST_F(DialogsTest, MessageParametersAreStoredByTheSetters) {
    MakeConfig("I" + dir_.str());
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<TfmMsgOptions*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(A(d->windowTitle()),
                  "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF");  // Параметры сообщения
        EXPECT_EQ(d->seBegin->value(), 5);
        EXPECT_EQ(d->seEnd->value(), 2);
        EXPECT_EQ(A(d->eFirstRow->text()), "=====");
        EXPECT_EQ(A(d->eLastStr->text()), "--=end");
        EXPECT_EQ(A(d->eTimeFormat->text()), "HH.MM");
        Screenshot(d, "msg_options");
        TypeInto(d->seBegin, "12");
        TypeInto(d->seEnd, "0");
        TypeInto(d->eFirstRow, "\xD3\xD3\xD3");  // Cyrillic survives as Windows-1251
        TypeInto(d->eLastRow, "");               // empty texts are accepted
        TypeInto(d->eLastStr, "--- end");
        TypeInto(d->eTimeFormat, "hh:mm");
        QTest::keyClick(d->eTimeFormat, Qt::Key_Return);
    }});
    ASSERT_TRUE(dialogs_.EditMessageParams(*config_));
    EXPECT_EQ(Stored("MSG", "DelFromBegin"), "12");
    EXPECT_EQ(Stored("MSG", "DelFromEnd"), "0");
    EXPECT_EQ(Stored("MSG", "FirstCaptionRow"), "\xD3\xD3\xD3");
    EXPECT_EQ(Stored("MSG", "LastCaptionRow"), "");
    EXPECT_EQ(Stored("MSG", "LastDayRow"), "--- end");
    // Upper case in the file, as typed in memory.
    EXPECT_EQ(Stored("MSG", "TimeFormat"), "HH:MM");
    EXPECT_EQ(config_->TimeFormat(), "hh:mm");
    EXPECT_EQ(config_->DelFromBegin(), 12);

    // Cancel writes nothing; the dialog is refilled from the current values.
    const std::string before = ReadFile(ini_);
    ModalScript cancel({[&](QWidget* w) {
        auto* d = qobject_cast<TfmMsgOptions*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(A(d->eTimeFormat->text()), "hh:mm");
        EXPECT_EQ(d->seBegin->value(), 12);
        TypeInto(d->eTimeFormat, "HH-MM");
        QTest::mouseClick(d->btCancel(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.EditMessageParams(*config_));
    EXPECT_EQ(ReadFile(ini_), before);
    EXPECT_EQ(config_->TimeFormat(), "hh:mm");
}

class ChannelDialogTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        MakeConfig("I" + dir_.str(), "[Channels]\r\n1=ORT\r\n2=NTV\r\n3=STS\r\n[Channel2]\r\nHide=1\r\n");
        channels_ = std::make_unique<TChannels>(*config_);
        for (const char* name : {"ORT", "NTV", "STS"}) channels_->AddChannel(name);
    }
    std::unique_ptr<TChannels> channels_;
};

QPoint CheckIndicatorCentre(TChannelListView* lv, int row) {
    QStyleOptionViewItem opt;
    opt.initFrom(lv->viewport());
    opt.rect = lv->visualItemRect(lv->item(row, 0));
    opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.text = lv->item(row, 0)->text();
    return lv->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, lv).center();
}

TEST_F(ChannelDialogTest, UncheckRenameAndConfirmWithEnter) {
    int saved = 0;
    channels_->OnSaved = [&] { ++saved; };
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<TfmChanelOptions*>(w);
        ASSERT_NE(d, nullptr);
        TChannelListView* lv = d->lvChanel;
        EXPECT_EQ(A(d->windowTitle()), "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2");
        EXPECT_FALSE(d->gbOptions()->isVisible());
        ASSERT_EQ(lv->rowCount(), 3);
        EXPECT_EQ(lv->item(1, 0)->checkState(), Qt::Unchecked);  // NTV is hidden
        EXPECT_EQ(lv->item(0, 0)->checkState(), Qt::Checked);
        EXPECT_EQ(A(lv->item(2, 1)->text()), "STS");
        Screenshot(d, "chanel_options");

        // Unchecking ORT with the mouse.
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, CheckIndicatorCentre(lv, 0));
        EXPECT_EQ(lv->item(0, 0)->checkState(), Qt::Unchecked);

        // Double click on the listing name edits the display name of that row.
        const QPoint stsName = lv->visualItemRect(lv->item(2, 1)).center();
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, stsName);
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {}, stsName);
        ASSERT_TRUE(lv->IsEditing());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor) editor = lv->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        // While a name is edited the dialog will not close.
        d->accept();
        EXPECT_TRUE(d->isVisible());
        d->reject();
        EXPECT_TRUE(d->isVisible());
        editor->selectAll();
        TypeText(editor, "\xD1\xD2\xD1 Love");  // "СТС Love"
        QTest::keyClick(editor, Qt::Key_Return);  // ends the edit, not the dialog
        QCoreApplication::processEvents();        // the edit is committed queued
        EXPECT_FALSE(lv->IsEditing());
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(A(lv->item(2, 0)->text()), "\xD1\xD2\xD1 Love");
        QTest::keyClick(lv, Qt::Key_Return);  // now it is OK
    }});
    ASSERT_TRUE(dialogs_.EditChannels(*channels_));
    EXPECT_FALSE(dialogs_.ChanelOptions().isVisible());
    EXPECT_TRUE(channels_->Items(0).Hide);
    EXPECT_TRUE(channels_->Items(1).Hide);
    EXPECT_EQ(channels_->Items(2).Desc, "\xD1\xD2\xD1 Love");
    EXPECT_EQ(saved, 0);  // saving is the caller's step

    channels_->Save();
    EXPECT_EQ(saved, 1);
    IniFile ini(ini_);
    EXPECT_EQ(ini.ReadString("Channel1", "Hide", ""), "1");
    EXPECT_EQ(ini.ReadString("Channel2", "Hide", ""), "1");
    EXPECT_EQ(ini.ReadString("Channel3", "Desc", ""), "\xD1\xD2\xD1 Love");
    EXPECT_FALSE(ini.ValueExists("Channel3", "Hide"));
}

TEST_F(ChannelDialogTest, OkWithoutChangesAndCancelChangeNothing) {
    const std::string before = ReadFile(ini_);
    ModalScript unchanged({[&](QWidget* w) {
        auto* d = qobject_cast<TfmChanelOptions*>(w);
        ASSERT_NE(d, nullptr);
        // With no row selected a double click starts no edit.
        d->lvChanel->clearSelection();
        d->lvChanelDblClick();
        EXPECT_FALSE(d->lvChanel->IsEditing());
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
    }});
    EXPECT_FALSE(dialogs_.EditChannels(*channels_));

    ModalScript cancelled({[&](QWidget* w) {
        auto* d = qobject_cast<TfmChanelOptions*>(w);
        ASSERT_NE(d, nullptr);
        // Space toggles the current row's check box; Esc cancels.
        d->lvChanel->setCurrentCell(1, 0);
        QTest::keyClick(d->lvChanel, Qt::Key_Space);
        EXPECT_EQ(d->lvChanel->item(1, 0)->checkState(), Qt::Checked);
        QTest::keyClick(d->lvChanel, Qt::Key_Escape);
    }});
    EXPECT_FALSE(dialogs_.EditChannels(*channels_));
    EXPECT_TRUE(channels_->Items(1).Hide);
    EXPECT_EQ(unchanged.Ran() + cancelled.Ran(), 2);
    EXPECT_EQ(ReadFile(ini_), before);
}

// ---- First run: LoadConfig asking through the GUI ------------------------

TEST_F(DialogsTest, FirstRunAsksForTheBaseAndWritesTheNames) {
    // No identifier and day 3 missing.
    WriteFile(ini_, "[MAIN]\r\n" + Names("DAYS", 7, 3) + Names("MONTHS", 12));
    Config config(ini_);
    GuiConfigPrompts prompts(dialogs_);
    ModalScript script({[&](QWidget* w) {
        TfmBaseOptions* d = AsBase(w);
        if (!d) return;
        EXPECT_TRUE(d->rbFidoStyle->isChecked());
        EXPECT_EQ(d->deFidoPath->text(), QString());
        ClickRadio(d->rbInternet);
        TypeInto(d->deFidoPath->Edit(), dir_.str());
        QTest::mouseClick(d->btOk(), Qt::LeftButton);
    }});
    EXPECT_TRUE(config.LoadConfig(prompts));
    EXPECT_EQ(script.Ran(), 1);
    EXPECT_EQ(config.FIDOPath(), "I" + dir_.str());
    IniFile ini(ini_);
    EXPECT_EQ(ini.ReadString("MAIN", "FIDOPath", ""), "I" + dir_.str());
    EXPECT_EQ(ini.ReadSection("DAYS").size(), 7u);
    EXPECT_TRUE(ini.ValueExists("DAYS", "3"));
    EXPECT_EQ(ini.ReadString("DAYS", "2", ""), "Name2");
    EXPECT_EQ(ini.ReadSection("MONTHS").size(), 12u);
    EXPECT_FALSE(config.MessageActionsEnabled());
}

TEST_F(DialogsTest, FirstRunCancelledLeavesTheFileAndAsksForMissingParameters) {
    // Identifier missing and the caption line too.
    WriteFile(ini_, "[MAIN]\r\n" + Names("DAYS", 7) + Names("MONTHS", 12) + "[MSG]\r\nFirstCaptionRow=\r\n");
    Config config(ini_);
    GuiConfigPrompts prompts(dialogs_);
    ModalScript script({[&](QWidget* w) {
                            TfmBaseOptions* d = AsBase(w);
                            if (d) QTest::mouseClick(d->btCancel(), Qt::LeftButton);
                        },
                        [&](QWidget* w) {
                            auto* d = qobject_cast<TfmMsgOptions*>(w);
                            ASSERT_NE(d, nullptr);
                            EXPECT_EQ(d->eFirstRow->text(), QString());
                            TypeInto(d->eFirstRow, "=====");
                            QTest::mouseClick(d->btOk(), Qt::LeftButton);
                        }});
    EXPECT_TRUE(config.LoadConfig(prompts));
    EXPECT_EQ(script.Ran(), 2);
    IniFile ini(ini_);
    EXPECT_FALSE(ini.ValueExists("MAIN", "FIDOPath"));
    EXPECT_EQ(ini.ReadString("MSG", "FirstCaptionRow", ""), "=====");
    EXPECT_EQ(ini.ReadString("MSG", "TimeFormat", ""), "HH.MM");
}

TEST_F(DialogsTest, CancelledParametersEndTheProcessWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MakeConfig("I" + dir_.str());
    IniFile(ini_).WriteString("MSG", "TimeFormat", "");
    EXPECT_EXIT(
        {
            Config config(ini_);
            SettingsDialogs dialogs;
            GuiConfigPrompts prompts(dialogs);
            ModalScript script({[](QWidget* w) {
                if (auto* d = qobject_cast<TfmMsgOptions*>(w)) QTest::mouseClick(d->btCancel(), Qt::LeftButton);
            }});
            if (!config.LoadConfig(prompts)) EndProcessNow(0);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
