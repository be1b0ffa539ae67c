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

void to_json(Json &j, const ReadingLocation &location)
{
    j = Json::object();
    j["page"] = location.page;
    if (location.source)
        j["source"] = *location.source;
    if (location.point)
        j["point"] = pointToJson(*location.point);
}

void from_json(const Json &j, ReadingLocation &location)
{
    ReadingLocation result;
    result.page = requireInt(j, "page");
    if (const Json *source = member(j, "source"); source && !source->is_null())
        result.source = source->get<ReadingTextSource>();
    if (const Json *point = member(j, "point"); point && !point->is_null())
        result.point = pointFromJson(*point);
    location = std::move(result);
}

} // namespace folvan::model
