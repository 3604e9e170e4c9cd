#include "gui/startup.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "config/config.h"
#include "gui/qtext.h"

// Resources of a static library are registered by hand; the name is the .qrc's.
static void initOrbiskResources() { Q_INIT_RESOURCE(orbisk); }

namespace orbisk {
namespace {

void showTopBox(QMessageBox::Icon icon, const std::string& caption, const QString& text) {
    QMessageBox box(icon, toQString(caption), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (qEnvironmentVariableIsSet(kDismissBoxesEnvironment))
        QTimer::singleShot(0, &box, [&box] { box.accept(); });
    box.exec();
}

}  // namespace

std::string configFilePath() {
    const QByteArray named = qgetenv(kIniEnvironment);
    if (!named.isEmpty()) return named.toStdString();
    return QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                             QLatin1String(kConfigFileName))
        .toStdString();
}

void showReminderBox(const QString& text) { showTopBox(QMessageBox::Information, kReminderCaption, text); }

void showConfigMissingBox() { showTopBox(QMessageBox::Critical, kAppTitle, toQString(kConfigMissingText)); }

QIcon appIcon() {
    initOrbiskResources();
    return QIcon(QStringLiteral(":/orbisk/orbisk.png"));
}

}  // namespace orbisk
