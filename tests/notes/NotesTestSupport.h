#pragma once

#include "notes/PaperNotesStore.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace folvan::test {

// A test with its own notes file and preferences inside its temporary home.
class NotesStoreTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        prefs = std::make_unique<platform::Preferences>(path(QStringLiteral("prefs.json")));
    }

    QString notesFile() const { return path(QStringLiteral("notes/paper-notes-v1.json")); }

    // A store that has read its file, as a reader's has once it started.
    std::unique_ptr<notes::PaperNotesStore> openStore(double delay = notes::PaperNotesStore::kSaveDelaySeconds)
    {
        auto store = std::make_unique<notes::PaperNotesStore>(notesFile(), *prefs, delay);
        store->notes();
        return store;
    }

    QByteArray fileBytes() const { return readTestFile(notesFile()); }
    void writeFile(const QByteArray &bytes) { ASSERT_TRUE(writeTestFile(notesFile(), bytes)); }

    // Lets `ms` milliseconds pass on the test's clock, and what came due
    // run to its end (a save makes its bytes off the main thread).
    void elapse(int ms)
    {
        clock.advance(ms / 1000.0);
        waitForIdle();
    }
    // Waits until the wall clock has moved on, so that two stamps differ.
    static void nextInstant()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        while (QDateTime::currentDateTimeUtc() == now) {
        }
    }

    std::unique_ptr<platform::Preferences> prefs;
    // Save delays pass only when the test moves this clock on.
    platform::ManualClock clock;
};

// A fixed instant: `seconds` after 2001-01-01 UTC.
inline QDateTime at(double seconds)
{
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).addMSecs(qint64(seconds * 1000));
}

inline notes::PaperNote makeNote(const QString &title, const QString &body, double updated,
                          std::optional<QUuid> paperID = std::nullopt)
{
    notes::PaperNote note;
    note.title = title;
    note.body = body;
    note.paperID = paperID;
    note.createdAt = at(0);
    note.updatedAt = at(updated);
    return note;
}

inline model::ReadingTextSource quoteSource(const QString &quote, std::int64_t page = 0)
{
    model::ReadingTextSource source;
    source.page = page;
    source.quote = quote;
    return source;
}

} // namespace folvan::test
