#include "schedule/favouritereminders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "schedule/queuedreminders.h"
#include "schedule/scheduler.h"
#include "support/listing_names.h"
#include "support/tempdir.h"
#include "viewer/viewer.h"

namespace orbisk {
namespace {

using test::kDayNames;
using test::kMonthNames;
using test::TempDir;
using test::writeFile;

TEST(ReminderTag, ReadsBackFromTheJobTextItIsWrittenInto) {
    const ReminderTag tag{encodeDate(2027, 1, 4), "00.15", "Пер\tвый"_cp1251, "Ночные\nновости"_cp1251,
                          encodeDate(2027, 1, 5) + encodeTime(0, 5)};
    const std::string job = "#!/bin/sh\nORBISK_REMINDER=2027\\-01; export ORBISK_REMINDER\n#ORBISK_REMINDER=" +
                            reminderTagValue(tag) + "\ncd /root || {\n";
    const auto back = tagOfJobText(job);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->day, tag.day);
    EXPECT_EQ(back->time, "00.15");
    EXPECT_EQ(back->channel, "Пер вый"_cp1251);
    EXPECT_EQ(back->title, "Ночные новости"_cp1251);
    EXPECT_EQ(back->runs, tag.runs);
    EXPECT_FALSE(tagOfJobText("#!/bin/sh\nORBISK_REMINDER=x; export ORBISK_REMINDER\n"));
    EXPECT_FALSE(parseReminderTag("2027-01-04\t00.15\tOne\tNews"));
    EXPECT_FALSE(parseReminderTag("1013-01-04\t00.15\tOne\tNews\t1013-01-05 00:05"));
}

class SilentNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

class LeadDialogs : public ScheduleDialogs {
public:
    bool askLeadTime(const std::string&, int& minutes) override {
        ++asked;
        minutes = 10;
        return true;
    }
    bool editScheduleSettings(int&, std::string&, bool&, std::string&) override { return false; }
    int asked = 0;
};

class NoNet : public NetScheduler {
public:
    std::uint32_t jobAdd(const AtInfo&, std::uint32_t&, std::string&) override { return kErrorBadNetPath; }
};

// A week about a year ahead, so that the real queue holds its jobs until the
// test removes them; the clock stands at its Monday 05:00.
class FavouriteReminders : public ::testing::Test {
protected:
    void SetUp() override {
        if (!programAvailable("at") || !programAvailable("atrm"))
            GTEST_SKIP() << "the at package is not installed: no real queue to test with";
        const DateTime ahead = dateOf(SystemClock().now()) + 400;
        monday = ahead - (dayOfWeek(ahead) + 5) % 7;
        writeDay(1, {"06.00 Утро", "22.00 Вести недели", "00.15 ВЕСТИ. Ночной выпуск"});
        writeDay(2, {"06.00 Вести", "09.00 Вестник"});
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Schedule]\r\nRunMe=0\r\nExternalCommandLine=true *NAME\r\n[Favourites]\r\n1=" +
                                  std::string("вести"_cp1251) + "\r\n");
        clock.set(monday + encodeTime(5, 0));
        ASSERT_TRUE(viewer.refreshListings(prompts, false));
    }
    void TearDown() override {
        const QueueReading reading = readQueuedReminders();
        for (const QueuedReminder& r : reading.reminders) {
            if (r.tag.day < monday || r.tag.day > monday + 6) continue;
            std::string ignored;
            runProgram("atrm", {std::to_string(r.id)}, "", ignored);
        }
    }
    void writeDay(int slot, const std::vector<std::string>& lines) {
        int y, m, d;
        decodeDate(monday + slot - 1, y, m, d);
        std::string text = "[tv.all]\r\n======\r\n" + std::string(kDayNames[dayOfWeek(monday + slot - 1)]) + ". " +
                           std::to_string(d) + " " + kMonthNames[m] + ". One\r\n-----------------\r\n";
        for (const auto& line : lines) text += utf8ToAnsi(line) + "\r\n";
        writeFile(dir / (std::to_string(slot) + ".txt"), ansiToKoi8(text));
    }
    std::vector<QueuedReminder> ours() const {
        std::vector<QueuedReminder> found = readQueuedReminders().reminders;
        std::erase_if(found, [this](const QueuedReminder& r) { return r.tag.day < monday || r.tag.day > monday + 6; });
        return found;
    }

    DateTime monday = 0;
    TempDir dir;
    SilentNotifier notifier;
    FixedClock clock{0};
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
    LeadDialogs dialogs;
    TaskLibrary library{std::string(ORBISK_BINARY_DIR) + "/" + kTaskLibraryFileName};
    NoNet net;
    ReminderScheduler scheduler{viewer, notifier, dialogs, library, net, "/opt/orbisk"};
};

TEST_F(FavouriteReminders, EveryComingShowingOnceAndCancelOne) {
    ASSERT_TRUE(onFavouriteReminders(scheduler, viewer, dialogs, notifier)) << notifier.shown.back();
    EXPECT_EQ(dialogs.asked, 1);
    EXPECT_EQ(notifier.shown.back(), "Добавлено напоминаний: 3"_cp1251);
    auto queued = ours();
    ASSERT_EQ(queued.size(), 3u);
    // In the order they run, each with its listing day, time, channel and title.
    EXPECT_EQ(queued[0].tag.day, monday);
    EXPECT_EQ(queued[0].tag.time, "22.00");
    EXPECT_EQ(queued[0].tag.channel, "One");
    EXPECT_EQ(queued[0].tag.title, "Вести недели"_cp1251);
    EXPECT_EQ(queued[0].tag.runs, monday + encodeTime(21, 50));
    EXPECT_EQ(queued[1].tag.day, monday);
    EXPECT_EQ(queued[1].tag.runs, monday + 1 + encodeTime(0, 5));
    EXPECT_EQ(queued[2].tag.day, monday + 1);

    // Again: nothing doubled.
    EXPECT_FALSE(onFavouriteReminders(scheduler, viewer, dialogs, notifier));
    EXPECT_EQ(notifier.shown.back(), "Добавлено напоминаний: 0\nУже были в расписании: 3"_cp1251);
    EXPECT_EQ(ours().size(), 3u);

    // Cancelled, it is gone; a job that is not a reminder of ours is refused.
    std::string error;
    ASSERT_TRUE(cancelQueuedReminder(queued[1].id, error)) << error;
    queued = ours();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[1].tag.day, monday + 1);
    EXPECT_FALSE(cancelQueuedReminder(999999, error));
    EXPECT_EQ(error, "В расписании нет напоминания с номером 999999"_cp1251);

    // Later that night the first has begun: only the cancelled one comes back.
    clock.set(monday + encodeTime(22, 30));
    EXPECT_TRUE(onFavouriteReminders(scheduler, viewer, dialogs, notifier));
    EXPECT_EQ(notifier.shown.back(), "Добавлено напоминаний: 1\nУже были в расписании: 1"_cp1251);
    EXPECT_EQ(ours().size(), 3u);
}

}  // namespace
}  // namespace orbisk
