// The book bridge: the texts of the calls into the page, their payloads,
// and the page's events.

#include "book/BookCoordinator.h"

#include "book/BookWire.h"
#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "model/PaperCoordinates.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace folvan::book {

namespace {

// Whether JSON can hold the value as it is: no number that is not finite.
bool serialisable(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return std::isfinite(value.toDouble());
    case QMetaType::QVariantMap:
        for (const QVariant &item : value.toMap())
            if (!serialisable(item))
                return false;
        return true;
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList())
            if (!serialisable(item))
                return false;
        return true;
    default:
        return true;
    }
}

QVariantList rowsOf(const std::vector<BookRow> &rows)
{
    QVariantList list;
    list.reserve(qsizetype(rows.size()));
    for (const BookRow &row : rows) {
        QVariantList numbers;
        for (double n : row)
            numbers.append(n);
        list.append(QVariant(numbers));
    }
    return list;
}

// A JSON number that is a whole signed 32-bit integer.
std::optional<int> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double n = value.toDouble();
    if (!std::isfinite(n) || std::floor(n) != n || n < std::numeric_limits<int>::min()
        || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(n);
}

std::optional<double> number(const QJsonValue &value)
{
    return value.isDouble() ? std::optional<double>(value.toDouble()) : std::nullopt;
}

} // namespace

QString BookCoordinator::script(const QString &function, const QVariantMap &payload)
{
    const QString json = serialisable(payload)
                             ? QString::fromUtf8(QJsonDocument::fromVariant(payload).toJson(QJsonDocument::Compact))
                             : QStringLiteral("{}");
    return QStringLiteral("window.folvan?.") + function + QLatin1Char('(') + json + QStringLiteral("); null;");
}

QVariantMap BookCoordinator::interactionSettings(const BookViewParameters &p)
{
    const QVariant sensitivity = std::isfinite(p.wheelSensitivity)
                                     ? QVariant(std::clamp(p.wheelSensitivity, 0.5, 2.0))
                                     : QVariant(1);
    return {
        {QStringLiteral("turnDuration"), std::isfinite(p.turnDuration) ? std::clamp(p.turnDuration, 0.8, 3.5) : 2.1},
        {QStringLiteral("wheelMode"), p.wheelMode == QLatin1String("pan") ? QStringLiteral("pan") : QStringLiteral("turn")},
        {QStringLiteral("wheelReverse"), p.wheelReverse},
        {QStringLiteral("wheelSensitivity"), sensitivity},
    };
}

double BookCoordinator::aspect() const
{
    if (!m_document || m_document->pageCount() == 0)
        return engine::PageRaster::aspect(nullptr);
    const engine::PdfPage first = m_document->page(0);
    return engine::PageRaster::aspect(&first);
}

QVariantMap BookCoordinator::settingsPayload() const
{
    QVariantMap payload = interactionSettings(m_parameters);
    payload.insert({
        {QStringLiteral("angle"), m_parameters.angle},
        {QStringLiteral("zoom"), m_parameters.zoom},
        {QStringLiteral("layout"), m_parameters.layout},
        {QStringLiteral("warmth"), m_parameters.warmth},
        {QStringLiteral("grain"), m_parameters.grain},
        {QStringLiteral("reducedMotion"), m_parameters.reducedMotion},
        {QStringLiteral("selectionMode"), m_model && m_model->bookTextMode()},
    });
    return payload;
}

QVariantMap BookCoordinator::openPayload() const
{
    QVariantMap payload = settingsPayload();
    payload.insert(QLatin1String(wire::tokenKey), m_token);
    payload.insert(QStringLiteral("count"), m_document ? m_document->pageCount() : 0);
    payload.insert(QStringLiteral("page"), m_model ? m_model->currentPageIndex() : 0);
    payload.insert(QStringLiteral("aspect"), aspect());
    return payload;
}

QVariantMap BookCoordinator::readingPayload() const
{
    if (!m_model)
        return {};
    const double a = aspect();
    return {{QStringLiteral("rectangles"), rowsOf(m_model->bookOverlays(a))},
            {QStringLiteral("links"), rowsOf(m_model->bookLinks(a))}};
}

QVariantMap BookCoordinator::jumpPayload(int page) const
{
    QVariantMap payload{{QStringLiteral("page"), page}};
    if (!m_model || !m_document || !m_model->pendingDestination() || !m_model->pendingDestination()->hasPage())
        return payload;
    const engine::PdfDestination &destination = *m_model->pendingDestination();
    if (destination.pageIndex >= m_document->pageCount())
        return payload;
    const double a = aspect();
    const std::optional<PaperCoordinates> coordinates = PaperCoordinates::make(m_document->page(destination.pageIndex), a);
    if (!coordinates)
        return payload;
    // The inverse of PaperCoordinates::pdfPoint, not clamped.
    const QPointF p = coordinates->pageToPaper().map(destination.point());
    const QSizeF size = coordinates->paperSize();
    const double f = coordinates->fittedSize().width();
    const double g = coordinates->fittedSize().height();
    const double u = p.x() / size.width() * f + (1 - f) / 2;
    const double v = (p.y() / size.height() * g + (a - g) / 2) / a;
    payload.insert(QLatin1String(wire::jumpPointKey), QVariantMap{{QStringLiteral("u"), u}, {QStringLiteral("v"), v}});
    return payload;
}

void BookCoordinator::send(const QString &function, const QVariantMap &payload)
{
    if (m_host)
        m_host->runScript(script(function, payload));
}

// ---- Events of the page --------------------------------------------------------

void BookCoordinator::receive(const QJsonValue &message)
{
    if (m_disposed || !m_model || !m_host || !allowsNavigation(m_host->frameUrl()) || !message.isObject())
        return;
    const QJsonObject body = message.toObject();
    if (!body.value(QStringLiteral("event")).isString())
        return;
    const QString event = body.value(QStringLiteral("event")).toString();
    if (event == QLatin1String("ready")) {
        m_ready = true;
        update();
        return;
    }
    const QJsonValue token = body.value(QLatin1String(wire::tokenKey));
    if (!token.isString() || token.toString() != m_token || !m_document || m_model->pdfDocument() != m_document)
        return;
    if (event == QLatin1String("hoverEnd")) {
        dismissPreview();
    } else if (event == QLatin1String("hover")) {
        handleHover(body);
    } else if (event == QLatin1String(wire::failureEvent)) {
        const QJsonValue text = body.value(QStringLiteral("message"));
        m_model->bookFailed(text.isString() ? text.toString() : QStringLiteral("书页渲染失败。"));
    } else if (event == QLatin1String("copy")) {
        m_model->copySelection();
    } else if (event == QLatin1String("clearSelection")) {
        m_model->clearBookSelection();
    } else if (event == QLatin1String("select") || event == QLatin1String("link")) {
        handleSelectOrLink(event, body);
    } else if (event == QLatin1String("state")) {
        handleState(body);
    }
}

void BookCoordinator::handleHover(const QJsonObject &body)
{
    const std::optional<int> page = wholeNumber(body.value(QStringLiteral("page")));
    const std::optional<double> u = number(body.value(QStringLiteral("u")));
    const std::optional<double> v = number(body.value(QStringLiteral("v")));
    const std::optional<double> x = number(body.value(QStringLiteral("x")));
    const std::optional<double> y = number(body.value(QStringLiteral("y")));
    if (!page || !u || !v || !x || !y || *page < 0 || *page >= m_document->pageCount())
        return;
    if (!std::isfinite(*u) || !std::isfinite(*v) || !std::isfinite(*x) || !std::isfinite(*y))
        return;
    const std::optional<PaperCoordinates> coordinates = PaperCoordinates::make(m_document->page(*page), aspect());
    const std::optional<QPointF> point = coordinates ? coordinates->pdfPoint(QPointF(*u, *v)) : std::nullopt;
    const QSizeF size = m_host->viewSize();
    if (!point || *x < 0 || *x > size.width() || *y < 0 || *y > size.height())
        return;
    m_host->previewLink(*page, *point, QPointF(*x, *y));
}

void BookCoordinator::handleSelectOrLink(const QString &event, const QJsonObject &body)
{
    const std::optional<int> page = wholeNumber(body.value(QStringLiteral("page")));
    const std::optional<double> u = number(body.value(QStringLiteral("u")));
    const std::optional<double> v = number(body.value(QStringLiteral("v")));
    if (!page || !u || !v || *page < 0 || *page >= m_document->pageCount())
        return;
    if (event == QLatin1String("link")) {
        m_model->activateBookLink(*page, QPointF(*u, *v), aspect());
        return;
    }
    const QJsonValue phase = body.value(QLatin1String(wire::phaseKey));
    const QJsonValue gesture = body.value(QStringLiteral("gesture"));
    static const QStringList phases{QStringLiteral("start"), QStringLiteral("move"), QStringLiteral("end"),
                                    QStringLiteral("word")};
    if (!phase.isString() || !gesture.isString() || !phases.contains(phase.toString()))
        return;
    m_model->selectBook(*page, QPointF(*u, *v), aspect(), phase.toString(), gesture.toString());
}

void BookCoordinator::handleState(const QJsonObject &body)
{
    const std::optional<int> page = wholeNumber(body.value(QStringLiteral("page")));
    if (!page || *page < 0 || *page >= m_document->pageCount())
        return;
    if (body.value(QStringLiteral("ready")) == QJsonValue(true)) {
        m_paperReady = true;
        m_timeout->cancel();
        m_model->bookReady();
    }
    if (m_model->currentPageIndex() != *page)
        dismissPreview();
    const QJsonValue forward = body.value(QStringLiteral("canForward"));
    const QJsonValue backward = body.value(QLatin1String(wire::backwardKey));
    m_model->bookTurned(*page, forward.isBool() && forward.toBool(), backward.isBool() && backward.toBool());
    const QJsonValue layout = body.value(QStringLiteral("layout"));
    if (layout.isString())
        m_model->bookLaidOut(layout.toString());
    if (const QUrl url = m_model->pdfDocumentURL(); !url.isEmpty())
        platform::Preferences::shared().setValue(QStringLiteral("lastPage_") + url.path(), *page);
}

} // namespace folvan::book
