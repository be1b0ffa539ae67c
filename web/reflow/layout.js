// Reading order and blocks of a page. A page's lines (with boxes and fonts)
// are put in reading order by cutting the page into horizontal strips and,
// where strips share a gutter, into columns; consecutive lines then make
// blocks (headings, paragraphs, list items, captions, footnotes, references)
// and figures, tables and display formulas become cut-outs.

import { joinLines, blockKey, endsSentence, continuesSentence } from "./reading.js";
import { furniture, marginNumbers, pageSignature, looksLikeFormula, bodySize, mathShare, captionStart, GUARDED } from "./quality.js";
import { findAreas, absorbs, fractions, isRule, framesProse, tabular, numberedDisplays } from "./figures.js";

// A note's mark: a number or a sign set before its first word, or a letter
// before a capital (a table's notes).
const NOTE_MARK = /^\s*(([∗*†‡§¶⋆]+|\d{1,3})\s?\p{L}|[a-z]\s+\p{Lu})/u;
// A listing's numbered line: its number, then no word ("309 ⟨∗2ekernel⟩").
const NUMBERED_CODE = /^\d{1,5}\s+[^\p{L}\s]/u;
// A listing's numbered line of guards, which tell the files its lines go
// to ("1074 ⟨∗trace⟩", "1071 ⟨latexrelease | fltrace⟩").
const GUARD = /^\d{1,5}\s+⟨[^⟩]*⟩$/u;
const BULLET = /^([•◦▪▸►‣∙·●○■□–—*]|\d{1,2}[.)]\s|\(\d{1,2}\)\s|\([a-z]\)\s|[a-z][.)]\s)/;
// A list marker made of a number or a letter, which a line of running text
// may also start with.
const MARKER = /^(\d{1,2}[.)]\s|\(\d{1,2}\)\s|\([a-z]\)\s|[a-z][.)]\s)/;
const REFERENCE_HEADING = /^((\d+|[IVX]+)\.?\s*)?(references|bibliography|works cited|literature cited|参考文献|參考文獻)$/i;
// Headings known by their words alone, set in any type.
const BARE_HEADING = /^(references|bibliography|works cited|literature cited|acknowledge?ments?|参考文献|參考文獻)$/i;
const REFERENCE_START = /^(\[\d+\]|\d{1,3}\.\s|\[[A-Z][A-Za-z+]*\d{2,4}[a-z]?\])/;
// A label of a word or two that leads into the text after it.
const LABEL = /^\p{Lu}\p{L}*(\s\p{L}+)?:$/u;
// A subsubsection's heading lettered "a." (revtex's fourth level set apart).
const LETTERED_HEADING = /^[a-z]\.\s+\p{Lu}/u;
// How a low heading set in italic is numbered: "1. ", "3.1 ", "3.1.2. ".
const ITALIC_HEADING_NUMBER = /^(\d+\.|\d+(\.\d+){1,3}\.?)\s+\S/;
// Whether a block's first line and text are numbered so and set in italic.
const italicNumbered = (first, text) => first.italic && !first.bold && ITALIC_HEADING_NUMBER.test(text);
const NUMBERED_HEADING = /^((\d+(\.\d+){0,3}\.?)|[IVX]{1,5}\.|[A-Z]\.|[A-Z](\.\d+){1,3}\.?|Appendix\s+[A-Z]\.?)\s+\S/;

// Lines that share a baseline and sit close together become one line: a
// section number and its title, a word set in another font.
export function mergeFragments(lines, shapes = []) {
  lines = attachNumbers(dropCaps(lines));
  const sorted = lines.slice().sort((a, b) => a.base - b.base || a.x - b.x);
  const out = [];
  for (const piece of sorted) {
    // A fraction set in a line (¼ as \frac14): its denominator, in smaller
    // type a little lower, stands under its bar and the line's last figure.
    const k = fractionOver(out, piece, shapes);
    if (k >= 0) {
      out[k] = insertPiece(out[k], piece, "/");
      continue;
    }
    let prev = out[out.length - 1], line = piece;
    // A piece set a little lower than the words right after it on their
    // line (the text before a tall sum) comes first by its baseline: the two
    // are weighed in their order on the line, when nothing came before them
    // on it. (A raised row of a matrix in the line has no words; a caption
    // in smaller type beside a column is no piece of its line.)
    const before = out[out.length - 2];
    const touching = prev && prev.x - (line.x + line.w) > -0.5 && prev.x - (line.x + line.w) < 0.6 * Math.max(prev.size, line.size);
    if (touching && !prev.vertical && /\p{L}{3}/u.test(prev.text) && Math.abs(prev.size - line.size) < 0.5 &&
      !(before && Math.abs(before.base - line.base) < 0.35 * Math.max(before.size, line.size))) {
      [prev, line] = [line, prev];
    }
    const size = Math.max(line.size, prev ? prev.size : 0);
    if (prev && !line.vertical && Math.abs(prev.base - line.base) < 0.35 * size) {
      const gap = line.x - (prev.x + prev.w);
      // Two long pieces with more than a word space between them are lines
      // of two columns; a short piece (a section number, a word in another
      // font) joins across a wider gap; a short piece in larger type than a
      // long one (a heading's number across the gutter from a text line)
      // only across the gap the long one's type allows.
      const short = Math.min(prev.w, line.w) < 6 * size;
      const [big, little] = prev.size >= line.size ? [prev, line] : [line, prev];
      const wide = 1.4 * (big.size > little.size + 0.9 && little.w >= 6 * size ? little.size : size);
      // A justified line's stretched spaces are wider than a word space,
      // but still narrower than a gutter; in a display formula they part
      // its pieces.
      // An entry of a table of contents ends at its page number.
      const stretched = gap < 0.95 * size && mathShare(prev) < 0.5 && mathShare(line) < 0.5 &&
        !/(\.\s?){3,}\s*\d+(,\s*\d+)*$/.test(prev.text.trim());
      // Scripts stacked on a big operator (a sum's upper and lower limits)
      // make the pieces of a formula overlap on their baseline.
      // So do a script over the end of one piece and the script under it
      // that starts the next, two pieces of one line on one baseline.
      const overlap = (-0.5 * size < gap || (-1.5 * size < gap && Math.abs(prev.base - line.base) < 0.5)) &&
        (prev.math > 0 || line.math > 0);
      // A script set under or over the end of a line (the subscript under a
      // superscript) is that line's, not a line of its own.
      const script = gap < 0 && line.size < 0.85 * prev.size && line.x >= prev.x &&
        line.x + line.w <= prev.x + prev.w + 0.5 * prev.size;
      // An equation number goes with the nearest piece to its left: a line
      // of the next column further left on its baseline is no formula's.
      // Nor is a piece of text before a fraction whose parts stand above and
      // below the number's baseline, or the last of the pieces of maths a
      // display row is set in, apart (the number is the display's).
      const number = line.equationNumber && !sorted.some((o) => o !== line && o.x >= prev.x + prev.w - 0.5 &&
        o.x + o.w <= line.x + 0.5 && (Math.abs(o.base - line.base) < 0.5 * size || (o.y < line.y + line.h && o.y + o.h > line.y))) &&
        !apart(sorted, prev, line, size);
      if (script) {
        out[out.length - 1] = insertPiece(prev, line);
        continue;
      }
      // An entry of a table of contents: its number, its title and the
      // leaders to its page, however far the title is set in.
      // (An entry in bold has no leaders: its page number told as one.)
      const entry = gap < 3 * size && (/^(\.\s?){5,}/.test(line.text) || /^(\d+(\.\d+)*|[A-Z](\.\d+)+|[IVX]+)\.?$/.test(prev.text.trim()) &&
        sorted.some((o) => o.x >= line.x && Math.abs(o.base - line.base) < 0.35 * size && (/(\.\s?){3,}/.test(o.text) || (o.toc && o !== line))));
      // A caption's label set apart from its words ("Figure 1.", a quad,
      // "Magnetization as a") goes with them, not with a line of text in
      // other type beside the figure.
      const label = gap < 2.5 * size && Math.abs(prev.size - line.size) < 0.5 && /^\S+\s*\S+$/.test(prev.text.trim()) &&
        captionStart(prev.text.trim());
      const caption = gap > 0.3 * size && Math.abs(prev.size - line.size) >= 0.5 && captionStart(line.text.trim());
      if ((gap > -0.5 || overlap) && !caption && (gap < 0.6 * size || stretched || (short && gap < wide) || number || entry || label ||
        (prev.lineNumber && line.mono) || (GUARD.test(prev.text.trim()) && line.mono && gap < 24 * size))) {
        const space = gap > 0.12 * size && !/\s$/.test(prev.text) && !/^\s/.test(line.text);
        const merged = joinPieces(prev, line, space);
        if (line.toc) merged.toc = true;
        // The line takes the look of its longer part (a numbered line of
        // code that of its code).
        if (line.text.length > prev.text.length || prev.lineNumber) {
          Object.assign(merged, { size: line.size, font: line.font, bold: line.bold, italic: line.italic, mono: line.mono, base: line.base });
        }
        delete merged.lineNumber;
        out[out.length - 1] = merged;
        continue;
      }
    }
    out.push({ ...piece });
  }
  return justifiedRows(out);
}

// A drop cap, one capital in type at least twice the text's that starts a
// paragraph: its top at the top of the paragraph's first line, its foot
// lower, that line starting just right of it. It is that line's first
// letter; the line keeps its own type and place, and starts a paragraph
// (marked `capital`). The lines set in beside the cap stand at its left
// edge, as the lines under it do.
function dropCaps(lines) {
  const caps = new Map();
  const beside = (cap, l) => !l.vertical && l.size <= 0.5 * cap.size && l.x >= cap.x + cap.w - 0.5 &&
    l.x - cap.x - cap.w <= 0.5 * l.size && l.y >= cap.y - 0.5 * l.size && l.base <= cap.base + 0.5 * l.size;
  for (const cap of lines) {
    if (cap.vertical || !/^\p{Lu}$/u.test(cap.text.trim())) continue;
    let first = null;
    for (const l of lines) {
      if (l === cap || !beside(cap, l) || l.base > cap.base - 0.5 * l.size || Math.abs(l.y - cap.y) > 0.5 * l.size) continue;
      if (!first || l.x < first.x) first = l;
    }
    if (first && !caps.has(first)) caps.set(first, cap);
  }
  if (!caps.size) return lines;
  const used = new Set(caps.values());
  return lines.filter((l) => !used.has(l)).map((l) => {
    const cap = caps.get(l);
    if (cap) {
      const joined = joinPieces({ ...cap, text: cap.text.trim(), cx: cap.cx && cap.cx.slice(0, 2) }, l, false);
      return { ...joined, size: l.size, font: l.font, bold: l.bold, italic: l.italic, mono: l.mono, base: l.base, y: l.y, h: l.h,
        math: l.math, capital: true };
    }
    const by = [...used].find((c) => beside(c, l));
    return by ? { ...l, x: by.x, w: l.x + l.w - by.x } : l;
  });
}

// Whether `prev`, the piece before an equation number `line`, is the last
// of the pieces of maths a display row is set in: the piece next left of
// it on its baseline is maths, more than an em and less than six apart.
function apart(lines, prev, line, size) {
  let left = null;
  for (const o of lines) {
    if (o !== line && o.x + o.w <= prev.x + 0.5 && Math.abs(o.base - line.base) < 0.5 * size && (!left || o.x + o.w > left.x + left.w)) left = o;
  }
  const gap = left ? prev.x - left.x - left.w : 0;
  return !!left && gap > size && gap < 6 * size && mathShare(left) > 0.3;
}

// A justified line whose spaces were stretched far apart comes as pieces on
// one baseline that together span its column exactly, as a line of one
// piece near it does (or one as wide, in the next column): three or more pieces apart by about the same space,
// or two less than one and a half ems apart, or less than two when one is
// short (two columns' lines are long and a gutter apart). Such pieces are
// one line.
function justifiedRows(lines) {
  const out = [];
  // A line with no other piece on its baseline near it.
  const alone = (l, k) => !lines.some((o, j) => j !== k && Math.abs(o.base - l.base) < 0.35 * l.size &&
    o.x < l.x + l.w + 2 * l.size && o.x + o.w > l.x - 2 * l.size);
  for (let i = 0; i < lines.length;) {
    let j = i + 1;
    while (j < lines.length && Math.abs(lines[j].base - lines[i].base) < 0.1 && Math.abs(lines[j].size - lines[i].size) < 0.1 &&
      lines[j].x > lines[j - 1].x + lines[j - 1].w) j++;
    // The row may hold lines of other columns: the longest run of pieces
    // that makes a justified line is taken from each piece on.
    const row = lines.slice(i, j);
    for (let a = 0; a < row.length;) {
      let b = row.length;
      while (b > a + 1 && !justified(row.slice(a, b), lines, alone)) b--;
      let line = row[a];
      for (const piece of row.slice(a + 1, b)) line = joinPieces(line, piece, true);
      out.push(line);
      a = b;
    }
    i = j;
  }
  return out;
}

function justified(row, lines, alone) {
  const size = row[0].size;
  // (A heading run into its paragraph stands apart in bold.)
  if (row.some((l) => l.vertical || mathShare(l) > 0.3 || l.equationNumber || l.toc || l.row || l.bold !== row[0].bold)) return false;
  const left = row[0].x, right = row[row.length - 1].x + row[row.length - 1].w;
  const gaps = row.slice(1).map((l, k) => l.x - row[k].x - row[k].w);
  if (row.length === 2 ? gaps[0] > 2 * size || (gaps[0] > 1.5 * size && Math.min(row[0].w, row[1].w) > 0.3 * (right - left))
    : Math.max(...gaps) > 1.6 * Math.min(...gaps)) return false;
  // The column's measure: a line of one piece near it with the same edges
  // (or set in as a first line is), or as wide (the other column's).
  return lines.some((l, k) => Math.abs(l.base - row[0].base) < 6 * size && alone(l, k) &&
    ((Math.abs(l.x + l.w - right) < 2 && l.x - left > -2 - 2.5 * size && l.x - left < 2 + 2.5 * size && l.w > 0.7 * (right - left)) ||
      Math.abs(l.w - (right - left)) < 2));
}

// Two pieces of one line, the second after the first (a space between them
// when `space`), as one line with the look of the first.
function joinPieces(prev, line, space) {
  let cx = prev.cx && line.cx ? prev.cx.slice() : undefined;
  if (cx && space) cx.push(prev.x + prev.w, line.x);
  return {
    ...prev,
    text: prev.text + (space ? " " : "") + line.text,
    w: Math.max(prev.x + prev.w, line.x + line.w) - prev.x,
    y: Math.min(prev.y, line.y),
    h: Math.max(prev.y + prev.h, line.y + line.h) - Math.min(prev.y, line.y),
    math: (prev.math || 0) + (line.math || 0),
    cx: cx ? cx.concat(line.cx) : undefined,
    gy: shiftGlyphs(prev.gy, line.gy, prev.text.length + (space ? 1 : 0)),
    ...bothMarks(prev, line),
  };
}

// The line of `out` (its index, or -1) whose last figure `line` stands
// under as the denominator of a fraction: in smaller type, its baseline
// lower by less than half the line's size, starting under the figure and
// under a short bar (a script under a script has none). The denominator
// may start a line of its own (the full stop after it): its figures' size
// and baseline are then the line's lead's.
function fractionOver(out, line, shapes) {
  if (line.vertical || !/^\d/.test(line.text)) return -1;
  const { size, base } = line.lead || line;
  const top = base - 0.75 * size;
  if (!shapes.some((s) => s.h < 1 && s.w < 3 * size && s.x < line.x + 1 && s.x + s.w > line.x + 0.3 * size &&
    s.y + s.h <= top + 0.5 && s.y > top - size)) return -1;
  for (let k = out.length - 1; k >= 0 && k >= out.length - 4; k--) {
    const o = out[k];
    const end = o.x + o.w;
    if (!o.vertical && /\d$/.test(o.text) && size < 0.85 * o.size && base > o.base + 0.2 * o.size &&
      base - o.base < 0.5 * o.size && line.x < end && line.x > end - o.size && line.x + line.w <= end + 0.5 * o.size) return k;
  }
  return -1;
}

// A script set under or over a line, put into the line's text where it
// stands (after the characters whose middles lie left of its middle), with
// `sep` before it (a fraction's slash).
function insertPiece(prev, line, sep = "") {
  if (!prev.cx || !line.cx) return joinPieces(prev, sep ? { ...line, text: sep + line.text, cx: undefined } : line, false);
  const mid = line.x + line.w / 2;
  let at = 0;
  while (at < prev.text.length && (prev.cx[2 * at] + prev.cx[2 * at + 1]) / 2 < mid) at++;
  const length = sep.length + line.text.length;
  const gy = {};
  for (const [unit, y] of Object.entries(prev.gy || {})) gy[Number(unit) < at ? unit : Number(unit) + length] = y;
  for (const [unit, y] of Object.entries(line.gy || {})) gy[Number(unit) + at + sep.length] = y;
  return {
    ...prev,
    text: prev.text.slice(0, at) + sep + line.text + prev.text.slice(at),
    y: Math.min(prev.y, line.y),
    h: Math.max(prev.y + prev.h, line.y + line.h) - Math.min(prev.y, line.y),
    math: (prev.math || 0) + (line.math || 0),
    cx: prev.cx.slice(0, 2 * at).concat(sep ? [line.x, line.x] : [], line.cx, prev.cx.slice(2 * at)),
    gy: Object.keys(gy).length ? gy : undefined,
    ...bothMarks(prev, line),
  };
}

// The note marks of two pieces made one line.
function bothMarks(a, b) {
  return a.marks || b.marks ? { marks: [...(a.marks || []), ...(b.marks || [])] } : {};
}

// The rows of a table set without rules: runs of at least three lines of
// cells (pieces on one baseline, apart by more than a word space) whose
// edges line up in columns. Each row becomes one line, marked `row`, so that
// the table reads row by row, a row a block, instead of column by column.
// Long pieces are lines of text columns, not cells.
function tableRows(lines, body, pageWidth, taken) {
  const rows = [];
  for (const l of lines.filter((l) => !taken(l)).sort((a, b) => a.base - b.base || a.x - b.x)) {
    const row = rows[rows.length - 1];
    if (row && Math.abs(row.base - l.base) < 0.5 * l.size) row.cells.push(l);
    else rows.push({ base: l.base, cells: [l] });
  }
  // (A listing's lines, aligned by spaces, are no table.)
  const celled = (r) => r.cells.length >= 2 && !r.cells.every(typewritten) && r.cells.every((c, i) => !c.vertical && c.w < 0.35 * pageWidth &&
    Math.abs(c.size - body) < 0.15 * body &&
    (i === 0 || (c.x - (r.cells[i - 1].x + r.cells[i - 1].w) > 0.9 * c.size && c.x - (r.cells[i - 1].x + r.cells[i - 1].w) < 12 * body)));
  const out = new Map();
  let run = [];
  let start = 0;
  const flush = (end) => {
    const cells = run.flatMap((r) => r.cells);
    // Columns of text go on past the rows: a row next to the run with a
    // piece where one of its inner columns starts (an index, a list in
    // columns). Leaders belong to an index or a table of contents.
    const starts = new Map();
    for (const c of cells) starts.set(Math.round(c.x / 4), (starts.get(Math.round(c.x / 4)) || 0) + 1);
    const inner = [...starts].filter(([, n]) => n >= run.length / 2).map(([k]) => k * 4).sort((a, b) => a - b).slice(1);
    const near = [rows[start - 1], rows[end]].filter((r) => r && Math.abs(r.base - (r === rows[end] ? run[run.length - 1] : run[0]).base) < 2.5 * body);
    const goesOn = near.some((r) => r.cells.some((c) => inner.some((x) => Math.abs(c.x - x) < 4)));
    const leaders = cells.filter((c) => /(\.\s?){4,}/.test(c.text)).length >= 2;
    const x0 = Math.min(...cells.map((c) => c.x)), x1 = Math.max(...cells.map((c) => c.x + c.w));
    const math = cells.reduce((m, c) => m + mathShare(c), 0) / Math.max(1, cells.length);
    // A list of symbols: each row a symbol, then its meaning in words.
    const symbols = run.every((r) => r.cells.length < 2 || r.cells.slice(1).every((c) => mathShare(c) < 0.2 && /\p{L}{3,}/u.test(c.text)));
    // Two cells a row, the second from the middle of the page on: the two
    // columns of an index or of short lines, not a table.
    const seconds = run.filter((r) => r.cells.length === 2).map((r) => r.cells[1].x).sort((a, b) => a - b);
    const halves = seconds.length >= 0.7 * run.length && seconds[seconds.length >> 1] > 0.45 * pageWidth;
    if (run.length >= 3 && (math < 0.3 || symbols) && !halves && !goesOn && !leaders && tabular(cells, x1 - x0)) {
      for (const r of run.filter((r) => r.cells.length > 1)) {
        let line = r.cells[0];
        const starts = [];
        for (const c of r.cells.slice(1)) {
          line = joinPieces(line, c, true);
          starts.push(line.text.length - c.text.length);
        }
        line.row = starts;
        for (const c of r.cells) out.set(c, line);
      }
    }
    run = [];
  };
  // A row of one short cell at the first column's edge between rows of
  // cells (the head of a group of rows) keeps the run going; it stays a
  // line of its own.
  const groupHead = (r) => run.length && r.cells.length === 1 && r.cells[0].w < 0.35 * pageWidth && !r.cells[0].vertical &&
    Math.abs(r.cells[0].x - run[0].cells[0].x) < 2 && Math.abs(r.cells[0].size - body) < 0.15 * body;
  // The run without the heads of groups after its last row of cells.
  const trimmed = () => {
    while (run.length && run[run.length - 1].cells.length === 1) run.pop();
    return run.length;
  };
  rows.forEach((r, k) => {
    const last = run[run.length - 1];
    if ((celled(r) || groupHead(r)) && (!last || r.base - last.base < 2.5 * body)) {
      if (!run.length) start = k;
      run.push(r);
    } else {
      if (trimmed()) flush(k);
      if (celled(r)) { start = k; run.push(r); }
    }
  });
  if (trimmed()) flush(rows.length);
  if (!out.size) return lines;
  const seen = new Set();
  const result = [];
  for (const l of lines) {
    const row = out.get(l);
    if (!row) result.push(l);
    else if (!seen.has(row)) { seen.add(row); result.push(row); }
  }
  return result;
}

// The heights of glyphs without a character (by unit index) of two lines set
// one after the other, the second starting at `offset`.
function shiftGlyphs(a, b, offset) {
  if (!b) return a;
  const out = { ...a };
  for (const [unit, y] of Object.entries(b)) out[Number(unit) + offset] = y;
  return out;
}

// Words holding glyphs that the font maps to no character are shown as they
// look on the page: { start, end, region } with [start, end) the word's
// offsets in the block's text (the glyphs themselves are not in the text)
// and region its box on the page (fractions). Only the letters of the
// glyph's own line belong to its word, and nothing of the page's lines
// (`around`) over or under it.
function glyphWords(lines, joined, page, around) {
  const { text, map } = joined;
  const words = [];
  for (const d of joined.dropped) {
    const sameLine = (i) => map[i] && map[i][0] === d.line;
    let start = d.at, end = d.at;
    while (start > 0 && sameLine(start - 1) && !/\s/.test(text[start - 1])) start--;
    while (end < text.length && sameLine(end) && !/\s/.test(text[end])) end++;
    const line = lines[d.line];
    const gy = line.gy && line.gy[d.unit];
    const box = { x0: line.cx[2 * d.unit], x1: line.cx[2 * d.unit + 1],
      y0: gy ? gy[0] : line.y, y1: gy ? gy[1] : line.y + line.h };
    for (let i = start; i < end; i++) {
      const u = map[i][1];
      box.x0 = Math.min(box.x0, line.cx[2 * u]); box.x1 = Math.max(box.x1, line.cx[2 * u + 1]);
      box.y0 = Math.min(box.y0, line.y); box.y1 = Math.max(box.y1, line.y + line.h);
    }
    const last = words[words.length - 1];
    if (last && last.start === start && last.end === end && last.line === d.line) {
      last.box = { x0: Math.min(last.box.x0, box.x0), x1: Math.max(last.box.x1, box.x1),
        y0: Math.min(last.box.y0, box.y0), y1: Math.max(last.box.y1, box.y1) };
    } else {
      words.push({ start, end, line: d.line, box });
    }
  }
  // `below` is how far the region reaches under the line's baseline (points).
  return words.map(({ start, end, line, box }) => {
    const own = textLineOf(lines[line], around);
    clearOfLines(box, own, around);
    const region = fractions({ x: box.x0, y: box.y0, w: box.x1 - box.x0, h: box.y1 - box.y0 }, page, GLYPH_PAD);
    return { start, end, region, below: (region[1] + region[3]) * page.height - own.base };
  });
}

// The line of text a line stands in: itself, or for pieces of large
// delimiters that hang from their top (their origin is no baseline) the
// line whose baseline runs through them.
function textLineOf(line, around) {
  if (!line.hang) return line;
  return around.find((o) => !o.hang && o.base > line.y && o.base < line.y + line.h &&
    o.x < line.x + line.w + line.size && line.x < o.x + o.w + line.size) || line;
}

// The margin of a glyph word's picture around its box (points).
const GLYPH_PAD = 1;

// A glyph's height is a guess (an em or so from its origin) and the boxes
// of letters reach their fonts' whole ascent and descent: a glyph word's box
// stops where the ink of a line over or under its own line (`line`) does.
function clearOfLines(box, line, around) {
  const top = box.y0, bottom = box.y1;
  for (const other of around) {
    if (other.x >= box.x1 || other.x + other.w <= box.x0) continue;
    // The ink of a line ends about a quarter of its size under its baseline
    // and starts three quarters over it, or higher where its box reaches
    // (raised pieces), whatever its font's boxes say; hanging pieces fill
    // their boxes.
    const base = other.hang ? textLineOf(other, around).base : other.base;
    if (base < line.base - 0.5 * line.size) {
      const ink = other.hang ? other.y + other.h : other.base + 0.25 * other.size;
      box.y0 = Math.max(box.y0, ink + GLYPH_PAD);
    } else if (base > line.base + 0.5 * line.size) {
      const ink = other.hang ? other.y : Math.min(other.y, other.base - 0.75 * other.size);
      box.y1 = Math.min(box.y1, ink - GLYPH_PAD);
    }
  }
  // Lines set closer than their own ink leave the box as it was.
  if (box.y0 > line.base - 0.75 * line.size) box.y0 = top;
  if (box.y1 < line.base) box.y1 = bottom;
}

const EQUATION_NUMBER = /^\(\s*[A-Z]?\d+(\.\d+)*[a-z]?[′'*]?\s*\)$/;

// An equation number far right of a formula goes with the formula on its
// baseline: it is marked so that the two merge whatever the gap.
// So does a page number after the dot leaders of a table of contents.
// Page numbers of a table of contents without leaders are told by their
// column: at least three numbers whose right edges line up, each with text
// to its left on its baseline. The entries they end are marked `toc`.
const PAGE_NUMBER_TEXT = /^([0-9]{1,4}|[ivxlcIVXLC]{1,6})$/;

function attachNumbers(lines) {
  const beside = (line, test) => lines.some((other) => other !== line && other.x + other.w <= line.x &&
    Math.abs(other.base - line.base) <= 0.5 * line.size && test(other.text.trim()));
  // Last on its baseline in its column (text past a gutter is another column's).
  const last = (l) => !lines.some((o) => o !== l && o.x >= l.x + l.w && o.x - l.x - l.w < 1.5 * l.size &&
    Math.abs(o.base - l.base) <= 0.2 * l.size);
  const numbers = lines.filter((l) => PAGE_NUMBER_TEXT.test(l.text.trim()) && last(l) &&
    beside(l, (t) => !PAGE_NUMBER_TEXT.test(t)));
  const column = (line) => numbers.filter((n) => Math.abs(n.x + n.w - line.x - line.w) < 1.5).length >= 3;
  // A number (with the comment sign some listings set in their margin) left
  // of a line of code on its baseline is that line's number, however far
  // the line is set in.
  let width = null;
  const numbersCode = (line) => {
    let next = null;
    for (const o of lines) {
      if (o !== line && o.x >= line.x + line.w && Math.abs(o.base - line.base) <= 0.35 * Math.max(o.size, line.size) &&
        (!next || o.x < next.x)) next = o;
    }
    if (!next || !next.mono) return false;
    if (width === null) width = pageWidth(lines);
    return next.x - line.x - line.w < 0.6 * width;
  };
  return lines.map((line) => {
    const text = line.text.trim();
    if (/^\d{1,5}( ?[%#*])?$/.test(text) && !line.mono && numbersCode(line)) return { ...line, lineNumber: true };
    const equation = EQUATION_NUMBER.test(text);
    // Leaders and their page number set apart from the entry's title; an
    // entry's title with its leaders and page number in one piece.
    if (/^(\.\s?){3,}.*\d$/.test(text) && beside(line, (t) => /\p{L}/u.test(t))) return { ...line, equationNumber: true, toc: true };
    if (/[\divxlc]$/i.test(text) && /\p{L}/u.test(text) && /(\.\s?){3,}\s*([0-9]{1,4}|[ivxlc]{1,6})$/i.test(text)) return { ...line, toc: true };
    if (!equation && !PAGE_NUMBER_TEXT.test(text)) return line;
    if (equation) return beside(line, (t) => !EQUATION_NUMBER.test(t)) ? { ...line, equationNumber: true } : line;
    if (beside(line, (t) => /(\.\s?){3,}$/.test(t)) || (numbers.includes(line) && column(line))) {
      return { ...line, equationNumber: true, toc: true };
    }
    return line;
  });
}

// The width the lines of a page span.
function pageWidth(lines) {
  let x0 = Infinity, x1 = -Infinity;
  for (const l of lines) { x0 = Math.min(x0, l.x); x1 = Math.max(x1, l.x + l.w); }
  return x1 - x0;
}

function box(item) {
  return { x0: item.x, y0: item.y, x1: item.x + item.w, y1: item.y + item.h };
}

// The widest vertical gap that no item crosses, with items on both sides.
function gutter(items, minGap) {
  const spans = items.map((it) => [it.x, it.x + it.w]).sort((a, b) => a[0] - b[0]);
  let reach = spans[0][1];
  let best = null;
  for (let i = 1; i < spans.length; i++) {
    const [a, b] = spans[i];
    if (a - reach >= minGap && (!best || a - reach > best.w)) best = { x: reach, w: a - reach };
    reach = Math.max(reach, b);
  }
  return best;
}

// Items overlapping in height make one strip.
function strips(items) {
  const sorted = items.slice().sort((a, b) => a.y - b.y);
  const out = [];
  let cur = null;
  for (const it of sorted) {
    const slack = Math.min(it.h, 6) * 0.3;
    if (cur && it.y < cur.y1 - slack) {
      cur.items.push(it);
      cur.y1 = Math.max(cur.y1, it.y + it.h);
    } else {
      cur = { items: [it], y1: it.y + it.h };
      out.push(cur);
    }
  }
  return out;
}

// Every vertical gap of at least minGap that no item crosses.
function gaps(items, minGap) {
  const spans = items.map((it) => [it.x, it.x + it.w]).sort((a, b) => a[0] - b[0]);
  const out = [];
  let reach = spans[0][1];
  for (let i = 1; i < spans.length; i++) {
    if (spans[i][0] - reach >= minGap) out.push([reach, spans[i][0]]);
    reach = Math.max(reach, spans[i][1]);
  }
  return out;
}

// Whether a strip goes on the columns above it: together they leave a gutter,
// and a part that stands on one side of it only does not run across the other
// part's gutters (a title or a centred caption above columns is no column):
// it must not cover the middle of one.
function mergeable(above, row, minGap) {
  const all = above.concat(row);
  const g = gutter(all, minGap);
  if (!g) return false;
  let x0 = Infinity, x1 = -Infinity;
  for (const it of all) { x0 = Math.min(x0, it.x); x1 = Math.max(x1, it.x + it.w); }
  const mid = (x0 + x1) / 2;
  const sided = (part) => part.some((it) => it.x + it.w <= g.x + 0.01) && part.some((it) => it.x + it.w > g.x + 0.01);
  for (const [part, other] of [[above, row], [row, above]]) {
    if (sided(part)) continue;
    if (sided(other)) {
      const holes = gaps(other, minGap);
      // A full line of a column (as wide as the other column's widest line,
      // from the other part's outer edge on its side) is a column's however
      // it crosses the gaps between the other part's pieces (a short
      // heading's end and the next column).
      const left = (it) => it.x + it.w <= g.x + 0.01;
      const full = (it) => {
        const same = other.filter((o) => left(o) === left(it));
        const opposite = other.filter((o) => left(o) !== left(it));
        if (!same.length || !opposite.length) return false;
        const outer = left(it) ? Math.min(...same.map((o) => o.x)) : Math.max(...same.map((o) => o.x + o.w));
        return Math.abs(it.w - Math.max(...opposite.map((o) => o.w))) <= minGap &&
          Math.abs((left(it) ? it.x : it.x + it.w) - outer) <= minGap;
      };
      if (part.some((it) => !full(it) && holes.some(([a, b]) => it.x < (a + b) / 2 && it.x + it.w > (a + b) / 2))) return false;
    } else if (part.some((it) => (it.x < mid && it.x + it.w > mid) || it.w > 0.55 * (x1 - x0))) {
      return false;
    }
  }
  return true;
}

// Puts items (lines and areas, each with x, y, w, h) in reading order.
export function readingOrder(items, minGap = 7, depth = 0) {
  if (items.length <= 1) return items.slice();
  const rows = strips(items);
  const groups = [];
  for (const row of rows) {
    const last = groups[groups.length - 1];
    if (last && mergeable(last.items, row.items, minGap)) {
      last.items.push(...row.items);
      last.rows++;
      last.strips.push(row.items);
    } else {
      groups.push({ items: row.items.slice(), rows: 1, strips: [row.items] });
    }
  }
  const out = [];
  for (const group of groups) {
    const g = depth < 8 ? gutter(group.items, minGap) : null;
    if (!g) {
      out.push(...group.items.sort((a, b) => a.y - b.y || a.x - b.x));
      continue;
    }
    const left = group.items.filter((it) => it.x + it.w <= g.x + 0.01);
    const right = group.items.filter((it) => it.x + it.w > g.x + 0.01);
    // A gutter with a single item on one side and several rows is more likely
    // a short line beside a column than a second column: keep top-down.
    if (group.rows > 2 && (left.length < 2 || right.length < 2)) {
      out.push(...group.items.sort((a, b) => a.y - b.y || a.x - b.x));
      continue;
    }
    // Columns stand side by side: some strip has items on both sides. Lines
    // one under another that only take turns left and right of a gap (the
    // lines of a listing, one set in far) are read top-down.
    const across = (strip) => strip.some((it) => it.x + it.w <= g.x + 0.01) && strip.some((it) => it.x + it.w > g.x + 0.01);
    if (!group.strips.some(across)) {
      out.push(...group.items.sort((a, b) => a.y - b.y || a.x - b.x));
      continue;
    }
    out.push(...readingOrder(left, minGap, depth + 1), ...readingOrder(right, minGap, depth + 1));
  }
  return out;
}

// The lines of a page set wholly outside its text, in the margin left or
// right of it, with words in them (a section's number hanging there is no
// note) in type no larger than the text's, a few among the lines of the
// text. The text's edges are those of its lines at least half as wide as
// its long lines.
function marginNotes(lines, minGap, body) {
  const out = new Set();
  if (lines.length < 4) return out;
  const widths = lines.map((l) => l.w).sort((a, b) => a - b);
  const wide = 0.5 * widths[Math.floor(0.9 * (widths.length - 1))];
  let x0 = Infinity, x1 = -Infinity;
  for (const l of lines) if (l.w >= wide) { x0 = Math.min(x0, l.x); x1 = Math.max(x1, l.x + l.w); }
  for (const l of lines) {
    if ((l.x + l.w <= x0 - minGap || l.x >= x1 + minGap) && /\p{L}{2}/u.test(l.text) && l.size <= body + 0.5) out.add(l);
  }
  // A page of a table whose long cells make the text is all columns.
  return out.size <= 0.25 * lines.length ? out : new Set();
}

// Puts the notes in the margin into the blocks (`raw`) as blocks of their
// own, each after the block it stands beside or the last one above it; a
// note's lines one right under another are one note.
function placeNotes(raw, notes) {
  if (!notes.size) return;
  const groups = [];
  for (const l of [...notes].sort((a, b) => a.y - b.y)) {
    const last = groups[groups.length - 1];
    const prev = last && last[last.length - 1];
    if (prev && l.y - (prev.y + prev.h) < 0.5 * l.size && Math.abs(l.x - prev.x) < 2 * l.size) last.push(l);
    else groups.push([l]);
  }
  for (const group of groups) {
    const top = group[0].y;
    let at = -1;
    raw.forEach((b, i) => {
      if (b.notes || !b.lines.length) return;
      const y0 = Math.min(...b.lines.map((l) => l.y));
      if (y0 <= top + 0.5 * group[0].h && (at < 0 || y0 >= Math.min(...raw[at].lines.map((l) => l.y)))) at = i;
    });
    // After the notes already put after that block.
    let i = at + 1;
    while (i < raw.length && raw[i].notes) i++;
    raw.splice(i, 0, { kind: null, lines: group, indent: 0, notes: true });
  }
}

// Left and right edge of the text column a line stands in: the extent of
// the lines around it that overlap it horizontally (`whole`: of the lines
// of any size anywhere on the page).
function columnOf(line, lines, whole = false) {
  let x0 = line.x, x1 = line.x + line.w;
  for (const other of lines) {
    if (other.x < x1 && other.x + other.w > x0 &&
        (whole || (Math.abs(other.size - line.size) < 1.2 && Math.abs(other.y - line.y) < 8 * line.size))) {
      x0 = Math.min(x0, other.x);
      x1 = Math.max(x1, other.x + other.w);
    }
  }
  return { x0, x1 };
}

// A line set mostly in math fonts and indented well into its column.
function displayed(line, ctx) {
  return (mathShare(line) > 0.6 && line.x - ctx.column(line).x0 > 2 * line.size) || !!line.numbered;
}

// Lines mostly of math whose row ends in an equation number are displays,
// even when set at the column's margin: marked `numbered`.
function markNumbered(lines) {
  const numbers = lines.filter((l) => EQUATION_NUMBER.test(l.text.trim()) || /\(\s*[A-Z]?\d+(\.\d+)*[a-z]?[′'*]?\s*\)$/.test(l.text.trim()));
  if (!numbers.length) return lines;
  return lines.map((l) => mathShare(l) > 0.45 && numbers.some((n) => Math.abs(n.base - l.base) < 0.5 * l.size &&
    n.x + n.w >= l.x + l.w) ? { ...l, numbered: true } : l);
}

function startsBlock(prev, line, ctx) {
  if (!prev || line.capital) return true;
  const size = Math.max(prev.size, line.size);
  // (A line of prose that is mostly a path or a command in a smaller
  // typewriter face takes that face's size; the rule on typewriter lines
  // below decides for it.)
  const mixed = prev.mono !== line.mono && !typewritten(prev) && !typewritten(line);
  if (Math.abs(prev.size - line.size) > 0.9 && !mixed) return true;
  // The space between the lines; from their baselines when the font gives
  // its glyphs boxes far lower than its size.
  const gap = prev.h < 0.6 * prev.size && line.h < 0.6 * line.size ? line.base - prev.base - size : line.y - (prev.y + prev.h);
  const col = ctx.column(line);
  const prevShort = col.x1 - (prev.x + prev.w) > 2 * size;
  // (A line that stops mid-clause goes on, whatever the type of the next:
  // a list of terms in bold and roman that wraps.)
  if (prev.bold !== line.bold && (prevShort || (gap > 0.3 * size && !/[,;]$/.test(prev.text.trim())))) return true;
  // Each row of a table stands on its own.
  if (prev.row || line.row) return true;
  // Each entry of a table of contents stands on its own; an entry's title
  // that wraps goes on in a line set in under it, ending in the page number.
  const wraps = line.toc && !prev.toc && line.x > prev.x + 0.7 * size && gap < 0.5 * size && !endsSentence(prev.text);
  if (prev.toc || (line.toc && !wraps)) return true;
  // A line set mostly in typewriter face goes on a sentence that did not
  // end; code stands apart. A line of prose set mostly in typewriter face
  // (addresses too long to break) goes on into a line in the text's face
  // unless its sentence ended, and a full line of body text that stops at
  // a word or a comma into it whatever word it starts with (a title's next
  // line in typewriter face, an entry after an index's page numbers, stand
  // apart). Lines set in alike far from the margin are shown one by one
  // (the forms of a command): such a line ends at its end.
  const shown = prev.x - col.x0 > 4 * size && Math.abs(line.x - prev.x) < 0.5 * size;
  const leavesProse = mixed && prev.mono && !shown;
  const entersProse = mixed && line.mono && size < 1.2 * ctx.body && /[\p{L},]$/u.test(prev.text.trim());
  if (((prev.mono !== line.mono && !(typewritten(prev) && typewritten(line))) || typewritten(prev) !== typewritten(line)) &&
    (line.base - prev.base > 1.45 * size || endsSentence(prev.text) ||
    (!leavesProse && ((!entersProse && /^\p{Lu}/u.test(line.text.trim())) || col.x1 - (prev.x + prev.w) > 2 * size)))) return true;
  // A display formula stands apart from the text around it, however close.
  // (A lone sign raised over the line it belongs to, as an inline radical
  // is, is no display.)
  if ((displayed(prev, ctx) && prev.text.trim().length > 1 && mathShare(line) < 0.2) ||
    (mathShare(prev) < 0.2 && displayed(line, ctx))) return true;
  // On a page set with wide leading (a manuscript's double spacing), a
  // line of prose that spans the page's text to its right edge inside a
  // sentence, whatever its type, goes on in the line at that leading under
  // it.
  const measure = ctx.leading > 1.6 && ctx.measure(prev);
  const spaced = measure && measure.x1 - (prev.x + prev.w) <= 2 * size && prev.w > 0.6 * (measure.x1 - measure.x0) &&
    !endsSentence(prev.text) && !typewritten(prev) && !typewritten(line) && line.base - prev.base < (ctx.leading + 0.3) * size;
  if ((gap > 0.75 * size && !spaced) || gap < -2 * size) return true;
  // An equation number set on a line of its own under its formula (the
  // formula was too wide for it) belongs to the formula, not to the text
  // after it.
  if (EQUATION_NUMBER.test(prev.text.trim()) || EQUATION_NUMBER.test(line.text.trim())) return true;
  // The lines of a listing, one under another in typewriter face, are one
  // block however they are set in.
  if (typewritten(prev) && typewritten(line) && !/:\s*$/.test(prev.text)) return false;
  if (line.x > prev.x + prev.w) return true;
  const text = line.text.trim();
  if (captionStart(text)) return true;
  // A numbered heading right under another (a section and its first
  // subsection) is a heading of its own.
  if (line.bold && prev.bold && NUMBERED_HEADING.test(text) && prev.text.trim().length < 80 &&
    !/[.,;:]$/.test(prev.text.trim())) return true;
  // A bullet starts an item wherever it stands; a number or letter ("1) ",
  // "4. ", "(3) ") only where a block may start: the line before it is
  // short or ends a clause. A justified paragraph's line that happens to
  // start with a number ("a video game (Case" / "1) [27]") goes on it.
  if (BULLET.test(text) && line.x <= prev.x + 0.5 * size &&
    (!MARKER.test(text) || prevShort || /[.!?:;]\s*$/.test(prev.text))) return true;
  // A note starts at its mark.
  if (/^[∗†‡§¶]/u.test(text) && line.x <= prev.x + 0.5 * size && mathShare(line) < 0.5 && !/-$/.test(prev.text.trim())) return true;
  if (ctx.numbered && NUMBERED_REFERENCE.test(text)) return true;
  if (ctx.references) {
    if (REFERENCE_START.test(text)) return true;
    if (ctx.numbered) return false;
  }
  // The lines of a list item hang under its text, not under its mark; a
  // line set in as a paragraph's first line is, left of the mark, is the
  // text after the list.
  if (ctx.listX !== null && line.x > ctx.listX + 0.5 * size && gap < 0.5 * size) return false;
  if (ctx.listX !== null && line.x < ctx.listX - 0.5 * size && line.x - col.x0 > 0.7 * size) return true;
  const indented = line.x - col.x0 > 0.7 * size && line.x - col.x0 < 4 * size;
  const prevAtMargin = prev.x - col.x0 < 0.4 * size;
  // (References hang the other way: their set-in lines go on the entry.)
  if (indented && prevAtMargin && !ctx.references && (ctx.blockLines > 1 || prevShort || endsSentence(prev.text))) return true;
  // Hanging indent: a line back at the margin after indented ones.
  if (ctx.hanging && line.x < prev.x - 0.7 * size) return true;
  // The rest of a hanging reference at the top of a column or page, then the
  // next entry back at the margin.
  if (ctx.references && ctx.setIn && line.x < prev.x - 0.7 * size &&
    (endsSentence(prev.text) || /(https?:\/\/|doi)\S*$|\d$/i.test(prev.text.trim()))) return true;
  // A short line that ends a sentence ends its paragraph; the next line
  // starts one unless it is set in as a first line is (lines set in alike,
  // as a description list's entries, each stand on their own).
  // A label on a line of its own ("Note:") goes on into the line under it.
  if (prevShort && endsSentence(prev.text) && (!indented || Math.abs(line.x - prev.x) < 0.5 * size) &&
    !(LABEL.test(prev.text.trim()) && Math.abs(line.x - prev.x) < 0.5 * size)) return true;
  return false;
}

// Whether a line is set in typewriter face throughout, as a listing's lines
// are: its characters advance by one width (a sentence with a few commands
// in typewriter face among its words does not). Told once for each line,
// as the rules ask it again and again.
const typewrittenLines = new WeakMap();
function typewritten(line) {
  let told = typewrittenLines.get(line);
  if (told === undefined) typewrittenLines.set(line, told = inTypewriterFace(line));
  return told;
}

function inTypewriterFace(line) {
  // A listing's numbered line of guards is set in another face, and so
  // are the number and guards before a line's code (which may be shorter).
  if (!line.mono && !(line.text.includes("⟨") && GUARDED.test(line.text.trim()))) return false;
  if (!line.cx || line.cx.length < 4) return true;
  const from = 2 * codeStart(line);
  const steps = [];
  for (let i = from + 2; i < line.cx.length; i += 2) if (line.cx[i] > line.cx[i - 2]) steps.push(line.cx[i] - line.cx[i - 2]);
  if (!steps.length) return true;
  const sorted = steps.slice().sort((a, b) => a - b);
  const step = sorted[sorted.length >> 1];
  return steps.filter((d) => Math.abs(d - step) <= 0.12 * step || Math.abs(d / step - Math.round(d / step)) < 0.12).length >= 0.9 * steps.length;
}

// Where the code of a listing's line starts: after its number in the
// margin and the guards after it, which are set in another face.
function codeStart(line) {
  return (line.text.match(/^\s*\d+\s+(⟨[^⟩]*⟩\s*)?/u) || [""])[0].length;
}

// A listing's text: its lines as they stand, each on a line of its own, its
// characters in the columns they stand in (counted in the listing's usual
// advance from the leftmost line's start).
function joinListing(lines) {
  // The advance of the code's typewriter face, not that of the numbers and
  // guards set before it in another face.
  const steps = [];
  for (const l of lines) {
    if (!l.cx || !l.mono) continue;
    for (let i = 2 + 2 * codeStart(l); i < l.cx.length; i += 2) if (l.cx[i] > l.cx[i - 2]) steps.push(l.cx[i] - l.cx[i - 2]);
  }
  if (!steps.length) {
    for (const l of lines) if (l.cx) for (let i = 2; i < l.cx.length; i += 2) if (l.cx[i] > l.cx[i - 2]) steps.push(l.cx[i] - l.cx[i - 2]);
  }
  steps.sort((a, b) => a - b);
  const em = steps.length ? steps[steps.length >> 1] : Math.min(...lines.map((l) => l.w / Math.max(1, [...l.text.trim()].length)));
  const left = Math.min(...lines.map((l) => l.x));
  let text = "";
  const map = [];
  const dropped = [];
  lines.forEach((line, li) => {
    if (text) { text += "\n"; map.push(null); }
    let column = 0;
    let end = null;
    // Guards in their own face keep their words and spaces as set.
    const guards = /⟩/.test(line.text.slice(0, codeStart(line))) ? codeStart(line) : 0;
    for (let i = 0; i < line.text.length; i++) {
      const ch = line.text[i];
      if (/\s/.test(ch)) {
        if (i < guards && !/ $/.test(text)) { text += " "; map.push(null); column++; }
        continue;
      }
      const x = line.cx && line.cx.length > 2 * i ? line.cx[2 * i] : line.x + column * em;
      const want = Math.round((x - left) / em);
      if (i < guards) column = want;
      for (; column < want; column++) { text += " "; map.push(null); }
      // A gap narrower than the columns tell (a line number in smaller
      // type before the code) still parts the two.
      if (end !== null && x - end > 0.25 * em && !/ $/.test(text)) { text += " "; map.push(null); column++; }
      end = line.cx && line.cx.length > 2 * i + 1 ? line.cx[2 * i + 1] : x + em;
      if (ch === "\uFFFD") { dropped.push({ at: text.length, line: li, unit: i }); continue; }
      // Both units of a character above U+FFFF.
      const wide = ch.charCodeAt(0) >= 0xD800 && ch.charCodeAt(0) < 0xDC00 && i + 1 < line.text.length;
      text += wide ? line.text.slice(i, i + 2) : ch;
      map.push([li, i]);
      if (wide) { map.push([li, i + 1]); i++; }
      column++;
    }
  });
  return { text, map, dropped };
}

function unionBox(a, b) {
  const x = Math.min(a.x, b.x), y = Math.min(a.y, b.y);
  return { x, y, w: Math.max(a.x + a.w, b.x + b.w) - x, h: Math.max(a.y + a.h, b.y + b.h) - y };
}

function bounds(lines) {
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  for (const l of lines) {
    x0 = Math.min(x0, l.x); y0 = Math.min(y0, l.y);
    x1 = Math.max(x1, l.x + l.w); y1 = Math.max(y1, l.y + l.h);
  }
  return { x: x0, y: y0, w: x1 - x0, h: y1 - y0 };
}

function classify(block, ctx) {
  const first = block.lines[0];
  const text = block.text;
  const size = block.lines.reduce((m, l) => Math.max(m, l.size), 0);
  if (captionStart(text)) return "caption";
  if (first.toc || block.lines[block.lines.length - 1].toc) return "list";
  const short = text.length < 140 && block.lines.length <= 3;
  const allBold = block.lines.every((l) => l.bold);
  // Small type at the foot of the page with no body text under it is a
  // note, set in bold or not; the last lines of a listing, or a remark
  // closing the code above it, are none unless they stand under a rule or
  // start with a note's mark.
  // Notes set in the body's type are known by their marks, under a rule
  // or under the note before them, with only notes below them.
  const marked = NOTE_MARK.test(text) && size <= ctx.body * 1.1 && !allBold && block.y > ctx.height * 0.55 &&
    !ctx.textBelow(block, (l) => NOTE_MARK.test(l.text)) && (ctx.underRule(block) ||
      (ctx.prev && ctx.prev.kind === "footnote" && block.y - (ctx.prev.y + ctx.prev.h) < size));
  const note = marked || (size <= ctx.body * 0.88 && block.y > ctx.height * 0.55 && !ctx.textBelow(block) &&
    (NOTE_MARK.test(text) || ctx.underRule(block) || !(NUMBERED_CODE.test(text) || (ctx.prev &&
      (code(ctx.prev) || NUMBERED_CODE.test(ctx.prev.text))))));
  // The references' and the acknowledgements' headings, in whatever type.
  if (block.lines.length === 1 && BARE_HEADING.test(text.trim())) return "heading";
  if (short && !note && !/[,;]$/.test(text)) {
    if ((size >= ctx.body * 1.4 || (size >= ctx.body * 1.12 && allBold)) && !/[.:]$/.test(text)) return "heading";
    if (allBold && !BULLET.test(text) && text.length < 100 && !/[.:]\s*$/.test(text) && mathShare(first) < 0.2 &&
      (NUMBERED_HEADING.test(text) || text === text.toUpperCase() || block.lines.length === 1)) return "heading";
    // A bold line of its own lettered "a." is a heading, not a list's item
    // (letteredItems takes back those that follow one another).
    if (LETTERED_HEADING.test(text) && allBold && block.lines.length === 1 && text.length < 80 && !/[.:]$/.test(text)) return "heading";
    // A line of its own in italic numbered "1." or "3.1", with text under
    // it, is a heading too (a third level, as "1. Citations"), not a list's
    // item; one right after a numbered item is the next item.
    if (italicNumbered(first, text) && block.lines.length === 1 && text.length < 80 &&
      !/[.:;,]$/.test(text) && mathShare(first) < 0.2 && ctx.textBelow(block) &&
      !(ctx.prev && ctx.prev.kind === "list" && /^\d/.test(ctx.prev.text))) return "heading";
    // (A heading in capitals may end in an abbreviation's stop: "VIDEOS, ETC.")
    if (NUMBERED_HEADING.test(text) && /^[^a-z]*[A-Z]/.test(text) && text.length < 80 && (first.bold || text === text.toUpperCase()) &&
      (!/[.]$/.test(text) || text === text.toUpperCase())) return "heading";
  }
  if (ctx.references) return "reference";
  if (note) return "footnote";
  if (BULLET.test(text)) return "list";
  return "paragraph";
}

// Lays out one page. `page` is a page text (see parse-worker.js); ctx holds
// what the document knows: body text size, the pages' signatures, whether the
// references have started, areas the native side measured.
export function layoutPage(page, ctx) {
  // A page with no text layer (a scan) is shown as its page image.
  if (!page.lines.some((l) => l.text.trim()) && ((page.pictures || []).length || (page.shapes || []).length)) {
    return scanLayout(page, ctx);
  }
  const { merged, margin } = textLines(page, ctx);
  const areas = pageAreas(page, ctx, merged);
  // (What a figure or a table takes in is its own, in the margin or not.)
  const notes = new Set([...margin].filter((l) => !areas.some((a) => absorbs(a, l))));
  const pieces = notes.size < margin.size ? merged.concat([...margin].filter((l) => !notes.has(l))) : merged;
  // Tables without rules, outside the areas, read row by row.
  const lines = markNumbered(tableRows(pieces, ctx.body, page.width, (l) => areas.some((a) => absorbs(a, l))));
  const { items, free } = placeInAreas(lines, areas, ctx.body);
  const rules = separatingRules(page, areas);
  const ordered = readingOrder(free.concat(items, rules), Math.max(6, ctx.body * 0.7)).filter((it) => !it.rule);
  // A line's column is asked for by every rule that reads it: each found once.
  const once = (f) => {
    const known = new Map();
    return (line) => known.get(line) || known.set(line, f(line)).get(line);
  };
  const raw = gatherBlocks(ordered, once((line) => columnOf(line, free)), { ...ctx, measure: once((line) => columnOf(line, free, true)) });
  placeNotes(raw, notes);
  const { blocks, references } = pageBlocks(raw, page, ctx, textAround(free, rules, ctx.body));
  const all = footnotesLast(clipFormulas(mergeFormulas(blocks, ctx.body, page), page));
  markByline(all, page);
  markContinued(all);
  notesAfterMarks(all);
  all.forEach((b, i) => {
    b.page = page.page;
    b.index = i;
    b.key = blockKey(page.page, i, b.kind === "cutout" && !b.text ? b.region.join(",") : b.text);
  });
  return { page: page.page, width: page.width, height: page.height, blocks: all, references };
}

// A page with no text layer, laid out as one cut-out of the whole page.
function scanLayout(page, ctx) {
  const scan = { kind: "cutout", scan: true, region: [0, 0, 1, 1], lines: [], text: "", map: [], y: 0,
    page: page.page, index: 0 };
  scan.key = blockKey(page.page, 0, scan.region.join(","));
  return { page: page.page, width: page.width, height: page.height, blocks: [scan], references: ctx.references };
}

// The page's lines of text (`merged`: fragments of a line joined), and the
// notes in its margin apart (`margin`). Line numbers in the margin and the
// page's furniture stay out of the text.
function textLines(page, ctx) {
  const around = [];
  for (let k = page.page - 2; k <= page.page + 2; k++) {
    if (k !== page.page && ctx.signatures && ctx.signatures.has(k)) around.push(ctx.signatures.get(k));
  }
  const drawn = page.lines.filter((l) => l.text.trim() && !l.vertical);
  const numbers = marginNumbers(drawn);
  const text = drawn.filter((l) => !numbers.has(l));
  const furnished = furniture(text, page, around);
  // Notes in the margin (a macro's name beside its description) are read
  // apart from the lines they stand beside: no piece of those lines, nor of
  // a table's row with them.
  const unfurnished = text.filter((l) => !furnished.has(l));
  const margin = marginNotes(unfurnished, Math.max(6, ctx.body * 0.7), ctx.body);
  // (A fraction's bar may be drawn as a picture one line thick.)
  const bars = (page.shapes || []).concat((page.pictures || []).filter((p) => p.h < 1));
  const merged = mergeFragments(margin.size ? unfurnished.filter((l) => !margin.has(l)) : unfurnished, bars);
  return { merged, margin };
}

// The page's figures and tables. A table whose rules would take in a
// heading (a chapter's rule above a framed listing, say) is no table.
// Nor is a frame around prose (an abstract between rules, a boxed note):
// its text stays text.
function pageAreas(page, ctx, lines) {
  return findAreas(page, ctx.graphics || []).filter((a) => (!a.table ||
    !lines.some((l) => absorbs(a, l) && l.size > ctx.body * 1.25)) &&
    !framesProse(a, lines.filter((l) => !captionStart(l.text.trim())), page));
}

// The lines that figures, tables and numbered displays take in, each with
// its own (`items`), and the lines of running text (`free`).
// A display whose number stands apart is one cut-out with its number,
// read where its column has it. A drawing inside it (a matrix's bars and
// rules) is its own, with the text that stands in it.
function placeInAreas(lines, areas, body) {
  const free = [];
  const displays = numberedDisplays(lines.filter((l) => !areas.some((a) => absorbs(a, l))), body);
  const within = (a, b) => a.x >= b.x - 2 && a.y >= b.y - 2 && a.x + a.w <= b.x + b.w + 2 && a.y + a.h <= b.y + b.h + 2;
  const items = areas.filter((a) => !displays.some((d) => within(a, d.box))).map((a) => ({ ...a, area: a, lines: [] }));
  const inDisplay = new Set(displays.flatMap((d) => d.lines));
  for (const d of displays) items.push({ ...d.column, area: { ...d.box, formula: true }, lines: d.lines });
  for (const line of lines) {
    if (inDisplay.has(line)) continue;
    // (A display takes in no sentence, whatever its pieces' boxes reach.)
    const owner = items.find((it) => absorbs(it.area, line) && !captionStart(line.text.trim()) &&
      !(it.area.formula && (line.text.match(/\p{L}{3,}/gu) || []).length >= 3)) || labelled(line, items, lines, body);
    if (!owner) {
      free.push(line);
      continue;
    }
    owner.lines.push(line);
    if (!absorbs(owner.area, line)) Object.assign(owner, unionBox(owner, line));
  }
  return { items, free };
}

// The figure (of `items`) whose label `line` is: a few words in type well
// under the text's (smaller than its scripts), no caption, set just
// outside the figure's drawing over, under or beside it, no line of text in
// the strip between the two nor touching it on its row (the scripts of a
// line of text set apart from it).
function labelled(line, items, lines, body) {
  if (line.size >= 0.65 * body || line.row || captionStart(line.text.trim()) || (line.text.match(/\p{L}{3,}/gu) || []).length > 2) return null;
  if (lines.some((o) => o !== line && o.size >= 0.65 * body && o.y < line.y + line.h && o.y + o.h > line.y &&
    Math.max(o.x - line.x - line.w, line.x - o.x - o.w) < body)) return null;
  const reach = 3 * body;
  return items.find((it) => {
    if (it.area.table || it.area.formula) return false;
    const dx = Math.max(it.x - line.x - line.w, line.x - it.x - it.w), dy = Math.max(it.y - line.y - line.h, line.y - it.y - it.h);
    const over = dx < 0 && dy >= 0 && dy <= reach, aside = dy < 0 && dx >= 0 && dx <= reach;
    if (!over && !aside) return false;
    // Whether a line of text stands in the strip between them.
    const from = over ? Math.min(line.y + line.h, it.y + it.h) : Math.min(line.x + line.w, it.x + it.w);
    const to = over ? Math.max(line.y, it.y) : Math.max(line.x, it.x);
    const inStrip = (o) => (over ? o.x < line.x + line.w && o.x + o.w > line.x && o.y + o.h / 2 > from && o.y + o.h / 2 < to
      : o.y < line.y + line.h && o.y + o.h > line.y && o.x + o.w / 2 > from && o.x + o.w / 2 < to);
    return !lines.some((o) => o !== line && o.size >= 0.65 * body && inStrip(o));
  }) || null;
}

// Rules outside figures and tables separate what is above them from what is
// below (notes under a rule across both columns come after both columns).
function separatingRules(page, areas) {
  return (page.shapes || []).filter((r) => isRule(r) && !areas.some((a) => absorbs(a, r)))
    .map((r) => ({ x: r.x, y: r.y, w: r.w, h: Math.max(r.h, 0.5), rule: true }));
}

// What a block's kind depends on around it among the lines of running text
// (`free`) and the page's rules: whether a rule stands above it with nothing
// but small type between the two, and whether body text follows below it.
function textAround(free, rules, body) {
  const underRule = (block) => rules.some((r) => r.y + r.h <= block.y + 1 && r.x < block.x + block.w && block.x < r.x + r.w &&
    !free.some((l) => l.y > r.y && l.y + l.h < block.y && l.size > 0.9 * body && l.x < r.x + r.w && r.x < l.x + l.w));
  // (`past` passes over some lines: other notes.)
  const textBelow = (block, past = () => false) => free.some((l) => l.y > block.y + block.h && Math.abs(l.size - body) < 0.6 &&
    l.x < block.x + block.w && l.x + l.w > block.x && !past(l));
  return { underRule, textBelow };
}

// The page's usual distance from one line's baseline to the next, in the
// lines' size: the middle one of the steps between two lines of a
// paragraph, one under the other with the same edges, in one size (lines
// apart, an item or a centred title's, tell nothing); none from fewer than
// two.
function leading(ordered) {
  const steps = [];
  for (let i = 1; i < ordered.length; i++) {
    const a = ordered[i - 1], b = ordered[i];
    if (a.area || b.area || Math.abs(a.size - b.size) > 0.5 || Math.abs(a.x - b.x) > 1 || Math.abs(a.x + a.w - b.x - b.w) > 2) continue;
    const step = (b.base - a.base) / a.size;
    if (step > 0.8 && step < 3.5) steps.push(step);
  }
  steps.sort((a, b) => a - b);
  return steps.length >= 2 ? steps[(steps.length - 1) >> 1] : 0;
}

// Lines into blocks, in reading order: each figure or table a cut-out of
// its own, each run of lines a block until a line starts another one.
// `column(line)` is the column a line stands in.
function gatherBlocks(ordered, column, ctx) {
  const raw = [];
  let cur = null;
  let state = { references: ctx.references, column, blockLines: 0, hanging: false, body: ctx.body, leading: leading(ordered),
    measure: ctx.measure || column };
  for (const item of ordered) {
    if (item.area) {
      cur = null;
      raw.push({ kind: "cutout", area: item.area, lines: item.lines });
      continue;
    }
    state.blockLines = cur ? cur.lines.length : 0;
    state.numbered = !!cur && REFERENCE_START.test(cur.lines[0].text.trim());
    state.listX = cur && BULLET.test(cur.lines[0].text.trim()) ? cur.lines[0].x : null;
    state.hanging = !!cur && cur.lines.length >= 2 && cur.lines[1].x > cur.lines[0].x + 0.7 * item.size;
    state.setIn = !!cur && cur.indent > 0.7 * item.size && cur.lines.every((l) => Math.abs(l.x - cur.lines[0].x) < 0.5 * item.size);
    if (!cur || startsBlock(cur.lines[cur.lines.length - 1], item, state)) {
      // A heading seen here starts or ends the references for the lines after it.
      const said = cur && cur.lines.map((l) => l.text.trim()).join(" ");
      if (cur && cur.lines.length <= 2 && (cur.lines.every((l) => l.bold || l.size > ctx.body * 1.1) ||
        (cur.lines.length === 1 && BARE_HEADING.test(said)))) {
        state.references = REFERENCE_HEADING.test(said);
      }
      // How far the block's first line is set in from its column's margin.
      cur = { kind: null, lines: [], indent: item.x - column(item).x0 };
      raw.push(cur);
    }
    cur.lines.push(item);
    // Whether the block's last line runs to its column's right edge.
    cur.full = column(item).x1 - (item.x + item.w) < item.size;
  }
  return raw;
}

// The page's blocks, each with its text and kind, and whether the
// references run at the page's end (their type size once known).
// `around` is what a block's kind depends on around it (textAround).
function pageBlocks(raw, page, ctx, { underRule, textBelow }) {
  const blocks = [];
  const around = raw.flatMap((b) => b.lines);
  let references = ctx.references;
  for (const b of raw) {
    if (b.kind === "cutout") {
      blocks.push(cutoutBlock(b, page));
      continue;
    }
    const { block, box } = textBlock(b, page, around);
    // Once known, the references' type size goes with them (a number in
    // place of true); larger type after them ends them (an appendix).
    const size = Math.max(...b.lines.map((l) => l.size));
    if (typeof references === "number" && size > references + 1) references = false;
    block.kind = classify(block, { ...ctx, references, height: page.height, textBelow, underRule, prev: blocks[blocks.length - 1] });
    // (A numbered heading in italic is a low one, inside a section on
    // references as often as not: it starts none.)
    if (block.kind === "heading") {
      references = REFERENCE_HEADING.test(block.text.trim()) && !italicNumbered(b.lines[0], block.text);
    } else if (block.kind === "reference" && references === true) references = size;
    if ((block.kind === "paragraph" || block.kind === "list") && looksLikeFormula(b.lines, ctx.body)) {
      block.kind = "cutout";
      block.formula = true;
    }
    block.region = fractions(box, page, 2);
    if (block.kind === "heading") block.level = headingLevel(block, ctx, page);
    blocks.push(block);
  }
  letteredItems(blocks);
  markReferenceRuns(blocks);
  markTableNotes(blocks, ctx.body);
  return { blocks, references };
}

// Lettered lines one right under the other are a list's items, bold or
// not: a lettered heading has text of its own under it.
function letteredItems(blocks) {
  for (let i = 0; i + 1 < blocks.length; i++) {
    const [a, b] = [blocks[i], blocks[i + 1]];
    if (!LETTERED_HEADING.test(a.text) || !LETTERED_HEADING.test(b.text) || (a.kind !== "heading" && b.kind !== "heading")) continue;
    for (const item of [a, b]) {
      item.kind = "list";
      delete item.level;
    }
  }
}

// The notes right under a table, in type smaller than the body's, each
// starting with its mark ("a Some tables need footnotes."), are the
// table's, as its caption is: text that the table cuts goes on past them.
// (So are such notes at the page's foot, under a table closing a column.)
function markTableNotes(blocks, body) {
  const over = blocks.filter((b) => b.kind === "cutout" && b.table);
  if (!over.length) return;
  for (const b of blocks.filter((b) => b.kind === "paragraph" || b.kind === "footnote").sort((a, c) => a.y - c.y)) {
    if (!NOTE_MARK.test(b.text) || Math.max(...b.lines.map((l) => l.size)) > 0.9 * body) continue;
    // (A note's lines may reach into those of the note under it.)
    if (over.some((t) => b.y > t.y + (t.kind === "caption" ? 0 : t.h - 2) && b.y - (t.y + t.h) < 1.5 * body &&
      b.x < t.x + t.w && t.x < b.x + b.w)) {
      b.kind = "caption";
      over.push(b);
    }
  }
}

// A figure, table or display as the page's image, with the text it holds.
function cutoutBlock(b, page) {
  const joined = joinLines(b.lines.slice().sort((a, c) => a.y - c.y || a.x - c.x));
  // The cut-out takes the whole boxes of the text it holds.
  const area = b.lines.length ? unionBox(b.area, bounds(b.lines)) : b.area;
  return { kind: "cutout", table: !!b.area.table, region: fractions(area, page), lines: b.lines,
    text: joined.text, map: joined.map, ...area, ...(b.area.formula ? { formula: true } : {}) };
}

// A block of text, not yet classified (a paragraph), and the box of its
// lines.
function textBlock(b, page, around) {
  // (A listing's guard line left on its own, at a page's top or after a
  // remark, is a listing of one line.)
  const listing = b.lines.every(typewritten) && (b.lines.length > 1 || GUARD.test(b.lines[0].text.trim()));
  const row = b.lines.length === 1 && b.lines[0].row;
  // A block is set as code only when its lines are code: a sentence that
  // names a few commands in typewriter face is set as prose; a listing is
  // code from its first line, a line of guards in their own face too.
  if (!!b.lines[0].mono !== listing && (listing || !b.lines.every(typewritten))) b.lines = [{ ...b.lines[0], mono: listing }, ...b.lines.slice(1)];
  const joined = listing ? joinListing(b.lines) : joinLines(b.lines);
  // A table's cells stay apart by an em space.
  if (row) {
    const text = joined.text.split("");
    joined.map.forEach((origin, k) => {
      if (k > 0 && origin && row.includes(origin[1]) && joined.text[k - 1] === " ") text[k - 1] = "\u2003";
    });
    joined.text = text.join("");
  }
  const box = bounds(b.lines);
  const block = { kind: "paragraph", lines: b.lines, text: joined.text, map: joined.map, indent: b.indent, full: !!b.full, ...box };
  if (listing) block.listing = true;
  if (joined.dropped.length) block.glyphs = glyphWords(b.lines, joined, page, around);
  return { block, box };
}

// The blocks in reading order with the page's footnotes after them.
function footnotesLast(blocks) {
  const kept = [];
  const footnotes = [];
  for (const b of blocks) {
    if (b.kind === "footnote") footnotes.push(b);
    else kept.push(b);
  }
  return kept.concat(footnotes);
}

// Each footnote, with the parts of it that go on in the next column, goes
// right after the paragraph that calls it by its raised mark, after the
// parts of that paragraph that go on past a column or a display; a note
// whose mark no text of the page shows stays at the page's end.
function notesAfterMarks(all) {
  const notes = all.filter((b) => b.kind === "footnote" && !b.continues);
  const placed = new Set();
  for (const note of notes) {
    // (A letter marks a note when a capital starts its text: "aAnd so".)
    const mark = (note.text.match(/^\s*(\d{1,3}|[∗*†‡§¶⋆]{1,3}|[a-z](?=\s?\p{Lu}))/u) || [])[1];
    // (A table's notes stay after the table, whichever row calls them.)
    const caller = mark && all.find((b) => (b.kind === "paragraph" || b.kind === "list") &&
      b.lines.some((l) => (l.marks || []).includes(mark) && !l.row));
    if (!caller) continue;
    const from = all.indexOf(note);
    let to = from + 1;
    while (to < all.length && all[to].kind === "footnote" && all[to].continues) to++;
    const moved = all.splice(from, to - from);
    let at = all.indexOf(caller) + 1;
    while (at < all.length && (all[at].continues || placed.has(all[at]) ||
      (all[at].formula && all.slice(at).find((b) => !b.formula)?.continues))) at++;
    all.splice(at, 0, ...moved);
    moved.forEach((b) => placed.add(b));
  }
}

// The byline under a paper's title: authors and affiliations, set apart.
function markByline(all, page) {
  if (page.page === 0 && all[0] && all[0].kind === "heading") {
    for (let i = 1; i < all.length && all[i].kind === "paragraph" && all[i].text.length < 200 &&
      all[i].lines.length <= 4 && !/^(abstract|摘要)/i.test(all[i].text); i++) all[i].front = true;
  }
}

// Paragraphs broken by a column or a figure go on in the next paragraph.
// It is set inside the paragraph it goes on unless a display formula stands
// between them: the text after a formula stays after it.
function markContinued(all) {
  for (let i = 1; i < all.length; i++) {
    const a = prevText(all, i);
    if (a && referenceGoesOn(a, all[i])) {
      all[i].continues = true;
      all[i].joins = true;
    } else if (a && continues(a, all[i], all[i].y < a.y)) {
      // Nor is text set inside a listing, or a listing inside text.
      all[i].continues = true;
      all[i].joins = !code(a) && !code(all[i]) && !all.slice(all.indexOf(a) + 1, i).some((b) => b.formula);
    }
  }
}

// Whether a block is set as code: a listing, or a line of code on its own
// (a command shown between the parts of a sentence).
function code(b) {
  return !!b.listing || !!(b.lines && b.lines[0] && b.lines[0].mono);
}

const NUMBERED_REFERENCE = /^\[\d{1,4}\]\s/;

// A run of blocks starting [1], [2], ... is a list of references even without
// a heading over it; a piece between two of them that starts without a number
// is the rest of the one before.
function markReferenceRuns(blocks) {
  const numbered = blocks.filter((b) => b.kind !== "heading" && NUMBERED_REFERENCE.test(b.text));
  if (numbered.length < 2) return;
  let last = null;
  for (let i = 0; i < blocks.length; i++) {
    const b = blocks[i];
    if (b.kind === "heading" || b.kind === "cutout" || b.kind === "caption") { last = null; continue; }
    if (NUMBERED_REFERENCE.test(b.text)) {
      b.kind = "reference";
      last = b;
    } else if (last && b.kind !== "footnote" && Math.abs(b.lines[0].size - last.lines[0].size) < 0.6) {
      b.kind = "reference";
      b.continues = true;
      b.joins = true;
    }
  }
}

const MATH_WORDS = /^(lim|max|min|sup|inf|log|exp|sin|cos|tan|arg|det|mod|and|for|if|where|s\.t\.)$/;
const MATH_NAMES = /^(lim|max|min|sup|inf|log|exp|sin|cos|tan|arg|det|mod)$/;

// A short piece with no words in it (a limit, a subscript, an equation
// number) standing next to a display formula belongs to it.
function formulaPiece(b, body) {
  if (b.kind === "caption" || b.kind === "cutout" && !b.formula) return false;
  if (b.formula) return true;
  const words = (b.text.match(/\p{L}{3,}/gu) || []).filter((w) => !MATH_WORDS.test(w));
  if (b.kind === "heading" && !/[=+−<>^_∑∫]|\d/.test(b.text)) return false;
  // A few words of text at the column's margin lead into the display ("By
  // (38)") or join two ("where", "and"): they are no piece of it.
  const lead = b.indent < 0.5 * b.lines[0].size && b.lines.every((l) => !l.math) &&
    (b.text.match(/\p{L}{2,}/gu) || []).some((w) => !MATH_NAMES.test(w));
  return b.text.length <= 16 && words.length === 0 && !lead && b.lines.length <= 3 && b.lines[0].size <= body * 1.3;
}

// Runs of formula lines and their pieces become one cut-out.
function mergeFormulas(blocks, body, page) {
  const out = [];
  let run = [];
  const flush = () => {
    if (run.some((b) => b.formula)) {
      const lines = run.flatMap((b) => b.lines);
      const box = bounds(lines);
      const joined = joinLines(lines);
      out.push({ kind: "cutout", formula: true, lines, text: joined.text, map: joined.map, ...box,
        region: fractions(box, page, 3) });
    } else {
      out.push(...run);
    }
    run = [];
  };
  for (const b of blocks) {
    const near = run.length && b.lines && Math.abs(b.y - (run[run.length - 1].y + run[run.length - 1].h)) < 2.5 * body;
    if (b.lines && formulaPiece(b, body) && (!run.length || near)) {
      run.push(b);
      continue;
    }
    flush();
    if (b.lines && formulaPiece(b, body)) run.push(b);
    else out.push(b);
  }
  flush();
  // Pieces of one display whose boxes overlap (a tall delimiter beside the
  // lines it encloses) are one cut-out.
  const merged = [];
  for (let b of out) {
    if (b.formula && b.lines) {
      // Back over the formula cut-outs just before it, taking in each that
      // overlaps what it has become.
      for (let i = merged.length - 1; i >= 0 && merged[i].formula && merged[i].lines; i--) {
        const prev = merged[i];
        if (!overlapBoxes(prev, b)) continue;
        const lines = prev.lines.concat(b.lines);
        const box = unionBox(prev, b);
        const joined = joinLines(lines);
        b = { ...prev, lines, text: joined.text, map: joined.map, ...box, region: fractions(box, page, 3) };
        merged.splice(i, 1);
      }
    }
    merged.push(b);
  }
  return growFormulas(merged, body, page);
}

// A display formula is one cut-out with every glyph of it: pieces that the
// lines around it left behind in its band (a limit under a sum, a script
// set apart as a note at the foot of the page, its number, the text of a
// line the sum's scripts split) go into it, as does a number set on the
// line under it. Prose in the band (words, no math) stays text.
function growFormulas(blocks, body, page) {
  const words = (b) => (b.text.match(/\p{L}{4,}/gu) || []).filter((w) => !MATH_WORDS.test(w)).length;
  const math = (b) => {
    let m = 0, n = 0;
    for (const l of b.lines) { m += l.math || 0; n += l.text.replace(/\s/g, "").length; }
    return n ? m / n : 0;
  };
  const numberLine = (b) => b.lines.length === 1 && EQUATION_NUMBER.test(b.text.trim());
  // A "table" of math alone is a formula whose fraction bars looked like
  // rules. Limits in script size may be words ("perm" under a sum).
  const piece = (b) => b.lines && b.lines.length && !b.formula && b.kind !== "caption" &&
    (b.kind !== "cutout" || (b.table && math(b) >= 0.5 && words(b) === 0)) &&
    (b.lines.length <= 3 || b.kind === "cutout") && b.text.length <= 80 &&
    (numberLine(b) || (math(b) >= 0.25 && words(b) <= 2) || (b.text.length <= 16 && words(b) === 0) ||
      (b.text.length <= 16 && words(b) <= 2 && b.lines.every((l) => l.size < 0.85 * body)));
  // A short line standing inside a display, between its pieces, is one of
  // its rows ("0, otherwise." under "n!, if l = 1" in a case split): it
  // starts where a piece or a character of the display above it starts.
  const row = (b, f) => b.lines && b.lines.length <= 2 && b.kind !== "caption" && b.kind !== "cutout" &&
    b.text.length <= 24 && words(b) <= 1 && b.x > f.x + body && b.x < f.x + f.w - body &&
    f.lines.some((l) => l.y < b.y && (Math.abs(l.x - b.x) < 1.5 ||
      (l.cx && l.cx.some((x, k) => k % 2 === 0 && Math.abs(x - b.x) < 1.5))));
  const inBand = (b, f) => {
    const top = Math.max(b.y, f.y), bottom = Math.min(b.y + b.h, f.y + f.h);
    return bottom - top > 0.3 * Math.min(b.h, f.h) && b.x < f.x + f.w + 4 * body && b.x + b.w > f.x - 4 * body;
  };
  const under = (b, f) => numberLine(b) && b.y >= f.y + f.h - 2 && b.y - (f.y + f.h) < 1.2 * body &&
    b.x + b.w > f.x + 0.5 * f.w;
  // Limits set in script size just over or under a formula, within its width
  // (the body's size is a script's under a display set large).
  const limit = (b, f) => b.lines.every((l) => l.size < 0.85 * Math.max(body, ...f.lines.map((m) => m.size))) &&
    b.x > f.x - 2 && b.x + b.w < f.x + f.w + 2 &&
    (b.y - (f.y + f.h) < 0.6 * body && b.y > f.y || f.y - (b.y + b.h) < 0.6 * body && b.y < f.y);
  let out = blocks.slice();
  for (let i = 0; i < out.length; i++) {
    let f = out[i];
    if (!f.formula || !f.lines) continue;
    for (let grown = true; grown;) {
      grown = false;
      for (let j = 0; j < out.length; j++) {
        const b = out[j];
        if (j === i || !b.lines || !b.lines.length) continue;
        if (!((b.formula || piece(b)) && (inBand(b, f) || limit(b, f))) && !(piece(b) && under(b, f)) &&
          !(row(b, f) && inBand(b, f))) continue;
        const lines = f.lines.concat(b.lines);
        const box = unionBox(f, bounds(b.lines));
        // Never across text that stays out (a formula of the next column
        // on the same height with the column's lines around it).
        const inside = (l) => l.x + l.w / 2 > box.x && l.x + l.w / 2 < box.x + box.w &&
          l.y + l.h / 2 > box.y && l.y + l.h / 2 < box.y + box.h;
        if (out.some((o, k) => k !== i && k !== j && o.lines && o.kind !== "cutout" && !piece(o) && !row(o, f) && o.lines.some(inside))) continue;
        const joined = joinLines(lines.slice().sort((a, c) => a.y - c.y || a.x - c.x));
        f = { ...f, lines, text: joined.text, map: joined.map, ...box, region: fractions(box, page, 3) };
        out.splice(j, 1);
        if (j < i) i--;
        out[i] = f;
        grown = true;
        break;
      }
    }
  }
  return out;
}

// A formula's cut-out shows none of the text around it: glyph boxes of
// large delimiters and the padding reach into the lines above and below,
// so its top and bottom stop where those lines' boxes begin. A line counts
// as above or below when most of it lies outside the formula's own box
// (text beside a formula, within its height, is left alone).
function clipFormulas(blocks, page) {
  const text = blocks.filter((b) => b.kind !== "cutout" && b.lines).flatMap((b) => b.lines);
  for (const f of blocks) {
    if (!f.formula || !f.lines) continue;
    let [x, y0, w, h] = f.region;
    x *= page.width; w *= page.width; y0 *= page.height;
    let y1 = y0 + h * page.height;
    for (const l of text) {
      if (l.x >= x + w || l.x + l.w <= x) continue;
      // The ink of a line ends about a quarter of its size under its
      // baseline and starts about three quarters over it, whatever boxes
      // its font gives.
      const bottom = l.base ? Math.min(l.y + l.h, l.base + 0.25 * l.size) : l.y + l.h;
      const top = l.base ? Math.max(l.y, l.base - 0.75 * l.size) : l.y;
      if (l.y + 0.5 * l.h < f.y && bottom > y0) y0 = bottom;
      else if (l.y + 0.5 * l.h > f.y + f.h && top < y1) y1 = top;
    }
    if (y1 > y0) f.region = [f.region[0], y0 / page.height, f.region[2], (y1 - y0) / page.height];
  }
  return blocks;
}

function overlapBoxes(a, b) {
  return a.x < b.x + b.w + 3 && b.x < a.x + a.w + 3 && a.y < b.y + b.h + 2 && b.y < a.y + a.h + 2;
}

function prevText(blocks, i) {
  for (let j = i - 1; j >= 0; j--) {
    if (blocks[j].kind === "paragraph" || blocks[j].kind === "list" || blocks[j].kind === "reference" ||
        blocks[j].kind === "footnote") return blocks[j];
    if (blocks[j].kind === "heading") return null;
  }
  return null;
}

// Whether reference b is the rest of reference a, broken by the end of a
// column or a page: b does not start an entry (no number where the entries
// have numbers; set in from the margin where the entries hang, or mid-sentence
// after an entry that did not end).
function referenceGoesOn(a, b) {
  if (!a || !b || a.kind !== "reference" || b.kind !== "reference" || !a.text || !b.text) return false;
  if (REFERENCE_START.test(b.text)) return false;
  if (REFERENCE_START.test(a.text)) return true;
  const size = b.lines[0].size;
  if (Math.abs(a.lines[0].size - size) > 0.9) return false;
  const hangs = b.indent > 0.7 * size && b.indent < 4 * size && b.lines.every((l) => Math.abs(l.x - b.lines[0].x) < 0.5 * size);
  return hangs || (!endsSentence(a.text) && continuesSentence(b.text));
}

// Whether block b carries on the text of block a (same kind, a not finished,
// b starting mid-sentence). A bracket closed mid-sentence ("italic (i. e.,
// \textit)") at the end of a full last line of a paragraph finishes nothing.
// `broken`: b stands in the next column or on the next page.
export function continues(a, b, broken = false) {
  if (!a || !b || a.kind !== b.kind || !a.text || !b.text) return false;
  // A table's row ends with its row.
  if (a.lines.some((l) => l.row) || b.lines.some((l) => l.row)) return false;
  if (a.kind !== "paragraph" && a.kind !== "footnote") return false;
  if (Math.abs(a.lines[0].size - b.lines[0].size) > 0.9) return false;
  if (endsSentence(a.text) && !(/[^.!?]\)\s*$/.test(a.text) && fullLast(a))) return false;
  // A paragraph cut by the end of a column or a page after a word in lower
  // case at the end of a full line goes on in text at the margin of the
  // next, whatever word that starts with ("a simple use of" | "BibTeX via"),
  // when that text is set in the same type. Lines set flush right or
  // centred (an address under an author's name) all reach the edge: such a
  // block ends with its own last line.
  const cut = broken && a.kind === "paragraph" && a.full && flushLeft(a) && /\p{Ll}$/u.test(a.text.trim()) && /^\p{L}/u.test(b.text) &&
    b.indent < 0.7 * b.lines[0].size && Math.abs(a.lines[a.lines.length - 1].size - b.lines[0].size) < 0.5 && !code(a) && !code(b);
  return continuesSentence(b.text) || /-$/.test(a.text) || cut;
}

// Whether a block's last line starts at its column's margin, or, the
// block's only line, where a paragraph's first line is set in.
function flushLeft(b) {
  const last = b.lines[b.lines.length - 1];
  const margin = b.indent + last.x - b.lines[0].x;
  return margin < (b.lines.length > 1 ? 0.7 : 4) * last.size;
}

// Whether a block of lines runs to its last line's end: that line, of a
// few words at least (a label in a drawing has one or two), reaches as far
// right as the block's others.
function fullLast(b) {
  const last = b.lines[b.lines.length - 1];
  return b.lines.length > 1 && last.text.trim().split(/\s+/).length >= 4 &&
    last.x + last.w >= Math.max(...b.lines.map((l) => l.x + l.w)) - 2 * last.size;
}

function headingLevel(block, ctx, page) {
  const size = block.lines[0].size;
  if (page.page === 0 && size >= ctx.body * 1.45) return 1;
  if (size >= ctx.body * 1.12) return 2;
  return 3;
}

// Whether the first text of a page goes on from the last text of the page
// before it; marks that block. Notes at the foot of the page before and
// floats at the top of this one are passed over, as the reader's eye does.
export function linkPages(before, after) {
  if (!before || !after) return;
  // Figures and tables set at the top of the page (and their captions) are
  // passed over: a sentence goes on after the float that cut it.
  const first = after.blocks.find((b) => b.kind !== "cutout" && b.kind !== "caption");
  if (!first || first.kind === "heading") return;
  let last = null;
  for (let i = before.blocks.length - 1; i >= 0 && !last; i--) {
    const b = before.blocks[i];
    if (b.kind === first.kind) last = b;
    else if (b.kind === "heading") break;
  }
  // A reference goes on at the top of the next page.
  if (referenceGoesOn(last, first)) {
    first.continues = true;
    first.joins = true;
    return;
  }
  if (last && continues(last, first, true)) {
    first.continues = true;
    first.joins = !code(last) && !code(first) &&
      !before.blocks.slice(before.blocks.indexOf(last) + 1).some((b) => b.formula) &&
      !after.blocks.slice(0, after.blocks.indexOf(first)).some((b) => b.formula);
  }
}

// Lays out a whole recorded document at once (tests and tools; the page
// itself lays out page by page with the same context).
export function layoutDocument(pages) {
  const ctx = documentContext(pages);
  const out = [];
  for (const page of pages) {
    const laid = layoutPage(page, ctx);
    ctx.references = laid.references;
    linkPages(out[out.length - 1], laid);
    out.push(laid);
  }
  return out;
}

// What a document's pages say about all of them: body size, each page's
// signature (for its neighbours' furniture).
export function documentContext(pages) {
  return { body: bodySize(pages), signatures: new Map(pages.map((p) => [p.page, pageSignature(p)])), references: false };
}
