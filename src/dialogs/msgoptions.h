#pragma once
// The message-parameters dialog: which lines of a listing message to drop
// and how channel captions and times look. No value is validated.
#include "dialogs/optionsdlg.h"

class QLineEdit;
class QSpinBox;

namespace orbisk {

class Config;

class TfmMsgOptions : public TfmAbstOptionsDlg {
    Q_OBJECT
public:
    explicit TfmMsgOptions(QWidget* parent = nullptr);

    // The six values as held by the configuration.
    void Fill(const Config& config);
    // Stores them with the MSG setters, in the order DelFromBegin,
    // DelFromEnd, FirstCaptionRow, LastCaptionRow, LastDayRow, TimeFormat.
    void Store(Config& config) const;

    QSpinBox* seBegin;
    QSpinBox* seEnd;
    QLineEdit* eLastStr;
    QLineEdit* eFirstRow;
    QLineEdit* eLastRow;
    QLineEdit* eTimeFormat;
};

}  // namespace orbisk
