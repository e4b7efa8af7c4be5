#!/usr/bin/env python3
"""Draws the controller's icons and writes the three .ico files beside this script.

    txcontroller.ico, small.ico  nine images each: 16, 32, 48 and 256 px at 8 and 32 bits per
                                 pixel, and 64 px at 32 bits
    favicon.ico                  one 64 px image at 32 bits (16,958 bytes)

The picture is a blue rounded square with a white "T", drawn here by coverage sampling so the
output is the same on every run. Every image is stored in bitmap form (no PNG), which every
icon reader understands. Python 3 standard library only.
"""

import functools
import os
import struct

BACKGROUND = (0xC8, 0x6A, 0x1F)  # blue, as B, G, R
BORDER = (0x8A, 0x45, 0x10)
LETTER = (0xFF, 0xFF, 0xFF)
SAMPLES = 4  # sub-samples per pixel edge

BITMAPINFOHEADER_SIZE = 40
PELS_PER_METRE = 2835  # 72 dots per inch


def _inside_rounded_square(x, y, size, inset, radius):
    lo, hi = inset, size - inset
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def _inside_letter(x, y, size):
    bar_top, bar_bottom = size * 0.22, size * 0.36
    bar_left, bar_right = size * 0.22, size * 0.78
    stem_left, stem_right = size * 0.42, size * 0.58
    stem_bottom = size * 0.80
    in_bar = bar_left <= x <= bar_right and bar_top <= y <= bar_bottom
    in_stem = stem_left <= x <= stem_right and bar_top <= y <= stem_bottom
    return in_bar or in_stem


def _coverage(px, py, size):
    """Fractions of the pixel covered by the square, its inner area and the letter."""
    radius = size * 0.2
    border = max(1.0, size / 24.0)
    square = inner = letter = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            if not _inside_rounded_square(x, y, size, 0.0, radius):
                continue
            square += 1
            if _inside_rounded_square(x, y, size, border, max(radius - border, 0.5)):
                inner += 1
                if _inside_letter(x, y, size):
                    letter += 1
    n = SAMPLES * SAMPLES
    return square / n, inner / n, letter / n


def _blend(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


@functools.lru_cache(maxsize=None)
def draw(size):
    """Rows from the top: each pixel as (B, G, R, alpha 0..255)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            square, inner, letter = _coverage(px, py, size)
            if square == 0:
                row.append((0, 0, 0, 0))
                continue
            body = _blend(BORDER, BACKGROUND, inner / square)
            colour = _blend(body, LETTER, letter / square)
            row.append(colour + (round(square * 255),))
        rows.append(row)
    return rows


def _palette():
    """Black, then 64 steps from border to background, then 64 from background to white."""
    colours = [(0, 0, 0)]
    colours += [_blend(BORDER, BACKGROUND, i / 63) for i in range(64)]
    colours += [_blend(BACKGROUND, LETTER, i / 63) for i in range(64)]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return tuple(colours)


@functools.lru_cache(maxsize=None)
def _nearest(palette, colour):
    best, best_distance = 0, None
    for index, entry in enumerate(palette[1:129], start=1):
        distance = sum((entry[i] - colour[i]) ** 2 for i in range(3))
        if best_distance is None or distance < best_distance:
            best, best_distance = index, distance
    return best


def _mask(rows, size):
    """The 1-bit AND mask, bottom-up, rows padded to 32 bits: 1 where the pixel is transparent."""
    stride = (size + 31) // 32 * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def _info_header(size, bits, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", BITMAPINFOHEADER_SIZE, size, size * 2, 1, bits, 0,
                       image_size, PELS_PER_METRE, PELS_PER_METRE, colours_used, 0)


def bitmap_image(size, bits):
    """One icon image in bitmap form: header, palette, pixels bottom-up, AND mask."""
    rows = draw(size)
    if bits == 32:
        pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)
        return _info_header(size, 32, len(pixels), 0) + pixels + _mask(rows, size)
    palette = _palette()
    stride = (size + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            line[x] = 0 if pixel[3] < 128 else _nearest(palette, pixel[:3])
        pixels += line
    table = b"".join(bytes(c) + b"\0" for c in palette)
    return _info_header(size, 8, len(pixels), 256) + table + bytes(pixels) + _mask(rows, size)


def icon_file(images, planes=1):
    """An ICO file of (size, bits, image bytes): ICONDIR, one ICONDIRENTRY each, the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        edge = 0 if size >= 256 else size  # 0 stands for 256
        colour_count = 0  # 0 at 8 bits per pixel and more
        out += struct.pack("<BBBBHHII", edge, edge, colour_count, 0, planes, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


NINE_IMAGES = [(16, 8), (32, 8), (48, 8), (256, 8), (16, 32), (32, 32), (48, 32), (256, 32), (64, 32)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    group = icon_file([(size, bits, bitmap_image(size, bits)) for size, bits in NINE_IMAGES])
    for name in ("txcontroller.ico", "small.ico"):
        with open(os.path.join(here, name), "wb") as f:
            f.write(group)
    # The favicon's one directory entry says 0 planes, as the file the shortcut reads has it.
    favicon = icon_file([(64, 32, bitmap_image(64, 32))], planes=0)
    assert len(favicon) == 16958, len(favicon)
    with open(os.path.join(here, "favicon.ico"), "wb") as f:
        f.write(favicon)


if __name__ == "__main__":
    main()
