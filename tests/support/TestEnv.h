#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>

namespace folvan::test {

// Points HOME and the XDG data, config and cache folders at `root`, so that
// the Folvan data folder and the preferences of the code under test live
// there.
void pointHomeAt(const QString &root);

// Writes `bytes` as the whole file at `path`, making its folder first.
bool writeTestFile(const QString &path, const QByteArray &bytes);
// Makes a FIFO at `path` (and its folder): opening it for reading waits for
// a writer, so a store that opens it without looking first hangs.
bool makeTestFifo(const QString &path);
// Whether a FIFO (not followed through a link) is at `path`.
bool isFifo(const QString &path);
// The whole content of the file at `path`; empty when it cannot be read.
QByteArray readTestFile(const QString &path);

// Sets an environment variable for its lifetime, then puts back what was
// there (or nothing).
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_old;
};

// The web engine's helper program made missing for the lifetime of the
// object: no web view may start.
class WithoutWebEngine : public ScopedVariable {
public:
    WithoutWebEngine() : ScopedVariable("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess") {}
};

// A JSON object whose first value nests `depth` arrays, followed by another
// key: {"deep":[[[...]]],"next":1}. Deep enough by default to exhaust the
// stack of any recursive walk over it.
QByteArray deeplyNestedJson(int depth = 400000);

// Runs the event loop until `condition` holds; false when it still does not
// after a minute, far longer than anything a test waits for takes.
[[nodiscard]] bool waitFor(const std::function<bool()> &condition);

// Runs the event loop until nothing more happens by itself: the work handed
// to the global thread pool has finished, and what it and the main thread
// queued for the main thread has run, and what that queued in turn. Work on
// a queue of its own (a SerialQueue, a scheme handler's) is waited for
// through that queue first.
void waitForIdle();

// A one-page PDF (612 x 792) whose page keeps its annotation list in an
// object stream with damaged offsets: no annotation can be made on it.
QByteArray pdfWhosePageTakesNoAnnotations();

// A test whose application data and preferences live in a fresh temporary
// folder of its own.
class TempHomeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The temporary folder of this test.
    QString root() const { return m_dir.path(); }
    // A path inside the temporary folder.
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldData, m_oldConfig, m_oldCache;
};

} // namespace folvan::test
