// Where the reader is in the reflowed paper: the pages on screen, the block
// at a point of a page, the place at the top of the view and the position
// fields told to the native side. Pure functions, shared by the page and its
// tests. Page points are fractions of the page, y downward; a region is
// [x, y, width, height] in the same fractions.

import { KEYS } from "./service.js";
import { isCJK } from "./reading.js";

// Whether two regions overlap.
export function overlaps(a, b) {
  return a[0] < b[0] + b[2] && b[0] < a[0] + a[2] && a[1] < b[1] + b[3] && b[1] < a[1] + a[3];
}

// A height on a page of `pageHeight` as a fraction of it, within 0...1; 0 for
// what is no number or a page without height.
export function heightFraction(y, pageHeight) {
  if (!Number.isFinite(y) || !(pageHeight > 0)) return 0;
  return Math.max(0, Math.min(1, y / pageHeight));
}

// The block of a laid-out page that holds the point (x may be left out) or
// comes first below it; footnotes and blocks without a region are skipped.
export function blockAt(laid, y, x) {
  if (!laid) return null;
  let best = null, bestDistance = Infinity;
  for (const b of laid.blocks) {
    if (!b.region || b.kind === "footnote") continue;
    const [bx, by, bw, bh] = b.region;
    const inside = y >= by - 0.004 && y <= by + bh + 0.004 && (x === undefined || (x >= bx - 0.01 && x <= bx + bw + 0.01));
    if (inside) return b;
    const d = by >= y ? by - y : 10 + (y - by);
    if (d < bestDistance) { best = b; bestDistance = d; }
  }
  return best;
}

// The first and last of `count` pages in the flow whose box (`boxOf(i)`,
// with top and bottom in view pixels) is in the view between `top` and
// `bottom`, found by binary search.
export function pagesOnScreen(count, boxOf, top, bottom) {
  let lo = 0, hi = count - 1;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (boxOf(mid).bottom <= top) lo = mid + 1;
    else hi = mid;
  }
  let last = lo;
  while (last + 1 < count && boxOf(last + 1).top < bottom) last++;
  return [lo, last];
}

// Whether a block is shown as a cut-out of its page: a marked text block is;
// a cut-out is unless it is marked and has text to show instead.
export function shownAsImage(block, corrections) {
  const marked = corrections.has(block.key);
  if (block.kind === "cutout") return !(marked && block.text);
  return marked;
}

// The share of CJK characters in a text.
export function cjkShare(text) {
  let n = 0;
  for (const ch of text) if (isCJK(ch)) n++;
  return text.length ? n / text.length : 0;
}

// The place of a block whose element's box `box` (top, height in view
// pixels) is the first below the view's top edge at `top`: how far into its
// text the top edge lies and the page point there.
export function placeInBlock(block, box, top) {
  const scrolled = box.height > 0 ? Math.max(0, top - box.top) / box.height : 0;
  const offset = block && block.text ? Math.round(block.text.length * scrolled) : 0;
  const point = block && block.region ? { x: block.region[0], y: Math.min(1, block.region[1] + block.region[3] * scrolled) } : null;
  return { offset, point };
}

// The "position" event's fields of a reading place.
export function positionFields({ page, block, offset, point }) {
  return { [KEYS.page]: page, [KEYS.block]: block, [KEYS.offset]: offset, ...(point ? { [KEYS.point]: point } : {}) };
}

// A page whose text runs down, up or upside down is read turned (`turn`
// quarter turns, parse-worker.js); the native side, the page images and the
// annotations know the page as displayed. Points and regions in fractions
// pass between the two.
const READ = [(x, y) => [x, y], (x, y) => [y, 1 - x], (x, y) => [1 - x, 1 - y], (x, y) => [1 - y, x]];
const SHOWN = [(u, v) => [u, v], (u, v) => [1 - v, u], (u, v) => [1 - u, 1 - v], (u, v) => [v, 1 - u]];

function mapRegion(r, map) {
  const [ax, ay] = map(r[0], r[1]);
  const [bx, by] = map(r[0] + r[2], r[1] + r[3]);
  return [Math.min(ax, bx), Math.min(ay, by), Math.abs(bx - ax), Math.abs(by - ay)];
}

// A region of the page as displayed, on the page as read, and back.
export function readRegion(region, turn) {
  return turn ? mapRegion(region, READ[turn & 3]) : region;
}
export function shownRegion(region, turn) {
  return turn ? mapRegion(region, SHOWN[turn & 3]) : region;
}
// A point { x, y } likewise.
export function readPoint(point, turn) {
  if (!turn) return point;
  const [x, y] = READ[turn & 3](point.x, point.y);
  return { x, y };
}
export function shownPoint(point, turn) {
  if (!turn) return point;
  const [x, y] = SHOWN[turn & 3](point.x, point.y);
  return { x, y };
}
