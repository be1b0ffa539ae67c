// Looking up, editing, trashing, restoring, linking and searching notes.

#include "notes/NoteText.h"
#include "notes/PaperNotesStore.h"
#include "platform/StoredJson.h"

#include <QHash>

#include <algorithm>

namespace folvan::notes {

namespace {

const QString kNoPaperTitle = QStringLiteral("旧版笔记");

} // namespace

qsizetype PaperNotesStore::noteIndex(const QUuid &id, bool liveOnly) const
{
    for (qsizetype i = 0; i < m_notes.size(); ++i) {
        if (m_notes[i].id == id && (!liveOnly || m_notes[i].isLive()))
            return i;
    }
    return -1;
}

std::optional<NotePaper> PaperNotesStore::paper(const std::optional<QUuid> &id) const
{
    ensureLoaded();
    if (!id)
        return std::nullopt;
    const qsizetype at = paperIndex().position(*id);
    return at < 0 ? std::nullopt : std::optional<NotePaper>(m_papers[at]);
}

std::optional<PaperNote> PaperNotesStore::note(const std::optional<QUuid> &id) const
{
    ensureLoaded();
    if (!id)
        return std::nullopt;
    const qsizetype index = noteIndex(*id, true);
    return index < 0 ? std::nullopt : std::optional<PaperNote>(m_notes[index]);
}

void PaperNotesStore::update(const QUuid &id, const std::optional<QString> &title,
                             const std::optional<QString> &body)
{
    ensureLoaded();
    const qsizetype index = noteIndex(id, true);
    if (index < 0)
        return;
    PaperNote &edited = m_notes[index];
    if (title)
        edited.title = *title;
    if (body)
        edited.body = *body;
    edited.updatedAt = QDateTime::currentDateTimeUtc();
    emit notesChanged();
    schedule();
}

void PaperNotesStore::trash(const QUuid &id)
{
    ensureLoaded();
    const qsizetype index = noteIndex(id, false);
    if (index < 0)
        return;
    m_notes[index].deletedAt = QDateTime::currentDateTimeUtc();
    emit notesChanged();
    schedule();
}

bool PaperNotesStore::canUndoDelete() const
{
    ensureLoaded();
    return std::any_of(m_notes.cbegin(), m_notes.cend(), [](const PaperNote &n) { return !n.isLive(); });
}

void PaperNotesStore::undoDelete()
{
    ensureLoaded();
    // The latest deletion wins; of equal times the first in the list.
    qsizetype chosen = -1;
    for (qsizetype i = 0; i < m_notes.size(); ++i) {
        const PaperNote &candidate = m_notes[i];
        if (!candidate.isLive() && (chosen < 0 || *candidate.deletedAt > *m_notes[chosen].deletedAt))
            chosen = i;
    }
    if (chosen < 0)
        return;
    m_notes[chosen].deletedAt.reset();
    emit notesChanged();
    schedule();
}

void PaperNotesStore::associate(const QUuid &noteID, const QUuid &paperID, std::optional<std::int64_t> page)
{
    ensureLoaded();
    const qsizetype index = noteIndex(noteID, false);
    if (index < 0 || !paper(paperID))
        return;
    PaperNote &linked = m_notes[index];
    // Quoted passages belong to the paper they were taken from.
    if (linked.paperID != paperID)
        linked.sources.reset();
    linked.paperID = paperID;
    linked.page = page;
    linked.updatedAt = QDateTime::currentDateTimeUtc();
    emit notesChanged();
    schedule();
}

QList<PaperNote> PaperNotesStore::search(const QString &query, const std::optional<QUuid> &paperID,
                                         bool currentOnly) const
{
    ensureLoaded();
    QStringList tokens = searchTokens(query);
    for (QString &token : tokens)
        token = searchFolded(token);

    QHash<QUuid, QString> paperTitles;
    for (const NotePaper &record : m_papers) {
        if (!paperTitles.contains(record.id))
            paperTitles.insert(record.id, record.title);
    }

    QList<PaperNote> kept;
    for (const PaperNote &candidate : m_notes) {
        if (!candidate.isLive() || (currentOnly && candidate.paperID != paperID))
            continue;
        if (!tokens.isEmpty()) {
            QStringList pieces{candidate.title, candidate.body};
            QStringList quotes;
            if (candidate.sources) {
                for (const model::ReadingTextSource &source : *candidate.sources)
                    quotes.append(source.quote);
            }
            pieces.append(quotes.join(QLatin1Char('\n')));
            pieces.append(candidate.paperID && paperTitles.contains(*candidate.paperID)
                              ? paperTitles.value(*candidate.paperID)
                              : kNoPaperTitle);
            const QString text = searchFolded(pieces.join(QLatin1Char('\n')));
            const bool matches = std::all_of(tokens.cbegin(), tokens.cend(),
                                             [&text](const QString &token) { return text.contains(token); });
            if (!matches)
                continue;
        }
        kept.append(candidate);
    }

    std::stable_sort(kept.begin(), kept.end(), [](const PaperNote &a, const PaperNote &b) {
        if (a.updatedAt == b.updatedAt)
            return platform::uuidString(a.id) < platform::uuidString(b.id);
        return a.updatedAt > b.updatedAt;
    });
    return kept;
}

} // namespace folvan::notes
