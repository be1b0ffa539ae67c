#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QUndoStack>

#include "pdfview/DroppablePDFView.h"
#include "pdfview/PageRasterCache.h"
#include "PageViewFixtures.h"
#include "support/PreviewClosers.h"
#include "support/UntypedObject.h"

using namespace folvan;
using namespace folvan::pdfview;
using folvan::test::waitForIdle;

namespace {

QMimeData *filesDrag(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(path.contains(u':') ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// ---------------------------------------------------------------- drops

TEST(DroppablePDFViewDrops, OffersCopyOnlyForAPDFFileInAnyCase)
{
    std::unique_ptr<QMimeData> upper(filesDrag({"/tmp/Paper.PDF"}));
    std::unique_ptr<QMimeData> others(filesDrag({"/tmp/folder", "/tmp/image.png", "/tmp/notes.txt"}));
    std::unique_ptr<QMimeData> web(filesDrag({"https://example.org/paper.pdf"}));
    std::unique_ptr<QMimeData> text(new QMimeData);
    text->setText(QStringLiteral("/tmp/paper.pdf"));
    EXPECT_EQ(DroppablePDFView::dragOperation(upper.get()), Qt::CopyAction);
    EXPECT_EQ(DroppablePDFView::dragOperation(others.get()), Qt::IgnoreAction);
    EXPECT_EQ(DroppablePDFView::dragOperation(web.get()), Qt::IgnoreAction);
    EXPECT_EQ(DroppablePDFView::dragOperation(text.get()), Qt::IgnoreAction);
}

TEST(DroppablePDFViewDrops, OpensTheFirstPDFOfTheDropInALaterTurn)
{
    DroppablePDFView view;
    std::vector<QUrl> opened;
    view.setOnDropPDF([&](const QUrl &url) { opened.push_back(url); });
    std::unique_ptr<QMimeData> drag(filesDrag({"/tmp/a.txt", "/tmp/b.pdf", "/tmp/c.Pdf"}));
    EXPECT_TRUE(view.performDrop(drag.get()));
    EXPECT_TRUE(opened.empty());
    waitForIdle();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile("/tmp/b.pdf"));

    std::unique_ptr<QMimeData> none(filesDrag({"/tmp/a.txt"}));
    EXPECT_FALSE(view.performDrop(none.get()));
    waitForIdle();
    EXPECT_EQ(opened.size(), 1u);

    // Accepted, but without a handler, or with the view gone by the later
    // turn, nothing happens.
    view.setOnDropPDF({});
    EXPECT_TRUE(view.performDrop(drag.get()));
    waitForIdle();
    auto *gone = new DroppablePDFView;
    gone->setOnDropPDF([&](const QUrl &url) { opened.push_back(url); });
    EXPECT_TRUE(gone->performDrop(drag.get()));
    delete gone;
    waitForIdle();
    EXPECT_EQ(opened.size(), 1u);
}

// Drop events go through QDrag's bookkeeping when sent; handed over directly.
class DropTarget : public DroppablePDFView {
public:
    using DroppablePDFView::dropEvent;
};

TEST(DroppablePDFViewDrops, DragEventsAnswerAsTheDropWould)
{
    DropTarget view;
    view.registerForDraggedFiles();
    std::vector<QUrl> opened;
    view.setOnDropPDF([&](const QUrl &url) { opened.push_back(url); });
    std::unique_ptr<QMimeData> text(filesDrag({"/tmp/notes.txt"}));
    const QPoint at(10, 10);

    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, text.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &enter);
    EXPECT_EQ(enter.dropAction(), Qt::IgnoreAction);
    // Moving over the view offers copy whatever is dragged...
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, text.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    // ...but only a PDF is taken.
    QDropEvent drop(at, Qt::CopyAction, text.get(), Qt::LeftButton, Qt::NoModifier);
    view.dropEvent(&drop);
    EXPECT_FALSE(drop.isAccepted());
    waitForIdle();
    EXPECT_TRUE(opened.empty());
}

// ---------------------------------------------------------------- links

// Page 0 has an internal link to page 2 and three web links; pages are
// shown at zoom 1 in a 700 × 800 view.
class DroppablePDFViewLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::PdfFixtureWriter writer;
        for (int p = 0; p < 4; ++p) {
            writer.addPage();
            test::addTextLines(writer, p);
        }
        writer.addLink(0, internalRect, 2, QPointF(72, 500));
        writer.addUriLink(0, httpsRect, QStringLiteral("https://example.org/paper"));
        writer.addUriLink(0, scriptRect, QStringLiteral("javascript:alert(1)"));
        writer.addUriLink(0, fileRect, QStringLiteral("file:///etc/passwd"));
        document = test::openFixture(writer);
        view.resize(700, 800);
        view.setDocument(document);
        view.setScaleFactor(1.0);
        view.show();
    }

    QPoint centreOf(const QRectF &rect) { return view.convertPointFromPage(rect.center(), 0).toPoint(); }
    void click(const QRectF &rect) { QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(rect)); }

    // Records web links instead of opening them.
    class View : public DroppablePDFView {
    public:
        std::vector<QUrl> opened;

    protected:
        void openWebLink(const QUrl &url) override { opened.push_back(url); }
    };

    const QRectF internalRect{72, 300, 100, 20};
    const QRectF httpsRect{72, 250, 100, 20};
    const QRectF scriptRect{72, 200, 100, 20};
    const QRectF fileRect{72, 150, 100, 20};
    std::shared_ptr<engine::PdfDocument> document;
    View view;
};

TEST_F(DroppablePDFViewLinks, AnInternalLinkGoesToTheHandlerNotTheView)
{
    // Without a handler the click does nothing at all.
    click(internalRect);
    EXPECT_EQ(view.currentPageIndex(), 0);
    EXPECT_FALSE(view.currentSelection());

    std::vector<engine::PdfDestination> followed;
    view.setOnInternalLink([&](const engine::PdfDestination &d) { followed.push_back(d); });
    click(internalRect);
    ASSERT_EQ(followed.size(), 1u);
    EXPECT_EQ(followed[0].pageIndex, 2);
    EXPECT_EQ(followed[0].point(), QPointF(72, 500));
    EXPECT_EQ(view.currentPageIndex(), 0);
}

TEST_F(DroppablePDFViewLinks, WebLinksOpenOnlyForHttpHttpsAndMail)
{
    click(httpsRect);
    click(scriptRect);
    click(fileRect);
    ASSERT_EQ(view.opened.size(), 1u);
    EXPECT_EQ(view.opened[0], QUrl(QStringLiteral("https://example.org/paper")));

    EXPECT_TRUE(PdfView::isOpenableWebLink(QUrl(QStringLiteral("HTTP://example.org"))));
    EXPECT_TRUE(PdfView::isOpenableWebLink(QUrl(QStringLiteral("mailto:someone@example.org"))));
    EXPECT_FALSE(PdfView::isOpenableWebLink(QUrl(QStringLiteral("ftp://example.org"))));
    EXPECT_FALSE(PdfView::isOpenableWebLink(QUrl(QStringLiteral("javascript:alert(1)"))));
}

TEST_F(DroppablePDFViewLinks, ThePointerShowsAHandOverLinksAndAnIBeamOverText)
{
    // The page's links and text are read off the main thread first.
    QTest::mouseMove(view.viewport(), centreOf(httpsRect));
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
    view.rasterCache().waitForIdle();
    QTest::mouseMove(view.viewport(), centreOf(httpsRect) + QPoint(1, 0));
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::PointingHandCursor);
    const QPointF onText = view.convertPointFromPage(test::lineOrigin(0) + QPointF(20, 3), 0);
    QTest::mouseMove(view.viewport(), onText.toPoint());
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseMove(view.viewport(), view.convertPointFromPage(QPointF(500, 400), 0).toPoint());
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
}

// ---------------------------------------------------------------- hover

class FakePreview : public ReferencePreview {
public:
    struct Call {
        bool hasLink;
        QRectF anchor;
    };
    std::vector<Call> hovers;
    int dismissals = 0;

    void hover(const std::optional<engine::PdfAnnotation> &link, const std::shared_ptr<engine::PdfDocument> &,
               const QRectF &anchor, QWidget *) override
    {
        hovers.push_back({link.has_value(), anchor});
    }
    void dismiss() override { ++dismissals; }
};

TEST_F(DroppablePDFViewLinks, HoverDrivesThePreviewAndEveryOtherEventClosesIt)
{
    auto *preview = new FakePreview;
    view.setReferencePreview(std::unique_ptr<ReferencePreview>(preview));
    ASSERT_TRUE(view.isTrackingReferences());

    // Until the page's links are read, the pointer is on no link.
    const QPoint onLink = centreOf(httpsRect);
    test::sendMouseMove(view.viewport(), onLink);
    ASSERT_EQ(preview->hovers.size(), 1u);
    EXPECT_FALSE(preview->hovers.back().hasLink);
    view.rasterCache().waitForIdle();
    test::sendMouseMove(view.viewport(), onLink);
    EXPECT_TRUE(preview->hovers.back().hasLink);
    EXPECT_EQ(preview->hovers.back().anchor.toAlignedRect(),
              view.convertRectFromPage(httpsRect, 0).toAlignedRect());

    const int before = preview->dismissals;
    QTest::keyClick(view.viewport(), Qt::Key_Down);
    EXPECT_GT(preview->dismissals, before);

    // Hidden: the next event closes the preview instead of hovering.
    view.hide();
    const size_t hovers = preview->hovers.size();
    test::sendMouseMove(view.viewport(), onLink);
    EXPECT_EQ(preview->hovers.size(), hovers);

    view.stopReferenceTracking();
    EXPECT_FALSE(view.isTrackingReferences());
}

// In a window with a toolbar: a click anywhere, a key (also a shortcut of
// the window), a scroll, or the pointer going out of the view closes the
// preview, and the key and the scroll still move the view.
TEST(DroppablePDFViewPreview, ClicksKeysScrollsAndMovesOutCloseThePreview)
{
    test::WindowWithToolbar toolbar(QSize(700, 840));
    auto *view = new DroppablePDFView(&toolbar.window);
    view->setGeometry(toolbar.below());
    view->setDocument(test::textDocument(4));
    view->setScaleFactor(1.0);
    auto *preview = new FakePreview;
    view->setReferencePreview(std::unique_ptr<ReferencePreview>(preview));
    toolbar.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar.window));
    view->setFocus();

    const int top = view->verticalScrollBar()->value();
    test::expectClicksKeysScrollsAndMovesOutCloseThePreview(view, view->viewport(), toolbar,
                                                           [&] { return preview->dismissals; });
    EXPECT_GT(view->verticalScrollBar()->value(), top) << "the key and the scroll did not move the view";
}

// The items of the web engine's scene, of classes without type
// information, get moves and keys of their own after their widget: they are
// judged by the event alone. A move to one is left to its widget's move;
// a key still closes the preview.
TEST(DroppablePDFViewPreview, EventsOfObjectsWithoutTypeInformationAreJudgedByTheEventAlone)
{
    QWidget view;
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const test::UntypedObject item = test::makeUntypedObject();
    const QPointF inside(30, 30);
    QMouseEvent move(QEvent::MouseMove, inside, view.mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(previewEffect(&view, item.get(), &move), PreviewEffect::none);
    EXPECT_EQ(previewEffect(&view, &view, &move), PreviewEffect::within);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(previewEffect(&view, item.get(), &key), PreviewEffect::close);
}

TEST(DroppablePDFViewUndo, ReportsThePanesUndoStackWhenSet)
{
    DroppablePDFView view;
    QUndoStack *own = view.undoManager();
    ASSERT_NE(own, nullptr);
    QUndoStack annotations;
    view.setReadingUndoManager(&annotations);
    EXPECT_EQ(view.undoManager(), &annotations);
    view.setReadingUndoManager(nullptr);
    EXPECT_EQ(view.undoManager(), own);
}

} // namespace
