#pragma once

// What a settling of paper names is about to do, on disk before it does it.
//
// Settling who owns the side files under a name moves files (set aside,
// handed to a paper's new name, put back) and changes the paper records
// that name them. The records are written with the library some time
// later; a reader killed in between would leave files that no record
// names. So before the first file moves, the records as they will be and
// every rename are written to a journal beside the library. A reader that
// starts on the library finishes the renames that did not happen, takes the
// records in, writes the library and only then removes the journal.

#include "notes/PaperNote.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace folvan::notes {

// One rename of a side file: the file at `from`, with these file numbers
// when they were known, goes to `to`.
struct PlannedRename {
    QString from;
    QString to;
    std::optional<QString> identity;

    friend bool operator==(const PlannedRename &, const PlannedRename &) = default;
};

struct SettlingJournal {
    QList<NotePaper> papers; // as they are once the renames are done
    QList<PlannedRename> renames;

    bool isEmpty() const { return papers.isEmpty() && renames.isEmpty(); }
    // Adds a later settling: its records replace those of the same paper.
    void add(const QList<NotePaper> &records, const QList<PlannedRename> &moves);
};

QByteArray encodeSettlingJournal(const SettlingJournal &journal);
// Nothing when the bytes do not read as a journal.
std::optional<SettlingJournal> decodeSettlingJournal(const QByteArray &bytes);

// Carries out the renames of `journal` that did not happen yet: those whose
// file is still at `from` (the very file, when its numbers were kept) while
// nothing lies at `to`. A rename done before, or one whose file someone
// moved since, is left alone.
void finishRenames(const SettlingJournal &journal);

} // namespace folvan::notes
