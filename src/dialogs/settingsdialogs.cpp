#include "dialogs/settingsdialogs.h"

#include <cstdio>
#include <cstdlib>

#include "dialogs/baseoptions.h"
#include "dialogs/chanels.h"
#include "dialogs/msgoptions.h"
#include "listing/channelrows.h"

namespace orbisk {

SettingsDialogs::SettingsDialogs(QWidget* owner) : owner_(owner) {}

SettingsDialogs::~SettingsDialogs() {
    // Dialogs the owner has not destroyed yet (or that have no owner) go now.
    delete base_.data();
    delete msg_.data();
    delete channels_.data();
}

void SettingsDialogs::SetNotifier(Notifier* notifier) {
    notifier_ = notifier;
    if (base_) base_->SetNotifier(notifier);
    if (msg_) msg_->SetNotifier(notifier);
    if (channels_) channels_->SetNotifier(notifier);
}

TfmBaseOptions& SettingsDialogs::BaseOptions() {
    if (!base_) {
        base_ = new TfmBaseOptions(owner_);
        base_->SetNotifier(notifier_);
    }
    return *base_;
}

TfmMsgOptions& SettingsDialogs::MsgOptions() {
    if (!msg_) {
        msg_ = new TfmMsgOptions(owner_);
        msg_->SetNotifier(notifier_);
    }
    return *msg_;
}

TfmChanelOptions& SettingsDialogs::ChanelOptions() {
    if (!channels_) {
        channels_ = new TfmChanelOptions(owner_);
        channels_->SetNotifier(notifier_);
    }
    return *channels_;
}

bool SettingsDialogs::EditMessageBase(Config& config) {
    TfmBaseOptions& dialog = BaseOptions();
    dialog.LoadIdentifier(config.FIDOPath());
    if (dialog.exec() != QDialog::Accepted) return false;
    config.SetFIDOPath(dialog.ComposeIdentifier());
    return true;
}

bool SettingsDialogs::EditMessageParams(Config& config) {
    TfmMsgOptions& dialog = MsgOptions();
    dialog.Fill(config);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.Store(config);
    return true;
}

bool SettingsDialogs::EditChannels(TChannels& channels) {
    TfmChanelOptions& dialog = ChanelOptions();
    dialog.Fill(channels);
    if (dialog.exec() != QDialog::Accepted) return false;
    return ApplyChannelRows(channels, dialog.Rows());
}

void EndProcessNow(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace orbisk
