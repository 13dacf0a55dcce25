#!/usr/bin/env python3
"""Draws the program icon and the maker's logo as Windows .ico files (no image libraries).

lantorvix.ico: a blue rounded tile with white barcode bars and a red scan line.
logo.ico:      an orange disc with a white "L".
Run: make_icons.py <output dir>; the results are committed beside this script.
"""
import math
import struct
import sys


def rounded_tile(x, y, size, radius):
    """Coverage (0..1) of a rounded square of the given size at pixel (x, y)."""
    cx = min(max(x + 0.5, radius), size - radius)
    cy = min(max(y + 0.5, radius), size - radius)
    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
    return max(0.0, min(1.0, radius - d + 0.5))


def scanner_icon(size):
    px = []
    bars = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 1]
    margin = size * 0.18
    for y in range(size):
        row = []
        for x in range(size):
            a = rounded_tile(x, y, size, size * 0.2)
            r, g, b = 0x1F, 0x5F, 0xBF
            inner = margin <= x < size - margin and size * 0.22 <= y < size * 0.78
            if inner:
                slot = int((x - margin) / (size - 2 * margin) * len(bars))
                if bars[min(slot, len(bars) - 1)]:
                    r, g, b = 0xFF, 0xFF, 0xFF
            if abs(y + 0.5 - size / 2) < max(0.75, size / 32) and margin * 0.5 <= x < size - margin * 0.5:
                r, g, b = 0xE0, 0x20, 0x20
            row.append((r, g, b, int(round(a * 255))))
        px.append(row)
    return px


def logo_icon(size):
    px = []
    c = size / 2
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x + 0.5 - c, y + 0.5 - c)
            a = max(0.0, min(1.0, c - 0.5 - d + 0.5))
            r, g, b = 0xF0, 0x8C, 0x10
            fx, fy = (x + 0.5) / size, (y + 0.5) / size
            stem = 0.34 <= fx < 0.48 and 0.22 <= fy < 0.78
            foot = 0.34 <= fx < 0.70 and 0.64 <= fy < 0.78
            if stem or foot:
                r, g, b = 0xFF, 0xFF, 0xFF
            row.append((r, g, b, int(round(a * 255))))
        px.append(row)
    return px


def dib(pixels):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(body) + bytes(mask)


def write_ico(path, painter, sizes):
    images = [dib(painter(s)) for s in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    outdir = sys.argv[1] if len(sys.argv) > 1 else '.'
    write_ico(f'{outdir}/lantorvix.ico', scanner_icon, [16, 32, 48])
    write_ico(f'{outdir}/logo.ico', logo_icon, [16, 32, 48])
