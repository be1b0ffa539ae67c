#include "reflow/ReflowCoordinator.h"

#include "annotations/PaneAnnotations.h"
#include "annotations/ReadingMarkup.h"
#include "annotations/ReflowTextMap.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "model/ReflowTypography.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Desktop.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "localweb/BridgeJson.h"
#include "platform/StoredJson.h"
#include "reflow/ReflowWire.h"

#include <QUndoStack>

#include <algorithm>
#include <cmath>

namespace folvan::reflow {

namespace k = wire::key;

namespace {

constexpr int kMaxAnnotationFragments = 2000;
constexpr int kMaxVisiblePages = 9;
constexpr int kMaxSources = 64;
// Cut-outs of one page the page may tell, and how far (in page fractions)
// outside one a search result still counts as inside.
constexpr int kMaxCutouts = 512;
constexpr double kCutoutSlack = 0.002;

const QString kUnmapped = QStringLiteral("这段文字无法准确对应原版。可先保存来源笔记，或核对原页。");
const QString kNotStored = QStringLiteral("局部修正尚未保存，请检查本机存储权限。");

// A stored-form value (keys in written order) with its keys sorted.
Json sorted(const platform::json &value) { return Json::parse(value.dump(-1, ' ', false, Json::error_handler_t::replace)); }

double clampFraction(double v)
{
    if (std::isnan(v) || v < 0)
        return 0;
    return std::min(v, 1.0);
}

std::optional<std::int64_t> integer(const Json &body, const char *key)
{
    const auto it = body.find(key);
    if (it == body.end() || !it->is_number_integer())
        return std::nullopt;
    return it->is_number_unsigned() ? std::int64_t(std::min<std::uint64_t>(it->get<std::uint64_t>(), INT64_MAX))
                                    : it->get<std::int64_t>();
}

QVariant variantOf(const Json &value)
{
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number())
        return value.get<double>();
    if (value.is_string())
        return QString::fromStdString(value.get<std::string>());
    return {};
}

Json jsonOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString:
        return value.toString().toStdString();
    default:
        return value.toDouble();
    }
}

} // namespace

ReflowCoordinator::ReflowCoordinator(model::SharedPDFViewModel *model, std::shared_ptr<engine::PdfDocument> document,
                                     std::optional<QUuid> paperID, Callbacks callbacks, QObject *parent,
                                     const QString &overridesDirectory)
    : QObject(parent)
    , m_model(model)
    , m_document(std::move(document))
    , m_callbacks(std::move(callbacks))
    , m_token(localweb::newPageToken())
{
    if (paperID)
        m_overrides = std::make_unique<ReflowOverridesStore>(*paperID, overridesDirectory);
    else if (model && !model->pdfDocumentURL().toLocalFile().isEmpty())
        m_overrides = ReflowOverridesStore::unnamed(model->pdfDocumentURL().toLocalFile());
    observeOverrides();
    if (!model)
        return;
    // What the page shows follows these; one update runs after a burst.
    for (auto signal : {&model::SharedPDFViewModel::reflowAppearanceChanged, &model::SharedPDFViewModel::showSearchChanged,
                        &model::SharedPDFViewModel::searchTextChanged, &model::SharedPDFViewModel::searchResultsChanged,
                        &model::SharedPDFViewModel::currentSearchIndexChanged, &model::SharedPDFViewModel::jumpToPageChanged})
        connect(model, signal, this, &ReflowCoordinator::scheduleUpdate);
    m_annotations = annotations::PaneAnnotations::of(*model);
    if (m_annotations) {
        for (auto signal : {&annotations::PaneAnnotations::annotationRevisionChanged,
                            &annotations::PaneAnnotations::canUndoAnnotationChanged,
                            &annotations::PaneAnnotations::canRedoAnnotationChanged})
            connect(m_annotations, signal, this, &ReflowCoordinator::scheduleUpdate);
    }
    connect(model, &model::SharedPDFViewModel::searchResultsChanged, this, [this] { m_resultsInImagesStale = true; });
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key.startsWith(platform::prefkey::reflowPrefix))
            scheduleUpdate();
    });
}

void ReflowCoordinator::scheduleUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    platform::runOnMain(this, [this] {
        m_updateScheduled = false;
        update();
    });
}

ReflowCoordinator::~ReflowCoordinator() { platform::NotificationCenter::shared().removeObservers(this); }

void ReflowCoordinator::observeOverrides()
{
    platform::NotificationCenter::shared().observe<ReflowOverridesChanged>(
        this, [this](const ReflowOverridesChanged &change) {
            if (!m_disposed && m_overrides && m_overrides->refresh(change))
                syncState(true);
        });
}

int ReflowCoordinator::pageCount() const { return m_document ? m_document->pageCount() : 0; }

bool ReflowCoordinator::validPage(const Json &value, int *page) const
{
    if (!value.is_number_integer())
        return false;
    const std::int64_t index = value.is_number_unsigned()
                                   ? std::int64_t(std::min<std::uint64_t>(value.get<std::uint64_t>(), INT64_MAX))
                                   : value.get<std::int64_t>();
    if (index < 0 || index >= pageCount())
        return false;
    *page = int(index);
    return true;
}

QString ReflowCoordinator::json(const Json &value) { return localweb::scriptArgument(value); }

void ReflowCoordinator::send(const QString &name, const Json &payload)
{
    if (!m_disposed)
        emit pageCall(name, payload);
}

Json ReflowCoordinator::settings() const
{
    QVariantMap base;
    if (m_model && m_model->reflowAppearance())
        base = *m_model->reflowAppearance();
    else
        base = model::ReflowTypography::effective(platform::Preferences::shared());
    Json result = Json::object();
    const QVariantMap values = model::ReflowTypography::normalized(base);
    for (auto it = values.begin(); it != values.end(); ++it)
        result[it.key().toStdString()] = jsonOf(it.value());
    const bool searching = m_model && m_model->showSearch();
    result[k::query] = searching ? m_model->searchText().toStdString() : std::string();
    return result;
}

void ReflowCoordinator::update()
{
    if (!m_loaded || m_disposed || !m_model)
        return;
    const Json current = settings();
    const QString text = json(current);
    if (text != m_lastSettings) {
        m_lastSettings = text;
        send(wire::call::settings, current);
    }
    syncState(false);
    if (m_resultsInImagesStale)
        reportResultsInImages();

    const std::optional<int> jump = m_model->jumpToPage();
    if (!jump)
        return;
    const int page = *jump;
    const auto &results = m_model->searchResults();
    const size_t earlier = std::min(size_t(std::max(m_model->currentSearchIndex(), 0)), results.size());
    int ordinal = 0;
    for (size_t i = 0; i < earlier; ++i) {
        const std::vector<engine::PdfPage> pages = results[i].pages();
        if (!pages.empty() && pages.front().index() == page)
            ++ordinal;
    }
    Json payload = {{k::page, page}, {k::ordinal, ordinal}};
    if (const auto &source = m_model->pendingTextSource())
        payload[k::source] = sorted(source->dictionary());
    if (const auto &destination = m_model->pendingDestination(); destination && destination->hasPoint()) {
        if (const auto point = viewportPoint(destination->point(), page)) {
            payload[k::x] = point->x();
            payload[k::y] = point->y();
        }
    }
    send(wire::call::navigate, payload);
    // The request is carried out once delivered, unless another replaced it
    // (the model's operation leaves a newer request alone).
    platform::runOnMain(this, [this, page] {
        if (!m_disposed && m_model)
            m_model->requestCarriedOut(m_document, page);
    });
}

void ReflowCoordinator::syncState(bool force)
{
    if (!m_loaded || m_disposed || !m_model)
        return;
    const annotations::PaneAnnotations *paneAnnotations = m_annotations;
    const int revision = paneAnnotations ? paneAnnotations->annotationRevision() : 0;
    const std::vector<annotations::ReadingAnnotationItem> none;
    if (m_snapshotRevision != revision || m_snapshotPages != m_visiblePages) {
        Json fragments = Json::array();
        const std::vector<annotations::ReadingAnnotationItem> &items =
            paneAnnotations ? paneAnnotations->annotationItems() : none;
        for (const annotations::ReadingAnnotationItem &item : items) {
            if (fragments.size() >= size_t(kMaxAnnotationFragments))
                break;
            if (!m_visiblePages.count(int(item.page)) || item.page < 0 || item.page >= pageCount())
                continue;
            const engine::PdfPage page = m_document->page(int(item.page));
            for (const platform::json &fragment : annotations::reflowFragments(item, page)) {
                if (fragments.size() >= size_t(kMaxAnnotationFragments))
                    break;
                fragments.push_back(sorted(fragment));
            }
        }
        m_snapshotAnnotations = std::move(fragments);
        m_snapshotRevision = revision;
        m_snapshotPages = m_visiblePages;
    }
    Json corrections = Json::array();
    if (m_overrides) {
        for (const QString &key : m_overrides->keys())
            corrections.push_back(key.toStdString());
    }
    const Json payload = {{k::annotations, m_snapshotAnnotations},
                          {k::corrections, corrections},
                          {k::selectionMapped, m_selectionMapped},
                          {k::canUndo, paneAnnotations && paneAnnotations->canUndoAnnotation()},
                          {k::canRedo, paneAnnotations && paneAnnotations->canRedoAnnotation()}};
    const QString text = json(payload);
    if (force || text != m_lastState) {
        m_lastState = text;
        send(wire::call::state, payload);
    }
}

std::optional<QPointF> ReflowCoordinator::viewportPoint(QPointF point, int page) const
{
    if (!std::isfinite(point.x()) || !std::isfinite(point.y()) || page < 0 || page >= pageCount())
        return std::nullopt;
    const engine::PdfPage pdfPage = m_document->page(page);
    const QSizeF size = pdfPage.displaySize();
    if (!(size.width() > 0 && size.height() > 0))
        return std::nullopt;
    const QPointF q = pdfPage.drawingTransform().map(point);
    return QPointF(clampFraction(q.x() / size.width()), clampFraction(1 - q.y() / size.height()));
}

std::optional<QPointF> ReflowCoordinator::sourcePoint(const Json &body, int page) const
{
    const auto it = body.find(k::point);
    if (it == body.end() || !it->is_object())
        return std::nullopt;
    const auto x = it->find(k::x), y = it->find(k::y);
    if (x == it->end() || y == it->end() || !x->is_number() || !y->is_number())
        return std::nullopt;
    const double fx = x->get<double>(), fy = y->get<double>();
    if (!(fx >= 0 && fx <= 1 && fy >= 0 && fy <= 1) || page < 0 || page >= pageCount())
        return std::nullopt;
    const engine::PdfPage pdfPage = m_document->page(page);
    const QSizeF size = pdfPage.displaySize();
    if (!(size.width() > 0 && size.height() > 0))
        return std::nullopt;
    bool invertible = false;
    const QTransform back = pdfPage.drawingTransform().inverted(&invertible);
    if (!invertible)
        return std::nullopt;
    return back.map(QPointF(fx * size.width(), (1 - fy) * size.height()));
}

void ReflowCoordinator::receive(const Json &body)
{
    if (m_disposed || !m_model)
        return;
    if (body.is_discarded() || !body.is_object() || body.empty())
        return;
    const auto eventIt = body.find(k::event);
    if (eventIt == body.end() || !eventIt->is_string())
        return;
    const QString event = QString::fromStdString(eventIt->get<std::string>());
    if (event == wire::event::loaded && !m_loaded) {
        handshake();
        return;
    }
    if (!m_loaded)
        return;
    const auto tokenIt = body.find(k::token);
    if (tokenIt == body.end() || !tokenIt->is_string() || QString::fromStdString(tokenIt->get<std::string>()) != m_token)
        return;

    int page = 0;
    if (event == wire::event::visiblePages) {
        const auto pages = body.find(k::pages);
        if (pages == body.end() || !pages->is_array() || pages->size() > size_t(kMaxVisiblePages))
            return;
        std::set<int> visible;
        for (const Json &value : *pages) {
            if (!value.is_number_integer())
                return;
            if (validPage(value, &page))
                visible.insert(page);
        }
        m_visiblePages = std::move(visible);
        syncState(false);
    } else if (event == wire::event::selection || event == wire::event::studyAction) {
        handleSources(body, event);
    } else if (event == wire::event::correction) {
        handleCorrection(body);
    } else if (event == wire::event::position) {
        handlePosition(body);
    } else if (event == wire::event::page) {
        if (body.contains(k::page) && validPage(body[k::page], &page))
            m_model->pageShown(page);
    } else if (event == wire::event::original) {
        if (!body.contains(k::page) || !validPage(body[k::page], &page))
            return;
        model::ReadingLocation location;
        location.page = page;
        if (const auto point = sourcePoint(body, page))
            location.point = *point;
        if (m_callbacks.showOriginal)
            m_callbacks.showOriginal(location);
    } else if (event == wire::event::typography) {
        handleTypography(body);
    } else if (event == wire::event::cutouts) {
        handleCutouts(body);
    }
}

void ReflowCoordinator::handshake()
{
    m_loaded = true;
    Json open = settings();
    open[k::token] = m_token.toStdString();
    open[k::pageCount] = pageCount();
    const int page = m_model->jumpToPage().value_or(m_model->currentPageIndex());
    open[k::page] = page;
    Json corrections = Json::array();
    if (m_overrides) {
        for (const QString &key : m_overrides->keys())
            corrections.push_back(key.toStdString());
    }
    open[k::corrections] = corrections;
    if (const auto &source = m_model->pendingTextSource())
        open[k::source] = sorted(source->dictionary());
    const auto &retained = m_model->retainedDestination();
    if (m_model->reflowPage() == page) {
        open[k::block] = m_model->reflowBlock();
        open[k::offset] = m_model->reflowOffset();
    } else if (retained && retained->pageIndex == page && retained->hasPoint()) {
        // Only a point of the page that opens: another page's point would
        // land somewhere unrelated.
        if (const auto point = viewportPoint(retained->point(), page)) {
            open[k::x] = point->x();
            open[k::y] = point->y();
        }
    }
    send(wire::call::open, open);
    if (m_overrides && !m_overrides->error().isEmpty())
        feedback(m_overrides->error());
    // The open carried the request out; a destination that came without a
    // page request is spent with it.
    m_model->requestCarriedOut(m_document, page, model::SharedPDFViewModel::RequestScope::jumpAndPlace);
    update();
}

void ReflowCoordinator::handleSources(const Json &body, const QString &event)
{
    std::vector<model::ReadingTextSource> sources;
    const auto it = body.find(k::sources);
    if (it != body.end()) {
        if (!it->is_array() || it->size() > size_t(kMaxSources))
            return;
        try {
            for (const Json &element : *it) {
                if (!element.is_object())
                    return;
                sources.push_back(platform::json::parse(element.dump()).get<model::ReadingTextSource>());
            }
        } catch (...) {
            return;
        }
    }
    for (const model::ReadingTextSource &source : sources) {
        if (!source.validated(pageCount()))
            return;
    }
    if (!m_annotations)
        return;
    m_selectionMapped = m_annotations->acceptReflowSelection(sources);
    if (event == wire::event::selection) {
        syncState(false);
        return;
    }

    const auto actionIt = body.find(k::action);
    const QString action =
        actionIt != body.end() && actionIt->is_string() ? QString::fromStdString(actionIt->get<std::string>()) : QString();
    if (action == wire::action::note || action == wire::action::copy) {
        // Only the passages of this message: an older selection that the
        // page's could not replace must not be quoted or copied instead.
        if (sources.empty()) {
            feedback(kUnmapped);
        } else if (action == wire::action::note) {
            if (m_callbacks.createNote)
                m_callbacks.createNote(sources);
        } else {
            QStringList quotes;
            for (const model::ReadingTextSource &source : sources)
                quotes << source.quote;
            platform::setClipboardText(quotes.join(u'\n'));
        }
    } else if (action == wire::action::highlight || action == wire::action::underline) {
        if (!sources.empty()) {
            if (m_selectionMapped)
                m_annotations->addMarkup(action, QString());
            else
                feedback(kUnmapped);
        }
    } else if (action == wire::action::remove) {
        const auto id = body.find(k::id);
        if (id != body.end() && id->is_string())
            m_annotations->deleteAnnotation(QString::fromStdString(id->get<std::string>()));
    } else if (action == wire::action::undo || action == wire::action::redo) {
        if (action == wire::action::undo)
            m_annotations->annotationUndoManager()->undo();
        else
            m_annotations->annotationUndoManager()->redo();
        m_annotations->updateAnnotationUndoState();
    }
    syncState(false);
}

void ReflowCoordinator::handleCorrection(const Json &body)
{
    const auto key = body.find(k::key), original = body.find(k::original);
    if (key == body.end() || !key->is_string() || original == body.end() || !original->is_boolean())
        return;
    if (!m_overrides) {
        feedback(kNotStored);
    } else if (!m_overrides->set(QString::fromStdString(key->get<std::string>()), original->get<bool>())
               || !m_overrides->error().isEmpty()) {
        // Refused, or kept for this run only: said each time.
        feedback(m_overrides->error().isEmpty() ? kNotStored : m_overrides->error());
    }
    syncState(true);
}

void ReflowCoordinator::handlePosition(const Json &body)
{
    int page = 0;
    if (!body.contains(k::page) || !validPage(body[k::page], &page))
        return;
    const std::int64_t block = std::clamp<std::int64_t>(integer(body, k::block).value_or(0), 0, 10000);
    const std::int64_t offset = std::clamp<std::int64_t>(integer(body, k::offset).value_or(0), 0, 100000);
    m_model->reflowPositionChanged(page, int(block), int(offset), sourcePoint(body, page));
}

void ReflowCoordinator::handleTypography(const Json &body)
{
    QVariantMap base;
    if (m_model->reflowAppearance()) {
        base = *m_model->reflowAppearance();
    } else {
        const Json current = settings();
        for (auto it = current.begin(); it != current.end(); ++it)
            base.insert(QString::fromStdString(it.key()), variantOf(it.value()));
    }
    QVariantMap message;
    for (auto it = body.begin(); it != body.end(); ++it)
        message.insert(QString::fromStdString(it.key()), variantOf(it.value()));
    // The page sends all seven values; only those that changed are stored.
    const QVariantMap changed = model::ReflowTypography::changes(base, message);
    for (auto it = changed.begin(); it != changed.end(); ++it)
        base.insert(it.key(), it.value());
    m_model->reflowAppearanceChosen(model::ReflowTypography::normalized(base));
    model::ReflowTypography::save(changed, platform::Preferences::shared());
}

void ReflowCoordinator::handleCutouts(const Json &body)
{
    int page = 0;
    const auto regions = body.find(k::regions);
    if (!body.contains(k::page) || !validPage(body[k::page], &page) || regions == body.end() || !regions->is_array()
        || regions->size() > size_t(kMaxCutouts))
        return;
    std::vector<QRectF> areas;
    for (const Json &region : *regions) {
        if (!region.is_array() || region.size() != 4 || !std::all_of(region.begin(), region.end(), [](const Json &v) {
                return v.is_number() && std::isfinite(v.get<double>());
            }))
            return;
        const QRectF area(region[0].get<double>(), region[1].get<double>(), region[2].get<double>(),
                          region[3].get<double>());
        if (area.width() > 0 && area.height() > 0)
            areas.push_back(area);
    }
    if (areas.empty())
        m_cutouts.erase(page);
    else
        m_cutouts[page] = std::move(areas);
    reportResultsInImages();
}

void ReflowCoordinator::reportResultsInImages()
{
    m_resultsInImagesStale = false;
    if (m_disposed || !m_model || m_model->pdfDocument() != m_document)
        return;
    QList<int> inImages;
    const auto &results = m_model->searchResults();
    for (size_t i = 0; i < results.size() && !m_cutouts.empty(); ++i) {
        const std::vector<engine::PdfPage> pages = results[i].pages();
        if (pages.empty())
            continue;
        const auto cutouts = m_cutouts.find(pages.front().index());
        if (cutouts == m_cutouts.end())
            continue;
        // A result is inside an image when the middle of its first piece is.
        const auto middle = viewportPoint(results[i].bounds(pages.front()).center(), pages.front().index());
        if (middle && std::any_of(cutouts->second.begin(), cutouts->second.end(), [&](const QRectF &area) {
                return area.adjusted(-kCutoutSlack, -kCutoutSlack, kCutoutSlack, kCutoutSlack).contains(*middle);
            }))
            inImages.push_back(int(i));
    }
    m_model->reflowShowsResultsInImages(std::move(inImages));
}

void ReflowCoordinator::feedback(const QString &message)
{
    send(wire::call::feedback, Json{{k::message, message.toStdString()}, {k::error, true}});
}

void ReflowCoordinator::pageRestarting()
{
    m_loaded = false;
    m_lastSettings.clear();
    m_lastState.clear();
}

QString ReflowCoordinator::failureText()
{
    return QStringLiteral("重排页面意外停止，已无法继续显示。");
}

void ReflowCoordinator::dispose()
{
    // The other views show every result as text.
    if (!m_disposed && m_model && m_model->pdfDocument() == m_document)
        m_model->reflowShowsResultsInImages({});
    m_disposed = true;
    platform::NotificationCenter::shared().removeObservers(this);
}

} // namespace folvan::reflow
