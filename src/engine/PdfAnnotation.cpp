#include "engine/PdfAnnotation.h"

#include "engine/PdfDocument.h"
#include "engine/detail/DocumentImpl.h"
#include "engine/detail/MuContext.h"

#include <QFileInfo>
#include <QPolygonF>
#include <QSaveFile>

#include <cmath>
#include <cstring>

namespace folvan::engine {

using detail::DocumentLock;
using detail::kErrorBufferSize;

namespace {

// While an annotation is hidden its dictionary carries the /F it had
// before under this key (false when it had none: a null value would read
// as no key at all); showing it puts that value back and removes the key.
constexpr const char *kHiddenKey = "FolvanHiddenFlags";

constexpr int kMaxQuadPoints = 4 * 4096;

PdfColor colorFromComponents(int n, const float *c, float alpha)
{
    PdfColor color;
    color.alpha = alpha;
    switch (n) {
    case 1: color.red = color.green = color.blue = c[0]; break;
    case 3:
        color.red = c[0];
        color.green = c[1];
        color.blue = c[2];
        break;
    case 4:
        color.red = (1 - c[0]) * (1 - c[3]);
        color.green = (1 - c[1]) * (1 - c[3]);
        color.blue = (1 - c[2]) * (1 - c[3]);
        break;
    default: break;
    }
    return color;
}

// The fields of one annotation as read under fz_try: only plain values and
// MuPDF-owned pointers, which the caller copies afterwards.
struct RawAnnotation {
    int objectNumber = 0;
    const char *subtype = nullptr;
    fz_rect rect = fz_empty_rect;
    int quadCount = 0;
    float *quads = nullptr; // room for kMaxQuadPoints points, given by the caller
    int colorComponents = 0;
    float color[4] = {0, 0, 0, 0};
    float alpha = 1;
    const char *contents = nullptr; // null when absent
    const char *userName = nullptr;
    const char *modified = nullptr;
    int64_t modifiedTime = 0;
    int flags = 0;
    int hidden = 0;
    const char *icon = nullptr;
    const char *fontName = nullptr;
    float fontSize = 0;
    int fontColorComponents = 0;
    float fontColor[4] = {0, 0, 0, 0};
    int alignment = 0;
    char *linkTarget = nullptr; // MuPDF link URI of a go-to, fz_free'd by the caller
    const char *uri = nullptr;
};

void readRawAnnotation(fz_context *ctx, pdf_document *doc, pdf_obj *obj, int pageIndex, RawAnnotation *out)
{
    out->objectNumber = pdf_to_num(ctx, obj);
    out->subtype = pdf_to_name(ctx, pdf_dict_get(ctx, obj, PDF_NAME(Subtype)));
    out->rect = pdf_dict_get_rect(ctx, obj, PDF_NAME(Rect));
    pdf_obj *quads = pdf_dict_get(ctx, obj, PDF_NAME(QuadPoints));
    const int quadNumbers = std::min(pdf_array_len(ctx, quads), kMaxQuadPoints * 2);
    out->quadCount = quadNumbers / 2;
    for (int i = 0; i < out->quadCount * 2; ++i)
        out->quads[i] = pdf_to_real(ctx, pdf_array_get(ctx, quads, i));
    pdf_obj *color = pdf_dict_get(ctx, obj, PDF_NAME(C));
    const int components = pdf_array_len(ctx, color);
    if (components == 1 || components == 3 || components == 4) {
        out->colorComponents = components;
        for (int i = 0; i < components; ++i)
            out->color[i] = pdf_to_real(ctx, pdf_array_get(ctx, color, i));
    }
    pdf_obj *alpha = pdf_dict_get(ctx, obj, PDF_NAME(CA));
    out->alpha = pdf_is_number(ctx, alpha) ? pdf_to_real(ctx, alpha) : 1.0f;
    if (pdf_dict_get(ctx, obj, PDF_NAME(Contents)))
        out->contents = pdf_dict_get_text_string(ctx, obj, PDF_NAME(Contents));
    if (pdf_dict_get(ctx, obj, PDF_NAME(T)))
        out->userName = pdf_dict_get_text_string(ctx, obj, PDF_NAME(T));
    if (pdf_is_string(ctx, pdf_dict_get(ctx, obj, PDF_NAME(M)))) {
        out->modified = pdf_dict_get_text_string(ctx, obj, PDF_NAME(M));
        out->modifiedTime = pdf_parse_date(ctx, out->modified);
    }
    out->hidden = pdf_dict_gets(ctx, obj, kHiddenKey) != nullptr;
    out->flags = out->hidden ? int(pdf_to_int(ctx, pdf_dict_gets(ctx, obj, kHiddenKey)))
                             : pdf_dict_get_int(ctx, obj, PDF_NAME(F));
    if (pdf_is_name(ctx, pdf_dict_get(ctx, obj, PDF_NAME(Name))))
        out->icon = pdf_to_name(ctx, pdf_dict_get(ctx, obj, PDF_NAME(Name)));
    pdf_obj *da = pdf_dict_get(ctx, obj, PDF_NAME(DA));
    if (pdf_is_string(ctx, da)) {
        out->fontName = "";
        pdf_parse_default_appearance(ctx, pdf_to_str_buf(ctx, da), &out->fontName, &out->fontSize,
                                     &out->fontColorComponents, out->fontColor);
    }
    out->alignment = pdf_dict_get_int(ctx, obj, PDF_NAME(Q));
    pdf_obj *action = pdf_dict_get(ctx, obj, PDF_NAME(A));
    pdf_obj *dest = pdf_dict_get(ctx, obj, PDF_NAME(Dest));
    if (pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(URI)))
        out->uri = pdf_dict_get_text_string(ctx, action, PDF_NAME(URI));
    else if (dest)
        out->linkTarget = pdf_parse_link_dest(ctx, doc, dest);
    else if (pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(GoTo)))
        out->linkTarget = pdf_parse_link_action(ctx, doc, action, pageIndex);
}

int annotsOfPage(fz_context *ctx, pdf_document *doc, int pageIndex, pdf_obj **annots, int *count)
{
    int ok = 1;
    fz_try(ctx)
    {
        *annots = pdf_dict_get(ctx, pdf_lookup_page_obj(ctx, doc, pageIndex), PDF_NAME(Annots));
        *count = pdf_array_len(ctx, *annots);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

int entryObjectNumber(fz_context *ctx, pdf_obj *annots, int i)
{
    int number = 0;
    fz_var(number);
    fz_try(ctx) number = pdf_to_num(ctx, pdf_array_get(ctx, annots, i));
    fz_catch(ctx) number = 0;
    return number;
}

int readAnnotationAt(fz_context *ctx, pdf_document *doc, pdf_obj *annots, int i, int pageIndex,
                     RawAnnotation *out)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx)
    {
        pdf_obj *obj = pdf_array_get(ctx, annots, i);
        if (!pdf_is_dict(ctx, obj) || !pdf_is_indirect(ctx, obj))
            ok = 0;
        else
            readRawAnnotation(ctx, doc, obj, pageIndex, out);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

QString textOf(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

PdfAnnotation convert(DocumentLock &lock, const RawAnnotation &raw, int pageIndex, int ordinal)
{
    PdfAnnotation a;
    a.handle = {pageIndex, raw.objectNumber};
    a.ordinal = ordinal;
    a.subtype = textOf(raw.subtype);
    a.bounds = QRectF(QPointF(raw.rect.x0, raw.rect.y0), QPointF(raw.rect.x1, raw.rect.y1)).normalized();
    for (int i = 0; i < raw.quadCount; ++i)
        a.quadPoints.emplace_back(raw.quads[2 * i], raw.quads[2 * i + 1]);
    if (raw.colorComponents)
        a.color = colorFromComponents(raw.colorComponents, raw.color, raw.alpha);
    a.contents = textOf(raw.contents);
    a.userName = textOf(raw.userName);
    if (raw.modified && raw.modifiedTime > 0)
        a.modificationDate = QDateTime::fromSecsSinceEpoch(raw.modifiedTime, Qt::UTC);
    a.flags = raw.flags;
    a.hidden = raw.hidden;
    a.iconName = textOf(raw.icon);
    if (raw.fontName) {
        a.fontName = QString::fromUtf8(raw.fontName);
        a.fontSize = raw.fontSize;
        if (raw.fontColorComponents)
            a.fontColor = colorFromComponents(raw.fontColorComponents, raw.fontColor, 1);
    }
    a.alignment = raw.alignment;
    a.uri = textOf(raw.uri);
    if (raw.linkTarget) {
        a.destination = lock.impl().destinationForUri(lock.ctx(), raw.linkTarget);
        if (!a.destination && !QByteArray(raw.linkTarget).startsWith('#'))
            a.uri = QString::fromUtf8(raw.linkTarget);
    }
    return a;
}

std::vector<PdfAnnotation> readAnnotations(DocumentLock &lock, int pageIndex, bool includeHidden,
                                           int onlyObject = 0, bool makeDeferred = true)
{
    std::vector<PdfAnnotation> result;
    if (!lock.pdf() || pageIndex < 0 || pageIndex >= lock.impl().pageCount())
        return result;
    fz_context *ctx = lock.ctx();
    if (makeDeferred && lock.impl().hasDeferredAnnotations(pageIndex))
        lock.impl().loadPage(ctx, pageIndex);
    pdf_obj *annots = nullptr;
    int count = 0;
    if (!annotsOfPage(ctx, lock.pdf(), pageIndex, &annots, &count))
        return result;
    std::vector<float> quadBuffer(size_t(kMaxQuadPoints) * 2);
    for (int i = 0; i < count; ++i) {
        // Only the wanted object is read in full.
        if (onlyObject && entryObjectNumber(ctx, annots, i) != onlyObject)
            continue;
        RawAnnotation raw;
        raw.quads = quadBuffer.data();
        const int ok = readAnnotationAt(ctx, lock.pdf(), annots, i, pageIndex, &raw);
        if (ok && (includeHidden || !raw.hidden))
            result.push_back(convert(lock, raw, pageIndex, i));
        if (raw.linkTarget)
            fz_free(ctx, raw.linkTarget);
    }
    return result;
}

// Finds the loaded annotation object of a handle; nullptr when the page or
// the annotation is gone.
pdf_annot *findAnnot(fz_context *ctx, pdf_page *page, int objectNumber)
{
    if (!page)
        return nullptr;
    for (pdf_annot *a = pdf_first_annot(ctx, page); a; a = pdf_next_annot(ctx, a))
        if (pdf_to_num(ctx, pdf_annot_obj(ctx, a)) == objectNumber)
            return a;
    return nullptr;
}

// The annotation dictionary of a handle, whether or not MuPDF keeps it in
// its annotation list (it does not for links): searched in the page's
// /Annots.
pdf_obj *findAnnotObject(fz_context *ctx, pdf_document *doc, const PdfAnnotationHandle &handle)
{
    pdf_obj *found = nullptr;
    fz_var(found);
    fz_try(ctx)
    {
        pdf_obj *annots = pdf_dict_get(ctx, pdf_lookup_page_obj(ctx, doc, handle.pageIndex), PDF_NAME(Annots));
        const int n = pdf_array_len(ctx, annots);
        for (int i = 0; i < n && !found; ++i) {
            pdf_obj *obj = pdf_array_get(ctx, annots, i);
            if (pdf_to_num(ctx, obj) == handle.objectNumber && pdf_is_dict(ctx, obj))
                found = obj;
        }
    }
    fz_catch(ctx) found = nullptr;
    return found;
}

struct CreateRequest {
    enum pdf_annot_type type;
    bool textMarkup;
    fz_rect rect;
    int quadNumbers;
    const float *quads;
    float color[3];
    float alpha;
    const char *contents; // null for none
    const char *userName; // null for none
    int64_t modified;
    const char *icon;     // null to keep the default
    const char *fontName; // null to keep the default
    float fontSize;
    int fontColorComponents;
    float fontColor[3];
    int alignment; // -1 to keep the default
};

// Makes an annotation; its appearance is made by finishRawAnnotations, once
// for all annotations made together. On success `*made` holds a reference
// the caller gives to finishRawAnnotations.
int createRawAnnotation(fz_context *ctx, pdf_page *page, const CreateRequest *r, pdf_annot **made, char *error)
{
    int ok = 1;
    pdf_annot *annot = nullptr;
    fz_var(annot);
    fz_try(ctx)
    {
        // MuPDF's own creator fills in defaults after making the annotation,
        // and when making it fails (a damaged page tree or object stream) it
        // frees the half-made annotation a second time. The bare creator
        // cleans up after itself; the defaults that matter are set here.
        annot = pdf_create_annot_raw(ctx, page, r->type);
        pdf_obj *obj = pdf_annot_obj(ctx, annot);
        int flags = PDF_ANNOT_IS_PRINT;
        if (r->type == PDF_ANNOT_TEXT)
            flags |= PDF_ANNOT_IS_NO_ZOOM | PDF_ANNOT_IS_NO_ROTATE;
        pdf_dict_put_int(ctx, obj, PDF_NAME(F), flags);
        // Geometry is written in user space, as given.
        pdf_dict_put_rect(ctx, obj, PDF_NAME(Rect), r->rect);
        if (r->textMarkup) {
            pdf_obj *quads = pdf_dict_put_array(ctx, obj, PDF_NAME(QuadPoints), r->quadNumbers);
            for (int i = 0; i < r->quadNumbers; ++i)
                pdf_array_push_real(ctx, quads, r->quads[i]);
        }
        pdf_set_annot_color(ctx, annot, 3, r->color);
        pdf_set_annot_opacity(ctx, annot, r->alpha);
        if (r->contents)
            pdf_set_annot_contents(ctx, annot, r->contents);
        else
            pdf_dict_del(ctx, obj, PDF_NAME(Contents));
        if (r->userName)
            pdf_set_annot_author(ctx, annot, r->userName);
        if (r->modified > 0)
            pdf_set_annot_modification_date(ctx, annot, r->modified);
        if (r->icon && r->type == PDF_ANNOT_TEXT)
            pdf_set_annot_icon_name(ctx, annot, r->icon);
        if (r->type == PDF_ANNOT_FREE_TEXT) {
            const char *font = "Helv";
            float size = 12;
            int n = 0;
            float color[4] = {0, 0, 0, 0};
            pdf_annot_default_appearance(ctx, annot, &font, &size, &n, color);
            pdf_set_annot_default_appearance(ctx, annot, r->fontName ? r->fontName : font,
                                             r->fontSize > 0 ? r->fontSize : size,
                                             r->fontColorComponents ? 3 : n,
                                             r->fontColorComponents ? r->fontColor : color);
        }
        if (r->alignment >= 0 && r->type == PDF_ANNOT_FREE_TEXT)
            pdf_set_annot_quadding(ctx, annot, r->alignment);
        pdf_dirty_annot(ctx, annot);
        *made = annot;
    }
    fz_catch(ctx)
    {
        pdf_drop_annot(ctx, annot);
        fz_strlcpy(error, fz_caught_message(ctx), kErrorBufferSize);
        ok = 0;
    }
    return ok;
}

// Makes the appearances of annotations just made (one pass over each page
// that took some, however many were made) and drops the references; the object
// number of each goes to `objectNumbers` (0 for one that failed).
int finishRawAnnotations(fz_context *ctx, pdf_annot **made, int count, int *objectNumbers, char *error)
{
    int ok = 1;
    fz_try(ctx)
    {
        // Each page that took annotations once; MuPDF's per-annotation
        // update goes over every annotation of every open page.
        pdf_page *updated = nullptr;
        for (int i = 0; i < count; ++i) {
            pdf_page *page = made[i] ? pdf_annot_page(ctx, made[i]) : nullptr;
            if (page && page != updated) {
                pdf_update_page(ctx, page);
                updated = page;
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!made[i])
                continue;
            pdf_annot *annot = made[i];
            pdf_obj *obj = pdf_annot_obj(ctx, annot);
            // MuPDF gives a new text note a pop-up annotation of its own;
            // the note is made alone, as the other kinds. A pop-up names its
            // parent and the parent its pop-up, so a page with many
            // annotations is searched only when there is one.
            if (pdf_dict_get(ctx, obj, PDF_NAME(Popup))) {
                pdf_obj *annots = pdf_dict_get(ctx, pdf_annot_page(ctx, annot)->obj, PDF_NAME(Annots));
                for (int k = pdf_array_len(ctx, annots) - 1; k >= 0; --k) {
                    pdf_obj *other = pdf_array_get(ctx, annots, k);
                    if (pdf_name_eq(ctx, pdf_dict_get(ctx, other, PDF_NAME(Subtype)), PDF_NAME(Popup))
                        && !pdf_objcmp(ctx, pdf_dict_get(ctx, other, PDF_NAME(Parent)), obj))
                        pdf_array_delete(ctx, annots, k);
                }
                pdf_dict_del(ctx, obj, PDF_NAME(Popup));
            }
            objectNumbers[i] = pdf_to_num(ctx, obj);
        }
    }
    fz_always(ctx)
    {
        for (int i = 0; i < count; ++i)
            pdf_drop_annot(ctx, made[i]);
    }
    fz_catch(ctx)
    {
        fz_strlcpy(error, fz_caught_message(ctx), kErrorBufferSize);
        ok = 0;
    }
    return ok;
}

// Whether a page could take annotations: its dictionary reads and its
// /Annots is absent or an array.
int pageTakesAnnotations(fz_context *ctx, pdf_document *doc, int pageIndex)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx)
    {
        pdf_obj *page = pdf_lookup_page_obj(ctx, doc, pageIndex);
        pdf_obj *annots = pdf_dict_get(ctx, page, PDF_NAME(Annots));
        ok = pdf_is_dict(ctx, page) && (!annots || pdf_is_array(ctx, annots));
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

int deleteRawAnnotation(fz_context *ctx, pdf_page *page, pdf_annot *annot)
{
    int ok = 1;
    fz_try(ctx) pdf_delete_annot(ctx, page, annot);
    fz_catch(ctx) ok = 0;
    return ok;
}

int setRawHidden(fz_context *ctx, pdf_obj *obj, int hide)
{
    int ok = 1;
    fz_try(ctx)
    {
        pdf_obj *saved = pdf_dict_gets(ctx, obj, kHiddenKey);
        if (hide && !saved) {
            pdf_obj *flags = pdf_dict_get(ctx, obj, PDF_NAME(F));
            pdf_dict_puts(ctx, obj, kHiddenKey, flags ? flags : PDF_FALSE);
            pdf_dict_put_int(ctx, obj, PDF_NAME(F), pdf_to_int(ctx, flags) | PDF_ANNOT_IS_HIDDEN);
        } else if (!hide && saved) {
            if (pdf_is_bool(ctx, saved))
                pdf_dict_del(ctx, obj, PDF_NAME(F));
            else
                pdf_dict_put(ctx, obj, PDF_NAME(F), saved);
            pdf_dict_dels(ctx, obj, kHiddenKey);
        }
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

bool isPopup(fz_context *ctx, pdf_obj *obj)
{
    return pdf_name_eq(ctx, pdf_dict_get(ctx, obj, PDF_NAME(Subtype)), PDF_NAME(Popup));
}

bool isHidden(fz_context *ctx, pdf_obj *obj) { return pdf_dict_gets(ctx, obj, kHiddenKey) != nullptr; }

// Calls `visit` on every entry of every page's /Annots, last entry first.
template <typename Visit> void eachAnnot(fz_context *ctx, pdf_document *doc, Visit visit)
{
    for (int p = 0, pages = pdf_count_pages(ctx, doc); p < pages; ++p) {
        pdf_obj *annots = pdf_dict_get(ctx, pdf_lookup_page_obj(ctx, doc, p), PDF_NAME(Annots));
        for (int i = pdf_array_len(ctx, annots) - 1; i >= 0; --i)
            visit(annots, i, pdf_array_get(ctx, annots, i));
    }
}

// Whether what an entry names leaves the copy: a hidden annotation (a
// pop-up marked to go included), or an object nulled already.
bool leaves(fz_context *ctx, pdf_obj *obj)
{
    return isHidden(ctx, obj) || (pdf_is_indirect(ctx, obj) && pdf_is_null(ctx, obj));
}

void nullObject(fz_context *ctx, pdf_document *doc, pdf_obj *ref)
{
    if (pdf_is_indirect(ctx, ref))
        pdf_update_object(ctx, doc, pdf_to_num(ctx, ref), PDF_NULL);
}

// Takes every hidden annotation out of the copy, and with it the pop-ups
// that name it as /Parent, listed in /Annots or reached only through an
// annotation's /Popup. A pop-up goes with its /Parent alone: two comments
// may share one, and the one that stays keeps it as it is. Every /Popup
// naming a pop-up that goes is taken off, so that none is left as null.
// Replies stay, as the annotation list shows them, without the /IRT that
// points at what is gone. Whatever else still names a dropped object (a
// structure entry, a stray key) finds null there: neither its text nor the
// hiding key can come back into the copy that way. The copy is thrown away
// after writing, so its pop-ups are marked with the hiding key to be
// dropped, and no bookkeeping of ours outlives a MuPDF error.
void dropHiddenAnnots(fz_context *ctx, pdf_document *doc)
{
    // Only a pop-up is marked, and only for a parent that is no pop-up
    // itself, so the marks do not depend on the order the entries are met in.
    auto markIfParentHidden = [ctx](pdf_obj *popup) {
        pdf_obj *parent = pdf_dict_get(ctx, popup, PDF_NAME(Parent));
        if (isPopup(ctx, popup) && !isHidden(ctx, popup) && isHidden(ctx, parent) && !isPopup(ctx, parent))
            pdf_dict_puts(ctx, popup, kHiddenKey, PDF_FALSE);
    };
    eachAnnot(ctx, doc, [&](pdf_obj *, int, pdf_obj *annot) {
        markIfParentHidden(annot);
        markIfParentHidden(pdf_dict_get(ctx, annot, PDF_NAME(Popup)));
    });
    // A pop-up nulled here is still taken off the other annotations that
    // share it: they find it null.
    eachAnnot(ctx, doc, [ctx, doc](pdf_obj *, int, pdf_obj *annot) {
        if (isHidden(ctx, annot))
            return;
        if (leaves(ctx, pdf_dict_get(ctx, annot, PDF_NAME(IRT)))) {
            pdf_dict_del(ctx, annot, PDF_NAME(IRT));
            pdf_dict_dels(ctx, annot, "RT");
        }
        if (leaves(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Popup)))) {
            nullObject(ctx, doc, pdf_dict_get(ctx, annot, PDF_NAME(Popup)));
            pdf_dict_del(ctx, annot, PDF_NAME(Popup));
        }
    });
    // An entry met again after its object was nulled on another page is
    // null by now and goes too.
    eachAnnot(ctx, doc, [ctx, doc](pdf_obj *annots, int i, pdf_obj *annot) {
        if (!leaves(ctx, annot))
            return;
        if (isHidden(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Popup))))
            nullObject(ctx, doc, pdf_dict_get(ctx, annot, PDF_NAME(Popup)));
        const int number = pdf_is_indirect(ctx, annot) ? pdf_to_num(ctx, annot) : 0;
        pdf_array_delete(ctx, annots, i);
        if (number)
            pdf_update_object(ctx, doc, number, PDF_NULL);
    });
}

fz_buffer *writeToBuffer(fz_context *ctx, pdf_document *doc, int garbage)
{
    fz_buffer *buffer = fz_new_buffer(ctx, 64 * 1024);
    fz_output *out = nullptr;
    fz_var(out);
    fz_try(ctx)
    {
        out = fz_new_output_with_buffer(ctx, buffer);
        pdf_write_options options = pdf_default_write_options;
        options.do_garbage = garbage;
        pdf_write_document(ctx, doc, out, &options);
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx)
    {
        fz_drop_buffer(ctx, buffer);
        fz_rethrow(ctx);
    }
    return buffer;
}

// Writes the in-memory document, then takes the hidden annotations out of
// a second document read from those bytes and writes that one without the
// objects nothing refers to any more. The open document is not changed.
int writeWithoutHidden(fz_context *ctx, pdf_document *doc, fz_buffer **result, char *error)
{
    int ok = 1;
    fz_buffer *first = nullptr;
    fz_buffer *second = nullptr;
    fz_stream *stream = nullptr;
    pdf_document *copy = nullptr;
    fz_var(ok);
    fz_var(first);
    fz_var(second);
    fz_var(stream);
    fz_var(copy);
    fz_try(ctx)
    {
        first = writeToBuffer(ctx, doc, 0);
        stream = fz_open_buffer(ctx, first);
        copy = pdf_open_document_with_stream(ctx, stream);
        dropHiddenAnnots(ctx, copy);
        second = writeToBuffer(ctx, copy, 1);
    }
    fz_always(ctx)
    {
        pdf_drop_document(ctx, copy);
        fz_drop_stream(ctx, stream);
        fz_drop_buffer(ctx, first);
    }
    fz_catch(ctx)
    {
        fz_drop_buffer(ctx, second);
        second = nullptr;
        fz_strlcpy(error, fz_caught_message(ctx), kErrorBufferSize);
        ok = 0;
    }
    *result = second;
    return ok;
}

std::optional<enum pdf_annot_type> creatableType(const QString &subtype)
{
    if (subtype == u"Highlight")
        return PDF_ANNOT_HIGHLIGHT;
    if (subtype == u"Underline")
        return PDF_ANNOT_UNDERLINE;
    if (subtype == u"StrikeOut")
        return PDF_ANNOT_STRIKE_OUT;
    if (subtype == u"Squiggly")
        return PDF_ANNOT_SQUIGGLY;
    if (subtype == u"Text")
        return PDF_ANNOT_TEXT;
    if (subtype == u"FreeText")
        return PDF_ANNOT_FREE_TEXT;
    return std::nullopt;
}

float clamp01(double v) { return std::isfinite(v) ? float(std::clamp(v, 0.0, 1.0)) : 0.0f; }

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

std::vector<PdfAnnotation> annotations(const PdfDocument &document, int pageIndex, bool includeHidden)
{
    DocumentLock lock(document);
    return readAnnotations(lock, pageIndex, includeHidden);
}

PdfPageAnnotations annotationsWithoutMaking(const PdfDocument &document, int pageIndex)
{
    DocumentLock lock(document);
    PdfPageAnnotations result;
    result.made = readAnnotations(lock, pageIndex, false, 0, false);
    if (pageIndex >= 0 && pageIndex < lock.impl().pageCount())
        result.putOff = lock.impl().deferredBlueprints(pageIndex);
    return result;
}

std::optional<PdfAnnotation> annotation(const PdfDocument &document, const PdfAnnotationHandle &handle)
{
    if (!handle.isValid())
        return std::nullopt;
    DocumentLock lock(document);
    std::vector<PdfAnnotation> found = readAnnotations(lock, handle.pageIndex, true, handle.objectNumber);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

namespace {

// A creation request with the buffers its pointers point into.
struct PreparedRequest {
    CreateRequest request{};
    std::vector<float> quads;
    QByteArray contents, userName, icon, fontName;
};

// Fills `prepared` (in place: the request points into it) from a
// blueprint; false and `error` when it cannot be made.
bool prepareRequest(const PdfNewAnnotation &blueprint, PreparedRequest &prepared, QString *error)
{
    const std::optional<enum pdf_annot_type> type = creatableType(blueprint.subtype);
    if (!type) {
        setError(error, QStringLiteral("不支持的批注类型：") + blueprint.subtype);
        return false;
    }
    QPolygonF corners(QList<QPointF>(blueprint.quadPoints.begin(), blueprint.quadPoints.end()));
    for (const QRectF &r : blueprint.rects)
        corners << r.topLeft() << r.bottomRight();
    const QRectF bounds = corners.boundingRect();
    if (corners.isEmpty() || !std::isfinite(bounds.x()) || !std::isfinite(bounds.y())
        || !std::isfinite(bounds.width()) || !std::isfinite(bounds.height())) {
        setError(error, QStringLiteral("批注没有位置"));
        return false;
    }
    const bool textMarkup = *type == PDF_ANNOT_HIGHLIGHT || *type == PDF_ANNOT_UNDERLINE
        || *type == PDF_ANNOT_STRIKE_OUT || *type == PDF_ANNOT_SQUIGGLY;
    std::vector<float> &quads = prepared.quads;
    if (textMarkup) {
        if (!blueprint.quadPoints.empty()) {
            for (const QPointF &p : blueprint.quadPoints) {
                quads.push_back(float(p.x()));
                quads.push_back(float(p.y()));
            }
        } else {
            for (const QRectF &rect : blueprint.rects) {
                const QRectF r = rect.normalized();
                const float q[8] = {float(r.left()),  float(r.bottom()), float(r.right()), float(r.bottom()),
                                    float(r.left()),  float(r.top()),    float(r.right()), float(r.top())};
                quads.insert(quads.end(), q, q + 8);
            }
        }
    }
    const QByteArray &contents = prepared.contents = blueprint.contents.toUtf8();
    const QByteArray &userName = prepared.userName = blueprint.userName.toUtf8();
    const QByteArray &icon = prepared.icon = blueprint.iconName.toUtf8();
    const QByteArray &fontName = prepared.fontName = blueprint.fontName.toUtf8();

    CreateRequest &request = prepared.request;
    request = CreateRequest{};
    request.type = *type;
    request.textMarkup = textMarkup;
    request.rect = fz_make_rect(float(bounds.left()), float(bounds.top()), float(bounds.right()), float(bounds.bottom()));
    request.quadNumbers = int(quads.size());
    request.quads = quads.data();
    request.color[0] = clamp01(blueprint.color.red);
    request.color[1] = clamp01(blueprint.color.green);
    request.color[2] = clamp01(blueprint.color.blue);
    request.alpha = clamp01(blueprint.color.alpha);
    request.contents = blueprint.contents.isEmpty() ? nullptr : contents.constData();
    request.userName = blueprint.userName.isEmpty() ? nullptr : userName.constData();
    request.modified = blueprint.modificationDate.isValid() ? blueprint.modificationDate.toSecsSinceEpoch() : 0;
    request.icon = blueprint.iconName.isEmpty() ? nullptr : icon.constData();
    request.fontName = blueprint.fontName.isEmpty() ? nullptr : fontName.constData();
    request.fontSize = float(blueprint.fontSize);
    if (blueprint.fontColor) {
        request.fontColorComponents = 3;
        request.fontColor[0] = clamp01(blueprint.fontColor->red);
        request.fontColor[1] = clamp01(blueprint.fontColor->green);
        request.fontColor[2] = clamp01(blueprint.fontColor->blue);
    }
    request.alignment = blueprint.alignment ? std::clamp(*blueprint.alignment, 0, 2) : -1;

    return true;
}

} // namespace

std::vector<PdfAnnotationHandle> createAnnotations(PdfDocument &document, const std::vector<PdfPlacedAnnotation> &made,
                                                   QString *error)
{
    std::vector<PdfAnnotationHandle> handles(made.size());
    std::vector<PreparedRequest> requests(made.size());
    std::vector<bool> ready(made.size(), false);
    for (size_t i = 0; i < made.size(); ++i)
        ready[i] = prepareRequest(made[i].blueprint, requests[i], error);

    DocumentLock lock(document);
    if (!lock.pdf())
        return handles;
    std::vector<pdf_annot *> annots(made.size(), nullptr);
    char message[kErrorBufferSize] = {0};
    for (size_t i = 0; i < made.size(); ++i) {
        if (!ready[i])
            continue;
        const int pageIndex = made[i].pageIndex;
        pdf_page *page = lock.impl().loadPage(lock.ctx(), pageIndex);
        if (!page) {
            setError(error, QStringLiteral("没有第 %1 页").arg(pageIndex + 1));
            continue;
        }
        if (!createRawAnnotation(lock.ctx(), page, &requests[i].request, &annots[i], message))
            setError(error, QStringLiteral("无法创建批注：") + QString::fromUtf8(message));
    }
    std::vector<int> objectNumbers(made.size(), 0);
    if (!finishRawAnnotations(lock.ctx(), annots.data(), int(annots.size()), objectNumbers.data(), message)) {
        setError(error, QStringLiteral("无法创建批注：") + QString::fromUtf8(message));
        return handles;
    }
    for (size_t i = 0; i < made.size(); ++i) {
        if (objectNumbers[i] > 0) {
            handles[i] = {made[i].pageIndex, objectNumbers[i]};
            lock.impl().pageAnnotationsChanged(made[i].pageIndex);
        }
    }
    return handles;
}

namespace detail {

std::vector<PdfAnnotationHandle> makeAnnotationsOnPage(fz_context *ctx, pdf_page *page, int index,
                                                       const std::vector<PdfNewAnnotation> &blueprints)
{
    std::vector<PdfAnnotationHandle> handles(blueprints.size());
    std::vector<PreparedRequest> requests(blueprints.size());
    std::vector<pdf_annot *> annots(blueprints.size(), nullptr);
    char message[kErrorBufferSize] = {0};
    for (size_t i = 0; i < blueprints.size(); ++i) {
        if (prepareRequest(blueprints[i], requests[i], nullptr))
            createRawAnnotation(ctx, page, &requests[i].request, &annots[i], message);
    }
    std::vector<int> objectNumbers(blueprints.size(), 0);
    if (!finishRawAnnotations(ctx, annots.data(), int(annots.size()), objectNumbers.data(), message))
        return handles;
    for (size_t i = 0; i < blueprints.size(); ++i) {
        if (objectNumbers[i] > 0)
            handles[i] = {index, objectNumbers[i]};
    }
    return handles;
}

} // namespace detail

bool deferAnnotations(PdfDocument &document, int pageIndex, std::vector<PdfNewAnnotation> blueprints)
{
    DocumentLock lock(document);
    if (!lock.pdf() || pageIndex < 0 || pageIndex >= lock.impl().pageCount()
        || !pageTakesAnnotations(lock.ctx(), lock.pdf(), pageIndex))
        return false;
    lock.impl().deferAnnotations(pageIndex, std::move(blueprints));
    return true;
}

std::vector<PdfAnnotationHandle> takeDeferredAnnotations(PdfDocument &document, int pageIndex)
{
    DocumentLock lock(document);
    if (!lock.pdf())
        return {};
    return lock.impl().takeDeferredHandles(lock.ctx(), pageIndex);
}

PdfAnnotationHandle createAnnotation(PdfDocument &document, int pageIndex, const PdfNewAnnotation &blueprint,
                                     QString *error)
{
    return createAnnotations(document, {{pageIndex, blueprint}}, error).front();
}

bool removeAnnotation(PdfDocument &document, const PdfAnnotationHandle &handle)
{
    if (!handle.isValid())
        return false;
    DocumentLock lock(document);
    if (!lock.pdf())
        return false;
    pdf_page *page = lock.impl().loadPage(lock.ctx(), handle.pageIndex);
    pdf_annot *annot = findAnnot(lock.ctx(), page, handle.objectNumber);
    if (!annot || !deleteRawAnnotation(lock.ctx(), page, annot))
        return false;
    lock.impl().pageAnnotationsChanged(handle.pageIndex);
    return true;
}

bool setAnnotationHidden(PdfDocument &document, const PdfAnnotationHandle &handle, bool hidden)
{
    if (!handle.isValid())
        return false;
    DocumentLock lock(document);
    if (!lock.pdf())
        return false;
    pdf_obj *obj = findAnnotObject(lock.ctx(), lock.pdf(), handle);
    if (!obj || !setRawHidden(lock.ctx(), obj, hidden))
        return false;
    lock.impl().pageAnnotationsChanged(handle.pageIndex);
    return true;
}

QByteArray annotatedCopyData(const PdfDocument &document, QString *error)
{
    DocumentLock lock(document);
    if (!lock.pdf()) {
        setError(error, QStringLiteral("没有打开的文档"));
        return {};
    }
    // The copy holds every annotation, those put off included.
    lock.impl().makeDeferredAnnotations(lock.ctx());
    fz_buffer *buffer = nullptr;
    char message[kErrorBufferSize] = {0};
    if (!writeWithoutHidden(lock.ctx(), lock.pdf(), &buffer, message)) {
        setError(error, QString::fromUtf8(message));
        return {};
    }
    unsigned char *bytes = nullptr;
    const size_t size = fz_buffer_storage(lock.ctx(), buffer, &bytes);
    QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    fz_drop_buffer(lock.ctx(), buffer);
    return data;
}

bool writeAnnotatedCopy(const PdfDocument &document, const QString &path, QString *error)
{
    const QFileInfo target(path);
    const QString own = document.path();
    if (!own.isEmpty()) {
        const QFileInfo source(own);
        const bool same = target.exists() ? target.canonicalFilePath() == source.canonicalFilePath()
                                          : target.absoluteFilePath() == source.absoluteFilePath();
        if (same) {
            setError(error, QStringLiteral("不能写入打开的 PDF 本身"));
            return false;
        }
    }
    const QByteArray data = annotatedCopyData(document, error);
    if (data.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

} // namespace folvan::engine
