#include "gui/dialogs/channelpickerdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <unordered_set>

#include "gui/qtext.h"

namespace orbisk {

namespace {
constexpr int kAnsiRole = Qt::UserRole;  // the name as the settings file holds it
}

ChannelPickerDialog::ChannelPickerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("channelPickerDialog"));
    setWindowTitle(QStringLiteral("Каналы программы XMLTV"));
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(QStringLiteral("Отметьте каналы, которые нужно показывать:"), this);
    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setPlaceholderText(QStringLiteral("Поиск по названию"));
    searchEdit->setClearButtonEnabled(true);
    channelList = new QListWidget(this);
    channelList->setObjectName(QStringLiteral("channelList"));
    channelList->setMinimumSize(360, 380);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(prompt);
    layout->addWidget(searchEdit);
    layout->addWidget(channelList, 1);
    layout->addWidget(countLabel);
    layout->addWidget(buttons);
    connect(searchEdit, &QLineEdit::textChanged, this, &ChannelPickerDialog::applySearch);
    connect(channelList, &QListWidget::itemChanged, this, &ChannelPickerDialog::updateCount);
    // Space or a double click ticks the row under the cursor.
    connect(channelList, &QListWidget::itemActivated, this, [](QListWidgetItem* item) {
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    searchEdit->setFocus();
}

void ChannelPickerDialog::setChannels(const std::vector<std::string>& guideNames, const std::vector<std::string>& kept) {
    const QSignalBlocker block(channelList);
    channelList->clear();
    const std::unordered_set<std::string> keptSet(kept.begin(), kept.end());
    std::unordered_set<std::string> listed;
    auto add = [&](const std::string& name, const QString& caption) {
        auto* item = new QListWidgetItem(caption, channelList);
        item->setData(kAnsiRole, QByteArray::fromStdString(name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(keptSet.count(name) ? Qt::Checked : Qt::Unchecked);
        listed.insert(name);
    };
    for (const auto& name : guideNames)
        if (!listed.count(name)) add(name, toQString(name));
    for (const auto& name : kept)
        if (!listed.count(name)) add(name, toQString(name) + QStringLiteral(" (нет в программе)"));
    applySearch();
    updateCount();
}

std::vector<std::string> ChannelPickerDialog::tickedNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < channelList->count(); ++i) {
        const QListWidgetItem* item = channelList->item(i);
        if (item->checkState() == Qt::Checked) names.push_back(item->data(kAnsiRole).toByteArray().toStdString());
    }
    return names;
}

void ChannelPickerDialog::applySearch() {
    const QString text = searchEdit->text().trimmed();
    for (int i = 0; i < channelList->count(); ++i) {
        QListWidgetItem* item = channelList->item(i);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    }
}

void ChannelPickerDialog::updateCount() {
    int ticked = 0;
    for (int i = 0; i < channelList->count(); ++i) ticked += channelList->item(i)->checkState() == Qt::Checked;
    countLabel->setText(QStringLiteral("Отмечено: %1 из %2").arg(ticked).arg(channelList->count()));
}

}  // namespace orbisk
