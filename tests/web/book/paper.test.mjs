import { test } from 'node:test';
import assert from 'node:assert/strict';
import * as paper from '../../../web/book/paper.js';

const close = (a, b) => assert.ok(Math.abs(a - b) < 1e-9, `${a} != ${b}`);

test('paper points and element points are each other\'s inverse', () => {
  for (const [x, y] of [[0, 0], [300, 400], [125.5, 17.25], [600, 848]]) {
    const p = paper.paperPoint(x, y, 600, 848);
    const back = paper.elementPoint(p.u, p.v, 600, 848);
    close(back.x, x);
    close(back.y, y);
  }
  // v grows upward: the top left corner is (0, 1), the bottom right (1, 0).
  assert.deepEqual(paper.paperPoint(0, 0, 600, 848), { u: 0, v: 1 });
  assert.deepEqual(paper.paperPoint(600, 848, 600, 848), { u: 1, v: 0 });
  // Points outside the sheet are not clamped.
  close(paper.paperPoint(900, 0, 600, 848).u, 1.5);
});

test('a row is placed from its lower edge upward', () => {
  // A rectangle from 10 % to 30 % across and 60 % to 80 % up the sheet.
  const box = paper.rowBox([3, 0.1, 0.6, 0.2, 0.2, 1, 1, 0, 0.4], 100, 100);
  close(box.left, 10);
  close(box.top, 20);
  close(box.width, 20);
  close(box.height, 20);
  assert.equal(paper.rowBox([3, 0.1, 0.6, 0.2], 100, 100), null);
  assert.equal(paper.rowBox([3, 0.1, NaN, 0.2, 0.2], 100, 100), null);
  assert.equal(paper.rowColor([0, 0, 0, 1, 1, 1, 0.5, 0, 0.3]), 'rgba(255, 128, 0, 0.3)');
});

test('spreads start with the first page alone', () => {
  assert.deepEqual(paper.spreadOf(0, 10, 'spread'), [0]);
  assert.deepEqual(paper.spreadOf(1, 10, 'spread'), [1, 2]);
  assert.deepEqual(paper.spreadOf(2, 10, 'spread'), [1, 2]);
  assert.deepEqual(paper.spreadOf(9, 10, 'spread'), [9]);
  assert.deepEqual(paper.spreadOf(12, 10, 'spread'), [9]);
  assert.deepEqual(paper.spreadOf(4, 10, 'single'), [4]);
  assert.deepEqual(paper.spreadOf(0, 0, 'spread'), []);
  assert.equal(paper.neighbourSpread(2, 10, 'spread', true), 3);
  assert.equal(paper.neighbourSpread(2, 10, 'spread', false), 0);
  assert.equal(paper.neighbourSpread(0, 10, 'spread', false), null);
  assert.equal(paper.neighbourSpread(9, 10, 'spread', true), null);
});

test('pages fit the view and rasters are asked for in steps', () => {
  const spread = paper.pageSize(1224, 900, 1.294, 'spread', 1);
  assert.ok(spread.width * 2 <= 1224 - 48 && spread.height <= 900 - 48);
  const single = paper.pageSize(1224, 900, 1.294, 'single', 1);
  assert.equal(single.height, Math.floor(single.width * 1.294));
  assert.ok(Math.abs(paper.pageSize(1224, 900, 1.294, 'single', 2).width - 2 * single.width) <= 2);
  assert.equal(paper.rasterEdge(400, 518, 1), 600);
  assert.equal(paper.rasterEdge(400, 818, 1), 1000);
  assert.equal(paper.rasterEdge(400, 818, 2), 1800);
  assert.equal(paper.rasterEdge(4000, 5000, 2), 4096);
});

test('the wheel turns once its sum reaches a notch', () => {
  let step = paper.wheelTurn(0, 30, 1, false);
  assert.deepEqual(step, { sum: 30, turn: 0 });
  step = paper.wheelTurn(step.sum, 30, 1, false);
  assert.deepEqual(step, { sum: 0, turn: 1 });
  assert.equal(paper.wheelTurn(0, 53, 1, true).turn, -1);
  assert.equal(paper.wheelTurn(0, 30, 2, false).turn, 1);
  assert.equal(paper.wheelTurn(0, 30, 0.5, false).turn, 0);
});

test('a one-page paper stands alone in a spread', () => {
  assert.equal(paper.pagesAcross('spread', 1), 1);
  assert.equal(paper.pagesAcross('spread', 2), 2);
  assert.equal(paper.pagesAcross('spread', 10), 2);
  assert.equal(paper.pagesAcross('single', 10), 1);
});

test('a zoomed book keeps the middle of the view and is scrolled within its content', () => {
  // A view of 800 × 600 over a book of 1600 × 1200: centred at first.
  const stage = { clientWidth: 800, clientHeight: 600, scrollWidth: 1600, scrollHeight: 1200, scrollLeft: 0, scrollTop: 0 };
  assert.ok(paper.overflows(stage));
  paper.scrollToCentre(stage, { x: 0.5, y: 0.5 });
  assert.deepEqual([stage.scrollLeft, stage.scrollTop], [400, 300]);
  // Zoomed further, the same point of the book stays in the middle.
  stage.scrollLeft = 200;
  const centre = paper.viewCentre(stage);
  close(centre.x, 0.375);
  Object.assign(stage, { scrollWidth: 3200, scrollHeight: 2400 });
  paper.scrollToCentre(stage, centre);
  assert.equal(stage.scrollLeft, 800);
  // Never past the content's ends.
  paper.scrollToCentre(stage, { x: 1, y: 0 });
  assert.deepEqual([stage.scrollLeft, stage.scrollTop], [2400, 0]);
  // A book that fits neither overflows nor scrolls.
  const fits = { clientWidth: 800, clientHeight: 600, scrollWidth: 800, scrollHeight: 600, scrollLeft: 0, scrollTop: 0 };
  assert.ok(!paper.overflows(fits));
  paper.scrollToCentre(fits, { x: 0.9, y: 0.9 });
  assert.deepEqual([fits.scrollLeft, fits.scrollTop], [0, 0]);
  assert.equal(paper.scrollRoom(fits, 120), 0);
});

test('the wheel scrolls a tall spread until its end, then turns', () => {
  const stage = { clientHeight: 600, scrollHeight: 1000, scrollTop: 0 };
  assert.equal(paper.scrollRoom(stage, 120), 120);
  assert.equal(paper.scrollRoom(stage, -120), 0);
  stage.scrollTop = 350;
  assert.equal(paper.scrollRoom(stage, 120), 50);
  assert.equal(paper.scrollRoom(stage, -500), -350);
  stage.scrollTop = 400;
  assert.equal(paper.scrollRoom(stage, 120), 0);
  assert.equal(paper.scrollRoom(stage, NaN), 0);
});

test('a turned-to page is brought into view across, moving as little as it must', () => {
  // The first page alone on the right, odd pages on the left, even pages
  // on the right; one page across stands on the left.
  assert.deepEqual([0, 1, 2, 5, 6, 9].map((p) => paper.sideOf(p, 10, 'spread')), [1, 0, 1, 0, 1, 0]);
  assert.equal(paper.sideOf(4, 10, 'single'), 0);
  assert.equal(paper.sideOf(0, 1, 'spread'), 0);
  // A view of 800 over a book of two pages of 600 (the left at 24...624).
  assert.equal(paper.reveal(700, 800, 0, 648), 0, 'scrolled onto the right page, the left page comes back');
  assert.equal(paper.reveal(0, 800, 600, 1248), 448, 'the right page is brought in from the left');
  assert.equal(paper.reveal(300, 800, 0, 648), 0);
  assert.equal(paper.reveal(100, 800, 200, 700), 100, 'a page in view stays where it is');
  assert.equal(paper.reveal(500, 400, 600, 1248), 600, 'a page wider than the view shows its start');
});
