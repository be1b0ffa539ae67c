#include "annotations/ReadingMarkup.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace folvan::annotations {

namespace {

using platform::json;

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

[[noreturn]] void fail(const char *key, const char *what)
{
    throw MarkupDecodingError(std::string("\"") + key + "\": " + what);
}

const json &required(const json &object, const char *key)
{
    const json *value = platform::member(object, key);
    if (!value)
        fail(key, "missing");
    return *value;
}

QString requiredString(const json &object, const char *key)
{
    std::optional<QString> text = platform::strictString(required(object, key));
    if (!text)
        fail(key, "not a string");
    return *text;
}

double number(const json &value, const char *key)
{
    std::optional<double> result = platform::strictDouble(value);
    if (!result)
        fail(key, "not a number");
    return *result;
}

QRectF rectFromJson(const json &value)
{
    if (!value.is_array() || value.size() != 2 || !value[0].is_array() || value[0].size() != 2
        || !value[1].is_array() || value[1].size() != 2)
        fail("rectangles", "not a rectangle");
    return QRectF(number(value[0][0], "rectangles"), number(value[0][1], "rectangles"),
                  number(value[1][0], "rectangles"), number(value[1][1], "rectangles"));
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
    object["id"] = platform::toJson(platform::uuidString(markup.id));
    object["page"] = markup.page;
    object["kind"] = platform::toJson(markup.kind);
    json rects = json::array();
    for (const QRectF &r : markup.rectangles)
        rects.push_back(json::array({json::array({r.x(), r.y()}), json::array({r.width(), r.height()})}));
    object["rectangles"] = std::move(rects);
    object["quote"] = platform::toJson(markup.quote);
    object["note"] = platform::toJson(markup.note);
    if (markup.color)
        object["color"] = platform::toJson(*markup.color);
    if (markup.rgba)
        object["rgba"] = *markup.rgba;
    if (markup.sourceKey)
        object["sourceKey"] = platform::toJson(*markup.sourceKey);
    return object;
}

ReadingMarkup markupFromJson(const json &value)
{
    if (!value.is_object())
        throw MarkupDecodingError("a markup is not an object");
    ReadingMarkup markup;
    std::optional<QUuid> id = platform::strictUuid(required(value, "id"));
    if (!id)
        fail("id", "not a UUID");
    markup.id = *id;
    std::optional<qint64> page = platform::strictInt64(required(value, "page"));
    if (!page)
        fail("page", "not an integer");
    markup.page = *page;
    markup.kind = requiredString(value, "kind");
    const json &rects = required(value, "rectangles");
    if (!rects.is_array())
        fail("rectangles", "not an array");
    for (const json &r : rects)
        markup.rectangles.push_back(rectFromJson(r));
    markup.quote = requiredString(value, "quote");
    markup.note = requiredString(value, "note");
    if (const json *color = platform::member(value, "color")) {
        markup.color = platform::strictString(*color);
        if (!markup.color)
            fail("color", "not a string");
    }
    if (const json *rgba = platform::member(value, "rgba")) {
        if (!rgba->is_array())
            fail("rgba", "not an array");
        std::vector<double> components;
        for (const json &c : *rgba)
            components.push_back(number(c, "rgba"));
        markup.rgba = std::move(components);
    }
    if (const json *key = platform::member(value, "sourceKey")) {
        markup.sourceKey = platform::strictString(*key);
        if (!markup.sourceKey)
            fail("sourceKey", "not a string");
    }
    return markup;
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
