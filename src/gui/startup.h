#pragma once
// The pieces of the program entry that are more than one line: the reminder
// box, the missing-file box, the icon. main.cpp strings them together in the
// start-up order, with the settings file that findConfigFile finds.
#include <QApplication>
#include <QIcon>
#include <QString>
#include <QTranslator>
#include <memory>
#include <string>

#include "config/config.h"  // findConfigFile, kIniEnvironment

class QMessageBox;

namespace orbisk {

// The application object. Where there is no screen to show a window on (no
// DISPLAY or WAYLAND_DISPLAY, or one that does not answer) the process ends
// here with exit code 1 and says so in one plain line on stderr, instead of
// Qt's abort and its advice to reinstall.
std::unique_ptr<QApplication> makeApplication(int& argc, char** argv);
// That line.
QString noScreenText();

// Called with each start-up box (reminder, missing file) just before it is
// shown; null in the program. A test build of the program links a unit that
// sets it, so that a started program never waits for a click nobody gives.
extern void (*startupBoxShown)(QMessageBox& box);

// The reminder text in a box: caption "Внимание!", information icon, modal
// to the whole application, no owner, kept above other windows (it may come
// from a scheduler job while the user works elsewhere). Returns when dismissed.
void showReminderBox(const QString& text);

// The missing-settings text (configMissingText: what is missing and where it
// was looked for; 1251): caption "Орбиск", error icon, no owner. Returns
// when dismissed.
void showConfigMissingBox(const std::string& ansiText);

// A start that can't go on, told in a box (caption "Орбиск", error icon, no
// owner) and on stderr. Returns when dismissed.
void showStartupErrorBox(const QString& text);
// The text when another instance holds the lock but never answers.
QString noAnswerText();

// Qt's own texts (the standard buttons Yes, No, Cancel, the file dialogs) in
// Russian, as the rest of the window: Qt's translations installed on the
// system (qt6-translations-l10n). The translator belongs to the application
// (deleting it takes it out again); null when the translations are missing.
QTranslator* installQtTranslations();

// The program's icon, from the embedded resource.
QIcon appIcon();

}  // namespace orbisk
