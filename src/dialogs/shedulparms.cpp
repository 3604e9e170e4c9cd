#include "dialogs/shedulparms.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <limits>

#include "app/qtext.h"

namespace orbisk {

namespace {
constexpr int kTextMax = 255;
}

TfmSchedulParms::TfmSchedulParms(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("fmSchedulParms"));
    setWindowTitle(Q("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF"));  // Настройка расписания

    auto* grid = new QGridLayout(gbOptions());
    seTimeShift = new QSpinBox(gbOptions());
    seTimeShift->setObjectName(QStringLiteral("seTimeShift"));
    seTimeShift->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto* lShift = new QLabel(Q("&\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE0\xF2\xFC \xE7\xE0"), gbOptions());  // &Предупреждать за
    lShift->setBuddy(seTimeShift);
    grid->addWidget(lShift, 0, 0);
    grid->addWidget(seTimeShift, 0, 1);
    grid->addWidget(new QLabel(Q("\xEC\xE8\xED\xF3\xF2"), gbOptions()), 0, 2);  // минут

    eMessage = new QLineEdit(gbOptions());
    eMessage->setObjectName(QStringLiteral("eMessage"));
    eMessage->setMaxLength(kTextMax);
    auto* lMessage = new QLabel(Q("&\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5"), gbOptions());  // &Сообщение
    lMessage->setBuddy(eMessage);
    grid->addWidget(lMessage, 1, 0);
    grid->addWidget(eMessage, 1, 1, 1, 3);

    // &Использовать эту программу
    rbRunCurrentPrg = new QCheckBox(
        Q("&\xC8\xF1\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xFC \xFD\xF2\xF3 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xF3"), gbOptions());
    rbRunCurrentPrg->setObjectName(QStringLiteral("rbRunCurrentPrg"));
    grid->addWidget(rbRunCurrentPrg, 2, 1, 1, 3);

    eRun = new QLineEdit(gbOptions());
    eRun->setObjectName(QStringLiteral("eRun"));
    eRun->setMaxLength(kTextMax);
    auto* lRun = new QLabel(Q("&\xC7\xE0\xEF\xF3\xF1\xEA\xE0\xF2\xFC"), gbOptions());  // &Запускать
    lRun->setBuddy(eRun);
    grid->addWidget(lRun, 3, 0);
    grid->addWidget(eRun, 3, 1, 1, 3);

    // В строке запуска и в строке сообщения можно использовать макроподстановки: / *TIME - время
    // передачи / *NAME - название передачи / *CHANEL - название канала / В строке запуска можно
    // дополнительно указать / *MESSAGE - сообщение
    lHelp = new QLabel(Q("\xC2 \xF1\xF2\xF0\xEE\xEA\xE5 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xE8 \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 "
                         "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF \xEC\xEE\xE6\xED\xEE \xE8\xF1\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0"
                         "\xF2\xFC \xEC\xE0\xEA\xF0\xEE\xEF\xEE\xE4\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE8:\n"
                         "  *TIME - \xE2\xF0\xE5\xEC\xFF \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8\n"
                         "  *NAME - \xED\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8\n"
                         "  *CHANEL - \xED\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xEA\xE0\xED\xE0\xEB\xE0\n"
                         "\xC2 \xF1\xF2\xF0\xEE\xEA\xE5 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xEC\xEE\xE6\xED\xEE "
                         "\xE4\xEE\xEF\xEE\xEB\xED\xE8\xF2\xE5\xEB\xFC\xED\xEE \xF3\xEA\xE0\xE7\xE0\xF2\xFC\n"
                         "  *MESSAGE - \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5"),
                       gbOptions());
    lHelp->setObjectName(QStringLiteral("lHelp"));
    lHelp->setTextFormat(Qt::PlainText);
    lHelp->setFrameShape(QFrame::StyledPanel);
    lHelp->setMargin(Px(4));
    QFont bold = lHelp->font();
    bold.setBold(true);
    lHelp->setFont(bold);
    grid->addWidget(lHelp, 4, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    eMessage->setMinimumWidth(Px(300));

    connect(rbRunCurrentPrg, &QCheckBox::clicked, this, [this] { rbRunCurrentPrgClick(); });
}

void TfmSchedulParms::rbRunCurrentPrgClick() {
    // The run line is the user's own command only while this program is not
    // used; the built-in one is shown but not edited.
    eRun->setEnabled(!rbRunCurrentPrg->isChecked());
}

void TfmSchedulParms::Fill(int leadMinutes, const std::string& message, bool runMe, const std::string& runLine) {
    seTimeShift->setValue(leadMinutes);
    eMessage->setText(Q(message));
    rbRunCurrentPrg->setChecked(runMe);
    eRun->setText(Q(runLine));
    rbRunCurrentPrgClick();
}

void TfmSchedulParms::Read(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) const {
    seTimeShift->interpretText();
    leadMinutes = seTimeShift->value();
    message = A(eMessage->text());
    runMe = rbRunCurrentPrg->isChecked();
    runLine = A(eRun->text());
}

bool TfmSchedulParms::EditScheduleSettings(int& leadMinutes, std::string& message, bool& runMe,
                                           std::string& runLine) {
    Fill(leadMinutes, message, runMe, runLine);
    if (exec() != QDialog::Accepted) return false;
    Read(leadMinutes, message, runMe, runLine);
    return true;
}

}  // namespace orbisk
