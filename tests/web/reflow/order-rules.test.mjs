// Smaller reading rules on made-up pages: notes under a rule, numbered
// references without a heading, equation numbers, table captions.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 8, base: y + 7, size: 9, font: "Serif", math: 0, ...extra };
}
function page(lines, shapes = []) {
  return { page: 0, width: 612, height: 792, lines, pictures: [], shapes };
}
const texts = (laid) => laid.blocks.map((b) => b.text);

test("notes under a rule across both columns come after both columns", () => {
  const column = (x, first) => Array.from({ length: 4 }, (_, i) =>
    line(i === 0 ? first : `more words of the column text line ${i} here and there`, x, 500 + 11 * i, 240));
  const lines = [
    ...column(54, "Left column starts here with words"), ...column(318, "Right column starts here with words"),
    line("[1] A. Author, A reference under the rule.", 54, 600, 240, { size: 8 }),
    line("[2] B. Author, Another reference under the rule.", 318, 600, 240, { size: 8 }),
  ];
  const [laid] = layoutDocument([page(lines, [{ x: 100, y: 590, w: 400, h: 0.5 }])]);
  const all = texts(laid);
  const right = all.findIndex((t) => t.startsWith("Right column"));
  const first = all.findIndex((t) => t.startsWith("[1]"));
  assert.ok(right > 0 && first > right, all.join("\n"));
  assert.ok(all.findIndex((t) => t.startsWith("[2]")) > first);
  assert.deepEqual(laid.blocks.filter((b) => b.kind === "reference").length, 2);
});

test("a run of numbered references without a heading keeps each entry whole", () => {
  const lines = [
    line("[1] E. Witten, A title that ends early.", 54, 100, 150, { size: 8 }),
    line("Nucl. Phys. B 1, 2 (2001).", 54, 110, 120, { size: 8 }),
    line("[2] R. Feynman, Another title with more words in it than the others.", 54, 120, 240, { size: 8 }),
    line("[3] R. Feynman, Yet another title.", 54, 130, 150, { size: 8 }),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.ok(laid.blocks.every((b) => b.kind === "reference"), texts(laid).join("\n"));
  assert.deepEqual(laid.blocks.filter((b) => b.text.startsWith("[")).map((b) => b.text.slice(0, 3)), ["[1]", "[2]", "[3]"]);
  assert.ok(laid.blocks.every((b) => b.text.startsWith("[") || b.continues));
  assert.ok(laid.blocks.some((b) => b.text.includes("Nucl. Phys.")));
});

test("an equation number far right stays with its formula; roman table captions are captions", () => {
  const lines = [
    line("Some text before the formula that ends here:", 54, 100, 240),
    line("E = mc2", 150, 120, 40, { math: 4 }),
    line("(3)", 280, 120, 14),
    line("TABLE II. Numbers in columns.", 54, 140, 200),
  ];
  const [laid] = layoutDocument([page(lines)]);
  const formula = laid.blocks.find((b) => b.kind === "cutout");
  assert.ok(formula && formula.text.includes("(3)"), texts(laid).join("\n"));
  // The cut-out reaches the number where it stands on the page.
  assert.ok(formula.region[0] + formula.region[2] >= 294 / 612 - 0.001);
  assert.equal(laid.blocks.find((b) => b.text.startsWith("TABLE II")).kind, "caption");
});

test("rules around a heading make no table; dot leaders keep their page numbers", () => {
  const lines = [
    line("2 Other Tests", 200, 120, 150, { size: 16, bold: true }),
    line("code in a frame", 60, 200, 120),
    line("1.1 First section . . . . . . . . . .", 60, 300, 300),
    line("7", 500, 300, 6),
  ];
  const rules = [{ x: 54, y: 100, w: 500, h: 1 }, { x: 54, y: 190, w: 500, h: 0.5 }, { x: 54, y: 215, w: 500, h: 0.5 }];
  const [laid] = layoutDocument([page(lines, rules)]);
  const all = laid.blocks.map((b) => `${b.kind}:${b.text}`);
  assert.ok(all.includes("heading:2 Other Tests"), all.join("\n"));
  assert.ok(all.some((t) => /First section[ .]*7$/.test(t)), all.join("\n"));
});

test("lines of two columns on one baseline stay apart across a narrow gutter", () => {
  const left = (t, y) => line(t, 54, y, 245);
  const right = (t, y) => line(t, 311, y, 245);
  const lines = [
    left("The left column begins its paragraph with some", 100), right("The right column has another paragraph of its", 100),
    left("words and ends it here on the second line.", 111), right("own that ends on its second line as well.", 111),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.text), [
    "The left column begins its paragraph with some words and ends it here on the second line.",
    "The right column has another paragraph of its own that ends on its second line as well.",
  ]);
});

test("a heading's number across the gutter and a justified line's wide spaces: each piece stays in its own line", () => {
  const left = (t, y, extra) => line(t, 58, y, 215, extra);
  const right = (t, y, extra) => line(t, 293, y, 215, extra);
  const lines = [
    left("The standard commands for the authors and their", 100), right("The text of the right column goes on here and", 100),
    left("environments might be useful, but the last one", 111), right("ends its paragraph on this line of the page.", 111),
    // The right column's next heading sits on the left column's baseline,
    // its number hanging 20 pt from the end of the left line.
    left("probably is not of much use in the paper at all.", 122),
    line("7", 293, 121, 8, { size: 14, h: 12, base: 129.5, bold: true }),
    line("PostScript Fonts", 317, 121, 117, { size: 14, h: 12, base: 129.5, bold: true }),
    // A sentence space stretched to 8 pt parts a line into two pieces.
    right("Package options switch the text font. Some", 140),
    line("found from first principles [4].", 58, 140, 140), line("One wonders if there", 206, 140, 67),
    left("exists a formula which can be used very well.", 151),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(texts(laid), [
    "The standard commands for the authors and their environments might be useful, but the last one probably is not of much use in the paper at all.",
    "found from first principles [4]. One wonders if there exists a formula which can be used very well.",
    "The text of the right column goes on here and ends its paragraph on this line of the page.",
    "7 PostScript Fonts",
    "Package options switch the text font. Some",
  ]);
});

test("the pieces of a display formula set apart by its spaces stay apart from the text around it", () => {
  const math = (t, x, w) => line(t, x, 200, w, { font: "CMMI10", math: t.length });
  const lines = [line("To get an equation number of our own, for example", 318, 189, 240),
    math("g+g+ →g+g+g+g+ . . . ,", 323, 107), math("q+q+ →q+g+g+ . . . . (2.6′)", 438, 124),
    line("and the text goes on after it.", 318, 211, 240)];
  const [laid] = layoutDocument([page(lines)]);
  const blocks = laid.blocks.map((b) => `${b.kind}${b.formula ? "(formula)" : ""}: ${b.text}`);
  assert.ok(blocks.some((b) => b.startsWith("cutout(formula)") && b.includes("(2.6′)")), blocks.join("\n"));
  assert.equal(blocks[blocks.length - 1], "paragraph: and the text goes on after it.", blocks.join("\n"));
});

test("under two column headings of different lengths the columns stay columns; a contents entry ends at its page number", () => {
  const left = (t, y) => line(t, 86, y, 215);
  const right = (t, y) => line(t, 321, y, 215);
  const heading = (t, x, w) => line(t, x, 100, w, { size: 14, h: 12, base: 110, bold: true });
  const [laid] = layoutDocument([page([
    heading("15 Discussions", 86, 112), heading("17 What This Package Can", 321, 215),
    line("Not Do", 353, 118, 53, { size: 14, h: 12, base: 128, bold: true }),
    left("The discussion environment is provided for this", 140), left("purpose, and the syntax of it is given below.", 151),
    right("There are a few things with which authors must", 165), right("take care themselves, which are listed here.", 176),
  ])]);
  assert.deepEqual(texts(laid), ["15 Discussions", "The discussion environment is provided for this purpose, and the syntax of it is given below.",
    "17 What This Package Can Not Do", "There are a few things with which authors must take care themselves, which are listed here."]);

  // Two columns of contents 10 pt apart.
  const entry = (t, x, w, y) => line(t, x, y, w, { size: 10.5, h: 10, base: y + 8 });
  const [contents] = layoutDocument([page([
    entry("3.2.6.1 中文. . . . . . 12", 204, 132.7, 300), entry("第4 节宏包依赖 . . . . . . 28", 346.6, 206, 300),
    entry("3.2.6.2 西文. . . . . . 13", 204, 132.7, 314), entry("第5 节用户手册 . . . . . . 30", 346.6, 206, 314),
  ])]);
  assert.ok(contents.blocks.every((b) => !/12.*第4/.test(b.text)), texts(contents).join("\n"));
});
