#include "dialogs/optionsdlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/guiutil.h"
#include "app/qtext.h"

namespace orbisk {

TfmAbstOptionsDlg::TfmAbstOptionsDlg(QWidget* parent)
    : QDialog(parent), ownNotifier_(std::make_unique<QtNotifier>(this)) {
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    root_ = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    root_->addLayout(body_, 1);
    gbOptions_ = new QGroupBox(this);
    gbOptions_->setObjectName(QStringLiteral("gbOptions"));
    body_->addWidget(gbOptions_, 1);

    auto* buttons = new QHBoxLayout;
    btOk_ = new QPushButton(Q("\xCE\xCA"), this);  // ОК
    btOk_->setObjectName(QStringLiteral("btOk"));
    btOk_->setDefault(true);
    btCancel_ = new QPushButton(Q("\xCE\xF2\xEC\xE5\xED\xE0"), this);  // Отмена
    btCancel_->setObjectName(QStringLiteral("btCancel"));
    // Both stay auto-default: Enter on a focused button presses that button.
    for (QPushButton* b : {btOk_, btCancel_}) {
        b->setMinimumSize(std::max(Px(75), b->sizeHint().width()), std::max(Px(25), b->sizeHint().height()));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root_->addLayout(buttons);
    connect(btOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel_, &QPushButton::clicked, this, &QDialog::reject);
    SetResizable(false);
}

TfmAbstOptionsDlg::~TfmAbstOptionsDlg() = default;

void TfmAbstOptionsDlg::SetNotifier(Notifier* notifier) { notifier_ = notifier; }

Notifier& TfmAbstOptionsDlg::Notify() { return notifier_ ? *notifier_ : *ownNotifier_; }

void TfmAbstOptionsDlg::accept() {
    if (CanAccept()) QDialog::accept();
}

void TfmAbstOptionsDlg::done(int result) {
    if (CanClose()) QDialog::done(result);
}

int TfmAbstOptionsDlg::Px(int pixels) const { return pixels * logicalDpiX() / 96; }

void TfmAbstOptionsDlg::SetResizable(bool resizable) {
    root_->setSizeConstraint(resizable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize);
    setSizeGripEnabled(resizable);
}

void TfmAbstOptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the desktop, not on the owner window.
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orbisk
