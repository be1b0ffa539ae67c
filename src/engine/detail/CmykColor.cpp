#include "engine/detail/CmykColor.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace folvan::engine::detail {
namespace {

constexpr int kSteps = CmykToRgbTable::kSteps;
constexpr int kNodes = kSteps * kSteps * kSteps * kSteps;
// Distances between neighbouring nodes in the grid (K slowest, Y fastest).
constexpr int kStrideY = 3;
constexpr int kStrideM = kSteps * kStrideY;
constexpr int kStrideC = kSteps * kStrideM;
constexpr int kStrideK = kSteps * kStrideC;

// Ink amount (0..1) of grid step i.
constexpr double stepInk(int i) { return double(i) / (kSteps - 1); }

// Calls visit(node, c, m, y, k) for every grid node, ink amounts 0..1.
template <typename Visit>
void forEachNode(Visit visit)
{
    int node = 0;
    for (int k = 0; k < kSteps; ++k)
        for (int c = 0; c < kSteps; ++c)
            for (int m = 0; m < kSteps; ++m)
                for (int y = 0; y < kSteps; ++y)
                    visit(node++, stepInk(c), stepInk(m), stepInk(y), stepInk(k));
}

float clamp01(float v) { return v > 0 ? (v < 1 ? v : 1) : 0; } // NaN becomes 0

// sRGB's transfer function, both ways (values 0..1).
float encodeSrgb(float linear)
{
    const float v = clamp01(linear);
    return v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
}
double decodeSrgb(double encoded)
{
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// sRGB's primaries and white with a linear response: the grid holds linear
// light, which the profile's colours vary in more evenly than in sRGB's
// encoding (where a channel near zero bends sharply).
cmsHPROFILE newLinearSrgbProfile()
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    if (!linear)
        return nullptr;
    cmsToneCurve *curves[3] = {linear, linear, linear};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(linear);
    return profile;
}

struct LcmsProfile {
    cmsHPROFILE handle = nullptr;
    ~LcmsProfile()
    {
        if (handle)
            cmsCloseProfile(handle);
    }
};

} // namespace

std::unique_ptr<CmykToRgbTable> CmykToRgbTable::fromProfile(const char *profilePath) noexcept
{
    LcmsProfile cmyk{cmsOpenProfileFromFile(profilePath, "r")};
    if (!cmyk.handle || cmsGetColorSpace(cmyk.handle) != cmsSigCmykData)
        return nullptr;
    LcmsProfile srgb{newLinearSrgbProfile()};
    if (!srgb.handle)
        return nullptr;
    // The full pipeline, not lcms's own precalculated one: this runs once.
    cmsHTRANSFORM transform = cmsCreateTransform(cmyk.handle, TYPE_CMYK_DBL, srgb.handle, TYPE_RGB_DBL,
                                                 INTENT_RELATIVE_COLORIMETRIC,
                                                 cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOOPTIMIZE
                                                     | cmsFLAGS_NOCACHE);
    if (!transform)
        return nullptr;
    std::unique_ptr<CmykToRgbTable> table(new (std::nothrow) CmykToRgbTable);
    std::unique_ptr<double[]> in(new (std::nothrow) double[kNodes * 4]);
    std::unique_ptr<double[]> out(new (std::nothrow) double[kNodes * 3]);
    if (table && in && out) {
        // lcms takes ink amounts in percent.
        forEachNode([&](int node, double c, double m, double y, double k) {
            double *ink = &in[size_t(node) * 4];
            ink[0] = c * 100;
            ink[1] = m * 100;
            ink[2] = y * 100;
            ink[3] = k * 100;
        });
        cmsDoTransform(transform, in.get(), out.get(), kNodes);
        // Colours beyond sRGB are kept as they are until after the
        // interpolation: clipped nodes would bend it near the gamut's edge.
        for (int i = 0; i < kNodes * 3; ++i)
            table->m_grid[i] = float(std::isfinite(out[size_t(i)]) ? out[size_t(i)] : 0);
    }
    cmsDeleteTransform(transform);
    if (!table || !in || !out)
        return nullptr;
    table->fillCells();
    return table;
}

std::unique_ptr<CmykToRgbTable> CmykToRgbTable::fromInkModel() noexcept
{
    std::unique_ptr<CmykToRgbTable> table(new (std::nothrow) CmykToRgbTable);
    if (!table)
        return nullptr;
    // Each ink filters the light by its own colour on white paper, in
    // proportion to its amount, the filters multiplying: the colours of
    // solid process inks on coated paper, in sRGB.
    static constexpr float kInks[4][3] = {
        {0.00f, 0.68f, 0.94f}, // cyan
        {0.93f, 0.00f, 0.55f}, // magenta
        {1.00f, 0.95f, 0.00f}, // yellow
        {0.14f, 0.12f, 0.13f}, // black
    };
    forEachNode([&](int node, double c, double m, double y, double k) {
        const double amounts[4] = {c, m, y, k};
        for (int channel = 0; channel < 3; ++channel) {
            double light = 1;
            for (int ink = 0; ink < 4; ++ink)
                light *= 1 - amounts[ink] * (1 - kInks[ink][channel]);
            table->m_grid[node * 3 + channel] = float(decodeSrgb(light));
        }
    });
    table->fillCells();
    return table;
}

void CmykToRgbTable::fillCells() noexcept
{
    for (int i = 0; i <= kEncodeSteps; ++i)
        m_encode[i] = std::uint8_t(encodeSrgb(float(i) / kEncodeSteps) * 255 + 0.5f);
    for (int v = 0; v < 256; ++v) {
        const float position = float(v) * (kSteps - 1) / 255.0f;
        const int index = std::min(int(position), kSteps - 2);
        m_cells[v] = Cell{std::uint8_t(index), position - float(index)};
    }
}

void CmykToRgbTable::interpolate(int c, int m, int y, int k, float fc, float fm, float fy, float fk,
                                 float out[3]) const noexcept
{
    // Tetrahedral interpolation in the C, M, Y cube of a K plane: the
    // tetrahedron's corners lie on the path from the cube's first node to
    // its last along the axes in the order of their fractions, largest
    // first. The order is looked up, not branched on: in a photograph it
    // changes from pixel to pixel.
    struct Path {
        int second, third;
    };
    static constexpr Path kPaths[8] = {
        {kStrideY, kStrideY + kStrideM}, // y > m > c
        {kStrideY, kStrideY + kStrideM}, // (cannot happen)
        {kStrideM, kStrideM + kStrideY}, // m >= y > c
        {kStrideM, kStrideM + kStrideC}, // m > c >= y
        {kStrideY, kStrideY + kStrideC}, // y > c >= m
        {kStrideC, kStrideC + kStrideY}, // c >= y > m
        {kStrideC, kStrideC + kStrideM}, // (cannot happen)
        {kStrideC, kStrideC + kStrideM}, // c >= m >= y
    };
    const Path path = kPaths[(fc >= fm) * 4 + (fm >= fy) * 2 + (fc >= fy)];
    const int second = path.second, third = path.third;
    const float high = std::max({fc, fm, fy}), low = std::min({fc, fm, fy});
    const float middle = fc + fm + fy - high - low;
    constexpr int fourth = kStrideC + kStrideM + kStrideY;
    const float w0 = 1 - high, w1 = high - middle, w2 = middle - low, w3 = low;
    const float *p = m_grid + k * kStrideK + c * kStrideC + m * kStrideM + y * kStrideY;
    for (int i = 0; i < 3; ++i)
        out[i] = w0 * p[i] + w1 * p[second + i] + w2 * p[third + i] + w3 * p[fourth + i];
    if (fk > 0) {
        p += kStrideK;
        for (int i = 0; i < 3; ++i) {
            const float upper = w0 * p[i] + w1 * p[second + i] + w2 * p[third + i] + w3 * p[fourth + i];
            out[i] += fk * (upper - out[i]);
        }
    }
}

void CmykToRgbTable::convert(const float cmyk[4], float rgb[3]) const noexcept
{
    int index[4];
    float fraction[4];
    for (int i = 0; i < 4; ++i) {
        const float position = clamp01(cmyk[i]) * (kSteps - 1);
        index[i] = std::min(int(position), kSteps - 2);
        fraction[i] = position - float(index[i]);
    }
    interpolate(index[0], index[1], index[2], index[3], fraction[0], fraction[1], fraction[2], fraction[3], rgb);
    for (int i = 0; i < 3; ++i)
        rgb[i] = encodeSrgb(rgb[i]);
}

void CmykToRgbTable::convert(const std::uint8_t cmyk[4], std::uint8_t rgb[3]) const noexcept
{
    const Cell &c = m_cells[cmyk[0]], &m = m_cells[cmyk[1]], &y = m_cells[cmyk[2]], &k = m_cells[cmyk[3]];
    float out[3];
    interpolate(c.index, m.index, y.index, k.index, c.fraction, m.fraction, y.fraction, k.fraction, out);
    for (int i = 0; i < 3; ++i)
        rgb[i] = m_encode[int(clamp01(out[i]) * kEncodeSteps + 0.5f)];
}

const CmykToRgbTable &cmykToRgb() noexcept
{
    // Never freed: a thread may still draw while the process exits.
    static const CmykToRgbTable *const table = [] {
        auto baked = CmykToRgbTable::fromProfile(kCmykProfilePath);
        return (baked ? std::move(baked) : CmykToRgbTable::fromInkModel()).release();
    }();
    // Without memory for either table the process could not draw anyway.
    if (!table)
        std::abort();
    return *table;
}

} // namespace folvan::engine::detail
