// The two headers: which controls are enabled with and without a paper,
// their titles, tooltips and labels, the switches' tints, renaming from the
// title, and the active-pane marker of the split header.

#include "PaneTestSupport.h"

#include "window/PaneControls.h"
#include "window/PaneErrorLine.h"
#include "window/PaneLayout.h"
#include "window/PanePanels.h"
#include "window/PaneRadio.h"
#include "window/RenameField.h"
#include "window/SingleHeader.h"
#include "window/SplitHeader.h"

#include <QTest>

namespace folvan::window::test {

namespace {

class FakeRadio : public PaneRadio {
public:
    bool isPlaying() const override { return playing; }
    void toggle() override
    {
        playing = !playing;
        error.clear();
        emit streamErrorChanged();
        emit isPlayingChanged(playing);
    }
    QString streamError() const override { return error; }
    void fail(const QString &text)
    {
        error = text;
        emit streamErrorChanged();
    }
    bool playing = false;
    QString error;
};

class PaneHeadersTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        pane->resize(1200, 800);
    }
    SingleHeader &single() { return *pane->paneLayout()->singleHeader(); }
    SplitHeader &split() { return *pane->paneLayout()->splitHeader(); }
    void openPaper(const QString &name = QStringLiteral("Paper.pdf"), int pages = 10)
    {
        ASSERT_TRUE(openAndWait(*pane, paper(name, pages)));
    }
};

} // namespace

TEST_F(PaneHeadersTest, SingleHeaderWithoutAPaperOffersOnlyWhatNeedsNoPaper)
{
    SingleHeader &header = single();
    EXPECT_EQ(header.titleButton->title(), QStringLiteral("Folvan"));
    EXPECT_EQ(header.titleButton->accessibleName(), QStringLiteral("Folvan"));
    EXPECT_EQ(header.titleButton->toolTip(), pane::PaneController::kEmptyTitle);
    EXPECT_FALSE(header.titleButton->isEnabled());
    for (PaneButton *off : {header.renameButton, header.moveButton, header.revealButton, header.externalButton,
                            header.trashButton, header.closeButton, header.reflowButton, header.searchButton,
                            header.outlineButton})
        EXPECT_FALSE(off->isEnabled()) << off->accessibleName().toStdString();
    for (PaneButton *on : {header.openButton, header.dailyPaperButton, header.comparisonButton, header.notesButton,
                           header.scholarButton, header.radioButton, header.helpButton})
        EXPECT_TRUE(on->isEnabled()) << on->toolTip().toStdString();
}

TEST_F(PaneHeadersTest, SingleHeaderWithAPaperShowsItsNameWithoutTheExtension)
{
    openPaper();
    SingleHeader &header = single();
    EXPECT_EQ(header.titleButton->title(), QStringLiteral("Paper"));
    EXPECT_EQ(header.titleButton->toolTip(), QStringLiteral("Paper"));
    EXPECT_EQ(header.titleButton->accessibleName(), QStringLiteral("重命名论文：Paper.pdf"));
    for (PaneButton *button : {header.renameButton, header.moveButton, header.trashButton, header.closeButton,
                               header.reflowButton, header.searchButton, header.outlineButton})
        EXPECT_TRUE(button->isEnabled());

    pane->controller()->closePDF();
    EXPECT_EQ(header.titleButton->title(), QStringLiteral("Folvan"));
    EXPECT_EQ(header.titleButton->toolTip(), pane::PaneController::kEmptyTitle);
    EXPECT_FALSE(header.closeButton->isEnabled());
}

TEST_F(PaneHeadersTest, ReflowButtonChangesItsLabelAndTintButItsTooltipOnlyInTheSingleHeader)
{
    openPaper();
    PaneButton *reflow = single().reflowButton;
    EXPECT_EQ(reflow->accessibleName(), QStringLiteral("开启 PDF 文字重排"));
    EXPECT_TRUE(reflow->toolTip().startsWith(QStringLiteral("本机重排段落、标题与表格（")));
    EXPECT_FALSE(reflow->isTinted());
    reflow->click();
    EXPECT_TRUE(pane->controller()->reflowMode());
    EXPECT_TRUE(reflow->isTinted());
    EXPECT_EQ(reflow->accessibleName(), QStringLiteral("关闭重排，返回原版 PDF"));
    EXPECT_TRUE(reflow->toolTip().startsWith(QStringLiteral("返回原版 PDF（")));

    const QString splitTip = split().reflowButton->toolTip();
    EXPECT_EQ(split().reflowButton->accessibleName(), QStringLiteral("关闭重排，返回原版 PDF"));
    pane->controller()->toggleReflow();
    EXPECT_EQ(split().reflowButton->toolTip(), splitTip);
    EXPECT_EQ(split().reflowButton->accessibleName(), QStringLiteral("开启 PDF 文字重排"));
}

TEST_F(PaneHeadersTest, SwitchTintsFollowTheirFlagsWhoeverSetsThem)
{
    openPaper();
    pane->controller()->findInPDF();
    EXPECT_TRUE(single().searchButton->isTinted());
    EXPECT_TRUE(split().searchButton->isTinted());
    pane->controller()->closeSearch();
    EXPECT_FALSE(single().searchButton->isTinted());

    single().outlineButton->click();
    EXPECT_TRUE(pane->controller()->showOutline());
    EXPECT_TRUE(single().outlineButton->isTinted());
    single().notesButton->click();
    single().scholarButton->click();
    EXPECT_TRUE(pane->controller()->showNotes());
    EXPECT_TRUE(pane->controller()->showGG());
    EXPECT_TRUE(single().scholarButton->isTinted());
    single().outlineButton->click();
    EXPECT_FALSE(pane->controller()->showOutline());
}

TEST_F(PaneHeadersTest, RadioButtonFollowsTheSharedRadioInBothHeaders)
{
    FakeRadio radio;
    pane->setRadio(&radio);
    EXPECT_EQ(single().radioButton->symbol(), QStringLiteral("radio"));
    single().radioButton->click();
    EXPECT_TRUE(radio.playing);
    EXPECT_EQ(single().radioButton->symbol(), QStringLiteral("radio.fill"));
    EXPECT_TRUE(single().radioButton->isTinted());
    EXPECT_EQ(split().radioButton->symbol(), QStringLiteral("radio.fill"));
    EXPECT_EQ(single().radioButton->accessibleName(), single().radioButton->toolTip());
    radio.toggle();
    EXPECT_EQ(split().radioButton->symbol(), QStringLiteral("radio"));
    EXPECT_FALSE(single().radioButton->isTinted());
    pane->setRadio(nullptr);
}

// A stream that cannot be reached leaves the switch on, and the pane's
// error line says so until the next switch.
TEST_F(PaneHeadersTest, ARadioStreamThatCannotBeReachedIsToldInTheErrorLine)
{
    pane->show();
    FakeRadio radio;
    pane->setRadio(&radio);
    PaneErrorLine *line = pane->paneLayout()->errorLine();
    single().radioButton->click();
    radio.fail(QStringLiteral("Connection refused"));
    ASSERT_TRUE(waitFor([&] { return line->isVisible(); }));
    EXPECT_EQ(line->errors(), QStringList{QStringLiteral("无法连接广播流：Connection refused")});
    EXPECT_EQ(single().radioButton->symbol(), QStringLiteral("radio.fill"));
    single().radioButton->click();
    EXPECT_TRUE(waitFor([&] { return !line->isVisible(); }));
    EXPECT_TRUE(line->errors().isEmpty());
    pane->setRadio(nullptr);
}

TEST_F(PaneHeadersTest, HeaderButtonsRunThePanesOperations)
{
    int comparisons = 0;
    pane->controller()->setToggleComparison([&] { ++comparisons; });
    single().comparisonButton->click();
    split().closeComparisonButton->click();
    EXPECT_EQ(comparisons, 2);
    single().helpButton->click();
    EXPECT_TRUE(pane->controller()->showShortcuts());

    chooser->answers.push_back(QUrl::fromLocalFile(paper(QStringLiteral("chosen.pdf"), 2)));
    single().openButton->click();
    EXPECT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocument() != nullptr; }));
    single().trashButton->click();
    EXPECT_TRUE(pane->controller()->showDeleteConfirmation() || presented->confirmations == 1);
}

TEST_F(PaneHeadersTest, ReturnInTheRenameFieldRenamesAndEscapeLeavesWithoutRenaming)
{
    pane->show();
    openPaper();
    const QString original = pane->viewModel()->pdfDocumentURL().toLocalFile();
    single().titleButton->click();
    ASSERT_TRUE(pane->controller()->isEditing());
    EXPECT_EQ(pane->controller()->editableFileName(), QStringLiteral("Paper"));
    RenameField *field = single().renameField;
    EXPECT_TRUE(waitFor([&] { return field->isVisible(); }));

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(pane->controller()->isEditing());
    EXPECT_FALSE(pane->controller()->filenameFocused());
    EXPECT_TRUE(QFileInfo::exists(original));
    EXPECT_EQ(single().titleButton->title(), QStringLiteral("Paper"));

    pane->controller()->beginRename();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Renamed"));
    EXPECT_EQ(pane->controller()->editableFileName(), QStringLiteral("Renamed"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(pane->controller()->isEditing());
    EXPECT_TRUE(waitFor([&] { return !QFileInfo::exists(original); }));
    EXPECT_EQ(QFileInfo(pane->viewModel()->pdfDocumentURL().toLocalFile()).fileName(), QStringLiteral("Renamed.pdf"));
    EXPECT_EQ(single().titleButton->title(), QStringLiteral("Renamed"));
}

// However a rename ends, in either header, over the page or the book view,
// the keys go to the reading view, not to the name back in the field's place.
TEST_F(PaneHeadersTest, TheReadingViewHasTheKeysAfterARenameEnds)
{
    pane->show();
    openPaper(QStringLiteral("Keys.pdf"));
    int n = 0;
    for (const bool book : {false, true})
        for (const bool split : {false, true})
            for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
                SCOPED_TRACE(QStringLiteral("book %1 split %2 key %3").arg(book).arg(split).arg(key).toStdString());
                pane->controller()->readingModeChosen(book);
                pane->controller()->setIsSplit(split);
                ASSERT_TRUE(waitFor([&] { return pane->focusWidget() == pane->paneLayout()->readerView(); }));
                (split ? static_cast<QAbstractButton *>(this->split().fileNameButton) : single().titleButton)->click();
                RenameField *field = split ? this->split().renameField : single().renameField;
                ASSERT_TRUE(waitFor([&] { return field->hasFocus(); }));
                field->setText(QStringLiteral("Keys %1").arg(++n));
                QTest::keyClick(field, key);
                waitForIdle(); // (a renamed paper's page view is made anew)
                EXPECT_EQ(pane->focusWidget(), pane->paneLayout()->readerView());
            }
}

TEST_F(PaneHeadersTest, SplitHeaderNamesThePaneAndMarksTheActiveOne)
{
    pane->controller()->setIsSplit(true);
    pane->controller()->setIsActive(false);
    SplitHeader &header = split();
    EXPECT_EQ(header.paneWord(), QStringLiteral("左侧"));
    EXPECT_EQ(header.paneButton->accessibleName(), QStringLiteral("切换到左侧阅读区"));
    EXPECT_EQ(header.paneButton->toolTip(), QStringLiteral("快捷键作用于当前阅读区"));
    EXPECT_EQ(header.fileNameButton->title(), QStringLiteral("打开 PDF"));
    EXPECT_EQ(header.fileNameButton->toolTip(), pane::PaneController::kEmptyTitle);
    EXPECT_FALSE(header.fileNameButton->isEnabled());

    int activations = 0;
    pane->controller()->setActivate([&] { ++activations; });
    header.paneButton->click();
    EXPECT_EQ(activations, 1);

    // The bottom rule is drawn in the accent colour only while active.
    header.resize(600, header.sizeHint().height());
    const auto ruleColor = [&] {
        const QImage image = header.grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() - 1);
    };
    const QColor inactive = ruleColor();
    pane->controller()->setIsActive(true);
    const QColor active = ruleColor();
    EXPECT_NE(active, inactive);
    EXPECT_GT(active.blue() - active.red(), inactive.blue() - inactive.red());

    auto reference = makePane(pane::ReaderPane::reference);
    reference->controller()->setIsSplit(true);
    SplitHeader &other = *reference->paneLayout()->splitHeader();
    EXPECT_EQ(other.paneWord().toUtf8().size(), 6);
    EXPECT_NE(other.paneWord(), header.paneWord());
    EXPECT_EQ(other.paneButton->accessibleName(), QStringLiteral("切换到右侧阅读区"));
}

TEST_F(PaneHeadersTest, SplitHeaderFileNameButtonAndEnableRules)
{
    pane->controller()->setIsSplit(true);
    openPaper();
    SplitHeader &header = split();
    EXPECT_EQ(header.fileNameButton->title(), QStringLiteral("Paper"));
    EXPECT_EQ(header.fileNameButton->toolTip(), QStringLiteral("Paper.pdf"));
    EXPECT_EQ(header.fileNameButton->accessibleName(), QStringLiteral("重命名论文：Paper.pdf"));
    for (PaneButton *button : {header.renameButton, header.moveButton, header.revealButton, header.externalButton,
                               header.trashButton, header.closeButton, header.reflowButton, header.searchButton,
                               header.outlineButton})
        EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(header.helpButton->toolTip().toUtf8().size(), 12);
    pane->controller()->closePDF();
    for (PaneButton *button : {header.renameButton, header.closeButton, header.outlineButton})
        EXPECT_FALSE(button->isEnabled());
    for (PaneButton *button : {header.openButton, header.dailyPaperButton, header.notesButton, header.scholarButton,
                               header.radioButton, header.helpButton, header.closeComparisonButton})
        EXPECT_TRUE(button->isEnabled());
}

TEST_F(PaneHeadersTest, SplitHeaderPanelsOpenAsPopoversAndClosingOneClearsItsFlag)
{
    pane->controller()->setIsSplit(true);
    pane->show();
    openPaper();
    split().outlineButton->click();
    EXPECT_TRUE(pane->controller()->showOutline());
    ASSERT_TRUE(waitFor([&] { return split().outlinePopover->isVisible(); }));
    // In the comparison layout no side panel opens in the pane itself.
    EXPECT_EQ(pane->paneLayout()->outlinePanel(), nullptr);
    split().outlinePopover->close();
    EXPECT_FALSE(pane->controller()->showOutline());

    pane->controller()->panelToggled(pane::PanePanel::scholar);
    ASSERT_TRUE(waitFor([&] { return split().scholarPopover->isVisible(); }));
    EXPECT_EQ(pane->paneLayout()->scholarPanel(), nullptr);
    pane->controller()->panelClosed(pane::PanePanel::scholar);
    EXPECT_TRUE(waitFor([&] { return !split().scholarPopover->isVisible(); }));
}

} // namespace folvan::window::test
