#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace folvan::engine {

// The standard fonts a fixture can write Latin text with. They are never
// embedded; their widths are the standard ones, so that a test can compute
// where every character lands (Courier: every character 600/1000 wide).
enum class FixtureFont { Helvetica, Courier };

// One entry of a fixture's outline: a title, a go-to destination (page index
// and a point in that page's user space) and the entries below it.
struct FixtureOutlineItem {
    QString title;
    int page = 0;
    QPointF point;
    std::vector<FixtureOutlineItem> children;
};

// One range of a fixture's page labels, starting at `firstPage`.
// style: 'D' decimal, 'R' upper roman, 'r' lower roman, 'A' upper letters,
// 'a' lower letters, 0 for prefix only.
struct FixturePageLabelRange {
    int firstPage = 0;
    char style = 'D';
    QString prefix;
    int start = 1;
};

// Four corners of a quadrilateral in the order of /QuadPoints: upper left,
// upper right, lower left, lower right (user space, y up).
using FixtureQuad = std::array<QPointF, 4>;

// Writes small PDF files for tests, directly in PDF syntax: pages with a
// media box, crop box and rotation; text at exact positions; links, an
// outline, annotations, drawings, images and forms; page labels; and a few
// malformed structures for hostile-input tests. Coordinates are the page's
// PDF user space. The output is deterministic: the same calls give the same
// bytes.
class PdfFixtureWriter {
public:
    PdfFixtureWriter();

    // Adds a page and returns its index. `mediaSize` is the media box
    // [0 0 w h]; `cropBox` is written when given; `rotate` is written as
    // given (so negative or non-normal values can be tested).
    int addPage(QSizeF mediaSize = QSizeF(612, 792), std::optional<QRectF> cropBox = std::nullopt,
                int rotate = 0);
    int pageCount() const { return int(m_pages.size()); }

    // A run of text whose baseline starts at `origin`. Characters outside
    // WinAnsi are written as '?', except the ligatures "ﬀ", "ﬁ" and "ﬂ"
    // (one glyph each, as typeset papers have them).
    void addText(int page, QPointF origin, const QString &text,
                 FixtureFont font = FixtureFont::Helvetica, double size = 12);
    // A run of Chinese (BMP) text in a non-embedded Type0 font
    // (Adobe-GB1, UniGB-UCS2-H): every character is `size` wide.
    void addCjkText(int page, QPointF origin, const QString &text, double size = 12);
    // The advance width of `text` in a standard font (ASCII; other
    // characters are counted as '?').
    static double textWidth(const QString &text, FixtureFont font, double size);

    // A link annotation going to a point of another page (or the same).
    void addLink(int page, const QRectF &rect, int targetPage, QPointF targetPoint);
    // A link annotation with a URI action.
    void addUriLink(int page, const QRectF &rect, const QString &uri);

    // The document outline (nested entries).
    void setOutline(const std::vector<FixtureOutlineItem> &items);
    // Makes the outline malformed: the last top-level entry's /Next points
    // back at the first, and the first entry's /First at the outline root.
    void makeOutlineCyclic() { m_cyclicOutline = true; }

    // Text markup annotations (/Highlight, /Underline, /StrikeOut,
    // /Squiggly) with quad points; /Rect is the quads' bounds. The colour's
    // alpha is written as /CA.
    void addTextMarkup(int page, const QByteArray &subtype, const std::vector<FixtureQuad> &quads,
                       const QColor &color, const QString &contents = {},
                       const QString &author = {});
    void addHighlight(int page, const std::vector<QRectF> &rects, const QColor &color,
                      const QString &contents = {}, const QString &author = {});
    static FixtureQuad quadOf(const QRectF &rect);
    // A text ("sticky note") annotation with an icon name (/Name).
    void addTextNote(int page, const QRectF &rect, const QString &contents,
                     const QString &author = {}, const QColor &color = QColor(255, 255, 0),
                     const QByteArray &icon = "Note");
    // A free-text annotation. `alignment` is /Q: 0 left, 1 centre, 2 right.
    void addFreeText(int page, const QRectF &rect, const QString &contents, double fontSize = 12,
                     const QColor &textColor = Qt::black, int alignment = 0,
                     const QString &author = {});
    // Any annotation written as given: `dict` is the dictionary's inner
    // text, e.g. "/Subtype /Square /Rect [0 0 10 10]".
    void addRawAnnotation(int page, const QByteArray &dict);

    // Drawings in the page content.
    void addFilledRect(int page, const QRectF &rect, const QColor &color);
    void addLine(int page, QPointF from, QPointF to, double width = 1,
                 const QColor &color = Qt::black);
    // An image XObject (8-bit RGB) drawn into `rect`.
    void addImage(int page, const QRectF &rect, const QImage &image);
    // Operators appended to the page content as they are.
    void addContent(int page, const QByteArray &operators);

    // Form XObjects. addFormXObject returns a form id that other forms'
    // content and drawForm refer to: the form's resources name form `f` as
    // /Fm<f> for every id in `uses`.
    int addFormXObject(const QByteArray &content, const QRectF &bbox,
                       const QTransform &matrix = QTransform(), const std::vector<int> &uses = {});
    // Draws a form on a page: "q <placement> cm /Fm<f> Do Q".
    void drawForm(int page, int form, const QTransform &placement = QTransform());
    // A form whose content draws the form itself (and a small rectangle),
    // drawn on `page`.
    void addSelfDrawingForm(int page);

    void setPageLabels(const std::vector<FixturePageLabelRange> &ranges);
    // Writes the page labels as a number tree with /Kids (two leaves)
    // instead of one /Nums array; `cyclic` makes a kid refer to the root.
    void setPageLabelsAsKids(bool cyclic = false) { m_labelKids = true; m_labelKidsCyclic = cyclic; }

    // Encrypts the file with the standard security handler (RC4, 40 bits)
    // so that opening it needs `userPassword`.
    void setUserPassword(const QString &userPassword) { m_userPassword = userPassword; }

    QByteArray data() const;
    bool save(const QString &path) const;

private:
    struct Page {
        QSizeF media;
        std::optional<QRectF> crop;
        int rotate = 0;
        int objectNumber = 0;
        int contentNumber = 0;
        QByteArray content;
        std::vector<int> annots;
        std::map<QByteArray, int> xobjects; // resource name -> object number
    };
    struct Form {
        int objectNumber = 0;
        QByteArray content;
        QRectF bbox;
        QTransform matrix;
        std::vector<int> uses;
        bool self = false;
    };
    struct Object {
        QByteArray dict;   // dictionary text (without << >> for streams)
        QByteArray stream; // stream data, for streams
        bool isStream = false;
        // Strings in the dictionary are written as placeholders and encoded
        // at output time (encryption needs the object number).
        std::vector<QByteArray> strings;
    };

    int allocate();
    int fontObject(FixtureFont font);
    int cjkFontObject();
    Page &page(int index);
    void appendAnnot(int page, Object object);
    QByteArray destination(int page, QPointF point) const;
    int writeOutlineItems(const std::vector<FixtureOutlineItem> &items, int parent,
                          std::map<int, Object> &objects, int &counter) const;

    int m_catalog = 0;
    int m_pagesRoot = 0;
    int m_nextObject = 1;
    std::vector<Page> m_pages;
    std::vector<Form> m_forms;
    std::map<int, Object> m_objects; // objects whose text is fixed when added
    std::map<int, int> m_fonts;      // FixtureFont -> object number
    int m_cjkFont = 0;
    std::vector<FixtureOutlineItem> m_outline;
    bool m_cyclicOutline = false;
    std::vector<FixturePageLabelRange> m_labels;
    bool m_labelKids = false;
    bool m_labelKidsCyclic = false;
    std::optional<QString> m_userPassword;
};

} // namespace folvan::engine
