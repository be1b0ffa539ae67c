#pragma once

#include "platform/TextValues.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;
class QTemporaryDir;

namespace folvan::platform {

// The stored type of a preference key.
enum class PreferenceType { Bool, Int, Double, String, Bytes, Url };

// The values a Double key takes: from `lowest` to `highest` in whole steps,
// any value between when `step` is 0. Unbounded when lowest == highest.
struct PreferenceRange {
    double lowest = 0;
    double highest = 0;
    double step = 0;

    bool bounded() const { return lowest < highest; }
};

// One key of the preference table with its type, default and range.
struct PreferenceKey {
    const char *key;
    PreferenceType type;
    QVariant defaultValue;
    PreferenceRange range;
};

// The typed, change-signalling preference store ("user defaults"). Keys are
// used verbatim ("folvan.pageLayout", "lastPage_/home/a/b.pdf", ...). Values
// keep their type across restarts: the file is a typed JSON document.
//
// Every known key has one default, held in one table (defaultsTable(), made
// from the rows of PreferenceKeys.h); a missing key or a stored value of the
// wrong type reads as that default.
class Preferences : public QObject {
    Q_OBJECT
public:
    // A store on the file at `filePath` (created on first write).
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);
    ~Preferences() override;

    // The process-wide store at <config>/Folvan/Folvan.json. It follows the
    // config location: when XDG_CONFIG_HOME changes (tests), the next call
    // returns a store on the new file.
    static Preferences &shared();
    // Drops the shared store so that the next shared() starts afresh.
    static void resetSharedForTesting();

    // <generic config location>/Folvan/Folvan.json; empty without a config
    // location.
    static QString defaultFilePath();

    QString filePath() const;
    // What the reader must be told about the file as it was found when the
    // store was made (unreadable, moved aside); empty when nothing.
    QString loadProblem() const;

    // Typed getters: the stored value when it has the requested type, else
    // the table default for the key (or the given fallback for keys not in
    // the table).
    bool boolValue(const QString &key) const;
    bool boolValue(const QString &key, bool fallback) const;
    int intValue(const QString &key) const;
    int intValue(const QString &key, int fallback) const;
    double doubleValue(const QString &key) const;
    double doubleValue(const QString &key, double fallback) const;
    // A Double key's value held to its table range; the default when the
    // value is not finite.
    double boundedValue(const QString &key) const;
    QString stringValue(const QString &key) const;
    QString stringValue(const QString &key, const QString &fallback) const;
    QByteArray bytesValue(const QString &key) const;
    QByteArray bytesValue(const QString &key, const QByteArray &fallback) const;
    // A URL stored as a URL or as its text; an empty URL when absent.
    QUrl urlValue(const QString &key) const;
    // The value of a key whose row holds one of E's values as its text
    // (ReadingModes.h): the value the stored text names, else the row's
    // default (nothing stored, not a text, or a text that names no value).
    template <typename E>
    E enumValue(const QString &key) const;

    // The raw stored value; invalid when the key is absent.
    QVariant value(const QString &key) const;
    bool contains(const QString &key) const;

    // Writes and stores at once; emits valueChanged when the value read
    // back differs from the one before (another value, or another type).
    void setValue(const QString &key, const QVariant &value);
    // Removes the key; emits valueChanged when it held a value.
    void remove(const QString &key);

    // Writes pending changes to the file now; changes that cannot be written
    // are noted as unsaved until a later sync writes them.
    void sync();

    // The table of every documented key with its type, default and range.
    static const std::vector<PreferenceKey> &defaultsTable();
    // The table entry of `key`, or nullptr. The per-file "lastPage_" keys
    // share one entry.
    static const PreferenceKey *tableEntry(const QString &key);
    // The table default of `key`; invalid when the key is not in the table.
    static QVariant defaultValue(const QString &key);

signals:
    void valueChanged(const QString &key);
    // The file stopped reading while the program runs (emptied, damaged)
    // and was set aside before the next write: what the reader is told,
    // naming the file kept.
    void fileSetAside(const QString &text);

private:
    void setAsideIfEmptied();

    // Outlives the settings, which may write to it as they go.
    std::unique_ptr<QTemporaryDir> m_scratch;
    std::unique_ptr<QSettings> m_settings;
    QString m_filePath;
    QString m_loadProblem;
    bool m_changed = false;
};

template <typename E>
E Preferences::enumValue(const QString &key) const
{
    const std::optional<E> fallback = fromText<E>(defaultValue(key).toString());
    Q_ASSERT_X(fallback, "Preferences::enumValue", "the key's row holds no value of this kind");
    return fromText<E>(stringValue(key)).value_or(fallback.value_or(E{}));
}

} // namespace folvan::platform
