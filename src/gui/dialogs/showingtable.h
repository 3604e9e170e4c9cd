#pragma once
// The table of showings that the search and the favourites dialogs share:
// date, time, channel and programme, one row each, read-only.
#include <QTableWidget>
#include <cstddef>
#include <vector>

#include "viewer/programmesearch.h"

namespace orbisk {

class Viewer;

// A table with the four columns, whole rows selected one at a time.
QTableWidget* makeShowingTable(QWidget* parent);
// Fills it with the first `maxRows` showings; the programme column is the
// line after its time text.
void fillShowingTable(QTableWidget* table, const std::vector<Showing>& showings, const Viewer& viewer,
                      std::size_t maxRows);

}  // namespace orbisk
