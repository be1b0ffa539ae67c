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
    // Whether two records (of `papers`, which the index was built from) may
    // be of one file: they hold one name, or know the same file numbers and
    // fingerprint.
    bool mayHoldOneFileTwice(const QList<NotePaper> &papers) const;

    // How names are compared: canonically decomposed.
    static QString nameKey(const QString &path);

private:
    // Positions by key; most keys have one, kept apart from the few others.
    class Positions {
    public:
        void insert(const QString &key, qsizetype at);
        void remove(const QString &key, qsizetype at);
        QList<qsizetype> values(const QString &key) const;
        void reserve(qsizetype size) { m_first.reserve(size); }
        // The keys that have more than one position.
        QList<QString> sharedKeys() const { return m_more.uniqueKeys(); }

    private:
        QHash<QString, qsizetype> m_first;
        QMultiHash<QString, qsizetype> m_more;
    };

    void add(qsizetype at, const NotePaper &paper);
    void remove(qsizetype at, const NotePaper &paper);

    QHash<QUuid, qsizetype> m_ids;
    Positions m_names;
    Positions m_identities;
    Positions m_documents;
    Positions m_leftBehind;
};

} // namespace folvan::notes
