#include "history/DocumentReadingState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using folvan::history::DocumentReadingState;

namespace {

constexpr qint64 noLimit = DocumentReadingState::noPageLimit;
const double notANumber = std::nan("");
const double inf = std::numeric_limits<double>::infinity();

DocumentReadingState with(const std::function<void(DocumentReadingState &)> &change)
{
    DocumentReadingState state;
    change(state);
    return state;
}

} // namespace

TEST(DocumentReadingStateNormalization, BringsEachFieldWithinItsLimits)
{
    const struct {
        qint64 page, pageCount, expected;
    } pages[] = {{12, 10, 9}, {-3, 10, 0}, {5, 0, 0}, {5, -4, 0}, {500, noLimit, 500}, {-1, noLimit, 0}};
    for (const auto &c : pages)
        EXPECT_EQ(with([&](auto &s) { s.page = c.page; }).normalized(c.pageCount).page, c.expected)
            << c.page << " of " << c.pageCount;

    const std::pair<double, double> zooms[] = {{0.2, 0.5}, {7, 4}, {4, 4}, {0.5, 0.5}, {1.37, 1.37},
                                               {notANumber, 1}, {inf, 1}, {-inf, 1}};
    for (const auto &[zoom, expected] : zooms)
        EXPECT_EQ(with([&, zoom = zoom](auto &s) { s.zoom = zoom; }).normalized(noLimit).zoom, expected) << zoom;
    const std::pair<double, double> angles[] = {{-90, -70}, {70, 70}, {12.5, 12.5}, {inf, 0}, {notANumber, 0}};
    for (const auto &[angle, expected] : angles)
        EXPECT_EQ(with([&, angle = angle](auto &s) { s.angle = angle; }).normalized(noLimit).angle, expected) << angle;
}

TEST(DocumentReadingStateNormalization, BoundsTheReflowPositionAndKeepsAbsentFieldsAbsent)
{
    DocumentReadingState n = with([](auto &s) {
        s.reflowBlock = 10001;
        s.reflowOffset = 100001;
    }).normalized(noLimit);
    EXPECT_EQ(n.reflowBlock, 10000);
    EXPECT_EQ(n.reflowOffset, 100000);
    EXPECT_FALSE(n.isReflow.has_value());

    n = with([](auto &s) {
        s.reflowBlock = -1;
        s.reflowOffset = -7;
        s.isReflow = false;
    }).normalized(noLimit);
    EXPECT_EQ(n.reflowBlock, 0);
    EXPECT_EQ(n.reflowOffset, 0);
    EXPECT_EQ(n.isReflow, false);

    const DocumentReadingState plain = DocumentReadingState().normalized(3);
    EXPECT_FALSE(plain.isReflow || plain.reflowBlock || plain.reflowOffset);
}

TEST(DocumentReadingStateEquality, TellsAnAbsentFieldFromAPresentOne)
{
    DocumentReadingState a;
    DocumentReadingState b;
    b.isReflow = false;
    EXPECT_NE(a, b);
    a.isReflow = false;
    EXPECT_EQ(a, b);
    b.zoom = 1.5;
    EXPECT_NE(a, b);
}
