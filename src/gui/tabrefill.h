#pragma once
// Refilling a tab bar of many tabs. QTabBar lays every tab out again at each
// tab it inserts, and a shown one also at each text it changes, so refilling
// a bar of 180 channels tab by tab cost tens of milliseconds on every day
// shown. Hidden, a bar only notes that its layout is due.
#include <QStringList>

class QTabBar;

namespace orbisk {

// Gives `bar` one tab per text, in order: the tabs it has keep their place
// and take the new texts, missing ones are added and extra ones removed at
// the end. The bar is hidden meanwhile when it is shown, then shown again
// with the focus it had. Signals are the caller's to block.
void setTabTexts(QTabBar* bar, const QStringList& texts);

}  // namespace orbisk
