#!/usr/bin/env python3
"""Draws the error list's Clear icon (32 x 32, 32 bits with a mask): a sheet
of lines with a red cross over it.

The file is checked in; run this again only to change the picture.
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


WHITE, GREY, RED = (250, 250, 250), (90, 90, 100), (210, 40, 40)

c = canvas()
rect(c, 5, 3, 24, 28, WHITE, True)
rect(c, 5, 3, 24, 28, GREY)
for y in (8, 12, 16, 20, 24):
    line(c, 8, y, 21, y, GREY, 1)
line(c, 12, 12, 27, 27, RED, 3)
line(c, 27, 12, 12, 27, RED, 3)
write_icon("clear_list.ico", c)
