#include "gui/dialogs/optionsdialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "config/identifier.h"
#include "gui/guiutil.h"
#include "gui/qtext.h"

namespace orbisk {

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent), ownNotifier_(std::make_unique<QtNotifier>(this)) {
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    root_ = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    root_->addLayout(body_, 1);
    optionsGroup_ = new QGroupBox(this);
    optionsGroup_->setObjectName(QStringLiteral("optionsGroup"));
    body_->addWidget(optionsGroup_, 1);

    auto* buttons = new QHBoxLayout;
    okButton_ = new QPushButton(QStringLiteral("ОК"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    // Both stay auto-default: Enter on a focused button presses that button.
    for (QPushButton* b : {okButton_, cancelButton_}) {
        b->setMinimumSize(std::max(px(75), b->sizeHint().width()), std::max(px(25), b->sizeHint().height()));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root_->addLayout(buttons);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    setResizable(false);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::setNotifier(Notifier* notifier) {
    notifier_ = notifier;
}

Notifier& OptionsDialog::notify() {
    return notifier_ ? *notifier_ : *ownNotifier_;
}

bool OptionsDialog::refuseNameOutsideCodePage(QLineEdit* edit) {
    const std::string ansi = fromQString(edit->text());
    if (toQString(ansi) == edit->text()) return false;
    notify().show(kPathNotInCodePageText + std::string(" ") + ansi, kSettingsCaption, MsgIcon::Warning);
    edit->setFocus();
    return true;
}

void OptionsDialog::accept() {
    if (canAccept()) QDialog::accept();
}

void OptionsDialog::done(int result) {
    if (canClose()) QDialog::done(result);
}

int OptionsDialog::px(int pixels) const {
    return pixels * logicalDpiX() / 96;
}

void OptionsDialog::setResizable(bool resizable) {
    root_->setSizeConstraint(resizable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize);
    setSizeGripEnabled(resizable);
}

void OptionsDialog::focusFirstField() {
    // The frame's buttons come first in the focus chain (they are made
    // before any field); the keyboard starts on the first field after them.
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w == okButton_ || w == cancelButton_ || !isAncestorOf(w)) continue;
        if (w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void OptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    focusFirstField();
    // Centred on the desktop, not on the owner window.
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orbisk
