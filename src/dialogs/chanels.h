#pragma once
// The channel list dialog: display names edited in place, a check box per
// channel for shown/hidden. The rows go back into the channels through
// listing/channelrows.h.
#include <QTableWidget>
#include <vector>

#include "dialogs/optionsdlg.h"
#include "listing/channelrows.h"

namespace orbisk {

class TChannels;

// The list view, telling whether a display name is being edited.
class TChannelListView : public QTableWidget {
    Q_OBJECT
public:
    using QTableWidget::QTableWidget;
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
};

class TfmChanelOptions : public TfmAbstOptionsDlg {
    Q_OBJECT
public:
    explicit TfmChanelOptions(QWidget* parent = nullptr);

    // One row per channel in list order: Desc, shown = not Hide, Name.
    void Fill(const TChannels& channels);
    // The rows as they stand now.
    std::vector<ChannelRow> Rows() const;

    // Double click: edits the display name of the selected row, if any.
    void lvChanelDblClick();

    TChannelListView* lvChanel;

protected:
    bool CanClose() override { return !lvChanel->IsEditing(); }
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orbisk
