#pragma once
// Markups the benchmark programs put on a paper.

#include <memory>
#include <vector>

#include <QStringList>
#include <QUuid>

#include "annotations/AnnotationGeometry.h"
#include "annotations/ReadingMarkup.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"

// Highlights spread over the pages: runs of 40 characters of the text,
// each made of the rectangles of its lines, as the reader makes them from a
// selection.
inline std::vector<folvan::annotations::ReadingMarkup>
spreadMarkups(const std::shared_ptr<folvan::engine::PdfDocument> &shared, int count)
{
    std::vector<folvan::annotations::ReadingMarkup> markups;
    const int pages = shared->pageCount();
    for (int made = 0, round = 0; made < count && round < 400; ++round) {
        for (int p = 0; p < pages && made < count; ++p) {
            const folvan::engine::PdfPage page(shared, p);
            const int characters = page.characterCount();
            const int start = round * 60;
            if (start + 40 > characters)
                continue;
            const folvan::engine::PdfSelection selection = page.selection(folvan::engine::PdfTextRange{start, 40});
            std::vector<QRectF> lines = folvan::annotations::lineRects(selection, page);
            if (selection.isEmpty() || lines.empty())
                continue;
            folvan::annotations::ReadingMarkup markup;
            markup.id = QUuid::createUuid();
            markup.page = p;
            markup.kind = QStringLiteral("highlight");
            markup.rectangles = std::move(lines);
            markup.quote = selection.string();
            markup.note = made % 3 == 0 ? QStringLiteral("A note on this passage,\nwith a second line.") : QString();
            markup.color = QStringLiteral("yellow");
            markups.push_back(markup);
            ++made;
        }
    }
    return markups;
}

// Points the data folders at `home`, so that the markups are saved where
// nothing of the user's is, and draws off screen unless told otherwise.
inline void useScratchHome(const QString &home)
{
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
