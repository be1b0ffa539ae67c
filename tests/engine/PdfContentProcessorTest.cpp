#include "engine/PdfContentProcessor.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

using namespace folvan::engine;

namespace {

// Records every operator as "name operands @ ctm-translation depth".
class Recorder : public PdfContentHandler {
public:
    bool onOperator(const PdfContentOperator &op) override
    {
        QString line = QString::fromLatin1(contentOperatorName(op.op));
        for (int i = 0; i < op.operandCount; ++i)
            line += ' ' + QString::number(op.operands[size_t(i)]);
        if (op.xobject)
            line += ' ' + QString::fromLatin1(op.xobject->subtype + ":" + op.xobject->name);
        line += QStringLiteral(" @%1,%2,%3,%4 d%5")
                    .arg(op.ctm.m11())
                    .arg(op.ctm.m22())
                    .arg(op.ctm.dx())
                    .arg(op.ctm.dy())
                    .arg(op.depth);
        seen << line;
        if (op.xobject)
            xobjects.push_back(*op.xobject);
        return stopAfter < 0 || seen.size() < stopAfter;
    }
    bool enterForm(const PdfContentOperator &) override
    {
        ++entered;
        return follow;
    }
    void leaveForm(const PdfContentOperator &op) override { left << QString::fromLatin1(op.xobject->name); }

    QStringList seen;
    QStringList left;
    std::vector<PdfXObjectInfo> xobjects;
    int entered = 0;
    int stopAfter = -1;
    bool follow = true;
};

std::shared_ptr<PdfDocument> open(const PdfFixtureWriter &w)
{
    auto doc = PdfDocument::openData(w.data());
    EXPECT_TRUE(doc);
    return doc;
}

} // namespace

TEST(PdfContentProcessor, ReportsOperatorsInOrderWithTheirMatrices)
{
    PdfFixtureWriter w;
    const int page = w.addPage();
    w.addContent(page, "q 2 0 0 2 10 20 cm 0 0 m 5 5 l 1 2 3 4 5 6 c 1 2 3 4 v 1 2 3 4 y S Q\n"
                       "BT /F1 12 Tf (ignored text) Tj ET\n"
                       "1 1 10 10 re f 0 0 m n s F f* B B* b b*");
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    w.addImage(page, QRectF(50, 500, 200, 100), image);
    const int inner = w.addFormXObject("0 0 5 5 re f\n", QRectF(0, 0, 5, 5), QTransform(1, 0, 0, 1, 7, 8));
    const int outer = w.addFormXObject("q /Fm0 Do Q\n", QRectF(0, 0, 50, 50), QTransform(3, 0, 0, 3, 0, 0), {inner});
    w.drawForm(page, outer, QTransform(1, 0, 0, 1, 100, 200));
    auto doc = open(w);
    ASSERT_TRUE(doc);

    Recorder recorder;
    const PdfContentScanResult result = processPageContents(*doc, page, recorder);
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.limitReached);
    EXPECT_FALSE(result.stopped);
    const QStringList expected = {
        "q @1,1,0,0 d0",
        "cm 2 0 0 2 10 20 @1,1,0,0 d0",
        "m 0 0 @2,2,10,20 d0",
        "l 5 5 @2,2,10,20 d0",
        "c 1 2 3 4 5 6 @2,2,10,20 d0",
        "v 1 2 3 4 @2,2,10,20 d0",
        "y 1 2 3 4 @2,2,10,20 d0",
        "S @2,2,10,20 d0",
        "Q @2,2,10,20 d0",
        "re 1 1 10 10 @1,1,0,0 d0",
        "f @1,1,0,0 d0",
        "m 0 0 @1,1,0,0 d0",
        "n @1,1,0,0 d0",
        "s @1,1,0,0 d0",
        "F @1,1,0,0 d0",
        "f* @1,1,0,0 d0",
        "B @1,1,0,0 d0",
        "B* @1,1,0,0 d0",
        "b @1,1,0,0 d0",
        "b* @1,1,0,0 d0",
        // The image, drawn by the writer as "q 200 0 0 100 50 500 cm /Im Do Q".
        "q @1,1,0,0 d0",
        "cm 200 0 0 100 50 500 @1,1,0,0 d0",
        "Do Image:Im0 @200,100,50,500 d0",
        "Q @200,100,50,500 d0",
        // The outer form placed at (100, 200) with its own matrix (scale 3),
        // and the inner one with a translation.
        "q @1,1,0,0 d0",
        "cm 1 0 0 1 100 200 @1,1,0,0 d0",
        "Do Form:Fm1 @1,1,100,200 d0",
        "q @3,3,100,200 d1",
        "Do Form:Fm0 @3,3,100,200 d1",
        "re 0 0 5 5 @3,3,121,224 d2",
        "f @3,3,121,224 d2",
        "Q @3,3,100,200 d1",
        "Q @1,1,100,200 d0",
    };
    // The image's resource name depends on its object number.
    QStringList seen = recorder.seen;
    ASSERT_EQ(seen.size(), expected.size()) << seen.join('\n').toStdString();
    seen[22].replace(QRegularExpression("Image:Im\\d+"), "Image:Im0");
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(seen[i], expected[i]) << "operator " << i;

    ASSERT_EQ(recorder.xobjects.size(), 3u);
    const PdfXObjectInfo &form = recorder.xobjects[1];
    EXPECT_EQ(form.subtype, "Form");
    EXPECT_TRUE(form.hasFormMatrix);
    EXPECT_EQ(form.formMatrix, QTransform(3, 0, 0, 3, 0, 0));
    EXPECT_EQ(form.formBBox, QRectF(0, 0, 50, 50));
    EXPECT_TRUE(form.hasResources);
    EXPECT_EQ(recorder.left, QStringList({"Fm0", "Fm1"}));
}

TEST(PdfContentProcessor, BoundsTheWorkOnHostilePages)
{
    PdfFixtureWriter w;
    const int page = w.addPage();
    w.addSelfDrawingForm(page);
    auto doc = open(w);
    ASSERT_TRUE(doc);

    // A form that draws itself is followed to the depth limit, then not.
    Recorder recorder;
    PdfContentScanResult result = processPageContents(*doc, page, recorder);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(recorder.entered, 8);
    EXPECT_EQ(recorder.left.size(), 8);
    EXPECT_EQ(recorder.seen.filter(" d8").size(), 4); // re f cm Do, the last Do not followed
    EXPECT_TRUE(recorder.seen.filter(" d9").isEmpty());

    // The operator limit ends the scan at the next operator.
    Recorder limited;
    result = processPageContents(*doc, page, limited, PdfContentLimits{10, 8});
    EXPECT_TRUE(result.limitReached);
    EXPECT_EQ(result.operators, 10);
    EXPECT_EQ(limited.seen.size(), 10);

    // The handler can end the scan, and can decline forms.
    Recorder stopping;
    stopping.stopAfter = 3;
    result = processPageContents(*doc, page, stopping);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(stopping.seen.size(), 3);
    Recorder flat;
    flat.follow = false;
    processPageContents(*doc, page, flat);
    EXPECT_EQ(flat.entered, 1);
    EXPECT_TRUE(flat.left.isEmpty());
    EXPECT_EQ(flat.seen.size(), 3); // q, Do, Q

    // Content that is not PDF syntax is skipped; a missing page reads nothing.
    PdfFixtureWriter broken;
    const int bad = broken.addPage();
    broken.addContent(bad, "1 2 re f ] >> /Missing Do (unclosed 0 0 m 1 1 l S");
    auto brokenDoc = open(broken);
    ASSERT_TRUE(brokenDoc);
    Recorder tolerant;
    EXPECT_TRUE(processPageContents(*brokenDoc, bad, tolerant).ok);
    EXPECT_FALSE(processPageContents(*brokenDoc, 3, tolerant).ok);
}
