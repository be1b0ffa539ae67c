// Folvan's entry: the application, its reading window and settings window,
// and the hand-over of files to an instance that is already running.
#include <QApplication>
#include <QMessageBox>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

#include "app/QtTranslations.h"
#include "app/QuitGuard.h"
#include "app/ReaderWindow.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/UrlSchemes.h"
#include "app/WebEngineMemory.h"
#include "app/WebEngineSandbox.h"
#include "localweb/WebViewComposition.h"
#include "notes/PaperNotesStore.h"
#include "platform/NotificationCenter.h"
#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/StoredFiles.h"
#include "platform/UnsavedChanges.h"
#include "reflow/ReflowOverridesStore.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // The notes library, which knows every paper ever opened, is read while
    // the application and its window are made.
    folvan::notes::PaperNotesStore::readAhead();
    // Custom URL schemes and the engine's switches must be set before the
    // application object exists.
    folvan::app::registerUrlSchemes();
    folvan::app::turnOffWebEngineSandboxForRoot(folvan::app::runningAsRoot());
    folvan::app::askWebEngineToKeepLittleMemory();
    folvan::app::askWebEngineToHandBackFreedMemory();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    QApplication::setDesktopFileName(QStringLiteral("folvan"));
    folvan::app::installQtChineseTranslations(app);
    folvan::localweb::chooseWebViewComposition();
    // Always the light scheme, whatever the desktop's appearance.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }

    // The command line, read once: the paper of "--pdf" and the other files
    // named become open requests of the first window.
    const QStringList arguments = QApplication::arguments();
    const std::optional<QString> commandLinePaper = folvan::app::SingleInstance::pdfArgument(arguments);
    const QStringList paths = folvan::app::SingleInstance::pathsFromArguments(arguments);
    folvan::app::SingleInstance instance;
    switch (instance.claim(folvan::app::SingleInstance::forwardedPaths(arguments))) {
    case folvan::app::SingleInstance::Role::Forwarded:
        return 0;
    case folvan::app::SingleInstance::Role::Failed:
        // Two instances would write over each other's stored files.
        std::fputs("Folvan is already running but does not answer.\n", stderr);
        return 1;
    case folvan::app::SingleInstance::Role::Running:
        break;
    }
    // One reader writes a data folder: a reader started with another
    // runtime folder (another login, a container) could not hand its files
    // over above, and runs read-only while the one that holds the folder
    // runs, taking it over once that one quits.
    folvan::platform::DataFolderAccess &access = folvan::platform::DataFolderAccess::shared();
    QTimer takeOver;
    if (access.claim(folvan::platform::folvanDataFolder()) == folvan::platform::DataFolderAccess::Claim::HeldElsewhere) {
        QObject::connect(&takeOver, &QTimer::timeout, &access, [&access, &takeOver] {
            if (!access.readOnly() || access.retry())
                takeOver.stop();
        });
        takeOver.start(2000);
    } else {
        // No other reader writes now: what a killed write left is removed.
        folvan::platform::removeLeftoverTemporaryFilesOfTheStores();
    }

    // Records of one paper joined in the notes library: the reflow
    // corrections named after a dropped record go to the kept one's. Watched
    // before the library is first read, which may join records itself.
    folvan::platform::NotificationCenter::shared().observe<folvan::notes::PaperRecordsJoined>(
        &app, [](const folvan::notes::PaperRecordsJoined &joined) {
            for (const auto &[dropped, kept] : joined.keptFor.asKeyValueRange())
                folvan::reflow::ReflowOverridesStore::joinPapers(dropped, kept);
        });
    folvan::app::ReaderWindows windows;
    QObject::connect(&instance, &folvan::app::SingleInstance::pathsReceived, &windows,
                     [&windows](const QStringList &received) { windows.openExternalPaths(received); });
    windows.open(paths, commandLinePaper);
    // A preferences file that could not be read is said at start, and so
    // is one that stopped reading while the program runs.
    const auto tellPreferencesProblem = [](const QString &problem) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("无法读取偏好设置"), problem);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
    folvan::platform::Preferences &preferences = folvan::platform::Preferences::shared();
    if (!preferences.loadProblem().isEmpty())
        tellPreferencesProblem(preferences.loadProblem());
    QObject::connect(&preferences, &folvan::platform::Preferences::fileSetAside, &app, tellPreferencesProblem);
    // A termination request ends the program as Quit does.
    folvan::app::TerminationSignals termination;
    bool endedBySignal = false;
    QObject::connect(
        &termination, &folvan::app::TerminationSignals::quitRequested, &app,
        [&endedBySignal] {
            endedBySignal = true;
            folvan::app::quitWithoutQuestion();
            folvan::platform::confirmOpenForms();
            QApplication::closeAllWindows();
        },
        Qt::QueuedConnection);
    const int status = app.exec();
    // The stores wrote what they could as the program quit; what is still
    // unwritten, and was not named when the reader chose to quit, is named
    // now, not dropped in silence.
    const QStringList unsaved = folvan::platform::unsavedDescriptions(true);
    if (!unsaved.isEmpty()) {
        const QString text = QStringLiteral("以下更改无法写入磁盘，没有保存：\n") + unsaved.join(QLatin1Char('\n'));
        if (endedBySignal) {
            std::fputs(text.toLocal8Bit().constData(), stderr);
            std::fputc('\n', stderr);
        } else {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("部分更改未能保存"), text);
            box.exec();
        }
    }
    return status;
}
