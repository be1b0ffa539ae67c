#include <gtest/gtest.h>

#include <cmath>

#include "annotations/AnnotationGeometry.h"
#include "annotations/MarkupColor.h"

using namespace folvan;
using namespace folvan::annotations;

namespace {

std::vector<QPointF> quadOf(const QRectF &r, QPointF origin = {})
{
    // top left, top right, bottom left, bottom right (y up)
    return {QPointF(r.left(), r.bottom()) - origin, QPointF(r.right(), r.bottom()) - origin,
            QPointF(r.left(), r.top()) - origin, QPointF(r.right(), r.top()) - origin};
}

ReadingMarkup markup(const QString &kind, std::vector<QRectF> rects)
{
    ReadingMarkup m;
    m.id = QUuid::fromString(QStringLiteral("0f0e0d0c-0b0a-0908-0706-050403020100"));
    m.kind = kind;
    m.rectangles = std::move(rects);
    return m;
}

} // namespace

TEST(AnnotationKinds, TrimSlashesAndLowerCase)
{
    EXPECT_EQ(markupKind(QStringLiteral("/Underline")), QStringLiteral("underline"));
    EXPECT_EQ(markupKind(QStringLiteral("//StrikeOut/")), QStringLiteral("strikeout"));
    EXPECT_EQ(markupKind(QStringLiteral("A/B")), QStringLiteral("a/b"));
    EXPECT_EQ(markupKind(QString()), QString());
}

TEST(AnnotationRectangles, FromGroupsOfFourPointsElseTheBounds)
{
    const QRectF line(100, 500, 80, 12);
    EXPECT_EQ(annotationRects(line, {}), std::vector<QRectF>{line});
    EXPECT_EQ(annotationRects(line, {{0, 0}, {1, 1}, {2, 2}}), std::vector<QRectF>{line});
    // Points in page space or relative to the bounds.
    EXPECT_EQ(annotationRects(line, quadOf(line)), std::vector<QRectF>{line});
    EXPECT_EQ(annotationRects(line, quadOf(line, line.topLeft())), std::vector<QRectF>{line});
    // A highlight over two columns: its page-space lines, moved by the
    // bounds' corner, would still lie within the bounds.
    const QRectF left(72, 100, 230, 600), right(320, 600, 220, 12);
    const QRectF bounds = left.united(right);
    std::vector<QPointF> both = quadOf(QRectF(72, 100, 230, 12));
    const std::vector<QPointF> second = quadOf(right);
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(annotationRects(bounds, both),
              (std::vector<QRectF>{QRectF(72, 100, 230, 12), right}));

    // Trailing points that do not make a group of four are ignored.
    std::vector<QPointF> six = quadOf(line);
    six.push_back({1, 1});
    six.push_back({2, 2});
    EXPECT_EQ(annotationRects(line, six).size(), 1u);

    // Groups with a point that is not finite or without area are skipped.
    std::vector<QPointF> points = quadOf(line);
    points[1].setX(NAN);
    const std::vector<QPointF> flat = {{100, 500}, {180, 500}, {100, 500}, {180, 500}};
    points.insert(points.end(), flat.begin(), flat.end());
    EXPECT_TRUE(annotationRects(line, points).empty());
}

TEST(LineRectangles, MergeWordsOfOneLine)
{
    // midY 100 and 101: 1 < 0.3 * 10
    EXPECT_EQ(normalizedRects({QRectF(0, 95, 10, 10), QRectF(10.3, 96, 10, 10)}).size(), 1u);
    // midY 100 and 104: 4 is not less than 3
    EXPECT_EQ(normalizedRects({QRectF(0, 95, 10, 10), QRectF(10.3, 99, 10, 10)}).size(), 2u);
    // a horizontal gap of 2 points
    EXPECT_EQ(normalizedRects({QRectF(0, 95, 10, 10), QRectF(12, 95, 10, 10)}).size(), 2u);
    EXPECT_TRUE(normalizedRects({}).empty());

    const std::vector<QRectF> merged =
        normalizedRects({QRectF(10.3, 96, 10, 10), QRectF(0, 95, 10, 10)});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], QRectF(0, 95, 20.3, 11));
}

TEST(LineRectangles, ComeInReadingOrder)
{
    const QRectF lowLeft(0, 100, 10, 10), highRight(300, 200, 10, 10), sameTopRight(50, 100, 10, 10);
    const std::vector<QRectF> lines = normalizedRects({sameTopRight, lowLeft, highRight});
    EXPECT_EQ(lines, (std::vector<QRectF>{highRight, lowLeft, sameTopRight}));
}

TEST(BuiltAnnotations, LayOutBoundsAndQuadPoints)
{
    const ReadingMarkup m =
        markup(QStringLiteral("highlight"), {QRectF(10, 100, 50, 12), QRectF(10, 86, 30, 12)});
    const std::optional<BuiltAnnotation> built = buildAnnotation(m);
    ASSERT_TRUE(built);
    EXPECT_EQ(built->subtype, QStringLiteral("Highlight"));
    EXPECT_EQ(built->bounds, QRectF(10, 86, 50, 26));
    EXPECT_EQ(built->quadPoints, (std::vector<QPointF>{{0, 26}, {50, 26}, {0, 14}, {50, 14},
                                                        {0, 12}, {30, 12}, {0, 0}, {30, 0}}));
    EXPECT_EQ(built->userName, QStringLiteral("Folvan:0F0E0D0C-0B0A-0908-0706-050403020100"));
    EXPECT_FALSE(built->contents);
    EXPECT_EQ(annotationRects(built->bounds, built->quadPoints), m.rectangles);
}

TEST(BuiltAnnotations, NotesHaveNoQuadPoints)
{
    ReadingMarkup note = markup(QStringLiteral("text"), {QRectF(5, 5, 20, 20)});
    note.note = QStringLiteral("see here");
    const std::optional<BuiltAnnotation> built = buildAnnotation(note);
    ASSERT_TRUE(built);
    EXPECT_EQ(built->subtype, QStringLiteral("Text"));
    EXPECT_EQ(built->bounds, QRectF(5, 5, 20, 20));
    EXPECT_TRUE(built->quadPoints.empty());
    EXPECT_EQ(built->contents, QStringLiteral("see here"));

    EXPECT_FALSE(buildAnnotation(markup(QStringLiteral("deleted"), {QRectF(0, 0, 1, 1)})));
    EXPECT_FALSE(buildAnnotation(markup(QStringLiteral("highlight"), {})));
    EXPECT_EQ(buildAnnotation(markup(QStringLiteral("squiggly"), {QRectF(0, 0, 1, 1)}))->subtype,
              QStringLiteral("Squiggly"));
    EXPECT_EQ(buildAnnotation(markup(QStringLiteral("other"), {QRectF(0, 0, 1, 1)}))->subtype,
              QStringLiteral("Highlight"));
}

TEST(BuiltAnnotations, ColourRules)
{
    auto colorOf = [](QString kind, std::optional<QString> color, std::optional<std::vector<double>> rgba) {
        ReadingMarkup m = markup(kind, {QRectF(0, 0, 10, 10)});
        m.color = color;
        m.rgba = rgba;
        return buildAnnotation(m)->color;
    };
    const QString highlight = QStringLiteral("highlight"), underline = QStringLiteral("underline");
    EXPECT_EQ(colorOf(highlight, QStringLiteral("green"), std::vector<double>{1, 0, 0, 0.5}),
              (engine::PdfColor{1, 0, 0, 0.5}));
    EXPECT_EQ(colorOf(highlight, QStringLiteral("green"), std::vector<double>{1, 0, 0}),
              MarkupColor(MarkupColor::green).color(highlight));
    EXPECT_EQ(colorOf(highlight, std::nullopt, std::vector<double>{1, NAN, 0, 1}),
              MarkupColor(MarkupColor::yellow).color(highlight));
    EXPECT_EQ(colorOf(underline, QStringLiteral("pink"), std::nullopt),
              MarkupColor(MarkupColor::pink).color(underline));
    EXPECT_EQ(colorOf(underline, QStringLiteral("Pink"), std::nullopt), kSystemOrange);
    EXPECT_EQ(colorOf(underline, std::nullopt, std::nullopt), kSystemOrange);
    EXPECT_EQ(colorOf(highlight, std::nullopt, std::nullopt).alpha, 0.35);
    EXPECT_EQ(colorOf(QStringLiteral("strikeout"), std::nullopt, std::nullopt),
              MarkupColor(MarkupColor::yellow).color(QStringLiteral("strikeout")));
}

TEST(RectangleText, IsFixedAndShortest)
{
    EXPECT_EQ(rectText(QRectF(10.5, 100, 50, 12)), QStringLiteral("{{10.5, 100}, {50, 12}}"));
    EXPECT_EQ(rectText(QRectF(-0.0, 0.1, 1e-7, 612.0000305175781)),
              QStringLiteral("{{0, 0.1}, {1e-07, 612.0000305175781}}"));
}
