"""The check of bench/preview-cuts.py: it reads each page's lines where
the regions are, and finds a line cut at any edge of a region."""

import importlib.util
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "bench" / "preview-cuts.py"
spec = importlib.util.spec_from_file_location("preview_cuts", SCRIPT)
preview_cuts = importlib.util.module_from_spec(spec)
spec.loader.exec_module(preview_cuts)

CROP = (92, 65, 523, 731)
BASELINES = (300, 286, 272)  # Courier 12: lines 14 apart, 4.5 points between their boxes
CLOSE = (300, 292)           # 8 apart: their boxes overlap by 1.4 points
LINE = "Preview lines A"         # its "A" reads as U+0002, as a math font's symbols do
WIDTH = 12 * 0.6 * len(LINE)


def to_page(page, u, v):
    """PDF user space of a point of a 1-based page as shown, u across from
    the crop box's left and v up from its bottom: page 2 is turned by
    /Rotate 90, its text written up the page to read across as shown."""
    return (CROP[2] - v, CROP[1] + u) if page == 2 else (CROP[0] + u, CROP[1] + v)


def region(page, u, v, width, height):
    """A region (x, y, w, h in PDF user space) from its lower left corner
    and size as shown."""
    return (*to_page(page, u, v + height), height, width) if page == 2 else (*to_page(page, u, v), width, height)


def write_paper(path):
    """Three pages with the crop box CROP and lines of LINE at u = 8, as
    shown: on BASELINES on the first two, on CLOSE on the third."""
    def content(page):
        turn = b"0 1 -1 0" if page == 2 else b"1 0 0 1"
        text = b"".join(b"BT /F1 12 Tf %s %g %g Tm (%s) Tj ET " % (turn, *to_page(page, 8, v), LINE.encode())
                        for v in (CLOSE if page == 3 else BASELINES))
        return b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text)
    cmap = (b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Sym def "
            b"1 begincodespacerange <00> <FF> endcodespacerange 1 beginbfchar <41> <0002> endbfchar "
            b"endcmap CMapName currentdict /CMap defineresource pop end end")
    page = ("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /CropBox [%d %d %d %d] /Rotate %%d "
            "/Resources << /Font << /F1 3 0 R >> >> /Contents %%d 0 R >>" % CROP)
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [5 0 R 6 0 R 7 0 R] /Count 3 >>",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier /ToUnicode 4 0 R >>",
               b"<< /Length %d >>\nstream\n%s\nendstream" % (len(cmap), cmap),
               (page % (0, 8)).encode(), (page % (90, 9)).encode(), (page % (0, 10)).encode(),
               content(1), content(2), content(3)]
    out, offsets = b"%PDF-1.4\n", []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    path.write_bytes(out)


class PreviewCutsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.paper = Path(cls.folder.name) / "paper.pdf"
        write_paper(cls.paper)
        cls.frames = preview_cuts.page_frames(str(cls.paper))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def cut(self, page, region):
        """Whether a region (x, y, w, h in PDF user space) of a 1-based page
        cuts a line, and the lines it cuts."""
        lines = preview_cuts.page_lines(str(self.paper), page)
        self.assertEqual(len(lines), len(CLOSE if page == 3 else BASELINES))
        shown = preview_cuts.shown(region, self.frames[page])
        found = preview_cuts.cuts(shown, lines)
        return preview_cuts.is_cut(found, shown), found

    def test_a_region_between_lines_cuts_none_on_a_page_turned_or_not(self):
        for page in (1, 2):
            with self.subTest(page=page):
                # The middle line, half the gaps to its neighbours above and
                # below it, and 10 points either side.
                self.assertEqual(self.cut(page, region(page, -2, 282, WIDTH + 20, 14)), (False, []))
                # All three lines.
                self.assertFalse(self.cut(page, region(page, -2, 268, WIDTH + 20, 42))[0])

    def test_any_edge_through_a_line_cuts_it(self):
        for page in (1, 2):
            for edge, cutting in (("top", region(page, -2, 282, WIDTH + 20, 20)),
                                  ("bottom", region(page, -2, 276, WIDTH + 20, 20)),
                                  ("side", region(page, -2, 282, WIDTH / 2, 14))):
                with self.subTest(page=page, edge=edge):
                    cut, found = self.cut(page, cutting)
                    self.assertTrue(cut)
                    self.assertEqual([line[4].replace("\ufffd", "A") for line, *_ in found], [LINE])

    def test_an_edge_where_the_boxes_of_close_lines_overlap_falls_between_them(self):
        # The boxes reach 7.55 over the baselines and 1.88 under them.
        for edge, cut in ((300 - 1.88 + 0.3, False), (292 + 7.55 - 0.3, False), (300 - 1.88 - 1, True)):
            with self.subTest(edge=edge):
                self.assertEqual(self.cut(3, region(3, -2, edge, WIDTH + 20, 40))[0], cut)
                self.assertEqual(self.cut(3, region(3, -2, edge - 40, WIDTH + 20, 40))[0], cut)


if __name__ == "__main__":
    if not shutil.which("pdftotext") or not shutil.which("pdfinfo"):
        print("pdftotext and pdfinfo (poppler-utils) are not installed")
        sys.exit(77)
    unittest.main()
