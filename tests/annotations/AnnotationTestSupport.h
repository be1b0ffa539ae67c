#pragma once

// Papers for the annotation tests, written with the fixture writer: Courier
// text at known places, so that every character box is predictable, and a
// pane model showing a paper.

#include "support/OpenInModel.h"
#include "support/SharedPDFViewModelTestPeer.h"
#include <QFile>
#include <QUndoStack>
#include <QUrl>

#include <functional>
#include <memory>

#include "annotations/AnnotationState.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/SharedPDFViewModel.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnv.h"
#include "support/PaneAnnotationsOf.h"

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace folvan::test {

// Baselines of the text lines of every page, from the top.
inline constexpr double kLineBaselines[] = {700, 680, 660};
inline constexpr double kLeft = 72;
inline constexpr double kCharWidth = 7.2; // Courier 12

inline const QStringList &paperLines()
{
    static const QStringList lines = {QStringLiteral("alpha beta gamma delta"),
                                      QStringLiteral("epsilon zeta eta theta"),
                                      QStringLiteral("iota kappa lambda mu")};
    return lines;
}

// A page-space rectangle around characters [from, to) of a line.
inline QRectF textRect(int line, int from, int to)
{
    return QRectF(kLeft + from * kCharWidth, kLineBaselines[line] - 3, (to - from) * kCharWidth, 12);
}

// Writes a paper of `pages` pages, each with the three text lines, lets
// `extra` add annotations, and returns its path.
inline QString writePaper(const QString &path, int pages = 1,
                          const std::function<void(engine::PdfFixtureWriter &)> &extra = {})
{
    engine::PdfFixtureWriter writer;
    for (int p = 0; p < pages; ++p) {
        const int page = writer.addPage(QSizeF(612, 792));
        for (int line = 0; line < 3; ++line)
            writer.addText(page, QPointF(kLeft, kLineBaselines[line]), paperLines()[line],
                           engine::FixtureFont::Courier, 12);
    }
    if (extra)
        extra(writer);
    EXPECT_TRUE(writer.save(path));
    return path;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Chooses a fixed path for every export.
class FixedChooser {
public:
    explicit FixedChooser(QString path) : path(std::move(path)) {}
    QString chooseSavePath(const QString &proposedName, const QString &suffix)
    {
        proposed = proposedName;
        offeredSuffix = suffix;
        return path;
    }
    QString path;
    QString proposed;
    QString offeredSuffix;
};

// A test with a fresh data folder, a paper and a pane model showing it.
class PaneTest : public TempHomeTest {
protected:
    void TearDown() override
    {
        models.clear();
        TempHomeTest::TearDown();
    }

    // Opens `paperPath` in a new pane model, as the reader window does.
    model::SharedPDFViewModel &openPane(const QString &paperPath)
    {
        model::SharedPDFViewModel &model = startPane(paperPath);
        waitForStoredMarkups(model);
        return model;
    }

    // Opens `paperPath` in a new pane model showing `shownPage` first,
    // without waiting for what is read off the main thread.
    model::SharedPDFViewModel &startPane(const QString &paperPath, int shownPage = 0)
    {
        model::PaneModelServices services;
        services.chooseExportPath = [this](const QString &proposedName, const QString &suffix) {
            return exportChooser ? exportChooser->chooseSavePath(proposedName, suffix) : QString();
        };
        services.formerPaths = [this](const QString &standardizedPath) {
            return formerPaths ? formerPaths(standardizedPath) : std::vector<QString>();
        };
        models.push_back(std::make_unique<model::SharedPDFViewModel>(services));
        model::SharedPDFViewModel &model = *models.back();
        annotations::PaneAnnotations::attach(model);
        QString error;
        std::shared_ptr<engine::PdfDocument> document = engine::PdfDocument::open(paperPath, &error);
        EXPECT_TRUE(document) << error.toStdString();
        const QUrl url = QUrl::fromLocalFile(paperPath);
        openAndShowInModel(model, document, url, shownPage,
                           [&] { test::annotationsOf(model).loadMarkups(url, document, shownPage); });
        return model;
    }

    // The reading history's older names of a paper, for the panes opened
    // from now on.
    std::function<std::vector<QString>(const QString &)> formerPaths;

    // Reads the pane's annotation file again, as opening the paper does,
    // and waits until all its markups are in place.
    static void reloadMarkups(model::SharedPDFViewModel &model)
    {
        test::annotationsOf(model).loadMarkups(model.pdfDocumentURL(), model.pdfDocument());
        waitForStoredMarkups(model);
    }

    static void waitForStoredMarkups(const model::SharedPDFViewModel &model)
    {
        EXPECT_TRUE(waitFor([&] { return !test::annotationsOf(model).markupsLoading(); }));
    }

    // Selects characters [from, to) of a line on `page`.
    static void select(model::SharedPDFViewModel &model, int page, int line, int from, int to)
    {
        const engine::PdfPage pdfPage = model.pdfDocument()->page(page);
        const engine::PdfSelection selection = pdfPage.selection(textRect(line, from, to));
        model.pageSelectionChanged(selection);
    }

    QString annotationFile(model::SharedPDFViewModel &model) const { return test::annotationsOf(model).markupURL(model.pdfDocumentURL()); }

    // The user names of the annotations shown on a page.
    static QStringList shownNames(model::SharedPDFViewModel &model, int page)
    {
        QStringList names;
        for (const engine::PdfAnnotation &a : engine::annotations(*model.pdfDocument(), page))
            names << a.userName;
        return names;
    }

    std::vector<std::unique_ptr<model::SharedPDFViewModel>> models;
    // Where the panes' exports write; none: they do nothing.
    std::shared_ptr<FixedChooser> exportChooser;
};

} // namespace folvan::test
