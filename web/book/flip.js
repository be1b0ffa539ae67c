// The life cycle of a page-flip book. page-flip's destroy() leaves its
// window resize listener (with its own mouse events off) and its animation
// loop running: a destroyed book would keep its pages in memory and, at the
// next resize, report its own old page. A book that is not the current one
// is released here: its listeners removed, its loop stopped, its events
// ignored.

const EVENTS = ['flip', 'changeOrientation', 'changeState', 'init', 'update'];

export class BookShelf {
  // Watches `win`'s animation frames, to know each book's loop.
  constructor(win) {
    this.stopped = new WeakSet();
    this.collecting = null;
    const nextFrame = win.requestAnimationFrame.bind(win);
    win.requestAnimationFrame = (callback) => {
      if (this.stopped.has(callback)) return 0;
      if (this.collecting) this.collecting.push(callback);
      return nextFrame(callback);
    };
  }

  // A new book of page-flip class `PageFlip` whose pages are `elements`;
  // its turns reach `onFlip(book, page)` until it is released.
  make(PageFlip, root, options, elements, onFlip) {
    const book = new PageFlip(root, options);
    book.on('flip', (e) => onFlip(book, e.data));
    this.collecting = [];
    try {
      book.loadFromHTML(elements);
    } finally {
      book.folvanLoops = this.collecting;
      this.collecting = null;
    }
    return book;
  }

  release(book) {
    for (const name of EVENTS) book.off(name);
    if (book.ui && typeof book.ui.removeHandlers === 'function') book.ui.removeHandlers();
    for (const loop of book.folvanLoops || []) this.stopped.add(loop);
    book.folvanLoops = null;
    book.destroy();
  }
}
