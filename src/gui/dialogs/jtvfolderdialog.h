#pragma once
// JtvFolderDialog: the folder the JTV export writes into (the guide
// program's "TVGude" folder). Whether it exists is the export's business;
// a name the settings' 1251 cannot hold is refused here.
#include <string>

#include "gui/dialogs/optionsdialog.h"

namespace orbisk {

class PathEdit;

class JtvFolderDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit JtvFolderDialog(QWidget* parent = nullptr);
    PathEdit* folderEdit() const { return folderEdit_; }

protected:
    bool canAccept() override;

private:
    PathEdit* folderEdit_;
};

// Shows the dialog (made on first use as a child of `owner` and kept) with
// `folder` filled in; on OK `folder` gets the edited text (Windows-1251)
// and the result is true, on Cancel it stays and the result is false.
// `notifier`: where the dialog's warnings go (null: its own boxes).
bool askJTVGuidePath(QWidget* owner, std::string& folder, Notifier* notifier = nullptr);

}  // namespace orbisk
