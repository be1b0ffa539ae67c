// How the page draws the paper's own marks in the reflowed text.
import { test } from "node:test";
import assert from "node:assert/strict";
import { markForm, firstWord } from "../../../web/reflow/marks.js";

test("a strike-out is struck through and a note marks its place; neither tints its text", () => {
  assert.equal(markForm("strikeout"), "strikeout");
  assert.equal(markForm("squiggly"), "squiggly");
  assert.equal(markForm("underline"), "underline");
  assert.equal(markForm("text"), "pin");
  assert.equal(markForm("freetext"), "pin");
  assert.equal(markForm("highlight"), "highlight");
  assert.equal(markForm(undefined), "highlight");
});

test("a note's mark stands over the first word of its place, to the word's end", () => {
  const text = "as an  article formatted";
  assert.deepEqual(firstWord(text, [5, 20]), [7, 14]);
  // An icon over the word's first letters marks the whole word.
  assert.deepEqual(firstWord(text, [7, 9]), [7, 14]);
  assert.deepEqual(firstWord("a".repeat(40), [0, 40]), [0, 16]);
  // A place of spaces only keeps its last character.
  assert.deepEqual(firstWord("a   b", [1, 3]), [2, 3]);
});
