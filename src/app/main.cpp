// The program entry: single instance, the reminder box and its hand-over,
// then the main window.
#include <QApplication>
#include <QFile>
#include <memory>
#include <vector>

#include "app/mainwindow.h"
#include "app/qtext.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/viewer/reminderrecord.h"
#include "dialogs/settingsdialogs.h"
#include "schedule/netschedule.h"

namespace {

// LoadConfig's first-run dialogs, made for the main window on first need.
class WindowPrompts : public orbisk::ConfigPrompts {
public:
    explicit WindowPrompts(QWidget* owner) : dialogs_(owner), prompts_(dialogs_) {}
    bool EditMessageBase(orbisk::Config& config) override { return prompts_.EditMessageBase(config); }
    bool EditMessageParams(orbisk::Config& config) override { return prompts_.EditMessageParams(config); }

private:
    orbisk::SettingsDialogs dialogs_;
    orbisk::GuiConfigPrompts prompts_;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace orbisk;

    // The command line is the program's own (none, or the three reminder
    // arguments): Qt sees none of it, so a reminder text such as "-reverse"
    // is shown rather than obeyed.
    std::vector<QString> args;
    for (int i = 1; i < argc; ++i) args.push_back(QString::fromLocal8Bit(argv[i]));
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // 1. The mutex; only another holder makes this the second instance.
    const std::string runtimeFolder = RuntimeFolder();
    InstanceLock mutex(runtimeFolder);

    // 2. A reminder start: keep its time and channel, show its text first.
    ReminderRecord record;
    if (args.size() == 3) {
        record = ReminderRecord::FromArguments(A(args[1]), A(args[2]));
        ShowReminderBox(args[0]);
    }

    // 3. Another instance runs: it shows the channel (or just comes to the
    // front); this one ends either way.
    if (mutex.HeldElsewhere()) {
        HandOverReminder(runtimeFolder, record);
        return 0;
    }

    // 4. The first instance.
    QApplication::setApplicationName(Q(kAppTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("orbisk"));
    QApplication::setWindowIcon(AppIcon());

    const std::string iniPath = ConfigFilePath();
    if (!QFile::exists(QFile::decodeName(QByteArray::fromStdString(iniPath)))) {
        ShowConfigMissingBox();
        return 0;
    }

    TfmOrbiskOptions options;
    options.IniPath = iniPath;
    options.StartedWithArguments = !args.empty();
    // The probe of the task scheduler: without it reminders are switched off.
    options.SchedulerAvailable = NetSchedulerAvailable();
    options.MakePrompts = [](TfmOrbisk& window) -> std::unique_ptr<ConfigPrompts> {
        return std::make_unique<WindowPrompts>(&window);
    };
    TfmOrbisk window(std::move(options));

    ReminderServer server(runtimeFolder);
    server.SetWindow(&window);
    server.SetHandler([&window](const ReminderRecord& r) { return window.WMShowReminder(r); });
    server.Listen();
    server.PostOwnRecord(record);

    window.show();
    return app.exec();
}
