// The book page's state, routes and the decisions its input makes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { wire, rasterUrl } from '../../../web/book/wire.js';
import { spreadOf } from '../../../web/book/paper.js';
import {
  DEFAULT_SETTINGS, openedPaper, mergeSettings, stateFields, readingPage, turnTarget, clickTurn, cornerTurn, keyAction,
  ClickTurns, DOUBLE_CLICK_WAIT, DOUBLE_CLICK_TIME,
} from '../../../web/book/state.js';
import { Bridge, EVENT_KEY, TOKEN_KEY } from '../../../web/shared/bridge.js';

test('an open call gives the token, a whole page count and a usable aspect', () => {
  assert.deepEqual(openedPaper({ token: 'T', count: 12.7, aspect: 1.3 }), { token: 'T', count: 12, aspect: 1.3 });
  assert.deepEqual(openedPaper({ count: -3, aspect: 0 }), { token: '', count: 0, aspect: 1.414 });
  assert.equal(openedPaper({ token: 7, aspect: NaN }).aspect, 1.414);
  assert.equal(openedPaper({ token: 7 }).token, '7');
});

test('only layout, zoom and reduced motion rebuild the book; other settings change it in place', () => {
  const first = mergeSettings(DEFAULT_SETTINGS, { warmth: 0.5, angle: 3 });
  assert.equal(first.rebuild, false);
  assert.equal(first.settings.warmth, 0.5);
  assert.equal(first.settings.layout, 'spread');
  assert.equal(DEFAULT_SETTINGS.warmth, 0.12, 'the settings before are left as they were');
  for (const change of [{ layout: 'single' }, { zoom: 1.5 }, { reducedMotion: true }])
    assert.equal(mergeSettings(first.settings, change).rebuild, true, JSON.stringify(change));
  assert.equal(mergeSettings(first.settings, { layout: 'spread', zoom: 1 }).rebuild, false, 'the same values again');
});

test('the state told names a shown page and which turns are possible', () => {
  const count = 5;
  assert.deepEqual(stateFields(0, spreadOf(0, count, 'spread'), count, 'spread', false, false),
    { page: 0, canForward: true, canBackward: false, layout: 'spread' });
  // A page outside the spread (a turn's target told ahead) reads as the spread's first.
  assert.equal(stateFields(2, [3, 4], count, 'spread').page, 3);
  const last = stateFields(4, spreadOf(4, count, 'spread'), count, 'spread', true, true);
  assert.equal(last.canForward, false);
  assert.equal(last.canBackward, true);
  assert.equal(last.ready, true);
  assert.equal(last.drawn, true);
  assert.ok(!('ready' in stateFields(1, [1, 2], count, 'spread', false, true)));
});

test('the page asked for stays the reader\'s page while its spread is shown', () => {
  const count = 1227;
  // page-flip names a spread by its first page; the right-hand page asked
  // for (a jump to 1001 of 1227, a paper reopened at page 5) is kept.
  for (const asked of [1000, 4]) {
    const reported = spreadOf(asked, count, 'spread')[0];
    assert.equal(reported, asked - 1);
    const page = readingPage(asked, spreadOf(reported, count, 'spread'));
    assert.equal(page, asked);
    assert.equal(stateFields(page, spreadOf(page, count, 'spread'), count, 'spread').page, asked);
  }
  // A book built again at the page it is on (a resize, a zoom) keeps it,
  // however often.
  let page = 4;
  for (let i = 0; i < 3; i++) page = readingPage(page, spreadOf(spreadOf(page, count, 'spread')[0], count, 'spread'));
  assert.equal(page, 4);
  // Once another spread is shown (a turn), the reader is on its first page.
  assert.equal(readingPage(4, spreadOf(5, count, 'spread')), 5);
  assert.equal(readingPage(4, [5]), 5, 'a single page');
  assert.equal(readingPage(undefined, [7, 8]), 7);
  assert.equal(readingPage(3, []), 0, 'an empty paper');
});

test('a turn goes one spread on and stops at either end', () => {
  assert.equal(turnTarget([0], 5, true), 1);
  assert.equal(turnTarget([1, 2], 5, true), 3);
  assert.equal(turnTarget([1, 2], 5, false), 0);
  assert.equal(turnTarget([3, 4], 5, true), null);
  assert.equal(turnTarget([0], 5, false), null);
  assert.equal(turnTarget([0], 1, true), null);
  assert.equal(turnTarget([], 0, true), null);
  // Turning through a whole paper visits every spread once.
  const seen = [];
  for (let page = 0; page !== null; page = turnTarget(spreadOf(page, 6, 'spread'), 6, true)) seen.push(page);
  assert.deepEqual(seen, [0, 1, 3, 5]);
});

test('clicks near a page\'s outer edge turn, elsewhere and in selection mode they do not', () => {
  assert.equal(clickTurn({ page: 2, u: 0.9 }, [1, 2], false), 1);
  assert.equal(clickTurn({ page: 1, u: 0.1 }, [1, 2], false), -1);
  assert.equal(clickTurn({ page: 1, u: 0.9 }, [1, 2], false), 0, 'the inner edge of the left page');
  assert.equal(clickTurn({ page: 2, u: 0.1 }, [1, 2], false), 0, 'the inner edge of the right page');
  assert.equal(clickTurn({ page: 2, u: 0.5 }, [1, 2], false), 0);
  assert.equal(clickTurn({ page: 0, u: 0.65 }, [0], false), 1, 'a single page turns on a wider band');
  assert.equal(clickTurn({ page: 0, u: 0.35 }, [0], false), -1);
  assert.equal(clickTurn({ page: 2, u: 0.9 }, [1, 2], true), 0);
  assert.equal(clickTurn({ page: 7, u: 0.9 }, [1, 2], false), 0, 'a page not shown');
});

test('a drag turns the leaf only from an outer corner, and never while selecting', () => {
  assert.equal(cornerTurn({ page: 2, u: 0.95, v: 0.95 }, [1, 2], false), 1, 'top right');
  assert.equal(cornerTurn({ page: 2, u: 0.95, v: 0.05 }, [1, 2], false), 1, 'bottom right');
  assert.equal(cornerTurn({ page: 1, u: 0.05, v: 0.9 }, [1, 2], false), -1, 'top left');
  assert.equal(cornerTurn({ page: 1, u: 0.05, v: 0.1 }, [1, 2], false), -1, 'bottom left');
  assert.equal(cornerTurn({ page: 2, u: 0.95, v: 0.5 }, [1, 2], false), 0, 'the outer edge between the corners');
  assert.equal(cornerTurn({ page: 2, u: 0.05, v: 0.95 }, [1, 2], false), 0, 'an inner corner');
  assert.equal(cornerTurn({ page: 1, u: 0.95, v: 0.95 }, [1, 2], false), 0, 'the left page\'s inner corner');
  assert.equal(cornerTurn({ page: 0, u: 0.9, v: 0.9 }, [0], false), 1, 'a page alone');
  assert.equal(cornerTurn({ page: 2, u: 0.95, v: 0.95 }, [1, 2], true), 0, 'the text tool selects');
});

test('keys turn, go to either end or clear the selection; with a modifier they are the window\'s', () => {
  for (const key of ['ArrowRight', 'ArrowDown', 'PageDown', ' ']) assert.equal(keyAction({ key }), 'forward');
  for (const key of ['ArrowLeft', 'ArrowUp', 'PageUp']) assert.equal(keyAction({ key }), 'backward');
  assert.equal(keyAction({ key: ' ', shiftKey: true }), 'backward', 'Shift+Space turns back');
  assert.equal(keyAction({ key: 'Home' }), 'first');
  assert.equal(keyAction({ key: 'End' }), 'last');
  assert.equal(keyAction({ key: 'Escape' }), 'clear');
  assert.equal(keyAction({ key: 'a' }), null);
  assert.equal(keyAction({ key: 'ArrowRight', ctrlKey: true }), null);
  assert.equal(keyAction({ key: 'End', ctrlKey: true }), null);
  assert.equal(keyAction({ key: ' ', shiftKey: true, metaKey: true }), null);
  assert.equal(keyAction({ key: 'Escape', altKey: true }), null);
});

// Click turns on a clock of the test's own.
function clickTurnsOnAClock() {
  const turns = [];
  const timers = new Map();
  let now = 0;
  let next = 1;
  const clicks = new ClickTurns((step) => turns.push(step), (run, ms) => {
    timers.set(next, { run, at: now + ms });
    return next++;
  }, (handle) => timers.delete(handle), () => now);
  const advance = (ms) => {
    now += ms;
    for (const [handle, timer] of [...timers]) {
      if (timer.at > now) continue;
      timers.delete(handle);
      timer.run();
    }
  };
  return { clicks, turns, advance, timers };
}

test('a click near the outer edge turns a moment later, unless a double click\'s second press comes', () => {
  const { clicks, turns, advance, timers } = clickTurnsOnAClock();
  // A single click: the turn comes once the wait is over.
  clicks.press(900, 300);
  clicks.click(1, 900, 300);
  advance(DOUBLE_CLICK_WAIT - 1);
  assert.deepEqual(turns, []);
  advance(1);
  assert.deepEqual(turns, [1]);
  // A double click whose second press came after the turn picks nothing.
  clicks.press(901, 299);
  assert.equal(clicks.mayPickWord(), false);
  // A double click there a while later picks its word.
  advance(DOUBLE_CLICK_TIME);
  clicks.press(901, 299);
  clicks.press(901, 299);
  assert.equal(clicks.mayPickWord(), true);

  // A double click: its second press, near the first, drops the turn, and
  // it picks its word.
  clicks.press(100, 300);
  clicks.click(-1, 100, 300);
  advance(DOUBLE_CLICK_WAIT / 2);
  clicks.press(102, 303);
  advance(DOUBLE_CLICK_WAIT * 10);
  assert.deepEqual(turns, [1]);
  assert.equal(clicks.mayPickWord(), true);
  assert.equal(timers.size, 0);

  // A press elsewhere while a turn waits: the turn waiting goes first, at
  // once, and the new click turns in its turn.
  clicks.press(900, 300);
  clicks.click(1, 900, 300);
  clicks.press(100, 300);
  assert.deepEqual(turns, [1, 1]);
  clicks.click(-1, 100, 300);
  advance(DOUBLE_CLICK_WAIT);
  assert.deepEqual(turns, [1, 1, -1]);

  // A double click in the middle of a page picks its word; a book built
  // anew drops a turn still waiting.
  clicks.press(500, 300);
  clicks.press(500, 300);
  assert.equal(clicks.mayPickWord(), true);
  clicks.press(900, 500);
  clicks.click(1, 900, 500);
  clicks.drop();
  advance(DOUBLE_CLICK_WAIT);
  assert.deepEqual(turns, [1, 1, -1]);
});

test('page rasters are asked for by token, page and edge, the token escaped', () => {
  assert.equal(rasterUrl('T', 3, 2400), 'folvan-book://local/page/T/3.png?edge=2400');
  assert.equal(rasterUrl('a/b c', 0, 600), 'folvan-book://local/page/a%2Fb%20c/0.png?edge=600');
});

test('the book posts JSON text to "book": "ready" first, then only events with the token', () => {
  const sent = [];
  const win = {
    qt: { webChannelTransport: {} },
    QWebChannel: function (transport, ready) {
      ready({ objects: { [wire.channelObject]: { postMessage: (text) => sent.push(JSON.parse(text)) } } });
    },
  };
  const bridge = new Bridge({ object: wire.channelObject, handshake: wire.event.ready }, win);
  bridge.post(wire.event.ready);
  bridge.post('clearSelection');
  assert.deepEqual(sent, []);
  bridge.connect();
  assert.deepEqual(sent, [{ event: 'ready' }]);
  bridge.token = 'T';
  bridge.post('state', { page: 1 });
  assert.deepEqual(sent[1], { event: 'state', token: 'T', page: 1 });
});

test('the bridge names an event and its token by the keys the native side reads', () => {
  assert.equal(EVENT_KEY, wire.key.event);
  assert.equal(TOKEN_KEY, wire.key.token);
});
