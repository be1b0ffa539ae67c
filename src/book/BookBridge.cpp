// The book bridge: the texts of the calls into the page, their payloads,
// and the page's events.

#include "book/BookCoordinator.h"

#include "book/BookWire.h"
#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "model/PaperCoordinates.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/StoredJson.h"


#include <cmath>
#include <limits>

namespace folvan::book {

using localweb::BridgeJson;
using platform::utf8;
namespace k = wire::key;

namespace {

BridgeJson rowsOf(const std::vector<model::BookRow> &rows)
{
    BridgeJson list = BridgeJson::array();
    for (const model::BookRow &row : rows) {
        BridgeJson numbers = BridgeJson::array();
        // Whole numbers (the page index) as integers, as the page has them.
        for (double n : row)
            numbers.push_back(std::isfinite(n) && std::floor(n) == n && std::abs(n) < 0x1p53 ? BridgeJson(std::int64_t(n))
                                                                                           : BridgeJson(n));
        list.push_back(std::move(numbers));
    }
    return list;
}

// The member `key` of an object, or null.
const BridgeJson &member(const BridgeJson &body, const char *key)
{
    static const BridgeJson none;
    const auto it = body.find(key);
    return it == body.end() ? none : *it;
}

// A JSON number that is a whole signed 32-bit integer.
std::optional<int> wholeNumber(const BridgeJson &value)
{
    if (!value.is_number())
        return std::nullopt;
    const double n = value.get<double>();
    if (!std::isfinite(n) || std::floor(n) != n || n < std::numeric_limits<int>::min()
        || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(n);
}

std::optional<double> number(const BridgeJson &value)
{
    return value.is_number() ? std::optional<double>(value.get<double>()) : std::nullopt;
}

std::optional<QString> text(const BridgeJson &value)
{
    return value.is_string() ? std::optional<QString>(QString::fromStdString(value.get<std::string>())) : std::nullopt;
}

} // namespace

BridgeJson BookCoordinator::interactionSettings(const BookViewParameters &p)
{
    return {
        {k::turnDuration, platform::booksetting::turnDuration.held(p.turnDuration)},
        {k::wheelMode, utf8(platform::toText(p.wheelMode))},
        {k::wheelReverse, p.wheelReverse},
        {k::wheelSensitivity, platform::booksetting::wheelSensitivity.held(p.wheelSensitivity)},
    };
}

double BookCoordinator::aspect() const
{
    if (!m_document || m_document->pageCount() == 0)
        return engine::PageRaster::aspect(nullptr);
    const engine::PdfPage first = m_document->page(0);
    return engine::PageRaster::aspect(&first);
}

BridgeJson BookCoordinator::settingsPayload() const
{
    BridgeJson payload = interactionSettings(m_parameters);
    payload[k::angle] = m_parameters.angle;
    payload[k::zoom] = m_parameters.zoom;
    payload[k::layout] = utf8(platform::toText(m_parameters.layout));
    payload[k::warmth] = m_parameters.warmth;
    payload[k::grain] = m_parameters.grain;
    payload[k::reducedMotion] = m_parameters.reducedMotion;
    payload[k::selectionMode] = m_model && m_model->bookTextMode();
    return payload;
}

BridgeJson BookCoordinator::openPayload() const
{
    BridgeJson payload = settingsPayload();
    payload[k::token] = utf8(m_token);
    payload[k::count] = m_document ? m_document->pageCount() : 0;
    payload[k::page] = m_model ? m_model->currentPageIndex() : 0;
    payload[k::aspect] = aspect();
    return payload;
}

BridgeJson BookCoordinator::readingPayload() const
{
    if (!m_model)
        return BridgeJson::object();
    const double a = aspect();
    return {{k::rectangles, rowsOf(m_model->bookOverlays(a))}, {k::links, rowsOf(m_model->bookLinks(a))}};
}

BridgeJson BookCoordinator::jumpPayload(int page) const
{
    BridgeJson payload{{k::page, page}};
    if (!m_model || !m_document || !m_model->pendingDestination() || !m_model->pendingDestination()->hasPage())
        return payload;
    const engine::PdfDestination &destination = *m_model->pendingDestination();
    if (destination.pageIndex >= m_document->pageCount())
        return payload;
    const double a = aspect();
    const std::optional<model::PaperCoordinates> coordinates = model::PaperCoordinates::make(m_document->page(destination.pageIndex), a);
    if (!coordinates)
        return payload;
    // The inverse of PaperCoordinates::pdfPoint, not clamped.
    const QPointF p = coordinates->pageToPaper().map(destination.point());
    const QSizeF size = coordinates->paperSize();
    const double f = coordinates->fittedSize().width();
    const double g = coordinates->fittedSize().height();
    const double u = p.x() / size.width() * f + (1 - f) / 2;
    const double v = (p.y() / size.height() * g + (a - g) / 2) / a;
    payload[k::point] = {{k::u, u}, {k::v, v}};
    return payload;
}

BridgeJson BookCoordinator::wallpaperPayload() const
{
    if (!m_wallpaperRevision)
        return {{k::revision, 0}};
    return {{k::revision, m_wallpaperRevision},
            {k::x, m_wallpaperPlace.x()},
            {k::y, m_wallpaperPlace.y()},
            {k::width, m_wallpaperPlace.width()},
            {k::height, m_wallpaperPlace.height()}};
}

void BookCoordinator::send(const QString &function, const BridgeJson &payload)
{
    emit pageCall(function, payload);
}

// ---- Events of the page --------------------------------------------------------

void BookCoordinator::receive(const BridgeJson &body)
{
    if (m_disposed || !m_model || !body.is_object())
        return;
    const std::optional<QString> named = text(member(body, k::event));
    if (!named)
        return;
    const QString event = *named;
    if (event == QLatin1String(wire::event::ready)) {
        // A page that announces itself again after it was given the paper
        // was loaded anew (a reload that is no crash): it holds nothing of
        // the paper any more, and gets it under a new load.
        if (m_loadedDocument && m_document)
            setDocument(m_document);
        // A page that starts shows no wallpaper.
        m_lastWallpaper = localweb::scriptArgument(BridgeJson{{k::revision, 0}});
        m_ready = true;
        update();
        return;
    }
    const std::optional<QString> token = text(member(body, k::token));
    if (!token || *token != m_token || !m_document || m_model->pdfDocument() != m_document)
        return;
    if (event == QLatin1String(wire::event::hoverEnd)) {
        dismissPreview();
    } else if (event == QLatin1String(wire::event::hover)) {
        handleHover(body);
    } else if (event == QLatin1String(wire::event::failure)) {
        const BridgeJson &message = member(body, k::message);
        m_model->bookFailed(message.is_string() ? localweb::shownText(message.get_ref<const std::string &>())
                                                : QStringLiteral("书页渲染失败。"));
    } else if (event == QLatin1String(wire::event::copy)) {
        m_model->copySelection();
    } else if (event == QLatin1String(wire::event::clearSelection)) {
        m_model->clearBookSelection();
    } else if (event == QLatin1String(wire::event::select) || event == QLatin1String(wire::event::link)) {
        handleSelectOrLink(event, body);
    } else if (event == QLatin1String(wire::event::state)) {
        handleState(body);
    }
}

void BookCoordinator::handleHover(const BridgeJson &body)
{
    const std::optional<int> page = wholeNumber(member(body, k::page));
    const std::optional<double> u = number(member(body, k::u));
    const std::optional<double> v = number(member(body, k::v));
    const std::optional<double> x = number(member(body, k::x));
    const std::optional<double> y = number(member(body, k::y));
    if (!m_host || !page || !u || !v || !x || !y || *page < 0 || *page >= m_document->pageCount())
        return;
    if (!std::isfinite(*u) || !std::isfinite(*v) || !std::isfinite(*x) || !std::isfinite(*y))
        return;
    const std::optional<model::PaperCoordinates> coordinates = model::PaperCoordinates::make(m_document->page(*page), aspect());
    const std::optional<QPointF> point = coordinates ? coordinates->pdfPoint(QPointF(*u, *v)) : std::nullopt;
    const QSizeF size = m_host->viewSize();
    if (!point || *x < 0 || *x > size.width() || *y < 0 || *y > size.height())
        return;
    m_host->previewLink(*page, *point, QPointF(*x, *y));
}

void BookCoordinator::handleSelectOrLink(const QString &event, const BridgeJson &body)
{
    const std::optional<int> page = wholeNumber(member(body, k::page));
    const std::optional<double> u = number(member(body, k::u));
    const std::optional<double> v = number(member(body, k::v));
    if (!page || !u || !v || *page < 0 || *page >= m_document->pageCount())
        return;
    if (event == QLatin1String(wire::event::link)) {
        m_model->activateBookLink(*page, QPointF(*u, *v), aspect());
        return;
    }
    // A value that is not a phase's name (or no text at all) names none.
    const std::optional<model::BookSelectionPhase> phase =
        platform::fromText<model::BookSelectionPhase>(text(member(body, k::phase)).value_or(QString()));
    const std::optional<QString> gesture = text(member(body, k::gesture));
    if (!phase || !gesture)
        return;
    m_model->selectBook(*page, QPointF(*u, *v), aspect(), *phase, *gesture);
    // As in the page view: a drag's end or a word picked offers its text.
    if (m_host && (*phase == model::BookSelectionPhase::End || *phase == model::BookSelectionPhase::Word)
        && !m_model->selectionText().isEmpty())
        m_host->offerPrimarySelection(m_model->selectionText());
}

void BookCoordinator::handleState(const BridgeJson &body)
{
    const std::optional<int> page = wholeNumber(member(body, k::page));
    if (!page || *page < 0 || *page >= m_document->pageCount())
        return;
    const bool drawn = member(body, k::ready) == BridgeJson(true);
    if (drawn) {
        m_paperReady = true;
        m_timeout->cancel();
        m_model->bookReady();
    }
    if (m_model->currentPageIndex() != *page)
        dismissPreview();
    m_model->bookTurned(*page, member(body, k::canForward) == BridgeJson(true),
                        member(body, k::canBackward) == BridgeJson(true));
    if (const std::optional<QString> layout = text(member(body, k::layout)))
        m_model->bookLaidOut(platform::bookLayoutFromText(*layout));
    if (const QUrl url = m_model->pdfDocumentURL(); !url.isEmpty())
        platform::Preferences::shared().setValue(platform::prefkey::lastPage(url.path()), *page);
    if (drawn)
        emit paperDrawn();
}

} // namespace folvan::book
