#include "annotations/ReflowTextMap.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

#include "annotations/Rects.h"

namespace folvan::annotations {

namespace {

bool isMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

bool isLetterMarkOrNumber(char32_t c)
{
    return QChar::isLetterOrNumber(c) || isMark(c);
}

QString filtered(const QString &text, bool (*keep)(char32_t))
{
    QString result;
    for (char32_t c : text.toUcs4()) {
        if (keep(c))
            result.append(QString::fromUcs4(&c, 1));
    }
    return result;
}

// The folded form of one composed character sequence.
QString fold(const QString &sequence)
{
    const QString decomposed = sequence.normalized(QString::NormalizationForm_KD);
    const QString baseOnly = filtered(decomposed, [](char32_t c) { return !isMark(c); });
    return filtered(baseOnly.toLower(), isLetterMarkOrNumber);
}

constexpr int kMaxPageText = 500000;
constexpr int kMaxMatches = 2000;
constexpr int kContext = 80;
constexpr size_t kMaxFragments = 250;

int commonSuffix(const QString &a, const QString &b)
{
    int n = 0;
    while (n < a.size() && n < b.size() && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

int commonPrefix(const QString &a, const QString &b)
{
    int n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

double area(const QRectF &r)
{
    return (maxX(r) - minX(r)) * (maxY(r) - minY(r));
}

} // namespace

FoldedText::FoldedText(const QString &input)
{
    if (input.isEmpty())
        return;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, input);
    int location = 0;
    while (location < input.size()) {
        finder.setPosition(location);
        qsizetype next = finder.toNextBoundary();
        if (next <= location)
            next = input.size();
        const QString piece = fold(input.mid(location, next - location));
        text.append(piece);
        starts.insert(starts.end(), piece.size(), location);
        ends.insert(ends.end(), piece.size(), int(next));
        location = int(next);
    }
}

std::optional<PageViewport> pageViewport(const engine::PdfPage &page)
{
    if (!page.isValid())
        return std::nullopt;
    const QSizeF size = page.displaySize();
    if (!(size.width() > 0) || !(size.height() > 0))
        return std::nullopt;
    return PageViewport{page.drawingTransform(), size};
}

std::optional<std::vector<double>> pageFractions(const QRectF &pageRect, const engine::PdfPage &page)
{
    const std::optional<PageViewport> view = pageViewport(page);
    if (!view)
        return std::nullopt;
    const QRectF mapped = view->transform.mapRect(pageRect.normalized());
    const std::optional<QRectF> clipped =
        intersection(mapped, QRectF(0, 0, view->size.width(), view->size.height()));
    if (!clipped || isEmptyRect(*clipped))
        return std::nullopt;
    const double width = view->size.width();
    const double height = view->size.height();
    return std::vector<double>{minX(*clipped) / width, 1 - maxY(*clipped) / height,
                               clipped->width() / width, clipped->height() / height};
}

std::optional<QRectF> passagePdfRect(const model::ReadingTextSource &source, const engine::PdfPage &page)
{
    if (source.pdfRect)
        return source.pdfRect;
    if (!source.rect || source.rect->size() != 4)
        return std::nullopt;
    const std::optional<PageViewport> view = pageViewport(page);
    if (!view)
        return std::nullopt;
    const std::vector<double> &f = *source.rect;
    const double width = view->size.width();
    const double height = view->size.height();
    const QRectF shown(f[0] * width, (1 - f[1] - f[3]) * height, f[2] * width, f[3] * height);
    bool invertible = false;
    const QTransform inverse = view->transform.inverted(&invertible);
    if (!invertible)
        return std::nullopt;
    return inverse.mapRect(shown);
}

std::optional<engine::PdfSelection> passageSelection(const model::ReadingTextSource &source,
                                                     const std::shared_ptr<engine::PdfDocument> &document)
{
    if (!document || !source.validated(document->pageCount()))
        return std::nullopt;
    const engine::PdfPage page = document->page(int(source.page));
    if (!page.isValid())
        return std::nullopt;
    const QString pageText = page.string();
    if (pageText.isEmpty() || pageText.size() > kMaxPageText)
        return std::nullopt;

    const FoldedText p(pageText);
    const FoldedText q(source.quote);
    const FoldedText b(source.before);
    const FoldedText a(source.after);
    if (q.text.isEmpty())
        return std::nullopt;

    std::optional<QRectF> hint = passagePdfRect(source, page);
    if (hint)
        hint = grown(*hint, 3, 3);

    struct Candidate {
        engine::PdfSelection selection;
        int score;
    };
    std::vector<Candidate> candidates;
    const int n = int(q.text.size());
    int from = 0;
    for (int examined = 0; examined < kMaxMatches && from < p.text.size(); ++examined) {
        const int m = int(p.text.indexOf(q.text, from));
        if (m < 0)
            break;
        from = std::max(m + n, m + 1);
        const int start = p.starts[m];
        const int end = p.ends[m + n - 1];
        engine::PdfSelection found = page.selection(engine::PdfTextRange{start, end - start});
        if (found.isEmpty())
            continue;
        if (hint) {
            const QRectF bounds = found.bounds(page);
            const std::optional<QRectF> common = intersection(bounds, *hint);
            if (!common || !(area(bounds) > 0) || area(*common) / area(bounds) < 0.7)
                continue;
        }
        const int beforeStart = std::max(0, m - kContext);
        const QString beforeWindow = p.text.mid(beforeStart, m - beforeStart);
        const QString afterWindow = p.text.mid(m + n, kContext);
        candidates.push_back({found, commonSuffix(beforeWindow, b.text) + commonPrefix(afterWindow, a.text)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &x, const Candidate &y) { return x.score > y.score; });
    if (candidates.empty())
        return std::nullopt;
    if (candidates.size() == 1)
        return candidates.front().selection;
    if (candidates[0].score > 3 && candidates[0].score - candidates[1].score > 2)
        return candidates.front().selection;
    return std::nullopt;
}

std::vector<model::ReadingTextSource> selectionPassages(const engine::PdfSelection &selection,
                                                        const std::shared_ptr<engine::PdfDocument> &document)
{
    std::vector<model::ReadingTextSource> result;
    const std::vector<engine::PdfSelection> lines = selection.selectionsByLine();
    for (const engine::PdfPage &page : selection.pages()) {
        if (!document || page.document() != document || !page.isValid())
            continue;
        QStringList texts;
        for (const engine::PdfSelection &line : lines) {
            const std::vector<engine::PdfPage> pages = line.pages();
            if (std::find(pages.begin(), pages.end(), page) == pages.end())
                continue;
            const QString text = line.string();
            if (!text.isEmpty())
                texts.append(text);
        }
        const QString quote = texts.join(u'\n');
        if (quote.isEmpty())
            continue;
        const QRectF bounds = selection.bounds(page);
        model::ReadingTextSource source;
        source.page = page.index();
        source.quote = quote;
        source.rect = pageFractions(bounds, page);
        source.pdfRect = bounds;
        result.push_back(std::move(source));
    }
    return result;
}

std::vector<platform::json> reflowFragments(const ReadingAnnotationItem &item, const engine::PdfPage &page)
{
    std::vector<platform::json> result;
    const QString pageText = page.string();
    const size_t count = std::min(item.rectangles.size(), kMaxFragments);
    for (size_t i = 0; i < count; ++i) {
        const QRectF &r = item.rectangles[i];
        const std::optional<std::vector<double>> fractions = pageFractions(r, page);
        if (!fractions)
            continue;
        const double inset = 0.12 * (maxY(r) - minY(r));
        const engine::PdfSelection under = page.selection(grown(r, 0, -inset));
        const QString text = under.isEmpty() ? QString() : under.string();
        if (text.isEmpty())
            continue;
        QString before;
        QString after;
        const std::vector<engine::PdfTextRange> ranges = under.ranges(page);
        if (!ranges.empty() && !pageText.isEmpty()) {
            const engine::PdfTextRange first = ranges.front();
            if (first.location >= 0 && first.end() <= pageText.size()) {
                before = pageText.mid(std::max(0, first.location - kContext), std::min(first.location, kContext));
                after = pageText.mid(first.end(), std::min<qsizetype>(kContext, pageText.size() - first.end()));
            }
        }
        platform::json fragment = platform::json::object();
        fragment["id"] = platform::utf8(item.id);
        fragment["page"] = item.page;
        fragment["kind"] = platform::utf8(item.kind);
        fragment["note"] = platform::utf8(item.note);
        fragment["quote"] = platform::utf8(text);
        fragment["before"] = platform::utf8(before);
        fragment["after"] = platform::utf8(after);
        fragment["rect"] = *fractions;
        fragment["color"] = {item.color.red, item.color.green, item.color.blue};
        result.push_back(std::move(fragment));
    }
    return result;
}

} // namespace folvan::annotations
