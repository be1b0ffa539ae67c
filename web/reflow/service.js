// The wire between the reflow page and the native reflow view: every name the
// two sides share, and the shim that posts events through the Qt web channel.
// The native side keeps the same names in src/reflow/ReflowWire.h; change
// both together.

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

// Builds an event body: the name, the token (except for "loaded") and the
// given keys.
export function eventBody(name, token, fields = {}) {
  const body = { [KEYS.event]: name };
  if (name !== EVENTS.loaded) body[KEYS.token] = token;
  return Object.assign(body, fields);
}

// Posts events through the Qt web channel. Until the channel is up, events
// wait in order; "loaded" goes out as soon as it is.
export class Bridge {
  constructor(win = globalThis) {
    this.win = win;
    this.token = "";
    this.queue = [];
    this.target = null;
  }

  connect() {
    const win = this.win;
    const start = () => {
      const transport = win.qt && win.qt.webChannelTransport;
      if (!transport || typeof win.QWebChannel !== "function") return false;
      new win.QWebChannel(transport, (channel) => {
        this.target = channel.objects[CHANNEL_OBJECT] || null;
        this.flush();
      });
      return true;
    };
    if (start()) return;
    // The channel script comes from the native side; load it when it was not
    // injected into the page already.
    const doc = win.document;
    if (!doc || !win.qt) return;
    const script = doc.createElement("script");
    script.src = "qwebchannel.js";
    script.onload = start;
    doc.head.appendChild(script);
  }

  post(name, fields) {
    if (name !== EVENTS.loaded && !this.token) return;
    this.queue.push(JSON.stringify(eventBody(name, this.token, fields)));
    this.flush();
  }

  flush() {
    if (!this.target || typeof this.target[CHANNEL_METHOD] !== "function") return;
    const pending = this.queue;
    this.queue = [];
    for (const text of pending) this.target[CHANNEL_METHOD](text);
  }
}
