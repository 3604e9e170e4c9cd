#include "dialogs/delaydlg.h"

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

#include "app/qtext.h"

namespace orbisk {

TfmDelayDlg::TfmDelayDlg(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("fmDelayDlg"));
    setWindowTitle(Q("\xC4\xEE\xE1\xE0\xE2\xEB\xE5\xED\xE8\xE5 \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5"));  // Добавление в расписание

    auto* box = new QVBoxLayout(gbOptions());
    lblPrompt = new QLabel(gbOptions());
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblPrompt->setWordWrap(true);
    lblPrompt->setTextFormat(Qt::PlainText);
    box->addWidget(lblPrompt);

    pDelayPanel = new QWidget(gbOptions());
    pDelayPanel->setObjectName(QStringLiteral("pDelayPanel"));
    auto* row = new QHBoxLayout(pDelayPanel);
    row->setContentsMargins(0, 0, 0, 0);
    seDelay = new QSpinBox(pDelayPanel);
    seDelay->setObjectName(QStringLiteral("seDelay"));
    // No bounds here: the run time refuses a lead outside 0..59 itself.
    seDelay->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto* before = new QLabel(Q("&\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE0\xF2\xFC \xE7\xE0 "), pDelayPanel);  // &Предупреждать за
    before->setBuddy(seDelay);
    row->addStretch(1);
    row->addWidget(before);
    row->addWidget(seDelay);
    row->addWidget(new QLabel(Q("\xEC\xE8\xED\xF3\xF2"), pDelayPanel));  // минут
    row->addStretch(1);
    box->addWidget(pDelayPanel);
}

void TfmDelayDlg::Fill(const std::string& prompt, int minutes) {
    lblPrompt->setText(Q(prompt));
    seDelay->setValue(minutes);
}

bool TfmDelayDlg::AskLeadTime(const std::string& prompt, int& minutes) {
    Fill(prompt, minutes);
    if (exec() != QDialog::Accepted) return false;
    seDelay->interpretText();
    minutes = seDelay->value();
    return true;
}

void TfmDelayDlg::Arrange() {
    // Half the screen wide (never below 221 pixels at 96 dpi); the prompt
    // gets as many lines as wrapping it at that width really takes, so no
    // line is cut off.
    const QScreen* s = screen();
    const int half = s ? s->availableGeometry().width() / 2 : Px(640);
    const int width = std::max(half, Px(221));
    const QMargins frame = contentsMargins() + gbOptions()->contentsMargins();
    const int textWidth = std::max(Px(60), width - Px(16) - frame.left() - frame.right() - Px(24));
    const QFontMetrics fm(lblPrompt->font());
    const QRect need = fm.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap | Qt::AlignHCenter,
                                       lblPrompt->text());
    promptLines_ = std::max(1, (need.height() + fm.lineSpacing() - 1) / fm.lineSpacing());
    lblPrompt->setFixedSize(textWidth, promptLines_ * fm.lineSpacing());
    gbOptions()->setMinimumWidth(width - Px(24));
}

void TfmDelayDlg::showEvent(QShowEvent* event) {
    Arrange();
    // The new sizes count before the dialog appears, not a layout pass later.
    gbOptions()->layout()->activate();
    layout()->activate();
    btOk()->setFocus();
    TfmAbstOptionsDlg::showEvent(event);
}

}  // namespace orbisk
