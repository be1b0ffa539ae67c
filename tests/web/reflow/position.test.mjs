// The place is told as the view moves, at a pace the native side can follow,
// and the last place is never lost: a save writes the place told last.
import { test } from "node:test";
import assert from "node:assert/strict";
import { throttle } from "../../../web/reflow/position.js";

// A clock the test moves by hand, with its timers.
function handClock() {
  const clock = {
    time: 0,
    timers: [],
    now: () => clock.time,
    setTimeout(run, ms) {
      clock.timers.push({ at: clock.time + ms, run });
      return clock.timers.length;
    },
    advance(ms) {
      clock.time += ms;
      const due = clock.timers.filter((t) => t.at <= clock.time);
      clock.timers = clock.timers.filter((t) => t.at > clock.time);
      for (const t of due) t.run();
    },
  };
  return clock;
}

test("the first place goes at once, then the latest at most once an interval, and the last always", () => {
  const clock = handClock();
  const told = [];
  const offer = throttle((place) => told.push(place), 150, clock);
  offer(1);
  assert.deepEqual(told, [1]);
  // A frame every 16 ms for a while.
  for (let place = 2; place <= 40; place++) {
    clock.advance(16);
    offer(place);
  }
  assert.ok(told.length <= 1 + Math.ceil((39 * 16) / 150), `told ${told.length} times`);
  assert.ok(told.length >= 4, "the place goes on being told while the view moves");
  assert.notEqual(told.at(-1), 40);
  clock.advance(150);
  assert.equal(told.at(-1), 40, "the place where the view came to rest");
  const count = told.length;
  clock.advance(1000);
  assert.equal(told.length, count, "nothing more once at rest");

  // Long after, a move is told at once again.
  offer(41);
  assert.equal(told.at(-1), 41);
});
