#include <gtest/gtest.h>

#include "app/QtTranslations.h"
#include "app/ReaderWindow.h"
#include "interface/HelpOverlays.h"
#include "interface/HelpText.h"
#include "interface/ReaderHelpContent.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"
#include "window/SingleHeader.h"
#include "window/PaneTestSupport.h"
#include "workspace/ReaderCommandRegistry.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellTestSupport.h"

#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <set>

using namespace folvan;
using interface::OnboardingView;
using interface::ShortcutsView;
using folvan::test::waitFor;

namespace {

class HelpOverlaysTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        readerWindow = std::make_unique<app::ReaderWindow>();
        readerWindow->show();
        readerWindow->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(readerWindow.get()));
    }
    void TearDown() override
    {
        readerWindow.reset();
        folvan::test::waitForIdle();
        ShellTest::TearDown();
    }
    window::ContentView *pane() const { return readerWindow->workspace()->primaryView(); }
    window::PaneLayout *layout() const { return pane()->paneLayout(); }

    std::unique_ptr<app::ReaderWindow> readerWindow;
};

TEST_F(HelpOverlaysTest, OnboardingShowsOnceAndIsRememberedWhenFinished)
{
    ASSERT_TRUE(waitFor([&] { return qobject_cast<OnboardingView *>(layout()->onboardingOverlay()); }));
    auto *guide = qobject_cast<OnboardingView *>(layout()->onboardingOverlay());
    EXPECT_FALSE(guide->backButton()->isVisible());
    EXPECT_EQ(guide->primaryButton()->text(), QStringLiteral("下一步"));
    // Neither a key nor a click beside the card ends it.
    QTest::keyClick(guide, Qt::Key_Escape);
    QTest::mouseClick(guide, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(pane()->controller()->showOnboarding());
    for (int i = 0; i < 5; ++i)
        guide->primaryButton()->click();
    guide->backButton()->click();
    guide->primaryButton()->click();
    EXPECT_EQ(guide->step(), 5);
    EXPECT_EQ(guide->primaryButton()->text(), QStringLiteral("开始阅读"));
    EXPECT_FALSE(platform::Preferences::shared().boolValue("hasSeenOnboarding"));
    guide->primaryButton()->click();
    EXPECT_FALSE(pane()->controller()->showOnboarding());
    ASSERT_TRUE(waitFor([&] { return !layout()->onboardingOverlay(); }));
    platform::Preferences::shared().sync();
    platform::Preferences::resetSharedForTesting();
    EXPECT_TRUE(platform::Preferences::shared().value("hasSeenOnboarding").toBool());
}

TEST_F(HelpOverlaysTest, HelpOpensByItsShortcutAndClosesByEscapeOrTheBackdrop)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    QTest::keyClick(readerWindow.get(), Qt::Key_Slash, Qt::ControlModifier);
    ASSERT_TRUE(pane()->controller()->showShortcuts());
    auto *help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(waitFor([&] { return help->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(pane()->controller()->showShortcuts());

    pane()->controller()->helpRequested();
    help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    QTest::mouseClick(help->panel(), Qt::LeftButton, {}, QPoint(30, 300));
    EXPECT_TRUE(pane()->controller()->showShortcuts());
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(pane()->controller()->showShortcuts());
}

TEST_F(HelpOverlaysTest, HelpListsEveryCommandWithAShortcutInThePlatformsWords)
{
    pane()->controller()->helpRequested();
    auto *help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    QStringList texts;
    for (QLabel *label : help->findChildren<QLabel *>())
        texts << label->text().remove(QChar(0x2060));
    const qsizetype section = texts.indexOf(QStringLiteral("菜单与快捷键"));
    ASSERT_GE(section, 0);
    QStringList listed, expected;
    for (qsizetype i = section + 2; i + 1 < texts.size(); i += 2)
        listed << texts[i] + QLatin1Char(' ') + texts[i + 1];
    for (const workspace::ReaderCommand &command : workspace::ReaderCommandRegistry::all())
        if (!command.shortcutLabel().isEmpty())
            expected << command.shortcutLabel() + QLatin1Char(' ') + command.title;
    EXPECT_EQ(listed, expected);
    EXPECT_LT(expected.size(), int(workspace::ReaderCommandRegistry::all().size()));
    for (const QString &text : texts)
        EXPECT_FALSE(text.contains(QChar(0x2318))) << text.toStdString();

    const auto native = [](QKeyCombination keys) { return QKeySequence(keys).toString(QKeySequence::NativeText); };
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("{Ctrl+Shift+B}")), native(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("{Ctrl++} / {Ctrl+-} 也可缩放")),
              native(Qt::CTRL | Qt::Key_Plus) + " / " + native(Qt::CTRL | Qt::Key_Minus) + " 也可缩放");
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("Enter / {Shift+Enter}")),
              "Enter / " + native(Qt::SHIFT | Qt::Key_Enter));
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("位于 {dataFolder}。")),
              QStringLiteral("位于 ") + QDir::toNativeSeparators(platform::folvanDataFolder()) + QStringLiteral("。"));
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("{Ctrl+2} {reveal}")),
              native(Qt::CTRL | Qt::Key_2) + QStringLiteral(" 在文件管理器中显示"));
}

// A help text whose placeholder is misspelt, left open, or written the old
// way in key symbols is refused where it is filled, rather than shown with
// its braces or its symbols.
TEST(HelpTextTest, AHelpTextThatCannotBeFilledIsRefused)
{
    for (const char *text : {"阅读记录位于 {datafolder}。", "{Ctrl+Shift+}", "{ctrl+f} 搜索", "{Shift+Ctrl+B}", "{}",
                             "按 {Ctrl+F 搜索", "按 Ctrl+F} 搜索", "按 ⌘F 搜索", "{Ctrl+O} 或 ⇧Enter"})
        EXPECT_THROW(interface::platformHelpText(QString::fromUtf8(text)), interface::HelpTextError) << text;
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("Shift＋滚轮，Esc 关闭")), QStringLiteral("Shift＋滚轮，Esc 关闭"));
}

// With Qt's Chinese key names installed, as in the reader, Enter is named
// alike everywhere, and a combination stays on one line of its column.
TEST_F(HelpOverlaysTest, KeysAreNamedAlikeAndACombinationNeverWraps)
{
    app::installQtChineseTranslations(*qApp);
    const QString shift = QKeySequence(Qt::SHIFT | Qt::Key_A).toString(QKeySequence::NativeText).chopped(1);
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("Enter / {Shift+Enter}")), "Enter / " + shift + "Enter");
    const QString body = OnboardingView::steps()[1].body;
    EXPECT_TRUE(body.contains(shift + "Enter")) << body.toStdString();

    pane()->controller()->helpRequested();
    auto *help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    int checked = 0;
    for (QLabel *label : help->findChildren<QLabel *>()) {
        const QString text = label->text();
        if (!label->wordWrap() || text.contains(QLatin1Char(' ')) || text.count(QLatin1Char('+')) < 3)
            continue;
        ++checked;
        const int lines = label->heightForWidth(label->width()) / label->fontMetrics().lineSpacing();
        EXPECT_EQ(lines, 1) << text.toStdString() << " in " << label->width();
    }
    EXPECT_GT(checked, 0);
}

// Every row's text starts at the one edge of the key column, at every
// interface text size, also beside the longest key combinations.
TEST_F(HelpOverlaysTest, TheKeyColumnIsAsWideAsItsLongestCombination)
{
    const QStringList titles = {QStringLiteral("打开"), QStringLiteral("上一个结果"), QStringLiteral("重做")};
    interface::ReaderHelpContent help({{QStringLiteral("Ctrl+O"), titles[0]},
                                       {QStringLiteral("Ctrl+Alt+Shift+G"), titles[1]},
                                       {QStringLiteral("Ctrl+Alt+Shift+Z"), titles[2]}});
    help.resize(560, 500);
    help.show();
    const QString groupText = interface::helpGroups().front().rows.front().text;
    for (const double size : {13.0, 15.0, 20.0}) {
        platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, size);
        help.widget()->layout()->activate();
        std::set<int> starts;
        int rows = 0;
        for (QLabel *label : help.widget()->findChildren<QLabel *>()) {
            if (!titles.contains(label->text()) && label->text().remove(QChar(0x2060)) != groupText)
                continue;
            ++rows;
            starts.insert(label->mapTo(help.widget(), QPoint(0, 0)).x());
            // The key beside it holds its whole combination on one line.
            auto *key = label->parentWidget()->findChildren<QLabel *>().front();
            ASSERT_NE(key, label);
            const QString combination = key->text().split(QLatin1Char(' ')).front();
            EXPECT_GE(key->width(), key->fontMetrics().horizontalAdvance(combination)) << size;
            EXPECT_GE(key->width(), 106);
        }
        EXPECT_EQ(rows, 4) << size;
        EXPECT_EQ(starts.size(), 1u) << size;
    }
}

// What Qt says while a test runs.
class QtMessages {
public:
    QtMessages() : m_previous(qInstallMessageHandler(&QtMessages::keep)) { said().clear(); }
    ~QtMessages() { qInstallMessageHandler(m_previous); }
    static QStringList &said()
    {
        static QStringList messages;
        return messages;
    }

private:
    static void keep(QtMsgType, const QMessageLogContext &, const QString &message) { said() << message; }
    QtMessageHandler m_previous;
};

// The guide and the help fade in and out without a word from Qt's
// painters, also in a frame drawn at the fade's full opacity (the first
// of a fade-out).
TEST_F(HelpOverlaysTest, OverlaysFadeWithoutPainterWarnings)
{
    ASSERT_TRUE(waitFor([&] { return qobject_cast<OnboardingView *>(layout()->onboardingOverlay()); }));
    auto *guide = qobject_cast<OnboardingView *>(layout()->onboardingOverlay());
    platform::ManualClock clock;
    QtMessages messages;
    readerWindow->repaint();
    clock.advance(1);
    for (int step = 0; step < 6; ++step) {
        guide->primaryButton()->click();
        readerWindow->repaint();
        clock.advance(0.1);
        readerWindow->repaint();
        clock.advance(1);
    }
    ASSERT_FALSE(pane()->controller()->showOnboarding());

    pane()->controller()->helpRequested();
    clock.advance(0.1);
    readerWindow->repaint();
    clock.advance(1);
    pane()->controller()->shortcutsHelpDismissed();
    readerWindow->repaint();
    clock.advance(0.1);
    readerWindow->repaint();
    clock.advance(1);
    EXPECT_TRUE(QtMessages::said().filter(QStringLiteral("painter"), Qt::CaseInsensitive).isEmpty())
        << QtMessages::said().join(QLatin1Char('\n')).toStdString();
}

// The guide's step change on the test clock: the old step fades and slides
// out to the left, the new one in from the right; dots and the primary
// button move to the step's colour.
TEST_F(HelpOverlaysTest, AStepChangeSlidesAndFadesAndRecolours)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    platform::ManualClock clock;
    OnboardingView guide([] {});
    guide.resize(600, 500);
    guide.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&guide));
    const QList<interface::OnboardStep> steps = OnboardingView::steps();
    const auto opacity = [](QWidget *widget) {
        const QVariant drawn = widget->property("opacity");
        return drawn.isValid() ? drawn.toDouble() : 1.0;
    };
    guide.primaryButton()->click();
    QWidget *leaving = guide.leavingStep();
    QWidget *arriving = guide.arrivingStep();
    ASSERT_NE(leaving, nullptr);
    ASSERT_NE(arriving, nullptr);
    clock.advance(0.001);
    EXPECT_GT(opacity(leaving), 0.9);
    EXPECT_LT(opacity(arriving), 0.1);
    EXPECT_NEAR(arriving->x(), 24, 1);

    clock.advance(0.08);
    EXPECT_GT(opacity(leaving), 0.05);
    EXPECT_LT(opacity(leaving), 0.95);
    EXPECT_LT(leaving->x(), 0);
    EXPECT_GT(arriving->x(), 0);
    EXPECT_LT(arriving->x(), 24);
    const QColor between = guide.primaryColor();
    EXPECT_NE(between, steps[0].color);
    EXPECT_NE(between, steps[1].color);

    clock.advance(1.0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(guide.leavingStep(), nullptr);
    EXPECT_EQ(guide.arrivingStep(), nullptr);
    EXPECT_EQ(guide.stepBlock()->x(), 0);
    EXPECT_EQ(guide.primaryColor(), steps[1].color);
    EXPECT_EQ(guide.shownDotColors()[1], steps[1].color);
    EXPECT_LT(guide.shownDotColors()[0].alphaF(), 0.5);
}

// "上一步" is drawn whole in the guide over the reader's window: its
// button holds the text's width and its last character is not cut.
TEST_F(HelpOverlaysTest, TheGuidesBackButtonHoldsItsWholeText)
{
    ASSERT_TRUE(waitFor([&] { return qobject_cast<OnboardingView *>(layout()->onboardingOverlay()); }));
    auto *guide = qobject_cast<OnboardingView *>(layout()->onboardingOverlay());
    guide->primaryButton()->click();
    ASSERT_TRUE(waitFor([&] { return guide->backButton()->isVisible(); }));
    QPushButton *back = guide->backButton();
    ASSERT_TRUE(back->isVisible());
    EXPECT_GE(back->width(), QFontMetrics(back->font()).boundingRect(back->text()).width());
    // No ink in the button's last columns: the text ends inside it.
    const QImage shot = back->grab().toImage();
    int inkAtEdge = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = shot.width() - int(2 * shot.devicePixelRatio()); x < shot.width(); ++x)
            if (qAlpha(shot.pixel(x, y)) > 60)
                ++inkAtEdge;
    EXPECT_EQ(inkAtEdge, 0);
}

// A step change draws nothing inside the card through an effect of its
// own: the overlay fades through one, and an effect inside it is not
// drawn reliably (over the book view, pixels of the old step stayed on
// the screen after the change). Once the change has run, the window shows
// the new step alone.
TEST_F(HelpOverlaysTest, AStepChangeLeavesNothingOfTheOldStepOnScreen)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    platform::ManualClock clock;
    OnboardingView guide([] {});
    guide.resize(600, 500);
    guide.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&guide));
    const auto effectsInCard = [&guide] {
        int effects = 0;
        for (QWidget *widget : guide.card()->findChildren<QWidget *>())
            effects += widget->graphicsEffect() != nullptr;
        return effects;
    };
    const auto onScreen = [&guide] {
        folvan::test::waitForIdle();
        return guide.screen()->grabWindow(guide.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    for (int step = 1; step < 6; ++step) {
        guide.primaryButton()->click();
        for (int i = 0; i < 20; ++i) {
            clock.advance(0.05);
            folvan::test::waitForIdle();
            if (i < 3) {
                EXPECT_EQ(effectsInCard(), 0) << "step " << step;
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QImage shown = onScreen();
        guide.repaint();
        EXPECT_EQ(shown, onScreen()) << "step " << step;
    }
}

// The secondary colour keeps its transparency on "上一步", and the body's
// lines stand 3 pixels apart.
TEST_F(HelpOverlaysTest, TheGuidesBackButtonIsGreyAndItsBodyLinesAreSpaced)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    OnboardingView guide([] {});
    guide.resize(600, 500);
    guide.show();
    guide.primaryButton()->click();
    // The text is drawn at the secondary colour's 60 % (the button itself
    // has no fill).
    const QImage back = guide.backButton()->grab().toImage();
    int strongest = 0;
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            strongest = std::max(strongest, qAlpha(back.pixel(x, y)));
    EXPECT_GT(strongest, 100);
    EXPECT_LT(strongest, 180);

    QLabel plain(OnboardingView::steps()[guide.step()].body);
    plain.setFont(guide.bodyLabel()->font());
    plain.setWordWrap(true);
    plain.setContentsMargins(24, 0, 24, 0);
    const int width = 380;
    const int lines = plain.heightForWidth(width) / plain.fontMetrics().lineSpacing();
    ASSERT_GE(lines, 2);
    EXPECT_GE(guide.bodyLabel()->heightForWidth(width), plain.heightForWidth(width) + 3 * (lines - 1) - 1);
}

// Ctrl+/ over the guide, then the guide finished with the mouse: the help
// under it hears Escape again.
TEST_F(HelpOverlaysTest, TheHelpHearsEscapeAfterTheGuideOverItCloses)
{
    pane()->controller()->onboardingReplayRequested();
    ASSERT_TRUE(waitFor([&] { return pane()->controller()->showOnboarding(); }));
    auto *guide = qobject_cast<OnboardingView *>(layout()->onboardingOverlay());
    ASSERT_NE(guide, nullptr);
    QTest::keyClick(readerWindow.get(), Qt::Key_Slash, Qt::ControlModifier);
    ASSERT_TRUE(pane()->controller()->showShortcuts());
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(guide->primaryButton(), Qt::LeftButton);
    ASSERT_FALSE(pane()->controller()->showOnboarding());
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() != nullptr; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(pane()->controller()->showShortcuts());
}

// The help fades in over the pane and out again, on the test clock.
TEST_F(HelpOverlaysTest, TheHelpFadesInAndOut)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    platform::ManualClock clock;
    pane()->controller()->helpRequested();
    QWidget *help = layout()->helpOverlay();
    ASSERT_NE(help, nullptr);
    const auto opacity = [](QWidget *widget) {
        auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
        return effect ? effect->opacity() : 1.0;
    };
    clock.advance(0.001);
    EXPECT_LT(opacity(help), 0.1);
    clock.advance(0.17);
    EXPECT_GT(opacity(help), 0.2);
    EXPECT_LT(opacity(help), 0.8);
    clock.advance(0.5);
    EXPECT_EQ(help->graphicsEffect(), nullptr);

    QPointer<QWidget> leaving(help);
    pane()->controller()->shortcutsHelpDismissed();
    EXPECT_EQ(layout()->helpOverlay(), nullptr);
    ASSERT_TRUE(leaving);
    EXPECT_TRUE(leaving->testAttribute(Qt::WA_TransparentForMouseEvents));
    clock.advance(0.17);
    EXPECT_GT(opacity(leaving), 0.2);
    EXPECT_LT(opacity(leaving), 0.8);
    clock.advance(0.5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(leaving);
}

} // namespace
