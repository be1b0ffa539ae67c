#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"

#include "support/TestEnv.h"

#include <QFontMetricsF>
#include <QLabel>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

using folvan::platform::interfaceFont;
using folvan::platform::InterfaceTextRole;
using folvan::platform::Preferences;
using Role = InterfaceTextRole;

namespace {

class InterfaceFontTest : public folvan::test::TempHomeTest {
protected:
    static void storeSize(const QVariant &size)
    {
        Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), size);
    }
    // A size in interface points as Qt's point size.
    static double points(double interfacePoints) { return interfacePoints * folvan::platform::kQtPointsPerInterfacePoint; }
};

// Each role is a step from the interface size, clamped to 13 ... 20 (a value
// that is not a number reads as 15), never below 12.
TEST_F(InterfaceFontTest, RolesAreStepsFromTheClampedSizeWithATwelvePointFloor)
{
    const std::tuple<double, Role, double> sizes[] = {
        {15, Role::body, 15},    {15, Role::caption, 13}, {15, Role::title, 22},   {15, Role::title3, 18},
        {15, Role::headline, 16}, {13, Role::callout, 12}, {13, Role::caption, 12}, {40, Role::body, 20},
        {4, Role::caption, 12},   {std::numeric_limits<double>::quiet_NaN(), Role::body, 15},
    };
    for (const auto &[base, role, expected] : sizes) {
        storeSize(base);
        EXPECT_DOUBLE_EQ(interfaceFont(role).pointSizeF(), points(expected)) << base << " " << int(role);
    }
    EXPECT_EQ(interfaceFont(Role::headline).weight(), QFont::DemiBold);
    EXPECT_EQ(interfaceFont(Role::body).weight(), QFont::Normal);
    EXPECT_EQ(interfaceFont(Role::headline, QFont::Medium).weight(), QFont::Medium);
}

TEST_F(InterfaceFontTest, TabularDigitsKeepLettersProportional)
{
    const QFontMetricsF metrics(interfaceFont(Role::body, std::nullopt, true));
    for (char digit = '1'; digit <= '9'; ++digit)
        EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QLatin1Char(digit)), metrics.horizontalAdvance(QLatin1Char('0')));
    EXPECT_NE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
}

// A widget follows the size at once with the role, weight and digits of its
// last call; other keys and a gone context call nothing.
TEST_F(InterfaceFontTest, WidgetsFollowTheSizeWithTheirLastRole)
{
    QLabel label;
    folvan::platform::useInterfaceFont(&label, Role::title);
    folvan::platform::useInterfaceFont(&label, Role::caption, QFont::Bold, true);
    int calls = 0;
    auto context = std::make_unique<QObject>();
    folvan::platform::onInterfaceTextSizeChange(context.get(), [&calls] { ++calls; });

    storeSize(18.0);
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), points(16));
    EXPECT_EQ(label.font().weight(), QFont::Bold);
    EXPECT_EQ(calls, 1);

    Preferences::shared().setValue(QStringLiteral("folvan.noteTextSize"), 20.0);
    EXPECT_EQ(calls, 1);
    context.reset();
    storeSize(14.0);
    EXPECT_EQ(calls, 1);
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), points(12));
}

} // namespace
