// The annotation file of a document: its name, loading with validation,
// and saving without ever losing an earlier annotation.

#include "support/SharedPDFViewModelTestPeer.h"
#include <gtest/gtest.h>

#include <QDir>
#include <QUndoStack>

#include "AnnotationTestSupport.h"
#include "annotations/AnnotationGeometry.h"
#include "platform/DocumentHash.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

namespace {

ReadingMarkup markupOn(std::int64_t page, QRectF rect, const QString &note = {})
{
    ReadingMarkup m;
    m.id = QUuid::createUuid();
    m.page = page;
    m.kind = QStringLiteral("highlight");
    m.rectangles = {rect};
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

// Files beside `file` whose names begin with its name and `marker`.
QStringList asideCopies(const QString &file, const QString &marker)
{
    const QFileInfo info(file);
    return QDir(info.absolutePath()).entryList({info.fileName() + marker + QStringLiteral("*")}, QDir::Files);
}

} // namespace

class AnnotationFile : public PaneTest {};

TEST_F(AnnotationFile, IsNamedByTheStandardizedPath)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel model;
    PaneAnnotations::attach(model);
    const QString direct = test::annotationsOf(model).markupURL(QUrl::fromLocalFile(paper));
    EXPECT_EQ(test::annotationsOf(model).markupURL(QUrl::fromLocalFile(root() + QStringLiteral("/./x/../a.pdf"))), direct);
    EXPECT_EQ(QFileInfo(direct).dir().path(), model.annotationDirectory());
    EXPECT_TRUE(QFileInfo(direct).fileName().endsWith(QStringLiteral(".json")));
    EXPECT_EQ(QFileInfo(direct).fileName().size(), 64 + 5);
}

TEST_F(AnnotationFile, DropsMarkupsThatDoNotFitButKeepsACopy)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    const ReadingMarkup good = markupOn(0, textRect(0, 0, 5));
    const std::vector<ReadingMarkup> stored = {markupOn(3, textRect(0, 0, 5)), good,
                                               markupOn(0, QRectF(2000, 2000, 10, 10)),
                                               markupOn(0, QRectF(72, 700, 0, 10))};
    store(file, stored);
    const QByteArray original = fileBytes(file);

    model::SharedPDFViewModel &model = openPane(paper);
    // Said once, as the paper opens.
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法显示已保存的批注：3 条"))) << test::annotationsOf(model).markupError()->toStdString();
    EXPECT_EQ(test::annotationsOf(model).markups(), std::vector<ReadingMarkup>{good});
    EXPECT_EQ(fileBytes(file), original); // loading writes nothing

    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems().front().id);
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    EXPECT_EQ(fileBytes(file), "[]");
    const QStringList copies = asideCopies(file, QStringLiteral(".dropped-"));
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(file).dir().filePath(copies.front())), original);

    // Only the first write keeps a copy.
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(asideCopies(file, QStringLiteral(".dropped-")).size(), 1);
}

TEST_F(AnnotationFile, MarkupsOnAPageThatCannotTakeThemStayInTheFileAndAreReported)
{
    const QString paper = path("damaged.pdf");
    ASSERT_TRUE(writeTestFile(paper, pdfWhosePageTakesNoAnnotations()));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    store(file, {markupOn(0, QRectF(72, 700, 100, 12))});
    const QByteArray original = fileBytes(file);

    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法显示已保存的批注："))) << test::annotationsOf(model).markupError()->toStdString();
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(fileBytes(file), original);
}

TEST_F(AnnotationFile, AnUnreadableFileIsMovedAsideBeforeItIsOverwritten)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    ASSERT_TRUE(platform::writeFileAtomically(file, "[{\"id\": broken"));

    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    // Told in the reader's words, as the notes library is.
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法载入已保存的批注：未能读取数据，因为它的格式不正确")))
        << test::annotationsOf(model).markupError()->toStdString();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_EQ(fileBytes(file), "[{\"id\": broken");
    // A list of something else, and a markup without its fields, alike;
    // the detail names the key.
    const QByteArray id = R"("id":"0F3A2C4E-1B2D-4E5F-8A9B-0C1D2E3F4A5B")";
    const QByteArray head = "[{" + id + R"(,"page":0,"kind":"highlight",)";
    const QByteArray tail = R"("quote":"q","note":"n"}])";
    const std::pair<QByteArray, const char *> told[] = {
        {R"({"a": 1})", ""},
        {R"([{"id": 3}])", "\"id\": not a UUID"},
        {"[3]", "a markup is not an object"},
        {"[{" + id + "}]", "\"page\": missing"},
        {"[{" + id + R"(,"page":1.5}])", "\"page\": not an integer"},
        {"[{" + id + R"(,"page":0,"kind":3}])", "\"kind\": not a string"},
        {head + R"("rectangles":{}}])", "\"rectangles\": not an array"},
        {head + R"("rectangles":[[[1,2],[3]]]}])", "\"rectangles\": not a rectangle"},
        {head + R"("rectangles":[[[1,2],[3,4,5]]]}])", "\"rectangles\": not a rectangle"},
        {head + R"("rectangles":[[[1,"2"],[3,4]]]}])", "\"rectangles\": not a number"},
        {head + R"("rectangles":[],"quote":null,"note":"n"}])", "\"quote\": missing"},
        {head + R"("rectangles":[],"color":3,)" + tail, "\"color\": not a string"},
        {head + R"("rectangles":[],"rgba":3,)" + tail, "\"rgba\": not an array"},
        {head + R"("rectangles":[],"rgba":[1,"x"],)" + tail, "\"rgba\": not a number"},
        {head + R"("rectangles":[],"sourceKey":[],)" + tail, "\"sourceKey\": not a string"},
    };
    for (const auto &[content, detail] : told) {
        QString error;
        EXPECT_FALSE(decodeMarkups(content, &error)) << content.toStdString();
        EXPECT_EQ(error, platform::unreadableDataText(QString::fromUtf8(detail))) << content.toStdString();
    }
    QString error;
    EXPECT_TRUE(decodeMarkups(head + R"("rectangles":[[[1,2],[3,4]]],"color":null,"rgba":[1,0,0,1],)" + tail, &error))
        << error.toStdString();

    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    const QStringList aside = asideCopies(file, QStringLiteral(".unreadable-"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(file).dir().filePath(aside.front())), "[{\"id\": broken");
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
    // Saved: the error line now says where the file that did not read went.
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(aside.front()));
}

TEST_F(AnnotationFile, AFileNestedTooDeeplyIsUnreadableNotACrash)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    // Nested inside an element of the first page too, which is read first.
    const QByteArray nested = "[{\"page\":0,\"x\":" + test::deeplyNestedJson() + "}]";
    ASSERT_TRUE(platform::writeFileAtomically(file, nested));

    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法载入已保存的批注：")));
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_EQ(fileBytes(file), nested);
}

TEST_F(AnnotationFile, AFifoInPlaceOfTheFileIsUnreadableAndSetAsideNotOpened)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    ASSERT_TRUE(makeTestFifo(file));

    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("无法载入已保存的批注："))) << test::annotationsOf(model).markupError()->toStdString();
    EXPECT_TRUE(isFifo(file));

    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    const QFileInfo info(file);
    const QStringList aside = info.dir().entryList({info.fileName() + QStringLiteral(".unreadable-*")}, QDir::System);
    ASSERT_EQ(aside.size(), 1);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(aside.front()));
    EXPECT_TRUE(isFifo(info.dir().filePath(aside.front())));
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
}

TEST_F(AnnotationFile, ARenameCarriesAnUnreadableFileInsteadOfAnEmptyList)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &model = openPane(paper);
    const QString oldFile = annotationFile(model);
    ASSERT_TRUE(platform::writeFileAtomically(oldFile, "garbage"));
    reloadMarkups(model);
    ASSERT_TRUE(test::annotationsOf(model).markupError());

    ASSERT_TRUE(QFile::rename(paper, path("b.pdf")));
    model.documentMoved(QUrl::fromLocalFile(path("b.pdf")));
    test::annotationsOf(model).persistMarkups();
    const QString newFile = annotationFile(model);
    EXPECT_NE(newFile, oldFile);
    EXPECT_EQ(fileBytes(newFile), "garbage");
    EXPECT_EQ(fileBytes(oldFile), "garbage");

    // The first real change moves the carried file aside too.
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    EXPECT_EQ(asideCopies(newFile, QStringLiteral(".unreadable-")).size(), 1);
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
}

TEST_F(AnnotationFile, APaperRenamedElsewhereFindsTheMarkupsOfItsFormerName)
{
    const QString paper = writePaper(path("a.pdf"));
    const QString oldFile = annotationFile(openPane(paper));
    model::SharedPDFViewModel &first = *models.back();
    select(first, 0, 0, 0, 5);
    test::annotationsOf(first).addMarkup(QStringLiteral("highlight"), QString());
    const QByteArray stored = fileBytes(oldFile);
    ASSERT_FALSE(stored.isEmpty());
    models.clear();

    // Renamed in a shell; the history still knows it under its old path.
    ASSERT_TRUE(QFile::rename(paper, path("b.pdf")));
    const QString renamed = platform::standardizedPath(path("b.pdf"));
    formerPaths = [&](const QString &asked) {
        return asked == renamed ? std::vector<QString>{platform::standardizedPath(paper)} : std::vector<QString>();
    };
    model::SharedPDFViewModel &model = openPane(path("b.pdf"));
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().quote, QStringLiteral("alpha"));
    const QString newFile = annotationFile(model);
    EXPECT_EQ(fileBytes(newFile), stored);
    EXPECT_EQ(fileBytes(oldFile), stored) << "the former file stays";

    // A file under the new name is the paper's own: never replaced by the
    // former one.
    ASSERT_TRUE(platform::writeFileAtomically(newFile, "[]"));
    model::SharedPDFViewModel &again = openPane(path("b.pdf"));
    EXPECT_TRUE(test::annotationsOf(again).markups().empty());
    EXPECT_EQ(fileBytes(newFile), "[]");
    EXPECT_EQ(fileBytes(oldFile), stored);
}

TEST_F(AnnotationFile, NoFileThePaneDidNotLoadIsWrittenOver)
{
    // Repaired outside the reader after it failed to load: set aside whole.
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &model = openPane(paper);
    const QString file = annotationFile(model);
    ASSERT_TRUE(platform::writeFileAtomically(file, "garbage"));
    reloadMarkups(model);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    store(file, {markupOn(0, textRect(1, 0, 5))});
    const QByteArray repaired = fileBytes(file);
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    const QStringList aside = asideCopies(file, QStringLiteral(".unreadable-"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(file).dir().filePath(aside.front())), repaired);
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->contains(aside.front()));

    // Renamed onto a name whose annotation file another paper left: every
    // save goes to the new name, and both older files are kept.
    ASSERT_TRUE(platform::writeFileAtomically(file, "garbage"));
    reloadMarkups(model);
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString otherFile = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(path("b.pdf")));
    store(otherFile, {markupOn(0, textRect(0, 0, 3))});
    const QByteArray other = fileBytes(otherFile);
    ASSERT_TRUE(QFile::rename(paper, path("b.pdf")));
    model.documentMoved(QUrl::fromLocalFile(path("b.pdf")));
    for (int change = 0; change < 2; ++change) {
        select(model, 0, 0, change, change + 2);
        test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
        ASSERT_TRUE(test::annotationsOf(model).markupError());
        EXPECT_FALSE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("批注尚未保存")))
            << test::annotationsOf(model).markupError()->toStdString();
    }
    EXPECT_EQ(readMarkupFile(otherFile).markups->size(), test::annotationsOf(model).markups().size());
    const QStringList kept = asideCopies(otherFile, QStringLiteral(".kept-"));
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(otherFile).dir().filePath(kept.front())), other);
    EXPECT_EQ(asideCopies(file, QStringLiteral(".unreadable-")).size(), 2);
}

TEST_F(AnnotationFile, ARenamedPaperFindsItsMarkupsUnderTheNewName)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &model = openPane(paper);
    test::annotationsOf(model).commitAnnotations({markupOn(0, textRect(1, 0, 7), QStringLiteral("n"))}, QStringLiteral("编辑批注"));
    const QString oldFile = annotationFile(model);

    ASSERT_TRUE(QFile::rename(paper, path("b.pdf")));
    model.documentMoved(QUrl::fromLocalFile(path("b.pdf")));
    test::annotationsOf(model).persistMarkups();
    EXPECT_TRUE(QFile::exists(oldFile));

    model::SharedPDFViewModel &reopened = openPane(path("b.pdf"));
    EXPECT_EQ(test::annotationsOf(reopened).markups(), test::annotationsOf(model).markups());
}

// Stored markups are made on a page only when the page is first needed,
// yet every page has them whenever it is drawn, listed or copied out, and
// a markup on a page never shown can be deleted and brought back.
TEST_F(AnnotationFile, StoredMarkupsAreOnEveryPageWheneverThePageIsNeeded)
{
    const QString paper = writePaper(path("a.pdf"), 3);
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    const std::vector<ReadingMarkup> stored = {markupOn(0, textRect(0, 0, 5)), markupOn(1, textRect(1, 0, 5)),
                                               markupOn(2, textRect(2, 0, 5)), markupOn(2, textRect(0, 0, 5))};
    store(file, stored);

    model::SharedPDFViewModel &model = openPane(paper);
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 4u);
    engine::PdfDocument &document = *model.pdfDocument();
    QString error;
    const auto copy = engine::PdfDocument::openData(engine::annotatedCopyData(document, &error), &error);
    ASSERT_TRUE(copy) << error.toStdString();
    for (int page : {0, 1, 2})
        EXPECT_EQ(engine::annotations(*copy, page).size(), page == 2 ? 2u : 1u) << page;

    const engine::PdfPage last = document.page(2);
    EXPECT_NE(last.render(1.0), last.render(1.0, false));

    test::annotationsOf(model).deleteAnnotation(platform::uuidString(stored[1].id));
    EXPECT_TRUE(engine::annotations(document, 1).empty());
    test::annotationsOf(model).annotationUndoManager()->undo();
    const std::vector<engine::PdfAnnotation> back = engine::annotations(document, 1);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].userName, installedName(stored[1].id));
    test::annotationsOf(model).deleteAnnotation(platform::uuidString(stored[3].id));
    const std::vector<engine::PdfAnnotation> left = engine::annotations(document, 2);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].userName, installedName(stored[2].id));
    EXPECT_FALSE(test::annotationsOf(model).markupError());
}

// The markups of one page are picked out of a stored list without
// decoding the rest; texts that look like the list's own syntax do not
// mislead it, and a list cut short gives what comes before the cut.
TEST(MarkupsOnPage, ArePickedOutOfTheStoredList)
{
    const ReadingMarkup first = markupOn(0, textRect(0, 0, 5), QStringLiteral("{\"page\": 1}, ] \\\" }"));
    ReadingMarkup second = markupOn(1, textRect(1, 0, 5), QStringLiteral("page"));
    second.quote = QStringLiteral("\"page\":0 [{");
    const ReadingMarkup third = markupOn(0, textRect(2, 0, 5), QStringLiteral("ends in \\\\"));
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(encodeMarkups({first, second, third}, &bytes, &error));

    EXPECT_EQ(decodeMarkupsOnPage(bytes, 0), (std::vector<ReadingMarkup>{first, third}));
    EXPECT_EQ(decodeMarkupsOnPage(bytes, 1), std::vector<ReadingMarkup>{second});
    EXPECT_TRUE(decodeMarkupsOnPage(bytes, 2).empty());
    EXPECT_EQ(decodeMarkupsOnPage(bytes.left(bytes.lastIndexOf("{\"id\"") + 20), 0),
              std::vector<ReadingMarkup>{first});
    for (const QByteArray &other : {QByteArray("{\"page\": 0}"), QByteArray("[1, 2]"), QByteArray("[{\"page\": 0}]"),
                                    QByteArray("[{\"page\": 0.5, \"id\": 1}]"), QByteArray()})
        EXPECT_TRUE(decodeMarkupsOnPage(other, 0).empty()) << other.toStdString();
}

// The page shown first has its stored markups before anything is drawn;
// the others are put in place once decoded off the interface thread.
TEST_F(AnnotationFile, TheShownPageHasItsMarkupsAtOnceAndTheRestFollow)
{
    const QString paper = writePaper(path("a.pdf"), 3);
    const QUrl url = QUrl::fromLocalFile(paper);
    model::SharedPDFViewModel &model = openPane(paper);
    const std::vector<ReadingMarkup> stored = {markupOn(0, textRect(0, 0, 5)), markupOn(1, textRect(1, 0, 5)),
                                               markupOn(2, textRect(2, 0, 5)), markupOn(1, textRect(0, 0, 5))};
    store(annotationFile(model), stored);

    test::annotationsOf(model).loadMarkups(url, model.pdfDocument(), 1);
    EXPECT_TRUE(test::annotationsOf(model).markupsLoading());
    EXPECT_EQ(test::annotationsOf(model).markups(), (std::vector<ReadingMarkup>{stored[1], stored[3]}));
    EXPECT_EQ(engine::annotations(*model.pdfDocument(), 1).size(), 2u);
    EXPECT_TRUE(engine::annotations(*model.pdfDocument(), 0).empty());

    int loaded = 0;
    QObject::connect(&test::annotationsOf(model), &PaneAnnotations::markupsLoaded, [&] { ++loaded; });
    waitForStoredMarkups(model);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(test::annotationsOf(model).markups(), stored);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 4u);
    EXPECT_EQ(engine::annotations(*model.pdfDocument(), 0).size(), 1u);

    // The paper opened next drops what is still being read for this one.
    const QString other = writePaper(path("b.pdf"));
    test::annotationsOf(model).loadMarkups(url, model.pdfDocument(), 0);
    model::SharedPDFViewModelTestPeer(&model).setPdfDocumentURL(QUrl::fromLocalFile(other));
    test::annotationsOf(model).loadMarkups(QUrl::fromLocalFile(other), engine::PdfDocument::open(other));
    waitForStoredMarkups(model);
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_TRUE(engine::annotations(*model.pdfDocument(), 0).empty());
}

// A change made before the stored markups are all in place is made to
// the whole list, and saved with it; a file that turns out not to read is
// set aside, not written over with what was shown of it.
TEST_F(AnnotationFile, ChangesWhileTheStoredMarkupsAreReadLoseNone)
{
    const QString paper = writePaper(path("a.pdf"), 2);
    model::SharedPDFViewModel &model = openPane(paper);
    const QString file = annotationFile(model);
    const std::vector<ReadingMarkup> stored = {markupOn(0, textRect(2, 0, 5)), markupOn(1, textRect(1, 0, 5))};
    store(file, stored);

    test::annotationsOf(model).loadMarkups(model.pdfDocumentURL(), model.pdfDocument());
    ASSERT_TRUE(test::annotationsOf(model).markupsLoading());
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    EXPECT_FALSE(test::annotationsOf(model).markupsLoading());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 3u);
    EXPECT_EQ(readMarkupFile(file).markups, test::annotationsOf(model).markups());
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(readMarkupFile(file).markups, stored);

    // The page's markup reads, the list as a whole does not.
    QByteArray bytes = fileBytes(file);
    bytes.chop(3);
    ASSERT_TRUE(platform::writeFileAtomically(file, bytes));
    test::annotationsOf(model).loadMarkups(model.pdfDocumentURL(), model.pdfDocument());
    EXPECT_EQ(test::annotationsOf(model).markups(), std::vector<ReadingMarkup>{stored[0]});
    select(model, 0, 1, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_NE(test::annotationsOf(model).markups().front().id, stored[0].id);
    EXPECT_TRUE(engine::annotations(*model.pdfDocument(), 1).empty());
    const QStringList aside = asideCopies(file, QStringLiteral(".unreadable-"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(file).dir().filePath(aside.front())), bytes);
}

// Two readers on one annotation file: a pane's save keeps the markups
// another reader wrote meanwhile, and says where a file it could not read
// was kept.
class SharedAnnotationFile : public PaneTest {
protected:
    static std::vector<ReadingMarkup> stored(const QString &file)
    {
        QString error;
        return decodeMarkups(fileBytes(file), &error).value_or(std::vector<ReadingMarkup>{});
    }
    static bool holds(const std::vector<ReadingMarkup> &list, const ReadingMarkup &markup)
    {
        return std::find(list.begin(), list.end(), markup) != list.end();
    }
};

TEST_F(SharedAnnotationFile, MarkupsAnotherReaderWroteMeanwhileAreKeptAndShown)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));
    const ReadingMarkup kept = markupOn(0, textRect(0, 0, 5));
    const ReadingMarkup removedThere = markupOn(0, textRect(0, 6, 10));
    store(file, {kept, removedThere});
    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 2u);

    // Another reader of the same data folder notes on one markup, removes
    // the other and adds one; then this pane highlights.
    ReadingMarkup noted = kept;
    noted.note = QStringLiteral("written by the other reader");
    const ReadingMarkup added = markupOn(0, textRect(2, 0, 4));
    // A markup that does not fit this paper (another version of it).
    ReadingMarkup elsewhere = markupOn(0, textRect(0, 0, 5));
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
    model::SharedPDFViewModel probe;
    PaneAnnotations::attach(probe);
    const QString file = test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper));

    // Unreadable as the paper opens: the first save sets it aside and the
    // error line, until then the load error, names where it went.
    ASSERT_TRUE(platform::writeFileAtomically(file, "[{\"id\": broken"));
    model::SharedPDFViewModel &model = openPane(paper);
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
