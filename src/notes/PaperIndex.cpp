#include "notes/PaperIndex.h"

#include <algorithm>

namespace folvan::notes {

QString PaperIndex::nameKey(const QString &path)
{
    // No character below U+00C0 decomposes or combines: most paths are
    // their own decomposed form, without the cost of decomposing them.
    const bool plain = std::all_of(path.cbegin(), path.cend(), [](QChar c) { return c.unicode() < 0xC0; });
    return plain ? path : path.normalized(QString::NormalizationForm_D);
}

void PaperIndex::Positions::insert(const QString &key, qsizetype at)
{
    if (m_first.contains(key))
        m_more.insert(key, at);
    else
        m_first.insert(key, at);
}

void PaperIndex::Positions::remove(const QString &key, qsizetype at)
{
    const auto first = m_first.find(key);
    if (first == m_first.end())
        return;
    if (*first != at) {
        m_more.remove(key, at);
        return;
    }
    // The first goes: another of the key takes its place.
    const auto next = m_more.find(key);
    if (next == m_more.end()) {
        m_first.erase(first);
        return;
    }
    *first = *next;
    m_more.erase(next);
}

QList<qsizetype> PaperIndex::Positions::values(const QString &key) const
{
    QList<qsizetype> positions;
    const auto first = m_first.constFind(key);
    if (first == m_first.cend())
        return positions;
    positions.append(*first);
    positions += m_more.values(key);
    return positions;
}

void PaperIndex::rebuild(const QList<NotePaper> &papers)
{
    *this = {};
    m_ids.reserve(papers.size());
    m_names.reserve(papers.size());
    m_identities.reserve(papers.size());
    m_documents.reserve(papers.size());
    for (qsizetype i = 0; i < papers.size(); ++i)
        add(i, papers[i]);
}

void PaperIndex::replace(qsizetype at, const NotePaper &before, const NotePaper &after)
{
    remove(at, before);
    add(at, after);
}

void PaperIndex::append(qsizetype at, const NotePaper &paper)
{
    add(at, paper);
}

bool PaperIndex::mayHoldOneFileTwice(const QList<NotePaper> &papers) const
{
    if (!m_names.sharedKeys().isEmpty())
        return true;
    // File numbers are reused by the file system: records that share them
    // are of one file only with the same fingerprint.
    for (const QString &identity : m_identities.sharedKeys()) {
        QList<QString> fingerprints;
        for (const qsizetype at : m_identities.values(identity)) {
            const NotePaper &paper = papers[at];
            if (!paper.holdsItsName() || !paper.fileFingerprint)
                continue;
            if (fingerprints.contains(*paper.fileFingerprint))
                return true;
            fingerprints.append(*paper.fileFingerprint);
        }
    }
    return false;
}

void PaperIndex::add(qsizetype at, const NotePaper &paper)
{
    // The first record of an identifier is the one found by it, as a walk
    // through the list would find it.
    if (!m_ids.contains(paper.id))
        m_ids.insert(paper.id, at);
    // A paper found nowhere holds no name: its path only says where it was.
    if (paper.holdsItsName())
        m_names.insert(nameKey(paper.path), at);
    if (paper.fileIdentity)
        m_identities.insert(*paper.fileIdentity, at);
    if (paper.documentID)
        m_documents.insert(*paper.documentID, at);
    for (const QString &left : paper.leftBehind)
        m_leftBehind.insert(nameKey(left), at);
}

void PaperIndex::remove(qsizetype at, const NotePaper &paper)
{
    if (m_ids.value(paper.id, -1) == at)
        m_ids.remove(paper.id);
    if (paper.holdsItsName())
        m_names.remove(nameKey(paper.path), at);
    if (paper.fileIdentity)
        m_identities.remove(*paper.fileIdentity, at);
    if (paper.documentID)
        m_documents.remove(*paper.documentID, at);
    for (const QString &left : paper.leftBehind)
        m_leftBehind.remove(nameKey(left), at);
}

} // namespace folvan::notes
