// Text of a block as the reader sees it: lines joined, hyphenation at line
// ends undone, ligatures and odd spacing cleaned, CJK set without spaces.
// Every character of the result remembers where it came from on the page, so
// that offsets map back to places on the PDF page.

const LIGATURES = {
  "\uFB00": "ff", "\uFB01": "fi", "\uFB02": "fl", "\uFB03": "ffi", "\uFB04": "ffl",
  "\uFB05": "st", "\uFB06": "st", "\u00AD": "",
};
const SPACES = /[\s\u00A0\u2000-\u200B\u202F\u205F\u3000]/;

// CJK ideographs, kana, hangul and full-width punctuation: no spaces around them.
export function isCJK(ch) {
  if (!ch) return false;
  const c = ch.codePointAt(0);
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
    (c >= 0x3000 && c <= 0x303F) || (c >= 0x20000 && c <= 0x2FFFF);
}

const LOWER = /\p{Ll}/u;
const LETTER = /\p{L}/u;

// Joins the lines of one block. Each line is { text, cx } where cx holds the
// left and right x of every UTF-16 unit. Returns { text, map, dropped } where
// map[i] is [lineIndex, unitIndex] of text[i], or null for a space put in
// between. Glyphs that the font maps to no character (U+FFFD) are left out
// of the text; `dropped` holds each as { at, line, unit }, `at` being the
// offset in the text where it stood.
export function joinLines(lines) {
  let text = "";
  const map = [];
  const dropped = [];
  const push = (s, origin) => {
    for (let k = 0; k < s.length; k++) {
      text += s[k];
      map.push(origin);
    }
  };
  lines.forEach((line, li) => {
    const raw = line.text;
    let start = 0;
    let end = raw.length;
    while (start < end && SPACES.test(raw[start])) start++;
    while (end > start && SPACES.test(raw[end - 1])) end--;
    if (start >= end) return;
    // The seam with the previous line.
    if (text.length) {
      const last = text[text.length - 1];
      const first = raw[start];
      if (last === "-" && text.length >= 3 && LETTER.test(text[text.length - 2]) &&
          LETTER.test(text[text.length - 3]) && LOWER.test(first)) {
        text = text.slice(0, -1);
        map.pop();
      } else if (!(isCJK(last) && isCJK(first)) && last !== "/" && last !== "\u2014") {
        push(" ", null);
      }
    }
    let pendingSpace = false;
    for (let i = start; i < end; i++) {
      const ch = raw[i];
      if (SPACES.test(ch)) {
        pendingSpace = true;
        continue;
      }
      if (pendingSpace) {
        pendingSpace = false;
        const prev = text[text.length - 1];
        const betweenCJK = isCJK(prev) && isCJK(ch);
        const beforeClosing = /[,;:!?)\]]/.test(ch) || (ch === "." && !LETTER.test(raw[i + 1] || ""));
        if (text.length && !betweenCJK && !beforeClosing) push(" ", null);
      }
      if (ch === "\uFFFD") {
        if (pendingSpace && text.length && !SPACES.test(text[text.length - 1])) push(" ", null);
        pendingSpace = false;
        dropped.push({ at: text.length, line: li, unit: i });
        continue;
      }
      const clean = LIGATURES[ch];
      if (clean !== undefined) push(clean, [li, i]);
      else push(ch, [li, i]);
    }
  });
  return { text, map, dropped };
}

// A stable 32-bit hash of a text, as eight lower-case hex digits.
export function hash8(text) {
  let h = 0x811c9dc5;
  for (let i = 0; i < text.length; i++) {
    h ^= text.charCodeAt(i);
    h = Math.imul(h, 0x01000193) >>> 0;
  }
  return h.toString(16).padStart(8, "0");
}

// The identifier of a block: its page, its number on the page and a hash of
// its text, so a correction stays with the same block while the layout does
// not change and is dropped when it does.
export function blockKey(page, index, text) {
  const p = Math.max(0, Math.min(99999, page | 0));
  const b = Math.max(0, Math.min(99999, index | 0));
  return `${p}:${b}:${hash8(text.replace(/\s+/g, " ").trim())}`;
}

export const KEY_FORM = /^\d{1,5}:\d{1,5}:[a-f0-9]{8}$/;

// Whether the text reads as finished: the next block then starts afresh.
export function endsSentence(text) {
  return /[.!?。！？:：;；)"”’]\s*$/.test(text) || /\d\s*$/.test(text) && text.length < 40;
}

// Whether a text goes on a sentence that stopped: lower-case start, or a
// start that is plainly not a new sentence.
export function continuesSentence(text) {
  const t = text.trimStart();
  if (!t) return false;
  if (LOWER.test(t[0])) return true;
  return /^[,;)\]]/.test(t) || (isCJK(t[0]) && !/^[图表]\s*\d/.test(t));
}
