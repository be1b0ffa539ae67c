#include "engine/PdfFixtureWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPolygonF>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace folvan::engine {

namespace {

// Standard widths of Helvetica, characters 32 to 126 of WinAnsiEncoding.
constexpr short kHelveticaWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,   // 32-47
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,   // 48-63
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // 64-79
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,   // 80-95
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,   // 96-111
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,        // 112-126
};

// The padding string of the standard security handler.
constexpr unsigned char kPasswordPadding[32] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A,
};
constexpr qint32 kPermissions = -4;

QByteArray num(double value)
{
    if (!std::isfinite(value))
        value = 0;
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.contains('.') && (text.endsWith('0') || text.endsWith('.')))
        text.chop(1);
    if (text == "-0")
        text = "0";
    return text;
}

QByteArray ref(int object) { return QByteArray::number(object) + " 0 R"; }

QByteArray rectArray(const QRectF &r)
{
    const QRectF n = r.normalized();
    return "[" + num(n.left()) + " " + num(n.top()) + " " + num(n.right()) + " " + num(n.bottom()) + "]";
}

QByteArray matrixArray(const QTransform &m)
{
    return "[" + num(m.m11()) + " " + num(m.m12()) + " " + num(m.m21()) + " " + num(m.m22()) + " "
        + num(m.dx()) + " " + num(m.dy()) + "]";
}

QByteArray colorArray(const QColor &c)
{
    return "[" + num(c.redF()) + " " + num(c.greenF()) + " " + num(c.blueF()) + "]";
}

QByteArray rgbOperands(const QColor &c)
{
    return num(c.redF()) + " " + num(c.greenF()) + " " + num(c.blueF());
}

// PDF text string bytes: PDFDocEncoding for ASCII, else UTF-16BE with BOM.
QByteArray textStringBytes(const QString &text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return text.toLatin1();
    QByteArray bytes("\xFE\xFF", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

char winAnsiByte(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF))
        return char(u);
    switch (u) {
    case 0x20AC: return char(0x80);
    case 0x2018: return char(0x91);
    case 0x2019: return char(0x92);
    case 0x201C: return char(0x93);
    case 0x201D: return char(0x94);
    case 0x2022: return char(0x95);
    case 0x2013: return char(0x96);
    case 0x2014: return char(0x97);
    // The ligatures, at the codes the fonts' /Differences give them.
    case 0xFB00: return char(1);
    case 0xFB01: return char(2);
    case 0xFB02: return char(3);
    default: return '?';
    }
}

QByteArray literalString(const QByteArray &bytes)
{
    QByteArray out("(");
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '(' || c == ')' || c == '\\') {
            out.append('\\');
            out.append(ch);
        } else if (c < 0x20 || c >= 0x7F) {
            out.append('\\');
            out.append(QByteArray::number(c, 8).rightJustified(3, '0'));
        } else {
            out.append(ch);
        }
    }
    out.append(')');
    return out;
}

void rc4(const QByteArray &key, QByteArray &data)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xFF;
        std::swap(s[i], s[j]);
    }
    int i = 0, j = 0;
    for (char &ch : data) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        ch = char(static_cast<unsigned char>(ch) ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QByteArray paddedPassword(const QString &password)
{
    QByteArray bytes = password.toLatin1().left(32);
    bytes.append(reinterpret_cast<const char *>(kPasswordPadding), 32 - bytes.size());
    return bytes;
}

// The values of the standard security handler, revision 2 (RC4, 40 bits).
struct Security {
    QByteArray id;
    QByteArray owner; // /O
    QByteArray user;  // /U
    QByteArray key;   // file key, 5 bytes
};

Security makeSecurity(const QString &userPassword, const QByteArray &id)
{
    Security s;
    s.id = id;
    const QByteArray userPad = paddedPassword(userPassword);
    s.owner = userPad;
    rc4(md5(paddedPassword(userPassword + QStringLiteral("-owner"))).left(5), s.owner);
    QByteArray keyInput = userPad + s.owner;
    qint32 perms = qToLittleEndian(kPermissions);
    keyInput.append(reinterpret_cast<const char *>(&perms), 4);
    keyInput.append(id);
    s.key = md5(keyInput).left(5);
    s.user = QByteArray(reinterpret_cast<const char *>(kPasswordPadding), 32);
    rc4(s.key, s.user);
    return s;
}

QByteArray objectKey(const Security &s, int object)
{
    QByteArray input = s.key;
    input.append(char(object & 0xFF));
    input.append(char((object >> 8) & 0xFF));
    input.append(char((object >> 16) & 0xFF));
    input.append('\0');
    input.append('\0');
    return md5(input).left(s.key.size() + 5);
}

QByteArray outlineDestination(const std::vector<int> &pageObjects, int page, QPointF point)
{
    if (page < 0 || page >= int(pageObjects.size()))
        return "null";
    return "[" + ref(pageObjects[page]) + " /XYZ " + num(point.x()) + " " + num(point.y()) + " null]";
}

constexpr char kStringMark = '\x01';

} // namespace

PdfFixtureWriter::PdfFixtureWriter()
{
    m_catalog = allocate();
    m_pagesRoot = allocate();
}

int PdfFixtureWriter::allocate() { return m_nextObject++; }

PdfFixtureWriter::Page &PdfFixtureWriter::page(int index)
{
    if (index < 0 || index >= int(m_pages.size()))
        throw std::out_of_range("PdfFixtureWriter: no such page");
    return m_pages[size_t(index)];
}

int PdfFixtureWriter::addPage(QSizeF mediaSize, std::optional<QRectF> cropBox, int rotate)
{
    Page p;
    p.media = mediaSize;
    p.crop = cropBox;
    p.rotate = rotate;
    p.objectNumber = allocate();
    p.contentNumber = allocate();
    m_pages.push_back(std::move(p));
    return int(m_pages.size()) - 1;
}

int PdfFixtureWriter::fontObject(FixtureFont font)
{
    const int key = int(font);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end())
        return it->second;
    const int object = allocate();
    Object o;
    o.dict = QByteArray("<< /Type /Font /Subtype /Type1 /BaseFont /")
        + (font == FixtureFont::Courier ? "Courier" : "Helvetica")
        + " /Encoding << /BaseEncoding /WinAnsiEncoding /Differences [1 /ff /fi /fl] >> >>";
    m_objects[object] = o;
    m_fonts[key] = object;
    return object;
}

int PdfFixtureWriter::cjkFontObject()
{
    if (m_cjkFont)
        return m_cjkFont;
    m_cjkFont = allocate();
    const int descendant = allocate();
    const int descriptor = allocate();
    Object font;
    font.dict = "<< /Type /Font /Subtype /Type0 /BaseFont /STSong-Light /Encoding /UniGB-UCS2-H "
                "/DescendantFonts [" + ref(descendant) + "] >>";
    Object cid;
    cid.dict = QByteArray("<< /Type /Font /Subtype /CIDFontType0 /BaseFont /STSong-Light "
                          "/CIDSystemInfo << /Registry ") + kStringMark + "0" + kStringMark
        + " /Ordering " + kStringMark + "1" + kStringMark + " /Supplement 2 >> /FontDescriptor "
        + ref(descriptor) + " /DW 1000 >>";
    cid.strings = {"Adobe", "GB1"};
    Object desc;
    desc.dict = "<< /Type /FontDescriptor /FontName /STSong-Light /Flags 6 "
                "/FontBBox [-25 -254 1000 880] /ItalicAngle 0 /Ascent 880 /Descent -120 "
                "/CapHeight 880 /StemV 93 >>";
    m_objects[m_cjkFont] = font;
    m_objects[descendant] = cid;
    m_objects[descriptor] = desc;
    return m_cjkFont;
}

void PdfFixtureWriter::addText(int pageIndex, QPointF origin, const QString &text, FixtureFont font,
                               double size)
{
    Page &p = page(pageIndex);
    fontObject(font);
    QByteArray bytes;
    for (QChar c : text)
        bytes.append(winAnsiByte(c));
    p.content += "BT /" + QByteArray(font == FixtureFont::Courier ? "FC" : "FH") + " " + num(size)
        + " Tf 1 0 0 1 " + num(origin.x()) + " " + num(origin.y()) + " Tm " + literalString(bytes)
        + " Tj ET\n";
}

void PdfFixtureWriter::addCjkText(int pageIndex, QPointF origin, const QString &text, double size)
{
    Page &p = page(pageIndex);
    cjkFontObject();
    QByteArray hex;
    for (QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    p.content += "BT /FK " + num(size) + " Tf 1 0 0 1 " + num(origin.x()) + " " + num(origin.y())
        + " Tm <" + hex + "> Tj ET\n";
}

double PdfFixtureWriter::textWidth(const QString &text, FixtureFont font, double size)
{
    double units = 0;
    for (QChar c : text) {
        if (font == FixtureFont::Courier) {
            units += 600;
            continue;
        }
        unsigned char b = static_cast<unsigned char>(winAnsiByte(c));
        if (b < 32 || b > 126)
            b = '?';
        units += kHelveticaWidths[b - 32];
    }
    return units * size / 1000.0;
}

void PdfFixtureWriter::appendAnnot(int pageIndex, Object object)
{
    Page &p = page(pageIndex);
    const int number = allocate();
    object.dict = "<< /Type /Annot " + object.dict + " /P " + ref(p.objectNumber) + " >>";
    m_objects[number] = std::move(object);
    p.annots.push_back(number);
}

namespace {

// Appends a string placeholder to an annotation being built.
struct AnnotBuilder {
    QByteArray dict;
    std::vector<QByteArray> strings;

    AnnotBuilder &raw(const QByteArray &text)
    {
        dict += text;
        return *this;
    }
    AnnotBuilder &string(const QByteArray &key, const QByteArray &bytes)
    {
        dict += " /" + key + " " + kStringMark + QByteArray::number(int(strings.size())) + kStringMark;
        strings.push_back(bytes);
        return *this;
    }
    AnnotBuilder &text(const QByteArray &key, const QString &value)
    {
        if (!value.isNull())
            string(key, textStringBytes(value));
        return *this;
    }
};

} // namespace

void PdfFixtureWriter::addLink(int pageIndex, const QRectF &rect, int targetPage, QPointF targetPoint)
{
    Page &target = page(targetPage);
    Object o;
    o.dict = "/Subtype /Link /Rect " + rectArray(rect) + " /Border [0 0 0] /Dest [" + ref(target.objectNumber)
        + " /XYZ " + num(targetPoint.x()) + " " + num(targetPoint.y()) + " null]";
    appendAnnot(pageIndex, std::move(o));
}

void PdfFixtureWriter::addUriLink(int pageIndex, const QRectF &rect, const QString &uri)
{
    AnnotBuilder b;
    b.raw("/Subtype /Link /Rect " + rectArray(rect) + " /Border [0 0 0] /A << /S /URI")
        .string("URI", uri.toUtf8())
        .raw(" >>");
    appendAnnot(pageIndex, Object{b.dict, {}, false, b.strings});
}

void PdfFixtureWriter::setOutline(const std::vector<FixtureOutlineItem> &items) { m_outline = items; }

FixtureQuad PdfFixtureWriter::quadOf(const QRectF &rect)
{
    const QRectF r = rect.normalized();
    // In user space (y up) the rectangle's "top" in Qt terms is its lower edge.
    return {QPointF(r.left(), r.bottom()), QPointF(r.right(), r.bottom()), QPointF(r.left(), r.top()),
            QPointF(r.right(), r.top())};
}

void PdfFixtureWriter::addTextMarkup(int pageIndex, const QByteArray &subtype,
                                     const std::vector<FixtureQuad> &quads, const QColor &color,
                                     const QString &contents, const QString &author)
{
    QByteArray points;
    std::vector<QPointF> all;
    for (const FixtureQuad &q : quads) {
        for (const QPointF &pt : q) {
            points += (points.isEmpty() ? "" : " ") + num(pt.x()) + " " + num(pt.y());
            all.push_back(pt);
        }
    }
    const QRectF bounds = all.empty() ? QRectF() : QPolygonF(QList<QPointF>(all.begin(), all.end())).boundingRect();
    AnnotBuilder b;
    b.raw("/Subtype /" + subtype + " /Rect " + rectArray(bounds) + " /QuadPoints [" + points + "] /C "
          + colorArray(color) + " /CA " + num(color.alphaF()) + " /F 4")
        .text("Contents", contents)
        .text("T", author);
    appendAnnot(pageIndex, Object{b.dict, {}, false, b.strings});
}

void PdfFixtureWriter::addHighlight(int pageIndex, const std::vector<QRectF> &rects, const QColor &color,
                                    const QString &contents, const QString &author)
{
    std::vector<FixtureQuad> quads;
    for (const QRectF &r : rects)
        quads.push_back(quadOf(r));
    addTextMarkup(pageIndex, "Highlight", quads, color, contents, author);
}

void PdfFixtureWriter::addTextNote(int pageIndex, const QRectF &rect, const QString &contents,
                                   const QString &author, const QColor &color, const QByteArray &icon)
{
    AnnotBuilder b;
    b.raw("/Subtype /Text /Rect " + rectArray(rect) + " /Name /" + icon + " /Open false /C " + colorArray(color)
          + " /F 4")
        .text("Contents", contents)
        .text("T", author);
    appendAnnot(pageIndex, Object{b.dict, {}, false, b.strings});
}

void PdfFixtureWriter::addFreeText(int pageIndex, const QRectF &rect, const QString &contents, double fontSize,
                                   const QColor &textColor, int alignment, const QString &author)
{
    AnnotBuilder b;
    b.raw("/Subtype /FreeText /Rect " + rectArray(rect) + " /Q " + QByteArray::number(alignment) + " /F 4")
        .string("DA", "/Helv " + num(fontSize) + " Tf " + rgbOperands(textColor) + " rg")
        .text("Contents", contents)
        .text("T", author);
    appendAnnot(pageIndex, Object{b.dict, {}, false, b.strings});
}

void PdfFixtureWriter::addRawAnnotation(int pageIndex, const QByteArray &dict)
{
    appendAnnot(pageIndex, Object{dict, {}, false, {}});
}

void PdfFixtureWriter::addFilledRect(int pageIndex, const QRectF &rect, const QColor &color)
{
    const QRectF r = rect.normalized();
    page(pageIndex).content += "q " + rgbOperands(color) + " rg " + num(r.x()) + " " + num(r.y()) + " "
        + num(r.width()) + " " + num(r.height()) + " re f Q\n";
}

void PdfFixtureWriter::addLine(int pageIndex, QPointF from, QPointF to, double width, const QColor &color)
{
    page(pageIndex).content += "q " + rgbOperands(color) + " RG " + num(width) + " w " + num(from.x()) + " "
        + num(from.y()) + " m " + num(to.x()) + " " + num(to.y()) + " l S Q\n";
}

void PdfFixtureWriter::addImage(int pageIndex, const QRectF &rect, const QImage &image)
{
    Page &p = page(pageIndex);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    Object o;
    o.isStream = true;
    for (int y = 0; y < rgb.height(); ++y)
        o.stream.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    o.dict = "/Type /XObject /Subtype /Image /Width " + QByteArray::number(rgb.width()) + " /Height "
        + QByteArray::number(rgb.height()) + " /ColorSpace /DeviceRGB /BitsPerComponent 8";
    const int number = allocate();
    m_objects[number] = std::move(o);
    const QByteArray name = "Im" + QByteArray::number(number);
    p.xobjects[name] = number;
    const QRectF r = rect.normalized();
    p.content += "q " + num(r.width()) + " 0 0 " + num(r.height()) + " " + num(r.x()) + " " + num(r.y())
        + " cm /" + name + " Do Q\n";
}

void PdfFixtureWriter::addContent(int pageIndex, const QByteArray &operators)
{
    QByteArray &content = page(pageIndex).content;
    content += operators;
    if (!content.endsWith('\n'))
        content += '\n';
}

int PdfFixtureWriter::addFormXObject(const QByteArray &content, const QRectF &bbox, const QTransform &matrix,
                                     const std::vector<int> &uses)
{
    Form f;
    f.objectNumber = allocate();
    f.content = content;
    f.bbox = bbox;
    f.matrix = matrix;
    f.uses = uses;
    m_forms.push_back(std::move(f));
    return int(m_forms.size()) - 1;
}

void PdfFixtureWriter::drawForm(int pageIndex, int form, const QTransform &placement)
{
    if (form < 0 || form >= int(m_forms.size()))
        throw std::out_of_range("PdfFixtureWriter: no such form");
    Page &p = page(pageIndex);
    const QByteArray name = "Fm" + QByteArray::number(form);
    p.xobjects[name] = m_forms[size_t(form)].objectNumber;
    QByteArray cm;
    if (!placement.isIdentity())
        cm = matrixArray(placement).mid(1).chopped(1) + " cm ";
    p.content += "q " + cm + "/" + name + " Do Q\n";
}

void PdfFixtureWriter::addSelfDrawingForm(int pageIndex)
{
    const int id = int(m_forms.size());
    const QByteArray name = "Fm" + QByteArray::number(id);
    const int form = addFormXObject("0 0 10 10 re f 0.9 0 0 0.9 1 1 cm /" + name + " Do\n",
                                    QRectF(0, 0, 100, 100));
    m_forms[size_t(form)].self = true;
    drawForm(pageIndex, form);
}

void PdfFixtureWriter::setPageLabels(const std::vector<FixturePageLabelRange> &ranges) { m_labels = ranges; }

int PdfFixtureWriter::writeOutlineItems(const std::vector<FixtureOutlineItem> &items, int parent,
                                        std::map<int, Object> &objects, int &counter) const
{
    // Returns the number of descendants written (for /Count).
    std::vector<int> numbers;
    for (size_t i = 0; i < items.size(); ++i)
        numbers.push_back(counter++);
    std::vector<int> pageObjects;
    for (const Page &p : m_pages)
        pageObjects.push_back(p.objectNumber);
    int total = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const FixtureOutlineItem &item = items[i];
        AnnotBuilder b;
        b.raw("<<").text("Title", item.title);
        b.raw(" /Parent " + ref(parent) + " /Dest " + outlineDestination(pageObjects, item.page, item.point));
        if (i > 0)
            b.raw(" /Prev " + ref(numbers[i - 1]));
        if (i + 1 < items.size())
            b.raw(" /Next " + ref(numbers[i + 1]));
        if (!item.children.empty()) {
            // Each level's entries get consecutive numbers, children first.
            const int first = counter;
            const int below = writeOutlineItems(item.children, numbers[i], objects, counter);
            b.raw(" /First " + ref(first) + " /Last " + ref(first + int(item.children.size()) - 1) + " /Count "
                  + QByteArray::number(below));
            total += below;
        }
        b.raw(" >>");
        objects[numbers[i]] = Object{b.dict, {}, false, b.strings};
        total += 1;
    }
    return total;
}

QByteArray PdfFixtureWriter::data() const
{
    std::map<int, Object> objects = m_objects;
    int counter = m_nextObject;

    // Outline.
    int outlineRoot = 0;
    if (!m_outline.empty()) {
        outlineRoot = counter++;
        const int first = counter;
        const int count = writeOutlineItems(m_outline, outlineRoot, objects, counter);
        const int last = first + int(m_outline.size()) - 1;
        objects[outlineRoot] = Object{"<< /Type /Outlines /First " + ref(first) + " /Last " + ref(last)
                                          + " /Count " + QByteArray::number(count) + " >>",
                                      {}, false, {}};
        if (m_cyclicOutline) {
            Object &lastItem = objects[last];
            lastItem.dict.chop(3);
            lastItem.dict += " /Next " + ref(first) + " >>";
            Object &firstItem = objects[first];
            if (!firstItem.dict.contains("/First ")) {
                firstItem.dict.chop(3);
                firstItem.dict += " /First " + ref(outlineRoot) + " /Last " + ref(outlineRoot) + " /Count 1 >>";
            }
        }
    }

    // Page labels.
    int labelsRoot = 0;
    if (!m_labels.empty()) {
        auto labelEntry = [](const FixturePageLabelRange &r, std::vector<QByteArray> &strings) {
            QByteArray d = QByteArray::number(r.firstPage) + " <<";
            if (r.style)
                d += " /S /" + QByteArray(1, r.style);
            if (!r.prefix.isEmpty()) {
                d += " /P " + QByteArray(1, kStringMark) + QByteArray::number(int(strings.size())) + kStringMark;
                strings.push_back(textStringBytes(r.prefix));
            }
            if (r.start != 1)
                d += " /St " + QByteArray::number(r.start);
            return d + " >>";
        };
        auto numsObject = [&](size_t from, size_t to, bool limits) {
            Object o;
            QByteArray nums;
            for (size_t i = from; i < to; ++i)
                nums += (nums.isEmpty() ? "" : " ") + labelEntry(m_labels[i], o.strings);
            o.dict = "<<";
            if (limits)
                o.dict += " /Limits [" + QByteArray::number(m_labels[from].firstPage) + " "
                    + QByteArray::number(m_labels[to - 1].firstPage) + "]";
            o.dict += " /Nums [" + nums + "] >>";
            return o;
        };
        labelsRoot = counter++;
        if (m_labelKids && m_labels.size() >= 2) {
            const size_t half = m_labels.size() / 2;
            const int a = counter++;
            const int b = counter++;
            objects[a] = numsObject(0, half, true);
            objects[b] = numsObject(half, m_labels.size(), true);
            QByteArray kids = ref(a) + " " + ref(b);
            if (m_labelKidsCyclic)
                kids += " " + ref(labelsRoot);
            objects[labelsRoot] = Object{"<< /Kids [" + kids + "] >>", {}, false, {}};
        } else {
            objects[labelsRoot] = numsObject(0, m_labels.size(), false);
        }
    }

    // Font resources shared by every page and form.
    QByteArray fonts;
    for (const auto &[font, object] : m_fonts)
        fonts += (FixtureFont(font) == FixtureFont::Courier ? " /FC " : " /FH ") + ref(object);
    if (m_cjkFont)
        fonts += " /FK " + ref(m_cjkFont);
    auto resources = [&](const std::map<QByteArray, int> &xobjects) {
        QByteArray r = "<<";
        if (!fonts.isEmpty())
            r += " /Font <<" + fonts + " >>";
        if (!xobjects.empty()) {
            r += " /XObject <<";
            for (const auto &[name, object] : xobjects)
                r += " /" + name + " " + ref(object);
            r += " >>";
        }
        return r + " >>";
    };

    // Forms.
    for (size_t i = 0; i < m_forms.size(); ++i) {
        const Form &f = m_forms[i];
        std::map<QByteArray, int> xobjects;
        for (int used : f.uses)
            if (used >= 0 && used < int(m_forms.size()))
                xobjects["Fm" + QByteArray::number(used)] = m_forms[size_t(used)].objectNumber;
        if (f.self)
            xobjects["Fm" + QByteArray::number(int(i))] = f.objectNumber;
        Object o;
        o.isStream = true;
        o.stream = f.content;
        o.dict = "/Type /XObject /Subtype /Form /BBox " + rectArray(f.bbox) + " /Matrix " + matrixArray(f.matrix)
            + " /Resources " + resources(xobjects);
        objects[f.objectNumber] = std::move(o);
    }

    // Pages.
    QByteArray kids;
    for (const Page &p : m_pages) {
        kids += (kids.isEmpty() ? "" : " ") + ref(p.objectNumber);
        QByteArray d = "<< /Type /Page /Parent " + ref(m_pagesRoot) + " /MediaBox [0 0 " + num(p.media.width())
            + " " + num(p.media.height()) + "]";
        if (p.crop)
            d += " /CropBox " + rectArray(*p.crop);
        if (p.rotate != 0)
            d += " /Rotate " + QByteArray::number(p.rotate);
        d += " /Resources " + resources(p.xobjects) + " /Contents " + ref(p.contentNumber);
        if (!p.annots.empty()) {
            d += " /Annots [";
            for (size_t i = 0; i < p.annots.size(); ++i)
                d += (i ? " " : "") + ref(p.annots[i]);
            d += "]";
        }
        objects[p.objectNumber] = Object{d + " >>", {}, false, {}};
        objects[p.contentNumber] = Object{{}, p.content, true, {}};
    }
    objects[m_pagesRoot] = Object{"<< /Type /Pages /Kids [" + kids + "] /Count "
                                      + QByteArray::number(int(m_pages.size())) + " >>",
                                  {}, false, {}};

    QByteArray catalog = "<< /Type /Catalog /Pages " + ref(m_pagesRoot);
    if (outlineRoot)
        catalog += " /Outlines " + ref(outlineRoot);
    if (labelsRoot)
        catalog += " /PageLabels " + ref(labelsRoot);
    objects[m_catalog] = Object{catalog + " >>", {}, false, {}};

    const QByteArray id = md5("Folvan test fixture");
    std::optional<Security> security;
    int encryptObject = 0;
    if (m_userPassword) {
        security = makeSecurity(*m_userPassword, id);
        encryptObject = counter++;
    }

    // Serialize.
    QByteArray out("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
    const int size = counter;
    std::vector<qint64> offsets(size_t(size), -1);
    for (auto &[number, object] : objects) {
        QByteArray dict = object.dict;
        const QByteArray key = security ? objectKey(*security, number) : QByteArray();
        // Replace string placeholders by the (possibly encrypted) strings.
        for (size_t i = 0; i < object.strings.size(); ++i) {
            const QByteArray mark = kStringMark + QByteArray::number(int(i)) + kStringMark;
            QByteArray value = object.strings[i];
            QByteArray written;
            if (security) {
                rc4(key, value);
                written = "<" + value.toHex().toUpper() + ">";
            } else {
                written = literalString(value);
            }
            dict.replace(mark, written);
        }
        offsets[size_t(number)] = out.size();
        out += QByteArray::number(number) + " 0 obj\n";
        if (object.isStream) {
            QByteArray stream = object.stream;
            if (security)
                rc4(key, stream);
            out += "<< " + dict + (dict.isEmpty() ? "" : " ") + "/Length " + QByteArray::number(stream.size())
                + " >>\nstream\n" + stream + "\nendstream";
        } else {
            out += dict;
        }
        out += "\nendobj\n";
    }
    if (security) {
        offsets[size_t(encryptObject)] = out.size();
        out += QByteArray::number(encryptObject) + " 0 obj\n<< /Filter /Standard /V 1 /R 2 /O <"
            + security->owner.toHex().toUpper() + "> /U <" + security->user.toHex().toUpper() + "> /P "
            + QByteArray::number(kPermissions) + " >>\nendobj\n";
    }

    const qint64 xref = out.size();
    out += "xref\n0 " + QByteArray::number(size) + "\n";
    out += "0000000000 65535 f \n";
    for (int i = 1; i < size; ++i) {
        if (offsets[size_t(i)] < 0)
            out += "0000000000 65535 f \n";
        else
            out += QByteArray::number(offsets[size_t(i)]).rightJustified(10, '0') + " 00000 n \n";
    }
    out += "trailer\n<< /Size " + QByteArray::number(size) + " /Root " + ref(m_catalog) + " /ID [<"
        + id.toHex().toUpper() + "> <" + id.toHex().toUpper() + ">]";
    if (security)
        out += " /Encrypt " + ref(encryptObject);
    out += " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

bool PdfFixtureWriter::save(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = data();
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace folvan::engine
