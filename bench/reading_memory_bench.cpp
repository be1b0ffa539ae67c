// reading-memory-bench [--screens N] [--turns T] [--runs R] [--shots DIR] [--reader PATH] [--other PROGRAM] PAPER
//   The memory of the reader and of another reader after the same reading,
//   on the X display of this process (an Xvfb server, with xdotool to send
//   the keys):
//     xvfb-run -a -s "-screen 0 1400x900x24" reading-memory-bench /tmp/big2000.pdf
//   Each program starts on PAPER with a fresh HOME and XDG folders (the
//   reader set to scroll through pages, as the other does), its window
//   filling the screen, and reads N screens (470, about 330 pages of a
//   letter-size paper at 100 %) with PageDown,
//   each key once the screen has stopped changing (the screen drawn). Then
//   the memory of the program and of every process it started (the web
//   engine's helpers, for one) is read: RSS and PSS. The reader then opens
//   the same paper in its second pane (its comparison command), reads N
//   screens there too and is measured again. Last, the reader as it starts
//   by default, turning pages as a book (two a spread, a web engine
//   showing them), reads T spreads (N × 0.35, about as many pages) with
//   PageDown and is measured. With --shots, the screen at
//   each measurement is saved as a PNG in DIR. Prints the figures of each
//   run, their medians and the targets:
//     the reader with one pane within 1.1x the other reader, with two panes
//     under 300 MB.
// reading-memory-bench --opens N [--shots DIR] [--reader PATH] PAPER OTHER_PAPER
//   One reader handed PAPER and OTHER_PAPER in turn N times by second
//   launches with --pdf, in the book view and then in the page view: the
//   memory (PSS of the reader and its helpers, and of the reader alone;
//   the least of six readings over 1.5 s once the screen is still) after
//   each open, and the growth per open between the 10th open and
//   the last, each end taken over four opens (target: 0.2 MB an open at
//   most). The same for the memory they hold: the PSS of their anonymous
//   and shared-memory pages, what they allocated. The PSS of file pages
//   (program code, libraries, fonts) is counted too in the first figure
//   and moves with every other program on the machine that maps the same
//   libraries (the web engine's, by tens of MB on a busy machine) and with
//   the page cache: it tells nothing of what the reader keeps.

#include "BenchArgs.h"
#include "BenchStats.h"
#include "ScreenBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr double kOnePaneRatioTarget = 1.1;
constexpr double kTwoPanesTargetMB = 300;

struct Memory {
    double rssMB = 0;
    double pssMB = 0;
    // Anonymous and shared-memory pages: what the processes allocated.
    double heldMB = 0;
    int processes = 0;
};

// The value of `field` ("Rss:") in a smaps_rollup text, in kB.
qint64 rollupField(const QByteArray &text, const QByteArray &field)
{
    const qsizetype at = text.indexOf("\n" + field);
    if (at < 0)
        return 0;
    return text.mid(at + field.size() + 1, 32).trimmed().split(' ').front().toLongLong();
}

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// `root` and every process under it.
std::set<int> processTree(int root)
{
    std::map<int, std::vector<int>> children;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const int pid = name.toInt(&isPid);
        if (!isPid)
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and brackets.
        const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children[fields[1].toInt()].push_back(pid);
    }
    std::set<int> tree;
    std::vector<int> open{root};
    while (!open.empty()) {
        const int pid = open.back();
        open.pop_back();
        if (!tree.insert(pid).second)
            continue;
        for (int child : children[pid])
            open.push_back(child);
    }
    return tree;
}

Memory treeMemory(int root)
{
    Memory memory;
    for (int pid : processTree(root)) {
        // Starts with a line of its own: the field search looks for "\nRss:".
        const QByteArray rollup = "\n" + readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        memory.rssMB += rollupField(rollup, "Rss:") / 1024.0;
        memory.pssMB += rollupField(rollup, "Pss:") / 1024.0;
        memory.heldMB += (rollupField(rollup, "Pss_Anon:") + rollupField(rollup, "Pss_Shmem:")) / 1024.0;
        ++memory.processes;
    }
    return memory;
}

QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

class Screen {
public:
    explicit Screen(QScreen *screen) : m_screen(screen) {}

    QImage grab() const { return m_screen->grabWindow(0).toImage(); }
    QSize size() const { return m_screen->size(); }

    // Waits until the screen has not changed for `quiet` ms (at most
    // `longest` ms in all).
    void waitUntilDrawn(int quiet = 120, int longest = 4000) const
    {
        QElapsedTimer timer;
        timer.start();
        QImage last = grab();
        qint64 sameSince = 0;
        while (timer.elapsed() < longest) {
            QThread::msleep(30);
            QImage now = grab();
            if (now == last) {
                if (timer.elapsed() - sameSince >= quiet)
                    return;
            } else {
                sameSince = timer.elapsed();
                last = std::move(now);
            }
        }
    }

    bool waitForPaper(int longest = 30000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < longest) {
            if (paperShown(grab()))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

private:
    QScreen *m_screen;
};

// A program on the screen, ended when this goes.
class Run {
public:
    // `preferences` (the reader's preferences file, JSON) is written into
    // the fresh configuration folder first.
    Run(const QString &program, const QStringList &arguments, const QByteArray &preferences = {})
    {
        const QProcessEnvironment environment = freshHomeEnvironment(m_home);
        m_environment = environment;
        if (!preferences.isEmpty()) {
            const QDir folder(environment.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/Folvan"));
            folder.mkpath(QStringLiteral("."));
            QFile file(folder.filePath(QStringLiteral("Folvan.json")));
            if (file.open(QIODevice::WriteOnly))
                file.write(preferences);
        }
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(program, arguments);
    }
    ~Run()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    int pid() const { return int(m_process.processId()); }

    // Starts `program` with `arguments` in this run's home, as a second
    // launch does (the reader hands its paper to the running one), and
    // waits for it to end.
    bool launchAgain(const QString &program, const QStringList &arguments) const
    {
        QProcess again;
        again.setProcessEnvironment(m_environment);
        again.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        again.setStandardOutputFile(QProcess::nullDevice());
        again.start(program, arguments);
        return again.waitForFinished(30000) && again.exitStatus() == QProcess::NormalExit;
    }

    // Fills the screen with the program's window and gives it the
    // keyboard; false when it has none.
    bool takeScreen(const Screen &screen)
    {
        const QStringList windows =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                     QString::number(pid())})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (windows.isEmpty())
            return false;
        m_window = windows.back();
        xdotool({QStringLiteral("windowmove"), m_window, QStringLiteral("0"), QStringLiteral("0")});
        xdotool({QStringLiteral("windowsize"), m_window, QString::number(screen.size().width()),
                 QString::number(screen.size().height())});
        focus();
        screen.waitUntilDrawn(500);
        return true;
    }

    void focus() const
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_window});
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window, QStringLiteral("700"),
                 QStringLiteral("450")});
    }

    void key(const QString &key) const { xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key}); }
    void type(const QString &text) const { xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text}); }

    void read(const Screen &screen, int screens) const
    {
        for (int i = 0; i < screens; ++i) {
            key(QStringLiteral("Next"));
            screen.waitUntilDrawn();
        }
        // What the program does once the reading stops (dropping caches,
        // handing memory back) is done before it is measured.
        QThread::msleep(3000);
    }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QString m_window;
};

struct Figure {
    std::vector<double> rss;
    std::vector<double> pss;
};

void report(const char *name, int run, const Memory &memory, Figure &figure)
{
    std::printf("run %d %s: RSS %.0f MB, PSS %.0f MB (%d processes)\n", run, name, memory.rssMB, memory.pssMB,
                memory.processes);
    std::fflush(stdout);
    figure.rss.push_back(memory.rssMB);
    figure.pss.push_back(memory.pssMB);
}

void shoot(const QString &folder, const Screen &screen, const QString &name, int run)
{
    if (!folder.isEmpty())
        screen.grab().save(QDir(folder).filePath(QStringLiteral("%1-run%2.png").arg(name).arg(run)));
}

// The least-squares slope of `values` from index `from` on, per step.
double slope(const std::vector<double> &values, size_t from)
{
    const size_t n = values.size() > from ? values.size() - from : 0;
    if (n < 2)
        return 0;
    double meanX = 0, meanY = 0;
    for (size_t i = from; i < values.size(); ++i) {
        meanX += double(i);
        meanY += values[i];
    }
    meanX /= double(n);
    meanY /= double(n);
    double covariance = 0, variance = 0;
    for (size_t i = from; i < values.size(); ++i) {
        covariance += (double(i) - meanX) * (values[i] - meanY);
        variance += (double(i) - meanX) * (double(i) - meanX);
    }
    return covariance / variance;
}

// One reader handed paper after paper (FIRST and SECOND in turn, each by a
// second launch with --pdf, as a file manager or a shell hands them), in
// the book view and then in the page view; after each open, once the
// screen is still, the memory of the reader and its helpers. Prints the
// growth per open between the 10th open and the last.
int measureOpens(const QString &reader, const Screen &screen, int opens, const QString &first, const QString &second,
                 const QString &shots)
{
    constexpr double kGrowthTargetMB = 0.2;
    constexpr int kFrom = 10;
    for (const bool book : {true, false}) {
        const char *view = book ? "book" : "page";
        Run program(reader, {QStringLiteral("--pdf"), first},
                    book ? QByteArray(R"({"hasSeenOnboarding": true})")
                         : QByteArray(R"({"folvan.defaultBookMode": false, "hasSeenOnboarding": true})"));
        if (!screen.waitForPaper() || !program.takeScreen(screen)) {
            std::fprintf(stderr, "the reader shows no paper in the %s view\n", view);
            return 1;
        }
        // The tree's and the reader's PSS, and what they hold.
        std::vector<double> tree, own, treeHeld, ownHeld;
        for (int i = 1; i <= opens; ++i) {
            if (!program.launchAgain(reader, {QStringLiteral("--pdf"), i % 2 ? second : first})) {
                std::fprintf(stderr, "open %d: the second launch did not end\n", i);
                return 1;
            }
            screen.waitUntilDrawn(500, 10000);
            // What stays, not what passes: the least of a few readings over
            // a second and a half, of each figure.
            Memory all;
            double alone = 0;
            double held = 0;
            double aloneHeld = 0;
            for (int sample = 0; sample < 6; ++sample) {
                QThread::msleep(250);
                const Memory now = treeMemory(program.pid());
                const QByteArray rollup = "\n" + readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(program.pid()));
                const double reader = rollupField(rollup, "Pss:") / 1024.0;
                const double readerHeld = (rollupField(rollup, "Pss_Anon:") + rollupField(rollup, "Pss_Shmem:")) / 1024.0;
                if (sample == 0 || now.pssMB < all.pssMB)
                    all = now;
                alone = sample == 0 ? reader : std::min(alone, reader);
                held = sample == 0 ? now.heldMB : std::min(held, now.heldMB);
                aloneHeld = sample == 0 ? readerHeld : std::min(aloneHeld, readerHeld);
            }
            tree.push_back(all.pssMB);
            own.push_back(alone);
            treeHeld.push_back(held);
            ownHeld.push_back(aloneHeld);
            std::printf("%s view open %d: PSS %.1f MB (reader %.1f MB), held %.1f MB (reader %.1f MB), RSS %.1f MB, "
                        "%d processes\n",
                        view, i, all.pssMB, alone, held, aloneHeld, all.rssMB, all.processes);
            std::fflush(stdout);
        }
        shoot(shots, screen, QStringLiteral("folvan-opens-%1").arg(QString::fromLatin1(view)), opens);
        if (opens < kFrom + 4)
            continue;
        // Each end is the median of four opens, two of each paper, so that
        // neither paper's own size nor one open's passing peak counts.
        const size_t at = kFrom - 1;
        const auto around = [](const std::vector<double> &values, size_t from) {
            return percentile(std::vector<double>(values.begin() + long(from), values.begin() + long(from) + 4), 0.5);
        };
        const size_t last = tree.size() - 4, first = at - 2;
        const double span = double(last - first);
        const auto growth = [&](const char *name, const std::vector<double> &all, const std::vector<double> &alone) {
            std::printf("%s %s_view %.2f (reader alone %.2f; least-squares slope %.2f, reader alone %.2f; target %.2f)\n",
                        name, view, (around(all, last) - around(all, first)) / span,
                        (around(alone, last) - around(alone, first)) / span, slope(all, at), slope(alone, at),
                        kGrowthTargetMB);
        };
        growth("open_growth_mb_per_open", tree, own);
        growth("open_held_growth_mb_per_open", treeHeld, ownHeld);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    BenchArgs args(argc, argv,
                   "usage: reading-memory-bench [--screens N] [--turns T] [--runs R] [--shots DIR] [--reader PATH] "
                   "[--other PROGRAM] PAPER\n"
                   "       reading-memory-bench --opens N [--shots DIR] [--reader PATH] PAPER OTHER_PAPER\n");
    const int opens = args.intOption(QStringLiteral("--opens"), 0);
    const int screens = args.intOption(QStringLiteral("--screens"), 470);
    const int turns = args.intOption(QStringLiteral("--turns"), screens * 35 / 100);
    const int runs = args.intOption(QStringLiteral("--runs"), 1);
    const QString shots = args.option(QStringLiteral("--shots"));
    const QString readerOption = args.option(QStringLiteral("--reader"));
    const QString other = args.option(QStringLiteral("--other"), QStringLiteral("evince"));
    const QStringList papers = opens > 0 ? args.positional(2, 2) : args.positional(1, 1);
    for (const QString &paper : papers) {
        if (!QFileInfo(paper).isFile())
            args.fail(QStringLiteral("%1 is not a file").arg(paper));
    }
    const QString paper = QFileInfo(papers.back()).absoluteFilePath();
    const QString first = QFileInfo(papers.front()).absoluteFilePath();
    if (opens > 0 && first == paper)
        args.fail(QStringLiteral("--opens wants two different papers"));

    QGuiApplication app(argc, argv);
    const QString reader = readerOption.isNull()
        ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/app/folvan"))
        : readerOption;
    if (opens > 0) {
        if (!shots.isEmpty())
            QDir().mkpath(shots);
        return measureOpens(reader, Screen(QGuiApplication::primaryScreen()), opens, first, paper, shots);
    }
    if (!shots.isEmpty())
        QDir().mkpath(shots);
    const Screen screen(QGuiApplication::primaryScreen());
    const QByteArray otherName = QFileInfo(other).fileName().toLocal8Bit();
    Figure otherFigure, onePane, twoPanes, book;
    // Whether the program has put its first page on the screen and taken it.
    const auto shows = [&](Run &program, const char *who, const char *what) {
        if (screen.waitForPaper() && program.takeScreen(screen))
            return true;
        std::fprintf(stderr, "%s shows no %s\n", who, what);
        return false;
    };
    for (int run = 1; run <= runs; ++run) {
        {
            Run program(other, {paper});
            if (!shows(program, otherName.constData(), "paper"))
                return 1;
            program.read(screen, screens);
            report(otherName.constData(), run, treeMemory(program.pid()), otherFigure);
            shoot(shots, screen, QString::fromLocal8Bit(otherName), run);
        }
        screen.waitUntilDrawn(500);
        {
            // Read as the other reader reads: scrolling through the pages
            // (not turning them as a book), the guide seen.
            Run program(reader, {QStringLiteral("--pdf"), paper},
                        R"({"folvan.defaultBookMode": false, "hasSeenOnboarding": true})");
            if (!shows(program, "the reader", "paper"))
                return 1;
            program.read(screen, screens);
            report("folvan_one_pane", run, treeMemory(program.pid()), onePane);
            shoot(shots, screen, QStringLiteral("folvan-one-pane"), run);
            // The comparison command asks for the second pane's paper.
            program.key(QStringLiteral("ctrl+backslash"));
            screen.waitUntilDrawn(500);
            program.type(paper);
            program.key(QStringLiteral("Return"));
            screen.waitUntilDrawn(1000);
            program.read(screen, screens);
            report("folvan_two_panes", run, treeMemory(program.pid()), twoPanes);
            shoot(shots, screen, QStringLiteral("folvan-two-panes"), run);
        }
        screen.waitUntilDrawn(500);
        {
            Run program(reader, {QStringLiteral("--pdf"), paper}, R"({"hasSeenOnboarding": true})");
            if (!shows(program, "the reader", "book"))
                return 1;
            program.read(screen, turns);
            report("folvan_book", run, treeMemory(program.pid()), book);
            shoot(shots, screen, QStringLiteral("folvan-book"), run);
        }
        screen.waitUntilDrawn(500);
    }

    const double otherRss = percentile(otherFigure.rss, 0.5), otherPss = percentile(otherFigure.pss, 0.5);
    const double oneRss = percentile(onePane.rss, 0.5), onePss = percentile(onePane.pss, 0.5);
    std::printf("reading_screens %d\n", screens);
    std::printf("reading_book_turns %d\n", turns);
    std::printf("reading_rss_mb %s %.0f\n", otherName.constData(), otherRss);
    std::printf("reading_pss_mb %s %.0f\n", otherName.constData(), otherPss);
    std::printf("reading_rss_mb folvan_one_pane %.0f\n", oneRss);
    std::printf("reading_pss_mb folvan_one_pane %.0f\n", onePss);
    std::printf("reading_rss_mb folvan_two_panes %.0f\n", percentile(twoPanes.rss, 0.5));
    std::printf("reading_pss_mb folvan_two_panes %.0f\n", percentile(twoPanes.pss, 0.5));
    std::printf("reading_rss_ratio folvan_one_pane/%s %.2f (target %.2f)\n", otherName.constData(),
                otherRss > 0 ? oneRss / otherRss : 0.0, kOnePaneRatioTarget);
    std::printf("reading_pss_ratio folvan_one_pane/%s %.2f (target %.2f)\n", otherName.constData(),
                otherPss > 0 ? onePss / otherPss : 0.0, kOnePaneRatioTarget);
    std::printf("reading_two_panes_target_mb %.0f\n", kTwoPanesTargetMB);
    const double bookRss = percentile(book.rss, 0.5), bookPss = percentile(book.pss, 0.5);
    std::printf("reading_rss_mb folvan_book %.0f\n", bookRss);
    std::printf("reading_pss_mb folvan_book %.0f\n", bookPss);
    std::printf("reading_rss_ratio folvan_book/%s %.2f (target %.2f)\n", otherName.constData(),
                otherRss > 0 ? bookRss / otherRss : 0.0, kOnePaneRatioTarget);
    std::printf("reading_pss_ratio folvan_book/%s %.2f (target %.2f)\n", otherName.constData(),
                otherPss > 0 ? bookPss / otherPss : 0.0, kOnePaneRatioTarget);
    return 0;
}
