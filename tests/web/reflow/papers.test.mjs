// Papers written by the fixture writer, read as the page reads them: the
// parser's text walk, then the page's own page-by-page layout (engine.js).
// CTest writes the papers first and names their folder in
// FOLVAN_REFLOW_PAPERS.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { Paper } from "../../../web/reflow/engine.js";
import { textSource, rangeUnder } from "../../../web/reflow/study-rules.js";
import { findAll } from "../../../web/reflow/compare.js";

const folder = process.env.FOLVAN_REFLOW_PAPERS;
const parser = new URL("../../../web/reflow/parser/", import.meta.url);
globalThis["$libmupdf_wasm_Module"] = { wasmBinary: fs.readFileSync(new URL("liteparse_wasm_bg.wasm", parser)) };
const lib = await import(new URL("liteparse_wasm.js", parser));

const skip = folder ? false : "FOLVAN_REFLOW_PAPERS names no folder (CTest writes the papers)";

function read(name) {
  const paper = new Paper(lib, fs.readFileSync(path.join(folder, name)));
  const pages = [];
  for (let i = 0; i < paper.pageCount; i++) pages.push(paper.layout(i));
  return pages;
}
const kinds = (laid) => laid.blocks.map((b) => `${b.kind}${b.formula ? "(formula)" : ""}${b.table ? "(table)" : ""}:${b.text.slice(0, 30)}`).join("\n");

test("mathematical letters above U+FFFF keep their code points, boxes, sources and search", { skip }, () => {
  const [laid] = read("math-letters.pdf");
  const block = laid.blocks.find((b) => b.text.includes("The angle runs"));
  assert.ok(block, kinds(laid));
  assert.match(block.text, /from \u{1D6FC} to \u{1D714} and the limit lim\u{1D45B}\u2192\u221E stays finite/u);
  assert.ok(!laid.blocks.some((b) => /[\uAC00-\uD7AF]/.test(b.text)), "no Hangul");
  // Both UTF-16 units of a letter carry its box: the source of the letter
  // alone lies where the letter was set, 5 points wide after "from ".
  const at = block.text.indexOf("\u{1D6FC}");
  const source = textSource(block, at, at + 2, laid.width, laid.height);
  assert.equal(source.quote, "\u{1D6FC}");
  const x = 72 + helveticaWidth("The angle runs from ");
  assert.ok(Math.abs(source.rect[0] * laid.width - x) < 1.5, `${source.rect[0] * laid.width} vs ${x}`);
  assert.ok(Math.abs(source.rect[2] * laid.width - 5) < 1.5, `${source.rect[2] * laid.width}`);
  // The same rectangle leads back to both units, and a search finds them.
  assert.deepEqual(rangeUnder(block, source.rect, laid.width, laid.height), [at, at + 2]);
  const omega = block.text.indexOf("\u{1D714}");
  assert.deepEqual(findAll(block.text, "\u{1D714}"), [[omega, omega + 2]]);
  // A font whose only character map is its glyph names: the parser cuts
  // what they name to 16 bits; the page takes the letters back whole.
  const named = laid.blocks.find((b) => b.text.includes("Named glyphs read"));
  assert.match(named.text, /Named glyphs read \u{1D44E}\u{1D44F}\u2192\u{1D465}/u, kinds(laid));
});

test("accents set over their letters join them; line ends keep compounds, web addresses and whole words", { skip }, () => {
  const [laid] = read("accents-and-breaks.pdf");
  const accents = laid.blocks.find((b) => b.text.startsWith("Thus by"));
  assert.equal(accents.text, "Thus by M\u00F6bius inversion and the Poincar\u00E9 polynomial agree.", kinds(laid));
  // The letter with its accent lies where the letter was set.
  const o = accents.text.indexOf("\u00F6");
  const source = textSource(accents, o, o + 1, laid.width, laid.height);
  assert.ok(Math.abs(source.rect[0] * laid.width - 72 - helveticaWidth("Thus by M")) < 1, `${source.rect[0] * laid.width}`);
  const text = laid.blocks.find((b) => b.text.startsWith("Each paper")).text;
  assert.match(text, / at https:\/\/www\.acm\.org\/publications\/proceedings-template, is sent/, "an address broken after its dot");
  assert.match(text, /the final camera-ready copy to/, "a compound the page writes with its hyphen");
  assert.match(text, /Society \(MNRAS\), whose/, "a word the page writes whole");
  assert.match(text, /every hyphenation and/, "a word broken by hyphenation");
});

test("a glyph with no character is kept as it looks, never as a replacement character", { skip }, () => {
  const [laid] = read("unmapped-glyph.pdf");
  assert.ok(!laid.blocks.some((b) => b.text.includes("\uFFFD")), kinds(laid));
  const block = laid.blocks.find((b) => b.text.includes("be the set of all points"));
  assert.match(block.text, /^Let Y be the set/);
  assert.equal(block.glyphs.length, 1);
  const [glyph] = block.glyphs;
  assert.deepEqual([glyph.start, glyph.end], [4, 5]);
  // The cut-out covers the glyph and the letter of its word.
  const x0 = 72 + helveticaWidth("Let ");
  assert.ok(Math.abs(glyph.region[0] * laid.width - x0) < 2, `${glyph.region[0] * laid.width} vs ${x0}`);
  assert.ok(glyph.region[2] * laid.width > 5 + helveticaWidth("Y") - 1);
});

test("text before and after a display formula stays on its own side of it", { skip }, () => {
  const [laid] = read("display-formula.pdf");
  const before = laid.blocks.findIndex((b) => /is well known that$/.test(b.text));
  const formula = laid.blocks.findIndex((b) => b.kind === "cutout" && b.formula);
  const after = laid.blocks.findIndex((b) => /^where K is the kernel/.test(b.text));
  assert.ok(before >= 0 && formula === before + 1 && after === formula + 1, kinds(laid));
  // The sentence goes on after the formula (no new paragraph) but is not set
  // inside the text before it.
  assert.equal(laid.blocks[after].continues, true);
  assert.ok(!laid.blocks[after].joins, "the text after the formula is not moved before it");
  const next = laid.blocks.findIndex((b) => /^A new paragraph starts/.test(b.text));
  assert.ok(next > after && !laid.blocks[next].continues, kinds(laid));
});

test("a ruled table far taller than wide is one cut-out, its cells no loose text", { skip }, () => {
  const [laid] = read("tall-table.pdf");
  const tables = laid.blocks.filter((b) => b.kind === "cutout" && b.table);
  assert.equal(tables.length, 1, kinds(laid));
  const [x, y, w, h] = tables[0].region;
  // From the rule over the head (y 700) to the rule under the last row.
  assert.ok(Math.abs(y * 792 - (792 - 700)) < 5 && h * 792 > 440, tables[0].region.join());
  assert.ok(x * 612 < 73 && (x + w) * 612 > 539);
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /Row \d|0\.5\d\d|item/.test(b.text)), kinds(laid));
  assert.equal(laid.blocks.find((b) => /^Table 1:/.test(b.text)).kind, "caption");
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && /^After the table/.test(b.text)));
});

test("a page surveyed before it is shown has the cut-outs it will show, and the paper keeps nothing of it", { skip }, () => {
  const paper = new Paper(lib, fs.readFileSync(path.join(folder, "display-formula.pdf")));
  const surveyed = paper.survey(0);
  assert.deepEqual(paper.laid, []);
  assert.deepEqual(paper.references, []);
  const laid = paper.layout(0);
  const cutouts = (page) => page.blocks.filter((b) => b.kind === "cutout").map((b) => b.region.join());
  assert.ok(cutouts(laid).length > 0, kinds(laid));
  assert.deepEqual(cutouts(surveyed), cutouts(laid));
});

test("a scanned page without text is shown as its page image", { skip }, () => {
  const [laid] = read("scanned-page.pdf");
  assert.equal(laid.blocks.length, 1, kinds(laid));
  const [page] = laid.blocks;
  assert.equal(page.kind, "cutout");
  assert.deepEqual(page.region, [0, 0, 1, 1]);
  assert.equal(page.scan, true);
});

// Helvetica's advance widths for the few letters the fixtures set, at 10 pt.
function helveticaWidth(text) {
  const widths = { " ": 278, T: 611, h: 556, e: 556, a: 556, n: 556, g: 556, l: 222, r: 333, u: 556, s: 500, f: 278,
    o: 556, m: 833, L: 556, t: 278, Y: 667, M: 833, b: 556, y: 500 };
  let units = 0;
  for (const ch of text) units += widths[ch];
  return units / 100;
}

test("a long paper is laid out where the reader is, keeping only the texts around it", { skip }, async () => {
  const { KEPT_TEXTS, pageWindow } = await import("../../../web/reflow/engine.js");
  const paper = new Paper(lib, fs.readFileSync(path.join(folder, "long-paper.pdf")));
  assert.equal(paper.pageCount, 60);
  // Opened at its end: that page alone is laid out, its references known
  // from the nearest page before that was laid out.
  paper.layout(50);
  const last = paper.layout(55);
  assert.ok(last.blocks.length > 0 && last.blocks.every((b) => b.kind === "reference"), kinds(last));
  assert.ok(paper.texts.size < 15, `${paper.texts.size} texts read`);
  for (let i = 0; i < 60; i++) paper.layout(i);
  assert.ok(paper.texts.size <= KEPT_TEXTS);
  paper.forget(10);
  assert.equal(paper.laid[10], undefined);
  // The text of a page let go is read again when it comes back.
  assert.match(paper.layout(10).blocks[0].text, /^Line a of page l says/);
  assert.deepEqual(pageWindow(30, 31, 60), { from: 29, to: 33, keepFrom: 24, keepTo: 37 });
  assert.deepEqual(pageWindow(0, 0, 60), { from: 0, to: 2, keepFrom: 0, keepTo: 6 });
  assert.deepEqual(pageWindow(59, 59, 60), { from: 58, to: 59, keepFrom: 53, keepTo: 59 });
});

test("a line set mostly in typewriter face goes on its sentence; code stands apart", { skip }, () => {
  const [laid] = read("typewriter-line.pdf");
  const sentence = laid.blocks.find((b) => /names each of them, one by one, in the form/.test(b.text));
  assert.match(sentence.text, /in the form \\usepackage\{amsmath\} \\usepackage\{graphicx\} and the rest of the preamble, and then the body of the paper/, kinds(laid));
  const code = laid.blocks.find((b) => /^\\begin\{figure\}/.test(b.text));
  assert.ok(code && !/these two commands/.test(code.text), kinds(laid));
});

test("each entry of a table of contents is one line with its page number", { skip }, () => {
  const [laid] = read("table-of-contents.pdf");
  const entries = laid.blocks.filter((b) => /^\d(\.\d)? /.test(b.text)).map((b) => b.text.replace(/( ?\.){3,} ?/, " … "));
  assert.deepEqual(entries, ["1 Introduction 2", "2 Methods 4", "2.1 Data … 5", "2.2 Models … 7", "3 Results 11"], kinds(laid));
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && /^The paper studies/.test(b.text)));
});

test("prose framed by rules or a drawn box stays text; a ruled grid of cells stays a table", { skip }, () => {
  const [laid] = read("framed-prose.pdf");
  assert.ok(!laid.blocks.some((b) => b.kind === "cutout"), kinds(laid));
  const abstract = laid.blocks.find((b) => /^Abstract\. We study/.test(b.text));
  assert.ok(abstract && abstract.kind === "paragraph" && /The last line of the abstract is short\.$/.test(abstract.text), kinds(laid));
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && /^Keywords: reading/.test(b.text)), kinds(laid));
  const note = laid.blocks.find((b) => /^Note\. A framed note/.test(b.text));
  assert.ok(note && note.kind === "paragraph" && /however the frame around it is drawn on the page\.$/.test(note.text), kinds(laid));
  // The rows of the tall table fill its rules as cells, not as lines of prose.
  const [table] = read("tall-table.pdf");
  assert.equal(table.blocks.filter((b) => b.kind === "cutout" && b.table).length, 1, kinds(table));
});

test("a display formula is one cut-out with every piece of it and its number, the text after it apart", { skip }, () => {
  const [laid] = read("display-pieces.pdf");
  const formulas = laid.blocks.filter((b) => b.kind === "cutout" && b.formula);
  assert.equal(formulas.length, 3, kinds(laid));
  const inside = (b, x, y) => x >= b.region[0] * laid.width && x <= (b.region[0] + b.region[2]) * laid.width &&
    y >= b.region[1] * laid.height && y <= (b.region[1] + b.region[3]) * laid.height;
  // The number set on the line under a formula too wide for it.
  const wide = formulas.find((b) => /αβγδεζηθικ/.test(b.text));
  assert.match(wide.text, /\(3\)$/, kinds(laid));
  const number = wide.lines.find((l) => l.text.trim() === "(3)");
  assert.ok(number && inside(wide, number.x + number.w, number.y + number.h), wide.region.join());
  const after = laid.blocks[laid.blocks.indexOf(wide) + 1];
  assert.match(after.text, /^When the label is used/, kinds(laid));
  assert.equal(after.kind, "paragraph");
  // At the foot of the page: the script-size piece is no note, and the
  // operators, their limits and the number are one cut-out.
  assert.ok(!laid.blocks.some((b) => b.kind === "footnote"), kinds(laid));
  const foot = formulas.find((b) => /\(6\)$|\(6\)/.test(b.text));
  assert.ok(foot && /𝑏𝑖𝑗𝑦𝑗/u.test(foot.text) && /∏/.test(foot.text), kinds(laid));
  for (const [x, y] of [[234, 792 - 110 + 12], [272, 792 - 110], [525, 792 - 110]]) assert.ok(inside(foot, x, y), `${x},${y} ${foot.region.join()}`);
  // The sum with its limit under it and its number.
  const sum = formulas.find((b) => /\(10\)/.test(b.text));
  assert.ok(/∑/.test(sum.text) && /𝐼𝑙⊆𝑛/u.test(sum.text), kinds(laid));
});

test("a listing is one block in its own order with its indentation; prose after it, a table's rows and short paragraphs stand apart", { skip }, () => {
  const [laid] = read("listing-and-table.pdf");
  const listing = laid.blocks.find((b) => b.text.startsWith("\\newenvironment"));
  assert.ok(listing && listing.listing, kinds(laid));
  assert.deepEqual(listing.text.split("\n").map((l) => l.trimEnd()), [
    "\\newenvironment{bfitemize}{\\begin{itemize}\\bfseries}",
    " ".repeat(26) + "{\\end{itemize}}",
    "\\begin{bfitemize}",
    "\\item This environment produces boldface items.",
    "  \\texttt{itemize} environment.",
    "\\end{bfitemize}",
  ]);
  // The sentence after it names commands in typewriter face but is prose.
  const prose = laid.blocks.find((b) => /^The authornote and authornotemark commands/.test(b.text));
  assert.ok(prose && !prose.listing, kinds(laid));
  assert.ok(!prose.lines[0].mono, "the prose is not set as code");
  assert.ok(listing.lines[0].mono, "the listing is set as code");
  const rest = laid.blocks[laid.blocks.indexOf(prose) + 1];
  assert.ok(/^allow a note/.test(rest.text) ? rest.joins : /allow a note/.test(prose.text), kinds(laid));
  // The table reads row by row, each row a block, its cells an em space apart.
  const rows = laid.blocks.filter((b) => /Typeset argument|^Command/.test(b.text)).map((b) => b.text.split("\u2003"));
  assert.deepEqual(rows, [["Command", "Corresponds to", "Action"],
    ["\\textrm{..}", "\\rmfamily", "Typeset argument in roman family"],
    ["\\textsf{..}", "\\sffamily", "Typeset argument in sans serif family"],
    ["\\texttt{..}", "\\ttfamily", "Typeset argument in typewriter family"],
    ["\\textbf{..}", "\\bfseries", "Typeset argument in bold series"],
    ["\\emph{..}", "\\em", "Typeset argument emphasized"]], kinds(laid));
  // A paragraph of one line set in, then the next set in alike.
  const one = laid.blocks.find((b) => /^Table captions are placed/.test(b.text));
  assert.equal(one.text, "Table captions are placed above the table.", kinds(laid));
  assert.match(laid.blocks[laid.blocks.indexOf(one) + 1].text, /^Because tables cannot be split/);
  // Numbers in the margin of a listing do not part its lines.
  const numbered = laid.blocks.find((b) => /\\ifx\\directlua/.test(b.text));
  assert.ok(numbered && numbered.listing && /14 +\\directlua\{tex/.test(numbered.text) && /15 \\fi$/.test(numbered.text), kinds(laid));
});

test("running heads and feet stay out of every page, the first one's too; numbered code keeps its numbers", { skip }, () => {
  const pages = read("furnished-paper.pdf");
  const texts = pages.flatMap((p) => p.blocks.map((b) => `${p.page}:${b.kind}:${b.text}`));
  assert.ok(!texts.some((t) => /A\. Author|File B|^\d:\w+:\d+$/.test(t)), texts.join("\n"));
  assert.deepEqual(texts.filter((t) => /Examples Macros/.test(t)), ["0:heading:The Examples Macros"], texts.join("\n"));
  assert.equal(texts.filter((t) => /Body text of the/.test(t)).length, 4, texts.join("\n"));
  const code = pages[2].blocks.find((b) => b.listing);
  assert.ok(code, texts.join("\n"));
  assert.deepEqual(code.text.split("\n").map((l) => l.replace(/\s+/g, " ")),
    ["457 \\def\\alpha{\\mathrel{=}}", "458 \\relbar\\joinrel\\rightarrow", "459 \\def\\beta{\\gamma}"], texts.join("\n"));
});
