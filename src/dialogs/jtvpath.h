#pragma once
// TfmJTVGuidePathQuery: the folder the JTV export writes into (the guide
// program's "TVGude" folder). The folder is not checked.
#include <string>

#include "dialogs/optionsdlg.h"

namespace orbisk {

class TPathEdit;

class TfmJTVGuidePathQuery : public TfmAbstOptionsDlg {
    Q_OBJECT
public:
    explicit TfmJTVGuidePathQuery(QWidget* parent = nullptr);
    TPathEdit* deJTV() const { return deJTV_; }

private:
    TPathEdit* deJTV_;
};

// Shows the dialog (made on first use as a child of `owner` and kept) with
// `folder` filled in; on OK `folder` gets the edited text (Windows-1251)
// and the result is true, on Cancel it stays and the result is false.
bool AskJTVGuidePath(QWidget* owner, std::string& folder);

}  // namespace orbisk
