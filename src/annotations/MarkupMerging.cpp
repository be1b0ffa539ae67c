#include "annotations/MarkupMerging.h"

#include <QStringList>

#include <algorithm>

#include "annotations/Rects.h"

namespace folvan::annotations {

bool overlaps(const QRectF &a, const QRectF &b)
{
    const std::optional<QRectF> common = intersection(a, b);
    if (!common)
        return false;
    const double smallerHeight = std::min(maxY(a) - minY(a), maxY(b) - minY(b));
    return common->width() > 0.5 && common->height() > 0.4 * smallerHeight;
}

MergeResult mergeOverlapping(const std::vector<QRectF> &lines, const std::vector<std::vector<QRectF>> &candidates)
{
    MergeResult result{lines, {}};
    std::vector<size_t> remaining(candidates.size());
    for (size_t i = 0; i < remaining.size(); ++i)
        remaining[i] = i;
    bool grew = true;
    while (grew && !remaining.empty()) {
        grew = false;
        for (auto it = remaining.begin(); it != remaining.end(); ++it) {
            const std::vector<QRectF> &rects = candidates[*it];
            const bool touches = std::any_of(result.region.begin(), result.region.end(), [&](const QRectF &e) {
                return std::any_of(rects.begin(), rects.end(), [&](const QRectF &n) { return overlaps(e, n); });
            });
            if (touches) {
                result.merged.push_back(*it);
                result.region.insert(result.region.end(), rects.begin(), rects.end());
                remaining.erase(it);
                grew = true;
                break;
            }
        }
    }
    return result;
}

QString joinNotes(const std::vector<QString> &mergedNotes, const QString &note)
{
    QStringList notes;
    for (const QString &n : mergedNotes) {
        if (!n.isEmpty())
            notes << n;
    }
    const QString trimmed = note.trimmed();
    if (!trimmed.isEmpty() && !notes.contains(trimmed))
        notes << trimmed;
    notes.removeDuplicates();
    return notes.join(QStringLiteral("\n\n"));
}

} // namespace folvan::annotations
