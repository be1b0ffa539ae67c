// What the parser gives that is not yet the text: letters above U+FFFF cut
// to 16 bits, taken back from the glyph names in the page's font resources,
// and accents set as glyphs of their own over their letters.
import { test } from "node:test";
import assert from "node:assert/strict";
import { namedAbove, joinAccents, spaceWords, extractPage } from "../../../web/reflow/parse-worker.js";
import { layoutDocument } from "../../../web/reflow/layout.js";

// Stand-ins for the parser's PDF objects: plain values, arrays, objects
// (dictionaries), { ref, value } (indirect) and { stream, dict } (streams).
class Obj {
  constructor(v) { this.v = v && v.ref !== undefined ? v.value : v; this.ref = v && v.ref; }
  isDictionary() { return !!this.v && typeof this.v === "object" && !Array.isArray(this.v) && !(this.v instanceof Name) && this.v.stream === undefined; }
  isStream() { return !!this.v && this.v.stream !== undefined; }
  isName() { return this.v instanceof Name; }
  isString() { return typeof this.v === "string"; }
  isIndirect() { return this.ref !== undefined; }
  asIndirect() { return this.ref; }
  asName() { return this.v instanceof Name ? this.v.name : ""; }
  asString() { return String(this.v); }
  asNumber() { return typeof this.v === "number" ? this.v : 0; }
  readStream() { return { asString: () => this.v.stream }; }
  get(...path) {
    let v = this.v;
    for (const key of path) v = v && (v.stream !== undefined ? v.dict : v)[key];
    return new Obj(v);
  }
  getInheritable(key) { return this.get(key); }
  forEach(fn) {
    if (Array.isArray(this.v)) this.v.forEach((item, i) => fn(new Obj(item), i));
    else if (this.isDictionary()) for (const [k, item] of Object.entries(this.v)) fn(new Obj(item), k);
  }
}
class Name { constructor(name) { this.name = name; } }
const n = (name) => new Name(name);
const page = (resources) => ({ getObject: () => new Obj({ Resources: resources }) });

test("a font's glyph names give back its letters above U+FFFF, wherever the names stand", () => {
  const differences = { BaseFont: n("ABCDEF+STIXMath-Italic"), Encoding: { Differences: [1, n("u1D44E"), n("u1D44F.alt"), n("uni2192")] } };
  const charset = { BaseFont: n("CMMI10"), FontDescriptor: { CharSet: "/comma/u1D465/u1D6FC" } };
  const program = { BaseFont: n("XITSMath"), FontDescriptor: { FontFile: { dict: { Length1: 60 },
    stream: "/Encoding 256 array\ndup 97 /u1D44E put\ndup 98 /a put\ncurrentfile eexec /u1D7CE" } } };
  const inForm = { BaseFont: n("Formed") , Encoding: { Differences: [1, n("u1D400")] } };
  const resources = { Font: { F1: { ref: 7, value: differences }, F2: charset, F3: program },
    XObject: { X1: { stream: "", dict: { Subtype: n("Form"), Resources: { Font: { F9: inForm } } } } } };
  assert.deepEqual([...namedAbove(page(resources), "STIXMath-Italic")], [[0xD44E, 0x1D44E], [0xD44F, 0x1D44F]]);
  assert.deepEqual([...namedAbove(page(resources), "CMMI10")], [[0xD465, 0x1D465], [0xD6FC, 0x1D6FC]]);
  assert.deepEqual([...namedAbove(page(resources), "XITSMath")], [[0xD44E, 0x1D44E]], "the clear text only, before eexec");
  assert.deepEqual([...namedAbove(page(resources), "Formed")], [[0xD400, 0x1D400]], "a font of a form on the page");
  assert.equal(namedAbove(page(resources), "Other").size, 0);
});

test("a code that a font names as itself too, or that two names share, is left as it came", () => {
  const font = { BaseFont: n("Mixed"), Encoding: { Differences: [1, n("u1D44E"), n("uniD44E"), n("u1D465"), n("u2D465")] } };
  assert.equal(namedAbove(page({ Font: { F: font } }), "Mixed").size, 0);
  assert.equal(namedAbove({ getObject: () => { throw new Error("no page"); } }, "Mixed").size, 0, "unreadable resources");
});

test("an accent over a letter joins it; one beside a letter, as in code, does not", () => {
  // Each unit 5 points wide from 0, unless its box is given.
  const line = (text, boxes = {}) => ({ text, cx: [...text].flatMap((ch, i) => boxes[i] || [5 * i, 5 * i + 5]) });
  const dotless = line("Mart\u00B4\u0131nez", { 4: [20.5, 24.5], 5: [20, 25] });
  joinAccents(dotless);
  assert.equal(dotless.text, "Mart\u00EDnez", "over a dotless i");
  assert.deepEqual(dotless.cx.slice(8, 10), [20, 25], "the letter keeps its box");
  assert.equal(dotless.cx.length, 2 * dotless.text.length);
  const hat = line("x\u02C6=1", { 1: [0, 5] });
  joinAccents(hat);
  assert.equal(hat.text, "x\u0302=1", "no composed form: the letter and its mark");
  assert.deepEqual(hat.cx.slice(0, 4), [0, 5, 0, 5]);
  const code = line("a^b ~c");
  joinAccents(code);
  assert.equal(code.text, "a^b ~c");
});

test("a gap as wide as a space between two words is a space, kerning and a letter's second unit are not", () => {
  // Characters 4 points wide, spaces `space` wide; "_" is a gap as wide as
  // a space and "~" one of 0.4 points, neither with a character.
  const set = (pattern, space) => {
    let at = 0, text = "";
    const cx = [];
    for (const ch of pattern) {
      if (ch === "_" || ch === "~") { at += ch === "_" ? space : 0.4; continue; }
      const w = ch === " " ? space : 4;
      text += ch;
      cx.push(at, at + w);
      at += w;
    }
    return { text, cx };
  };
  // A tight line whose spaces are 1.35 points, with a word gap left out.
  const tight = set("If a_reference has", 1.35);
  spaceWords(tight, 8.97);
  assert.equal(tight.text, "If a reference has");
  assert.equal(tight.cx.length, 2 * tight.text.length);
  // No space on the line at all: a fifth of an em; a kern stays a kern.
  const bracket = set("⟨~ident⟩___can", 1.1);
  spaceWords(bracket, 9.89);
  assert.equal(bracket.text, "⟨ident⟩ can");
  // The two units of a letter above U+FFFF share a box.
  const wide = { text: "a\u{1D44E}b", cx: [0, 4, 6, 10, 6, 10, 10, 14] };
  spaceWords(wide, 10);
  assert.equal(wide.text, "a \u{1D44E}b");
});

test("a math extension font's letters and quotation marks are glyphs without a character, an em deep and high enough for an accent", () => {
  // Words, a wide hat that its font names a quotation mark, a hatted X, a sum and a brace piece of
  // the standard extension font; the extension fonts' boxes from just over the origin to 0.6 em under.
  const font = (pointer, name) => ({ pointer, getName: () => name, isBold: () => false, isItalic: () => false, isMono: () => false });
  const roman = font(1, "HEYXJH+CMR10"), wide = font(2, "YHDHMV+Yhcmex"), italic = font(3, "CMMI10"), ex = font(4, "CMEX10");
  const chars = [...[..."elements of "].map((c) => [roman, c, 5, 127]), [wide, "\u201C", 8.5, 124.2], [italic, "X", 8, 127],
    [roman, " ", 3, 127], [ex, "\u2211", 10, 119.7], [ex, "\uF8F1", 5, 119.7], [roman, "b", 5, 127], [roman, "y", 5, 127]];
  const stext = { walk(v) {
    let x = 150;
    v.beginLine?.([150, 118, 300, 131], 0, [1, 0]);
    for (const [f, c, w, base] of chars) {
      const [top, bottom] = f === wide || f === ex ? [base - 0.4, base + 6] : [base - 7.6, base + 2.1];
      v.onChar?.(c, [x, base], f, 10.91, [x, top, x + w, top, x, bottom, x + w, bottom]);
      x += w;
    }
    v.endLine?.();
  } };
  const text = extractPage({ getBounds: () => [0, 0, 612, 792], toStructuredText: () => stext, getLinks: () => [] }, 0);
  const [line] = text.lines;
  assert.equal(line.text, "elements of \uFFFDX \u2211\uF8F1by");
  // The glyph reaches an em under its origin, and the misnamed wide hat an em and a bit over it.
  assert.deepEqual(line.gy, { 12: [112.2, 135.11] });
  const [block] = layoutDocument([text])[0].blocks;
  assert.equal(block.text, "elements of X \u2211\uF8F1by");
  // The hatted X is shown as it looks, its hat and the glyph's depth with it.
  assert.deepEqual(block.glyphs.map((g) => block.text.slice(g.start, g.end)), ["X"]);
  assert.ok(Math.abs((block.glyphs[0].region[1] + block.glyphs[0].region[3]) * 792 - 136.11) < 0.01, String(block.glyphs[0].region));
});
