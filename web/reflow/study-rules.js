// Between a block's text offsets and places on its PDF page: the rectangle of
// a passage (for text sources), and the passage under a rectangle (for the
// highlights and underlines the native side sends).

import { findAll, fold } from "./compare.js";

// Box of text[start, end) in points, or null when none of it comes from
// the page (spaces put in between lines only).
export function passageBox(block, start, end) {
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  for (let i = Math.max(0, start); i < Math.min(end, block.map.length); i++) {
    const origin = block.map[i];
    if (!origin) continue;
    const line = block.lines[origin[0]];
    const left = line.cx ? line.cx[2 * origin[1]] : line.x;
    const right = line.cx ? line.cx[2 * origin[1] + 1] : line.x + line.w;
    if (left === undefined) continue;
    x0 = Math.min(x0, left); x1 = Math.max(x1, right);
    y0 = Math.min(y0, line.y); y1 = Math.max(y1, line.y + line.h);
  }
  if (!(x1 > x0) || !(y1 > y0)) return null;
  return { x: x0, y: y0, w: x1 - x0, h: y1 - y0 };
}

// The same box as page fractions [x, y, w, h], clamped to the page.
export function passageRect(block, start, end, width, height) {
  const b = passageBox(block, start, end);
  if (!b || !(width > 0) || !(height > 0)) return null;
  const x = Math.max(0, b.x / width), y = Math.max(0, b.y / height);
  const w = Math.min(1 - x, b.w / width), h = Math.min(1 - y, b.h / height);
  if (!(w > 0) || !(h > 0)) return null;
  return [x, y, w, h].map((v) => Math.round(v * 1e6) / 1e6);
}

// The offsets [start, end) of the block's characters whose middle lies in a
// rectangle given as page fractions; null when there are none.
export function rangeUnder(block, rect, width, height) {
  const rx0 = rect[0] * width, ry0 = rect[1] * height;
  const rx1 = rx0 + rect[2] * width, ry1 = ry0 + rect[3] * height;
  let start = -1, end = -1;
  for (let i = 0; i < block.map.length; i++) {
    const origin = block.map[i];
    if (!origin) continue;
    const line = block.lines[origin[0]];
    if (!line.cx) continue;
    const cx = (line.cx[2 * origin[1]] + line.cx[2 * origin[1] + 1]) / 2;
    const cy = line.y + line.h / 2;
    if (cx >= rx0 && cx <= rx1 && cy >= ry0 && cy <= ry1) {
      if (start < 0) start = i;
      end = i + 1;
    }
  }
  return start < 0 ? null : [start, end];
}

// Finds a quoted passage in a text, preferring the occurrence whose context
// matches; [start, end) or null.
export function findQuote(text, quote, before = "", after = "") {
  const hits = findAll(text, quote);
  if (!hits.length) return null;
  if (hits.length === 1) return hits[0];
  const b = fold(before).text.slice(-24), a = fold(after).text.slice(0, 24);
  let best = hits[0], bestScore = -1;
  for (const [s, e] of hits) {
    const pre = fold(text.slice(Math.max(0, s - 40), s)).text;
    const post = fold(text.slice(e, e + 40)).text;
    let score = 0;
    if (b && pre.endsWith(b.trim())) score += 2;
    if (a && post.startsWith(a.trim())) score += 2;
    if (score > bestScore) { best = [s, e]; bestScore = score; }
  }
  return best;
}

// A text source for text[start, end) of a block (what the native side keeps
// as the anchor of a quoted passage).
export function textSource(block, start, end, width, height) {
  const text = block.text;
  const source = {
    page: block.page,
    block: block.index,
    key: block.key,
    start,
    end,
    quote: text.slice(start, end),
    before: cutUnits(text.slice(Math.max(0, start - 256), start), 256, true),
    after: cutUnits(text.slice(end, end + 256), 256, false),
  };
  const rect = passageRect(block, start, end, width, height);
  if (rect) source.rect = rect;
  return source;
}

// At most n UTF-16 units, cut without splitting a surrogate pair.
function cutUnits(s, n, fromEnd) {
  if (s.length <= n) return s;
  let out = fromEnd ? s.slice(s.length - n) : s.slice(0, n);
  if (fromEnd && /^[\uDC00-\uDFFF]/.test(out)) out = out.slice(1);
  if (!fromEnd && /[\uD800-\uDBFF]$/.test(out)) out = out.slice(0, -1);
  return out;
}
