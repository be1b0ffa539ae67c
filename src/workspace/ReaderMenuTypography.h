#pragma once

#include <QMetaObject>
#include <QObject>

#include <vector>

class QMenu;
class QMenuBar;
class QWidget;

namespace folvan::workspace {

// Keeps the menu bar's menus at the interface text size. Once started it
// re-fonts a menu when items are added to it or when it opens, and queues
// one pass over every window's menu bar after a preference change, when the
// application becomes active and after those menu events; any number of
// them before the pass runs cause one pass.
class ReaderMenuTypography : public QObject {
    Q_OBJECT
public:
    static ReaderMenuTypography &shared();

    ReaderMenuTypography();
    ~ReaderMenuTypography() override;

    // Begins keeping the menus in step; later calls do nothing.
    void start();

    // Gives `menu` and its submenus, depth first, the menu font at the
    // interface size; a menu that already has it is left alone.
    static void apply(QWidget *menu);
    // Queues one pass over the menu bars unless one is queued.
    void schedule();
    bool isScheduled() const { return m_scheduled; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void handle(QObject *sender);
    void pass();

    std::vector<QMetaObject::Connection> m_observers;
    bool m_filtering = false;
    bool m_scheduled = false;
};

// The root style of a window: the body font, following the interface text
// size, and the menus kept at the same size (ReaderMenuTypography).
void applyReaderInterfaceStyle(QWidget *root);

} // namespace folvan::workspace
