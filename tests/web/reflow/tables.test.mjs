// Tables on made-up pages: a ruled table is one cut-out from its head to its
// closing rule however its cells wrap, and prose that names a table is prose.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 8, base: y + 7, size: 9, font: "Serif", math: 0, ...extra };
}
const rule = (y, h = 0.8) => ({ x: 144, y, w: 354, h });
const page = (lines, shapes = []) => ({ page: 0, width: 595, height: 842, lines, pictures: [], shapes });
const kinds = (laid) => laid.blocks.map((b) => `${b.kind}${b.table ? "(table)" : ""}: ${b.text.slice(0, 50)}`).join("\n");

test("a ruled table whose meaning column wraps is one cut-out down to its closing rule", () => {
  const lines = [line("Table 2: Boolean options", 270, 100, 100), line("Option", 150, 125, 28), line("Default", 247, 125, 30),
    line("Meaning", 290, 125, 36)];
  let y = 148;
  for (let r = 0; r < 13; r++) {
    lines.push(line(`option${r}`, 150, y, 40, { mono: true }), line(r % 2 ? "true" : "false", 247, y, 22, { mono: true }),
      line(`Whether the option number ${r} is set for the whole of`, 290, y, 200));
    lines.push(line("the document", 290, y + 12, 60));
    y += 24;
  }
  lines.push(line("After the table the text of the guide goes on in the body face and size as before.", 144, y + 20, 354));
  const [laid] = layoutDocument([page(lines, [rule(118), rule(136, 0.5), rule(y)])]);
  const tables = laid.blocks.filter((b) => b.kind === "cutout" && b.table);
  assert.equal(tables.length, 1, kinds(laid));
  const [, top, , height] = tables[0].region;
  assert.ok(top * 842 < 119 && (top + height) * 842 > y, tables[0].region.join());
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /option\d|the document/.test(b.text)), kinds(laid));
  assert.equal(laid.blocks.find((b) => /^Table 2:/.test(b.text)).kind, "caption");
});

test("a line of prose that starts with a table's name stays in its paragraph", () => {
  const full = (text, y) => line(text, 54, y, 300);
  const lines = [
    full("The default for the option depends on the publication. Thus the titles (see", 100),
    full("Table 5) set this option to true. In the future this option may involve more.", 111),
    full("The styles of a template differ in their fonts and spacing, and", 130),
    full("Table 2 summarizes the fonts and spacing used in the styles of a template.", 141),
    line("Table 3. Spacing of the styles", 54, 170, 150),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["paragraph", "paragraph", "caption"], kinds(laid));
  assert.match(laid.blocks[0].text, /\(see Table 5\) set this option/);
  assert.match(laid.blocks[1].text, /and Table 2 summarizes/);
});

test("a list of symbols reads a symbol and its meaning a row, the heads of its groups apart", () => {
  // Symbols in math italic at the margin, their meanings set in; groups' heads in italic between.
  const row = (symbol, meaning, y) => [line(symbol, 72, y, 6, { math: symbol.length }), line(meaning, 105.3, y, 6 * meaning.length)];
  const lines = [line("Nomenclature", 264.7, 305.6, 82, { size: 12, h: 10.6, bold: true }),
    ...row("F", "Force, N", 334.8), ...row("f", "Residual value vector", 346.8), ...row("J", "Jacobian Matrix", 358.7),
    ...row("m", "Mass, kg", 370.7), line("Subscripts", 72, 388.6, 44, { italic: true }), ...row("i", "Variable number", 403.5),
    line("Symbols", 72, 421.4, 34, { italic: true }), ...row("α", "Acceleration, m/s2", 436.4), ...row("∆x", "Variable displacement vector", 448.3),
    line("After the list, the paper's text starts with a sentence long enough to fill its line.", 72, 480, 468)];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.slice(1, 11).map((b) => b.text.replace(/\u2003/g, " ")), ["F Force, N", "f Residual value vector",
    "J Jacobian Matrix", "m Mass, kg", "Subscripts", "i Variable number", "Symbols", "α Acceleration, m/s2",
    "∆x Variable displacement vector", "After the list, the paper's text starts with a sentence long enough to fill its line."], kinds(laid));
  assert.ok(!laid.blocks.some((b) => b.continues), "a row in lower case goes on no row before it");
});

test("floats set ruled one under another, each a caption between its first two rules, are cut-outs of their own", () => {
  // Three algorithms: a rule, the caption, a rule, the steps, a rule.
  const lines = [], shapes = [];
  for (const [n, top, bottom] of [[1, 119.9, 243.4], [2, 310.4, 505.5], [3, 573.4, 672]]) {
    shapes.push(rule(top), rule(top + 17.5), rule(bottom));
    lines.push(line(`Algorithm ${n}: The ${["first", "second", "third"][n - 1]} algorithm`, 150, top + 5.8, 180));
    for (let y = top + 24; y < bottom - 10; y += 14) lines.push(line(`step ${Math.round(y)} of the algorithm`, 160, y, 120));
  }
  const [laid] = layoutDocument([page(lines, shapes)]);
  assert.equal(laid.blocks.filter((b) => b.kind === "cutout").length, 3, kinds(laid));
  assert.deepEqual(laid.blocks.filter((b) => b.kind === "caption").map((b) => b.text.slice(0, 11)), ["Algorithm 1", "Algorithm 2", "Algorithm 3"]);
});

test("a table closing a column keeps its lettered notes at the page's foot, its rules drawn as lines or as thin pictures", () => {
  const lines = Array.from({ length: 40 }, (_, i) => line(`Text of the column runs on in line ${i} to its edge.`, 54, 80 + 12 * i, 245));
  [["Left", "Centered", "Decimal", "Right"], ["1", "2", "3.001", "4"], ["10", "20", "30", "40"], ["100", "200", "300.0", "400"]]
    .forEach((row, r) => row.forEach((t, c) => lines.push(line(t, [56, 118, 200, 275][c], 592 + 11 * r, 5 * t.length))));
  // Notes set unevenly: the third's box reaches into the second's.
  lines.push(...[[646, "a", 55.4, 111], [655.8, "b", 55, 74], [664.2, "c", 55.7, 67], [674, "d", 55, 72]]
    .map(([y, m, x, w]) => line(`${m} Note ${m}.`, x, y, w, { size: 7, h: 10.7, base: y + 8.7 })));
  const rules = [585, 601, 642].map((y) => ({ x: 54, y, w: 245, h: 0.48 }));
  for (const drawn of [{ shapes: rules }, { pictures: rules }]) {
    const blocks = layoutDocument([{ ...page(lines), ...drawn }])[0].blocks;
    assert.deepEqual(blocks.slice(-4).map((b) => `${b.kind}${b.table ? "(table)" : ""}`), ["cutout(table)", "caption", "caption", "caption"]);
  }
});
