#include "gui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
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
#include <utility>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/timetext.h"
#include "base/version.h"
#include "config/config.h"
#include "gui/backgroundload.h"
#include "gui/dialogfocus.h"
#include "gui/dialogs/settingsdialogs.h"
#include "gui/filmgridcolumns.h"
#include "gui/favouritemarks.h"
#include "gui/filmgriddelegate.h"
#include "gui/qtext.h"
#include "gui/guideactions.h"
#include "gui/reminderactions.h"
#include "gui/searchactions.h"
#include "gui/tabrefill.h"
#include "gui/weektabbar.h"
#include "viewer/reminderrecord.h"

namespace orbisk {

using namespace Qt::StringLiterals;

namespace {

const QColor kNavy(0, 0, 128);
const QColor kLightBlue(140, 190, 255);

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

DateTime toTime(const QTime& t) {
    return encodeTime(t.hour(), t.minute(), t.second(), 0);
}

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

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent) : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("mainWindow"));
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
    if (options_.iniPath.empty()) options_.iniPath = defaultConfigPath();
    schedulerAvailable_ = options_.schedulerAvailable;
    viewer_ = std::make_unique<Viewer>(options_.iniPath, *notifier_, *clock_);
    dialogs_ = std::make_unique<SettingsDialogs>(this);
    if (options_.messages) dialogs_->setNotifier(options_.messages);

    createActions();
    createControls();
    createMenus();
    new ReminderActions(*this);  // reminderAction, reminderSettingsAction
    guides_ = new GuideActions(*this);  // downloads, the guide's channel list
    returnFocusAfterDialogs(this, [this] { focusView(); });
    new SearchActions(*this);    // search, favourites, the list of reminders
    loadAtStart();
}

MainWindow::~MainWindow() {
    if (clockTimer) clockTimer->stop();
    if (filmTimer) filmTimer->stop();
}

QSize MainWindow::firstStartSize(const QRect& available) const {
    // Most of the screen, with room for the window's frame and title bar:
    // on 1280x800 a day of some 35 programmes shows without scrolling and
    // the channel tabs fit. A larger screen gets what a day of 45 lines
    // needs at the font's size, not all of it.
    const int lines = fontMetrics().lineSpacing();
    const int frame = 2 * lines + px(8);
    return {std::min(available.width() - px(16), px(1240)), std::min(available.height() - frame, 52 * lines)};
}

int MainWindow::px(int pixelsAt96) const {
    return pixelsAt96 * logicalDpiX() / 96;
}

void MainWindow::createActions() {
    // An empty hint leaves the status and tool tips empty.
    auto make = [this](const QString& caption, const QString& hint, const QKeySequence& key, const char* name) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        if (!hint.isEmpty()) {
            a->setStatusTip(hint);
            a->setToolTip(hint);
        }
        if (!key.isEmpty()) a->setShortcut(key);
        addAction(a);  // shortcuts work without the menus too
        return a;
    };
    baseSettingsAction = make(u"&Эхообласть"_s, u"Настройка пути и типа эхообласти"_s,
                              QKeySequence(Qt::CTRL | Qt::Key_E), "baseSettingsAction");
    messageSettingsAction = make(u"&Сообщение"_s, u"Настройка параметров сообщения"_s,
                                 QKeySequence(Qt::CTRL | Qt::Key_M), "messageSettingsAction");
    exitAction = make(u"В&ыход"_s, u"Выход из программы"_s, QKeySequence(Qt::CTRL | Qt::Key_X), "exitAction");
    exitAction->setIcon(themeIcon("application-exit", QStyle::SP_DialogCloseButton));
    refreshAction = make(u"&Обновить"_s, u"Перечитать базу сообщений"_s, QKeySequence(Qt::Key_F5), "refreshAction");
    refreshAction->setIcon(themeIcon("view-refresh", QStyle::SP_BrowserReload));
    prevWeekAction =
        make(u"&Предыдущая неделя"_s, u"Предыдущая неделя"_s, QKeySequence(Qt::CTRL | Qt::Key_P), "prevWeekAction");
    prevWeekAction->setIcon(themeIcon("go-up", QStyle::SP_ArrowUp));
    // The ampersand shows in this hint too.
    nextWeekAction =
        make(u"&Следующая неделя"_s, u"&Следующая неделя"_s, QKeySequence(Qt::CTRL | Qt::Key_N), "nextWeekAction");
    nextWeekAction->setIcon(themeIcon("go-down", QStyle::SP_ArrowDown));
    todayAction = make(u"&Сегодня"_s, u"Сегодня"_s, QKeySequence(Qt::CTRL | Qt::Key_0), "todayAction");
    todayAction->setIcon(themeIcon("go-jump-today", QStyle::SP_DialogApplyButton));

    // The hints are the captions without "&".
    const QString dayCaptions[7] = {u"&Понедельник"_s, u"&Вторник"_s, u"&Среда"_s,      u"&Четверг"_s,
                                    u"&Пятница"_s,     u"&Суббота"_s, u"&Воскресенье"_s};
    static const char* const kDayActionNames[7] = {"mondayAction",   "tuesdayAction", "wednesdayAction",
                                                   "thursdayAction", "fridayAction",  "saturdayAction",
                                                   "sundayAction"};
    QAction** days[7] = {&mondayAction, &tuesdayAction,  &wednesdayAction, &thursdayAction,
                         &fridayAction, &saturdayAction, &sundayAction};
    for (int d = 0; d < 7; ++d) {
        const QString& caption = dayCaptions[d];
        *days[d] = make(caption, caption.mid(1), QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + d)),
                        kDayActionNames[d]);
        (*days[d])->setData(d);  // 0 = Monday
        connect(*days[d], &QAction::triggered, this, [this, d] { dayAction(d); });
    }

    channelsAction =
        make(u"Настройка каналов"_s, u"Настройка каналов"_s, QKeySequence(Qt::CTRL | Qt::Key_O), "channelsAction");
    nextChannelAction =
        make(u"Следующий канал"_s, u"Следующий канал"_s, QKeySequence(Qt::CTRL | Qt::Key_Right), "nextChannelAction");
    nextChannelAction->setIcon(themeIcon("go-next", QStyle::SP_ArrowRight));
    prevChannelAction =
        make(u"Предыдущий канал"_s, QString(), QKeySequence(Qt::CTRL | Qt::Key_Left), "prevChannelAction");
    prevChannelAction->setIcon(themeIcon("go-previous", QStyle::SP_ArrowLeft));
    // Kept for its shortcut; it does nothing.
    fontAction = make(u"&Шрифт"_s, u"Шрифт"_s, QKeySequence(Qt::CTRL | Qt::Key_F), "fontAction");
    deleteOldAction =
        make(u"&Удалить старые"_s, u"Удалить старые"_s, QKeySequence(Qt::CTRL | Qt::Key_Delete), "deleteOldAction");
    printAction = make(u"&Печать"_s, u"Печать телепрограммы"_s, QKeySequence(Qt::Key_F9), "printAction");
    printAction->setIcon(themeIcon("document-print", QStyle::SP_FileIcon));
    reminderAction =
        make(u"&Добавить в расписание"_s, u"Добавить в расписание"_s, QKeySequence(Qt::Key_F4), "reminderAction");
    reminderSettingsAction =
        make(u"&Настройка расписания"_s, u"Настройка расписания"_s, QKeySequence(Qt::Key_F3), "reminderSettingsAction");
    warningAction =
        make(u"Не сообщать о нарушениях"_s, u"Не сообщать о нарушениях в рассылке"_s, QKeySequence(), "warningAction");
    warningAction->setCheckable(true);
    saveJtvAction =
        make(u"Сохранить в формат JTV"_s, u"Сохранить отображаемые каналы за текущую неделю в формате JTV"_s,
             QKeySequence(Qt::CTRL | Qt::Key_J), "saveJtvAction");
    saveXmltvAction =
        make(u"Сохранить в формат XMLTV"_s, u"Сохранить отображаемые каналы за текущую неделю в формате XMLTV"_s,
             QKeySequence(), "saveXmltvAction");
    channelsPageAction =
        make(u"Просмотр телеканалов"_s, u"Просмотр телеканалов"_s, QKeySequence(Qt::Key_F11), "channelsPageAction");
    filmsPageAction = make(u"Текущие передачи"_s, u"Просмотр списка текущих телепередач"_s, QKeySequence(Qt::Key_F12),
                           "filmsPageAction");

    aboutAction = make(u"&О программе"_s, u"О программе"_s, QKeySequence(), "aboutAction");
    connect(aboutAction, &QAction::triggered, this, &MainWindow::onAbout);

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
            // save() rewrites the list in Orbisk.ini and rebuilds the tabs.
            if (dialogs_->editChannels(viewer_->channels())) viewer_->channels().save();
        });
    });
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    connect(refreshAction, &QAction::triggered, this, [this] { runGuarded(this, [this] { refreshListings(); }); });
    connect(prevWeekAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { goToDay([this] { return viewer_->prevWeek(); }); }); });
    connect(nextWeekAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { goToDay([this] { return viewer_->nextWeek(); }); }); });
    connect(todayAction, &QAction::triggered, this,
            [this] { runGuarded(this, [this] { goToDay([this] { return viewer_->showToday(); }); }); });
    connect(nextChannelAction, &QAction::triggered, this, [this] { stepChannel(true); });
    connect(prevChannelAction, &QAction::triggered, this, [this] { stepChannel(false); });
    connect(warningAction, &QAction::triggered, this, &MainWindow::onWarningToggled);
    connect(channelsPageAction, &QAction::triggered, this, &MainWindow::showChannelsPage);
    connect(filmsPageAction, &QAction::triggered, this, &MainWindow::showFilmsPage);
}

void MainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(u"&Файл"_s);
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
    QMenu* day = menuBar()->addMenu(u"&День"_s);
    for (QAction* a :
         {mondayAction, tuesdayAction, wednesdayAction, thursdayAction, fridayAction, saturdayAction, sundayAction})
        day->addAction(a);
    day->addSeparator();
    day->addAction(todayAction);
    day->addSeparator();
    day->addAction(prevWeekAction);
    day->addAction(nextWeekAction);
    QMenu* channels = menuBar()->addMenu(u"&Каналы"_s);
    channels->addAction(channelsAction);
    channels->addSeparator();
    channels->addAction(channelsPageAction);
    channels->addAction(filmsPageAction);
    channels->addSeparator();
    channels->addAction(prevChannelAction);
    channels->addAction(nextChannelAction);
    QMenu* schedule = menuBar()->addMenu(u"&Расписание"_s);
    schedule->addAction(reminderSettingsAction);
    schedule->addAction(reminderAction);
    QMenu* help = menuBar()->addMenu(u"&Справка"_s);
    help->addAction(aboutAction);
}

void MainWindow::onAbout() {
    notifier_->show(std::string(kAppTitle) + " " + kVersion + "\n" + "Настройки: "_cp1251 +
                        fileNameToAnsi(viewer_->settings().ini().fileName()),
                    "О программе"_cp1251, MsgIcon::Information);
}

void MainWindow::createControls() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(px(2), px(2), px(2), px(2));
    row->setSpacing(px(2));

    // Left column: week buttons around the week list, the clock at the bottom.
    auto* left = new QWidget(central);
    left->setObjectName(QStringLiteral("weekColumn"));
    // As wide as its widest part needs (the week list's captions, the
    // buttons) in the font in use; the clock wraps into what is left.
    left->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
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
    prevWeekButton = flatButton(prevWeekAction, "prevWeekButton");
    weekTabs = new WeekTabBar(left);
    weekTabs->setObjectName(QStringLiteral("weekTabs"));
    weekTabs->setIcons(themeIcon("go-next", QStyle::SP_MediaPlay),
                       themeIcon("x-office-calendar", QStyle::SP_FileDialogContentsView));
    nextWeekButton = flatButton(nextWeekAction, "nextWeekButton");
    todayButton = flatButton(todayAction, "todayButton");
    clockLabel = new QLabel(left);
    clockLabel->setObjectName(QStringLiteral("clockLabel"));
    clockLabel->setAlignment(Qt::AlignCenter);
    clockLabel->setWordWrap(true);
    clockLabel->setToolTip(u"Текущие дата и время"_s);
    clockLabel->setFrameShape(QFrame::StyledPanel);
    clockLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    col->addWidget(prevWeekButton);
    col->addWidget(weekTabs);
    col->addWidget(nextWeekButton);
    col->addWidget(todayButton);
    col->addStretch(1);
    col->addWidget(clockLabel);
    connect(weekTabs, &WeekTabBar::tabClicked, this, &MainWindow::onWeekTabClicked);

    // The two pages: one channel's day, and what runs on every channel.
    pages = new QTabWidget(central);
    pages->setObjectName(QStringLiteral("pages"));
    pages->setDocumentMode(true);

    channelsPage = new QWidget(pages);
    channelsPage->setObjectName(QStringLiteral("channelsPage"));
    auto* chCol = new QVBoxLayout(channelsPage);
    chCol->setContentsMargins(0, px(2), 0, 0);
    chCol->setSpacing(0);
    channelTabs = new QTabBar(channelsPage);
    channelTabs->setObjectName(QStringLiteral("channelTabs"));
    channelTabs->setExpanding(false);
    channelTabs->setUsesScrollButtons(true);
    channelTabs->setDrawBase(true);
    dayView = new QTextEdit(channelsPage);
    dayView->setObjectName(QStringLiteral("dayView"));
    dayView->setReadOnly(true);
    dayView->setAcceptRichText(false);
    // A caret that the arrow keys move, in a text nobody edits.
    dayView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    dayView->setContextMenuPolicy(Qt::NoContextMenu);
    dayView->setLineWrapMode(QTextEdit::WidgetWidth);
    dayView->installEventFilter(this);
    dayView->viewport()->installEventFilter(this);

    auto* strip = new QWidget(channelsPage);
    strip->setObjectName(QStringLiteral("progressStrip"));
    const int stripHeight = std::max(px(15), fontMetrics().height() + 2);
    strip->setFixedHeight(stripHeight);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->setSpacing(px(1));
    auto timePanel = [&](const char* name, const QString& hint) {
        auto* l = new QLabel(strip);
        l->setObjectName(QLatin1String(name));
        l->setFixedWidth(std::max(px(49), fontMetrics().horizontalAdvance(QStringLiteral("00.00")) + px(8)));
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setToolTip(hint);
        return l;
    };
    startTimeLabel = timePanel("startTimeLabel", u"Время начала текущей передачи"_s);
    progressBar = new QProgressBar(strip);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setToolTip(u"Состояние текущей передачи"_s);
    stopTimeLabel = timePanel("stopTimeLabel", u"Время окончания текущей передачи"_s);
    stripRow->addWidget(startTimeLabel);
    stripRow->addWidget(progressBar, 1);
    stripRow->addWidget(stopTimeLabel);
    chCol->addWidget(channelTabs);
    chCol->addWidget(dayView, 1);
    chCol->addWidget(strip);
    connect(channelTabs, &QTabBar::currentChanged, this, &MainWindow::onChannelTabChanged);

    filmsPage = new QWidget(pages);
    filmsPage->setObjectName(QStringLiteral("filmsPage"));
    auto* fCol = new QVBoxLayout(filmsPage);
    fCol->setContentsMargins(0, px(2), 0, 0);
    fCol->setSpacing(px(2));
    auto* group = new QGroupBox(u"Отображать:"_s, filmsPage);
    group->setObjectName(QStringLiteral("filmTimeGroup"));
    auto* gRow = new QHBoxLayout(group);
    gRow->setContentsMargins(px(8), px(2), px(8), px(4));
    currentFilmsCheck = new QCheckBox(u"&1. Текущие передачи"_s, group);
    currentFilmsCheck->setObjectName(QStringLiteral("currentFilmsCheck"));
    currentFilmsCheck->setChecked(true);
    auto* showAt = new QLabel(u"&2. Идущие в:"_s, group);
    showAt->setObjectName(QStringLiteral("showTimeLabel"));
    showTimeEdit = new QTimeEdit(group);
    showTimeEdit->setObjectName(QStringLiteral("showTimeEdit"));
    showTimeEdit->installEventFilter(this);
    showAt->setBuddy(showTimeEdit);
    gRow->addWidget(currentFilmsCheck);
    gRow->addSpacing(px(16));
    gRow->addWidget(showAt);
    gRow->addWidget(showTimeEdit);
    gRow->addStretch(1);
    connect(showTimeEdit, &QTimeEdit::timeChanged, this, [this] { currentFilmsCheck->setChecked(false); });

    filmGrid = new QTableWidget(0, 4, filmsPage);
    filmGrid->setObjectName(QStringLiteral("filmGrid"));
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
    filmGrid->setHorizontalHeaderLabels({u"Канал"_s, u"Фильм"_s, u"Время"_s, u"Состояние"_s});
    filmGrid->setItemDelegate(new FilmGridDelegate(
        [this](const QString& cell) -> std::optional<double> {
            try {
                return Viewer::filmProgress(fromQString(cell), gridTime(), viewer_->timeSeparator());
            } catch (const Error&) {
                return std::nullopt;
            }
        },
        filmGrid));
    filmColumns_ = new FilmGridColumns(filmGrid);
    filmColumns_->setStored(Config::kDefaultFilmGridColumns);
    connect(filmGrid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == FilmGridDelegate::kTitleColumn) adjustFilmRowHeights();
    });
    connect(filmGrid, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { onFilmGridDoubleClicked(r); });
    fCol->addWidget(group);
    fCol->addWidget(filmGrid, 1);

    pages->addTab(channelsPage, u"Телеканалы"_s);
    pages->setTabToolTip(0, u"Просмотр телеканалов (F11)"_s);
    pages->addTab(filmsPage, u"Текущие передачи"_s);
    pages->setTabToolTip(1, u"Просмотр списка текущих телепередач (F12)"_s);
    connect(pages, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);

    row->addWidget(left);
    row->addWidget(pages, 1);
    setCentralWidget(central);

    clockTimer = new QTimer(this);
    clockTimer->setObjectName(QStringLiteral("clockTimer"));
    clockTimer->setInterval(1000);
    connect(clockTimer, &QTimer::timeout, this, &MainWindow::onClockTimer);
    filmTimer = new QTimer(this);
    filmTimer->setObjectName(QStringLiteral("filmTimer"));
    filmTimer->setInterval(1000);
    connect(filmTimer, &QTimer::timeout, this, &MainWindow::onFilmTimer);
}

void MainWindow::loadAtStart() {
    setWindowTitle(toQString(kAppTitle));
    // A stored placement replaces the first start's below.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(firstStartSize(screen->availableGeometry()));
        move(screen->availableGeometry().center() - rect().center());
    }
    renderWeek();
    if (!viewer_->settings().fileExists()) {
        notifier_->show(kConfigMissingText, kAppTitle, MsgIcon::Error);
        if (options_.quit)
            options_.quit();
        else
            endProcessNow(0);
        return;
    }
    usable_ = true;
    if (options_.prompts) {
        prompts_ = options_.prompts;
    } else {
        ownPrompts_ = std::make_unique<GuiConfigPrompts>(*dialogs_);
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
        const std::unique_ptr<ListingLoad> load = viewer_->beginRefresh(prompts);
        if (!load) {
            if (options_.quit)
                options_.quit();
            else
                endProcessNow(0);
            return;
        }
        if (load->readsGuide()) {
            load->run();
        } else {
            loading_ = true;
            runLoadInBackground(this, *load);
            loading_ = false;
        }
        viewer_->finishRefresh(*load, options_.startedWithArguments);
        loaded = true;
    } catch (...) {
        loading_ = false;
        reminderAfterLoad_.reset();  // no index to show it in
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
    weekTabs->setWidthSamples(toQStrings(viewer_->possibleDayCaptions()));
    updateClock();
    renderWeek();
    renderDayBody(!options_.startedWithArguments);
    focusView();
    clockTimer->start();
    if (guides_) guides_->afterRefresh();
    if (reminderAfterLoad_) {
        const auto [time, channel] = *std::exchange(reminderAfterLoad_, std::nullopt);
        showReminder(time, channel);
    }
}

void MainWindow::applyActionsFromConfig() {
    const Config& config = viewer_->settings();
    warningAction->setChecked(!config.enableWarning());
    const bool messageBase = config.messageActionsEnabled();
    // Deletion decides from a fresh read, but only after a load succeeded:
    // the user chose what to delete from what the window shows.
    deleteOldAction->setEnabled(messageBase && viewer_->listingsLoaded());
    messageSettingsAction->setEnabled(messageBase);
    showTimeEdit->setDisplayFormat(QStringLiteral("HH") + QChar(QLatin1Char(viewer_->timeSeparator())) +
                                   QStringLiteral("mm"));
}

void MainWindow::applyFilmGridColumns() {
    const Config& config = viewer_->settings();
    if (config.filmGridColumnsStored()) return filmColumns_->setStored(config.filmGridColumns());
    QStringList names;
    for (int index : viewer_->visibleChannels()) names << toQString(viewer_->channels().items(index).desc);
    const QString separator(QChar(QLatin1Char(viewer_->timeSeparator())));
    filmColumns_->fitTo(names, u"00"_s + separator + u"00-00"_s + separator + u"00"_s);
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
    goToDay([this, date] { return viewer_->showDay(date); });
}

void MainWindow::goToDay(const std::function<bool()>& step) {
    {
        WaitCursor wait;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        bool moved = false;
        try {
            moved = step();
        } catch (...) {
            // Show what the step got to: the captions, a day whose parse broke off.
            try {
                renderWeek();
                renderDayBody();
            } catch (const Error&) {
            }
            throw;
        }
        if (!moved) return;
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
    textShown_ = false;
    viewer_->skipHiddenChannel(pickRunning);
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
        goToDay([this, day] { return viewer_->showWeekDay(day); });
        weekTabs->setCurrentIndex(day);
    });
}

void MainWindow::onWeekTabClicked(int index) {
    dayAction(index);
}

// ---- Channels -----------------------------------------------------------------------

void MainWindow::rebuildChannelTabs() {
    const QSignalBlocker block(channelTabs);
    const ChannelList& channels = viewer_->channels();
    const std::vector<int> visible = viewer_->visibleChannels();
    QStringList names;
    for (int index : visible) names << toQString(channels.items(index).desc);
    setTabTexts(channelTabs, names);
    for (int tab = 0; tab < channelTabs->count(); ++tab)
        channelTabs->setTabData(tab, visible[static_cast<std::size_t>(tab)]);
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

std::size_t MainWindow::timeLength() const {
    return viewer_->channels().timeLength();
}

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
        // Quoted titles: navy on a light page, light blue on a dark one; the
        // running line keeps its yellow, so its text is always dark on it.
        const bool darkPage = dayView->palette().color(QPalette::Base).lightness() < 128;
        QTextCharFormat navy;
        navy.setForeground(darkPage ? kLightBlue : kNavy);
        for (const TextRange& r : dayText_.navy) mergeFormat(doc, r, navy);
        if (current >= 0) {
            const QTextBlock block = doc->findBlockByNumber(current);
            QTextCharFormat dark;
            dark.setForeground(QColor(Qt::black));
            mergeFormat(doc, TextRange{block.position(), block.length() - 1}, dark);
            navy.setForeground(kNavy);
            for (const TextRange& r : dayText_.navy)
                if (r.start >= block.position() && r.start < block.position() + block.length())
                    mergeFormat(doc, r, navy);
        }
        markFavouriteLines(doc, dayText_, viewer_->favouriteEntries(), timeLength(), current, darkPage);
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
    return timeAtLine(channel->lines, dayView->textCursor().blockNumber(), timeLength(), viewer_->timeSeparator());
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
        case QEvent::KeyPress:
            // Enter on a row opens it, as a double click does.
            if (watched == filmGrid) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if ((key == Qt::Key_Return || key == Qt::Key_Enter) && filmGrid->currentRow() >= 0) {
                    onFilmGridDoubleClicked(filmGrid->currentRow());
                    return true;
                }
            }
            break;
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

void MainWindow::onFilmTimer() {
    runGuarded(this, [this] { refreshFilmGrid(); });
}

// ---- Pages and the grid -----------------------------------------------------------------------

void MainWindow::showChannelsPage() {
    pages->setCurrentWidget(channelsPage);
}
void MainWindow::showFilmsPage() {
    pages->setCurrentWidget(filmsPage);
}

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
        markFavouriteRow(filmGrid, r, row.favourite);
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
    const QTableWidgetItem* item = filmGrid->item(row, 0);
    if (!item) return;
    bool opened = false;
    try {
        opened = viewer_->openChannel(fromQString(item->text()), gridTime());
    } catch (const Error&) {
        // Selected, but the picked time stayed: the tabs follow, nothing more.
        followCurrentChannel();
        return;
    }
    if (!opened) return;
    followCurrentChannel();
    try {
        showChannelDay();
        updateClock();
        renderProgress();
        showChannelsPage();
    } catch (const Error&) {
    }
}

void MainWindow::followCurrentChannel() {
    textShown_ = false;
    const QSignalBlocker block(channelTabs);
    channelTabs->setCurrentIndex(viewer_->currentTab());
}

// ---- Reminder hand-over ------------------------------------------------------------------------

int MainWindow::showReminder(const ReminderRecord& record) {
    return showReminder(record.reminderTime(), record.reminderChannel());
}

int MainWindow::showReminder(const std::string& time, const std::string& channel) {
    if (!usable_) return 0;
    if (loading_) {
        reminderAfterLoad_.emplace(time, channel);
        return 1;
    }
    try {
        if (!viewer_->openChannel(channel, time)) return 0;
    } catch (const Error&) {
        // The channel is selected; a start it cannot place keeps the picked time.
    }
    followCurrentChannel();
    // The channel is shown on its page even when the grid was in front.
    showChannelsPage();
    runGuarded(this, [this] { showChannelDay(); });
    return 1;
}

// ---- Closing and placement ------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (usable_) {
        runGuarded(this, [this] {
            // Widths nobody chose stay unstored: the next start fits them again.
            if (filmColumns_->fitting()) return;
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
    if (isMinimized())
        show = kShowMinimized;
    else if (isMaximized())
        show = kShowMaximized;
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
    if (onScreen)
        setGeometry(wanted);
    else
        resize(w, h);
    // Maximised stays maximised; the normal place is kept for un-maximising.
    if (ini.readInteger(kMainSection, "ShowCmd", kShowNormal) == kShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

}  // namespace orbisk
