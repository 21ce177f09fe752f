#!/usr/bin/python3
"""Draws the program's icon: a page with a check mark on a blue tile.

Writes krtp.svg and the 48 and 256 pixel PNG files from one list of shapes, so the scalable and the
fixed-size icons stay alike. Run from this folder; the files are kept in the repository.
"""
import math
import struct
import zlib

# Shapes on a 256 x 256 canvas, drawn in order: (kind, fill colour, geometry...).
SHAPES = [
    ("roundrect", "#2f6db5", (16, 16, 224, 224, 44)),
    ("polygon", "#ffffff", [(68, 44), (156, 44), (192, 80), (192, 212), (68, 212)]),
    ("polygon", "#c9d8ec", [(156, 44), (156, 80), (192, 80)]),
    ("rect", "#9db2cf", (90, 104, 78, 10)),
    ("rect", "#9db2cf", (90, 128, 78, 10)),
    ("rect", "#9db2cf", (90, 152, 48, 10)),
    ("circle", "#ffffff", (184, 186, 50)),
    ("circle", "#35a150", (184, 186, 42)),
    ("polyline", "#ffffff", ([(162, 186), (178, 203), (207, 170)], 13)),
]


def rgb(colour):
    return tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))


def svg():
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for kind, fill, g in SHAPES:
        if kind == "roundrect":
            x, y, w, h, r = g
            out.append(f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="{fill}"/>')
        elif kind == "rect":
            x, y, w, h = g
            out.append(f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{fill}"/>')
        elif kind == "polygon":
            pts = " ".join(f"{x},{y}" for x, y in g)
            out.append(f'  <polygon points="{pts}" fill="{fill}"/>')
        elif kind == "circle":
            cx, cy, r = g
            out.append(f'  <circle cx="{cx}" cy="{cy}" r="{r}" fill="{fill}"/>')
        elif kind == "polyline":
            pts, width = g
            p = " ".join(f"{x},{y}" for x, y in pts)
            out.append(f'  <polyline points="{p}" fill="none" stroke="{fill}" stroke-width="{width}" '
                       'stroke-linecap="round" stroke-linejoin="round"/>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def inside(kind, g, x, y):
    if kind == "roundrect":
        rx, ry, w, h, r = g
        if not (rx <= x <= rx + w and ry <= y <= ry + h):
            return False
        cx = min(max(x, rx + r), rx + w - r)
        cy = min(max(y, ry + r), ry + h - r)
        return math.hypot(x - cx, y - cy) <= r
    if kind == "rect":
        rx, ry, w, h = g
        return rx <= x <= rx + w and ry <= y <= ry + h
    if kind == "circle":
        cx, cy, r = g
        return math.hypot(x - cx, y - cy) <= r
    if kind == "polygon":
        c = False
        n = len(g)
        for i in range(n):
            x1, y1 = g[i]
            x2, y2 = g[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                c = not c
        return c
    if kind == "polyline":
        pts, width = g
        for (x1, y1), (x2, y2) in zip(pts, pts[1:]):
            dx, dy = x2 - x1, y2 - y1
            t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
            if math.hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= width / 2:
                return True
        return False
    raise ValueError(kind)


def render(size, samples=4):
    scale = 256.0 / size
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for kind, fill, g in SHAPES:
                        if inside(kind, g, x, y):
                            colour = rgb(fill)
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = samples * samples
            a = acc[3]
            if a:
                row += bytes((int(acc[0] / a), int(acc[1] / a), int(acc[2] / a), int(255 * a / n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(rows, size):
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open("krtp.svg", "w") as f:
        f.write(svg())
    for size in (48, 256):
        with open(f"krtp-{size}.png", "wb") as f:
            f.write(png(render(size), size))
