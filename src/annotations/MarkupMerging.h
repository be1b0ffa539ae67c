#pragma once

// How a new highlight or underline takes in the annotations of its kind
// that it overlaps on a page, and how their notes are joined.

#include <QRectF>
#include <QString>

#include <vector>

namespace folvan::annotations {

// Two rectangles overlap when they share more than 0.5 points of width and
// more than 0.4 of the smaller height.
bool overlaps(const QRectF &a, const QRectF &b);

struct MergeResult {
    // The new lines followed by the rectangles of every merged candidate.
    std::vector<QRectF> region;
    // Indexes into the candidates, in the order they were merged.
    std::vector<size_t> merged;
};

// Grows the region from `lines` by every candidate that overlaps it, again
// and again, so that a candidate touching only an earlier merged one is
// merged too.
MergeResult mergeOverlapping(const std::vector<QRectF> &lines,
                             const std::vector<std::vector<QRectF>> &candidates);

// The merged notes (empty ones left out), then the new note trimmed when it
// is new, without repeats, joined by a blank line.
QString joinNotes(const std::vector<QString> &mergedNotes, const QString &note);

} // namespace folvan::annotations
