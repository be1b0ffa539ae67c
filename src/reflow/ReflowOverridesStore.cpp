#include "reflow/ReflowOverridesStore.h"

#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace folvan::reflow {

namespace {

const QString kReadFailure = QStringLiteral("无法读取局部修正，原文件已保留。");
const QString kSyncFailure = QStringLiteral("无法同步局部修正，原文件已保留。");

} // namespace

QString ReflowOverridesStore::didChange() { return QStringLiteral("Folvan.reflowOverridesChanged"); }

bool ReflowOverridesStore::valid(const QString &key)
{
    // The whole string: "$" alone would also let a final line break through.
    // \d stays ASCII: the pattern is compiled without Unicode properties.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{1,5}:\\d{1,5}:[a-f0-9]{8}")));
    return key.size() <= 80 && pattern.match(key).hasMatch();
}

ReflowOverridesStore::ReflowOverridesStore(const QUuid &paperID, const QString &directory)
    : m_sessionID(QUuid::createUuid())
{
    const QString folder = directory.isEmpty() ? platform::folvanDataPath(QStringLiteral("Reflow")) : directory;
    m_file = QDir(folder).filePath(platform::uuidString(paperID) + QStringLiteral(".json"));
    if (!QFileInfo::exists(m_file))
        return;
    if (!read(&m_keys)) {
        m_keys.clear();
        m_writable = false;
        m_error = kReadFailure;
    }
}

bool ReflowOverridesStore::read(std::set<QString> *keys) const
{
    QByteArray data;
    if (platform::readStoredFile(m_file, &data) != platform::StoredRead::Read)
        return false;
    const std::optional<platform::json> value = platform::decodeStoredJson(data);
    if (!value || !value->is_array())
        return false;
    std::set<QString> found;
    for (const platform::json &element : *value) {
        if (!element.is_string())
            return false;
        const QString key = QString::fromStdString(element.get<std::string>());
        if (valid(key))
            found.insert(key);
    }
    *keys = std::move(found);
    return true;
}

bool ReflowOverridesStore::set(const QString &key, bool original)
{
    if (!m_writable || !valid(key))
        return false;
    std::set<QString> next = m_keys;
    if (original)
        next.insert(key);
    else
        next.erase(key);
    if (next.size() > size_t(maxKeys))
        return false;

    platform::json array = platform::json::array();
    for (const QString &k : next)
        array.push_back(k.toStdString());
    QString reason;
    if (!platform::ensureFolder(QFileInfo(m_file).absolutePath(), &reason)
        || !platform::writeFileAtomically(m_file, platform::encodeStoredJson(array), &reason))
        return false;

    m_keys = std::move(next);
    m_error.clear();
    platform::NotificationCenter::shared().post(
        didChange(), {{QStringLiteral("file"), m_file}, {QStringLiteral("session"), m_sessionID}});
    return true;
}

bool ReflowOverridesStore::refresh(const QVariantMap &userInfo)
{
    const QVariant file = userInfo.value(QStringLiteral("file"));
    if (file.typeId() != QMetaType::QString || file.toString() != m_file)
        return false;
    const QVariant session = userInfo.value(QStringLiteral("session"));
    if (session.typeId() == QMetaType::QUuid && session.toUuid() == m_sessionID)
        return false;
    std::set<QString> keys;
    if (!read(&keys)) {
        m_error = kSyncFailure;
        m_writable = false;
        return false;
    }
    m_keys = std::move(keys);
    m_error.clear();
    return true;
}

} // namespace folvan::reflow
