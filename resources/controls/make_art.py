#!/usr/bin/env python3
"""Draws the shared cursors and icons that several windows use by the same id.

Cursors of the control library: 102 (the up-down control while it is
dragged), 142 (over the up-down control) and 144 (over a header divider).
Icons: 130 (leaving a window: the connect wait window, the main window's
Exit, the filter form's Exit and Reset, the Statistics window's Close) and
183 (setting the filter: the filter form's Set button and the main window's
filter heading).

The files are checked in; run this again only to change a picture. The
strokes and the file writers are the image viewer's (resources/images).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "images"))

from make_art import (BLACK, WHITE, GREY, RED, GREEN, YELLOW, S, canvas, line, rect,  # noqa: E402
                      scaled, write_icon_like)


def arrow_head(c, x, y, dx, dy, size, col):
    """A filled arrow head pointing (dx, dy) with its tip at (x, y)."""
    for i in range(size):
        if dx == 0:
            line(c, x - i, y - dy * i, x + i, y - dy * i, col)
        else:
            line(c, x - dx * i, y - i, x - dx * i, y + i, col)


def updown_hover(c):       # 142: up and down arrows on a stem
    line(c, 15, 5, 15, 26, BLACK, 2)
    arrow_head(c, 15, 2, 0, -1, 6, BLACK)
    arrow_head(c, 16, 29, 0, 1, 6, BLACK)


def updown_drag(c):        # 102: the same arrows pulled apart by a bar
    updown_hover(c)
    rect(c, 6, 14, 25, 17, BLACK, True)


def header_resize(c):      # 144: a divider with arrows to both sides
    line(c, 15, 6, 15, 25, BLACK, 2)
    line(c, 4, 15, 27, 15, BLACK, 2)
    arrow_head(c, 1, 15, -1, 0, 5, BLACK)
    arrow_head(c, 30, 16, 1, 0, 5, BLACK)


def outline(c):
    """A white rim around the black strokes, so the cursor shows on dark ground."""
    h, w = len(c), len(c[0])
    rim = [(x, y) for y in range(h) for x in range(w) if c[y][x] is None and any(
        0 <= y + dy < h and 0 <= x + dx < w and c[y + dy][x + dx] == BLACK
        for dx in (-1, 0, 1) for dy in (-1, 0, 1))]
    for x, y in rim:
        c[y][x] = WHITE


def cursor(name, draw, hot):
    c = canvas(32, 32)
    draw(c)
    outline(c)
    write_icon_like(os.path.join(HERE, name + ".cur"), [c], 2, hot)


def leave(c, k):           # 130: an open door with an arrow going out
    rect(c, S(k, 6), S(k, 3), S(k, 20), S(k, 28), GREY, True)
    rect(c, S(k, 6), S(k, 3), S(k, 20), S(k, 28), BLACK)
    for y in range(S(k, 5), S(k, 29)):    # the door leaf, open towards the viewer
        line(c, S(k, 6), y, S(k, 12), y + S(k, 2), (150, 90, 40))
    line(c, S(k, 14), S(k, 16), S(k, 28), S(k, 16), RED, max(1, S(k, 3)))
    arrow_head(c, S(k, 30), S(k, 17), 1, 0, max(2, S(k, 6)), RED)


def set_filter(c, k):      # 183: a funnel with a tick
    for y in range(S(k, 4), S(k, 16)):
        i = y - S(k, 4)
        line(c, S(k, 3) + i, y, S(k, 24) - i, y, YELLOW)
    rect(c, S(k, 12), S(k, 16), S(k, 15), S(k, 28), YELLOW, True)
    line(c, S(k, 3), S(k, 4), S(k, 24), S(k, 4), BLACK)
    line(c, S(k, 17), S(k, 24), S(k, 21), S(k, 28), GREEN, max(1, S(k, 3)))
    line(c, S(k, 21), S(k, 28), S(k, 29), S(k, 17), GREEN, max(1, S(k, 3)))


def icon(name, draw):
    write_icon_like(os.path.join(HERE, name + ".ico"), [scaled(draw, 32), scaled(draw, 16)], 1)


if __name__ == "__main__":
    cursor("updown_drag", updown_drag, (15, 15))
    cursor("updown_hover", updown_hover, (15, 15))
    cursor("header_resize", header_resize, (15, 15))
    icon("leave", leave)
    icon("set_filter", set_filter)
