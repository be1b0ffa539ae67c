// Folvan's entry: the application, its reading window and settings window,
// and the hand-over of files to an instance that is already running.
#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "app/QtTranslations.h"
#include "app/ReaderWindow.h"
#include "app/SingleInstance.h"
#include "app/UrlSchemes.h"
#include "window/PaneBookView.h"
#include "window/PanePresenter.h"
#include "window/ReadingArea.h"

int main(int argc, char **argv)
{
    // Custom URL schemes must be known before the application object exists.
    folvan::app::registerUrlSchemes();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    QApplication::setDesktopFileName(QStringLiteral("folvan"));
    folvan::app::installQtChineseTranslations(app);
    // Always the light scheme, whatever the desktop's appearance.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }

    const QStringList arguments = QApplication::arguments();
    folvan::app::SingleInstance instance;
    if (instance.forwardToRunningInstance(folvan::app::SingleInstance::forwardedPaths(arguments)))
        return 0;
    // Here the file of "--pdf" is opened by the pane's own start-up.
    const QStringList paths = folvan::app::SingleInstance::pathsFromArguments(arguments);
    instance.listen();

    folvan::window::installExportSavePanel();
    folvan::window::ReadingArea::setBookViewFactory(&folvan::window::makePaneBookView);
    folvan::app::ReaderWindows windows;
    QObject::connect(&instance, &folvan::app::SingleInstance::pathsReceived, &windows,
                     [&windows](const QStringList &received) { windows.openExternalPaths(received); });
    windows.open(std::nullopt, paths);
    return app.exec();
}
