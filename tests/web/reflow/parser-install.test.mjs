// The install step that makes the page's parser files from the npm package
// (web/reflow/tools/parser.mjs), run on a copy of the tools folder beside the
// page's own node_modules, so that the page's parser files are never touched.
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const page = fileURLToPath(new URL("../../../web/reflow/", import.meta.url));
const skip = fs.existsSync(path.join(page, "node_modules", "mupdf", "dist", "mupdf.js"))
  ? false : "web/reflow has no npm packages";

function install(edit = (patch) => patch) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), "parser-install-"));
  fs.mkdirSync(path.join(root, "tools"));
  fs.copyFileSync(path.join(page, "tools", "parser.mjs"), path.join(root, "tools", "parser.mjs"));
  fs.writeFileSync(path.join(root, "tools", "text-walk.patch"),
    edit(fs.readFileSync(path.join(page, "tools", "text-walk.patch"), "utf8")));
  fs.symlinkSync(path.join(page, "node_modules"), path.join(root, "node_modules"));
  const run = () => spawnSync(process.execPath, [path.join(root, "tools", "parser.mjs")], { encoding: "utf8" });
  return { root, run, made: (name) => path.join(root, "parser", name) };
}

test("the parser files: the text walk patched, and left untouched by a second install", { skip }, (t) => {
  const { root, run, made } = install();
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));

  assert.equal(run().status, 0);
  const script = fs.readFileSync(made("liteparse_wasm.js"), "utf8");
  assert.match(script, /String\.fromCodePoint\(ch_code\)/);
  assert.match(script, /walk_fonts\.get\(ch_font_ptr\)/);
  assert.doesNotMatch(script, /^import /m, "the loader is joined into the one script");

  const old = new Date(2001, 0, 1);
  for (const name of ["liteparse_wasm.js", "liteparse_wasm_bg.wasm"]) fs.utimesSync(made(name), old, old);
  assert.equal(run().status, 0);
  for (const name of ["liteparse_wasm.js", "liteparse_wasm_bg.wasm"])
    assert.equal(fs.statSync(made(name)).mtimeMs, old.getTime(), `${name} was written again`);

  fs.writeFileSync(made("liteparse_wasm_bg.wasm"), "stale");
  assert.equal(run().status, 0);
  assert.ok(fs.readFileSync(made("liteparse_wasm_bg.wasm"))
    .equals(fs.readFileSync(path.join(page, "node_modules", "mupdf", "dist", "mupdf-wasm.wasm"))));
});

test("a patch that no longer applies stops the install and makes nothing", { skip }, (t) => {
  const { root, run, made } = install((patch) => {
    const damaged = patch.replace("\n \t\tlet block = ", "\n \t\tlet blocks = ");
    assert.notEqual(damaged, patch);
    return damaged;
  });
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));

  const result = run();
  assert.notEqual(result.status, 0);
  assert.match(result.stderr, /text-walk\.patch does not apply/);
  assert.match(result.stderr, /FAILED/);
  assert.equal(fs.existsSync(made("liteparse_wasm.js")), false);
});
