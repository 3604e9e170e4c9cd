#include "gui/searchactions.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "config/favourites.h"
#include "gui/dialogs/favouritesdialog.h"
#include "gui/dialogs/remindersdialog.h"
#include "gui/dialogs/searchdialog.h"
#include "gui/guiutil.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"
#include "gui/reminderactions.h"

namespace orbisk {

using namespace Qt::StringLiterals;

namespace {

QMenu* menuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return nullptr;
}

}  // namespace

SearchActions::SearchActions(MainWindow& window) : QObject(&window), window_(window) {
    setObjectName(u"searchActions"_s);
    auto make = [&window](const QString& caption, const QString& hint, const QKeySequence& key, const char* name) {
        auto* a = new QAction(caption, &window);
        a->setObjectName(QLatin1String(name));
        a->setStatusTip(hint);
        a->setToolTip(hint);
        if (!key.isEmpty()) a->setShortcut(key);
        window.addAction(a);
        return a;
    };
    searchAction = make(u"&Найти передачу…"_s, u"Найти передачу во всех загруженных неделях"_s,
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), "searchAction");
    searchAction->setIcon(QIcon::fromTheme(u"edit-find"_s));
    addFavouriteAction = make(u"&В избранное"_s, u"Добавить выбранную передачу в избранное"_s,
                              QKeySequence(Qt::CTRL | Qt::Key_D), "addFavouriteAction");
    favouritesAction = make(u"&Избранное…"_s, u"Избранные передачи и их показы на этой неделе"_s,
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I), "favouritesAction");
    favouriteRemindersAction = make(u"Напомнить об &избранном"_s,
                                    u"Добавить в расписание все ещё не прошедшие избранные передачи этой недели"_s,
                                    QKeySequence(), "favouriteRemindersAction");
    remindersListAction = make(u"&Список напоминаний…"_s, u"Напоминания в расписании"_s,
                               QKeySequence(Qt::SHIFT | Qt::Key_F4), "remindersListAction");

    QMenuBar* bar = window.menuBar();
    auto* menu = new QMenu(u"&Поиск"_s, bar);
    menu->addAction(searchAction);
    menu->addSeparator();
    menu->addAction(addFavouriteAction);
    menu->addAction(favouritesAction);
    QMenu* help = menuTitled(bar, u"&Справка"_s);
    bar->insertMenu(help ? help->menuAction() : nullptr, menu);
    if (QMenu* schedule = menuTitled(bar, u"&Расписание"_s)) {
        schedule->addAction(favouriteRemindersAction);
        schedule->addSeparator();
        schedule->addAction(remindersListAction);
    }

    connect(searchAction, &QAction::triggered, this, [this] { onSearch(); });
    connect(addFavouriteAction, &QAction::triggered, this, [this] { onAddFavourite(); });
    connect(favouritesAction, &QAction::triggered, this, [this] { onFavourites(); });
    connect(favouriteRemindersAction, &QAction::triggered, this, [this] { onFavouriteReminders(); });
    connect(remindersListAction, &QAction::triggered, this, [this] { onRemindersList(); });
}

ReminderActions* SearchActions::reminders() const {
    return window_.findChild<ReminderActions*>(u"reminderActions"_s, Qt::FindDirectChildrenOnly);
}

SearchDialog& SearchActions::searchDialog() {
    if (!search_) {
        search_ = new SearchDialog(window_.state(), &window_);
        connect(search_, &SearchDialog::openRequested, this, [this](int row) {
            if (row >= 0 && static_cast<std::size_t>(row) < search_->results().size())
                openShowing(search_->results()[static_cast<std::size_t>(row)]);
        });
        connect(search_, &SearchDialog::reminderRequested, this, [this](int row) {
            if (row >= 0 && static_cast<std::size_t>(row) < search_->results().size())
                remindShowing(search_->results()[static_cast<std::size_t>(row)]);
        });
    }
    return *search_;
}

FavouritesDialog& SearchActions::favouritesDialog() {
    if (!favourites_) {
        favourites_ = new FavouritesDialog(window_.state(), &window_);
        connect(favourites_, &FavouritesDialog::favouritesChanged, this, [this] { favouritesChanged(); });
        connect(favourites_, &FavouritesDialog::openRequested, this, [this](int row) {
            if (row >= 0 && static_cast<std::size_t>(row) < favourites_->showings().size())
                openShowing(favourites_->showings()[static_cast<std::size_t>(row)]);
        });
        connect(favourites_, &FavouritesDialog::remindRequested, this, [this] { onFavouriteReminders(); });
    }
    return *favourites_;
}

RemindersDialog& SearchActions::remindersDialog() {
    if (!reminders_) reminders_ = new RemindersDialog(window_.state(), window_.messages(), &window_);
    return *reminders_;
}

bool SearchActions::openShowing(const Showing& showing) {
    bool shown = false;
    runGuarded(&window_, [&] {
        window_.showDay(showing.date);
        shown = window_.showReminder(showing.time, showing.channel) == 1;
    });
    window_.raise();
    window_.activateWindow();
    return shown;
}

void SearchActions::remindShowing(const Showing& showing) {
    ReminderActions* actions = reminders();
    // The showing's channel page is in front after the jump, so the action
    // is off only when no scheduler was found at start.
    if (actions && openShowing(showing) && window_.reminderAction->isEnabled()) actions->onReminder();
}

void SearchActions::onSearch() {
    runGuarded(&window_, [this] {
        SearchDialog& dialog = searchDialog();
        dialog.reload();
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
        dialog.queryEdit->setFocus();
        dialog.queryEdit->selectAll();
    });
}

void SearchActions::onAddFavourite() {
    runGuarded(&window_, [this] {
        Viewer& viewer = window_.state();
        const Channel* channel = viewer.channels().current();
        const int entry = viewer.showTimeEntry();
        if (!channel || entry < 0) return;
        const std::string& line = channel->lines[static_cast<std::size_t>(entry)];
        const std::size_t start = std::min(line.size(), viewer.channels().timeLength() + 1);
        if (addFavourite(viewer.settings().ini(), line.substr(start))) {
            viewer.reloadFavourites();
            favouritesChanged();
        }
    });
}

void SearchActions::onFavourites() {
    runGuarded(&window_, [this] {
        FavouritesDialog& dialog = favouritesDialog();
        dialog.reload();
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
    });
}

void SearchActions::onFavouriteReminders() {
    if (ReminderActions* actions = reminders()) actions->onFavouriteReminders();
}

void SearchActions::onRemindersList() {
    runGuarded(&window_, [this] {
        RemindersDialog& dialog = remindersDialog();
        dialog.reload();
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
    });
}

void SearchActions::favouritesChanged() {
    runGuarded(&window_, [this] {
        window_.state().forgetFilmGrid();
        window_.showChannelDay();
        if (window_.filmTimer->isActive()) window_.refreshFilmGrid();
        if (favourites_ && favourites_->isVisible()) favourites_->reload();
    });
}

}  // namespace orbisk
