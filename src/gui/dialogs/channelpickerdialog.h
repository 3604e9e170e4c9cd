#pragma once
// The searchable picking list of a guide's channels: ticked names are the
// ones the window keeps (the settings' [Channels] list).
#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace orbisk {

class ChannelPickerDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChannelPickerDialog(QWidget* parent = nullptr);

    // The guide's names in its order, ticked when kept; kept names the guide
    // lacks follow, ticked, so that they can be let go (1251 texts).
    void setChannels(const std::vector<std::string>& guideNames, const std::vector<std::string>& kept);
    // The ticked names, in list order.
    std::vector<std::string> tickedNames() const;

    QLineEdit* searchEdit;
    QListWidget* channelList;
    QLabel* countLabel;

private:
    void applySearch();
    void updateCount();
};

}  // namespace orbisk
