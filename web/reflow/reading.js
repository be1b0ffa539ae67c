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

// The words of a page's lines in lower case, hyphenated compounds whole; a
// word broken at a line's end is left out. Kept with the page's text.
const PAGE_WORDS = new WeakMap();
export function pageWords(page) {
  let words = PAGE_WORDS.get(page);
  if (!words) {
    words = new Set();
    for (const line of page.lines || []) {
      const found = line.text.toLowerCase().match(/[\p{L}\p{N}]+(?:-[\p{L}\p{N}]+)*-?/gu) || [];
      found.forEach((word, i) => { if (!(i === found.length - 1 && word.endsWith("-"))) words.add(word); });
    }
    PAGE_WORDS.set(page, words);
  }
  return words;
}

// The words of the pages around the one being laid out (a predicate), for
// telling a hyphen at a line's end that breaks a word from one that joins
// a compound; set while that page is laid out.
let knownWords = null;
export function withWords(words, lay) {
  const before = knownWords;
  knownWords = words;
  try {
    return lay();
  } finally {
    knownWords = before;
  }
}

// How a line's text goes on from the text before it: `drop`, the hyphen
// that broke a word is taken out; `space`, a space goes in between.
// - A web address broken after one of its separators goes on as it is.
// - A hyphen after a letter or digit stays, without a space ("camera-ready",
//   "MN-RAS", "10-20"), except where it broke a word: before a lower-case
//   letter, unless the paper writes the compound with its hyphen and never
//   the word without; before a capital, where the paper writes the word
//   without it ("MNRAS").
// - Otherwise a space, but between CJK characters and after a slash or a
//   dash.
export function seam(before, after, words = knownWords) {
  const last = before[before.length - 1];
  const first = after[0];
  if (!last || !first) return { drop: false, space: false };
  // (The last word found from the end: a search for /\S*$/ would try every
  // place in what came before, the whole of a long paragraph.)
  let from = before.length;
  while (from > 0 && !/\s/.test(before[from - 1])) from--;
  const token = before.slice(from);
  const next = /^\S*/.exec(after)[0];
  if (/^[(<\[]?(?:https?:|ftp:|www\.|doi:)/i.test(token) && /[/.:\-_?#=&~%]$/.test(token) &&
      /^[\p{L}\p{N}/~%?#&=_.-]/u.test(next) && !(last === "." && /^\p{Lu}/u.test(next))) {
    return { drop: false, space: false };
  }
  if ((last === "-" || last === "\u2013") && /[\p{L}\p{N}]/u.test(before[before.length - 2] || "")) {
    if (last === "\u2013") return { drop: false, space: false };
    const stem = (/[\p{L}\p{N}]+$/u.exec(before.slice(0, -1)) || [""])[0].toLowerCase();
    const rest = (/^[\p{L}\p{N}]+/u.exec(after) || [""])[0].toLowerCase();
    const knows = (word) => !!(words && rest && words(word));
    const compound = knows(stem + "-" + rest), joined = knows(stem + rest);
    const broken = LOWER.test(first) && stem.length >= 2 && LETTER.test(stem[stem.length - 1]) && LETTER.test(stem[stem.length - 2]);
    if (compound && !joined) return { drop: false, space: false };
    if (joined && !compound) return { drop: true, space: false };
    return { drop: broken, space: false };
  }
  return { drop: false, space: !(isCJK(last) && isCJK(first)) && last !== "/" && last !== "\u2014" };
}

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
      const { drop, space } = seam(text, raw.slice(start, end));
      if (drop) {
        text = text.slice(0, -1);
        map.pop();
      } else if (space) {
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
