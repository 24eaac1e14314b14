#!/usr/bin/env python3
"""Draws the archive windows' icons (32 x 32, 32 bits with a mask).

The files are checked in; run this again only to change a picture.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from icon_art import N, canvas, disc, line, rect, write_icon as write_icon_in  # noqa: E402,F401


def write_icon(name, c):
    write_icon_in(HERE, name, c)


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
