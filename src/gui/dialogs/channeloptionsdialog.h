#pragma once
// The channel list dialog: display names edited in place, a check box per
// channel for shown/hidden. The rows go back into the channels through
// listing/channelrows.h.
#include <QTableWidget>
#include <vector>

#include "gui/dialogs/optionsdialog.h"
#include "listing/channelrows.h"

namespace orbisk {

class ChannelList;

// The list view, telling whether a display name is being edited.
class ChannelListView : public QTableWidget {
    Q_OBJECT
public:
    using QTableWidget::QTableWidget;
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
};

class ChannelOptionsDialog : public OptionsDialog {
    Q_OBJECT
public:
    explicit ChannelOptionsDialog(QWidget* parent = nullptr);

    // One row per channel in list order: `desc`, shown = not `hide`, `name`.
    void fill(const ChannelList& channels);
    // The rows as they stand now.
    std::vector<ChannelRow> rows() const;

    // Double click: edits the display name of the selected row, if any.
    void onChannelListDoubleClicked();

    ChannelListView* channelList;

protected:
    bool canClose() override { return !channelList->isEditing(); }
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orbisk
