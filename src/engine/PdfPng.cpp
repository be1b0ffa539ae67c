#include "engine/PdfPng.h"

#include <algorithm>

#include <QBuffer>
#include <QImageWriter>

namespace folvan::engine {

QByteArray encodePng(const QImage &image, int zlibLevel)
{
    QByteArray bytes;
    if (image.isNull())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Qt's PNG writer takes the zlib level as its compression option.
    writer.setCompression(std::clamp(zlibLevel, 0, 9));
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

} // namespace folvan::engine
