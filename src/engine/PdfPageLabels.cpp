#include "engine/PdfPageLabels.h"

#include "engine/PdfDocument.h"
#include "engine/detail/DocumentImpl.h"

#include <algorithm>
#include <limits>

namespace folvan::engine {

namespace {

// Nesting deeper than this in a number tree is taken as damage.
constexpr int kMaxTreeDepth = 32;

struct LabelCollector {
    std::vector<PdfPageLabelRange> ranges;
};

void addLabel(LabelCollector *out, int key, const char *style, const char *prefixUtf8, int start)
{
    PdfPageLabelRange range;
    range.firstPage = key;
    range.style = style && style[0] && !style[1] ? style[0] : 0;
    if (!QByteArrayView("DRrAa").contains(range.style))
        range.style = 0;
    range.prefix = QString::fromUtf8(prefixUtf8 ? prefixUtf8 : "");
    range.start = std::max(1, start);
    out->ranges.push_back(std::move(range));
}

// Walks a number tree node. Runs inside the caller's fz_try; holds no C++
// object across MuPDF calls.
void walkNumberTree(fz_context *ctx, pdf_obj *node, pdf_cycle_list *up, int depth, LabelCollector *out)
{
    pdf_cycle_list cycle;
    if (!pdf_is_dict(ctx, node) || depth > kMaxTreeDepth || pdf_cycle(ctx, &cycle, up, node))
        return;
    pdf_obj *nums = pdf_dict_get(ctx, node, PDF_NAME(Nums));
    const int count = pdf_array_len(ctx, nums);
    for (int i = 0; i + 1 < count; i += 2) {
        pdf_obj *key = pdf_array_get(ctx, nums, i);
        pdf_obj *label = pdf_array_get(ctx, nums, i + 1);
        if (!pdf_is_int(ctx, key) || pdf_to_int(ctx, key) < 0 || !pdf_is_dict(ctx, label))
            continue;
        pdf_obj *start = pdf_dict_gets(ctx, label, "St");
        addLabel(out, pdf_to_int(ctx, key), pdf_to_name(ctx, pdf_dict_get(ctx, label, PDF_NAME(S))),
                 pdf_to_text_string(ctx, pdf_dict_get(ctx, label, PDF_NAME(P))),
                 pdf_is_int(ctx, start) ? pdf_to_int(ctx, start) : 1);
    }
    pdf_obj *kids = pdf_dict_get(ctx, node, PDF_NAME(Kids));
    const int kidCount = pdf_array_len(ctx, kids);
    for (int i = 0; i < kidCount; ++i)
        walkNumberTree(ctx, pdf_array_get(ctx, kids, i), &cycle, depth + 1, out);
}

int readPageLabels(fz_context *ctx, pdf_document *doc, LabelCollector *out)
{
    int ok = 1;
    fz_try(ctx)
    {
        pdf_obj *root = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Root));
        walkNumberTree(ctx, pdf_dict_gets(ctx, root, "PageLabels"), nullptr, 0, out);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

QString roman(int number)
{
    static const std::pair<int, const char *> digits[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
        {50, "l"},   {40, "xl"},  {10, "x"},  {9, "ix"},   {5, "v"},   {4, "iv"}, {1, "i"},
    };
    QString text;
    for (const auto &[value, letters] : digits) {
        while (number >= value) {
            text += QLatin1String(letters);
            number -= value;
        }
    }
    return text;
}

} // namespace

QString formatPageNumber(int number, char style)
{
    // Roman numerals and letters of hostile sizes would make huge strings;
    // such numbers are written in decimal.
    constexpr int kMaxRoman = 3999;
    constexpr int kMaxLetters = 26 * 100;
    if (number < 1 || ((style == 'R' || style == 'r') && number > kMaxRoman)
        || ((style == 'A' || style == 'a') && number > kMaxLetters))
        style = 'D';
    switch (style) {
    case 'R': return roman(number).toUpper();
    case 'r': return roman(number);
    case 'A':
    case 'a': {
        // 1..26 = A..Z, 27..52 = AA..ZZ, and so on.
        const QChar letter(char16_t((style == 'A' ? u'A' : u'a') + (number - 1) % 26));
        return QString((number - 1) / 26 + 1, letter);
    }
    default: return QString::number(number);
    }
}

std::vector<PdfPageLabelRange> pageLabelRanges(const PdfDocument &document)
{
    detail::DocumentLock lock(document);
    LabelCollector collector;
    if (!lock.pdf() || !readPageLabels(lock.ctx(), lock.pdf(), &collector))
        collector.ranges.clear();
    std::vector<PdfPageLabelRange> &ranges = collector.ranges;
    // Sorted by first page; the first range given for a page wins.
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const PdfPageLabelRange &a, const PdfPageLabelRange &b) { return a.firstPage < b.firstPage; });
    ranges.erase(std::unique(ranges.begin(), ranges.end(),
                             [](const PdfPageLabelRange &a, const PdfPageLabelRange &b) {
                                 return a.firstPage == b.firstPage;
                             }),
                 ranges.end());
    return ranges;
}

QString pageLabel(const std::vector<PdfPageLabelRange> &ranges, int pageIndex)
{
    if (pageIndex < 0)
        return {};
    auto after = std::upper_bound(ranges.begin(), ranges.end(), pageIndex,
                                  [](int page, const PdfPageLabelRange &r) { return page < r.firstPage; });
    if (after == ranges.begin())
        return {};
    const PdfPageLabelRange &range = *std::prev(after);
    QString label = range.prefix;
    if (range.style)
        label += formatPageNumber(int(std::min<qint64>(qint64(range.start) + (pageIndex - range.firstPage),
                                                        std::numeric_limits<int>::max())),
                                  range.style);
    return label;
}

QString pageLabel(const PdfDocument &document, int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= document.pageCount())
        return {};
    return pageLabel(pageLabelRanges(document), pageIndex);
}

} // namespace folvan::engine
