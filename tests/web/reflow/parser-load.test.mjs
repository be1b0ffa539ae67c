// Loading the parser as the page does (engine.js): its .wasm asked for over
// XMLHttpRequest, compiled while the parser's module is read. A .wasm the
// module cannot be given fails the load: the page then says so, where a
// load waiting for ever would leave it at "正在读取文献…".
import { test } from "node:test";
import assert from "node:assert/strict";

// A .wasm that compiles but asks for a function the parser's module does
// not give ("a"."zz"): instantiating it fails.
const UNLINKABLE = new Uint8Array([
  0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00, // magic, version
  0x01, 0x04, 0x01, 0x60, 0x00, 0x00, // one type: () -> ()
  0x02, 0x08, 0x01, 0x01, 0x61, 0x02, 0x7a, 0x7a, 0x00, 0x00, // import "a"."zz", a function
]);

// (Put in place once the page's modules have read their contract file.)
const { loadParser } = await import("../../../web/reflow/engine.js");
globalThis.XMLHttpRequest = class {
  open(method, url) {
    this.url = url;
  }
  send() {
    setTimeout(() => {
      this.status = 200;
      this.response = UNLINKABLE.buffer;
      this.onload();
    });
  }
};

test("a .wasm that cannot be instantiated fails the parser's load instead of leaving it waiting", { timeout: 20000 }, async () => {
  assert.ok(await WebAssembly.compile(UNLINKABLE), "the .wasm itself compiles");
  await assert.rejects(loadParser(), WebAssembly.LinkError);
});
