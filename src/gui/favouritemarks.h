#pragma once
// How a favourite looks: its title in a colour of its own, in italics, in
// the day view and in the current-programmes grid. A favourite stays
// recognisable on the running line's yellow and under the picked time's
// underline, which change the background and the underline only.
#include <QColor>
#include <cstddef>
#include <vector>

#include "viewer/dayview.h"

class QTableWidget;
class QTextDocument;

namespace orbisk {

// Dark red on a light page, a light rose on a dark one; `onYellow`: the
// running line, always light.
QColor favouriteColour(bool darkPage, bool onYellow = false);

// The titles (after the time text) of the marked lines of the day view.
// `runningLine`: the line on yellow, -1 when none.
void markFavouriteLines(QTextDocument* doc, const DayText& text, const std::vector<bool>& marks,
                        std::size_t timeLength, int runningLine, bool darkPage);

// Row `row` of the grid as a favourite or plain (channel and title cells).
void markFavouriteRow(QTableWidget* grid, int row, bool favourite);

}  // namespace orbisk
