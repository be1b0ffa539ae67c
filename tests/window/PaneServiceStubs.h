#pragma once

// What a pane takes from the application, for tests that make panes
// without it: a plain widget where the book view goes (no web engine), the
// real reflow view, and help and first-run guide overlays made of one button
// for each of their actions.

#include "window/PaneReadingViews.h"
#include "window/PaneServices.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <utility>
#include <vector>

namespace folvan::window::test {

// An overlay with a button for each (text, action).
inline QWidget *stubOverlay(std::vector<std::pair<QString, std::function<void()>>> actions)
{
    auto *overlay = new QWidget;
    auto *column = new QVBoxLayout(overlay);
    for (auto &[text, action] : actions) {
        auto *button = new QPushButton(text, overlay);
        QObject::connect(button, &QPushButton::clicked, overlay, std::move(action));
        column->addWidget(button);
    }
    return overlay;
}

inline PaneServices stubPaneServices()
{
    PaneServices services;
    services.bookView = [](ContentView *, QWidget *parent) { return new QWidget(parent); };
    services.reflowView = makePaneReflowView;
    services.shortcutsHelp = [](std::function<void()> close, std::function<void()> replay) {
        return stubOverlay({{QStringLiteral("重新查看入门引导"), std::move(replay)}, {QStringLiteral("关闭"), std::move(close)}});
    };
    services.onboarding = [](std::function<void()> finish) {
        return stubOverlay({{QStringLiteral("关闭"), std::move(finish)}});
    };
    return services;
}

} // namespace folvan::window::test
