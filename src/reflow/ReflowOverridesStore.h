#pragma once

// The reader's reflow corrections of one paper: the blocks of the reflow
// page to be shown as cut-outs of the page image instead of reflowed text.
// Kept as a sorted JSON array of block identifiers in Folvan/Reflow/<paper
// UUID>.json; every write is announced so that another pane showing the
// same paper takes it in. A write never goes over marks it did not read:
// what another reader wrote meanwhile is merged in. While another reader
// holds the data folder, the marks are kept in memory, for every pane of
// the paper, and written once this reader may write. Main thread only.

#include "platform/StoredFiles.h"

#include <QString>
#include <QUuid>
#include <QVariantMap>

#include <memory>
#include <set>

namespace folvan::reflow {

// Posted after a corrections file was written: its path, and the session
// of the store that wrote it (null when the file was written for no store,
// as what was held back is).
struct ReflowOverridesChanged {
    QString file;
    QUuid session;
    static QString name() { return QStringLiteral("Folvan.reflowOverridesChanged"); }
};

class ReflowOverridesStore {
public:
    static constexpr int maxKeys = 5000;

    // A store for one paper, its file in `directory` (the data folder's
    // "Reflow" folder when empty). A file that cannot be read is left as it
    // is and makes the store read-only for its whole life.
    explicit ReflowOverridesStore(const QUuid &paperID, const QString &directory = {});
    // A store for a paper that has no lasting identifier now (the notes
    // library cannot be read): no file is read or written for it; what is
    // marked is kept in memory, under the paper's file `document`, for the
    // rest of the run and shown by each of its panes, and error() says so.
    static std::unique_ptr<ReflowOverridesStore> unnamed(const QString &document);

    // The paper `dropped` became `kept` (its records were joined): the
    // marks of the dropped paper's file, and those held back for it, join
    // the kept paper's, and the dropped file goes once they are written
    // there. An unreadable file is left as it is.
    static void joinPapers(const QUuid &dropped, const QUuid &kept, const QString &directory = {});

    QUuid sessionID() const { return m_sessionID; }
    QString file() const { return m_file; }
    const std::set<QString> &keys() const { return m_keys; }
    // The last failure, for the reader; empty after a success.
    const QString &error() const { return m_error; }
    bool writable() const { return m_writable; }

    // Marks (original true) or unmarks one block, writes the file even when
    // nothing changed and announces the change. False, with nothing
    // changed, on a read-only store, a malformed identifier, more than
    // maxKeys marks or a failed write. Marks another reader wrote meanwhile
    // are kept (and shown); a file it left unreadable is not written over,
    // as in refresh. While the data folder is held elsewhere the change is
    // kept, not written, and counts as made.
    bool set(const QString &key, bool original);
    // Takes in a change that another store wrote to this store's file.
    // True when the file was read again.
    bool refresh(const ReflowOverridesChanged &change);

    // Two numbers of 1 to 5 digits and eight lower-case hexadecimal digits,
    // joined by colons; at most 80 characters.
    static bool valid(const QString &key);

private:
    ReflowOverridesStore() = default;
    // The valid identifiers of the file and its version; false when it
    // cannot be read or is not an array of strings.
    bool read(std::set<QString> *keys, platform::StoredFileVersion *version) const;
    // Takes what this reader holds back for the file, when it holds any.
    bool takeHeldBack();

    QUuid m_sessionID = QUuid::createUuid();
    QString m_file;
    // The paper's file, for an unnamed store (then m_file is empty).
    QString m_document;
    std::set<QString> m_keys;
    // The file as this store last read or wrote it.
    std::set<QString> m_base;
    platform::StoredFileVersion m_seen;
    QString m_error;
    bool m_writable = true;
};

} // namespace folvan::reflow
