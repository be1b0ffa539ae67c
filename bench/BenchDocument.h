#pragma once
// The paper a benchmark program runs on.

#include <QString>

#include <memory>

#include "BenchArgs.h"
#include "engine/PdfDocument.h"

// The PDF at `path`; a paper that cannot be opened is a bad argument.
inline std::shared_ptr<folvan::engine::PdfDocument> openBenchDocument(const QString &path, const BenchArgs &args)
{
    QString error;
    auto document = folvan::engine::PdfDocument::open(path, &error);
    if (!document)
        args.fail(QStringLiteral("cannot open %1: %2").arg(path, error));
    return document;
}
