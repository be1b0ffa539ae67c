#pragma once

// Text helpers of the notes library: string equality as the stored records
// compare their strings, and the case- and accent-blind matching of search.

#include <QString>
#include <QStringList>

#include <optional>

namespace folvan::notes {

// Equal up to Unicode canonical equivalence (a precomposed "é" equals "e"
// followed by a combining acute accent).
bool sameText(const QString &a, const QString &b);
bool sameText(const std::optional<QString> &a, const std::optional<QString> &b);

// The query's tokens: the pieces between white space (every character with
// the Unicode White_Space property, the ideographic space included), empty
// pieces dropped.
QStringList searchTokens(const QString &query);

// `text` in the form that search compares: canonical decomposition,
// combining marks removed, case folded. A token occurs in a text, ignoring
// case and accents, when its folded form is contained in the text's.
QString searchFolded(const QString &text);

} // namespace folvan::notes
