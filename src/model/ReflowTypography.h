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

    // The entries of `chosen` among the seven whose valid value differs
    // from that of `shown`, made valid: what a change of the typography
    // shown as `shown` into `chosen` changes. The page and the commands
    // hand on all seven values with every change; only these are saved.
    static QVariantMap changes(const QVariantMap &shown, const QVariantMap &chosen);

    // Writes each of the seven keys that `values` holds, its value made
    // valid, under preferenceKey(key). Every other stored value stays as it
    // is, a text the reader does not know included: it is read as its
    // default until the reader changes that setting.
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
