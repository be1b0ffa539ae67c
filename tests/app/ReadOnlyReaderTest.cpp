// A reader started while another one, which it could not reach, holds the
// data folder: it says it is read-only, writes nothing there, and keeps
// what the reader types for when it may write.

#include <gtest/gtest.h>

#include "app/QuitGuard.h"
#include "app/ReaderMenus.h"
#include "app/ReaderWindow.h"
#include "notes/PaperNotesFile.h"
#include "notes/PaperNotesStore.h"
#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "support/TestEnv.h"
#include "workspace/ShellTestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace folvan;

namespace {

class ReadOnlyReader : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        const QString folder = platform::folvanDataFolder();
        ASSERT_TRUE(QDir().mkpath(folder));
        // The other reader, holding the folder.
        other = ::open(QFile::encodeName(folder + QStringLiteral("/Folvan.lock")).constData(),
                       O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        ASSERT_EQ(platform::DataFolderAccess::shared().claim(folder),
                  platform::DataFolderAccess::Claim::HeldElsewhere);
    }
    void TearDown() override
    {
        app::setQuitQuestion({});
        platform::DataFolderAccess::shared().release();
        if (other >= 0)
            ::close(other);
        ShellTest::TearDown();
    }
    void otherReaderQuits()
    {
        ::close(other);
        other = -1;
    }
    // Types a note into the shared notes library, as the notes panel does.
    static notes::PaperNote typeNote(const QString &title)
    {
        notes::PaperNotesStore &store = notes::PaperNotesStore::shared();
        notes::PaperNote note;
        note.title = title;
        store.setNotes(store.notes() << note);
        store.schedule();
        store.flush();
        return note;
    }
    static QStringList storedTitles()
    {
        QByteArray bytes;
        platform::readStoredFile(notes::PaperNotesStore::defaultFilePath(), &bytes);
        QString error;
        const std::optional<notes::PaperNotesFile> file = notes::decodePaperNotesFile(bytes, {}, &error);
        QStringList titles;
        if (file)
            for (const notes::PaperNote &note : file->notes)
                titles << note.title;
        return titles;
    }

    int other = -1;
};

TEST_F(ReadOnlyReader, SaysSoWritesNothingAndMergesWhatItHoldsAtQuit)
{
    app::ReaderWindows windows;
    app::ReaderWindow *shown = windows.open();
    EXPECT_FALSE(shown->readOnlyBar()->isHidden());
    EXPECT_TRUE(shown->windowTitle().contains(QStringLiteral("只读")));

    typeNote(QStringLiteral("typed in the read-only reader"));
    EXPECT_FALSE(storedTitles().contains(QStringLiteral("typed in the read-only reader")));
    // Said once, by the window, not by each store.
    EXPECT_FALSE(notes::PaperNotesStore::shared().hasError());

    // Meanwhile the other reader writes its own note.
    notes::PaperNotesFile theirs;
    notes::PaperNote written;
    written.title = QStringLiteral("typed in the other reader");
    theirs.notes << written;
    theirs.legacyImported = true;
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(notes::encodePaperNotesFile(theirs, &bytes, &error));
    // (This reader made no Notes folder: the other makes it.)
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(notes::PaperNotesStore::defaultFilePath()).absolutePath()));
    ASSERT_TRUE(test::writeTestFile(notes::PaperNotesStore::defaultFilePath(), bytes));

    // Quitting while the other still runs: nothing to ask about, and both
    // notes are in the library.
    QStringList asked;
    app::setQuitQuestion([&](const QStringList &unsaved, QWidget *) {
        asked = unsaved;
        return true;
    });
    shown->menus()->quitAction()->trigger();
    EXPECT_TRUE(test::waitFor([&] { return windows.windows().isEmpty(); }));
    EXPECT_TRUE(asked.isEmpty()) << asked.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(storedTitles().contains(QStringLiteral("typed in the read-only reader")));
    EXPECT_TRUE(storedTitles().contains(QStringLiteral("typed in the other reader")));
}

TEST_F(ReadOnlyReader, TakesTheFolderOverWhenTheOtherQuitsAndWritesAtOnce)
{
    app::ReaderWindows windows;
    app::ReaderWindow *shown = windows.open();
    typeNote(QStringLiteral("typed while read-only"));
    EXPECT_FALSE(platform::DataFolderAccess::shared().retry());
    EXPECT_FALSE(storedTitles().contains(QStringLiteral("typed while read-only")));

    otherReaderQuits();
    EXPECT_TRUE(platform::DataFolderAccess::shared().retry());
    EXPECT_TRUE(shown->readOnlyBar()->isHidden());
    EXPECT_FALSE(shown->windowTitle().contains(QStringLiteral("只读")));
    EXPECT_TRUE(storedTitles().contains(QStringLiteral("typed while read-only")));
}

} // namespace
