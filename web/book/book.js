// The book page: the paper's page rasters laid out as a page-turning book.
// The native side drives it through the page object (wire.pageObject) and
// its calls (wire.call); the page posts its events (wire.event) to the
// message port wire.channelObject.
import { wire, rasterUrl, wallpaperUrl } from './wire.js';
import * as paper from './paper.js';
import {
  DEFAULT_SETTINGS, openedPaper, mergeSettings, stateFields, readingPage, turnTarget, clickTurn, cornerTurn, keyAction,
  ClickTurns,
} from './state.js';
import { BookShelf } from './flip.js';
import { Bridge } from '../shared/bridge.js';

const C = wire.call;
const E = wire.event;
const K = wire.key;
const P = wire.phase;

// ---- Messages to the native side ----------------------------------------

const bridge = new Bridge({ object: wire.channelObject, handshake: E.ready }, window);

// ---- State -----------------------------------------------------------------

let doc = { token: '', count: 0, aspect: 1.414 };
let settings = Object.assign({}, DEFAULT_SETTINGS);
let reading = { rectangles: [], links: [] };
let flip = null;
let sheets = [];       // one per page: { page, sheet, raster, marks, links, src }
let current = 0;       // the page the reader is on, in the spread shown
let asked = 0;         // the page last opened at or jumped to (readingPage)
let turningTo = null;  // the page a turn still in flight goes to
let edge = 2400;
let paperReady = false; // the first spread was drawn
let drawSerial = 0;
let wheelSum = 0;
let grainImage = '';

// ---- Building the book --------------------------------------------------------

const shelf = new BookShelf(window);

function grainTexture() {
  if (grainImage) return grainImage;
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = 128;
  const g = canvas.getContext('2d');
  const data = g.createImageData(128, 128);
  let seed = 7;
  for (let i = 0; i < data.data.length; i += 4) {
    seed = (seed * 16807) % 2147483647;
    const shade = 215 + (seed % 41);
    data.data[i] = data.data[i + 1] = data.data[i + 2] = shade;
    data.data[i + 3] = 255;
  }
  g.putImageData(data, 0, 0);
  grainImage = `url(${canvas.toDataURL()})`;
  return grainImage;
}

// A page and its sheet; what the sheet holds is made when it is first
// shown (a long paper has many pages).
function makeSheet(page) {
  const element = document.createElement('div');
  element.className = 'page';
  const sheet = document.createElement('div');
  sheet.className = 'sheet';
  sheet.dataset.page = String(page);
  element.appendChild(sheet);
  return { page, element, sheet, raster: null, warmth: null, grain: null, marks: null, links: null, src: '' };
}

function fill(s) {
  if (s.raster) return;
  const part = (tag, name) => {
    const element = document.createElement(tag);
    if (name) element.className = name;
    s.sheet.appendChild(element);
    return element;
  };
  s.raster = part('canvas', 'raster');
  s.raster.width = s.raster.height = 0;
  s.warmth = part('div', 'warmth');
  s.grain = part('div', 'grain');
  s.marks = part('div', 'marks');
  s.links = part('div', 'links');
  lookOf(s);
}

function build(startPage) {
  asked = startPage;
  turningTo = null;
  const stage = document.getElementById('stage');
  const centre = paper.viewCentre(stage);
  if (flip) {
    const old = flip;
    flip = null;
    shelf.release(old);
  }
  const tilt = document.getElementById('tilt');
  tilt.textContent = '';
  if (!doc.count) return;
  const root = document.createElement('div');
  tilt.appendChild(root);
  const size = paper.pageSize(innerWidth, innerHeight, doc.aspect, settings[K.layout], settings[K.zoom]);
  edge = paper.rasterEdge(size.width, size.height, window.devicePixelRatio);
  // The book is as wide as the pages it shows side by side: one page
  // makes page-flip turn single pages.
  const across = paper.pagesAcross(settings[K.layout], doc.count);
  tilt.style.width = `${size.width * across}px`;
  tilt.style.height = `${size.height}px`;
  release(new Set());
  sheets = [];
  for (let page = 0; page < doc.count; page++) sheets.push(makeSheet(page));
  flip = shelf.make(St.PageFlip, root, {
    width: size.width,
    height: size.height,
    maxWidth: size.width,
    size: 'fixed',
    showCover: across === 2,
    usePortrait: true,
    startPage: Math.min(Math.max(0, startPage), doc.count - 1),
    flippingTime: settings[K.turnDuration] * 1000,
    // Clicks and drags are the page's own (below): a click near a
    // page's outer edge turns, a drag selects text.
    useMouseEvents: false,
    showPageCorners: false,
    drawShadow: !settings[K.reducedMotion],
    maxShadowOpacity: 0.35,
    mobileScrollSupport: false,
    clickEventForward: true,
  }, sheets.map((s) => s.element), (book, page) => {
    if (book !== flip) return;
    // A leaf turned by a drag: the spread is read from its top, the page
    // turned to in view.
    if (dragTurn) {
      const visible = spread(page);
      showTurnedTo(dragTurn > 0 ? visible[0] : visible[visible.length - 1], false);
      dragTurn = 0;
    }
    show(page);
  });
  // What does not fit the view stays reachable, the same point of the
  // book in the middle of the view as before.
  paper.scrollToCentre(stage, centre);
  applyLook();
  show(flip.getCurrentPageIndex());
}

function applyLook() {
  // The whole view leans back, as the page view does: the book's overflow
  // and scrolling are those of the untilted book.
  const stage = document.getElementById('stage');
  const size = paper.pageSize(innerWidth, innerHeight, doc.aspect, settings[K.layout], 1);
  const across = paper.pagesAcross(settings[K.layout], doc.count);
  stage.style.transform = paper.tiltTransform(settings[K.angle], innerWidth, innerHeight, settings[K.selectionMode],
                                              size.width * across, size.height);
  stage.classList.toggle('pan', settings[K.wheelMode] === 'pan');
  document.body.classList.toggle('selecting', settings[K.selectionMode]);
  for (const s of sheets) if (s.raster) lookOf(s);
}

// The paper look of one sheet: warmth and grain.
function lookOf(s) {
  const within = ({ lowest, highest }, n) => Math.min(highest, Math.max(lowest, n || 0));
  const warmth = within(wire.settings.warmth, settings[K.warmth]) * 0.35;
  const grain = within(wire.settings.grain, settings[K.grain]) * 0.25;
  s.warmth.style.opacity = String(warmth);
  s.grain.style.opacity = String(grain);
  s.grain.style.backgroundImage = grain > 0 ? grainTexture() : '';
}

// ---- Showing pages ----------------------------------------------------------------

// The layout page-flip shows: one page across when it turned to portrait.
function shownLayout() {
  return flip && flip.getOrientation() === 'portrait' ? 'single' : settings[K.layout];
}

function spread(page) {
  return paper.spreadOf(page, doc.count, shownLayout());
}

// The encoded raster of `url`, fetched from the page's own scheme.
function fetchBytes(url) {
  return new Promise((resolve, reject) => {
    const request = new XMLHttpRequest();
    request.open('GET', url);
    request.responseType = 'arraybuffer';
    request.onload = () => (request.response && request.response.byteLength ? resolve(request.response) : reject(new Error(url)));
    request.onerror = () => reject(new Error(url));
    request.send();
  });
}

// The picture of PNG `bytes`: { image, width, height, close() }. Decoded
// straight from the bytes: the bytes of a Blob stay with the engine's
// browser side until the page's garbage collector lets the Blob go, which
// a page holding little script memory seldom does, and a reader opening
// paper after paper kept every raster it had shown.
async function decodeRaster(bytes) {
  if (typeof ImageDecoder !== 'function') {
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    return { image: bitmap, width: bitmap.width, height: bitmap.height, close: () => bitmap.close() };
  }
  const decoder = new ImageDecoder({ data: bytes, type: 'image/png' });
  try {
    const { image } = await decoder.decode();
    let bitmap;
    try {
      bitmap = await createImageBitmap(image);
    } finally {
      image.close();
    }
    return { image: bitmap, width: bitmap.width, height: bitmap.height, close: () => bitmap.close() };
  } finally {
    decoder.close();
  }
}

// Fetches the page's raster and decodes it into its canvas. The picture is
// closed once drawn and the canvas emptied when the page is let go or the
// book rebuilt: no decoded raster outlives the sheet that shows it, as
// an image element's would in the engine's decoded-image caches.
function load(page) {
  const s = sheets[page];
  if (!s) return Promise.resolve();
  fill(s);
  const url = rasterUrl(doc.token, page, edge);
  if (s.src !== url) {
    s.src = url;
    s.drawing = null;
    s.bytes = fetchBytes(url);
  }
  if (s.drawing) return s.drawing;
  const token = doc.token;
  s.drawing = s.bytes.then((bytes) => decodeRaster(bytes)).then((picture) => {
    if (s.src === url) {
      s.raster.width = picture.width;
      s.raster.height = picture.height;
      s.raster.getContext('2d').drawImage(picture.image, 0, 0);
      s.bytes = null;
    }
    picture.close();
  }).catch(() => {
    // Only a raster of this load that is still wanted has failed.
    if (token === doc.token && sheets[page] === s && s.src === url)
      bridge.post(E.failure, { [K.message]: `第 ${page + 1} 页无法显示。` });
  });
  return s.drawing;
}

function empty(s) {
  s.src = '';
  s.drawing = s.bytes = null;
  s.raster.width = s.raster.height = 0;
}

// Keeps the rasters near the shown spread and lets the far ones go.
function release(keep) {
  for (const s of sheets) if (s.src && s.raster && !keep.has(s.page)) empty(s);
}

// page-flip shows the spread of `page` (it names the spread's first).
function show(page) {
  const visible = spread(page);
  current = readingPage(asked, visible);
  if (visible.includes(turningTo)) turningTo = null;
  const serial = ++drawSerial;
  const before = paper.neighbourSpread(page, doc.count, settings[K.layout], false);
  const after = paper.neighbourSpread(page, doc.count, settings[K.layout], true);
  const ahead = [];
  for (const start of [after, before]) if (start !== null) ahead.push(...spread(start));
  release(new Set([...visible, ...ahead]));
  postState(false);
  Promise.all(visible.map((p) => load(p))).then(() => {
    if (serial !== drawSerial) return;
    const first = !paperReady;
    paperReady = true;
    postState(first, true);
    // The next and previous spreads drawn as well: a turn shows them from
    // its first frame, on both faces of the turning leaf and on the page
    // it uncovers.
    for (const p of ahead) load(p);
  });
  drawReading();
}

function postState(ready, drawn, page = current) {
  if (!flip) return;
  bridge.post(E.state, stateFields(page, spread(page), doc.count, settings[K.layout], ready, drawn));
}

// ---- Overlays and links ----------------------------------------------------------

// Rows are placed in percent of their sheet, whatever its size now.
function placeRow(parent, tag, row, color) {
  const box = paper.rowBox(row, 100, 100);
  if (!box) return;
  const element = document.createElement(tag);
  Object.assign(element.style, {
    left: `${box.left}%`, top: `${box.top}%`, width: `${box.width}%`, height: `${box.height}%`,
  });
  if (color) element.style.background = color;
  parent.appendChild(element);
}

function drawReading() {
  for (const s of sheets) {
    if (!s.raster) continue;
    s.marks.textContent = '';
    s.links.textContent = '';
  }
  const sheetOf = (row) => {
    const s = Array.isArray(row) && sheets[row[0]];
    if (s) fill(s);
    return s;
  };
  for (const row of reading.rectangles || []) {
    const s = sheetOf(row);
    if (s) placeRow(s.marks, 'div', row, paper.rowColor(row));
  }
  for (const row of reading.links || []) {
    const s = sheetOf(row);
    if (s) placeRow(s.links, 'a', row, '');
  }
}

function showPoint(page, point) {
  const s = sheets[page];
  if (s) fill(s);
  const u = point && point[K.u];
  const v = point && point[K.v];
  if (!s || !Number.isFinite(u) || !Number.isFinite(v)) return;
  const at = paper.elementPoint(u, v, 100, 100);
  const dot = document.createElement('div');
  dot.className = 'point';
  dot.style.left = `${at.x}%`;
  dot.style.top = `${at.y}%`;
  s.marks.appendChild(dot);
}

// ---- Turning ---------------------------------------------------------------------

// The page the book shows once the turn in flight lands: a key pressed
// again during a turn turns on from there, and a book built anew during one
// opens there.
function destination() {
  return turningTo ?? current;
}

// Turns one spread; false at either end. The new spread is read from its
// top (from its bottom when `fromBottom`), the page turned to in view.
function turn(forward, fromBottom = false) {
  if (!flip) return false;
  const target = turnTarget(spread(destination()), doc.count, forward);
  if (target === null) return false;
  dragTurn = 0;
  showTurnedTo(target, fromBottom);
  // A turn asked for before the spread ahead was drawn draws it now.
  for (const p of spread(target)) load(p);
  // The turn's target is the reading position from now on, not once the
  // animation ends: a quit during the turn keeps the page turned to.
  asked = turningTo = spread(target)[0];
  postState(false, false, asked);
  if (settings[K.reducedMotion]) {
    if (forward) flip.turnToNextPage();
    else flip.turnToPrevPage();
  } else if (forward) flip.flipNext('bottom');
  else flip.flipPrev('bottom');
  return true;
}

// Shows the spread of `page`, the reader on that page.
function goTo(page) {
  asked = page;
  turningTo = null;
  dragTurn = 0;
  if (spread(current).includes(page)) {
    // The spread stays; the reader is now on the page asked for.
    current = page;
    postState(false);
  } else {
    flip.turnToPage(page);
  }
}

// Scrolls a book larger than the view to the spread's top (or bottom) and
// across to `page`, with the margin around it.
function showTurnedTo(page, fromBottom) {
  const stage = document.getElementById('stage');
  const tilt = document.getElementById('tilt');
  const width = tilt.offsetWidth / paper.pagesAcross(shownLayout(), doc.count);
  const left = tilt.offsetLeft + paper.sideOf(page, doc.count, shownLayout()) * width;
  stage.scrollLeft = paper.reveal(stage.scrollLeft, stage.clientWidth, left - 24, left + width + 24);
  stage.scrollTop = fromBottom ? stage.scrollHeight : 0;
}

// ---- Input -------------------------------------------------------------------------

// The sheet under an event and the paper point there. The event's offset
// is in its target's own box, through the tilt and page-flip's transforms.
function sheetAt(event) {
  const element = event.target.closest && event.target.closest('.sheet');
  if (!element) return null;
  let x = event.offsetX;
  let y = event.offsetY;
  for (let e = event.target; e && e !== element; e = e.offsetParent) {
    x += e.offsetLeft;
    y += e.offsetTop;
  }
  const point = paper.paperPoint(x, y, element.offsetWidth, element.offsetHeight);
  return { page: Number(element.dataset.page), u: point.u, v: point.v };
}

document.addEventListener('keydown', (event) => {
  const action = keyAction(event);
  if (action === 'forward' || action === 'backward') {
    event.preventDefault();
    turn(action === 'forward');
  } else if (action === 'first' || action === 'last') {
    event.preventDefault();
    if (!flip || !doc.count) return;
    // The paper's beginning from its top, its end from its bottom.
    const page = action === 'first' ? 0 : doc.count - 1;
    goTo(page);
    showTurnedTo(page, action === 'last');
  } else if (action === 'clear') {
    bridge.post(E.clearSelection);
  }
});

document.addEventListener('wheel', (event) => {
  if (event.ctrlKey || settings[K.wheelMode] === 'pan') return;
  event.preventDefault();
  const sensitivity = Number.isFinite(settings[K.wheelSensitivity])
    ? settings[K.wheelSensitivity] : wire.settings.wheelSensitivity.fallback;
  // Lines and pages as pixels, as a mouse wheel's notch gives them.
  const unit = event.deltaMode === 1 ? 33 : event.deltaMode === 2 ? innerHeight : 1;
  // A spread taller than the view is scrolled through before it turns.
  const stage = document.getElementById('stage');
  const down = paper.scrollRoom(stage, event.deltaY * unit);
  if (down) {
    wheelSum = 0;
    stage.scrollTop += down;
    return;
  }
  const delta = (event.deltaY || event.deltaX) * unit;
  const step = paper.wheelTurn(wheelSum, delta, sensitivity, settings[K.wheelReverse]);
  wheelSum = step.sum;
  // The next spread is read from its top, the previous from its bottom.
  if (step.turn) turn(step.turn > 0, step.turn < 0);
}, { passive: false });

// The fields of an event at paper point `at` ({page, u, v}), and of a
// selection's step there.
function pointFields(at) {
  return { [K.page]: at.page, [K.u]: at.u, [K.v]: at.v };
}

function selectFields(at, phase, gesture) {
  return { ...pointFields(at), [K.phase]: phase, [K.gesture]: gesture };
}

// Links: a click follows, resting on one may preview it.
document.addEventListener('click', (event) => {
  if (event.target.tagName !== 'A') return;
  event.stopImmediatePropagation();
  const at = sheetAt(event);
  if (at) bridge.post(E.link, pointFields(at));
});
let hovering = false;
document.addEventListener('mousemove', (event) => {
  if (event.target.tagName === 'A') {
    const at = sheetAt(event);
    if (at) {
      hovering = true;
      bridge.post(E.hover, { ...pointFields(at), [K.x]: event.clientX, [K.y]: event.clientY });
    }
  } else if (hovering) {
    hovering = false;
    bridge.post(E.hoverEnd);
  }
});

// Clicks: near a page's outer edge the book turns (clickTurn), a moment
// later unless the click is the first of a double click (ClickTurns);
// elsewhere a click clears the selection. A drag selects text, a double
// click a word.
const clickTurns = new ClickTurns((step) => turn(step > 0), (run, ms) => setTimeout(run, ms),
                                  (handle) => clearTimeout(handle),
                                  () => performance.now());
// Before the presses the page takes for itself (a pan, a leaf lifted),
// which make no mouse events.
document.addEventListener('pointerdown', (event) => {
  if (event.button === 0) clickTurns.press(event.clientX, event.clientY);
}, { capture: true });
document.addEventListener('click', (event) => {
  if (event.target.tagName === 'A' || event.detail > 1 || dragged) return;
  const at = sheetAt(event);
  const step = at ? clickTurn(at, spread(current), settings[K.selectionMode]) : 0;
  if (step) clickTurns.click(step, event.clientX, event.clientY);
  else bridge.post(E.clearSelection);
});

let gesture = 0;
let dragging = null;
let dragged = false;
let panning = null;
let cornerDrag = null;
let dragTurn = 0;      // the direction of a leaf let go past the middle
function pickWord(event) {
  const at = sheetAt(event);
  if (!at) return;
  gesture += 1;
  bridge.post(E.select, selectFields(at, P.word, `word-${gesture}`));
}
document.addEventListener('dblclick', (event) => {
  if (clickTurns.mayPickWord()) pickWord(event);
});
// A right click picks the word under the pointer while the text tool is
// on, and does nothing while it is off. The view shows no menu of its own.
document.addEventListener('contextmenu', (event) => {
  if (settings[K.selectionMode]) pickWord(event);
});
// A drag from a page's outer corner turns the leaf, drawn by page-flip
// under the pointer; let go short of the middle, it falls back. Its points
// are in page-flip's book block, which takes the pointer for the drag (an
// event's offset there is through the tilt).
function startCornerDrag(event, at, step) {
  const block = flip.getUI().getDistElement();
  const sheet = sheets[at.page].sheet;
  const side = paper.sideOf(at.page, doc.count, shownLayout());
  const start = { x: (side + at.u) * sheet.offsetWidth, y: (1 - at.v) * sheet.offsetHeight };
  flip.startUserTouch(start);
  cornerDrag = { book: flip, block, step, start, x: event.clientX, y: event.clientY, moved: false, last: null };
  block.setPointerCapture(event.pointerId);
  event.preventDefault();
}

function endCornerDrag(event, cancelled) {
  const drag = cornerDrag;
  cornerDrag = null;
  const at = event.target === drag.block ? { x: event.offsetX, y: event.offsetY } : drag.last;
  if (!drag.moved || !at) {
    // A press without a drag ends page-flip's touch; the click that
    // follows turns.
    drag.book.userStop(at || { x: 0, y: 0 }, true);
    return;
  }
  dragged = true;
  if (drag.book !== flip) return;
  dragTurn = cancelled ? 0 : drag.step;
  drag.book.userStop(cancelled ? drag.last : at);
}

// A book larger than the view is moved by dragging it: outside the pages,
// with the middle button, or anywhere while the book turns pages rather
// than selects text.
document.addEventListener('pointerdown', (event) => {
  dragged = false;
  dragTurn = 0;
  const stage = document.getElementById('stage');
  const at = event.target.tagName === 'A' ? null : sheetAt(event);
  const step = at && event.button === 0 && flip ? cornerTurn(at, spread(current), settings[K.selectionMode]) : 0;
  if (step && sheets[at.page]) {
    startCornerDrag(event, at, step);
    return;
  }
  const pans = paper.overflows(stage) && (event.button === 1 || (event.button === 0 && (!at || !settings[K.selectionMode])));
  if (pans) {
    panning = { x: event.clientX, y: event.clientY, left: stage.scrollLeft, top: stage.scrollTop, moved: false };
    event.preventDefault();
    return;
  }
  if (event.button === 0 && at) dragging = { start: at, x: event.clientX, y: event.clientY, name: '' };
});
document.addEventListener('pointermove', (event) => {
  if (cornerDrag) {
    if (!cornerDrag.moved && Math.hypot(event.clientX - cornerDrag.x, event.clientY - cornerDrag.y) < 5) return;
    if (event.target !== cornerDrag.block || cornerDrag.book !== flip) return;
    // The leaf is lifted at the corner pressed: page-flip would take the
    // direction from wherever the first move lands.
    if (!cornerDrag.moved) flip.getFlipController().fold(cornerDrag.start);
    cornerDrag.moved = true;
    cornerDrag.last = { x: event.offsetX, y: event.offsetY };
    flip.userMove(cornerDrag.last, false);
    return;
  }
  if (panning) {
    const dx = event.clientX - panning.x;
    const dy = event.clientY - panning.y;
    if (!panning.moved && Math.hypot(dx, dy) < 5) return;
    panning.moved = true;
    const stage = document.getElementById('stage');
    stage.scrollLeft = panning.left - dx;
    stage.scrollTop = panning.top - dy;
    return;
  }
  if (!dragging) return;
  if (!dragging.name) {
    if (Math.hypot(event.clientX - dragging.x, event.clientY - dragging.y) < 5) return;
    gesture += 1;
    dragging.name = `drag-${gesture}`;
    bridge.post(E.select, selectFields(dragging.start, P.start, dragging.name));
  }
  const at = sheetAt(event);
  if (at) bridge.post(E.select, selectFields(at, P.move, dragging.name));
});
document.addEventListener('pointercancel', (event) => {
  if (cornerDrag) endCornerDrag(event, true);
});
document.addEventListener('pointerup', (event) => {
  if (cornerDrag) {
    endCornerDrag(event, false);
    return;
  }
  if (panning) {
    dragged = panning.moved;
    panning = null;
    return;
  }
  const drag = dragging;
  dragging = null;
  if (!drag || !drag.name) return;
  dragged = true;
  const at = sheetAt(event) || drag.start;
  bridge.post(E.select, selectFields(at, P.end, drag.name));
});

let resizeTimer = 0;
window.addEventListener('resize', () => {
  clearTimeout(resizeTimer);
  resizeTimer = setTimeout(() => build(destination()), 120);
});

// The pane's wallpaper behind the book, where the pane shows it around its
// other views: over the place given, in view pixels; none without a
// revision.
function showWallpaper(payload) {
  const style = document.body.style;
  const revision = payload[K.revision] | 0;
  if (!revision) {
    style.backgroundImage = '';
    return;
  }
  style.backgroundImage = `url("${wallpaperUrl(revision)}")`;
  style.backgroundRepeat = 'no-repeat';
  style.backgroundSize = `${+payload[K.width]}px ${+payload[K.height]}px`;
  style.backgroundPosition = `${+payload[K.x]}px ${+payload[K.y]}px`;
}

// ---- The bridge object -------------------------------------------------------------

window[wire.pageObject] = {
  [C.open](payload) {
    doc = openedPaper(payload);
    bridge.token = doc.token;
    settings = mergeSettings(settings, payload).settings;
    paperReady = false;
    reading = { rectangles: [], links: [] };
    // A click's turn still waiting was meant for the paper before; a book
    // only built anew (resized, a setting changed) still takes it.
    clickTurns.drop();
    build(payload[K.page] | 0);
  },
  [C.settings](payload) {
    const merged = mergeSettings(settings, payload);
    settings = merged.settings;
    if (merged.rebuild) build(destination());
    else {
      if (flip) flip.getSettings().flippingTime = settings[K.turnDuration] * 1000;
      applyLook();
    }
  },
  [C.jump](payload) {
    if (!flip || !Number.isInteger(payload[K.page])) return;
    const page = Math.min(Math.max(0, payload[K.page]), doc.count - 1);
    goTo(page);
    showPoint(page, payload[K.point]);
  },
  [C.reading](payload) {
    reading = { rectangles: payload[K.rectangles] || [], links: payload[K.links] || [] };
    drawReading();
  },
  [C.turn](payload) {
    turn(payload[K.forward] !== false);
  },
  [C.wallpaper](payload) {
    showWallpaper(payload);
  },
};

bridge.connect();
bridge.post(E.ready);
