#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "engine/PdfDestination.h"

namespace folvan::engine {

// One entry of a document's outline. The title is the entry's /Title as
// written (not trimmed); an entry without a title has the empty title.
// An entry that links to a URI instead of a page has no destination and
// carries the URI.
struct PdfOutlineItem {
    QString title;
    std::optional<PdfDestination> destination;
    QString uri;
    bool isOpen = true;
    std::vector<PdfOutlineItem> children;
};

} // namespace folvan::engine
