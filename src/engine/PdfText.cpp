#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"
#include "engine/detail/PageText.h"
#include "engine/detail/WorkLimit.h"

#include <algorithm>
#include <functional>
#include <cmath>
#include <limits>
#include <optional>

namespace folvan::engine {

using detail::DocumentLock;
using detail::PageGeometry;

namespace {

fz_stext_page *extractText(fz_context *ctx, pdf_page *page, fz_cookie *cookie)
{
    fz_page *fzPage = reinterpret_cast<fz_page *>(page);
    fz_stext_page *text = nullptr;
    fz_device *device = nullptr;
    fz_var(text);
    fz_var(device);
    fz_try(ctx)
    {
        fz_stext_options options{};
        options.flags = FZ_STEXT_MEDIABOX_CLIP;
        text = fz_new_stext_page(ctx, fz_bound_page(ctx, fzPage));
        device = fz_new_stext_device(ctx, text, &options);
        // The page's own text only: annotations are not part of it.
        fz_run_page_contents(ctx, fzPage, device, fz_identity, cookie);
        fz_close_device(ctx, device);
    }
    fz_always(ctx) fz_drop_device(ctx, device);
    fz_catch(ctx)
    {
        // Keep what was extracted before the error.
    }
    return text;
}

bool isSpace(QChar c) { return c.isSpace(); }

// Appends a character; returns the number of code units it took.
int appendCodepoint(QString &string, int c)
{
    if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (QChar::requiresSurrogates(char32_t(c))) {
        string.append(QChar(QChar::highSurrogate(char32_t(c))));
        string.append(QChar(QChar::lowSurrogate(char32_t(c))));
        return 2;
    }
    string.append(QChar(char16_t(c)));
    return 1;
}

void addWords(PdfPageText &text, const PdfTextSpan &line)
{
    int start = -1;
    auto close = [&](int end) {
        if (start < 0)
            return;
        PdfTextSpan word{{start, end - start}, {}};
        for (int i = start; i < end; ++i)
            word.bounds |= text.boxes[size_t(i)];
        text.words.push_back(word);
        start = -1;
    };
    for (int i = line.range.location; i < line.range.end(); ++i) {
        if (isSpace(text.string[i]))
            close(i);
        else if (start < 0)
            start = i;
    }
    close(line.range.end());
}

double quadWidth(const fz_quad &q) { return std::hypot(q.ur.x - q.ul.x, q.ur.y - q.ul.y); }

// A ligature is handed to us expanded into its letters: the first carries
// the ligature's box, the others follow at its far end with no width. The
// number of letters that start at `ch` that way (1 for a plain one).
int ligatureLength(const fz_stext_char *ch)
{
    int length = 1;
    if (quadWidth(ch->quad) <= 1e-3)
        return length;
    for (const fz_stext_char *next = ch->next; next; next = next->next) {
        const bool atEnd = std::abs(next->quad.ul.x - ch->quad.ur.x) < 1e-3
                           && std::abs(next->quad.ul.y - ch->quad.ur.y) < 1e-3;
        if (!atEnd || quadWidth(next->quad) > 1e-3)
            break;
        ++length;
    }
    return length;
}

// Part k of n equal parts of a quad, along its baseline direction.
fz_quad slice(const fz_quad &q, int k, int n)
{
    if (n <= 1)
        return q;
    auto lerp = [](fz_point a, fz_point b, double t) {
        return fz_make_point(float(a.x + (b.x - a.x) * t), float(a.y + (b.y - a.y) * t));
    };
    const double from = double(k) / n;
    const double to = double(k + 1) / n;
    return fz_quad{lerp(q.ul, q.ur, from), lerp(q.ul, q.ur, to), lerp(q.ll, q.lr, from), lerp(q.ll, q.lr, to)};
}

// The page text; with `geometry` false only the string and its lines are
// made (for the search, which needs nothing else).
std::shared_ptr<PdfPageText> convertText(fz_stext_page *stext, const PageGeometry &pageGeometry, bool geometry)
{
    auto text = std::make_shared<PdfPageText>();
    const QTransform toUser = pageGeometry.fitzToUser();
    QRectF separatorBox;
    bool firstLine = true;
    for (fz_stext_block *block = stext->first_block; block; block = block->next) {
        if (block->type != FZ_STEXT_BLOCK_TEXT)
            continue;
        PdfTextSpan blockSpan{{-1, 0}, {}};
        for (fz_stext_line *line = block->u.t.first_line; line; line = line->next) {
            if (!line->first_char)
                continue;
            if (!firstLine) {
                text->string.append(QLatin1Char('\n'));
                if (geometry)
                    text->boxes.push_back(separatorBox);
            }
            firstLine = false;
            if (!geometry) {
                PdfTextSpan span{{int(text->string.size()), 0}, toUser.mapRect(detail::toQRectF(line->bbox))};
                for (fz_stext_char *ch = line->first_char; ch; ch = ch->next)
                    appendCodepoint(text->string, ch->c);
                span.range.length = int(text->string.size()) - span.range.location;
                text->lines.push_back(span);
                continue;
            }
            PdfTextSpan span{{int(text->string.size()), 0}, {}};
            fz_rect last = fz_empty_rect;
            for (fz_stext_char *ch = line->first_char; ch;) {
                const int parts = ligatureLength(ch);
                const fz_quad whole = ch->quad;
                for (int k = 0; k < parts; ++k, ch = ch->next) {
                    last = fz_rect_from_quad(slice(whole, k, parts));
                    const QRectF box = toUser.mapRect(detail::toQRectF(last));
                    text->boxes.insert(text->boxes.end(), size_t(appendCodepoint(text->string, ch->c)), box);
                    span.bounds |= box;
                }
            }
            span.range.length = int(text->string.size()) - span.range.location;
            text->lines.push_back(span);
            addWords(*text, span);
            if (blockSpan.range.location < 0)
                blockSpan = span;
            else
                blockSpan = {{blockSpan.range.location, span.range.end() - blockSpan.range.location},
                             blockSpan.bounds | span.bounds};
            // The separator after this line: an empty box at the far end of
            // its last character, as the line is read.
            separatorBox = toUser.mapRect(detail::toQRectF(fz_make_rect(last.x1, last.y0, last.x1, last.y1)));
        }
        if (geometry && blockSpan.range.location >= 0)
            text->blocks.push_back(blockSpan);
    }
    return text;
}

// The page's text, with its boxes when `geometry` is true or, when not,
// when `wantsGeometry` asks for them after seeing the string and its lines
// (both conversions give the same string and lines). Needs the document
// lock.
std::shared_ptr<const PdfPageText> readPageText(const detail::DocumentLock &lock, int pageIndex, bool geometry,
                                               const std::function<bool(const PdfPageText &)> &wantsGeometry)
{
    auto &impl = lock.impl();
    const PageGeometry &pageGeometry = impl.geometry(lock.ctx(), pageIndex);
    pdf_page *page = impl.loadPage(lock.ctx(), pageIndex);
    if (!page || !pageGeometry.isValid())
        return std::make_shared<PdfPageText>();
    detail::WorkLimit limit;
    fz_stext_page *stext = extractText(lock.ctx(), page, limit.cookie());
    if (!stext)
        return std::make_shared<PdfPageText>();
    auto text = convertText(stext, pageGeometry, geometry);
    if (!geometry && wantsGeometry && wantsGeometry(*text))
        text = convertText(stext, pageGeometry, true);
    fz_drop_stext_page(lock.ctx(), stext);
    return text;
}

} // namespace

namespace detail {

std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex, bool geometry)
{
    return readPageText(lock, pageIndex, geometry, {});
}

std::shared_ptr<const PdfPageText> buildPageText(const DocumentLock &lock, int pageIndex,
                                                 const std::function<bool(const PdfPageText &)> &wantsGeometry)
{
    return readPageText(lock, pageIndex, false, wantsGeometry);
}

std::shared_ptr<const PdfPageText> cachedPageText(const DocumentLock &lock, int pageIndex)
{
    if (auto cached = lock.impl().cachedText(pageIndex))
        return cached;
    auto text = buildPageText(lock, pageIndex);
    lock.impl().storeText(pageIndex, text);
    return text;
}

} // namespace detail

int PdfPageText::lineOf(int i) const
{
    auto it = std::upper_bound(lines.begin(), lines.end(), i,
                               [](int index, const PdfTextSpan &line) { return index < line.range.location; });
    if (it == lines.begin())
        return -1;
    --it;
    // A separator belongs to the line it closes.
    return i <= it->range.end() ? int(it - lines.begin()) : -1;
}

std::shared_ptr<const PdfPageText> PdfPage::text() const
{
    if (!isValid())
        return std::make_shared<PdfPageText>();
    DocumentLock lock(*m_document);
    return detail::cachedPageText(lock, m_index);
}

QString PdfPage::string() const { return text()->string; }

int PdfPage::characterCount() const { return int(text()->string.size()); }

QRectF PdfPage::characterBounds(int index) const
{
    auto t = text();
    return index >= 0 && index < int(t->boxes.size()) ? t->boxes[size_t(index)] : QRectF();
}

namespace {

double distance1D(double value, double low, double high)
{
    return value < low ? low - value : value > high ? value - high : 0.0;
}

// The blocks whose lines a point outside the text may go to. A point inside
// a block (a paragraph, a column) stays in that block: beside a short line
// is that line's end, never a line of the next column at the same height.
// Beside text (the margins and the gutter at the height of a block), the
// point goes to the nearest block at its height; in a gutter between two,
// to the one in the column of `columnX` (the drag's other end). Above or
// below the text, it goes to the nearest block under it: below the left
// column is that column's end, whatever stands above it across the page.
std::vector<PdfTextRange> nearestCandidates(const PdfPageText &text, const QTransform &toDisplay, QPointF p,
                                            std::optional<double> columnX)
{
    std::vector<QRectF> bounds;
    for (const PdfTextSpan &block : text.blocks) {
        bounds.push_back(toDisplay.mapRect(block.bounds));
        if (bounds.back().contains(p))
            return {block.range};
    }
    auto under = [](const QRectF &box, double x) { return x >= box.left() && x <= box.right(); };
    int beside = -1;
    int inColumn = -1;
    bool textLeft = false;
    bool textRight = false;
    double besideDistance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < bounds.size(); ++i) {
        const QRectF &box = bounds[i];
        if (p.y() < box.top() || p.y() > box.bottom())
            continue;
        (box.right() < p.x() ? textLeft : textRight) = true;
        if (columnX && under(box, *columnX) && inColumn < 0)
            inColumn = int(i);
        if (const double d = distance1D(p.x(), box.left(), box.right()); d < besideDistance) {
            beside = int(i);
            besideDistance = d;
        }
    }
    if (beside >= 0)
        return {text.blocks[size_t(textLeft && textRight && inColumn >= 0 ? inColumn : beside)].range};
    int below = -1;
    double belowDistance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < bounds.size(); ++i) {
        const double d = distance1D(p.y(), bounds[i].top(), bounds[i].bottom());
        if (under(bounds[i], p.x()) && d < belowDistance) {
            below = int(i);
            belowDistance = d;
        }
    }
    if (below >= 0)
        return {text.blocks[size_t(below)].range};
    return {PdfTextRange{0, int(text.string.size())}};
}

// Code unit at a point of the displayed page. All comparisons are made on
// the displayed page (y up) so that rotated pages behave as they look.
// `columnX`, on the displayed page, is the column the nearest position
// keeps to (see nearestCandidates).
int indexAt(const PdfPageText &text, const QTransform &toDisplay, QPointF userPoint, bool nearest,
            std::optional<double> columnX = std::nullopt)
{
    if (!std::isfinite(userPoint.x()) || !std::isfinite(userPoint.y()))
        return -1;
    const QPointF p = toDisplay.map(userPoint);
    // A character's box reaches from its font's descender to its ascender,
    // and where lines are set tight into the lines above and below. Of the
    // boxes holding the point, the one whose ink band (from the foot of the
    // descenders to the top of the capitals) is nearest wins: the point is
    // on that character's line. Then the one whose middle is nearest across
    // (a glyph reaching over its neighbour).
    int holding = -1;
    double holdingV = 0;
    double holdingH = 0;
    for (size_t i = 0; i < text.boxes.size(); ++i) {
        const QRectF box = toDisplay.mapRect(text.boxes[i]);
        if (!(box.width() > 0 && box.contains(p)))
            continue;
        const double v = distance1D(p.y(), box.top() + 0.05 * box.height(), box.top() + 0.72 * box.height());
        const double h = std::abs(p.x() - box.center().x());
        if (holding < 0 || v < holdingV || (v == holdingV && h < holdingH)) {
            holding = int(i);
            holdingV = v;
            holdingH = h;
        }
    }
    if (holding >= 0)
        return holding;
    if (!nearest || text.lines.empty())
        return -1;
    const std::vector<PdfTextRange> within = nearestCandidates(text, toDisplay, p, columnX);
    auto isCandidate = [&within](const PdfTextSpan &line) {
        return std::any_of(within.begin(), within.end(), [&line](const PdfTextRange &block) {
            return line.range.location >= block.location && line.range.end() <= block.end();
        });
    };
    const PdfTextSpan *bestLine = nullptr;
    double bestV = std::numeric_limits<double>::max();
    double bestH = bestV;
    for (const PdfTextSpan &line : text.lines) {
        if (!isCandidate(line))
            continue;
        const QRectF box = toDisplay.mapRect(line.bounds);
        const double v = distance1D(p.y(), box.top(), box.bottom());
        const double h = distance1D(p.x(), box.left(), box.right());
        if (v < bestV || (v == bestV && h < bestH)) {
            bestLine = &line;
            bestV = v;
            bestH = h;
        }
    }
    if (!bestLine)
        return -1;
    int best = bestLine->range.location;
    double bestDistance = std::numeric_limits<double>::max();
    for (int i = bestLine->range.location; i < bestLine->range.end(); ++i) {
        const QRectF box = toDisplay.mapRect(text.boxes[size_t(i)]);
        const double d = distance1D(p.x(), box.left(), box.right());
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace

int PdfPage::characterIndexAt(QPointF point, bool nearest) const
{
    return indexAt(*text(), drawingTransform(), point, nearest);
}

PdfSelection PdfPage::selection(PdfTextRange range) const
{
    if (!isValid())
        return PdfSelection();
    const int count = characterCount();
    const int start = std::clamp(range.location, 0, count);
    const int end = std::clamp(range.location + std::max(0, range.length), start, count);
    if (end <= start)
        return PdfSelection(m_document);
    return PdfSelection(*this, {start, end - start});
}

PdfSelection PdfPage::selection(const QRectF &rect) const
{
    PdfSelection result(m_document);
    if (!isValid())
        return result;
    auto t = text();
    const QRectF area = rect.normalized();
    int start = -1;
    for (int i = 0; i <= int(t->boxes.size()); ++i) {
        const bool inside = i < int(t->boxes.size()) && t->boxes[size_t(i)].width() > 0
                            && area.contains(t->boxes[size_t(i)].center());
        if (inside && start < 0)
            start = i;
        if (!inside && start >= 0) {
            result.add(PdfSelection(*this, {start, i - start}));
            start = -1;
        }
    }
    return result;
}

namespace {

bool isWordLetter(QChar c)
{
    // Letters with their marks, digits, connectors ("_") and the joiners.
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c.category() == QChar::Punctuation_Connector
           || c == QChar(0x200C) || c == QChar(0x200D);
}

// Whether the code unit at `i` belongs to a word: a word letter, or an
// apostrophe between two of them ("author's"). Punctuation around a word
// (the comma after it, its brackets and quotes) does not.
bool isWordUnit(const QString &string, int i)
{
    const QChar c = string.at(i);
    if (isWordLetter(c))
        return true;
    const bool apostrophe = c == QLatin1Char('\'') || c == QChar(0x2019);
    return apostrophe && i > 0 && i + 1 < string.size() && isWordLetter(string.at(i - 1))
           && isWordLetter(string.at(i + 1));
}

} // namespace

PdfSelection PdfPage::selectionForWord(QPointF point) const
{
    if (!isValid())
        return PdfSelection();
    auto t = text();
    const int index = indexAt(*t, drawingTransform(), point, false);
    if (index < 0)
        return PdfSelection(m_document);
    const QString &string = t->string;
    if (!isWordUnit(string, index))
        return PdfSelection(*this, {index, 1});
    int start = index;
    while (start > 0 && isWordUnit(string, start - 1))
        --start;
    int end = index + 1;
    while (end < string.size() && isWordUnit(string, end))
        ++end;
    return PdfSelection(*this, {start, end - start});
}

PdfSelection PdfPage::selectionForLine(QPointF point) const
{
    if (!isValid())
        return PdfSelection();
    auto t = text();
    const int index = indexAt(*t, drawingTransform(), point, true);
    const int line = index < 0 ? -1 : t->lineOf(index);
    if (line < 0)
        return PdfSelection(m_document);
    return PdfSelection(*this, t->lines[size_t(line)].range);
}

namespace {

// The caret position nearest to a point: before or after the nearest
// code unit, whichever half of its box the point falls on; below the
// nearest line (the margin under a column), after its end, and above it,
// before its start. `other` is the drag's other end, whose column a point
// outside the text keeps to.
int caretAt(const PdfPage &page, QPointF point, const PdfPage &otherPage, QPointF other)
{
    auto t = page.text();
    const QTransform toDisplay = page.drawingTransform();
    const int index = indexAt(*t, toDisplay, point, true, otherPage.drawingTransform().map(other).x());
    if (index < 0)
        return 0;
    const QPointF p = toDisplay.map(point);
    if (const int line = t->lineOf(index); line >= 0) {
        // The displayed page has y up: a rectangle's top is its lower edge.
        const PdfTextSpan &span = t->lines[size_t(line)];
        const QRectF lineBox = toDisplay.mapRect(span.bounds);
        if (p.y() < lineBox.top())
            return span.range.end();
        if (p.y() > lineBox.bottom())
            return span.range.location;
    }
    const QRectF box = toDisplay.mapRect(t->boxes[size_t(index)]);
    return p.x() > box.center().x() ? index + 1 : index;
}

} // namespace

PdfSelection PdfDocument::selection(const PdfPage &fromPage, QPointF from, const PdfPage &toPage, QPointF to) const
{
    auto self = std::const_pointer_cast<PdfDocument>(shared_from_this());
    PdfSelection result(self);
    if (fromPage.document().get() != this || toPage.document().get() != this)
        return result;
    std::pair<int, int> a{fromPage.index(), caretAt(fromPage, from, toPage, to)};
    std::pair<int, int> b{toPage.index(), caretAt(toPage, to, fromPage, from)};
    if (b < a)
        std::swap(a, b);
    for (int p = a.first; p <= b.first; ++p) {
        const PdfPage current = page(p);
        const int start = p == a.first ? a.second : 0;
        const int end = p == b.first ? b.second : current.characterCount();
        if (end > start)
            result.add(current.selection(PdfTextRange{start, end - start}));
    }
    return result;
}

} // namespace folvan::engine
