// Two readers on one annotation file: a pane's save keeps the markups
// another reader wrote meanwhile, and says where a file it could not read
// was kept.

#include <gtest/gtest.h>

#include <QDir>

#include "AnnotationTestSupport.h"
#include "platform/StoredFiles.h"

using namespace folvan;
using namespace folvan::test;

namespace {

ReadingMarkup markupOn(int line, int from, int to, const QString &note = {})
{
    ReadingMarkup m;
    m.id = QUuid::createUuid();
    m.page = 0;
    m.kind = QStringLiteral("highlight");
    m.rectangles = {textRect(line, from, to)};
    m.note = note;
    return m;
}

void store(const QString &file, const std::vector<ReadingMarkup> &markups)
{
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(encodeMarkups(markups, &bytes, &error));
    ASSERT_TRUE(platform::writeFileAtomically(file, bytes));
}

std::vector<ReadingMarkup> stored(const QString &file)
{
    QString error;
    return decodeMarkups(fileBytes(file), &error).value_or(std::vector<ReadingMarkup>{});
}

bool holds(const std::vector<ReadingMarkup> &list, const ReadingMarkup &markup)
{
    return std::find(list.begin(), list.end(), markup) != list.end();
}

QStringList asideCopies(const QString &file, const QString &marker)
{
    const QFileInfo info(file);
    return QDir(info.absolutePath()).entryList({info.fileName() + marker + QStringLiteral("*")}, QDir::Files);
}

} // namespace

class SharedAnnotationFile : public PaneTest {};

TEST_F(SharedAnnotationFile, MarkupsAnotherReaderWroteMeanwhileAreKeptAndShown)
{
    const QString paper = writePaper(path("a.pdf"));
    SharedPDFViewModel probe;
    annotations::PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    const ReadingMarkup kept = markupOn(0, 0, 5);
    const ReadingMarkup removedThere = markupOn(0, 6, 10);
    store(file, {kept, removedThere});
    SharedPDFViewModel &model = openPane(paper);
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 2u);

    // Another reader of the same data folder notes on one markup, removes
    // the other and adds one; then this pane highlights.
    ReadingMarkup noted = kept;
    noted.note = QStringLiteral("written by the other reader");
    const ReadingMarkup added = markupOn(2, 0, 4);
    // A markup that does not fit this paper (another version of it).
    ReadingMarkup elsewhere = markupOn(0, 0, 5);
    elsewhere.page = 7;
    store(file, {noted, added, elsewhere});
    select(model, 0, 1, 0, 7);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());

    const std::vector<ReadingMarkup> after = stored(file);
    EXPECT_EQ(after.size(), 3u);
    EXPECT_TRUE(holds(after, noted));
    EXPECT_TRUE(holds(after, added));
    EXPECT_FALSE(holds(after, removedThere));
    EXPECT_FALSE(holds(after, elsewhere));
    // What did not fit is kept in a copy.
    EXPECT_EQ(asideCopies(file, QStringLiteral(".dropped-")).size(), 1);
    // The pane shows what the file holds, and its undo no longer goes back
    // to a list without the other reader's markups.
    EXPECT_EQ(test::annotationsOf(model).markups(), after);
    EXPECT_TRUE(waitFor([&] { return !test::annotationsOf(model).canUndoAnnotation(); }));
    EXPECT_FALSE(test::annotationsOf(model).markupError());
}

TEST_F(SharedAnnotationFile, AFileLeftUnreadableIsSetAsideAndTheErrorLineSaysWhere)
{
    const QString paper = writePaper(path("a.pdf"));
    SharedPDFViewModel probe;
    annotations::PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));

    // Unreadable as the paper opens: the first save sets it aside and the
    // error line, until then the load error, names where it went.
    ASSERT_TRUE(platform::writeFileAtomically(file, "[{\"id\": broken"));
    SharedPDFViewModel &model = openPane(paper);
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    QStringList aside = asideCopies(file, QStringLiteral(".unreadable-"));
    ASSERT_EQ(aside.size(), 1);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法载入已保存的批注：")));
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(aside.first()))
        << test::annotationsOf(model).markupError()->toStdString();
    // It stays said while the paper is open.
    select(model, 0, 1, 0, 7);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(aside.first()));

    // Left unreadable by someone else while open: set aside as well.
    ASSERT_TRUE(platform::writeFileAtomically(file, "not a list"));
    select(model, 0, 2, 0, 4);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    aside = asideCopies(file, QStringLiteral(".unreadable-"));
    ASSERT_EQ(aside.size(), 2);
    EXPECT_EQ(stored(file).size(), 3u);
    const QString newest = fileBytes(QFileInfo(file).dir().filePath(aside.at(0))) == "not a list" ? aside.at(0) : aside.at(1);
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(newest))
        << test::annotationsOf(model).markupError()->toStdString();
}
