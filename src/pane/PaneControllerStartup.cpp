// What a pane opens by itself: once at start-up, on every new open request
// of the workspace, and for a file dropped on it.

#include "pane/PaneController.h"

#include "history/ReadingHistory.h"
#include "model/ReflowTypography.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Clock.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"

#include <QFileInfo>

namespace folvan::pane {

QVariantMap PaneController::reflowAppearance() const
{
    if (const std::optional<QVariantMap> &appearance = m_viewModel->reflowAppearance())
        return *appearance;
    return model::ReflowTypography::effective(platform::Preferences::shared());
}

void PaneController::startUp()
{
    if (m_didStart)
        return;
    m_didStart = true;

    setPageLayout(platform::Preferences::shared().enumValue<platform::BookLayout>(platform::prefkey::pageLayout));
    m_viewModel->reflowAppearanceChosen(reflowAppearance());
    loadBackgroundImage();

    // A paper named on the command line comes as an open request.
    if (m_openRequest) {
        loadPDF(m_openRequest->url);
    } else if (m_pane == ReaderPane::primary && m_viewModel->pdfDocumentURL().isEmpty() && resumeLast()
               && !history().records().isEmpty()) {
        // Only the most recent paper is tried.
        const QString resolved = history().resolve(history().records().constFirst());
        if (!resolved.isEmpty())
            loadPDF(QUrl::fromLocalFile(resolved));
    }

    if (m_pane == ReaderPane::primary && !hasSeenOnboarding())
        scheduleOnboarding();
}

// The onboarding itself belongs to the help and onboarding views; the pane
// raises its flag, over which that view is shown.
void PaneController::scheduleOnboarding()
{
    platform::runAfter(this, kOnboardingDelaySeconds, [this] { setShowOnboarding(true); });
}

void PaneController::openRequestDidChange()
{
    // Before the pane is first shown, its start-up opens the request: a
    // file handed over at start is opened once.
    if (m_openRequest && m_didStart)
        loadPDF(m_openRequest->url);
}

bool PaneController::openDroppedFile(const QUrl &url)
{
    if (url.isEmpty() || QFileInfo(url.path()).suffix().toLower() != QLatin1String("pdf"))
        return false;
    platform::runOnMain(this, [this, url] { loadPDF(url); });
    return true;
}

void PaneController::onboardingReplayRequested()
{
    setShowShortcuts(false);
    setHasSeenOnboarding(false);
    platform::runAfter(this, kOnboardingReplayDelaySeconds, [this] { setShowOnboarding(true); });
}

} // namespace folvan::pane
