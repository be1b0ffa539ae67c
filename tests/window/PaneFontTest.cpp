#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "window/PaneFont.h"

#include <gtest/gtest.h>

#include <limits>

using folvan::window::PaneFontRole;
using folvan::window::paneFont;

class PaneFontTest : public folvan::test::TempHomeTest {};

// The pane's controls take the interface size as the rest of the interface
// does: clamped to 13...20, the default for a value that is not a number.
TEST_F(PaneFontTest, FollowsTheClampedInterfaceSize)
{
    auto &preferences = folvan::platform::Preferences::shared();
    const struct {
        double stored;
        double bodyPoints;
    } cases[] = {{15, 15}, {40, 20}, {4, 13}, {std::numeric_limits<double>::quiet_NaN(), 15}};
    for (const auto &c : cases) {
        preferences.setValue(QStringLiteral("folvan.interfaceTextSize"), c.stored);
        EXPECT_DOUBLE_EQ(paneFont(PaneFontRole::body).pointSizeF(), c.bodyPoints * 0.75) << c.stored;
        EXPECT_DOUBLE_EQ(paneFont(PaneFontRole::caption).pointSizeF(), std::max(12.0, c.bodyPoints - 2) * 0.75)
            << c.stored;
    }
}
