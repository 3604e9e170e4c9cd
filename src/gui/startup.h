#pragma once
// The pieces of the program entry that are more than one line: the reminder
// box, the missing-file box, the icon. main.cpp strings them together in the
// start-up order, with the settings file that configFilePath finds.
#include <QIcon>
#include <QString>
#include <string>

#include "config/config.h"  // configFilePath, kIniEnvironment

namespace orbisk {

// Tests only: the start-up boxes (reminder, missing file) close themselves as
// soon as shown, so a started program never waits for a click nobody gives.
inline constexpr char kDismissBoxesEnvironment[] = "ORBISK_TEST_DISMISS_BOXES";

// The reminder text in a box: caption "Внимание!", information icon, modal
// to the whole application, no owner, kept above other windows (it may come
// from a scheduler job while the user works elsewhere). Returns when dismissed.
void showReminderBox(const QString& text);

// "Не обнаружен файл "Orbisk.ini". Продолжение не возможно": caption
// "Орбиск", error icon, no owner. Returns when dismissed.
void showConfigMissingBox();

// The program's icon, from the embedded resource.
QIcon appIcon();

}  // namespace orbisk
