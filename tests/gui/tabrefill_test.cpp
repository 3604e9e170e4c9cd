#include "gui/tabrefill.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

namespace orbisk {
namespace {

// The bar holds the new texts whether it grows, shrinks or keeps its count,
// and comes back as it was: shown, with the focus it had, or hidden.
TEST(TabRefill, TheBarHoldsTheNewTextsAndComesBackAsItWas) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new QTabBar;
    auto* edit = new QLineEdit;
    layout->addWidget(bar);
    layout->addWidget(edit);
    bar->setFocusPolicy(Qt::StrongFocus);
    auto check = [&](int count, QChar prefix, bool focused) {
        QStringList texts;
        for (int i = 0; i < count; ++i) texts << prefix + QString::number(i);
        (focused ? static_cast<QWidget*>(bar) : edit)->setFocus();
        setTabTexts(bar, texts);
        QStringList got;
        for (int i = 0; i < bar->count(); ++i) got << bar->tabText(i);
        EXPECT_EQ(got, texts);
        EXPECT_EQ(bar->isVisible(), window.isVisible() && !bar->isHidden());
        if (window.isActiveWindow() && bar->isVisible()) {
            EXPECT_EQ(bar->hasFocus(), focused);
        }
    };
    check(3, u'a', false);  // before the window shows: it shows with it
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(bar->isVisible());
    check(180, u'b', true);
    check(180, u'c', false);
    check(2, u'd', true);
    check(0, u'e', false);
    bar->hide();
    check(4, u'f', false);
    EXPECT_TRUE(bar->isHidden());
}

}  // namespace
}  // namespace orbisk
