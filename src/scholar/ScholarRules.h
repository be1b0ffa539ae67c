#pragma once

// The Scholar browser's rules as plain functions: the typed address, the
// fetch script, the checks of a script message and of the fetched bytes,
// and the name a saved download is offered under.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QJsonValue;

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::scholar {

// The name of the native handler the fetch script posts to, and its two
// actions.
inline const QString kMessageHandler = QStringLiteral("myInterface");
inline const QString kDownloadAction = QStringLiteral("download");
inline const QString kReplaceAction = QStringLiteral("replace");

// The address typed into the address field: trimmed of white space and line
// breaks, with "https://" put in front unless it starts with "http://" or
// "https://" in any letter case. None when no URL can be made of it.
std::optional<QUrl> typedAddress(const QString &text);

// `text` as a JavaScript string literal, quotes included.
QString javaScriptString(const QString &text);

// The most bytes a fetch takes into the page: the bytes and their Base64
// text live in the page's memory at once, and a page that runs out of it
// goes blank without a word.
inline constexpr qint64 kMaxFetchBytes = 100 * 1024 * 1024;

// The script that fetches `address` with the page's own cookies, for a
// script run in the world where the handler's port was published. It posts
// to the handler, as JSON text with `id`, `action` and the address `url`:
// the progress ("loaded" and "total" bytes, "0" for unknown) while the
// bytes arrive, then the bytes in Base64 ("base64"), or the reason of a
// failure ("error", with empty bytes): "http STATUS", "network", "tooLarge"
// once more than `maxBytes` are announced or have arrived (the download is
// then stopped), or the text of the error the script itself met.
// Evaluated, the script gives null, or the text of the error that kept it
// from starting (a page without a message channel among them).
QString fetchScript(const QUrl &address, const QString &action, const QString &id,
                    qint64 maxBytes = kMaxFetchBytes);
// The script that stops the fetch `id`, if it still runs, without a word.
QString fetchStopScript(const QString &id);

// An address for a message: one longer than `maximum` characters keeps its
// beginning and end around a "…".
QString elidedAddress(const QString &address, qsizetype maximum = 120);

// A script message: strings.
struct ScriptMessage {
    QString base64;
    QString action;
    // The address fetched, when given.
    QString url;
    // Why the fetch failed, when it did.
    QString error;
};
// The message in `body` when it is an object whose every value is a string
// and that holds "base64" and "action"; none otherwise.
std::optional<ScriptMessage> scriptMessage(const QJsonValue &body);

// What the reader is told of a fetch that failed with `error` (as the
// script posts it), for a download of at most `maxBytes`.
QString fetchFailureText(const QString &error, qint64 maxBytes = kMaxFetchBytes);

// Strict Base64: the standard alphabet only (no line breaks, no blanks), a
// length that is a multiple of four, "=" only as the last one or two
// characters. None for anything else.
std::optional<QByteArray> decodeStrictBase64(const QString &text);

// Whether `bytes` start with a PDF header: "%PDF-" within the first 1024
// bytes.
bool looksLikePDF(const QByteArray &bytes);

// The document the fetched bytes make: none unless they start with a PDF
// header (looksLikePDF) and open as a PDF of at least one page. With `path`, the document is taken as that file's
// content.
std::shared_ptr<engine::PdfDocument> downloadedPDF(const QByteArray &bytes, const QString &path = QString());

// The start of what the reader is told of fetched bytes that open only
// repaired: "下载的 PDF 不完整或已损坏（N KB），".
QString incompletePDFText(qint64 size);

// The document the fetched bytes make when they may take the place of the
// open paper: as downloadedPDF(), and only when the document is whole (a
// download cut off part-way opens, repaired, as blank pages). None
// otherwise, with the reason for the reader in `reason`.
std::shared_ptr<engine::PdfDocument> replacementPDF(const QByteArray &bytes, const QString &path, QString *reason);

// The name the save panel offers for a download from `address`: the last
// path component when it ends in ".pdf" in any letter case (its own case
// kept, a "/" decoded from it replaced by "_"), else "downloaded.pdf".
QString suggestedPDFName(const QUrl &address);

// Writes one line to standard output and flushes it.
void printLine(const QString &line);

} // namespace folvan::scholar
