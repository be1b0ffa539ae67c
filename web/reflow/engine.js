// The PDF side of the page: loads the parser (its .wasm over XMLHttpRequest,
// since fetch refuses the local scheme), opens the paper's bytes, reads page
// texts on demand and answers where an internal link leads.

import { extractPage } from "./parse-worker.js";
import { layoutUrl } from "./service.js";

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
// runs, so the parser is ready by the time the paper arrives.
export function loadParser() {
  if (!parser) {
    parser = request("parser/liteparse_wasm_bg.wasm").then((wasm) => {
      globalThis["$libmupdf_wasm_Module"] = { wasmBinary: new Uint8Array(wasm) };
      return import("./parser/liteparse_wasm.js");
    });
  }
  return parser;
}

export class Paper {
  constructor(lib, bytes) {
    this.lib = lib;
    this.doc = lib.Document.openDocument(new Uint8Array(bytes), "application/pdf");
    this.pageCount = this.doc.countPages();
    this.texts = new Map();
  }

  // The page's text (parse-worker.js form), read once.
  text(index) {
    let text = this.texts.get(index);
    if (!text) {
      const page = this.doc.loadPage(index);
      text = extractPage(page, index);
      page.destroy?.();
      this.texts.set(index, text);
    }
    return text;
  }
}

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
