// Writes the papers that the reflow page's node tests read: each page holds
// one thing a real paper has that the page must read as its reader would.
// Usage: write-reflow-fixtures FOLDER

#include "fixtures/PdfFixtureWriter.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdio>

using folvan::engine::FixtureFont;
using folvan::engine::PdfFixtureWriter;

namespace {

constexpr double kLeft = 72;
constexpr double kBody = 10;
constexpr double kLead = 12;

// One line of pieces set one after the other: Helvetica text, or math text
// (500/1000 wide per character) when the piece starts with '$'.
double setLine(PdfFixtureWriter &w, int page, double x, double y, const QStringList &pieces, double size = kBody)
{
    for (const QString &piece : pieces) {
        if (piece.startsWith(QLatin1Char('$'))) {
            const QString math = piece.mid(1);
            w.addMathText(page, {x, y}, math, size);
            x += 0.5 * size * math.toUcs4().size();
        } else {
            w.addText(page, {x, y}, piece, FixtureFont::Helvetica, size);
            x += PdfFixtureWriter::textWidth(piece, FixtureFont::Helvetica, size);
        }
    }
    return x;
}

// Lines of body text from `y` downwards; returns the baseline after them.
double setParagraph(PdfFixtureWriter &w, int page, double y, const QStringList &lines)
{
    for (const QString &line : lines) {
        w.addText(page, {kLeft, y}, line, FixtureFont::Helvetica, kBody);
        y -= kLead;
    }
    return y;
}

const QStringList kOpening = {
    QStringLiteral("The paper studies how a reader meets the text of a page, line by line and block by"),
    QStringLiteral("block, when the page is set again in one column of the width the reader chooses."),
    QStringLiteral("Every line here is set in the body face and size of the paper, so that the body"),
    QStringLiteral("size of the page is known and the pieces set apart from it stand out as they should."),
};

// Letters of the mathematical alphabets lie above U+FFFF.
void mathLetters(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 720, kOpening) - kLead;
    setLine(w, page, kLeft, y, {QStringLiteral("The angle runs from "), QString::fromUcs4(U"$\U0001D6FC"),
                                QStringLiteral(" to "), QString::fromUcs4(U"$\U0001D714"),
                                QStringLiteral(" and the limit lim"), QString::fromUcs4(U"$\U0001D45B\u2192\u221E"),
                                QStringLiteral(" stays finite for every choice.")});
    y = setParagraph(w, page, y - kLead, {QStringLiteral("The rest of the paragraph goes on in the body face as before.")});
    // A font whose glyph names are its only character map, as a title set in
    // mathematical italic has it.
    const QString before = QStringLiteral("Named glyphs read ");
    w.addText(page, {kLeft, y - kLead}, before, FixtureFont::Helvetica, kBody);
    w.addNamedMathText(page, {kLeft + PdfFixtureWriter::textWidth(before, FixtureFont::Helvetica, kBody), y - kLead},
                       QString::fromUcs4(U"\U0001D44E\U0001D44F\u2192\U0001D465"), kBody);
}

// A glyph whose font gives it no Unicode.
void unmappedGlyph(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 720, kOpening) - kLead;
    setLine(w, page, kLeft, y, {QStringLiteral("Let "), QStringLiteral("$\uFFFD"),
                                QStringLiteral("Y be the set of all points that the estimate covers here.")});
}

// A display formula in the middle of a sentence.
void displayFormula(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 720, kOpening) - kLead;
    y = setParagraph(w, page, y, {
        QStringLiteral("The estimates below hold for every point of the domain we consider, and it"),
        QStringLiteral("is well known that"),
    });
    y -= 8;
    setLine(w, page, 250, y, {QString::fromUcs4(U"$\U0001D43E(\U0001D456|\U0001D456)=\u2211\U0001D44E\U0001D44F\U0001D450+\U0001D451")});
    w.addText(page, {520, y}, QStringLiteral("(1)"), FixtureFont::Helvetica, kBody);
    y -= kLead + 8;
    y = setParagraph(w, page, y, {
        QStringLiteral("where K is the kernel of the operator on the diagonal, which we bound from above"),
        QStringLiteral("by a constant that depends only on the domain and the order of the operator."),
    });
    setParagraph(w, page, y - kLead, {QStringLiteral("  A new paragraph starts here and says something else entirely.")});
}

// A table ruled above, under its head and below, far taller than wide.
void tallTable(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    setParagraph(w, page, 750, {QStringLiteral("The table below lists every measured value of the series in the order taken.")});
    w.addText(page, {kLeft, 712}, QStringLiteral("Table 1: Measured values of the series"), FixtureFont::Helvetica, 9);
    w.addLine(page, {kLeft, 700}, {540, 700}, 0.8);
    const double columns[] = {80, 200, 320, 440};
    const char *heads[] = {"Row", "Value", "Error", "Name"};
    for (int c = 0; c < 4; ++c)
        w.addText(page, {columns[c], 690}, QString::fromLatin1(heads[c]), FixtureFont::Helvetica, 9);
    w.addLine(page, {kLeft, 684}, {540, 684}, 0.5);
    double y = 672;
    for (int r = 1; r <= 32; ++r, y -= 14) {
        w.addText(page, {columns[0], y}, QStringLiteral("Row %1").arg(r), FixtureFont::Helvetica, 9);
        w.addText(page, {columns[1], y}, QStringLiteral("0.%1").arg(500 + 7 * r), FixtureFont::Helvetica, 9);
        w.addText(page, {columns[2], y}, QStringLiteral("%1.%2").arg(r % 4).arg(r * 3 % 10), FixtureFont::Helvetica, 9);
        w.addText(page, {columns[3], y}, QStringLiteral("item%1").arg(QChar(u'a' + r % 26)), FixtureFont::Helvetica, 9);
    }
    w.addLine(page, {kLeft, y + 6}, {540, y + 6}, 0.8);
    setParagraph(w, page, y - 20, {QStringLiteral("After the table the text of the paper goes on in the body face and size.")});
}

// A scanned page: one picture and no text layer.
void scannedPage(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    QImage scan(153, 198, QImage::Format_RGB888);
    scan.fill(QColor(246, 244, 238));
    QPainter painter(&scan);
    for (int row = 0; row < 30; ++row)
        painter.fillRect(18, 20 + row * 5, 100 + (row * 37) % 17, 2, QColor(40, 40, 40));
    painter.end();
    w.addImage(page, QRectF(0, 0, 612, 792), scan);
}

// A sentence with a line set mostly in typewriter face, then code.
void typewriterLine(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 720, kOpening) - kLead;
    w.addText(page, {kLeft, y}, QStringLiteral("To load the packages, the preamble of the paper names each of them, one by one, in the form"),
              FixtureFont::Helvetica, kBody);
    y -= kLead;
    const QString code = QStringLiteral("\\usepackage{amsmath} \\usepackage{graphicx}");
    w.addText(page, {kLeft, y}, code, FixtureFont::Courier, kBody);
    w.addText(page, {kLeft + PdfFixtureWriter::textWidth(code, FixtureFont::Courier, kBody), y},
              QStringLiteral(" and the rest of the preamble, and"),
              FixtureFont::Helvetica, kBody);
    y -= kLead;
    y = setParagraph(w, page, y, {QStringLiteral("then the body of the paper uses what they define in every section."),
                                  QStringLiteral("A figure is set with these two commands:")});
    y -= 4;
    for (const char *line : {"\\begin{figure}", "\\end{figure}"}) {
        w.addText(page, {kLeft + 20, y}, QString::fromLatin1(line), FixtureFont::Courier, kBody);
        y -= kLead;
    }
}

// A table of contents: entry numbers, titles, leaders or none, and page
// numbers set flush right.
void tableOfContents(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    w.addText(page, {kLeft, 720}, QStringLiteral("Contents"), FixtureFont::Helvetica, 14);
    const struct {
        const char *number, *title;
        int page;
        bool leaders;
    } entries[] = {{"1", "Introduction", 2, false}, {"2", "Methods", 4, false}, {"2.1", "Data", 5, true},
                   {"2.2", "Models", 7, true},      {"3", "Results", 11, false}};
    double y = 690;
    for (const auto &e : entries) {
        const bool sub = QByteArray(e.number).contains('.');
        w.addText(page, {kLeft + (sub ? 15 : 0), y}, QString::fromLatin1(e.number), FixtureFont::Helvetica, kBody);
        QString title = QString::fromLatin1(e.title);
        if (e.leaders)
            title += QStringLiteral(" . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . .");
        w.addText(page, {kLeft + (sub ? 39 : 15), y}, title, FixtureFont::Helvetica, kBody);
        const QString number = QString::number(e.page);
        w.addText(page, {540 - PdfFixtureWriter::textWidth(number, FixtureFont::Helvetica, kBody), y}, number,
                  FixtureFont::Helvetica, kBody);
        y -= 16;
    }
    setParagraph(w, page, y - 20, kOpening);
}

// Front matter framed by rules across the text width (an abstract and its
// keywords), then a note framed by a drawn box: prose, not tables.
void framedProse(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    w.addText(page, {kLeft, 740}, QStringLiteral("A Title Set Over the Framed Abstract"), FixtureFont::Helvetica, 16);
    w.addLine(page, {kLeft, 712}, {540, 712}, 0.5);
    double y = setParagraph(w, page, 698, {
        QStringLiteral("Abstract. We study how readers move through the text of a paper set in one column"),
        QStringLiteral("and show that the frame around the front matter is no table: the lines between the"),
        QStringLiteral("two rules are sentences that run from the left margin to the right one, and the"),
        QStringLiteral("reader wants to select, search and mark them as any other paragraph of the paper."),
        QStringLiteral("The last line of the abstract is short."),
    });
    y = setParagraph(w, page, y - 4, {QStringLiteral("Keywords: reading, layout, frames, rules, abstracts, front matter of papers")});
    w.addLine(page, {kLeft, y + 4}, {540, y + 4}, 0.5);
    y = setParagraph(w, page, y - 24, kOpening);
    // The note: a stroked box with three lines of prose in it.
    y -= 20;
    w.addContent(page, QByteArrayLiteral("q 0.6 w ") + QByteArray::number(kLeft - 6) + ' ' + QByteArray::number(y - 34) +
                           QByteArrayLiteral(" 480 52 re S Q\n"));
    setParagraph(w, page, y, {
        QStringLiteral("Note. A framed note holds a few sentences that the reader reads with the text around"),
        QStringLiteral("it, and which must stay text that can be selected, searched and marked as the rest,"),
        QStringLiteral("however the frame around it is drawn on the page."),
    });
    setParagraph(w, page, y - 60, {QStringLiteral("After the note the paper goes on in the body face and size.")});
}

// Display formulas whose pieces the text walk gives apart, placed as a
// mathematics typesetter places them: a sentence whose sum has its limits
// stacked (the pieces overlap), a sum whose big operator hangs from an
// origin above the baseline with its limit under it and the number far
// right, a formula too wide for its number (set on the line under it), and
// a display at the foot of the page with a script-size piece.
void displayPieces(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 740, kOpening);
    const double end = setLine(w, page, kLeft, y, {QStringLiteral("Corollary 3.4. Write det(B - xI) = "),
                                                   QString::fromUcs4(U"$\u2211\U0001D45B")});
    setLine(w, page, end - 5, y, {QString::fromUcs4(U"$\U0001D459=0(\u22121)\U0001D459\U0001D44F\U0001D459\U0001D465\U0001D459"),
                                  QStringLiteral(". Then")});
    y -= 32;
    setLine(w, page, 260, y, {QString::fromUcs4(U"$\U0001D44F\U0001D459 =")});
    w.addMathText(page, {282, y + 9.5}, QString::fromUcs4(U"\u2211"), kBody);
    w.addMathText(page, {280, y - 12}, QString::fromUcs4(U"\U0001D43C\U0001D459\u2286\U0001D45B"), 7);
    w.addText(page, {300, y}, QStringLiteral("det B(I|I)."), FixtureFont::Helvetica, kBody);
    w.addText(page, {520, y}, QStringLiteral("(10)"), FixtureFont::Helvetica, kBody);
    y -= 30;
    y = setParagraph(w, page, y, {QStringLiteral("Not all numbered equations fit within the column with their number, as here:")});
    y -= 12;
    setLine(w, page, kLeft + 6, y, {QString::fromUcs4(U"$\U0001D44E\U0001D44F12345678\U0001D44E\U0001D44F\U0001D450123456\U0001D44E\U0001D44F\U0001D450\U0001D451\U0001D452\U0001D453\u03B1\u03B2\u03B3\u03B412345567890\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA")});
    y -= 14;
    w.addText(page, {522, y}, QStringLiteral("(3)"), FixtureFont::Helvetica, kBody);
    y -= kLead;
    setParagraph(w, page, y, {
        QStringLiteral("    When the label is used, the equation can be referred to in the text without"),
        QStringLiteral("knowing the number that it will be given when the paper is set."),
    });
    // The foot of the page: the script-size piece has no body text under it.
    y = 110;
    setParagraph(w, page, y + 34, {QStringLiteral("Lemma 3.2. Then it follows that")});
    const struct {
        double x, dy, size;
        const char32_t *text;
    } pieces[] = {
        {232, 14, kBody, U"\u220F"}, {232, -12, 7, U"\U0001D456\u2208\U0001D45B"},
        {246, 14, kBody, U"(\u2211"}, {254, -12, 7, U"\U0001D457\u2208\U0001D45B"},
        {270, -1.5, 7, U"\U0001D44F\U0001D456\U0001D457\U0001D466\U0001D457"}, {291, 14, kBody, U")"},
        {311, 14, kBody, U"(\u220F"}, {320, -12, 7, U"\U0001D456\u2208\U0001D45B"},
        {335, 0, kBody, U"\U0001D466\U0001D456"}, {343, 14, kBody, U")"},
    };
    for (const auto &piece : pieces)
        w.addMathText(page, {piece.x, y + piece.dy}, QString::fromUcs4(piece.text), piece.size);
    w.addText(page, {301, y}, QStringLiteral("="), FixtureFont::Helvetica, kBody);
    w.addText(page, {352, y}, QStringLiteral("det B."), FixtureFont::Helvetica, kBody);
    w.addText(page, {520, y}, QStringLiteral("(6)"), FixtureFont::Helvetica, kBody);
}

// A listing with a line set in far right, prose after it that names
// commands in typewriter face, a table without rules, and a paragraph of
// one line before another.
void listingAndTable(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 740, {QStringLiteral("In contrast, the declaration forms suit the commands and environments you define:")});
    y -= 6;
    const double em = PdfFixtureWriter::textWidth(QStringLiteral("x"), FixtureFont::Courier, kBody);
    const struct {
        int indent;
        const char *text;
    } listing[] = {{0, "\\newenvironment{bfitemize}{\\begin{itemize}\\bfseries}"}, {26, "{\\end{itemize}}"},
                   {0, "\\begin{bfitemize}"}, {0, "\\item This environment produces boldface items."},
                   {2, "\\texttt{itemize} environment."}, {0, "\\end{bfitemize}"}};
    for (const auto &line : listing) {
        w.addText(page, {90 + line.indent * em, y}, QString::fromLatin1(line.text), FixtureFont::Courier, kBody);
        y -= kLead;
    }
    y -= 2;
    double x = kLeft + 10;
    for (const auto &[text, mono] : {std::pair{"The ", false}, {"authornote", true}, {" and ", false},
                                      {"authornotemark", true}, {" commands", false}}) {
        const FixtureFont font = mono ? FixtureFont::Courier : FixtureFont::Helvetica;
        w.addText(page, {x, y}, QString::fromLatin1(text), font, kBody);
        x += PdfFixtureWriter::textWidth(QString::fromLatin1(text), font, kBody);
    }
    y = setParagraph(w, page, y - kLead, {QStringLiteral("allow a note to apply to several authors of the paper at once.")});
    y -= 10;
    const char *const table[][3] = {{"Command", "Corresponds to", "Action"},
                                    {"\\textrm{..}", "\\rmfamily", "Typeset argument in roman family"},
                                    {"\\textsf{..}", "\\sffamily", "Typeset argument in sans serif family"},
                                    {"\\texttt{..}", "\\ttfamily", "Typeset argument in typewriter family"},
                                    {"\\textbf{..}", "\\bfseries", "Typeset argument in bold series"},
                                    {"\\emph{..}", "\\em", "Typeset argument emphasized"}};
    for (int r = 0; r < 6; ++r, y -= kLead) {
        for (int c = 0; c < 3; ++c) {
            const FixtureFont font = r > 0 && c < 2 ? FixtureFont::Courier : FixtureFont::Helvetica;
            w.addText(page, {100.0 + 110 * c, y}, QString::fromLatin1(table[r][c]), font, kBody);
        }
    }
    w.addText(page, {200, y - 6}, QStringLiteral("Table 1: Font commands with arguments"), FixtureFont::Helvetica, kBody);
    y -= 2 * kLead + 6;
    setLine(w, page, kLeft + 10, y, {QStringLiteral("Table captions are placed above the table.")});
    setLine(w, page, kLeft + 10, y - kLead,
            {QStringLiteral("Because tables cannot be split across pages, the best place for them is the top")});
    y = setParagraph(w, page, y - 2 * kLead, {QStringLiteral("of the page nearest their first cite in the text of the paper.")});
    // A listing with its lines numbered in the margin in another face.
    y -= 6;
    const char *const numbered[] = {"\\ifx\\directlua\\undefined", "\\else", "  \\directlua{tex.enableprimitives('',{'Umathcode'})}", "\\fi"};
    for (int i = 0; i < 4; ++i, y -= kLead) {
        w.addText(page, {kLeft, y}, QString::number(12 + i), FixtureFont::Helvetica, 7);
        w.addText(page, {kLeft + 12, y}, QString::fromLatin1(numbered[i]), FixtureFont::Courier, kBody);
    }
}

// A number in letters (a, b, ..., ba, bb, ...): running headers and footers
// are told by their text without the digits, and these lines are none.
QString letters(int n)
{
    QString out;
    do {
        out.prepend(QChar(u'a' + n % 26));
        n /= 26;
    } while (n);
    return out;
}

// A long paper: sixty pages of body text, the references from page 50 on.
void longPaper(PdfFixtureWriter &w)
{
    for (int n = 0; n < 60; ++n) {
        const int page = w.addPage();
        double y = 740;
        if (n == 50) {
            w.addText(page, {kLeft, y}, QStringLiteral("References"), FixtureFont::Helvetica, 14);
            y -= 2 * kLead;
        }
        for (int i = 0; i < 40; ++i, y -= kLead) {
            const QString text = n >= 50 ? QStringLiteral("[%1] A. Author and B. Author. A title of the work cited, page %2.").arg(n * 40 + i).arg(n)
                                         : QStringLiteral("Line %1 of page %2 says what the paper says here in plain words")
                                               .arg(letters(i), letters(n + 1));
            w.addText(page, {kLeft, y}, text, FixtureFont::Helvetica, kBody);
        }
    }
}

// Prose read turned: page 1 is shown turned (/Rotate 90) over upright
// content, so that its text runs down the page as displayed; page 2 is an
// upright page whose text is set sideways, running up the page.
void turnedPages(PdfFixtureWriter &w)
{
    const QStringList lines = {
        QStringLiteral("The first line of the turned page begins the paragraph here,"),
        QStringLiteral("the second line goes on with what the first one said and"),
        QStringLiteral("the third line ends the paragraph of the turned page now."),
    };
    auto write = [&](int page) {
        w.addText(page, {kLeft, 540}, QStringLiteral("Results Read Across"), FixtureFont::Helvetica, 14);
        double y = 540 - 2 * kLead;
        for (const QString &line : lines) {
            w.addText(page, {kLeft, y}, line, FixtureFont::Helvetica, kBody);
            y -= kLead;
        }
    };
    write(w.addPage(QSizeF(612, 792), std::nullopt, 90));
    const int sideways = w.addPage();
    // Landscape content turned a quarter to the left onto the upright page.
    w.addContent(sideways, "q 0 1 -1 0 612 0 cm\n");
    write(sideways);
    w.addContent(sideways, "Q\n");
}

// Four pages with their furniture: a running head whose sides and page
// number swap from page to page, a file stamp and page number as the foot,
// set above the bottom band; the first page's title has the words of the
// odd pages' head, set large. Page 3 ends with lines of code numbered in
// small type, the code set in by its indentation.
void furnishedPaper(PdfFixtureWriter &w)
{
    const char *const words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};
    for (int n = 0; n < 4; ++n) {
        const int page = w.addPage();
        const bool odd = n % 2 == 0;
        const QString number = QString::number(901 + n);
        w.addText(page, {odd ? 72.0 : 400.0, 745}, odd ? QStringLiteral("The Examples Macros") : QStringLiteral("A. Author and B. Writer"),
                  FixtureFont::Helvetica, 9);
        w.addText(page, {odd ? 520.0 : 72.0, 745}, number, FixtureFont::Helvetica, 9);
        double y = 700;
        if (n == 0) {
            w.addText(page, {150, 700}, QStringLiteral("The Examples Macros"), FixtureFont::Helvetica, 18);
            y = 660;
        }
        for (int i = 0; i < 8; ++i, y -= kLead) {
            w.addText(page, {kLeft, y},
                      QStringLiteral("Body text of the %1 page goes on in its %2 line with the words a paper says.")
                          .arg(QLatin1String(words[n]), QLatin1String(words[(i + 3 * n) % 8])),
                      FixtureFont::Helvetica, kBody);
        }
        if (n == 2) {
            y -= kLead;
            const char *const code[] = {"\\def\\alpha{\\mathrel{=}}", "\\relbar\\joinrel\\rightarrow", "\\def\\beta{\\gamma}"};
            for (int i = 0; i < 3; ++i, y -= kLead) {
                w.addText(page, {kLeft, y + 1}, QString::number(457 + i), FixtureFont::Helvetica, 5);
                w.addText(page, {kLeft + 24 + 12 * i, y}, QString::fromLatin1(code[i]), FixtureFont::Courier, 9);
            }
        }
        w.addText(page, {kLeft, 125}, QStringLiteral("File B: fontdef.dtx Date: 2021/09/12 Version v3.5a"), FixtureFont::Helvetica, 9);
        w.addText(page, {520, 125}, QString::number(574 + n), FixtureFont::Helvetica, 9);
    }
}

// Accents set as glyphs of their own over their letters, before the letter
// or after it, as a typesetter without accented letters sets them; then a
// paragraph whose lines end in hyphens that join compounds, break words,
// and break a web address and an abbreviation the page also writes whole.
void accentsAndBreaks(PdfFixtureWriter &w)
{
    const int page = w.addPage();
    double y = setParagraph(w, page, 720, kOpening) - kLead;
    const auto width = [](const QString &text) { return PdfFixtureWriter::textWidth(text, FixtureFont::Helvetica, kBody); };
    // "Thus by M" "¨" "obius inversion", the accent centred over the o;
    // "the Poincar" "e" "´" " polynomial", the accent after its letter.
    const QString thus = QStringLiteral("Thus by M");
    double x = kLeft + width(thus);
    w.addText(page, {kLeft, y}, thus, FixtureFont::Helvetica, kBody);
    w.addText(page, {x + (width(QStringLiteral("o")) - width(QStringLiteral("\u00A8"))) / 2, y}, QStringLiteral("\u00A8"), FixtureFont::Helvetica, kBody);
    const QString rest = QStringLiteral("obius inversion and the Poincar");
    w.addText(page, {x, y}, rest, FixtureFont::Helvetica, kBody);
    x += width(rest);
    w.addText(page, {x, y}, QStringLiteral("e"), FixtureFont::Helvetica, kBody);
    w.addText(page, {x + (width(QStringLiteral("e")) - width(QStringLiteral("\u00B4"))) / 2, y}, QStringLiteral("\u00B4"), FixtureFont::Helvetica, kBody);
    w.addText(page, {x + width(QStringLiteral("e")), y}, QStringLiteral(" polynomial agree."), FixtureFont::Helvetica, kBody);
    y -= 2 * kLead;
    const QStringList lines = {
        QStringLiteral("Each paper goes from review to the final camera-ready copy, and the journal MNRAS then"),
        QStringLiteral("sets every line of it, and the template of the whole paper is kept for all to see at https://www."),
        QStringLiteral("acm.org/publications/proceedings-template, is sent as the final camera-"),
        QStringLiteral("ready copy to the Monthly Notices of the Royal Astronomical Society (MN-"),
        QStringLiteral("RAS), whose editors read it for every hyphen-"),
        QStringLiteral("ation and the rest of the words."),
    };
    setParagraph(w, page, y, lines);
    // The address's link covers both of its lines.
    const QString uri = QStringLiteral("https://www.acm.org/publications/proceedings-template");
    const QString before = QStringLiteral("sets every line of it, and the template of the whole paper is kept for all to see at ");
    w.addUriLink(page, QRectF(kLeft + width(before), y - kLead - 2, width(QStringLiteral("https://www.")), kLead), uri);
    w.addUriLink(page, QRectF(kLeft, y - 2 * kLead - 2, width(QStringLiteral("acm.org/publications/proceedings-template")), kLead), uri);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write-reflow-fixtures FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    const struct {
        const char *name;
        void (*write)(PdfFixtureWriter &);
    } papers[] = {
        {"math-letters.pdf", mathLetters},   {"unmapped-glyph.pdf", unmappedGlyph},
        {"display-formula.pdf", displayFormula}, {"tall-table.pdf", tallTable},
        {"scanned-page.pdf", scannedPage},   {"long-paper.pdf", longPaper},
        {"typewriter-line.pdf", typewriterLine}, {"table-of-contents.pdf", tableOfContents},
        {"framed-prose.pdf", framedProse},     {"display-pieces.pdf", displayPieces},
        {"listing-and-table.pdf", listingAndTable},
        {"turned-pages.pdf", turnedPages},     {"furnished-paper.pdf", furnishedPaper},
        {"accents-and-breaks.pdf", accentsAndBreaks},
    };
    for (const auto &paper : papers) {
        PdfFixtureWriter writer;
        paper.write(writer);
        if (!writer.save(folder.filePath(QString::fromLatin1(paper.name)))) {
            std::fprintf(stderr, "cannot write %s\n", paper.name);
            return 1;
        }
    }
    return 0;
}
