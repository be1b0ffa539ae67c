// The paper's own page beside the reflowed text: a block's menu, opened by a
// right click on the block or by its "⋯" button, keeps the paragraph as the
// page shows it ("此段保留原版", a correction kept for the paper) or takes
// it back into the text ("恢复重排"), and pins the page image of the block
// beside the text ("固定原版对照"): zoomed and moved on its own, switched
// between the block and its whole page.

import { pageImageUrl } from "./service.js";
import { shownAsImage, shownRegion } from "./place.js";
import { button } from "./controls.js";
import { zoomAbout } from "./figures.js";
import { panAndZoom } from "./zoom.js";

// The choices of a block's menu, each with what it does: "keep" and
// "restore" mark the block (`marked`: whether its key goes into the
// corrections) so that it shows as the page's image, or as text again;
// "pin" pins its page image beside the text. A block without a place on its
// page has none; a figure, table or formula the layout shows as the page's
// image is kept already.
export function menuChoices(block, corrections) {
  if (!block || !Array.isArray(block.region)) return [];
  const choices = [];
  if (!shownAsImage(block, corrections)) {
    choices.push({ id: "keep", label: "此段保留原版", marked: block.kind !== "cutout" });
  } else if (block.kind !== "cutout") {
    choices.push({ id: "restore", label: "恢复重排", marked: false });
  }
  choices.push({ id: "pin", label: "固定原版对照" });
  return choices;
}

// The part of a page the pinned view shows of a block (page fractions, the
// page as read): the block with a margin around it, within the page.
export function pinnedRegion(region) {
  const [x, y, w, h] = region;
  const mx = 0.03, my = 0.015;
  const left = Math.max(0, x - mx), top = Math.max(0, y - my);
  const right = Math.min(1, x + w + mx), bottom = Math.min(1, y + h + my);
  return [left, top, Math.max(0.001, right - left), Math.max(0.001, bottom - top)];
}

// How the pinned view shows an image of `width` × `height` (points) in a
// frame of `frameWidth` × `frameHeight` pixels: its size at scale 1, the
// whole image in the frame's width (a whole page: in the frame), and where it
// stands: centred, or at the top when it is taller than the frame.
export function fitPinned(width, height, frameWidth, frameHeight, whole) {
  if (!(width > 0 && height > 0 && frameWidth > 0 && frameHeight > 0)) return null;
  const fit = whole ? Math.min(frameWidth / width, frameHeight / height) : frameWidth / width;
  const w = width * fit, h = height * fit;
  return { width: w, height: h, view: { scale: 1, x: (frameWidth - w) / 2, y: h < frameHeight ? (frameHeight - h) / 2 : 0 } };
}

// The page a block's key names.
export const pageOfKey = (key) => Number(key.split(":")[0]);

// Marks of a laid-out page kept under keys that name none of its blocks
// (a block's key is its page, its place among the page's blocks and its
// text: a layout that reads the page otherwise numbers it anew), each
// with the key of the one block of the page with that text: [old, new].
// Text the page holds twice, or a block marked already, takes none.
export function movedMarks(laid, corrections) {
  const mine = laid ? [...corrections].filter((key) => pageOfKey(key) === laid.page) : [];
  if (!mine.length) return [];
  const own = new Set(laid.blocks.map((b) => b.key));
  const textOf = (key) => key.slice(key.lastIndexOf(":") + 1);
  const moved = [];
  for (const key of mine) {
    if (own.has(key)) continue;
    const named = laid.blocks.filter((b) => textOf(b.key) === textOf(key));
    if (named.length === 1 && !corrections.has(named[0].key)) moved.push([key, named[0].key]);
  }
  return moved;
}

// The keys of the pieces of the paragraph that holds the block `key`, in
// reading order, as the layout sets them (`pages[i]`: page i laid out, or
// none): a paragraph goes on across columns and pages, past figures and the
// notes at a page's foot, until a heading; a page not laid out ends it.
// Whether a piece is shown as text or as its page's image does not matter.
export function paragraphOf(pages, key) {
  let last = {}; // kind -> the pieces of the paragraph that text of that kind goes on from
  let found = null;
  for (let i = 0; i < pages.length; i++) {
    if (!pages[i]) {
      last = {};
      continue;
    }
    for (const b of pages[i].blocks) {
      if (b.kind === "cutout") continue;
      const before = last[b.kind];
      const pieces = b.joins && !b.front && before && !before.front ? before : { front: !!b.front, keys: [] };
      pieces.keys.push(b.key);
      if (b.kind === "heading") last = {};
      else last[b.kind] = pieces;
      if (b.key === key) found = pieces;
    }
  }
  return found ? found.keys : [key];
}

// The key of the piece that block `key`'s paragraph has before it, as
// paragraphOf pieces it together, or null: found from the block back, so
// that setting every page of a long paper in turn stays linear.
export function pieceBefore(pages, key) {
  const p = pageOfKey(key);
  const own = pages[p] && pages[p].blocks.find((b) => b.key === key);
  if (!own || !own.joins || own.front || own.kind === "cutout") return null;
  let blocks = pages[p].blocks.slice(0, pages[p].blocks.indexOf(own));
  for (let i = p; ; ) {
    for (let j = blocks.length - 1; j >= 0; j--) {
      const b = blocks[j];
      if (b.kind === "cutout") continue;
      if (b.kind === "heading") return null;
      if (b.kind === own.kind) return b.front ? null : b.key;
    }
    if (--i < 0 || !pages[i]) return null;
    blocks = pages[i].blocks;
  }
}

// `flow` is the text; `token()` and `paper()` the paper's as the page has
// it; `block(key)` a block on show; `corrections()` the keys of the blocks
// marked; `paragraph(key)` the keys of the pieces of a block's paragraph
// (paragraphOf); `mark(keys, marked)` marks or unmarks blocks and tells the
// native side; `barHeight()` how far down the controls at the top cover the
// view; `fitButtons()` places the blocks' buttons anew in the room beside
// the text.
export function createOriginal({ flow, token, paper, block, corrections, paragraph, mark, barHeight, fitButtons }) {
  const menu = createBlockMenu({ flow, block, corrections, paragraph, mark, pin: (shown, el) => pinned.pin(shown, el) });
  const pinned = createPinnedView({ flow, token, paper, barHeight, fitButtons });
  // Escape closes the menu, else the pinned view.
  addEventListener("keydown", (event) => {
    if (event.key !== "Escape") return;
    if (menu.isOpen()) menu.close();
    else if (pinned.pinnedPage() !== undefined && !event.defaultPrevented) pinned.unpin();
    else return;
    event.preventDefault();
  });
  return { moreButton: menu.moreButton, openMenu: menu.openMenu, magnifyAt: pinned.magnifyAt, pinnedPage: pinned.pinnedPage };
}

// ---- the menu ---------------------------------------------------------------

// A block's menu, opened by a right click on a block of `flow` or by the
// block's "⋯" (`moreButton()`); `pin(shown, el)` pins a block's page image.
function createBlockMenu({ flow, block, corrections, paragraph, mark, pin }) {
  const menu = element("div", "");
  menu.id = "block-menu";
  menu.setAttribute("role", "menu");
  menu.hidden = true;
  document.body.appendChild(menu);

  // Opens the menu of a block element at a point of the view.
  function openMenu(el, x, y, target) {
    const { all, under } = blocksOf(el, target, block);
    const choices = menuChoices(under, corrections());
    if (!choices.length) return false;
    menu.textContent = "";
    for (const choice of choices) {
      const item = button(choice.label, "", () => {
        closeMenu();
        if (choice.id === "pin") pin(under, el);
        // A paragraph is kept whole, each of its parts as its page has it;
        // each piece kept, whichever one was chosen, goes back into the text.
        else if (choice.id === "keep") mark(all.map((shown) => shown.key), choice.marked);
        else mark(paragraph(under.key).filter((key) => key === under.key || corrections().has(key)), choice.marked);
      });
      item.setAttribute("role", "menuitem");
      item.dataset.choice = choice.id;
      menu.appendChild(item);
    }
    menu.hidden = false;
    menuOf = { el, top: el.getBoundingClientRect().top };
    const r = menu.getBoundingClientRect();
    menu.style.left = Math.max(4, Math.min(innerWidth - r.width - 4, x)) + "px";
    menu.style.top = Math.max(4, Math.min(innerHeight - r.height - 4, y)) + "px";
    menu.querySelector("button").focus({ preventScroll: true });
    return true;
  }

  function closeMenu() {
    menu.hidden = true;
    menuOf = null;
  }

  // The block whose menu is open, and where it stood then: the menu goes
  // when the reader scrolls the block away, not when the view keeps it in
  // place as pages are laid out above it.
  let menuOf = null;
  function followMenu() {
    if (!menuOf) return;
    const el = menuOf.el;
    if (!el.isConnected || Math.abs(el.getBoundingClientRect().top - menuOf.top) > 24) closeMenu();
  }

  // The block's "⋯", shown with its other button on hover.
  function moreButton() {
    const b = element("button", "more");
    b.type = "button";
    b.textContent = "⋯";
    b.title = "此段保留原版、固定原版对照";
    b.addEventListener("click", (event) => {
      event.preventDefault();
      event.stopPropagation();
      const host = b.closest(".block");
      const r = b.getBoundingClientRect();
      if (host) openMenu(host, r.left, r.bottom + 2);
    });
    return b;
  }

  flow.addEventListener("contextmenu", (event) => {
    // A mark's own menu goes first (study-tools.js).
    if (event.defaultPrevented) return;
    const el = event.target.closest && event.target.closest(".block");
    if (!el || !flow.contains(el)) return;
    if (openMenu(el, event.clientX, event.clientY, event.target)) event.preventDefault();
  });
  document.addEventListener("pointerdown", (event) => {
    if (!menu.hidden && !menu.contains(event.target)) closeMenu();
  }, true);
  addEventListener("scroll", followMenu, { passive: true });

  return { openMenu, moreButton, close: closeMenu, isOpen: () => !menu.hidden };
}

// The blocks of a block element, in reading order: the parts of a
// paragraph that goes on across columns and pages, or a cut-out's own;
// and the one under `target` (the first when none is). `block(key)` is a
// block on show.
function blocksOf(el, target, block) {
  if (el.tagName === "FIGURE") {
    const shown = block(el.dataset.key);
    return { all: shown ? [shown] : [], under: shown };
  }
  const parts = [...el.querySelectorAll(".part")];
  const at = target && target.closest && target.closest(".part");
  const all = parts.map((p) => block(p.dataset.key)).filter((shown) => shown && Array.isArray(shown.region));
  return { all, under: (parts.includes(at) && block(at.dataset.key)) || all[0] };
}

// ---- the pinned view ----------------------------------------------------------

// The page image of a block pinned beside the text (`pin(shown, el)`),
// zoomed and moved on its own, switched between the block and its whole
// page, until `unpin()`.
function createPinnedView({ flow, token, paper, barHeight, fitButtons }) {
  const { pane, title, frame, sheet, image, spot, wholeButton } = buildPinnedPane({
    toggleWhole: () => show(!pinned.whole),
    zoomOut: () => zoomBy(1 / 1.25),
    zoomIn: () => zoomBy(1.25),
    close: () => unpin(),
  });

  // What is pinned: the page, the block's region on it (as displayed),
  // whether the whole page shows, how the image is zoomed and moved, and
  // the block's element, kept in place as the text changes width.
  const pinned = { page: undefined, region: null, whole: false, view: { scale: 1, x: 0, y: 0 }, el: null };

  // Pins the page image of `shown`, whose element `el` stays where the
  // reader has it while the text makes room.
  function pin(shown, el) {
    if (!shown || !shown.region) return;
    pinned.page = shown.page;
    pinned.region = shownRegion(shown.region, shown.turn || 0);
    pinned.el = el;
    pane.hidden = false;
    keepingInView(el, () => document.body.classList.add("pinned"));
    follow();
    fitButtons();
    show(false);
  }

  // The text takes its room back, the block pinned kept where it stands
  // while it is on screen, else the block at the top of the view.
  function unpin() {
    pinned.page = undefined;
    pane.hidden = true;
    image.removeAttribute("src");
    const top = barHeight();
    const onScreen = (b) => b && b.isConnected && b.getBoundingClientRect().bottom > top && b.getBoundingClientRect().top < innerHeight;
    const kept = onScreen(pinned.el) ? pinned.el : [...flow.querySelectorAll(".block")].find(onScreen);
    pinned.el = null;
    keepingInView(kept, () => document.body.classList.remove("pinned"));
    fitButtons();
  }

  // Shows the block (`whole` false) or its whole page, fitted anew.
  function show(whole) {
    if (pinned.page === undefined) return;
    pinned.whole = whole;
    const page = shownPageSize(paper() ? paper().text(pinned.page) : null);
    const region = whole ? [0, 0, 1, 1] : pinnedRegion(pinned.region);
    const fit = fitPinned(region[2] * page.width, region[3] * page.height, frame.clientWidth, frame.clientHeight, whole);
    if (!fit) return;
    title.textContent = `第 ${pinned.page + 1} 页`;
    wholeButton.textContent = whole ? "此段" : "整页";
    wholeButton.classList.toggle("on", whole);
    sheet.style.width = Math.round(fit.width) + "px";
    sheet.style.height = Math.round(fit.height) + "px";
    outlineBlock(spot, pinned.region, region);
    pinned.view = fit.view;
    image.src = pageImageUrl(token(), pinned.page, whole ? null : region, true);
    place();
  }

  function place() {
    const v = pinned.view;
    sheet.style.transform = `translate(${v.x}px, ${v.y}px) scale(${v.scale})`;
    sheet.style.setProperty("--scale", String(v.scale));
  }

  // Zooms about a point of the view (its middle when none is given).
  function zoomBy(factor, x, y) {
    const r = frame.getBoundingClientRect();
    const cx = Number.isFinite(x) ? x - r.left : r.width / 2, cy = Number.isFinite(y) ? y - r.top : r.height / 2;
    pinned.view = zoomAbout(pinned.view, factor, cx, cy);
    place();
  }

  panAndZoom(frame, sheet, {
    view: () => pinned.view,
    set: (view) => { pinned.view = view; place(); },
    zoomBy,
  });

  // The pane stands below the controls at the top, however tall they are.
  function follow() {
    pane.style.top = Math.ceil(barHeight()) + "px";
  }
  if (window.ResizeObserver) new ResizeObserver(() => { if (pinned.page !== undefined) follow(); }).observe(document.body);

  // A pinch at a point of the view over the pinned image zooms it; whether
  // it did.
  function magnifyAt(factor, x, y) {
    if (pinned.page === undefined || !Number.isFinite(x) || !Number.isFinite(y)) return false;
    const r = frame.getBoundingClientRect();
    if (x < r.left || x > r.right || y < r.top || y > r.bottom) return false;
    zoomBy(factor, x, y);
    return true;
  }

  return { pin, unpin, magnifyAt, pinnedPage: () => pinned.page };
}

// The pinned view's pane, at the end of the page, hidden: its head (the
// page's number, "整页", "−", "+", "关闭") over the frame that holds the
// page image with the block outlined on it.
function buildPinnedPane({ toggleWhole, zoomOut, zoomIn, close }) {
  const pane = element("aside", "");
  pane.id = "pinned";
  pane.hidden = true;
  const head = element("div", "pinned-head");
  const title = element("span", "pinned-title");
  const frame = element("div", "pinned-frame");
  const sheet = element("div", "pinned-sheet");
  const image = element("img", "");
  image.alt = "";
  image.draggable = false;
  const spot = element("div", "pinned-spot");
  sheet.append(image, spot);
  frame.appendChild(sheet);
  const wholeButton = button("整页", "显示整页或只显示这一段", toggleWhole);
  head.append(title, wholeButton, button("−", "缩小原图", zoomOut), button("+", "放大原图", zoomIn),
    button("关闭", "关闭原版对照（Esc）", close));
  pane.append(head, frame);
  document.body.appendChild(pane);
  return { pane, title, frame, sheet, image, spot, wholeButton };
}

// The size in points of a page as displayed, from its text as read (a
// letter page when the paper is not read yet).
function shownPageSize(text) {
  const odd = text && (text.turn || 0) % 2;
  return { width: text ? (odd ? text.height : text.width) : 612, height: text ? (odd ? text.width : text.height) : 792 };
}

// The block (`blockRegion`, page fractions) outlined where it stands in
// the image of the page's `region`.
function outlineBlock(spot, blockRegion, region) {
  const [bx, by, bw, bh] = blockRegion;
  const at = (v, from, size) => ((v - from) / size) * 100 + "%";
  spot.style.left = at(bx, region[0], region[2]);
  spot.style.top = at(by, region[1], region[3]);
  spot.style.width = (bw / region[2]) * 100 + "%";
  spot.style.height = (bh / region[3]) * 100 + "%";
}

// Runs `change`, which sets the text in another width, and scrolls so that
// `el` stands where it stood: the lines above it take more or less room.
function keepingInView(el, change) {
  const before = el && el.isConnected ? el.getBoundingClientRect().top : null;
  change();
  if (before === null || !el.isConnected) return;
  const by = el.getBoundingClientRect().top - before;
  if (Math.abs(by) >= 1) scrollBy(0, by);
}

function element(tag, className) {
  const el = document.createElement(tag);
  if (className) el.className = className;
  return el;
}
