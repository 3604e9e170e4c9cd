#include "gui/dialogs/messageoptionsdialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/config.h"
#include "gui/qtext.h"

namespace orbisk {

namespace {

QSpinBox* lineCount(QWidget* parent, const char* name) {
    auto* se = new QSpinBox(parent);
    se->setObjectName(QLatin1String(name));
    se->setRange(0, 999);
    return se;
}

QLineEdit* textEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

}  // namespace

MessageOptionsDialog::MessageOptionsDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("messageOptionsDialog"));
    setWindowTitle(QStringLiteral("Параметры сообщения"));
    // Two groups of their own take the frame's place.
    optionsGroup()->hide();

    auto* deleteGroup = new QGroupBox(QStringLiteral("Удалять строки:"), this);
    auto* del = new QGridLayout(deleteGroup);
    delFromBeginSpin = lineCount(deleteGroup, "delFromBeginSpin");
    delFromEndSpin = lineCount(deleteGroup, "delFromEndSpin");
    del->addWidget(label(QStringLiteral("В &начале:"), delFromBeginSpin, deleteGroup), 0, 0);
    del->addWidget(delFromBeginSpin, 0, 1);
    del->addWidget(label(QStringLiteral("В &конце:"), delFromEndSpin, deleteGroup), 1, 0);
    del->addWidget(delFromEndSpin, 1, 1);
    del->addWidget(new QLabel(QStringLiteral("(включая origin и tearline)"), deleteGroup), 0, 2, 2, 1);
    lastLineEdit = textEdit(deleteGroup, "lastDayRowEdit");
    del->addWidget(label(QStringLiteral("&Строка последнего письма, начиная с\n"
                                        "которой все строки будут удалены:"),
                         lastLineEdit, deleteGroup),
                   2, 0, 1, 3);
    del->addWidget(lastLineEdit, 3, 0, 1, 3);
    del->setColumnStretch(2, 1);

    auto* captionGroup = new QGroupBox(QStringLiteral("Заголовок канала:"), this);
    auto* cap = new QGridLayout(captionGroup);
    firstCaptionRowEdit = textEdit(captionGroup, "firstCaptionRowEdit");
    lastCaptionRowEdit = textEdit(captionGroup, "lastCaptionRowEdit");
    timeFormatEdit = textEdit(captionGroup, "timeFormatEdit");
    cap->addWidget(label(QStringLiteral("&Первая строка:"), firstCaptionRowEdit, captionGroup), 0, 0);
    cap->addWidget(firstCaptionRowEdit, 0, 1);
    cap->addWidget(label(QStringLiteral("П&оследняя строка:"), lastCaptionRowEdit, captionGroup), 1,
                   0);  // П&оследняя строка:
    cap->addWidget(lastCaptionRowEdit, 1, 1);
    cap->addWidget(label(QStringLiteral("&Формат времени:"), timeFormatEdit, captionGroup), 2,
                   0);  // &Формат времени:
    cap->addWidget(timeFormatEdit, 2, 1);
    for (QLineEdit* e : {firstCaptionRowEdit, lastCaptionRowEdit, timeFormatEdit}) e->setMinimumWidth(px(200));

    body()->addWidget(deleteGroup);
    body()->addWidget(captionGroup);
}

void MessageOptionsDialog::fill(const Config& config) {
    delFromBeginSpin->setValue(config.delFromBegin());
    delFromEndSpin->setValue(config.delFromEnd());
    lastLineEdit->setText(toQString(config.lastDayRow()));
    firstCaptionRowEdit->setText(toQString(config.firstCaptionRow()));
    lastCaptionRowEdit->setText(toQString(config.lastCaptionRow()));
    timeFormatEdit->setText(toQString(config.timeFormat()));
}

void MessageOptionsDialog::store(Config& config) const {
    config.setDelFromBegin(delFromBeginSpin->value());
    config.setDelFromEnd(delFromEndSpin->value());
    config.setFirstCaptionRow(fromQString(firstCaptionRowEdit->text()));
    config.setLastCaptionRow(fromQString(lastCaptionRowEdit->text()));
    config.setLastDayRow(fromQString(lastLineEdit->text()));
    config.setTimeFormat(fromQString(timeFormatEdit->text()));
}

}  // namespace orbisk
