#include "engine/PdfContentProcessor.h"

#include "engine/PdfDocument.h"
#include "engine/detail/DocumentImpl.h"

#include <vector>

namespace folvan::engine {

using detail::DocumentLock;

const char *contentOperatorName(PdfContentOp op)
{
    static const char *const names[] = {"q", "Q", "cm", "m", "l", "c", "v", "y", "re", "n", "S",
                                        "s", "f", "F", "f*", "B", "B*", "b", "b*", "Do"};
    return names[int(op)];
}

bool isPaintingOperator(PdfContentOp op) { return op >= PdfContentOp::Stroke && op <= PdfContentOp::CloseFillStrokeEvenOdd; }

namespace {

// A form's values read under MuPDF: plain data only.
struct RawForm {
    float matrix[6] = {1, 0, 0, 1, 0, 0};
    int hasMatrix = 0;
    fz_rect bbox = fz_empty_rect;
    pdf_obj *resources = nullptr;
    int hasResources = 0;
};

struct SavedState {
    QTransform ctm;
    std::vector<QTransform> stack;
};

// The C++ side of a scan. The MuPDF callbacks below reach it only through
// the noexcept functions that follow, which finish all C++ work before
// they return to MuPDF.
struct ScanState {
    PdfContentHandler *handler = nullptr;
    PdfContentLimits limits;
    fz_cookie cookie{};
    pdf_document *doc = nullptr;
    QTransform ctm;
    std::vector<QTransform> stack;
    int depth = 0;
    std::vector<PdfXObjectInfo> xobjects; // one per form being processed
    std::vector<PdfContentOperator> formOps;
    std::vector<SavedState> saved;
    PdfContentScanResult result;
};

struct ScanProcessor {
    pdf_processor super; // first, as MuPDF expects
    ScanState *state;
};

ScanState *stateOf(pdf_processor *proc) { return reinterpret_cast<ScanProcessor *>(proc)->state; }

void stop(ScanState *s) { s->cookie.abort = 1; }

// Reports one operator; false when the scan must end.
bool report(ScanState *s, PdfContentOperator &o) noexcept
{
    if (s->cookie.abort)
        return false;
    if (s->result.operators >= s->limits.maxOperators) {
        s->result.limitReached = true;
        stop(s);
        return false;
    }
    ++s->result.operators;
    o.ctm = s->ctm;
    o.depth = s->depth;
    bool go = false;
    try {
        go = s->handler->onOperator(o);
    } catch (...) {
        go = false;
    }
    if (!go) {
        s->result.stopped = true;
        stop(s);
    }
    return go;
}

bool reportOp(ScanState *s, PdfContentOp op, std::initializer_list<float> operands = {}) noexcept
{
    PdfContentOperator o;
    o.op = op;
    for (float v : operands)
        o.operands[size_t(o.operandCount++)] = v;
    return report(s, o);
}

void opSave(fz_context *, pdf_processor *proc)
{
    ScanState *s = stateOf(proc);
    if (reportOp(s, PdfContentOp::SaveState))
        s->stack.push_back(s->ctm);
}

void opRestore(fz_context *, pdf_processor *proc)
{
    ScanState *s = stateOf(proc);
    if (reportOp(s, PdfContentOp::RestoreState) && !s->stack.empty()) {
        s->ctm = s->stack.back();
        s->stack.pop_back();
    }
}

void opConcat(fz_context *, pdf_processor *proc, float a, float b, float c, float d, float e, float f)
{
    ScanState *s = stateOf(proc);
    if (reportOp(s, PdfContentOp::ConcatMatrix, {a, b, c, d, e, f}))
        s->ctm = QTransform(a, b, c, d, e, f) * s->ctm;
}

void opMove(fz_context *, pdf_processor *proc, float x, float y) { reportOp(stateOf(proc), PdfContentOp::MoveTo, {x, y}); }
void opLine(fz_context *, pdf_processor *proc, float x, float y) { reportOp(stateOf(proc), PdfContentOp::LineTo, {x, y}); }
void opCurve(fz_context *, pdf_processor *proc, float x1, float y1, float x2, float y2, float x3, float y3)
{
    reportOp(stateOf(proc), PdfContentOp::CurveTo, {x1, y1, x2, y2, x3, y3});
}
void opCurveV(fz_context *, pdf_processor *proc, float x2, float y2, float x3, float y3)
{
    reportOp(stateOf(proc), PdfContentOp::CurveToV, {x2, y2, x3, y3});
}
void opCurveY(fz_context *, pdf_processor *proc, float x1, float y1, float x3, float y3)
{
    reportOp(stateOf(proc), PdfContentOp::CurveToY, {x1, y1, x3, y3});
}
void opRect(fz_context *, pdf_processor *proc, float x, float y, float w, float h)
{
    reportOp(stateOf(proc), PdfContentOp::Rectangle, {x, y, w, h});
}
void opEndPath(fz_context *, pdf_processor *proc) { reportOp(stateOf(proc), PdfContentOp::EndPath); }

template <PdfContentOp Op>
void opPaint(fz_context *, pdf_processor *proc)
{
    reportOp(stateOf(proc), Op);
}

void opImage(fz_context *, pdf_processor *proc, const char *name, fz_image *)
{
    ScanState *s = stateOf(proc);
    PdfXObjectInfo info;
    try {
        info.name = name ? QByteArray(name) : QByteArray();
        info.subtype = "Image";
    } catch (...) {
        stop(s);
        return;
    }
    PdfContentOperator o;
    o.op = PdfContentOp::DrawXObject;
    o.xobject = &info;
    report(s, o);
}

// Reports the "Do" of a form and, when the form is to be followed, saves
// the state and sets up the form's matrix. Returns 1 to follow.
int beginForm(ScanState *s, const char *name, const RawForm *raw) noexcept
{
    try {
        PdfXObjectInfo info;
        info.name = name ? QByteArray(name) : QByteArray();
        info.subtype = "Form";
        info.hasFormMatrix = raw->hasMatrix;
        info.formMatrix = QTransform(raw->matrix[0], raw->matrix[1], raw->matrix[2], raw->matrix[3], raw->matrix[4],
                                     raw->matrix[5]);
        info.formBBox = QRectF(QPointF(raw->bbox.x0, raw->bbox.y0), QPointF(raw->bbox.x1, raw->bbox.y1)).normalized();
        info.hasResources = raw->hasResources;
        s->xobjects.push_back(std::move(info));
        PdfContentOperator o;
        o.op = PdfContentOp::DrawXObject;
        o.xobject = &s->xobjects.back();
        if (!report(s, o) || s->depth + 1 > s->limits.maxFormDepth || !s->handler->enterForm(o)) {
            s->xobjects.pop_back();
            return 0;
        }
        s->formOps.push_back(o);
        s->saved.push_back({s->ctm, s->stack});
        s->ctm = s->xobjects.back().formMatrix * s->ctm;
        ++s->depth;
        return 1;
    } catch (...) {
        stop(s);
        return 0;
    }
}

void endForm(ScanState *s) noexcept
{
    try {
        --s->depth;
        s->ctm = s->saved.back().ctm;
        s->stack = std::move(s->saved.back().stack);
        s->saved.pop_back();
        PdfContentOperator o = s->formOps.back();
        s->formOps.pop_back();
        o.xobject = &s->xobjects.back();
        s->handler->leaveForm(o);
        s->xobjects.pop_back();
    } catch (...) {
        stop(s);
    }
}

void readForm(fz_context *ctx, pdf_obj *form, RawForm *raw)
{
    pdf_obj *matrix = pdf_dict_get(ctx, form, PDF_NAME(Matrix));
    if (pdf_is_array(ctx, matrix) && pdf_array_len(ctx, matrix) == 6) {
        raw->hasMatrix = 1;
        for (int i = 0; i < 6; ++i) {
            pdf_obj *v = pdf_array_get(ctx, matrix, i);
            raw->matrix[i] = pdf_is_number(ctx, v) ? pdf_to_real(ctx, v) : 0.0f;
        }
    }
    raw->bbox = pdf_dict_get_rect(ctx, form, PDF_NAME(BBox));
    pdf_obj *resources = pdf_dict_get(ctx, form, PDF_NAME(Resources));
    raw->hasResources = pdf_is_dict(ctx, resources);
    raw->resources = raw->hasResources ? resources : form;
}

void opForm(fz_context *ctx, pdf_processor *proc, const char *name, pdf_obj *form, pdf_obj *)
{
    ScanState *s = stateOf(proc);
    RawForm raw;
    int readOk = 1;
    fz_var(readOk);
    fz_try(ctx) readForm(ctx, form, &raw);
    fz_catch(ctx) readOk = 0;
    if (!readOk || !beginForm(s, name, &raw))
        return;
    fz_try(ctx) pdf_process_contents(ctx, proc, s->doc, raw.resources, form, &s->cookie);
    fz_always(ctx) endForm(s);
    fz_catch(ctx)
    {
        // A broken form ends here; the scan goes on after its "Do".
    }
}

void installCallbacks(pdf_processor *p)
{
    p->op_q = opSave;
    p->op_Q = opRestore;
    p->op_cm = opConcat;
    p->op_m = opMove;
    p->op_l = opLine;
    p->op_c = opCurve;
    p->op_v = opCurveV;
    p->op_y = opCurveY;
    p->op_re = opRect;
    p->op_n = opEndPath;
    p->op_S = opPaint<PdfContentOp::Stroke>;
    p->op_s = opPaint<PdfContentOp::CloseStroke>;
    p->op_f = opPaint<PdfContentOp::Fill>;
    p->op_F = opPaint<PdfContentOp::FillObsolete>;
    p->op_fstar = opPaint<PdfContentOp::FillEvenOdd>;
    p->op_B = opPaint<PdfContentOp::FillStroke>;
    p->op_Bstar = opPaint<PdfContentOp::FillStrokeEvenOdd>;
    p->op_b = opPaint<PdfContentOp::CloseFillStroke>;
    p->op_bstar = opPaint<PdfContentOp::CloseFillStrokeEvenOdd>;
    p->op_Do_image = opImage;
    p->op_Do_form = opForm;
}

int scanPage(fz_context *ctx, pdf_document *doc, int pageIndex, ScanState *state)
{
    int ok = 1;
    pdf_processor *proc = nullptr;
    fz_var(ok);
    fz_var(proc);
    fz_try(ctx)
    {
        proc = static_cast<pdf_processor *>(pdf_new_processor(ctx, sizeof(ScanProcessor)));
        reinterpret_cast<ScanProcessor *>(proc)->state = state;
        installCallbacks(proc);
        pdf_obj *page = pdf_lookup_page_obj(ctx, doc, pageIndex);
        pdf_obj *resources = pdf_dict_get_inheritable(ctx, page, PDF_NAME(Resources));
        pdf_obj *contents = pdf_dict_get(ctx, page, PDF_NAME(Contents));
        pdf_process_contents(ctx, proc, doc, resources, contents, &state->cookie);
        pdf_close_processor(ctx, proc);
    }
    fz_always(ctx) pdf_drop_processor(ctx, proc);
    fz_catch(ctx) ok = 0;
    return ok;
}

} // namespace

PdfContentScanResult processPageContents(const PdfDocument &document, int pageIndex, PdfContentHandler &handler,
                                         const PdfContentLimits &limits)
{
    ScanState state;
    state.handler = &handler;
    state.limits = limits;
    DocumentLock lock(document);
    if (!lock.pdf() || pageIndex < 0 || pageIndex >= lock.impl().pageCount())
        return state.result;
    state.doc = lock.pdf();
    state.result.ok = scanPage(lock.ctx(), lock.pdf(), pageIndex, &state) != 0;
    return state.result;
}

} // namespace folvan::engine
