#include "pane/PaneController.h"

#include "annotations/PaneAnnotations.h"
#include "history/ReadingHistory.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/FileIdentity.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "pane/PaneNotifications.h"

#include <QGuiApplication>

namespace folvan::pane {

const QString PaneController::kEmptyTitle = QStringLiteral("打开一篇论文，开始阅读");
const QString PaneController::kAlertTitle = QStringLiteral("操作失败");
const QString PaneController::kAlertButton = QStringLiteral("确定");
const QString PaneController::kUnreadablePDF = QStringLiteral("无法打开此 PDF，文件可能已损坏或无法访问。");
const QString PaneController::kPasswordProtectedPDF = QStringLiteral("无法打开此 PDF：文件受密码保护。");
const QString PaneController::kNoReadablePDFInFolder = QStringLiteral("此文件夹没有可读取的 PDF。");

namespace {

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

} // namespace

PaneController::PaneController(ReaderPane pane, model::PaneModelServices services, QObject *parent)
    : QObject(parent)
    , m_pane(pane)
    , m_services(std::move(services))
    , m_viewModel(new model::SharedPDFViewModel(m_services, this))
    , m_annotations(&annotations::PaneAnnotations::attach(*m_viewModel))
    , m_searchWork(new platform::MainWorkItem(this))
{
    m_lastDocumentState = documentState();
    connectHandlers();
    connectCommandSurface();
}

PaneController::~PaneController()
{
    teardown();
}

history::ReadingHistory &PaneController::history() const
{
    return history::ReadingHistory::shared();
}

notes::PaperNotesStore &PaneController::paperNotes() const
{
    return notes::PaperNotesStore::shared();
}

// ---- Stored preferences ------------------------------------------------------

bool PaneController::resumeLast() const
{
    return defaults().boolValue(platform::prefkey::resumeLastDocument);
}

bool PaneController::defaultBook() const
{
    return defaults().boolValue(platform::prefkey::defaultBookMode);
}

platform::ScholarWidth PaneController::ggViewWidth() const
{
    return defaults().enumValue<platform::ScholarWidth>(platform::prefkey::ggViewWidth);
}

platform::ReadingWidth PaneController::pdfViewWidth() const
{
    return defaults().enumValue<platform::ReadingWidth>(platform::prefkey::pdfViewWidth);
}

QString PaneController::backgroundImagePath() const
{
    return defaults().stringValue(platform::prefkey::backgroundImagePath);
}

bool PaneController::hasSeenOnboarding() const
{
    return defaults().boolValue(platform::prefkey::hasSeenOnboarding);
}

void PaneController::setHasSeenOnboarding(bool value)
{
    defaults().setValue(platform::prefkey::hasSeenOnboarding, value);
}

void PaneController::setBackgroundImage(const QImage &value)
{
    if (m_backgroundImage == value && m_backgroundImage.isNull() == value.isNull())
        return;
    m_backgroundImage = value;
    emit backgroundImageChanged();
}

// ---- Presentation ------------------------------------------------------------

void PaneController::setPresenter(std::unique_ptr<PanePresenter> presenter)
{
    m_presenter = std::move(presenter);
}

void PaneController::setFileChooser(std::unique_ptr<PaneFileChooser> chooser)
{
    m_fileChooser = std::move(chooser);
}

void PaneController::showAlertMessage(const QString &message)
{
    setAlertMessage(message);
    setShowingAlert(true);
}

// The alert is put on screen in a later turn, so that the operation that
// raised it has finished before a modal dialog runs.
void PaneController::scheduleAlertPresentation()
{
    platform::runOnMain(this, [this] {
        if (!m_showingAlert)
            return;
        if (m_presenter)
            m_presenter->showAlert(kAlertTitle, m_alertMessage, kAlertButton);
        setShowingAlert(false);
    });
}

void PaneController::scheduleTrashConfirmation()
{
    platform::runOnMain(this, [this] {
        if (!m_showDeleteConfirmation)
            return;
        const bool confirmed = m_presenter && m_presenter->confirm(
            QStringLiteral("移到废纸篓？"), QStringLiteral("将“") + m_fileName + QStringLiteral("”移到废纸篓？"),
            QStringLiteral("移到废纸篓"), QStringLiteral("取消"));
        setShowDeleteConfirmation(false);
        if (confirmed)
            deleteCurrentPDF();
    });
}

void PaneController::confirmTrash()
{
    setShowDeleteConfirmation(true);
}

// ---- Handlers ----------------------------------------------------------------

void PaneController::connectHandlers()
{
    model::SharedPDFViewModel *model = m_viewModel;

    // Any change of the reading state is written to the history.
    for (auto signal : {&model::SharedPDFViewModel::currentPageIndexChanged, &model::SharedPDFViewModel::reflowBlockChanged,
                        &model::SharedPDFViewModel::reflowOffsetChanged})
        connect(model, signal, this, &PaneController::scheduleDocumentStateCheck);
    for (auto signal : {&PaneController::scaleFactorChanged, &PaneController::rotationAngleChanged,
                        &PaneController::flipBookModeChanged, &PaneController::pageLayoutChanged,
                        &PaneController::reflowModeChanged})
        connect(this, signal, this, &PaneController::scheduleDocumentStateCheck);

    connect(this, &PaneController::isActiveChanged, this, [this] {
        if (m_isActive)
            saveReading(false);
    });
    connect(this, &PaneController::rotationAngleChanged, this, &PaneController::handleRotationAngleChange);
    connect(&defaults(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::backgroundImagePath)
            handleBackgroundImagePathChange();
    });
    connect(this, &PaneController::openRequestChanged, this, &PaneController::openRequestDidChange);
    connect(this, &PaneController::showOnboardingChanged, this, [this] {
        if (!m_showOnboarding)
            setHasSeenOnboarding(true);
    });
    connect(model, &model::SharedPDFViewModel::searchTextChanged, this, &PaneController::searchTextDidChange);
    connect(model, &model::SharedPDFViewModel::unsavedSideFilesAboutToBeWritten, this,
            &PaneController::followPaperMovedByAnotherReader);
    // Looked at once the change is complete: an open in this very pane
    // settles the records before it shows its paper.
    connect(&paperNotes(), &notes::PaperNotesStore::papersChanged, this,
            [this] { platform::runOnMain(this, [this] { followPaperRecord(); }); });
    // The paper written over by the reader is still the paper, under the
    // identity of its new file.
    connect(model, &model::SharedPDFViewModel::documentFileWasReplaced, this, [this] {
        if (const model::PdfDocumentPtr document = m_viewModel->pdfDocument()) {
            m_firstIdentifier = document->firstIdentifier();
            if (!m_heldPaper)
                paperAccount().replaced(m_viewModel->pdfDocumentURL().toLocalFile(), m_firstIdentifier);
        }
    });
    // The stored markups read after the paper opened: what went wrong is
    // said as it is for the rest of the paper's stored markings.
    connect(m_annotations, &annotations::PaneAnnotations::markupsLoaded, this, [this] {
        if (const std::optional<QString> problem = m_annotations->markupError())
            showAlertMessage(*problem);
    });
    connect(this, &PaneController::showingAlertChanged, this, [this] {
        if (m_showingAlert)
            scheduleAlertPresentation();
    });
    connect(this, &PaneController::showDeleteConfirmationChanged, this, [this] {
        if (m_showDeleteConfirmation)
            scheduleTrashConfirmation();
    });

    platform::NotificationCenter &center = platform::NotificationCenter::shared();
    center.observe<DocumentRelocated>(this, [this](const DocumentRelocated &moved) { handleRelocation(moved); });
    center.observe<DocumentTrashed>(this, [this](const DocumentTrashed &trashed) { handleTrash(trashed); });
    // The paper's record was joined into another record of its file: new
    // notes and the notes panel follow the record that stays.
    center.observe<notes::PaperRecordsJoined>(this, [this](const notes::PaperRecordsJoined &joined) {
        if (m_currentPaperID && joined.keptFor.contains(*m_currentPaperID))
            setCurrentPaperID(joined.keptFor.value(*m_currentPaperID));
    });

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                saveAndFlush();
        });
        connect(app, &QCoreApplication::aboutToQuit, this, &PaneController::saveAndFlush);
    }

}

// The reading state is compared once the current change has run its course,
// so that a paper that is being installed field by field is saved whole.
void PaneController::scheduleDocumentStateCheck()
{
    if (m_documentStateCheckScheduled)
        return;
    m_documentStateCheckScheduled = true;
    platform::runOnMain(this, [this] { checkDocumentState(); });
}

void PaneController::checkDocumentState()
{
    m_documentStateCheckScheduled = false;
    const history::DocumentReadingState state = documentState();
    if (state == m_lastDocumentState)
        return;
    m_lastDocumentState = state;
    saveReading(false);
}

void PaneController::handleRotationAngleChange()
{
    defaults().setValue(platform::prefkey::rotationAngle, m_rotationAngle);
}

void PaneController::handleBackgroundImagePathChange()
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

void PaneController::loadBackgroundImage()
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
void PaneController::teardown()
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
    history::ReadingHistory *records = &history();
    notes::PaperNotesStore *notes = &paperNotes();
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

} // namespace folvan::pane
