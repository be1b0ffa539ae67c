// Marks in the laid-out text (search hits, highlights, underlines, links) and
// the reader's selection as text sources. Each block's text sits in one
// element with class "part"; its textContent is exactly the block's text, so
// offsets count the same in the layout and in the page.

// Wraps text[start, end) of a part in elements made by make(); a range that
// crosses other marks is wrapped piece by piece.
export function wrapRange(part, start, end, make) {
  const walker = part.ownerDocument.createTreeWalker(part, NodeFilter.SHOW_TEXT);
  const pieces = [];
  let pos = 0;
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const len = node.data.length;
    const a = Math.max(start, pos), b = Math.min(end, pos + len);
    if (a < b) pieces.push([node, a - pos, b - pos]);
    pos += len;
    if (pos >= end) break;
  }
  const made = [];
  for (const [node, a, b] of pieces) {
    let target = node;
    if (a > 0) target = target.splitText(a);
    if (b - a < target.data.length) target.splitText(b - a);
    const el = make();
    target.parentNode.insertBefore(el, target);
    el.appendChild(target);
    made.push(el);
  }
  return made;
}

// Takes out every mark matching selector inside root, keeping its text.
export function unwrapAll(root, selector) {
  for (const el of root.querySelectorAll(selector)) {
    const parent = el.parentNode;
    while (el.firstChild) parent.insertBefore(el.firstChild, el);
    parent.removeChild(el);
    parent.normalize();
  }
}

// Offset of a DOM point (node, offset) inside a part's text.
export function offsetIn(part, node, offset) {
  const range = part.ownerDocument.createRange();
  range.setStart(part, 0);
  range.setEnd(node, offset);
  return range.toString().length;
}

// A DOM range over text[start, end) of a part (clamped to its text).
export function textRange(part, start, end) {
  const range = part.ownerDocument.createRange();
  const walker = part.ownerDocument.createTreeWalker(part, NodeFilter.SHOW_TEXT);
  let pos = 0;
  let begun = false;
  range.selectNodeContents(part);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const len = node.data.length;
    if (!begun && start <= pos + len) {
      range.setStart(node, Math.max(0, start - pos));
      begun = true;
    }
    if (begun && end <= pos + len) {
      range.setEnd(node, Math.max(0, end - pos));
      break;
    }
    pos += len;
  }
  return range;
}

// The parts a selection range covers, each with [start, end) offsets.
export function selectedParts(range, root) {
  const out = [];
  for (const part of root.querySelectorAll(".part")) {
    if (!range.intersectsNode(part)) continue;
    const start = range.startContainer === part || part.contains(range.startContainer)
      ? offsetIn(part, range.startContainer, range.startOffset) : 0;
    const end = range.endContainer === part || part.contains(range.endContainer)
      ? offsetIn(part, range.endContainer, range.endOffset) : part.textContent.length;
    if (end > start) out.push({ part, start, end });
  }
  return out;
}
