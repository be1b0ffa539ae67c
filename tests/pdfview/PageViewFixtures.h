#pragma once

#include <memory>
#include <optional>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QRectF>
#include <QString>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "support/TestEnv.h"

namespace folvan::test {

// Lines of Courier text on every page: line k of page p reads
// "Page <p> line <k> alpha beta" with its baseline at (72, 700 - 20 k).
constexpr double kLineLeft = 72;
constexpr double kFirstBaseline = 700;
constexpr double kLineStep = 20;
constexpr double kFontSize = 12;
inline QString lineText(int page, int line)
{
    return QStringLiteral("Page %1 line %2 alpha beta").arg(page).arg(line);
}
inline QPointF lineOrigin(int line)
{
    return QPointF(kLineLeft, kFirstBaseline - kLineStep * line);
}

inline void addTextLines(engine::PdfFixtureWriter &writer, int page, int lines = 3)
{
    for (int k = 0; k < lines; ++k)
        writer.addText(page, lineOrigin(k), lineText(page, k), engine::FixtureFont::Courier, kFontSize);
}

inline std::shared_ptr<engine::PdfDocument> openFixture(const engine::PdfFixtureWriter &writer)
{
    QString error;
    auto document = engine::PdfDocument::openData(writer.data(), &error);
    if (!document)
        qFatal("fixture did not open: %s", qPrintable(error));
    return document;
}

// `pages` letter pages of text lines.
inline std::shared_ptr<engine::PdfDocument> textDocument(int pages, int lines = 3)
{
    engine::PdfFixtureWriter writer;
    for (int p = 0; p < pages; ++p) {
        writer.addPage();
        addTextLines(writer, p, lines);
    }
    return openFixture(writer);
}

// A mouse move with `buttons` held, sent straight to `widget` (QTest's
// moves carry no buttons).
inline void sendMouseMove(QWidget *widget, QPoint at, Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace folvan::test
