#pragma once
// Message boxes, the general error box and the wait cursor, shared by the
// main window and the dialogs.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "base/ui.h"

namespace orbisk {

// Notifier on Qt message boxes owned by `owner` (may be null).
class QtNotifier : public Notifier {
public:
    explicit QtNotifier(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const std::string& text, const std::string& caption, MsgIcon icon) override;
    Answer ask(const std::string& text, const std::string& caption, MsgIcon icon, Buttons buttons) override;

private:
    QWidget* owner_;
};

// The general error box: the text with a full stop appended when it does not
// end with one, caption "Орбиск", error icon.
void showErrorBox(QWidget* owner, const std::string& ansiText);

// Runs an action; an error it lets escape goes to the general error box.
// Returns false when it did.
bool runGuarded(QWidget* owner, const std::function<void()>& action);

// The wait cursor for the lifetime of the guard; the cursor and the focus
// are restored on every way out.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QPointer<QWidget> focus_;
};

}  // namespace orbisk
