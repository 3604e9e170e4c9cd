#include "gui/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

namespace {

// What Qt says while the application is made: passed on once it stands,
// dropped when Qt gives up for want of a screen.
std::vector<std::pair<QtMsgType, QString>>& heldMessages() {
    static std::vector<std::pair<QtMsgType, QString>> held;
    return held;
}

void holdMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages().emplace_back(type, text);
        return;
    }
    // Qt gives up only when no platform plugin could start: no screen.
    std::fprintf(stderr, "%s\n", noScreenText().toLocal8Bit().constData());
    std::_Exit(1);
}

}  // namespace

QString noScreenText() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool named = (x && *x) || (wayland && *wayland);
    return named ? QStringLiteral("Орбиск: нет связи с экраном %1, окно показать негде. "
                                  "Без экрана работает orbisk-cli.")
                       .arg(QString::fromLocal8Bit(x && *x ? x : wayland))
                 : QStringLiteral("Орбиск: нет экрана (не заданы DISPLAY и WAYLAND_DISPLAY), окно показать негде. "
                                  "Без экрана работает orbisk-cli.");
}

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, text] : heldMessages()) {
        if (previous)
            previous(type, QMessageLogContext(), text);
        else
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    heldMessages().clear();
    return app;
}

void showReminderBox(const QString& text) {
    showTopBox(QMessageBox::Information, QStringLiteral("Внимание!"), text);
}

void showConfigMissingBox(const std::string& ansiText) {
    showTopBox(QMessageBox::Critical, toQString(kAppTitle), toQString(ansiText));
}

void showStartupErrorBox(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    showTopBox(QMessageBox::Critical, toQString(kAppTitle), text);
}

QString noAnswerText() {
    return QStringLiteral("Орбиск уже запущен, но не отвечает.");
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
