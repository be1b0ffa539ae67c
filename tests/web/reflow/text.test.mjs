// Joined block text, its map back to the page, passages, search and quotes.
import { test } from "node:test";
import assert from "node:assert/strict";
import { joinLines, blockKey, KEY_FORM, seam, pageWords, withWords } from "../../../web/reflow/reading.js";
import { findAll } from "../../../web/reflow/compare.js";
import { passageRect, rangeUnder, findQuote, textSource } from "../../../web/reflow/study-rules.js";

// A line whose characters are each 5 points wide from x.
function line(text, x, y) {
  const cx = [];
  for (let i = 0; i < text.length; i++) cx.push(x + 5 * i, x + 5 * i + 5);
  return { text, x, y, w: 5 * text.length, h: 10, cx };
}

test("lines join with one space, line-end hyphenation undone, ligatures and odd spaces cleaned", () => {
  const { text, map } = joinLines([line("a  well  ", 0, 0), line("  known re-", 0, 12), line("dundancy \uFB01ne ,", 0, 24)]);
  assert.equal(text, "a well known redundancy fine,");
  // Every character but the spaces put in between comes from its line.
  const r = text.indexOf("dundancy");
  assert.deepEqual(map[r], [2, 0]);
  assert.deepEqual(map[text.indexOf("fine") + 1], [2, 9]);
  assert.equal(map.length, text.length);
  assert.equal(map[text.indexOf("known") - 1], null);
});

test("a line's end: an address goes on, a hyphen stays unless it broke a word", () => {
  const words = (w) => ["camera-ready", "mnras"].includes(w);
  const joined = { drop: false, space: false }, spaced = { drop: false, space: true }, broken = { drop: true, space: false };
  assert.deepEqual(seam("at https:", "//www.acm.org", words), joined);
  assert.deepEqual(seam("see (https://www.acm.", "org/publications)", words), joined);
  assert.deepEqual(seam("see https://www.acm.org", "for more", words), spaced, "a whole address");
  assert.deepEqual(seam("at https://www.acm.org.", "Next we", words), spaced, "a sentence's end");
  assert.deepEqual(seam("the final \u201Ccamera-", "ready\u201D copy", words), joined, "a compound the pages write");
  assert.deepEqual(seam("the final camera-", "ready copy", null), broken, "unknown: a break");
  assert.deepEqual(seam("Society (MN-", "RAS) encourages", words), broken, "a word the pages write whole");
  assert.deepEqual(seam("Society (MN-", "RAS) encourages", null), joined);
  assert.deepEqual(seam("pages 10-", "20 of", null), joined);
  assert.deepEqual(seam("pages 10\u2013", "20 of", null), joined);
  assert.deepEqual(seam("a -", "b", null), spaced, "a dash between spaces");
  // The words of a page: compounds whole, a word broken at a line's end left out.
  const page = { lines: [{ text: "The camera-ready copy of MNRAS is cam-" }, { text: "era ready." }] };
  const known = pageWords(page);
  assert.ok(known.has("camera-ready") && known.has("mnras") && !known.has("cam-") && !known.has("cam"));
  assert.equal(withWords((w) => known.has(w), () => joinLines([line("a final camera-", 0, 0), line("ready copy", 0, 12)]).text),
    "a final camera-ready copy");
});

test("CJK lines join without spaces and keep spaces next to Latin words", () => {
  const { text } = joinLines([line("重排 视图 的", 0, 0), line("文字 与 PDF 来源", 0, 12)]);
  assert.equal(text, "重排视图的文字与 PDF 来源");
  assert.equal(joinLines([line("Upper-", 0, 0), line("Case", 0, 12)]).text, "Upper-Case", "a hyphen before a capital stays, without a space");
});

test("block ids keep their form at the limits and change with the text", () => {
  assert.match(blockKey(0, 0, "x"), KEY_FORM);
  assert.match(blockKey(123456, 99999, "x"), KEY_FORM);
  assert.equal(blockKey(3, 4, "Some  text "), blockKey(3, 4, "Some text"));
  assert.notEqual(blockKey(3, 4, "Some text"), blockKey(3, 4, "Some test"));
});

test("a passage maps to page fractions and back to the same offsets", () => {
  const lines = [line("first line of text", 100, 100), line("second line", 100, 112)];
  const { text, map } = joinLines(lines);
  const block = { page: 2, index: 5, key: "2:5:abcdef12", text, map, lines };
  const start = text.indexOf("text"), end = text.indexOf("second") + 6;
  const rect = passageRect(block, start, end, 612, 792);
  const expected = [100 / 612, 100 / 792, 90 / 612, 22 / 792];
  rect.forEach((v, i) => assert.ok(Math.abs(v - expected[i]) < 1e-5));
  const one = [text.indexOf("of"), text.indexOf("of") + 7];
  assert.deepEqual(rangeUnder(block, passageRect(block, ...one, 612, 792), 612, 792), one);
  const source = textSource(block, start, end, 612, 792);
  assert.equal(source.quote, "text second");
  assert.equal(source.before, "first line of ");
  assert.equal(source.after, " line");
  assert.deepEqual([source.page, source.block, source.key, source.start, source.end], [2, 5, "2:5:abcdef12", start, end]);
  assert.ok(source.rect.every((v) => Number.isFinite(v) && v >= 0 && v <= 1));
});

test("context is cut to 256 UTF-16 units without splitting a character", () => {
  const long = "😀".repeat(200);
  const lines = [line(long + "quote" + long, 0, 0)];
  const { text, map } = joinLines(lines);
  const at = text.indexOf("quote");
  const source = textSource({ page: 0, index: 0, key: "0:0:00000000", text, map, lines }, at, at + 5, 612, 792);
  assert.ok(source.before.length <= 256 && source.after.length <= 256);
  assert.ok(!/^[\uDC00-\uDFFF]/.test(source.before) && !/[\uD800-\uDBFF]$/.test(source.after));
});

test("search folds case, width and ligatures; quotes prefer the occurrence with matching context", () => {
  assert.deepEqual(findAll("The ﬁrst FIRST first", "first"), [[4, 8], [9, 14], [15, 20]]);
  assert.deepEqual(findAll("ＰＤＦ and pdf", "pdf"), [[0, 3], [8, 11]]);
  assert.deepEqual(findAll("anything", "  "), []);
  const text = "see the model here; later the model there";
  assert.deepEqual(findQuote(text, "the model", "later ", " there"), [26, 35]);
  assert.deepEqual(findQuote(text, "the model", "see ", ""), [4, 13]);
  assert.equal(findQuote(text, "absent"), null);
});
