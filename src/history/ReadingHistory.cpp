#include "history/ReadingHistory.h"

#include "platform/FileIdentity.h"
#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/DataFolderAccess.h"
#include "platform/StoredFiles.h"
#include "platform/StoredMerge.h"
#include "platform/StoredJson.h"
#include "platform/UnsavedChanges.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace folvan::history {

namespace {

const QString fileName = QStringLiteral("reading-history.json");
const QString loadErrorPrefix = QStringLiteral("无法读取阅读记录：");
const QString saveErrorPrefix = QStringLiteral("无法保存阅读记录：");

// A sentence told after a problem: a new sentence after its full stop,
// otherwise after "；" (an English full stop gives way to it).
QString followedBy(QString problem, const QString &sentence)
{
    while (problem.endsWith(QLatin1Char('.')))
        problem.chop(1);
    if (!problem.isEmpty() && !problem.endsWith(QChar(0x3002)) && !problem.endsWith(QChar(0xFF1A)))
        problem += QStringLiteral("；");
    return problem + sentence;
}

// Paths are compared in their composed Unicode form, so that a name typed
// with combining marks equals the same name stored precomposed.
bool samePath(const QString &a, const QString &b)
{
    return a == b
        || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

QString standardized(const QString &path)
{
    return platform::standardizedPath(QFileInfo(path).absoluteFilePath());
}

double now()
{
    return platform::referenceSeconds(QDateTime::currentDateTimeUtc());
}

// A list as the store keeps it: at most the newest records, each state
// within its limits.
QList<RecentReading> kept(QList<RecentReading> records)
{
    if (records.size() > ReadingHistory::maximumRecords)
        records.resize(ReadingHistory::maximumRecords);
    for (RecentReading &record : records)
        record.state = record.state.normalized(DocumentReadingState::noPageLimit);
    return records;
}

// This store's list merged with the one another reader wrote, both changed
// since `base`: newest opening first, one record a paper (the one opened
// last), a record both changed as it was opened last.
QList<RecentReading> merged(const QList<RecentReading> &base, const QList<RecentReading> &mine,
                            const QList<RecentReading> &theirs)
{
    QList<RecentReading> records = platform::mergeRecords(
        base, mine, theirs, [](const RecentReading &record) { return record.id; },
        [](const RecentReading &ours, const RecentReading &other) {
            return other.openedAt > ours.openedAt ? other : ours;
        });
    std::stable_sort(records.begin(), records.end(),
                     [](const RecentReading &a, const RecentReading &b) { return a.openedAt > b.openedAt; });
    QList<RecentReading> unique;
    for (const RecentReading &record : records) {
        const bool known = std::any_of(unique.cbegin(), unique.cend(),
                                       [&record](const RecentReading &other) { return samePath(other.path, record.path); });
        if (!known)
            unique.append(record);
    }
    return kept(std::move(unique));
}

} // namespace

ReadingHistory &ReadingHistory::shared()
{
    // The data folder is fixed for the life of the application; tests point
    // it elsewhere between cases and then get a store of their own. A store
    // handed out earlier stays alive, since someone may still hold it.
    static ReadingHistory *instance = nullptr;
    if (!instance || instance->m_folder != platform::folvanDataFolder())
        instance = new ReadingHistory();
    return *instance;
}

ReadingHistory::ReadingHistory(const QString &directory, platform::Preferences *defaults,
                               int saveDelayMs, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_saveDelayMs(saveDelayMs)
{
    m_folder = directory.isEmpty() ? platform::folvanDataFolder() : directory;
    if (!m_folder.isEmpty())
        m_file = QDir(m_folder).filePath(fileName);

    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &ReadingHistory::flush);
    // A reader that was read-only writes what it holds once it may.
    connect(&platform::DataFolderAccess::shared(), &platform::DataFolderAccess::readOnlyChanged, this, [this] {
        if (!platform::DataFolderAccess::shared().readOnly())
            flush();
    });

    load();
}

ReadingHistory::~ReadingHistory() = default;

void ReadingHistory::load()
{
    QByteArray data;
    QString problem;
    const platform::StoredRead read = platform::readStoredFile(m_file, &data, &problem, &m_seen);
    if (read == platform::StoredRead::Absent)
        return;
    std::optional<QList<RecentReading>> loaded;
    if (read == platform::StoredRead::Read)
        loaded = decodeReadingHistory(data, &problem);
    if (!loaded) {
        m_keepUnreadableFile = true;
        setError(loadErrorPrefix + problem);
        m_loadProblem = m_error;
        emit loadProblemChanged();
        return;
    }
    m_base = kept(*loaded);
    setRecords(m_base);
}

void ReadingHistory::setRecords(QList<RecentReading> records)
{
    m_records = std::move(records);
    emit recordsChanged();
}

void ReadingHistory::setError(const QString &error)
{
    m_error = error;
    emit errorChanged();
}

void ReadingHistory::opened(const QString &path, const DocumentReadingState &state)
{
    const qsizetype i = index(path);
    RecentReading record;
    record.id = i >= 0 ? m_records[i].id : QUuid::createUuid();
    record.path = standardized(path);
    // No file locator is made on this platform: the stored path and the file
    // identity find the paper again.
    record.bookmark = std::nullopt;
    record.fileIdentity = platform::fileIdentity(path);
    record.fileFingerprint = platform::fileFingerprint(path);
    record.state = state.normalized(DocumentReadingState::noPageLimit);
    record.openedAt = now();

    QList<RecentReading> records = m_records;
    if (i >= 0)
        records.removeAt(i);
    records.prepend(record);
    if (records.size() > maximumRecords)
        records.resize(maximumRecords);
    setRecords(std::move(records));
    saveSoon();
}

void ReadingHistory::update(const QString &path, const DocumentReadingState &state)
{
    const qsizetype i = index(path);
    if (i < 0)
        return;
    const DocumentReadingState normalized = state.normalized(DocumentReadingState::noPageLimit);
    if (normalized == m_records[i].state)
        return;
    QList<RecentReading> records = m_records;
    records[i].state = normalized;
    setRecords(std::move(records));
    saveSoon();
}

DocumentReadingState ReadingHistory::state(const QString &path, qint64 pageCount, bool defaultBook) const
{
    const qsizetype i = index(path);
    if (i >= 0)
        return m_records[i].state.normalized(pageCount);
    DocumentReadingState legacy;
    platform::Preferences &defaults = m_defaults ? *m_defaults : platform::Preferences::shared();
    legacy.page = defaults.intValue(platform::prefkey::lastPage(path));
    legacy.isBook = defaultBook;
    return legacy.normalized(pageCount);
}

void ReadingHistory::relocate(const QString &oldPath, const QString &newPath)
{
    const qsizetype i = index(oldPath);
    if (i < 0)
        return;
    QList<RecentReading> records = m_records;
    records[i].path = standardized(newPath);
    records[i].bookmark = std::nullopt;
    records[i].fileIdentity = platform::fileIdentity(newPath);
    records[i].fileFingerprint = platform::fileFingerprint(newPath);
    setRecords(std::move(records));
    saveSoon();
}

void ReadingHistory::repath(const QHash<QString, QString> &moves)
{
    QList<RecentReading> records = m_records;
    bool changed = false;
    for (RecentReading &record : records) {
        for (auto move = moves.cbegin(); move != moves.cend(); ++move) {
            if (!samePath(record.path, move.key()))
                continue;
            record.path = standardized(move.value());
            record.bookmark = std::nullopt;
            record.fileIdentity = platform::fileIdentity(move.value());
            record.fileFingerprint = platform::fileFingerprint(move.value());
            changed = true;
            break;
        }
    }
    if (!changed)
        return;
    setRecords(std::move(records));
    saveSoon();
}

std::optional<RecentReading> ReadingHistory::recordAt(const QString &path) const
{
    for (const RecentReading &record : m_records) {
        if (samePath(record.path, path))
            return record;
    }
    return std::nullopt;
}

std::optional<DocumentReadingState> ReadingHistory::forgetPath(const QString &path)
{
    std::optional<DocumentReadingState> state;
    QList<RecentReading> records = m_records;
    records.removeIf([&](const RecentReading &record) {
        if (!samePath(record.path, path))
            return false;
        if (!state)
            state = record.state;
        return true;
    });
    if (!state)
        return std::nullopt;
    setRecords(std::move(records));
    saveSoon();
    flush();
    return state;
}

void ReadingHistory::forget(const QUuid &id)
{
    QList<RecentReading> records = m_records;
    records.removeIf([&](const RecentReading &record) { return record.id == id; });
    setRecords(std::move(records));
    saveSoon();
    flush();
}

void ReadingHistory::clear()
{
    setRecords({});
    saveSoon();
    flush();
}

void ReadingHistory::saveSoon()
{
    m_dirty = true;
    m_pending.schedule(m_saveDelayMs / 1000.0, [this] { flush(); }); // replaces a pending save
}

void ReadingHistory::flush()
{
    m_pending.cancel();
    if (!m_dirty)
        return;
    QString problem;
    bool saved = false;
    if (m_file.isEmpty()) {
        problem = QStringLiteral("没有存放应用数据的文件夹。");
    } else if (QString movedTo; m_keepUnreadableFile && QFileInfo::exists(m_file)
               && !platform::moveAsideUnreadable(m_file, &problem, &movedTo)) {
        // The unreadable file could not be set aside: nothing is written over it.
    } else {
        if (!movedTo.isEmpty()) {
            m_loadProblem = followedBy(m_loadProblem, QStringLiteral("原文件已保留为 %1。").arg(QFileInfo(movedTo).fileName()));
            emit loadProblemChanged();
        }
        if (!movedTo.isEmpty())
            m_seen = {};
        m_keepUnreadableFile = false;
        // Another reader may write between two tries: a few rounds, then
        // the save counts as failed and is retried later.
        QList<RecentReading> records = m_records;
        for (int round = 0; round < 4 && !saved; ++round) {
            const platform::StoredWrite result = writeOnce(&records, &problem);
            if (result == platform::StoredWrite::Failed)
                break;
            saved = result == platform::StoredWrite::Written;
            if (!saved)
                problem = QStringLiteral("另一个 Folvan 一再改写阅读记录。");
        }
        if (saved) {
            m_base = records;
            if (records != m_records)
                setRecords(std::move(records));
        }
    }
    if (!saved) {
        // Held back while another reader holds the data folder: the
        // window says so once, for every store.
        if (!platform::DataFolderAccess::shared().holdsBack(m_file))
            setError(saveErrorPrefix + problem);
        platform::noteUnsaved(m_file.isEmpty() ? fileName : m_file, QStringLiteral("阅读记录"));
        // Tried again by the next change, at quit, and after a while, so that
        // a folder made writable again gets the change with no more reading.
        m_pending.schedule(m_saveDelayMs * retryDelayFactor / 1000.0, [this] { flush(); });
        return;
    }
    m_dirty = false;
    platform::noteSaved(m_file);
    // Whatever failed before, the file now holds the list; an unreadable
    // file it replaced was set aside first.
    if (!m_error.isEmpty())
        setError({});
}

platform::StoredWrite ReadingHistory::writeOnce(QList<RecentReading> *records, QString *problem)
{
    QByteArray data;
    if (!encodeReadingHistory(*records, &data, problem))
        return platform::StoredWrite::Failed;
    QByteArray current;
    const platform::StoredWrite result = platform::writeStoredFile(m_file, &m_seen, data, &current, problem);
    if (result != platform::StoredWrite::Changed)
        return result;
    QString unreadable = QStringLiteral("文件是空的，或不是普通文件");
    std::optional<QList<RecentReading>> theirs;
    if (!current.isEmpty())
        theirs = decodeReadingHistory(current, &unreadable);
    if (!theirs) {
        // Left unreadable by someone else since this store read it: kept
        // aside and named, and this store's list written in its place.
        QString movedTo;
        if (!platform::moveAsideUnreadable(m_file, problem, &movedTo))
            return platform::StoredWrite::Failed;
        m_seen = {};
        m_loadProblem = followedBy(loadErrorPrefix + unreadable,
                                   QStringLiteral("原文件已保留为 %1。").arg(QFileInfo(movedTo).fileName()));
        emit loadProblemChanged();
        return platform::StoredWrite::Changed;
    }
    const QList<RecentReading> other = kept(std::move(*theirs));
    *records = merged(m_base, *records, other);
    m_base = other;
    return platform::StoredWrite::Changed;
}

std::vector<QString> ReadingHistory::formerPaths(const QString &path) const
{
    std::vector<QString> paths;
    for (const RecentReading &record : m_records) {
        // A path that still holds the file is another name of it, with
        // side files of its own.
        if (record.path != path && platform::isRecordedFile(path, record.fileIdentity, record.fileFingerprint)
            && !platform::isRecordedFile(record.path, record.fileIdentity, record.fileFingerprint))
            paths.push_back(record.path);
    }
    return paths;
}

QString ReadingHistory::resolve(const RecentReading &record) const
{
    return locate(record, true);
}

QString ReadingHistory::locate(const RecentReading &record, bool searchFolder) const
{
    // File locators made on another platform cannot be resolved here; they
    // are kept as they were read.
    if (platform::isReadableFile(record.path))
        return record.path;
    // A paper renamed outside the reader is found in its old folder by its
    // file identity.
    if (searchFolder && record.fileIdentity)
        return platform::findByIdentity(QFileInfo(record.path).absolutePath(), *record.fileIdentity,
                                        record.fileFingerprint);
    return {};
}

qsizetype ReadingHistory::index(const QString &path) const
{
    const QString target = standardized(path);
    const bool hasIdentity = platform::fileIdentity(path).has_value();
    for (qsizetype i = 0; i < m_records.size(); ++i) {
        const RecentReading &record = m_records[i];
        if (samePath(record.path, target))
            return i;
        // The record's path no longer leads to a file: the file it
        // recorded, found by its identity under a new name or folder (not
        // a new file that was given the deleted one's numbers). A path that
        // still leads to it is another name of it, with a record of its own.
        if (hasIdentity && locate(record, false).isEmpty()
            && platform::isRecordedFile(path, record.fileIdentity, record.fileFingerprint))
            return i;
    }
    return -1;
}

} // namespace folvan::history
