#!/usr/bin/env python3
"""Draws the image viewer's icons, cursors and layout bitmaps.

The files are checked in; run this again only to change a picture.
Every picture is a small list of strokes on a 32 x 32 grid, so the art
stays readable as code.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def canvas(w, h):
    return [[None] * w for _ in range(h)]


def rect(c, x0, y0, x1, y1, col, fill=False):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if fill or y in (y0, y1) or x in (x0, x1):
                if 0 <= y < len(c) and 0 <= x < len(c[0]):
                    c[y][x] = col


def line(c, x0, y0, x1, y1, col, width=1):
    n = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(n + 1):
        x = round(x0 + (x1 - x0) * i / n)
        y = round(y0 + (y1 - y0) * i / n)
        for dy in range(width):
            for dx in range(width):
                if 0 <= y + dy < len(c) and 0 <= x + dx < len(c[0]):
                    c[y + dy][x + dx] = col


def and_mask(c):
    w = len(c[0])
    stride = ((w + 31) // 32) * 4
    out = b""
    for row in reversed(c):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib32(c):
    w, h = len(c[0]), len(c)
    head = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pix = b""
    for row in reversed(c):
        for p in row:
            if p is None:
                pix += b"\0\0\0\0"
            else:
                r, g, b = p
                pix += bytes((b, g, r, 255))
    return head + pix + and_mask(c)


def write_icon_like(path, images, kind, hotspot=(0, 0)):
    # kind 1: icon, 2: cursor (the entry's planes and bit count carry the hot spot)
    data = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for c in images:
        blob = dib32(c)
        w, h = len(c[0]), len(c)
        a, b = (1, 32) if kind == 1 else hotspot
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    with open(path, "wb") as f:
        f.write(data + b"".join(blobs))


def write_bmp(path, c):
    w, h = len(c[0]), len(c)
    stride = (w * 3 + 3) // 4 * 4
    pix = b""
    for row in reversed(c):
        r = b"".join(bytes((p or (255, 255, 255))[::-1]) for p in row)
        pix += r + b"\0" * (stride - len(r))
    head = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pix), 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pix), 0, 0, 54) + head + pix)


BLACK, WHITE, GREY = (0, 0, 0), (255, 255, 255), (128, 128, 128)
RED, GREEN, BLUE, YELLOW = (200, 0, 0), (0, 150, 0), (0, 0, 200), (230, 200, 0)


def scaled(draw, size):
    c = canvas(size, size)
    draw(c, size / 32.0)
    return c


def icon(name, draw):
    write_icon_like(os.path.join(HERE, name + ".ico"), [scaled(draw, 32), scaled(draw, 16)], 1)


def S(k, v):
    return int(round(v * k))


def door(c, k):        # exit
    rect(c, S(k, 6), S(k, 3), S(k, 20), S(k, 28), BLACK)
    line(c, S(k, 12), S(k, 16), S(k, 28), S(k, 16), RED, max(1, S(k, 2)))
    line(c, S(k, 22), S(k, 10), S(k, 28), S(k, 16), RED, max(1, S(k, 2)))
    line(c, S(k, 22), S(k, 22), S(k, 28), S(k, 16), RED, max(1, S(k, 2)))


def disk(c, k):        # save
    rect(c, S(k, 4), S(k, 4), S(k, 27), S(k, 27), BLUE, True)
    rect(c, S(k, 9), S(k, 4), S(k, 22), S(k, 12), WHITE, True)
    rect(c, S(k, 8), S(k, 18), S(k, 23), S(k, 27), GREY, True)


def grid(c, k):        # windows
    for x0 in (3, 17):
        for y0 in (3, 17):
            rect(c, S(k, x0), S(k, y0), S(k, x0 + 11), S(k, y0 + 11), BLUE)


def person(c, k):      # patient
    rect(c, S(k, 12), S(k, 3), S(k, 20), S(k, 12), BLACK, True)
    rect(c, S(k, 6), S(k, 15), S(k, 26), S(k, 28), BLUE, True)


def page(c, k):        # description
    rect(c, S(k, 6), S(k, 2), S(k, 25), S(k, 29), BLACK)
    for y in (8, 13, 18, 23):
        line(c, S(k, 9), S(k, y), S(k, 22), S(k, y), GREY)


def printer(c, k):
    rect(c, S(k, 3), S(k, 12), S(k, 28), S(k, 23), GREY, True)
    rect(c, S(k, 8), S(k, 3), S(k, 23), S(k, 12), WHITE, True)
    rect(c, S(k, 8), S(k, 3), S(k, 23), S(k, 12), BLACK)
    rect(c, S(k, 8), S(k, 20), S(k, 23), S(k, 29), WHITE, True)
    rect(c, S(k, 8), S(k, 20), S(k, 23), S(k, 29), BLACK)


def profile(c, k):
    line(c, S(k, 3), S(k, 28), S(k, 28), S(k, 28), BLACK)
    line(c, S(k, 3), S(k, 3), S(k, 3), S(k, 28), BLACK)
    pts = [(4, 24), (9, 12), (14, 20), (19, 6), (24, 18), (28, 10)]
    for (a, b), (d, e) in zip(pts, pts[1:]):
        line(c, S(k, a), S(k, b), S(k, d), S(k, e), RED, max(1, S(k, 2)))


def balance(c, k):     # equalization
    for i in range(28):
        g = int(i * 255 / 27)
        line(c, S(k, 2 + i), S(k, 6), S(k, 2 + i), S(k, 26), (g, g, g))


def negative(c, k):
    rect(c, S(k, 3), S(k, 3), S(k, 15), S(k, 28), BLACK, True)
    rect(c, S(k, 16), S(k, 3), S(k, 28), S(k, 28), WHITE, True)
    rect(c, S(k, 3), S(k, 3), S(k, 28), S(k, 28), BLACK)


def offset(c, k):      # brightness
    rect(c, S(k, 10), S(k, 10), S(k, 21), S(k, 21), YELLOW, True)
    for a, b, d, e in ((16, 2, 16, 7), (16, 24, 16, 29), (2, 16, 7, 16), (24, 16, 29, 16)):
        line(c, S(k, a), S(k, b), S(k, d), S(k, e), YELLOW, max(1, S(k, 2)))


def width(c, k):       # contrast
    rect(c, S(k, 4), S(k, 4), S(k, 27), S(k, 27), BLACK)
    rect(c, S(k, 4), S(k, 4), S(k, 15), S(k, 27), BLACK, True)


def automax(c, k):
    line(c, S(k, 4), S(k, 6), S(k, 27), S(k, 6), RED, max(1, S(k, 2)))
    line(c, S(k, 16), S(k, 10), S(k, 16), S(k, 27), BLACK, max(1, S(k, 2)))
    line(c, S(k, 10), S(k, 16), S(k, 16), S(k, 10), BLACK, max(1, S(k, 2)))
    line(c, S(k, 22), S(k, 16), S(k, 16), S(k, 10), BLACK, max(1, S(k, 2)))


def automin(c, k):
    line(c, S(k, 4), S(k, 26), S(k, 27), S(k, 26), RED, max(1, S(k, 2)))
    line(c, S(k, 16), S(k, 4), S(k, 16), S(k, 21), BLACK, max(1, S(k, 2)))
    line(c, S(k, 10), S(k, 16), S(k, 16), S(k, 22), BLACK, max(1, S(k, 2)))
    line(c, S(k, 22), S(k, 16), S(k, 16), S(k, 22), BLACK, max(1, S(k, 2)))


def caption(c, k):     # the panel's caption icon and the imaging modes: a small image strip
    rect(c, S(k, 2), S(k, 6), S(k, 29), S(k, 25), BLACK, True)
    for x in (5, 14, 23):
        rect(c, S(k, x), S(k, 10), S(k, x + 5), S(k, 21), GREY, True)


ICONS = {
    "exit": door, "save": disk, "windows": grid, "patient": person, "description": page,
    "print": printer, "profile": profile, "equalize": balance,
    "negative": negative, "offset": offset, "width": width, "automax": automax,
    "automin": automin, "caption": caption,
}


def cursor(name, draw, hot):
    c = canvas(32, 32)
    draw(c)
    write_icon_like(os.path.join(HERE, name + ".cur"), [c], 2, hot)


def arrow(c):
    for y in range(18):
        line(c, 0, y, y * 2 // 3, y, WHITE)
        c[y][0] = BLACK
        c[y][y * 2 // 3] = BLACK
    line(c, 0, 17, 11, 17, BLACK)


def hand(c):           # the drag cursor: four arrows
    line(c, 15, 2, 15, 28, BLACK)
    line(c, 2, 15, 28, 15, BLACK)
    for a, b, d, e in ((15, 2, 11, 6), (15, 2, 19, 6), (15, 28, 11, 24), (15, 28, 19, 24),
                       (2, 15, 6, 11), (2, 15, 6, 19), (28, 15, 24, 11), (28, 15, 24, 19)):
        line(c, a, b, d, e, BLACK)


def marker(label):
    def draw(c):
        rect(c, 12, 12, 20, 20, BLACK)
        rect(c, 13, 13, 19, 19, WHITE)
        line(c, 16, 0, 16, 11, BLACK)
        line(c, 16, 21, 16, 31, BLACK)
        line(c, 0, 16, 11, 16, BLACK)
        line(c, 21, 16, 31, 16, BLACK)
        if label == 2:
            rect(c, 15, 15, 17, 17, BLACK, True)
    return draw


LAYOUTS = {"layout1x1": (1, 1), "layout2x1": (2, 1), "layout1x2": (1, 2), "layout2x2": (2, 2),
           "layout3x2": (3, 2), "layout2x3": (2, 3), "layout3x3": (3, 3)}


def layout_bitmap(name, cols, rows):
    c = canvas(48, 36)
    rect(c, 0, 0, 47, 35, WHITE, True)
    cw, ch = 44 // cols, 32 // rows
    for i in range(cols):
        for j in range(rows):
            rect(c, 2 + i * cw, 2 + j * ch, 2 + (i + 1) * cw - 2, 2 + (j + 1) * ch - 2, GREY, True)
            rect(c, 2 + i * cw, 2 + j * ch, 2 + (i + 1) * cw - 2, 2 + (j + 1) * ch - 2, BLACK)
    write_bmp(os.path.join(HERE, name + ".bmp"), c)


if __name__ == "__main__":
    for n, d in ICONS.items():
        icon(n, d)
    cursor("view", arrow, (0, 0))
    cursor("drag", hand, (15, 15))
    cursor("linestart", marker(1), (16, 16))
    cursor("lineend", marker(2), (16, 16))
    for n, (cc, rr) in LAYOUTS.items():
        layout_bitmap(n, cc, rr)
