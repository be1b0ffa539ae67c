// A block's menu: kept as the page has it, taken back into the text, its
// page pinned beside the text.
import { test } from "node:test";
import assert from "node:assert/strict";
import { menuChoices, movedMarks, pinnedRegion, fitPinned, paragraphOf, pieceBefore } from "../../../web/reflow/original.js";

const paragraph = { key: "0:3:0123abcd", kind: "paragraph", text: "Some words.", region: [0.1, 0.2, 0.8, 0.1] };
const figure = { key: "0:4:89abcdef", kind: "cutout", text: "", region: [0.1, 0.4, 0.8, 0.3] };
const formula = { key: "0:5:01234567", kind: "cutout", text: "x = 1", region: [0.3, 0.75, 0.4, 0.05] };
const ids = (choices) => choices.map((c) => `${c.id}:${c.marked}`);

test("a paragraph's menu keeps it as the page has it, and takes it back", () => {
  assert.deepEqual(menuChoices(paragraph, new Set()).map((c) => c.label), ["此段保留原版", "固定原版对照"]);
  assert.deepEqual(ids(menuChoices(paragraph, new Set())), ["keep:true", "pin:undefined"]);
  // Kept: it is restored by taking its mark off.
  const kept = menuChoices(paragraph, new Set([paragraph.key]));
  assert.deepEqual(kept.map((c) => c.label), ["恢复重排", "固定原版对照"]);
  assert.deepEqual(ids(kept), ["restore:false", "pin:undefined"]);
});

test("a cut-out the layout chose is kept already; shown as its text, it goes back by its mark", () => {
  assert.deepEqual(ids(menuChoices(figure, new Set())), ["pin:undefined"]);
  assert.deepEqual(ids(menuChoices(formula, new Set())), ["pin:undefined"]);
  // A formula the reader had set as text: kept as original is the mark off.
  assert.deepEqual(ids(menuChoices(formula, new Set([formula.key]))), ["keep:false", "pin:undefined"]);
  // A block without a place on its page has no menu.
  assert.deepEqual(menuChoices({ ...paragraph, region: undefined }, new Set()), []);
  assert.deepEqual(menuChoices(undefined, new Set()), []);
});

test("a paragraph's pieces go on across columns and pages, past figures and notes, until a heading", () => {
  const b = (key, kind, extra = {}) => ({ key, kind, ...extra });
  const pages = [
    { blocks: [b("t", "paragraph", { front: true }), b("t2", "paragraph", { front: true, joins: true }),
      b("a", "paragraph"), b("fig", "cutout"), b("note", "footnote"), b("a2", "paragraph", { joins: true })] },
    { blocks: [b("a3", "paragraph", { joins: true }), b("h", "heading"), b("c", "paragraph", { joins: true })] },
    undefined,
    { blocks: [b("d", "paragraph", { joins: true })] },
  ];
  // Whichever piece is asked for, the whole paragraph, in reading order.
  for (const key of ["a", "a2", "a3"]) assert.deepEqual(paragraphOf(pages, key), ["a", "a2", "a3"]);
  // A heading ends it; the title block keeps its own pieces.
  assert.deepEqual(paragraphOf(pages, "c"), ["c"]);
  assert.deepEqual(paragraphOf(pages, "t2"), ["t2"]);
  // A page not laid out between ends it too; a block not laid out is its own.
  assert.deepEqual(paragraphOf(pages, "d"), ["d"]);
  assert.deepEqual(paragraphOf(pages, "gone"), ["gone"]);
  // The piece found before each, from the block back, is the one before it in its paragraph.
  const keyed = pages.map((page, p) => page && { blocks: page.blocks.map((x, j) => ({ ...x, key: `${p}:${j}:00000000` })) });
  for (const x of keyed.flatMap((page) => (page ? page.blocks : []))) {
    const keys = paragraphOf(keyed, x.key);
    assert.equal(pieceBefore(keyed, x.key), keys[keys.indexOf(x.key) - 1] ?? null, x.key);
  }
});

test("the pinned view shows the block with a margin, within its page, fitted to the frame", () => {
  const r = pinnedRegion([0.1, 0.2, 0.8, 0.1]);
  assert.ok(r[0] < 0.1 && r[1] < 0.2 && r[0] + r[2] > 0.9 && r[1] + r[3] > 0.3);
  // At the page's edges the margin stops there.
  const edge = pinnedRegion([0, 0.95, 1, 0.05]);
  assert.deepEqual([edge[0], edge[0] + edge[2], edge[1] + edge[3]], [0, 1, 1]);

  // A wide block fills the frame's width and stands in its middle.
  const block = fitPinned(400, 100, 500, 800, false);
  assert.deepEqual([block.width, block.height], [500, 125]);
  assert.deepEqual(block.view, { scale: 1, x: 0, y: 337.5 });
  // A block taller than the frame starts at its top.
  assert.equal(fitPinned(100, 900, 500, 800, false).view.y, 0);
  // The whole page is seen whole.
  const page = fitPinned(612, 792, 500, 400, true);
  assert.ok(page.width <= 500 && Math.abs(page.height - 400) < 1e-9);
  assert.equal(page.view.y, 0);
  assert.ok(page.view.x > 0);
  assert.equal(fitPinned(0, 100, 500, 400, false), null);
  assert.equal(fitPinned(100, 100, 0, 400, false), null);
});

test("a mark kept under a key the page's layout no longer gives goes to the one block with its text", () => {
  const laid = { page: 2, blocks: [{ key: "2:0:11111111" }, { key: "2:1:22222222" }, { key: "2:2:33333333" }, { key: "2:3:33333333" }] };
  // Numbered one further by the layout that stored them.
  assert.deepEqual(movedMarks(laid, new Set(["2:1:11111111", "2:2:22222222"])),
    [["2:1:11111111", "2:0:11111111"], ["2:2:22222222", "2:1:22222222"]]);
  // Text the page holds twice, a block marked already, another page's key: left as they are.
  assert.deepEqual(movedMarks(laid, new Set(["2:9:33333333"])), []);
  assert.deepEqual(movedMarks(laid, new Set(["2:5:11111111", "2:0:11111111"])), []);
  assert.deepEqual(movedMarks(laid, new Set(["3:0:22222222"])), []);
});
