// A one-column page keeps its top-down order; notes, headings and small
// type are told apart by where they stand, not by size alone.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument, readingOrder } from "../../../web/reflow/layout.js";
import { continuesSentence, endsSentence } from "../../../web/reflow/reading.js";

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 10, base: y + 8, size: 10, font: "Serif", math: 0, ...extra };
}
const page = (lines, n = 0) => ({ page: n, width: 612, height: 792, lines, pictures: [], shapes: [] });

test("short lines beside a centred piece in one column are not taken for two columns", () => {
  const items = [
    { x: 72, y: 100, w: 468, h: 10, id: "a" },
    { x: 72, y: 113, w: 120, h: 10, id: "b" },
    { x: 280, y: 128, w: 60, h: 10, id: "c" },
    { x: 72, y: 143, w: 150, h: 10, id: "d" },
    { x: 72, y: 156, w: 468, h: 10, id: "e" },
  ];
  assert.deepEqual(readingOrder(items).map((i) => i.id), ["a", "b", "c", "d", "e"]);
});

test("small type high on the page is text; small type at the foot under the body is a note", () => {
  const lines = [
    line("A Title Set Large", 150, 60, 300, { size: 20, bold: true }),
    line("An abstract in smaller type comes first and says what the paper does in a", 72, 100, 468, { size: 8.5 }),
    line("few lines that are set a little smaller than the body.", 72, 110, 300, { size: 8.5 }),
    ...Array.from({ length: 5 }, (_, i) => line("Body text of the paper runs on in its own size over the full measure", 72, 140 + 12 * i, 468)),
    line("1 A note at the foot of the page.", 72, 740, 200, { size: 8 }),
    // A note set all in bold (an address, say) is no heading.
    line("2someone@example.org", 72, 760, 120, { size: 8, bold: true }),
  ];
  const [laid] = layoutDocument([page(lines)]);
  assert.deepEqual(laid.blocks.map((b) => b.kind), ["heading", "paragraph", "paragraph", "footnote", "footnote"]);
  assert.equal(laid.blocks[0].level, 1);
});

test("sentences end and go on in Latin and CJK text", () => {
  assert.ok(endsSentence("It ends here."));
  assert.ok(endsSentence("它在这里结束。"));
  assert.ok(!endsSentence("it goes on and"));
  assert.ok(continuesSentence("and then more"));
  assert.ok(continuesSentence("的结果如下"));
  assert.ok(!continuesSentence("The next one"));
  assert.ok(!continuesSentence("图 3 的说明"));
});
