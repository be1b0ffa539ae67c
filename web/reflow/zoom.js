// An enlarged cut-out: a formula, table, figure or a glyph kept as it looks,
// opened over the text from the page's detail raster, moved and zoomed by
// pointer, wheel, pinch and double click.

import { EVENTS, KEYS, pageImageUrl } from "./service.js";
import { zoomAbout } from "./figures.js";
import { shownRegion } from "./place.js";
import { button } from "./controls.js";

// `bridge` takes "原页"; `flow` is the text, whose cut-outs open on a click;
// `token()`, `paper()` and `block(key)` are the paper's as the page has it
// (no paper until it is read); `fontSize()` is the text's size and
// `bodyOf()` the paper's body size, which the enlarged view is at least
// twice of.
export function createZoom({ bridge, flow, token, paper, block, fontSize, bodyOf }) {
  const zoom = { open: false, view: { scale: 1, x: 0, y: 0 } };
  const zoomLayer = document.createElement("div");
  zoomLayer.id = "zoom";
  zoomLayer.hidden = true;
  const zoomImage = document.createElement("img");
  zoomImage.alt = "";
  zoomImage.draggable = false;
  const zoomTools = document.createElement("div");
  zoomTools.className = "zoom-tools";
  zoomLayer.append(zoomImage, zoomTools);
  document.body.appendChild(zoomLayer);

  // Opens a cut-out (a region of a page) enlarged, drawn anew at its finest.
  // `region` is on the page as read; the image shows the page as displayed.
  function openZoom(page, readAt) {
    const text = paper() ? paper().text(page) : { width: 612, height: 792 };
    const turn = text.turn || 0;
    const region = shownRegion(readAt, turn);
    zoom.open = true;
    zoom.page = page;
    zoom.region = region;
    zoomLayer.hidden = false;
    zoomTools.textContent = "";
    zoomTools.append(
      button("原页", "在原版中查看这一处", () => {
        closeZoom();
        bridge.post(EVENTS.original, { [KEYS.page]: page, [KEYS.point]: { x: region[0], y: region[1] } });
      }),
      button("关闭", "关闭（Esc）", () => closeZoom()));
    // Fitted into the view, at least twice its size in the text.
    const w = region[2] * (turn % 2 ? text.height : text.width), h = region[3] * (turn % 2 ? text.width : text.height);
    const fit = Math.min(innerWidth * 0.92 / w, innerHeight * 0.84 / h, 3 * fontSize() / bodyOf());
    zoomImage.style.width = Math.round(w * fit) + "px";
    zoomImage.style.height = Math.round(h * fit) + "px";
    zoom.view = { scale: 1, x: (innerWidth - w * fit) / 2, y: (innerHeight - h * fit) / 2 };
    zoomImage.src = pageImageUrl(token(), page, region, true);
    placeZoom();
  }

  function zoomOpen() {
    return zoom.open;
  }

  function closeZoom() {
    zoom.open = false;
    zoomLayer.hidden = true;
    zoomImage.removeAttribute("src");
  }

  function zoomBy(factor, x, y) {
    zoom.view = zoomAbout(zoom.view, factor, Number.isFinite(x) ? x : innerWidth / 2, Number.isFinite(y) ? y : innerHeight / 2);
    placeZoom();
  }

  function placeZoom() {
    const v = zoom.view;
    zoomImage.style.transform = `translate(${v.x}px, ${v.y}px) scale(${v.scale})`;
  }

  zoomLayer.addEventListener("click", (event) => {
    if (event.target === zoomLayer) closeZoom();
  });
  panAndZoom(zoomLayer, zoomImage, {
    view: () => zoom.view,
    set: (view) => { zoom.view = view; placeZoom(); },
    zoomBy,
  });

  // A click on a formula, table, figure or a glyph kept as it looks opens it.
  flow.addEventListener("click", (event) => {
    const glyph = event.target.closest(".glyph");
    const fig = !glyph && event.target.closest("figure.cutout");
    if (glyph) {
      const part = glyph.closest(".part");
      const shown = part && block(part.dataset.key);
      const g = shown && shown.glyphs.find((x) => x.start === Number(glyph.dataset.start));
      if (g) openZoom(shown.page, g.region);
    } else if (fig && event.target.tagName === "IMG") {
      const shown = block(fig.dataset.key);
      if (shown) openZoom(shown.page, shown.region);
    }
  });

  addEventListener("keydown", (event) => {
    if (event.key === "Escape" && zoom.open) {
      closeZoom();
      event.preventDefault();
    }
  });

  return { isOpen: zoomOpen, zoomBy };
}

// An image moved and zoomed by hand inside `surface`: a wheel moves it (with
// Ctrl, a touchpad's pinch, zooms it), a drag moves it, a double click zooms
// it in, or back. `view()` is where it stands ({ scale, x, y }), `set(view)`
// puts it there, `zoomBy(factor, x, y)` zooms it about a point of the window.
export function panAndZoom(surface, image, { view, set, zoomBy }) {
  surface.addEventListener("wheel", (event) => {
    event.preventDefault();
    if (event.ctrlKey) zoomBy(Math.exp(-event.deltaY / 200), event.clientX, event.clientY);
    else set({ ...view(), x: view().x - event.deltaX, y: view().y - event.deltaY });
  }, { passive: false });
  image.addEventListener("pointerdown", (event) => {
    const start = { x: event.clientX, y: event.clientY, view: view() };
    image.setPointerCapture(event.pointerId);
    const move = (e) => set({ ...start.view, x: start.view.x + e.clientX - start.x, y: start.view.y + e.clientY - start.y });
    const up = () => {
      image.removeEventListener("pointermove", move);
      image.removeEventListener("pointerup", up);
    };
    image.addEventListener("pointermove", move);
    image.addEventListener("pointerup", up);
  });
  image.addEventListener("dblclick", (event) => zoomBy(view().scale >= 2 ? 1 / view().scale : 2, event.clientX, event.clientY));
}
