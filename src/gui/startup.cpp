#include "gui/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "config/config.h"
#include "gui/qtext.h"

// Resources of a static library are registered by hand; the name is the .qrc's.
static void initOrbiskResources() {
    Q_INIT_RESOURCE(orbisk);
}

namespace orbisk {

void (*startupBoxShown)(QMessageBox& box) = nullptr;

namespace {

void showTopBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (startupBoxShown) startupBoxShown(box);
    box.exec();
}

}  // namespace

void showReminderBox(const QString& text) {
    showTopBox(QMessageBox::Information, QStringLiteral("Внимание!"), text);
}

void showConfigMissingBox(const std::string& ansiText) {
    showTopBox(QMessageBox::Critical, toQString(kAppTitle), toQString(ansiText));
}

QTranslator* installQtTranslations() {
    // The window is Russian whatever the locale, and so are Qt's own texts.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return translator;
    delete translator;
    return nullptr;
}

QIcon appIcon() {
    initOrbiskResources();
    return QIcon(QStringLiteral(":/orbisk/orbisk.png"));
}

}  // namespace orbisk
