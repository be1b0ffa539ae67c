#pragma once

#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

#include "engine/PdfDestination.h"
#include "engine/PdfTypes.h"

namespace folvan::engine {

class PdfDocument;

// Names one annotation of a document for as long as the document is open:
// its page and the object number of its dictionary.
struct PdfAnnotationHandle {
    int pageIndex = -1;
    int objectNumber = 0;

    bool isValid() const { return pageIndex >= 0 && objectNumber > 0; }
    friend bool operator==(const PdfAnnotationHandle &, const PdfAnnotationHandle &) = default;
};

// One annotation of a page as read from the page's /Annots, links included.
// Geometry is in the page's PDF user space. Strings that the dictionary does
// not carry are null QStrings.
struct PdfAnnotation {
    PdfAnnotationHandle handle;
    // Position in the page's /Annots array (hidden annotations counted).
    int ordinal = 0;
    // The subtype as written in the PDF, without its slash: "Highlight",
    // "Underline", "StrikeOut", "Squiggly", "Text", "FreeText", "Link", ...
    QString subtype;
    // /Rect, normalized.
    QRectF bounds;
    // /QuadPoints as written (groups of four points, user space).
    std::vector<QPointF> quadPoints;
    // /C converted to RGB, with /CA as alpha; absent when there is no colour.
    std::optional<PdfColor> color;
    QString contents;  // /Contents
    QString userName;  // /T
    QDateTime modificationDate; // /M, invalid when absent or unreadable
    int flags = 0;     // /F as written
    // Set while the annotation is hidden by setAnnotationHidden().
    bool hidden = false;
    // Whether /F keeps it off the screen (Invisible, Hidden or NoView), as
    // the page is drawn.
    bool flaggedOffScreen() const { return flags & (1 << 0 | 1 << 1 | 1 << 5); }

    // Text annotations: the icon (/Name), e.g. "Note", "Comment".
    QString iconName;
    // Free-text annotations: the font, size and colour of /DA, and /Q
    // (0 left, 1 centred, 2 right).
    QString fontName;
    double fontSize = 0;
    std::optional<PdfColor> fontColor;
    int alignment = 0;

    // Links: a go-to destination (page and point in user space), or a URI
    // exactly as written.
    std::optional<PdfDestination> destination;
    QString uri;
};

// What a new annotation is made of.
struct PdfNewAnnotation {
    // "Highlight", "Underline", "StrikeOut", "Squiggly", "Text" or "FreeText".
    QString subtype = QStringLiteral("Highlight");
    // The marked rectangles in user space. /Rect is their union, grown as
    // MuPDF makes the appearance (by the line width or the rounded ends of
    // a highlight; a text note takes the size of its icon). For the
    // four text markup subtypes each rectangle gives one quadrilateral
    // (upper left, upper right, lower left, lower right) unless
    // `quadPoints` is given.
    std::vector<QRectF> rects;
    std::vector<QPointF> quadPoints;
    PdfColor color{1, 1, 0, 1};
    QString contents; // none when empty
    QString userName; // none when empty
    QDateTime modificationDate = QDateTime::currentDateTimeUtc();
    // Taken over from another annotation when set.
    QString iconName;
    QString fontName;
    double fontSize = 0;
    std::optional<PdfColor> fontColor;
    std::optional<int> alignment;
};

// The annotations of a page in /Annots order. Hidden annotations are left
// out unless `includeHidden`; so are entries that are not indirect
// dictionaries, which no handle could name. Empty for a page that does not
// exist.
std::vector<PdfAnnotation> annotations(const PdfDocument &document, int pageIndex, bool includeHidden = false);
// A page's annotations read without making those put off on it
// (deferAnnotations): the page's own, as annotations() reads them, and what
// each put off will be made from. Cheap where making them would not be.
struct PdfPageAnnotations {
    std::vector<PdfAnnotation> made;
    std::vector<PdfNewAnnotation> putOff;
};
PdfPageAnnotations annotationsWithoutMaking(const PdfDocument &document, int pageIndex);
// One annotation, read again; absent when it no longer exists.
std::optional<PdfAnnotation> annotation(const PdfDocument &document, const PdfAnnotationHandle &handle);

// Creates an annotation on a page of the in-memory document and returns
// its handle; an invalid handle (and `error`) when it cannot be made.
PdfAnnotationHandle createAnnotation(PdfDocument &document, int pageIndex, const PdfNewAnnotation &blueprint,
                                     QString *error = nullptr);
// A new annotation and its page.
struct PdfPlacedAnnotation {
    int pageIndex = -1;
    PdfNewAnnotation blueprint;
};

// Creates annotations on pages of the in-memory document at once, far
// quicker than one by one on pages that already carry many; the handles in
// the same order, an invalid one (and `error`) for each that cannot be made.
std::vector<PdfAnnotationHandle> createAnnotations(PdfDocument &document, const std::vector<PdfPlacedAnnotation> &made,
                                                   QString *error = nullptr);
// Puts off making annotations on a page until something first needs the
// page: drawing it, reading its text or annotations, changing them or
// writing a copy. The page's drawing with annotations is dropped at once.
// False, and nothing put off, when the page cannot take annotations (it
// does not load, or its annotation array is damaged): the caller makes them
// at once and learns which fail.
bool deferAnnotations(PdfDocument &document, int pageIndex, std::vector<PdfNewAnnotation> blueprints);
// The handles of the annotations put off on a page, made now if not yet,
// in the order they were put off (invalid for those that could not be
// made); each is handed out once.
std::vector<PdfAnnotationHandle> takeDeferredAnnotations(PdfDocument &document, int pageIndex);
// Removes an annotation from its page. False when there is no such one.
bool removeAnnotation(PdfDocument &document, const PdfAnnotationHandle &handle);
// Hides an annotation (it is neither drawn nor listed by default) or shows
// it again with every property as it was. False when there is no such one.
bool setAnnotationHidden(PdfDocument &document, const PdfAnnotationHandle &handle, bool hidden);

// Writes the in-memory document, with the annotations created on it and
// without the hidden ones, to `path`. Refuses the file the document was
// opened from. The target is replaced only when the whole copy is written.
bool writeAnnotatedCopy(const PdfDocument &document, const QString &path, QString *error = nullptr);
// The same copy as bytes; empty on failure.
QByteArray annotatedCopyData(const PdfDocument &document, QString *error = nullptr);

} // namespace folvan::engine
