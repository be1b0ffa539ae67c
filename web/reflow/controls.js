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

// A button of the page's own controls. A click leaves the keyboard where
// it was (with the text): a button that kept it would take the space bar
// meant for paging, later too, when the view is given the keyboard back.
// Tabbed to, it takes the keyboard as any button does.
export function button(label, title, click) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = label;
  b.title = title;
  b.addEventListener("mousedown", (e) => e.preventDefault());
  b.addEventListener("click", click);
  return b;
}

// `bridge` takes the typography to be saved; `flow` is the text; `events`
// hears of each change of typography; `sections()` are the pages' places in
// the flow; `zoomOpen()` tells whether an enlarged cut-out covers the text
// (the paging keys then leave the text alone); `goBack()` is what "返回" does.
export function createControls({ bridge, flow, events, sections, zoomOpen, goBack }) {
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
    setTypographyStyle(values);
    if (changed) {
      events.tell(HAPPENINGS.typography, { values });
      restoreAnchor(anchor);
      fitButtons();
    }
    draw();
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

  const { bar, panel } = insertControls();
  const barHeight = () => coveredHeight(bar, panel);
  const topAnchor = (whole) => textAtTop(flow, barHeight(), lineHeight(values), whole);
  const fitButtons = () => fitBlockButtons(flow);
  const followControls = keepTextBelowControls({ bar, panel, flow, events, sections, barHeight, topAnchor, fitButtons });

  const parts = {
    bar, panel,
    ...buildBar(bar, {
      step: (key, direction) => setTypography(stepTypography(values, key, direction)),
      toggleFace: () => setTypography({ face: values.face === "sans" ? "serif" : "sans" }),
      toggleLayout: () => { panel.hidden = !panel.hidden; draw(); followControls(); },
      goBack,
    }),
    ...buildLayoutPanel(panel, { apply, setTypography }),
  };
  const draw = () => drawControls(parts, values);

  // "返回" is offered once a link was followed, until it is used.
  function showBack(shown) {
    parts.backButton.hidden = !shown;
  }

  addEventListener("keydown", pageKeys({
    zoomOpen,
    step: () => pageStep(values, barHeight()),
    setDefaults: () => setTypography(TYPOGRAPHY_DEFAULTS),
  }));

  return { apply, save, magnify, values: () => values, barHeight, showBack, fitButtons };
}

// The typography on the page itself: sizes as style properties, face,
// justification and indent as the body's classes.
function setTypographyStyle(values) {
  const root = document.documentElement.style;
  root.setProperty("--font-size", values.fontSize + "px");
  root.setProperty("--leading", String(values.leading));
  root.setProperty("--measure", values.width + "px");
  root.setProperty("--para", String(values.paragraphSpacing));
  document.body.classList.toggle("sans", values.face === "sans");
  document.body.classList.toggle("justify", values.alignment === "justify");
  document.body.classList.toggle("indent", values.indent);
}

function lineHeight(values) {
  return values.fontSize * values.leading;
}

// ---- the text at the top of the view ---------------------------------------------

// The text at the top of the view: a character's range, or an element;
// with `whole`, the first line that stands wholly below the controls, which
// cover the view down to `covered`; `line` is the height of a line of text.
function textAtTop(flow, covered, line, whole) {
  for (let y = covered + 4; y < covered + (whole ? 2.5 * line : 5); y += 4) {
    for (const x of [flow.getBoundingClientRect().left + 24, innerWidth / 2]) {
      const range = charAt(flow, x, y);
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
function charAt(flow, x, y) {
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

// The bar and the layout panel under it (closed), first in the page.
function insertControls() {
  const bar = document.createElement("header");
  bar.id = "bar";
  const panel = document.createElement("div");
  panel.id = "panel";
  panel.hidden = true;
  document.body.insertBefore(bar, document.body.firstChild);
  document.body.insertBefore(panel, bar.nextSibling);
  return { bar, panel };
}

// How much of the view the controls at the top cover: the bar, and the
// layout panel while it is open.
function coveredHeight(bar, panel) {
  return Math.max(bar.getBoundingClientRect().bottom, panel.hidden ? 0 : panel.getBoundingClientRect().bottom, 0);
}

// Jumps and scrolling by page leave their target below the controls, however
// many rows the bar takes in a narrow pane. When the controls grow or
// shrink (the layout panel opens or closes, a resize wraps the bar), the
// text that stood at the top of the view stays where it was below them.
// Gives what follows the controls' new height at once.
function keepTextBelowControls({ bar, panel, flow, events, sections, barHeight, topAnchor, fitButtons }) {
  function followControls() {
    const root = document.documentElement.style;
    root.setProperty("--bar-height", Math.round(bar.getBoundingClientRect().height) + "px");
    root.setProperty("--covered", Math.ceil(barHeight()) + 8 + "px");
    keepTop();
  }
  if (window.ResizeObserver) {
    const watch = new ResizeObserver(followControls);
    watch.observe(bar);
    watch.observe(panel);
    // Pages laid out or let go change what stands at the top, unscrolled.
    // (Read in the next frame: within the observer's call the text is not
    // found at a point yet.)
    new ResizeObserver(() => { fitButtons(); requestAnimationFrame(() => noteTop()); }).observe(flow);
  }
  // So does a page laid out in place of one of the same height. Text set
  // wholly below the view leaves the text noted at the top where it was
  // (every page of a long paper laid out in turn below the view would
  // otherwise have the top sought anew at each, by points of the view).
  events.on(HAPPENINGS.textSet, ({ page }) => {
    const section = sections()[page];
    const kept = top && top.range && flow.contains(top.range.startContainer);
    if (kept && section && section.getBoundingClientRect().top >= innerHeight) return;
    noteTop();
  });

  // The text at the top of the view and how far below the controls it
  // stood, noted as the reader scrolls; not while the controls changed
  // size and were not followed yet (a resize scrolls the view too), nor
  // while the view stands where it was last put back to that text.
  let top = null;
  function noteTop(force) {
    const covered = barHeight();
    if (!force && top && (Math.abs(covered - top.covered) > 0.5 || top.keptAt === scrollY)) return;
    const anchor = topAnchor(true);
    top = anchor && { ...anchor, below: anchor.top - covered, covered };
  }
  // Puts the text noted back where it stood below the controls.
  // `reflowed`: the text was set in another width, and it may have moved
  // any distance. The same text stays noted: noted anew at each width, the
  // line at the top would creep back a line with each change.
  function keepTop(reflowed) {
    if (top && !(top.el && !top.el.isConnected) && !(top.range && !flow.contains(top.range.startContainer))) {
      const r = top.range ? top.range.getBoundingClientRect() : top.el.getBoundingClientRect();
      const by = r.top - (barHeight() + top.below);
      // (Text far from the top was noted before a jump the view has not
      // told yet: it is no longer where the reader is.)
      if (reflowed || Math.abs(by) < innerHeight / 2) {
        if (Math.abs(by) >= 1) scrollBy(0, by);
        top.covered = barHeight();
        top.keptAt = scrollY;
        return;
      }
    }
    noteTop(true);
  }
  addEventListener("scroll", () => noteTop(), { passive: true });
  // A pane made narrower or wider (a split, a window resized) sets the text
  // in another width: the reader stays at the line that was at the top, and
  // the blocks' buttons go beside the column or in its margin anew. (The
  // column itself keeps its width once the pane is wider than the measure.)
  addEventListener("resize", () => {
    keepTop(true);
    fitButtons();
  });
  return followControls;
}

// Where the window leaves no room beside the column for a block's buttons
// (a narrow pane, or the page pinned beside the text), they stand upright
// in the column's margin instead of over the end of the block's first line.
function fitBlockButtons(flow) {
  const pinned = document.getElementById("pinned");
  const edge = pinned && !pinned.hidden ? pinned.getBoundingClientRect().left : document.documentElement.clientWidth;
  const margin = edge - flow.getBoundingClientRect().right + parseFloat(getComputedStyle(flow).paddingRight || "0");
  document.body.classList.toggle("tight", margin < BUTTONS_ROOM);
}

// The bar's controls, in `bar`: "返回" (hidden), size, leading and width
// each with its steps (`step(key, direction)`), the face, and the button of
// the layout panel.
function buildBar(bar, { step, toggleFace, toggleLayout, goBack }) {
  const faceButton = button("衬线", "切换字体", toggleFace);
  const layoutButton = button("排版", "两端对齐、段间距、首行缩进", toggleLayout);
  const backButton = button("返回", "回到跳转前的位置", () => goBack());
  backButton.className = "back";
  backButton.hidden = true;
  bar.append(backButton, stepControl("字号", "fontSize", (v) => String(Math.round(v)), step),
    stepControl("行距", "leading", (v) => v.toFixed(2), step), stepControl("行宽", "width", (v) => String(Math.round(v)), step),
    labelled("字体", faceButton), layoutButton);
  return { faceButton, layoutButton, backButton };
}

// A value of the typography between its two steps, "−" and "+"; `show`
// writes the value.
function stepControl(label, key, show, step) {
  const value = document.createElement("output");
  value.dataset.show = key;
  value.show = show;
  const stepButton = (direction, text, title) => {
    const b = button(text, title, () => step(key, direction));
    b.dataset.step = key;
    return b;
  };
  return labelled(label, stepButton(-1, "−", "减小" + label), value, stepButton(1, "+", "增大" + label));
}

// A group of the bar: its name, then its controls.
function labelled(label, ...controls) {
  const group = document.createElement("span");
  group.className = "group";
  const name = document.createElement("span");
  name.className = "label";
  name.textContent = label;
  group.append(name, ...controls);
  return group;
}

// The layout panel's rows, in `panel`: justification, paragraph spacing
// (applied as the range moves, saved when it is let go), first-line indent,
// and "恢复默认".
function buildLayoutPanel(panel, { apply, setTypography }) {
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
  // A box or the range set with the pointer gives the keys back to the page
  // once it is set: kept, it would take the space bar (the box ticks again)
  // and the arrows. Set from the keyboard, it keeps them.
  let byPointer = false;
  panel.addEventListener("pointerdown", () => { byPointer = true; });
  panel.addEventListener("keydown", () => { byPointer = false; });
  panel.addEventListener("change", (e) => { if (byPointer && e.target.blur) e.target.blur(); });
  panel.append(row(justify, "两端对齐"), row("段间距", spacing, spacingValue), row(indent, "首行缩进"),
    button("恢复默认", "字号、行距、行宽、字体与排版都回到默认（Ctrl+0）", () => setTypography(TYPOGRAPHY_DEFAULTS)));
  return { justify, spacing, spacingValue, indent };
}

// Shows `values` in the controls; a step that would change nothing is off.
function drawControls({ bar, panel, faceButton, layoutButton, justify, spacing, spacingValue, indent }, values) {
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

// ---- the keys ------------------------------------------------------------------

// Scrolling by a screen, as the keys PageDown, PageUp and the space bar do,
// keeps the line that was at the foot of the view in sight below the
// controls (`covered`), and the reverse.
function pageStep(values, covered) {
  const line = lineHeight(values);
  const visible = innerHeight - covered;
  return Math.max(visible / 2, visible - 1.5 * line);
}

// The page's keys: PageDown, PageUp and the space bar page through the text
// unless an enlarged cut-out covers it; Ctrl+0 sets the defaults.
function pageKeys({ zoomOpen, step, setDefaults }) {
  return (event) => {
    const inside = (selector) => event.target && event.target.closest && event.target.closest(selector);
    // A range or box of the panel takes its own keys; a button its space.
    const paging = !inside("input, select, textarea")
      && (event.key === "PageDown" || event.key === "PageUp" || (event.key === " " && !inside("button")));
    if (paging && !zoomOpen() && !event.ctrlKey && !event.metaKey && !event.altKey && !event.defaultPrevented) {
      event.preventDefault();
      const down = event.key === "PageDown" || (event.key === " " && !event.shiftKey);
      scrollBy(0, (down ? 1 : -1) * step());
    } else if ((event.ctrlKey || event.metaKey) && !event.altKey && (event.key === "0" || event.code === "Digit0")) {
      event.preventDefault();
      setDefaults();
    }
  };
}
