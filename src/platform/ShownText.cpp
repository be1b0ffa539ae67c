#include "platform/ShownText.h"

#include <algorithm>

namespace folvan::platform {

QString rowText(const QString &text, int rows)
{
    rows = std::max(rows, 1);
    qsizetype keep = std::min(text.size(), rows * kRowCharacters);
    // The line break that ends the last row shown.
    qsizetype from = 0;
    // Only what can be shown is searched: a text of megabytes on one line
    // costs no more than a short one.
    const QStringView shown = QStringView(text).left(keep + 1);
    for (int row = 0; row < rows; ++row) {
        const qsizetype lineEnd = shown.indexOf(QLatin1Char('\n'), from);
        if (lineEnd < 0 || lineEnd >= keep || lineEnd + 1 == text.size())
            break;
        if (row == rows - 1)
            keep = lineEnd;
        from = lineEnd + 1;
    }
    if (keep >= text.size())
        return text;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

} // namespace folvan::platform
