#pragma once
// The frame every option dialog shares: a group box that takes the room,
// and at the bottom left "ОК" (default button, result OK) and "Отмена"
// (cancel button and Esc, result Cancel). A fixed-size dialog centred on the
// desktop unless a derived dialog makes itself resizable.
#include <QDialog>
#include <memory>

#include "base/ui.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace orbisk {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget* parent = nullptr);
    ~OptionsDialog() override;

    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QGroupBox* optionsGroup() const { return optionsGroup_; }

    // Where the dialog's warnings go; null restores the message boxes owned
    // by this dialog. Not owned.
    void setNotifier(Notifier* notifier);

    // OK closes only when canAccept agrees; nothing closes while canClose
    // refuses.
    void accept() override;
    void done(int result) override;

protected:
    virtual bool canAccept() { return true; }
    virtual bool canClose() { return true; }
    Notifier& notify();
    // The settings file is 1251: a folder or file name it cannot hold would
    // be stored mangled and never found again. Such a name in `edit` is
    // refused with a warning and the focus goes back to it (true).
    bool refuseNameOutsideCodePage(QLineEdit* edit);

    // The column above the buttons that holds the group box; a derived dialog
    // may add widgets beside or instead of it.
    QVBoxLayout* body() const { return body_; }
    // A length given in pixels at 96 dpi, at this screen's resolution.
    int px(int pixels) const;
    // Resizable instead of fixed (the frame is fixed by default).
    void setResizable(bool resizable);

    // Every showing starts on the first field, not on OK (also when the
    // dialog is shown again after OK was pressed).
    void showEvent(QShowEvent* event) override;
    void focusFirstField();

private:
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QGroupBox* optionsGroup_;
    QVBoxLayout* root_;
    QVBoxLayout* body_;
    std::unique_ptr<Notifier> ownNotifier_;
    Notifier* notifier_ = nullptr;
};

}  // namespace orbisk
