#pragma once

// A note's body as its editor holds it. The text editor lays each paragraph
// out whole, in a time that grows with the square of its length where the
// line has no break points: one line of a megabyte would freeze the window
// for minutes. So a line longer than kPieceLength is shown in pieces, each a
// paragraph of its own, broken after a space where there is one. The breaks
// between the pieces belong to the editor alone: they are left out whenever
// the body is read back, so showing a note never changes its stored text.

#include <QList>
#include <QObject>
#include <QString>

class QPlainTextEdit;

namespace folvan::notesview {

inline constexpr qsizetype kPieceLength = 4000;

// A body as the editor shows it: its text, with each line break the editor
// itself makes ("\r\n", "\r", U+2029) as "\n", and the ascending positions
// in it of the breaks put in between pieces.
struct ShownBody {
    QString text;
    QList<int> breaks;
};
ShownBody shownBody(const QString &body);
// The body that `shown` (a document's raw text: U+2029 or "\n" between
// paragraphs) holds, without the breaks at `breaks`.
QString storedBody(QStringView shown, const QList<int> &breaks);

// Keeps the piece breaks of an editor's document through its edits, undos
// and redos.
class BodyPieces : public QObject {
    Q_OBJECT
public:
    explicit BodyPieces(QPlainTextEdit *editor);

    // Shows `body` in the editor, with a fresh undo history.
    void show(const QString &body);
    // The body the editor holds now, kept up to date with every change.
    QString body() const;

private:
    void follow(int position, int removed, int added);
    QString bodyText(int from, int to) const;

    QPlainTextEdit *m_editor;
    // The body as stored, and the places of the breaks in the editor's text.
    QString m_body;
    QList<int> m_breaks;
    // The breaks after each step of the document's undo history, so that
    // an undo or a redo takes back the breaks of that step.
    QList<QList<int>> m_history;
    int m_steps = 0;
    bool m_commandAdded = false;
    bool m_showing = false;
};

} // namespace folvan::notesview
