// Every change is one commit: one undo step, drawn, saved, and announced to
// the other pane; undo and redo are commits too.

#include <gtest/gtest.h>

#include <QDir>

#include <cmath>

#include "platform/StoredFiles.h"

#include "AnnotationTestSupport.h"

#include "platform/Clock.h"
#include "platform/UnsavedChanges.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

namespace {

// Counts the annotation notifications posted while it lives.
struct SidecarCounter {
    SidecarCounter()
    {
        token = platform::NotificationCenter::shared().observe<model::SidecarChanged>(
            &context, [this](const model::SidecarChanged &change) {
                if (change.kind == model::SidecarKind::Annotations)
                    ++count;
            });
    }
    ~SidecarCounter() { platform::NotificationCenter::shared().removeObserver(token); }
    QObject context;
    platform::ObserverToken token = 0;
    int count = 0;
};

ReadingMarkup noteMarkup(const QString &note)
{
    ReadingMarkup m;
    m.id = QUuid::createUuid();
    m.kind = QStringLiteral("underline");
    m.rectangles = {textRect(0, 0, 5)};
    m.note = note;
    return m;
}

std::vector<ReadingMarkup> storedMarkups(const QString &file)
{
    QString error;
    return decodeMarkups(fileBytes(file), &error).value_or(std::vector<ReadingMarkup>{});
}

} // namespace

class AnnotationCommits : public PaneTest {};

TEST_F(AnnotationCommits, UndoAndRedoDrawSaveAndNotifyEachTime)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    SidecarCounter posts;
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    const ReadingMarkup added = test::annotationsOf(model).markups().front();
    EXPECT_EQ(storedMarkups(annotationFile(model)), test::annotationsOf(model).markups());
    EXPECT_EQ(posts.count, 1);
    EXPECT_TRUE(test::annotationsOf(model).canUndoAnnotation());
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->undoText(), QStringLiteral("添加高亮"));
    const int revision = test::annotationsOf(model).annotationRevision();

    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_TRUE(shownNames(model, 0).isEmpty());
    EXPECT_EQ(fileBytes(annotationFile(model)), "[]");
    EXPECT_EQ(posts.count, 2);
    EXPECT_GT(test::annotationsOf(model).annotationRevision(), revision);
    EXPECT_FALSE(test::annotationsOf(model).canUndoAnnotation());
    EXPECT_TRUE(test::annotationsOf(model).canRedoAnnotation());
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->redoText(), QStringLiteral("添加高亮"));

    test::annotationsOf(model).annotationUndoManager()->redo();
    EXPECT_EQ(test::annotationsOf(model).markups(), std::vector<ReadingMarkup>{added});
    EXPECT_EQ(storedMarkups(annotationFile(model)), test::annotationsOf(model).markups());
    EXPECT_EQ(posts.count, 3);
    EXPECT_EQ(shownNames(model, 0).size(), 1);
}

TEST_F(AnnotationCommits, AnEqualListIsNoChange)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    SidecarCounter posts;
    test::annotationsOf(model).commitAnnotations(test::annotationsOf(model).markups(), QStringLiteral("x"));
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), 0);
    EXPECT_FALSE(QFile::exists(annotationFile(model)));
    EXPECT_EQ(posts.count, 0);
}

TEST_F(AnnotationCommits, KeepTheLastEightyUndoSteps)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    std::vector<std::vector<ReadingMarkup>> lists;
    for (int i = 0; i < 81; ++i) {
        lists.push_back({noteMarkup(QString::number(i))});
        test::annotationsOf(model).commitAnnotations(lists.back(), QStringLiteral("编辑批注"));
    }
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), 80);
    int undone = 0;
    while (test::annotationsOf(model).canUndoAnnotation()) {
        test::annotationsOf(model).annotationUndoManager()->undo();
        ++undone;
    }
    EXPECT_EQ(undone, 80);
    EXPECT_EQ(test::annotationsOf(model).markups(), lists.front());
}

TEST_F(AnnotationCommits, AFailedSaveKeepsTheChange)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    SidecarCounter posts;
    ReadingMarkup broken = noteMarkup(QStringLiteral("x"));
    broken.rectangles.front().setWidth(INFINITY);
    test::annotationsOf(model).commitAnnotations({broken}, QStringLiteral("编辑批注"));
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_TRUE(test::annotationsOf(model).markupError()->startsWith(QStringLiteral("批注尚未保存：")));
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_TRUE(test::annotationsOf(model).canUndoAnnotation());
    EXPECT_FALSE(QFile::exists(annotationFile(model)));
    EXPECT_EQ(posts.count, 0);

    // The next good commit writes the whole list and clears the error.
    test::annotationsOf(model).commitAnnotations({noteMarkup(QStringLiteral("y"))}, QStringLiteral("编辑批注"));
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    EXPECT_EQ(storedMarkups(annotationFile(model)), test::annotationsOf(model).markups());
}

TEST_F(AnnotationCommits, AFailedSaveIsWrittenLaterAndNamedUntilThen)
{
    platform::ManualClock clock;
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    // A file where the annotation folder should be.
    ASSERT_TRUE(writeTestFile(model.annotationDirectory(), "not a folder"));
    const qsizetype before = platform::unsavedDescriptions().size();
    test::annotationsOf(model).commitAnnotations({noteMarkup(QStringLiteral("x"))}, QStringLiteral("编辑批注"));
    ASSERT_TRUE(test::annotationsOf(model).markupError());
    EXPECT_EQ(platform::unsavedDescriptions().size(), before + 1);
    EXPECT_EQ(platform::unsavedDescriptions().last(), QStringLiteral("批注：a.pdf"));

    ASSERT_TRUE(QFile::remove(model.annotationDirectory()));
    clock.advance(model::SharedPDFViewModel::kSideFileRetrySeconds);
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    EXPECT_EQ(storedMarkups(annotationFile(model)), test::annotationsOf(model).markups());
    EXPECT_EQ(platform::unsavedDescriptions().size(), before);
}

class OtherPane : public PaneTest {};

TEST_F(OtherPane, ReloadsWhatThisPaneSaved)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &left = openPane(paper);
    model::SharedPDFViewModel &right = openPane(paper);
    test::annotationsOf(right).commitAnnotations({noteMarkup(QStringLiteral("mine"))}, QStringLiteral("编辑批注"));
    ASSERT_TRUE(test::annotationsOf(right).canUndoAnnotation());

    // left already follows right's first change.
    ASSERT_EQ(test::annotationsOf(left).markups(), test::annotationsOf(right).markups());
    select(left, 0, 1, 0, 7);
    test::annotationsOf(left).addMarkup(QStringLiteral("underline"), QString());
    ASSERT_EQ(test::annotationsOf(left).markups().size(), 2u);
    EXPECT_EQ(test::annotationsOf(right).markups(), test::annotationsOf(left).markups());
    EXPECT_FALSE(test::annotationsOf(right).canUndoAnnotation());
    EXPECT_EQ(test::annotationsOf(right).annotationUndoManager()->count(), 0);
    EXPECT_EQ(shownNames(right, 0).size(), 2);
    // The pane that saved keeps its own history.
    EXPECT_TRUE(test::annotationsOf(left).canUndoAnnotation());

    test::annotationsOf(left).annotationUndoManager()->undo();
    EXPECT_EQ(test::annotationsOf(right).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(right).markups(), test::annotationsOf(left).markups());
}

TEST_F(OtherPane, KeepsItsHistoryWhenTheListIsTheSame)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &left = openPane(paper);
    model::SharedPDFViewModel &right = openPane(paper);
    const std::vector<ReadingMarkup> list = {noteMarkup(QStringLiteral("n"))};
    test::annotationsOf(right).commitAnnotations(list, QStringLiteral("编辑批注"));
    // left has reloaded right's list; now left saves the same list again.
    ASSERT_EQ(test::annotationsOf(left).markups(), list);
    test::annotationsOf(right).annotationUndoManager()->undo();
    test::annotationsOf(right).annotationUndoManager()->redo();
    EXPECT_TRUE(test::annotationsOf(right).canUndoAnnotation());
    EXPECT_EQ(test::annotationsOf(left).markups(), list);
}

TEST_F(OtherPane, RefusesAFileWithAnInvalidEntryWhole)
{
    const QString paper = writePaper(path("a.pdf"));
    model::SharedPDFViewModel &left = openPane(paper);
    model::SharedPDFViewModel &right = openPane(paper);
    ReadingMarkup offPage = noteMarkup(QStringLiteral("far"));
    offPage.page = 7;
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(encodeMarkups({noteMarkup(QStringLiteral("ok")), offPage}, &bytes, &error));
    ASSERT_TRUE(platform::writeFileAtomically(annotationFile(left), bytes));
    left.notifySidecarChanged(model::SidecarKind::Annotations);
    ASSERT_TRUE(test::annotationsOf(right).markupError());
    EXPECT_TRUE(test::annotationsOf(right).markupError()->startsWith(QStringLiteral("无法同步另一阅读区的批注：")));
    EXPECT_TRUE(test::annotationsOf(right).markups().empty());

    // The same file loads its valid rest, and says what it left out.
    model::SharedPDFViewModel &third = openPane(paper);
    ASSERT_TRUE(test::annotationsOf(third).markupError());
    EXPECT_TRUE(test::annotationsOf(third).markupError()->startsWith(QStringLiteral("无法显示已保存的批注：1 条")));
    EXPECT_EQ(test::annotationsOf(third).markups().size(), 1u);
}

TEST(AnnotationUndoFlags, OnlyThePanesOwnUndoStackMovesThem)
{
    model::SharedPDFViewModel model;
    PaneAnnotations &paneAnnotations = PaneAnnotations::attach(model);
    QUndoStack other;
    other.push(new QUndoCommand(QStringLiteral("elsewhere")));
    EXPECT_FALSE(paneAnnotations.canUndoAnnotation());

    paneAnnotations.annotationUndoManager()->push(new QUndoCommand(QStringLiteral("mark")));
    EXPECT_TRUE(paneAnnotations.canUndoAnnotation());
    EXPECT_FALSE(paneAnnotations.canRedoAnnotation());
    paneAnnotations.annotationUndoManager()->undo();
    EXPECT_FALSE(paneAnnotations.canUndoAnnotation());
    EXPECT_TRUE(paneAnnotations.canRedoAnnotation());
    other.undo();
    EXPECT_TRUE(paneAnnotations.canRedoAnnotation());
}
