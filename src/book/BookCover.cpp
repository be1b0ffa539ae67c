#include "book/BookCover.h"

#include "book/BookResourceHandler.h"
#include "platform/BookSettings.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace folvan::book {

namespace {

// The pages shown with `page`: as the book page's spreadOf.
std::vector<int> spreadOf(int page, int count, bool single)
{
    if (count <= 0)
        return {};
    const int p = std::clamp(page, 0, count - 1);
    if (single || p == 0)
        return {p};
    const int first = p % 2 == 1 ? p : p - 1;
    return first + 1 < count ? std::vector<int>{first, first + 1} : std::vector<int>{first};
}

} // namespace

SpreadPlacement SpreadPlacement::of(QSizeF view, double aspect, platform::BookLayout layout, double zoom, int page,
                                    int count, double pixelRatio)
{
    SpreadPlacement placement;
    const double margin = 24;
    const bool single = layout == platform::BookLayout::Single;
    const double fitWidth = std::max(50.0, (view.width() - 2 * margin) / (single ? 1 : 2));
    const double fitHeight = std::max(50.0, view.height() - 2 * margin);
    const double width = std::min(fitWidth, fitHeight / aspect) * (std::isfinite(zoom) && zoom > 0 ? zoom : 1);
    placement.pageSize = QSizeF(std::floor(width), std::floor(width * aspect));
    const double device = std::max(placement.pageSize.width(), placement.pageSize.height()) * (pixelRatio > 0 ? pixelRatio : 1);
    placement.edge = std::clamp(int(std::ceil(device / 200)) * 200, 600, 4096);

    // One page across in the single layout and for a one-page paper; the book in the
    // middle of the view (a larger book is first scrolled to its middle).
    const int across = single || count <= 1 ? 1 : 2;
    const QSizeF book(placement.pageSize.width() * across, placement.pageSize.height());
    placement.book = QRectF(QPointF((view.width() - book.width()) / 2, (view.height() - book.height()) / 2), book);
    const std::vector<int> shown = spreadOf(page, count, across == 1);
    const QSizeF sheet = placement.pageSize;
    const QRectF left(placement.book.topLeft(), sheet);
    const QRectF right = across == 1 ? left : left.translated(sheet.width(), 0);
    if (shown.size() == 2) {
        placement.sheets = {{shown[0], left}, {shown[1], right}};
    } else if (shown.size() == 1) {
        // Alone: the cover on the right, the last page on the left.
        const bool last = shown[0] == count - 1 && shown[0] != 0;
        placement.sheets = {{shown[0], last ? left : right}};
    }
    return placement;
}

QTransform SpreadPlacement::tilt(QSizeF view, QSizeF book, double degrees)
{
    const double angle = platform::booksetting::angle.held(degrees);
    if (angle == 0)
        return {};
    const double radians = angle * std::numbers::pi / 180.0;
    const double distance = std::max({view.width(), view.height(), 1.0});
    // Fitted into the view's margin, as the page fits it (tiltFit).
    double scale = 1;
    double shift = 0;
    if (book.width() > 0 && book.height() > 0) {
        const double margin = 24;
        const double lean = book.height() / 2 * std::sin(radians) / distance;
        const double bottom = book.height() / 2 / (1 - lean);
        const double top = -book.height() / 2 / (1 + lean);
        const double widest = book.width() / 2 * std::max(1 / (1 - lean), 1 / (1 + lean));
        scale = std::min({1.0, std::max(1.0, view.width() / 2 - margin) / widest,
                          std::max(1.0, view.height() - 2 * margin) / (bottom - top)});
        shift = -scale * (bottom + top) / 2;
    }
    QTransform transform;
    transform.translate(view.width() / 2, view.height() / 2 + shift);
    transform.scale(scale, scale / std::cos(radians));
    transform = QTransform(1, 0, 0, 0, std::cos(radians), -std::sin(radians) / distance, 0, 0, 1) * transform;
    transform.translate(-view.width() / 2, -view.height() / 2);
    return transform;
}

BookCover::BookCover(BookResourceHandler *resources, QWidget *parent) : QWidget(parent), m_resources(resources)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
}

void BookCover::start(const QString &token, int page, int count, double aspect, const Look &look)
{
    if (m_finished)
        return;
    for (quint64 id : m_requests)
        m_resources->stop(id);
    m_requests.clear();
    m_images.clear();
    m_token = token;
    m_page = page;
    m_count = count;
    m_aspect = aspect;
    m_look = look;
    const SpreadPlacement placement =
        SpreadPlacement::of(size(), aspect, look.layout, look.zoom, page, count, devicePixelRatioF());
    for (const auto &[shown, sheet] : placement.sheets) {
        const QUrl url(QStringLiteral("folvan-book://local/page/%1/%2.png?edge=%3").arg(token).arg(shown).arg(placement.edge));
        m_requests.push_back(m_resources->start(url, [this, shown = shown](const localweb::LocalReply &answer) {
            if (!answer || m_finished)
                return;
            QImage image;
            if (image.loadFromData(answer->data, "PNG")) {
                m_images[shown] = std::move(image);
                update();
            }
        }));
    }
    show();
    raise();
}

void BookCover::setWallpaper(const QImage &image, QRectF place)
{
    m_wallpaper = image;
    m_wallpaperPlace = place;
    update();
}

void BookCover::finish()
{
    m_finished = true;
    for (quint64 id : m_requests)
        m_resources->stop(id);
    m_requests.clear();
    m_images.clear();
    hide();
}

bool BookCover::complete() const
{
    const SpreadPlacement placement =
        SpreadPlacement::of(size(), m_aspect, m_look.layout, m_look.zoom, m_page, m_count, devicePixelRatioF());
    return !placement.sheets.empty() && std::all_of(placement.sheets.begin(), placement.sheets.end(),
                                                    [&](const auto &sheet) { return m_images.count(sheet.first); });
}

void BookCover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_wallpaper.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(m_wallpaperPlace, m_wallpaper);
    }
    const SpreadPlacement placement =
        SpreadPlacement::of(size(), m_aspect, m_look.layout, m_look.zoom, m_page, m_count, devicePixelRatioF());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF unzoomed =
        SpreadPlacement::of(size(), m_aspect, m_look.layout, 1, m_page, m_count, devicePixelRatioF()).book.size();
    painter.setTransform(SpreadPlacement::tilt(size(), unzoomed, m_look.angle));
    const platform::BookSetting &paperWarmth = platform::booksetting::warmth;
    const double warmth =
        std::clamp(std::isfinite(m_look.warmth) ? m_look.warmth : 0.0, paperWarmth.lowest, paperWarmth.highest) * 0.35;
    for (const auto &[page, sheet] : placement.sheets) {
        painter.fillRect(sheet, Qt::white);
        const auto found = m_images.find(page);
        if (found == m_images.end())
            continue;
        // The raster fitted into its sheet, as the page's object-fit does.
        QSizeF fitted = QSizeF(found->second.size()).scaled(sheet.size(), Qt::KeepAspectRatio);
        const QRectF target(sheet.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
        painter.drawImage(target, found->second);
        if (warmth > 0) {
            painter.save();
            painter.setCompositionMode(QPainter::CompositionMode_Multiply);
            painter.setOpacity(warmth);
            painter.fillRect(sheet, QColor(255, 214, 150));
            painter.restore();
        }
    }
    if (!m_painted && complete()) {
        m_painted = true;
        emit spreadPainted();
    }
}

} // namespace folvan::book
