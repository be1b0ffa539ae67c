// One page's text as the layout reads it: lines with their boxes, fonts and
// character positions, plus the page's pictures and drawn shapes. Coordinates
// are points on the page as displayed, origin top-left, y downwards.

const MATH_FONT = /^(CM(MI|SY|EX|BSY)|MSAM|MSBM|EUFM|EUSM|RSFS|STIX.*Math|.*Math|txmi|txsy|txex|LibertineMath|rtxmi|NewCM.*Math|esint|wasy|.*cmex)/i;

function fontInfo(cache, font) {
  const key = font.pointer;
  let info = cache.get(key);
  if (!info) {
    const raw = font.getName() || "";
    const name = raw.replace(/^[A-Z]{6}\+/, "");
    info = {
      name,
      bold: font.isBold() || /bold|black|heavy|semibold|\.B$|-B$|TB$|CMBX/i.test(name),
      italic: font.isItalic() || /italic|oblique|CMTI|CMMI|\.I$|-I$|TI$/i.test(name),
      mono: font.isMono() || /mono|courier|CMTT|txtt|inconsolata|consol|menlo|sourcecode|zi4|lmtt/i.test(name),
      math: MATH_FONT.test(name),
      extension: /^(txex|pxex|esint)|cmex|Extension/i.test(name),
    };
    cache.set(key, info);
  }
  return info;
}

// A font that tells its characters only by its glyphs' names ("u1D44E")
// comes out of the parser with those above U+FFFF cut to their low 16
// bits: a mathematical italic a, U+1D44E, as the Hangul syllable U+D44E.
// The names are still in the page's font resources (the encoding's
// differences, the descriptor's character set, the clear text of an
// embedded Type 1 program): the characters above U+FFFF they name, by
// their low 16 bits, the font named `name` (without its subset tag) on the
// page `page`. A code that a name also gives as itself, or that two of them
// share, is left as it came.
export function namedAbove(page, name) {
  const wide = new Map();
  const narrow = new Set();
  const take = (glyph) => {
    const m = /^(?:uni([0-9A-F]{4})|u([0-9A-F]{4,6}))(?:\.|$)/.exec(glyph);
    const code = m ? parseInt(m[1] || m[2], 16) : NaN;
    if (!(code >= 0 && code <= 0x10FFFF)) return;
    if (code <= 0xFFFF) narrow.add(code);
    else wide.set(code & 0xFFFF, wide.has(code & 0xFFFF) && wide.get(code & 0xFFFF) !== code ? -1 : code);
  };
  const seen = new Set();
  const visit = (resources, depth) => {
    if (!resources || !resources.isDictionary() || depth > 3) return;
    resources.get("Font").forEach((font) => {
      if (!font.isDictionary() || String(font.get("BaseFont").asName() || "").replace(/^[A-Z]{6}\+/, "") !== name) return;
      const key = font.isIndirect() ? font.asIndirect() : null;
      if (key !== null && seen.has(key)) return;
      if (key !== null) seen.add(key);
      font.get("Encoding", "Differences").forEach((item) => { if (item.isName()) take(item.asName()); });
      const descriptor = font.get("FontDescriptor");
      const charset = descriptor.get("CharSet");
      if (charset.isString()) for (const glyph of charset.asString().split("/")) take(glyph.trim());
      const program = descriptor.get("FontFile");
      if (program.isStream()) {
        // The encoding is in the program's clear text, before "eexec".
        const length = Math.max(0, program.get("Length1").asNumber() || 0);
        const clear = program.readStream().asString().slice(0, length || undefined).split("eexec")[0];
        for (const m of clear.matchAll(/\/(u[0-9A-F]{4,6}|uni[0-9A-F]{4})\b/g)) take(m[1]);
      }
    });
    resources.get("XObject").forEach((object) => {
      if (object.isStream() && object.get("Subtype").asName() === "Form") visit(object.get("Resources"), depth + 1);
    });
  };
  try {
    visit(page.getObject().getInheritable("Resources"), 0);
  } catch {
    // A page whose resources cannot be read keeps what the parser gave.
  }
  for (const [low, code] of wide) if (code < 0 || narrow.has(low)) wide.delete(low);
  return wide;
}

// What a math extension font never draws: letters, digits, punctuation
// other than brackets, and signs that are no mathematical symbols.
const EXTENSION_MISNAMED = /^[\p{L}\p{N}\p{Pi}\p{Pf}\p{Po}\p{Pd}\p{Pc}\p{Sk}\p{So}\p{Sc}]/u;

// The quarter turns from the page as displayed to the page as its text is
// read: 0 when most of its text runs left to right, 1 when it runs down the
// page (upright content under a page rotation), 3 when it runs up the page
// (a table set sideways), 2 when it is upside down. Lines count by their
// length.
export function readingTurn(lines) {
  const weight = [0, 0, 0, 0];
  for (const { dir, length } of lines) {
    if (!dir) continue;
    const [dx, dy] = dir;
    const turn = Math.abs(dx) >= Math.abs(dy) ? (dx >= 0 ? 0 : 2) : (dy > 0 ? 1 : 3);
    weight[turn] += length;
  }
  let best = 0;
  for (let t = 1; t < 4; t++) if (weight[t] > weight[best] * 1.5 && weight[t] > weight[best]) best = t;
  return best;
}

// Maps points of a page of width w and height h as displayed (origin top
// left, y down) to the page turned by `turn` quarter turns.
export function turnPoints(turn, w, h) {
  switch (turn) {
  case 1: return (x, y) => [y, w - x];
  case 2: return (x, y) => [w - x, h - y];
  case 3: return (x, y) => [h - y, x];
  default: return (x, y) => [x, y];
  }
}

// The page's own rotation in quarter turns clockwise (its /Rotate).
function pageRotation(page) {
  try {
    const degrees = typeof page.getObject === "function" ? page.getObject().getInheritable("Rotate").asNumber() : 0;
    return Number.isFinite(degrees) ? ((Math.round(degrees / 90) % 4) + 4) % 4 : 0;
  } catch {
    return 0;
  }
}

// Reads a page of the parser's document. `page` is a loaded page. The text
// is read in the orientation it runs in (`turn`, see readingTurn):
// coordinates, width and height are those of the page turned so; `rotate`
// is the page's own rotation, where it has one.
export function extractPage(page, index, lib = null) {
  const bounds = page.getBounds();
  const stext = page.toStructuredText("preserve-whitespace,preserve-images,vectors");
  const frame = readingFrame(bounds, stext);
  const found = { lines: [], pictures: [], shapes: [] };
  stext.walk(textWalker(page, frame, found));
  stext.destroy?.();
  if (lib && found.shapes.some((s) => maybeThickLine(s, found.lines))) trueStrokes(page, lib, frame, found.shapes);

  const links = [];
  for (const link of page.getLinks()) {
    const b = link.getBounds();
    const uri = link.getURI();
    links.push({ ...rect(frame.rectBox(b)), uri, external: link.isExternal() });
  }
  const rotate = pageRotation(page);
  return { page: index, width: round(frame.width), height: round(frame.height), turn: frame.turn, ...(rotate ? { rotate } : {}),
    lines: found.lines, pictures: found.pictures, shapes: found.shapes, links };
}

// A stroked shape's box is its path's widened by half the line's width on
// every side: a line drawn thick enough to make a box (a grey panel set as
// one stroke, 85 points wide) reaches that far past both its ends, over the
// text above and below it. Whether a shape may be such a line: stroked,
// both sides of its box 8 points or more, and text in its box.
function maybeThickLine(shape, lines) {
  return shape.stroked && shape.w >= 8 && shape.h >= 8 &&
    lines.some((l) => l.x < shape.x + shape.w && l.x + l.w > shape.x && l.y < shape.y + shape.h && l.y + l.h > shape.y);
}

// Gives the shapes drawn as one straight stroke across or down the page,
// 8 points thick or more, the box their ink covers (`shapes` in the page as
// read, `frame` as readingFrame gives it): the page is run once more for
// its strokes.
function trueStrokes(page, lib, { rectBox }, shapes) {
  const strokes = [];
  const device = new lib.Device({
    strokePath(path, stroke, ctm) {
      // (Most strokes are thin: they are let go before their paths are read.)
      const half = stroke.getLineWidth() * Math.sqrt(Math.abs(ctm[0] * ctm[3] - ctm[1] * ctm[2])) / 2;
      if (half < 4 || strokes.length >= 64) return;
      const points = [];
      let straight = true;
      path.walk({
        moveTo: (x, y) => points.push([x, y]),
        lineTo: (x, y) => points.push([x, y]),
        curveTo: () => { straight = false; },
        closePath: () => { straight = false; },
      });
      if (!straight || points.length !== 2) return;
      const [a, b] = points.map(([x, y]) => [x * ctm[0] + y * ctm[2] + ctm[4], x * ctm[1] + y * ctm[3] + ctm[5]]);
      const across = Math.abs(a[1] - b[1]) < 0.01, down = Math.abs(a[0] - b[0]) < 0.01;
      if (!across && !down) return;
      // (Butt ends stop where the path does; round and square ones go on by
      // half the width.)
      const past = stroke.getLineCap() === 0 ? 0 : half;
      const x0 = Math.min(a[0], b[0]), x1 = Math.max(a[0], b[0]), y0 = Math.min(a[1], b[1]), y1 = Math.max(a[1], b[1]);
      strokes.push({
        widened: [x0 - half, y0 - half, x1 + half, y1 + half],
        ink: across ? [x0 - past, y0 - half, x1 + past, y1 + half] : [x0 - half, y0 - past, x1 + half, y1 + past],
      });
    },
  });
  try {
    page.run(device, [1, 0, 0, 1, 0, 0]);
    device.close();
  } catch {
    return;
  } finally {
    device.destroy?.();
  }
  for (const { widened, ink } of strokes) {
    const w = rect(rectBox(widened));
    const shape = shapes.find((s) => s.stroked && Math.abs(s.x - w.x) < 0.5 && Math.abs(s.y - w.y) < 0.5 &&
      Math.abs(s.w - w.w) < 0.5 && Math.abs(s.h - w.h) < 0.5);
    if (shape) Object.assign(shape, rect(rectBox(ink)));
  }
}

// A coordinate in points, to a hundredth.
function round(v) {
  return Math.round(v * 100) / 100;
}

// The page as its text is read, from the page's `bounds` as displayed and
// its structured text: the quarter turns (`turn`), the width and height of
// the page turned so, `turned(x, y)` for a point of the page as displayed
// (from its corner), and `box(xs, ys)` and `rectBox(b)` for a quad's or a
// box's corners, the page's own coordinates, as a box of the page as read.
function readingFrame(bounds, stext) {
  const shownWidth = bounds[2] - bounds[0], shownHeight = bounds[3] - bounds[1];
  const dirs = [];
  stext.walk({ beginLine(bbox, wmode, dir) {
    if (wmode !== 1) dirs.push({ dir, length: Math.max(bbox[2] - bbox[0], bbox[3] - bbox[1]) });
  } });
  const turn = readingTurn(dirs);
  const turned = turnPoints(turn, shownWidth, shownHeight);
  const odd = turn % 2 === 1;
  const width = odd ? shownHeight : shownWidth, height = odd ? shownWidth : shownHeight;
  // A box or quad of the page as displayed, in the page as read.
  const box = (xs, ys) => {
    let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
    for (let k = 0; k < xs.length; k++) {
      const [x, y] = turned(xs[k] - bounds[0], ys[k] - bounds[1]);
      if (x < x0) x0 = x;
      if (x > x1) x1 = x;
      if (y < y0) y0 = y;
      if (y > y1) y1 = y;
    }
    return [x0, y0, x1, y1];
  };
  const rectBox = (b) => (turn ? box([b[0], b[2]], [b[1], b[3]]) : [b[0] - bounds[0], b[1] - bounds[1], b[2] - bounds[0], b[3] - bounds[1]]);
  return { bounds, turn, turned, width, height, box, rectBox };
}

// The walk over the page's structured text that gathers into `found` its
// lines (each character's box, and the font, size and baseline of most of
// them), its pictures and its drawn shapes, in the page as read (`frame`).
function textWalker(page, { bounds, turn, turned, box, rectBox }, { lines, pictures, shapes }) {
  const fonts = new Map();
  let line = null;
  let runs = [];
  return {
    beginLine(bbox, wmode) {
      const b = rectBox(bbox);
      line = { text: "", x: round(b[0]), y: round(b[1]),
        w: round(b[2] - b[0]), h: round(b[3] - b[1]),
        base: 0, size: 0, font: "", bold: false, italic: false, mono: false, math: 0,
        vertical: wmode === 1, cx: [] };
      runs = [];
    },
    onChar(c, origin, font, size, quad) {
      if (!line) return;
      const info = fontInfo(fonts, font);
      // A math extension font draws delimiters, big operators, radicals and
      // wide accents; a letter, a quotation mark or a sign that one names
      // (a wide hat named "quotedblleft") is none of them: a glyph without
      // its character.
      const misnamed = info.extension && EXTENSION_MISNAMED.test(c);
      if (misnamed) c = "\uFFFD";
      const q = turn ? box([quad[0], quad[2], quad[4], quad[6]], [quad[1], quad[3], quad[5], quad[7]]) : null;
      const x0 = q ? q[0] : (quad[0] < quad[4] ? quad[0] : quad[4]) - bounds[0];
      const x1 = q ? q[2] : (quad[2] > quad[6] ? quad[2] : quad[6]) - bounds[0];
      // A character above U+FFFF is two UTF-16 units; each unit carries the
      // character's box, so that offsets into the text find it either way.
      if (c === "\uFFFD") {
        // A glyph the font maps to no character: its height too, so that it
        // can be shown as it looks.
        let y0 = q ? q[1] : Math.min(quad[1], quad[3], quad[5], quad[7]) - bounds[1];
        let y1 = q ? q[3] : Math.max(quad[1], quad[3], quad[5], quad[7]) - bounds[1];
        // A math extension font's glyph hangs from its origin, an em deep
        // at least (a sum in a line of text), whatever its font's descent;
        // one its font misnames may be a wide accent, set an em over it.
        const oy = turned(origin[0] - bounds[0], origin[1] - bounds[1])[1];
        if (info.extension) y1 = Math.max(y1, oy + size);
        if (misnamed) y0 = Math.min(y0, oy - 1.1 * size);
        (line.gy || (line.gy = {}))[line.text.length] = [round(y0), round(y1)];
      }
      // What may be the low 16 bits of a character above U+FFFF (the
      // mathematical letters fall on Hangul syllables, others on the
      // private use area) is looked up in the font's glyph names.
      if (c.length === 1 && c >= "\uD000" && c !== "\uFFFD" && typeof page.getObject === "function") {
        if (!info.above) info.above = namedAbove(page, info.name);
        const code = info.above.get(c.charCodeAt(0));
        if (code) c = String.fromCodePoint(code);
      }
      line.text += c;
      for (let k = 0; k < c.length; k++) line.cx.push(round(x0), round(x1));
      const code = c.charCodeAt(0);
      if (code === 32 || code === 9 || code === 10 || code === 160 || code === 0x3000) return;
      if (info.math) line.math++;
      const last = runs[runs.length - 1];
      // Pieces of large delimiters hang from the top of their line: their
      // origin is no baseline.
      const extension = info.extension || code === 0xFFFD;
      const digit = code >= 48 && code <= 57;
      if (last && last.info === info && last.size === size && last.extension === extension) {
        last.n++;
        last.digits = last.digits && digit;
      } else {
        runs.push({ info, size, n: 1, base: turned(origin[0] - bounds[0], origin[1] - bounds[1])[1], extension,
          digits: digit && !runs.length, from: line.text.length - c.length });
      }
    },
    endLine() {
      if (!line) return;
      if (settleLine(line, runs)) lines.push(line);
      line = null;
    },
    onImageBlock(bbox) {
      pictures.push(rect(rectBox(bbox)));
    },
    onVector(bbox, flags) {
      shapes.push(Object.assign(rect(rectBox(bbox)), { stroked: flags.isStroked }));
    },
  };
}

// Gives a line read the font and size that most of its characters have
// (`runs`: its characters in runs of one font and size), and its text its
// accents and spaces; whether the line is kept (it has text).
// Its baseline is that of its most common text font: pieces of large
// delimiters and glyphs without a character do not count when there is
// anything else.
function settleLine(line, runs) {
  const tally = new Map();
  let best = null;
  let counted = runs.some((run) => !run.extension) ? runs.filter((run) => !run.extension) : runs;
  // A listing's line number in small type before its code ("14 }")
  // leaves the line to the code. Its size and baseline are kept: it may be
  // a fraction's denominator before the sentence's full stop ("4 .").
  if (counted.length > 1 && counted[0].digits && counted.slice(1).every((run) => run.size > counted[0].size)) {
    line.lead = { size: round(counted[0].size), base: round(counted[0].base) };
    counted = counted.slice(1);
  }
  for (const run of counted) {
    const key = run.info.name + "|" + run.size;
    const entry = tally.get(key) || { ...run, n: 0 };
    entry.n += run.n;
    tally.set(key, entry);
    if (!best || entry.n > best.n) best = entry;
  }
  if (!best || !line.text.trim()) return false;
  const marks = noteMarks(line.text, runs, best);
  if (marks.length) line.marks = marks;
  // A line of nothing but pieces of large delimiters and accents hangs
  // from its top: its baseline is none of a row of text.
  if (!runs.some((run) => !run.extension)) line.hang = true;
  joinAccents(line);
  spaceWords(line, best.size);
  line.size = round(best.size);
  line.font = best.info.name;
  line.bold = best.info.bold;
  line.italic = best.info.italic;
  line.mono = best.info.mono;
  line.base = round(best.base);
  return true;
}

// The marks that call notes in a line (`runs` as settleLine has them,
// `best` its text's run): figures, signs or a small letter set raised in
// smaller type right after a word or its stop ("footnote¹", "marker.²",
// "flowing.ᵃ"); not a power after a letter of a formula ("4πr³").
function noteMarks(text, runs, best) {
  const marks = [];
  for (let k = 1; k < runs.length; k++) {
    const run = runs[k];
    if (runs[k - 1].info.math || run.extension || run.size >= 0.8 * best.size || run.base >= best.base - 0.2 * best.size) continue;
    // (Marks set together are parted by commas: "Migchielsenᵃ,¹,∗".)
    const called = text.slice(run.from, k + 1 < runs.length ? runs[k + 1].from : text.length).trim().split(",").filter(Boolean);
    if (called.length && called.every((mark) => /^(\d{1,3}|[∗*†‡§¶⋆]{1,3}|[a-z])$/u.test(mark)) &&
      /((^|[\s(“‘/-])\p{L}{2,}|[.,;:)’”])$/u.test(text.slice(0, run.from))) marks.push(...called);
  }
  return marks;
}

// Accents that a typesetter sets as glyphs of their own over (or under)
// a letter, as their combining marks.
const ACCENTS = {
  "`": "\u0300", "\u00B4": "\u0301", "^": "\u0302", "\u02C6": "\u0302", "~": "\u0303", "\u02DC": "\u0303",
  "\u00AF": "\u0304", "\u02C9": "\u0304", "\u02D8": "\u0306", "\u02D9": "\u0307", "\u00A8": "\u0308",
  "\u02DA": "\u030A", "\u02DD": "\u030B", "\u02C7": "\u030C", "\u00B8": "\u0327", "\u02DB": "\u0328",
};
const DOTLESS = { "\u0131": "i", "\u0237": "j" };

// Joins each accent set over a letter of a line (the middle of its box
// within the letter's, next to it in the text) to that letter: "M¨obius"
// and "Poincar´e" read "Möbius" and "Poincaré". The letter keeps its box;
// a letter and mark without a composed form stay two units, both with it.
export function joinAccents(line) {
  if (!/[`\u00B4^\u02C6~\u02DC\u00AF\u02C9\u02D8\u02D9\u00A8\u02DA\u02DD\u02C7\u00B8\u02DB]/.test(line.text)) return;
  // The line as code points, each with its box and its glyph's height.
  const units = [];
  for (let i = 0; i < line.text.length;) {
    const ch = String.fromCodePoint(line.text.codePointAt(i));
    units.push({ ch, x0: line.cx[2 * i], x1: line.cx[2 * i + 1], gy: line.gy && line.gy[i] });
    i += ch.length;
  }
  const over = (accent, letter) => {
    const middle = (accent.x0 + accent.x1) / 2;
    return letter && /\p{L}/u.test(letter.ch) && !ACCENTS[letter.ch] && middle >= letter.x0 - 0.5 && middle <= letter.x1 + 0.5;
  };
  for (let i = 0; i < units.length; i++) {
    const mark = ACCENTS[units[i].ch];
    if (!mark) continue;
    const at = over(units[i], units[i + 1]) ? i + 1 : over(units[i], units[i - 1]) ? i - 1 : -1;
    if (at < 0) continue;
    const letter = units[at];
    letter.ch = ((DOTLESS[letter.ch] || letter.ch) + mark).normalize("NFC");
    units.splice(i--, 1);
  }
  line.text = "";
  line.cx = [];
  const gy = {};
  for (const u of units) {
    if (u.gy) gy[line.text.length] = u.gy;
    line.text += u.ch;
    for (let k = 0; k < u.ch.length; k++) line.cx.push(u.x0, u.x1);
  }
  if (line.gy) line.gy = gy;
}

// Puts a space where the parser left none between two words: a gap between
// two characters as wide as the line's spaces (nine tenths of its narrowest
// one), or a fifth of an em on a line without any, and never under an
// eighth of an em (kerning, an italic correction). "If a reference",
// "⟨ident⟩ can", "∥ Susanne".
export function spaceWords(line, size) {
  const { text, cx } = line;
  let narrowest = Infinity;
  for (let i = 0; i < text.length; i++) {
    const w = cx[2 * i + 1] - cx[2 * i];
    if (text[i] === " " && w >= 0.12 * size && w < narrowest) narrowest = w;
  }
  const least = Math.max(0.12 * size, narrowest === Infinity ? 0.2 * size : 0.9 * narrowest);
  const at = [];
  for (let i = 1; i < text.length; i++) {
    // (The second unit of a character above U+FFFF carries its box again.)
    if (cx[2 * i] === cx[2 * i - 2] && cx[2 * i + 1] === cx[2 * i - 1]) continue;
    if (/\s/.test(text[i]) || /\s/.test(text[i - 1])) continue;
    if (cx[2 * i] - cx[2 * i - 1] >= least) at.push(i);
  }
  if (!at.length) return;
  let out = "";
  const boxes = [];
  const gy = {};
  let from = 0;
  for (const i of [...at, text.length]) {
    for (let k = from; k < i; k++) {
      if (line.gy && line.gy[k]) gy[out.length] = line.gy[k];
      out += text[k];
      boxes.push(cx[2 * k], cx[2 * k + 1]);
    }
    if (i < text.length) {
      out += " ";
      boxes.push(cx[2 * i - 1], cx[2 * i]);
    }
    from = i;
  }
  line.text = out;
  line.cx = boxes;
  if (line.gy) line.gy = gy;
}

// A box [x0, y0, x1, y1] as x, y, w, h.
function rect(b) {
  return { x: Math.round(b[0] * 100) / 100, y: Math.round(b[1] * 100) / 100,
    w: Math.round((b[2] - b[0]) * 100) / 100, h: Math.round((b[3] - b[1]) * 100) / 100 };
}
