#pragma once

// Merging a store's list of records with the list another reader wrote to
// the same file meanwhile (writeStoredFile said Changed).

#include <QHash>

#include <cstddef>
#include <utility>

namespace folvan::platform {

// The three-way merge of lists of records that each carry an identifier:
// `base` is the list the store last read or wrote, `mine` what it holds
// now, `theirs` what the file holds now. A record changed on one side only
// takes that side's change; one changed on both sides is
// `bothChanged(mine, theirs)`; one added on either side is kept; one
// removed on one side is removed, unless the other side changed it since.
// Records come in `mine`'s order, those only `theirs` has after them in
// theirs' order.
template <typename List, typename IdOf, typename BothChanged>
List mergeRecords(const List &base, const List &mine, const List &theirs, IdOf idOf,
                  BothChanged bothChanged)
{
    using Id = std::decay_t<decltype(idOf(*mine.begin()))>;
    const auto index = [&idOf](const List &list) {
        QHash<Id, std::size_t> positions;
        positions.reserve(qsizetype(list.size()));
        std::size_t i = 0;
        for (const auto &record : list)
            positions.insert(idOf(record), i++);
        return positions;
    };
    const QHash<Id, std::size_t> inBase = index(base);
    const QHash<Id, std::size_t> inTheirs = index(theirs);
    const auto unchangedSinceBase = [&](const auto &record) {
        const auto at = inBase.constFind(idOf(record));
        return at != inBase.constEnd() && base[*at] == record;
    };

    List merged;
    QHash<Id, bool> taken;
    for (const auto &record : mine) {
        const Id id = idOf(record);
        if (taken.contains(id))
            continue;
        taken.insert(id, true);
        const auto their = inTheirs.constFind(id);
        if (their != inTheirs.constEnd()) {
            const auto &other = theirs[*their];
            if (other == record || unchangedSinceBase(other))
                merged.push_back(record);
            else if (unchangedSinceBase(record))
                merged.push_back(other);
            else
                merged.push_back(bothChanged(record, other));
        } else if (!unchangedSinceBase(record)) {
            // New here, or changed here after the other side removed it.
            merged.push_back(record);
        }
    }
    for (const auto &other : theirs) {
        const Id id = idOf(other);
        if (taken.contains(id))
            continue;
        taken.insert(id, true);
        // New there, or changed there after this side removed it.
        if (!unchangedSinceBase(other))
            merged.push_back(other);
    }
    return merged;
}

} // namespace folvan::platform
