// Bookmarks of the open document: toggling, titles, order, the file under
// the document's hash, older names from the reading history, and files
// that cannot be read.

#include "support/SharedPDFViewModelTestPeer.h"
#include "ModelFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

class Bookmarks : public test::PaneTest {
protected:
    QString file() const { return model->bookmarkURL(QUrl::fromLocalFile(pdf)); }
    void toggleOn(int page, const QString &selection = {})
    {
        SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(page);
        SharedPDFViewModelTestPeer(&*model).setSelectionText(selection);
        model->toggleBookmark();
    }
    std::vector<std::int64_t> pagesOfBookmarks() const
    {
        std::vector<std::int64_t> pages;
        for (const ReadingBookmark &b : model->bookmarks())
            pages.push_back(b.location.page);
        return pages;
    }
};

} // namespace

TEST_F(Bookmarks, ToggleAddsAndRemovesTheCurrentPagesBookmarkAndWritesEachTime)
{
    toggleOn(2);
    ASSERT_EQ(model->bookmarks().size(), 1u);
    const QUuid first = model->bookmarks()[0].id;
    EXPECT_TRUE(readAll(file()).contains(first.toString(QUuid::WithoutBraces).toUpper().toLatin1()));

    toggleOn(2);
    EXPECT_TRUE(model->bookmarks().empty());
    EXPECT_EQ(readAll(file()), QByteArray("[]"));

    toggleOn(2);
    ASSERT_EQ(model->bookmarks().size(), 1u);
    EXPECT_NE(model->bookmarks()[0].id, first);
    EXPECT_FALSE(model->navigationError());
}

TEST_F(Bookmarks, TitlesComeFromTheSelectionOrThePageNumber)
{
    toggleOn(0, QString(200, QLatin1Char('x')));
    EXPECT_EQ(model->bookmarks().back().title, QString(64, QLatin1Char('x')));
    toggleOn(1, QStringLiteral("  \n \n "));
    EXPECT_EQ(model->bookmarks().back().title, QStringLiteral("第 2 页"));
    toggleOn(2, QStringLiteral("\n first line\nsecond line \n"));
    EXPECT_EQ(model->bookmarks().back().title, QStringLiteral("first line second line"));
    // 64 user-perceived characters, not code units: emoji stay whole.
    QString emoji;
    for (int i = 0; i < 70; ++i)
        emoji += QString::fromUtf8("👍🏽");
    toggleOn(3, emoji);
    EXPECT_EQ(model->bookmarks().back().title.size(), 64 * QString::fromUtf8("👍🏽").size());
}

TEST_F(Bookmarks, NewBookmarksAreSortedByPageStably)
{
    toggleOn(1);
    toggleOn(7);
    toggleOn(3);
    EXPECT_EQ(pagesOfBookmarks(), (std::vector<std::int64_t>{1, 3, 7}));

    // Only the first bookmark of a page is removed.
    BookmarkList two = model->bookmarks();
    two.push_back({QUuid::createUuid(), ReadingLocation{3, std::nullopt, std::nullopt}, "second"});
    SharedPDFViewModelTestPeer(&*model).setBookmarks(two);
    toggleOn(3);
    ASSERT_EQ(model->bookmarks().size(), 3u);
    EXPECT_EQ(model->bookmarks()[2].title, QStringLiteral("second"));
}

TEST_F(Bookmarks, RemovingWritesEvenWhenNothingMatched)
{
    toggleOn(1);
    QFile::remove(file());
    model->removeBookmark(QUuid::createUuid());
    EXPECT_EQ(model->bookmarks().size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(file()));
    model->removeBookmark(model->bookmarks()[0].id);
    EXPECT_EQ(readAll(file()), QByteArray("[]"));
}

TEST_F(Bookmarks, AReopenedDocumentReadsItsBookmarksWithTheirPassages)
{
    ReadingTextSource passage;
    passage.page = 4;
    passage.quote = QStringLiteral("quoted");
    passage.rect = std::vector<double>{0.1, 0.2, 0.3, 0.05};
    SharedPDFViewModelTestPeer(&*model).setBookmarks({{QUuid::createUuid(), ReadingLocation{4, passage, QPointF(3, 4)}, "p"}});
    model->persistBookmarks();

    SharedPDFViewModel reopened;
    test::openAndShowInModel(reopened, document, QUrl::fromLocalFile(pdf));
    ASSERT_EQ(reopened.bookmarks().size(), 1u);
    EXPECT_EQ(reopened.bookmarks()[0].location, model->bookmarks()[0].location);
}

TEST_F(Bookmarks, TheFileNameFollowsTheStandardizedPathNotSymbolicLinks)
{
    EXPECT_EQ(model->bookmarkURL(QUrl::fromLocalFile(root() + "/a/../paper.pdf")), file());
    EXPECT_EQ(model->bookmarkURL(QUrl::fromLocalFile(root() + "/./paper.pdf")), file());
    ASSERT_TRUE(QFile::link(pdf, path("link.pdf")));
    EXPECT_NE(model->bookmarkURL(QUrl::fromLocalFile(path("link.pdf"))), file());
}

TEST_F(Bookmarks, LoadingDropsEntriesOutsideTheDocumentButSyncRejectsTheFile)
{
    writeAll(file(), R"([{"id":"00000000-0000-4000-8000-000000000001","location":{"page":1},"title":"a"},)"
                     R"({"id":"00000000-0000-4000-8000-000000000002","location":{"page":8},"title":"b"}])");
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    EXPECT_EQ(pagesOfBookmarks(), (std::vector<std::int64_t>{1}));
    EXPECT_FALSE(model->navigationError());

    SharedPDFViewModelTestPeer(&*model).setBookmarks({});
    model->reloadSharedBookmarks();
    EXPECT_TRUE(model->bookmarks().empty());
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("无法同步另一阅读区的书签：")));
}

TEST_F(Bookmarks, AFileWhoseEntriesWereLeftOutIsCopiedAsideBeforeItsFirstOverwrite)
{
    const QByteArray original = R"([{"id":"00000000-0000-4000-8000-000000000001","location":{"page":1},"title":"a"},)"
                                R"({"id":"00000000-0000-4000-8000-000000000002","location":{"page":8},"title":"b"}])";
    writeAll(file(), original);
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    toggleOn(2);
    toggleOn(3);
    const QStringList copies = QFileInfo(file()).dir().entryList({QFileInfo(file()).fileName() + ".dropped-*"});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(readAll(QFileInfo(file()).dir().filePath(copies.front())), original);
    EXPECT_FALSE(readAll(file()).contains("\"page\":8"));
}

TEST_F(Bookmarks, AMissingFileOnSyncIsReportedAndKeepsTheList)
{
    toggleOn(1);
    QFile::remove(file());
    model->reloadSharedBookmarks();
    EXPECT_EQ(model->bookmarks().size(), 1u);
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("无法同步另一阅读区的书签：")));
}

TEST_F(Bookmarks, AnOlderNameFromTheHistoryIsReadAndTheNextChangeWritesTheNewName)
{
    const QString oldPath = path("old-name.pdf");
    writeAll(model->bookmarkURL(QUrl::fromLocalFile(oldPath)),
             R"([{"id":"00000000-0000-4000-8000-000000000001","location":{"page":5},"title":"old"}])");
    QString askedFor;
    formerPaths = [&](const QString &standardized) {
        askedFor = standardized;
        return std::vector<QString>{path("unrelated.pdf"), oldPath};
    };

    model->loadBookmarks(QUrl::fromLocalFile(root() + "/./paper.pdf"), document);
    EXPECT_EQ(askedFor, pdf);
    ASSERT_EQ(model->bookmarks().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(file())); // not written back by the load

    toggleOn(2);
    EXPECT_TRUE(readAll(file()).contains("\"old\""));
    // The old file stays where it is.
    EXPECT_TRUE(QFileInfo::exists(model->bookmarkURL(QUrl::fromLocalFile(oldPath))));
}

TEST_F(Bookmarks, AnUnreadableOlderFileIsNotCarriedOnceTheListWasSaved)
{
    const QString oldFile = model->bookmarkURL(QUrl::fromLocalFile(path("old-name.pdf")));
    writeAll(oldFile, "[{\"id\": broken");
    formerPaths = [&](const QString &) { return std::vector<QString>{path("old-name.pdf")}; };
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    ASSERT_TRUE(model->navigationError());
    toggleOn(2);

    const QString moved = path("moved/paper.pdf");
    model->documentMoved(QUrl::fromLocalFile(moved));
    model->persistBookmarks();
    EXPECT_TRUE(readAll(model->bookmarkURL(QUrl::fromLocalFile(moved))).contains("\"page\":2"));
    EXPECT_EQ(readAll(oldFile), "[{\"id\": broken");
}

TEST_F(Bookmarks, AnUnreadableFileIsKeptAndMovedAsideBeforeTheNextSave)
{
    const QByteArray damaged = "[{\"id\": broken";
    writeAll(file(), damaged);
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    EXPECT_TRUE(model->bookmarks().empty());
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("无法载入书签：")));
    EXPECT_EQ(readAll(file()), damaged);

    toggleOn(1);
    EXPECT_TRUE(readAll(file()).contains("\"page\":1"));
    const QStringList aside = QDir(model->annotationDirectory())
                                  .entryList({QFileInfo(file()).fileName() + ".unreadable-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(model->annotationDirectory() + "/" + aside[0]), damaged);
    // Said where it went.
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->contains(aside[0])) << model->navigationError()->toStdString();
}

// Another reader of the same data folder wrote the file since it was read:
// its bookmarks are kept, one a page.
TEST_F(Bookmarks, BookmarksAnotherReaderWroteMeanwhileAreKept)
{
    toggleOn(0);
    toggleOn(1);
    const std::vector<ReadingBookmark> before = model->bookmarks();
    ASSERT_EQ(before.size(), 2u);
    std::vector<ReadingBookmark> theirs{before[0]};
    theirs[0].title = QStringLiteral("renamed there");
    for (int page : {2, 4}) {
        ReadingBookmark added;
        added.id = QUuid::createUuid();
        added.location.page = page;
        added.title = QStringLiteral("there");
        theirs.push_back(added);
    }
    QByteArray data;
    QString error;
    ASSERT_TRUE(encodeBookmarkFile(theirs, &data, &error));
    writeAll(file(), data);

    toggleOn(4);
    toggleOn(3);
    std::vector<ReadingBookmark> stored;
    ASSERT_TRUE(decodeBookmarkFile(readAll(file()), &stored, &error));
    EXPECT_EQ(stored, model->bookmarks());
    EXPECT_EQ(pagesOfBookmarks(), (std::vector<std::int64_t>{0, 2, 3, 4}));
    EXPECT_EQ(model->bookmarks()[0].title, QStringLiteral("renamed there"));
    EXPECT_FALSE(model->navigationError());
}

TEST_F(Bookmarks, AFileNestedTooDeeplyIsUnreadableNotACrash)
{
    const QByteArray nested = "[" + test::deeplyNestedJson() + "]";
    writeAll(file(), nested);
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    EXPECT_TRUE(model->bookmarks().empty());
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("无法载入书签：")));
    EXPECT_EQ(readAll(file()), nested);
}

TEST_F(Bookmarks, AFifoInPlaceOfTheFileIsUnreadableAndNeverOpened)
{
    ASSERT_TRUE(test::makeTestFifo(file()));
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("无法载入书签：")));
    EXPECT_TRUE(test::isFifo(file()));

    // Renamed before the next save: the FIFO is not carried (copying it
    // would wait on it) and stays under the old name.
    const QString fifo = file();
    const QString moved = path("moved/paper.pdf");
    model->documentMoved(QUrl::fromLocalFile(moved));
    model->persistBookmarks();
    EXPECT_TRUE(test::isFifo(fifo));
    EXPECT_FALSE(QFileInfo::exists(model->bookmarkURL(QUrl::fromLocalFile(moved))));
}

TEST_F(Bookmarks, AfterAMoveAnUnreadableFileIsCarriedToTheNewNameNotReplacedByAnEmptyList)
{
    const QByteArray damaged = "[{\"id\": broken";
    writeAll(file(), damaged);
    model->loadBookmarks(QUrl::fromLocalFile(pdf), document);
    ASSERT_TRUE(model->navigationError());

    const QString moved = path("moved/paper.pdf");
    model->documentMoved(QUrl::fromLocalFile(moved));
    model->persistBookmarks();
    const QString newFile = model->bookmarkURL(QUrl::fromLocalFile(moved));
    EXPECT_EQ(readAll(newFile), damaged);
    EXPECT_EQ(readAll(file()), damaged);

    // The next change keeps the carried file aside and writes the list.
    toggleOn(1);
    EXPECT_TRUE(readAll(newFile).contains("\"page\":1"));
    EXPECT_EQ(QDir(model->annotationDirectory())
                  .entryList({QFileInfo(newFile).fileName() + ".unreadable-*"}, QDir::Files)
                  .size(),
              1);
}

TEST_F(Bookmarks, ASaveThatCannotWriteReportsAndKeepsTheListInMemory)
{
    // A file where the folder should be.
    QDir(model->annotationDirectory()).removeRecursively();
    writeAll(model->annotationDirectory(), "not a folder");
    toggleOn(1);
    EXPECT_EQ(model->bookmarks().size(), 1u);
    ASSERT_TRUE(model->navigationError());
    EXPECT_TRUE(model->navigationError()->startsWith(QStringLiteral("书签尚未保存：")));
}

TEST_F(Bookmarks, NothingIsSavedOrReadWithoutADocument)
{
    SharedPDFViewModel empty;
    SharedPDFViewModelTestPeer(&empty).setBookmarks({{QUuid::createUuid(), ReadingLocation{}, "x"}});
    empty.persistBookmarks();
    empty.reloadSharedBookmarks();
    EXPECT_FALSE(empty.navigationError());
    EXPECT_EQ(empty.bookmarks().size(), 1u);
}

class WithoutDataFolder : public test::TempHomeTest {};

TEST_F(WithoutDataFolder, SavesFailAndNothingIsWrittenBesideTheProgram)
{
    const QString pdf = path("paper.pdf");
    auto document = test::writeDocument(pdf, 2);
    ASSERT_TRUE(document);
    // A relative data location counts as none.
    qputenv("XDG_DATA_HOME", "relative-data");
    SharedPDFViewModel model;
    EXPECT_TRUE(model.annotationDirectory().isEmpty());
    EXPECT_TRUE(model.bookmarkURL(QUrl::fromLocalFile(pdf)).isEmpty());
    test::openAndShowInModel(model, document, QUrl::fromLocalFile(pdf));
    model.toggleBookmark();
    EXPECT_EQ(model.bookmarks().size(), 1u);
    ASSERT_TRUE(model.navigationError());
    EXPECT_TRUE(model.navigationError()->startsWith(QStringLiteral("书签尚未保存：")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("relative-data")));
}
