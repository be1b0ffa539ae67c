#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfLinks.h"

#include <gtest/gtest.h>

using namespace folvan::engine;

TEST(PdfLinks, GivesLinkAreasWithTheirTargetsInUserSpace)
{
    PdfFixtureWriter w;
    const int p0 = w.addPage();
    const int p1 = w.addPage(QSizeF(400, 500), QRectF(50, 60, 300, 400), 270);
    w.addHighlight(p0, {QRectF(10, 10, 50, 10)}, Qt::yellow); // not a link
    w.addLink(p0, QRectF(72, 600, 100, 20), p1, QPointF(120, 300));
    w.addUriLink(p0, QRectF(72, 500, 100, 20), "mailto:someone@example.org");
    w.addLink(p1, QRectF(60, 70, 30, 30), p0, QPointF(0, 792));
    // A named destination that the document does not define.
    w.addRawAnnotation(p1, "/Subtype /Link /Rect [100 100 120 120] /Dest (nowhere)");
    auto doc = PdfDocument::openData(w.data());
    ASSERT_TRUE(doc);

    const std::vector<PdfLink> first = links(*doc, 0);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].bounds, QRectF(72, 600, 100, 20));
    ASSERT_TRUE(first[0].destination.has_value());
    EXPECT_EQ(first[0].destination->pageIndex, 1);
    EXPECT_NEAR(first[0].destination->point().x(), 120, 1e-3);
    EXPECT_NEAR(first[0].destination->point().y(), 300, 1e-3);
    EXPECT_TRUE(first[0].uri.isEmpty());
    EXPECT_FALSE(first[1].destination.has_value());
    EXPECT_EQ(first[1].uri, "mailto:someone@example.org");

    const std::vector<PdfLink> second = links(*doc, 1);
    ASSERT_EQ(second.size(), 2u);
    ASSERT_TRUE(second[0].destination.has_value());
    EXPECT_EQ(second[0].destination->pageIndex, 0);
    EXPECT_NEAR(second[0].destination->point().y(), 792, 1e-3);
    EXPECT_FALSE(second[1].destination.has_value());

    // Hit testing, edges included; none between links or off the page.
    EXPECT_EQ(linkAt(*doc, 0, QPointF(72, 600))->uri, QString());
    EXPECT_EQ(linkAt(*doc, 0, QPointF(100, 510))->uri, "mailto:someone@example.org");
    EXPECT_FALSE(linkAt(*doc, 0, QPointF(100, 550)).has_value());
    EXPECT_FALSE(linkAt(*doc, 0, QPointF(20, 15)).has_value()); // the highlight
    EXPECT_FALSE(linkAt(*doc, 4, QPointF(100, 510)).has_value());
}
