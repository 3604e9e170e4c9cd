#pragma once
// The window's side of XMLTV guides: downloads with a progress dialog, and
// the picking list of the guide's channels ("Каналы программы XMLTV…",
// opened by itself after a refresh that found no kept channel). A child of
// the window.
#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "gui/dialogs/downloadprogressdialog.h"

class QAction;

namespace orbisk {

class ChannelPickerDialog;
class MainWindow;

class GuideActions : public QObject {
    Q_OBJECT
public:
    // Gives the window's viewer its downloader and puts pickAction after
    // channelsAction in the window's menu.
    explicit GuideActions(MainWindow& window);
    ~GuideActions() override;

    QAction* pickAction;

    // Called after each refresh that loaded: pickAction is there for a
    // guide only; a guide without kept channels opens the picking list, once
    // per window.
    void afterRefresh();
    // The picking list on the guide's channels; OK with another choice
    // rewrites [Channels] and refreshes. False when nothing changed.
    bool pickChannels();

    ChannelPickerDialog& picker();
    WindowDownloader& downloader() { return downloader_; }

private:
    bool guideSource() const;
    // The channel settings save the channels of the day shown as the
    // [Channels] list; for a guide that list is also the choice of channels,
    // so the kept ones that day lacked are put back.
    void keepChannelsOfOtherDays();

    MainWindow& window_;
    WindowDownloader downloader_;
    QPointer<ChannelPickerDialog> picker_;
    std::vector<std::string> keptAtRefresh_;
    bool asked_ = false;
};

}  // namespace orbisk
