#pragma once

// The first spread of a book drawn natively while its page starts: the
// page rasters the book page will show, taken from the same handler (so
// that the page then finds them in the cache), placed where the page
// places them. It stands over the web view until the page has drawn the
// spread itself; the web engine's start-up is then no longer waited for.

#include "platform/ReadingModes.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <QWidget>

#include <map>
#include <vector>

namespace folvan::book {

class BookResourceHandler;

// Where the book page puts a spread: the size of one page and the raster
// edge it asks for, the book's rectangle in the view and each shown page's
// sheet. The page's own rules (web/book/paper.js), in view points.
struct SpreadPlacement {
    QSizeF pageSize;
    int edge = 0;
    QRectF book;
    std::vector<std::pair<int, QRectF>> sheets;

    static SpreadPlacement of(QSizeF view, double aspect, platform::BookLayout layout, double zoom, int page, int count,
                              double pixelRatio);
    // The book page's tilt of a view of `view` points by `degrees` (held to
    // the book's tilt range): the view leans back about its horizontal middle, seen from one
    // view size in front, stretched upright by 1 / cos, as the page view
    // tilts its pages; then scaled down and moved so that the tilted `book`
    // (its size at zoom 1, in the middle of the view) keeps within the
    // view's margin.
    static QTransform tilt(QSizeF view, QSizeF book, double degrees);
};

class BookCover : public QWidget {
    Q_OBJECT
public:
    BookCover(BookResourceHandler *resources, QWidget *parent = nullptr);

    // The look of the spread: the pane's rotation, zoom and layout and the
    // paper's warmth.
    struct Look {
        double angle = 0;
        double zoom = 1;
        platform::BookLayout layout = platform::BookLayout::Spread;
        double warmth = 0;
    };
    // Shows the spread of `page` of the load `token` (a document of `count`
    // pages whose first page has `aspect`), asking the handler for its
    // rasters at the view's present size.
    void start(const QString &token, int page, int count, double aspect, const Look &look);
    // The pane's wallpaper behind the spread, over `place`; none when null.
    void setWallpaper(const QImage &image, QRectF place);
    // The page drew its own spread: the cover goes for good.
    void finish();
    bool finished() const { return m_finished; }
    // Every raster of the spread has arrived and is drawn.
    bool complete() const;

signals:
    // The whole spread was painted for the first time (emitted from the
    // paint, before the painted window reaches the screen).
    void spreadPainted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    BookResourceHandler *m_resources;
    QString m_token;
    int m_page = 0;
    int m_count = 0;
    double m_aspect = 1.414;
    Look m_look;
    std::map<int, QImage> m_images;
    QImage m_wallpaper;
    QRectF m_wallpaperPlace;
    std::vector<quint64> m_requests;
    bool m_finished = false;
    bool m_painted = false;
};

} // namespace folvan::book
