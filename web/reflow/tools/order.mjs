// Prints a recorded document (tools/dump-page.mjs output) in reading order,
// one block a line as KIND<TAB>TEXT; KIND+ is set inside the block before it,
// KIND~ goes on that text past a display formula.
import fs from "node:fs";
import { layoutDocument } from "../layout.js";

const data = JSON.parse(fs.readFileSync(process.argv[2], "utf8"));
for (const page of layoutDocument(data.pages)) {
  for (const b of page.blocks) {
    const kind = b.kind === "heading" ? "heading" : b.kind;
    const text = b.kind === "cutout" ? `page ${page.page} region ${b.region.map((v) => v.toFixed(3)).join(",")}` : b.text;
    console.log(`${kind}${b.joins ? "+" : b.continues ? "~" : ""}\t${text.slice(0, Number(process.argv[3] || 110))}`);
  }
}
