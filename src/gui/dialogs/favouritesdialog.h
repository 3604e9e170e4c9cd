#pragma once
// "Избранное": the words and phrases the user follows, kept in Orbisk.ini,
// and their showings in the week shown. A double click shows a showing in
// the window; "Напомнить обо всех" sets reminders for the coming ones.
#include <QDialog>
#include <vector>

#include "viewer/programmesearch.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace orbisk {

class Viewer;

class FavouritesDialog : public QDialog {
    Q_OBJECT
public:
    FavouritesDialog(Viewer& viewer, QWidget* parent = nullptr);

    // The list and the week's showings anew.
    void reload();
    // The phrase in the field joins the list / the selected one leaves it;
    // the settings file changes at once.
    void addPhrase();
    void removeSelected();
    const std::vector<Showing>& showings() const { return showings_; }

    QListWidget* phraseList;
    QLineEdit* phraseEdit;
    QPushButton* addButton;
    QPushButton* removeButton;
    QTableWidget* showingTable;
    QPushButton* remindButton;

signals:
    void favouritesChanged();
    void openRequested(int row);
    void remindRequested();

private:
    Viewer& viewer_;
    std::vector<Showing> showings_;
};

}  // namespace orbisk
