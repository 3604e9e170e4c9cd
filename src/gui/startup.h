#pragma once
// The pieces of the program entry that are more than one line: where the
// configuration file lies, the reminder box, the missing-file box, the icon.
// main.cpp strings them together in the start-up order.
#include <QIcon>
#include <QString>
#include <string>

namespace orbisk {

// "Орбиск": the application title and the main window's caption.
inline constexpr char kAppTitle[] = "\xCE\xF0\xE1\xE8\xF1\xEA";
// "Внимание!": caption of the reminder box.
inline constexpr char kReminderCaption[] = "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!";

// Names another configuration file than the one beside the executable
// (tests, packaging). Unset, the program looks only beside itself.
inline constexpr char kIniEnvironment[] = "ORBISK_INI";
// Tests only: the start-up boxes (reminder, missing file) close themselves as
// soon as shown, so a started program never waits for a click nobody gives.
inline constexpr char kDismissBoxesEnvironment[] = "ORBISK_TEST_DISMISS_BOXES";

// "Orbisk.ini" in the executable's folder, or the file ORBISK_INI names;
// the path in the file system's own encoding.
std::string configFilePath();

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
