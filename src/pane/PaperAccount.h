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
// path, file identity, fingerprint and the first string of the PDF's /ID,
// looking them up by name, file numbers and /ID:
//
// - the file at a name is first the paper some record knows by its file
//   numbers and birth time (written over in place, put back from the
//   trash, renamed, moved or swapped outside the reader); only a file no
//   record knows so is taken for the name's paper saved anew (the same
//   /ID, or none), or for a newcomer;
// - the files of a paper whose file now lies elsewhere (in its folder, or
//   at the name opened) go to that name, never into another paper's marks;
// - the files of a paper found nowhere are set aside with their bytes
//   (NAME.away-...), named in its record, and come back to it when its file
//   turns up again, or, its file being at none of its names, a file with
//   its /ID does;
// - two names of one file (a hard link, a bind mount) have a record each.
//
// A settling writes what it is about to do (SettlingJournal.h) before the
// first file moves, so that a reader killed at any moment leaves nothing
// that no record names. One that cannot write it (a read-only reader, a
// library that does not read or cannot be written) moves nothing: it only
// says where the paper's marks lie, to be read there and written once a
// later settling succeeds. Main thread only.

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <functional>
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

// What the account says of a paper being opened.
struct PaperOpening {
    // The identifier of its record.
    QUuid id;
    // The side files under its name are its own. When not, nothing could
    // be moved: the paper's marks are read from the files below (empty:
    // it has none), its place from the history record under `readingFrom`
    // or `page`, and nothing is written under its name until a settling
    // succeeds.
    bool settled = true;
    QString annotationsFrom;
    QString bookmarksFrom;
    QString readingFrom;
    std::optional<qint64> page;
};

class PaperAccount {
public:
    // Over the notes library's paper records, the reading history and the
    // preferences ("lastPage_"), for the side files in `annotationFolder`.
    PaperAccount(notes::PaperNotesStore &papers, history::ReadingHistory &history, platform::Preferences &defaults,
                 QString annotationFolder);

    // The file at `path`, whose /ID starts with `firstIdentifier` (empty
    // when it has none), is about to be read: the side files under its name
    // become its own. A paper never seen gets a new record, with the
    // identifier `heldAs` when given (the one it was shown under while its
    // settling could not be done).
    PaperOpening opening(const QString &path, const QByteArray &firstIdentifier,
                         const std::optional<QUuid> &heldAs = std::nullopt);
    // The reader renamed or moved the paper of `recordID` (or the one at
    // `from`) to `to`; the file is there already. Whatever another paper
    // keeps under `to` goes to that paper, or is set aside; the paper's own
    // files follow it, with its record and stored page. False when that
    // could not be done: nothing moved, and its files stay under `from`.
    // `id` is set to the record's identifier.
    bool relocating(const std::optional<QUuid> &recordID, const QString &from, const QString &to, QUuid *id);
    // The paper at `path` went to the trash: its files are set aside for it
    // and its history record is forgotten (nothing moves when the account
    // cannot be written).
    void wentAway(const QString &path);
    // The file at `path` was written over by the reader with another
    // version of the paper (`firstIdentifier` of its /ID): it stays the
    // paper's, under its new identity.
    void replaced(const QString &path, const QByteArray &firstIdentifier);

    // The annotation and bookmark files of a path (standardized or not).
    QString annotationFile(const QString &path) const;
    QString bookmarkFile(const QString &path) const;

    // For tests of a reader killed in the middle of a settling: `probe`
    // runs before a settling's first file operation and after each (the
    // journal's write, every rename). Empty: none.
    static void setFileOperationProbe(std::function<void()> probe);

private:
    class Settlement;

    notes::PaperNotesStore &m_papers;
    history::ReadingHistory &m_history;
    platform::Preferences &m_defaults;
    QString m_folder;
};

} // namespace folvan::pane
