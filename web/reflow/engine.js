// The PDF side of the page: loads the parser (its .wasm over XMLHttpRequest,
// since fetch refuses the local scheme), opens the paper's bytes, reads page
// texts on demand and answers where an internal link leads.

import { extractPage } from "./parse-worker.js";
import { layoutUrl } from "./service.js";
import { layoutPage, linkPages } from "./layout.js";
import { bodySize, pageSignature } from "./quality.js";
import { pageWords, withWords } from "./reading.js";
import { readRegion } from "./place.js";

export function request(url, type = "arraybuffer") {
  return new Promise((resolve, reject) => {
    const xhr = new XMLHttpRequest();
    xhr.open("GET", url, true);
    xhr.responseType = type;
    xhr.onload = () => (xhr.status === 200 || (xhr.status === 0 && xhr.response)
      ? resolve(xhr.response) : reject(new Error(`${url}: ${xhr.status}`)));
    xhr.onerror = () => reject(new Error(`${url}: not readable`));
    xhr.send(null);
  });
}

let parser = null;

// Starts loading the parser once; the page calls this as soon as its script
// runs, so the parser is ready by the time the paper arrives. Its .wasm is
// compiled as soon as it is here, while the parser's module is fetched and
// read, and instantiated when the module asks for it.
export function loadParser() {
  if (!parser) {
    const compiled = request("parser/liteparse_wasm_bg.wasm").then((wasm) => WebAssembly.compile(wasm));
    // (A .wasm that cannot be read or instantiated fails the load at once:
    // the module itself would wait for it for ever.)
    let failed = null;
    const failure = new Promise((_, reject) => { failed = reject; });
    globalThis["$libmupdf_wasm_Module"] = {
      instantiateWasm(imports, done) {
        compiled.then((module) => WebAssembly.instantiate(module, imports)).then((instance) => done(instance), failed);
        return {};
      },
    };
    parser = Promise.race([failure, Promise.all([compiled, import("./parser/liteparse_wasm.js")])]).then(([, lib]) => {
      // The page reads text, pictures' places and shapes' bounds, never a
      // colour: without colour management a paper with ICC colour spaces
      // is read alike, without its transforms built on the first page
      // (some 40 ms of it).
      lib.disableICC();
      return lib;
    });
  }
  return parser;
}

// How many page texts a paper keeps read: enough for the pages around the
// reading position and their neighbours, never the whole of a long paper.
export const KEPT_TEXTS = 40;

export class Paper {
  constructor(lib, bytes) {
    this.lib = lib;
    this.doc = lib.Document.openDocument(new Uint8Array(bytes), "application/pdf");
    this.pageCount = this.doc.countPages();
    this.texts = new Map();
    this.signatures = new Map(); // page -> its signature (quality.js), kept once read
    this.laid = [];
    this.references = []; // page -> whether the references run at its end (their type size once known)
  }

  // The page's text (parse-worker.js form); the texts read last are kept.
  text(index) {
    let text = this.texts.get(index);
    if (text) {
      this.texts.delete(index);
    } else {
      const page = this.doc.loadPage(index);
      text = extractPage(page, index, this.lib);
      page.destroy?.();
      if (!this.signatures.has(index)) this.signatures.set(index, pageSignature(text));
    }
    this.texts.set(index, text);
    if (this.texts.size > KEPT_TEXTS) this.texts.delete(this.texts.keys().next().value);
    return text;
  }

  // Lets go of a laid-out page far from the reader.
  forget(index) {
    delete this.laid[index];
  }
}

// The pages to lay out and to keep around the pages on screen (first...last):
// a page above and two below are laid out before they come into view; pages
// further than `keep` from the screen are let go.
export function pageWindow(first, last, pageCount, keep = 6) {
  const clamp = (i) => Math.max(0, Math.min(pageCount - 1, i));
  return { from: clamp(first - 1), to: clamp(last + 2), keepFrom: clamp(first - keep), keepTo: clamp(last + keep) };
}

// Lays out page `index`, the pages before it being laid out already (the
// references and paragraphs that go on across pages follow from them).
// A page laid out after the one below it (the reader came from below) is
// linked with that one too.
// `graphics` are the areas the native side measured on the page (fractions).
// The body size comes from the first page for the first screen and from the
// first three pages after it; its furniture from its neighbours' signatures.
// The page is read in the orientation its text runs in (`turn`, set on the
// laid-out page too); the measured areas are turned to it.
Paper.prototype.layout = function layout(index, graphics = []) {
  const laid = this.survey(index, graphics);
  this.references[index] = laid.references;
  linkPages(this.laid[index - 1], laid);
  linkPages(laid, this.laid[index + 1]);
  laid.links = this.text(index).links;
  this.laid[index] = laid;
  return laid;
};

// Lays out page `index` as it would be shown, keeping nothing of it (to
// learn where it shows images before the reader gets there).
// Words broken at a line's end are told from compounds by the words of the
// page and its neighbours (`words`, kept on the laid-out page for text that
// goes on across columns and pages).
Paper.prototype.survey = function survey(index, graphics = []) {
  const text = this.text(index);
  const words = this.words(index);
  const laid = withWords(words, () => layoutPage(text, { ...this.context(index), graphics: turnedAreas(graphics, text.turn) }));
  laid.turn = text.turn || 0;
  laid.words = words;
  return laid;
};

// Whether the pages around page `index` (two either side) write a word.
Paper.prototype.words = function words(index) {
  const sets = [];
  for (let i = Math.max(0, index - 2); i <= Math.min(this.pageCount - 1, index + 2); i++) sets.push(pageWords(this.text(i)));
  return (word) => sets.some((set) => set.has(word));
};

function turnedAreas(graphics, turn) {
  return turn ? graphics.filter((g) => Array.isArray(g) && g.length === 4).map((g) => readRegion(g, turn)) : graphics;
}

// What laying out page `index` takes from the rest of the paper.
Paper.prototype.context = function context(index) {
  if (!this.ctx) this.ctx = { body: bodySize([this.text(0)]), signatures: this.signatures, references: false };
  const ctx = this.ctx;
  // Whether the references have begun: known from the page before when it
  // was laid out, else from the nearest page before that was.
  let before = index - 1;
  while (before >= 0 && this.references[before] === undefined) before--;
  ctx.references = before >= 0 ? this.references[before] : false;
  if (index >= 1 && !ctx.bodyOfThree) {
    ctx.body = bodySize([0, 1, 2].filter((i) => i < this.pageCount).map((i) => this.text(i)));
    ctx.bodyOfThree = true;
  }
  // Running headers often alternate between odd and even pages: the page
  // is compared with two pages on either side.
  for (let i = Math.max(0, index - 2); i <= Math.min(this.pageCount - 1, index + 2); i++) {
    if (!this.signatures.has(i)) this.text(i);
  }
  return ctx;
};

// Where an internal link leads: { page, x, y } in points, or null. Asked
// only when the reader uses the link: resolving names is slow.
Paper.prototype.target = function target(uri) {
  try {
    const dest = this.doc.resolveLinkDestination(uri);
    if (dest && dest.page >= 0 && dest.page < this.pageCount) return { page: dest.page, x: dest.x, y: dest.y };
  } catch {
    // A link that leads nowhere stays plain text.
  }
  return null;
};

// The page geometry the native side measured, or null.
export async function fetchGeometry(token, index) {
  try {
    const text = await request(layoutUrl(token, index), "text");
    return JSON.parse(text);
  } catch {
    return null;
  }
}
