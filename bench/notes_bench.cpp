// The notes panel with one long note, as a reader selects it and types:
//
//   folvan-notes-bench [--sizes MB,MB,...] [--keys N] [--unbroken]
//
// For each size (default 1,10,30 megabytes of text), a note whose body is
// that much text without a line break (words and spaces; with --unbroken
// one word without a break point) is listed in a notes panel of 380 × 700
// under "全部论文". Prints one "name value" line per figure: the time from
// the click on its row to the editor drawn with the body, the median and
// the longest time of each of N keys typed (default 40: half in the middle
// of the body, half at its end) until the editor is drawn again, the time
// of writing the library at once, the process's peak memory, and whether the
// stored body is the text with the keys typed in, character for character.

#include <sys/resource.h>

#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "BenchArgs.h"
#include "BenchHome.h"
#include "BenchStats.h"
#include "notes/PaperNotesStore.h"
#include "notesview/PaperNotesView.h"
#include "platform/Preferences.h"

using namespace folvan;

namespace {

const char *const kUsage = "usage: folvan-notes-bench [--sizes MB,MB,...] [--keys N] [--unbroken]\n";

void print(const QString &name, double value) { std::printf("%s %.3f\n", qPrintable(name), value); }

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

QString longLine(qsizetype size, bool unbroken)
{
    const QString unit = unbroken ? QStringLiteral("x") : QStringLiteral("lorem ipsum dolor sit amet ");
    QString text;
    text.reserve(size + unit.size());
    while (text.size() < size)
        text += unit;
    text.truncate(size);
    return text;
}

double msSince(const QElapsedTimer &timer) { return timer.nsecsElapsed() / 1e6; }

void measure(const QString &folder, double megabytes, int keys, bool unbroken)
{
    const QString label = QStringLiteral("%1mb_").arg(megabytes);
    platform::Preferences prefs(QDir(folder).filePath(QStringLiteral("prefs.json")));
    notes::PaperNotesStore store(QDir(folder).filePath(QStringLiteral("paper-notes-v1.json")), prefs);
    const QString body = longLine(qsizetype(megabytes * 1024 * 1024), unbroken);
    notes::PaperNote note;
    note.id = QUuid::createUuid();
    note.title = QStringLiteral("Long note");
    note.body = body;
    note.createdAt = note.updatedAt = QDateTime::currentDateTimeUtc();
    store.setNotes({note});

    std::optional<QUuid> selected;
    notesview::PaneNoteHooks hooks{[&] { return selected; }, [&](const std::optional<QUuid> &id) { selected = id; },
                                   [](const notes::PaperNote &) {}, {}};
    notesview::PaperNotesView view(store, std::nullopt, 0, std::move(hooks));
    view.resize(380, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view) || view.listRows().size() != 1) {
        std::fprintf(stderr, "the panel did not show the note\n");
        std::exit(1);
    }
    auto *editor = view.findChild<QPlainTextEdit *>(QStringLiteral("body"));

    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(view.listRows().front(), Qt::LeftButton);
    QCoreApplication::processEvents();
    view.repaint();
    print(label + QStringLiteral("shown_ms"), msSince(timer));

    // Keys in the middle of the body, then at its end, each drawn at once.
    std::vector<double> times;
    QString expected = body;
    qsizetype storedAt = 0;
    for (int n = 0; n < keys; ++n) {
        if (n == 0 || n == keys / 2) {
            QTextCursor cursor = editor->textCursor();
            const int end = editor->document()->characterCount() - 1;
            cursor.setPosition(n == 0 ? end / 2 : end);
            editor->setTextCursor(cursor);
            editor->ensureCursorVisible();
            view.repaint();
            storedAt = editor->toPlainText().left(cursor.position()).remove(QLatin1Char('\n')).size();
        }
        timer.restart();
        QTest::keyClick(editor, Qt::Key_K);
        QCoreApplication::processEvents();
        editor->viewport()->repaint();
        times.push_back(msSince(timer));
        expected.insert(storedAt++, QLatin1Char('k'));
    }
    print(label + QStringLiteral("key_median_ms"), percentile(times, 0.5));
    print(label + QStringLiteral("key_longest_ms"), percentile(times, 1.0));

    timer.restart();
    store.flush();
    print(label + QStringLiteral("save_ms"), msSince(timer));
    const std::optional<notes::PaperNote> stored = store.note(note.id);
    print(label + QStringLiteral("stored_text_kept"), stored && stored->body == expected ? 1 : 0);
    print(label + QStringLiteral("peak_rss_mb"), peakMegabytes());
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    useBenchHome(home);
    QApplication app(argc, argv);

    BenchArgs args(app.arguments().mid(1), kUsage);
    const QString sizesText = args.option(QStringLiteral("--sizes"), QStringLiteral("1,10,30"));
    const int keys = args.intOption(QStringLiteral("--keys"), 40, 2);
    const bool unbroken = args.flag(QStringLiteral("--unbroken"));
    args.positional(0, 0);
    std::vector<double> sizes;
    for (const QString &text : sizesText.split(QLatin1Char(','))) {
        bool ok = false;
        const double size = text.toDouble(&ok);
        if (!ok || size <= 0 || size > 1024)
            args.fail(QStringLiteral("--sizes wants megabytes above 0 and up to 1024, not \"%1\"").arg(text));
        sizes.push_back(size);
    }
    for (const double size : sizes) {
        QTemporaryDir folder;
        measure(folder.path(), size, keys, unbroken);
        std::fflush(stdout);
    }
    return 0;
}
