#pragma once

// Shared helpers of the model tests: documents written by the engine's
// fixture writer, a model opened on one, and a stand-in for the page view.

#include "support/SharedPDFViewModelTestPeer.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "support/OpenInModel.h"
#include "model/NativePDFViewInterface.h"
#include "model/SharedPDFViewModel.h"

#include <QDir>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace folvan::test {

// A document of `pages` plain US-letter pages, saved at `path`.
inline std::shared_ptr<engine::PdfDocument> writeDocument(const QString &path, int pages)
{
    engine::PdfFixtureWriter writer;
    for (int i = 0; i < pages; ++i)
        writer.addPage();
    if (!writer.save(path))
        return nullptr;
    return engine::PdfDocument::open(path);
}

// A page view stand-in whose document, position and selection a test sets.
class FakePageView : public QObject, public model::NativePDFViewInterface {
    Q_OBJECT
    Q_INTERFACES(folvan::model::NativePDFViewInterface)
public:
    std::shared_ptr<engine::PdfDocument> document;
    std::optional<engine::PdfDestination> destination;
    std::optional<engine::PdfSelection> selection;
    int page = -1;
    double scale = 1;

    std::shared_ptr<engine::PdfDocument> shownDocument() const override { return document; }
    std::optional<engine::PdfDestination> currentDestination() const override { return destination; }
    std::optional<engine::PdfSelection> currentSelection() const override { return selection; }
    int shownPageIndex() const override { return page; }
    double shownScaleFactor() const override { return scale; }
    void clearSelection() override { selection.reset(); }
};

} // namespace folvan::test

#include "support/TestEnv.h"

#include <QSignalSpy>

namespace folvan::test {

// A pane model showing a saved document of `pages` pages, with its data
// folder in the test's own temporary home.
class PaneTest : public TempHomeTest {
protected:
    virtual int pages() const { return 8; }
    void SetUp() override
    {
        TempHomeTest::SetUp();
        pdf = path("paper.pdf");
        document = writeDocument(pdf, pages());
        ASSERT_TRUE(document);
        model::PaneModelServices services;
        services.formerPaths = [this](const QString &standardizedPath) {
            return formerPaths ? formerPaths(standardizedPath) : std::vector<QString>();
        };
        model = std::make_unique<model::SharedPDFViewModel>(services);
        openAndShowInModel(*model, document, QUrl::fromLocalFile(pdf));
    }

    // The reading history's older names of a paper, as the model asks for them.
    std::function<std::vector<QString>(const QString &standardizedPath)> formerPaths;

    QString pdf;
    std::shared_ptr<engine::PdfDocument> document;
    std::unique_ptr<model::SharedPDFViewModel> model;
};

} // namespace folvan::test
