#!/usr/bin/env python3
"""Draws the merge window's Eject icon (32 x 32, 32 bits with a mask).

The file is checked in; run this again only to change the picture.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
N = 32


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


DARK = (50, 50, 60)
c = [[None] * N for _ in range(N)]  # eject: a triangle over a bar
for y in range(4, 18):
    half = (y - 4) * 13 // 14
    for x in range(16 - half - 1, 16 + half + 1):
        c[y][x] = DARK
for y in range(22, 27):
    for x in range(3, 29):
        c[y][x] = DARK
write_icon("eject.ico", c)
