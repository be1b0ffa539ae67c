// The PDF's own annotations: their keys, hiding them through tombstones and
// replacing markups, and the installed copies of the user's markups.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUndoStack>

#include "AnnotationTestSupport.h"
#include "annotations/AnnotationGeometry.h"
#include "annotations/AnnotationState.h"
#include "annotations/DocumentAnnotations.h"
#include "annotations/ReadingMarkup.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

namespace {

const QRectF kMarked(72, 690, 100, 20);

void twoHighlightsAroundALink(engine::PdfFixtureWriter &w, bool withLink)
{
    w.addHighlight(0, {kMarked}, QColor(255, 200, 0), QStringLiteral("note one"), QStringLiteral("Ann"));
    if (withLink)
        w.addLink(0, QRectF(300, 300, 20, 10), 0, QPointF(0, 700));
    w.addHighlight(0, {kMarked}, QColor(255, 200, 0), QStringLiteral("note one"), QStringLiteral("Ann"));
}

std::vector<QString> originalKeys(model::SharedPDFViewModel &model)
{
    std::vector<QString> keys;
    for (const ReadingAnnotationItem &item : test::annotationsOf(model).annotationItems())
        keys.push_back(item.id);
    return keys;
}

} // namespace

class OriginalKeys : public PaneTest {};

TEST_F(OriginalKeys, AreFixedTextDigestsCountingOnlyMarkupKinds)
{
    const QString withLink = writePaper(path("a.pdf"), 1, [](auto &w) { twoHighlightsAroundALink(w, true); });
    const QString withoutLink = writePaper(path("b.pdf"), 1, [](auto &w) { twoHighlightsAroundALink(w, false); });

    model::SharedPDFViewModel &first = openPane(withLink);
    // Same place twice: the ordinal tells them apart.
    EXPECT_EQ(originalKeys(first), (std::vector<QString>{
                                       "0e84239989fdc5e53d6951a5a391419c73816115307b900e99e9980fc4b78d47",
                                       "6f115b794ce60adb4909d027080bae73d6c78d812d0c977991a70fd1bed7512d"}));
    // A link between them changes nothing; reopening changes nothing.
    EXPECT_EQ(originalKeys(openPane(withoutLink)), originalKeys(first));
    EXPECT_EQ(originalKeys(openPane(withLink)), originalKeys(first));

    const ReadingAnnotationItem &item = test::annotationsOf(first).annotationItems().front();
    EXPECT_FALSE(item.localID);
    EXPECT_EQ(item.sourceKey, item.id);
    EXPECT_EQ(item.kind, QStringLiteral("highlight"));
    EXPECT_EQ(item.note, QStringLiteral("note one"));
    EXPECT_EQ(item.quote, QStringLiteral("alpha beta gam"));
}

TEST_F(OriginalKeys, PreparingTwiceChangesNothing)
{
    model::SharedPDFViewModel &model =
        openPane(writePaper(path("a.pdf"), 1, [](auto &w) { twoHighlightsAroundALink(w, true); }));
    const std::vector<QString> before = originalKeys(model);
    const int revision = test::annotationsOf(model).annotationRevision();
    test::annotationsOf(model).prepareAnnotations();
    EXPECT_EQ(originalKeys(model), before);
    EXPECT_EQ(test::annotationsOf(model).annotationRevision(), revision);
}

class Tombstones : public PaneTest {};

TEST_F(Tombstones, HideTheOriginalUntilTheyAreUndone)
{
    const QString paper = writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {kMarked}, QColor(0, 255, 0), {}, QStringLiteral("Ann"));
    });
    const QByteArray paperBytes = fileBytes(paper);
    model::SharedPDFViewModel &model = openPane(paper);
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    const QString key = test::annotationsOf(model).annotationItems().front().id;

    test::annotationsOf(model).deleteAnnotation(key);
    EXPECT_TRUE(test::annotationsOf(model).annotationItems().empty());
    EXPECT_TRUE(shownNames(model, 0).isEmpty());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    const ReadingMarkup &tombstone = test::annotationsOf(model).markups().front();
    EXPECT_EQ(tombstone.kind, QStringLiteral("deleted"));
    EXPECT_EQ(tombstone.sourceKey, key);
    EXPECT_FALSE(tombstone.color);
    ASSERT_TRUE(tombstone.rgba);
    EXPECT_EQ((*tombstone.rgba)[1], 1.0);
    EXPECT_EQ(fileBytes(paper), paperBytes);

    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_EQ(shownNames(model, 0), QStringList{"Ann"});
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().front().id, key);
}

TEST_F(Tombstones, DeletingTheReplacingMarkupKeepsTheOriginalHidden)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {kMarked}, QColor(0, 255, 0), QStringLiteral("old"), QStringLiteral("Ann"));
    }));
    const QString key = test::annotationsOf(model).annotationItems().front().id;
    test::annotationsOf(model).editAnnotation(key, QStringLiteral("new"), std::nullopt);
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    const ReadingAnnotationItem edited = test::annotationsOf(model).annotationItems().front();
    ASSERT_TRUE(edited.localID);
    EXPECT_EQ(edited.sourceKey, key);
    EXPECT_EQ(shownNames(model, 0), QStringList{installedName(*edited.localID)});

    test::annotationsOf(model).deleteAnnotation(edited.id);
    EXPECT_TRUE(test::annotationsOf(model).annotationItems().empty());
    EXPECT_TRUE(shownNames(model, 0).isEmpty());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().id, *edited.localID);
    EXPECT_EQ(test::annotationsOf(model).markups().front().kind, QStringLiteral("deleted"));
    EXPECT_TRUE(test::annotationsOf(model).markups().front().note.isEmpty());
}

class LongPapers : public PaneTest {};

TEST_F(LongPapers, ShowTheirOwnAnnotationsAndMarkupsOnFarPagesOnceRead)
{
    const QString paper = writePaper(path("long.pdf"), 400, [](auto &w) {
        w.addHighlight(350, {kMarked}, QColor(0, 255, 0), QStringLiteral("far"), QStringLiteral("Ann"));
    });
    model::SharedPDFViewModel &first = openPane(paper);
    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(first).annotationItems().size() == 1; }));
    EXPECT_EQ(test::annotationsOf(first).annotationItems().front().page, 350);
    select(first, 380, 1, 0, 7);
    test::annotationsOf(first).addMarkup(QStringLiteral("highlight"), QString());
    ASSERT_EQ(test::annotationsOf(first).markups().size(), 1u);

    // Opened again, the paper lists and shows both, and its markup is not
    // taken for one of the paper's own annotations.
    model::SharedPDFViewModel &second = openPane(paper);
    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(second).annotationItems().size() == 2; }));
    ASSERT_EQ(test::annotationsOf(second).markups().size(), 1u);
    EXPECT_EQ(shownNames(second, 380), QStringList{installedName(test::annotationsOf(second).markups().front().id)});
    EXPECT_EQ(shownNames(second, 350), QStringList{"Ann"});
    waitForIdle();
    EXPECT_EQ(test::annotationsOf(second).annotationItems().size(), 2u);
    // The book's highlight layer has both far pages.
    const PaneAnnotations::OverlayRowMap rows = test::annotationsOf(second).rasterOverlays(false);
    EXPECT_EQ(rows.count(350), 1u);
    EXPECT_EQ(rows.count(380), 1u);
}

// The page shown first has its own annotations read at once: its markups
// are on it before it is first drawn, those replacing its own annotations
// hide them, and the far pages take theirs once read, none twice.
TEST_F(LongPapers, ShowTheMarkupsOfTheFirstPageBeforeItIsDrawn)
{
    const QString paper = writePaper(path("long.pdf"), 400, [](auto &w) {
        w.addHighlight(0, {kMarked}, QColor(0, 255, 0), QStringLiteral("own"), QStringLiteral("Ann"));
        w.addHighlight(350, {kMarked}, QColor(0, 255, 0), QStringLiteral("far"), QStringLiteral("Far"));
    });
    model::SharedPDFViewModel &first = openPane(paper);
    PaneAnnotations &marking = test::annotationsOf(first);
    ASSERT_TRUE(waitFor([&] { return marking.annotationItems().size() == 2; }));
    marking.editAnnotation(marking.annotationItems().front().id, QStringLiteral("mine"), std::nullopt);
    for (int page : {0, 380}) {
        select(first, page, 2, 0, 7);
        marking.addMarkup(QStringLiteral("highlight"), QString());
    }
    ASSERT_EQ(marking.markups().size(), 3u);
    const QByteArray stored = fileBytes(annotationFile(first));
    QStringList firstPage;
    for (const ReadingMarkup &markup : marking.markups()) {
        if (markup.page == 0)
            firstPage << installedName(markup.id);
    }
    firstPage.sort();

    // Opened again, the first page holds its markups before anything else
    // is read, and not the annotation one of them replaces.
    model::SharedPDFViewModel &second = startPane(paper);
    const std::shared_ptr<engine::PdfDocument> document = second.pdfDocument();
    ASSERT_TRUE(test::annotationsOf(second).markupsLoading());
    QStringList shown = shownNames(second, 0);
    shown.sort();
    EXPECT_EQ(shown, firstPage);
    EXPECT_TRUE(shownNames(second, 380).isEmpty());
    // It looks as it did where the markups were made.
    const QImage early = document->page(0).render(1.0);
    EXPECT_EQ(early, first.pdfDocument()->page(0).render(1.0));
    EXPECT_NE(early, document->page(0).render(1.0, false));

    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(second).annotationItems().size() == 4; }));
    waitForStoredMarkups(second);
    shown = shownNames(second, 0);
    shown.sort();
    EXPECT_EQ(shown, firstPage);
    EXPECT_EQ(shownNames(second, 350), QStringList{"Far"});
    EXPECT_EQ(shownNames(second, 380).size(), 1);
    EXPECT_EQ(document->page(0).render(1.0), early);
    waitForIdle();
    EXPECT_EQ(test::annotationsOf(second).annotationItems().size(), 4u);
    EXPECT_EQ(test::annotationsOf(second).markups(), marking.markups());
    EXPECT_EQ(fileBytes(annotationFile(second)), stored);
}

// The reading of a long paper's own annotations stops once told, and
// leaves out the page read apart.
TEST_F(LongPapers, TheReadingOfTheirOwnAnnotationsStopsWhenTold)
{
    const QString paper = writePaper(path("own.pdf"), 3, [](auto &w) {
        for (int page : {0, 2})
            w.addHighlight(page, {kMarked}, QColor(0, 255, 0), QStringLiteral("own"), QStringLiteral("Ann"));
    });
    const std::shared_ptr<engine::PdfDocument> document = engine::PdfDocument::open(paper);
    ASSERT_TRUE(document);
    std::atomic_bool stopped = false;
    const OriginalAnnotationMap all = recordOriginals(*document, -1, &stopped);
    EXPECT_EQ(all.size(), 2u);
    const OriginalAnnotationMap apart = recordOriginals(*document, 0, &stopped);
    ASSERT_EQ(apart.size(), 1u);
    EXPECT_EQ(apart.begin()->first, 2);
    EXPECT_EQ(apart.at(2).front().key, all.at(2).front().key);
    stopped = true;
    EXPECT_TRUE(recordOriginals(*document, -1, &stopped).empty());

    AnnotationState state;
    const std::shared_ptr<const std::atomic_bool> first = state.originalsReading.start();
    const std::shared_ptr<const std::atomic_bool> second = state.originalsReading.start();
    EXPECT_TRUE(first->load());
    EXPECT_FALSE(second->load());
    state.originalsReading.stop();
    EXPECT_TRUE(second->load());
}

// The book's highlight layer reads the markups not yet made on their pages
// as what they will be made from, without making them, and gets the rows
// it would get once they are made.
TEST_F(LongPapers, TheBookRowsOfMarkupsNotYetMadeAreThoseOfTheMadeOnes)
{
    const QString paper = writePaper(path("rows.pdf"), 3, [](auto &w) {
        w.addHighlight(1, {kMarked}, QColor(0, 255, 0), QStringLiteral("own"), QStringLiteral("Ann"));
    });
    model::SharedPDFViewModel &first = openPane(paper);
    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(first).annotationItems().size() == 1; }));
    for (int page : {0, 2}) {
        select(first, page, 1, 0, 7);
        test::annotationsOf(first).addMarkup(page == 0 ? QStringLiteral("highlight") : QStringLiteral("underline"),
                                             QString());
    }
    model::SharedPDFViewModel &second = openPane(paper);
    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(second).annotationItems().size() == 3; }));
    const engine::PdfDocument &document = *second.pdfDocument();
    const auto before = test::annotationsOf(second).rasterOverlays(false);
    EXPECT_FALSE(engine::annotationsWithoutMaking(document, 0).putOff.empty());
    EXPECT_FALSE(engine::annotationsWithoutMaking(document, 2).putOff.empty());

    for (int page = 0; page < 3; ++page)
        engine::annotations(document, page);
    EXPECT_TRUE(engine::annotationsWithoutMaking(document, 0).putOff.empty());
    const auto after = test::annotationsOf(second).rasterOverlays(false);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(before.size(), after.size());
    for (const auto &[page, rows] : after) {
        ASSERT_EQ(before.at(page).size(), rows.size()) << page;
        for (size_t i = 0; i < rows.size(); ++i)
            for (size_t k = 0; k < rows[i].size(); ++k)
                EXPECT_NEAR(before.at(page)[i][k], rows[i][k], 1e-3) << page << " " << i << " " << k;
    }
    EXPECT_EQ(after.at(2).front().back(), 1.0); // the underline
}

class InstalledMarkups : public PaneTest {};

TEST_F(InstalledMarkups, ASavedCopyOfAMarkupIsShownOnce)
{
    const QUuid id = QUuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));
    const QString name = installedName(id);
    const QString paper = writePaper(path("copy.pdf"), 1, [&](auto &w) {
        w.addHighlight(0, {kMarked}, QColor(255, 0, 0), {}, name);
        w.addHighlight(0, {textRect(2, 0, 4)}, QColor(255, 0, 0), {}, QStringLiteral("Folvan:"));
    });
    ReadingMarkup markup;
    markup.id = id;
    markup.kind = QStringLiteral("highlight");
    markup.rectangles = {kMarked};
    markup.quote = QStringLiteral("alpha beta gamma");
    markup.color = QStringLiteral("blue");
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(encodeMarkups({markup}, &bytes, &error));
    {
        model::SharedPDFViewModel probe;
        PaneAnnotations::attach(probe);
        ASSERT_TRUE(platform::writeFileAtomically(test::annotationsOf(probe).markupURL(QUrl::fromLocalFile(paper)), bytes));
    }

    model::SharedPDFViewModel &model = openPane(paper);
    EXPECT_EQ(shownNames(model, 0).count(name), 1);
    // The bare prefix marks nothing: that original stays listed.
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 2u);
    EXPECT_EQ(test::annotationsOf(model).annotationItems()[0].localID, id);
    EXPECT_FALSE(test::annotationsOf(model).annotationItems()[1].localID);
    EXPECT_EQ(test::annotationsOf(model).annotationItems()[0].color, MarkupColor(MarkupColor::blue).color(QStringLiteral("highlight")));
}

TEST_F(InstalledMarkups, EditedOriginalNoteKeepsItsLook)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addTextNote(0, QRectF(400, 600, 20, 20), QStringLiteral("look"), QStringLiteral("Ann"),
                      QColor(0, 0, 255), "Comment");
    }));
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    test::annotationsOf(model).editAnnotation(test::annotationsOf(model).annotationItems().front().id, QStringLiteral(" changed \n"), std::nullopt);
    const std::vector<engine::PdfAnnotation> shown = engine::annotations(*model.pdfDocument(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].subtype, QStringLiteral("Text"));
    EXPECT_EQ(shown[0].iconName, QStringLiteral("Comment"));
    EXPECT_EQ(shown[0].contents, QStringLiteral("changed"));
    ASSERT_TRUE(shown[0].color);
    EXPECT_NEAR(shown[0].color->blue, 1.0, 1e-6);
}

TEST_F(InstalledMarkups, ItemsSortTopToBottomThenLeftToRight)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    std::vector<ReadingMarkup> list;
    for (const QRectF &r : {textRect(1, 10, 12), textRect(0, 6, 9), textRect(0, 0, 4)}) {
        ReadingMarkup m;
        m.id = QUuid::createUuid();
        m.kind = QStringLiteral("underline");
        m.rectangles = {r};
        list.push_back(m);
    }
    ReadingMarkup empty;
    empty.id = QUuid::createUuid();
    empty.kind = QStringLiteral("text");
    list.push_back(empty);
    // Two in the same place stay in the order they came.
    for (int i = 0; i < 2; ++i) {
        ReadingMarkup same = list[1];
        same.id = QUuid::createUuid();
        list.push_back(same);
    }
    test::annotationsOf(model).commitAnnotations(list, QStringLiteral("t"));
    const std::vector<ReadingAnnotationItem> &items = test::annotationsOf(model).annotationItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].localID, list[2].id);
    EXPECT_EQ(items[1].localID, list[1].id);
    EXPECT_EQ(items[2].localID, list[4].id);
    EXPECT_EQ(items[3].localID, list[5].id);
    EXPECT_EQ(items[4].localID, list[0].id);
    EXPECT_EQ(items[5].localID, list[3].id); // no rectangle: the zero rectangle
    EXPECT_EQ(items[5].color, kSystemYellow);
}

// A change to one markup touches its own annotation and page only.
TEST_F(InstalledMarkups, AChangeLeavesTheOtherMarkupsAndPagesAsTheyWere)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 3));
    std::vector<ReadingMarkup> list;
    for (int page : {0, 0, 1, 2}) {
        ReadingMarkup m;
        m.id = QUuid::createUuid();
        m.page = page;
        m.kind = QStringLiteral("highlight");
        m.rectangles = {textRect(int(list.size()) % 3, 0, 5)};
        m.color = QStringLiteral("yellow");
        list.push_back(m);
    }
    test::annotationsOf(model).applyAnnotations(list);
    const auto handles = [&](int page) {
        std::vector<int> numbers;
        for (const engine::PdfAnnotation &a : engine::annotations(*model.pdfDocument(), page))
            numbers.push_back(a.handle.objectNumber);
        return numbers;
    };
    const std::vector<int> firstPage = handles(0), lastPage = handles(2);
    ASSERT_EQ(firstPage.size(), 2u);

    std::vector<int> told;
    QObject::connect(&test::annotationsOf(model), &PaneAnnotations::annotationsChangedOnPage, [&](int page) { told.push_back(page); });
    list[2].note = QStringLiteral("changed");
    list[2].color = QStringLiteral("blue");
    test::annotationsOf(model).applyAnnotations(list);
    EXPECT_EQ(told, std::vector<int>{1});
    EXPECT_EQ(handles(0), firstPage);
    EXPECT_EQ(handles(2), lastPage);
    const std::vector<engine::PdfAnnotation> changed = engine::annotations(*model.pdfDocument(), 1);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].contents, QStringLiteral("changed"));
    EXPECT_EQ(changed[0].userName, installedName(list[2].id));

    // Deleting and undoing bring back the markup on its page alone, in its
    // place before the page's other markup.
    told.clear();
    test::annotationsOf(model).deleteAnnotation(platform::uuidString(list[0].id));
    EXPECT_EQ(handles(0), std::vector<int>{firstPage[1]});
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(told, (std::vector<int>{0, 0}));
    EXPECT_EQ(shownNames(model, 0),
              QStringList({installedName(list[0].id), installedName(list[1].id)}));
    EXPECT_EQ(handles(2), lastPage);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 4u);
}

// The file written after a change is byte for byte the file the whole list
// encodes to, though only the changed markup is encoded again.
TEST_F(InstalledMarkups, RewrittenFileMatchesTheWholeListEncoded)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 2));
    std::vector<ReadingMarkup> list;
    for (int i = 0; i < 3; ++i) {
        ReadingMarkup m;
        m.id = QUuid::createUuid();
        m.page = i % 2;
        m.kind = QStringLiteral("underline");
        m.rectangles = {QRectF(72.5, 600 + i, 100, 12)};
        m.quote = QStringLiteral("a/b \"quoted\" 引文");
        m.rgba = std::vector<double>{1, 0.5, 0, 1};
        list.push_back(m);
    }
    const auto expectFileOf = [&](const std::vector<ReadingMarkup> &markups) {
        QByteArray whole;
        QString error;
        ASSERT_TRUE(encodeMarkups(markups, &whole, &error));
        EXPECT_EQ(fileBytes(annotationFile(model)), whole);
    };
    test::annotationsOf(model).applyAnnotations(list);
    expectFileOf(list);
    list[1].note = QStringLiteral("now with a note");
    const ReadingMarkup removed = list.front();
    list.erase(list.begin());
    test::annotationsOf(model).applyAnnotations(list);
    expectFileOf(list);
    // Back again, after a new one.
    ReadingMarkup added = removed;
    added.id = QUuid::createUuid();
    list.push_back(added);
    list.push_back(removed);
    test::annotationsOf(model).applyAnnotations(list);
    expectFileOf(list);
    // Read in another pane, whose first change is written from the
    // encodings made as the file was read.
    model::SharedPDFViewModel &again = openPane(path("a.pdf"));
    list[2].note = QStringLiteral("changed after reading");
    test::annotationsOf(again).applyAnnotations(list);
    expectFileOf(list);
    test::annotationsOf(model).applyAnnotations({});
    expectFileOf({});
}

// Items listed again through the kept items are the items a fresh listing
// makes: a changed markup shows its change, a removed or tombstoned one
// leaves the list and the kept items.
TEST_F(InstalledMarkups, KeptItemsFollowChangesAndRemovals)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 2));
    const engine::PdfDocument &document = *model.pdfDocument();
    std::vector<ReadingMarkup> list;
    for (int i = 0; i < 4; ++i) {
        ReadingMarkup m;
        m.id = QUuid::createUuid();
        m.page = i % 2;
        m.kind = QStringLiteral("highlight");
        m.rectangles = {textRect(i % 3, 0, 5)};
        m.color = QStringLiteral("yellow");
        list.push_back(m);
    }
    const auto ids = [](const std::vector<ReadingAnnotationItem> &items) {
        std::vector<std::pair<QString, QString>> out;
        for (const ReadingAnnotationItem &item : items)
            out.emplace_back(item.id, item.note);
        return out;
    };
    MarkupItemCache cache;
    const auto expectSameAsFresh = [&] {
        EXPECT_EQ(ids(buildItems(document, {}, list, &cache)), ids(buildItems(document, {}, list)));
    };
    expectSameAsFresh();
    EXPECT_EQ(cache.size(), 4);

    list[1].note = QStringLiteral("changed");
    expectSameAsFresh();
    list.erase(list.begin() + 2);
    list[0].kind = QStringLiteral("deleted");
    expectSameAsFresh();
    EXPECT_EQ(cache.size(), 2);
    EXPECT_FALSE(cache.contains(list[0].id));
    EXPECT_EQ(cache.value(list[1].id).second.note, QStringLiteral("changed"));
}
