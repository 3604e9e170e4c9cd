#pragma once
// JtvFolderDialog: the folder the JTV export writes into (the guide
// program's "TVGude" folder). The folder is not checked.
#include <string>

#include "gui/dialogs/optionsdialog.h"

namespace orbisk {

class PathEdit;

class JtvFolderDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit JtvFolderDialog(QWidget* parent = nullptr);
    PathEdit* folderEdit() const { return folderEdit_; }

private:
    PathEdit* folderEdit_;
};

// Shows the dialog (made on first use as a child of `owner` and kept) with
// `folder` filled in; on OK `folder` gets the edited text (Windows-1251)
// and the result is true, on Cancel it stays and the result is false.
bool askJTVGuidePath(QWidget* owner, std::string& folder);

}  // namespace orbisk
