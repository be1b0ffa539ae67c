// Puts the PDF parser where the page loads it from: parser/liteparse_wasm.js
// (the module and its loader in one file, since the page serves one script for
// the parser) and parser/liteparse_wasm_bg.wasm. Run by `npm ci` here.
// In node, import parser/liteparse_wasm.js after setting
// globalThis["$libmupdf_wasm_Module"] = { wasmBinary } as the page does.
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

// A text walk makes a font wrapper (with its finalizer) for every character;
// one wrapper per font and walk does the same work at a fraction of the cost.
const perChar = "let ch_font = new Font(libmupdf._wasm_stext_char_get_font(ch));";
const walkStart = "\twalk(walker) {\n\t\tlet block = libmupdf._wasm_stext_page_get_first_block(this.pointer);";
if (!main.includes(perChar) || !main.includes(walkStart))
  throw new Error("the parser package changed its text walk; check tools/parser.mjs");
const shared = main
  .replace(walkStart, walkStart.replace("{\n", "{\n\t\tconst walk_fonts = new Map();\n"))
  .replace(perChar, "let ch_font_ptr = libmupdf._wasm_stext_char_get_font(ch);" +
    " let ch_font = walk_fonts.get(ch_font_ptr);" +
    " if (!ch_font) walk_fonts.set(ch_font_ptr, ch_font = new Font(ch_font_ptr));");

// The text walk turns a character with String.fromCharCode, which keeps only
// the low 16 bits: a mathematical letter such as U+1D6FC came out as the
// Hangul syllable U+D6FC. Take the whole code point (two UTF-16 units above
// U+FFFF); a value that is no code point stands for a missing character.
const perRune = "let ch_rune = String.fromCharCode(libmupdf._wasm_stext_char_get_c(ch));";
if (!shared.includes(perRune))
  throw new Error("the parser package changed how it reads a character; check tools/parser.mjs");
const whole = shared.replace(perRune, "let ch_code = libmupdf._wasm_stext_char_get_c(ch);" +
  " let ch_rune = ch_code >= 0 && ch_code <= 0x10FFFF ? String.fromCodePoint(ch_code) : \"\\uFFFD\";");

const inlined = loader.replace(/export default _;\s*$/, "return _; })();\n");
const joined = whole.replace(importLine, "const libmupdf_wasm = (() => {" + inlined);
fs.mkdirSync(out, { recursive: true });
fs.writeFileSync(path.join(out, "liteparse_wasm.js"), joined);
fs.copyFileSync(path.join(dist, "mupdf-wasm.wasm"), path.join(out, "liteparse_wasm_bg.wasm"));
