#pragma once

// The native side of one reflow page: keeps the page in step with the pane
// model (typography, annotations, corrections, jumps), takes in the page's
// events and turns them into the pane's operations, and maps points between
// PDF page space and the page fractions the page works in. It calls the
// page through pageCall and hears it through receive() (the web view, or a
// test, connects them), so that all of it runs without a browser. Main
// thread only.

#include "model/ReadingLocation.h"
#include "model/ReadingTextSource.h"
#include "reflow/ReflowOverridesStore.h"

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QPointer>
#include <QUuid>
#include <QVariantMap>

#include "localweb/BridgeJson.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::annotations {
class PaneAnnotations;
}

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::reflow {

// Payloads with their keys sorted, as the page receives them.
using Json = localweb::BridgeJson;

class ReflowCoordinator : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        // Makes a paper note quoting these passages.
        std::function<void(const std::vector<model::ReadingTextSource> &)> createNote;
        // Leaves reflow and shows this place in the page view.
        std::function<void(const model::ReadingLocation &)> showOriginal;
    };
    // `paperID` names the corrections file; without it (the notes library
    // cannot name the paper now) the corrections are kept in memory only,
    // and the page is told so. `overridesDirectory` is for tests (empty:
    // the data folder's).
    ReflowCoordinator(model::SharedPDFViewModel *model, std::shared_ptr<engine::PdfDocument> document,
                      std::optional<QUuid> paperID, Callbacks callbacks, QObject *parent = nullptr,
                      const QString &overridesDirectory = {});
    ~ReflowCoordinator() override;

    // The page token, fixed for the coordinator's life.
    const QString &token() const { return m_token; }
    bool loaded() const { return m_loaded; }
    bool disposed() const { return m_disposed; }
    const std::set<int> &visiblePages() const { return m_visiblePages; }
    bool selectionMapped() const { return m_selectionMapped; }
    ReflowOverridesStore *overrides() const { return m_overrides.get(); }

    // Sends changed settings and state and a pending jump (after "open").
    void update();
    // Sends the state when it changed, or always when forced.
    void syncState(bool force);
    // The normalized typography with the search query.
    Json settings() const;
    // Calls `name` of the page with `payload` (through pageCall).
    void send(const QString &name, const Json &payload);
    // Sorted-key JSON text that is also a script literal; "{}" for a value
    // that cannot be written (a number that is not finite).
    static QString json(const Json &value);

    // A PDF point of `page` as page fractions, or nothing.
    std::optional<QPointF> viewportPoint(QPointF point, int page) const;
    // The "point" entry of a message as a PDF point of `page`, or nothing.
    std::optional<QPointF> sourcePoint(const Json &body, int page) const;

    // One event of the page (discarded() when it was no JSON).
    void receive(const Json &body);

    // The page's process ended and the page is loaded again: it is opened
    // anew once it says it is there.
    void pageRestarting();
    // What the view shows once the page's process ended for good.
    static QString failureText();

    // Stops everything: nothing is sent or taken in afterwards.
    void dispose();

signals:
    // Calls `name` of the page with `payload`.
    void pageCall(const QString &name, const Json &payload);

private:
    int pageCount() const;
    bool validPage(const Json &value, int *page) const;
    void handshake();
    void handleSources(const Json &body, const QString &event);
    void handleCorrection(const Json &body);
    void handlePosition(const Json &body);
    void handleTypography(const Json &body);
    void handleCutouts(const Json &body);
    // Tells the pane which search results the page shows inside its images.
    void reportResultsInImages();
    void feedback(const QString &message);
    void observeOverrides();
    void scheduleUpdate();

    QPointer<model::SharedPDFViewModel> m_model;
    // The annotations of the model's pane; null when it has none.
    QPointer<annotations::PaneAnnotations> m_annotations;
    std::shared_ptr<engine::PdfDocument> m_document;
    Callbacks m_callbacks;
    QString m_token;
    bool m_disposed = false;
    bool m_loaded = false;
    bool m_updateScheduled = false;
    QString m_lastSettings;
    QString m_lastState;
    std::set<int> m_visiblePages;
    std::unique_ptr<ReflowOverridesStore> m_overrides;
    bool m_selectionMapped = true;
    int m_snapshotRevision = -1;
    std::set<int> m_snapshotPages;
    Json m_snapshotAnnotations = Json::array();
    // Page index -> the areas (page fractions) it shows as images.
    std::map<int, std::vector<QRectF>> m_cutouts;
    bool m_resultsInImagesStale = false;
};

} // namespace folvan::reflow
