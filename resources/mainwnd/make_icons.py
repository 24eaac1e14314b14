#!/usr/bin/env python3
"""Draws the main patient window's icons (32 x 32, 32 bits with a mask).

The files are checked in; run this again only to change a picture. Each
picture is a few strokes, so the art stays readable as code.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from icon_art import N, canvas, disc, line, rect, write_icon as write_icon_in  # noqa: E402,F401


def write_icon(name, c):
    write_icon_in(HERE, name, c)


def person(c, col):
    disc(c, 12, 9, 5, col)
    for y in range(16, 29):
        w = min(9, 3 + (y - 16))
        for x in range(12 - w, 12 + w + 1):
            c[y][x] = col


BLUE, RED, GREEN, GREY, DARK, YELLOW = (40, 90, 200), (210, 40, 40), (30, 150, 60), (150, 150, 150), (50, 50, 60), (230, 190, 40)

c = canvas()                      # the program: an X-ray film with a bone
rect(c, 3, 3, 28, 28, DARK, True)
line(c, 10, 8, 21, 23, (235, 235, 235), 3)
disc(c, 10, 8, 3, (235, 235, 235))
disc(c, 22, 24, 3, (235, 235, 235))
write_icon("app.ico", c)

c = canvas()                      # new patient: a person and a plus
person(c, BLUE)
line(c, 24, 14, 24, 26, GREEN, 3)
line(c, 18, 20, 30, 20, GREEN, 3)
write_icon("new_patient.ico", c)

c = canvas()                      # patient card: a card with lines
rect(c, 4, 5, 27, 26, BLUE)
disc(c, 10, 12, 3, BLUE)
for y in (10, 15, 20):
    line(c, 16, y, 24, y, DARK, 1)
write_icon("patient_info.ico", c)

c = canvas()                      # delete: a red cross
line(c, 6, 6, 25, 25, RED, 3)
line(c, 25, 6, 6, 25, RED, 3)
write_icon("delete.ico", c)

c = canvas()                      # archiving: a disk
disc(c, 16, 16, 12, GREY)
disc(c, 16, 16, 3, DARK)
write_icon("archiving.ico", c)

c = canvas()                      # merge: two arrows into one
line(c, 4, 6, 15, 16, GREEN, 3)
line(c, 4, 26, 15, 16, GREEN, 3)
line(c, 15, 16, 28, 16, GREEN, 3)
write_icon("merge.ico", c)

c = canvas()                      # print: a printer
rect(c, 8, 3, 23, 12, GREY)
rect(c, 3, 12, 28, 22, DARK, True)
rect(c, 8, 19, 23, 29, (245, 245, 245), True)
rect(c, 8, 19, 23, 29, GREY)
write_icon("print.ico", c)
