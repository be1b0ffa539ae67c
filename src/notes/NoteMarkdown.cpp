// A note as a short Markdown document: heading, source line, quoted
// passages, body.

#include "notes/PaperNotesStore.h"

namespace folvan::notes {

QString PaperNotesStore::markdown(const PaperNote &note) const
{
    ensureLoaded();
    const QString heading = note.title.trimmed();
    QString text = QStringLiteral("# ") + (heading.isEmpty() ? QStringLiteral("未命名笔记") : heading);

    const std::optional<NotePaper> record = paper(note.paperID);
    text += QStringLiteral("\n\n来源：")
        + (record ? record->title : QStringLiteral("旧版笔记 · 来源未记录"));
    if (note.page) {
        // One-based; counted unsigned so that the largest index does not
        // overflow.
        const std::int64_t page = *note.page;
        const QString number = page >= 0 ? QString::number(static_cast<quint64>(page) + 1)
                                         : QString::number(page + 1);
        text += QStringLiteral(" · PDF 第 %1 页").arg(number);
    }

    if (note.sources && !note.sources->empty()) {
        QStringList passages;
        for (const model::ReadingTextSource &source : *note.sources) {
            QString quote = source.quote;
            passages.append(QStringLiteral("> ") + quote.replace(QLatin1Char('\n'), QStringLiteral("\n> ")));
        }
        text += QStringLiteral("\n\n") + passages.join(QStringLiteral("\n> \n"));
    }

    text += QStringLiteral("\n\n") + note.body + QLatin1Char('\n');
    return text;
}

} // namespace folvan::notes
