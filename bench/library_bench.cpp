// folvan-library-bench [--papers N] [--runs R] [--generate DIR]
//   What a long reading life costs the reader's own code: a home whose
//   library knows N papers (10000: records with their paths, file numbers,
//   fingerprints and /IDs, a note for every tenth, the history's hundred
//   records and every paper's annotation and bookmark files) against an
//   empty home, the two taking turns, each the median of R runs (9):
//     library_read_ms   the notes library and history read, as at start
//                       (where the library is read while the window is
//                       made: here it is waited for at once);
//     first_open_ms     then a marked paper opened in a reading pane, to
//                       its document and every markup in place;
//     renamed_open_ms   the open of a marked paper renamed outside the
//                       reader: its name settled (the settling written
//                       ahead, its side files moved) and its marks in place;
//   and the ratio of each, full home over empty (the goal: at most 1.1).
//   With --generate DIR it only writes such a data folder into DIR (DIR/Folvan),
//   for the whole reader's start to its first page:
//     xvfb-run -a -s "-screen 0 1400x900x24" build/bench/first-paper-bench
//         -- build/src/app/folvan --pdf X -- --data=DIR build/src/app/folvan --pdf X

#include "BenchArgs.h"
#include "BenchHome.h"
#include "BenchStats.h"

#include "fixtures/PdfFixtureWriter.h"
#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "history/ReadingHistory.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesFile.h"
#include "notes/PaperNotesStore.h"
#include "pane/PaneController.h"
#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/StoredFiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>

#include <cstdio>
#include <unistd.h>
#include <functional>
#include <memory>
#include <vector>

using namespace folvan;

namespace {

const char *kUsage = "usage: folvan-library-bench [--papers N] [--runs R] [--generate DIR]\n";

bool waitUntil(const std::function<bool()> &condition)
{
    const QDeadlineTimer deadline(60000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

QString hex(int bytes)
{
    QByteArray random(bytes, Qt::Uninitialized);
    for (char &byte : random)
        byte = char(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(random.toHex());
}

// The data folder of a reader that opened `papers` papers over the years,
// in DATA/Folvan (DATA being what XDG_DATA_HOME names).
bool writeLibrary(const QString &data, int papers)
{
    const QDir folvan(QDir(data).filePath(QStringLiteral("Folvan")));
    const QString annotations = folvan.filePath(QStringLiteral("Annotations"));
    if (!QDir().mkpath(annotations) || !QDir().mkpath(folvan.filePath(QStringLiteral("Notes"))))
        return false;
    notes::PaperNotesFile library;
    library.legacyImported = true;
    for (int i = 0; i < papers; ++i) {
        notes::NotePaper paper;
        paper.title = QStringLiteral("paper %1").arg(i);
        paper.path = QStringLiteral("/home/reader/papers/%1/%2/paper %3.pdf").arg(i % 37).arg(i % 11).arg(i);
        paper.fileIdentity = QStringLiteral("2049:%1").arg(1000000 + i);
        paper.fileFingerprint = QStringLiteral("birth:%1.%2").arg(1600000000 + i).arg(i * 7919);
        paper.documentID = hex(16);
        library.papers.append(paper);
        if (i % 10 == 0) {
            notes::PaperNote note;
            note.paperID = paper.id;
            note.title = QStringLiteral("note on paper %1").arg(i);
            note.body = QStringLiteral("What this paper shows, and where it falls short. ").repeated(4);
            library.notes.append(note);
        }
        const QString hash = platform::documentFileName(paper.path);
        const QByteArray markups = "[]";
        if (!platform::writeFileAtomically(QDir(annotations).filePath(hash + QStringLiteral(".json")), markups)
            || !platform::writeFileAtomically(QDir(annotations).filePath(hash + QStringLiteral("-bookmarks.json")),
                                              markups))
            return false;
    }
    QByteArray bytes;
    return notes::encodePaperNotesFile(library, &bytes, nullptr)
        && platform::writeFileAtomically(folvan.filePath(QStringLiteral("Notes/") + notes::PaperNotesStore::kFileName),
                                         bytes);
}

bool writePaper(const QString &path, const QString &words)
{
    engine::PdfFixtureWriter writer;
    writer.setIdentifier(QCryptographicHash::hash(words.toUtf8(), QCryptographicHash::Md5));
    for (int page = 0; page < 12; ++page) {
        writer.addPage();
        for (int line = 0; line < 40; ++line)
            writer.addText(page, QPointF(72, 740 - line * 16),
                           QStringLiteral("%1, page %2, line %3 of the paper's running text")
                               .arg(words)
                               .arg(page + 1)
                               .arg(line + 1));
    }
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writer.save(path);
}

// One home: its folders, and the marked paper's current name in it.
struct Home {
    explicit Home(const char *homeName) : name(homeName) {}
    const char *name;
    std::unique_ptr<QTemporaryDir> root;
    QString paper;
    int renames = 0;
    std::vector<double> loads, firstOpens, renamedOpens;

    QString file(const QString &relative) const { return QDir(root->path()).filePath(relative); }
};

class Reader {
public:
    explicit Reader(Home &home) : m_home(home) { useBenchHome(*home.root); }

    // The stores read, as the reader's start reads them.
    double loadStores()
    {
        QElapsedTimer clock;
        clock.start();
        notes::PaperNotesStore::readAhead();
        notes::PaperNotesStore::shared().papers();
        history::ReadingHistory::shared();
        const double ms = clock.nsecsElapsed() / 1e6;
        m_pane = std::make_unique<pane::PaneController>(pane::ReaderPane::primary, model::PaneModelServices{});
        return ms;
    }

    // Opens the file at `path` in the pane; the time to its markups in place.
    double open(const QString &path)
    {
        const QUrl url = QUrl::fromLocalFile(path);
        const model::PdfDocumentPtr before = m_pane->viewModel()->pdfDocument();
        QElapsedTimer clock;
        clock.start();
        m_pane->loadPDF(url);
        if (!waitUntil([&] {
                return m_pane->viewModel()->pdfDocumentURL() == url && m_pane->viewModel()->pdfDocument() != before
                    && !m_pane->annotations()->markupsLoading();
            })) {
            std::fprintf(stderr, "%s: %s did not open\n", m_home.name, qPrintable(path));
            std::exit(1);
        }
        return clock.nsecsElapsed() / 1e6;
    }

    void mark()
    {
        model::SharedPDFViewModel &model = *m_pane->viewModel();
        model.toggleBookmark();
        model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 20}));
        m_pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
    }
    size_t markups() const { return m_pane->annotations()->markups().size(); }

    // Everything written, so that nothing is written during the other
    // home's turn.
    ~Reader()
    {
        m_pane.reset();
        QThreadPool::globalInstance()->waitForDone();
        history::ReadingHistory::shared().flush();
        notes::PaperNotesStore::shared().flush();
        platform::Preferences::shared().sync();
    }

private:
    Home &m_home;
    std::unique_ptr<pane::PaneController> m_pane;
};

void runOnce(Home &home)
{
    // What the other home wrote reaches the disk first, so that its
    // writing does not slow this one's.
    ::sync();
    Reader reader(home);
    home.loads.push_back(reader.loadStores());
    home.firstOpens.push_back(reader.open(home.paper));
    reader.open(home.file(QStringLiteral("papers/other.pdf")));
    const QString renamed = home.file(QStringLiteral("papers/renamed %1.pdf").arg(++home.renames));
    if (!QFile::rename(home.paper, renamed)) {
        std::fprintf(stderr, "%s: cannot rename the paper\n", home.name);
        std::exit(1);
    }
    home.paper = renamed;
    home.renamedOpens.push_back(reader.open(renamed));
    if (reader.markups() != 1) {
        std::fprintf(stderr, "%s: the renamed paper shows %zu markups, not its one\n", home.name, reader.markups());
        std::exit(1);
    }
}

void prepare(Home &home, int papers)
{
    home.root = std::make_unique<QTemporaryDir>();
    useBenchHome(*home.root);
    if (papers > 0 && !writeLibrary(home.file(QStringLiteral("data")), papers)) {
        std::fprintf(stderr, "cannot write the library\n");
        std::exit(1);
    }
    if (papers > 0) {
        // The history's hundred records, of papers read earlier.
        for (int i = 0; i < history::ReadingHistory::maximumRecords; ++i)
            history::ReadingHistory::shared().opened(
                QStringLiteral("/home/reader/papers/%1/paper %2.pdf").arg(i % 37).arg(i), {});
    }
    home.paper = home.file(QStringLiteral("papers/paper.pdf"));
    if (!writePaper(home.paper, QStringLiteral("The marked paper"))
        || !writePaper(home.file(QStringLiteral("papers/other.pdf")), QStringLiteral("Another paper"))) {
        std::fprintf(stderr, "cannot write the papers\n");
        std::exit(1);
    }
    Reader reader(home);
    reader.loadStores();
    reader.open(home.paper);
    reader.mark();
}

} // namespace

int main(int argc, char **argv)
{
    BenchArgs args(argc, argv, kUsage);
    const int papers = args.intOption(QStringLiteral("--papers"), 10000);
    const int runs = args.intOption(QStringLiteral("--runs"), 9);
    const QString generate = args.option(QStringLiteral("--generate"));
    args.positional(0, 0);
    QTemporaryDir own;
    useBenchHome(own);
    QGuiApplication app(argc, argv);

    if (!generate.isEmpty()) {
        if (!writeLibrary(generate, papers)) {
            std::fprintf(stderr, "cannot write the library into %s\n", qPrintable(generate));
            return 1;
        }
        std::printf("library of %d papers in %s\n", papers, qPrintable(QDir(generate).filePath("Folvan")));
        return 0;
    }

    Home empty("empty");
    Home full("full");
    prepare(empty, 0);
    prepare(full, papers);
    for (int run = 0; run < runs; ++run) {
        for (Home *home : {&empty, &full})
            runOnce(*home);
    }
    const auto report = [](const char *what, const std::vector<double> &emptyTimes,
                           const std::vector<double> &fullTimes) {
        const double a = percentile(emptyTimes, 0.5);
        const double b = percentile(fullTimes, 0.5);
        std::printf("%s empty %.2f full %.2f ratio %.2f\n", what, a, b, a > 0 ? b / a : 0.0);
    };
    std::printf("papers %d runs %d\n", papers, runs);
    report("library_read_ms", empty.loads, full.loads);
    report("first_open_ms", empty.firstOpens, full.firstOpens);
    report("renamed_open_ms", empty.renamedOpens, full.renamedOpens);
    return 0;
}
