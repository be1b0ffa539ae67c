#include "reflow/ReflowOverridesStore.h"

#include "platform/DataFolderAccess.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/StoredJson.h"
#include "platform/UnsavedChanges.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <optional>

namespace folvan::reflow {

namespace {

const QString kReadFailure = QStringLiteral("无法读取局部修正，原文件已保留。");
const QString kSyncFailure = QStringLiteral("无法同步局部修正，原文件已保留。");
const QString kUnsaved = QStringLiteral("重排的局部修正");
const QString kNoPaper =
    QStringLiteral("笔记库现在无法读取，这篇论文的局部修正暂时无法读取或保存；所作的标记只保留到退出 Folvan。");
const QString kWriteFailure = QStringLiteral("局部修正尚未保存：%1。");

// A store's marks on their way to the file.
struct Corrections {
    platform::StoredFileVersion seen; // the file as last read or written
    std::set<QString> base;           // its marks then
    std::set<QString> keys;           // the marks to write
};

// The marks a read-only reader chose, by file, until it may write them:
// kept here rather than in a store, so that the paper's other panes show
// them and closing the paper loses none.
QHash<QString, Corrections> &heldBack()
{
    static QHash<QString, Corrections> held;
    return held;
}

// The marks of papers the notes library cannot name now, by the paper's
// file, for the rest of the run.
QHash<QString, std::set<QString>> &unnamedMarks()
{
    static QHash<QString, std::set<QString>> marks;
    return marks;
}

QString fileOf(const QUuid &paperID, const QString &directory)
{
    const QString folder = directory.isEmpty() ? platform::folvanDataPath(QStringLiteral("Reflow")) : directory;
    return QDir(folder).filePath(platform::uuidString(paperID) + QStringLiteral(".json"));
}

std::optional<std::set<QString>> decode(const QByteArray &data)
{
    const std::optional<platform::json> value = platform::decodeStoredJson(data);
    if (!value || !value->is_array())
        return std::nullopt;
    std::set<QString> found;
    for (const platform::json &element : *value) {
        if (!element.is_string())
            return std::nullopt;
        const QString key = QString::fromStdString(element.get<std::string>());
        if (ReflowOverridesStore::valid(key))
            found.insert(key);
    }
    return found;
}

// Both sides' marks, less those either side removed since `base`.
std::set<QString> merged(const std::set<QString> &base, const std::set<QString> &mine,
                         const std::set<QString> &theirs)
{
    std::set<QString> result;
    for (const QString &key : mine)
        if (theirs.contains(key) || !base.contains(key))
            result.insert(key);
    for (const QString &key : theirs)
        if (!base.contains(key))
            result.insert(key);
    return result;
}

enum class Write { Written, HeldBack, Unreadable, Failed };

// Writes `corrections` to `file`, merged with what another reader wrote
// there since they were read; `corrections` then holds what was written.
// `failure` tells why a write failed.
Write writeMerged(const QString &file, Corrections *corrections, QString *failure = nullptr)
{
    if (platform::DataFolderAccess::shared().holdsBack(file))
        return Write::HeldBack;
    if (!platform::ensureFolder(QFileInfo(file).absolutePath(), failure))
        return Write::Failed;
    // Another reader may write between two tries: a few rounds, then the
    // write counts as failed.
    for (int round = 0; round < 4; ++round) {
        platform::json array = platform::json::array();
        for (const QString &key : corrections->keys)
            array.push_back(key.toStdString());
        QByteArray current;
        switch (platform::writeStoredFile(file, &corrections->seen, platform::encodeStoredJson(array), &current,
                                          failure)) {
        case platform::StoredWrite::Written:
            corrections->base = corrections->keys;
            return Write::Written;
        case platform::StoredWrite::Failed:
            return Write::Failed;
        case platform::StoredWrite::Changed:
            break;
        }
        std::optional<std::set<QString>> theirs = decode(current);
        if (!theirs)
            return Write::Unreadable;
        corrections->keys = merged(corrections->base, corrections->keys, *theirs);
        corrections->base = std::move(*theirs);
    }
    return Write::Failed;
}

// The valid identifiers of `file` and its version; false when it cannot
// be read or is not an array of strings.
bool readMarks(const QString &file, std::set<QString> *keys, platform::StoredFileVersion *version)
{
    QByteArray data;
    platform::StoredFileVersion read;
    if (platform::readStoredFile(file, &data, nullptr, &read) != platform::StoredRead::Read)
        return false;
    std::optional<std::set<QString>> found = decode(data);
    if (!found)
        return false;
    *keys = std::move(*found);
    *version = read;
    return true;
}

bool present(const QString &file)
{
    const QFileInfo info(file);
    return info.exists() || info.isSymLink();
}

void announce(const QString &file, const QUuid &session = {})
{
    platform::NotificationCenter::shared().post(ReflowOverridesChanged{file, session});
}

// Once this reader may write the data folder (the other reader quit, or
// this one quits), what it held back goes to the files; every pane of
// those papers reads what was written.
void writeHeldBack()
{
    QStringList written;
    for (auto it = heldBack().begin(); it != heldBack().end();) {
        switch (writeMerged(it.key(), &it.value())) {
        case Write::HeldBack:
        case Write::Failed:
            // Still named as unsaved at quit.
            ++it;
            continue;
        case Write::Written:
            platform::noteSaved(it.key());
            break;
        case Write::Unreadable:
            // Left unreadable by another reader: not written over, and the
            // panes say so as they read it.
            break;
        }
        written << it.key();
        it = heldBack().erase(it);
    }
    for (const QString &file : written)
        announce(file);
}

} // namespace


bool ReflowOverridesStore::valid(const QString &key)
{
    // The whole string: "$" alone would also let a final line break through.
    // \d stays ASCII: the pattern is compiled without Unicode properties.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{1,5}:\\d{1,5}:[a-f0-9]{8}")));
    return key.size() <= 80 && pattern.match(key).hasMatch();
}

ReflowOverridesStore::ReflowOverridesStore(const QUuid &paperID, const QString &directory)
{
    [[maybe_unused]] static const bool watching = [] {
        platform::DataFolderAccess &access = platform::DataFolderAccess::shared();
        QObject::connect(&access, &platform::DataFolderAccess::readOnlyChanged, &access, [&access] {
            if (!access.readOnly())
                writeHeldBack();
        });
        return true;
    }();
    m_file = fileOf(paperID, directory);
    if (takeHeldBack() || !QFileInfo::exists(m_file))
        return;
    if (!read(&m_keys, &m_seen)) {
        m_keys.clear();
        m_writable = false;
        m_error = kReadFailure;
    }
    m_base = m_keys;
}

std::unique_ptr<ReflowOverridesStore> ReflowOverridesStore::unnamed(const QString &document)
{
    std::unique_ptr<ReflowOverridesStore> store(new ReflowOverridesStore);
    store->m_document = document;
    store->m_keys = unnamedMarks().value(document);
    store->m_error = kNoPaper;
    return store;
}

void ReflowOverridesStore::joinPapers(const QUuid &dropped, const QUuid &kept, const QString &directory)
{
    const QString from = fileOf(dropped, directory);
    const QString to = fileOf(kept, directory);
    const auto heldFrom = heldBack().constFind(from);
    std::set<QString> marks;
    if (heldFrom != heldBack().constEnd())
        marks = heldFrom->keys;
    std::set<QString> stored;
    platform::StoredFileVersion ignored;
    const bool fromFile = present(from);
    if (fromFile && !readMarks(from, &stored, &ignored))
        return;
    marks.insert(stored.begin(), stored.end());
    if (marks.empty() && !fromFile)
        return;

    Corrections into;
    if (const auto heldTo = heldBack().constFind(to); heldTo != heldBack().constEnd())
        into = *heldTo;
    else if (present(to) && !readMarks(to, &into.base, &into.seen))
        return;
    else
        into.keys = into.base;
    into.keys.insert(marks.begin(), marks.end());
    switch (writeMerged(to, &into)) {
    case Write::Unreadable:
    case Write::Failed:
        // Both stay as they are; the next join tries again.
        return;
    case Write::HeldBack:
        // The dropped file stays until the marks reach the kept one.
        heldBack().insert(to, into);
        platform::noteUnsaved(to, kUnsaved);
        break;
    case Write::Written:
        heldBack().remove(to);
        platform::noteSaved(to);
        if (fromFile)
            QFile::remove(from);
        break;
    }
    heldBack().remove(from);
    platform::noteSaved(from);
    announce(to);
}

bool ReflowOverridesStore::read(std::set<QString> *keys, platform::StoredFileVersion *version) const
{
    return readMarks(m_file, keys, version);
}

bool ReflowOverridesStore::takeHeldBack()
{
    const auto held = heldBack().find(m_file);
    if (held == heldBack().end())
        return false;
    // What the other reader wrote since is shown as well.
    std::set<QString> theirs;
    platform::StoredFileVersion version;
    if (read(&theirs, &version) && version != held->seen) {
        held->keys = merged(held->base, held->keys, theirs);
        held->base = std::move(theirs);
        held->seen = version;
    }
    m_seen = held->seen;
    m_base = held->base;
    m_keys = held->keys;
    return true;
}

bool ReflowOverridesStore::set(const QString &key, bool original)
{
    if (!m_writable || !valid(key))
        return false;
    Corrections next{m_seen, m_base, m_keys};
    if (original)
        next.keys.insert(key);
    else
        next.keys.erase(key);
    if (next.keys.size() > size_t(maxKeys))
        return false;
    // Kept for the run only, and said so: error() stays.
    if (m_file.isEmpty()) {
        m_keys = std::move(next.keys);
        unnamedMarks().insert(m_document, m_keys);
        platform::noteUnsaved(m_document + QStringLiteral("#reflow"),
                              kUnsaved + QStringLiteral("：") + QFileInfo(m_document).fileName());
        announce(m_document, m_sessionID);
        return true;
    }

    QString failure;
    switch (writeMerged(m_file, &next, &failure)) {
    case Write::Failed:
        // Why, where the system said (a full disk, no permission).
        if (!failure.isEmpty())
            m_error = kWriteFailure.arg(failure);
        return false;
    case Write::Unreadable:
        m_error = kSyncFailure;
        m_writable = false;
        return false;
    case Write::HeldBack:
        heldBack().insert(m_file, next);
        platform::noteUnsaved(m_file, kUnsaved);
        break;
    case Write::Written:
        heldBack().remove(m_file);
        platform::noteSaved(m_file);
        break;
    }
    m_seen = next.seen;
    m_base = std::move(next.base);
    m_keys = std::move(next.keys);
    m_error.clear();
    announce(m_file, m_sessionID);
    return true;
}

bool ReflowOverridesStore::refresh(const ReflowOverridesChanged &change)
{
    if (m_file.isEmpty()) {
        if (change.file != m_document || change.session == m_sessionID)
            return false;
        m_keys = unnamedMarks().value(m_document);
        return true;
    }
    if (change.file != m_file || change.session == m_sessionID)
        return false;
    if (!takeHeldBack()) {
        std::set<QString> keys;
        platform::StoredFileVersion version;
        if (!read(&keys, &version)) {
            m_error = kSyncFailure;
            m_writable = false;
            return false;
        }
        m_keys = keys;
        m_base = std::move(keys);
        m_seen = version;
    }
    m_error.clear();
    return true;
}

} // namespace folvan::reflow
