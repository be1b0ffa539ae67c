// folvan-bench --cmyk-image [--scale S]
//   Writes a page covered by one CMYK photograph-like image (8-bit samples,
//   one image pixel per output pixel at the scale, default 2 = 144 dpi)
//   and prints cmyk_image_render_ms, the engine's raster of that page
//   through the CMYK profile, beside mutool_cmyk_image_render_ms, MuPDF's
//   own tool drawing the same page at the same resolution to RGB (its naive
//   formula). Each figure is the best of three runs;
//   cmyk_image_first_render_ms is the engine's first run, which also bakes
//   the colour table once for the process.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "BenchArgs.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

constexpr int kRuns = 3;

// Smooth gradients of all four inks with a ripple, so that neighbouring
// pixels differ as in a photograph.
QByteArray photographSamples(int width, int height)
{
    QByteArray samples(qsizetype(width) * height * 4, Qt::Uninitialized);
    char *p = samples.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double ripple = 0.5 + 0.5 * std::sin(x * 0.05) * std::cos(y * 0.03);
            *p++ = char(std::lround(255 * u));
            *p++ = char(std::lround(255 * v));
            *p++ = char(std::lround(255 * ripple));
            *p++ = char(std::lround(255 * (1 - u) * v * 0.6));
        }
    return samples;
}

// MuPDF's tool on page 1 of `path`; its own timing line leaves out the
// process start-up.
double mutoolMs(const QString &path, double scale)
{
    QProcess process;
    process.start(QStringLiteral("mutool"),
                  {QStringLiteral("draw"), QStringLiteral("-s"), QStringLiteral("t"), QStringLiteral("-r"),
                   QString::number(72 * scale), QStringLiteral("-c"), QStringLiteral("rgb"), QStringLiteral("-F"),
                   QStringLiteral("pnm"), QStringLiteral("-o"), QStringLiteral("/dev/null"), path,
                   QStringLiteral("1")});
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    const auto match = QRegularExpression(QStringLiteral("total (\\d+)ms")).match(output);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

int runCmykImageBench(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchArgs args(app.arguments().mid(1), "usage: folvan-bench --cmyk-image [--scale S] (S up to 8)\n");
    args.flag(QStringLiteral("--cmyk-image"));
    const double scale = args.positiveOption(QStringLiteral("--scale"), 2.0);
    if (scale > 8)
        args.fail(QStringLiteral("--scale %1 is above 8").arg(scale));
    args.positional(0, 0);
    const QSizeF pageSize(612, 792);
    const QSize pixels(int(pageSize.width() * scale), int(pageSize.height() * scale));

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("cmyk-image.pdf"));
    PdfFixtureWriter writer;
    writer.addPage(pageSize);
    writer.addRawImage(0, QRectF(QPointF(0, 0), pageSize), pixels, "/DeviceCMYK",
                       photographSamples(pixels.width(), pixels.height()));
    if (!folder.isValid() || !writer.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    double ours = -1, first = -1;
    for (int run = 0; run < kRuns; ++run) {
        QString error;
        auto doc = PdfDocument::open(path, &error);
        if (!doc) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        const QImage image = doc->page(0).render(scale, false);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (image.isNull())
            return 1;
        ours = ours < 0 ? ms : std::min(ours, ms);
        if (run == 0)
            first = ms;
    }
    double theirs = -1;
    for (int run = 0; run < kRuns; ++run) {
        const double ms = mutoolMs(path, scale);
        if (ms >= 0)
            theirs = theirs < 0 ? ms : std::min(theirs, ms);
    }
    std::printf("cmyk_image_pixels %d\n", pixels.width() * pixels.height());
    std::printf("cmyk_image_first_render_ms %.3f\n", first);
    std::printf("cmyk_image_render_ms %.3f\n", ours);
    if (theirs >= 0)
        std::printf("mutool_cmyk_image_render_ms %.3f\n", theirs);
    return 0;
}
