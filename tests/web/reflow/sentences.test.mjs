// Sentences that run on across lines, columns, floats and pages stay one
// paragraph; notes at a page's foot and line numbers in its margins stay out
// of them. Made-up pages.
import { test } from "node:test";
import assert from "node:assert/strict";
import { layoutDocument } from "../../../web/reflow/layout.js";

function line(text, x, y, w, extra = {}) {
  return { text, x, y, w, h: 8, base: y + 7, size: 10, font: "Serif", math: 0, ...extra };
}
function page(lines, shapes = [], n = 0) {
  return { page: n, width: 612, height: 792, lines, pictures: [], shapes };
}
const texts = (laid) => laid.blocks.map((b) => `${b.kind}${b.joins ? "+" : ""}: ${b.text}`).join("\n");
// One page laid out, and its blocks as text.
const lay = (lines, shapes) => { const [laid] = layoutDocument([page(lines, shapes)]); return [laid, texts(laid)]; };
// A column of n full lines from `from` down.
const column = (x, words, from, n, step = 12, extra = {}) =>
  Array.from({ length: n }, (_, i) => line(`${words} line ${i} fills it down.`, x, from + step * i, 234, extra));

test("line numbers in the margin and in the gutter of a review copy are no text", () => {
  // Every fifth line numbered in small type, in the left margin and in the gutter; a table across
  // both columns between two numbers. A last page numbers fewer lines: three in the gutter.
  const words = (side, i) => `${side} column line ${i} goes on with more of the words it has here`;
  const review = (n, gap, numbers) => Array.from({ length: n }, (_, i) => {
    const y = 100 + 12 * i + (i >= 12 ? gap : 0);
    return [line(words("Left", i), 54, y, 245), line(words("Right", i), 317, y, 245), ...(i % 5 === 4 ? numbers(i, y) : [])];
  }).flat();
  const small = (y) => ({ h: 4.4, base: y + 7, size: 5 });
  const [laid, all] = lay([...review(24, 60, (i, y) => [line(String(101 + i), 38.8, y + 3.5, 5.3, small(y)), line(String(201 + i), 301.8, y + 3.5, 5.3, small(y))]),
    line("A wide table row runs across both columns of the page here", 54, 250, 508)]);
  assert.doesNotMatch(all, /\b[12]\d\d\b/);
  const left = laid.blocks.findIndex((b) => /Left column line 11 /.test(b.text));
  const right = laid.blocks.findIndex((b) => /Right column line 0 /.test(b.text));
  assert.ok(left >= 0 && right > left && laid.blocks[left].text.includes("Left column line 0 "), all);
  assert.doesNotMatch(lay(review(15, 0, (i, y) => [line(String(301 + i), 301.8, y + 3.5, 7.9, small(y))]))[1], /\b3\d\d\b/);

  // A listing's numbers before its code, and a table's column counting by one, stay.
  const listing = Array.from({ length: 12 }, (_, i) => [line(words("Left", i), 54, 100 + 11 * i, 245, { size: 9 }),
    line(String(63 + i), 314, 101 + 11 * i, 8, { size: 7, base: 107 + 11 * i }), line(`\\setboolean{flag${i}}{true}%`, 329, 100 + 11 * i, 140, { size: 9, mono: true })]);
  const table = Array.from({ length: 6 }, (_, i) => [line(`\\level${"abcdef"[i]}`, 150, 100 + 11 * i, 60), line(String(i), 260, 100 + 11 * i, 5),
    line("display", 300, 100 + 11 * i, 30)]);
  assert.match(lay(listing.flat())[1], /\b74\b.*setboolean\{flag11\}/s);
  assert.match(lay(table.flat())[1], /levelf 5/);
});

test("a line read in pieces stays one line of its paragraph", () => {
  // The text before a tall sum sits a little lower than the rest of its line.
  const [, all] = lay([
    line("We count the cycles of the graph one by one, as the lemma before told us to do.", 134, 590, 344),
    line("Let k = x and k = − Σ", 134, 612.7, 135, { h: 13, base: 622.3, math: 13 }),
    line("j k. Then the number of Hamiltonian cycles", 268.8, 612.7, 208.7, { h: 14.5, base: 619.6, math: 6 }),
    line("Hc is given by the relation [8] that follows.", 134, 627.3, 190)]);
  assert.match(all, /Let k.*Hamiltonian cycles Hc is given/);
  // A caption in smaller type right beside a column's line, a little higher, is no piece of it.
  assert.doesNotMatch(lay([line("(very bad page breaks) on to the reader's attention, when the", 147, 377, 195, { base: 386, size: 9.5 }),
    line("Table 1: Sizes of the type area in the large and", 344, 376, 172, { base: 384.5, size: 8 })])[1], /the Table 1/);
});

test("a sentence goes on into its next line, whatever type that line is set in", () => {
  // Characters' left and right edges, each `widths[i]` wide from x on.
  const cx = (widths, x) => widths.flatMap((w) => { x += w; return [x - w, x]; });
  const mono = (n) => Array(n).fill(5.7);
  const [, all] = lay([
    // A full line, then one mostly of an address in typewriter face; a label on a line of its own;
    // terms in bold and roman that wrap after a semicolon.
    line("Please also ensure that the document compiles and post to the", 90, 100, 432),
    line("friendly people on the exchange or to the people of the LaTeX Community", 90, 113, 432),
    line("Forum (https://example.org/forum/).", 90, 126, 184, { mono: true, cx: cx([6.1, 5, 3.9, 5.5, 8.3, 3.3, 3.9, ...mono(26), 3.9, 2.8], 90) }),
    line("Note:", 90, 154, 32),
    line("This is a numbered theorem-like environment that was defined for the paper.", 90, 167, 432),
    line("And this is the text after it.", 90, 180, 140),
    line("Concepts: • Computer systems organization → Embedded systems;", 90, 208, 432, { bold: true, size: 8, h: 7.5 }),
    line("Redundancy; Robotics; • Networks → Network reliability.", 90, 218, 300, { size: 8, h: 7.5 })]);
  assert.match(all, /LaTeX Community Forum \(https:\/\/example\.org\/forum\/\)\.$/m);
  assert.match(all, /: Note: This is a numbered/);
  assert.match(all, /Embedded systems; Redundancy/);
  // An index's entry ends at its page numbers, whatever face the next starts in.
  const [index, indexText] = lay([line("Layout: set \\footskip . . . . . . . . . . . 27, 30, 39, 105", 382, 629, 168.5, { size: 9 }),
    line("Pkg: mathptmx replaces times", 382, 641, 114, { size: 9, mono: true, cx: cx([5, 4.7, 4.7, 2.5, 3, ...mono(23)], 382) })]);
  assert.equal(index.blocks.length, 2, indexText);
  // A title's second line in typewriter face stays its own.
  assert.match(lay([line("Sample Paper for the Package", 168, 100, 274, { size: 17 }),
    line("File name: sample.tex", 212, 122, 186, { size: 17, mono: true, cx: cx([10, 4.7, 4.7, 7.5, 4.7, ...mono(16)], 212) }),
    line("The body of the paper starts here and goes on for a while.", 134, 160, 343)])[1], /^\S+: Sample Paper for the Package$/m);
  // A command's two forms shown under each other far in from the margin, the first mostly in
  // typewriter face (its arguments are not), the second in the text's italic, stay two lines.
  const body = (i) => line(`All financial support must be listed with these commands, line ${i} of it,`, 81, 100 + 12 * i, 417);
  assert.match(lay([body(0), body(1),
    line("\\grantsponsor{⟨sponsorID⟩}{⟨name⟩}{⟨url⟩}", 169.6, 130, 192, { mono: true, cx: cx(Array.from({ length: 42 }, (_, i) => [5.2, 3.5, 4.1][i % 3]), 169.6) }),
    line("\\grantnum[⟨url⟩]{⟨sponsorID⟩}{⟨number⟩}.", 169.6, 142, 183, { italic: true }), body(5)])[1], /⟨url⟩\}\n\S+: \\grantnum/);
});

test("a sentence cut by a table goes on after it, also after a bracket", () => {
  // The left column ends inside the sentence; the right one starts with the table's caption.
  const [laid, all] = lay([
    ...column(57, "The left column's", 100, 30),
    line("the fonts defined in the class file (v2.3 of 2019/01/15) in standard, bold", 57, 460, 234),
    line("(i. e., \\textbf) or italic (i. e., \\textit)", 57, 472, 234),
    line("Table 1: Margin Settings", 360, 100, 123),
    line("form and symbols from the standard set of fonts. In Word use only Symbol and,", 305, 200, 234),
    ...column(305, "The right column's", 212, 20)]);
  assert.ok(laid.blocks.find((b) => b.text.startsWith("form and symbols")).joins, all);
  // A date after a version number heads the entries under it; a label in a drawing is no sentence.
  assert.doesNotMatch(lay([line("1.19 (2014/09/29)", 90, 100, 80), line("signoff: added a page break where it was missing", 100, 130, 200)])[1], /^\S+\+:/m);
  assert.doesNotMatch(lay([line("standard", 387, 190, 40), line("(21 × 29.7)", 380, 202, 54), line("standardaureo (21 × 29.7)", 380, 250, 70)])[1], /^\S+\+:/m);
});

test("notes at the foot of a column go after the paragraph that calls them, not into the sentence they cut", () => {
  const small = { size: 7.5, h: 6.8 };
  // The marks raised in the paragraph over the column, or in the sentence the notes cut.
  const calls = (above) => lay([
    line("This is an example of a new paragraph with a numbered footnote1 and a second marker.2", 54, 270, 180,
      { ...small, marks: above ? ["1", "2"] : [] }),
    line("3 A note that no text calls.", 54, 728.8, 100, { size: 8, h: 10.1 }),
    ...column(54, "The left column's", 300, 36, 10.5, small),
    line("Ut enim ad minim veniam, quis nostrud exercitation ullamco", 54, 682.3, 234, { ...small, marks: above ? [] : ["2", "1"] }),
    line("1 https://data.gov.uk/", 54, 706.2, 93, { size: 8, h: 9.6, mono: true }),
    line("2 Example of footnote text.", 54, 717.5, 104, { size: 8, h: 10.1 }),
    line("laboris nisi ut aliquip ex ea commodo consequat. Duis aute irure", 307, 300, 234, small),
    ...column(307, "The right column's", 310.5, 40, 10.5, small)], [{ x: 54, y: 704.5, w: 235, h: 0.5 }]);
  const [laid, all] = calls(true);
  assert.ok(laid.blocks.find((b) => b.text.startsWith("laboris")).joins, all);
  assert.deepEqual(laid.blocks.map((b) => b.text.slice(0, 10)).filter((t, i) => i < 3 || /^\d /.test(t)),
    ["This is an", "1 https://", "2 Example ", "3 A note t"], all);
  // Called from the sentence, they go after its part in the next column, in their order.
  const [cut, cutText] = calls(false);
  assert.deepEqual(cut.blocks.slice(-4).map((b) => b.text.slice(0, 10)), ["laboris ni", "1 https://", "2 Example ", "3 A note t"], cutText);
});

test("on a double-spaced page a full line goes on in the line under it; short lines stay apart", () => {
  const [, all] = lay([
    line("Andrew N. Other, Fred T. Secondauthor, I. Ken Groupleader, Susanne", 76, 173, 460, { size: 14.3, h: 15.5, base: 186 }),
    line("K. Laborator, and Kay T. Finally", 199, 200, 214, { size: 14.3, h: 18.2, base: 215.7 }),
    line("Department of Chemistry, Unknown University, Unknown Town", 139, 242, 334, { size: 12, h: 11.3, base: 251.3 }),
    line("Department of Chemistry, Second University, Nearby Town", 150, 266, 311, { size: 12, h: 11.3, base: 275.2 }),
    // The body, double-spaced.
    ...Array.from({ length: 8 }, (_, i) => line(`The body of the manuscript goes on over the page, line ${i} of it, and`, 101, 482 + 22.6 * i, 409,
      { size: 10.9, h: 10.1, base: 490.6 + 22.6 * i }))]);
  assert.match(all, /Susanne K\. Laborator, and Kay T\. Finally$/m);
  assert.match(all, /^\S+: Department of Chemistry, Second University, Nearby Town$/m);
  // Widely spaced entries (a sentence each, or a default set flush right) stay apart; a page of
  // centred lines tells no leading.
  const spaced = (text, i, x = 85, w = 425) => line(text, x, 100 + 22 * i, w, { size: 12, h: 12, base: 109.5 + 22 * i });
  assert.doesNotMatch(lay([
    spaced("Prints a page of 16 cm by 24 cm with a type block of 11 cm by 16.5 cm.", 0),
    spaced("Prints a page of 17 cm by 24 cm with a type block of 12 cm by 18.5 cm.", 1),
    spaced("Compact The same as the one before but with a golden ratio type block.", 2),
    spaced("default: all", 3, 454, 56),
    spaced("This option activates the ragged style and disables the other styles of", 4),
    spaced("the contents, whatever else was chosen before it in the preamble here.", 5),
    ...[6, 7, 8, 9].map((i) => spaced(`Entry ${i} says what its option does on the page, in a sentence.`, i))])[1],
  /16\.5 cm\. Compact|default: all This/);
  const [title, titleText] = lay(Array.from({ length: 10 }, (_, i) => spaced(`Line ${i} of a title page, set centred`, i, 200 - 10 * (i % 3), 212 + 20 * (i % 3))));
  assert.equal(title.blocks.length, 10, titleText);
});

test("a table's notes under it go with the table; the sentence it cut goes on past them", () => {
  const lines = [
    line("Import your image using either package. These packages both define the command,", 144, 80, 354),
    line("but they differ in the optional arguments for specifying the orientation, scal-", 144, 92, 354),
    line("Table 2: Numbers in columns", 250, 110, 120),
    line("One", 150, 130, 20), line("Two", 300, 130, 20), line("Three", 450, 130, 30),
  ];
  for (let r = 0; r < 4; r++) lines.push(line(`row${r}`, 150, 150 + 12 * r, 25), line(String(r), 300, 150 + 12 * r, 6), line(`${r}.5`, 450, 150 + 12 * r, 14));
  lines.push(line("a Some tables require footnotes.", 146, 203, 120, { size: 8 }), line("b Some tables need more than one.", 146, 213, 130, { size: 8 }),
    line("ing, and translation of the figure. The figure is small enough for a single column.", 144, 240, 354));
  const [laid, all] = lay(lines, [124, 142, 199].map((y) => ({ x: 144, y, w: 354, h: 0.6 })));
  assert.ok(laid.blocks.filter((b) => /Some tables/.test(b.text)).every((b) => b.kind === "caption"), all);
  assert.ok(laid.blocks.find((b) => b.text.startsWith("ing, and")).joins, all);
});

test("a paragraph cut by a page after a word in lower case goes on at the next page's margin", () => {
  const body = (n, i) => line(`Words of the page ${n} fill its line ${i} from the margin to the edge here.`, 72, 100 + 12 * i, 468);
  const lead = Array.from({ length: 30 }, (_, i) => body(1, i));
  const first = [...lead, line("This sample file demonstrates a simple use of", 82, 460, 458)];
  const next = (start, x, before = first) => layoutDocument([page(before, [], 0),
    page([line(start, x, 100, 540 - x), ...Array.from({ length: 30 }, (_, i) => body(2, i + 1))], [], 1)])[1];
  const joined = next("BibTeX via a command that names the file of the references here.", 72);
  assert.ok(joined.blocks[0].joins, texts(joined));
  // A paragraph set in on the next page starts afresh.
  const apart = next("Another paragraph starts on the next page with a word of its own.", 82);
  assert.ok(!apart.blocks[0].continues, texts(apart));
  // An address set flush right reaches the edge with every line, and a line in smaller type is
  // other text: each ends where it ends.
  const abstract = "This paper is an example and a template for the class, at the margin.";
  const address = [...lead, line("Department of Mechanical Engineering, Institute of", 290, 436, 250),
    line("Technology, Cambridge, MA 02139 USA", 362, 448, 178), line("email: lienhard@mit.edu", 432, 460, 108)];
  assert.ok(!next(abstract, 72, address).blocks[0].continues, texts(next(abstract, 72, address)));
  const small = [...lead, line("This sample file demonstrates a simple use of", 72, 460, 468, { size: 9.2 })];
  assert.ok(!next(abstract, 72, small).blocks[0].continues, texts(next(abstract, 72, small)));
});
