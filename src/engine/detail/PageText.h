#pragma once

// Internal to the engine: building a page's text from MuPDF's structured
// text.

#include <functional>
#include <memory>

#include "engine/PdfPage.h"
#include "engine/detail/DocumentImpl.h"

namespace folvan::engine::detail {

// Builds the text of a page (without using the cache); an empty text when
// the page cannot be read. With `geometry` false only the string and its
// lines are made: no boxes, words or blocks. Needs the document lock.
std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex, bool geometry = true);

// As above, the string and lines made first: `wantsGeometry` is asked of
// them whether the boxes, words and blocks are made as well.
std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex,
                                                 const std::function<bool(const PdfPageText &)> &wantsGeometry);

// The text of a page through the document's cache. Needs the document lock.
std::shared_ptr<const PdfPageText> cachedPageText(const DocumentLock &lock, int pageIndex);

} // namespace folvan::engine::detail
