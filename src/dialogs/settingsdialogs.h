#pragma once
// The settings dialogs as the main window uses them. Each dialog is made on
// first use, kept until this object goes, and filled from the current values
// every time it is shown.
//
// Callers:
//   OptionsClick:      if (dialogs.EditMessageBase(config)) RefreshListings
//   aMessageExecute:   dialogs.EditMessageParams(config)       (nothing else)
//   aChannelsExecute:  if (dialogs.EditChannels(channels)) channels.Save()
//   RefreshListings:   LoadConfig(prompts) false -> EndProcessNow(0)
// Each inside RunGuarded: a stored Hudson identifier whose board is no number
// makes EditMessageBase throw before the dialog opens, and a setter whose
// write fails throws after it closed.
#include <QPointer>

#include "app/config/config.h"
#include "base/ui.h"

class QWidget;

namespace orbisk {

class TChannels;
class TfmBaseOptions;
class TfmMsgOptions;
class TfmChanelOptions;

class SettingsDialogs {
public:
    // The dialogs are owned by `owner` (the main window; may be null, then by
    // this object).
    explicit SettingsDialogs(QWidget* owner = nullptr);
    ~SettingsDialogs();
    SettingsDialogs(const SettingsDialogs&) = delete;
    SettingsDialogs& operator=(const SettingsDialogs&) = delete;

    // The message-base dialog preset from config.FIDOPath(); OK stores the
    // composed identifier with SetFIDOPath and gives true; Cancel changes
    // nothing and gives false.
    bool EditMessageBase(Config& config);
    // The message-parameters dialog; OK stores the six values with the MSG
    // setters (in their order) and gives true; Cancel gives false.
    bool EditMessageParams(Config& config);
    // The channel list of the day shown; true when OK was pressed and some
    // channel's Desc or Hide changed. The caller then calls channels.Save().
    bool EditChannels(TChannels& channels);

    // Where the dialogs' warnings go (null: message boxes owned by the
    // dialog). Not owned; applies to dialogs made before and after.
    void SetNotifier(Notifier* notifier);

    // The dialogs, made on first use.
    TfmBaseOptions& BaseOptions();
    TfmMsgOptions& MsgOptions();
    TfmChanelOptions& ChanelOptions();

private:
    QPointer<QWidget> owner_;
    QPointer<TfmBaseOptions> base_;
    QPointer<TfmMsgOptions> msg_;
    QPointer<TfmChanelOptions> channels_;
    Notifier* notifier_ = nullptr;
};

// LoadConfig's first-run dialogs in the desktop program.
class GuiConfigPrompts : public ConfigPrompts {
public:
    explicit GuiConfigPrompts(SettingsDialogs& dialogs) : dialogs_(dialogs) {}
    bool EditMessageBase(Config& config) override { return dialogs_.EditMessageBase(config); }
    bool EditMessageParams(Config& config) override { return dialogs_.EditMessageParams(config); }

private:
    SettingsDialogs& dialogs_;
};

// Ends the process at once with this exit code and no message: what
// RefreshListings does when LoadConfig gave false (the message parameters
// were missing and their dialog was cancelled). Every setting is already on
// disk (setters write at once); nothing else is saved.
[[noreturn]] void EndProcessNow(int exitCode = 0);

}  // namespace orbisk
