#pragma once

namespace folvan::platform {

// The range of the reading zoom, in every reading view and in what is
// stored of it.
inline constexpr double kMinZoom = 0.5;
inline constexpr double kMaxZoom = 4.0;

// The interface preferences as they are used, read afresh from the shared
// preferences on every call: held to their ranges (a missing, non-numeric
// or non-finite stored value reads as the default, an out-of-range one is
// clamped, and nothing is written back). Their defaults and ranges are
// their rows in PreferenceKeys.h.
struct ReaderPreferences {
    ReaderPreferences() = delete;

    // "folvan.interfaceTextSize", in points.
    static double interfaceSize();
    // Its default and the smallest size it is held to.
    static double defaultInterfaceSize();
    static double smallestInterfaceSize();
    // "folvan.toolsHideDelay", in seconds.
    static double toolsHideDelay();
    // "folvan.referenceDelay", in seconds.
    static double referenceDelay();
    // "folvan.noteTextSize", in points: the settings slider's range, so that
    // a hand-edited size cannot swell the editor.
    static double noteTextSize();
};

} // namespace folvan::platform
