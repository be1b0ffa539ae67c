#include "notes/PaperNotesStore.h"

#include "notes/NotesViewModel.h"
#include "notes/PaperNotesFile.h"
#include "platform/UnsavedChanges.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"

#include <QFile>
#include <QFileInfo>

namespace folvan {

const QString PaperNotesStore::kFileName = QStringLiteral("paper-notes-v1.json");

namespace {

const QString kLoadFailed = QStringLiteral("无法读取笔记库，原文件已保留：");
const QString kSaveFailed = QStringLiteral("笔记尚未保存：");
const QString kUnsavedNotes = QStringLiteral("笔记");

} // namespace

PaperNotesStore::PaperNotesStore(const QString &filePath, const platform::Preferences &defaults,
                                 double saveDelaySeconds, QObject *parent)
    : QObject(parent)
    , m_file(filePath)
    , m_pending(new platform::MainWorkItem(this))
    , m_saveDelay(saveDelaySeconds)
{
    load();
    if (m_writable && !m_legacyImported)
        importLegacyPad(defaults);
}

PaperNotesStore::~PaperNotesStore()
{
    m_pending->cancel();
}

PaperNotesStore &PaperNotesStore::shared()
{
    // The data folder is fixed for the life of the application; tests point
    // it elsewhere between cases and then get a store of their own. A store
    // handed out earlier stays alive, since someone may still hold it.
    static PaperNotesStore *store = nullptr;
    if (!store || store->filePath() != defaultFilePath())
        store = new PaperNotesStore(defaultFilePath(), platform::Preferences::shared());
    return *store;
}

QString PaperNotesStore::defaultFilePath()
{
    return platform::folvanDataPath(QStringLiteral("Notes/") + kFileName);
}

void PaperNotesStore::setPapers(const QList<NotePaper> &papers)
{
    m_papers = papers;
    emit papersChanged();
}

void PaperNotesStore::setNotes(const QList<PaperNote> &notes)
{
    m_notes = notes;
    emit notesChanged();
}

void PaperNotesStore::setError(const QString &error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged();
}

// A file that exists but cannot be read is left as it is: the store stays
// empty and never writes for the rest of its life, so that nothing the user
// wrote earlier is lost to an overwrite.
void PaperNotesStore::load()
{
    QByteArray data;
    QString failure;
    const platform::StoredRead read = platform::readStoredFile(m_file, &data, &failure);
    if (read == platform::StoredRead::Absent)
        return;
    std::optional<notes::PaperNotesFile> file;
    if (read == platform::StoredRead::Read)
        file = notes::decodePaperNotesFile(data, QFileInfo(m_file).fileName(), &failure);
    if (!file) {
        m_writable = false;
        setError(kLoadFailed + failure);
        return;
    }
    setPapers(file->papers);
    setNotes(file->notes);
    m_legacyImported = file->legacyImported;
}

// Each non-empty slot of the older notes pad becomes a note without a paper.
// The pad's keys stay as they are.
void PaperNotesStore::importLegacyPad(const platform::Preferences &defaults)
{
    const auto storedString = [&defaults](const QString &key) -> std::optional<QString> {
        const QVariant value = defaults.value(key);
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    };
    QList<PaperNote> imported;
    for (int slot = 0; slot < 4; ++slot) {
        const QString text = storedString(NotesViewModel::textKey(slot)).value_or(QString());
        if (text.trimmed().isEmpty())
            continue;
        PaperNote note;
        note.title = storedString(NotesViewModel::labelKey(slot))
                         .value_or(slot == 0 ? QStringLiteral("笔记")
                                             : QStringLiteral("笔记 ") + QString::number(slot + 1));
        note.body = text;
        imported.append(note);
    }
    if (!imported.isEmpty())
        setNotes(m_notes + imported);
    m_legacyImported = true;
    m_dirty = true;
    flush();
}

void PaperNotesStore::schedule()
{
    // A library that could not be read is never written over: what is
    // typed now lives in memory only, and the quit alert names it.
    if (!m_writable) {
        platform::noteUnsaved(m_file, kUnsavedNotes);
        return;
    }
    m_dirty = true;
    m_pending->schedule(m_saveDelay, [this] { flush(); });
}

void PaperNotesStore::flush()
{
    m_pending->cancel();
    if (!m_dirty || !m_writable)
        return;
    QString failure;
    QByteArray bytes;
    notes::PaperNotesFile file;
    file.papers = m_papers;
    file.notes = m_notes;
    file.legacyImported = m_legacyImported;
    if (m_file.isEmpty()) {
        failure = QStringLiteral("找不到用于保存数据的文件夹。");
    } else if (platform::ensureFolder(QFileInfo(m_file).absolutePath(), &failure)
               && notes::encodePaperNotesFile(file, &bytes, &failure)
               && platform::writeFileAtomically(m_file, bytes, &failure)) {
        m_dirty = false;
        setError(QString());
        platform::noteSaved(m_file);
        return;
    }
    setError(kSaveFailed + failure);
    platform::noteUnsaved(m_file.isEmpty() ? kFileName : m_file, kUnsavedNotes);
    // Tried again by the next change, at quit, and after a while, so that a
    // folder made writable again gets the change with no more writing.
    m_pending->schedule(m_saveDelay * kRetryDelayFactor, [this] { flush(); });
}

} // namespace folvan
