#include "window/PaneFont.h"

#include "dock/ReaderFont.h"

namespace folvan::window {

QFont paneFont(PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    return platform::interfaceFont(role, weight, tabularDigits);
}

void usePaneFont(QWidget *widget, PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    dock::useReaderFont(widget, role, weight, tabularDigits);
}

} // namespace folvan::window
