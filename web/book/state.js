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

// What a key press does: 'forward', 'backward', 'clear' (the selection) or
// nothing (null); keys with a modifier are the window's.
export function keyAction(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return null;
  if (['ArrowRight', 'ArrowDown', 'PageDown', ' '].includes(event.key)) return 'forward';
  if (['ArrowLeft', 'ArrowUp', 'PageUp'].includes(event.key)) return 'backward';
  if (event.key === 'Escape') return 'clear';
  return null;
}
