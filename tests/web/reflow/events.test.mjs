// What the page's parts tell each other goes through one event target: a
// teller goes on only once every listener ran (the controls put the view
// back after the cut-outs were sized), and a name it does not know is an
// error at once, not an event nobody hears.
import { test } from "node:test";
import assert from "node:assert/strict";
import { PageEvents, HAPPENINGS } from "../../../web/reflow/events.js";

test("listeners run before the teller goes on, in the order they were added, with what was told", () => {
  const events = new PageEvents();
  const heard = [];
  events.on(HAPPENINGS.textSet, ({ page }) => heard.push(["first", page]));
  events.on(HAPPENINGS.textSet, ({ page }) => heard.push(["second", page]));
  events.on(HAPPENINGS.moved, () => heard.push(["moved"]));
  events.tell(HAPPENINGS.textSet, { page: 3 });
  heard.push(["after"]);
  assert.deepEqual(heard, [["first", 3], ["second", 3], ["after"]]);
  events.tell(HAPPENINGS.pagesShown);
  assert.equal(heard.length, 3, "no one listens: nothing runs");
});

test("a name the page does not know is refused on both sides", () => {
  const events = new PageEvents();
  assert.throws(() => events.on("text-sett", () => {}), /text-sett/);
  assert.throws(() => events.tell(HAPPENINGS.textset, {}), /undefined/);
  assert.throws(() => events.tell("click"));
  assert.ok(Object.isFrozen(HAPPENINGS));
  assert.equal(new Set(Object.values(HAPPENINGS)).size, Object.keys(HAPPENINGS).length, "no two happenings share a name");
});
