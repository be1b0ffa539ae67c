#pragma once

// The one radio of the application as the pane's headers see it: whether it
// plays, and a switch. The application gives every pane the shared player
// through this interface.

#include <QObject>

namespace folvan::window {

class PaneRadio : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isPlaying() const = 0;
    virtual void toggle() = 0;
    // Why the stream cannot be played, once the player has said so; empty
    // otherwise. The switch stays as the reader set it.
    virtual QString streamError() const { return QString(); }

signals:
    void isPlayingChanged(bool playing);
    void streamErrorChanged();
};

} // namespace folvan::window
