// The controls at the top of the reflow page: size, leading, line width and
// face, the layout panel (justification, paragraph spacing, first-line
// indent), "返回" after a followed link, and the keys that page through the
// text or set the defaults. A change of typography is applied keeping the
// line at the top of the view in place, and sent to be saved.

import {
  EVENTS, TYPOGRAPHY, TYPOGRAPHY_DEFAULTS, TYPOGRAPHY_KEYS, TYPOGRAPHY_STEPS, typographyValues, stepTypography,
} from "./service.js";
import { HAPPENINGS } from "./events.js";

// The room a block's buttons take beside the column, in pixels.
const BUTTONS_ROOM = 100;

// A button of the page's own controls.
export function button(label, title, click) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = label;
  b.title = title;
  b.addEventListener("click", click);
  return b;
}

// `bridge` takes the typography to be saved; `flow` is the text; `events`
// hears of each change of typography; `zoomOpen()` tells whether an enlarged
// cut-out covers the text (the paging keys then leave the text alone);
// `goBack()` is what "返回" does.
export function createControls({ bridge, flow, events, zoomOpen, goBack }) {
  // The typography shown: the seven values, each valid, replaced whole.
  let values = TYPOGRAPHY_DEFAULTS;
  // A pinch's new size is saved once the pinch rests.
  let magnifyTimer = 0;

  // Takes the typography values given (others stay, other keys are left
  // alone), keeping the line at the top of the view where it is.
  function apply(p) {
    const given = {};
    for (const key of TYPOGRAPHY_KEYS) if (p[key] !== undefined) given[key] = p[key];
    const next = Object.freeze(typographyValues({ ...values, ...given }));
    const changed = TYPOGRAPHY_KEYS.some((key) => next[key] !== values[key]);
    const anchor = changed ? topAnchor() : null;
    values = next;
    const root = document.documentElement.style;
    root.setProperty("--font-size", values.fontSize + "px");
    root.setProperty("--leading", String(values.leading));
    root.setProperty("--measure", values.width + "px");
    root.setProperty("--para", String(values.paragraphSpacing));
    document.body.classList.toggle("sans", values.face === "sans");
    document.body.classList.toggle("justify", values.alignment === "justify");
    document.body.classList.toggle("indent", values.indent);
    if (changed) {
      events.tell(HAPPENINGS.typography, { values });
      restoreAnchor(anchor);
      fitButtons();
    }
    drawBar();
  }

  // The seven values, saved by the native side at once.
  function save() {
    bridge.post(EVENTS.typography, typographyValues(values));
  }

  function setTypography(given) {
    apply(given);
    save();
  }

  // A pinch sizes the text by `factor` at once.
  function magnify(factor) {
    apply({ fontSize: values.fontSize * factor });
    clearTimeout(magnifyTimer);
    magnifyTimer = setTimeout(save, 250);
  }

  // The text at the top of the view: a character's range, or an element;
  // with `whole`, the first line that stands wholly below the controls.
  function topAnchor(whole) {
    const covered = barHeight();
    const line = values.fontSize * values.leading;
    for (let y = covered + 4; y < covered + (whole ? 2.5 * line : 5); y += 4) {
      for (const x of [flow.getBoundingClientRect().left + 24, innerWidth / 2]) {
        const range = charAt(x, y);
        const r = range && range.getBoundingClientRect();
        if (r && r.height && (!whole || r.top >= covered - 1)) return { range, top: r.top };
      }
    }
    for (const el of flow.querySelectorAll(".block, .page-mark")) {
      const r = el.getBoundingClientRect();
      if (r.bottom > covered + 4) return { el, top: r.top };
    }
    return null;
  }

  // The range of the character of the flow at a point of the view, or null.
  function charAt(x, y) {
    const caret = document.caretRangeFromPoint ? document.caretRangeFromPoint(x, y) : null;
    const node = caret && caret.startContainer;
    if (!node || node.nodeType !== Node.TEXT_NODE || !flow.contains(node) || !node.data.length) return null;
    const at = Math.min(caret.startOffset, node.data.length - 1);
    const range = document.createRange();
    range.setStart(node, at);
    range.setEnd(node, at + 1);
    return range;
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
  // many rows the bar takes in a narrow pane. When the controls grow or
  // shrink (the layout panel opens or closes, a resize wraps the bar), the
  // text that stood at the top of the view stays where it was below them.
  function followControls() {
    const root = document.documentElement.style;
    root.setProperty("--bar-height", Math.round(bar.getBoundingClientRect().height) + "px");
    root.scrollPaddingTop = Math.ceil(barHeight()) + 8 + "px";
    keepTop();
  }
  if (window.ResizeObserver) {
    const watch = new ResizeObserver(followControls);
    watch.observe(bar);
    watch.observe(panel);
    // Pages laid out or let go change what stands at the top, unscrolled.
    new ResizeObserver(() => { fitButtons(); noteTop(); }).observe(flow);
  }

  // The text at the top of the view and how far below the controls it
  // stood, noted as the reader scrolls; not while the controls changed
  // size and were not followed yet (a resize scrolls the view too).
  let top = null;
  function noteTop(force) {
    const covered = barHeight();
    if (!force && top && Math.abs(covered - top.covered) > 0.5) return;
    const anchor = topAnchor(true);
    top = anchor && { ...anchor, below: anchor.top - covered, covered };
  }
  function keepTop() {
    if (top && !(top.el && !top.el.isConnected) && !(top.range && !flow.contains(top.range.startContainer))) {
      const r = top.range ? top.range.getBoundingClientRect() : top.el.getBoundingClientRect();
      const by = r.top - (barHeight() + top.below);
      // (Text far from the top was noted before a jump the view has not
      // told yet: it is no longer where the reader is.)
      if (Math.abs(by) >= 1 && Math.abs(by) < innerHeight / 2) scrollBy(0, by);
    }
    noteTop(true);
  }
  addEventListener("scroll", () => noteTop(), { passive: true });

  // Where the window leaves no room beside the column for a block's buttons
  // (a narrow pane, or the page pinned beside the text), they stand upright
  // in the column's margin instead of over the end of the block's first line.
  function fitButtons() {
    const pinned = document.getElementById("pinned");
    const edge = pinned && !pinned.hidden ? pinned.getBoundingClientRect().left : document.documentElement.clientWidth;
    const margin = edge - flow.getBoundingClientRect().right + parseFloat(getComputedStyle(flow).paddingRight || "0");
    document.body.classList.toggle("tight", margin < BUTTONS_ROOM);
  }

  // Scrolling by a screen, as the keys PageDown, PageUp and the space bar do,
  // keeps the line that was at the foot of the view in sight below the
  // controls, and the reverse.
  function pageStep() {
    const line = values.fontSize * values.leading;
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
      b.addEventListener("click", () => setTypography(stepTypography(values, key, direction)));
      return b;
    };
    group.append(name, step(-1, "−", "减小" + label), value, step(1, "+", "增大" + label));
    return group;
  }

  const faceButton = button("衬线", "切换字体", () => setTypography({ face: values.face === "sans" ? "serif" : "sans" }));
  const layoutButton = button("排版", "两端对齐、段间距、首行缩进", () => { panel.hidden = !panel.hidden; drawBar(); followControls(); });
  const backButton = button("返回", "回到跳转前的位置", () => goBack());
  backButton.className = "back";
  backButton.hidden = true;
  // "返回" is offered once a link was followed, until it is used.
  function showBack(shown) {
    backButton.hidden = !shown;
  }
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
  spacing.addEventListener("input", () => apply({ paragraphSpacing: Number(spacing.value) }));
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
    button("恢复默认", "字号、行距、行宽、字体与排版都回到默认（Ctrl+0）", () => setTypography(TYPOGRAPHY_DEFAULTS)));

  function drawBar() {
    const s = values;
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
    if (paging && !zoomOpen() && !event.ctrlKey && !event.metaKey && !event.altKey && !event.defaultPrevented) {
      event.preventDefault();
      const down = event.key === "PageDown" || (event.key === " " && !event.shiftKey);
      scrollBy(0, (down ? 1 : -1) * pageStep());
    } else if ((event.ctrlKey || event.metaKey) && !event.altKey && (event.key === "0" || event.code === "Digit0")) {
      event.preventDefault();
      setTypography(TYPOGRAPHY_DEFAULTS);
    }
  });

  return { apply, save, magnify, values: () => values, barHeight, showBack, fitButtons };
}
