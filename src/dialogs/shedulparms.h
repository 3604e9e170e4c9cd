#pragma once
// The schedule settings: lead time, reminder text, whether jobs start this
// program, and the run line, with a help text on the macros.
#include <string>

#include "dialogs/optionsdlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace orbisk {

class TfmSchedulParms : public TfmAbstOptionsDlg {
    Q_OBJECT
public:
    explicit TfmSchedulParms(QWidget* parent = nullptr);

    // Shows the four values (Windows-1251 texts); true and the edited ones
    // on OK, false and all four untouched on Cancel.
    bool EditScheduleSettings(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine);
    void Fill(int leadMinutes, const std::string& message, bool runMe, const std::string& runLine);
    void Read(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) const;

    QSpinBox* seTimeShift;
    QLineEdit* eMessage;
    QCheckBox* rbRunCurrentPrg;
    QLineEdit* eRun;
    QLabel* lHelp;

private:
    void rbRunCurrentPrgClick();
};

}  // namespace orbisk
