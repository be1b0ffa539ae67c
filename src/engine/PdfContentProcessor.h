#pragma once

#include <QByteArray>
#include <QRectF>
#include <QTransform>

#include <array>

namespace folvan::engine {

class PdfDocument;

// The content-stream operators reported to a PdfContentHandler.
enum class PdfContentOp {
    SaveState,        // q
    RestoreState,     // Q
    ConcatMatrix,     // cm
    MoveTo,           // m
    LineTo,           // l
    CurveTo,          // c
    CurveToV,         // v
    CurveToY,         // y
    Rectangle,        // re
    EndPath,          // n
    Stroke,           // S
    CloseStroke,      // s
    Fill,             // f
    FillObsolete,     // F
    FillEvenOdd,      // f*
    FillStroke,       // B
    FillStrokeEvenOdd,      // B*
    CloseFillStroke,        // b
    CloseFillStrokeEvenOdd, // b*
    DrawXObject,      // Do
};

// The operator's name as written in a content stream ("q", "f*", "Do", ...).
const char *contentOperatorName(PdfContentOp op);
// True for the nine path-painting operators (S s f F f* B B* b b*).
bool isPaintingOperator(PdfContentOp op);

// The external object drawn by a "Do".
struct PdfXObjectInfo {
    QByteArray name;     // the resource name, without its slash
    QByteArray subtype;  // "Image" or "Form" (other subtypes are not reported)
    // Forms: /Matrix when it is an array of exactly six entries (an entry
    // that is not a number counts as 0), else identity.
    QTransform formMatrix;
    bool hasFormMatrix = false;
    QRectF formBBox;     // forms: /BBox, user space of the form
    // Forms: true when the form has its own /Resources. Without them, the
    // form's content looks its resources up in the form dictionary itself.
    bool hasResources = false;
};

// One operator as the scan meets it.
struct PdfContentOperator {
    PdfContentOp op = PdfContentOp::SaveState;
    // Numeric operands in operand order: 6 for cm and c, 4 for v, y and re,
    // 2 for m and l, none for the others. Operands missing in the stream
    // read as 0, as MuPDF's interpreter gives them.
    std::array<double, 6> operands{};
    int operandCount = 0;
    // The current transformation matrix before the operator, from the
    // stream's space to the page's user space (forms' matrices included).
    QTransform ctm;
    // 0 on the page itself, 1 inside a form drawn by the page, ...
    int depth = 0;
    // DrawXObject only.
    const PdfXObjectInfo *xobject = nullptr;

    double operand(int i) const { return i >= 0 && i < operandCount ? operands[size_t(i)] : 0.0; }
};

// Receives the operators of a page's content, forms included, in order.
// The calls come on the scanning thread with the document's lock held: a
// handler must not call back into the same document.
class PdfContentHandler {
public:
    virtual ~PdfContentHandler() = default;
    // Return false to end the scan; what was seen stays seen.
    virtual bool onOperator(const PdfContentOperator &op) = 0;
    // Called after onOperator for the "Do" of a form: whether to process
    // the form's content now (the scan's depth limit applies as well).
    virtual bool enterForm(const PdfContentOperator &) { return true; }
    // Called when a form entered through enterForm has been processed.
    virtual void leaveForm(const PdfContentOperator &) {}
};

// Bounds on the work of one scan, for hostile pages.
struct PdfContentLimits {
    // Operators reported at most, forms included; the scan ends at the next.
    int maxOperators = 250000;
    // Forms are entered only while the depth is below this.
    int maxFormDepth = 8;
};

struct PdfContentScanResult {
    int operators = 0;        // operators reported
    bool limitReached = false; // the operator limit ended the scan
    bool stopped = false;      // the handler ended the scan
    bool ok = false;           // false when the page could not be read at all
};

// Scans the content streams of one page. Syntax errors inside the content
// are skipped as MuPDF skips them when drawing; operators other than the
// ones above (text, colour, clipping, ...) are not reported.
PdfContentScanResult processPageContents(const PdfDocument &document, int pageIndex, PdfContentHandler &handler,
                                         const PdfContentLimits &limits = {});

} // namespace folvan::engine
