#include "app/startup.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "app/config/config.h"
#include "app/qtext.h"

// Resources of a static library are registered by hand; the name is the .qrc's.
static void InitOrbiskResources() { Q_INIT_RESOURCE(orbisk); }

namespace orbisk {
namespace {

void ShowTopBox(QMessageBox::Icon icon, const std::string& caption, const QString& text) {
    QMessageBox box(icon, Q(caption), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (qEnvironmentVariableIsSet(kDismissBoxesEnvironment))
        QTimer::singleShot(0, &box, [&box] { box.accept(); });
    box.exec();
}

}  // namespace

std::string ConfigFilePath() {
    const QByteArray named = qgetenv(kIniEnvironment);
    if (!named.isEmpty()) return named.toStdString();
    return QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                             QLatin1String(kConfigFileName))
        .toStdString();
}

void ShowReminderBox(const QString& text) { ShowTopBox(QMessageBox::Information, kReminderCaption, text); }

void ShowConfigMissingBox() { ShowTopBox(QMessageBox::Critical, kAppTitle, Q(kConfigMissingText)); }

QIcon AppIcon() {
    InitOrbiskResources();
    return QIcon(QStringLiteral(":/orbisk/orbisk.png"));
}

}  // namespace orbisk
