#include <gtest/gtest.h>

#include "engine/PdfPage.h"
#include "pdfview/PageSelections.h"
#include "PageViewFixtures.h"

using namespace folvan;
using namespace folvan::pdfview;

namespace {

// The page texts of a document, handed out as a page view does, with a
// count of the pages asked for.
struct Texts {
    explicit Texts(const std::shared_ptr<engine::PdfDocument> &document)
    {
        for (int i = 0; i < document->pageCount(); ++i)
            texts.push_back(document->page(i).text());
    }
    PageSelections::TextOfPage provider()
    {
        return [this](int page) {
            asked.push_back(page);
            return texts[size_t(page)].get();
        };
    }
    std::vector<std::shared_ptr<const engine::PdfPageText>> texts;
    std::vector<int> asked;
};

TEST(PageSelections, SearchBatchesReworkOnlyThePagesTheyTouch)
{
    const auto document = test::textDocument(2);
    Texts texts(document);
    const engine::PdfSelection first = document->page(0).selectionForWord(test::lineOrigin(0) + QPointF(2, 3));
    const engine::PdfSelection second = document->page(1).selectionForWord(test::lineOrigin(1) + QPointF(2, 3));
    PageSelections marks;
    ASSERT_TRUE(marks.setHighlights({first}));
    const auto *firstRects = marks.marksOf(0, document, texts.provider()).highlights;
    ASSERT_TRUE(firstRects);
    EXPECT_EQ(firstRects->size(), 1u);
    EXPECT_FALSE(marks.marksOf(1, document, texts.provider()).highlights);

    // The next batch adds a match on the second page: the first page's
    // rectangles stay as they were, without its text asked for again.
    texts.asked.clear();
    EXPECT_TRUE(marks.setHighlights({first, second}));
    EXPECT_EQ(marks.marksOf(0, document, texts.provider()).highlights, firstRects);
    ASSERT_TRUE(marks.marksOf(1, document, texts.provider()).highlights);
    EXPECT_EQ(texts.asked, std::vector<int>{1});
    EXPECT_FALSE(marks.setHighlights({first, second}));

    // A list that is not an extension starts over.
    EXPECT_TRUE(marks.setHighlights({second}));
    EXPECT_FALSE(marks.marksOf(0, document, texts.provider()).highlights);
    EXPECT_EQ(marks.highlights().size(), 1u);
}

TEST(PageSelections, MarksOfAnotherDocumentAreNotDrawnAndAskForNoText)
{
    const auto document = test::textDocument(2);
    const auto other = test::textDocument(2);
    Texts texts(document);
    PageSelections marks;
    const engine::PdfSelection word = document->page(0).selectionForWord(test::lineOrigin(0) + QPointF(2, 3));
    EXPECT_TRUE(marks.setSelection(word));
    EXPECT_FALSE(marks.setSelection(word));
    EXPECT_TRUE(marks.setPassage(word));

    const auto elsewhere = marks.marksOf(0, other, texts.provider());
    EXPECT_FALSE(elsewhere.selection);
    EXPECT_FALSE(elsewhere.passage);
    EXPECT_TRUE(texts.asked.empty());

    // A page the passage does not reach has no passage marks, known
    // without its text.
    const auto secondPage = marks.marksOf(1, document, [](int) { return nullptr; });
    ASSERT_TRUE(secondPage.passage);
    EXPECT_TRUE(secondPage.passage->empty());

    const auto firstPage = marks.marksOf(0, document, texts.provider());
    ASSERT_TRUE(firstPage.selection && firstPage.passage);
    EXPECT_EQ(firstPage.selection->size(), 1u);
    EXPECT_EQ(*firstPage.selection, *firstPage.passage);

    EXPECT_TRUE(marks.clear());
    EXPECT_FALSE(marks.clear());
    EXPECT_FALSE(marks.marksOf(0, document, texts.provider()).selection);
}

} // namespace
