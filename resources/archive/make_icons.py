#!/usr/bin/env python3
"""Draws the archive windows' icons (32 x 32, 32 bits with a mask).

The files are checked in; run this again only to change a picture.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
N = 32


def canvas():
    return [[None] * N for _ in range(N)]


def rect(c, x0, y0, x1, y1, col, fill=False):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if fill or y in (y0, y1) or x in (x0, x1):
                c[y][x] = col


def line(c, x0, y0, x1, y1, col, width=2):
    n = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(n + 1):
        x = round(x0 + (x1 - x0) * i / n)
        y = round(y0 + (y1 - y0) * i / n)
        for dy in range(width):
            for dx in range(width):
                if 0 <= y + dy < N and 0 <= x + dx < N:
                    c[y + dy][x + dx] = col


def disc(c, cx, cy, r, col):
    for y in range(N):
        for x in range(N):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                c[y][x] = col


def write_icon(name, c):
    pix = b""
    for row in reversed(c):
        for p in row:
            pix += b"\0\0\0\0" if p is None else bytes((p[2], p[1], p[0], 255))
    mask = b""
    for row in reversed(c):
        bits = bytearray(4)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    dib = struct.pack("<IiiHHIIiiII", 40, N, N * 2, 1, 32, 0, 0, 0, 0, 0, 0) + pix + mask
    head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", N, N, 0, 0, 1, 32, len(dib), 22)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + dib)


GREEN, GREY, DARK, BLUE = (30, 150, 60), (150, 150, 150), (50, 50, 60), (40, 90, 200)

c = canvas()                      # archive: a disk with an arrow onto it
rect(c, 4, 10, 27, 29, GREY, True)
rect(c, 9, 10, 22, 16, DARK, True)
line(c, 15, 1, 15, 8, GREEN, 3)
line(c, 10, 4, 15, 9, GREEN, 2)
line(c, 21, 4, 16, 9, GREEN, 2)
write_icon("archive.ico", c)

c = canvas()                      # remove disk: a disk under an eject mark
rect(c, 4, 18, 27, 29, GREY, True)
rect(c, 9, 18, 22, 22, DARK, True)
for y in range(3, 12):            # the triangle of the eject mark
    w = y - 3
    line(c, 16 - w, y, 16 + w, y, BLUE, 1)
rect(c, 7, 13, 25, 15, BLUE, True)
write_icon("remove_disk.ico", c)
