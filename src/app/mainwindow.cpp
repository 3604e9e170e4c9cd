#include "app/mainwindow.h"

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

#include "app/config/config.h"
#include "app/filmgrid.h"
#include "app/qtext.h"
#include "app/reminders.h"
#include "app/viewer/reminderrecord.h"
#include "app/weektabs.h"
#include "base/error.h"
#include "base/timetext.h"
#include "dialogs/settingsdialogs.h"

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
    bool EditMessageBase(Config& config) override {
        return WithNormalCursor([&] { return inner_.EditMessageBase(config); });
    }
    bool EditMessageParams(Config& config) override {
        return WithNormalCursor([&] { return inner_.EditMessageParams(config); });
    }

private:
    template <typename F>
    static bool WithNormalCursor(F&& f) {
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

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

TDateTime ToTime(const QTime& t) { return EncodeTime(t.hour(), t.minute(), t.second(), 0); }

QTime ToQTime(TDateTime t) {
    int h = 0, m = 0, s = 0, ms = 0;
    DecodeTime(t, h, m, s, ms);
    return QTime(h, m, s);
}

void MergeFormat(QTextDocument* doc, TextRange r, const QTextCharFormat& f) {
    if (r.Length <= 0) return;
    QTextCursor c(doc);
    c.setPosition(r.Start);
    c.setPosition(r.Start + r.Length, QTextCursor::KeepAnchor);
    c.mergeCharFormat(f);
}

// MAIN/MinMaxPos and NormPos hold four integers "%d,%d,%d,%d".
bool ReadFour(const std::string& text, std::array<int, 4>& out) {
    int n = 0;
    char tail = 0;
    return std::sscanf(text.c_str(), "%d,%d,%d,%d%n%c", &out[0], &out[1], &out[2], &out[3], &n, &tail) == 4 &&
           n == static_cast<int>(text.size());
}

std::string WriteFour(int a, int b, int c, int d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

constexpr char kMainSection[] = "MAIN";
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;

}  // namespace

// ---- Creation ---------------------------------------------------------------------

TfmOrbisk::TfmOrbisk(TfmOrbiskOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("TfmOrbisk"));
    if (options_.Messages) {
        notifier_ = options_.Messages;
    } else {
        ownNotifier_ = std::make_unique<QtNotifier>(this);
        notifier_ = ownNotifier_.get();
    }
    if (options_.Time) {
        clock_ = options_.Time;
    } else {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    if (options_.IniPath.empty()) {
        const QString dir = QCoreApplication::applicationDirPath();
        options_.IniPath = QFile::encodeName(dir + QLatin1Char('/') + QLatin1String(kConfigFileName)).toStdString();
    }
    schedulerAvailable_ = options_.SchedulerAvailable;
    viewer_ = std::make_unique<Viewer>(options_.IniPath, *notifier_, *clock_);
    dialogs_ = std::make_unique<SettingsDialogs>(this);
    if (options_.Messages) dialogs_->SetNotifier(options_.Messages);

    CreateActions();
    CreateControls();
    CreateMenus();
    new TScheduleActions(*this);  // aSchedul, aSchedulProperty
    FormCreate();
}

TfmOrbisk::~TfmOrbisk() {
    if (Timer) Timer->stop();
    if (Timer4Films) Timer4Films->stop();
}

int TfmOrbisk::Px(int pixelsAt96) const { return pixelsAt96 * logicalDpiX() / 96; }

void TfmOrbisk::CreateActions() {
    auto make = [this](const char* caption, const char* hint, const QKeySequence& key, const char* name) {
        auto* a = new QAction(Q(caption), this);
        a->setObjectName(QLatin1String(name));
        if (hint) {
            a->setStatusTip(Q(hint));
            a->setToolTip(Q(hint));
        }
        if (!key.isEmpty()) a->setShortcut(key);
        addAction(a);  // shortcuts work without the menus too
        return a;
    };
    // "&Эхообласть", "Настройка пути и типа эхообласти"
    aOptions = make("&\xDD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xFC",
                    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xF3\xF2\xE8 \xE8 \xF2\xE8\xEF\xE0 "
                    "\xFD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xE8",
                    QKeySequence(Qt::CTRL | Qt::Key_E), "aOptions");
    // "&Сообщение", "Настройка параметров сообщения"
    aMessage = make("&\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5",
                    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 "
                    "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF",
                    QKeySequence(Qt::CTRL | Qt::Key_M), "aMessage");
    // "В&ыход", "Выход из программы"
    aExit = make("\xC2&\xFB\xF5\xEE\xE4", "\xC2\xFB\xF5\xEE\xE4 \xE8\xE7 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB",
                 QKeySequence(Qt::CTRL | Qt::Key_X), "aExit");
    aExit->setIcon(ThemeIcon("application-exit", QStyle::SP_DialogCloseButton));
    // "&Обновить", "Перечитать базу сообщений"
    aRefresh = make("&\xCE\xE1\xED\xEE\xE2\xE8\xF2\xFC",
                    "\xCF\xE5\xF0\xE5\xF7\xE8\xF2\xE0\xF2\xFC \xE1\xE0\xE7\xF3 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9",
                    QKeySequence(Qt::Key_F5), "aRefresh");
    aRefresh->setIcon(ThemeIcon("view-refresh", QStyle::SP_BrowserReload));
    // "&Предыдущая неделя", "Предыдущая неделя"
    aPrevWeek = make("&\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     "\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     QKeySequence(Qt::CTRL | Qt::Key_P), "aPrevWeek");
    aPrevWeek->setIcon(ThemeIcon("go-up", QStyle::SP_ArrowUp));
    // "&Следующая неделя", hint "&Следующая неделя" (the ampersand is part of it)
    aNextWeek = make("&\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     "&\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE0\xFF \xED\xE5\xE4\xE5\xEB\xFF",
                     QKeySequence(Qt::CTRL | Qt::Key_N), "aNextWeek");
    aNextWeek->setIcon(ThemeIcon("go-down", QStyle::SP_ArrowDown));
    // "&Сегодня", "Сегодня"
    aNow = make("&\xD1\xE5\xE3\xEE\xE4\xED\xFF", "\xD1\xE5\xE3\xEE\xE4\xED\xFF", QKeySequence(Qt::CTRL | Qt::Key_0),
                "aNow");
    aNow->setIcon(ThemeIcon("go-jump-today", QStyle::SP_DialogApplyButton));

    // "&Понедельник" ... "&Воскресенье"; the hints are the words without "&".
    static const char* const kDayCaptions[7] = {
        "&\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA", "&\xC2\xF2\xEE\xF0\xED\xE8\xEA", "&\xD1\xF0\xE5\xE4\xE0",
        "&\xD7\xE5\xF2\xE2\xE5\xF0\xE3",                  "&\xCF\xFF\xF2\xED\xE8\xF6\xE0", "&\xD1\xF3\xE1\xE1\xEE\xF2\xE0",
        "&\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5"};
    static const char* const kDayNames[7] = {"aMon", "aTu", "aWe", "aTh", "aFr", "aSa", "aSu"};
    QAction** days[7] = {&aMon, &aTu, &aWe, &aTh, &aFr, &aSa, &aSu};
    for (int d = 0; d < 7; ++d) {
        const std::string hint = std::string(kDayCaptions[d]).substr(1);
        *days[d] = make(kDayCaptions[d], hint.c_str(), QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + d)), kDayNames[d]);
        (*days[d])->setData(d);  // the action's tag
        connect(*days[d], &QAction::triggered, this, [this, d] { DayAction(d); });
    }

    // "Настройка каналов"
    aChannels = make("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2",
                     "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEA\xE0\xED\xE0\xEB\xEE\xE2",
                     QKeySequence(Qt::CTRL | Qt::Key_O), "aChannels");
    // "Следующий канал"
    aNextChanel = make("\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB",
                       "\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB",
                       QKeySequence(Qt::CTRL | Qt::Key_Right), "aNextChanel");
    aNextChanel->setIcon(ThemeIcon("go-next", QStyle::SP_ArrowRight));
    // "Предыдущий канал" (no hint)
    aPrevChanel = make("\xCF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xE9 \xEA\xE0\xED\xE0\xEB", nullptr,
                       QKeySequence(Qt::CTRL | Qt::Key_Left), "aPrevChanel");
    aPrevChanel->setIcon(ThemeIcon("go-previous", QStyle::SP_ArrowLeft));
    // "&Шрифт", "Шрифт": kept for its shortcut, does nothing
    aFont = make("&\xD8\xF0\xE8\xF4\xF2", "\xD8\xF0\xE8\xF4\xF2", QKeySequence(Qt::CTRL | Qt::Key_F), "aFont");
    // "&Удалить старые"
    aDeleteMsgs = make("&\xD3\xE4\xE0\xEB\xE8\xF2\xFC \xF1\xF2\xE0\xF0\xFB\xE5",
                       "\xD3\xE4\xE0\xEB\xE8\xF2\xFC \xF1\xF2\xE0\xF0\xFB\xE5",
                       QKeySequence(Qt::CTRL | Qt::Key_Delete), "aDeleteMsgs");
    // "&Печать", "Печать телепрограммы"
    aPrint = make("&\xCF\xE5\xF7\xE0\xF2\xFC",
                  "\xCF\xE5\xF7\xE0\xF2\xFC \xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB",
                  QKeySequence(Qt::Key_F9), "aPrint");
    aPrint->setIcon(ThemeIcon("document-print", QStyle::SP_FileIcon));
    // "&Добавить в расписание"
    aSchedul = make("&\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5",
                    "\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5",
                    QKeySequence(Qt::Key_F4), "aSchedul");
    // "&Настройка расписания"
    aSchedulProperty = make("&\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF",
                            "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF",
                            QKeySequence(Qt::Key_F3), "aSchedulProperty");
    // "Не сообщать о нарушениях", "Не сообщать о нарушениях в рассылке"
    aWarning = make("\xCD\xE5 \xF1\xEE\xEE\xE1\xF9\xE0\xF2\xFC \xEE \xED\xE0\xF0\xF3\xF8\xE5\xED\xE8\xFF\xF5",
                    "\xCD\xE5 \xF1\xEE\xEE\xE1\xF9\xE0\xF2\xFC \xEE \xED\xE0\xF0\xF3\xF8\xE5\xED\xE8\xFF\xF5 "
                    "\xE2 \xF0\xE0\xF1\xF1\xFB\xEB\xEA\xE5",
                    QKeySequence(), "aWarning");
    aWarning->setCheckable(true);
    // "Сохранить в формат JTV", "Сохранить отображаемые каналы за текущую неделю в формате JTV"
    aSaveForJTV = make("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xF4\xEE\xF0\xEC\xE0\xF2 JTV",
                       "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xEC\xFB\xE5 "
                       "\xEA\xE0\xED\xE0\xEB\xFB \xE7\xE0 \xF2\xE5\xEA\xF3\xF9\xF3\xFE \xED\xE5\xE4\xE5\xEB\xFE "
                       "\xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5 JTV",
                       QKeySequence(Qt::CTRL | Qt::Key_J), "aSaveForJTV");
    // "Сохранить в формат XMLTV", "Сохранить отображаемые каналы за текущую неделю в формате XMLTV"
    aSaveForXMLTV = make("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xF4\xEE\xF0\xEC\xE0\xF2 XMLTV",
                         "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xEC\xFB\xE5 "
                         "\xEA\xE0\xED\xE0\xEB\xFB \xE7\xE0 \xF2\xE5\xEA\xF3\xF9\xF3\xFE \xED\xE5\xE4\xE5\xEB\xFE "
                         "\xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5 XMLTV",
                         QKeySequence(), "aSaveForXMLTV");
    // "Просмотр телеканалов"
    aTVGide = make("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2",
                   "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2",
                   QKeySequence(Qt::Key_F11), "aTVGide");
    // "Текущие передачи", "Просмотр списка текущих телепередач"
    aCurrentFilms = make("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8",
                         "\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF1\xEF\xE8\xF1\xEA\xE0 \xF2\xE5\xEA\xF3\xF9\xE8\xF5 "
                         "\xF2\xE5\xEB\xE5\xEF\xE5\xF0\xE5\xE4\xE0\xF7",
                         QKeySequence(Qt::Key_F12), "aCurrentFilms");

    // The work of aSchedul and aSchedulProperty is connected by the
    // reminders part.
    connect(aPrint, &QAction::triggered, this, [this] { aPrintExecute(); });
    connect(aSaveForJTV, &QAction::triggered, this, [this] { aSaveForJTVExecute(); });
    connect(aSaveForXMLTV, &QAction::triggered, this, [this] { aSaveForXMLTVExecute(); });
    connect(aDeleteMsgs, &QAction::triggered, this, [this] { aDeleteMsgsExecute(); });
    connect(aOptions, &QAction::triggered, this, [this] {
        RunGuarded(this, [this] {
            if (dialogs_->EditMessageBase(viewer_->Settings())) RefreshListings();
        });
    });
    connect(aMessage, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { dialogs_->EditMessageParams(viewer_->Settings()); }); });
    connect(aChannels, &QAction::triggered, this, [this] {
        RunGuarded(this, [this] {
            // Save rewrites the list in Orbisk.ini and rebuilds the tabs.
            if (dialogs_->EditChannels(viewer_->Channels())) viewer_->Channels().Save();
        });
    });
    connect(aExit, &QAction::triggered, this, &QWidget::close);
    connect(aRefresh, &QAction::triggered, this, [this] { RunGuarded(this, [this] { RefreshListings(); }); });
    connect(aPrevWeek, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { ShowDay(viewer_->ShownDate() - 7); }); });
    connect(aNextWeek, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { ShowDay(viewer_->ShownDate() + 7); }); });
    connect(aNow, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { ShowDay(DateOf(clock_->Now())); }); });
    connect(aNextChanel, &QAction::triggered, this, [this] { StepChannel(true); });
    connect(aPrevChanel, &QAction::triggered, this, [this] { StepChannel(false); });
    connect(aWarning, &QAction::triggered, this, &TfmOrbisk::aWarningExecute);
    connect(aTVGide, &QAction::triggered, this, &TfmOrbisk::ShowChannelsPage);
    connect(aCurrentFilms, &QAction::triggered, this, &TfmOrbisk::ShowFilmsPage);
}

void TfmOrbisk::CreateMenus() {
    // "&Файл"
    QMenu* file = menuBar()->addMenu(Q("&\xD4\xE0\xE9\xEB"));
    file->addAction(aRefresh);
    file->addSeparator();
    file->addAction(aDeleteMsgs);
    file->addSeparator();
    file->addAction(aOptions);
    file->addAction(aMessage);
    file->addAction(aWarning);
    file->addSeparator();
    file->addAction(aPrint);
    file->addAction(aSaveForJTV);
    file->addAction(aSaveForXMLTV);
    file->addSeparator();
    file->addAction(aExit);
    // "&День"
    QMenu* day = menuBar()->addMenu(Q("&\xC4\xE5\xED\xFC"));
    for (QAction* a : {aMon, aTu, aWe, aTh, aFr, aSa, aSu}) day->addAction(a);
    day->addSeparator();
    day->addAction(aNow);
    day->addSeparator();
    day->addAction(aPrevWeek);
    day->addAction(aNextWeek);
    // "&Каналы"
    QMenu* channels = menuBar()->addMenu(Q("&\xCA\xE0\xED\xE0\xEB\xFB"));
    channels->addAction(aChannels);
    channels->addSeparator();
    channels->addAction(aTVGide);
    channels->addAction(aCurrentFilms);
    channels->addSeparator();
    channels->addAction(aPrevChanel);
    channels->addAction(aNextChanel);
    // "&Расписание"
    QMenu* schedule = menuBar()->addMenu(Q("&\xD0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5"));
    schedule->addAction(aSchedulProperty);
    schedule->addAction(aSchedul);
}

void TfmOrbisk::CreateControls() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(Px(2), Px(2), Px(2), Px(2));
    row->setSpacing(Px(2));

    // Left column: week buttons around the week list, the clock at the bottom.
    auto* left = new QWidget(central);
    left->setObjectName(QStringLiteral("pLeft"));
    left->setFixedWidth(Px(183));
    auto* col = new QVBoxLayout(left);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(Px(1));
    auto flatButton = [left](QAction* a, const char* name) {
        auto* b = new QToolButton(left);
        b->setObjectName(QLatin1String(name));
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        return b;
    };
    btPrevWeek = flatButton(aPrevWeek, "btPrevWeek");
    tcWeek = new TWeekTabs(left);
    tcWeek->setObjectName(QStringLiteral("tcWeek"));
    tcWeek->setIcons(ThemeIcon("go-next", QStyle::SP_MediaPlay),
                     ThemeIcon("x-office-calendar", QStyle::SP_FileDialogContentsView));
    btNextWeek = flatButton(aNextWeek, "btNextWeek");
    btNow = flatButton(aNow, "btNow");
    lCurrentTime = new QLabel(left);
    lCurrentTime->setObjectName(QStringLiteral("lCurrentTime"));
    lCurrentTime->setAlignment(Qt::AlignCenter);
    lCurrentTime->setWordWrap(true);
    lCurrentTime->setToolTip(Q("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xE4\xE0\xF2\xE0 \xE8 \xE2\xF0\xE5\xEC\xFF"));  // Текущие дата и время
    lCurrentTime->setFrameShape(QFrame::StyledPanel);
    col->addWidget(btPrevWeek);
    col->addWidget(tcWeek);
    col->addWidget(btNextWeek);
    col->addWidget(btNow);
    col->addStretch(1);
    col->addWidget(lCurrentTime);
    connect(tcWeek, &TWeekTabs::tabClicked, this, &TfmOrbisk::tcWeekClick);

    // The page control.
    pcMainSwitch = new QTabWidget(central);
    pcMainSwitch->setObjectName(QStringLiteral("pcMainSwitch"));
    pcMainSwitch->setDocumentMode(true);

    tsChannels = new QWidget(pcMainSwitch);
    tsChannels->setObjectName(QStringLiteral("tsChannels"));
    auto* chCol = new QVBoxLayout(tsChannels);
    chCol->setContentsMargins(0, Px(2), 0, 0);
    chCol->setSpacing(0);
    tcPrg = new QTabBar(tsChannels);
    tcPrg->setObjectName(QStringLiteral("tcPrg"));
    tcPrg->setExpanding(false);
    tcPrg->setUsesScrollButtons(true);
    tcPrg->setDrawBase(true);
    rePrg = new QTextEdit(tsChannels);
    rePrg->setObjectName(QStringLiteral("rePrg"));
    rePrg->setReadOnly(true);
    rePrg->setAcceptRichText(false);
    // A caret that the arrow keys move, in a text nobody edits.
    rePrg->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rePrg->setContextMenuPolicy(Qt::NoContextMenu);
    rePrg->setLineWrapMode(QTextEdit::WidgetWidth);
    rePrg->installEventFilter(this);
    rePrg->viewport()->installEventFilter(this);

    auto* strip = new QWidget(tsChannels);
    strip->setObjectName(QStringLiteral("pProgress"));
    const int stripHeight = std::max(Px(15), fontMetrics().height() + 2);
    strip->setFixedHeight(stripHeight);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->setSpacing(Px(1));
    auto timePanel = [&](const char* name, const char* hint) {
        auto* l = new QLabel(strip);
        l->setObjectName(QLatin1String(name));
        l->setFixedWidth(std::max(Px(49), fontMetrics().horizontalAdvance(QStringLiteral("00.00")) + Px(8)));
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setToolTip(Q(hint));
        return l;
    };
    pStartTime = timePanel("pStartTime",
                           // "Время начала текущей передачи"
                           "\xC2\xF0\xE5\xEC\xFF \xED\xE0\xF7\xE0\xEB\xE0 \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                           "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8");
    pbProgress = new QProgressBar(strip);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setTextVisible(false);
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    // "Состояние текущей передачи"
    pbProgress->setToolTip(Q("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5 \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                             "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"));
    pStopTime = timePanel("pStopTime",
                          // "Время окончания текущей передачи"
                          "\xC2\xF0\xE5\xEC\xFF \xEE\xEA\xEE\xED\xF7\xE0\xED\xE8\xFF \xF2\xE5\xEA\xF3\xF9\xE5\xE9 "
                          "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8");
    stripRow->addWidget(pStartTime);
    stripRow->addWidget(pbProgress, 1);
    stripRow->addWidget(pStopTime);
    chCol->addWidget(tcPrg);
    chCol->addWidget(rePrg, 1);
    chCol->addWidget(strip);
    connect(tcPrg, &QTabBar::currentChanged, this, &TfmOrbisk::tcPrgChange);

    tsFilms = new QWidget(pcMainSwitch);
    tsFilms->setObjectName(QStringLiteral("tsFilms"));
    auto* fCol = new QVBoxLayout(tsFilms);
    fCol->setContentsMargins(0, Px(2), 0, 0);
    fCol->setSpacing(Px(2));
    // "Отображать:"
    auto* group = new QGroupBox(Q("\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xF2\xFC:"), tsFilms);
    group->setObjectName(QStringLiteral("gbShow"));
    auto* gRow = new QHBoxLayout(group);
    gRow->setContentsMargins(Px(8), Px(2), Px(8), Px(4));
    // "&1. Текущие передачи"
    cbCurrentFilms = new QCheckBox(Q("&1. \xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"), group);
    cbCurrentFilms->setObjectName(QStringLiteral("cbCurrentFilms"));
    cbCurrentFilms->setChecked(true);
    // "&2. Идущие в:"
    auto* showAt = new QLabel(Q("&2. \xC8\xE4\xF3\xF9\xE8\xE5 \xE2:"), group);
    showAt->setObjectName(QStringLiteral("lblShowAt"));
    dtpShowTime = new QTimeEdit(group);
    dtpShowTime->setObjectName(QStringLiteral("dtpShowTime"));
    dtpShowTime->installEventFilter(this);
    showAt->setBuddy(dtpShowTime);
    gRow->addWidget(cbCurrentFilms);
    gRow->addSpacing(Px(16));
    gRow->addWidget(showAt);
    gRow->addWidget(dtpShowTime);
    gRow->addStretch(1);
    connect(dtpShowTime, &QTimeEdit::timeChanged, this, [this] { cbCurrentFilms->setChecked(false); });

    sgFilms = new QTableWidget(0, 4, tsFilms);
    sgFilms->setObjectName(QStringLiteral("sgFilms"));
    sgFilms->verticalHeader()->hide();
    sgFilms->verticalHeader()->setDefaultSectionSize(Px(16));
    sgFilms->verticalHeader()->setMinimumSectionSize(1);
    sgFilms->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sgFilms->horizontalHeader()->setStretchLastSection(false);
    sgFilms->setShowGrid(true);
    sgFilms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgFilms->setSelectionMode(QAbstractItemView::SingleSelection);
    sgFilms->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Only the titles wrap, drawn by the delegate; the other cells clip.
    sgFilms->setWordWrap(false);
    sgFilms->installEventFilter(this);
    // "Канал", "Фильм", "Время", "Состояние"
    sgFilms->setHorizontalHeaderLabels({Q("\xCA\xE0\xED\xE0\xEB"), Q("\xD4\xE8\xEB\xFC\xEC"), Q("\xC2\xF0\xE5\xEC\xFF"),
                                        Q("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5")});
    sgFilms->setItemDelegate(new TFilmGridDelegate(
        [this](const QString& cell) -> std::optional<double> {
            try {
                return Viewer::FilmProgress(A(cell), GridTime(), TimeSeparator());
            } catch (const Error&) {
                return std::nullopt;
            }
        },
        sgFilms));
    for (int c = 0; c < 4; ++c) sgFilms->setColumnWidth(c, Config::kDefaultFilmGridColumns[static_cast<std::size_t>(c)]);
    connect(sgFilms->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == TFilmGridDelegate::kTitleColumn) AdjustFilmRowHeights();
    });
    connect(sgFilms, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { sgFilmsDblClick(r); });
    fCol->addWidget(group);
    fCol->addWidget(sgFilms, 1);

    // "Телеканалы", "Текущие передачи" and their hints
    pcMainSwitch->addTab(tsChannels, Q("\xD2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xFB"));
    pcMainSwitch->setTabToolTip(0, Q("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF2\xE5\xEB\xE5\xEA\xE0\xED\xE0\xEB\xEE\xE2 (F11)"));
    pcMainSwitch->addTab(tsFilms, Q("\xD2\xE5\xEA\xF3\xF9\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8"));
    pcMainSwitch->setTabToolTip(1, Q("\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xF1\xEF\xE8\xF1\xEA\xE0 \xF2\xE5\xEA\xF3\xF9\xE8\xF5 "
                                     "\xF2\xE5\xEB\xE5\xEF\xE5\xF0\xE5\xE4\xE0\xF7 (F12)"));
    connect(pcMainSwitch, &QTabWidget::currentChanged, this, &TfmOrbisk::pcMainSwitchChange);

    row->addWidget(left);
    row->addWidget(pcMainSwitch, 1);
    setCentralWidget(central);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TfmOrbisk::TimerTimer);
    Timer4Films = new QTimer(this);
    Timer4Films->setObjectName(QStringLiteral("Timer4Films"));
    Timer4Films->setInterval(1000);
    connect(Timer4Films, &QTimer::timeout, this, &TfmOrbisk::Timer4FilmsTimer);
}

void TfmOrbisk::FormCreate() {
    setWindowTitle(Q(kWindowTitle));
    resize(Px(598), Px(381));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RenderWeek();
    if (!viewer_->Settings().FileExists()) {
        notifier_->Show(kConfigMissingText, kWindowTitle, MsgIcon::Error);
        if (options_.Quit) options_.Quit(); else EndProcessNow(0);
        return;
    }
    usable_ = true;
    if (options_.Prompts) {
        prompts_ = options_.Prompts;
    } else {
        if (options_.MakePrompts) ownPrompts_ = options_.MakePrompts(*this);
        if (!ownPrompts_) ownPrompts_ = std::make_unique<GuiConfigPrompts>(*dialogs_);
        prompts_ = ownPrompts_.get();
    }
    aSchedul->setEnabled(schedulerAvailable_);
    RestorePlacement();
    RunGuarded(this, [this] { RefreshListings(); });
}

// ---- Refresh ------------------------------------------------------------------------

void TfmOrbisk::RefreshListings() {
    if (!usable_) return;
    Timer->stop();
    bool loaded = false;
    try {
        WaitCursor wait;
        textShown_ = false;
        PromptsWithCursor prompts(*prompts_);
        if (!viewer_->RefreshListings(prompts, options_.StartedWithArguments)) {
            if (options_.Quit) options_.Quit(); else EndProcessNow(0);
            return;
        }
        loaded = true;
    } catch (...) {
        // Show what the refresh got to before it failed: the settings read,
        // the emptied index, a day whose parse broke off.
        try {
            ApplyActionsFromConfig();
            UpdateClock();
            RenderWeek();
            RenderDayBody();
        } catch (const Error&) {
        }
        throw;
    }
    if (!loaded) return;
    ApplyActionsFromConfig();
    ApplyFilmGridColumns();
    UpdateClock();
    RenderWeek();
    RenderDayBody(!options_.StartedWithArguments);
    FocusView();
    Timer->start();
}

void TfmOrbisk::ApplyActionsFromConfig() {
    const Config& config = viewer_->Settings();
    aWarning->setChecked(!config.EnableWarning());
    const bool messageBase = config.MessageActionsEnabled();
    aDeleteMsgs->setEnabled(messageBase);
    aMessage->setEnabled(messageBase);
    dtpShowTime->setDisplayFormat(QStringLiteral("HH") + QChar(QLatin1Char(TimeSeparator())) + QStringLiteral("mm"));
}

void TfmOrbisk::ApplyFilmGridColumns() {
    const auto& widths = viewer_->Settings().FilmGridColumns();
    for (int c = 0; c < 4; ++c) sgFilms->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

void TfmOrbisk::SetEnableWarning(bool value) {
    try {
        viewer_->Settings().SetEnableWarning(value);
    } catch (...) {
        aWarning->setChecked(!viewer_->Settings().EnableWarning());
        throw;
    }
    aWarning->setChecked(!value);
}

void TfmOrbisk::aWarningExecute(bool checked) {
    // Ticked means "do not report": the warning switch is the opposite.
    RunGuarded(this, [this, checked] { SetEnableWarning(!checked); });
}

void TfmOrbisk::UpdateClock() {
    const TDateTime now = clock_->Now();
    const FormatSettings& f = viewer_->Settings().Format();
    lCurrentTime->setText(Q(FormatShortDate(now, f) + " " + FormatTime(now, f)));
}

// ---- Days ---------------------------------------------------------------------------

void TfmOrbisk::ShowDay(TDateTime date) {
    if (DateOf(date) == viewer_->ShownDate()) return;
    {
        WaitCursor wait;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        try {
            viewer_->ShowDay(date);
        } catch (...) {
            try {
                RenderWeek();
                RenderDayBody();
            } catch (const Error&) {
            }
            throw;
        }
        RenderWeek();
        RenderDayBody();
    }
    FocusView();
}

void TfmOrbisk::RenderWeek() {
    const auto& captions = viewer_->DayCaptions();
    for (int i = 0; i < 7; ++i) tcWeek->setTabText(i, Q(captions[static_cast<std::size_t>(i)]));
    tcWeek->setCurrentIndex(viewer_->ShownDayIndex());
    aPrevWeek->setEnabled(viewer_->PrevWeekEnabled());
    aNextWeek->setEnabled(viewer_->NextWeekEnabled());
}

void TfmOrbisk::RenderDayBody(bool pickRunning) {
    HookChannels();
    if (!viewer_->ShownDayHasText()) {
        // The channel list and tabs of the previous day stay; only the text goes.
        rePrg->clear();
        textShown_ = false;
        return;
    }
    // Channel 0 is current after a parse; when it is hidden the first shown
    // channel takes its place, so that the text matches the selected tab.
    textShown_ = false;
    TChannels& channels = viewer_->Channels();
    if (channels.Current() && channels.Current()->Hide) {
        const auto visible = viewer_->VisibleChannels();
        if (!visible.empty()) {
            // After a refresh the picked time is the running programme of
            // the channel actually shown, not of the hidden one.
            if (pickRunning)
                viewer_->SelectChannel(visible.front());
            else
                channels.Select(visible.front());
        }
    }
    RebuildChannelTabs();
    ShowChannelDay();
}

void TfmOrbisk::HookChannels() {
    viewer_->Channels().OnSaved = [this] {
        RebuildChannelTabs();
        // The channel shown was just hidden: the text follows the selected tab.
        const TChannel* current = viewer_->Channels().Current();
        if (current && current->Hide && tcPrg->count() > 0) tcPrgChange(tcPrg->currentIndex());
    };
}

void TfmOrbisk::DayAction(int day) {
    RunGuarded(this, [this, day] {
        const TDateTime shown = viewer_->ShownDate();
        ShowDay(shown - (DayOfWeek(shown) + 5) % 7 + day);
        tcWeek->setCurrentIndex(day);
    });
}

void TfmOrbisk::tcWeekClick(int index) { DayAction(index); }

// ---- Channels -----------------------------------------------------------------------

void TfmOrbisk::RebuildChannelTabs() {
    const QSignalBlocker block(tcPrg);
    while (tcPrg->count() > 0) tcPrg->removeTab(tcPrg->count() - 1);
    const TChannels& channels = viewer_->Channels();
    for (int index : viewer_->VisibleChannels()) {
        const int tab = tcPrg->addTab(Q(channels.Items(index).Desc));
        tcPrg->setTabData(tab, index);
    }
    if (tcPrg->count() > 0) {
        const int tab = viewer_->CurrentTab();
        tcPrg->setCurrentIndex(tab >= 0 ? tab : 0);
    }
    // A bar filled while hidden does not tell the layout its new height.
    tcPrg->updateGeometry();
}

void TfmOrbisk::tcPrgChange(int tab) {
    if (tab < 0) return;
    RunGuarded(this, [this, tab] {
        // The picked time follows the channel to its running programme (a
        // failure there only leaves it); the day is then drawn with it.
        textShown_ = false;
        viewer_->SelectChannel(tcPrg->tabData(tab).toInt());
        ShowChannelDay();
    });
}

void TfmOrbisk::StepChannel(bool forward) {
    const int tab = forward ? viewer_->NextTab() : viewer_->PrevTab();
    if (tab < 0) return;
    {
        const QSignalBlocker block(tcPrg);
        tcPrg->setCurrentIndex(tab);
    }
    tcPrgChange(tab);
}

// ---- The day view -----------------------------------------------------------------------

std::size_t TfmOrbisk::TimeLength() const { return viewer_->Channels().TimeLength(); }
char TfmOrbisk::TimeSeparator() const { return viewer_->Settings().Format().timeSeparator; }

bool TfmOrbisk::TextShowsCurrentChannel() const {
    const TChannel* channel = viewer_->Channels().Current();
    return textShown_ && channel && dayText_.LineCount() == channel->EntryCount();
}

void TfmOrbisk::ShowChannelDay() {
    if (printing_) return;
    WaitCursor wait;
    const UpdatesOff frozen(rePrg);
    const TChannel* channel = viewer_->Channels().Current();
    dayText_ = BuildDayText(channel ? channel->Lines : std::vector<std::string>{}, TimeLength());
    rePrg->setCurrentCharFormat(QTextCharFormat());
    rePrg->setPlainText(Q(dayText_.Text));
    QTextDocument* doc = rePrg->document();
    {
        // Nothing of the previous text's formats may stay.
        QTextCursor all(doc);
        all.select(QTextCursor::Document);
        all.setCharFormat(QTextCharFormat());
        all.setBlockFormat(QTextBlockFormat());
    }
    textShown_ = channel != nullptr;

    const int current = viewer_->UpdateCurrentIndex();
    if (current >= 0) {
        QTextCursor line(doc->findBlockByNumber(current));
        QTextBlockFormat yellow;
        yellow.setBackground(Qt::yellow);
        line.mergeBlockFormat(yellow);
    }
    RenderProgress();
    const int marked = viewer_->ShowTimeEntry();
    if (marked >= 0) StyleLine(marked, true);

    if (!dayText_.Text.empty()) {
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        for (const TextRange& r : dayText_.Bold) MergeFormat(doc, r, bold);
        QTextCharFormat navy;
        navy.setForeground(kNavy);
        for (const TextRange& r : dayText_.Navy) MergeFormat(doc, r, navy);
        QTextCursor caret(doc);
        caret.setPosition(current >= 0 ? dayText_.Line(current).Start : 0);
        rePrg->setTextCursor(caret);
    }
    rePrg->setUpdatesEnabled(true);
    rePrg->ensureCursorVisible();
}

void TfmOrbisk::RenderProgress() {
    const auto strip = viewer_->Progress();
    if (!strip) return;  // nothing runs: the strip keeps what it showed
    pStartTime->setText(Q(strip->StartText));
    pStopTime->setText(Q(strip->StopText));
    pbProgress->setRange(strip->Minimum, std::max(strip->Minimum, strip->Maximum));
    pbProgress->setValue(std::clamp(strip->Position, pbProgress->minimum(), pbProgress->maximum()));
}

void TfmOrbisk::StyleLine(int line, bool marked) {
    QTextCharFormat format;
    format.setFontUnderline(marked);
    if (!marked) format.setFontWeight(QFont::Normal);
    MergeFormat(rePrg->document(), dayText_.Line(line), format);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    MergeFormat(rePrg->document(), dayText_.Prefix(line, TimeLength()), bold);
}

void TfmOrbisk::MarkShowTime(TDateTime t) {
    const MarkedEntries marked = viewer_->MarkShowTime(t);
    if (!TextShowsCurrentChannel()) return;
    const UpdatesOff frozen(rePrg);
    if (marked.Old >= 0) StyleLine(marked.Old, false);
    if (marked.New >= 0) StyleLine(marked.New, true);
}

std::optional<TDateTime> TfmOrbisk::TimeAtCaret() const {
    const TChannel* channel = viewer_->Channels().Current();
    if (!TextShowsCurrentChannel() || !channel) return std::nullopt;
    return TimeAtLine(channel->Lines, rePrg->textCursor().blockNumber(), TimeLength(), TimeSeparator());
}

void TfmOrbisk::PickAtCaret() {
    RunGuarded(this, [this] {
        if (const auto t = TimeAtCaret()) MarkShowTime(*t);
    });
}

void TfmOrbisk::FocusView() {
    if (pcMainSwitch->currentWidget() == tsFilms)
        sgFilms->setFocus();
    else
        rePrg->setFocus();
}

bool TfmOrbisk::eventFilter(QObject* watched, QEvent* event) {
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
            if (watched == rePrg->viewport()) PickAtCaret();
            break;
        case QEvent::KeyRelease:
            if (watched == rePrg) {
                auto* key = static_cast<QKeyEvent*>(event);
                if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && !key->isAutoRepeat()) PickAtCaret();
            }
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == rePrg->viewport() && aSchedul->isEnabled()) {
                QTimer::singleShot(0, aSchedul, &QAction::trigger);
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Timers -------------------------------------------------------------------------------

void TfmOrbisk::TimerTimer() {
    try {
        UpdateClock();
        // A day without text shows no channel: nothing runs in the view.
        if (!viewer_->ShownDayHasText() || !textShown_) return;
        const int before = viewer_->CurrentIndex();
        const int now = viewer_->UpdateCurrentIndex();
        if (now == before) {
            if (const auto strip = viewer_->Progress())
                pbProgress->setValue(std::clamp(strip->Position, pbProgress->minimum(), pbProgress->maximum()));
        } else {
            ShowChannelDay();
        }
    } catch (const Error& e) {
        Timer->stop();
        ShowErrorBox(this, e.what());
    }
}

void TfmOrbisk::Timer4FilmsTimer() { RunGuarded(this, [this] { RefreshFilmGrid(); }); }

// ---- Pages and the grid -----------------------------------------------------------------------

void TfmOrbisk::ShowChannelsPage() { pcMainSwitch->setCurrentWidget(tsChannels); }
void TfmOrbisk::ShowFilmsPage() { pcMainSwitch->setCurrentWidget(tsFilms); }

void TfmOrbisk::pcMainSwitchChange() {
    const bool films = pcMainSwitch->currentWidget() == tsFilms && viewer_->Channels().Count() > 0;
    if (films)
        Timer4Films->start();
    else
        Timer4Films->stop();
    FocusView();
    aSchedul->setEnabled(schedulerAvailable_ && !Timer4Films->isActive());
    if (Timer4Films->isActive()) RunGuarded(this, [this] { RefreshFilmGrid(); });
}

TDateTime TfmOrbisk::GridTime() const {
    return cbCurrentFilms->isChecked() ? TimeOf(clock_->Now()) : ToTime(dtpShowTime->time());
}

void TfmOrbisk::RefreshFilmGrid() {
    if (cbCurrentFilms->isChecked()) {
        const QSignalBlocker block(dtpShowTime);
        dtpShowTime->setTime(ToQTime(TimeOf(clock_->Now())));
    }
    const TDateTime t = GridTime();
    if (!viewer_->FilmGridStale(t)) return;
    const std::vector<FilmRow> rows = viewer_->FilmRows(t);
    sgFilms->setRowCount(static_cast<int>(rows.size()));
    auto cell = [this](int r, int c, const std::string& text) {
        QTableWidgetItem* item = sgFilms->item(r, c);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            sgFilms->setItem(r, c, item);
        }
        item->setText(Q(text));
    };
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const FilmRow& row = rows[static_cast<std::size_t>(r)];
        cell(r, 0, row.Desc);
        // A channel with nothing running shows only its name, not what an
        // earlier build left in its row.
        cell(r, 1, row.Title);
        cell(r, 2, row.Time);
        cell(r, 3, std::string());
    }
    AdjustFilmRowHeights();
    sgFilms->viewport()->update();
}

void TfmOrbisk::AdjustFilmRowHeights() {
    const QFontMetrics fm(sgFilms->font());
    const int width = sgFilms->columnWidth(TFilmGridDelegate::kTitleColumn) - 4;
    for (int r = 0; r < sgFilms->rowCount(); ++r) {
        const QTableWidgetItem* item = sgFilms->item(r, TFilmGridDelegate::kTitleColumn);
        const int h = TFilmGridDelegate::TitleRowHeight(fm, item ? item->text() : QString(), width);
        if (sgFilms->rowHeight(r) != h) sgFilms->setRowHeight(r, h);
    }
}

void TfmOrbisk::sgFilmsDblClick(int row) {
    try {
        const QTableWidgetItem* item = sgFilms->item(row, 0);
        if (!item) return;
        int tab = -1;
        const int index = viewer_->Channels().FindVisible(A(item->text()), tab);
        if (index < 0) return;
        viewer_->Channels().Select(index);
        textShown_ = false;
        {
            const QSignalBlocker block(tcPrg);
            tcPrg->setCurrentIndex(tab);
        }
        MarkShowTime(GridTime());
        ShowChannelDay();
        UpdateClock();
        RenderProgress();
        ShowChannelsPage();
    } catch (const Error&) {
    }
}

// ---- Reminder hand-over ------------------------------------------------------------------------

int TfmOrbisk::WMShowReminder(const ReminderRecord& record) {
    return WMShowReminder(record.ReminderTime(), record.ReminderChannel());
}

int TfmOrbisk::WMShowReminder(const std::string& time, const std::string& channel) {
    if (!usable_) return 0;
    int tab = -1;
    const int index = viewer_->Channels().FindVisible(channel, tab);
    if (index < 0) return 0;
    viewer_->Channels().Select(index);
    textShown_ = false;
    {
        const QSignalBlocker block(tcPrg);
        tcPrg->setCurrentIndex(tab);
    }
    TDateTime t = 0;
    if (TryStrToTime(time, TimeSeparator(), t)) {
        try {
            viewer_->MarkShowTime(t);
        } catch (const Error&) {
        }
    }
    // The channel is shown on its page even when the grid was in front.
    ShowChannelsPage();
    RunGuarded(this, [this] { ShowChannelDay(); });
    return 1;
}

// ---- Closing and placement ------------------------------------------------------------------------

void TfmOrbisk::closeEvent(QCloseEvent* event) {
    if (usable_) {
        RunGuarded(this, [this] {
            std::array<int, 4> widths{};
            for (int c = 0; c < 4; ++c) widths[static_cast<std::size_t>(c)] = sgFilms->columnWidth(c);
            viewer_->Settings().SetFilmGridColumns(widths);
        });
        RunGuarded(this, [this] { SavePlacement(); });
    }
    Timer->stop();
    Timer4Films->stop();
    QMainWindow::closeEvent(event);
}

void TfmOrbisk::SavePlacement() {
    IniFile& ini = viewer_->Settings().Ini();
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    int show = kShowNormal;
    if (isMinimized()) show = kShowMinimized;
    else if (isMaximized()) show = kShowMaximized;
    ini.WriteInteger(kMainSection, "Flags", 0);
    ini.WriteInteger(kMainSection, "ShowCmd", show);
    ini.WriteInteger(kMainSection, "PixelsPerInch", logicalDpiY());
    ini.WriteString(kMainSection, "MinMaxPos", WriteFour(-1, -1, -1, -1));
    ini.WriteString(kMainSection, "NormPos", WriteFour(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
}

void TfmOrbisk::RestorePlacement() {
    const IniFile& ini = viewer_->Settings().Ini();
    std::array<int, 4> pos{};
    if (!ReadFour(ini.ReadString(kMainSection, "NormPos", ""), pos)) return;
    int w = pos[2] - pos[0];
    int h = pos[3] - pos[1];
    if (w <= 0 || h <= 0) return;
    // Saved at another resolution: the size follows the screen's.
    const int ppi = ini.ReadInteger(kMainSection, "PixelsPerInch", 0);
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
