#pragma once

#include <QFont>

namespace folvan::platform {

// Gives `font` digits of one width, so that changing numbers keep their
// place. Qt has no switch for tabular figures; the usual interface faces
// draw their digits at one width already. When the font's face does not, a
// face that does (and whose letters are proportional) stands in; when none
// is installed, the font is left as it is.
void useTabularDigits(QFont &font);

} // namespace folvan::platform
