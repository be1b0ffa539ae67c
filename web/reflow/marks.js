// The paper's highlights, underlines and strike-outs, and the places of its
// notes, drawn in the reflowed text.

import { rangeUnder, findQuote } from "./study-rules.js";
import { wrapRange, unwrapAll } from "./study.js";
import { overlaps, readRegion } from "./place.js";

// How a mark of a kind is drawn: a highlight tints its letters, an
// underline, a strike-out and a squiggle draw their lines; a note (its icon
// on the page, or a text box) marks its place with a bar over its first word and
// colours no text. A kind not known is drawn as a highlight.
export function markForm(kind) {
  switch (kind) {
  case "underline": case "strikeout": case "squiggly": return kind;
  case "text": case "freetext": return "pin";
  default: return "highlight";
  }
}

// Where a note's mark stands in text[start, end): from its first letter to
// the end of that word, at most 16 characters.
export function firstWord(text, [start, end]) {
  let from = start;
  while (from < end - 1 && /\s/.test(text[from])) from++;
  let to = from + 1;
  while (to < text.length && to - from < 16 && !/\s/.test(text[to])) to++;
  return [from, to];
}

// The word under the middle of a sticky note's icon (`rect`, page
// fractions, the page as read), as { block, range }, or null when no letter
// lies under the icon. The icon is taller than a line and covers parts of
// the lines above and below as well: the line nearest its middle, and the
// letter of that line nearest it, name the word.
export function wordUnderIcon(page, rect) {
  const mx = (rect[0] + rect[2] / 2) * page.width, my = (rect[1] + rect[3] / 2) * page.height;
  let best = null, bestY = Infinity, bestX = Infinity;
  for (const block of page.blocks) {
    if (!block.map || !block.region || !overlaps(block.region, rect)) continue;
    const under = rangeUnder(block, rect, page.width, page.height);
    for (let i = under ? under[0] : 0; under && i < under[1]; i++) {
      const origin = block.map[i];
      const line = origin && block.lines[origin[0]];
      if (!line || !line.cx) continue;
      const dy = Math.abs(line.y + line.h / 2 - my);
      const dx = Math.abs((line.cx[2 * origin[1]] + line.cx[2 * origin[1] + 1]) / 2 - mx);
      if (dy < bestY || (dy === bestY && dx < bestX)) {
        best = { block, at: i };
        bestY = dy;
        bestX = dx;
      }
    }
  }
  if (!best) return null;
  const text = best.block.text;
  let from = best.at;
  while (from > 0 && best.at - from < 15 && !/\s/.test(text[from - 1])) from--;
  return { block: best.block, range: firstWord(text, [from, from + 1]) };
}

// `flow` is the text; `laid(page)` a page laid out, or none.
export function createMarks({ flow, laid }) {
  // The native side's annotations of the pages on screen, one fragment a line.
  let annotations = [];

  // Takes the annotations the native side sent; whether they differ from
  // those before.
  function set(given) {
    const next = Array.isArray(given) ? given : [];
    const changed = JSON.stringify(next) !== JSON.stringify(annotations);
    annotations = next;
    return changed;
  }

  function draw() {
    unwrapAll(flow, "mark.note");
    // The native side sends one fragment per line of an annotation; the ranges
    // of one annotation in one block are drawn as one, across the spaces
    // between lines.
    const spans = new Map();
    // A note's place is drawn once, in the first block that holds it.
    const placed = new Set();
    for (const f of annotations) {
      if (!f || !Array.isArray(f.rect) || f.rect.length !== 4) continue;
      const page = laid(f.page);
      if (!page) continue;
      const rect = readRegion(f.rect, page.turn);
      // A sticky note marks the word under its icon.
      const icon = f.kind === "text" && !placed.has(f.id) ? wordUnderIcon(page, rect) : null;
      if (icon) {
        placed.add(f.id);
        spans.set(`${icon.block.key} ${f.id}`, { block: icon.block, f, ranges: [icon.range] });
        continue;
      }
      for (const block of page.blocks) {
        if (!block.map || !block.region || !overlaps(block.region, rect)) continue;
        let range = rangeUnder(block, rect, page.width, page.height);
        if (!range && f.quote) range = findQuote(block.text, f.quote, f.before, f.after);
        if (!range) continue;
        if (markForm(f.kind) === "pin") {
          if (placed.has(f.id)) continue;
          placed.add(f.id);
        }
        const id = `${block.key} ${f.id}`;
        const span = spans.get(id);
        if (!span) spans.set(id, { block, f, ranges: [range] });
        else span.ranges.push(range);
      }
    }
    for (const { block, f, ranges } of spans.values()) {
      const el = flow.querySelector(`.part[data-key="${block.key}"]`);
      if (!el) continue;
      ranges.sort((a, b) => a[0] - b[0]);
      const merged = [];
      for (const r of ranges) {
        const last = merged[merged.length - 1];
        if (last && (r[0] <= last[1] || !block.text.slice(last[1], r[0]).trim())) last[1] = Math.max(last[1], r[1]);
        else merged.push(r.slice());
      }
      const color = Array.isArray(f.color) ? f.color.map((v) => Math.round(Math.max(0, Math.min(1, Number(v) || 0)) * 255)) : [255, 214, 0];
      const form = markForm(f.kind);
      const drawn = form === "pin" ? [firstWord(block.text, merged[0])] : merged;
      for (const [start, end] of drawn) {
        wrapRange(el, start, end, () => {
          const m = document.createElement("mark");
          m.className = "note " + form;
          m.dataset.id = String(f.id || "");
          m.style.setProperty("--note", `${color[0]}, ${color[1]}, ${color[2]}`);
          if (f.note) m.title = String(f.note);
          return m;
        });
      }
    }
  }

  return { set, draw };
}
