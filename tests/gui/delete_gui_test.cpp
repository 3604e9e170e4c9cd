// Ctrl+Del in the window while a tosser holds the base's lock: one box
// says how many messages could not be deleted and why; a run that went
// well shows nothing after the question.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <memory>

#include "base/cp1251.h"
#include "export/deleteold.h"
#include "gui/mainwindow.h"
#include "msgbase/fileio.h"
#include "msgbase/messagearea.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::TempDir;

struct Boxes : Notifier {
    std::vector<std::string> shown, asked;
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        shown.push_back(caption + ": " + text);
    }
    Answer ask(const std::string& text, const std::string& caption, MsgIcon, Buttons) override {
        asked.push_back(caption + ": " + text);
        return Answer::Yes;
    }
};

struct ShortLockWait {
    ShortLockWait() : saved(lockWaitLimit) { lockWaitLimit = std::chrono::milliseconds(200); }
    ~ShortLockWait() { lockWaitLimit = saved; }
    std::chrono::milliseconds saved;
};

TEST(DeleteOldWindow, ARunWithFailuresShowsOneBoxAndACleanRunNone) {
    TempDir dir;
    const std::string identifier = "S" + (dir / "tv");
    {
        std::unique_ptr<MessageArea> a;
        ASSERT_TRUE(createAreaForIdentifier(a, identifier));
        ASSERT_EQ(a->createArea(), 0);
        ASSERT_EQ(a->openArea(), 0);
        for (const char* subject : {"Hello", "Question"}) {
            a->startNewMessage();
            a->setSubject(subject);
            a->writeTextLine("chat");
            ASSERT_EQ(a->saveMessage(), 0);
        }
        ASSERT_TRUE(closeAreaAndFree(a));
    }
    test::writeListingIni(dir / "Orbisk.ini", identifier);
    Boxes boxes;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(12, 0));
    MainWindowOptions o;
    o.iniPath = dir / "Orbisk.ini";
    o.messages = &boxes;
    o.time = &clock;
    o.quit = [] {};
    MainWindow w(o);
    ASSERT_TRUE(w.deleteOldAction->isEnabled());
    ASSERT_EQ(w.state().otherMsgs().size(), 2u);

    const ShortLockWait shortWait;
    std::unique_ptr<MessageArea> tosser;
    ASSERT_TRUE(openAreaByIdentifier(tosser, identifier));
    ASSERT_TRUE(tosser->lockArea());
    w.deleteOldAction->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Удаление сообщений: Удалено сообщений: 0.\nНе удалось удалить: 2\n"
                              "№1: база занята другой программой или закрыта для записи\n"
                              "№2: база занята другой программой или закрыта для записи"_cp1251);
    EXPECT_EQ(w.state().otherMsgs().size(), 2u);

    tosser->unlockArea();
    w.deleteOldAction->trigger();
    EXPECT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(w.state().otherMsgs().empty());
    closeAreaAndFree(tosser);
}

}  // namespace
}  // namespace orbisk
