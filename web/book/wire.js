// The names the book page and the native side agree on (the native side
// keeps the same names in src/book/BookWire.h), and the page's routes.
export const wire = Object.freeze({
  messageHandler: 'book',
  tokenKey: 'token',
  jumpPointKey: 'point',
  phaseKey: 'phase',
  backwardKey: 'canBackward',
  failureEvent: 'failure',
  readyEvent: 'ready',
});

export const ORIGIN = 'folvan-book://local';

// The raster of a page, its longer side `edge` device pixels.
export function rasterUrl(token, page, edge) {
  return `${ORIGIN}/page/${encodeURIComponent(token)}/${page}.png?edge=${edge}`;
}
