// The page-jump panel: what a typed page number means and when it goes.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "dock/ReaderPageJump.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

namespace folvan::test {
namespace {

using dock::ReaderPageJump;

TEST(PageJumpParsing, TakesASignedDecimalWithinTheDocument)
{
    const int count = 12;
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("12"), count), 12);
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral(" \t12\n "), count), 12);
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("\u300012\u3000"), count), 12);
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("+5"), count), 5);
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("0003"), count), 3);
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("1"), count), 1);

    for (const QString &invalid :
         {QStringLiteral(""), QStringLiteral("   "), QStringLiteral("13"), QStringLiteral("0"), QStringLiteral("-5"),
          QStringLiteral("-0"), QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("++5"), QStringLiteral("+-5"),
          QStringLiteral("1 2"), QStringLiteral("5a"), QStringLiteral("3.0"), QStringLiteral("１２"),
          QStringLiteral("99999999999999999999"), QStringLiteral("00000000000000000000000000000013")})
        EXPECT_FALSE(ReaderPageJump::validPage(invalid, count)) << invalid.toStdString();
    // Leading zeros do not count towards the size.
    EXPECT_EQ(ReaderPageJump::validPage(QStringLiteral("000000000000000000000000000012"), count), 12);
}

TEST(PageJumpParsing, ASinglePageOrNoPageAtAll)
{
    for (const char *one : {"1", "01", "+1", " 1 "})
        EXPECT_EQ(ReaderPageJump::validPage(QString::fromLatin1(one), 1), 1);
    EXPECT_FALSE(ReaderPageJump::validPage(QStringLiteral("2"), 1));
    EXPECT_FALSE(ReaderPageJump::validPage(QStringLiteral("1"), 0));
    EXPECT_FALSE(ReaderPageJump::validPage(QStringLiteral("0"), 0));
}

class PageJumpPanelTest : public TempHomeTest {};

TEST_F(PageJumpPanelTest, OpensOnTheCurrentPageAndGoesOnlyWithAValidNumber)
{
    std::vector<int> jumps;
    ReaderPageJump panel(40, 7, [&](int page) { jumps.push_back(page); });
    panel.show();
    EXPECT_EQ(panel.width(), 250);
    EXPECT_EQ(panel.field()->text(), QStringLiteral("7"));
    EXPECT_EQ(panel.field()->placeholderText(), QStringLiteral("1–40"));
    EXPECT_EQ(panel.field()->accessibleName(), QStringLiteral("目标页码"));
    EXPECT_TRUE(panel.goButton()->isEnabled());

    // Return at once goes to the current page.
    QTest::keyClick(panel.field(), Qt::Key_Return);
    EXPECT_EQ(jumps, std::vector<int>({7}));

    panel.field()->setText(QStringLiteral("41"));
    EXPECT_FALSE(panel.goButton()->isEnabled());
    QTest::keyClick(panel.field(), Qt::Key_Return);
    panel.go();
    EXPECT_EQ(jumps.size(), 1u);
    EXPECT_EQ(panel.field()->text(), QStringLiteral("41"));

    panel.field()->setText(QStringLiteral(" 40 "));
    EXPECT_TRUE(panel.goButton()->isEnabled());
    panel.goButton()->click();
    QTest::keyClick(panel.field(), Qt::Key_Enter);
    EXPECT_EQ(jumps, std::vector<int>({7, 40, 40}));
}

// Four digits show whole at every interface size, followed while the panel is open, which widens
// past its 250 only as far as that needs.
TEST_F(PageJumpPanelTest, TheFieldShowsFourDigitsWholeAtEveryInterfaceSize)
{
    // The field scrolls its text as it paints, to keep the cursor in view.
    auto cursorAt = [](QLineEdit *field, int position) {
        field->setCursorPosition(position);
        field->grab();
        return field->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    };
    ReaderPageJump panel(9999, 8888, [](int) {});
    panel.show();
    for (const int size : {15, 13, 20, 18, 15}) {
        platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, double(size));
        QApplication::sendPostedEvents(); // the new layout
        QLineEdit *field = panel.field();
        EXPECT_EQ(cursorAt(field, 4) - cursorAt(field, 0), field->fontMetrics().horizontalAdvance(field->text()))
            << size << " pt";
        if (size <= 15) {
            EXPECT_EQ(panel.width(), 250) << size << " pt";
        }
    }
}

} // namespace
} // namespace folvan::test

#include <QSlider>
#include <QVBoxLayout>

#include "dock/ReaderAppearancePanel.h"

namespace folvan::test {
namespace {

// Escape inside a panel reaches the popover that holds it, which closes.
TEST_F(PageJumpPanelTest, EscapeInAPanelClosesItsPopover)
{
    auto closesOnEscape = [](QWidget *panel, QWidget *focus) {
        QWidget popover(nullptr, Qt::Popup);
        auto *layout = new QVBoxLayout(&popover);
        panel->setParent(&popover);
        layout->addWidget(panel);
        popover.show();
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Escape);
        return !popover.isVisible();
    };
    auto *jump = new ReaderPageJump(10, 1, [](int) {});
    EXPECT_TRUE(closesOnEscape(jump, jump->field()));
    dock::AppearanceBindings bindings;
    bindings.isBook = true;
    auto *appearance = new dock::ReaderAppearancePanel(bindings);
    EXPECT_TRUE(closesOnEscape(appearance, appearance->warmthSlider()));
}

} // namespace
} // namespace folvan::test
