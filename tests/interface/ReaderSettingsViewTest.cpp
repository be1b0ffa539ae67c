#include <gtest/gtest.h>

#include "dock/PaperPresetPicker.h"
#include "history/ReadingHistory.h"
#include "interface/ReaderSettingsView.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <QApplication>

#include <cmath>
#include <limits>

using namespace folvan;
using interface::ReaderSettingsView;
using platform::Preferences;

namespace {

class ReaderSettingsViewTest : public test::TempHomeTest {
protected:
    static Preferences &defaults() { return Preferences::shared(); }

    std::unique_ptr<ReaderSettingsView> makeView() { return std::make_unique<ReaderSettingsView>(interface::SettingsServices{}); }

    template <typename T>
    static T *named(QWidget *root, const QString &text)
    {
        for (T *widget : root->findChildren<T *>()) {
            if constexpr (std::is_same_v<T, QSlider>) {
                if (widget->accessibleName() == text)
                    return widget;
            } else if (widget->text() == text) {
                return widget;
            }
        }
        ADD_FAILURE() << "no control " << text.toStdString();
        return nullptr;
    }
    // The readouts or the pickers' choices of `keys`, by key.
    template <typename T>
    static QStringList shown(QWidget *root, const QStringList &keys)
    {
        QStringList texts;
        for (const QString &key : keys) {
            T *widget = root->findChild<T *>(key);
            if constexpr (std::is_same_v<T, QLabel>)
                texts << (widget ? widget->text() : QString());
            else
                texts << (widget ? widget->currentText() : QString());
        }
        return texts;
    }
};

TEST_F(ReaderSettingsViewTest, AnEmptyStoreShowsTheDefaultOfEveryKey)
{
    auto view = makeView();
    EXPECT_EQ(view->size(), QSize(640, 580));
    QStringList tabs;
    for (int i = 0; i < view->count(); ++i)
        tabs << view->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"阅读", "操作", "界面", "文件", "帮助"}));
    EXPECT_EQ(shown<QLabel>(view.get(), {"folvan.turnDuration", "folvan.wheelSensitivity", "folvan.interfaceTextSize",
                                         "folvan.noteTextSize", "folvan.referenceDelay", "folvan.toolsHideDelay"}),
              (QStringList{"2.1 秒", "1.0×", "15 pt", "15 pt", "0.35 秒", "10 秒"}));
    EXPECT_EQ(shown<QComboBox>(view.get(), {"folvan.defaultBookMode", "folvan.pageLayout", "folvan.wheelMode",
                                            "ggViewWidth", "pdfViewWidth", "replacementForColon"}),
              (QStringList{"翻书", "双页", "翻页", "紧凑", "适合窗口", "连字符 -"}));
    QStringList checked;
    for (QCheckBox *box : view->findChildren<QCheckBox *>())
        if (box->isChecked())
            checked << box->text();
    checked.sort();
    QStringList expected{"启动时继续上次阅读", "文内引用悬停预览", "合并连续空格"};
    expected.sort();
    EXPECT_EQ(checked, expected);
    EXPECT_EQ(named<QSlider>(view.get(), "纸张色温")->value(), 120);
    EXPECT_EQ(named<QSlider>(view.get(), "纸张纹理")->value(), 240);
    EXPECT_EQ(named<QSlider>(view.get(), "引用预览等待时间")->value(), 3);
    // Showing the defaults writes nothing.
    EXPECT_FALSE(defaults().contains("folvan.interfaceTextSize"));
    EXPECT_FALSE(defaults().contains("folvan.paperWarmth"));
}

TEST_F(ReaderSettingsViewTest, AStoredTextNamingNoValueShowsTheDefaultTheReaderUsesAndStays)
{
    const QStringList keys{"folvan.pageLayout", "folvan.wheelMode", "ggViewWidth", "pdfViewWidth"};
    for (const QString &key : keys)
        defaults().setValue(key, QStringLiteral("bogus"));
    auto view = makeView();
    EXPECT_EQ(shown<QComboBox>(view.get(), keys), (QStringList{"双页", "翻页", "紧凑", "适合窗口"}));
    for (const QString &key : keys)
        EXPECT_EQ(defaults().stringValue(key), QStringLiteral("bogus")) << key.toStdString();
}

TEST_F(ReaderSettingsViewTest, EveryControlWritesItsKeyWithItsTypeForTheNextStart)
{
    auto view = makeView();
    for (QCheckBox *box : view->findChildren<QCheckBox *>())
        box->click();
    for (QComboBox *picker : view->findChildren<QComboBox *>()) {
        picker->setCurrentIndex(picker->count() - 1);
        emit picker->activated(picker->count() - 1);
    }
    // Re-enable what the toggles and pickers just disabled, then move every
    // slider by one step from its lower end.
    defaults().setValue("folvan.wheelMode", QStringLiteral("turn"));
    for (QSlider *slider : view->findChildren<QSlider *>())
        slider->setValue(1);
    defaults().sync();
    view.reset();

    Preferences::resetSharedForTesting();
    int bound = 0;
    for (const platform::PreferenceKey &entry : Preferences::defaultsTable()) {
        const QString key = QString::fromLatin1(entry.key);
        if (bound == 25)
            break;
        ++bound;
        ASSERT_TRUE(defaults().contains(key)) << entry.key;
        const QMetaType::Type expected = entry.type == platform::PreferenceType::Bool ? QMetaType::Bool
                                         : entry.type == platform::PreferenceType::Double ? QMetaType::Double
                                                                                          : QMetaType::QString;
        EXPECT_EQ(defaults().value(key).typeId(), expected) << entry.key;
    }
    // Each step is written as its decimal reads.
    EXPECT_EQ(defaults().doubleValue("folvan.turnDuration"), 0.9);
    EXPECT_EQ(defaults().doubleValue("folvan.referenceDelay"), 0.25);
    EXPECT_EQ(defaults().doubleValue("folvan.interfaceTextSize"), 14.0);
    EXPECT_EQ(defaults().doubleValue("folvan.paperWarmth"), 0.001);
    EXPECT_EQ(defaults().stringValue("pdfViewWidth"), QStringLiteral("Auto"));
    EXPECT_EQ(defaults().stringValue("replacementForColon"), QStringLiteral("_"));
    EXPECT_FALSE(defaults().boolValue("collapseSpaces"));
    EXPECT_FALSE(defaults().boolValue("folvan.defaultBookMode"));
}

TEST_F(ReaderSettingsViewTest, AStoredValueOutOfRangeShowsClampedAndStaysUntilMoved)
{
    defaults().setValue("folvan.interfaceTextSize", 25.0);
    auto view = makeView();
    QSlider *size = named<QSlider>(view.get(), "界面与菜单字号");
    EXPECT_EQ(shown<QLabel>(view.get(), {"folvan.interfaceTextSize"})[0], QStringLiteral("25 pt"));
    EXPECT_EQ(size->value(), size->maximum());
    EXPECT_EQ(defaults().doubleValue("folvan.interfaceTextSize"), 25.0);
    // The window is as wide as the clamped size makes it.
    EXPECT_EQ(view->width(), 706);
    size->setValue(size->maximum() - 1);
    EXPECT_EQ(defaults().doubleValue("folvan.interfaceTextSize"), 19.0);
    EXPECT_EQ(view->width(), 688);

    const std::pair<double, int> widths[] = {
        {13, 640}, {16, 640}, {17, 652}, {20, 706}, {8, 640}, {std::numeric_limits<double>::infinity(), 640}};
    for (const auto &[stored, width] : widths) {
        defaults().setValue("folvan.interfaceTextSize", stored);
        EXPECT_EQ(view->width(), width) << stored;
    }
    EXPECT_EQ(shown<QLabel>(view.get(), {"folvan.interfaceTextSize"})[0], QStringLiteral("— pt"));
}

// Scrolling the form over a slider or a picker scrolls the form; the
// control takes the wheel only once it has the focus.
TEST_F(ReaderSettingsViewTest, TheWheelChangesAControlOnlyWhileItHasTheFocus)
{
    auto view = makeView();
    view->setFixedHeight(300);
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QSlider *warmth = named<QSlider>(view.get(), "纸张色温");
    auto *mode = view->findChild<QComboBox *>("folvan.defaultBookMode");
    ASSERT_TRUE(warmth && mode);
    view->setFocus(Qt::OtherFocusReason);
    ASSERT_FALSE(warmth->hasFocus() || mode->hasFocus()) << QApplication::focusWidget()->metaObject()->className();
    auto *form = qobject_cast<QScrollArea *>(view->currentWidget());
    ASSERT_TRUE(form);
    ASSERT_GT(form->verticalScrollBar()->maximum(), 0);
    auto notch = [](QWidget *target) {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };
    for (QWidget *control : {static_cast<QWidget *>(warmth), static_cast<QWidget *>(mode)}) {
        form->verticalScrollBar()->setValue(0);
        for (int i = 0; i < 3; ++i)
            notch(control);
        EXPECT_GT(form->verticalScrollBar()->value(), 0) << control->metaObject()->className();
    }
    EXPECT_FALSE(defaults().contains("folvan.paperWarmth"));
    EXPECT_FALSE(defaults().contains("folvan.defaultBookMode"));

    warmth->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(warmth->hasFocus());
    notch(warmth);
    EXPECT_TRUE(defaults().contains("folvan.paperWarmth"));
}

TEST_F(ReaderSettingsViewTest, ControlsFollowTheKeysThatEnableThem)
{
    auto view = makeView();
    QCheckBox *reverse = named<QCheckBox>(view.get(), "反转滚轮翻页方向");
    QSlider *sensitivity = named<QSlider>(view.get(), "滚轮翻页灵敏度");
    QSlider *duration = named<QSlider>(view.get(), "翻页时长");
    defaults().setValue("folvan.wheelMode", QStringLiteral("pan"));
    EXPECT_FALSE(reverse->isEnabled());
    EXPECT_FALSE(sensitivity->isEnabled());
    // A text that names no mode turns pages in the book, and the form says
    // so: its picker shows the default and the wheel's turn controls work.
    for (const char *mode : {"turn", "bogus", "Pan"}) {
        defaults().setValue("folvan.wheelMode", QString::fromLatin1(mode));
        EXPECT_TRUE(reverse->isEnabled()) << mode;
        EXPECT_TRUE(sensitivity->isEnabled()) << mode;
    }

    // The toggle of either tab turns the other on and stops the duration.
    QList<QCheckBox *> reduced;
    for (QCheckBox *box : view->findChildren<QCheckBox *>())
        if (box->text() == QStringLiteral("减少翻页动态"))
            reduced << box;
    ASSERT_EQ(reduced.size(), 2);
    reduced[0]->click();
    EXPECT_TRUE(reduced[1]->isChecked());
    EXPECT_FALSE(duration->isEnabled());
    named<QPushButton>(view.get(), "恢复默认翻页操作")->click();
    EXPECT_FALSE(reduced[0]->isChecked());
    EXPECT_TRUE(duration->isEnabled());
}

TEST_F(ReaderSettingsViewTest, ClearingTheRecentListGoesThroughTheConfirmationAndOnlyWhileThereIsOne)
{
    history::ReadingHistory &history = history::ReadingHistory::shared();
    int asked = 0;
    interface::SettingsServices services;
    services.clearHistory = [&](QWidget *) {
        ++asked;
        history.clear();
    };
    ReaderSettingsView view(services);
    QPushButton *clear = named<QPushButton>(&view, "清空最近阅读列表…");
    EXPECT_FALSE(clear->isEnabled());
    history.opened(path(QStringLiteral("paper.pdf")), history::DocumentReadingState{});
    ASSERT_TRUE(clear->isEnabled());
    clear->click();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(clear->isEnabled());
}

} // namespace

namespace {

// The reading tab shows the presets row of the reader's appearance panel.
TEST_F(ReaderSettingsViewTest, ThePaperPresetsAreTheAppearancePanelsRow)
{
    auto view = makeView();
    const auto pickers = view->findChildren<dock::PaperPresetPicker *>();
    ASSERT_EQ(pickers.size(), 1);
    named<QPushButton>(view.get(), "冷白")->click();
    EXPECT_DOUBLE_EQ(defaults().doubleValue("folvan.paperWarmth"), 0);
    EXPECT_DOUBLE_EQ(defaults().doubleValue("folvan.paperGrain"), 0.08);
    EXPECT_TRUE(pickers[0]->isTinted(0));
    EXPECT_EQ(named<QSlider>(view.get(), "纸张纹理")->value(), 80);
}

} // namespace
