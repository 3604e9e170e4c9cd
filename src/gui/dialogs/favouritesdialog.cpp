#include "gui/dialogs/favouritesdialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/favourites.h"
#include "gui/dialogs/showingtable.h"
#include "gui/guiutil.h"
#include "gui/qtext.h"
#include "viewer/viewer.h"

namespace orbisk {

using namespace Qt::StringLiterals;

FavouritesDialog::FavouritesDialog(Viewer& viewer, QWidget* parent) : QDialog(parent), viewer_(viewer) {
    setObjectName(u"favouritesDialog"_s);
    setWindowTitle(u"Избранное"_s);
    auto* layout = new QHBoxLayout(this);

    auto* listBox = new QGroupBox(u"Слова и названия"_s, this);
    auto* left = new QVBoxLayout(listBox);
    phraseList = new QListWidget(listBox);
    phraseEdit = new QLineEdit(listBox);
    phraseEdit->setPlaceholderText(u"Например: Что? Где? Когда?"_s);
    addButton = new QPushButton(u"&Добавить"_s, listBox);
    removeButton = new QPushButton(u"&Убрать"_s, listBox);
    left->addWidget(phraseList, 1);
    left->addWidget(phraseEdit);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(addButton);
    listButtons->addWidget(removeButton);
    left->addLayout(listButtons);
    layout->addWidget(listBox);

    auto* weekBox = new QGroupBox(u"Передачи этой недели"_s, this);
    auto* right = new QVBoxLayout(weekBox);
    showingTable = makeShowingTable(weekBox);
    right->addWidget(showingTable, 1);
    auto* bottom = new QHBoxLayout;
    remindButton = new QPushButton(u"&Напомнить обо всех"_s, weekBox);
    remindButton->setToolTip(u"Добавить в расписание все ещё не прошедшие передачи из списка"_s);
    bottom->addWidget(remindButton);
    bottom->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, weekBox);
    bottom->addWidget(buttons);
    right->addLayout(bottom);
    layout->addWidget(weekBox, 1);
    resize(900, 460);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(addButton, &QPushButton::clicked, this, [this] { runGuarded(this, [this] { addPhrase(); }); });
    connect(phraseEdit, &QLineEdit::returnPressed, this, [this] { runGuarded(this, [this] { addPhrase(); }); });
    connect(removeButton, &QPushButton::clicked, this, [this] { runGuarded(this, [this] { removeSelected(); }); });
    connect(showingTable, &QTableWidget::cellDoubleClicked, this, [this](int r) { emit openRequested(r); });
    connect(remindButton, &QPushButton::clicked, this, [this] { emit remindRequested(); });
}

void FavouritesDialog::reload() {
    WaitCursor wait;
    phraseList->clear();
    for (const auto& phrase : readFavourites(viewer_.settings().ini())) phraseList->addItem(toQString(phrase));
    const DateTime week = viewer_.shownDate() != 0 ? viewer_.shownDate() : viewer_.listingToday();
    showings_ = viewer_.favouriteShowings(week);
    fillShowingTable(showingTable, showings_, viewer_, showings_.size());
    removeButton->setEnabled(phraseList->count() > 0);
    remindButton->setEnabled(!showings_.empty());
}

void FavouritesDialog::addPhrase() {
    const std::string phrase = fromQString(phraseEdit->text().trimmed());
    if (phrase.empty()) return;
    addFavourite(viewer_.settings().ini(), phrase);
    phraseEdit->clear();
    viewer_.reloadFavourites();
    reload();
    emit favouritesChanged();
}

void FavouritesDialog::removeSelected() {
    const QListWidgetItem* item = phraseList->currentItem();
    if (!item) return;
    removeFavourite(viewer_.settings().ini(), fromQString(item->text()));
    viewer_.reloadFavourites();
    reload();
    emit favouritesChanged();
}

}  // namespace orbisk
