// What the pane on screen hands to its controller: its width, files dragged
// over it and the file dropped on it.

#include "PaneTestSupport.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace folvan::window::test {

namespace {

using ContentViewInputTest = OnePaneTest;

} // namespace

TEST_F(ContentViewInputTest, WidthDragsAndDropsReachTheController)
{
    const QString file = paper(QStringLiteral("Dropped.PDF"), 2);
    pane::PaneController &controller = *pane->controller();
    pane->resize(900, 700);
    pane->show();
    ASSERT_TRUE(waitUntil([&] { return controller.windowWidth() == 900; }));

    QMimeData text;
    text.setText(QStringLiteral("no files"));
    QDragEnterEvent plain(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane.get(), &plain);
    EXPECT_FALSE(controller.isDragTargeted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane.get(), &enter);
    EXPECT_TRUE(controller.isDragTargeted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(pane.get(), &leave);
    EXPECT_FALSE(controller.isDragTargeted());

    QCoreApplication::sendEvent(pane.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane.get(), &drop);
    EXPECT_FALSE(controller.isDragTargeted());
    EXPECT_TRUE(waitUntil([&] { return model().pdfDocumentURL() == QUrl::fromLocalFile(file); }));
}

} // namespace folvan::window::test
