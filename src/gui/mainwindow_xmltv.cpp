// The main window's XMLTV export: the document comes from src/export; the
// window asks for the file and redraws the days the export walks through.
#include <QFile>
#include <QFileDialog>

#include "export/xmltv.h"
#include "gui/mainwindow.h"
#include "gui/qtext.h"

namespace orbisk {

void MainWindow::onSaveXmltv() {
    runGuarded(this, [this] {
        QFileDialog dialog(this, QStringLiteral("Сохранить в формат XMLTV"));
        dialog.setObjectName(QStringLiteral("xmltvSaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("xml"));
        dialog.setNameFilter(QStringLiteral("XMLTV (*.xml)"));
        dialog.selectFile(QStringLiteral("tv.xml"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        const QString path = dialog.selectedFiles().front();
        WaitCursor wait;
        // The walk shows each day of the week through the window and puts
        // the day shown back on every way out.
        const XmltvResult result = exportXmltv(*viewer_, [this](DateTime d) { showDay(d); });
        saveXmltv(result.document, QFile::encodeName(path).toStdString());
    });
}

}  // namespace orbisk
