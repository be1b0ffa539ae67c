// A grey panel set as one thick stroke: the parser gives its box widened by
// half the line's width past both ends, over the text above and below it.
// The page is written here, read as the page reads it (engine.js).
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import { Paper } from "../../../web/reflow/engine.js";

const parser = new URL("../../../web/reflow/parser/", import.meta.url);
globalThis["$libmupdf_wasm_Module"] = { wasmBinary: fs.readFileSync(new URL("liteparse_wasm_bg.wasm", parser)) };
const lib = await import(new URL("liteparse_wasm.js", parser));

// A page with a heading, a line under it, a panel 85 points wide drawn
// down from 102 to 192 points (from the top) with butt ends, and a
// paragraph under the panel; `cap` the ends' style.
function panelPaper(cap = 0) {
  const doc = new lib.PDFDocument();
  const font = doc.addSimpleFont(new lib.Font("Times-Roman"));
  const resources = doc.addObject({ Font: { F1: font } });
  const text = (y, words) => `BT /F1 10 Tf 72 ${y} Td (${words}) Tj ET\n`;
  const body = "Body text of the page runs on in full sentences like this one. ";
  const contents = text(708, "A Heading Above the Panel") + text(696, "Example for a panel set as one stroke:") +
    `q 0.8 G 84.7 w ${cap} J 150 690 m 150 600 l S Q\n` +
    [586, 574, 562, 550].map((y) => text(y, body)).join("") + text(400, "The end of the page.");
  doc.insertPage(-1, doc.addPage([0, 0, 612, 792], 0, resources, contents));
  return new Paper(lib, doc.saveToBuffer().asUint8Array());
}

test("a thick stroke's shape is the box its ink covers, and the text around it stays text", () => {
  const paper = panelPaper();
  const [panel] = paper.text(0).shapes.filter((s) => s.w > 20);
  assert.deepEqual([panel.x, panel.y, panel.w, panel.h].map(Math.round), [108, 102, 85, 90]);
  const laid = paper.layout(0);
  const kinds = laid.blocks.map((b) => `${b.kind}:${b.text}`).join("\n");
  const text = laid.blocks.filter((b) => b.kind !== "cutout").map((b) => b.text).join("\n");
  for (const words of ["A Heading Above the Panel", "Example for a panel set as one stroke:", "Body text of the page"]) {
    assert.ok(text.includes(words), kinds);
  }
  assert.equal(laid.blocks.filter((b) => b.kind === "cutout").length, 1, kinds);
});

test("round and square ends reach on past the line's ends by half its width", () => {
  for (const cap of [1, 2]) {
    const [panel] = panelPaper(cap).text(0).shapes.filter((s) => s.w > 20);
    assert.deepEqual([panel.y, panel.h].map(Math.round), [60, 175], `cap ${cap}`);
  }
});
