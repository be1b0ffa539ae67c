#include "engine/PdfSearch.h"

#include "engine/PdfDocument.h"
#include "engine/detail/PageText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

namespace folvan::engine {

namespace {

// Folds one code unit for comparison.
inline char16_t fold(QChar c, bool caseInsensitive)
{
    if (c.isSpace())
        return u' ';
    return caseInsensitive ? c.toCaseFolded().unicode() : c.unicode();
}

std::u16string folded(const QString &string, bool caseInsensitive)
{
    std::u16string result(size_t(string.size()), u' ');
    for (qsizetype i = 0; i < string.size(); ++i)
        result[size_t(i)] = fold(string[i], caseInsensitive);
    return result;
}

bool isHyphen(QChar c) { return c == u'-' || c == QChar(0x2010) || c == QChar(0x00AD); }

// Whether two boxes stand on one row: they overlap down the page by three
// quarters of the smaller one's height at least. Boxes reaching from the
// deepest descender to the tallest glyph of a line may overlap those of the
// next row by half their height.
bool level(const QRectF &a, const QRectF &b)
{
    return std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) >= std::min(a.height(), b.height()) * 3 / 4;
}

using Piece = std::pair<const PdfTextSpan *, QRectF>;

// The first piece of the nearest row under `column` (its centre below the
// column's by more than half a line, its top within half a line of the
// column's foot) among those that overlap `column` across and come after
// the code unit `after` in the text: a row may come as more than one line,
// its pieces a hair apart in height.
std::optional<Piece> firstPieceUnder(const PdfPageText &text, const QTransform &toShown, const QRectF &column,
                                     int after)
{
    std::vector<Piece> under;
    for (const PdfTextSpan &other : text.lines) {
        const QRectF box = toShown.mapRect(other.bounds);
        const bool rowUnder = box.center().y() > column.center().y() + std::min(column.height(), box.height()) / 2;
        if (other.range.location > after && box.right() > column.left() && box.left() < column.right() && rowUnder
            && box.top() <= column.bottom() + column.height() / 2)
            under.emplace_back(&other, box);
    }
    if (under.empty())
        return std::nullopt;
    const QRectF row = std::min_element(under.begin(), under.end(), [](const Piece &a, const Piece &b) {
                           return a.second.center().y() < b.second.center().y();
                       })->second;
    std::optional<Piece> first;
    for (const Piece &piece : under) {
        if (level(piece.second, row) && (!first || piece.second.left() < first->second.left()))
            first = piece;
    }
    return first;
}

// Where the word a hyphen at a line's end breaks goes on, by the index of
// the hyphen, when that is not the next line of the page string: the next
// line of the hyphen's own column, where the text order puts other lines
// before it (a margin note set level with the line, a float). That line is
// the first piece of the row under the hyphen's line (firstPieceUnder).
// The hyphen's line may itself be a later piece of its row (a passage in
// another colour or font set a hair off the row, words set apart): when no
// piece under it starts where it does, its column takes in the pieces just
// before it in the text that stand level with it on its left, one by one,
// while the row under starts further left, or reaches under that piece and
// the piece is of the line's height (a note in the margin, set smaller or
// with nothing under it, stays out).
// Where the piece the word goes on at reaches into the margin before the
// column (a note set level with it and read as one line with it), the word
// goes on at the first word of it that stands in the column, which needs
// the characters' boxes: without them, nothing (the text has to be read
// with its boxes). A hyphen whose column goes on with no letter joins
// nothing (`npos`). Lines as the page is shown by `toShown` (y down).
using Joins = std::map<size_t, size_t>;
std::optional<Joins> columnJoins(const PdfPageText &text, const QTransform &toShown)
{
    Joins joins;
    const QString &string = text.string;
    const bool withBoxes = text.boxes.size() >= size_t(string.size());
    for (size_t k = 0; k + 1 < text.lines.size(); ++k) {
        const PdfTextRange range = text.lines[k].range;
        const int hyphen = range.end() - 1;
        if (range.length < 2 || !isHyphen(string[hyphen]) || !string[hyphen - 1].isLetter())
            continue;
        const QRectF line = toShown.mapRect(text.lines[k].bounds);
        QRectF column = line;
        std::optional<Piece> first = firstPieceUnder(text, toShown, line, range.end());
        const double tolerance = line.height() / 4;
        // Whether the row of `piece` has a piece under `box`.
        const auto reachesUnder = [&](const Piece &piece, const QRectF &box) {
            return std::any_of(text.lines.begin(), text.lines.end(), [&](const PdfTextSpan &other) {
                const QRectF under = toShown.mapRect(other.bounds);
                return other.range.location > range.end() && level(under, piece.second) && under.right() > box.left()
                       && under.left() < box.right();
            });
        };
        const bool startsWithIt = first && std::abs(first->second.left() - line.left()) <= tolerance;
        for (size_t j = k; !startsWithIt && j-- > 0;) {
            const QRectF before = toShown.mapRect(text.lines[j].bounds);
            if (!level(before, line) || before.right() > column.left() + tolerance)
                break;
            if (first && first->second.left() < column.left() + tolerance
                && !(std::abs(before.height() - line.height()) <= tolerance && reachesUnder(*first, before)))
                break;
            column.setLeft(before.left());
            if (std::optional<Piece> wider = firstPieceUnder(text, toShown, column, range.end()))
                first = wider;
        }
        if (!first)
            continue;
        const PdfTextSpan &next = *first->first;
        int on = next.range.location;
        if (first->second.left() < column.left() - 2 * line.height()) {
            if (!withBoxes)
                return std::nullopt;
            on = -1;
            const double inColumn = column.left() - line.height() / 2;
            double before = -std::numeric_limits<double>::infinity();
            for (int i = next.range.location; i < next.range.end(); ++i) {
                if (string[i].isSpace())
                    continue;
                const QRectF box = toShown.mapRect(text.boxes[size_t(i)]);
                const bool wordStarts = i == next.range.location || string[i - 1].isSpace();
                if (wordStarts && box.left() >= inColumn && before <= column.left()) {
                    on = i;
                    break;
                }
                before = std::max(before, box.right());
            }
        }
        if (on < 0 || !string[on].isLetter())
            joins[size_t(hyphen)] = std::u16string::npos;
        else if (&next != &text.lines[k + 1] || on != next.range.location)
            joins[size_t(hyphen)] = size_t(on);
    }
    return joins;
}

// Where the word broken by a hyphen at `i` of a page string goes on: the
// next line of its column (`joins`), else the next line of the string when
// a letter stands on each side; none when `i` holds no such hyphen.
std::optional<size_t> wordGoesOn(const QString &string, const Joins &joins, size_t i)
{
    if (i < 1 || i + 2 >= size_t(string.size()) || !isHyphen(string[qsizetype(i)])
        || string[qsizetype(i + 1)] != u'\n' || !string[qsizetype(i - 1)].isLetter())
        return std::nullopt;
    if (const auto join = joins.find(i); join != joins.end()) {
        if (join->second == std::u16string::npos)
            return std::nullopt;
        return join->second;
    }
    if (string[qsizetype(i + 2)].isLetter())
        return i + 2;
    return std::nullopt;
}

// Where a match of needle[j...] that starts at hay[i] ends, or npos. The
// needle matches as typed; a word hyphenated at a line's end also matches
// whole ("proceed-" "ings" as "proceedings"), and so does a hyphenated word
// broken at its own hyphen ("camera-" "ready" as "camera-ready"). A match
// that goes on at a line of its column past other lines of the string adds
// each such jump (the hyphen's index, where it goes on) to `jumps`.
size_t matchEnd(const QString &string, const Joins &joins, const std::u16string &hay,
                const std::u16string &needle, size_t i, size_t j, std::vector<std::pair<size_t, size_t>> &jumps)
{
    for (; j < needle.size(); ++i, ++j) {
        if (const auto on = j > 0 ? wordGoesOn(string, joins, i) : std::nullopt) {
            const auto jumped = [&](size_t end) {
                if (*on != i + 2)
                    jumps.emplace_back(i, *on);
                return end;
            };
            if (const size_t end = matchEnd(string, joins, hay, needle, *on, j, jumps); end != std::u16string::npos)
                return jumped(end);
            if (hay[i] == needle[j]) {
                if (const size_t end = matchEnd(string, joins, hay, needle, *on, j + 1, jumps);
                    end != std::u16string::npos)
                    return jumped(end);
            }
        }
        if (i >= hay.size() || hay[i] != needle[j])
            return std::u16string::npos;
    }
    return i;
}

// The places of `needle` in a page's text, matches not overlapping, each
// in its pieces: one range, or one more for each jump to a line of its
// column. None when the text has to be read with its characters' boxes
// to tell where its words go on (see columnJoins).
std::optional<std::vector<std::vector<PdfTextRange>>> matchesIn(const PdfPageText &text, const QTransform &toShown,
                                                                const std::u16string &needle, bool caseInsensitive)
{
    std::vector<std::vector<PdfTextRange>> matches;
    const std::u16string hay = folded(text.string, caseInsensitive);
    const size_t first = hay.find(needle[0]);
    if (first == std::u16string::npos)
        return matches;
    const std::optional<Joins> columns = columnJoins(text, toShown);
    if (!columns)
        return std::nullopt;
    const Joins &joins = *columns;
    for (size_t at = first; at != std::u16string::npos;) {
        std::vector<std::pair<size_t, size_t>> jumps;
        const size_t end = matchEnd(text.string, joins, hay, needle, at, 0, jumps);
        if (end == std::u16string::npos) {
            at = hay.find(needle[0], at + 1);
            continue;
        }
        std::sort(jumps.begin(), jumps.end());
        std::vector<PdfTextRange> pieces;
        size_t from = at;
        for (const auto &[hyphen, on] : jumps) {
            pieces.push_back({int(from), int(hyphen + 1 - from)});
            from = on;
        }
        pieces.push_back({int(from), int(end - from)});
        matches.push_back(std::move(pieces));
        at = hay.find(needle[0], end);
    }
    return matches;
}

} // namespace

std::vector<QRectF> lineBounds(const PdfPageText &text, PdfTextRange range)
{
    std::vector<QRectF> result;
    const int count = int(text.boxes.size());
    for (const PdfTextSpan &line : text.lines) {
        // Separators between lines have no box and belong to no piece.
        const int start = std::max(range.location, line.range.location);
        const int end = std::min({range.end(), line.range.end(), count});
        QRectF bounds;
        for (int i = start; i < end; ++i) {
            const QRectF &box = text.boxes[size_t(i)];
            if (box.width() > 0 && box.height() > 0)
                bounds |= box;
        }
        if (!bounds.isEmpty())
            result.push_back(bounds);
    }
    return result;
}

bool searchPages(const std::shared_ptr<PdfDocument> &document, const QString &query, PdfSearchOptions options,
                 const std::atomic_bool *stop, const std::function<void(PdfPageMatches &&)> &found)
{
    if (!document || query.isEmpty())
        return true;
    const std::u16string needle = folded(query, options.caseInsensitive);
    const int pages = document->pageCount();
    for (int p = 0; p < pages; ++p) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        PdfPageMatches matches;
        matches.page = p;
        std::shared_ptr<const PdfPageText> text;
        {
            detail::DocumentLock lock(*document);
            const QTransform toShown = lock.impl().geometry(lock.ctx(), p).userToFitz;
            text = lock.impl().cachedText(p);
            // Searching passes over every page once: the texts read here
            // are not kept, and only pages with matches, or whose words
            // need the boxes to be followed over a line's end, get them.
            std::optional<std::vector<std::vector<PdfTextRange>>> found;
            if (!text) {
                text = detail::buildPageText(lock, p, [&](const PdfPageText &lines) {
                    found = matchesIn(lines, toShown, needle, options.caseInsensitive);
                    return !found || !found->empty();
                });
            }
            if (!found)
                found = matchesIn(*text, toShown, needle, options.caseInsensitive);
            if (found)
                matches.ranges = std::move(*found);
        }
        if (matches.ranges.empty())
            continue;
        matches.lineBounds.reserve(matches.ranges.size());
        for (const std::vector<PdfTextRange> &pieces : matches.ranges) {
            std::vector<QRectF> &bounds = matches.lineBounds.emplace_back();
            for (const PdfTextRange &piece : pieces) {
                const std::vector<QRectF> more = lineBounds(*text, piece);
                bounds.insert(bounds.end(), more.begin(), more.end());
            }
        }
        found(std::move(matches));
    }
    return true;
}

std::vector<PdfSelection> findAll(const std::shared_ptr<PdfDocument> &document, const QString &query,
                                  PdfSearchOptions options, const std::atomic_bool *stop)
{
    std::vector<PdfSelection> matches;
    searchPages(document, query, options, stop, [&](PdfPageMatches &&page) {
        const PdfPage at = document->page(page.page);
        for (const std::vector<PdfTextRange> &pieces : page.ranges)
            matches.emplace_back(at, pieces);
    });
    return matches;
}

} // namespace folvan::engine
