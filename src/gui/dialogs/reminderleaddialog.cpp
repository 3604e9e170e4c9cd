#include "gui/dialogs/reminderleaddialog.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "gui/qtext.h"

namespace orbisk {

ReminderLeadDialog::ReminderLeadDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("reminderLeadDialog"));
    setWindowTitle(QStringLiteral("Добавление в расписание"));

    auto* box = new QVBoxLayout(optionsGroup());
    promptLabel = new QLabel(optionsGroup());
    promptLabel->setObjectName(QStringLiteral("promptLabel"));
    promptLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    promptLabel->setWordWrap(true);
    promptLabel->setTextFormat(Qt::PlainText);
    box->addWidget(promptLabel);

    leadPanel = new QWidget(optionsGroup());
    leadPanel->setObjectName(QStringLiteral("leadPanel"));
    auto* row = new QHBoxLayout(leadPanel);
    row->setContentsMargins(0, 0, 0, 0);
    leadSpin = new QSpinBox(leadPanel);
    leadSpin->setObjectName(QStringLiteral("leadSpin"));
    // No bounds here: the run time refuses a lead outside 0..59 itself.
    leadSpin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto* before = new QLabel(QStringLiteral("&Предупреждать за "), leadPanel);  // &Предупреждать за
    before->setBuddy(leadSpin);
    row->addStretch(1);
    row->addWidget(before);
    row->addWidget(leadSpin);
    row->addWidget(new QLabel(QStringLiteral("минут"), leadPanel));
    row->addStretch(1);
    box->addWidget(leadPanel);
}

void ReminderLeadDialog::fill(const std::string& prompt, int minutes) {
    promptLabel->setText(toQString(prompt));
    leadSpin->setValue(minutes);
}

bool ReminderLeadDialog::askLeadTime(const std::string& prompt, int& minutes) {
    fill(prompt, minutes);
    if (exec() != QDialog::Accepted) return false;
    leadSpin->interpretText();
    minutes = leadSpin->value();
    return true;
}

void ReminderLeadDialog::arrange() {
    // Half the screen wide (never below 221 pixels at 96 dpi); the prompt
    // gets as many lines as wrapping it at that width really takes, so no
    // line is cut off.
    const QScreen* s = screen();
    const int half = s ? s->availableGeometry().width() / 2 : px(640);
    const int width = std::max(half, px(221));
    const QMargins frame = contentsMargins() + optionsGroup()->contentsMargins();
    const int textWidth = std::max(px(60), width - px(16) - frame.left() - frame.right() - px(24));
    const QFontMetrics fm(promptLabel->font());
    const QRect need =
        fm.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap | Qt::AlignHCenter, promptLabel->text());
    promptLines_ = std::max(1, (need.height() + fm.lineSpacing() - 1) / fm.lineSpacing());
    promptLabel->setFixedSize(textWidth, promptLines_ * fm.lineSpacing());
    optionsGroup()->setMinimumWidth(width - px(24));
}

void ReminderLeadDialog::showEvent(QShowEvent* event) {
    arrange();
    // The new sizes count before the dialog appears, not a layout pass later.
    optionsGroup()->layout()->activate();
    layout()->activate();
    OptionsDialog::showEvent(event);
}

}  // namespace orbisk
