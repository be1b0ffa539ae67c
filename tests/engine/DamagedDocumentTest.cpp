// Damaged papers: what the engine can still draw opens, and says that it
// was repaired on the way; what is no PDF at all is still refused.

#include <gtest/gtest.h>

#include <QImage>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

constexpr int kPages = 3;

// Three pages, each reading "page N", and, last, an object nothing uses.
QByteArray paper(bool packed)
{
    PdfFixtureWriter writer;
    for (int i = 0; i < kPages; ++i) {
        writer.addPage();
        writer.addText(i, QPointF(72, 700), QStringLiteral("page %1").arg(i + 1));
    }
    writer.addRawObject("<< /Spare true >>");
    writer.setObjectStreams(packed);
    return writer.data();
}

// Every page reads as written and draws something on white.
void expectWholePages(const PdfDocument &document)
{
    ASSERT_EQ(document.pageCount(), kPages);
    for (int i = 0; i < kPages; ++i) {
        EXPECT_EQ(document.page(i).string(), QStringLiteral("page %1").arg(i + 1)) << i;
        const QImage image = document.page(i).renderFitting(1200);
        ASSERT_FALSE(image.isNull()) << i;
        bool inked = false;
        for (int y = 0; y < image.height() && !inked; ++y)
            for (int x = 0; x < image.width() && !inked; ++x)
                inked = qGray(image.pixel(x, y)) < 160;
        EXPECT_TRUE(inked) << i;
    }
}

QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(~bytes[at]);
    return bytes;
}

} // namespace

TEST(DamagedDocument, AWholePaperIsNotSaidRepaired)
{
    for (bool packed : {false, true}) {
        const std::shared_ptr<PdfDocument> document = PdfDocument::openData(paper(packed));
        ASSERT_TRUE(document) << packed;
        expectWholePages(*document);
        EXPECT_FALSE(document->wasRepaired()) << packed;
        EXPECT_TRUE(document->isIntact()) << packed;
    }
}

// A flipped byte in an object that follows the page tree inside an object
// stream: the stream reads only part-way at first, yet every page is there.
TEST(DamagedDocument, AFlippedByteAfterThePageTreeLeavesEveryPage)
{
    const QByteArray whole = paper(true);
    const qsizetype spare = whole.indexOf("<< /Spare true >>");
    ASSERT_GT(spare, 0);
    QString error;
    const std::shared_ptr<PdfDocument> document = PdfDocument::openData(flipped(whole, spare + 3), &error);
    ASSERT_TRUE(document) << error.toStdString();
    expectWholePages(*document);
    EXPECT_TRUE(document->wasRepaired());
    EXPECT_FALSE(document->isIntact());
}

// A damaged header, a cross-reference offset that points nowhere, a file
// cut off after its last page: each opens whole, said repaired.
TEST(DamagedDocument, ABrokenHeaderOrCrossReferenceIsRepaired)
{
    const QByteArray whole = paper(false);
    QByteArray header = whole;
    header.replace(0, 5, "%PXF-");
    QByteArray offset = whole;
    const qsizetype start = offset.lastIndexOf("startxref\n") + 10;
    offset.replace(start, offset.indexOf('\n', start) - start, "999999");
    const QByteArray cut = whole.left(whole.indexOf("xref\n0 "));
    for (const QByteArray &damaged : {header, offset, cut}) {
        QString error;
        const std::shared_ptr<PdfDocument> document = PdfDocument::openData(damaged, &error);
        ASSERT_TRUE(document) << error.toStdString();
        expectWholePages(*document);
        EXPECT_TRUE(document->wasRepaired());
        EXPECT_FALSE(document->isIntact());
    }
}

TEST(DamagedDocument, BytesWithoutAHeaderThatAreNoPdfAreRefusedAsSuch)
{
    for (const QByteArray &bytes : {QByteArray("garbage"), QByteArray(4096, '\x5a'), QByteArray("hello\nworld\n")}) {
        QString error;
        EXPECT_FALSE(PdfDocument::openData(bytes, &error));
        EXPECT_EQ(error, QStringLiteral("不是 PDF 文件"));
    }
}
