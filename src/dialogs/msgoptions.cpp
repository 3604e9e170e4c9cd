#include "dialogs/msgoptions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/config/config.h"
#include "app/qtext.h"

namespace orbisk {

namespace {

QSpinBox* LineCount(QWidget* parent, const char* name) {
    auto* se = new QSpinBox(parent);
    se->setObjectName(QLatin1String(name));
    se->setRange(0, 999);
    return se;
}

QLineEdit* TextEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* Label(const char* ansi, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(Q(ansi), parent);
    l->setBuddy(buddy);
    return l;
}

}  // namespace

TfmMsgOptions::TfmMsgOptions(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("fmMsgOptions"));
    // Параметры сообщения
    setWindowTitle(Q("\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF"));
    // Two groups of their own take the frame's place.
    gbOptions()->hide();

    // Удалять строки:
    auto* gbDelete = new QGroupBox(Q("\xD3\xE4\xE0\xEB\xFF\xF2\xFC \xF1\xF2\xF0\xEE\xEA\xE8:"), this);
    auto* del = new QGridLayout(gbDelete);
    seBegin = LineCount(gbDelete, "seBegin");
    seEnd = LineCount(gbDelete, "seEnd");
    del->addWidget(Label("\xC2 &\xED\xE0\xF7\xE0\xEB\xE5:", seBegin, gbDelete), 0, 0);  // В &начале:
    del->addWidget(seBegin, 0, 1);
    del->addWidget(Label("\xC2 &\xEA\xEE\xED\xF6\xE5:", seEnd, gbDelete), 1, 0);  // В &конце:
    del->addWidget(seEnd, 1, 1);
    // (включая origin и tearline)
    del->addWidget(new QLabel(Q("(\xE2\xEA\xEB\xFE\xF7\xE0\xFF origin \xE8 tearline)"), gbDelete), 0, 2, 2, 1);
    eLastStr = TextEdit(gbDelete, "eLastStr");
    // &Строка последнего письма, начиная с / которой все строки будут удалены:
    del->addWidget(Label("&\xD1\xF2\xF0\xEE\xEA\xE0 \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE3\xEE "
                         "\xEF\xE8\xF1\xFC\xEC\xE0, \xED\xE0\xF7\xE8\xED\xE0\xFF \xF1\n"
                         "\xEA\xEE\xF2\xEE\xF0\xEE\xE9 \xE2\xF1\xE5 \xF1\xF2\xF0\xEE\xEA\xE8 "
                         "\xE1\xF3\xE4\xF3\xF2 \xF3\xE4\xE0\xEB\xE5\xED\xFB:",
                         eLastStr, gbDelete),
                   2, 0, 1, 3);
    del->addWidget(eLastStr, 3, 0, 1, 3);
    del->setColumnStretch(2, 1);

    // Заголовок канала:
    auto* gbCaption = new QGroupBox(Q("\xC7\xE0\xE3\xEE\xEB\xEE\xE2\xEE\xEA \xEA\xE0\xED\xE0\xEB\xE0:"), this);
    auto* cap = new QGridLayout(gbCaption);
    eFirstRow = TextEdit(gbCaption, "eFirstRow");
    eLastRow = TextEdit(gbCaption, "eLastRow");
    eTimeFormat = TextEdit(gbCaption, "eTimeFormat");
    cap->addWidget(Label("&\xCF\xE5\xF0\xE2\xE0\xFF \xF1\xF2\xF0\xEE\xEA\xE0:", eFirstRow, gbCaption), 0, 0);
    cap->addWidget(eFirstRow, 0, 1);
    cap->addWidget(Label("\xCF&\xEE\xF1\xEB\xE5\xE4\xED\xFF\xFF \xF1\xF2\xF0\xEE\xEA\xE0:", eLastRow, gbCaption), 1,
                   0);  // П&оследняя строка:
    cap->addWidget(eLastRow, 1, 1);
    cap->addWidget(Label("&\xD4\xEE\xF0\xEC\xE0\xF2 \xE2\xF0\xE5\xEC\xE5\xED\xE8:", eTimeFormat, gbCaption), 2,
                   0);  // &Формат времени:
    cap->addWidget(eTimeFormat, 2, 1);
    for (QLineEdit* e : {eFirstRow, eLastRow, eTimeFormat}) e->setMinimumWidth(Px(200));

    Body()->addWidget(gbDelete);
    Body()->addWidget(gbCaption);
}

void TfmMsgOptions::Fill(const Config& config) {
    seBegin->setValue(config.DelFromBegin());
    seEnd->setValue(config.DelFromEnd());
    eLastStr->setText(Q(config.LastDayRow()));
    eFirstRow->setText(Q(config.FirstCaptionRow()));
    eLastRow->setText(Q(config.LastCaptionRow()));
    eTimeFormat->setText(Q(config.TimeFormat()));
}

void TfmMsgOptions::Store(Config& config) const {
    config.SetDelFromBegin(seBegin->value());
    config.SetDelFromEnd(seEnd->value());
    config.SetFirstCaptionRow(A(eFirstRow->text()));
    config.SetLastCaptionRow(A(eLastRow->text()));
    config.SetLastDayRow(A(eLastStr->text()));
    config.SetTimeFormat(A(eTimeFormat->text()));
}

}  // namespace orbisk
