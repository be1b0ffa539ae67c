// What the reflow page's parts tell each other, through the one event target
// they are all given. A part tells what happened (the typography changed, a
// page was set in the flow, the view moved) without knowing who listens; a
// part that cares listens. Listeners run at once, in the order they were
// added, before `tell` returns. Only the names below are known: a misspelt
// name throws rather than go unheard.

export const HAPPENINGS = Object.freeze({
  // The typography changed (controls.js), before the text that stood at the
  // top of the view is put back there: { values }.
  typography: "typography",
  // Text was set in the flow (reader.js): a page laid out, { page }, or the
  // parts of a page that a page let go of had carried, set in their own
  // page again, { page, parts }.
  textSet: "text-set",
  // The view moved, once a frame while it does (position.js): { place }.
  moved: "moved",
  // Other pages are on screen (position.js): { pages }.
  pagesShown: "pages-shown",
});

const KNOWN = new Set(Object.values(HAPPENINGS));

function known(name) {
  if (!KNOWN.has(name)) throw new Error(`the reflow page has no event "${name}"`);
  return name;
}

class Happening extends Event {
  constructor(name, detail) {
    super(name);
    this.detail = detail;
  }
}

export class PageEvents extends EventTarget {
  tell(name, detail = {}) {
    this.dispatchEvent(new Happening(known(name), detail));
  }

  on(name, listener) {
    this.addEventListener(known(name), (event) => listener(event.detail));
  }
}
