#!/usr/bin/env python3
"""Draws the merge window's Eject icon (32 x 32, 32 bits with a mask).

The file is checked in; run this again only to change the picture.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from icon_art import N, canvas, disc, line, rect, write_icon as write_icon_in  # noqa: E402,F401


def write_icon(name, c):
    write_icon_in(HERE, name, c)


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
