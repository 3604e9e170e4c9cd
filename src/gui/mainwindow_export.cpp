// The main window's printing, JTV export and deletion of old messages: the
// texts and files come from src/export, the window asks, shows and redraws.
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "gui/mainwindow.h"
#include "gui/printing.h"
#include "gui/qtext.h"
#include "base/error.h"
#include "gui/dialogs/jtvfolderdialog.h"
#include "export/deleteold.h"
#include "export/jtv.h"
#include "export/printtext.h"

namespace orbisk {

namespace {

// "Печать телепрограммы"
constexpr char kPrintCaption[] = "\xCF\xE5\xF7\xE0\xF2\xFC \xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";
// "Распечатать телепрограмму, начиная от выбранного дня до конца выбранной
// недели? ДА - печатать, НЕТ - сохранить в файл"
constexpr char kPrintQuestion[] =
    "\xD0\xE0\xF1\xEF\xE5\xF7\xE0\xF2\xE0\xF2\xFC \xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xF3, "
    "\xED\xE0\xF7\xE8\xED\xE0\xFF \xEE\xF2 \xE2\xFB\xE1\xF0\xE0\xED\xED\xEE\xE3\xEE \xE4\xED\xFF \xE4\xEE "
    "\xEA\xEE\xED\xF6\xE0 \xE2\xFB\xE1\xF0\xE0\xED\xED\xEE\xE9 \xED\xE5\xE4\xE5\xEB\xE8? \xC4\xC0 - "
    "\xEF\xE5\xF7\xE0\xF2\xE0\xF2\xFC, \xCD\xC5\xD2 - \xF1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xF4\xE0\xE9\xEB";
// "Сохранение телепрограммы"
constexpr char kSaveTitle[] =
    "\xD1\xEE\xF5\xF0\xE0\xED\xE5\xED\xE8\xE5 \xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";
// "Все файлы (*.*)", "Текстовые файлы (*.txt)"
constexpr char kAllFilesFilter[] = "\xC2\xF1\xE5 \xF4\xE0\xE9\xEB\xFB (*.*)";
constexpr char kTextFilesFilter[] = "\xD2\xE5\xEA\xF1\xF2\xEE\xE2\xFB\xE5 \xF4\xE0\xE9\xEB\xFB (*.txt)";
// "Не удалось напечатать телепрограмму"
constexpr char kPrintFailedText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xED\xE0\xEF\xE5\xF7\xE0\xF2\xE0\xF2\xFC "
    "\xF2\xE5\xEB\xE5\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xF3";
// "Не могу записать файл "
constexpr char kCannotWriteText[] = "\xCD\xE5 \xEC\xEE\xE3\xF3 \xE7\xE0\xEF\xE8\xF1\xE0\xF2\xFC \xF4\xE0\xE9\xEB ";

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
                QFileDialog dialog(this, toQString(kSaveTitle));
                dialog.setObjectName(QStringLiteral("SaveDialog"));
                dialog.setAcceptMode(QFileDialog::AcceptSave);
                dialog.setFileMode(QFileDialog::AnyFile);  // in an existing folder
                dialog.setDefaultSuffix(QStringLiteral("txt"));
                dialog.setNameFilters({toQString(kAllFilesFilter), toQString(kTextFilesFilter)});
                dialog.selectNameFilter(toQString(kTextFilesFilter));
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
        if (!askJTVGuidePath(this, folder)) return;
        viewer_->settings().setJtvGuidePath(folder);
        JtvResult result;
        {
            WaitCursor wait;
            result = exportJtv(*viewer_, folder, nullptr, [this](DateTime d) { showDay(d); });
        }
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
            box.setDefaultButton(QMessageBox::No);
            yes = box.exec() == QMessageBox::Yes;
        } else {
            yes = notifier_->ask(question, kDeleteMsgsCaption, MsgIcon::Question, Buttons::YesNo) == Answer::Yes;
        }
        if (!yes) return;
        WaitCursor wait;
        deleteOldMessages(*viewer_, [this] { refreshListings(); });
    });
}

}  // namespace orbisk
