#include "platform/Preferences.h"

#include "platform/BookSettings.h"
#include "platform/PreferenceKeys.h"
#include "platform/ReadingModes.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "platform/UnsavedChanges.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMultiHash>
#include <QMutexLocker>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QUrl>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>
#include <limits>

namespace folvan::platform {

namespace {

using Json = nlohmann::ordered_json;

// QSettings reads "/" (and, on some platforms, "\") in a key as a group
// separator and drops empty groups, so "lastPage_/a//b.pdf" would not come
// back as written. Keys are escaped on their way into QSettings and
// unescaped in the file, where they stand verbatim.
QString escapeKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == QLatin1Char('%'))
            out += QLatin1String("%25");
        else if (c == QLatin1Char('/'))
            out += QLatin1String("%2F");
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("%5C");
        else
            out += c;
    }
    return out;
}

QString unescapeKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key.at(i) == QLatin1Char('%') && i + 2 < key.size()) {
            const QStringView code = QStringView(key).mid(i + 1, 2);
            if (code == QLatin1String("25")) {
                out += QLatin1Char('%');
                i += 2;
                continue;
            }
            if (code == QLatin1String("2F")) {
                out += QLatin1Char('/');
                i += 2;
                continue;
            }
            if (code == QLatin1String("5C")) {
                out += QLatin1Char('\\');
                i += 2;
                continue;
            }
        }
        out += key.at(i);
    }
    return out;
}

// Values in the file: JSON booleans, integers, numbers with a fraction part
// (a double is always written with one, so 15.0 stays a double), strings,
// arrays and objects; bytes and dates as tagged one-member objects.
const char *const kBytesTag = "@bytes";
const char *const kDateTag = "@date";

Json toFileJson(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return value.toULongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return nullptr;
        return d;
    }
    case QMetaType::QString:
        return value.toString().toStdString();
    case QMetaType::QByteArray: {
        Json tagged = Json::object();
        tagged[kBytesTag] = value.toByteArray().toBase64().toStdString();
        return tagged;
    }
    case QMetaType::QDateTime: {
        Json tagged = Json::object();
        tagged[kDateTag] = static_cast<double>(value.toDateTime().toMSecsSinceEpoch()) / 1000.0;
        return tagged;
    }
    case QMetaType::QUrl:
        return value.toUrl().toString(QUrl::FullyEncoded).toStdString();
    case QMetaType::Nullptr:
        return nullptr;
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        Json array = Json::array();
        for (const QVariant &element : value.toList())
            array.push_back(toFileJson(element));
        return array;
    }
    case QMetaType::QVariantMap: {
        Json object = Json::object();
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            object[it.key().toStdString()] = toFileJson(it.value());
        return object;
    }
    default:
        if (value.canConvert<QString>())
            return value.toString().toStdString();
        return nullptr;
    }
}

QVariant fromFileJson(const Json &value)
{
    switch (value.type()) {
    case Json::value_t::boolean:
        return value.get<bool>();
    case Json::value_t::number_integer: {
        const auto n = value.get<qint64>();
        if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
            return static_cast<int>(n);
        return n;
    }
    case Json::value_t::number_unsigned: {
        const auto n = value.get<quint64>();
        if (n <= static_cast<quint64>(std::numeric_limits<int>::max()))
            return static_cast<int>(n);
        if (n <= static_cast<quint64>(std::numeric_limits<qint64>::max()))
            return static_cast<qint64>(n);
        return n;
    }
    case Json::value_t::number_float:
        return value.get<double>();
    case Json::value_t::string:
        return QString::fromStdString(value.get_ref<const std::string &>());
    case Json::value_t::array: {
        QVariantList list;
        bool allStrings = true;
        for (const auto &element : value) {
            list.append(fromFileJson(element));
            allStrings = allStrings && element.is_string();
        }
        if (allStrings && !list.isEmpty())
            return QVariant(QVariant(list).toStringList());
        return list;
    }
    case Json::value_t::object: {
        if (value.size() == 1) {
            const auto bytes = value.find(kBytesTag);
            if (bytes != value.end() && bytes->is_string())
                return QByteArray::fromBase64(QByteArray::fromStdString(bytes->get<std::string>()));
            const auto date = value.find(kDateTag);
            if (date != value.end() && date->is_number())
                return QDateTime::fromMSecsSinceEpoch(
                    static_cast<qint64>(std::llround(date->get<double>() * 1000.0)), QTimeZone::utc());
        }
        QVariantMap map;
        for (auto it = value.begin(); it != value.end(); ++it)
            map.insert(QString::fromStdString(it.key()), fromFileJson(it.value()));
        return map;
    }
    case Json::value_t::null:
        // Kept as it stands, so that a rewrite of the file writes it back;
        // it reads as absent (Preferences::value).
        return QVariant::fromValue(nullptr);
    default:
        return {};
    }
}

// A number too large for a double ("1e400") would make the parser refuse
// the whole file; it stands for no value at all, so it is read as null and
// the rest of the file is kept. Strings are skipped whole.
QByteArray withOverflowingNumbersAsNull(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    };
    while (p < end) {
        const char c = *p;
        if (c == '"') {
            const char *q = p + 1;
            while (q < end && *q != '"')
                q += (*q == '\\' && q + 1 < end) ? 2 : 1;
            q = std::min(end, q + 1);
            out.append(p, q - p);
            p = q;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const char *q = p;
            while (q < end && isNumberChar(*q))
                ++q;
            double value = 0;
            const auto result = std::from_chars(p, q, value);
            const std::string_view token(p, q - p);
            const auto exponent = token.find_first_of("eE");
            const bool underflow = exponent != std::string_view::npos && exponent + 1 < token.size()
                                   && token[exponent + 1] == '-';
            if (result.ec == std::errc::result_out_of_range && !underflow)
                out.append("null");
            else
                out.append(p, q - p);
            p = q;
        } else {
            out.append(c);
            ++p;
        }
    }
    return out;
}

bool parseFile(const QByteArray &bytes, Json *out)
{
    try {
        // (The parser would stop at a NUL byte and leave the rest unread.)
        if (bytes.contains('\0') || jsonNestsDeeperThan(bytes.constBegin(), bytes.constEnd()))
            return false;
        const QByteArray text = withOverflowingNumbersAsNull(bytes);
        Json parsed = Json::parse(text.constBegin(), text.constEnd());
        if (!parsed.is_object())
            return false;
        if (out)
            *out = std::move(parsed);
        return true;
    } catch (const Json::exception &) {
        return false;
    }
}

const QString kEmptyFile = QStringLiteral("文件是空的");
const QString kMalformed = QStringLiteral("格式不正确");

// What the reader is told of a preferences file set aside (at start or
// while the program runs): why it did not read and where it is kept.
QString setAsideText(const QString &problem, const QString &movedTo)
{
    return QStringLiteral("无法读取偏好设置（%1），所有偏好已恢复为默认值；原文件已保留为 %2。")
        .arg(problem, QFileInfo(movedTo).fileName());
}

// The stores by their file, so that a file set aside while the program
// runs is told by the store on it.
QMutex storesMutex;
QMultiHash<QString, QPointer<Preferences>> &storesByFile()
{
    static QMultiHash<QString, QPointer<Preferences>> stores;
    return stores;
}

QString storeKey(const QString &file) { return QFileInfo(file).absoluteFilePath(); }

void tellSetAside(const QString &file, const QString &problem, const QString &movedTo)
{
    QMutexLocker lock(&storesMutex);
    for (const QPointer<Preferences> &store : storesByFile().values(storeKey(file))) {
        if (store)
            QMetaObject::invokeMethod(store, [store, text = setAsideText(problem, movedTo)] {
                if (store)
                    emit store->fileSetAside(text);
            }, Qt::QueuedConnection);
    }
}

// The file was read again while the program runs (changed on disk) and
// no longer reads: left as it is, the settings would take it for an empty
// file and write their own keys over it. It is set aside first, as at
// start, so that nothing in it is lost, and the reader is told.
bool setAsideWhileRunning(QIODevice &device, const QString &problem)
{
    const auto *file = qobject_cast<QFile *>(&device);
    if (!file || file->fileName().isEmpty())
        return false;
    QString movedTo;
    if (!moveAsideUnreadable(file->fileName(), nullptr, &movedTo))
        return false;
    tellSetAside(file->fileName(), problem, movedTo);
    return true;
}

bool readJsonSettings(QIODevice &device, QSettings::SettingsMap &map)
{
    const QByteArray bytes = device.readAll();
    Json root;
    // An empty file holds no preference: it is as unreadable as a damaged one.
    if (bytes.trimmed().isEmpty())
        return setAsideWhileRunning(device, kEmptyFile);
    if (!parseFile(bytes, &root))
        return setAsideWhileRunning(device, kMalformed);
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QVariant value = fromFileJson(it.value());
        if (value.isValid())
            map.insert(escapeKey(QString::fromStdString(it.key())), value);
    }
    return true;
}

bool writeJsonSettings(QIODevice &device, const QSettings::SettingsMap &map)
{
    Json root = Json::object();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        root[unescapeKey(it.key()).toStdString()] = toFileJson(it.value());
    try {
        const std::string text = root.dump(1, '\t');
        return device.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size());
    } catch (const Json::exception &) {
        return false;
    }
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("json"), readJsonSettings, writeJsonSettings);
    return format;
}

const QString kUnsavedDescription = QStringLiteral("偏好设置");

// A stored file that cannot be read is kept aside rather than overwritten.
// Returns what the reader is told about it (empty when the file is fine or
// absent); `inTheWay` is set when it could not be moved and must not be
// touched.
QString keepUnreadableFileAside(const QString &filePath, bool *inTheWay)
{
    *inTheWay = false;
    QByteArray bytes;
    QString problem;
    switch (readStoredFile(filePath, &bytes, &problem)) {
    case StoredRead::Absent:
        return {};
    case StoredRead::Read:
        if (bytes.trimmed().isEmpty()) {
            problem = kEmptyFile;
            break;
        }
        if (parseFile(bytes, nullptr))
            return {};
        problem = kMalformed;
        break;
    case StoredRead::Unreadable:
        break;
    }
    QString error;
    QString movedTo;
    if (!moveAsideUnreadable(filePath, &error, &movedTo)) {
        *inTheWay = true;
        return QStringLiteral("无法读取偏好设置（%1），也无法把原文件移到一旁（%2）：本次的设置更改不会保存。")
            .arg(problem, error);
    }
    return setAsideText(problem, movedTo);
}

bool isIntegerType(int typeId)
{
    return typeId == QMetaType::Int || typeId == QMetaType::LongLong || typeId == QMetaType::UInt ||
           typeId == QMetaType::ULongLong || typeId == QMetaType::Short || typeId == QMetaType::UShort;
}

} // namespace

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent)
{
    bool inTheWay = false;
    if (!filePath.isEmpty())
        m_loadProblem = keepUnreadableFileAside(filePath, &inTheWay);
    m_filePath = filePath;
    // What stands in the way is never opened (it may be a FIFO that blocks
    // the open) nor written over: the preferences of this run live in a
    // private scratch file and are reported unsaved.
    QString settingsPath = filePath;
    if (inTheWay) {
        m_scratch = std::make_unique<QTemporaryDir>();
        settingsPath = m_scratch->filePath(QStringLiteral("Folvan.json"));
    }
    // A child, so that it moves with the store to the main thread and syncs
    // from the main event loop.
    m_settings = std::make_unique<QSettings>(settingsPath, jsonFormat(), this);
    m_settings->setFallbacksEnabled(false);
    if (!m_scratch && !filePath.isEmpty()) {
        QMutexLocker lock(&storesMutex);
        storesByFile().insert(storeKey(filePath), this);
    }
}

Preferences::~Preferences()
{
    if (!m_filePath.isEmpty()) {
        QMutexLocker lock(&storesMutex);
        storesByFile().remove(storeKey(m_filePath), this);
    }
    if (m_settings)
        m_settings->sync();
}

QString Preferences::defaultFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty() || QDir::isRelativePath(config))
        return {};
    return QDir::cleanPath(config + QStringLiteral("/Folvan/Folvan.json"));
}

namespace {

QMutex sharedMutex;
Preferences *sharedStore = nullptr;

} // namespace

Preferences &Preferences::shared()
{
    const QString path = defaultFilePath();
    QMutexLocker lock(&sharedMutex);
    if (!sharedStore || sharedStore->filePath() != path) {
        // A store handed out earlier stays alive (someone may still hold a
        // reference to it); only the shared slot moves on.
        auto *store = new Preferences(path);
        if (QCoreApplication *app = QCoreApplication::instance()) {
            store->moveToThread(app->thread());
            // The shared store lives to the end of the process: write what
            // changed last before the event loop stops.
            QObject::connect(app, &QCoreApplication::aboutToQuit, store, &Preferences::sync);
        }
        sharedStore = store;
    }
    return *sharedStore;
}

void Preferences::resetSharedForTesting()
{
    QMutexLocker lock(&sharedMutex);
    if (sharedStore)
        sharedStore->sync();
    sharedStore = nullptr;
}

QString Preferences::filePath() const
{
    return m_scratch ? m_filePath : m_settings->fileName();
}

QString Preferences::loadProblem() const
{
    return m_loadProblem;
}

QVariant Preferences::value(const QString &key) const
{
    const QVariant stored = m_settings->value(escapeKey(key));
    // A null in the file stays there but stands for no value.
    return stored.typeId() == QMetaType::Nullptr ? QVariant() : stored;
}

bool Preferences::contains(const QString &key) const
{
    return value(key).isValid();
}

bool Preferences::boolValue(const QString &key) const
{
    return boolValue(key, defaultValue(key).toBool());
}

bool Preferences::boolValue(const QString &key, bool fallback) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::Bool ? v.toBool() : fallback;
}

int Preferences::intValue(const QString &key) const
{
    return intValue(key, defaultValue(key).toInt());
}

int Preferences::intValue(const QString &key, int fallback) const
{
    const QVariant v = value(key);
    if (!isIntegerType(v.typeId()))
        return fallback;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return fallback;
    return static_cast<int>(n);
}

double Preferences::doubleValue(const QString &key) const
{
    return doubleValue(key, defaultValue(key).toDouble());
}

double Preferences::doubleValue(const QString &key, double fallback) const
{
    const QVariant v = value(key);
    // A whole number stored for a number key is still that number.
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float || isIntegerType(v.typeId()))
        return v.toDouble();
    return fallback;
}

double Preferences::boundedValue(const QString &key) const
{
    const PreferenceKey *entry = tableEntry(key);
    const double fallback = entry ? entry->defaultValue.toDouble() : 0.0;
    const double value = doubleValue(key, fallback);
    if (!std::isfinite(value))
        return fallback;
    return entry && entry->range.bounded() ? std::clamp(value, entry->range.lowest, entry->range.highest) : value;
}

QString Preferences::stringValue(const QString &key) const
{
    return stringValue(key, defaultValue(key).toString());
}

QString Preferences::stringValue(const QString &key, const QString &fallback) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : fallback;
}

QByteArray Preferences::bytesValue(const QString &key) const
{
    return bytesValue(key, defaultValue(key).toByteArray());
}

QByteArray Preferences::bytesValue(const QString &key, const QByteArray &fallback) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : fallback;
}

QUrl Preferences::urlValue(const QString &key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QUrl)
        return v.toUrl();
    if (v.typeId() == QMetaType::QString)
        return QUrl(v.toString());
    return defaultValue(key).toUrl();
}

void Preferences::setAsideIfEmptied()
{
    // The settings take a file of no bytes for one without keys, without
    // reading it: emptied while the program runs, it would be written over
    // with this store's keys alone.
    if (m_scratch || m_filePath.isEmpty())
        return;
    const QFileInfo info(m_filePath);
    QString movedTo;
    if (info.isFile() && info.size() == 0 && moveAsideUnreadable(m_filePath, nullptr, &movedTo))
        tellSetAside(m_filePath, kEmptyFile, movedTo);
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    const QVariant before = this->value(key);
    setAsideIfEmptied();
    m_settings->setValue(escapeKey(key), value);
    m_changed = true;
    // The same value of the same type changes nothing a reader could see.
    if (before.typeId() != value.typeId() || before != value)
        emit valueChanged(key);
}

void Preferences::remove(const QString &key)
{
    const bool present = contains(key);
    setAsideIfEmptied();
    m_settings->remove(escapeKey(key));
    m_changed = true;
    if (present)
        emit valueChanged(key);
}

void Preferences::sync()
{
    if (m_settings->status() != QSettings::NoError) {
        // A failed write marks the settings object for good. A fresh one on
        // the same file shares its unwritten changes and tells whether this
        // write goes through.
        auto fresh = std::make_unique<QSettings>(m_settings->fileName(), jsonFormat(), this);
        fresh->setFallbacksEnabled(false);
        m_settings = std::move(fresh);
    }
    setAsideIfEmptied();
    m_settings->sync();
    if (filePath().isEmpty() || !m_changed)
        return;
    // Changes that did not reach the file are named when the program quits.
    if (m_scratch || m_settings->status() != QSettings::NoError)
        noteUnsaved(filePath(), kUnsavedDescription);
    else
        noteSaved(filePath());
}

const PreferenceKey *Preferences::tableEntry(const QString &key)
{
    for (const PreferenceKey &entry : defaultsTable())
        if (key == QLatin1String(entry.key))
            return &entry;
    // The page last shown of each file, under its path.
    static const PreferenceKey lastPage{prefkey::lastPagePrefix.data(), PreferenceType::Int, QVariant(), {}};
    if (key.startsWith(prefkey::lastPagePrefix))
        return &lastPage;
    return nullptr;
}

QVariant Preferences::defaultValue(const QString &key)
{
    const PreferenceKey *entry = tableEntry(key);
    return entry ? entry->defaultValue : QVariant();
}

namespace {

// The columns of a row of PreferenceKeys.h.

constexpr PreferenceRange range(double lowest, double highest, double step)
{
    return {lowest, highest, step};
}

constexpr PreferenceRange none{};

constexpr PreferenceRange rowRange(PreferenceRange range)
{
    return range;
}

constexpr PreferenceRange rowRange(const BookSetting &setting)
{
    return {setting.lowest, setting.highest, setting.step};
}

// A row's default as the store hands it out; a default of another kind than
// the row's does not build.
template <PreferenceType type, typename Value>
QVariant rowDefault(Value value)
{
    if constexpr (std::is_same_v<Value, BookSetting>) {
        static_assert(type == PreferenceType::Double);
        return value.fallback;
    } else if constexpr (std::is_same_v<Value, std::nullptr_t>) {
        static_assert(type == PreferenceType::String || type == PreferenceType::Url);
        if constexpr (type == PreferenceType::String)
            return QString();
        else
            return {};
    } else if constexpr (std::is_enum_v<Value>) {
        static_assert(type == PreferenceType::String);
        return toText(value);
    } else if constexpr (type == PreferenceType::Bool) {
        static_assert(std::is_same_v<Value, bool>);
        return value;
    } else if constexpr (type == PreferenceType::Double) {
        static_assert(std::is_floating_point_v<Value>);
        return double(value);
    } else {
        static_assert(type == PreferenceType::String && std::is_convertible_v<Value, const char *>);
        return QString::fromUtf8(value);
    }
}

} // namespace

const std::vector<PreferenceKey> &Preferences::defaultsTable()
{
#define FOLVAN_PREFERENCE_ROW(name, text, kind, fallback, bounds)                                                      \
    {prefkey::name.data(), PreferenceType::kind, rowDefault<PreferenceType::kind>(fallback), rowRange(bounds)},
    static const std::vector<PreferenceKey> table = {FOLVAN_PREFERENCES(FOLVAN_PREFERENCE_ROW)};
#undef FOLVAN_PREFERENCE_ROW
    return table;
}

} // namespace folvan::platform
