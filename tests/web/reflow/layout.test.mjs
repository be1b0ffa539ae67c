// Reading order and blocks on recorded pages of real papers and on small
// made-up pages.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import { layoutPage, layoutDocument, documentContext, readingOrder, linkPages } from "../../../web/reflow/layout.js";
import { KEY_FORM } from "../../../web/reflow/reading.js";

const fixture = (name) => JSON.parse(fs.readFileSync(new URL(`../../fixtures/reflow/${name}`, import.meta.url)));
const acm = fixture("acm-sample-pages.json").pages;
const aps = fixture("aps-sample-page.json").pages;

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 8, base: y + 7, size: 9, font: "Serif", math: 0, ...extra };
}
function page(lines, n = 0, more = {}) {
  return { page: n, width: 612, height: 792, lines, pictures: [], shapes: [], ...more };
}
const kinds = (laid) => laid.blocks.map((b) => `${b.kind}:${b.text.slice(0, 24)}`);
const indexOf = (laid, re) => laid.blocks.findIndex((b) => re.test(b.text));

test("a two-column first page reads title, figure, abstract column, then the other column, footnotes last", () => {
  const [laid] = layoutDocument([acm[0]]);
  const blocks = laid.blocks;
  assert.equal(blocks[0].kind, "heading");
  assert.equal(blocks[0].text, "The Name of the Title Is Hope");
  const figure = blocks.findIndex((b) => b.kind === "cutout");
  const caption = indexOf(laid, /^Figure 1:/);
  assert.equal(blocks[caption].kind, "caption");
  assert.ok(figure >= 0 && figure < caption);
  const order = [/^ABSTRACT$/, /^A clear and well-documented/, /^CCS CONCEPTS$/, /^KEYWORDS$/, /^1 INTRODUCTION$/, /^If you are new/]
    .map((re) => indexOf(laid, re));
  assert.ok(order.every((i) => i > caption), kinds(laid).join("\n"));
  assert.deepEqual(order, order.slice().sort((a, b) => a - b), kinds(laid).join("\n"));
  // The CCS line wraps with a hyphen; the two lines are one item, joined.
  assert.ok(blocks.some((b) => b.text.includes("Redundancy; Robotics")));
  const footnotes = blocks.filter((b) => b.kind === "footnote");
  assert.ok(footnotes.length >= 2);
  assert.ok(blocks.slice(blocks.indexOf(footnotes[0])).every((b) => b.kind === "footnote"));
  assert.ok(footnotes.some((b) => /^Permission to make digital/.test(b.text)));
});

test("display formulas and tables become cut-outs with their pieces, captions stay text", () => {
  const ctx = documentContext(acm);
  const laid = layoutPage(acm[1], ctx);
  const cut = laid.blocks.filter((b) => b.kind === "cutout");
  assert.ok(cut.some((b) => b.formula), kinds(laid).join("\n"));
  assert.ok(cut.some((b) => b.table), kinds(laid).join("\n"));
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /^(lim|\(1\))$/.test(b.text)), kinds(laid).join("\n"));
  assert.equal(laid.blocks[indexOf(laid, /^Table 1:/)].kind, "caption");
  for (const b of cut) {
    assert.equal(b.region.length, 4);
    assert.ok(b.region.every((v) => v >= 0 && v <= 1));
  }
});

test("a two-column journal page starts with the title block and puts the column text in order", () => {
  const [laid] = layoutDocument(aps);
  assert.match(laid.blocks[0].text, /^Manuscript Title/);
  const abstract = indexOf(laid, /^An article usually includes an abstract/);
  const first = indexOf(laid, /^I\. FIRST-LEVEL HEADING/);
  const later = indexOf(laid, /^Because REVTEX uses the natbib/);
  assert.ok(abstract > 0 && abstract < first && first < later, kinds(laid).join("\n"));
});

test("block ids have the correction form, are numbered in order and follow the text", () => {
  const [laid] = layoutDocument([acm[0]]);
  laid.blocks.forEach((b, i) => {
    assert.match(b.key, KEY_FORM);
    assert.equal(b.index, i);
    assert.ok(b.key.startsWith(`0:${i}:`));
  });
  const again = layoutDocument([acm[0]])[0];
  assert.deepEqual(again.blocks.map((b) => b.key), laid.blocks.map((b) => b.key));
});

test("running headers that repeat and page numbers are left out", () => {
  const body = (n) => [
    line("Short Title of the Paper", 60, 40, 150, { size: 7 }),
    line(String(n + 1), 300, 760, 8),
    line("Body text that says something about page " + (n + 1) + ".", 60, 300, 300),
  ];
  const laid = layoutDocument([page(body(0), 0), page(body(1), 1)]);
  for (const p of laid) {
    assert.equal(p.blocks.length, 1);
    assert.match(p.blocks[0].text, /^Body text/);
  }
});

test("a paragraph broken by the column end carries on in the next column", () => {
  const left = [
    line("1 INTRODUCTION", 54, 100, 90, { bold: true }),
    ...Array.from({ length: 6 }, (_, i) => line(i === 5 ? "the paragraph goes on into the next col-" : "filler words of a long paragraph in the left column here", 54, 115 + 11 * i, 240)),
  ];
  const right = [
    line("umn and ends there.", 318, 100, 240),
    line("Another paragraph starts with an indent and", 328, 111, 230),
    line("continues on the next line of the column.", 318, 122, 200),
  ];
  const [laid] = layoutDocument([page(left.concat(right))]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["heading", "paragraph", "paragraph", "paragraph"]);
  assert.equal(laid.blocks[2].continues, true);
  assert.match(laid.blocks[1].text, /next col-$/);
  assert.equal(laid.blocks[2].text, "umn and ends there.");
  assert.ok(!laid.blocks[3].continues);
});

test("references split at their numbers, not at short lines", () => {
  const lines = [
    line("REFERENCES", 54, 90, 80, { bold: true }),
    line("[1] A. Author. 2001. A title that ends the line.", 54, 105, 180),
    line("Journal of Things 3, 1.", 64, 116, 120),
    line("[2] B. Author. 2002. Another title.", 54, 127, 170),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["heading", "reference", "reference"]);
  assert.match(laid.blocks[1].text, /line\. Journal of Things 3, 1\.$/);
});

test("a title above two columns does not become a column", () => {
  const items = [
    { x: 190, y: 80, w: 230, h: 16, id: "title" },
    { x: 110, y: 110, w: 60, h: 12, id: "a1" },
    { x: 270, y: 110, w: 70, h: 12, id: "a2" },
    { x: 430, y: 110, w: 80, h: 12, id: "a3" },
  ];
  assert.deepEqual(readingOrder(items).map((i) => i.id), ["title", "a1", "a2", "a3"]);
});

test("text goes on across a page break, past the notes at the foot of the page before", () => {
  const body = (text, y) => line(text, 54, y, 300);
  const first = page([
    body("A paragraph that runs to the bottom of the page and does", 600),
    body("not end there but goes on over the page in the next one", 611),
    line("1 A note at the foot of the page.", 54, 740, 150, { size: 7 }),
  ], 0);
  const second = page([body("with the rest of its words on the second page.", 100), body("Another paragraph starts here.", 111)], 1);
  const [a, b] = layoutDocument([first, second]);
  assert.equal(a.blocks[a.blocks.length - 1].kind, "footnote");
  assert.equal(b.blocks[0].continues, true);
  // A heading on top of the next page starts afresh.
  const fresh = layoutPage(page([line("2 METHODS", 54, 100, 80, { bold: true }), body("with words.", 115)], 1), documentContext([first]));
  linkPages(a, fresh);
  assert.ok(!fresh.blocks.some((x) => x.continues));
});

test("a numbered reference goes on over the page, set inside the reference it ends", () => {
  const ref = (text, y) => line(text, 54, y, 300, { size: 8 });
  const first = page([line("References", 54, 560, 80, { bold: true, size: 11 }),
    ref("[1] A. Author. 2001. A title of the work. In Proceedings of the", 600),
    ref("[2] B. Author. 2002. Another work, in Lecture Notes in the", 640),
    ref("Series of the Society of Sciences, Vol. 275. Springer-Verlag,", 651)], 0);
  const second = page([ref("Berlin, Germany. vii+352 pages.", 100), ref("[3] C. Author. 2003. A third work.", 111)], 1);
  const [, b] = layoutDocument([first, second]);
  assert.equal(b.blocks[0].kind, "reference");
  assert.equal(b.blocks[0].joins, true);
  assert.ok(!b.blocks[1].continues);
});

test("an unnumbered reference broken by the column end or the page goes on, set inside the reference it ends", () => {
  const ref = (text, x, y, w) => line(text, x, y, w, { size: 8 });
  // Hanging indents: an entry starts at the column's margin, its other lines
  // are set in by 10 pt.
  const first = page([line("References", 54, 80, 80, { bold: true, size: 11 }),
    ref("Alice Author and Bob Writer. 2001. A title that", 54, 100, 240),
    ref("runs on to the next line. J. Things 3, 1-9.", 64, 110, 220),
    ref("Carol Coder. 2002. A long title of a work that the", 54, 125, 240),
    ref("column breaks in two, in Proceedings of the", 64, 135, 230),
    ref("Conference on Things, 12-20.", 328, 100, 150),
    ref("Dan Doer. 2003. A third work that the page", 318, 115, 230),
    ref("breaks in two, in Lecture Notes in the", 328, 125, 200)], 0);
  const second = page([ref("Series of the Society, Vol. 275.", 64, 100, 160),
    ref("Eve Editor. 2004. A fourth work.", 54, 111, 170),
    // A short first line that ends a sentence, then the rest set in.
    ref("Finn Fox. 2005. Buy, sell, or troll?", 54, 125, 150),
    ref("Commun. ACM 50, 1, 36-44. https://doi.org/10.1145/1188913", 64, 135, 230),
    ref("Gus Gray. 2006. A sixth work.", 54, 145, 160)], 1);
  const [a, b] = layoutDocument([first, second]);
  const refs = a.blocks.filter((x) => x.kind === "reference");
  assert.deepEqual(refs.map((x) => x.text.slice(0, 12)), ["Alice Author", "Carol Coder.", "Conference o", "Dan Doer. 20"], kinds(a).join("\n"));
  assert.ok(!refs[1].continues && !refs[3].continues);
  assert.equal(refs[2].continues, true);
  assert.equal(refs[2].joins, true);
  assert.deepEqual(b.blocks.map((x) => x.text.slice(0, 12)), ["Series of th", "Eve Editor. ", "Finn Fox. 20", "Gus Gray. 20"], kinds(b).join("\n"));
  assert.equal(b.blocks[0].joins, true);
  assert.ok(!b.blocks[1].continues);
  // An entry at the margin at the top of a column starts afresh.
  const fresh = layoutPage(page([ref("Fay Finder. 2005. A fifth work.", 54, 100, 170),
    ref("Gus Gray. 2006. A sixth work.", 54, 111, 160)], 1), { ...documentContext([first]), references: true });
  linkPages(a, fresh);
  assert.ok(!fresh.blocks.some((x) => x.continues), kinds(fresh).join("\n"));
});

test("a references heading in plain type starts the references; larger type after them ends them", () => {
  const ref = (text, x, y, w) => line(text, x, y, w, { size: 7, h: 6 });
  const lines = [
    line("Body text of the paper ends in the paragraph above the references here.", 54, 80, 300),
    line("REFERENCES", 54, 100, 60, { font: "Sans" }),
    ref("Alice Author and Bob Writer. 2001. A title that", 54, 115, 240),
    ref("runs on to the next line. J. Things 3, 1-9.", 64, 123, 220),
    ref("Carol Coder. 2002. A second work.", 54, 131, 150),
    line("Lorem ipsum of an appendix set in the body's own type follows the references.", 54, 150, 300),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["paragraph", "heading", "reference", "reference", "paragraph"], kinds(laid).join("\n"));
  assert.equal(laid.references, false);
});

test("a line of running text that starts with a number goes on its paragraph; a list after a colon still splits", () => {
  const full = (text, y) => line(text, 54, y, 240);
  const lines = [
    full("document / world wide web resource [1, 28, 36], a video game (Case", 100),
    full("1) [27] and (Case 2) [26] and [25] and (Case 3) a patent [33], work", 111),
    full("accepted for publication [30]. To cite in the text, use Refs. 1 and", 122),
    full("4. By default, the package sorts your citations into numerical order", 133),
    line("and compresses runs of three or more. The steps are:", 54, 144, 200),
    line("1. Run the installer on the class.", 54, 158, 150),
    line("2. Put the files in places where the system finds them.", 54, 169, 220),
    line("(3) Update the database of file names.", 54, 180, 170),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => `${b.kind}:${b.text.slice(0, 14)}`),
    ["paragraph:document / wor", "list:1. Run the ins", "list:2. Put the fil", "list:(3) Update the"], kinds(laid).join("\n"));
  assert.match(laid.blocks[0].text, /\(Case 1\) \[27\].*Refs\. 1 and 4\. By default/);
});

test("a bold lettered line between paragraphs is a heading; bold lettered lines one under the other are a list", () => {
  const lines = [
    line("You can use a subsection or subsubsection in an appendix.", 54, 100, 240),
    line("a. A subsubsection in an appendix", 54, 119, 130, { size: 8, bold: true }),
    line("Note the equation numbers in this appendix.", 54, 136, 180),
    line("a. Bold items one under the other", 54, 153, 130, { bold: true }),
    line("b. Are a list all the same", 54, 164, 110, { bold: true }),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["paragraph", "heading", "paragraph", "list", "list"], kinds(laid).join("\n"));
});

test("a numbered heading in capitals that ends in an abbreviation's stop is a heading", () => {
  const lines = [line("IV. FLOATS: FIGURES, TABLES, VIDEOS,", 86, 100, 180, { size: 8 }), line("ETC.", 164, 110, 22, { size: 8 }),
    line("Figures and tables are usually allowed to float, which means that their", 54, 130, 245)];
  assert.deepEqual(layoutDocument([page(lines)])[0].blocks.map((b) => b.kind), ["heading", "paragraph"]);
});

test("an italic numbered line with text under it is a heading, also one named References; numbered items stay a list", () => {
  const lines = [
    line("The citation key may contain letters and numbers.", 54, 100, 240),
    line("3. References", 54, 119, 70, { italic: true }),
    line("A reference in the bibliography is specified by a command.", 54, 136, 240),
    line("1. Title page", 54, 153, 70),
    line("2. Abstract (optional)", 54, 164, 110, { italic: true }),
    line("1 Research Road, Ridge, NY", 54, 181, 130, { italic: true }),
    line("The address above is where the society is.", 54, 198, 240),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["paragraph", "heading", "paragraph", "list", "list", "paragraph", "paragraph"],
    kinds(laid).join("\n"));
});

test("a contents entry whose title wraps is one entry with its page number", () => {
  const lines = [
    line("II. Formatting", 65, 188, 64), line("1", 294, 188, 5),
    line("II.1. Preprint, reprint, and twocolumn", 91, 201, 167), line("options", 114, 212, 32), line("1", 294, 212, 5),
    line("II.2. Paper size", 91, 225, 67), line("2", 294, 225, 5),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => `${b.kind}:${b.text}`),
    ["list:II. Formatting 1", "list:II.1. Preprint, reprint, and twocolumn options 1", "list:II.2. Paper size 2"], kinds(laid).join("\n"));
});

test("a run-in statement with a sum's stacked limits stays one sentence; the display under it is one cut-out", () => {
  // The lines as the text walk gives them on a mathematics paper: the
  // limits of the inline sum overlap, the display's big operator hangs from
  // an origin above its baseline and its limit sits under it.
  const l = (text, x, y, w, h, base, extra = {}) => ({ text, x, y, w, h, base, size: 9.96, font: "CMR10", math: 0, ...extra });
  const lines = [
    l("yields immediately a fundamental formula which can be used to compute the", 133.77, 392.21, 343.74, 8.85, 399.13),
    l("coefficients of a characteristic polynomial [9]:", 133.77, 404.17, 196.1, 8.85, 411.08),
    l("Corollary 3.4. Write det(B −xI) = ∑n", 133.77, 421.16, 183.27, 15.83, 431.01, { font: "CMBX10", bold: true, math: 4 }),
    l("l=0(−1)lblxl. Then", 312.11, 422.55, 82.82, 12.8, 431.01, { font: "CMTI10", italic: true, math: 7 }),
    l("bl =", 259.75, 448.5, 17.85, 10.34, 455.42, { font: "CMMI10", math: 2 }),
    l("∑", 282, 445.55, 14.4, 6.38, 445.95, { font: "CMEX10", math: 1 }),
    l("Il⊆n", 280.37, 462.11, 17.66, 7.25, 467.34, { size: 6.97, font: "CMMI7", math: 3 }),
    l("det B(Il|Il).", 299.69, 447.94, 51.81, 10.32, 455.42, { math: 6 }),
    l("(10)", 459.77, 448.5, 17.71, 8.85, 455.42),
    l("Let the matrix of the system be written as below, with its rows in order.", 133.77, 480.2, 330, 8.85, 487.1),
  ];
  const [laid] = layoutDocument([page(lines, 0, { width: 595.28, height: 841.89 })]);
  const statement = laid.blocks.find((b) => /^Corollary 3\.4/.test(b.text));
  assert.equal(statement.kind, "paragraph", kinds(laid).join("\n"));
  assert.match(statement.text, /= ∑n ?l=0\(−1\)lblxl\. Then$/);
  const formulas = laid.blocks.filter((b) => b.kind === "cutout");
  assert.equal(formulas.length, 1, kinds(laid).join("\n"));
  for (const piece of ["bl =", "∑", "Il⊆n", "det B(Il|Il).", "(10)"]) assert.ok(formulas[0].text.includes(piece), piece);
  const [x, y, w, h] = formulas[0].region;
  assert.ok(x * 595.28 < 259.75 && (x + w) * 595.28 > 477.48 && y * 841.89 < 445.55 && (y + h) * 841.89 > 469.36, formulas[0].region.join());
});

test("the two columns of an index of short entries read column by column, not as a table's rows", () => {
  // Entries left from x 160, right from past the middle of the page.
  const left = [["accents, 15", 40], ["\\addto, 12", 45], ["\\align, 3, 12", 50], ["alignat, 8", 55],
    ["\\allow, 10", 42], ["amsbsy, 1", 48]];
  const right = [["BaKoMa, 27", 30], ["\\big, 16", 35], ["\\binom, 14", 40], ["\\bmod, 5", 45], ["braces, 16", 32], ["\\brace, 15", 38]];
  const lines = left.flatMap(([t, w], i) => [line(t, 160, 100 + 12 * i, w), line(right[i][0], 280, 100 + 12 * i, right[i][1])]);
  const [laid] = layoutDocument([page(lines)]);
  const text = laid.blocks.map((b) => b.text).join(" | ");
  assert.ok(text.indexOf("amsbsy, 1") < text.indexOf("BaKoMa, 27"), text);
  assert.ok(!laid.blocks.some((b) => /accents, 15 BaKoMa/.test(b.text)), text);
});

test("a line that names files in typewriter face goes on at the line spacing; notes start at their marks", () => {
  const lines = [
    line("1. Run latex on the installer. This will produce the class file", 72, 100, 300),
    line("2. Put the files acmart.cls and ACM-Reference-Format.bst in places where the", 72, 114, 340, { mono: true }),
    line("system can find them (see the documentation for your system).", 84, 126, 270),
    line("3. Update the database of file names.", 72, 140, 180),
    line("∗A footnote to the article title", 72, 700, 120, { size: 7, h: 6 }),
    line("† Also at Physics Department, XYZ University.", 72, 709, 170, { size: 7, h: 6 }),
  ];
  const [laid] = layoutDocument([page(lines)]);
  const item = laid.blocks.find((b) => /^2\. Put the files/.test(b.text));
  assert.match(item.text, /in places where the system can find them/, kinds(laid).join("\n"));
  assert.deepEqual(laid.blocks.filter((b) => b.kind === "footnote").map((b) => b.text),
    ["∗A footnote to the article title", "† Also at Physics Department, XYZ University."], kinds(laid).join("\n"));
});

test("prose that goes on after a listing is not set inside it", () => {
  const lines = [
    line("This section has a special environment:", 72, 100, 200),
    line("\\begin{acks}", 72, 116, 60, { mono: true }),
    line("...", 72, 127, 15, { mono: true }),
    line("\\end{acks}", 72, 138, 50, { mono: true }),
    line("so that the information contained therein can be collected during the", 72, 154, 300),
    line("metadata extraction phase.", 72, 165, 120),
  ];
  const [laid] = layoutDocument([page(lines)]);
  const listing = laid.blocks.find((b) => b.text.startsWith("\\begin{acks}"));
  assert.equal(listing.text, "\\begin{acks}\n...\n\\end{acks}", kinds(laid).join("\n"));
  const after = laid.blocks[laid.blocks.indexOf(listing) + 1];
  assert.match(after.text, /^so that the information/);
  assert.equal(after.continues, true);
  assert.ok(!after.joins, "the sentence after the code is not set in the code's block");
});

test("an index in three columns with leaders is no table", () => {
  const columns = [72, 230, 388];
  const entries = [["\\and . . . . 242", "\\append . . . 98", "\\set . . . . 95"], ["\\apply . . . 12", "\\bar . . . . 107", "\\text . . . 123"],
    ["\\at . . . . . 66", "\\basic . . . 31", "\\to . . . . . 17"], ["\\aux . . . . 873", "\\begin . . . 890", "\\tt . . . . . 20"]];
  const lines = entries.flatMap((row, r) => row.map((t, c) => line(t, columns[c], 100 + 12 * r, 100)));
  const [laid] = layoutDocument([page(lines)]);
  assert.ok(!laid.blocks.some((b) => /242 .*\\append/.test(b.text)), kinds(laid).join("\n"));
});

test("a drop cap starts its paragraph's first word; a caption's label set apart joins its words, not the text beside", () => {
  const size = { size: 9.96, h: 9.1 };
  // A cap two lines deep, the lines beside it set in by its width; one a line deep and a bit.
  const lines = [line("Introduction", 280, 488, 74, { size: 12, h: 10.6, bold: true }),
    line("T", 72, 512.8, 16.6, { size: 24.79, h: 22, base: 530 }),
    line("his is an example of a dropped capital letter at the beginning of a paragraph using a", 88.6, 511.1, 451.5, size),
    line("package. This package is usually included with the more comprehensive distributions, but", 88.6, 523.1, 451.5, size),
    line("those with more trim installations may need to retrieve the package from the archive.", 72, 535, 440, size),
    line("A", 72, 558.7, 20.6, { size: 27.46, h: 24.4, base: 577.8 }),
    line("nd this is an example of a dropped capital letter at the beginning of a paragraph using", 92.6, 558.9, 447.4, size),
    line("the other package, which is a bit less refined than the first one but does the same job.", 92.6, 570.8, 447.4, size),
    line("Some authors may already have it around from an older distribution of the class files.", 72, 582.8, 440, size)];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.text.split(" ").slice(0, 4).join(" ")), ["Introduction", "This is an example",
    "And this is an"], kinds(laid).join("\n"));
  assert.match(laid.blocks[1].text, /need to retrieve the package from the archive\.$/);
  // A caption beside the text, its label apart from its words; the text beside it goes on unbroken.
  const small = { size: 7.97, h: 7.1, bold: true };
  const text = (t, y, w = 317.6) => line(t, 72, y, w, size);
  const beside = [text("Tables with footnotes, such as the first one on page four, can be coded using the", 161.9),
    text("threeparttable package. This table was purposely placed on another page through", 173.8),
    line("Figure 1.", 399.6, 178.1, 41.4, { ...small, base: 183.6 }), line("Magnetization as a", 453.2, 178.1, 86.8, { ...small, base: 183.6 }),
    text("the use of the placement specifier to show the reference mechanism of the package.", 185.8),
    line("function of applied field.", 399.6, 187.6, 104.3, { ...small, base: 193.1 })];
  const [wrapped] = layoutDocument([page(beside)]);
  assert.deepEqual(wrapped.blocks.map((b) => `${b.kind}:${b.text}`), [
    "paragraph:Tables with footnotes, such as the first one on page four, can be coded using the threeparttable package. This table was purposely placed on another page through the use of the placement specifier to show the reference mechanism of the package.",
    "caption:Figure 1. Magnetization as a function of applied field."], kinds(wrapped).join("\n"));
});

test("labels in small type just outside a drawing go with its cut-out; a note in small type under text does not", () => {
  // A drawing of two page sizes, a label over it and one up its side; a line of text over a picture,
  // its scripts set apart from it.
  const shapes = [{ x: 353.7, y: 426.6, w: 59.8, h: 175.4, stroked: true }, { x: 420, y: 460, w: 76, h: 110, stroked: true }];
  const label = { size: 5.48, h: 6.2, bold: true };
  const lines = [
    ...Array.from({ length: 6 }, (_, i) => line(`The layout of the text on the page is illustrated in the figure, line ${i}.`, 304.7, 307 + 12 * i, 234, { size: 10 })),
    line("A4 paper (21.0 x 29.7 cm)", 349.4, 393.7, 59.8, label),
    line("US letter paper (8.5 x 11 in)", 497.3, 502.9, 6.2, { ...label, h: 64.7 }),
    line("Figure 1: Layout of papers.", 367.3, 618.8, 108.7, { size: 10 }),
    ...Array.from({ length: 3 }, (_, i) => line(`The title should use bold uppercase letters and be centred, line ${i}.`, 304.7, 660 + 12 * i, 234, { size: 10 })),
    line("1 A note at the foot of the column, in small type.", 304.7, 720, 150, { size: 6.5 }),
    line("Here g", 64.5, 464.7, 32.3, { size: 10 }), line("1l = ω1S b1lA1l", 91.3, 464.7, 55.9, { size: 6.97, h: 13.7, math: 1 }),
    line("is the nearest-neighbour coupling parameter of the chain.", 141.9, 465, 150, { size: 10 })];
  const [laid] = layoutDocument([{ ...page(lines), shapes, pictures: [{ x: 67.2, y: 489.7, w: 200, h: 150 }] }]);
  const cutouts = laid.blocks.filter((b) => b.kind === "cutout").map((b) => b.text).join(" ");
  assert.ok(/A4 paper/.test(cutouts) && /US letter/.test(cutouts) && !laid.blocks.some((b) => b.kind === "heading"), kinds(laid).join("\n"));
  const text = laid.blocks.filter((b) => b.kind !== "cutout").map((b) => b.text).join("\n");
  assert.match(text, /^1 A note/m);
  assert.match(text, /ω1S b1lA1l/);
});
