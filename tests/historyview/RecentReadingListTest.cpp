#include "history/HistoryTestSupport.h"
#include "historyview/RecentReadingList.h"

#include <QAction>
#include <QLabel>
#include <QTest>

using folvan::history::DocumentReadingState;
using folvan::historyview::RecentReadingList;
using folvan::historyview::RecentReadingRow;
using folvan::test::HistoryTest;

namespace {

DocumentReadingState viewState(double zoom, bool isBook, std::optional<bool> isReflow = std::nullopt)
{
    DocumentReadingState state;
    state.zoom = zoom;
    state.isBook = isBook;
    state.isReflow = isReflow;
    return state;
}

QList<RecentReadingRow *> rowsOf(const QWidget &list)
{
    return list.findChildren<RecentReadingRow *>(QStringLiteral("recentReadingRow"));
}

} // namespace

TEST(RecentReadingSubtitle, NamesThePageTheViewAndTheWholePercentage)
{
    EXPECT_EQ(RecentReadingList::subtitle(viewState(1.0, false)), QStringLiteral("第 1 页 · 滚动 · 100%"));
    DocumentReadingState book = viewState(1.256, true);
    book.page = 41;
    EXPECT_EQ(RecentReadingList::subtitle(book), QStringLiteral("第 42 页 · 翻书 · 125%"));
    EXPECT_EQ(RecentReadingList::subtitle(viewState(2.5, true, true)), QStringLiteral("第 1 页 · 重排"));
    EXPECT_EQ(RecentReadingList::subtitle(viewState(2.5, true, false)), QStringLiteral("第 1 页 · 翻书 · 250%"));
    // Products that lie just below a whole number still show that number.
    EXPECT_EQ(RecentReadingList::subtitle(viewState(0.57, false)), QStringLiteral("第 1 页 · 滚动 · 57%"));
    EXPECT_EQ(RecentReadingList::subtitle(viewState(1.15, false)), QStringLiteral("第 1 页 · 滚动 · 115%"));
    EXPECT_EQ(RecentReadingList::subtitle(viewState(0.999, false)), QStringLiteral("第 1 页 · 滚动 · 99%"));

    // The title drops only the last extension.
    EXPECT_EQ(RecentReadingList::title(QStringLiteral("/p/report.final.pdf")), QStringLiteral("report.final"));
    EXPECT_EQ(RecentReadingList::title(QStringLiteral("/p/.hidden")), QStringLiteral(".hidden"));
}

using RecentReadingListView = HistoryTest;

TEST_F(RecentReadingListView, ShowsTheSixNewestRecordsAndOpensTheirFiles)
{
    auto history = makeStore();
    QStringList papers;
    for (int i = 0; i < 8; ++i) {
        papers.append(makePaper(QStringLiteral("paper-%1.pdf").arg(i)));
        history->opened(papers.last(), viewState(1.0, i % 2 == 0, i == 7 ? std::optional(true) : std::nullopt));
    }
    QStringList opened;
    RecentReadingList list(history.get(), [&](const QString &file) { opened.append(file); });
    list.resize(600, 600);
    list.show();

    ASSERT_NE(list.findChild<QLabel *>(QStringLiteral("recentReadingHeader")), nullptr);
    const auto rows = rowsOf(list);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0]->titleText(), QStringLiteral("paper-7"));
    EXPECT_EQ(rows[0]->subtitleText(), QStringLiteral("第 1 页 · 重排"));
    EXPECT_EQ(rows[1]->subtitleText(), QStringLiteral("第 1 页 · 翻书 · 100%"));
    EXPECT_EQ(rows[2]->subtitleText(), QStringLiteral("第 1 页 · 滚动 · 100%"));
    EXPECT_EQ(rows[5]->titleText(), QStringLiteral("paper-2"));
    EXPECT_EQ(rows[5]->toolTip(), papers[2]);
    EXPECT_LE(rows[0]->width(), 440);

    QTest::mouseClick(rows[1], Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{papers[6]});
}

// A stored path of any length: the row lays out only what it can show,
// the start of the file's name, and so does its tooltip.
TEST_F(RecentReadingListView, ARecordWithAHugePathShowsTheStartOfItsName)
{
    auto history = makeStore();
    const QString name = QStringLiteral("Attention") + QString(2'000'000, QLatin1Char('x'));
    history->opened(QStringLiteral("/gone/") + name + QStringLiteral(".pdf"), viewState(1.0, false));
    RecentReadingList list(history.get(), {});
    list.resize(600, 600);
    list.show();
    const auto rows = rowsOf(list);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0]->titleText().startsWith(QStringLiteral("Attentionxxx")));
    EXPECT_LE(rows[0]->titleText().size(), 5000);
    EXPECT_TRUE(rows[0]->toolTip().startsWith(QStringLiteral("/gone/Attention")));
    EXPECT_LE(rows[0]->toolTip().size(), 10000);
    for (const QLabel *label : rows[0]->findChildren<QLabel *>())
        EXPECT_LE(label->text().size(), 5000);
    EXPECT_EQ(rows[0]->subtitleText(), QStringLiteral("文件已移动或无法访问"));
}

TEST_F(RecentReadingListView, AnOpenThatRecordsAtOnceRebuildsTheList)
{
    auto history = makeStore();
    const QString older = makePaper(QStringLiteral("older.pdf"));
    history->opened(older, viewState(1.0, true));
    history->opened(makePaper(QStringLiteral("newer.pdf")), viewState(1.0, true));
    RecentReadingList list(history.get(), [&](const QString &file) { history->opened(file, viewState(2.0, true)); });
    list.show();
    QTest::mouseClick(rowsOf(list).at(1), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto rows = rowsOf(list);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.first()->titleText(), QStringLiteral("older"));
    EXPECT_EQ(rows.first()->subtitleText(), QStringLiteral("第 1 页 · 翻书 · 200%"));
}

TEST_F(RecentReadingListView, AMissingFileLooksDisabledAndCanStillBeRemoved)
{
    auto history = makeStore();
    for (int i = 0; i < 7; ++i)
        history->opened(makePaper(QStringLiteral("paper-%1.pdf").arg(i)), viewState(1.0, false));
    const QString gone = history->records().first().path;
    ASSERT_TRUE(QFile::remove(gone));
    QStringList opened;
    RecentReadingList list(history.get(), [&](const QString &file) { opened.append(file); });
    list.show();

    RecentReadingRow *row = rowsOf(list).first();
    EXPECT_FALSE(row->isAvailable());
    EXPECT_TRUE(row->isEnabled());
    EXPECT_EQ(row->subtitleText(), QStringLiteral("文件已移动或无法访问"));
    EXPECT_EQ(row->toolTip(), gone);
    QTest::mouseClick(row, Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());

    ASSERT_EQ(row->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_EQ(row->actions().size(), 1);
    EXPECT_EQ(row->actions().first()->text(), QStringLiteral("从最近阅读中移除"));
    row->actions().first()->trigger();
    EXPECT_EQ(history->records().size(), 6);
    EXPECT_NE(history->records().first().path, gone);
    const auto rows = rowsOf(list);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.last()->titleText(), QStringLiteral("paper-0"));
    EXPECT_TRUE(rows.first()->isAvailable());
}

// Files deleted or put back while the list was off screen (another paper
// open) are found so when it is shown again, and a click on a row whose file
// has gone since opens nothing.
TEST_F(RecentReadingListView, LocatesTheFilesAgainWhenShownOrClicked)
{
    auto history = makeStore();
    const QString older = makePaper(QStringLiteral("older.pdf"));
    history->opened(older, viewState(1.0, false));
    const QString newer = makePaper(QStringLiteral("newer.pdf"));
    history->opened(newer, viewState(1.0, false));
    QStringList opened;
    RecentReadingList list(history.get(), [&](const QString &file) { opened.append(file); });
    list.show();
    ASSERT_TRUE(rowsOf(list).first()->isAvailable());

    list.hide();
    ASSERT_TRUE(QFile::remove(newer));
    list.show();
    EXPECT_FALSE(rowsOf(list).first()->isAvailable());
    EXPECT_EQ(rowsOf(list).first()->subtitleText(), QStringLiteral("文件已移动或无法访问"));

    list.hide();
    makePaper(QStringLiteral("newer.pdf"));
    list.show();
    EXPECT_TRUE(rowsOf(list).first()->isAvailable());

    // Back in the window after a shell took the file away and put it back.
    ASSERT_TRUE(QFile::remove(newer));
    QEvent activation(QEvent::ActivationChange);
    QCoreApplication::sendEvent(&list, &activation);
    EXPECT_FALSE(rowsOf(list).first()->isAvailable());
    makePaper(QStringLiteral("newer.pdf"));
    QTest::mouseClick(rowsOf(list).first(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(rowsOf(list).first()->isAvailable());
    EXPECT_TRUE(opened.isEmpty());

    ASSERT_TRUE(QFile::remove(newer));
    QTest::mouseClick(rowsOf(list).first(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(rowsOf(list).size(), 2);
    EXPECT_FALSE(rowsOf(list).first()->isAvailable());
    QTest::mouseClick(rowsOf(list).at(1), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{older});
}

TEST_F(RecentReadingListView, ShowsOnlyTheErrorWhenThereAreNoRecords)
{
    auto empty = makeStore();
    RecentReadingList nothing(empty.get(), {});
    EXPECT_TRUE(nothing.findChildren<QLabel *>().isEmpty());

    writeAll(historyFile(), "[{]");
    auto broken = makeStore();
    RecentReadingList list(broken.get(), {});
    EXPECT_EQ(list.findChild<QLabel *>(QStringLiteral("recentReadingHeader")), nullptr);
    const auto *error = list.findChild<QLabel *>(QStringLiteral("recentReadingError"));
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->text().startsWith(QStringLiteral("无法读取阅读记录：")));
    EXPECT_TRUE(error->textInteractionFlags() & Qt::TextSelectableByMouse);
}

// Draws the list once; FOLVAN_SCREENSHOT names a PNG file to keep the picture.
TEST_F(RecentReadingListView, DrawsRowsAndError)
{
    writeAll(historyFile(), "[{]");
    auto history = makeStore();
    const QString missing = makePaper(QStringLiteral("Attention Is All You Need (missing).pdf"));
    history->opened(missing, viewState(1.0, false));
    history->opened(makePaper(QStringLiteral("report.final.pdf")), viewState(0.57, false));
    history->opened(makePaper(QStringLiteral("深度学习综述.pdf")), viewState(1.5, true));
    DocumentReadingState reflow = viewState(1.0, false, true);
    reflow.page = 11;
    history->opened(makePaper(QStringLiteral("A very long title of a paper about reading that goes on and on.pdf")), reflow);
    ASSERT_TRUE(QFile::remove(missing));
    RecentReadingList list(history.get(), {});
    list.resize(560, 380);
    list.show();
    const QImage picture = list.grab().toImage();
    ASSERT_FALSE(picture.isNull());
    const QString target = qEnvironmentVariable("FOLVAN_SCREENSHOT");
    if (!target.isEmpty())
        picture.save(target);
}
