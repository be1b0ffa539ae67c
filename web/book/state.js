// The book page's state and the decisions its input makes: what an open
// call gives, which settings rebuild the book, the state the native side is
// told, and where a turn, a click or a key leads. Pure functions, shared by
// the page and its tests; the keys are the contract's.
import { wire } from './wire.js';

const K = wire.key;
const S = wire.settings;

export const DEFAULT_SETTINGS = Object.freeze({
  [K.angle]: S.angle.fallback, [K.zoom]: 1, [K.layout]: 'spread', [K.warmth]: S.warmth.fallback,
  [K.grain]: S.grain.fallback, [K.reducedMotion]: false, [K.selectionMode]: false,
  [K.turnDuration]: S.turnDuration.fallback, [K.wheelMode]: 'turn', [K.wheelReverse]: false,
  [K.wheelSensitivity]: S.wheelSensitivity.fallback,
});

// The settings a rebuilt book is made with; the others change a built one.
const REBUILDING = [K.layout, K.zoom, K.reducedMotion];

// The paper an open call names: its token, page count and sheet aspect.
export function openedPaper(payload) {
  const aspect = payload[K.aspect];
  return {
    token: String(payload[K.token] || ''),
    count: Math.max(0, payload[K.count] | 0),
    aspect: Number.isFinite(aspect) && aspect > 0 ? aspect : 1.414,
  };
}

// The settings after `next` (only the keys given change) and whether the
// book must be built anew for them.
export function mergeSettings(before, next) {
  const settings = Object.assign({}, before, next);
  return { settings, rebuild: REBUILDING.some((k) => before[k] !== settings[k]) };
}

// The "state" event's fields for `page` in the spread `visible` of a paper
// of `count` pages: the page (the spread's first when `page` is not in it),
// whether either turn is possible, the layout, and the ready and drawn
// flags when set.
export function stateFields(page, visible, count, layout, ready, drawn) {
  const fields = {
    [K.page]: visible.includes(page) ? page : visible[0],
    [K.canForward]: visible[visible.length - 1] < count - 1,
    [K.canBackward]: visible[0] > 0,
    [K.layout]: layout,
  };
  if (ready) fields[K.ready] = true;
  if (drawn) fields[K.drawn] = true;
  return fields;
}

// The page the reader is on when page-flip shows the spread `visible`, of
// which it reports the first page: the page last asked for (opened at,
// jumped to, built again at) while it is in that spread, else the spread's
// first page. Only a turn to another spread moves the reader off the page
// asked for.
export function readingPage(asked, visible) {
  if (!visible.length) return 0;
  return Number.isInteger(asked) && visible.includes(asked) ? asked : visible[0];
}

// The page a turn from the spread `visible` goes to; null at either end.
export function turnTarget(visible, count, forward) {
  if (!visible.length) return null;
  if (forward) return visible[visible.length - 1] >= count - 1 ? null : visible[visible.length - 1] + 1;
  return visible[0] <= 0 ? null : visible[0] - 1;
}

// A click at paper point `at` ({page, u}) with the spread `shown`: near the
// outer edge of the right (or single) page it turns forward (1), near the
// outer edge of the left page back (-1), elsewhere it does not turn (0). In
// selection mode no click turns.
export function clickTurn(at, shown, selectionMode) {
  if (selectionMode || !shown.length) return 0;
  const single = shown.length === 1;
  if (at.page === shown[shown.length - 1] && at.u > (single ? 0.6 : 0.66)) return 1;
  if (at.page === shown[0] && at.u < (single ? 0.4 : 0.34)) return -1;
  return 0;
}

// A drag that starts at paper point `at` ({page, u, v}) with the spread
// `shown`: from an outer corner of the right (or single) page it turns the
// leaf forward (1), from one of the left page back (-1); elsewhere, and in
// selection mode, it does not turn (0). A corner is the top or bottom fifth
// of the band where a click turns.
export function cornerTurn(at, shown, selectionMode) {
  const step = clickTurn(at, shown, selectionMode);
  return step && (at.v < 0.2 || at.v > 0.8) ? step : 0;
}

// What a key press does: 'forward', 'backward', 'first' and 'last' (the
// first and last spread), 'clear' (the selection) or nothing (null). Space
// turns on and Shift+Space back, as they scroll in the page view; keys with
// another modifier are the window's.
export function keyAction(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return null;
  if (event.key === ' ') return event.shiftKey ? 'backward' : 'forward';
  if (['ArrowRight', 'ArrowDown', 'PageDown'].includes(event.key)) return 'forward';
  if (['ArrowLeft', 'ArrowUp', 'PageUp'].includes(event.key)) return 'backward';
  if (event.key === 'Home') return 'first';
  if (event.key === 'End') return 'last';
  if (event.key === 'Escape') return 'clear';
  return null;
}

// How long a click that turns waits for the press of a double click, in
// milliseconds after its release. Most double clicks press again well
// within it, and a turn this much later is not felt as a wait.
export const DOUBLE_CLICK_WAIT = 200;
// How far, in CSS pixels either way, and how long after it, in
// milliseconds, a double click's second press may be from its first click.
export const DOUBLE_CLICK_SLOP = 5;
export const DOUBLE_CLICK_TIME = 400;

// The turns of clicks near a page's outer edge, told apart from double
// clicks there: a double click picks the word under the pointer on the
// spread in view, so the turn of its first click waits a moment for a
// second press (DOUBLE_CLICK_WAIT) and does not happen when one comes near
// it. A press elsewhere lets a turn still waiting go first. A double click
// whose second press came only after its first click turned picks nothing:
// its word has turned away. Presses are told by position: the page does not
// see every press's count (a press that pans or lifts a leaf is the
// page's own). `schedule(run, ms)` and `cancel(handle)` are the page's
// timers and `now()` its clock (the tests' own in the tests).
export class ClickTurns {
  constructor(turn, schedule, cancel, now) {
    this.turnBook = turn;
    this.schedule = schedule;
    this.cancel = cancel;
    this.now = now;
    this.waiting = null;
    this.last = null;
    this.turned = false;
  }

  // A click at (x, y) that turns one spread on (1) or back (-1).
  click(step, x, y) {
    this.run();
    const timer = this.schedule(() => this.run(), DOUBLE_CLICK_WAIT);
    this.waiting = { step, timer };
    this.last = { x, y, at: this.now() };
  }

  // A press of the button that clicks, at (x, y).
  press(x, y) {
    const last = this.last;
    const near = last && this.now() - last.at <= DOUBLE_CLICK_TIME
      && Math.abs(x - last.x) <= DOUBLE_CLICK_SLOP && Math.abs(y - last.y) <= DOUBLE_CLICK_SLOP;
    if (near) {
      this.drop();
      return;
    }
    this.run();
    this.last = null;
    this.turned = false;
  }

  // Whether a double click may pick its word: none of its clicks turned.
  mayPickWord() {
    this.drop();
    return !this.turned;
  }

  // A turn still waiting is given up (a new book, a double click).
  drop() {
    if (!this.waiting) return;
    this.cancel(this.waiting.timer);
    this.waiting = null;
  }

  run() {
    const waiting = this.waiting;
    if (!waiting) return;
    this.drop();
    this.turned = true;
    this.turnBook(waiting.step);
  }
}
