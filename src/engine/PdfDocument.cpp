#include "engine/PdfDocument.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "engine/detail/DocumentImpl.h"

namespace folvan::engine {

using detail::DocumentImpl;
using detail::DocumentLock;

namespace {

// Limits for outlines that are hostile or broken beyond MuPDF's own checks.
constexpr int kMaxOutlineDepth = 64;
constexpr int kMaxOutlineItems = 20000;

fz_outline *loadOutline(fz_context *ctx, fz_document *doc)
{
    fz_outline *outline = nullptr;
    fz_var(outline);
    fz_try(ctx) outline = fz_load_outline(ctx, doc);
    fz_catch(ctx) outline = nullptr;
    return outline;
}

struct OutlineBuilder {
    fz_context *ctx;
    DocumentImpl &impl;
    int items = 0;

    std::vector<PdfOutlineItem> build(const fz_outline *node, int depth)
    {
        std::vector<PdfOutlineItem> result;
        if (depth > kMaxOutlineDepth)
            return result;
        for (; node && items < kMaxOutlineItems; node = node->next) {
            ++items;
            PdfOutlineItem item;
            item.title = QString::fromUtf8(node->title ? node->title : "");
            item.isOpen = node->is_open != 0;
            if (node->uri && fz_is_external_link(ctx, node->uri))
                item.uri = QString::fromUtf8(node->uri);
            else if (node->page.page >= 0 && node->page.page < impl.pageCount())
                item.destination = impl.destinationFromFitz(ctx, node->page.page, node->x, node->y);
            item.children = build(node->down, depth + 1);
            result.push_back(std::move(item));
        }
        return result;
    }
};

} // namespace

PdfDocument::PdfDocument(std::unique_ptr<DocumentImpl> impl) : m_impl(std::move(impl)) {}

PdfDocument::~PdfDocument() = default;

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The whole content of the regular file at `path`. Anything else (a pipe,
// which would wait for a writer, a device such as an endless one, a folder)
// is refused without reading.
std::optional<QByteArray> readRegularFile(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setError(error, QStringLiteral("无法读取文件：") + QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setError(error, QStringLiteral("无法读取文件：不是普通文件"));
        return std::nullopt;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setError(error, QStringLiteral("无法读取文件：") + file.errorString());
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("无法读取文件：") + file.errorString());
        return std::nullopt;
    }
    return data;
}

// Reads one content stream whole; throws on a stream that cannot be read.
void readContentStream(fz_context *ctx, pdf_obj *stream)
{
    if (!pdf_is_stream(ctx, stream))
        fz_throw(ctx, FZ_ERROR_GENERIC, "page contents are not a stream");
    fz_drop_buffer(ctx, pdf_load_stream(ctx, stream));
}

// 1 when every page object and its content streams read and MuPDF repaired
// nothing, at open or while reading them.
int documentIsIntact(fz_context *ctx, pdf_document *doc, int pageCount)
{
    int ok = !pdf_was_repaired(ctx, doc);
    fz_var(ok);
    fz_try(ctx)
    {
        for (int i = 0; ok && i < pageCount; ++i) {
            pdf_obj *page = pdf_lookup_page_obj(ctx, doc, i);
            pdf_obj *contents = pdf_dict_get(ctx, page, PDF_NAME(Contents));
            if (pdf_is_array(ctx, contents)) {
                for (int k = 0; k < pdf_array_len(ctx, contents); ++k)
                    readContentStream(ctx, pdf_array_get(ctx, contents, k));
            } else if (contents) {
                readContentStream(ctx, contents);
            }
            ok = !pdf_was_repaired(ctx, doc);
        }
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

// Copies at most `capacity` bytes of the first string of the trailer's /ID
// into `out`; the number copied, 0 when there is no such string.
int readFirstIdentifier(fz_context *ctx, pdf_document *doc, char *out, int capacity)
{
    int length = 0;
    fz_var(length);
    fz_try(ctx)
    {
        pdf_obj *first = pdf_array_get(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(ID)), 0);
        if (pdf_is_string(ctx, first)) {
            size_t size = 0;
            const char *bytes = pdf_to_string(ctx, first, &size);
            length = int(std::min(size, size_t(capacity)));
            std::memcpy(out, bytes, size_t(length));
        }
    }
    fz_catch(ctx) length = 0;
    return length;
}

} // namespace

const QString PdfDocument::passwordProtectedReason = QStringLiteral("此 PDF 受密码保护");

// Opens the bytes of a file (or of no file, for an empty path); an allocation
// too large for the machine is a refusal, not a crash.
std::shared_ptr<PdfDocument> PdfDocument::openBytes(const QString &path, const QByteArray &data, QString *error)
{
    try {
        auto impl = std::make_unique<DocumentImpl>(path, data);
        if (!impl->isOpen()) {
            setError(error, impl->errorText());
            return nullptr;
        }
        return std::shared_ptr<PdfDocument>(new PdfDocument(std::move(impl)));
    } catch (const std::bad_alloc &) {
        setError(error, QStringLiteral("无法读取文件：文件太大"));
        return nullptr;
    }
}

std::shared_ptr<PdfDocument> PdfDocument::open(const QString &path, QString *error)
{
    try {
        std::optional<QByteArray> data = readRegularFile(path, error);
        if (!data)
            return nullptr;
        return openBytes(path, *data, error);
    } catch (const std::bad_alloc &) {
        setError(error, QStringLiteral("无法读取文件：文件太大"));
        return nullptr;
    }
}

std::shared_ptr<PdfDocument> PdfDocument::openData(const QByteArray &data, QString *error)
{
    return openBytes(QString(), data, error);
}

QString PdfDocument::path() const { return m_impl->path(); }

QByteArray PdfDocument::data() const { return m_impl->bytes(); }

int PdfDocument::pageCount() const { return m_impl->pageCount(); }

bool PdfDocument::wasRepaired() const { return m_impl->wasRepaired(); }

bool PdfDocument::isIntact() const
{
    if (wasRepaired())
        return false;
    DocumentLock lock(*this);
    return documentIsIntact(lock.ctx(), lock.pdf(), m_impl->pageCount()) != 0;
}

QByteArray PdfDocument::firstIdentifier() const
{
    char bytes[kMaxIdentifierBytes];
    DocumentLock lock(*this);
    const int length = readFirstIdentifier(lock.ctx(), lock.pdf(), bytes, kMaxIdentifierBytes);
    return QByteArray(bytes, length);
}

PdfPage PdfDocument::page(int index) const
{
    if (index < 0 || index >= pageCount())
        return PdfPage();
    return PdfPage(std::const_pointer_cast<PdfDocument>(shared_from_this()), index);
}

std::vector<PdfOutlineItem> PdfDocument::outline() const
{
    DocumentLock lock(*this);
    fz_outline *outline = loadOutline(lock.ctx(), lock.doc());
    if (!outline)
        return {};
    OutlineBuilder builder{lock.ctx(), *m_impl};
    std::vector<PdfOutlineItem> items = builder.build(outline, 0);
    fz_drop_outline(lock.ctx(), outline);
    return items;
}

} // namespace folvan::engine
