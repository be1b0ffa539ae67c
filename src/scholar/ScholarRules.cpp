#include "scholar/ScholarRules.h"

#include "engine/PdfDocument.h"
#include "localweb/BridgeJson.h"
#include "localweb/LocalWebPage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

#include <cstdio>

namespace folvan::scholar {

std::optional<QUrl> typedAddress(const QString &text)
{
    QString address = text.trimmed();
    if (!address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        && !address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        address.prepend(QLatin1String("https://"));
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QString javaScriptString(const QString &text)
{
    // A JSON string is a JavaScript string but for the two line separators
    // that JSON leaves as they are.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    QString literal = QString::fromUtf8(array.mid(1, array.size() - 2));
    literal.replace(QChar(0x2028), QLatin1String("\\u2028"));
    literal.replace(QChar(0x2029), QLatin1String("\\u2029"));
    return literal;
}

QString fetchScript(const QUrl &address, const QString &action, const QString &id, qint64 maxBytes)
{
    // Every step of the request runs guarded: whatever fails in it is
    // posted as the fetch's failure. The bytes become text a block at a
    // time: a string per byte would take many times the download's size in
    // the page's memory.
    return QStringLiteral(R"((function () {
  try {
    var address = %1, action = %2, id = %3, maxBytes = %4, stopped = false;
    var port = %5;
    if (!port)
      return "the page has no message channel";
    var fetches = globalThis.__folvanFetches || (globalThis.__folvanFetches = {});
    var post = function (message) {
      message.id = id;
      message.action = action;
      message.url = address;
      var text = JSON.stringify(message);
      port.then(function (target) { target.postMessage(text); });
    };
    var fail = function (reason) {
      if (stopped)
        return;
      stopped = true;
      delete fetches[id];
      post({ base64: "", error: reason });
    };
    var guarded = function (step) {
      return function (event) {
        try {
          step(event);
        } catch (error) {
          fail(String(error));
        }
      };
    };
    var xhr = new XMLHttpRequest();
    var stopIfTooLarge = function (size) {
      if (stopped || !(size > maxBytes))
        return false;
      fail("tooLarge");
      xhr.abort();
      return true;
    };
    // The request's progress events come a few times a second at most.
    var progress = function (loaded, total) {
      if (!stopped)
        post({ loaded: String(loaded), total: String(total) });
    };
    fetches[id] = function () {
      stopped = true;
      delete fetches[id];
      xhr.abort();
    };
    xhr.open("GET", address, true);
    xhr.responseType = "arraybuffer";
    xhr.onreadystatechange = guarded(function () {
      if (xhr.readyState !== 2 || xhr.status !== 200)
        return;
      var size = Number(xhr.getResponseHeader("Content-Length"));
      if (!stopIfTooLarge(size))
        progress(0, size > 0 ? size : 0);
    });
    xhr.onprogress = guarded(function (event) {
      if (!stopIfTooLarge(event.loaded))
        progress(event.loaded, event.lengthComputable ? event.total : 0);
    });
    xhr.onload = guarded(function () {
      if (stopped)
        return;
      if (xhr.status === 200) {
        var bytes = new Uint8Array(xhr.response);
        if (stopIfTooLarge(bytes.length))
          return;
        var blocks = [];
        for (var i = 0; i < bytes.length; i += 32768)
          blocks.push(String.fromCharCode.apply(null, bytes.subarray(i, i + 32768)));
        var base64 = window.btoa(blocks.join(""));
        blocks = null;
        stopped = true;
        delete fetches[id];
        post({ base64: base64 });
      } else {
        console.error("HTTP request failed with status code: " + xhr.status);
        fail("http " + xhr.status);
      }
    });
    xhr.onerror = guarded(function () {
      console.error("Network error occurred");
      fail("network");
    });
    xhr.onabort = guarded(function () { fail("network"); });
    xhr.send();
    return null;
  } catch (error) {
    return String(error);
  }
})())")
        // One pass: what is put in is not searched for places again.
        .arg(javaScriptString(address.toString(QUrl::FullyEncoded)), javaScriptString(action), javaScriptString(id),
             QString::number(maxBytes), localweb::messagePortExpression(kMessageHandler));
}

QString fetchStopScript(const QString &id)
{
    return QStringLiteral("(function (stop) { if (stop) stop(); return null; })"
                          "((globalThis.__folvanFetches || {})[%1])")
        .arg(javaScriptString(id));
}

QString elidedAddress(const QString &address, qsizetype maximum)
{
    if (address.size() <= maximum || maximum < 3)
        return address;
    const qsizetype tail = (maximum - 1) / 3;
    qsizetype head = maximum - 1 - tail;
    if (address.at(head - 1).isHighSurrogate())
        --head;
    qsizetype from = address.size() - tail;
    if (address.at(from).isLowSurrogate())
        ++from;
    return address.left(head) + QChar(0x2026) + address.mid(from);
}

std::optional<ScriptMessage> scriptMessage(const QJsonValue &body)
{
    if (!body.isObject())
        return std::nullopt;
    const QJsonObject object = body.toObject();
    for (auto entry = object.begin(); entry != object.end(); ++entry)
        if (!entry.value().isString())
            return std::nullopt;
    if (!object.contains(QLatin1String("base64")) || !object.contains(QLatin1String("action")))
        return std::nullopt;
    return ScriptMessage{object.value(QLatin1String("base64")).toString(),
                         object.value(QLatin1String("action")).toString(),
                         object.value(QLatin1String("url")).toString(),
                         object.value(QLatin1String("error")).toString()};
}

QString fetchFailureText(const QString &error, qint64 maxBytes)
{
    if (error == QLatin1String("tooLarge"))
        return QStringLiteral("文件超过 %1，已停止下载。")
            .arg(QLocale::c().formattedDataSize(maxBytes, 0, QLocale::DataSizeTraditionalFormat));
    if (error.startsWith(QLatin1String("http ")))
        return QStringLiteral("网站没有给出文件（HTTP %1）。").arg(error.mid(5));
    if (error == QLatin1String("network"))
        return QStringLiteral("无法连接网站，没有收到文件。");
    return QStringLiteral("无法在当前网页中获取 PDF（%1）。").arg(localweb::shownText(error.toStdString(), 200));
}

std::optional<QByteArray> decodeStrictBase64(const QString &text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'=') {
            ++padding;
            continue;
        }
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
            || c == u'+' || c == u'/';
        // Nothing may follow the padding.
        if (!letter || padding > 0)
            return std::nullopt;
    }
    if (padding > 2)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

bool looksLikePDF(const QByteArray &bytes)
{
    return bytes.left(1024).contains("%PDF-");
}

std::shared_ptr<engine::PdfDocument> downloadedPDF(const QByteArray &bytes, const QString &path)
{
    if (!looksLikePDF(bytes))
        return nullptr;
    std::shared_ptr<engine::PdfDocument> document = engine::PdfDocument::openBytes(path, bytes);
    if (!document || document->pageCount() < 1)
        return nullptr;
    return document;
}

QString incompletePDFText(qint64 size)
{
    return QStringLiteral("下载的 PDF 不完整或已损坏（%1 KB），").arg(QString::number(double(size) / 1024, 'f', 0));
}

std::shared_ptr<engine::PdfDocument> replacementPDF(const QByteArray &bytes, const QString &path, QString *reason)
{
    std::shared_ptr<engine::PdfDocument> document = downloadedPDF(bytes, path);
    if (!document) {
        *reason = QStringLiteral("下载的文件不是有效的 PDF。");
        return nullptr;
    }
    if (!document->isIntact()) {
        *reason = incompletePDFText(bytes.size()) + QStringLiteral("原文件没有改动。");
        return nullptr;
    }
    return document;
}

QString suggestedPDFName(const QUrl &address)
{
    // The last component of the path as it stands in the address, decoded
    // after the split: an encoded "/" stays inside the name.
    const QString path = address.path(QUrl::FullyEncoded);
    QString name = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLatin1());
    if (name.isEmpty() || !name.toLower().endsWith(QLatin1String(".pdf")))
        return QStringLiteral("downloaded.pdf");
    // A file name holds neither a folder separator nor a NUL.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(u'\0'), QLatin1Char('_'));
    return name;
}

void printLine(const QString &line)
{
    const QByteArray text = line.toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace folvan::scholar
