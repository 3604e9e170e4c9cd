#pragma once
// The lead-time question asked for every reminder: the prompt on top, the
// minutes below it, OK focused. As wide as half the screen and as high as
// the wrapped prompt needs.
#include <string>

#include "gui/dialogs/optionsdialog.h"

class QLabel;
class QSpinBox;

namespace orbisk {

class ReminderLeadDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit ReminderLeadDialog(QWidget* parent = nullptr);

    // The prompt (Windows-1251) and the minutes offered; true and the new
    // minutes on OK, false and `minutes` untouched on Cancel.
    bool askLeadTime(const std::string& prompt, int& minutes);
    // Puts the texts in without showing the dialog.
    void fill(const std::string& prompt, int minutes);

    // The lines the prompt takes at the dialog's width (at least 1).
    int promptLines() const { return promptLines_; }

    QLabel* promptLabel;
    QWidget* leadPanel;
    QSpinBox* leadSpin;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void arrange();
    int promptLines_ = 1;
};

}  // namespace orbisk
