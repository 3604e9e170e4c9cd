#include "gui/dialogs/optionsdialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/guiutil.h"
#include "gui/qtext.h"

namespace orbisk {

OptionsDialog::OptionsDialog(QWidget* parent)
    : QDialog(parent), ownNotifier_(std::make_unique<QtNotifier>(this)) {
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    root_ = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    root_->addLayout(body_, 1);
    gbOptions_ = new QGroupBox(this);
    gbOptions_->setObjectName(QStringLiteral("gbOptions"));
    body_->addWidget(gbOptions_, 1);

    auto* buttons = new QHBoxLayout;
    btOk_ = new QPushButton(toQString("\xCE\xCA"), this);  // ОК
    btOk_->setObjectName(QStringLiteral("btOk"));
    btOk_->setDefault(true);
    btCancel_ = new QPushButton(toQString("\xCE\xF2\xEC\xE5\xED\xE0"), this);  // Отмена
    btCancel_->setObjectName(QStringLiteral("btCancel"));
    // Both stay auto-default: Enter on a focused button presses that button.
    for (QPushButton* b : {btOk_, btCancel_}) {
        b->setMinimumSize(std::max(px(75), b->sizeHint().width()), std::max(px(25), b->sizeHint().height()));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root_->addLayout(buttons);
    connect(btOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel_, &QPushButton::clicked, this, &QDialog::reject);
    setResizable(false);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::setNotifier(Notifier* notifier) { notifier_ = notifier; }

Notifier& OptionsDialog::notify() { return notifier_ ? *notifier_ : *ownNotifier_; }

void OptionsDialog::accept() {
    if (canAccept()) QDialog::accept();
}

void OptionsDialog::done(int result) {
    if (canClose()) QDialog::done(result);
}

int OptionsDialog::px(int pixels) const { return pixels * logicalDpiX() / 96; }

void OptionsDialog::setResizable(bool resizable) {
    root_->setSizeConstraint(resizable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize);
    setSizeGripEnabled(resizable);
}

void OptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the desktop, not on the owner window.
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orbisk
