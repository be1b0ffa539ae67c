#include "scholar/ScholarRules.h"

#include "engine/PdfDocument.h"

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

QString fetchScript(const QUrl &address, const QString &action, qint64 maxBytes)
{
    // The bytes become text a block at a time: a string per byte would take
    // many times the download's size in the page's memory.
    return QStringLiteral(R"((function () {
  try {
    var address = %1, action = %2, maxBytes = %3, stopped = false;
    var post = function (message) {
      message.action = action;
      message.url = address;
      window.webkit.messageHandlers.myInterface.postMessage(message);
    };
    var fail = function (reason) {
      if (stopped)
        return;
      stopped = true;
      post({ base64: "", error: reason });
    };
    var xhr = new XMLHttpRequest();
    var stopIfTooLarge = function (size) {
      if (stopped || !(size > maxBytes))
        return false;
      fail("tooLarge");
      xhr.abort();
      return true;
    };
    xhr.open("GET", address, true);
    xhr.responseType = "arraybuffer";
    xhr.onreadystatechange = function () {
      if (xhr.readyState === 2 && xhr.status === 200)
        stopIfTooLarge(Number(xhr.getResponseHeader("Content-Length")));
    };
    xhr.onprogress = function (event) { stopIfTooLarge(event.loaded); };
    xhr.onload = function () {
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
        post({ base64: base64 });
      } else {
        console.error("HTTP request failed with status code: " + xhr.status);
        fail("http " + xhr.status);
      }
    };
    xhr.onerror = function () {
      console.error("Network error occurred");
      fail("network");
    };
    xhr.send();
    return null;
  } catch (error) {
    return String(error);
  }
})())")
        .arg(javaScriptString(address.toString(QUrl::FullyEncoded)), javaScriptString(action))
        .arg(maxBytes);
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
    return QStringLiteral("无法连接网站，没有收到文件。");
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

std::shared_ptr<engine::PdfDocument> downloadedPDF(const QByteArray &bytes, const QString &path)
{
    if (!bytes.left(1024).contains("%PDF-"))
        return nullptr;
    std::shared_ptr<engine::PdfDocument> document = engine::PdfDocument::openBytes(path, bytes);
    if (!document || document->pageCount() < 1)
        return nullptr;
    return document;
}

std::shared_ptr<engine::PdfDocument> replacementPDF(const QByteArray &bytes, const QString &path, QString *reason)
{
    std::shared_ptr<engine::PdfDocument> document = downloadedPDF(bytes, path);
    if (!document) {
        *reason = QStringLiteral("下载的文件不是有效的 PDF。");
        return nullptr;
    }
    if (!document->isIntact()) {
        *reason = QStringLiteral("下载的 PDF 不完整或已损坏（%1 KB），原文件没有改动。")
                      .arg(QString::number(double(bytes.size()) / 1024, 'f', 0));
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
