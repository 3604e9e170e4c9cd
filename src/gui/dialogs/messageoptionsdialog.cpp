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

QLabel* label(const char* ansi, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(toQString(ansi), parent);
    l->setBuddy(buddy);
    return l;
}

}  // namespace

MessageOptionsDialog::MessageOptionsDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("fmMsgOptions"));
    // Параметры сообщения
    setWindowTitle(toQString("\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF"));
    // Two groups of their own take the frame's place.
    optionsGroup()->hide();

    // Удалять строки:
    auto* deleteGroup = new QGroupBox(toQString("\xD3\xE4\xE0\xEB\xFF\xF2\xFC \xF1\xF2\xF0\xEE\xEA\xE8:"), this);
    auto* del = new QGridLayout(deleteGroup);
    delFromBeginSpin = lineCount(deleteGroup, "seBegin");
    delFromEndSpin = lineCount(deleteGroup, "seEnd");
    del->addWidget(label("\xC2 &\xED\xE0\xF7\xE0\xEB\xE5:", delFromBeginSpin, deleteGroup), 0, 0);  // В &начале:
    del->addWidget(delFromBeginSpin, 0, 1);
    del->addWidget(label("\xC2 &\xEA\xEE\xED\xF6\xE5:", delFromEndSpin, deleteGroup), 1, 0);  // В &конце:
    del->addWidget(delFromEndSpin, 1, 1);
    // (включая origin и tearline)
    del->addWidget(new QLabel(toQString("(\xE2\xEA\xEB\xFE\xF7\xE0\xFF origin \xE8 tearline)"), deleteGroup), 0, 2, 2, 1);
    eLastStr = textEdit(deleteGroup, "eLastStr");
    // &Строка последнего письма, начиная с / которой все строки будут удалены:
    del->addWidget(label("&\xD1\xF2\xF0\xEE\xEA\xE0 \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE3\xEE "
                         "\xEF\xE8\xF1\xFC\xEC\xE0, \xED\xE0\xF7\xE8\xED\xE0\xFF \xF1\n"
                         "\xEA\xEE\xF2\xEE\xF0\xEE\xE9 \xE2\xF1\xE5 \xF1\xF2\xF0\xEE\xEA\xE8 "
                         "\xE1\xF3\xE4\xF3\xF2 \xF3\xE4\xE0\xEB\xE5\xED\xFB:",
                         eLastStr, deleteGroup),
                   2, 0, 1, 3);
    del->addWidget(eLastStr, 3, 0, 1, 3);
    del->setColumnStretch(2, 1);

    // Заголовок канала:
    auto* captionGroup = new QGroupBox(toQString("\xC7\xE0\xE3\xEE\xEB\xEE\xE2\xEE\xEA \xEA\xE0\xED\xE0\xEB\xE0:"), this);
    auto* cap = new QGridLayout(captionGroup);
    eFirstRow = textEdit(captionGroup, "eFirstRow");
    eLastRow = textEdit(captionGroup, "eLastRow");
    eTimeFormat = textEdit(captionGroup, "eTimeFormat");
    cap->addWidget(label("&\xCF\xE5\xF0\xE2\xE0\xFF \xF1\xF2\xF0\xEE\xEA\xE0:", eFirstRow, captionGroup), 0, 0);
    cap->addWidget(eFirstRow, 0, 1);
    cap->addWidget(label("\xCF&\xEE\xF1\xEB\xE5\xE4\xED\xFF\xFF \xF1\xF2\xF0\xEE\xEA\xE0:", eLastRow, captionGroup), 1,
                   0);  // П&оследняя строка:
    cap->addWidget(eLastRow, 1, 1);
    cap->addWidget(label("&\xD4\xEE\xF0\xEC\xE0\xF2 \xE2\xF0\xE5\xEC\xE5\xED\xE8:", eTimeFormat, captionGroup), 2,
                   0);  // &Формат времени:
    cap->addWidget(eTimeFormat, 2, 1);
    for (QLineEdit* e : {eFirstRow, eLastRow, eTimeFormat}) e->setMinimumWidth(px(200));

    body()->addWidget(deleteGroup);
    body()->addWidget(captionGroup);
}

void MessageOptionsDialog::fill(const Config& config) {
    delFromBeginSpin->setValue(config.delFromBegin());
    delFromEndSpin->setValue(config.delFromEnd());
    eLastStr->setText(toQString(config.lastDayRow()));
    eFirstRow->setText(toQString(config.firstCaptionRow()));
    eLastRow->setText(toQString(config.lastCaptionRow()));
    eTimeFormat->setText(toQString(config.timeFormat()));
}

void MessageOptionsDialog::store(Config& config) const {
    config.setDelFromBegin(delFromBeginSpin->value());
    config.setDelFromEnd(delFromEndSpin->value());
    config.setFirstCaptionRow(fromQString(eFirstRow->text()));
    config.setLastCaptionRow(fromQString(eLastRow->text()));
    config.setLastDayRow(fromQString(eLastStr->text()));
    config.setTimeFormat(fromQString(eTimeFormat->text()));
}

}  // namespace orbisk
