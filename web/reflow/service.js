// The wire between the reflow page and the native reflow view: every name the
// two sides share, and the bridge that posts its events through the Qt web
// channel.

import { Bridge as SharedBridge, eventBody as sharedEventBody } from "../shared/bridge.js";
import { readContract } from "../shared/contract.js";

// Every name and typography value the page shares with the native side is
// in contract.json, which the native side's build reads too.
const contract = await readContract(new URL("./contract.json", import.meta.url));

// The page object the native side calls into, and its calls, one JSON
// object each.
export const PAGE_OBJECT = contract.pageObject;
export const CALLS = contract.call;

// For the measuring programs: the page's times (firstScreen, searchFirstHit,
// ...) on this window property, and every page laid out at once while that
// one is set.
export const TIMES_OBJECT = contract.timesObject;
export const LAY_ALL_FLAG = contract.layAllFlag;

// Events the page posts. Every event but the first "loaded" carries the token.
export const EVENTS = contract.event;

// Keys of the payloads, in and out.
export const KEYS = contract.key;

// Study actions of the "studyAction" event.
export const ACTIONS = contract.action;

// The seven typography keys, the numbers' accepted ranges and the defaults;
// the page clamps what it sends the same way the native side normalises
// what it receives.
const typography = contract.typography;
export const TYPOGRAPHY = Object.freeze(Object.fromEntries(typography.numbers.map(
  (n) => [n.key, Object.freeze({ min: n.lowest, max: n.highest, fallback: n.fallback })])));
export const TYPOGRAPHY_KEYS = typography.keys;
export const TYPOGRAPHY_DEFAULTS = Object.freeze(Object.fromEntries(
  [...typography.numbers, ...typography.choices, ...typography.switches].map((v) => [v.key, v.fallback])
    .sort(([a], [b]) => TYPOGRAPHY_KEYS.indexOf(a) - TYPOGRAPHY_KEYS.indexOf(b))));
// One press of a control's "−" or "+".
export const TYPOGRAPHY_STEPS = Object.freeze(Object.fromEntries(typography.numbers.map((n) => [n.key, n.step])));

// The seven typography values, each valid: numbers clamped into their range
// (the default for what is no finite number), the face, alignment and indent
// as the native side reads them. Other keys are dropped.
export function typographyValues(values = {}) {
  const out = {};
  for (const [key, range] of Object.entries(TYPOGRAPHY)) {
    const n = values[key];
    out[key] = typeof n === "number" && Number.isFinite(n) ? Math.min(range.max, Math.max(range.min, n)) : range.fallback;
  }
  // A choice is its one other value or else its default.
  for (const choice of typography.choices) out[choice.key] = values[choice.key] === choice.other ? choice.other : choice.fallback;
  for (const flag of typography.switches) out[flag.key] = typeof values[flag.key] === "boolean" ? values[flag.key] : flag.fallback;
  const ordered = {};
  for (const key of TYPOGRAPHY_KEYS) ordered[key] = out[key];
  return ordered;
}

// The values with one number stepped up (direction 1) or down (-1), kept on
// the steps' grid and inside its range.
export function stepTypography(values, key, direction) {
  const step = TYPOGRAPHY_STEPS[key];
  if (!step) return typographyValues(values);
  const current = typographyValues(values)[key];
  const next = Math.round((current + direction * step) / step) * step;
  return typographyValues({ ...values, [key]: Math.round(next * 1000) / 1000 });
}

// The web channel object the native side registers.
export const CHANNEL_OBJECT = contract.channelObject;

// Routes of the scheme, all under the page's own origin.
export const ORIGIN = `${contract.scheme}://${contract.host}`;
export function documentUrl(token) {
  return `${ORIGIN}/${contract.documentRoute}/${encodeURIComponent(token)}.pdf`;
}
export function pageImageUrl(token, page, region, detail) {
  let url = `${ORIGIN}/${contract.pageRoute}/${encodeURIComponent(token)}/${page}.png`;
  const query = [];
  if (region) query.push(`${contract.regionItem}=` + region.map((v) => roundFraction(v)).join(","));
  if (detail) query.push(`${contract.detailItem}=${contract.detailValue}`);
  if (query.length) url += "?" + query.join("&");
  return url;
}
export function layoutUrl(token, page) {
  return `${ORIGIN}/${contract.layoutRoute}/${encodeURIComponent(token)}/${page}.json`;
}

function roundFraction(v) {
  return Math.round(v * 1e5) / 1e5;
}

// An event's body: the name, the token (except for "loaded") and the given
// keys.
export function eventBody(name, token, fields = {}) {
  return sharedEventBody(name, token, fields, EVENTS.loaded);
}

// The page's bridge: events go to the channel object as JSON text, "loaded"
// first.
export class Bridge extends SharedBridge {
  constructor(win = globalThis) {
    super({ object: CHANNEL_OBJECT, handshake: EVENTS.loaded }, win);
  }
}
