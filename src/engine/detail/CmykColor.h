#pragma once

// Internal to the engine: how process colours (CMYK) become screen colours.
//
// The conversion is the CMYK profile Debian ships with its PostScript
// interpreter (`kCmykProfilePath`) to sRGB, relative colorimetric with
// black-point compensation, baked once into a 17×17×17×17 grid of linear
// light that is interpolated at run time (tetrahedral in C, M, Y; linear
// in K) and then encoded as sRGB. Without the profile file the grid is
// baked from a simple model of printing inks.

#include <cstdint>
#include <memory>

namespace folvan::engine::detail {

inline constexpr const char *kCmykProfilePath = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

class CmykToRgbTable {
public:
    static constexpr int kSteps = 17;

    // Baked from the ICC profile at `profilePath`; null when it cannot be
    // read or is not a CMYK output profile.
    static std::unique_ptr<CmykToRgbTable> fromProfile(const char *profilePath) noexcept;
    // Baked from the ink model: the fallback without a profile.
    static std::unique_ptr<CmykToRgbTable> fromInkModel() noexcept;

    // Ink amounts 0..1 (clamped) to sRGB 0..1.
    void convert(const float cmyk[4], float rgb[3]) const noexcept;
    // Ink amounts 0..255 to sRGB 0..255, rounded.
    void convert(const std::uint8_t cmyk[4], std::uint8_t rgb[3]) const noexcept;

private:
    CmykToRgbTable() = default;
    void fillCells() noexcept;
    void interpolate(int c, int m, int y, int k, float fc, float fm, float fy, float fk, float out[3]) const noexcept;

    // Grid index and fraction of each 8-bit ink amount.
    struct Cell {
        std::uint8_t index;
        float fraction;
    };
    Cell m_cells[256];
    // Linear light 0..1 (beyond where out of sRGB's gamut) at each grid
    // node, K slowest, then C, M, Y.
    float m_grid[kSteps * kSteps * kSteps * kSteps * 3];
    // sRGB's encoding of linear light i / kEncodeSteps, 0..255.
    static constexpr int kEncodeSteps = 16384;
    std::uint8_t m_encode[kEncodeSteps + 1];
};

// The process-wide table: the profile's when it can be read, the ink model's
// otherwise. Baked on first use; safe from any thread.
const CmykToRgbTable &cmykToRgb() noexcept;

} // namespace folvan::engine::detail
