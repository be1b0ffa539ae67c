// The appearance panel over a pane's angle, zoom and layout and over the
// paper preferences, and the paper presets it shares with the settings
// window.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include "dock/PaperPresetPicker.h"
#include "dock/ReaderAppearancePanel.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

namespace folvan::test {
namespace {

using dock::AppearanceBindings;
using dock::PaperPresetPicker;
using dock::ReaderAppearancePanel;

platform::Preferences &prefs()
{
    return platform::Preferences::shared();
}

// A pane's appearance values as the dock hands them to the panel.
struct FakePane {
    double angle = 0;
    double zoom = 1;
    platform::BookLayout layout = platform::BookLayout::Spread;
    std::vector<double> zooms;
    int angleWrites = 0;
    std::function<void()> changed;

    AppearanceBindings bindings(bool isBook, bool withLayout = true)
    {
        AppearanceBindings b;
        b.isBook = isBook;
        b.angle = [this] { return angle; };
        b.setAngle = [this](double value) {
            ++angleWrites;
            angle = value;
        };
        b.zoom = [this] { return zoom; };
        b.onZoom = [this](double value) {
            zooms.push_back(value);
            zoom = value;
        };
        if (withLayout) {
            b.pageLayout = [this] { return std::optional(layout); };
            b.setPageLayout = [this](platform::BookLayout value) { layout = value; };
        }
        b.onPaneChanged = [this](std::function<void()> refresh) { changed = std::move(refresh); };
        return b;
    }
};

class AppearancePanelTest : public TempHomeTest {};

TEST(AppearanceReadouts, RoundHalvesAwayFromZero)
{
    EXPECT_EQ(ReaderAppearancePanel::angleReadout(12.5), QStringLiteral("13°"));
    EXPECT_EQ(ReaderAppearancePanel::angleReadout(-12.5), QStringLiteral("-13°"));
    EXPECT_EQ(ReaderAppearancePanel::angleReadout(-0.4), QStringLiteral("0°"));
    EXPECT_EQ(ReaderAppearancePanel::zoomReadout(0.5), QStringLiteral("50%"));
    EXPECT_EQ(ReaderAppearancePanel::zoomReadout(1), QStringLiteral("100%"));
    EXPECT_EQ(ReaderAppearancePanel::zoomReadout(4), QStringLiteral("400%"));
    EXPECT_EQ(ReaderAppearancePanel::zoomReadout(1.125), QStringLiteral("113%"));
}

TEST_F(AppearancePanelTest, ThePageViewShowsOnlyAngleZoomAndReset)
{
    FakePane pane;
    ReaderAppearancePanel panel(pane.bindings(false));
    EXPECT_EQ(panel.width(), 280);
    EXPECT_EQ(panel.bookGroup(), nullptr);
    EXPECT_EQ(panel.hintLabel()->text(), QStringLiteral("双指滚动 · 捏合缩放"));
    EXPECT_TRUE(panel.findChildren<QCheckBox *>().isEmpty());
    EXPECT_TRUE(panel.findChildren<PaperPresetPicker *>().isEmpty());
    EXPECT_EQ(panel.findChildren<QSlider *>().size(), 2);

    ReaderAppearancePanel book(pane.bindings(true));
    ASSERT_NE(book.bookGroup(), nullptr);
    EXPECT_EQ(book.hintLabel()->text(), QStringLiteral("滚轮翻页 · 捏合缩放 · 放大后 Shift 滚动平移"));
    EXPECT_EQ(book.findChildren<QSlider *>().size(), 4);
}

TEST_F(AppearancePanelTest, ResetAndSlidersActOnThePaneAndFollowIt)
{
    FakePane pane;
    pane.angle = 30;
    pane.zoom = 2.5;
    ReaderAppearancePanel panel(pane.bindings(false));
    EXPECT_EQ(panel.angleReadoutLabel()->text(), QStringLiteral("30°"));
    EXPECT_EQ(panel.zoomReadoutLabel()->text(), QStringLiteral("250%"));
    EXPECT_EQ(panel.angleSlider()->value(), 30);

    panel.resetButton()->click();
    EXPECT_EQ(pane.angle, 0);
    ASSERT_EQ(pane.zooms.size(), 1u);
    EXPECT_EQ(pane.zooms.back(), 1.0);
    EXPECT_EQ(panel.zoomReadoutLabel()->text(), QStringLiteral("100%"));

    panel.angleSlider()->setValue(-35);
    EXPECT_EQ(pane.angle, -35);
    EXPECT_EQ(panel.angleReadoutLabel()->text(), QStringLiteral("-35°"));
    panel.zoomSlider()->setValue(panel.zoomSlider()->maximum());
    EXPECT_EQ(pane.zooms.back(), 4.0);

    // The pane changed by itself (a pinch, a command).
    pane.zoom = 1.5;
    pane.angle = 12.5;
    pane.changed();
    EXPECT_EQ(panel.zoomReadoutLabel()->text(), QStringLiteral("150%"));
    EXPECT_EQ(panel.angleReadoutLabel()->text(), QStringLiteral("13°"));
}

TEST_F(AppearancePanelTest, ValuesOutOfRangeAreShownAndLeftAlone)
{
    FakePane pane;
    pane.angle = 85;
    pane.zoom = 6;
    prefs().setValue(QStringLiteral("folvan.paperWarmth"), 1.7);
    prefs().setValue(QStringLiteral("folvan.paperGrain"), -0.5);
    ReaderAppearancePanel panel(pane.bindings(true));
    EXPECT_EQ(panel.angleSlider()->value(), 70);
    EXPECT_EQ(panel.angleReadoutLabel()->text(), QStringLiteral("85°"));
    EXPECT_EQ(panel.zoomSlider()->value(), panel.zoomSlider()->maximum());
    EXPECT_EQ(panel.warmthSlider()->value(), panel.warmthSlider()->maximum());
    EXPECT_EQ(panel.grainSlider()->value(), 0);
    EXPECT_EQ(pane.angleWrites, 0);
    EXPECT_TRUE(pane.zooms.empty());
    EXPECT_EQ(prefs().doubleValue(QStringLiteral("folvan.paperWarmth")), 1.7);
    EXPECT_EQ(prefs().doubleValue(QStringLiteral("folvan.paperGrain")), -0.5);

    // Until the user moves a control.
    panel.warmthSlider()->setValue(500);
    EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("folvan.paperWarmth")), 0.5);
}

TEST_F(AppearancePanelTest, TheLayoutIsThePanesOrElseTheStoredOne)
{
    prefs().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("spread"));
    FakePane pane;
    ReaderAppearancePanel panel(pane.bindings(true));
    EXPECT_TRUE(panel.spreadButton()->isChecked());
    panel.singleButton()->click();
    EXPECT_EQ(pane.layout, platform::BookLayout::Single);
    EXPECT_TRUE(panel.singleButton()->isChecked());
    EXPECT_FALSE(panel.spreadButton()->isChecked());
    EXPECT_EQ(prefs().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("spread"));

    FakePane unbound;
    ReaderAppearancePanel direct(unbound.bindings(true, false));
    EXPECT_TRUE(direct.spreadButton()->isChecked());
    direct.singleButton()->click();
    EXPECT_EQ(prefs().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
    EXPECT_EQ(unbound.layout, platform::BookLayout::Spread);
    // It follows the key as others write it; a text that names neither
    // layout is the default, as for a new paper.
    prefs().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("spread"));
    EXPECT_TRUE(direct.spreadButton()->isChecked());
    prefs().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    prefs().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("Single"));
    EXPECT_FALSE(direct.singleButton()->isChecked());
    EXPECT_TRUE(direct.spreadButton()->isChecked());
}

TEST_F(AppearancePanelTest, PresetsWriteBothKeysAndTintTheMatchingOne)
{
    FakePane pane;
    ReaderAppearancePanel panel(pane.bindings(true));
    PaperPresetPicker settingsRow; // the settings window's row
    PaperPresetPicker *picker = panel.presetPicker();
    ASSERT_EQ(dock::paperPresets().size(), 3);
    EXPECT_EQ(picker->button(0)->text(), QStringLiteral("冷白"));
    EXPECT_EQ(picker->button(2)->accessibleName(), QStringLiteral("浅象牙纸张"));
    // A fresh installation shows "自然白".
    EXPECT_TRUE(picker->isTinted(1));
    EXPECT_FALSE(picker->isTinted(0) || picker->isTinted(2));

    picker->button(2)->click();
    EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("folvan.paperWarmth")), 0.38);
    EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("folvan.paperGrain")), 0.32);
    EXPECT_TRUE(picker->isTinted(2));
    EXPECT_TRUE(settingsRow.isTinted(2));
    EXPECT_EQ(panel.warmthSlider()->value(), 380);

    panel.reducedMotionToggle()->click();
    EXPECT_TRUE(prefs().boolValue(QStringLiteral("folvan.reducedBookMotion")));
    panel.restorePaperButton()->click();
    EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("folvan.paperWarmth")), 0.12);
    EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("folvan.paperGrain")), 0.24);
    EXPECT_TRUE(picker->isTinted(1));
    EXPECT_TRUE(prefs().boolValue(QStringLiteral("folvan.reducedBookMotion")));

    // The tolerance is strict, on either value.
    prefs().setValue(QStringLiteral("folvan.paperWarmth"), 0.124);
    EXPECT_TRUE(picker->isTinted(1));
    prefs().setValue(QStringLiteral("folvan.paperWarmth"), 0.126);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(picker->isTinted(i));
    EXPECT_FALSE(PaperPresetPicker::isChosen({QString(), 0, 0}, 0.005, 0));
    EXPECT_TRUE(PaperPresetPicker::isChosen({QString(), 0, 0}, 0.004, -0.004));
}

} // namespace
} // namespace folvan::test
