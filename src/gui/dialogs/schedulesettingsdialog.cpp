#include "gui/dialogs/schedulesettingsdialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <limits>

#include "gui/qtext.h"

namespace orbisk {

namespace {
constexpr int kTextMax = 255;
}

ScheduleSettingsDialog::ScheduleSettingsDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("fmSchedulParms"));
    setWindowTitle(toQString("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF"));  // Настройка расписания

    auto* grid = new QGridLayout(optionsGroup());
    timeShiftSpin = new QSpinBox(optionsGroup());
    timeShiftSpin->setObjectName(QStringLiteral("seTimeShift"));
    timeShiftSpin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto* shiftLabel = new QLabel(toQString("&\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE0\xF2\xFC \xE7\xE0"), optionsGroup());  // &Предупреждать за
    shiftLabel->setBuddy(timeShiftSpin);
    grid->addWidget(shiftLabel, 0, 0);
    grid->addWidget(timeShiftSpin, 0, 1);
    grid->addWidget(new QLabel(toQString("\xEC\xE8\xED\xF3\xF2"), optionsGroup()), 0, 2);  // минут

    eMessage = new QLineEdit(optionsGroup());
    eMessage->setObjectName(QStringLiteral("eMessage"));
    eMessage->setMaxLength(kTextMax);
    auto* messageLabel = new QLabel(toQString("&\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5"), optionsGroup());  // &Сообщение
    messageLabel->setBuddy(eMessage);
    grid->addWidget(messageLabel, 1, 0);
    grid->addWidget(eMessage, 1, 1, 1, 3);

    // &Использовать эту программу
    runCurrentProgrammeRadio = new QCheckBox(
        toQString("&\xC8\xF1\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xFC \xFD\xF2\xF3 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xF3"), optionsGroup());
    runCurrentProgrammeRadio->setObjectName(QStringLiteral("rbRunCurrentPrg"));
    grid->addWidget(runCurrentProgrammeRadio, 2, 1, 1, 3);

    eRun = new QLineEdit(optionsGroup());
    eRun->setObjectName(QStringLiteral("eRun"));
    eRun->setMaxLength(kTextMax);
    auto* runLabel = new QLabel(toQString("&\xC7\xE0\xEF\xF3\xF1\xEA\xE0\xF2\xFC"), optionsGroup());  // &Запускать
    runLabel->setBuddy(eRun);
    grid->addWidget(runLabel, 3, 0);
    grid->addWidget(eRun, 3, 1, 1, 3);

    // В строке запуска и в строке сообщения можно использовать макроподстановки: / *TIME - время
    // передачи / *NAME - название передачи / *CHANEL - название канала / В строке запуска можно
    // дополнительно указать / *MESSAGE - сообщение
    helpLabel = new QLabel(toQString("\xC2 \xF1\xF2\xF0\xEE\xEA\xE5 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xE8 \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 "
                         "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xFF \xEC\xEE\xE6\xED\xEE \xE8\xF1\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0"
                         "\xF2\xFC \xEC\xE0\xEA\xF0\xEE\xEF\xEE\xE4\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE8:\n"
                         "  *TIME - \xE2\xF0\xE5\xEC\xFF \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8\n"
                         "  *NAME - \xED\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE8\n"
                         "  *CHANEL - \xED\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xEA\xE0\xED\xE0\xEB\xE0\n"
                         "\xC2 \xF1\xF2\xF0\xEE\xEA\xE5 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xEC\xEE\xE6\xED\xEE "
                         "\xE4\xEE\xEF\xEE\xEB\xED\xE8\xF2\xE5\xEB\xFC\xED\xEE \xF3\xEA\xE0\xE7\xE0\xF2\xFC\n"
                         "  *MESSAGE - \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5"),
                       optionsGroup());
    helpLabel->setObjectName(QStringLiteral("lHelp"));
    helpLabel->setTextFormat(Qt::PlainText);
    helpLabel->setFrameShape(QFrame::StyledPanel);
    helpLabel->setMargin(px(4));
    QFont bold = helpLabel->font();
    bold.setBold(true);
    helpLabel->setFont(bold);
    grid->addWidget(helpLabel, 4, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    eMessage->setMinimumWidth(px(300));

    connect(runCurrentProgrammeRadio, &QCheckBox::clicked, this, [this] { onRunCurrentProgrammeClicked(); });
}

void ScheduleSettingsDialog::onRunCurrentProgrammeClicked() {
    // The run line is the user's own command only while this program is not
    // used; the built-in one is shown but not edited.
    eRun->setEnabled(!runCurrentProgrammeRadio->isChecked());
}

void ScheduleSettingsDialog::fill(int leadMinutes, const std::string& message, bool runMe, const std::string& runLine) {
    timeShiftSpin->setValue(leadMinutes);
    eMessage->setText(toQString(message));
    runCurrentProgrammeRadio->setChecked(runMe);
    eRun->setText(toQString(runLine));
    onRunCurrentProgrammeClicked();
}

void ScheduleSettingsDialog::read(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) const {
    timeShiftSpin->interpretText();
    leadMinutes = timeShiftSpin->value();
    message = fromQString(eMessage->text());
    runMe = runCurrentProgrammeRadio->isChecked();
    runLine = fromQString(eRun->text());
}

bool ScheduleSettingsDialog::editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe,
                                           std::string& runLine) {
    fill(leadMinutes, message, runMe, runLine);
    if (exec() != QDialog::Accepted) return false;
    read(leadMinutes, message, runMe, runLine);
    return true;
}

}  // namespace orbisk
