#include "dialogs/jtvpath.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "app/qtext.h"
#include "dialogs/baseoptions.h"

namespace orbisk {

namespace {
// "Путь к папке TVGude программы JTV"
constexpr char kCaption[] = "\xCF\xF3\xF2\xFC \xEA \xEF\xE0\xEF\xEA\xE5 TVGude \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB JTV";
}  // namespace

TfmJTVGuidePathQuery::TfmJTVGuidePathQuery(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("TfmJTVGuidePathQuery"));
    setWindowTitle(Q(kCaption));
    deJTV_ = new TPathEdit(TPathEdit::Mode::Folder, Q(kCaption), gbOptions());
    deJTV_->setObjectName(QStringLiteral("deJTV"));
    auto* layout = new QVBoxLayout(gbOptions());
    layout->addWidget(deJTV_);
    deJTV_->setMinimumWidth(Px(360));
}

bool AskJTVGuidePath(QWidget* owner, std::string& folder) {
    // Made once per owner and kept with it until the program ends.
    auto* dialog = owner ? owner->findChild<TfmJTVGuidePathQuery*>(QStringLiteral("TfmJTVGuidePathQuery"),
                                                                    Qt::FindDirectChildrenOnly)
                         : nullptr;
    if (!dialog) dialog = new TfmJTVGuidePathQuery(owner);
    dialog->deJTV()->setText(Q(folder));
    if (dialog->exec() != QDialog::Accepted) return false;
    folder = A(dialog->deJTV()->text());
    return true;
}

}  // namespace orbisk
