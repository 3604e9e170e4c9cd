// Linked into the test build of the program (orbisk_autoclose): its start-up
// boxes close themselves as soon as they are shown, or after
// ORBISK_AUTOCLOSE_AFTER_MS milliseconds, so that a test can catch the
// program while it is still starting.
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>

#include "gui/startup.h"

namespace {

const bool installed = [] {
    orbisk::startupBoxShown = [](QMessageBox& box) {
        const char* after = std::getenv("ORBISK_AUTOCLOSE_AFTER_MS");
        // Never early: tests judge what happened while the box was up.
        QTimer::singleShot(after ? std::atoi(after) : 0, Qt::PreciseTimer, &box, [&box] { box.accept(); });
    };
    return true;
}();

}  // namespace
