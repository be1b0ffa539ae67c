// The annotation editor, the annotation list and the selection toolbar, on
// a pane model showing a paper.

#include <QAbstractButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUuid>

#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "annotationsview/AnnotationEditor.h"
#include "annotationsview/AnnotationListView.h"
#include "annotationsview/NativeSelectionControls.h"
#include "annotationsview/ViewStyle.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/UnsavedChanges.h"
#include "support/PaneAnnotationsOf.h"

namespace folvan::test {
namespace {

using annotationsview::AnnotationEditor;
using annotationsview::AnnotationListView;
using annotationsview::NativeSelectionControls;

struct Saved {
    int count = 0;
    QString note;
    std::optional<annotations::MarkupColor> color;
};

class AnnotationEditorTest : public TempHomeTest {
protected:
    std::unique_ptr<AnnotationEditor> open(const QString &quote = QStringLiteral("beta"))
    {
        annotations::ReadingAnnotationItem item;
        item.id = QStringLiteral("ID");
        item.kind = QStringLiteral("underline");
        item.quote = quote;
        item.note = QStringLiteral("old");
        auto editor = std::make_unique<AnnotationEditor>(
            item, item.note,
            [this](const QString &note, std::optional<annotations::MarkupColor> color) {
                saved = {saved.count + 1, note, color};
            },
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
    EXPECT_EQ(saved.color, annotations::MarkupColor::blue);
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
    EXPECT_EQ(saved.color, annotations::MarkupColor::pink);

    // Elsewhere, Return saves, also on the cancel button.
    QTest::keyClick(editor->cancelButton(), Qt::Key_Return);
    EXPECT_EQ(saved.count, 2);
    EXPECT_EQ(cancelled, 1);
}

// A long quote shows three lines, the last cut with "…"; a short one shows
// whole.
TEST_F(AnnotationEditorTest, CutsALongQuoteAtThreeLines)
{
    const auto quoteLabel = [](AnnotationEditor &editor) -> QLabel * {
        for (QLabel *label : editor.findChildren<QLabel *>())
            if (label->text().startsWith(QStringLiteral("word")))
                return label;
        return nullptr;
    };
    auto editor = open(QStringLiteral("word ").repeated(200));
    QLabel *label = quoteLabel(*editor);
    ASSERT_NE(label, nullptr);
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << label->text().toStdString();
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026)));
    for (const QString &line : lines)
        EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width());
    EXPECT_GE(label->height(), 3 * label->fontMetrics().lineSpacing());

    auto shortOne = open(QStringLiteral("word of one line"));
    ASSERT_NE(quoteLabel(*shortOne), nullptr);
    EXPECT_EQ(quoteLabel(*shortOne)->text(), QStringLiteral("word of one line"));
}

class AnnotationListTest : public PaneTest {
protected:
    static void click(AnnotationListView &list, int row, AnnotationListView::Part part)
    {
        const QRect place = list.partRect(row, part);
        ASSERT_FALSE(place.isEmpty());
        QTest::mouseClick(list.view()->viewport(), Qt::LeftButton, {}, place.center());
    }

    // A paper of five pages, the fifth labelled "iv", with three markups.
    model::SharedPDFViewModel &paneWithMarkups()
    {
        model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 5, [](engine::PdfFixtureWriter &w) {
            w.setPageLabels({{0, 'D', {}, 1}, {4, 'r', {}, 4}});
        }));
        select(model, 0, 0, 6, 10);
        test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("first\nsecond\nthird\nfourth"));
        test::annotationsOf(model).markupColorChosen(annotations::MarkupColor::green);
        select(model, 0, 2, 0, 4);
        test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
        select(model, 4, 1, 0, 7);
        test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
        EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 3u);
        return model;
    }
};

TEST_F(AnnotationListTest, RowsJumpWithHistoryAndDeleteUndoably)
{
    model::SharedPDFViewModel &model = paneWithMarkups();
    int dismissed = 0;
    AnnotationListView list(&model, [&] { ++dismissed; });
    list.show();
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.rowLines(2).value(0), QStringLiteral("第 iv 页"));
    EXPECT_EQ(list.rows()->index(2).data(annotationsview::AnnotationListModel::EditLabelRole).toString(),
              QStringLiteral("编辑第 5 页的批注"));

    const size_t backBefore = model.backLocations().size();
    click(list, 2, AnnotationListView::Part::row);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(model.backLocations().size(), backBefore + 1);

    // An item without rectangles goes to the page's origin.
    annotations::ReadingAnnotationItem bare = test::annotationsOf(model).annotationItems().front();
    bare.rectangles.clear();
    bare.page = 3;
    list.jump(bare);
    EXPECT_EQ(dismissed, 2);

    const QString deleted = test::annotationsOf(model).annotationItems()[1].id;
    click(list, 1, AnnotationListView::Part::remove);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 2u);
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(test::annotationsOf(model).annotationItems()[1].id, deleted);
}

TEST_F(AnnotationListTest, TheEditorSavesToTheItemItWasOpenedOn)
{
    model::SharedPDFViewModel &model = paneWithMarkups();
    AnnotationListView list(&model, [] {});
    list.show();
    const QString id = test::annotationsOf(model).annotationItems()[1].id;
    click(list, 1, AnnotationListView::Part::edit);
    ASSERT_TRUE(list.editor());
    ASSERT_TRUE(list.editing());
    EXPECT_EQ(list.editing()->id, id);

    // The list is rebuilt meanwhile (another row deleted).
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[0].id);
    list.editor()->noteEditor()->setPlainText(QStringLiteral("why?"));
    list.editor()->swatch(3)->click();
    list.editor()->saveButton()->click();
    EXPECT_FALSE(list.editing());
    const auto &items = test::annotationsOf(model).annotationItems();
    const auto edited = std::find_if(items.begin(), items.end(), [&](const auto &item) { return item.note == "why?"; });
    ASSERT_NE(edited, items.end());
    EXPECT_EQ(edited->kind, QStringLiteral("underline"));
    EXPECT_TRUE(test::waitFor([&] { return !list.editor(); }));
}

// A change typed in the editor and not saved when the program quits is
// saved as its button would save it.
TEST_F(AnnotationListTest, TheEditorSavesWhatIsTypedWhenTheProgramQuits)
{
    model::SharedPDFViewModel &model = paneWithMarkups();
    AnnotationListView list(&model, [] {});
    list.show();
    click(list, 1, AnnotationListView::Part::edit);
    ASSERT_TRUE(list.editor());
    QTest::keyClicks(list.editor()->noteEditor(), QStringLiteral(" at quit"));
    platform::confirmOpenForms();
    const auto &items = test::annotationsOf(model).annotationItems();
    EXPECT_TRUE(std::any_of(items.begin(), items.end(),
                            [&](const auto &item) { return item.note.contains(QStringLiteral("at quit")); }));
    EXPECT_TRUE(fileBytes(annotationFile(model)).contains("at quit"));
}

// Each change of the items reaches the list as the rows it touches; a
// list off screen follows nothing and catches up when shown again.
TEST_F(AnnotationListTest, AChangeTouchesOnlyItsRows)
{
    model::SharedPDFViewModel &model = paneWithMarkups();
    AnnotationListView list(&model, [] {});
    list.show();
    QSignalSpy resets(list.rows(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(list.rows(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(list.rows(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(list.rows(), &QAbstractItemModel::dataChanged);

    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[1].id);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(removed[0][2].toInt(), 1);
    EXPECT_TRUE(changed.isEmpty());
    test::annotationsOf(model).annotationUndoManager()->undo();
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 1);

    test::annotationsOf(model).editAnnotation(test::annotationsOf(model).annotationItems()[2].id, QStringLiteral("later"),
                                              annotations::MarkupColor::pink);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 2);
    EXPECT_EQ(changed[0][1].value<QModelIndex>().row(), 2);
    EXPECT_EQ(list.rowLines(2).last(), QStringLiteral("later"));

    list.hide();
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[0].id);
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[0].id);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(list.rowCount(), 3);
    list.show();
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.rowLines(0).last(), QStringLiteral("later"));
    EXPECT_TRUE(resets.isEmpty());
}

// A row shows two lines of its quote and three of its note, a cut line
// ending with "…", also after the list changed while it scrolled.
TEST_F(AnnotationListTest, RowsKeepTheirLineLimitsAfterEveryChange)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 30));
    for (int page = 0; page < 30; ++page) {
        select(model, page, 0, 0, 22);
        test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("one\ntwo\nthree\nfour"));
    }
    AnnotationListView list(&model, [] {});
    list.resize(120, 300);
    list.show();
    const auto checkRow = [&](int row) {
        const QStringList lines = list.rowLines(row);
        // The page line, two quote lines, three note lines.
        ASSERT_EQ(lines.size(), 6) << lines.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(lines[2].endsWith(QChar(0x2026))) << lines[2].toStdString();
        EXPECT_EQ(lines[3], QStringLiteral("one"));
        EXPECT_TRUE(lines[5].startsWith(QStringLiteral("thr"))) << lines.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(lines[5].endsWith(QChar(0x2026)));
        const QRect place = list.view()->visualRect(list.rows()->index(row));
        EXPECT_GE(place.height(), 6 * QFontMetrics(list.view()->font()).lineSpacing() * 3 / 4) << place.height() << " " << row;
    };
    list.view()->scrollToBottom();
    checkRow(29);
    test::annotationsOf(model).editAnnotation(test::annotationsOf(model).annotationItems()[29].id, QStringLiteral("one\ntwo\nthree\nfive"), std::nullopt);
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[3].id);
    ASSERT_EQ(list.rowCount(), 29);
    checkRow(28);
    checkRow(0);
}

// A row is as tall as the lines it draws, which are its texts cut at the
// row's width: measured without laying each text out, the count holds for
// texts about as wide as the row, for paragraphs, for scripts whose
// letters join and for characters that space lines their own way.
TEST_F(AnnotationListTest, RowsAreAsTallAsTheLinesTheyDraw)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    const QString sentence = QStringLiteral("Regardless of the rights management choice, the author keeps it");
    QStringList quotes, notes;
    for (int length = 6; length <= sentence.size(); length += 4)
        quotes << sentence.left(length);
    quotes << QStringLiteral("中文引文按字计算宽度，一行放不下时折到下一行") << QStringLiteral("النص العربي تتصل حروفه بعضها ببعض في السطر")
           << QStringLiteral("a tab\there and there") << QStringLiteral("ends in spaces                ")
           << QStringLiteral("two\nlines") << QString();
    notes << QString() << QStringLiteral("one\ntwo") << sentence << sentence + QLatin1Char(' ') + sentence
          << QStringLiteral("x\n\ny\nz") << QStringLiteral("line one\n") << sentence.left(30);
    std::vector<annotations::ReadingMarkup> markups;
    for (qsizetype i = 0; i < quotes.size(); ++i) {
        annotations::ReadingMarkup m;
        m.id = QUuid::createUuid();
        m.page = 0;
        m.kind = QStringLiteral("highlight");
        m.rectangles = {textRect(int(i % 3), 0, 5)};
        m.color = QStringLiteral("yellow");
        m.quote = quotes[i];
        m.note = notes[i % notes.size()];
        markups.push_back(m);
    }
    test::annotationsOf(model).applyAnnotations(markups);
    AnnotationListView list(&model, [] {});
    list.show();
    ASSERT_EQ(list.rowCount(), int(quotes.size()));
    const QFont caption = platform::interfaceFont(platform::InterfaceTextRole::caption);
    const QFont body = platform::interfaceFont(platform::InterfaceTextRole::body);
    const int captionLine = QFontMetrics(caption).lineSpacing();
    const int bodyLine = QFontMetrics(body).lineSpacing();
    for (const int width : {150, 190, 230, 270, 330, 420}) {
        list.resize(width, list.heightForWidth(width));
        list.view()->doItemsLayout();
        for (int row = 0; row < list.rowCount(); ++row) {
            const annotations::ReadingAnnotationItem &item = *list.rows()->item(row);
            const int room = list.partRect(row, AnnotationListView::Part::row).width();
            const QStringList quote = annotationsview::cutToLines(item.quote, caption, room, 2);
            const QStringList note = annotationsview::cutToLines(item.note, body, room, 3);
            EXPECT_EQ(list.rowLines(row), QStringList{list.rowLines(row).value(0)} + quote + note)
                << width << " " << item.quote.toStdString();
            // Padded by 5 above and below, 5 between the parts, 8 between rows.
            int height = 5 + captionLine + 5 + 8;
            if (!quote.isEmpty())
                height += 5 + int(quote.size()) * captionLine;
            if (!note.isEmpty())
                height += 5 + int(note.size()) * bodyLine;
            EXPECT_EQ(list.view()->visualRect(list.rows()->index(row)).height(), height)
                << width << " " << item.quote.toStdString() << " / " << item.note.toStdString();
        }
    }
}

// The list, its header and the editor follow the interface text size at
// once; the headline is one point above it.
TEST_F(AnnotationListTest, FontsFollowTheInterfaceTextSize)
{
    model::SharedPDFViewModel &model = paneWithMarkups();
    annotationsview::AnnotationSection section(&model, [] {});
    section.show();
    const auto points = [](double size) { return size * platform::kQtPointsPerInterfacePoint; };
    EXPECT_DOUBLE_EQ(section.header()->font().pointSizeF(), points(16));
    platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, 20.0);
    EXPECT_DOUBLE_EQ(section.header()->font().pointSizeF(), points(21));
    EXPECT_DOUBLE_EQ(section.list()->view()->font().pointSizeF(), points(20));
    section.list()->edit(test::annotationsOf(model).annotationItems()[0]);
    ASSERT_TRUE(section.list()->editor());
    auto *title = section.list()->editor()->findChild<QLabel *>();
    ASSERT_TRUE(title);
    EXPECT_DOUBLE_EQ(title->font().pointSizeF(), points(21));
    platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, 14.0);
    EXPECT_DOUBLE_EQ(title->font().pointSizeF(), points(15));
}

class SelectionToolbarTest : public PaneTest {};

TEST_F(SelectionToolbarTest, ActsOnTheSelectionThroughTheModel)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
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
    EXPECT_EQ(test::annotationsOf(model).preferredMarkupColor(), annotations::MarkupColor::green);
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    toolbar.highlightButton()->click();
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().color, QStringLiteral("green"));
    EXPECT_EQ(model.selectionText(), QStringLiteral("beta"));

    // The note: blank text cannot be saved; text around spaces is saved.
    toolbar.noteButton()->click();
    ASSERT_TRUE(toolbar.notePopover());
    toolbar.noteEditor()->setPlainText(QStringLiteral(" \n "));
    EXPECT_FALSE(toolbar.saveNoteButton()->isEnabled());
    toolbar.noteEditor()->setPlainText(QStringLiteral(" why "));
    toolbar.saveNoteButton()->click();
    EXPECT_EQ(test::annotationsOf(model).markups().front().note, QStringLiteral("why"));
    EXPECT_TRUE(test::waitFor([&] { return !toolbar.notePopover(); }));
    toolbar.noteButton()->click();
    EXPECT_TRUE(toolbar.noteEditor()->toPlainText().isEmpty());

    const QString error = QStringLiteral("批注尚未保存：设备上没有空间，请清理磁盘后再试一次。No space left on device");
    test::annotationsOf(model).setMarkupError(error);
    QLabel *label = toolbar.errorLabel();
    EXPECT_TRUE(label->isVisible());
    EXPECT_LE(label->width(), 180);
    EXPECT_EQ(label->toolTip(), error);
    // One line, cut with "…"; the tooltip holds the whole text.
    EXPECT_FALSE(label->wordWrap());
    EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << label->text().toStdString();
    EXPECT_TRUE(error.startsWith(label->text().chopped(1)));
    toolbar.adjustSize();
    EXPECT_LE(label->sizeHint().width(), 180);
    EXPECT_LT(label->sizeHint().height(), label->fontMetrics().lineSpacing() * 2);
    EXPECT_GE(label->height(), label->fontMetrics().height());

    // A short error shows whole; clearing it gives the row back its size.
    test::annotationsOf(model).setMarkupError(QStringLiteral("写入失败"));
    EXPECT_EQ(label->text(), QStringLiteral("写入失败"));
    test::annotationsOf(model).setMarkupError(std::nullopt);
    EXPECT_FALSE(label->isVisible());
}

// A note typed in the popover and not saved when the program quits is
// saved as "保存批注" would save it; a blank note and a dismissed popover
// add nothing.
TEST_F(SelectionToolbarTest, ANoteTypedIsSavedWhenTheProgramQuits)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    NativeSelectionControls toolbar(&model);
    toolbar.show();
    select(model, 0, 0, 6, 10);

    toolbar.noteButton()->click();
    ASSERT_TRUE(toolbar.notePopover());
    QTest::keyClicks(toolbar.noteEditor(), QStringLiteral("  "));
    platform::confirmOpenForms();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());

    toolbar.noteButton()->click();
    QTest::keyClicks(toolbar.noteEditor(), QStringLiteral("dismissed"));
    toolbar.notePopover()->close();
    platform::confirmOpenForms();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());

    toolbar.noteButton()->click();
    QTest::keyClicks(toolbar.noteEditor(), QStringLiteral("typed"));
    platform::confirmOpenForms();
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().note, QStringLiteral("typed"));
    EXPECT_TRUE(fileBytes(annotationFile(model)).contains("typed"));
    EXPECT_TRUE(test::waitFor([&] { return !toolbar.notePopover(); }));
    // Quitting once more saves nothing twice.
    platform::confirmOpenForms();
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);
}

// The note popover opens beside its button on the side with room and stays
// inside the window, also where the screen has more room than the window.
TEST_F(SelectionToolbarTest, TheNotePopoverStaysInsideItsWindow)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    select(model, 0, 0, 6, 10);
    QWidget window;
    window.setGeometry(60, 40, 330, 420);
    auto *toolbar = new NativeSelectionControls(&model, &window);
    toolbar->adjustSize();
    // At the window's lower right corner, as the pane's dock stands.
    toolbar->move(window.width() - toolbar->width() - 4, window.height() - toolbar->height() - 4);
    window.show();
    toolbar->noteButton()->click();
    ASSERT_TRUE(toolbar->notePopover());
    const QRect inside(window.mapToGlobal(QPoint(0, 0)), window.size());
    const QRect popover = toolbar->notePopover()->geometry();
    EXPECT_TRUE(inside.contains(popover)) << popover.x() << "," << popover.y() << " in " << inside.x() << ","
                                          << inside.y();
    EXPECT_LE(popover.bottom(), toolbar->noteButton()->mapToGlobal(QPoint(0, 0)).y());
}

// Standing on a surface of its own at the window's right edge, as in the
// pane's dock, the toolbar's note card keeps a margin in from the window's
// edges, so that its border shows, and stays above the surface, clear of
// the toolbar.
TEST_F(SelectionToolbarTest, TheNoteCardKeepsClearOfTheWindowsEdgeAndOfTheToolbar)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    select(model, 0, 0, 6, 10);
    QWidget window;
    window.setGeometry(60, 40, 520, 420);
    auto *surface = new QFrame(&window);
    auto *row = new QHBoxLayout(surface);
    row->setContentsMargins(7, 5, 7, 5);
    auto *toolbar = new NativeSelectionControls(&model, surface);
    row->addWidget(toolbar);
    surface->adjustSize();
    surface->move(window.width() - surface->width() - 16, window.height() - surface->height() - 16);
    window.show();
    toolbar->noteButton()->click();
    ASSERT_TRUE(toolbar->notePopover());
    const QRect inside = QRect(window.mapToGlobal(QPoint(0, 0)), window.size()).adjusted(16, 16, -16, -16);
    const QRect card = toolbar->notePopover()->geometry();
    EXPECT_TRUE(inside.contains(card)) << card.x() << "," << card.y() << " " << card.width() << "x" << card.height()
                                       << " in " << inside.x() << "," << inside.y() << " " << inside.width() << "x"
                                       << inside.height();
    EXPECT_LT(card.bottom(), surface->mapToGlobal(QPoint(0, 0)).y());
}

} // namespace
} // namespace folvan::test
