// A Chinese page, and the figure, table and formula finders.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import { layoutDocument } from "../../../web/reflow/layout.js";
import { findAreas, mergeAreas } from "../../../web/reflow/figures.js";
import { looksLikeFormula, furniture, pageSignature } from "../../../web/reflow/quality.js";

const [cjk] = JSON.parse(fs.readFileSync(new URL("../../fixtures/reflow/cjk-thesis-page.json", import.meta.url))).pages;

test("a Chinese page: letter-spaced running header and page number out, headings, lines joined without spaces", () => {
  // The next page repeats the header only.
  const next = { ...cjk, page: cjk.page + 1, lines: cjk.lines.filter((l) => l.y < 110) };
  const laid = layoutDocument([cjk, next])[0];
  const texts = laid.blocks.map((b) => `${b.kind}:${b.text}`);
  assert.ok(!texts.some((t) => t.includes("华中科技大学") || /:1$/.test(t)), texts.join("\n"));
  assert.ok(texts.includes("heading:1.1 第一层"), texts.join("\n"));
  assert.ok(texts.includes("paragraph:普通粗体斜体黑体楷体仿宋"), texts.join("\n"));
  const formulas = laid.blocks.filter((b) => b.kind === "cutout" && b.formula);
  assert.equal(formulas.length, 2, texts.join("\n"));
  assert.ok(formulas.every((f) => /\(1\.\d[ab]?\)/.test(f.text)));
  assert.equal(laid.blocks[laid.blocks.length - 1].kind, "footnote");
});

test("drawings close together make one figure; page backgrounds and lone rules make none; stacked rules make a table", () => {
  const page = (shapes, pictures = []) => ({ width: 612, height: 792, shapes, pictures });
  assert.deepEqual(findAreas(page([{ x: 0, y: 0, w: 612, h: 792 }])), []);
  assert.deepEqual(findAreas(page([{ x: 54, y: 600, w: 240, h: 0.4 }])), []);
  const two = findAreas(page([{ x: 100, y: 100, w: 80, h: 60 }, { x: 183, y: 100, w: 80, h: 60 }]));
  assert.equal(two.length, 1);
  assert.equal(two[0].w, 163);
  assert.equal(findAreas(page([], [{ x: 100, y: 100, w: 80, h: 60 }, { x: 300, y: 100, w: 80, h: 60 }])).length, 2);
  const table = findAreas(page([{ x: 318, y: 100, w: 240, h: 0.5 }, { x: 318, y: 115, w: 240, h: 0.3 }, { x: 318, y: 170, w: 240, h: 0.5 }]));
  assert.equal(table.length, 1);
  assert.ok(table[0].table && table[0].h >= 70);
  assert.equal(mergeAreas([{ x: 0, y: 0, w: 10, h: 10 }, { x: 30, y: 0, w: 10, h: 10 }, { x: 14, y: 0, w: 12, h: 10 }], 5).length, 1);
});

test("formulas are told from text by their math fonts, signs and numbers", () => {
  const line = (text, math = 0) => ({ text, math, size: 10 });
  assert.ok(looksLikeFormula([line("x = y + z", 5)], 10));
  assert.ok(looksLikeFormula([line("a + b = c (12)", 3)], 10));
  assert.ok(!looksLikeFormula([line("The results in Table 2 show that x = 3 holds.", 2)], 10));
  assert.ok(!looksLikeFormula([line("(see below)")], 10));
});

test("repeated header lines count only near the page's top and bottom edges", () => {
  const line = (text, y) => ({ text, y, h: 8, x: 60, w: 200, base: y + 7, size: 9 });
  const page = (...lines) => ({ width: 612, height: 792, lines });
  const around = [pageSignature(page(line("Journal of Examples 12", 40))),
    pageSignature(page(line("Journal of Examples 13", 40), line("Journal of Examples 13", 400)))];
  const head = line("Journal of Examples 14", 40), body = line("Journal of Examples 14", 400);
  assert.deepEqual([...furniture([head, body], page(head, body), around)], [head]);
  const number = line("17", 760), inner = line("17", 400);
  assert.deepEqual([...furniture([number, inner], page(number, inner), [])], [number]);
});
