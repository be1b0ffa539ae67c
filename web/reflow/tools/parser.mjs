// Puts the PDF parser where the page loads it from: parser/liteparse_wasm.js
// (the module and its loader in one file, since the page serves one script for
// the parser) and parser/liteparse_wasm_bg.wasm. Run by `npm ci` here.
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const dist = path.join(here, "node_modules", "mupdf", "dist");
const out = path.join(here, "parser");

const loader = fs.readFileSync(path.join(dist, "mupdf-wasm.js"), "utf8");
const main = fs.readFileSync(path.join(dist, "mupdf.js"), "utf8");
const importLine = 'import libmupdf_wasm from "./mupdf-wasm.js";';
if (!main.includes(importLine) || !/export default _;\s*$/.test(loader))
  throw new Error("the parser package changed its layout; check tools/parser.mjs");

const inlined = loader.replace(/export default _;\s*$/, "return _; })();\n");
const joined = main.replace(importLine, "const libmupdf_wasm = (() => {" + inlined);
fs.mkdirSync(out, { recursive: true });
fs.writeFileSync(path.join(out, "liteparse_wasm.js"), joined);
fs.copyFileSync(path.join(dist, "mupdf-wasm.wasm"), path.join(out, "liteparse_wasm_bg.wasm"));
