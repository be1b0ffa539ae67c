#pragma once

// Shared helpers of the book tests: a saved fixture document shown in a
// pane model, and a wait for a condition that runs the event loop.

#include "support/OpenInModel.h"
#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/SharedPDFViewModel.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QUrl>

#include <functional>
#include <memory>

namespace folvan::test {

// A model showing a saved document of `pages` US-letter pages with a line
// of text on each.
class BookPaneTest : public TempHomeTest {
protected:
    virtual int pages() const { return 10; }
    void SetUp() override
    {
        TempHomeTest::SetUp();
        engine::PdfFixtureWriter writer;
        for (int i = 0; i < pages(); ++i) {
            writer.addPage();
            writer.addText(i, QPointF(72, 700), QStringLiteral("Page %1 of the book").arg(i + 1));
        }
        pdf = path(QStringLiteral("paper.pdf"));
        ASSERT_TRUE(writer.save(pdf));
        document = engine::PdfDocument::open(pdf);
        ASSERT_TRUE(document);
        model = std::make_unique<model::SharedPDFViewModel>();
        annotations::PaneAnnotations::attach(*model);
        openAndShowInModel(*model, document, QUrl::fromLocalFile(pdf));
    }
    // Opens the paper again as the pane does, at `page`, for the book to
    // show.
    void openAt(int page) { openInModel(*model, document, QUrl::fromLocalFile(pdf), page); }

    QString pdf;
    std::shared_ptr<engine::PdfDocument> document;
    std::unique_ptr<model::SharedPDFViewModel> model;
};

} // namespace folvan::test
