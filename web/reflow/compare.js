// Text folding for search and for matching a quoted passage: case, width and
// ligature differences do not count, runs of space count as one. Folding keeps
// a map from each folded unit back to the unit of the original text.

const LIGATURES = { "\uFB00": "ff", "\uFB01": "fi", "\uFB02": "fl", "\uFB03": "ffi", "\uFB04": "ffl" };

export function fold(text) {
  let out = "";
  const map = [];
  let space = false;
  for (let i = 0; i < text.length; i++) {
    let ch = text[i];
    if (/\s/.test(ch)) {
      if (!space && out.length) {
        out += " ";
        map.push(i);
      }
      space = true;
      continue;
    }
    space = false;
    ch = LIGATURES[ch] || ch;
    const code = ch.charCodeAt(0);
    if (ch.length === 1 && code >= 0xFF01 && code <= 0xFF5E) ch = String.fromCharCode(code - 0xFEE0);
    ch = ch.toLowerCase();
    for (const unit of ch) {
      out += unit;
      map.push(i);
    }
  }
  if (out.endsWith(" ")) {
    out = out.slice(0, -1);
    map.pop();
  }
  return { text: out, map };
}

// Every occurrence of query in text, as [start, end) offsets of text.
export function findAll(text, query) {
  const q = fold(query).text;
  if (!q) return [];
  const f = fold(text);
  const hits = [];
  let from = 0;
  for (;;) {
    const at = f.text.indexOf(q, from);
    if (at < 0) break;
    const start = f.map[at];
    const end = f.map[at + q.length - 1] + 1;
    hits.push([start, end]);
    from = at + q.length;
  }
  return hits;
}
