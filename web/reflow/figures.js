// Figures and tables of a page: areas shown as cut-outs of the page image.
// Pictures and drawings close to each other make one figure; stacked
// horizontal rules of one width make a table. Text inside such an area
// (axis labels, table cells) goes with the cut-out.

import { captionStart } from "./quality.js";

const GROW = 6;

function intersects(a, b, grow = 0) {
  return a.x - grow < b.x + b.w && b.x - grow < a.x + a.w &&
    a.y - grow < b.y + b.h && b.y - grow < a.y + a.h;
}

function union(a, b) {
  const x = Math.min(a.x, b.x), y = Math.min(a.y, b.y);
  return { x, y, w: Math.max(a.x + a.w, b.x + b.w) - x, h: Math.max(a.y + a.h, b.y + b.h) - y };
}

export function isRule(shape) {
  return shape.h <= 2.5 && shape.w > 24;
}

// Merges rectangles that touch (grown by `grow`) until none do.
export function mergeAreas(rects, grow = GROW) {
  let areas = rects.map((r) => ({ x: r.x, y: r.y, w: r.w, h: r.h }));
  let changed = true;
  while (changed) {
    changed = false;
    const next = [];
    for (const r of areas) {
      let merged = r;
      for (let i = next.length - 1; i >= 0; i--) {
        if (intersects(next[i], merged, grow)) {
          merged = union(next[i], merged);
          next.splice(i, 1);
          changed = true;
        }
      }
      next.push(merged);
    }
    areas = next;
  }
  return areas;
}

// Whether lines stand in a grid: rows of several short cells whose left,
// right or middle edges line up in at least two columns.
export function tabular(lines, width) {
  const rows = [];
  for (const l of lines.slice().sort((a, b) => a.base - b.base)) {
    const row = rows[rows.length - 1];
    if (row && Math.abs(row.base - l.base) < 0.5 * l.size) row.cells.push(l);
    else rows.push({ base: l.base, cells: [l] });
  }
  const multi = rows.filter((r) => r.cells.length >= 2);
  if (rows.length < 3 || multi.length < 0.7 * rows.length) return false;
  // Lines of text columns are long; cells are short.
  const widths = multi.flatMap((r) => r.cells.map((c) => c.w)).sort((a, b) => a - b);
  if (widths[widths.length >> 1] > 0.3 * width) return false;
  let columns = 0;
  for (const edge of [(c) => c.x, (c) => c.x + c.w, (c) => c.x + c.w / 2]) {
    const seen = new Map();
    for (const r of multi) {
      for (const k of new Set(r.cells.map((c) => Math.round(edge(c) / 4)))) seen.set(k, (seen.get(k) || 0) + 1);
    }
    columns = Math.max(columns, [...seen.values()].filter((n) => n >= multi.length / 2).length);
  }
  return columns >= 2;
}

// Whether lines are running text: at least two rows, most of them one line
// of words across most of the width, and no grid of cells.
export function prose(lines, width) {
  // Rows of a table already told by their cells.
  if (lines.some((l) => l.row)) return false;
  const rows = [];
  for (const l of lines.slice().sort((a, b) => a.base - b.base)) {
    const row = rows[rows.length - 1];
    if (row && Math.abs(row.base - l.base) < 0.5 * l.size) row.cells.push(l);
    else rows.push({ base: l.base, cells: [l] });
  }
  const words = (l) => (l.text.match(/\p{L}{2,}/gu) || []).length;
  const full = rows.filter((r) => r.cells.length === 1 && r.cells[0].w >= 0.6 * width && words(r.cells[0]) >= 5);
  return full.length >= 2 && full.length >= 0.5 * rows.length && !tabular(lines, width);
}

// Whether an area is a frame around running text (rules or a box around an
// abstract, a theorem, a note) rather than a table or a figure: it holds no
// picture, what stands in it is prose, and that prose fills it (a drawing
// that merely reaches over a few lines of text is a figure still). Two
// rules with no head between them that hold sentences frame text too, set
// in columns or not (an article's information beside its abstract).
export function framesProse(area, lines, page) {
  if ((page.pictures || []).some((p) => intersects(area, p))) return false;
  const inside = lines.filter((l) => absorbs(area, l));
  if (!inside.length) return false;
  const y0 = Math.min(...inside.map((l) => l.y)), y1 = Math.max(...inside.map((l) => l.y + l.h));
  if (y1 - y0 < 0.6 * area.h) return false;
  const sentences = inside.filter((l) => (l.text.match(/\p{L}{2,}/gu) || []).length >= 7 && l.w >= 0.4 * area.w).length;
  return prose(inside, area.w) || (area.table && !area.head && sentences >= 2);
}

// Whether lines between two rules close together are a table's head: one
// or two rows, the first of at least two short cells.
function headRow(lines, width) {
  if (!lines.length) return false;
  const rows = rowsOf(lines);
  return rows.length <= 2 && rows[0].cells.length >= 2 && lines.every((l) => l.w < 0.35 * width);
}

// Whether the lines under a table's head are its body: rows in columns whose
// cells wrap onto lines of their own (so that many rows hold one piece), no
// line running across most of the width as prose does.
function gridded(lines, width) {
  const rows = rowsOf(lines);
  if (rows.length < 3 || lines.some((l) => l.w > 0.85 * width)) return false;
  if (rows.filter((r) => r.cells.length >= 2).length < rows.length / 3) return false;
  const starts = new Map();
  for (const r of rows) {
    for (const k of new Set(r.cells.map((c) => Math.round(c.x / 4)))) starts.set(k, (starts.get(k) || 0) + 1);
  }
  return [...starts.values()].filter((n) => n >= rows.length / 3).length >= 2;
}

function rowsOf(lines) {
  const rows = [];
  for (const l of lines.slice().sort((a, b) => a.base - b.base || a.x - b.x)) {
    const row = rows[rows.length - 1];
    if (row && Math.abs(row.base - l.base) < 0.5 * l.size) row.cells.push(l);
    else rows.push({ base: l.base, cells: [l] });
  }
  return rows;
}

// The tables: groups of two or more rules of about one width and place,
// covering some height; rules far apart belong together when what stands
// between them is a grid of cells, however tall, or the body of the head
// that the first two rules frame (its cells may wrap).
function ruleTables(rules, lines) {
  const groups = [];
  const between = (g, r) => lines.filter((l) => l.y > g.y + g.h && l.y + l.h < r.y &&
    l.x + l.w / 2 > g.x && l.x + l.w / 2 < g.x + g.w);
  const sorted = rules.slice().sort((a, b) => a.y - b.y);
  // A rule that a caption and a second rule close under it follow opens a
  // float of its own (an algorithm set ruled), however close the one
  // before it ends.
  const opens = (r) => sorted.some((s) => s.y > r.y + 2 && s.y - r.y < 40 && Math.abs(s.x - r.x) < 6 && Math.abs(s.x + s.w - r.x - r.w) < 6 &&
    between(r, s).some((l) => captionStart(l.text.trim())));
  for (const r of sorted) {
    // (The nearest group above it, a float opened since ends the one before.)
    const g = !opens(r) && groups.findLast((g) => Math.abs(g.x - r.x) < 6 && Math.abs(g.x + g.w - r.x - r.w) < 6 &&
      (r.y - (g.y + g.h) < 260 || tabular(between(g, r), g.w) || (g.head && gridded(between(g, r), g.w))));
    if (g) {
      // Two rules close together with a row of cells between them: a head.
      const head = g.n === 1 && r.y - g.y < 40 && headRow(between(g, r), g.w);
      Object.assign(g, union(g, r), { n: g.n + 1, head: head || g.head });
    } else {
      groups.push({ x: r.x, y: r.y, w: r.w, h: r.h, n: 1 });
    }
  }
  return groups.filter((g) => g.n >= 2 && g.h >= 14).map(({ x, y, w, h, n, head }) => ({ x, y, w, h, table: true, head: !!head || n >= 3 }));
}

// The cut-out areas of a page, in points. `extra` are areas the native side
// measured (page fractions), merged in when given.
export function findAreas(page, extra = []) {
  const W = page.width, H = page.height;
  const drawn = [];
  const rules = [];
  for (const s of page.shapes || []) {
    if (s.w * s.h > 0.85 * W * H) continue;
    if (isRule(s)) rules.push(s);
    else if (s.w > 1 || s.h > 1) drawn.push(s);
  }
  for (const p of page.pictures || []) {
    if (p.w > 4 && p.h > 4 && p.w * p.h < 0.85 * W * H) drawn.push(p);
    // (A rule may be drawn as a picture one line thick.)
    else if (p.h < 1 && isRule(p)) rules.push(p);
  }
  for (const e of extra) {
    const r = { x: e[0] * W, y: e[1] * H, w: e[2] * W, h: e[3] * H };
    if (r.w > 24 && r.h > 18) drawn.push(r);
  }
  let areas = mergeAreas(drawn).filter((a) => a.w > 30 && a.h > 20);
  // A rule that crosses a figure belongs to it (frames, axes).
  areas = mergeAreas(areas.concat(rules.filter((r) => areas.some((a) => intersects(a, r, 2)))), 0)
    .filter((a) => a.w > 30 && a.h > 20);
  const tables = ruleTables(rules.filter((r) => !areas.some((a) => intersects(a, r, 2))), page.lines || []);
  return mergeAreas(areas.concat(tables), 1).map((a) => ({
    ...a, table: tables.some((t) => intersects(t, a)), head: tables.some((t) => t.head && intersects(t, a)),
  }));
}

// An equation number left standing on its own (a comma before it at most):
// its formula's pieces were too far from it to make one line with it.
const BARE_NUMBER = /^[,.;]?\s*\(\s*[A-Z]?\d+(\.\d+)*[a-z]?[′'*]?\s*\)$/;
// Names and words a display holds among its signs.
const MATH_WORDS = /^(lim|max|min|sup|inf|log|exp|sin|cos|tan|arg|det|mod|per|and|for|if|where|otherwise|s\.t\.)$/;

// The words of a line (`least` letters or more), names of maths and its
// letters (mathematical italic and the like) aside.
function words(line, least) {
  const text = line.text.replace(/[\u{1D400}-\u{1D7FF}]/gu, " ");
  return (text.match(new RegExp(`\\p{L}{${least},}`, "gu")) || []).filter((w) => !MATH_WORDS.test(w)).length;
}

// Whether a line reads as a sentence: three words or more.
const sentence = (line) => words(line, 3) >= 3;

// The ink of a line: from about three quarters of its size over its
// baseline to a quarter under it, within its box.
const inkTop = (l) => (l.base ? Math.max(l.y, l.base - 0.75 * l.size) : l.y);
const inkBottom = (l) => (l.base ? Math.min(l.y + l.h, l.base + 0.25 * l.size) : l.y + l.h);

// Displays found by their numbers: a bare equation number at the right or
// left edge of its column (as the full lines around it end or start there)
// and the pieces of its formula, on the number's row or, when the formula
// was too wide for it, on the row just above a number at the right or just
// below one at the left; then whatever of the formula touches those pieces
// (limits, a fraction's parts, the other rows of a display set on several).
// Sentences never go in, nor a line without math at the column's margin
// (the words that lead into or out of a display), nor the row of another
// number. Each display is { lines, box, column }: `column` is its box kept
// within its column, for the reading order, as its pieces may reach past it.
export function numberedDisplays(lines, body) {
  const numbers = new Set(lines.filter((l) => !l.row && BARE_NUMBER.test(l.text.trim())));
  if (!numbers.size) return [];
  const mathy = (l) => l.math > 0 || l.size < 0.85 * body || /[=+−×∑∫∏√≤≥∈]/.test(l.text);
  // The row of the number `n` and the lines that may join it, with its
  // column from x0 to x1; null when the row is no display's.
  const displayIn = (n, x0, x1, right) => {
    // (A line at the column's margin with a word in it leads into the display.)
    const inColumn = (l) => l.x < x1 - 1 && l.x + l.w > x0 + 1;
    const pieces = new Set(lines.filter((l) => l !== n && !l.row && !numbers.has(l) && inColumn(l) &&
      !sentence(l) && words(l, 2) < 3 && (l.x - x0 > 0.5 * l.size || (mathy(l) && !words(l, 3)))));
    // A piece on a row of text is that text's (an accent over a word).
    // (Delimiters and a wide accent set on their own, which hang from
    // their top, are that text's when its baseline crosses them and its
    // words touch them: the bars and tilde around a word of a sentence.)
    const textRow = (l) => lines.some((o) => o !== l && o !== n && inColumn(o) && !pieces.has(o) && !numbers.has(o) &&
      (Math.abs(o.base - l.base) < 0.5 * Math.max(o.size, l.size) || (l.hang && o.base > l.y && o.base < l.y + l.h &&
        Math.max(o.x - l.x - l.w, l.x - o.x - o.w) < o.size)));
    const side = (l) => (right ? l.x + l.w <= n.x + 0.5 : l.x >= n.x + n.w - 0.5);
    const row = lines.filter((l) => l !== n && !numbers.has(l) && side(l) && inColumn(l) &&
      inkTop(l) < inkBottom(n) && inkBottom(l) > inkTop(n));
    let seed = row;
    if (row.length) {
      // Words on the number's row are the display's only when the row is
      // set as a display is: clear of both edges of its column, with maths.
      const r0 = Math.min(...row.map((l) => l.x)), r1 = Math.max(...row.map((l) => l.x + l.w));
      const em = n.size;
      const set = (right ? r0 - x0 >= em && n.x - r1 >= em : r0 - n.x - n.w >= em && x1 - r1 >= em) && row.some(mathy);
      if (!set && !row.every((l) => pieces.has(l))) return null;
    } else {
      seed = [...pieces].filter((l) => (right ? inkBottom(l) <= inkTop(n) + 0.5 && inkTop(n) - inkBottom(l) < 1.2 * n.size
        : inkTop(l) >= inkBottom(n) - 0.5 && inkTop(l) - inkBottom(n) < 1.2 * n.size));
      // Only the nearest row.
      const base = right ? Math.max(...seed.map((l) => l.base)) : Math.min(...seed.map((l) => l.base));
      seed = seed.filter((l) => Math.abs(l.base - base) < 0.5 * n.size);
      if (!seed.length) return null;
    }
    return { n, seed, pieces, textRow, x0, x1 };
  };
  const found = [];
  // The full lines near a number (its column's), or anywhere on the page
  // when none near it line up with it (a display at the foot of a page
  // under a list or a listing).
  const fullLines = (n, range) => lines.filter((l) => l !== n && Math.abs(l.base - n.base) < range && l.w > 12 * n.size);
  for (const n of numbers) {
    let near = fullLines(n, 12 * n.size);
    const lined = (l) => Math.abs(l.x + l.w - n.x - n.w) < 2 || Math.abs(l.x - n.x) < 2;
    if (!near.some(lined)) near = fullLines(n, Infinity);
    const ends = near.filter((l) => Math.abs(l.x + l.w - n.x - n.w) < 2);
    const starts = near.filter((l) => Math.abs(l.x - n.x) < 2);
    let x0, x1, right;
    // (The column starts where the lines that reach the number's side do.)
    const reach = near.filter((l) => l.x + l.w > n.x - 4 * n.size && l.x + l.w < n.x + n.w + 2);
    if (ends.length) [x0, x1, right] = [Math.min(...reach.map((l) => l.x)), n.x + n.w, true];
    else if (starts.length) [x0, x1, right] = [n.x, Math.max(...starts.map((l) => l.x + l.w)), false];
    else continue;
    // A display set across both columns (its number at the right one's
    // edge) has pieces that cross the column's other edge near its number;
    // it is tried across the page first.
    const across = right && lines.some((l) => l !== n && Math.abs(l.base - n.base) < 4 * n.size && l.x < x0 - 1 &&
      l.x + l.w > x0 + 1 && !sentence(l) && words(l, 2) < 3);
    const display = (across && displayIn(n, Math.min(x0, ...near.map((l) => l.x)), x1, right)) || displayIn(n, x0, x1, right);
    if (display) found.push(display);
  }
  // A number's row is its own: another display grows into it no further.
  const reserved = new Set(found.flatMap((d) => d.seed));
  const taken = new Set();
  const out = [];
  for (const { n, seed, pieces, textRow, x0, x1 } of found) {
    const display = seed.filter((l) => !taken.has(l));
    if (!display.length) continue;
    let box = display.reduce((b, l) => union(b, l), { x: n.x, y: n.y, w: n.w, h: n.h });
    for (let grown = true; grown;) {
      grown = false;
      for (const l of pieces) {
        if (display.includes(l) || taken.has(l) || (reserved.has(l) && !seed.includes(l))) continue;
        // Limits and the rows of the display, not the words after it.
        if (textRow(l)) continue;
        const touches = inkTop(l) < box.y + box.h && inkBottom(l) > box.y;
        const close = mathy(l) && !words(l, 2) && l.y < box.y + box.h + 0.6 * body && l.y + l.h > box.y - 0.6 * body;
        if (!touches && !close) continue;
        display.push(l);
        box = union(box, l);
        grown = true;
      }
    }
    for (const l of display) taken.add(l);
    const cx0 = Math.max(box.x, x0), cx1 = Math.min(box.x + box.w, x1);
    out.push({ lines: [n, ...display], box, column: { x: cx0, y: box.y, w: cx1 - cx0, h: box.h } });
  }
  return out;
}

// Lines that belong to an area: their middle lies inside it. For tables, the
// rows between the first and the last rule.
export function absorbs(area, line) {
  const cx = line.x + line.w / 2, cy = line.y + line.h / 2;
  return cx > area.x - 2 && cx < area.x + area.w + 2 && cy > area.y - 2 && cy < area.y + area.h + 2;
}

// An area as page fractions [x, y, w, h], a little padded, inside the page.
export function fractions(area, page, pad = 3) {
  const x0 = Math.max(0, area.x - pad), y0 = Math.max(0, area.y - pad);
  const x1 = Math.min(page.width, area.x + area.w + pad), y1 = Math.min(page.height, area.y + area.h + pad);
  return [x0 / page.width, y0 / page.height, (x1 - x0) / page.width, (y1 - y0) / page.height];
}

// An enlarged cut-out's scale and offset (in view pixels) after zooming by
// `factor` about the view point (px, py), which stays where it is; the scale
// stays within min...max.
export function zoomAbout(view, factor, px, py, min = 1, max = 8) {
  const scale = Math.min(max, Math.max(min, view.scale * (Number.isFinite(factor) && factor > 0 ? factor : 1)));
  const k = scale / view.scale;
  return { scale, x: px - (px - view.x) * k, y: py - (py - view.y) * k };
}
