// Process colours on screen through the CMYK profile (CmykColor.h).
//
// Debian's MuPDF is built without colour management: every CMYK colour it
// draws, whether of a fill, a stroke, text, an image, an indexed image, a
// shading, the alternate of a Separation or DeviceN colour space or a CMYK
// group, ends in one of two functions of the library, one that picks the
// converter of single colours and one that converts whole pixmaps. The
// linker routes both here (--wrap, set up in this folder's CMakeLists.txt):
// CMYK to RGB or BGR is ours, everything else goes on to MuPDF's own
// functions (`__real_...`). Both are MuPDF internals, so the hook is built
// only for the MuPDF version whose signatures it was written against.

#include "engine/detail/CmykColor.h"

#include <mupdf/fitz.h>

#if FOLVAN_WRAP_MUPDF_COLOR

#if FZ_VERSION_MAJOR != 1 || FZ_VERSION_MINOR != 21
#error "The colour hooks follow MuPDF 1.21's internal signatures: check them for this version"
#endif
#if FZ_ENABLE_ICC
#error "Build the engine with FZ_ENABLE_ICC=0: the library's structures are laid out without ICC"
#endif

#include <algorithm>
#include <cstring>

using folvan::engine::detail::cmykToRgb;

struct fz_color_converter; // MuPDF's, opaque here

extern "C" {

typedef void ColorConvertFn(fz_context *ctx, fz_color_converter *cc, const float *src, float *dst);

ColorConvertFn *__real_fz_lookup_fast_color_converter(fz_context *ctx, fz_colorspace *ss, fz_colorspace *ds);
void __real_fz_convert_fast_pixmap_samples(fz_context *ctx, const fz_pixmap *src, fz_pixmap *dst, int copy_spots);

ColorConvertFn *__wrap_fz_lookup_fast_color_converter(fz_context *ctx, fz_colorspace *ss, fz_colorspace *ds);
void __wrap_fz_convert_fast_pixmap_samples(fz_context *ctx, const fz_pixmap *src, fz_pixmap *dst, int copy_spots);

static void cmykToRgbColor(fz_context *, fz_color_converter *, const float *cmyk, float *rgb)
{
    cmykToRgb().convert(cmyk, rgb);
}

static void cmykToBgrColor(fz_context *, fz_color_converter *, const float *cmyk, float *bgr)
{
    float rgb[3];
    cmykToRgb().convert(cmyk, rgb);
    bgr[0] = rgb[2];
    bgr[1] = rgb[1];
    bgr[2] = rgb[0];
}

ColorConvertFn *__wrap_fz_lookup_fast_color_converter(fz_context *ctx, fz_colorspace *ss, fz_colorspace *ds)
{
    if (ss && ds && ss->type == FZ_COLORSPACE_CMYK) {
        if (ds->type == FZ_COLORSPACE_RGB)
            return cmykToRgbColor;
        if (ds->type == FZ_COLORSPACE_BGR)
            return cmykToBgrColor;
    }
    return __real_fz_lookup_fast_color_converter(ctx, ss, ds);
}

} // extern "C"

namespace {

// Samples of a CMYK pixmap into an RGB or BGR one of the same size. Colour
// values with an alpha channel are premultiplied, on both sides. Spot
// channels are copied when `copySpots`, left as they are otherwise.
void convertCmykPixmap(const fz_pixmap *src, fz_pixmap *dst, bool copySpots, bool bgr)
{
    const auto &table = cmykToRgb();
    const int spots = src->s;
    const bool srcAlpha = src->alpha, dstAlpha = dst->alpha;
    const int r = bgr ? 2 : 0, b = bgr ? 0 : 2;
    std::uint8_t lastInk[4] = {0, 0, 0, 0}, lastRgb[3];
    table.convert(lastInk, lastRgb);
    for (int row = 0; row < src->h; ++row) {
        const std::uint8_t *s = src->samples + row * src->stride;
        std::uint8_t *d = dst->samples + row * dst->stride;
        for (int column = 0; column < src->w; ++column, s += src->n, d += dst->n) {
            std::uint8_t ink[4] = {s[0], s[1], s[2], s[3]};
            const int alpha = srcAlpha ? s[4 + spots] : 255;
            if (alpha < 255)
                for (auto &v : ink)
                    v = alpha ? std::uint8_t(std::min(255, (v * 255 + alpha / 2) / alpha)) : 0;
            if (std::memcmp(ink, lastInk, 4) != 0) {
                std::memcpy(lastInk, ink, 4);
                table.convert(ink, lastRgb);
            }
            if (dstAlpha) {
                d[r] = std::uint8_t((lastRgb[0] * alpha + 127) / 255);
                d[1] = std::uint8_t((lastRgb[1] * alpha + 127) / 255);
                d[b] = std::uint8_t((lastRgb[2] * alpha + 127) / 255);
            } else {
                d[r] = lastRgb[0];
                d[1] = lastRgb[1];
                d[b] = lastRgb[2];
            }
            if (copySpots)
                std::memcpy(d + 3, s + 4, size_t(spots));
            if (dstAlpha)
                d[3 + dst->s] = std::uint8_t(alpha);
        }
    }
}

} // namespace

extern "C" void __wrap_fz_convert_fast_pixmap_samples(fz_context *ctx, const fz_pixmap *src, fz_pixmap *dst,
                                                      int copy_spots)
{
    const fz_colorspace *ss = src->colorspace, *ds = dst ? dst->colorspace : nullptr;
    const bool ours = ss && ds && ss->type == FZ_COLORSPACE_CMYK
        && (ds->type == FZ_COLORSPACE_RGB || ds->type == FZ_COLORSPACE_BGR)
        && src->w == dst->w && src->h == dst->h && src->w >= 0 && src->h >= 0
        && src->n == 4 + src->s + src->alpha && dst->n == 3 + dst->s + dst->alpha
        && (!copy_spots || src->s == dst->s); // MuPDF's own reports the mismatch
    if (ours)
        convertCmykPixmap(src, dst, copy_spots, ds->type == FZ_COLORSPACE_BGR);
    else
        __real_fz_convert_fast_pixmap_samples(ctx, src, dst, copy_spots);
}

#endif
