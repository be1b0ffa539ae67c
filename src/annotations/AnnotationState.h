#pragma once

// The annotation state a pane's annotations keep for its open document,
// beside their published fields (PaneAnnotations).

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "annotations/AnnotationFile.h"
#include "annotations/DocumentAnnotations.h"
#include "annotations/MarkupColor.h"
#include "annotations/ReadingMarkup.h"

namespace folvan::annotations {

// A document of up to this many pages has its own annotations read at
// once; a longer one has them read off the main thread, so that it shows
// its first page without waiting for every page's annotations.
inline constexpr int kAnnotatedPagesReadAtOnce = 100;

// Tells the reading of a document's own annotations off the main thread
// to stop once the state it reads for is reset or gone: a long document's
// reading would otherwise go on to its last page for nothing.
class OriginalsReading {
public:
    OriginalsReading() = default;
    OriginalsReading(const OriginalsReading &) = delete;
    OriginalsReading &operator=(const OriginalsReading &) = delete;
    ~OriginalsReading() { stop(); }
    // The flag of a new reading; the reading before is told to stop.
    std::shared_ptr<const std::atomic_bool> start()
    {
        stop();
        m_stopped = std::make_shared<std::atomic_bool>(false);
        return m_stopped;
    }
    void stop()
    {
        if (m_stopped)
            m_stopped->store(true);
        m_stopped.reset();
    }

private:
    std::shared_ptr<std::atomic_bool> m_stopped;
};

struct AnnotationState {
    // The user's markups of the open document, in file order.
    std::vector<ReadingMarkup> markups;
    // The sorted annotation list.
    std::vector<ReadingAnnotationItem> annotationItems;
    // The colour given to new markups.
    MarkupColor preferredMarkupColor = MarkupColor::yellow;
    // The PDF's own annotations of annotationDocument, per page.
    OriginalAnnotationMap originalAnnotations;
    // While the originals of a long document are read off the main thread,
    // no markup goes on the pages it reads (so that none is read as an
    // original); the reading's generation drops a result for a document
    // prepared since.
    bool originalsPending = false;
    quint64 originalsGeneration = 0;
    // The page whose originals were read at once meanwhile, which takes its
    // markups before the others (-1 for none).
    int originalsReadPage = -1;
    OriginalsReading originalsReading;
    // The annotations added to the pages for the markups, per page.
    InstalledAnnotationMap installedAnnotations;
    // The items of the markups as last listed.
    MarkupItemCache markupItems;
    // Why some markups are not on the pages; shown until they are.
    std::optional<QString> placementError;
    // Why the annotation file could not be read as the paper opened, until
    // the file is set aside; then where it was kept, shown until the paper
    // closes.
    std::optional<QString> loadProblem;
    std::optional<QString> setAsideNotice;
    // Which annotation file must be kept aside before it is next written.
    AnnotationFileKeeper fileKeeper;
    // The stored list still being decoded; meanwhile `markups` holds only
    // the markups of the page shown first.
    std::shared_ptr<MarkupLoading> loading;
};

} // namespace folvan::annotations
