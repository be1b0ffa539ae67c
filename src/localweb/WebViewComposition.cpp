#include "localweb/WebViewComposition.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace folvan::localweb {

namespace {

// The renderer of the context the web engine shares, or "" where there is
// none to ask.
QString sharedContextRenderer()
{
    QOpenGLContext *shared = QOpenGLContext::globalShareContext();
    if (!shared)
        return {};
    QOffscreenSurface surface;
    surface.setFormat(shared->format());
    surface.create();
    if (!surface.isValid() || !shared->makeCurrent(&surface))
        return {};
    const auto *name = reinterpret_cast<const char *>(shared->functions()->glGetString(GL_RENDERER));
    const QString renderer = QString::fromLatin1(name ? name : "");
    shared->doneCurrent();
    return renderer;
}

} // namespace

bool isSoftwareRenderer(const QString &renderer)
{
    // Mesa's rasterizers, and the ones Windows and macOS fall back to.
    for (const char *name : {"llvmpipe", "softpipe", "software", "swrast", "SWR", "GDI Generic"})
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    return false;
}

bool chooseWebViewComposition()
{
    if (!isSoftwareRenderer(sharedContextRenderer()))
        return false;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return true;
}

bool webViewsComposeWithOpenGL()
{
    // The scene graph backend, as the web engine itself reads it.
    if (QQuickWindow::sceneGraphBackend() == QLatin1String("software"))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))
        || platform == QLatin1String("cocoa") || platform == QLatin1String("windows");
}

} // namespace folvan::localweb
