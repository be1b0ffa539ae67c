// The annotation editor, the annotation list and the selection toolbar, on
// a pane model showing a paper.

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "annotationsview/AnnotationEditor.h"
#include "annotationsview/AnnotationListView.h"
#include "annotationsview/NativeSelectionControls.h"

namespace folvan::test {
namespace {

using annotationsview::AnnotationEditor;
using annotationsview::AnnotationListView;
using annotationsview::NativeSelectionControls;

struct Saved {
    int count = 0;
    QString note;
    std::optional<MarkupColor> color;
};

class AnnotationEditorTest : public TempHomeTest {
protected:
    std::unique_ptr<AnnotationEditor> open(const QString &quote = QStringLiteral("beta"))
    {
        ReadingAnnotationItem item;
        item.id = QStringLiteral("ID");
        item.kind = QStringLiteral("underline");
        item.quote = quote;
        item.note = QStringLiteral("old");
        auto editor = std::make_unique<AnnotationEditor>(
            item, item.note,
            [this](const QString &note, std::optional<MarkupColor> color) { saved = {saved.count + 1, note, color}; },
            [this] { ++cancelled; });
        editor->show();
        return editor;
    }
    Saved saved;
    int cancelled = 0;
};

TEST_F(AnnotationEditorTest, SavesTheNoteAsTypedAndOnlyAChosenColour)
{
    auto editor = open();
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(editor->swatch(i)->isChecked());
    editor->saveButton()->click();
    EXPECT_EQ(saved.count, 1);
    EXPECT_EQ(saved.note, QStringLiteral("old"));
    EXPECT_FALSE(saved.color);

    editor->swatch(1)->click();
    editor->swatch(2)->click();
    editor->swatch(2)->click();
    EXPECT_FALSE(editor->swatch(1)->isChecked());
    EXPECT_TRUE(editor->swatch(2)->isChecked());
    editor->noteEditor()->setPlainText(QStringLiteral("  "));
    editor->saveButton()->click();
    EXPECT_EQ(saved.note, QStringLiteral("  "));
    EXPECT_EQ(saved.color, MarkupColor::blue);
    EXPECT_EQ(editor->swatch(0)->accessibleName(), QStringLiteral("黄色"));
}

TEST_F(AnnotationEditorTest, KeysCancelSaveAndBreakLines)
{
    auto editor = open();
    editor->swatch(3)->click();
    editor->noteEditor()->setFocus();
    QTest::keyClick(editor->noteEditor(), Qt::Key_Escape);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(saved.count, 0);

    // In the note, Return is a new line; Ctrl+Return saves.
    editor->noteEditor()->moveCursor(QTextCursor::End);
    QTest::keyClick(editor->noteEditor(), Qt::Key_Return);
    QTest::keyClicks(editor->noteEditor(), QStringLiteral("more"));
    EXPECT_EQ(saved.count, 0);
    QTest::keyClick(editor->noteEditor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(saved.count, 1);
    EXPECT_EQ(saved.note, QStringLiteral("old\nmore"));
    EXPECT_EQ(saved.color, MarkupColor::pink);

    // Elsewhere, Return saves, also on the cancel button.
    QTest::keyClick(editor->cancelButton(), Qt::Key_Return);
    EXPECT_EQ(saved.count, 2);
    EXPECT_EQ(cancelled, 1);
}

class AnnotationListTest : public PaneTest {
protected:
    // A paper of five pages, the fifth labelled "iv", with three markups.
    SharedPDFViewModel &paneWithMarkups()
    {
        SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 5, [](engine::PdfFixtureWriter &w) {
            w.setPageLabels({{0, 'D', {}, 1}, {4, 'r', {}, 4}});
        }));
        select(model, 0, 0, 6, 10);
        model.addMarkup(QStringLiteral("highlight"), QStringLiteral("first\nsecond\nthird\nfourth"));
        model.setPreferredMarkupColor(MarkupColor::green);
        select(model, 0, 2, 0, 4);
        model.addMarkup(QStringLiteral("underline"), QString());
        select(model, 4, 1, 0, 7);
        model.addMarkup(QStringLiteral("highlight"), QString());
        EXPECT_EQ(model.annotationItems().size(), 3u);
        return model;
    }
};

TEST_F(AnnotationListTest, RowsJumpWithHistoryAndDeleteUndoably)
{
    SharedPDFViewModel &model = paneWithMarkups();
    int dismissed = 0;
    AnnotationListView list(&model, [&] { ++dismissed; });
    list.show();
    ASSERT_EQ(list.rowCount(), 3);
    const QStringList pageTexts = [&] {
        QStringList texts;
        for (QLabel *label : list.rowButton(2)->findChildren<QLabel *>())
            texts << label->text();
        return texts;
    }();
    EXPECT_TRUE(pageTexts.contains(QStringLiteral("第 iv 页")));
    EXPECT_EQ(list.editButton(2)->accessibleName(), QStringLiteral("编辑第 5 页的批注"));

    const size_t backBefore = model.backLocations().size();
    list.rowButton(2)->click();
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(model.backLocations().size(), backBefore + 1);

    // An item without rectangles goes to the page's origin.
    ReadingAnnotationItem bare = model.annotationItems().front();
    bare.rectangles.clear();
    bare.page = 3;
    list.jump(bare);
    EXPECT_EQ(dismissed, 2);

    const QString deleted = model.annotationItems()[1].id;
    list.deleteButton(1)->click();
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(model.annotationItems().size(), 2u);
    model.annotationUndoManager()->undo();
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(model.annotationItems()[1].id, deleted);
}

TEST_F(AnnotationListTest, TheEditorSavesToTheItemItWasOpenedOn)
{
    SharedPDFViewModel &model = paneWithMarkups();
    AnnotationListView list(&model, [] {});
    list.show();
    const QString id = model.annotationItems()[1].id;
    list.editButton(1)->click();
    ASSERT_TRUE(list.editor());
    ASSERT_TRUE(list.editing());
    EXPECT_EQ(list.editing()->id, id);

    // The list is rebuilt meanwhile (another row deleted).
    model.deleteAnnotation(model.annotationItems()[0].id);
    list.editor()->noteEditor()->setPlainText(QStringLiteral("why?"));
    list.editor()->swatch(3)->click();
    list.editor()->saveButton()->click();
    EXPECT_FALSE(list.editing());
    const auto &items = model.annotationItems();
    const auto edited = std::find_if(items.begin(), items.end(), [&](const auto &item) { return item.note == "why?"; });
    ASSERT_NE(edited, items.end());
    EXPECT_EQ(edited->kind, QStringLiteral("underline"));
    QTRY_VERIFY(!list.editor());
}

class SelectionToolbarTest : public PaneTest {};

TEST_F(SelectionToolbarTest, ActsOnTheSelectionThroughTheModel)
{
    SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    NativeSelectionControls toolbar(&model);
    toolbar.show();
    for (QToolButton *button : {toolbar.copyButton(), toolbar.highlightButton(), toolbar.underlineButton(),
                                toolbar.noteButton()})
        EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(toolbar.colorButton()->isEnabled());
    EXPECT_FALSE(toolbar.errorLabel()->isVisible());

    select(model, 0, 0, 6, 10);
    EXPECT_TRUE(toolbar.highlightButton()->isEnabled());
    // A colour from the menu is the colour of the next markup only.
    const QList<QAction *> colours = toolbar.colorButton()->menu()->actions();
    ASSERT_EQ(colours.size(), 4);
    EXPECT_EQ(colours[1]->text(), QStringLiteral("绿色"));
    colours[1]->trigger();
    EXPECT_EQ(model.preferredMarkupColor(), MarkupColor::green);
    EXPECT_TRUE(model.markups().empty());
    toolbar.highlightButton()->click();
    ASSERT_EQ(model.markups().size(), 1u);
    EXPECT_EQ(model.markups().front().color, QStringLiteral("green"));
    EXPECT_EQ(model.selectionText(), QStringLiteral("beta"));

    // The note: blank text cannot be saved; text around spaces is saved.
    toolbar.noteButton()->click();
    ASSERT_TRUE(toolbar.notePopover());
    toolbar.noteEditor()->setPlainText(QStringLiteral(" \n "));
    EXPECT_FALSE(toolbar.saveNoteButton()->isEnabled());
    toolbar.noteEditor()->setPlainText(QStringLiteral(" why "));
    toolbar.saveNoteButton()->click();
    EXPECT_EQ(model.markups().front().note, QStringLiteral("why"));
    QTRY_VERIFY(!toolbar.notePopover());
    toolbar.noteButton()->click();
    EXPECT_TRUE(toolbar.noteEditor()->toPlainText().isEmpty());

    const QString error = QStringLiteral("批注尚未保存：设备上没有空间，请清理磁盘后再试一次。No space left on device");
    model.setMarkupError(error);
    QLabel *label = toolbar.errorLabel();
    EXPECT_TRUE(label->isVisible());
    EXPECT_LE(label->width(), 180);
    EXPECT_EQ(label->toolTip(), error);
    // Shown whole, on as many lines as it takes.
    EXPECT_EQ(label->text(), error);
    EXPECT_TRUE(label->wordWrap());
    toolbar.adjustSize();
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_GT(label->height(), label->fontMetrics().lineSpacing() * 2);
}

} // namespace
} // namespace folvan::test
