#!/usr/bin/python3
"""Draws the file list's 16x16 images (status circles, file types, button pictures) as PNG files.

Run from this folder; the PNG files are kept in the repository and built into the program as resources.
"""
import math
import struct
import zlib

N = 16


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * N for _ in range(N)]

    def blend(self, x, y, rgb, a=1.0):
        if not (0 <= x < N and 0 <= y < N) or a <= 0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        a0 /= 255.0
        a = min(1.0, a)
        out_a = a + a0 * (1 - a)
        if out_a <= 0:
            return
        col = [(rgb[i] * a + (self.px[y][x][i]) * a0 * (1 - a)) / out_a for i in range(3)]
        self.px[y][x] = (int(col[0]), int(col[1]), int(col[2]), int(out_a * 255))

    def disc(self, cx, cy, r, rgb, ring=None):
        for y in range(N):
            for x in range(N):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                cover = max(0.0, min(1.0, r - d + 0.5))
                if cover > 0:
                    # light from the top left
                    shade = 1.0 + 0.45 * max(0.0, 1 - math.hypot(x + 0.5 - (cx - r / 3), y + 0.5 - (cy - r / 3)) / r)
                    col = tuple(min(255, int(c * shade)) for c in rgb)
                    self.blend(x, y, col, cover)
                if ring:
                    rc = max(0.0, 1 - abs(d - r + 0.5))
                    if rc > 0:
                        self.blend(x, y, ring, rc * min(1.0, r - d + 1))

    def rect(self, x0, y0, x1, y1, rgb):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.blend(x, y, rgb)

    def frame(self, x0, y0, x1, y1, rgb):
        for x in range(x0, x1 + 1):
            self.blend(x, y0, rgb)
            self.blend(x, y1, rgb)
        for y in range(y0, y1 + 1):
            self.blend(x0, y, rgb)
            self.blend(x1, y, rgb)

    def line(self, x0, y0, x1, y1, rgb, w=1.0):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
        for i in range(steps + 1):
            t = i / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for yy in range(N):
                for xx in range(N):
                    d = math.hypot(xx + 0.5 - x, yy + 0.5 - y)
                    c = max(0.0, min(1.0, w / 2 - d + 0.5))
                    if c > 0:
                        r0, g0, b0, a0 = self.px[yy][xx]
                        if a0 < c * 255 or (r0, g0, b0) != rgb:
                            self.blend(xx, yy, rgb, c)

    def page(self, fill=(255, 255, 255), edge=(90, 90, 90)):
        self.rect(3, 1, 12, 14, fill)
        self.frame(3, 1, 12, 14, edge)
        # folded corner
        for i in range(3):
            self.blend(12 - i, 1 + i, edge)

    def save(self, name):
        raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in self.px)

        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", N, N, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(name, "wb") as f:
            f.write(png)


def circle(name, rgb, mark=None):
    c = Canvas()
    c.disc(8, 8, 6.5, rgb, ring=tuple(int(v * 0.55) for v in rgb))
    if mark == "star":
        c.line(8, 5, 8, 11, (255, 255, 255), 1.6)
        c.line(5, 8, 11, 8, (255, 255, 255), 1.6)
    c.save(name)


circle("open.png", (40, 170, 40))
circle("unlocked.png", (40, 90, 220))
circle("locked.png", (235, 200, 20))
circle("old.png", (215, 35, 35))
circle("new.png", (215, 35, 35), mark="star")

# .norrow: the team's own page type, a page with a purple "N"
c = Canvas()
c.page()
c.line(6, 11, 6, 5, (120, 40, 160), 1.4)
c.line(6, 5, 10, 11, (120, 40, 160), 1.4)
c.line(10, 11, 10, 5, (120, 40, 160), 1.4)
c.save("norrow.png")

# .gif: a picture with sky, sun and a hill
c = Canvas()
c.rect(1, 3, 14, 13, (150, 200, 250))
c.disc(11, 6, 1.8, (250, 210, 40))
for x in range(1, 15):
    top = int(9 + 3 * math.cos((x - 5) / 3.0))
    c.rect(x, max(3, min(13, top)), x, 13, (60, 150, 60))
c.frame(1, 3, 14, 13, (60, 60, 60))
c.save("gif.png")

# .mid: a pair of musical notes
c = Canvas()
c.disc(4.5, 12, 2.2, (30, 30, 30))
c.disc(11.5, 10.5, 2.2, (30, 30, 30))
c.line(6.2, 12, 6.2, 3, (30, 30, 30), 1.2)
c.line(13.2, 10.5, 13.2, 1.5, (30, 30, 30), 1.2)
c.line(6.2, 3, 13.2, 1.5, (30, 30, 30), 2.0)
c.save("mid.png")

# .txt: a page with text lines
c = Canvas()
c.page()
for y in (4, 6, 8, 10, 12):
    c.rect(5, y, 10 if y != 12 else 8, y, (110, 110, 110))
c.save("txt.png")

# .doc: a page with a blue title bar and lines
c = Canvas()
c.page()
c.rect(4, 3, 11, 5, (40, 80, 200))
for y in (7, 9, 11):
    c.rect(5, y, 10, y, (40, 80, 200))
c.save("doc.png")

# .wav: a loudspeaker with sound waves
c = Canvas()
c.rect(2, 6, 4, 10, (60, 60, 60))
for i in range(4):
    c.rect(5 + i, 6 - i, 5 + i, 10 + i, (60, 60, 60))
c.line(11, 5.5, 12.5, 8, (40, 90, 220), 1.2)
c.line(12.5, 8, 11, 10.5, (40, 90, 220), 1.2)
c.line(13, 3.5, 15, 8, (40, 90, 220), 1.2)
c.line(15, 8, 13, 12.5, (40, 90, 220), 1.2)
c.save("wav.png")

# folder
c = Canvas()
c.rect(1, 4, 6, 5, (220, 170, 40))
c.rect(1, 5, 14, 13, (245, 200, 70))
c.frame(1, 5, 14, 13, (170, 120, 20))
c.rect(2, 6, 13, 6, (255, 230, 140))
c.save("folder.png")

# add: a green plus
c = Canvas()
c.rect(6, 2, 9, 13, (30, 150, 30))
c.rect(2, 6, 13, 9, (30, 150, 30))
c.rect(7, 3, 8, 12, (90, 210, 90))
c.rect(3, 7, 12, 8, (90, 210, 90))
c.save("add.png")

# refresh: a circular arrow
c = Canvas()
for i in range(0, 300, 4):
    a = math.radians(i + 30)
    c.line(8 + 5 * math.cos(a), 8 - 5 * math.sin(a), 8 + 5 * math.cos(a + 0.08), 8 - 5 * math.sin(a + 0.08),
           (30, 120, 40), 2.0)
tip = (8 + 5 * math.cos(math.radians(30)), 8 - 5 * math.sin(math.radians(30)))
c.line(tip[0], tip[1], tip[0] - 3.5, tip[1] - 0.5, (30, 120, 40), 2.0)
c.line(tip[0], tip[1], tip[0] + 0.5, tip[1] - 3.5, (30, 120, 40), 2.0)
c.save("refresh.png")

# options: a gear
c = Canvas()
for k in range(8):
    a = math.radians(k * 45)
    c.line(8 + 3 * math.cos(a), 8 + 3 * math.sin(a), 8 + 6.5 * math.cos(a), 8 + 6.5 * math.sin(a),
           (100, 100, 110), 2.4)
c.disc(8, 8, 4.6, (150, 150, 165), ring=(80, 80, 90))
c.disc(8, 8, 1.8, (255, 255, 255))
c.save("options.png")

# delete: a red cross
c = Canvas()
c.line(3, 3, 13, 13, (200, 30, 30), 2.8)
c.line(13, 3, 3, 13, (200, 30, 30), 2.8)
c.save("delete.png")
