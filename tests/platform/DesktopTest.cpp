#include "platform/Desktop.h"
#include "platform/Icons.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace folvan::platform;

namespace {

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
