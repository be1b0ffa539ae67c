// The reflow page: takes the native side's calls, parses the paper, lays its
// pages out as they are needed and tells the native side what the reader
// does (position, selection, study actions, corrections, typography).

import {
  Bridge, CALLS, EVENTS, KEYS, ACTIONS, TYPOGRAPHY, TYPOGRAPHY_DEFAULTS, TYPOGRAPHY_KEYS, TYPOGRAPHY_STEPS, documentUrl, eventBody, pageImageUrl,
  typographyValues, stepTypography,
} from "./service.js";
import { zoomAbout } from "./figures.js";
import { loadParser, Paper, request, fetchGeometry, pageWindow } from "./engine.js";
import { textSource, rangeUnder, findQuote } from "./study-rules.js";
import { findAll } from "./compare.js";
import { wrapRange, unwrapAll, selectedParts, offsetIn, textRange } from "./study.js";
import { isCJK } from "./reading.js";
import {
  overlaps, heightFraction, blockAt as blockIn, pagesOnScreen as pagesIn, shownAsImage as shownAsImageWith, cjkShare,
  placeInBlock, positionFields, readRegion, shownRegion, readPoint, shownPoint,
} from "./place.js";

const bridge = new Bridge(window);
const flow = document.getElementById("flow");
const status = document.getElementById("status");
const toast = document.getElementById("toast");
const tools = document.getElementById("tools");
flow.tabIndex = -1;

const reader = {
  token: "",
  paper: null,
  pageCount: 0,
  settings: { ...TYPOGRAPHY_DEFAULTS, query: "" },
  corrections: new Set(),
  annotations: [],
  laid: [], // page index -> laid-out page
  next: 0, // next page to lay out
  blocks: new Map(), // key -> block
  lastText: {}, // the last text element of each kind, for text that goes on
  sections: [], // page index -> its place in the flow
  heights: [], // page index -> its height when last shown
  laying: new Map(), // page -> the promise of its layout
  pending: null, // where to go once laid out
  opened: 0,
  times: {},
  visible: "",
  told: new Set(), // pages whose cut-outs the native side was told
  lastPage: -1,
  selection: "",
  canUndo: false,
  canRedo: false,
};
window.folvanReflowTimes = reader.times;

loadParser().catch(() => {});
bridge.connect();
bridge.post(EVENTS.loaded);

// ---- calls from the native side -------------------------------------------

window.folvanReflow = {
  [CALLS.open](payload) {
    reader.opened = performance.now();
    reader.token = String(payload[KEYS.token] || "");
    bridge.token = reader.token;
    applySettings(payload);
    reader.pageCount = Number(payload[KEYS.pageCount]) || 0;
    reader.corrections = new Set(payload[KEYS.corrections] || []);
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
    for (const key of changed) rerender(key);
    const annotations = Array.isArray(payload[KEYS.annotations]) ? payload[KEYS.annotations] : [];
    const marked = JSON.stringify(annotations) !== JSON.stringify(reader.annotations) && !reader.pagesMoved;
    reader.pagesMoved = false;
    reader.annotations = annotations;
    const canUndo = !!payload[KEYS.canUndo], canRedo = !!payload[KEYS.canRedo];
    // "撤销" and "重做" are offered for a while after something was marked,
    // taken off or undone, as a toast is; not for the rest of the session.
    if ((canUndo && (!reader.canUndo || marked)) || (canRedo && (!reader.canRedo || marked))) offerUndo();
    reader.canUndo = canUndo;
    reader.canRedo = canRedo;
    drawAnnotations();
    drawTools();
  },
  [CALLS.feedback](payload) {
    showToast(String(payload[KEYS.message] || ""), !!payload[KEYS.error]);
  },
  // Where the reader is now, as the position event says it: the native side
  // asks before it saves (at quit), when the last scroll may not have been
  // reported yet.
  [CALLS.position]() {
    const place = readingPlace();
    return place.page < 0 || !bridge.token ? null : JSON.stringify(eventBody(EVENTS.position, bridge.token, positionFields(place)));
  },
  [CALLS.magnify](payload) {
    const delta = Number(payload[KEYS.delta]);
    if (!Number.isFinite(delta)) return;
    if (zoom.open) {
      zoomBy(1 + delta, Number(payload[KEYS.x]), Number(payload[KEYS.y]));
      return;
    }
    applySettings({ fontSize: reader.settings.fontSize * (1 + delta) });
    clearTimeout(reader.magnifyTimer);
    reader.magnifyTimer = setTimeout(saveTypography, 250);
  },
};

// Takes the typography values given (others stay), keeping the line at the
// top of the view where it is; a new query redraws the search hits.
function applySettings(p) {
  const s = reader.settings;
  const given = {};
  for (const key of TYPOGRAPHY_KEYS) if (p[key] !== undefined) given[key] = p[key];
  const next = typographyValues({ ...s, ...given });
  const changed = TYPOGRAPHY_KEYS.some((key) => next[key] !== s[key]);
  const anchor = changed ? topAnchor() : null;
  Object.assign(s, next);
  const query = typeof p.query === "string" ? p.query : s.query;
  const root = document.documentElement.style;
  root.setProperty("--font-size", s.fontSize + "px");
  root.setProperty("--leading", String(s.leading));
  root.setProperty("--measure", s.width + "px");
  root.setProperty("--para", String(s.paragraphSpacing));
  document.body.classList.toggle("sans", s.face === "sans");
  document.body.classList.toggle("justify", s.alignment === "justify");
  document.body.classList.toggle("indent", s.indent);
  if (changed) {
    sizeCutouts();
    restoreAnchor(anchor);
  }
  drawBar();
  if (query !== s.query) {
    s.query = query;
    scheduleSearch();
  }
}

// The seven values, saved by the native side at once.
function saveTypography() {
  const values = typographyValues(reader.settings);
  bridge.post(EVENTS.typography, values);
}

function setTypography(values) {
  applySettings(values);
  saveTypography();
}

// The text at the top of the view: a text node and offset, or an element.
function topAnchor() {
  const y = barHeight() + 4;
  for (const x of [flow.getBoundingClientRect().left + 24, innerWidth / 2]) {
    const range = document.caretRangeFromPoint ? document.caretRangeFromPoint(x, y) : null;
    if (range && flow.contains(range.startContainer)) {
      const r = range.getBoundingClientRect();
      if (r.height) return { range, top: r.top };
    }
  }
  for (const el of flow.querySelectorAll(".block, .page-mark")) {
    const r = el.getBoundingClientRect();
    if (r.bottom > y) return { el, top: r.top };
  }
  return null;
}

function restoreAnchor(anchor) {
  if (!anchor) return;
  const r = anchor.range ? anchor.range.getBoundingClientRect() : anchor.el.getBoundingClientRect();
  if (r.height || r.top) scrollBy(0, r.top - anchor.top);
}

// ---- the controls at the top ---------------------------------------------------

const bar = document.createElement("header");
bar.id = "bar";
const panel = document.createElement("div");
panel.id = "panel";
panel.hidden = true;
document.body.insertBefore(bar, document.body.firstChild);
document.body.insertBefore(panel, bar.nextSibling);

// How much of the view the controls at the top cover: the bar, and the
// layout panel while it is open.
function barHeight() {
  return Math.max(bar.getBoundingClientRect().bottom, panel.hidden ? 0 : panel.getBoundingClientRect().bottom, 0);
}

// Jumps and scrolling by page leave their target below the controls, however
// many rows the bar takes in a narrow pane.
function followControls() {
  const root = document.documentElement.style;
  root.setProperty("--bar-height", Math.round(bar.getBoundingClientRect().height) + "px");
  root.scrollPaddingTop = Math.ceil(barHeight()) + 8 + "px";
}
if (window.ResizeObserver) {
  const watch = new ResizeObserver(followControls);
  watch.observe(bar);
  watch.observe(panel);
}

// Scrolling by a screen, as the keys PageDown, PageUp and the space bar do,
// keeps the line that was at the foot of the view in sight below the
// controls, and the reverse.
function pageStep() {
  const line = reader.settings.fontSize * reader.settings.leading;
  const visible = innerHeight - barHeight();
  return Math.max(visible / 2, visible - 1.5 * line);
}

function control(label, key, show) {
  const group = document.createElement("span");
  group.className = "group";
  const name = document.createElement("span");
  name.className = "label";
  name.textContent = label;
  const value = document.createElement("output");
  value.dataset.show = key;
  value.show = show;
  const step = (direction, text, title) => {
    const b = document.createElement("button");
    b.type = "button";
    b.textContent = text;
    b.title = title;
    b.dataset.step = key;
    b.addEventListener("click", () => setTypography(stepTypography(reader.settings, key, direction)));
    return b;
  };
  group.append(name, step(-1, "−", "减小" + label), value, step(1, "+", "增大" + label));
  return group;
}

function toggle(label, title, click) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = label;
  b.title = title;
  b.addEventListener("click", click);
  return b;
}

const faceButton = toggle("衬线", "切换字体", () => setTypography({ face: reader.settings.face === "sans" ? "serif" : "sans" }));
const layoutButton = toggle("排版", "两端对齐、段间距、首行缩进", () => { panel.hidden = !panel.hidden; drawBar(); followControls(); });
const backButton = toggle("返回", "回到跳转前的位置", () => goBack());
backButton.className = "back";
backButton.hidden = true;
const faceGroup = document.createElement("span");
faceGroup.className = "group";
const faceLabel = document.createElement("span");
faceLabel.className = "label";
faceLabel.textContent = "字体";
faceGroup.append(faceLabel, faceButton);
bar.append(backButton, control("字号", "fontSize", (v) => String(Math.round(v))),
  control("行距", "leading", (v) => v.toFixed(2)), control("行宽", "width", (v) => String(Math.round(v))),
  faceGroup, layoutButton);

const justify = document.createElement("input");
justify.type = "checkbox";
justify.addEventListener("change", () => setTypography({ alignment: justify.checked ? "justify" : "start" }));
const spacing = document.createElement("input");
spacing.type = "range";
spacing.min = String(TYPOGRAPHY.paragraphSpacing.min);
spacing.max = String(TYPOGRAPHY.paragraphSpacing.max);
spacing.step = String(TYPOGRAPHY_STEPS.paragraphSpacing);
const spacingValue = document.createElement("output");
spacing.addEventListener("input", () => applySettings({ paragraphSpacing: Number(spacing.value) }));
spacing.addEventListener("change", () => setTypography({ paragraphSpacing: Number(spacing.value) }));
const indent = document.createElement("input");
indent.type = "checkbox";
indent.addEventListener("change", () => setTypography({ indent: indent.checked }));
const row = (...children) => {
  const label = document.createElement("label");
  label.append(...children);
  return label;
};
panel.append(row(justify, "两端对齐"), row("段间距", spacing, spacingValue), row(indent, "首行缩进"),
  toggle("恢复默认", "字号、行距、行宽、字体与排版都回到默认（Ctrl+0）", () => setTypography(TYPOGRAPHY_DEFAULTS)));

function drawBar() {
  const s = reader.settings;
  for (const out of bar.querySelectorAll("output[data-show]")) out.textContent = out.show(s[out.dataset.show]);
  for (const b of bar.querySelectorAll("button[data-step]")) {
    const key = b.dataset.step;
    b.disabled = stepTypography(s, key, b.textContent === "+" ? 1 : -1)[key] === s[key];
  }
  faceButton.textContent = s.face === "sans" ? "无衬线" : "衬线";
  layoutButton.classList.toggle("on", !panel.hidden);
  justify.checked = s.alignment === "justify";
  spacing.value = String(s.paragraphSpacing);
  spacingValue.textContent = s.paragraphSpacing.toFixed(2);
  indent.checked = s.indent;
}

addEventListener("keydown", (event) => {
  const inside = (selector) => event.target && event.target.closest && event.target.closest(selector);
  // A range or box of the panel takes its own keys; a button its space.
  const paging = !inside("input, select, textarea")
    && (event.key === "PageDown" || event.key === "PageUp" || (event.key === " " && !inside("button")));
  if (paging && !zoom.open && !event.ctrlKey && !event.metaKey && !event.altKey && !event.defaultPrevented) {
    event.preventDefault();
    const down = event.key === "PageDown" || (event.key === " " && !event.shiftKey);
    scrollBy(0, (down ? 1 : -1) * pageStep());
  } else if (event.key === "Escape" && zoom.open) {
    closeZoom();
    event.preventDefault();
  } else if ((event.ctrlKey || event.metaKey) && !event.altKey && (event.key === "0" || event.code === "Digit0")) {
    event.preventDefault();
    setTypography(TYPOGRAPHY_DEFAULTS);
  }
});

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
  backButton.hidden = false;
}

async function goBack() {
  const back = reader.back;
  reader.back = null;
  backButton.hidden = true;
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

// ---- an enlarged cut-out -----------------------------------------------------------

const zoom = { open: false, view: { scale: 1, x: 0, y: 0 } };
const zoomLayer = document.createElement("div");
zoomLayer.id = "zoom";
zoomLayer.hidden = true;
const zoomImage = document.createElement("img");
zoomImage.alt = "";
zoomImage.draggable = false;
const zoomTools = document.createElement("div");
zoomTools.className = "zoom-tools";
zoomLayer.append(zoomImage, zoomTools);
document.body.appendChild(zoomLayer);

// Opens a cut-out (a region of a page) enlarged, drawn anew at its finest.
// `region` is on the page as read; the image shows the page as displayed.
function openZoom(page, readAt) {
  const text = reader.paper ? reader.paper.text(page) : { width: 612, height: 792 };
  const turn = text.turn || 0;
  const region = shownRegion(readAt, turn);
  zoom.open = true;
  zoom.page = page;
  zoom.region = region;
  zoomLayer.hidden = false;
  zoomTools.textContent = "";
  zoomTools.append(
    toggle("原页", "在原版中查看这一处", () => {
      closeZoom();
      bridge.post(EVENTS.original, { [KEYS.page]: page, [KEYS.point]: { x: region[0], y: region[1] } });
    }),
    toggle("关闭", "关闭（Esc）", () => closeZoom()));
  // Fitted into the view, at least twice its size in the text.
  const w = region[2] * (turn % 2 ? text.height : text.width), h = region[3] * (turn % 2 ? text.width : text.height);
  const fit = Math.min(innerWidth * 0.92 / w, innerHeight * 0.84 / h, 3 * reader.settings.fontSize / bodyOf());
  zoomImage.style.width = Math.round(w * fit) + "px";
  zoomImage.style.height = Math.round(h * fit) + "px";
  zoom.view = { scale: 1, x: (innerWidth - w * fit) / 2, y: (innerHeight - h * fit) / 2 };
  zoomImage.src = pageImageUrl(reader.token, page, region, true);
  placeZoom();
}

function closeZoom() {
  zoom.open = false;
  zoomLayer.hidden = true;
  zoomImage.removeAttribute("src");
}

function zoomBy(factor, x, y) {
  zoom.view = zoomAbout(zoom.view, factor, Number.isFinite(x) ? x : innerWidth / 2, Number.isFinite(y) ? y : innerHeight / 2);
  placeZoom();
}

function placeZoom() {
  const v = zoom.view;
  zoomImage.style.transform = `translate(${v.x}px, ${v.y}px) scale(${v.scale})`;
}

zoomLayer.addEventListener("click", (event) => {
  if (event.target === zoomLayer) closeZoom();
});
// A pinch on a touchpad comes as a wheel with Ctrl; a plain wheel moves.
zoomLayer.addEventListener("wheel", (event) => {
  event.preventDefault();
  if (event.ctrlKey) zoomBy(Math.exp(-event.deltaY / 200), event.clientX, event.clientY);
  else {
    zoom.view = { ...zoom.view, x: zoom.view.x - event.deltaX, y: zoom.view.y - event.deltaY };
    placeZoom();
  }
}, { passive: false });
zoomImage.addEventListener("pointerdown", (event) => {
  const start = { x: event.clientX, y: event.clientY, view: zoom.view };
  zoomImage.setPointerCapture(event.pointerId);
  const move = (e) => {
    zoom.view = { ...start.view, x: start.view.x + e.clientX - start.x, y: start.view.y + e.clientY - start.y };
    placeZoom();
  };
  const up = () => {
    zoomImage.removeEventListener("pointermove", move);
    zoomImage.removeEventListener("pointerup", up);
  };
  zoomImage.addEventListener("pointermove", move);
  zoomImage.addEventListener("pointerup", up);
});
zoomImage.addEventListener("dblclick", (event) => zoomBy(zoom.view.scale >= 2 ? 1 / zoom.view.scale : 2, event.clientX, event.clientY));

// A click on a formula, table, figure or a glyph kept as it looks opens it.
flow.addEventListener("click", (event) => {
  const glyph = event.target.closest(".glyph");
  const fig = !glyph && event.target.closest("figure.cutout");
  if (glyph) {
    const part = glyph.closest(".part");
    const block = part && reader.blocks.get(part.dataset.key);
    const g = block && block.glyphs.find((x) => x.start === Number(glyph.dataset.start));
    if (g) openZoom(block.page, g.region);
  } else if (fig && event.target.tagName === "IMG") {
    const block = reader.blocks.get(fig.dataset.key);
    if (block) openZoom(block.page, block.region);
  }
});

// ---- parsing and layout ------------------------------------------------------

async function start() {
  showStatus("正在读取文献…");
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
  observeScrolling();
  if (window.folvanReflowAll) layEverything();
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
  // The page and the neighbours its layout compares it with are read one
  // task each, so that a search or a scroll waits for no more than one.
  for (let i = Math.max(0, index - 2); i <= Math.min(reader.pageCount - 1, index + 2); i++) {
    if (!reader.paper.texts.has(i)) {
      reader.paper.text(i);
      if (reader.times.firstScreen !== undefined) await new Promise((resolve) => setTimeout(resolve, 0));
    }
  }
  const geometry = reader.token ? await fetchGeometry(reader.token, index) : null;
  const t1 = performance.now();
  const laid = reader.paper.layout(index, geometry && Array.isArray(geometry.graphics) ? geometry.graphics : []);
  const t2 = performance.now();
  reader.laid[index] = laid;
  renderPage(laid);
  const t = reader.times;
  t.text = (t.text || 0) + (t1 - t0);
  t.layout = (t.layout || 0) + (t2 - t1);
  t.render = (t.render || 0) + (performance.now() - t2);
}

// Lets go of a page far from the reader: its place keeps its height.
function hidePage(index) {
  const section = reader.sections[index];
  if (!section || section.classList.contains("placeholder")) return;
  const height = section.getBoundingClientRect().height;
  reader.heights[index] = height;
  // Text of the next page that went on inside this page's paragraphs is set
  // apart in its own page again; text of this page inside the page before
  // is taken out of it.
  const next = reader.sections[index + 1];
  const carried = [...section.querySelectorAll(`.part[data-page="${index + 1}"]`)];
  if (next && carried.length) {
    const mark = next.querySelector(".page-mark");
    let after = mark;
    for (const part of carried) {
      const block = reader.blocks.get(part.dataset.key);
      if (!block) continue;
      const saved = reader.lastText;
      reader.lastText = {};
      const el = renderBlock({ ...block, joins: false });
      reader.lastText = saved;
      if (after) after.after(el);
      else next.prepend(el);
      after = el;
    }
    for (const el of next.querySelectorAll(`.part[data-page="${index + 1}"]`)) drawHitsIn(el);
  }
  const before = reader.sections[index - 1];
  if (before) {
    for (const part of before.querySelectorAll(`.part[data-page="${index}"]`)) {
      const prev = part.previousSibling;
      if (prev && prev.nodeType === Node.TEXT_NODE && !prev.data.trim()) prev.remove();
      const host = part.parentNode;
      part.remove();
      const parts = host.querySelectorAll(".part");
      if (parts.length) unwrapAll(parts[parts.length - 1], ".broken-hyphen");
    }
  }
  for (const el of section.querySelectorAll("[data-key]")) reader.blocks.delete(el.dataset.key);
  section.textContent = "";
  section.classList.add("placeholder");
  section.style.height = height + "px";
  delete reader.laid[index];
  reader.paper.forget(index);
}

// Lays out the pages around the screen and lets go of those far from it.
let arranging = false;
async function arrangePages() {
  if (arranging || !reader.sections.length || window.folvanReflowAll) return;
  arranging = true;
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
      drawAnnotations();
      // A page its layout left out (the paper went) ends the round, rather
      // than going round again without ever giving the page a turn.
      if (reader.sections[missing[0]] && reader.sections[missing[0]].classList.contains("placeholder")) break;
    }
  } finally {
    arranging = false;
  }
}

// The first and last page whose place is on screen (by binary search over
// the pages' places).
function pagesOnScreen() {
  const sections = reader.sections;
  return pagesIn(sections.length, (i) => sections[i].getBoundingClientRect(), barHeight(), innerHeight);
}

// For tools: lays out every page in order, without letting any go.
async function layEverything() {
  for (let i = 0; i < reader.pageCount; i++) await showPage(i);
  drawAnnotations();
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
  reader.lastText = before && !before.classList.contains("placeholder") && before.lastText ? before.lastText : {};
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
  drawHits(laid.page);
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
  // past figures and the notes at a page's foot.
  const last = reader.lastText[block.kind];
  // The page being set is still in a fragment: an element there has a parent
  // but is not connected yet; one replaced by a correction has none.
  if (block.joins && !block.front && last && last.parentNode && !last.classList.contains("front")) {
    const parts = last.querySelectorAll(".part");
    const prevPart = parts[parts.length - 1];
    const prevText = prevPart.textContent;
    const next = part(block);
    prevPart.after(next);
    // A word broken at the end of a column or page is shown whole; the
    // hyphen stays in the text (offsets count it) but is not drawn.
    if (/\p{L}-$/u.test(prevText) && /^\p{Ll}/u.test(block.text)) {
      wrapRange(prevPart, prevText.length - 1, prevText.length, () => {
        const hyphen = document.createElement("span");
        hyphen.className = "broken-hyphen";
        return hyphen;
      });
    } else if (!isCJK(block.text[0])) {
      prevPart.after(document.createTextNode(" "));
    }
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
  el.appendChild(flipButton(block));
  if (block.kind === "heading") reader.lastText = {};
  else reader.lastText[block.kind] = el;
  return el;
}

function part(block) {
  const span = document.createElement("span");
  span.className = "part";
  span.dataset.key = block.key;
  span.dataset.page = String(block.page);
  span.dataset.block = String(block.index);
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
  fig.appendChild(flipButton(block));
  return fig;
}

// A cut-out is shown at the size its text would have in the reflowed text,
// never wider than the column.
function sizeCutout(fig, block) {
  const scale = reader.settings.fontSize / bodyOf();
  const width = block.region[2] * block.pageWidth * scale;
  fig.style.setProperty("--cut-width", Math.round(width) + "px");
}

function sizeCutouts() {
  for (const fig of flow.querySelectorAll("figure.cutout")) {
    const block = reader.blocks.get(fig.dataset.key);
    if (block) sizeCutout(fig, block);
  }
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
    const mark = !reader.corrections.has(block.key);
    if (mark) reader.corrections.add(block.key);
    else reader.corrections.delete(block.key);
    rerender(block.key);
    bridge.post(EVENTS.correction, { [KEYS.key]: block.key, [KEYS.original]: mark });
  });
  return button;
}

// Shows one block again after its form changed.
function rerender(key) {
  const block = reader.blocks.get(key);
  if (!block) return;
  const old = flow.querySelector(`figure[data-key="${key}"]`) || flow.querySelector(`.part[data-key="${key}"]`);
  if (!old) return;
  const host = old.tagName === "FIGURE" ? old : old.closest(".block");
  const saved = reader.lastText;
  reader.lastText = {};
  const replacement = renderBlock({ ...block, joins: false });
  reader.lastText = saved;
  if (old.tagName !== "FIGURE" && host.querySelectorAll(".part").length > 1) {
    // One part of a paragraph that goes on: set it apart where it stands.
    host.parentNode.insertBefore(replacement, host.nextSibling);
    old.remove();
  } else {
    host.replaceWith(replacement);
  }
  const laid = reader.laid[block.page];
  if (laid) drawLinks(laid);
  drawHits(block.page);
  drawAnnotations();
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

// Pages not shown yet that hold the query are laid out apart, one a task,
// and their cut-outs told, so that the pane's count leaves out the hits
// inside images before the reader gets there. A long paper's are told as
// the reader reaches them.
const SURVEYED_PAGES = 150;

async function surveyCutouts(generation) {
  const query = reader.shownQuery;
  if (!query || !reader.paper || reader.pageCount > SURVEYED_PAGES) return;
  for (let i = 0; i < reader.pageCount; i++) {
    if (generation !== reader.searchGeneration) return;
    if (reader.told.has(i)) continue;
    const text = reader.paper.text(i);
    if (!findAll(text.lines.map((l) => l.text).join(" "), query).length) continue;
    const geometry = reader.token ? await fetchGeometry(reader.token, i) : null;
    if (generation !== reader.searchGeneration) return;
    if (!reader.told.has(i)) tellCutouts(reader.paper.survey(i, geometry && Array.isArray(geometry.graphics) ? geometry.graphics : []));
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
}

// ---- links -----------------------------------------------------------------

function drawLinks(laid) {
  for (const link of laid.links || []) {
    const rect = [link.x / laid.width, link.y / laid.height, link.w / laid.width, link.h / laid.height];
    for (const block of laid.blocks) {
      if (!block.map || block.region && !overlaps(block.region, rect)) continue;
      const range = rangeUnder(block, rect, laid.width, laid.height);
      const el = flow.querySelector(`.part[data-key="${block.key}"]`);
      if (!range || !el || el.querySelector(`a[data-uri="${cssEscape(link.uri)}"]`)) continue;
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
  reader.pending = { page: target.page, y: at.y, jump: true, flash: true };
  goToPending();
});

// A citation shows the text it points to when the pointer rests on it.
flow.addEventListener("mouseover", (event) => {
  const a = event.target.closest("a.link");
  if (!a || a.title || !a.dataset.internal) return;
  const target = linkTarget(a);
  const block = target && blockAt(target.page, pointOn(target.page, target.x, target.y).y);
  if (block && block.text) a.title = block.text.slice(0, 600);
});

function linkTarget(a) {
  if (!a.dataset.internal || !reader.paper) return null;
  if (!a.target_) a.target_ = reader.paper.target(a.dataset.uri) || false;
  return a.target_ || null;
}

// A point of a page as displayed (points) as fractions of the page as read.
function pointOn(page, x, y) {
  const text = reader.paper && page < reader.pageCount ? reader.paper.text(page) : null;
  if (!text) return { x: 0, y: 0 };
  const odd = (text.turn || 0) % 2;
  const shown = { x: heightFraction(x, odd ? text.height : text.width), y: heightFraction(y, odd ? text.width : text.height) };
  return readPoint(shown, text.turn || 0);
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
  if (reader.settings.query.trim() && reader.shownQuery !== reader.settings.query.trim()) {
    clearTimeout(reader.searchTimer);
    runSearch(page);
  }
  const hits = reader.settings.query ? [...flow.querySelectorAll(`.part[data-page="${page}"] mark.hit`)] : [];
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
    const hit = nthHit(page, Math.max(0, Number(p.ordinal) || 0));
    const figure = hit && hit.figure;
    const current = figure ? null : hit ? hit.mark : hits[hits.length - 1];
    if (figure) {
      figure.scrollIntoView({ block: "center" });
      flashElement(figure);
    } else if (current) {
      current.classList.add("current");
      current.scrollIntoView({ block: "center" });
    }
    return;
  }
  if (!target && Number.isFinite(p.block)) {
    const block = reader.laid[page] && reader.laid[page].blocks[p.block];
    const el = block && (flow.querySelector(`.part[data-key="${block.key}"]`) || flow.querySelector(`figure[data-key="${block.key}"]`));
    if (el) {
      const host = el.closest(".block") || el;
      host.scrollIntoView({ block: "start" });
      if (Number.isFinite(p.offset) && block.text && p.offset > 0) {
        scrollBy(0, host.getBoundingClientRect().height * Math.min(1, p.offset / block.text.length) - 8);
      }
      return;
    }
  }
  if (!target && Number.isFinite(p.y)) {
    const turn = reader.laid[page] ? reader.laid[page].turn : 0;
    const at = turn ? readPoint({ x: Number.isFinite(p.x) ? p.x : 0.5, y: p.y }, turn) : { x: p.x, y: p.y };
    const block = blockAt(page, at.y, Number.isFinite(p.x) || turn ? at.x : undefined);
    const el = block && (flow.querySelector(`.part[data-key="${block.key}"]`) || flow.querySelector(`figure[data-key="${block.key}"]`));
    if (el) target = el.closest(".block") || el;
  }
  if (!target) target = reader.sections[page];
  if (target) target.scrollIntoView({ block: range ? "center" : "start" });
  if (range) flashRange(range.el, range.at[0], range.at[1]);
  else if (p.flash && target) flashElement(target);
}

// The n-th occurrence of the query on a laid-out page, in its blocks'
// order: { mark } for one drawn in text, { figure } for one inside a block
// shown as a cut-out, or null past the last.
function nthHit(page, n) {
  const laid = reader.laid[page];
  const query = reader.settings.query.trim();
  if (!laid || !query) return null;
  for (const block of laid.blocks) {
    const count = block.text ? findAll(block.text, query).length : 0;
    if (n >= count) {
      n -= count;
      continue;
    }
    if (shownAsImage(block)) return { figure: flow.querySelector(`figure[data-key="${block.key}"]`) };
    const part = flow.querySelector(`.part[data-key="${block.key}"]`);
    const marks = part ? [...part.querySelectorAll("mark.hit")] : [];
    return marks.length ? { mark: marks[Math.min(n, marks.length - 1)] } : null;
  }
  return null;
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

// ---- search hits -------------------------------------------------------------

// Search hits are drawn for the query that stood still for the pane's own
// debounce; a newer query stops the pass of an older one, and an empty one
// takes every hit away at once.
const SEARCH_DELAY_MS = 200;

function scheduleSearch() {
  clearTimeout(reader.searchTimer);
  reader.searchGeneration = (reader.searchGeneration || 0) + 1;
  reader.queryAt = performance.now();
  if (!reader.settings.query.trim()) runSearch();
  else reader.searchTimer = setTimeout(runSearch, SEARCH_DELAY_MS);
}

// `page`, when given, is drawn first, before the pass gives way.
async function runSearch(page) {
  const generation = ++reader.searchGeneration;
  reader.shownQuery = reader.settings.query.trim();
  unwrapAll(flow, "mark.hit");
  if (!reader.shownQuery || !reader.sections.length) return;
  // The pages on screen first, then the others that are shown.
  const [first, last] = pagesOnScreen();
  const pages = page === undefined ? [] : [page];
  for (let i = first; i <= last; i++) if (i !== page) pages.push(i);
  for (const section of reader.sections) {
    const i = Number(section.dataset.page);
    if ((i < first || i > last) && i !== page && !section.classList.contains("placeholder")) pages.push(i);
  }
  for (const page of pages) {
    if (generation !== reader.searchGeneration) return;
    drawHits(page);
    if (reader.times.searchFirstHit === undefined && flow.querySelector("mark.hit")) {
      reader.times.searchFirstHit = performance.now() - reader.queryAt;
    }
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
  await surveyCutouts(generation);
}

function drawHits(page) {
  const parts = page === undefined ? flow.querySelectorAll(".part") : reader.sections[page] ? reader.sections[page].querySelectorAll(".part") : [];
  for (const el of parts) drawHitsIn(el);
}

function drawHitsIn(el) {
  unwrapAll(el, "mark.hit");
  const query = reader.shownQuery;
  if (!query) return;
  for (const [s, e] of findAll(el.textContent, query)) {
    wrapRange(el, s, e, () => {
      const m = document.createElement("mark");
      m.className = "hit";
      return m;
    });
  }
}

// ---- highlights and underlines ----------------------------------------------

function drawAnnotations() {
  unwrapAll(flow, "mark.note");
  // The native side sends one fragment per line of an annotation; the ranges
  // of one annotation in one block are drawn as one, across the spaces
  // between lines.
  const spans = new Map();
  for (const f of reader.annotations) {
    if (!f || !Array.isArray(f.rect) || f.rect.length !== 4) continue;
    const laid = reader.laid[f.page];
    if (!laid) continue;
    const rect = readRegion(f.rect, laid.turn);
    for (const block of laid.blocks) {
      if (!block.map || !block.region || !overlaps(block.region, rect)) continue;
      let range = rangeUnder(block, rect, laid.width, laid.height);
      if (!range && f.quote) range = findQuote(block.text, f.quote, f.before, f.after);
      if (!range) continue;
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
    for (const [start, end] of merged) {
      wrapRange(el, start, end, () => {
        const m = document.createElement("mark");
        m.className = "note " + (f.kind === "underline" ? "underline" : "highlight");
        m.dataset.id = String(f.id || "");
        m.style.setProperty("--note", `${color[0]}, ${color[1]}, ${color[2]}`);
        if (f.note) m.title = String(f.note);
        return m;
      });
    }
  }
}

// ---- selection and study tools ----------------------------------------------

let selectionTimer = 0;
document.addEventListener("selectionchange", () => {
  clearTimeout(selectionTimer);
  selectionTimer = setTimeout(reportSelection, 180);
});

function currentSources() {
  const sel = getSelection();
  if (!sel || sel.isCollapsed || !sel.rangeCount) return [];
  const sources = [];
  for (const { part, start, end } of selectedParts(sel.getRangeAt(0), flow)) {
    const block = reader.blocks.get(part.dataset.key);
    if (!block || !block.text.slice(start, end).trim()) continue;
    const source = textSource(block, start, end, block.pageWidth, block.pageHeight);
    if (source.rect && block.turn) source.rect = shownRegion(source.rect, block.turn);
    sources.push(source);
    if (sources.length === 64) break;
  }
  return sources;
}

function reportSelection() {
  if (!reader.token) return;
  const sources = currentSources();
  const text = JSON.stringify(sources);
  if (text === reader.selection) return;
  reader.selection = text;
  bridge.post(EVENTS.selection, sources.length ? { [KEYS.sources]: sources } : {});
  drawTools();
}

// How long "撤销" stays offered, and how far the reader scrolls on before it
// goes.
const UNDO_OFFER_MS = 4000;

function offerUndo() {
  reader.undoOffered = true;
  reader.undoOfferedAt = scrollY;
  clearTimeout(reader.undoTimer);
  reader.undoTimer = setTimeout(withdrawUndo, UNDO_OFFER_MS);
}

function withdrawUndo() {
  clearTimeout(reader.undoTimer);
  if (!reader.undoOffered) return;
  reader.undoOffered = false;
  drawTools();
}

function drawTools() {
  // The toolbar follows the selection on screen, not the last one reported.
  const sel = getSelection();
  const sources = reader.selection && sel && !sel.isCollapsed ? JSON.parse(reader.selection) : [];
  tools.textContent = "";
  const add = (label, action, enabled = true) => {
    const b = document.createElement("button");
    b.type = "button";
    b.textContent = label;
    b.disabled = !enabled;
    b.addEventListener("mousedown", (e) => e.preventDefault());
    b.addEventListener("click", () => {
      const live = currentSources();
      bridge.post(EVENTS.studyAction, { [KEYS.action]: action, ...(live.length ? { [KEYS.sources]: live } : {}) });
      // Once marked or noted, the selection is done with: the toolbar goes
      // with it.
      if (action === ACTIONS.highlight || action === ACTIONS.underline || action === ACTIONS.note) {
        getSelection().removeAllRanges();
        reportSelection();
      }
    });
    tools.appendChild(b);
  };
  if (sources.length) {
    add("高亮", ACTIONS.highlight);
    add("下划线", ACTIONS.underline);
    add("笔记", ACTIONS.note);
    add("复制", ACTIONS.copy);
  }
  if (reader.canUndo && reader.undoOffered) add("撤销", ACTIONS.undo);
  if (reader.canRedo && reader.undoOffered) add("重做", ACTIONS.redo);
  tools.hidden = !tools.childElementCount;
  if (sources.length && sel.rangeCount) {
    const r = sel.getRangeAt(0).getBoundingClientRect();
    tools.style.top = Math.max(8, r.top - 44) + "px";
    tools.style.left = Math.max(8, Math.min(innerWidth - 320, r.left)) + "px";
    tools.classList.add("floating");
  } else {
    tools.classList.remove("floating");
    tools.style.top = "";
    tools.style.left = "";
  }
}

// A click on a highlight offers to remove it.
flow.addEventListener("contextmenu", (event) => {
  const mark = event.target.closest("mark.note");
  if (!mark || !mark.dataset.id) return;
  event.preventDefault();
  tools.textContent = "";
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = "删除标注";
  b.addEventListener("click", () => {
    bridge.post(EVENTS.studyAction, { [KEYS.action]: ACTIONS.remove, [KEYS.id]: mark.dataset.id });
    tools.hidden = true;
  });
  tools.appendChild(b);
  tools.hidden = false;
  tools.classList.add("floating");
  tools.style.top = Math.max(8, event.clientY - 44) + "px";
  tools.style.left = Math.max(8, event.clientX - 20) + "px";
});

// ---- position, visible pages --------------------------------------------------

function observeScrolling() {
  let frame = 0;
  let positionTimer = 0;
  const onScroll = () => {
    if (frame) return;
    frame = requestAnimationFrame(() => {
      frame = 0;
      arrangePages();
      const { page, block, offset, point, pages } = readingPlace();
      if (page < 0) return;
      const visible = pages.join(",");
      if (reader.undoOffered && Math.abs(scrollY - reader.undoOfferedAt) > innerHeight / 3) withdrawUndo();
      if (visible !== reader.visible) {
        reader.visible = visible;
        reader.pagesMoved = true;
        bridge.post(EVENTS.visiblePages, { [KEYS.pages]: pages });
      }
      if (page !== reader.lastPage) {
        reader.lastPage = page;
        bridge.post(EVENTS.page, { [KEYS.page]: page });
      }
      clearTimeout(positionTimer);
      const place = { page, block, offset, point };
      positionTimer = setTimeout(() => bridge.post(EVENTS.position, positionFields(place)), 300);
    });
  };
  addEventListener("scroll", onScroll, { passive: true });
  addEventListener("resize", onScroll);
  onScroll();
}

// The first block at the top of the view and the pages on screen.
function readingPlace() {
  const pages = new Set();
  let first = null;
  const top = barHeight();
  for (const el of flow.querySelectorAll(".part, figure.cutout")) {
    const r = el.getBoundingClientRect();
    if (r.bottom < top) continue;
    if (r.top > innerHeight) break;
    pages.add(Number(el.dataset.page));
    if (!first) first = { el, r };
  }
  if (!first) return { page: -1, pages: [] };
  const block = reader.blocks.get(first.el.dataset.key);
  const { offset, point: read } = placeInBlock(block, first.r, top);
  const point = read && block && block.turn ? shownPoint(read, block.turn) : read;
  return { page: block ? block.page : Number(first.el.dataset.page), block: block ? block.index : 0, offset, point, pages: [...pages].sort((a, b) => a - b).slice(0, 9) };
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
