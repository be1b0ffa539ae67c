// The message shapes the page exchanges with the native side.
import { test } from "node:test";
import assert from "node:assert/strict";
import { Bridge, EVENTS, eventBody, pageImageUrl, documentUrl, layoutUrl, CHANNEL_OBJECT } from "../../../web/reflow/service.js";

test("events carry their name and, except the first handshake, the token", () => {
  assert.deepEqual(eventBody(EVENTS.loaded, "T"), { event: "loaded" });
  assert.deepEqual(eventBody(EVENTS.correction, "T", { key: "1:2:abcdef12", original: true }),
    { event: "correction", token: "T", key: "1:2:abcdef12", original: true });
});

test("routes carry the token, the page and the region", () => {
  assert.equal(documentUrl("AB-C"), "folvan-reflow://local/document/AB-C.pdf");
  assert.equal(layoutUrl("T", 3), "folvan-reflow://local/layout/T/3.json");
  assert.equal(pageImageUrl("T", 0, [0.1, 0.25, 0.5, 1 / 3], true),
    "folvan-reflow://local/page/T/0.png?r=0.1,0.25,0.5,0.33333&q=detail");
  assert.equal(pageImageUrl("T", 2), "folvan-reflow://local/page/T/2.png");
});

test("events wait for the channel, go out in order as JSON text, and none but the handshake goes before the token", () => {
  const sent = [];
  const win = {
    qt: { webChannelTransport: {} },
    QWebChannel: function (transport, ready) {
      ready({ objects: { [CHANNEL_OBJECT]: { postMessage: (text) => sent.push(JSON.parse(text)) } } });
    },
  };
  const bridge = new Bridge(win);
  bridge.post(EVENTS.loaded);
  bridge.post(EVENTS.page, { page: 1 });
  assert.deepEqual(sent, []);
  bridge.connect();
  bridge.token = "T";
  bridge.post(EVENTS.page, { page: 2 });
  assert.deepEqual(sent, [{ event: "loaded" }, { event: "page", token: "T", page: 2 }]);
});
