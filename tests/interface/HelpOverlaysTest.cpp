#include <gtest/gtest.h>

#include "app/ReaderWindow.h"
#include "interface/HelpOverlays.h"
#include "interface/HelpText.h"
#include "platform/Paths.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"
#include "window/PaneTestSupport.h"
#include "workspace/ReaderCommandRegistry.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellTestSupport.h"

#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace folvan;
using interface::OnboardingView;
using interface::ShortcutsView;
using window::test::waitUntil;

namespace {

class HelpOverlaysTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        readerWindow = std::make_unique<app::ReaderWindow>();
        readerWindow->workspace()->setPaneArguments({QStringLiteral("folvan")});
        readerWindow->show();
        readerWindow->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(readerWindow.get()));
    }
    void TearDown() override
    {
        readerWindow.reset();
        QApplication::processEvents();
        ShellTest::TearDown();
    }
    window::ContentView *pane() const { return readerWindow->workspace()->primaryView(); }
    window::PaneLayout *layout() const { return pane()->paneLayout(); }

    std::unique_ptr<app::ReaderWindow> readerWindow;
};

TEST_F(HelpOverlaysTest, OnboardingShowsOnceAndIsRememberedWhenFinished)
{
    ASSERT_TRUE(waitUntil([&] { return qobject_cast<OnboardingView *>(layout()->onboardingOverlay()); }));
    auto *guide = qobject_cast<OnboardingView *>(layout()->onboardingOverlay());
    EXPECT_FALSE(guide->backButton()->isVisible());
    EXPECT_EQ(guide->primaryButton()->text(), QStringLiteral("下一步"));
    // Neither a key nor a click beside the card ends it.
    QTest::keyClick(guide, Qt::Key_Escape);
    QTest::mouseClick(guide, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(pane()->showOnboarding());
    for (int i = 0; i < 5; ++i)
        guide->primaryButton()->click();
    guide->backButton()->click();
    guide->primaryButton()->click();
    EXPECT_EQ(guide->step(), 5);
    EXPECT_EQ(guide->primaryButton()->text(), QStringLiteral("开始阅读"));
    EXPECT_FALSE(platform::Preferences::shared().boolValue("hasSeenOnboarding"));
    guide->primaryButton()->click();
    EXPECT_FALSE(pane()->showOnboarding());
    ASSERT_TRUE(waitUntil([&] { return !layout()->onboardingOverlay(); }));
    platform::Preferences::shared().sync();
    platform::Preferences::resetSharedForTesting();
    EXPECT_TRUE(platform::Preferences::shared().value("hasSeenOnboarding").toBool());
}

TEST_F(HelpOverlaysTest, HelpOpensByItsShortcutAndClosesByEscapeOrTheBackdrop)
{
    platform::Preferences::shared().setValue("hasSeenOnboarding", true);
    QTest::keyClick(readerWindow.get(), Qt::Key_Slash, Qt::ControlModifier);
    ASSERT_TRUE(pane()->showShortcuts());
    auto *help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(waitUntil([&] { return help->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(pane()->showShortcuts());

    pane()->setShowShortcuts(true);
    help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    QTest::mouseClick(help->panel(), Qt::LeftButton, {}, QPoint(30, 300));
    EXPECT_TRUE(pane()->showShortcuts());
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(pane()->showShortcuts());
}

TEST_F(HelpOverlaysTest, HelpListsEveryCommandWithAShortcutInThePlatformsWords)
{
    pane()->setShowShortcuts(true);
    auto *help = qobject_cast<ShortcutsView *>(layout()->helpOverlay());
    ASSERT_NE(help, nullptr);
    QStringList texts;
    for (QLabel *label : help->findChildren<QLabel *>())
        texts << label->text().remove(QChar(0x200B));
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
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("⌘⇧B")), native(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("⌘+ / ⌘− 也可缩放")),
              native(Qt::CTRL | Qt::Key_Plus) + " / " + native(Qt::CTRL | Qt::Key_Minus) + " 也可缩放");
    EXPECT_EQ(interface::platformHelpText(QStringLiteral("Enter / ⇧Enter")),
              "Enter / " + native(Qt::SHIFT | Qt::Key_Enter));
    const QString saved = interface::platformHelpText(QStringLiteral("位于 ~/Library/Application Support/Folvan。"));
    EXPECT_TRUE(saved.endsWith(QStringLiteral("/Folvan。")));
    EXPECT_FALSE(saved.contains(QStringLiteral("Library")));
}

} // namespace
