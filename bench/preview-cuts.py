#!/usr/bin/env python3
"""Counts the citation previews of a paper that cut a text line.

    bench/preview-cuts.py PDF [--bench PATH] [--verbose]

Runs `folvan-bench PDF --previews`, takes each region it prints ("preview
PAGE X Y W H", PDF user space) and the page's text lines from
`pdftotext -bbox-layout -cropbox` (poppler-utils), and counts, on the page
as shown (turned by its /Rotate, measured from the crop box's corner), the
regions that cut a line: one that overlaps the region across and that its
top or bottom edge runs through, or one it crosses (its middle lies between
the region's top and bottom) that reaches past its left or right edge. One
line of a region may stick out at a side: one the paper set too wide for
its column, past the right edge by up to OVERFULL points, or one of the
next column reaching into the region by up to OVERFULL points.

Prints "cut N of M" and, with --verbose, each cut region with the link's
text, the line cut and by how much at each edge (left, right, above the
top, below the bottom). A page whose text cannot be read is an error, not
a page without lines.
"""

import argparse
import html
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

OVERFULL = 20.0  # points a single overfull line may stick out
SLACK = 0.5      # points of rounding
# Characters XML 1.0 does not allow, which pdftotext writes as they are
# when a font maps a glyph to one (a math font's symbols, set as U+0002).
NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def page_frames(pdf):
    """The crop box (x0, y0, x1, y1) and /Rotate of each page, by 1-based
    page number."""
    out = subprocess.run(["pdfinfo", "-box", "-f", "1", "-l", "100000", pdf],
                         capture_output=True, text=True, check=True).stdout
    frames = {}
    for m in re.finditer(r"^Page\s+(\d+) CropBox:\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)", out, re.M):
        frames[int(m.group(1))] = [tuple(float(v) for v in m.groups()[1:]), 0]
    for m in re.finditer(r"^Page\s+(\d+) rot:\s+(-?\d+)", out, re.M):
        if int(m.group(1)) in frames:
            frames[int(m.group(1))][1] = int(m.group(2)) % 360
    return frames


def shown(region, frame):
    """A region in PDF user space as (left, top, right, bottom) on the page
    as shown (turned by /Rotate, y down), as pdftotext gives its boxes."""
    (x0, y0, x1, y1), rotate = frame
    x, y, w, h = region
    left, right, low, high = x - x0, x + w - x0, y - y0, y + h - y0
    width, height = x1 - x0, y1 - y0
    if rotate == 90:
        return (low, left, high, right)
    if rotate == 180:
        return (width - right, low, width - left, high)
    if rotate == 270:
        return (height - high, width - right, height - low, width - left)
    return (left, height - high, right, height - low)


def page_lines(pdf, number):
    """The text lines of a 1-based page as (left, top, right, bottom, text)
    on the page as shown (y down, from the crop box's corner)."""
    out = subprocess.run(["pdftotext", "-q", "-cropbox", "-f", str(number), "-l", str(number), "-bbox-layout",
                          pdf, "-"], capture_output=True, check=True).stdout.decode("utf-8", "replace")
    # A glyph read as a character XML refuses keeps its box.
    out = NOT_XML.sub("\ufffd", out)
    # The XHTML names a namespace; strip it so that the tags read plainly.
    out = re.sub(r'\sxmlns="[^"]*"', "", out, count=1)
    out = re.sub(r"<!DOCTYPE[^>]*>", "", out)
    try:
        root = ET.fromstring(out)
    except ET.ParseError as error:
        raise SystemExit(f"{pdf}: the text of page {number} does not read: {error}")
    lines = []
    for line in root.iter("line"):
        words = line.findall("word")
        if not words:
            continue
        lines.append((min(float(w.get("xMin")) for w in words), min(float(w.get("yMin")) for w in words),
                      max(float(w.get("xMax")) for w in words), max(float(w.get("yMax")) for w in words),
                      " ".join(html.unescape(w.text or "") for w in words)))
    return lines


def through(edge, line, lines):
    """How much of a line lies beyond an edge that runs through it, on its
    smaller side; 0 when the edge misses it. A line's box reaches from its
    font's lowest glyph to its highest, and where a paper sets its lines
    close the boxes of two lines overlap: an edge where they do, the line
    on the other side of it overlapping this one across and by less than
    half the height of either, falls between them."""
    left, top, right, bottom, _ = line
    depth = min(edge - top, bottom - edge) - SLACK
    if depth <= 0:
        return 0.0
    for other in lines:
        o_left, o_top, o_right, o_bottom, _ = other
        if other is line or o_right <= left or o_left >= right:
            continue
        overlap = min(bottom, o_bottom) - max(top, o_top)
        beside = ((top + bottom) / 2 > edge) != ((o_top + o_bottom) / 2 > edge)
        if beside and overlap < min(bottom - top, o_bottom - o_top) / 2 and o_top - SLACK <= edge <= o_bottom + SLACK:
            return 0.0
    return depth


def cuts(region, lines):
    """The lines a region (left, top, right, bottom, as shown) cuts: (line,
    how far it reaches past the left edge, past the right edge, above the
    top edge, below the bottom edge)."""
    x, top, x_end, bottom = region
    found = []
    for line in lines:
        left, line_top, right, line_bottom, _ = line
        if right <= x or left >= x_end:
            continue
        past_left = past_right = 0.0
        middle = (line_top + line_bottom) / 2
        if top <= middle <= bottom:
            past_left = max(0.0, x - left - SLACK)
            past_right = max(0.0, right - x_end - SLACK)
        past_top = top - line_top if through(top, line, lines) else 0.0
        past_bottom = line_bottom - bottom if through(bottom, line, lines) else 0.0
        if past_left or past_right or past_top or past_bottom:
            found.append((line, past_left, past_right, past_top, past_bottom))
    return found


def is_cut(found, region):
    """Whether the lines a region cuts make it a cut region: any line its
    top or bottom edge runs through, else any two, or one that is not an
    overfull line of the paper's own (one that reaches past the right edge
    by at most OVERFULL, or one of the next column that reaches into the
    region by at most OVERFULL)."""
    if len(found) != 1 or any(past_top or past_bottom for _, _, _, past_top, past_bottom in found):
        return bool(found)
    (left, _, right, _, _), past_left, past_right, _, _ = found[0]
    inside = min(right, region[2]) - max(left, region[0])
    return not ((not past_left and past_right <= OVERFULL) or inside <= OVERFULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf")
    parser.add_argument("--bench", default=str(Path(__file__).resolve().parent.parent / "build/bench/folvan-bench"))
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    out = subprocess.run([args.bench, args.pdf, "--previews"], capture_output=True, text=True, check=True).stdout
    regions = []
    for block in re.split(r"^(?=preview )", out, flags=re.M):
        m = re.match(r"preview (\d+) ([-\d.]+) ([-\d.]+) ([-\d.]+) ([-\d.]+)", block)
        if m:
            link = re.search(r"^  link: (.*)$", block, re.M)
            regions.append((int(m.group(1)), tuple(float(v) for v in m.groups()[1:]), link.group(1) if link else ""))
    frames = page_frames(args.pdf)
    lines = {}
    count = 0
    for page, region, link in regions:
        if page not in lines:
            lines[page] = page_lines(args.pdf, page + 1)
        region = shown(region, frames.get(page + 1, ((0, 0, 0, 0), 0)))
        found = cuts(region, lines[page])
        if not is_cut(found, region):
            continue
        count += 1
        if args.verbose:
            print(f"page {page + 1} [{region[0]:.0f}, {region[2]:.0f}] x [{region[1]:.0f}, {region[3]:.0f}]"
                  f" link \"{link}\"")
            for (left, _, right, _, text), past_left, past_right, past_top, past_bottom in found:
                print(f"    {past_left:5.1f} <- [{left:.0f}, {right:.0f}] -> {past_right:5.1f}"
                      f"  ^{past_top:5.1f} v{past_bottom:5.1f}  {text[:70]}")
    print(f"cut {count} of {len(regions)}")


if __name__ == "__main__":
    sys.exit(main())
