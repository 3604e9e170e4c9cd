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

#include "app/guiutil.h"
#include "app/viewer/dayview.h"
#include "app/viewer/viewer.h"
#include "base/datetime.h"
#include "base/ui.h"

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
class ReminderRecord;
class SettingsDialogs;
class TWeekTabs;
class TfmOrbisk;

// What the window is made with. Everything may stay unset for the program.
struct TfmOrbiskOptions {
    // Empty: "Orbisk.ini" in the folder of the executable.
    std::string IniPath;
    // Message boxes and questions; null: boxes owned by the window.
    Notifier* Messages = nullptr;
    // The time; null: the system clock.
    const Clock* Time = nullptr;
    // The dialogs LoadConfig opens for missing settings: Prompts (not owned)
    // or, when null, the one MakePrompts makes for the window; with neither,
    // the window's own settings dialogs.
    ConfigPrompts* Prompts = nullptr;
    std::function<std::unique_ptr<ConfigPrompts>(TfmOrbisk&)> MakePrompts;
    // Started with command-line arguments: the refresh leaves the picked time
    // alone instead of moving it to the programme running now.
    bool StartedWithArguments = false;
    // Whether the task scheduler can take reminders (`aSchedul` on).
    bool SchedulerAvailable = true;
    // Ends the program at once with exit code 0 (missing Orbisk.ini, message
    // parameters not given); null: EndProcessNow(0).
    std::function<void()> Quit;
};

class TfmOrbisk : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmOrbisk(TfmOrbiskOptions options = {}, QWidget* parent = nullptr);
    ~TfmOrbisk() override;

    // The state behind the window (configuration, week index, channels...).
    Viewer& State() { return *viewer_; }
    Notifier& Messages() { return *notifier_; }
    const Clock& Time() const { return *clock_; }
    // False when Orbisk.ini was missing at creation (the window is empty).
    bool Usable() const { return usable_; }

    // ---- Operations other parts call ------------------------------------------
    //
    // The full reload (the action "Обновить", a changed message base, deleted
    // messages). Throws what the load throws; the timer then stays stopped.
    void RefreshListings();
    // Shows the day that holds `date`; nothing when it is already shown.
    void ShowDay(TDateTime date);
    // One tab per shown channel; selects the current channel's tab.
    void RebuildChannelTabs();
    // Writes the current channel's day into the text view.
    void ShowChannelDay();
    // Moves the underline to the programme running at `t` and makes `t` the
    // picked time.
    void MarkShowTime(TDateTime t);
    // The start of the programme line at or above the caret.
    std::optional<TDateTime> TimeAtCaret() const;
    void UpdateClock();
    // Rebuilds the grid when its time (to the minute) or the day changed.
    void RefreshFilmGrid();
    // The grid time: now while "Текущие передачи" is ticked, else the picker's.
    TDateTime GridTime() const;
    // The reminder hand-over: selects the shown channel whose display name is
    // `channel`, picks `time` (an unreadable time keeps the picked time) and
    // shows its day. 1 when such a channel was found and shown, else 0.
    int WMShowReminder(const std::string& time, const std::string& channel);
    int WMShowReminder(const ReminderRecord& record);
    // Writes MAIN/EnableWarning; `aWarning` shows checked when it is false.
    void SetEnableWarning(bool value);
    // While set (printing builds its text), ShowChannelDay does nothing.
    void SetPrinting(bool value) { printing_ = value; }
    bool Printing() const { return printing_; }
    // The printer `aPrint` prints on after "Yes": null runs the print dialog
    // on the default printer; otherwise this sets the printer up (false:
    // cancelled). Tests print to a PDF file this way.
    std::function<bool(QPrinter&)> PrinterSetup;
    // Shows page tsChannels / tsFilms as `aTVGide` / `aCurrentFilms` do.
    void ShowChannelsPage();
    void ShowFilmsPage();

    // ---- Controls and actions, named as the rest of the program knows them ---
    QAction* aOptions = nullptr;
    QAction* aMessage = nullptr;
    QAction* aExit = nullptr;
    QAction* aRefresh = nullptr;
    QAction* aPrevWeek = nullptr;
    QAction* aNextWeek = nullptr;
    QAction* aNow = nullptr;
    QAction* aMon = nullptr;
    QAction* aTu = nullptr;
    QAction* aWe = nullptr;
    QAction* aTh = nullptr;
    QAction* aFr = nullptr;
    QAction* aSa = nullptr;
    QAction* aSu = nullptr;
    QAction* aChannels = nullptr;
    QAction* aNextChanel = nullptr;
    QAction* aPrevChanel = nullptr;
    QAction* aFont = nullptr;
    QAction* aDeleteMsgs = nullptr;
    QAction* aPrint = nullptr;
    QAction* aSchedul = nullptr;
    QAction* aSchedulProperty = nullptr;
    QAction* aWarning = nullptr;
    QAction* aSaveForJTV = nullptr;
    QAction* aSaveForXMLTV = nullptr;
    QAction* aTVGide = nullptr;
    QAction* aCurrentFilms = nullptr;

    TWeekTabs* tcWeek = nullptr;
    QToolButton* btPrevWeek = nullptr;
    QToolButton* btNextWeek = nullptr;
    QToolButton* btNow = nullptr;
    QLabel* lCurrentTime = nullptr;
    QTabWidget* pcMainSwitch = nullptr;
    QWidget* tsChannels = nullptr;
    QWidget* tsFilms = nullptr;
    QTabBar* tcPrg = nullptr;
    QTextEdit* rePrg = nullptr;
    QLabel* pStartTime = nullptr;
    QProgressBar* pbProgress = nullptr;
    QLabel* pStopTime = nullptr;
    QCheckBox* cbCurrentFilms = nullptr;
    QTimeEdit* dtpShowTime = nullptr;
    QTableWidget* sgFilms = nullptr;
    QTimer* Timer = nullptr;
    QTimer* Timer4Films = nullptr;

public slots:
    // One tick of each timer (tests call them to run a tick at a fixed time).
    void TimerTimer();
    void Timer4FilmsTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateControls();
    void FormCreate();

    // Event handlers.
    void tcWeekClick(int index);
    void tcPrgChange(int tab);
    void pcMainSwitchChange();
    void sgFilmsDblClick(int row);
    void aWarningExecute(bool checked);
    // Printing, the JTV export and the deletion of old messages
    // (mainwindow_export.cpp).
    void aPrintExecute();
    void aSaveForJTVExecute();
    void aDeleteMsgsExecute();
    // The XMLTV export of the week shown (mainwindow_xmltv.cpp).
    void aSaveForXMLTVExecute();
    void DayAction(int day);
    void StepChannel(bool forward);
    void PickAtCaret();

    // Rendering of the viewer's state.
    void RenderWeek();
    // `pickRunning`: a hidden channel 0 gives way to the first shown one
    // with the picked time moved to its running programme (after a refresh).
    void RenderDayBody(bool pickRunning = false);
    void RenderProgress();
    void ApplyActionsFromConfig();
    void ApplyFilmGridColumns();
    void AdjustFilmRowHeights();
    void FocusView();
    bool TextShowsCurrentChannel() const;
    // The day-view line plain or underlined (the picked time), its time bold.
    void StyleLine(int line, bool marked);
    std::size_t TimeLength() const;
    char TimeSeparator() const;
    void HookChannels();

    // Window placement in section MAIN (position only).
    void RestorePlacement();
    void SavePlacement();

    int Px(int pixelsAt96) const;

    TfmOrbiskOptions options_;
    std::unique_ptr<QtNotifier> ownNotifier_;
    std::unique_ptr<SystemClock> ownClock_;
    std::unique_ptr<SettingsDialogs> dialogs_;
    std::unique_ptr<ConfigPrompts> ownPrompts_;
    Notifier* notifier_ = nullptr;
    const Clock* clock_ = nullptr;
    ConfigPrompts* prompts_ = nullptr;
    std::unique_ptr<Viewer> viewer_;
    bool usable_ = false;
    bool printing_ = false;
    bool schedulerAvailable_ = true;
    // The text view holds the current channel's lines (not emptied for a
    // day without text).
    bool textShown_ = false;
    DayText dayText_;
};

}  // namespace orbisk
