#include <gtest/gtest.h>

#include "localweb/LocalWebPage.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWebEngineView>
#include <QWheelEvent>

using folvan::localweb::WebViewInput;

// The reader's copy, undo and zoom keys and Ctrl+wheel are not the page's:
// the window's shortcuts get the keys, the reader's zoom the wheel.
TEST(WebViewInput, KeepsTheReadersKeysAndZoomFromThePage)
{
    QWebEngineView view;
    std::vector<double> steps;
    new WebViewInput(&view, [&](double delta, QPointF) { steps.push_back(delta); });
    view.setHtml(QStringLiteral("<p>text</p>"));
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(folvan::test::waitFor([&] { return view.focusProxy() != nullptr; }));
    QWidget *proxy = view.focusProxy();

    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Copy), QKeySequence(QKeySequence::Undo),
                                     QKeySequence(Qt::CTRL | Qt::Key_Equal)}) {
        const QKeyCombination combination = keys[0];
        QKeyEvent override(QEvent::ShortcutOverride, combination.key(), combination.keyboardModifiers());
        override.ignore(); // as the shortcut map sends it
        QApplication::sendEvent(proxy, &override);
        EXPECT_FALSE(override.isAccepted()) << keys.toString().toStdString();
    }

    QWheelEvent wheel(QPointF(10, 10), proxy->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(proxy, &wheel);
    QWheelEvent plain(QPointF(10, 10), proxy->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(proxy, &plain);
    EXPECT_EQ(steps, std::vector<double>{WebViewInput::wheelStep});
}
