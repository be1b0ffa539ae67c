// Reading order and paragraphs on made-up pages set as the parser gives real
// ones: stretched justified lines, commands shown between the parts of a
// sentence, framed front matter in columns, list items, floats.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";

// A line as the parser gives it: its box from top and height, its baseline.
function l(text, x, y, w, h, base, size = 9.96, extra = {}) {
  return { text, x, y, w, h, base, size, font: "CMR10", math: 0, ...extra };
}
// Character boxes of uneven widths, as a line of proportional type has.
const uneven = (text, x) => {
  const cx = [];
  for (let i = 0, at = x; i < text.length; i++, at += 3 + (i % 3)) cx.push(at, at + 2.5 + (i % 3));
  return cx;
};
const page = (lines, n = 0, extra = {}) => ({ page: n, width: 612, height: 792, lines, pictures: [], shapes: [], ...extra });
const kinds = (laid) => laid.blocks.map((b) => `${b.kind}${b.continues ? "(continues)" : ""}${b.joins ? "(joins)" : ""}: ${b.text}`).join("\n");

test("a justified line whose spaces were stretched apart reads as one line, beside the other column", () => {
  const tt = { mono: true, font: "CMTT10" };
  const lines = [
    // The left column, with lines on the same baselines as the right one's.
    l("When the \\label{#1} command is used [cf. input for", 63.96, 691.17, 235.17, 9.96, 698.64),
    l("Eq. (2)], the equation can be referred to in text without", 54, 702.69, 245.13, 9.96, 710.16),
    l("knowing the equation number that TEX will assign to it.", 54, 714.09, 245.06, 12.12, 721.56),
    l("tions in your paper. Please note that this feature of the", 317.04, 645.33, 245.07, 9.96, 652.8),
    l("amsmath package is not compatible with the hyperref", 317.04, 656.85, 245.35, 9.96, 664.32),
    l("(6.77u) package.", 317.04, 668.25, 71.06, 9.96, 675.72),
    l("Enclosing", 327, 679.77, 41.83, 9.96, 687.24), l("display", 406.21, 679.77, 30.59, 9.96, 687.24),
    l("math", 474.26, 679.77, 22.7, 9.96, 687.24), l("within", 534.5, 679.77, 27.63, 9.96, 687.24),
    l("\\begin{subequations}", 317.04, 691.73, 105.31, 9.2, 698.64, 9.96, tt), l("and", 436.8, 691.17, 16.1, 9.96, 698.64),
    l("\\end{subequations}", 468, 691.73, 94.87, 9.2, 698.64, 9.96, tt),
    l("will produce a set of equations that are labeled with", 317.04, 702.69, 245.09, 9.96, 710.16),
    l("You can use a subsection or subsubsection in an ap-", 327, 540.69, 235.18, 9.96, 548.16),
    l("pendix.", 317.04, 552.09, 32.06, 9.96, 559.56), l("Note the numbering:", 362.78, 552.09, 96.5, 9.96, 559.56),
    l("we are now in Ap-", 469.83, 552.09, 92.24, 9.96, 559.56),
    l("pendix B 1.", 317.04, 563.61, 49.22, 9.96, 571.08),
    // A reference alone at the foot of its column; the next column's line
    // is as wide as its own.
    l("[1] E. Witten,", 58.56, 754.08, 59.78, 8.97, 760.8, 8.97), l("(2001), hep-th/0106109,", 131.62, 754.08, 99.77, 8.97, 760.8, 8.97),
    l("and references", 238.67, 754.08, 60.27, 8.97, 760.8, 8.97), l("therein", 72.36, 764.52, 28.16, 8.97, 771.24, 8.97),
    l("[2] See the explanation of time travel in R. P. Feynman,", 321.6, 754.08, 240.58, 8.97, 760.8, 8.97),
  ];
  const [laid] = layoutDocument([page(lines)]);
  const texts = laid.blocks.map((b) => b.text.replace(/- ?/g, ""));
  assert.ok(texts.some((t) => /Enclosing display math within \\begin\{subequations\} and \\end\{subequations\} will produce/.test(t)), kinds(laid));
  assert.ok(texts.some((t) => /in an appendix\. Note the numbering: we are now in Appendix B 1\.$/.test(t)), kinds(laid));
  assert.ok(texts.some((t) => /^\[1\] E\. Witten, \(2001\), hep-?th\/0106109, and references therein$/.test(t)), kinds(laid));
  assert.ok(texts.some((t) => /^When the \\label.*assign to it\.$/.test(t)), kinds(laid));
  // A bold heading run into its paragraph is no stretched space.
  const [runIn] = layoutDocument([page([
    l("lowing paragraph.", 56.69, 530.37, 72.24, 13.31, 540.88),
    l("Third-level Headings", 66.66, 558.09, 89.14, 14.54, 569.23, 9.96, { bold: true }),
    l("These should use 10 pt bold let-", 165.76, 558.72, 126.46, 13.31, 569.23),
    l("ters and be run into the paragraph text. In LATEX these head-", 56.69, 570.68, 235.52, 15.55, 581.19, 9.9),
    l("ings are created with LATEX’s \\subsubsection command.", 56.69, 582.63, 235.6, 15.55, 593.14, 9.99),
  ])]);
  assert.ok(runIn.blocks.some((b) => b.text === "Third-level Headings"), kinds(runIn));
});

test("a command shown between the parts of a sentence stays code; the sentence goes on after it, not in it", () => {
  const lines = [
    l("Start the appendix with the \u201cappendix\u201d command:", 63.76, 419.88, 185.43, 8.37, 426.16, 8.97),
    l("\\appendix", 62.77, 434.83, 40.35, 7.46, 440.73, 8.97, { mono: true, font: "Inconsolatazi4-Regular" }),
    l("and note that in the appendix, sections are lettered, not numbered.", 53.8, 449.01, 241.62, 8.37, 455.29, 8.93),
    l("This document has two appendices, demonstrating the section and", 53.53, 459.97, 240.51, 8.37, 466.25, 8.89),
  ];
  const [laid] = layoutDocument([page(lines)]);
  const code = laid.blocks.find((b) => b.text === "\\appendix");
  const after = laid.blocks[laid.blocks.indexOf(code) + 1];
  assert.ok(code && /^and note that/.test(after.text), kinds(laid));
  assert.ok(after.continues && !after.joins, kinds(laid));
});

test("framed front matter in two columns is text; prose lines set mostly in small typewriter face stay in their paragraph", () => {
  const lines = [
    l("A R T I C L E I N F O", 0.3, 118.9, 83.7, 9.3, 125.92), l("A B S T R A C T", 172.7, 119.9, 60.9, 9.3, 126.92),
    l("Keywords:", 0.3, 138.7, 34.6, 7.4, 144.35, 7.97), l("quadrupole exciton", 0.3, 148.2, 68.2, 7.4, 153.82, 7.97),
    l("polariton", 0.3, 157.7, 32.3, 7.4, 163.28, 7.97),
    l("This template helps you to create a properly formatted LATEX manuscript.", 172.7, 138.7, 256, 9.3, 144.35, 7.97),
    l("\\beginabstract ... \\endabstract and \\begin{keyword} ... \\end{keyword} which contain the abstract", 172.7, 148.2, 320.2, 7.4, 153.82, 6.77, { mono: true }),
    l("and keywords respectively.", 172.7, 157.7, 95.8, 7.4, 163.28, 7.97),
    l("Each keyword shall be separated by a \\sep command.", 172.7, 167.1, 188.1, 7.4, 172.75, 7.97),
    l("The package is available at author resources page", 270.6, 311.4, 222.4, 9.3, 318.47),
    l("at Elsevier (http://www.elsevier.com/locate/latex). The", 255.6, 323.4, 237.4, 9.3, 330.43, 8.47,
      { mono: true, cx: uneven("at Elsevier (http://www.elsevier.com/locate/latex). The", 255.6) }),
    l("class may be moved or copied to a place, usually,", 255.6, 335.4, 237.4, 9.3, 342.39),
    l("$TEXMF/tex/latex/elsevier/, or a folder which will be", 255.6, 347.3, 237.3, 9.3, 354.34, 8.47,
      { mono: true, cx: uneven("$TEXMF/tex/latex/elsevier/, or a folder which will be", 255.6) }),
    l("read by LATEX during document compilation. The TEX", 255.6, 359.3, 237.4, 11.7, 366.3),
    l("system.", 255.6, 371.2, 32.7, 9.3, 378.25),
  ];
  // Two rules across the measure frame the front matter; short rules
  // underline its two headings.
  const shapes = [{ x: 0.11, y: 110.58, w: 492.89, h: 0.4 }, { x: 0.21, y: 134.69, w: 123.36, h: 0.2 },
    { x: 172.64, y: 134.69, w: 320.36, h: 0.2 }, { x: 0.11, y: 190.28, w: 492.89, h: 0.4 }];
  const [laid] = layoutDocument([page(lines, 0, { shapes })]);
  assert.ok(!laid.blocks.some((b) => b.kind === "cutout"), kinds(laid));
  assert.ok(laid.blocks.some((b) => /^This template helps you/.test(b.text)), kinds(laid));
  assert.ok(laid.blocks.some((b) => /quadrupole exciton polariton/.test(b.text)), kinds(laid));
  assert.ok(laid.blocks.some((b) => /^The package is available at author resources page at Elsevier .* to a place, usually, \$TEXMF.* compilation\. The TEX system\.$/.test(b.text)), kinds(laid));
});

test("the text after a list starts left of its marks; an abstract whose glyph boxes are low reads as one paragraph", () => {
  const lines = [
    l("journals use the acmsmall template style:", 53.8, 350.45, 152.2, 8.37, 356.73, 8.97),
    l("• acmsmall: The default journal template style.", 69.76, 364.06, 174.67, 8.43, 370.4, 8.97),
    l("• acmtog: Used by TOG.", 69.77, 385.97, 90.97, 8.43, 392.31, 8.97),
    l("The majority of conference proceedings documentation will use", 63.76, 399.69, 230.29, 8.37, 405.98, 8.89),
    l("the acmconf template style.", 53.8, 410.65, 100.86, 8.37, 416.94, 8.97),
    l("Abstract", 304.46, 495.09, 34.21, 8.33, 501.36, 8.97, { bold: true }),
    l("This package provides a class for typesetting publications of the Association for", 183.08, 512.55, 290.41, 4.21, 516.73, 8.97),
    l("Computing Machinery.", 169.63, 523.51, 84.77, 4.21, 527.69, 8.97),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.equal(laid.blocks.find((b) => /acmtog/.test(b.text)).text, "• acmtog: Used by TOG.", kinds(laid));
  // An item whose lines wrap back to the column's margin goes on there.
  const [wrapped] = layoutDocument([page([
    l("• onecolumn – single column, instead of the default two columns.", 51.11, 355.9, 234.09, 8.97, 363.08, 8.97),
    l("This should be used only if necessary for the display of numerous", 42.11, 366.86, 243.09, 9.02, 374.03, 8.97),
    l("very long equations.", 42.11, 377.82, 72.74, 8.97, 384.99, 8.97),
    l("• doublespacing – text has double line spacing. Please don’t", 51.11, 388.81, 234.09, 8.97, 395.99, 8.97),
  ])]);
  assert.ok(wrapped.blocks[0].kind === "list" && /very long equations\.$/.test(wrapped.blocks[0].text), kinds(wrapped));
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && /^The majority of .* template style\.$/.test(b.text)), kinds(laid));
  assert.ok(laid.blocks.some((b) => b.text === "This package provides a class for typesetting publications of the Association for Computing Machinery."), kinds(laid));
});

test("a sentence cut by a float at the top of the next page goes on after the float", () => {
  const body = (text, y) => l(text, 54, y, 240, 9, y + 7);
  const first = page([body("Many other mathematical symbols are also available, either", 700),
    body("built in or via packages. If you want to insert a specific", 711)], 0);
  const second = page([l("Table 2. Additional commands for mathematical symbols.", 54, 60, 240, 8, 66, 8),
    l("Command Output Meaning", 60, 80, 200, 8, 86, 8), l("\\upi π upright pi", 60, 92, 200, 8, 98, 8),
    body("symbol but don\u2019t know the command, we recommend a website.", 320)], 1,
  { shapes: [{ x: 54, y: 76, w: 240, h: 0.5 }, { x: 54, y: 89, w: 240, h: 0.4 }, { x: 54, y: 104, w: 240, h: 0.5 }] });
  const [, b] = layoutDocument([first, second]);
  const rest = b.blocks.find((x) => /^symbol but/.test(x.text));
  assert.ok(rest && rest.continues && rest.joins, kinds(b));
  assert.ok(b.blocks.some((x) => x.kind === "caption") && b.blocks.some((x) => x.kind === "cutout"), kinds(b));
});

test("a contents entry's number, title set in far and leaders are one entry", () => {
  const bold = { bold: true };
  const laid = layoutDocument([page([
    l("e", 144.73, 209.78, 6.13, 10.5, 217.95, 11.96, bold), l("ltexpl.dtx", 164.31, 209.78, 56.98, 10.5, 217.95, 11.96, bold),
    l("75", 514.87, 209.78, 13.46, 10.5, 217.95, 11.96, bold),
    l("1", 144.73, 232.91, 5.73, 8.9, 239.87, 9.96, bold), l("expl3-dependent code", 169.63, 232.91, 106.11, 8.9, 239.87, 9.96, bold),
    l("75", 516.83, 232.91, 11.46, 8.9, 239.87, 9.96, bold),
    l("1.1", 159.67, 243.86, 12.73, 9.96, 251.83),
    l("Loader . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . . .", 187.57, 243.86, 318.94, 9.96, 251.83),
    l("75", 518.41, 243.86, 9.96, 9.96, 251.83),
    l("1.2", 159.67, 255.81, 12.73, 9.96, 263.78),
    l("Using expl3 code", 187.57, 255.81, 73.98, 9.96, 263.78),
    l(". . . . . . . . . . . . . . . . . . . . . . . . . . . . . . .", 271.23, 255.81, 235.29, 9.96, 263.78),
    l("78", 518.42, 255.81, 9.96, 9.96, 263.78),
    l("2", 144.73, 278.74, 5.73, 8.9, 285.7, 9.96, bold),
    l("Document-level command names for expl3 functions", 169.63, 278.74, 259.78, 8.9, 285.7, 9.96, bold),
    l("79", 516.84, 278.74, 11.46, 8.9, 285.7, 9.96, bold),
  ])])[0];
  const texts = laid.blocks.map((b) => b.text);
  assert.ok(texts.some((t) => /^1\.1 Loader(\s?\.)+\s?75$/.test(t)), kinds(laid));
  assert.ok(texts.some((t) => /^1\.2 Using expl3 code(\s?\.)+\s?78$/.test(t)), kinds(laid));
  assert.ok(!texts.some((t) => /^1\.[12]$/.test(t)), kinds(laid));
});
