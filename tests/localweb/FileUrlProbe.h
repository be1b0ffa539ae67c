#pragma once

// What a local page can read through file: URLs, asked from inside the page
// as a script of its own would ask: a synchronous request, a fetch and a
// folder listing.

#include <QDir>
#include <QString>
#include <QTest>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>

#include "support/TestEnv.h"

namespace folvan::test {

// Writes a file and a folder under `root` and returns everything the page
// got back from them (empty when the page read nothing); "no answer" when
// the page never answered.
inline QString readFromPageThroughFileUrls(QWebEnginePage *page, const QString &root)
{
    const QString secret = QStringLiteral("secret-%1").arg(quintptr(page));
    writeTestFile(QDir(root).filePath(QStringLiteral("private/secret.txt")), secret.toUtf8());
    const QString file = QUrl::fromLocalFile(QDir(root).filePath(QStringLiteral("private/secret.txt"))).toString();
    const QString folder = QUrl::fromLocalFile(QDir(root).filePath(QStringLiteral("private/"))).toString();
    const QString script = QStringLiteral(R"((() => {
        const read = (url) => {
            try {
                const request = new XMLHttpRequest();
                request.open('GET', url, false);
                request.send();
                return request.responseText || '';
            } catch (e) {
                return '';
            }
        };
        window.__fileProbe = undefined;
        const direct = read('%1') + read('%2');
        fetch('%1').then((r) => r.text()).catch(() => '').then((text) => {
            window.__fileProbe = 'done:' + direct + text;
        });
    })())")
                               .arg(file, folder);
    page->runJavaScript(script);
    auto answer = std::make_shared<QVariant>();
    const bool answered = test::waitFor(
        [&] {
            page->runJavaScript(QStringLiteral("window.__fileProbe"),
                                [answer](const QVariant &value) { *answer = value; });
            return answer->toString().startsWith(QStringLiteral("done:"));
        });
    if (!answered)
        return QStringLiteral("no answer");
    const QString got = answer->toString();
    // Only what came from the file or the folder counts.
    return got.contains(secret) || got.contains(QStringLiteral("secret.txt")) ? got : QString();
}

} // namespace folvan::test
