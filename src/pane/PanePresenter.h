#pragma once

// How a pane puts its alerts, its confirmation and its file panels on the
// screen. The pane's controller asks through these interfaces so that the
// widget showing the pane (or a test) decides how they look.

#include <QString>
#include <QUrl>

#include <optional>

namespace folvan::pane {

class PanePresenter {
public:
    virtual ~PanePresenter() = default;
    // The pane's failure alert: a title, the message and one button.
    virtual void showAlert(const QString &title, const QString &message, const QString &button) = 0;
    // A destructive confirmation; true when the user confirmed.
    virtual bool confirm(const QString &title, const QString &message, const QString &confirmButton,
                         const QString &cancelButton) = 0;
};

class PaneFileChooser {
public:
    virtual ~PaneFileChooser() = default;
    // One PDF file (the extension in any letter case), starting in
    // `startFolder` when it is set; none when cancelled.
    virtual std::optional<QUrl> choosePDF(const QUrl &startFolder) = 0;
    // One folder, with a message and a prompt for the confirming button.
    virtual std::optional<QUrl> chooseFolder(const QString &message, const QString &prompt,
                                             const QUrl &startFolder) = 0;
};

} // namespace folvan::pane
