#include "workspace/RadioPlayer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using folvan::workspace::RadioPlayer;

namespace {

// A loopback HTTP server that records the paths asked of it and answers
// with an empty MP3-typed body.
struct LoopbackStream : QObject {
    LoopbackStream()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    paths.append(QString::fromLatin1(socket->readAll().split(' ').value(1)));
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: 0\r\n"
                                  "Connection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
        });
    }
    QTcpServer server;
    QStringList paths;
};

TEST(RadioPlayerTest, TogglingSwitchesOnWithAFreshPlayerAndOffWithoutOne)
{
    const QUrl stream = RadioPlayer::defaultStreamUrl();
    EXPECT_EQ(stream.scheme(), QStringLiteral("https"));
    EXPECT_FALSE(stream.host().isEmpty());

    LoopbackStream loopback;
    QUrl local = stream;
    local.setScheme(QStringLiteral("http"));
    local.setHost(QStringLiteral("127.0.0.1"));
    local.setPort(loopback.server.serverPort());
    RadioPlayer &radio = RadioPlayer::shared();
    radio.setStreamUrlForTesting(local);
    ASSERT_FALSE(radio.isPlaying());
    QSignalSpy changes(&radio, &RadioPlayer::isPlayingChanged);

    radio.toggle();
    EXPECT_TRUE(radio.isPlaying());
    ASSERT_NE(radio.player(), nullptr);
    QPointer<QMediaPlayer> first = radio.player();
    // The player asks the stream's address for data.
    EXPECT_TRUE(folvan::test::waitFor([&] { return !loopback.paths.isEmpty(); }));
    EXPECT_EQ(loopback.paths.value(0), QStringLiteral("/listen/music/radio.mp3"));

    radio.toggle();
    EXPECT_FALSE(radio.isPlaying());
    EXPECT_EQ(radio.player(), nullptr);
    EXPECT_TRUE(first.isNull());

    // The third toggle plays again on a player of its own; a stream that
    // ends or fails leaves the switch on.
    radio.toggle();
    const QPointer<QMediaPlayer> second = radio.player();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(folvan::test::waitFor(
        [&] {
            return second->mediaStatus() == QMediaPlayer::EndOfMedia
                   || second->mediaStatus() == QMediaPlayer::InvalidMedia || second->error() != QMediaPlayer::NoError;
        }));
    EXPECT_TRUE(radio.isPlaying());

    radio.toggle();
    EXPECT_EQ(changes.count(), 4);
}

// A stream that cannot be reached keeps the switch on and is told once,
// until the next switch.
TEST(RadioPlayerTest, AnUnreachableStreamIsToldOnceAndTheNextSwitchForgetsIt)
{
    // A port that was open a moment ago and is closed now.
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    RadioPlayer &radio = RadioPlayer::shared();
    radio.setStreamUrlForTesting(QUrl(QStringLiteral("http://127.0.0.1:%1/listen/music/radio.mp3").arg(port)));
    ASSERT_FALSE(radio.isPlaying());
    QSignalSpy errors(&radio, &RadioPlayer::streamErrorChanged);
    radio.toggle();
    ASSERT_TRUE(folvan::test::waitFor([&] { return !radio.streamError().isEmpty(); }));
    EXPECT_TRUE(radio.isPlaying());
    const QString told = radio.streamError();
    // The player goes on reporting the failing stream.
    ASSERT_NE(radio.player(), nullptr);
    emit radio.player()->errorOccurred(QMediaPlayer::ResourceError, QStringLiteral("again"));
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(radio.streamError(), told);
    radio.toggle();
    EXPECT_FALSE(radio.isPlaying());
    EXPECT_TRUE(radio.streamError().isEmpty());
    EXPECT_EQ(errors.count(), 2);
}

} // namespace
