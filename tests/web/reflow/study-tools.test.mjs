// The floating bar over a selection in the reflowed text, with the page's
// document, selection and window stood in for.
import { test } from "node:test";
import assert from "node:assert/strict";
import { PageEvents, HAPPENINGS } from "../../../web/reflow/events.js";

function element() {
  const children = [];
  return {
    style: {},
    hidden: true,
    classList: {
      names: new Set(),
      add(n) { this.names.add(n); },
      remove(n) { this.names.delete(n); },
      contains(n) { return this.names.has(n); },
    },
    set textContent(_) { children.length = 0; },
    appendChild(c) { children.push(c); return c; },
    get childElementCount() { return children.length; },
    addEventListener() {},
  };
}

test("the selection's bar goes along with the view and away while the selection is off screen", async () => {
  let box = { top: 300, bottom: 320, left: 100, right: 200 };
  let collapsed = false;
  globalThis.innerWidth = 1000;
  globalThis.innerHeight = 800;
  globalThis.scrollY = 0;
  globalThis.getSelection = () => ({
    isCollapsed: collapsed,
    rangeCount: 1,
    getRangeAt: () => ({ getBoundingClientRect: () => box }),
    removeAllRanges() {},
  });
  globalThis.document = { addEventListener() {}, createElement: () => element() };
  const { createStudyTools } = await import("../../../web/reflow/study-tools.js");
  const tools = element();
  const events = new PageEvents();
  const bridge = { token: "t", post() {} };
  const shown = { text: "selected words", pageWidth: 612, pageHeight: 792 };
  const flow = element();
  let covered = 40; // the controls at the top
  const study = createStudyTools({ bridge, flow, tools, events, block: () => shown, barHeight: () => covered });
  // A selection reported and drawn: the bar floats just above it.
  study.draw();
  tools.classList.add("floating");
  tools.textContent = "";
  tools.appendChild(element());
  tools.hidden = false;
  tools.style.top = "256px";

  box = { top: 120, bottom: 140, left: 100, right: 200 };
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.style.top, "76px");
  assert.equal(tools.hidden, false);

  // Scrolled up under the controls, the bar stays below them, then goes
  // with the selection; in a narrow pane the controls take two rows.
  box = { top: 60, bottom: 80, left: 100, right: 200 };
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.style.top, "48px");
  assert.equal(tools.hidden, false);
  covered = 70;
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.style.top, "78px");
  box = { top: 30, bottom: 50, left: 100, right: 200 };
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.hidden, true);
  covered = 40;

  box = { top: -400, bottom: -380, left: 100, right: 200 };
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.hidden, true);

  box = { top: 500, bottom: 520, left: 100, right: 200 };
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.hidden, false);
  assert.equal(tools.style.top, "456px");

  // A bar that offers something else (nothing selected) stays where it is.
  collapsed = true;
  tools.style.top = "30px";
  events.tell(HAPPENINGS.moved, {});
  assert.equal(tools.style.top, "30px");
  assert.equal(tools.hidden, false);
});
