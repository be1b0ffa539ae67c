#pragma once

#include <QLatin1String>
#include <QString>

// The names of the stored preferences. Code reads and writes a key through
// these names, never by typing it out; each key listed here has its type and
// default in Preferences::defaultsTable().

// X(name, stored key) for every key of the defaults table.
#define FOLVAN_PREFERENCE_KEYS(X)                                                                                      \
    /* The settings window's keys. */                                                                                  \
    X(interfaceTextSize, "folvan.interfaceTextSize")                                                                   \
    X(turnDuration, "folvan.turnDuration")                                                                             \
    X(wheelMode, "folvan.wheelMode")                                                                                   \
    X(wheelReverse, "folvan.wheelReverse")                                                                             \
    X(wheelSensitivity, "folvan.wheelSensitivity")                                                                     \
    X(toolsHideDelay, "folvan.toolsHideDelay")                                                                         \
    X(referenceDelay, "folvan.referenceDelay")                                                                         \
    X(resumeLastDocument, "folvan.resumeLastDocument")                                                                 \
    X(defaultBookMode, "folvan.defaultBookMode")                                                                       \
    X(pageLayout, "folvan.pageLayout")                                                                                 \
    X(paperWarmth, "folvan.paperWarmth")                                                                               \
    X(paperGrain, "folvan.paperGrain")                                                                                 \
    X(reducedBookMotion, "folvan.reducedBookMotion")                                                                   \
    X(keepReaderToolsExpanded, "folvan.keepReaderToolsExpanded")                                                       \
    X(referencePreviews, "folvan.referencePreviews")                                                                   \
    X(ggViewWidth, "ggViewWidth")                                                                                      \
    X(pdfViewWidth, "pdfViewWidth")                                                                                    \
    X(noteTextSize, "folvan.noteTextSize")                                                                             \
    X(replacementForColon, "replacementForColon")                                                                      \
    X(capitalizeTitles, "capitalizeTitles")                                                                            \
    X(capitalizeLowercaseTitles, "capitalizeLowercaseTitles")                                                          \
    X(keepSmallWordsLowercase, "keepSmallWordsLowercase")                                                              \
    X(removeBracketedText, "removeBracketedText")                                                                      \
    X(collapseSpaces, "collapseSpaces")                                                                                \
    X(removeLeadingNumbers, "removeLeadingNumbers")                                                                    \
    X(backgroundImagePath, "backgroundImagePath")                                                                      \
    /* The reader pane and the application. */                                                                         \
    X(hasSeenOnboarding, "hasSeenOnboarding")                                                                          \
    X(textEditorsLayout, "textEditorsLayout")                                                                          \
    X(scaleFactor, "scaleFactorKey")                                                                                   \
    X(rotationAngle, "rotationAngleKey")                                                                               \
    /* Folders last chosen in the open, move and save panels. */                                                       \
    X(lastAccessedDirectory, "lastAccessedDirectory")                                                                  \
    X(lastMovePanelURL, "lastMovePanelURL")                                                                            \
    X(lastSavePanelURL, "lastSavePanelURL")

namespace folvan::platform::prefkey {

#define FOLVAN_PREFERENCE_KEY_CONSTANT(name, text) inline constexpr QLatin1String name{text, sizeof(text) - 1};
FOLVAN_PREFERENCE_KEYS(FOLVAN_PREFERENCE_KEY_CONSTANT)
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
