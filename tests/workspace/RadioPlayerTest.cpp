#include "workspace/RadioPlayer.h"

#include <gtest/gtest.h>

#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using folvan::workspace::RadioPlayer;

namespace {

// A loopback HTTP server that records the paths asked of it and answers
// with a short MP3-typed body.
class LoopbackStream : public QObject {
public:
    LoopbackStream()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    const QList<QByteArray> words = request.split(' ');
                    if (words.size() > 1)
                        paths.append(QString::fromLatin1(words[1]));
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: 0\r\n"
                                  "Connection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/listen/music/radio.mp3").arg(server.serverPort()));
    }
    QTcpServer server;
    QStringList paths;
};

TEST(RadioPlayerTest, TheStreamIsAnHttpsMp3AtTheRadioPath)
{
    const QUrl url = RadioPlayer::defaultStreamUrl();
    EXPECT_EQ(url.scheme(), QStringLiteral("https"));
    EXPECT_FALSE(url.host().isEmpty());
    EXPECT_EQ(url.path(), QStringLiteral("/listen/music/radio.mp3"));
}

TEST(RadioPlayerTest, TogglingSwitchesOnWithAFreshPlayerAndOffWithoutOne)
{
    LoopbackStream stream;
    RadioPlayer &radio = RadioPlayer::shared();
    radio.setStreamUrlForTesting(stream.url());
    ASSERT_FALSE(radio.isPlaying());
    QSignalSpy changes(&radio, &RadioPlayer::isPlayingChanged);

    radio.toggle();
    EXPECT_TRUE(radio.isPlaying());
    ASSERT_NE(radio.player(), nullptr);
    EXPECT_EQ(radio.player()->source(), stream.url());
    QPointer<QMediaPlayer> first = radio.player();
    // The player asks the stream's address for data.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stream.paths.isEmpty(); }, 5000));
    if (!stream.paths.isEmpty())
        EXPECT_EQ(stream.paths.constFirst(), QStringLiteral("/listen/music/radio.mp3"));

    radio.toggle();
    EXPECT_FALSE(radio.isPlaying());
    EXPECT_EQ(radio.player(), nullptr);
    EXPECT_TRUE(first.isNull());

    // The third toggle plays again on a player of its own; a stream that
    // ends or fails leaves the switch on.
    radio.toggle();
    EXPECT_TRUE(radio.isPlaying());
    EXPECT_NE(radio.player(), nullptr);
    QTest::qWait(200);
    EXPECT_TRUE(radio.isPlaying());
    radio.toggle();
    EXPECT_EQ(changes.count(), 4);
}

} // namespace
