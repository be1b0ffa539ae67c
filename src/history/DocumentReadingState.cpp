#include "history/DocumentReadingState.h"
#include "platform/BookSettings.h"
#include "platform/ReaderPreferences.h"

#include <algorithm>
#include <cmath>

namespace folvan::history {

namespace {

double clampedFinite(double value, double low, double high, double fallback)
{
    return std::isfinite(value) ? std::clamp(value, low, high) : fallback;
}

std::optional<qint64> clampedOptional(std::optional<qint64> value, qint64 high)
{
    if (!value)
        return std::nullopt;
    return std::clamp<qint64>(*value, 0, high);
}

} // namespace

DocumentReadingState DocumentReadingState::normalized(qint64 pageCount) const
{
    DocumentReadingState result = *this;
    const qint64 upper = pageCount > 0 ? pageCount - 1 : 0;
    result.page = std::min(upper, std::max<qint64>(page, 0));
    result.zoom = clampedFinite(zoom, platform::kMinZoom, platform::kMaxZoom, 1.0);
    result.angle = platform::booksetting::angle.held(angle);
    result.reflowBlock = clampedOptional(reflowBlock, 10000);
    result.reflowOffset = clampedOptional(reflowOffset, 100000);
    return result;
}

} // namespace folvan::history
