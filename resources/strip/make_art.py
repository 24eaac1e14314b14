#!/usr/bin/env python3
"""Draws the icons of the image strip, the notes and the template editor.

The files are checked in; run this again only to change a picture. The
drawing helpers are the viewer's (resources/images/make_art.py).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "images"))
import make_art as art  # noqa: E402

S, rect, line = art.S, art.rect, art.line
BLACK, WHITE, GREY, RED, GREEN, BLUE, YELLOW = (art.BLACK, art.WHITE, art.GREY, art.RED, art.GREEN, art.BLUE,
                                                art.YELLOW)


def tick(c, k):            # select a template
    line(c, S(k, 4), S(k, 16), S(k, 12), S(k, 25), GREEN, max(1, S(k, 3)))
    line(c, S(k, 12), S(k, 25), S(k, 27), S(k, 6), GREEN, max(1, S(k, 3)))


def sheet(c, k):           # a template: a page with lines and a stencil corner
    rect(c, S(k, 6), S(k, 2), S(k, 25), S(k, 29), WHITE, True)
    rect(c, S(k, 6), S(k, 2), S(k, 25), S(k, 29), BLACK)
    for y in (8, 13, 18, 23):
        line(c, S(k, 9), S(k, y), S(k, 22), S(k, y), BLUE)
    rect(c, S(k, 18), S(k, 20), S(k, 25), S(k, 29), YELLOW, True)


def star(c, k):            # the default template
    sheet(c, k)
    line(c, S(k, 2), S(k, 2), S(k, 10), S(k, 10), RED, max(1, S(k, 3)))
    line(c, S(k, 10), S(k, 2), S(k, 2), S(k, 10), RED, max(1, S(k, 3)))


def plus(c, k):            # a new template
    sheet(c, k)
    line(c, S(k, 20), S(k, 2), S(k, 20), S(k, 14), GREEN, max(1, S(k, 3)))
    line(c, S(k, 14), S(k, 8), S(k, 26), S(k, 8), GREEN, max(1, S(k, 3)))


def cross(c, k):           # delete a template
    sheet(c, k)
    line(c, S(k, 4), S(k, 6), S(k, 27), S(k, 27), RED, max(1, S(k, 3)))
    line(c, S(k, 27), S(k, 6), S(k, 4), S(k, 27), RED, max(1, S(k, 3)))


def strip(c, k):           # the "Pictures" window: a column of thumbnails
    for top in (2, 12, 22):
        rect(c, S(k, 8), S(k, top), S(k, 23), S(k, top + 8), BLUE, True)
        rect(c, S(k, 10), S(k, top + 2), S(k, 21), S(k, top + 7), GREY, True)


def lock(c, k):            # a protected image
    rect(c, S(k, 7), S(k, 14), S(k, 24), S(k, 28), YELLOW, True)
    rect(c, S(k, 7), S(k, 14), S(k, 24), S(k, 28), BLACK)
    rect(c, S(k, 11), S(k, 4), S(k, 20), S(k, 14), BLACK)
    rect(c, S(k, 14), S(k, 19), S(k, 17), S(k, 23), BLACK, True)


ICONS = {"select": tick, "template": sheet, "default": star, "new": plus, "delete": cross, "pictures": strip,
         "protected": lock}

if __name__ == "__main__":
    for n, d in ICONS.items():
        art.write_icon_like(os.path.join(HERE, n + ".ico"), [art.scaled(d, 32), art.scaled(d, 16)], 1)
