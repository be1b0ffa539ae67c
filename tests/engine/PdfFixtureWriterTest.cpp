#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace folvan::engine;

namespace {

PdfFixtureWriter richFixture()
{
    PdfFixtureWriter w;
    const int p0 = w.addPage();
    const int p1 = w.addPage(QSizeF(400, 500), QRectF(50, 60, 300, 400), 90);
    w.addText(p0, QPointF(72, 700), "Hello (world) \\", FixtureFont::Helvetica, 12);
    w.addCjkText(p0, QPointF(72, 500), QString::fromUtf8("中文"), 20);
    w.addLink(p0, QRectF(72, 690, 60, 15), p1, QPointF(100, 200));
    w.addUriLink(p0, QRectF(72, 590, 60, 15), "https://example.com/");
    w.addHighlight(p0, {QRectF(72, 698, 50, 12)}, QColor(255, 255, 0, 128), QString::fromUtf8("注"), "Folvan:A");
    w.addTextNote(p1, QRectF(100, 100, 20, 20), "note", "me");
    w.addFreeText(p1, QRectF(100, 200, 150, 40), "free", 14, Qt::red, 1);
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::green);
    w.addImage(p1, QRectF(10, 10, 20, 20), image);
    w.addSelfDrawingForm(p0);
    w.setOutline({{"One", 0, QPointF(0, 792), {{"One.A", 1, QPointF(0, 10), {}}}}, {"Two", 1, {}, {}}});
    w.setPageLabels({{0, 'r', {}, 1}, {1, 'D', "A-", 5}});
    return w;
}

// Every in-use xref entry must point at the "N 0 obj" it names, and
// startxref at the xref table.
void expectConsistentXref(const QByteArray &pdf)
{
    const int startxref = pdf.lastIndexOf("startxref\n");
    ASSERT_GT(startxref, 0);
    const qint64 xref = pdf.mid(startxref + 10).split('\n').first().toLongLong();
    ASSERT_EQ(pdf.mid(xref, 5), QByteArray("xref\n"));
    const QList<QByteArray> lines = pdf.mid(xref).split('\n');
    const int count = lines[1].split(' ')[1].toInt();
    ASSERT_GT(count, 1);
    for (int i = 1; i < count; ++i) {
        const QByteArray entry = lines[2 + i];
        if (entry.endsWith("f "))
            continue;
        const qint64 offset = entry.left(10).toLongLong();
        EXPECT_TRUE(pdf.mid(offset).startsWith(QByteArray::number(i) + " 0 obj\n")) << "object " << i;
    }
}

} // namespace

TEST(PdfFixtureWriter, WritesAConsistentFileTheSameWayEveryTime)
{
    const QByteArray pdf = richFixture().data();
    EXPECT_TRUE(pdf.startsWith("%PDF-1.7\n"));
    EXPECT_TRUE(pdf.endsWith("%%EOF\n"));
    EXPECT_EQ(pdf, richFixture().data());
    expectConsistentXref(pdf);

    // Strings are escaped; non-ASCII text strings are UTF-16BE with a BOM.
    EXPECT_TRUE(pdf.contains("(Hello \\(world\\) \\\\) Tj"));
    EXPECT_TRUE(pdf.contains("/T (Folvan:A)"));
    EXPECT_TRUE(pdf.contains("/Contents (\\376\\377l\\350)"));
    EXPECT_TRUE(pdf.contains("<4E2D6587> Tj"));
    EXPECT_TRUE(pdf.contains("/CropBox [50 60 350 460] /Rotate 90"));
    EXPECT_TRUE(pdf.contains("/QuadPoints [72 710 122 710 72 698 122 698]"));
    EXPECT_TRUE(pdf.contains("/CA 0.502"));

    // Encrypted, every string and stream is hidden and the file still whole.
    PdfFixtureWriter locked = richFixture();
    locked.setUserPassword("secret");
    const QByteArray encrypted = locked.data();
    expectConsistentXref(encrypted);
    EXPECT_TRUE(encrypted.contains("/Filter /Standard /V 1 /R 2"));
    EXPECT_FALSE(encrypted.contains("Hello") || encrypted.contains("Folvan:A") || encrypted.contains("(One)"));
}
