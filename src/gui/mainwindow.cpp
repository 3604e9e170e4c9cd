#include "gui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "config/config.h"
#include "gui/filmgriddelegate.h"
#include "gui/qtext.h"
#include "gui/reminderactions.h"
#include "viewer/reminderrecord.h"
#include "gui/weektabbar.h"
#include "base/error.h"
#include "base/timetext.h"
#include "gui/dialogs/settingsdialogs.h"

namespace orbisk {
namespace {

// "Орбиск"
constexpr char kWindowTitle[] = "\xCE\xF0\xE1\xE8\xF1\xEA";
const QColor kNavy(0, 0, 128);

// The first-run dialogs open in the middle of a load: they get the normal
// cursor while they are up, the load its wait cursor again afterwards.
class PromptsWithCursor : public ConfigPrompts {
public:
    explicit PromptsWithCursor(ConfigPrompts& inner) : inner_(inner) {}
    bool editMessageBase(Config& config) override {
        return withNormalCursor([&] { return inner_.editMessageBase(config); });
    }
    bool editMessageParams(Config& config) override {
        return withNormalCursor([&] { return inner_.editMessageParams(config); });
    }

private:
    template <typename F>
    static bool withNormalCursor(F&& f) {
        const bool waiting = QApplication::overrideCursor() != nullptr;
        if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
        struct Restore {
            bool on;
            ~Restore() {
                if (on) QApplication::restoreOverrideCursor();
            }
        } restore{waiting};
        return f();
    }
    ConfigPrompts& inner_;
};

// Redrawing of a widget suspended for a scope.
class UpdatesOff {
public:
    explicit UpdatesOff(QWidget* w) : w_(w), was_(w->updatesEnabled()) { w_->setUpdatesEnabled(false); }
    ~UpdatesOff() { w_->setUpdatesEnabled(was_); }
    UpdatesOff(const UpdatesOff&) = delete;
    UpdatesOff& operator=(const UpdatesOff&) = delete;

private:
    QWidget* w_;
    bool was_;
};

QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

DateTime toTime(const QTime& t) { return encodeTime(t.hour(), t.minute(), t.second(), 0); }

QTime toQTime(DateTime t) {
    int h = 0, m = 0, s = 0, ms = 0;
    decodeTime(t, h, m, s, ms);
    return QTime(h, m, s);
}

void mergeFormat(QTextDocument* doc, TextRange r, const QTextCharFormat& f) {
    if (r.length <= 0) return;
    QTextCursor c(doc);
    c.setPosition(r.start);
    c.setPosition(r.start + r.length, QTextCursor::KeepAnchor);
    c.mergeCharFormat(f);
}

// MAIN/MinMaxPos and NormPos hold four integers "%d,%d,%d,%d".
bool readFour(const std::string& text, std::array<int, 4>& out) {
    int n = 0;
    char tail = 0;
    return std::sscanf(text.c_str(), "%d,%d,%d,%d%n%c", &out[0], &out[1], &out[2], &out[3], &n, &tail) == 4 &&
           n == static_cast<int>(text.size());
}

std::string writeFour(int a, int b, int c, int d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

constexpr char kMainSection[] = "MAIN";
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;

}  // namespace

// ---- Creation ---------------------------------------------------------------------

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("TfmOrbisk"));
    if (options_.messages) {
        notifier_ = options_.messages;
    } else {
        ownNotifier_ = std::make_unique<QtNotifier>(this);
        notifier_ = ownNotifier_.get();
    }
    if (options_.time) {
        clock_ = options_.time;
    } else {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    if (options_.iniPath.empty()) {
        const QString dir = QCoreApplication::applicationDirPath();
        options_.iniPath = QFile::encodeName(dir + QLatin1Char('/') + QLatin1String(kConfigFileName)).toStdString();
    }
    schedulerAvailable_ = options_.schedulerAvailable;
    viewer_ = std::make_unique<Viewer>(options_.iniPath, *notifier_, *clock_);
    dialogs_ = std::make_unique<SettingsDialogs>(this);
    if (options_.messages) dialogs_->setNotifier(options_.messages);

    createActions();
    createControls();
    createMenus();
    new ReminderActions(*this);  // reminderAction, reminderSettingsAction
    formCreate();
}

MainWindow::~MainWindow() {
    if (clockTimer) clockTimer->stop();
    if (filmTimer) filmTimer->stop();
}

int MainWindow::px(int pixelsAt96) const { return pixelsAt96 * logicalDpiX() / 96; }

void MainWindow::createActions() {
    auto make = [this](const char* caption, const char* hint, const QKeySequence& key, const char* name) {
        auto* a = new QAction(toQString(caption), this);
        a->setObjectName(QLatin1String(name));
        if (hint) {
            a->setStatusTip(toQString(hint));
            a->setToolTip(toQString(hint));
        }
        if (!key.isEmpty()) a->setShortcut(key);
        addAction(a);  // shortcuts work without the menus too
        return a;
    };
    // "&Эхообласть", "Настройка пути и типа эхообласти"
    baseSettingsAction = make("&\xDD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xFC",
                    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xF3\xF2\xE8 \xE8 \xF2\xE8\xEF\xE0 "
                    "\xFD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xE8",
                    QKeySequence(Qt::CTRL | Qt::Key_E), "aOptions");
    // "&Сообщение", "Настройка параметров сообщения"
    messageSettingsAction = make("&\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5",
                    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 "
                    "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF",
                    QKeySequence(Qt::CTRL | Qt::Key_M), "aMessage");
    // "В&ыход", "Выход из программы"
    exitAction = make("\xC2&\xFB\xF5\xEE\xE4", "\xC2\xFB\xF5\xEE\xE4 \xE8\xE7 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB",
                 QKeySequence(Qt::CTRL | Qt::Key_X), "aExit");
    exitAction->setIcon(themeIcon("application-exit", QStyle::SP_DialogCloseButton));
    // "&Обновить", "Перечитать базу сообщений"
    refreshAction = make("&\xCE\xE1\xED\xEE\xE2\xE8\xF2\xFC",
                    "\xCF\xE5\xF0\xE5\xF7\xE8\xF2\xE0\xF2\xFC \xE1\xE0\xE7\xF3 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9",
                    QKeySequence(Qt::Key_F5), "aRefresh");
    refreshAction->setIcon(themeIcon("view-refresh", QStyle::SP_BrowserReload));
    // "&Предыдущая неделя", "Предыдущая неделя"
    prevWeekAction = make("&\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     "\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     QKeySequence(Qt::CTRL | Qt::Key_P), "aPrevWeek");
    prevWeekAction->setIcon(themeIcon("go-up", QStyle::SP_ArrowUp));
    // "&Следующая неделя", hint "&Следующая неделя" (the ampersand is part of it)
    nextWeekAction = make("&\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     "&\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     QKeySequence(Qt::CTRL | Qt::Key_N), "aNextWeek");
    nextWeekAction->setIcon(themeIcon("go-down", QStyle::SP_ArrowDown));
    // "&Сегодня", "Сегодня"
    todayAction = make("&\xD1\xE5\xE3\xEE\xE4\xED\xFF", "\xD1\xE5\xE3\xEE\xE4\xED\xFF", QKeySequence(Qt::CTRL | Qt::Key_0),
                "aNow");
    todayAction->setIcon(themeIcon("go-jump-today", QStyle::SP_DialogApplyButton));

    // "&Понедельник" ... "&Воскресенье"; the hints are the words without "&".
    static const char* const kDayCaptions[7] = {
        "&\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA", "&\xC2\xF2\xEE\xF0\xED\xE8\xEA", "&\xD1\xF0\xE5\xE4\xE0",
        "&\xD7\xE5\xF2\xE2\xE5\xF0\xE3",                  "&\xCF\xFF\xF2\xED\xE8\xF6\xE0", "&\xD1\xF3\xE1\xE1\xEE\xF2\xE0",
        "&\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5"};
    static const char* const kDayNames[7] = {"aMon", "aTu", "aWe", "aTh", "aFr", "aSa", "aSu"};
    QAction** days[7] = {&mondayAction, &tuesdayAction, &wednesdayAction, &thursdayAction, &fridayAction, &saturdayAction, &sundayAction};
    for (int d = 0; d < 7; ++d) {
        const std::string hint = std::string(kDayCaptions[d]).substr(1);
        *days[d] = make(kDayCaptions[d], hint.c_str(), QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + d)), kDayNames[d]);
        (*days[d])->setData(d);  // the action's tag
        connect(*days[d], &QAction::triggered, this, [this, d] { dayAction(d); });
    }

    // "Настройка каналов"
    channelsAction = make("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2",
                     "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2",
                     QKeySequence(Qt::CTRL | Qt::Key_O), "aChannels");
    // "Следующий канал"
    nextChannelAction = make("\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB",
                       "\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB",
                       QKeySequence(Qt::CTRL | Qt::Key_Right), "aNextChanel");
    nextChannelAction->setIcon(themeIcon("go-next", QStyle::SP_ArrowRight));
    // "Предыдущий канал" (no hint)
    prevChannelAction = make("\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB", nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_Left), "aPrevChanel");
    prevChannelAction->setIcon(themeIcon("go-previous", QStyle::SP_ArrowLeft));
    // "&Шрифт", "Шрифт": kept for its shortcut, does nothing
    fontAction = make("&\xD8\xF0\xE8\xF4\xF2", "\xD8\xF0\xE8\xF4\xF2", QKeySequence(Qt::CTRL | Qt::Key_F), "aFont");
    // "&Удалить старые"
    deleteOldAction = make("&\xD3\xE4\xE0\xEB\xE8\xF2\xFC \xF1\xF2\xE0\xF0\xFB\xE5",
                       "\xD3\xE4\xE0\xEB\xE8\xF2\xFC \xF1\xF2\xE0\xF0\xFB\xE5",
                       QKeySequence(Qt::CTRL | Qt::Key_Delete), "aDeleteMsgs");
    // "&Печать", "Печать телепрограммы"
    printAction = make("&\xCF\xE5\xF7\xE0\xF2\xFC",
                  "\xCF\xE5\xF7\xE0\xF2\xFC \xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB",
                  QKeySequence(Qt::Key_F9), "aPrint");
    printAction->setIcon(themeIcon("document-print", QStyle::SP_FileIcon));
    // "&Добавить в расписание"
    reminderAction = make("&\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5",
                    "\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5",
                    QKeySequence(Qt::Key_F4), "aSchedul");
    // "&Настройка расписания"
    reminderSettingsAction = make("&\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF",
                            "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF",
                            QKeySequence(Qt::Key_F3), "aSchedulProperty");
    // "Не сообщать о нарушениях", "Не сообщать о нарушениях в рассылке"
    warningAction = make("\xCD\xE5 \xF1\xEE\xEE\xE1\xF9\xE0\xF2\xFC \xEE \xED\xE0\xF0\xF3\xF8\xE5\xED\xE8\xFF\xF5",
                    "\xCD\xE5 \xF1\xEE\xEE\xE1\xF9\xE0\xF2\xFC \xEE \xED\xE0\xF0\xF3\xF8\xE5\xED\xE8\xFF\xF5 "
                    "\xE2 \xF0\xE0\xF1\xF1\xFB\xEB\xEA\xE5",
                    QKeySequence(), "aWarning");
    warningAction->setCheckable(true);
    // "Сохранить в формат JTV", "Сохранить отображаемые каналы за текущую неделю в формате JTV"
    saveJtvAction = make("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xF4\xEE\xF0\xEC\xE0\xF2 JTV",
                       "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xEC\xFB\xE5 "
                       "\xEA\xE0\xED\xE0\xEB\xFB \xE7\xE0 \xF2\xE5\xEA\xF3\xF9\xF3\xFE \xED\xE5\xE4\xE5\xEB\xFE "
                       "\xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5 JTV",
                       QKeySequence(Qt::CTRL | Qt::Key_J), "aSaveForJTV");
    // "Сохранить в формат XMLTV", "Сохранить отображаемые каналы за текущую неделю в формате XMLTV"
    saveXmltvAction = make("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xF4\xEE\xF0\xEC\xE0\xF2 XMLTV",
                         "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xEC\xFB\xE5 "
                         "\xEA\xE0\xED\xE0\xEB\xFB \xE7\xE0 \xF2\xE5\xEA\xF3\xF9\xF3\xFE \xED\xE5\xE4\xE5\xEB\xFE "
                         "\xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5 XMLTV",
                         QKeySequence(), "aSaveForXMLTV");
    // "Просмотр телеканалов"
    channelsPageAction = make("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2",
                   "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2",
                   QKeySequence(Qt::Key_F11), "aTVGide");
    // "Текущие передачи", "Просмотр списка текущих телепередач"
    filmsPageAction = make("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8",
                         "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF1\xEF\xE8\xF1\xEA\xE0 \xF2\xE5\xEA\xF3\xF9\xE8\xF5 "
                         "\xF2\xE5\xEB\xE5\xEF\xE5\xF0\xE5\xE4\xE0\xF7",
                         QKeySequence(Qt::Key_F12), "aCurrentFilms");

    // The work of reminderAction and reminderSettingsAction is connected by the
    // reminders part.
    connect(printAction, &QAction::triggered, this, [this] { onPrint(); });
    connect(saveJtvAction, &QAction::triggered, this, [this] { onSaveJtv(); });
    connect(saveXmltvAction, &QAction::triggered, this, [this] { onSaveXmltv(); });
    connect(deleteOldAction, &QAction::triggered, this, [this] { onDeleteOld(); });
    connect(baseSettingsAction, &QAction::triggered, this, [this] {
        runGuarded(this, [this] {
            if (dialogs_->editMessageBase(viewer_->settings())) refreshListings();
        });
    });
    connect(messageSettingsAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { dialogs_->editMessageParams(viewer_->settings()); }); });
    connect(channelsAction, &QAction::triggered, this, [this] {
        runGuarded(this, [this] {
            // Save rewrites the list in Orbisk.ini and rebuilds the tabs.
            if (dialogs_->editChannels(viewer_->channels())) viewer_->channels().save();
        });
    });
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    connect(refreshAction, &QAction::triggered, this, [this] { runGuarded(this, [this] { refreshListings(); }); });
    connect(prevWeekAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { showDay(viewer_->shownDate() - 7); }); });
    connect(nextWeekAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { showDay(viewer_->shownDate() + 7); }); });
    connect(todayAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { showDay(dateOf(clock_->now())); }); });
    connect(nextChannelAction, &QAction::triggered, this, [this] { stepChannel(true); });
    connect(prevChannelAction, &QAction::triggered, this, [this] { stepChannel(false); });
    connect(warningAction, &QAction::triggered, this, &MainWindow::onWarningToggled);
    connect(channelsPageAction, &QAction::triggered, this, &MainWindow::showChannelsPage);
    connect(filmsPageAction, &QAction::triggered, this, &MainWindow::showFilmsPage);
}

void MainWindow::createMenus() {
    // "&Файл"
    QMenu* file = menuBar()->addMenu(toQString("&\xD4\xE0\xE9\xEB"));
    file->addAction(refreshAction);
    file->addSeparator();
    file->addAction(deleteOldAction);
    file->addSeparator();
    file->addAction(baseSettingsAction);
    file->addAction(messageSettingsAction);
    file->addAction(warningAction);
    file->addSeparator();
    file->addAction(printAction);
    file->addAction(saveJtvAction);
    file->addAction(saveXmltvAction);
    file->addSeparator();
    file->addAction(exitAction);
    // "&День"
    QMenu* day = menuBar()->addMenu(toQString("&\xC4\xE5\xED\xFC"));
    for (QAction* a : {mondayAction, tuesdayAction, wednesdayAction, thursdayAction, fridayAction, saturdayAction, sundayAction}) day->addAction(a);
    day->addSeparator();
    day->addAction(todayAction);
    day->addSeparator();
    day->addAction(prevWeekAction);
    day->addAction(nextWeekAction);
    // "&Каналы"
    QMenu* channels = menuBar()->addMenu(toQString("&\xCA\xE0\xED\xE0\xEB\xFB"));
    channels->addAction(channelsAction);
    channels->addSeparator();
    channels->addAction(channelsPageAction);
    channels->addAction(filmsPageAction);
    channels->addSeparator();
    channels->addAction(prevChannelAction);
    channels->addAction(nextChannelAction);
    // "&Расписание"
    QMenu* schedule = menuBar()->addMenu(toQString("&\xD0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5"));
    schedule->addAction(reminderSettingsAction);
    schedule->addAction(reminderAction);
}

void MainWindow::createControls() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(px(2), px(2), px(2), px(2));
    row->setSpacing(px(2));

    // Left column: week buttons around the week list, the clock at the bottom.
    auto* left = new QWidget(central);
    left->setObjectName(QStringLiteral("pLeft"));
    left->setFixedWidth(px(183));
    auto* col = new QVBoxLayout(left);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(px(1));
    auto flatButton = [left](QAction* a, const char* name) {
        auto* b = new QToolButton(left);
        b->setObjectName(QLatin1String(name));
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        return b;
    };
    prevWeekButton = flatButton(prevWeekAction, "btPrevWeek");
    weekTabs = new WeekTabBar(left);
    weekTabs->setObjectName(QStringLiteral("tcWeek"));
    weekTabs->setIcons(themeIcon("go-next", QStyle::SP_MediaPlay),
                     themeIcon("x-office-calendar", QStyle::SP_FileDialogContentsView));
    nextWeekButton = flatButton(nextWeekAction, "btNextWeek");
    todayButton = flatButton(todayAction, "btNow");
    clockLabel = new QLabel(left);
    clockLabel->setObjectName(QStringLiteral("lCurrentTime"));
    clockLabel->setAlignment(Qt::AlignCenter);
    clockLabel->setWordWrap(true);
    clockLabel->setToolTip(toQString("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xE4\xE0\xF2\xE0 \xE8 \xE2\xF0\xE5\xEC\xFF"));  // Текущие дата и время
    clockLabel->setFrameShape(QFrame::StyledPanel);
    col->addWidget(prevWeekButton);
    col->addWidget(weekTabs);
    col->addWidget(nextWeekButton);
    col->addWidget(todayButton);
    col->addStretch(1);
    col->addWidget(clockLabel);
    connect(weekTabs, &WeekTabBar::tabClicked, this, &MainWindow::onWeekTabClicked);

    // The page control.
    pages = new QTabWidget(central);
    pages->setObjectName(QStringLiteral("pcMainSwitch"));
    pages->setDocumentMode(true);

    channelsPage = new QWidget(pages);
    channelsPage->setObjectName(QStringLiteral("tsChannels"));
    auto* chCol = new QVBoxLayout(channelsPage);
    chCol->setContentsMargins(0, px(2), 0, 0);
    chCol->setSpacing(0);
    channelTabs = new QTabBar(channelsPage);
    channelTabs->setObjectName(QStringLiteral("tcPrg"));
    channelTabs->setExpanding(false);
    channelTabs->setUsesScrollButtons(true);
    channelTabs->setDrawBase(true);
    dayView = new QTextEdit(channelsPage);
    dayView->setObjectName(QStringLiteral("rePrg"));
    dayView->setReadOnly(true);
    dayView->setAcceptRichText(false);
    // A caret that the arrow keys move, in a text nobody edits.
    dayView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    dayView->setContextMenuPolicy(Qt::NoContextMenu);
    dayView->setLineWrapMode(QTextEdit::WidgetWidth);
    dayView->installEventFilter(this);
    dayView->viewport()->installEventFilter(this);

    auto* strip = new QWidget(channelsPage);
    strip->setObjectName(QStringLiteral("pProgress"));
    const int stripHeight = std::max(px(15), fontMetrics().height() + 2);
    strip->setFixedHeight(stripHeight);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->setSpacing(px(1));
    auto timePanel = [&](const char* name, const char* hint) {
        auto* l = new QLabel(strip);
        l->setObjectName(QLatin1String(name));
        l->setFixedWidth(std::max(px(49), fontMetrics().horizontalAdvance(QStringLiteral("00.00")) + px(8)));
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setToolTip(toQString(hint));
        return l;
    };
    startTimeLabel = timePanel("pStartTime",
                           // "Время начала текущей передачи"
                           "\xC2\xF0\xE5\xEC\xFF \xED\xE0\xF7\xE0\xEB\xE0 \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                           "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8");
    progressBar = new QProgressBar(strip);
    progressBar->setObjectName(QStringLiteral("pbProgress"));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    // "Состояние текущей передачи"
    progressBar->setToolTip(toQString("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5 \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                             "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"));
    stopTimeLabel = timePanel("pStopTime",
                          // "Время окончания текущей передачи"
                          "\xC2\xF0\xE5\xEC\xFF \xEE\xEA\xEE\xED\xF7\xE0\xED\xE8\xFF \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                          "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8");
    stripRow->addWidget(startTimeLabel);
    stripRow->addWidget(progressBar, 1);
    stripRow->addWidget(stopTimeLabel);
    chCol->addWidget(channelTabs);
    chCol->addWidget(dayView, 1);
    chCol->addWidget(strip);
    connect(channelTabs, &QTabBar::currentChanged, this, &MainWindow::onChannelTabChanged);

    filmsPage = new QWidget(pages);
    filmsPage->setObjectName(QStringLiteral("tsFilms"));
    auto* fCol = new QVBoxLayout(filmsPage);
    fCol->setContentsMargins(0, px(2), 0, 0);
    fCol->setSpacing(px(2));
    // "Отображать:"
    auto* group = new QGroupBox(toQString("\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xF2\xFC:"), filmsPage);
    group->setObjectName(QStringLiteral("gbShow"));
    auto* gRow = new QHBoxLayout(group);
    gRow->setContentsMargins(px(8), px(2), px(8), px(4));
    // "&1. Текущие передачи"
    currentFilmsCheck = new QCheckBox(toQString("&1. \xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"), group);
    currentFilmsCheck->setObjectName(QStringLiteral("cbCurrentFilms"));
    currentFilmsCheck->setChecked(true);
    // "&2. Идущие в:"
    auto* showAt = new QLabel(toQString("&2. \xC8\xE4\xF3\xF9\xE8\xE5 \xE2:"), group);
    showAt->setObjectName(QStringLiteral("lblShowAt"));
    showTimeEdit = new QTimeEdit(group);
    showTimeEdit->setObjectName(QStringLiteral("dtpShowTime"));
    showTimeEdit->installEventFilter(this);
    showAt->setBuddy(showTimeEdit);
    gRow->addWidget(currentFilmsCheck);
    gRow->addSpacing(px(16));
    gRow->addWidget(showAt);
    gRow->addWidget(showTimeEdit);
    gRow->addStretch(1);
    connect(showTimeEdit, &QTimeEdit::timeChanged, this, [this] { currentFilmsCheck->setChecked(false); });

    filmGrid = new QTableWidget(0, 4, filmsPage);
    filmGrid->setObjectName(QStringLiteral("sgFilms"));
    filmGrid->verticalHeader()->hide();
    filmGrid->verticalHeader()->setDefaultSectionSize(px(16));
    filmGrid->verticalHeader()->setMinimumSectionSize(1);
    filmGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    filmGrid->horizontalHeader()->setStretchLastSection(false);
    filmGrid->setShowGrid(true);
    filmGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    filmGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    filmGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Only the titles wrap, drawn by the delegate; the other cells clip.
    filmGrid->setWordWrap(false);
    filmGrid->installEventFilter(this);
    // "Канал", "Фильм", "Время", "Состояние"
    filmGrid->setHorizontalHeaderLabels({toQString("\xCA\xE0\xED\xE0\xEB"), toQString("\xD4\xE8\xEB\xFC\xEC"), toQString("\xC2\xF0\xE5\xEC\xFF"),
                                        toQString("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5")});
    filmGrid->setItemDelegate(new FilmGridDelegate(
        [this](const QString& cell) -> std::optional<double> {
            try {
                return Viewer::filmProgress(fromQString(cell), gridTime(), timeSeparator());
            } catch (const Error&) {
                return std::nullopt;
            }
        },
        filmGrid));
    for (int c = 0; c < 4; ++c) filmGrid->setColumnWidth(c, Config::kDefaultFilmGridColumns[static_cast<std::size_t>(c)]);
    connect(filmGrid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == FilmGridDelegate::kTitleColumn) adjustFilmRowHeights();
    });
    connect(filmGrid, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { onFilmGridDoubleClicked(r); });
    fCol->addWidget(group);
    fCol->addWidget(filmGrid, 1);

    // "Телеканалы", "Текущие передачи" and their hints
    pages->addTab(channelsPage, toQString("\xD2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xFB"));
    pages->setTabToolTip(0, toQString("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2 (F11)"));
    pages->addTab(filmsPage, toQString("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"));
    pages->setTabToolTip(1, toQString("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF1\xEF\xE8\xF1\xEA\xE0 \xF2\xE5\xEA\xF3\xF9\xE8\xF5 "
                                     "\xF2\xE5\xEB\xE5\xEF\xE5\xF0\xE5\xE4\xE0\xF7 (F12)"));
    connect(pages, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);

    row->addWidget(left);
    row->addWidget(pages, 1);
    setCentralWidget(central);

    clockTimer = new QTimer(this);
    clockTimer->setObjectName(QStringLiteral("Timer"));
    clockTimer->setInterval(1000);
    connect(clockTimer, &QTimer::timeout, this, &MainWindow::onClockTimer);
    filmTimer = new QTimer(this);
    filmTimer->setObjectName(QStringLiteral("Timer4Films"));
    filmTimer->setInterval(1000);
    connect(filmTimer, &QTimer::timeout, this, &MainWindow::onFilmTimer);
}

void MainWindow::formCreate() {
    setWindowTitle(toQString(kWindowTitle));
    resize(px(598), px(381));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    renderWeek();
    if (!viewer_->settings().fileExists()) {
        notifier_->show(kConfigMissingText, kWindowTitle, MsgIcon::Error);
        if (options_.quit) options_.quit(); else endProcessNow(0);
        return;
    }
    usable_ = true;
    if (options_.prompts) {
        prompts_ = options_.prompts;
    } else {
        if (options_.makePrompts) ownPrompts_ = options_.makePrompts(*this);
        if (!ownPrompts_) ownPrompts_ = std::make_unique<GuiConfigPrompts>(*dialogs_);
        prompts_ = ownPrompts_.get();
    }
    reminderAction->setEnabled(schedulerAvailable_);
    restorePlacement();
    runGuarded(this, [this] { refreshListings(); });
}

// ---- Refresh ------------------------------------------------------------------------

void MainWindow::refreshListings() {
    if (!usable_) return;
    clockTimer->stop();
    bool loaded = false;
    try {
        WaitCursor wait;
        textShown_ = false;
        PromptsWithCursor prompts(*prompts_);
        if (!viewer_->refreshListings(prompts, options_.startedWithArguments)) {
            if (options_.quit) options_.quit(); else endProcessNow(0);
            return;
        }
        loaded = true;
    } catch (...) {
        // Show what the refresh got to before it failed: the settings read,
        // the emptied index, a day whose parse broke off.
        try {
            applyActionsFromConfig();
            updateClock();
            renderWeek();
            renderDayBody();
        } catch (const Error&) {
        }
        throw;
    }
    if (!loaded) return;
    applyActionsFromConfig();
    applyFilmGridColumns();
    updateClock();
    renderWeek();
    renderDayBody(!options_.startedWithArguments);
    focusView();
    clockTimer->start();
}

void MainWindow::applyActionsFromConfig() {
    const Config& config = viewer_->settings();
    warningAction->setChecked(!config.enableWarning());
    const bool messageBase = config.messageActionsEnabled();
    deleteOldAction->setEnabled(messageBase);
    messageSettingsAction->setEnabled(messageBase);
    showTimeEdit->setDisplayFormat(QStringLiteral("HH") + QChar(QLatin1Char(timeSeparator())) + QStringLiteral("mm"));
}

void MainWindow::applyFilmGridColumns() {
    const auto& widths = viewer_->settings().filmGridColumns();
    for (int c = 0; c < 4; ++c) filmGrid->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

void MainWindow::setEnableWarning(bool value) {
    try {
        viewer_->settings().setEnableWarning(value);
    } catch (...) {
        warningAction->setChecked(!viewer_->settings().enableWarning());
        throw;
    }
    warningAction->setChecked(!value);
}

void MainWindow::onWarningToggled(bool checked) {
    // Ticked means "do not report": the warning switch is the opposite.
    runGuarded(this, [this, checked] { setEnableWarning(!checked); });
}

void MainWindow::updateClock() {
    const DateTime now = clock_->now();
    const FormatSettings& f = viewer_->settings().format();
    clockLabel->setText(toQString(formatShortDate(now, f) + " " + formatTime(now, f)));
}

// ---- Days ---------------------------------------------------------------------------

void MainWindow::showDay(DateTime date) {
    if (dateOf(date) == viewer_->shownDate()) return;
    {
        WaitCursor wait;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        try {
            viewer_->showDay(date);
        } catch (...) {
            try {
                renderWeek();
                renderDayBody();
            } catch (const Error&) {
            }
            throw;
        }
        renderWeek();
        renderDayBody();
    }
    focusView();
}

void MainWindow::renderWeek() {
    const auto& captions = viewer_->dayCaptions();
    for (int i = 0; i < 7; ++i) weekTabs->setTabText(i, toQString(captions[static_cast<std::size_t>(i)]));
    weekTabs->setCurrentIndex(viewer_->shownDayIndex());
    prevWeekAction->setEnabled(viewer_->prevWeekEnabled());
    nextWeekAction->setEnabled(viewer_->nextWeekEnabled());
}

void MainWindow::renderDayBody(bool pickRunning) {
    hookChannels();
    if (!viewer_->shownDayHasText()) {
        // The channel list and tabs of the previous day stay; only the text goes.
        dayView->clear();
        textShown_ = false;
        return;
    }
    // Channel 0 is current after a parse; when it is hidden the first shown
    // channel takes its place, so that the text matches the selected tab.
    textShown_ = false;
    ChannelList& channels = viewer_->channels();
    if (channels.current() && channels.current()->hide) {
        const auto visible = viewer_->visibleChannels();
        if (!visible.empty()) {
            // After a refresh the picked time is the running programme of
            // the channel actually shown, not of the hidden one.
            if (pickRunning)
                viewer_->selectChannel(visible.front());
            else
                channels.select(visible.front());
        }
    }
    rebuildChannelTabs();
    showChannelDay();
}

void MainWindow::hookChannels() {
    viewer_->channels().onSaved = [this] {
        rebuildChannelTabs();
        // The channel shown was just hidden: the text follows the selected tab.
        const Channel* current = viewer_->channels().current();
        if (current && current->hide && channelTabs->count() > 0) onChannelTabChanged(channelTabs->currentIndex());
    };
}

void MainWindow::dayAction(int day) {
    runGuarded(this, [this, day] {
        const DateTime shown = viewer_->shownDate();
        showDay(shown - (dayOfWeek(shown) + 5) % 7 + day);
        weekTabs->setCurrentIndex(day);
    });
}

void MainWindow::onWeekTabClicked(int index) { dayAction(index); }

// ---- Channels -----------------------------------------------------------------------

void MainWindow::rebuildChannelTabs() {
    const QSignalBlocker block(channelTabs);
    while (channelTabs->count() > 0) channelTabs->removeTab(channelTabs->count() - 1);
    const ChannelList& channels = viewer_->channels();
    for (int index : viewer_->visibleChannels()) {
        const int tab = channelTabs->addTab(toQString(channels.items(index).desc));
        channelTabs->setTabData(tab, index);
    }
    if (channelTabs->count() > 0) {
        const int tab = viewer_->currentTab();
        channelTabs->setCurrentIndex(tab >= 0 ? tab : 0);
    }
    // A bar filled while hidden does not tell the layout its new height.
    channelTabs->updateGeometry();
}

void MainWindow::onChannelTabChanged(int tab) {
    if (tab < 0) return;
    runGuarded(this, [this, tab] {
        // The picked time follows the channel to its running programme (a
        // failure there only leaves it); the day is then drawn with it.
        textShown_ = false;
        viewer_->selectChannel(channelTabs->tabData(tab).toInt());
        showChannelDay();
    });
}

void MainWindow::stepChannel(bool forward) {
    const int tab = forward ? viewer_->nextTab() : viewer_->prevTab();
    if (tab < 0) return;
    {
        const QSignalBlocker block(channelTabs);
        channelTabs->setCurrentIndex(tab);
    }
    onChannelTabChanged(tab);
}

// ---- The day view -----------------------------------------------------------------------

std::size_t MainWindow::timeLength() const { return viewer_->channels().timeLength(); }
char MainWindow::timeSeparator() const { return viewer_->settings().format().timeSeparator; }

bool MainWindow::textShowsCurrentChannel() const {
    const Channel* channel = viewer_->channels().current();
    return textShown_ && channel && dayText_.lineCount() == channel->entryCount();
}

void MainWindow::showChannelDay() {
    if (printing_) return;
    WaitCursor wait;
    const UpdatesOff frozen(dayView);
    const Channel* channel = viewer_->channels().current();
    dayText_ = buildDayText(channel ? channel->lines : std::vector<std::string>{}, timeLength());
    dayView->setCurrentCharFormat(QTextCharFormat());
    dayView->setPlainText(toQString(dayText_.text));
    QTextDocument* doc = dayView->document();
    {
        // Nothing of the previous text's formats may stay.
        QTextCursor all(doc);
        all.select(QTextCursor::Document);
        all.setCharFormat(QTextCharFormat());
        all.setBlockFormat(QTextBlockFormat());
    }
    textShown_ = channel != nullptr;

    const int current = viewer_->updateCurrentIndex();
    if (current >= 0) {
        QTextCursor line(doc->findBlockByNumber(current));
        QTextBlockFormat yellow;
        yellow.setBackground(Qt::yellow);
        line.mergeBlockFormat(yellow);
    }
    renderProgress();
    const int marked = viewer_->showTimeEntry();
    if (marked >= 0) styleLine(marked, true);

    if (!dayText_.text.empty()) {
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        for (const TextRange& r : dayText_.bold) mergeFormat(doc, r, bold);
        QTextCharFormat navy;
        navy.setForeground(kNavy);
        for (const TextRange& r : dayText_.navy) mergeFormat(doc, r, navy);
        QTextCursor caret(doc);
        caret.setPosition(current >= 0 ? dayText_.line(current).start : 0);
        dayView->setTextCursor(caret);
    }
    dayView->setUpdatesEnabled(true);
    dayView->ensureCursorVisible();
}

void MainWindow::renderProgress() {
    const auto strip = viewer_->progress();
    if (!strip) return;  // nothing runs: the strip keeps what it showed
    startTimeLabel->setText(toQString(strip->startText));
    stopTimeLabel->setText(toQString(strip->stopText));
    progressBar->setRange(strip->minimum, std::max(strip->minimum, strip->maximum));
    progressBar->setValue(std::clamp(strip->position, progressBar->minimum(), progressBar->maximum()));
}

void MainWindow::styleLine(int line, bool marked) {
    QTextCharFormat format;
    format.setFontUnderline(marked);
    if (!marked) format.setFontWeight(QFont::Normal);
    mergeFormat(dayView->document(), dayText_.line(line), format);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    mergeFormat(dayView->document(), dayText_.prefix(line, timeLength()), bold);
}

void MainWindow::markShowTime(DateTime t) {
    const MarkedEntries marked = viewer_->markShowTime(t);
    if (!textShowsCurrentChannel()) return;
    const UpdatesOff frozen(dayView);
    if (marked.oldEntry >= 0) styleLine(marked.oldEntry, false);
    if (marked.newEntry >= 0) styleLine(marked.newEntry, true);
}

std::optional<DateTime> MainWindow::timeAtCaret() const {
    const Channel* channel = viewer_->channels().current();
    if (!textShowsCurrentChannel() || !channel) return std::nullopt;
    return timeAtLine(channel->lines, dayView->textCursor().blockNumber(), timeLength(), timeSeparator());
}

void MainWindow::pickAtCaret() {
    runGuarded(this, [this] {
        if (const auto t = timeAtCaret()) markShowTime(*t);
    });
}

void MainWindow::focusView() {
    if (pages->currentWidget() == filmsPage)
        filmGrid->setFocus();
    else
        dayView->setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The window takes its keys before its controls: a key that is an
            // action's shortcut is not kept by the text view, picker or grid.
            auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            for (QAction* a : actions())
                if (a->isEnabled() && a->shortcut() == pressed) return true;
            break;
        }
        case QEvent::MouseButtonRelease:
            if (watched == dayView->viewport()) pickAtCaret();
            break;
        case QEvent::KeyRelease:
            if (watched == dayView) {
                auto* key = static_cast<QKeyEvent*>(event);
                if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && !key->isAutoRepeat()) pickAtCaret();
            }
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == dayView->viewport() && reminderAction->isEnabled()) {
                QTimer::singleShot(0, reminderAction, &QAction::trigger);
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Timers -------------------------------------------------------------------------------

void MainWindow::onClockTimer() {
    try {
        updateClock();
        // A day without text shows no channel: nothing runs in the view.
        if (!viewer_->shownDayHasText() || !textShown_) return;
        const int before = viewer_->currentIndex();
        const int now = viewer_->updateCurrentIndex();
        if (now == before) {
            if (const auto strip = viewer_->progress())
                progressBar->setValue(std::clamp(strip->position, progressBar->minimum(), progressBar->maximum()));
        } else {
            showChannelDay();
        }
    } catch (const Error& e) {
        clockTimer->stop();
        showErrorBox(this, e.what());
    }
}

void MainWindow::onFilmTimer() { runGuarded(this, [this] { refreshFilmGrid(); }); }

// ---- Pages and the grid -----------------------------------------------------------------------

void MainWindow::showChannelsPage() { pages->setCurrentWidget(channelsPage); }
void MainWindow::showFilmsPage() { pages->setCurrentWidget(filmsPage); }

void MainWindow::onPageChanged() {
    const bool films = pages->currentWidget() == filmsPage && viewer_->channels().count() > 0;
    if (films)
        filmTimer->start();
    else
        filmTimer->stop();
    focusView();
    reminderAction->setEnabled(schedulerAvailable_ && !filmTimer->isActive());
    if (filmTimer->isActive()) runGuarded(this, [this] { refreshFilmGrid(); });
}

DateTime MainWindow::gridTime() const {
    return currentFilmsCheck->isChecked() ? timeOf(clock_->now()) : toTime(showTimeEdit->time());
}

void MainWindow::refreshFilmGrid() {
    if (currentFilmsCheck->isChecked()) {
        const QSignalBlocker block(showTimeEdit);
        showTimeEdit->setTime(toQTime(timeOf(clock_->now())));
    }
    const DateTime t = gridTime();
    if (!viewer_->filmGridStale(t)) return;
    const std::vector<FilmRow> rows = viewer_->filmRows(t);
    filmGrid->setRowCount(static_cast<int>(rows.size()));
    auto cell = [this](int r, int c, const std::string& text) {
        QTableWidgetItem* item = filmGrid->item(r, c);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            filmGrid->setItem(r, c, item);
        }
        item->setText(toQString(text));
    };
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const FilmRow& row = rows[static_cast<std::size_t>(r)];
        cell(r, 0, row.desc);
        // A channel with nothing running shows only its name, not what an
        // earlier build left in its row.
        cell(r, 1, row.title);
        cell(r, 2, row.time);
        cell(r, 3, std::string());
    }
    adjustFilmRowHeights();
    filmGrid->viewport()->update();
}

void MainWindow::adjustFilmRowHeights() {
    const QFontMetrics fm(filmGrid->font());
    const int width = filmGrid->columnWidth(FilmGridDelegate::kTitleColumn) - 4;
    for (int r = 0; r < filmGrid->rowCount(); ++r) {
        const QTableWidgetItem* item = filmGrid->item(r, FilmGridDelegate::kTitleColumn);
        const int h = FilmGridDelegate::titleRowHeight(fm, item ? item->text() : QString(), width);
        if (filmGrid->rowHeight(r) != h) filmGrid->setRowHeight(r, h);
    }
}

void MainWindow::onFilmGridDoubleClicked(int row) {
    try {
        const QTableWidgetItem* item = filmGrid->item(row, 0);
        if (!item) return;
        int tab = -1;
        const int index = viewer_->channels().findVisible(fromQString(item->text()), tab);
        if (index < 0) return;
        viewer_->channels().select(index);
        textShown_ = false;
        {
            const QSignalBlocker block(channelTabs);
            channelTabs->setCurrentIndex(tab);
        }
        markShowTime(gridTime());
        showChannelDay();
        updateClock();
        renderProgress();
        showChannelsPage();
    } catch (const Error&) {
    }
}

// ---- Reminder hand-over ------------------------------------------------------------------------

int MainWindow::showReminder(const ReminderRecord& record) {
    return showReminder(record.reminderTime(), record.reminderChannel());
}

int MainWindow::showReminder(const std::string& time, const std::string& channel) {
    if (!usable_) return 0;
    int tab = -1;
    const int index = viewer_->channels().findVisible(channel, tab);
    if (index < 0) return 0;
    viewer_->channels().select(index);
    textShown_ = false;
    {
        const QSignalBlocker block(channelTabs);
        channelTabs->setCurrentIndex(tab);
    }
    DateTime t = 0;
    if (tryStrToTime(time, timeSeparator(), t)) {
        try {
            viewer_->markShowTime(t);
        } catch (const Error&) {
        }
    }
    // The channel is shown on its page even when the grid was in front.
    showChannelsPage();
    runGuarded(this, [this] { showChannelDay(); });
    return 1;
}

// ---- Closing and placement ------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (usable_) {
        runGuarded(this, [this] {
            std::array<int, 4> widths{};
            for (int c = 0; c < 4; ++c) widths[static_cast<std::size_t>(c)] = filmGrid->columnWidth(c);
            viewer_->settings().setFilmGridColumns(widths);
        });
        runGuarded(this, [this] { savePlacement(); });
    }
    clockTimer->stop();
    filmTimer->stop();
    QMainWindow::closeEvent(event);
}

void MainWindow::savePlacement() {
    IniFile& ini = viewer_->settings().ini();
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    int show = kShowNormal;
    if (isMinimized()) show = kShowMinimized;
    else if (isMaximized()) show = kShowMaximized;
    ini.writeInteger(kMainSection, "Flags", 0);
    ini.writeInteger(kMainSection, "ShowCmd", show);
    ini.writeInteger(kMainSection, "PixelsPerInch", logicalDpiY());
    ini.writeString(kMainSection, "MinMaxPos", writeFour(-1, -1, -1, -1));
    ini.writeString(kMainSection, "NormPos", writeFour(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
}

void MainWindow::restorePlacement() {
    const IniFile& ini = viewer_->settings().ini();
    std::array<int, 4> pos{};
    if (!readFour(ini.readString(kMainSection, "NormPos", ""), pos)) return;
    int w = pos[2] - pos[0];
    int h = pos[3] - pos[1];
    if (w <= 0 || h <= 0) return;
    // Saved at another resolution: the size follows the screen's.
    const int ppi = ini.readInteger(kMainSection, "PixelsPerInch", 0);
    if (ppi > 0 && ppi != logicalDpiY()) {
        w = w * logicalDpiY() / ppi;
        h = h * logicalDpiY() / ppi;
    }
    const QRect wanted(pos[0], pos[1], w, h);
    // A place on no screen any more (a monitor gone) keeps the centred one.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(wanted);
    if (!onScreen) {
        resize(w, h);
        return;
    }
    setGeometry(wanted);
}

}  // namespace orbisk
