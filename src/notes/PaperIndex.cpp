#include "notes/PaperIndex.h"

namespace folvan::notes {

QString PaperIndex::nameKey(const QString &path)
{
    return path.normalized(QString::NormalizationForm_D);
}

void PaperIndex::rebuild(const QList<NotePaper> &papers)
{
    *this = {};
    m_ids.reserve(papers.size());
    m_names.reserve(papers.size());
    m_identities.reserve(papers.size());
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
