// The wire between the reflow page and the native reflow view: every name the
// two sides share, and the bridge that posts its events through the Qt web
// channel.
// The native side keeps the same names in src/reflow/ReflowWire.h; change
// both together.

import { Bridge as SharedBridge, eventBody as sharedEventBody } from "../shared/bridge.js";

// Calls the native side makes on window.folvanReflow, one JSON object each.
export const CALLS = Object.freeze({
  open: "open",
  settings: "settings",
  navigate: "navigate",
  state: "state",
  feedback: "feedback",
  magnify: "magnify",
  position: "position",
});

// Events the page posts. Every event but the first "loaded" carries the token.
export const EVENTS = Object.freeze({
  loaded: "loaded",
  visiblePages: "visiblePages",
  selection: "selection",
  studyAction: "studyAction",
  correction: "correction",
  position: "position",
  page: "page",
  original: "original",
  typography: "typography",
  cutouts: "cutouts",
});

// Keys of the payloads, in and out.
export const KEYS = Object.freeze({
  event: "event",
  token: "token",
  pageCount: "pageCount",
  corrections: "corrections",
  page: "page",
  pages: "pages",
  source: "source",
  sources: "sources",
  block: "block",
  offset: "offset",
  point: "point",
  x: "x",
  y: "y",
  ordinal: "ordinal",
  query: "query",
  annotations: "annotations",
  selectionMapped: "selectionMapped",
  canUndo: "canUndo",
  canRedo: "canRedo",
  message: "message",
  error: "error",
  action: "action",
  id: "id",
  key: "key",
  original: "original",
  delta: "delta",
  regions: "regions",
});

// Study actions of the "studyAction" event.
export const ACTIONS = Object.freeze({
  note: "note",
  copy: "copy",
  highlight: "highlight",
  underline: "underline",
  delete: "delete",
  undo: "undo",
  redo: "redo",
});

// The seven typography keys and their accepted ranges; the page clamps what it
// sends the same way the native side normalises what it receives.
export const TYPOGRAPHY = Object.freeze({
  fontSize: { min: 14, max: 32, fallback: 20 },
  leading: { min: 1.3, max: 2.2, fallback: 1.75 },
  width: { min: 480, max: 1040, fallback: 760 },
  paragraphSpacing: { min: 0, max: 1.5, fallback: 0.65 },
});
export const TYPOGRAPHY_KEYS = Object.freeze([
  "fontSize", "leading", "width", "face", "alignment", "paragraphSpacing", "indent",
]);
export const TYPOGRAPHY_DEFAULTS = Object.freeze({
  fontSize: 20, leading: 1.75, width: 760, face: "serif", alignment: "start", paragraphSpacing: 0.65, indent: false,
});
// One press of a control's "−" or "+".
export const TYPOGRAPHY_STEPS = Object.freeze({ fontSize: 1, leading: 0.05, width: 40, paragraphSpacing: 0.05 });

// The seven typography values, each valid: numbers clamped into their range
// (the default for what is no finite number), the face, alignment and indent
// as the native side reads them. Other keys are dropped.
export function typographyValues(values = {}) {
  const out = {};
  for (const [key, range] of Object.entries(TYPOGRAPHY)) {
    const n = values[key];
    out[key] = typeof n === "number" && Number.isFinite(n) ? Math.min(range.max, Math.max(range.min, n)) : range.fallback;
  }
  out.face = values.face === "sans" ? "sans" : "serif";
  out.alignment = values.alignment === "justify" ? "justify" : "start";
  out.indent = values.indent === true;
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

// The web channel object the native side registers, and its one method, which
// takes the JSON text of one event.
export const CHANNEL_OBJECT = "reflow";
export const CHANNEL_METHOD = "postMessage";

// Routes of the scheme, all under the page's own origin.
export const ORIGIN = "folvan-reflow://local";
export function documentUrl(token) {
  return `${ORIGIN}/document/${encodeURIComponent(token)}.pdf`;
}
export function pageImageUrl(token, page, region, detail) {
  let url = `${ORIGIN}/page/${encodeURIComponent(token)}/${page}.png`;
  const query = [];
  if (region) query.push("r=" + region.map((v) => roundFraction(v)).join(","));
  if (detail) query.push("q=detail");
  if (query.length) url += "?" + query.join("&");
  return url;
}
export function layoutUrl(token, page) {
  return `${ORIGIN}/layout/${encodeURIComponent(token)}/${page}.json`;
}

function roundFraction(v) {
  return Math.round(v * 1e5) / 1e5;
}

// An event's body: the name, the token (except for "loaded") and the given
// keys.
export function eventBody(name, token, fields = {}) {
  return sharedEventBody(name, token, fields, EVENTS.loaded);
}

// The page's bridge: events go to the channel object "reflow" as JSON text,
// "loaded" first.
export class Bridge extends SharedBridge {
  constructor(win = globalThis) {
    super({ object: CHANNEL_OBJECT, method: CHANNEL_METHOD, handshake: EVENTS.loaded, encode: JSON.stringify }, win);
  }
}
