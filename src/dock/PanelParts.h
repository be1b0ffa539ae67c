#pragma once

// Small parts the dock's panels share.

#include <QString>

class QFrame;
class QToolButton;
class QWidget;

namespace folvan::dock {

// A tool button with a bundled symbol (may be empty) and a title (may be
// empty), shown as symbol, title or both; `help` is the tooltip and
// `label`, when given, the accessible name.
QToolButton *controlButton(const QString &symbol, const QString &title, const QString &help, const QString &label,
                           QWidget *parent);

// A thin horizontal rule between the groups of a panel.
QFrame *panelDivider(QWidget *parent);

} // namespace folvan::dock
