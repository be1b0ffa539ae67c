#include "engine/PdfSearch.h"

#include "engine/PdfDocument.h"
#include "engine/detail/PageText.h"

namespace folvan::engine {

namespace {

// Folds one code unit for comparison.
inline char16_t fold(QChar c, bool caseInsensitive)
{
    if (c.isSpace())
        return u' ';
    return caseInsensitive ? c.toCaseFolded().unicode() : c.unicode();
}

} // namespace

std::vector<PdfSelection> findAll(const std::shared_ptr<PdfDocument> &document, const QString &query,
                                  PdfSearchOptions options, const std::atomic_bool *stop)
{
    std::vector<PdfSelection> matches;
    if (!document || query.isEmpty())
        return matches;
    std::u16string needle;
    needle.reserve(size_t(query.size()));
    for (QChar c : query)
        needle.push_back(fold(c, options.caseInsensitive));

    std::u16string hay;
    const int pages = document->pageCount();
    for (int p = 0; p < pages; ++p) {
        if (stop && stop->load(std::memory_order_relaxed))
            break;
        std::shared_ptr<const PdfPageText> text;
        {
            // Searching passes over every page once: the texts are not kept.
            detail::DocumentLock lock(*document);
            text = lock.impl().cachedText(p);
            if (!text)
                text = detail::buildPageText(lock, p, false);
        }
        hay.resize(size_t(text->string.size()));
        for (qsizetype i = 0; i < text->string.size(); ++i)
            hay[size_t(i)] = fold(text->string[i], options.caseInsensitive);
        const PdfPage page = document->page(p);
        size_t from = 0;
        while (true) {
            const size_t at = hay.find(needle, from);
            if (at == std::u16string::npos)
                break;
            matches.emplace_back(page, PdfTextRange{int(at), int(needle.size())});
            from = at + needle.size();
        }
    }
    return matches;
}

} // namespace folvan::engine
