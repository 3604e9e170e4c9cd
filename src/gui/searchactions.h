#pragma once
// The search, favourites and reminder-list actions of the main window and
// their dialogs (made on first use). The rules live in the viewer and in
// schedule/; this object shows a found showing in the window as a reminder
// hand-over does, and hands a showing to the window's reminder flow.
#include <QObject>
#include <QPointer>

#include "viewer/programmesearch.h"

class QAction;

namespace orbisk {

class FavouritesDialog;
class MainWindow;
class ReminderActions;
class RemindersDialog;
class SearchDialog;

class SearchActions : public QObject {
    Q_OBJECT
public:
    // Adds the actions to the window and its menus.
    explicit SearchActions(MainWindow& window);

    QAction* searchAction;             // "Найти передачу…", Ctrl+Shift+F
    QAction* addFavouriteAction;       // the picked programme's title into the favourites, Ctrl+D
    QAction* favouritesAction;         // "Избранное…", Ctrl+Shift+I
    QAction* favouriteRemindersAction;  // reminders for the week's coming favourites
    QAction* remindersListAction;      // "Список напоминаний…", Shift+F4

    SearchDialog& searchDialog();
    FavouritesDialog& favouritesDialog();
    RemindersDialog& remindersDialog();

    // The showing's day and channel in the window, its programme picked;
    // false when its channel is not shown there.
    bool openShowing(const Showing& showing);
    // Opens the showing, then runs "Добавить в расписание" for it.
    void remindShowing(const Showing& showing);

    void onSearch();
    void onAddFavourite();
    void onFavourites();
    void onFavouriteReminders();
    void onRemindersList();

private:
    // The day view and the grid after the favourites changed.
    void favouritesChanged();
    ReminderActions* reminders() const;

    MainWindow& window_;
    QPointer<SearchDialog> search_;
    QPointer<FavouritesDialog> favourites_;
    QPointer<RemindersDialog> reminders_;
};

}  // namespace orbisk
