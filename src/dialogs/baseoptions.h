#pragma once
// The message-base dialog: which echo area, in which base format, or a folder
// of internet text files. It shows and edits an area identifier; the
// identifier rules are in app/config/identifier.h.
#include <string>

#include "app/config/identifier.h"
#include "dialogs/optionsdlg.h"

class QButtonGroup;
class QFileDialog;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace orbisk {

// An edit with a browse button: a folder, or an existing file with filters.
class TPathEdit : public QWidget {
    Q_OBJECT
public:
    enum class Mode { Folder, File };
    TPathEdit(Mode mode, const QString& browseTitle, QWidget* parent = nullptr);

    QLineEdit* Edit() const { return edit_; }
    QToolButton* BrowseButton() const { return browse_; }
    QString text() const;
    void setText(const QString& text);
    // Filter in "Description|pattern|Description|pattern" form (Windows-1251).
    void SetFilter(const std::string& filter);
    QStringList NameFilters() const { return nameFilters_; }

    // Runs the browse dialog (a QFileDialog named "browseDialog"); a choice
    // replaces the text.
    void Browse();

private:
    Mode mode_;
    QString title_;
    QLineEdit* edit_;
    QToolButton* browse_;
    QStringList nameFilters_;
};

class TfmBaseOptions : public TfmAbstOptionsDlg {
    Q_OBJECT
public:
    explicit TfmBaseOptions(QWidget* parent = nullptr);

    // Fills the dialog from an identifier; throws Error (and changes nothing)
    // when a Hudson board is no number.
    void LoadIdentifier(const std::string& identifier);
    // The identifier the dialog shows now.
    std::string ComposeIdentifier() const;
    AreaKind Kind() const;

    // Clicking a kind: checks it and shows the matching path field, the
    // Hudson board and the file filter.
    void ChooseKind(AreaKind kind);

    QRadioButton* RadioOf(AreaKind kind) const;
    QRadioButton *rbFidoStyle, *rbHudson, *rbJam, *rbSquish, *rbInternet;
    QLabel* lblPath;
    TPathEdit* deFidoPath;  // folder field
    TPathEdit* feFidoPath;  // file field
    QWidget* pHudsonParams;
    QSpinBox* seHudsonNumber;

protected:
    bool CanAccept() override;

private:
    TPathEdit* VisibleField() const;
    QButtonGroup* kinds_;
};

}  // namespace orbisk
