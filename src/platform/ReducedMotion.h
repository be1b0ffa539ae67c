#pragma once

namespace folvan::platform {

// Whether the desktop asks programs to reduce motion: GNOME's
// org.gnome.desktop.interface enable-animations set to false. Read once;
// false where the desktop offers no such setting.
bool systemReducesMotion();

} // namespace folvan::platform
