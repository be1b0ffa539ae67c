#pragma once

// A quoted passage of a paper: its page, the reflowed block that holds it,
// its offsets, the quote with its context and where it lies on the page.
// Reading positions, bookmarks, paper notes and the pane model keep it; its
// JSON form is stored inside their files and sent to the reflow page.

#include <QRectF>
#include <QString>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <vector>

namespace folvan::model {

struct ReadingTextSource {
    std::int64_t page = 0;                  // zero-based page index
    std::optional<std::int64_t> block;      // reflowed block index
    std::optional<QString> key;             // the reflow page's block identifier
    std::int64_t start = 0;                 // start offset in the block
    std::int64_t end = 0;                   // end offset (start <= end)
    QString quote;                          // the passage's text
    QString before;                         // context before (≤ 256 UTF-16 units)
    QString after;                          // context after (≤ 256 UTF-16 units)
    // Bounding box as [x, y, width, height] fractions of the shown page,
    // origin top left, y downwards.
    std::optional<std::vector<double>> rect;
    // Bounding box in PDF page space (points, y upwards); preferred to
    // `rect` when both are present.
    std::optional<QRectF> pdfRect;

    // The record itself when it is valid for a document of `pageCount`
    // pages, otherwise nothing.
    std::optional<ReadingTextSource> validated(std::int64_t pageCount) const;

    // The JSON form as an object for the reflow page; an empty object when
    // the record cannot be encoded (a number that is not finite).
    nlohmann::ordered_json dictionary() const;

    // Every field equal; strings up to Unicode canonical equivalence,
    // rectangles compared exactly after normalizing their size.
    friend bool operator==(const ReadingTextSource &a, const ReadingTextSource &b);
};

// JSON coding (nlohmann ADL hooks, on the ordered JSON type of stored files):
// `nlohmann::ordered_json j = source;` and
// `j.get<ReadingTextSource>()`. Optional fields are written only when
// present; decoding throws folvan::platform::JsonDecodingError when a required key
// is missing or a value has the wrong type.
void to_json(nlohmann::ordered_json &j, const ReadingTextSource &source);
void from_json(const nlohmann::ordered_json &j, ReadingTextSource &source);

} // namespace folvan::model
