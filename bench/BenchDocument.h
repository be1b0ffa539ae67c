#pragma once
// The paper a benchmark program runs on.

#include <QString>

#include <cstdio>
#include <memory>

#include "engine/PdfDocument.h"

// The PDF at `path`, or nothing after saying why on stderr.
inline std::shared_ptr<folvan::engine::PdfDocument> openBenchDocument(const QString &path)
{
    QString error;
    auto document = folvan::engine::PdfDocument::open(path, &error);
    if (!document)
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
    return document;
}
