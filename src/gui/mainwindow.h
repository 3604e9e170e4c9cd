#pragma once
// The main window: navigation by week, day and channel, the day view of one
// channel with the running programme and its progress strip, and the grid of
// the programmes running on every channel. The state and its rules live in
// Viewer; this class renders them and forwards the user's actions.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/datetime.h"
#include "base/ui.h"
#include "gui/guiutil.h"
#include "viewer/dayview.h"
#include "viewer/viewer.h"

class QAction;
class QCheckBox;
class QLabel;
class QPrinter;
class QProgressBar;
class QTabBar;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QTimeEdit;
class QTimer;
class QToolButton;

namespace orbisk {

class ConfigPrompts;
class GuideActions;
class FilmGridColumns;
class ReminderRecord;
class SettingsDialogs;
class WeekTabBar;

// What the window is made with. Everything may stay unset for the program.
struct MainWindowOptions {
    // Empty: defaultConfigPath(), Orbisk.ini beside the executable.
    std::string iniPath;
    // Message boxes and questions; null: boxes owned by the window.
    Notifier* messages = nullptr;
    // The time; null: the system clock.
    const Clock* time = nullptr;
    // The dialogs loadConfig opens for missing settings (not owned); null:
    // the window's own settings dialogs.
    ConfigPrompts* prompts = nullptr;
    // Started with command-line arguments: the refresh leaves the picked time
    // alone instead of moving it to the programme running now.
    bool startedWithArguments = false;
    // Whether the task scheduler can take reminders (`reminderAction` on).
    bool schedulerAvailable = true;
    // Ends the program at once with exit code 0 (missing Orbisk.ini, message
    // parameters not given); null: endProcessNow(0).
    std::function<void()> quit;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The state behind the window (configuration, week index, channels...).
    Viewer& state() { return *viewer_; }
    Notifier& messages() { return *notifier_; }
    const Clock& time() const { return *clock_; }
    // False when Orbisk.ini was missing at creation (the window is empty).
    bool usable() const { return usable_; }

    // ---- Operations other parts call ------------------------------------------
    //
    // The full reload (the action "Обновить", a changed message base, deleted
    // messages). Throws what the load throws; the timer then stays stopped.
    void refreshListings();
    // Shows the day that holds `date`; nothing when it is already shown.
    void showDay(DateTime date);
    // One tab per shown channel; selects the current channel's tab.
    void rebuildChannelTabs();
    // Writes the current channel's day into the text view.
    void showChannelDay();
    // Moves the underline to the programme running at `t` and makes `t` the
    // picked time.
    void markShowTime(DateTime t);
    // The start of the programme line at or above the caret.
    std::optional<DateTime> timeAtCaret() const;
    void updateClock();
    // Rebuilds the grid when its time (to the minute) or the day changed.
    void refreshFilmGrid();
    // The grid time: now while "Текущие передачи" is ticked, else the picker's.
    DateTime gridTime() const;
    // The reminder hand-over: selects the shown channel whose display name is
    // `channel`, picks `time` (an unreadable time keeps the picked time) and
    // shows its day. 1 when such a channel was found and shown, else 0.
    int showReminder(const std::string& time, const std::string& channel);
    int showReminder(const ReminderRecord& record);
    // Writes MAIN/enableWarning; `warningAction` shows checked when it is false.
    void setEnableWarning(bool value);
    // While set (printing builds its text), showChannelDay does nothing.
    void setPrinting(bool value) { printing_ = value; }
    bool printing() const { return printing_; }
    // The printer `printAction` prints on after "Yes": null runs the print dialog
    // on the default printer; otherwise this sets the printer up (false:
    // cancelled). Tests print to a PDF file this way.
    std::function<bool(QPrinter&)> printerSetup;
    // Shows page channelsPage / filmsPage as `channelsPageAction` / `filmsPageAction` do.
    void showChannelsPage();
    void showFilmsPage();

    // ---- Controls and actions, named as the rest of the program knows them ---
    QAction* baseSettingsAction = nullptr;
    QAction* messageSettingsAction = nullptr;
    QAction* exitAction = nullptr;
    QAction* refreshAction = nullptr;
    QAction* prevWeekAction = nullptr;
    QAction* nextWeekAction = nullptr;
    QAction* todayAction = nullptr;
    QAction* mondayAction = nullptr;
    QAction* tuesdayAction = nullptr;
    QAction* wednesdayAction = nullptr;
    QAction* thursdayAction = nullptr;
    QAction* fridayAction = nullptr;
    QAction* saturdayAction = nullptr;
    QAction* sundayAction = nullptr;
    QAction* channelsAction = nullptr;
    QAction* nextChannelAction = nullptr;
    QAction* prevChannelAction = nullptr;
    QAction* fontAction = nullptr;
    QAction* deleteOldAction = nullptr;
    QAction* printAction = nullptr;
    QAction* reminderAction = nullptr;
    QAction* reminderSettingsAction = nullptr;
    QAction* warningAction = nullptr;
    QAction* saveJtvAction = nullptr;
    QAction* saveXmltvAction = nullptr;
    QAction* channelsPageAction = nullptr;
    QAction* filmsPageAction = nullptr;
    QAction* aboutAction = nullptr;

    WeekTabBar* weekTabs = nullptr;
    QToolButton* prevWeekButton = nullptr;
    QToolButton* nextWeekButton = nullptr;
    QToolButton* todayButton = nullptr;
    QLabel* clockLabel = nullptr;
    QTabWidget* pages = nullptr;
    QWidget* channelsPage = nullptr;
    QWidget* filmsPage = nullptr;
    QTabBar* channelTabs = nullptr;
    QTextEdit* dayView = nullptr;
    QLabel* startTimeLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* stopTimeLabel = nullptr;
    QCheckBox* currentFilmsCheck = nullptr;
    QTimeEdit* showTimeEdit = nullptr;
    QTableWidget* filmGrid = nullptr;
    QTimer* clockTimer = nullptr;
    QTimer* filmTimer = nullptr;

    // The window's size on a first start (no stored placement) on a screen
    // whose free area is `available`.
    QSize firstStartSize(const QRect& available) const;

public slots:
    // The program's name, version and settings file, in an information box.
    void onAbout();
    // One tick of each timer (tests call them to run a tick at a fixed time).
    void onClockTimer();
    void onFilmTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createControls();
    // Title, size and place; without a settings file the empty window says
    // so and the program ends; otherwise the first refresh.
    void loadAtStart();

    // Event handlers.
    void onWeekTabClicked(int index);
    void onChannelTabChanged(int tab);
    void onPageChanged();
    void onFilmGridDoubleClicked(int row);
    void onWarningToggled(bool checked);
    // Printing, the JTV export and the deletion of old messages
    // (mainwindow_export.cpp).
    void onPrint();
    void onSaveJtv();
    void onDeleteOld();
    // The XMLTV export of the week shown (mainwindow_xmltv.cpp).
    void onSaveXmltv();
    void dayAction(int day);
    // Runs a viewer step that may show another day (false: it did not) and
    // renders the day it shows.
    void goToDay(const std::function<bool()>& step);
    void stepChannel(bool forward);
    void pickAtCaret();

    // Rendering of the viewer's state.
    void renderWeek();
    // `pickRunning`: after a refresh (see Viewer::skipHiddenChannel).
    void renderDayBody(bool pickRunning = false);
    // The channel tabs follow a channel the viewer selected; the text is no
    // longer the current channel's until shown again.
    void followCurrentChannel();
    void renderProgress();
    void applyActionsFromConfig();
    void applyFilmGridColumns();
    void adjustFilmRowHeights();
    void focusView();
    bool textShowsCurrentChannel() const;
    // The day-view line plain or underlined (the picked time), its time bold.
    void styleLine(int line, bool marked);
    std::size_t timeLength() const;
    void hookChannels();

    // Window placement in section MAIN (position only).
    void restorePlacement();
    void savePlacement();

    int px(int pixelsAt96) const;

    MainWindowOptions options_;
    std::unique_ptr<QtNotifier> ownNotifier_;
    std::unique_ptr<SystemClock> ownClock_;
    std::unique_ptr<SettingsDialogs> dialogs_;
    std::unique_ptr<ConfigPrompts> ownPrompts_;
    Notifier* notifier_ = nullptr;
    const Clock* clock_ = nullptr;
    ConfigPrompts* prompts_ = nullptr;
    std::unique_ptr<Viewer> viewer_;
    GuideActions* guides_ = nullptr;  // a child
    FilmGridColumns* filmColumns_ = nullptr;
    bool usable_ = false;
    bool printing_ = false;
    // A load runs away from the window's thread: a hand-over that comes
    // meanwhile would open a channel in the emptied index, so it waits.
    bool loading_ = false;
    std::optional<std::pair<std::string, std::string>> reminderAfterLoad_;  // time, channel
    bool schedulerAvailable_ = true;
    // The text view holds the current channel's lines (not emptied for a
    // day without text).
    bool textShown_ = false;
    DayText dayText_;
};

}  // namespace orbisk
