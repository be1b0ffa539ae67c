#pragma once

// A reading position: a page, optionally the passage the reader was at and
// optionally a point on the page (PDF page space). Stored inside bookmarks.

#include "model/ReadingTextSource.h"

#include <QPointF>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>

namespace folvan::model {

struct ReadingLocation {
    std::int64_t page = 0;
    std::optional<ReadingTextSource> source;
    std::optional<QPointF> point;

    // Page equal, sources both absent or equal, points both absent or with
    // exactly equal coordinates (a NaN coordinate never compares equal).
    friend bool operator==(const ReadingLocation &a, const ReadingLocation &b);

    // Whether the point, when present, has finite coordinates.
    bool hasFinitePoint() const;
};

// JSON: {"page": n, "source": {...}, "point": [x, y]}; "source" and "point"
// only when present. "page" is required; other keys are ignored.
void to_json(nlohmann::ordered_json &j, const ReadingLocation &location);
void from_json(const nlohmann::ordered_json &j, ReadingLocation &location);

} // namespace folvan::model
