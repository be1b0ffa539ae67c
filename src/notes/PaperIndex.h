#pragma once

// The paper records looked up by what a file on disk tells of itself: the
// name it lies under, its file numbers and the first string of its /ID, and
// by the former names whose side files a record still owns. A lookup costs
// the same with ten thousand records as with ten; the index follows the list
// it was built from, one record at a time.

#include "notes/PaperNote.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QString>
#include <QUuid>

namespace folvan::notes {

class PaperIndex {
public:
    // Indexes `papers` whole.
    void rebuild(const QList<NotePaper> &papers);
    // Record `at` changed from `before` to `after` (the same identifier).
    void replace(qsizetype at, const NotePaper &before, const NotePaper &after);
    // Record `at` was appended.
    void append(qsizetype at, const NotePaper &paper);

    // The position of the record with `id`; -1 when there is none.
    qsizetype position(const QUuid &id) const { return m_ids.value(id, -1); }
    // The records that hold the name `path` (up to canonical equivalence).
    QList<qsizetype> holders(const QString &path) const { return m_names.values(nameKey(path)); }
    // The records that knew a file with these file numbers.
    QList<qsizetype> ofIdentity(const QString &identity) const { return m_identities.values(identity); }
    // The records of a document with this /ID.
    QList<qsizetype> ofDocument(const QString &documentID) const { return m_documents.values(documentID); }
    // The records that left side files under the name `path`.
    QList<qsizetype> leftAt(const QString &path) const { return m_leftBehind.values(nameKey(path)); }

    // How names are compared: canonically decomposed.
    static QString nameKey(const QString &path);

private:
    void add(qsizetype at, const NotePaper &paper);
    void remove(qsizetype at, const NotePaper &paper);

    QHash<QUuid, qsizetype> m_ids;
    QMultiHash<QString, qsizetype> m_names;
    QMultiHash<QString, qsizetype> m_identities;
    QMultiHash<QString, qsizetype> m_documents;
    QMultiHash<QString, qsizetype> m_leftBehind;
};

} // namespace folvan::notes
