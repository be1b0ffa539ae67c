"""The check of bench/preview-cuts.py: it reads each page's lines where
the regions are, and finds a line cut at any edge of a region."""

import importlib.machinery
import shutil
import sys
import tempfile
import types
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "bench" / "preview-cuts.py"
preview_cuts = types.ModuleType("preview_cuts")
preview_cuts.__file__ = str(SCRIPT)
importlib.machinery.SourceFileLoader("preview_cuts", str(SCRIPT)).exec_module(preview_cuts)

CROP = (92, 65, 523, 731)
# Courier 12 baselines as shown: 14 apart (4.5 points between the boxes) on
# pages 1 and 2, page 2 turned by /Rotate 90; 8 apart (the boxes overlap by
# 1.4 points) on page 3.
BASELINES = {1: (300, 286, 272), 2: (300, 286, 272), 3: (300, 292)}
LINE = "Preview lines A"  # its "A" reads as U+0002, as a math font's symbols do
WIDTH = 12 * 0.6 * len(LINE)


def to_page(page, u, v):
    """PDF user space of a point u across and v up from the crop box's corner as shown."""
    return (CROP[2] - v, CROP[1] + u) if page == 2 else (CROP[0] + u, CROP[1] + v)


def stream(data):
    return b"<< /Length %d >>\nstream\n%s\nendstream" % (len(data), data)


def write_paper(path):
    cmap = (b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Sym def "
            b"1 begincodespacerange <00> <FF> endcodespacerange 1 beginbfchar <41> <0002> endbfchar "
            b"endcmap CMapName currentdict /CMap defineresource pop end end")
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [5 0 R 7 0 R 9 0 R] /Count 3 >>",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier /ToUnicode 4 0 R >>", stream(cmap)]
    for page, baselines in BASELINES.items():
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /CropBox [%d %d %d %d] /Rotate %d"
                       b" /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>"
                       % (*CROP, 90 if page == 2 else 0, len(objects) + 2))
        turn = b"0 1 -1 0" if page == 2 else b"1 0 0 1"
        objects.append(stream(b"".join(b"BT /F1 12 Tf %s %g %g Tm (%s) Tj ET " % (turn, *to_page(page, 8, v), LINE.encode())
                                       for v in baselines)))
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
        folder = tempfile.TemporaryDirectory()
        cls.addClassCleanup(folder.cleanup)
        cls.paper = Path(folder.name) / "paper.pdf"
        write_paper(cls.paper)
        cls.frames = preview_cuts.page_frames(str(cls.paper))

    def cut(self, page, v, height, width=WIDTH + 20):
        """Whether a region v up from the crop box's corner and 2 points left of it (10 left of the
        lines), its size as shown, cuts a line of a 1-based page, and the lines it cuts."""
        lines = preview_cuts.page_lines(str(self.paper), page)
        self.assertEqual(len(lines), len(BASELINES[page]))
        x, y = to_page(page, -2, v + height if page == 2 else v)
        shown = preview_cuts.shown((x, y, height, width) if page == 2 else (x, y, width, height), self.frames[page])
        found = preview_cuts.cuts(shown, lines)
        return preview_cuts.is_cut(found, shown), found

    def test_a_region_between_lines_cuts_none_and_any_edge_through_a_line_cuts_it(self):
        for page in (1, 2):
            with self.subTest(page=page):
                # The middle line, half the gaps to its neighbours, 10 points either side; all three lines.
                self.assertEqual(self.cut(page, 282, 14), (False, []))
                self.assertFalse(self.cut(page, 268, 42)[0])
            for edge, cutting in (("top", (282, 20)), ("bottom", (276, 20)), ("side", (282, 14, WIDTH / 2))):
                with self.subTest(page=page, edge=edge):
                    cut, found = self.cut(page, *cutting)
                    self.assertTrue(cut)
                    self.assertEqual([line[4].replace("\ufffd", "A") for line, *_ in found], [LINE])

    def test_an_edge_where_the_boxes_of_close_lines_overlap_falls_between_them(self):
        # The boxes reach 7.55 over the baselines and 1.88 under them.
        for edge, cut in ((300 - 1.88 + 0.3, False), (292 + 7.55 - 0.3, False), (300 - 1.88 - 1, True)):
            with self.subTest(edge=edge):
                self.assertEqual(self.cut(3, edge, 40)[0], cut)
                self.assertEqual(self.cut(3, edge - 40, 40)[0], cut)


if __name__ == "__main__":
    if not shutil.which("pdftotext") or not shutil.which("pdfinfo"):
        print("pdftotext and pdfinfo (poppler-utils) are not installed")
        sys.exit(77)
    unittest.main()
