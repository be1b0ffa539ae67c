// Folvan's entry: the application object and the reader window.
#include <QApplication>
#include <QMainWindow>

#include "app/UrlSchemes.h"
#include "window/ContentView.h"

int main(int argc, char **argv)
{
    // Custom URL schemes must be known before the application object exists.
    folvan::app::registerUrlSchemes();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Folvan"));
    window.resize(1280, 860);
    // The primary reading pane; it opens its paper when first shown.
    window.setCentralWidget(new folvan::window::ContentView(folvan::window::ReaderPane::primary));
    window.show();
    return app.exec();
}
