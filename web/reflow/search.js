// The search hits of the pane's query in the reflowed text, and the
// cut-outs of pages not shown yet that hold the query, told to the native
// side so that its count leaves out the hits inside images.

import { findAll } from "./compare.js";
import { wrapRange, unwrapAll } from "./study.js";
import { HAPPENINGS } from "./events.js";

// Search hits are drawn for the query that stood still for the pane's own
// debounce; a newer query stops the pass of an older one, and an empty one
// takes every hit away at once.
const SEARCH_DELAY_MS = 200;

// Pages not shown yet that hold the query are laid out apart, one a task,
// and their cut-outs told, so that the pane's count leaves out the hits
// inside images before the reader gets there. A long paper's are told as
// the reader reaches them.
const SURVEYED_PAGES = 150;

// `flow` is the text; `events` tells of text set in it, whose hits are
// drawn; `times` takes how long the first hit took. Of the pages:
// `sections()`, each page's place in the flow; `laid(page)`, a page laid out;
// `paper()`, the paper once read; `onScreen()`, the first and last page on
// screen; `shownAsImage(block)`. Of the cut-outs told to the native side:
// `told(page)`, whether a page's were; `graphicsOf(page)`, what a page's
// layout needs of its drawing; `tellCutouts(laid)`.
export function createSearch({ flow, events, times, sections, laid, paper, onScreen, shownAsImage, told, graphicsOf, tellCutouts }) {
  let query = ""; // the pane's query
  let shownQuery = ""; // the query whose hits are drawn, trimmed
  let timer = 0; // until the query stood still
  let generation = 0; // of the latest pass; an older one stops
  let queryAt = 0; // when the query came

  // The pane's query, when given as text; another redraws the hits.
  function setQuery(given) {
    if (typeof given !== "string" || given === query) return;
    query = given;
    clearTimeout(timer);
    generation++;
    queryAt = performance.now();
    if (!query.trim()) runSearch();
    else timer = setTimeout(runSearch, SEARCH_DELAY_MS);
  }

  // The hits of a query not drawn yet are drawn at once, `page`'s first.
  function showNow(page) {
    if (!query.trim() || shownQuery === query.trim()) return;
    clearTimeout(timer);
    runSearch(page);
  }

  // `page`, when given, is drawn first, before the pass gives way.
  async function runSearch(page) {
    const pass = ++generation;
    shownQuery = query.trim();
    unwrapAll(flow, "mark.hit");
    if (!shownQuery || !sections().length) return;
    for (const i of passPages(page, onScreen(), sections())) {
      if (pass !== generation) return;
      drawHits(i);
      if (times.searchFirstHit === undefined && flow.querySelector("mark.hit")) {
        times.searchFirstHit = performance.now() - queryAt;
      }
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
    await surveyCutouts(shownQuery, () => pass === generation, { paper, told, graphicsOf, tellCutouts });
  }

  function drawHits(page) {
    const section = sections()[page];
    for (const el of section ? section.querySelectorAll(".part") : []) drawHitsIn(el, shownQuery);
  }

  // Text set in the flow shows the hits of the query drawn.
  events.on(HAPPENINGS.textSet, ({ page, parts }) => {
    if (parts) for (const el of parts) drawHitsIn(el, shownQuery);
    else drawHits(page);
  });

  return {
    setQuery, query: () => query, showNow,
    nthHit: (page, n) => nthHitOn(laid(page), query.trim(), n, { flow, shownAsImage }),
  };
}

// The pages a pass draws the hits of, in order: `page` when given, the pages
// on screen (`first`...`last`), then the others that are shown.
function passPages(page, [first, last], sections) {
  const pages = page === undefined ? [] : [page];
  for (let i = first; i <= last; i++) if (i !== page) pages.push(i);
  for (const section of sections) {
    const i = Number(section.dataset.page);
    if ((i < first || i > last) && i !== page && !section.classList.contains("placeholder")) pages.push(i);
  }
  return pages;
}

// The hits of `query` in a part. A hit that runs across a link, a mark or
// a kept glyph is drawn in pieces, each numbered with its hit in the part.
function drawHitsIn(el, query) {
  unwrapAll(el, "mark.hit");
  if (!query) return;
  findAll(el.textContent, query).forEach(([s, e], n) => {
    wrapRange(el, s, e, () => {
      const m = document.createElement("mark");
      m.className = "hit";
      m.dataset.hit = String(n);
      return m;
    });
  });
}

// The n-th occurrence of `wanted` on a laid-out page (`shown`), in its
// blocks' order: { marks } (its pieces) for one drawn in text, { figure }
// for one inside a block shown as a cut-out, or null past the last.
function nthHitOn(shown, wanted, n, { flow, shownAsImage }) {
  if (!shown || !wanted) return null;
  for (const block of shown.blocks) {
    const count = block.text ? findAll(block.text, wanted).length : 0;
    if (n >= count) {
      n -= count;
      continue;
    }
    if (shownAsImage(block)) return { figure: flow.querySelector(`figure[data-key="${block.key}"]`) };
    const part = flow.querySelector(`.part[data-key="${block.key}"]`);
    const marks = part ? [...part.querySelectorAll("mark.hit")] : [];
    if (!marks.length) return null;
    const hit = String(Math.min(n, Number(marks[marks.length - 1].dataset.hit)));
    return { marks: marks.filter((m) => m.dataset.hit === hit) };
  }
  return null;
}

// Tells the cut-outs of the pages not told yet that hold `wanted`, while
// `current()` (the pass is still the latest).
async function surveyCutouts(wanted, current, { paper, told, graphicsOf, tellCutouts }) {
  if (!wanted || !paper() || paper().pageCount > SURVEYED_PAGES) return;
  for (let i = 0; i < paper().pageCount; i++) {
    if (!current()) return;
    if (told(i)) continue;
    const text = paper().text(i);
    if (!findAll(text.lines.map((l) => l.text).join(" "), wanted).length) continue;
    const graphics = await graphicsOf(i);
    if (!current()) return;
    if (!told(i)) tellCutouts(paper().survey(i, graphics));
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
}
