#include "annotations/ReadingMarkup.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace folvan::annotations {

namespace {

using platform::json;
using platform::readOptional;
using platform::readRequired;
using platform::utf8;
using Found = platform::JsonDecodingError::Found;

bool sameNumber(double a, double b)
{
    return a == b;
}

bool sameRects(const std::vector<QRectF> &a, const std::vector<QRectF> &b)
{
    // QRectF's own comparison is fuzzy; stored rectangles compare exactly.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const QRectF &r, const QRectF &s) {
        return sameNumber(r.x(), s.x()) && sameNumber(r.y(), s.y())
            && sameNumber(r.width(), s.width()) && sameNumber(r.height(), s.height());
    });
}

// A fault of a markup, told as the markup file tells it: "\"page\":
// missing", "\"page\": not an integer".
std::string faultText(const platform::JsonDecodingError &fault)
{
    if (fault.key().empty())
        return fault.what();
    const std::string key = "\"" + fault.key() + "\": ";
    if (fault.missing())
        return key + "missing";
    switch (fault.expected()) {
    case platform::JsonKind::Uuid:
        return key + "not a UUID";
    case platform::JsonKind::Integer:
        return key + "not an integer";
    case platform::JsonKind::String:
        return key + "not a string";
    case platform::JsonKind::Number:
        return key + "not a number";
    case platform::JsonKind::Array:
        return key + "not an array";
    case platform::JsonKind::Rectangle:
        return key + "not a rectangle";
    default:
        return fault.what();
    }
}

// A markup's rectangle holds exactly two pairs.
QRectF markupRect(const json &value)
{
    const auto pair = [](const json &v) { return v.is_array() && v.size() == 2; };
    if (!pair(value) || !pair(value[0]) || !pair(value[1]))
        throw platform::JsonDecodingError("rectangles", platform::JsonKind::Rectangle, Found::OtherKind);
    return platform::readJson<QRectF>(value, "rectangles");
}

ReadingMarkup readMarkup(const json &value)
{
    if (!value.is_object())
        throw platform::JsonDecodingError("a markup is not an object");
    ReadingMarkup markup;
    markup.id = readRequired<QUuid>(value, "id");
    markup.page = readRequired<std::int64_t>(value, "page");
    markup.kind = readRequired<QString>(value, "kind");
    const json &rects = platform::requiredMember(value, "rectangles", platform::JsonKind::Array);
    for (const json &r : platform::readArray(rects, "rectangles"))
        markup.rectangles.push_back(markupRect(r));
    markup.quote = readRequired<QString>(value, "quote");
    markup.note = readRequired<QString>(value, "note");
    markup.color = readOptional<QString>(value, "color");
    markup.rgba = readOptional<std::vector<double>>(value, "rgba");
    markup.sourceKey = readOptional<QString>(value, "sourceKey");
    return markup;
}

} // namespace

bool operator==(const ReadingMarkup &a, const ReadingMarkup &b)
{
    return a.id == b.id && a.page == b.page && a.kind == b.kind && sameRects(a.rectangles, b.rectangles)
        && a.quote == b.quote && a.note == b.note && a.color == b.color && a.rgba == b.rgba
        && a.sourceKey == b.sourceKey;
}

bool isMarkupKind(const QString &kind)
{
    static const QStringList kinds = {"highlight", "underline", "strikeout", "squiggly",
                                      "text", "freetext", "deleted"};
    return kinds.contains(kind);
}

json markupToJson(const ReadingMarkup &markup)
{
    json object = json::object();
    object["id"] = utf8(platform::uuidString(markup.id));
    object["page"] = markup.page;
    object["kind"] = utf8(markup.kind);
    json rects = json::array();
    for (const QRectF &r : markup.rectangles)
        rects.push_back(platform::rectangleJson(r));
    object["rectangles"] = std::move(rects);
    object["quote"] = utf8(markup.quote);
    object["note"] = utf8(markup.note);
    if (markup.color)
        object["color"] = utf8(*markup.color);
    if (markup.rgba)
        object["rgba"] = *markup.rgba;
    if (markup.sourceKey)
        object["sourceKey"] = utf8(*markup.sourceKey);
    return object;
}

ReadingMarkup markupFromJson(const json &value)
{
    try {
        return readMarkup(value);
    } catch (const platform::JsonDecodingError &fault) {
        throw MarkupDecodingError(faultText(fault));
    }
}

bool encodeMarkups(const std::vector<ReadingMarkup> &markups, QByteArray *out, QString *error)
{
    json array = json::array();
    for (const ReadingMarkup &markup : markups)
        array.push_back(markupToJson(markup));
    return platform::encodeStoredJson(array, out, error);
}

bool MarkupEncoder::encode(const std::vector<ReadingMarkup> &markups, QByteArray *out, QString *error)
{
    // The compact array is its elements' compact forms between brackets,
    // separated by commas. The forms kept from the last list are brought up
    // to date in place: only the markups that changed are encoded again.
    QByteArray data;
    data.reserve(m_lastSize + 1024);
    data.append('[');
    for (const ReadingMarkup &markup : markups) {
        auto known = m_encoded.find(markup.id);
        if (known == m_encoded.end() || !(known->markup == markup)) {
            QByteArray bytes;
            if (!platform::encodeStoredJson(markupToJson(markup), &bytes, error))
                return false;
            known = m_encoded.insert(markup.id, {markup, std::move(bytes)});
        }
        if (data.size() > 1)
            data.append(',');
        data.append(known->bytes);
    }
    data.append(']');
    // Those of markups no longer listed are let go.
    if (size_t(m_encoded.size()) > markups.size()) {
        QSet<QUuid> listed;
        listed.reserve(qsizetype(markups.size()));
        for (const ReadingMarkup &markup : markups)
            listed.insert(markup.id);
        m_encoded.removeIf([&](const auto &entry) { return !listed.contains(entry.key()); });
    }
    m_lastSize = data.size();
    if (out)
        *out = std::move(data);
    return true;
}

std::optional<std::vector<ReadingMarkup>> decodeMarkups(const QByteArray &bytes, QString *error)
{
    // Told in the reader's words, with the parser's detail in brackets.
    QString detail;
    std::optional<json> value = platform::decodeStoredJson(bytes, &detail);
    if (!value) {
        if (error)
            *error = platform::unreadableDataText(detail);
        return std::nullopt;
    }
    if (!value->is_array()) {
        if (error)
            *error = platform::unreadableDataText();
        return std::nullopt;
    }
    std::vector<ReadingMarkup> markups;
    try {
        for (const json &element : *value)
            markups.push_back(markupFromJson(element));
    } catch (const MarkupDecodingError &e) {
        if (error)
            *error = platform::unreadableDataText(platform::jsonErrorText(e.what()));
        return std::nullopt;
    }
    return markups;
}

} // namespace folvan::annotations
