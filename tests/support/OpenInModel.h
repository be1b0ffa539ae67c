#pragma once

#include "model/SharedPDFViewModel.h"

#include <QUrl>

#include <functional>

namespace folvan::test {

// Opens `document`, read from `url`, in `model` as a pane does: the model
// hears that it is opening, its side files are read (the bookmarks, and
// what `readSideFiles` reads besides), then it hears that the paper opened
// at `page` (the page shown and asked for).
inline void openInModel(model::SharedPDFViewModel &model, const model::PdfDocumentPtr &document, const QUrl &url,
                        int page = 0, const std::function<void()> &readSideFiles = {})
{
    model.documentOpening(document);
    if (readSideFiles)
        readSideFiles();
    model.loadBookmarks(url, document);
    model::OpenedDocument opened;
    opened.document = document;
    opened.url = url;
    opened.page = page;
    model.documentOpened(std::move(opened));
}

// As openInModel, and the page view has shown the page asked for.
inline void openAndShowInModel(model::SharedPDFViewModel &model, const model::PdfDocumentPtr &document,
                               const QUrl &url, int page = 0, const std::function<void()> &readSideFiles = {})
{
    openInModel(model, document, url, page, readSideFiles);
    model.requestCarriedOut(document, page);
}

} // namespace folvan::test
