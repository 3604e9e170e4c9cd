#pragma once
// The frame every option dialog shares: a group box that takes the room,
// and at the bottom left "ОК" (default button, result OK) and "Отмена"
// (cancel button and Esc, result Cancel). A fixed-size dialog centred on the
// desktop unless a derived dialog makes itself resizable.
#include <QDialog>
#include <memory>

#include "base/ui.h"

class QGroupBox;
class QPushButton;
class QVBoxLayout;

namespace orbisk {

class TfmAbstOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbstOptionsDlg(QWidget* parent = nullptr);
    ~TfmAbstOptionsDlg() override;

    QPushButton* btOk() const { return btOk_; }
    QPushButton* btCancel() const { return btCancel_; }
    QGroupBox* gbOptions() const { return gbOptions_; }

    // Where the dialog's warnings go; null restores the message boxes owned
    // by this dialog. Not owned.
    void SetNotifier(Notifier* notifier);

    // OK closes only when CanAccept agrees; nothing closes while CanClose
    // refuses.
    void accept() override;
    void done(int result) override;

protected:
    virtual bool CanAccept() { return true; }
    virtual bool CanClose() { return true; }
    Notifier& Notify();

    // The column above the buttons that holds the group box; a derived dialog
    // may add widgets beside or instead of it.
    QVBoxLayout* Body() const { return body_; }
    // A length given in pixels at 96 dpi, at this screen's resolution.
    int Px(int pixels) const;
    // Resizable instead of fixed (the frame is fixed by default).
    void SetResizable(bool resizable);

    void showEvent(QShowEvent* event) override;

private:
    QPushButton* btOk_;
    QPushButton* btCancel_;
    QGroupBox* gbOptions_;
    QVBoxLayout* root_;
    QVBoxLayout* body_;
    std::unique_ptr<Notifier> ownNotifier_;
    Notifier* notifier_ = nullptr;
};

}  // namespace orbisk
