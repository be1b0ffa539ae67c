#include "pane/RenameRules.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

#include <QRegularExpression>
#include <QStringList>

#include <utility>

namespace folvan::pane {

namespace {

// Quotation marks a pasted title often carries at its ends.
const QString kTrimSet = QStringLiteral("\u201C\"");

using Replacement = std::pair<QString, QString>;

// The character replacement table, applied row by row; `colon` replaces
// both colons.
QList<Replacement> replacementTable(const QString &colon)
{
    return {
        {QStringLiteral(":"), colon},
        {QStringLiteral("/"), QStringLiteral("-")},
        {QStringLiteral("\\"), QStringLiteral("-")},
        {QStringLiteral("|"), QStringLiteral("-")},
        {QStringLiteral("!"), QString()},
        {QStringLiteral("?"), QStringLiteral("-")},
        {QStringLiteral("*"), QString()},
        {QStringLiteral("\u2217"), QString()},
        {QString::fromUtf8("\xF0\x9F\x93\x84"), QString()}, // page symbol
        {QStringLiteral("\uFF1F"), QStringLiteral("-")},
        {QStringLiteral("\uFF1A"), colon},
        {QStringLiteral("\u2020"), QString()},
        {QStringLiteral("$"), QString()},
        {QStringLiteral("\u2606"), QString()},
        {QStringLiteral("\u2729"), QString()},
        {QString::fromUtf8("\xF0\x9F\x8C\x9F"), QString()}, // glowing star
        {QStringLiteral(">"), QString()},
        {QStringLiteral("<"), QString()},
    };
}

template <typename Predicate>
QString trimmedWhere(const QString &text, Predicate trims)
{
    const QList<uint> points = text.toUcs4();
    qsizetype first = 0;
    qsizetype last = points.size();
    while (first < last && trims(points[first]))
        ++first;
    while (last > first && trims(points[last - 1]))
        --last;
    const QList<uint> kept = points.mid(first, last - first);
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

bool isWhiteSpaceOrNewline(uint c)
{
    return QChar::isSpace(c) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

QString trimWhiteSpaceAndNewlines(const QString &text)
{
    return trimmedWhere(text, isWhiteSpaceOrNewline);
}

QString withoutControlCharacters(const QString &text)
{
    QList<uint> kept;
    for (uint c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category != QChar::Other_Control && category != QChar::Other_Format)
            kept.append(c);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

QRegularExpression unicodeExpression(const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

const QStringList &RenameRules::smallWords()
{
    static const QStringList words = {
        QStringLiteral(" For "),    QStringLiteral(" The "),    QStringLiteral(" And "),
        QStringLiteral(" With "),   QStringLiteral(" At "),     QStringLiteral(" By "),
        QStringLiteral(" An "),     QStringLiteral(" In "),     QStringLiteral(" On "),
        QStringLiteral(" To "),     QStringLiteral(" Of "),     QStringLiteral(" As "),
        QStringLiteral(" Toward "), QStringLiteral(" From "),   QStringLiteral(" Under "),
        QStringLiteral(" During "), QStringLiteral(" Among "),  QStringLiteral(" Across "),
        QStringLiteral(" Between "), QStringLiteral(" But "),   QStringLiteral(" After "),
        QStringLiteral(" Before "), QStringLiteral(" Without "), QStringLiteral(" Or "),
        QStringLiteral(" While "),
    };
    return words;
}

QString RenameRules::capitalized(const QString &text)
{
    QList<uint> points = text.toUcs4();
    bool wordStart = true;
    for (uint &c : points) {
        if (QChar::isSpace(c)) {
            wordStart = true;
            continue;
        }
        c = wordStart ? QChar::toUpper(c) : QChar::toLower(c);
        wordStart = false;
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData()), points.size());
}

QString RenameRules::clean(const QString &typed, const platform::Preferences &defaults)
{
    QString name = trimmedWhere(typed, [](uint c) { return c < 0x10000 && kTrimSet.contains(QChar(c)); });
    name = withoutControlCharacters(name);
    name = trimWhiteSpaceAndNewlines(name);

    const QString colon = defaults.stringValue(platform::prefkey::replacementForColon);
    for (const auto &[find, replacement] : replacementTable(colon))
        name.replace(find, replacement);
    name = trimWhiteSpaceAndNewlines(name);

    if (defaults.boolValue(platform::prefkey::removeBracketedText)) {
        static const QRegularExpression bracketed = unicodeExpression(QStringLiteral(R"(\s*\[[^\]]*\])"));
        static const QRegularExpression parenthesised = unicodeExpression(QStringLiteral(R"(\s*\([^)]*\))"));
        name.remove(bracketed);
        name.remove(parenthesised);
        name = trimWhiteSpaceAndNewlines(name);
    }
    if (defaults.boolValue(platform::prefkey::removeLeadingNumbers)) {
        static const QRegularExpression leadingNumber = unicodeExpression(QStringLiteral(R"(^\d+[\s._\-]+)"));
        name.remove(leadingNumber);
    }
    if (defaults.boolValue(platform::prefkey::collapseSpaces)) {
        while (name.contains(QStringLiteral("  ")))
            name.replace(QStringLiteral("  "), QStringLiteral(" "));
        name = trimmedWhere(name, [](uint c) { return c == '\t' || QChar::category(c) == QChar::Separator_Space; });
    }
    if (defaults.boolValue(platform::prefkey::capitalizeTitles) && name.toUpper() == name)
        name = capitalized(name);
    if (defaults.boolValue(platform::prefkey::capitalizeLowercaseTitles) && name.toLower() == name)
        name = capitalized(name);
    if (defaults.boolValue(platform::prefkey::keepSmallWordsLowercase)) {
        for (const QString &word : smallWords()) {
            const QString lower = word.toLower();
            name.replace(word, lower);
            for (const QString &prefix : {QStringLiteral("-"), QStringLiteral("_")})
                name.replace(prefix + lower, prefix + word);
        }
    }
    return name;
}

} // namespace folvan::pane
