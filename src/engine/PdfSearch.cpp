#include "engine/PdfSearch.h"

#include "engine/PdfDocument.h"
#include "engine/detail/PageText.h"

#include <algorithm>

namespace folvan::engine {

namespace {

// Folds one code unit for comparison.
inline char16_t fold(QChar c, bool caseInsensitive)
{
    if (c.isSpace())
        return u' ';
    return caseInsensitive ? c.toCaseFolded().unicode() : c.unicode();
}

std::u16string folded(const QString &string, bool caseInsensitive)
{
    std::u16string result(size_t(string.size()), u' ');
    for (qsizetype i = 0; i < string.size(); ++i)
        result[size_t(i)] = fold(string[i], caseInsensitive);
    return result;
}

// Whether the code unit at `i` of a page string is a hyphen that breaks a
// word at the end of a line: a letter before it, the line separator after
// it and a letter after that.
bool breaksWordAtLineEnd(const QString &string, size_t i)
{
    if (i < 1 || i + 2 >= size_t(string.size()))
        return false;
    const QChar c = string[qsizetype(i)];
    const bool hyphen = c == u'-' || c == QChar(0x2010) || c == QChar(0x00AD);
    return hyphen && string[qsizetype(i + 1)] == u'\n' && string[qsizetype(i - 1)].isLetter()
           && string[qsizetype(i + 2)].isLetter();
}

// Where a match of needle[j...] that starts at hay[i] ends, or npos. The
// needle matches as typed; a word hyphenated at a line's end also matches
// whole ("proceed-" "ings" as "proceedings"), and so does a hyphenated word
// broken at its own hyphen ("camera-" "ready" as "camera-ready").
size_t matchEnd(const QString &string, const std::u16string &hay, const std::u16string &needle, size_t i, size_t j)
{
    for (; j < needle.size(); ++i, ++j) {
        if (j > 0 && breaksWordAtLineEnd(string, i)) {
            if (const size_t end = matchEnd(string, hay, needle, i + 2, j); end != std::u16string::npos)
                return end;
            if (hay[i] == needle[j]) {
                if (const size_t end = matchEnd(string, hay, needle, i + 2, j + 1); end != std::u16string::npos)
                    return end;
            }
        }
        if (i >= hay.size() || hay[i] != needle[j])
            return std::u16string::npos;
    }
    return i;
}

// The places of `needle` in `string`, matches not overlapping.
std::vector<PdfTextRange> matchesIn(const QString &string, const std::u16string &needle, bool caseInsensitive)
{
    std::vector<PdfTextRange> ranges;
    const std::u16string hay = folded(string, caseInsensitive);
    for (size_t at = hay.find(needle[0]); at != std::u16string::npos;) {
        const size_t end = matchEnd(string, hay, needle, at, 0);
        if (end == std::u16string::npos) {
            at = hay.find(needle[0], at + 1);
            continue;
        }
        ranges.push_back({int(at), int(end - at)});
        at = hay.find(needle[0], end);
    }
    return ranges;
}

} // namespace

std::vector<QRectF> lineBounds(const PdfPageText &text, PdfTextRange range)
{
    std::vector<QRectF> result;
    const int count = int(text.boxes.size());
    for (const PdfTextSpan &line : text.lines) {
        // Separators between lines have no box and belong to no piece.
        const int start = std::max(range.location, line.range.location);
        const int end = std::min({range.end(), line.range.end(), count});
        QRectF bounds;
        for (int i = start; i < end; ++i) {
            const QRectF &box = text.boxes[size_t(i)];
            if (box.width() > 0 && box.height() > 0)
                bounds |= box;
        }
        if (!bounds.isEmpty())
            result.push_back(bounds);
    }
    return result;
}

bool searchPages(const std::shared_ptr<PdfDocument> &document, const QString &query, PdfSearchOptions options,
                 const std::atomic_bool *stop, const std::function<void(PdfPageMatches &&)> &found)
{
    if (!document || query.isEmpty())
        return true;
    const std::u16string needle = folded(query, options.caseInsensitive);
    const int pages = document->pageCount();
    for (int p = 0; p < pages; ++p) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        PdfPageMatches matches;
        matches.page = p;
        std::shared_ptr<const PdfPageText> text;
        {
            detail::DocumentLock lock(*document);
            text = lock.impl().cachedText(p);
            // Searching passes over every page once: the texts read here
            // are not kept, and only pages with matches get their boxes.
            if (!text) {
                text = detail::buildPageText(lock, p, [&](const QString &string) {
                    matches.ranges = matchesIn(string, needle, options.caseInsensitive);
                    return !matches.ranges.empty();
                });
            } else {
                matches.ranges = matchesIn(text->string, needle, options.caseInsensitive);
            }
        }
        if (matches.ranges.empty())
            continue;
        matches.lineBounds.reserve(matches.ranges.size());
        for (const PdfTextRange &range : matches.ranges)
            matches.lineBounds.push_back(lineBounds(*text, range));
        found(std::move(matches));
    }
    return true;
}

std::vector<PdfSelection> findAll(const std::shared_ptr<PdfDocument> &document, const QString &query,
                                  PdfSearchOptions options, const std::atomic_bool *stop)
{
    std::vector<PdfSelection> matches;
    searchPages(document, query, options, stop, [&](PdfPageMatches &&page) {
        const PdfPage at = document->page(page.page);
        for (const PdfTextRange &range : page.ranges)
            matches.emplace_back(at, range);
    });
    return matches;
}

} // namespace folvan::engine
