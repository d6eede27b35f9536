#!/usr/bin/env python3
"""Draws the program icon (a rounded teal tile with a white "V") into src/app/velko.ico.

Run it again after changing the drawing; the .ico it writes is committed.
"""
import struct
import sys
from pathlib import Path


def pixel(x, y, size):
    """RGBA of one pixel; coordinates are in a 0..1 square."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    radius = 0.2
    cx = min(max(u, radius), 1 - radius)
    cy = min(max(v, radius), 1 - radius)
    if (u - cx) ** 2 + (v - cy) ** 2 > radius ** 2:
        return (0, 0, 0, 0)
    # A "V": two strokes from the top corners to the bottom middle.
    def stroke_distance(x0, y0, x1, y1):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((u - x0) * dx + (v - y0) * dy) / (dx * dx + dy * dy)))
        return ((u - (x0 + t * dx)) ** 2 + (v - (y0 + t * dy)) ** 2) ** 0.5
    d = min(stroke_distance(0.25, 0.25, 0.5, 0.76), stroke_distance(0.75, 0.25, 0.5, 0.76))
    if d < 0.075:
        return (255, 255, 255, 255)
    shade = int(40 * v)
    return (18, 150 - shade, 160 - shade, 255)


def bitmap(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up
        row = b"".join(struct.pack("<BBBB", b, g, r, a)
                       for (r, g, b, a) in (pixel(x, y, size) for x in range(size)))
        rows.append(row)
    mask_row = b"\0" * (((size + 31) // 32) * 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + mask_row * size


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "src/app/velko.ico"
    sizes = [16, 32, 48]
    images = [bitmap(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out.write_bytes(data + b"".join(images))


if __name__ == "__main__":
    main()
