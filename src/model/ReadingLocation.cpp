#include "model/ReadingLocation.h"

#include "platform/StoredJson.h"

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

void to_json(platform::json &j, const ReadingLocation &location)
{
    j = platform::json::object();
    j["page"] = location.page;
    if (location.source)
        j["source"] = *location.source;
    if (location.point)
        j["point"] = platform::pointJson(*location.point);
}

void from_json(const platform::json &j, ReadingLocation &location)
{
    ReadingLocation result;
    result.page = platform::readRequired<std::int64_t>(j, "page");
    if (const platform::json *source = platform::member(j, "source"))
        result.source = source->get<ReadingTextSource>();
    result.point = platform::readOptional<QPointF>(j, "point");
    location = std::move(result);
}

} // namespace folvan::model
