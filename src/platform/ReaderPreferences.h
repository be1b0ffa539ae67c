#pragma once

namespace folvan::platform {

// The three clamped interface preferences, read afresh from the shared
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
};

} // namespace folvan::platform
