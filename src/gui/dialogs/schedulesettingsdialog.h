#pragma once
// The schedule settings: lead time, reminder text, whether jobs start this
// program, and the run line, with a help text on the macros.
#include <string>

#include "gui/dialogs/optionsdialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace orbisk {

class ScheduleSettingsDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit ScheduleSettingsDialog(QWidget* parent = nullptr);

    // Shows the four values (Windows-1251 texts); true and the edited ones
    // on OK, false and all four untouched on Cancel.
    bool editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine);
    void fill(int leadMinutes, const std::string& message, bool runMe, const std::string& runLine);
    void read(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) const;

    QSpinBox* timeShiftSpin;
    QLineEdit* messageEdit;
    QCheckBox* runCurrentProgrammeCheck;
    QLineEdit* runLineEdit;
    QLabel* helpLabel;

private:
    void onRunCurrentProgrammeClicked();
};

}  // namespace orbisk
