#include "gui/dialogs/messagebasedialog.h"

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

#include "gui/qtext.h"

namespace orbisk {

PathEdit::PathEdit(Mode mode, const QString& browseTitle, QWidget* parent)
    : QWidget(parent), mode_(mode), title_(browseTitle) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    edit_ = new QLineEdit(this);
    browse_ = new QToolButton(this);
    browse_->setObjectName(QStringLiteral("browse"));
    browse_->setIcon(QIcon::fromTheme(
        mode == Mode::Folder ? QStringLiteral("folder-open") : QStringLiteral("document-open"),
        style()->standardIcon(mode == Mode::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileDialogStart)));
    browse_->setToolTip(browseTitle);
    row->addWidget(edit_, 1);
    row->addWidget(browse_);
    setFocusProxy(edit_);
    connect(browse_, &QToolButton::clicked, this, &PathEdit::browse);
}

QString PathEdit::text() const {
    return edit_->text();
}
void PathEdit::setText(const QString& text) {
    edit_->setText(text);
}

void PathEdit::setFilter(const std::string& filter) {
    // "Description|pattern|..." pairs; Qt reads the patterns from the
    // parentheses, so a description without them gets the pattern appended.
    nameFilters_.clear();
    const QStringList parts = toQString(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        if (!desc.contains(QLatin1Char('('))) desc += QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
        nameFilters_ << desc;
    }
}

void PathEdit::browse() {
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

MessageBaseDialog::MessageBaseDialog(QWidget* parent) : OptionsDialog(parent) {
    setObjectName(QStringLiteral("messageBaseDialog"));
    setWindowTitle(QStringLiteral("База сообщений"));
    const QString browseTitle = QStringLiteral("Путь к эхообласти");
    optionsGroup()->setTitle(browseTitle);

    auto* grid = new QGridLayout(optionsGroup());
    pathLabel = new QLabel(QStringLiteral("&Путь"), optionsGroup());
    folderEdit = new PathEdit(PathEdit::Mode::Folder, browseTitle, optionsGroup());
    folderEdit->setObjectName(QStringLiteral("folderPathEdit"));
    fileEdit = new PathEdit(PathEdit::Mode::File, browseTitle, optionsGroup());
    fileEdit->setObjectName(QStringLiteral("filePathEdit"));
    for (PathEdit* f : {folderEdit, fileEdit}) f->edit()->setMinimumWidth(px(320));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(folderEdit);
    pathRow->addWidget(fileEdit);
    grid->addWidget(pathLabel, 0, 0);
    grid->addLayout(pathRow, 0, 1);

    hudsonPanel = new QWidget(optionsGroup());
    hudsonPanel->setObjectName(QStringLiteral("hudsonPanel"));
    auto* hudsonRow = new QHBoxLayout(hudsonPanel);
    hudsonRow->setContentsMargins(0, 0, 0, 0);
    auto* hudsonLabel = new QLabel(QStringLiteral("&№ эхообласти Hudson"), hudsonPanel);
    hudsonBoardSpin = new QSpinBox(hudsonPanel);
    hudsonBoardSpin->setObjectName(QStringLiteral("hudsonBoardSpin"));
    hudsonBoardSpin->setRange(kMinHudsonBoard, kMaxHudsonBoard);
    hudsonBoardSpin->setValue(1);
    hudsonLabel->setBuddy(hudsonBoardSpin);
    hudsonRow->addWidget(hudsonLabel);
    hudsonRow->addWidget(hudsonBoardSpin);
    hudsonRow->addStretch(1);
    // Hiding the board must not make the fixed-size dialog jump.
    QSizePolicy keep = hudsonPanel->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    hudsonPanel->setSizePolicy(keep);
    grid->addWidget(hudsonPanel, 1, 1);

    kinds_ = new QButtonGroup(this);
    auto addKind = [&](AreaKind kind, const QString& caption, const char* name, int row) {
        auto* rb = new QRadioButton(caption, optionsGroup());
        rb->setObjectName(QLatin1String(name));
        kinds_->addButton(rb, static_cast<int>(kind));
        grid->addWidget(rb, row, 0, 1, 2);
        connect(rb, &QRadioButton::clicked, this, [this, kind] { chooseKind(kind); });
        return rb;
    };
    fidoRadio = addKind(AreaKind::Fido, QStringLiteral("&Fido (*.msg)"), "fidoRadio", 2);
    hudsonRadio = addKind(AreaKind::Hudson, QStringLiteral("&Hudson"), "hudsonRadio", 3);
    jamRadio = addKind(AreaKind::Jam, QStringLiteral("&Jam"), "jamRadio", 4);
    squishRadio = addKind(AreaKind::Squish, QStringLiteral("&Squish"), "squishRadio", 5);
    internetRadio = addKind(AreaKind::Internet, QStringLiteral("&Текстовые файлы из интернета"), "internetRadio", 6);
    guideRadio = addKind(AreaKind::Guide, QStringLiteral("Программа &XMLTV: файл или адрес http(s)"), "guideRadio", 7);
    grid->setColumnStretch(1, 1);

    chooseKind(AreaKind::Fido);
}

QRadioButton* MessageBaseDialog::radioOf(AreaKind kind) const {
    return static_cast<QRadioButton*>(kinds_->button(static_cast<int>(kind)));
}

AreaKind MessageBaseDialog::kind() const {
    const int id = kinds_->checkedId();
    return id < 0 ? AreaKind::Fido : static_cast<AreaKind>(id);
}

void MessageBaseDialog::chooseKind(AreaKind kind) {
    radioOf(kind)->setChecked(true);
    const bool folder = areaUsesFolder(kind);
    folderEdit->setVisible(folder);
    fileEdit->setVisible(!folder);
    pathLabel->setBuddy(folder ? folderEdit->edit() : fileEdit->edit());
    hudsonPanel->setVisible(kind == AreaKind::Hudson);
    if (!folder) fileEdit->setFilter(areaFileFilter(kind));
}

PathEdit* MessageBaseDialog::visibleField() const {
    return areaUsesFolder(kind()) ? folderEdit : fileEdit;
}

void MessageBaseDialog::loadIdentifier(const std::string& identifier) {
    const AreaSetting s = orbisk::loadIdentifier(identifier);
    folderEdit->setText(toQString(s.path));
    // The file field shows the base's data file, so that OK on an unchanged
    // JAM or Squish base finds an existing file.
    fileEdit->setText(toQString(dataFileForBase(s.kind, s.path)));
    hudsonBoardSpin->setValue(s.hudsonBoard);
    chooseKind(s.kind);
}

std::string MessageBaseDialog::composeIdentifier() const {
    return orbisk::composeIdentifier(
        AreaSetting{kind(), hudsonBoardSpin->value(), fromQString(visibleField()->text())});
}

bool MessageBaseDialog::canAccept() {
    PathEdit* field = visibleField();
    if (refuseNameOutsideCodePage(field->edit())) return false;
    const std::string warning = checkAreaPath(kind(), fromQString(field->text()));
    if (warning.empty()) return true;
    notify().show(warning, kSettingsCaption, MsgIcon::Warning);
    field->edit()->setFocus();
    return false;
}

}  // namespace orbisk
