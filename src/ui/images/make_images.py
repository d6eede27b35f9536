#!/usr/bin/env python3
"""Draws the window's status icons and the start-up emblem and writes them as PNG files.

Run it from anywhere; it rewrites the four PNG files next to itself. The build embeds those
files, so redrawing an image is: change this script, run it, rebuild.

The icons are opaque 18 x 18 RGB pictures with the row panel colour baked in (the window copies
them 1:1 onto the panel); the emblem is a 128 x 128 RGBA picture that the program composites over
the launch window's background.
"""
import math
import os
import struct
import zlib

PANEL = (37, 37, 38)
HERE = os.path.dirname(os.path.abspath(__file__))
SUPERSAMPLE = 4


def png_bytes(width, height, rows, colour_type):
    """rows: list of bytes objects, each one scanline without the filter byte."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def coverage(size, inside):
    """Fraction of each pixel covered by the shape `inside(x, y)` (pixel units, y down)."""
    grid = []
    step = 1.0 / SUPERSAMPLE
    for py in range(size):
        line = []
        for px in range(size):
            hits = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    if inside(px + (sx + 0.5) * step, py + (sy + 0.5) * step):
                        hits += 1
            line.append(hits / (SUPERSAMPLE * SUPERSAMPLE))
        grid.append(line)
    return grid


def near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width


def ring(cx, cy, radius, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - radius) <= half_width


def icon(colour, glyph):
    size = 18
    shape_ring = ring(9.0, 9.0, 7.6, 0.95)
    shape = lambda x, y: shape_ring(x, y) or glyph(x, y)
    cover = coverage(size, shape)
    rows = []
    for line in cover:
        row = bytearray()
        for c in line:
            for channel in range(3):
                row.append(round(PANEL[channel] + (colour[channel] - PANEL[channel]) * c))
        rows.append(bytes(row))
    return png_bytes(size, size, rows, 2)


def check_mark(x, y):
    return near_segment(x, y, 5.6, 9.2, 8.0, 11.6, 0.85) or near_segment(x, y, 8.0, 11.6, 12.6, 6.6, 0.85)


def three_dots(x, y):
    return any(math.hypot(x - cx, y - 9.0) <= 1.15 for cx in (5.8, 9.0, 12.2))


def cross(x, y):
    return near_segment(x, y, 6.2, 6.2, 11.8, 11.8, 0.85) or near_segment(x, y, 11.8, 6.2, 6.2, 11.8, 0.85)


def emblem():
    """A rounded tile with a stylised 'V' and a small spark; transparent outside the tile."""
    size = 128

    def tile(x, y):
        # Rounded square 8..120 with corner radius 26.
        lo, hi, r = 8.0, 120.0, 26.0
        cx = min(max(x, lo + r), hi - r)
        cy = min(max(y, lo + r), hi - r)
        return math.hypot(x - cx, y - cy) <= r

    def letter(x, y):
        return (near_segment(x, y, 38, 40, 64, 92, 8.5) or near_segment(x, y, 64, 92, 90, 40, 8.5))

    def spark(x, y):
        return abs(x - 92) + abs(y - 34) <= 9

    tile_cover = coverage(size, tile)
    letter_cover = coverage(size, letter)
    spark_cover = coverage(size, spark)
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            # Tile: a vertical gradient from deep teal to blue.
            t = py / (size - 1)
            base = (int(20 + 12 * t), int(120 - 40 * t), int(170 + 40 * t))
            mark = (236, 246, 252)
            glow = (255, 206, 102)
            lc = letter_cover[py][px]
            sc = spark_cover[py][px]
            colour = [base[i] + (mark[i] - base[i]) * lc for i in range(3)]
            colour = [colour[i] + (glow[i] - colour[i]) * sc for i in range(3)]
            alpha = tile_cover[py][px]
            row += bytes(round(min(255, max(0, v))) for v in colour)
            row.append(round(255 * alpha))
        rows.append(bytes(row))
    return png_bytes(size, size, rows, 6)


def main():
    images = {
        "status_icon_done.png": icon((83, 213, 156), check_mark),
        "status_icon_pending.png": icon((64, 169, 255), three_dots),
        "status_icon_missing.png": icon((255, 140, 112), cross),
        "startup_logo.png": emblem(),
    }
    for name, data in images.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
