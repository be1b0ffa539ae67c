// Page furniture on made-up pages set as the parser gives real ones: running
// heads and feet told by their place on the pages around, margin line
// numbers, and numbered lines of code that keep their numbers.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 9, base: y + 7, size: 10, font: "Serif", math: 0, ...extra };
}
const page = (n, lines) => ({ page: n, width: 612, height: 842, lines, pictures: [], shapes: [] });
const texts = (pages) => pages.flatMap((p) => p.blocks.map((b) => `${p.page}:${b.kind}:${b.text}`));
// Words that differ from page to page and line to line.
const word = (n) => ["alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta", "iota"][n % 9];
const body = (y, n) => Array.from({ length: 6 }, (_, i) =>
  line(`Body text of the ${word(n)} page goes on in its ${word(i + 3 * n)} line with the words a paper says.`, 72, y + 12 * i, 460));

test("a long listing's guard lines at the same heights page after page stay text; its running head goes", () => {
  const pages = [0, 1, 2, 3, 4].map((n) => page(n, [line(`File r: ltfiles.dtx Date: 2022/05/27 Version v1.2r`, 72, 47, 200),
    ...[0, 1, 2].map((i) => line(`${181 + 40 * n + i} ⟨latexrelease⟩`, 146.7, 105 + 11 * i, 60, { size: 8.97 })), ...body(200, n)]));
  const all = texts(layoutDocument(pages));
  const guards = all.filter((t) => /⟨/.test(t));
  assert.ok(guards.length === 5 && !all.some((t) => /File r:/.test(t)), all.join("\n"));
  assert.ok(guards.every((t) => /^\d:paragraph:\d+ ⟨latexrelease⟩\n\d+ ⟨latexrelease⟩\n\d+ ⟨latexrelease⟩$/.test(t)), guards.join("\n"));
});

test("running heads and feet stay out wherever they stand, the title page's too; a title like a foot stays", () => {
  const pages = [0, 1, 2, 3, 4].map((n) => {
    const odd = n % 2 === 0;
    const lines = [
      // The head: journal and volume on one side, a draft stamp and the
      // page number on the other, the two swapping from page to page.
      line("Journal of Examples, Volume 0 (9999), No. 0", odd ? 72 : 388, 47, 150),
      line("draft: January 16, 2023 13:05", odd ? 394 : 97, 48, 118, { size: 9 }),
      line(String(901 + n), odd ? 523 : 72, 47, 15),
      ...body(n === 0 ? 140 : 90, n),
      // The foot, above the bottom band: a file stamp and the page number.
      line("File B: fontdef.dtx Date: 2021/09/12 Version v3.5a", 72, 720, 170),
      line(String(574 + n), 513, 720, 15),
    ];
    // The title on the first page; the same words as a small head over
    // the other pages and as their foot.
    if (n === 0) lines.push(line("The Examples Macros", 150, 90, 200, { size: 16, h: 14, bold: true }));
    else lines.push(line("The Examples Macros", 400, 742, 137), line("The Examples Macros", 250, 30, 60, { size: 7, h: 6 }));
    // The first line of text, over the body, has a piece of maths that
    // the pages around have at the same place.
    if (n > 0) {
      lines.push(line(`and since both ${word(n)} sides are zero`, 72, 72, 160), line("|Du|", 232, 72, 18, { math: 2 }),
        line(`-almost everywhere on the ${word(n + 1)} set.`, 250, 72, 150));
    }
    return page(n, lines);
  });
  const all = texts(layoutDocument(pages));
  assert.ok(!all.some((t) => /Journal of Examples|draft:|File B|:\d+$/.test(t)), all.join("\n"));
  assert.deepEqual(all.filter((t) => /Examples Macros/.test(t)), ["0:heading:The Examples Macros"], all.join("\n"));
  assert.equal(all.filter((t) => /Body text/.test(t)).length, 5, all.join("\n"));
  for (const n of [1, 2, 3, 4]) assert.ok(all.some((t) => new RegExp(`^${n}:paragraph:and since both \\w+ sides are zero ?\\|Du\\| ?-almost`).test(t)), all.join("\n"));
});

test("numbered lines of code keep their numbers, also at the foot of the page over the furniture", () => {
  // The number in small type, the code set in by its indentation; every
  // character of the code one advance wide.
  const code = (n, y, text, indent = 0) => {
    const x = 168.7 + indent;
    const cx = [...text].flatMap((_, i) => [x + 5 * i, x + 5 * i + 4.7]);
    return [line(String(n), 146.7, y + 2, 7.9, { size: 5, h: 4.4, base: y + 5.4, cx: [146.7, 149.3, 149.3, 151.9, 151.9, 154.6] }),
      line(text, x, y, 5 * text.length, { size: 9, h: 7.4, mono: true, base: y + 5.4, cx })];
  };
  const pages = [0, 1, 2].map((n) => page(n, [
    line(`The robust versions of the ${word(n)} commands follow, one to a line.`, 144, 100, 280),
    ...code(456 + 20 * n, 120, `\\cong{\\mathrel{\\mathpalette\\@${word(n)}\\sim}}`),
    ...code(457 + 20 * n, 131, `\\ialign{$\\m@th#1\\hfil##\\${word(n)}$\\crcr}`, 10),
    ...code(458 + 20 * n, 142, `\\notin{\\mathrel{\\m@th\\${word(n)}}}`),
    // A line of code set in far, half the text's width from its number,
    // and one no longer than its number.
    ...code(459 + 20 * n, 153, `{\\tc@check@symbol2\\${word(n)}}`, 110),
    ...code(460 + 20 * n, 164, "\\fi", 10),
    // The last line of code stands where a number stands on the pages
    // around it: a line's number still.
    ...code(473 + 20 * n, 666.8, `% has the same height as ${word(n)}`, 136),
    line("File B: fontdef.dtx Date: ? Version ?", 144.7, 719.6, 170),
    line(String(574 + n), 513.4, 719.6, 15),
  ]));
  const laid = layoutDocument(pages);
  const listings = laid[1].blocks.filter((b) => b.lines[0].mono);
  assert.equal(listings.length, 2, texts(laid).join("\n"));
  assert.deepEqual(listings[0].text.split("\n").map((l) => l.replace(/\s+/g, " ")),
    ["476 \\cong{\\mathrel{\\mathpalette\\@beta\\sim}}", "477 \\ialign{$\\m@th#1\\hfil##\\beta$\\crcr}", "478 \\notin{\\mathrel{\\m@th\\beta}}",
      "479 {\\tc@check@symbol2\\beta}", "480 \\fi"]);
  assert.equal(listings[1].text.replace(/\s+/g, " "), "493 % has the same height as beta", texts(laid).join("\n"));
  assert.ok(!texts(laid).some((t) => /File B|:\d+$/.test(t)), texts(laid).join("\n"));
});

test("the line numbers in the margin of a review copy are no text; page numbers in the contents and a table's row are", () => {
  const lines = [];
  for (let i = 0; i < 30; i++) lines.push(line(String(i + 1), 97.9, 123 + 13.95 * i, i < 9 ? 4.2 : 8.5, { size: 8 }));
  for (let i = 0; i < 12; i++) lines.push(line(`The sum of the weights vivj ${i} goes to each vertex of the graph in turn, as before.`, 118.8, 126 + 14.5 * i, 370));
  lines.push(line("Contents", 118.8, 330, 60, { size: 14, h: 12, bold: true }));
  for (const [i, [title, n]] of [["Introduction", 2], ["Methods", 4], ["Results", 5], ["Proofs", 7], ["Remarks", 11]].entries()) {
    lines.push(line(title, 118.8, 360 + 14 * i, 60), line(String(n), 480, 360 + 14 * i, 6));
  }
  // The last row of a table low on the page: numbers, but no page's.
  lines.push(...["100", "200", "300.0", "400"].map((t, i) => line(t, 118.8 + 80 * i, 760, 14)));
  const [laid] = layoutDocument([page(0, lines)]);
  const all = laid.blocks.map((b) => b.text);
  assert.equal(all.join(" ").match(/100.*200.*300\.0.*400/g).length, 1, all.join("\n"));
  assert.ok(!all.some((t) => /^([1-9]|[12]\d|30)$/.test(t) || /\b(2[0-9]|1[0-9]) to each|vivj \d+ \d+/.test(t)), all.join("\n"));
  assert.match(all.join(" "), /vivj 0 goes to each vertex/);
  assert.deepEqual(all.filter((t) => /^(Introduction|Methods|Results|Proofs|Remarks)/.test(t)),
    ["Introduction 2", "Methods 4", "Results 5", "Proofs 7", "Remarks 11"], all.join("\n"));
});

test("pages that are all alike keep their text; a page with only its head and number has none", () => {
  const alike = [0, 1, 2].map((n) => page(n, [line("The first line of every page", 72, 60, 200),
    line("The second line of every page", 72, 74, 200), line("The third line of every page", 72, 88, 200)]));
  assert.equal(texts(layoutDocument(alike)).filter((t) => /line of every page/.test(t)).length, 3);
  const blank = [0, 1, 2].map((n) => page(n, n === 1 ? [line("Journal of Examples", 72, 47, 150), line(String(n + 1), 523, 47, 10)]
    : [line("Journal of Examples", 72, 47, 150), line(String(n + 1), 523, 47, 10), ...body(90, n)]));
  assert.deepEqual(texts(layoutDocument(blank)).filter((t) => t.startsWith("1:")), []);
});

test("a landscape page among portrait ones loses the feet set along its side", () => {
  // Pages 0, 1, 3 and 4 upright, their foot at the bottom; page 2 has a
  // rotation of its own and is read as displayed, landscape, its foot
  // running up the left edge where the rotation put the bottom.
  const foot = "Journal of Examples 000, 1–10 (2020)";
  const pages = [0, 1, 2, 3, 4].map((n) => n !== 2 ? page(n, [...body(90, n), line(foot, n % 2 ? 72 : 380, 798, 160)])
    : { page: 2, width: 842, height: 612, turn: 0, rotate: 1, pictures: [], shapes: [],
      lines: [line(foot, 34, 72, 10, { h: 160 }),
        ...Array.from({ length: 6 }, (_, i) => line(`The wide table's ${word(i)} row stands across the turned page.`, 100, 100 + 12 * i, 600))] });
  const all = texts(layoutDocument(pages));
  assert.ok(!all.some((t) => t.includes("Journal of Examples")), all.join("\n"));
  assert.ok(all.some((t) => /wide table/.test(t)), all.join("\n"));
});

test("heads set in pieces, and a title page's first row that the other pages set as their foot, go; a title like the foot stays", () => {
  // A journal's pages: the page number, a bullet and the authors apart on
  // the left pages, the title, a bullet and the number on the right ones;
  // the journal's line and the title at the foot. The title page sets the
  // journal's line in its first row, beside the date and the class, and
  // its title under them in the type of the foot.
  const foot = "Journal of Examples 000, 1–10 (2020)";
  const pages = [0, 1, 2, 3, 4, 5].map((n) => {
    if (n === 0) {
      return page(0, [line(foot, 42, 31, 85, { size: 8 }), line("Preprint 27 June 2020", 282, 31, 70, { size: 8 }),
        line("Compiled using the examples class v3.0", 402, 31, 146, { size: 8 }),
        line("The Examples Macros", 72, 80, 160), ...body(140, n)]);
    }
    const head = n % 2
      ? [line(`111:${n + 1}`, 52, 56, 15, { size: 7 }), line("•", 73, 56, 2.5, { size: 7 }), line("Author et al.", 83, 56, 38, { size: 7 })]
      : [line("The Examples Macros", 443, 56, 86, { size: 7 }), line("•", 536, 56, 2.5, { size: 7 }), line(`111:${n + 1}`, 546, 56, 15, { size: 7 })];
    return page(n, [...head, ...body(90, n), line("The Examples Macros", 380, 780, 160), line(foot, 72, 798, 160, { size: 8 })]);
  });
  const all = texts(layoutDocument(pages));
  assert.ok(!all.some((t) => /111:|•|Author et al|Journal of Examples|Preprint|Compiled using/.test(t)), all.join("\n"));
  assert.deepEqual(all.filter((t) => /Examples Macros/.test(t)), ["0:paragraph:The Examples Macros"], all.join("\n"));
  assert.equal(all.filter((t) => /Body text/.test(t)).length, 6, all.join("\n"));
});

test("a page number far from a head or a stamp of the page's own goes with it; a contents entry's number and a caption's label stay", () => {
  // Each file's pages carry its stamp at the foot and the page number at
  // the right; page 3 is a file of one page. The last page's head is its
  // own ("REFERENCES"), far from its number. Page 1 is the contents, its
  // first entry in the first row, its number far from its title.
  const file = (n) => (n < 3 ? 0 : n === 3 ? 1 : 2);
  const pages = [0, 1, 2, 3, 4, 5].map((n) => page(n, [
    line(n === 5 ? "REFERENCES" : "Sample paper for the examples package", 134, 56, n === 5 ? 69 : 169), line(String(27 + n), 468, 56, 10),
    ...body(120, n), line(`File ${"pqr"[file(n)]}: lt${word(file(n))}.dtx Date: 2022/11/28 Version v1.3o`, 145, 720, 231),
    line(String(340 + n), 513, 720, 15)]));
  pages[1].lines.splice(0, 8, line("q", 145, 90, 7), line("ltlogos.dtx", 165, 90, 62), line("292", 508, 90, 20),
    line("r", 145, 104, 7), line("ltfiles.dtx", 165, 104, 62), line("343", 508, 104, 20));
  const all = texts(layoutDocument(pages));
  assert.ok(!all.some((t) => /File [pqr]:|:3[34]\d$|REFERENCES|Sample paper|:(2[7-9]|3[0-2])$/.test(t)), all.join("\n"));
  assert.match(all.filter((t) => t.startsWith("1:")).join(" "), /ltlogos\.dtx.*292/, all.join("\n"));
  // Pages with their heads at the foot: tables at the top of pages 1 and
  // 3 under their captions, whose labels stand apart from their words.
  const tables = [0, 1, 2, 3].map((n) => page(n, [...body(120, n), line("Transactions of the Examples", 440, 757, 120),
    ...(n % 2 ? [line(`Table ${n}`, 386, 46, 28, { size: 8 }), line(`A ${word(n)} table`, 423, 46, 55, { size: 8 })] : [])]));
  const captions = texts(layoutDocument(tables)).filter((t) => /table/i.test(t));
  assert.deepEqual(captions, ["1:caption:Table 1 A beta table", "3:caption:Table 3 A delta table"], captions.join("\n"));
});

test("a title page's head and foot in words of their own go where the pages around set theirs; its first text stays", () => {
  // The title page: the journal over the title, the preprint's note and date under the text, in
  // small type; the other pages: a head with the page number, a number at the foot.
  const small = { size: 8, h: 7.1 };
  const pages = [0, 1, 2, 3, 4].map((n) => page(n, n === 0 ? [line("Annals of Examples 160 (2008), 17–46", 226, 94.6, 156, small),
    line("https://doi.org/10.4007/examples.2008.160.1.12", 220.7, 103.8, 166.8, small),
    line("A Sample Paper for the Examples Class", 158, 146, 292, { size: 17, h: 15.8, bold: true }), ...body(200, n),
    line("Preprint submitted to Examples", 64.5, 743.4, 96, small), line("June 8, 2018", 490, 743.4, 41, small),
  ] : [line(String(17 + n), n % 2 ? 118.8 : 480, 96.3 + n, 9.2, { size: 9, h: 8 }),
    line(n % 2 ? "AUTHORS OF THE SAMPLE" : "SAMPLE PAPER", 243, 97 + n, 123, small), ...body(120, n), line(String(17 + n), 295, 742, 10)]));
  const all = texts(layoutDocument(pages));
  assert.ok(!all.some((t) => /Annals|doi\.org|Preprint|June 8|SAMPLE|:1[7-9]$|:2[01]$/.test(t)), all.join("\n"));
  assert.deepEqual(all.slice(0, 2), ["0:heading:A Sample Paper for the Examples Class",
    `0:paragraph:${pages[0].lines.slice(3, 9).map((l) => l.text).join(" ")}`]);
  // The class's stamp beside the kind of paper that every page names in its head goes with it.
  const kind = [0, 1, 2].map((n) => page(n, [line(n ? "J. Examples Soc." : "Typeset with examples.cls <ver.1.2>", 77, 60, n ? 79 : 149),
    line("Full Paper", n ? 459 : 453, 60, 60), ...body(100, n)]));
  assert.ok(!texts(layoutDocument(kind)).some((t) => /Typeset|Full Paper|J\. Examples/.test(t)));
  // The first page's opening line apart from its text, where the others open with a heading: text.
  const plain = [0, 1, 2].map((n) => page(n, [n === 0 ? line("A note on the examples, first draft", 72, 60, 180)
    : line(`${n + 1}. Section ${word(n)}`, 72, 60, 120, { size: 12, h: 11, bold: true }), ...body(90, n)]));
  assert.match(texts(layoutDocument(plain))[0], /^0:\w+:A note on the examples, first draft/);
});

test("a title page's number set above the feet's band goes when it counts with the numbers of the pages around", () => {
  // The first page's number centred a sixth of the page from its foot; the others number at the
  // top, a page number apart, ahead of a page of its own.
  const pages = [0, 1, 2].map((n) => page(n, [...(n === 0 ? [] : [line(String(n + (n === 2 ? 2 : 1)), 520, 90, 5),
    line("SAMPLE PAPER", 250, 90, 80, { size: 8 })]), ...body(160, n), ...(n === 0 ? [line("1", 303, 695.7, 5)] : [])]));
  assert.ok(!texts(layoutDocument(pages)).includes("0:paragraph:1"));
  // A number there that counts with no other page's stays.
  pages[0].lines[pages[0].lines.length - 1] = line("5", 303, 695.7, 5);
  assert.ok(texts(layoutDocument(pages)).includes("0:paragraph:5"));
});

test("a contents set in bold without leaders keeps each entry's number with its title; a listing's guard lines stay in it", () => {
  // Entries in bold: number, title and page number apart, no leaders; indented ones with leaders
  // under them, then parts in larger type out at the left.
  const bold = { bold: true, size: 9.96 }, large = { bold: true, size: 11.96 };
  const entry = (n, title, page, y) => [line(n, 144.7, y, 5.7, bold), line(title, 169.6, y, 6 * title.length, bold), line(page, 516.9, y, 11.5, bold)];
  const contents = page(0, [...entry("6", "Filename Parsing", "11", 104.9), ...entry("7", "TeX Versions", "13", 126.8),
    ...entry("8", "ltxcheck.tex", "14", 148.7), line("8.1", 159.7, 160.7, 12.7), line("Running the checks . . . . . . . . . . . . .", 187.6, 160.7, 319),
    line("15", 518.4, 160.7, 10)]);
  for (let i = 0; i < 6; i++) contents.lines.push(line(`8.${i + 2}`, 159.7, 172.7 + 12 * i, 12.7), line(`Step ${i} . . . . . . . . . . . . . . . . . . . ${16 + i}`, 187.6, 172.7 + 12 * i, 345.3));
  contents.lines.push(line("Change History", 144.7, 260, 92.7, large), line("1040", 501.4, 260, 26.9, large),
    line("Index", 144.7, 290, 33.2, large), line("1112", 501.4, 290, 26.9, large));
  const toc = texts(layoutDocument([contents]));
  assert.deepEqual([...toc.slice(0, 3), ...toc.slice(-2)], ["0:list:6 Filename Parsing 11", "0:list:7 TeX Versions 13",
    "0:list:8 ltxcheck.tex 14", "0:list:Change History 1040", "0:list:Index 1112"], toc.join("\n"));
  assert.equal(toc.filter((t) => /^0:list:8\.\d Step \d\.+ \d+$/.test(t)).length, 6, toc.join("\n"));

  // A listing in typewriter face, one advance a character, its guard lines in a sans face of
  // narrow and wide letters, one with code after it on its line.
  const set = (text, x, y, width, extra) => {
    let end = x;
    const cx = [...text].flatMap((ch) => [end, (end += width(ch))]);
    return line(text, x, y, end - x, { size: 8.97, cx, ...extra });
  };
  const tt = (text, x, y) => set(text, x, y, () => 4.7, { mono: true });
  const guard = (text, y) => set(text, 144, y, (ch) => (ch === " " ? 2.6 : /[iltrf|]/.test(ch) ? 2.4 : /[mw⟨⟩∗]/.test(ch) ? 7 : 4.6),
    { font: "LMSans9", math: 2 });
  const listing = page(0, [line("The float is added to the current column when it fits, as the code below tells.", 144.7, 120, 380),
    tt("1070 ⟨latexrelease⟩\\IncludeInRelease{2015/01/01}%", 144, 160.4), guard("1071 ⟨latexrelease | fltrace⟩", 171.4),
    tt("{\\@addtocurcol}{float order in 2-column}%", 144 + guard("1071 ⟨latexrelease | fltrace⟩", 0).w + 8.4, 172.7),
    guard("1072 ⟨∗2ekernel | latexrelease⟩", 182.3),
    tt("1073 \\def \\@addtocurcol {%", 144, 194.6), guard("1074 ⟨∗trace⟩", 204.3), tt("1075   \\fl@trace{***Start addtocurcol}%", 144, 216.6),
    guard("1076 ⟨/trace⟩", 226.2), tt("1077   \\@insertfalse", 144, 238.5),
    line("This is a new adjustment which is quite a major change in functionality.", 144.7, 260, 380)]);
  const [laid] = layoutDocument([listing]);
  const code = laid.blocks.filter((b) => b.listing);
  assert.equal(code.length, 1, texts([laid]).join("\n"));
  assert.deepEqual(code[0].text.split("\n").map((l) => l.replace(/\s+/g, " ").trim()), ["1070 ⟨latexrelease⟩\\IncludeInRelease{2015/01/01}%",
    "1071 ⟨latexrelease | fltrace⟩ {\\@addtocurcol}{float order in 2-column}%", "1072 ⟨∗2ekernel | latexrelease⟩",
    "1073 \\def \\@addtocurcol {%", "1074 ⟨∗trace⟩", "1075 \\fl@trace{***Start addtocurcol}%", "1076 ⟨/trace⟩", "1077 \\@insertfalse"]);
  // Guard lines alone keep their words whole.
  const [guards] = layoutDocument([page(0, [guard("1230 ⟨∗trace⟩", 100), guard("1231 ⟨latexrelease | fltrace⟩", 111), guard("1233 ⟨/trace⟩", 122)])]);
  assert.deepEqual(guards.blocks.map((b) => b.text.replace(/ +/g, " ")), ["1230 ⟨∗trace⟩\n1231 ⟨latexrelease | fltrace⟩\n1233 ⟨/trace⟩"]);
  // A guard line left alone at a page's top is code, as is a listing that opens with one and a line
  // whose guard is longer than its code ("9 ⟨initex⟩\fi", in the guard's face).
  const fi = guard("9 ⟨initex⟩\\fi", 150);
  fi.cx.splice(-6, 6, ...[0, 1, 2].flatMap((i) => [fi.cx.at(-7) + 4.7 * i, fi.cx.at(-7) + 4.7 * (i + 1)]));
  const [top] = layoutDocument([page(0, [guard("1069 ⟨/2ekernel | fltrace⟩", 100),
    line("(End definition for \\@addtotoporbot.)", 144.7, 120, 150, { italic: true, size: 8 }),
    guard("8 ⟨∗initex⟩", 139), tt("9 \\ifnum\\catcode‘\\{=1", 144, 150.3), { ...fi, y: 161, base: 168 }, tt("10 \\catcode‘\\{=1", 144, 172.3),
    // Code set at the listing's indent, far right of a short guard on its baseline.
    guard("11 ⟨latexrelease⟩", 183.3), tt("}%", 240, 183.3)])]);
  assert.deepEqual(top.blocks.map((b) => `${b.listing ? "code" : "text"}:${!!b.lines[0].mono}:${b.lines.length}`),
    ["code:true:1", "text:false:1", "code:true:5"], texts([top]).join("\n"));
  assert.match(top.blocks[2].text, /\n11 ⟨latexrelease⟩ +\}%$/);
});
