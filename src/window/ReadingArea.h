#pragma once

// The part of a pane that shows the open paper: the page view (tilted by
// the pane's angle and held to the reading width), or the book or reflow
// view in its place, with the reading dock over its lower right corner.

#include "dock/ReaderDock.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QVBoxLayout;

namespace folvan::window {

class ContentView;

class ReadingArea : public QWidget {
    Q_OBJECT
public:
    explicit ReadingArea(ContentView *pane, QWidget *parent = nullptr);

    enum class View { page, book, reflow };
    // The view the pane's state chooses: reflow, else book, else page.
    View chosenView() const;
    // The widget of chosenView(); null while the book view is not made yet.
    QWidget *chosenWidget() const;

    // The book view while the book is chosen and a paper is open, made by
    // the pane's services (bookView); the reflow view likewise (reflowView).
    QWidget *bookView() const { return m_bookView; }

    // The layout that holds the pane's page view.
    QVBoxLayout *pageSlotLayout() const { return m_pageLayout; }
    QWidget *pageSlot() const { return m_pageSlot; }
    QWidget *currentView() const;
    // The view that takes the keyboard while a paper shows: the page view,
    // the book view or the reflow view.
    QWidget *readingView() const;
    // The reflow view while reflow is chosen and a paper is open.
    QWidget *reflowView() const { return m_reflowView; }
    // The reading dock, while a paper is open in the page or book view (not
    // while the book view reports an error).
    dock::ReaderDock *dock() const { return m_dock; }
    bool dockShown() const;

    // The widest the chosen view may be; unlimited for reflow and "Auto".
    std::optional<double> viewWidthLimit() const;

public slots:
    void refresh();
    // Draws the page view with the pane's tilt.
    void applyTilt();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void placeViews();
    void scheduleTilt();
    // Makes the dock while it is to be shown, and removes it otherwise.
    void updateDock();
    dock::DockPane dockPane() const;
    // Makes the reflow view for the pane's paper, or removes it when reflow
    // is not chosen; another document or file makes a new one.
    void updateReflowView();
    // Makes the book view while the book is chosen and a paper is open, and
    // takes it away otherwise.
    void updateBookView();
    // Gives the keyboard to a view just made.
    void takeKeys(QWidget *view);
    // Whether the keyboard is with this area (its view or dock) or with
    // nobody.
    bool keysInArea() const;
    // Gives the keyboard to the view on screen once it is there, when the
    // view it replaced had it.
    void handKeysToNewView();

    QPointer<ContentView> m_pane;
    QWidget *m_holder;
    QWidget *m_current = nullptr;
    QWidget *m_pageSlot;
    QVBoxLayout *m_pageLayout;
    QWidget *m_reflow;
    QPointer<QWidget> m_reflowView;
    QString m_reflowIdentity;
    QPointer<QWidget> m_bookView;
    QPointer<dock::ReaderDock> m_dock;
    bool m_tiltScheduled = false;
    bool m_keysFollow = false;
};

} // namespace folvan::window
