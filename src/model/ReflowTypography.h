#pragma once

// The reflow view's typography: seven values (font size, line height,
// column width, type face, alignment, paragraph spacing, first-line indent)
// that travel as one dictionary between the reflow page, the pane model and
// the preferences.

#include <QString>
#include <QVariantMap>

namespace folvan::platform {
class Preferences;
}

namespace folvan::model {

class ReflowTypography {
public:
    ReflowTypography() = delete;

    // The default set. The defaults, the numbers' ranges and the choices
    // are those of web/reflow/contract.json, which the reflow page reads too.
    static const QVariantMap &defaults();

    // Exactly the seven entries, each valid: numbers clamped into their
    // ranges, anything of the wrong kind (text for a number, a non-finite
    // number, an unknown face) replaced by its default. Other keys dropped.
    // The page's typographyValues (web/reflow/service.js) does the same.
    static QVariantMap normalized(const QVariantMap &values);

    // Writes the seven normalized values into `store`, each under
    // preferenceKey(key): the stored values overlaid with those of `values`
    // that belong to the seven keys. All seven are written on every call.
    static void save(const QVariantMap &values, platform::Preferences &store);

    // The set in force at start: the defaults overlaid with every stored
    // value, normalized. Writes nothing.
    static QVariantMap effective(const platform::Preferences &store);

    // "folvan.reflow" + the key with its first letter in upper case
    // ("fontSize" → "folvan.reflowFontSize").
    static QString preferenceKey(const QString &key);

private:
    static QVariantMap withStoredValues(const platform::Preferences &store);
};

} // namespace folvan::model
