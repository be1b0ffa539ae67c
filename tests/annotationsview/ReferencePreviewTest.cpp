// The citation preview's controller: when it shows, what it keeps, what a
// late picture does, and what takes the preview away.

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "annotations/ReadingAids.h"
#include "annotationsview/ReferencePreviewController.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::test {
namespace {

using annotationsview::previewPlace;
using annotationsview::ReferencePreviewController;
using State = ReferencePreviewController::State;

class ReferencePreviewTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        platform::Preferences::resetSharedForTesting();
        controller = std::make_unique<ReferencePreviewController>();
        const QString file = writePaper(path(QStringLiteral("paper.pdf")), 3, [](engine::PdfFixtureWriter &w) {
            w.addLink(0, QRectF(72, 697, 30, 12), 1, QPointF(70, 711));
            w.addLink(0, QRectF(72, 677, 30, 12), 2, QPointF(70, 711));
            w.addUriLink(0, QRectF(72, 657, 30, 12), QStringLiteral("https://example.org"));
            w.setPageLabels({{0, 'D', {}, 1}, {2, 'r', {}, 4}});
        });
        document = engine::PdfDocument::open(file);
        const engine::PdfPage page(document, 0);
        first = *annotations::linkAt(QPointF(80, 700), page);
        second = *annotations::linkAt(QPointF(80, 680), page);
        web = *annotations::linkAt(QPointF(80, 660), page);
        view.resize(400, 300);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    }
    void TearDown() override
    {
        controller.reset();
        QThreadPool::globalInstance()->waitForDone();
        platform::Preferences::resetSharedForTesting();
        TempHomeTest::TearDown();
    }

    void hover(const std::optional<engine::PdfAnnotation> &link)
    {
        controller->hover(link, document, QRectF(100, 150, 30, 12), &view);
    }
    // Hovers and lets the delay end; waits for the picture.
    void showPreview(const engine::PdfAnnotation &link)
    {
        hover(link);
        controller->showPendingNow();
        EXPECT_TRUE(test::waitFor([&] { return controller->state() == State::shown; }));
    }

    std::shared_ptr<engine::PdfDocument> document;
    engine::PdfAnnotation first, second, web;
    QWidget view;
    std::unique_ptr<ReferencePreviewController> controller;
};

TEST_F(ReferencePreviewTest, RestingOnALinkShowsItsTargetAfterTheDelay)
{
    hover(first);
    EXPECT_EQ(controller->state(), State::pending);
    EXPECT_EQ(controller->popup(), nullptr);
    showPreview(first);
    EXPECT_EQ(controller->popup()->caption()->text(), QStringLiteral("引用 · 第 2 页 · 点击原链接跳转"));
    EXPECT_EQ(controller->popup()->picture()->accessibleName(), QStringLiteral("引用内容，第 2 页"));
    // Beside the link, not over it.
    const QRect link(view.mapToGlobal(QPoint(100, 150)), QSize(30, 12));
    EXPECT_FALSE(controller->popup()->geometry().intersects(link));

    // Moving within the link keeps the same preview.
    auto *shown = controller->popup();
    hover(first);
    EXPECT_EQ(controller->popup(), shown);

    // Another link: the first goes at once, the second waits a full delay.
    hover(second);
    EXPECT_EQ(controller->popup(), nullptr);
    EXPECT_EQ(controller->state(), State::pending);
    showPreview(second);
    EXPECT_EQ(controller->popup()->caption()->text(), QStringLiteral("引用 · 第 iv 页 · 点击原链接跳转"));

    hover(std::nullopt);
    EXPECT_EQ(controller->state(), State::idle);
}

TEST_F(ReferencePreviewTest, NothingShowsWhenOffOrWithoutATargetOrFocus)
{
    platform::Preferences::shared().setValue(QStringLiteral("folvan.referencePreviews"), false);
    hover(first);
    EXPECT_EQ(controller->state(), State::idle);
    // Only a stored Boolean false turns previews off.
    platform::Preferences::shared().setValue(QStringLiteral("folvan.referencePreviews"), QStringLiteral("no"));
    hover(first);
    EXPECT_EQ(controller->state(), State::pending);
    // Turning them off takes a pending preview away.
    platform::Preferences::shared().setValue(QStringLiteral("folvan.referencePreviews"), false);
    EXPECT_EQ(controller->state(), State::idle);
    platform::Preferences::shared().remove(QStringLiteral("folvan.referencePreviews"));

    hover(web);
    EXPECT_EQ(controller->state(), State::idle);
    controller->hover(first, nullptr, QRectF(100, 150, 30, 12), &view);
    EXPECT_EQ(controller->state(), State::idle);
    QWidget hidden;
    controller->hover(first, document, QRectF(100, 150, 30, 12), &hidden);
    EXPECT_EQ(controller->state(), State::idle);
}

TEST_F(ReferencePreviewTest, ALatePictureOfAnEndedHoverIsDropped)
{
    hover(first);
    controller->showPendingNow();
    EXPECT_EQ(controller->state(), State::pending);
    controller->dismiss();
    // The picture is drawn and handed back; nothing shows for it.
    waitForIdle();
    EXPECT_EQ(controller->popup(), nullptr);
    EXPECT_EQ(controller->state(), State::idle);

    // The same with a new hover in between: only the new one shows.
    hover(first);
    controller->showPendingNow();
    hover(second);
    waitForIdle();
    EXPECT_EQ(controller->popup(), nullptr);
    showPreview(second);
}

TEST_F(ReferencePreviewTest, LosingFocusOrClosingTheWindowTakesThePreviewAway)
{
    showPreview(first);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&view, &deactivate);
    EXPECT_EQ(controller->state(), State::idle);
    EXPECT_FALSE(controller->hovered());

    showPreview(second);
    view.close();
    EXPECT_EQ(controller->state(), State::idle);
}

// A picture narrower than its caption (a short region, a large interface
// text): the caption is read whole all the same, at every text size, and
// the picture stays inside the popover.
TEST_F(ReferencePreviewTest, TheCaptionFitsAPictureNarrowerThanIt)
{
    QImage narrow(200, 120, QImage::Format_RGB32);
    narrow.fill(Qt::white);
    narrow.setDevicePixelRatio(2);
    for (double size : {15.0, 20.0}) {
        platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, size);
        const annotationsview::ReferencePreviewPopup popup(narrow, QStringLiteral("6"));
        const QLabel *caption = popup.caption();
        EXPECT_GE(caption->width(), caption->fontMetrics().horizontalAdvance(caption->text())) << size;
        EXPECT_TRUE(popup.rect().contains(caption->geometry())) << size;
        EXPECT_TRUE(popup.rect().contains(popup.picture()->geometry())) << size;
        EXPECT_EQ(popup.picture()->width(), 100);
    }
}

TEST(PreviewPlacement, BesideTheAnchorInsideTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const QSize size(300, 200);
    // Room above: above it, centred across.
    EXPECT_EQ(previewPlace(QRect(400, 400, 40, 12), size, screen), QPoint(269, 196));
    // Near the top: below it.
    EXPECT_EQ(previewPlace(QRect(400, 50, 40, 12), size, screen), QPoint(269, 66));
    // Near the right edge: held inside, still above.
    EXPECT_EQ(previewPlace(QRect(980, 400, 10, 12), size, screen), QPoint(700, 196));
    // Neither above nor below: to the right.
    const QRect tall(100, 300, 40, 12);
    const QPoint side = previewPlace(tall, QSize(300, 700), screen);
    EXPECT_FALSE(QRect(side, QSize(300, 700)).intersects(tall));
    EXPECT_TRUE(screen.contains(QRect(side, QSize(300, 700))));
}

} // namespace
} // namespace folvan::test
