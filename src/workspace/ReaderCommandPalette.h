#pragma once

#include "pane/ReaderActions.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QFrame>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace folvan::workspace {

// The command palette: a small sheet over one pane that finds a command by
// part of its title or identifier and runs it on that pane's record. A
// chosen command runs 0.15 s after the palette closes; a disabled one does
// nothing and the palette stays open. Escape closes it without running
// anything.
class ReaderCommandPalette : public QFrame {
    Q_OBJECT
public:
    static constexpr double kRunDelaySeconds = 0.15;

    ReaderCommandPalette(pane::ReaderActions reader, std::function<void()> dismiss,
                         QWidget *parent = nullptr);

    // The rows listed for `query`: every row but the palette's own, in table
    // order, whose "title identifier" text holds the trimmed query, letter
    // case ignored. Disabled rows stay listed.
    static std::vector<ReaderCommand> matches(const QString &query);

    QString query() const;
    void setQuery(const QString &query);
    // The rows shown for the current query.
    std::vector<ReaderCommand> currentMatches() const { return matches(query()); }

    // Runs one row: when it is enabled, closes the palette and performs the
    // row on the record 0.15 s later (the rule is checked again then).
    void run(const ReaderCommand &row);
    // The Return key: runs the first enabled row of the list, if any.
    void submit();

    QLineEdit *searchField() const { return m_field; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rebuildRows();

    pane::ReaderActions m_reader;
    std::function<void()> m_dismiss;
    QLineEdit *m_field;
    QWidget *m_rows;
    QVBoxLayout *m_rowsLayout;
};

} // namespace folvan::workspace
