#pragma once
// "Поиск передачи": the showings of the loaded weeks whose titles hold the
// words typed, found as the user types. Enter or a double click shows a
// showing in the window; F4 sets a reminder for it.
#include <QDialog>
#include <vector>

#include "viewer/programmesearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace orbisk {

class Viewer;

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    // More rows than this are found but not listed.
    static constexpr std::size_t kMaxRows = 500;

    SearchDialog(Viewer& viewer, QWidget* parent = nullptr);

    // The channel list and the results anew (after a refresh, on showing).
    void reload();
    // The search for what the controls hold now.
    void runSearch();
    const std::vector<Showing>& results() const { return results_; }
    // The showing of the selected row, null when none is selected.
    const Showing* selectedShowing() const;

    QLineEdit* queryEdit;
    QCheckBox* allDaysCheck;
    QComboBox* channelCombo;
    QTableWidget* resultTable;
    QLabel* countLabel;

signals:
    void openRequested(int row);
    void reminderRequested(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Viewer& viewer_;
    std::vector<Showing> results_;
};

}  // namespace orbisk
