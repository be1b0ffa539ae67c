#pragma once

#include <QObject>
#include <QUrl>


class QAudioOutput;
class QMediaPlayer;

namespace folvan::workspace {

// The one radio of the application: an MP3 stream played as background
// sound. `isPlaying` is the user's switch, not the stream's condition: it is
// on from the moment playback is asked for, while the stream buffers, stalls
// or fails, until the next toggle().
class RadioPlayer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
public:
    // The process-wide player, made on first use. Its stream lives at
    // "/listen/music/radio.mp3" on the host set when the program was built.
    static RadioPlayer &shared();
    static QUrl defaultStreamUrl();

    ~RadioPlayer() override;

    bool isPlaying() const { return m_isPlaying; }
    // What the player said of the first error of the current playback;
    // empty while it has reported none. The next toggle() clears it.
    QString streamError() const { return m_streamError; }
    QUrl streamUrl() const { return m_streamUrl; }
    // Points the next start at another stream (tests play a local one).
    void setStreamUrlForTesting(const QUrl &url) { m_streamUrl = url; }
    // The platform player of the current playback; null while stopped.
    QMediaPlayer *player() const { return m_player; }

    // Off: stops and drops the player. On: a new player on the stream,
    // playing; a stopped player is never resumed.
    void toggle();

signals:
    void isPlayingChanged(bool playing);
    void streamErrorChanged(const QString &error);

private:
    void setStreamError(const QString &error);

    explicit RadioPlayer(const QUrl &streamUrl);
    void dropPlayer();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    bool m_isPlaying = false;
    QString m_streamError;
    QUrl m_streamUrl;
};

} // namespace folvan::workspace
