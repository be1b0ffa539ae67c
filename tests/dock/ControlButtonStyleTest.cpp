// The look of the reader's small floating buttons and how a panel hands it
// to the buttons under it.

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionToolButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include "dock/ReaderControlButtonStyle.h"
#include "platform/Icons.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

namespace folvan::test {
namespace {

using dock::ReaderControlButtonStyle;

class ControlButtonStyleTest : public TempHomeTest {};

// The alpha of the backdrop in the corner area of a drawn button, on a
// transparent canvas, for an empty label.
int backdropAlpha(QStyle::State state)
{
    QImage canvas(40, 28, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QStyleOptionToolButton option;
    option.rect = canvas.rect();
    option.state = state;
    option.palette.setColor(QPalette::WindowText, Qt::black);
    QPainter painter(&canvas);
    ReaderControlButtonStyle::shared()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter);
    painter.end();
    return qAlpha(canvas.pixel(8, 14));
}

TEST_F(ControlButtonStyleTest, BackdropFollowsPressHoverAndEnabling)
{
    using S = QStyle::StateFlag;
    EXPECT_EQ(backdropAlpha(S::State_Enabled), 0);
    EXPECT_NEAR(backdropAlpha(S::State_Enabled | S::State_MouseOver), 0.06 * 255, 1.5);
    EXPECT_NEAR(backdropAlpha(S::State_Enabled | S::State_Sunken), 0.12 * 255, 1.5);
    EXPECT_NEAR(backdropAlpha(S::State_Enabled | S::State_Sunken | S::State_MouseOver), 0.12 * 255, 1.5);
    // Disabled: no backdrop, also under the pointer.
    EXPECT_EQ(backdropAlpha(S::State_MouseOver), 0);
    EXPECT_EQ(backdropAlpha(S::State_Sunken | S::State_MouseOver), 0);
    EXPECT_DOUBLE_EQ(ReaderControlButtonStyle::controlOpacity(false), 0.32);
    EXPECT_DOUBLE_EQ(ReaderControlButtonStyle::controlOpacity(true), 1);
}

TEST_F(ControlButtonStyleTest, ADisabledLabelIsDrawnDimmedNotGreyed)
{
    auto drawn = [](bool enabled) {
        QToolButton button;
        button.setIcon(platform::symbolIcon(QStringLiteral("bookmark")));
        dock::styleControlButton(&button);
        button.setEnabled(enabled);
        button.resize(button.sizeHint());
        return button.grab().toImage();
    };
    const QImage on = drawn(true);
    const QImage off = drawn(false);
    ASSERT_EQ(on.size(), off.size());
    // The darkest pixel of the symbol keeps its colour at about a third of
    // its strength over the background.
    auto darkest = [](const QImage &image) {
        int value = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                value = std::min(value, qGray(image.pixel(x, y)));
        return value;
    };
    const int background = qGray(on.pixel(0, 0));
    const int full = background - darkest(on);
    const int dimmed = background - darkest(off);
    ASSERT_GT(full, 60);
    EXPECT_NEAR(double(dimmed) / full, 0.32, 0.08);
}

TEST_F(ControlButtonStyleTest, ASymbolButtonIsAtLeast34By28AndTextFollowsTheInterfaceSize)
{
    QToolButton symbol;
    symbol.setIcon(platform::symbolIcon(QStringLiteral("bookmark")));
    symbol.setIconSize(QSize(16, 16));
    dock::styleControlButton(&symbol);
    EXPECT_GE(symbol.sizeHint().width(), 34);
    EXPECT_GE(symbol.sizeHint().height(), 28);

    QToolButton text;
    text.setText(QStringLiteral("添加此页书签"));
    dock::styleControlButton(&text);
    EXPECT_EQ(text.font().weight(), QFont::Medium);
    const QSize before = text.sizeHint();
    platform::Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), 20.0);
    EXPECT_NEAR(text.font().pointSizeF(), 20 * 0.75, 0.01);
    EXPECT_GT(text.sizeHint().width(), before.width());
}

TEST_F(ControlButtonStyleTest, APanelHandsTheLookToItsToolButtonsNowAndLater)
{
    QWidget panel;
    auto *row = new QHBoxLayout(&panel);
    auto *early = new QToolButton(&panel);
    auto *push = new QPushButton(QStringLiteral("前往"), &panel);
    auto *own = new QToolButton(&panel);
    dock::keepOwnButtonStyle(own);
    row->addWidget(early);
    row->addWidget(push);
    row->addWidget(own);
    dock::applyControlButtonStyle(&panel);
    panel.show();

    // A button added later, deep inside, takes it once shown.
    auto *inner = new QWidget(&panel);
    auto *late = new QToolButton(inner);
    row->addWidget(inner);
    inner->show();

    EXPECT_EQ(early->style(), ReaderControlButtonStyle::shared());
    EXPECT_EQ(late->style(), ReaderControlButtonStyle::shared());
    EXPECT_NE(push->style(), ReaderControlButtonStyle::shared());
    EXPECT_NE(own->style(), ReaderControlButtonStyle::shared());
}

} // namespace
} // namespace folvan::test
