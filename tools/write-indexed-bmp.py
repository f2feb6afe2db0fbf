#!/usr/bin/env python3
"""Reads a binary PPM (P6) on standard input and writes it as an 8-bit BMP with a palette of
exactly 255 entries, the format the panel's background picture uses."""
import struct
import sys

PALETTE_ENTRIES = 255


def read_ppm(data):
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit("expected an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height * 3]
    return width, height, pixels


def main():
    width, height, pixels = read_ppm(sys.stdin.buffer.read())
    palette = {}
    indices = bytearray()
    for i in range(0, len(pixels), 3):
        colour = pixels[i:i + 3]
        if colour not in palette:
            if len(palette) == PALETTE_ENTRIES:
                sys.exit("the picture has more than 255 colours; draw it without anti-aliasing")
            palette[colour] = len(palette)
        indices.append(palette[colour])
    row_size = (width + 3) & ~3
    rows = bytearray()
    for y in reversed(range(height)):  # BMP rows go bottom-up
        row = indices[y * width:(y + 1) * width]
        rows += row + bytes(row_size - width)
    colours = bytearray()
    ordered = sorted(palette.items(), key=lambda item: item[1])
    for colour, _ in ordered:
        r, g, b = colour
        colours += bytes((b, g, r, 0))
    colours += bytes(4 * (PALETTE_ENTRIES - len(ordered)))
    offset = 14 + 40 + len(colours)
    header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 2835, 2835,
                       PALETTE_ENTRIES, 0)
    with open(sys.argv[1], "wb") as out:
        out.write(header + info + colours + rows)


main()
