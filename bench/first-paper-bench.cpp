// first-paper-bench [--runs N] -- PROGRAM ARGS... [-- PROGRAM ARGS...]...
//   Starts each PROGRAM on the X display of this process (an Xvfb server)
//   N times (5), the programs taking turns, and watches the screen: prints,
//   per run and as the median, the time from the program's start to the
//   first screen on which a paper page stands (a fifth of the screen paper
//   white, with dark print on it), then ends the program. Given more than
//   one program, it also prints the first one's median over each other's,
//   so that the reader and another program are compared in the same run:
//     xvfb-run -a -s "-screen 0 1400x900x24" first-paper-bench
//         -- folvan --pdf paper.pdf -- evince paper.pdf
//   Each run gets a fresh HOME and XDG folders, so no program finds the
//   state of an earlier run.

#include "BenchStats.h"
#include "ScreenBench.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

struct Command {
    QString program;
    QStringList arguments;
    std::vector<double> times;
};

// The time from the start of `command` to the first paper on the screen,
// in milliseconds; negative when none shows within 20 s.
double timeToFirstPaper(const Command &command, QScreen *screen)
{
    QTemporaryDir home;
    const QProcessEnvironment environment = freshHomeEnvironment(home);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(command.program, command.arguments);
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
    // The screen is empty again before the next run.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 5000 && paperShown(screen->grabWindow(0).toImage()))
        QThread::msleep(20);
    return shown;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QStringList arguments = QGuiApplication::arguments();
    int runs = 5;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--runs")); at > 0 && at + 1 < arguments.size())
        runs = arguments[at + 1].toInt();
    std::vector<Command> commands;
    for (qsizetype at = arguments.indexOf(QStringLiteral("--")); at >= 0 && at + 1 < arguments.size();) {
        const qsizetype next = arguments.indexOf(QStringLiteral("--"), at + 1);
        const QStringList words = arguments.mid(at + 1, next < 0 ? -1 : next - at - 1);
        if (!words.isEmpty())
            commands.push_back({words.front(), words.mid(1), {}});
        at = next;
    }
    if (commands.empty()) {
        std::fprintf(stderr, "usage: first-paper-bench [--runs N] -- PROGRAM ARGS... [-- PROGRAM ARGS...]...\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (paperShown(screen->grabWindow(0).toImage())) {
        std::fprintf(stderr, "a paper is on the screen before the program starts\n");
        return 1;
    }
    for (int run = 0; run < runs; ++run) {
        for (Command &command : commands) {
            const double shown = timeToFirstPaper(command, screen);
            const QByteArray name = command.program.toLocal8Bit();
            if (shown < 0) {
                std::fprintf(stderr, "%s run %d: no paper on the screen after 20 s\n", name.constData(), run + 1);
                return 1;
            }
            std::printf("%s run %d: %.0f ms\n", name.constData(), run + 1, shown);
            command.times.push_back(shown);
        }
    }
    if (commands.size() == 1) {
        std::printf("first_paper_ms_p50 %.0f\n", percentile(commands.front().times, 0.5));
        return 0;
    }
    const double first = percentile(commands.front().times, 0.5);
    const QByteArray firstName = QFileInfo(commands.front().program).fileName().toLocal8Bit();
    for (const Command &command : commands)
        std::printf("first_paper_ms_p50 %s %.0f\n", QFileInfo(command.program).fileName().toLocal8Bit().constData(),
                    percentile(command.times, 0.5));
    for (size_t i = 1; i < commands.size(); ++i) {
        const double median = percentile(commands[i].times, 0.5);
        std::printf("first_paper_ratio %s/%s %.2f\n", firstName.constData(),
                    QFileInfo(commands[i].program).fileName().toLocal8Bit().constData(),
                    median > 0 ? first / median : 0.0);
    }
    return 0;
}
