// The message bridge of a page to its native view: the page's token, the
// handshake over the Qt web channel and the posting of events, each as JSON
// text. Each page gives the name of the channel object its native side
// registers and the name of its first event.

import { readContract } from "./contract.js";

// The names every page shares with the native side (contract.json here).
const shared = await readContract(new URL("./contract.json", import.meta.url));

export const EVENT_KEY = "event";
export const TOKEN_KEY = "token";

// An event's body: its name, the token (except for the handshake) and the
// given keys.
export function eventBody(name, token, fields = {}, handshake = "") {
  const body = { [EVENT_KEY]: name };
  if (name !== handshake) body[TOKEN_KEY] = token;
  return Object.assign(body, fields);
}

// Posts events through the web channel. Until the channel is up, events wait
// in order; the handshake goes out as soon as it is, every other event only
// once the native side has given the page its token.
export class Bridge {
  // `object`: the channel object's name (the native side's message port,
  // which takes one event's JSON text through its method postMessage);
  // `handshake`: the name of the first event.
  constructor({ object, handshake }, win = globalThis) {
    this.win = win;
    this.object = object;
    this.handshake = handshake;
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
        this.target = channel.objects[this.object] || null;
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
    script.src = shared.channelScript;
    script.onload = start;
    doc.head.appendChild(script);
  }

  post(name, fields) {
    if (name !== this.handshake && !this.token) return;
    this.queue.push(JSON.stringify(eventBody(name, this.token, fields, this.handshake)));
    this.flush();
  }

  flush() {
    if (!this.target || typeof this.target.postMessage !== "function") return;
    const pending = this.queue;
    this.queue = [];
    for (const message of pending) this.target.postMessage(message);
  }
}
