#pragma once

// The cleaning that turns a typed title into a file name: characters that
// file systems or file managers handle badly are removed or replaced, and
// seven stored rules switch further steps (colon replacement, bracketed
// passages, leading numbers, runs of spaces, capitalisation, small words).

#include <QString>

namespace folvan::platform {
class Preferences;
}

namespace folvan::pane {

class RenameRules {
public:
    RenameRules() = delete;

    // The cleaned name (without an added extension). The rules are read
    // from `defaults` as each step needs them; an unset rule counts as its
    // default.
    static QString clean(const QString &typed, const platform::Preferences &defaults);

    // The words that stay in lower case inside a title, each with one space
    // on either side.
    static const QStringList &smallWords();

    // Upper case for the first letter of each word, lower case for the
    // others; words are separated by white space.
    static QString capitalized(const QString &text);
};

} // namespace folvan::pane
