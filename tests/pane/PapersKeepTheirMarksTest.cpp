// Each paper's marks, page and notes record stay with that paper wherever
// it goes, by the reader's operations or outside it; a paper that arrives
// at a name another one left starts bare. Each row is a sequence of papers,
// names and operations, checked by opening names.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "annotations/AnnotationFile.h"
#include "engine/PdfDocument.h"
#include "notes/PaperNotesFile.h"
#include "platform/UnsavedChanges.h"
#include "support/HeldDataFolder.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvan::pane::test {

namespace {

// What a paper written without a /ID gives as its document.
const QString kNoIdentifier = QStringLiteral("(no /ID)");

// A four-page paper of its own: its words and its /ID come from `tag`, or
// from `document` when it is another version (or copy) of that document.
bool writeTagged(const QString &file, const QString &tag, const QString &document = {})
{
    engine::PdfFixtureWriter writer;
    writer.setIdentifier(QCryptographicHash::hash((document.isEmpty() ? tag : document).toUtf8(),
                                                  QCryptographicHash::Md5));
    if (document == kNoIdentifier)
        writer.leaveOutIdentifier();
    for (int i = 0; i < 4; ++i) {
        writer.addPage();
        writer.addText(i, QPointF(72, 700), QStringLiteral("Page %1 of %2").arg(i + 1).arg(tag));
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    // Written beside, then renamed over: a new file, as editors save.
    return writer.save(file + ".part") && ::rename(QFile::encodeName(file + ".part"), QFile::encodeName(file)) == 0;
}

} // namespace

class PapersKeepTheirMarks : public OneControllerTest {
public:
    QString at(const QString &name)
    {
        return QDir::isAbsolutePath(name) ? name : QDir(home.isEmpty() ? root() : home).filePath("p/" + name);
    }

    // Writes paper `tag` (of `document`, when given) at `name`, opens and
    // marks it: a bookmark and a highlight on the page of its own, where it
    // is left.
    void markedPaper(const QString &tag, const QString &name, int page, const QString &document = {})
    {
        ASSERT_TRUE(writeTagged(at(name), tag, document));
        mark(tag, name, page);
    }
    // Opens the file at `name` and marks it as paper `tag`.
    void mark(const QString &tag, const QString &name, int page)
    {
        ASSERT_TRUE(openAndRead(name));
        model::SharedPDFViewModel &model = *pane->viewModel();
        model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
        model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(page);
        model.toggleBookmark();
        model.pageSelectionChanged(model.pdfDocument()->page(page).selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
        pages[tag] = page;
        records[tag] = pane->currentPaperID();
    }
    void newcomer(const QString &tag, const QString &name) { ASSERT_TRUE(writeTagged(at(name), tag)); }

    bool openAndRead(const QString &name)
    {
        const QUrl url = QUrl::fromLocalFile(at(name));
        const model::PdfDocumentPtr before = pane->viewModel()->pdfDocument();
        pane->loadPDF(url);
        return waitFor([&] {
                   return pane->viewModel()->pdfDocumentURL() == url && pane->viewModel()->pdfDocument() != before;
               })
            && waitFor([&] { return !pane->annotations()->markupsLoading(); });
    }

    // Opens `name`: it shows the marks, page and notes record of paper
    // `tag` and of no other; with no tag, none of any marked paper.
    void shows(const QString &name, const QString &tag = {})
    {
        SCOPED_TRACE((name + " shows " + (tag.isEmpty() ? QStringLiteral("nothing") : tag)).toStdString());
        ASSERT_TRUE(openAndRead(name));
        const model::SharedPDFViewModel &model = *pane->viewModel();
        const auto &markups = pane->annotations()->markups();
        if (tag.isEmpty()) {
            EXPECT_TRUE(markups.empty());
            EXPECT_TRUE(model.bookmarks().empty());
            EXPECT_EQ(model.currentPageIndex(), 0);
            for (const auto &record : records)
                EXPECT_NE(pane->currentPaperID(), record.second);
            return;
        }
        const int page = pages.at(tag);
        ASSERT_EQ(markups.size(), 1u);
        EXPECT_EQ(markups.front().page, page);
        ASSERT_EQ(model.bookmarks().size(), 1u);
        EXPECT_EQ(model.bookmarks().front().location.page, page);
        if (keepsPlace) {
            EXPECT_EQ(model.currentPageIndex(), page);
        }
        if (records.count(tag)) {
            EXPECT_EQ(pane->currentPaperID(), records.at(tag));
        }
    }

    void mv(const QString &from, const QString &to)
    {
        QDir().mkpath(QFileInfo(at(to)).absolutePath());
        ASSERT_EQ(::rename(QFile::encodeName(at(from)), QFile::encodeName(at(to))), 0);
    }
    void renameInReader(const QString &name)
    {
        pane->renamePDF(name);
        ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL().fileName() == name + ".pdf"; }));
    }
    void moveInReader(const QString &folder)
    {
        QDir().mkpath(folder);
        chooser->answers.push_back(QUrl::fromLocalFile(folder));
        const QUrl before = pane->viewModel()->pdfDocumentURL();
        pane->moveCurrentPDF();
        ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() != before; }));
    }
    // What the Scholar panel's replace does: new bytes beside, renamed over,
    // and the pane told.
    void replaceOpenPaper(const QString &version)
    {
        const QString file = pane->viewModel()->pdfDocumentURL().toLocalFile();
        ASSERT_TRUE(writeTagged(file, version));
        pane->viewModel()->documentFileReplaced(engine::PdfDocument::open(file));
        pane->annotations()->documentFileReplaced();
    }
    void trashInReader() { pane->deleteCurrentPDF(); }
    static void forgetTheHistory() { history::ReadingHistory::shared().clear(); }
    // The file the trash holds under `name`, put back at `to`.
    void putBack(const QString &name, const QString &to)
    {
        QDirIterator files(home.isEmpty() ? root() : home, {name}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString found = files.next();
            if (found.contains(QStringLiteral("/Trash/files/")))
                return mv(found, to);
        }
        FAIL() << "nothing in the trash";
    }

    // Runs `step` while no file of more than a byte can be written, as on
    // a full disk.
    static void whileTheDiskIsFull(const std::function<void()> &step)
    {
        rlimit before {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = before;
        full.rlim_cur = 1;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
        step();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
    }
    void retryUnsavedSideFiles() { pane->viewModel()->retryUnsavedSideFiles(); }
    bool sideFilesUnsaved() const { return pane->annotations()->markupsUnsaved() && pane->viewModel()->bookmarksUnsaved(); }

    // Everything a reader keeps written now, as a reader does a while
    // after each change.
    static void flushStores()
    {
        history::ReadingHistory::shared().flush();
        notes::PaperNotesStore::shared().flush();
    }
    // What the quit would name as unsaved for annotations.
    static QStringList unsavedMarkups() { return platform::unsavedDescriptions().filter(QStringLiteral("批注")); }

    std::map<QString, int> pages;
    std::map<QString, std::optional<QUuid>> records;
    bool keepsPlace = true;
    // The home and papers of a reader started on another folder; empty:
    // the test's own.
    QString home;
};

struct Sequence {
    const char *name;
    std::function<void(PapersKeepTheirMarks &)> steps;
};

void PrintTo(const Sequence &sequence, std::ostream *out)
{
    *out << sequence.name;
}

// A folder on another file system than the test's own, when there is one.
QString otherDrive()
{
    struct stat here {}, there {};
    const QString shm = QStringLiteral("/dev/shm");
    if (::stat(QFile::encodeName(QDir::tempPath()).constData(), &here) != 0
        || ::stat(QFile::encodeName(shm).constData(), &there) != 0 || here.st_dev == there.st_dev)
        return {};
    return shm;
}

const Sequence kSequences[] = {
    {"TrashedThenAnotherPaperAtItsName", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.trashInReader();
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.putBack("paper.pdf", "back.pdf");
         t.shows("back.pdf", "sigconf");
         t.shows("paper.pdf");
     }},
    {"DeletedThenAnotherPaperThenDownloadedAgain", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.shows("paper.pdf", "sigconf");
         ASSERT_TRUE(QFile::remove(t.at("paper.pdf")));
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.newcomer("sigconf", "download/paper.pdf");
         t.shows("download/paper.pdf", "sigconf");
     }},
    {"SavedAnewInPlaceByAnotherProgram", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.newcomer("other", "other.pdf");
         t.shows("other.pdf");
         ASSERT_TRUE(writeTagged(t.at("paper.pdf"), "sigconf revised", "sigconf"));
         t.shows("paper.pdf", "sigconf");
     }},
    {"RenamedInTheReaderOntoANameLeftOutside", [](PapersKeepTheirMarks &t) {
         t.markedPaper("testmath", "X.pdf", 3);
         t.markedPaper("sigconf", "A.pdf", 1);
         t.mv("X.pdf", "Y.pdf");
         t.shows("A.pdf", "sigconf");
         t.renameInReader("X");
         t.shows("Y.pdf", "testmath");
         t.shows("X.pdf", "sigconf");
     }},
    {"TwoPapersSwapNamesOutside", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "a.pdf", 1);
         t.markedPaper("testmath", "b.pdf", 3);
         t.mv("a.pdf", "t.pdf");
         t.mv("b.pdf", "a.pdf");
         t.mv("t.pdf", "b.pdf");
         t.shows("a.pdf", "testmath");
         t.shows("b.pdf", "sigconf");
     }},
    {"MovedOutsideIntoAnotherFolderAndANewcomerOpenedFirst", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.markedPaper("other", "other.pdf", 1);
         t.mv("paper.pdf", "q/paper.pdf");
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows("q/paper.pdf", "sigconf");
         t.shows("paper.pdf");
     }},
    {"MovedInTheReaderToAnotherDrive", [](PapersKeepTheirMarks &t) {
         const QString drive = otherDrive();
         if (drive.isEmpty())
             GTEST_SKIP() << "no other file system here";
         const QString folder = drive + "/folvan-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.moveInReader(folder);
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows(folder + "/paper.pdf", "sigconf");
         QDir(folder).removeRecursively();
     }},
    {"ReplacedByTheReaderThenRenamedInAndOutside", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.replaceOpenPaper("sigconf v2");
         t.renameInReader("renamed");
         t.shows("renamed.pdf", "sigconf");
         t.mv("renamed.pdf", "renamed again.pdf");
         t.shows("renamed again.pdf", "sigconf");
     }},
    {"RenamedInTheReaderWhileTheDiskWasFull", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         PapersKeepTheirMarks::whileTheDiskIsFull([&t] { t.renameInReader("renamed"); });
         t.retryUnsavedSideFiles();
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows("renamed.pdf", "sigconf");
     }},
    {"ACopyMovedOntoItsTwinsName", [](PapersKeepTheirMarks &t) {
         t.markedPaper("first copy", "paper.pdf", 1, "sigconf");
         t.markedPaper("second copy", "paper (1).pdf", 3, "sigconf");
         t.mv("paper (1).pdf", "paper.pdf");
         t.shows("paper.pdf", "second copy");
         t.newcomer("testmath", "paper (1).pdf");
         t.shows("paper (1).pdf");
     }},
    {"APaperWithoutIDMovedOntoAnothersName", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 1, kNoIdentifier);
         t.markedPaper("testmath", "paper (1).pdf", 3, kNoIdentifier);
         t.mv("paper (1).pdf", "paper.pdf");
         t.shows("paper.pdf", "testmath");
         t.newcomer("other", "paper (1).pdf");
         t.shows("paper (1).pdf");
     }},
    {"DeletedUnseenThenDownloadedAgainElsewhere", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.markedPaper("other", "other.pdf", 1);
         ASSERT_TRUE(QFile::remove(t.at("paper.pdf")));
         t.newcomer("sigconf", "download/paper.pdf");
         t.shows("download/paper.pdf", "sigconf");
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows("download/paper.pdf", "sigconf");
     }},
    {"TwoNamesOfOneFileThenTheTrashThroughOne", [](PapersKeepTheirMarks &t) {
         t.markedPaper("through x", "x/paper.pdf", 1);
         QDir().mkpath(t.at("y"));
         ASSERT_EQ(::link(QFile::encodeName(t.at("x/paper.pdf")), QFile::encodeName(t.at("y/same.pdf"))), 0);
         t.mark("through y", "y/same.pdf", 3);
         t.shows("x/paper.pdf", "through x");
         t.shows("y/same.pdf", "through y");
         t.shows("x/paper.pdf", "through x");
         t.trashInReader();
         t.newcomer("testmath", "x/paper.pdf");
         t.shows("x/paper.pdf");
         t.shows("y/same.pdf", "through y");
         t.putBack("paper.pdf", "x/back.pdf");
         t.shows("x/back.pdf", "through x");
     }},
    {"RenamedOutsideAfterLeavingTheHistory", [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.markedPaper("other", "other.pdf", 1);
         t.forgetTheHistory();
         t.mv("paper.pdf", "renamed.pdf");
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.keepsPlace = false;
         t.shows("renamed.pdf", "sigconf");
     }},
};

class PaperSequences : public PapersKeepTheirMarks, public ::testing::WithParamInterface<Sequence> {};

TEST_P(PaperSequences, EachNameShowsOnlyItsOwnPapersMarks)
{
    GetParam().steps(*this);
}

INSTANTIATE_TEST_SUITE_P(Papers, PaperSequences, ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<Sequence> &info) { return std::string(info.param.name); });

// A paper the other pane shows goes where its record goes when this pane
// finds it elsewhere; found nowhere, it is let go, as its name now holds
// another paper whose marks that pane must not write.
TEST_F(PapersKeepTheirMarks, TheOtherPaneFollowsOrLetsGoOfAPaperAnotherTookTheNameOf)
{
    markedPaper("sigconf", "paper.pdf", 2);
    const std::unique_ptr<PaneController> other = makePane(ReaderPane::reference);
    ASSERT_TRUE(openAndWait(*other, at("paper.pdf")));
    mv("paper.pdf", "renamed.pdf");
    newcomer("testmath", "paper.pdf");
    shows("paper.pdf");
    EXPECT_TRUE(waitFor([&] { return other->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(at("renamed.pdf")); }));

    ASSERT_TRUE(QFile::remove(at("renamed.pdf")));
    newcomer("other", "renamed.pdf");
    shows("renamed.pdf");
    EXPECT_TRUE(waitFor([&] { return other->viewModel()->pdfDocumentURL().isEmpty(); }));
}

// Another reader, holding the data folder, renames the marked paper while
// this one, read-only, marks it under the old name: once this one may
// write, its mark joins the paper's at the new name.
TEST_F(PapersKeepTheirMarks, AReadOnlyReadersMarksJoinThePaperAnotherReaderRenamed)
{
    markedPaper("sigconf", "paper.pdf", 2);
    history::ReadingHistory::shared().flush();
    notes::PaperNotesStore::shared().flush();
    folvan::test::HeldDataFolder held;

    // The other reader's rename, as it leaves the files.
    const QString oldMarkups = pane->annotations()->markupURL(QUrl::fromLocalFile(at("paper.pdf")));
    const QString newMarkups = pane->annotations()->markupURL(QUrl::fromLocalFile(at("renamed.pdf")));
    mv("paper.pdf", "renamed.pdf");
    ASSERT_TRUE(QFile::rename(oldMarkups, newMarkups));
    const QString library = notes::PaperNotesStore::defaultFilePath();
    std::optional<notes::PaperNotesFile> file =
        notes::decodePaperNotesFile(folvan::test::readTestFile(library), QStringLiteral("library"), nullptr);
    ASSERT_TRUE(file);
    for (notes::NotePaper &paper : file->papers)
        paper.path = paper.id == records.at("sigconf") ? at("renamed.pdf") : paper.path;
    QByteArray bytes;
    ASSERT_TRUE(notes::encodePaperNotesFile(*file, &bytes, nullptr));
    ASSERT_TRUE(folvan::test::writeTestFile(library, bytes));

    model::SharedPDFViewModel &model = *pane->viewModel();
    model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 4}));
    pane->annotations()->addMarkup(QStringLiteral("underline"), QString());
    ASSERT_TRUE(pane->annotations()->markupsUnsaved());

    const QStringList unsavedBefore = unsavedMarkups();
    platform::DataFolderAccess::shared().holdWritesBack(false);
    EXPECT_EQ(model.pdfDocumentURL(), QUrl::fromLocalFile(at("renamed.pdf")));
    const annotations::MarkupFileContent stored = annotations::readMarkupFile(newMarkups);
    ASSERT_TRUE(stored.markups);
    EXPECT_EQ(stored.markups->size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(oldMarkups));
    // Written: the quit names nothing of it as lost.
    EXPECT_EQ(unsavedMarkups().size(), unsavedBefore.size() - 1);
}

// A read-only reader opening a newcomer at a name another paper left
// decides as the writing reader would: it shows the newcomer bare and
// moves nothing. Once it may write, it settles the name first, so that
// the newcomer's marks and the old paper's stay apart, each paper's
// record its own.
TEST_F(PapersKeepTheirMarks, AReadOnlyReaderKeepsANewcomersMarksApartFromThePaperThatLeft)
{
    markedPaper("sigconf", "a.pdf", 2);
    flushStores();
    const std::optional<notes::NotePaper> before = notes::PaperNotesStore::shared().paper(records.at("sigconf"));
    folvan::test::HeldDataFolder held;
    ASSERT_TRUE(QFile::remove(at("a.pdf")));
    newcomer("testmath", "a.pdf");
    shows("a.pdf");
    mark("testmath", "a.pdf", 1);
    pane->createPaperNote();
    EXPECT_EQ(notes::PaperNotesStore::shared().paper(records.at("sigconf")), before);

    held.otherQuits();
    ASSERT_TRUE(platform::DataFolderAccess::shared().retry());
    EXPECT_FALSE(pane->annotations()->markupsUnsaved());
    // The note made meanwhile hangs on the newcomer's record.
    ASSERT_EQ(notes::PaperNotesStore::shared().notes().size(), 1);
    EXPECT_TRUE(notes::PaperNotesStore::shared().paper(notes::PaperNotesStore::shared().notes().front().paperID));
    shows("a.pdf", "testmath");
    newcomer("sigconf", "download/a.pdf");
    shows("download/a.pdf", "sigconf");
}

// A library that does not read cannot name what a settling would move:
// nothing moves, and what a record kept in memory only would name is not
// lost with it at the next start. A paper's marks are read where they
// lie, a newcomer at its name starts bare, and the library is never
// written over.
TEST_F(PapersKeepTheirMarks, ALibraryThatDoesNotReadMovesNothing)
{
    home = path(QStringLiteral("broken"));
    folvan::test::pointHomeAt(home);
    const QString library = notes::PaperNotesStore::defaultFilePath();
    ASSERT_TRUE(folvan::test::writeTestFile(library, "{not json"));
    pane = makePane();
    markedPaper("sigconf", "paper.pdf", 2);
    trashInReader();
    newcomer("testmath", "paper.pdf");
    shows("paper.pdf");
    putBack("paper.pdf", "back.pdf");
    shows("back.pdf", "sigconf");

    // The next start (the same folders, read anew) finds the paper's marks
    // under its name when it is put back there.
    ASSERT_TRUE(QFile::remove(at("paper.pdf")));
    mv("back.pdf", "paper.pdf");
    ASSERT_TRUE(QFile::link(home, home + "-again"));
    folvan::test::pointHomeAt(home + "-again");
    pane = makePane();
    records.clear();
    shows("paper.pdf", "sigconf");
    EXPECT_EQ(folvan::test::readTestFile(library), QByteArray("{not json"));
}

// A highlight whose save failed is named at quit when the pane lets go of
// its paper, found nowhere, for a newcomer at its name: the newcomer's own
// saves under that name do not clear it.
TEST_F(PapersKeepTheirMarks, AnUnsavedMarkOfAPaperFoundNowhereIsNamedAtQuit)
{
    markedPaper("sigconf", "lost.pdf", 2);
    flushStores();
    const qsizetype named = unsavedMarkups().size();
    whileTheDiskIsFull([this] {
        model::SharedPDFViewModel &model = *pane->viewModel();
        model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("underline"), QString());
    });
    ASSERT_TRUE(pane->annotations()->markupsUnsaved());
    ASSERT_TRUE(QFile::remove(at("lost.pdf")));
    newcomer("testmath", "lost.pdf");
    shows("lost.pdf");
    EXPECT_FALSE(pane->annotations()->markupsUnsaved()) << "the newcomer has nothing unsaved";
    retryUnsavedSideFiles();
    mark("testmath", "lost.pdf", 1);
    EXPECT_EQ(unsavedMarkups().size(), named + 1);
}

// A reader killed at any moment of a settling of names loses no mark. Each
// operation below runs in a reader of its own (this test program, started
// again) that is killed after the settling's first, second, ... file
// operation (the journal's write, each rename), or, last, lets it finish
// and ends before anything else is written. A reader started afterwards
// on the same folders gives every paper its own marks.
struct KilledOperation {
    const char *name;
    std::function<void(PapersKeepTheirMarks &)> before; // run, then everything written
    std::function<void(PapersKeepTheirMarks &)> killed; // killed inside
    std::function<void(PapersKeepTheirMarks &)> after;  // the next reader's checks
};

void PrintTo(const KilledOperation &operation, std::ostream *out)
{
    *out << operation.name;
}

const KilledOperation kKilledOperations[] = {
    {"TheTrash", [](PapersKeepTheirMarks &t) { t.markedPaper("sigconf", "paper.pdf", 2); },
     [](PapersKeepTheirMarks &t) { t.trashInReader(); },
     [](PapersKeepTheirMarks &t) {
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.putBack("paper.pdf", "back.pdf");
         t.shows("back.pdf", "sigconf");
     }},
    {"ARename", [](PapersKeepTheirMarks &t) { t.markedPaper("sigconf", "paper.pdf", 2); },
     [](PapersKeepTheirMarks &t) { t.renameInReader("renamed"); },
     [](PapersKeepTheirMarks &t) {
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows("renamed.pdf", "sigconf");
     }},
    {"TheOpenOfAPaperRenamedOutside",
     [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.markedPaper("other", "other.pdf", 1);
         t.mv("paper.pdf", "renamed.pdf");
     },
     [](PapersKeepTheirMarks &t) { ASSERT_TRUE(t.openAndRead("renamed.pdf")); },
     [](PapersKeepTheirMarks &t) {
         t.shows("renamed.pdf", "sigconf");
         t.newcomer("testmath", "paper.pdf");
         t.shows("paper.pdf");
         t.shows("other.pdf", "other");
     }},
    {"TheOpenOfANewcomerAtANameLeft",
     [](PapersKeepTheirMarks &t) {
         t.markedPaper("sigconf", "paper.pdf", 2);
         t.markedPaper("other", "other.pdf", 1);
         ASSERT_TRUE(QFile::remove(t.at("paper.pdf")));
         t.newcomer("testmath", "paper.pdf");
     },
     [](PapersKeepTheirMarks &t) { ASSERT_TRUE(t.openAndRead("paper.pdf")); },
     [](PapersKeepTheirMarks &t) {
         t.shows("paper.pdf");
         t.newcomer("sigconf", "download/paper.pdf");
         t.shows("download/paper.pdf", "sigconf");
     }},
};

class KilledSettling : public PapersKeepTheirMarks, public ::testing::WithParamInterface<KilledOperation> {
public:
    // Runs `operation` in a reader of its own on `folder`, killed at the
    // settling's file operation `killAt` (0: none); whether it was killed.
    bool runKilled(const KilledOperation &operation, const QString &folder, int killAt)
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FOLVAN_KILLED_OPERATION"), QString::fromLatin1(operation.name));
        environment.insert(QStringLiteral("FOLVAN_KILLED_AT"), QString::number(killAt));
        environment.insert(QStringLiteral("FOLVAN_KILLED_HOME"), folder);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=KilledSettlingChild.DISABLED_RunsTheOperation"),
                     QStringLiteral("--gtest_also_run_disabled_tests")});
        EXPECT_TRUE(child.waitForFinished(120000));
        const bool killed = child.exitStatus() == QProcess::CrashExit;
        if (!killed) {
            EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
        }
        return killed;
    }
};

TEST_P(KilledSettling, LosesNoMarkWhereverTheReaderIsKilled)
{
    const KilledOperation &operation = GetParam();
    for (int killAt = 1;; ++killAt) {
        SCOPED_TRACE("killed at file operation " + std::to_string(killAt));
        home = path(QStringLiteral("run-%1").arg(killAt));
        const bool killed = runKilled(operation, home, killAt);
        // A reader started on what the killed one left.
        folvan::test::pointHomeAt(home);
        pane = makePane();
        records.clear();
        pages = {{"sigconf", 2}, {"other", 1}}; // as the operations mark them
        keepsPlace = false;
        operation.after(*this);
        if (!killed || HasFailure())
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, KilledSettling, ::testing::ValuesIn(kKilledOperations),
                         [](const ::testing::TestParamInfo<KilledOperation> &info) {
                             return std::string(info.param.name);
                         });

// The reader that KilledSettling starts: it runs the operation named in its
// environment on the folder named there, and is killed where it says.
class KilledSettlingChild : public PapersKeepTheirMarks {};

TEST_F(KilledSettlingChild, DISABLED_RunsTheOperation)
{
    const QString name = qEnvironmentVariable("FOLVAN_KILLED_OPERATION");
    const auto operation = std::find_if(std::begin(kKilledOperations), std::end(kKilledOperations),
                                        [&name](const KilledOperation &known) { return name == known.name; });
    ASSERT_NE(operation, std::end(kKilledOperations));
    home = qEnvironmentVariable("FOLVAN_KILLED_HOME");
    folvan::test::pointHomeAt(home);
    pane = makePane();
    operation->before(*this);
    flushStores();
    int operations = 0;
    const int killAt = qEnvironmentVariableIntValue("FOLVAN_KILLED_AT");
    PaperAccount::setFileOperationProbe([&operations, killAt] {
        if (++operations == killAt)
            ::kill(::getpid(), SIGKILL);
    });
    operation->killed(*this);
    PaperAccount::setFileOperationProbe({});
    // Ends before the library written 0.35 s later, as a reader killed then.
    std::fflush(nullptr);
    ::_exit(HasFailure() ? 1 : 0);
}

} // namespace folvan::pane::test
