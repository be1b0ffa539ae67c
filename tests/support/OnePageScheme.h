#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

namespace folvan::test {

// A scheme handler that answers every request with one HTML page.
class OnePageScheme : public QWebEngineUrlSchemeHandler {
public:
    explicit OnePageScheme(QByteArray html, QObject *parent = nullptr)
        : QWebEngineUrlSchemeHandler(parent), m_html(std::move(html))
    {
    }
    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        auto *body = new QBuffer(job);
        body->setData(m_html);
        job->reply("text/html;charset=utf-8", body);
    }

private:
    QByteArray m_html;
};

} // namespace folvan::test
