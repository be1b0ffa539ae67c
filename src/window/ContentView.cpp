#include "window/ContentView.h"

#include "annotationsview/ReferencePreviewController.h"
#include "history/ReadingHistory.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "pdfview/PDFViewWrapper.h"
#include "platform/FileIdentity.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "window/PaneNotifications.h"

#include <QGuiApplication>
#include <QVBoxLayout>

namespace folvan::window {

const QString ContentView::kEmptyTitle = QStringLiteral("打开一篇论文，开始阅读");
const QString ContentView::kAlertTitle = QStringLiteral("操作失败");
const QString ContentView::kAlertButton = QStringLiteral("确定");
const QString ContentView::kUnreadablePDF = QStringLiteral("无法打开此 PDF，文件可能已损坏或无法访问。");
const QString ContentView::kPasswordProtectedPDF = QStringLiteral("无法打开此 PDF：文件受密码保护。");
const QString ContentView::kNoReadablePDFInFolder = QStringLiteral("此文件夹没有可读取的 PDF。");
const QString ContentView::kRotationAngleKey = QStringLiteral("rotationAngleKey");
const QString ContentView::kScaleFactorKey = QStringLiteral("scaleFactorKey");

namespace {

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

} // namespace

ContentView::ContentView(ReaderPane pane, PaneServices services, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_services(std::move(services))
    , m_viewModel(new SharedPDFViewModel(static_cast<const PaneModelServices &>(m_services), this))
    , m_annotations(&annotations::PaneAnnotations::attach(*m_viewModel))
    , m_searchWork(new platform::MainWorkItem(this))
    , m_presenter(makeDefaultPresenter())
    , m_fileChooser(makeDefaultFileChooser())
    , m_body(new QVBoxLayout(this))
{
    m_body->setContentsMargins(0, 0, 0, 0);
    setAcceptDrops(true);
    setMinimumSize(420, 300);
    m_lastDocumentState = documentState();
    connectHandlers();
    buildPaneLayout();
}

ContentView::~ContentView()
{
    teardown();
}

ReadingHistory &ContentView::history() const
{
    return ReadingHistory::shared();
}

PaperNotesStore &ContentView::paperNotes() const
{
    return PaperNotesStore::shared();
}

// ---- Stored preferences ------------------------------------------------------

bool ContentView::resumeLast() const
{
    return defaults().boolValue(QStringLiteral("folvan.resumeLastDocument"));
}

bool ContentView::defaultBook() const
{
    return defaults().boolValue(QStringLiteral("folvan.defaultBookMode"));
}

QString ContentView::ggViewWidth() const
{
    return defaults().stringValue(QStringLiteral("ggViewWidth"), QStringLiteral("Compact"));
}

QString ContentView::textEditorsLayout() const
{
    return defaults().stringValue(QStringLiteral("textEditorsLayout"), QStringLiteral("One Row"));
}

QString ContentView::pdfViewWidth() const
{
    return defaults().stringValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Auto"));
}

QString ContentView::backgroundImagePath() const
{
    return defaults().stringValue(QStringLiteral("backgroundImagePath"));
}

bool ContentView::hasSeenOnboarding() const
{
    return defaults().boolValue(QStringLiteral("hasSeenOnboarding"));
}

void ContentView::setHasSeenOnboarding(bool value)
{
    defaults().setValue(QStringLiteral("hasSeenOnboarding"), value);
}

void ContentView::setBackgroundImage(const QImage &value)
{
    if (m_backgroundImage == value && m_backgroundImage.isNull() == value.isNull())
        return;
    m_backgroundImage = value;
    emit backgroundImageChanged();
}

// ---- Presentation ------------------------------------------------------------

void ContentView::setPresenter(std::unique_ptr<PanePresenter> presenter)
{
    m_presenter = presenter ? std::move(presenter) : makeDefaultPresenter();
}

void ContentView::setFileChooser(std::unique_ptr<PaneFileChooser> chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : makeDefaultFileChooser();
}

void ContentView::showAlertMessage(const QString &message)
{
    setAlertMessage(message);
    setShowingAlert(true);
}

// The alert is put on screen in a later turn, so that the operation that
// raised it has finished before a modal dialog runs.
void ContentView::scheduleAlertPresentation()
{
    platform::runOnMain(this, [this] {
        if (!m_showingAlert)
            return;
        m_presenter->showAlert(this, kAlertTitle, m_alertMessage, kAlertButton);
        setShowingAlert(false);
    });
}

void ContentView::scheduleTrashConfirmation()
{
    platform::runOnMain(this, [this] {
        if (!m_showDeleteConfirmation)
            return;
        const bool confirmed = m_presenter->confirm(
            this, QStringLiteral("移到废纸篓？"), QStringLiteral("将“") + m_fileName + QStringLiteral("”移到废纸篓？"),
            QStringLiteral("移到废纸篓"), QStringLiteral("取消"));
        setShowDeleteConfirmation(false);
        if (confirmed)
            deleteCurrentPDF();
    });
}

void ContentView::confirmTrash()
{
    setShowDeleteConfirmation(true);
}

// ---- Handlers ----------------------------------------------------------------

void ContentView::connectHandlers()
{
    SharedPDFViewModel *model = m_viewModel;

    // Any change of the reading state is written to the history.
    for (auto signal : {&SharedPDFViewModel::currentPageIndexChanged, &SharedPDFViewModel::reflowBlockChanged,
                        &SharedPDFViewModel::reflowOffsetChanged})
        connect(model, signal, this, &ContentView::scheduleDocumentStateCheck);
    for (auto signal : {&ContentView::scaleFactorChanged, &ContentView::rotationAngleChanged,
                        &ContentView::flipBookModeChanged, &ContentView::pageLayoutChanged,
                        &ContentView::reflowModeChanged})
        connect(this, signal, this, &ContentView::scheduleDocumentStateCheck);

    connect(this, &ContentView::isActiveChanged, this, [this] {
        if (m_isActive)
            saveReading(false);
    });
    connect(this, &ContentView::rotationAngleChanged, this, &ContentView::handleRotationAngleChange);
    connect(&defaults(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == QLatin1String("backgroundImagePath"))
            handleBackgroundImagePathChange();
    });
    connect(this, &ContentView::openRequestChanged, this, &ContentView::openRequestDidChange);
    connect(this, &ContentView::showOnboardingChanged, this, [this] {
        if (!m_showOnboarding)
            setHasSeenOnboarding(true);
    });
    connect(model, &SharedPDFViewModel::searchTextChanged, this, &ContentView::searchTextDidChange);
    // The stored markups read after the paper opened: what went wrong is
    // said as it is for the rest of the paper's stored markings.
    connect(m_annotations, &annotations::PaneAnnotations::markupsLoaded, this, [this] {
        if (const std::optional<QString> problem = m_annotations->markupError())
            showAlertMessage(*problem);
    });
    connect(this, &ContentView::showingAlertChanged, this, [this] {
        if (m_showingAlert)
            scheduleAlertPresentation();
    });
    connect(this, &ContentView::showDeleteConfirmationChanged, this, [this] {
        if (m_showDeleteConfirmation)
            scheduleTrashConfirmation();
    });

    platform::NotificationCenter &center = platform::NotificationCenter::shared();
    center.observe(kDocumentRelocatedNotification, this,
                   [this](const QString &, const QVariantMap &info) { handleRelocation(info); });
    center.observe(kDocumentTrashedNotification, this,
                   [this](const QString &, const QVariantMap &info) { handleTrash(info); });

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                saveAndFlush();
        });
        connect(app, &QCoreApplication::aboutToQuit, this, &ContentView::saveAndFlush);
    }

    // The body: the page view while a paper is open.
    connect(model, &SharedPDFViewModel::pdfDocumentChanged, this, &ContentView::rebuildPageView);
    connect(model, &SharedPDFViewModel::forceUpdateToggleChanged, this, &ContentView::rebuildPageView);
    // The page view is taken away while the reflow view stands in its place.
    connect(this, &ContentView::reflowModeChanged, this, &ContentView::rebuildPageView);
    // ... and while the book view stands there.
    connect(this, &ContentView::flipBookModeChanged, this, &ContentView::rebuildPageView);
    connect(this, &ContentView::scaleFactorChanged, this, [this] {
        if (m_pageView)
            m_pageView->scheduleUpdate();
    });
}

// The reading state is compared once the current change has run its course,
// so that a paper that is being installed field by field is saved whole.
void ContentView::scheduleDocumentStateCheck()
{
    if (m_documentStateCheckScheduled)
        return;
    m_documentStateCheckScheduled = true;
    platform::runOnMain(this, [this] { checkDocumentState(); });
}

void ContentView::checkDocumentState()
{
    m_documentStateCheckScheduled = false;
    const DocumentReadingState state = documentState();
    if (state == m_lastDocumentState)
        return;
    m_lastDocumentState = state;
    saveReading(false);
}

void ContentView::handleRotationAngleChange()
{
    defaults().setValue(kRotationAngleKey, m_rotationAngle);
}

void ContentView::handleBackgroundImagePathChange()
{
    const QString path = backgroundImagePath();
    if (path.isEmpty()) {
        setBackgroundImage(QImage());
        return;
    }
    QImage image(path);
    if (!image.isNull())
        setBackgroundImage(image);
}

void ContentView::loadBackgroundImage()
{
    const QString path = backgroundImagePath();
    if (path.isEmpty())
        return;
    QImage image(path);
    if (!image.isNull())
        setBackgroundImage(image);
}

// The pane may be going as part of its window, whose other views follow the
// shared history: a change written now would make them rebuild inside a
// half-destroyed widget tree. So the last reading state reaches the history
// in its next turn, when whatever is being destroyed is gone.
void ContentView::teardown()
{
    if (m_tornDown)
        return;
    m_tornDown = true;
    m_openGeneration = QUuid::createUuid();
    cancelSearchWork();
    // The stores are written in the next turn, not here: a write that fails
    // reports its error to views, and none may be rebuilt while this pane,
    // and maybe its window, is being destroyed. At quit the stores were
    // written before the windows went.
    ReadingHistory *records = &history();
    PaperNotesStore *notes = &paperNotes();
    const QString path = m_viewModel->pdfDocumentURL().toLocalFile();
    QMetaObject::invokeMethod(
        records,
        [records, notes, path, state = readingToSave(true)] {
            if (state)
                records->update(path, *state);
            records->flush();
            notes->flush();
        },
        Qt::QueuedConnection);
}

// ---- Body ----------------------------------------------------------------------

// The page view is made anew for every paper and every forced refresh, in
// one later turn for several requests.
void ContentView::rebuildPageView()
{
    if (m_pageViewRebuildScheduled)
        return;
    m_pageViewRebuildScheduled = true;
    platform::runOnMain(this, [this] {
        m_pageViewRebuildScheduled = false;
        if (m_pageView) {
            m_body->removeWidget(m_pageView);
            delete m_pageView.data();
        }
        const auto document = m_viewModel->pdfDocument();
        if (!document || m_reflowMode || m_flipBookMode)
            return;
        pdfview::PDFViewWrapper::ScaleBinding scale{[this] { return m_scaleFactor; },
                                                     [this](double value) { setScaleFactor(value); }};
        m_pageView = new pdfview::PDFViewWrapper(document, scale, m_viewModel,
                                                 [this](const QUrl &url) { loadPDF(url); }, this);
        m_pageView->pdfView()->setReferencePreview(std::make_unique<annotationsview::ReferencePreviewController>());
        m_body->addWidget(m_pageView);
    });
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setWindowWidth(width());
}

} // namespace folvan::window
