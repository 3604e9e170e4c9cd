#include "gui/guiutil.h"

#include <QApplication>
#include <QMessageBox>

#include "base/error.h"
#include "config/config.h"
#include "gui/qtext.h"

namespace orbisk {
namespace {

QMessageBox::Icon toQt(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(Buttons b) {
    switch (b) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

void QtNotifier::show(const std::string& text, const std::string& caption, MsgIcon icon) {
    QMessageBox box(toQt(icon), toQString(caption), toQString(text), QMessageBox::Ok, owner_);
    box.setTextFormat(Qt::PlainText);  // texts quote listing titles, which anyone can write
    box.exec();
}

Answer QtNotifier::ask(const std::string& text, const std::string& caption, MsgIcon icon, Buttons buttons) {
    QMessageBox box(toQt(icon), toQString(caption), toQString(text), toQt(buttons), owner_);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

void showErrorBox(QWidget* owner, const std::string& ansiText) {
    QMessageBox box(QMessageBox::Critical, toQString(kAppTitle), toQString(withFullStop(ansiText)), QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool runGuarded(QWidget* owner, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const Error& e) {
        showErrorBox(owner, e.what());
    } catch (const std::exception& e) {
        showErrorBox(owner, e.what());
    }
    return false;
}

WaitCursor::WaitCursor() : focus_(QApplication::focusWidget()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
    if (focus_) focus_->setFocus();
}

}  // namespace orbisk
