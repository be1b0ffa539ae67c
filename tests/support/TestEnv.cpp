#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <sys/stat.h>

namespace folvan::test {

bool waitFor(const std::function<bool()> &condition)
{
    using namespace std::chrono_literals;
    const QDeadlineTimer deadline(60s);
    // Wakes the wait for what changes without an event of this thread: the
    // work of other threads and processes.
    QTimer wake;
    wake.start(5ms);
    for (;;) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (condition())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

namespace {

// Counts the events the main thread delivers, but for those of `quiet`.
class DeliveryCounter : public QObject {
public:
    explicit DeliveryCounter(QObject *quiet) : m_quiet(quiet) { qApp->installEventFilter(this); }
    ~DeliveryCounter() override { qApp->removeEventFilter(this); }
    int delivered = 0;

protected:
    bool eventFilter(QObject *receiver, QEvent *) override
    {
        if (receiver != m_quiet)
            ++delivered;
        return false;
    }

private:
    QObject *m_quiet;
};

} // namespace

void waitForIdle()
{
    // A marker queued behind the work: a turn up to it that delivered
    // nothing else, begun and ended with no work on the pool (which queues
    // its results before it ends), leaves nothing queued.
    QThreadPool *pool = QThreadPool::globalInstance();
    QObject marker;
    DeliveryCounter counter(&marker);
    const auto idle = [&] {
        if (pool->activeThreadCount() > 0)
            return false;
        bool reached = false;
        counter.delivered = 0;
        QMetaObject::invokeMethod(&marker, [&reached] { reached = true; }, Qt::QueuedConnection);
        while (!reached)
            QCoreApplication::processEvents();
        return counter.delivered == 0 && pool->activeThreadCount() == 0;
    };
    if (!waitFor(idle))
        ADD_FAILURE() << "the main thread or the thread pool kept finding work to do";
}

void pointHomeAt(const QString &root)
{
    const QDir dir(root);
    for (const char *sub : {"home", "data", "config", "cache"})
        dir.mkpath(QString::fromLatin1(sub));
    qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toLocal8Bit());
}

bool writeTestFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool makeTestFifo(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

bool isFifo(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray deeplyNestedJson(int depth)
{
    return "{\"deep\":" + QByteArray(depth, '[') + QByteArray(depth, ']') + ",\"next\":1}";
}

void TempHomeTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_oldHome = qgetenv("HOME");
    m_oldData = qgetenv("XDG_DATA_HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    m_oldCache = qgetenv("XDG_CACHE_HOME");
    pointHomeAt(m_dir.path());
}

void TempHomeTest::TearDown()
{
    qputenv("HOME", m_oldHome);
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_CACHE_HOME", m_oldCache);
}

ScopedVariable::ScopedVariable(const char *name, const QByteArray &value)
    : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
{
    qputenv(name, value);
}

ScopedVariable::~ScopedVariable()
{
    if (m_wasSet)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

QByteArray pdfWhosePageTakesNoAnnotations()
{
    const QByteArray stream = "5 0 [] ";
    return "%PDF-1.5\n"
           "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
           "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
           "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots 5 0 R >>\nendobj\n"
           "4 0 obj\n<< /Type /ObjStm /N 1 /First -19 /Length "
        + QByteArray::number(stream.size()) + " >>\nstream\n" + stream
        + "\nendstream\nendobj\ntrailer\n<< /Root 1 0 R /Size 6 >>\n%%EOF\n";
}

} // namespace folvan::test
