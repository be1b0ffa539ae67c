// The study tools: the selection reported to the native side, the floating
// bar that marks, notes or copies it, "撤销" and "重做" for a while after a
// change, and removing a mark from its context menu.

import { EVENTS, KEYS, ACTIONS } from "./service.js";
import { textSource } from "./study-rules.js";
import { selectedParts } from "./study.js";
import { shownRegion } from "./place.js";
import { HAPPENINGS } from "./events.js";

// How long "撤销" stays offered, and how far the reader scrolls on before it
// goes.
const UNDO_OFFER_MS = 4000;

// `bridge` takes the selection and the actions; `flow` is the text; `tools`
// the bar's element; `events` tells of the view moving and other pages coming
// on screen; `block(key)` is a block on show; `barHeight()` how far down the
// controls at the top cover the view.
export function createStudyTools({ bridge, flow, tools, events, block, barHeight }) {
  let selection = ""; // the sources last reported, as JSON text
  let selectionTimer = 0; // until the selection rests

  document.addEventListener("selectionchange", () => {
    clearTimeout(selectionTimer);
    selectionTimer = setTimeout(reportSelection, 180);
  });

  const undo = createUndoOffer(events, () => drawTools());

  // The bar stands over the selection as the view moves, and goes while
  // the selection is off screen or under the controls (a jump to a search
  // hit, a scroll).
  events.on(HAPPENINGS.moved, () => {
    const over = selectionBox();
    if (!over || !tools.classList.contains("floating") || !tools.childElementCount) return;
    tools.hidden = over.bottom < barHeight() || over.top > innerHeight;
    placeTools(tools, over, barHeight());
  });

  function reportSelection() {
    if (!bridge.token) return;
    const sources = selectedSources(flow, block);
    const text = JSON.stringify(sources);
    if (text === selection) return;
    selection = text;
    bridge.post(EVENTS.selection, sources.length ? { [KEYS.sources]: sources } : {});
    drawTools();
  }

  // Sends an action with the sources selected now. Once marked or noted,
  // the selection is done with: the toolbar goes with it.
  function act(action) {
    const live = selectedSources(flow, block);
    bridge.post(EVENTS.studyAction, { [KEYS.action]: action, ...(live.length ? { [KEYS.sources]: live } : {}) });
    if (action === ACTIONS.highlight || action === ACTIONS.underline || action === ACTIONS.note) {
      getSelection().removeAllRanges();
      reportSelection();
    }
  }

  function drawTools() {
    // The toolbar follows the selection on screen, not the last one reported.
    const sel = getSelection();
    const sources = selection && sel && !sel.isCollapsed ? JSON.parse(selection) : [];
    tools.textContent = "";
    const add = (label, action) => tools.appendChild(actionButton(label, () => act(action)));
    if (sources.length) {
      add("高亮", ACTIONS.highlight);
      add("下划线", ACTIONS.underline);
      add("笔记", ACTIONS.note);
      add("复制", ACTIONS.copy);
    }
    if (undo.undoOffered()) add("撤销", ACTIONS.undo);
    if (undo.redoOffered()) add("重做", ACTIONS.redo);
    tools.hidden = !tools.childElementCount;
    placeTools(tools, sources.length ? selectionBox() : null, barHeight());
  }

  flow.addEventListener("contextmenu", (event) => offerRemoval(event, bridge, tools, barHeight()));

  return { takeUndo: undo.take, draw: drawTools };
}

// The box on screen of the text selected now, if any.
function selectionBox() {
  const sel = getSelection();
  return sel && !sel.isCollapsed && sel.rangeCount ? sel.getRangeAt(0).getBoundingClientRect() : null;
}

// The sources of the text selected in `flow` (at most 64), each with its
// place on its page as displayed; `block(key)` is a block on show.
function selectedSources(flow, block) {
  const sel = getSelection();
  if (!sel || sel.isCollapsed || !sel.rangeCount) return [];
  const sources = [];
  for (const { part, start, end } of selectedParts(sel.getRangeAt(0), flow)) {
    const shown = block(part.dataset.key);
    if (!shown || !shown.text.slice(start, end).trim()) continue;
    const source = textSource(shown, start, end, shown.pageWidth, shown.pageHeight);
    if (source.rect && shown.turn) source.rect = shownRegion(source.rect, shown.turn);
    sources.push(source);
    if (sources.length === 64) break;
  }
  return sources;
}

// What the native side can undo and redo (`take(undo, redo, marksChanged)`,
// with its annotations: `marksChanged`, whether they differ from those
// before). "撤销" and "重做" are offered for a while after something was
// marked, taken off or undone, as a toast is; not for the rest of the
// session. `redraw()` shows the toolbar anew once they are withdrawn.
function createUndoOffer(events, redraw) {
  let canUndo = false, canRedo = false; // as the native side last said
  let undoOffered = false; // "撤销" and "重做" are on offer
  let undoOfferedAt = 0; // where the view stood when they were offered
  let undoTimer = 0; // until they are withdrawn
  // Other pages came on screen since the native side's last state: the
  // annotations it sends next are theirs, not a new mark.
  let pagesMoved = false;

  function take(undo, redo, marksChanged) {
    const marked = marksChanged && !pagesMoved;
    pagesMoved = false;
    if ((undo && (!canUndo || marked)) || (redo && (!canRedo || marked))) offerUndo();
    canUndo = undo;
    canRedo = redo;
  }

  function offerUndo() {
    undoOffered = true;
    undoOfferedAt = scrollY;
    clearTimeout(undoTimer);
    undoTimer = setTimeout(withdrawUndo, UNDO_OFFER_MS);
  }

  function withdrawUndo() {
    clearTimeout(undoTimer);
    if (!undoOffered) return;
    undoOffered = false;
    redraw();
  }

  events.on(HAPPENINGS.moved, () => {
    if (undoOffered && Math.abs(scrollY - undoOfferedAt) > innerHeight / 3) withdrawUndo();
  });
  events.on(HAPPENINGS.pagesShown, () => {
    pagesMoved = true;
  });

  return { take, undoOffered: () => canUndo && undoOffered, redoOffered: () => canRedo && undoOffered };
}

// A button of the toolbar; pressing it leaves the selection as it is.
function actionButton(label, click) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = label;
  b.addEventListener("mousedown", (e) => e.preventDefault());
  b.addEventListener("click", click);
  return b;
}

// The toolbar floats above the selection (`over`, its box on screen) and
// below the controls, which cover the view down to `covered`, or stands in
// its place when nothing is selected.
function placeTools(tools, over, covered) {
  if (over) {
    tools.style.top = Math.max(covered + 8, over.top - 44) + "px";
    tools.style.left = Math.max(8, Math.min(innerWidth - 320, over.left)) + "px";
    tools.classList.add("floating");
  } else {
    tools.classList.remove("floating");
    tools.style.top = "";
    tools.style.left = "";
  }
}

// A click on a highlight offers to remove it.
function offerRemoval(event, bridge, tools, covered) {
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
  tools.style.top = Math.max(covered + 8, event.clientY - 44) + "px";
  tools.style.left = Math.max(8, event.clientX - 20) + "px";
}
