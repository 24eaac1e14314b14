#!/usr/bin/env python3
"""Draws the icons of the synchronisation window's message pane.

107 the pane's "Очистить" (a broom over a sheet), 261 and 265 the "next"
arrow (enabled and greyed), 262 and 263 the "previous" arrow (enabled and
greyed).

The files are checked in; run this again only to change a picture. The
strokes and the file writers are the image viewer's (resources/images).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "images"))

from make_art import (BLACK, WHITE, GREY, BLUE, S, line, rect, scaled, write_icon_like)  # noqa: E402

LIGHT = (190, 190, 190)
BROWN = (150, 90, 40)


def arrow(c, k, direction, colour):
    """A thick horizontal arrow across the icon; direction 1 points right."""
    mid = S(k, 16)
    left, right = S(k, 4), S(k, 27)
    tip, tail = (right, left) if direction > 0 else (left, right)
    shaft_end = tip - direction * S(k, 10)
    thick = max(1, S(k, 6))
    line(c, tail, mid - thick // 2, shaft_end, mid - thick // 2, colour, thick)
    for i in range(S(k, 12)):
        x = tip - direction * i
        line(c, x, mid - i, x, mid + i, colour)


def next_on(c, k):       # 261
    arrow(c, k, 1, BLUE)


def next_off(c, k):      # 265
    arrow(c, k, 1, LIGHT)


def prev_on(c, k):       # 262
    arrow(c, k, -1, BLUE)


def prev_off(c, k):      # 263
    arrow(c, k, -1, LIGHT)


def clear(c, k):         # 107: a sheet with lines and a broom sweeping it
    rect(c, S(k, 3), S(k, 3), S(k, 19), S(k, 27), WHITE, True)
    rect(c, S(k, 3), S(k, 3), S(k, 19), S(k, 27), BLACK)
    for y in (8, 12, 16, 20):
        line(c, S(k, 6), S(k, y), S(k, 16), S(k, y), GREY)
    line(c, S(k, 28), S(k, 2), S(k, 17), S(k, 19), BROWN, max(1, S(k, 2)))
    for i in range(S(k, 8)):
        line(c, S(k, 17) - i, S(k, 19) + i // 2, S(k, 24) - i, S(k, 23) + i // 2, (230, 200, 0))


def icon(name, draw):
    write_icon_like(os.path.join(HERE, name + ".ico"), [scaled(draw, 32), scaled(draw, 16)], 1)


if __name__ == "__main__":
    icon("next", next_on)
    icon("next_off", next_off)
    icon("prev", prev_on)
    icon("prev_off", prev_off)
    icon("clear", clear)
