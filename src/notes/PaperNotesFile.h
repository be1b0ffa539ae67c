#pragma once

// The top level of paper-notes-v1.json. Only PaperNotesStore reads and
// writes it.

#include "notes/PaperNote.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace folvan::notes {

struct PaperNotesFile {
    std::int64_t version = 1;
    QList<NotePaper> papers;
    QList<PaperNote> notes;          // trashed notes included
    bool legacyImported = false;     // the older notes pad was taken over
};

// The file's bytes in the stored form (version 1 whatever `file` holds).
// False with the error text when a value cannot be stored (a number that
// is not finite).
bool encodePaperNotesFile(const PaperNotesFile &file, QByteArray *out, QString *error);

// Reads the whole library or nothing: a syntax error, a missing required
// key, a value of the wrong type or a version other than 1 gives nullopt
// with the error text. `fileName` names the file in that text.
std::optional<PaperNotesFile> decodePaperNotesFile(const QByteArray &bytes, const QString &fileName,
                                                   QString *error);

} // namespace folvan::notes
