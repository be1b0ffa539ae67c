#pragma once

// Whose side files lie under a paper's name, decided in one place.
//
// A paper's marks (its annotation and bookmark files, named after the hash
// of its path), its stored page (its reading-history record and the older
// "lastPage_" key) and its notes record (which its notes and its reflow
// corrections hang on) are kept under the path it was read at. Papers get
// renamed, moved, deleted, swapped and replaced behind the reader's back,
// so before any of these is read or written for a path, the account settles
// whose they are. It asks the paper records of the notes library, which know
// every paper the reader has opened (not only the history's last hundred) by
// path, file identity, fingerprint and the first string of the PDF's /ID:
//
// - the files of the file at the name are used as they are;
// - the files of a paper whose file now lies elsewhere (in its folder, or
//   under another name the account knows) go to that name, never into the
//   marks another paper keeps there;
// - the files of a paper found nowhere are set aside with their bytes
//   (NAME.away-...), named in its record, and come back to it when it is
//   opened again from wherever it is then;
// - a name no record holds, or a record written without a fingerprint, is
//   taken as it is, as a file saved anew in place (same /ID, or none) is.
//
// The reader's own operations (rename, move to any drive, trash, replace)
// tell the account what they did. A reader that may not write the data
// folder leaves everything as it lies. Main thread only.

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>

namespace folvan::history {
class ReadingHistory;
}
namespace folvan::notes {
class PaperNotesStore;
}
namespace folvan::platform {
class Preferences;
}

namespace folvan::pane {

class PaperAccount {
public:
    // Over the notes library's paper records, the reading history and the
    // preferences ("lastPage_"), for the side files in `annotationFolder`.
    PaperAccount(notes::PaperNotesStore &papers, history::ReadingHistory &history, platform::Preferences &defaults,
                 QString annotationFolder);

    // The file at `path`, whose /ID starts with `firstIdentifier` (empty
    // when it has none), is about to be read: the side files under its name
    // become its own. The identifier of its record (a new one for a paper
    // never seen).
    QUuid opening(const QString &path, const QByteArray &firstIdentifier);
    // The reader is about to give the paper of `recordID` the name `path`
    // (the file is already there): whatever another paper keeps under that
    // name goes to that paper, or is set aside.
    void makeRoom(const QString &path, const std::optional<QUuid> &recordID);
    // The reader renamed or moved the paper of `recordID` from `from` to
    // `to`, and wrote its marks anew at `to`, unless a save failed
    // (`markupsSaved`, `bookmarksSaved`): the record follows the file, on
    // any drive, with its stored page; the files at `from` are set aside
    // (NAME.moved-...), or, where the save failed, kept as the paper's own
    // until a later open hands them over. The record's identifier.
    QUuid relocated(const std::optional<QUuid> &recordID, const QString &from, const QString &to, bool markupsSaved,
                    bool bookmarksSaved);
    // The paper at `path` went to the trash: its files are set aside for it
    // and its history record is forgotten.
    void wentAway(const QString &path);
    // The file at `path` was written over by the reader with another
    // version of the paper (`firstIdentifier` of its /ID): it stays the
    // paper's, under its new identity.
    void replaced(const QString &path, const QByteArray &firstIdentifier);

    // The annotation and bookmark files of a path (standardized or not).
    QString annotationFile(const QString &path) const;
    QString bookmarkFile(const QString &path) const;

private:
    class Settlement;

    notes::PaperNotesStore &m_papers;
    history::ReadingHistory &m_history;
    platform::Preferences &m_defaults;
    QString m_folder;
};

} // namespace folvan::pane
