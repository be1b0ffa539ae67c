#include <gtest/gtest.h>
#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "workspace/ReaderFont.h"
#include "workspace/ReaderMenuTypography.h"
#include "workspace/ReaderPreferences.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <cmath>
#include <limits>

using namespace folvan::workspace;
using folvan::platform::Preferences;

namespace {

// A size in interface points as Qt's point size.
double points(double interfacePoints)
{
    return interfacePoints * kQtPointsPerInterfacePoint;
}

class ReaderTypographyTest : public folvan::test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        Preferences::resetSharedForTesting();
    }
    void TearDown() override
    {
        Preferences::resetSharedForTesting();
        TempHomeTest::TearDown();
    }
    static void store(const char *key, const QVariant &value)
    {
        Preferences::shared().setValue(QString::fromLatin1(key), value);
    }
};

TEST_F(ReaderTypographyTest, MissingOrUnusableValuesReadAsDefaults)
{
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 15);
    EXPECT_DOUBLE_EQ(ReaderPreferences::toolsHideDelay(), 10);
    EXPECT_DOUBLE_EQ(ReaderPreferences::referenceDelay(), 0.35);

    store("folvan.interfaceTextSize", QStringLiteral("18"));
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 15);
    store("folvan.interfaceTextSize", std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 15);
    store("folvan.interfaceTextSize", std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 15);
}

TEST_F(ReaderTypographyTest, StoredValuesAreClampedButNotRounded)
{
    store("folvan.interfaceTextSize", 12.0);
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 13);
    store("folvan.interfaceTextSize", 25);
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 20);
    store("folvan.interfaceTextSize", 16.5);
    EXPECT_DOUBLE_EQ(ReaderPreferences::interfaceSize(), 16.5);

    store("folvan.toolsHideDelay", 0.0);
    EXPECT_DOUBLE_EQ(ReaderPreferences::toolsHideDelay(), 3);
    store("folvan.toolsHideDelay", 100.0);
    EXPECT_DOUBLE_EQ(ReaderPreferences::toolsHideDelay(), 30);
    store("folvan.referenceDelay", 0.1);
    EXPECT_DOUBLE_EQ(ReaderPreferences::referenceDelay(), 0.2);
    store("folvan.referenceDelay", 2.0);
    EXPECT_DOUBLE_EQ(ReaderPreferences::referenceDelay(), 1.5);
}

TEST_F(ReaderTypographyTest, RolesFollowTheInterfaceSizeWithATwelvePointFloor)
{
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::body).pointSizeF(), points(15));
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::caption).pointSizeF(), points(13));
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::title).pointSizeF(), points(22));
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::title3).pointSizeF(), points(18));
    const QFont headline = readerFont(ReaderFontRole::headline);
    EXPECT_DOUBLE_EQ(headline.pointSizeF(), points(16));
    EXPECT_EQ(headline.weight(), QFont::DemiBold);
    EXPECT_EQ(readerFont(ReaderFontRole::body).weight(), QFont::Normal);
    EXPECT_EQ(readerFont(ReaderFontRole::body, QFont::Medium).weight(), QFont::Medium);

    store("folvan.interfaceTextSize", 13.0);
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::callout).pointSizeF(), points(12));
    EXPECT_DOUBLE_EQ(readerFont(ReaderFontRole::caption).pointSizeF(), points(12));
}

TEST_F(ReaderTypographyTest, MonospacedDigitsKeepLettersProportional)
{
    const QFontMetricsF metrics(readerFont(ReaderFontRole::body, std::nullopt, true));
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QLatin1Char(digit)), zero) << digit;
    EXPECT_NE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
}

TEST_F(ReaderTypographyTest, AWidgetFollowsTheSizeAtOnce)
{
    QLabel label;
    useReaderFont(&label, ReaderFontRole::title);
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), points(22));
    store("folvan.interfaceTextSize", 18.0);
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), points(25));
}

TEST_F(ReaderTypographyTest, MenusTakeTheSizeDepthFirstAndPassesAreCoalesced)
{
    QMainWindow window;
    QMenu *top = window.menuBar()->addMenu(QStringLiteral("阅读"));
    QMenu *middle = top->addMenu(QStringLiteral("一"));
    QMenu *deep = middle->addMenu(QStringLiteral("二"));
    deep->addAction(QStringLiteral("三"));

    ReaderMenuTypography typography;
    typography.start();
    typography.start();
    EXPECT_TRUE(typography.isScheduled());
    store("folvan.interfaceTextSize", 17.0);
    store("folvan.interfaceTextSize", 18.0);
    EXPECT_TRUE(typography.isScheduled());
    // The menu bar's own extension menu may queue one more pass; none is
    // queued for ever.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !typography.isScheduled(); }, 1000));
    EXPECT_DOUBLE_EQ(deep->font().pointSizeF(), points(18));
    EXPECT_DOUBLE_EQ(top->font().pointSizeF(), points(18));

    // A menu made later takes the size when items are added to it.
    QMenu later;
    later.addAction(QStringLiteral("四"));
    EXPECT_DOUBLE_EQ(later.font().pointSizeF(), points(18));
}

} // namespace
