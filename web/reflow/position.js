// Where the reader is, followed in one place: the place at the top of the
// view (the first block below the controls, how far into it and the page
// point there) and the pages on screen. As the view moves, the native side is
// told the pages on screen and the current page at once, and the place as it
// changes: at most once every POSITION_INTERVAL_MS, the last place always.
// What the native side saves is the place last told.

import { EVENTS, KEYS } from "./service.js";
import { placeInBlock, positionFields, shownPoint } from "./place.js";
import { HAPPENINGS } from "./events.js";

// How often the place is told while the view moves.
export const POSITION_INTERVAL_MS = 150;

// At most this many of the pages on screen are told.
const TOLD_PAGES = 9;

// `bridge` takes the events; `flow` is the text; `events` hears the view
// move and other pages come on screen, and says when the typography
// changed; `barHeight()` is how much of the view the controls cover;
// `block(key)` is a block on show; `arrange()` lays out the pages around the
// view and lets go of those far from it, before the place is read.
export function createPosition({ bridge, flow, events, barHeight, block, arrange }) {
  let frame = 0; // the frame that reads the place after a move
  let visible = ""; // the pages on screen last told, joined
  let lastPage = -1; // the page last told
  let told = ""; // the place last told, as its event's fields in JSON
  let kept = null; // the place the view was last put back to
  const tellPlace = throttle((fields) => {
    const text = JSON.stringify(fields);
    if (text === told) return;
    told = text;
    bridge.post(EVENTS.position, fields);
  }, POSITION_INTERVAL_MS);

  // Follows the view from the first screen on; the text set anew in
  // another typography is read again too, moved or not.
  function follow() {
    addEventListener("scroll", moved, { passive: true });
    addEventListener("resize", moved);
    events.on(HAPPENINGS.typography, moved);
    moved();
  }

  // The place is read once a frame while the view moves.
  function moved() {
    if (frame) return;
    frame = requestAnimationFrame(() => {
      frame = 0;
      arrange();
      const place = readingPlace();
      if (place.page < 0) return;
      events.tell(HAPPENINGS.moved, { place });
      const pages = place.pages.join(",");
      if (pages !== visible) {
        visible = pages;
        events.tell(HAPPENINGS.pagesShown, { pages: place.pages });
        bridge.post(EVENTS.visiblePages, { [KEYS.pages]: place.pages });
      }
      if (place.page !== lastPage) {
        lastPage = place.page;
        bridge.post(EVENTS.page, { [KEYS.page]: place.page });
      }
      tellPlace(positionFields(place));
    });
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
    const shown = block(first.el.dataset.key);
    const here = kept && shown && kept.page === shown.page && kept.block === shown.index;
    const { offset, point: read } = placeInBlock(shown, first.r, top, here ? kept.offset : undefined);
    const point = read && shown && shown.turn ? shownPoint(read, shown.turn) : read;
    return {
      page: shown ? shown.page : Number(first.el.dataset.page), block: shown ? shown.index : 0, offset, point,
      pages: [...pages].sort((a, b) => a - b).slice(0, TOLD_PAGES),
    };
  }

  // The view was put back to a place told before ({ page, block, offset }).
  function keep(place) {
    kept = place;
  }

  return { follow, keep };
}

// Hands `post` the values offered to the returned function: the first at
// once, then at most one every `interval` ms, each time the latest offered;
// the last one offered is always posted. `clock` gives the time in ms and
// the timers.
export function throttle(post, interval, clock = { now: () => performance.now(), setTimeout: (run, ms) => setTimeout(run, ms) }) {
  let last = -Infinity; // when a value was last posted
  let timer = 0;
  let latest;
  const send = () => {
    timer = 0;
    last = clock.now();
    post(latest);
  };
  return (value) => {
    latest = value;
    if (timer) return;
    const wait = last + interval - clock.now();
    if (wait <= 0) send();
    else timer = clock.setTimeout(send, wait);
  };
}
