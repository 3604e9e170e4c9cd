// The program entry: single instance, the reminder box and its hand-over,
// then the main window.
#include <QApplication>
#include <vector>

#include "base/error.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "gui/singleinstance.h"
#include "gui/startup.h"
#include "schedule/netschedule.h"
#include "viewer/reminderrecord.h"

int main(int argc, char** argv) {
    using namespace orbisk;

    // The command line is the program's own (none, or the three reminder
    // arguments): Qt sees none of it, so a reminder text such as "-reverse"
    // is shown rather than obeyed.
    std::vector<QString> args;
    for (int i = 1; i < argc; ++i) args.push_back(QString::fromLocal8Bit(argv[i]));
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // 1. The instance lock; only another holder makes this the second instance.
    const std::string runtimeDir = runtimeFolder();
    InstanceLock lock(runtimeDir);

    // 2. A reminder start: keep its time and channel, show its text first.
    ReminderRecord record;
    if (args.size() == 3) {
        record = ReminderRecord::fromArguments(fromQString(args[1]), fromQString(args[2]));
        showReminderBox(args[0]);
    }

    // 3. Another instance runs: it shows the channel (or just comes to the
    // front); this one ends either way.
    if (lock.heldElsewhere()) {
        handOverReminder(runtimeDir, record);
        return 0;
    }

    // 4. The first instance.
    QApplication::setApplicationName(toQString(kAppTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("orbisk"));
    QApplication::setWindowIcon(appIcon());
    installQtTranslations();

    // The settings: a first start makes the per-user file from the template
    // and goes on to the first-run dialogs, which fill it in.
    const ConfigLookup lookup = findConfigFile();
    if (!lookup.found) {
        if (!lookup.mayCreate()) {
            showConfigMissingBox(configMissingText(lookup));
            return 0;
        }
        try {
            createConfigFromTemplate(configTemplatePath(), lookup.path);
        } catch (const Error& e) {
            showConfigMissingBox(configMissingText(lookup) + "\n\n" + e.what());
            return 0;
        }
    }
    const std::string iniPath = lookup.path;

    MainWindowOptions options;
    options.iniPath = iniPath;
    options.startedWithArguments = !args.empty();
    // The probe of the task scheduler: without it reminders are switched off.
    options.schedulerAvailable = netSchedulerAvailable();
    // The first-run prompts are the window's own settings dialogs.
    MainWindow window(std::move(options));

    ReminderServer server(runtimeDir);
    server.setWindow(&window);
    server.setHandler([&window](const ReminderRecord& r) { return window.showReminder(r); });
    server.listen();
    server.postOwnRecord(record);

    window.show();
    return app.exec();
}
