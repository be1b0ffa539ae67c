// Notes on made-up pages: notes in the margin beside the text, notes at the
// foot of the page, and the lines of code that end there.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";
import { extractPage } from "../../../web/reflow/parse-worker.js";

function line(text, x, y, w, extra = {}) {
  const size = extra.size || 9.96;
  return { text, x, y, w, h: 0.9 * size, base: y + 0.75 * size, size, font: "LMRoman10", math: 0, ...extra };
}
// A line of code, every character one advance wide, its number before it
// in small type as the parser gives a listing's numbered line.
function code(n, y, text, indent = 0) {
  const x = 168.7 + indent;
  const cx = [...text].flatMap((_, i) => [x + 4.7 * i, x + 4.7 * i + 4.7]);
  return [line(String(n), 149.3, y + 2, 5.3, { size: 4.98, font: "LMSans8" }),
    line(text, x, y, 4.7 * text.length, { size: 8.97, mono: true, font: "LMMono9", cx })];
}
const page = (n, lines, shapes = []) => ({ page: n, width: 612, height: 792, lines, pictures: [], shapes });
const texts = (laid) => laid.blocks.map((b) => `${b.kind}:${b.text.replace(/\s+/g, " ")}`);

test("a note in the margin stands apart from the paragraph it sits beside", () => {
  const lines = [
    line("This is the creator function for \\text.. commands.", 144.7, 266.2, 239.3),
    line("It gives a warning if \\foo or", 393.8, 266.2, 134.5),
    // The command it describes, in the left margin at the first line's height.
    line("\\DeclareTextFontCommand", 26.8, 268.8, 108.3, { size: 8.97, mono: true, font: "LMMono9" }),
    line("\\fragfoo is already defined.", 144.7, 278.2, 124.2),
    line("In math mode it simply puts the font declaration and text into a box (possibly an", 164.7, 290.2, 363.8),
    line("automagically sized one).", 144.7, 302.1, 110),
    line("\\check@ic", 60.5, 316.6, 40, { size: 8.97, mono: true, font: "LMMono9" }),
    line("Otherwise it first scans the text to see where \\nocorr occurs within it. This sets the", 164.7, 314.1, 363.7),
    line("\\check@ic commands to do what is necessary concerning the italic correction when it", 144.7, 326, 383.7),
    line("ends.", 144.7, 338, 22.2),
  ];
  const [laid] = layoutDocument([page(0, lines)]);
  assert.deepEqual(texts(laid), [
    "paragraph:This is the creator function for \\text.. commands. It gives a warning if \\foo or \\fragfoo is already defined.",
    "paragraph:\\DeclareTextFontCommand",
    "paragraph:In math mode it simply puts the font declaration and text into a box (possibly an automagically sized one).",
    "paragraph:Otherwise it first scans the text to see where \\nocorr occurs within it. This sets the \\check@ic commands to do what is necessary concerning the italic correction when it ends.",
    "paragraph:\\check@ic",
  ]);
});

test("the last lines of code at a page's foot and a remark closing them are text; a note under a rule or with its mark is a note", () => {
  const prose = (y, n) => Array.from({ length: n }, (_, i) =>
    line(`The algorithm for deciding whether to put in an italic correction, line ${i} of it.`, 144.7, y + 11.95 * i, 383.7));
  // The listing's last line: its number and its brace one line of the
  // parser's, in the number's small type.
  const listing = [...prose(100, 16), ...code(9, 624.5, "\\text@command{##1}%", 23.5), ...code(10, 635.5, "#2\\check@icl ##1\\check@icr", 23.5),
    ...code(11, 646.4, "\\expandafter", 23.5), ...code(12, 657.4, "\\egroup", 18.8), ...code(13, 668.3, "\\fi", 9.4),
    ...code(14, 679.3, "}%", 98.9),
    line("15 }", 149.3, 690.3, 14.7, { size: 4.98, font: "LMSans8" })];
  const remark = [...prose(100, 20), ...code(92, 668.3, "\\fi"),
    line("(End definition for \\maybe@ic and \\maybe@ic@.)", 144.7, 692.2, 227.5, { size: 7.97 })];
  // A note under a rule, without a mark; one with its mark, without a rule.
  const ruled = [...prose(100, 20), line("Any package that changes the catcode of a character must then reset the list.", 144.7, 672, 380, { size: 7.97 })];
  const marked = [...prose(100, 20), line("2 Those in the base distribution, or one of those in the required tree.", 144.7, 672, 380, { size: 7.97 })];
  const laid = layoutDocument([page(0, listing), page(1, remark), page(2, ruled, [{ x: 144.7, y: 664, w: 90, h: 0.4 }]), page(3, marked)]);
  const notes = laid.map((p) => p.blocks.filter((b) => b.kind === "footnote").map((b) => b.text));
  assert.deepEqual(notes, [[], [], ["Any package that changes the catcode of a character must then reset the list."],
    ["2 Those in the base distribution, or one of those in the required tree."]], laid.map(texts).join("\n"));
});

// The lines the parser's text walk makes of rows of runs ([font, size, text, rise above the row's
// baseline]), a row a line.
function parsed(rows) {
  const stext = { walk(v) {
    rows.forEach((row, r) => {
      const y = 100 + 20 * r;
      let x = 150;
      v.beginLine?.([150, y, 400, y + 10], 0, [1, 0]);
      for (const [f, size, text, rise = 0] of row) {
        for (const c of text) {
          v.onChar?.(c, [x, y + 8 - rise], f, size, [x, y, x + 0.5 * size, y, x, y + size, x + 0.5 * size, y + size]);
          x += 0.5 * size;
        }
      }
      v.endLine?.();
    });
  } };
  return extractPage({ getBounds: () => [0, 0, 612, 792], toStructuredText: () => stext, getLinks: () => [] }, 0).lines;
}
const font = (pointer, name, mono = false) => ({ pointer, getName: () => name, isBold: () => false, isItalic: () => false, isMono: () => mono });

test("a listing's line number in small type leaves its line the code's type", () => {
  // "14" in a small sans face, then a brace in typewriter face; and a note's line, its mark small.
  const sans = font(1, "LMSans8-Regular"), tt = font(2, "LMMono9-Regular", true), roman = font(3, "LMRoman8-Regular");
  const lines = parsed([
    [[sans, 4.98, "14"], [tt, 8.97, " }"]],
    [[sans, 4.98, "2"], [roman, 7.97, "Those in the base distribution"]],
    [[roman, 9.96, "2021"]],
  ]);
  assert.deepEqual(lines.map((l) => [l.text, l.size, l.mono]),
    [["14 }", 8.97, true], ["2Those in the base distribution", 7.97, false], ["2021", 9.96, false]]);
});

test("the marks that call notes are told from the line, a formula's power is none", () => {
  const roman = font(1, "CMR10"), small = font(2, "CMR7"), italic = font(3, "CMMI10");
  const [line] = parsed([[[roman, 9.96, "a numbered footnote"], [small, 6.97, "1", 3.6], [roman, 9.96, " and the powers "],
    [italic, 9.96, "x"], [small, 6.97, "2", 3.6], [roman, 9.96, " and 4πr"], [small, 6.97, "3", 3.6], [roman, 9.96, " of a marker."],
    [small, 6.97, "4", 3.6], [roman, 9.96, " A lettered one"], [small, 6.97, "a,5", 3.6], [roman, 9.96, " and "], [italic, 9.96, "x"],
    [small, 6.97, "n", 3.6]]]);
  assert.deepEqual(line.marks, ["1", "4", "a", "5"], line.text);
});

test("a note marked with a letter goes after the paragraph that calls it, as one marked with a figure", () => {
  const body = Array.from({ length: 12 }, (_, i) => line(`Text of the page runs on in its line ${i} as far as the others do.`, 72, 100 + 12 * i, 468));
  const lines = [...body, line("pressed to keep the words flowing.a Meanwhile back in the other world.", 72, 250, 300, { marks: ["a"] }),
    line("IV. Conclusion", 250, 280, 80, { bold: true }), line("After much typing, the paper can now conclude.", 72, 300, 250),
    line("aAnd sometimes things get carried away in endless detail.", 72, 700, 220, { size: 7.97 })];
  const [laid] = layoutDocument([page(0, lines)]);
  assert.deepEqual(texts(laid).slice(-3).map((t) => t.slice(0, 20)), ["footnote:aAnd someti", "heading:IV. Conclusi", "paragraph:After much"]);
});

test("a note that names its addresses in typewriter face is one note, its next line in the text's face or not", () => {
  // Most of the first line is an address in typewriter face; the next
  // line goes on in the note's own face with a name.
  const tt = (text, x, y) => line(text, x, y, 4.2 * text.length, { size: 7.97, mono: true,
    cx: [...text].flatMap((_, i) => [x + (i < 17 ? 3.6 : 4.2) * i, x + (i < 17 ? 3.6 : 4.2) * i + 3.5]) });
  const lines = [...Array.from({ length: 20 }, (_, i) => line(`Text of the page in its ${i}th line, as long as the others are.`, 64.5, 100 + 12 * i, 466)),
    line("∗Corresponding author", 75.5, 647.3, 73, { size: 7.97 }),
    tt("Email addresses: J.Migchielsen@elsevier.com (Jos", 78.9, 658.4),
    line("Migchielsen), cvr@sayahna.org (CV Radhakrishnan)", 64.5, 667.8, 177.7, { size: 7.97 })];
  const [laid] = layoutDocument([page(0, lines)]);
  assert.deepEqual(laid.blocks.filter((b) => b.kind === "footnote").map((b) => b.text), ["∗Corresponding author",
    "Email addresses: J.Migchielsen@elsevier.com (Jos Migchielsen), cvr@sayahna.org (CV Radhakrishnan)"], texts(laid).join("\n"));
});
