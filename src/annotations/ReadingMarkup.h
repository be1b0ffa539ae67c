#pragma once

// The user's stored markups and the rows of the annotation list.
//
// A markup is one highlight, underline or note of the user, kept in the
// document's annotation file and never written into the paper. A markup
// that carries a `sourceKey` stands for an annotation of the PDF itself (an
// original): it replaces it, or, with the kind "deleted" (a tombstone),
// hides it.

#include <QHash>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/PdfTypes.h"
#include "platform/StoredJson.h"

namespace folvan::annotations {

struct ReadingMarkup {
    QUuid id;
    std::int64_t page = 0;
    // "highlight", "underline", "strikeout", "squiggly", "text", "freetext"
    // or "deleted".
    QString kind;
    // Marked areas in PDF page space (points, y up).
    std::vector<QRectF> rectangles;
    QString quote;
    QString note;
    // The raw value of a MarkupColor.
    std::optional<QString> color;
    // An explicit colour: red, green, blue, alpha in 0...1.
    std::optional<std::vector<double>> rgba;
    // The key of the original annotation this markup replaces or hides.
    std::optional<QString> sourceKey;

    // Every field equal; numbers compared exactly.
    friend bool operator==(const ReadingMarkup &a, const ReadingMarkup &b);
};

// The kinds a markup may have; "deleted" is the tombstone.
bool isMarkupKind(const QString &kind);

// One row of the annotation list: one of the user's markups (`localID`
// present) or an original annotation of the PDF that no markup covers.
struct ReadingAnnotationItem {
    // The markup's id in upper case, or the original's key.
    QString id;
    std::int64_t page = 0;
    QString kind;
    std::vector<QRectF> rectangles;
    QString quote;
    QString note;
    engine::PdfColor color;
    std::optional<QUuid> localID;
    std::optional<QString> sourceKey;
};

// Raised when a stored markup list cannot be decoded.
class MarkupDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The stored JSON form of one markup: "id", "page", "kind", "rectangles"
// (each [[x, y], [width, height]]), "quote", "note", and "color", "rgba",
// "sourceKey" only when present.
platform::json markupToJson(const ReadingMarkup &markup);
// Decodes one markup; throws MarkupDecodingError for a missing required key
// or a value of the wrong type. Unknown keys are ignored; null optional
// values read as absent.
ReadingMarkup markupFromJson(const platform::json &value);

// The whole file: one compact JSON array. Encoding fails (false, with the
// error text) on a number that is not finite.
bool encodeMarkups(const std::vector<ReadingMarkup> &markups, QByteArray *out, QString *error);

// Encodes the whole file as encodeMarkups does, remembering each markup's
// encoded form, so that writing a long list again encodes only the
// markups that changed since the last write.
class MarkupEncoder {
public:
    bool encode(const std::vector<ReadingMarkup> &markups, QByteArray *out, QString *error);
    void clear()
    {
        m_encoded.clear();
        m_lastSize = 0;
    }

private:
    struct Encoded {
        ReadingMarkup markup;
        QByteArray bytes;
    };
    QHash<QUuid, Encoded> m_encoded;
    // The length of the last list encoded, to make room for the next.
    qsizetype m_lastSize = 0;
};

// Decoding fails as a whole when any element fails.
std::optional<std::vector<ReadingMarkup>> decodeMarkups(const QByteArray &bytes, QString *error);

} // namespace folvan::annotations
