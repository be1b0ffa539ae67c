#include "engine/PdfSelection.h"

#include <algorithm>

#include "engine/PdfDocument.h"

namespace folvan::engine {

PdfSelection::PdfSelection(std::shared_ptr<PdfDocument> document) : m_document(std::move(document)) {}

PdfSelection::PdfSelection(const PdfPage &page, PdfTextRange range) : m_document(page.document())
{
    if (page.isValid())
        addRange(page.index(), range);
}

PdfSelection::PdfSelection(const PdfPage &page, const std::vector<PdfTextRange> &ranges) : m_document(page.document())
{
    if (page.isValid()) {
        for (const PdfTextRange &range : ranges)
            addRange(page.index(), range);
    }
}

void PdfSelection::addRange(int pageIndex, PdfTextRange range)
{
    if (range.length <= 0 || range.location < 0)
        return;
    std::vector<PdfTextRange> &ranges = m_ranges[pageIndex];
    ranges.push_back(range);
    std::sort(ranges.begin(), ranges.end(),
              [](const PdfTextRange &a, const PdfTextRange &b) { return a.location < b.location; });
    // Merge overlapping and touching ranges.
    std::vector<PdfTextRange> merged;
    for (const PdfTextRange &r : ranges) {
        if (!merged.empty() && r.location <= merged.back().end())
            merged.back().length = std::max(merged.back().end(), r.end()) - merged.back().location;
        else
            merged.push_back(r);
    }
    ranges = std::move(merged);
}

std::vector<PdfPage> PdfSelection::pages() const
{
    std::vector<PdfPage> result;
    if (!m_document)
        return result;
    for (const auto &entry : m_ranges)
        result.push_back(m_document->page(entry.first));
    return result;
}

std::vector<PdfTextRange> PdfSelection::ranges(int pageIndex) const
{
    auto it = m_ranges.find(pageIndex);
    return it == m_ranges.end() ? std::vector<PdfTextRange>() : it->second;
}

QString PdfSelection::string() const
{
    QString result;
    if (!m_document)
        return result;
    bool first = true;
    for (const auto &[pageIndex, ranges] : m_ranges) {
        const QString pageString = m_document->page(pageIndex).string();
        for (const PdfTextRange &range : ranges) {
            if (!first)
                result.append(QLatin1Char('\n'));
            first = false;
            result.append(pageString.mid(range.location, range.length));
        }
    }
    return result;
}

QRectF PdfSelection::bounds(const PdfPage &page) const
{
    QRectF result;
    if (!m_document || page.document() != m_document)
        return result;
    auto it = m_ranges.find(page.index());
    if (it == m_ranges.end())
        return result;
    auto text = page.text();
    for (const PdfTextRange &range : it->second) {
        for (int i = range.location; i < range.end() && i < int(text->boxes.size()); ++i) {
            const QRectF &box = text->boxes[size_t(i)];
            if (box.width() > 0 && box.height() > 0)
                result |= box;
        }
    }
    return result;
}

std::vector<PdfSelection> PdfSelection::selectionsByLine() const
{
    std::vector<PdfSelection> result;
    if (!m_document)
        return result;
    for (const auto &[pageIndex, ranges] : m_ranges) {
        const PdfPage page = m_document->page(pageIndex);
        auto text = page.text();
        for (const PdfTextRange &range : ranges) {
            // Cut the range at line boundaries; separators are left out.
            for (const PdfTextSpan &line : text->lines) {
                const int start = std::max(range.location, line.range.location);
                const int end = std::min(range.end(), line.range.end());
                if (end > start)
                    result.emplace_back(page, PdfTextRange{start, end - start});
            }
        }
    }
    return result;
}

void PdfSelection::add(const PdfSelection &other)
{
    if (other.isEmpty())
        return;
    if (!m_document)
        m_document = other.m_document;
    if (other.m_document != m_document)
        return;
    for (const auto &[pageIndex, ranges] : other.m_ranges) {
        for (const PdfTextRange &range : ranges)
            addRange(pageIndex, range);
    }
}

void PdfSelection::extend(int atEnd, int atStart)
{
    if (!m_document || m_ranges.empty())
        return;
    {
        auto &[pageIndex, ranges] = *m_ranges.rbegin();
        const int count = m_document->page(pageIndex).characterCount();
        PdfTextRange &last = ranges.back();
        last.length = std::clamp(last.end() + atEnd, last.location, count) - last.location;
    }
    {
        auto &ranges = m_ranges.begin()->second;
        PdfTextRange &first = ranges.front();
        const int end = first.end();
        first.location = std::clamp(first.location - atStart, 0, end);
        first.length = end - first.location;
    }
    // Drop ranges that shrank to nothing and merge those that now touch.
    std::map<int, std::vector<PdfTextRange>> old;
    std::swap(old, m_ranges);
    for (const auto &[pageIndex, ranges] : old) {
        for (const PdfTextRange &range : ranges)
            addRange(pageIndex, range);
    }
}

} // namespace folvan::engine
