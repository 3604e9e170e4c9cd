#include "dialogs/baseoptions.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/qtext.h"

namespace orbisk {

namespace {

// "Путь к эхообласти"
constexpr char kBrowseTitle[] = "\xCF\xF3\xF2\xFC \xEA \xFD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xE8";

}  // namespace

TPathEdit::TPathEdit(Mode mode, const QString& browseTitle, QWidget* parent)
    : QWidget(parent), mode_(mode), title_(browseTitle) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    edit_ = new QLineEdit(this);
    browse_ = new QToolButton(this);
    browse_->setObjectName(QStringLiteral("browse"));
    browse_->setIcon(QIcon::fromTheme(mode == Mode::Folder ? QStringLiteral("folder-open")
                                                           : QStringLiteral("document-open"),
                                      style()->standardIcon(mode == Mode::Folder ? QStyle::SP_DirOpenIcon
                                                                                 : QStyle::SP_FileDialogStart)));
    browse_->setToolTip(browseTitle);
    row->addWidget(edit_, 1);
    row->addWidget(browse_);
    setFocusProxy(edit_);
    connect(browse_, &QToolButton::clicked, this, &TPathEdit::Browse);
}

QString TPathEdit::text() const { return edit_->text(); }
void TPathEdit::setText(const QString& text) { edit_->setText(text); }

void TPathEdit::SetFilter(const std::string& filter) {
    // "Description|pattern|..." pairs; Qt reads the patterns from the
    // parentheses, so a description without them gets the pattern appended.
    nameFilters_.clear();
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        if (!desc.contains(QLatin1Char('('))) desc += QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
        nameFilters_ << desc;
    }
}

void TPathEdit::Browse() {
    QFileDialog dialog(this, title_);
    dialog.setObjectName(QStringLiteral("browseDialog"));
    if (mode_ == Mode::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setDirectory(text());
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (!nameFilters_.isEmpty()) dialog.setNameFilters(nameFilters_);
        const QFileInfo current(text());
        dialog.setDirectory(current.absolutePath());
        if (current.exists()) dialog.selectFile(current.fileName());
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        edit_->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

TfmBaseOptions::TfmBaseOptions(QWidget* parent) : TfmAbstOptionsDlg(parent) {
    setObjectName(QStringLiteral("fmBaseOptions"));
    setWindowTitle(Q("\xC1\xE0\xE7\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9"));  // База сообщений
    gbOptions()->setTitle(Q(kBrowseTitle));                                     // Путь к эхообласти

    auto* grid = new QGridLayout(gbOptions());
    lblPath = new QLabel(Q("&\xCF\xF3\xF2\xFC"), gbOptions());  // &Путь
    deFidoPath = new TPathEdit(TPathEdit::Mode::Folder, Q(kBrowseTitle), gbOptions());
    deFidoPath->setObjectName(QStringLiteral("deFidoPath"));
    feFidoPath = new TPathEdit(TPathEdit::Mode::File, Q(kBrowseTitle), gbOptions());
    feFidoPath->setObjectName(QStringLiteral("feFidoPath"));
    for (TPathEdit* f : {deFidoPath, feFidoPath}) f->Edit()->setMinimumWidth(Px(320));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(deFidoPath);
    pathRow->addWidget(feFidoPath);
    grid->addWidget(lblPath, 0, 0);
    grid->addLayout(pathRow, 0, 1);

    pHudsonParams = new QWidget(gbOptions());
    pHudsonParams->setObjectName(QStringLiteral("pHudsonParams"));
    auto* hudsonRow = new QHBoxLayout(pHudsonParams);
    hudsonRow->setContentsMargins(0, 0, 0, 0);
    // &№ эхообласти Hudson
    auto* lblHudson = new QLabel(Q("&\xB9 \xFD\xF5\xEE\xEE\xE1\xEB\xE0\xF1\xF2\xE8 Hudson"), pHudsonParams);
    seHudsonNumber = new QSpinBox(pHudsonParams);
    seHudsonNumber->setObjectName(QStringLiteral("seHudsonNumber"));
    seHudsonNumber->setRange(kMinHudsonBoard, kMaxHudsonBoard);
    seHudsonNumber->setValue(1);
    lblHudson->setBuddy(seHudsonNumber);
    hudsonRow->addWidget(lblHudson);
    hudsonRow->addWidget(seHudsonNumber);
    hudsonRow->addStretch(1);
    // Hiding the board must not make the fixed-size dialog jump.
    QSizePolicy keep = pHudsonParams->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pHudsonParams->setSizePolicy(keep);
    grid->addWidget(pHudsonParams, 1, 1);

    kinds_ = new QButtonGroup(this);
    auto addKind = [&](AreaKind kind, const char* caption, const char* name, int row) {
        auto* rb = new QRadioButton(Q(caption), gbOptions());
        rb->setObjectName(QLatin1String(name));
        kinds_->addButton(rb, static_cast<int>(kind));
        grid->addWidget(rb, row, 0, 1, 2);
        connect(rb, &QRadioButton::clicked, this, [this, kind] { ChooseKind(kind); });
        return rb;
    };
    rbFidoStyle = addKind(AreaKind::Fido, "&Fido (*.msg)", "rbFidoStyle", 2);
    rbHudson = addKind(AreaKind::Hudson, "&Hudson", "rbHudson", 3);
    rbJam = addKind(AreaKind::Jam, "&Jam", "rbJam", 4);
    rbSquish = addKind(AreaKind::Squish, "&Squish", "rbSquish", 5);
    // &Текстовые файлы из интернета
    rbInternet = addKind(AreaKind::Internet,
                         "&\xD2\xE5\xEA\xF1\xF2\xEE\xE2\xFB\xE5 \xF4\xE0\xE9\xEB\xFB \xE8\xE7 "
                         "\xE8\xED\xF2\xE5\xF0\xED\xE5\xF2\xE0",
                         "rbInternet", 6);
    // Fido can be shown (stored, empty or unknown identifiers) but not picked.
    rbFidoStyle->setEnabled(false);
    grid->setColumnStretch(1, 1);

    ChooseKind(AreaKind::Fido);
}

QRadioButton* TfmBaseOptions::RadioOf(AreaKind kind) const {
    return static_cast<QRadioButton*>(kinds_->button(static_cast<int>(kind)));
}

AreaKind TfmBaseOptions::Kind() const {
    const int id = kinds_->checkedId();
    return id < 0 ? AreaKind::Fido : static_cast<AreaKind>(id);
}

void TfmBaseOptions::ChooseKind(AreaKind kind) {
    RadioOf(kind)->setChecked(true);
    const bool folder = AreaUsesFolder(kind);
    deFidoPath->setVisible(folder);
    feFidoPath->setVisible(!folder);
    lblPath->setBuddy(folder ? deFidoPath->Edit() : feFidoPath->Edit());
    pHudsonParams->setVisible(kind == AreaKind::Hudson);
    if (!folder) feFidoPath->SetFilter(AreaFileFilter(kind));
}

TPathEdit* TfmBaseOptions::VisibleField() const { return AreaUsesFolder(Kind()) ? deFidoPath : feFidoPath; }

void TfmBaseOptions::LoadIdentifier(const std::string& identifier) {
    const AreaSetting s = orbisk::LoadIdentifier(identifier);
    deFidoPath->setText(Q(s.path));
    // The file field shows the base's data file, so that OK on an unchanged
    // JAM or Squish base finds an existing file.
    feFidoPath->setText(Q(DataFileForBase(s.kind, s.path)));
    seHudsonNumber->setValue(s.hudsonBoard);
    ChooseKind(s.kind);
}

std::string TfmBaseOptions::ComposeIdentifier() const {
    return orbisk::ComposeIdentifier(AreaSetting{Kind(), seHudsonNumber->value(), A(VisibleField()->text())});
}

bool TfmBaseOptions::CanAccept() {
    TPathEdit* field = VisibleField();
    const std::string warning = CheckAreaPath(Kind(), A(field->text()));
    if (warning.empty()) return true;
    Notify().Show(warning, kSettingsCaption, MsgIcon::Warning);
    field->Edit()->setFocus();
    return false;
}

}  // namespace orbisk
