#pragma once

// The native side of one reflow page: keeps the page in step with the pane
// model (typography, annotations, corrections, jumps), takes in the page's
// events and turns them into the pane's operations, and maps points between
// PDF page space and the page fractions the page works in. It talks to the
// page only through a script sink (the web view, or a test), so that all of
// it runs without a browser. Main thread only.

#include "model/ReadingLocation.h"
#include "model/ReadingTextSource.h"
#include "reflow/ReflowOverridesStore.h"

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QPointer>
#include <QUrl>
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
    // Evaluates one script in the page.
    using ScriptSink = std::function<void(const QString &script)>;

    // `paperID` names the corrections file; without it there are no
    // corrections. `overridesDirectory` is for tests (empty: the data
    // folder's).
    ReflowCoordinator(model::SharedPDFViewModel *model, std::shared_ptr<engine::PdfDocument> document,
                      std::optional<QUuid> paperID, Callbacks callbacks, QObject *parent = nullptr,
                      const QString &overridesDirectory = {});
    ~ReflowCoordinator() override;

    void setScriptSink(ScriptSink sink) { m_sink = std::move(sink); }
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
    // Calls window.folvanReflow.<name>(payload).
    void send(const QString &name, const Json &payload);
    // Sorted-key JSON text that is also a script literal; "{}" for a value
    // that cannot be written (a number that is not finite).
    static QString json(const Json &value);

    // A PDF point of `page` as page fractions, or nothing.
    std::optional<QPointF> viewportPoint(QPointF point, int page) const;
    // The "point" entry of a message as a PDF point of `page`, or nothing.
    std::optional<QPointF> sourcePoint(const Json &body, int page) const;

    // One event of the page: its JSON text, the URL of the frame it came
    // from and whether that frame is the main frame.
    void receive(const QString &text, const QUrl &frameURL, bool mainFrame);

    // The page's process ended. True when the page is to be loaded again
    // (the first time); after that the view shows failureText().
    bool pageProcessEnded();
    static QString failureText();

    // Stops everything: nothing is sent or taken in afterwards.
    void dispose();

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
    ScriptSink m_sink;
    QString m_token;
    bool m_disposed = false;
    bool m_loaded = false;
    int m_crashes = 0;
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
