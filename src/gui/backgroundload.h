#pragma once
// A refresh's load on a thread of its own: the window keeps painting while
// the messages are read, and a progress box says how far the load got when
// it takes longer than half a second.
class QWidget;

namespace orbisk {

class ListingLoad;

// Runs load.run() on another thread and returns when it is done. Until then
// this thread paints and runs its timers, but keeps the user's input for
// later, so nothing the user does acts on a viewer whose load is away.
void runLoadInBackground(QWidget* parent, ListingLoad& load);

}  // namespace orbisk
