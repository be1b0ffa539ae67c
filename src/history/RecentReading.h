#pragma once

#include "history/DocumentReadingState.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

namespace folvan::history {

// One record of the reading history: which file, its viewing state and when
// it was last opened.
struct RecentReading {
    QUuid id;                              // kept when the same paper is recorded again
    QString path;                          // standardized path when last opened or relocated
    std::optional<QByteArray> bookmark;    // opaque file locator, kept as read
    std::optional<QString> fileIdentity;   // "filesystem:file" numbers of the file
    // Tells the file apart from a later one given the same numbers
    // (platform::fileFingerprint); an added key that other readers ignore.
    std::optional<QString> fileFingerprint;
    DocumentReadingState state;            // stored normalized with no page limit
    double openedAt = 0;                   // seconds since 2001-01-01 00:00:00 UTC

    friend bool operator==(const RecentReading &, const RecentReading &) = default;
};

// The history file's form: a compact JSON array of record objects, newest
// first. Absent optionals are left out. Fails (with *error) on a number that
// is not finite.
bool encodeReadingHistory(const QList<RecentReading> &records, QByteArray *out, QString *error);

// Reads the whole array. One record that is not complete makes the whole
// text unreadable: the result is then absent and *error describes why.
std::optional<QList<RecentReading>> decodeReadingHistory(const QByteArray &data, QString *error);

} // namespace folvan::history

Q_DECLARE_METATYPE(folvan::history::RecentReading)
