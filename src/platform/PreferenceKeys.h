#pragma once

#include <QLatin1String>
#include <QString>

// The stored preferences, one row each: X(name, stored key, kind, default,
// range). Code reads and writes a key through its name, never by typing it
// out; the store takes each key's kind, default and range from its row
// (Preferences::defaultsTable()).
//   kind     a PreferenceType: Bool, Double, String or Url;
//   default  of that kind (a number, true or false, a text, or for a String
//            key a value of an enum stored as text, ReadingModes.h), or
//            nullptr for none (a String key without one reads as the empty
//            text);
//   range    of a Double key, range(lowest, highest, step), a step of 0
//            meaning any value between: where it is read (ReaderPreferences)
//            and where the settings' sliders move; none for the rest.
// A book setting (BookSettings.h) gives both its default and its range.
#define FOLVAN_PREFERENCES(X)                                                                                          \
    /* The settings window's keys. */                                                                                  \
    X(interfaceTextSize, "folvan.interfaceTextSize", Double, 15.0, range(13, 20, 1))                                   \
    X(turnDuration, "folvan.turnDuration", Double, booksetting::turnDuration, booksetting::turnDuration)               \
    X(wheelMode, "folvan.wheelMode", String, WheelMode::Turn, none)                                                    \
    X(wheelReverse, "folvan.wheelReverse", Bool, false, none)                                                          \
    X(wheelSensitivity, "folvan.wheelSensitivity", Double, booksetting::wheelSensitivity,                              \
      booksetting::wheelSensitivity)                                                                                   \
    X(toolsHideDelay, "folvan.toolsHideDelay", Double, 10.0, range(3, 30, 1))                                          \
    X(referenceDelay, "folvan.referenceDelay", Double, 0.35, range(0.2, 1.5, 0.05))                                    \
    X(resumeLastDocument, "folvan.resumeLastDocument", Bool, true, none)                                               \
    X(defaultBookMode, "folvan.defaultBookMode", Bool, true, none)                                                     \
    X(pageLayout, "folvan.pageLayout", String, BookLayout::Spread, none)                                               \
    X(paperWarmth, "folvan.paperWarmth", Double, booksetting::warmth, booksetting::warmth)                             \
    X(paperGrain, "folvan.paperGrain", Double, booksetting::grain, booksetting::grain)                                 \
    X(reducedBookMotion, "folvan.reducedBookMotion", Bool, false, none)                                                \
    X(keepReaderToolsExpanded, "folvan.keepReaderToolsExpanded", Bool, false, none)                                    \
    X(referencePreviews, "folvan.referencePreviews", Bool, true, none)                                                 \
    X(ggViewWidth, "ggViewWidth", String, ScholarWidth::Compact, none)                                                 \
    X(pdfViewWidth, "pdfViewWidth", String, ReadingWidth::Auto, none)                                                  \
    X(noteTextSize, "folvan.noteTextSize", Double, 15.0, range(12, 24, 1))                                             \
    X(replacementForColon, "replacementForColon", String, "-", none)                                                   \
    X(capitalizeTitles, "capitalizeTitles", Bool, false, none)                                                         \
    X(capitalizeLowercaseTitles, "capitalizeLowercaseTitles", Bool, false, none)                                       \
    X(keepSmallWordsLowercase, "keepSmallWordsLowercase", Bool, false, none)                                           \
    X(removeBracketedText, "removeBracketedText", Bool, false, none)                                                   \
    X(collapseSpaces, "collapseSpaces", Bool, true, none)                                                              \
    X(removeLeadingNumbers, "removeLeadingNumbers", Bool, false, none)                                                 \
    X(backgroundImagePath, "backgroundImagePath", String, nullptr, none)                                               \
    /* The reader pane and the application. */                                                                         \
    X(hasSeenOnboarding, "hasSeenOnboarding", Bool, false, none)                                                       \
    X(textEditorsLayout, "textEditorsLayout", String, TextEditorsLayout::OneRow, none)                                 \
    X(scaleFactor, "scaleFactorKey", Double, 1.0, none)                                                                \
    X(rotationAngle, "rotationAngleKey", Double, booksetting::angle, booksetting::angle)                               \
    /* Folders last chosen in the open, move and save panels. */                                                       \
    X(lastAccessedDirectory, "lastAccessedDirectory", Url, nullptr, none)                                              \
    X(lastMovePanelURL, "lastMovePanelURL", Url, nullptr, none)                                                        \
    X(lastSavePanelURL, "lastSavePanelURL", Url, nullptr, none)

namespace folvan::platform::prefkey {

#define FOLVAN_PREFERENCE_KEY_CONSTANT(name, text, kind, fallback, range)                                              \
    inline constexpr QLatin1String name{text, sizeof(text) - 1};
FOLVAN_PREFERENCES(FOLVAN_PREFERENCE_KEY_CONSTANT)
#undef FOLVAN_PREFERENCE_KEY_CONSTANT

// Keys made of a prefix and a name.

// The page last shown of a file, under the prefix and the file's path; all
// such keys share one table entry.
inline constexpr QLatin1String lastPagePrefix{"lastPage_", 9};
inline QString lastPage(const QString &path)
{
    return QString(lastPagePrefix) + path;
}

// Every reflow typography key: the prefix and the value's name with its first
// letter raised ("fontSize" → "folvan.reflowFontSize"). Their defaults and
// ranges are the reflow page's (ReflowTypography).
inline constexpr QLatin1String reflowPrefix{"folvan.reflow", 13};

// The notes of each slot: text and label under the prefix, slot 0 bare and
// slot n with n appended ("SavedNotes", "SavedNotesLabel2").
inline constexpr QLatin1String savedNotesPrefix{"SavedNotes", 10};
inline constexpr QLatin1String savedNotesLabelPrefix{"SavedNotesLabel", 15};

} // namespace folvan::platform::prefkey
