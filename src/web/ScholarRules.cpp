#include "web/ScholarRules.h"

#include "engine/PdfDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cstdio>

namespace folvan::web {

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

QString fetchScript(const QUrl &address, const QString &action)
{
    return QStringLiteral(R"((function () {
  try {
    var xhr = new XMLHttpRequest();
    xhr.open("GET", %1, true);
    xhr.responseType = "arraybuffer";
    xhr.onload = function () {
      if (xhr.status === 200) {
        var bytes = new Uint8Array(xhr.response);
        var characters = new Array(bytes.length);
        for (var i = bytes.length - 1; i >= 0; i--)
          characters[i] = String.fromCharCode(bytes[i]);
        var base64 = window.btoa(characters.join(""));
        window.webkit.messageHandlers.myInterface.postMessage({ base64: base64, action: %2 });
      } else {
        console.error("HTTP request failed with status code: " + xhr.status);
      }
    };
    xhr.onerror = function () {
      console.error("Network error occurred");
    };
    xhr.send();
    return null;
  } catch (error) {
    return String(error);
  }
})())")
        .arg(javaScriptString(address.toString(QUrl::FullyEncoded)), javaScriptString(action));
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
                         object.value(QLatin1String("action")).toString()};
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

} // namespace folvan::web
