#include "platform/Desktop.h"
#include "platform/Icons.h"

#include "support/TestEnv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace folvan::platform;

namespace {

// Stands in for the file manager on a private session bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

// Receives the URLs that the desktop services would hand to other programs.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// Whether a child of this process runs `name`, or ended and was not reaped
// yet (Linux).
bool childRuns(const QByteArray &name)
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state parent ..."
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (line.mid(open + 1, close - open - 1) == name && rest.size() > 1 && rest.at(1) == self)
            return true;
    }
    return false;
}

class DesktopTest : public folvan::test::TempHomeTest {};

TEST_F(DesktopTest, ClipboardTextRoundTrips)
{
    setClipboardText(QStringLiteral("注意力 / attention"));
    EXPECT_EQ(clipboardText(), QStringLiteral("注意力 / attention"));
}

TEST_F(DesktopTest, MoveToTrashRemovesTheFileAndKeepsItInTheTrash)
{
    const QString file = path(QStringLiteral("home/paper.pdf"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.7");
    }
    QString error;
    ASSERT_TRUE(moveToTrash(file, &error)) << qPrintable(error);
    EXPECT_FALSE(QFileInfo::exists(file));
    bool found = false;
    QDirIterator it(root(), {QStringLiteral("paper*.pdf")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString candidate = it.next();
        found = found || candidate.contains(QStringLiteral("Trash"));
    }
    EXPECT_TRUE(found);

    error.clear();
    EXPECT_FALSE(moveToTrash(file, &error));
    EXPECT_FALSE(error.isEmpty());
}

// Runs a private session bus for these tests (the process keeps its first
// session bus connection), when the system has a bus daemon to run and this
// process has not connected to another bus yet.
class SessionBusTest : public DesktopTest {
protected:
    static void SetUpTestSuite()
    {
        s_oldAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        s_daemon = new QProcess;
        s_daemon->start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!s_daemon->waitForStarted(5000) || !s_daemon->waitForReadyRead(5000))
            return;
        s_address = QString::fromUtf8(s_daemon->readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", s_address.toUtf8());
    }
    static void TearDownTestSuite()
    {
        if (s_daemon->state() != QProcess::NotRunning) {
            s_daemon->kill();
            s_daemon->waitForFinished(5000);
        }
        delete s_daemon;
        s_daemon = nullptr;
        qputenv("DBUS_SESSION_BUS_ADDRESS", s_oldAddress);
    }
    void SetUp() override
    {
        DesktopTest::SetUp();
        if (s_address.isEmpty() || !QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        if (QDBusConnection::sessionBus().interface()->isServiceRegistered(
                QStringLiteral("org.freedesktop.FileManager1")))
            GTEST_SKIP() << "a file manager already serves this bus";
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_catcher, "open");
        useOpener(0);
        m_path = std::make_unique<folvan::test::ScopedVariable>("PATH", path(QStringLiteral("bin")).toUtf8());
    }
    void TearDown() override
    {
        m_path.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        DesktopTest::TearDown();
    }
    // The desktop's opener, standing in for xdg-open: it notes what it was
    // asked to open and ends with `status`.
    void useOpener(int status)
    {
        const QString script = path(QStringLiteral("bin/xdg-open"));
        ASSERT_TRUE(folvan::test::writeTestFile(
            script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\nexit %2\n")
                        .arg(openedLog())
                        .arg(status)
                        .toUtf8()));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString openedLog() const { return path(QStringLiteral("opened.txt")); }
    QByteArray opened() const { return folvan::test::readTestFile(openedLog()); }

    static inline QProcess *s_daemon = nullptr;
    static inline QString s_address;
    static inline QByteArray s_oldAddress;
    UrlCatcher m_catcher;
    std::unique_ptr<folvan::test::ScopedVariable> m_path;
};

TEST_F(SessionBusTest, RevealAsksTheFileManagerForTheFileUri)
{
    QDBusConnection service = QDBusConnection::connectToBus(s_address, QStringLiteral("fake-file-manager"));
    FakeFileManager manager;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    // Without an opener, a fallback would hand the folder to the desktop
    // services at once, as the answer comes in.
    QFile::remove(path(QStringLiteral("bin/xdg-open")));
    bool failed = false;
    revealInFileManager(path(QStringLiteral("home/论文 1.pdf")), [&failed] { failed = true; });
    EXPECT_TRUE(folvan::test::waitFor([&] { return !manager.shown.isEmpty(); }));
    EXPECT_EQ(manager.shown,
              QStringList{QUrl::fromLocalFile(path(QStringLiteral("home/论文 1.pdf"))).toString(QUrl::FullyEncoded)});
    // The call's watcher goes once the answer was taken.
    EXPECT_TRUE(folvan::test::waitFor([] { return qApp->findChildren<QDBusPendingCallWatcher *>().isEmpty(); }));
    EXPECT_TRUE(m_catcher.opened.isEmpty());
    EXPECT_TRUE(opened().isEmpty());
    EXPECT_FALSE(failed);

    service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
}

TEST_F(SessionBusTest, RevealWithoutAFileManagerOpensTheFolderOrSaysItCouldNot)
{
    bool failed = false;
    bool answered = false;
    revealInFileManager(path(QStringLiteral("home/paper.pdf")), [&failed] { failed = true; });
    EXPECT_TRUE(folvan::test::waitFor([&] { return !opened().isEmpty(); }));
    EXPECT_EQ(opened(), QUrl::fromLocalFile(path(QStringLiteral("home"))).toString(QUrl::FullyEncoded).toUtf8() + "\n");
    // Its exit status is read as it is reaped.
    EXPECT_TRUE(folvan::test::waitFor([] { return !childRuns("xdg-open"); }));
    EXPECT_FALSE(failed);

    // An opener that finds nothing to open folders with.
    useOpener(3);
    revealInFileManager(path(QStringLiteral("home/paper.pdf")), [&failed] { failed = true; });
    EXPECT_TRUE(folvan::test::waitFor([&] { return failed; }));
    // No opener at all, and the desktop services cannot open it either.
    QFile::remove(path(QStringLiteral("bin/xdg-open")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    revealInFileManager(path(QStringLiteral("home/paper.pdf")), [&answered] { answered = true; });
    EXPECT_TRUE(folvan::test::waitFor([&] { return answered; }));
}

TEST_F(DesktopTest, OpenInDefaultApplicationHandsTheUrlOn)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    EXPECT_TRUE(openInDefaultApplication(QUrl::fromLocalFile(path(QStringLiteral("a.pdf")))));
    EXPECT_FALSE(openInDefaultApplication(QUrl()));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.first(), QUrl::fromLocalFile(path(QStringLiteral("a.pdf"))));
}

TEST(IconsTest, KnownNamesHaveTheirOwnIconAndUnknownNamesANeutralOne)
{
    for (const char *name : {"book", "doc", "magnifyingglass", "bookmark.fill", "chevron.left", "trash",
                             "questionmark.circle", "cursorarrow.motionlines", "rectangle.3.group"}) {
        const QString n = QLatin1String(name);
        EXPECT_TRUE(hasSymbolIcon(n)) << name;
        EXPECT_TRUE(QFile::exists(symbolIconPath(n))) << name;
        EXPECT_FALSE(symbolIcon(n).pixmap(16, 16).isNull()) << name;
    }
    EXPECT_FALSE(hasSymbolIcon(QStringLiteral("no.such.symbol")));
    EXPECT_TRUE(QFile::exists(symbolIconPath(QStringLiteral("no.such.symbol"))));
    EXPECT_FALSE(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
    EXPECT_FALSE(symbolIcon(QString()).pixmap(16, 16).isNull());
}

// A coloured symbol keeps the light details of its drawing: the arrow on
// the document, the letter on the disc.
TEST(IconsTest, AColouredSymbolKeepsItsLightDetails)
{
    const QColor green(52, 199, 89);
    for (const char *name : {"arrow.down.doc.fill", "g.circle.fill"}) {
        const QImage image = symbolImage(QLatin1String(name), green, QSize(60, 60));
        ASSERT_EQ(image.size(), QSize(60, 60)) << name;
        int inked = 0, light = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() < 250)
                    continue;
                if (std::abs(c.red() - green.red()) < 8 && std::abs(c.green() - green.green()) < 8
                    && std::abs(c.blue() - green.blue()) < 8)
                    ++inked;
                else if (c.red() > 245 && c.green() > 245 && c.blue() > 245)
                    ++light;
            }
        EXPECT_GT(inked, 600) << name;
        EXPECT_GT(light, 20) << name;
    }
    QColor faint = green;
    faint.setAlphaF(0.5);
    const QImage half = symbolImage(QStringLiteral("g.circle.fill"), faint, QSize(60, 60));
    EXPECT_NEAR(half.pixelColor(10, 30).alphaF(), 0.5, 0.02);
}

// Asked for again, a symbol's icon is the one made before: Qt caches the
// pixmaps an icon draws under the icon's key, and a new icon on every
// refresh of a button (each paper opened) filled that cache with copies.
// Another colour, alpha or size is another icon.
TEST(IconsTest, AnIconAskedForAgainIsTheOneMadeBefore)
{
    const QString book = QStringLiteral("book");
    const QColor ink(10, 20, 30);
    QColor faint = ink;
    faint.setAlphaF(0.3);
    const qint64 key = tintedSymbolIcon(book, ink, 16).cacheKey();
    EXPECT_EQ(tintedSymbolIcon(book, ink, 16).cacheKey(), key);
    EXPECT_NE(tintedSymbolIcon(book, QColor(10, 20, 31), 16).cacheKey(), key);
    EXPECT_NE(tintedSymbolIcon(book, faint, 16).cacheKey(), key);
    EXPECT_NE(tintedSymbolIcon(book, ink, 18).cacheKey(), key);
    EXPECT_NE(tintedSymbolIcon(QStringLiteral("trash"), ink, 16).cacheKey(), key);
    EXPECT_EQ(symbolIcon(book).cacheKey(), symbolIcon(book).cacheKey());
    EXPECT_NE(symbolIcon(book).cacheKey(), symbolIcon(QStringLiteral("trash")).cacheKey());
}

TEST(IconsTest, EveryBundledDrawingIsAValidSvg)
{
    symbolIconPath(QStringLiteral("book")); // registers the bundled icons
    QDirIterator it(QStringLiteral(":/folvan/icons"), {QStringLiteral("*.svg")});
    int count = 0;
    while (it.hasNext()) {
        const QString file = it.next();
        const QIcon icon(file);
        const QImage image = icon.pixmap(32, 32).toImage();
        ASSERT_FALSE(image.isNull()) << qPrintable(file);
        // Something is drawn.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << qPrintable(file);
        ++count;
    }
    EXPECT_GT(count, 50);
}

} // namespace

#include "DesktopTest.moc"
