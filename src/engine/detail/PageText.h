#pragma once

// Internal to the engine: building a page's text from MuPDF's structured
// text.

#include <functional>
#include <memory>

#include "engine/PdfPage.h"
#include "engine/detail/DocumentImpl.h"

namespace folvan::engine::detail {

// Builds the text of a page (without using the cache); an empty text when
// the page cannot be read. With `geometry` false only the string is made:
// no boxes, lines or words. Needs the document lock.
std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex, bool geometry = true);

// As above, the string made first: `wantsGeometry` is asked of it whether
// the boxes, lines and words are made as well.
std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex,
                                                 const std::function<bool(const QString &)> &wantsGeometry);

// The text of a page through the document's cache. Needs the document lock.
std::shared_ptr<const PdfPageText> cachedPageText(const DocumentLock &lock, int pageIndex);

} // namespace folvan::engine::detail
