// The book page's geometry: sheets, paper coordinates, spreads and raster
// sizes. Pure functions, shared by the page and its tests.
//
// Paper coordinates: a sheet is 1 wide and `aspect` high; u runs across
// (0 left, 1 right), v upward (0 bottom, 1 top), each as a fraction of the
// sheet. A row [page, x, y, w, h, ...] is a rectangle of the sheet in the
// same fractions, y its lower edge.
import { wire } from './wire.js';

// A point of a sheet element (CSS pixels from its top left corner) in
// paper coordinates.
export function paperPoint(x, y, width, height) {
  return { u: x / width, v: 1 - y / height };
}

// The element point of paper point (u, v): the inverse of paperPoint.
export function elementPoint(u, v, width, height) {
  return { x: u * width, y: (1 - v) * height };
}

// The CSS box of a row in a sheet element of the given size; null for a
// row that is not 5 or more finite numbers.
export function rowBox(row, width, height) {
  if (!Array.isArray(row) || row.length < 5) return null;
  for (let i = 0; i < 5; i++) if (typeof row[i] !== 'number' || !Number.isFinite(row[i])) return null;
  const [, x, y, w, h] = row;
  return { left: x * width, top: (1 - y - h) * height, width: w * width, height: h * height };
}

// The colour of a 9-number overlay row; a soft blue for a row without one.
export function rowColor(row) {
  if (row.length < 9) return 'rgba(54, 133, 255, 0.22)';
  const unit = (n) => Math.min(1, Math.max(0, Number.isFinite(n) ? n : 0));
  const c = (n) => Math.round(unit(n) * 255);
  return `rgba(${c(row[5])}, ${c(row[6])}, ${c(row[7])}, ${unit(row[8])})`;
}

// The pages shown with `page`: one in "single"; in "spread" the first
// page alone, then 1–2, 3–4, ...; none outside the document.
export function spreadOf(page, count, layout) {
  if (!(count > 0)) return [];
  const p = Math.min(Math.max(0, Math.trunc(page)), count - 1);
  if (layout === 'single' || p === 0) return [p];
  const first = p % 2 === 1 ? p : p - 1;
  return first + 1 < count ? [first, first + 1] : [first];
}

// The first page of the spread after (forward) or before the one of `page`,
// or null at either end.
export function neighbourSpread(page, count, layout, forward) {
  const shown = spreadOf(page, count, layout);
  if (!shown.length) return null;
  const next = forward ? shown[shown.length - 1] + 1 : shown[0] - 1;
  return next >= 0 && next < count ? spreadOf(next, count, layout)[0] : null;
}

// The size of one page in CSS pixels: as large as fits the view (two side
// by side for a spread) with a margin around, times the zoom.
export function pageSize(viewWidth, viewHeight, aspect, layout, zoom) {
  const margin = 24;
  const across = layout === 'single' ? 1 : 2;
  const fitWidth = Math.max(50, (viewWidth - 2 * margin) / across);
  const fitHeight = Math.max(50, viewHeight - 2 * margin);
  const width = Math.min(fitWidth, fitHeight / aspect) * (Number.isFinite(zoom) && zoom > 0 ? zoom : 1);
  return { width: Math.floor(width), height: Math.floor(width * aspect) };
}

// How many pages stand side by side: two in a spread of two or more
// pages, the first alone on the right; a one-page paper stands alone,
// centred, as in "single".
export function pagesAcross(layout, count) {
  return layout === 'single' || !(count > 1) ? 1 : 2;
}

// Which side of the book page `page` stands on, 0 left or 1 right, in a
// book of `count` pages laid out as `layout`: the first page alone on the
// right, then odd pages on the left; one page across stands on the left.
export function sideOf(page, count, layout) {
  return pagesAcross(layout, count) === 1 || page % 2 === 1 ? 0 : 1;
}

// The scroll offset that brings the range start...end of a scrolling
// element's content into its view (`view` long, at `scroll`), moving as
// little as it must; a range longer than the view shows its start.
export function reveal(scroll, view, start, end) {
  if (end - start >= view || start < scroll) return Math.max(0, start);
  return end > scroll + view ? end - view : scroll;
}

// The point of a scrolling element's content in the middle of its view,
// as fractions of the content.
export function viewCentre(element) {
  const fraction = (offset, view, content) => (content > 0 ? (offset + view / 2) / content : 0.5);
  return {
    x: fraction(element.scrollLeft, element.clientWidth, element.scrollWidth),
    y: fraction(element.scrollTop, element.clientHeight, element.scrollHeight),
  };
}

// Scrolls the element so that `centre` (from viewCentre) is in the middle
// of its view, as far as its content reaches.
export function scrollToCentre(element, centre) {
  const place = (fraction, view, content) =>
    Math.round(Math.min(Math.max(0, content - view), Math.max(0, fraction * content - view / 2)));
  element.scrollLeft = place(centre.x, element.clientWidth, element.scrollWidth);
  element.scrollTop = place(centre.y, element.clientHeight, element.scrollHeight);
}

// Whether the element's content is larger than its view.
export function overflows(element) {
  return element.scrollWidth > element.clientWidth + 1 || element.scrollHeight > element.clientHeight + 1;
}

// How far the element can scroll down (delta > 0) or up (delta < 0) of
// `delta`: delta itself, less at the content's end, 0 there.
export function scrollRoom(element, delta) {
  if (!Number.isFinite(delta) || !delta) return 0;
  const room = delta > 0 ? element.scrollHeight - element.clientHeight - element.scrollTop : -element.scrollTop;
  if (delta > 0) return room >= 1 ? Math.min(delta, room) : 0;
  return room <= -1 ? Math.max(delta, room) : 0;
}

// The longer raster side to ask for a page shown at the given CSS size:
// device pixels rounded up to a step of 200 (so that small size changes
// reuse the cached rasters), within 600...4096.
export function rasterEdge(width, height, pixelRatio) {
  const device = Math.max(width, height) * (pixelRatio > 0 ? pixelRatio : 1);
  return Math.min(4096, Math.max(600, Math.ceil(device / 200) * 200));
}

// Wheel turning: adds a wheel delta (pixels) to the running sum and tells
// whether a turn is due. A sum of 50 (one notch of a mouse wheel at
// sensitivity 1) turns; a touchpad's small steps add up to it.
export function wheelTurn(sum, deltaY, sensitivity, reverse) {
  const total = sum + deltaY * sensitivity * (reverse ? -1 : 1);
  if (total >= 50) return { sum: 0, turn: 1 };
  if (total <= -50) return { sum: 0, turn: -1 };
  return { sum: total, turn: 0 };
}

// The CSS transform that leans the book back by `angle` degrees (within the
// contract's range), as the page view tilts its pages: a turn about the view's
// horizontal middle seen from one view size (the larger side) in front,
// then stretched upright by 1 / cos(angle) so that the book keeps its
// height. The edge that comes forward grows: the whole is then scaled
// down, and moved up or down, so that the tilted book (`bookWidth` ×
// `bookHeight` at zoom 1, in the middle of the view) keeps within the
// view's margin. None at 0 and while text is being selected (a tilted page
// would not be where the pointer selects).
export function tiltTransform(angle, viewWidth, viewHeight, selecting, bookWidth, bookHeight) {
  const { fallback, lowest, highest } = wire.settings.angle;
  const a = Number.isFinite(angle) ? Math.min(highest, Math.max(lowest, angle)) : fallback;
  if (!a || selecting) return '';
  const distance = Math.max(viewWidth, viewHeight, 1);
  const radians = (a * Math.PI) / 180;
  const stretch = 1 / Math.cos(radians);
  const { scale, shift } = tiltFit(radians, distance, viewWidth, viewHeight, bookWidth, bookHeight);
  return `translateY(${shift}px) scale(${scale}) scale(1, ${stretch}) perspective(${distance}px) rotateX(${a}deg)`;
}

// The scale (at most 1) and vertical shift that fit a book of w × h, tilted
// by `radians` before an eye `distance` away, into a view of width × height
// less a margin of 24 on every side, the tilted book in the middle.
export function tiltFit(radians, distance, width, height, w, h) {
  const margin = 24;
  if (!(w > 0 && h > 0)) return { scale: 1, shift: 0 };
  // Tilted and stretched, a point y from the middle is seen at
  // y / (1 - y sin / distance), and its row widened as much.
  const lean = (h / 2) * Math.sin(radians) / distance;
  const bottom = h / 2 / (1 - lean);
  const top = -h / 2 / (1 + lean);
  const widest = (w / 2) * Math.max(1 / (1 - lean), 1 / (1 + lean));
  const scale = Math.min(1, Math.max(1, width / 2 - margin) / widest,
                         Math.max(1, height - 2 * margin) / (bottom - top));
  return { scale, shift: -scale * (bottom + top) / 2 };
}
