#include <gtest/gtest.h>

#include "pdfview/PdfView.h"
#include "workspace/ReaderPaneFocusMonitor.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
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
            pane->field = new QLineEdit(pane->widget);
            pane->reader = new folvan::pdfview::PdfView(pane->widget);
            column->addWidget(pane->field);
            column->addWidget(pane->reader, 1);
            layout->addWidget(pane->widget);
            pane->monitor = new ReaderPaneFocusMonitor(pane->widget, [pane] { ++pane->activations; });
        }
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    static void wheel(QWidget *target)
    {
        const QPointF local(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    static void pinch(QWidget *target, Qt::NativeGestureType type)
    {
        const QPointF local(target->width() / 2.0, target->height() / 2.0);
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, local, local,
                                  target->mapToGlobal(local), 0.1, QPointF(), 0);
        QApplication::sendEvent(target, &event);
    }

    QWidget window;
    Pane left, right;
};

TEST_F(ReaderPaneFocusMonitorTest, ClicksScrollsAndPinchesInsideAPaneActivateIt)
{
    QTest::mouseClick(right.field, Qt::LeftButton);
    EXPECT_GT(right.activations, 0);
    EXPECT_EQ(left.activations, 0);

    right.activations = 0;
    QTest::mouseClick(left.reader->viewport(), Qt::RightButton);
    EXPECT_GT(left.activations, 0);
    EXPECT_EQ(right.activations, 0);

    left.activations = 0;
    wheel(right.reader->viewport());
    EXPECT_GT(right.activations, 0);
    right.activations = 0;
    pinch(left.reader->viewport(), Qt::ZoomNativeGesture);
    EXPECT_GT(left.activations, 0);
    EXPECT_EQ(right.activations, 0);
}

TEST_F(ReaderPaneFocusMonitorTest, OtherEventsWindowsAndHiddenPanesChangeNothing)
{
    QTest::mouseClick(right.field, Qt::MiddleButton);
    QTest::keyClick(right.field, Qt::Key_A);
    QTest::mouseMove(right.field);
    QTest::mouseRelease(right.field, Qt::LeftButton);
    pinch(right.reader->viewport(), Qt::RotateNativeGesture);
    EXPECT_EQ(right.activations, 0);

    QLineEdit other;
    other.show();
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_EQ(left.activations + right.activations, 0);

    right.widget->hide();
    QApplication::processEvents();
    QTest::mouseClick(right.field, Qt::LeftButton);
    EXPECT_EQ(right.activations, 0);
}

TEST_F(ReaderPaneFocusMonitorTest, ANewTokenFocusesTheActivePanesReaderOneTurnLater)
{
    left.field->setFocus();
    right.monitor->update(true, 1, [] {});
    EXPECT_EQ(window.focusWidget(), left.field);
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), right.reader);

    // The same token again moves nothing.
    left.field->setFocus();
    right.monitor->update(true, 1, [] {});
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), left.field);
}

TEST_F(ReaderPaneFocusMonitorTest, ATokenSeenWhileInactiveIsOnlyRecorded)
{
    left.field->setFocus();
    right.monitor->update(false, 2, [] {});
    QApplication::processEvents();
    EXPECT_EQ(right.monitor->token(), 2);
    right.monitor->update(true, 2, [] {});
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), left.field);
}

TEST_F(ReaderPaneFocusMonitorTest, APaneWithoutAVisibleReaderLeavesTheFocusAlone)
{
    right.reader->hide();
    left.field->setFocus();
    EXPECT_EQ(right.monitor->readerView(), nullptr);
    right.monitor->update(true, 5, [] {});
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), left.field);
    // The other pane's reader is never chosen.
    EXPECT_EQ(left.monitor->readerView(), left.reader);
}

} // namespace
