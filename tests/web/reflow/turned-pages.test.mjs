// Pages whose text does not run left to right as displayed: shown turned
// over upright content, or set sideways on an upright page. Their text is
// read in the orientation it runs in, and what the page tells the native
// side (regions, passages) still lies where the text is shown.
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { Paper } from "../../../web/reflow/engine.js";
import { shownRegion, readRegion } from "../../../web/reflow/place.js";
import { textSource } from "../../../web/reflow/study-rules.js";

const folder = process.env.FOLVAN_REFLOW_PAPERS;
const parser = new URL("../../../web/reflow/parser/", import.meta.url);
globalThis["$libmupdf_wasm_Module"] = { wasmBinary: fs.readFileSync(new URL("liteparse_wasm_bg.wasm", parser)) };
const lib = await import(new URL("liteparse_wasm.js", parser));

const skip = folder ? false : "FOLVAN_REFLOW_PAPERS names no folder (CTest writes the papers)";

const paragraph = "The first line of the turned page begins the paragraph here, the second line goes on with what the " +
  "first one said and the third line ends the paragraph of the turned page now.";

// Where the heading's first letter is set on the page as displayed, in
// points: page 0 (612 by 792, turned a quarter) is displayed 792 wide and
// 612 high, its user point (x, y) at (y, x); page 1 has the landscape
// point (x, y) at (612 - y, 792 - x).
const headingAt = [
  { width: 792, height: 612, x: 540, y: 72 },
  { width: 612, height: 792, x: 612 - 540, y: 792 - 72 },
];

test("a page whose text runs down or up the page reads as its text runs, in place on the page", { skip }, () => {
  const paper = new Paper(lib, fs.readFileSync(path.join(folder, "turned-pages.pdf")));
  for (let page = 0; page < 2; page++) {
    const laid = paper.layout(page);
    const texts = laid.blocks.map((b) => b.text);
    assert.deepEqual(texts, ["Results Read Across", paragraph], `page ${page}: ${texts.join(" | ")}`);
    assert.equal(laid.blocks[0].kind, "heading");
    // Read turned: the page as read is that of the content, upright on
    // page 0, landscape on page 1.
    assert.deepEqual([laid.width, laid.height], page === 0 ? [612, 792] : [792, 612]);
    // Page 0 has a rotation of its own, page 1 none.
    assert.equal(paper.text(page).rotate, page === 0 ? 1 : undefined);

    // The heading's region and a passage in it, told to the native side,
    // lie where the heading is displayed: at its first letter, along the
    // line the way it runs.
    const at = headingAt[page];
    const [x, y, w, h] = shownRegion(laid.blocks[0].region, laid.turn);
    const near = (fraction, points, size) => Math.abs(fraction * size - points) < 18;
    const start = page === 0 ? y : y + h;
    assert.ok(near(page === 0 ? x : x + w / 2, at.x, at.width), `page ${page}: x ${x * at.width} ~ ${at.x}`);
    assert.ok(near(start, at.y, at.height), `page ${page}: y ${start * at.height} ~ ${at.y}`);
    assert.ok(h > w, `page ${page}: a line that runs down or up the displayed page is tall`);
    const source = textSource(laid.blocks[0], 0, 7, laid.width, laid.height);
    const shown = shownRegion(source.rect, laid.turn);
    assert.ok(shown[3] > shown[2] && shown[3] * at.height > 30, `page ${page}: ${shown}`);
    // An annotation told by the native side in displayed fractions finds
    // the same text again.
    assert.deepEqual(readRegion(shown, laid.turn).map((v) => v.toFixed(6)), source.rect.map((v) => v.toFixed(6)));
  }
});
