// One page's text as the layout reads it: lines with their boxes, fonts and
// character positions, plus the page's pictures and drawn shapes. Coordinates
// are points on the page as displayed, origin top-left, y downwards.

const MATH_FONT = /^(CM(MI|SY|EX|BSY)|MSAM|MSBM|EUFM|EUSM|RSFS|STIX.*Math|.*Math|txmi|txsy|txex|LibertineMath|rtxmi|NewCM.*Math|esint|wasy)/i;

function fontInfo(cache, font) {
  const key = font.pointer;
  let info = cache.get(key);
  if (!info) {
    const raw = font.getName() || "";
    const name = raw.replace(/^[A-Z]{6}\+/, "");
    info = {
      name,
      bold: font.isBold() || /bold|black|heavy|semibold|\.B$|-B$|TB$|CMBX/i.test(name),
      italic: font.isItalic() || /italic|oblique|CMTI|CMMI|\.I$|-I$|TI$/i.test(name),
      mono: font.isMono() || /mono|courier|CMTT|txtt|inconsolata|consol|menlo|sourcecode|zi4|lmtt/i.test(name),
      math: MATH_FONT.test(name),
      extension: /^(CMEX|txex|pxex|esint)|Extension/i.test(name),
    };
    cache.set(key, info);
  }
  return info;
}

// Reads a page of the parser's document. `page` is a loaded page.
export function extractPage(page, index) {
  const bounds = page.getBounds();
  const ox = bounds[0], oy = bounds[1];
  const width = bounds[2] - bounds[0], height = bounds[3] - bounds[1];
  const stext = page.toStructuredText("preserve-whitespace,preserve-images,vectors");
  const fonts = new Map();
  const lines = [];
  const pictures = [];
  const shapes = [];
  let line = null;
  let runs = [];

  const round = (v) => Math.round(v * 100) / 100;
  stext.walk({
    beginLine(bbox, wmode) {
      line = { text: "", x: round(bbox[0] - ox), y: round(bbox[1] - oy),
        w: round(bbox[2] - bbox[0]), h: round(bbox[3] - bbox[1]),
        base: 0, size: 0, font: "", bold: false, italic: false, mono: false, math: 0,
        vertical: wmode === 1, cx: [] };
      runs = [];
    },
    onChar(c, origin, font, size, quad) {
      if (!line) return;
      const info = fontInfo(fonts, font);
      const x0 = (quad[0] < quad[4] ? quad[0] : quad[4]) - ox;
      const x1 = (quad[2] > quad[6] ? quad[2] : quad[6]) - ox;
      // A character above U+FFFF is two UTF-16 units; each unit carries the
      // character's box, so that offsets into the text find it either way.
      if (c === "\uFFFD") {
        // A glyph the font maps to no character: its height too, so that it
        // can be shown as it looks.
        const y0 = Math.min(quad[1], quad[3], quad[5], quad[7]) - oy;
        const y1 = Math.max(quad[1], quad[3], quad[5], quad[7]) - oy;
        (line.gy || (line.gy = {}))[line.text.length] = [round(y0), round(y1)];
      }
      line.text += c;
      for (let k = 0; k < c.length; k++) line.cx.push(round(x0), round(x1));
      const code = c.charCodeAt(0);
      if (code === 32 || code === 9 || code === 10 || code === 160 || code === 0x3000) return;
      if (info.math) line.math++;
      const last = runs[runs.length - 1];
      // Pieces of large delimiters hang from the top of their line: their
      // origin is no baseline.
      const extension = info.extension || code === 0xFFFD;
      if (last && last.info === info && last.size === size && last.extension === extension) last.n++;
      else runs.push({ info, size, n: 1, base: origin[1] - oy, extension });
    },
    endLine() {
      if (!line) return;
      // The line takes the font and size that most of its characters have.
      // Its baseline is that of its most common text font: pieces of large
      // delimiters and glyphs without a character do not count when there is
      // anything else.
      const tally = new Map();
      let best = null;
      const counted = runs.some((run) => !run.extension) ? runs.filter((run) => !run.extension) : runs;
      for (const run of counted) {
        const key = run.info.name + "|" + run.size;
        const entry = tally.get(key) || { ...run, n: 0 };
        entry.n += run.n;
        tally.set(key, entry);
        if (!best || entry.n > best.n) best = entry;
      }
      if (best && line.text.trim()) {
        line.size = round(best.size);
        line.font = best.info.name;
        line.bold = best.info.bold;
        line.italic = best.info.italic;
        line.mono = best.info.mono;
        line.base = round(best.base);
        lines.push(line);
      }
      line = null;
    },
    onImageBlock(bbox) {
      pictures.push(rect(bbox, ox, oy));
    },
    onVector(bbox, flags) {
      shapes.push(Object.assign(rect(bbox, ox, oy), { stroked: flags.isStroked }));
    },
  });
  stext.destroy?.();

  const links = [];
  for (const link of page.getLinks()) {
    const b = link.getBounds();
    const uri = link.getURI();
    links.push({ ...rect(b, ox, oy), uri, external: link.isExternal() });
  }
  return { page: index, width: round(width), height: round(height), lines, pictures, shapes, links };
}

function rect(b, ox, oy) {
  return { x: Math.round((b[0] - ox) * 100) / 100, y: Math.round((b[1] - oy) * 100) / 100,
    w: Math.round((b[2] - b[0]) * 100) / 100, h: Math.round((b[3] - b[1]) * 100) / 100 };
}
