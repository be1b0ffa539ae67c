// How the page draws the paper's own marks in the reflowed text.
import { test } from "node:test";
import assert from "node:assert/strict";
import { markForm, firstWord, wordUnderIcon } from "../../../web/reflow/marks.js";
import { layoutDocument } from "../../../web/reflow/layout.js";

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

// Lines as the parser gives them, every letter 5 points wide.
function line(text, x, y) {
  const cx = [...text].flatMap((_, i) => [x + 5 * i, x + 5 * i + 5]);
  return { text, x, y, w: 5 * text.length, h: 12.4, base: y + 9.7, size: 9, font: "LinLibertineT", math: 0, cx };
}

test("a sticky note marks the word under the middle of its icon", () => {
  // The end of one paragraph, then another indented; the icon, 20 points square, reaches up into
  // the line above.
  const lines = [
    line("As noted in the introduction, the class can be used to prepare", 53.5, 182.1),
    line("many kinds of documentation by selecting the appropriate style.", 53.5, 194.0),
    line("This document will explain the major features of the class.", 63.8, 206.0),
    line("For further information, the guide is available from the site.", 53.5, 218.0),
  ];
  const [page] = layoutDocument([{ page: 1, width: 612, height: 792, lines, pictures: [], shapes: [] }]);
  assert.equal(page.blocks.length, 2, page.blocks.map((b) => b.text).join("\n"));
  const word = (x, y) => {
    const found = wordUnderIcon(page, [x / 612, y / 792, 20 / 612, 20 / 792]);
    return found && [found.block === page.blocks[1], found.block.text.slice(...found.range)];
  };
  const documentAt = 63.8 + 5 * 5;
  // Over the word's middle, its first letters or its last ones: the whole word; mostly over the
  // line above: its word; in the margin: none.
  assert.deepEqual([word(documentAt + 5, 199), word(documentAt - 9, 202), word(documentAt + 30, 202), word(documentAt, 186), word(10, 199)],
    [[true, "document"], [true, "document"], [true, "document"], [false, "kinds"], null]);
});
