#!/usr/bin/env python3
"""Draws the error list's Clear icon (32 x 32, 32 bits with a mask): a sheet
of lines with a red cross over it.

The file is checked in; run this again only to change the picture.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from icon_art import N, canvas, disc, line, rect, write_icon as write_icon_in  # noqa: E402,F401


def write_icon(name, c):
    write_icon_in(HERE, name, c)


WHITE, GREY, RED = (250, 250, 250), (90, 90, 100), (210, 40, 40)

c = canvas()
rect(c, 5, 3, 24, 28, WHITE, True)
rect(c, 5, 3, 24, 28, GREY)
for y in (8, 12, 16, 20, 24):
    line(c, 8, y, 21, y, GREY, 1)
line(c, 12, 12, 27, 27, RED, 3)
line(c, 27, 12, 12, 27, RED, 3)
write_icon("clear_list.ico", c)
