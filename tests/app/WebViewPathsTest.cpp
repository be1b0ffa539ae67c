// The reader's everyday paths over the web views, walked with the window's
// own keys: every focus change and key inside the web engine's scene passes
// the application's event filters, and the search marks the reflow view
// reports come and go with each search. Built with the sanitizers, a filter
// that asks a scene item about itself, or a comparison of empty lists
// handing memcmp a null pointer, ends the run here.

#include <gtest/gtest.h>

#include "app/ReaderWindow.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/SharedPDFViewModel.h"
#include "pane/PaneController.h"
#include "reflow/ReflowView.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"
#include "window/ReadingArea.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellTestSupport.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWebEngineView>

using namespace folvan;

namespace {

class WebViewPathsTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // Two pages of text with "e" in it; on the first, a figure whose
        // label (an "e" too) goes with the figure's cut-out in the reflow
        // view.
        engine::PdfFixtureWriter writer;
        for (int page = 0; page < 2; ++page) {
            writer.addPage();
            for (int line = 0; line < 12; ++line)
                writer.addText(page, QPointF(72, 720 - 16 * line),
                               QStringLiteral("The reader reflows these sentences line %1 here.").arg(line));
        }
        QImage picture(120, 80, QImage::Format_RGB888);
        picture.fill(QColor(40, 90, 160));
        writer.addImage(0, QRectF(150, 240, 240, 160), picture);
        writer.addText(0, QPointF(260, 300), QStringLiteral("e"));
        ASSERT_TRUE(writer.save(path(QStringLiteral("paper.pdf"))));

        window = std::make_unique<app::ReaderWindow>();
        window->resize(1300, 850);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        pane = window->workspace()->primaryView();
        window->openExternalPaths({path(QStringLiteral("paper.pdf"))});
        ASSERT_TRUE(test::waitFor([&] { return pane->viewModel()->pdfDocument() != nullptr; }));
    }
    void TearDown() override
    {
        window.reset();
        test::waitForIdle();
        ShellTest::TearDown();
    }

    window::ReadingArea &area() const { return *pane->paneLayout()->readingArea(); }
    void keys(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const
    {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
    // Clicks the page drawn by the web view inside `view`: the keys go into
    // the web engine's scene.
    void clickPage(QWidget *view) const
    {
        QWidget *surface = nullptr;
        ASSERT_TRUE(test::waitFor([&] {
            auto *web = view ? view->findChild<QWebEngineView *>() : nullptr;
            surface = web ? web->focusProxy() : nullptr;
            return surface && surface->isVisible();
        }));
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() / 2, surface->height() / 3));
        ASSERT_TRUE(test::waitFor([&] { return surface->hasFocus(); }));
    }
    // Ctrl+Shift+P opens the palette, with the keys in its field; Escape
    // closes it.
    void paletteOpenedAndClosed() const
    {
        keys(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(test::waitFor([&] {
            return pane->controller()->showCommandPalette() && qobject_cast<QLineEdit *>(QApplication::focusWidget());
        }));
        keys(Qt::Key_Escape);
        EXPECT_TRUE(test::waitFor([&] { return !pane->controller()->showCommandPalette(); }));
    }

    std::unique_ptr<app::ReaderWindow> window;
    window::ContentView *pane = nullptr;
};

} // namespace

TEST_F(WebViewPathsTest, ThePaletteOpensAndClosesOverTheBookAndTheReflowView)
{
    pane->controller()->readingModeChosen(true);
    ASSERT_TRUE(test::waitFor([&] { return area().bookView() != nullptr; }));
    clickPage(area().bookView());
    paletteOpenedAndClosed();

    keys(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(test::waitFor([&] { return area().reflowView() && area().reflowView()->isVisible(); }));
    clickPage(area().reflowView());
    paletteOpenedAndClosed();
}

TEST_F(WebViewPathsTest, AReflowSearchWithMatchesInAFigureClosesWithEscape)
{
    keys(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(test::waitFor([&] {
        auto *reflow = qobject_cast<reflow::ReflowView *>(area().reflowView());
        return reflow && reflow->coordinator() && reflow->coordinator()->loaded();
    }));
    clickPage(area().reflowView());

    model::SharedPDFViewModel *model = pane->viewModel();
    keys(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(test::waitFor([&] { return qobject_cast<QLineEdit *>(QApplication::focusWidget()) != nullptr; }));
    keys(Qt::Key_E);
    keys(Qt::Key_Return);
    ASSERT_TRUE(test::waitFor([&] { return !model->searchResults().empty(); }));
    // The figure's label is among the matches the view shows as an image.
    ASSERT_TRUE(test::waitFor([&] { return !model->searchResultsInImages().isEmpty(); }));

    keys(Qt::Key_Escape);
    EXPECT_TRUE(test::waitFor([&] { return !model->showSearch(); }));
    test::waitForIdle();
    EXPECT_TRUE(model->searchResultsInImages().isEmpty());
}
