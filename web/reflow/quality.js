// What the reader should not see as text: running headers, running footers
// and page numbers, and the pieces that do not reflow well (display math).

const BAND = 0.13;

// The body text size of some pages: the size that most characters have.
export function bodySize(pages) {
  const weight = new Map();
  for (const page of pages) {
    for (const line of page.lines) {
      const size = Math.round(line.size * 2) / 2;
      weight.set(size, (weight.get(size) || 0) + line.text.length);
    }
  }
  let best = 10;
  let most = -1;
  for (const [size, n] of weight) if (n > most) { most = n; best = size; }
  return best;
}

const CAPTION = /^(Figure|Fig\.|FIG\.|Table|TABLE|Algorithm|Listing|Scheme|Chart|Plate|Video|Supplementary (Figure|Table))\s*([A-Z]?\d+|[IVXL]+\.)/;
const CJK_CAPTION = /^(图|表|圖)\s*\d+/;

// Whether a line starts a caption: its label and number, then the caption's
// own words. A sentence that starts with a label ("Table 2 lists …",
// "Table 5) set …") is prose.
export function captionStart(text) {
  const label = CAPTION.exec(text) || CJK_CAPTION.exec(text);
  return !!label && !/^\s*[\p{Ll}),;]/u.test(text.slice(label[0].length));
}
// A line's text with its numbers taken out, so that "Page 3" and "Page 4" or
// a header with the page number in it compare equal.
export function runningForm(text) {
  return text.replace(/\s+/g, "").replace(/\d+/g, "#").toLowerCase();
}

// A listing's line that starts with its number and guards ("181 ⟨latexrelease⟩").
export const GUARDED = /^\d{1,5}\s+⟨[^⟩]*⟩/u;
const PAGE_NUMBER = /^(page\s*)?(\d{1,4}|[ivxlc]{1,6})(\s*(of|\/)\s*\d{1,4})?$|^[-–—]\s*\d{1,4}\s*[-–—]$|^第\s*\d+\s*页/i;

// Page furniture (running heads and feet, page numbers) is told by its
// place: the same text, numbers aside, at the same height near the top or
// bottom edge of the pages around. Each page's signature, the forms and
// heights of its lines near those edges, is taken once when the page is
// read; a page is then compared with the signatures of its neighbours only,
// so that the work grows with the page count and no more.
const ZONE = 0.2;

// The box of a line on the page as displayed, with the height of that page:
// a page read turned (a table set sideways) has its furniture across its
// lines, where the pages around it have theirs. Upright, the box on the page
// before its own rotation: a landscape page among portrait ones has its
// heads and feet where the typesetter put them on every page, along what is
// displayed as its side.
function shown(line, page, upright = false) {
  const turn = ((page.turn || 0) - (upright ? page.rotate || 0 : 0) + 4) % 4;
  const W = turn % 2 ? page.height : page.width, H = turn % 2 ? page.width : page.height;
  const { x, y, w, h } = line;
  const box = turn === 1 ? { x: W - y - h, y: x, w: h, h: w } : turn === 2 ? { x: W - x - w, y: H - y - h, w, h }
    : turn === 3 ? { x: y, y: H - x - w, w: h, h: w } : { x, y, w, h };
  return { ...box, mid: box.y + box.h / 2, H, W };
}

function nearEdge(box) {
  return box.y < box.H * ZONE || box.y + box.h > box.H * (1 - ZONE);
}

// Which band of the page, top or bottom, a box stands in, if any.
function outerBand(box) {
  return box.y < box.H * BAND ? "top" : box.y + box.h > box.H * (1 - BAND) ? "bottom" : null;
}

// The height of a line's middle in steps of two points.
function place(box) {
  return Math.round(box.mid / 2);
}

function signatureIn(page, upright) {
  const keys = new Set();
  keys.page = page.page;
  const boxes = [];
  for (const line of page.lines) {
    if (!line.text.trim()) continue;
    const box = shown(line, page, upright);
    boxes.push({ line, box });
    if (!nearEdge(box)) continue;
    keys.add(`${place(box)}@${runningForm(line.text)}`);
    // A number also as it stands, so that one that counts with the pages
    // is told from one that only stands at the same place, and wherever
    // it stands near the edge.
    if (/^\d{1,4}$/.test(line.text.trim())) keys.add(`${place(box)}#${Number(line.text)}`).add(`#${Number(line.text)}`);
    if (outerBand(box)) keys.add(`${outerBand(box)}@${Math.round(line.size)}@${runningForm(line.text)}`);
  }
  // The rows at the top and at the foot that stand apart from the text in
  // type smaller than the text's, or that are a page number: where this
  // page sets its head and its foot, whatever their words.
  const body = bodySize([page]);
  keys.edges = ["top", "bottom"].map((side) => edgeBlock(boxes, side))
    .filter((e) => e && (e.size < 0.95 * body || (e.lines.length === 1 && /^\d{1,4}$/.test(e.lines[0].text.trim()))));
  return keys;
}

// The lines at one edge of a page (`side`, "top" or "bottom") up to the
// first gap wider than most of a line of their type, two rows at most:
// the side, the lines, the middle of the outermost line and their largest
// type size; null when no such gap parts them from the rest of the page's
// text. `boxes` are the page's lines with their boxes as shown.
function edgeBlock(boxes, side) {
  if (boxes.length < 2) return null;
  const top = side === "top";
  const order = boxes.slice().sort((a, b) => (top ? a.box.y - b.box.y : b.box.y + b.box.h - a.box.y - a.box.h));
  const outer = order[0].box;
  if (outerBand(outer) !== side) return null;
  let reach = top ? outer.y + outer.h : outer.y;
  let size = order[0].line.size || 0;
  const rows = [outer.mid];
  for (let i = 1; i < order.length && i <= 8; i++) {
    const b = order[i].box;
    const apart = top ? b.y - reach : reach - b.y - b.h;
    if (apart >= 0.8 * Math.max(size, order[i].line.size || 0)) {
      return { side, lines: order.slice(0, i).map((item) => item.line), mid: outer.mid, size };
    }
    size = Math.max(size, order[i].line.size || 0);
    if (!rows.some((mid) => Math.abs(mid - b.mid) < 0.5 * size)) rows.push(b.mid);
    if (!nearEdge(b) || rows.length > 2) return null;
    reach = top ? Math.max(reach, b.y + b.h) : Math.min(reach, b.y);
  }
  return null;
}

// A page's signature as displayed; one that has a rotation of its own also
// carries its signature upright.
export function pageSignature(page) {
  const keys = signatureIn(page, false);
  if (page.rotate) keys.upright = signatureIn(page, true);
  return keys;
}

// The furniture among a page's lines, given the signatures of the pages
// around it. A line is furniture when a page around has its text at its
// place (a number counts as any number) or, in the top or bottom band, in
// the same type anywhere in that band, or when it is a page number in the
// band, and nothing but furniture stands between it and the edge of the
// page. A number in a row of other text is that text's (a numbered line, a
// cell, an entry of a table of contents), and so is a piece that touches
// other text of its row.
// A page with a rotation of its own is compared as displayed and upright.
export function furniture(lines, page, around) {
  const found = furnitureIn(lines, page, around, false);
  if (page.rotate) for (const l of furnitureIn(lines, page, around.map((keys) => keys.upright || keys), true)) found.add(l);
  // Pages that are all alike (slides, forms) keep their text: a page is
  // never furniture through and through, beyond a head and a number.
  const text = lines.filter((l) => l.text.trim());
  return found.size === text.length && text.length > 2 ? new Set() : found;
}

function furnitureIn(lines, page, around, upright) {
  const boxes = new Map(lines.map((l) => [l, shown(l, page, upright)]));
  const pageNumber = (l, b) => outerBand(b) && PAGE_NUMBER.test(l.text.trim());
  // Whether a line stands in the page's first or last row: no line at
  // all between it and the edge, furniture or not.
  const extreme = (l) => {
    const b = boxes.get(l), top = b.mid < b.H / 2;
    return !lines.some((o) => {
      const c = boxes.get(o);
      return o.text.trim() && (top ? c.y + c.h <= b.y + 0.5 : c.y >= b.y + b.h - 0.5);
    });
  };
  const swapped = new Set();
  const repeats = (l, b) => {
    if (!nearEdge(b)) return false;
    const form = runningForm(l.text);
    const at = place(b);
    // Words in the outer band count wherever they stand there in the same
    // type (a page turned on its side keeps its heads along an edge; a
    // paper's title is set larger than its running head).
    const band = outerBand(b) && /\p{L}/u.test(form) && `${outerBand(b)}@${Math.round(l.size)}@${form}`;
    // A title page sets in its first row what the other pages set in
    // their foot (the journal and its volume), and the other way round.
    const other = band && form.length > 8 && `${outerBand(b) === "top" ? "bottom" : "top"}@${Math.round(l.size)}@${form}`;
    if (other && extreme(l) && around.some((keys) => keys.has(other))) {
      swapped.add(l);
      return true;
    }
    return around.some((keys) => keys.has(`${at}@${form}`) || keys.has(`${at - 1}@${form}`) || keys.has(`${at + 1}@${form}`) ||
      (band && keys.has(band)));
  };
  const sameRow = (l, o) => Math.abs(boxes.get(o).mid - boxes.get(l).mid) < 0.35 * Math.max(o.size || 0, l.size || 0, 1);
  // A page number set higher than the band (the first page of a paper
  // set for a smaller paper): a number alone in the page's last or first
  // row near its edge that counts with the numbers the pages around set
  // near theirs.
  const lone = (l, b) => /^\d{1,4}$/.test(l.text.trim()) && nearEdge(b) && extreme(l) &&
    !lines.some((o) => o !== l && o.text.trim() && sameRow(l, o)) &&
    around.some((keys) => Number.isInteger(keys.page) && keys.has(`#${Number(l.text) + keys.page - page.page}`));
  // A title page's head or foot in words of its own (the journal and its
  // DOI, "Preprint submitted to …" and the date): the lines at the top or
  // foot of a paper's first page, apart from its text in type smaller than
  // the text's, where the pages after it set their heads or feet, in type
  // no larger than those.
  const text = lines.filter((l) => l.text.trim()).map((line) => ({ line, box: boxes.get(line) }));
  const body = bodySize([{ lines }]);
  const own = (side) => {
    const e = page.page === 0 && edgeBlock(text, side);
    if (!e || e.size >= 0.95 * body) return [];
    const alike = around.filter((keys) => (keys.edges || []).some((o) => o.side === side &&
      Math.abs(o.mid - e.mid) < 0.6 * Math.max(o.size, e.size) && e.size <= 1.25 * o.size));
    return alike.length && alike.length >= Math.min(2, around.length) ? e.lines : [];
  };
  const edges = new Set([...own("top"), ...own("bottom")]);
  // A caption's label ("Table 1" over a table set at the top of the page)
  // is no running head, whatever the pages around have at its place; nor
  // is a listing's numbered line of guards ("181 ⟨latexrelease⟩"), which
  // the pages of a long listing repeat at the same heights.
  const found = new Set(lines.filter((l) => l.text.trim() && (pageNumber(l, boxes.get(l)) || repeats(l, boxes.get(l)) ||
    lone(l, boxes.get(l)) || edges.has(l)) && !captionStart(l.text.trim()) && !GUARDED.test(l.text.trim())));
  const others = (l) => lines.filter((o) => o !== l && !found.has(o) && o.text.trim());
  const number = (l) => !/\p{L}/u.test(l.text);
  // Numbers side by side are a table's row; a page number and the bullet
  // that parts it from the running head are not.
  const figures = (l) => number(l) && !/^[•·|]$/.test(l.text.trim());
  for (const l of [...found]) if (figures(l) && lines.some((o) => o !== l && figures(o) && sameRow(l, o))) found.delete(l);
  // Whether a line is a page number that counts with the pages around:
  // N here, N + 1 at its place on the next page, N - 2 two pages back.
  const counted = (l) => {
    if (!/^\d{1,4}$/.test(l.text.trim())) return false;
    const at = place(boxes.get(l)), n = Number(l.text);
    return around.some((keys) => Number.isInteger(keys.page) &&
      [at - 1, at, at + 1].some((p) => keys.has(`${p}#${n + keys.page - page.page}`)));
  };
  // A page number far from the text of its row (a running head in words
  // of its own, "REFERENCES" at the left and "41" at the right) is the
  // page's, not that text's.
  const far = (l, o) => {
    const a = boxes.get(l), c = boxes.get(o);
    return counted(l) && Math.max(c.x - a.x - a.w, a.x - c.x - c.w) > a.W * 0.15;
  };
  const besideText = (l) => others(l).some((o) => sameRow(l, o) && !far(l, o));
  // A piece of a line of text (a delimiter and a letter that happen to
  // stand where a page around has the same) is the line's.
  const inText = (l, b) => others(l).some((o) => {
    const c = boxes.get(o);
    return sameRow(l, o) && Math.max(c.x - b.x - b.w, b.x - c.x - c.w) < (l.size || 10);
  });
  const outermost = (l, b) => {
    const top = b.mid < b.H / 2;
    return !others(l).some((o) => {
      const c = boxes.get(o);
      return c.x < b.x + b.w && b.x < c.x + c.w && (top ? c.y + c.h <= b.y + 0.5 : c.y >= b.y + b.h - 0.5);
    });
  };
  for (let changed = true; changed;) {
    changed = false;
    for (const l of found) {
      const b = boxes.get(l);
      if ((number(l) && besideText(l)) || inText(l, b) || !outermost(l, b)) {
        found.delete(l);
        changed = true;
      }
    }
  }
  // The rest of the page's first or last row, in the type of the page
  // number or of the head it holds, goes with it (the date and the class
  // beside the journal's head, a chapter's head or a file's stamp beside
  // the page number, the class's stamp beside the kind of paper the title
  // page's head names as the other pages' do).
  const named = (l) => page.page === 0 && outerBand(boxes.get(l)) && runningForm(l.text).replace(/[^\p{L}]/gu, "").length >= 4;
  for (const l of [...found]) {
    if (!extreme(l) || !(swapped.has(l) || counted(l) || named(l))) continue;
    for (const o of others(l)) {
      const c = boxes.get(o);
      if (sameRow(l, o) && Math.abs((o.size || 0) - (l.size || 0)) < 0.5 && nearEdge(c) && outermost(o, c)) found.add(o);
    }
  }
  return found;
}

// The line numbers of a draft or review copy: a column of at least five
// bare numbers (three in type much smaller than the text's, as on a last
// page) counting down the page by one step, aligned on one edge, with the
// page's text on one side of it, or in the gutter between two columns of
// text, each number on the baseline of a line beside it.
export function marginNumbers(lines) {
  const numbers = lines.filter((l) => /^\d{1,5}$/.test(l.text.trim()));
  const out = new Set();
  if (numbers.length < 3) return out;
  const others = lines.filter((l) => l.text.trim() && !numbers.includes(l));
  const sizes = others.map((l) => l.size).sort((a, b) => a - b);
  const tiny = (column) => sizes.length > 0 && column.every((n) => n.size < 0.75 * sizes[sizes.length >> 1]);
  for (const edge of [(l) => l.x, (l) => l.x + l.w]) {
    const columns = new Map();
    for (const n of numbers) {
      const k = Math.round(edge(n) / 3);
      const column = columns.get(k) || columns.get(k - 1) || columns.get(k + 1) || [];
      if (!column.length) columns.set(k, column);
      column.push(n);
    }
    for (const column of columns.values()) {
      if (column.length < (tiny(column) ? 3 : 5)) continue;
      column.sort((a, b) => a.y - b.y);
      // Counting by one step (every line, or every fifth): a column of
      // page numbers in a table of contents climbs unevenly.
      const steps = new Map();
      for (let i = 1; i < column.length; i++) {
        const step = Number(column[i].text) - Number(column[i - 1].text);
        if (step > 0) steps.set(step, (steps.get(step) || 0) + 1);
      }
      if (Math.max(0, ...steps.values()) < 0.8 * (column.length - 1)) continue;
      const x0 = Math.min(...column.map((n) => n.x)), x1 = Math.max(...column.map((n) => n.x + n.w));
      // No text runs through the column, and the page's text stands on one
      // side of it (a note in the outer margin aside).
      const across = others.filter((l) => l.x < x1 && l.x + l.w > x0).length;
      const right = others.filter((l) => l.x >= x1).length, left = others.filter((l) => l.x + l.w <= x0).length;
      if ((across <= Math.max(1, 0.02 * others.length) && Math.max(left, right) >= 0.9 * others.length) ||
        inGutter(column, others, x0, x1)) {
        for (const n of column) out.add(n);
      }
    }
  }
  return out;
}

// Whether a column of numbers (from x0 to x1) stands in a gutter: beside
// its numbers stand lines of text on both sides and none runs through it
// (a figure across both columns between two numbers may), and the numbers,
// in type much smaller than the text's, share the baselines of the lines
// beside them, which are not code (a listing's numbers, a table's column
// and a list's numbers stay).
function inGutter(column, others, x0, x1) {
  const beside = others.filter((l) => column.some((n) => l.y < n.y + n.h && l.y + l.h > n.y));
  // (A column's line may end where the numbers begin.)
  const across = beside.filter((l) => l.x < x1 - 0.5 && l.x + l.w > x0 + 0.5).length;
  const left = beside.filter((l) => l.x + l.w <= x0 + 0.5).length, right = beside.filter((l) => l.x >= x1 - 0.5).length;
  const level = column.filter((n) => beside.some((l) => Math.abs(l.base - n.base) < 1)).length;
  const code = column.filter((n) => beside.some((l) => Math.abs(l.base - n.base) < 1 && l.mono)).length;
  const sizes = beside.map((l) => l.size).sort((a, b) => a - b);
  const small = column.every((n) => n.size < 0.7 * sizes[sizes.length >> 1]);
  return across <= Math.max(1, 0.02 * beside.length) && Math.min(left, right) >= 0.3 * beside.length &&
    level >= 0.8 * column.length && code <= 0.5 * column.length && small;
}

// Characters that are not space, a letter above U+FFFF counted once (math
// fonts are counted per character).
function visibleCount(text) {
  let n = 0;
  for (const ch of text) if (!/\s/.test(ch)) n++;
  return n;
}

// The share of a line's visible characters set in math fonts.
export function mathShare(line) {
  const visible = visibleCount(line.text);
  return visible ? line.math / visible : 0;
}

const MATH_SIGNS = /[=+−×÷∑∏∫√∞≤≥≈≠∈∉⊂⊆∪∩∀∃∂∇αβγδεζηθλμνξπρστφχψωΓΔΘΛΞΠΣΦΨΩ]/g;

// Whether a group of lines is a display formula: mostly math, or short lines
// ending in an equation number with signs of math in them.
export function looksLikeFormula(lines, body) {
  if (!lines.length || lines.length > 12) return false;
  let visible = 0;
  let math = 0;
  let signs = 0;
  for (const line of lines) {
    visible += visibleCount(line.text);
    math += line.math;
    signs += (line.text.match(MATH_SIGNS) || []).length;
  }
  if (!visible) return false;
  const numbered = /\(\s*[A-Z]?\d+(\.\d+)?[a-z]?\s*\)\s*$/.test(lines[lines.length - 1].text.trim());
  if (math / visible > 0.45) return true;
  if (numbered && (math + signs) / visible > 0.12) return true;
  const text = lines.map((l) => l.text).join(" ");
  const words = text.match(/\p{L}{4,}/gu) || [];
  // A sentence with some maths in it opens with a word, or a full stop
  // ends one and a word opens the next ("Let ti = x̂i. Lemma 3.1 yields").
  const sentence = /^\s*\p{Lu}\p{Ll}{2,}\s/u.test(text) || /[.;:]\s+\p{Lu}\p{Ll}{2,}\s/u.test(text);
  return signs >= 2 && words.length <= 2 && !sentence && lines[0].size <= body * 1.3 && math / visible > 0.2;
}
