#include "engine/PdfPng.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace folvan::engine {

namespace {

void appendBigEndian(QByteArray &out, quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void appendChunk(QByteArray &out, const char type[4], const QByteArray &data)
{
    appendBigEndian(out, quint32(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(out.constData() + start), uInt(out.size() - start));
    appendBigEndian(out, quint32(crc));
}

} // namespace

// PNG written directly with zlib: rows unfiltered, so that level 1 spends
// its time on nothing but a fast deflate.
QByteArray encodePng(const QImage &image, int zlibLevel)
{
    if (image.isNull())
        return QByteArray();
    const bool alpha = image.hasAlphaChannel();
    const QImage source = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const int width = source.width();
    const int height = source.height();
    const size_t rowBytes = size_t(width) * (alpha ? 4 : 3);

    // Each row starts with its filter type (0, none).
    std::vector<unsigned char> raw((rowBytes + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        unsigned char *row = raw.data() + size_t(y) * (rowBytes + 1);
        row[0] = 0;
        std::memcpy(row + 1, source.constScanLine(y), rowBytes);
    }
    uLongf compressedSize = compressBound(uLong(raw.size()));
    QByteArray compressed(qsizetype(compressedSize), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(compressed.data()), &compressedSize, raw.data(), uLong(raw.size()),
                  std::clamp(zlibLevel, 0, 9))
        != Z_OK)
        return QByteArray();
    compressed.resize(qsizetype(compressedSize));

    QByteArray header;
    appendBigEndian(header, quint32(width));
    appendBigEndian(header, quint32(height));
    header.append(char(8));              // bits per channel
    header.append(char(alpha ? 6 : 2));  // RGBA or RGB
    header.append(3, char(0));           // deflate, adaptive filtering, no interlace

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    appendChunk(out, "IHDR", header);
    appendChunk(out, "IDAT", compressed);
    appendChunk(out, "IEND", QByteArray());
    return out;
}

} // namespace folvan::engine
