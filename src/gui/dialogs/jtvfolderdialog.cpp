#include "gui/dialogs/jtvfolderdialog.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/dialogs/messagebasedialog.h"
#include "gui/qtext.h"

namespace orbisk {

namespace {
// The dialog is looked up by this name: one per owner.
const QString kDialogName = QStringLiteral("jtvFolderDialog");
}  // namespace

JtvFolderDialog::JtvFolderDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(kDialogName);
    const QString caption = QStringLiteral("Путь к папке TVGude программы JTV");
    setWindowTitle(caption);
    folderEdit_ = new PathEdit(PathEdit::Mode::Folder, caption, optionsGroup());
    folderEdit_->setObjectName(QStringLiteral("jtvFolderEdit"));
    auto* layout = new QVBoxLayout(optionsGroup());
    layout->addWidget(folderEdit_);
    folderEdit_->setMinimumWidth(px(360));
}

bool JtvFolderDialog::canAccept() {
    return !refuseNameOutsideCodePage(folderEdit_->edit());
}

bool askJTVGuidePath(QWidget* owner, std::string& folder, Notifier* notifier) {
    // Made once per owner and kept with it until the program ends.
    auto* dialog = owner ? owner->findChild<JtvFolderDialog*>(kDialogName, Qt::FindDirectChildrenOnly) : nullptr;
    if (!dialog) dialog = new JtvFolderDialog(owner);
    dialog->setNotifier(notifier);
    dialog->folderEdit()->setText(toQString(folder));
    if (dialog->exec() != QDialog::Accepted) return false;
    folder = fromQString(dialog->folderEdit()->text());
    return true;
}

}  // namespace orbisk
