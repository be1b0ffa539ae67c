#pragma once

// Widgets that float over a book view, such as the reading dock. Where one
// of them stood a moment ago and stands no longer (it folded up, moved or
// hid as the pointer came to it), a click meant for it would land on the
// book and turn a page: the book view asks here and lets such a click go.
// Main thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <map>
#include <vector>

namespace folvan::book {

class FloatingOverBook : public QObject {
public:
    // How long a place left keeps clicks from the book, in milliseconds.
    static constexpr qint64 keepMs = 600;

    // Follows `widget` (its place in its window, as far as its mask reaches)
    // for its life.
    static void follow(QWidget *widget);
    // Whether the global point `global` of `window` lies where a followed
    // widget of that window stood within the last keepMs and stands no
    // longer.
    static bool left(const QWidget *window, QPoint global);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FloatingOverBook(QObject *parent);
    static FloatingOverBook *instance();
    // Where `widget` stands now in its window: nowhere while hidden.
    static QRegion placeOf(const QWidget *widget);
    // Milliseconds on the reader's clock: the wall clock, or a test's
    // manual clock while there is one.
    qint64 nowMs() const;
    // Takes the widget's place anew; the part of the old one it left is
    // kept for a while.
    void notice(QWidget *widget, bool hiding);

    struct Left {
        QPointer<QWidget> window;
        QRegion place;
        qint64 at = 0;
    };
    QElapsedTimer m_clock;
    std::map<const QObject *, QRegion> m_places;
    std::vector<Left> m_left;
};

} // namespace folvan::book
