#include "notes/PaperNotesFile.h"

#include "platform/StoredJson.h"

namespace folvan::notes {

namespace {

template <typename Record>
QList<Record> readList(const platform::json &object, const char *key)
{
    const platform::json &value =
        platform::readArray(platform::requiredMember(object, key, platform::JsonKind::Array), key);
    QList<Record> records;
    records.reserve(qsizetype(value.size()));
    for (const platform::json &element : value)
        records.append(element.get<Record>());
    return records;
}

QString unreadableData(const QString &detail)
{
    return platform::unreadableDataText(detail);
}

} // namespace

bool encodePaperNotesFile(const PaperNotesFile &file, QByteArray *out, QString *error)
{
    platform::json top = platform::json::object();
    top["version"] = 1;
    platform::json papers = platform::json::array();
    for (const NotePaper &paper : file.papers)
        papers.push_back(paper);
    top["papers"] = std::move(papers);
    platform::json notes = platform::json::array();
    for (const PaperNote &note : file.notes)
        notes.push_back(note);
    top["notes"] = std::move(notes);
    top["legacyImported"] = file.legacyImported;
    return platform::encodeStoredJson(top, out, error);
}

std::optional<PaperNotesFile> decodePaperNotesFile(const QByteArray &bytes, const QString &fileName,
                                                   QString *error)
{
    QString syntaxError;
    const std::optional<platform::json> parsed = platform::decodeStoredJson(bytes, &syntaxError);
    if (!parsed) {
        if (error)
            *error = unreadableData(syntaxError);
        return std::nullopt;
    }
    PaperNotesFile file;
    try {
        const platform::json &top = *parsed;
        file.version = platform::readRequired<std::int64_t>(top, "version");
        file.papers = readList<NotePaper>(top, "papers");
        file.notes = readList<PaperNote>(top, "notes");
        file.legacyImported = platform::readRequired<bool>(top, "legacyImported");
    } catch (const std::exception &e) {
        if (error)
            *error = unreadableData(platform::jsonErrorText(e.what()));
        return std::nullopt;
    }
    if (file.version != 1) {
        if (error)
            *error = QStringLiteral("未能打开文件“%1”，因为它的格式不正确。").arg(fileName);
        return std::nullopt;
    }
    return file;
}

} // namespace folvan::notes
