// The notes panel of a pane: what it lists and selects, and that every edit
// reaches the store at once without disturbing the reader's typing.

#include "notes/NotesTestSupport.h"
#include "notesview/BodyPieces.h"
#include "notesview/PaperNotesView.h"
#include "platform/InterfaceFont.h"
#include "support/HeldDataFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTest>
#include <QToolButton>

namespace folvan::notesview::test {

using namespace folvan::test;

namespace {

class NotesPanelTest : public NotesStoreTest {
protected:
    void SetUp() override
    {
        NotesStoreTest::SetUp();
        store = openStore();
        alpha = registered(QStringLiteral("Alpha.pdf"));
        beta = registered(QStringLiteral("Beta.pdf"));
    }

    QUuid registered(const QString &name)
    {
        writeTestFile(path(QStringLiteral("papers/") + name), "%PDF-1.4\n");
        return store->registerPaper(path(QStringLiteral("papers/") + name));
    }

    QUuid add(const QString &title, double updated, std::optional<QUuid> paper, const QString &body = QString())
    {
        notes::PaperNote note = makeNote(title, body, updated, paper);
        store->setNotes(store->notes() << note);
        return note.id;
    }

    PaperNotesView &show(std::optional<QUuid> paper, int page = 0)
    {
        PaneNoteHooks hooks{[this] { return selected; }, [this](const std::optional<QUuid> &id) { selected = id; },
                            [this](const notes::PaperNote &note) { opened << note.id; },
                            /* takeTitleFocus */ {}};
        view = std::make_unique<PaperNotesView>(*store, paper, page, std::move(hooks));
        view->resize(380, 620);
        view->show();
        return *view;
    }

    template <class T>
    T *child(const char *name) const
    {
        T *found = view->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The list's rows, in their order.
    QStringList rows() const
    {
        QStringList titles;
        for (NoteRow *row : view->listRows())
            titles << row->titleText();
        return titles;
    }

    NoteRow *row(const QString &title) const
    {
        for (NoteRow *row : view->findChildren<NoteRow *>())
            if (row->titleText() == title)
                return row;
        return nullptr;
    }

    std::unique_ptr<notes::PaperNotesStore> store;
    std::unique_ptr<PaperNotesView> view;
    std::optional<QUuid> selected;
    QList<QUuid> opened;
    QUuid alpha, beta;
};

} // namespace

TEST_F(NotesPanelTest, WithoutAPaperAllNotesAreListedAndNothingCanBeCreated)
{
    add(QStringLiteral("older"), 10, alpha);
    add(QStringLiteral("newer"), 20, beta);
    add(QStringLiteral("gone"), 30, alpha);
    store->trash(store->notes().back().id);

    show(std::nullopt);
    EXPECT_FALSE(child<QToolButton>("create")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("createHere")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("scopeAll")->parentWidget()->isEnabled());
    EXPECT_TRUE(child<QPushButton>("scopeAll")->isChecked());
    EXPECT_EQ(rows(), QStringList({QStringLiteral("newer"), QStringLiteral("older")}));
    EXPECT_EQ(selected, std::nullopt);
    EXPECT_TRUE(child<QWidget>("emptyState")->isVisible());
}

// A note read from the library may hold texts of any length: the list row
// and the quotes show only what their lines hold.
TEST_F(NotesPanelTest, AHugeNoteShowsWhatItsRowsHold)
{
    notes::PaperNote note = makeNote(QStringLiteral("Title") + QString(1'000'000, QLatin1Char('t')),
                              QString(1'000'000, QLatin1Char('b')), 10, alpha);
    model::ReadingTextSource passage;
    passage.quote = QStringLiteral("Quote") + QString(1'000'000, QLatin1Char('q'));
    note.sources = std::vector<model::ReadingTextSource>{passage};
    store->setNotes({note});
    selected = note.id;
    show(alpha);
    ASSERT_EQ(view->listRows().size(), 1);
    const QString title = view->listRows().front()->titleText();
    EXPECT_TRUE(title.startsWith(QStringLiteral("Titlettt")));
    EXPECT_LE(title.size(), 5000);
    auto *quotes = child<QLabel>("quotes");
    EXPECT_TRUE(quotes->text().startsWith(QStringLiteral("Quoteqqq")));
    EXPECT_LE(quotes->text().size(), 20000);
    // The editor holds the whole note, to be edited without loss.
    EXPECT_EQ(view->findChild<QPlainTextEdit *>(QStringLiteral("body"))->toPlainText().remove(QLatin1Char('\n')).size(),
              1'000'000);
}

// A line the editor cannot lay out in a moment is shown in pieces; what is
// stored stays the note's own text through typing, line breaks, deleting
// between pieces, undo and redo.
TEST_F(NotesPanelTest, ALongLineIsEditedInPiecesAndStoredWhole)
{
    const QString line = QString(3 * kPieceLength + 10, QLatin1Char('x'));
    const QString original = line + QStringLiteral("\nend");
    selected = add(QStringLiteral("long"), 10, alpha, original);
    show(alpha);
    folvan::test::waitForIdle();
    auto *body = child<QPlainTextEdit>("body");
    QTextDocument *document = body->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        EXPECT_LE(block.length() - 1, kPieceLength) << block.blockNumber();
    EXPECT_GT(document->blockCount(), 2);
    EXPECT_EQ(store->note(selected)->body, original);
    EXPECT_EQ(store->note(selected)->updatedAt, at(10));

    const auto stored = [&] { return store->note(selected)->body; };
    const auto putCursor = [&](int position) {
        QTextCursor cursor(document);
        cursor.setPosition(position);
        body->setTextCursor(cursor);
    };
    // Typing inside the second piece lands at its place in the line.
    const int secondPiece = document->findBlockByNumber(1).position();
    putCursor(secondPiece + 2);
    QTest::keyClicks(body, QStringLiteral("ab"));
    QString expected = original;
    expected.insert(kPieceLength + 2, QStringLiteral("ab"));
    EXPECT_EQ(stored(), expected);
    // Backspace at a piece's start joins two pieces: the text stays as it is.
    putCursor(secondPiece);
    QTest::keyClick(body, Qt::Key_Backspace);
    EXPECT_EQ(stored(), expected);
    QTest::keyClick(body, Qt::Key_Backspace);
    expected.remove(kPieceLength - 1, 1);
    EXPECT_EQ(stored(), expected);
    // A line break typed is the reader's own.
    QTest::keyClick(body, Qt::Key_Return);
    QString broken = expected;
    broken.insert(kPieceLength - 1, QLatin1Char('\n'));
    EXPECT_EQ(stored(), broken);
    // Undo and redo take back the breaks as they were.
    QTest::keyClick(body, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(stored(), expected);
    while (document->isUndoAvailable())
        QTest::keyClick(body, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(stored(), original);
    while (document->isRedoAvailable())
        QTest::keyClick(body, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(stored(), broken);
    // A deletion across pieces and its undo.
    body->selectAll();
    QTest::keyClick(body, Qt::Key_Delete);
    EXPECT_EQ(stored(), QString());
    QTest::keyClick(body, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(stored(), broken);
    // Typing over the text changes as many characters as it puts in.
    body->setOverwriteMode(true);
    putCursor(document->lastBlock().position());
    QTest::keyClicks(body, QStringLiteral("yz"));
    EXPECT_EQ(stored(), broken.chopped(3) + QStringLiteral("yzd"));
    // Each key typed over is undone on its own.
    for (int n = 0; n < 6 && stored() != broken; ++n)
        QTest::keyClick(body, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(stored(), broken);
}

// Shown in pieces and read back, a body is its own text whatever stands
// where a piece ends: spaces, surrogate pairs, combining marks, line ends.
TEST(BodyPieces, ABodyReadsBackAsItWasShown)
{
    const QString pair = QString::fromUtf8("\xF0\x9D\x91\xA5"); // a letter outside the basic plane
    const QString marked = QStringLiteral("e\u0301");
    QString words;
    while (words.size() < 3 * kPieceLength)
        words += QStringLiteral("word ");
    const QList<QString> bodies{
        QString(),
        QString(kPieceLength, QLatin1Char('a')),
        QString(kPieceLength + 1, QLatin1Char('a')),
        words,
        QStringLiteral("x") + pair.repeated(kPieceLength),
        marked.repeated(kPieceLength),
        QString(2 * kPieceLength, QLatin1Char('a')) + QStringLiteral("\n\n") + words + QStringLiteral("\n"),
    };
    for (const QString &body : bodies) {
        const ShownBody shown = shownBody(body);
        EXPECT_EQ(storedBody(shown.text, shown.breaks), body) << body.size();
        EXPECT_EQ(shown.text.size(), body.size() + shown.breaks.size());
        for (const QString &piece : shown.text.split(QLatin1Char('\n'))) {
            EXPECT_LE(piece.size(), kPieceLength);
            EXPECT_FALSE(!piece.isEmpty() && (piece.front().isLowSurrogate() || piece.front().isMark())) << body.size();
        }
    }
    // A line of words is broken after a space.
    for (const int at : shownBody(words).breaks)
        EXPECT_EQ(shownBody(words).text.at(at - 1), QLatin1Char(' '));
    // The editor's own line ends are read back as "\n"; nothing else is
    // ever left out.
    EXPECT_EQ(storedBody(QStringLiteral("a\u2029b"), {}), QStringLiteral("a\nb"));
    EXPECT_EQ(storedBody(QStringLiteral("ab\ncd"), {1, 2, 9}), QStringLiteral("abcd"));
    EXPECT_EQ(shownBody(QStringLiteral("a\r\nb\rc")).text, QStringLiteral("a\nb\nc"));
}

TEST_F(NotesPanelTest, OpeningAPaperSelectsItsNewestNoteOrClearsTheSelection)
{
    const QUuid alphaOld = add(QStringLiteral("a1"), 10, alpha);
    const QUuid alphaNew = add(QStringLiteral("a2"), 20, alpha);
    const QUuid orphan = add(QStringLiteral("old pad"), 30, std::nullopt);
    const QUuid gamma = registered(QStringLiteral("Gamma.pdf"));
    struct Case {
        std::optional<QUuid> selectedBefore, paper, selectedAfter;
        QStringList rows;
    };
    const Case cases[] = {
        {std::nullopt, alpha, alphaNew, {QStringLiteral("a2"), QStringLiteral("a1")}},
        {alphaOld, alpha, alphaOld, {QStringLiteral("a2"), QStringLiteral("a1")}}, // already on this paper
        {orphan, alpha, alphaNew, {QStringLiteral("a2"), QStringLiteral("a1")}},
        {alphaNew, gamma, std::nullopt, {}},
    };
    for (const Case &c : cases) {
        selected = c.selectedBefore;
        show(c.paper);
        EXPECT_EQ(selected, c.selectedAfter);
        EXPECT_TRUE(child<QPushButton>("scopeCurrent")->isChecked());
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(child<QWidget>("emptyState")->isVisible(), !c.selectedAfter.has_value());
        if (c.rows.isEmpty()) {
            EXPECT_EQ(child<QLabel>("emptyList")->text(), QStringLiteral("在这里记下这篇论文的想法。"));
        }
    }

    // The pane moves on to another paper while the panel is shown.
    view->setPaperID(alpha);
    EXPECT_EQ(selected, alphaNew);
}

TEST_F(NotesPanelTest, PlusClearsTheQueryNarrowsTheScopeAndSelectsTheNewNote)
{
    add(QStringLiteral("b"), 10, beta);
    show(alpha, 4);
    QTest::keyClicks(child<QLineEdit>("search"), QStringLiteral("zzz"));
    child<QPushButton>("scopeAll")->click();
    EXPECT_EQ(child<QLabel>("emptyList")->text(), QStringLiteral("没有匹配的笔记"));

    child<QToolButton>("create")->click();
    EXPECT_TRUE(child<QLineEdit>("search")->text().isEmpty());
    EXPECT_TRUE(child<QPushButton>("scopeCurrent")->isChecked());
    const notes::PaperNote made = store->notes().back();
    EXPECT_EQ(made.paperID, alpha);
    EXPECT_EQ(made.page, 4);
    EXPECT_EQ(made.sources, std::nullopt);
    EXPECT_EQ(selected, made.id);
    EXPECT_EQ(rows(), QStringList({QStringLiteral("未命名笔记")}));
    EXPECT_TRUE(child<QLineEdit>("title")->isVisible());
    EXPECT_TRUE(child<QLineEdit>("title")->text().isEmpty());
    elapse(400);
    EXPECT_TRUE(fileBytes().contains(made.id.toString(QUuid::WithoutBraces).toUpper().toUtf8()));
}

TEST_F(NotesPanelTest, TypingEditsTheStoreAtOnceAndKeepsTheCursor)
{
    const QUuid first = add(QStringLiteral("ab"), 10, alpha);
    add(QStringLiteral("later"), 20, alpha);
    selected = first;
    show(alpha);
    QLineEdit *title = child<QLineEdit>("title");
    title->setFocus();
    title->setCursorPosition(1);
    QTest::keyClicks(title, QStringLiteral("xy"));
    EXPECT_EQ(store->note(first)->title, QStringLiteral("axyb"));
    EXPECT_EQ(title->cursorPosition(), 3);
    EXPECT_EQ(rows().front(), QStringLiteral("axyb"));

    QPlainTextEdit *body = child<QPlainTextEdit>("body");
    QTest::keyClicks(body, QStringLiteral("one"));
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(1);
    body->setTextCursor(cursor);
    QTest::keyClicks(body, QStringLiteral("-"));
    EXPECT_EQ(store->note(first)->body, QStringLiteral("o-ne"));
    EXPECT_EQ(body->textCursor().position(), 2);
    EXPECT_EQ(title->text(), QStringLiteral("axyb"));
}

// A title is one line: pasted line breaks become spaces in the field, the
// store and the list.
TEST_F(NotesPanelTest, APastedTitleIsOneLine)
{
    selected = add(QStringLiteral("ab"), 10, alpha);
    show(alpha);
    QLineEdit *title = child<QLineEdit>("title");
    title->setFocus();
    title->setCursorPosition(1);
    QApplication::clipboard()->setText(QStringLiteral("x\ny\r\nz"));
    title->paste();
    EXPECT_EQ(title->text(), QStringLiteral("ax y zb"));
    EXPECT_EQ(title->cursorPosition(), 6);
    EXPECT_EQ(store->note(selected)->title, QStringLiteral("ax y zb"));
    EXPECT_EQ(rows(), QStringList({QStringLiteral("ax y zb")}));
}

// With many notes, typing changes the edited note's row alone; the others
// stay as they were.
TEST_F(NotesPanelTest, TypingTouchesOnlyTheEditedRow)
{
    for (int n = 0; n < 40; ++n)
        add(QStringLiteral("note %1").arg(n), 10 + n, alpha, QStringLiteral("body"));
    const QUuid edited = add(QStringLiteral("edited"), 5, alpha);
    selected = edited;
    show(alpha);
    const QList<NoteRow *> before = view->listRows();
    ASSERT_EQ(before.size(), 41);
    EXPECT_EQ(before.last()->noteID(), edited);
    QTest::keyClicks(child<QPlainTextEdit>("body"), QStringLiteral("abc"));
    const QList<NoteRow *> after = view->listRows();
    ASSERT_EQ(after.size(), 41);
    // The edited note heads the list; every other row is the same widget.
    EXPECT_EQ(after.front(), before.last());
    EXPECT_EQ(after.mid(1), before.mid(0, 40));
    EXPECT_EQ(child<QPlainTextEdit>("body")->toPlainText(), QStringLiteral("abc"));
}

// In a popover's height the list keeps three rows, the editor the rest,
// and the footer stays in sight, in the interface's fonts.
TEST_F(NotesPanelTest, AShortPanelSharesItsHeightAndKeepsItsFooter)
{
    for (int n = 0; n < 12; ++n)
        add(QStringLiteral("note %1").arg(n), 10 + n, alpha);
    selected = add(QStringLiteral("shown"), 5, alpha, QStringLiteral("text"));
    show(alpha);
    view->resize(356, 496);
    folvan::test::waitForIdle();
    const QRect inside = view->rect();
    QLabel *status = child<QLabel>("status");
    ASSERT_TRUE(status->isVisible());
    EXPECT_TRUE(inside.contains(QRect(status->mapTo(view.get(), QPoint(0, 0)), status->size())));
    QPlainTextEdit *body = child<QPlainTextEdit>("body");
    EXPECT_TRUE(inside.contains(QRect(body->mapTo(view.get(), QPoint(0, 0)), body->size())));
    EXPECT_GE(body->height(), 2 * body->fontMetrics().lineSpacing());
    auto *list = child<QWidget>("list");
    const QList<NoteRow *> shown = view->listRows();
    ASSERT_GE(shown.size(), 3);
    EXPECT_GE(list->height(), shown[0]->height() + shown[1]->height() + shown[2]->height());
    EXPECT_EQ(child<QLineEdit>("title")->font().pointSizeF(),
              platform::interfaceFont(platform::InterfaceTextRole::body).pointSizeF());
}

TEST_F(NotesPanelTest, DeleteClearsTheSelectionAndUndoBringsTheNoteBackUnselected)
{
    add(QStringLiteral("keep"), 10, alpha);
    const QUuid doomed = add(QStringLiteral("doomed"), 20, alpha);
    show(alpha);
    ASSERT_EQ(selected, doomed);
    EXPECT_FALSE(child<QPushButton>("undo")->isVisible());

    child<QToolButton>("delete")->click();
    EXPECT_EQ(store->note(doomed), std::nullopt);
    EXPECT_EQ(selected, std::nullopt);
    EXPECT_TRUE(child<QWidget>("emptyState")->isVisible());
    EXPECT_EQ(rows(), QStringList({QStringLiteral("keep")}));

    child<QPushButton>("undo")->click();
    EXPECT_EQ(rows(), QStringList({QStringLiteral("doomed"), QStringLiteral("keep")}));
    EXPECT_EQ(selected, std::nullopt);
}

TEST_F(NotesPanelTest, AnOldNoteIsLinkedToTheOpenPaperAtTheCurrentPage)
{
    notes::PaperNote old = makeNote(QStringLiteral("pad"), QStringLiteral("text"), 10);
    old.sources = std::vector{quoteSource(QStringLiteral("q1")), quoteSource(QStringLiteral("q2"))};
    store->setNotes({old});
    show(alpha, 2);
    child<QPushButton>("scopeAll")->click();
    ASSERT_NE(row(QStringLiteral("pad")), nullptr);
    EXPECT_EQ(row(QStringLiteral("pad"))->paperText(), QStringLiteral("旧版笔记 · 来源未记录"));
    row(QStringLiteral("pad"))->click();
    ASSERT_EQ(selected, old.id);

    QToolButton *source = child<QToolButton>("source");
    EXPECT_FALSE(source->isEnabled());
    EXPECT_EQ(source->property("fullText").toString(), QStringLiteral("旧版笔记 · 来源未记录"));
    EXPECT_EQ(child<QLabel>("quotes")->text(), QStringLiteral("q1\nq2"));
    QPushButton *link = child<QPushButton>("link");
    ASSERT_TRUE(link->isVisible());

    link->click();
    EXPECT_FALSE(link->isVisible());
    EXPECT_FALSE(child<QLabel>("quotes")->isVisible());
    EXPECT_EQ(source->property("fullText").toString(), QStringLiteral("Alpha · 第 3 页"));
    ASSERT_TRUE(source->isEnabled());
    source->click();
    EXPECT_EQ(opened, QList<QUuid>({old.id}));
}

TEST_F(NotesPanelTest, ExportSuggestsANameFromTheTitleAndReportsAFailedWrite)
{
    const struct {
        QString title, suggested;
    } cases[] = {{QStringLiteral("a/b"), QStringLiteral("a-b.md")},
                 {QString(), QStringLiteral("论文笔记.md")},
                 {QStringLiteral("two\nlines\r\nand\ta\u0007bell"), QStringLiteral("two lines and a bell.md")}};
    for (const auto &c : cases) {
        selected = add(c.title, 10, alpha, QStringLiteral("body"));
        show(alpha);
        QString suggested;
        view->chooseExportPath = [&](const QString &name) {
            suggested = name;
            return path(QStringLiteral("out.md"));
        };
        child<QToolButton>("export")->click();
        EXPECT_EQ(suggested, c.suggested);
        EXPECT_EQ(readTestFile(path(QStringLiteral("out.md"))), store->markdown(*store->note(selected)).toUtf8());
    }

    QStringList failures;
    view->chooseExportPath = [&](const QString &) { return path(QStringLiteral("out.md/inside.md")); };
    view->reportExportFailure = [&](const QString &error) { failures << error; };
    child<QToolButton>("export")->click();
    EXPECT_EQ(failures.size(), 1);
}

TEST_F(NotesPanelTest, HidingThePanelWritesTypedTextAtOnce)
{
    selected = add(QStringLiteral("t"), 10, alpha);
    store->flush();
    show(alpha);
    QTest::keyClicks(child<QLineEdit>("title"), QStringLiteral("yped"));
    EXPECT_FALSE(fileBytes().contains("typed"));
    view->hide();
    EXPECT_TRUE(fileBytes().contains("typed"));
}

TEST_F(NotesPanelTest, AStoreThatCannotSaveShowsItsErrorAndKeepsWhatWasTyped)
{
    platform::Preferences defaults(path(QStringLiteral("other-prefs.json")));
    store = std::make_unique<notes::PaperNotesStore>(QString(), defaults);
    alpha = store->registerPaper(path(QStringLiteral("papers/Alpha.pdf")));
    show(alpha);
    child<QPushButton>("createHere")->click();
    QTest::keyClicks(child<QLineEdit>("title"), QStringLiteral("kept"));
    view->hide();
    view->show();
    EXPECT_EQ(child<QLabel>("status")->text(), QStringLiteral("尚未保存"));
    EXPECT_TRUE(child<QLabel>("error")->isVisible());
    EXPECT_EQ(child<QLabel>("error")->text(), store->error());
    EXPECT_EQ(store->note(selected)->title, QStringLiteral("kept"));
    EXPECT_EQ(child<QLineEdit>("title")->text(), QStringLiteral("kept"));
}

TEST_F(NotesPanelTest, AReadOnlyWindowSaysWhatIsTypedWaitsUntilItMayWrite)
{
    show(alpha);
    QLabel *status = child<QLabel>("status");
    EXPECT_EQ(status->text(), QStringLiteral("自动保存 · 仅本机"));
    const int oneLine = status->sizeHint().height();
    HeldDataFolder other(QFileInfo(notesFile()).absolutePath());
    EXPECT_EQ(status->text(), QStringLiteral("暂存 · 可写入时保存"));
    EXPECT_EQ(status->sizeHint().height(), oneLine); // as short as the usual word
    child<QPushButton>("createHere")->click();
    QTest::keyClicks(child<QLineEdit>("title"), QStringLiteral("kept"));
    view->hide();
    view->show();
    EXPECT_FALSE(fileBytes().contains("kept"));
    EXPECT_EQ(status->text(), QStringLiteral("暂存 · 可写入时保存"));
    EXPECT_TRUE(child<QLabel>("error")->isHidden());

    other.otherQuits();
    ASSERT_TRUE(platform::DataFolderAccess::shared().retry());
    EXPECT_TRUE(fileBytes().contains("kept"));
    EXPECT_EQ(status->text(), QStringLiteral("自动保存 · 仅本机"));
}

} // namespace folvan::notesview::test
