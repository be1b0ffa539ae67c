#pragma once

// The events that close a citation preview over a reading view, made as
// the reader makes them, for the page view and the book alike: each one
// closes the preview and still reaches its target.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <functional>

namespace folvan::test {

// A window `size` large with a toolbar's button at its top left (40 high)
// and an action with the shortcut Ctrl+J; the view goes below the button.
struct WindowWithToolbar {
    explicit WindowWithToolbar(QSize size)
    {
        window.resize(size);
        button = new QPushButton(QStringLiteral("工具"), &window);
        button->setGeometry(0, 0, 100, 40);
        shortcut = new QAction(&window);
        shortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
        window.addAction(shortcut);
    }
    QRect below() const { return QRect(0, 40, window.width(), window.height() - 40); }

    QWidget window;
    QPushButton *button;
    QAction *shortcut;
};

// `view` stands in `window`; `input` takes the view's keys and pointer.
// `dismissals` counts the preview's closings. A key and a scroll are given
// to the view as well, each checked by its caller.
inline void expectClicksKeysScrollsAndMovesOutCloseThePreview(QWidget *view, QWidget *input,
                                                              const WindowWithToolbar &window,
                                                              const std::function<int()> &dismissals)
{
    QPushButton *button = window.button;
    QAction *shortcut = window.shortcut;
    const auto closes = [&](const char *what, const std::function<void()> &send) {
        const int before = dismissals();
        send();
        EXPECT_GT(dismissals(), before) << what;
    };
    int clicked = 0;
    const auto clicks = QObject::connect(button, &QPushButton::clicked, [&] { ++clicked; });
    int triggered = 0;
    const auto triggers = QObject::connect(shortcut, &QAction::triggered, [&] { ++triggered; });

    closes("a click on the toolbar", [&] { QTest::mouseClick(button, Qt::LeftButton); });
    EXPECT_EQ(clicked, 1) << "the click did not reach its button";
    closes("a shortcut of the window", [&] { QTest::keyClick(input, Qt::Key_J, Qt::ControlModifier); });
    EXPECT_EQ(triggered, 1) << "the shortcut did not run";
    closes("a right click in the view", [&] { QTest::mouseClick(input, Qt::RightButton, {}, input->rect().center()); });
    closes("a move out of the view", [&] { QTest::mouseMove(button, button->rect().center()); });
    closes("the pointer leaving the view", [&] {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(view, &leave);
    });
    closes("a key", [&] { QTest::keyClick(input, Qt::Key_Down); });
    closes("a scroll", [&] {
        const QPointF at = input->rect().center();
        QWheelEvent wheel(at, input->mapToGlobal(at), QPoint(), QPoint(0, -360), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(input, &wheel);
    });
    QObject::disconnect(clicks);
    QObject::disconnect(triggers);
}

} // namespace folvan::test
