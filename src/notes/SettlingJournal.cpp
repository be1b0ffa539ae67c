#include "notes/SettlingJournal.h"

#include "platform/FileIdentity.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"

#include <QFileInfo>

#include <algorithm>

namespace folvan::notes {

void SettlingJournal::add(const QList<NotePaper> &records, const QList<PlannedRename> &moves)
{
    for (const NotePaper &record : records) {
        const auto same = std::find_if(papers.begin(), papers.end(),
                                       [&record](const NotePaper &kept) { return kept.id == record.id; });
        if (same == papers.end())
            papers.append(record);
        else
            *same = record;
    }
    renames += moves;
}

QByteArray encodeSettlingJournal(const SettlingJournal &journal)
{
    platform::json top = platform::json::object();
    top["version"] = 1;
    platform::json papers = platform::json::array();
    for (const NotePaper &paper : journal.papers)
        papers.push_back(paper);
    top["papers"] = std::move(papers);
    platform::json renames = platform::json::array();
    for (const PlannedRename &rename : journal.renames) {
        platform::json entry = platform::json::object();
        entry["from"] = platform::utf8(rename.from);
        entry["to"] = platform::utf8(rename.to);
        platform::setOptional(entry, "identity", rename.identity);
        renames.push_back(std::move(entry));
    }
    top["renames"] = std::move(renames);
    return platform::encodeStoredJson(top);
}

std::optional<SettlingJournal> decodeSettlingJournal(const QByteArray &bytes)
{
    const std::optional<platform::json> parsed = platform::decodeStoredJson(bytes);
    if (!parsed)
        return std::nullopt;
    SettlingJournal journal;
    try {
        if (platform::readRequired<std::int64_t>(*parsed, "version") != 1)
            return std::nullopt;
        for (const platform::json &paper : platform::readArray(
                 platform::requiredMember(*parsed, "papers", platform::JsonKind::Array), "papers"))
            journal.papers.append(paper.get<NotePaper>());
        for (const platform::json &entry : platform::readArray(
                 platform::requiredMember(*parsed, "renames", platform::JsonKind::Array), "renames")) {
            PlannedRename rename;
            rename.from = platform::readRequired<QString>(entry, "from");
            rename.to = platform::readRequired<QString>(entry, "to");
            rename.identity = platform::readOptional<QString>(entry, "identity");
            journal.renames.append(rename);
        }
    } catch (const std::exception &) {
        return std::nullopt;
    }
    return journal;
}

void finishRenames(const SettlingJournal &journal)
{
    for (const PlannedRename &rename : journal.renames) {
        if (!QFileInfo::exists(rename.from) || QFileInfo::exists(rename.to))
            continue;
        if (rename.identity && platform::fileIdentity(rename.from) != rename.identity)
            continue;
        platform::renameWithoutReplacing(rename.from, rename.to);
    }
}

} // namespace folvan::notes
