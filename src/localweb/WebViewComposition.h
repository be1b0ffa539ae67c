#pragma once

// How the web views put their pages into the reader's window. A web view
// composes its window through OpenGL, and the window's first frame after
// that turn waits for the OpenGL driver to start; where OpenGL itself is
// drawn in software (no graphics driver, a virtual screen), that start
// compiles every shader on the main thread and the reader waits for it
// with no gain. There the web views compose their pages in software, as
// the web engine then also draws them, and the window never turns to
// OpenGL.

#include <QString>

namespace folvan::localweb {

// Whether an OpenGL renderer's name is that of a software rasterizer.
bool isSoftwareRenderer(const QString &renderer);

// Chooses software composing for the web views where the OpenGL renderer
// is a software rasterizer. Runs once the application object exists and
// before the first web view; returns whether software was chosen.
bool chooseWebViewComposition();

// Whether a web view turns its window to OpenGL composing: on the desktop
// platforms, unless the web views compose in software.
bool webViewsComposeWithOpenGL();

} // namespace folvan::localweb
