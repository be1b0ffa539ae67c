#include "model/ReadingLocation.h"

#include "model/JsonValues.h"

#include <cmath>

namespace folvan::model {

bool operator==(const ReadingLocation &a, const ReadingLocation &b)
{
    if (a.page != b.page || a.source != b.source || a.point.has_value() != b.point.has_value())
        return false;
    // Plain coordinate comparison: QPointF's own == is fuzzy.
    return !a.point || (a.point->x() == b.point->x() && a.point->y() == b.point->y());
}

bool ReadingLocation::hasFinitePoint() const
{
    return !point || (std::isfinite(point->x()) && std::isfinite(point->y()));
}

void to_json(json::Json &j, const ReadingLocation &location)
{
    j = json::Json::object();
    j["page"] = location.page;
    if (location.source)
        j["source"] = *location.source;
    if (location.point)
        j["point"] = json::pointToJson(*location.point);
}

void from_json(const json::Json &j, ReadingLocation &location)
{
    ReadingLocation result;
    result.page = json::requireInt(j, "page");
    if (const json::Json *source = json::member(j, "source"); source && !source->is_null())
        result.source = source->get<ReadingTextSource>();
    if (const json::Json *point = json::member(j, "point"); point && !point->is_null())
        result.point = json::pointFromJson(*point);
    location = std::move(result);
}

} // namespace folvan::model
