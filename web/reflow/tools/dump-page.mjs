// Records the page texts of a PDF as the layout reads them, for fixtures and
// for checking the reading order by hand: node tools/dump-page.mjs PDF [first] [count]
import fs from "node:fs";
import { extractPage } from "../parse-worker.js";

globalThis["$libmupdf_wasm_Module"] = { wasmBinary: fs.readFileSync(new URL("../parser/liteparse_wasm_bg.wasm", import.meta.url)) };
const mupdf = await import("../parser/liteparse_wasm.js");

const [file, first = "0", count = "999"] = process.argv.slice(2);
const doc = mupdf.Document.openDocument(fs.readFileSync(file), "application/pdf");
const pages = [];
const n = Math.min(doc.countPages(), Number(first) + Number(count));
const t0 = performance.now();
for (let i = Number(first); i < n; i++) pages.push(extractPage(doc.loadPage(i), i));
process.stderr.write(`${pages.length} pages in ${Math.round(performance.now() - t0)} ms\n`);
process.stdout.write(JSON.stringify({ pageCount: doc.countPages(), pages }));
