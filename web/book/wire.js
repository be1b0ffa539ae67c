// The names the book page and the native side agree on, read from
// contract.json (the native side's build reads the same file), and the
// page's routes. `wire.call` names the calls of the native side into the
// page object, `wire.event` the events the page posts, `wire.key` the keys
// of both, `wire.phase` the phases of a selection.
import { readContract } from '../shared/contract.js';

export const wire = await readContract(new URL('./contract.json', import.meta.url));

export const ORIGIN = `${wire.scheme}://${wire.host}`;

// The raster of a page, its longer side `edge` device pixels.
export function rasterUrl(token, page, edge) {
  return `${ORIGIN}/${wire.pageRoute}/${encodeURIComponent(token)}/${page}.png?${wire.edgeItem}=${edge}`;
}

// The pane's wallpaper as the native side gave it, under its revision.
export function wallpaperUrl(revision) {
  return `${ORIGIN}/${wire.wallpaperRoute}/${revision}.png`;
}
