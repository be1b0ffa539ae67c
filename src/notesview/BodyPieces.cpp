#include "notesview/BodyPieces.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace folvan::notesview {

namespace {

// What the text editor takes as the end of a paragraph when it is given a
// text ("\r\n" counts once).
bool endsParagraph(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator
        || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

// Where a piece starting at `from` of a line ending at `end` is cut: after
// the last space of its second half, otherwise at its length, never
// between the halves of a surrogate pair or before a combining mark.
qsizetype pieceEnd(const QString &text, qsizetype from, qsizetype end)
{
    const qsizetype longest = from + kPieceLength;
    if (end <= longest)
        return end;
    for (qsizetype at = longest; at > from + kPieceLength / 2; --at) {
        if (text.at(at - 1).isSpace())
            return at;
    }
    qsizetype at = longest;
    while (at > from + 1 && (text.at(at).isLowSurrogate() || text.at(at).isMark()))
        --at;
    return at;
}

} // namespace

ShownBody shownBody(const QString &body)
{
    ShownBody shown;
    QString &text = shown.text;
    text.reserve(body.size() + body.size() / kPieceLength + 1);
    qsizetype at = 0;
    while (at <= body.size()) {
        qsizetype end = at;
        while (end < body.size() && !endsParagraph(body.at(end)))
            ++end;
        for (qsizetype from = at; from < end;) {
            const qsizetype cut = pieceEnd(body, from, end);
            text.append(QStringView(body).sliced(from, cut - from));
            if (cut < end) {
                shown.breaks.append(int(text.size()));
                text.append(QLatin1Char('\n'));
            }
            from = cut;
        }
        if (end == body.size())
            break;
        text.append(QLatin1Char('\n'));
        at = end + 1;
        if (body.at(end) == QLatin1Char('\r') && at < body.size() && body.at(at) == QLatin1Char('\n'))
            ++at;
    }
    return shown;
}

QString storedBody(QStringView shown, const QList<int> &breaks)
{
    QString body;
    body.reserve(shown.size());
    qsizetype from = 0;
    for (const int at : breaks) {
        // Only a paragraph end is ever left out.
        if (at < from || at >= shown.size() || !endsParagraph(shown.at(at)))
            continue;
        body.append(shown.sliced(from, at - from));
        from = at + 1;
    }
    body.append(shown.sliced(from));
    body.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return body;
}

BodyPieces::BodyPieces(QPlainTextEdit *editor)
    : QObject(editor)
    , m_editor(editor)
{
    QTextDocument *document = editor->document();
    // A new step of the undo history is added before its change is told.
    connect(document, &QTextDocument::undoCommandAdded, this, [this] { m_commandAdded = true; });
    connect(document, &QTextDocument::contentsChange, this, &BodyPieces::follow);
}

void BodyPieces::show(const QString &body)
{
    ShownBody shown = shownBody(body);
    m_showing = true;
    m_editor->setPlainText(shown.text);
    m_showing = false;
    m_body = storedBody(shown.text, shown.breaks);
    m_breaks = std::move(shown.breaks);
    m_steps = m_editor->document()->availableUndoSteps();
    m_history = QList<QList<int>>(m_steps + 1);
    m_history[m_steps] = m_breaks;
    m_commandAdded = false;
}

QString BodyPieces::body() const
{
    return m_body;
}

// The text of the document from `from` to `to`, as stored: without the
// breaks between pieces, "\n" between paragraphs.
QString BodyPieces::bodyText(int from, int to) const
{
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    const auto first = std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), from);
    for (auto at = std::lower_bound(first, m_breaks.cend(), to); at != first;) {
        --at;
        text.remove(*at - from, 1);
    }
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// Each change is carried into the body as it is told, so that a keystroke
// costs the same in a body of any length.
void BodyPieces::follow(int position, int removed, int added)
{
    if (m_showing)
        return;
    QTextDocument *document = m_editor->document();
    const int steps = document->availableUndoSteps();
    const int end = std::min(position + added, document->characterCount() - 1);
    // Where the change lies in the body: the breaks before it are not there.
    const auto gone = std::lower_bound(m_breaks.begin(), m_breaks.end(), position);
    const auto goneEnd = std::lower_bound(gone, m_breaks.end(), position + removed);
    const qsizetype bodyAt = position - (gone - m_breaks.begin());
    const qsizetype bodyRemoved = removed - (goneEnd - gone);
    // A change of formats alone is told as the same text removed and put
    // back: no edit.
    const bool undoOrRedo = !m_commandAdded && steps != m_steps;
    if (!undoOrRedo && removed == added && end == position + added
        && QStringView(m_body).mid(bodyAt, bodyRemoved) == bodyText(position, end)) {
        m_commandAdded = false;
        return;
    }
    if (undoOrRedo) {
        // The document is as it was after that step.
        m_breaks = m_history.value(steps);
    } else {
        // An edit: breaks in what it removed are gone, those after it move.
        // What it adds is the reader's own, line breaks included.
        const auto kept = m_breaks.erase(gone, goneEnd);
        for (auto at = kept; at != m_breaks.end(); ++at)
            *at += added - removed;
        m_history.resize(steps + 1);
        m_history[steps] = m_breaks;
    }
    m_steps = steps;
    m_commandAdded = false;

    // What the change put in, without the breaks now in it.
    m_body.replace(bodyAt, bodyRemoved, bodyText(std::min(position, end), end));
    // Told otherwise than it happened (the document's last paragraph end
    // counts in some changes): the body is read whole.
    if (m_body.size() + m_breaks.size() != document->characterCount() - 1)
        m_body = storedBody(document->toRawText(), m_breaks);
}

} // namespace folvan::notesview
