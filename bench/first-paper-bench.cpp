// first-paper-bench [--runs N] -- PROGRAM ARGS...
//   Starts PROGRAM on the X display of this process (an Xvfb server) N
//   times (5) and watches the screen: prints, per run and as the median,
//   the time from the program's start to the first screen on which a
//   paper page stands (a fifth of the screen paper white, with dark print
//   on it), then ends the program. Run it for the reader and for another
//   program on the same paper to compare them:
//     xvfb-run -a -s "-screen 0 1400x900x24" first-paper-bench -- folvan --pdf paper.pdf
//   Each run gets a fresh HOME and XDG folders, so no program finds the
//   state of an earlier run.

#include "BenchStats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

// Paper white is near white in every channel (a window's grey is not);
// print is dark.
bool paperShown(const QImage &screen)
{
    const QImage image = screen.convertToFormat(QImage::Format_RGB32);
    qint64 white = 0;
    qint64 dark = 0;
    for (int y = 0; y < image.height(); y += 2) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb p = line[x];
            if (qRed(p) >= 246 && qGreen(p) >= 242 && qBlue(p) >= 230)
                ++white;
            else if (qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90)
                ++dark;
        }
    }
    const qint64 all = qint64(image.width() / 2) * (image.height() / 2);
    return white * 5 >= all && dark * 500 >= all;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QStringList arguments = QGuiApplication::arguments();
    int runs = 5;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--runs")); at > 0 && at + 1 < arguments.size())
        runs = arguments[at + 1].toInt();
    const qsizetype dash = arguments.indexOf(QStringLiteral("--"));
    if (dash < 0 || dash + 1 >= arguments.size()) {
        std::fprintf(stderr, "usage: first-paper-bench [--runs N] -- PROGRAM ARGS...\n");
        return 2;
    }
    const QString program = arguments[dash + 1];
    const QStringList programArguments = arguments.mid(dash + 2);
    QScreen *screen = QGuiApplication::primaryScreen();

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = home.filePath(QString::fromLatin1(name));
            QDir().mkpath(folder);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            environment.insert(QString::fromLatin1(name), folder);
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        if (paperShown(screen->grabWindow(0).toImage())) {
            std::fprintf(stderr, "a paper is on the screen before the program starts\n");
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        process.start(program, programArguments);
        double shown = -1;
        while (timer.elapsed() < 20000) {
            if (paperShown(screen->grabWindow(0).toImage())) {
                shown = timer.nsecsElapsed() / 1e6;
                break;
            }
            QThread::msleep(5);
        }
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
        if (shown < 0) {
            std::fprintf(stderr, "run %d: no paper on the screen after 20 s\n", run + 1);
            return 1;
        }
        std::printf("run %d: %.0f ms\n", run + 1, shown);
        times.push_back(shown);
        // The screen is empty again before the next run.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 5000 && paperShown(screen->grabWindow(0).toImage()))
            QThread::msleep(20);
    }
    std::printf("first_paper_ms_p50 %.0f\n", percentile(times, 0.5));
    return 0;
}
