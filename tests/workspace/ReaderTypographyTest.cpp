#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "platform/InterfaceFont.h"
#include "workspace/ReaderMenuTypography.h"
#include "platform/ReaderPreferences.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <array>

using namespace folvan::workspace;
using Role = folvan::platform::InterfaceTextRole;

namespace {

// A size in interface points as Qt's point size.
double points(double interfacePoints)
{
    return interfacePoints * folvan::platform::kQtPointsPerInterfacePoint;
}

class ReaderTypographyTest : public folvan::test::ShellTest {
protected:
    static void store(const char *key, const QVariant &value)
    {
        defaults().setValue(QString::fromLatin1(key), value);
    }
};

TEST_F(ReaderTypographyTest, PreferencesAreClampedAndUnusableValuesReadAsDefaults)
{
    using P = folvan::platform::ReaderPreferences;
    EXPECT_EQ((std::array{P::interfaceSize(), P::toolsHideDelay(), P::referenceDelay()}), (std::array{15.0, 10.0, 0.35}));
    const char *size = "folvan.interfaceTextSize", *tools = "folvan.toolsHideDelay", *hover = "folvan.referenceDelay",
               *note = "folvan.noteTextSize";
    const std::tuple<const char *, QVariant, double (*)(), double> cases[] = {
        {size, 12.0, P::interfaceSize, 13}, {size, 25, P::interfaceSize, 20}, {size, 16.5, P::interfaceSize, 16.5},
        {size, QStringLiteral("18"), P::interfaceSize, 15}, {size, qQNaN(), P::interfaceSize, 15},
        {size, qInf(), P::interfaceSize, 15}, {tools, 0.0, P::toolsHideDelay, 3}, {tools, 100.0, P::toolsHideDelay, 30},
        {hover, 0.1, P::referenceDelay, 0.2}, {hover, 2.0, P::referenceDelay, 1.5},
        {note, 999.0, P::noteTextSize, 24}, {note, 3, P::noteTextSize, 12}, {note, qInf(), P::noteTextSize, 15},
        {note, 18.0, P::noteTextSize, 18},
    };
    for (const auto &[key, stored, read, expected] : cases) {
        store(key, stored);
        EXPECT_DOUBLE_EQ(read(), expected) << key << " " << stored.toString().toStdString();
    }
}

TEST_F(ReaderTypographyTest, WidgetsAndMenusFollowTheSize)
{
    QLabel label;
    folvan::platform::useInterfaceFont(&label, Role::title);
    QMainWindow window;
    QMenu *top = window.menuBar()->addMenu(QStringLiteral("阅读"));
    QMenu *deep = top->addMenu(QStringLiteral("一"))->addMenu(QStringLiteral("二"));
    deep->addAction(QStringLiteral("三"));

    ReaderMenuTypography typography;
    typography.start();
    typography.start();
    store("folvan.interfaceTextSize", 17.0);
    store("folvan.interfaceTextSize", 18.0);
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), points(25));
    // Any number of changes cause one pass, queued once.
    EXPECT_TRUE(typography.isScheduled());
    EXPECT_TRUE(folvan::test::waitFor([&] { return !typography.isScheduled(); }));
    EXPECT_DOUBLE_EQ(deep->font().pointSizeF(), points(18));
    EXPECT_DOUBLE_EQ(top->font().pointSizeF(), points(18));

    // A menu made later takes the size when items are added to it.
    QMenu later;
    later.addAction(QStringLiteral("四"));
    EXPECT_DOUBLE_EQ(later.font().pointSizeF(), points(18));
}

} // namespace
