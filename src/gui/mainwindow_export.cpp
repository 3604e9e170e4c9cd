// The main window's printing, JTV export and deletion of old messages: the
// texts and files come from src/export, the window asks, shows and redraws.
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "base/error.h"
#include "export/deleteold.h"
#include "export/jtv.h"
#include "export/printtext.h"
#include "gui/dialogs/jtvfolderdialog.h"
#include "gui/mainwindow.h"
#include "gui/printing.h"
#include "gui/qtext.h"

namespace orbisk {

namespace {

constexpr const char* kPrintCaption = "Печать телепрограммы"_cp1251;
constexpr const char* kPrintQuestion =
    "Распечатать телепрограмму, начиная от выбранного дня до конца выбранной недели? "
    "ДА - печатать, НЕТ - сохранить в файл"_cp1251;
constexpr const char* kPrintFailedText = "Не удалось напечатать телепрограмму"_cp1251;
constexpr const char* kCannotWriteText = "Не могу записать файл "_cp1251;

}  // namespace

void MainWindow::onPrint() {
    runGuarded(this, [this] {
        const Answer answer = notifier_->ask(kPrintQuestion, kPrintCaption, MsgIcon::Question, Buttons::YesNoCancel);
        if (answer != Answer::Yes && answer != Answer::No) return;
        // The core puts the day's channel list back itself; the window only
        // has to draw it again, whichever way this ends.
        const auto restore = [this] {
            setPrinting(false);
            showChannelDay();
        };
        try {
            std::string text;
            {
                setPrinting(true);
                WaitCursor wait;
                text = buildPrintText(*viewer_);
            }
            if (answer == Answer::Yes) {
                QPrinter printer(QPrinter::HighResolution);
                if (printerSetup) {
                    if (!printerSetup(printer)) return restore();
                } else {
                    QPrintDialog dialog(&printer, this);
                    if (dialog.exec() != QDialog::Accepted) return restore();
                }
                WaitCursor wait;
                if (!printOemText(text, printer)) throw Error(kPrintFailedText);
            } else {
                QFileDialog dialog(this, QStringLiteral("Сохранение телепрограммы"));
                dialog.setObjectName(QStringLiteral("printSaveDialog"));
                dialog.setAcceptMode(QFileDialog::AcceptSave);
                dialog.setFileMode(QFileDialog::AnyFile);  // in an existing folder
                dialog.setDefaultSuffix(QStringLiteral("txt"));
                const QString textFiles = QStringLiteral("Текстовые файлы (*.txt)");
                dialog.setNameFilters({QStringLiteral("Все файлы (*.*)"), textFiles});
                dialog.selectNameFilter(textFiles);
                dialog.selectFile(QStringLiteral("Orbisk.txt"));
                if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return restore();
                const QString path = dialog.selectedFiles().front();
                WaitCursor wait;
                if (!saveOemText(text, path)) throw Error(kCannotWriteText + fromQString(path));
            }
        } catch (...) {
            try {
                restore();
            } catch (const Error&) {
            }
            throw;
        }
        restore();
    });
}

void MainWindow::onSaveJtv() {
    runGuarded(this, [this] {
        std::string folder = viewer_->settings().jtvGuidePath();
        if (!askJTVGuidePath(this, folder, ownNotifier_ ? nullptr : notifier_)) return;
        viewer_->settings().setJtvGuidePath(folder);
        JtvResult result;
        {
            WaitCursor wait;
            result = exportJtv(*viewer_, folder, nullptr, [this](DateTime d) { showDay(d); });
        }
        if (!result.skipped.empty())
            notifier_->show(jtvSkippedText(result.skipped), kJtvCutCaption, MsgIcon::Error);
        if (!result.cut.empty()) notifier_->show(jtvCutText(result.cut), kJtvCutCaption, MsgIcon::Warning);
    });
}

void MainWindow::onDeleteOld() {
    runGuarded(this, [this] {
        const DateTime cutoff = deletionCutoff(viewer_->shownDate());
        const std::string question = deletionQuestion(cutoff, viewer_->settings().format());
        bool yes;
        if (ownNotifier_) {
            // The window's own box, so that No is the default button.
            QMessageBox box(QMessageBox::Question, toQString(kDeleteMsgsCaption), toQString(question),
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setTextFormat(Qt::PlainText);
            box.setDefaultButton(QMessageBox::No);
            yes = box.exec() == QMessageBox::Yes;
        } else {
            yes = notifier_->ask(question, kDeleteMsgsCaption, MsgIcon::Question, Buttons::YesNo) == Answer::Yes;
        }
        if (!yes) return;
        DeletionResult done;
        {
            WaitCursor wait;
            done = deleteOldMessages(*viewer_, [this] { refreshListings(); });
        }
        const std::string problems = deletionProblemsText(done);
        if (!problems.empty()) notifier_->show(problems, kDeleteMsgsCaption, MsgIcon::Warning);
    });
}

}  // namespace orbisk
