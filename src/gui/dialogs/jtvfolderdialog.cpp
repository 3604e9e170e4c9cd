#include "gui/dialogs/jtvfolderdialog.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "gui/qtext.h"
#include "gui/dialogs/messagebasedialog.h"

namespace orbisk {

namespace {
// "Путь к папке TVGude программы JTV"
constexpr char kCaption[] = "\xCF\xF3\xF2\xFC \xEA \xEF\xE0\xEF\xEA\xE5 TVGude \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB JTV";
}  // namespace

JtvFolderDialog::JtvFolderDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("TfmJTVGuidePathQuery"));
    setWindowTitle(toQString(kCaption));
    deJTV_ = new PathEdit(PathEdit::Mode::Folder, toQString(kCaption), optionsGroup());
    deJTV_->setObjectName(QStringLiteral("deJTV"));
    auto* layout = new QVBoxLayout(optionsGroup());
    layout->addWidget(deJTV_);
    deJTV_->setMinimumWidth(px(360));
}

bool askJTVGuidePath(QWidget* owner, std::string& folder) {
    // Made once per owner and kept with it until the program ends.
    auto* dialog = owner ? owner->findChild<JtvFolderDialog*>(QStringLiteral("TfmJTVGuidePathQuery"),
                                                                    Qt::FindDirectChildrenOnly)
                         : nullptr;
    if (!dialog) dialog = new JtvFolderDialog(owner);
    dialog->deJTV()->setText(toQString(folder));
    if (dialog->exec() != QDialog::Accepted) return false;
    folder = fromQString(dialog->deJTV()->text());
    return true;
}

}  // namespace orbisk
