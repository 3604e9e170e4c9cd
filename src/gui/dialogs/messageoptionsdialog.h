#pragma once
// The message-parameters dialog: which lines of a listing message to drop
// and how channel captions and times look. No value is validated.
#include "gui/dialogs/optionsdialog.h"

class QLineEdit;
class QSpinBox;

namespace orbisk {

class Config;

class MessageOptionsDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit MessageOptionsDialog(QWidget* parent = nullptr);

    // The six values as held by the configuration.
    void fill(const Config& config);
    // Stores them with the MSG setters, in the order delFromBegin,
    // delFromEnd, firstCaptionRow, lastCaptionRow, lastDayRow, timeFormat.
    void store(Config& config) const;

    QSpinBox* delFromBeginSpin;
    QSpinBox* delFromEndSpin;
    QLineEdit* lastLineEdit;
    QLineEdit* firstCaptionRowEdit;
    QLineEdit* lastCaptionRowEdit;
    QLineEdit* timeFormatEdit;
};

}  // namespace orbisk
