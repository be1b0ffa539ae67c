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

function inBand(line, page) {
  return line.y < page.height * BAND || line.y + line.h > page.height * (1 - BAND);
}

// A line's text with its numbers taken out, so that "Page 3" and "Page 4" or
// a header with the page number in it compare equal.
export function runningForm(text) {
  return text.replace(/\s+/g, "").replace(/\d+/g, "#").toLowerCase();
}

const PAGE_NUMBER = /^(page\s*)?(\d{1,4}|[ivxlc]{1,6})(\s*(of|\/)\s*\d{1,4})?$|^[-–—]\s*\d{1,4}\s*[-–—]$|^第\s*\d+\s*页/i;

// The running forms that stand in the top or bottom band of at least two of
// the given pages: headers and footers that repeat.
export function repeatedBands(pages) {
  const seen = new Map();
  for (const page of pages) {
    const forms = new Set();
    for (const line of page.lines) if (inBand(line, page)) forms.add(runningForm(line.text));
    for (const form of forms) seen.set(form, (seen.get(form) || 0) + 1);
  }
  const repeated = new Set();
  for (const [form, n] of seen) if (n >= 2 && form.length > 1) repeated.add(form);
  return repeated;
}

// Whether a line is a running header, footer or page number of its page.
// Page numbers and repeated lines in the top and bottom bands.
export function isRunning(line, page, repeated) {
  if (!inBand(line, page)) return false;
  const text = line.text.trim();
  if (PAGE_NUMBER.test(text)) return true;
  return repeated.has(runningForm(text));
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
  const numbered = /\(\s*\d+(\.\d+)?[a-z]?\s*\)\s*$/.test(lines[lines.length - 1].text.trim());
  if (math / visible > 0.45) return true;
  if (numbered && (math + signs) / visible > 0.12) return true;
  const words = lines.map((l) => l.text).join(" ").match(/\p{L}{4,}/gu) || [];
  return signs >= 2 && words.length <= 2 && lines[0].size <= body * 1.3 && math / visible > 0.2;
}
