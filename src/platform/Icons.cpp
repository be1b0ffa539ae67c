#include "platform/Icons.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QSet>

#include <mutex>

// The icon resources live in this static library; register them before the
// first lookup (a static library's automatic registration may be dropped by
// the linker).
static void initIconResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(icons); });
}

namespace folvan::platform {

namespace {

const QString kNeutral = QStringLiteral("neutral");

// System symbol names with a bundled drawing; each is drawn in
// :/folvan/icons/<name>.svg.
const QSet<QString> &symbolNames()
{
    static const QSet<QString> names = {
        QStringLiteral("arrow.backward"),        QStringLiteral("arrow.clockwise"),
        QStringLiteral("arrow.down.doc.fill"),   QStringLiteral("arrow.forward"),
        QStringLiteral("arrow.up.right"),        QStringLiteral("arrow.up.right.square"),
        QStringLiteral("arrow.uturn.backward"),  QStringLiteral("arrow.uturn.forward"),
        QStringLiteral("arrowshape.forward"),    QStringLiteral("arrowshape.zigzag.right"),
        QStringLiteral("book"),                  QStringLiteral("book.closed"),
        QStringLiteral("book.fill"),             QStringLiteral("bookmark"),
        QStringLiteral("bookmark.fill"),         QStringLiteral("chevron.down"),
        QStringLiteral("chevron.left"),          QStringLiteral("chevron.right"),
        QStringLiteral("chevron.right.2"),       QStringLiteral("chevron.up"),
        QStringLiteral("command"),               QStringLiteral("cursorarrow.motionlines"),
        QStringLiteral("doc"),                   QStringLiteral("doc.on.doc"),
        QStringLiteral("doc.text"),              QStringLiteral("ellipsis"),
        QStringLiteral("folder"),                QStringLiteral("folder.badge.plus"),
        QStringLiteral("g.circle"),              QStringLiteral("g.circle.fill"),
        QStringLiteral("gearshape"),             QStringLiteral("globe"),
        QStringLiteral("highlighter"),           QStringLiteral("list.bullet"),
        QStringLiteral("list.bullet.indent"),    QStringLiteral("magnifyingglass"),
        QStringLiteral("minus.circle"),          QStringLiteral("minus.magnifyingglass"),
        QStringLiteral("newspaper"),             QStringLiteral("note.text"),
        QStringLiteral("pencil"),                QStringLiteral("photo"),
        QStringLiteral("plus"),                  QStringLiteral("plus.magnifyingglass"),
        QStringLiteral("questionmark.circle"),   QStringLiteral("radio"),
        QStringLiteral("radio.fill"),            QStringLiteral("rectangle.3.group"),
        QStringLiteral("rectangle.split.2x1"),   QStringLiteral("safari"),
        QStringLiteral("sidebar.left"),          QStringLiteral("slider.horizontal.3"),
        QStringLiteral("square.and.arrow.up"),   QStringLiteral("square.and.pencil"),
        QStringLiteral("text.alignleft"),        QStringLiteral("text.bubble"),
        QStringLiteral("text.cursor"),           QStringLiteral("trash"),
        QStringLiteral("underline"),             QStringLiteral("xmark"),
        QStringLiteral("xmark.circle"),
    };
    return names;
}

// The icons made so far (GUI thread), let go with the application: a
// pixmap is not safely destroyed after it.
QHash<QString, QIcon> &madeIcons()
{
    static QHash<QString, QIcon> made;
    static std::once_flag once;
    std::call_once(once, [] { qAddPostRoutine([] { made.clear(); }); });
    return made;
}

QString resourcePath(const QString &fileBase)
{
    return QStringLiteral(":/folvan/icons/") + fileBase + QStringLiteral(".svg");
}

} // namespace

bool hasSymbolIcon(const QString &systemSymbolName)
{
    return symbolNames().contains(systemSymbolName);
}

QString symbolIconPath(const QString &systemSymbolName)
{
    initIconResources();
    return resourcePath(hasSymbolIcon(systemSymbolName) ? systemSymbolName : kNeutral);
}

// Icons are made once for each ask and handed out again: Qt caches the
// pixmaps an icon draws under the icon's own key, so a new icon for the
// same symbol on every refresh (each paper opened) filled the pixmap cache
// with copies.
QIcon symbolIcon(const QString &systemSymbolName)
{
    QHash<QString, QIcon> &made = madeIcons();
    const QString key = QStringLiteral("symbol/") + systemSymbolName;
    if (const auto found = made.constFind(key); found != made.constEnd())
        return *found;
    return *made.insert(key, QIcon(symbolIconPath(systemSymbolName)));
}

QImage symbolImage(const QString &systemSymbolName, const QColor &ink, QSize pixelSize)
{
    QFile file(symbolIconPath(systemSymbolName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Every drawing is inked in one grey; only that grey takes the colour.
    QByteArray svg = file.readAll();
    svg.replace("#3a3a3c", ink.name(QColor::HexRgb).toLatin1());
    QBuffer buffer(&svg);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(pixelSize);
    QImage drawn = reader.read();
    if (drawn.isNull() || ink.alpha() == 255)
        return drawn;
    QImage faded(drawn.size(), QImage::Format_ARGB32_Premultiplied);
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(ink.alphaF());
    painter.drawImage(0, 0, drawn);
    painter.end();
    return faded;
}

QIcon tintedSymbolIcon(const QString &systemSymbolName, const QColor &color, int size)
{
    QHash<QString, QIcon> &made = madeIcons();
    const QString key = QStringLiteral("tinted/") + systemSymbolName + QLatin1Char('/')
                        + QString::number(color.rgba(), 16) + QLatin1Char('/') + QString::number(size);
    if (const auto found = made.constFind(key); found != made.constEnd())
        return *found;
    QIcon &icon = made[key];
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap = QPixmap::fromImage(symbolImage(systemSymbolName, color, QSize(size, size) * ratio));
        if (pixmap.isNull())
            continue;
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace folvan::platform
