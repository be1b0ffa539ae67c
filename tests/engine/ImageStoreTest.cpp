#include <gtest/gtest.h>

#include <QImage>

#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/detail/MuContext.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

// Sizes no other test uses, to find these images in the shared store.
constexpr int kImageHeight = 2011;
QSize imageSize(int page) { return QSize(2000 + page, kImageHeight); }

// A page filled by one image of its own size (one flat colour, compressed,
// so that the file stays small while each image decodes to 12 MB).
QByteArray pagesWithLargeImages(int pages)
{
    PdfFixtureWriter writer;
    for (int page = 0; page < pages; ++page) {
        writer.addPage(QSizeF(600, 600));
        const QSize pixels = imageSize(page);
        const QByteArray samples(qsizetype(pixels.width()) * pixels.height() * 3, char(40 + page));
        // qCompress puts the length before the zlib stream.
        writer.addRawImage(page, QRectF(0, 0, 600, 600), pixels, "/DeviceRGB /Filter /FlateDecode",
                           qCompress(samples).mid(4));
    }
    return writer.data();
}

// Draws one tile of the page at a scale that needs every pixel of its image.
void drawTile(const PdfPage &page)
{
    page.displayList(true)->render(4, QRect(0, 0, 256, 256));
}

} // namespace

TEST(ImageStore, ALongReadingKeepsTheImagesOfThePagesNearNotOfEveryPageRead)
{
    // Fourteen images of 12 MB decoded: more than reading needs to keep.
    constexpr int kPages = 14;
    const auto document = PdfDocument::openData(pagesWithLargeImages(kPages));
    ASSERT_TRUE(document);
    for (int page = 0; page < kPages; ++page)
        drawTile(document->page(page));

    // The pages read first have let their images go...
    EXPECT_EQ(detail::storedImagePieces(imageSize(0).width(), kImageHeight), 0);
    EXPECT_EQ(detail::storedImagePieces(imageSize(1).width(), kImageHeight), 0);
    // ...while the last pages keep theirs whole, decoded once for all the
    // tiles still to be drawn.
    for (int page = kPages - 3; page < kPages; ++page) {
        EXPECT_EQ(detail::storedImagePieces(imageSize(page).width(), kImageHeight), 1) << page;
        drawTile(document->page(page));
        EXPECT_EQ(detail::storedImagePieces(imageSize(page).width(), kImageHeight), 1) << page;
    }
}

// A paper that is closed takes its decoded images with it, whether its
// pages' lists go before the document or outlive it: a reader that opens
// paper after paper would otherwise keep every paper's images until the
// store is full.
TEST(ImageStore, AClosedDocumentLeavesNoDecodedImagesBehind)
{
    // Sizes no other test uses.
    const QSize first(1501, 1009), second(1502, 1009);
    const auto imagePage = [](const QSize &pixels) {
        PdfFixtureWriter writer;
        writer.addPage(QSizeF(600, 600));
        const QByteArray samples(qsizetype(pixels.width()) * pixels.height() * 3, char(90));
        writer.addRawImage(0, QRectF(0, 0, 600, 600), pixels, "/DeviceRGB /Filter /FlateDecode",
                           qCompress(samples).mid(4));
        return writer.data();
    };
    {
        auto document = PdfDocument::openData(imagePage(first));
        ASSERT_TRUE(document);
        document->page(0).displayList(true)->render(2, QRect(0, 0, 256, 256));
        ASSERT_EQ(detail::storedImagePieces(first.width(), first.height()), 1);
    }
    EXPECT_EQ(detail::storedImagePieces(first.width(), first.height()), 0);

    std::shared_ptr<const PdfDisplayList> kept;
    {
        auto document = PdfDocument::openData(imagePage(second));
        ASSERT_TRUE(document);
        kept = document->page(0).displayList(true);
        kept->render(2, QRect(0, 0, 256, 256));
        ASSERT_EQ(detail::storedImagePieces(second.width(), second.height()), 1);
    }
    kept.reset();
    EXPECT_EQ(detail::storedImagePieces(second.width(), second.height()), 0);
}
