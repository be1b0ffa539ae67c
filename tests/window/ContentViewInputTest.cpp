// What the pane on screen hands to its controller: its width, files dragged
// over it and the file dropped on it.

#include "PaneTestSupport.h"

#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
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
    ASSERT_TRUE(waitFor([&] { return controller.windowWidth() == 900; }));

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
    EXPECT_TRUE(waitFor([&] { return model().pdfDocumentURL() == QUrl::fromLocalFile(file); }));
}

// A drag whose first item is no PDF file is refused as it enters: no
// highlight, and no drop follows that the pane would take and then ignore.
TEST_F(ContentViewInputTest, ADragWithoutAPdfFirstIsRefused)
{
    const QString file = paper(QStringLiteral("Kept.pdf"), 2);
    QDir().mkpath(path(QStringLiteral("Folder")));
    QDir().mkpath(path(QStringLiteral("Folder.pdf")));
    QFile note(path(QStringLiteral("note.txt")));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.close();
    pane::PaneController &controller = *pane->controller();
    pane->show();

    for (const QList<QUrl> &urls :
         {QList<QUrl>{QUrl::fromLocalFile(path(QStringLiteral("Folder")))},
          QList<QUrl>{QUrl::fromLocalFile(path(QStringLiteral("Folder.pdf")))},
          QList<QUrl>{QUrl::fromLocalFile(note.fileName()), QUrl::fromLocalFile(file)},
          QList<QUrl>{QUrl(QStringLiteral("https://example.org/paper.pdf"))}}) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pane.get(), &enter);
        EXPECT_FALSE(enter.isAccepted()) << urls.constFirst().toString().toStdString();
        EXPECT_FALSE(controller.isDragTargeted());
    }
}

} // namespace folvan::window::test
