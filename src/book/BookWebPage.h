#pragma once

// The page of one book web view: navigation only to folvan-book://local/...,
// the web channel's script in its main frame, and the message port "book"
// published on the channel for the page's events.

#include <QJsonValue>
#include <QObject>
#include <QWebEnginePage>

class QWebEngineProfile;

namespace folvan::book {

// The object the page posts its events to: the page reaches it with
// new QWebChannel(qt.webChannelTransport, c => c.objects.book) and calls
// postMessage(object) on it.
class BookMessagePort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void postMessage(const QJsonValue &body) { emit received(body); }

signals:
    void received(const QJsonValue &body);
};

class BookWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // `profile` carries the page's scheme handler and outlives the page.
    BookWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    BookMessagePort *port() const { return m_port; }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    BookMessagePort *m_port;
};

} // namespace folvan::book
