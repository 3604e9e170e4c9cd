#include "gui/tabrefill.h"

#include <QStringList>
#include <QTabBar>

namespace orbisk {

void setTabTexts(QTabBar* bar, const QStringList& texts) {
    const bool shown = bar->isVisible();
    const bool focused = bar->hasFocus();
    if (shown) bar->hide();
    const int count = static_cast<int>(texts.size());
    while (bar->count() > count) bar->removeTab(bar->count() - 1);
    for (int tab = 0; tab < bar->count(); ++tab)
        if (bar->tabText(tab) != texts[tab]) bar->setTabText(tab, texts[tab]);
    while (bar->count() < count) bar->addTab(texts[bar->count()]);
    if (!shown) return;
    bar->show();
    if (focused) bar->setFocus();
}

}  // namespace orbisk
