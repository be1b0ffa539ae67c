// How the page draws the paper's own marks in the reflowed text.
import { test } from "node:test";
import assert from "node:assert/strict";
import { markForm } from "../../../web/reflow/marks.js";

test("a strike-out is struck through and a note marks its place; neither tints its text", () => {
  assert.equal(markForm("strikeout"), "strikeout");
  assert.equal(markForm("squiggly"), "squiggly");
  assert.equal(markForm("underline"), "underline");
  assert.equal(markForm("text"), "pin");
  assert.equal(markForm("freetext"), "pin");
  assert.equal(markForm("highlight"), "highlight");
  assert.equal(markForm(undefined), "highlight");
});
