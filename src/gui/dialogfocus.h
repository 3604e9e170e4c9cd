#pragma once
// After a dialog or message box of the main window closes, the keyboard is
// back in the day's list: the window is active again and the arrow keys
// move through the programmes without Tabs through the week buttons first.
#include <functional>

class QWidget;

namespace orbisk {

// Watches the modal windows owned by `window` (dialogs, boxes, file
// pickers); when the last of them closes, activates `window` and calls
// `focusView`. Lives as long as `window`.
void returnFocusAfterDialogs(QWidget* window, std::function<void()> focusView);

}  // namespace orbisk
