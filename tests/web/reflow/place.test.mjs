// Where the reader is: pages on screen, the block at a point, the place at
// the top of the view and the position told to the native side.
import { test } from "node:test";
import assert from "node:assert/strict";
import {
  overlaps, heightFraction, blockAt, pagesOnScreen, shownAsImage, cjkShare, placeInBlock, blockTopAt, positionFields, pastText, displayNamed, noteNamed,
} from "../../../web/reflow/place.js";

test("the block at a point holds it, or is the nearest below, blocks without region aside", () => {
  const head = { index: 0, region: [0.1, 0.1, 0.8, 0.05] };
  const left = { index: 1, region: [0.1, 0.2, 0.35, 0.3] };
  const right = { index: 2, region: [0.55, 0.2, 0.35, 0.3] };
  const note = { index: 3, kind: "footnote", region: [0.1, 0.9, 0.8, 0.05] };
  const laid = { blocks: [head, left, right, note, { index: 4 }] };
  assert.equal(blockAt(laid, 0.12), head);
  assert.equal(blockAt(laid, 0.3, 0.7), right, "x picks the column");
  assert.equal(blockAt(laid, 0.3, 0.2), left);
  assert.equal(blockAt(laid, 0.17), left, "between blocks: the next one below");
  assert.equal(blockAt(laid, 0.92), note, "a footnote a link leads to");
  assert.equal(blockAt(laid, 0.97), left, "below every block: the nearest above (the first of equals), never the footnote");
  assert.equal(blockAt(null, 0.5), null);
  assert.equal(blockAt({ blocks: [note] }, 0.97), null);
});

test("a link's target leads to the line below it, in the column that holds it", () => {
  // Two columns of references, 7 points high, 8 apart, on a page 800 high;
  // the right column's are the next in reading order. A target stands on
  // the baseline of the line before the one it names.
  const height = 800;
  const reference = (n, x, top, lines) => ({
    index: n, kind: "reference", text: `[${n}]`,
    region: [x / 600, top / height, 250 / 600, (8 * lines) / height],
    lines: Array.from({ length: lines }, (_, i) => ({ y: top + 8 * i, h: 7, base: top + 8 * i + 6 })),
  });
  const blocks = [
    ...[0, 1, 2, 3].map((n) => reference(n, 50, 100 + 16 * n, 2)),
    ...[4, 5, 6, 7].map((n) => reference(n, 320, 100 + 16 * (n - 4), 2)),
  ];
  blocks.push({ index: 8, kind: "footnote", text: "1 A note", region: [50 / 600, 700 / height, 500 / 600, 8 / height],
    lines: [{ y: 700, h: 7, base: 706 }] });
  const laid = { height, blocks };
  const at = (x, y) => blockAt(laid, y / height, x / 600).text;
  // [2]'s first line sits at 132..139, baseline 138; the line before it
  // ([1]'s second) has its baseline at 130.
  assert.equal(at(52, 130), "[2]", "the target on the baseline before");
  assert.equal(at(52, 130.4), "[2]", "a little under it");
  assert.equal(at(52, 133), "[2]", "inside the first line");
  assert.equal(at(322, 130), "[6]", "the same height in the right column");
  assert.equal(at(322, 125), "[5]", "the second line of the block before");
  assert.equal(at(52, 166), "[4]", "past the foot of the left column: the right column's top");
  assert.equal(at(52, 699), "1 A note", "a footnote");
  assert.equal(blockAt(laid, 130 / height).text, "[2]", "without x: the first line below in any column");
});

test("a target in the gutter or the hanging indent leads to the column whose text it starts", () => {
  // Author-year references hang in the right column (first lines at 318,
  // the rest at 327); the left column's prose reaches 309 with a long
  // address. The targets stand at 294.5, left of the right column's text,
  // on the baseline of the line before the entry they name.
  const width = 612, height = 792;
  const row = (x, top, w) => ({ x, y: top, w, h: 7, base: top + 6 });
  const prose = { index: 0, kind: "paragraph", text: "prose", region: [52 / width, 300 / height, 257 / width, 120 / height],
    lines: Array.from({ length: 15 }, (_, i) => row(52, 300 + 8 * i, i === 4 ? 257 : 243)) };
  const entry = (n, top) => ({ index: n, kind: "reference", text: `entry ${n}`,
    region: [318 / width, top / height, 243 / width, 16 / height], lines: [row(318, top, 243), row(327, top + 8, 180)] });
  // Under the prose, a heading centred in the left column and the
  // paragraph after it, set in at the column's start.
  const heading = { index: 5, kind: "heading", text: "heading", region: [150 / width, 430 / height, 60 / width, 7 / height],
    lines: [row(150, 430, 60)] };
  const after = { index: 6, kind: "paragraph", text: "after", region: [52 / width, 446 / height, 257 / width, 16 / height],
    lines: [row(62, 446, 247), row(52, 454, 257)] };
  const laid = { width, height, blocks: [prose, heading, after, entry(1, 300), entry(2, 316), entry(3, 332), entry(4, 348)] };
  const at = (x, y) => blockAt(laid, y / height, x / width).text;
  assert.equal(at(294.5, 330), "entry 3", "in the gutter, beside the left column's lines");
  assert.equal(at(294.5, 346), "entry 4");
  assert.equal(at(320, 346), "entry 4", "at the entry's own start");
  assert.equal(at(54, 346), "prose", "the left column's own target stays there");
  assert.equal(at(52, 425), "heading", "a heading set right of the target, before the line that starts there");
});

test("a target under a display's foot leads to the heading that follows it, one just above it to the display", () => {
  // A display cut out from 438 to 455 on a page 792 high; the run-in
  // heading after it has its line at 462..472, baseline 470. The heading's
  // target stands 3 points under the display's foot, as amsart sets it.
  const height = 792;
  const display = { index: 0, kind: "cutout", text: "", region: [0.39, 438 / height, 0.21, 17 / height] };
  const heading = { index: 1, text: "8.2. Poor man's bold. If a bold version", region: [0.18, 462 / height, 0.62, 10 / height],
    lines: [{ x: 110, w: 380, y: 462, h: 10, base: 470 }] };
  const laid = { height, width: 612, blocks: [display, heading] };
  assert.equal(blockAt(laid, 458 / height, 119 / 612), heading);
  assert.equal(blockAt(laid, 436 / height, 119 / 612), display);
});

test("a point in the margin, as the top left of a page view's window, stands where the text begins", () => {
  // A page 800 high and 600 wide: a title centred over two columns of
  // paragraphs, three lines of 10 points each, 12 apart.
  const height = 800, width = 600;
  const paragraph = (n, x, top) => ({
    index: n, text: `paragraph ${n}`,
    region: [x / width, top / height, 240 / width, 34 / height],
    lines: [0, 1, 2].map((i) => ({ x, y: top + 12 * i, w: 240, h: 10, base: top + 12 * i + 8 })),
  });
  const title = { index: 0, text: "title", region: [200 / width, 70 / height, 200 / width, 24 / height],
    lines: [{ x: 200, y: 70, w: 200, h: 24, base: 90 }] };
  const blocks = [title];
  for (let i = 0; i < 8; i++) blocks.push(paragraph(1 + i, 60, 120 + 80 * i));
  for (let i = 0; i < 8; i++) blocks.push(paragraph(9 + i, 320, 120 + 80 * i));
  const laid = { width, height, blocks };
  assert.equal(blockAt(laid, 0, 0).text, "title", "the page's top left corner: its first block, not its last");
  assert.equal(blockAt(laid, 0.05, 0.02).text, "title", "in the top margin");
  assert.equal(blockAt(laid, 300 / height, 0).text, "paragraph 3", "in the left margin: the first column at that height");
  assert.equal(blockAt(laid, 300 / height, 322 / width).text, "paragraph 11", "in a column: that column");
});

test("pages on screen are found from the pages' boxes", () => {
  // Pages 100 px high from y = -250: page 2 straddles the bar at 50.
  const boxes = Array.from({ length: 10 }, (_, i) => ({ top: -250 + 100 * i, bottom: -150 + 100 * i }));
  const asked = new Set();
  const boxOf = (i) => { asked.add(i); return boxes[i]; };
  assert.deepEqual(pagesOnScreen(10, boxOf, 50, 400), [3, 6]);
  assert.ok(asked.size < 10, "not every page's box is read");
  assert.deepEqual(pagesOnScreen(1, () => ({ top: 0, bottom: 1000 }), 50, 400), [0, 0]);
  assert.deepEqual(pagesOnScreen(3, (i) => boxes[i], 5000, 6000), [2, 2], "past the end: the last page");
});

test("the place at the top of the view is a share of the block's text and a point on its page", () => {
  const block = { text: "x".repeat(200), region: [0.1, 0.2, 0.8, 0.4] };
  assert.deepEqual(placeInBlock(block, { top: 0, height: 400 }, 100), { offset: 50, point: { x: 0.1, y: 0.30000000000000004 } });
  assert.deepEqual(placeInBlock(block, { top: 120, height: 400 }, 100), { offset: 0, point: { x: 0.1, y: 0.2 } },
    "a block below the top edge is at its start");
  assert.deepEqual(placeInBlock({ region: [0, 0.9, 1, 0.5] }, { top: 0, height: 10 }, 50), { offset: 1000, point: { x: 0, y: 1 } },
    "the point stays on the page");
  assert.deepEqual(placeInBlock(null, { top: 0, height: 0 }, 10), { offset: 0, point: null });
  // A page's first block: at its start, the page's top, as a page view at a
  // page's top tells it; a way into it, a point in it.
  const first = { index: 0, text: "x".repeat(200), region: [0.3, 0.1, 0.4, 0.05] };
  assert.deepEqual(placeInBlock(first, { top: 120, height: 400 }, 100).point, { x: 0, y: 0 }, "below the top edge");
  assert.deepEqual(placeInBlock(first, { top: 99.5, height: 400 }, 100).point, { x: 0, y: 0 }, "under the top edge by less than a character");
  assert.deepEqual(placeInBlock(first, { top: 0, height: 400 }, 100), { offset: 50, point: { x: 0.3, y: 0.1125 } });
  const figure = { index: 0, kind: "cutout", text: "", region: [0.1, 0.05, 0.8, 0.3] };
  assert.deepEqual(placeInBlock(figure, { top: 120, height: 300 }, 100).point, { x: 0, y: 0 }, "a figure at its start");
  assert.deepEqual(placeInBlock(figure, { top: 70, height: 300 }, 100), { offset: 100, point: { x: 0.1, y: 0.08 } }, "a figure a way in");
  // A figure a way in is gone back to as far in, not to its top.
  assert.equal(blockTopAt(figure, 300, 100, 100), 70);
});

test("a place gone back to stays told while the block stands within a pixel of it", () => {
  // 255 characters over 129 pixels below a top edge at 35: two a pixel.
  const block = { index: 6, text: "x".repeat(255), region: [0.1, 0.2, 0.8, 0.1] };
  const at = blockTopAt(block, 129, 154, 35);
  assert.equal(placeInBlock(block, { top: at, height: 129 }, 35).offset, 154);
  assert.equal(placeInBlock(block, { top: at + 1, height: 129 }, 35, 154).offset, 154, "moved a pixel by the pages above");
  assert.equal(placeInBlock(block, { top: at + 20, height: 129 }, 35, 154).offset, 114, "moved by the reader");
});

test("the position event's fields carry the point only when there is one", () => {
  assert.deepEqual(positionFields({ page: 2, block: 4, offset: 10, point: { x: 0.1, y: 0.5 }, pages: [2, 3] }),
    { page: 2, block: 4, offset: 10, point: { x: 0.1, y: 0.5 } });
  assert.deepEqual(positionFields({ page: 0, block: 0, offset: 0, point: null }), { page: 0, block: 0, offset: 0 });
});

test("coordinates: overlapping regions, height fractions, cut-outs and CJK text", () => {
  assert.ok(overlaps([0, 0, 0.5, 0.5], [0.4, 0.4, 0.5, 0.5]));
  assert.ok(!overlaps([0, 0, 0.5, 0.5], [0.5, 0, 0.5, 0.5]), "touching edges do not overlap");
  assert.equal(heightFraction(396, 792), 0.5);
  assert.equal(heightFraction(900, 792), 1);
  assert.equal(heightFraction(-5, 792), 0);
  assert.equal(heightFraction(NaN, 792), 0);
  assert.equal(heightFraction(10, 0), 0);
  const marked = new Set(["k"]);
  assert.equal(shownAsImage({ key: "k" }, marked), true);
  assert.equal(shownAsImage({ key: "j" }, marked), false);
  assert.equal(shownAsImage({ key: "j", kind: "cutout" }, marked), true);
  assert.equal(shownAsImage({ key: "k", kind: "cutout", text: "Table 1" }, marked), false);
  assert.equal(shownAsImage({ key: "k", kind: "cutout" }, marked), true, "a marked cut-out without text stays one");
  assert.equal(cjkShare("重排ab"), 0.5);
  assert.equal(cjkShare(""), 0);
});

test("a target at the left of pictures side by side, under a page's text or over a numbered display names what it should", () => {
  // Two parts of a figure side by side, the right one taller; targets at the row's left margin, at
  // the right part's left and inside it.
  const a = { index: 1, kind: "cutout", text: "A", region: [0.318, 0.212, 0.151, 0.092] };
  const b = { index: 2, kind: "cutout", text: "B", region: [0.495, 0.191, 0.186, 0.114] };
  const text = { index: 0, kind: "paragraph", text: "Figure 3 has two parts", region: [0.144, 0.116, 0.712, 0.052],
    lines: [{ x: 90, y: 94.3, w: 432, h: 10, base: 101.8 }] };
  const figure = { width: 612, height: 792, blocks: [text, a, b] };
  assert.deepEqual([blockAt(figure, 157.1 / 792, 90 / 612), blockAt(figure, 238.1 / 792, 306.1 / 612), blockAt(figure, 0.25, 0.55)], [a, b, b]);

  // A theorem's target at the foot of a page, under its last text: the next page's start. Over a
  // note, at the last text's foot, on a page read turned or with no text, not.
  const page = { height: 792, blocks: [{ kind: "paragraph", region: [0.144, 0.843, 0.42, 0.017] },
    { kind: "paragraph", region: [0.144, 0.875, 0.433, 0.017] }, { kind: "footnote", region: [0.15, 0.93, 0.4, 0.015] }] };
  assert.deepEqual([pastText(page, 717.7 / 792), pastText(page, 0.88), pastText(page, 0.935), pastText({ ...page, turn: 3 }, 717.7 / 792),
    pastText({ blocks: [] }, 0.9)], [true, false, false, false, false]);
  // A note's target on its line, a column's text beside the notes.
  const height = 782.34;
  const lines = (top, n) => Array.from({ length: n }, (_, i) => ({ x: 305, y: top + 10.4 * i, h: 7, base: top + 10.4 * i + 5.3 }));
  const notes = { width: 595, height, blocks: [
    { kind: "paragraph", text: "Lorem", region: [0.512, 0.852, 0.4, 0.081], lines: lines(668, 6) },
    { kind: "footnote", text: "1 https://data.gov.uk/", region: [0.088, 0.9, 0.163, 0.017], lines: [{ x: 54, y: 706, h: 7, base: 713.6 }] },
    { kind: "footnote", text: "2 Example of footnote text.", region: [0.088, 0.915, 0.181, 0.018], lines: [{ x: 54, y: 718, h: 7, base: 726.6 }] },
    { kind: "footnote", text: "© The Author", region: [0.088, 0.942, 0.656, 0.024], lines: [{ x: 54, y: 739, h: 7, base: 746 }] }] };
  // Under its mark's line, on the line of the note before; no such note, or far from it: none.
  assert.deepEqual([noteNamed(notes, 716.34 / height, "1")?.text, noteNamed(notes, 712 / height, "2")?.text, noteNamed(notes, 716.34 / height, "3"),
    noteNamed(notes, 0.5, "1")], ["1 https://data.gov.uk/", "2 Example of footnote text.", null, null]);

  // An equation's target a line over its display, on the line leading into it: the display whose
  // number the link's text names; not a table's or another number, far above, or a citation.
  const display = { kind: "cutout", formula: true, text: "(δ + k)e2 + δ [µe1H + (1 − µ)e1L] = k. (1)", region: [0.191, 0.624, 0.537, 0.021] };
  const lead = { kind: "paragraph", text: "Equations are indented 12 points:", region: [0.173, 0.603, 0.247, 0.016] };
  const laid = { height: 792, blocks: [lead, display] };
  const y = 474.5 / 792;
  assert.deepEqual([displayNamed(laid, y, "1", "#nameddest=equation.2.1"), displayNamed(laid, y, "(1)"), displayNamed(laid, y, "1", "#nameddest=table.1"),
    displayNamed(laid, y, "(2)"), displayNamed(laid, 0.4, "(1)"), displayNamed(laid, y, "Lucas", "#nameddest=cite.lucas")], [display, display, null, null, null, null]);
});
