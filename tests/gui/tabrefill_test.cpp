#include "gui/tabrefill.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace orbisk {
namespace {

QStringList names(int count, const QString& prefix) {
    QStringList out;
    for (int i = 0; i < count; ++i) out << prefix + QString::number(i);
    return out;
}

QStringList texts(const QTabBar* bar) {
    QStringList out;
    for (int i = 0; i < bar->count(); ++i) out << bar->tabText(i);
    return out;
}

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

    // Not yet on the screen: it shows with its window.
    setTabTexts(bar, names(3, QStringLiteral("a")));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(texts(bar), names(3, QStringLiteral("a")));

    struct Case {
        QStringList texts;
        bool focused;
    };
    const Case cases[] = {{names(180, QStringLiteral("b")), true},
                          {names(180, QStringLiteral("c")), false},
                          {names(2, QStringLiteral("d")), true},
                          {{}, false}};
    for (const Case& c : cases) {
        if (c.focused)
            bar->setFocus();
        else
            edit->setFocus();
        setTabTexts(bar, c.texts);
        EXPECT_EQ(texts(bar), c.texts);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->hasFocus(), c.focused);
        EXPECT_EQ(edit->hasFocus(), !c.focused);
        if (!c.texts.isEmpty()) {
            EXPECT_GT(bar->tabRect(bar->count() - 1).width(), 0);
        }
    }

    bar->hide();
    setTabTexts(bar, names(4, QStringLiteral("e")));
    EXPECT_EQ(texts(bar), names(4, QStringLiteral("e")));
    EXPECT_TRUE(bar->isHidden());
}

}  // namespace
}  // namespace orbisk
