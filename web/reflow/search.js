// The search hits of the pane's query in the reflowed text, and the
// cut-outs of pages not shown yet that hold the query, told to the native
// side so that its count leaves out the hits inside images.

import { fetchGeometry } from "./engine.js";
import { findAll } from "./compare.js";
import { wrapRange, unwrapAll } from "./study.js";

// `shared` holds what the page's parts share (reader.js makes it).
export function createSearch(shared) {
  const { reader, flow } = shared;

  // Search hits are drawn for the query that stood still for the pane's own
  // debounce; a newer query stops the pass of an older one, and an empty one
  // takes every hit away at once.
  const SEARCH_DELAY_MS = 200;

  function scheduleSearch() {
    clearTimeout(reader.searchTimer);
    reader.searchGeneration = (reader.searchGeneration || 0) + 1;
    reader.queryAt = performance.now();
    if (!reader.settings.query.trim()) runSearch();
    else reader.searchTimer = setTimeout(runSearch, SEARCH_DELAY_MS);
  }

  // `page`, when given, is drawn first, before the pass gives way.
  async function runSearch(page) {
    const generation = ++reader.searchGeneration;
    reader.shownQuery = reader.settings.query.trim();
    unwrapAll(flow, "mark.hit");
    if (!reader.shownQuery || !reader.sections.length) return;
    // The pages on screen first, then the others that are shown.
    const [first, last] = shared.pagesOnScreen();
    const pages = page === undefined ? [] : [page];
    for (let i = first; i <= last; i++) if (i !== page) pages.push(i);
    for (const section of reader.sections) {
      const i = Number(section.dataset.page);
      if ((i < first || i > last) && i !== page && !section.classList.contains("placeholder")) pages.push(i);
    }
    for (const page of pages) {
      if (generation !== reader.searchGeneration) return;
      drawHits(page);
      if (reader.times.searchFirstHit === undefined && flow.querySelector("mark.hit")) {
        reader.times.searchFirstHit = performance.now() - reader.queryAt;
      }
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
    await surveyCutouts(generation);
  }

  function drawHits(page) {
    const parts = page === undefined ? flow.querySelectorAll(".part") : reader.sections[page] ? reader.sections[page].querySelectorAll(".part") : [];
    for (const el of parts) drawHitsIn(el);
  }

  function drawHitsIn(el) {
    unwrapAll(el, "mark.hit");
    const query = reader.shownQuery;
    if (!query) return;
    for (const [s, e] of findAll(el.textContent, query)) {
      wrapRange(el, s, e, () => {
        const m = document.createElement("mark");
        m.className = "hit";
        return m;
      });
    }
  }


  // The n-th occurrence of the query on a laid-out page, in its blocks'
  // order: { mark } for one drawn in text, { figure } for one inside a block
  // shown as a cut-out, or null past the last.
  function nthHit(page, n) {
    const laid = reader.laid[page];
    const query = reader.settings.query.trim();
    if (!laid || !query) return null;
    for (const block of laid.blocks) {
      const count = block.text ? findAll(block.text, query).length : 0;
      if (n >= count) {
        n -= count;
        continue;
      }
      if (shared.shownAsImage(block)) return { figure: flow.querySelector(`figure[data-key="${block.key}"]`) };
      const part = flow.querySelector(`.part[data-key="${block.key}"]`);
      const marks = part ? [...part.querySelectorAll("mark.hit")] : [];
      return marks.length ? { mark: marks[Math.min(n, marks.length - 1)] } : null;
    }
    return null;
  }

  // Pages not shown yet that hold the query are laid out apart, one a task,
  // and their cut-outs told, so that the pane's count leaves out the hits
  // inside images before the reader gets there. A long paper's are told as
  // the reader reaches them.
  const SURVEYED_PAGES = 150;

  async function surveyCutouts(generation) {
    const query = reader.shownQuery;
    if (!query || !reader.paper || reader.pageCount > SURVEYED_PAGES) return;
    for (let i = 0; i < reader.pageCount; i++) {
      if (generation !== reader.searchGeneration) return;
      if (reader.told.has(i)) continue;
      const text = reader.paper.text(i);
      if (!findAll(text.lines.map((l) => l.text).join(" "), query).length) continue;
      const geometry = reader.token ? await fetchGeometry(reader.token, i) : null;
      if (generation !== reader.searchGeneration) return;
      if (!reader.told.has(i)) shared.tellCutouts(reader.paper.survey(i, geometry && Array.isArray(geometry.graphics) ? geometry.graphics : []));
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
  }

  return { scheduleSearch, runSearch, drawHits, drawHitsIn, nthHit };
}
