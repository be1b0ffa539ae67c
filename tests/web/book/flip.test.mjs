// A released book stops: its events, its animation loop and its handlers.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BookShelf } from '../../../web/book/flip.js';

// A window whose frames run when told, and a book that, as page-flip does,
// runs an endless animation loop and turns on events.
function fakeWindow() {
  const frames = [];
  return {
    frames,
    requestAnimationFrame(callback) { frames.push(callback); return frames.length; },
    runFrames() { for (const callback of frames.splice(0)) callback(); },
  };
}

function fakeFlipClass(win) {
  return class {
    constructor(root, options) {
      this.options = options;
      this.handlers = new Map();
      this.destroyed = false;
      this.handlersRemoved = false;
      this.ui = { removeHandlers: () => { this.handlersRemoved = true; } };
      this.ticks = 0;
    }
    on(name, handler) { this.handlers.set(name, handler); }
    off(name) { this.handlers.delete(name); }
    emit(name, data) { const h = this.handlers.get(name); if (h) h({ data }); }
    loadFromHTML() {
      const loop = () => { this.ticks += 1; win.requestAnimationFrame(loop); };
      win.requestAnimationFrame(loop);
    }
    destroy() { this.destroyed = true; }
  };
}

test('a book reports its turns and runs its loop until it is released', () => {
  const win = fakeWindow();
  const shelf = new BookShelf(win);
  const PageFlip = fakeFlipClass(win);
  const turns = [];
  const old = shelf.make(PageFlip, {}, {}, [], (book, page) => turns.push([book, page]));
  win.runFrames();
  win.runFrames();
  assert.equal(old.ticks, 2);
  old.emit('flip', 3);
  assert.deepEqual(turns, [[old, 3]]);

  const fresh = shelf.make(PageFlip, {}, {}, [], (book, page) => turns.push([book, page]));
  shelf.release(old);
  assert.ok(old.destroyed);
  assert.ok(old.handlersRemoved);
  old.emit('flip', 5);
  win.runFrames();
  win.runFrames();
  assert.equal(old.ticks, 3, 'the released loop ran its last frame and asked for no more');
  assert.equal(fresh.ticks, 2, 'the new book\'s loop goes on');
  fresh.emit('flip', 1);
  assert.deepEqual(turns, [[old, 3], [fresh, 1]]);
});

test('frames asked for outside a book\'s making are not counted as its loop', () => {
  const win = fakeWindow();
  const shelf = new BookShelf(win);
  const book = shelf.make(fakeFlipClass(win), {}, {}, [], () => {});
  let other = 0;
  const elsewhere = () => { other += 1; };
  win.requestAnimationFrame(elsewhere);
  shelf.release(book);
  win.runFrames();
  assert.equal(other, 1);
  assert.deepEqual(book.folvanLoops, null);
});

test('a book whose pages fail to load leaves later frames alone', () => {
  const win = fakeWindow();
  const shelf = new BookShelf(win);
  class Failing extends fakeFlipClass(win) {
    loadFromHTML() { super.loadFromHTML(); throw new Error('no pages'); }
  }
  assert.throws(() => shelf.make(Failing, {}, {}, [], () => {}));
  assert.equal(shelf.collecting, null, 'a later frame is not taken for this book\'s');
});
