#include "support/SharedPDFViewModelTestPeer.h"
#include "support/OpenInModel.h"
#include "scholar/WebView.h"

#include "ScholarTestSupport.h"
#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Preferences.h"
#include "scholar/ScholarRules.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLocale>
#include <QStandardPaths>

using namespace folvan;
using Coordinator = scholar::WebView::Coordinator;

namespace {

QString base64(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

QJsonObject message(const QString &base64Text, const QString &action)
{
    return {{QStringLiteral("base64"), base64Text}, {QStringLiteral("action"), action}};
}

// A pane model with a paper of five pages open at its last page, and a
// coordinator whose dialogs and output the test sees.
class CoordinatorTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        platform::Preferences::resetSharedForTesting();
        paper = path(QStringLiteral("papers/Paper.pdf"));
        oldBytes = test::pdfBytes(5, QStringLiteral("Old"));
        ASSERT_TRUE(test::writeTestFile(paper, oldBytes));
        document = engine::PdfDocument::open(paper);
        ASSERT_TRUE(document);
        test::openAndShowInModel(model, document, QUrl::fromLocalFile(paper), 4);
        coordinator.setPrompts(prompts);
        coordinator.setOutput([this](const QString &line) { output << line; });
    }

    QString paper;
    QByteArray oldBytes;
    std::shared_ptr<engine::PdfDocument> document;
    model::SharedPDFViewModel model;
    std::shared_ptr<test::FakePrompts> prompts = std::make_shared<test::FakePrompts>();
    Coordinator coordinator{nullptr, &model};
    QStringList output;
};

} // namespace

TEST_F(CoordinatorTest, MessagesAreRoutedByActionAndIllFormedOnesAreDroppedSilently)
{
    const QString bytes = base64(test::pdfBytes(1));
    coordinator.userContentController(QStringLiteral("other"), message(bytes, QStringLiteral("replace")));
    coordinator.userContentController(scholar::kMessageHandler, QJsonObject{{QStringLiteral("base64"), bytes}});
    coordinator.userContentController(scholar::kMessageHandler,
                                      QJsonObject{{QStringLiteral("base64"), 1}, {QStringLiteral("action"), QStringLiteral("replace")}});
    // A download before any page has finished loading has no address.
    coordinator.userContentController(scholar::kMessageHandler, message(bytes, QStringLiteral("download")));
    EXPECT_TRUE(output.isEmpty());
    EXPECT_TRUE(prompts->suggestedNames.isEmpty());
    EXPECT_TRUE(prompts->confirmations.isEmpty());

    coordinator.userContentController(scholar::kMessageHandler, message(bytes, QStringLiteral("print")));
    EXPECT_EQ(output, QStringList{QStringLiteral("Unknown action: print")});

    coordinator.didFinish(QUrl(QStringLiteral("https://example.org/papers/Deep%20Nets.pdf")));
    coordinator.didFail(QUrl(), QStringLiteral("net::ERR_NAME_NOT_RESOLVED"));
    EXPECT_EQ(output.mid(1), (QStringList{QStringLiteral("Finished loading content for https://example.org/papers/Deep%20Nets.pdf"),
                                          QStringLiteral("Failed to load content: net::ERR_NAME_NOT_RESOLVED")}));
    coordinator.userContentController(scholar::kMessageHandler, message(bytes, QStringLiteral("download")));
    EXPECT_EQ(prompts->suggestedNames, QStringList{QStringLiteral("Deep Nets.pdf")});
    coordinator.userContentController(scholar::kMessageHandler, message(bytes, QStringLiteral("replace")));
    EXPECT_EQ(prompts->confirmations.size(), 1);
}

TEST_F(CoordinatorTest, SavingChecksTheBytesAndKeepsTheChosenFolder)
{
    const QUrl page(QStringLiteral("https://example.org/paper"));
    coordinator.savePDF(QStringLiteral("JVBE\nRi0="), page);
    coordinator.savePDF(base64("<html></html>"), page);
    EXPECT_EQ(prompts->alerts, (QStringList{QStringLiteral("下载失败|无法解析下载的数据。"),
                                            QStringLiteral("无效 PDF|下载的文件不是有效的 PDF，未保存。")}));
    EXPECT_TRUE(prompts->suggestedNames.isEmpty());

    // Cancelled: nothing stored, nothing written.
    const QByteArray pdf = test::pdfBytes(2);
    coordinator.savePDF(base64(pdf), page);
    EXPECT_EQ(prompts->suggestedNames, QStringList{QStringLiteral("downloaded.pdf")});
    EXPECT_TRUE(prompts->startFolder.isEmpty());
    EXPECT_FALSE(platform::Preferences::shared().contains(QStringLiteral("lastSavePanelURL")));

    prompts->savePath = path(QStringLiteral("saved/downloaded.pdf"));
    coordinator.savePDF(base64(pdf), page);
    EXPECT_EQ(test::readTestFile(*prompts->savePath), pdf);
    EXPECT_EQ(output.last(), QStringLiteral("PDF saved to: ") + *prompts->savePath);
    const QUrl folder = QUrl::fromLocalFile(path(QStringLiteral("saved")));
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastSavePanelURL")), folder);

    // The next panel opens there; a place that cannot be written is kept
    // all the same, and the failure is said.
    prompts->savePath = path(QStringLiteral("saved/downloaded.pdf/inside.pdf"));
    coordinator.savePDF(base64(pdf), page);
    EXPECT_EQ(prompts->startFolder, folder);
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastSavePanelURL")),
              QUrl::fromLocalFile(path(QStringLiteral("saved/downloaded.pdf"))));
    ASSERT_EQ(prompts->alerts.size(), 3);
    EXPECT_TRUE(prompts->alerts.last().startsWith(QStringLiteral("保存失败|")));
}

TEST_F(CoordinatorTest, ReplaceIsRefusedWithoutAPaperOrWithBytesThatAreNoPdf)
{
    model::SharedPDFViewModel empty;
    Coordinator lonely(nullptr, &empty);
    lonely.setPrompts(prompts);
    lonely.replaceCurrentPDF(QStringLiteral("not base64"));
    coordinator.replaceCurrentPDF(QStringLiteral("not base64"));
    coordinator.replaceCurrentPDF(base64("%PDF-1.7 but nothing else"));
    EXPECT_EQ(prompts->alerts, (QStringList{QStringLiteral("尚未打开 PDF|先打开 PDF，再使用替换功能。"),
                                            QStringLiteral("无效 PDF|下载的文件不是有效的 PDF。"),
                                            QStringLiteral("无效 PDF|下载的文件不是有效的 PDF。")}));
    EXPECT_TRUE(prompts->confirmations.isEmpty());
    EXPECT_EQ(test::readTestFile(paper), oldBytes);
}

// A download cut off part-way still opens, repaired, with pages of its
// own: it must not take the paper's place.
TEST_F(CoordinatorTest, ReplaceRefusesACutOffPdfAndAFailedFetch)
{
    const QByteArray whole = test::pdfBytes(20, QStringLiteral("New"));
    int repairedOnes = 0;
    for (double share : {0.2, 0.6, 0.95}) {
        const QByteArray cut = whole.left(qsizetype(whole.size() * share));
        // Bytes that open at all open repaired, and are refused as such.
        std::shared_ptr<engine::PdfDocument> repaired = scholar::downloadedPDF(cut);
        if (repaired) {
            ++repairedOnes;
            EXPECT_FALSE(repaired->isIntact()) << share;
        }
        coordinator.replaceCurrentPDF(base64(cut), QUrl(QStringLiteral("http://127.0.0.1/cut.pdf")));
        ASSERT_EQ(prompts->alerts.size(), 1) << share;
        EXPECT_TRUE(prompts->alerts.takeFirst().startsWith(
            repaired ? QStringLiteral("无效 PDF|下载的 PDF 不完整或已损坏") : QStringLiteral("无效 PDF|下载的文件不是有效的 PDF。")))
            << share;
    }
    EXPECT_GE(repairedOnes, 1);
    EXPECT_TRUE(scholar::downloadedPDF(whole)->isIntact());

    // The fetch script tells why it has no bytes.
    QJsonObject failed = message(QString(), scholar::kReplaceAction);
    failed.insert(QStringLiteral("error"), QStringLiteral("tooLarge"));
    coordinator.userContentController(scholar::kMessageHandler, failed);
    failed.insert(QStringLiteral("error"), QStringLiteral("http 404"));
    coordinator.userContentController(scholar::kMessageHandler, failed);
    // Without a paper that comes first.
    model::SharedPDFViewModel empty;
    Coordinator lonely(nullptr, &empty);
    lonely.setPrompts(prompts);
    lonely.userContentController(scholar::kMessageHandler, failed);
    EXPECT_EQ(prompts->alerts,
              (QStringList{QStringLiteral("下载失败|文件超过 100 MB，已停止下载。当前 PDF 没有改动。"),
                           QStringLiteral("下载失败|网站没有给出文件（HTTP 404）。当前 PDF 没有改动。"),
                           QStringLiteral("尚未打开 PDF|先打开 PDF，再使用替换功能。")}));
    EXPECT_TRUE(prompts->confirmations.isEmpty());
    EXPECT_EQ(test::readTestFile(paper), oldBytes);
    EXPECT_EQ(model.pdfDocument(), document);
}

TEST_F(CoordinatorTest, CancellingTheConfirmationLeavesFileAndPaneAsTheyWere)
{
    prompts->confirmAnswer = false;
    int rebuilds = 0;
    QObject::connect(&model, &model::SharedPDFViewModel::pageViewRebuildRequested, &model, [&] { ++rebuilds; });
    coordinator.replaceCurrentPDF(base64(test::pdfBytes(2, QStringLiteral("New"))));
    EXPECT_EQ(prompts->confirmations,
              QStringList{QStringLiteral("替换当前 PDF？|将用浏览器中的 PDF（%1）覆盖“Paper.pdf”：\n%2\n原文件会先移到废纸篓。")
                              .arg(QLocale::c().formattedDataSize(test::pdfBytes(2, QStringLiteral("New")).size(), 1,
                                                                  QLocale::DataSizeTraditionalFormat),
                                   paper)});
    EXPECT_EQ(test::readTestFile(paper), oldBytes);
    EXPECT_EQ(model.pdfDocument(), document);
    EXPECT_EQ(model.currentPageIndex(), 4);
    EXPECT_EQ(rebuilds, 0);
    EXPECT_TRUE(prompts->informs.isEmpty());
}

TEST_F(CoordinatorTest, ConfirmedReplaceWritesTheBytesAndShowsTheNewPaperAtAPageItHas)
{
    // Another reader of the same file, open before the replace.
    const std::shared_ptr<engine::PdfDocument> other = engine::PdfDocument::open(paper);
    ASSERT_TRUE(other);
    const QByteArray newBytes = test::pdfBytes(2, QStringLiteral("New"));
    int pageWhenRebuilt = -1;
    int rebuilds = 0;
    QObject::connect(&model, &model::SharedPDFViewModel::pageViewRebuildRequested, &model, [&] {
        pageWhenRebuilt = model.currentPageIndex();
        ++rebuilds;
    });

    const QUrl source(QStringLiteral("https://example.org/papers/New.pdf"));
    coordinator.replaceCurrentPDF(base64(newBytes), source);
    EXPECT_EQ(test::readTestFile(paper), newBytes);
    // The confirmation named where the bytes come from; the old paper
    // waits in the trash, where the file manager can put it back.
    ASSERT_EQ(prompts->confirmations.size(), 1);
    EXPECT_TRUE(prompts->confirmations.first().contains(QStringLiteral("“https://example.org/papers/New.pdf”的 PDF")));
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    EXPECT_EQ(test::readTestFile(trash + QStringLiteral("/files/Paper.pdf")), oldBytes);
    EXPECT_TRUE(test::readTestFile(trash + QStringLiteral("/info/Paper.pdf.trashinfo"))
                    .contains("Path=" + QUrl::toPercentEncoding(paper, "/")));
    EXPECT_EQ(QDir(QFileInfo(paper).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Paper.pdf")});
    ASSERT_TRUE(model.pdfDocument());
    EXPECT_NE(model.pdfDocument(), document);
    EXPECT_EQ(model.pdfDocument()->pageCount(), 2);
    EXPECT_EQ(model.pdfDocument()->path(), paper);
    EXPECT_EQ(model.pdfDocument()->page(1).string().trimmed(), QStringLiteral("New 2"));
    EXPECT_EQ(model.pdfDocumentURL(), QUrl::fromLocalFile(paper));
    EXPECT_EQ(model.pageCount(), 2);
    EXPECT_EQ(pageWhenRebuilt, 1);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(prompts->informs, QStringList{QStringLiteral("PDF 已替换|“Paper.pdf”已更新，原文件在废纸篓中。")});
    EXPECT_TRUE(prompts->alerts.isEmpty());

    // The documents opened before still draw the old paper.
    EXPECT_EQ(other->pageCount(), 5);
    EXPECT_FALSE(engine::PageRaster::image(other->page(4), 600, {}).isNull());
    EXPECT_EQ(other->page(4).string().trimmed(), QStringLiteral("Old 5"));
    EXPECT_FALSE(engine::PageRaster::image(document->page(3), 600, {}).isNull());
}

TEST_F(CoordinatorTest, APaperChangedDuringTheConfirmationIsNotWritten)
{
    const QString second = path(QStringLiteral("papers/Second.pdf"));
    ASSERT_TRUE(test::writeTestFile(second, oldBytes));
    prompts->duringConfirmation = [&] { model::SharedPDFViewModelTestPeer(&model).setPdfDocumentURL(QUrl::fromLocalFile(second)); };
    coordinator.replaceCurrentPDF(base64(test::pdfBytes(2)));
    EXPECT_EQ(test::readTestFile(paper), oldBytes);
    EXPECT_EQ(test::readTestFile(second), oldBytes);
    EXPECT_EQ(model.pdfDocument(), document);
    ASSERT_EQ(prompts->alerts.size(), 1);
    EXPECT_TRUE(prompts->alerts.first().startsWith(QStringLiteral("替换失败|")));
}

TEST_F(CoordinatorTest, ReplacingThroughALinkWritesThePaperAndKeepsTheLink)
{
    const QString link = path(QStringLiteral("Linked.pdf"));
    ASSERT_TRUE(QFile::link(paper, link));
    model::SharedPDFViewModelTestPeer(&model).setPdfDocumentURL(QUrl::fromLocalFile(link));
    const QByteArray newBytes = test::pdfBytes(1);
    coordinator.replaceCurrentPDF(base64(newBytes));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readTestFile(paper), newBytes);
}


// A download cut off part-way opens only repaired: the reader is told so,
// and it is saved only when the reader still asks for it.
TEST_F(CoordinatorTest, ACutOffPdfIsSavedOnlyWhenTheReaderStillWantsIt)
{
    const QByteArray whole = test::pdfBytes(20, QStringLiteral("New"));
    QByteArray cut;
    for (double share : {0.95, 0.6, 0.2}) {
        cut = whole.left(qsizetype(whole.size() * share));
        if (const auto repaired = scholar::downloadedPDF(cut); repaired && !repaired->isIntact())
            break;
    }
    ASSERT_FALSE(scholar::downloadedPDF(cut)->isIntact());
    const QUrl page(QStringLiteral("https://example.org/cut.pdf"));
    prompts->savePath = path(QStringLiteral("cut.pdf"));
    coordinator.savePDF(base64(cut), page);
    ASSERT_EQ(prompts->incompleteSaves.size(), 1);
    EXPECT_TRUE(prompts->incompleteSaves.first().startsWith(QStringLiteral("PDF 不完整|下载的 PDF 不完整或已损坏（")))
        << prompts->incompleteSaves.first().toStdString();
    EXPECT_TRUE(prompts->suggestedNames.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(*prompts->savePath));

    prompts->saveIncomplete = true;
    coordinator.savePDF(base64(cut), page);
    EXPECT_EQ(test::readTestFile(*prompts->savePath), cut);
    // A whole one is not asked about.
    coordinator.savePDF(base64(whole), page);
    EXPECT_EQ(prompts->incompleteSaves.size(), 2);
    EXPECT_EQ(test::readTestFile(*prompts->savePath), whole);
}

// An address of any length is named in the confirmation by its beginning
// and its end.
TEST_F(CoordinatorTest, ALongSourceAddressIsShortenedInItsMiddle)
{
    prompts->confirmAnswer = false;
    const QString address = QStringLiteral("https://example.org/") + QString(100000, QLatin1Char('a')) + QStringLiteral("/end.pdf");
    coordinator.replaceCurrentPDF(base64(test::pdfBytes(1)), QUrl(address));
    ASSERT_EQ(prompts->confirmations.size(), 1);
    const QString text = prompts->confirmations.first();
    EXPECT_LT(text.size(), 400);
    EXPECT_TRUE(text.contains(QStringLiteral("“https://example.org/aaa")));
    EXPECT_TRUE(text.contains(QStringLiteral("a…a")));
    EXPECT_TRUE(text.contains(QStringLiteral("a/end.pdf”的 PDF"))) << text.toStdString();
}
