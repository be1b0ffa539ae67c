// The reflow page: takes the native side's calls, parses the paper, lays its
// pages out as they are needed and tells the native side what the reader
// does (position, selection, study actions, corrections, typography).

import { Bridge, PAGE_OBJECT, TIMES_OBJECT, LAY_ALL_FLAG, CALLS, EVENTS, KEYS, documentUrl, pageImageUrl } from "./service.js";
import { loadParser, Paper, request, fetchGeometry, pageWindow } from "./engine.js";
import { rangeUnder, findQuote } from "./study-rules.js";
import { wrapRange, unwrapAll, offsetIn, textRange } from "./study.js";
import { seam } from "./reading.js";
import {
  overlaps, heightFraction, blockAt as blockIn, pastText, displayNamed, noteNamed, pagesOnScreen as pagesIn, shownAsImage as shownAsImageWith, cjkShare,
  shownRegion, readPoint, lineAt, lineRange, blockTopAt,
} from "./place.js";
import { PageEvents, HAPPENINGS } from "./events.js";
import { createControls } from "./controls.js";
import { createZoom } from "./zoom.js";
import { createSearch } from "./search.js";
import { createMarks } from "./marks.js";
import { createStudyTools } from "./study-tools.js";
import { createPosition } from "./position.js";
import { createOriginal, movedMarks, pageOfKey, paragraphOf, pieceBefore } from "./original.js";

const bridge = new Bridge(window);
const flow = document.getElementById("flow");
const status = document.getElementById("status");
const toast = document.getElementById("toast");
const tools = document.getElementById("tools");
flow.tabIndex = -1;

// The paper and its pages as this page has them. The parts below keep their
// own state and are given what they need of this.
const reader = {
  token: "",
  paper: null,
  pageCount: 0,
  corrections: new Set(), // keys of the blocks shown in the other form
  moved: new Set(), // keys of marks told to the native side under their new keys
  laid: [], // page index -> laid-out page
  blocks: new Map(), // key -> block
  parts: new Map(), // key -> the element of a block's text, once set
  lastText: {}, // the last text element of each kind, for text that goes on
  sections: [], // page index -> its place in the flow
  heights: [], // page index -> its height when last shown
  estimated: false, // placeholders stopped following the pages laid out
  laying: new Map(), // page -> the promise of its layout
  measured: null, // { page, graphics }: the first page's graphics, asked for at "open"
  arranging: false, // the pages around the screen are being laid out
  pending: null, // where to go once laid out
  back: null, // where "返回" goes, after a link was followed
  opened: 0,
  times: {},
  told: new Set(), // pages whose cut-outs the native side was told
};
window[TIMES_OBJECT] = reader.times;

// ---- the page's parts ------------------------------------------------------------
//
// Each keeps its own state and is given the few functions it needs; what
// they tell each other goes through `events`.

const events = new PageEvents();
const blockOf = (key) => reader.blocks.get(key);
const laidPage = (page) => reader.laid[page];

// The controls at the top, "返回" and the paging keys.
const controls = createControls({ bridge, flow, events, sections: () => reader.sections, zoomOpen: () => zoom.isOpen(), goBack });
// An enlarged cut-out.
const zoom = createZoom({
  bridge, flow, token: () => reader.token, paper: () => reader.paper, block: blockOf,
  fontSize: () => controls.values().fontSize, bodyOf,
});
// The search hits, and the cut-outs of the pages that hold the query.
const search = createSearch({
  flow, events, times: reader.times, sections: () => reader.sections, laid: laidPage,
  paper: () => reader.paper, onScreen: pagesOnScreen, shownAsImage, told: (page) => reader.told.has(page), graphicsOf, tellCutouts,
});
// Highlights and underlines.
const marks = createMarks({ flow, laid: laidPage });
// The selection and the study tools' bar.
const studyTools = createStudyTools({ bridge, flow, tools, events, block: blockOf, barHeight: controls.barHeight });
// A block's menu: kept as the page has it, or its page pinned beside the text.
const original = createOriginal({
  flow, token: () => reader.token, paper: () => reader.paper, block: blockOf,
  corrections: () => reader.corrections, paragraph: (key) => paragraphOf(reader.laid, key), mark: markBlocks, barHeight: controls.barHeight, fitButtons: controls.fitButtons,
});
// Where the reader is, told to the native side.
const position = createPosition({ bridge, flow, events, barHeight: controls.barHeight, block: blockOf, arrange: arrangePages });

// A change of typography sizes the cut-outs anew before the view is put back.
events.on(HAPPENINGS.typography, () => sizeCutouts());

loadParser().catch(() => {});
bridge.connect();
bridge.post(EVENTS.loaded);

// ---- calls from the native side -------------------------------------------

window[PAGE_OBJECT] = {
  [CALLS.open](payload) {
    reader.opened = performance.now();
    reader.token = String(payload[KEYS.token] || "");
    bridge.token = reader.token;
    applySettings(payload);
    reader.pageCount = Number(payload[KEYS.pageCount]) || 0;
    reader.corrections = new Set(payload[KEYS.corrections] || []);
    reader.moved = new Set();
    reader.pending = {
      page: Number(payload[KEYS.page]) || 0,
      block: payload[KEYS.block], offset: payload[KEYS.offset],
      x: payload[KEYS.x], y: payload[KEYS.y], source: payload[KEYS.source],
    };
    start().catch((error) => showStatus("无法读取这篇文献：" + (error && error.message ? error.message : error)));
  },
  [CALLS.settings](payload) {
    applySettings(payload);
  },
  [CALLS.navigate](payload) {
    reader.pending = {
      page: Number(payload[KEYS.page]) || 0, ordinal: payload[KEYS.ordinal],
      x: payload[KEYS.x], y: payload[KEYS.y], source: payload[KEYS.source], jump: true,
    };
    if (reader.paper) goToPending();
  },
  [CALLS.state](payload) {
    const corrections = new Set(payload[KEYS.corrections] || []);
    const changed = [...reader.blocks.keys()].filter((k) => corrections.has(k) !== reader.corrections.has(k));
    reader.corrections = corrections;
    // (Marks the native side read after their pages were laid out.)
    const moved = [...new Set([...corrections].map(pageOfKey))].flatMap((page) => keepMarksOf(reader.laid[page]));
    reshow(changed.concat(moved.flat()));
    const marked = marks.set(payload[KEYS.annotations]);
    studyTools.takeUndo(!!payload[KEYS.canUndo], !!payload[KEYS.canRedo], marked);
    marks.draw();
    studyTools.draw();
  },
  [CALLS.feedback](payload) {
    showToast(String(payload[KEYS.message] || ""), !!payload[KEYS.error]);
  },
  [CALLS.magnify](payload) {
    const delta = Number(payload[KEYS.delta]);
    if (!Number.isFinite(delta)) return;
    const x = Number(payload[KEYS.x]), y = Number(payload[KEYS.y]);
    if (zoom.isOpen()) zoom.zoomBy(1 + delta, x, y);
    else if (!original.magnifyAt(1 + delta, x, y)) controls.magnify(1 + delta);
  },
};

// The settings the native side gives: the typography and the pane's query.
function applySettings(payload) {
  controls.apply(payload);
  search.setQuery(payload[KEYS.query]);
}

// After a footnote or reference was followed, "返回" goes back to the text.
// The place is kept as the link's block and offsets in its text, with where
// it stood in the view: a far jump lets go of the pages around the link, and
// of its element with them.
function rememberPlace(from) {
  const el = from.closest(".part");
  const block = el && reader.blocks.get(el.dataset.key);
  if (!block) return;
  const start = offsetIn(el, from, 0);
  reader.back = {
    page: block.page, block: block.index, key: block.key, start, end: start + from.textContent.length,
    top: from.getBoundingClientRect().top,
  };
  controls.showBack(true);
}

async function goBack() {
  const back = reader.back;
  reader.back = null;
  controls.showBack(false);
  if (!back || !reader.paper) return;
  await showPage(back.page);
  // The page laid out again numbers its blocks as before; its keys too,
  // unless what the pages around it told changed.
  const find = (key) => key && flow.querySelector(`.part[data-key="${cssEscape(key)}"]`);
  const laid = reader.laid[back.page];
  const el = find(back.key) || find(laid && laid.blocks[back.block] && laid.blocks[back.block].key);
  if (!el || back.end > el.textContent.length) {
    reader.pending = { page: back.page, block: back.block, offset: back.start };
    await goToPending();
    return;
  }
  const r = textRange(el, back.start, back.end).getBoundingClientRect();
  scrollBy(0, r.top - back.top);
  flashRange(el, back.start, back.end);
}

// ---- parsing and layout ------------------------------------------------------

async function start() {
  showStatus("正在读取文献…");
  // The native side measures the page shown first while the parser loads.
  const first = Math.min(reader.pageCount - 1, Math.max(0, reader.pending ? reader.pending.page : 0));
  reader.measured = first >= 0 ? { page: first, graphics: graphicsOf(first) } : null;
  const [lib, bytes] = await Promise.all([
    loadParser().then((lib) => { reader.times.parser = performance.now() - reader.opened; return lib; }),
    request(documentUrl(reader.token)).then((b) => { reader.times.bytes = performance.now() - reader.opened; return b; }),
  ]);
  reader.paper = new Paper(lib, bytes);
  reader.times.parsed = performance.now() - reader.opened;
  reader.pageCount = reader.paper.pageCount;
  reader.paper.text(0);
  reader.times.sampled = performance.now() - reader.opened;
  flow.textContent = "";
  reader.laid = [];
  reader.told.clear();
  reader.blocks.clear();
  reader.parts.clear();
  reader.lastText = {};
  reader.sections = [];
  reader.heights = [];
  hideStatus();
  // Every page has its place in the flow from the start: laid out near the
  // reader, elsewhere a placeholder of its known (or estimated) height.
  const frag = document.createDocumentFragment();
  for (let i = 0; i < reader.pageCount; i++) {
    const section = document.createElement("section");
    section.className = "page placeholder";
    section.dataset.page = String(i);
    section.style.height = innerHeight + "px";
    reader.sections.push(section);
    frag.appendChild(section);
  }
  flow.appendChild(frag);
  const target = Math.min(reader.pageCount - 1, Math.max(0, reader.pending ? reader.pending.page : 0));
  await showPage(target);
  for (let i = target + 1; i < reader.pageCount && reader.sections[target].getBoundingClientRect().height +
    reader.sections.slice(target + 1, i).reduce((h, sec) => h + (sec.classList.contains("placeholder") ? 0 : sec.offsetHeight), 0) < innerHeight * 2; i++) {
    await showPage(i);
  }
  await goToPending();
  // The keyboard scrolls the text from the start, without a click in it.
  if (!document.activeElement || document.activeElement === document.body) flow.focus({ preventScroll: true });
  reader.times.firstScreen = performance.now() - reader.opened;
  document.documentElement.dataset.firstScreen = "1";
  position.follow();
  if (window[LAY_ALL_FLAG]) layEverything();
}

// Lays out and shows one page in its place. A page already being laid out
// is waited for, not laid out again: a caller that goes on once its page is
// there (the arranging loop) must not go round before it is.
function showPage(index) {
  if (reader.laying.has(index)) return reader.laying.get(index);
  if (!reader.sections[index] || !reader.sections[index].classList.contains("placeholder")) return Promise.resolve();
  const laying = layPage(index).finally(() => reader.laying.delete(index));
  reader.laying.set(index, laying);
  return laying;
}

async function layPage(index) {
  const t0 = performance.now();
  // The native side measures the page's graphics while the page and the
  // neighbours its layout compares it with are read, one task each, so
  // that a search or a scroll waits for no more than one.
  const early = reader.measured && reader.measured.page === index ? reader.measured.graphics : null;
  if (early) reader.measured = null;
  const measured = early || graphicsOf(index);
  for (let i = Math.max(0, index - 2); i <= Math.min(reader.pageCount - 1, index + 2); i++) {
    if (!reader.paper.texts.has(i)) {
      reader.paper.text(i);
      if (reader.times.firstScreen !== undefined) await new Promise((resolve) => setTimeout(resolve, 0));
    }
  }
  const graphics = await measured;
  const t1 = performance.now();
  const laid = reader.paper.layout(index, graphics);
  const t2 = performance.now();
  reader.laid[index] = laid;
  keepMarksOf(laid);
  renderPage(laid);
  carryUp(index);
  const t = reader.times;
  t.text = (t.text || 0) + (t1 - t0);
  t.layout = (t.layout || 0) + (t2 - t1);
  t.render = (t.render || 0) + (performance.now() - t2);
}

// Marks kept under keys the page's layout no longer gives (stored by a
// build that numbered its blocks otherwise) go to the blocks with their
// text, and are stored so: the new key first, so that the mark is never
// off in between.
// Each is told once: until the native side answers, its state still names
// the old key. Gives the keys moved, [old, new].
function keepMarksOf(laid) {
  const moved = movedMarks(laid, reader.corrections);
  for (const [old, key] of moved) {
    reader.corrections.delete(old);
    reader.corrections.add(key);
    if (reader.moved.has(old)) continue;
    reader.moved.add(old);
    bridge.post(EVENTS.correction, { [KEYS.key]: key, [KEYS.original]: true });
    bridge.post(EVENTS.correction, { [KEYS.key]: old, [KEYS.original]: false });
  }
  return moved;
}

// The areas the native side measured on a page, which its layout reads;
// none without a token.
async function graphicsOf(page) {
  const geometry = reader.token ? await fetchGeometry(reader.token, page) : null;
  return geometry && Array.isArray(geometry.graphics) ? geometry.graphics : [];
}

// Lets go of a page far from the reader: its place keeps its height.
function hidePage(index) {
  const section = reader.sections[index];
  if (!section || section.classList.contains("placeholder")) return;
  const height = section.getBoundingClientRect().height;
  reader.heights[index] = height;
  // Text of the pages below that went on inside a paragraph of this page
  // is set apart at the top of the first of them again, one paragraph as
  // before; text of this page inside a paragraph of a page above is taken
  // out of it, and what went on after it in that paragraph set apart so.
  // Pieces of such a paragraph kept as their pages have them go so too.
  const placed = new Map();
  const later = (host) => [...host.querySelectorAll(".part")].find((p) => Number(p.dataset.page) > index);
  for (const host of section.querySelectorAll(".block")) {
    const from = later(host);
    if (from) setApart(host, from, placed);
    else if (Number(host.dataset.page) > index) place(host, reader.sections[Number(host.dataset.page)], placed);
  }
  for (const piece of flow.querySelectorAll(`.part[data-page="${index}"], figure[data-page="${index}"]`)) {
    if (section.contains(piece)) continue;
    const host = piece.closest(".block");
    const from = later(host);
    if (from) setApart(host, from, placed);
    if (host === piece) piece.remove();
    else cut(host, piece);
  }
  for (const [below, el] of placed) {
    events.tell(HAPPENINGS.textSet, { page: Number(below.dataset.page), parts: [...el.querySelectorAll(".part")] });
  }
  for (const el of section.querySelectorAll("[data-key]")) {
    reader.blocks.delete(el.dataset.key);
    reader.parts.delete(el.dataset.key);
  }
  section.textContent = "";
  section.classList.add("placeholder");
  section.style.height = height + "px";
  delete reader.laid[index];
  reader.paper.forget(index);
}

// Sets the text of `host` from its part `from` on apart, in a block of its
// own at the top of the page `from` is on, as that page shows it without
// the page above: below the blocks set apart there before (`placed`: a
// page's place -> the last block set there). Text of a page not shown goes.
function setApart(host, from, placed) {
  const section = reader.sections[from.dataset.page];
  if (section && !section.classList.contains("placeholder") && reader.blocks.has(from.dataset.key)) {
    place(splitOff(host, from), section, placed);
  } else {
    cut(host, from);
  }
}

// Sets `el` at the top of its page's place `section`, below what was set
// there before; with the page not shown, nowhere.
function place(el, section, placed) {
  if (!section || section.classList.contains("placeholder")) {
    el.remove();
    return;
  }
  const after = placed.get(section) || section.querySelector(".page-mark");
  if (after) after.after(el);
  else section.prepend(el);
  placed.set(section, el);
}

// Takes the text of `host` from its part `from` on out of it, into a block
// of its own that it returns (not yet in the flow).
function splitOff(host, from) {
  const block = reader.blocks.get(from.dataset.key);
  const saved = reader.lastText;
  reader.lastText = {};
  const el = renderBlock({ ...block, joins: false });
  reader.lastText = saved;
  el.querySelector(".part").replaceWith(...cut(host, from));
  reader.parts.set(block.key, from);
  retarget(host, el, block.page);
  return el;
}

// Takes the text of `host` from its part `from` on out of it, with the
// space before it, and gives its nodes; the last part left shows its
// line-end hyphen again.
function cut(host, from) {
  const nodes = [];
  for (let n = from; n; n = n.nextSibling) if (n.nodeType === Node.TEXT_NODE || n.classList.contains("part")) nodes.push(n);
  const gap = from.previousSibling;
  if (gap && gap.nodeType === Node.TEXT_NODE && !gap.data.trim()) gap.remove();
  for (const n of nodes) n.remove();
  const parts = host.querySelectorAll(".part");
  if (parts.length) unwrapAll(parts[parts.length - 1], ".broken-hyphen");
  return nodes;
}

// The pages from `page` on whose last text of a kind was `from` go on
// from `to` instead.
function retarget(from, to, page) {
  for (const section of reader.sections.slice(page)) {
    const last = section.lastText || {};
    for (const kind of Object.keys(last)) if (last[kind] === from) last[kind] = to;
  }
}

// Lays out the pages around the screen and lets go of those far from it.
async function arrangePages() {
  if (reader.arranging || !reader.sections.length || window[LAY_ALL_FLAG]) return;
  reader.arranging = true;
  try {
    for (;;) {
      const [first, last] = pagesOnScreen();
      const w = pageWindow(first, last, reader.pageCount);
      const missing = [];
      for (let i = w.from; i <= w.to; i++) if (reader.sections[i].classList.contains("placeholder")) missing.push(i);
      for (let i = 0; i < reader.pageCount; i++) {
        if ((i < w.keepFrom || i > w.keepTo) && !reader.sections[i].classList.contains("placeholder")) hidePage(i);
      }
      if (!missing.length) break;
      // The pages on screen first, then the one below, then above.
      missing.sort((a, b) => (a < first) - (b < first) || a - b);
      await showPage(missing[0]);
      marks.draw();
      // A page its layout left out (the paper went) ends the round, rather
      // than going round again without ever giving the page a turn.
      if (reader.sections[missing[0]] && reader.sections[missing[0]].classList.contains("placeholder")) break;
    }
  } finally {
    reader.arranging = false;
  }
}

// The first and last page whose place is on screen (by binary search over
// the pages' places).
function pagesOnScreen() {
  const sections = reader.sections;
  return pagesIn(sections.length, (i) => sections[i].getBoundingClientRect(), controls.barHeight(), innerHeight);
}

// For tools: lays out every page in order, without letting any go. The
// pages off screen are not rendered (reader.css): with every page of a long
// paper in the flow, each page added would otherwise have the browser lay
// out and paint all those before it again, and the whole take time in the
// square of the pages.
async function layEverything() {
  document.documentElement.classList.add("every-page");
  for (let i = 0; i < reader.pageCount; i++) await showPage(i);
  marks.draw();
  reader.times.all = performance.now() - reader.opened;
  document.documentElement.dataset.allLaid = "1";
}

// ---- rendering ---------------------------------------------------------------

const TAGS = { heading: "h2", paragraph: "p", list: "p", caption: "p", footnote: "p", reference: "p" };

function shownAsImage(block) {
  return shownAsImageWith(block, reader.corrections);
}

function renderPage(laid) {
  const section = reader.sections[laid.page];
  // Text goes on inside the page before only when that page is shown and
  // was shown first.
  const before = reader.sections[laid.page - 1];
  // A copy: the page before keeps its own, for when this page is set again.
  reader.lastText = before && !before.classList.contains("placeholder") && before.lastText ? { ...before.lastText } : {};
  const frag = document.createDocumentFragment();
  const marker = document.createElement("div");
  marker.className = "page-mark";
  marker.dataset.page = String(laid.page);
  marker.textContent = String(laid.page + 1);
  frag.appendChild(marker);
  for (const block of laid.blocks) {
    block.pageWidth = laid.width;
    block.pageHeight = laid.height;
    block.turn = laid.turn || 0;
    reader.blocks.set(block.key, block);
    const el = renderBlock(block);
    if (el) frag.appendChild(el);
  }
  section.textContent = "";
  section.appendChild(frag);
  section.classList.remove("placeholder");
  section.style.height = "";
  section.lastText = reader.lastText;
  drawLinks(laid);
  events.tell(HAPPENINGS.textSet, { page: laid.page });
  tellCutouts(laid);
  // The estimate for pages not yet laid out follows those that were.
  const known = reader.heights.filter((h) => h > 0);
  const height = section.getBoundingClientRect().height;
  if (height > 0) reader.heights[laid.page] = height;
  if (!reader.estimated && known.length < 3) {
    const estimate = Math.max(120, height);
    for (let i = 0; i < reader.sections.length; i++) {
      if (reader.heights[i] === undefined && reader.sections[i].classList.contains("placeholder")) reader.sections[i].style.height = estimate + "px";
    }
    reader.estimated = known.length >= 2;
  }
}

function renderBlock(block) {
  if (shownAsImage(block)) return cutout(block);
  // Text that goes on from the last block of its kind is set inside it, also
  // past figures and the notes at a page's foot. Where the piece before it
  // is shown, it goes on there: what a page noted as its last text may have
  // changed form since.
  const last = (block.joins && paragraphBefore(block)) || reader.lastText[block.kind];
  // The page being set is still in a fragment: an element there has a parent
  // but is not connected yet; one replaced by a correction has none.
  if (block.joins && !block.front && last && last.parentNode && !last.classList.contains("front")) {
    setInside(last, [part(block)], block);
    return null;
  }
  let tag = TAGS[block.kind] || "p";
  if (block.kind === "heading") tag = block.level === 1 ? "h1" : block.level === 2 ? "h2" : "h3";
  const el = document.createElement(tag);
  el.className = "block " + block.kind + (block.kind === "cutout" ? " as-text" : "");
  el.dataset.kind = block.kind === "cutout" ? "paragraph" : block.kind;
  el.dataset.page = String(block.page);
  if (block.lines && block.lines[0] && block.lines[0].mono) el.classList.add("code");
  if (block.front) el.classList.add("front");
  if (block.continues) el.classList.add("continued");
  if (block.front && block.lines[0].size > bodyOf() * 1.15) el.classList.add("name");
  if (cjkShare(block.text) > 0.3) el.lang = "zh";
  el.appendChild(part(block));
  el.appendChild(blockButtons(block));
  if (block.kind === "heading") reader.lastText = {};
  else reader.lastText[block.kind] = el;
  return el;
}

// Sets `nodes` (the part of `block` and what goes on after it) after the
// last part of `last`, the text that block goes on.
function setInside(last, nodes, block) {
  const parts = last.querySelectorAll(".part");
  const prevPart = parts[parts.length - 1];
  const prevText = prevPart.textContent;
  prevPart.after(...nodes);
  // A word broken at the end of a column or page is shown whole; the
  // hyphen stays in the text (offsets count it) but is not drawn.
  const laid = reader.laid[block.page];
  const { drop, space } = seam(prevText, block.text, laid && laid.words);
  if (drop) {
    wrapRange(prevPart, prevText.length - 1, prevText.length, () => {
      const hyphen = document.createElement("span");
      hyphen.className = "broken-hyphen";
      return hyphen;
    });
  } else if (space) {
    prevPart.after(document.createTextNode(" "));
  }
}

// A page laid out after the page below it was shown (the reader came from
// below): the text at the top of that page that goes on this page's last
// paragraph is set inside it, as if the pages had been shown in order.
function carryUp(index) {
  const below = reader.sections[index + 1];
  const laid = reader.laid[index + 1];
  const kept = reader.sections[index].lastText || {};
  if (!laid || !below || below.classList.contains("placeholder")) return;
  const first = laid.blocks.find((b) => b.kind !== "cutout" && b.kind !== "caption");
  const part = first && first.joins && !first.front && reader.parts.get(first.key);
  const host = part && part.closest(".block");
  const last = first && kept[first.kind];
  // Only text standing on its own at the top of the page below moves.
  if (!host || host.parentNode !== below || host.querySelector(".part") !== part ||
    !last || !last.parentNode || last.classList.contains("front")) return;
  setInside(last, [...host.childNodes].filter((n) => n.nodeType === Node.TEXT_NODE || n.classList.contains("part")), first);
  retarget(host, last, index + 1);
  host.remove();
}

function part(block) {
  const span = document.createElement("span");
  span.className = "part";
  span.dataset.key = block.key;
  span.dataset.page = String(block.page);
  span.dataset.block = String(block.index);
  reader.parts.set(block.key, span);
  if (block.glyphs) setWithGlyphs(span, block);
  else span.textContent = block.text;
  return span;
}

// A word with glyphs that have no character is shown as the page has it: a
// cut-out of its box, sized in the text's own measure, over its letters
// (kept, unseen, so that offsets, selection and search count them).
function setWithGlyphs(span, block) {
  const body = bodyOf();
  let at = 0;
  for (const g of block.glyphs) {
    if (g.start < at) continue;
    if (g.start > at) span.append(block.text.slice(at, g.start));
    const glyph = document.createElement("span");
    glyph.className = "glyph";
    glyph.dataset.start = String(g.start);
    glyph.textContent = block.text.slice(g.start, g.end);
    glyph.style.backgroundImage = `url("${pageImageUrl(reader.token, block.page, shownRegion(g.region, block.turn), false)}")`;
    glyph.style.setProperty("--gw", (g.region[2] * block.pageWidth / body).toFixed(3) + "em");
    glyph.style.setProperty("--gh", (g.region[3] * block.pageHeight / body).toFixed(3) + "em");
    glyph.style.setProperty("--gb", (-g.below / body).toFixed(3) + "em");
    span.append(glyph);
    at = g.end;
  }
  span.append(block.text.slice(at));
}

// The paper's body text size in points (10 until the paper is read).
function bodyOf() {
  return reader.paper && reader.paper.ctx ? reader.paper.ctx.body : 10;
}

function cutout(block) {
  const fig = document.createElement("figure");
  fig.className = "block cutout" + (block.formula ? " formula" : "") + (block.table ? " table" : "");
  fig.dataset.kind = "cutout";
  fig.dataset.page = String(block.page);
  fig.dataset.block = String(block.index);
  fig.dataset.key = block.key;
  fig.dataset.region = block.region.map((v) => v.toFixed(4)).join(",");
  const img = document.createElement("img");
  img.alt = block.text || "";
  img.decoding = "async";
  // The picture's place is kept before it arrives: the text under it, and
  // a place gone back to inside it, do not move when it does.
  if (!block.turn) {
    img.width = Math.max(1, Math.round(block.region[2] * block.pageWidth));
    img.height = Math.max(1, Math.round(block.region[3] * block.pageHeight));
  }
  img.src = pageImageUrl(reader.token, block.page, shownRegion(block.region, block.turn), false);
  fig.appendChild(img);
  // A page read turned shows its image turned the same way.
  if (block.turn) {
    fig.classList.add("turned");
    fig.style.setProperty("--turn", -90 * block.turn + "deg");
    fig.style.setProperty("--aspect", String((block.region[2] * block.pageWidth) / (block.region[3] * block.pageHeight) || 1));
    if (block.turn % 2) fig.classList.add("quarter");
  }
  sizeCutout(fig, block);
  fig.appendChild(blockButtons(block));
  return fig;
}

// A cut-out is shown at the size its text would have in the reflowed text,
// never wider than the column.
function sizeCutout(fig, block) {
  const scale = controls.values().fontSize / bodyOf();
  const width = block.region[2] * block.pageWidth * scale;
  fig.style.setProperty("--cut-width", Math.round(width) + "px");
}

function sizeCutouts() {
  for (const fig of flow.querySelectorAll("figure.cutout")) {
    const block = reader.blocks.get(fig.dataset.key);
    if (block) sizeCutout(fig, block);
  }
}

// The buttons a block shows on hover: the other form, and its menu ("⋯").
function blockButtons(block) {
  const group = document.createElement("span");
  group.className = "block-buttons";
  group.append(flipButton(block), original.moreButton());
  return group;
}

function flipButton(block) {
  const button = document.createElement("button");
  button.className = "flip";
  button.type = "button";
  const image = shownAsImage(block);
  if (block.kind === "cutout" && !block.text) button.hidden = true;
  button.textContent = image ? "显示文字" : "显示原图";
  button.title = image ? "把这一块排成文字" : "这一块改用原页图像";
  button.addEventListener("click", (event) => {
    event.preventDefault();
    markBlocks([block.key], !reader.corrections.has(block.key));
  });
  return button;
}

// Marks blocks to be shown in the other form (or takes the mark off), shows
// them so and tells the native side, which keeps the marks for the paper.
function markBlocks(keys, mark) {
  const changed = keys.filter((key) => reader.corrections.has(key) !== mark);
  for (const key of changed) {
    if (mark) reader.corrections.add(key);
    else reader.corrections.delete(key);
    bridge.post(EVENTS.correction, { [KEYS.key]: key, [KEYS.original]: mark });
  }
  reshow(changed);
}

// Shows blocks again after their form changed. The parts of a paragraph
// set apart as images are set from the last, so that each stands where it
// was; those set as text again from the first, so that each goes on from
// the piece before it.
function reshow(keys) {
  const at = (key) => reader.blocks.get(key) || { page: Infinity, index: 0 };
  const ordered = [...keys].sort((a, b) => at(a).page - at(b).page || at(a).index - at(b).index);
  const asImage = (key) => reader.blocks.has(key) && shownAsImage(reader.blocks.get(key));
  for (const key of [...ordered].reverse()) if (asImage(key)) rerender(key);
  for (const key of ordered) if (!asImage(key)) rerender(key);
}

// The element of the paragraph a block set as text goes on in: that of the
// piece before it in its paragraph, when that piece is text on show and the
// last of its element; else none.
function paragraphBefore(block) {
  if (!block.joins || block.front) return null;
  const key = pieceBefore(reader.laid, block.key);
  const before = key ? partOf(key) : null;
  const host = before && before.closest(".block");
  if (!host || host.classList.contains("front")) return null;
  const parts = host.querySelectorAll(".part");
  return parts[parts.length - 1] === before ? host : null;
}

// Shows one block again after its form changed.
function rerender(key) {
  const block = reader.blocks.get(key);
  if (!block) return;
  const old = flow.querySelector(`figure[data-key="${key}"]`) || flow.querySelector(`.part[data-key="${key}"]`);
  if (!old) return;
  const host = old.tagName === "FIGURE" ? old : old.closest(".block");
  const saved = reader.lastText;
  const before = shownAsImage(block) ? null : paragraphBefore(block);
  reader.lastText = before ? { [block.kind]: before } : {};
  const replacement = renderBlock(before ? block : { ...block, joins: false });
  reader.lastText = saved;
  if (!replacement) {
    // Set as text again inside the paragraph it goes on from.
    host.remove();
  } else if (old.tagName !== "FIGURE" && host.querySelectorAll(".part").length > 1) {
    // One part of a paragraph that goes on: set apart where it stands,
    // between the text before it and the text after it.
    const parts = [...host.querySelectorAll(".part")];
    const next = parts[parts.indexOf(old) + 1];
    if (next) host.after(splitOff(host, next));
    if (parts[0] === old) {
      host.replaceWith(replacement);
    } else {
      host.after(replacement);
      cut(host, old);
    }
  } else {
    host.replaceWith(replacement);
  }
  const laid = reader.laid[block.page];
  if (laid) drawLinks(laid);
  events.tell(HAPPENINGS.textSet, { page: block.page });
  marks.draw();
  if (laid) tellCutouts(laid);
}

// Tells the native side where a page shows the paper's own image instead of
// text, so that the pane counts and steps only through the search hits the
// page shows as text.
function tellCutouts(laid) {
  if (!bridge.token) return;
  reader.told.add(laid.page);
  const regions = laid.blocks.filter((b) => b.region && shownAsImage(b)).map((b) => shownRegion(b.region, laid.turn));
  bridge.post(EVENTS.cutouts, { [KEYS.page]: laid.page, [KEYS.regions]: regions });
}

// ---- links -----------------------------------------------------------------

function drawLinks(laid) {
  for (const link of laid.links || []) {
    const rect = [link.x / laid.width, link.y / laid.height, link.w / laid.width, link.h / laid.height];
    for (const block of laid.blocks) {
      if (!block.map || block.region && !overlaps(block.region, rect)) continue;
      const range = rangeUnder(block, rect, laid.width, laid.height);
      const el = partOf(block.key);
      // Drawn again after a block changed form: what is a link stays one.
      if (!range || !el || linkedAt(el, range[0])) continue;
      wrapRange(el, range[0], range[1], () => {
        const a = document.createElement("a");
        a.className = "link";
        a.dataset.uri = link.uri;
        if (link.external) a.title = link.uri;
        else a.dataset.internal = "1";
        return a;
      });
    }
  }
}

// Whether the character at `offset` of a part's text is inside a link.
function linkedAt(el, offset) {
  const walker = document.createTreeWalker(el, NodeFilter.SHOW_TEXT);
  let pos = 0;
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (offset < pos + node.data.length) return !!node.parentElement.closest("a.link");
    pos += node.data.length;
  }
  return false;
}

// The element of a block's text on show, found without a search of the
// whole flow (an index page has hundreds of links).
function partOf(key) {
  const el = reader.parts.get(key);
  return el && el.isConnected ? el : null;
}

function cssEscape(s) {
  return window.CSS && CSS.escape ? CSS.escape(s) : s.replace(/["\\]/g, "\\$&");
}

flow.addEventListener("click", (event) => {
  const a = event.target.closest("a.link");
  if (!a) return;
  event.preventDefault();
  const target = linkTarget(a);
  if (!target) return;
  rememberPlace(a);
  const at = pointOn(target.page, target.x, target.y);
  reader.pending = { page: target.page, x: at.x, y: at.y, jump: true, flash: true, label: a.textContent, destination: a.dataset.uri };
  goToPending();
});

// A citation shows the text it points to when the pointer rests on it: from
// the line it leads to (a list of references may be one block).
flow.addEventListener("mouseover", (event) => {
  const a = event.target.closest("a.link");
  if (!a || a.title || !a.dataset.internal) return;
  const target = linkTarget(a);
  if (!target) return;
  const at = pointOn(target.page, target.x, target.y);
  const block = blockAt(target.page, at.y, at.x);
  if (!block || !block.text) return;
  const range = landingRange(block, at.y);
  a.title = block.text.slice(range ? range[0] : 0).slice(0, 600);
});

function linkTarget(a) {
  if (!a.dataset.internal || !reader.paper) return null;
  if (!a.target_) a.target_ = reader.paper.target(a.dataset.uri) || false;
  return a.target_ || null;
}

// A point of a page as displayed (points) as fractions of the page as read;
// x is left out where the target gives none (a destination without a left).
function pointOn(page, x, y) {
  const text = reader.paper && page < reader.pageCount ? reader.paper.text(page) : null;
  if (!text) return { x: undefined, y: 0 };
  const odd = (text.turn || 0) % 2;
  const shown = { x: heightFraction(x, odd ? text.height : text.width), y: heightFraction(y, odd ? text.width : text.height) };
  const read = readPoint(shown, text.turn || 0);
  return Number.isFinite(x) || text.turn ? read : { x: undefined, y: read.y };
}

// The text of a block from the line a point leads to, when that is not the
// block's first: [start, end) of that line.
function landingRange(block, y) {
  const laid = reader.laid[block.page];
  const line = laid && lineAt(block, y, laid.height);
  if (!line || line === block.lines[0]) return null;
  return lineRange(block, line);
}

// The block of a laid-out page that holds the point (page fractions) or
// comes first below it.
function blockAt(page, y, x) {
  return blockIn(reader.laid[page], y, x);
}

// ---- going to a place --------------------------------------------------------

async function goToPending() {
  const p = reader.pending;
  if (!p || !reader.paper) return;
  const page = Math.max(0, Math.min(reader.pageCount - 1, p.page | 0));
  await showPage(page);
  reader.pending = null;
  let target = null;
  let range = null;
  search.showNow(page);
  const hits = search.query() ? [...flow.querySelectorAll(`.part[data-page="${page}"] mark.hit`)] : [];
  if (p.source && typeof p.source === "object" && p.source.quote) {
    const block = (p.source.key && reader.blocks.get(p.source.key)) || findSourceBlock(page, p.source);
    if (block) {
      const el = flow.querySelector(`.part[data-key="${block.key}"]`);
      const at = findQuote(block.text, p.source.quote, p.source.before, p.source.after);
      if (el && at) range = { el, at };
      target = el ? el.closest(".block") || el : null;
    }
  }
  if (!target && p.ordinal !== undefined && hits.length) {
    for (const m of flow.querySelectorAll("mark.hit.current")) m.classList.remove("current");
    // The pane counts every occurrence on the page, those inside cut-outs
    // (which show the page, not text) too: the current one is found in the
    // blocks in order, and one inside a cut-out shows that cut-out.
    const hit = search.nthHit(page, Math.max(0, Number(p.ordinal) || 0));
    const figure = hit && hit.figure;
    const current = figure ? [] : hit ? hit.marks || [] : hits.slice(-1);
    if (figure) {
      figure.scrollIntoView({ block: "center" });
      flashElement(figure);
    } else if (current.length) {
      for (const m of current) m.classList.add("current");
      current[0].scrollIntoView({ block: "center" });
    }
    return;
  }
  if (!target && Number.isFinite(p.block)) {
    const block = reader.laid[page] && reader.laid[page].blocks[p.block];
    // The text at the top of a page may go on the last paragraph of the
    // page before, set inside it once that page is laid out, as it was
    // when the place was told: measured on its own, it would land lines
    // away.
    if (page > 0 && block === reader.laid[page].blocks.find((b) => b.kind !== "cutout" && b.kind !== "caption")) await showPage(page - 1);
    const el = block && (flow.querySelector(`.part[data-key="${block.key}"]`) || flow.querySelector(`figure[data-key="${block.key}"]`));
    if (el) {
      // The piece of a paragraph that goes on from the page before is gone
      // back to, not the paragraph's start.
      const host = el.closest(".block") || el;
      (host.querySelector(".part") === el ? host : el).scrollIntoView({ block: "start" });
      // Short of the top of the page, the piece stands where it stood when
      // the place was told, measured as it was. (The view scrolls by whole
      // pixels, cutting a fraction off: left to that, the text would settle
      // a pixel lower at each return.)
      const offset = Number.isFinite(p.offset) ? p.offset : 0;
      if (offset > 0 || block.index > 0) {
        const box = el.getBoundingClientRect();
        scrollBy(0, Math.round(box.top - blockTopAt(block, box.height, offset, controls.barHeight())));
        position.keep({ page, block: block.index, offset });
      }
      return;
    }
  }
  let line = null;
  if (!target && Number.isFinite(p.y)) {
    const turn = reader.laid[page] ? reader.laid[page].turn : 0;
    const at = turn ? readPoint({ x: Number.isFinite(p.x) ? p.x : 0.5, y: p.y }, turn) : { x: p.x, y: p.y };
    // The display whose number or the note whose mark the link names,
    // right by its target; under all of the page's text, what starts the
    // next page.
    const named = displayNamed(reader.laid[page], at.y, p.label, p.destination) || noteNamed(reader.laid[page], at.y, p.label);
    let block = named || blockAt(page, at.y, Number.isFinite(p.x) || turn ? at.x : undefined);
    const next = !named && page + 1 < reader.pageCount && pastText(reader.laid[page], at.y);
    if (next) {
      await showPage(page + 1);
      block = reader.laid[page + 1] && reader.laid[page + 1].blocks.find((b) => b.region);
    }
    const el = block && (partOf(block.key) || flow.querySelector(`figure[data-key="${block.key}"]`));
    if (el) target = el.closest(".block") || el;
    // A point inside a block (one of a list of references set as one
    // block, say) leads to its line; a block set inside a paragraph that
    // goes on from a page before, to its own first line.
    if (el && el.classList.contains("part")) {
      const within = (!next && landingRange(block, at.y)) ||
        (el !== target.querySelector(".part") && block.lines && block.lines.length ? lineRange(block, block.lines[0]) : null);
      if (within) line = { el, at: within };
    }
  }
  if (!target) target = reader.sections[page];
  if (target) target.scrollIntoView({ block: range ? "center" : "start" });
  if (line) {
    const top = textRange(line.el, line.at[0], line.at[1]).getBoundingClientRect().top;
    scrollBy(0, top - controls.barHeight() - 8);
  }
  if (range) flashRange(range.el, range.at[0], range.at[1]);
  else if (line && p.flash) flashRange(line.el, line.at[0], line.at[1]);
  else if (p.flash && target) flashElement(target);
}

function findSourceBlock(page, source) {
  const laid = reader.laid[page];
  if (!laid) return null;
  if (Number.isFinite(source.block) && laid.blocks[source.block] && findQuote(laid.blocks[source.block].text, source.quote)) {
    return laid.blocks[source.block];
  }
  return laid.blocks.find((b) => b.text && findQuote(b.text, source.quote, source.before, source.after)) || null;
}

function flashRange(el, start, end) {
  const marks = wrapRange(el, start, end, () => {
    const m = document.createElement("mark");
    m.className = "flash";
    return m;
  });
  setTimeout(() => unwrapAll(el, "mark.flash"), 2200);
  return marks;
}

function flashElement(el) {
  el.classList.add("flash-block");
  setTimeout(() => el.classList.remove("flash-block"), 1600);
}

// ---- status ---------------------------------------------------------------------

function showStatus(text) {
  status.textContent = text;
  status.hidden = false;
}
function hideStatus() {
  status.hidden = true;
}

let toastTimer = 0;
function showToast(text, error) {
  if (!text) return;
  toast.textContent = text;
  toast.classList.toggle("error", error);
  toast.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { toast.hidden = true; }, 5000);
}
