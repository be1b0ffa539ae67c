#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <QString>

#include "engine/PdfSelection.h"

namespace folvan::engine {

class PdfDocument;

struct PdfSearchOptions {
    // Letters match whatever their case.
    bool caseInsensitive = true;
};

// Every match of `query` in the page strings of `document`, in document
// order, each a selection in the page-string indexing. The query is matched
// as typed (not trimmed); a white-space character of the query matches any
// white space of the text, a line break included, so a match may run over
// lines. An empty query finds nothing. When `stop` becomes true the search
// ends early with the matches found so far.
std::vector<PdfSelection> findAll(const std::shared_ptr<PdfDocument> &document, const QString &query,
                                  PdfSearchOptions options = {}, const std::atomic_bool *stop = nullptr);

} // namespace folvan::engine
