#include "engine/PdfPage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "engine/PdfDocument.h"
#include "engine/detail/DocumentImpl.h"
#include "engine/detail/WorkLimit.h"

namespace folvan::engine {

using detail::DocumentLock;
using detail::PageGeometry;

namespace {

// Largest raster edge drawn, to keep a bad scale from eating the memory.
constexpr int kMaxRasterEdge = 16384;
// Glyphs from which a page counts as a page of text (a column of a paper
// has a couple of thousand; a scan with its text layer, none drawn).
constexpr int kManyGlyphs = 500;

// What a display list of a page holds: its contents, its annotations, or
// its annotations but the highlights and underlines (which the web pages'
// rasters draw from overlay rows).
enum class Layer { contents, annotations, annotationsButHighlights };

// Whether an annotation is a highlight or an underline, its subtype read
// without regard to case, as the overlay rows read it.
bool highlightOrUnderline(fz_context *ctx, pdf_annot *annot)
{
    const char *subtype = pdf_to_name(ctx, pdf_dict_get(ctx, pdf_annot_obj(ctx, annot), PDF_NAME(Subtype)));
    return !fz_strcasecmp(subtype, "Highlight") || !fz_strcasecmp(subtype, "Underline");
}

fz_display_list *recordPage(fz_context *ctx, pdf_page *page, Layer layer, fz_cookie *cookie)
{
    fz_page *fzPage = reinterpret_cast<fz_page *>(page);
    fz_display_list *list = nullptr;
    fz_device *device = nullptr;
    fz_var(list);
    fz_var(device);
    fz_try(ctx)
    {
        list = fz_new_display_list(ctx, fz_bound_page(ctx, fzPage));
        device = fz_new_list_device(ctx, list);
        if (layer != Layer::contents) {
            // Once the document is edited, MuPDF drops the appearances it made
            // for annotations without one; this makes them again.
            pdf_update_page(ctx, page);
            if (layer == Layer::annotations) {
                fz_run_page_annots(ctx, fzPage, device, fz_identity, cookie);
            } else {
                for (pdf_annot *a = pdf_first_annot(ctx, page); a && !(cookie && cookie->abort);
                     a = pdf_next_annot(ctx, a)) {
                    if (!highlightOrUnderline(ctx, a))
                        pdf_run_annot(ctx, a, device, fz_identity, cookie);
                }
            }
            fz_run_page_widgets(ctx, fzPage, device, fz_identity, cookie);
        }
        else
            fz_run_page_contents(ctx, fzPage, device, fz_identity, cookie);
        fz_close_device(ctx, device);
    }
    fz_always(ctx) fz_drop_device(ctx, device);
    fz_catch(ctx)
    {
        // Whatever was recorded before the error is still drawn.
    }
    return list;
}

// Spreads the pixels [from, to) of a row from 3 bytes a pixel (blue, green,
// red) to 4 with an opaque fourth byte, in place: from the right end, so
// that no pixel is overwritten before it is read (pixel x moves from 3x to
// 4x, never onto a pixel left of it).
void widenPixels(unsigned char *row, int from, int to)
{
    for (int x = to - 1; x >= from; --x) {
        const unsigned char *source = row + 3 * x;
        unsigned char *target = row + 4 * x;
        const unsigned char b = source[0], g = source[1], r = source[2];
        target[0] = b;
        target[1] = g;
        target[2] = r;
        target[3] = 0xff;
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same, 16 pixels at a time: each block's 48 bytes are read before its
// 64 are written, and a block lands at 4x, right of every pixel still to
// be read. The pixels past the last whole block go first, one by one.
__attribute__((target("ssse3"))) void widenRowsSsse3(int w, int h, int stride, unsigned char *samples)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    for (int y = 0; y < h; ++y) {
        unsigned char *row = samples + std::ptrdiff_t(y) * stride;
        const int blocks = w / 16 * 16;
        widenPixels(row, blocks, w);
        for (int x = blocks - 16; x >= 0; x -= 16) {
            const unsigned char *source = row + 3 * x;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 32));
            const __m128i quads[4] = {a, _mm_alignr_epi8(b, a, 12), _mm_alignr_epi8(c, b, 8), _mm_srli_si128(c, 4)};
            unsigned char *target = row + 4 * x;
            for (int i = 0; i < 4; ++i)
                _mm_storeu_si128(reinterpret_cast<__m128i *>(target + 16 * i),
                                 _mm_or_si128(_mm_shuffle_epi8(quads[i], spread), opaque));
        }
    }
}
#endif

// Spreads each row of `samples` from 3 bytes a pixel to 4 (widenPixels).
void widenRows(int w, int h, int stride, unsigned char *samples)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        widenRowsSsse3(w, h, stride, samples);
        return;
    }
#endif
    for (int y = 0; y < h; ++y)
        widenPixels(samples + std::ptrdiff_t(y) * stride, 0, w);
}

// Draws display lists one over the other, or else a page directly, into
// `samples` (w × h, `stride` bytes a row, at least 4 × w, already white),
// leaving 32 bits a pixel as blue, green, red, opaque alpha: QImage's RGB32
// in memory. Unless `withAlpha`, the page is drawn without an alpha
// channel, 3 bytes a pixel in the front of each row, and spread to 4 after:
// as the page is opaque anyway, every see-through fill and transparency
// group then blends three channels, not four. With it, 4 bytes a pixel are
// drawn straight away, which saves the spreading where nothing is
// see-through (the pixels are the same). Returns 0 when drawing failed
// part-way (what was drawn is kept).
int drawPixmap(fz_context *ctx, fz_display_list *const *lists, int listCount, pdf_page *page, int withAnnotations,
               int withAlpha, fz_matrix ctm, int w, int h, int stride, unsigned char *samples, fz_cookie *cookie)
{
    fz_pixmap *pixmap = nullptr;
    fz_device *device = nullptr;
    int ok = 1;
    fz_var(ok);
    fz_var(pixmap);
    fz_var(device);
    fz_try(ctx)
    {
        pixmap = fz_new_pixmap_with_data(ctx, fz_device_bgr(ctx), w, h, nullptr, withAlpha, stride, samples);
        device = fz_new_draw_device(ctx, fz_identity, pixmap);
        if (listCount > 0) {
            for (int i = 0; i < listCount; ++i)
                fz_run_display_list(ctx, lists[i], device, ctm, fz_make_rect(0, 0, float(w), float(h)), nullptr);
        } else if (withAnnotations) {
            pdf_update_page(ctx, page); // as in recordPage
            fz_run_page(ctx, reinterpret_cast<fz_page *>(page), device, ctm, cookie);
        }
        else
            fz_run_page_contents(ctx, reinterpret_cast<fz_page *>(page), device, ctm, cookie);
        fz_close_device(ctx, device);
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, device);
        fz_drop_pixmap(ctx, pixmap);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}
int drawInto(fz_context *ctx, fz_display_list *const *lists, int listCount, pdf_page *page, int withAnnotations,
             int withAlpha, fz_matrix ctm, int w, int h, int stride, unsigned char *samples, fz_cookie *cookie)
{
    const int ok =
        drawPixmap(ctx, lists, listCount, page, withAnnotations, withAlpha, ctm, w, h, stride, samples, cookie);
    if (!withAlpha)
        widenRows(w, h, stride, samples);
    return ok;
}

// Decodes the images a display list draws, whole, at the size they are
// drawn at with `ctm`, into MuPDF's store (and lets go of them), so that
// the tiles of the page drawn after it find them there instead of each
// decoding them at once on their own threads.
void decodeImage(fz_context *ctx, fz_image *image, fz_matrix ctm)
{
    // Those too large to share whole are decoded by each tile, a part each.
    if (1ll * image->w * image->h * 4 > detail::kWholeImageBytes)
        return;
    int w = 0, h = 0;
    fz_drop_pixmap(ctx, fz_get_pixmap_from_image(ctx, image, nullptr, &ctm, &w, &h));
}
// The pass over a page's lists before its tiles are drawn: it decodes the
// images, notes whether anything is see-through (drawn less than opaque, an
// image with a soft mask, a transparency group or a mask) and counts the
// glyphs drawn.
struct SurveyDevice {
    fz_device base;
    int seeThrough;
    int glyphs;
};
void noteAlpha(fz_device *device, float alpha)
{
    if (alpha < 1)
        reinterpret_cast<SurveyDevice *>(device)->seeThrough = 1;
}
void surveyFilledImage(fz_context *ctx, fz_device *device, fz_image *image, fz_matrix ctm, float alpha,
                       fz_color_params)
{
    noteAlpha(device, image->mask ? 0 : alpha);
    decodeImage(ctx, image, ctm);
}
void surveyMaskImage(fz_context *ctx, fz_device *device, fz_image *image, fz_matrix ctm, fz_colorspace *,
                     const float *, float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
    decodeImage(ctx, image, ctm);
}
void surveyClipImage(fz_context *ctx, fz_device *, fz_image *image, fz_matrix ctm, fz_rect)
{
    decodeImage(ctx, image, ctm);
}
void surveyPath(fz_context *, fz_device *device, const fz_path *, int, fz_matrix, fz_colorspace *, const float *,
                float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
}
void surveyStroke(fz_context *, fz_device *device, const fz_path *, const fz_stroke_state *, fz_matrix,
                  fz_colorspace *, const float *, float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
}
void countGlyphs(fz_device *device, const fz_text *text)
{
    for (const fz_text_span *span = text->head; span; span = span->next)
        reinterpret_cast<SurveyDevice *>(device)->glyphs += span->len;
}
void surveyText(fz_context *, fz_device *device, const fz_text *text, fz_matrix, fz_colorspace *, const float *,
                float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
    countGlyphs(device, text);
}
void surveyStrokedText(fz_context *, fz_device *device, const fz_text *text, const fz_stroke_state *, fz_matrix,
                       fz_colorspace *, const float *, float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
    countGlyphs(device, text);
}
void surveyShade(fz_context *, fz_device *device, fz_shade *, fz_matrix, float alpha, fz_color_params)
{
    noteAlpha(device, alpha);
}
void surveyMask(fz_context *, fz_device *device, fz_rect, int, fz_colorspace *, const float *, fz_color_params)
{
    noteAlpha(device, 0);
}
void surveyGroup(fz_context *, fz_device *device, fz_rect, fz_colorspace *, int, int, int, float)
{
    noteAlpha(device, 0);
}

struct PageSurvey {
    bool seeThrough = true;
    int glyphs = 0;
};

// What the lists draw; see-through when the pass failed, so that the page
// is drawn the way that suits either.
PageSurvey surveyLists(fz_context *ctx, fz_display_list *const *lists, int listCount, fz_matrix ctm)
{
    fz_device *device = nullptr;
    PageSurvey survey;
    fz_var(device);
    fz_var(survey);
    fz_try(ctx)
    {
        device = fz_new_device_of_size(ctx, sizeof(SurveyDevice));
        device->fill_image = surveyFilledImage;
        device->fill_image_mask = surveyMaskImage;
        device->clip_image_mask = surveyClipImage;
        device->fill_path = surveyPath;
        device->stroke_path = surveyStroke;
        device->fill_text = surveyText;
        device->stroke_text = surveyStrokedText;
        device->fill_shade = surveyShade;
        device->begin_mask = surveyMask;
        device->begin_group = surveyGroup;
        for (int i = 0; i < listCount; ++i)
            fz_run_display_list(ctx, lists[i], device, ctm, fz_infinite_rect, nullptr);
        fz_close_device(ctx, device);
        const auto *done = reinterpret_cast<SurveyDevice *>(device);
        survey = PageSurvey{done->seeThrough != 0, done->glyphs};
    }
    fz_always(ctx) fz_drop_device(ctx, device);
    fz_catch(ctx)
    {
        // The tiles decode what is missing themselves.
        survey = PageSurvey();
    }
    return survey;
}

// A white raster for the part `pixelRegion` (all when empty) of the page
// drawn at `scale`, with the matrix that takes MuPDF's page space to it; a
// null image when the request is unusable. The memory of `spare` is taken
// when it fits (see PdfDisplayList::render).
QImage blankRaster(const PageGeometry &geometry, double scale, const QRect &pixelRegion, fz_matrix *ctm,
                   QImage spare = {})
{
    if (!(scale > 0) || !std::isfinite(scale) || !geometry.isValid())
        return QImage();
    const QSizeF fullSize = geometry.displaySize() * scale;
    if (fullSize.width() > kMaxRasterEdge * 4 || fullSize.height() > kMaxRasterEdge * 4)
        return QImage();
    const QRect full(QPoint(0, 0), geometry.rasterSize(scale));
    const QRect region = pixelRegion.isEmpty() ? full : pixelRegion & full;
    if (region.isEmpty() || region.width() > kMaxRasterEdge || region.height() > kMaxRasterEdge)
        return QImage();
    // In the form the page view paints, so that its tiles need no copy.
    const bool fits = spare.size() == region.size() && spare.format() == QImage::Format_RGB32 && spare.isDetached();
    QImage image = fits ? std::move(spare) : QImage(region.size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    std::memset(image.bits(), 0xff, size_t(image.sizeInBytes())); // opaque white
    *ctm = detail::toFzMatrix(geometry.fitzToRaster(scale) * QTransform::fromTranslate(-region.x(), -region.y()));
    return image;
}

// A recorded page: its contents, or its annotations drawn over a recorded
// contents list shared with the list of the contents alone, so that when
// the annotations change only they are recorded again.
class MuDisplayList final : public PdfDisplayList {
public:
    MuDisplayList(fz_display_list *list, const PageGeometry &geometry, int page,
                  std::shared_ptr<const MuDisplayList> contents = nullptr)
        : m_list(list), m_geometry(geometry), m_page(page), m_contents(std::move(contents))
    {
    }
    ~MuDisplayList() override { fz_drop_display_list(detail::threadContext(), m_list); }

    int pageIndex() const override { return m_page; }
    bool withAnnotations() const override { return m_contents != nullptr; }

    QImage render(double scale, const QRect &pixelRegion, QImage spare) const override
    {
        fz_matrix ctm;
        QImage image = blankRaster(m_geometry, scale, pixelRegion, &ctm, std::move(spare));
        fz_display_list *lists[2] = {m_contents ? m_contents->m_list : m_list, m_list};
        if (image.isNull())
            return image;
        PageSurvey survey;
        {
            // The first tile at a scale decodes the page's images; the
            // others, made at the same time on other threads, wait for it.
            std::lock_guard lock(m_decodeMutex);
            if (m_decodedScales.insert(std::lround(scale * 1000)).second)
                m_survey = surveyLists(detail::threadContext(), lists, m_contents ? 2 : 1, ctm);
            survey = m_survey;
        }
        // The tiles of an opaque page of text are drawn one at a time: they
        // spend much of their time in MuPDF's glyph cache and allocator,
        // under its locks, and threads handing those back and forth took
        // longer than one thread drawing the tiles in turn (a page of a
        // two-column paper at 144 dpi: about 30 ms against 23). Blending
        // and images take no lock: see-through pages and scans are still
        // drawn side by side.
        const bool seeThrough = survey.seeThrough;
        std::unique_lock oneAtATime(m_drawMutex, std::defer_lock);
        if (!seeThrough && survey.glyphs >= kManyGlyphs)
            oneAtATime.lock();
        drawInto(detail::threadContext(), lists, m_contents ? 2 : 1, nullptr, 0, seeThrough ? 0 : 1, ctm, image.width(),
                     image.height(), int(image.bytesPerLine()), image.bits(), nullptr);
        return image;
    }

private:
    fz_display_list *m_list;
    PageGeometry m_geometry;
    int m_page;
    std::shared_ptr<const MuDisplayList> m_contents;
    mutable std::mutex m_decodeMutex;
    mutable std::set<long> m_decodedScales;
    mutable PageSurvey m_survey;
    // Held while a tile of an opaque page of text is drawn.
    mutable std::mutex m_drawMutex;
};

} // namespace

PdfPage::PdfPage(std::shared_ptr<PdfDocument> document, int index) : m_document(std::move(document)), m_index(index)
{
    if (!m_document || index < 0 || index >= m_document->pageCount()) {
        m_document.reset();
        m_index = -1;
    }
}

bool PdfPage::isValid() const { return m_document != nullptr; }

namespace {
PageGeometry geometryOf(const PdfPage &page)
{
    if (!page.isValid())
        return PageGeometry();
    DocumentLock lock(*page.document());
    return lock.impl().geometry(lock.ctx(), page.index());
}
} // namespace

QRectF PdfPage::mediaBox() const { return geometryOf(*this).mediaBox; }
QRectF PdfPage::cropBox() const { return geometryOf(*this).cropBox; }
int PdfPage::rotation() const { return geometryOf(*this).rotation; }
QSizeF PdfPage::displaySize() const { return geometryOf(*this).displaySize(); }
QTransform PdfPage::drawingTransform() const { return geometryOf(*this).drawingTransform(); }
QTransform PdfPage::rasterTransform(double scale) const { return geometryOf(*this).rasterTransform(scale); }

std::uint64_t PdfPage::revision() const
{
    if (!isValid())
        return 0;
    DocumentLock lock(*m_document);
    return lock.impl().pageRevision(m_index);
}

namespace {

// The page's display list of `layer`. The contents are recorded once and
// kept, and so are the annotations drawn over them; the annotations but
// highlights and underlines are recorded anew each time.
std::shared_ptr<const PdfDisplayList> recordedList(PdfDocument &document, int index, Layer layer)
{
    DocumentLock lock(document);
    auto &impl = lock.impl();
    const bool kept = layer != Layer::annotationsButHighlights;
    if (auto cached = kept ? impl.cachedDisplayList(index, layer == Layer::annotations) : nullptr)
        return cached;
    const PageGeometry &geometry = impl.geometry(lock.ctx(), index);
    pdf_page *page = impl.loadPage(lock.ctx(), index);
    if (!page || !geometry.isValid())
        return nullptr;
    detail::WorkLimit limit;
    // The contents, recorded once for as long as the page's contents stay.
    auto contents = std::static_pointer_cast<const MuDisplayList>(impl.cachedDisplayList(index, false));
    if (!contents) {
        fz_display_list *list = recordPage(lock.ctx(), page, Layer::contents, limit.cookie());
        if (!list)
            return nullptr;
        contents = std::make_shared<MuDisplayList>(list, geometry, index);
        impl.storeDisplayList(index, false, contents);
    }
    if (layer == Layer::contents)
        return contents;
    fz_display_list *annotations = recordPage(lock.ctx(), page, layer, limit.cookie());
    if (!annotations)
        return nullptr;
    auto result = std::make_shared<MuDisplayList>(annotations, geometry, index, contents);
    if (kept)
        impl.storeDisplayList(index, true, result);
    return result;
}

} // namespace

std::shared_ptr<const PdfDisplayList> PdfPage::displayList(bool withAnnotations) const
{
    return isValid() ? recordedList(*m_document, m_index, withAnnotations ? Layer::annotations : Layer::contents)
                     : nullptr;
}

std::shared_ptr<const PdfDisplayList> PdfPage::displayListWithoutHighlights() const
{
    return isValid() ? recordedList(*m_document, m_index, Layer::annotationsButHighlights) : nullptr;
}

QImage PdfPage::render(double scale, bool withAnnotations, const QRect &pixelRegion) const
{
    if (!isValid())
        return QImage();
    DocumentLock lock(*m_document);
    auto &impl = lock.impl();
    if (auto cached = impl.cachedDisplayList(m_index, withAnnotations))
        return cached->render(scale, pixelRegion);
    // Without a recorded list, draw the page straight away under the lock.
    const PageGeometry &geometry = impl.geometry(lock.ctx(), m_index);
    pdf_page *page = impl.loadPage(lock.ctx(), m_index);
    fz_matrix ctm;
    QImage image = page ? blankRaster(geometry, scale, pixelRegion, &ctm) : QImage();
    if (!image.isNull()) {
        detail::WorkLimit limit;
        drawInto(lock.ctx(), nullptr, 0, page, withAnnotations ? 1 : 0, 0, ctm, image.width(), image.height(),
                 int(image.bytesPerLine()), image.bits(), limit.cookie());
    }
    return image;
}

QImage PdfPage::renderFitting(int edgeLength, bool withAnnotations) const
{
    const QSizeF size = displaySize();
    const double longer = std::max(size.width(), size.height());
    if (edgeLength <= 0 || !(longer > 0))
        return QImage();
    return render(edgeLength / longer, withAnnotations);
}

} // namespace folvan::engine
