#pragma once
// The settings dialogs as the main window uses them: from its menu and as
// loadConfig's first-run prompts. Each dialog is made on first use, kept
// until this object goes, and filled from the current values every time it
// is shown.
//
// Callers run them inside runGuarded: a stored Hudson identifier whose board
// is no number makes editMessageBase throw before the dialog opens, and a
// setter whose write fails throws after it closed.
#include <QPointer>

#include "base/ui.h"
#include "config/config.h"

class QWidget;

namespace orbisk {

class ChannelList;
class MessageBaseDialog;
class MessageOptionsDialog;
class ChannelOptionsDialog;

class SettingsDialogs {
public:
    // The dialogs are owned by `owner` (the main window; may be null, then by
    // this object).
    explicit SettingsDialogs(QWidget* owner = nullptr);
    ~SettingsDialogs();
    SettingsDialogs(const SettingsDialogs&) = delete;
    SettingsDialogs& operator=(const SettingsDialogs&) = delete;

    // The message-base dialog preset from config.fidoPath(); OK stores the
    // composed identifier with setFidoPath and gives true; Cancel changes
    // nothing and gives false.
    bool editMessageBase(Config& config);
    // The message-parameters dialog; OK stores the six values with the MSG
    // setters (in their order) and gives true; Cancel gives false.
    bool editMessageParams(Config& config);
    // The channel list of the day shown; true when OK was pressed and some
    // channel's `desc` or `hide` changed. The caller then calls channels.save().
    bool editChannels(ChannelList& channels);

    // Where the dialogs' warnings go (null: message boxes owned by the
    // dialog). Not owned; applies to dialogs made before and after.
    void setNotifier(Notifier* notifier);

    // The dialogs, made on first use.
    MessageBaseDialog& baseOptions();
    MessageOptionsDialog& msgOptions();
    ChannelOptionsDialog& channelOptions();

private:
    QPointer<QWidget> owner_;
    QPointer<MessageBaseDialog> base_;
    QPointer<MessageOptionsDialog> msg_;
    QPointer<ChannelOptionsDialog> channels_;
    Notifier* notifier_ = nullptr;
};

// loadConfig's first-run dialogs in the desktop program.
class GuiConfigPrompts : public ConfigPrompts {
public:
    explicit GuiConfigPrompts(SettingsDialogs& dialogs) : dialogs_(dialogs) {}
    bool editMessageBase(Config& config) override { return dialogs_.editMessageBase(config); }
    bool editMessageParams(Config& config) override { return dialogs_.editMessageParams(config); }

private:
    SettingsDialogs& dialogs_;
};

// Ends the process at once with this exit code and no message: what
// refreshListings does when loadConfig gave false (the message parameters
// were missing and their dialog was cancelled). Every setting is already on
// disk (setters write at once); nothing else is saved.
[[noreturn]] void endProcessNow(int exitCode = 0);

}  // namespace orbisk
