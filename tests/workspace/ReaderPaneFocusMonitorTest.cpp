#include <gtest/gtest.h>

#include "pdfview/PdfView.h"
#include "workspace/ReaderPaneFocusMonitor.h"
#include "support/TestEnv.h"
#include "support/UntypedObject.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>

using folvan::workspace::ReaderPaneFocusMonitor;

namespace {

// A window with two panes side by side; each pane holds a text field and a
// page view, and counts its activations.
class ReaderPaneFocusMonitorTest : public ::testing::Test {
protected:
    struct Pane {
        QWidget *widget = nullptr;
        QLineEdit *field = nullptr;
        folvan::pdfview::PdfView *reader = nullptr;
        ReaderPaneFocusMonitor *monitor = nullptr;
        int activations = 0;
    };

    void SetUp() override
    {
        window.resize(1000, 600);
        auto *layout = new QHBoxLayout(&window);
        for (Pane *pane : {&left, &right}) {
            pane->widget = new QWidget(&window);
            auto *column = new QVBoxLayout(pane->widget);
            column->addWidget(pane->field = new QLineEdit(pane->widget));
            column->addWidget(pane->reader = new folvan::pdfview::PdfView(pane->widget), 1);
            layout->addWidget(pane->widget);
            pane->monitor = new ReaderPaneFocusMonitor(pane->widget, [pane] { ++pane->activations; });
        }
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // Which panes an event activated: "L", "R", "LR" or "".
    QString activated()
    {
        const QString which = QString(left.activations ? "L" : "") + (right.activations ? "R" : "");
        left.activations = right.activations = 0;
        return which;
    }

    static void wheel(QWidget *target)
    {
        const QPointF local(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    static void gesture(QWidget *target, Qt::NativeGestureType type)
    {
        const QPointF local(target->width() / 2.0, target->height() / 2.0);
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, local, local,
                                  target->mapToGlobal(local), 0.1, QPointF(), 0);
        QApplication::sendEvent(target, &event);
    }

    QWidget window;
    Pane left, right;
};

TEST_F(ReaderPaneFocusMonitorTest, OnlyClicksScrollsAndPinchesInsideAPaneActivateIt)
{
    QTest::mouseClick(right.field, Qt::LeftButton);
    EXPECT_EQ(activated(), "R");
    QTest::mouseClick(left.reader->viewport(), Qt::RightButton);
    EXPECT_EQ(activated(), "L");
    wheel(right.reader->viewport());
    EXPECT_EQ(activated(), "R");
    gesture(left.reader->viewport(), Qt::ZoomNativeGesture);
    EXPECT_EQ(activated(), "L");

    QTest::mouseClick(right.field, Qt::MiddleButton);
    QTest::keyClick(right.field, Qt::Key_A);
    QTest::mouseMove(right.field);
    QTest::mouseRelease(right.field, Qt::LeftButton);
    gesture(right.reader->viewport(), Qt::RotateNativeGesture);
    QLineEdit otherWindow;
    otherWindow.show();
    QTest::mouseClick(&otherWindow, Qt::LeftButton);
    right.widget->hide();
    QTest::mouseClick(right.field, Qt::LeftButton);
    EXPECT_EQ(activated(), "");
}

// A web view hands its presses and scrolls on to the items of its scene,
// whose classes carry no type information: an item's events activate no
// pane of themselves (its widget's did), and the item is asked nothing.
TEST_F(ReaderPaneFocusMonitorTest, EventsOfObjectsWithoutTypeInformationActivateNothing)
{
    const folvan::test::UntypedObject item = folvan::test::makeUntypedObject();
    const QPointF local(20, 20);
    const QPointF global = left.reader->viewport()->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QWheelEvent scroll(local, global, QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(item.get(), &press);
    QApplication::sendEvent(item.get(), &scroll);
    EXPECT_EQ(activated(), "");
    QApplication::sendEvent(left.reader->viewport(), &press);
    EXPECT_EQ(activated(), "L");
}

TEST_F(ReaderPaneFocusMonitorTest, ANewTokenFocusesTheActivePanesOwnReaderOneTurnLater)
{
    left.field->setFocus();
    right.monitor->update(true, 1, [] {});
    EXPECT_EQ(window.focusWidget(), left.field);
    ASSERT_TRUE(folvan::test::waitFor([&] { return window.focusWidget() == right.reader; }));
    EXPECT_EQ(window.focusWidget(), right.reader);

    // The same token again, or a token seen while inactive, moves nothing.
    left.field->setFocus();
    right.monitor->update(true, 1, [] {});
    right.monitor->update(false, 2, [] {});
    right.monitor->update(true, 2, [] {});
    folvan::test::waitForIdle();
    EXPECT_EQ(window.focusWidget(), left.field);
    EXPECT_EQ(right.monitor->token(), 2);

    // Without a visible reader the focus stays; the other pane's reader is
    // never chosen.
    right.reader->hide();
    EXPECT_EQ(right.monitor->readerView(), nullptr);
    right.monitor->update(true, 3, [] {});
    folvan::test::waitForIdle();
    EXPECT_EQ(window.focusWidget(), left.field);
    EXPECT_EQ(left.monitor->readerView(), left.reader);
}

} // namespace
