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

// The block of a laid-out page that a point leads to (x may be left out).
// A link's target stands at the top left of what it names, often on the
// baseline of the line before: the point leads to the first line whose
// baseline lies below it, in the column that x begins (columnEnd), or to a
// block without lines (a cut-out) that holds it or comes first below it;
// to a footnote only right above or in it. Past the last line of its
// column, it leads to the block read after that column; with nothing
// below, to the nearest block above, never a footnote. A point in the
// margin left of the text stands at its left edge; above all of it too (the
// top left corner of a page view's window at a page's top), it names no
// column. A point that the line it leads to runs across (the column
// beside reaching into the gutter) leads instead to a line right under it
// that starts at it or a little right of it: in the gutter, or in a hanging
// indent left of its column's text. Blocks without a region are skipped.
export function blockAt(laid, y, x) {
  if (!laid) return null;
  const placed = laid.blocks.filter((b) => b.region);
  if (x !== undefined && placed.length) {
    const left = Math.min(...placed.map((b) => b.region[0]));
    if (x < left) x = y < Math.min(...placed.map((b) => b.region[1])) ? undefined : left;
  }
  const end = x === undefined ? Infinity : columnEnd(laid, placed, x, y);
  const column = (b) => x === undefined || (b.region[0] + b.region[2] >= x - 0.01 && b.region[0] <= end);
  // How far below the point the block begins: its line that the point
  // leads to, or its region's top.
  const below = (b) => {
    const [, by, , bh] = b.region;
    const line = lineAt(b, y, laid.height);
    if (line) return line.base / laid.height - y;
    if (line === null) return Infinity;
    // A point just above a cut-out leads to it; one below its foot, to what
    // follows it.
    if (y >= by - 0.004 && y <= by + bh) return 0;
    return by > y ? by - y : Infinity;
  };
  let best = null, bestDistance = Infinity;
  for (const b of placed) {
    if (!column(b)) continue;
    const d = below(b);
    // A footnote only right under the point: its mark's target.
    if (b.kind === "footnote" && d > 0.03) continue;
    if (d < bestDistance) { best = b; bestDistance = d; }
  }
  if (best && x !== undefined) {
    const line = lineAt(best, y, laid.height);
    if (line && line.x / laid.width < x - 0.02) return startedAt(laid, placed, x, y) || best;
    // Pictures side by side (the parts of a figure): a point at their
    // height left of them leads to the first of the row that starts at or
    // right of it, whichever reaches highest.
    if (best.kind === "cutout" && best.region[0] >= x - 0.01) {
      const [, by, , bh] = best.region;
      const row = placed.filter((b) => b.kind === "cutout" && column(b) && b.region[0] >= x - 0.01 &&
        b.region[1] < by + bh && b.region[1] + b.region[3] > by);
      if (row.length) return row.reduce((a, b) => (b.region[0] < a.region[0] ? b : a));
    }
  }
  if (best) return best;
  // Past the foot of its column: the block read after the column's last.
  if (x !== undefined) {
    let last = -1;
    placed.forEach((b, i) => { if (column(b) && b.region[1] <= y && (last < 0 || b.region[1] >= placed[last].region[1])) last = i; });
    const next = placed.slice(last + 1).find((b) => b.kind !== "footnote");
    if (last >= 0 && next) return next;
  }
  for (const b of placed) {
    if (b.kind === "footnote") continue;
    const d = 10 + (y - b.region[1]);
    if (d < bestDistance) { best = b; bestDistance = d; }
  }
  return best;
}

// The display just under a point (fractions) that holds the equation
// number a link's text names ("1" or "(1)"), or null: an equation's target
// stands a line above it, on the line of text that leads into it. Only a
// link to an equation: its text in parentheses, or its destination named
// for one ("equation.2.1").
export function displayNamed(laid, y, label, destination = "") {
  const text = String(label || "").trim();
  const number = /^\(?([A-Z]?\d+(\.\d+)*[a-z]?)\)?$/.exec(text);
  if (!laid || !number || !(/^\(.*\)$/.test(text) || /(^|[#=:.])eq(uation)?[.:_-]?\w/i.test(destination))) return null;
  const named = laid.blocks.filter((b) => b.formula && b.region && b.text && b.text.includes(`(${number[1]})`) &&
    b.region[1] + b.region[3] > y && b.region[1] - y < 0.06);
  return named.reduce((a, b) => (!a || b.region[1] < a.region[1] ? b : a), null);
}

// The note right by a point (fractions) that starts with the mark a link's
// text shows ("1", "†"), or null: a note's target stands on its line or
// on the line of the note before it.
export function noteNamed(laid, y, label) {
  const mark = String(label || "").trim();
  if (!laid || !mark || mark.length > 3 || /\p{L}{2}/u.test(mark)) return null;
  const named = laid.blocks.filter((b) => b.kind === "footnote" && b.region && b.text && b.text.startsWith(mark) &&
    !/^\d/.test(b.text.slice(mark.length)) && b.region[1] - y < 0.03 && y - (b.region[1] + b.region[3]) < 0.03);
  return named.reduce((a, b) => (!a || Math.abs(b.region[1] - y) < Math.abs(a.region[1] - y) ? b : a), null);
}

// Whether a point (a fraction of the page's height) lies under all of a
// laid-out page's text and on no note (nor just over one): a target there
// (the anchor of a theorem set just before its page broke) names what
// starts the next page. Only on a page read as it stands.
export function pastText(laid, y) {
  if (!laid || laid.turn) return false;
  const placed = laid.blocks.filter((b) => b.region);
  const text = placed.filter((b) => b.kind !== "footnote");
  return text.length > 0 && text.every((b) => b.region[1] + b.region[3] < y) && !placed.some(onNote(y));
}

// Whether a block is a note whose lines a point (a fraction of the page's
// height) stands on, or just over: its mark's target.
const onNote = (y) => (b) => b.kind === "footnote" && y >= b.region[1] - 0.02 && y <= b.region[1] + b.region[3];

// The block of the nearest line below a point (fractions) that begins at
// its x or up to a few ems right of it, within a few lines' height; null
// when there is none. A footnote only right under the point.
function startedAt(laid, placed, x, y) {
  const width = laid.width, height = laid.height;
  if (!(width > 0) || !(height > 0)) return null;
  let best = null, bestDistance = 0.04;
  for (const b of placed) {
    if (b.kind === "cutout" || !b.lines) continue;
    for (const l of b.lines) {
      if (!Number.isFinite(l.x) || l.x / width < x - 0.004 || l.x / width > x + 0.06 || l.base <= y * height + 1) continue;
      const d = l.base / height - y;
      if (d < bestDistance && (b.kind !== "footnote" || d <= 0.03)) { best = b; bestDistance = d; }
    }
  }
  return best;
}

// The line of a block that a point (fractions of a page `height` points
// high) leads to: the first whose baseline lies more than a point below
// it; null when there is none; undefined for a block without lines (a
// cut-out), whose place is its region.
export function lineAt(block, y, height) {
  if (!(height > 0) || !block.lines || !block.lines.length || block.kind === "cutout") return undefined;
  let best = null;
  for (const line of block.lines) {
    if (line.base > (y * height) + 1 && (!best || line.base < best.base)) best = line;
  }
  return best;
}

// The offsets [start, end) of a line of a block in its text, or null.
export function lineRange(block, line) {
  const index = block.lines.indexOf(line);
  let start = -1, end = -1;
  for (let i = 0; i < (block.map || []).length; i++) {
    if (block.map[i] && block.map[i][0] === index) {
      if (start < 0) start = i;
      end = i + 1;
    }
  }
  return start < 0 ? null : [start, end];
}

// Where the column that begins at x ends, at the height of y (fractions):
// what is set just under the point and begins near x or crosses the
// middle of the page, and whatever begins before the end of what was
// taken, widen it; a gutter ends it. A caption centred over a table, or a
// heading over a single column, is in it; the column beside it is not,
// unless something set across both (a wide table and its caption) stands
// right there.
function columnEnd(laid, blocks, x, y) {
  const width = laid.width, height = laid.height;
  const boxes = [];
  for (const b of blocks) {
    if (width > 0 && height > 0 && b.kind !== "cutout" && b.lines && b.lines.length) {
      for (const l of b.lines) boxes.push([l.x / width, l.y / height, (l.x + l.w) / width, (l.y + l.h) / height]);
    } else {
      boxes.push([b.region[0], b.region[1], b.region[0] + b.region[2], b.region[1] + b.region[3]]);
    }
  }
  const near = boxes.filter(([, y0, , y1]) => y1 >= y && y0 <= y + 0.06);
  let end = x + 0.03;
  for (let grown = true; grown;) {
    grown = false;
    for (const [x0, , x1] of near) {
      // What crosses the middle of the page is set across the columns.
      if ((x0 <= end + 0.01 || (x0 < 0.5 && x1 > 0.5)) && x1 > end) { end = x1; grown = true; }
    }
  }
  return end;
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

// How far into a block without text (a cut-out) a place lies: in
// thousandths of its height, as a block with text tells it in characters.
const WITHOUT_TEXT = 1000;

// The place of a block whose element's box `box` (top, height in view
// pixels) is the first below the view's top edge at `top`: how far into its
// text (or its height, WITHOUT_TEXT) the top edge lies and the page point
// there. At the start of a page's first block the reader is at the top of
// that page, margin and all (its top left corner), as a page view at a
// page's top tells it. `kept`, the offset the view was put back to in this
// block, stays the place while the block stands within a pixel of it: the
// view scrolls by whole pixels, and the text laid out above moves it by
// fractions of one, which read anew at each return would walk the reader
// back through the paper.
export function placeInBlock(block, box, top, kept) {
  const scrolled = box.height > 0 ? Math.max(0, top - box.top) / box.height : 0;
  const near = Number.isFinite(kept) && Math.abs(box.top - blockTopAt(block, box.height, kept, top)) < 1.5;
  const offset = !block ? 0 : near ? kept : Math.round((block.text ? block.text.length : WITHOUT_TEXT) * Math.min(1, scrolled));
  if (block && block.region && block.index === 0 && (block.text ? offset === 0 : scrolled === 0)) {
    return { offset, point: { x: 0, y: 0 } };
  }
  const point = block && block.region ? { x: block.region[0], y: Math.min(1, block.region[1] + block.region[3] * scrolled) } : null;
  return { offset, point };
}

// Where the top of a block's element `height` pixels high stands when the
// reader is at `offset` into it, with the view's top edge at `top`: the
// reverse of placeInBlock, so that a place told and gone back to leaves the
// same text (or the same part of a figure) at the same height.
export function blockTopAt(block, height, offset, top) {
  const into = block && offset > 0 ? Math.min(1, offset / (block.text ? block.text.length : WITHOUT_TEXT)) : 0;
  return top - height * into;
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
