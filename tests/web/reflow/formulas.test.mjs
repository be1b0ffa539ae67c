// Display formulas on made-up pages set as the parser gives real ones: each
// display is one cut-out with all its pieces and none of the text around it,
// and inline maths stays in its sentence.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";
import { extractPage } from "../../../web/reflow/parse-worker.js";

// A piece of a line: `math` characters of it set in math fonts, boxes as
// the parser gives them (a little over three quarters of the size above
// the baseline, a fifth under it).
function piece(text, x, base, w, extra = {}) {
  const size = extra.size || 9.96;
  return { text, x, y: base - 0.7 * size, w, h: 0.9 * size, base, size, font: "CMR10", math: 0, ...extra };
}
const page = (lines, width = 612, height = 792) => ({ page: 0, width, height, lines, pictures: [], shapes: [] });
const kinds = (laid) => laid.blocks.map((b) => `${b.kind}${b.formula ? "(formula)" : ""}: ${b.text}`).join("\n");
const formulas = (laid) => laid.blocks.filter((b) => b.kind === "cutout" && b.formula);
// Where a region starts and ends on the page, in points.
const span = (b, laid) => [b.region[1] * laid.height, (b.region[1] + b.region[3]) * laid.height];

test("a case split is one cut-out with its rows and number, and none of the lines around it", () => {
  const above = piece("depends on the properties of the given graph. It follows from (39) that", 133.8, 595.5, 343.8);
  const below = piece("By (38)", 133.8, 654.25, 33.5);
  const lines = [
    piece("We may call (38) a parametric representation of the count, as the parameter", 133.8, 583.5, 343.8),
    above,
    piece("A(1)", 252.7, 618.39, 17.7, { size: 6.97, math: 1 }), piece("l", 260.1, 626.57, 2.5, { size: 6.97, math: 1 }),
    piece("=", 273.6, 623.56, 7.8),
    // The brace, whose box the parser makes small and high.
    { ...piece("\u23A7", 284.1, 606.53, 8, { math: 1 }), y: 606.1, h: 6.4 },
    piece("n!,", 292.1, 616.77, 11.5, { math: 2 }), piece("if l = 1", 313.6, 616.77, 30.6, { math: 1 }),
    piece("0,", 292.1, 631.11, 7.8, { math: 1 }), piece("otherwise.", 313.6, 631.11, 43.8, { math: 1 }),
    piece("(40)", 459.8, 623.56, 17.7),
    below,
    piece("Hc = 1/2(n − 1)!.", 270.9, 670.89, 70, { math: 8 }), piece("(41)", 459.8, 670.9, 17.7),
  ];
  const laid = layoutDocument([page(lines)])[0];
  const cases = formulas(laid).find((b) => /\(40\)/.test(b.text));
  assert.ok(cases && /otherwise/.test(cases.text) && /if l = 1/.test(cases.text), kinds(laid));
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /otherwise/.test(b.text)), kinds(laid));
  // The cut-out reaches the lower row and stops short of the lines around it.
  const [top, bottom] = span(cases, laid);
  assert.ok(bottom >= 631.11 + 1, `${bottom}`);
  assert.ok(top >= above.base + 0.2 * above.size && bottom <= below.base - 0.7 * below.size, `${top} ${bottom}`);
  // The words that lead into the next display stay text.
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && b.text === "By (38)"), kinds(laid));
  assert.ok(formulas(laid).some((b) => /\(41\)/.test(b.text) && !/By/.test(b.text)), kinds(laid));
  // The second row of a split whose first row's pieces came as one line
  // starts under a character of that line.
  const cx = (text, x, w) => [...text].flatMap((_, i) => [x + (w / text.length) * i, x + (w / text.length) * (i + 1)]);
  const first = "−n1!n2!δn1n2, if l = 2";
  const [split] = layoutDocument([page([
    piece("For a complete bipartite graph, let the weights vanish. By (39),", 133.77, 134.77, 311.3),
    piece("Al =", 230.81, 165.12, 21.05, { math: 2 }),
    { ...piece(first, 262.65, 158.32, 100.03, { math: 8 }),
      cx: [...cx("−n1!n2!δn1n2,", 262.65, 59.5), 322.15, 332.11, ...cx("if l = 2", 332.11, 30.57)] },
    { ...piece("0,", 262.65, 172.67, 7.75, { math: 1 }), cx: cx("0,", 262.65, 7.75) },
    { ...piece("otherwise .", 332.11, 172.67, 47.13, { math: 1 }), cx: cx("otherwise .", 332.11, 47.13) },
    piece("(42)", 459.77, 165.12, 17.71),
    piece("Theorem 7.2 leads to", 133.77, 192, 90),
  ])]);
  assert.ok(formulas(split).some((b) => /\(42\)/.test(b.text) && /otherwise/.test(b.text)), kinds(split));
  assert.ok(!split.blocks.some((b) => b.kind !== "cutout" && /otherwise/.test(b.text)), kinds(split));
  // A second row wider than the first, in an unnumbered display.
  const l = (text, x, y, w, h, base, size, math) => ({ text, x, y, w, h, base, size, math, font: "CMR10" });
  const [wider] = layoutDocument([page([
    l("Next note that b(X) = dim X.", 148.71, 340.7, 142.65, 8.85, 347.62, 9.96, 3),
    l("We see this by choosing a basis for X", 300.61, 340.7, 176.09, 8.85, 347.62, 9.96, 1),
    l("consisting of vectors vk defined by", 133.77, 349.04, 149.49, 12.46, 359.57, 9.96, 2),
    l("vk", 259.95, 378.06, 9.42, 10.89, 387.01, 9.96, 2), l("i =", 264.78, 380.09, 15.78, 11.31, 389.47, 6.97, 1),
    l("\u23A7", 283.32, 369.57, 8.03, 6.38, 369.97, 9.96, 1),
    l("1", 291.35, 373.3, 4.98, 8.85, 380.21, 9.96, 0), l("if i ∈Λk,", 306.29, 372.74, 39.33, 10.32, 380.21, 9.96, 4),
    l("0", 291.35, 387.65, 4.98, 8.85, 394.56, 9.96, 0), l("otherwise.", 306.29, 387.65, 43.81, 8.85, 394.56, 9.96, 0),
    l("Finally we note that the dimension of the space follows from this.", 133.77, 410, 300, 8.85, 417, 9.96, 0),
  ])]);
  assert.ok(formulas(wider).some((b) => /otherwise/.test(b.text)), kinds(wider));
  assert.ok(!wider.blocks.some((b) => b.kind !== "cutout" && /otherwise/.test(b.text)), kinds(wider));
});

test("a display's limits in script size, words among them, are in its cut-out", () => {
  // The lines of a two-line display as the parser gives them: delimiters
  // with tall boxes, limits and a fraction's parts apart.
  const l = (text, x, y, w, h, base, size, math) => ({ text, x, y, w, h, base, size, math, font: "CMR10" });
  const lines = [
    l("format:", 317.04, 385.17, 31.94, 9.96, 392.64, 9.96, 0),
    l("\u2211", 333, 401.98, 14.39, 29.98, 402.48, 9.96, 1),
    l("|M viol", 349.08, 402.53, 26.24, 11.8, 407.76, 6.97, 2), l("g", 361.56, 409.13, 3.88, 6.97, 414.36, 6.97, 1),
    l("|2 = g2n−4", 375.72, 400.29, 44.77, 14.04, 407.76, 6.97, 4), l("S", 401.04, 409.61, 4.9, 6.97, 414.84, 6.97, 1),
    l("(Q2) N n−2(N 2 −1)", 420.96, 400.29, 86.68, 14.04, 411.84, 9.96, 6),
    l("×", 396.24, 434.25, 7.75, 9.96, 441.72, 9.96, 1),
    l("\u239B", 405.72, 421.3, 8.72, 29.98, 421.8, 9.96, 1), l("\u2211", 405.72, 431.86, 23.03, 37.3, 439.68, 9.96, 2),
    l("i<j", 415.2, 448.25, 12.3, 6.97, 453.48, 6.97, 3),
    l("\u239E", 428.76, 421.3, 8.72, 29.98, 421.8, 9.96, 1), l("\u23A0", 428.76, 439.18, 8.72, 29.98, 439.68, 9.96, 1),
    l("\u239B\u2211", 439.2, 424.3, 23.99, 37.54, 424.8, 9.96, 2),
    l("perm", 447, 448.01, 17.94, 6.97, 453.24, 6.97, 0),
    l("1", 487.56, 427.53, 4.98, 9.96, 435, 9.96, 0), l("S12S23Sn1", 467.76, 441.43, 44.05, 10.32, 450, 6.97, 4),
    l("\u239E", 513.48, 424.3, 7.89, 29.98, 424.8, 9.96, 1),
    l("1", 529.08, 427.53, 4.98, 9.96, 435, 9.96, 0), l("S12", 524.28, 441.43, 14.05, 10.31, 450, 6.97, 1),
    l(".", 543.36, 434.59, 2.77, 9.28, 441.72, 9.96, 1),
    l("To obtain numbers not normally produced by the au-", 327, 465.45, 235.21, 9.96, 472.92, 9.96, 0),
    l("tomatic numbering, use the tag command, where the", 317, 476.9, 245, 9.96, 484.4, 9.96, 0),
  ];
  const laid = layoutDocument([page(lines)])[0];
  assert.equal(formulas(laid).length, 1, kinds(laid));
  for (const part of ["perm", "i<j", "S12S23Sn1"]) assert.ok(formulas(laid)[0].text.includes(part), part);
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /perm|i<j/.test(b.text)), kinds(laid));

  // A display set large: its integral's lower limit is in the body's size,
  // just under the display, and is the display's as well.
  const large = [
    l("and now in \\Large size:", 133.77, 263.63, 104.77, 9.13, 270.6, 9.96, 0),
    l("\u239B", 230.35, 284.73, 10.56, 9.18, 285.2, 14.35, 1), l("Ey", 240.91, 295.57, 15.47, 14.04, 305.6, 14.35, 2),
    l("\u222B tε", 259.63, 282.93, 21.71, 11.68, 292, 9.96, 3), l("0", 267.6, 311.47, 4.98, 8.85, 318.3, 9.96, 0),
    l("Lx,yx(s)φ(x) ds", 284.73, 295.57, 85.61, 14.42, 305.6, 14.35, 12), l("\u239E", 370.34, 284.73, 10.56, 9.18, 285.2, 14.35, 1),
    l("Then the next paragraph of the text goes on under the display, in the size of the body.", 133.77, 330.95, 340, 9.96, 338.4, 9.96, 0),
  ];
  const big = layoutDocument([page(large, 595.28, 841.89)])[0];
  assert.equal(formulas(big).length, 1, kinds(big));
  assert.ok(!big.blocks.some((b) => b.kind !== "cutout" && /^0$/.test(b.text.trim())), kinds(big));
});

test("scripts under superscripts stay in their line; the sentence is neither cut nor taken into a display", () => {
  const cx = (text, x, step) => [...text].flatMap((_, i) => [x + step * i, x + step * (i + 1)]);
  // The line ends with T and its superscript u; the subscript x under the
  // u is a piece of its own, a little left of where the line's box ends.
  const text = "restriction of the function f to T u";
  const lines = [
    { ...piece("In addition, for almost every x the", 133.8, 240.25, 150), cx: cx("In addition, for almost every x the", 133.8, 4.2) },
    { ...piece(text, 133.8, 250.25, 148.3, { math: 2 }), cx: cx(text, 133.8, 148.3 / text.length) },
    { ...piece("x", 275.6, 252.71, 4.5, { size: 6.97, math: 1 }), cx: [275.6, 280.1] },
    { ...piece("is differentiable at u(x) and", 133.8, 265.19, 120.6, { math: 2 }), cx: cx("is differentiable at u(x) and", 133.8, 4.1) },
  ];
  const laid = layoutDocument([page(lines)])[0];
  assert.equal(laid.blocks.length, 1, kinds(laid));
  assert.match(laid.blocks[0].text, /function f to T (xu|ux) is differentiable/);
  assert.ok(!formulas(laid).length);
  // A line whose first piece ends in a superscript over the subscript that
  // starts its second piece, under a display: one line of text still.
  const l = (text, x, y, w, h, base, size, math) => ({ text, x, y, w, h, base, size, math, font: "CMR10" });
  const under = layoutDocument([page([
    l("b(λ)", 240.21, 202.56, 15.22, 11.95, 207.4, 6.97, 2), l("ii", 244.49, 210.51, 5.63, 6.19, 215.35, 6.97, 2),
    l("= λi,", 258.71, 205.66, 22.41, 9.76, 212.58, 9.96, 3), l("b(λ)", 292.75, 202.56, 15.22, 11.95, 207.4, 6.97, 2),
    l("ij", 297.02, 210.51, 6.12, 6.19, 215.35, 6.97, 2), l("= bij,", 311.23, 205.66, 24.58, 9.76, 214.07, 6.97, 4),
    l("i̸ = j.", 347.44, 205.11, 23.6, 9.4, 212.58, 9.96, 4), l("(8)", 464.75, 205.66, 12.73, 8.85, 212.58, 9.96, 0),
    l("Let B(λ) = (b(λ)", 133.77, 223.56, 72.15, 12.46, 234.09, 9.96, 3),
    l("ij ). By (6) and (7), it is straightforward to show the following", 194.97, 227.18, 282.56, 11.62, 234.09, 9.96, 2),
    l("result:", 133.77, 239.13, 27.21, 8.85, 246.05, 9.96, 0),
  ])])[0];
  assert.ok(under.blocks.some((b) => b.kind === "paragraph" && /^Let B\(λ\) = \(b\(λ\) ?ij ?\)\. By \(6\).*result:$/.test(b.text)), kinds(under));
  assert.ok(!formulas(under).some((b) => /Let/.test(b.text)), kinds(under));
});

test("a number is its display's, not the line's across the gutter; that line stays in its paragraph", () => {
  const left = (text, base, extra) => piece(text, 37.6, base, 251, extra);
  const lines = [
    left("Assume some density of quadrupole 1S excitons ([QE]),", 415.6, { x: 48 }),
    left("ℏω1S = 2.05 eV, λ1S = 2π/ω1S = 6096 Å) has been created", 427.17, { math: 7 }),
    left("by an external laser pulse. The corresponding polaritons", 438.7),
    left("move in the crystal and can be trapped by the sphere.", 450.2),
    piece("last expression yields:", 306, 404, 100),
    piece("Es = −E0il0.05b1,39M1,39,", 380.2, 430.53, 103.9, { size: 6.97, math: 5 }),
    piece("(3)", 546, 429.03, 11.6),
    piece("To calculate the interaction of the plane wave with the sphere one has", 306, 449, 251),
  ];
  const laid = layoutDocument([page(lines, 595, 842)])[0];
  const number = formulas(laid).find((b) => b.text.includes("(3)"));
  assert.ok(number && /Es =/.test(number.text) && !/created/.test(number.text), kinds(laid));
  assert.ok(number.region[0] * 595 > 300, number.region.join());
  assert.ok(laid.blocks.some((b) => b.kind === "paragraph" && /\(\[QE\]\), ℏω1S = 2\.05 eV.*has been created by an external laser pulse/.test(b.text)), kinds(laid));
});

test("an appendix's lettered equation and a display at the margin ending in a primed number are cut-outs", () => {
  const lines = [
    piece("Note the equation number in an appendix:", 317, 100, 170),
    piece("E = mc2.", 410, 120, 36, { math: 3 }), piece("(B1)", 540, 120, 20),
    piece("an equation number of (2.6′),", 317, 140, 120),
    piece("g+g+ →g+g+g+g+ . . . ,", 323, 160, 107, { math: 11 }), piece("q+q+ →q+g+g+ . . . . (2.6′)", 438, 160, 124, { math: 11 }),
    piece("The numbering produced by the command does not affect the automatic one.", 317, 180, 245),
  ];
  const laid = layoutDocument([page(lines)])[0];
  // A display whose first piece is less than two thirds maths, under a
  // line whose last two pieces overlap.
  const l = (text, x, y, w, h, base, size, math) => ({ text, x, y, w, h, base, size, math, font: "CMR10" });
  const [under] = layoutDocument([page([
    l("Define multiplication for the elements of \u02c6", 133.77, 571.07, 187.39, 12.89, 577.98, 9.96, 1),
    l("X by", 313.04, 571.07, 22.88, 8.85, 577.98, 9.96, 1),
    l("ˆxiˆxj = ˆxj ˆxi,", 220.63, 592.49, 53.86, 10.34, 599.4, 9.96, 9), l("ˆx2", 286.11, 590.45, 9.67, 10.89, 599.4, 9.96, 1),
    l("i = 0,", 291.81, 592.49, 25.5, 11.31, 599.4, 9.96, 2), l("i, j = 1, . . . , n.", 328.94, 592.49, 61.69, 8.85, 599.4, 9.96, 10),
    l("(2)", 464.75, 592.49, 12.73, 8.85, 599.4, 9.96, 0),
    l("Let the numbers of the cycles be given by the relation that follows here.", 133.77, 612, 340, 8.85, 619, 9.96, 0),
  ])]);
  assert.ok(formulas(under).some((b) => /^ˆxiˆxj = .*\(2\)$/.test(b.text)), kinds(under));
  assert.ok(under.blocks.some((b) => b.kind === "paragraph" && /^Define multiplication .* by$/.test(b.text)), kinds(under));
  assert.ok(formulas(laid).some((b) => b.text === "E = mc2. (B1)"), kinds(laid));
  assert.ok(formulas(laid).some((b) => /^g\+g\+.*\(2\.6′\)$/.test(b.text)), kinds(laid));
  assert.ok(!laid.blocks.some((b) => b.kind !== "cutout" && /g\+g\+|mc2/.test(b.text)), kinds(laid));
});

// Lines as the parser gives them: text, box, baseline, size, characters in
// math fonts.
const at = (text, x, y, w, h, base, size, math = 0) => ({ text, x, y, w, h, base, size, math, font: "CMR10" });
const order = (laid) => laid.blocks.map((b) => (b.formula ? `[${b.text}]` : b.text));

test("a display keeps its number set at the left, apart from it, and the words between two displays stay between them", () => {
  const laid = layoutDocument([page([
    at("Note that all basic properties of determinants are direct consequences of", 140.72, 253.8, 348.7, 9.69, 261.37, 10.91),
    at("Lemma 3.2. Write", 118.8, 267.75, 87.45, 9.69, 275.32, 10.91),
    at("(7)", 118.8, 287.52, 13.94, 9.69, 295.09, 10.91),
    at("\u2211", 220.04, 284.35, 15.75, 6.98, 284.79, 10.91, 1), at("j∈n", 220.45, 302.15, 14.96, 7.52, 308.13, 7.97, 2),
    at("bij ŷj =", 237.62, 287.52, 33.2, 11.32, 296.73, 7.97, 5),
    at("\u2211", 273.84, 284.35, 15.75, 6.98, 284.79, 10.91, 1), at("j∈n", 274.24, 302.15, 14.96, 7.52, 308.13, 7.97, 2),
    at("b(λ)", 291.42, 283.81, 16.21, 13.4, 289.34, 7.97, 2), at("ij ŷj + (bii −λi)ŷiŷ", 296.1, 286.91, 92.53, 13.56, 298.35, 7.97, 13),
    at("where", 118.8, 317.6, 27.91, 9.69, 325.17, 10.91),
    at("(8)", 118.8, 337.37, 13.94, 9.69, 344.94, 10.91),
    at("b(λ)", 233.33, 333.66, 16.21, 13.4, 339.19, 7.97, 2), at("ii", 238.01, 342.67, 5.77, 7.08, 348.2, 7.97, 2),
    at("= λi,", 253.06, 337.37, 24.29, 10.75, 344.94, 10.91, 3), at("i̸ = j.", 349.04, 336.76, 25.85, 10.3, 344.94, 10.91, 4),
    at("Let B(λ) = (b(λ)", 118.8, 356.77, 76.86, 13.65, 368.3, 10.91, 3),
    at("ij ). By (6) and (7), it is straightforward to show the following", 184.13, 360.73, 305.33, 12.94, 368.3, 10.91, 2),
    at("result:", 118.8, 374.72, 30.3, 9.69, 382.29, 10.91),
  ])])[0];
  const blocks = order(laid);
  const seven = blocks.findIndex((t) => /^\[.*\(7\)/.test(t) && /bij ŷj/.test(t) && /j∈n/.test(t));
  const eight = blocks.findIndex((t) => /^\[.*\(8\)/.test(t) && /= λi/.test(t));
  assert.ok(seven >= 0 && eight > seven, blocks.join("\n"));
  assert.deepEqual(blocks.slice(seven + 1, eight), ["where"], blocks.join("\n"));
  assert.ok(!blocks.some((t) => /^\(\d\)$/.test(t)), blocks.join("\n"));
  assert.ok(blocks.some((t) => /^Let B\(λ\).*result:$/.test(t)), blocks.join("\n"));
  // A number too wide for its display's row stands on a row of its own
  // over it; the sentence between that display and the next is text.
  const [wide] = layoutDocument([page([
    at("Theorem 3.3 leads to the identity below for every choice of the weights", 118.8, 369.56, 370.6, 9.69, 377.13, 10.91),
    at("Note that", 118.8, 383.51, 46.36, 9.69, 391.08, 10.91),
    at("(15)", 118.8, 397.45, 19.4, 9.69, 405.02, 10.91),
    at("det K(t = 1, t1, . . . , tn) =", 129.16, 412.58, 118.09, 10.75, 420.15, 10.91, 10),
    at("\u2211", 250.27, 409.4, 15.75, 6.98, 409.84, 10.91, 1), at("I∈n", 250.47, 427.38, 15.37, 7.52, 433.36, 7.97, 2),
    at("(−1)|I| ti (Dj + λjtj) det A(λ)(I|I) = 0.", 266.03, 409.4, 213.03, 13.79, 420.15, 10.91, 14),
    at("Let ti = x̂i, i = 1, . . . , n. Lemma 3.1 yields", 140.72, 443.67, 201.84, 11.32, 451.24, 10.91, 12),
    at("(16)", 118.8, 472.76, 19.4, 9.69, 480.33, 10.91),
    at("alixi", 173, 472.76, 21.07, 11.72, 480.33, 10.91, 5), at("i∈n", 157.04, 487.39, 13.96, 7.52, 493.36, 7.97, 2),
    at("det K(t = 1, x1, . . . , xn; l|l)", 203.67, 472.15, 125.98, 11.36, 480.33, 10.91, 13),
    at("=", 176.27, 507.69, 8.49, 9.69, 515.26, 10.91), at("\u00C5\u2211", 187.79, 500.04, 21.93, 11.46, 500.47, 10.91, 1),
    at("(−1)|I| per A(λ)(I|I) det A(λ)(I ∪{l}|I ∪{l}).", 264.93, 503.18, 214.52, 14.19, 515.26, 10.91, 21),
    at("Since the sum on the right runs over the subsets that leave out the index l,", 118.8, 540.66, 370.6, 9.69, 548.23, 10.91),
  ])]);
  const rows = order(wide);
  const fifteen = rows.findIndex((t) => /^\[\(15\).*= 0\./.test(t));
  const sixteen = rows.findIndex((t) => /^\[\(16\).*alixi.*per A/.test(t));
  assert.ok(fifteen >= 0 && sixteen > fifteen, rows.join("\n"));
  assert.deepEqual(rows.slice(fifteen + 1, sixteen), ["Let ti = x̂i, i = 1,..., n. Lemma 3.1 yields"], rows.join("\n"));
});

test("a display of pieces set in text fonts keeps its number at the right; what reaches past its column stays out of the next column's sentence", () => {
  const full = (text, base, x = 64.51) => at(text, x, base - 6.72, 285.68 - x, 8.9, base, 9.96);
  const right = (text, base) => at(text, 309.59, base - 6.72, 221.17, 8.9, base, 9.96);
  const laid = layoutDocument([page([
    full("(1), the scattered field has to be changed according to", 156.94),
    at("the vector spherical harmonic addition theorem [11]:", 64.51, 162.17, 210.13, 8.9, 168.89, 9.96),
    at("M1,39 = Aml", 74.78, 177.2, 47.29, 12.26, 187.47, 6.97, 1),
    at("1,39 (r0 + δr) Mml + Bml", 115.1, 177.2, 90.98, 13.78, 188.81, 6.97, 2),
    at("1,39 (r0 + δr) Nml", 199.1, 178, 64.19, 12.98, 188.81, 6.97, 2),
    at("(4)", 274.07, 179.25, 11.62, 8.9, 185.97, 9.96),
    full("Here the translational coefficients are listed in the Appendix.", 204.24),
    full("cuprous oxide the energy of interaction can be written", 330.85),
    at("as:", 64.51, 336.08, 11.07, 8.9, 342.8, 9.96),
    at("∞", 69.79, 348.37, 5.95, 5.82, 353.15, 6.97, 1), at("\u2211", 66.17, 354.58, 13.18, 4.92, 355.14, 9.96, 1),
    at("i=0", 67.83, 371.16, 9.86, 7.1, 376.74, 6.97), at("An", 81.26, 358.68, 11.07, 8.71, 365.33, 9.96),
    at("\u222B", 93.99, 351.22, 6.38, 4.92, 351.78, 9.96, 1), at("dx Fn(x)", 106.48, 351.86, 37.91, 15.64, 365.33, 9.96),
    at("An + Bn", 117.86, 364.2, 30.66, 11.46, 372.17, 9.96), at("= BnCn", 152.98, 356.56, 29.78, 10.83, 365.33, 9.96),
    at("\u222B", 184.91, 351.22, 6.38, 4.92, 351.78, 9.96, 1), at("dx", 197.4, 358.61, 9.9, 8.9, 365.33, 9.96),
    at("\u222B", 209, 351.22, 6.38, 4.92, 351.78, 9.96, 1), at("dy Gn(x, y)", 221.49, 350.62, 47.07, 16.89, 365.33, 9.96, 1),
    at("Anx + Bny+ Gn(x, y)", 232.34, 350.62, 86.55, 24.48, 372.17, 9.96, 2),
    at("Anx + Bny", 282.66, 364.2, 41.35, 10.9, 372.17, 9.96, 1),
    at("(5)", 274.07, 378.9, 11.62, 8.9, 385.62, 9.96),
    full("Here we introduced the initial state of the system, which", 397.58),
    right("cillator model that has been widely used for describing", 333.39),
    right("coupled atom-photon or exciton-photon modes in mi-", 345.34),
    at("crocavity systems [13].", 309.59, 350.57, 95.88, 8.9, 357.3, 9.96),
    at("Near the resonance between", 413.65, 350.57, 117.11, 8.9, 357.3, 9.96),
    at("WGM and the quadrupole exciton ω1l ≈ω1S the EP", 309.59, 361.28, 221.17, 11.64, 369.25, 9.96, 3),
    right("branches are given by the eigenvalues of the following", 381.21),
    right("Hamiltonian, and the energies of the two branches are:", 393.16),
  ], 595.28, 841.89)])[0];
  const blocks = order(laid);
  assert.ok(blocks.some((t) => /^\[.*M1,39 = Aml.*Nml.*\]$/.test(t) && t.includes("(4)")), blocks.join("\n"));
  const five = blocks.find((t) => t.includes("(5)"));
  assert.ok(five && five.startsWith("[") && /∞/.test(five) && /dy Gn/.test(five) && /Anx \+ Bny/.test(five), blocks.join("\n"));
  assert.ok(blocks.some((t) => /^cillator model .*crocavity systems \[13\]\. Near the resonance between WGM and the quadrupole exciton ω1l ≈ω1S the EP branches are given by/.test(t)),
    blocks.join("\n"));
  assert.ok(!blocks.some((t) => /^\(\d\)$/.test(t)), blocks.join("\n"));
});

test("a fraction set in a line stays in it as figures with a slash; a script under a script gets no slash", () => {
  const note = (shapes) => layoutDocument([{ ...page([
    at("Ion K: the positions (2e) + (2f) and (4i), as the table shows above.", 55.49, 240, 300, 9.89, 248, 7.97),
    at("a The z parameter of these positions is z ∼1", 55.49, 286.71, 167.83, 9.89, 295.05, 7.97, 3),
    at("4 .", 219.67, 289.52, 7.2, 10.2, 298.18, 5.98),
    at("earlier in the document, as was done with Table II: the float placement", 54, 321.15, 245.09, 8.85, 328.07, 9.96),
  ]), shapes }])[0].blocks.map((b) => b.text);
  const bar = { x: 219.49, y: 292.88, w: 4.01, h: 0.36 };
  const laid = note([bar]);
  assert.ok(laid.includes("a The z parameter of these positions is z ∼1/4."), laid.join("\n"));
  // Without the bar the lower figure is a subscript under a superscript.
  assert.ok(!note([]).some((t) => t.includes("1/4")), note([]).join("\n"));

  // As the parser reads it: the denominator and the full stop on one line, of the full stop's
  // type; characters 3.6 points wide, a space and a full stop narrower. The bar drawn as a shape or
  // as a picture one line thick.
  const font = (pointer, name) => ({ pointer, getName: () => name, isBold: () => false, isItalic: () => false, isMono: () => false });
  const small = font(1, "CMR6"), text = font(2, "CMR8");
  const lines = [[[55.49, 286.7, 223.27, 296.6], [text, "a The z parameter of these positions is z \u223C ", 55.49, 295.05], [small, "1", 219.67, 291.8]],
    [[219.67, 289.5, 226.9, 299.7], [small, "4", 219.67, 298.18], [text, " .", 223.3, 295.05]]];
  const stext = { walk(v) {
    for (const [bounds, ...runs] of lines) {
      v.beginLine?.(bounds, 0, [1, 0]);
      for (const [f, chars, x0, base] of runs) {
        const size = f === small ? 5.98 : 7.97;
        let x = x0;
        for (const c of chars) {
          const w = c === " " ? 1.2 : c === "." ? 2.4 : 3.6;
          v.onChar?.(c, [x, base], f, size, [x, base - 0.7 * size, x + w, base - 0.7 * size, x, base + 0.2 * size, x + w, base + 0.2 * size]);
          x += w;
        }
      }
      v.endLine?.();
    }
  } };
  const read = extractPage({ getBounds: () => [0, 0, 612, 792], toStructuredText: () => stext, getLinks: () => [] }, 0);
  for (const drawn of [{ shapes: [bar] }, { pictures: [bar] }])
    assert.deepEqual(layoutDocument([{ ...read, ...drawn }])[0].blocks.map((b) => b.text), ["a The z parameter of these positions is z \u223C 1/4."]);
});

test("a display of text cells and fractions keeps its numbers; a display at the margin next to one does not narrow its column", () => {
  const tt = (text, x, y, w, h, base, math = 0) => ({ ...at(text, x, y, w, h, base, 9.96, math), font: "CMTT10", mono: true });
  const laid = layoutDocument([page([
    at("The generalized fraction command \\genfrac provides full access to the six", 148.71, 347.03, 328.77, 9.13, 353.94, 9.96),
    at("TEX fraction primitives:", 133.77, 358.98, 104.74, 10.99, 365.9, 9.96),
    tt("\\over: n + 1", 189.21, 379.79, 57.68, 15.87, 393.45, 1), at("2", 232.83, 393.37, 4.98, 8.85, 400.28, 9.96),
    tt("\\overwithdelims:", 303.53, 386.53, 81.22, 9.13, 393.45),
    at("\u27E8n + 1", 389.18, 379, 30.61, 9.64, 386.71, 9.96, 2), at("2", 405.73, 393.37, 4.98, 8.85, 400.28, 9.96),
    at("(56)", 459.77, 386.53, 17.71, 8.85, 393.45, 9.96),
    tt("\\atop: n + 1", 189.21, 407.69, 57.68, 15.87, 421.34, 1), at("2", 232.83, 421.26, 4.98, 8.85, 428.18, 9.96),
    tt("\\atopwithdelims:", 303.53, 414.43, 81.22, 9.13, 421.34),
    at("(n + 1", 389.18, 406.9, 30.47, 9.64, 414.6, 9.96, 2), at("2", 405.6, 421.26, 4.98, 8.85, 428.18, 9.96),
    at("(57)", 459.77, 414.43, 17.71, 8.85, 421.34, 9.96),
    at("Any of these may be used with a size of its own, as the next lines show in turn.", 133.77, 470, 343.7, 9.13, 477, 9.96),
  ], 595.28, 841.89)])[0];
  const blocks = order(laid);
  assert.ok(blocks.some((t) => t.startsWith("[") && t.includes("(56)") && t.includes("\\overwithdelims:")), blocks.join("\n"));
  assert.ok(blocks.some((t) => t.startsWith("[") && t.includes("(57)") && t.includes("\\atop: n + 1")), blocks.join("\n"));
  assert.ok(!blocks.some((t) => !t.startsWith("[") && /n \+ 1|^2$|\(5\d\)/.test(t)), blocks.join("\n"));
  // A case split whose number stands apart, above a display ending in its
  // own number at the margin: the split's column is the text's.
  const [split] = layoutDocument([page([
    at("For a complete bipartite graph Kn1n2, let λi = 0, i = 1, . . . , n. By (39),", 133.77, 127.85, 311.3, 10.37, 134.77, 9.96, 12),
    at("\u23A7", 254.62, 147.68, 8.03, 6.38, 148.08, 9.96, 1),
    at("−n1!n2!δn1n2, if l = 2", 262.65, 150.85, 100.03, 10.93, 158.32, 9.96, 8),
    at("Al =", 230.81, 158.2, 21.05, 10.34, 165.12, 9.96, 2),
    at("(42)", 459.77, 158.2, 17.71, 8.85, 165.12, 9.96),
    at("0,", 262.65, 165.76, 7.75, 8.85, 172.67, 9.96, 1), at("otherwise .", 332.11, 165.76, 47.13, 8.85, 172.67, 9.96, 1),
    at("Theorem 7.2 leads to", 133.77, 188, 95.27, 8.85, 194.92, 9.96),
    at("1", 290.07, 195.42, 4.98, 8.85, 202.33, 9.96), at("n1 + n2", 276.02, 208.99, 32.58, 10.34, 215.91, 9.96, 2),
    at("Hc =", 249.2, 202.16, 22.86, 10.34, 209.07, 9.96, 2), at("n1!n2!δn1n2. (43)", 310.29, 202.16, 167.19, 10.37, 209.07, 9.96, 6),
    at("Now, we consider an asymmetrical approach. Theorem 3.3 leads to", 148.71, 224.06, 292.79, 8.85, 230.98, 9.96),
  ])]);
  assert.ok(order(split).some((t) => /^\[.*\(42\)/.test(t) && t.includes("Al =") && t.includes("otherwise")), order(split).join("\n"));
});

test("a numbered display set across both columns is one cut-out with the drawings in it, read after the columns above it", () => {
  const left = (text, base) => at(text, 36, base - 6.84, 256.32, 9.02, base, 9.96);
  const right = (text, base) => at(text, 319.68, base - 6.84, 256.32, 9.02, base, 9.96);
  const laid = layoutDocument([{ ...page([
    left("interdum eu, justo lectus sagittis dui, et vehicula libero dui cursus", 394.28),
    left("ultricies auctor, pede lorem egestas dui, et convallis elit erat sed", 418.19),
    right("page to the top of this page, but does not interfere with the", 406.23),
    right("widetext material, as a float of one column would interfere.", 418.19),
    // The bars around the matrix, as tall as it.
    at("\u2225".repeat(25), 145.3, 450.17, 4.34, 150.12, 450.73, 9.96, 25),
    at("\u2225".repeat(25), 537.14, 450.17, 4.34, 150.12, 450.73, 9.96, 25),
    at("𝜑", 168.77, 448.73, 5.67, 4.45, 453.09, 9.96), at("(𝜑1, 𝜀1)", 156.12, 459.63, 30.89, 10.12, 466.67, 9.96, 2),
    at("𝜑𝑘21", 162.15, 471.1, 18.61, 7.44, 475.46, 9.96), at("(𝜑2, 𝜀1)", 156.12, 482, 30.89, 10.12, 489.04, 9.96, 2),
    at("𝜑𝑘31 𝜑𝑘32 𝜑", 162.15, 493.47, 115.09, 7.44, 497.83, 9.96), at("...", 170.31, 516.1, 2.49, 12.42, 520.46, 9.96),
    at("𝜑𝑘𝑛−2 1", 156.77, 537.37, 29.37, 7.44, 541.73, 9.96, 1), at("𝜑𝑘𝑛−1 1", 156.77, 559.74, 29.37, 7.44, 564.1, 9.96, 1),
    at("(𝜑𝑛−1, 𝜀1) (𝜑𝑛−1, 𝜀2)", 151.34, 570.64, 94.23, 10.12, 577.68, 9.96, 6), at("𝜑𝑘𝑛1", 161.79, 582.11, 19.32, 7.44, 586.47, 9.96),
    at("0 . . . . . . . . . . . . . . . . . . . . . . . . . . . . 0", 222.86, 452.99, 288.96, 9.02, 459.84, 9.96),
    at("(𝜑3, 𝜀1)", 156.12, 504.37, 30.89, 10.12, 511.41, 9.96, 2), at("(𝜑3, 𝜀3)", 258.92, 504.37, 30.89, 10.12, 511.41, 9.96, 2),
    at("WT1 : 𝔚(𝚽) =", 70.52, 520.97, 72.02, 9.22, 528.01, 9.96, 4),
    at("(1)", 564.38, 521.16, 11.62, 9.02, 528.01, 9.96),
    at("(𝜑𝑛−2, 𝜀1) (𝜑𝑛−2, 𝜀2)", 151.34, 548.27, 94.23, 10.12, 555.31, 9.96, 6),
    at("(𝜑𝑛−2, 𝜀𝑛−3) (𝜑𝑛−2, 𝜀𝑛−2)", 303.16, 548.27, 113.33, 10.12, 555.31, 9.96, 8),
    at("(𝜑𝑛, 𝜀1)", 155.76, 593.01, 31.6, 10.12, 600.05, 9.96, 2), at("(𝜑𝑛, 𝜀𝑛)", 493.18, 593.01, 32.3, 8.6, 600.05, 9.96, 2),
    left("Sed commodo posuere pede. Mauris ut est. Ut quis purus. Sed ac", 640),
    left("odio. Sed vehicula hendrerit sem. Duis non odio. Morbi ut dui.", 652),
    right("ultricies tellus. Proin et quam. Class aptent taciti sociosqu ad", 640),
    right("litora torquent per conubia nostra, per inceptos hymenaeos.", 652),
  // A drawing among the matrix's cells (the parser's boxes of its rules).
  ]), shapes: [{ x: 156, y: 470, w: 90, h: 80 }] }])[0];
  const blocks = order(laid);
  const wide = blocks.findIndex((t) => t.startsWith("[") && t.includes("(1)") && t.includes("WT1") && t.includes("(𝜑𝑛, 𝜀𝑛)"));
  assert.ok(wide > 0, blocks.join("\n"));
  assert.ok(blocks.slice(0, wide).some((t) => /widetext material/.test(t)) && blocks.slice(wide + 1).some((t) => /^Sed commodo/.test(t)),
    blocks.join("\n"));
  assert.ok(!blocks.some((t) => !t.startsWith("[") && /𝜑/.test(t)), blocks.join("\n"));
  assert.equal(laid.blocks.filter((b) => b.kind === "cutout").length, 1, blocks.join("\n"));
});

test("a display keeps numbers that line up only with text far above it, and those set after its last piece of maths", () => {
  // The column's full lines far above, a list and a listing between; the rows end in their numbers.
  const above = [at("In LATEX 2.09, we have used the eqnarray environment in order to typeset aligned equa-", 94.9, 475.7, 424.3, 12.3, 483.4, 10.92),
    at("tions. However, we have had difficulty when we want more complicated alignment.", 77, 493.5, 393.6, 10.1, 501.2, 10.92),
    at("The following is a list of typical environments/commands of the amsmath package.", 94.9, 511.5, 392.8, 10.3, 519.2, 10.92)];
  const list = [at("(1) align replaces the eqnarray environment.", 78, 577.7, 222.9, 10.3, 585.4, 10.92),
    ...[["\\begin{align}", 74.4], ["m_{x} &= \\frac{\\sqrt{3}}{2} (S_{b} - S_{c}), \\\\", 269.2], ["m_{y} &= \\frac{3}{2}S_{a} - \\frac{1}{2}.", 229.1],
      ["\\end{align}", 63]].map(([t, w], i) => ({ ...at(t, 97, 603.5 + 17.9 * i, w, 9.4, 610.3 + 17.9 * i, 10.92), mono: true, font: "Cmtt10" }))];
  const display = [at("mx =", 260.8, 705.2, 26.4, 11.6, 712.9, 10.92, 2), at("√", 291.4, 688.8, 9.1, 18.3, 696.5, 10.92, 1),
    at("3", 300.5, 697.8, 5.5, 10.1, 705.5, 10.92), at("2 (Sb −Sc),", 295.9, 705.2, 57.7, 20, 720.4, 10.92, 6),
    at("(1)", 505.3, 705.2, 14, 10.1, 712.9, 10.92), at("my = 3", 261.1, 726.7, 35.7, 19.1, 741.7, 10.92, 2),
    at("2Sa − 1", 291.4, 726.7, 38.3, 27.3, 749.2, 10.92, 3), at("2.", 324.2, 734, 9.6, 17.5, 749.2, 10.92, 1),
    at("(2)", 505.3, 734, 14, 10.1, 741.7, 10.92)];
  const [laid] = layoutDocument([page([...above, ...list, ...display], 595, 842)]);
  const blocks = order(laid);
  assert.ok(blocks.some((t) => /^\[.*\(1\).*\(2\)/.test(t)), blocks.join("\n"));
  assert.ok(!blocks.some((t) => /^\(\d\)$/.test(t)), blocks.join("\n"));

  // A row set in pieces of maths apart, the number after the last; the word leading into it stays text.
  const [row] = layoutDocument([page([
    at("and lims→t− ŵ(s) = ŵ(t) for every t ∈ R. These conditions imply", 133.8, 294.8, 285.4, 10.7, 302.3, 9.96, 10),
    at("û(t) = Du(]−∞, t[),", 185.5, 312.4, 86.4, 9.4, 319.9, 9.96, 9), at("v̂(t) = Dv(]−∞, t[)", 293.4, 312.4, 82.6, 9.4, 319.9, 9.96, 8),
    at("∀t ∈ R", 395.9, 312.4, 29.9, 9.4, 319.9, 9.96, 3), at("(32)", 459.8, 313, 17.7, 8.9, 319.9, 9.96),
    at("and", 133.8, 330.5, 16.1, 8.9, 337.5, 9.96),
    at("v̂(t) = f(û(t))", 249, 342.5, 60.6, 8.9, 349.4, 9.96, 5), at("∀t ∈ R.", 329.5, 341.9, 32.7, 9.4, 349.4, 9.96, 4),
    at("(33)", 459.8, 342.5, 17.7, 8.9, 349.4, 9.96),
    at("Let t ∈ R be such that Du ([t, s[) > 0 for every s > t and assume that the", 133.8, 355.9, 343.7, 18.3, 367.7, 9.96, 18),
    at("limits in (22) exist. By (23) and (24) we get the following bound for the difference.", 133.8, 372.3, 343.7, 9.4, 379.7, 9.96, 2)])]);
  const rows = order(row);
  assert.ok(rows.some((t) => t.startsWith("[") && t.includes("(33)") && t.includes("v̂(t) = f(û(t))") && t.includes("∀t ∈ R.")), rows.join("\n"));
  assert.ok(rows.includes("and") && rows.some((t) => t.startsWith("Let t ∈ R be such that")), rows.join("\n"));

  // A sentence under a display, bars and a tilde set on their own hanging over its word: text.
  const [hanging] = layoutDocument([page([
    at("for every x ∈ Ω. Let f be a Lipschitz continuous function such that f(0) = 0, and", 118.8, 130.5, 370.6, 11.6, 140, 10.91, 11),
    at("(27)", 118.8, 154.4, 19.4, 9.7, 162, 10.91), at("Jv = (f(u+) − f(u−)) ⊗ νu · Hn−1", 211.3, 151.5, 166, 14.2, 162, 10.91, 15),
    at("Su .", 381.5, 154.4, 15.4, 14.8, 166.1, 7.97, 3),
    at("In addition, for", 118.8, 180.8, 74.7, 9.7, 188.3, 10.91),
    { ...at("\uFFFD\uFFFD\uFFFD\uFFFD", 197.9, 175.7, 13.2, 19.6, 176.1, 10.91, 4), hang: true,
      cx: [197.9, 201.5, 201.5, 207.6, 207.6, 211.1, 211.1, 211.1], gy: { 0: [175.7, 195.3], 1: [175.7, 179], 2: [175.7, 195.3], 3: [175.7, 179] } },
    at("Du", 201.5, 180.8, 15.6, 9.7, 188.3, 10.91, 2),
    at("-almost every x ∈ Ω the restriction of the function f to", 217.1, 180.8, 272.3, 9.7, 188.3, 10.91, 2),
    at("T u x is differentiable at the point and the chain rule holds.", 118.8, 194.8, 300, 11.6, 204.3, 10.91, 5)])]);
  assert.ok(order(hanging).some((t) => /^In addition, for .*almost every x/.test(t)), order(hanging).join("\n"));

  // A display whose sums' boxes reach over the sentence under it, its number apart after a
  // fraction: the sentence stays text.
  const [deep] = layoutDocument([page([
    at("terms of the amplitudes are summed over the whole set of the permutations of the", 317, 196, 245.1, 10, 203.5, 9.96),
    at("×", 406.4, 285.3, 7.8, 10, 292.8, 9.96, 1),
    { ...at("\uFFFD", 415.9, 282.8, 23, 37.3, 290.6, 9.96, 1), hang: true, cx: [415.9, 438.9], gy: { 0: [282.8, 320.1] } },
    { ...at("\uFFFD", 439, 282.8, 26.5, 37.3, 290.6, 9.96, 1), hang: true, cx: [439, 465.5], gy: { 0: [282.8, 320.1] } },
    at("1", 474.7, 278.5, 5, 10, 286, 9.96), at("S12", 470, 292.4, 14.1, 10.3, 301, 6.97, 1),
    at("cf", 520.4, 283.4, 8.2, 11.6, 292.8, 9.96, 2), at("(5)", 549.4, 285.3, 12.8, 10, 292.8, 9.96),
    at("Note: Do not use \\label{#1} on a line of a multiline", 317, 316.4, 245.1, 10, 323.9, 9.96),
    at("equation if \\nonumber is also used on that line. Incorrect", 317, 327.9, 245.2, 10, 335.4, 9.96)], 612, 792)]);
  assert.ok(order(deep).some((t) => t.startsWith("Note: Do not use")), order(deep).join("\n"));
});

test("an operator's picture in a line takes in its limit, nothing of the lines over and under it", () => {
  // Characters' edges spread evenly over a piece, a glyph's own given.
  const line = (text, x, y, w, h, base, size, extra = {}) => ({ ...at(text, x, y, w, h, base, size, 1), ...extra,
    cx: [...text].flatMap((_, i) => (extra.own || {})[i] || [x + (w / text.length) * i, x + (w / text.length) * (i + 1)]) });
  const glyphs = (lines) => {
    const [laid] = layoutDocument([page(lines)]);
    return laid.blocks.flatMap((b) => (b.glyphs || []).map((g) => ({ word: b.text.slice(g.start, g.end), below: g.below, span: span(g, laid) })));
  };
  // A union with its limit beside it, between full lines; the parser
  // guesses the glyph from 1.1 em over its origin (507.5) to an em under.
  const union = "to each spanning tree of G. Denote by Ci = \uFFFD", u = union.length - 1;
  const [cup] = glyphs([line("Let Ci(j) be the set of graphs obtained from G by attaching edge (vivj)", 148.7, 496.2, 328.8, 10.7, 503.1, 9.96),
    line(union, 133.8, 507.2, 212.9, 13.9, 515, 9.96, { own: { [u]: [338.4, 346.7] }, gy: { [u]: [496.6, 517.5] } }),
    line("j Ci(j). It is obvious that the", 346.7, 508.1, 130.8, 11.8, 515, 9.96),
    line("collection of Hamiltonian cycles is a subset of Ci. Note that the card", 133.8, 520.1, 343.7, 9.8, 527, 9.96)]);
  // Over the union's top, under its limit's tail; the ink over it ends a
  // fifth of its size under its baseline, that under it starts 0.7 over.
  assert.equal(cup.word, "j");
  assert.ok(cup.span[0] <= 507.5 && cup.span[0] >= 503.1 + 2 && cup.span[1] >= 519.2 && cup.span[1] <= 527 - 7, `${cup.span}`);
  // Bars hanging from their top around a word: measured from its baseline,
  // clear of the lines under it and of a display's hanging bars over it.
  const bars = glyphs([line("\uFFFD\uFFFD", 314.1, 565.4, 13.2, 19.6, 565.8, 10.91, { hang: true, gy: { 0: [553.8, 576.7] } }),
    line("Du", 317.7, 570.5, 15.6, 9.7, 578, 10.91), line("Let t be such that", 118.8, 598.1, 185, 10.3, 605.6, 10.91),
    line("\uFFFD\uFFFD", 306.2, 593, 13.2, 19.6, 593.4, 10.91, { hang: true, gy: { 0: [581.4, 604.3], 1: [594.1, 617] } }),
    line("Du", 309.8, 598.1, 15.6, 9.7, 605.6, 10.91),
    line("\uFFFD-almost everywhere on the set", 325.4, 593, 160, 19.6, 605.6, 10.91, { gy: { 0: [594.1, 617] } }),
    line("limits in (22) exist. By (23) and (24) we get", 118.8, 612, 211.3, 9.7, 619.6, 10.91)]).filter((g) => g.span[1] > 600);
  assert.equal(bars.length, 2, JSON.stringify(bars));
  for (const g of bars) assert.ok(g.span[0] >= 584.99 && g.span[1] <= 619.6 - 7.6 && g.below > 0 && g.below < 10, JSON.stringify(g));
});
