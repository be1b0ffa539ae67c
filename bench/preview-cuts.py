#!/usr/bin/env python3
"""Counts the citation previews of a paper that cut a text line.

    bench/preview-cuts.py PDF [--bench PATH] [--verbose]

Runs `folvan-bench PDF --previews`, takes each region it prints ("preview
PAGE X Y W H", PDF user space) and the page's text lines from
`pdftotext -bbox-layout` (poppler-utils), and counts the regions in which a
line they cross (its middle lies between the region's top and bottom, and
it overlaps the region across) reaches past the region's left or right
edge. One line of a region may stick out by up to OVERFULL points: a line
the paper itself set too wide for its column.

Prints "cut N of M" and, with --verbose, each cut region with the link's
text, the line cut and by how much.
"""

import argparse
import html
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

OVERFULL = 20.0  # points a single overfull line may reach past the right edge
SLACK = 0.5      # points of rounding


def crop_boxes(pdf):
    """The crop box (x0, y0, x1, y1) of each page, by 1-based page number."""
    out = subprocess.run(["pdfinfo", "-box", "-f", "1", "-l", "100000", pdf],
                         capture_output=True, text=True, check=True).stdout
    boxes = {}
    for m in re.finditer(r"^Page\s+(\d+) CropBox:\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)", out, re.M):
        boxes[int(m.group(1))] = tuple(float(v) for v in m.groups()[1:])
    return boxes


def page_lines(pdf, number, box):
    """The text lines of a 1-based page as (left, bottom, right, top, text)
    in PDF user space."""
    out = subprocess.run(["pdftotext", "-q", "-f", str(number), "-l", str(number), "-bbox-layout", pdf, "-"],
                         capture_output=True, text=True).stdout
    # The XHTML names a namespace; strip it so that the tags read plainly.
    out = re.sub(r'\sxmlns="[^"]*"', "", out, count=1)
    out = re.sub(r"<!DOCTYPE[^>]*>", "", out)
    try:
        root = ET.fromstring(out)
    except ET.ParseError:
        return []
    x0, _, _, y1 = box
    lines = []
    for line in root.iter("line"):
        words = line.findall("word")
        if not words:
            continue
        left = min(float(w.get("xMin")) for w in words) + x0
        right = max(float(w.get("xMax")) for w in words) + x0
        top = y1 - min(float(w.get("yMin")) for w in words)
        bottom = y1 - max(float(w.get("yMax")) for w in words)
        text = " ".join(html.unescape(w.text or "") for w in words)
        lines.append((left, bottom, right, top, text))
    return lines


def cuts(region, lines):
    """The lines a region cuts: (line, how far it reaches past the left
    edge, past the right edge)."""
    x, y, w, h = region
    found = []
    for line in lines:
        left, bottom, right, top, _ = line
        middle = (bottom + top) / 2
        if not (y <= middle <= y + h) or right <= x or left >= x + w:
            continue
        past_left = max(0.0, x - left - SLACK)
        past_right = max(0.0, right - (x + w) - SLACK)
        if past_left or past_right:
            found.append((line, past_left, past_right))
    return found


def is_cut(found, region):
    """Whether the lines a region cuts make it a cut region: any two, or
    one that is not an overfull line of the paper's own (one that reaches
    past the right edge by at most OVERFULL, or one of the next column that
    reaches into the region by at most OVERFULL)."""
    if len(found) != 1:
        return bool(found)
    (left, _, right, _, _), past_left, past_right = found[0]
    x, _, w, _ = region
    inside = min(right, x + w) - max(left, x)
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
    boxes = crop_boxes(args.pdf)
    lines = {}
    count = 0
    for page, region, link in regions:
        if page not in lines:
            lines[page] = page_lines(args.pdf, page + 1, boxes.get(page + 1, (0, 0, 0, 0)))
        found = cuts(region, lines[page])
        if not is_cut(found, region):
            continue
        count += 1
        if args.verbose:
            print(f"page {page + 1} [{region[0]:.0f}, {region[0] + region[2]:.0f}] link \"{link}\"")
            for (left, _, right, _, text), past_left, past_right in found:
                print(f"    {past_left:5.1f} <- [{left:.0f}, {right:.0f}] -> {past_right:5.1f}  {text[:70]}")
    print(f"cut {count} of {len(regions)}")


if __name__ == "__main__":
    sys.exit(main())
