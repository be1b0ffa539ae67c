// first-paper-bench [--runs N] [--shots DIR] -- PROGRAM ARGS... [-- PROGRAM ARGS...]...
//   Starts each PROGRAM on the X display of this process (an Xvfb server)
//   N times (5), the programs taking turns, and watches the screen until it
//   has stayed the same for 2 s: the time from the program's start to the
//   last change before that is when its paper stood settled on the screen
//   (a blank placeholder page or an empty window shown on the way does not
//   end the wait). Prints that time per run and as the median, then ends
//   the program. Given more than one program, it also prints the first
//   one's median over each other's, so that the reader and another program
//   are compared in the same run:
//     xvfb-run -a -s "-screen 0 1400x900x24" first-paper-bench
//         -- folvan --pdf paper.pdf -- evince paper.pdf
//   With --shots, the settled screen of every run is saved as
//   DIR/PROGRAM-RUN.png, to be looked at. Each run gets a fresh HOME and
//   XDG folders, so no program finds the state of an earlier run; a
//   program given as "--data=DATA PROGRAM ARGS..." finds a copy of the
//   folder DATA as its XDG data folder (made before its clock starts), such
//   as the ten-thousand-paper library of folvan-library-bench --generate.

#include "BenchArgs.h"
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
#include <optional>
#include <vector>

namespace {

// How long the screen stays the same before it counts as settled, and how
// long a program has to get there.
constexpr double kQuietMs = 2000;
constexpr double kLongestMs = 30000;

struct Command {
    QString program;
    QStringList arguments;
    QString data; // copied into each run's XDG data folder; empty: none
    std::vector<double> times;

    QString name() const
    {
        return QFileInfo(program).fileName() + (data.isEmpty() ? QString() : QStringLiteral("+data"));
    }
};

// Copies the folder `from` into `to`, what is in it and below.
bool copyFolder(const QString &from, const QString &to)
{
    const QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    for (const QFileInfo &entry : source.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(entry.fileName());
        if (entry.isDir() ? !copyFolder(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

// Tells from the frames of the screen, each seen at a time (ms), when it
// settled: the time of its last change before it stayed the same for
// `quietMs`. Until the screen first differs from `blank`, it has not
// changed at all.
class SettleWatch {
public:
    SettleWatch(size_t blank, double quietMs) : m_frame(blank), m_quietMs(quietMs) {}

    // Takes the frame seen at `time`; true once the screen has settled.
    bool see(size_t frame, double time)
    {
        if (frame != m_frame) {
            m_frame = frame;
            m_changed = time;
        }
        return m_changed >= 0 && time - m_changed >= m_quietMs;
    }

    double settledAt() const { return m_changed; }

private:
    size_t m_frame;
    double m_quietMs;
    double m_changed = -1;
};

size_t frameHash(const QImage &image)
{
    return qHashBits(image.constBits(), size_t(image.sizeInBytes()));
}

QImage grab(QScreen *screen) { return screen->grabWindow(0).toImage(); }

// Waits until the screen shows the frame `blank` again (at most 5 s).
bool waitForBlank(QScreen *screen, size_t blank)
{
    QElapsedTimer timer;
    timer.start();
    while (frameHash(grab(screen)) != blank) {
        if (timer.elapsed() > 5000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

struct Settled {
    double ms;
    QImage frame;
};

// Runs `command` until the screen settles; nothing when it cannot be
// started, ends first, or its screen never stays the same for long.
std::optional<Settled> timeToSettledPaper(const Command &command, QScreen *screen, size_t blank, int run)
{
    const QByteArray name = command.name().toLocal8Bit();
    QTemporaryDir home;
    QProcess process;
    const QProcessEnvironment environment = freshHomeEnvironment(home);
    if (!command.data.isEmpty() && !copyFolder(command.data, environment.value(QStringLiteral("XDG_DATA_HOME")))) {
        std::fprintf(stderr, "%s run %d: cannot copy %s\n", name.constData(), run, qPrintable(command.data));
        return std::nullopt;
    }
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(command.program, command.arguments);
    if (!process.waitForStarted(5000)) {
        std::fprintf(stderr, "%s run %d: cannot be started: %s\n", name.constData(), run,
                     process.errorString().toLocal8Bit().constData());
        return std::nullopt;
    }
    SettleWatch watch(blank, kQuietMs);
    std::optional<Settled> settled;
    QImage frame;
    while (timer.elapsed() < kLongestMs) {
        frame = grab(screen);
        if (watch.see(frameHash(frame), timer.nsecsElapsed() / 1e6)) {
            settled = Settled{watch.settledAt(), frame};
            break;
        }
        // Waiting on the process also notices its end.
        if (process.waitForFinished(5) || process.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "%s run %d: ended before its screen settled\n", name.constData(), run);
            return std::nullopt;
        }
    }
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
    if (!settled) {
        if (watch.settledAt() < 0)
            std::fprintf(stderr, "%s run %d: nothing on the screen within %.0f s\n", name.constData(), run,
                         kLongestMs / 1000);
        else
            std::fprintf(stderr, "%s run %d: the screen did not stay the same for %.0f s within %.0f s\n",
                         name.constData(), run, kQuietMs / 1000, kLongestMs / 1000);
        return std::nullopt;
    }
    if (frameHash(settled->frame) == blank) {
        std::fprintf(stderr, "%s run %d: nothing on the screen\n", name.constData(), run);
        return std::nullopt;
    }
    if (!waitForBlank(screen, blank)) {
        std::fprintf(stderr, "%s run %d: the screen did not clear after the program ended\n", name.constData(), run);
        return std::nullopt;
    }
    return settled;
}

} // namespace

int main(int argc, char **argv)
{
    // The options come before the first "--"; each program with its own
    // arguments after one, which are its own even where they look like ours.
    const QStringList arguments = BenchArgs::fromArgv(argc, argv);
    const qsizetype firstCommand = arguments.indexOf(QStringLiteral("--"));
    BenchArgs args(arguments.mid(0, firstCommand),
                   "usage: first-paper-bench [--runs N] [--shots DIR] -- [--data=DATA] PROGRAM ARGS... [-- ...]...\n");
    const int runs = args.intOption(QStringLiteral("--runs"), 5);
    const QString shots = args.option(QStringLiteral("--shots"));
    args.positional(0, 0);
    std::vector<Command> commands;
    for (qsizetype at = firstCommand; at >= 0 && at < arguments.size();) {
        qsizetype next = arguments.indexOf(QStringLiteral("--"), at + 1);
        if (next < 0)
            next = arguments.size();
        QStringList words = arguments.mid(at + 1, next - at - 1);
        QString data;
        if (!words.isEmpty() && words.front().startsWith(QLatin1String("--data="))) {
            data = words.takeFirst().mid(7);
            if (!QFileInfo(data).isDir())
                args.fail(QStringLiteral("no folder %1").arg(data));
        }
        if (words.isEmpty())
            args.fail(QStringLiteral("a \"--\" without a program after it"));
        commands.push_back({words.front(), words.mid(1), data, {}});
        at = next;
    }
    if (commands.empty())
        args.fail(QStringLiteral("no program to time"));
    if (!shots.isEmpty() && !QDir().mkpath(shots))
        args.fail(QStringLiteral("cannot make the folder %1").arg(shots));

    QGuiApplication app(argc, argv);
    QScreen *screen = QGuiApplication::primaryScreen();
    const size_t blank = frameHash(grab(screen));
    for (int run = 1; run <= runs; ++run) {
        for (Command &command : commands) {
            const std::optional<Settled> settled = timeToSettledPaper(command, screen, blank, run);
            if (!settled)
                return 1;
            const QByteArray name = command.name().toLocal8Bit();
            std::printf("%s run %d: %.0f ms\n", name.constData(), run, settled->ms);
            if (!shots.isEmpty()) {
                const QString file = QDir(shots).filePath(QStringLiteral("%1-%2.png").arg(command.name()).arg(run));
                if (settled->frame.save(file))
                    std::printf("%s run %d: settled screen in %s\n", name.constData(), run,
                                file.toLocal8Bit().constData());
                else
                    std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
            }
            std::fflush(stdout);
            command.times.push_back(settled->ms);
        }
    }
    if (commands.size() == 1) {
        std::printf("first_paper_ms_p50 %.0f\n", percentile(commands.front().times, 0.5));
        return 0;
    }
    const double first = percentile(commands.front().times, 0.5);
    const QByteArray firstName = commands.front().name().toLocal8Bit();
    for (const Command &command : commands)
        std::printf("first_paper_ms_p50 %s %.0f\n", command.name().toLocal8Bit().constData(),
                    percentile(command.times, 0.5));
    for (size_t i = 1; i < commands.size(); ++i) {
        const double median = percentile(commands[i].times, 0.5);
        std::printf("first_paper_ratio %s/%s %.2f\n", firstName.constData(),
                    commands[i].name().toLocal8Bit().constData(), median > 0 ? first / median : 0.0);
    }
    return 0;
}
