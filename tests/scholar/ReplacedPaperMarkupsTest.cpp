#include "annotations/AnnotationTestSupport.h"

#include "ScholarTestSupport.h"
#include "annotations/AnnotationFile.h"
#include "scholar/WebView.h"

#include <QDir>

using namespace folvan;

namespace {

class ReplacedPaperMarkupsTest : public test::PaneTest {
protected:
    // Replaces the paper of `model` through its Scholar browser with a
    // paper of `pages` pages, the same lines on each.
    void replace(model::SharedPDFViewModel &model, int pages)
    {
        const QByteArray bytes = test::fileBytes(test::writePaper(path(QStringLiteral("download.pdf")), pages));
        scholar::WebView::Coordinator coordinator(nullptr, &model);
        coordinator.setPrompts(prompts);
        coordinator.replaceCurrentPDF(QString::fromLatin1(bytes.toBase64()));
        ASSERT_EQ(model.pdfDocument()->pageCount(), pages);
    }

    std::vector<annotations::ReadingMarkup> stored(model::SharedPDFViewModel &model) const
    {
        return annotations::readMarkupFile(annotationFile(model))
            .markups.value_or(std::vector<annotations::ReadingMarkup>{});
    }

    // The files set beside the annotation file of `model`.
    QStringList setAside(model::SharedPDFViewModel &model) const
    {
        const QFileInfo file(annotationFile(model));
        return QDir(file.absolutePath()).entryList({file.fileName() + QStringLiteral(".*")}, QDir::Files);
    }

    void highlight(model::SharedPDFViewModel &model, int page, int line)
    {
        select(model, page, line, 0, 5);
        test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    }

    std::shared_ptr<test::FakePrompts> prompts = std::make_shared<test::FakePrompts>();
};

} // namespace

// The markups of a paper replaced from the browser stand on its new pages
// at once, later ones are added to them, and a file read without fault is
// never set aside; the other pane on the same paper keeps in step.
TEST_F(ReplacedPaperMarkupsTest, MarkupsStayWithTheReplacedPaperInBothPanes)
{
    const QString paper = test::writePaper(path(QStringLiteral("Paper.pdf")), 2);
    model::SharedPDFViewModel &left = openPane(paper);
    model::SharedPDFViewModel &right = openPane(paper);
    highlight(left, 0, 0);
    ASSERT_EQ(stored(left).size(), 1u);

    replace(left, 3);
    ASSERT_TRUE(prompts->alerts.isEmpty()) << prompts->alerts.join('\n').toStdString();
    EXPECT_EQ(test::annotationsOf(left).markups(), stored(left));
    EXPECT_EQ(shownNames(left, 0).size(), 1);

    highlight(left, 1, 1);
    EXPECT_EQ(stored(left).size(), 2u);
    EXPECT_EQ(test::annotationsOf(right).markups(), stored(left));
    highlight(right, 1, 2);
    EXPECT_EQ(stored(left).size(), 3u);
    EXPECT_EQ(test::annotationsOf(left).markups(), stored(left));
    highlight(left, 0, 2);
    EXPECT_EQ(stored(left).size(), 4u);
    EXPECT_TRUE(setAside(left).isEmpty()) << setAside(left).join(' ').toStdString();

    // Opened again: all of them.
    EXPECT_EQ(test::annotationsOf(openPane(paper)).markups().size(), 4u);
}

// Markups on pages the new paper lacks are not shown, the reader is told,
// and the file keeps a copy of them before the next save.
TEST_F(ReplacedPaperMarkupsTest, MarkupsPastTheNewLastPageAreToldOfAndKeptInACopy)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("Paper.pdf")), 3));
    highlight(model, 0, 0);
    highlight(model, 2, 0);
    replace(model, 1);
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(QStringLiteral("1 条批注")));
    highlight(model, 0, 1);
    EXPECT_EQ(stored(model).size(), 2u);
    const QStringList aside = setAside(model);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(aside.front().contains(QStringLiteral(".dropped-")));
}

// A markup whose save failed is not lost to the replace: it stays on the
// new pages and is saved once the file can be written.
TEST_F(ReplacedPaperMarkupsTest, AMarkupNotYetSavedStaysWithTheReplacedPaper)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("Paper.pdf")), 2));
    // A folder where the file should be: no file can be written there.
    ASSERT_TRUE(QDir().mkpath(annotationFile(model)));
    highlight(model, 1, 0);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    const std::vector<annotations::ReadingMarkup> unsaved = test::annotationsOf(model).markups();
    ASSERT_EQ(unsaved.size(), 1u);

    replace(model, 2);
    EXPECT_EQ(test::annotationsOf(model).markups(), unsaved);
    EXPECT_EQ(shownNames(model, 1).size(), 1);
    EXPECT_EQ(stored(model), unsaved);
}
