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
    setObjectName(QStringLiteral("scheduleSettingsDialog"));
    setWindowTitle(QStringLiteral("Настройка расписания"));

    auto* grid = new QGridLayout(optionsGroup());
    timeShiftSpin = new QSpinBox(optionsGroup());
    timeShiftSpin->setObjectName(QStringLiteral("timeShiftSpin"));
    timeShiftSpin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto* shiftLabel = new QLabel(QStringLiteral("&Предупреждать за"), optionsGroup());
    shiftLabel->setBuddy(timeShiftSpin);
    grid->addWidget(shiftLabel, 0, 0);
    grid->addWidget(timeShiftSpin, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("минут"), optionsGroup()), 0, 2);

    messageEdit = new QLineEdit(optionsGroup());
    messageEdit->setObjectName(QStringLiteral("messageEdit"));
    messageEdit->setMaxLength(kTextMax);
    auto* messageLabel = new QLabel(QStringLiteral("&Сообщение"), optionsGroup());
    messageLabel->setBuddy(messageEdit);
    grid->addWidget(messageLabel, 1, 0);
    grid->addWidget(messageEdit, 1, 1, 1, 3);

    runCurrentProgrammeCheck = new QCheckBox(QStringLiteral("&Использовать эту программу"), optionsGroup());
    runCurrentProgrammeCheck->setObjectName(QStringLiteral("runMeCheck"));
    grid->addWidget(runCurrentProgrammeCheck, 2, 1, 1, 3);

    runLineEdit = new QLineEdit(optionsGroup());
    runLineEdit->setObjectName(QStringLiteral("runLineEdit"));
    runLineEdit->setMaxLength(kTextMax);
    auto* runLabel = new QLabel(QStringLiteral("&Запускать"), optionsGroup());
    runLabel->setBuddy(runLineEdit);
    grid->addWidget(runLabel, 3, 0);
    grid->addWidget(runLineEdit, 3, 1, 1, 3);

    helpLabel = new QLabel(QStringLiteral("В строке запуска и в строке сообщения можно использовать макроподстановки:\n"
                                          "  *TIME - время передачи\n"
                                          "  *NAME - название передачи\n"
                                          "  *CHANEL - название канала\n"
                                          "В строке запуска можно дополнительно указать\n"
                                          "  *MESSAGE - сообщение"),
                           optionsGroup());
    helpLabel->setObjectName(QStringLiteral("helpLabel"));
    helpLabel->setTextFormat(Qt::PlainText);
    helpLabel->setFrameShape(QFrame::StyledPanel);
    helpLabel->setMargin(px(4));
    QFont bold = helpLabel->font();
    bold.setBold(true);
    helpLabel->setFont(bold);
    grid->addWidget(helpLabel, 4, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    messageEdit->setMinimumWidth(px(300));

    connect(runCurrentProgrammeCheck, &QCheckBox::clicked, this, [this] { onRunCurrentProgrammeClicked(); });
}

void ScheduleSettingsDialog::onRunCurrentProgrammeClicked() {
    // The run line is the user's own command only while this program is not
    // used; the built-in one is shown but not edited.
    runLineEdit->setEnabled(!runCurrentProgrammeCheck->isChecked());
}

void ScheduleSettingsDialog::fill(int leadMinutes, const std::string& message, bool runMe, const std::string& runLine) {
    timeShiftSpin->setValue(leadMinutes);
    messageEdit->setText(toQString(message));
    runCurrentProgrammeCheck->setChecked(runMe);
    runLineEdit->setText(toQString(runLine));
    onRunCurrentProgrammeClicked();
}

void ScheduleSettingsDialog::read(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) const {
    timeShiftSpin->interpretText();
    leadMinutes = timeShiftSpin->value();
    message = fromQString(messageEdit->text());
    runMe = runCurrentProgrammeCheck->isChecked();
    runLine = fromQString(runLineEdit->text());
}

bool ScheduleSettingsDialog::editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe,
                                                  std::string& runLine) {
    fill(leadMinutes, message, runMe, runLine);
    if (exec() != QDialog::Accepted) return false;
    read(leadMinutes, message, runMe, runLine);
    return true;
}

}  // namespace orbisk
