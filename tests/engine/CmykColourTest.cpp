#include <gtest/gtest.h>

#include <lcms2.h>

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/detail/CmykColor.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;
using folvan::engine::detail::CmykToRgbTable;
using folvan::engine::detail::kCmykProfilePath;

namespace {

struct Ink {
    double c, m, y, k;
};

// What the CMYK profile makes of `ink` in sRGB (0..255), straight from
// Little CMS: relative colorimetric with black-point compensation.
std::array<double, 3> profileRgb(Ink ink)
{
    static const cmsHTRANSFORM transform = [] {
        cmsHPROFILE cmyk = cmsOpenProfileFromFile(kCmykProfilePath, "r");
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHTRANSFORM made = cmsCreateTransform(cmyk, TYPE_CMYK_DBL, srgb, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                                cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOOPTIMIZE);
        cmsCloseProfile(srgb);
        cmsCloseProfile(cmyk);
        return made;
    }();
    const double in[4] = {ink.c * 100, ink.m * 100, ink.y * 100, ink.k * 100};
    double out[3] = {-1, -1, -1};
    if (transform)
        cmsDoTransform(transform, in, out, 1);
    return {std::clamp(out[0], 0.0, 1.0) * 255, std::clamp(out[1], 0.0, 1.0) * 255,
            std::clamp(out[2], 0.0, 1.0) * 255};
}

constexpr double kTolerance = 3; // units of 0..255

std::string describe(const QColor &got, const std::array<double, 3> &want)
{
    return "got (" + std::to_string(got.red()) + ", " + std::to_string(got.green()) + ", "
        + std::to_string(got.blue()) + "), want (" + std::to_string(want[0]) + ", " + std::to_string(want[1])
        + ", " + std::to_string(want[2]) + ")";
}

testing::AssertionResult near(const QColor &got, const std::array<double, 3> &want)
{
    const double values[3] = {double(got.red()), double(got.green()), double(got.blue())};
    for (int i = 0; i < 3; ++i)
        if (std::abs(values[i] - want[i]) > kTolerance)
            return testing::AssertionFailure() << describe(got, want);
    return testing::AssertionSuccess();
}

QByteArray hexOf(std::initializer_list<Ink> inks)
{
    QByteArray bytes;
    for (const Ink &ink : inks)
        for (double v : {ink.c, ink.m, ink.y, ink.k})
            bytes += char(std::lround(v * 255));
    return bytes;
}

// Ink amounts that survive 8-bit samples unchanged.
Ink inkOfBytes(int c, int m, int y, int k) { return {c / 255.0, m / 255.0, y / 255.0, k / 255.0}; }

// A 600 × 600 page of colour patches, each 60 points square, laid out
// on a grid; the page is rendered one pixel a point.
class CmykPage : public testing::Test {
protected:
    static QRectF cell(int column, int row) { return QRectF(20 + column * 80, 500 - row * 90, 60, 60); }
    static QByteArray rect(const QRectF &r)
    {
        return QByteArray::number(r.x()) + " " + QByteArray::number(r.y()) + " " + QByteArray::number(r.width())
            + " " + QByteArray::number(r.height()) + " re f\n";
    }
    QColor pixelAt(QPointF point) const { return m_image.pixelColor(int(point.x()), int(600 - point.y())); }
    QColor centreOf(const QRectF &r) const { return pixelAt(r.center()); }

    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(QString::fromUtf8(kCmykProfilePath))) << "the CMYK profile (libgs-common)";
        PdfFixtureWriter w;
        w.addPage(QSizeF(600, 600));
        // Fills in DeviceCMYK, an ICC-based CMYK space, a Separation and a
        // DeviceN colour, and an RGB control.
        w.addContent(0, "0.5 1 0 0.4 k " + rect(cell(0, 0)) + "0.2 0.3 0.9 0.05 k " + rect(cell(1, 0)));
        QFile profile(QString::fromUtf8(kCmykProfilePath));
        ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
        const int icc = w.addRawObject("/N 4 /Alternate /DeviceCMYK", profile.readAll());
        w.addResource(0, "ColorSpace", "Icc", "[/ICCBased " + QByteArray::number(icc) + " 0 R]");
        w.addContent(0, "/Icc cs 0.7 0.1 0.3 0.2 sc " + rect(cell(2, 0)));
        w.addResource(0, "ColorSpace", "Spot",
                      "[/Separation /Purple /DeviceCMYK << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0]"
                      " /C1 [0.5 1 0 0.4] /N 1 >>]");
        w.addContent(0, "/Spot cs 0.6 scn " + rect(cell(3, 0)));
        const int tint = w.addRawObject("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1]",
                                        QByteArray("{ 0 exch 0 }"));
        w.addResource(0, "ColorSpace", "Inks",
                      "[/DeviceN [/Cyan /Yellow] /DeviceCMYK " + QByteArray::number(tint) + " 0 R]");
        w.addContent(0, "/Inks cs 0.8 0.4 scn " + rect(cell(4, 0)));
        w.addContent(0, "0.2 0.4 0.6 rg " + rect(cell(5, 0)));

        // A CMYK image of 4 × 1 pixels and an indexed one over CMYK.
        w.addRawImage(0, QRectF(cell(0, 1).topLeft(), QSizeF(240, 60)), QSize(4, 1), "/DeviceCMYK",
                      hexOf({inkOfBytes(0, 0, 0, 0), inkOfBytes(255, 0, 0, 0), inkOfBytes(30, 200, 90, 10),
                             inkOfBytes(128, 255, 0, 102)}));
        w.addRawImage(0, QRectF(cell(3, 1).topLeft(), QSizeF(180, 60)), QSize(3, 1),
                      "[/Indexed /DeviceCMYK 2 <" + hexOf({inkOfBytes(0, 0, 255, 0), inkOfBytes(200, 100, 0, 50),
                                                           inkOfBytes(20, 20, 20, 230)})
                              .toHex()
                          + ">]",
                      QByteArray("\x02\x00\x01", 3));

        // An axial shading in DeviceCMYK across 300 points, its ends
        // extended, and a CMYK transparency group, opaque and half.
        w.addResource(0, "Shading", "Sh",
                      "<< /ShadingType 2 /ColorSpace /DeviceCMYK /Coords [120 0 420 0] /Extend [true true]"
                      " /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0 0] /C1 [0 0.8 0.6 0.1] /N 1 >> >>");
        const QRectF shaded(20, 320, 500, 60);
        w.addContent(0, "q " + rect(shaded).replace(" f\n", " W n ") + "/Sh sh Q");
        const int group = w.addRawObject(
            "/Type /XObject /Subtype /Form /BBox [0 0 600 600]"
            " /Group << /S /Transparency /CS /DeviceCMYK /I true >>"
            " /Resources << /ExtGState << /Half << /ca 0.5 >> >> >>",
            "0.1 0.9 0.2 0 k " + rect(cell(0, 3)) + "/Half gs " + rect(cell(1, 3)));
        w.addResource(0, "XObject", "Group", QByteArray::number(group) + " 0 R");
        w.addContent(0, "/Group Do");

        QString error;
        auto doc = PdfDocument::openData(w.data(), &error);
        ASSERT_TRUE(doc) << error.toStdString();
        m_image = doc->page(0).render(1.0, false);
        ASSERT_EQ(m_image.size(), QSize(600, 600));
    }

    QImage m_image;
};

} // namespace

TEST_F(CmykPage, FillsInEveryProcessColourSpaceShowTheProfilesColours)
{
    EXPECT_TRUE(near(centreOf(cell(0, 0)), profileRgb({0.5, 1, 0, 0.4})));
    EXPECT_TRUE(near(centreOf(cell(1, 0)), profileRgb({0.2, 0.3, 0.9, 0.05})));
    EXPECT_TRUE(near(centreOf(cell(2, 0)), profileRgb({0.7, 0.1, 0.3, 0.2})));
    EXPECT_TRUE(near(centreOf(cell(3, 0)), profileRgb({0.3, 0.6, 0, 0.24})));
    EXPECT_TRUE(near(centreOf(cell(4, 0)), profileRgb({0.8, 0, 0.4, 0})));
    // The purple of a thesis title is purple, not MuPDF's naive deep blue.
    const QColor purple = centreOf(cell(0, 0));
    EXPECT_GT(purple.red(), 70);
    EXPECT_GT(purple.red(), purple.blue() / 2);
}

TEST_F(CmykPage, RgbStaysExact)
{
    EXPECT_EQ(centreOf(cell(5, 0)), QColor(51, 102, 153));
    EXPECT_EQ(pixelAt(QPointF(590, 590)), QColor(Qt::white));
}

TEST_F(CmykPage, ImagesShadingsAndGroupsShowTheProfilesColours)
{
    const Ink image[4] = {inkOfBytes(0, 0, 0, 0), inkOfBytes(255, 0, 0, 0), inkOfBytes(30, 200, 90, 10),
                          inkOfBytes(128, 255, 0, 102)};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(near(pixelAt(cell(0, 1).topLeft() + QPointF(30 + 60 * i, 30)), profileRgb(image[i])))
            << "image pixel " << i;
    const Ink palette[3] = {inkOfBytes(20, 20, 20, 230), inkOfBytes(0, 0, 255, 0), inkOfBytes(200, 100, 0, 50)};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(near(pixelAt(cell(3, 1).topLeft() + QPointF(30 + 60 * i, 30)), profileRgb(palette[i])))
            << "indexed pixel " << i;

    EXPECT_TRUE(near(pixelAt(QPointF(60, 350)), profileRgb({1, 0, 0, 0})));
    EXPECT_TRUE(near(pixelAt(QPointF(270, 350)), profileRgb({0.5, 0.4, 0.3, 0.05})));
    EXPECT_TRUE(near(pixelAt(QPointF(480, 350)), profileRgb({0, 0.8, 0.6, 0.1})));

    const auto opaque = profileRgb({0.1, 0.9, 0.2, 0});
    EXPECT_TRUE(near(centreOf(cell(0, 3)), opaque));
    EXPECT_TRUE(near(centreOf(cell(1, 3)), {(opaque[0] + 255) / 2, (opaque[1] + 255) / 2, (opaque[2] + 255) / 2}));
}

TEST(CmykTable, FollowsTheProfileBetweenItsNodes)
{
    const auto table = CmykToRgbTable::fromProfile(kCmykProfilePath);
    ASSERT_TRUE(table);
    // Off-node ink amounts all over the cube, by a fixed sequence.
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 24);
    };
    double worst = 0;
    int close = 0;
    const int samples = 1000;
    for (int i = 0; i < samples; ++i) {
        const std::uint8_t bytes[4] = {std::uint8_t(next()), std::uint8_t(next()), std::uint8_t(next()),
                                       std::uint8_t(next())};
        const auto want = profileRgb(inkOfBytes(bytes[0], bytes[1], bytes[2], bytes[3]));
        std::uint8_t got8[3];
        table->convert(bytes, got8);
        const float inks[4] = {bytes[0] / 255.0f, bytes[1] / 255.0f, bytes[2] / 255.0f, bytes[3] / 255.0f};
        float got[3];
        table->convert(inks, got);
        double error = 0;
        for (int c = 0; c < 3; ++c)
            error = std::max({error, std::abs(got8[c] - want[c]), std::abs(got[c] * 255 - want[c])});
        worst = std::max(worst, error);
        close += error <= 2;
    }
    // The few colours off by more lie beyond sRGB, where a channel is clipped.
    EXPECT_LE(worst, 5);
    EXPECT_GE(close, samples * 99 / 100);
    // Out-of-range amounts are clamped, not extrapolated.
    const float beyond[4] = {-1, 2, 0.5f, std::nanf("")};
    const float clamped[4] = {0, 1, 0.5f, 0};
    float a[3], b[3];
    table->convert(beyond, a);
    table->convert(clamped, b);
    for (int c = 0; c < 3; ++c)
        EXPECT_FLOAT_EQ(a[c], b[c]);
}

TEST(CmykTable, WithoutTheProfileInksStillLookLikeInks)
{
    EXPECT_FALSE(CmykToRgbTable::fromProfile("/nonexistent/cmyk.icc"));
    EXPECT_FALSE(CmykToRgbTable::fromProfile("/usr/share/color/icc/ghostscript/default_rgb.icc"));

    const auto table = CmykToRgbTable::fromInkModel();
    ASSERT_TRUE(table);
    auto rgb = [&](int c, int m, int y, int k) {
        const std::uint8_t ink[4] = {std::uint8_t(c), std::uint8_t(m), std::uint8_t(y), std::uint8_t(k)};
        std::uint8_t out[3];
        table->convert(ink, out);
        return QColor(out[0], out[1], out[2]);
    };
    EXPECT_EQ(rgb(0, 0, 0, 0), QColor(255, 255, 255));
    EXPECT_LT(rgb(0, 0, 0, 255).lightness(), 40);
    EXPECT_LT(rgb(255, 255, 255, 255).lightness(), 10);
    const QColor purple = rgb(128, 255, 0, 102);
    EXPECT_GT(purple.red(), 60);
    EXPECT_LT(purple.green(), 30);
    const QColor cyan = rgb(255, 0, 0, 0);
    EXPECT_LT(cyan.red(), 30);
    EXPECT_GT(cyan.blue(), 200);
}
