#include "model/ReadingTextSource.h"

#include "platform/StoredJson.h"

#include <cmath>

namespace folvan::model {

namespace {

using platform::json;
using platform::readOptional;
using platform::readRequired;
using platform::utf8;

constexpr std::int64_t kMaxQuoteUnits = 20000;
constexpr std::int64_t kMaxOffset = 500000;
constexpr std::int64_t kMaxBlock = 20000;
constexpr std::int64_t kMaxContextUnits = 256;
constexpr double kEdgeTolerance = 1.002;

bool sameText(const QString &a, const QString &b)
{
    return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool sameOptionalText(const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

bool validFractionRect(const std::vector<double> &r)
{
    if (r.size() != 4)
        return false;
    for (double v : r)
        if (!std::isfinite(v))
            return false;
    const double x = r[0], y = r[1], w = r[2], h = r[3];
    return x >= 0 && y >= 0 && w > 0 && h > 0 && x + w <= kEdgeTolerance && y + h <= kEdgeTolerance;
}

// Exact comparison of rectangles after bringing both to non-negative size;
// a NaN never compares equal.
bool sameRect(const QRectF &a, const QRectF &b)
{
    const QRectF na = a.normalized();
    const QRectF nb = b.normalized();
    return na.x() == nb.x() && na.y() == nb.y() && na.width() == nb.width()
        && na.height() == nb.height();
}

bool validPdfRect(const QRectF &r)
{
    const QRectF n = r.normalized();
    if (!std::isfinite(n.x()) || !std::isfinite(n.y()) || !std::isfinite(n.width())
        || !std::isfinite(n.height()))
        return false;
    return n.width() != 0 && n.height() != 0;
}

} // namespace

std::optional<ReadingTextSource> ReadingTextSource::validated(std::int64_t pageCount) const
{
    if (page < 0 || page >= pageCount)
        return std::nullopt;
    if (quote.trimmed().isEmpty() || quote.size() > kMaxQuoteUnits)
        return std::nullopt;
    if (start < 0 || end < start || end > kMaxOffset)
        return std::nullopt;
    if (block && (*block < 0 || *block > kMaxBlock))
        return std::nullopt;
    if (before.size() > kMaxContextUnits || after.size() > kMaxContextUnits)
        return std::nullopt;
    if (rect && !validFractionRect(*rect))
        return std::nullopt;
    if (pdfRect && !validPdfRect(*pdfRect))
        return std::nullopt;
    return *this;
}

json ReadingTextSource::dictionary() const
{
    const json j = *this;
    // Encoding fails on a number that is not finite.
    if (!platform::encodeStoredJson(j, nullptr, nullptr))
        return json::object();
    return j;
}

bool operator==(const ReadingTextSource &a, const ReadingTextSource &b)
{
    if (a.page != b.page || a.start != b.start || a.end != b.end || a.block != b.block)
        return false;
    if (!sameOptionalText(a.key, b.key) || !sameText(a.quote, b.quote)
        || !sameText(a.before, b.before) || !sameText(a.after, b.after))
        return false;
    // Element-wise `==` so that a NaN never compares equal.
    if (a.rect.has_value() != b.rect.has_value())
        return false;
    if (a.rect) {
        if (a.rect->size() != b.rect->size())
            return false;
        for (std::size_t i = 0; i < a.rect->size(); ++i)
            if (!((*a.rect)[i] == (*b.rect)[i]))
                return false;
    }
    if (a.pdfRect.has_value() != b.pdfRect.has_value())
        return false;
    return !a.pdfRect || sameRect(*a.pdfRect, *b.pdfRect);
}

void to_json(json &j, const ReadingTextSource &s)
{
    j = json::object();
    j["page"] = s.page;
    if (s.block)
        j["block"] = *s.block;
    if (s.key)
        j["key"] = utf8(*s.key);
    j["start"] = s.start;
    j["end"] = s.end;
    j["quote"] = utf8(s.quote);
    j["before"] = utf8(s.before);
    j["after"] = utf8(s.after);
    if (s.rect)
        j["rect"] = *s.rect;
    if (s.pdfRect)
        j["pdfRect"] = platform::rectangleJson(*s.pdfRect);
}

void from_json(const json &j, ReadingTextSource &s)
{
    ReadingTextSource r;
    r.page = readRequired<std::int64_t>(j, "page");
    r.block = readOptional<std::int64_t>(j, "block");
    r.key = readOptional<QString>(j, "key");
    r.start = readRequired<std::int64_t>(j, "start");
    r.end = readRequired<std::int64_t>(j, "end");
    r.quote = readRequired<QString>(j, "quote");
    r.before = readRequired<QString>(j, "before");
    r.after = readRequired<QString>(j, "after");
    r.rect = readOptional<std::vector<double>>(j, "rect");
    if (const json *value = platform::member(j, "pdfRect"))
        r.pdfRect = platform::readJson<QRectF>(*value, "rectangle");
    s = std::move(r);
}

} // namespace folvan::model
