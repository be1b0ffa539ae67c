// The study tools: the selection reported to the native side, the floating
// bar that marks, notes or copies it, "撤销" and "重做" for a while after a
// change, and removing a mark from its context menu.

import { EVENTS, KEYS, ACTIONS } from "./service.js";
import { textSource } from "./study-rules.js";
import { selectedParts } from "./study.js";
import { shownRegion } from "./place.js";

// `shared` holds what the page's parts share (reader.js makes it).
export function createStudyTools(shared) {
  const { reader, bridge, flow, tools } = shared;

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

  return { drawTools, offerUndo, withdrawUndo };
}
