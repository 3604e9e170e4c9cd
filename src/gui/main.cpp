// The program entry: single instance, the reminder box and its hand-over,
// then the main window.
#include <QApplication>
#include <memory>
#include <optional>
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
    const std::unique_ptr<QApplication> app = makeApplication(qtArgc, argv);

    // 1. The instance lock; only another holder makes this the second instance.
    const std::string runtimeDir = runtimeFolder();
    std::optional<InstanceLock> lock(std::in_place, runtimeDir);
    ReminderRecord record;
    if (args.size() == 3) record = ReminderRecord::fromArguments(fromQString(args[1]), fromQString(args[2]));

    // The first instance listens at once: a start while this one is still
    // starting (its reminder box, the first-run dialogs, the first load)
    // waits until the window can show it, and so does this start's own record.
    ReminderServer server(runtimeDir);
    auto serve = [&] {
        if (lock->owned()) server.listen();
        server.postOwnRecord(record);
    };
    if (!lock->heldElsewhere()) serve();

    // 2. A reminder start shows its text first.
    if (args.size() == 3) showReminderBox(args[0]);

    // 3. Another instance runs: it shows the channel (or just comes to the
    // front); this one ends, unless that one ended first.
    if (lock->heldElsewhere()) {
        switch (handOverOrTakeOver(lock, runtimeDir, record)) {
        case SecondStart::handedOver:
            return 0;
        case SecondStart::noAnswer:
            showStartupErrorBox(noAnswerText());
            return 1;
        case SecondStart::nowFirst:
            serve();
            break;
        }
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

    server.setWindow(&window);
    window.show();
    server.setHandler([&window](const ReminderRecord& r) { return window.showReminder(r); });
    return app->exec();
}
