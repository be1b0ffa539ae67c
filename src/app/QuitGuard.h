#pragma once

// Before the program quits, the stores write what they hold; when some of
// it still cannot be written (a notes library that could not be read, a
// folder that refuses writing), the reader is told what would be lost and
// may stay to copy it out.

#include <QStringList>

#include <functional>

class QWidget;

namespace folvan::app {

// Asks the reader whether to quit although the changes named cannot be
// written; true quits. The program's own asks with an alert.
using QuitQuestion = std::function<bool(const QStringList &unsaved, QWidget *parent)>;

// Replaces the question (tests); an empty one restores the alert.
void setQuitQuestion(QuitQuestion question);

// The program ends on a termination request: nobody is there to answer,
// so from now on mayQuit() writes and never asks.
void quitWithoutQuestion();

// Writes every store now and, when something is still unwritten that the
// reader was not told of, asks. True when the program may quit; the
// changes told of are then not named again at the end. A read-only reader
// (another one holds the data folder) writes what it holds first, merged
// with the other's; it stays read-only when it does not quit after all.
bool mayQuit(QWidget *parent);

} // namespace folvan::app
