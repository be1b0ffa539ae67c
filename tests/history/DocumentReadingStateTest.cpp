#include "history/DocumentReadingState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using folvan::DocumentReadingState;

namespace {

DocumentReadingState withPage(qint64 page)
{
    DocumentReadingState state;
    state.page = page;
    return state;
}

constexpr qint64 noLimit = DocumentReadingState::noPageLimit;

} // namespace

TEST(DocumentReadingStateNormalization, KeepsThePageInsideTheDocument)
{
    EXPECT_EQ(withPage(12).normalized(10).page, 9);
    EXPECT_EQ(withPage(-3).normalized(10).page, 0);
    EXPECT_EQ(withPage(5).normalized(0).page, 0);
    EXPECT_EQ(withPage(5).normalized(-4).page, 0);
    EXPECT_EQ(withPage(500).normalized(noLimit).page, 500);
    EXPECT_EQ(withPage(-1).normalized(noLimit).page, 0);
}

TEST(DocumentReadingStateNormalization, ClampsZoomAndAngleAndReplacesNonFiniteValues)
{
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    auto zoomed = [](double zoom) {
        DocumentReadingState state;
        state.zoom = zoom;
        return state.normalized(noLimit).zoom;
    };
    auto tilted = [](double angle) {
        DocumentReadingState state;
        state.angle = angle;
        return state.normalized(noLimit).angle;
    };
    EXPECT_EQ(zoomed(0.2), 0.5);
    EXPECT_EQ(zoomed(7), 4.0);
    EXPECT_EQ(zoomed(4.0), 4.0);
    EXPECT_EQ(zoomed(0.5), 0.5);
    EXPECT_EQ(zoomed(1.37), 1.37);
    EXPECT_EQ(zoomed(nan), 1.0);
    EXPECT_EQ(zoomed(inf), 1.0);
    EXPECT_EQ(zoomed(-inf), 1.0);
    EXPECT_EQ(tilted(-90), -70);
    EXPECT_EQ(tilted(70), 70);
    EXPECT_EQ(tilted(12.5), 12.5);
    EXPECT_EQ(tilted(inf), 0);
    EXPECT_EQ(tilted(nan), 0);
}

TEST(DocumentReadingStateNormalization, AcceptsOnlyTheExactSingleLayout)
{
    auto laidOut = [](const char *layout) {
        DocumentReadingState state;
        state.layout = QString::fromUtf8(layout);
        return state.normalized(noLimit).layout;
    };
    EXPECT_EQ(laidOut("single"), "single");
    EXPECT_EQ(laidOut("Single"), "spread");
    EXPECT_EQ(laidOut(""), "spread");
    EXPECT_EQ(laidOut("double"), "spread");
}

TEST(DocumentReadingStateNormalization, BoundsTheReflowPositionAndKeepsAbsentFieldsAbsent)
{
    DocumentReadingState state;
    state.reflowBlock = 10001;
    state.reflowOffset = 100001;
    DocumentReadingState n = state.normalized(noLimit);
    EXPECT_EQ(n.reflowBlock, 10000);
    EXPECT_EQ(n.reflowOffset, 100000);
    EXPECT_FALSE(n.isReflow.has_value());

    state.reflowBlock = -1;
    state.reflowOffset = -7;
    state.isReflow = false;
    n = state.normalized(noLimit);
    EXPECT_EQ(n.reflowBlock, 0);
    EXPECT_EQ(n.reflowOffset, 0);
    EXPECT_EQ(n.isReflow, false);

    const DocumentReadingState plain = DocumentReadingState().normalized(3);
    EXPECT_FALSE(plain.isReflow || plain.reflowBlock || plain.reflowOffset);
    EXPECT_TRUE(plain.isBook);
}

TEST(DocumentReadingStateEquality, TellsAnAbsentFieldFromAPresentOne)
{
    DocumentReadingState a;
    DocumentReadingState b;
    EXPECT_EQ(a, b);
    b.isReflow = false;
    EXPECT_NE(a, b);
    a.isReflow = false;
    EXPECT_EQ(a, b);
    b.zoom = 1.5;
    EXPECT_NE(a, b);
}
