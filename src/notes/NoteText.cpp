#include "notes/NoteText.h"

namespace folvan::notes {

bool sameText(const QString &a, const QString &b)
{
    return a == b
        || a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

bool sameText(const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

QStringList searchTokens(const QString &query)
{
    QStringList tokens;
    QString current;
    for (const QChar c : query) {
        // QChar::isSpace covers exactly the White_Space characters: the
        // separators (Zs, Zl, Zp) and tab, line feed, vertical tab, form
        // feed, carriage return and next line.
        if (c.isSpace()) {
            if (!current.isEmpty())
                tokens.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        tokens.append(current);
    return tokens;
}

QString searchFolded(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing)
            continue;
        stripped.append(c);
    }
    return stripped.toCaseFolded();
}

} // namespace folvan::notes
