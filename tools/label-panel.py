#!/usr/bin/python3
"""Draws the user guide's labelled picture of the panel from the real panel: the screenshot that
the demo takes (build/quorvel-panel.png) and where each control lies in it, with the devices
its lists show (build/quorvel-panel.json); `make guide-pictures` runs the demo for it. Each
label is placed from its control's rectangle, so the picture follows the panel when the panel
changes. The picture carries a digest of the panel's sources (its template and background) and
the names of the devices its lists show; `--check` fails when the sources changed since it was
drawn, or when the guide's caption of the picture does not name those devices.
Usage: label-panel.py SCREENSHOT LAYOUT PICTURE   or   label-panel.py --check PICTURE
(Debian's python3-pil and fonts-dejavu-core)"""
import hashlib
import json
import math
import re
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont, PngImagePlugin

ROOT = Path(__file__).resolve().parents[1]
SOURCES = ["panel/Panel.rc", "panel/Background.bmp", "panel/art/Background.mvg"]
DIGEST_KEY = "quorvel-panel-sources"
DEVICES_KEY = "quorvel-panel-devices"
GUIDE = ROOT / "docs/UserGuide.md"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
INK, HALO, PAPER = "#1b1b1b", "#ffffff", "#ffffff"
MARGIN = {"left": 104, "right": 96, "top": 34, "bottom": 62}


class Callout:
    """A label on one side of the picture with a leader to a point of its controls: `at` is that
    point as fractions of the controls' rectangle; `shift` moves the label along its side from
    that point; a bottom callout over several buttons draws a bracket under them instead."""

    def __init__(self, label, names, side, at, shift=0, row=0):
        self.label, self.names, self.side, self.at, self.shift, self.row = (
            label, names, side, at, shift, row)


# "knob" is the knob drawn in the background picture: no control, nothing happens there.
CALLOUTS = [
    Callout("wheel type list", ["IDC_WHEEL_TYPE"], "top", (0.5, 0)),
    Callout("knob: a picture only", ["knob"], "top", (1, 0.5), shift=130),
    Callout("Midi Input list", ["IDC_INPUT_DEVICE"], "top", (0.5, 0)),
    Callout("in light", ["IDC_MIDI_IN_LIGHT"], "right", (1, 0.5)),
    Callout("out light", ["IDC_MIDI_OUT_LIGHT"], "right", (1, 0.5)),
    Callout("Midi Output\nlist", ["IDC_OUTPUT_DEVICE"], "right", (0.8, 1), shift=14),
    Callout("checkbox:\nsynth reports", ["IDC_SYNTH_MUTES"], "right", (1, 0.5)),
    Callout("wheel learn\nbuttons: up, dn", ["IDC_WHEEL_UP", "IDC_WHEEL_DOWN"], "left",
            (0.3, 0), shift=-14),
    Callout("drum part learn buttons", ["IDC_DRUM_1", "IDC_DRUM_7B"], "bottom", (0.5, 1)),
    Callout("synth part learn buttons", ["IDC_SYNTH_1", "IDC_SYNTH_5"], "bottom", (0.5, 1)),
    Callout("checkbox: drum reports", ["IDC_DRUM_MUTES"], "bottom", (1, 1), shift=-10, row=1),
]


def sources_digest():
    digest = hashlib.sha256()
    for relative in SOURCES:
        digest.update((ROOT / relative).read_bytes())
    return digest.hexdigest()


def knob_rect(client):
    """The knob drawn in the background picture, in the client area it is stretched to."""
    art = (ROOT / "panel/art/Background.mvg").read_text()
    width, height = map(float, re.search(r"viewbox 0 0 (\d+) (\d+)", art).groups())
    knob = art.split("# The rotary knob", 1)[1]
    cx, cy, ex, ey = map(float, re.search(r"circle ([\d.]+),([\d.]+) ([\d.]+),([\d.]+)",
                                          knob).groups())
    radius = math.hypot(ex - cx, ey - cy)
    sx, sy = client[0] / width, client[1] / height
    return ((cx - radius) * sx, (cy - radius) * sy, (cx + radius) * sx, (cy + radius) * sy)


def union(rects):
    return (min(r[0] for r in rects), min(r[1] for r in rects), max(r[2] for r in rects),
            max(r[3] for r in rects))


def spread(wanted, sizes, low, high, gap=6):
    """Positions near `wanted` (ascending) whose extents `sizes` do not overlap in [low, high]."""
    placed = []
    for centre, size in zip(wanted, sizes):
        start = max(centre - size / 2, low, placed[-1] + gap if placed else low)
        placed.append(start + size)
    overshoot = placed[-1] - high if placed else 0
    if overshoot > 0:
        placed = [end - overshoot for end in placed]
    return [end - size / 2 for end, size in zip(placed, sizes)]


def draw(screenshot, layout, picture):
    panel = Image.open(screenshot).convert("RGB")
    client = panel.size
    layout = json.loads(Path(layout).read_text())
    if "devices" not in layout:
        sys.exit("the layout does not say which devices the panel shows: take a new screenshot "
                 "with `make guide-pictures`")
    rects = dict(layout["controls"], knob=knob_rect(client))
    font = ImageFont.truetype(FONT, 12)
    left, top = MARGIN["left"], MARGIN["top"]
    canvas = Image.new("RGB", (left + client[0] + MARGIN["right"],
                               top + client[1] + MARGIN["bottom"]), PAPER)
    canvas.paste(panel, (left, top))
    pen = ImageDraw.Draw(canvas)
    bracket_y = top + client[1] + 8
    row_height = 18

    def text_size(label):
        box = pen.multiline_textbbox((0, 0), label, font=font, spacing=2)
        return box[2] - box[0], box[3] - box[1]

    def leader(start, end):
        pen.line([start, end], fill=HALO, width=4)
        pen.line([start, end], fill=INK, width=1)
        x, y = end
        pen.ellipse((x - 3, y - 3, x + 3, y + 3), fill=INK, outline=HALO)

    def anchor(callout):
        x0, y0, x1, y1 = union([rects[name] for name in callout.names])
        fx, fy = callout.at
        return left + x0 + (x1 - x0) * fx, top + y0 + (y1 - y0) * fy

    for side in ("top", "bottom", "left", "right"):
        along = 0 if side in ("top", "bottom") else 1
        for row in (0, 1):
            group = sorted((c for c in CALLOUTS if c.side == side and c.row == row),
                           key=lambda c: anchor(c)[along])
            sizes = [text_size(c.label) for c in group]
            centres = spread([anchor(c)[along] + c.shift for c in group],
                             [size[along] + (10 if along == 0 else 4) for size in sizes], 2,
                             canvas.size[along] - 2)
            for callout, (width, height), centre in zip(group, sizes, centres):
                x, y = anchor(callout)
                if side == "top":
                    origin = (centre - width / 2, 4)
                    leader((centre, 4 + height + 4), (x, y - 2))
                elif side == "left":
                    origin = (left - 12 - width, centre - height / 2)
                    leader((left - 8, centre), (x, y - 2))
                elif side == "right":
                    origin = (left + client[0] + 14, centre - height / 2)
                    leader((left + client[0] + 10, centre), (x + 2, y))
                elif len(callout.names) > 1:
                    x0, x1 = left + rects[callout.names[0]][0], left + rects[callout.names[-1]][2]
                    pen.line([(x0, bracket_y - 5), (x0, bracket_y), (x1, bracket_y),
                              (x1, bracket_y - 5)], fill=INK)
                    origin = (centre - width / 2, bracket_y + 5)
                    leader((centre, bracket_y + 4), (x, bracket_y))
                else:
                    label_y = bracket_y + 5 + row * row_height
                    origin = (centre - width / 2, label_y)
                    leader((centre, label_y - 1), (x, y + 2))
                pen.multiline_text(origin, callout.label, font=font, fill=INK, spacing=2)

    stamp = PngImagePlugin.PngInfo()
    stamp.add_text(DIGEST_KEY, sources_digest())
    stamp.add_text(DEVICES_KEY, json.dumps(layout["devices"]))
    canvas.save(picture, pnginfo=stamp, optimize=True)


def check(picture):
    stamps = Image.open(picture).text
    if stamps.get(DIGEST_KEY) != sources_digest():
        sys.exit(f"{picture} was drawn from another panel than panel/ holds now: draw it "
                 "again from a new screenshot with `make guide-pictures`")
    # The caption tells the reader which devices the lists show; the picture must show them.
    name = re.escape(Path(picture).name)
    caption = re.search(rf"!\[([^\]]*)\]\({name}\)", GUIDE.read_text())
    devices = json.loads(stamps.get(DEVICES_KEY, "{}"))
    missing = [f'{port} "{name}"' for port, name in devices.items()
               if not caption or f'"{name}"' not in caption[1]]
    if not devices or missing:
        sys.exit(f"{picture} shows devices its caption in {GUIDE.name} does not name "
                 f"({', '.join(missing) or 'none stamped'}): draw it again with "
                 "`make guide-pictures`, or name them in the caption")


def main():
    if sys.argv[1:2] == ["--check"]:
        check(sys.argv[2])
    else:
        draw(*sys.argv[1:4])


main()
