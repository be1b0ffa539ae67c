// Puts the PDF parser where the page loads it from: parser/liteparse_wasm.js
// (the module and its loader in one file, since the page serves one script for
// the parser) and parser/liteparse_wasm_bg.wasm. Run by `npm ci` here.
// In node, import parser/liteparse_wasm.js after setting
// globalThis["$libmupdf_wasm_Module"] = { wasmBinary } as the page does.
//
// The module gets tools/text-walk.patch applied with `patch`, strictly (no
// fuzz): when the pinned package no longer matches it, the install stops.
// A file is written only when its content changed, so that reinstalling the
// same packages leaves the build nothing to redo.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const dist = path.join(here, "node_modules", "mupdf", "dist");
const out = path.join(here, "parser");
const patchFile = path.join(here, "tools", "text-walk.patch");

function patched(file) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "folvan-parser-"));
  const result = path.join(work, path.basename(file));
  try {
    execFileSync("patch", ["--batch", "--forward", "--fuzz=0", "--no-backup-if-mismatch",
      "--reject-file=-", "--output", result, "--input", patchFile, file],
    { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
    return fs.readFileSync(result, "utf8");
  } catch (error) {
    const said = [error.stdout, error.stderr].filter(Boolean).join("").trim();
    throw new Error(`tools/text-walk.patch does not apply to ${path.relative(here, file)}` +
      ` (the pinned mupdf package changed?)\n${said || error.message}`);
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

function writeIfChanged(file, content) {
  const bytes = Buffer.isBuffer(content) ? content : Buffer.from(content, "utf8");
  if (fs.existsSync(file) && fs.readFileSync(file).equals(bytes))
    return;
  fs.writeFileSync(file, bytes);
}

const loader = fs.readFileSync(path.join(dist, "mupdf-wasm.js"), "utf8");
const main = patched(path.join(dist, "mupdf.js"));
const importLine = 'import libmupdf_wasm from "./mupdf-wasm.js";';
if (!main.includes(importLine) || !/export default _;\s*$/.test(loader))
  throw new Error("the parser package changed its layout; check tools/parser.mjs");

const inlined = loader.replace(/export default _;\s*$/, "return _; })();\n");
const joined = main.replace(importLine, "const libmupdf_wasm = (() => {" + inlined);
fs.mkdirSync(out, { recursive: true });
writeIfChanged(path.join(out, "liteparse_wasm.js"), joined);
writeIfChanged(path.join(out, "liteparse_wasm_bg.wasm"), fs.readFileSync(path.join(dist, "mupdf-wasm.wasm")));
