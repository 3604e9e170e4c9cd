#include "gui/dialogs/settingsdialogs.h"

#include <cstdio>
#include <cstdlib>

#include "gui/dialogs/messagebasedialog.h"
#include "gui/dialogs/channeloptionsdialog.h"
#include "gui/dialogs/messageoptionsdialog.h"
#include "listing/channelrows.h"

namespace orbisk {

SettingsDialogs::SettingsDialogs(QWidget* owner) : owner_(owner) {}

SettingsDialogs::~SettingsDialogs() {
    // Dialogs the owner has not destroyed yet (or that have no owner) go now.
    delete base_.data();
    delete msg_.data();
    delete channels_.data();
}

void SettingsDialogs::setNotifier(Notifier* notifier) {
    notifier_ = notifier;
    if (base_) base_->setNotifier(notifier);
    if (msg_) msg_->setNotifier(notifier);
    if (channels_) channels_->setNotifier(notifier);
}

MessageBaseDialog& SettingsDialogs::baseOptions() {
    if (!base_) {
        base_ = new MessageBaseDialog(owner_);
        base_->setNotifier(notifier_);
    }
    return *base_;
}

MessageOptionsDialog& SettingsDialogs::msgOptions() {
    if (!msg_) {
        msg_ = new MessageOptionsDialog(owner_);
        msg_->setNotifier(notifier_);
    }
    return *msg_;
}

ChannelOptionsDialog& SettingsDialogs::channelOptions() {
    if (!channels_) {
        channels_ = new ChannelOptionsDialog(owner_);
        channels_->setNotifier(notifier_);
    }
    return *channels_;
}

bool SettingsDialogs::editMessageBase(Config& config) {
    MessageBaseDialog& dialog = baseOptions();
    dialog.loadIdentifier(config.fidoPath());
    if (dialog.exec() != QDialog::Accepted) return false;
    config.setFidoPath(dialog.composeIdentifier());
    return true;
}

bool SettingsDialogs::editMessageParams(Config& config) {
    MessageOptionsDialog& dialog = msgOptions();
    dialog.fill(config);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.store(config);
    return true;
}

bool SettingsDialogs::editChannels(ChannelList& channels) {
    ChannelOptionsDialog& dialog = channelOptions();
    dialog.fill(channels);
    if (dialog.exec() != QDialog::Accepted) return false;
    return applyChannelRows(channels, dialog.rows());
}

void endProcessNow(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace orbisk
