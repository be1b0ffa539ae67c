#pragma once

#include "history/ReadingHistory.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <memory>

namespace folvan::test {

// A test with its own history folder, preferences file and papers.
class HistoryTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        QDir(root()).mkpath(QStringLiteral("history"));
        QDir(root()).mkpath(QStringLiteral("papers"));
        preferences = std::make_unique<platform::Preferences>(path(QStringLiteral("prefs.json")));
    }

    std::unique_ptr<history::ReadingHistory> makeStore(int saveDelayMs = 50)
    {
        return std::make_unique<history::ReadingHistory>(historyFolder(), preferences.get(), saveDelayMs);
    }

    QString historyFolder() const { return path(QStringLiteral("history")); }
    QString historyFile() const { return path(QStringLiteral("history/reading-history.json")); }

    // A small file standing for a paper, in the papers folder.
    QString makePaper(const QString &name, const QByteArray &content = "%PDF-1.4\n")
    {
        const QString file = path(QStringLiteral("papers/") + name);
        EXPECT_TRUE(writeTestFile(file, content));
        return file;
    }

    static QByteArray readAll(const QString &file) { return readTestFile(file); }
    static void writeAll(const QString &file, const QByteArray &content) { ASSERT_TRUE(writeTestFile(file, content)); }

    static history::DocumentReadingState stateAt(qint64 page, double zoom = 1.0)
    {
        history::DocumentReadingState state;
        state.page = page;
        state.zoom = zoom;
        return state;
    }

    std::unique_ptr<platform::Preferences> preferences;
    // Save delays pass only when the test moves this clock on.
    platform::ManualClock clock;
};

} // namespace folvan::test
