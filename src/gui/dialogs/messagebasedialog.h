#pragma once
// The message-base dialog: which echo area, in which base format, a folder
// of internet text files, or an XMLTV guide (a file or an address). It shows and edits an area identifier; the
// identifier rules are in app/config/identifier.h.
#include <string>

#include "config/identifier.h"
#include "gui/dialogs/optionsdialog.h"

class QButtonGroup;
class QFileDialog;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace orbisk {

// An edit with a browse button: a folder, or an existing file with filters.
class PathEdit : public QWidget {
    Q_OBJECT
public:
    enum class Mode { Folder, File };
    PathEdit(Mode mode, const QString& browseTitle, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    QToolButton* browseButton() const { return browse_; }
    QString text() const;
    void setText(const QString& text);
    // Filter in "Description|pattern|Description|pattern" form (Windows-1251).
    void setFilter(const std::string& filter);
    QStringList nameFilters() const { return nameFilters_; }

    // Runs the browse dialog (a QFileDialog named "browseDialog"); a choice
    // replaces the text.
    void browse();

private:
    Mode mode_;
    QString title_;
    QLineEdit* edit_;
    QToolButton* browse_;
    QStringList nameFilters_;
};

class MessageBaseDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit MessageBaseDialog(QWidget* parent = nullptr);

    // Fills the dialog from an identifier; throws Error (and changes nothing)
    // when a Hudson board is no number.
    void loadIdentifier(const std::string& identifier);
    // The identifier the dialog shows now.
    std::string composeIdentifier() const;
    AreaKind kind() const;

    // Clicking a kind: checks it and shows the matching path field, the
    // Hudson board and the file filter.
    void chooseKind(AreaKind kind);

    QRadioButton* radioOf(AreaKind kind) const;
    QRadioButton *fidoRadio, *hudsonRadio, *jamRadio, *squishRadio, *internetRadio, *guideRadio;
    QLabel* pathLabel;
    PathEdit* folderEdit;  // folder field
    PathEdit* fileEdit;  // file field
    QWidget* hudsonPanel;
    QSpinBox* hudsonBoardSpin;

protected:
    bool canAccept() override;

private:
    PathEdit* visibleField() const;
    QButtonGroup* kinds_;
};

}  // namespace orbisk
