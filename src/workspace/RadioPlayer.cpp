#include "workspace/RadioPlayer.h"

#include <QAudioOutput>
#include <QMediaPlayer>

#ifndef FOLVAN_RADIO_STREAM_HOST
#define FOLVAN_RADIO_STREAM_HOST "radio.folvan.app"
#endif

namespace folvan::workspace {

RadioPlayer &RadioPlayer::shared()
{
    static RadioPlayer *instance = new RadioPlayer(defaultStreamUrl());
    return *instance;
}

QUrl RadioPlayer::defaultStreamUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QStringLiteral(FOLVAN_RADIO_STREAM_HOST));
    url.setPath(QStringLiteral("/listen/music/radio.mp3"));
    return url;
}

RadioPlayer::RadioPlayer(const QUrl &streamUrl)
    : m_streamUrl(streamUrl)
{
}

RadioPlayer::~RadioPlayer()
{
    dropPlayer();
}

void RadioPlayer::dropPlayer()
{
    if (m_player)
        m_player->stop();
    delete m_player;
    delete m_output;
    m_player = nullptr;
    m_output = nullptr;
}

void RadioPlayer::toggle()
{
    setStreamError(QString());
    if (m_isPlaying) {
        if (m_player)
            m_player->pause();
        dropPlayer();
        m_isPlaying = false;
        emit isPlayingChanged(false);
        return;
    }
    dropPlayer();
    m_player = new QMediaPlayer;
    m_output = new QAudioOutput;
    m_player->setAudioOutput(m_output);
    // The switch stays on: only the first error of this playback is told.
    QMediaPlayer *player = m_player;
    connect(player, &QMediaPlayer::errorOccurred, this, [this, player](QMediaPlayer::Error, const QString &text) {
        if (player == m_player && m_isPlaying && m_streamError.isEmpty())
            setStreamError(text.isEmpty() ? QStringLiteral("未知错误") : text);
    });
    m_player->setSource(m_streamUrl);
    m_player->play();
    m_isPlaying = true;
    emit isPlayingChanged(true);
}

void RadioPlayer::setStreamError(const QString &error)
{
    if (error == m_streamError)
        return;
    m_streamError = error;
    emit streamErrorChanged(error);
}

} // namespace folvan::workspace
