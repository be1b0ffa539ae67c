#pragma once

namespace folvan::platform {

// The range of the reading zoom, in every reading view and in what is
// stored of it.
inline constexpr double kMinZoom = 0.5;
inline constexpr double kMaxZoom = 4.0;

// The clamped interface preferences, read afresh from the shared
// preferences on every call. A missing, non-numeric or non-finite stored
// value reads as the default; an out-of-range one is clamped (nothing is
// written back).
struct ReaderPreferences {
    ReaderPreferences() = delete;

    // "folvan.interfaceTextSize": points, default 15, 13 ... 20.
    static double interfaceSize();
    // "folvan.toolsHideDelay": seconds, default 10, 3 ... 30.
    static double toolsHideDelay();
    // "folvan.referenceDelay": seconds, default 0.35, 0.2 ... 1.5.
    static double referenceDelay();
    // "folvan.noteTextSize": points, default 15, 12 ... 24 (the settings
    // slider's range), so that a hand-edited size cannot swell the editor.
    static double noteTextSize();
};

} // namespace folvan::platform
